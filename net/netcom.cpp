/* The exported NETCOM facade: engine life, sockets, sends, queue control and record taking. */
#include "vxq_netcom.h"

#include "net/selengine.h"
#include "vxq_log.h"
#include "vxq_sockwrap.h"
#include "vxq_syshelp.h"

#include <new>
#include <stddef.h>
#include <stdio.h>
#include <unistd.h>

static_assert(sizeof(_VXQ_S_NETCOM_DATA_HEAD) == VXQ_NETCOM_DATA_HEAD_SIZE, "upward head is 64 bytes");
static_assert(offsetof(_VXQ_S_NETCOM_DATA_HEAD, iEventType) == 0, "iEventType at 0");
static_assert(offsetof(_VXQ_S_NETCOM_DATA_HEAD, usNetType) == 4, "usNetType at 4");
static_assert(offsetof(_VXQ_S_NETCOM_DATA_HEAD, usLocalPort) == 6, "usLocalPort at 6");
static_assert(offsetof(_VXQ_S_NETCOM_DATA_HEAD, dwPortId) == 8, "dwPortId at 8");
static_assert(offsetof(_VXQ_S_NETCOM_DATA_HEAD, szPeerIpaddr) == 12, "szPeerIpaddr at 12");
static_assert(offsetof(_VXQ_S_NETCOM_DATA_HEAD, usPeerPort) == 52, "usPeerPort at 52");
static_assert(offsetof(_VXQ_S_NETCOM_DATA_HEAD, usReserved) == 54, "usReserved at 54");
static_assert(offsetof(_VXQ_S_NETCOM_DATA_HEAD, dwUserData) == 56, "dwUserData at 56");
static_assert(offsetof(_VXQ_S_NETCOM_DATA_HEAD, iDataLen) == 60, "iDataLen at 60");

/* Holds the engine lock for one facade call (own-thread mode only). */
static void VXQ_F_NETCOM_PR_Lock(VXQ_HNETSRV in_hNetSrv)
{
    if (in_hNetSrv->bOwnThread)
        VXQ_F_THREAD_Mutex_Lock(in_hNetSrv->hLock);
}

static void VXQ_F_NETCOM_PR_Unlock(VXQ_HNETSRV in_hNetSrv)
{
    if (in_hNetSrv->bOwnThread)
        VXQ_F_THREAD_Mutex_Unlock(in_hNetSrv->hLock);
}

/* Allocates a zeroed engine and starts it; null (logged with in_sName's texts) on failure. */
static VXQ_HNETSRV VXQ_F_NETCOM_PR_Start(const char *in_sName, int32_t in_bWithThread,
                                         VXQ_PF_NETCOM_CALLBACK in_pfCallback, void *in_pUser)
{
    char sText[160];
    _VXQ_S_NET_SELECT_MCSERVER_DATA *pEngine = new (std::nothrow) _VXQ_S_NET_SELECT_MCSERVER_DATA();
    if (pEngine == NULL) {
        snprintf(sText, sizeof(sText), "%s malloc fail.", in_sName);
        VXQ_F_LOG_SR_WriteLog(sText, 2);
        return NULL;
    }
    pEngine->pfCallback = in_pfCallback;
    pEngine->pUser = in_pUser;
    if (!VXQ_F_NET_SELECT_MC_StartServer(pEngine, in_bWithThread)) {
        snprintf(sText, sizeof(sText), "%s VXQ_F_NET_SELECT_MC_StartServer fail.", in_sName);
        VXQ_F_LOG_SR_WriteLog(sText, 2);
        delete pEngine;
        return NULL;
    }
    return pEngine;
}

extern "C" VXQ_HNETSRV VXQ_F_NETCOM_StartNetServer(int32_t in_iReserved1, int32_t in_iReserved2,
                                                   VXQ_PF_NETCOM_CALLBACK in_pfCallback, void *in_pUser)
{
    (void)in_iReserved1;
    (void)in_iReserved2;
    return VXQ_F_NETCOM_PR_Start("VXQ_F_NETCOM_StartNetServer", 1, in_pfCallback, in_pUser);
}

