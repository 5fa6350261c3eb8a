/* The select engine: socket table, port ids, the pass and its accept/read/write events. */
#include "net/selengine.h"

#include "net/sockos.h"
#include "vxq_clock.h"
#include "vxq_log.h"
#include "vxq_sockwrap.h"
#include "vxq_syshelp.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

/* Text of the CONNECT_RESULT block: the two GBK characters for "success". */
static const unsigned char s_ucConnectOkText[4] = {0xB3, 0xC9, 0xB9, 0xA6};

/* Copies a dotted address into a 16-byte field (cut to 15 characters). */
static void VXQ_F_NET_SELECT_PR_CopyIpaddr(char *out_pDst, const char *in_pSrc)
{
    size_t nLen = in_pSrc != NULL ? strlen(in_pSrc) : 0;
    if (nLen > 15)
        nLen = 15;
    if (nLen > 0)
        memcpy(out_pDst, in_pSrc, nLen);
    out_pDst[nLen] = 0;
}

/* Logs the failure line of in_sCallee failing inside in_sCaller. */
static void VXQ_F_NET_SELECT_PR_LogFail(const char *in_sCaller, const char *in_sCallee)
{
    char sText[160];
    snprintf(sText, sizeof(sText), "%s %s fail.", in_sCaller, in_sCallee);
    VXQ_F_LOG_SR_WriteLog(sText, 2);
}

/* A fresh port id for in_iSlot: random upper 16 bits from the library's own
 * generator, never 0 (so that no id is 0, which callers use for "none") and
 * never the slot's previous id, so a stale id cannot match its reused slot. */
static uint32_t VXQ_F_NET_SELECT_PR_MakePortId(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine, int in_iSlot)
{
    uint32_t dwPortId;
    do {
        uint32_t dwRandom = VXQ_F_SYS_GetRandom32() & 0xFFFFu;
        dwPortId = (dwRandom << 16) | (uint32_t)in_iSlot;
    } while ((dwPortId >> 16) == 0 || dwPortId == inout_pEngine->dwLastPortId[in_iSlot]);
    inout_pEngine->dwLastPortId[in_iSlot] = dwPortId;
    return dwPortId;
}

_VXQ_S_NET_SELECT_SOCKET_WORK_DATA *
VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByPortId(_VXQ_S_NET_SELECT_MCSERVER_DATA *in_pEngine,
                                                uint32_t in_dwPortId)
{
    uint32_t dwSlot = in_dwPortId & 0xFFFFu;
    if (in_pEngine == NULL || dwSlot >= VXQ_NET_SELECT_SOCKET_NUM)
        return NULL;
    _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *pWork = in_pEngine->pSocketTable[dwSlot];
    if (pWork == NULL || !pWork->bInUse || pWork->dwPortId != in_dwPortId || pWork->bClosing)
        return NULL;
    return pWork;
}

_VXQ_S_NET_SELECT_SOCKET_WORK_DATA *
VXQ_F_NET_SELECT_MC_QuerySocketWorkDataBySocketId(_VXQ_S_NET_SELECT_MCSERVER_DATA *in_pEngine, int in_iSocket)
{
    for (int i = 0; in_pEngine != NULL && i < VXQ_NET_SELECT_SOCKET_NUM; i++) {
        _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *pWork = in_pEngine->pSocketTable[i];
        if (pWork != NULL && pWork->bInUse && pWork->iSocket == in_iSocket)
            return pWork;
    }
    return NULL;
}

/* The first listener of in_iType on local port in_usPort. */
static _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *
VXQ_F_NET_SELECT_PR_QueryListener(_VXQ_S_NET_SELECT_MCSERVER_DATA *in_pEngine, int32_t in_iType,
                                  uint16_t in_usPort)
{
    for (int i = 0; in_pEngine != NULL && i < VXQ_NET_SELECT_SOCKET_NUM; i++) {
        _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *pWork = in_pEngine->pSocketTable[i];
        if (pWork != NULL && pWork->bInUse && pWork->iSocketType == in_iType &&
            pWork->usLocalPort == in_usPort)
            return pWork;
    }
    return NULL;
}

_VXQ_S_NET_SELECT_SOCKET_WORK_DATA *
VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByTcpListenPort(_VXQ_S_NET_SELECT_MCSERVER_DATA *in_pEngine,
                                                       uint16_t in_usPort)
{
    return VXQ_F_NET_SELECT_PR_QueryListener(in_pEngine, VXQ_NET_SELECT_TCP_LISTEN, in_usPort);
}

_VXQ_S_NET_SELECT_SOCKET_WORK_DATA *
VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByUdpListenPort(_VXQ_S_NET_SELECT_MCSERVER_DATA *in_pEngine,
                                                       uint16_t in_usPort)
{
    return VXQ_F_NET_SELECT_PR_QueryListener(in_pEngine, VXQ_NET_SELECT_UDP_LISTEN, in_usPort);
}

