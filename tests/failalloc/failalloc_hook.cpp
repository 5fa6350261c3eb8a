/* failalloc_hook.cpp - counting, failing allocation hooks; see failalloc_hook.h. */
#include "failalloc/failalloc_hook.h"

#include <dlfcn.h>
#include <execinfo.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <new>

static std::atomic<int> s_bArmed{0};
static std::atomic<int64_t> s_iCount{0};
static std::atomic<int64_t> s_iFailAt{0};
static std::atomic<int> s_bFired{0};
static void *s_pFiredStack[8]; /* written once per Arm, by the failing call, before s_bFired */
static std::atomic<int> s_iFiredDepth{0};

/* Counts one allocation; true when it is the one to fail (its call stack is kept). */
static bool PR_Fail(void)
{
    if (!s_bArmed.load(std::memory_order_acquire))
        return false;
    int64_t iNo = s_iCount.fetch_add(1) + 1;
    if (iNo != s_iFailAt.load())
        return false;
    s_iFiredDepth.store(backtrace(s_pFiredStack, 8));
    s_bFired.store(1);
    return true;
}

/* A hook: the real call unless this allocation is the one to fail (null, or bad_alloc for plain new). */
#define PR_HOOK(ret, name, params, call, failed) \
    extern "C" ret name params { if (PR_Fail()) failed; return call; }
PR_HOOK(void *, VXQ_F_FAILALLOC_Malloc, (size_t n), malloc(n), return nullptr)
PR_HOOK(void *, VXQ_F_FAILALLOC_Calloc, (size_t c, size_t n), calloc(c, n), return nullptr)
PR_HOOK(void *, VXQ_F_FAILALLOC_Realloc, (void *p, size_t n), realloc(p, n), return nullptr)
PR_HOOK(char *, VXQ_F_FAILALLOC_Strdup, (const char *s), strdup(s), return nullptr)
PR_HOOK(char *, VXQ_F_FAILALLOC_Strndup, (const char *s, size_t n), strndup(s, n), return nullptr)
PR_HOOK(void *, VXQ_F_FAILALLOC_New, (size_t n), ::operator new(n), throw std::bad_alloc())
PR_HOOK(void *, VXQ_F_FAILALLOC_NewArray, (size_t n), ::operator new[](n), throw std::bad_alloc())
PR_HOOK(void *, VXQ_F_FAILALLOC_NewNothrow, (size_t n, const std::nothrow_t &t) noexcept,
        ::operator new(n, t), return nullptr)
PR_HOOK(void *, VXQ_F_FAILALLOC_NewArrayNothrow, (size_t n, const std::nothrow_t &t) noexcept,
        ::operator new[](n, t), return nullptr)

void VXQ_F_FAILALLOC_Arm(int64_t in_iFailAt)
{
    /* The first backtrace() loads its unwinder; that must not happen inside a run. */
    static int s_bWarm = backtrace(s_pFiredStack, 1);
    (void)s_bWarm;
    s_bArmed.store(0);
    s_iCount.store(0);
    s_iFailAt.store(in_iFailAt);
    s_bFired.store(0);
    s_iFiredDepth.store(0);
    s_bArmed.store(1, std::memory_order_release);
}

void VXQ_F_FAILALLOC_Disarm(void) { s_bArmed.store(0); }
int64_t VXQ_F_FAILALLOC_Count(void) { return s_iCount.load(); }
int VXQ_F_FAILALLOC_Fired(void) { return s_bFired.load(); }

std::string VXQ_F_FAILALLOC_FiredStack(void)
{
    std::string sStack;
    /* Frame 0 is the hook itself. */
    for (int i = 1; i < s_iFiredDepth.load(); i++) {
        Dl_info tInfo;
        char sFrame[160];
        /* One byte back: a return address may already belong to the next line. */
        uintptr_t uAt = (uintptr_t)s_pFiredStack[i] - 1;
        if (dladdr(s_pFiredStack[i], &tInfo) == 0)
            snprintf(sFrame, sizeof(sFrame), "0x%lx", (unsigned long)uAt);
        else if (tInfo.dli_sname == nullptr)
            snprintf(sFrame, sizeof(sFrame), "0x%lx", (unsigned long)(uAt - (uintptr_t)tInfo.dli_fbase));
        else
            snprintf(sFrame, sizeof(sFrame), "0x%lx(%.100s)", (unsigned long)(uAt - (uintptr_t)tInfo.dli_fbase),
                     tInfo.dli_sname);
        sStack += sStack.empty() ? "" : " ";
        sStack += sFrame;
    }
    return sStack;
}
