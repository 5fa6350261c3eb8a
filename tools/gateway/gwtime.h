/*
 * gwtime.h - the gateway's media rules that need no network and no GStreamer:
 * the mapping of a device's millisecond frame time stamps onto the running
 * time of one RTSP client's pipeline, and the check that decides whether a
 * frame message from the device is passed on or dropped.
 *
 * Owns no threads and no global state: one time map belongs to one client
 * pipeline and is used by one thread at a time (the device view's thread).
 * Times are nanoseconds of pipeline running time (uint64_t) and device time
 * stamps are the 32-bit millisecond counters of the frame messages, which wrap.
 */
#ifndef VXQ_GATEWAY_GWTIME_H
#define VXQ_GATEWAY_GWTIME_H

#include "cliwire.h"

#include <stddef.h>
#include <stdint.h>

#define VXQ_GWTIME_NS_PER_MS 1000000ull
/* A step between two frames of one track longer than this (or backwards) is a
 * jump of the device's clock, not a pause of the stream. */
#define VXQ_GWTIME_MAX_STEP_MS 10000
/* A time stamp further than this from the pipeline's running time moves the
 * whole map: the device's clock and the gateway's drifted apart. */
#define VXQ_GWTIME_MAX_DRIFT_MS 10000

#define VXQ_GWTIME_VIDEO 0
#define VXQ_GWTIME_AUDIO 1

/* One track's last frame. */
typedef struct _VXQ_S_GWTIME_TRACK {
    int bStarted;
    uint32_t dwLastStamp; /* device ms */
    uint64_t qwLastNs;    /* its running time */
} _VXQ_S_GWTIME_TRACK;

/* Device time -> running time for the tracks of one client pipeline: the
 * anchor pairs one device stamp with one running time; every track steps from
 * its own last frame by the device's difference, so the RTP clocks (90 kHz
 * video, 8 kHz G.711) advance exactly as the device's stamps do. */
typedef struct _VXQ_S_GWTIME_MAP {
    int bAnchored;
    uint32_t dwAnchorStamp;
    uint64_t qwAnchorNs;
    _VXQ_S_GWTIME_TRACK tTrack[2];
} _VXQ_S_GWTIME_MAP;

/* A map with no anchor. */
void VXQ_F_GWTIME_Init(_VXQ_S_GWTIME_MAP *out_ptMap);

/* Anchors the map so that the frame stamped in_dwNewestStamp lands on
 * in_qwNowNs (or later, when the older frame stamped in_dwFirstStamp would
 * otherwise fall before 0): a client that starts with frames already cached
 * plays them back to back and is then at the live edge. Tracks restart. */
void VXQ_F_GWTIME_Anchor(_VXQ_S_GWTIME_MAP *inout_ptMap, uint32_t in_dwFirstStamp, uint32_t in_dwNewestStamp,
                         uint64_t in_qwNowNs);

/* The running time of a frame stamped in_dwStamp on track in_iTrack, given the
 * pipeline's running time now (in_qwNowNs) and the frame's nominal length
 * (in_dwNominalMs, used when the stamp jumped). An unanchored map anchors at
 * this frame. A track's first frame is placed by its distance from the
 * anchor; later frames by their distance from the track's last frame. A step
 * backwards or longer than VXQ_GWTIME_MAX_STEP_MS advances by the nominal
 * length instead; a result further than VXQ_GWTIME_MAX_DRIFT_MS from
 * in_qwNowNs re-anchors the map at in_qwNowNs. *out_pbMoved (may be null) is
 * set to 1 when either happened, else 0. */
uint64_t VXQ_F_GWTIME_Map(_VXQ_S_GWTIME_MAP *inout_ptMap, int in_iTrack, uint32_t in_dwStamp,
                          uint64_t in_qwNowNs, uint32_t in_dwNominalMs, int *out_pbMoved);

/* Audio codecs the gateway passes on. */
#define VXQ_GW_AUDIO_NONE 0
#define VXQ_GW_AUDIO_PCMU 1
#define VXQ_GW_AUDIO_PCMA 2

/* Largest frame message taken from a device; a longer one is skipped. */
#define VXQ_GW_MAX_FRAME_MSG (4u * 1024u * 1024u)
/* Largest G.711 frame (one second at 8 kHz, one channel). */
#define VXQ_GW_MAX_AUDIO_FRAME 8000u

/* Verdicts of VXQ_F_GWFRAME_Check. */
#define VXQ_GWFRAME_PASS 0
#define VXQ_GWFRAME_MALFORMED 1   /* not a frame message, or its size field disagrees */
#define VXQ_GWFRAME_EMPTY 2       /* a frame without data */
#define VXQ_GWFRAME_NOT_H264 3    /* video data that is not an H.264 Annex-B access unit */
#define VXQ_GWFRAME_AUDIO_CODEC 4 /* audio whose codec id is neither G.711 id */
#define VXQ_GWFRAME_AUDIO_SIZE 5  /* audio longer than VXQ_GW_MAX_AUDIO_FRAME */

/* Decides about one message read from a media connection. On
 * VXQ_GWFRAME_PASS *out_ptFrame points into in_pMsg and *out_piAudio (audio
 * only) is the G.711 kind by the device's codec ids in_iPcmuId / in_iPcmaId. */
int VXQ_F_GWFRAME_Check(const uint8_t *in_pMsg, size_t in_iLen, int in_iPcmuId, int in_iPcmaId,
                        _VXQ_S_CLI_MEDIA_HEAD *out_ptFrame, int *out_piAudio);

/* A short text for a verdict ("not an H.264 byte stream", ...). */
const char *VXQ_F_GWFRAME_Text(int in_iVerdict);

#endif
