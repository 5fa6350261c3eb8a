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

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

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

/* A UDP socket on every local address (so that it receives broadcasts) at a port the system picks. */
int BroadcastReceiver(uint16_t *out_pPort)
{
    int iFd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in tAddr = {};
    tAddr.sin_family = AF_INET;
    tAddr.sin_addr.s_addr = htonl(INADDR_ANY);
    socklen_t iLen = sizeof(tAddr);
    if (iFd < 0 || bind(iFd, (sockaddr *)&tAddr, sizeof(tAddr)) != 0 ||
        getsockname(iFd, (sockaddr *)&tAddr, &iLen) != 0)
        return -1;
    *out_pPort = ntohs(tAddr.sin_port);
    return iFd;
}

int DiscardRecords(void *, const char *, int32_t)
{
    return 1;
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
        m_pSrv->hNetSrv = VXQ_F_NETCOM_StartNetServerByNoThread(DiscardRecords, NULL);
        ASSERT_NE(m_pSrv->hNetSrv, nullptr);
        uint16_t usPort = 0;
        ASSERT_EQ(VXQ_F_NETCOM_StartUdpListen(m_pSrv->hNetSrv, &usPort, &m_pSrv->dwUdpPortId), 1);
        ASSERT_EQ(VXQ_F_NETCOM_SetBroadcastFlag(m_pSrv->hNetSrv, m_pSrv->dwUdpPortId, 1), 1);
        m_pSrv->usUdpPort = usPort;
        m_iClient = BroadcastReceiver(&m_usClientPort);
        ASSERT_GE(m_iClient, 0);
    }
    void TearDown() override
    {
        if (m_iClient >= 0)
            close(m_iClient);
        for (int iFd : m_tExtra)
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
    /* The next datagram on in_iFd, pumping the engine meanwhile; empty after the deadline. */
    Bytes Next(int in_iFd = -1, int in_iTimeoutMs = 5000)
    {
        int iFd = in_iFd >= 0 ? in_iFd : m_iClient;
        Bytes tData;
        WaitUntil(
            [&] {
                VXQ_F_NETCOM_DoNetEvent(m_pSrv->hNetSrv, 0);
                pollfd tPoll = {iFd, POLLIN, 0};
                if (poll(&tPoll, 1, 5) != 1)
                    return false;
                uint8_t ucBuf[65536];
                ssize_t n = recv(iFd, ucBuf, sizeof(ucBuf), 0);
                if (n < 0)
                    return false;
                tData.assign(ucBuf, ucBuf + n);
                return true;
            },
            in_iTimeoutMs);
        return tData;
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
        int iFd = BroadcastReceiver(out_pPort);
        m_tExtra.push_back(iFd);
        return iFd;
    }

    _VXQ_S_DPS_MCSRV_DATA *m_pSrv = nullptr;
    int m_iClient = -1;
    uint16_t m_usClientPort = 0;
    std::vector<int> m_tExtra;
};

} // namespace

TEST(NpdLayout, HeadLoadsAndStoresLittleEndianAndRefusesShortInput)
{
    Bytes tData = Datagram(VXQ_DPS_NPD_SEARCH_DEV_REQ, 24, 0x01020304);
    TestPutLe32(tData, 12, 2);
    _VXQ_S_DPS_NPD_HEAD tHead;
    ASSERT_EQ(VXQ_F_DPS_NPD_HeadLoad(tData.data(), 16, &tHead), 1);
    EXPECT_EQ(tHead.dwFlag, VXQ_DPS_NPD_FLAG);
    EXPECT_EQ(tHead.usLength, 24);
    EXPECT_EQ(tHead.ucFuncId, VXQ_DPS_NPD_SEARCH_DEV_REQ);
    EXPECT_EQ(tHead.ucAnswer, 0);
    EXPECT_EQ(tHead.dwRequNo, 0x01020304u);
    EXPECT_EQ(tHead.dwResult, 2u);
    Bytes tOut(16, 0xEE);
    VXQ_F_DPS_NPD_HeadStore(&tHead, tOut.data());
    EXPECT_EQ(tOut, Bytes(tData.begin(), tData.begin() + 16));
    EXPECT_EQ(Bytes(tOut.begin(), tOut.begin() + 4), (Bytes{0xFF, 0x02, 0x8C, 0xAB}));
    EXPECT_EQ(VXQ_F_DPS_NPD_HeadLoad(tData.data(), 15, &tHead), 0);
    EXPECT_EQ(tHead.dwRequNo, 0u);
}

