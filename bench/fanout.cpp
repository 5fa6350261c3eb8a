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
 *              VXQ_F_DPS_InputVideoStreamEx / VXQ_F_DPS_InputAudioStreamEx.
 * Saturating load: the baseline makes the next frame once every receiver has
 * room; the feeder gives the next frame once the control thread has taken the
 * orders before it (order queue below two per sub-channel), so the service is
 * measured delivering, not discarding a flood it cannot send.
 * CPU is getrusage(RUSAGE_SELF) of this process (user + system) over the
 * case; the receiver's reading is in the other process.
 *
 *   fanout [--seconds S] [--only TEXT] [--json FILE]
 *   fanout --callgrind [--frames K] [--viewers N]   (see bench/callgrind.sh)
 */
#include "bench/fanout_recv.h"
#include "core/conn.h"
#include "media/cache.h"
#include "media/framemsg.h"
#include "media/input.h"
#include "net/selengine.h"
#include "support/test_client.h"
#include "support/test_host.h"
#include "wire/head.h"
#include "vxq_dps.h"
#include "vxq_log.h"
#include "vxq_queue.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

/* 8 Mbit/s with an I-frame every 25 frames five times a P-frame: 29 P per second. */
const int kPBytes = 1000000 / 29;
const int kIBytes = 5 * kPBytes;
const int kAudioBytes = 160;
const int kGop = 25;

struct Load {
    const char *sName;
    bool bSaturate;
};

struct Case {
    Load tLoad;
    int iSubChs;
    int iPerSubCh;
    bool bStalled; /* one more viewer that never reads (service only) */
};

struct Result {
    std::string sCase;
    std::string sSender;
    double fSeconds = 0;
    double fCpuSec = 0;
    _VXQ_S_BENCH_STATS tStats;
    double fMBps() const { return fSeconds > 0 ? tStats.qwBytes / fSeconds / 1e6 : 0; }
    double fCpuPerGB() const { return tStats.qwBytes > 0 ? fCpuSec / (tStats.qwBytes / 1e9) : 0; }
    /* Service extras. */
    double fCacheKiBMax = -1;
    int iMaxSending = -1;
    double fSendQueueKiBMax = -1;
    double fQueueOwnKiBMax = -1;  /* memory the send queues own: items and per-viewer heads */
    double fCarriedKiBMax = -1;   /* frames out of the cache list kept alive by queued messages */
    std::string sStalled;
};

int g_iCtrl = -1;
std::vector<uint8_t> g_tI, g_tP, g_tA;

double PR_CpuSec()
{
    struct rusage t;
    getrusage(RUSAGE_SELF, &t);
    return t.ru_utime.tv_sec + t.ru_utime.tv_usec / 1e6 + t.ru_stime.tv_sec + t.ru_stime.tv_usec / 1e6;
}

long PR_RssKiB()
{
    FILE *f = fopen("/proc/self/statm", "r");
    long lSize = 0, lRes = 0;
    if (f != NULL) {
        if (fscanf(f, "%ld %ld", &lSize, &lRes) != 2)
            lRes = 0;
        fclose(f);
    }
    return lRes * (sysconf(_SC_PAGESIZE) / 1024);
}

void PR_Stamp(uint8_t *out_p, uint32_t in_dwSeq)
{
    uint64_t q = BENCH_NowNs();
    for (int i = 0; i < 4; i++)
        out_p[i] = (uint8_t)(in_dwSeq >> (8 * i));
    for (int i = 0; i < 8; i++)
        out_p[4 + i] = (uint8_t)(q >> (8 * i));
}

void PR_SleepUntil(uint64_t in_qwNs)
{
    struct timespec t;
    t.tv_sec = (time_t)(in_qwNs / 1000000000ull);
    t.tv_nsec = (long)(in_qwNs % 1000000000ull);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, NULL) == EINTR) {
    }
}

/* The frame schedule of one sub-channel: per 40 ms one video frame (the
 * I-frame first in each group of 25) and two audio frames, one every 20 ms. */
