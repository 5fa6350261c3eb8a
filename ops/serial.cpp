/*
 * serial.cpp - serial port pass-through: open, close and write requests, the
 * host's answers, its port data and its close notices.
 *
 * Each client request handler sits next to the handler of the host's answer.
 * Message buffers stay in wire order: every field is read and written through
 * the little-endian accessors; event and order bodies are host-order records
 * (vxq_dps.h).
 */
#include "ops/serial.h"

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

/* Body offsets (from the start of the message). */
#define PR_BODY VXQ_DPS_UMSP_HEAD_LEN
#define PR_OFF_LOGIN_ID (PR_BODY + 0)
#define PR_OFF_LINE_PARAM (PR_BODY + 4) /* open: six 32-bit line parameters */
#define PR_OFF_VALUE1 (PR_BODY + 4)     /* close and write */
#define PR_OFF_VALUE2 (PR_BODY + 8)
#define PR_ORDER_HEAD ((int32_t)sizeof(_VXQ_S_DPS_MSG_HEAD))

/* ---- Close notice ------------------------------------------------------------ */

int VXQ_F_DPS_MC_SentProEvent_EVENT_E3_COM_CLOSE(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwPortId,
                                                 int32_t in_iCause, uint32_t in_dwValue1, uint32_t in_dwValue2)
{
    _VXQ_S_DPS_E3_COM_CLOSE tBody;
    if (inout_pMcSrvData == NULL)
        return 0;
    memset(&tBody, 0, sizeof(tBody));
    tBody.dwPortId = in_dwPortId;
    tBody.iCloseCause = in_iCause;
    tBody.dwValue1 = in_dwValue1;
    tBody.dwValue2 = in_dwValue2;
    if (inout_pMcSrvData->bDebugLog) {
        char sText[160];
        snprintf(sText, sizeof(sText),
                 "[DEBUG]  Close com (request): dwPortId: %8.8x, iCloseCause: %d, dwValue1: %u, dwValue2: %u.",
                 (unsigned)in_dwPortId, (int)in_iCause, (unsigned)in_dwValue1, (unsigned)in_dwValue2);
        VXQ_F_LOG_SR_ShowInfo(sText);
    }
    return VXQ_F_DPS_MC_SentProEventBody(inout_pMcSrvData, EVENT_E3_COM_CLOSE, 0, &tBody, (int32_t)sizeof(tBody));
}

/* ---- Open -------------------------------------------------------------------- */

/* Only the command connection logged in with the body's login id may open the
 * port: the release of exactly that connection tells the host the client went. */
int VXQ_F_DPS_MW_DoNetMsg_P9_COM_OPEN(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                                      uint8_t *inout_pMsg, int32_t in_iLength)
{
    static const char *const sName = "VXQ_F_DPS_MW_DoNetMsg_P9_COM_OPEN";
    _VXQ_S_DPS_E3_COM_OPEN tBody;
    uint32_t dwLoginId;
    int i;
    if (!VXQ_F_DPS_MW_CheckMsgLen(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, VXQ_DPS_COM_OPEN_MSG_LEN,
                                  sName))
        return 0;
    dwLoginId = VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_OFF_LOGIN_ID);
    if (inout_pConn->iConnType != VXQ_DPS_CONN_COMMAND || inout_pConn->dwLoginId == 0 ||
        inout_pConn->dwLoginId != dwLoginId) {
        VXQ_F_LOG_SR_ShowInfo("Open com failure, cause: not login.");
        VXQ_F_DPS_MW_AnswerInPlace(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                                   VXQ_DPS_UMSP_RESULT_NOT_LOGGED_IN, sName);
        return 0;
    }
    memset(&tBody, 0, sizeof(tBody));
    tBody.i_dwPortId = inout_pConn->dwPortId;
    for (i = 0; i < 6; i++)
        tBody.i_dwLineParam[i] = VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_OFF_LINE_PARAM + 4 * i);
    if (inout_pMcSrvData->bDebugLog) {
        char sText[192];
        snprintf(sText, sizeof(sText),
                 "[DEBUG]  Open com (request): i_dwPortId: %8.8x, i_dwLineParam: %u %u %u %u %u %u.",
                 (unsigned)tBody.i_dwPortId, (unsigned)tBody.i_dwLineParam[0], (unsigned)tBody.i_dwLineParam[1],
                 (unsigned)tBody.i_dwLineParam[2], (unsigned)tBody.i_dwLineParam[3],
                 (unsigned)tBody.i_dwLineParam[4], (unsigned)tBody.i_dwLineParam[5]);
        VXQ_F_LOG_SR_ShowInfo(sText);
    }
    if (!VXQ_F_DPS_MC_SendTransRequDataToUpApp(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                                               EVENT_E3_COM_OPEN, &tBody, (int32_t)sizeof(tBody), NULL, 0,
                                               "Open com"))
        return 0;
    /* The host has been told of the open: it must hear when this client goes. */
    inout_pConn->bComOpen = 1;
    return 1;
}

