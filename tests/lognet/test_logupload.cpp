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
/* Accepts one connection within in_iTimeoutMs, or -1. */
int AcceptWithin(int in_iListen, int in_iTimeoutMs)
{
    pollfd tPoll = {in_iListen, POLLIN, 0};
    return poll(&tPoll, 1, in_iTimeoutMs) == 1 ? accept(in_iListen, NULL, NULL) : -1;
}

/* Magic, then each text in a 32-byte field, cut to 31 characters and zero-terminated. */
std::string Greeting(const std::string &in_sText1, const std::string &in_sText2)
{
    std::string sGreeting = std::string("\xFF\xEF\x01\xFF", 4) + in_sText1.substr(0, 31);
    sGreeting.resize(36, '\0');
    sGreeting += in_sText2.substr(0, 31);
    sGreeting.resize(VXQ_LOG_UPC_GREETING_LEN, '\0');
    return sGreeting;
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
    EXPECT_EQ(ReadBytes(iPeer, VXQ_LOG_UPC_GREETING_LEN), Greeting("camera-17", sLong));
    const std::string sTail = "    [Log]  first uploaded line\r\n";
    EXPECT_EQ(ReadBytes(iPeer, 8 + (int)sTail.size()).substr(8), sTail);
    EXPECT_EQ(VXQ_F_LOG_SR_StopLogUpClient(), 1);
    EXPECT_EQ(WaitPeerClosed(iPeer, 2000), 1);
    EXPECT_EQ(VXQ_F_LOG_SR_StopLogUpClient(), 1); /* a second stop frees nothing twice */
    VXQ_F_LOG_SR_WriteLog("line with no upload client", 2);
    close(iPeer);
    close(iListen);
    VXQ_F_LOG_SR_SetIfShowLog(1);
    VXQ_F_LOG_SR_SetIfWriteLogToFile(1);
}

TEST(LogUpload, AServerThatLeftIsTriedAgainAfterFourSixEightAndThenTenSecondsAndLinesBeyond200AreLost)
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
    /* The server is gone too now (its port stays bound): each pause is kept to the millisecond. */
    ASSERT_EQ(shutdown(iListen, SHUT_RD), 0);
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
    for (int i = 0; i < VXQ_LOG_UPC_QUEUE_SIZE; i++)
        ASSERT_EQ(VXQ_F_LOG_UPC_SendLogData(hClient, "line\r\n", 6), 1) << i;
    EXPECT_EQ(VXQ_F_LOG_UPC_SendLogData(hClient, "line\r\n", 6), 0);
    VXQ_F_LOG_UPC_StopLogUpServer(hClient); /* frees the queued lines */
    close(iListen);
}
