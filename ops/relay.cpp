/* The relay kit and the drivers of the table's relays; see ops/relay.h. */
#include "ops/relay.h"

#include "protocol/dispatch.h"
#include "protocol/session.h"
#include "wire/head.h"
#include "wire/result.h"
#include "vxq_log.h"

#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define PR_BODY VXQ_DPS_UMSP_HEAD_LEN
#define PR_ORDER_HEAD VXQ_DPS_APP_MSG_HEAD_LEN
#define PR_ORDER_RESULT offsetof(_VXQ_S_DPS_MSG_HEAD, ucResult)

void VXQ_F_DPS_MW_LogStep(const char *in_sName, const char *in_sWhat)
{
    char sText[192];
    snprintf(sText, sizeof(sText), "%s %s", in_sName, in_sWhat);
    VXQ_F_LOG_SR_WriteLog(sText, 2);
}

/* Shows in_sFormat with the line's operation for %s. */
static void PR_ShowOper(const char *in_sFormat, const _VXQ_S_DPS_FUNC_LINE *in_pLine)
{
    char sText[192];
    snprintf(sText, sizeof(sText), in_sFormat, in_pLine->sOper);
    VXQ_F_LOG_SR_ShowInfo(sText);
}

int VXQ_F_DPS_MW_Refuse(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                        uint8_t *inout_pMsg, int32_t in_iLength, uint8_t in_ucResult, const char *in_sShow,
                        const char *in_sLog, const char *in_sName)
{
    if (in_sShow != NULL)
        VXQ_F_LOG_SR_ShowInfo(in_sShow);
    if (in_sLog != NULL)
        VXQ_F_LOG_SR_WriteLog(in_sLog, 2);
    VXQ_F_DPS_MW_AnswerInPlace(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, in_ucResult, in_sName);
    return 0;
}

int VXQ_F_DPS_MW_RaiseEvent(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iEventId,
                            uint32_t in_dwTransId, const void *in_pBody, int32_t in_iBodyLen,
                            const void *in_pTail, int32_t in_iTailLen)
{
    uint8_t ucStack[PR_ORDER_HEAD + VXQ_DPS_RELAY_BODY_MAX];
    _VXQ_S_DPS_MSG_HEAD tHead;
    if (in_pBody == NULL || in_iBodyLen < 0)
        in_iBodyLen = 0;
    if (in_pTail == NULL || in_iTailLen < 0)
        in_iTailLen = 0;
    size_t nTotal = (size_t)PR_ORDER_HEAD + (size_t)in_iBodyLen + (size_t)in_iTailLen;
    uint8_t *pEvent = nTotal <= sizeof(ucStack) ? ucStack : (uint8_t *)malloc(nTotal);
    if (pEvent == NULL)
        return -1;
    memset(&tHead, 0, sizeof(tHead));
    tHead.iMsgFuncId = in_iEventId;
    tHead.dwTransId = in_dwTransId;
    tHead.iBodyLen = in_iBodyLen + in_iTailLen;
    memcpy(pEvent, &tHead, sizeof(tHead));
    if (in_iBodyLen > 0)
        memcpy(pEvent + PR_ORDER_HEAD, in_pBody, (size_t)in_iBodyLen);
    if (in_iTailLen > 0)
        memcpy(pEvent + PR_ORDER_HEAD + in_iBodyLen, in_pTail, (size_t)in_iTailLen);
    int iRet = VXQ_F_DPS_MC_SentProEventToUpApp(inout_pMcSrvData, pEvent, (int32_t)nTotal);
    if (pEvent != ucStack)
        free(pEvent);
    return iRet ? 1 : 0;
}

/* The failure rule's log line, in the words of the line: in_iStep 0 parking,
 * -1 memory for the event, 1 the callback queue. */
