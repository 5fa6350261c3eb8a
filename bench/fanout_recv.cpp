/* The receiving process of the fan-out benchmark; see fanout_recv.h. */
#include "bench/fanout_recv.h"

#include <errno.h>
#include <linux/futex.h>
#include <poll.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <new>

uint64_t BENCH_NowNs(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (uint64_t)t.tv_sec * 1000000000ull + (uint64_t)t.tv_nsec;
}

static uint32_t PR_Le32(const uint8_t *in_p)
{
    return (uint32_t)in_p[0] | ((uint32_t)in_p[1] << 8) | ((uint32_t)in_p[2] << 16) |
           ((uint32_t)in_p[3] << 24);
}

void BENCH_Split(_VXQ_S_BENCH_SPLIT *inout_pSplit, const uint8_t *in_pData, size_t in_nLen,
                 BENCH_PF_FRAME in_fnFrame, void *in_pCtx)
{
    _VXQ_S_BENCH_SPLIT *s = inout_pSplit;
    while (in_nLen > 0) {
        if (s->dwHave < sizeof(s->aHead)) {
            size_t n = std::min(in_nLen, sizeof(s->aHead) - s->dwHave);
            memcpy(s->aHead + s->dwHave, in_pData, n);
            s->dwHave += (uint32_t)n;
            in_pData += n;
            in_nLen -= n;
            if (s->dwHave >= 8 && s->dwMsgLen == 0)
                s->dwMsgLen = PR_Le32(s->aHead + 4);
            if (s->dwMsgLen != 0 && s->dwMsgLen <= s->dwHave) {
                /* A message shorter than head and stamp (not ours): resynchronise is not
                 * possible on a stream, so count it and carry the surplus over. */
                uint32_t dwOver = s->dwHave - s->dwMsgLen;
                in_fnFrame(in_pCtx, s->aHead, s->dwMsgLen);
                memmove(s->aHead, s->aHead + s->dwMsgLen, dwOver);
                s->dwHave = dwOver;
                s->dwMsgLen = dwOver >= 8 ? PR_Le32(s->aHead + 4) : 0;
            }
            continue;
        }
        size_t n = std::min<size_t>(in_nLen, s->dwMsgLen - s->dwHave);
        s->dwHave += (uint32_t)n;
        in_pData += n;
        in_nLen -= n;
        if (s->dwHave == s->dwMsgLen) {
            in_fnFrame(in_pCtx, s->aHead, s->dwMsgLen);
            s->dwHave = 0;
            s->dwMsgLen = 0;
        }
    }
}

double BENCH_PercentileMs(const std::vector<uint32_t> &in_tSorted, double in_fPct)
{
    if (in_tSorted.empty())
        return 0.0;
    size_t i = (size_t)((in_fPct / 100.0) * (double)(in_tSorted.size() - 1) + 0.5);
    return in_tSorted[std::min(i, in_tSorted.size() - 1)] / 1000.0;
}

int BENCH_SendCmd(int in_iCtrl, uint32_t in_dwOp, uint32_t in_dwArg, const std::vector<int> &in_tFds,
                  uint32_t in_dwSubs)
{
    _VXQ_S_BENCH_CMD tCmd = {in_dwOp, in_dwArg, in_dwSubs};
    struct iovec tIov = {&tCmd, sizeof(tCmd)};
    struct msghdr tMsg;
    memset(&tMsg, 0, sizeof(tMsg));
    tMsg.msg_iov = &tIov;
    tMsg.msg_iovlen = 1;
    std::vector<uint8_t> tCtl;
    if (!in_tFds.empty()) {
        tCtl.assign(CMSG_SPACE(sizeof(int) * in_tFds.size()), 0);
        tMsg.msg_control = tCtl.data();
        tMsg.msg_controllen = tCtl.size();
        struct cmsghdr *pC = CMSG_FIRSTHDR(&tMsg);
        pC->cmsg_level = SOL_SOCKET;
        pC->cmsg_type = SCM_RIGHTS;
        pC->cmsg_len = CMSG_LEN(sizeof(int) * in_tFds.size());
        memcpy(CMSG_DATA(pC), in_tFds.data(), sizeof(int) * in_tFds.size());
    }
    return sendmsg(in_iCtrl, &tMsg, 0) == (ssize_t)sizeof(tCmd) ? 1 : 0;
}