TEST(NpdLayout, EachHandledRequestNeedsItsHeadAndBodyAndOtherIdsAreIgnored)
{
    const struct {
        uint8_t ucFuncId;
        int32_t iMinLen;
    } tTable[] = {{0, -1},  {1, 16},  {2, 24},  {3, -1},  {4, -1},   {9, -1},
                  {10, 28}, {11, -1}, {12, 48}, {13, -1}, {200, -1}, {255, -1}};
    for (const auto &tRow : tTable)
        EXPECT_EQ(VXQ_F_DPS_NPD_RequestMinLen(tRow.ucFuncId), tRow.iMinLen) << (int)tRow.ucFuncId;
}

TEST(NpdLayout, LogLineNumbersRunFromZeroToNineHundredNinetyNineThousandNineHundredNinetyEight)
{
    const struct {
        uint32_t dwCounter, dwTaken, dwAfter;
    } tTable[] = {
        {0, 0, 1}, {999997, 999997, 999998}, {999998, 999998, 0}, {999999, 0, 1}, {0xFFFFFFFF, 0, 1}};
    for (const auto &tRow : tTable) {
        uint32_t dwCounter = tRow.dwCounter;
        EXPECT_EQ(VXQ_F_DPS_NPD_TakeLogLineNo(&dwCounter), tRow.dwTaken) << tRow.dwCounter;
        EXPECT_EQ(dwCounter, tRow.dwAfter) << tRow.dwCounter;
    }
}

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

TEST_F(NpdTest, EchoIsAnsweredOnceWithTheAnswerFlagAndAnEchoAnswerNever)
{
    Bytes tEcho = Datagram(VXQ_DPS_NPD_ECHO, 40, 42);
    for (size_t i = 16; i < tEcho.size(); i++)
        tEcho[i] = (uint8_t)i;
    ASSERT_EQ(Receive(tEcho), 1);
    Bytes tAnswer = Next();
    Bytes tExpected = tEcho;
    tExpected[7] = 1;
    EXPECT_EQ(tAnswer, tExpected);

    EXPECT_EQ(Receive(tAnswer), 0);
    Bytes tOdd = tEcho;
    tOdd[7] = 2; /* not a request either */
    EXPECT_EQ(Receive(tOdd), 0);
    ExpectNothingBeforeASearchAnswer();
}

TEST_F(NpdTest, DatagramsShorterThanHeadAndBodyOrOfOtherIdsAreIgnored)
{
    const struct {
        uint8_t ucFuncId;
        size_t nLen;
    } tTable[] = {{VXQ_DPS_NPD_ECHO, 15},
                  {VXQ_DPS_NPD_SEARCH_DEV_REQ, 23},
                  {VXQ_DPS_NPD_NM_SET_BROAD_TRACE_PARAM, 27},
                  {VXQ_DPS_NPD_NM_SET_DEBUG_PARAM, 47},
                  {0, 48},
                  {VXQ_DPS_NPD_SEARCH_DEV_RSP, 140},
                  {VXQ_DPS_NPD_BROAD_LOG, 48},
                  {13, 48},
                  {255, 48}};
    for (const auto &tRow : tTable) {
        Bytes tData = Datagram(tRow.ucFuncId, tRow.nLen, 5);
        if (tRow.nLen >= 20)
            TestPutLe32(tData, 16, kServerId);
        if (tRow.nLen >= 28)
            VXQ_F_TESTCLI_PutU16(tData, 20, 1);
        if (tRow.nLen >= 48)
            TestPutLe32(tData, 24, 1);
        EXPECT_EQ(Receive(tData), 0) << (int)tRow.ucFuncId << " / " << tRow.nLen;
    }
    EXPECT_EQ(Receive(Bytes()), 0);
    for (const auto &tEntry : m_pSrv->tTraceClient)
        EXPECT_EQ(tEntry.bUsed, 0);
    EXPECT_EQ(m_pSrv->bDebugLog, 0u);
    EXPECT_EQ(m_pSrv->tDebugParamTime, 0);
    ExpectNothingBeforeASearchAnswer();
}

