/*
 * media_rig.h - a service instance made by hand for media and live view tests:
 * numbered sub-channel table, real order and callback queues, connection
 * records placed straight into the table; no threads, no engine, no sockets.
 *
 * One test uses one rig at a time. Records added here belong to the rig and
 * are freed by VXQ_F_MEDIARIG_Free (unless the code under test deleted them).
 */
#ifndef VXQ_TEST_MEDIA_RIG_H
#define VXQ_TEST_MEDIA_RIG_H

#include "core/conn.h"

#include <stdint.h>

#include <vector>

/* An instance with defaults as at start (limits, 10 MiB budget, 60 s I-frame
 * time), an order queue and a callback queue of 1000 each. */
_VXQ_S_DPS_MCSRV_DATA *VXQ_F_MEDIARIG_New(void);
/* Frees connections, caches, queues and the instance. */
void VXQ_F_MEDIARIG_Free(_VXQ_S_DPS_MCSRV_DATA *in_pSrv);

/* A connection record in table slot in_iSlot (port id 0x5A5A0000 | slot) of
 * kind in_iConnType with login id in_dwLoginId; a command connection also gets a
 * user record with every right. Audio starts paused, as on a new connection. */
_VXQ_S_DPS_NET_PORT_DATA *VXQ_F_MEDIARIG_AddConn(_VXQ_S_DPS_MCSRV_DATA *inout_pSrv, int in_iSlot,
                                                 int32_t in_iConnType, uint32_t in_dwLoginId);
/* A streaming viewer (media connection, state 2) of channel and stream, audio on. */
_VXQ_S_DPS_NET_PORT_DATA *VXQ_F_MEDIARIG_AddViewer(_VXQ_S_DPS_MCSRV_DATA *inout_pSrv, int in_iSlot, int32_t in_iChNo,
                                                   int32_t in_iStreamNo);

/* Takes every message waiting in the callback queue (events) / order queue. */
std::vector<std::vector<uint8_t>> VXQ_F_MEDIARIG_TakeEvents(_VXQ_S_DPS_MCSRV_DATA *inout_pSrv);
std::vector<std::vector<uint8_t>> VXQ_F_MEDIARIG_TakeOrders(_VXQ_S_DPS_MCSRV_DATA *inout_pSrv);

#endif
