/*
 * benchsvc.h - the sending side's pieces shared by the benchmarks: a real
 * service instance played by the test host, viewers that log in and open live
 * view through the protocol, the frame stamp the receiver reads, and the
 * process's CPU and memory readings.
 *
 * A viewer is a media connection with an extended open of (channel, stream 0)
 * and audio continued, made by the test client on the command connection's
 * login; its descriptor is handed to the caller, who usually passes it on to
 * the receiver process (fanout_recv.h). The host answers every open-stream
 * event at once with one fixed stream description.
 *
 * One thread (the benchmark's main thread) starts, opens and stops; the
 * readings may be taken from any thread.
 */
#ifndef VXQ_BENCH_BENCHSVC_H
#define VXQ_BENCH_BENCHSVC_H

#include "support/test_client.h"
#include "support/test_host.h"
#include "vxq_dps.h"

#include <stdint.h>

#include <vector>

/* A running instance and the command connection whose login the viewers use. */
typedef struct _VXQ_S_BENCH_SERVICE {
    _VXQ_S_TESTHOST_DATA tHost;
    _VXQ_S_TESTCLI_DATA tCmd;
    uint32_t dwLoginId = 0;
    uint32_t dwTrans = 100;
} _VXQ_S_BENCH_SERVICE;

/* The service admits at most 64 live viewers (VXQ_F_DPS_SetMaxRealplayClientNum, 1 to 64). */
#define BENCH_MAX_VIEWERS 64

/* Starts an instance with in_iVideoChs video channels, logs in. 1 done. */
int BENCH_ServiceStart(_VXQ_S_BENCH_SERVICE &inout_tSvc, int in_iVideoChs);

/* Opens a viewer of (in_iChNo, stream 0); with in_iRcvBuf > 0 its receive
 * buffer is set before connecting. Returns the descriptor (the caller's) or -1. */
int BENCH_OpenViewer(_VXQ_S_BENCH_SERVICE &inout_tSvc, int in_iChNo, int in_iRcvBuf);

/* Closes the login connection and stops the instance. */
void BENCH_ServiceStop(_VXQ_S_BENCH_SERVICE &inout_tSvc);

/* The description the host gives every stream: H.264 1920x1080 25 fps 8 Mbit/s, G.711 8 kHz mono. */
_VXQ_S_DPS_STREAM_DESC BENCH_StreamDesc(void);

/* Writes the receiver's stamp (sequence, feed time now) at out_p (12 bytes). */
void BENCH_Stamp(uint8_t *out_p, uint32_t in_dwSeq);

/* Sleeps until the monotonic time in_qwNs. */
void BENCH_SleepUntil(uint64_t in_qwNs);

/* CPU seconds of this process (user + system). */
double BENCH_CpuSec(void);

/* Resident set of this process in KiB. */
long BENCH_RssKiB(void);

/* Bytes the allocator has handed out and not taken back (every arena and
 * mapped block), in KiB: the heap the program uses, without allocator slack;
 * -1 where the C library cannot tell (another allocator, an old library). */
double BENCH_HeapKiB(void);

/* Percentile (0..100) of unsorted samples in nanoseconds (sorts a copy), in microseconds. */
double BENCH_PercentileUs(std::vector<uint64_t> in_tNs, double in_fPct);

#endif
