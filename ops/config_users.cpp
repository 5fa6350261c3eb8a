/*
 * config_users.cpp - configuration, network address and user requests and answers.
 *
 * Each client request handler sits next to the handler of the host's answer.
 * Message buffers stay in wire order (little-endian accessors); event and
 * order bodies are host-order records (vxq_dps.h). Configuration blocks and
 * import/export data are passed through as bytes: on a big-endian host the
 * message translator converts configuration blocks on their way in and out.
 */
#include "ops/config_users.h"

#include "core/channel.h"
#include "ops/answer.h"
#include "protocol/dispatch.h"
#include "protocol/session.h"
#include "wire/head.h"
#include "wire/result.h"
#include "vxq_log.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define PR_BODY VXQ_DPS_UMSP_HEAD_LEN
#define PR_ORDER_HEAD ((int32_t)sizeof(_VXQ_S_DPS_MSG_HEAD))

/* Login id and rights rule of the configuration requests. */
typedef struct _VXQ_S_DPS_CFG_RULE {
    const char *sOperText; /* "Get config", ...: receipt and refusal lines */
    uint32_t dwPopBit;     /* VXQ_DPS_POP_READ_CONFIG or _WRITE_CONFIG, global word only */
    int bShowNoLogin;      /* a refusal for no login is shown (set config is not) */
} _VXQ_S_DPS_CFG_RULE;

int32_t VXQ_F_DPS_MW_ClampChPopNum(int32_t in_iChPopNum)
{
    if (in_iChPopNum < 0)
        return 0;
    return in_iChPopNum > VXQ_DPS_MAX_CH_POP_NUM ? VXQ_DPS_MAX_CH_POP_NUM : in_iChPopNum;
}

/* Copies a text field of the request (in_nSize bytes, maybe unterminated) into
 * an event field of the same size: at most in_nSize - 1 characters, terminated. */
static void PR_CopyText(char *out_sDst, const uint8_t *in_pSrc, size_t in_nSize)
{
    size_t n = 0;
    while (n + 1 < in_nSize && in_pSrc[n] != 0)
        n++;
    memcpy(out_sDst, in_pSrc, n);
    memset(out_sDst + n, 0, in_nSize - n);
}

/* Reads a permission record from the wire (global word, count, 64 words): the
 * count clamped to 0..64 and only that many words kept, the rest 0. */
static void PR_ReadUserPop(const uint8_t *in_pField, _VXQ_S_DPS_USER_POP *out_pPop)
{
    memset(out_pPop, 0, sizeof(*out_pPop));
    out_pPop->dwGlobalPop = VXQ_F_DPS_MW_GetLe32(in_pField);
    out_pPop->iChPopNum = VXQ_F_DPS_MW_ClampChPopNum((int32_t)VXQ_F_DPS_MW_GetLe32(in_pField + 4));
    for (int32_t i = 0; i < out_pPop->iChPopNum; i++)
        out_pPop->dwChPop[i] = VXQ_F_DPS_MW_GetLe32(in_pField + 8 + 4 * i);
}

/* The request handler pattern: shapes the request as its answer, parks a copy
 * in a transaction and raises in_iEventId with body part1 + part2. On any
 * failure the client is answered at once with result 1. 1 parked, 0 answered. */
