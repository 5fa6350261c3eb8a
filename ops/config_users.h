/*
 * ops/config_users.h - configuration, network address and user requests.
 *
 * Relays a client's configuration reads and writes (get, set, default, import,
 * export), network information and address change, password change and user
 * add, delete, get and set to the host as EVENT_E3_* events, each parked as a
 * transaction until the host answers. Owns no state. Each request is a line of
 * the function table (ops/functab.cpp): its rules, its event and its answer's
 * layout are data there; this module gives the event bodies and the two
 * answers that are more than a layout.
 *
 * Control thread only. Answers are built from the parked request: data-carrying
 * answers in a fresh buffer of the new total length (packet size set to it),
 * result-only answers in place.
 */
#ifndef VXQ_OPS_CONFIG_USERS_H
#define VXQ_OPS_CONFIG_USERS_H

#include "ops/relay.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Event bodies of the relays (VXQ_PF_DPS_RELAY_BODY). */
VXQ_DPS_DECLARE_RELAY_BODY(UserPwd);
VXQ_DPS_DECLARE_RELAY_BODY(Config);
VXQ_DPS_DECLARE_RELAY_BODY(DefConfig);
VXQ_DPS_DECLARE_RELAY_BODY(ImpConfig);
VXQ_DPS_DECLARE_RELAY_BODY(Word0);
VXQ_DPS_DECLARE_RELAY_BODY(NetAddr);
VXQ_DPS_DECLARE_RELAY_BODY(AddUser);
VXQ_DPS_DECLARE_RELAY_BODY(DelUser);
VXQ_DPS_DECLARE_RELAY_BODY(GetUserPop);
VXQ_DPS_DECLARE_RELAY_BODY(SetUserPop);

/* The answers that are more than a layout (VXQ_PF_DPS_ORDER_HANDLER). */
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_QUERY_NET_INFO(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 uint8_t *inout_pOrder, int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_UNS_GET_USER_POP(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                   uint8_t *inout_pOrder, int32_t in_iLength);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_OPS_CONFIG_USERS_H */
