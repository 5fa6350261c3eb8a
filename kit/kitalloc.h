/*
 * kitalloc.h - the heap allocations of the queue and the growable buffers,
 * with a switch that lets tests make the Nth allocation fail.
 *
 * Module-internal (not exported). Any thread may call these; the failure
 * countdown is atomic. Memory from VXQ_F_KIT_PR_Malloc is released with free().
 */
#ifndef VXQ_KIT_KITALLOC_H
#define VXQ_KIT_KITALLOC_H

#include <stddef.h>
#include <stdint.h>

/* malloc(in_nBytes), or null when the failure countdown says so. A request of
 * 0 bytes gets a 1-byte block, so null always means failure. */
void *VXQ_F_KIT_PR_Malloc(size_t in_nBytes);

/* Lets in_iGood allocations succeed, then fails every following one until
 * VXQ_F_KIT_PR_ClearAllocFailure. For tests. */
void VXQ_F_KIT_PR_FailAllocAfter(int32_t in_iGood);
void VXQ_F_KIT_PR_ClearAllocFailure(void);

#endif /* VXQ_KIT_KITALLOC_H */
