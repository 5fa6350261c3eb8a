/*
 * fanout - what live view fan-out costs the sending side, against the cheapest
 * fan-out on the same machine.
 *
 * One run forks the receiver (fanout_recv.cpp) first, then runs each case with
 * two senders one after the other:
 *   baseline - one thread, select, the same frame messages built once per
 *              frame, whole frames per send, at most three outstanding per
 *              receiver (a fourth frame for a full receiver is dropped);
 *   service  - a real instance in this process, viewers opened through the
 *              protocol (token, login, extended open on media connections,
 *              audio continued), frames fed by a feeder thread through
 *              VXQ_F_DPS_InputVideoStreamEx / VXQ_F_DPS_InputAudioStreamEx
 *              (fanout_svc.cpp).
 * Saturating load: the baseline makes the next frame once every receiver has
 * room; the feeder keeps at most --window frames of a sub-channel in flight
 * (fed and not yet complete at every viewer), so the service is measured
 * delivering, not discarding a flood it cannot send (--window 0: the former
 * gate on the order queue, kept to compare).
 * CPU is getrusage(RUSAGE_SELF) of this process (user + system) over the
 * case; the receiver's reading is in the other process.
 *
 *   fanout [--seconds S] [--only TEXT] [--window K] [--json FILE] [--tsv FILE] [--markdown]
 *   fanout --load realistic|saturating --viewers N [--channels C] [--stalled] [...]
 *          one case, the service first (its memory readings start in a fresh process)
 *   fanout --pairs K [--seconds S]        the stalled-viewer comparison, K >= 5 pairs
 *   fanout --callgrind [--frames K] [--viewers N]   (see bench/callgrind.sh)
 */
#include "bench/benchsvc.h"
#include "bench/fanout.h"
#include "media/framemsg.h"
#include "vxq_dps.h"
#include "vxq_log.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

int g_iCtrl = -1;
_VXQ_S_BENCH_PROGRESS *g_pProgress = NULL;
std::vector<uint8_t> g_tI, g_tP, g_tA;

int FANOUT_NextKind(Schedule &s)
{
    int iStep = s.iStep;
    s.iStep = (s.iStep + 1) % 3;
    if (iStep != 0)
        return 2;
    return (s.iVideoNo++ % kGop) == 0 ? 0 : 1;
}

int FANOUT_FramesInTick(uint64_t in_qwTick)
{
    return in_qwTick % 2 == 0 ? 2 : 1;
}

const std::vector<uint8_t> &FANOUT_Data(int in_iKind)
{
    return in_iKind == 0 ? g_tI : in_iKind == 1 ? g_tP : g_tA;
}

_VXQ_S_BENCH_STATS FANOUT_Stop(void)
{
    BENCH_SendCmd(g_iCtrl, BENCH_OP_STOP, 0, {});
    _VXQ_S_BENCH_REPLY tReply;
    memset(&tReply, 0, sizeof(tReply));
    while (recv(g_iCtrl, &tReply, sizeof(tReply), 0) > 0 && tReply.dwType != BENCH_REPLY_STATS) {
    }
    return tReply.tStats;
}

namespace
{

struct Msg {
    uint8_t *p;
    int32_t iLen;
    int iRef;
};
struct Rx {
    int iFd;
    int iSub;
    Msg *aQ[3];
    int iCount;
    int32_t iOff; /* sent bytes of aQ[0] */
};

void PR_Unref(Msg *m)
{
    if (--m->iRef == 0) {
        free(m->p);
        delete m;
    }
}

/* Writes queued whole frames until the socket stops taking them. */
void PR_Drain(Rx &r)
{
    while (r.iCount > 0) {
        Msg *m = r.aQ[0];
        ssize_t n = send(r.iFd, m->p + r.iOff, (size_t)(m->iLen - r.iOff), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n <= 0)
            return;
        r.iOff += (int32_t)n;
        if (r.iOff < m->iLen)
            return;
        PR_Unref(m);
        memmove(r.aQ, r.aQ + 1, sizeof(Msg *) * 2);
        r.iCount--;
        r.iOff = 0;
    }
}

/* Loopback pairs: the accepted ends (ours) and the connecting ends (the receiver's). */
int PR_Pairs(int in_iN, std::vector<int> &out_tOurs, std::vector<int> &out_tTheirs)
{
    int iL = socket(AF_INET, SOCK_STREAM, 0);
    struct sockaddr_in a;
    memset(&a, 0, sizeof(a));
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t l = sizeof(a);
    if (iL < 0 || bind(iL, (struct sockaddr *)&a, sizeof(a)) != 0 || listen(iL, 128) != 0 ||
        getsockname(iL, (struct sockaddr *)&a, &l) != 0)
        return 0;
    for (int i = 0; i < in_iN; i++) {
        int c = socket(AF_INET, SOCK_STREAM, 0);
        if (connect(c, (struct sockaddr *)&a, sizeof(a)) != 0)
            return 0;
        int s = accept(iL, NULL, NULL);
        fcntl(s, F_SETFL, fcntl(s, F_GETFL) | O_NONBLOCK);
        out_tOurs.push_back(s);
        out_tTheirs.push_back(c);
    }
    close(iL);
    return 1;
}

} // namespace