struct Schedule {
    uint32_t dwSeq = 0;
    int iStep = 0;
    int iVideoNo = 0;
};
/* Kind of the next frame: 0 I, 1 P, 2 audio. */
int PR_NextKind(Schedule &s)
{
    int iStep = s.iStep;
    s.iStep = (s.iStep + 1) % 3;
    if (iStep != 0)
        return 2;
    return (s.iVideoNo++ % kGop) == 0 ? 0 : 1;
}
/* Frames due in 20 ms tick number in_iTick: video and audio, or audio alone. */
int PR_FramesInTick(uint64_t in_qwTick)
{
    return in_qwTick % 2 == 0 ? 2 : 1;
}
const std::vector<uint8_t> &PR_Data(int in_iKind)
{
    return in_iKind == 0 ? g_tI : in_iKind == 1 ? g_tP : g_tA;
}

_VXQ_S_BENCH_STATS PR_Stop()
{
    BENCH_SendCmd(g_iCtrl, BENCH_OP_STOP, 0, {});
    _VXQ_S_BENCH_REPLY tReply;
    memset(&tReply, 0, sizeof(tReply));
    while (recv(g_iCtrl, &tReply, sizeof(tReply), 0) > 0 && tReply.dwType != BENCH_REPLY_STATS) {
    }
    return tReply.tStats;
}

/* ---- baseline ---------------------------------------------------------- */

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