static int PR_ParkAndRaise(_VXQ_S_DPS_MCSRV_DATA *p, _VXQ_S_DPS_NET_PORT_DATA *in_pConn, uint8_t *inout_pMsg,
                           int32_t in_iLength, int32_t in_iEventId, const void *in_pPart1,
                           int32_t in_iPart1Len, const void *in_pPart2, int32_t in_iPart2Len,
                           const char *in_sHandlerName)
{
    _VXQ_S_DPS_TRANS_DATA *pTrans;
    _VXQ_S_DPS_MSG_HEAD tHead;
    uint8_t *pEvent;
    char sText[192];
    int bOk = 0;
    if (in_iPart2Len < 0 || in_pPart2 == NULL)
        in_iPart2Len = 0;
    VXQ_F_DPS_MW_HeadMakeAnswer(inout_pMsg, VXQ_DPS_UMSP_RESULT_SUCCESS);
    pTrans = VXQ_F_DPS_MC_Trans_CreateTransDataOfLinkData(
        p, in_pConn->dwPortId, VXQ_F_DPS_MW_GetLe16(inout_pMsg + VXQ_DPS_UMSP_OFF_FUNC_ID), inout_pMsg,
        in_iLength);
    if (pTrans == NULL) {
        snprintf(sText, sizeof(sText), "%s VXQ_F_DPS_MC_Trans_CreateTransDataOfLinkData fail.",
                 in_sHandlerName);
        VXQ_F_LOG_SR_WriteLog(sText, 2);
    } else {
        pEvent = (uint8_t *)malloc((size_t)(PR_ORDER_HEAD + in_iPart1Len + in_iPart2Len));
        if (pEvent == NULL) {
            snprintf(sText, sizeof(sText), "%s malloc fail.", in_sHandlerName);
            VXQ_F_LOG_SR_WriteLog(sText, 2);
        } else {
            memset(&tHead, 0, sizeof(tHead));
            tHead.iMsgFuncId = in_iEventId;
            tHead.dwTransId = pTrans->dwTransId;
            tHead.iBodyLen = in_iPart1Len + in_iPart2Len;
            memcpy(pEvent, &tHead, sizeof(tHead));
            if (in_iPart1Len > 0)
                memcpy(pEvent + PR_ORDER_HEAD, in_pPart1, (size_t)in_iPart1Len);
            if (in_iPart2Len > 0)
                memcpy(pEvent + PR_ORDER_HEAD + in_iPart1Len, in_pPart2, (size_t)in_iPart2Len);
            bOk = VXQ_F_DPS_MC_SentProEventToUpApp(p, pEvent, PR_ORDER_HEAD + tHead.iBodyLen);
            if (!bOk) {
                snprintf(sText, sizeof(sText), "%s VXQ_F_DPS_MC_SentProEventToUpApp fail.", in_sHandlerName);
                VXQ_F_LOG_SR_WriteLog(sText, 2);
            }
            free(pEvent);
        }
    }
    if (bOk)
        return 1;
    VXQ_F_DPS_MC_Trans_DeleteTransData(p, pTrans);
    VXQ_F_DPS_MW_AnswerInPlace(p, in_pConn, inout_pMsg, in_iLength, VXQ_DPS_UMSP_RESULT_SERVICE_FAIL,
                               in_sHandlerName);
    return 0;
}

/* Login id (body 0) and global-word rights rule of the configuration requests.
 * Returns 1 when the request may go on; else it was answered with 6 or 5. */
static int PR_CheckConfigRule(_VXQ_S_DPS_MCSRV_DATA *p, _VXQ_S_DPS_NET_PORT_DATA *in_pConn,
                              uint8_t *inout_pMsg, int32_t in_iLength, const _VXQ_S_DPS_CFG_RULE *in_pRule,
                              const char *in_sHandlerName)
{
    _VXQ_S_DPS_NET_PORT_DATA *pCmd =
        VXQ_F_DPS_MC_NetPortData_QueryByLoginId(p, VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_BODY));
    char sText[160];
    uint8_t ucResult;
    if (pCmd == NULL) {
        if (in_pRule->bShowNoLogin) {
            snprintf(sText, sizeof(sText), "Receiving network data: %s fail, cause: no login.",
                     in_pRule->sOperText);
            VXQ_F_LOG_SR_ShowInfo(sText);
        }
        ucResult = VXQ_DPS_UMSP_RESULT_NOT_LOGGED_IN;
    } else if (!VXQ_F_DPS_MC_APUP_PopCheck(p, pCmd, -1, in_pRule->dwPopBit)) {
        snprintf(sText, sizeof(sText), "Receiving network data: %s fail, cause: without permission.",
                 in_pRule->sOperText);
        VXQ_F_LOG_SR_ShowInfo(sText);
        ucResult = VXQ_DPS_UMSP_RESULT_NO_PERMISSION;
    } else {
        return 1;
    }
    VXQ_F_DPS_MW_AnswerInPlace(p, in_pConn, inout_pMsg, in_iLength, ucResult, in_sHandlerName);
    return 0;
}

/* Answers that carry only the result: the parked request goes back whole. */
static int PR_AnswerResultOnly(_VXQ_S_DPS_MCSRV_DATA *p, uint8_t *inout_pOrder, int32_t in_iLength,
                               const char *in_sOperName, const char *in_sHandlerName)
{
    _VXQ_S_DPS_NET_PORT_DATA *pConn = NULL;
    _VXQ_S_DPS_TRANS_DATA *pTrans =
        VXQ_F_DPS_MW_FindAnswerTarget(p, inout_pOrder, in_iLength, in_sOperName, in_sHandlerName, &pConn);
    int iRet;
    if (pTrans == NULL)
        return 0;
    pTrans->pRequDataBuf[VXQ_DPS_UMSP_OFF_RESULT] =
        (char)inout_pOrder[offsetof(_VXQ_S_DPS_MSG_HEAD, ucResult)];
    iRet = VXQ_F_DPS_MW_SendNetAnswer(p, pConn, (uint8_t *)pTrans->pRequDataBuf, pTrans->iRequDataLen,
                                      in_sHandlerName);
    VXQ_F_DPS_MC_Trans_DeleteTransData(p, pTrans);
    return iRet;
}

