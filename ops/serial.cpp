/*
 * serial.cpp - serial port pass-through: the open, the event bodies of write
 * and close, the host's port data and its close notices.
 *
 * Message buffers stay in wire order: every field is read and written through
 * the little-endian accessors; event and order bodies are host-order records
 * (vxq_dps.h).
 */
#include "ops/serial.h"

#include "ops/relay.h"
#include "wire/head.h"
#include "wire/result.h"
#include "vxq_log.h"

#include <stddef.h>
#include <stdlib.h>
#include <string.h>

/* Message offsets. */
#define PR_BODY VXQ_DPS_UMSP_HEAD_LEN
#define PR_OFF_LOGIN_ID (PR_BODY + 0)
#define PR_OFF_LINE_PARAM (PR_BODY + 4) /* open: six 32-bit line parameters */
#define PR_OFF_VALUE1 (PR_BODY + 4)     /* close, write and port data */
#define PR_OFF_VALUE2 (PR_BODY + 8)
#define PR_CLOSE_MSG_LEN 32  /* the close request and the close notice */
#define PR_SEND_FIXED_LEN 36 /* the write before its data */
#define PR_DATA_FIXED_LEN 32 /* port data before its data */
#define PR_ORDER_HEAD VXQ_DPS_APP_MSG_HEAD_LEN

/* ---- Close ------------------------------------------------------------------- */

static int32_t PR_FillClose(_VXQ_S_DPS_MCSRV_DATA *p, uint8_t *out_pBody, uint32_t in_dwPortId,
                            int32_t in_iCause, uint32_t in_dwValue1, uint32_t in_dwValue2)
{
    _VXQ_S_DPS_E3_COM_CLOSE tBody;
    memset(&tBody, 0, sizeof(tBody));
    tBody.dwPortId = in_dwPortId;
    tBody.iCloseCause = in_iCause;
    tBody.dwValue1 = in_dwValue1;
    tBody.dwValue2 = in_dwValue2;
    VXQ_DPS_DEBUG(
        p->bDebugLog, 0,
        "[DEBUG]  Close com (request): dwPortId: %8.8x, iCloseCause: %d, dwValue1: %u, dwValue2: %u.",
        (unsigned)in_dwPortId, (int)in_iCause, (unsigned)in_dwValue1, (unsigned)in_dwValue2);
    memcpy(out_pBody, &tBody, sizeof(tBody));
    return (int32_t)sizeof(tBody);
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E3_COM_CLOSE(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 uint32_t in_dwPortId, int32_t in_iCause,
                                                 uint32_t in_dwValue1, uint32_t in_dwValue2)
{
    uint8_t ucBody[sizeof(_VXQ_S_DPS_E3_COM_CLOSE)];
    if (inout_pMcSrvData == NULL)
        return 0;
    int32_t iLen = PR_FillClose(inout_pMcSrvData, ucBody, in_dwPortId, in_iCause, in_dwValue1, in_dwValue2);
    return VXQ_F_DPS_MC_SentProEventBody(inout_pMcSrvData, EVENT_E3_COM_CLOSE, 0, ucBody, iLen);
}

/* The client closes: its port id, cause 1 and the two values. The close is
 * answered 0 at once whether or not the notice was queued; bComOpen stays (the
 * release still tells the host when the connection goes). */
int32_t VXQ_F_DPS_MW_BodyComClose(_VXQ_S_DPS_MCSRV_DATA *p, const _VXQ_S_DPS_NET_PORT_DATA *in_pConn,
                                  const uint8_t *in_pMsg, int32_t, uint8_t *out_pBody)
{
    return PR_FillClose(p, out_pBody, in_pConn->dwPortId, VXQ_DPS_COM_CLOSE_BY_CLIENT,
                        VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_OFF_VALUE1),
                        VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_OFF_VALUE2));
}

