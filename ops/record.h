/*
 * ops/record.h - record search and download.
 *
 * The recordings live in the host application; the service only relays. The
 * searches and the operations on an open file are lines of the function table
 * (ops/functab.cpp) with the event bodies below; the opens and the read stay
 * code: a successful open makes the asking connection a download connection
 * (iConnType 4) carrying the open file's read id, the login id and the port id
 * of the command connection it works for, and a read is answered by several
 * orders. The core raises EVENT_E2_FILE_CLOSE for the file when a download
 * connection goes away.
 *
 * Control thread only. Messages stay in wire order and are read through the
 * little-endian accessors; event and order bodies are in host order (the
 * records of vxq_dps.h). Nothing here keeps a buffer it is given.
 */
#ifndef VXQ_OPS_RECORD_H
#define VXQ_OPS_RECORD_H

#include "ops/relay.h"
#include "protocol/dispatch.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The opens and the read (VXQ_PF_DPS_NETMSG_HANDLER). */
VXQ_DPS_DECLARE_NETMSG_HANDLER(P3_DOWNLOAD_OPEN);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P3_DOWNLOAD_GET);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P3_DOWNLOAD_OPEN_BY_TIME);

/* Event bodies of the relays, each with its "[DEBUG]" request line. */
VXQ_DPS_DECLARE_RELAY_BODY(QueryFile);
VXQ_DPS_DECLARE_RELAY_BODY(NspQueryFile);
VXQ_DPS_DECLARE_RELAY_BODY(FileClose);
VXQ_DPS_DECLARE_RELAY_BODY(FileSeek);
VXQ_DPS_DECLARE_RELAY_BODY(FileQVideo);
VXQ_DPS_DECLARE_RELAY_BODY(FileOnlyIFrame);
VXQ_DPS_DECLARE_RELAY_BODY(FileRecover);
/* The "[DEBUG]" block of an answer to an operation on an open file. */
void VXQ_F_DPS_MW_DebugFileOp(const uint8_t *in_pOrder, int32_t in_iLength,
                              const _VXQ_S_DPS_FUNC_LINE *in_pLine);

/* Raises EVENT_E2_FILE_CLOSE for the file in_dwFileId with in_dwTransId (0:
 * nothing awaits an answer, as when a download connection goes away) and its
 * "[DEBUG]" request line. 1 queued, 0 when the callback queue refused it. */
int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_CLOSE(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                  uint32_t in_dwTransId, uint32_t in_dwFileId);

/* The answers that are code (VXQ_PF_DPS_ORDER_HANDLER): each translates the
 * host's code in place, finds the transaction and the connection, sends the
 * response and deletes the transaction (the read only on its last order). */
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_QUERY(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                             int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_NSP_FILE_QUERY(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 uint8_t *inout_pOrder, int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_OPEN(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                            int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_OPEN_BY_TIME(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                    uint8_t *inout_pOrder, int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_READ(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                            int32_t in_iLength);

/* Registers the connection release: the close of a file left open. */
void VXQ_F_DPS_MC_RECORD_Install(_VXQ_S_DPS_HOOKS *inout_pHooks);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_OPS_RECORD_H */