/* Answers that carry data: the first in_iFixedLen bytes of the parked request,
 * the data length (32 bits at message offset in_iLenOffset) and the order's
 * data from its body offset in_iDataOffset (a negative length counts as 0);
 * packet size = the new total. */
static int PR_AnswerWithData(_VXQ_S_DPS_MCSRV_DATA *p, uint8_t *inout_pOrder, int32_t in_iLength,
                             const char *in_sOperName, const char *in_sHandlerName, int32_t in_iFixedLen,
                             int32_t in_iLenOffset, int32_t in_iDataOffset)
{
    _VXQ_S_DPS_NET_PORT_DATA *pConn = NULL;
    _VXQ_S_DPS_TRANS_DATA *pTrans =
        VXQ_F_DPS_MW_FindAnswerTarget(p, inout_pOrder, in_iLength, in_sOperName, in_sHandlerName, &pConn);
    char sText[160];
    int iRet = 0;
    if (pTrans == NULL)
        return 0;
    if (pTrans->iRequDataLen < in_iFixedLen) {
        snprintf(sText, sizeof(sText), "%s iRequDataLen error.", in_sHandlerName);
        VXQ_F_LOG_SR_WriteLog(sText, 2);
    } else {
        iRet = VXQ_F_DPS_MW_SendParkedWithData(p, pConn, pTrans, inout_pOrder, in_iLength, in_iFixedLen,
                                               in_iLenOffset, in_iDataOffset, in_sHandlerName);
    }
    VXQ_F_DPS_MC_Trans_DeleteTransData(p, pTrans);
    return iRet;
}

/* ---- Password change --------------------------------------------------------- */

int VXQ_F_DPS_MW_DoNetMsg_P9_MODIFY_USER_PWD(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                             _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                             int32_t in_iLength)
{
    static const char *const sName = "VXQ_F_DPS_MW_DoNetMsg_P9_MODIFY_USER_PWD";
    _VXQ_S_DPS_E3_MODIFY_USER_PWD tBody;
    VXQ_F_LOG_SR_ShowInfo("Receiving network data: Modify user password.");
    if (!VXQ_F_DPS_MW_CheckMsgLen(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, PR_BODY + 96, sName))
        return 0;
    PR_CopyText(tBody.i_sText1, inout_pMsg + PR_BODY, 32);
    PR_CopyText(tBody.i_sText2, inout_pMsg + PR_BODY + 32, 32);
    PR_CopyText(tBody.i_sText3, inout_pMsg + PR_BODY + 64, 32);
    return PR_ParkAndRaise(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, EVENT_E3_MODIFY_USER_PWD,
                           &tBody, (int32_t)sizeof(tBody), NULL, 0, sName);
}

int VXQ_F_DPS_MW_DoOrder_EVENT_E3_MODIFY_USER_PWD(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                  uint8_t *inout_pOrder, int32_t in_iLength)
{
    return PR_AnswerResultOnly(inout_pMcSrvData, inout_pOrder, in_iLength, "Modify user pwd",
                               "VXQ_F_DPS_MW_DoOrder_EVENT_E3_MODIFY_USER_PWD");
}

/* ---- Get and set configuration ------------------------------------------------ */

/* Get and set share one request layout: login id, configuration id, the
 * client's length (not trusted) and the block to the end of the message. */
static int PR_DoConfigRequest(_VXQ_S_DPS_MCSRV_DATA *p, _VXQ_S_DPS_NET_PORT_DATA *in_pConn,
                              uint8_t *inout_pMsg, int32_t in_iLength, const _VXQ_S_DPS_CFG_RULE *in_pRule,
                              int32_t in_iEventId, const char *in_sHandlerName)
{
    _VXQ_S_DPS_E3_CONFIG tBody;
    char sText[96];
    snprintf(sText, sizeof(sText), "Receiving network data: %s.", in_pRule->sOperText);
    VXQ_F_LOG_SR_ShowInfo(sText);
    if (!VXQ_F_DPS_MW_CheckMsgLen(p, in_pConn, inout_pMsg, in_iLength, VXQ_DPS_GET_CONFIG_FIXED_LEN,
                                  in_sHandlerName))
        return 0;
    if (!PR_CheckConfigRule(p, in_pConn, inout_pMsg, in_iLength, in_pRule, in_sHandlerName))
        return 0;
    tBody.i_iConfigFuncId = (int32_t)VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_BODY + 4);
    tBody.iConfigDataLen = in_iLength - VXQ_DPS_GET_CONFIG_FIXED_LEN;
    return PR_ParkAndRaise(p, in_pConn, inout_pMsg, in_iLength, in_iEventId, &tBody, (int32_t)sizeof(tBody),
                           inout_pMsg + VXQ_DPS_GET_CONFIG_FIXED_LEN, tBody.iConfigDataLen, in_sHandlerName);
}