/* An order with ucMsgType 0 is the host closing the port: the client gets the
 * 32-byte close notice. Any other order answers a client's close: ignored. */
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_COM_CLOSE(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                            int32_t)
{
    _VXQ_S_DPS_E3_COM_CLOSE tBody;
    uint8_t ucMsg[PR_CLOSE_MSG_LEN];
    if (inout_pOrder[offsetof(_VXQ_S_DPS_MSG_HEAD, ucMsgType)] != 0)
        return 1;
    memcpy(&tBody, inout_pOrder + PR_ORDER_HEAD, sizeof(tBody));
    VXQ_DPS_DEBUG(inout_pMcSrvData->bDebugLog, 0,
                  "[DEBUG]  Close com (notice): dwPortId: %8.8x, dwValue1: %u, dwValue2: %u.",
                  (unsigned)tBody.dwPortId, (unsigned)tBody.dwValue1, (unsigned)tBody.dwValue2);
    _VXQ_S_DPS_NET_PORT_DATA *pConn =
        VXQ_F_DPS_MC_NetPortData_QueryByPortId(inout_pMcSrvData, tBody.dwPortId);
    if (pConn == NULL) {
        VXQ_F_DPS_MW_LogStep(__func__, "VXQ_F_DPS_MC_NetPortData_QueryByPortId fail.");
        return 0;
    }
    memset(ucMsg, 0, sizeof(ucMsg));
    VXQ_F_DPS_MW_HeadBuildFresh(ucMsg, PR_CLOSE_MSG_LEN, P9_COM_CLOSE, VXQ_DPS_UMSP_PACKET_REQUEST,
                                VXQ_DPS_UMSP_RESULT_SUCCESS);
    VXQ_F_DPS_MW_PutLe32(ucMsg + PR_OFF_LOGIN_ID, pConn->dwLoginId);
    VXQ_F_DPS_MW_PutLe32(ucMsg + PR_OFF_VALUE1, tBody.dwValue1);
    VXQ_F_DPS_MW_PutLe32(ucMsg + PR_OFF_VALUE2, tBody.dwValue2);
    return VXQ_F_DPS_MW_SendNetAnswer(inout_pMcSrvData, pConn, ucMsg, PR_CLOSE_MSG_LEN, __func__);
}

/* ---- Open -------------------------------------------------------------------- */

/* Only the command connection logged in with the body's login id may open the
 * port: the release of exactly that connection tells the host the client went. */
int VXQ_F_DPS_MW_DoNetMsg_P9_COM_OPEN(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                      _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                      int32_t in_iLength)
{
    _VXQ_S_DPS_E3_COM_OPEN tBody;
    uint32_t dwLoginId = VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_OFF_LOGIN_ID);
    if (inout_pConn->iConnType != VXQ_DPS_CONN_COMMAND || inout_pConn->dwLoginId == 0 ||
        inout_pConn->dwLoginId != dwLoginId)
        return VXQ_F_DPS_MW_Refuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                                   VXQ_DPS_UMSP_RESULT_NOT_LOGGED_IN, "Open com failure, cause: not login.",
                                   NULL, __func__);
    memset(&tBody, 0, sizeof(tBody));
    tBody.i_dwPortId = inout_pConn->dwPortId;
    for (int i = 0; i < 6; i++)
        tBody.i_dwLineParam[i] = VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_OFF_LINE_PARAM + 4 * i);
    VXQ_DPS_DEBUG(inout_pMcSrvData->bDebugLog, 0,
                  "[DEBUG]  Open com (request): i_dwPortId: %8.8x, i_dwLineParam: %u %u %u %u %u %u.",
                  (unsigned)tBody.i_dwPortId, (unsigned)tBody.i_dwLineParam[0],
                  (unsigned)tBody.i_dwLineParam[1], (unsigned)tBody.i_dwLineParam[2],
                  (unsigned)tBody.i_dwLineParam[3], (unsigned)tBody.i_dwLineParam[4],
                  (unsigned)tBody.i_dwLineParam[5]);
    VXQ_F_LOG_SR_ShowInfo("Receiving network data: Open com.");
    const _VXQ_S_DPS_FUNC_LINE *pLine = VXQ_F_DPS_MC_FindFuncLine(inout_pMcSrvData, P9_COM_OPEN);
    _VXQ_S_DPS_TRANS_DATA *pTrans =
        VXQ_F_DPS_MW_Park(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, pLine, __func__);
    if (pTrans == NULL || !VXQ_F_DPS_MW_Raise(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, pLine,
                                              pTrans, &tBody, (int32_t)sizeof(tBody), __func__))
        return 0;
    /* The host has been told of the open: it must hear when this client goes. */
    inout_pConn->tSerial.bComOpen = 1;
    return 1;
}

/* ---- Write ------------------------------------------------------------------- */

uint8_t VXQ_F_DPS_MW_CheckComSend(const uint8_t *, int32_t in_iLength)
{
    if (in_iLength > PR_SEND_FIXED_LEN)
        return 0;
    VXQ_F_LOG_SR_ShowInfo("Send com data failure, cause: no data.");
    return VXQ_DPS_UMSP_RESULT_PARAM_ERROR;
}

