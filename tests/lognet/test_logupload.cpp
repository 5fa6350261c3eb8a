/* The log upload client: greeting, line stream, retry pauses, queue limit. */
#include "lognet/logupload.h"

#include "net/sockos.h"
#include "support/loopback.h"
#include "support/test_clock.h"
#include "vxq_log.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>

namespace
{

/* Counts the connect calls to one port, then lets the OS make them. */
std::atomic<int> s_iConnectCalls{0};
std::atomic<uint16_t> s_usCountedPort{0};

int CountingConnect(int in_iSocket, const struct sockaddr *in_pAddr, socklen_t in_iAddrLen)
{
    if (in_pAddr != NULL && in_pAddr->sa_family == AF_INET &&
        ntohs(((const sockaddr_in *)in_pAddr)->sin_port) == s_usCountedPort.load())
        s_iConnectCalls++;
    return VXQ_F_SOCKOS_Default()->fnConnect(in_iSocket, in_pAddr, in_iAddrLen);
}

class CountConnects
{
  public:
    explicit CountConnects(uint16_t in_usPort)
    {
        s_iConnectCalls = 0;
        s_usCountedPort = in_usPort;
        m_tTable = *VXQ_F_SOCKOS_Default();
        m_tTable.fnConnect = CountingConnect;
        VXQ_F_SOCKOS_Install(&m_tTable);
    }
    ~CountConnects()
    {
        VXQ_F_SOCKOS_Install(NULL);
    }
    int Calls() const
    {
        return s_iConnectCalls.load();
    }

  private:
    _VXQ_S_SOCKOS_TABLE m_tTable;
};

/* A TCP port with no listener behind it, held bound so that nobody takes it meanwhile. */
int ClosedPort(uint16_t *out_pPort)
{
    int iFd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in tAddr = {};
    tAddr.sin_family = AF_INET;
    tAddr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t iLen = sizeof(tAddr);
    if (iFd < 0 || bind(iFd, (sockaddr *)&tAddr, sizeof(tAddr)) != 0 ||
        getsockname(iFd, (sockaddr *)&tAddr, &iLen) != 0)
        return -1;
    *out_pPort = ntohs(tAddr.sin_port);
    return iFd;
}

/* Accepts one connection within in_iTimeoutMs, or -1. */
int AcceptWithin(int in_iListen, int in_iTimeoutMs)
{
    pollfd tPoll = {in_iListen, POLLIN, 0};
    if (poll(&tPoll, 1, in_iTimeoutMs) != 1)
        return -1;
    return accept(in_iListen, NULL, NULL);
}

std::string Field(const std::string &in_sText, size_t in_nSize)
{
    std::string sField = in_sText;
    sField.resize(in_nSize, '\0');
    return sField;
}

} // namespace

TEST(LogUpload, CollectionServerReceivesTheGreetingBeforeTheFirstLine)
{
    VXQ_F_LOG_SR_SetIfWriteLogToFile(0);
    VXQ_F_LOG_SR_SetIfShowLog(0);
    VXQ_F_LOG_SR_SetIfShowEnglishLogHead(1);
    uint16_t usPort = 0;
    int iListen = LoopbackListen(&usPort);
    ASSERT_GE(iListen, 0);
    const std::string sLong(40, 'x');
    ASSERT_EQ(VXQ_F_LOG_SR_StartLogUpClient("camera-17", sLong.c_str(), "127.0.0.1", usPort), 1);
    VXQ_F_LOG_SR_WriteLog("first uploaded line", 2);
    int iPeer = AcceptWithin(iListen, 5000);
    ASSERT_GE(iPeer, 0);

    std::string sGreeting = ReadBytes(iPeer, VXQ_LOG_UPC_GREETING_LEN);
    ASSERT_EQ(sGreeting.size(), (size_t)VXQ_LOG_UPC_GREETING_LEN);
    EXPECT_EQ(sGreeting.substr(0, 4), std::string("\xFF\xEF\x01\xFF", 4));
    EXPECT_EQ(sGreeting.substr(4, 32), Field("camera-17", 32));
    EXPECT_EQ(sGreeting.substr(36, 32), Field(std::string(31, 'x'), 32)); /* cut to 31 and zero-terminated */
    const std::string sTail = "    [Log]  first uploaded line\r\n";
    std::string sLine = ReadBytes(iPeer, 8 + (int)sTail.size());
    EXPECT_EQ(sLine.substr(sLine.size() < 8 ? 0 : 8), sTail);

    EXPECT_EQ(VXQ_F_LOG_SR_StopLogUpClient(), 1);
    EXPECT_EQ(WaitPeerClosed(iPeer, 2000), 1);
    EXPECT_EQ(VXQ_F_LOG_SR_StopLogUpClient(), 1);
    VXQ_F_LOG_SR_WriteLog("line with no upload client", 2);
    close(iPeer);
    close(iListen);
    VXQ_F_LOG_SR_SetIfShowLog(1);
    VXQ_F_LOG_SR_SetIfWriteLogToFile(1);
}

