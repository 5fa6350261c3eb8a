/*
 * time_scale.h - stretches the deadlines of the tests' positive waits.
 *
 * Under a user-mode emulator (the cross-built suites run under qemu) every
 * step takes several times longer than on the build machine, so a deadline
 * that is generous natively can expire before the awaited event. The
 * environment variable VXQ_TEST_TIME_SCALE (a whole number, default 1)
 * multiplies every deadline that waits FOR something; waits that prove
 * nothing happens (silence checks) are not stretched. Read once; any thread.
 */
#ifndef VXQ_TEST_TIME_SCALE_H
#define VXQ_TEST_TIME_SCALE_H

#include <stdlib.h>

/* The multiplier from VXQ_TEST_TIME_SCALE, 1 when unset or not in 1..100. */
inline int VXQ_F_TESTTIME_Scale(void)
{
    static const int s_iScale = [] {
        const char *sValue = getenv("VXQ_TEST_TIME_SCALE");
        int iValue = sValue != nullptr ? atoi(sValue) : 1;
        return iValue >= 1 && iValue <= 100 ? iValue : 1;
    }();
    return s_iScale;
}

/* A deadline of in_iMs milliseconds, stretched by the multiplier. */
inline int VXQ_F_TESTTIME_ScaleMs(int in_iMs)
{
    if (in_iMs <= 0)
        return in_iMs;
    long long llMs = (long long)in_iMs * VXQ_F_TESTTIME_Scale();
    return llMs > 0x7FFFFFFF ? 0x7FFFFFFF : (int)llMs;
}

#endif
