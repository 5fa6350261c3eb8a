/*
 * ops/maint.h - custom messages, remote maintenance and firmware upgrade.
 *
 * Relays to the host, as EVENT_E7_* events, a client's custom messages, its
 * ability query, reboot and stop, and the upgrade requests (version query,
 * upgrade announcement, data pieces, progress and position queries). The
 * service reads none of the contents and keeps no upgrade state: every request
 * is one transaction, answered when the host's order comes; reboot and stop are
 * notices answered at once. Each request is a line of the function table
 * (ops/functab.cpp); this module gives the event bodies and the one rule data
 * cannot say. The upgrade answers take only a parked request of their own
 * function id, so an order naming the transaction of another request is dropped.
 *
 * Control thread only.
 */
#ifndef VXQ_OPS_MAINT_H
#define VXQ_OPS_MAINT_H

#include "ops/relay.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Event bodies of the relays (VXQ_PF_DPS_RELAY_BODY). */
VXQ_DPS_DECLARE_RELAY_BODY(Custom);
VXQ_DPS_DECLARE_RELAY_BODY(Ability);
VXQ_DPS_DECLARE_RELAY_BODY(Reboot);
VXQ_DPS_DECLARE_RELAY_BODY(Stop);
VXQ_DPS_DECLARE_RELAY_BODY(DevVer);
VXQ_DPS_DECLARE_RELAY_BODY(ReqUpgrade);
VXQ_DPS_DECLARE_RELAY_BODY(DupQuery);
VXQ_DPS_DECLARE_RELAY_BODY(UpgradeData);

/* An upgrade data piece must name exactly the data it carries (body 4), at
 * least 1 byte: else result 2 (VXQ_PF_DPS_RELAY_CHECK). */
uint8_t VXQ_F_DPS_MW_CheckUpgradeData(const uint8_t *in_pMsg, int32_t in_iLength);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_OPS_MAINT_H */
