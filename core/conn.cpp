/* Client connections: table, engine record handling, stream framing, release
 * and sending. Control thread only; see core/conn.h. */
#include "core/conn.h"

#include "kit/clock.h"
#include "net/selengine.h"
#include "vxq_log.h"
#include "vxq_netcom.h"
#include "vxq_membuf.h"
#include "vxq_syshelp.h"

#include <stdlib.h>
#include <string.h>

static_assert(VXQ_DPS_PORT_SLOT_NUM == VXQ_NET_SELECT_SOCKET_NUM, "the slot map covers the engine's table");

_VXQ_S_DPS_NET_PORT_DATA *VXQ_F_DPS_MC_NetPortData_Create(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                          uint32_t in_dwPortId)
{
    uint32_t dwSlot = in_dwPortId & 0xFFFFu;
    int32_t iIndex = -1;
    _VXQ_S_DPS_NET_PORT_DATA *pConn;
    if (inout_pMcSrvData == NULL)
        return NULL;
    if (dwSlot >= VXQ_DPS_PORT_SLOT_NUM) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MC_NetPortData_Create in_dwPortId error.", 2);
        return NULL;
    }
    /* A record still naming this engine slot belongs to a socket that is gone. */
    if (inout_pMcSrvData->ucConnOfSlot[dwSlot] != 0)
        VXQ_F_DPS_MC_NetPortData_Delete(inout_pMcSrvData,
                                        inout_pMcSrvData->pConn[inout_pMcSrvData->ucConnOfSlot[dwSlot] - 1]);
    for (int32_t i = 0; i < VXQ_DPS_MAX_CONN_NUM && iIndex < 0; i++) {
        if (inout_pMcSrvData->pConn[i] == NULL)
            iIndex = i;
    }
    if (iIndex < 0) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MC_NetPortData_Create not idle pos.", 2);
        return NULL;
    }
    pConn = (_VXQ_S_DPS_NET_PORT_DATA *)calloc(1, sizeof(*pConn));
    if (pConn == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MC_NetPortData_Create malloc fail.", 2);
        return NULL;
    }
    pConn->dwConnId = ((VXQ_F_SYS_GetRandom32() & 0xFFFFu) << 16) | (uint32_t)iIndex;
    pConn->dwPortId = in_dwPortId;
    pConn->usPortSlot = (uint16_t)dwSlot;
    pConn->tLastRecvTime = VXQ_F_CLOCK_NowSec();
    pConn->tCreateTime = pConn->tLastRecvTime;
    pConn->tAdmit.tAdmitStart = pConn->tLastRecvTime;
    pConn->tAdmit.dwAdmitSeq = ++inout_pMcSrvData->dwAdmitSeq;
    pConn->tMedia.bAudioPause = 1;
    VXQ_F_DPS_MC_PutConnEntry(inout_pMcSrvData, iIndex, pConn);
    inout_pMcSrvData->ucConnOfSlot[dwSlot] = (uint8_t)(iIndex + 1);
    return pConn;
}

void VXQ_F_DPS_MC_PutConnEntry(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iIndex,
                               _VXQ_S_DPS_NET_PORT_DATA *in_pConn)
{
    if (inout_pMcSrvData == NULL || in_iIndex < 0 || in_iIndex >= VXQ_DPS_MAX_CONN_NUM)
        return;
    inout_pMcSrvData->pConn[in_iIndex] = in_pConn;
    if (in_pConn != NULL && in_iIndex >= inout_pMcSrvData->iConnEnd)
        inout_pMcSrvData->iConnEnd = in_iIndex + 1;
    while (inout_pMcSrvData->iConnEnd > 0 && inout_pMcSrvData->pConn[inout_pMcSrvData->iConnEnd - 1] == NULL)
        inout_pMcSrvData->iConnEnd--;
}

