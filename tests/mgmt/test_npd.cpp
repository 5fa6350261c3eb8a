/* NPD management datagrams: layouts, answers broadcast on loopback, trace
 * clients, log line numbers, temporary debug switches. */
#include "mgmt/npd.h"

#include "core/control.h"
#include "service/service.h"
#include "support/test_clock.h"
#include "support/test_host.h"
#include "support/wait_until.h"
#include "vxq_log.h"
#include "vxq_netcom.h"
#include "vxq_queue.h"
#include "vxq_sockwrap.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

namespace
{

const uint32_t kServerId = 0x5A5A1234u;

/* A request as a client builds it: flag, length, id, flag byte 7, request number. */
Bytes Datagram(uint8_t in_ucFuncId, size_t in_nLen, uint32_t in_dwRequNo, uint8_t in_ucAnswer = 0)
{
    Bytes tData(in_nLen, 0);
    if (in_nLen >= 16) {
        TestPutLe32(tData, 0, VXQ_DPS_NPD_FLAG);
        VXQ_F_TESTCLI_PutU16(tData, 4, (uint16_t)in_nLen);
        tData[6] = in_ucFuncId;
        tData[7] = in_ucAnswer;
        TestPutLe32(tData, 8, in_dwRequNo);
    }
    return tData;
}

Bytes TraceParam(uint32_t in_dwServerId, uint16_t in_usOp, uint16_t in_usPort, uint32_t in_dwIp)
{
    Bytes tData = Datagram(VXQ_DPS_NPD_NM_SET_BROAD_TRACE_PARAM, VXQ_DPS_NPD_TRACE_PARAM_LEN, 77);
    TestPutLe32(tData, 16, in_dwServerId);
    VXQ_F_TESTCLI_PutU16(tData, 20, in_usOp);
    VXQ_F_TESTCLI_PutU16(tData, 22, in_usPort);
    TestPutLe32(tData, 24, in_dwIp);
    return tData;
}

/* A debug request setting only the log switch (set word at 24, new value at 36). */
Bytes DebugParam(uint32_t in_dwServerId)
{
    Bytes tData = Datagram(VXQ_DPS_NPD_NM_SET_DEBUG_PARAM, VXQ_DPS_NPD_DEBUG_PARAM_LEN, 9);
    TestPutLe32(tData, 16, in_dwServerId);
    TestPutLe32(tData, 24, 1);
    TestPutLe32(tData, 36, 1);
    TestPutLe32(tData, 40, 1);
    return tData;
}

/* A log line as sent to a trace client: its address at 20, number at 24, text from 28. */
Bytes LogLine(uint32_t in_dwIp, uint32_t in_dwLineNo, const std::string &in_sText)
{
    Bytes tData = Datagram(VXQ_DPS_NPD_BROAD_LOG, 28 + in_sText.size() + 1, 0);
    TestPutLe32(tData, 20, in_dwIp);
    TestPutLe32(tData, 24, in_dwLineNo);
    memcpy(&tData[28], in_sText.data(), in_sText.size());
    return tData;
}

/* A UDP socket on every local address (so that it receives broadcasts) at a port the system picks. */
int BroadcastReceiver(uint16_t *out_pPort)
{
    int iFd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in tAddr = {};
    tAddr.sin_family = AF_INET;
    socklen_t iLen = sizeof(tAddr);
    if (iFd < 0 || bind(iFd, (sockaddr *)&tAddr, sizeof(tAddr)) != 0 ||
        getsockname(iFd, (sockaddr *)&tAddr, &iLen) != 0)
        return -1;
    *out_pPort = ntohs(tAddr.sin_port);
    return iFd;
}

/* Waits (calling in_fnEach meanwhile) for a datagram on in_iFd that in_fnWanted
 * accepts; empty after the deadline. */
Bytes Await(int in_iFd, const std::function<bool(const Bytes &)> &in_fnWanted, const std::function<void()> &in_fnEach,
            int in_iTimeoutMs = 5000)
{
    Bytes tGot;
    WaitUntil(
        [&] {
            in_fnEach();
            uint8_t ucBuf[65536];
            ssize_t n;
            while ((n = recv(in_iFd, ucBuf, sizeof(ucBuf), MSG_DONTWAIT)) >= 0) {
                tGot.assign(ucBuf, ucBuf + n);
                if (in_fnWanted(tGot))
                    return true;
            }
            tGot.clear();
            return false;
        },
        in_iTimeoutMs);
    return tGot;
}

/* An instance with only what the management datagrams use: an engine driven by
 * the test, its broadcast UDP socket, the identity and the capability record. */
class NpdTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        m_pSrv = (_VXQ_S_DPS_MCSRV_DATA *)calloc(1, sizeof(_VXQ_S_DPS_MCSRV_DATA));
        ASSERT_NE(m_pSrv, nullptr);
        VXQ_F_DPS_SVC_InstallFamilies(m_pSrv); /* the datagram sink and the log duty */
        m_pSrv->dwServerId = kServerId;
        _VXQ_S_DPS_DEV_CAP_INFO *pCap = &m_pSrv->tDevCapInfo;
        memcpy(pCap->sDevIdText, "ABCDEFGHIJKL", 12); /* no terminator: 11 go out */
        strcpy(pCap->sDevText1, "front door camera");
        memset(pCap->sDevText2, 'z', sizeof(pCap->sDevText2)); /* no terminator: 31 go out */
        pCap->iVideoChanNum = 16;
        pCap->iAudioChanNum = 4;
        pCap->iDevCapValue1 = 0x11;
        pCap->iDevCapValue2 = 0x22;
        pCap->iDevCapValue3 = 0x33;
        pCap->iDevCapValue4 = -1;
        pCap->iSubProtoNum = 2;
        m_pSrv->hNetSrv = VXQ_F_NETCOM_StartNetServerByNoThread([](void *, const char *, int32_t) { return 1; }, NULL);
        ASSERT_NE(m_pSrv->hNetSrv, nullptr);
        ASSERT_EQ(VXQ_F_NETCOM_StartUdpListen(m_pSrv->hNetSrv, &m_pSrv->usUdpPort, &m_pSrv->dwUdpPortId), 1);
        ASSERT_EQ(VXQ_F_NETCOM_SetBroadcastFlag(m_pSrv->hNetSrv, m_pSrv->dwUdpPortId, 1), 1);
        m_iClient = Extra(&m_usClientPort);
        ASSERT_GE(m_iClient, 0);
    }
    void TearDown() override
    {
        for (int iFd : m_tFds)
            close(iFd);
        if (m_pSrv != nullptr) {
            VXQ_F_NETCOM_CloseNetServer(m_pSrv->hNetSrv);
            VXQ_F_TOOLS_QUEUE_FreeQueue(&m_pSrv->hRecvLogQueue);
            VXQ_F_TOOLS_QUEUE_FreeMemory(&m_pSrv->pWorkBuf);
            free(m_pSrv);
        }
    }
    /* Hands a datagram to the service as if it came from the client's port. */
    int Receive(Bytes in_tData)
    {
        _VXQ_S_NETCOM_DATA_HEAD tHead;
        memset(&tHead, 0, sizeof(tHead));
        tHead.iEventType = VXQ_NETCOM_EVENT_DATA;
        tHead.usNetType = VXQ_NETCOM_NET_UDP;
        tHead.usLocalPort = m_pSrv->usUdpPort;
        tHead.dwPortId = m_pSrv->dwUdpPortId;
        strcpy(tHead.szPeerIpaddr, "127.0.0.1");
        tHead.usPeerPort = m_usClientPort;
        tHead.iDataLen = (int32_t)in_tData.size();
        return VXQ_F_DPS_MW_DoRecvMnUdpMsg(m_pSrv, &tHead, in_tData.empty() ? NULL : in_tData.data(),
                                           (int32_t)in_tData.size());
    }
    /* The next datagram on in_iFd (the client's by default), pumping the engine meanwhile. */
    Bytes Next(int in_iFd = -1)
    {
        return Await(in_iFd >= 0 ? in_iFd : m_iClient, [](const Bytes &) { return true; },
                     [&] { VXQ_F_NETCOM_DoNetEvent(m_pSrv->hNetSrv, 0); });
    }
    /* Proves that nothing was sent before: a search answer must be the next datagram. */
    void ExpectNothingBeforeASearchAnswer()
    {
        ASSERT_EQ(Receive(Datagram(VXQ_DPS_NPD_SEARCH_DEV_REQ, VXQ_DPS_NPD_SEARCH_REQ_LEN, 0xC0FFEE)), 1);
        Bytes tNext = Next();
        ASSERT_EQ(tNext.size(), (size_t)VXQ_DPS_NPD_SEARCH_RSP_LEN);
        EXPECT_EQ(TestLe32(tNext, 8), 0xC0FFEEu);
    }
    int Extra(uint16_t *out_pPort)
    {
        m_tFds.push_back(BroadcastReceiver(out_pPort));
        return m_tFds.back();
    }

    _VXQ_S_DPS_MCSRV_DATA *m_pSrv = nullptr;
    int m_iClient = -1;
    uint16_t m_usClientPort = 0;
    std::vector<int> m_tFds;
};

} // namespace

