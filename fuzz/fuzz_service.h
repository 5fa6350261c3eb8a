/*
 * fuzz_service.h - a service instance for fuzz targets: real queues, real
 * connection table, framing, dispatch and order handling, no threads, no
 * engine, no sockets, on the manual clock.
 *
 * Answers that would go on the wire are dropped through the dispatcher's send
 * seam. The host's part is played here: every event the service raises is
 * answered at once with an order built from the event and a result chosen by
 * the fuzz input, so requests, answers and disconnects interleave. One
 * instance per process (libFuzzer runs targets single-threaded).
 */
#ifndef VXQ_FUZZ_SERVICE_H
#define VXQ_FUZZ_SERVICE_H

#include "core/instance.h"

#include <stddef.h>
#include <stdint.h>

/* Makes the instance once (console output off, manual clock). */
_VXQ_S_DPS_MCSRV_DATA *VXQ_F_FUZZSRV_Get(void);
/* Frees every connection, transaction and media channel: the instance is like new. */
void VXQ_F_FUZZSRV_Reset(_VXQ_S_DPS_MCSRV_DATA *inout_pSrv);
/* Answers every queued event (result byte in_ucResult, body as raised) and runs
 * the queued control work and orders. */
void VXQ_F_FUZZSRV_AnswerEvents(_VXQ_S_DPS_MCSRV_DATA *inout_pSrv, uint8_t in_ucResult);
/* Advances the manual clock and runs the timer duties. */
void VXQ_F_FUZZSRV_Advance(_VXQ_S_DPS_MCSRV_DATA *inout_pSrv, uint32_t in_dwMs);

/* Plays the host: answers the events raised so far (in_ucArg is the next input byte). */
typedef void (*VXQ_PF_FUZZSRV_HOST)(_VXQ_S_DPS_MCSRV_DATA *inout_pSrv, uint8_t in_ucArg);

/* Runs the input as a script on two client connections (peers 10.1.1.1 and
 * 10.1.1.2, new connections made at the start), then lets the host answer:
 *   op % 8 = 0..2  bytes for connection (op / 8) % 2: a length byte, then that many bytes
 *   op % 8 = 3     the same, with the login id of connection 0 written at body offset 0 and,
 *                  on a connection with a file open for download, its read id at body offset 4
 *   op % 8 = 4     the peer of connection (op / 8) % 2 disconnects and a new one connects
 *   op % 8 = 5     in_fnHost answers the raised events (with the next byte)
 *   op % 8 = 6     the clock advances by the next byte times 100 ms (timer duties run)
 *   op % 8 = 7     connection (op / 8) % 2 asks for a token and logs in as admin / secret */
void VXQ_F_FUZZSRV_RunScript(_VXQ_S_DPS_MCSRV_DATA *inout_pSrv, const uint8_t *in_pData, size_t in_iSize,
                             VXQ_PF_FUZZSRV_HOST in_fnHost);

#endif
