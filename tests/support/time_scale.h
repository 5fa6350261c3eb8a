/*
 * time_scale.h - stretches the deadlines of positive waits under an emulator
 * (the cross-built suites run under qemu): VXQ_TEST_TIME_SCALE (1..100,
 * default 1) multiplies them; silence checks are not stretched. Any thread.
 */
#ifndef VXQ_TEST_TIME_SCALE_H
#define VXQ_TEST_TIME_SCALE_H

#include <stdlib.h>

inline int VXQ_F_TESTTIME_ScaleMs(int in_iMs)
{
    static const long long s_llScale = [] {
        const char *sValue = getenv("VXQ_TEST_TIME_SCALE");
        int iValue = sValue != nullptr ? atoi(sValue) : 1;
        return iValue >= 1 && iValue <= 100 ? iValue : 1;
    }();
    long long llMs = (long long)in_iMs * s_llScale;
    return in_iMs <= 0 ? in_iMs : llMs > 0x7FFFFFFF ? 0x7FFFFFFF : (int)llMs;
}

#endif
