/*
 * test_client_link.cpp - the reference client's connection over real loopback
 * sockets: failures named by cause, answers matched to their request with
 * notices kept in order, zero-wait reads, heartbeats timed by the manual
 * clock, and the management datagrams.
 */
#include <gtest/gtest.h>

#include "clilink.h"
#include "clinpd.h"
#include "support/loopback.h"
#include "support/test_clock.h"

#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

typedef std::vector<uint8_t> Bytes;

namespace {

/* A port nobody listens on: bound once by the system, then closed. */
uint16_t ClosedPort()
{
    uint16_t usPort = 0;
    int iSock = LoopbackListen(&usPort);
    close(iSock);
    return usPort;
}

/* The peer's side: accept the client's connection. */
int Accept(int in_iListen)
{
    return accept(in_iListen, nullptr, nullptr);
}

void SendAll(int in_iFd, const Bytes &in_tData)
{
    ASSERT_EQ(send(in_iFd, in_tData.data(), in_tData.size(), MSG_NOSIGNAL), (ssize_t)in_tData.size());
}

} // namespace

TEST(ClientLink, ConnectFailuresNameTheirCause)
{
    _VXQ_S_CLI_LINK tLink;
    VXQ_F_CLI_Init(&tLink);
    EXPECT_EQ(VXQ_F_CLI_Connect(&tLink, "127.0.0.1", ClosedPort(), 2000), 0);
    EXPECT_EQ(tLink.iError, VXQ_CLI_ERR_REFUSED);
    EXPECT_EQ(VXQ_F_CLI_ErrorText(&tLink), "connection refused");
    EXPECT_EQ(VXQ_F_CLI_Connect(&tLink, "no-such-host.invalid", 7000, 2000), 0);
    EXPECT_EQ(tLink.iError, VXQ_CLI_ERR_RESOLVE);
    EXPECT_EQ(tLink.iSock, -1);
    VXQ_F_CLI_Close(&tLink);
}

TEST(ClientLink, CallReturnsItsAnswerAndKeepsNoticesInArrivalOrder)
{
    uint16_t usPort = 0;
    int iListen = LoopbackListen(&usPort);
    ASSERT_GE(iListen, 0);
    _VXQ_S_CLI_LINK tLink;
    VXQ_F_CLI_Init(&tLink);
    ASSERT_EQ(VXQ_F_CLI_Connect(&tLink, "localhost", usPort), 1);
    int iPeer = Accept(iListen);
    ASSERT_GE(iPeer, 0);

    /* Before the answer: an alarm notice, an answer of another request, then
     * the answer itself split over two sends. */
    Bytes tRequest = VXQ_F_CLI_BuildHeartbeat(VXQ_F_CLI_NextTransNo(&tLink));
    Bytes tNotice = VXQ_F_CLI_BuildMsg(0x0503, 0, 0, nullptr, 152);
    Bytes tOther = VXQ_F_CLI_BuildMsg(0x0001, 1, 99, nullptr, 0);
    Bytes tAnswer = tRequest;
    tAnswer[10] = 1;
    Bytes tAll = tNotice;
    tAll.insert(tAll.end(), tOther.begin(), tOther.end());
    tAll.insert(tAll.end(), tAnswer.begin(), tAnswer.begin() + 7);
    SendAll(iPeer, tAll);
    Bytes tGot;
    ASSERT_EQ(VXQ_F_CLI_SendMsg(&tLink, tRequest), 1);
    EXPECT_EQ(VXQ_F_CLI_ReadWire(&tLink, tGot, 200), 1); /* the notice, read directly */
    EXPECT_EQ(tGot, tNotice);
    SendAll(iPeer, Bytes(tAnswer.begin() + 7, tAnswer.end()));
    SendAll(iPeer, tNotice);
    Bytes tRequest2 = VXQ_F_CLI_BuildHeartbeat(VXQ_F_CLI_NextTransNo(&tLink));
    Bytes tAnswer2 = tRequest2;
    tAnswer2[10] = 1;
    SendAll(iPeer, tAnswer2);
    /* The first answer (trans no 1) is not the second call's answer: kept. */
    ASSERT_EQ(VXQ_F_CLI_Call(&tLink, tRequest2, tGot, 2000), 1);
    EXPECT_EQ(tGot, tAnswer2);
    ASSERT_EQ(tLink.tNotices.size(), 3u);
    const Bytes *pOrder[3] = {&tOther, &tAnswer, &tNotice};
    for (int i = 0; i < 3; i++) {
        ASSERT_EQ(VXQ_F_CLI_ReadMsg(&tLink, tGot, 0), 1);
        EXPECT_EQ(tGot, *pOrder[i]) << i;
    }
    /* Nothing more: a zero wait times out. */
    EXPECT_EQ(VXQ_F_CLI_ReadMsg(&tLink, tGot, 0), 0);
    EXPECT_EQ(tLink.iError, VXQ_CLI_ERR_TIMEOUT);

    /* Bytes already on the socket are taken by a zero wait. */
    SendAll(iPeer, tNotice);
    ASSERT_TRUE([&] {
        for (int i = 0; i < 500; i++) {
            if (VXQ_F_CLI_ReadMsg(&tLink, tGot, 0))
                return true;
            usleep(2000);
        }
        return false;
    }());
    EXPECT_EQ(tGot, tNotice);

    close(iPeer);
    EXPECT_EQ(VXQ_F_CLI_ReadMsg(&tLink, tGot, 2000), 0);
    EXPECT_EQ(tLink.iError, VXQ_CLI_ERR_CLOSED);
    EXPECT_EQ(VXQ_F_CLI_ErrorText(&tLink), "connection closed by the device");
    VXQ_F_CLI_Close(&tLink);
    close(iListen);
}

