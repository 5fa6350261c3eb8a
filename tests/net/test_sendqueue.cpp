#include <gtest/gtest.h>

#include "net/selengine.h"
#include "support/fake_sockos.h"
#include "support/loopback.h"
#include "support/record_sink.h"
#include "vxq_netcom.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace {

/* An engine without a thread, a listener and one accepted connection whose
 * engine-side descriptor the fake can script. */
struct Connected {
    RecordSink tSink;
    VXQ_HNETSRV hNetSrv = NULL;
    int iClient = -1;
    uint32_t dwPortId = 0;
    int iEngineFd = -1;
    Connected()
    {
        hNetSrv = VXQ_F_NETCOM_StartNetServerByNoThread(RecordSink::Callback, &tSink);
        uint16_t usPort = 0;
        EXPECT_EQ(VXQ_F_NETCOM_StartTcpListen(hNetSrv, &usPort, NULL), 1);
        iClient = LoopbackConnect(usPort);
        EXPECT_TRUE(Pump(hNetSrv, [&] { return tSink.Count(VXQ_NETCOM_EVENT_CONNECT) == 1; }));
        dwPortId = tSink.Of(VXQ_NETCOM_EVENT_CONNECT)[0].tHead.dwPortId;
        iEngineFd = VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByPortId(hNetSrv, dwPortId)->iSocket;
    }
    ~Connected()
    {
        VXQ_F_NETCOM_CloseNetServer(hNetSrv);
        close(iClient);
    }
    /* Exactly one engine pass. */
    void Pass() { VXQ_F_NETCOM_DoNetEvent(hNetSrv, 200); }
};

} // namespace

TEST(SendQueue, FiveThousandByteItemOnASocketTaking3000APassFinishesOnTheSecondPassWithItsNotice)
{
    Connected tConn;
    FakeSockOs tFake;
    tFake.LimitSendPerPass(tConn.iEngineFd, 3000);
    std::string sItem = Pattern(5000, 9);
    ASSERT_EQ(VXQ_F_NETCOM_SendTcpData(tConn.hNetSrv, tConn.dwPortId, sItem.data(), 5000, 0, 77, 1), 1);
    EXPECT_EQ(tFake.SendTaken(tConn.iEngineFd).size(), 0u) << "nothing is written at queue time";

    tConn.Pass();
    EXPECT_EQ(VXQ_F_NETCOM_StatSendQueueDataTotalLen(tConn.hNetSrv, -1, tConn.dwPortId), 2000);
    EXPECT_EQ(VXQ_F_NETCOM_QuerySendQueueSize(tConn.hNetSrv, tConn.dwPortId), 1);
    EXPECT_EQ(tConn.tSink.Count(VXQ_NETCOM_EVENT_SEND_COMP_NOTIFY), 0u);

    tConn.Pass();
    EXPECT_EQ(VXQ_F_NETCOM_QuerySendQueueSize(tConn.hNetSrv, tConn.dwPortId), 0);
    std::vector<NetRecord> tNotes = tConn.tSink.Of(VXQ_NETCOM_EVENT_SEND_COMP_NOTIFY);
    ASSERT_EQ(tNotes.size(), 1u);
    EXPECT_EQ(tNotes[0].tHead.dwUserData, 77u);
    EXPECT_EQ(tNotes[0].tHead.dwPortId, tConn.dwPortId);
    EXPECT_EQ(tNotes[0].tHead.usNetType, 0);
    EXPECT_EQ(tNotes[0].sRaw.size(), 64u);
    /* One send call per pass for the whole rest of the item, not 1460-byte pieces. */
    EXPECT_EQ(tFake.SendTaken(tConn.iEngineFd), (std::vector<int>{3000, 2000}));
    EXPECT_EQ(tFake.SendAsked(tConn.iEngineFd), (std::vector<int>{5000, 2000}));
    EXPECT_EQ(ReadBytes(tConn.iClient, 5000), sItem);

    /* Without the notify flag there is no notice; an empty queue stops the write watch. */
    ASSERT_EQ(VXQ_F_NETCOM_SendTcpData(tConn.hNetSrv, tConn.dwPortId, "q", 1, 0, 78, 0), 1);
    tConn.Pass();
    tConn.Pass();
    EXPECT_EQ(tConn.tSink.Count(VXQ_NETCOM_EVENT_SEND_COMP_NOTIFY), 1u);
    EXPECT_EQ(VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByPortId(tConn.hNetSrv, tConn.dwPortId)->bSendFlag, 0);
}

