/*
 * ops/live.h - the live view family: opening and closing streams, stream
 * control, and the relayed PTZ, forced I-frame and quality requests (lines of
 * the function table, ops/functab.cpp, with their bodies in ops/live_event.cpp).
 *
 * Control thread only: requests come from the dispatcher, answers from the
 * order dispatcher, so a request and its answer never run at the same time.
 * Event builders copy their arguments into the callback queue; order handlers
 * may rewrite the order buffer but never keep it. A request parked for the
 * host's answer lives in a transaction (core/channel.h) or, for an open that
 * waits for the stream, in the connection's pWaitRespBuf.
 */
#ifndef VXQ_OPS_LIVE_H
#define VXQ_OPS_LIVE_H

#include "ops/relay.h"
#include "protocol/dispatch.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Request handlers (VXQ_PF_DPS_NETMSG_HANDLER), entered in the function table. */
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_REALPLAY_OPEN);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_REALPLAY_CLOSE);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_EX_REALPLAY_OPEN);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_EX_REALPLAY_CLOSE);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_CTRL_STREAM);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_ONLY_I_FRAME);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_RM_REALPLAY_OPEN);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_RM_REALPLAY_CLOSE);
/* Event bodies of the relayed requests (PTZ, forced I-frame, the quality ones). */
VXQ_DPS_DECLARE_RELAY_BODY(Ptz);
VXQ_DPS_DECLARE_RELAY_BODY(ForceIFrame);
VXQ_DPS_DECLARE_RELAY_BODY(Quality);

/* Events the opens raise (no transaction: id 0). Each returns the callback queue's result. */
int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_OPEN_MEDIA_STREAM(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                         int32_t in_iChNo, int32_t in_iStreamNo);
int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FORCE_I_FRAME(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                     int32_t in_iChNo, int32_t in_iStreamNo);

/* Order handlers: the whole order of in_iLength bytes (head and body, host
 * byte order). 1 handled, 0 dropped (logged). */
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_OPEN_MEDIA_STREAM(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                    uint8_t *inout_pOrder, int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_CLOSE_MEDIA_STREAM(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                     uint8_t *inout_pOrder, int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_GET_VIDEO_QUALITY_CAP(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                        uint8_t *inout_pOrder, int32_t in_iLength);

/* Registers the connection release: a viewer leaves its sub-channel. */
void VXQ_F_DPS_MC_LIVE_Install(_VXQ_S_DPS_HOOKS *inout_pHooks);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_OPS_LIVE_H */
