/*
 * fanout.h - the parts of the fan-out benchmark (fanout.cpp: cases and the
 * baseline; fanout_svc.cpp: the service side; fanout_report.cpp: tables and
 * files). One process, one receiver; the main thread runs one case at a time.
 */
#ifndef VXQ_BENCH_FANOUT_H
#define VXQ_BENCH_FANOUT_H

#include "bench/fanout_recv.h"

#include <stdint.h>

#include <string>
#include <vector>

/* 8 Mbit/s with an I-frame every 25 frames five times a P-frame: 29 P per second. */
const int kPBytes = 1000000 / 29;
const int kIBytes = 5 * kPBytes;
const int kAudioBytes = 160;
const int kGop = 25;

struct Load {
    const char *sName;
    bool bSaturate;
};

/* Viewer v watches sub-channel v % iSubChs (stream 0 of channel 1 + v % iSubChs). */
struct Case {
    Load tLoad;
    int iSubChs;
    int iViewers;
    bool bStalled; /* one more viewer of channel 1 that never reads (service only) */
};

/* How the service's feeder paces a saturating load. */
struct FeedOptions {
    /* Frames of one sub-channel in flight: fed but not yet complete at every
     * reading viewer (0: the old gate, order queue below two per sub-channel). */
    int iWindow = 24;
};

struct Result {
    std::string sCase;
    std::string sSender;
    std::string sLoad;
    int iViewers = 0;
    int iSubChs = 0;
    bool bStalled = false;
    double fSeconds = 0;
    double fCpuSec = 0;
    _VXQ_S_BENCH_STATS tStats;
    double fMBps() const
    {
        return fSeconds > 0 ? tStats.qwBytes / fSeconds / 1e6 : 0;
    }
    double fCpuPerGB() const
    {
        return tStats.qwBytes > 0 ? fCpuSec / (tStats.qwBytes / 1e9) : 0;
    }
    /* Service extras (-1: not measured). */
    double fCacheKiBMax = -1; /* cache list of the sub-channel of channel 1 */
    int iMaxSending = -1;
    double fSendQueueKiBMax = -1;
    double fQueueOwnKiBMax = -1; /* memory the send queues own: items and per-viewer heads */
    double fCarriedKiBMax = -1;  /* frames out of the cache list kept alive by queued messages */
    /* Memory: idle after start; in the run, the largest resident size (and
     * heap in use) less the frame data held at that moment (every cache list,
     * the frames queued messages carry, the orders waiting and the control
     * thread's order buffer). Per viewer: the growth over idle divided by the
     * viewers, fixed growth included (the scaling script also fits the slope). */
    double fRssIdleKiB = -1, fRssBeyondKiB = -1;
    double fHeapIdleKiB = -1, fHeapBeyondKiB = -1;
    double fRssPerViewerKiB() const
    {
        return iViewers > 0 ? (fRssBeyondKiB - fRssIdleKiB) / iViewers : 0;
    }
    double fHeapPerViewerKiB() const
    {
        return iViewers > 0 && fHeapIdleKiB >= 0 && fHeapBeyondKiB >= 0
                   ? (fHeapBeyondKiB - fHeapIdleKiB) / iViewers
                   : -1;
    }
    uint64_t qwFed = 0, qwRefused = 0, qwWindowWaits = 0, qwWindowTimeouts = 0;
    /* CPU seconds of the control thread and the feeder over the run (service). */
    double fCtrlCpuSec = -1, fFeedCpuSec = -1;
    std::string sStalled;
};

extern int g_iCtrl;
extern _VXQ_S_BENCH_PROGRESS *g_pProgress;
extern std::vector<uint8_t> g_tI, g_tP, g_tA;

/* The frame schedule of one sub-channel: per 40 ms one video frame (the
 * I-frame first in each group of 25) and two audio frames, one every 20 ms. */
struct Schedule {
    uint32_t dwSeq = 0;
    int iStep = 0;
    int iVideoNo = 0;
};
/* Kind of the next frame: 0 I, 1 P, 2 audio. */
int FANOUT_NextKind(Schedule &s);
/* Frames due in 20 ms tick number in_qwTick: video and audio, or audio alone. */
int FANOUT_FramesInTick(uint64_t in_qwTick);
const std::vector<uint8_t> &FANOUT_Data(int in_iKind);
/* Ends the receiver's run and returns its statistics. */
_VXQ_S_BENCH_STATS FANOUT_Stop(void);

/* The two senders; in_iAckFrames > 0 is the callgrind run (service only). */
Result FANOUT_RunBaseline(const Case &in_tCase, double in_fSeconds);
Result FANOUT_RunService(const Case &in_tCase, double in_fSeconds, const FeedOptions &in_tFeed,
                         int in_iAckFrames = 0);

/* Output: the table rows, the JSON and tab-separated files, the markdown
 * tables, the stalled-viewer pairs. */
std::string FANOUT_CaseName(const Case &c);
void FANOUT_PrintHeader(void);
void FANOUT_PrintRow(const Result &r, const Result *in_pBase);
void FANOUT_PrintServiceNotes(const Result &r);
void FANOUT_PrintMarkdown(const std::vector<Result> &in_tAll);
void FANOUT_WriteJson(const char *in_sPath, const std::vector<Result> &in_tAll);
void FANOUT_AppendTsv(const char *in_sPath, const std::vector<Result> &in_tAll);
/* Runs in_iPairs pairs of (63 viewers, 63 + one stalled), alternating the
 * order, and prints the others' p99 per run, median and spread, the verdict. */
void FANOUT_RunPairs(int in_iPairs, double in_fSeconds, const FeedOptions &in_tFeed,
                     std::vector<Result> &out_tAll);

#endif