TEST(SendQueue, ClearingAQueueWhoseHeadIsHalfSentKeepsExactlyThatHead)
{
    Connected tConn;
    FakeSockOs tFake;
    tFake.LimitSendPerPass(tConn.iEngineFd, 3000);
    std::string sHead = Pattern(5000, 1);
    ASSERT_EQ(VXQ_F_NETCOM_SendTcpDataEx(tConn.hNetSrv, tConn.dwPortId, sHead.data(), 5000, 10, 0, 1, 1), 1);
    ASSERT_EQ(VXQ_F_NETCOM_SendTcpDataEx(tConn.hNetSrv, tConn.dwPortId, "BBBB", 4, 10, 0, 2, 1), 1);
    ASSERT_EQ(VXQ_F_NETCOM_SendTcpDataEx(tConn.hNetSrv, tConn.dwPortId, "CCCC", 4, 0, 0, 3, 1), 1);
    tConn.Pass();
    ASSERT_EQ(VXQ_F_NETCOM_StatSendQueueDataTotalLen(tConn.hNetSrv, -1, tConn.dwPortId), 2008);

    EXPECT_EQ(VXQ_F_NETCOM_ClearSendQueueData(tConn.hNetSrv, tConn.dwPortId), 1);
    EXPECT_EQ(VXQ_F_NETCOM_QuerySendQueueSize(tConn.hNetSrv, tConn.dwPortId), 1);
    EXPECT_EQ(VXQ_F_NETCOM_StatSendQueueDataTotalLen(tConn.hNetSrv, -1, tConn.dwPortId), 2000);
    /* Items queued after the clear follow the kept head. */
    ASSERT_EQ(VXQ_F_NETCOM_SendTcpData(tConn.hNetSrv, tConn.dwPortId, "END", 3, 0, 4, 1), 1);
    EXPECT_TRUE(Pump(tConn.hNetSrv, [&] { return VXQ_F_NETCOM_QuerySendQueueSize(tConn.hNetSrv, tConn.dwPortId) == 0; }));
    EXPECT_EQ(ReadBytes(tConn.iClient, 5003), sHead + "END");
    std::vector<NetRecord> tNotes = tConn.tSink.Of(VXQ_NETCOM_EVENT_SEND_COMP_NOTIFY);
    ASSERT_EQ(tNotes.size(), 2u);
    EXPECT_EQ(tNotes[0].tHead.dwUserData, 1u);
    EXPECT_EQ(tNotes[1].tHead.dwUserData, 4u);

    /* A head not yet begun is dropped with the rest. */
    ASSERT_EQ(VXQ_F_NETCOM_SendTcpData(tConn.hNetSrv, tConn.dwPortId, "x", 1, 0, 0, 0), 1);
    ASSERT_EQ(VXQ_F_NETCOM_SendTcpData(tConn.hNetSrv, tConn.dwPortId, "y", 1, 0, 0, 0), 1);
    EXPECT_EQ(VXQ_F_NETCOM_ClearSendQueueData(tConn.hNetSrv, tConn.dwPortId), 1);
    EXPECT_EQ(VXQ_F_NETCOM_QuerySendQueueSize(tConn.hNetSrv, tConn.dwPortId), 0);
    ASSERT_EQ(VXQ_F_NETCOM_SendTcpData(tConn.hNetSrv, tConn.dwPortId, "z", 1, 0, 0, 0), 1);
    EXPECT_TRUE(Pump(tConn.hNetSrv, [&] { return VXQ_F_NETCOM_QuerySendQueueSize(tConn.hNetSrv, tConn.dwPortId) == 0; }));
    EXPECT_EQ(ReadBytes(tConn.iClient, 1), "z");
}