static void PR_LogRelayFail(const _VXQ_S_DPS_FUNC_LINE *in_pLine, const char *in_sName, int in_iStep)
{
    static const char *const s_sSteps[] = {"malloc", "create trans", "send event to up app"};
    char sText[192];
    switch (in_pLine->tRelay.ucFailText) {
    case VXQ_DPS_FAIL_STEP:
        snprintf(sText, sizeof(sText), "Receiving network data: %s, %s fail.", in_pLine->sOper,
                 s_sSteps[in_iStep + 1]);
        VXQ_F_LOG_SR_ShowInfo(sText);
        return;
    case VXQ_DPS_FAIL_NONE:
        if (in_iStep != 0)
            return;
        break;
    case VXQ_DPS_FAIL_SHOW:
        if (in_iStep != 0) {
            PR_ShowOper("Receiving network data: %s fail, cause: send fail.", in_pLine);
            return;
        }
        break;
    case VXQ_DPS_FAIL_UPAPP:
        if (in_iStep != 0) {
            VXQ_F_DPS_MW_LogStep(in_sName,
                                 in_iStep < 0 ? "malloc fail." : "VXQ_F_DPS_MC_SentProEventToUpApp fail.");
            return;
        }
        break;
    default:
        break;
    }
    if (in_iStep == 0) {
        VXQ_F_DPS_MW_LogStep(in_sName, "VXQ_F_DPS_MC_Trans_CreateTransDataOfLinkData fail.");
    } else {
        snprintf(sText, sizeof(sText), "%s VXQ_F_DPS_MC_SentProEvent_%s fail.", in_sName,
                 in_pLine->sOrderName);
        VXQ_F_LOG_SR_WriteLog(sText, 2);
    }
}

/* The rest of the message from the line's tail offset on. */
static const uint8_t *PR_Tail(const _VXQ_S_DPS_FUNC_LINE *in_pLine, const uint8_t *in_pMsg,
                              int32_t in_iLength, int32_t *out_piTailLen)
{
    int32_t iOff = in_pLine->tRelay.iTailOff;
    *out_piTailLen = iOff > 0 && in_iLength > iOff ? in_iLength - iOff : 0;
    return iOff > 0 ? in_pMsg + iOff : NULL;
}

_VXQ_S_DPS_TRANS_DATA *VXQ_F_DPS_MW_Park(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                         _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                         int32_t in_iLength, const _VXQ_S_DPS_FUNC_LINE *in_pLine,
                                         const char *in_sName)
{
    VXQ_F_DPS_MW_HeadMakeAnswer(inout_pMsg, VXQ_DPS_UMSP_RESULT_SUCCESS);
    _VXQ_S_DPS_TRANS_DATA *pTrans = VXQ_F_DPS_MC_Trans_CreateTransDataOfLinkData(
        inout_pMcSrvData, inout_pConn->dwPortId, in_pLine->usMsgFuncId, inout_pMsg, in_iLength);
    if (pTrans != NULL)
        return pTrans;
    PR_LogRelayFail(in_pLine, in_sName, 0);
    VXQ_F_DPS_MW_AnswerInPlace(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                               VXQ_DPS_UMSP_RESULT_SERVICE_FAIL, in_sName);
    return NULL;
}

int VXQ_F_DPS_MW_Raise(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                       uint8_t *inout_pMsg, int32_t in_iLength, const _VXQ_S_DPS_FUNC_LINE *in_pLine,
                       _VXQ_S_DPS_TRANS_DATA *inout_pTrans, const void *in_pBody, int32_t in_iBodyLen,
                       const char *in_sName)
{
    int32_t iTailLen;
    const uint8_t *pTail = PR_Tail(in_pLine, inout_pMsg, in_iLength, &iTailLen);
    int iRaised = VXQ_F_DPS_MW_RaiseEvent(inout_pMcSrvData, in_pLine->iOrderId, inout_pTrans->dwTransId,
                                          in_pBody, in_iBodyLen, pTail, iTailLen);
    if (iRaised == 1)
        return 1;
    PR_LogRelayFail(in_pLine, in_sName, iRaised == 0 ? 1 : -1);
    VXQ_F_DPS_MC_Trans_DeleteTransData(inout_pMcSrvData, inout_pTrans);
    VXQ_F_DPS_MW_AnswerInPlace(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                               VXQ_DPS_UMSP_RESULT_SERVICE_FAIL, in_sName);
    return 0;
}

/* Whether a download connection of in_dwLoginId holds the file in_dwFileReadId
 * open (read id 0 names no file). */
