/* The log upload client: greeting, line stream, retry pauses, queue limit. */
#include "lognet/logupload.h"

#include "support/loopback.h"
#include "support/test_clock.h"
#include "vxq_log.h"
#include "vxq_syshelp.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace
{

/* A TCP port with no listener behind it, held bound so that nobody takes it meanwhile. */
int ClosedPort(uint16_t *out_pPort)
{
    int iFd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in tAddr = {};
    tAddr.sin_family = AF_INET;
    tAddr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t iLen = sizeof(tAddr);
    bind(iFd, (sockaddr *)&tAddr, sizeof(tAddr));
    getsockname(iFd, (sockaddr *)&tAddr, &iLen);
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
    EXPECT_EQ(ReadBytes(iPeer, 8 + (int)sTail.size()).substr(8), sTail);

    EXPECT_EQ(VXQ_F_LOG_SR_StopLogUpClient(), 1);
    EXPECT_EQ(WaitPeerClosed(iPeer, 2000), 1);
    EXPECT_EQ(VXQ_F_LOG_SR_StopLogUpClient(), 1);
    VXQ_F_LOG_SR_WriteLog("line with no upload client", 2);
    close(iPeer);
    close(iListen);
    VXQ_F_LOG_SR_SetIfShowLog(1);
    VXQ_F_LOG_SR_SetIfWriteLogToFile(1);
}

TEST(LogUpload, DownServerIsTriedAtOnceThenAfterFourSixEightAndThenTenSecondsAndLinesBeyond200AreLost)
{
    TestClock tClock;
    uint16_t usPort = 0;
    int iHold = ClosedPort(&usPort);
    VXQ_HLOGUPCLIENT hClient = VXQ_F_LOG_UPC_CreateClient("a", "b", "127.0.0.1", usPort);
    ASSERT_NE(hClient, nullptr);
    EXPECT_EQ(VXQ_F_LOG_UPC_ConnectServer(hClient), 0);
    EXPECT_EQ(hClient->dwLastAttemptTick, VXQ_F_SYS_GetTickCount());
    for (uint32_t dwPause : {4, 6, 8, 10, 10}) {
        uint32_t dwLast = hClient->dwLastAttemptTick;
        tClock.AdvanceMs(dwPause * 1000 - 1);
        EXPECT_EQ(VXQ_F_LOG_UPC_ConnectServer(hClient), 0);
        EXPECT_EQ(hClient->dwLastAttemptTick, dwLast) << "too early before the pause of " << dwPause << " s";
        tClock.AdvanceMs(1);
        EXPECT_EQ(VXQ_F_LOG_UPC_ConnectServer(hClient), 0);
        EXPECT_EQ(hClient->dwLastAttemptTick, dwLast + dwPause * 1000)
            << "no attempt after " << dwPause << " s";
    }
    EXPECT_LT(hClient->iSocket, 0);
    for (int i = 0; i < VXQ_LOG_UPC_QUEUE_SIZE; i++)
        ASSERT_EQ(VXQ_F_LOG_UPC_SendLogData(hClient, "line\r\n", 6), 1) << i;
    EXPECT_EQ(VXQ_F_LOG_UPC_SendLogData(hClient, "line\r\n", 6), 0);
    EXPECT_EQ(VXQ_F_LOG_UPC_SendLogData(hClient, NULL, 6), 0);
    VXQ_F_LOG_UPC_StopLogUpServer(hClient); /* frees the queued lines */
    VXQ_F_LOG_UPC_StopLogUpServer(NULL);
    EXPECT_EQ(VXQ_F_LOG_UPC_StartLogUpServer("a", "b", NULL, 9), nullptr);
    close(iHold);
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
