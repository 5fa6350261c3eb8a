/*
 * core/hooks.h - what the layers above the core register with an instance.
 *
 * The core (connections, control thread, timers, engine records) never calls
 * a higher layer by name. Where it must tell one something (a connection is
 * released, a second passed, a whole message or a datagram arrived, a send
 * completed, the table is full, a log line is ready), it calls the function
 * that layer put into this record of the instance, the way lwIP calls its
 * callbacks and nginx runs its cleanup handlers. The record is fixed: no
 * allocation; each list keeps its functions in the order they were added, and
 * the composition layer (service/service.h) installs the families in one
 * fixed order, which is the order the lists run in.
 *
 * The record also holds the one table the families fill, the table of
 * function ids (pFuncTable, core/functab.h), through which the dispatchers of
 * requests and orders learn what each id means without naming a family.
 *
 * An empty slot is skipped: the core then does only its own part (a message
 * with no sink is dropped, a released connection is only deleted). The three
 * send seams are not hooks of the core but of the layers that send (session,
 * direct path, frame cache): null means the engine, a test may put a fake there.
 *
 * Threads: filled on the starting thread before the control thread starts,
 * read-only afterwards; every hook runs on the control thread.
 */
#ifndef VXQ_CORE_HOOKS_H
#define VXQ_CORE_HOOKS_H

#include "vxq_dps.h"

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct _VXQ_S_DPS_NET_PORT_DATA;          /* core/conn.h */
struct _VXQ_S_NETCOM_DATA_HEAD;           /* vxq_netcom.h */
struct _VXQ_S_DPS_FUNC_TABLE;             /* core/functab.h */

/* Most functions of one hook list. */
#define VXQ_DPS_HOOK_LIST_MAX 8

/* A connection hook: the instance and one connection of its table. */
typedef void (*VXQ_PF_DPS_CONN_HOOK)(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                     struct _VXQ_S_DPS_NET_PORT_DATA *inout_pConn);
/* A duty of the instance (timers, start and stop). */
typedef void (*VXQ_PF_DPS_DUTY_HOOK)(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);
/* One whole client message (at least 20 bytes, flag checked) cut from the
 * connection's reassembly buffer; see VXQ_F_DPS_MW_DoSingleNetDataPacket. */
typedef int (*VXQ_PF_DPS_MESSAGE_HOOK)(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                       struct _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                       int32_t in_iLength);
/* One datagram of the management socket with the engine record's head; the
 * data may be rewritten into the answer. */
typedef int (*VXQ_PF_DPS_DATAGRAM_HOOK)(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                        const struct _VXQ_S_NETCOM_DATA_HEAD *in_pHead, uint8_t *inout_pData,
                                        int32_t in_iDataLen);
/* One finished log line (zero-terminated text). */
typedef int (*VXQ_PF_DPS_LOG_LINE_HOOK)(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, const char *in_sText);
/* A step of the instance that may fail or decline: 1 done, 0 not. */
typedef int (*VXQ_PF_DPS_STEP_HOOK)(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);
/* Queues one whole message on a connection with a send class (the signature
 * of VXQ_F_DPS_MC_SentNetData); 1 queued or dropped by the budget. */
typedef int (*VXQ_PF_DPS_NET_SEND)(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                   struct _VXQ_S_DPS_NET_PORT_DATA *in_pConn, uint8_t *inout_pMsg,
                                   int32_t in_iLength, int32_t in_iSendClass);
/* Hands one built frame message to the engine for a viewer, asking for a
 * completion notice that carries in_dwSendSeq. 1 accepted, 0 refused. */
typedef int (*VXQ_PF_DPS_MEDIA_NET_SEND)(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                         struct _VXQ_S_DPS_NET_PORT_DATA *in_pConn, const uint8_t *in_pMsg,
                                         int32_t in_iMsgLen, uint32_t in_dwSendSeq);