TEST(SendQueue, WouldBlockKeepsTheRestAndAHardFailureYieldsDisconnectUntilClosed)
{
    Connected tConn;
    FakeSockOs tFake;
    tFake.FailSendAt(tConn.iEngineFd, 1, EWOULDBLOCK);
    std::string sItem = Pattern(3000, 4);
    ASSERT_EQ(VXQ_F_NETCOM_SendTcpData(tConn.hNetSrv, tConn.dwPortId, sItem.data(), 3000, 0, 5, 1), 1);
    tConn.Pass();
    EXPECT_EQ(VXQ_F_NETCOM_StatSendQueueDataTotalLen(tConn.hNetSrv, -1, tConn.dwPortId), 3000);
    EXPECT_EQ(tConn.tSink.Count(VXQ_NETCOM_EVENT_DISCONNECT), 0u);
    EXPECT_EQ(tConn.tSink.Count(VXQ_NETCOM_EVENT_SEND_COMP_NOTIFY), 0u);
    tConn.Pass();
    EXPECT_EQ(VXQ_F_NETCOM_QuerySendQueueSize(tConn.hNetSrv, tConn.dwPortId), 0);
    EXPECT_EQ(tConn.tSink.Count(VXQ_NETCOM_EVENT_SEND_COMP_NOTIFY), 1u);
    EXPECT_EQ(ReadBytes(tConn.iClient, 3000), sItem);

    tFake.FailSendAt(tConn.iEngineFd, 1, EPIPE, true);
    ASSERT_EQ(VXQ_F_NETCOM_SendTcpData(tConn.hNetSrv, tConn.dwPortId, "lost", 4, 0, 6, 1), 1);
    tConn.Pass();
    std::vector<NetRecord> tGone = tConn.tSink.Of(VXQ_NETCOM_EVENT_DISCONNECT, tConn.dwPortId);
    ASSERT_EQ(tGone.size(), 1u);
    EXPECT_EQ(tGone[0].tHead.usNetType, 0);
    EXPECT_EQ(VXQ_F_NETCOM_QuerySendQueueSize(tConn.hNetSrv, tConn.dwPortId), 1) << "the item stays until closed";
    size_t nSendsBefore = tFake.SendAsked(tConn.iEngineFd).size();
    tConn.Pass();
    EXPECT_EQ(tConn.tSink.Count(VXQ_NETCOM_EVENT_DISCONNECT, tConn.dwPortId), 2u);
    EXPECT_EQ(tFake.SendAsked(tConn.iEngineFd).size(), nSendsBefore) << "a failed socket is not written again";
    EXPECT_EQ(tConn.tSink.Count(VXQ_NETCOM_EVENT_SEND_COMP_NOTIFY), 1u);
    EXPECT_EQ(VXQ_F_NETCOM_CloseTcpConnect(tConn.hNetSrv, tConn.dwPortId), 1);
    EXPECT_EQ(WaitPeerClosed(tConn.iClient), 1);
}

