/*
 * vxq_membuf.h - growable heap buffers described by three values the caller
 * keeps: the buffer pointer (null = none), its capacity in bytes and, for the
 * functions that fill it, the length of valid data.
 *
 * The functions allocate exactly what is needed, with no slack, and never
 * shrink a buffer. They take no lock: a buffer belongs to one thread at a
 * time. The caller owns the buffer and releases it with
 * VXQ_F_MEM_MG_FreeDataBuf (or free()). Every function returns 1 on success
 * and 0 on a bad argument or a failed allocation, in which case the buffer,
 * its capacity and its length are unchanged.
 */
#ifndef VXQ_MEMBUF_H
#define VXQ_MEMBUF_H

#include "vxq_base.h"

VXQ_EXTERN_C_BEGIN

/* Appends in_iLength (> 0) bytes behind the *inout_piLength valid ones,
 * reallocating exactly length + n bytes (content kept) when the capacity is short. */
VXQ_API int VXQ_F_MEM_MG_AddDataToBuf(char **inout_ppBuf, int32_t *inout_piSize, int32_t *inout_piLength,
                                      const void *in_pData, int32_t in_iLength);

/* Replaces the content with in_iLength (> 0) bytes, reallocating exactly that
 * many (content dropped) when the capacity is short; the length becomes n. */
VXQ_API int VXQ_F_MEM_MG_SetDataToBuf(char **inout_ppBuf, int32_t *inout_piSize, int32_t *inout_piLength,
                                      const void *in_pData, int32_t in_iLength);

/* Makes the capacity at least in_iLength (>= 0), reallocating exactly that
 * many without keeping the content, and zeroes the first in_iLength bytes. */
VXQ_API int VXQ_F_MEM_MG_AllocDataBuf(char **inout_ppBuf, int32_t *inout_piSize, int32_t in_iLength);

/* Makes the capacity at least in_iLength (>= 1), keeping the first in_iKeep
 * (>= 0) bytes when it reallocates, and zeroes the bytes from in_iKeep up to
 * in_iLength (also when no reallocation was needed). */
VXQ_API int VXQ_F_MEM_MG_ExpandDataBuf(char **inout_ppBuf, int32_t *inout_piSize, int32_t in_iKeep,
                                       int32_t in_iLength);

/* Removes the first in_iCount (> 0) of the *inout_piLength (>= 1) valid bytes,
 * moving the rest to the start; the length becomes 0 when none remain. */
VXQ_API int VXQ_F_MEM_MG_BufInsideCopy(char *inout_pBuf, int32_t *inout_piLength, int32_t in_iCount);

/* Frees the buffer and sets the pointer, capacity and length (either may be
 * null) to null and 0. 1, or 0 for a null pointer to the buffer pointer. */
VXQ_API int VXQ_F_MEM_MG_FreeDataBuf(char **inout_ppBuf, int32_t *inout_piSize, int32_t *inout_piLength);

VXQ_EXTERN_C_END

#endif /* VXQ_MEMBUF_H */
