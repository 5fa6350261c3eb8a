/*
 * clock.h - the clock's calendar time in full (library internal).
 *
 * vxq_clock.h hands out calendar seconds as a signed 32-bit value, enough for
 * the rules that compare two readings a few seconds apart, which wraps in
 * January 2038. Whatever shows a date (log line times, the local time of
 * alarm notices) reads the clock here, in 64 bits, and converts it with the
 * C library, whose time_t is 64 bits on 32-bit builds too (_TIME_BITS=64).
 * The manual clock keeps 64-bit seconds as well, so tests can put the service
 * past 2038.
 *
 * Any thread may call these; the values are read and written atomically.
 */
#ifndef VXQ_KIT_CLOCK_H
#define VXQ_KIT_CLOCK_H

#include "vxq_clock.h"

#include <time.h>

/* Calendar seconds since 1970 (or the manual clock's); VXQ_F_CLOCK_NowSec is
 * its low 32 bits. */
int64_t VXQ_F_CLOCK_NowSec64(void);

/* Switches to the manual clock, as VXQ_F_CLOCK_SetManual, with 64-bit seconds. */
void VXQ_F_CLOCK_SetManual64(uint32_t in_dwTickMs, int64_t in_llNowSec);

/* The local broken-down time of the clock now. 1, or 0 (out_ptTm zeroed) when
 * the C library cannot convert it. */
int VXQ_F_CLOCK_LocalNow(struct tm *out_ptTm);

#endif /* VXQ_KIT_CLOCK_H */
