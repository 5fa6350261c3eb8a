/*
 * ops/maint.h - custom messages, remote maintenance and firmware upgrade.
 *
 * Relays to the host, as EVENT_E7_* events, a client's custom messages, its
 * ability query, reboot and stop, and the upgrade requests (version query,
 * upgrade announcement, data pieces, progress and position queries). The
 * service reads none of the contents and keeps no upgrade state: every request
 * is one transaction, answered when the host's order comes; reboot and stop are
 * notices answered at once. The upgrade answers check that the parked request
 * has the function id they answer, so an order naming the transaction of
 * another request is dropped.
 *
 * Control thread only. The request handlers are declared in
 * protocol/dispatch.h and entered in its request table (which requires a
 * logged-in connection for custom messages and refuses every request shorter
 * than the fixed part its answer is built on); the answer handlers below are
 * entered in the order table (core/ordertab.cpp).
 */
#ifndef VXQ_OPS_MAINT_H
#define VXQ_OPS_MAINT_H

#include "protocol/dispatch.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Request handlers (VXQ_PF_DPS_NETMSG_HANDLER), entered in the function table. */
VXQ_DPS_DECLARE_NETMSG_HANDLER(PA_CUSTOM);
VXQ_DPS_DECLARE_NETMSG_HANDLER(PB_RMY_QUERY_ABILITY);
VXQ_DPS_DECLARE_NETMSG_HANDLER(PB_RMY_REBOOT);
VXQ_DPS_DECLARE_NETMSG_HANDLER(PB_RMY_STOP);
VXQ_DPS_DECLARE_NETMSG_HANDLER(PB_DUP_QUERY_DEV_VER_INFO);
VXQ_DPS_DECLARE_NETMSG_HANDLER(PB_DUP_REQU_UPGRADE);
VXQ_DPS_DECLARE_NETMSG_HANDLER(PB_DUP_QUERY_PROGRESS);
VXQ_DPS_DECLARE_NETMSG_HANDLER(PB_DUP_QUERY_TRANS_POS);
VXQ_DPS_DECLARE_NETMSG_HANDLER(PB_DUP_UPGRADE_DATA);

/* Fixed parts of the requests (whole messages, head included) that the answers keep. */
#define VXQ_DPS_CUSTOM_FIXED_LEN 28
#define VXQ_DPS_ABILITY_FIXED_LEN 32
#define VXQ_DPS_RMY_MSG_LEN 24               /* reboot and stop */
#define VXQ_DPS_DEV_VER_INFO_MSG_LEN 48
#define VXQ_DPS_REQU_UPGRADE_MSG_LEN 36
#define VXQ_DPS_DUP_QUERY_MSG_LEN 28         /* progress and position queries */
#define VXQ_DPS_UPGRADE_DATA_FIXED_LEN 28    /* the data piece before its data, and its answer */

/* Event builders: queue the event for the host with the transaction id given
 * (0 for reboot and stop). Data pointers may be null when their length is 0.
 * 1 queued, 0 when the callback queue is full, memory is short or the
 * instance is null. */
int VXQ_F_DPS_MC_SentProEvent_EVENT_E7_CUSTOM(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwTransId,
                                              uint32_t in_dwCustomFuncId, const void *in_pData,
                                              int32_t in_iDataLen);
int VXQ_F_DPS_MC_SentProEvent_EVENT_E7_RMY_QUERY_ABILITY(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                         uint32_t in_dwTransId, uint32_t in_dwAbility);
int VXQ_F_DPS_MC_SentProEvent_EVENT_E7_RMY_REBOOT(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwTransId);
int VXQ_F_DPS_MC_SentProEvent_EVENT_E7_RMY_STOP(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwTransId);
int VXQ_F_DPS_MC_SentProEvent_EVENT_E7_DUP_QUERY_DEV_VER_INFO(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                              uint32_t in_dwTransId);
int VXQ_F_DPS_MC_SentProEvent_EVENT_E7_DUP_REQU_UPGRADE(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                        uint32_t in_dwTransId, uint16_t in_usValue1,
                                                        uint16_t in_usValue2, uint32_t in_dwValue);
int VXQ_F_DPS_MC_SentProEvent_EVENT_E7_DUP_QUERY_PROGRESS(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                          uint32_t in_dwTransId, uint32_t in_dwParam);
int VXQ_F_DPS_MC_SentProEvent_EVENT_E7_DUP_QUERY_TRANS_POS(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                           uint32_t in_dwTransId, uint32_t in_dwParam);
int VXQ_F_DPS_MC_SentProEvent_EVENT_E7_DUP_UPGRADE_DATA(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                        uint32_t in_dwTransId, uint32_t in_dwParam,
                                                        const void *in_pData, int32_t in_iDataLen);

/* Answer (order) handlers, same contract as VXQ_PF_DPS_ORDER_HANDLER. The
 * answers of reboot and stop are accepted without action by the order table. */
int VXQ_F_DPS_MW_DoOrder_EVENT_E7_CUSTOM(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                         int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E7_RMY_QUERY_ABILITY(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                                    int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E7_DUP_QUERY_DEV_VER_INFO(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                         uint8_t *inout_pOrder, int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E7_DUP_REQU_UPGRADE(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                                   int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E7_DUP_QUERY_PROGRESS(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                     uint8_t *inout_pOrder, int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E7_DUP_QUERY_TRANS_POS(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                      uint8_t *inout_pOrder, int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E7_DUP_UPGRADE_DATA(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                                   int32_t in_iLength);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_OPS_MAINT_H */