extern "C" VXQ_HNETSRV VXQ_F_NETCOM_StartNetServerByNoThread(VXQ_PF_NETCOM_CALLBACK in_pfCallback, void *in_pUser)
{
    return VXQ_F_NETCOM_PR_Start("VXQ_F_NETCOM_StartNetServerByNoThread", 0, in_pfCallback, in_pUser);
}

extern "C" int VXQ_F_NETCOM_DoNetEvent(VXQ_HNETSRV in_hNetSrv, int32_t in_iTimeoutMs)
{
    if (in_hNetSrv == NULL || in_hNetSrv->bOwnThread || in_hNetSrv->bInPass)
        return 0;
    in_hNetSrv->bInPass = 1;
    VXQ_F_NET_SELECT_MC_DoEvent(in_hNetSrv, in_iTimeoutMs);
    in_hNetSrv->bInPass = 0;
    return 1;
}

extern "C" int VXQ_F_NETCOM_WakeUp(VXQ_HNETSRV in_hNetSrv)
{
    if (in_hNetSrv == NULL)
        return 0;
    /* No lock: any thread, also while a pass waits. One byte per wait is enough. */
    if (in_hNetSrv->iWakeWrite >= 0 && in_hNetSrv->bWakePending.exchange(1) == 0) {
        char cByte = 1;
        if (write(in_hNetSrv->iWakeWrite, &cByte, 1) != 1)
            in_hNetSrv->bWakePending.store(0);
    }
    return 1;
}

extern "C" int VXQ_F_NETCOM_CloseNetServer(VXQ_HNETSRV in_hNetSrv)
{
    if (in_hNetSrv == NULL)
        return 0;
    VXQ_F_NET_SELECT_MC_StopServer(in_hNetSrv);
    delete in_hNetSrv;
    return 1;
}

extern "C" int VXQ_F_NETCOM_SetMaxSendBufferSize(VXQ_HNETSRV in_hNetSrv, int32_t in_iBytes)
{
    if (in_hNetSrv == NULL)
        return 0;
    VXQ_F_NETCOM_PR_Lock(in_hNetSrv);
    in_hNetSrv->iMaxSendBufSize = in_iBytes;
    VXQ_F_NETCOM_PR_Unlock(in_hNetSrv);
    return 1;
}

extern "C" int32_t VXQ_F_NETCOM_GetMaxSendBufferSize(VXQ_HNETSRV in_hNetSrv)
{
    if (in_hNetSrv == NULL)
        return 0;
    VXQ_F_NETCOM_PR_Lock(in_hNetSrv);
    int32_t iBytes = in_hNetSrv->iMaxSendBufSize;
    VXQ_F_NETCOM_PR_Unlock(in_hNetSrv);
    return iBytes;
}

extern "C" int VXQ_F_NETCOM_SetSendCompleteNotify(VXQ_HNETSRV in_hNetSrv, int32_t in_bNotify)
{
    (void)in_bNotify;
    return in_hNetSrv != NULL ? 1 : 0;
}

extern "C" int VXQ_F_NETCOM_GetSendCompleteNotify(VXQ_HNETSRV in_hNetSrv)
{
    return in_hNetSrv != NULL ? 1 : 0;
}

extern "C" int VXQ_F_NETCOM_StartTcpListen(VXQ_HNETSRV in_hNetSrv, uint16_t *inout_pPort, uint32_t *out_pPortId)
{
    if (in_hNetSrv == NULL)
        return 0;
    VXQ_F_NETCOM_PR_Lock(in_hNetSrv);
    int iResult = VXQ_F_NET_SELECT_StartTcpListen(in_hNetSrv, inout_pPort, out_pPortId);
    VXQ_F_NETCOM_PR_Unlock(in_hNetSrv);
    return iResult;
}