void VXQ_F_DPS_MC_NetPortData_Delete(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                     _VXQ_S_DPS_NET_PORT_DATA *in_pConn)
{
    uint32_t dwIndex;
    if (inout_pMcSrvData == NULL || in_pConn == NULL)
        return;
    dwIndex = in_pConn->dwConnId & 0xFFFFu;
    if (dwIndex < VXQ_DPS_MAX_CONN_NUM && inout_pMcSrvData->pConn[dwIndex] == in_pConn) {
        VXQ_F_DPS_MC_PutConnEntry(inout_pMcSrvData, (int32_t)dwIndex, NULL);
        /* The slot map entry goes with the record (its port id may already be 0). */
        if (inout_pMcSrvData->ucConnOfSlot[in_pConn->usPortSlot] == dwIndex + 1)
            inout_pMcSrvData->ucConnOfSlot[in_pConn->usPortSlot] = 0;
    }
    if (inout_pMcSrvData->pHoldConn == in_pConn)
        inout_pMcSrvData->pHoldConn = NULL;
    if (in_pConn->dwPortId != 0) {
        VXQ_F_NETCOM_CloseTcpConnectAfterSend(inout_pMcSrvData->hNetSrv, in_pConn->dwPortId,
                                              VXQ_DPS_DROP_LINGER_MS);
        in_pConn->dwPortId = 0;
    }
    free(in_pConn->pToken);
    free(in_pConn->pUserInfo);
    free(in_pConn->pRecvBuf);
    free(in_pConn->tMedia.pWaitRespBuf);
    free(in_pConn->tHold.pDelayRespBuf);
    free(in_pConn);
}

void VXQ_F_DPS_MC_NetPortData_ReleaseAllData(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData)
{
    if (inout_pMcSrvData == NULL)
        return;
    for (int32_t i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++) {
        if (inout_pMcSrvData->pConn[i] != NULL)
            VXQ_F_DPS_MC_NetPortData_Delete(inout_pMcSrvData, inout_pMcSrvData->pConn[i]);
    }
}

_VXQ_S_DPS_NET_PORT_DATA *VXQ_F_DPS_MC_NetPortData_QueryByPortId(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData,
                                                                 uint32_t in_dwPortId)
{
    uint32_t dwSlot = in_dwPortId & 0xFFFFu;
    _VXQ_S_DPS_NET_PORT_DATA *pConn;
    if (in_pMcSrvData == NULL || in_dwPortId == 0 || dwSlot >= VXQ_DPS_PORT_SLOT_NUM ||
        in_pMcSrvData->ucConnOfSlot[dwSlot] == 0)
        return NULL;
    pConn = in_pMcSrvData->pConn[in_pMcSrvData->ucConnOfSlot[dwSlot] - 1];
    if (pConn == NULL || pConn->dwPortId != in_dwPortId)
        return NULL;
    return pConn;
}

_VXQ_S_DPS_NET_PORT_DATA *VXQ_F_DPS_MC_NetPortData_QueryByLoginId(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData,
                                                                  uint32_t in_dwLoginId)
{
    if (in_pMcSrvData == NULL || in_dwLoginId == 0)
        return NULL;
    for (int32_t i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++) {
        _VXQ_S_DPS_NET_PORT_DATA *pConn = in_pMcSrvData->pConn[i];
        if (pConn != NULL && pConn->iConnType == VXQ_DPS_CONN_COMMAND && pConn->dwLoginId == in_dwLoginId)
            return pConn;
    }
    return NULL;
}

/* Releases a connection: the session's media, talk and down connections go
 * with its command connection (one that never logged in, id 0, owns none);
 * then each family releases what it holds on the record (the connection-gone
 * hooks, in their order), and the record is deleted. */
static void PR_ReleaseConn(_VXQ_S_DPS_MCSRV_DATA *p, _VXQ_S_DPS_NET_PORT_DATA *in_pConn)
{
    if (in_pConn->iConnType == VXQ_DPS_CONN_COMMAND) {
        for (int32_t i = 0; i < VXQ_DPS_MAX_CONN_NUM && in_pConn->dwLoginId != 0; i++) {
            _VXQ_S_DPS_NET_PORT_DATA *pOther = p->pConn[i];
            if (pOther == NULL || pOther == in_pConn || pOther->dwLoginId != in_pConn->dwLoginId)
                continue;
            if (pOther->iConnType == VXQ_DPS_CONN_MEDIA || pOther->iConnType == VXQ_DPS_CONN_TALK ||
                pOther->iConnType == VXQ_DPS_CONN_DOWN)
                VXQ_F_DPS_MC_ActiveDisconnect(p, pOther);
        }
    }
    for (int32_t i = 0; i < p->tHooks.iConnGoneNum; i++)
        p->tHooks.fnConnGone[i](p, in_pConn);
    VXQ_F_DPS_MC_NetPortData_Delete(p, in_pConn);
}