TEST(ClientLink, MessageOverTheSizeLimitIsSkippedWithoutBufferingAndTheLinkGoesOn)
{
    uint16_t usPort = 0;
    int iListen = LoopbackListen(&usPort);
    _VXQ_S_CLI_LINK tLink;
    VXQ_F_CLI_Init(&tLink);
    tLink.dwMaxMsgLen = 1000;
    ASSERT_EQ(VXQ_F_CLI_Connect(&tLink, "127.0.0.1", usPort), 1);
    int iPeer = Accept(iListen);
    ASSERT_GE(iPeer, 0);
    Bytes tAtLimit = VXQ_F_CLI_BuildMsg(0x0E01, 0, 1, nullptr, 980);
    Bytes tOver = VXQ_F_CLI_BuildMsg(0x0E01, 0, 2, nullptr, 200000);
    Bytes tAfter = VXQ_F_CLI_BuildMsg(0x0E02, 0, 3, nullptr, 8);
    Bytes tGot;
    SendAll(iPeer, tAtLimit);
    ASSERT_EQ(VXQ_F_CLI_ReadWire(&tLink, tGot, 2000), 1);
    EXPECT_EQ(tGot, tAtLimit);
    /* Half of the long message: refused at once, its bytes never held. */
    SendAll(iPeer, Bytes(tOver.begin(), tOver.begin() + 100000));
    EXPECT_EQ(VXQ_F_CLI_ReadWire(&tLink, tGot, 2000), 0);
    EXPECT_EQ(tLink.iError, VXQ_CLI_ERR_OVERSIZE);
    EXPECT_EQ(VXQ_F_CLI_ErrorText(&tLink), "message of 200020 bytes from the device is too long");
    SendAll(iPeer, Bytes(tOver.begin() + 100000, tOver.end()));
    SendAll(iPeer, tAfter);
    for (int i = 0; i < 100 && !VXQ_F_CLI_ReadWire(&tLink, tGot, 100); i++) {
        ASSERT_EQ(tLink.iError, VXQ_CLI_ERR_TIMEOUT);
        EXPECT_LT(tLink.tRecv.size(), 65537u);
    }
    EXPECT_EQ(tGot, tAfter);
    close(iPeer);
    close(iListen);
    VXQ_F_CLI_Close(&tLink);
}