typedef struct _VXQ_S_DPS_HOOKS {
    /* A connection is released (it went away or the service drops it): each
     * runs in turn, after the session's own connections were dropped and
     * before the record is deleted; a hook sees the record whole and releases
     * only what its family holds on it. Caller: core/conn. */
    VXQ_PF_DPS_CONN_HOOK fnConnGone[VXQ_DPS_HOOK_LIST_MAX];
    int32_t iConnGoneNum;
    /* Once a second, for each connection the heartbeat check kept, in table
     * order; a hook may drop the connection. Caller: core/control. */
    VXQ_PF_DPS_CONN_HOOK fnConnSecond[VXQ_DPS_HOOK_LIST_MAX];
    int32_t iConnSecondNum;
    /* Once a second, after the connection walk. Caller: core/control. */
    VXQ_PF_DPS_DUTY_HOOK fnSecond[VXQ_DPS_HOOK_LIST_MAX];
    int32_t iSecondNum;
    /* Every 100 ms, after the log lines went out. Caller: core/control. */
    VXQ_PF_DPS_DUTY_HOOK fnTick[VXQ_DPS_HOOK_LIST_MAX];
    int32_t iTickNum;

    /* The message sink: every whole message framed on a connection. Caller: core/conn. */
    VXQ_PF_DPS_MESSAGE_HOOK fnMessage;
    /* The datagram sink: DATA records of the management UDP port. Caller: core/control. */
    VXQ_PF_DPS_DATAGRAM_HOOK fnDatagram;
    /* The log-line sink: each line the log writer queued for the service. Caller: core/control. */
    VXQ_PF_DPS_LOG_LINE_HOOK fnLogLine;
    /* A send with a completion notice finished on this connection (the
     * engine's SEND_COMP_NOTIFY record). Caller: core/conn. */
    VXQ_PF_DPS_CONN_HOOK fnSendDone;
    /* The connection table is full and a connection arrives: make room if the
     * rules allow (1 when one was dropped). Caller: core/conn. */
    VXQ_PF_DPS_STEP_HOOK fnMakeRoom;
    /* The media sub-channel table: made at start (1/0), released and freed at
     * stop after the connections and transactions. Caller: core/instance. */
    VXQ_PF_DPS_STEP_HOOK fnMediaStart;
    VXQ_PF_DPS_DUTY_HOOK fnMediaStop;

    /* The function ids the families know (core/functab.h): the request
     * dispatcher (protocol/dispatch) and the order dispatcher (core/channel)
     * look every id up here; null: every request and order is unknown. */
    const struct _VXQ_S_DPS_FUNC_TABLE *pFuncTable;

    /* Send seams (null: the engine). fnNetSend carries every answer of the
     * session and the request families (protocol/dispatch), fnDirectSend the
     * frames of the direct path (media/direct), fnFrameSend the frame
     * messages of the frame cache (media/cache; while set, every frame message
     * is built whole and shown to it). */
    VXQ_PF_DPS_NET_SEND fnNetSend;
    VXQ_PF_DPS_NET_SEND fnDirectSend;
    VXQ_PF_DPS_MEDIA_NET_SEND fnFrameSend;
} _VXQ_S_DPS_HOOKS;

/* Add a function at the end of a list; 0 (logged) when the list is full. */
int VXQ_F_DPS_MC_Hooks_AddConnGone(_VXQ_S_DPS_HOOKS *inout_pHooks, VXQ_PF_DPS_CONN_HOOK in_fnHook);
int VXQ_F_DPS_MC_Hooks_AddConnSecond(_VXQ_S_DPS_HOOKS *inout_pHooks, VXQ_PF_DPS_CONN_HOOK in_fnHook);
int VXQ_F_DPS_MC_Hooks_AddSecond(_VXQ_S_DPS_HOOKS *inout_pHooks, VXQ_PF_DPS_DUTY_HOOK in_fnHook);
int VXQ_F_DPS_MC_Hooks_AddTick(_VXQ_S_DPS_HOOKS *inout_pHooks, VXQ_PF_DPS_DUTY_HOOK in_fnHook);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_CORE_HOOKS_H */
