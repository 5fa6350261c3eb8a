/*
 * selengine.h - the select engine: socket table, port ids, one select pass,
 * accept/read/write events, send queues and upward delivery.
 *
 * Owns every socket record of an engine and, through them, the descriptors
 * and their queued send items. The records live in a fixed table of 1024
 * slots; a record is allocated on first use of its slot and reused after it
 * is freed. Only descriptors below FD_SETSIZE are ever admitted, so that every
 * fd_set operation stays in bounds.
 *
 * Nothing here locks: in own-thread mode the caller holds tLock (the facade in
 * netcom.cpp and the engine thread); without a thread everything runs on the
 * one thread that calls VXQ_F_NETCOM_DoNetEvent. Upward delivery copies each
 * record into the engine's own scratch buffer; sinks copy what they keep, and
 * may rewrite the record in place (the engine does not read it again).
 *
 * Without a thread the sink runs inside the pass and may call back into the
 * engine, as an event loop's handlers do: send, clear, close any socket. The
 * pass stays consistent: the sets speak only of the records they were built
 * from (bPolled), a closed or closing socket yields no further record, a sent
 * item leaves its queue before its completion notice goes up, and a nested
 * pass is refused (bInPass). Records of one socket go up in the order the pass
 * meets them: its error or read event (CONNECT, DATA or DISCONNECT), then
 * the completion notices of its writes.
 */
#ifndef VXQ_NET_SELENGINE_H
#define VXQ_NET_SELENGINE_H

#include "vxq_netcom.h"
#include "vxq_queue.h"
#include "vxq_thread.h"

#include <atomic>
#include <sys/select.h>

#define VXQ_NET_SELECT_SOCKET_NUM 1024
#define VXQ_NET_SELECT_RECV_BUF_SIZE 8192
#define VXQ_NET_SELECT_RECV_QUEUE_SIZE 10000
#define VXQ_NET_SELECT_RECV_QUEUE_WAIT_MS 4000
#define VXQ_NET_SELECT_ACCEPT_PER_PASS 8 /* connections a listener accepts in one pass at most */

/* Socket types. */
#define VXQ_NET_SELECT_TCP_LISTEN 0
#define VXQ_NET_SELECT_UDP_LISTEN 1
#define VXQ_NET_SELECT_TCP_CONNECT 2 /* accepted or established */
#define VXQ_NET_SELECT_TCP_CLIENT 3  /* outgoing, still being set up */

/* Gives back one reference to a shared payload queued with
 * VXQ_F_NET_SELECT_SendQueue_AddGather; called exactly once per such item,
 * when it is written, dropped by a clear, or its socket or engine closes. It
 * runs on the thread doing that (the pass, or the caller of clear/close/stop). */
typedef void (*VXQ_PF_NET_SELECT_RELEASE)(void *in_pRef);

/* One queued send: iDataBufSize bytes made of the iHeadLen bytes at pData
 * followed (for a gathered item) by the iDataBufSize - iHeadLen bytes of the
 * shared payload pBody. The unsent rest is the last iDataLen bytes of that
 * sequence, so iDataLen != iDataBufSize marks an item already begun. */
typedef struct _VXQ_S_NET_SELECT_SEND_ITEM {
    char *pData;
    int32_t iDataBufSize;
    int32_t iDataLen;
    int32_t iHeadLen;        /* bytes at pData; == iDataBufSize for a plain item */
    const char *pBody;       /* shared payload, not owned (null for a plain item) */
    VXQ_PF_NET_SELECT_RELEASE pfRelease; /* gives back pRef once the item is gone */
    void *pRef;
    int32_t bDataInline;     /* pData lives in the item's own allocation */
    char szPeerIpaddr[16]; /* UDP destination */
    uint16_t usPeerPort;
    uint32_t dwReserved;
    uint32_t dwUserData;
    uint32_t bNotify;
    int32_t iDataType;
    struct _VXQ_S_NET_SELECT_SEND_ITEM *pNext;
} _VXQ_S_NET_SELECT_SEND_ITEM;

