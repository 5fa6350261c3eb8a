/*
 * ops/relay.h - the relay kit of the families and the driver of the table's relays.
 *
 * A relayed request is checked, parked as a transaction (core/channel.h) and
 * raised to the host as an event; the host's order finds it again and is
 * turned into the answer. Each step is written once here: refuse in place,
 * park and raise (unparking on failure), find the answer's target, answer and
 * end. The failure rule is one for all: the client gets result 1 at once and
 * the transaction is deleted; the line says only which words the log uses.
 * The two drivers run a line of the function table (core/functab.h) whose
 * request or answer is said in data; the handlers that stay code (state
 * machines) use the same steps.
 *
 * Control thread only. Messages are the caller's and may be rewritten in place;
 * the kit keeps none of them. The transactions it parks belong to the table.
 */
#ifndef VXQ_OPS_RELAY_H
#define VXQ_OPS_RELAY_H

#include "core/channel.h"
#include "core/functab.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The drivers (g_tDpsFuncTable.fnRelayRequest and .fnRelayAnswer). */
int VXQ_F_DPS_MW_RelayRequest(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                              uint8_t *inout_pMsg, int32_t in_iLength, const _VXQ_S_DPS_FUNC_LINE *in_pLine);
int VXQ_F_DPS_MW_RelayAnswer(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                             int32_t in_iLength, const _VXQ_S_DPS_FUNC_LINE *in_pLine);

/* Declares an event body of a relay (VXQ_PF_DPS_RELAY_BODY) of a family. */
#define VXQ_DPS_DECLARE_RELAY_BODY(name)                                                                     \
    int32_t VXQ_F_DPS_MW_Body##name(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData,                                    \
                                    const _VXQ_S_DPS_NET_PORT_DATA *in_pConn, const uint8_t *in_pMsg,        \
                                    int32_t in_iLength, uint8_t *out_pBody)

/* Refuses a request in place with in_ucResult after showing in_sShow and
 * logging in_sLog (either may be null). Returns 0. */
int VXQ_F_DPS_MW_Refuse(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                        uint8_t *inout_pMsg, int32_t in_iLength, uint8_t in_ucResult, const char *in_sShow,
                        const char *in_sLog, const char *in_sName);

/* Queues event in_iEventId (transaction id in_dwTransId): the body, then the
 * tail. 1 queued, 0 the callback queue refused it, -1 memory is short. */
int VXQ_F_DPS_MW_RaiseEvent(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iEventId,
                            uint32_t in_dwTransId, const void *in_pBody, int32_t in_iBodyLen,
                            const void *in_pTail, int32_t in_iTailLen);

/* Logs "<in_sName> <in_sWhat>" at level 2: a step of a handler that failed. */
void VXQ_F_DPS_MW_LogStep(const char *in_sName, const char *in_sWhat);

/* The request rules of the line's relay (core/functab.h), in their order: 0
 * when the request may go on, else the result to refuse it with (its line is
 * written). The request is not answered here. */
uint8_t VXQ_F_DPS_MW_CheckRules(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                const _VXQ_S_DPS_NET_PORT_DATA *in_pConn, const uint8_t *in_pMsg,
                                int32_t in_iLength, const _VXQ_S_DPS_FUNC_LINE *in_pLine);

/* Shapes the request as its answer (result 0) and parks a copy as a
 * transaction of the line's function id. Null after the failure rule (logged
 * in the line's words, result 1 at once). in_sName names the request in the log. */
_VXQ_S_DPS_TRANS_DATA *VXQ_F_DPS_MW_Park(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                         _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                         int32_t in_iLength, const _VXQ_S_DPS_FUNC_LINE *in_pLine,
                                         const char *in_sName);

/* Raises the line's event for the parked request: the body, then the message
 * from the line's iTailOff on. 1 raised; else the failure rule (logged in the
 * line's words, the transaction deleted, result 1 at once) and 0. */
int VXQ_F_DPS_MW_Raise(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                       uint8_t *inout_pMsg, int32_t in_iLength, const _VXQ_S_DPS_FUNC_LINE *in_pLine,
                       _VXQ_S_DPS_TRANS_DATA *inout_pTrans, const void *in_pBody, int32_t in_iBodyLen,
                       const char *in_sName);

/* The start of every answer: translates the order's result in place into the
 * client's and shows it (the line's sAnsOper), and writes the line's debug
 * head. Returns the transaction id the order names (0: nothing waits). */
uint32_t VXQ_F_DPS_MW_AnswerBegin(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                  const _VXQ_S_DPS_FUNC_LINE *in_pLine);

/* The transaction in_dwTransId with its parked request and, in *out_ppConn, the
 * connection that asked, by the line's answer rules (ucAnsFlags, sAnsLen).
 * Null when a lookup or a rule fails: logged as the rules say, a found
 * transaction deleted. */
_VXQ_S_DPS_TRANS_DATA *VXQ_F_DPS_MW_FindTarget(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwTransId,
                                               const _VXQ_S_DPS_FUNC_LINE *in_pLine,
                                               _VXQ_S_DPS_NET_PORT_DATA **out_ppConn);
/* As above; a miss deletes the transaction only when in_bDeleteOnMiss (a read
 * answered by several orders keeps it until its last one). */
_VXQ_S_DPS_TRANS_DATA *VXQ_F_DPS_MW_FindTargetEx(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 uint32_t in_dwTransId, const _VXQ_S_DPS_FUNC_LINE *in_pLine,
                                                 int in_bDeleteOnMiss, _VXQ_S_DPS_NET_PORT_DATA **out_ppConn);

/* Sends an answer (class 0) on the connection and deletes the transaction.
 * The send result (a failure logged with the line's answer name). */
int VXQ_F_DPS_MW_AnswerAndEnd(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                              _VXQ_S_DPS_TRANS_DATA *inout_pTrans, uint8_t *inout_pMsg, int32_t in_iLength,
                              const _VXQ_S_DPS_FUNC_LINE *in_pLine);

/* Length of an order as its head announces it: 16 + iBodyLen, never more than
 * in_iLength (the order dispatcher has already refused longer announcements). */
int32_t VXQ_F_DPS_MW_OrderLen(const uint8_t *in_pOrder, int32_t in_iLength);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_OPS_RELAY_H */
