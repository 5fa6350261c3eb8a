/*
 * offline_link.h - message handlers under test without threads or sockets: a
 * hand-made instance with every family's hooks and the media table, its
 * answers captured through the send seam (fnNetSend). The capture is
 * process-wide: one test at a time. Records made here are freed with the
 * matching Free (with the token and user record a handler attached).
 */
#ifndef VXQ_TEST_OFFLINE_LINK_H
#define VXQ_TEST_OFFLINE_LINK_H

#include "core/conn.h"

#include <stdint.h>

#include <vector>

typedef struct _VXQ_S_OFFLINE_SENT {
    _VXQ_S_DPS_NET_PORT_DATA *pConn;
    std::vector<uint8_t> tMsg;
    int32_t iSendClass;
} _VXQ_S_OFFLINE_SENT;

/* Routes every answer into the capture (each send succeeds), and back. */
void VXQ_F_OFFLINE_InstallCapture(void);
void VXQ_F_OFFLINE_RemoveCapture(void);
/* The messages sent since the capture was installed (or cleared), oldest first. */
std::vector<_VXQ_S_OFFLINE_SENT> &VXQ_F_OFFLINE_Sent(void);

/* A zeroed instance with hooks, capturing send seam and media table; capability
 * "DEV12345678", "ModelText"/"VendorText", 4 video, 2 audio, caps 11, 22, 33, 44, 0x1FF. */
_VXQ_S_DPS_MCSRV_DATA *VXQ_F_OFFLINE_NewInstance(void);
void VXQ_F_OFFLINE_FreeInstance(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData);
/* The least whole length of a request of in_usFuncId, from the function table. */
size_t VXQ_F_OFFLINE_MsgLen(uint16_t in_usFuncId);

/* The rig: NewInstance with a start's defaults (10 MiB media, 60 s I-frame time,
 * 64 viewers), order and callback queues of 1000.
 * FreeRig frees the connections left in its table, its caches, queues and itself. */
_VXQ_S_DPS_MCSRV_DATA *VXQ_F_OFFLINE_NewRig(void);
void VXQ_F_OFFLINE_FreeRig(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData);

/* A zeroed connection entered in table entry and engine slot in_iSlot (the table
 * owns it): port id 0x1234 << 16 | slot, peer 127.0.0.1:40000, audio paused; with
 * in_bUser a user record (in_dwPopMask, in_dwChPopMask in each channel word). */
_VXQ_S_DPS_NET_PORT_DATA *VXQ_F_OFFLINE_AddConn(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iSlot,
                                                int32_t in_iConnType, uint32_t in_dwLoginId, int in_bUser,
                                                uint32_t in_dwPopMask, uint32_t in_dwChPopMask);
/* A command connection (every right) or another kind (no user record); a viewer: state 2, audio on. */
_VXQ_S_DPS_NET_PORT_DATA *VXQ_F_OFFLINE_AddPeer(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iSlot,
                                                int32_t in_iConnType, uint32_t in_dwLoginId);
_VXQ_S_DPS_NET_PORT_DATA *VXQ_F_OFFLINE_AddViewer(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iSlot,
                                                  int32_t in_iChNo, int32_t in_iStreamNo);

/* Takes every message waiting in the callback (event) / order queue. */
std::vector<std::vector<uint8_t>> VXQ_F_OFFLINE_TakeEvents(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);
std::vector<std::vector<uint8_t>> VXQ_F_OFFLINE_TakeOrders(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);

#endif