TEST(LogUpload, DownServerIsTriedAtOnceThenAfterFourSixEightAndThenTenSeconds)
{
    TestClock tClock;
    uint16_t usPort = 0;
    int iHold = ClosedPort(&usPort);
    ASSERT_GE(iHold, 0);
    CountConnects tCount(usPort);
    VXQ_HLOGUPCLIENT hClient = VXQ_F_LOG_UPC_CreateClient("a", "b", "127.0.0.1", usPort);
    ASSERT_NE(hClient, nullptr);

    EXPECT_EQ(VXQ_F_LOG_UPC_ConnectServer(hClient), 0);
    EXPECT_EQ(tCount.Calls(), 1);
    const uint32_t dwPauseSec[] = {4, 6, 8, 10, 10};
    int iExpected = 1;
    for (uint32_t dwPause : dwPauseSec) {
        tClock.AdvanceMs(dwPause * 1000 - 1);
        EXPECT_EQ(VXQ_F_LOG_UPC_ConnectServer(hClient), 0);
        EXPECT_EQ(tCount.Calls(), iExpected) << "too early before the pause of " << dwPause << " s";
        tClock.AdvanceMs(1);
        EXPECT_EQ(VXQ_F_LOG_UPC_ConnectServer(hClient), 0);
        EXPECT_EQ(tCount.Calls(), ++iExpected) << "no attempt after the pause of " << dwPause << " s";
    }
    EXPECT_LT(hClient->iSocket, 0);
    VXQ_F_LOG_UPC_StopLogUpServer(hClient);
    close(iHold);
}

TEST(LogUpload, LinesBeyondTheTwoHundredWaitingAreLost)
{
    VXQ_HLOGUPCLIENT hClient = VXQ_F_LOG_UPC_CreateClient(NULL, NULL, "127.0.0.1", 9);
    ASSERT_NE(hClient, nullptr);
    for (int i = 0; i < VXQ_LOG_UPC_QUEUE_SIZE; i++)
        ASSERT_EQ(VXQ_F_LOG_UPC_SendLogData(hClient, "line\r\n", 6), 1) << i;
    EXPECT_EQ(VXQ_F_LOG_UPC_SendLogData(hClient, "line\r\n", 6), 0);
    EXPECT_EQ(VXQ_F_LOG_UPC_SendLogData(hClient, NULL, 6), 0);
    VXQ_F_LOG_UPC_StopLogUpServer(hClient); /* frees the queued lines */
    VXQ_F_LOG_UPC_StopLogUpServer(NULL);
    EXPECT_EQ(VXQ_F_LOG_UPC_StartLogUpServer("a", "b", NULL, 9), nullptr);
}

TEST(LogUpload, ServerThatLeftLosesTheLineAndGetsAFreshGreetingAfterThePause)
{
    TestClock tClock;
    uint16_t usPort = 0;
    int iListen = LoopbackListen(&usPort);
    ASSERT_GE(iListen, 0);
    VXQ_HLOGUPCLIENT hClient = VXQ_F_LOG_UPC_CreateClient("t1", "t2", "127.0.0.1", usPort);
    ASSERT_NE(hClient, nullptr);
    ASSERT_EQ(VXQ_F_LOG_UPC_ConnectServer(hClient), 1);
    int iPeer = AcceptWithin(iListen, 5000);
    ASSERT_GE(iPeer, 0);
    EXPECT_EQ(ReadBytes(iPeer, VXQ_LOG_UPC_GREETING_LEN).size(), (size_t)VXQ_LOG_UPC_GREETING_LEN);
    close(iPeer);

    ASSERT_EQ(VXQ_F_LOG_UPC_SendLogData(hClient, "lost\r\n", 6), 1);
    /* The close has to arrive before the line goes: poll the client's socket for it. */
    pollfd tPoll = {hClient->iSocket, POLLIN, 0};
    ASSERT_EQ(poll(&tPoll, 1, 5000), 1);
    EXPECT_EQ(VXQ_F_LOG_UPC_DoLogQueueEvent(hClient, 0), 1);
    EXPECT_LT(hClient->iSocket, 0);
    EXPECT_EQ(VXQ_F_LOG_UPC_ConnectServer(hClient), 0); /* within the pause */
    tClock.AdvanceMs(4000);
    ASSERT_EQ(VXQ_F_LOG_UPC_ConnectServer(hClient), 1);
    iPeer = AcceptWithin(iListen, 5000);
    ASSERT_GE(iPeer, 0);
    std::string sGreeting = ReadBytes(iPeer, VXQ_LOG_UPC_GREETING_LEN);
    EXPECT_EQ(sGreeting.substr(4, 32), Field("t1", 32));
    ASSERT_EQ(VXQ_F_LOG_UPC_SendLogData(hClient, "kept\r\n", 6), 1);
    EXPECT_EQ(VXQ_F_LOG_UPC_DoLogQueueEvent(hClient, 0), 1);
    EXPECT_EQ(ReadBytes(iPeer, 6), "kept\r\n");
    VXQ_F_LOG_UPC_StopLogUpServer(hClient);
    close(iPeer);
    close(iListen);
}
