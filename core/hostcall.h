/*
 * core/hostcall.h - the calls between the host and the control thread.
 *
 * Owns the one path by which the service calls into the host (user lookup and
 * live view admission on the control thread, events on the callback thread)
 * and the one path by which a host thread has work done on the control thread
 * and waits for its answer.
 *
 * While the control thread is inside a host callback it is marked (a thread
 * local word naming the instance). A host may call any API function from
 * inside a callback: work that must run on the control thread and be waited
 * for runs on the spot instead of being posted to the thread that is busy
 * calling the host (which would wait 5 s for itself), and posts queue without
 * waiting for room. The event callback runs on the callback thread, which the
 * control thread never waits for, so it is not marked: its calls post and wait.
 *
 * Threads as named per function. No memory is kept beyond a call except the
 * answer slot of a control-thread query, shared by the waiter and the work and
 * freed by whichever of the two finishes last.
 */
#ifndef VXQ_CORE_HOSTCALL_H
#define VXQ_CORE_HOSTCALL_H

#include "core/instance.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Longest wait of a host thread for the control thread: room in the order
 * queue, or the answer of a query. */
#define VXQ_DPS_HOST_WAIT_MS 5000

/* Control thread: the user lookup callback for one login. in_sUserName is
 * zero-terminated; *out_ptUser is filled by the host. Its result (nonzero: the
 * user exists), 0 when no callback was given. */
int VXQ_F_DPS_MC_HostQueryUser(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, const char *in_sUserName,
                               _VXQ_S_DPS_USER_INFO *out_ptUser);

/* Control thread: the live view admission callback with the record of login
 * id, channel, stream and action (VXQ_DPS_REALPLAY_CHECK_OPEN or _CLOSE), when
 * the capability record enables it. The host's verdict (nonzero refuses an
 * open), 0 when the callback is not enabled. */
uint32_t VXQ_F_DPS_MC_HostRealplayCheck(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwLoginId,
                                        uint32_t in_dwChNo, uint32_t in_dwStreamNo, uint32_t in_dwAction);

/* Callback thread: one event of in_iLength bytes to the event callback. 1 when
 * it was called, 0 when no callback was given. */
int VXQ_F_DPS_MC_HostEvent(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, const char *in_pMsg, int32_t in_iLength);

/* 1 when the calling thread is the control thread of this instance inside a
 * host callback, else 0. Any thread. */
int VXQ_F_DPS_MC_InsideHostCallback(const _VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData);

/* Milliseconds a host call may wait for room in the order queue: 5000, or 0
 * inside a host callback (only the control thread empties that queue). */
int32_t VXQ_F_DPS_MC_HostPostWaitMs(const _VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData);

/* A question for the control thread: reads in_iArgLen bytes at in_pArg and
 * writes its answer (the size the asker gave) to out_pAnswer. */
typedef void (*VXQ_PF_DPS_CONTROL_QUERY)(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, const void *in_pArg,
                                         int32_t in_iArgLen, void *out_pAnswer);

/* Any host thread: runs in_fnQuery on the control thread and copies its answer
 * (in_iAnswerLen bytes) to out_pAnswer. Inside a host callback it runs at once
 * on the calling thread; otherwise it is posted as control work and waited for
 * up to 5000 ms. The argument bytes are copied. 1 answered; 0 on a bad
 * argument, a full order queue or no answer in time (logged with in_sCaller's
 * name). */
int VXQ_F_DPS_MC_QueryControlThread(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, VXQ_PF_DPS_CONTROL_QUERY in_fnQuery,
                                    const void *in_pArg, int32_t in_iArgLen, void *out_pAnswer,
                                    int32_t in_iAnswerLen, const char *in_sCaller);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_CORE_HOSTCALL_H */
