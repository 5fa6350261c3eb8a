/* Per-socket send queues: queuing, draining on write events, queries and clearing. */
#include "net/selengine.h"

#include "net/sockgather.h"

#include "vxq_log.h"
#include "vxq_sockwrap.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Links a filled item at the tail. */
static void VXQ_F_NET_SELECT_PR_Append(_VXQ_S_NET_SELECT_SEND_QUEUE_DATA *inout_pQueue,
                                       _VXQ_S_NET_SELECT_SEND_ITEM *in_pItem)
{
    if (inout_pQueue->pHead == NULL) {
        inout_pQueue->pHead = in_pItem;
    } else {
        if (inout_pQueue->pTail == NULL) {
            inout_pQueue->pTail = inout_pQueue->pHead;
            while (inout_pQueue->pTail->pNext != NULL)
                inout_pQueue->pTail = inout_pQueue->pTail->pNext;
        }
        inout_pQueue->pTail->pNext = in_pItem;
    }
    inout_pQueue->pTail = in_pItem;
    inout_pQueue->iCount++;
}

/* A new item holding in_pData (ownership passes to the item only on success)
 * with every size at in_iDataLen; null, logged, when the data is empty or the
 * record cannot be allocated. */
static _VXQ_S_NET_SELECT_SEND_ITEM *VXQ_F_NET_SELECT_PR_NewItem(char *in_pData, int32_t in_iDataLen,
                                                               int32_t in_iDataType, uint32_t in_dwUserData,
                                                               uint32_t in_bNotify)
{
    _VXQ_S_NET_SELECT_SEND_ITEM *pItem = (_VXQ_S_NET_SELECT_SEND_ITEM *)calloc(1, sizeof(*pItem));
    if (pItem == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NET_SELECT_SendQueue_AddDataEx malloc fail.", 2);
        return NULL;
    }
    pItem->pData = in_pData;
    pItem->iDataBufSize = in_iDataLen;
    pItem->iDataLen = in_iDataLen;
    pItem->iHeadLen = in_iDataLen;
    pItem->iDataType = in_iDataType;
    pItem->dwUserData = in_dwUserData;
    pItem->bNotify = in_bNotify;
    return pItem;
}

int VXQ_F_NET_SELECT_SendQueue_AddDataEx(_VXQ_S_NET_SELECT_SEND_QUEUE_DATA *inout_pQueue, const char *in_pData,
                                         int32_t in_iDataLen, const char *in_pPeerIpaddr, uint16_t in_usPeerPort,
                                         uint32_t in_dwReserved, int32_t in_iDataType, uint32_t in_dwUserData,
                                         uint32_t in_bNotify)
{
    if (inout_pQueue == NULL)
        return 0;
    if (in_pData == NULL || in_iDataLen <= 0) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NET_SELECT_SendQueue_AddDataEx VXQ_F_MEM_MG_SetDataToBuf fail.", 2);
        return 0;
    }
    _VXQ_S_NET_SELECT_SEND_ITEM *pItem =
        VXQ_F_NET_SELECT_PR_NewItem(NULL, in_iDataLen, in_iDataType, in_dwUserData, in_bNotify);
    if (pItem == NULL)
        return 0;
    pItem->pData = (char *)malloc((size_t)in_iDataLen);
    if (pItem->pData == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NET_SELECT_SendQueue_AddDataEx VXQ_F_MEM_MG_SetDataToBuf fail.", 2);
        free(pItem);
        return 0;
    }
    memcpy(pItem->pData, in_pData, (size_t)in_iDataLen);
    if (in_pPeerIpaddr != NULL) {
        size_t nLen = strnlen(in_pPeerIpaddr, sizeof(pItem->szPeerIpaddr) - 1);
        memcpy(pItem->szPeerIpaddr, in_pPeerIpaddr, nLen);
    }
    pItem->usPeerPort = in_usPeerPort;
    pItem->dwReserved = in_dwReserved;
    VXQ_F_NET_SELECT_PR_Append(inout_pQueue, pItem);
    return 1;
}

