/* The real and the manual clock; see vxq_clock.h for the contract. */
#include "vxq_clock.h"

#include <atomic>
#include <time.h>

static std::atomic<int> s_bManual{0};
static std::atomic<uint32_t> s_dwTickMs{0};
static std::atomic<int32_t> s_iNowSec{0};
/* Milliseconds advanced on the manual clock that have not yet made a whole second. */
static std::atomic<uint32_t> s_dwSubSecMs{0};

extern "C" uint32_t VXQ_F_CLOCK_TickMs(void)
{
    if (s_bManual.load(std::memory_order_acquire))
        return s_dwTickMs.load(std::memory_order_acquire);
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (uint32_t)((uint64_t)ts.tv_sec * 1000u + (uint64_t)ts.tv_nsec / 1000000u);
}

extern "C" int32_t VXQ_F_CLOCK_NowSec(void)
{
    if (s_bManual.load(std::memory_order_acquire))
        return s_iNowSec.load(std::memory_order_acquire);
    return (int32_t)time(NULL);
}

extern "C" void VXQ_F_CLOCK_SetManual(uint32_t in_dwTickMs, int32_t in_iNowSec)
{
    s_dwTickMs.store(in_dwTickMs, std::memory_order_release);
    s_iNowSec.store(in_iNowSec, std::memory_order_release);
    s_dwSubSecMs.store(0, std::memory_order_release);
    s_bManual.store(1, std::memory_order_release);
}

extern "C" void VXQ_F_CLOCK_Advance(uint32_t in_dwMs)
{
    if (!s_bManual.load(std::memory_order_acquire))
        return;
    uint32_t dwSub = s_dwSubSecMs.fetch_add(in_dwMs) + in_dwMs;
    uint32_t dwWholeSec = dwSub / 1000u;
    s_dwSubSecMs.fetch_sub(dwWholeSec * 1000u);
    /* Calendar first, tick last: a reader that sees the new tick also sees the new second. */
    s_iNowSec.fetch_add((int32_t)dwWholeSec);
    s_dwTickMs.fetch_add(in_dwMs);
}

extern "C" void VXQ_F_CLOCK_SetReal(void)
{
    s_bManual.store(0, std::memory_order_release);
}

extern "C" int VXQ_F_CLOCK_IsManual(void)
{
    return s_bManual.load(std::memory_order_acquire);
}