TEST(SendQueue, CountsAndLengthsAreKeptPerDataType)
{
    Connected tConn;
    VXQ_HNETSRV h = tConn.hNetSrv;
    uint32_t id = tConn.dwPortId;
    std::string s100(100, 'a'), s200(200, 'b'), s300(300, 'c');
    ASSERT_EQ(VXQ_F_NETCOM_SendTcpDataEx(h, id, s100.data(), 100, 10, 0, 0, 0), 1);
    ASSERT_EQ(VXQ_F_NETCOM_SendTcpDataEx(h, id, s200.data(), 200, 10, 0, 0, 0), 1);
    ASSERT_EQ(VXQ_F_NETCOM_SendTcpData(h, id, s300.data(), 300, 0, 0, 0), 1);
    struct {
        int32_t iType;
        int32_t iItems;
        int32_t iBytes;
    } tCases[] = {{10, 2, 300}, {0, 1, 300}, {11, 0, 0}, {-1, 0, 600}};
    for (const auto &tCase : tCases) {
        EXPECT_EQ(VXQ_F_NETCOM_QuerySendQueueSizeEx(h, tCase.iType, id), tCase.iItems) << tCase.iType;
        EXPECT_EQ(VXQ_F_NETCOM_StatSendQueueDataTotalLen(h, tCase.iType, id), tCase.iBytes) << tCase.iType;
    }
    EXPECT_EQ(VXQ_F_NETCOM_QuerySendQueueSize(h, id), 3);
    /* Empty or missing data is refused and nothing is queued. */
    EXPECT_EQ(VXQ_F_NETCOM_SendTcpData(h, id, "x", 0, 0, 0, 0), 0);
    EXPECT_EQ(VXQ_F_NETCOM_SendTcpData(h, id, "x", -5, 0, 0, 0), 0);
    EXPECT_EQ(VXQ_F_NETCOM_SendTcpData(h, id, NULL, 5, 0, 0, 0), 0);
    EXPECT_EQ(VXQ_F_NETCOM_QuerySendQueueSize(h, id), 3);
    /* The engine writes them in order. */
    EXPECT_TRUE(Pump(h, [&] { return VXQ_F_NETCOM_QuerySendQueueSize(h, id) == 0; }));
    EXPECT_EQ(ReadBytes(tConn.iClient, 600), s100 + s200 + s300);
}

TEST(SendQueue, UdpItemsGoToTheirDestinationAsDatagramsWithAUdpNotice)
{
    RecordSink tSink;
    VXQ_HNETSRV h = VXQ_F_NETCOM_StartNetServerByNoThread(RecordSink::Callback, &tSink);
    uint16_t usPort = 0;
    uint32_t dwUdp = 0;
    ASSERT_EQ(VXQ_F_NETCOM_StartUdpListen(h, &usPort, &dwUdp), 1);
    uint16_t usPeer = 0;
    int iPeer = LoopbackUdp(&usPeer);
    std::string sItem = Pattern(2000, 3);
    ASSERT_EQ(VXQ_F_NETCOM_SendUdpData(h, dwUdp, "127.0.0.1", usPeer, sItem.data(), 2000, 0, 41, 1), 1);
    ASSERT_EQ(VXQ_F_NETCOM_SendUdpData(h, dwUdp, "127.0.0.1", usPeer, "second", 6, 0, 42, 1), 1);
    ASSERT_EQ(VXQ_F_NETCOM_SendUdpData(h, dwUdp, "127.0.0.1", usPeer, "third", 5, 0, 43, 0), 1);
    EXPECT_TRUE(Pump(h, [&] { return VXQ_F_NETCOM_QuerySendQueueSize(h, dwUdp) == 0; }));
    std::vector<NetRecord> tNotes = tSink.Of(VXQ_NETCOM_EVENT_SEND_COMP_NOTIFY);
    ASSERT_EQ(tNotes.size(), 2u);
    EXPECT_EQ(tNotes[0].tHead.usNetType, 1);
    EXPECT_EQ(tNotes[0].tHead.dwUserData, 41u);
    EXPECT_STREQ(tNotes[0].tHead.szPeerIpaddr, "127.0.0.1");
    EXPECT_EQ(tNotes[0].tHead.usPeerPort, usPeer);
    EXPECT_EQ(tNotes[0].tHead.usLocalPort, usPort);
    EXPECT_EQ(tNotes[1].tHead.dwUserData, 42u);
    char sBuf[4096];
    std::vector<std::string> tGot;
    for (int i = 0; i < 4; i++) {
        ssize_t n = recv(iPeer, sBuf, sizeof(sBuf), 0);
        ASSERT_GT(n, 0);
        tGot.push_back(std::string(sBuf, (size_t)n));
    }
    EXPECT_EQ(tGot[0], sItem.substr(0, 1460));
    EXPECT_EQ(tGot[1], sItem.substr(1460));
    EXPECT_EQ(tGot[2], "second");
    EXPECT_EQ(tGot[3], "third");

    EXPECT_EQ(VXQ_F_NETCOM_SendUdpData(h, dwUdp, "", usPeer, "x", 1, 0, 0, 0), 0);
    EXPECT_EQ(VXQ_F_NETCOM_SendUdpData(h, dwUdp, NULL, usPeer, "x", 1, 0, 0, 0), 0);
    EXPECT_EQ(VXQ_F_NETCOM_SendUdpData(h, dwUdp, "127.0.0.1", 0, "x", 1, 0, 0, 0), 0);
    EXPECT_EQ(VXQ_F_NETCOM_SendTcpData(h, dwUdp, "x", 1, 0, 0, 0), 0) << "a UDP listener takes no TCP sends";
    uint16_t usTcp = 0;
    uint32_t dwTcp = 0;
    ASSERT_EQ(VXQ_F_NETCOM_StartTcpListen(h, &usTcp, &dwTcp), 1);
    EXPECT_EQ(VXQ_F_NETCOM_SendUdpData(h, dwTcp, "127.0.0.1", usPeer, "x", 1, 0, 0, 0), 0);
    EXPECT_EQ(VXQ_F_NETCOM_SendTcpData(h, dwTcp, "x", 1, 0, 0, 0), 0) << "a listener takes no sends";
    close(iPeer);
    VXQ_F_NETCOM_CloseNetServer(h);
}