int VXQ_F_NET_SELECT_SendQueue_AddTaken(_VXQ_S_NET_SELECT_SEND_QUEUE_DATA *inout_pQueue, char *in_pData,
                                        int32_t in_iDataLen, int32_t in_iDataType, uint32_t in_dwUserData,
                                        uint32_t in_bNotify)
{
    if (inout_pQueue == NULL)
        return 0;
    if (in_pData == NULL || in_iDataLen <= 0) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NET_SELECT_SendQueue_AddDataEx VXQ_F_MEM_MG_SetDataToBuf fail.", 2);
        return 0;
    }
    _VXQ_S_NET_SELECT_SEND_ITEM *pItem =
        VXQ_F_NET_SELECT_PR_NewItem(in_pData, in_iDataLen, in_iDataType, in_dwUserData, in_bNotify);
    if (pItem == NULL)
        return 0;
    VXQ_F_NET_SELECT_PR_Append(inout_pQueue, pItem);
    return 1;
}

int VXQ_F_NET_SELECT_SendQueue_AddGather(_VXQ_S_NET_SELECT_SEND_QUEUE_DATA *inout_pQueue, const char *in_pHead,
                                         int32_t in_iHeadLen, const char *in_pBody, int32_t in_iBodyLen,
                                         VXQ_PF_NET_SELECT_RELEASE in_pfRelease, void *in_pRef,
                                         int32_t in_iDataType, uint32_t in_dwUserData, uint32_t in_bNotify)
{
    if (inout_pQueue == NULL)
        return 0;
    if (in_pHead == NULL || in_iHeadLen <= 0 || in_iBodyLen < 0 || (in_iBodyLen > 0 && in_pBody == NULL) ||
        in_iBodyLen > INT32_MAX - in_iHeadLen) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NET_SELECT_SendQueue_AddDataEx VXQ_F_MEM_MG_SetDataToBuf fail.", 2);
        return 0;
    }
    /* The head lives behind the item, in the same allocation. */
    _VXQ_S_NET_SELECT_SEND_ITEM *pItem =
        (_VXQ_S_NET_SELECT_SEND_ITEM *)calloc(1, sizeof(*pItem) + (size_t)in_iHeadLen);
    if (pItem == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NET_SELECT_SendQueue_AddDataEx malloc fail.", 2);
        return 0;
    }
    pItem->pData = (char *)(pItem + 1);
    pItem->bDataInline = 1;
    memcpy(pItem->pData, in_pHead, (size_t)in_iHeadLen);
    pItem->iHeadLen = in_iHeadLen;
    pItem->pBody = in_iBodyLen > 0 ? in_pBody : NULL;
    pItem->iDataBufSize = in_iHeadLen + in_iBodyLen;
    pItem->iDataLen = pItem->iDataBufSize;
    pItem->pfRelease = in_pfRelease;
    pItem->pRef = in_pRef;
    pItem->iDataType = in_iDataType;
    pItem->dwUserData = in_dwUserData;
    pItem->bNotify = in_bNotify;
    VXQ_F_NET_SELECT_PR_Append(inout_pQueue, pItem);
    return 1;
}

/* Frees an item and gives back its payload reference (exactly once per item). */
static void VXQ_F_NET_SELECT_PR_FreeItem(_VXQ_S_NET_SELECT_SEND_ITEM *in_pItem)
{
    if (!in_pItem->bDataInline)
        free(in_pItem->pData);
    if (in_pItem->pfRelease != NULL)
        in_pItem->pfRelease(in_pItem->pRef);
    free(in_pItem);
}

