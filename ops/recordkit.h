/*
 * ops/recordkit.h - wire forms and shared steps of the record family.
 *
 * Client messages are kept in wire order (little-endian) and event and order
 * bodies in host order; the first group moves the record family's compound
 * fields (date-times, the 220-byte file record, the 192-byte extended record)
 * between the two, field by field, so the service is right on any host. The
 * second group holds the steps every record request and answer shares:
 * refusals in place, the length and login rules, parking a request in a
 * transaction, finding what an answer goes to, and the debug lines.
 *
 * The wire functions are pure (any thread); the steps run on the control
 * thread like their callers. Buffers stay the caller's; nothing is kept.
 */
#ifndef VXQ_OPS_RECORDKIT_H
#define VXQ_OPS_RECORDKIT_H

#include "core/channel.h"
#include "vxq_dps.h"

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Length of a date-time on the wire. */
#define VXQ_DPS_WIRE_TIME_LEN 12
/* Room for the text of VXQ_F_DPS_MW_RecordTimeText. */
#define VXQ_DPS_RECORD_TIME_TEXT_SIZE 40

/* Reads a 12-byte wire date-time (u16 year, u16 month, four bytes, u32 last
 * field) into the host record. */
void VXQ_F_DPS_MW_RecordGetTime(const uint8_t *in_pWire, _VXQ_S_TD_DATE_TIME *out_ptTime);
/* Writes the host record as a 12-byte wire date-time. */
void VXQ_F_DPS_MW_RecordPutTime(uint8_t *out_pWire, const _VXQ_S_TD_DATE_TIME *in_ptTime);

/* Writes the 220-byte file record that starts at in_pHost (host order, any
 * alignment) to out_pWire in wire order. The two may not overlap. */
void VXQ_F_DPS_MW_RecordPutFileInfo(uint8_t *out_pWire, const uint8_t *in_pHost);

/* Writes the 192-byte extended file record at in_pHost (host order) to
 * out_pWire in wire order, by the layout given in vxq_dps.h. No overlap. */
void VXQ_F_DPS_MW_RecordPutNspFileInfo(uint8_t *out_pWire, const uint8_t *in_pHost);

/* "YYYY-MM-DD hh:mm:ss" of a date-time, for debug lines; returns out_sText
 * (at least VXQ_DPS_RECORD_TIME_TEXT_SIZE bytes). */
const char *VXQ_F_DPS_MW_RecordTimeText(const _VXQ_S_TD_DATE_TIME *in_ptTime, char *out_sText);

/* ---- Shared steps (control thread) ---- */

/* Answers the request in place with in_ucResult after showing in_sShow and
 * logging in_sLog (either may be null). Returns 0: the request was refused. */
int VXQ_F_DPS_MW_PR_RecRefuse(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                              uint8_t *inout_pMsg, int32_t in_iLength, uint8_t in_ucResult,
                              const char *in_sShow, const char *in_sLog, const char *in_sHandler);

/* "<handler> <callee> fail." logged once. */
void VXQ_F_DPS_MW_PR_RecLogFail(const char *in_sHandler, const char *in_sCallee);

/* Shapes the request as its answer (result 0, response type) and shows its
 * receipt line. Whatever is sent back later starts from these bytes. */
void VXQ_F_DPS_MW_PR_RecBegin(uint8_t *inout_pMsg, const char *in_sShow);

/* The length rule: at least in_iNeedLen bytes (exactly that many with in_bExact), else result
 * 2 with "<handler> in_iPacketLen error.". 1 when the length fits. */
int VXQ_F_DPS_MW_PR_RecCheckLen(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                int32_t in_iLength, int32_t in_iNeedLen, int in_bExact,
                                const char *in_sHandler);

/* File operations name an open file by its read id alone (body 4): taken only
 * from a connection that carries a login id (else result 6) and only for a
 * file a download connection of that login holds open (else result 5, the
 * read id is another session's or nobody's). 1 when the operation may go on. */
int VXQ_F_DPS_MW_PR_RecCheckFileConn(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                     _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                     int32_t in_iLength, const char *in_sOper, const char *in_sHandler);

/* Parks a copy of the (already answer-shaped) request. Null after answering
 * with result 1 when no transaction could be made. */
