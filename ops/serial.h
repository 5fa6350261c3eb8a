/*
 * ops/serial.h - serial port pass-through.
 *
 * A client opens a serial port of the device, writes to it and closes it; the
 * host drives the port. The service relays open and write to the host as
 * transactions (EVENT_E3_COM_OPEN, EVENT_E3_COM_SEND_DATA), raises the close as
 * a notice (EVENT_E3_COM_CLOSE, answered to the client at once), and carries
 * the host's port data and close notices to the client named by its port id.
 * The only state is the connection's bComOpen flag: set when an open from that
 * command connection was passed to the host, read by the connection release,
 * which raises EVENT_E3_COM_CLOSE with cause 1 when the connection goes.
 *
 * Control thread only. The request handlers are declared in
 * protocol/dispatch.h and entered in its request table (which requires a
 * logged-in connection for close and write); the answer handlers below are
 * entered in the order table (core/ordertab.cpp). Message buffers stay in wire
 * order; event and order bodies are host-order records (vxq_dps.h).
 */
#ifndef VXQ_OPS_SERIAL_H
#define VXQ_OPS_SERIAL_H

#include "protocol/dispatch.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Request handlers (VXQ_PF_DPS_NETMSG_HANDLER), entered in the function table. */
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_COM_OPEN);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_COM_CLOSE);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_COM_SEND_DATA);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_COM_SUBS_DATA);

/* Wire lengths of this family (whole messages, head included). */
#define VXQ_DPS_COM_OPEN_MSG_LEN 48
#define VXQ_DPS_COM_CLOSE_MSG_LEN 32        /* the close request and the close notice */
#define VXQ_DPS_COM_SEND_FIXED_LEN 36       /* the write request before its data */
#define VXQ_DPS_COM_SEND_RESP_LEN 32        /* the write answer */
#define VXQ_DPS_COM_DATA_FIXED_LEN 32       /* the port data message before its data */

/* Raises EVENT_E3_COM_CLOSE (transaction id 0) for the connection in_dwPortId
 * with the cause (VXQ_DPS_COM_CLOSE_BY_) and the two values. 1 queued, 0 when
 * the callback queue is full or the instance is null. */
int VXQ_F_DPS_MC_SentProEvent_EVENT_E3_COM_CLOSE(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwPortId,
                                                 int32_t in_iCause, uint32_t in_dwValue1, uint32_t in_dwValue2);

/* Answer (order) handlers, same contract as VXQ_PF_DPS_ORDER_HANDLER. */
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_COM_OPEN(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                           int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_COM_CLOSE(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                            int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_COM_SEND_DATA(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                                int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_COM_SUBS_DATA(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                                int32_t in_iLength);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_OPS_SERIAL_H */