TEST_F(NpdTest, SeventhTraceClientAndRemoveOfAnUnknownOneGetResultTwo)
{
    for (uint16_t i = 0; i < VXQ_DPS_TRACE_CLIENT_NUM; i++) {
        ASSERT_EQ(Receive(TraceParam(kServerId, 1, 6000 + i, 0x0100007F)), 1);
        Bytes tAnswer = Next();
        ASSERT_EQ(tAnswer.size(), (size_t)VXQ_DPS_NPD_TRACE_PARAM_LEN);
        EXPECT_EQ(tAnswer[7], 1);
        EXPECT_EQ(TestLe32(tAnswer, 8), 77u);
        EXPECT_EQ(TestLe32(tAnswer, 12), 0u) << "client " << i;
    }
    const struct {
        uint16_t usOp, usPort;
        uint32_t dwIp, dwResult;
    } tTable[] = {{1, 7000, 0x0100007F, 2}, {0, 7000, 0x0100007F, 2}, {0, 6001, 0x0200007F, 2},
                  {0, 6001, 0x0100007F, 0}, {0, 6001, 0x0100007F, 2}, {1, 7000, 0x0100007F, 0},
                  {1, 7000, 0x0100007F, 0}};
    for (const auto &tRow : tTable) {
        ASSERT_EQ(Receive(TraceParam(kServerId, tRow.usOp, tRow.usPort, tRow.dwIp)), 1);
        Bytes tAnswer = Next();
        ASSERT_EQ(tAnswer.size(), (size_t)VXQ_DPS_NPD_TRACE_PARAM_LEN);
        EXPECT_EQ(TestLe32(tAnswer, 12), tRow.dwResult) << tRow.usOp << " " << tRow.usPort;
    }
    EXPECT_EQ(m_pSrv->tTraceClient[1].usPort, 7000); /* the freed entry was taken again */
    EXPECT_EQ(Receive(TraceParam(kServerId + 1, 0, 6000, 0x0100007F)), 0); /* another server's */
    EXPECT_EQ(m_pSrv->tTraceClient[0].bUsed, 1);
    ExpectNothingBeforeASearchAnswer();
}

TEST_F(NpdTest, TraceClientThatStopsRefreshingGetsOneMoreLineAfterTwentySecondsAndThenNone)
{
    TestClock tClock;
    uint16_t usPortA = 0, usPortB = 0;
    int iA = Extra(&usPortA);
    int iB = Extra(&usPortB);
    ASSERT_GE(iA, 0);
    ASSERT_GE(iB, 0);
    ASSERT_EQ(Receive(TraceParam(kServerId, 1, usPortA, 0x0A0B0C0D)), 1);
    ASSERT_EQ(Receive(TraceParam(kServerId, 1, usPortB, 0x01020304)), 1);
    ASSERT_EQ(Next().size(), 28u);
    ASSERT_EQ(Next().size(), 28u);

    tClock.AdvanceSec(19);
    ASSERT_EQ(Receive(TraceParam(kServerId, 2, usPortB, 0x01020304)), 1); /* B refreshes */
    ASSERT_EQ(Next().size(), 28u);
    ASSERT_EQ(VXQ_F_DPS_MC_SendBroadLogToClient(m_pSrv, "at nineteen"), 1);
    EXPECT_EQ(std::string((const char *)&Next(iA)[28]), "at nineteen");
    EXPECT_EQ(std::string((const char *)&Next(iB)[28]), "at nineteen");
    EXPECT_EQ(m_pSrv->tTraceClient[0].bUsed, 1);

    tClock.AdvanceSec(1);
    ASSERT_EQ(VXQ_F_DPS_MC_SendBroadLogToClient(m_pSrv, "at twenty"), 1);
    Bytes tLast = Next(iA);
    ASSERT_GT(tLast.size(), 28u);
    EXPECT_EQ(std::string((const char *)&tLast[28]), "at twenty");
    EXPECT_EQ(TestLe32(tLast, 20), 0x0A0B0C0Du);
    EXPECT_EQ(std::string((const char *)&Next(iB)[28]), "at twenty");
    EXPECT_EQ(m_pSrv->tTraceClient[0].bUsed, 0);
    EXPECT_EQ(m_pSrv->tTraceClient[1].bUsed, 1);

    ASSERT_EQ(VXQ_F_DPS_MC_SendBroadLogToClient(m_pSrv, "after the drop"), 1);
    /* A's copy would have been sent before B's in the same engine pass. */
    EXPECT_EQ(std::string((const char *)&Next(iB)[28]), "after the drop");
    pollfd tPoll = {iA, POLLIN, 0};
    EXPECT_EQ(poll(&tPoll, 1, 50), 0);
}

