/*
 * wait_until.h - waits for a condition with a deadline instead of sleeping blindly.
 */
#ifndef VXQ_TEST_WAIT_UNTIL_H
#define VXQ_TEST_WAIT_UNTIL_H

#include <chrono>
#include <thread>

#include "support/time_scale.h"

/* Polls in_cond every millisecond until it holds (true) or in_iTimeoutMs pass (false);
 * the deadline is stretched under emulation (support/time_scale.h). */
template <typename F> bool WaitUntil(F in_cond, int in_iTimeoutMs = 5000)
{
    auto tDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(VXQ_F_TESTTIME_ScaleMs(in_iTimeoutMs));
    while (!in_cond()) {
        if (std::chrono::steady_clock::now() >= tDeadline)
            return in_cond();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

#endif