static int PR_SessionHoldsFile(const _VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData, uint32_t in_dwLoginId,
                               uint32_t in_dwFileReadId)
{
    if (in_dwFileReadId == 0)
        return 0;
    for (int i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++) {
        const _VXQ_S_DPS_NET_PORT_DATA *pConn = in_pMcSrvData->pConn[i];
        if (pConn != NULL && pConn->iConnType == VXQ_DPS_CONN_DOWN &&
            pConn->tDown.dwFileId == in_dwFileReadId && pConn->dwLoginId == in_dwLoginId)
            return 1;
    }
    return 0;
}

/* Whether the user of in_pLogin holds the line's right: on the global word,
 * on the channel the message names, or (ALL_CH, channel -1) on every channel. */
static int PR_HoldsRight(const _VXQ_S_DPS_MCSRV_DATA *p, const _VXQ_S_DPS_NET_PORT_DATA *in_pLogin,
                         const _VXQ_S_DPS_RELAY *in_pRelay, const uint8_t *in_pMsg)
{
    int32_t iChNo =
        in_pRelay->ucChOff != 0 ? (int32_t)VXQ_F_DPS_MW_GetLe32(in_pMsg + in_pRelay->ucChOff) : -1;
    if (in_pRelay->dwPopBit == 0)
        return 1;
    if (iChNo != -1 || !(in_pRelay->usRules & VXQ_DPS_RELAY_ALL_CH))
        return VXQ_F_DPS_MC_APUP_PopCheck(p, in_pLogin, iChNo, in_pRelay->dwPopBit);
    for (int32_t i = 0; i < p->tDevCapInfo.iVideoChanNum; i++) {
        if (!VXQ_F_DPS_MC_APUP_PopCheck(p, in_pLogin, i, in_pRelay->dwPopBit))
            return 0;
    }
    return 1;
}

uint8_t VXQ_F_DPS_MW_CheckRules(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                const _VXQ_S_DPS_NET_PORT_DATA *in_pConn, const uint8_t *in_pMsg,
                                int32_t in_iLength, const _VXQ_S_DPS_FUNC_LINE *in_pLine)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    const _VXQ_S_DPS_RELAY *pRelay = &in_pLine->tRelay;
    uint16_t usRules = pRelay->usRules;
    uint32_t dwBody0 = VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_BODY);
    if (pRelay->fnCheck != NULL) {
        uint8_t ucResult = pRelay->fnCheck(in_pMsg, in_iLength);
        if (ucResult != 0)
            return ucResult;
    }
    if ((usRules & VXQ_DPS_RELAY_EXACT_LEN) && in_iLength != in_pLine->iMinMsgLen) {
        VXQ_F_DPS_MW_LogStep(in_pLine->sReqName, "in_iPacketLen error.");
        return VXQ_DPS_UMSP_RESULT_PARAM_ERROR;
    }
    if ((usRules & VXQ_DPS_RELAY_CONN_LOGIN) && in_pConn->dwLoginId == 0) {
        VXQ_F_DPS_MW_LogStep(in_pLine->sReqName, "dwLoginId error.");
        return VXQ_DPS_UMSP_RESULT_NOT_LOGGED_IN;
    }
    if ((usRules & (VXQ_DPS_RELAY_CMD | VXQ_DPS_RELAY_CMD_SAME)) &&
        (in_pConn->iConnType != VXQ_DPS_CONN_COMMAND || in_pConn->dwLoginId == 0 ||
         ((usRules & VXQ_DPS_RELAY_CMD_SAME) && in_pConn->dwLoginId != dwBody0))) {
        PR_ShowOper("%s failure, cause: not login.", in_pLine);
        return VXQ_DPS_UMSP_RESULT_NOT_LOGGED_IN;
    }
    if (usRules & VXQ_DPS_RELAY_BODY_LOGIN) {
        const _VXQ_S_DPS_NET_PORT_DATA *pLogin = VXQ_F_DPS_MC_NetPortData_QueryByLoginId(p, dwBody0);
        if (pLogin == NULL) {
            if (!(usRules & VXQ_DPS_RELAY_QUIET_LOGIN))
                PR_ShowOper("Receiving network data: %s fail, cause: no login.", in_pLine);
            return VXQ_DPS_UMSP_RESULT_NOT_LOGGED_IN;
        }
        if (!PR_HoldsRight(p, pLogin, pRelay, in_pMsg)) {
            PR_ShowOper("Receiving network data: %s fail, cause: without permission.", in_pLine);
            return VXQ_DPS_UMSP_RESULT_NO_PERMISSION;
        }
    }
    if (usRules & VXQ_DPS_RELAY_FILE) {
        /* A file is named by its read id alone: only the session that holds it open may use it. */
        if (in_pConn->dwLoginId == 0) {
            PR_ShowOper("Receiving network data: %s fail, cause: no login.", in_pLine);
            return VXQ_DPS_UMSP_RESULT_NOT_LOGGED_IN;
        }
        if (!PR_SessionHoldsFile(p, in_pConn->dwLoginId, VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_BODY + 4))) {
            PR_ShowOper("Receiving network data: %s fail, cause: without permission.", in_pLine);
            return VXQ_DPS_UMSP_RESULT_NO_PERMISSION;
        }
    }
    return 0;
}

