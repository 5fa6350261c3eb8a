/*
 * framemsg.h - the frame message every live frame travels in.
 *
 * Owns the 32-byte layout: the 20-byte UMSP head (function 0x0E01 video or
 * 0x0E02 audio, a notice with result 0) and the 12-byte media head that packs
 * the sub-channel's stream description into bit fields, followed by the frame
 * data as the host delivered it. Every byte is stored explicitly in
 * little-endian order, so a built message is already in wire order on any
 * host and must not be byte-swapped again before it is sent.
 *
 * Also owns the tick-count time stamp of a client (dwTickBase rules).
 *
 * Pure functions; any thread. The builders write into caller memory, except
 * VXQ_F_DPS_MC_FrameMsg_Build, which returns a heap buffer the caller frees
 * with free().
 */
#ifndef VXQ_MEDIA_FRAMEMSG_H
#define VXQ_MEDIA_FRAMEMSG_H

#include "media/subch.h"

#include <stddef.h>
#include <stdint.h>

#define VXQ_DPS_FRAME_MSG_HEAD_LEN 32
#define VXQ_DPS_UMSP_PACKET_FLAG 0xFFFFEEEEu
#define VXQ_DPS_UMSP_FUNC_VIDEO_FRAME 0x0E01
#define VXQ_DPS_UMSP_FUNC_AUDIO_FRAME 0x0E02

#ifdef __cplusplus
extern "C" {
#endif

/* Media types of a frame. */
#define VXQ_DPS_MEDIA_TYPE_VIDEO 0
#define VXQ_DPS_MEDIA_TYPE_AUDIO 1

/* Video frame type of an I-frame; any other value is a non-I frame. */
#define VXQ_DPS_FRAME_TYPE_I 1

/* Writes the 32-byte head of a video frame message carrying in_iDataLen bytes
 * into out_pMsg: codec, frame type, size, frame rate and bit rate from
 * in_pSubCh, and in_dwTimeStamp. Returns 1, or 0 for a null argument or a
 * negative length (nothing written). */
int VXQ_F_DPS_MC_FrameMsg_WriteVideoHead(uint8_t *out_pMsg, const _VXQ_S_DPS_MEDIA_SUB_CH_DATA *in_pSubCh,
                                         int in_iFrameType, uint32_t in_dwTimeStamp,
                                         int32_t in_iDataLen);

/* The same for an audio frame: codec, sample rate, bit rate and channel
 * count from in_pSubCh. */
int VXQ_F_DPS_MC_FrameMsg_WriteAudioHead(uint8_t *out_pMsg, const _VXQ_S_DPS_MEDIA_SUB_CH_DATA *in_pSubCh,
                                         uint32_t in_dwTimeStamp, int32_t in_iDataLen);

/* Allocates and fills one whole frame message (head and a copy of the data)
 * of in_iMediaType. A null data pointer or a negative length counts as no
 * data. Returns the buffer (caller frees it with free()) and its length in
 * *out_piMsgLen, or null when memory is short or an argument is null. */
uint8_t *VXQ_F_DPS_MC_FrameMsg_Build(int in_iMediaType, const _VXQ_S_DPS_MEDIA_SUB_CH_DATA *in_pSubCh,
                                     int in_iFrameType, uint32_t in_dwTimeStamp,
                                     const uint8_t *in_pData, int32_t in_iDataLen,
                                     int32_t *out_piMsgLen);

/* Every allocation of the frame path (cache nodes, frame messages) goes
 * through here; the memory is released with free(). A test may install a
 * counting allocator (it must return malloc memory); null restores malloc.
 * Install it only while no thread runs the frame path. */
typedef void *(*VXQ_PF_DPS_MEDIA_ALLOC)(size_t in_iSize);
void VXQ_F_DPS_MC_MediaMem_SetAllocHook(VXQ_PF_DPS_MEDIA_ALLOC in_fnAlloc);
void *VXQ_F_DPS_MC_MediaMem_Alloc(size_t in_iSize);
/* Cache nodes are given back through here (free()). A test may install an
 * observer that sees each pointer just before it is freed; null removes it.
 * Same installation rule as the allocator. */
typedef void (*VXQ_PF_DPS_MEDIA_FREE)(void *in_pMem);
void VXQ_F_DPS_MC_MediaMem_SetFreeHook(VXQ_PF_DPS_MEDIA_FREE in_fnSeeFree);
void VXQ_F_DPS_MC_MediaMem_Free(void *in_pMem);

/* The time stamp of the next frame sent to a client whose base is
 * *inout_pdwTickBase, at tick in_dwTickMs: the first frame (base 0) stores the
 * tick as the base and carries 0; later frames carry tick - base; a tick below
 * the base is carried as is and the base returns to 0, so the next frame
 * starts a new base. Video and audio of one client share the base. */
uint32_t VXQ_F_DPS_MC_FrameMsg_TickTimeStamp(uint32_t *inout_pdwTickBase, uint32_t in_dwTickMs);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_MEDIA_FRAMEMSG_H */
