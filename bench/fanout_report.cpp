/* Tables, files and the stalled-viewer pairs of the fan-out benchmark; see fanout.h. */
#include "bench/fanout.h"

#include <stdio.h>
#include <sys/stat.h>

#include <algorithm>

std::string FANOUT_CaseName(const Case &c)
{
    char s[64];
    if (c.iSubChs > 1 && c.iViewers % c.iSubChs == 0)
        snprintf(s, sizeof(s), "%s %dx%d", c.tLoad.sName, c.iSubChs, c.iViewers / c.iSubChs);
    else if (c.iSubChs > 1)
        snprintf(s, sizeof(s), "%s %d over %d", c.tLoad.sName, c.iViewers, c.iSubChs);
    else
        snprintf(s, sizeof(s), "%s %d%s", c.tLoad.sName, c.iViewers, c.bStalled ? "+stalled" : "");
    return s;
}

void FANOUT_PrintHeader(void)
{
    printf("%-22s %-8s %8s %8s %7s %7s %8s %8s  %s\n", "case", "sender", "MB/s", "CPUs/GB", "p50ms", "p99ms",
           "maxms", "drops", "svc/base cpu p99");
    fflush(stdout);
}

void FANOUT_PrintRow(const Result &r, const Result *in_pBase)
{
    char sRatio[64] = "";
    if (in_pBase != NULL && in_pBase->fCpuPerGB() > 0 && in_pBase->tStats.fP99Ms > 0)
        snprintf(sRatio, sizeof(sRatio), "%6.2f %6.2f", r.fCpuPerGB() / in_pBase->fCpuPerGB(),
                 r.tStats.fP99Ms / in_pBase->tStats.fP99Ms);
    printf("%-22s %-8s %8.2f %8.2f %7.2f %7.2f %8.2f %8llu  %s\n", r.sCase.c_str(), r.sSender.c_str(),
           r.fMBps(), r.fCpuPerGB(), r.tStats.fP50Ms, r.tStats.fP99Ms, r.tStats.fMaxMs,
           (unsigned long long)r.tStats.qwDrops, sRatio);
    fflush(stdout);
}

void FANOUT_PrintServiceNotes(const Result &r)
{
    int iAll = r.iViewers + (r.bStalled ? 1 : 0);
    if (!r.sStalled.empty())
        printf("    stalled viewer: %s\n", r.sStalled.c_str());
    printf("    cache of one sub-channel at most %.0f KiB; bytes still to send at most %.0f KiB; send queues "
           "own at "
           "most %.1f KiB (%.2f KiB per viewer); frames out of the cache kept by queued messages at most "
           "%.0f KiB\n",
           r.fCacheKiBMax, r.fSendQueueKiBMax, r.fQueueOwnKiBMax, iAll > 0 ? r.fQueueOwnKiBMax / iAll : 0.0,
           r.fCarriedKiBMax);
    printf(
        "    memory beyond the frame data: resident %.0f KiB idle, %.0f KiB at most in the run (%.1f KiB per "
        "viewer); heap in use %.0f / %.0f KiB (%.1f KiB per viewer)\n",
        r.fRssIdleKiB, r.fRssBeyondKiB, r.fRssPerViewerKiB(), r.fHeapIdleKiB, r.fHeapBeyondKiB,
        r.fHeapPerViewerKiB());
    printf("    feeder: %llu frames fed, %llu refused, %llu window waits, %llu window time-outs; CPU per "
           "second of "
           "the run: control thread %.2f, feeder %.2f, whole process %.2f, receiver process %.2f\n",
           (unsigned long long)r.qwFed, (unsigned long long)r.qwRefused, (unsigned long long)r.qwWindowWaits,
           (unsigned long long)r.qwWindowTimeouts, r.fCtrlCpuSec / r.fSeconds, r.fFeedCpuSec / r.fSeconds,
           r.fCpuSec / r.fSeconds, r.tStats.fCpuSec / r.fSeconds);
    fflush(stdout);
}

/* The baseline row of the same case, if any. */
static const Result *PR_BaseOf(const std::vector<Result> &in_tAll, const Result &in_tSvc)
{
    for (const Result &r : in_tAll)
        if (r.sSender == "baseline" && r.sCase == in_tSvc.sCase)
            return &r;
    return NULL;
}

