#include <gtest/gtest.h>

#include "net_rig.h"
#include "support/fake_sockos.h"
#include "support/test_clock.h"
#include "support/wait_until.h"
#include "vxq_netcom.h"
#include "vxq_sockwrap.h"

#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>


TEST(SelEngine, ListenOnPortZeroGivesTheChosenPortAndSlotIdsAndTheConnectRecordHasTheExactHeadLayout)
{
    Engine tEngine;
    uint16_t usPort = 0, usPort2 = 0, usSame = 0;
    uint32_t dwPortId = tEngine.Listen(&usPort), dwIgnored = 0;
    ASSERT_NE(usPort, 0);
    EXPECT_EQ(dwPortId & 0xFFFFu, 0u);
    EXPECT_NE(dwPortId >> 16, 0u);
    /* A second listener takes slot 1; the same port again, or as UDP, is refused. */
    uint32_t dwPortId2 = tEngine.Listen(&usPort2);
    EXPECT_EQ(dwPortId2 & 0xFFFFu, 1u);
    usSame = usPort;
    EXPECT_EQ(VXQ_F_NETCOM_StartTcpListen(tEngine.hNetSrv, &usSame, &dwIgnored), 0);
    EXPECT_EQ(VXQ_F_NETCOM_StartUdpListen(tEngine.hNetSrv, &usSame, &dwIgnored), 0);
    EXPECT_EQ(VXQ_F_NETCOM_CloseTcpListen(tEngine.hNetSrv, usPort2), 1);
    EXPECT_EQ(VXQ_F_NETCOM_CloseTcpListen(tEngine.hNetSrv, usPort2), 0);
    EXPECT_LT(LoopbackConnect(usPort2), 0) << "the closed listener still accepts";

    /* Event 1 at 0, net type 0 at 4, local port at 6, id at 8, the peer's
     * address text in 40 bytes at 12, peer port at 52, zeros to 64. */
    int iClient = -1;
    uint32_t dwConn = tEngine.Accept(usPort, &iClient);
    EXPECT_EQ(dwConn & 0xFFFFu, 1u) << "the closed listener's slot";
    std::string sWant(64, '\0');
    int32_t iEvent = 1;
    uint16_t usPeer = 0;
    VXQ_F_SYS_SOCKET_GetSocketLocalAddr(iClient, NULL, &usPeer);
    memcpy(&sWant[0], &iEvent, 4);
    memcpy(&sWant[6], &usPort, 2);
    memcpy(&sWant[8], &dwConn, 4);
    sWant.replace(12, 9, "127.0.0.1");
    memcpy(&sWant[52], &usPeer, 2);
    EXPECT_EQ(tEngine.tSink.Of(VXQ_NETCOM_EVENT_CONNECT).at(0).sRaw, sWant);
    close(iClient);
}