/* The futex word is the 32-bit value inside the atomic (lock-free, same layout).
 * A 32-bit build with 64-bit time passes its timespec to the time64 call. */
static long PR_Futex(std::atomic<uint32_t> *in_pWord, int in_iOp, uint32_t in_dwVal,
                     const struct timespec *in_pTime)
{
    uint32_t *pWord = reinterpret_cast<uint32_t *>(in_pWord);
#if defined(SYS_futex_time64)
    if (sizeof(time_t) > sizeof(long))
        return syscall(SYS_futex_time64, pWord, in_iOp, in_dwVal, in_pTime, NULL, 0);
#endif
    return syscall(SYS_futex, pWord, in_iOp, in_dwVal, in_pTime, NULL, 0);
}

int BENCH_WaitProgress(_VXQ_S_BENCH_PROGRESS *in_pProgress, int in_iSub, uint32_t in_dwWant,
                       int in_iTimeoutMs)
{
    std::atomic<uint32_t> &tDone = in_pProgress->aDone[in_iSub];
    uint64_t qwEnd = BENCH_NowNs() + (uint64_t)in_iTimeoutMs * 1000000ull;
    for (;;) {
        uint32_t dwNow = tDone.load();
        if ((int32_t)(dwNow - in_dwWant) >= 0)
            return 1;
        uint64_t qwNow = BENCH_NowNs();
        if (qwNow >= qwEnd)
            return 0;
        in_pProgress->aWaiting[in_iSub].store(1);
        /* Checked again after announcing the wait: a store before it is seen here. */
        if (tDone.load() != dwNow)
            continue;
        struct timespec t = {(time_t)((qwEnd - qwNow) / 1000000000ull),
                             (long)((qwEnd - qwNow) % 1000000000ull)};
        PR_Futex(&tDone, FUTEX_WAIT, dwNow, &t);
    }
}

int BENCH_ForkReceiver(pid_t *out_pPid, _VXQ_S_BENCH_PROGRESS **out_ppProgress)
{
    void *pPage =
        mmap(NULL, sizeof(_VXQ_S_BENCH_PROGRESS), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (pPage == MAP_FAILED)
        return -1;
    _VXQ_S_BENCH_PROGRESS *pProgress = new (pPage) _VXQ_S_BENCH_PROGRESS();
    int aPair[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET, 0, aPair) != 0)
        return -1;
    pid_t iChild = fork();
    if (iChild < 0)
        return -1;
    if (iChild == 0) {
        close(aPair[0]);
        BENCH_RunReceiver(aPair[1], pProgress);
        _exit(0);
    }
    close(aPair[1]);
    *out_pPid = iChild;
    *out_ppProgress = pProgress;
    return aPair[0];
}

void BENCH_QuitReceiver(int in_iCtrl, pid_t in_iPid)
{
    BENCH_SendCmd(in_iCtrl, BENCH_OP_QUIT, 0, {});
    waitpid(in_iPid, NULL, 0);
    close(in_iCtrl);
}