_VXQ_S_NET_SELECT_SOCKET_WORK_DATA *
VXQ_F_NET_SELECT_MC_AddSocketId(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine, int in_iSocket,
                                int32_t in_iSocketType, int32_t in_bRecvFlag, int32_t in_bSendFlag)
{
    if (inout_pEngine == NULL)
        return NULL;
    /* select() can only watch descriptors below FD_SETSIZE; a larger one would
     * be written outside the fd_set. */
    if (in_iSocket < 0 || in_iSocket >= FD_SETSIZE) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NET_SELECT_MC_AddSocketId in_iSocket error.", 2);
        return NULL;
    }
    int iSlot = -1;
    for (int i = 0; i < VXQ_NET_SELECT_SOCKET_NUM && iSlot < 0; i++)
        if (inout_pEngine->pSocketTable[i] != NULL && !inout_pEngine->pSocketTable[i]->bInUse)
            iSlot = i;
    for (int i = 0; i < VXQ_NET_SELECT_SOCKET_NUM && iSlot < 0; i++)
        if (inout_pEngine->pSocketTable[i] == NULL)
            iSlot = i;
    if (iSlot < 0) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NET_SELECT_MC_AddSocketId not idle pos.", 2);
        return NULL;
    }
    _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *pWork = inout_pEngine->pSocketTable[iSlot];
    if (pWork == NULL) {
        pWork = (_VXQ_S_NET_SELECT_SOCKET_WORK_DATA *)calloc(1, sizeof(*pWork));
        if (pWork == NULL) {
            VXQ_F_LOG_SR_WriteLog("VXQ_F_NET_SELECT_MC_AddSocketId malloc fail.", 2);
            return NULL;
        }
        inout_pEngine->pSocketTable[iSlot] = pWork;
        if (iSlot >= inout_pEngine->iSlotEnd)
            inout_pEngine->iSlotEnd = iSlot + 1;
    }
    memset(pWork, 0, sizeof(*pWork));
    pWork->bInUse = 1;
    pWork->dwPortId = VXQ_F_NET_SELECT_PR_MakePortId(inout_pEngine, iSlot);
    pWork->iSocket = in_iSocket;
    pWork->iSocketType = in_iSocketType;
    pWork->bRecvFlag = in_bRecvFlag;
    pWork->bSendFlag = in_bSendFlag;
    return pWork;
}

void VXQ_F_NET_SELECT_MC_DelSocketWorkData(_VXQ_S_NET_SELECT_SOCKET_WORK_DATA *inout_pWork)
{
    if (inout_pWork == NULL)
        return;
    VXQ_F_NET_SELECT_SendQueue_Release(&inout_pWork->tSendQueue);
    memset(inout_pWork, 0, sizeof(*inout_pWork));
    inout_pWork->iSocket = -1;
}

void VXQ_F_NET_SELECT_MC_CloseSocketAndDelWorkData(_VXQ_S_NET_SELECT_SOCKET_WORK_DATA *inout_pWork)
{
    if (inout_pWork == NULL)
        return;
    if (inout_pWork->bInUse)
        VXQ_F_SYS_SOCKET_Close(inout_pWork->iSocket);
    VXQ_F_NET_SELECT_MC_DelSocketWorkData(inout_pWork);
}

/* Closes every socket and frees every record. */
static void VXQ_F_NET_SELECT_MC_ReleaseSocketTable(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine)
{
    for (int i = 0; i < VXQ_NET_SELECT_SOCKET_NUM; i++) {
        if (inout_pEngine->pSocketTable[i] == NULL)
            continue;
        VXQ_F_NET_SELECT_MC_CloseSocketAndDelWorkData(inout_pEngine->pSocketTable[i]);
        free(inout_pEngine->pSocketTable[i]);
        inout_pEngine->pSocketTable[i] = NULL;
    }
    inout_pEngine->iSlotEnd = 0;
}

int VXQ_F_NET_SELECT_SendDataToUpApp(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine, int32_t in_iEventType,
                                     uint16_t in_usNetType, uint16_t in_usLocalPort, uint32_t in_dwPortId,
                                     const char *in_pPeerIpaddr, uint16_t in_usPeerPort,
                                     uint32_t in_dwUserData, const char *in_pData, int32_t in_iDataLen)
{
    int32_t iDataLen = 0;
    if (in_iEventType == VXQ_NETCOM_EVENT_DATA)
        iDataLen = (in_pData != NULL && in_iDataLen > 0) ? in_iDataLen : 0;
    else if (in_iEventType == VXQ_NETCOM_EVENT_CONNECT_RESULT)
        iDataLen = VXQ_NETCOM_CONNECT_RESULT_SIZE;
    if (iDataLen > inout_pEngine->iUpBufSize - VXQ_NETCOM_DATA_HEAD_SIZE) {
        /* Only the engine delivers, and never more than its receive buffer. */
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NET_SELECT_SendDataToUpApp in_iDataLen error.", 2);
        return 0;
    }
    int32_t iRecordLen = VXQ_NETCOM_DATA_HEAD_SIZE + iDataLen;
    char *pRecord = inout_pEngine->pUpBuf;
    memset(pRecord, 0, (size_t)iRecordLen);
    _VXQ_S_NETCOM_DATA_HEAD tHead;
    memset(&tHead, 0, sizeof(tHead));
    tHead.iEventType = in_iEventType;
    tHead.usNetType = in_usNetType;
    tHead.usLocalPort = in_usLocalPort;
    tHead.dwPortId = in_dwPortId;
    if (in_pPeerIpaddr != NULL) {
        size_t nLen = strnlen(in_pPeerIpaddr, sizeof(tHead.szPeerIpaddr) - 1);
        memcpy(tHead.szPeerIpaddr, in_pPeerIpaddr, nLen);
    }
    tHead.usPeerPort = in_usPeerPort;
    tHead.dwUserData = in_dwUserData;
    tHead.iDataLen = iDataLen;
    memcpy(pRecord, &tHead, sizeof(tHead));
    if (in_iEventType == VXQ_NETCOM_EVENT_DATA && iDataLen > 0)
        memcpy(pRecord + VXQ_NETCOM_DATA_HEAD_SIZE, in_pData, (size_t)iDataLen);
    else if (in_iEventType == VXQ_NETCOM_EVENT_CONNECT_RESULT)
        memcpy(pRecord + VXQ_NETCOM_DATA_HEAD_SIZE + 4, s_ucConnectOkText, sizeof(s_ucConnectOkText));

    if (inout_pEngine->pfCallback != NULL)
        return inout_pEngine->pfCallback(inout_pEngine->pUser, pRecord, iRecordLen) ? 1 : 0;
    if (inout_pEngine->hRecvQueue != NULL) {
        if (!VXQ_F_TOOLS_QUEUE_SetData(inout_pEngine->hRecvQueue, pRecord, iRecordLen,
                                       VXQ_NET_SELECT_RECV_QUEUE_WAIT_MS)) {
            VXQ_F_LOG_SR_WriteLog("VXQ_F_NET_SELECT_SendDataToUpApp VXQ_F_TOOLS_QUEUE_SetData fail.", 2);
            return 0;
        }
        return 1;
    }
    VXQ_F_LOG_SR_WriteLog("VXQ_F_NET_SELECT_SendDataToUpApp error.", 2);
    return 0;
}