TEST(SelEngine, ReacceptedConnectionReusesTheSlotWithANewIdAndEveryCallRefusesTheOldId)
{
    Engine tEngine;
    uint16_t usPort = 0;
    tEngine.Listen(&usPort);
    int iClient1 = -1;
    uint32_t dwOld = tEngine.Accept(usPort, &iClient1);
    ASSERT_EQ(dwOld & 0xFFFFu, 1u);
    EXPECT_EQ(VXQ_F_NETCOM_CloseTcpConnect(tEngine.hNetSrv, dwOld), 1);
    EXPECT_EQ(WaitPeerClosed(iClient1), 1);
    int iClient2 = -1;
    uint32_t dwNew = tEngine.Accept(usPort, &iClient2);
    EXPECT_EQ(dwNew & 0xFFFFu, 1u);
    EXPECT_NE(dwNew, dwOld);
    EXPECT_EQ(tEngine.tSink.Count(VXQ_NETCOM_EVENT_DISCONNECT), 0u) << "a close the caller asked for makes no record";

    VXQ_HNETSRV h = tEngine.hNetSrv;
    int32_t bOn = 0;
    const int32_t iGot[] = {VXQ_F_NETCOM_SendTcpDataEx(h, dwOld, "x", 1, 10, 0, 0, 0),
                            VXQ_F_NETCOM_SendUdpData(h, dwOld, "127.0.0.1", 9, "x", 1, 0, 0, 0),
                            VXQ_F_NETCOM_QuerySendQueueSize(h, dwOld),
                            VXQ_F_NETCOM_QuerySendQueueSizeEx(h, 0, dwOld),
                            VXQ_F_NETCOM_StatSendQueueDataTotalLen(h, -1, dwOld),
                            VXQ_F_NETCOM_ClearSendQueueData(h, dwOld),
                            VXQ_F_NETCOM_SetRecvDataState(h, dwOld, 0),
                            VXQ_F_NETCOM_GetRecvDataState(h, dwOld),
                            VXQ_F_NETCOM_SetBroadcastFlag(h, dwOld, 1),
                            VXQ_F_NETCOM_GetBroadcastFlag(h, dwOld, &bOn),
                            VXQ_F_NETCOM_CloseTcpConnect(h, dwOld),
                            VXQ_F_NETCOM_GetRecvDataState(h, (dwNew & 0xFFFF0000u) | 1024u)};
    for (size_t i = 0; i < sizeof(iGot) / sizeof(iGot[0]); i++)
        EXPECT_EQ(iGot[i], 0) << "call " << i << " (the last: a slot out of the table)";
    /* The old id did not touch the new connection. */
    EXPECT_EQ(VXQ_F_NETCOM_GetRecvDataState(h, dwNew), 1);
    ASSERT_EQ(VXQ_F_NETCOM_SendTcpData(h, dwNew, "still here", 10, 0, 0, 0), 1);
    EXPECT_TRUE(Pump(h, [&] { return VXQ_F_NETCOM_QuerySendQueueSize(h, dwNew) == 0; }));
    EXPECT_EQ(ReadBytes(iClient2, 10), "still here");
    close(iClient1);
    close(iClient2);
}

TEST(SelEngine, UdpDatagramOf100BytesYieldsA164ByteDataRecord)
{
    Engine tEngine;
    uint16_t usPort = 0, usClientPort = 0;
    uint32_t dwPortId = 0;
    ASSERT_EQ(VXQ_F_NETCOM_StartUdpListen(tEngine.hNetSrv, &usPort, &dwPortId), 1);
    int iClient = LoopbackUdp(&usClientPort);
    std::string sSent = Pattern(100, 1);
    ASSERT_EQ(VXQ_F_SYS_SOCKET_SendTo(iClient, sSent.data(), 100, "127.0.0.1", usPort, NULL, NULL, 0), 1);
    ASSERT_TRUE(Pump(tEngine.hNetSrv, [&] { return tEngine.tSink.Count(VXQ_NETCOM_EVENT_DATA) == 1; }));
    NetRecord tData = tEngine.tSink.Of(VXQ_NETCOM_EVENT_DATA)[0];
    EXPECT_EQ(tData.sRaw.size(), 164u);
    EXPECT_EQ(tData.tHead.usNetType, 1);
    EXPECT_EQ(tData.tHead.usLocalPort, usPort);
    EXPECT_EQ(tData.tHead.dwPortId, dwPortId);
    EXPECT_STREQ(tData.tHead.szPeerIpaddr, "127.0.0.1");
    EXPECT_EQ(tData.tHead.usPeerPort, usClientPort);
    EXPECT_EQ(tData.tHead.dwUserData, 0u);
    EXPECT_EQ(tData.tHead.iDataLen, 100);
    EXPECT_EQ(tData.sData, sSent);
    EXPECT_EQ(VXQ_F_NETCOM_CloseUdpListen(tEngine.hNetSrv, usPort), 1);
    EXPECT_EQ(VXQ_F_NETCOM_CloseUdpListen(tEngine.hNetSrv, usPort), 0);
    close(iClient);
}

/* Records carry a per-socket sequence; a peer that goes away yields a
 * disconnect at every pass until the upper layer closes the id. */
