/*
 * ops/record.h - record search and download: the events this family raises and
 * the handlers of the host's answers.
 *
 * The recordings live in the host application; the service only relays. The
 * request handlers (VXQ_F_DPS_MW_DoNetMsg_P3_*, declared in protocol/dispatch.h)
 * check a request, park a copy of it in a transaction and raise one of the
 * events below; the answer handlers turn the host's order into the response
 * on the connection that asked. A successful open makes that connection a
 * download connection (iConnType 4) carrying the open file's read id, the
 * login id and the port id of the command connection it works for; the core
 * raises EVENT_E2_FILE_CLOSE for that file when the connection goes away.
 *
 * Control thread only (request and answer handlers, and the event builders,
 * which only copy into the callback queue). Messages stay in wire order and
 * are read through the little-endian accessors; event and order bodies are in
 * host order (the records of vxq_dps.h). Nothing here keeps a buffer it is given.
 */
#ifndef VXQ_OPS_RECORD_H
#define VXQ_OPS_RECORD_H

#include "protocol/dispatch.h"
#include "vxq_dps.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Request handlers (VXQ_PF_DPS_NETMSG_HANDLER), entered in the function table. */
VXQ_DPS_DECLARE_NETMSG_HANDLER(P3_QUERY_FILE);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P3_NSP_QUERY_FILE);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P3_DOWNLOAD_OPEN);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P3_DOWNLOAD_CLOSE);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P3_DOWNLOAD_GET);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P3_DOWNLOAD_SEEK);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P3_DOWNLOAD_QVIDEO);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P3_DOWNLOAD_ONLY_IFRAME);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P3_DOWNLOAD_RECOVER_ALLFRAME);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P3_DOWNLOAD_OPEN_BY_TIME);

/* Whole request lengths (head included) the handlers need. The two queries
 * must have exactly this length; the others at least this much. */
#define VXQ_DPS_P3_QUERY_FILE_LEN 68
#define VXQ_DPS_P3_NSP_QUERY_FILE_LEN 88
#define VXQ_DPS_P3_DOWNLOAD_OPEN_LEN 384
#define VXQ_DPS_P3_DOWNLOAD_CLOSE_LEN 28
#define VXQ_DPS_P3_DOWNLOAD_GET_LEN 64
#define VXQ_DPS_P3_DOWNLOAD_SEEK_LEN 32
#define VXQ_DPS_P3_DOWNLOAD_QVIDEO_LEN 36
#define VXQ_DPS_P3_DOWNLOAD_ONLY_IFRAME_LEN 40
#define VXQ_DPS_P3_DOWNLOAD_RECOVER_ALLFRAME_LEN 28
#define VXQ_DPS_P3_DOWNLOAD_OPEN_BY_TIME_LEN 308

/* Sizes of the records a query answer carries. */
#define VXQ_DPS_FILE_INFO_LEN 220

/* Event builders: each queues one event (head and the given body, host order)
 * with in_dwTransId (0 = no answer awaited) for the callback thread and writes
 * the request's "[DEBUG]" line when bDebugLog is on. 1 queued, 0 when the
 * callback queue refused it. The body stays the caller's. */
int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_QUERY(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                  uint32_t in_dwTransId,
                                                  const _VXQ_S_DPS_E2_FILE_QUERY *in_pBody);
int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_NSP_FILE_QUERY(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                      uint32_t in_dwTransId,
                                                      const _VXQ_S_DPS_E2_NSP_FILE_QUERY *in_pBody);
int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_OPEN(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 uint32_t in_dwTransId,
                                                 const _VXQ_S_DPS_E2_FILE_OPEN *in_pBody);
int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_OPEN_BY_TIME(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                         uint32_t in_dwTransId,
                                                         const _VXQ_S_DPS_E2_FILE_OPEN_BY_TIME *in_pBody);
/* Also raised by the core (transaction id 0) when a download connection with an open file goes away. */
int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_CLOSE(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                  uint32_t in_dwTransId, uint32_t in_dwFileId);
int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_READ(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 uint32_t in_dwTransId,
                                                 const _VXQ_S_DPS_E2_FILE_READ *in_pBody);
int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_SEEK(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 uint32_t in_dwTransId,
                                                 const _VXQ_S_DPS_E2_FILE_SEEK *in_pBody);
int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_QVIDEO(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                   uint32_t in_dwTransId,
                                                   const _VXQ_S_DPS_E2_FILE_QVIDEO *in_pBody);
int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_ONLY_IFRAME(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                        uint32_t in_dwTransId,
                                                        const _VXQ_S_DPS_E2_FILE_ONLY_IFRAME *in_pBody);
int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_RECOVER_ALLFRAME(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                             uint32_t in_dwTransId, uint32_t in_dwFileId);

/* Answer handlers (order dispatch table): the whole order of in_iLength bytes
 * (head and body, host order). Each translates the host's error code in place,
 * finds the transaction and the connection, sends the response and deletes the
 * transaction (the file read only on its last order). 1 when a response was
 * sent, 0 otherwise (logged). */
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_QUERY(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                             int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_NSP_FILE_QUERY(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 uint8_t *inout_pOrder, int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_OPEN(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                            int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_OPEN_BY_TIME(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                    uint8_t *inout_pOrder, int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_CLOSE(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                             int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_READ(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                            int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_SEEK(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                            int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_QVIDEO(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                              int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_ONLY_IFRAME(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                   uint8_t *inout_pOrder, int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_RECOVER_ALLFRAME(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                        uint8_t *inout_pOrder, int32_t in_iLength);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_OPS_RECORD_H */
