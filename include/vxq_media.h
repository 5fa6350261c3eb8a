/*
 * vxq_media.h - direct delivery of live frames, beside the media input of vxq_dps.h.
 *
 * The direct entries send one frame at once to every client that watches its
 * channel and stream, without the shared frame cache: one message per client
 * goes into that client's send queue, and a client whose queue holds more than
 * about four seconds of video is dropped to I-frames only for a while.
 *
 * Any thread may call them: each posts a copy of the frame to the service's
 * control thread, which owns the client tables, and returns; the caller keeps
 * its buffer. A frame that cannot be posted is lost (logged).
 */
#ifndef VXQ_MEDIA_H
#define VXQ_MEDIA_H

#include "vxq_dps.h"

VXQ_EXTERN_C_BEGIN

/* One encoded video frame of in_iFrameType (1 = I-frame) for channel and stream. */
VXQ_API void VXQ_F_DPS_MC_APUP_SendVideoFrameData(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_iChNo, int in_iStreamNo,
                                                  int in_iFrameType, const void *in_pMediaDataBuf,
                                                  int in_iMediaDataLen);
/* One encoded audio frame for channel and stream. */
VXQ_API void VXQ_F_DPS_MC_APUP_SendAudioFrameData(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_iChNo, int in_iStreamNo,
                                                  const void *in_pMediaDataBuf, int in_iMediaDataLen);

VXQ_EXTERN_C_END

#endif /* VXQ_MEDIA_H */
