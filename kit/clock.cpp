/* The real and the manual clock; see vxq_clock.h and kit/clock.h for the contract. */
#include "kit/clock.h"

#include <atomic>
#include <string.h>
#include <time.h>

static std::atomic<int> s_bManual{0};
static std::atomic<uint32_t> s_dwTickMs{0};
static std::atomic<int64_t> s_llNowSec{0};
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

int64_t VXQ_F_CLOCK_NowSec64(void)
{
    if (s_bManual.load(std::memory_order_acquire))
        return s_llNowSec.load(std::memory_order_acquire);
    return (int64_t)time(NULL);
}

extern "C" int32_t VXQ_F_CLOCK_NowSec(void)
{
    /* Modulo 2^32: past January 2038 the value wraps instead of sticking. */
    return (int32_t)(uint32_t)VXQ_F_CLOCK_NowSec64();
}

int32_t VXQ_F_CLOCK_SecDiff(int32_t in_tLater, int32_t in_tEarlier)
{
    /* Unsigned: wraps instead of overflowing; the cast back is two's complement. */
    return (int32_t)((uint32_t)in_tLater - (uint32_t)in_tEarlier);
}

int32_t VXQ_F_CLOCK_SecSince(int32_t in_tThen)
{
    return VXQ_F_CLOCK_SecDiff(VXQ_F_CLOCK_NowSec(), in_tThen);
}

int32_t VXQ_F_CLOCK_SecFromNow(int32_t in_iSec)
{
    return (int32_t)((uint32_t)VXQ_F_CLOCK_NowSec() + (uint32_t)in_iSec);
}

void VXQ_F_CLOCK_SetManual64(uint32_t in_dwTickMs, int64_t in_llNowSec)
{
    s_dwTickMs.store(in_dwTickMs, std::memory_order_release);
    s_llNowSec.store(in_llNowSec, std::memory_order_release);
    s_dwSubSecMs.store(0, std::memory_order_release);
    s_bManual.store(1, std::memory_order_release);
}

extern "C" void VXQ_F_CLOCK_SetManual(uint32_t in_dwTickMs, int32_t in_iNowSec)
{
    VXQ_F_CLOCK_SetManual64(in_dwTickMs, in_iNowSec);
}

int VXQ_F_CLOCK_LocalNow(struct tm *out_ptTm)
{
    /* On a build whose time_t is narrower than 64 bits a time past its range is
     * refused rather than converted wrapped. */
    int64_t llNow = VXQ_F_CLOCK_NowSec64();
    time_t tNow = (time_t)llNow;
    memset(out_ptTm, 0, sizeof(*out_ptTm));
    if ((int64_t)tNow != llNow || localtime_r(&tNow, out_ptTm) == NULL) {
        memset(out_ptTm, 0, sizeof(*out_ptTm));
        return 0;
    }
    return 1;
}

extern "C" void VXQ_F_CLOCK_Advance(uint32_t in_dwMs)
{
    if (!s_bManual.load(std::memory_order_acquire))
        return;
    uint32_t dwSub = s_dwSubSecMs.fetch_add(in_dwMs) + in_dwMs;
    uint32_t dwWholeSec = dwSub / 1000u;
    s_dwSubSecMs.fetch_sub(dwWholeSec * 1000u);
    /* Calendar first, tick last: a reader that sees the new tick also sees the new second. */
    s_llNowSec.fetch_add((int64_t)dwWholeSec);
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