void VXQ_F_DPS_MC_DoNetDisconnetEvent(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                      _VXQ_S_DPS_NET_PORT_DATA *in_pConn)
{
    if (inout_pMcSrvData == NULL || in_pConn == NULL)
        return;
    PR_ReleaseConn(inout_pMcSrvData, in_pConn);
}

void VXQ_F_DPS_MC_ActiveDisconnect(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                   _VXQ_S_DPS_NET_PORT_DATA *in_pConn)
{
    /* The socket is not closed first: the deletion at the end of the release
     * closes it once what was queued on it (the answers that led here) is out. */
    VXQ_F_DPS_MC_DoNetDisconnetEvent(inout_pMcSrvData, in_pConn);
}

void VXQ_F_DPS_MC_DoNetEvent_CONNECT(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                     const _VXQ_S_NETCOM_DATA_HEAD *in_pHead, uint8_t *in_pData,
                                     int32_t in_iDataLen)
{
    _VXQ_S_DPS_NET_PORT_DATA *pConn;
    (void)in_pData;
    (void)in_iDataLen;
    if (inout_pMcSrvData == NULL || in_pHead == NULL)
        return;
    VXQ_F_LOG_SR_ShowInfo("Receiving TCP connection.");
    /* A full table makes room by dropping the oldest connection that has not
     * logged in, so holding connections open cannot lock clients out. */
    uint32_t dwSlot = in_pHead->dwPortId & 0xFFFFu;
    if (dwSlot < VXQ_DPS_PORT_SLOT_NUM && inout_pMcSrvData->ucConnOfSlot[dwSlot] == 0 &&
        inout_pMcSrvData->tHooks.fnMakeRoom != NULL &&
        VXQ_F_DPS_MC_StatTcpConnNum(inout_pMcSrvData) >= VXQ_DPS_MAX_CONN_NUM)
        inout_pMcSrvData->tHooks.fnMakeRoom(inout_pMcSrvData);
    pConn = VXQ_F_DPS_MC_NetPortData_Create(inout_pMcSrvData, in_pHead->dwPortId);
    if (pConn == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MC_DoNetEvent_CONNECT VXQ_F_DPS_MC_NetPortData_Create fail.", 2);
        VXQ_F_NETCOM_CloseTcpConnect(inout_pMcSrvData->hNetSrv, in_pHead->dwPortId);
        return;
    }
    memcpy(pConn->szPeerIpaddr, in_pHead->szPeerIpaddr, sizeof(pConn->szPeerIpaddr) - 1);
    pConn->szPeerIpaddr[sizeof(pConn->szPeerIpaddr) - 1] = '\0';
    pConn->usPeerPort = in_pHead->usPeerPort;
    pConn->usLocalPort = in_pHead->usLocalPort;
}

void VXQ_F_DPS_MC_DoNetEvent_DISCONNECT(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                        const _VXQ_S_NETCOM_DATA_HEAD *in_pHead, uint8_t *in_pData,
                                        int32_t in_iDataLen)
{
    _VXQ_S_DPS_NET_PORT_DATA *pConn;
    static const char *const s_sText[] = {"Disconnect the unknown channel.", "Disconnect command channel.",
                                          "Disconnect the media channel.", "Disconnect the talk channel.",
                                          "Disconnect the down channel."};
    (void)in_pData;
    (void)in_iDataLen;
    if (inout_pMcSrvData == NULL || in_pHead == NULL)
        return;
    pConn = VXQ_F_DPS_MC_NetPortData_QueryByPortId(inout_pMcSrvData, in_pHead->dwPortId);
    if (pConn == NULL)
        return;
    if (pConn->iConnType >= 0 && pConn->iConnType <= VXQ_DPS_CONN_DOWN)
        VXQ_F_LOG_SR_ShowInfo(s_sText[pConn->iConnType]);
    else
        VXQ_F_LOG_SR_ShowInfo("Disconnect the default channel.");
    VXQ_F_DPS_MC_DoNetDisconnetEvent(inout_pMcSrvData, pConn);
}

