/* test_clock.h - the service on the manual clock for the life of a scope. */
#ifndef VXQ_TEST_CLOCK_H
#define VXQ_TEST_CLOCK_H

#include "kit/clock.h"

class TestClock {
public:
    /* Calendar seconds in 64 bits: a test may put the service past 2038. */
    explicit TestClock(int64_t in_llNowSec = 1700000000, uint32_t in_dwTickMs = 5000)
    {
        VXQ_F_CLOCK_SetManual64(in_dwTickMs, in_llNowSec);
    }
    ~TestClock() { VXQ_F_CLOCK_SetReal(); }
    TestClock(const TestClock &) = delete;
    TestClock &operator=(const TestClock &) = delete;

    void AdvanceMs(uint32_t in_dwMs) { VXQ_F_CLOCK_Advance(in_dwMs); }
    void AdvanceSec(uint32_t in_dwSec) { VXQ_F_CLOCK_Advance(in_dwSec * 1000u); }
};

#endif