void FANOUT_PrintMarkdown(const std::vector<Result> &in_tAll)
{
    printf("\n| case | sender | MB/s | CPU s/GB | p50 ms | p99 ms | max ms | drops | svc/base CPU/byte | "
           "svc/base p99 "
           "|\n|---|---|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const Result &r : in_tAll) {
        const Result *b = r.sSender == "service" ? PR_BaseOf(in_tAll, r) : NULL;
        char sRatio[64] = " | ";
        if (b != NULL && b->fCpuPerGB() > 0 && b->tStats.fP99Ms > 0)
            snprintf(sRatio, sizeof(sRatio), "%.2f | %.2f", r.fCpuPerGB() / b->fCpuPerGB(),
                     r.tStats.fP99Ms / b->tStats.fP99Ms);
        printf("| %s | %s | %.2f | %.2f | %.2f | %.2f | %.2f | %llu | %s |\n", r.sCase.c_str(),
               r.sSender.c_str(), r.fMBps(), r.fCpuPerGB(), r.tStats.fP50Ms, r.tStats.fP99Ms, r.tStats.fMaxMs,
               (unsigned long long)r.tStats.qwDrops, sRatio);
    }
    printf("\n| case | viewers | resident idle KiB | beyond frame data KiB | per viewer KiB | heap per "
           "viewer KiB | "
           "cache of channel 1 KiB |\n|---|---:|---:|---:|---:|---:|---:|\n");
    for (const Result &r : in_tAll)
        if (r.sSender == "service")
            printf("| %s | %d | %.0f | %.0f | %.1f | %.1f | %.0f |\n", r.sCase.c_str(), r.iViewers,
                   r.fRssIdleKiB, r.fRssBeyondKiB, r.fRssPerViewerKiB(), r.fHeapPerViewerKiB(),
                   r.fCacheKiBMax);
    fflush(stdout);
}

void FANOUT_WriteJson(const char *in_sPath, const std::vector<Result> &in_tAll)
{
    FILE *f = fopen(in_sPath, "w");
    if (f == NULL) {
        fprintf(stderr, "fanout: cannot write %s\n", in_sPath);
        return;
    }
    fprintf(f, "{\n  \"cases\": [\n");
    for (size_t i = 0; i < in_tAll.size(); i++) {
        const Result &r = in_tAll[i];
        fprintf(
            f,
            "    {\"case\": \"%s\", \"sender\": \"%s\", \"load\": \"%s\", \"viewers\": %d, \"channels\": %d, "
            "\"stalled\": %s, \"mb_per_s\": %.3f, \"cpu_s_per_gb\": %.3f, \"p50_ms\": %.3f, \"p99_ms\": "
            "%.3f, "
            "\"max_ms\": %.3f, \"drops\": %llu, \"frames\": %llu, \"cache_kib_max\": %.1f, "
            "\"queue_own_kib_max\": %.1f, \"carried_kib_max\": %.1f, \"rss_idle_kib\": %.0f, "
            "\"rss_beyond_frames_kib\": %.0f, \"rss_per_viewer_kib\": %.2f, \"heap_idle_kib\": %.0f, "
            "\"heap_beyond_frames_kib\": %.0f, \"heap_per_viewer_kib\": %.2f, \"window_timeouts\": %llu, "
            "\"stalled_viewer\": \"%s\"}%s\n",
            r.sCase.c_str(), r.sSender.c_str(), r.sLoad.c_str(), r.iViewers, r.iSubChs,
            r.bStalled ? "true" : "false", r.fMBps(), r.fCpuPerGB(), r.tStats.fP50Ms, r.tStats.fP99Ms,
            r.tStats.fMaxMs, (unsigned long long)r.tStats.qwDrops, (unsigned long long)r.tStats.qwFrames,
            r.fCacheKiBMax, r.fQueueOwnKiBMax, r.fCarriedKiBMax, r.fRssIdleKiB, r.fRssBeyondKiB,
            r.fRssPerViewerKiB(), r.fHeapIdleKiB, r.fHeapBeyondKiB, r.fHeapPerViewerKiB(),
            (unsigned long long)r.qwWindowTimeouts, r.sStalled.c_str(), i + 1 < in_tAll.size() ? "," : "");
    }
    fprintf(f, "  ]\n}\n");
    fclose(f);
}