/* The saved request goes back whole with the translated result. */
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_COM_OPEN(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                           int32_t in_iLength)
{
    static const char *const sName = "VXQ_F_DPS_MW_DoOrder_EVENT_E3_COM_OPEN";
    _VXQ_S_DPS_NET_PORT_DATA *pConn = NULL;
    _VXQ_S_DPS_TRANS_DATA *pTrans;
    int iRet;
    pTrans = VXQ_F_DPS_MW_FindAnswerTarget(inout_pMcSrvData, inout_pOrder, in_iLength, "Com open", sName, &pConn);
    if (pTrans == NULL)
        return 0;
    VXQ_F_DPS_MW_HeadMakeAnswer((uint8_t *)pTrans->pRequDataBuf,
                                inout_pOrder[offsetof(_VXQ_S_DPS_MSG_HEAD, ucResult)]);
    iRet = VXQ_F_DPS_MW_SendNetAnswer(inout_pMcSrvData, pConn, (uint8_t *)pTrans->pRequDataBuf,
                                      pTrans->iRequDataLen, sName);
    VXQ_F_DPS_MC_Trans_DeleteTransData(inout_pMcSrvData, pTrans);
    return iRet;
}

/* ---- Close ------------------------------------------------------------------- */

/* Answered at once with 0 whether or not the notice could be queued; bComOpen
 * stays as it is (the release still tells the host when the connection goes). */
int VXQ_F_DPS_MW_DoNetMsg_P9_COM_CLOSE(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                       _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                       int32_t in_iLength)
{
    static const char *const sName = "VXQ_F_DPS_MW_DoNetMsg_P9_COM_CLOSE";
    VXQ_F_LOG_SR_ShowInfo("Receiving network data: Close com.");
    if (!VXQ_F_DPS_MW_CheckMsgLen(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, VXQ_DPS_COM_CLOSE_MSG_LEN,
                                  sName))
        return 0;
    if (!VXQ_F_DPS_MC_SentProEvent_EVENT_E3_COM_CLOSE(inout_pMcSrvData, inout_pConn->dwPortId,
                                                      VXQ_DPS_COM_CLOSE_BY_CLIENT,
                                                      VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_OFF_VALUE1),
                                                      VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_OFF_VALUE2)))
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MW_DoNetMsg_P9_COM_CLOSE VXQ_F_DPS_MC_SentProEvent_EVENT_E3_COM_CLOSE fail.",
                              2);
    return VXQ_F_DPS_MW_AnswerInPlace(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                                      VXQ_DPS_UMSP_RESULT_SUCCESS, sName);
}

