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

#endif
