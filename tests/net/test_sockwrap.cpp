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

/* The sending helpers' piece loops: pieces of 1460 bytes; a would-block ends
 * the waiting send without a time-out (state -1) and is waited out with one;
 * the keeping send leaves its rest at the front of the caller's buffer; the
 * counting send counts what was taken; a hard failure ends each (-2, or -1). */
TEST(SockWrap, SendHelpersCutInto1460BytePiecesAndStopWhereTheSocketDoes)
{
    Pair tPair;
    FakeSockOs tFake;
    tFake.Watch(tPair.iServer);
    const std::string sData = Pattern(5000, 1);
    enum { WAIT, WAIT_NOW, KEEP, COUNT };
    const struct {
        int iHow, iLen, iBudget, iFailAt, iErrno; /* the fake's budget (-1: none); the Nth send fails */
        int iResult, iState, iRest, iArrives;     /* iRest: what the keeping send kept */
        std::vector<int> tAsked;                  /* the calls' lengths (empty: not checked) */
    } tRows[] = {
        {WAIT, 4000, -1, 0, 0, 1, 0, 0, 4000, {1460, 1460, 1080}},
        {WAIT_NOW, 3000, -1, 2, EWOULDBLOCK, 0, -1, 0, 1460, {}},
        {WAIT, 3000, -1, 2, EWOULDBLOCK, 1, 0, 0, 3000, {}},
        {WAIT, 3000, -1, 1, EPIPE, 0, -2, 0, 0, {}},
        {KEEP, 5000, 3000, 0, 0, 0, -1, 2000, 3000, {1460, 1460, 1460}},
        {KEEP, 4000, -1, 2, EPIPE, 0, -2, 2540, 1460, {}},
        {KEEP, 0, -1, 0, 0, 1, 0, 0, 0, {}},
        {COUNT, 5000, 3000, 0, 0, 3000, 0, 0, 3000, {}},
        {COUNT, 5000, -1, 2, EPIPE, -1, 0, 0, 1460, {}},
    };
    for (const auto &tRow : tRows) {
        SCOPED_TRACE("row " + std::to_string(&tRow - tRows));
        tFake.LimitSendPerPass(tPair.iServer, tRow.iBudget);
        if (tRow.iFailAt > 0)
            tFake.FailSendAt(tPair.iServer, tRow.iFailAt, tRow.iErrno);
        size_t nBefore = tFake.SendAsked(tPair.iServer).size();
        std::vector<char> tBuf(sData.begin(), sData.end());
        int iLen = tRow.iLen, iState = 0, iResult;
        if (tRow.iHow == KEEP)
            iResult = VXQ_F_SYS_SOCKET_SendSpecDataBuf(tPair.iServer, tBuf.data(), &iLen, &iState, NULL, 0);
        else if (tRow.iHow == COUNT)
            iResult = VXQ_F_SYS_SOCKET_TcpSendData_SendSpecDataBuf(tPair.iServer, tBuf.data(), iLen, NULL, 0);
        else
            iResult = VXQ_F_SYS_SOCKET_WaitSend(tPair.iServer, tBuf.data(), iLen, &iState, NULL, 0,
                                                tRow.iHow == WAIT ? 1000 : 0);
        EXPECT_EQ(iResult, tRow.iResult);
        EXPECT_EQ(iState, tRow.iState);
        EXPECT_EQ(iLen, tRow.iHow == KEEP ? tRow.iRest : tRow.iLen);
        EXPECT_EQ(std::string(tBuf.data(), (size_t)tRow.iRest), sData.substr(tRow.iLen - tRow.iRest, tRow.iRest));
        std::vector<int> tAsked = tFake.SendAsked(tPair.iServer);
        tAsked.erase(tAsked.begin(), tAsked.begin() + (long)nBefore);
        EXPECT_EQ(tRow.tAsked.empty() ? tRow.tAsked : tAsked, tRow.tAsked);
        EXPECT_EQ(ReadBytes(tPair.iClient, tRow.iArrives), sData.substr(0, tRow.iArrives));
    }
    EXPECT_EQ(VXQ_F_SYS_SOCKET_WaitSend(tPair.iServer, sData.data(), 10, NULL, NULL, 0, 0), 0);
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

/* A burst of connects far beyond a small backlog is set up at once, with nobody
 * accepting yet: a handshake dropped at a full backlog waits 1 s for its resend. */
TEST(SockWrap, ABurstOfConnectsWaitsInTheListenBacklog)
{
    int iListen = VXQ_F_SYS_SOCKET_Create(0);
    uint16_t usPort = 0;
    ASSERT_EQ(VXQ_F_SYS_SOCKET_Bind(iListen, "127.0.0.1", 0), 1);
    ASSERT_EQ(VXQ_F_SYS_SOCKET_Listen(iListen), 1);
    ASSERT_EQ(VXQ_F_SYS_SOCKET_GetSocketLocalAddr(iListen, NULL, &usPort), 1);
    std::vector<int> tBurst(16);
    for (int &iSock : tBurst) {
        iSock = VXQ_F_SYS_SOCKET_Create(0);
        VXQ_F_SYS_SOCKET_SetBlockMode(iSock, 0);
        EXPECT_EQ(VXQ_F_SYS_SOCKET_StartConnect(iSock, "127.0.0.1", usPort), 1);
    }
    for (int iSock : tBurst) {
        EXPECT_EQ(VXQ_F_SYS_SOCKET_CheckConnectResult(iSock, 500), 0);
        VXQ_F_SYS_SOCKET_Close(iSock);
    }
    VXQ_F_SYS_SOCKET_Close(iListen);
}