TEST_F(NpdTest, LogDatagramLayoutAndItsLineNumberFromTheCounter)
{
    ASSERT_EQ(Receive(TraceParam(kServerId, 1, m_usClientPort, 0x11223344)), 1);
    ASSERT_EQ(Next().size(), 28u);
    m_pSrv->dwLogLineNo = 999998;
    const char *sLines[] = {"one", "two"};
    const uint32_t dwNumbers[] = {999998, 0};
    for (int i = 0; i < 2; i++) {
        ASSERT_EQ(VXQ_F_DPS_MC_SendBroadLogToClient(m_pSrv, sLines[i]), 1);
        Bytes tExpect = Datagram(VXQ_DPS_NPD_BROAD_LOG, 28 + strlen(sLines[i]) + 1, 0);
        TestPutLe32(tExpect, 20, 0x11223344u);
        TestPutLe32(tExpect, 24, dwNumbers[i]);
        memcpy(&tExpect[28], sLines[i], strlen(sLines[i]));
        EXPECT_EQ(Next(), tExpect);
    }
    EXPECT_EQ(m_pSrv->dwLogLineNo, 1u);
}

TEST_F(NpdTest, DebugDatagramWithTheRightServerIdChangesOnlyItsSwitches)
{
    m_pSrv->bDebugLog = m_pSrv->bSavedDebugLog = 0;
    m_pSrv->bDebugMediaLog = m_pSrv->bSavedDebugMediaLog = 0;
    m_pSrv->bShowRunState = m_pSrv->bSavedShowRunState = 1;
    Bytes tDebug = Datagram(VXQ_DPS_NPD_NM_SET_DEBUG_PARAM, VXQ_DPS_NPD_DEBUG_PARAM_LEN, 9);
    TestPutLe32(tDebug, 16, kServerId + 1);
    TestPutLe32(tDebug, 24, 1); /* set bDebugLog only */
    TestPutLe32(tDebug, 36, 1);
    TestPutLe32(tDebug, 40, 1);
    TestPutLe32(tDebug, 44, 0);
    EXPECT_EQ(Receive(tDebug), 0); /* another server's: nothing changes, no answer */
    EXPECT_EQ(m_pSrv->bDebugLog, 0u);
    EXPECT_EQ(m_pSrv->tDebugParamTime, 0);
    ExpectNothingBeforeASearchAnswer();

    TestPutLe32(tDebug, 16, kServerId);
    ASSERT_EQ(Receive(tDebug), 1);
    Bytes tAnswer = Next();
    ASSERT_EQ(tAnswer.size(), 48u);
    EXPECT_EQ(tAnswer[7], 1);
    EXPECT_EQ(TestLe32(tAnswer, 12), 0u);
    EXPECT_EQ(m_pSrv->bDebugLog, 1u);
    EXPECT_EQ(m_pSrv->bDebugMediaLog, 0u);
    EXPECT_EQ(m_pSrv->bShowRunState, 1u);
    EXPECT_NE(m_pSrv->tDebugParamTime, 0) << "the 10 s restore (CoreControlTest) starts now";
}