void VXQ_F_NET_SELECT_SendQueue_Release(_VXQ_S_NET_SELECT_SEND_QUEUE_DATA *inout_pQueue)
{
    if (inout_pQueue == NULL)
        return;
    _VXQ_S_NET_SELECT_SEND_ITEM *pItem = inout_pQueue->pHead;
    while (pItem != NULL) {
        _VXQ_S_NET_SELECT_SEND_ITEM *pNext = pItem->pNext;
        VXQ_F_NET_SELECT_PR_FreeItem(pItem);
        pItem = pNext;
    }
    memset(inout_pQueue, 0, sizeof(*inout_pQueue));
}

/* Unlinks and frees the head item. */
static void VXQ_F_NET_SELECT_PR_DropHead(_VXQ_S_NET_SELECT_SEND_QUEUE_DATA *inout_pQueue)
{
    _VXQ_S_NET_SELECT_SEND_ITEM *pItem = inout_pQueue->pHead;
    if (pItem == NULL)
        return;
    inout_pQueue->pHead = pItem->pNext;
    if (inout_pQueue->pHead == NULL) {
        inout_pQueue->pTail = NULL;
        inout_pQueue->iCount = 0;
    } else if (inout_pQueue->iCount > 0) {
        inout_pQueue->iCount--;
    }
    VXQ_F_NET_SELECT_PR_FreeItem(pItem);
}

/* Writes the unsent rest of a TCP item with one send call: the kernel takes
 * what fits, so a frame of any size costs one system call per pass instead of
 * one per 1460 bytes (the exported socket wrappers keep their pieces for their
 * own callers; the byte stream is the same). The sent bytes only shrink
 * iDataLen (no copying).
 * Returns 1 when the item is finished, else 0 with *out_pState -1 (later) or
 * -2 (hard failure, text in out_pErrInfo). */
static int VXQ_F_NET_SELECT_PR_SendItemRest(int in_iSocket, _VXQ_S_NET_SELECT_SEND_ITEM *inout_pItem, int *out_pState,
                                            char *out_pErrInfo, int in_iErrInfoSize)
{
    *out_pState = 0;
    if (inout_pItem->iDataLen <= 0)
        return 1;
    int32_t iDone = inout_pItem->iDataBufSize - inout_pItem->iDataLen;
    if (inout_pItem->pBody != NULL) {
        /* Gathered item: what is left of the head, then the rest of the payload. */
        int32_t iHeadRest = iDone < inout_pItem->iHeadLen ? inout_pItem->iHeadLen - iDone : 0;
        int32_t iBodyRest = inout_pItem->iDataLen - iHeadRest;
        const char *pBodyRest = inout_pItem->pBody + (inout_pItem->iDataBufSize - inout_pItem->iHeadLen - iBodyRest);
        int iSent = 0;
        if (VXQ_F_SYS_SOCKET_SendGather(in_iSocket, inout_pItem->pData + iDone, iHeadRest, pBodyRest, iBodyRest,
                                        &iSent, out_pState, out_pErrInfo, in_iErrInfoSize)) {
            inout_pItem->iDataLen = 0;
            return 1;
        }
        if (*out_pState == -1 && iSent > 0)
            inout_pItem->iDataLen -= iSent;
        return 0;
    }
    int iLen = inout_pItem->iDataLen;
    const char *pRest = inout_pItem->pData + iDone;
    if (VXQ_F_SYS_SOCKET_SendEx(in_iSocket, pRest, &iLen, out_pState, out_pErrInfo, in_iErrInfoSize)) {
        inout_pItem->iDataLen = 0;
        return 1;
    }
    /* Partly taken: the socket is full for now; the rest waits for the next pass. */
    if (*out_pState == -1 && iLen > 0)
        inout_pItem->iDataLen -= iLen;
    return 0;
}

/* Most whole items one TCP socket writes in one pass, so that one busy
 * connection cannot hold the pass (and the other sockets) for long. */
#define VXQ_NET_SELECT_TCP_ITEMS_PER_PASS 8