Result FANOUT_RunBaseline(const Case &in_tCase, double in_fSeconds)
{
    Result res;
    res.sSender = "baseline";
    int iN = in_tCase.iViewers;
    std::vector<int> tOurs, tTheirs;
    if (!PR_Pairs(iN, tOurs, tTheirs)) {
        fprintf(stderr, "fanout: loopback pairs failed\n");
        exit(1);
    }
    BENCH_SendCmd(g_iCtrl, BENCH_OP_START, 0, tTheirs, (uint32_t)in_tCase.iSubChs);
    for (int c : tTheirs)
        close(c);
    std::vector<Rx> tRx(iN);
    for (int i = 0; i < iN; i++) {
        memset(&tRx[i], 0, sizeof(Rx));
        tRx[i].iFd = tOurs[i];
        tRx[i].iSub = i % in_tCase.iSubChs;
    }
    _VXQ_S_DPS_MEDIA_SUB_CH_DATA tDesc;
    memset(&tDesc, 0, sizeof(tDesc));
    tDesc.iVideoCodecId = 4;
    tDesc.iVideoFrameRate = 25;
    tDesc.iVideoBitRate = 8000;
    tDesc.usVideoWidth = 1920;
    tDesc.usVideoHeight = 1080;
    tDesc.iAudioCodecId = 2;
    tDesc.iAudioSampleRate = 8000;
    tDesc.iAudioBitRate = 64000;
    tDesc.iAudioChNum = 1;
    std::vector<Schedule> tSched(in_tCase.iSubChs);
    double fCpu0 = BENCH_CpuSec();
    uint64_t qwStart = BENCH_NowNs();
    uint64_t qwEnd = qwStart + (uint64_t)(in_fSeconds * 1e9);
    uint64_t qwNext = qwStart;
    uint64_t qwTick = 0;
    for (;;) {
        uint64_t qwNow = BENCH_NowNs();
        if (qwNow >= qwEnd)
            break;
        int iProduce = 0;
        if (in_tCase.tLoad.bSaturate) {
            iProduce = 1;
            for (const Rx &r : tRx)
                if (r.iCount >= 3)
                    iProduce = 0;
        } else if (qwNow >= qwNext) {
            iProduce = FANOUT_FramesInTick(qwTick++);
            qwNext += 20000000ull;
        }
        for (int k = 0; k < iProduce; k++) {
            for (int s = 0; s < in_tCase.iSubChs; s++) {
                int iKind = FANOUT_NextKind(tSched[s]);
                const std::vector<uint8_t> &d = FANOUT_Data(iKind);
                int32_t iLen = 0;
                uint8_t *p = VXQ_F_DPS_MC_FrameMsg_Build(iKind == 2 ? 1 : 0, &tDesc, iKind == 0 ? 1 : 2, 0,
                                                         d.data(), (int32_t)d.size(), &iLen);
                BENCH_Stamp(p + VXQ_DPS_FRAME_MSG_HEAD_LEN, tSched[s].dwSeq++);
                Msg *m = new Msg{p, iLen, 1};
                for (Rx &r : tRx) {
                    if (r.iSub != s || r.iCount >= 3)
                        continue;
                    m->iRef++;
                    r.aQ[r.iCount++] = m;
                    if (r.iCount == 1)
                        PR_Drain(r);
                }
                PR_Unref(m);
            }
        }
        fd_set tW;
        FD_ZERO(&tW);
        int iMax = -1;
        for (const Rx &r : tRx)
            if (r.iCount > 0) {
                FD_SET(r.iFd, &tW);
                iMax = std::max(iMax, r.iFd);
            }
        uint64_t qwWait =
            in_tCase.tLoad.bSaturate ? (iMax < 0 ? 0 : 20000000ull) : (qwNext > qwNow ? qwNext - qwNow : 0);
        struct timeval tv = {(time_t)(qwWait / 1000000000ull),
                             (suseconds_t)((qwWait % 1000000000ull) / 1000)};
        if (iMax < 0 && !in_tCase.tLoad.bSaturate) {
            BENCH_SleepUntil(qwNext);
            continue;
        }
        if (select(iMax + 1, NULL, &tW, NULL, &tv) > 0)
            for (Rx &r : tRx)
                if (r.iCount > 0 && FD_ISSET(r.iFd, &tW))
                    PR_Drain(r);
    }
    /* Let the queued frames go out, then count. */
    uint64_t qwDrainEnd = BENCH_NowNs() + 300000000ull;
    while (BENCH_NowNs() < qwDrainEnd) {
        bool bAny = false;
        for (Rx &r : tRx) {
            PR_Drain(r);
            bAny = bAny || r.iCount > 0;
        }
        if (!bAny)
            break;
        usleep(1000);
    }
    res.fCpuSec = BENCH_CpuSec() - fCpu0;
    res.fSeconds = (BENCH_NowNs() - qwStart) / 1e9;
    res.tStats = FANOUT_Stop();
    for (Rx &r : tRx) {
        while (r.iCount > 0) {
            PR_Unref(r.aQ[--r.iCount]);
        }
        close(r.iFd);
    }
    return res;
}

