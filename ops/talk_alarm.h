/*
 * ops/talk_alarm.h - voice talk, arming and alarm push.
 *
 * Owns the behaviour of the instance's 65-slot talk channel table (tTalkCh in
 * core/instance.h; slot = channel number, 10000 -> slot 64 when bSpecialChFlag
 * is set) and of the connections' bGuard flags, and the running number of the
 * extended alarm ids (dwAlarmId). A talk start raises its event without a
 * transaction: the client's request number (head offset 12) travels as the
 * event's transaction id and is kept in the talk connection's tTalk, so a
 * start answer is taken only by the talk that asked for it.
 *
 * Threads: everything here runs on the control thread, except the exported
 * VXQ_F_DPS_UpAlarmMsg / VXQ_F_DPS_SendAlarmMsg (vxq_dps.h), which only queue a
 * copy of their order. A talk is closed by VXQ_F_DPS_MC_CloseTalk, which drops
 * its connection: callers must not use that connection record afterwards.
 */
#ifndef VXQ_OPS_TALK_ALARM_H
#define VXQ_OPS_TALK_ALARM_H

#include "protocol/dispatch.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Request handlers (VXQ_PF_DPS_NETMSG_HANDLER), entered in the function table. */
VXQ_DPS_DECLARE_NETMSG_HANDLER(P4_TALK_START);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P4_TALK_STOP);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P5_GUARD);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P5_UNGUARD);
VXQ_DPS_DECLARE_NETMSG_HANDLER(PE_AUDIO_FRAME);

/* Wire lengths of this family (whole messages, head included). */
#define VXQ_DPS_TALK_START_RESP_LEN 44
#define VXQ_DPS_ALARM_NOTICE_LEN 172
#define VXQ_DPS_EX_ALARM_NOTICE_LEN 200
#define VXQ_DPS_AUDIO_FRAME_HEAD_LEN 32 /* head and the 12 body bytes before the audio */

/* Talk channel states (iChState). */
#define VXQ_DPS_TALK_IDLE 0
#define VXQ_DPS_TALK_WAIT_HOST 2
#define VXQ_DPS_TALK_TALKING 3

/* Talk supervision: a talk waiting for the host this long is stopped, and so
 * is a talk whose client sent no audio for this long (seconds). */
#define VXQ_DPS_TALK_WAIT_HOST_SEC 60
#define VXQ_DPS_TALK_AUDIO_SILENCE_SEC 120

/* Event builders: queue the event for the host (transaction id as given, 0 for
 * a notice). 1 queued, 0 when the callback queue is full. */
int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_TALK_START(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                  uint32_t in_dwTransId, int32_t in_iTalkChNo);
int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_TALK_STOP(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 uint32_t in_dwTransId, int32_t in_iTalkChNo);
int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_GUARD(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwTransId);
int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_UNGUARD(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                               uint32_t in_dwTransId);

/* The talk record of a talk channel number, or null for a number that selects
 * no slot (outside 0..64, or 10000 without bSpecialChFlag). */
_VXQ_S_DPS_TALK_CH_DATA *VXQ_F_DPS_MC_QueryTalkChData(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData,
                                                      int32_t in_iTalkChNo);

/* Builds the 44-byte start response from the talk record (function id 0x0401,
 * answer, in_ucResult, head offset 12 = in_dwTransValue) and sends it on the
 * talk connection. 0 when that connection is gone or the send fails. */
int VXQ_F_DPS_MC_SendStartTalkRespMsg(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                      const _VXQ_S_DPS_TALK_CH_DATA *in_pTalk, uint32_t in_dwTransValue,
                                      uint8_t in_ucResult);
/* Deletes the talk connection (if it still exists; no event is raised) and
 * clears the talk record. Returns 1 (0 for null arguments). */
int VXQ_F_DPS_MC_CloseTalk(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_TALK_CH_DATA *inout_pTalk);
/* Clears the talk record of a channel number, leaving its connection alone.
 * 0 for a number that selects no slot, else 1. */
int VXQ_F_DPS_MC_ClientCloseTalkCh(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iTalkChNo);

/* Answer (order) handlers of this family, entered in its lines of the
 * function table (ops/functab.cpp); same contract as VXQ_PF_DPS_ORDER_HANDLER. */
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_TALK_START(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                             int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_TALK_STOP(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                            int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_GUARD(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                        int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_UNGUARD(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                          int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_ALARM_INFO(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                             int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_EX_ALARM_INFO(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                uint8_t *inout_pOrder, int32_t in_iLength);

/* Registers the connection release (the connection's talk, its guard) and the
 * talk supervision of the 1 s duty. */
void VXQ_F_DPS_MC_TALK_Install(_VXQ_S_DPS_HOOKS *inout_pHooks);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_OPS_TALK_ALARM_H */