TEST(SendQueue, StoppingTheEngineFreesQueuedItemsOfEverySocket)
{
    Connected tConn;
    std::string sBig = Pattern(100000, 2);
    for (int i = 0; i < 20; i++)
        ASSERT_EQ(VXQ_F_NETCOM_SendTcpData(tConn.hNetSrv, tConn.dwPortId, sBig.data(), 100000, 0, 0, 0), 1);
    EXPECT_EQ(VXQ_F_NETCOM_StatSendQueueDataTotalLen(tConn.hNetSrv, -1, tConn.dwPortId), 2000000);
    /* The sanitizer build reports anything left behind by the close in the destructor. */
}

TEST(SendQueue, APassWritesUpToEightWholeItemsAndStopsAtOneTheSocketTakesOnlyPartly)
{
    Connected tConn;
    FakeSockOs tFake;
    std::string sAll;
    for (int i = 0; i < 10; i++) {
        std::string sItem = Pattern(100, i);
        sAll += sItem;
        ASSERT_EQ(VXQ_F_NETCOM_SendTcpData(tConn.hNetSrv, tConn.dwPortId, sItem.data(), 100, 0, 100 + i, 1), 1);
    }
    tConn.Pass();
    EXPECT_EQ(tConn.tSink.Count(VXQ_NETCOM_EVENT_SEND_COMP_NOTIFY), 8u);
    EXPECT_EQ(VXQ_F_NETCOM_QuerySendQueueSize(tConn.hNetSrv, tConn.dwPortId), 2);
    tConn.Pass();
    std::vector<NetRecord> tNotes = tConn.tSink.Of(VXQ_NETCOM_EVENT_SEND_COMP_NOTIFY);
    ASSERT_EQ(tNotes.size(), 10u);
    for (size_t i = 0; i < tNotes.size(); i++)
        EXPECT_EQ(tNotes[i].tHead.dwUserData, 100u + i) << "notices in queue order";
    EXPECT_EQ(VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByPortId(tConn.hNetSrv, tConn.dwPortId)->bSendFlag, 0);
    EXPECT_EQ(ReadBytes(tConn.iClient, 1000), sAll);

    /* A budget of 250 bytes a pass: two whole items, half of the third, then the pass stops. */
    tFake.LimitSendPerPass(tConn.iEngineFd, 250);
    for (int i = 0; i < 4; i++)
        ASSERT_EQ(VXQ_F_NETCOM_SendTcpData(tConn.hNetSrv, tConn.dwPortId, sAll.data(), 100, 0, 200 + i, 1), 1);
    tConn.Pass();
    EXPECT_EQ(tConn.tSink.Count(VXQ_NETCOM_EVENT_SEND_COMP_NOTIFY), 12u);
    EXPECT_EQ(VXQ_F_NETCOM_StatSendQueueDataTotalLen(tConn.hNetSrv, -1, tConn.dwPortId), 150);
    EXPECT_EQ(tFake.SendTaken(tConn.iEngineFd), (std::vector<int>{100, 100, 50}));
    tConn.Pass();
    EXPECT_EQ(tConn.tSink.Count(VXQ_NETCOM_EVENT_SEND_COMP_NOTIFY), 14u);
    EXPECT_EQ(VXQ_F_NETCOM_QuerySendQueueSize(tConn.hNetSrv, tConn.dwPortId), 0);
}

