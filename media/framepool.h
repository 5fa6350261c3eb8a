/*
 * framepool.h - the buffers the host's input call copies frames into.
 *
 * The input call (host thread) copies a frame once, into a buffer that is
 * already a cache node (media/cache.h): the control thread appends that very
 * node to the sub-channel's cache, so the frame is not copied again. When
 * the node's last reference goes (control thread), the buffer comes back
 * here and the next frame of about its size reuses it, so a steady stream
 * costs the encoder thread no allocation and no page faults. The pool keeps
 * at most VXQ_DPS_FRAME_POOL_MAX_NUM buffers and VXQ_DPS_FRAME_POOL_MAX_BYTES
 * bytes; more is freed.
 *
 * A node taken from the pool is "posted" (listed under the instance that
 * took it) until the control thread takes it over (Unpost): an instance that
 * stops with frames still in its order queue gives them back with DropPosted.
 * Any thread; one lock, held only for list work. The pool is process-wide and
 * lives as long as the process.
 */
#ifndef VXQ_MEDIA_FRAMEPOOL_H
#define VXQ_MEDIA_FRAMEPOOL_H

#include "media/cache.h"

#ifdef __cplusplus
extern "C" {
#endif

#define VXQ_DPS_FRAME_POOL_MAX_NUM 64
#define VXQ_DPS_FRAME_POOL_MAX_BYTES (4 * 1024 * 1024)

/* A pooled node with room for in_iDataLen (> 0) bytes at pData, iDataLen set,
 * one reference, every other field zero, posted under in_pOwner. Null when
 * memory is short. */
_VXQ_S_DPS_MEDIA_CACHE_NODE *VXQ_F_DPS_MC_FramePool_Take(const void *in_pOwner, int32_t in_iDataLen);

/* The node is no longer posted: the control thread took it over, or the post failed. */
void VXQ_F_DPS_MC_FramePool_Unpost(_VXQ_S_DPS_MEDIA_CACHE_NODE *inout_pNode);

/* A pooled node whose last reference went: kept for reuse or freed. */
void VXQ_F_DPS_MC_FramePool_Give(_VXQ_S_DPS_MEDIA_CACHE_NODE *in_pNode);

/* Gives back every node still posted under in_pOwner (its order queue is gone). */
void VXQ_F_DPS_MC_FramePool_DropPosted(const void *in_pOwner);

/* Buffers kept for reuse and their bytes (for the run state and tests). */
void VXQ_F_DPS_MC_FramePool_Stat(int32_t *out_pNum, int64_t *out_pBytes);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_MEDIA_FRAMEPOOL_H */
