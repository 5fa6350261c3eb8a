/*
 * core/control.h - the control thread, the callback thread and the timer duties.
 *
 * The control thread loops: one engine pass (20 ms select), whose records
 * (connects, data, disconnects, completion notices) the engine hands to
 * VXQ_F_DPS_MC_DoNetRecord at once, inside the pass; then the host's orders,
 * at most 100 at a time with a socket pass and the timer after every 100;
 * then the timer:
 * a 1 s duty (heartbeat supervision at 60 s, talk supervision, transaction
 * expiry at 120 s, statistics lines every 5 s, debug switches back after 10 s)
 * and a 100 ms duty (log records to trace clients). The callback thread waits
 * up to 100 ms for one event and hands it to the host's event callback.
 *
 * Each function belongs to the thread named in its comment. Time rules read
 * VXQ_F_CLOCK_NowSec / VXQ_F_CLOCK_TickMs. No per-item allocation: queue reads
 * go into the instance's two reused work buffers, and engine records are read
 * where the engine built them.
 */
#ifndef VXQ_CORE_CONTROL_H
#define VXQ_CORE_CONTROL_H

#include "core/instance.h"

#ifdef __cplusplus
extern "C" {
#endif

#define VXQ_DPS_HEARTBEAT_TIMEOUT_SEC 60
#define VXQ_DPS_DEBUG_PARAM_SEC 10
#define VXQ_DPS_LOG_RECORD_LEN 536       /* a log writer record; its text starts at 24 */
#define VXQ_DPS_LOG_RECORD_TEXT_OFFSET 24

/* Host thread (start): sets bThreadRun and creates the control thread. 1/0. */
int VXQ_F_DPS_MC_StartThread(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);
/* Clears bThreadRun and waits for the thread (5000 ms poll, then join). */
void VXQ_F_DPS_MC_QuitThread(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);
/* Host thread (start): sets bCallbackThreadRun and creates the callback thread. 1/0. */
int VXQ_F_DPS_MC_Callback_StartThread(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);
void VXQ_F_DPS_MC_Callback_QuitThread(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);

/* Thread bodies; the argument is the instance. */
void VXQ_F_DPS_MC_ThreadWork(void *in_pMcSrvData);
void VXQ_F_DPS_MC_Callback_ThreadWork(void *in_pMcSrvData);

/* Control thread: the host's orders, at most 100 between socket passes; returns
 * when the order queue is empty. */
void VXQ_F_DPS_MC_DoEvent(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iTimeoutMs);
/* Control thread: takes one item of in_hQueue into the instance's reused work
 * buffer (pWorkBuf, iWorkDataLen) without waiting. 1 if one came. */
int VXQ_F_DPS_MC_TakeWorkItem(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, VXQ_HQUEUE in_hQueue);
/* Control thread: take one order and handle it. 1 if one came. */
int VXQ_F_DPS_MC_DoOrderQueue(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);
/* Control thread: dispatches one engine record (64-byte head and its data),
 * inside the engine pass (the engine's sink) or from a test. */
void VXQ_F_DPS_MC_DoNetRecord(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pRecord,
                              int32_t in_iLength);
/* Control thread: the 1 s and 100 ms duties when due. */
void VXQ_F_DPS_MC_DoTimer(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);
/* Control thread: heartbeat supervision over the connection table, and the
 * families' per-connection second duties (core/hooks.h) for the rest. */
void VXQ_F_DPS_MC_DoClientState(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);
/* Control thread: deletes every transaction 120 s old or older, silently. */
void VXQ_F_DPS_MC_DoTransState(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);
/* Callback thread: statistics line when due, then one event to the host. 1 if one was delivered. */
int VXQ_F_DPS_MC_Callback_DoEvent(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iTimeoutMs);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_CORE_CONTROL_H */