void VXQ_F_NET_SELECT_DoTcpWriteEvent(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine,
                                      _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *inout_pWork)
{
    for (int iDone = 0; iDone < VXQ_NET_SELECT_TCP_ITEMS_PER_PASS; iDone++) {
        _VXQ_S_NET_SELECT_SEND_ITEM *pItem = inout_pWork->tSendQueue.pHead;
        if (pItem == NULL) {
            inout_pWork->bSendFlag = 0;
            return;
        }
        if (inout_pWork->bFailed) {
            /* Already failed hard: repeat DISCONNECT until the upper layer closes. */
            if (!inout_pWork->bClosing)
                VXQ_F_NET_SELECT_SendTcpConnCloseToUpApp(inout_pEngine, inout_pWork);
            return;
        }
        int iState = 0;
        char sErr[128] = {0};
        if (VXQ_F_NET_SELECT_PR_SendItemRest(inout_pWork->iSocket, pItem, &iState, sErr, sizeof(sErr))) {
            /* The item leaves the queue before its notice goes up: a sink that
             * sends, clears or closes on this socket finds a queue without it. */
            uint32_t bNotify = pItem->bNotify && !inout_pWork->bClosing;
            uint32_t dwUserData = pItem->dwUserData;
            VXQ_F_NET_SELECT_PR_DropHead(&inout_pWork->tSendQueue);
            if (bNotify &&
                !VXQ_F_NET_SELECT_SendDataToUpApp(inout_pEngine, VXQ_NETCOM_EVENT_SEND_COMP_NOTIFY, VXQ_NETCOM_NET_TCP,
                                                  inout_pWork->usLocalPort, inout_pWork->dwPortId,
                                                  inout_pWork->szPeerIpaddr, inout_pWork->usPeerPort, dwUserData,
                                                  NULL, 0))
                VXQ_F_LOG_SR_WriteLog("VXQ_F_NET_SELECT_DoTcpWriteEvent VXQ_F_NET_SELECT_SendDataToUpApp fail.", 2);
            continue;
        }
        if (iState == -1)
            return;
        char sText[200];
        snprintf(sText, sizeof(sText), "VXQ_F_NET_SELECT_DoTcpWriteEvent send fail, cause: %s.", sErr);
        VXQ_F_LOG_SR_WriteLog(sText, 2);
        inout_pWork->bFailed = 1;
        if (!inout_pWork->bClosing)
            VXQ_F_NET_SELECT_SendTcpConnCloseToUpApp(inout_pEngine, inout_pWork);
        return;
    }
}

void VXQ_F_NET_SELECT_DoUdpWriteEvent(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine,
                                      _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *inout_pWork)
{
    for (int iDone = 0; iDone < 2; iDone++) {
        _VXQ_S_NET_SELECT_SEND_ITEM *pItem = inout_pWork->tSendQueue.pHead;
        if (pItem == NULL) {
            inout_pWork->bSendFlag = 0;
            return;
        }
        int iState = 0;
        while (pItem->iDataLen > 0) {
            int iPiece = pItem->iDataLen > VXQ_SYS_SOCKET_SEND_PIECE ? VXQ_SYS_SOCKET_SEND_PIECE : pItem->iDataLen;
            const char *pRest = pItem->pData + (pItem->iDataBufSize - pItem->iDataLen);
            if (!VXQ_F_SYS_SOCKET_SendTo(inout_pWork->iSocket, pRest, iPiece, pItem->szPeerIpaddr, pItem->usPeerPort,
                                         &iState, NULL, 0))
                break;
            pItem->iDataLen -= iPiece;
        }
        /* Would block: keep the rest for the next pass. A hard failure drops
         * the rest: a datagram has no stream to keep whole. */
        if (pItem->iDataLen > 0 && iState == -1)
            return;
        /* As for TCP: out of the queue before its notice goes up. */
        uint32_t bNotify = pItem->bNotify;
        uint32_t dwUserData = pItem->dwUserData;
        uint16_t usPeerPort = pItem->usPeerPort;
        char szPeer[sizeof(pItem->szPeerIpaddr)];
        memcpy(szPeer, pItem->szPeerIpaddr, sizeof(szPeer));
        VXQ_F_NET_SELECT_PR_DropHead(&inout_pWork->tSendQueue);
        if (bNotify)
            VXQ_F_NET_SELECT_SendDataToUpApp(inout_pEngine, VXQ_NETCOM_EVENT_SEND_COMP_NOTIFY, VXQ_NETCOM_NET_UDP,
                                             inout_pWork->usLocalPort, inout_pWork->dwPortId, szPeer, usPeerPort,
                                             dwUserData, NULL, 0);
    }
}

