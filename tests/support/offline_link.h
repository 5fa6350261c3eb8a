/*
 * offline_link.h - message handlers under test without threads or sockets.
 *
 * Makes a zeroed service instance and connection records by hand (no queues,
 * no engine), with every family's hooks installed as a service has them and
 * the media table made, and captures every answer the dispatcher and the
 * handlers send through the instance's send seam (fnNetSend), so a test calls
 * a handler directly and reads the bytes that would have gone on the wire.
 *
 * One test at a time per process: the capture is process-wide. Records made
 * here are freed with the matching Free function (including the token and the
 * user record a handler attached).
 */
#ifndef VXQ_TEST_OFFLINE_LINK_H
#define VXQ_TEST_OFFLINE_LINK_H

#include "core/conn.h"

#include <stdint.h>

#include <vector>

/* One message a handler sent. */
typedef struct _VXQ_S_OFFLINE_SENT {
    _VXQ_S_DPS_NET_PORT_DATA *pConn;
    std::vector<uint8_t> tMsg;
    int32_t iSendClass;
} _VXQ_S_OFFLINE_SENT;

/* Routes every answer into the capture; each send returns in_iSendResult. */
void VXQ_F_OFFLINE_InstallCapture(int in_iSendResult = 1);
/* Restores the real send function and clears the capture. */
void VXQ_F_OFFLINE_RemoveCapture(void);
/* The messages sent since the capture was installed (or cleared), oldest first. */
std::vector<_VXQ_S_OFFLINE_SENT> &VXQ_F_OFFLINE_Sent(void);

/* Installs the families' hooks and the capturing send seam into a hand-made
 * instance and makes its media table (freed by VXQ_F_OFFLINE_FreeInstance, or
 * by VXQ_F_DPS_MC_MediaTable_Stop). */
void VXQ_F_OFFLINE_InstallHooks(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);

/* A zeroed instance with a filled capability record (4 video, 2 audio channels,
 * "DEV12345678" and texts "ModelText"/"VendorText", caps 11, 22, 33, 44, 0x1FF). */
_VXQ_S_DPS_MCSRV_DATA *VXQ_F_OFFLINE_NewInstance(void);
void VXQ_F_OFFLINE_FreeInstance(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData);
/* The least whole length of a request of in_usFuncId, from the function table. */
size_t VXQ_F_OFFLINE_MsgLen(uint16_t in_usFuncId);

/* A zeroed connection record with the port id, peer 127.0.0.1:40000 and
 * dwConnId (0x5A5A << 16) | slot, as the connection table would make it. */
_VXQ_S_DPS_NET_PORT_DATA *VXQ_F_OFFLINE_NewConn(uint32_t in_dwPortId);
void VXQ_F_OFFLINE_FreeConn(_VXQ_S_DPS_NET_PORT_DATA *in_pConn);
/* Enters a heap record in connection table entry in_iIndex and maps its port
 * id's engine slot to it, as VXQ_F_DPS_MC_NetPortData_Create would; the table
 * then owns it. */
void VXQ_F_OFFLINE_PutConn(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iIndex,
                           _VXQ_S_DPS_NET_PORT_DATA *in_pConn);

/* ---- The rig: a hand-made instance with queues and connections ----------
 * An instance as VXQ_F_OFFLINE_NewInstance with the defaults a start sets
 * (10 MiB media budget, 60 s I-frame time, 64 viewers), an order queue of 1000
 * entries and a callback queue of in_iCallbackQueueSize. VXQ_F_OFFLINE_FreeRig
 * frees the connections left in its table, its caches, queues and itself. */
_VXQ_S_DPS_MCSRV_DATA *VXQ_F_OFFLINE_NewRig(int32_t in_iCallbackQueueSize = 1000);
void VXQ_F_OFFLINE_FreeRig(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData);

/* A connection record in table slot in_iSlot (port id 0x1234 << 16 | slot) of
 * kind in_iConnType with login id in_dwLoginId; with in_bUser it gets a user
 * record with the global word in_dwPopMask and in_dwChPopMask in each of the
 * 64 channel words. Audio starts paused, as on a new connection. */
_VXQ_S_DPS_NET_PORT_DATA *VXQ_F_OFFLINE_AddConn(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iSlot,
                                                int32_t in_iConnType, uint32_t in_dwLoginId, int in_bUser,
                                                uint32_t in_dwPopMask, uint32_t in_dwChPopMask);
/* A command connection (every right) or another kind of connection (no user record). */
_VXQ_S_DPS_NET_PORT_DATA *VXQ_F_OFFLINE_AddPeer(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iSlot,
                                                int32_t in_iConnType, uint32_t in_dwLoginId);
/* A streaming viewer (media connection, state 2, audio on) of channel and stream. */
_VXQ_S_DPS_NET_PORT_DATA *VXQ_F_OFFLINE_AddViewer(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iSlot,
                                                  int32_t in_iChNo, int32_t in_iStreamNo);

/* Takes every message waiting in the callback queue (events) / order queue. */
std::vector<std::vector<uint8_t>> VXQ_F_OFFLINE_TakeEvents(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);
std::vector<std::vector<uint8_t>> VXQ_F_OFFLINE_TakeOrders(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);

#endif
