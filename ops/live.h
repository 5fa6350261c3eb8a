/*
 * ops/live.h - the live view family: events raised to the host and the
 * handlers of the host's answers (orders). The request handlers
 * (VXQ_F_DPS_MW_DoNetMsg_P2_*) are declared with the request table in
 * protocol/dispatch.h; all of them live in ops/live.cpp.
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

#include "protocol/dispatch.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Request handlers (VXQ_PF_DPS_NETMSG_HANDLER), entered in the function table. */
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_REALPLAY_OPEN);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_REALPLAY_CLOSE);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_PTZ);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_FORCE_I_FRAME);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_EX_REALPLAY_OPEN);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_EX_REALPLAY_CLOSE);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_CTRL_STREAM);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_ONLY_I_FRAME);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_GET_VIDEO_QUALITY_CAP);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_GET_VIDEO_QUALITY_LEVEL);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_SET_VIDEO_QUALITY_LEVEL);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_RM_REALPLAY_OPEN);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_RM_REALPLAY_CLOSE);

/* Events (no transaction: id 0). Each returns the callback queue's result. */
int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_OPEN_MEDIA_STREAM(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iChNo,
                                                        int32_t in_iStreamNo);
int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FORCE_I_FRAME(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iChNo,
                                                    int32_t in_iStreamNo);
/* Events answered through the transaction in_dwTransId. */
int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_PTZ_CTRL(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwTransId,
                                               int32_t in_iChNo, int32_t in_iPtzCmd, uint32_t in_dwPtzData,
                                               uint32_t in_dwPtzExtParam1, uint32_t in_dwPtzExtParam2);
int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_GET_VIDEO_QUALITY_CAP(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                            uint32_t in_dwTransId, int32_t in_iChNo,
                                                            int32_t in_iStreamNo);
int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_GET_VIDEO_QUALITY_LEVEL(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                              uint32_t in_dwTransId, int32_t in_iChNo,
                                                              int32_t in_iStreamNo);
int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_SET_VIDEO_QUALITY_LEVEL(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                              uint32_t in_dwTransId, int32_t in_iChNo,
                                                              int32_t in_iStreamNo, uint32_t in_dwLevel);

/* Order handlers: the whole order of in_iLength bytes (head and body, host
 * byte order). 1 handled, 0 dropped (logged). */
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_OPEN_MEDIA_STREAM(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                                   int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_CLOSE_MEDIA_STREAM(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                    uint8_t *inout_pOrder, int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_PTZ_CTRL(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                          int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_FORCE_I_FRAME(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                               int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_GET_VIDEO_QUALITY_CAP(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                       uint8_t *inout_pOrder, int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_GET_VIDEO_QUALITY_LEVEL(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                         uint8_t *inout_pOrder, int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_SET_VIDEO_QUALITY_LEVEL(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                         uint8_t *inout_pOrder, int32_t in_iLength);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_OPS_LIVE_H */