_VXQ_S_DPS_TRANS_DATA *VXQ_F_DPS_MW_PR_RecPark(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                               _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                               int32_t in_iLength, const char *in_sHandler);

/* Ends a request whose event could not be queued: result 1 at once, the
 * transaction deleted. Returns 0. */
int VXQ_F_DPS_MW_PR_RecUnpark(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                              uint8_t *inout_pMsg, int32_t in_iLength, _VXQ_S_DPS_TRANS_DATA *inout_pTrans,
                              const char *in_sHandler, const char *in_sBuilder);

/* The alarm event table of a search by time: at most 16 entries; a count
 * outside 0..16 is clamped and only that many table bytes are passed on. */
int32_t VXQ_F_DPS_MW_PR_RecGetAlarmTable(const uint8_t *in_pWireTable, int32_t in_iWireNum,
                                         uint8_t *out_pTable);

/* Debug block of an answer: the separator and the title line. */
void VXQ_F_DPS_MW_PR_RecDebugTitle(const char *in_sTitle);

/* One "[DEBUG]  name=value." line of an answer. */
void VXQ_F_DPS_MW_PR_RecDebugField(const char *in_sName, long long in_llValue);
/* One "[DEBUG]  name=YYYY-MM-DD hh:mm:ss." line of an answer. */
void VXQ_F_DPS_MW_PR_RecDebugTimeField(const char *in_sName, const _VXQ_S_TD_DATE_TIME *in_ptTime);

/* Finds what an answer goes to: the transaction of the order's id holding a
 * saved request of at least in_iMinRequLen bytes (and at least 1), and its
 * connection. On a miss logs "<handler> <step> fail." and returns null; a found
 * transaction is then deleted when in_bDeleteOnMiss is set. */
_VXQ_S_DPS_TRANS_DATA *VXQ_F_DPS_MW_PR_RecFindTarget(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                     const uint8_t *in_pOrder, int32_t in_iMinRequLen,
                                                     int in_bDeleteOnMiss, const char *in_sHandler,
                                                     _VXQ_S_DPS_NET_PORT_DATA **out_ppConn);

/* Sends a finished response (class 0) and deletes the transaction. 1 when sent. */
int VXQ_F_DPS_MW_PR_RecSendAndEnd(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                  _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, _VXQ_S_DPS_TRANS_DATA *inout_pTrans,
                                  uint8_t *inout_pMsg, int32_t in_iLength, const char *in_sHandler);

/* The common start of every answer: translate the host's code in place (and
 * show it), and tell whether anything waits for it (transaction id nonzero). */
int VXQ_F_DPS_MW_PR_RecAnswerBegin(uint8_t *inout_pOrder, const char *in_sOper);

/* Debug blocks of the answers with many fields (the caller checks the switches). */
void VXQ_F_DPS_MW_PR_RecDumpFileQuery(const _VXQ_S_DPS_E2_FILE_QUERY *in_pBody);
void VXQ_F_DPS_MW_PR_RecDumpNspFileQuery(const _VXQ_S_DPS_E2_NSP_FILE_QUERY *in_pBody);
/* The file record's main fields, as lines of an open answer's block. */
void VXQ_F_DPS_MW_PR_RecDumpFileInfo(const _VXQ_S_DPS_FILE_INFO *in_ptInfo);
/* A read answer's block; in_iDataLen is the data actually appended. */
void VXQ_F_DPS_MW_PR_RecDumpFileRead(const _VXQ_S_DPS_E2_FILE_READ *in_pBody, int32_t in_iDataLen);

/* Queues one event of the family (the body is copied; transaction id as given)
 * after writing its request line at level 2 when in_bDebug is nonzero (at
 * most 383 characters). 1 when queued. */
int VXQ_F_DPS_MW_PR_RecRaise(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iEventId,
                             uint32_t in_dwTransId, const void *in_pBody, int32_t in_iBodyLen, int in_bDebug,
                             const char *in_sFormat, ...)
#if defined(__GNUC__) || defined(__clang__)
    __attribute__((format(printf, 7, 8)))
#endif
    ;

#ifdef __cplusplus
}
#endif

#endif /* VXQ_OPS_RECORDKIT_H */
