/*
 * failalloc_hook.h - the library's heap allocations, counted and failed on demand.
 *
 * The test links a copy of the library archive whose malloc, calloc, realloc,
 * strdup, strndup and operator new calls are renamed (redefine.txt.in) to the
 * hooks of failalloc_hook.cpp; only library code is counted. Any thread may
 * allocate; the counter and the choice are atomic.
 */
#ifndef VXQ_TEST_FAILALLOC_HOOK_H
#define VXQ_TEST_FAILALLOC_HOOK_H

#include <stddef.h>
#include <stdint.h>

#include <string>

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