int VXQ_F_NET_SELECT_SendTcpConnCloseToUpApp(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine,
                                             _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *in_pWork)
{
    return VXQ_F_NET_SELECT_SendDataToUpApp(inout_pEngine, VXQ_NETCOM_EVENT_DISCONNECT, VXQ_NETCOM_NET_TCP,
                                            in_pWork->usLocalPort, in_pWork->dwPortId, in_pWork->szPeerIpaddr,
                                            in_pWork->usPeerPort, 0, NULL, 0);
}

/* Makes, binds and registers a listener; in_bUdp selects the kind. */
static int VXQ_F_NET_SELECT_PR_StartListen(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine, int in_bUdp,
                                           uint16_t *inout_pPort, uint32_t *out_pPortId)
{
    const char *sName = in_bUdp ? "VXQ_F_NET_SELECT_StartUdpListen" : "VXQ_F_NET_SELECT_StartTcpListen";
    char sText[160];
    if (inout_pEngine == NULL || inout_pPort == NULL || (in_bUdp && out_pPortId == NULL)) {
        if (inout_pPort == NULL)
            snprintf(sText, sizeof(sText), "%s %s error.", sName,
                     in_bUdp ? "inout_pUdpListenPort" : "inout_pTcpListenPort");
        else
            snprintf(sText, sizeof(sText), "%s out_pPortId error.", sName);
        VXQ_F_LOG_SR_WriteLog(sText, 2);
        return 0;
    }
    if (*inout_pPort != 0 &&
        VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByTcpListenPort(inout_pEngine, *inout_pPort)) {
        VXQ_F_NET_SELECT_PR_LogFail(sName, "VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByTcpListenPort");
        return 0;
    }
    if (in_bUdp && *inout_pPort != 0 &&
        VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByUdpListenPort(inout_pEngine, *inout_pPort)) {
        VXQ_F_NET_SELECT_PR_LogFail(sName, "VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByUdpListenPort");
        return 0;
    }
    int iSocket = VXQ_F_SYS_SOCKET_Create(in_bUdp);
    if (iSocket < 0) {
        VXQ_F_NET_SELECT_PR_LogFail(sName, "VXQ_F_SYS_SOCKET_Create");
        return 0;
    }
    const char *sFailed = NULL;
    uint16_t usPort = *inout_pPort;
    if (!in_bUdp)
        VXQ_F_SYS_SOCKET_SetBlockMode(iSocket, 0);
    if (!VXQ_F_SYS_SOCKET_Bind(iSocket, NULL, usPort))
        sFailed = "VXQ_F_SYS_SOCKET_Bind";
    else if (in_bUdp && !VXQ_F_SYS_SOCKET_SetBlockMode(iSocket, 0))
        sFailed = "VXQ_F_SYS_SOCKET_SetBlockMode";
    else if (usPort == 0 && !VXQ_F_SYS_SOCKET_GetSocketLocalAddr(iSocket, NULL, &usPort))
        sFailed = "VXQ_F_SYS_SOCKET_GetSocketLocalAddr";
    else if (!in_bUdp && !VXQ_F_SYS_SOCKET_Listen(iSocket))
        sFailed = "VXQ_F_SYS_SOCKET_Listen";
    _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *pWork = NULL;
    if (sFailed == NULL) {
        pWork = VXQ_F_NET_SELECT_MC_AddSocketId(
            inout_pEngine, iSocket, in_bUdp ? VXQ_NET_SELECT_UDP_LISTEN : VXQ_NET_SELECT_TCP_LISTEN, 1, 0);
        if (pWork == NULL)
            sFailed = "VXQ_F_NET_SELECT_MC_AddSocketId";
    }
    if (sFailed != NULL) {
        VXQ_F_NET_SELECT_PR_LogFail(sName, sFailed);
        VXQ_F_SYS_SOCKET_Close(iSocket);
        return 0;
    }
    pWork->usLocalPort = usPort;
    *inout_pPort = usPort;
    if (out_pPortId != NULL)
        *out_pPortId = pWork->dwPortId;
    return 1;
}

int VXQ_F_NET_SELECT_StartTcpListen(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine, uint16_t *inout_pPort,
                                    uint32_t *out_pPortId)
{
    return VXQ_F_NET_SELECT_PR_StartListen(inout_pEngine, 0, inout_pPort, out_pPortId);
}