namespace {

/* A shared payload's release callback: counts the references given back. */
void CountRelease(void *in_pRef)
{
    (*(int *)in_pRef)++;
}

} // namespace

TEST(SendQueue, GatheredItemsCarryTheirHeadAndTheSharedPayloadByteForByteWhereverAPassStops)
{
    /* Pass budgets that stop inside a head, on its last byte, right after it,
     * inside a payload and across two items; 0 = no limit. */
    const std::string sPayload = Pattern(100, 40);
    for (int iBudget : {1, 10, 31, 32, 33, 50, 131, 0}) {
        SCOPED_TRACE("budget " + std::to_string(iBudget));
        Connected tConn;
        FakeSockOs tFake;
        if (iBudget > 0)
            tFake.LimitSendPerPass(tConn.iEngineFd, iBudget);
        else
            tFake.Watch(tConn.iEngineFd);
        int iReleased = 0;
        std::string sExpect;
        for (int i = 0; i < 3; i++) {
            std::string sHead = Pattern(32, 200 + i);
            sExpect += sHead + sPayload;
            ASSERT_EQ(VXQ_F_NETCOM_SendTcpDataGather(tConn.hNetSrv, tConn.dwPortId, sHead.data(), 32,
                                                     sPayload.data(), 100, CountRelease, &iReleased, 0, 10 + i, 1),
                      1);
            if (i == 1) {
                /* A plain item between two gathered ones keeps its place. */
                ASSERT_EQ(VXQ_F_NETCOM_SendTcpData(tConn.hNetSrv, tConn.dwPortId, "plain", 5, 0, 50, 1), 1);
                sExpect += "plain";
            }
        }
        EXPECT_EQ(VXQ_F_NETCOM_StatSendQueueDataTotalLen(tConn.hNetSrv, -1, tConn.dwPortId), 3 * 132 + 5);
        tConn.Pass();
        if (iBudget > 0 && iBudget < 132) {
            EXPECT_EQ(iReleased, 0) << "a begun item keeps its payload";
        }
        EXPECT_TRUE(Pump(tConn.hNetSrv,
                         [&] { return VXQ_F_NETCOM_QuerySendQueueSize(tConn.hNetSrv, tConn.dwPortId) == 0; }));
        EXPECT_EQ(ReadBytes(tConn.iClient, (int)sExpect.size()), sExpect);
        EXPECT_EQ(iReleased, 3) << "each payload reference comes back once its item is written";
        std::vector<NetRecord> tNotes = tConn.tSink.Of(VXQ_NETCOM_EVENT_SEND_COMP_NOTIFY);
        ASSERT_EQ(tNotes.size(), 4u);
        EXPECT_EQ(tNotes[0].tHead.dwUserData, 10u);
        EXPECT_EQ(tNotes[1].tHead.dwUserData, 11u);
        EXPECT_EQ(tNotes[2].tHead.dwUserData, 50u);
        EXPECT_EQ(tNotes[3].tHead.dwUserData, 12u);
        /* Head and payload go out in one call: the first call asks for the whole item. */
        ASSERT_FALSE(tFake.SendAsked(tConn.iEngineFd).empty());
        EXPECT_EQ(tFake.SendAsked(tConn.iEngineFd)[0], 132);
    }
}

