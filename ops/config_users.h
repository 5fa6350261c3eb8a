/*
 * ops/config_users.h - configuration, network address and user requests.
 *
 * Relays a client's configuration reads and writes (get, set, default, import,
 * export), network information and address change, password change and user
 * add, delete, get and set to the host as EVENT_E3_* events, each parked as a
 * transaction (core/channel.h) until the host answers. Owns no state of its
 * own. The request handlers are declared in protocol/dispatch.h and entered in
 * its request table, which also requires a logged-in connection for the
 * password, network and user requests and the fixed message lengths the
 * answers are built on; the answer handlers below are entered in the order
 * table (core/ordertab.cpp).
 *
 * Control thread only. Answers are built from the parked request: data-carrying
 * answers in a fresh buffer of the new total length (packet size set to it),
 * result-only answers in place. A parked request shorter than its answer's
 * fixed part is never answered (logged); the request table refuses such
 * requests with result 2 before they are parked.
 */
#ifndef VXQ_OPS_CONFIG_USERS_H
#define VXQ_OPS_CONFIG_USERS_H

#include "protocol/dispatch.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Request handlers (VXQ_PF_DPS_NETMSG_HANDLER), entered in the function table. */
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_MODIFY_USER_PWD);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_GET_CONFIG);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_SET_CONFIG);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_GET_DEF_CONFIG);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_IEC_IMP_CONFIG);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_IEC_EXP_CONFIG);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_QUERY_NET_INFO);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_MODIFY_NET_ADDR);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_UNS_ADD_USER);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_UNS_DEL_USER);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_UNS_GET_USER_POP);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_UNS_SET_USER_POP);

/* Fixed parts (whole message, head included) that the answers keep. */
#define VXQ_DPS_GET_CONFIG_FIXED_LEN 32
#define VXQ_DPS_GET_DEF_CONFIG_FIXED_LEN 36
#define VXQ_DPS_IMP_CONFIG_FIXED_LEN 28
#define VXQ_DPS_EXP_CONFIG_FIXED_LEN 28
#define VXQ_DPS_NET_INFO_FIXED_LEN 24 /* head and the card count */
#define VXQ_DPS_USER_POP_MSG_LEN 320  /* get and set user permissions */
#define VXQ_DPS_MAX_CH_POP_NUM 64     /* per-channel permission words */

/* Clamps a per-channel word count to 0..64. */
int32_t VXQ_F_DPS_MW_ClampChPopNum(int32_t in_iChPopNum);

/* Answer (order) handlers; same contract as VXQ_PF_DPS_ORDER_HANDLER. Each
 * translates the host's result first; an order with transaction id 0 sends
 * nothing; the transaction is deleted once found. */
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_MODIFY_USER_PWD(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                  uint8_t *inout_pOrder, int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_GET_CONFIG(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                             int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_SET_CONFIG(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                             int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_GET_DEF_CONFIG(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 uint8_t *inout_pOrder, int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_IEC_IMP_CONFIG(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 uint8_t *inout_pOrder, int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_IEC_EXP_CONFIG(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 uint8_t *inout_pOrder, int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_QUERY_NET_INFO(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 uint8_t *inout_pOrder, int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_MODIFY_NET_ADDR(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                  uint8_t *inout_pOrder, int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_UNS_ADD_USER(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                               int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_UNS_DEL_USER(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                               int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_UNS_GET_USER_POP(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                   uint8_t *inout_pOrder, int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_UNS_SET_USER_POP(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                   uint8_t *inout_pOrder, int32_t in_iLength);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_OPS_CONFIG_USERS_H */
