/*
 * inputcall - what VXQ_F_DPS_InputVideoStreamEx and VXQ_F_DPS_InputAudioStreamEx
 * cost the host's encoder thread, against a memcpy of the same frame taken in
 * the same run.
 *
 * For each number of viewers (a real instance, viewers logged in with an
 * extended open of channel 1 on media connections, audio continued, read over
 * loopback by the receiver process of the fan-out benchmark) and each frame
 * size, the main thread plays the encoder: at a steady rate it stamps the
 * frame, times a memcpy of it into a buffer of its own, then times the input
 * call with the same frame, video and audio calls in turn (every tenth video
 * frame an I-frame). Each timing is a pair of CLOCK_MONOTONIC readings around
 * the one call. The encoder thread's own resource use over the point tells
 * whether a call blocked: voluntary context switches beyond the one sleep per
 * call, and minor page faults per call.
 *
 *   inputcall [--seconds S] [--rate CALLS_PER_S] [--viewers 0,1,64] [--sizes 4096,65536,524288]
 *             [--json FILE] [--markdown]
 */
#include "bench/benchsvc.h"
#include "bench/fanout_recv.h"
#include "vxq_dps.h"
#include "vxq_log.h"

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace
{

struct Point {
    const char *sKind; /* "video" or "audio" */
    int iBytes;
    int iViewers;
    std::vector<uint64_t> tCopyNs, tCallNs;
    uint64_t qwRefused = 0;
    /* The encoder thread over the point, per call (both kinds together): minor
     * page faults, voluntary switches beyond its own sleeps (it blocked: a
     * lock, a page fault waiting), involuntary ones (it was preempted). */
    double fFaultsPerCall = 0;
    double fBlocksPerCall = 0;
    double fPreemptsPerCall = 0;
    double fCopyMed() const
    {
        return BENCH_PercentileUs(tCopyNs, 50);
    }
    double fCallMed() const
    {
        return BENCH_PercentileUs(tCallNs, 50);
    }
    double fCallP99() const
    {
        return BENCH_PercentileUs(tCallNs, 99);
    }
    double fCallMax() const
    {
        return BENCH_PercentileUs(tCallNs, 100);
    }
    double fCopyMax() const
    {
        return BENCH_PercentileUs(tCopyNs, 100);
    }
    bool bMedianMet() const
    {
        return fCallMed() <= 2 * fCopyMed() + 2.0;
    }
};

std::vector<int> PR_List(const char *in_s)
{
    std::vector<int> t;
    for (const char *p = in_s; *p != '\0';) {
        char *pEnd = NULL;
        long l = strtol(p, &pEnd, 10);
        if (pEnd == p)
            break;
        t.push_back((int)l);
        p = *pEnd == ',' ? pEnd + 1 : pEnd;
    }
    return t;
}

/* Runs the encoder loop on one frame size for in_fSeconds; fills the video and audio points. */
void PR_RunSize(VXQ_DPS_HANDLE in_hSrv, int in_iBytes, double in_fSeconds, int in_iRate, Point &inout_tVideo,
                Point &inout_tAudio, uint32_t &inout_dwSeq)
{
    std::vector<uint8_t> tFrame(in_iBytes), tCopy(in_iBytes);
    uint32_t x = 777u + (uint32_t)in_iBytes;
    for (uint8_t &b : tFrame) {
        x = x * 1103515245u + 12345u;
        b = (uint8_t)(x >> 16);
    }
    memcpy(tCopy.data(), tFrame.data(), tFrame.size()); /* both buffers touched before timing */
    struct rusage t0, t1;
    getrusage(RUSAGE_THREAD, &t0);
    uint64_t qwStep = 1000000000ull / (uint64_t)in_iRate;
    uint64_t qwNext = BENCH_NowNs() + qwStep;
    uint64_t qwEnd = qwNext + (uint64_t)(in_fSeconds * 1e9);
    long lCalls = 0, lSleeps = 0;
    for (int k = 0; qwNext < qwEnd; k++, qwNext += qwStep) {
        if (BENCH_NowNs() < qwNext) {
            BENCH_SleepUntil(qwNext);
            lSleeps++;
        }
        bool bVideo = k % 2 == 0;
        Point &p = bVideo ? inout_tVideo : inout_tAudio;
        BENCH_Stamp(tFrame.data(), inout_dwSeq++);
        uint64_t q0 = BENCH_NowNs();
        memcpy(tCopy.data(), tFrame.data(), tFrame.size());
        uint64_t q1 = BENCH_NowNs();
        int iOk = bVideo ? VXQ_F_DPS_InputVideoStreamEx(in_hSrv, 1, 0, (k / 2) % 10 == 0 ? 1 : 2,
                                                        (uint32_t)(q1 / 1000000), tFrame.data(), in_iBytes)
                         : VXQ_F_DPS_InputAudioStreamEx(in_hSrv, 1, 0, (uint32_t)(q1 / 1000000),
                                                        tFrame.data(), in_iBytes);
        uint64_t q2 = BENCH_NowNs();
        p.tCopyNs.push_back(q1 - q0);
        p.tCallNs.push_back(q2 - q1);
        if (!iOk)
            p.qwRefused++;
        lCalls++;
        /* The copy's destination must not be optimised away. */
        __asm__ __volatile__("" : : "r"(tCopy.data()) : "memory");
    }
    getrusage(RUSAGE_THREAD, &t1);
    double fCalls = lCalls > 0 ? lCalls : 1;
    double fFaults = (double)(t1.ru_minflt - t0.ru_minflt) / fCalls;
    double fBlocks = ((double)(t1.ru_nvcsw - t0.ru_nvcsw) - (double)lSleeps) / fCalls;
    double fPreempts = (double)(t1.ru_nivcsw - t0.ru_nivcsw) / fCalls;
    for (Point *p : {&inout_tVideo, &inout_tAudio}) {
        p->fFaultsPerCall = fFaults;
        p->fBlocksPerCall = fBlocks > 0 ? fBlocks : 0;
        p->fPreemptsPerCall = fPreempts;
    }
}

void PR_PrintRow(const Point &p)
{
    printf("%-6s %8d %7d %9.2f %9.2f %9.2f %9.2f %9.2f %7.2f %6s %8.2f %8.3f %8.3f %6llu\n", p.sKind,
           p.iBytes, p.iViewers, p.fCopyMed(), p.fCopyMax(), p.fCallMed(), p.fCallP99(), p.fCallMax(),
           p.fCopyMed() > 0 ? p.fCallMed() / p.fCopyMed() : 0.0, p.bMedianMet() ? "met" : "missed",
           p.fFaultsPerCall, p.fBlocksPerCall, p.fPreemptsPerCall, (unsigned long long)p.qwRefused);
    fflush(stdout);
}

void PR_PrintMarkdown(const std::vector<Point> &in_tAll)
{
    printf(
        "\n| call | frame | viewers | memcpy median µs | call median µs | call p99 µs | call max µs | median "
        "/ "
        "memcpy | median target (2 x memcpy + 2 µs) | max target (1 ms, 64 viewers) | page faults / call | "
        "blocked / call | preempted / call "
        "|\n|---|---:|---:|---:|---:|---:|---:|---:|---|---|---:|---:|---:|\n");
    for (const Point &p : in_tAll)
        printf("| %s | %d KiB | %d | %.2f | %.2f | %.2f | %.1f | %.1f | %s | %s | %.1f | %.3f | %.3f |\n",
               p.sKind, p.iBytes / 1024, p.iViewers, p.fCopyMed(), p.fCallMed(), p.fCallP99(), p.fCallMax(),
               p.fCopyMed() > 0 ? p.fCallMed() / p.fCopyMed() : 0.0, p.bMedianMet() ? "met" : "missed",
               p.iViewers < 64          ? ""
               : p.fCallMax() <= 1000.0 ? "met"
                                        : "missed",
               p.fFaultsPerCall, p.fBlocksPerCall, p.fPreemptsPerCall);
    fflush(stdout);
}

void PR_WriteJson(const char *in_sPath, const std::vector<Point> &in_tAll)
{
    FILE *f = fopen(in_sPath, "w");
    if (f == NULL) {
        fprintf(stderr, "inputcall: cannot write %s\n", in_sPath);
        return;
    }
    fprintf(f, "{\n  \"points\": [\n");
    for (size_t i = 0; i < in_tAll.size(); i++) {
        const Point &p = in_tAll[i];
        fprintf(f,
                "    {\"call\": \"%s\", \"bytes\": %d, \"viewers\": %d, \"calls\": %zu, "
                "\"memcpy_median_us\": %.3f, "
                "\"memcpy_max_us\": %.3f, \"call_median_us\": %.3f, \"call_p99_us\": %.3f, \"call_max_us\": "
                "%.3f, "
                "\"refused\": %llu, \"faults_per_call\": %.3f, \"blocks_per_call\": %.3f, "
                "\"preempts_per_call\": %.3f}%s\n",
                p.sKind, p.iBytes, p.iViewers, p.tCallNs.size(), p.fCopyMed(), p.fCopyMax(), p.fCallMed(),
                p.fCallP99(), p.fCallMax(), (unsigned long long)p.qwRefused, p.fFaultsPerCall,
                p.fBlocksPerCall, p.fPreemptsPerCall, i + 1 < in_tAll.size() ? "," : "");
    }
    fprintf(f, "  ]\n}\n");
    fclose(f);
}

} // namespace

