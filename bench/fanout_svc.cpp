/*
 * The service side of the fan-out benchmark: a real instance with logged-in
 * viewers, a feeder thread in the host's place, and samples of the cache, the
 * send queues and the memory taken on the control thread.
 *
 * Feeding a saturating load: the feeder gives each sub-channel's frames as
 * fast as they are delivered, keeping at most FeedOptions::iWindow frames of
 * that sub-channel in flight (fed, not yet complete at every reading viewer,
 * as the receiver's progress page says). It waits for that progress on a
 * futex, so it neither sleeps past the moment the window opens nor spins. The
 * window is far below a group of pictures, so the service is measured
 * delivering, never skipping frames it had no time to send. iWindow 0 selects
 * the former gate: the next frame once the order queue holds fewer than two
 * per sub-channel, looked at every 100 us.
 */
#include "bench/benchsvc.h"
#include "bench/fanout.h"
#include "core/conn.h"
#include "media/cache.h"
#include "media/input.h"
#include "net/selengine.h"
#include "vxq_dps.h"
#include "vxq_queue.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <thread>

namespace
{

double PR_ThreadCpuSec()
{
    struct timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

struct Feeder {
    std::atomic<double> fCpuSec{0};
    std::atomic<bool> bRun{true};
    std::atomic<uint64_t> qwFed{0};
    std::atomic<uint64_t> qwRefused{0};
    std::atomic<uint64_t> qwWindowWaits{0};
    std::atomic<uint64_t> qwWindowTimeouts{0};
};

/* Most time one window wait may take before the frame goes in anyway (a
 * viewer that skipped to a later I-frame never completes the frames between). */
const int kWindowWaitMs = 200;

/* Feeds every sub-channel on the realistic schedule, or as fast as frames are
 * delivered; with in_iAckFrames, one frame at a time once the receiver has
 * seen the previous one on every connection (the callgrind run). The frames
 * are ready in the encoder's buffers (inout_tFrames: I, P, audio); only their
 * stamp is written per frame, so the feeder costs no copy the service does
 * not make itself. */
void PR_Feed(_VXQ_S_BENCH_SERVICE *s, const Case *c, const FeedOptions *o, Feeder *f,
             std::vector<std::vector<uint8_t>> *inout_pFrames, int in_iAckFrames)
{
    double fCpu0 = PR_ThreadCpuSec();
    std::vector<Schedule> tSched(c->iSubChs);
    uint64_t qwNext = BENCH_NowNs();
    uint64_t qwTick = 0;
    int iDone = 0;
    while (f->bRun.load()) {
        int iFrames = 1;
        if (!c->tLoad.bSaturate && in_iAckFrames == 0) {
            BENCH_SleepUntil(qwNext);
            qwNext += 20000000ull;
            iFrames = FANOUT_FramesInTick(qwTick++);
        }
        if (c->tLoad.bSaturate && o->iWindow <= 0) {
            while (VXQ_F_TOOLS_QUEUE_GetCount(s->tHost.pSrv->hOrderQueue) >= 2 * c->iSubChs && f->bRun.load())
                usleep(100);
        }
        for (int sc = 0; sc < c->iSubChs * iFrames; sc++) {
            int iSub = sc % c->iSubChs;
            if (c->tLoad.bSaturate && o->iWindow > 0 && tSched[iSub].dwSeq >= (uint32_t)o->iWindow) {
                uint32_t dwWant = tSched[iSub].dwSeq - (uint32_t)o->iWindow + 1;
                if ((int32_t)(g_pProgress->aDone[iSub].load() - dwWant) < 0) {
                    f->qwWindowWaits++;
                    if (!BENCH_WaitProgress(g_pProgress, iSub, dwWant, kWindowWaitMs))
                        f->qwWindowTimeouts++;
                }
            }
            Schedule tPeek = tSched[iSub];
            int iKind = FANOUT_NextKind(tPeek);
            std::vector<uint8_t> &d = (*inout_pFrames)[iKind];
            int iCh = 1 + iSub;
            BENCH_Stamp(d.data(), tSched[iSub].dwSeq);
            int iOk = iKind == 2
                          ? VXQ_F_DPS_InputAudioStreamEx(s->tHost.pSrv, iCh, 0, 0, d.data(), (int)d.size())
                          : VXQ_F_DPS_InputVideoStreamEx(s->tHost.pSrv, iCh, 0, iKind == 0 ? 1 : 2, 0,
                                                         d.data(), (int)d.size());
            if (!iOk) {
                f->qwRefused++;
                if (c->tLoad.bSaturate) {
                    /* The queue budget is full: try the same frame again shortly. */
                    usleep(200);
                    sc--;
                    if (!f->bRun.load())
                        break;
                    continue;
                }
            }
            tSched[iSub] = tPeek;
            tSched[iSub].dwSeq++;
            f->qwFed++;
        }
        if (in_iAckFrames > 0) {
            _VXQ_S_BENCH_REPLY tReply;
            uint32_t dwWant = tSched[0].dwSeq - 1;
            do {
                if (recv(g_iCtrl, &tReply, sizeof(tReply), 0) <= 0)
                    return;
            } while (tReply.dwType != BENCH_REPLY_ACK || tReply.dwSeq < dwWant);
            if (++iDone >= in_iAckFrames)
                break;
        }
    }
    f->fCpuSec = PR_ThreadCpuSec() - fCpu0;
}

/* On the control thread: the cache of channel 1, the most outstanding
 * messages of one viewer, the bytes in the engine's send queues, what the
 * queues own, the frames only queued messages still carry, and the memory
 * beyond the frame data (every cache list, the frames queued messages carry,
 * the orders waiting, the control thread's order buffer). */
void PR_Sample(_VXQ_S_BENCH_SERVICE &s, int in_iSubChs, Result &r, double &inout_fCtrlCpu0)
{
    VXQ_F_TESTHOST_OnControlThread(&s.tHost, [&](_VXQ_S_DPS_MCSRV_DATA *p) {
        if (inout_fCtrlCpu0 < 0)
            inout_fCtrlCpu0 = PR_ThreadCpuSec();
        else
            r.fCtrlCpuSec = PR_ThreadCpuSec() - inout_fCtrlCpu0;
        double fFrameBytes = 0;
        std::set<const void *> tInList, tCarried;
        for (int ch = 1; ch <= std::max(in_iSubChs, 4); ch++) {
            _VXQ_S_DPS_MEDIA_SUB_CH_DATA *pS = VXQ_F_DPS_MC_QueryMediaSubChData(p, ch, 0);
            double fBytes = 0;
            for (auto *n = pS != NULL ? pS->pCacheListHead : NULL; n != NULL; n = n->pNext) {
                tInList.insert(n);
                fBytes += n->iDataLen + sizeof(*n);
            }
            if (ch == 1)
                r.fCacheKiBMax = std::max(r.fCacheKiBMax, fBytes / 1024);
            fFrameBytes += fBytes;
        }
        for (int i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++)
            if (p->pConn[i] != NULL)
                r.iMaxSending = std::max(r.iMaxSending, (int)p->pConn[i]->tMedia.iSendingNum);
        r.fSendQueueKiBMax = std::max(r.fSendQueueKiBMax, VXQ_F_DPS_MC_StatNetSendQueueTotalLen(p) / 1024.0);
        /* Memory behind the queued messages: what each queue owns, and the
         * cached frames only they still carry (counted once however shared). */
        double fOwn = 0, fCarried = 0;
        for (int i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++) {
            _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *w =
                p->pConn[i] != NULL
                    ? VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByPortId(p->hNetSrv, p->pConn[i]->dwPortId)
                    : NULL;
            for (auto *it = w != NULL ? w->tSendQueue.pHead : NULL; it != NULL; it = it->pNext) {
                fOwn += sizeof(*it) + (it->bDataInline ? it->iHeadLen : it->iDataBufSize);
                if (it->pRef != NULL && !tInList.count(it->pRef) && tCarried.insert(it->pRef).second)
                    fCarried += ((const _VXQ_S_DPS_MEDIA_CACHE_NODE *)it->pRef)->iDataLen +
                                sizeof(_VXQ_S_DPS_MEDIA_CACHE_NODE);
            }
        }
        r.fQueueOwnKiBMax = std::max(r.fQueueOwnKiBMax, fOwn / 1024);
        r.fCarriedKiBMax = std::max(r.fCarriedKiBMax, fCarried / 1024);
        /* Frame data also waits in the order queue and passes through the
         * control thread's order buffer (as large as the largest order). */
        double fFrameKiB =
            (fFrameBytes + fCarried + (double)VXQ_F_TOOLS_QUEUE_QueryQueueDataTotalLen(p->hOrderQueue) +
             (p->pWorkBuf != NULL ? p->iWorkBufSize : 0)) /
            1024;
        r.fRssBeyondKiB = std::max(r.fRssBeyondKiB, (double)BENCH_RssKiB() - fFrameKiB);
        double fHeap = BENCH_HeapKiB();
        if (fHeap >= 0 && r.fHeapIdleKiB >= 0)
            r.fHeapBeyondKiB = std::max(r.fHeapBeyondKiB, fHeap - fFrameKiB);
    });
}

struct StalledCount {
    int iVideoI = 0, iVideoP = 0, iAudio = 0;
};
void PR_CountStalled(void *in_pCtx, const uint8_t *in_pHead, uint32_t)
{
    StalledCount *c = (StalledCount *)in_pCtx;
    uint16_t usFunc = (uint16_t)(in_pHead[8] | (in_pHead[9] << 8));
    if (usFunc == 0x0E02)
        c->iAudio++;
    else if (usFunc == 0x0E01 && (in_pHead[20] >> 4) == 1)
        c->iVideoI++;
    else if (usFunc == 0x0E01)
        c->iVideoP++;
}

/* What the stalled viewer holds, read all at once after the run. */
std::string PR_DrainStalled(int in_iFd, int in_iMaxSending)
{
    StalledCount c;
    _VXQ_S_BENCH_SPLIT tSplit;
    memset(&tSplit, 0, sizeof(tSplit));
    std::vector<uint8_t> tBuf(65536);
    long lBytes = 0;
    for (;;) {
        ssize_t n = recv(in_iFd, tBuf.data(), tBuf.size(), MSG_DONTWAIT);
        if (n <= 0)
            break;
        lBytes += n;
        BENCH_Split(&tSplit, tBuf.data(), (size_t)n, PR_CountStalled, &c);
    }
    char sText[200];
    snprintf(sText, sizeof(sText), "%ld bytes: %d I, %d P, %d audio; most outstanding %d", lBytes, c.iVideoI,
             c.iVideoP, c.iAudio, in_iMaxSending);
    return sText;
}

} // namespace

Result FANOUT_RunService(const Case &in_tCase, double in_fSeconds, const FeedOptions &in_tFeed,
                         int in_iAckFrames)
{
    Result res;
    res.sSender = "service";
    _VXQ_S_BENCH_SERVICE s;
    if (!BENCH_ServiceStart(s, in_tCase.iSubChs)) {
        fprintf(stderr, "fanout: service start failed\n");
        exit(1);
    }
    /* The encoder's frame buffers exist before the idle reading. */
    std::vector<std::vector<uint8_t>> tFrames = {FANOUT_Data(0), FANOUT_Data(1), FANOUT_Data(2)};
    res.fRssIdleKiB = (double)BENCH_RssKiB();
    res.fHeapIdleKiB = BENCH_HeapKiB();
    std::vector<int> tFds;
    for (int v = 0; v < in_tCase.iViewers; v++) {
        int iFd = BENCH_OpenViewer(s, 1 + v % in_tCase.iSubChs, 0);
        if (iFd < 0) {
            fprintf(stderr, "fanout: viewer %d (channel %d) did not open\n", v, 1 + v % in_tCase.iSubChs);
            exit(1);
        }
        tFds.push_back(iFd);
    }
    int iStalled = in_tCase.bStalled ? BENCH_OpenViewer(s, 1, 4096) : -1;
    BENCH_SendCmd(g_iCtrl, BENCH_OP_START, in_iAckFrames > 0 ? 1 : 0, tFds, (uint32_t)in_tCase.iSubChs);
    for (int iFd : tFds)
        close(iFd);
    Feeder f;
    double fCpu0 = BENCH_CpuSec();
    uint64_t qwStart = BENCH_NowNs();
    /* The control thread's CPU is read on the control thread, from a first
     * sample at the start to the last one after the run. */
    double fCtrlCpu0 = -1;
    if (in_iAckFrames == 0)
        PR_Sample(s, in_tCase.iSubChs, res, fCtrlCpu0);
    std::thread tFeeder(PR_Feed, &s, &in_tCase, &in_tFeed, &f, &tFrames, in_iAckFrames);
    if (in_iAckFrames > 0) {
        tFeeder.join();
    } else {
        uint64_t qwEnd = qwStart + (uint64_t)(in_fSeconds * 1e9);
        while (BENCH_NowNs() < qwEnd) {
            usleep(250000);
            PR_Sample(s, in_tCase.iSubChs, res, fCtrlCpu0);
        }
        f.bRun = false;
        tFeeder.join();
        usleep(300000);
        PR_Sample(s, in_tCase.iSubChs, res, fCtrlCpu0);
    }
    res.fCpuSec = BENCH_CpuSec() - fCpu0;
    res.fSeconds = (BENCH_NowNs() - qwStart) / 1e9;
    res.tStats = FANOUT_Stop();
    res.fFeedCpuSec = f.fCpuSec;
    res.qwFed = f.qwFed;
    res.qwRefused = f.qwRefused;
    res.qwWindowWaits = f.qwWindowWaits;
    res.qwWindowTimeouts = f.qwWindowTimeouts;
    if (iStalled >= 0) {
        res.sStalled = PR_DrainStalled(iStalled, res.iMaxSending);
        close(iStalled);
    }
    BENCH_ServiceStop(s);
    return res;
}
