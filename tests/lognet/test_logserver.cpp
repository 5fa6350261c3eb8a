/* The TCP log service: who gets which lines, the client limit, dropping dead clients. */
#include "lognet/logserver.h"

#include "support/loopback.h"
#include "support/test_clock.h"
#include "support/wait_until.h"
#include "vxq_log.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace
{
/* 1 when the socket has something to read (data or the peer's close). */
bool Readable(int in_iFd, int in_iTimeoutMs)
{
    pollfd tPoll = {in_iFd, POLLIN, 0};
    return poll(&tPoll, 1, in_iTimeoutMs) == 1;
}

/* Quiet log writer around each test, a listen state driven by hand on a port the system picks,
 * and the test's own sockets closed at the end. */
class LogServerTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        VXQ_F_LOG_SR_SetIfWriteLogToFile(0);
        VXQ_F_LOG_SR_SetIfShowLog(0);
        VXQ_F_LOG_SR_SetIfShowEnglishLogHead(1);
        VXQ_F_LOG_SR_InitListenData(&m_tState);
        ASSERT_EQ(VXQ_F_LOG_SR_StartLogListenServer(&m_tState), 1);
    }
    void TearDown() override
    {
        VXQ_F_LOG_SR_CloseAllTcpConnect(&m_tState);
        VXQ_F_LOG_SR_StopLogListenServer(&m_tState);
        VXQ_F_TOOLS_QUEUE_FreeQueue(&m_tState.hLineQueue);
        VXQ_F_TOOLS_QUEUE_FreeMemory(&m_tState.pSendBuf);
        VXQ_F_LOG_SR_StopLogService();
        for (int iFd : m_tFds)
            close(iFd);
        VXQ_F_LOG_SR_SetIfShowLog(1);
        VXQ_F_LOG_SR_SetIfWriteLogToFile(1);
    }
    /* A client connected and accepted by hand. */
    int Accepted()
    {
        m_tFds.push_back(LoopbackConnect(m_tState.usBoundPort));
        EXPECT_EQ(VXQ_F_LOG_SR_DoNetEvent(&m_tState, 0), 1);
        return m_tFds.back();
    }
    _VXQ_S_LOG_SR_LISTEN_DATA m_tState;
    std::vector<int> m_tFds;
};
} // namespace

TEST_F(LogServerTest, ServiceSendsOnlyLaterLinesDropsAClosedClientAndStopsAndStartsAgain)
{
    uint16_t usBusyPort = 0;
    m_tFds.push_back(LoopbackListen(&usBusyPort));
    EXPECT_EQ(VXQ_F_LOG_SR_StartLogService(usBusyPort), 0); /* port in use: nothing runs */
    EXPECT_EQ(VXQ_F_LOG_SR_GetLogServicePort(), 0);
    VXQ_F_LOG_SR_WriteLog("line with no service", 2);
    ASSERT_EQ(VXQ_F_LOG_SR_StartLogService(0), 1);
    uint16_t usPort = VXQ_F_LOG_SR_GetLogServicePort();
    ASSERT_NE(usPort, 0);
    VXQ_F_LOG_SR_WriteLog("line before the client", 2);
    int iFd = LoopbackConnect(usPort);
    m_tFds.push_back(iFd);
    ASSERT_TRUE(WaitUntil([] { return VXQ_F_LOG_SR_GetLogClientNum() == 1; }));
    VXQ_F_LOG_SR_WriteLog("first line for the client", 2);
    VXQ_F_LOG_SR_ShowInfo("second line for the client");
    /* "HH:MM:SS    [head]  text" and CR LF, as written. */
    for (std::string sTail :
         {"    [Log]  first line for the client\r\n", "    [Prompt]  second line for the client\r\n"}) {
        std::string sLine = ReadBytes(iFd, 8 + (int)sTail.size());
        EXPECT_EQ(sLine.substr(2, 1) + sLine.substr(8), ":" + sTail) << sLine;
    }
    int iGone = LoopbackConnect(usPort);
    ASSERT_TRUE(WaitUntil([] { return VXQ_F_LOG_SR_GetLogClientNum() == 2; }));
    close(iGone);
    VXQ_F_LOG_SR_WriteLog("line after a client left", 2);
    EXPECT_TRUE(WaitUntil([] { return VXQ_F_LOG_SR_GetLogClientNum() == 1; }));

    EXPECT_EQ(VXQ_F_LOG_SR_StopLogService(), 1);
    EXPECT_EQ(WaitPeerClosed(iFd, 2000), 1);
    EXPECT_EQ(VXQ_F_LOG_SR_GetLogServicePort() + VXQ_F_LOG_SR_GetLogClientNum(), 0);
    EXPECT_EQ(VXQ_F_LOG_SR_StopLogService(), 1); /* a second stop frees nothing twice */
    VXQ_F_LOG_SR_WriteLog("line while stopped", 2); /* nobody holds the freed queue */
    ASSERT_EQ(VXQ_F_LOG_SR_StartLogService(0), 1);
    EXPECT_NE(VXQ_F_LOG_SR_GetLogServicePort(), 0);
}