int VXQ_F_DPS_MW_RelayRequest(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                              uint8_t *inout_pMsg, int32_t in_iLength, const _VXQ_S_DPS_FUNC_LINE *in_pLine)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    const _VXQ_S_DPS_RELAY *pRelay = &in_pLine->tRelay;
    const char *sName = in_pLine->sReqName;
    uint8_t ucBody[VXQ_DPS_RELAY_BODY_MAX];
    int32_t iBodyLen = 0;
    if (!(pRelay->usRules & (VXQ_DPS_RELAY_NO_RECEIPT | VXQ_DPS_RELAY_LATE_RECEIPT)))
        PR_ShowOper("Receiving network data: %s.", in_pLine);
    uint8_t ucResult = VXQ_F_DPS_MW_CheckRules(p, inout_pConn, inout_pMsg, in_iLength, in_pLine);
    if (ucResult != 0)
        return VXQ_F_DPS_MW_Refuse(p, inout_pConn, inout_pMsg, in_iLength, ucResult, NULL, NULL, sName);
    if (pRelay->usRules & VXQ_DPS_RELAY_NOTICE) {
        if (pRelay->fnBody != NULL)
            iBodyLen = pRelay->fnBody(p, inout_pConn, inout_pMsg, in_iLength, ucBody);
        int32_t iTailLen;
        const uint8_t *pTail = PR_Tail(in_pLine, inout_pMsg, in_iLength, &iTailLen);
        int iRaised = VXQ_F_DPS_MW_RaiseEvent(p, in_pLine->iOrderId, 0, ucBody, iBodyLen, pTail, iTailLen);
        if (iRaised != 1)
            PR_LogRelayFail(in_pLine, sName, iRaised == 0 ? 1 : -1);
        ucResult = iRaised == 1 || (pRelay->usRules & VXQ_DPS_RELAY_NOTICE_OK)
                       ? VXQ_DPS_UMSP_RESULT_SUCCESS
                       : VXQ_DPS_UMSP_RESULT_SERVICE_FAIL;
        return VXQ_F_DPS_MW_AnswerInPlace(p, inout_pConn, inout_pMsg, in_iLength, ucResult, sName) &&
               iRaised == 1;
    }
    /* The body's debug line comes after the parking, or before the receipt line. */
    int bLate = (pRelay->usRules & VXQ_DPS_RELAY_LATE_RECEIPT) != 0;
    if (bLate) {
        if (pRelay->fnBody != NULL)
            iBodyLen = pRelay->fnBody(p, inout_pConn, inout_pMsg, in_iLength, ucBody);
        PR_ShowOper("Receiving network data: %s.", in_pLine);
    }
    _VXQ_S_DPS_TRANS_DATA *pTrans =
        VXQ_F_DPS_MW_Park(p, inout_pConn, inout_pMsg, in_iLength, in_pLine, sName);
    if (pTrans == NULL)
        return 0;
    if (!bLate && pRelay->fnBody != NULL)
        iBodyLen = pRelay->fnBody(p, inout_pConn, inout_pMsg, in_iLength, ucBody);
    return VXQ_F_DPS_MW_Raise(p, inout_pConn, inout_pMsg, in_iLength, in_pLine, pTrans, ucBody, iBodyLen,
                              sName);
}

