/*
 * ops/serial.h - serial port pass-through.
 *
 * A client opens a serial port of the device, writes to it and closes it; the
 * host drives the port. The service relays open and write to the host as
 * transactions (EVENT_E3_COM_OPEN, EVENT_E3_COM_SEND_DATA), raises the close as
 * a notice (EVENT_E3_COM_CLOSE, answered to the client at once), and carries
 * the host's port data and close notices to the client named by its port id.
 * Write and close are lines of the function table (ops/functab.cpp); the open,
 * which changes the connection, is code. The only state is the connection's
 * bComOpen flag: set when an open from that command connection was passed to
 * the host, read by the connection release, which raises EVENT_E3_COM_CLOSE
 * with cause 1 when the connection goes.
 *
 * Control thread only. Message buffers stay in wire order; event and order
 * bodies are host-order records (vxq_dps.h).
 */
#ifndef VXQ_OPS_SERIAL_H
#define VXQ_OPS_SERIAL_H

#include "ops/relay.h"
#include "protocol/dispatch.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The open, which marks the connection (VXQ_PF_DPS_NETMSG_HANDLER). */
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_COM_OPEN);
/* Event bodies of the relays and the write's rule (at least 1 byte of data). */
VXQ_DPS_DECLARE_RELAY_BODY(ComClose);
VXQ_DPS_DECLARE_RELAY_BODY(ComSend);
uint8_t VXQ_F_DPS_MW_CheckComSend(const uint8_t *in_pMsg, int32_t in_iLength);

/* Raises EVENT_E3_COM_CLOSE (transaction id 0) for the connection in_dwPortId
 * with the cause (VXQ_DPS_COM_CLOSE_BY_) and the two values. 1 queued, 0 when
 * the callback queue is full or the instance is null. */
int VXQ_F_DPS_MC_SentProEvent_EVENT_E3_COM_CLOSE(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 uint32_t in_dwPortId, int32_t in_iCause,
                                                 uint32_t in_dwValue1, uint32_t in_dwValue2);

/* The host's orders of its own: a close notice and port data for a client. */
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_COM_CLOSE(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                            int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_COM_SUBS_DATA(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                uint8_t *inout_pOrder, int32_t in_iLength);

/* Registers the connection release: the close notice of a port left open. */
void VXQ_F_DPS_MC_SERIAL_Install(_VXQ_S_DPS_HOOKS *inout_pHooks);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_OPS_SERIAL_H */
