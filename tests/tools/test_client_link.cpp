/*
 * test_client_link.cpp - the reference client's connection over real loopback
 * sockets: answers matched to their request with notices kept in order,
 * zero-wait reads, oversize messages skipped, heartbeats timed by the manual
 * clock. (The management datagrams: the usage document's search and trace
 * runs against the simulator.)
 */
#include <gtest/gtest.h>

#include "clilink.h"
#include "support/loopback.h"
#include "support/test_clock.h"
#include "support/wait_until.h"

#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

typedef std::vector<uint8_t> Bytes;

namespace
{

void SendAll(int in_iFd, const Bytes &in_tData)
{
    ASSERT_EQ(send(in_iFd, in_tData.data(), in_tData.size(), MSG_NOSIGNAL), (ssize_t)in_tData.size());
}

/* A client link connected to a listener of the test (m_iPeer: its side). */
class ClientLinkTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        VXQ_F_CLI_Init(&m_tLink);
        m_iListen = LoopbackListen(&m_usPort);
        ASSERT_GE(m_iListen, 0);
    }
    void Open()
    {
        ASSERT_EQ(VXQ_F_CLI_Connect(&m_tLink, "localhost", m_usPort), 1);
        m_iPeer = accept(m_iListen, nullptr, nullptr);
        ASSERT_GE(m_iPeer, 0);
    }
    void TearDown() override
    {
        VXQ_F_CLI_Close(&m_tLink);
        for (int iFd : {m_iPeer, m_iListen})
            if (iFd >= 0)
                close(iFd);
    }
    _VXQ_S_CLI_LINK m_tLink;
    uint16_t m_usPort = 0;
    int m_iListen = -1, m_iPeer = -1;
};

} // namespace

TEST_F(ClientLinkTest, CallReturnsItsAnswerAndKeepsNoticesInArrivalOrder)
{
    ASSERT_NO_FATAL_FAILURE(Open());

    /* Before the answer: an alarm notice, an answer of another request, then
     * the answer itself split over two sends. */
    Bytes tRequest = VXQ_F_CLI_BuildHeartbeat(VXQ_F_CLI_NextTransNo(&m_tLink));
    Bytes tNotice = VXQ_F_CLI_BuildMsg(0x0503, 0, 0, nullptr, 152);
    Bytes tOther = VXQ_F_CLI_BuildMsg(0x0001, 1, 99, nullptr, 0);
    Bytes tAnswer = tRequest;
    tAnswer[10] = 1;
    Bytes tAll = tNotice;
    tAll.insert(tAll.end(), tOther.begin(), tOther.end());
    tAll.insert(tAll.end(), tAnswer.begin(), tAnswer.begin() + 7);
    SendAll(m_iPeer, tAll);
    Bytes tGot;
    ASSERT_EQ(VXQ_F_CLI_SendMsg(&m_tLink, tRequest), 1);
    EXPECT_EQ(VXQ_F_CLI_ReadWire(&m_tLink, tGot, 200), 1); /* the notice, read directly */
    EXPECT_EQ(tGot, tNotice);
    SendAll(m_iPeer, Bytes(tAnswer.begin() + 7, tAnswer.end()));
    SendAll(m_iPeer, tNotice);
    Bytes tRequest2 = VXQ_F_CLI_BuildHeartbeat(VXQ_F_CLI_NextTransNo(&m_tLink));
    Bytes tAnswer2 = tRequest2;
    tAnswer2[10] = 1;
    SendAll(m_iPeer, tAnswer2);
    /* The first answer (trans no 1) is not the second call's answer: kept. */
    ASSERT_EQ(VXQ_F_CLI_Call(&m_tLink, tRequest2, tGot, 2000), 1);
    EXPECT_EQ(tGot, tAnswer2);
    ASSERT_EQ(m_tLink.tNotices.size(), 3u);
    const Bytes *pOrder[3] = {&tOther, &tAnswer, &tNotice};
    for (int i = 0; i < 3; i++) {
        ASSERT_EQ(VXQ_F_CLI_ReadMsg(&m_tLink, tGot, 0), 1);
        EXPECT_EQ(tGot, *pOrder[i]) << i;
    }
    /* Nothing more: a zero wait times out. */
    EXPECT_EQ(VXQ_F_CLI_ReadMsg(&m_tLink, tGot, 0), 0);
    EXPECT_EQ(m_tLink.iError, VXQ_CLI_ERR_TIMEOUT);

    close(m_iPeer);
    m_iPeer = -1;
    EXPECT_EQ(VXQ_F_CLI_ReadMsg(&m_tLink, tGot, 2000), 0);
    EXPECT_EQ(m_tLink.iError, VXQ_CLI_ERR_CLOSED);
}