int VXQ_F_DPS_MW_DoNetMsg_P9_GET_CONFIG(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                        _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                        int32_t in_iLength)
{
    static const _VXQ_S_DPS_CFG_RULE tRule = {"Get config", VXQ_DPS_POP_READ_CONFIG, 1};
    return PR_DoConfigRequest(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, &tRule,
                              EVENT_E3_GET_CONFIG, "VXQ_F_DPS_MW_DoNetMsg_P9_GET_CONFIG");
}

/* Answer: the first 32 bytes of the request, body 8 = data length, the block. */
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_GET_CONFIG(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                             int32_t in_iLength)
{
    return PR_AnswerWithData(inout_pMcSrvData, inout_pOrder, in_iLength, "Get config",
                             "VXQ_F_DPS_MW_DoOrder_EVENT_E3_GET_CONFIG", VXQ_DPS_GET_CONFIG_FIXED_LEN,
                             PR_BODY + 8, (int32_t)sizeof(_VXQ_S_DPS_E3_CONFIG));
}

int VXQ_F_DPS_MW_DoNetMsg_P9_SET_CONFIG(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                        _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                        int32_t in_iLength)
{
    static const _VXQ_S_DPS_CFG_RULE tRule = {"Set config", VXQ_DPS_POP_WRITE_CONFIG, 0};
    return PR_DoConfigRequest(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, &tRule,
                              EVENT_E3_SET_CONFIG, "VXQ_F_DPS_MW_DoNetMsg_P9_SET_CONFIG");
}

int VXQ_F_DPS_MW_DoOrder_EVENT_E3_SET_CONFIG(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                             int32_t in_iLength)
{
    return PR_AnswerResultOnly(inout_pMcSrvData, inout_pOrder, in_iLength, "Set config",
                               "VXQ_F_DPS_MW_DoOrder_EVENT_E3_SET_CONFIG");
}

/* ---- Default configuration ------------------------------------------------------ */

int VXQ_F_DPS_MW_DoNetMsg_P9_GET_DEF_CONFIG(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                            _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                            int32_t in_iLength)
{
    static const char *const sName = "VXQ_F_DPS_MW_DoNetMsg_P9_GET_DEF_CONFIG";
    static const _VXQ_S_DPS_CFG_RULE tRule = {"Get default config", VXQ_DPS_POP_READ_CONFIG, 1};
    _VXQ_S_DPS_E3_GET_DEF_CONFIG tBody;
    VXQ_F_LOG_SR_ShowInfo("Receiving network data: Get default config.");
    if (!VXQ_F_DPS_MW_CheckMsgLen(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                                  VXQ_DPS_GET_DEF_CONFIG_FIXED_LEN, sName))
        return 0;
    if (!PR_CheckConfigRule(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, &tRule, sName))
        return 0;
    tBody.i_iConfigFuncId = (int32_t)VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_BODY + 4);
    tBody.i_dwParam = VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_BODY + 8);
    tBody.o_dwValue = 0;
    return PR_ParkAndRaise(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, EVENT_E3_GET_DEF_CONFIG,
                           &tBody, (int32_t)sizeof(tBody), NULL, 0, sName);
}

/* Answer: the first 36 bytes of the request, body 12 = data length, the block. */
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_GET_DEF_CONFIG(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 uint8_t *inout_pOrder, int32_t in_iLength)
{
    return PR_AnswerWithData(inout_pMcSrvData, inout_pOrder, in_iLength, "Get default config",
                             "VXQ_F_DPS_MW_DoOrder_EVENT_E3_GET_DEF_CONFIG", VXQ_DPS_GET_DEF_CONFIG_FIXED_LEN,
                             PR_BODY + 12, (int32_t)sizeof(_VXQ_S_DPS_E3_GET_DEF_CONFIG));
}

/* ---- Import and export ----------------------------------------------------------- */

int VXQ_F_DPS_MW_DoNetMsg_P9_IEC_IMP_CONFIG(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                            _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                            int32_t in_iLength)
{
    static const char *const sName = "VXQ_F_DPS_MW_DoNetMsg_P9_IEC_IMP_CONFIG";
    static const _VXQ_S_DPS_CFG_RULE tRule = {"Import config", VXQ_DPS_POP_WRITE_CONFIG, 1};
    _VXQ_S_DPS_E3_IEC_IMP_CONFIG tBody;
    VXQ_F_LOG_SR_ShowInfo("Receiving network data: Import config.");
    if (!VXQ_F_DPS_MW_CheckMsgLen(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                                  VXQ_DPS_IMP_CONFIG_FIXED_LEN, sName))
        return 0;
    if (!PR_CheckConfigRule(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, &tRule, sName))
        return 0;
    tBody.i_iDataLen = in_iLength - VXQ_DPS_IMP_CONFIG_FIXED_LEN;
    return PR_ParkAndRaise(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, EVENT_E3_IEC_IMP_CONFIG,
                           &tBody, (int32_t)sizeof(tBody), inout_pMsg + VXQ_DPS_IMP_CONFIG_FIXED_LEN,
                           tBody.i_iDataLen, sName);
}

