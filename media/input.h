/*
 * input.h - media input from the host: frame and codec orders, sub-channel
 * lookup, client counts and the media resource budget of an instance.
 *
 * The exported input functions (vxq_dps.h) run on host threads and only put
 * copies into the order queue, without waiting and under the instance's byte
 * budget of that queue; the order handlers below run on the control thread
 * and hand each frame to the frame cache (media/cache.h). The client counts
 * walk the connection table and therefore run on the control thread; a host
 * thread that needs them (VXQ_F_DPS_GetFreeMediaResourceNum) has them
 * computed there and waits for the answer (core/hostcall.h).
 *
 * Nothing here keeps memory beyond a call: order messages are built in a
 * local buffer and the queue stores its own copy.
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
 * bSpecialChFlag is set), or null (also before the table is made). */
_VXQ_S_DPS_MEDIA_SUB_CH_DATA *VXQ_F_DPS_MC_QueryMediaSubChData(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData,
                                                              int32_t in_iChNo, int32_t in_iStreamNo);

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