extern "C" int VXQ_F_NETCOM_StartUdpListen(VXQ_HNETSRV in_hNetSrv, uint16_t *inout_pPort, uint32_t *out_pPortId)
{
    if (in_hNetSrv == NULL)
        return 0;
    VXQ_F_NETCOM_PR_Lock(in_hNetSrv);
    int iResult = VXQ_F_NET_SELECT_StartUdpListen(in_hNetSrv, inout_pPort, out_pPortId);
    VXQ_F_NETCOM_PR_Unlock(in_hNetSrv);
    return iResult;
}

/* Closes the socket found by in_pWork (null = none); 1 when one was closed. */
static int VXQ_F_NETCOM_PR_CloseFound(_VXQ_S_NET_SELECT_SOCKET_WORK_DATA *inout_pWork)
{
    if (inout_pWork == NULL)
        return 0;
    VXQ_F_NET_SELECT_MC_CloseSocketAndDelWorkData(inout_pWork);
    return 1;
}

extern "C" int VXQ_F_NETCOM_CloseTcpListen(VXQ_HNETSRV in_hNetSrv, uint16_t in_usPort)
{
    if (in_hNetSrv == NULL)
        return 0;
    VXQ_F_NETCOM_PR_Lock(in_hNetSrv);
    int iResult =
        VXQ_F_NETCOM_PR_CloseFound(VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByTcpListenPort(in_hNetSrv, in_usPort));
    VXQ_F_NETCOM_PR_Unlock(in_hNetSrv);
    return iResult;
}

extern "C" int VXQ_F_NETCOM_CloseUdpListen(VXQ_HNETSRV in_hNetSrv, uint16_t in_usPort)
{
    if (in_hNetSrv == NULL)
        return 0;
    VXQ_F_NETCOM_PR_Lock(in_hNetSrv);
    int iResult =
        VXQ_F_NETCOM_PR_CloseFound(VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByUdpListenPort(in_hNetSrv, in_usPort));
    VXQ_F_NETCOM_PR_Unlock(in_hNetSrv);
    return iResult;
}

/* Closes whatever socket holds in_dwPortId. */
static int VXQ_F_NETCOM_PR_CloseByPortId(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId)
{
    if (in_hNetSrv == NULL)
        return 0;
    VXQ_F_NETCOM_PR_Lock(in_hNetSrv);
    int iResult =
        VXQ_F_NETCOM_PR_CloseFound(VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByPortId(in_hNetSrv, in_dwPortId));
    VXQ_F_NETCOM_PR_Unlock(in_hNetSrv);
    return iResult;
}

extern "C" int VXQ_F_NETCOM_CloseTcpListenByPortId(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId)
{
    return VXQ_F_NETCOM_PR_CloseByPortId(in_hNetSrv, in_dwPortId);
}

extern "C" int VXQ_F_NETCOM_CloseUdpListenByPortId(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId)
{
    return VXQ_F_NETCOM_PR_CloseByPortId(in_hNetSrv, in_dwPortId);
}

extern "C" int VXQ_F_NETCOM_CloseTcpConnect(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId)
{
    return VXQ_F_NETCOM_PR_CloseByPortId(in_hNetSrv, in_dwPortId);
}

int VXQ_F_NETCOM_CloseTcpConnectAfterSend(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId, int32_t in_iBoundMs)
{
    if (in_hNetSrv == NULL)
        return 0;
    VXQ_F_NETCOM_PR_Lock(in_hNetSrv);
    int iResult = VXQ_F_NET_SELECT_CloseTcpConnectAfterSend(in_hNetSrv, in_dwPortId, in_iBoundMs);
    VXQ_F_NETCOM_PR_Unlock(in_hNetSrv);
    return iResult;
}

extern "C" int VXQ_F_NETCOM_AddTcpConnect(VXQ_HNETSRV in_hNetSrv, const char *in_pIpaddr, uint16_t in_usPort,
                                          uint32_t *out_pPortId)
{
    if (in_hNetSrv == NULL)
        return 0;
    VXQ_F_NETCOM_PR_Lock(in_hNetSrv);
    int iResult = VXQ_F_NET_SELECT_AddTcpConnect(in_hNetSrv, in_pIpaddr, in_usPort, out_pPortId);
    VXQ_F_NETCOM_PR_Unlock(in_hNetSrv);
    return iResult;
}

