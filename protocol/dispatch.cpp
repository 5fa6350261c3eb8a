/*
 * dispatch.cpp - hands every whole client message to the handler of its function id.
 *
 * The rules every request passes before its handler, in this order: a known
 * function id (else result 42), a logged-in connection where the line asks
 * for one (else 6), the fixed part of the length (else 2), the right of the
 * line on the global word of the user behind the connection (else 5). Only requests (type bits 0) are ever
 * answered here; anything else that fails a rule is dropped. A request that passes the login and length rules
 * and quotes a login id goes through the admission rules first (protocol/admission.h): it may wait, unread,
 * or cost its connection; and a connection that quoted an unknown id has every answer held back for a while.
 */
#include "protocol/dispatch.h"

#include "protocol/admission.h"
#include "protocol/session.h"
#include "wire/head.h"
#include "wire/result.h"
#include "vxq_clock.h"
#include "vxq_log.h"

#include <stdio.h>

void VXQ_F_DPS_MW_Dispatch_Install(_VXQ_S_DPS_HOOKS *inout_pHooks)
{
    if (inout_pHooks != NULL)
        inout_pHooks->fnMessage = VXQ_F_DPS_MW_DoSingleNetDataPacket;
}

int VXQ_F_DPS_MW_SendNetAnswer(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                               uint8_t *inout_pMsg, int32_t in_iLength, const char *in_sHandlerName)
{
    /* A tarpitted connection's answers wait (protocol/admission.h). */
    if (inout_pMcSrvData != NULL && inout_pConn != NULL && inout_pMcSrvData->pHoldConn == inout_pConn)
        return VXQ_F_DPS_MC_ADMIT_HoldAnswer(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                                             VXQ_DPS_TARPIT_SEC, 1);
    VXQ_PF_DPS_NET_SEND fnSend = inout_pMcSrvData != NULL && inout_pMcSrvData->tHooks.fnNetSend != NULL
                                     ? inout_pMcSrvData->tHooks.fnNetSend
                                     : VXQ_F_DPS_MC_SentNetData;
    if (fnSend(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, VXQ_DPS_SEND_CLASS_PROTOCOL))
        return 1;
    char sText[160];
    snprintf(sText, sizeof(sText), "%s VXQ_F_DPS_MC_SentNetData fail.",
             in_sHandlerName ? in_sHandlerName : "VXQ_F_DPS_MW_DoSingleNetDataPacket");
    VXQ_F_LOG_SR_WriteLog(sText, 2);
    return 0;
}

int VXQ_F_DPS_MW_AnswerInPlace(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                               uint8_t *inout_pMsg, int32_t in_iLength, uint8_t in_ucResult,
                               const char *in_sHandlerName)
{
    if (!inout_pMsg || in_iLength < (int32_t)VXQ_DPS_UMSP_HEAD_LEN)
        return 0;
    VXQ_F_DPS_MW_HeadMakeAnswer(inout_pMsg, in_ucResult);
    return VXQ_F_DPS_MW_SendNetAnswer(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, in_sHandlerName);
}

/* Refuses a request before its handler: a show line (in_sText, or else the
 * function's name and in_sCause), then (for a request that may be answered)
 * the answer in place with in_ucResult. */
static void PR_Refuse(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                      uint8_t *inout_pMsg, int32_t in_iLength, const _VXQ_S_DPS_FUNC_LINE *in_pLine,
                      uint8_t in_ucResult, const char *in_sCause, const char *in_sText = nullptr)
{
    char sText[192];
    if (in_sText == nullptr) {
        snprintf(sText, sizeof(sText), "Receiving network data: %s failure, cause: %s.", in_pLine->sName,
                 in_sCause);
        in_sText = sText;
    }
    VXQ_F_LOG_SR_ShowInfo(in_sText);
    if ((in_pLine->ucFlags & VXQ_DPS_FUNC_NO_ANSWER) ||
        VXQ_F_DPS_MW_HeadPacketType(inout_pMsg) != VXQ_DPS_UMSP_PACKET_REQUEST)
        return;
    VXQ_F_DPS_MW_AnswerInPlace(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, in_ucResult,
                               "VXQ_F_DPS_MW_DoSingleNetDataPacket");
}