TEST(NpdLayout, DebugParameterStoresOnlyTheSwitchesWhoseSetWordIsNotZero)
{
    const struct {
        uint32_t dwSet[3], dwNew[3], dwExpected[3];
    } tTable[] = {
        {{1, 0, 0}, {1, 1, 1}, {1, 0, 1}}, {{0, 5, 0}, {0, 7, 0}, {0, 1, 1}},
        {{0, 0, 1}, {1, 1, 0}, {0, 0, 0}}, {{9, 9, 9}, {0, 0, 0}, {0, 0, 0}},
        {{0, 0, 0}, {1, 1, 1}, {0, 0, 1}},
    };
    for (const auto &tRow : tTable) {
        Bytes tData = Datagram(VXQ_DPS_NPD_NM_SET_DEBUG_PARAM, 48, 1);
        for (int i = 0; i < 3; i++) {
            TestPutLe32(tData, 24 + 4 * i, tRow.dwSet[i]);
            TestPutLe32(tData, 36 + 4 * i, tRow.dwNew[i]);
        }
        uint32_t bDebugLog = 0, bDebugMediaLog = 0, bShowRunState = 1;
        VXQ_F_DPS_NPD_ApplyDebugParam(tData.data(), &bDebugLog, &bDebugMediaLog, &bShowRunState);
        EXPECT_EQ(bDebugLog, tRow.dwExpected[0]);
        EXPECT_EQ(bDebugMediaLog, tRow.dwExpected[1]);
        EXPECT_EQ(bShowRunState, tRow.dwExpected[2]);
    }
}

