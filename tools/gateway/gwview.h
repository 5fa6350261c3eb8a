/*
 * gwview.h - the device side of dps-gateway: one record per configured device
 * (reachable or not, and when to try it again) and one device view per
 * channel and stream that RTSP clients watch.
 *
 * A view logs in on its own command connection, opens the live stream with
 * the extended open on a media connection, continues audio, and then reads
 * frames on its own thread. Each frame that passes the check (gwtime.h) goes
 * to every sink attached to the view (one per RTSP client pipeline), and the
 * frames since the last I-frame are kept, so a sink attached soon after an
 * I-frame starts with it at once (others wait for the next I-frame, which the
 * view asks the device for). Any number of sinks share one view: the device
 * sees one viewer per stream. A view without sinks closes after
 * VXQ_GWVIEW_LINGER_MS. When the device drops the connection, every sink is
 * ended and the device is tried again after a growing delay; requests for it
 * meanwhile are refused at once (503).
 *
 * Threads: any thread may call these functions. Sink callbacks run with the
 * view's lock held, on the view's thread, or on the caller's of
 * VXQ_F_GWVIEW_Attach for the frames kept; they must not call back into this
 * module. After VXQ_F_GWVIEW_Detach returns, the view no longer calls the sink.
 * The gateway record owns every device, view and thread; VXQ_F_GWVIEW_Free
 * stops and frees them.
 */
#ifndef VXQ_GATEWAY_GWVIEW_H
#define VXQ_GATEWAY_GWVIEW_H

#include "gwconf.h"
#include "gwtime.h"

#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#define VXQ_GWVIEW_CHANNELS 64 /* channels 0..63 of every device */
#define VXQ_GWVIEW_STREAMS 2   /* 0 main, 1 sub */
#define VXQ_GWVIEW_LINGER_MS 2000u

/* Outcomes of VXQ_F_GWVIEW_Acquire, as RTSP status codes. */
#define VXQ_GWVIEW_OK 200
#define VXQ_GWVIEW_UNAUTHORIZED 401 /* the device refused the login */
#define VXQ_GWVIEW_FORBIDDEN 403    /* the user may not watch this channel */
#define VXQ_GWVIEW_NOT_FOUND 404    /* no such channel or stream */
#define VXQ_GWVIEW_UNAVAILABLE 503  /* the device cannot be reached, or failed */

/* One frame handed to sinks. The data is shared by every sink and lives as
 * long as any holder of tData. */
typedef struct _VXQ_S_GWVIEW_FRAME {
    int bVideo;
    int bIFrame;
    int iAudio;             /* audio: VXQ_GW_AUDIO_PCMU or _PCMA */
    uint32_t dwStamp;       /* the device's time stamp, ms */
    uint32_t dwNewestStamp; /* stamp of the newest frame the view has (replay anchor) */
    uint32_t dwNominalMs;   /* the frame's length: 1000 / frame rate, or audio bytes / 8 */
    std::shared_ptr<const std::vector<uint8_t>> tData;
} _VXQ_S_GWVIEW_FRAME;

/* What a client pipeline must offer, known once the view is open. */
typedef struct _VXQ_S_GWVIEW_INFO {
    int iAudio; /* VXQ_GW_AUDIO_NONE when the stream has no (G.711) audio */
    uint32_t dwAudioRate;
    uint32_t dwAudioChannels;
    uint32_t dwFrameRate; /* 0 unknown */
    uint16_t usWidth;
    uint16_t usHeight;
} _VXQ_S_GWVIEW_INFO;

/* The callbacks of the sinks (the RTSP side). */
typedef struct _VXQ_S_GWVIEW_SINKOPS {
    void (*fnFrame)(void *in_pSink, const _VXQ_S_GWVIEW_FRAME *in_ptFrame);
    void (*fnEnd)(void *in_pSink); /* the view ended: end the client's stream */
} _VXQ_S_GWVIEW_SINKOPS;