int VXQ_F_NET_SELECT_StartUdpListen(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine, uint16_t *inout_pPort,
                                    uint32_t *out_pPortId)
{
    return VXQ_F_NET_SELECT_PR_StartListen(inout_pEngine, 1, inout_pPort, out_pPortId);
}

int VXQ_F_NET_SELECT_AddTcpConnect(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine, const char *in_pIpaddr,
                                   uint16_t in_usPort, uint32_t *out_pPortId)
{
    if (inout_pEngine == NULL || in_pIpaddr == NULL || in_usPort == 0) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NET_SELECT_AddTcpConnect in_pIpaddr or in_usPort error.", 2);
        return 0;
    }
    int iSocket = VXQ_F_SYS_SOCKET_Create(0);
    if (iSocket < 0) {
        VXQ_F_NET_SELECT_PR_LogFail("VXQ_F_NET_SELECT_AddTcpConnect", "VXQ_F_SYS_SOCKET_Create");
        return 0;
    }
    VXQ_F_SYS_SOCKET_SetBlockMode(iSocket, 0);
    const char *sFailed = NULL;
    _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *pWork = NULL;
    if (!VXQ_F_SYS_SOCKET_StartConnect(iSocket, in_pIpaddr, in_usPort))
        sFailed = "VXQ_F_SYS_SOCKET_StartConnect";
    else if ((pWork = VXQ_F_NET_SELECT_MC_AddSocketId(inout_pEngine, iSocket, VXQ_NET_SELECT_TCP_CLIENT, 0,
                                                      1)) == NULL)
        sFailed = "VXQ_F_NET_SELECT_MC_AddSocketId";
    if (sFailed != NULL) {
        VXQ_F_NET_SELECT_PR_LogFail("VXQ_F_NET_SELECT_AddTcpConnect", sFailed);
        VXQ_F_SYS_SOCKET_Close(iSocket);
        return 0;
    }
    VXQ_F_NET_SELECT_PR_CopyIpaddr(pWork->szPeerIpaddr, in_pIpaddr);
    pWork->usPeerPort = in_usPort;
    if (out_pPortId != NULL)
        *out_pPortId = pWork->dwPortId;
    return 1;
}

/* Accepts one connection of a listener and announces it with CONNECT. 0 when
 * none was waiting (or accept failed), else 1. */
static int VXQ_F_NET_SELECT_DoTcpListenReadEvent(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine,
                                                 _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *in_pListen)
{
    char sPeer[16] = {0};
    uint16_t usPeerPort = 0;
    int iSocket = VXQ_F_SYS_SOCKET_Accept(in_pListen->iSocket, sPeer, &usPeerPort);
    if (iSocket < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            VXQ_F_NET_SELECT_PR_LogFail("VXQ_F_NET_SELECT_DoTcpListenReadEvent", "VXQ_F_SYS_SOCKET_Accept");
        return 0;
    }
    VXQ_F_SYS_SOCKET_SetBlockMode(iSocket, 0);
    _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *pWork =
        VXQ_F_NET_SELECT_MC_AddSocketId(inout_pEngine, iSocket, VXQ_NET_SELECT_TCP_CONNECT, 1, 0);
    if (pWork == NULL) {
        /* Table full or descriptor out of select's range: refuse at once. */
        VXQ_F_NET_SELECT_PR_LogFail("VXQ_F_NET_SELECT_DoTcpListenReadEvent",
                                    "VXQ_F_NET_SELECT_MC_AddSocketId");
        VXQ_F_SYS_SOCKET_Close(iSocket);
        return 1;
    }
    pWork->usLocalPort = in_pListen->usLocalPort;
    VXQ_F_NET_SELECT_PR_CopyIpaddr(pWork->szPeerIpaddr, sPeer);
    pWork->usPeerPort = usPeerPort;
    if (!VXQ_F_NET_SELECT_SendDataToUpApp(inout_pEngine, VXQ_NETCOM_EVENT_CONNECT, VXQ_NETCOM_NET_TCP,
                                          pWork->usLocalPort, pWork->dwPortId, pWork->szPeerIpaddr,
                                          pWork->usPeerPort, 0, NULL, 0)) {
        VXQ_F_NET_SELECT_PR_LogFail("VXQ_F_NET_SELECT_DoTcpListenReadEvent",
                                    "VXQ_F_NET_SELECT_SendDataToUpApp");
        VXQ_F_NET_SELECT_MC_CloseSocketAndDelWorkData(pWork);
    }
    return 1;
}

/* Receives one datagram and delivers it as DATA of net type UDP. */
static void VXQ_F_NET_SELECT_DoUdpListenReadEvent(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine,
                                                  _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *inout_pWork)
{
    int iLen = inout_pEngine->iRecvBufSize;
    char sPeer[16] = {0};
    uint16_t usPeerPort = 0;
    if (!VXQ_F_SYS_SOCKET_RecvFrom(inout_pWork->iSocket, inout_pEngine->pRecvBuf, &iLen, sPeer, &usPeerPort,
                                   NULL, 0))
        return;
    inout_pEngine->iRecvLen = iLen;
    VXQ_F_NET_SELECT_PR_CopyIpaddr(inout_pWork->szPeerIpaddr, sPeer);
    inout_pWork->usPeerPort = usPeerPort;
    uint32_t dwSeq = inout_pWork->dwDataSeq++;
    if (!VXQ_F_NET_SELECT_SendDataToUpApp(inout_pEngine, VXQ_NETCOM_EVENT_DATA, VXQ_NETCOM_NET_UDP,
                                          inout_pWork->usLocalPort, inout_pWork->dwPortId, sPeer, usPeerPort,
                                          dwSeq, inout_pEngine->pRecvBuf, iLen))
        VXQ_F_NET_SELECT_PR_LogFail("VXQ_F_NET_SELECT_DoUdpListenReadEvent",
                                    "VXQ_F_NET_SELECT_SendDataToUpApp");
}