/* Answer: the first 28 bytes of the request, packet size 28, body 4 = 0. */
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_IEC_IMP_CONFIG(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 uint8_t *inout_pOrder, int32_t in_iLength)
{
    static const char *const sName = "VXQ_F_DPS_MW_DoOrder_EVENT_E3_IEC_IMP_CONFIG";
    _VXQ_S_DPS_NET_PORT_DATA *pConn = NULL;
    _VXQ_S_DPS_TRANS_DATA *pTrans =
        VXQ_F_DPS_MW_FindAnswerTarget(inout_pMcSrvData, inout_pOrder, in_iLength, "Import config", sName, &pConn);
    uint8_t *pAnswer;
    int iRet = 0;
    if (pTrans == NULL)
        return 0;
    if (pTrans->iRequDataLen < VXQ_DPS_IMP_CONFIG_FIXED_LEN) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MW_DoOrder_EVENT_E3_IEC_IMP_CONFIG iRequDataLen error.", 2);
    } else {
        pAnswer = (uint8_t *)pTrans->pRequDataBuf;
        pAnswer[VXQ_DPS_UMSP_OFF_RESULT] = inout_pOrder[offsetof(_VXQ_S_DPS_MSG_HEAD, ucResult)];
        VXQ_F_DPS_MW_PutLe32(pAnswer + VXQ_DPS_UMSP_OFF_PACKET_SIZE, VXQ_DPS_IMP_CONFIG_FIXED_LEN);
        VXQ_F_DPS_MW_PutLe32(pAnswer + PR_BODY + 4, 0);
        iRet =
            VXQ_F_DPS_MW_SendNetAnswer(inout_pMcSrvData, pConn, pAnswer, VXQ_DPS_IMP_CONFIG_FIXED_LEN, sName);
    }
    VXQ_F_DPS_MC_Trans_DeleteTransData(inout_pMcSrvData, pTrans);
    return iRet;
}

int VXQ_F_DPS_MW_DoNetMsg_P9_IEC_EXP_CONFIG(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                            _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                            int32_t in_iLength)
{
    static const char *const sName = "VXQ_F_DPS_MW_DoNetMsg_P9_IEC_EXP_CONFIG";
    static const _VXQ_S_DPS_CFG_RULE tRule = {"Export config", VXQ_DPS_POP_READ_CONFIG, 1};
    VXQ_F_LOG_SR_ShowInfo("Receiving network data: Export config.");
    if (!VXQ_F_DPS_MW_CheckMsgLen(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                                  VXQ_DPS_EXP_CONFIG_FIXED_LEN, sName))
        return 0;
    if (!PR_CheckConfigRule(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, &tRule, sName))
        return 0;
    return PR_ParkAndRaise(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, EVENT_E3_IEC_EXP_CONFIG,
                           NULL, 0, NULL, 0, sName);
}

/* Answer: the first 28 bytes of the request, body 4 = data length, the data. */
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_IEC_EXP_CONFIG(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 uint8_t *inout_pOrder, int32_t in_iLength)
{
    return PR_AnswerWithData(inout_pMcSrvData, inout_pOrder, in_iLength, "Export config",
                             "VXQ_F_DPS_MW_DoOrder_EVENT_E3_IEC_EXP_CONFIG", VXQ_DPS_EXP_CONFIG_FIXED_LEN,
                             PR_BODY + 4, (int32_t)sizeof(_VXQ_S_DPS_E3_IEC_EXP_CONFIG));
}

/* ---- Network information and address ---------------------------------------------- */

int VXQ_F_DPS_MW_DoNetMsg_P9_QUERY_NET_INFO(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                            _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                            int32_t in_iLength)
{
    static const char *const sName = "VXQ_F_DPS_MW_DoNetMsg_P9_QUERY_NET_INFO";
    _VXQ_S_DPS_E3_QUERY_NET_INFO tBody;
    VXQ_F_LOG_SR_ShowInfo("Receiving network data: Query the network information.");
    if (!VXQ_F_DPS_MW_CheckMsgLen(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                                  VXQ_DPS_NET_INFO_FIXED_LEN, sName))
        return 0;
    tBody.i_dwParam = VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_BODY);
    return PR_ParkAndRaise(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, EVENT_E3_QUERY_NET_INFO,
                           &tBody, (int32_t)sizeof(tBody), NULL, 0, sName);
}