TEST_F(LogServerTest, LinesQueuedBeforeAnAcceptanceAreSkippedForThatClientOnly)
{
    EXPECT_EQ(VXQ_F_LOG_SR_DoSendEvent(NULL, 0), 0);
    EXPECT_EQ(VXQ_F_LOG_SR_DoSendEvent(&m_tState, 0), 0); /* no line queue yet */
    ASSERT_EQ(VXQ_F_TOOLS_QUEUE_InitQueue(&m_tState.hLineQueue, 10), 1);
    int iOld = Accepted();
    ASSERT_EQ(VXQ_F_TOOLS_QUEUE_SetData(m_tState.hLineQueue, "early\r\n", 7, 0), 1);
    int iNew = Accepted();
    ASSERT_EQ(VXQ_F_TOOLS_QUEUE_SetData(m_tState.hLineQueue, "late\r\n", 6, 0), 1);
    for (int iWant : {1, 1, 0}) /* then the queue is empty */
        EXPECT_EQ(VXQ_F_LOG_SR_DoSendEvent(&m_tState, 0), iWant);
    EXPECT_EQ(ReadBytes(iOld, 13), "early\r\nlate\r\n");
    EXPECT_EQ(ReadBytes(iNew, 6), "late\r\n");
}

TEST_F(LogServerTest, HundredAndFirstLogClientIsClosedRightAfterAcceptance)
{
    for (int i = 0; i < VXQ_LOG_SR_MAX_CLIENT_NUM; i++)
        ASSERT_GE(Accepted(), 0) << "client " << i;
    int iExtra = LoopbackConnect(m_tState.usBoundPort);
    m_tFds.push_back(iExtra);
    EXPECT_EQ(VXQ_F_LOG_SR_DoNetEvent(&m_tState, 0), 0);
    EXPECT_EQ(WaitPeerClosed(iExtra, 2000), 1);
    EXPECT_EQ(m_tState.iClientNum.load(), VXQ_LOG_SR_MAX_CLIENT_NUM);
    EXPECT_FALSE(Readable(m_tFds[0], 0)); /* the first client is still served */
}

TEST_F(LogServerTest, CheckDropsAClosedClientOnceFourSecondsPassedAndKeepsSilentAndTalkingOnes)
{
    TestClock tClock;
    m_tState.dwLastCheckTick = VXQ_F_CLOCK_TickMs(); /* the period starts on the test clock */
    int iClosed = Accepted();
    Accepted(); /* silent */
    ASSERT_EQ(write(Accepted(), "hello", 5), 5);
    close(iClosed);
    m_tFds.erase(m_tFds.begin());
    ASSERT_TRUE(Readable(m_tState.tClient[0].iSocket, 5000)); /* the close arrived */
    ASSERT_TRUE(Readable(m_tState.tClient[2].iSocket, 5000));
    tClock.AdvanceMs(VXQ_LOG_SR_CHECK_PERIOD_MS);
    EXPECT_EQ(VXQ_F_LOG_SR_CheckTcpConnect(&m_tState), 0);
    EXPECT_EQ(m_tState.iClientNum.load(), 3);
    tClock.AdvanceMs(1);
    EXPECT_EQ(VXQ_F_LOG_SR_CheckTcpConnect(&m_tState), 1);
    EXPECT_EQ(m_tState.iClientNum.load(), 2);
    EXPECT_EQ(m_tState.tClient[0].bUsed, 0);
}