TEST(SelEngine, TcpDataCarriesItsSequenceAndPeerCloseRepeatsDisconnectUntilClosed)
{
    Connected tEngine;
    uint32_t dwPortId = tEngine.dwPortId;
    int &iClient = tEngine.iClient;
    ASSERT_EQ(write(iClient, "abc", 3), 3);
    ASSERT_TRUE(Pump(tEngine.hNetSrv, [&] { return tEngine.tSink.Count(VXQ_NETCOM_EVENT_DATA, dwPortId) == 1; }));
    ASSERT_EQ(write(iClient, "defg", 4), 4);
    ASSERT_TRUE(Pump(tEngine.hNetSrv, [&] { return tEngine.tSink.Count(VXQ_NETCOM_EVENT_DATA, dwPortId) == 2; }));
    std::vector<NetRecord> tData = tEngine.tSink.Of(VXQ_NETCOM_EVENT_DATA, dwPortId);
    EXPECT_EQ(tData[0].sData, "abc");
    EXPECT_EQ(tData[0].tHead.dwUserData, 0u);
    EXPECT_EQ(tData[0].tHead.usNetType, 0);
    EXPECT_EQ(tData[1].sData, "defg");
    EXPECT_EQ(tData[1].tHead.dwUserData, 1u);

    close(iClient);
    iClient = -1;
    ASSERT_TRUE(Pump(tEngine.hNetSrv,
                     [&] { return tEngine.tSink.Count(VXQ_NETCOM_EVENT_DISCONNECT, dwPortId) >= 3; }));
    std::string sWant = tEngine.tSink.Of(VXQ_NETCOM_EVENT_CONNECT)[0].sRaw; /* the same head, event 2 */
    const uint32_t dwEvent = VXQ_NETCOM_EVENT_DISCONNECT; /* host byte order */
    memcpy(&sWant[0], &dwEvent, 4);
    EXPECT_EQ(tEngine.tSink.Of(VXQ_NETCOM_EVENT_DISCONNECT, dwPortId)[0].sRaw, sWant);
    EXPECT_EQ(VXQ_F_NETCOM_CloseTcpConnect(tEngine.hNetSrv, dwPortId), 1);
    size_t nAfterClose = tEngine.tSink.Count(VXQ_NETCOM_EVENT_DISCONNECT);
    for (int i = 0; i < 5; i++)
        VXQ_F_NETCOM_DoNetEvent(tEngine.hNetSrv, 5);
    EXPECT_EQ(tEngine.tSink.Count(VXQ_NETCOM_EVENT_DISCONNECT), nAfterClose);
}

