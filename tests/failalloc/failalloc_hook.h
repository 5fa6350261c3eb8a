/*
 * failalloc_hook.h - the library's heap allocations, counted and failed on demand.
 *
 * The test links a copy of the library archive whose malloc, calloc, realloc,
 * strdup, strndup and operator new calls are renamed to these hooks
 * (redefine.txt.in); only library code is counted. Any thread may allocate;
 * the counter and the choice are atomic.
 */
#ifndef VXQ_TEST_FAILALLOC_HOOK_H
#define VXQ_TEST_FAILALLOC_HOOK_H

#include <stddef.h>
#include <stdint.h>

#include <new>
#include <string>

extern "C" {
void *VXQ_F_FAILALLOC_Malloc(size_t in_nBytes);
void *VXQ_F_FAILALLOC_Calloc(size_t in_nCount, size_t in_nBytes);
void *VXQ_F_FAILALLOC_Realloc(void *in_pOld, size_t in_nBytes);
char *VXQ_F_FAILALLOC_Strdup(const char *in_sText);
char *VXQ_F_FAILALLOC_Strndup(const char *in_sText, size_t in_nMax);
void *VXQ_F_FAILALLOC_New(size_t in_nBytes);
void *VXQ_F_FAILALLOC_NewArray(size_t in_nBytes);
void *VXQ_F_FAILALLOC_NewNothrow(size_t in_nBytes, const std::nothrow_t &in_tTag) noexcept;
void *VXQ_F_FAILALLOC_NewArrayNothrow(size_t in_nBytes, const std::nothrow_t &in_tTag) noexcept;
}

/* Counts from zero; the in_iFailAt-th allocation (1 = the first, 0 = none) fails. */
void VXQ_F_FAILALLOC_Arm(int64_t in_iFailAt);
void VXQ_F_FAILALLOC_Disarm(void);
int64_t VXQ_F_FAILALLOC_Count(void);
int VXQ_F_FAILALLOC_Fired(void);
/* The failed allocation's call stack, innermost first: program offsets (for
 * addr2line), each with the nearest exported function before it where there is
 * one ("0x1a2b 0x3c4d(VXQ_F_TOOLS_QUEUE_SetData)"). */
std::string VXQ_F_FAILALLOC_FiredStack(void);

#endif