/* ---- Answers --------------------------------------------------------------- */

int32_t VXQ_F_DPS_MW_OrderLen(const uint8_t *in_pOrder, int32_t in_iLength)
{
    _VXQ_S_DPS_MSG_HEAD tHead;
    if (in_pOrder == NULL || in_iLength < PR_ORDER_HEAD)
        return 0;
    memcpy(&tHead, in_pOrder, sizeof(tHead));
    if (tHead.iBodyLen < 0 || tHead.iBodyLen > in_iLength - PR_ORDER_HEAD)
        return in_iLength;
    return PR_ORDER_HEAD + tHead.iBodyLen;
}

uint32_t VXQ_F_DPS_MW_AnswerBegin(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                  const _VXQ_S_DPS_FUNC_LINE *in_pLine)
{
    _VXQ_S_DPS_MSG_HEAD tHead;
    VXQ_F_DPS_MW_TransAndShowErrorCodeToUmspResult(inout_pOrder + PR_ORDER_RESULT, in_pLine->tRelay.sAnsOper);
    memcpy(&tHead, inout_pOrder, sizeof(tHead));
    VXQ_DPS_DEBUG(inout_pMcSrvData->bDebugLog && (in_pLine->tRelay.ucAnsFlags & VXQ_DPS_ANS_HEAD), 0,
                  "[DEBUG]  %s (response): ucResult: %d, dwTransId: %u, iBodyLen: %d.",
                  in_pLine->tRelay.sAnsOper, (int)tHead.ucResult, (unsigned)tHead.dwTransId,
                  (int)tHead.iBodyLen);
    return tHead.dwTransId;
}

_VXQ_S_DPS_TRANS_DATA *VXQ_F_DPS_MW_FindTarget(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwTransId,
                                               const _VXQ_S_DPS_FUNC_LINE *in_pLine,
                                               _VXQ_S_DPS_NET_PORT_DATA **out_ppConn)
{
    return VXQ_F_DPS_MW_FindTargetEx(inout_pMcSrvData, in_dwTransId, in_pLine, 1, out_ppConn);
}

_VXQ_S_DPS_TRANS_DATA *VXQ_F_DPS_MW_FindTargetEx(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 uint32_t in_dwTransId, const _VXQ_S_DPS_FUNC_LINE *in_pLine,
                                                 int in_bDeleteOnMiss, _VXQ_S_DPS_NET_PORT_DATA **out_ppConn)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    const char *sName = in_pLine->sAnsName;
    uint8_t ucFlags = in_pLine->tRelay.ucAnsFlags;
    int bLog = !(ucFlags & VXQ_DPS_ANS_QUIET);
    *out_ppConn = NULL;
    _VXQ_S_DPS_TRANS_DATA *pTrans = VXQ_F_DPS_MC_Trans_QueryTransDataByTransId(p, in_dwTransId);
    if (pTrans == NULL) {
        if (bLog)
            VXQ_F_DPS_MW_LogStep(sName, "VXQ_F_DPS_MC_Trans_QueryTransDataByTransId fail.");
        return NULL;
    }
    const uint8_t *pRequ = (const uint8_t *)pTrans->pRequDataBuf;
    if (pRequ == NULL || pTrans->iRequDataLen < (int32_t)VXQ_DPS_UMSP_HEAD_LEN ||
        ((ucFlags & VXQ_DPS_ANS_REC_TEXT) && pTrans->iRequDataLen < in_pLine->tRelay.sAnsLen)) {
        if (bLog)
            VXQ_F_DPS_MW_LogStep(sName, "pRequDataBuf fail.");
    } else if ((*out_ppConn = VXQ_F_DPS_MC_NetPortData_QueryByPortId(p, pTrans->dwPortId)) == NULL) {
        if (bLog)
            VXQ_F_DPS_MW_LogStep(sName, "VXQ_F_DPS_MC_NetPortData_QueryByPortId fail.");
    } else if ((ucFlags & VXQ_DPS_ANS_CHECK_ID) &&
               VXQ_F_DPS_MW_GetLe16(pRequ + VXQ_DPS_UMSP_OFF_FUNC_ID) != in_pLine->usMsgFuncId) {
        VXQ_F_DPS_MW_LogStep(sName, "usMsgFuncId error.");
    } else if (pTrans->iRequDataLen < in_pLine->tRelay.sAnsLen) {
        VXQ_F_DPS_MW_LogStep(sName, "iRequDataLen error.");
    } else {
        return pTrans;
    }
    *out_ppConn = NULL;
    if (in_bDeleteOnMiss)
        VXQ_F_DPS_MC_Trans_DeleteTransData(p, pTrans);
    return NULL;
}