/* An order with ucMsgType 0 is the host closing the port: the client gets the
 * 32-byte close notice. Any other order answers a client's close: ignored. */
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_COM_CLOSE(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                            int32_t in_iLength)
{
    static const char *const sName = "VXQ_F_DPS_MW_DoOrder_EVENT_E3_COM_CLOSE";
    _VXQ_S_DPS_E3_COM_CLOSE tBody;
    _VXQ_S_DPS_NET_PORT_DATA *pConn;
    uint8_t ucMsg[VXQ_DPS_COM_CLOSE_MSG_LEN];
    if (inout_pMcSrvData == NULL || inout_pOrder == NULL ||
        VXQ_F_DPS_MW_OrderLen(inout_pOrder, in_iLength) < PR_ORDER_HEAD + (int32_t)sizeof(tBody))
        return 0;
    if (inout_pOrder[offsetof(_VXQ_S_DPS_MSG_HEAD, ucMsgType)] != 0)
        return 1;
    memcpy(&tBody, inout_pOrder + PR_ORDER_HEAD, sizeof(tBody));
    if (inout_pMcSrvData->bDebugLog) {
        char sText[160];
        snprintf(sText, sizeof(sText), "[DEBUG]  Close com (notice): dwPortId: %8.8x, dwValue1: %u, dwValue2: %u.",
                 (unsigned)tBody.dwPortId, (unsigned)tBody.dwValue1, (unsigned)tBody.dwValue2);
        VXQ_F_LOG_SR_ShowInfo(sText);
    }
    pConn = VXQ_F_DPS_MC_NetPortData_QueryByPortId(inout_pMcSrvData, tBody.dwPortId);
    if (pConn == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MW_DoOrder_EVENT_E3_COM_CLOSE VXQ_F_DPS_MC_NetPortData_QueryByPortId fail.", 2);
        return 0;
    }
    memset(ucMsg, 0, sizeof(ucMsg));
    VXQ_F_DPS_MW_HeadBuildFresh(ucMsg, VXQ_DPS_COM_CLOSE_MSG_LEN, P9_COM_CLOSE, VXQ_DPS_UMSP_PACKET_REQUEST,
                                VXQ_DPS_UMSP_RESULT_SUCCESS);
    VXQ_F_DPS_MW_PutLe32(ucMsg + PR_OFF_LOGIN_ID, pConn->dwLoginId);
    VXQ_F_DPS_MW_PutLe32(ucMsg + PR_OFF_VALUE1, tBody.dwValue1);
    VXQ_F_DPS_MW_PutLe32(ucMsg + PR_OFF_VALUE2, tBody.dwValue2);
    return VXQ_F_DPS_MW_SendNetAnswer(inout_pMcSrvData, pConn, ucMsg, VXQ_DPS_COM_CLOSE_MSG_LEN, sName);
}

/* ---- Write ------------------------------------------------------------------- */

/* A write without data (36 bytes or fewer) is refused with 2; otherwise the
 * 16-byte fixed part and the data go to the host. */