extern "C" int VXQ_F_NETCOM_SendTcpData(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId, const char *in_pData,
                                        int32_t in_iDataLen, uint32_t in_dwReserved, uint32_t in_dwUserData,
                                        uint32_t in_dwNotify)
{
    return VXQ_F_NETCOM_SendTcpDataEx(in_hNetSrv, in_dwPortId, in_pData, in_iDataLen, 0, in_dwReserved, in_dwUserData,
                                      in_dwNotify);
}

int VXQ_F_NETCOM_SendTcpDataTaken(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId, char *in_pData, int32_t in_iDataLen,
                                  int32_t in_iDataType, uint32_t in_dwUserData, uint32_t in_bNotify)
{
    if (in_hNetSrv == NULL)
        return 0;
    VXQ_F_NETCOM_PR_Lock(in_hNetSrv);
    int iResult = VXQ_F_NET_SELECT_SendTcpDataTaken(in_hNetSrv, in_dwPortId, in_pData, in_iDataLen, in_iDataType,
                                                    in_dwUserData, in_bNotify);
    VXQ_F_NETCOM_PR_Unlock(in_hNetSrv);
    return iResult;
}

int VXQ_F_NETCOM_SendTcpDataGather(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId, const char *in_pHead,
                                   int32_t in_iHeadLen, const char *in_pBody, int32_t in_iBodyLen,
                                   VXQ_PF_NET_SELECT_RELEASE in_pfRelease, void *in_pRef, int32_t in_iDataType,
                                   uint32_t in_dwUserData, uint32_t in_bNotify)
{
    if (in_hNetSrv == NULL)
        return 0;
    VXQ_F_NETCOM_PR_Lock(in_hNetSrv);
    int iResult = VXQ_F_NET_SELECT_SendTcpDataGather(in_hNetSrv, in_dwPortId, in_pHead, in_iHeadLen, in_pBody,
                                                     in_iBodyLen, in_pfRelease, in_pRef, in_iDataType,
                                                     in_dwUserData, in_bNotify);
    VXQ_F_NETCOM_PR_Unlock(in_hNetSrv);
    return iResult;
}

int VXQ_F_NETCOM_SendTcpDataGatherNow(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId, const char *in_pHead,
                                      int32_t in_iHeadLen, const char *in_pBody, int32_t in_iBodyLen,
                                      VXQ_PF_NET_SELECT_RELEASE in_pfRelease, void *in_pRef,
                                      int32_t in_iDataType, uint32_t in_dwUserData, uint32_t in_bNotify)
{
    if (in_hNetSrv == NULL)
        return 0;
    VXQ_F_NETCOM_PR_Lock(in_hNetSrv);
    int iResult = VXQ_F_NET_SELECT_SendTcpDataGatherNow(in_hNetSrv, in_dwPortId, in_pHead, in_iHeadLen,
                                                        in_pBody, in_iBodyLen, in_pfRelease, in_pRef,
                                                        in_iDataType, in_dwUserData, in_bNotify);
    VXQ_F_NETCOM_PR_Unlock(in_hNetSrv);
    return iResult;
}

extern "C" int VXQ_F_NETCOM_SendTcpDataEx(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId, const char *in_pData,
                                          int32_t in_iDataLen, int32_t in_iDataType, uint32_t in_dwReserved,
                                          uint32_t in_dwUserData, uint32_t in_dwNotify)
{
    if (in_hNetSrv == NULL)
        return 0;
    VXQ_F_NETCOM_PR_Lock(in_hNetSrv);
    int iResult = VXQ_F_NET_SELECT_SendTcpDataEx(in_hNetSrv, in_dwPortId, in_pData, in_iDataLen, in_iDataType,
                                                 in_dwReserved, in_dwUserData, in_dwNotify);
    VXQ_F_NETCOM_PR_Unlock(in_hNetSrv);
    return iResult;
}