void FANOUT_AppendTsv(const char *in_sPath, const std::vector<Result> &in_tAll)
{
    struct stat st;
    bool bNew = stat(in_sPath, &st) != 0 || st.st_size == 0;
    FILE *f = fopen(in_sPath, "a");
    if (f == NULL) {
        fprintf(stderr, "fanout: cannot write %s\n", in_sPath);
        return;
    }
    if (bNew)
        fprintf(
            f,
            "# "
            "load\tchannels\tviewers\tstalled\tsender\tmb_per_s\tcpu_s_per_gb\tp50_ms\tp99_ms\tmax_ms\tdrops"
            "\trss_idle_kib\trss_beyond_frames_kib\trss_per_viewer_kib\theap_idle_kib\theap_beyond_frames_kib"
            "\theap_per_viewer_kib\tcache_kib_max\tcarried_kib_max\twindow_timeouts\n");
    for (const Result &r : in_tAll)
        fprintf(f,
                "%s\t%d\t%d\t%d\t%s\t%.3f\t%.4f\t%.3f\t%.3f\t%.3f\t%llu\t%.0f\t%.0f\t%.2f\t%.0f\t%.0f\t%."
                "2f\t%.1f\t%.1f\t%llu\n",
                r.sLoad.c_str(), r.iSubChs, r.iViewers, r.bStalled ? 1 : 0, r.sSender.c_str(), r.fMBps(),
                r.fCpuPerGB(), r.tStats.fP50Ms, r.tStats.fP99Ms, r.tStats.fMaxMs,
                (unsigned long long)r.tStats.qwDrops, r.fRssIdleKiB, r.fRssBeyondKiB, r.fRssPerViewerKiB(),
                r.fHeapIdleKiB, r.fHeapBeyondKiB, r.fHeapPerViewerKiB(), r.fCacheKiBMax, r.fCarriedKiBMax,
                (unsigned long long)r.qwWindowTimeouts);
    fclose(f);
}

static double PR_Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n == 0 ? 0 : n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void FANOUT_RunPairs(int in_iPairs, double in_fSeconds, const FeedOptions &in_tFeed,
                     std::vector<Result> &out_tAll)
{
    const Load tLoad = {"realistic", false};
    const Case aCase[2] = {{tLoad, 1, 63, false}, {tLoad, 1, 63, true}};
    std::vector<double> aP99[2];
    printf("%-6s %-22s %8s %8s %8s  %s\n", "pair", "case", "p50ms", "p99ms", "maxms", "stalled viewer");
    for (int i = 0; i < in_iPairs; i++) {
        /* Alternate which runs first, so a drift of the machine's load falls on both. */
        for (int k = 0; k < 2; k++) {
            int iWith = (i % 2 == 0) ? k : 1 - k;
            Result r = FANOUT_RunService(aCase[iWith], in_fSeconds, in_tFeed);
            r.sCase = FANOUT_CaseName(aCase[iWith]);
            r.sLoad = tLoad.sName;
            r.iViewers = 63;
            r.iSubChs = 1;
            r.bStalled = iWith == 1;
            aP99[iWith].push_back(r.tStats.fP99Ms);
            printf("%-6d %-22s %8.2f %8.2f %8.2f  %s\n", i + 1, r.sCase.c_str(), r.tStats.fP50Ms,
                   r.tStats.fP99Ms, r.tStats.fMaxMs, r.sStalled.c_str());
            fflush(stdout);
            out_tAll.push_back(r);
        }
    }
    double fMed[2], fMin[2], fMax[2];
    for (int k = 0; k < 2; k++) {
        fMed[k] = PR_Median(aP99[k]);
        fMin[k] = *std::min_element(aP99[k].begin(), aP99[k].end());
        fMax[k] = *std::max_element(aP99[k].begin(), aP99[k].end());
    }
    double fDiff = fMed[1] - fMed[0];
    double fNoise = std::max(fMax[0] - fMin[0], fMax[1] - fMin[1]);
    double fRel = fMed[0] > 0 ? 100.0 * fDiff / fMed[0] : 0;
    printf("\n| others' p99 over %d runs | median ms | min ms | max ms | spread ms "
           "|\n|---|---:|---:|---:|---:|\n",
           in_iPairs);
    for (int k = 0; k < 2; k++)
        printf("| %s | %.2f | %.2f | %.2f | %.2f |\n", k == 0 ? "63 viewers" : "63 viewers + 1 stalled",
               fMed[k], fMin[k], fMax[k], fMax[k] - fMin[k]);
    bool bNoise = (fDiff < 0 ? -fDiff : fDiff) <= fNoise;
    printf("\nDifference of the medians: %+.2f ms (%+.1f %%); the larger spread of the two sets: %.2f ms. "
           "The difference is %s (criterion: a difference counts only when it exceeds the larger spread). "
           "Target (others' median p99 within 10 %% of the run without): %s.\n",
           fDiff, fRel, fNoise, bNoise ? "inside the noise" : "outside the noise",
           fRel <= 10.0 ? "met"
           : bNoise     ? "not shown (above 10 %, but inside the noise)"
                        : "missed");
    fflush(stdout);
}