/* The whole answer: the request's number and searcher value, the server id,
 * the texts cut to 11, 31 and 31 characters and zero-filled, the numbers, the
 * three switches. */
TEST_F(NpdTest, SearchIsAnsweredWithA140ByteBroadcastCarryingRequestNumberAndSearcherValue)
{
    Bytes tRequ = Datagram(VXQ_DPS_NPD_SEARCH_DEV_REQ, VXQ_DPS_NPD_SEARCH_REQ_LEN, 0x00ABCDEF, 1);
    TestPutLe32(tRequ, 16, 0xFEEDBEEF);
    m_pSrv->bDebugLog = 1;
    m_pSrv->bShowRunState = 1;
    ASSERT_EQ(Receive(tRequ), 1); /* the answer flag of a search is not looked at */
    Bytes tExpect = Datagram(VXQ_DPS_NPD_SEARCH_DEV_RSP, 140, 0x00ABCDEF, 1);
    TestPutLe32(tExpect, 16, 0xFEEDBEEF);
    TestPutLe32(tExpect, 20, kServerId);
    memcpy(&tExpect[24], "ABCDEFGHIJK", 11);
    memcpy(&tExpect[36], "front door camera", 17);
    memset(&tExpect[68], 'z', 31);
    const uint32_t dwNumbers[] = {16, 4, 0x11, 0x22, 0x33, 0xFFFFFFFFu, 2, 1, 0, 1};
    for (size_t i = 0; i < 10; i++)
        TestPutLe32(tExpect, 100 + 4 * i, dwNumbers[i]);
    EXPECT_EQ(Next(), tExpect);
}