static void PR_FrameMessages(_VXQ_S_DPS_MCSRV_DATA *p, uint32_t dwPortId);

/* Framing waits while answers are held back or the front message waits for
 * the right to be looked at (protocol/admission.h). */
static int PR_FramingPaused(const _VXQ_S_DPS_NET_PORT_DATA *in_pConn)
{
    return in_pConn->tHold.pDelayRespBuf != NULL || in_pConn->tAdmit.bQuoteWait;
}

/* Drops a connection whose byte stream can no longer be framed; the data
 * buffered for it is discarded. */
static void PR_DropForFraming(_VXQ_S_DPS_MCSRV_DATA *p, _VXQ_S_DPS_NET_PORT_DATA *pConn, const char *in_sText)
{
    VXQ_F_LOG_SR_ShowInfo(in_sText);
    pConn->iRecvDataLen = 0;
    VXQ_F_DPS_MC_ActiveDisconnect(p, pConn);
}

void VXQ_F_DPS_MC_DoNetEvent_DATA(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                  const _VXQ_S_NETCOM_DATA_HEAD *in_pHead, uint8_t *in_pData,
                                  int32_t in_iDataLen)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    _VXQ_S_DPS_NET_PORT_DATA *pConn;
    uint32_t dwPortId;
    if (p == NULL || in_pHead == NULL || in_pData == NULL || in_iDataLen <= 0)
        return;
    dwPortId = in_pHead->dwPortId;
    pConn = VXQ_F_DPS_MC_NetPortData_QueryByPortId(p, dwPortId);
    if (pConn == NULL)
        return;
    if (!VXQ_F_MEM_MG_AddDataToBuf(&pConn->pRecvBuf, &pConn->iRecvBufSize, &pConn->iRecvDataLen, in_pData,
                                   in_iDataLen)) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MC_DoNetEvent_DATA VXQ_F_MEM_MG_AddDataToBuf fail.", 2);
        VXQ_F_DPS_MC_ActiveDisconnect(p, pConn);
        return;
    }
    /* While answers are held back or a quote waits nothing is framed; what a
     * client piles up meanwhile is bounded like one incomplete message. */
    if (PR_FramingPaused(pConn) && (uint32_t)pConn->iRecvDataLen >= VXQ_DPS_MAX_INCOMPLETE_LEN) {
        PR_DropForFraming(p, pConn, "Receiving data dwPacketSize too size.");
        return;
    }
    PR_FrameMessages(p, dwPortId);
}

void VXQ_F_DPS_MC_ResumeFraming(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                _VXQ_S_DPS_NET_PORT_DATA *inout_pConn)
{
    if (inout_pMcSrvData == NULL || inout_pConn == NULL || inout_pConn->dwPortId == 0)
        return;
    PR_FrameMessages(inout_pMcSrvData, inout_pConn->dwPortId);
}