typedef struct _VXQ_S_NET_SELECT_SEND_QUEUE_DATA {
    _VXQ_S_NET_SELECT_SEND_ITEM *pHead;
    _VXQ_S_NET_SELECT_SEND_ITEM *pTail;
    int32_t iCount;
} _VXQ_S_NET_SELECT_SEND_QUEUE_DATA;

typedef struct _VXQ_S_NET_SELECT_SOCKET_WORK_DATA {
    int32_t bInUse;
    uint32_t dwPortId;
    int iSocket;
    int32_t iSocketType;
    uint16_t usLocalPort;
    char szPeerIpaddr[16];
    uint16_t usPeerPort;
    int32_t bRecvFlag;
    int32_t bSendFlag;
    int32_t bBroadcastFlag;
    _VXQ_S_NET_SELECT_SEND_QUEUE_DATA tSendQueue;
    uint32_t dwDataSeq;
    int32_t bFailed; /* connect failed or a hard send failure: only DISCONNECT from now on */
    /* Close after send (VXQ_F_NET_SELECT_CloseTcpConnectAfterSend). While
     * bClosing is set the record belongs to the engine alone: its port id no
     * longer matches any lookup and nothing about it goes upward. */
    int32_t bClosing;
    int32_t bWriteShut;     /* the queue was written out and the write side shut */
    int32_t bPeerDone;      /* the peer closed its side (or the connection broke) */
    uint32_t dwCloseDueMs;  /* tick (VXQ_F_CLOCK_TickMs) at which it is closed in any state */
    int32_t bPolled;        /* its socket is in the sets of the current pass (a socket opened since is not) */
} _VXQ_S_NET_SELECT_SOCKET_WORK_DATA;

struct _VXQ_S_NET_SELECT_MCSERVER_DATA {
    std::atomic<int32_t> bThreadRun;
    VXQ_HTHREAD hThread;
    int32_t bOwnThread;
    VXQ_PF_NETCOM_CALLBACK pfCallback;
    void *pUser;
    VXQ_HQUEUE hRecvQueue;
    VXQ_HMUTEX hLock;
    int32_t iMaxSendBufSize;
    _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *pSocketTable[VXQ_NET_SELECT_SOCKET_NUM];
    int32_t iSlotEnd; /* slots at and above this index have never held a record: passes stop there */
    uint32_t dwLastPortId[VXQ_NET_SELECT_SOCKET_NUM]; /* last id of each slot, never handed out twice in a row */
    fd_set tReadSet;
    fd_set tWriteSet;
    fd_set tErrorSet;
    int32_t bNeedRead;
    int32_t bNeedWrite;
    int iMaxSocket;
    int32_t iSocketNum; /* sockets in the sets of this pass */
    char *pRecvBuf;
    int32_t iRecvBufSize;
    int32_t iRecvLen;
    char *pUpBuf; /* head + largest upward data, reused by every delivery */
    int32_t iUpBufSize;
    /* Wake-up pipe: a byte written to iWakeWrite ends the pass's wait early.
     * bWakePending is 1 from the write until the pass has seen it, so a burst
     * of wake-ups costs one byte. */
    int iWakeRead;
    int iWakeWrite;
    std::atomic<int32_t> bWakePending;
    int32_t bInPass; /* a ByNoThread pass is running: a sink's DoNetEvent is refused */
};
typedef struct _VXQ_S_NET_SELECT_MCSERVER_DATA _VXQ_S_NET_SELECT_MCSERVER_DATA;

/* Engine life. StartServer: 1, or 0 after undoing what it made (logged). */
int VXQ_F_NET_SELECT_MC_StartServer(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine, int32_t in_bWithThread);
void VXQ_F_NET_SELECT_MC_StopServer(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine);
/* One pass: build the sets, wait up to in_iTimeoutMs, handle events. In
 * own-thread mode the caller holds the lock; it is released during the wait. */