/* An echo is answered with the answer flag; answers, odd flags, ids that are
 * not handled, requests one byte short of their body, and trace or debug
 * requests of another server are ignored with nothing changed and nothing sent. */
TEST_F(NpdTest, EchoIsAnsweredOnceAndShortOrForeignRequestsAreIgnored)
{
    Bytes tEcho = Datagram(VXQ_DPS_NPD_ECHO, 40, 42);
    for (size_t i = 16; i < tEcho.size(); i++)
        tEcho[i] = (uint8_t)i;
    ASSERT_EQ(Receive(tEcho), 1);
    Bytes tAnswer = Next();
    Bytes tExpected = tEcho;
    tExpected[7] = 1;
    EXPECT_EQ(tAnswer, tExpected);

    Bytes tOdd = tEcho;
    tOdd[7] = 2;
    std::vector<Bytes> tIgnored = {tAnswer, tOdd, Bytes(), TraceParam(kServerId + 1, 1, 6000, 0x0100007F),
                                   DebugParam(kServerId + 1)};
    for (uint8_t ucId : {0, 3, 9, 11, 13, 255})
        tIgnored.push_back(Datagram(ucId, 48, 5));
    for (Bytes tFull : {Datagram(VXQ_DPS_NPD_ECHO, 16, 5), Datagram(VXQ_DPS_NPD_SEARCH_DEV_REQ, 24, 5),
                        TraceParam(kServerId, 1, 6000, 1), DebugParam(kServerId)}) {
        tFull.pop_back();
        tIgnored.push_back(tFull);
    }
    for (size_t i = 0; i < tIgnored.size(); i++)
        EXPECT_EQ(Receive(tIgnored[i]), 0) << "datagram " << i;
    EXPECT_EQ(m_pSrv->tTraceClient[0].bUsed, 0);
    EXPECT_EQ(m_pSrv->bDebugLog, 0u);
    ExpectNothingBeforeASearchAnswer();
}

TEST_F(NpdTest, SeventhTraceClientAndRemoveOfAnUnknownOneGetResultTwo)
{
    auto fnAsk = [&](uint16_t in_usOp, uint16_t in_usPort, uint32_t in_dwIp, uint32_t in_dwResult) {
        Bytes tRequ = TraceParam(kServerId, in_usOp, in_usPort, in_dwIp);
        ASSERT_EQ(Receive(tRequ), 1);
        tRequ[7] = 1;
        TestPutLe32(tRequ, 12, in_dwResult);
        EXPECT_EQ(Next(), tRequ) << in_usOp << " " << in_usPort;
    };
    for (uint16_t i = 0; i < VXQ_DPS_TRACE_CLIENT_NUM; i++)
        fnAsk(1, 6000 + i, 0x0100007F, 0);
    const struct {
        uint16_t usOp, usPort;
        uint32_t dwIp, dwResult;
    } tTable[] = {{1, 6000, 0x0100007F, 0} /* the first entry refreshed while full */,
                  {1, 7000, 0x0100007F, 2}, {0, 7000, 0x0100007F, 2}, {0, 6001, 0x0200007F, 2},
                  {0, 6001, 0x0100007F, 0}, {1, 7000, 0x0100007F, 0}};
    for (const auto &tRow : tTable)
        fnAsk(tRow.usOp, tRow.usPort, tRow.dwIp, tRow.dwResult);
    EXPECT_EQ(m_pSrv->tTraceClient[1].usPort, 7000); /* the freed entry was taken again */
    EXPECT_EQ(m_pSrv->tTraceClient[0].bUsed, 1);
}