/* Answer: the request's head, body 0 the card count, then the cards (90 bytes
 * each, their 32-bit value at 38 turned into wire order); packet size 24 +
 * count x 90. A count that the order's body cannot hold is answered with
 * result 1 and no cards. */
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_QUERY_NET_INFO(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 uint8_t *inout_pOrder, int32_t in_iLength)
{
    static const char *const sName = "VXQ_F_DPS_MW_DoOrder_EVENT_E3_QUERY_NET_INFO";
    _VXQ_S_DPS_NET_PORT_DATA *pConn = NULL;
    _VXQ_S_DPS_TRANS_DATA *pTrans =
        VXQ_F_DPS_MW_FindAnswerTarget(inout_pMcSrvData, inout_pOrder, in_iLength, "Query net info", sName, &pConn);
    _VXQ_S_DPS_MSG_HEAD tHead;
    int32_t iCardNum = 0, iBodyLen, iTotal;
    uint8_t *pAnswer;
    int iRet = 0;
    if (pTrans == NULL)
        return 0;
    memcpy(&tHead, inout_pOrder, sizeof(tHead));
    iBodyLen = tHead.iBodyLen < in_iLength - PR_ORDER_HEAD ? tHead.iBodyLen : in_iLength - PR_ORDER_HEAD;
    if (iBodyLen >= 4) {
        memcpy(&iCardNum, inout_pOrder + PR_ORDER_HEAD, 4);
        if (iCardNum < 0 || iCardNum > (iBodyLen - 4) / VXQ_DPS_CARD_INFO_WIRE_LEN) {
            VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MW_DoOrder_EVENT_E3_QUERY_NET_INFO iCardNum error.", 2);
            iCardNum = 0;
            tHead.ucResult = VXQ_DPS_UMSP_RESULT_SERVICE_FAIL;
        }
    }
    iTotal = VXQ_DPS_NET_INFO_FIXED_LEN + iCardNum * VXQ_DPS_CARD_INFO_WIRE_LEN;
    pAnswer = (uint8_t *)malloc((size_t)iTotal);
    if (pAnswer == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MW_DoOrder_EVENT_E3_QUERY_NET_INFO malloc fail.", 2);
    } else {
        memcpy(pAnswer, pTrans->pRequDataBuf, VXQ_DPS_UMSP_HEAD_LEN);
        pAnswer[VXQ_DPS_UMSP_OFF_RESULT] = tHead.ucResult;
        VXQ_F_DPS_MW_PutLe32(pAnswer + VXQ_DPS_UMSP_OFF_PACKET_SIZE, (uint32_t)iTotal);
        VXQ_F_DPS_MW_PutLe32(pAnswer + PR_BODY, (uint32_t)iCardNum);
        for (int32_t i = 0; i < iCardNum; i++) {
            uint8_t *pCard = pAnswer + VXQ_DPS_NET_INFO_FIXED_LEN + i * VXQ_DPS_CARD_INFO_WIRE_LEN;
            uint32_t dwValue;
            memcpy(pCard, inout_pOrder + PR_ORDER_HEAD + 4 + i * VXQ_DPS_CARD_INFO_WIRE_LEN,
                   VXQ_DPS_CARD_INFO_WIRE_LEN);
            memcpy(&dwValue, pCard + 38, 4);
            VXQ_F_DPS_MW_PutLe32(pCard + 38, dwValue);
        }
        iRet = VXQ_F_DPS_MW_SendNetAnswer(inout_pMcSrvData, pConn, pAnswer, iTotal, sName);
        free(pAnswer);
    }
    VXQ_F_DPS_MC_Trans_DeleteTransData(inout_pMcSrvData, pTrans);
    return iRet;
}

int VXQ_F_DPS_MW_DoNetMsg_P9_MODIFY_NET_ADDR(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                             _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                             int32_t in_iLength)
{
    static const char *const sName = "VXQ_F_DPS_MW_DoNetMsg_P9_MODIFY_NET_ADDR";
    const uint8_t *pCard = inout_pMsg + PR_BODY;
    _VXQ_S_DPS_E3_MODIFY_NET_ADDR tBody;
    VXQ_F_LOG_SR_ShowInfo("Receiving network data: Modify the network address.");
    if (!VXQ_F_DPS_MW_CheckMsgLen(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                                  PR_BODY + VXQ_DPS_CARD_INFO_WIRE_LEN, sName))
        return 0;
    memset(&tBody, 0, sizeof(tBody));
    PR_CopyText(tBody.i_sCardName, pCard, 32);
    memcpy(tBody.i_ucMacAddr, pCard + 32, 6);
    tBody.i_dwValue = VXQ_F_DPS_MW_GetLe32(pCard + 38);
    PR_CopyText(tBody.i_sAddr1, pCard + 42, 16);
    PR_CopyText(tBody.i_sAddr2, pCard + 58, 16);
    PR_CopyText(tBody.i_sAddr3, pCard + 74, 16);
    return PR_ParkAndRaise(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, EVENT_E3_MODIFY_NET_ADDR,
                           &tBody, (int32_t)sizeof(tBody), NULL, 0, sName);
}