void VXQ_F_NET_SELECT_MC_DoEvent(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine, int32_t in_iTimeoutMs);

/* Lookups (null when none). By port id: the whole id must match a slot in use
 * that is not being closed after send. */
_VXQ_S_NET_SELECT_SOCKET_WORK_DATA *VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByPortId(
    _VXQ_S_NET_SELECT_MCSERVER_DATA *in_pEngine, uint32_t in_dwPortId);
_VXQ_S_NET_SELECT_SOCKET_WORK_DATA *VXQ_F_NET_SELECT_MC_QuerySocketWorkDataBySocketId(
    _VXQ_S_NET_SELECT_MCSERVER_DATA *in_pEngine, int in_iSocket);
_VXQ_S_NET_SELECT_SOCKET_WORK_DATA *VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByTcpListenPort(
    _VXQ_S_NET_SELECT_MCSERVER_DATA *in_pEngine, uint16_t in_usPort);
_VXQ_S_NET_SELECT_SOCKET_WORK_DATA *VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByUdpListenPort(
    _VXQ_S_NET_SELECT_MCSERVER_DATA *in_pEngine, uint16_t in_usPort);

/* Takes a slot for in_iSocket and gives it a fresh port id; null (logged) when
 * the table is full, the descriptor is out of select's range, or no memory.
 * The caller still owns the descriptor on failure. */
_VXQ_S_NET_SELECT_SOCKET_WORK_DATA *VXQ_F_NET_SELECT_MC_AddSocketId(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine,
                                                                  int in_iSocket, int32_t in_iSocketType,
                                                                  int32_t in_bRecvFlag, int32_t in_bSendFlag);
/* Frees the record's queue and marks the slot free (the descriptor stays open). */
void VXQ_F_NET_SELECT_MC_DelSocketWorkData(_VXQ_S_NET_SELECT_SOCKET_WORK_DATA *inout_pWork);
/* Closes the descriptor, then as DelSocketWorkData. */
void VXQ_F_NET_SELECT_MC_CloseSocketAndDelWorkData(_VXQ_S_NET_SELECT_SOCKET_WORK_DATA *inout_pWork);

/* Sockets. Results 1/0; port ids through out pointers. */
int VXQ_F_NET_SELECT_StartTcpListen(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine, uint16_t *inout_pPort,
                                    uint32_t *out_pPortId);
int VXQ_F_NET_SELECT_StartUdpListen(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine, uint16_t *inout_pPort,
                                    uint32_t *out_pPortId);
int VXQ_F_NET_SELECT_AddTcpConnect(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine, const char *in_pIpaddr,
                                   uint16_t in_usPort, uint32_t *out_pPortId);

/* Builds one record and hands it to the sink or the receive queue. 1 when taken. */
int VXQ_F_NET_SELECT_SendDataToUpApp(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine, int32_t in_iEventType,
                                     uint16_t in_usNetType, uint16_t in_usLocalPort, uint32_t in_dwPortId,
                                     const char *in_pPeerIpaddr, uint16_t in_usPeerPort, uint32_t in_dwUserData,
                                     const char *in_pData, int32_t in_iDataLen);
/* DISCONNECT for one socket. */
int VXQ_F_NET_SELECT_SendTcpConnCloseToUpApp(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine,
                                             _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *in_pWork);

/* Send queues (sendqueue.cpp). AddDataEx copies in_iDataLen (> 0) bytes. */
int VXQ_F_NET_SELECT_SendQueue_AddDataEx(_VXQ_S_NET_SELECT_SEND_QUEUE_DATA *inout_pQueue, const char *in_pData,
                                         int32_t in_iDataLen, const char *in_pPeerIpaddr, uint16_t in_usPeerPort,
                                         uint32_t in_dwReserved, int32_t in_iDataType, uint32_t in_dwUserData,
                                         uint32_t in_bNotify);
/* As AddDataEx for a TCP item, but takes in_pData (malloc memory, in_iDataLen
 * > 0 bytes) instead of copying it: the queue frees it once sent or dropped.
 * On failure (0) the buffer stays the caller's. */