/* Receives up to the buffer size from a connection: DATA, or DISCONNECT
 * (repeated on every pass until the upper layer closes the port id). */
static void VXQ_F_NET_SELECT_DoTcpConnectReadEvent(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine,
                                                   _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *inout_pWork)
{
    int iLen = inout_pEngine->iRecvBufSize;
    int iState = -1;
    char sErr[128] = {0};
    if (VXQ_F_SYS_SOCKET_Recv(inout_pWork->iSocket, inout_pEngine->pRecvBuf, &iLen, &iState, sErr,
                              sizeof(sErr))) {
        inout_pEngine->iRecvLen = iLen;
        uint32_t dwSeq = inout_pWork->dwDataSeq++;
        if (!VXQ_F_NET_SELECT_SendDataToUpApp(inout_pEngine, VXQ_NETCOM_EVENT_DATA, VXQ_NETCOM_NET_TCP,
                                              inout_pWork->usLocalPort, inout_pWork->dwPortId,
                                              inout_pWork->szPeerIpaddr, inout_pWork->usPeerPort, dwSeq,
                                              inout_pEngine->pRecvBuf, iLen))
            VXQ_F_NET_SELECT_PR_LogFail("VXQ_F_NET_SELECT_DoTcpConnectReadEvent",
                                        "VXQ_F_NET_SELECT_SendDataToUpApp");
        return;
    }
    if (iState == 1)
        return;
    /* Said before the record goes up, so the line comes before whatever a
     * sink that handles the record at once logs about the connection. */
    if (iState == 0) {
        VXQ_F_LOG_SR_ShowInfo("TCP connect peer close");
    } else {
        char sText[220];
        snprintf(sText, sizeof(sText),
                 "VXQ_F_NET_SELECT_DoTcpConnectReadEvent VXQ_F_SYS_SOCKET_Recv fail, fail info: %s.", sErr);
        VXQ_F_LOG_SR_ShowInfo(sText);
    }
    if (!VXQ_F_NET_SELECT_SendTcpConnCloseToUpApp(inout_pEngine, inout_pWork))
        VXQ_F_NET_SELECT_PR_LogFail("VXQ_F_NET_SELECT_DoTcpConnectReadEvent", "VXQ_F_NET_SELECT_SendTcpConnCloseToUpApp");
}

/* An outgoing connection became writable: set up (CONNECT_RESULT) or failed
 * (DISCONNECT, repeated each pass until the upper layer closes it). */
static void VXQ_F_NET_SELECT_DoTcpClientWriteEvent(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine,
                                                   _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *inout_pWork)
{
    if (!inout_pWork->bFailed && VXQ_F_SYS_SOCKET_CheckConnectResult(inout_pWork->iSocket, 0) != 0)
        inout_pWork->bFailed = 1;
    if (inout_pWork->bFailed) {
        if (!VXQ_F_NET_SELECT_SendTcpConnCloseToUpApp(inout_pEngine, inout_pWork))
            VXQ_F_NET_SELECT_PR_LogFail("VXQ_F_NET_SELECT_DoTcpClientWriteEvent",
                                        "VXQ_F_NET_SELECT_SendTcpConnCloseToUpApp");
        return;
    }
    inout_pWork->iSocketType = VXQ_NET_SELECT_TCP_CONNECT;
    inout_pWork->bRecvFlag = 1;
    inout_pWork->bSendFlag = 0;
    VXQ_F_SYS_SOCKET_GetSocketLocalAddr(inout_pWork->iSocket, NULL, &inout_pWork->usLocalPort);
    if (!VXQ_F_NET_SELECT_SendDataToUpApp(inout_pEngine, VXQ_NETCOM_EVENT_CONNECT_RESULT, VXQ_NETCOM_NET_TCP,
                                          inout_pWork->usLocalPort, inout_pWork->dwPortId,
                                          inout_pWork->szPeerIpaddr, inout_pWork->usPeerPort, 0, NULL, 0)) {
        VXQ_F_NET_SELECT_PR_LogFail("VXQ_F_NET_SELECT_DoTcpClientWriteEvent",
                                    "VXQ_F_NET_SELECT_SendDataToUpApp");
        VXQ_F_NET_SELECT_MC_CloseSocketAndDelWorkData(inout_pWork);
    }
}

/* Error set: listeners stay (logged), connections end with DISCONNECT (none
 * for one being closed after send) and are closed. */
static void VXQ_F_NET_SELECT_DoSocketErrorEvent(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine,
                                                _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *inout_pWork)
{
    if (inout_pWork->bClosing) {
        VXQ_F_NET_SELECT_MC_CloseSocketAndDelWorkData(inout_pWork);
    } else if (inout_pWork->iSocketType == VXQ_NET_SELECT_TCP_LISTEN) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NET_SELECT_DoSocketErrorEvent TCP_LISTEN socket error.", 2);
    } else if (inout_pWork->iSocketType == VXQ_NET_SELECT_UDP_LISTEN) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NET_SELECT_DoSocketErrorEvent UDP_LISTEN socket error.", 2);
    } else {
        VXQ_F_NET_SELECT_SendTcpConnCloseToUpApp(inout_pEngine, inout_pWork);
        VXQ_F_NET_SELECT_MC_CloseSocketAndDelWorkData(inout_pWork);
    }
}