/* Counts for the status line. */
typedef struct _VXQ_S_GWVIEW_STATS {
    int iDevices;
    int iReachable;
    int iOpenViews;
    int iSinks;
    uint64_t qwBytes;   /* frame data received from devices since start */
    uint64_t qwDropped; /* frames dropped by the check or for their size since start */
    std::string sViews; /* "sim/ch0:2 sim/ch1/sub:1" (path and sinks) */
} _VXQ_S_GWVIEW_STATS;

typedef struct _VXQ_S_GWVIEW_GATEWAY _VXQ_S_GWVIEW_GATEWAY;
typedef struct _VXQ_S_GWVIEW_VIEW _VXQ_S_GWVIEW_VIEW;

/* The devices of in_ptConf (copied), no view open, and a monitor thread that
 * tries unreachable devices again. Null when a thread cannot start. */
_VXQ_S_GWVIEW_GATEWAY *VXQ_F_GWVIEW_New(const _VXQ_S_GWCONF_DATA *in_ptConf,
                                        const _VXQ_S_GWVIEW_SINKOPS *in_ptOps);

/* Closes every view (their sinks are ended) and stops the threads; the records
 * stay, so late detaches are harmless. */
void VXQ_F_GWVIEW_StopAll(_VXQ_S_GWVIEW_GATEWAY *inout_ptGw);

/* VXQ_F_GWVIEW_StopAll, then frees everything. Accepts null. */
void VXQ_F_GWVIEW_Free(_VXQ_S_GWVIEW_GATEWAY *in_ptGw);

/* The index of the device named in_sName, or -1. */
int VXQ_F_GWVIEW_FindDevice(const _VXQ_S_GWVIEW_GATEWAY *in_ptGw, const std::string &in_sName);

/* Makes sure the view of channel in_iCh stream in_iStream of device in_iDev
 * is open, opening it when needed (at most about 15 s: connect, login, open,
 * first I-frame). Returns VXQ_GWVIEW_OK with *out_ptInfo filled, or the
 * refusal; in_sWho names the asker in the log. */
int VXQ_F_GWVIEW_Acquire(_VXQ_S_GWVIEW_GATEWAY *inout_ptGw, int in_iDev, int in_iCh, int in_iStream,
                         const std::string &in_sWho, _VXQ_S_GWVIEW_INFO *out_ptInfo);

/* Attaches a sink to an open view and hands it the frames kept since the last
 * I-frame when that I-frame is recent. Returns the view, or null when the view
 * is not open (the sink is not called). */
_VXQ_S_GWVIEW_VIEW *VXQ_F_GWVIEW_Attach(_VXQ_S_GWVIEW_GATEWAY *inout_ptGw, int in_iDev, int in_iCh,
                                        int in_iStream, void *in_pSink);

/* Removes a sink; safe for a sink the view already ended. */
void VXQ_F_GWVIEW_Detach(_VXQ_S_GWVIEW_VIEW *inout_ptView, void *in_pSink);

/* The counts of the status line. */
void VXQ_F_GWVIEW_Stats(_VXQ_S_GWVIEW_GATEWAY *in_ptGw, _VXQ_S_GWVIEW_STATS *out_ptStats);

/* The path of a view, "name/ch<N>" or "name/ch<N>/sub". */
std::string VXQ_F_GWVIEW_PathOf(const std::string &in_sDevice, int in_iCh, int in_iStream);

/* Parses an RTSP path "/name/ch<N>" or "/name/ch<N>/sub" (a trailing '/' is
 * allowed). Returns 1 with the parts, 0 for anything else. */
int VXQ_F_GWVIEW_ParsePath(const std::string &in_sPath, std::string *out_psDevice, int *out_piCh,
                           int *out_piStream);

/* "dps-gateway: " and the formatted text as one log line on the console. */
void VXQ_F_GWVIEW_Say(const char *in_sFormat, ...) __attribute__((format(printf, 1, 2)));

#endif