TEST(SelEngine, OutgoingConnectionYieldsConnectResultWithItsBlockThenDataAndARefusedOneOnlyDisconnect)
{
    Engine tEngine;
    uint16_t usPort = 0, usClosed = 0;
    int iListen = LoopbackListen(&usPort);
    close(LoopbackListen(&usClosed)); /* nobody listens there now */
    uint32_t dwPortId = 0, dwRefused = 0;
    ASSERT_EQ(VXQ_F_NETCOM_AddTcpConnect(tEngine.hNetSrv, "127.0.0.1", usPort, &dwPortId), 1);
    ASSERT_EQ(VXQ_F_NETCOM_AddTcpConnect(tEngine.hNetSrv, "127.0.0.1", usClosed, &dwRefused), 1);
    EXPECT_EQ(VXQ_F_NETCOM_AddTcpConnect(tEngine.hNetSrv, "not an address", usPort, &dwRefused), 0);
    EXPECT_EQ(VXQ_F_NETCOM_SendTcpData(tEngine.hNetSrv, dwPortId, "x", 1, 0, 0, 0), 0) << "not set up yet";
    ASSERT_TRUE(Pump(tEngine.hNetSrv, [&] {
        return tEngine.tSink.Count(VXQ_NETCOM_EVENT_CONNECT_RESULT) == 1 &&
               tEngine.tSink.Count(VXQ_NETCOM_EVENT_DISCONNECT, dwRefused) >= 2;
    }));
    EXPECT_EQ(tEngine.tSink.Count(VXQ_NETCOM_EVENT_CONNECT_RESULT, dwRefused), 0u);
    NetRecord tResult = tEngine.tSink.Of(VXQ_NETCOM_EVENT_CONNECT_RESULT)[0];
    EXPECT_EQ(tResult.sRaw.size(), 64u + 260u);
    EXPECT_EQ(tResult.tHead.dwPortId, dwPortId);
    EXPECT_EQ(tResult.tHead.iDataLen, 260);
    EXPECT_EQ(tResult.tHead.usPeerPort, usPort);
    std::string sBlock(260, '\0');
    sBlock.replace(4, 4, "\xB3\xC9\xB9\xA6");
    EXPECT_EQ(tResult.sData, sBlock);
    EXPECT_EQ(VXQ_F_NETCOM_CloseTcpConnect(tEngine.hNetSrv, dwRefused), 1);

    int iServer = accept(iListen, NULL, NULL);
    ASSERT_EQ(write(iServer, "hello", 5), 5);
    ASSERT_TRUE(Pump(tEngine.hNetSrv, [&] { return tEngine.tSink.Count(VXQ_NETCOM_EVENT_DATA, dwPortId) == 1; }));
    NetRecord tData = tEngine.tSink.Of(VXQ_NETCOM_EVENT_DATA, dwPortId)[0];
    EXPECT_EQ(tData.sData, "hello");
    EXPECT_EQ(tData.tHead.dwUserData, 0u);
    close(iServer);
    close(iListen);
}

TEST(SelEngine, OnePassAcceptsUpToEightWaitingConnections)
{
    Engine tEngine;
    uint16_t usPort = 0;
    tEngine.Listen(&usPort);
    std::vector<int> tClients;
    for (int i = 0; i < VXQ_NET_SELECT_ACCEPT_PER_PASS + 2; i++)
        tClients.push_back(LoopbackConnect(usPort));
    VXQ_F_NETCOM_DoNetEvent(tEngine.hNetSrv, 1000);
    EXPECT_EQ(tEngine.tSink.Count(VXQ_NETCOM_EVENT_CONNECT), (size_t)VXQ_NET_SELECT_ACCEPT_PER_PASS);
    VXQ_F_NETCOM_DoNetEvent(tEngine.hNetSrv, 1000);
    EXPECT_EQ(tEngine.tSink.Count(VXQ_NETCOM_EVENT_CONNECT), tClients.size()) << "the rest waited in the kernel";
    for (int iFd : tClients)
        close(iFd);
}

/* A connection the engine cannot keep (on a descriptor select cannot watch,
 * whose CONNECT the sink refuses, or beyond a full table) is closed at once and
 * keeps no slot; the engine goes on serving. A full table refuses listeners
 * too; stopping closes every slot. */
