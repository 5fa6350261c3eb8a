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

#endif