int VXQ_F_NET_SELECT_SendTcpDataEx(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine, uint32_t in_dwPortId,
                                   const char *in_pData, int32_t in_iDataLen, int32_t in_iDataType,
                                   uint32_t in_dwReserved, uint32_t in_dwUserData, uint32_t in_bNotify)
{
    _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *pWork =
        VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByPortId(inout_pEngine, in_dwPortId);
    if (pWork == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NETCOM_SendTcpData dwPortId error.", 2);
        return 0;
    }
    if (pWork->iSocketType != VXQ_NET_SELECT_TCP_CONNECT) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NETCOM_SendTcpData iSocketType error.", 2);
        return 0;
    }
    if (!VXQ_F_NET_SELECT_SendQueue_AddDataEx(&pWork->tSendQueue, in_pData, in_iDataLen, NULL, 0, in_dwReserved,
                                              in_iDataType, in_dwUserData, in_bNotify)) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NETCOM_SendTcpData VXQ_F_NET_SELECT_SendQueue_AddDataEx fail.", 2);
        return 0;
    }
    pWork->bSendFlag = 1;
    return 1;
}

int VXQ_F_NET_SELECT_SendTcpDataTaken(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine, uint32_t in_dwPortId,
                                      char *in_pData, int32_t in_iDataLen, int32_t in_iDataType,
                                      uint32_t in_dwUserData, uint32_t in_bNotify)
{
    _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *pWork =
        VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByPortId(inout_pEngine, in_dwPortId);
    if (pWork == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NETCOM_SendTcpData dwPortId error.", 2);
        return 0;
    }
    if (pWork->iSocketType != VXQ_NET_SELECT_TCP_CONNECT) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NETCOM_SendTcpData iSocketType error.", 2);
        return 0;
    }
    if (!VXQ_F_NET_SELECT_SendQueue_AddTaken(&pWork->tSendQueue, in_pData, in_iDataLen, in_iDataType, in_dwUserData,
                                             in_bNotify)) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NETCOM_SendTcpData VXQ_F_NET_SELECT_SendQueue_AddDataEx fail.", 2);
        return 0;
    }
    pWork->bSendFlag = 1;
    return 1;
}