TEST(SelEngine, AConnectionTheEngineCannotKeepIsClosedAtOnceAndKeepsNoSlot)
{
    Engine tEngine;
    VXQ_HNETSRV h = tEngine.hNetSrv;
    uint16_t usPort = 0, usUdp = 0;
    uint32_t dwUdp = 0;
    tEngine.Listen(&usPort);
    EXPECT_EQ(VXQ_F_NET_SELECT_MC_AddSocketId(h, FD_SETSIZE, VXQ_NET_SELECT_TCP_CONNECT, 1, 0), nullptr);
    EXPECT_EQ(VXQ_F_NET_SELECT_MC_AddSocketId(h, -1, VXQ_NET_SELECT_TCP_CONNECT, 1, 0), nullptr);
    /* The full table: one idle descriptor in every other slot (the fake keeps the
     * engine's closes of it from closing it 1023 times). */
    FakeSockOs tFake;
    int iShared = socket(AF_INET, SOCK_DGRAM, 0);
    tFake.IgnoreClose(iShared);
    for (const char *sWay : {"high descriptor", "refused record", "full table"}) {
        SCOPED_TRACE(sWay);
        bool bFull = strcmp(sWay, "full table") == 0;
        tFake.AcceptHighFd(sWay[0] == 'h');
        tEngine.tSink.SetAccept(sWay[0] != 'r');
        for (int i = 1; bFull && i < VXQ_NET_SELECT_SOCKET_NUM; i++)
            ASSERT_NE(VXQ_F_NET_SELECT_MC_AddSocketId(h, iShared, VXQ_NET_SELECT_TCP_CONNECT, 0, 0), nullptr);
        int iRefused = LoopbackConnect(usPort);
        EXPECT_TRUE(Pump(h, [&] { return WaitPeerClosed(iRefused, 1) == 1; }));
        close(iRefused);
        EXPECT_EQ(tEngine.tSink.Count(VXQ_NETCOM_EVENT_CONNECT), 0u);
        tFake.AcceptHighFd(false);
        tEngine.tSink.SetAccept(1);
        if (bFull)
            break;
        int iClient = -1;
        uint32_t dwPortId = tEngine.Accept(usPort, &iClient);
        EXPECT_EQ(dwPortId & 0xFFFFu, 1u) << "the refused socket must not have kept a slot";
        EXPECT_EQ(VXQ_F_NETCOM_CloseTcpConnect(h, dwPortId), 1);
        close(iClient);
        tEngine.tSink.Clear();
    }
    EXPECT_EQ(VXQ_F_NETCOM_StartUdpListen(h, &usUdp, &dwUdp), 0);
    VXQ_F_NETCOM_CloseNetServer(h);
    tEngine.hNetSrv = NULL;
    EXPECT_EQ(tFake.IgnoredCloses(iShared), VXQ_NET_SELECT_SOCKET_NUM - 1);
    close(iShared);
}