/* The 16-byte fixed part; the data (from 36 on) follows it. */
int32_t VXQ_F_DPS_MW_BodyComSend(_VXQ_S_DPS_MCSRV_DATA *p, const _VXQ_S_DPS_NET_PORT_DATA *in_pConn,
                                 const uint8_t *in_pMsg, int32_t in_iLength, uint8_t *out_pBody)
{
    _VXQ_S_DPS_E3_COM_SEND_DATA tBody;
    tBody.i_dwPortId = in_pConn->dwPortId;
    tBody.i_dwValue1 = VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_OFF_VALUE1);
    tBody.i_dwValue2 = VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_OFF_VALUE2);
    tBody.i_iDataLen = in_iLength - PR_SEND_FIXED_LEN;
    VXQ_DPS_DEBUG(p->bDebugLog, 0,
                  "[DEBUG]  Send com data (request): i_dwPortId: %8.8x, i_dwValue1: %u, i_dwValue2: %u, "
                  "i_iDataLen: %d.",
                  (unsigned)tBody.i_dwPortId, (unsigned)tBody.i_dwValue1, (unsigned)tBody.i_dwValue2,
                  (int)tBody.i_iDataLen);
    memcpy(out_pBody, &tBody, sizeof(tBody));
    return (int32_t)sizeof(tBody);
}

/* ---- Port data --------------------------------------------------------------- */

/* The host's port data (order body 16 on, at least 1 byte) goes to the client
 * of o_dwPortId as a fresh message: body 0 and 4 the two values, body 8 the
 * data length, body 12 the data. */
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_COM_SUBS_DATA(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                uint8_t *inout_pOrder, int32_t in_iLength)
{
    _VXQ_S_DPS_E3_COM_SUBS_DATA tBody;
    int32_t iDataLen =
        VXQ_F_DPS_MW_OrderLen(inout_pOrder, in_iLength) - PR_ORDER_HEAD - (int32_t)sizeof(tBody);
    if (iDataLen <= 0) {
        VXQ_F_DPS_MW_LogStep(__func__, "iComDataLen error.");
        return 0;
    }
    memcpy(&tBody, inout_pOrder + PR_ORDER_HEAD, sizeof(tBody));
    VXQ_DPS_DEBUG(
        inout_pMcSrvData->bDebugLog, 0,
        "[DEBUG]  Com data (notice): o_dwPortId: %8.8x, o_dwValue1: %u, o_dwValue2: %u, iComDataLen: %d.",
        (unsigned)tBody.o_dwPortId, (unsigned)tBody.o_dwValue1, (unsigned)tBody.o_dwValue2, (int)iDataLen);
    _VXQ_S_DPS_NET_PORT_DATA *pConn =
        VXQ_F_DPS_MC_NetPortData_QueryByPortId(inout_pMcSrvData, tBody.o_dwPortId);
    if (pConn == NULL) {
        VXQ_F_DPS_MW_LogStep(__func__, "VXQ_F_DPS_MC_NetPortData_QueryByPortId fail.");
        return 0;
    }
    uint8_t *pMsg = (uint8_t *)malloc((size_t)(PR_DATA_FIXED_LEN + iDataLen));
    if (pMsg == NULL) {
        VXQ_F_DPS_MW_LogStep(__func__, "malloc fail.");
        return 0;
    }
    VXQ_F_DPS_MW_HeadBuildFresh(pMsg, (uint32_t)(PR_DATA_FIXED_LEN + iDataLen), P9_COM_SUBS_DATA,
                                VXQ_DPS_UMSP_PACKET_REQUEST, VXQ_DPS_UMSP_RESULT_SUCCESS);
    VXQ_F_DPS_MW_PutLe32(pMsg + PR_BODY, tBody.o_dwValue1);
    VXQ_F_DPS_MW_PutLe32(pMsg + PR_BODY + 4, tBody.o_dwValue2);
    VXQ_F_DPS_MW_PutLe32(pMsg + PR_BODY + 8, (uint32_t)iDataLen);
    memcpy(pMsg + PR_DATA_FIXED_LEN, inout_pOrder + PR_ORDER_HEAD + sizeof(tBody), (size_t)iDataLen);
    int iRet =
        VXQ_F_DPS_MW_SendNetAnswer(inout_pMcSrvData, pConn, pMsg, PR_DATA_FIXED_LEN + iDataLen, __func__);
    free(pMsg);
    return iRet;
}

/* Connection released: a command connection that opened the serial port tells
 * the host the port is closed (cause 1). */
static void PR_SerialConnGone(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn)
{
    if (inout_pConn->iConnType == VXQ_DPS_CONN_COMMAND && inout_pConn->tSerial.bComOpen)
        VXQ_F_DPS_MC_SentProEvent_EVENT_E3_COM_CLOSE(inout_pMcSrvData, inout_pConn->dwPortId, 1, 0, 0);
}

void VXQ_F_DPS_MC_SERIAL_Install(_VXQ_S_DPS_HOOKS *inout_pHooks)
{
    VXQ_F_DPS_MC_Hooks_AddConnGone(inout_pHooks, PR_SerialConnGone);
}
