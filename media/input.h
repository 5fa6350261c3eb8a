/*
 * input.h - media input from the host: frame and codec orders, sub-channel
 * lookup, client counts and the media resource budget of an instance.
 *
 * The exported input functions (vxq_dps.h) run on host threads and touch no
 * network work and no table of the control thread: each copies its frame
 * once, into a buffer of the frame pool (media/framepool.h) that becomes the
 * frame's cache node, and posts the node on the order queue without waiting
 * and under the instance's byte budget of that queue, where it counts as the
 * whole frame order it stands for (head, fixed part, data). The control
 * thread hands that node to the frame cache (media/cache.h) in order with the
 * host's other orders. The frame order handlers below take frame orders a
 * host posts itself and hand their data to the cache, which copies it. The
 * client counts walk the connection table and therefore run on the control
 * thread; a host thread that needs them (VXQ_F_DPS_GetFreeMediaResourceNum)
 * has them computed there and waits for the answer (core/hostcall.h).
 *
 * A posted node belongs to the frame pool until the control thread takes it;
 * nodes an instance still had in its order queue at stop go back to the pool
 * with the media table's stop.
 */
#ifndef VXQ_MEDIA_INPUT_H
#define VXQ_MEDIA_INPUT_H

#include "core/conn.h"
#include "media/subch.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Fixed body parts in front of the frame data. */
#define VXQ_DPS_VIDEO_FRAME_FIXED_LEN 8
#define VXQ_DPS_AUDIO_FRAME_FIXED_LEN 4
#define VXQ_DPS_VIDEO_FRAME_EX_FIXED_LEN 28
#define VXQ_DPS_AUDIO_FRAME_EX_FIXED_LEN 24
#define VXQ_DPS_MODIFY_CODEC_BODY_LEN 48

/* The sub-channel of channel and stream (10000 is slot 64 when the device's
 * bSpecialChFlag is set), or null (also before the table is made). Inline,
 * as the frame path asks it per viewer and per completion. */
static inline _VXQ_S_DPS_MEDIA_SUB_CH_DATA *
VXQ_F_DPS_MC_QueryMediaSubChData(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData, int32_t in_iChNo, int32_t in_iStreamNo)
{
    if (in_pMcSrvData == NULL)
        return NULL;
    return VXQ_F_DPS_MC_MediaChTable_Query(
        in_pMcSrvData->pMediaCh, in_pMcSrvData->tDevCapInfo.bSpecialChFlag != 0, in_iChNo, in_iStreamNo);
}

/* Counts over the connection table (control thread). */
int32_t VXQ_F_DPS_MC_StatRealplayClientNum(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData);
int32_t VXQ_F_DPS_MC_GetMainStreamPlayClientNum(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData);
int32_t VXQ_F_DPS_MC_GetSubStreamPlayClientNum(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData);
int32_t VXQ_F_DPS_MC_GetReplayClientNum(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData);
/* The free media resources now (1024.0 with accounting off). Control thread. */
float VXQ_F_DPS_MC_GetFreeMediaResourceNum(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData);

/* The media (2) or down (4) connection opened last (latest nonzero tOpenTime,
 * lower index on a tie), or null. */
_VXQ_S_DPS_NET_PORT_DATA *VXQ_F_DPS_MC_GetLastMediaConnect(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData);
/* Drops the newest media connections while the free media resource is below 0. Control thread. */
void VXQ_F_DPS_MC_DisconnectToReleaseResorce(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);

/* Frame order handlers (order dispatcher, control thread): the whole order
 * of in_iLength bytes; the frame goes to the cache of its sub-channel. 1. */
int VXQ_F_DPS_MW_DoOrder_MEDIA_E8_VIDEO_FRAME(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                              int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_MEDIA_E8_AUDIO_FRAME(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                              int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_MEDIA_E8_VIDEO_FRAME_EX(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                                 int32_t in_iLength);
int VXQ_F_DPS_MW_DoOrder_MEDIA_E8_AUDIO_FRAME_EX(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                                 int32_t in_iLength);
/* Copies the stream description of a modify-codec order (type 0, body of 48
 * bytes) into its sub-channel, whatever its state; no answer. 1 done, 0 not. */
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_MODIFY_CODEC(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                               int32_t in_iLength);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_MEDIA_INPUT_H */