int VXQ_F_DPS_MW_DoOrder_EVENT_E3_MODIFY_NET_ADDR(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                  uint8_t *inout_pOrder, int32_t in_iLength)
{
    return PR_AnswerResultOnly(inout_pMcSrvData, inout_pOrder, in_iLength, "Modify net addr",
                               "VXQ_F_DPS_MW_DoOrder_EVENT_E3_MODIFY_NET_ADDR");
}

/* ---- Users ---------------------------------------------------------------------------- */

int VXQ_F_DPS_MW_DoNetMsg_P9_UNS_ADD_USER(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                          _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                          int32_t in_iLength)
{
    static const char *const sName = "VXQ_F_DPS_MW_DoNetMsg_P9_UNS_ADD_USER";
    _VXQ_S_DPS_E3_UNS_ADD_USER tBody;
    VXQ_F_LOG_SR_ShowInfo("Receiving network data: Add user.");
    if (!VXQ_F_DPS_MW_CheckMsgLen(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, PR_BODY + 332,
                                  sName))
        return 0;
    PR_CopyText(tBody.i_sUserName, inout_pMsg + PR_BODY + 4, 32);
    PR_CopyText(tBody.i_sPassword, inout_pMsg + PR_BODY + 36, 32);
    PR_ReadUserPop(inout_pMsg + PR_BODY + 68, &tBody.i_tPop);
    return PR_ParkAndRaise(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, EVENT_E3_UNS_ADD_USER,
                           &tBody, (int32_t)sizeof(tBody), NULL, 0, sName);
}

int VXQ_F_DPS_MW_DoOrder_EVENT_E3_UNS_ADD_USER(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                               int32_t in_iLength)
{
    return PR_AnswerResultOnly(inout_pMcSrvData, inout_pOrder, in_iLength, "Add user",
                               "VXQ_F_DPS_MW_DoOrder_EVENT_E3_UNS_ADD_USER");
}

int VXQ_F_DPS_MW_DoNetMsg_P9_UNS_DEL_USER(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                          _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                          int32_t in_iLength)
{
    static const char *const sName = "VXQ_F_DPS_MW_DoNetMsg_P9_UNS_DEL_USER";
    _VXQ_S_DPS_E3_UNS_DEL_USER tBody;
    VXQ_F_LOG_SR_ShowInfo("Receiving network data: Delete user.");
    if (!VXQ_F_DPS_MW_CheckMsgLen(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, PR_BODY + 36, sName))
        return 0;
    PR_CopyText(tBody.i_sUserName, inout_pMsg + PR_BODY + 4, 32);
    return PR_ParkAndRaise(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, EVENT_E3_UNS_DEL_USER,
                           &tBody, (int32_t)sizeof(tBody), NULL, 0, sName);
}

int VXQ_F_DPS_MW_DoOrder_EVENT_E3_UNS_DEL_USER(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                               int32_t in_iLength)
{
    return PR_AnswerResultOnly(inout_pMcSrvData, inout_pOrder, in_iLength, "Delete user",
                               "VXQ_F_DPS_MW_DoOrder_EVENT_E3_UNS_DEL_USER");
}

/* Get sends the user name only (the permission words are the answer's); set
 * sends the client's words, clamped. */
static int PR_DoUserPopRequest(_VXQ_S_DPS_MCSRV_DATA *p, _VXQ_S_DPS_NET_PORT_DATA *in_pConn,
                               uint8_t *inout_pMsg, int32_t in_iLength, int32_t in_iEventId, int in_bWithPop,
                               const char *in_sHandlerName)
{
    _VXQ_S_DPS_E3_UNS_USER_POP tBody;
    if (!VXQ_F_DPS_MW_CheckMsgLen(p, in_pConn, inout_pMsg, in_iLength, VXQ_DPS_USER_POP_MSG_LEN,
                                  in_sHandlerName))
        return 0;
    memset(&tBody, 0, sizeof(tBody));
    PR_CopyText(tBody.i_sUserName, inout_pMsg + PR_BODY + 4, 32);
    if (in_bWithPop)
        PR_ReadUserPop(inout_pMsg + PR_BODY + 36, &tBody.tPop);
    return PR_ParkAndRaise(p, in_pConn, inout_pMsg, in_iLength, in_iEventId, &tBody, (int32_t)sizeof(tBody),
                           NULL, 0, in_sHandlerName);
}