TEST(SelEngine, ADroppedConnectionGetsItsQueueThenTheEndOfTheStreamAndANonReaderIsClosedAtTheBound)
{
    TestClock tClock;
    Engine tEngine;
    uint16_t usPort = 0;
    tEngine.Listen(&usPort);
    int iClient = -1;
    uint32_t dwPortId = tEngine.Accept(usPort, &iClient);
    std::string sQueued = "answer" + Pattern(200000);
    ASSERT_EQ(VXQ_F_NETCOM_SendTcpData(tEngine.hNetSrv, dwPortId, "answer", 6, 0, 0, 1), 1);
    ASSERT_EQ(VXQ_F_NETCOM_SendTcpData(tEngine.hNetSrv, dwPortId, sQueued.data() + 6, 200000, 0, 0, 1), 1);
    ASSERT_EQ(VXQ_F_NET_SELECT_CloseTcpConnectAfterSend(tEngine.hNetSrv, dwPortId, 2000), 1);
    /* The id is gone for every caller at once, and nothing more goes upward. */
    EXPECT_EQ(VXQ_F_NETCOM_SendTcpData(tEngine.hNetSrv, dwPortId, "late", 4, 0, 0, 0), 0);
    EXPECT_EQ(VXQ_F_NETCOM_CloseTcpConnect(tEngine.hNetSrv, dwPortId), 0);
    auto fnUpward = [&] {
        return tEngine.tSink.Count(VXQ_NETCOM_EVENT_DATA, dwPortId) +
               tEngine.tSink.Count(VXQ_NETCOM_EVENT_SEND_COMP_NOTIFY, dwPortId) +
               tEngine.tSink.Count(VXQ_NETCOM_EVENT_DISCONNECT, dwPortId);
    };
    EXPECT_EQ(fnUpward(), 0u);
    ASSERT_EQ(write(iClient, "ignored", 7), 7);
    std::string sGot;
    ASSERT_TRUE(Pump(tEngine.hNetSrv, [&] {
        char sBuf[65536];
        ssize_t nGot;
        while ((nGot = recv(iClient, sBuf, sizeof(sBuf), MSG_DONTWAIT)) > 0)
            sGot.append(sBuf, (size_t)nGot);
        return nGot == 0; /* the end of the stream, after the last queued byte */
    }));
    EXPECT_TRUE(sGot == sQueued) << sGot.size() << " of " << sQueued.size() << " bytes";
    _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *pWork = tEngine.hNetSrv->pSocketTable[dwPortId & 0xFFFFu];
    EXPECT_TRUE(pWork->bInUse) << "open until the peer closes too";
    close(iClient);
    ASSERT_TRUE(Pump(tEngine.hNetSrv, [&] { return !pWork->bInUse; }));
    EXPECT_EQ(fnUpward(), 0u) << "no data, notice or disconnect for a dropped id";

    /* A peer that never reads: closed when the bound has passed, not before. */
    dwPortId = tEngine.Accept(usPort, &iClient);
    std::string sMegabyte = Pattern(1 << 20);
    for (int i = 0; i < 8; i++)
        ASSERT_EQ(VXQ_F_NETCOM_SendTcpData(tEngine.hNetSrv, dwPortId, sMegabyte.data(), 1 << 20, 0, 0, 0), 1);
    ASSERT_EQ(VXQ_F_NET_SELECT_CloseTcpConnectAfterSend(tEngine.hNetSrv, dwPortId, 2000), 1);
    pWork = tEngine.hNetSrv->pSocketTable[dwPortId & 0xFFFFu];
    tClock.AdvanceMs(1999);
    for (int i = 0; i < 10; i++)
        VXQ_F_NETCOM_DoNetEvent(tEngine.hNetSrv, 1);
    EXPECT_TRUE(pWork->bInUse && pWork->tSendQueue.pHead != NULL) << "8 MB cannot have gone to a non-reader";
    tClock.AdvanceMs(1);
    VXQ_F_NETCOM_DoNetEvent(tEngine.hNetSrv, 1);
    EXPECT_FALSE(pWork->bInUse);
    EXPECT_EQ(WaitPeerClosed(iClient), 1);
    close(iClient);
    /* A bound of 0 or less: closed at the next pass, the clock standing still. */
    dwPortId = tEngine.Accept(usPort, &iClient);
    ASSERT_EQ(VXQ_F_NET_SELECT_CloseTcpConnectAfterSend(tEngine.hNetSrv, dwPortId, -5), 1);
    pWork = tEngine.hNetSrv->pSocketTable[dwPortId & 0xFFFFu];
    VXQ_F_NETCOM_DoNetEvent(tEngine.hNetSrv, 1);
    EXPECT_FALSE(pWork->bInUse);
    close(iClient);
}

namespace {

/* A sink that acts inside the pass, as the service's does: at the first CONNECT
 * after dwCloseOnConnect is set it closes that socket, queues a reply with a
 * notice on the new connection and tries a nested pass; at each completion
 * notice it looks at what is still queued on that socket. */
struct ActingSink {
    RecordSink tSink;
    VXQ_HNETSRV hNetSrv = NULL;
    uint32_t dwCloseOnConnect = 0;
    int iNestedPass = -1;
    int32_t iQueuedAtNotice = -1;
    static int Callback(void *in_pUser, const char *in_pRecord, int32_t in_iRecordLen)
    {
        ActingSink *p = (ActingSink *)in_pUser;
        NetRecord t = ParseRecord(in_pRecord, in_iRecordLen);
        RecordSink::Callback(&p->tSink, in_pRecord, in_iRecordLen);
        if (t.tHead.iEventType == VXQ_NETCOM_EVENT_CONNECT && p->dwCloseOnConnect != 0) {
            VXQ_F_NETCOM_CloseTcpConnect(p->hNetSrv, p->dwCloseOnConnect);
            p->dwCloseOnConnect = 0;
            VXQ_F_NETCOM_SendTcpData(p->hNetSrv, t.tHead.dwPortId, "hi", 2, 0, 7, 1);
            p->iNestedPass = VXQ_F_NETCOM_DoNetEvent(p->hNetSrv, 0);
        }
        if (t.tHead.iEventType == VXQ_NETCOM_EVENT_SEND_COMP_NOTIFY)
            p->iQueuedAtNotice = VXQ_F_NETCOM_QuerySendQueueSize(p->hNetSrv, t.tHead.dwPortId);
        return 1;
    }
};

} // namespace