int VXQ_F_DPS_MW_AnswerAndEnd(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                              _VXQ_S_DPS_TRANS_DATA *inout_pTrans, uint8_t *inout_pMsg, int32_t in_iLength,
                              const _VXQ_S_DPS_FUNC_LINE *in_pLine)
{
    /* The quiet answers are the channel's own, and named so. */
    const char *sName = (in_pLine->tRelay.ucAnsFlags & VXQ_DPS_ANS_QUIET) ? "VXQ_F_DPS_MC_SendTransResult"
                                                                          : in_pLine->sAnsName;
    int iRet = VXQ_F_DPS_MW_SendNetAnswer(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, sName);
    VXQ_F_DPS_MC_Trans_DeleteTransData(inout_pMcSrvData, inout_pTrans);
    return iRet;
}

/* Writes the line's PUT values of the order into the parked request, each only
 * where the order (in_iLength bytes) and the request both reach. */
static void PR_PutValues(uint8_t *inout_pRequ, int32_t in_iRequLen, const uint8_t *in_pOrder,
                         int32_t in_iLength, const _VXQ_S_DPS_ANSWER_PUT *in_pPut)
{
    for (int32_t i = 0; i < in_pPut->ucCount; i++) {
        int32_t iFrom = PR_ORDER_HEAD + in_pPut->sOrderOff + i * in_pPut->ucSize;
        int32_t iTo = in_pPut->sMsgOff + i * in_pPut->ucSize;
        if (iTo + in_pPut->ucSize > in_iRequLen ||
            (in_pPut->sOrderOff >= 0 && iFrom + in_pPut->ucSize > in_iLength))
            continue;
        uint32_t dwValue = 0;
        uint16_t usValue = 0;
        if (in_pPut->ucSize == 2) {
            if (in_pPut->sOrderOff >= 0)
                memcpy(&usValue, in_pOrder + iFrom, 2);
            VXQ_F_DPS_MW_PutLe16(inout_pRequ + iTo, usValue);
        } else {
            if (in_pPut->sOrderOff >= 0)
                memcpy(&dwValue, in_pOrder + iFrom, 4);
            VXQ_F_DPS_MW_PutLe32(inout_pRequ + iTo, dwValue);
        }
    }
}

/* DATA: a fresh message of the first sAnsLen parked bytes and the order's data
 * from body offset sAnsDataOff to the end its head announces; packet size the
 * new total, the data length at sAnsLenOff. */