TEST_F(NpdTest, TimerBroadcastsQueuedLogRecordsOnlyWhileATraceClientIsRegisteredAndTheHostAllowsIt)
{
    TestClock tClock;
    ASSERT_EQ(VXQ_F_TOOLS_QUEUE_InitQueue(&m_pSrv->hRecvLogQueue, 10), 1);
    uint8_t ucRecord[VXQ_DPS_LOG_RECORD_LEN] = {};
    strcpy((char *)ucRecord + VXQ_DPS_LOG_RECORD_TEXT_OFFSET, "dropped record");
    ASSERT_EQ(VXQ_F_TOOLS_QUEUE_SetData(m_pSrv->hRecvLogQueue, ucRecord, sizeof(ucRecord), 0), 1);
    VXQ_F_DPS_MC_DoTimer(m_pSrv);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetCount(m_pSrv->hRecvLogQueue), 0);

    ASSERT_EQ(Receive(TraceParam(kServerId, 1, m_usClientPort, 0x7F000001)), 1);
    ASSERT_EQ(Next().size(), 28u);
    strcpy((char *)ucRecord + VXQ_DPS_LOG_RECORD_TEXT_OFFSET, "sent record");
    ASSERT_EQ(VXQ_F_TOOLS_QUEUE_SetData(m_pSrv->hRecvLogQueue, ucRecord, sizeof(ucRecord), 0), 1);
    tClock.AdvanceMs(100);
    VXQ_F_DPS_MC_DoTimer(m_pSrv);
    Bytes tLine = Next();
    ASSERT_GT(tLine.size(), 28u);
    EXPECT_EQ(std::string((const char *)&tLine[28]), "sent record");
    EXPECT_EQ(TestLe32(tLine, 24), 0u); /* the dropped record took no number */

    /* The host switches trace and debug datagrams off: neither is taken, the
     * trace clients are forgotten and queued records stay off the network;
     * searches are still answered. Switched on again, they are taken. */
    Bytes tDebug = Datagram(VXQ_DPS_NPD_NM_SET_DEBUG_PARAM, VXQ_DPS_NPD_DEBUG_PARAM_LEN, 9);
    TestPutLe32(tDebug, 16, kServerId);
    TestPutLe32(tDebug, 24, 1);
    TestPutLe32(tDebug, 36, 1);
    EXPECT_EQ(VXQ_F_DPS_SetTraceDebugEnable(nullptr, 0), 0);
    ASSERT_EQ(VXQ_F_DPS_SetTraceDebugEnable(m_pSrv, 0), 1);
    EXPECT_EQ(Receive(TraceParam(kServerId, 1, m_usClientPort, 0x7F000001)), 0);
    EXPECT_EQ(Receive(tDebug), 0);
    EXPECT_EQ(m_pSrv->bDebugLog, 0u);
    strcpy((char *)ucRecord + VXQ_DPS_LOG_RECORD_TEXT_OFFSET, "not for the network");
    ASSERT_EQ(VXQ_F_TOOLS_QUEUE_SetData(m_pSrv->hRecvLogQueue, ucRecord, sizeof(ucRecord), 0), 1);
    tClock.AdvanceMs(100);
    VXQ_F_DPS_MC_DoTimer(m_pSrv);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetCount(m_pSrv->hRecvLogQueue), 0);
    ExpectNothingBeforeASearchAnswer();
    for (const _VXQ_S_DPS_TRACE_CLIENT_DATA &tEntry : m_pSrv->tTraceClient)
        EXPECT_EQ(tEntry.bUsed, 0u);
    ASSERT_EQ(VXQ_F_DPS_SetTraceDebugEnable(m_pSrv, 1), 1);
    ASSERT_EQ(Receive(tDebug), 1);
    ASSERT_EQ(Next().size(), 48u);
    EXPECT_EQ(m_pSrv->bDebugLog, 1u);
}