int VXQ_F_DPS_MW_DoSingleNetDataPacket(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                       _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                       int32_t in_iLength)
{
    if (!inout_pMcSrvData || !inout_pConn || !inout_pMsg || in_iLength < (int32_t)VXQ_DPS_UMSP_HEAD_LEN)
        return 0;
    /* Every message counts for the heartbeat supervision, not only heartbeats. */
    inout_pConn->tLastRecvTime = VXQ_F_CLOCK_NowSec();

    uint16_t usMsgFuncId = VXQ_F_DPS_MW_GetLe16(inout_pMsg + VXQ_DPS_UMSP_OFF_FUNC_ID);
    uint8_t ucPacketType = VXQ_F_DPS_MW_HeadPacketType(inout_pMsg);
    const _VXQ_S_DPS_FUNC_LINE *pLine = VXQ_F_DPS_MC_FindFuncLine(inout_pMcSrvData, usMsgFuncId);
    if (pLine != nullptr && (pLine->ucFlags & VXQ_DPS_FUNC_NOTICE))
        pLine = nullptr; /* the device's own notices are no requests */
    const bool bNoLogin = pLine && (pLine->ucFlags & VXQ_DPS_FUNC_NEED_LOGIN) && inout_pConn->dwLoginId == 0;
    /* The login id rules look at the untranslated message first: one that waits
     * stays as it came and is dispatched again from the start. */
    if (pLine && ucPacketType == VXQ_DPS_UMSP_PACKET_REQUEST && !bNoLogin &&
        in_iLength >= pLine->iMinMsgLen &&
        VXQ_F_DPS_MC_ADMIT_CheckQuote(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength) !=
            VXQ_DPS_ADMIT_GO)
        return 1;

    if (!VXQ_F_DPS_MW_TransSingleNetDataPacketLittleMode(1, inout_pMsg, (uint32_t)in_iLength)) {
        VXQ_F_LOG_SR_ShowInfo(
            "VXQ_F_DPS_MW_DoSingleNetDataPacket VXQ_F_DPS_MW_TransSingleNetDataPacketLittleMode fail.");
        return 0;
    }

    /* A connection that quoted an unknown login id gets every answer late. */
    int bHold = VXQ_F_DPS_MC_ADMIT_IsTarpitted(inout_pConn);
    if (bHold)
        inout_pMcSrvData->pHoldConn = inout_pConn;
    int iRet = 1;
    if (!pLine) {
        char sText[128];
        snprintf(sText, sizeof(sText),
                 "Recv data msg function id error, usMsgFuncId: %4.4x, ucPacketType: %d.",
                 (unsigned)usMsgFuncId, (int)ucPacketType);
        VXQ_F_LOG_SR_ShowInfo(sText);
        if (ucPacketType == VXQ_DPS_UMSP_PACKET_REQUEST)
            VXQ_F_DPS_MW_AnswerInPlace(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                                       VXQ_DPS_UMSP_RESULT_FUNC_ERROR, "VXQ_F_DPS_MW_DoSingleNetDataPacket");
    } else if (bNoLogin) {
        PR_Refuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, pLine,
                  VXQ_DPS_UMSP_RESULT_NOT_LOGGED_IN, "no login");
    } else if (in_iLength < pLine->iMinMsgLen) {
        char sCause[64];
        snprintf(sCause, sizeof(sCause), "message length %d is below %d", (int)in_iLength,
                 (int)pLine->iMinMsgLen);
        PR_Refuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, pLine,
                  VXQ_DPS_UMSP_RESULT_PARAM_ERROR, sCause);
    } else if (pLine->dwPopBit != 0 && inout_pConn->dwLoginId != 0 &&
               !VXQ_F_DPS_MC_APUP_PopCheck(
                   inout_pMcSrvData,
                   VXQ_F_DPS_MC_NetPortData_QueryByLoginId(inout_pMcSrvData, inout_pConn->dwLoginId), -1,
                   pLine->dwPopBit)) {
        /* The right of the line, on the user of the command connection that holds
         * this connection's login id (the connection itself after its own login). */
        char sText[160];
        snprintf(sText, sizeof(sText), "Receiving network data: %s fail, cause: without permission.",
                 pLine->sOper ? pLine->sOper : "Request");
        PR_Refuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, pLine,
                  VXQ_DPS_UMSP_RESULT_NO_PERMISSION, nullptr, sText);
    } else if (pLine->fnRequest) {
        iRet = pLine->fnRequest(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength);
    } else if (!(pLine->ucFlags & VXQ_DPS_FUNC_NO_ANSWER)) {
        iRet = inout_pMcSrvData->tHooks.pFuncTable->fnRelayRequest(inout_pMcSrvData, inout_pConn, inout_pMsg,
                                                                   in_iLength, pLine);
    } /* else: accepted and ignored (frames a client has no business sending) */
    if (bHold)
        inout_pMcSrvData->pHoldConn = nullptr;
    return iRet;
}