/* The gathered send with or without the write at once; see selengine.h. */
static int VXQ_F_NET_SELECT_PR_SendGather(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine,
                                          uint32_t in_dwPortId, const char *in_pHead, int32_t in_iHeadLen,
                                          const char *in_pBody, int32_t in_iBodyLen,
                                          VXQ_PF_NET_SELECT_RELEASE in_pfRelease, void *in_pRef,
                                          int32_t in_iDataType, uint32_t in_dwUserData, uint32_t in_bNotify,
                                          int in_bWriteNow)
{
    _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *pWork =
        VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByPortId(inout_pEngine, in_dwPortId);
    if (pWork == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NETCOM_SendTcpData dwPortId error.", 2);
        return 0;
    }
    if (pWork->iSocketType != VXQ_NET_SELECT_TCP_CONNECT) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NETCOM_SendTcpData iSocketType error.", 2);
        return 0;
    }
    int iSent = 0;
    if (in_bWriteNow && pWork->tSendQueue.pHead == NULL && !pWork->bFailed && in_pHead != NULL &&
        in_iHeadLen > 0 && in_iBodyLen >= 0 && (in_iBodyLen == 0 || in_pBody != NULL) &&
        in_iBodyLen <= INT32_MAX - in_iHeadLen) {
        /* Nothing waits before it, so the byte stream keeps its order. A hard
         * failure writes nothing: the item is queued whole and the next pass
         * meets the failure and reports it as it reports any other. */
        int iState = 0;
        if (VXQ_F_SYS_SOCKET_SendGather(pWork->iSocket, in_pHead, in_iHeadLen, in_pBody, in_iBodyLen, &iSent,
                                        &iState, NULL, 0))
            return 2;
        if (iState != -1)
            iSent = 0;
    }
    if (!VXQ_F_NET_SELECT_SendQueue_AddGather(&pWork->tSendQueue, in_pHead, in_iHeadLen, in_pBody, in_iBodyLen,
                                              in_pfRelease, in_pRef, in_iDataType, in_dwUserData, in_bNotify)) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NETCOM_SendTcpData VXQ_F_NET_SELECT_SendQueue_AddDataEx fail.", 2);
        return 0;
    }
    /* What the socket took is gone from the item: it is an item already begun. */
    pWork->tSendQueue.pTail->iDataLen -= iSent;
    pWork->bSendFlag = 1;
    return 1;
}

int VXQ_F_NET_SELECT_SendTcpDataGather(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine, uint32_t in_dwPortId,
                                       const char *in_pHead, int32_t in_iHeadLen, const char *in_pBody,
                                       int32_t in_iBodyLen, VXQ_PF_NET_SELECT_RELEASE in_pfRelease,
                                       void *in_pRef, int32_t in_iDataType, uint32_t in_dwUserData,
                                       uint32_t in_bNotify)
{
    return VXQ_F_NET_SELECT_PR_SendGather(inout_pEngine, in_dwPortId, in_pHead, in_iHeadLen, in_pBody,
                                          in_iBodyLen, in_pfRelease, in_pRef, in_iDataType, in_dwUserData,
                                          in_bNotify, 0);
}

int VXQ_F_NET_SELECT_SendTcpDataGatherNow(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine,
                                          uint32_t in_dwPortId, const char *in_pHead, int32_t in_iHeadLen,
                                          const char *in_pBody, int32_t in_iBodyLen,
                                          VXQ_PF_NET_SELECT_RELEASE in_pfRelease, void *in_pRef,
                                          int32_t in_iDataType, uint32_t in_dwUserData, uint32_t in_bNotify)
{
    return VXQ_F_NET_SELECT_PR_SendGather(inout_pEngine, in_dwPortId, in_pHead, in_iHeadLen, in_pBody,
                                          in_iBodyLen, in_pfRelease, in_pRef, in_iDataType, in_dwUserData,
                                          in_bNotify, 1);
}

int VXQ_F_NET_SELECT_SendUdpData(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine, uint32_t in_dwPortId,
                                 const char *in_pPeerIpaddr, uint16_t in_usPeerPort, const char *in_pData,
                                 int32_t in_iDataLen, uint32_t in_dwReserved, uint32_t in_dwUserData,
                                 uint32_t in_bNotify)
{
    if (in_pPeerIpaddr == NULL || in_pPeerIpaddr[0] == 0 || in_usPeerPort == 0) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NETCOM_SendUdpData in_pPeerIpaddr or in_usPeerPort is 0.", 2);
        return 0;
    }
    _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *pWork =
        VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByPortId(inout_pEngine, in_dwPortId);
    if (pWork == NULL)
        return 0;
    if (pWork->iSocketType != VXQ_NET_SELECT_UDP_LISTEN) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NETCOM_SendUdpData iSocketType error.", 2);
        return 0;
    }
    if (!VXQ_F_NET_SELECT_SendQueue_AddDataEx(&pWork->tSendQueue, in_pData, in_iDataLen, in_pPeerIpaddr,
                                              in_usPeerPort, in_dwReserved, 0, in_dwUserData, in_bNotify)) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NETCOM_SendUdpData VXQ_F_NET_SELECT_SendQueue_AddDataEx fail.", 2);
        return 0;
    }
    pWork->bSendFlag = 1;
    return 1;
}