namespace
{

void PR_FillData()
{
    uint32_t x = 12345;
    for (std::vector<uint8_t> *v : {&g_tI, &g_tP, &g_tA}) {
        v->resize(v == &g_tI ? kIBytes : v == &g_tP ? kPBytes : kAudioBytes);
        for (uint8_t &b : *v) {
            x = x * 1103515245u + 12345u;
            b = (uint8_t)(x >> 16);
        }
    }
}

void PR_Usage()
{
    fprintf(stderr,
            "usage: fanout [--seconds S] [--only TEXT] [--window K] [--json FILE] [--tsv FILE] [--markdown]\n"
            "       fanout --load realistic|saturating --viewers N [--channels C] [--stalled] [...]\n"
            "       fanout --pairs K [--seconds S]\n"
            "       fanout --callgrind [--frames K] [--viewers N]\n");
}

/* Runs one case: both senders (the service only with a stalled viewer), in
 * the order asked, and prints the rows. */
void PR_RunCase(const Case &c, double in_fSeconds, const FeedOptions &in_tFeed, bool in_bServiceFirst,
                std::vector<Result> &inout_tAll)
{
    std::string sName = FANOUT_CaseName(c);
    bool bBase = !c.bStalled;
    Result tBase, tSvc;
    if (in_bServiceFirst)
        tSvc = FANOUT_RunService(c, in_fSeconds, in_tFeed);
    if (bBase)
        tBase = FANOUT_RunBaseline(c, in_fSeconds);
    if (!in_bServiceFirst)
        tSvc = FANOUT_RunService(c, in_fSeconds, in_tFeed);
    for (Result *r : {&tBase, &tSvc}) {
        r->sCase = sName;
        r->sLoad = c.tLoad.sName;
        r->iViewers = c.iViewers;
        r->iSubChs = c.iSubChs;
        r->bStalled = c.bStalled;
    }
    if (bBase) {
        FANOUT_PrintRow(tBase, NULL);
        inout_tAll.push_back(tBase);
    }
    FANOUT_PrintRow(tSvc, bBase ? &tBase : NULL);
    FANOUT_PrintServiceNotes(tSvc);
    inout_tAll.push_back(tSvc);
}

} // namespace