TEST(SendQueue, AGatheredPayloadReferenceIsGivenBackOnceWhetherClearedClosedFailedOrStopped)
{
    const std::string sHead = Pattern(32, 1);
    const std::string sPayload = Pattern(1000, 2);
    for (const char *sHow : {"clear", "close", "fail", "stop"}) {
        SCOPED_TRACE(sHow);
        int iReleased = 0;
        Connected *pConn = new Connected();
        {
            FakeSockOs tFake;
            tFake.LimitSendPerPass(pConn->iEngineFd, 10);
            if (std::string(sHow) == "fail")
                tFake.FailSendAt(pConn->iEngineFd, 2, ECONNRESET);
            for (int i = 0; i < 3; i++)
                ASSERT_EQ(VXQ_F_NETCOM_SendTcpDataGather(pConn->hNetSrv, pConn->dwPortId, sHead.data(), 32,
                                                         sPayload.data(), 1000, CountRelease, &iReleased, 0, i, 1),
                          1);
            pConn->Pass();
            EXPECT_EQ(iReleased, 0);
            if (std::string(sHow) == "clear") {
                /* The begun head item stays (the stream stays whole); the two others go at once. */
                EXPECT_EQ(VXQ_F_NETCOM_ClearSendQueueData(pConn->hNetSrv, pConn->dwPortId), 1);
                EXPECT_EQ(iReleased, 2);
            } else if (std::string(sHow) == "close") {
                EXPECT_EQ(VXQ_F_NETCOM_CloseTcpConnect(pConn->hNetSrv, pConn->dwPortId), 1);
                EXPECT_EQ(iReleased, 3);
            } else if (std::string(sHow) == "fail") {
                pConn->Pass();
                EXPECT_TRUE(Pump(pConn->hNetSrv, [&] {
                    return pConn->tSink.Count(VXQ_NETCOM_EVENT_DISCONNECT, pConn->dwPortId) > 0;
                }));
                EXPECT_EQ(iReleased, 0) << "a failed socket keeps its queue until it is closed";
                EXPECT_EQ(VXQ_F_NETCOM_CloseTcpConnect(pConn->hNetSrv, pConn->dwPortId), 1);
                EXPECT_EQ(iReleased, 3);
            }
        }
        delete pConn; /* stops the engine */
        EXPECT_EQ(iReleased, 3) << "nothing is given back twice, nothing is kept";
    }
    /* A refused send leaves the reference with the caller. */
    Connected tConn;
    int iReleased = 0;
    EXPECT_EQ(VXQ_F_NETCOM_SendTcpDataGather(tConn.hNetSrv, tConn.dwPortId + 0x10000u, sHead.data(), 32,
                                             sPayload.data(), 1000, CountRelease, &iReleased, 0, 0, 1),
              0);
    EXPECT_EQ(VXQ_F_NETCOM_SendTcpDataGather(tConn.hNetSrv, tConn.dwPortId, NULL, 0, sPayload.data(), 1000,
                                             CountRelease, &iReleased, 0, 0, 1),
              0);
    EXPECT_EQ(iReleased, 0);
}