namespace
{

struct Conn {
    int iFd;
    int iSub;
    _VXQ_S_BENCH_SPLIT tSplit;
    int64_t llLastSeq; /* -1 before the first frame */
};

double PR_CpuSec()
{
    struct rusage t;
    getrusage(RUSAGE_SELF, &t);
    return t.ru_utime.tv_sec + t.ru_utime.tv_usec / 1e6 + t.ru_stime.tv_sec + t.ru_stime.tv_usec / 1e6;
}

struct Run {
    double fCpuStart;
    _VXQ_S_BENCH_PROGRESS *pProgress;
    /* Per sub-channel: the lowest llLastSeq of its connections and how many
     * are at it (the lowest moves only when the last of them moves). */
    int64_t aMin[BENCH_MAX_SUBS];
    int aAtMin[BENCH_MAX_SUBS];
    std::vector<Conn> tConns;
    std::vector<uint32_t> tLatUs;
    _VXQ_S_BENCH_STATS tStats;
    uint64_t qwNow;
    Conn *pCur;
    bool bAck;
    /* Ack mode: per sequence, how many connections have it. */
    std::vector<uint32_t> tSeen;
    uint32_t dwAckNext;
    int iCtrl;
};

/* Recounts the lowest sequence of sub-channel in_iSub and the connections at it. */
void PR_Recount(Run *r, int in_iSub)
{
    int64_t llMin = INT64_MAX;
    int iAt = 0;
    for (const Conn &c : r->tConns) {
        if (c.iSub != in_iSub)
            continue;
        if (c.llLastSeq < llMin) {
            llMin = c.llLastSeq;
            iAt = 0;
        }
        if (c.llLastSeq == llMin)
            iAt++;
    }
    r->aMin[in_iSub] = llMin == INT64_MAX ? -1 : llMin;
    r->aAtMin[in_iSub] = iAt;
}

/* The last connection at the lowest sequence of sub-channel in_iSub moved:
 * recount and publish, waking a waiting sender. */
void PR_Publish(Run *r, int in_iSub)
{
    int64_t llOld = r->aMin[in_iSub];
    PR_Recount(r, in_iSub);
    int64_t llMin = r->aMin[in_iSub];
    if (llMin == llOld)
        return;
    std::atomic<uint32_t> &tDone = r->pProgress->aDone[in_iSub];
    tDone.store((uint32_t)(llMin + 1));
    if (r->pProgress->aWaiting[in_iSub].exchange(0) != 0)
        PR_Futex(&tDone, FUTEX_WAKE, INT32_MAX, NULL);
}

void PR_OnFrame(void *in_pCtx, const uint8_t *in_pHead, uint32_t in_dwMsgLen)
{
    Run *r = (Run *)in_pCtx;
    r->tStats.qwFrames++;
    if (in_dwMsgLen < 32 + BENCH_STAMP_LEN)
        return;
    uint16_t usFunc = (uint16_t)(in_pHead[8] | (in_pHead[9] << 8));
    if (usFunc != 0x0E01 && usFunc != 0x0E02)
        return;
    if (usFunc == 0x0E01 && (in_pHead[20] >> 4) == 1)
        r->tStats.qwVideoI++;
    uint32_t dwSeq = PR_Le32(in_pHead + 32);
    uint64_t qwSent = (uint64_t)PR_Le32(in_pHead + 36) | ((uint64_t)PR_Le32(in_pHead + 40) << 32);
    if (r->qwNow > qwSent)
        r->tLatUs.push_back((uint32_t)std::min<uint64_t>((r->qwNow - qwSent) / 1000, UINT32_MAX));
    Conn *c = r->pCur;
    if (c->llLastSeq >= 0 && (int64_t)dwSeq > c->llLastSeq + 1)
        r->tStats.qwDrops += (uint64_t)((int64_t)dwSeq - c->llLastSeq - 1);
    int64_t llOld = c->llLastSeq;
    c->llLastSeq = dwSeq;
    if (r->pProgress != NULL && c->iSub < BENCH_MAX_SUBS && llOld == r->aMin[c->iSub] &&
        --r->aAtMin[c->iSub] <= 0)
        PR_Publish(r, c->iSub);
    if (r->bAck) {
        if (r->tSeen.size() <= dwSeq)
            r->tSeen.resize(dwSeq + 1024, 0);
        r->tSeen[dwSeq]++;
        while (r->dwAckNext < r->tSeen.size() && r->tSeen[r->dwAckNext] >= r->tConns.size()) {
            _VXQ_S_BENCH_REPLY tReply;
            memset(&tReply, 0, sizeof(tReply));
            tReply.dwType = BENCH_REPLY_ACK;
            tReply.dwSeq = r->dwAckNext++;
            if (send(r->iCtrl, &tReply, sizeof(tReply), 0) < 0)
                break;
        }
    }
}

/* Takes a command and its fds. 0 when the pair closed. */
int PR_RecvCmd(int in_iCtrl, _VXQ_S_BENCH_CMD *out_pCmd, std::vector<int> &out_tFds)
{
    struct iovec tIov = {out_pCmd, sizeof(*out_pCmd)};
    std::vector<uint8_t> tCtl(CMSG_SPACE(sizeof(int) * 256), 0);
    struct msghdr tMsg;
    memset(&tMsg, 0, sizeof(tMsg));
    tMsg.msg_iov = &tIov;
    tMsg.msg_iovlen = 1;
    tMsg.msg_control = tCtl.data();
    tMsg.msg_controllen = tCtl.size();
    ssize_t n = recvmsg(in_iCtrl, &tMsg, 0);
    if (n != (ssize_t)sizeof(*out_pCmd))
        return 0;
    out_tFds.clear();
    for (struct cmsghdr *c = CMSG_FIRSTHDR(&tMsg); c != NULL; c = CMSG_NXTHDR(&tMsg, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS)
            continue;
        size_t k = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        const int *p = (const int *)CMSG_DATA(c);
        out_tFds.insert(out_tFds.end(), p, p + k);
    }
    return 1;
}

} // namespace