static int PR_SendWithData(_VXQ_S_DPS_MCSRV_DATA *p, _VXQ_S_DPS_NET_PORT_DATA *in_pConn,
                           _VXQ_S_DPS_TRANS_DATA *in_pTrans, const uint8_t *in_pOrder, int32_t in_iLength,
                           const _VXQ_S_DPS_FUNC_LINE *in_pLine)
{
    const _VXQ_S_DPS_RELAY *pRelay = &in_pLine->tRelay;
    int32_t iFixedLen = pRelay->sAnsLen;
    int32_t iDataLen = VXQ_F_DPS_MW_OrderLen(in_pOrder, in_iLength) - PR_ORDER_HEAD - pRelay->sAnsDataOff;
    if (iDataLen < 0)
        iDataLen = 0;
    if (iDataLen == 0 && (pRelay->ucAnsFlags & VXQ_DPS_ANS_NEED_DATA)) {
        char sText[160];
        snprintf(sText, sizeof(sText), "%s %s error.", in_pLine->sAnsName, pRelay->sLenName);
        VXQ_F_LOG_SR_WriteLog(sText, 2);
        VXQ_F_DPS_MC_Trans_DeleteTransData(p, in_pTrans);
        return 0;
    }
    uint8_t *pMsg = (uint8_t *)malloc((size_t)(iFixedLen + iDataLen));
    if (pMsg == NULL) {
        VXQ_F_DPS_MW_LogStep(in_pLine->sAnsName, "malloc fail.");
        VXQ_F_DPS_MC_Trans_DeleteTransData(p, in_pTrans);
        return 0;
    }
    memcpy(pMsg, in_pTrans->pRequDataBuf, (size_t)iFixedLen);
    VXQ_F_DPS_MW_PutLe32(pMsg + VXQ_DPS_UMSP_OFF_PACKET_SIZE, (uint32_t)(iFixedLen + iDataLen));
    VXQ_F_DPS_MW_HeadMakeAnswer(pMsg, in_pOrder[PR_ORDER_RESULT]);
    VXQ_F_DPS_MW_PutLe32(pMsg + pRelay->sAnsLenOff, (uint32_t)iDataLen);
    if (iDataLen > 0)
        memcpy(pMsg + iFixedLen, in_pOrder + PR_ORDER_HEAD + pRelay->sAnsDataOff, (size_t)iDataLen);
    int iRet = VXQ_F_DPS_MW_AnswerAndEnd(p, in_pConn, in_pTrans, pMsg, iFixedLen + iDataLen, in_pLine);
    free(pMsg);
    return iRet;
}

int VXQ_F_DPS_MW_RelayAnswer(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                             int32_t in_iLength, const _VXQ_S_DPS_FUNC_LINE *in_pLine)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    const _VXQ_S_DPS_RELAY *pRelay = &in_pLine->tRelay;
    _VXQ_S_DPS_NET_PORT_DATA *pConn;
    int iRet = 0;
    uint32_t dwTransId = VXQ_F_DPS_MW_AnswerBegin(p, inout_pOrder, in_pLine);
    if (dwTransId == 0)
        return 0;
    if (pRelay->fnAnsDebug != NULL && p->bDebugLog)
        pRelay->fnAnsDebug(inout_pOrder, in_iLength, in_pLine);
    _VXQ_S_DPS_TRANS_DATA *pTrans = VXQ_F_DPS_MW_FindTarget(p, dwTransId, in_pLine, &pConn);
    if (pTrans != NULL && pRelay->ucAnswer == VXQ_DPS_ANSWER_DATA) {
        iRet = PR_SendWithData(p, pConn, pTrans, inout_pOrder, in_iLength, in_pLine);
    } else if (pTrans != NULL) {
        uint8_t *pRequ = (uint8_t *)pTrans->pRequDataBuf;
        int32_t iSendLen = pTrans->iRequDataLen;
        if (pRelay->ucAnswer == VXQ_DPS_ANSWER_PUT) {
            for (size_t i = 0; i < sizeof(pRelay->tPut) / sizeof(pRelay->tPut[0]); i++)
                PR_PutValues(pRequ, iSendLen, inout_pOrder, in_iLength, &pRelay->tPut[i]);
        }
        if (pRelay->ucAnsFlags & VXQ_DPS_ANS_CUT) {
            iSendLen = pRelay->sAnsLen;
            VXQ_F_DPS_MW_PutLe32(pRequ + VXQ_DPS_UMSP_OFF_PACKET_SIZE, (uint32_t)iSendLen);
        }
        VXQ_F_DPS_MW_HeadMakeAnswer(pRequ, inout_pOrder[PR_ORDER_RESULT]);
        iRet = VXQ_F_DPS_MW_AnswerAndEnd(p, pConn, pTrans, pRequ, iSendLen, in_pLine);
    }
    if (!iRet && (pRelay->ucAnsFlags & VXQ_DPS_ANS_LOG_FAIL))
        VXQ_F_DPS_MW_LogStep(in_pLine->sAnsName, "VXQ_F_DPS_MC_SendTransResult fail.");
    return iRet;
}
