#include <gtest/gtest.h>

#include "support/fake_sockos.h"
#include "support/loopback.h"
#include "vxq_sockwrap.h"

#include <errno.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

/* A connected loopback pair closed at the end of the test. */
struct Pair {
    int iClient = -1;
    int iServer = -1;
    Pair() { EXPECT_EQ(LoopbackPair(&iClient, &iServer), 1); }
    ~Pair()
    {
        close(iClient);
        close(iServer);
    }
};

} // namespace

/* Recv's outcomes and their states; the failure text is cut to the caller's
 * buffer (size 1: empty; 8: one short; 9: whole) and never written past it. */
TEST(SockWrap, RecvMapsEachOutcomeToItsStateAndCutsTheFailureTextToTheCallersBuffer)
{
    Pair tPair;
    VXQ_F_SYS_SOCKET_SetBlockMode(tPair.iServer, 0);
    char sBuf[64], sText[80];
    int iLen = sizeof(sBuf), iState = 99;
    for (int iSize : {1, 8, 9}) {
        memset(sText, 'x', sizeof(sText));
        EXPECT_EQ(VXQ_F_SYS_SOCKET_Recv(tPair.iServer, sBuf, &iLen, &iState, sText, iSize), 0);
        EXPECT_EQ(iState, 1);
        EXPECT_EQ(std::string(sText), std::string("no data.").substr(0, (size_t)iSize - 1));
        EXPECT_EQ(sText[iSize], 'x') << "wrote past the buffer of size " << iSize;
    }
    memset(sText, 'x', sizeof(sText));
    EXPECT_EQ(VXQ_F_SYS_SOCKET_WaitRecv(tPair.iServer, sBuf, &iLen, &iState, sText, 0, 30), 0);
    EXPECT_EQ(iState, 2);
    EXPECT_EQ(sText[0], 'x') << "a zero size gets nothing";
    /* Refused without reading: a zero-size buffer must not look like a closed peer (state 0). */
    iLen = 0;
    EXPECT_EQ(VXQ_F_SYS_SOCKET_Recv(tPair.iServer, sBuf, &iLen, &iState, NULL, 0), 0);
    EXPECT_EQ(iState, -1);

    ASSERT_EQ(write(tPair.iClient, "hello", 5), 5);
    iLen = sizeof(sBuf);
    iState = 99;
    EXPECT_EQ(VXQ_F_SYS_SOCKET_WaitRecv(tPair.iServer, sBuf, &iLen, &iState, NULL, 0, 5000), 1);
    EXPECT_EQ(std::string(sBuf, (size_t)iLen), "hello");
    EXPECT_EQ(iState, 99); /* untouched on success */
    close(tPair.iClient);
    tPair.iClient = -1;
    EXPECT_EQ(VXQ_F_SYS_SOCKET_WaitRecv(tPair.iServer, sBuf, &iLen, &iState, NULL, 0, 5000), 0);
    EXPECT_EQ(iState, 0);
}

TEST(SockWrap, WaitSendCutsIntoPiecesOf1460AndGoesOnAfterWouldBlockOnlyWithATimeout)
{
    Pair tPair;
    FakeSockOs tFake;
    std::string sData = Pattern(4000);
    int iState = 5;
    char sText[80];
    tFake.Watch(tPair.iServer);
    EXPECT_EQ(VXQ_F_SYS_SOCKET_WaitSend(tPair.iServer, sData.data(), 4000, &iState, sText, sizeof(sText), 1000), 1);
    EXPECT_EQ(iState, 0);
    EXPECT_EQ(tFake.SendAsked(tPair.iServer), (std::vector<int>{1460, 1460, 1080}));
    EXPECT_EQ(ReadBytes(tPair.iClient, 4000), sData);
    EXPECT_EQ(VXQ_F_SYS_SOCKET_WaitSend(tPair.iServer, sData.data(), 10, NULL, NULL, 0, 0), 0);
    /* Without a time-out, a would-block ends the call with state -1. */
    tFake.FailSendAt(tPair.iServer, 2, EWOULDBLOCK);
    EXPECT_EQ(VXQ_F_SYS_SOCKET_WaitSend(tPair.iServer, sData.data(), 3000, &iState, sText, sizeof(sText), 0), 0);
    EXPECT_EQ(iState, -1);
    EXPECT_EQ(ReadBytes(tPair.iClient, 1460), sData.substr(0, 1460));
    /* With one, the failed piece is sent again and the whole arrives. */
    tFake.FailSendAt(tPair.iServer, 2, EWOULDBLOCK);
    EXPECT_EQ(VXQ_F_SYS_SOCKET_WaitSend(tPair.iServer, sData.data(), 3000, &iState, sText, sizeof(sText), 1000), 1);
    EXPECT_EQ(ReadBytes(tPair.iClient, 3000), sData.substr(0, 3000));
    /* A hard failure ends it at once with state -2. */
    tFake.FailSendAt(tPair.iServer, 1, EPIPE);
    EXPECT_EQ(VXQ_F_SYS_SOCKET_WaitSend(tPair.iServer, sData.data(), 3000, &iState, sText, sizeof(sText), 1000), 0);
    EXPECT_EQ(iState, -2);
}