int VXQ_F_DPS_MW_DoNetMsg_P9_UNS_GET_USER_POP(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                              _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                              int32_t in_iLength)
{
    VXQ_F_LOG_SR_ShowInfo("Receiving network data: Get user pop.");
    return PR_DoUserPopRequest(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                               EVENT_E3_UNS_GET_USER_POP, 0, "VXQ_F_DPS_MW_DoNetMsg_P9_UNS_GET_USER_POP");
}

/* Answer: the parked 320-byte request with the host's words (count clamped to
 * 0..64, words past the count 0), sent with its own length. A transaction that
 * holds another request sends nothing. */
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_UNS_GET_USER_POP(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                   uint8_t *inout_pOrder, int32_t in_iLength)
{
    static const char *const sName = "VXQ_F_DPS_MW_DoOrder_EVENT_E3_UNS_GET_USER_POP";
    _VXQ_S_DPS_NET_PORT_DATA *pConn = NULL;
    _VXQ_S_DPS_TRANS_DATA *pTrans =
        VXQ_F_DPS_MW_FindAnswerTarget(inout_pMcSrvData, inout_pOrder, in_iLength, "Get user pop", sName, &pConn);
    _VXQ_S_DPS_E3_UNS_USER_POP tBody;
    int32_t iBodyLen;
    uint8_t *pAnswer;
    int iRet = 0;
    if (pTrans == NULL)
        return 0;
    pAnswer = (uint8_t *)pTrans->pRequDataBuf;
    memset(&tBody, 0, sizeof(tBody));
    memcpy(&iBodyLen, inout_pOrder + offsetof(_VXQ_S_DPS_MSG_HEAD, iBodyLen), 4);
    if (iBodyLen > in_iLength - PR_ORDER_HEAD)
        iBodyLen = in_iLength - PR_ORDER_HEAD;
    if (iBodyLen > 0)
        memcpy(&tBody, inout_pOrder + PR_ORDER_HEAD,
               (size_t)iBodyLen < sizeof(tBody) ? (size_t)iBodyLen : sizeof(tBody));
    if (VXQ_F_DPS_MW_GetLe16(pAnswer + VXQ_DPS_UMSP_OFF_FUNC_ID) != P9_UNS_GET_USER_POP) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MW_DoOrder_EVENT_E3_UNS_GET_USER_POP usMsgFuncId error.", 2);
    } else if (pTrans->iRequDataLen < VXQ_DPS_USER_POP_MSG_LEN) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MW_DoOrder_EVENT_E3_UNS_GET_USER_POP iRequDataLen error.", 2);
    } else {
        int32_t iNum = VXQ_F_DPS_MW_ClampChPopNum(tBody.tPop.iChPopNum);
        pAnswer[VXQ_DPS_UMSP_OFF_RESULT] = inout_pOrder[offsetof(_VXQ_S_DPS_MSG_HEAD, ucResult)];
        VXQ_F_DPS_MW_PutLe32(pAnswer + PR_BODY + 36, tBody.tPop.dwGlobalPop);
        VXQ_F_DPS_MW_PutLe32(pAnswer + PR_BODY + 40, (uint32_t)iNum);
        for (int32_t i = 0; i < VXQ_DPS_MAX_CH_POP_NUM; i++)
            VXQ_F_DPS_MW_PutLe32(pAnswer + PR_BODY + 44 + 4 * i, i < iNum ? tBody.tPop.dwChPop[i] : 0);
        iRet = VXQ_F_DPS_MW_SendNetAnswer(inout_pMcSrvData, pConn, pAnswer, pTrans->iRequDataLen, sName);
    }
    VXQ_F_DPS_MC_Trans_DeleteTransData(inout_pMcSrvData, pTrans);
    return iRet;
}

int VXQ_F_DPS_MW_DoNetMsg_P9_UNS_SET_USER_POP(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                              _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                              int32_t in_iLength)
{
    VXQ_F_LOG_SR_ShowInfo("Receiving network data: Set user pop.");
    return PR_DoUserPopRequest(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                               EVENT_E3_UNS_SET_USER_POP, 1, "VXQ_F_DPS_MW_DoNetMsg_P9_UNS_SET_USER_POP");
}

int VXQ_F_DPS_MW_DoOrder_EVENT_E3_UNS_SET_USER_POP(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                   uint8_t *inout_pOrder, int32_t in_iLength)
{
    return PR_AnswerResultOnly(inout_pMcSrvData, inout_pOrder, in_iLength, "Set user pop",
                               "VXQ_F_DPS_MW_DoOrder_EVENT_E3_UNS_SET_USER_POP");
}
