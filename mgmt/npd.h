/*
 * npd.h - the NPD management datagrams on the service's UDP port: echo, device
 * search, trace clients that receive the log lines, temporary debug switches.
 *
 * Owns the behaviour of the trace client table and the log line counter that
 * live in the service instance (core/instance.h). Everything runs on the
 * control thread: a received datagram arrives through
 * VXQ_F_DPS_MW_DoRecvMnUdpMsg (a network DATA record of the UDP socket), the
 * log lines through the 100 ms timer duty. Datagram buffers belong to the
 * caller; the engine copies what it sends.
 *
 * Byte order: datagrams stay in wire order (little-endian) from receipt to
 * send, and every field is read and written through explicit little-endian
 * byte loads and stores, so the handling is right on any host.
 * The host may switch trace and debug datagrams off (bMnTraceDebugOff, any
 * thread, one word): they are then ignored like unhandled ids.
 * Invariants: every answer and every log datagram goes to 255.255.255.255 on a
 * port the client named (its source port, or its trace port); a datagram
 * shorter than the head plus the body of its function id is ignored, and so is
 * one whose id is not handled.
 */
#ifndef VXQ_MGMT_NPD_H
#define VXQ_MGMT_NPD_H

#include "core/instance.h"
#include "vxq_netcom.h"

#include <stdint.h>

/* Head constants. The flag is written into every datagram the service builds
 * and not checked on receipt. */
#define VXQ_DPS_NPD_FLAG 0xAB8C02FFu
#define VXQ_DPS_NPD_HEAD_LEN 16
#define VXQ_DPS_NPD_REQUEST 0
#define VXQ_DPS_NPD_ANSWER 1
#define VXQ_DPS_NPD_RESULT_OK 0u
#define VXQ_DPS_NPD_RESULT_FAIL 2u

/* Function ids. */
#define VXQ_DPS_NPD_ECHO 1
#define VXQ_DPS_NPD_SEARCH_DEV_REQ 2
#define VXQ_DPS_NPD_SEARCH_DEV_RSP 3
#define VXQ_DPS_NPD_NM_SET_BROAD_TRACE_PARAM 10
#define VXQ_DPS_NPD_BROAD_LOG 11
#define VXQ_DPS_NPD_NM_SET_DEBUG_PARAM 12

/* Whole lengths (head included) of the fixed layouts. */
#define VXQ_DPS_NPD_SEARCH_REQ_LEN 24
#define VXQ_DPS_NPD_SEARCH_RSP_LEN 140
#define VXQ_DPS_NPD_TRACE_PARAM_LEN 28
#define VXQ_DPS_NPD_DEBUG_PARAM_LEN 48
#define VXQ_DPS_NPD_LOG_TEXT_OFFSET 28

/* Log line numbers run 0 .. VXQ_DPS_NPD_LOG_LINE_NO_MAX and start again. */
#define VXQ_DPS_NPD_LOG_LINE_NO_MAX 999998u
/* A trace client not refreshed for more than this many seconds is dropped
 * after the next line (which it still receives). */
#define VXQ_DPS_NPD_TRACE_STALE_SEC 19
/* Longest log text carried: one UDP datagram (65507 bytes) with head and zero.
 */
#define VXQ_DPS_NPD_LOG_TEXT_MAX (65507 - VXQ_DPS_NPD_LOG_TEXT_OFFSET - 1)

/* Direction of the byte-order conversion. */
#define VXQ_DPS_NPD_TO_WIRE 0
#define VXQ_DPS_NPD_FROM_WIRE 1