Result PR_RunBaseline(const Case &in_tCase, double in_fSeconds)
{
    Result res;
    res.sSender = "baseline";
    int iN = in_tCase.iSubChs * in_tCase.iPerSubCh;
    std::vector<int> tOurs, tTheirs;
    if (!PR_Pairs(iN, tOurs, tTheirs)) {
        fprintf(stderr, "fanout: loopback pairs failed\n");
        exit(1);
    }
    BENCH_SendCmd(g_iCtrl, BENCH_OP_START, 0, tTheirs);
    for (int c : tTheirs)
        close(c);
    std::vector<Rx> tRx(iN);
    for (int i = 0; i < iN; i++) {
        memset(&tRx[i], 0, sizeof(Rx));
        tRx[i].iFd = tOurs[i];
        tRx[i].iSub = i / in_tCase.iPerSubCh;
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
    double fCpu0 = PR_CpuSec();
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
            iProduce = PR_FramesInTick(qwTick++);
            qwNext += 20000000ull;
        }
        for (int k = 0; k < iProduce; k++) {
            for (int s = 0; s < in_tCase.iSubChs; s++) {
                int iKind = PR_NextKind(tSched[s]);
                const std::vector<uint8_t> &d = PR_Data(iKind);
                int32_t iLen = 0;
                uint8_t *p = VXQ_F_DPS_MC_FrameMsg_Build(iKind == 2 ? 1 : 0, &tDesc, iKind == 0 ? 1 : 2, 0, d.data(),
                                                         (int32_t)d.size(), &iLen);
                PR_Stamp(p + VXQ_DPS_FRAME_MSG_HEAD_LEN, tSched[s].dwSeq++);
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
        uint64_t qwWait = in_tCase.tLoad.bSaturate ? (iMax < 0 ? 0 : 20000000ull)
                                                    : (qwNext > qwNow ? qwNext - qwNow : 0);
        struct timeval tv = {(time_t)(qwWait / 1000000000ull), (suseconds_t)((qwWait % 1000000000ull) / 1000)};
        if (iMax < 0 && !in_tCase.tLoad.bSaturate) {
            PR_SleepUntil(qwNext);
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
    res.fCpuSec = PR_CpuSec() - fCpu0;
    res.fSeconds = (BENCH_NowNs() - qwStart) / 1e9;
    res.tStats = PR_Stop();
    for (Rx &r : tRx) {
        while (r.iCount > 0) {
            PR_Unref(r.aQ[--r.iCount]);
        }
        close(r.iFd);
    }
    return res;
}

/* ---- service ----------------------------------------------------------- */

_VXQ_S_DPS_STREAM_DESC PR_Desc()
{
    _VXQ_S_DPS_STREAM_DESC t;
    memset(&t, 0, sizeof(t));
    t.bVideoFlag = 1;
    t.bAudioFlag = 1;
    t.iVideoCodecId = 4;
    t.iVideoFrameRate = 25;
    t.iVideoBitRate = 8000;
    t.usVideoWidth = 1920;
    t.usVideoHeight = 1080;
    t.iAudioCodecId = 2;
    t.iAudioBitRate = 64000;
    t.iAudioSampleRate = 8000;
    t.iAudioChNum = 1;
    return t;
}

/* The host answers every open-stream event at once. */
void PR_HostHook(_VXQ_S_TESTHOST_DATA *in_pHost, const std::vector<uint8_t> &in_tEvent)
{
    if (VXQ_F_TESTHOST_MsgFuncId(in_tEvent) != EVENT_E2_OPEN_MEDIA_STREAM || in_tEvent.size() != 16 + 48)
        return;
    _VXQ_S_DPS_E2_OPEN_MEDIA_STREAM tBody;
    memcpy(&tBody, in_tEvent.data() + 16, sizeof(tBody));
    tBody.o_tDesc = PR_Desc();
    std::vector<uint8_t> tOrder = VXQ_F_TESTHOST_BuildOrder(EVENT_E2_OPEN_MEDIA_STREAM, 0,
                                                            VXQ_F_TESTHOST_TransId(in_tEvent), &tBody, sizeof(tBody));
    tOrder[4] = VXQ_DPS_MSG_TYPE_ANSWER;
    VXQ_F_TESTHOST_PostOrder(in_pHost, tOrder);
}

struct Service {
    _VXQ_S_TESTHOST_DATA tHost;
    _VXQ_S_TESTCLI_DATA tCmd;
    uint32_t dwLoginId = 0;
    uint32_t dwTrans = 100;
};

int PR_ServiceStart(Service &s)
{
    VXQ_F_TESTHOST_AddUser(&s.tHost, "admin", "pw", 0xFF, 0xFF);
    VXQ_F_TESTHOST_SetHook(&s.tHost, PR_HostHook);
    VXQ_F_TESTCLI_Init(&s.tCmd);
    return VXQ_F_TESTHOST_Start(&s.tHost) && VXQ_F_TESTCLI_Connect(&s.tCmd, s.tHost.usPort) &&
           VXQ_F_TESTCLI_TokenAndLogin(&s.tCmd, "admin", "pw", &s.dwLoginId);
}

/* A media connection with an extended open of (ch, stream 0) and audio
 * continued; returns its descriptor (ownership passes to the caller) or -1. */
int PR_OpenViewer(Service &s, int in_iChNo, int in_iRcvBuf)
{
    _VXQ_S_TESTCLI_DATA t;
    VXQ_F_TESTCLI_Init(&t);
    if (in_iRcvBuf > 0) {
        /* The buffer must be set before the connection exists to take effect. */
        t.iSock = socket(AF_INET, SOCK_STREAM, 0);
        setsockopt(t.iSock, SOL_SOCKET, SO_RCVBUF, &in_iRcvBuf, sizeof(in_iRcvBuf));
        struct sockaddr_in a;
        memset(&a, 0, sizeof(a));
        a.sin_family = AF_INET;
        a.sin_port = htons(s.tHost.usPort);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(t.iSock, (struct sockaddr *)&a, sizeof(a)) != 0)
            return -1;
    } else if (!VXQ_F_TESTCLI_Connect(&t, s.tHost.usPort)) {
        return -1;
    }
    std::vector<uint8_t> tOpen = VXQ_F_TESTCLI_BuildZeroMsg(P2_EX_REALPLAY_OPEN, s.dwTrans++, 16), tAnswer;
    VXQ_F_TESTCLI_PutU32(tOpen, 20, s.dwLoginId);
    VXQ_F_TESTCLI_PutU16(tOpen, 24, (uint16_t)in_iChNo);
    VXQ_F_TESTCLI_PutU32(tOpen, 28, 0xC1A1);
    if (!VXQ_F_TESTCLI_Request(&t, tOpen, tAnswer, 5000) || tAnswer.size() < 36 || tAnswer[11] != 0) {
        VXQ_F_TESTCLI_Close(&t);
        return -1;
    }
    uint32_t dwMediaId = VXQ_F_TESTCLI_GetU32(tAnswer, 32);
    std::vector<uint8_t> tCtrl = VXQ_F_TESTCLI_BuildZeroMsg(P2_CTRL_STREAM, s.dwTrans++, 16), tCtrlAnswer;
    VXQ_F_TESTCLI_PutU32(tCtrl, 20, s.dwLoginId);
    VXQ_F_TESTCLI_PutU32(tCtrl, 24, dwMediaId);
    VXQ_F_TESTCLI_PutU32(tCtrl, 28, 1); /* audio */
    VXQ_F_TESTCLI_PutU32(tCtrl, 32, 1); /* continue */
    if (!VXQ_F_TESTCLI_Request(&s.tCmd, tCtrl, tCtrlAnswer, 5000)) {
        VXQ_F_TESTCLI_Close(&t);
        return -1;
    }
    int iFd = t.iSock;
    t.iSock = -1;
    return iFd;
}

struct Feeder {
    std::atomic<bool> bRun{true};
    std::atomic<uint64_t> qwFed{0};
    std::atomic<uint64_t> qwRefused{0};
};

/* Feeds every sub-channel on the realistic schedule, or as fast as the input
 * takes frames; with in_iAckFrames, one frame at a time once the receiver has
 * seen the previous one on every connection (the callgrind run). */
void PR_Feed(Service *s, const Case *c, Feeder *f, int in_iAckFrames)
{
    std::vector<Schedule> tSched(c->iSubChs);
    std::vector<uint8_t> tBuf(kIBytes);
    uint64_t qwNext = BENCH_NowNs();
    uint64_t qwTick = 0;
    int iDone = 0;
    while (f->bRun.load()) {
        int iFrames = 1;
        if (!c->tLoad.bSaturate && in_iAckFrames == 0) {
            PR_SleepUntil(qwNext);
            qwNext += 20000000ull;
            iFrames = PR_FramesInTick(qwTick++);
        }
        if (c->tLoad.bSaturate) {
            /* As fast as the service takes frames: the next one goes in once the
             * control thread has taken all but a few of the orders before it. */
            while (VXQ_F_TOOLS_QUEUE_GetCount(s->tHost.pSrv->hOrderQueue) >= 2 * c->iSubChs && f->bRun.load())
                usleep(100);
        }
        for (int sc = 0; sc < c->iSubChs * iFrames; sc++) {
            Schedule tPeek = tSched[sc % c->iSubChs];
            int iKind = PR_NextKind(tPeek);
            const std::vector<uint8_t> &d = PR_Data(iKind);
            memcpy(tBuf.data(), d.data(), d.size());
            int iCh = 1 + sc % c->iSubChs;
            PR_Stamp(tBuf.data(), tSched[sc % c->iSubChs].dwSeq);
            int iOk = iKind == 2 ? VXQ_F_DPS_InputAudioStreamEx(s->tHost.pSrv, iCh, 0, 0, tBuf.data(), (int)d.size())
                                 : VXQ_F_DPS_InputVideoStreamEx(s->tHost.pSrv, iCh, 0, iKind == 0 ? 1 : 2, 0,
                                                                tBuf.data(), (int)d.size());
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
            tSched[sc % c->iSubChs] = tPeek;
            tSched[sc % c->iSubChs].dwSeq++;
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
                return;
        }
    }
}

/* Cache bytes of the sub-channel of channel 1, the most outstanding messages
 * of one viewer, and the bytes in the engine's send queues (control thread). */
void PR_Sample(Service &s, Result &r)
{
    VXQ_F_TESTHOST_OnControlThread(&s.tHost, [&](_VXQ_S_DPS_MCSRV_DATA *p) {
        _VXQ_S_DPS_MEDIA_SUB_CH_DATA *pSub = VXQ_F_DPS_MC_QueryMediaSubChData(p, 1, 0);
        double fBytes = 0;
        for (auto *n = pSub != NULL ? pSub->pCacheListHead : NULL; n != NULL; n = n->pNext)
            fBytes += n->iDataLen + sizeof(*n);
        r.fCacheKiBMax = std::max(r.fCacheKiBMax, fBytes / 1024);
        for (int i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++)
            if (p->pConn[i] != NULL)
                r.iMaxSending = std::max(r.iMaxSending, (int)p->pConn[i]->iSendingNum);
        r.fSendQueueKiBMax = std::max(r.fSendQueueKiBMax, VXQ_F_DPS_MC_StatNetSendQueueTotalLen(p) / 1024.0);
        /* Memory behind the queued messages: what each queue owns, and the
         * cached frames only they still carry (counted once however shared). */
        std::set<const void *> tInList, tCarried;
        for (int ch = 1; ch <= 4; ch++) {
            _VXQ_S_DPS_MEDIA_SUB_CH_DATA *pS = VXQ_F_DPS_MC_QueryMediaSubChData(p, ch, 0);
            for (auto *n = pS != NULL ? pS->pCacheListHead : NULL; n != NULL; n = n->pNext)
                tInList.insert(n);
        }
        double fOwn = 0, fCarried = 0;
        for (int i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++) {
            _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *w =
                p->pConn[i] != NULL ? VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByPortId(p->hNetSrv, p->pConn[i]->dwPortId)
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

long g_lRssIdleKiB = -1, g_lRss64KiB = -1;
double g_fCache64KiB = -1;

Result PR_RunService(const Case &in_tCase, double in_fSeconds, int in_iAckFrames = 0)
{
    Result res;
    res.sSender = "service";
    Service s;
    if (!PR_ServiceStart(s)) {
        fprintf(stderr, "fanout: service start failed\n");
        exit(1);
    }
    long lRssIdle = PR_RssKiB();
    std::vector<int> tFds;
    for (int sc = 0; sc < in_tCase.iSubChs; sc++)
        for (int v = 0; v < in_tCase.iPerSubCh; v++) {
            int iFd = PR_OpenViewer(s, 1 + sc, 0);
            if (iFd < 0) {
                fprintf(stderr, "fanout: viewer %d of channel %d did not open\n", v, 1 + sc);
                exit(1);
            }
            tFds.push_back(iFd);
        }
    int iStalled = in_tCase.bStalled ? PR_OpenViewer(s, 1, 4096) : -1;
    BENCH_SendCmd(g_iCtrl, BENCH_OP_START, in_iAckFrames > 0 ? 1 : 0, tFds);
    for (int iFd : tFds)
        close(iFd);
    Feeder f;
    double fCpu0 = PR_CpuSec();
    uint64_t qwStart = BENCH_NowNs();
    std::thread tFeeder(PR_Feed, &s, &in_tCase, &f, in_iAckFrames);
    if (in_iAckFrames > 0) {
        tFeeder.join();
    } else {
        uint64_t qwEnd = qwStart + (uint64_t)(in_fSeconds * 1e9);
        while (BENCH_NowNs() < qwEnd) {
            usleep(250000);
            PR_Sample(s, res);
        }
        if (in_tCase.iSubChs * in_tCase.iPerSubCh == 64 && !in_tCase.tLoad.bSaturate && in_tCase.iSubChs == 1 &&
            !in_tCase.bStalled) {
            g_lRssIdleKiB = lRssIdle;
            g_lRss64KiB = PR_RssKiB();
            g_fCache64KiB = res.fCacheKiBMax;
        }
        f.bRun = false;
        tFeeder.join();
        usleep(300000);
    }
    res.fCpuSec = PR_CpuSec() - fCpu0;
    res.fSeconds = (BENCH_NowNs() - qwStart) / 1e9;
    res.tStats = PR_Stop();
    if (iStalled >= 0) {
        /* What the stalled viewer holds: read it all now. */
        StalledCount c;
        _VXQ_S_BENCH_SPLIT tSplit;
        memset(&tSplit, 0, sizeof(tSplit));
        std::vector<uint8_t> tBuf(65536);
        long lBytes = 0;
        for (;;) {
            ssize_t n = recv(iStalled, tBuf.data(), tBuf.size(), MSG_DONTWAIT);
            if (n <= 0)
                break;
            lBytes += n;
            BENCH_Split(&tSplit, tBuf.data(), (size_t)n, PR_CountStalled, &c);
        }
        close(iStalled);
        char sText[200];
        snprintf(sText, sizeof(sText), "%ld bytes: %d I, %d P, %d audio; most outstanding %d", lBytes, c.iVideoI,
                 c.iVideoP, c.iAudio, res.iMaxSending);
        res.sStalled = sText;
    }
    VXQ_F_TESTCLI_Close(&s.tCmd);
    VXQ_F_TESTHOST_Stop(&s.tHost);
    return res;
}

/* ---- table ------------------------------------------------------------- */

std::string PR_CaseName(const Case &c)
{
    char s[64];
    if (c.iSubChs > 1)
        snprintf(s, sizeof(s), "%s %dx%d", c.tLoad.sName, c.iSubChs, c.iPerSubCh);
    else
        snprintf(s, sizeof(s), "%s %d%s", c.tLoad.sName, c.iPerSubCh, c.bStalled ? "+stalled" : "");
    return s;
}

void PR_PrintRow(const Result &r, const Result *in_pBase)
{
    char sRatio[64] = "";
    if (in_pBase != NULL && in_pBase->fCpuPerGB() > 0 && in_pBase->tStats.fP99Ms > 0)
        snprintf(sRatio, sizeof(sRatio), "%6.2f %6.2f", r.fCpuPerGB() / in_pBase->fCpuPerGB(),
                 r.tStats.fP99Ms / in_pBase->tStats.fP99Ms);
    printf("%-22s %-8s %8.2f %8.2f %7.2f %7.2f %8.2f %8llu  %s\n", r.sCase.c_str(), r.sSender.c_str(), r.fMBps(),
           r.fCpuPerGB(), r.tStats.fP50Ms, r.tStats.fP99Ms, r.tStats.fMaxMs, (unsigned long long)r.tStats.qwDrops,
           sRatio);
    fflush(stdout);
}

void PR_WriteJson(const char *in_sPath, const std::vector<Result> &in_tRes)
{
    FILE *f = fopen(in_sPath, "w");
    if (f == NULL)
        return;
    fprintf(f, "{\n  \"rss_idle_kib\": %ld, \"rss_64_viewers_kib\": %ld, \"cache_64_viewers_kib\": %.1f,\n",
            g_lRssIdleKiB, g_lRss64KiB, g_fCache64KiB);
    fprintf(f, "  \"cases\": [\n");
    for (size_t i = 0; i < in_tRes.size(); i++) {
        const Result &r = in_tRes[i];
        fprintf(f,
                "    {\"case\": \"%s\", \"sender\": \"%s\", \"mb_per_s\": %.3f, \"cpu_s_per_gb\": %.3f, "
                "\"p50_ms\": %.3f, \"p99_ms\": %.3f, \"max_ms\": %.3f, \"drops\": %llu, \"frames\": %llu, "
                "\"cache_kib_max\": %.1f, \"queue_own_kib_max\": %.1f, \"carried_kib_max\": %.1f, "
                "\"stalled\": \"%s\"}%s\n",
                r.sCase.c_str(), r.sSender.c_str(), r.fMBps(), r.fCpuPerGB(), r.tStats.fP50Ms, r.tStats.fP99Ms,
                r.tStats.fMaxMs, (unsigned long long)r.tStats.qwDrops, (unsigned long long)r.tStats.qwFrames,
                r.fCacheKiBMax, r.fQueueOwnKiBMax, r.fCarriedKiBMax, r.sStalled.c_str(),
                i + 1 < in_tRes.size() ? "," : "");
    }
    fprintf(f, "  ]\n}\n");
    fclose(f);
}

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

} // namespace

int main(int argc, char **argv)
{
    double fSeconds = 3.0;
    const char *sOnly = NULL;
    const char *sJson = NULL;
    bool bCallgrind = false;
    int iFrames = 200, iViewers = 64;
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        if (a == "--seconds" && i + 1 < argc)
            fSeconds = atof(argv[++i]);
        else if (a == "--only" && i + 1 < argc)
            sOnly = argv[++i];
        else if (a == "--json" && i + 1 < argc)
            sJson = argv[++i];
        else if (a == "--callgrind")
            bCallgrind = true;
        else if (a == "--frames" && i + 1 < argc)
            iFrames = atoi(argv[++i]);
        else if (a == "--viewers" && i + 1 < argc)
            iViewers = atoi(argv[++i]);
        else {
            fprintf(stderr, "usage: fanout [--seconds S] [--only TEXT] [--json FILE] | --callgrind [--frames K] "
                            "[--viewers N]\n");
            return 2;
        }
    }
    signal(SIGPIPE, SIG_IGN);
    int aPair[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET, 0, aPair) != 0)
        return 1;
    pid_t iChild = fork();
    if (iChild == 0) {
        close(aPair[0]);
        BENCH_RunReceiver(aPair[1]);
        _exit(0);
    }
    close(aPair[1]);
    g_iCtrl = aPair[0];
    VXQ_F_LOG_SR_SetIfShowLog(0);
    VXQ_F_LOG_SR_SetIfWriteLogToFile(0);
    PR_FillData();

    if (bCallgrind) {
        Case c = {{"realistic", false}, 1, iViewers, false};
        Result r = PR_RunService(c, 0, iFrames);
        printf("callgrind run: pid %d, %d viewers, %d frames (video and audio), %llu frames received\n",
               (int)getpid(), iViewers, iFrames, (unsigned long long)r.tStats.qwFrames);
    } else {
        const Load aLoads[] = {{"realistic", false}, {"saturating", true}};
        std::vector<Case> tCases;
        for (const Load &l : aLoads) {
            for (int n : {1, 8, 32, 64})
                tCases.push_back({l, 1, n, false});
            tCases.push_back({l, 4, 16, false});
        }
        tCases.push_back({aLoads[0], 1, 63, false});
        tCases.push_back({aLoads[0], 1, 63, true});
        std::vector<Result> tAll;
        printf("%-22s %-8s %8s %8s %7s %7s %8s %8s  %s\n", "case", "sender", "MB/s", "CPUs/GB", "p50ms", "p99ms",
               "maxms", "drops", "svc/base cpu p99");
        for (const Case &c : tCases) {
            std::string sName = PR_CaseName(c);
            if (sOnly != NULL && sName.find(sOnly) == std::string::npos)
                continue;
            Result tBase;
            bool bBase = !c.bStalled && !(c.iPerSubCh == 63);
            if (bBase) {
                tBase = PR_RunBaseline(c, fSeconds);
                tBase.sCase = sName;
                PR_PrintRow(tBase, NULL);
                tAll.push_back(tBase);
            }
            Result tSvc = PR_RunService(c, fSeconds);
            tSvc.sCase = sName;
            PR_PrintRow(tSvc, bBase ? &tBase : NULL);
            if (!tSvc.sStalled.empty())
                printf("    stalled viewer: %s\n", tSvc.sStalled.c_str());
            printf("    cache of one sub-channel at most %.0f KiB; bytes still to send at most %.0f KiB; send queues "
                   "own at most %.1f KiB (%.2f KiB per viewer); frames out of the cache kept by queued messages at "
                   "most %.0f KiB\n",
                   tSvc.fCacheKiBMax, tSvc.fSendQueueKiBMax, tSvc.fQueueOwnKiBMax,
                   tSvc.fQueueOwnKiBMax / (c.iSubChs * c.iPerSubCh + (c.bStalled ? 1 : 0)), tSvc.fCarriedKiBMax);
            tAll.push_back(tSvc);
        }
        if (g_lRss64KiB > 0)
            printf("memory: RSS idle %ld KiB; with 64 viewers %ld KiB, cache %.0f KiB: %.1f KiB per viewer beyond "
                   "the cache\n",
                   g_lRssIdleKiB, g_lRss64KiB, g_fCache64KiB,
                   (g_lRss64KiB - g_lRssIdleKiB - g_fCache64KiB) / 64.0);
        if (sJson != NULL)
            PR_WriteJson(sJson, tAll);
    }
    BENCH_SendCmd(g_iCtrl, BENCH_OP_QUIT, 0, {});
    waitpid(iChild, NULL, 0);
    return 0;
}