TEST(ClientLink, KeepAliveSendsAHeartbeatOnceEvery20SecondsOfTheClock)
{
    /* The tick counter wraps between the connect and the first heartbeat. */
    TestClock tClock(1700000000, 0xFFFFFFFFu - 9999u);
    uint16_t usPort = 0;
    int iListen = LoopbackListen(&usPort);
    _VXQ_S_CLI_LINK tLink;
    VXQ_F_CLI_Init(&tLink);
    ASSERT_EQ(VXQ_F_CLI_Connect(&tLink, "127.0.0.1", usPort), 1);
    int iPeer = Accept(iListen);
    ASSERT_GE(iPeer, 0);
    /* Milliseconds to advance before each call: due at 20000 after the connect
     * and 20000 after each heartbeat, never earlier. */
    const uint32_t dwSteps[] = {0, 19999, 1, 0, 19999, 1, 5000};
    for (uint32_t dwStep : dwSteps) {
        tClock.AdvanceMs(dwStep);
        ASSERT_EQ(VXQ_F_CLI_KeepAlive(&tLink), 1);
    }
    /* A marker after the calls: the peer sees exactly two heartbeats, then it. */
    ASSERT_EQ(VXQ_F_CLI_SendMsg(&tLink, VXQ_F_CLI_BuildMsg(0x0A01, 0, 0x77, nullptr, 0)), 1);
    const Bytes tWant = {0xEE, 0xEE, 0xFF, 0xFF, 20, 0, 0, 0, 0x01, 0x00, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0,
                         0xEE, 0xEE, 0xFF, 0xFF, 20, 0, 0, 0, 0x01, 0x00, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0,
                         0xEE, 0xEE, 0xFF, 0xFF, 20, 0, 0, 0, 0x01, 0x0A, 0, 0, 0x77, 0, 0, 0, 0, 0, 0, 0};
    std::string sWire = ReadBytes(iPeer, (int)tWant.size(), 2000);
    EXPECT_EQ(Bytes(sWire.begin(), sWire.end()), tWant);
    close(iPeer);
    close(iListen);
    VXQ_F_CLI_Close(&tLink);
}

TEST(ClientNpd, DatagramsHaveTheirLayoutsAndShortOrMismatchedAnswersAreRefused)
{
    /* Decoding of well-formed answers shows in the client's search and trace
     * runs against the simulator; here the request layouts and the refusals. */
    EXPECT_EQ(VXQ_F_CLI_BuildSearch(0x01020304, 0xAABBCCDD),
              Bytes({0xFF, 0x02, 0x8C, 0xAB, 24, 0, 2, 0, 4, 3, 2, 1, 0, 0, 0, 0, 0xDD, 0xCC, 0xBB, 0xAA, 0, 0, 0, 0}));
    EXPECT_EQ(VXQ_F_CLI_BuildTraceParam(7, 0x11223344, 1, 0x1F40, 0x7F000001),
              Bytes({0xFF, 0x02, 0x8C, 0xAB, 28,   0,    10, 0, 7,    0,    0, 0, 0, 0,
                     0,    0,    0x44, 0x33, 0x22, 0x11, 1,  0, 0x40, 0x1F, 1, 0, 0, 0x7F}));
    Bytes tAnswer(140, 0);
    const uint8_t ucHead[8] = {0xFF, 0x02, 0x8C, 0xAB, 140, 0, 3, 1};
    memcpy(tAnswer.data(), ucHead, 8);
    _VXQ_S_CLI_FOUND_DEV tDev;
    ASSERT_EQ(VXQ_F_CLI_ParseSearchAnswer(tAnswer.data(), tAnswer.size(), &tDev), 1);
    EXPECT_EQ(VXQ_F_CLI_ParseSearchAnswer(tAnswer.data(), 139, &tDev), 0);
    tAnswer[7] = 0; /* a request, not an answer */
    EXPECT_EQ(VXQ_F_CLI_ParseSearchAnswer(tAnswer.data(), tAnswer.size(), &tDev), 0);

    Bytes tTrace = VXQ_F_CLI_BuildTraceParam(7, 1, 1, 2, 3);
    tTrace[7] = 1;
    VXQ_F_CLI_PutU32(&tTrace[12], 2);
    uint32_t dwResult = 0;
    ASSERT_EQ(VXQ_F_CLI_ParseTraceAnswer(tTrace.data(), tTrace.size(), 7, &dwResult), 1);
    EXPECT_EQ(dwResult, 2u);
    EXPECT_EQ(VXQ_F_CLI_ParseTraceAnswer(tTrace.data(), tTrace.size(), 8, &dwResult), 0);

    Bytes tLine(28 + 4, 0);
    const uint8_t ucLineHead[8] = {0xFF, 0x02, 0x8C, 0xAB, (uint8_t)tLine.size(), 0, 11, 0};
    memcpy(tLine.data(), ucLineHead, 8);
    memcpy(&tLine[28], "abc", 4);
    uint32_t dwLineNo = 0, dwAddr = 0;
    std::string sGot;
    ASSERT_EQ(VXQ_F_CLI_ParseLogLine(tLine.data(), tLine.size(), &dwLineNo, &dwAddr, &sGot), 1);
    EXPECT_EQ(VXQ_F_CLI_ParseLogLine(tLine.data(), tLine.size() - 1, &dwLineNo, &dwAddr, &sGot), 0);
}
