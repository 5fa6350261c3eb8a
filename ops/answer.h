/*
 * ops/answer.h - the common start of an answer (order) handler of the
 * operation families.
 *
 * An answer handler first translates the host's error code in the order head
 * into the client's result code (the result line names the operation), then
 * finds the transaction the order answers and the connection that asked. This
 * module does exactly that and nothing else; it owns no state.
 *
 * Control thread only, like the order dispatcher. The transaction returned
 * stays in the table: the caller deletes it once it has built its answer.
 * When nothing is returned, a transaction that was found has already been
 * deleted and the failure has been logged with the handler's name.
 */
#ifndef VXQ_OPS_ANSWER_H
#define VXQ_OPS_ANSWER_H

#include "core/channel.h"
#include "ops/relay.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Translates the result byte of the order head in place (UMSP code after the
 * call), writes the "[DEBUG]" answer line when bDebugLog is set, and returns
 * the transaction of the order's dwTransId with its request copy (at least the
 * 20-byte head) and, in *out_ppConn, the connection that asked. Null when the
 * transaction id is 0 (nothing waits) or a lookup fails. in_iLength is the
 * whole order (at least 16 bytes). */
_VXQ_S_DPS_TRANS_DATA *VXQ_F_DPS_MW_FindAnswerTarget(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                     uint8_t *inout_pOrder, int32_t in_iLength,
                                                     const char *in_sOperName, const char *in_sHandlerName,
                                                     _VXQ_S_DPS_NET_PORT_DATA **out_ppConn);

/* The transaction in_dwTransId with its request copy (at least the 20-byte
 * head) and, in *out_ppConn, the connection that asked. Null when a lookup
 * fails: logged with the handler's name, a found transaction deleted. */
_VXQ_S_DPS_TRANS_DATA *VXQ_F_DPS_MW_FindTransAndConn(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                     uint32_t in_dwTransId, const char *in_sHandlerName,
                                                     _VXQ_S_DPS_NET_PORT_DATA **out_ppConn);

/* Bytes of the order after its body offset in_iDataOffset, up to the end its
 * head announces; 0 when there are none. */
int32_t VXQ_F_DPS_MW_OrderDataLen(const uint8_t *in_pOrder, int32_t in_iLength, int32_t in_iDataOffset);

/* Sends the answer that carries data after the fixed part of the parked
 * request: its first in_iFixedLen bytes (the transaction holds at least that
 * many), then the order's data (VXQ_F_DPS_MW_OrderDataLen from body offset
 * in_iDataOffset); packet size the new total, the order's result byte (already
 * translated), the data length in 32 bits at message offset in_iLenOffset.
 * The buffer is the function's own; the transaction stays the caller's to
 * delete. 1 when sent; a failed allocation logs "<handler> malloc fail.". */
int VXQ_F_DPS_MW_SendParkedWithData(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                    _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                                    const _VXQ_S_DPS_TRANS_DATA *in_pTrans, const uint8_t *in_pOrder,
                                    int32_t in_iLength, int32_t in_iFixedLen, int32_t in_iLenOffset,
                                    int32_t in_iDataOffset, const char *in_sHandlerName);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_OPS_ANSWER_H */