/* The framing loop over the buffered bytes of the connection of in_dwPortId. */
static void PR_FrameMessages(_VXQ_S_DPS_MCSRV_DATA *p, uint32_t dwPortId)
{
    _VXQ_S_DPS_NET_PORT_DATA *pConn = VXQ_F_DPS_MC_NetPortData_QueryByPortId(p, dwPortId);
    while (pConn != NULL && pConn->pRecvBuf != NULL && !PR_FramingPaused(pConn) &&
           pConn->iRecvDataLen >= (int32_t)VXQ_DPS_UMSP_HEAD_LEN) {
        uint8_t *pMsg = (uint8_t *)pConn->pRecvBuf;
        uint32_t dwFlag = VXQ_F_DPS_MW_GetLe32(pMsg + VXQ_DPS_UMSP_OFF_PACKET_FLAG);
        uint32_t dwSize = VXQ_F_DPS_MW_GetLe32(pMsg + VXQ_DPS_UMSP_OFF_PACKET_SIZE);
        if (dwFlag != VXQ_DPS_UMSP_PACKET_FLAG) {
            PR_DropForFraming(p, pConn, "Receiving data dwPacketFlag format error.");
            return;
        }
        /* A size below the head or with the top bit set can never frame a message. */
        if (dwSize < VXQ_DPS_UMSP_HEAD_LEN || (dwSize & 0x80000000u) != 0) {
            PR_DropForFraming(p, pConn, "Receiving data dwPacketSize format error.");
            return;
        }
        if ((uint32_t)pConn->iRecvDataLen < dwSize) {
            if (dwSize < VXQ_DPS_MAX_INCOMPLETE_LEN)
                return; /* wait for the rest */
            PR_DropForFraming(p, pConn, "Receiving data dwPacketSize too size.");
            return;
        }
        if (p->tHooks.fnMessage != NULL)
            p->tHooks.fnMessage(p, pConn, pMsg, (int32_t)dwSize);
        /* The handler may have released this connection (or others). */
        pConn = VXQ_F_DPS_MC_NetPortData_QueryByPortId(p, dwPortId);
        if (pConn == NULL || pConn->pRecvBuf == NULL || pConn->iRecvDataLen == 0 || pConn->tAdmit.bQuoteWait)
            return; /* a waiting quote stays at the front, untouched, for its retry */
        if ((uint32_t)pConn->iRecvDataLen <= dwSize) {
            free(pConn->pRecvBuf);
            pConn->pRecvBuf = NULL;
            pConn->iRecvBufSize = 0;
            pConn->iRecvDataLen = 0;
            return;
        }
        VXQ_F_MEM_MG_BufInsideCopy(pConn->pRecvBuf, &pConn->iRecvDataLen, (int32_t)dwSize);
    }
}

void VXQ_F_DPS_MC_DoNetEvent_CONNECT_RESULT(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                            const _VXQ_S_NETCOM_DATA_HEAD *in_pHead, uint8_t *in_pData,
                                            int32_t in_iDataLen)
{
    /* The service makes no outgoing connections: nothing to do. */
    (void)inout_pMcSrvData;
    (void)in_pHead;
    (void)in_pData;
    (void)in_iDataLen;
}

void VXQ_F_DPS_MC_DoNetEvent_SEND_COMP_NOTIFY(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                              const _VXQ_S_NETCOM_DATA_HEAD *in_pHead, uint8_t *in_pData,
                                              int32_t in_iDataLen)
{
    _VXQ_S_DPS_NET_PORT_DATA *pConn;
    (void)in_pData;
    (void)in_iDataLen;
    if (inout_pMcSrvData == NULL || in_pHead == NULL || inout_pMcSrvData->tHooks.fnSendDone == NULL)
        return;
    pConn = VXQ_F_DPS_MC_NetPortData_QueryByPortId(inout_pMcSrvData, in_pHead->dwPortId);
    if (pConn != NULL)
        inout_pMcSrvData->tHooks.fnSendDone(inout_pMcSrvData, pConn);
}

int VXQ_F_DPS_MC_SentNetData(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *in_pConn,
                             uint8_t *inout_pMsg, int32_t in_iLength, int32_t in_iSendClass)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    if (p == NULL || in_pConn == NULL || inout_pMsg == NULL || in_iLength <= 0)
        return 0;
    if (in_iSendClass == VXQ_DPS_SEND_CLASS_VIDEO || in_iSendClass == VXQ_DPS_SEND_CLASS_AUDIO) {
        if ((int64_t)p->iNetSendTotalLen + in_iLength > (int64_t)p->iMediaDataBufSize) {
            p->iNetSendTotalLen = VXQ_F_DPS_MC_StatNetSendQueueTotalLen(p);
            if ((int64_t)p->iNetSendTotalLen + in_iLength > (int64_t)p->iMediaDataBufSize) {
                VXQ_F_LOG_SR_ShowInfo("The cache is too large, the loss of media data...........");
                VXQ_F_NETCOM_ClearSendQueueData(p->hNetSrv, in_pConn->dwPortId);
                in_pConn->tMedia.bRecvIFrame = 0;
                in_pConn->tMedia.bLossMode = 1;
                in_pConn->tMedia.dwLossModeTime = (uint32_t)VXQ_F_CLOCK_NowSec();
                return 1;
            }
        }
    }
    /* On every host: the translator also checks the record counts of answers. */
    if (!VXQ_F_DPS_MW_TransSingleNetDataPacketLittleMode(0, inout_pMsg, (uint32_t)in_iLength)) {
        VXQ_F_LOG_SR_ShowInfo("VXQ_F_DPS_MC_SentNetData VXQ_F_DPS_MW_TransSingleNetDataPacketLittleMode fail.");
        return 0;
    }
    if (!VXQ_F_NETCOM_SendTcpDataEx(p->hNetSrv, in_pConn->dwPortId, (const char *)inout_pMsg, in_iLength,
                                    in_iSendClass, 0, 0, 0)) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MC_SentNetData VXQ_F_NETCOM_SendTcpDataEx fail.", 2);
        return 0;
    }
    p->iNetSendTotalLen += in_iLength;
    return 1;
}

