/*
 * maint.cpp - custom messages, remote maintenance and firmware upgrade: the
 * event builders, the client requests and the host's answers.
 *
 * Each client request handler sits next to the handler of the host's answer.
 * Message buffers stay in wire order: every field is read and written through
 * the little-endian accessors; event and order bodies are host-order records
 * (vxq_dps.h).
 */
#include "ops/maint.h"

#include "core/channel.h"
#include "ops/answer.h"
#include "protocol/dispatch.h"
#include "wire/head.h"
#include "wire/result.h"
#include "vxq_log.h"

#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define PR_BODY VXQ_DPS_UMSP_HEAD_LEN
#define PR_ORDER_HEAD ((int32_t)sizeof(_VXQ_S_DPS_MSG_HEAD))
#define PR_ORDER_RESULT offsetof(_VXQ_S_DPS_MSG_HEAD, ucResult)

/* ---- Event builders ------------------------------------------------------------ */

/* Writes one "[DEBUG]" request line when the instance asks for them. */
static void PR_DebugLine(const _VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData, const char *in_sText)
{
    if (in_pMcSrvData->bDebugLog)
        VXQ_F_LOG_SR_ShowInfo(in_sText);
}

/* Queues an event whose body is a fixed record followed by variable data. */
static int PR_SentFixedAndData(_VXQ_S_DPS_MCSRV_DATA *p, int32_t in_iEventId, uint32_t in_dwTransId,
                               const void *in_pFixed, int32_t in_iFixedLen, const void *in_pData, int32_t in_iDataLen)
{
    uint8_t *pBody;
    int iRet;
    if (in_pData == NULL || in_iDataLen < 0)
        in_iDataLen = 0;
    pBody = (uint8_t *)malloc((size_t)(in_iFixedLen + in_iDataLen));
    if (pBody == NULL)
        return 0;
    memcpy(pBody, in_pFixed, (size_t)in_iFixedLen);
    if (in_iDataLen > 0)
        memcpy(pBody + in_iFixedLen, in_pData, (size_t)in_iDataLen);
    iRet = VXQ_F_DPS_MC_SentProEventBody(p, in_iEventId, in_dwTransId, pBody, in_iFixedLen + in_iDataLen);
    free(pBody);
    return iRet;
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E7_CUSTOM(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwTransId,
                                              uint32_t in_dwCustomFuncId, const void *in_pData,
                                              int32_t in_iDataLen)
{
    _VXQ_S_DPS_E7_CUSTOM tBody;
    char sText[128];
    if (inout_pMcSrvData == NULL)
        return 0;
    tBody.dwCustomFuncId = in_dwCustomFuncId;
    tBody.iDataLen = (in_pData != NULL && in_iDataLen > 0) ? in_iDataLen : 0;
    snprintf(sText, sizeof(sText), "[DEBUG]  Custom functions (request): dwCustomFuncId: %u, iDataLen: %d.",
             (unsigned)tBody.dwCustomFuncId, (int)tBody.iDataLen);
    PR_DebugLine(inout_pMcSrvData, sText);
    return PR_SentFixedAndData(inout_pMcSrvData, EVENT_E7_CUSTOM, in_dwTransId, &tBody, (int32_t)sizeof(tBody),
                               in_pData, tBody.iDataLen);
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E7_RMY_QUERY_ABILITY(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                         uint32_t in_dwTransId, uint32_t in_dwAbility)
{
    _VXQ_S_DPS_E7_RMY_QUERY_ABILITY tBody;
    char sText[96];
    if (inout_pMcSrvData == NULL)
        return 0;
    memset(&tBody, 0, sizeof(tBody));
    tBody.i_dwAbility = in_dwAbility;
    snprintf(sText, sizeof(sText), "[DEBUG]  Query ability (request): i_dwAbility: %u.", (unsigned)in_dwAbility);
    PR_DebugLine(inout_pMcSrvData, sText);
    return VXQ_F_DPS_MC_SentProEventBody(inout_pMcSrvData, EVENT_E7_RMY_QUERY_ABILITY, in_dwTransId, &tBody,
                                         (int32_t)sizeof(tBody));
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E7_RMY_REBOOT(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwTransId)
{
    if (inout_pMcSrvData == NULL)
        return 0;
    PR_DebugLine(inout_pMcSrvData, "[DEBUG]  Reboot device (request).");
    return VXQ_F_DPS_MC_SentProEventBody(inout_pMcSrvData, EVENT_E7_RMY_REBOOT, in_dwTransId, NULL, 0);
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E7_RMY_STOP(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwTransId)
{
    if (inout_pMcSrvData == NULL)
        return 0;
    PR_DebugLine(inout_pMcSrvData, "[DEBUG]  Stop device (request).");
    return VXQ_F_DPS_MC_SentProEventBody(inout_pMcSrvData, EVENT_E7_RMY_STOP, in_dwTransId, NULL, 0);
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E7_DUP_QUERY_DEV_VER_INFO(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                              uint32_t in_dwTransId)
{
    _VXQ_S_DPS_E7_DUP_QUERY_DEV_VER_INFO tBody;
    if (inout_pMcSrvData == NULL)
        return 0;
    memset(&tBody, 0, sizeof(tBody));
    PR_DebugLine(inout_pMcSrvData, "[DEBUG]  Query device version information (request).");
    return VXQ_F_DPS_MC_SentProEventBody(inout_pMcSrvData, EVENT_E7_DUP_QUERY_DEV_VER_INFO, in_dwTransId, &tBody,
                                         (int32_t)sizeof(tBody));
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E7_DUP_REQU_UPGRADE(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                        uint32_t in_dwTransId, uint16_t in_usValue1,
                                                        uint16_t in_usValue2, uint32_t in_dwValue)
{
    _VXQ_S_DPS_E7_DUP_REQU_UPGRADE tBody;
    char sText[128];
    if (inout_pMcSrvData == NULL)
        return 0;
    memset(&tBody, 0, sizeof(tBody));
    tBody.i_usValue1 = in_usValue1;
    tBody.i_usValue2 = in_usValue2;
    tBody.i_dwValue = in_dwValue;
    snprintf(sText, sizeof(sText), "[DEBUG]  Request upgrade (request): i_usValue1: %u, i_usValue2: %u, i_dwValue: %u.",
             (unsigned)in_usValue1, (unsigned)in_usValue2, (unsigned)in_dwValue);
    PR_DebugLine(inout_pMcSrvData, sText);
    return VXQ_F_DPS_MC_SentProEventBody(inout_pMcSrvData, EVENT_E7_DUP_REQU_UPGRADE, in_dwTransId, &tBody,
                                         (int32_t)sizeof(tBody));
}

/* Progress and position queries share one body: the parameter and the answer. */
static int PR_SentDupQuery(_VXQ_S_DPS_MCSRV_DATA *p, int32_t in_iEventId, const char *in_sOperName,
                           uint32_t in_dwTransId, uint32_t in_dwParam)
{
    _VXQ_S_DPS_E7_DUP_QUERY tBody;
    char sText[128];
    if (p == NULL)
        return 0;
    memset(&tBody, 0, sizeof(tBody));
    tBody.i_dwParam = in_dwParam;
    snprintf(sText, sizeof(sText), "[DEBUG]  %s (request): i_dwParam: %u.", in_sOperName, (unsigned)in_dwParam);
    PR_DebugLine(p, sText);
    return VXQ_F_DPS_MC_SentProEventBody(p, in_iEventId, in_dwTransId, &tBody, (int32_t)sizeof(tBody));
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E7_DUP_QUERY_PROGRESS(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                          uint32_t in_dwTransId, uint32_t in_dwParam)
{
    return PR_SentDupQuery(inout_pMcSrvData, EVENT_E7_DUP_QUERY_PROGRESS, "Query upgrade progress", in_dwTransId,
                           in_dwParam);
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E7_DUP_QUERY_TRANS_POS(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                           uint32_t in_dwTransId, uint32_t in_dwParam)
{
    return PR_SentDupQuery(inout_pMcSrvData, EVENT_E7_DUP_QUERY_TRANS_POS, "Query upgrade position", in_dwTransId,
                           in_dwParam);
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E7_DUP_UPGRADE_DATA(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                        uint32_t in_dwTransId, uint32_t in_dwParam,
                                                        const void *in_pData, int32_t in_iDataLen)
{
    _VXQ_S_DPS_E7_DUP_UPGRADE_DATA tBody;
    char sText[128];
    if (inout_pMcSrvData == NULL)
        return 0;
    tBody.i_dwParam = in_dwParam;
    tBody.i_iDataLen = (in_pData != NULL && in_iDataLen > 0) ? in_iDataLen : 0;
    snprintf(sText, sizeof(sText), "[DEBUG]  Upgrade data (request): i_dwParam: %u, i_iDataLen: %d.",
             (unsigned)in_dwParam, (int)tBody.i_iDataLen);
    PR_DebugLine(inout_pMcSrvData, sText);
    return PR_SentFixedAndData(inout_pMcSrvData, EVENT_E7_DUP_UPGRADE_DATA, in_dwTransId, &tBody,
                               (int32_t)sizeof(tBody), in_pData, tBody.i_iDataLen);
}

/* ---- Request pattern ----------------------------------------------------------- */

/* Who may send a request: any connection (the request table already asked for
 * a login), a logged-in command connection, or one whose login id also equals
 * body 0. */
enum { PR_CALLER_ANY = 0, PR_CALLER_LOGGED_IN = 1, PR_CALLER_SAME_LOGIN = 2 };

typedef struct _VXQ_S_DPS_MAINT_RULE {
    const char *sHandlerName;
    const char *sReceipt;  /* shown first; null = none */
    const char *sRefusal;  /* shown when the caller is refused; null = none */
    int32_t iMinLen;       /* whole message the answer is built on */
    int32_t iCaller;       /* PR_CALLER_ */
} _VXQ_S_DPS_MAINT_RULE;

/* Receipt line, length and caller checks. 1 when the request may go on; else
 * it was answered at once (2 for the length, 6 for the caller). */
static int PR_Admit(_VXQ_S_DPS_MCSRV_DATA *p, _VXQ_S_DPS_NET_PORT_DATA *in_pConn, uint8_t *inout_pMsg,
                    int32_t in_iLength, const _VXQ_S_DPS_MAINT_RULE *in_pRule)
{
    if (in_pRule->sReceipt != NULL)
        VXQ_F_LOG_SR_ShowInfo(in_pRule->sReceipt);
    if (!VXQ_F_DPS_MW_CheckMsgLen(p, in_pConn, inout_pMsg, in_iLength, in_pRule->iMinLen, in_pRule->sHandlerName))
        return 0;
    if (in_pRule->iCaller == PR_CALLER_ANY)
        return 1;
    if (in_pConn->iConnType == VXQ_DPS_CONN_COMMAND && in_pConn->dwLoginId != 0 &&
        (in_pRule->iCaller != PR_CALLER_SAME_LOGIN ||
         in_pConn->dwLoginId == VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_BODY)))
        return 1;
    if (in_pRule->sRefusal != NULL)
        VXQ_F_LOG_SR_ShowInfo(in_pRule->sRefusal);
    VXQ_F_DPS_MW_AnswerInPlace(p, in_pConn, inout_pMsg, in_iLength, VXQ_DPS_UMSP_RESULT_NOT_LOGGED_IN,
                               in_pRule->sHandlerName);
    return 0;
}

/* Shapes the request as its answer (result 0) and parks a copy of it. Null
 * when no transaction could be made: the client then got result 1. */
static _VXQ_S_DPS_TRANS_DATA *PR_Park(_VXQ_S_DPS_MCSRV_DATA *p, _VXQ_S_DPS_NET_PORT_DATA *in_pConn,
                                      uint8_t *inout_pMsg, int32_t in_iLength, const char *in_sHandlerName)
{
    _VXQ_S_DPS_TRANS_DATA *pTrans;
    char sText[160];
    VXQ_F_DPS_MW_HeadMakeAnswer(inout_pMsg, VXQ_DPS_UMSP_RESULT_SUCCESS);
    pTrans = VXQ_F_DPS_MC_Trans_CreateTransDataOfLinkData(
        p, in_pConn->dwPortId, VXQ_F_DPS_MW_GetLe16(inout_pMsg + VXQ_DPS_UMSP_OFF_FUNC_ID), inout_pMsg, in_iLength);
    if (pTrans != NULL)
        return pTrans;
    snprintf(sText, sizeof(sText), "%s VXQ_F_DPS_MC_Trans_CreateTransDataOfLinkData fail.", in_sHandlerName);
    VXQ_F_LOG_SR_WriteLog(sText, 2);
    VXQ_F_DPS_MW_AnswerInPlace(p, in_pConn, inout_pMsg, in_iLength, VXQ_DPS_UMSP_RESULT_SERVICE_FAIL,
                               in_sHandlerName);
    return NULL;
}

/* Ends the request pattern after the event builder ran: 1 when it queued the
 * event; else the failure is logged with both names, the transaction deleted
 * and the client answered with 1. */
static int PR_Raised(_VXQ_S_DPS_MCSRV_DATA *p, _VXQ_S_DPS_NET_PORT_DATA *in_pConn, uint8_t *inout_pMsg,
                     int32_t in_iLength, _VXQ_S_DPS_TRANS_DATA *in_pTrans, int in_bRaised,
                     const char *in_sHandlerName, const char *in_sBuilderName)
{
    char sText[192];
    if (in_bRaised)
        return 1;
    snprintf(sText, sizeof(sText), "%s %s fail.", in_sHandlerName, in_sBuilderName);
    VXQ_F_LOG_SR_WriteLog(sText, 2);
    VXQ_F_DPS_MC_Trans_DeleteTransData(p, in_pTrans);
    VXQ_F_DPS_MW_AnswerInPlace(p, in_pConn, inout_pMsg, in_iLength, VXQ_DPS_UMSP_RESULT_SERVICE_FAIL,
                               in_sHandlerName);
    return 0;
}

/* ---- Answer pattern ------------------------------------------------------------ */

/* Finds the answer's transaction and connection (ops/answer.h) and checks that
 * the parked request is of function id in_usMsgFuncId (0 = any) and at least
 * in_iFixedLen long. Null when nothing is to be sent (logged; a found
 * transaction is then deleted). */
static _VXQ_S_DPS_TRANS_DATA *PR_Target(_VXQ_S_DPS_MCSRV_DATA *p, uint8_t *inout_pOrder, int32_t in_iLength,
                                        const char *in_sOperName, const char *in_sHandlerName,
                                        uint16_t in_usMsgFuncId, int32_t in_iFixedLen,
                                        _VXQ_S_DPS_NET_PORT_DATA **out_ppConn)
{
    _VXQ_S_DPS_TRANS_DATA *pTrans;
    char sText[160];
    pTrans = VXQ_F_DPS_MW_FindAnswerTarget(p, inout_pOrder, in_iLength, in_sOperName, in_sHandlerName, out_ppConn);
    if (pTrans == NULL)
        return NULL;
    if (in_usMsgFuncId != 0 &&
        VXQ_F_DPS_MW_GetLe16((const uint8_t *)pTrans->pRequDataBuf + VXQ_DPS_UMSP_OFF_FUNC_ID) != in_usMsgFuncId) {
        snprintf(sText, sizeof(sText), "%s usMsgFuncId error.", in_sHandlerName);
        VXQ_F_LOG_SR_WriteLog(sText, 2);
    } else if (pTrans->iRequDataLen < in_iFixedLen) {
        snprintf(sText, sizeof(sText), "%s iRequDataLen error.", in_sHandlerName);
        VXQ_F_LOG_SR_WriteLog(sText, 2);
    } else {
        return pTrans;
    }
    VXQ_F_DPS_MC_Trans_DeleteTransData(p, pTrans);
    return NULL;
}

/* Sends the parked request (its first in_iSendLen bytes, packet size set to
 * that) with the order's translated result, then deletes the transaction. */
static int PR_SendParked(_VXQ_S_DPS_MCSRV_DATA *p, _VXQ_S_DPS_NET_PORT_DATA *in_pConn,
                         _VXQ_S_DPS_TRANS_DATA *in_pTrans, const uint8_t *in_pOrder, int32_t in_iSendLen,
                         const char *in_sHandlerName)
{
    uint8_t *pMsg = (uint8_t *)in_pTrans->pRequDataBuf;
    int iRet;
    VXQ_F_DPS_MW_PutLe32(pMsg + VXQ_DPS_UMSP_OFF_PACKET_SIZE, (uint32_t)in_iSendLen);
    VXQ_F_DPS_MW_HeadMakeAnswer(pMsg, in_pOrder[PR_ORDER_RESULT]);
    iRet = VXQ_F_DPS_MW_SendNetAnswer(p, in_pConn, pMsg, in_iSendLen, in_sHandlerName);
    VXQ_F_DPS_MC_Trans_DeleteTransData(p, in_pTrans);
    return iRet;
}

/* Answers that carry data after a fixed part of the parked request: the data
 * length (32 bits at message offset in_iLenOffset) and the order's bytes from
 * body offset in_iDataOffset to its end. in_bNeedData: no data = nothing sent. */
static int PR_SendWithData(_VXQ_S_DPS_MCSRV_DATA *p, uint8_t *inout_pOrder, int32_t in_iLength,
                           const char *in_sOperName, const char *in_sHandlerName, const char *in_sLenName,
                           int32_t in_iFixedLen, int32_t in_iLenOffset, int32_t in_iDataOffset, int in_bNeedData)
{
    _VXQ_S_DPS_NET_PORT_DATA *pConn = NULL;
    _VXQ_S_DPS_TRANS_DATA *pTrans;
    char sText[160];
    int iRet = 0;
    pTrans = PR_Target(p, inout_pOrder, in_iLength, in_sOperName, in_sHandlerName, 0, in_iFixedLen, &pConn);
    if (pTrans == NULL)
        return 0;
    if (in_bNeedData && VXQ_F_DPS_MW_OrderDataLen(inout_pOrder, in_iLength, in_iDataOffset) == 0) {
        snprintf(sText, sizeof(sText), "%s %s error.", in_sHandlerName, in_sLenName);
        VXQ_F_LOG_SR_WriteLog(sText, 2);
    } else {
        iRet = VXQ_F_DPS_MW_SendParkedWithData(p, pConn, pTrans, inout_pOrder, in_iLength, in_iFixedLen,
                                               in_iLenOffset, in_iDataOffset, in_sHandlerName);
    }
    VXQ_F_DPS_MC_Trans_DeleteTransData(p, pTrans);
    return iRet;
}

/* Reads the 32-bit word at body offset in_iOffset of an order (host order). */
static uint32_t PR_OrderWord(const uint8_t *in_pOrder, int32_t in_iOffset)
{
    uint32_t dwValue;
    memcpy(&dwValue, in_pOrder + PR_ORDER_HEAD + in_iOffset, 4);
    return dwValue;
}

/* ---- Custom messages ----------------------------------------------------------- */

int VXQ_F_DPS_MW_DoNetMsg_PA_CUSTOM(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                                    uint8_t *inout_pMsg, int32_t in_iLength)
{
    static const _VXQ_S_DPS_MAINT_RULE tRule = {"VXQ_F_DPS_MW_DoNetMsg_PA_CUSTOM",
                                                "Receiving network data: Custom functions.", NULL,
                                                VXQ_DPS_CUSTOM_FIXED_LEN, PR_CALLER_ANY};
    _VXQ_S_DPS_TRANS_DATA *pTrans;
    int bRaised;
    if (!PR_Admit(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, &tRule))
        return 0;
    if ((pTrans = PR_Park(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, tRule.sHandlerName)) == NULL)
        return 0;
    bRaised = VXQ_F_DPS_MC_SentProEvent_EVENT_E7_CUSTOM(
        inout_pMcSrvData, pTrans->dwTransId, VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_BODY),
        inout_pMsg + VXQ_DPS_CUSTOM_FIXED_LEN, in_iLength - VXQ_DPS_CUSTOM_FIXED_LEN);
    return PR_Raised(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, pTrans, bRaised, tRule.sHandlerName,
                     "VXQ_F_DPS_MC_SentProEvent_EVENT_E7_CUSTOM");
}

/* The first 28 bytes of the request, body 4 = the length of the host's data
 * (order body 8 to its end), then that data. */
int VXQ_F_DPS_MW_DoOrder_EVENT_E7_CUSTOM(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                         int32_t in_iLength)
{
    return PR_SendWithData(inout_pMcSrvData, inout_pOrder, in_iLength, "Custom functions",
                           "VXQ_F_DPS_MW_DoOrder_EVENT_E7_CUSTOM", "iDataLen", VXQ_DPS_CUSTOM_FIXED_LEN, PR_BODY + 4,
                           (int32_t)sizeof(_VXQ_S_DPS_E7_CUSTOM), 0);
}

/* ---- Remote maintenance ---------------------------------------------------------- */

int VXQ_F_DPS_MW_DoNetMsg_PB_RMY_QUERY_ABILITY(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                               _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                               int32_t in_iLength)
{
    static const _VXQ_S_DPS_MAINT_RULE tRule = {"VXQ_F_DPS_MW_DoNetMsg_PB_RMY_QUERY_ABILITY",
                                                "Receiving network data: Query ability.",
                                                "Query ability failure, cause: not login.", VXQ_DPS_ABILITY_FIXED_LEN,
                                                PR_CALLER_SAME_LOGIN};
    _VXQ_S_DPS_TRANS_DATA *pTrans;
    int bRaised;
    if (!PR_Admit(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, &tRule))
        return 0;
    if ((pTrans = PR_Park(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, tRule.sHandlerName)) == NULL)
        return 0;
    bRaised = VXQ_F_DPS_MC_SentProEvent_EVENT_E7_RMY_QUERY_ABILITY(inout_pMcSrvData, pTrans->dwTransId,
                                                                   VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_BODY + 4));
    return PR_Raised(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, pTrans, bRaised, tRule.sHandlerName,
                     "VXQ_F_DPS_MC_SentProEvent_EVENT_E7_RMY_QUERY_ABILITY");
}

/* The first 32 bytes of the request, body 8 = iAbilityBodyLen, then the
 * description (order body 8 to its end). No description: nothing is sent. */
int VXQ_F_DPS_MW_DoOrder_EVENT_E7_RMY_QUERY_ABILITY(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                                    int32_t in_iLength)
{
    return PR_SendWithData(inout_pMcSrvData, inout_pOrder, in_iLength, "Query ability",
                           "VXQ_F_DPS_MW_DoOrder_EVENT_E7_RMY_QUERY_ABILITY", "iAbilityBodyLen",
                           VXQ_DPS_ABILITY_FIXED_LEN, PR_BODY + 8, (int32_t)sizeof(_VXQ_S_DPS_E7_RMY_QUERY_ABILITY), 1);
}

/* Reboot and stop: a notice to the host, the client answered at once with 0
 * when it was queued and 1 when not. */
static int PR_DoRmyNotice(_VXQ_S_DPS_MCSRV_DATA *p, _VXQ_S_DPS_NET_PORT_DATA *in_pConn, uint8_t *inout_pMsg,
                          int32_t in_iLength, const _VXQ_S_DPS_MAINT_RULE *in_pRule,
                          int (*in_fnBuilder)(_VXQ_S_DPS_MCSRV_DATA *, uint32_t), const char *in_sBuilderName)
{
    char sText[192];
    uint8_t ucResult = VXQ_DPS_UMSP_RESULT_SUCCESS;
    if (!PR_Admit(p, in_pConn, inout_pMsg, in_iLength, in_pRule))
        return 0;
    if (!in_fnBuilder(p, 0)) {
        snprintf(sText, sizeof(sText), "%s %s fail.", in_pRule->sHandlerName, in_sBuilderName);
        VXQ_F_LOG_SR_WriteLog(sText, 2);
        ucResult = VXQ_DPS_UMSP_RESULT_SERVICE_FAIL;
    }
    return VXQ_F_DPS_MW_AnswerInPlace(p, in_pConn, inout_pMsg, in_iLength, ucResult, in_pRule->sHandlerName) &&
           ucResult == VXQ_DPS_UMSP_RESULT_SUCCESS;
}

int VXQ_F_DPS_MW_DoNetMsg_PB_RMY_REBOOT(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                        _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                        int32_t in_iLength)
{
    static const _VXQ_S_DPS_MAINT_RULE tRule = {"VXQ_F_DPS_MW_DoNetMsg_PB_RMY_REBOOT",
                                                "Receiving network data: Reboot device.",
                                                "Reboot device failure, cause: not login.", VXQ_DPS_RMY_MSG_LEN,
                                                PR_CALLER_SAME_LOGIN};
    return PR_DoRmyNotice(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, &tRule,
                          VXQ_F_DPS_MC_SentProEvent_EVENT_E7_RMY_REBOOT,
                          "VXQ_F_DPS_MC_SentProEvent_EVENT_E7_RMY_REBOOT");
}

int VXQ_F_DPS_MW_DoNetMsg_PB_RMY_STOP(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                                      uint8_t *inout_pMsg, int32_t in_iLength)
{
    static const _VXQ_S_DPS_MAINT_RULE tRule = {"VXQ_F_DPS_MW_DoNetMsg_PB_RMY_STOP",
                                                "Receiving network data: Stop device.",
                                                "Stop device failure, cause: not login.", VXQ_DPS_RMY_MSG_LEN,
                                                PR_CALLER_SAME_LOGIN};
    return PR_DoRmyNotice(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, &tRule,
                          VXQ_F_DPS_MC_SentProEvent_EVENT_E7_RMY_STOP, "VXQ_F_DPS_MC_SentProEvent_EVENT_E7_RMY_STOP");
}

/* ---- Upgrade: version and announcement ------------------------------------------ */

int VXQ_F_DPS_MW_DoNetMsg_PB_DUP_QUERY_DEV_VER_INFO(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                    _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                                    int32_t in_iLength)
{
    static const _VXQ_S_DPS_MAINT_RULE tRule = {"VXQ_F_DPS_MW_DoNetMsg_PB_DUP_QUERY_DEV_VER_INFO",
                                                "Receiving network data: Query device version information.",
                                                "Query device version information failure, cause: not login.",
                                                VXQ_DPS_DEV_VER_INFO_MSG_LEN, PR_CALLER_SAME_LOGIN};
    _VXQ_S_DPS_TRANS_DATA *pTrans;
    int bRaised;
    if (!PR_Admit(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, &tRule))
        return 0;
    if ((pTrans = PR_Park(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, tRule.sHandlerName)) == NULL)
        return 0;
    bRaised = VXQ_F_DPS_MC_SentProEvent_EVENT_E7_DUP_QUERY_DEV_VER_INFO(inout_pMcSrvData, pTrans->dwTransId);
    return PR_Raised(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, pTrans, bRaised, tRule.sHandlerName,
                     "VXQ_F_DPS_MC_SentProEvent_EVENT_E7_DUP_QUERY_DEV_VER_INFO");
}

/* Body 4 to 11 the four 16-bit values, body 12 to 27 the four 32-bit values;
 * the request goes back with its own length. */
int VXQ_F_DPS_MW_DoOrder_EVENT_E7_DUP_QUERY_DEV_VER_INFO(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                         uint8_t *inout_pOrder, int32_t in_iLength)
{
    static const char *const sName = "VXQ_F_DPS_MW_DoOrder_EVENT_E7_DUP_QUERY_DEV_VER_INFO";
    _VXQ_S_DPS_E7_DUP_QUERY_DEV_VER_INFO tBody;
    _VXQ_S_DPS_NET_PORT_DATA *pConn = NULL;
    _VXQ_S_DPS_TRANS_DATA *pTrans;
    uint8_t *pMsg;
    int i;
    pTrans = PR_Target(inout_pMcSrvData, inout_pOrder, in_iLength, "Query dev ver info", sName,
                       PB_DUP_QUERY_DEV_VER_INFO, VXQ_DPS_DEV_VER_INFO_MSG_LEN, &pConn);
    if (pTrans == NULL)
        return 0;
    memcpy(&tBody, inout_pOrder + PR_ORDER_HEAD, sizeof(tBody));
    pMsg = (uint8_t *)pTrans->pRequDataBuf;
    for (i = 0; i < 4; i++) {
        VXQ_F_DPS_MW_PutLe16(pMsg + PR_BODY + 4 + 2 * i, tBody.o_usVer[i]);
        VXQ_F_DPS_MW_PutLe32(pMsg + PR_BODY + 12 + 4 * i, tBody.o_dwVer[i]);
    }
    return PR_SendParked(inout_pMcSrvData, pConn, pTrans, inout_pOrder, pTrans->iRequDataLen, sName);
}

int VXQ_F_DPS_MW_DoNetMsg_PB_DUP_REQU_UPGRADE(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                              _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                              int32_t in_iLength)
{
    static const _VXQ_S_DPS_MAINT_RULE tRule = {"VXQ_F_DPS_MW_DoNetMsg_PB_DUP_REQU_UPGRADE",
                                                "Receiving network data: Request upgrade.",
                                                "Request upgrade failure, cause: not login.",
                                                VXQ_DPS_REQU_UPGRADE_MSG_LEN, PR_CALLER_SAME_LOGIN};
    _VXQ_S_DPS_TRANS_DATA *pTrans;
    int bRaised;
    if (!PR_Admit(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, &tRule))
        return 0;
    if ((pTrans = PR_Park(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, tRule.sHandlerName)) == NULL)
        return 0;
    bRaised = VXQ_F_DPS_MC_SentProEvent_EVENT_E7_DUP_REQU_UPGRADE(
        inout_pMcSrvData, pTrans->dwTransId, VXQ_F_DPS_MW_GetLe16(inout_pMsg + PR_BODY + 4),
        VXQ_F_DPS_MW_GetLe16(inout_pMsg + PR_BODY + 6), VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_BODY + 8));
    return PR_Raised(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, pTrans, bRaised, tRule.sHandlerName,
                     "VXQ_F_DPS_MC_SentProEvent_EVENT_E7_DUP_REQU_UPGRADE");
}

/* Body 12 = the host's answer value (order body 8). */
int VXQ_F_DPS_MW_DoOrder_EVENT_E7_DUP_REQU_UPGRADE(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                                   int32_t in_iLength)
{
    static const char *const sName = "VXQ_F_DPS_MW_DoOrder_EVENT_E7_DUP_REQU_UPGRADE";
    _VXQ_S_DPS_NET_PORT_DATA *pConn = NULL;
    _VXQ_S_DPS_TRANS_DATA *pTrans;
    pTrans = PR_Target(inout_pMcSrvData, inout_pOrder, in_iLength, "Request upgrade", sName, PB_DUP_REQU_UPGRADE,
                       VXQ_DPS_REQU_UPGRADE_MSG_LEN, &pConn);
    if (pTrans == NULL)
        return 0;
    VXQ_F_DPS_MW_PutLe32((uint8_t *)pTrans->pRequDataBuf + PR_BODY + 12,
                         PR_OrderWord(inout_pOrder, offsetof(_VXQ_S_DPS_E7_DUP_REQU_UPGRADE, o_dwAnswer)));
    return PR_SendParked(inout_pMcSrvData, pConn, pTrans, inout_pOrder, pTrans->iRequDataLen, sName);
}

/* ---- Upgrade: progress and position ---------------------------------------------- */

/* Progress and position queries need a logged-in command connection; body 0 is
 * the parameter for the host, not a login id. */
static int PR_DoDupQuery(_VXQ_S_DPS_MCSRV_DATA *p, _VXQ_S_DPS_NET_PORT_DATA *in_pConn, uint8_t *inout_pMsg,
                         int32_t in_iLength, const _VXQ_S_DPS_MAINT_RULE *in_pRule,
                         int (*in_fnBuilder)(_VXQ_S_DPS_MCSRV_DATA *, uint32_t, uint32_t), const char *in_sBuilderName)
{
    _VXQ_S_DPS_TRANS_DATA *pTrans;
    int bRaised;
    if (!PR_Admit(p, in_pConn, inout_pMsg, in_iLength, in_pRule))
        return 0;
    if ((pTrans = PR_Park(p, in_pConn, inout_pMsg, in_iLength, in_pRule->sHandlerName)) == NULL)
        return 0;
    bRaised = in_fnBuilder(p, pTrans->dwTransId, VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_BODY));
    return PR_Raised(p, in_pConn, inout_pMsg, in_iLength, pTrans, bRaised, in_pRule->sHandlerName, in_sBuilderName);
}

/* Body 4 = the host's progress or position (order body 4); the parked request
 * must be of in_usMsgFuncId. */
static int PR_AnswerDupQuery(_VXQ_S_DPS_MCSRV_DATA *p, uint8_t *inout_pOrder, int32_t in_iLength,
                             const char *in_sOperName, const char *in_sHandlerName, uint16_t in_usMsgFuncId)
{
    _VXQ_S_DPS_NET_PORT_DATA *pConn = NULL;
    _VXQ_S_DPS_TRANS_DATA *pTrans;
    pTrans = PR_Target(p, inout_pOrder, in_iLength, in_sOperName, in_sHandlerName, in_usMsgFuncId,
                       VXQ_DPS_DUP_QUERY_MSG_LEN, &pConn);
    if (pTrans == NULL)
        return 0;
    VXQ_F_DPS_MW_PutLe32((uint8_t *)pTrans->pRequDataBuf + PR_BODY + 4,
                         PR_OrderWord(inout_pOrder, offsetof(_VXQ_S_DPS_E7_DUP_QUERY, o_dwValue)));
    return PR_SendParked(p, pConn, pTrans, inout_pOrder, pTrans->iRequDataLen, in_sHandlerName);
}

int VXQ_F_DPS_MW_DoNetMsg_PB_DUP_QUERY_PROGRESS(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                                int32_t in_iLength)
{
    static const _VXQ_S_DPS_MAINT_RULE tRule = {"VXQ_F_DPS_MW_DoNetMsg_PB_DUP_QUERY_PROGRESS",
                                                "Receiving network data: Query upgrade progress.",
                                                "Query upgrade progress failure, cause: not login.",
                                                VXQ_DPS_DUP_QUERY_MSG_LEN, PR_CALLER_LOGGED_IN};
    return PR_DoDupQuery(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, &tRule,
                         VXQ_F_DPS_MC_SentProEvent_EVENT_E7_DUP_QUERY_PROGRESS,
                         "VXQ_F_DPS_MC_SentProEvent_EVENT_E7_DUP_QUERY_PROGRESS");
}

int VXQ_F_DPS_MW_DoOrder_EVENT_E7_DUP_QUERY_PROGRESS(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                     uint8_t *inout_pOrder, int32_t in_iLength)
{
    return PR_AnswerDupQuery(inout_pMcSrvData, inout_pOrder, in_iLength, "Query progress",
                             "VXQ_F_DPS_MW_DoOrder_EVENT_E7_DUP_QUERY_PROGRESS", PB_DUP_QUERY_PROGRESS);
}

int VXQ_F_DPS_MW_DoNetMsg_PB_DUP_QUERY_TRANS_POS(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                                 int32_t in_iLength)
{
    static const _VXQ_S_DPS_MAINT_RULE tRule = {"VXQ_F_DPS_MW_DoNetMsg_PB_DUP_QUERY_TRANS_POS",
                                                "Receiving network data: Query upgrade position.",
                                                "Query upgrade position failure, cause: not login.",
                                                VXQ_DPS_DUP_QUERY_MSG_LEN, PR_CALLER_LOGGED_IN};
    return PR_DoDupQuery(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, &tRule,
                         VXQ_F_DPS_MC_SentProEvent_EVENT_E7_DUP_QUERY_TRANS_POS,
                         "VXQ_F_DPS_MC_SentProEvent_EVENT_E7_DUP_QUERY_TRANS_POS");
}

int VXQ_F_DPS_MW_DoOrder_EVENT_E7_DUP_QUERY_TRANS_POS(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                      uint8_t *inout_pOrder, int32_t in_iLength)
{
    return PR_AnswerDupQuery(inout_pMcSrvData, inout_pOrder, in_iLength, "Query transfer position",
                             "VXQ_F_DPS_MW_DoOrder_EVENT_E7_DUP_QUERY_TRANS_POS", PB_DUP_QUERY_TRANS_POS);
}

/* ---- Upgrade: data pieces --------------------------------------------------------- */

/* Body 4 must name exactly the data the message carries, at least 1 byte
 * (else 2); then the caller rule of the queries (else 6). */
int VXQ_F_DPS_MW_DoNetMsg_PB_DUP_UPGRADE_DATA(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                              _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                              int32_t in_iLength)
{
    static const _VXQ_S_DPS_MAINT_RULE tRule = {"VXQ_F_DPS_MW_DoNetMsg_PB_DUP_UPGRADE_DATA", NULL,
                                                "Upgrade data failure, cause: not login.",
                                                VXQ_DPS_UPGRADE_DATA_FIXED_LEN, PR_CALLER_LOGGED_IN};
    _VXQ_S_DPS_TRANS_DATA *pTrans;
    int32_t iDataLen;
    int bRaised;
    if (!VXQ_F_DPS_MW_CheckMsgLen(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                                  VXQ_DPS_UPGRADE_DATA_FIXED_LEN, tRule.sHandlerName))
        return 0;
    iDataLen = (int32_t)VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_BODY + 4);
    if (iDataLen <= 0 || iDataLen != in_iLength - VXQ_DPS_UPGRADE_DATA_FIXED_LEN) {
        VXQ_F_LOG_SR_ShowInfo("Upgrade data failure, cause: data length error.");
        VXQ_F_DPS_MW_AnswerInPlace(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                                   VXQ_DPS_UMSP_RESULT_PARAM_ERROR, tRule.sHandlerName);
        return 0;
    }
    if (!PR_Admit(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, &tRule))
        return 0;
    if ((pTrans = PR_Park(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, tRule.sHandlerName)) == NULL)
        return 0;
    bRaised = VXQ_F_DPS_MC_SentProEvent_EVENT_E7_DUP_UPGRADE_DATA(inout_pMcSrvData, pTrans->dwTransId,
                                                                  VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_BODY),
                                                                  inout_pMsg + VXQ_DPS_UPGRADE_DATA_FIXED_LEN,
                                                                  iDataLen);
    return PR_Raised(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, pTrans, bRaised, tRule.sHandlerName,
                     "VXQ_F_DPS_MC_SentProEvent_EVENT_E7_DUP_UPGRADE_DATA");
}

/* The first 28 bytes of the piece, packet size 28, body 4 (its length) set to 0. */
int VXQ_F_DPS_MW_DoOrder_EVENT_E7_DUP_UPGRADE_DATA(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                                   int32_t in_iLength)
{
    static const char *const sName = "VXQ_F_DPS_MW_DoOrder_EVENT_E7_DUP_UPGRADE_DATA";
    _VXQ_S_DPS_NET_PORT_DATA *pConn = NULL;
    _VXQ_S_DPS_TRANS_DATA *pTrans;
    pTrans = PR_Target(inout_pMcSrvData, inout_pOrder, in_iLength, "Upgrade data", sName, PB_DUP_UPGRADE_DATA,
                       VXQ_DPS_UPGRADE_DATA_FIXED_LEN, &pConn);
    if (pTrans == NULL)
        return 0;
    VXQ_F_DPS_MW_PutLe32((uint8_t *)pTrans->pRequDataBuf + PR_BODY + 4, 0);
    return PR_SendParked(inout_pMcSrvData, pConn, pTrans, inout_pOrder, VXQ_DPS_UPGRADE_DATA_FIXED_LEN, sName);
}
