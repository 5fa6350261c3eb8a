/*
 * protocol/dispatch.h - dispatch of every whole client message by function id.
 *
 * Finds the line of a message's function id in the instance's function table
 * (core/functab.h) and applies the rules the line gives before its handler
 * runs: a known request id, a logged-in connection where the line asks for
 * one, the fixed part of the length, the right on the user's global rights
 * word. Then the line's handler runs, or the table's relay driver for a line
 * that is a relay.
 *
 * Control thread only. The message buffer is the connection's reassembly
 * buffer: handlers may rewrite it in place and send it back as the answer, but
 * must not keep it after returning. Handlers may release connections (see
 * core/conn.h): after a handler returns the connection pointer may be stale.
 *
 * Answers built here change only the type bits and the result byte of the head
 * (wire/head.h); a message that is not a request (type bits other than 0)
 * is never answered by the dispatcher.
 */
#ifndef VXQ_PROTOCOL_DISPATCH_H
#define VXQ_PROTOCOL_DISPATCH_H

#include "core/conn.h"
#include "core/functab.h"

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Sends a whole message (class 0) on the connection; a failure is logged as
 * in_sHandlerName followed by " VXQ_F_DPS_MC_SentNetData fail.". Returns the send result. */
int VXQ_F_DPS_MW_SendNetAnswer(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                               uint8_t *inout_pMsg, int32_t in_iLength, const char *in_sHandlerName);

/* Turns the request (at least 20 bytes) into its answer in place with
 * in_ucResult and sends all in_iLength bytes back; logs as above. */
int VXQ_F_DPS_MW_AnswerInPlace(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                               uint8_t *inout_pMsg, int32_t in_iLength, uint8_t in_ucResult,
                               const char *in_sHandlerName);

/* The message sink of the core (core/hooks.h): handles one whole message of
 * in_iLength bytes (>= 20, flag checked) cut from the connection's reassembly
 * buffer. The handler may rewrite the message in place and send it back, and
 * may release connections; it must not keep the buffer. 1 handled, 0 failed. */
int VXQ_F_DPS_MW_DoSingleNetDataPacket(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                       _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                       int32_t in_iLength);

/* Registers the dispatcher as the message sink. Every answer of this module
 * and the session goes through the instance's fnNetSend seam when a test put
 * one there, else through VXQ_F_DPS_MC_SentNetData. */
void VXQ_F_DPS_MW_Dispatch_Install(_VXQ_S_DPS_HOOKS *inout_pHooks);

/* Declares a request handler (VXQ_PF_DPS_NETMSG_HANDLER, core/functab.h) of
 * function id <name>; the handlers are defined in the files of their families. */
#define VXQ_DPS_DECLARE_NETMSG_HANDLER(name)                                                                 \
    int VXQ_F_DPS_MW_DoNetMsg_##name(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,                                \
                                     _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,             \
                                     int32_t in_iLength)

#ifdef __cplusplus
}
#endif

#endif /* VXQ_PROTOCOL_DISPATCH_H */