TEST(SelEngine, ASinkThatClosesAndSendsInsideThePassLeavesTheOtherSocketsRecordsTrue)
{
    ActingSink tAct;
    tAct.hNetSrv = VXQ_F_NETCOM_StartNetServerByNoThread(ActingSink::Callback, &tAct);
    ASSERT_NE(tAct.hNetSrv, nullptr);
    uint16_t usPort = 0;
    ASSERT_EQ(VXQ_F_NETCOM_StartTcpListen(tAct.hNetSrv, &usPort, NULL), 1);
    int iX = LoopbackConnect(usPort);
    ASSERT_TRUE(Pump(tAct.hNetSrv, [&] { return tAct.tSink.Count(VXQ_NETCOM_EVENT_CONNECT) == 1; }));
    uint32_t dwX = tAct.tSink.Of(VXQ_NETCOM_EVENT_CONNECT)[0].tHead.dwPortId;
    int iFdX = VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByPortId(tAct.hNetSrv, dwX)->iSocket;
    /* X's descriptor is readable and exceptional (urgent data) in the next pass. */
    ASSERT_EQ(send(iX, "d", 1, 0), 1);
    ASSERT_EQ(send(iX, "u", 1, MSG_OOB), 1);
    ASSERT_TRUE(WaitUntil([&] {
        pollfd tPoll = {iFdX, POLLIN | POLLPRI, 0};
        return poll(&tPoll, 1, 0) == 1 && (tPoll.revents & (POLLIN | POLLPRI)) == (POLLIN | POLLPRI);
    }));
    /* Two connections wait: the first one's CONNECT closes X, and the second is
     * accepted in the same pass into X's descriptor (the lowest free one) and slot. */
    int iD = LoopbackConnect(usPort);
    int iE = LoopbackConnect(usPort);
    tAct.tSink.Clear();
    tAct.dwCloseOnConnect = dwX;
    VXQ_F_NETCOM_DoNetEvent(tAct.hNetSrv, 1000);
    std::vector<NetRecord> tConnects = tAct.tSink.Of(VXQ_NETCOM_EVENT_CONNECT);
    ASSERT_EQ(tConnects.size(), 2u);
    uint32_t dwD = tConnects[0].tHead.dwPortId, dwE = tConnects[1].tHead.dwPortId;
    _VXQ_S_NET_SELECT_SOCKET_WORK_DATA *pE = VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByPortId(tAct.hNetSrv, dwE);
    ASSERT_NE(pE, nullptr) << "the newcomer was judged by the closed socket's readiness";
    EXPECT_EQ(pE->iSocket, iFdX);
    EXPECT_EQ(dwE & 0xFFFFu, dwX & 0xFFFFu);
    EXPECT_EQ(tAct.tSink.All().size(), 2u) << "nothing about X, nothing but its CONNECT about E";
    EXPECT_EQ(tAct.iNestedPass, 0);
    /* The reply queued inside the pass: its notice comes once it left the queue. */
    ASSERT_TRUE(Pump(tAct.hNetSrv, [&] { return tAct.tSink.Count(VXQ_NETCOM_EVENT_SEND_COMP_NOTIFY, dwD) == 1; }));
    EXPECT_EQ(tAct.tSink.Of(VXQ_NETCOM_EVENT_SEND_COMP_NOTIFY, dwD)[0].tHead.dwUserData, 7u);
    EXPECT_EQ(tAct.iQueuedAtNotice, 0);
    EXPECT_EQ(tAct.tSink.Count(VXQ_NETCOM_EVENT_DISCONNECT), 0u);
    VXQ_F_NETCOM_CloseNetServer(tAct.hNetSrv);
    close(iX);
    close(iD);
    close(iE);
}
