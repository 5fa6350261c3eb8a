/*
 * clock.h - the clock's calendar time in full (library internal).
 *
 * vxq_clock.h hands out calendar seconds as a signed 32-bit value, which wraps
 * in January 2038. That is enough for the rules that compare two readings a
 * few seconds apart, provided they compare them with the modulo 2^32
 * arithmetic below and never directly. Whatever shows a date (log line times, the local time of
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

/* Seconds from in_tEarlier to in_tLater, two VXQ_F_CLOCK_NowSec readings (or
 * due times made by VXQ_F_CLOCK_SecFromNow): their difference modulo 2^32, as
 * a signed value. It stays right across the wrap of the readings in January
 * 2038 while the two are less than 68 years apart; negative when in_tLater is
 * in fact the earlier. Every rule that measures time since a reading or
 * compares the clock with a due time goes through here: subtracting or
 * comparing the readings themselves overflows or misorders at the wrap. */
int32_t VXQ_F_CLOCK_SecDiff(int32_t in_tLater, int32_t in_tEarlier);

/* Seconds from in_tThen, a VXQ_F_CLOCK_NowSec reading, to now (VXQ_F_CLOCK_SecDiff). */
int32_t VXQ_F_CLOCK_SecSince(int32_t in_tThen);

/* The VXQ_F_CLOCK_NowSec reading in_iSec seconds from now, modulo 2^32: a due
 * time, reached when VXQ_F_CLOCK_SecSince of it is no longer negative. */
int32_t VXQ_F_CLOCK_SecFromNow(int32_t in_iSec);

/* The local broken-down time of the clock now. 1, or 0 (out_ptTm zeroed) when
 * the C library cannot convert it. */
int VXQ_F_CLOCK_LocalNow(struct tm *out_ptTm);

#endif /* VXQ_KIT_CLOCK_H */