TEST(SockWrap, SendExReportsEachOutcomeWithItsState)
{
    Pair tPair;
    FakeSockOs tFake;
    const char *sNull = "VXQ_F_SYS_SOCKET_SendEx in_pSendDataBuf or inout_pSendDataLen is NULL";
    const struct {
        const char *pData;
        int iLen, iBudget, iErrno; /* the fake's budget (-1: none) and a failing send's errno */
        int iResult, iLenAfter, iState;
        const char *sText; /* NULL: the system's text for iErrno */
    } tRows[] = {
        {"x", 0, -1, 0, 1, 0, 0, ""},
        {NULL, 4, -1, 0, 0, 4, -2, sNull},
        {"abcde", 5, 3, 0, 0, 3, -1, "VXQ_F_SYS_SOCKET_SendEx no send finish"},
        {"abcde", 5, 0, 0, 0, 0, -1, "VXQ_F_SYS_SOCKET_SendEx send fail, error: EWOULDBLOCK"},
        {"abcde", 5, -1, ECONNRESET, 0, 0, -2, NULL},
        {"abcde", 5, -1, 0, 1, 5, 0, "stale"}, /* untouched */
    };
    for (const auto &tRow : tRows) {
        tFake.LimitSendPerPass(tPair.iServer, tRow.iBudget);
        if (tRow.iErrno != 0)
            tFake.FailSendAt(tPair.iServer, 1, tRow.iErrno);
        char sText[80] = "stale";
        int iLen = tRow.iLen, iState = 7;
        EXPECT_EQ(VXQ_F_SYS_SOCKET_SendEx(tPair.iServer, tRow.pData, &iLen, &iState, sText, sizeof(sText)),
                  tRow.iResult) << tRow.sText;
        EXPECT_EQ(iLen, tRow.iLenAfter) << tRow.sText;
        EXPECT_EQ(iState, tRow.iState) << tRow.sText;
        EXPECT_STREQ(sText, tRow.sText != NULL ? tRow.sText : strerror(tRow.iErrno));
    }
    EXPECT_EQ(ReadBytes(tPair.iClient, 8), "abcabcde");
}

/* The keeping send leaves the rest at the front of the caller's buffer; the
 * counting send reports bytes taken, or -1 after a hard failure. */
TEST(SockWrap, KeepingSendKeepsTheUnsentRestAndCountingSendCountsIt)
{
    Pair tPair;
    FakeSockOs tFake;
    std::string sData = Pattern(5000, 1);
    std::vector<char> tBuf(sData.begin(), sData.end());
    int iLen = 5000, iState = 0;
    char sText[80];
    tFake.LimitSendPerPass(tPair.iServer, 3000);
    EXPECT_EQ(VXQ_F_SYS_SOCKET_SendSpecDataBuf(tPair.iServer, tBuf.data(), &iLen, &iState, sText, sizeof(sText)), 0);
    EXPECT_EQ(iLen, 2000);
    EXPECT_EQ(iState, -1);
    EXPECT_EQ(std::string(tBuf.data(), 2000), sData.substr(3000));
    EXPECT_EQ(tFake.SendAsked(tPair.iServer), (std::vector<int>{1460, 1460, 1460}));
    tFake.LimitSendPerPass(tPair.iServer, 3000);
    EXPECT_EQ(VXQ_F_SYS_SOCKET_SendSpecDataBuf(tPair.iServer, tBuf.data(), &iLen, &iState, sText, sizeof(sText)), 1);
    EXPECT_EQ(iLen, 0);
    EXPECT_EQ(iState, 0);
    EXPECT_EQ(ReadBytes(tPair.iClient, 5000), sData);
    EXPECT_EQ(VXQ_F_SYS_SOCKET_SendSpecDataBuf(tPair.iServer, tBuf.data(), &iLen, &iState, sText, sizeof(sText)), 1)
        << "nothing to send is done";

    tFake.LimitSendPerPass(tPair.iServer, -1);
    tFake.FailSendAt(tPair.iServer, 2, EPIPE);
    tBuf.assign(sData.begin(), sData.begin() + 4000);
    iLen = 4000;
    EXPECT_EQ(VXQ_F_SYS_SOCKET_SendSpecDataBuf(tPair.iServer, tBuf.data(), &iLen, &iState, NULL, 0), 0);
    EXPECT_EQ(iState, -2);
    EXPECT_EQ(std::string(tBuf.data(), (size_t)iLen), sData.substr(1460, 4000 - 1460));

    tFake.LimitSendPerPass(tPair.iServer, 3000);
    EXPECT_EQ(VXQ_F_SYS_SOCKET_TcpSendData_SendSpecDataBuf(tPair.iServer, sData.data(), 5000, NULL, 0), 3000);
    tFake.LimitSendPerPass(tPair.iServer, -1);
    tFake.FailSendAt(tPair.iServer, 2, EPIPE);
    EXPECT_EQ(VXQ_F_SYS_SOCKET_TcpSendData_SendSpecDataBuf(tPair.iServer, sData.data(), 5000, NULL, 0), -1);
}