#ifdef __cplusplus
extern "C" {
#endif

/* The 16-byte head in host order; the wire form is only ever read and written
 * through VXQ_F_DPS_NPD_HeadLoad / VXQ_F_DPS_NPD_HeadStore. */
typedef struct _VXQ_S_DPS_NPD_HEAD {
    uint32_t dwFlag;   /* 0: VXQ_DPS_NPD_FLAG */
    uint16_t usLength; /* 4: whole datagram, head included */
    uint8_t ucFuncId;  /* 6 */
    uint8_t ucAnswer;  /* 7: 0 request, 1 answer */
    uint32_t dwRequNo; /* 8: chosen by the client, carried into the answer */
    uint32_t dwResult; /* 12: 0 success, 2 failure */
} _VXQ_S_DPS_NPD_HEAD;

/* ---- datagram layouts (no service needed; any thread) ---- */

/* Decodes the head of in_pData. 0 (head zeroed) when in_iLen is below 16. */
int VXQ_F_DPS_NPD_HeadLoad(const uint8_t *in_pData, int32_t in_iLen, _VXQ_S_DPS_NPD_HEAD *out_pHead);

/* Encodes in_pHead into the first 16 bytes of out_pData. */
void VXQ_F_DPS_NPD_HeadStore(const _VXQ_S_DPS_NPD_HEAD *in_pHead, uint8_t *out_pData);

/* Least whole length of a request the service handles (head plus body), or -1
 * for a function id it ignores. */
int32_t VXQ_F_DPS_NPD_RequestMinLen(uint8_t in_ucFuncId);

/* Builds the 140-byte search answer into out_pData: the request number and
 * searcher value of the request, the server id, the capability texts (cut to
 * 11, 31 and 31 characters, zero-filled) and numbers, and the three switches.
 * Returns 140. */
int32_t VXQ_F_DPS_NPD_BuildSearchRsp(uint8_t out_pData[VXQ_DPS_NPD_SEARCH_RSP_LEN], uint32_t in_dwRequNo,
                                     uint32_t in_dwSearcherValue, uint32_t in_dwServerId,
                                     const _VXQ_S_DPS_DEV_CAP_INFO *in_pCap, uint32_t in_bDebugLog,
                                     uint32_t in_bDebugMediaLog, uint32_t in_bShowRunState);

/* The whole length of the log datagram of in_sText (cut to
 * VXQ_DPS_NPD_LOG_TEXT_MAX characters). */
int32_t VXQ_F_DPS_NPD_LogLineLen(const char *in_sText);

/* Builds the log datagram of in_sText with number in_dwLineNo into out_pData
 * (VXQ_F_DPS_NPD_LogLineLen bytes); the trace client's address at offset 20 is
 * 0 and filled per client. Returns the length. */
int32_t VXQ_F_DPS_NPD_BuildLogLine(uint8_t *out_pData, uint32_t in_dwLineNo, const char *in_sText);

/* Returns the number for the next log line and advances the counter, which
 * starts again at 0 after VXQ_DPS_NPD_LOG_LINE_NO_MAX. */
uint32_t VXQ_F_DPS_NPD_TakeLogLineNo(uint32_t *inout_pdwCounter);

/* Operation in_usOperation on the 6-entry trace table: 0 removes the used entry
 * of address and port (0 when there is none); any other value refreshes it to
 * in_tNow, or fills the first free entry (0 when all 6 are in use). 1 on
 * success. */
int VXQ_F_DPS_NPD_UpdateTraceClient(_VXQ_S_DPS_TRACE_CLIENT_DATA inout_tTable[VXQ_DPS_TRACE_CLIENT_NUM],
                                    uint16_t in_usOperation, uint32_t in_dwIpAddr, uint16_t in_usPort,
                                    int32_t in_tNow);

/* Stores the new value (as 0 or 1) of each switch whose set word in the 48-byte
 * debug datagram is not 0; the others keep theirs. */
void VXQ_F_DPS_NPD_ApplyDebugParam(const uint8_t in_pData[VXQ_DPS_NPD_DEBUG_PARAM_LEN],
                                   uint32_t *inout_pbDebugLog, uint32_t *inout_pbDebugMediaLog,
                                   uint32_t *inout_pbShowRunState);

/* ---- the service's management socket (control thread) ---- */

/* One datagram of in_iLen bytes received on the UDP port, with the engine's
 * record head (the answer port is its usPeerPort). The buffer may be rewritten
 * into the answer. 1 when an answer was handed to the engine; 0 when the
 * datagram was ignored (short, unknown id, another server's, an echo that is
 * not a request) or its answer could not be queued. */
int VXQ_F_DPS_MW_DoRecvMnUdpMsg(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                const _VXQ_S_NETCOM_DATA_HEAD *in_pHead, uint8_t *in_pData,
                                int32_t in_iDataLen);

/* The handlers, each with the decoded head and the whole datagram of at least
 * the length of its layout. 1 when an answer was handed to the engine. */
int VXQ_F_DPS_MW_DoMnUdpMsg_ECHO(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                 const _VXQ_S_NETCOM_DATA_HEAD *in_pHead,
                                 const _VXQ_S_DPS_NPD_HEAD *in_pNpdHead, uint8_t *inout_pData,
                                 int32_t in_iLen);
int VXQ_F_DPS_MW_DoMnUdpMsg_SEARCH_DEV_REQ(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                           const _VXQ_S_NETCOM_DATA_HEAD *in_pHead,
                                           const _VXQ_S_DPS_NPD_HEAD *in_pNpdHead, uint8_t *inout_pData,
                                           int32_t in_iLen);
int VXQ_F_DPS_MW_DoMnUdpMsg_NM_SET_BROAD_TRACE_PARAM(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                     const _VXQ_S_NETCOM_DATA_HEAD *in_pHead,
                                                     const _VXQ_S_DPS_NPD_HEAD *in_pNpdHead,
                                                     uint8_t *inout_pData, int32_t in_iLen);
int VXQ_F_DPS_MW_DoMnUdpMsg_NM_SET_DEBUG_PARAM(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                               const _VXQ_S_NETCOM_DATA_HEAD *in_pHead,
                                               const _VXQ_S_DPS_NPD_HEAD *in_pNpdHead, uint8_t *inout_pData,
                                               int32_t in_iLen);

/* Builds the search answer to the request (head and its 8-byte body) and
 * broadcasts it to in_usPort. The result of the send. */
int VXQ_F_DPS_MC_SendSearchDevRsp_V1(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint16_t in_usPort,
                                     const _VXQ_S_DPS_NPD_HEAD *in_pRequHead, const uint8_t *in_pRequBody);

/* Puts the datagram into wire order (see
 * VXQ_F_DPS_MW_TransMnUdpPacketLittleMode) and queues it on the UDP socket for
 * 255.255.255.255:in_usPort. 1 when queued. */
int VXQ_F_DPS_MC_SendMnUdpBroadDataPacket(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint16_t in_usPort,
                                          uint8_t *inout_pData, int32_t in_iLen);

/* Sends one log line (number from the counter) to every used trace client, in
 * table order, then frees the entries not refreshed for 20 seconds. 1 when the
 * line was built (also with no client), 0 for a null text or short memory.
 * While the host keeps trace and debug datagrams off (bMnTraceDebugOff) it
 * empties the table instead and sends nothing (0). */
int VXQ_F_DPS_MC_SendBroadLogToClient(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, const char *in_sText);

/* Registers the datagram sink (VXQ_F_DPS_MW_DoRecvMnUdpMsg) and the log-line
 * sink: a 100 ms duty that hands each record the log writer queued for the
 * service (hRecvLogQueue) to VXQ_F_DPS_MC_SendBroadLogToClient while a trace
 * client is registered, and drops them while none is. */
void VXQ_F_DPS_MC_NPD_Install(_VXQ_S_DPS_HOOKS *inout_pHooks);

/* The single point where a datagram crosses between the wire and the service
 * (in_iDirection VXQ_DPS_NPD_FROM_WIRE on receipt, VXQ_DPS_NPD_TO_WIRE before a
 * send). Since every field is accessed in wire order, nothing needs converting
 * on any host: it only checks that a whole head is there (1, else 0). */
int VXQ_F_DPS_MW_TransMnUdpPacketLittleMode(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int in_iDirection,
                                            uint8_t *inout_pData, int32_t in_iLen);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_MGMT_NPD_H */
