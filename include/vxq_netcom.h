/*
 * vxq_netcom.h - the network engine: listeners, connections, send queues and
 * the records it hands upward.
 *
 * An engine owns every socket opened through it (at most 1024), each named by
 * a 32-bit port id: random upper 16 bits (never 0), table slot in the lower 16.
 * A closed socket's id is never valid again, even when its slot is reused.
 * Sends are copied into the socket's own queue and written when the socket is
 * writable, so no call blocks on the network; the engine never limits the
 * queues - callers watch them with the query functions.
 *
 * Threads: an engine started with VXQ_F_NETCOM_StartNetServer runs its own
 * thread and every function here takes its lock, so any thread may call them.
 * One started ByNoThread is driven by VXQ_F_NETCOM_DoNetEvent, and every call
 * must then come from that one thread. The upward callback runs on the engine's
 * pass and copies what it keeps. With a thread it runs under the lock and must
 * not call back into the engine; without one it may (send, clear, close, as an
 * event loop's handlers do), except to run a pass or close the engine. Without a callback, records wait in a queue of 10000 for
 * VXQ_F_NETCOM_RecvData. Each record is a _VXQ_S_NETCOM_DATA_HEAD followed by
 * iDataLen bytes.
 */
#ifndef VXQ_NETCOM_H
#define VXQ_NETCOM_H

#include "vxq_base.h"
#include "vxq_thread.h"

VXQ_EXTERN_C_BEGIN

/* iEventType of an upward record. */
#define VXQ_NETCOM_EVENT_CONNECT 1
#define VXQ_NETCOM_EVENT_DISCONNECT 2
#define VXQ_NETCOM_EVENT_DATA 3
#define VXQ_NETCOM_EVENT_CONNECT_RESULT 4
#define VXQ_NETCOM_EVENT_SEND_COMP_NOTIFY 5

/* usNetType of an upward record. */
#define VXQ_NETCOM_NET_TCP 0
#define VXQ_NETCOM_NET_UDP 1

/* Bytes of the head, and of the block that follows a CONNECT_RESULT head. */
#define VXQ_NETCOM_DATA_HEAD_SIZE 64
#define VXQ_NETCOM_CONNECT_RESULT_SIZE 260

/* The head of every upward record, host byte order, 64 bytes. */
typedef struct _VXQ_S_NETCOM_DATA_HEAD {
    int32_t iEventType;     /* VXQ_NETCOM_EVENT_* */
    uint16_t usNetType;     /* VXQ_NETCOM_NET_*: UDP only on DATA and SEND_COMP_NOTIFY of UDP sockets */
    uint16_t usLocalPort;   /* listener port (for an accepted connection: its listener's) */
    uint32_t dwPortId;      /* the socket's port id */
    char szPeerIpaddr[40];  /* dotted peer (UDP SEND_COMP_NOTIFY: the destination), zero-terminated */
    uint16_t usPeerPort;    /* peer port */
    uint16_t usReserved;    /* zero */
    uint32_t dwUserData;    /* DATA: the socket's DATA count before this one; SEND_COMP_NOTIFY: the send's user value */
    int32_t iDataLen;       /* bytes after the head: DATA the bytes received, CONNECT_RESULT 260, else 0 */
} _VXQ_S_NETCOM_DATA_HEAD;

/* The engine handle. */
typedef struct _VXQ_S_NET_SELECT_MCSERVER_DATA *VXQ_HNETSRV;

/* Upward sink: gets each record (head + data, in_iRecordLen bytes) and returns
 * 1 when it took it, 0 when the record is lost. */
typedef int (*VXQ_PF_NETCOM_CALLBACK)(void *in_pUser, const char *in_pRecord, int32_t in_iRecordLen);

/* Starts an engine on a thread of its own; the two first arguments are unused.
 * Null on failure (logged). Close it with VXQ_F_NETCOM_CloseNetServer. */
VXQ_API VXQ_HNETSRV VXQ_F_NETCOM_StartNetServer(int32_t in_iReserved1, int32_t in_iReserved2,
                                                VXQ_PF_NETCOM_CALLBACK in_pfCallback, void *in_pUser);