/* The listen backlog holds a burst of 32 handshakes until they are accepted:
 * none is refused (and tried again 1 s later). */
TEST(SockWrap, ABurstOfConnectsWaitsInTheListenBacklog)
{
    int iListen = VXQ_F_SYS_SOCKET_Create(0);
    uint16_t usPort = 0;
    ASSERT_EQ(VXQ_F_SYS_SOCKET_Bind(iListen, "127.0.0.1", 0), 1);
    ASSERT_EQ(VXQ_F_SYS_SOCKET_Listen(iListen), 1);
    ASSERT_EQ(VXQ_F_SYS_SOCKET_GetSocketLocalAddr(iListen, NULL, &usPort), 1);
    std::vector<int> tBurst;
    for (int i = 0; i < 32; i++) {
        tBurst.push_back(VXQ_F_SYS_SOCKET_Create(0));
        VXQ_F_SYS_SOCKET_SetBlockMode(tBurst.back(), 0);
        EXPECT_EQ(VXQ_F_SYS_SOCKET_Connect(tBurst.back(), "127.0.0.1", usPort, 0), 1); /* 0: returns at once */
    }
    for (int iSock : tBurst) {
        EXPECT_EQ(VXQ_F_SYS_SOCKET_CheckConnectResult(iSock, 500), 0);
        VXQ_F_SYS_SOCKET_Close(iSock);
    }
    VXQ_F_SYS_SOCKET_Close(iListen);
}

TEST(SockWrap, DatagramSendsAreCutInto1460ByteDatagramsAndBadArgumentsAreRefused)
{
    uint16_t usRecvPort = 0;
    int iRecv = LoopbackUdp(&usRecvPort);
    int iSend = VXQ_F_SYS_SOCKET_Create(1);
    ASSERT_EQ(VXQ_F_SYS_SOCKET_Bind(iSend, "127.0.0.1", 0), 1);
    char sBuf[8192], sText[80];
    int iLen = sizeof(sBuf), iState = 9;
    EXPECT_EQ(VXQ_F_SYS_SOCKET_RecvFrom(iRecv, NULL, &iLen, NULL, NULL, sText, sizeof(sText)), 0);
    std::string sData = Pattern(4000, 5);
    std::vector<char> tBuf(sData.begin(), sData.end());
    int iRest = 4000;
    EXPECT_EQ(VXQ_F_SYS_SOCKET_SendUdpSpecDataBuf(iSend, "127.0.0.1", usRecvPort, tBuf.data(), &iRest, &iState, sText,
                                                  sizeof(sText)), 1);
    EXPECT_EQ(iRest, 0);
    EXPECT_EQ(VXQ_F_SYS_SOCKET_SendUdpSpecDataBuf(iSend, "127.0.0.1", usRecvPort, tBuf.data(), &iRest, &iState, sText,
                                                  sizeof(sText)), 1) << "nothing to send is done";
    EXPECT_EQ(VXQ_F_SYS_SOCKET_UdpSendData_SendSpecDataBuf(iSend, "127.0.0.1", usRecvPort, sData.data(), 2000, NULL, 0),
              2000);
    std::string sGot;
    std::vector<int> tSizes;
    for (int i = 0; i < 5; i++) {
        iLen = sizeof(sBuf);
        ASSERT_EQ(VXQ_F_SYS_SOCKET_RecvFrom_WaitRecv(iRecv, sBuf, &iLen, NULL, NULL, sText, sizeof(sText), 2000), 1);
        tSizes.push_back(iLen);
        sGot.append(sBuf, (size_t)iLen);
    }
    EXPECT_EQ(tSizes, (std::vector<int>{1460, 1460, 1080, 1460, 540}));
    EXPECT_EQ(sGot, sData + sData.substr(0, 2000));
    EXPECT_EQ(VXQ_F_SYS_SOCKET_SendTo(iSend, "x", 1, "bad", usRecvPort, &iState, NULL, 0), 0);
    EXPECT_EQ(iState, -2);
    close(iRecv);
    VXQ_F_SYS_SOCKET_Close(iSend);
}