int VXQ_F_DPS_MC_SentWaitNetRespMsg(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                    _VXQ_S_DPS_NET_PORT_DATA *in_pConn, uint8_t in_ucResult)
{
    int iRet;
    if (inout_pMcSrvData == NULL || in_pConn == NULL)
        return 0;
    if (in_pConn->tMedia.pWaitRespBuf == NULL || in_pConn->tMedia.iWaitRespLen <= 0)
        return 1;
    if (in_pConn->tMedia.iWaitRespLen >= (int32_t)VXQ_DPS_UMSP_HEAD_LEN)
        in_pConn->tMedia.pWaitRespBuf[VXQ_DPS_UMSP_OFF_RESULT] = in_ucResult;
    iRet = VXQ_F_DPS_MC_SentNetData(inout_pMcSrvData, in_pConn, (uint8_t *)in_pConn->tMedia.pWaitRespBuf,
                                    in_pConn->tMedia.iWaitRespLen, VXQ_DPS_SEND_CLASS_PROTOCOL);
    free(in_pConn->tMedia.pWaitRespBuf);
    in_pConn->tMedia.pWaitRespBuf = NULL;
    in_pConn->tMedia.iWaitRespBufSize = 0;
    in_pConn->tMedia.iWaitRespLen = 0;
    return iRet;
}

/* Bytes a connection holds outside the engine: its buffers and its record. */
static int32_t PR_ClientBufLen(const _VXQ_S_DPS_NET_PORT_DATA *in_pConn)
{
    return in_pConn->iRecvBufSize + in_pConn->tMedia.iWaitRespBufSize + (int32_t)sizeof(*in_pConn);
}

int32_t VXQ_F_DPS_MC_StatNetSendQueueTotalLen(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData)
{
    int32_t iTotal = 0;
    if (in_pMcSrvData == NULL)
        return 0;
    for (int32_t i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++) {
        _VXQ_S_DPS_NET_PORT_DATA *pConn = in_pMcSrvData->pConn[i];
        if (pConn == NULL)
            continue;
        if (pConn->dwPortId != 0)
            iTotal += VXQ_F_NETCOM_StatSendQueueDataTotalLen(in_pMcSrvData->hNetSrv, -1, pConn->dwPortId);
        iTotal += PR_ClientBufLen(pConn);
    }
    return iTotal;
}

int32_t VXQ_F_DPS_MC_StatClientBufTotalLen(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData)
{
    int32_t iTotal = 0;
    if (in_pMcSrvData == NULL)
        return 0;
    for (int32_t i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++) {
        if (in_pMcSrvData->pConn[i] != NULL)
            iTotal += PR_ClientBufLen(in_pMcSrvData->pConn[i]);
    }
    return iTotal;
}

int32_t VXQ_F_DPS_MC_StatTcpConnNum(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData)
{
    int32_t iNum = 0;
    if (in_pMcSrvData == NULL)
        return 0;
    for (int32_t i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++) {
        if (in_pMcSrvData->pConn[i] != NULL)
            iNum++;
    }
    return iNum;
}

int VXQ_F_DPS_MC_CheckClientArmState(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData)
{
    if (in_pMcSrvData == NULL)
        return 0;
    for (int32_t i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++) {
        if (in_pMcSrvData->pConn[i] != NULL && in_pMcSrvData->pConn[i]->tAlarm.bGuard)
            return 1;
    }
    return 0;
}