/* Close after send ------------------------------------------------------------ */

/* Moves a closing socket on after its events: a broken connection is closed; an
 * empty queue has the write side shut (the peer sees the end of the stream
 * after the last queued byte), and once the peer has closed too, the socket. */
static void VXQ_F_NET_SELECT_PR_StepClosing(_VXQ_S_NET_SELECT_SOCKET_WORK_DATA *inout_pWork)
{
    if (inout_pWork->bFailed) {
        VXQ_F_NET_SELECT_MC_CloseSocketAndDelWorkData(inout_pWork);
        return;
    }
    if (inout_pWork->tSendQueue.pHead != NULL)
        return;
    if (!inout_pWork->bWriteShut) {
        VXQ_F_SOCKOS_Get()->fnShutdown(inout_pWork->iSocket, SHUT_WR);
        inout_pWork->bWriteShut = 1;
    }
    if (inout_pWork->bPeerDone)
        VXQ_F_NET_SELECT_MC_CloseSocketAndDelWorkData(inout_pWork);
}

/* Read event of a closing socket: what the peer still sends is discarded, so
 * unread input cannot turn the close into a reset that would cut off what is
 * still queued. The end of its stream (or an error) ends the reading. */
static void VXQ_F_NET_SELECT_PR_ReadClosing(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine,
                                            _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *inout_pWork)
{
    int iLen = inout_pEngine->iRecvBufSize;
    int iState = -1;
    if (VXQ_F_SYS_SOCKET_Recv(inout_pWork->iSocket, inout_pEngine->pRecvBuf, &iLen, &iState, NULL, 0) ||
        iState == 1)
        return;
    inout_pWork->bPeerDone = 1;
    inout_pWork->bRecvFlag = 0;
    if (iState != 0)
        inout_pWork->bFailed = 1; /* reset or error: nothing more can be delivered */
}

int VXQ_F_NET_SELECT_CloseTcpConnectAfterSend(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine,
                                              uint32_t in_dwPortId, int32_t in_iBoundMs)
{
    _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *pWork =
        VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByPortId(inout_pEngine, in_dwPortId);
    if (pWork == NULL)
        return 0;
    if (pWork->iSocketType != VXQ_NET_SELECT_TCP_CONNECT) {
        VXQ_F_NET_SELECT_MC_CloseSocketAndDelWorkData(pWork);
        return 1;
    }
    pWork->bClosing = 1;
    pWork->bRecvFlag = 1; /* read on, even where the caller had paused reading, to discard */
    pWork->dwCloseDueMs = VXQ_F_CLOCK_TickMs() + (uint32_t)(in_iBoundMs > 0 ? in_iBoundMs : 0);
    VXQ_F_NET_SELECT_PR_StepClosing(pWork);
    return 1;
}

/* Rebuilds the three sets from the table; returns the number of sockets watched. */
static int32_t VXQ_F_NET_SELECT_GetSelectTable(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine)
{
    FD_ZERO(&inout_pEngine->tReadSet);
    FD_ZERO(&inout_pEngine->tWriteSet);
    FD_ZERO(&inout_pEngine->tErrorSet);
    inout_pEngine->bNeedRead = 0;
    inout_pEngine->bNeedWrite = 0;
    inout_pEngine->iMaxSocket = -1;
    inout_pEngine->iSocketNum = 0;
    uint32_t dwNow = 0;
    int bNowRead = 0;
    for (int i = 0; i < inout_pEngine->iSlotEnd; i++) {
        _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *pWork = inout_pEngine->pSocketTable[i];
        if (pWork == NULL || !pWork->bInUse || pWork->iSocket < 0 || pWork->iSocket >= FD_SETSIZE)
            continue;
        pWork->bPolled = 0;
        if (pWork->bClosing) {
            if (!bNowRead) {
                dwNow = VXQ_F_CLOCK_TickMs();
                bNowRead = 1;
            }
            if ((int32_t)(dwNow - pWork->dwCloseDueMs) >= 0) {
                VXQ_F_NET_SELECT_MC_CloseSocketAndDelWorkData(pWork);
                continue;
            }
        }
        if (pWork->bRecvFlag) {
            FD_SET(pWork->iSocket, &inout_pEngine->tReadSet);
            inout_pEngine->bNeedRead = 1;
        }
        if (pWork->bSendFlag) {
            FD_SET(pWork->iSocket, &inout_pEngine->tWriteSet);
            inout_pEngine->bNeedWrite = 1;
        }
        FD_SET(pWork->iSocket, &inout_pEngine->tErrorSet);
        pWork->bPolled = 1;
        if (pWork->iSocket > inout_pEngine->iMaxSocket)
            inout_pEngine->iMaxSocket = pWork->iSocket;
        inout_pEngine->iSocketNum++;
    }
    if (inout_pEngine->iSocketNum > 0 && inout_pEngine->iWakeRead >= 0 &&
        inout_pEngine->iWakeRead < FD_SETSIZE) {
        FD_SET(inout_pEngine->iWakeRead, &inout_pEngine->tReadSet);
        inout_pEngine->bNeedRead = 1;
        if (inout_pEngine->iWakeRead > inout_pEngine->iMaxSocket)
            inout_pEngine->iMaxSocket = inout_pEngine->iWakeRead;
    }
    return inout_pEngine->iSocketNum;
}

