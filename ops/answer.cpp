/* The common start of the operation families' answer handlers; see ops/answer.h. */
#include "ops/answer.h"

#include "protocol/dispatch.h"
#include "wire/head.h"
#include "wire/result.h"
#include "vxq_log.h"

#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Logs "<handler> <step> fail." once. */
static void PR_LogStepFail(const char *in_sHandlerName, const char *in_sStep)
{
    char sText[192];
    snprintf(sText, sizeof(sText), "%s %s fail.", in_sHandlerName, in_sStep);
    VXQ_F_LOG_SR_WriteLog(sText, 2);
}

_VXQ_S_DPS_TRANS_DATA *VXQ_F_DPS_MW_FindTransAndConn(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                     uint32_t in_dwTransId, const char *in_sHandlerName,
                                                     _VXQ_S_DPS_NET_PORT_DATA **out_ppConn)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    _VXQ_S_DPS_TRANS_DATA *pTrans;
    char sText[192];
    if (p == NULL || out_ppConn == NULL)
        return NULL;
    *out_ppConn = NULL;
    pTrans = VXQ_F_DPS_MC_Trans_QueryTransDataByTransId(p, in_dwTransId);
    if (pTrans == NULL) {
        PR_LogStepFail(in_sHandlerName, "VXQ_F_DPS_MC_Trans_QueryTransDataByTransId");
        return NULL;
    }
    if (pTrans->pRequDataBuf == NULL || pTrans->iRequDataLen < (int32_t)VXQ_DPS_UMSP_HEAD_LEN) {
        snprintf(sText, sizeof(sText), "%s pRequDataBuf fail.", in_sHandlerName);
        VXQ_F_LOG_SR_WriteLog(sText, 2);
        VXQ_F_DPS_MC_Trans_DeleteTransData(p, pTrans);
        return NULL;
    }
    *out_ppConn = VXQ_F_DPS_MC_NetPortData_QueryByPortId(p, pTrans->dwPortId);
    if (*out_ppConn == NULL) {
        PR_LogStepFail(in_sHandlerName, "VXQ_F_DPS_MC_NetPortData_QueryByPortId");
        VXQ_F_DPS_MC_Trans_DeleteTransData(p, pTrans);
        return NULL;
    }
    return pTrans;
}

_VXQ_S_DPS_TRANS_DATA *VXQ_F_DPS_MW_FindAnswerTarget(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                     uint8_t *inout_pOrder, int32_t in_iLength,
                                                     const char *in_sOperName, const char *in_sHandlerName,
                                                     _VXQ_S_DPS_NET_PORT_DATA **out_ppConn)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    _VXQ_S_DPS_MSG_HEAD tHead;
    char sText[192];
    if (p == NULL || inout_pOrder == NULL || out_ppConn == NULL || in_iLength < VXQ_DPS_APP_MSG_HEAD_LEN)
        return NULL;
    *out_ppConn = NULL;
    VXQ_F_DPS_MW_TransAndShowErrorCodeToUmspResult(inout_pOrder + offsetof(_VXQ_S_DPS_MSG_HEAD, ucResult),
                                                   in_sOperName);
    memcpy(&tHead, inout_pOrder, sizeof(tHead));
    if (p->bDebugLog) {
        snprintf(sText, sizeof(sText), "[DEBUG]  %s (response): ucResult: %d, dwTransId: %u, iBodyLen: %d.",
                 in_sOperName, (int)tHead.ucResult, (unsigned)tHead.dwTransId, (int)tHead.iBodyLen);
        VXQ_F_LOG_SR_ShowInfo(sText);
    }
    if (tHead.dwTransId == 0)
        return NULL;
    return VXQ_F_DPS_MW_FindTransAndConn(p, tHead.dwTransId, in_sHandlerName, out_ppConn);
}

int32_t VXQ_F_DPS_MW_OrderDataLen(const uint8_t *in_pOrder, int32_t in_iLength, int32_t in_iDataOffset)
{
    int32_t iDataLen =
        VXQ_F_DPS_MW_OrderLen(in_pOrder, in_iLength) - VXQ_DPS_APP_MSG_HEAD_LEN - in_iDataOffset;
    return iDataLen > 0 ? iDataLen : 0;
}

int VXQ_F_DPS_MW_SendParkedWithData(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                    _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                                    const _VXQ_S_DPS_TRANS_DATA *in_pTrans, const uint8_t *in_pOrder,
                                    int32_t in_iLength, int32_t in_iFixedLen, int32_t in_iLenOffset,
                                    int32_t in_iDataOffset, const char *in_sHandlerName)
{
    int32_t iDataLen = VXQ_F_DPS_MW_OrderDataLen(in_pOrder, in_iLength, in_iDataOffset);
    uint8_t *pMsg = (uint8_t *)malloc((size_t)(in_iFixedLen + iDataLen));
    int iRet;
    if (pMsg == NULL) {
        PR_LogStepFail(in_sHandlerName, "malloc");
        return 0;
    }
    memcpy(pMsg, in_pTrans->pRequDataBuf, (size_t)in_iFixedLen);
    VXQ_F_DPS_MW_PutLe32(pMsg + VXQ_DPS_UMSP_OFF_PACKET_SIZE, (uint32_t)(in_iFixedLen + iDataLen));
    VXQ_F_DPS_MW_HeadMakeAnswer(pMsg, in_pOrder[offsetof(_VXQ_S_DPS_MSG_HEAD, ucResult)]);
    VXQ_F_DPS_MW_PutLe32(pMsg + in_iLenOffset, (uint32_t)iDataLen);
    if (iDataLen > 0)
        memcpy(pMsg + in_iFixedLen, in_pOrder + VXQ_DPS_APP_MSG_HEAD_LEN + in_iDataOffset, (size_t)iDataLen);
    iRet = VXQ_F_DPS_MW_SendNetAnswer(inout_pMcSrvData, inout_pConn, pMsg, in_iFixedLen + iDataLen,
                                      in_sHandlerName);
    free(pMsg);
    return iRet;
}