int VXQ_F_NET_SELECT_SendQueue_AddTaken(_VXQ_S_NET_SELECT_SEND_QUEUE_DATA *inout_pQueue, char *in_pData,
                                        int32_t in_iDataLen, int32_t in_iDataType, uint32_t in_dwUserData,
                                        uint32_t in_bNotify);
/* Queues a TCP item of in_iHeadLen (> 0) bytes copied from in_pHead followed
 * by in_iBodyLen (>= 0) bytes of the shared payload in_pBody, which is not
 * copied: it must stay valid until in_pfRelease(in_pRef) is called, once, when
 * the item is gone. The two parts go out in one gathered call, so a viewer's
 * own message head and a payload shared by many viewers cost no copy of the
 * payload. On failure (0) in_pfRelease is not called: the reference stays the
 * caller's. */
int VXQ_F_NET_SELECT_SendQueue_AddGather(_VXQ_S_NET_SELECT_SEND_QUEUE_DATA *inout_pQueue, const char *in_pHead,
                                         int32_t in_iHeadLen, const char *in_pBody, int32_t in_iBodyLen,
                                         VXQ_PF_NET_SELECT_RELEASE in_pfRelease, void *in_pRef,
                                         int32_t in_iDataType, uint32_t in_dwUserData, uint32_t in_bNotify);
void VXQ_F_NET_SELECT_SendQueue_Release(_VXQ_S_NET_SELECT_SEND_QUEUE_DATA *inout_pQueue);
/* Write events: up to eight whole TCP items (stopping at the first one the
 * socket takes only partly), or up to two UDP items, per pass. A gathered
 * item's head and payload go out in one call while both remain. */
void VXQ_F_NET_SELECT_DoTcpWriteEvent(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine,
                                      _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *inout_pWork);
void VXQ_F_NET_SELECT_DoUdpWriteEvent(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine,
                                      _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *inout_pWork);

/* Unlocked forms behind the facade; they log the facade's texts. */
int VXQ_F_NET_SELECT_SendTcpDataEx(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine, uint32_t in_dwPortId,
                                   const char *in_pData, int32_t in_iDataLen, int32_t in_iDataType,
                                   uint32_t in_dwReserved, uint32_t in_dwUserData, uint32_t in_bNotify);
int VXQ_F_NET_SELECT_SendTcpDataTaken(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine, uint32_t in_dwPortId,
                                      char *in_pData, int32_t in_iDataLen, int32_t in_iDataType,
                                      uint32_t in_dwUserData, uint32_t in_bNotify);
int VXQ_F_NET_SELECT_SendTcpDataGather(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine, uint32_t in_dwPortId,
                                       const char *in_pHead, int32_t in_iHeadLen, const char *in_pBody,
                                       int32_t in_iBodyLen, VXQ_PF_NET_SELECT_RELEASE in_pfRelease, void *in_pRef,
                                       int32_t in_iDataType, uint32_t in_dwUserData, uint32_t in_bNotify);
/* As SendTcpDataGather, but when nothing waits in the socket's queue the
 * message is written at once, as far as the socket takes it. Returns 2 when
 * it was written whole: nothing is queued, no completion notice follows and
 * in_pfRelease is never called (the reference stays the caller's). Returns 1
 * when the message (or the rest the socket did not take) was queued as by
 * SendTcpDataGather, 0 (logged) when refused. */
int VXQ_F_NET_SELECT_SendTcpDataGatherNow(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine,
                                          uint32_t in_dwPortId, const char *in_pHead, int32_t in_iHeadLen,
                                          const char *in_pBody, int32_t in_iBodyLen,
                                          VXQ_PF_NET_SELECT_RELEASE in_pfRelease, void *in_pRef,
                                          int32_t in_iDataType, uint32_t in_dwUserData, uint32_t in_bNotify);