extern "C" int VXQ_F_NETCOM_SendUdpData(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId, const char *in_pPeerIpaddr,
                                        uint16_t in_usPeerPort, const char *in_pData, int32_t in_iDataLen,
                                        uint32_t in_dwReserved, uint32_t in_dwUserData, uint32_t in_dwNotify)
{
    if (in_hNetSrv == NULL)
        return 0;
    VXQ_F_NETCOM_PR_Lock(in_hNetSrv);
    int iResult = VXQ_F_NET_SELECT_SendUdpData(in_hNetSrv, in_dwPortId, in_pPeerIpaddr, in_usPeerPort, in_pData,
                                               in_iDataLen, in_dwReserved, in_dwUserData, in_dwNotify);
    VXQ_F_NETCOM_PR_Unlock(in_hNetSrv);
    return iResult;
}

extern "C" int32_t VXQ_F_NETCOM_QuerySendQueueSize(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId)
{
    if (in_hNetSrv == NULL)
        return 0;
    VXQ_F_NETCOM_PR_Lock(in_hNetSrv);
    int32_t iResult = VXQ_F_NET_SELECT_QuerySendQueueSize(in_hNetSrv, in_dwPortId);
    VXQ_F_NETCOM_PR_Unlock(in_hNetSrv);
    return iResult;
}

extern "C" int32_t VXQ_F_NETCOM_QuerySendQueueSizeEx(VXQ_HNETSRV in_hNetSrv, int32_t in_iDataType,
                                                     uint32_t in_dwPortId)
{
    if (in_hNetSrv == NULL)
        return 0;
    VXQ_F_NETCOM_PR_Lock(in_hNetSrv);
    int32_t iResult = VXQ_F_NET_SELECT_QuerySendQueueSizeEx(in_hNetSrv, in_iDataType, in_dwPortId);
    VXQ_F_NETCOM_PR_Unlock(in_hNetSrv);
    return iResult;
}

extern "C" int32_t VXQ_F_NETCOM_StatSendQueueDataTotalLen(VXQ_HNETSRV in_hNetSrv, int32_t in_iDataType,
                                                          uint32_t in_dwPortId)
{
    if (in_hNetSrv == NULL)
        return 0;
    VXQ_F_NETCOM_PR_Lock(in_hNetSrv);
    int32_t iResult = VXQ_F_NET_SELECT_StatSendQueueDataTotalLen(in_hNetSrv, in_iDataType, in_dwPortId);
    VXQ_F_NETCOM_PR_Unlock(in_hNetSrv);
    return iResult;
}

extern "C" int VXQ_F_NETCOM_ClearSendQueueData(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId)
{
    if (in_hNetSrv == NULL)
        return 0;
    VXQ_F_NETCOM_PR_Lock(in_hNetSrv);
    int iResult = VXQ_F_NET_SELECT_ClearSendQueueData(in_hNetSrv, in_dwPortId);
    VXQ_F_NETCOM_PR_Unlock(in_hNetSrv);
    return iResult;
}

extern "C" int VXQ_F_NETCOM_SetRecvDataState(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId, int32_t in_bOn)
{
    if (in_hNetSrv == NULL)
        return 0;
    VXQ_F_NETCOM_PR_Lock(in_hNetSrv);
    _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *pWork = VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByPortId(in_hNetSrv, in_dwPortId);
    if (pWork != NULL)
        pWork->bRecvFlag = in_bOn ? 1 : 0;
    VXQ_F_NETCOM_PR_Unlock(in_hNetSrv);
    return pWork != NULL ? 1 : 0;
}