int VXQ_F_DPS_MW_DoNetMsg_P9_COM_SEND_DATA(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                           _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                           int32_t in_iLength)
{
    static const char *const sName = "VXQ_F_DPS_MW_DoNetMsg_P9_COM_SEND_DATA";
    _VXQ_S_DPS_E3_COM_SEND_DATA tBody;
    if (in_iLength <= VXQ_DPS_COM_SEND_FIXED_LEN) {
        VXQ_F_LOG_SR_ShowInfo("Send com data failure, cause: no data.");
        if (in_iLength >= (int32_t)VXQ_DPS_UMSP_HEAD_LEN)
            VXQ_F_DPS_MW_AnswerInPlace(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                                       VXQ_DPS_UMSP_RESULT_PARAM_ERROR, sName);
        return 0;
    }
    memset(&tBody, 0, sizeof(tBody));
    tBody.i_dwPortId = inout_pConn->dwPortId;
    tBody.i_dwValue1 = VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_OFF_VALUE1);
    tBody.i_dwValue2 = VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_OFF_VALUE2);
    tBody.i_iDataLen = in_iLength - VXQ_DPS_COM_SEND_FIXED_LEN;
    if (inout_pMcSrvData->bDebugLog) {
        char sText[160];
        snprintf(sText, sizeof(sText),
                 "[DEBUG]  Send com data (request): i_dwPortId: %8.8x, i_dwValue1: %u, i_dwValue2: %u, "
                 "i_iDataLen: %d.",
                 (unsigned)tBody.i_dwPortId, (unsigned)tBody.i_dwValue1, (unsigned)tBody.i_dwValue2,
                 (int)tBody.i_iDataLen);
        VXQ_F_LOG_SR_ShowInfo(sText);
    }
    return VXQ_F_DPS_MC_SendTransRequDataToUpApp(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                                                 EVENT_E3_COM_SEND_DATA, &tBody, (int32_t)sizeof(tBody),
                                                 inout_pMsg + VXQ_DPS_COM_SEND_FIXED_LEN, tBody.i_iDataLen,
                                                 "Send com data");
}

/* The answer is the first 32 bytes of the saved request (packet size 32) with
 * the result and body 8 cleared; the data is not sent back. */
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_COM_SEND_DATA(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                                int32_t in_iLength)
{
    static const char *const sName = "VXQ_F_DPS_MW_DoOrder_EVENT_E3_COM_SEND_DATA";
    _VXQ_S_DPS_NET_PORT_DATA *pConn = NULL;
    _VXQ_S_DPS_TRANS_DATA *pTrans;
    uint8_t ucMsg[VXQ_DPS_COM_SEND_RESP_LEN];
    int iRet = 0;
    pTrans = VXQ_F_DPS_MW_FindAnswerTarget(inout_pMcSrvData, inout_pOrder, in_iLength, "Com send data", sName,
                                           &pConn);
    if (pTrans == NULL)
        return 0;
    if (pTrans->iRequDataLen < VXQ_DPS_COM_SEND_RESP_LEN) {
        char sText[128];
        snprintf(sText, sizeof(sText), "%s iRequDataLen error.", sName);
        VXQ_F_LOG_SR_WriteLog(sText, 2);
    } else {
        memcpy(ucMsg, pTrans->pRequDataBuf, sizeof(ucMsg));
        VXQ_F_DPS_MW_PutLe32(ucMsg + VXQ_DPS_UMSP_OFF_PACKET_SIZE, VXQ_DPS_COM_SEND_RESP_LEN);
        VXQ_F_DPS_MW_HeadMakeAnswer(ucMsg, inout_pOrder[offsetof(_VXQ_S_DPS_MSG_HEAD, ucResult)]);
        VXQ_F_DPS_MW_PutLe32(ucMsg + PR_OFF_VALUE2, 0);
        iRet = VXQ_F_DPS_MW_SendNetAnswer(inout_pMcSrvData, pConn, ucMsg, VXQ_DPS_COM_SEND_RESP_LEN, sName);
    }
    VXQ_F_DPS_MC_Trans_DeleteTransData(inout_pMcSrvData, pTrans);
    return iRet;
}

/* ---- Port data --------------------------------------------------------------- */

/* The client's own port data message is accepted and ignored: no event, no answer. */
int VXQ_F_DPS_MW_DoNetMsg_P9_COM_SUBS_DATA(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                           _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                           int32_t in_iLength)
{
    (void)inout_pMcSrvData;
    (void)inout_pConn;
    (void)inout_pMsg;
    (void)in_iLength;
    return 1;
}

