/*
 * direct.h - direct frame delivery, and the closing and release of sub-channels.
 *
 * The direct path sends one frame at once to every viewer of its sub-channel,
 * building one message per viewer and handing it to the viewer's send queue
 * through VXQ_F_DPS_MC_SentNetData; it keeps no copy of the frame. A viewer
 * that falls behind is caught at the next I-frame: its queue is discarded and
 * it gets I-frames only (loss mode) for at least iOnlySendIFrameTimeLen s.
 * (A test may put its own send in the instance's fnDirectSend seam,
 * core/hooks.h.) The exported entries (VXQ_F_DPS_MC_APUP_Send*FrameData) may
 * be called from any thread: they post a copy of the frame as control work,
 * and the delivery runs on the control thread, which owns the tables.
 *
 * Also owns the sub-channel table's life (made at start, freed at stop, the
 * media hooks of core/hooks.h) and the end of a sub-channel's: when its last
 * viewer leaves, the host is asked to close the stream and the record is
 * reset (state 0, description zero, cache freed; the byte limit and counters
 * stay).
 *
 * Control thread only, except the two exported entries.
 */
#ifndef VXQ_MEDIA_DIRECT_H
#define VXQ_MEDIA_DIRECT_H

#include "core/conn.h"
#include "media/subch.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The overload rule of the direct path: 1 when the bytes in all send queues
 * exceed in_iMediaDataBufSize, or, at in_iFrameRate >= 1 frames per second,
 * more than four seconds of video wait (in_iWaitingVideo / rate > 4), or, at
 * a rate below 1, 125 video messages or more wait. */
int VXQ_F_DPS_MC_IsClientSendOverloaded(int32_t in_iSendQueueTotalLen, int32_t in_iMediaDataBufSize,
                                        int32_t in_iWaitingVideo, int32_t in_iFrameRate);

/* Control thread: one frame to every viewer of the sub-channel, or the
 * not-open rule (after 30 s of frames the host is asked to close it). */
void VXQ_F_DPS_MC_DoSendVideoFrameData(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iChNo,
                                       int32_t in_iStreamNo, int32_t in_iFrameType, const uint8_t *in_pData,
                                       int32_t in_iDataLen);
void VXQ_F_DPS_MC_DoSendAudioFrameData(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iChNo,
                                       int32_t in_iStreamNo, const uint8_t *in_pData, int32_t in_iDataLen);

/* One frame to one viewer with the load check and loss mode; 1 sent or
 * skipped, 0 failed (the caller drops the viewer). The data stays the caller's. */
int VXQ_F_DPS_MC_SentVideoFrameDataToClient(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                            _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                                            const _VXQ_S_DPS_MEDIA_SUB_CH_DATA *in_pSubCh, int32_t in_iFrameType,
                                            const uint8_t *in_pData, int32_t in_iDataLen);
int VXQ_F_DPS_MC_SentAudioFrameDataToClient(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                            _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                                            const _VXQ_S_DPS_MEDIA_SUB_CH_DATA *in_pSubCh,
                                            const uint8_t *in_pData, int32_t in_iDataLen);

/* A viewer left the sub-channel: when no connection of it is waiting or
 * streaming any more and it is opening or open, the host is asked to close
 * it and it is released. 0 only when the sub-channel does not exist. */
int VXQ_F_DPS_MC_ClientCloseMediaCh(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iChNo,
                                    int32_t in_iStreamNo);
/* Resets one sub-channel and frees its cache; raises no event. */
void VXQ_F_DPS_MC_ReleaseMediaChannel(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                      _VXQ_S_DPS_MEDIA_SUB_CH_DATA *inout_pSubCh);
/* Resets all 65 x 3 sub-channels (service stop). */
void VXQ_F_DPS_MC_ReleaseAllMediaChannel(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);

/* The sub-channel table of the instance (pMediaCh): made zeroed and numbered
 * at start (1, or 0 when memory is short, logged; an existing table is kept),
 * released (every sub-channel, as above) and freed at stop. */
int VXQ_F_DPS_MC_MediaTable_Start(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);
void VXQ_F_DPS_MC_MediaTable_Stop(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);

/* Registers media with the core: the table's start and stop, and the frame
 * cache's pump on each completed frame message (the send-done hook). */
void VXQ_F_DPS_MC_MEDIA_Install(_VXQ_S_DPS_HOOKS *inout_pHooks);

/* Raises EVENT_E2_CLOSE_MEDIA_STREAM (no transaction); the queue's result. */
int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_CLOSE_MEDIA_STREAM(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                         int32_t in_iChNo, int32_t in_iStreamNo);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_MEDIA_DIRECT_H */
