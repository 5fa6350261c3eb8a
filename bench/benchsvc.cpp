/* The benchmarks' service, viewers and readings; see benchsvc.h. */
#include "bench/benchsvc.h"

#include "bench/fanout_recv.h"
#include "vxq_dps.h"
#include "vxq_log.h"
#include "wire/head.h"

#include <arpa/inet.h>
#include <errno.h>
#include <malloc.h>
#include <netinet/in.h>
#include <stdio.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

_VXQ_S_DPS_STREAM_DESC BENCH_StreamDesc(void)
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
static void PR_HostHook(_VXQ_S_TESTHOST_DATA *in_pHost, const std::vector<uint8_t> &in_tEvent)
{
    if (VXQ_F_TESTHOST_MsgFuncId(in_tEvent) != EVENT_E2_OPEN_MEDIA_STREAM || in_tEvent.size() != 16 + 48)
        return;
    _VXQ_S_DPS_E2_OPEN_MEDIA_STREAM tBody;
    memcpy(&tBody, in_tEvent.data() + 16, sizeof(tBody));
    tBody.o_tDesc = BENCH_StreamDesc();
    std::vector<uint8_t> tOrder = VXQ_F_TESTHOST_BuildOrder(
        EVENT_E2_OPEN_MEDIA_STREAM, 0, VXQ_F_TESTHOST_TransId(in_tEvent), &tBody, sizeof(tBody));
    tOrder[4] = VXQ_DPS_MSG_TYPE_ANSWER;
    VXQ_F_TESTHOST_PostOrder(in_pHost, tOrder);
}

int BENCH_ServiceStart(_VXQ_S_BENCH_SERVICE &s, int in_iVideoChs)
{
    VXQ_F_TESTHOST_AddUser(&s.tHost, "admin", "pw", 0xFF, 0xFF);
    VXQ_F_TESTHOST_SetHook(&s.tHost, PR_HostHook);
    s.tHost.tCap.iVideoChanNum = std::max(in_iVideoChs, s.tHost.tCap.iVideoChanNum);
    VXQ_F_TESTCLI_Init(&s.tCmd);
    int iOk = VXQ_F_TESTHOST_Start(&s.tHost);
    /* The start shows its version line; the runs show nothing. */
    VXQ_F_LOG_SR_SetIfShowLog(0);
    return iOk && VXQ_F_TESTCLI_Connect(&s.tCmd, s.tHost.usPort) &&
           VXQ_F_TESTCLI_TokenAndLogin(&s.tCmd, "admin", "pw", &s.dwLoginId);
}

void BENCH_ServiceStop(_VXQ_S_BENCH_SERVICE &s)
{
    VXQ_F_TESTCLI_Close(&s.tCmd);
    VXQ_F_TESTHOST_Stop(&s.tHost);
}

int BENCH_OpenViewer(_VXQ_S_BENCH_SERVICE &s, int in_iChNo, int in_iRcvBuf)
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
        if (connect(t.iSock, (struct sockaddr *)&a, sizeof(a)) != 0) {
            VXQ_F_TESTCLI_Close(&t);
            return -1;
        }
    } else if (!VXQ_F_TESTCLI_Connect(&t, s.tHost.usPort)) {
        return -1;
    }
    std::vector<uint8_t> tOpen = VXQ_F_TESTCLI_BuildZeroMsg(P2_EX_REALPLAY_OPEN, s.dwTrans++, 16), tAnswer;
    VXQ_F_TESTCLI_PutU32(tOpen, 20, s.dwLoginId);
    VXQ_F_TESTCLI_PutU16(tOpen, 24, (uint16_t)in_iChNo);
    VXQ_F_TESTCLI_PutU32(tOpen, 28, 0xC1A1);
    if (!VXQ_F_TESTCLI_Request(&t, tOpen, tAnswer, 5000) || tAnswer.size() < 36 || tAnswer[11] != 0) {
        fprintf(stderr, "bench: open of channel %d answered %s (%zu bytes, result byte %d)\n", in_iChNo,
                tAnswer.empty() ? "nothing" : "a refusal", tAnswer.size(),
                tAnswer.size() > 11 ? tAnswer[11] : -1);
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

void BENCH_Stamp(uint8_t *out_p, uint32_t in_dwSeq)
{
    uint64_t q = BENCH_NowNs();
    for (int i = 0; i < 4; i++)
        out_p[i] = (uint8_t)(in_dwSeq >> (8 * i));
    for (int i = 0; i < 8; i++)
        out_p[4 + i] = (uint8_t)(q >> (8 * i));
}

void BENCH_SleepUntil(uint64_t in_qwNs)
{
    struct timespec t;
    t.tv_sec = (time_t)(in_qwNs / 1000000000ull);
    t.tv_nsec = (long)(in_qwNs % 1000000000ull);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, NULL) == EINTR) {
    }
}

double BENCH_CpuSec(void)
{
    struct rusage t;
    getrusage(RUSAGE_SELF, &t);
    return t.ru_utime.tv_sec + t.ru_utime.tv_usec / 1e6 + t.ru_stime.tv_sec + t.ru_stime.tv_usec / 1e6;
}

long BENCH_RssKiB(void)
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

double BENCH_HeapKiB(void)
{
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
    struct mallinfo2 t = mallinfo2();
    /* Nothing in use means another allocator replaced this one (a sanitizer build). */
    return t.uordblks + t.hblkhd > 0 ? (double)(t.uordblks + t.hblkhd) / 1024.0 : -1.0;
#else
    return -1.0;
#endif
}

double BENCH_PercentileUs(std::vector<uint64_t> in_tNs, double in_fPct)
{
    if (in_tNs.empty())
        return 0.0;
    std::sort(in_tNs.begin(), in_tNs.end());
    size_t i = (size_t)((in_fPct / 100.0) * (double)(in_tNs.size() - 1) + 0.5);
    return (double)in_tNs[std::min(i, in_tNs.size() - 1)] / 1000.0;
}