int main(int argc, char **argv)
{
    double fSeconds = 3.0;
    int iRate = 200;
    std::vector<int> tViewers = {0, 1, 64}, tSizes = {4096, 65536, 524288};
    const char *sJson = NULL;
    bool bMarkdown = false;
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        bool bArg = i + 1 < argc;
        if (a == "--seconds" && bArg)
            fSeconds = atof(argv[++i]);
        else if (a == "--rate" && bArg)
            iRate = atoi(argv[++i]);
        else if (a == "--viewers" && bArg)
            tViewers = PR_List(argv[++i]);
        else if (a == "--sizes" && bArg)
            tSizes = PR_List(argv[++i]);
        else if (a == "--json" && bArg)
            sJson = argv[++i];
        else if (a == "--markdown")
            bMarkdown = true;
        else {
            fprintf(stderr, "usage: inputcall [--seconds S] [--rate CALLS_PER_S] [--viewers 0,1,64] "
                            "[--sizes 4096,65536,524288] [--json FILE] [--markdown]\n");
            return 2;
        }
    }
    for (int v : tViewers)
        if (v < 0 || v > BENCH_MAX_VIEWERS || iRate < 1) {
            fprintf(stderr, "inputcall: 0 to %d viewers, a rate of at least 1\n", BENCH_MAX_VIEWERS);
            return 2;
        }
    signal(SIGPIPE, SIG_IGN);
    pid_t iChild = -1;
    _VXQ_S_BENCH_PROGRESS *pProgress = NULL;
    int iCtrl = BENCH_ForkReceiver(&iChild, &pProgress);
    if (iCtrl < 0)
        return 1;
    VXQ_F_LOG_SR_SetIfShowLog(0);
    VXQ_F_LOG_SR_SetIfWriteLogToFile(0);

    printf("%-6s %8s %7s %9s %9s %9s %9s %9s %7s %6s %8s %8s %8s %6s\n", "call", "bytes", "viewers",
           "cpy_med", "cpy_max", "call_med", "call_p99", "call_max", "x_copy", "target", "flt/call",
           "blk/call", "pre/call", "refus");
    printf("%-6s %8s %7s %9s %9s %9s %9s %9s\n", "", "", "", "us", "us", "us", "us", "us");
    std::vector<Point> tAll;
    uint32_t dwSeq = 0;
    for (int iViewers : tViewers) {
        _VXQ_S_BENCH_SERVICE s;
        if (!BENCH_ServiceStart(s, 1)) {
            fprintf(stderr, "inputcall: service start failed\n");
            return 1;
        }
        std::vector<int> tFds;
        for (int v = 0; v < iViewers; v++) {
            int iFd = BENCH_OpenViewer(s, 1, 0);
            if (iFd < 0) {
                fprintf(stderr, "inputcall: viewer %d did not open\n", v);
                return 1;
            }
            tFds.push_back(iFd);
        }
        BENCH_SendCmd(iCtrl, BENCH_OP_START, 0, tFds);
        for (int iFd : tFds)
            close(iFd);
        for (int iBytes : tSizes) {
            Point tVideo, tAudio;
            tVideo.sKind = "video";
            tAudio.sKind = "audio";
            tVideo.iBytes = tAudio.iBytes = iBytes;
            tVideo.iViewers = tAudio.iViewers = iViewers;
            PR_RunSize(s.tHost.pSrv, iBytes, fSeconds, iRate, tVideo, tAudio, dwSeq);
            PR_PrintRow(tVideo);
            PR_PrintRow(tAudio);
            tAll.push_back(tVideo);
            tAll.push_back(tAudio);
        }
        _VXQ_S_BENCH_REPLY tReply;
        BENCH_SendCmd(iCtrl, BENCH_OP_STOP, 0, {});
        while (recv(iCtrl, &tReply, sizeof(tReply), 0) > 0 && tReply.dwType != BENCH_REPLY_STATS) {
        }
        if (iViewers > 0)
            printf("    viewers received %.1f MB in %llu frames, %llu skipped (a viewer that falls behind "
                   "restarts "
                   "at a later I-frame)\n",
                   tReply.tStats.qwBytes / 1e6, (unsigned long long)tReply.tStats.qwFrames,
                   (unsigned long long)tReply.tStats.qwDrops);
        BENCH_ServiceStop(s);
    }
    if (bMarkdown)
        PR_PrintMarkdown(tAll);
    if (sJson != NULL)
        PR_WriteJson(sJson, tAll);
    BENCH_QuitReceiver(iCtrl, iChild);
    return 0;
}