void BENCH_RunReceiver(int in_iCtrl, _VXQ_S_BENCH_PROGRESS *in_pProgress)
{
    std::vector<uint8_t> tBuf(256 * 1024);
    Run r;
    r.iCtrl = in_iCtrl;
    r.pProgress = in_pProgress;
    std::vector<struct pollfd> tPoll;
    for (;;) {
        tPoll.assign(1, pollfd{in_iCtrl, POLLIN, 0});
        for (const Conn &c : r.tConns)
            tPoll.push_back(pollfd{c.iFd, POLLIN, 0});
        if (poll(tPoll.data(), tPoll.size(), 1000) < 0 && errno != EINTR)
            return;
        for (size_t i = 1; i < tPoll.size(); i++) {
            if ((tPoll[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0)
                continue;
            Conn &c = r.tConns[i - 1];
            /* One read per ready socket per round, as a client's reader would. */
            ssize_t n = recv(c.iFd, tBuf.data(), tBuf.size(), MSG_DONTWAIT);
            if (n <= 0)
                continue;
            r.qwNow = BENCH_NowNs();
            r.tStats.qwBytes += (uint64_t)n;
            r.pCur = &c;
            BENCH_Split(&c.tSplit, tBuf.data(), (size_t)n, PR_OnFrame, &r);
        }
        if ((tPoll[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0)
            continue;
        _VXQ_S_BENCH_CMD tCmd;
        std::vector<int> tFds;
        if (!PR_RecvCmd(in_iCtrl, &tCmd, tFds) || tCmd.dwOp == BENCH_OP_QUIT)
            return;
        if (tCmd.dwOp == BENCH_OP_START) {
            for (size_t i = 0; i < tFds.size(); i++) {
                Conn c;
                memset(&c, 0, sizeof(c));
                c.iFd = tFds[i];
                c.iSub = tCmd.dwSubs > 1 ? (int)(i % tCmd.dwSubs) : 0;
                c.llLastSeq = -1;
                r.tConns.push_back(c);
            }
            for (int i = 0; i < BENCH_MAX_SUBS; i++) {
                PR_Recount(&r, i);
                if (r.pProgress != NULL)
                    r.pProgress->aDone[i].store(0);
            }
            memset(&r.tStats, 0, sizeof(r.tStats));
            r.tLatUs.clear();
            r.tSeen.clear();
            r.dwAckNext = 0;
            r.bAck = tCmd.dwArg != 0;
            r.fCpuStart = PR_CpuSec();
        } else if (tCmd.dwOp == BENCH_OP_STOP) {
            std::sort(r.tLatUs.begin(), r.tLatUs.end());
            r.tStats.fP50Ms = BENCH_PercentileMs(r.tLatUs, 50);
            r.tStats.fP99Ms = BENCH_PercentileMs(r.tLatUs, 99);
            r.tStats.fMaxMs = r.tLatUs.empty() ? 0.0 : r.tLatUs.back() / 1000.0;
            r.tStats.fCpuSec = PR_CpuSec() - r.fCpuStart;
            _VXQ_S_BENCH_REPLY tReply;
            memset(&tReply, 0, sizeof(tReply));
            tReply.dwType = BENCH_REPLY_STATS;
            tReply.tStats = r.tStats;
            for (const Conn &c : r.tConns)
                close(c.iFd);
            r.tConns.clear();
            if (send(in_iCtrl, &tReply, sizeof(tReply), 0) < 0)
                return;
        }
    }
}
