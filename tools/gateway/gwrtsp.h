/*
 * gwrtsp.h - the RTSP side of dps-gateway, over GStreamer's RTSP server
 * library, which does all of RTSP and RTP.
 *
 * Every device gets the mount points <name>/ch<N> and <name>/ch<N>/sub for
 * channels 0..63. A DESCRIBE first asks the device side (gwview.h) for the
 * view: a refusal goes back as the RTSP status (401, 403, 404, 503) at once.
 * Each RTSP client then gets its own small pipeline
 *   appsrc ! h264parse ! rtph264pay     (+ appsrc ! rtppcmupay or rtppcmapay)
 * fed by a sink attached to the shared device view; the buffers carry the
 * device's time stamps mapped onto the pipeline's running time (gwtime.h), so
 * the payloaders stamp RTP with them (90 kHz video, 8 kHz G.711). When a view
 * ends, its pipelines get end-of-stream (RTCP BYE to the players) and their
 * clients are closed shortly after.
 *
 * Threads: Start, Stop and the counters run on the thread of the default GLib
 * main context (the one main() runs); the server's client threads and the
 * view threads call into the sink code, which locks what it shares.
 */
#ifndef VXQ_GATEWAY_GWRTSP_H
#define VXQ_GATEWAY_GWRTSP_H

#include "gwconf.h"
#include "gwview.h"

#include <string>

typedef struct _VXQ_S_GWRTSP_DATA _VXQ_S_GWRTSP_DATA;

/* The sink callbacks to give VXQ_F_GWVIEW_New. */
const _VXQ_S_GWVIEW_SINKOPS *VXQ_F_GWRTSP_SinkOps(void);

/* Creates the server with its mount points and listens (attached to the
 * default main context). Returns null with one line in *out_psError when the
 * address or port cannot be used. */
_VXQ_S_GWRTSP_DATA *VXQ_F_GWRTSP_Start(_VXQ_S_GWVIEW_GATEWAY *in_ptGw, const _VXQ_S_GWCONF_DATA *in_ptConf,
                                       std::string *out_psError);

/* The TCP port the server listens on. */
int VXQ_F_GWRTSP_Port(const _VXQ_S_GWRTSP_DATA *in_ptRtsp);

/* RTSP client connections now. */
int VXQ_F_GWRTSP_Clients(const _VXQ_S_GWRTSP_DATA *in_ptRtsp);

/* Closes every client, stops listening and frees the server, waiting up to
 * 2 s for the client pipelines to go. Returns how many are still held (their
 * sinks may still detach from their views). Accepts null. */
int VXQ_F_GWRTSP_Stop(_VXQ_S_GWRTSP_DATA *in_ptRtsp);

#endif