/* Starts an engine that the caller drives with VXQ_F_NETCOM_DoNetEvent. */
VXQ_API VXQ_HNETSRV VXQ_F_NETCOM_StartNetServerByNoThread(VXQ_PF_NETCOM_CALLBACK in_pfCallback, void *in_pUser);
/* One pass (wait up to in_iTimeoutMs, then accept, read, write); sleeps the
 * time-out when no socket is open. Ignored (0) for an engine with a thread,
 * and from inside a pass (its callback). */
VXQ_API int VXQ_F_NETCOM_DoNetEvent(VXQ_HNETSRV in_hNetSrv, int32_t in_iTimeoutMs);
/* Ends the current (or the next) wait of an engine pass at once, so work
 * queued for the thread that drives the engine is seen without waiting out
 * the time-out. Any thread, also for a ByNoThread engine. 1, or 0 for null. */
VXQ_API int VXQ_F_NETCOM_WakeUp(VXQ_HNETSRV in_hNetSrv);
/* Stops the engine, closes every socket, frees queued data and the handle. Null is ignored. */
VXQ_API int VXQ_F_NETCOM_CloseNetServer(VXQ_HNETSRV in_hNetSrv);
/* A stored value with no effect on the engine. */
VXQ_API int VXQ_F_NETCOM_SetMaxSendBufferSize(VXQ_HNETSRV in_hNetSrv, int32_t in_iBytes);
VXQ_API int32_t VXQ_F_NETCOM_GetMaxSendBufferSize(VXQ_HNETSRV in_hNetSrv);
/* Notification is chosen per send: Set has no effect, Get returns 1. */
VXQ_API int VXQ_F_NETCOM_SetSendCompleteNotify(VXQ_HNETSRV in_hNetSrv, int32_t in_bNotify);
VXQ_API int VXQ_F_NETCOM_GetSendCompleteNotify(VXQ_HNETSRV in_hNetSrv);

/* Listens on *inout_pPort (0 = the system picks one and it is written back);
 * writes the port id. A UDP listener needs out_pPortId. */
VXQ_API int VXQ_F_NETCOM_StartTcpListen(VXQ_HNETSRV in_hNetSrv, uint16_t *inout_pPort, uint32_t *out_pPortId);
VXQ_API int VXQ_F_NETCOM_StartUdpListen(VXQ_HNETSRV in_hNetSrv, uint16_t *inout_pPort, uint32_t *out_pPortId);
/* Close a listener by local port, or by port id. 1 when one was closed. */
VXQ_API int VXQ_F_NETCOM_CloseTcpListen(VXQ_HNETSRV in_hNetSrv, uint16_t in_usPort);
VXQ_API int VXQ_F_NETCOM_CloseUdpListen(VXQ_HNETSRV in_hNetSrv, uint16_t in_usPort);
VXQ_API int VXQ_F_NETCOM_CloseTcpListenByPortId(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId);
VXQ_API int VXQ_F_NETCOM_CloseUdpListenByPortId(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId);
/* Starts an outgoing connection; its outcome comes as CONNECT_RESULT or DISCONNECT. */
VXQ_API int VXQ_F_NETCOM_AddTcpConnect(VXQ_HNETSRV in_hNetSrv, const char *in_pIpaddr, uint16_t in_usPort,
                                       uint32_t *out_pPortId);
/* Closes a connection and drops its queue; no DISCONNECT follows. 1 if the id was valid. */
VXQ_API int VXQ_F_NETCOM_CloseTcpConnect(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId);

/* Queue a copy of in_iDataLen (> 0) bytes on a connection (data type 0, or
 * in_iDataType). With in_dwNotify set, SEND_COMP_NOTIFY carrying
 * in_dwUserData follows once the last byte is written. 1 = queued. */
VXQ_API int VXQ_F_NETCOM_SendTcpData(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId, const char *in_pData,
                                     int32_t in_iDataLen, uint32_t in_dwReserved, uint32_t in_dwUserData,
                                     uint32_t in_dwNotify);
