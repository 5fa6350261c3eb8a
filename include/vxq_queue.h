/*
 * vxq_queue.h - the bounded first-in first-out queue of byte blocks that
 * carries every hand-over between the service's threads.
 *
 * Each block is copied in on entry and copied out on exit; the queue owns its
 * copies and frees what is still stored when it is freed. A semaphore on each
 * side lets producers wait for room and consumers for data, with time-outs,
 * outside the queue's lock. Two manual-reset events serve wait objects: the
 * read event is set by every insertion and reset exactly when the queue
 * becomes empty; the write event is set by every removal and reset when an
 * insertion fills the queue.
 *
 * Any number of threads may produce and consume at once. Init and Free belong
 * to the owner, with no other thread using the queue. Every function returns
 * 0 (or null) for a null handle or a null required pointer. A failed
 * allocation returns 0 and leaves the queue as it was.
 */
#ifndef VXQ_QUEUE_H
#define VXQ_QUEUE_H

#include "vxq_base.h"
#include "vxq_thread.h"

VXQ_EXTERN_C_BEGIN

typedef struct _VXQ_S_TOOLS_QUEUE_DATA *VXQ_HQUEUE;

/* Creates a queue of in_iCapacity (> 0) items with its lock, semaphores and
 * events. 1 and the handle in *out_phQueue, or 0 and null. */
VXQ_API int VXQ_F_TOOLS_QUEUE_InitQueue(VXQ_HQUEUE *out_phQueue, int32_t in_iCapacity);

/* Frees every stored item, the queue and its objects; stores null. 1, or 0 for null. */
VXQ_API int VXQ_F_TOOLS_QUEUE_FreeQueue(VXQ_HQUEUE *inout_phQueue);

/* Stores a copy of in_iLength (>= 0) bytes, waiting up to in_iTimeoutMs for a
 * free place. With a maximum store count the oldest item makes room instead.
 * 1 when stored; 0 when no place came in time or the copy cannot be made. */
VXQ_API int VXQ_F_TOOLS_QUEUE_SetData(VXQ_HQUEUE in_hQueue, const void *in_pData, int32_t in_iLength,
                                      int32_t in_iTimeoutMs);

/* Waits up to in_iTimeoutMs for an item and copies the oldest into out_pBuf.
 * *inout_piLength holds the buffer's size on entry and the item's length on
 * return. 1 when copied; 0 when none came, or when the item is larger than the
 * buffer - that item is then discarded. */
VXQ_API int VXQ_F_TOOLS_QUEUE_GetData(VXQ_HQUEUE in_hQueue, void *out_pBuf, int32_t *inout_piLength,
                                      int32_t in_iTimeoutMs);

/* As GetData, but the queue provides the buffer: when *inout_ppBuf is null or
 * *inout_piBufSize is below the item's length, the old buffer is replaced by
 * one of length + 10 bytes and *inout_piBufSize set to the length. The caller
 * reuses the buffer across calls and releases it with VXQ_F_TOOLS_QUEUE_FreeMemory.
 * If the new buffer cannot be allocated, 0 is returned, the item stays first
 * in the queue and the old buffer is kept. */
VXQ_API int VXQ_F_TOOLS_QUEUE_GetDataEx(VXQ_HQUEUE in_hQueue, char **inout_ppBuf, int32_t *out_piLength,
                                        int32_t *inout_piBufSize, int32_t in_iTimeoutMs);

/* Frees a buffer of GetDataEx and stores null. 1, or 0 for a null pointer. */
VXQ_API int VXQ_F_TOOLS_QUEUE_FreeMemory(char **inout_ppBuf);

/* Discards the oldest item if one can be taken right now. 1 if done, else 0. */
VXQ_API int VXQ_F_TOOLS_QUEUE_MoveData(VXQ_HQUEUE in_hQueue);

/* The number of stored items. */
VXQ_API int32_t VXQ_F_TOOLS_QUEUE_GetCount(VXQ_HQUEUE in_hQueue);

/* The read / write event, for VXQ_F_THREAD_WaitObj_AddEvent; the queue keeps
 * ownership. Null for a null handle. */
VXQ_API VXQ_HEVENT VXQ_F_TOOLS_QUEUE_GetReadEventHandle(VXQ_HQUEUE in_hQueue);
VXQ_API VXQ_HEVENT VXQ_F_TOOLS_QUEUE_GetWriteEventHandle(VXQ_HQUEUE in_hQueue);

/* Sets the maximum store count (0 = none) when in_iMax >= 0; any thread, any
 * time. 1, or 0 for null or a negative count (ignored). */
VXQ_API int VXQ_F_TOOLS_QUEUE_SetMaxStoreDataNum(VXQ_HQUEUE in_hQueue, int32_t in_iMax);

/* The sum of the lengths of all stored items, in bytes. */
VXQ_API int64_t VXQ_F_TOOLS_QUEUE_QueryQueueDataTotalLen(VXQ_HQUEUE in_hQueue);

VXQ_EXTERN_C_END

#endif /* VXQ_QUEUE_H */