void VXQ_F_NET_SELECT_MC_DoEvent(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine, int32_t in_iTimeoutMs)
{
    if (in_iTimeoutMs < 0)
        in_iTimeoutMs = 0;
    if (VXQ_F_NET_SELECT_GetSelectTable(inout_pEngine) == 0) {
        if (inout_pEngine->bOwnThread)
            VXQ_F_THREAD_Mutex_Unlock(inout_pEngine->hLock);
        VXQ_F_SYS_Sleep((uint32_t)in_iTimeoutMs);
        if (inout_pEngine->bOwnThread)
            VXQ_F_THREAD_Mutex_Lock(inout_pEngine->hLock);
        return;
    }
    struct timeval tTimeout;
    tTimeout.tv_sec = in_iTimeoutMs / 1000;
    tTimeout.tv_usec = (in_iTimeoutMs % 1000) * 1000;
    if (inout_pEngine->bOwnThread)
        VXQ_F_THREAD_Mutex_Unlock(inout_pEngine->hLock);
    int iResult = VXQ_F_SOCKOS_Get()->fnSelect(
        inout_pEngine->iMaxSocket + 1, inout_pEngine->bNeedRead ? &inout_pEngine->tReadSet : NULL,
        inout_pEngine->bNeedWrite ? &inout_pEngine->tWriteSet : NULL, &inout_pEngine->tErrorSet, &tTimeout);
    if (iResult < 0)
        VXQ_F_SYS_Sleep(20);
    if (inout_pEngine->bOwnThread)
        VXQ_F_THREAD_Mutex_Lock(inout_pEngine->hLock);
    if (iResult <= 0)
        return;
    if (inout_pEngine->bNeedRead && inout_pEngine->iWakeRead >= 0 &&
        FD_ISSET(inout_pEngine->iWakeRead, &inout_pEngine->tReadSet)) {
        /* Drained before the flag is cleared: a wake-up that lands during the
         * drain finds the flag still set and writes nothing, and what it
         * announced (an order already queued) is taken after this pass. Cleared
         * first, its byte could be drained with the flag left set, and no
         * later wake-up would ever write again. */
        char aDrain[64];
        while (read(inout_pEngine->iWakeRead, aDrain, sizeof(aDrain)) > 0) {
        }
        inout_pEngine->bWakePending.store(0);
    }
    /* A sink may close sockets and the accepts of this pass may reuse their
     * descriptors and slots: the sets speak only of the records they were
     * built from (bPolled), never of a socket opened since. */
    for (int i = 0; i < inout_pEngine->iSlotEnd; i++) {
        _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *pWork = inout_pEngine->pSocketTable[i];
        if (pWork == NULL || !pWork->bInUse || !pWork->bPolled || pWork->iSocket < 0 || pWork->iSocket >= FD_SETSIZE)
            continue;
        int iSocket = pWork->iSocket;
        if (FD_ISSET(iSocket, &inout_pEngine->tErrorSet)) {
            VXQ_F_NET_SELECT_DoSocketErrorEvent(inout_pEngine, pWork);
            if (!pWork->bInUse)
                continue;
        }
        if (pWork->bRecvFlag && inout_pEngine->bNeedRead && FD_ISSET(iSocket, &inout_pEngine->tReadSet)) {
            if (pWork->bClosing) {
                VXQ_F_NET_SELECT_PR_ReadClosing(inout_pEngine, pWork);
            } else if (pWork->iSocketType == VXQ_NET_SELECT_TCP_LISTEN) {
                /* A few per pass, so a queue of waiting connections drains at
                 * more than one per pass; the rest wait in the kernel. */
                for (int n = 0; n < VXQ_NET_SELECT_ACCEPT_PER_PASS && pWork->bInUse; n++) {
                    if (!VXQ_F_NET_SELECT_DoTcpListenReadEvent(inout_pEngine, pWork))
                        break;
                }
            } else if (pWork->iSocketType == VXQ_NET_SELECT_UDP_LISTEN)
                VXQ_F_NET_SELECT_DoUdpListenReadEvent(inout_pEngine, pWork);
            else if (pWork->iSocketType == VXQ_NET_SELECT_TCP_CONNECT)
                VXQ_F_NET_SELECT_DoTcpConnectReadEvent(inout_pEngine, pWork);
        }
        if (pWork->bInUse && pWork->iSocket == iSocket && pWork->bSendFlag && inout_pEngine->bNeedWrite &&
            FD_ISSET(iSocket, &inout_pEngine->tWriteSet)) {
            if (pWork->iSocketType == VXQ_NET_SELECT_TCP_CLIENT)
                VXQ_F_NET_SELECT_DoTcpClientWriteEvent(inout_pEngine, pWork);
            else if (pWork->iSocketType == VXQ_NET_SELECT_TCP_CONNECT)
                VXQ_F_NET_SELECT_DoTcpWriteEvent(inout_pEngine, pWork);
            else if (pWork->iSocketType == VXQ_NET_SELECT_UDP_LISTEN)
                VXQ_F_NET_SELECT_DoUdpWriteEvent(inout_pEngine, pWork);
        }
        if (pWork->bInUse && pWork->iSocket == iSocket && pWork->bClosing)
            VXQ_F_NET_SELECT_PR_StepClosing(pWork);
    }
}

/* The engine thread: passes of 20 ms under the lock until the run flag drops. */
static void VXQ_F_NET_SELECT_MC_ThreadWork(void *in_pArg)
{
    _VXQ_S_NET_SELECT_MCSERVER_DATA *pEngine = (_VXQ_S_NET_SELECT_MCSERVER_DATA *)in_pArg;
    while (pEngine->bThreadRun.load()) {
        VXQ_F_THREAD_Mutex_Lock(pEngine->hLock);
        VXQ_F_NET_SELECT_MC_DoEvent(pEngine, 20);
        VXQ_F_THREAD_Mutex_Unlock(pEngine->hLock);
    }
}