/* Whole log lines, numbered from the counter (999998 wraps to 0); a client that
 * stops refreshing gets the line at 20 s and then none. */
TEST_F(NpdTest, TraceClientThatStopsRefreshingGetsOneMoreLineAfterTwentySecondsAndThenNone)
{
    TestClock tClock;
    uint16_t usPortA = 0, usPortB = 0;
    int iA = Extra(&usPortA), iB = Extra(&usPortB);
    ASSERT_EQ(Receive(TraceParam(kServerId, 1, usPortA, 0x0A0B0C0D)), 1);
    ASSERT_EQ(Receive(TraceParam(kServerId, 1, usPortB, 0x01020304)), 1);
    ASSERT_EQ(Next().size(), 28u);
    ASSERT_EQ(Next().size(), 28u);
    m_pSrv->dwLogLineNo = 999998;
    tClock.AdvanceSec(19);
    ASSERT_EQ(Receive(TraceParam(kServerId, 2, usPortB, 0x01020304)), 1); /* B refreshes */
    ASSERT_EQ(Next().size(), 28u);
    ASSERT_EQ(VXQ_F_DPS_MC_SendBroadLogToClient(m_pSrv, "at nineteen"), 1);
    EXPECT_EQ(Next(iA), LogLine(0x0A0B0C0D, 999998, "at nineteen"));
    EXPECT_EQ(Next(iB), LogLine(0x01020304, 999998, "at nineteen"));

    tClock.AdvanceSec(1);
    ASSERT_EQ(VXQ_F_DPS_MC_SendBroadLogToClient(m_pSrv, "at twenty"), 1);
    EXPECT_EQ(Next(iA), LogLine(0x0A0B0C0D, 0, "at twenty"));
    EXPECT_EQ(Next(iB), LogLine(0x01020304, 0, "at twenty"));

    ASSERT_EQ(VXQ_F_DPS_MC_SendBroadLogToClient(m_pSrv, "after the drop"), 1);
    /* A's copy would have been sent before B's in the same engine pass. */
    EXPECT_EQ(Next(iB), LogLine(0x01020304, 1, "after the drop"));
    pollfd tPoll = {iA, POLLIN, 0};
    EXPECT_EQ(poll(&tPoll, 1, 50), 0);
}

/* The 100 ms duty sends queued log records only while a trace client is
 * registered and the host allows it; switched off, trace and debug requests are
 * not taken and the clients are forgotten, while searches are still answered. */
