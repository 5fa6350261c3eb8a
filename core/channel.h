/*
 * core/channel.h - the application message channel to the host and the transactions.
 *
 * Events go up: the control thread puts a copy of each into hCallbackQueue and
 * the callback thread hands it to the host's event callback. Orders come down:
 * host threads post copies into hOrderQueue and the control thread dispatches
 * each by its order id (VXQ_F_DPS_MW_DoOrderData, through the instance's
 * table of function ids, core/functab.h). A client request that needs
 * the host's answer is parked as a _VXQ_S_DPS_TRANS_DATA (a copy of the whole
 * request) in the instance's 2048-entry transaction table until the answering
 * order comes, or for at most 120 s.
 *
 * Control thread only, except VXQ_F_DPS_MC_PostControlWork and
 * VXQ_F_DPS_QueryTransUser (any thread: the table's entries change under the
 * instance's hTransLock, and that reader takes it).
 * The transaction table owns its records and their request copies. Event and
 * order buffers passed in stay the caller's: queues copy them.
 * Invariant: a transaction id is (random 16 bits << 16) | table index; a lookup
 * compares the whole id, so an answer for an expired or reused slot finds nothing.
 */
#ifndef VXQ_CORE_CHANNEL_H
#define VXQ_CORE_CHANNEL_H

#include "core/conn.h"
#include "core/functab.h"

#ifdef __cplusplus
extern "C" {
#endif

#define VXQ_DPS_APP_MSG_HEAD_LEN 16   /* sizeof(_VXQ_S_DPS_MSG_HEAD) */
#define VXQ_DPS_TRANS_TIMEOUT_SEC 120 /* a transaction of this age is deleted */

typedef struct _VXQ_S_DPS_TRANS_DATA {
    uint32_t dwTransId;   /* (random 16 bits << 16) | table index */
    uint32_t dwPortId;    /* connection that asked */
    uint16_t usMsgFuncId; /* function id of the request */
    int32_t tCreateTime;  /* seconds */
    char *pRequDataBuf;   /* copy of the whole request, later the answer */
    int32_t iRequDataBufSize;
    int32_t iRequDataLen;
    /* The user behind the request when it was parked (VXQ_F_DPS_QueryTransUser). */
    uint32_t bUserKnown;  /* 1: the connection carried a login */
    uint32_t dwGlobalPop; /* the user's global rights word */
    char sUserName[32];   /* as logged in; not terminated at 32 characters */
} _VXQ_S_DPS_TRANS_DATA;

/* Work a host thread asks the control thread to do: runs with the instance and a
 * copy of the argument bytes given at posting time (valid during the call only). */
typedef void (*VXQ_PF_DPS_CONTROL_WORK)(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, const uint8_t *in_pArg,
                                        int32_t in_iArgLen);

/* Internal order id that carries control work; never a host order id. */
#define VXQ_DPS_ORDER_CONTROL_WORK 0x7F01
#define VXQ_DPS_CONTROL_WORK_MAX_ARG 64

/* Any thread: posts in_fnWork with a copy of at most 64 argument bytes on the
 * order queue (waiting up to 5000 ms for room, not at all inside a host
 * callback: core/hostcall.h); the control thread runs it in order with the
 * host's orders, after the work in hand. 1 queued, 0 on a bad argument or a
 * full queue. Work that releases connections (for example the media budget
 * release of VXQ_F_DPS_ControlMediaResource) must come this way. */
int VXQ_F_DPS_MC_PostControlWork(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, VXQ_PF_DPS_CONTROL_WORK in_fnWork,
                                 const void *in_pArg, int32_t in_iArgLen);
/* As PostControlWork, waiting up to in_iWaitMs for room, the order counting
 * in_llCounted bytes toward the order queue's total (-1: its own length), for
 * work that carries data by reference (a frame of the input call). in_fnDrop
 * (may be null) is called instead of in_fnWork, with the same argument, when
 * the instance stops with the work still queued: it releases what the
 * argument owns. */
int VXQ_F_DPS_MC_PostControlWorkEx(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, VXQ_PF_DPS_CONTROL_WORK in_fnWork,
                                   VXQ_PF_DPS_CONTROL_WORK in_fnDrop, const void *in_pArg, int32_t in_iArgLen, int32_t in_iWaitMs,
                                   int64_t in_llCounted);

/* At stop, after the control thread ended: empties the order queue, the
 * host's orders unrun, each control work's drop function called. */
void VXQ_F_DPS_MC_DropOrders(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);

/* Queues a copy of one event (head and body) for the callback thread without
 * waiting. The queue's result; 0 for a null message, a length below 1 or a full queue. */
int VXQ_F_DPS_MC_SentProEventToUpApp(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, const uint8_t *in_pMsg,
                                     int32_t in_iLength);
/* Builds an event of head + in_iBodyLen bytes (ucMsgType and ucResult 0) and
 * queues it as above; the common tail of every VXQ_F_DPS_MC_SentProEvent_*. */
int VXQ_F_DPS_MC_SentProEventBody(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iMsgFuncId,
                                  uint32_t in_dwTransId, const void *in_pBody, int32_t in_iBodyLen);

/* Takes the first free entry (index 0 up), zeroed, with dwTransId and
 * tCreateTime set. Null when all 2048 are in use or memory is short. */
_VXQ_S_DPS_TRANS_DATA *VXQ_F_DPS_MC_Trans_CreateTransData(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);
/* As above, storing the port id, the function id, a copy of the request and
 * the user behind it: the user of the command connection that holds the login
 * id of the connection in_dwPortId (none when it carries no login). */
_VXQ_S_DPS_TRANS_DATA *VXQ_F_DPS_MC_Trans_CreateTransDataOfLinkData(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                                    uint32_t in_dwPortId,
                                                                    uint16_t in_usMsgFuncId,
                                                                    const uint8_t *in_pRequest,
                                                                    int32_t in_iLength);
/* The transaction whose whole id matches, or null. */
_VXQ_S_DPS_TRANS_DATA *VXQ_F_DPS_MC_Trans_QueryTransDataByTransId(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData,
                                                                  uint32_t in_dwTransId);
/* Clears its entry, frees the copy and the record; a record not in the table is left alone. */
void VXQ_F_DPS_MC_Trans_DeleteTransData(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                        _VXQ_S_DPS_TRANS_DATA *in_pTrans);
void VXQ_F_DPS_MC_Trans_ReleaseAllTransData(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);
/* Sum of the copies' capacities plus the records' own size. */
int32_t VXQ_F_DPS_MC_StatTransDataTotalLen(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData);

/* The order dispatcher: one order of in_iLength bytes from the order queue. */
int VXQ_F_DPS_MW_DoOrderData(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                             int32_t in_iLength);

/* Head access of application messages (16-byte head, host byte order). */
int32_t VXQ_F_DPS_MC_MsgHead_FuncId(const uint8_t *in_pMsg);
uint32_t VXQ_F_DPS_MC_MsgHead_TransId(const uint8_t *in_pMsg);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_CORE_CHANNEL_H */