/* Frees buffers, sockets, queue and lock; safe on a partly started engine. */
static void VXQ_F_NET_SELECT_MC_UninitData(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine)
{
    free(inout_pEngine->pRecvBuf);
    inout_pEngine->pRecvBuf = NULL;
    free(inout_pEngine->pUpBuf);
    inout_pEngine->pUpBuf = NULL;
    VXQ_F_NET_SELECT_MC_ReleaseSocketTable(inout_pEngine);
    if (inout_pEngine->iWakeRead >= 0)
        close(inout_pEngine->iWakeRead);
    if (inout_pEngine->iWakeWrite >= 0)
        close(inout_pEngine->iWakeWrite);
    inout_pEngine->iWakeRead = -1;
    inout_pEngine->iWakeWrite = -1;
    if (inout_pEngine->hRecvQueue != NULL)
        VXQ_F_TOOLS_QUEUE_FreeQueue(&inout_pEngine->hRecvQueue);
    if (inout_pEngine->hLock != NULL) {
        VXQ_F_THREAD_Mutex_Destroy(inout_pEngine->hLock);
        inout_pEngine->hLock = NULL;
    }
}

/* Receive and delivery buffers; the record queue when there is no sink; the lock in own-thread mode. */
static int VXQ_F_NET_SELECT_MC_InitData(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine)
{
    inout_pEngine->iWakeRead = -1;
    inout_pEngine->iWakeWrite = -1;
    inout_pEngine->bWakePending.store(0);
    int aWake[2];
    if (pipe(aWake) != 0) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NET_SELECT_MC_InitData pipe fail.", 2);
        return 0;
    }
    inout_pEngine->iWakeRead = aWake[0];
    inout_pEngine->iWakeWrite = aWake[1];
    fcntl(aWake[0], F_SETFL, fcntl(aWake[0], F_GETFL) | O_NONBLOCK);
    fcntl(aWake[1], F_SETFL, fcntl(aWake[1], F_GETFL) | O_NONBLOCK);
    inout_pEngine->iRecvBufSize = VXQ_NET_SELECT_RECV_BUF_SIZE;
    inout_pEngine->pRecvBuf = (char *)malloc(VXQ_NET_SELECT_RECV_BUF_SIZE);
    inout_pEngine->iUpBufSize = VXQ_NETCOM_DATA_HEAD_SIZE + VXQ_NET_SELECT_RECV_BUF_SIZE;
    inout_pEngine->pUpBuf = (char *)malloc((size_t)inout_pEngine->iUpBufSize);
    if (inout_pEngine->pRecvBuf == NULL || inout_pEngine->pUpBuf == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NET_SELECT_MC_InitData malloc fail.", 2);
        return 0;
    }
    for (int i = 0; i < VXQ_NET_SELECT_SOCKET_NUM; i++)
        inout_pEngine->dwLastPortId[i] = 0;
    if (inout_pEngine->pfCallback == NULL &&
        !VXQ_F_TOOLS_QUEUE_InitQueue(&inout_pEngine->hRecvQueue, VXQ_NET_SELECT_RECV_QUEUE_SIZE)) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NET_SELECT_MC_InitData VXQ_F_TOOLS_QUEUE_InitQueue fail.", 2);
        return 0;
    }
    if (inout_pEngine->bOwnThread && (inout_pEngine->hLock = VXQ_F_THREAD_Mutex_Create()) == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NET_SELECT_MC_InitData VXQ_F_THREAD_Mutex_Create fail.", 2);
        return 0;
    }
    return 1;
}

int VXQ_F_NET_SELECT_MC_StartServer(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine, int32_t in_bWithThread)
{
    if (inout_pEngine == NULL)
        return 0;
    inout_pEngine->bOwnThread = in_bWithThread ? 1 : 0;
    const char *sFailed = NULL;
    if (!VXQ_F_NET_SELECT_MC_InitData(inout_pEngine))
        sFailed = "VXQ_F_NET_SELECT_MC_InitData";
    else if (!VXQ_F_SYS_SOCKET_InitSocketLib())
        sFailed = "VXQ_F_SYS_SOCKET_InitSocketLib";
    else if (in_bWithThread) {
        inout_pEngine->bThreadRun.store(1);
        inout_pEngine->hThread = VXQ_F_THREAD_CreateThread(VXQ_F_NET_SELECT_MC_ThreadWork, inout_pEngine);
        if (inout_pEngine->hThread == NULL) {
            inout_pEngine->bThreadRun.store(0);
            sFailed = "VXQ_F_NET_SELECT_MC_StartThread";
        }
    }
    if (sFailed != NULL) {
        VXQ_F_NET_SELECT_PR_LogFail("VXQ_F_NET_SELECT_MC_StartServer", sFailed);
        VXQ_F_NET_SELECT_MC_StopServer(inout_pEngine);
        return 0;
    }
    return 1;
}

void VXQ_F_NET_SELECT_MC_StopServer(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine)
{
    if (inout_pEngine == NULL)
        return;
    if (inout_pEngine->hThread != NULL) {
        inout_pEngine->bThreadRun.store(0);
        VXQ_F_THREAD_WaitExitThread(inout_pEngine->hThread, 5000);
        inout_pEngine->hThread = NULL;
    }
    VXQ_F_NET_SELECT_MC_UninitData(inout_pEngine);
}