TEST_F(ClientLinkTest, MessageOverTheSizeLimitIsSkippedWithoutBufferingAndTheLinkGoesOn)
{
    m_tLink.dwMaxMsgLen = 1000;
    ASSERT_NO_FATAL_FAILURE(Open());
    Bytes tAtLimit = VXQ_F_CLI_BuildMsg(0x0E01, 0, 1, nullptr, 980);
    Bytes tOver = VXQ_F_CLI_BuildMsg(0x0E01, 0, 2, nullptr, 200000);
    Bytes tAfter = VXQ_F_CLI_BuildMsg(0x0E02, 0, 3, nullptr, 8);
    Bytes tGot;
    SendAll(m_iPeer, tAtLimit);
    ASSERT_EQ(VXQ_F_CLI_ReadWire(&m_tLink, tGot, 2000), 1);
    EXPECT_EQ(tGot, tAtLimit);
    /* Half of the long message: refused at once, its bytes never held. */
    SendAll(m_iPeer, Bytes(tOver.begin(), tOver.begin() + 100000));
    EXPECT_EQ(VXQ_F_CLI_ReadWire(&m_tLink, tGot, 2000), 0);
    EXPECT_EQ(m_tLink.iError, VXQ_CLI_ERR_OVERSIZE);
    EXPECT_EQ(VXQ_F_CLI_ErrorText(&m_tLink), "message of 200020 bytes from the device is too long");
    SendAll(m_iPeer, Bytes(tOver.begin() + 100000, tOver.end()));
    SendAll(m_iPeer, tAfter);
    for (int i = 0; i < 100 && !VXQ_F_CLI_ReadWire(&m_tLink, tGot, 100); i++) {
        ASSERT_EQ(m_tLink.iError, VXQ_CLI_ERR_TIMEOUT);
        EXPECT_LT(m_tLink.tRecv.size(), 65537u);
    }
    EXPECT_EQ(tGot, tAfter);
}

TEST_F(ClientLinkTest, KeepAliveSendsAHeartbeatOnceEvery20SecondsOfTheClock)
{
    /* The tick counter wraps between the connect and the first heartbeat. */
    TestClock tClock(1700000000, 0xFFFFFFFFu - 9999u);
    ASSERT_NO_FATAL_FAILURE(Open());
    /* Milliseconds to advance before each call: due at 20000 after the connect
     * and 20000 after each heartbeat, never earlier. */
    const uint32_t dwSteps[] = {0, 19999, 1, 0, 19999, 1, 5000};
    for (uint32_t dwStep : dwSteps) {
        tClock.AdvanceMs(dwStep);
        ASSERT_EQ(VXQ_F_CLI_KeepAlive(&m_tLink), 1);
    }
    /* A marker after the calls: the peer sees exactly two heartbeats, then it. */
    ASSERT_EQ(VXQ_F_CLI_SendMsg(&m_tLink, VXQ_F_CLI_BuildMsg(0x0A01, 0, 0x77, nullptr, 0)), 1);
    const Bytes tWant = {0xEE, 0xEE, 0xFF, 0xFF, 20, 0, 0, 0, 0x01, 0x00, 0, 0, 1,    0, 0, 0, 0, 0, 0, 0,
                         0xEE, 0xEE, 0xFF, 0xFF, 20, 0, 0, 0, 0x01, 0x00, 0, 0, 2,    0, 0, 0, 0, 0, 0, 0,
                         0xEE, 0xEE, 0xFF, 0xFF, 20, 0, 0, 0, 0x01, 0x0A, 0, 0, 0x77, 0, 0, 0, 0, 0, 0, 0};
    std::string sWire = ReadBytes(m_iPeer, (int)tWant.size(), 2000);
    EXPECT_EQ(Bytes(sWire.begin(), sWire.end()), tWant);
}
