/* Heap allocations of the queue and the growable buffers; see kitalloc.h. */
#include "kit/kitalloc.h"

#include <atomic>
#include <stdlib.h>

/* -1 = never fail; otherwise the allocations still allowed to succeed. */
static std::atomic<int32_t> s_iGoodLeft{-1};

void *VXQ_F_KIT_PR_Malloc(size_t in_nBytes)
{
    int32_t iLeft = s_iGoodLeft.load(std::memory_order_relaxed);
    while (iLeft >= 0) {
        if (iLeft == 0)
            return NULL;
        if (s_iGoodLeft.compare_exchange_weak(iLeft, iLeft - 1, std::memory_order_relaxed))
            break;
    }
    return malloc(in_nBytes ? in_nBytes : 1);
}

void VXQ_F_KIT_PR_FailAllocAfter(int32_t in_iGood)
{
    s_iGoodLeft.store(in_iGood < 0 ? 0 : in_iGood, std::memory_order_relaxed);
}

void VXQ_F_KIT_PR_ClearAllocFailure(void)
{
    s_iGoodLeft.store(-1, std::memory_order_relaxed);
}