VXQ_API int VXQ_F_NETCOM_SendTcpDataEx(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId, const char *in_pData,
                                       int32_t in_iDataLen, int32_t in_iDataType, uint32_t in_dwReserved,
                                       uint32_t in_dwUserData, uint32_t in_dwNotify);
/* Queue one datagram item for in_pPeerIpaddr:in_usPeerPort on a UDP listener. */
VXQ_API int VXQ_F_NETCOM_SendUdpData(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId, const char *in_pPeerIpaddr,
                                     uint16_t in_usPeerPort, const char *in_pData, int32_t in_iDataLen,
                                     uint32_t in_dwReserved, uint32_t in_dwUserData, uint32_t in_dwNotify);

/* Items queued on the socket (all, or of one data type); 0 for an unknown id. */
VXQ_API int32_t VXQ_F_NETCOM_QuerySendQueueSize(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId);
VXQ_API int32_t VXQ_F_NETCOM_QuerySendQueueSizeEx(VXQ_HNETSRV in_hNetSrv, int32_t in_iDataType,
                                                  uint32_t in_dwPortId);
/* Bytes still to send in the items of one data type (-1 = all types), capped at INT32_MAX. */
VXQ_API int32_t VXQ_F_NETCOM_StatSendQueueDataTotalLen(VXQ_HNETSRV in_hNetSrv, int32_t in_iDataType,
                                                       uint32_t in_dwPortId);
/* Drops every queued item except a head already partly written (the stream stays whole). */
VXQ_API int VXQ_F_NETCOM_ClearSendQueueData(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId);
/* Reception switch: while 0 the socket is not read and data waits in the kernel. */
VXQ_API int VXQ_F_NETCOM_SetRecvDataState(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId, int32_t in_bOn);
VXQ_API int VXQ_F_NETCOM_GetRecvDataState(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId);
/* Broadcast permission of a UDP listener (0 for other sockets). Get returns the
 * stored flag and leaves out_pbOn untouched. */
VXQ_API int VXQ_F_NETCOM_SetBroadcastFlag(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId, int32_t in_bOn);
VXQ_API int VXQ_F_NETCOM_GetBroadcastFlag(VXQ_HNETSRV in_hNetSrv, uint32_t in_dwPortId, int32_t *out_pbOn);

/* Takes the oldest record into in_pBuf (size in *inout_pLen on entry, record
 * length on return), waiting up to in_iTimeoutMs. Engines without a callback. */
VXQ_API int VXQ_F_NETCOM_RecvData(VXQ_HNETSRV in_hNetSrv, char *out_pBuf, int32_t *inout_pLen,
                                  int32_t in_iTimeoutMs);
/* As RecvData into a buffer the call makes and grows as needed: start with
 * *inout_ppBuf null and *inout_pBufSize 0 and pass the same two variables to
 * every call, so one buffer takes records of any size; *out_pLen is the
 * record's length. The buffer stays the caller's until it is given to
 * VXQ_F_NETCOM_ReleaseDataBuf. */
VXQ_API int VXQ_F_NETCOM_RecvDataEx(VXQ_HNETSRV in_hNetSrv, char **inout_ppBuf, int32_t *inout_pBufSize,
                                    int32_t *out_pLen, int32_t in_iTimeoutMs);
/* Frees a buffer filled by VXQ_F_NETCOM_RecvDataEx: pass the buffer itself
 * (the pointer RecvDataEx wrote), not its address. Null does nothing. */
VXQ_API void VXQ_F_NETCOM_ReleaseDataBuf(char *in_pBuf);
/* The record queue's read event (for a wait object), or null. */
VXQ_API VXQ_HEVENT VXQ_F_NETCOM_GetRecvHandle(VXQ_HNETSRV in_hNetSrv);
/* Records waiting; -1 for a null engine, -2 for an engine with a callback. */
VXQ_API int32_t VXQ_F_NETCOM_QueryRecvQueueSize(VXQ_HNETSRV in_hNetSrv);

VXQ_EXTERN_C_END

#endif /* VXQ_NETCOM_H */