int32_t VXQ_F_NET_SELECT_QuerySendQueueSize(_VXQ_S_NET_SELECT_MCSERVER_DATA *in_pEngine, uint32_t in_dwPortId)
{
    _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *pWork = VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByPortId(in_pEngine, in_dwPortId);
    if (pWork == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NET_SELECT_QuerySendQueueSize in_dwPortId error.", 2);
        return 0;
    }
    return pWork->tSendQueue.iCount;
}

int32_t VXQ_F_NET_SELECT_QuerySendQueueSizeEx(_VXQ_S_NET_SELECT_MCSERVER_DATA *in_pEngine, int32_t in_iDataType,
                                              uint32_t in_dwPortId)
{
    _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *pWork = VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByPortId(in_pEngine, in_dwPortId);
    if (pWork == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NET_SELECT_QuerySendQueueSizeEx iSocketIndex error.", 2);
        return 0;
    }
    int32_t iCount = 0;
    for (_VXQ_S_NET_SELECT_SEND_ITEM *pItem = pWork->tSendQueue.pHead; pItem != NULL; pItem = pItem->pNext)
        if (pItem->iDataType == in_iDataType)
            iCount++;
    return iCount;
}

int32_t VXQ_F_NET_SELECT_StatSendQueueDataTotalLen(_VXQ_S_NET_SELECT_MCSERVER_DATA *in_pEngine, int32_t in_iDataType,
                                                   uint32_t in_dwPortId)
{
    _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *pWork = VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByPortId(in_pEngine, in_dwPortId);
    if (pWork == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NET_SELECT_StatSendQueueDataTotalLen in_dwPortId error.", 2);
        return 0;
    }
    int64_t lTotal = 0;
    for (_VXQ_S_NET_SELECT_SEND_ITEM *pItem = pWork->tSendQueue.pHead; pItem != NULL; pItem = pItem->pNext)
        if (in_iDataType == -1 || pItem->iDataType == in_iDataType)
            lTotal += pItem->iDataLen;
    return lTotal > INT32_MAX ? INT32_MAX : (int32_t)lTotal;
}

int VXQ_F_NET_SELECT_ClearSendQueueData(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine, uint32_t in_dwPortId)
{
    _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *pWork =
        VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByPortId(inout_pEngine, in_dwPortId);
    if (pWork == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_NET_SELECT_ClearSendQueueData in_dwPortId error.", 2);
        return 0;
    }
    _VXQ_S_NET_SELECT_SEND_QUEUE_DATA *pQueue = &pWork->tSendQueue;
    _VXQ_S_NET_SELECT_SEND_ITEM *pHead = pQueue->pHead;
    if (pHead != NULL && pHead->iDataLen != pHead->iDataBufSize) {
        /* Keep the begun item so the byte stream stays whole. */
        _VXQ_S_NET_SELECT_SEND_ITEM *pRest = pHead->pNext;
        pHead->pNext = NULL;
        pQueue->pTail = pHead;
        pQueue->iCount = 1;
        while (pRest != NULL) {
            _VXQ_S_NET_SELECT_SEND_ITEM *pNext = pRest->pNext;
            VXQ_F_NET_SELECT_PR_FreeItem(pRest);
            pRest = pNext;
        }
    } else {
        VXQ_F_NET_SELECT_SendQueue_Release(pQueue);
    }
    return 1;
}