int VXQ_F_NET_SELECT_SendUdpData(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine, uint32_t in_dwPortId,
                                 const char *in_pPeerIpaddr, uint16_t in_usPeerPort, const char *in_pData,
                                 int32_t in_iDataLen, uint32_t in_dwReserved, uint32_t in_dwUserData,
                                 uint32_t in_bNotify);
int32_t VXQ_F_NET_SELECT_QuerySendQueueSize(_VXQ_S_NET_SELECT_MCSERVER_DATA *in_pEngine, uint32_t in_dwPortId);
int32_t VXQ_F_NET_SELECT_QuerySendQueueSizeEx(_VXQ_S_NET_SELECT_MCSERVER_DATA *in_pEngine, int32_t in_iDataType,
                                              uint32_t in_dwPortId);
int32_t VXQ_F_NET_SELECT_StatSendQueueDataTotalLen(_VXQ_S_NET_SELECT_MCSERVER_DATA *in_pEngine, int32_t in_iDataType,
                                                   uint32_t in_dwPortId);
int VXQ_F_NET_SELECT_ClearSendQueueData(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine, uint32_t in_dwPortId);

/* Drops a connection without losing what was queued for it: from the call on
 * its port id is invalid (no lookup, send or record), its queue is still
 * written out, then its write side is shut (the peer reads the end of the
 * stream after the last byte) and what the peer still sends is read and
 * discarded. The socket is closed once the peer has closed its side too, on a
 * send or socket error, or in_iBoundMs after the call, whichever comes first
 * (a peer that does not read cannot hold it longer). A socket that is not an
 * established connection is closed at once. 1 if the id was valid. */
int VXQ_F_NET_SELECT_CloseTcpConnectAfterSend(_VXQ_S_NET_SELECT_MCSERVER_DATA *inout_pEngine, uint32_t in_dwPortId,
                                              int32_t in_iBoundMs);
/* Facade form of CloseTcpConnectAfterSend (takes the engine lock in own-thread mode). */
int VXQ_F_NETCOM_CloseTcpConnectAfterSend(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId, int32_t in_iBoundMs);

/* Facade form of SendTcpDataTaken (takes the engine lock in own-thread mode):
 * queues a malloc buffer without copying it; the engine frees it. 1 queued;
 * 0 (logged) leaves the buffer with the caller. For the live view path, which
 * builds one message per viewer and has no other use for it. */
int VXQ_F_NETCOM_SendTcpDataTaken(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId, char *in_pData, int32_t in_iDataLen,
                                  int32_t in_iDataType, uint32_t in_dwUserData, uint32_t in_bNotify);

/* Facade form of SendTcpDataGather: queues a copy of the head and a reference
 * to the shared payload (see VXQ_F_NET_SELECT_SendQueue_AddGather). 1 queued;
 * 0 (logged) leaves the reference with the caller. For the live view path:
 * every viewer gets its own frame message head and the one cached frame. */
int VXQ_F_NETCOM_SendTcpDataGather(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId, const char *in_pHead,
                                   int32_t in_iHeadLen, const char *in_pBody, int32_t in_iBodyLen,
                                   VXQ_PF_NET_SELECT_RELEASE in_pfRelease, void *in_pRef, int32_t in_iDataType,
                                   uint32_t in_dwUserData, uint32_t in_bNotify);

/* Facade form of SendTcpDataGatherNow (takes the engine lock in own-thread
 * mode): 2 written whole, 1 queued, 0 refused. For the live view path: a
 * viewer whose socket keeps up gets each frame message in the call that
 * makes it, without waiting for a pass and a completion notice. */
int VXQ_F_NETCOM_SendTcpDataGatherNow(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId, const char *in_pHead,
                                      int32_t in_iHeadLen, const char *in_pBody, int32_t in_iBodyLen,
                                      VXQ_PF_NET_SELECT_RELEASE in_pfRelease, void *in_pRef,
                                      int32_t in_iDataType, uint32_t in_dwUserData, uint32_t in_bNotify);

#endif /* VXQ_NET_SELENGINE_H */
