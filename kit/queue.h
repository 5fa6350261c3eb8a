/*
 * queue.h - the data queue's library-internal form (vxq_queue.h is the public one).
 *
 * A block may stand for more data than it holds: a frame handed over by
 * reference is a small block, yet the producer's byte budget must see the
 * frame. Such a block is inserted with the bytes it counts for, and
 * VXQ_F_TOOLS_QUEUE_QueryQueueDataTotalLen adds those instead of its length.
 * Any thread, as the public functions.
 */
#ifndef VXQ_KIT_QUEUE_H
#define VXQ_KIT_QUEUE_H

#include "vxq_queue.h"

#ifdef __cplusplus
extern "C" {
#endif

/* As VXQ_F_TOOLS_QUEUE_SetData, but the stored copy of in_iLength bytes counts
 * in_llCounted (>= 0) bytes toward the queue's total while it is stored. */
int VXQ_F_TOOLS_QUEUE_SetDataCounted(VXQ_HQUEUE in_hQueue, const void *in_pData, int32_t in_iLength,
                                     int64_t in_llCounted, int32_t in_iTimeoutMs);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_KIT_QUEUE_H */