namespace
{

/* Sends in_tRequ to the running service's management port every 200 ms until a
 * datagram with function id in_ucFuncId and the request's number arrives on
 * in_iFd (other instances of parallel tests may share the port). */
Bytes AskService(int in_iFd, const Bytes &in_tRequ, uint8_t in_ucFuncId, int in_iTimeoutMs = 5000)
{
    sockaddr_in tTo = {};
    tTo.sin_family = AF_INET;
    tTo.sin_port = htons(VXQ_DPS_UDP_PORT);
    tTo.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    Bytes tAnswer;
    auto fnArrived = [&] {
        pollfd tPoll = {in_iFd, POLLIN, 0};
        uint8_t ucBuf[65536];
        while (poll(&tPoll, 1, 0) == 1) {
            ssize_t n = recv(in_iFd, ucBuf, sizeof(ucBuf), 0);
            Bytes tData(ucBuf, ucBuf + (n > 0 ? n : 0));
            if (tData.size() >= 16 && tData[6] == in_ucFuncId &&
                TestLe32(tData, 8) == TestLe32(in_tRequ, 8)) {
                tAnswer = tData;
                return true;
            }
        }
        return false;
    };
    for (int iWaited = 0; iWaited < in_iTimeoutMs && tAnswer.empty(); iWaited += 200) {
        sendto(in_iFd, in_tRequ.data(), in_tRequ.size(), 0, (sockaddr *)&tTo, sizeof(tTo));
        WaitUntil(fnArrived, 200);
    }
    return tAnswer;
}

/* Waits for a log datagram whose text ends with in_sText; its number, or -1. */
int64_t WaitLogLine(int in_iFd, const std::string &in_sText, int in_iTimeoutMs = 5000)
{
    int64_t iLineNo = -1;
    WaitUntil(
        [&] {
            pollfd tPoll = {in_iFd, POLLIN, 0};
            uint8_t ucBuf[65536];
            while (poll(&tPoll, 1, 0) == 1) {
                ssize_t n = recv(in_iFd, ucBuf, sizeof(ucBuf), 0);
                Bytes tData(ucBuf, ucBuf + (n > 0 ? n : 0));
                if (tData.size() <= 28 || tData[6] != VXQ_DPS_NPD_BROAD_LOG || tData.back() != 0)
                    continue;
                std::string sText((const char *)&tData[28]);
                if (sText.size() >= in_sText.size() &&
                    sText.compare(sText.size() - in_sText.size(), in_sText.size(), in_sText) == 0) {
                    iLineNo = TestLe32(tData, 24);
                    return true;
                }
            }
            return false;
        },
        in_iTimeoutMs);
    return iLineNo;
}

} // namespace

TEST(NpdService, RunningServiceAnswersSearchesAndSendsItsLogLinesToARegisteredTraceClient)
{
    _VXQ_S_TESTHOST_DATA tHost;
    ASSERT_EQ(VXQ_F_TESTHOST_Start(&tHost), 1);
    uint16_t usPort = 0;
    int iFd = BroadcastReceiver(&usPort);
    ASSERT_GE(iFd, 0);
    Bytes tRequ = Datagram(VXQ_DPS_NPD_SEARCH_DEV_REQ, VXQ_DPS_NPD_SEARCH_REQ_LEN, 0x5EA4C401);
    TestPutLe32(tRequ, 16, 0x0BADF00D);
    Bytes tRsp = AskService(iFd, tRequ, VXQ_DPS_NPD_SEARCH_DEV_RSP);
    ASSERT_EQ(tRsp.size(), 140u);
    EXPECT_EQ(TestLe32(tRsp, 16), 0x0BADF00Du);

    tRequ = TraceParam(tHost.pSrv->dwServerId, 1, usPort, 0x0100007F);
    TestPutLe32(tRequ, 8, 0x7ACE0001);
    Bytes tAnswer = AskService(iFd, tRequ, VXQ_DPS_NPD_NM_SET_BROAD_TRACE_PARAM);
    ASSERT_EQ(tAnswer.size(), 28u);
    ASSERT_EQ(TestLe32(tAnswer, 12), 0u);
    VXQ_F_LOG_SR_WriteLog("trace client line one", 2);
    int64_t iFirst = WaitLogLine(iFd, "trace client line one");
    ASSERT_GE(iFirst, 0);
    VXQ_F_LOG_SR_WriteLog("trace client line two", 2);
    EXPECT_GT(WaitLogLine(iFd, "trace client line two"), iFirst);
    close(iFd);
    VXQ_F_TESTHOST_Stop(&tHost);
}