int main(int argc, char **argv)
{
    double fSeconds = 3.0;
    const char *sOnly = NULL, *sJson = NULL, *sTsv = NULL, *sLoad = NULL;
    bool bCallgrind = false, bMarkdown = false, bStalled = false;
    int iFrames = 200, iViewers = 64, iChannels = 1, iPairs = 0;
    FeedOptions tFeed;
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        bool bArg = i + 1 < argc;
        if (a == "--seconds" && bArg)
            fSeconds = atof(argv[++i]);
        else if (a == "--only" && bArg)
            sOnly = argv[++i];
        else if (a == "--json" && bArg)
            sJson = argv[++i];
        else if (a == "--tsv" && bArg)
            sTsv = argv[++i];
        else if (a == "--markdown")
            bMarkdown = true;
        else if (a == "--window" && bArg)
            tFeed.iWindow = atoi(argv[++i]);
        else if (a == "--load" && bArg)
            sLoad = argv[++i];
        else if (a == "--channels" && bArg)
            iChannels = atoi(argv[++i]);
        else if (a == "--stalled")
            bStalled = true;
        else if (a == "--pairs" && bArg)
            iPairs = atoi(argv[++i]);
        else if (a == "--callgrind")
            bCallgrind = true;
        else if (a == "--frames" && bArg)
            iFrames = atoi(argv[++i]);
        else if (a == "--viewers" && bArg)
            iViewers = atoi(argv[++i]);
        else {
            PR_Usage();
            return 2;
        }
    }
    const Load aLoads[] = {{"realistic", false}, {"saturating", true}};
    if (sLoad != NULL && strcmp(sLoad, "realistic") != 0 && strcmp(sLoad, "saturating") != 0) {
        PR_Usage();
        return 2;
    }
    if (iChannels < 1 || iChannels > BENCH_MAX_SUBS || iViewers < 1 ||
        iViewers + (bStalled ? 1 : 0) > BENCH_MAX_VIEWERS || (iPairs > 0 && iPairs < 5)) {
        fprintf(stderr,
                "fanout: 1 to %d channels, at most %d viewers in all (the service admits no more live "
                "viewers); --pairs at least 5\n",
                BENCH_MAX_SUBS, BENCH_MAX_VIEWERS);
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    pid_t iChild = -1;
    g_iCtrl = BENCH_ForkReceiver(&iChild, &g_pProgress);
    if (g_iCtrl < 0)
        return 1;
    VXQ_F_LOG_SR_SetIfShowLog(0);
    VXQ_F_LOG_SR_SetIfWriteLogToFile(0);
    PR_FillData();

    std::vector<Result> tAll;
    if (bCallgrind) {
        Case c = {aLoads[0], 1, iViewers, false};
        Result r = FANOUT_RunService(c, 0, tFeed, iFrames);
        printf("callgrind run: pid %d, %d viewers, %d frames (video and audio), %llu frames received\n",
               (int)getpid(), iViewers, iFrames, (unsigned long long)r.tStats.qwFrames);
    } else if (iPairs > 0) {
        FANOUT_RunPairs(iPairs, fSeconds, tFeed, tAll);
    } else {
        std::vector<Case> tCases;
        if (sLoad != NULL) {
            tCases.push_back(
                {aLoads[strcmp(sLoad, "saturating") == 0 ? 1 : 0], iChannels, iViewers, bStalled});
        } else {
            for (const Load &l : aLoads) {
                for (int n : {1, 8, 32, 64})
                    tCases.push_back({l, 1, n, false});
                tCases.push_back({l, 4, 64, false});
            }
        }
        FANOUT_PrintHeader();
        for (const Case &c : tCases) {
            if (sOnly != NULL && FANOUT_CaseName(c).find(sOnly) == std::string::npos)
                continue;
            PR_RunCase(c, fSeconds, tFeed, sLoad != NULL, tAll);
        }
    }
    if (bMarkdown)
        FANOUT_PrintMarkdown(tAll);
    if (sJson != NULL)
        FANOUT_WriteJson(sJson, tAll);
    if (sTsv != NULL)
        FANOUT_AppendTsv(sTsv, tAll);
    BENCH_QuitReceiver(g_iCtrl, iChild);
    return 0;
}