extern "C" int VXQ_F_NETCOM_GetRecvDataState(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId)
{
    if (in_hNetSrv == NULL)
        return 0;
    VXQ_F_NETCOM_PR_Lock(in_hNetSrv);
    _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *pWork = VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByPortId(in_hNetSrv, in_dwPortId);
    int iResult = (pWork != NULL && pWork->bRecvFlag) ? 1 : 0;
    VXQ_F_NETCOM_PR_Unlock(in_hNetSrv);
    return iResult;
}

extern "C" int VXQ_F_NETCOM_SetBroadcastFlag(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId, int32_t in_bOn)
{
    if (in_hNetSrv == NULL)
        return 0;
    VXQ_F_NETCOM_PR_Lock(in_hNetSrv);
    _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *pWork = VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByPortId(in_hNetSrv, in_dwPortId);
    int iResult = 0;
    if (pWork != NULL && pWork->iSocketType == VXQ_NET_SELECT_UDP_LISTEN) {
        int32_t bOn = in_bOn ? 1 : 0;
        if (pWork->bBroadcastFlag != bOn) {
            VXQ_F_SYS_SOCKET_SetBroadcastParam(pWork->iSocket, bOn);
            pWork->bBroadcastFlag = bOn;
        }
        iResult = 1;
    }
    VXQ_F_NETCOM_PR_Unlock(in_hNetSrv);
    return iResult;
}

extern "C" int VXQ_F_NETCOM_GetBroadcastFlag(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId, int32_t *out_pbOn)
{
    (void)out_pbOn;
    if (in_hNetSrv == NULL)
        return 0;
    VXQ_F_NETCOM_PR_Lock(in_hNetSrv);
    _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *pWork = VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByPortId(in_hNetSrv, in_dwPortId);
    int iResult = (pWork != NULL && pWork->iSocketType == VXQ_NET_SELECT_UDP_LISTEN) ? pWork->bBroadcastFlag : 0;
    VXQ_F_NETCOM_PR_Unlock(in_hNetSrv);
    return iResult;
}

/* The record queue never changes after start, so taking records needs no engine lock. */
extern "C" int VXQ_F_NETCOM_RecvData(VXQ_HNETSRV in_hNetSrv, char *out_pBuf, int32_t *inout_pLen,
                                     int32_t in_iTimeoutMs)
{
    if (in_hNetSrv == NULL || in_hNetSrv->hRecvQueue == NULL)
        return 0;
    return VXQ_F_TOOLS_QUEUE_GetData(in_hNetSrv->hRecvQueue, out_pBuf, inout_pLen, in_iTimeoutMs);
}

extern "C" int VXQ_F_NETCOM_RecvDataEx(VXQ_HNETSRV in_hNetSrv, char **inout_ppBuf, int32_t *inout_pBufSize,
                                       int32_t *out_pLen, int32_t in_iTimeoutMs)
{
    if (in_hNetSrv == NULL || in_hNetSrv->hRecvQueue == NULL)
        return 0;
    return VXQ_F_TOOLS_QUEUE_GetDataEx(in_hNetSrv->hRecvQueue, inout_ppBuf, out_pLen, inout_pBufSize, in_iTimeoutMs);
}

extern "C" void VXQ_F_NETCOM_ReleaseDataBuf(char *in_pBuf)
{
    VXQ_F_TOOLS_QUEUE_FreeMemory(&in_pBuf);
}

extern "C" VXQ_HEVENT VXQ_F_NETCOM_GetRecvHandle(VXQ_HNETSRV in_hNetSrv)
{
    if (in_hNetSrv == NULL || in_hNetSrv->hRecvQueue == NULL)
        return NULL;
    return VXQ_F_TOOLS_QUEUE_GetReadEventHandle(in_hNetSrv->hRecvQueue);
}

extern "C" int32_t VXQ_F_NETCOM_QueryRecvQueueSize(VXQ_HNETSRV in_hNetSrv)
{
    if (in_hNetSrv == NULL)
        return -1;
    if (in_hNetSrv->hRecvQueue == NULL)
        return -2;
    return VXQ_F_TOOLS_QUEUE_GetCount(in_hNetSrv->hRecvQueue);
}
