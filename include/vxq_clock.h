/*
 * vxq_clock.h - the one source of time for the whole service.
 *
 * Owns the choice between the real clocks and a manual test clock. Every rule
 * counted in seconds (heartbeat and transaction time-outs, debug switches,
 * talk time-outs, trace clients) reads VXQ_F_CLOCK_NowSec, and every period or
 * pace counted in milliseconds reads VXQ_F_CLOCK_TickMs, so that tests can set
 * and advance time instead of waiting. Blocking waits (queues, events) keep
 * using the real clock: they bound how long a thread sleeps, not a rule.
 *
 * Any thread may call every function here; the values are read and written
 * atomically. The default is the real clocks.
 */
#ifndef VXQ_CLOCK_H
#define VXQ_CLOCK_H

#include "vxq_base.h"

VXQ_EXTERN_C_BEGIN

/* Milliseconds of the monotonic clock (or of the manual clock), wrapping at 2^32. */
VXQ_API uint32_t VXQ_F_CLOCK_TickMs(void);

/* Calendar seconds since 1970 (or the manual clock's), signed 32-bit: the low
 * 32 bits of the clock, so in January 2038 it wraps to negative values. */
VXQ_API int32_t VXQ_F_CLOCK_NowSec(void);

/* Switches to the manual clock with the given tick and calendar time. */
VXQ_API void VXQ_F_CLOCK_SetManual(uint32_t in_dwTickMs, int32_t in_iNowSec);

/* Advances the manual clock by in_dwMs milliseconds: the tick by in_dwMs, the
 * calendar seconds by every whole second that passes. No effect on the real clock. */
VXQ_API void VXQ_F_CLOCK_Advance(uint32_t in_dwMs);

/* Returns to the real clocks. */
VXQ_API void VXQ_F_CLOCK_SetReal(void);

/* 1 while the manual clock is in use. */
VXQ_API int VXQ_F_CLOCK_IsManual(void);

VXQ_EXTERN_C_END

#endif /* VXQ_CLOCK_H */