/* The host's port data (order body 16 on, at least 1 byte) goes to the client
 * of o_dwPortId as a fresh message: body 0 and 4 the two values, body 8 the
 * data length, body 12 the data. */
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_COM_SUBS_DATA(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                                int32_t in_iLength)
{
    static const char *const sName = "VXQ_F_DPS_MW_DoOrder_EVENT_E3_COM_SUBS_DATA";
    _VXQ_S_DPS_E3_COM_SUBS_DATA tBody;
    _VXQ_S_DPS_NET_PORT_DATA *pConn;
    uint8_t *pMsg;
    int32_t iDataLen;
    int iRet;
    if (inout_pMcSrvData == NULL || inout_pOrder == NULL)
        return 0;
    iDataLen = VXQ_F_DPS_MW_OrderLen(inout_pOrder, in_iLength) - PR_ORDER_HEAD - (int32_t)sizeof(tBody);
    if (iDataLen <= 0) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MW_DoOrder_EVENT_E3_COM_SUBS_DATA iComDataLen error.", 2);
        return 0;
    }
    memcpy(&tBody, inout_pOrder + PR_ORDER_HEAD, sizeof(tBody));
    if (inout_pMcSrvData->bDebugLog) {
        char sText[160];
        snprintf(sText, sizeof(sText),
                 "[DEBUG]  Com data (notice): o_dwPortId: %8.8x, o_dwValue1: %u, o_dwValue2: %u, iComDataLen: %d.",
                 (unsigned)tBody.o_dwPortId, (unsigned)tBody.o_dwValue1, (unsigned)tBody.o_dwValue2,
                 (int)iDataLen);
        VXQ_F_LOG_SR_ShowInfo(sText);
    }
    pConn = VXQ_F_DPS_MC_NetPortData_QueryByPortId(inout_pMcSrvData, tBody.o_dwPortId);
    if (pConn == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MW_DoOrder_EVENT_E3_COM_SUBS_DATA VXQ_F_DPS_MC_NetPortData_QueryByPortId fail.",
                              2);
        return 0;
    }
    pMsg = (uint8_t *)malloc((size_t)(VXQ_DPS_COM_DATA_FIXED_LEN + iDataLen));
    if (pMsg == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MW_DoOrder_EVENT_E3_COM_SUBS_DATA malloc fail.", 2);
        return 0;
    }
    VXQ_F_DPS_MW_HeadBuildFresh(pMsg, (uint32_t)(VXQ_DPS_COM_DATA_FIXED_LEN + iDataLen), P9_COM_SUBS_DATA,
                                VXQ_DPS_UMSP_PACKET_REQUEST, VXQ_DPS_UMSP_RESULT_SUCCESS);
    VXQ_F_DPS_MW_PutLe32(pMsg + PR_BODY, tBody.o_dwValue1);
    VXQ_F_DPS_MW_PutLe32(pMsg + PR_BODY + 4, tBody.o_dwValue2);
    VXQ_F_DPS_MW_PutLe32(pMsg + PR_BODY + 8, (uint32_t)iDataLen);
    memcpy(pMsg + VXQ_DPS_COM_DATA_FIXED_LEN, inout_pOrder + PR_ORDER_HEAD + sizeof(tBody), (size_t)iDataLen);
    iRet = VXQ_F_DPS_MW_SendNetAnswer(inout_pMcSrvData, pConn, pMsg, VXQ_DPS_COM_DATA_FIXED_LEN + iDataLen, sName);
    free(pMsg);
    return iRet;
}

/* Connection released: a command connection that opened the serial port tells
 * the host the port is closed (cause 1). */
static void PR_SerialConnGone(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn)
{
    if (inout_pConn->iConnType == VXQ_DPS_CONN_COMMAND && inout_pConn->bComOpen)
        VXQ_F_DPS_MC_SentProEvent_EVENT_E3_COM_CLOSE(inout_pMcSrvData, inout_pConn->dwPortId, 1, 0, 0);
}

void VXQ_F_DPS_MC_SERIAL_Install(_VXQ_S_DPS_HOOKS *inout_pHooks)
{
    VXQ_F_DPS_MC_Hooks_AddConnGone(inout_pHooks, PR_SerialConnGone);
}
