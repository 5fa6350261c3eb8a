/*
 * failalloc_hook.h - the heap allocation calls of the library, counted and made
 * to fail on demand, for the allocation-failure test.
 *
 * The test program links a copy of the library archive in which every call of
 * malloc, calloc, realloc, strdup, strndup and operator new (plain, array and
 * nothrow) is renamed to the hooks below (tests/failalloc/redefine.txt.in); the
 * hooks pass each call on to the real allocator unless it is the one chosen to
 * fail. Only library code is counted: the test, the test host and the test
 * client allocate through the real functions.
 *
 * Any thread may allocate; the counter and the choice are atomic. The memory
 * is released by the library's own free()/delete as before.
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

/* Starts counting library allocations from zero; the in_iFailAt-th one (1 =
 * the first) fails, every other succeeds. 0 counts without failing. */
void VXQ_F_FAILALLOC_Arm(int64_t in_iFailAt);
/* Stops counting and failing. */
void VXQ_F_FAILALLOC_Disarm(void);
/* Allocations counted since the last Arm. */
int64_t VXQ_F_FAILALLOC_Count(void);
/* Whether the chosen allocation has failed since the last Arm. */
int VXQ_F_FAILALLOC_Fired(void);
/* The call stack of the failed allocation, innermost first: offsets into the
 * program (for addr2line -e <program>), each followed by the name of the
 * nearest exported function before it in parentheses where there is one
 * ("0x1a2b 0x3c4d(VXQ_F_TOOLS_QUEUE_SetData) ..."). An address inside a
 * function that is not exported may carry the name of an exported function
 * placed before it. The program is linked with its symbols exported. */
std::string VXQ_F_FAILALLOC_FiredStack(void);

#endif