TEST_F(NpdTest, TimerBroadcastsQueuedLogRecordsOnlyWhileATraceClientIsRegisteredAndTheHostAllowsIt)
{
    TestClock tClock;
    ASSERT_EQ(VXQ_F_TOOLS_QUEUE_InitQueue(&m_pSrv->hRecvLogQueue, 10), 1);
    uint8_t ucRecord[VXQ_DPS_LOG_RECORD_LEN] = {};
    auto fnLog = [&](const char *in_sText) {
        strcpy((char *)ucRecord + VXQ_DPS_LOG_RECORD_TEXT_OFFSET, in_sText);
        ASSERT_EQ(VXQ_F_TOOLS_QUEUE_SetData(m_pSrv->hRecvLogQueue, ucRecord, sizeof(ucRecord), 0), 1);
        tClock.AdvanceMs(100);
        VXQ_F_DPS_MC_DoTimer(m_pSrv);
        EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetCount(m_pSrv->hRecvLogQueue), 0);
    };
    fnLog("dropped record");
    ASSERT_EQ(Receive(TraceParam(kServerId, 1, m_usClientPort, 0x7F000001)), 1);
    ASSERT_EQ(Next().size(), 28u);
    fnLog("sent record");
    EXPECT_EQ(Next(), LogLine(0x7F000001, 0, "sent record")) << "the dropped record took no number";

    ASSERT_EQ(VXQ_F_DPS_SetTraceDebugEnable(m_pSrv, 0), 1);
    EXPECT_EQ(Receive(TraceParam(kServerId, 1, m_usClientPort, 0x7F000001)), 0);
    EXPECT_EQ(Receive(DebugParam(kServerId)), 0);
    fnLog("not for the network");
    ExpectNothingBeforeASearchAnswer();
    for (const _VXQ_S_DPS_TRACE_CLIENT_DATA &tEntry : m_pSrv->tTraceClient)
        EXPECT_EQ(tEntry.bUsed, 0u);

    /* Allowed again: a debug request with this server's id changes only its
     * switches, is answered, and starts the 10 s restore now. */
    m_pSrv->bShowRunState = 1;
    ASSERT_EQ(VXQ_F_DPS_SetTraceDebugEnable(m_pSrv, 1), 1);
    Bytes tDebug = DebugParam(kServerId);
    ASSERT_EQ(Receive(tDebug), 1);
    tDebug[7] = 1;
    EXPECT_EQ(Next(), tDebug);
    EXPECT_EQ(m_pSrv->bDebugLog, 1u);
    EXPECT_EQ(m_pSrv->bDebugMediaLog, 0u);
    EXPECT_EQ(m_pSrv->bShowRunState, 1u);
    EXPECT_EQ(m_pSrv->tDebugParamTime, VXQ_F_CLOCK_NowSec());
}

/* The running service on its fixed port: a trace client registers and gets the
 * service's log lines (broadcasts loop back here). */
TEST(NpdService, RunningServiceRegistersATraceClientAndSendsItItsLogLines)
{
    _VXQ_S_TESTHOST_DATA tHost;
    ASSERT_EQ(VXQ_F_TESTHOST_Start(&tHost), 1);
    uint16_t usPort = 0;
    int iFd = BroadcastReceiver(&usPort);
    ASSERT_GE(iFd, 0);
    /* Asks every 200 ms until the answer with the request's id and number comes. */
    auto fnAsk = [&](const Bytes &in_tRequ, uint8_t in_ucFuncId) {
        int iTicks = 0;
        return Await(
            iFd,
            [&](const Bytes &t) {
                return t.size() >= 16 && t[6] == in_ucFuncId && TestLe32(t, 8) == TestLe32(in_tRequ, 8);
            },
            [&] {
                if (iTicks++ % 200 == 0)
                    VXQ_F_SYS_SOCKET_SendTo(iFd, (const char *)in_tRequ.data(), (int)in_tRequ.size(), "127.0.0.1",
                                            VXQ_DPS_UDP_PORT, NULL, NULL, 0);
            });
    };
    Bytes tRequ = TraceParam(tHost.pSrv->dwServerId, 1, usPort, 0x0100007F);
    TestPutLe32(tRequ, 8, 0x7ACE0001);
    Bytes tAnswer = fnAsk(tRequ, VXQ_DPS_NPD_NM_SET_BROAD_TRACE_PARAM);
    ASSERT_EQ(tAnswer.size(), 28u);
    ASSERT_EQ(TestLe32(tAnswer, 12), 0u);
    const std::string sLine("trace client line one");
    VXQ_F_LOG_SR_WriteLog(sLine.c_str(), 2);
    Bytes tLine = Await(
        iFd,
        [&](const Bytes &t) {
            return t.size() > 28 && t[6] == VXQ_DPS_NPD_BROAD_LOG &&
                   std::string(t.begin() + 28, t.end()).find(sLine + '\0') != std::string::npos;
        },
        [] {});
    EXPECT_FALSE(tLine.empty());
    close(iFd);
    VXQ_F_TESTHOST_Stop(&tHost);
}
