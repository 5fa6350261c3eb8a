#include <gtest/gtest.h>

#include "net_rig.h"
#include "support/fake_sockos.h"

#include <errno.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <string>

namespace {

/* A shared payload's release callback: counts the references given back. */
void CountRelease(void *in_pRef)
{
    (*(int *)in_pRef)++;
}

template <class T> std::vector<T> Prefix(const std::vector<T> &in_tAll, size_t in_nLen)
{
    return std::vector<T>(in_tAll.begin(), in_tAll.begin() + (long)std::min(in_nLen, in_tAll.size()));
}

} // namespace

/* Write cuts: a pass writes items until the socket stops taking (the fake's
 * per-pass budget) or eight went; a begun item goes on at the next pass with
 * one call for its whole rest; a gathered item (item length 0 here: a 32-byte
 * head and a shared 100-byte payload) goes as one call and gives its payload
 * back exactly when it is written. */
TEST(SendQueue, WriteCutsKeepEveryByteInOrderWithOneNoticePerItem)
{
    const std::vector<int> tTenOf100(10, 100), tGathered = {0, 0, 5, 0};
    const struct {
        int iBudget; /* bytes a pass takes; 0 = no limit; -1 = the first send would block */
        std::vector<int> tItems;
        std::vector<int> tAsked, tTaken; /* send calls (a prefix; empty: not checked) */
        std::vector<size_t> tNotices;    /* notices after each pass (empty: not checked) */
    } tRows[] = {
        {3000, {5000}, {5000, 2000}, {3000, 2000}, {0, 1}},
        {0, tTenOf100, {}, {}, {8, 10}},
        {250, {100, 100, 100, 100}, {100, 100, 100, 50, 100}, {100, 100, 50, 50, 100}, {2, 4}},
        {-1, {3000}, {}, {}, {0, 1}},
        {31, tGathered, {132}, {}, {}},
        {32, tGathered, {132}, {}, {}},
        {33, tGathered, {132}, {}, {}},
        {131, tGathered, {132}, {}, {}},
        {0, tGathered, {132}, {}, {}},
    };
    const std::string sPayload = Pattern(100, 40);
    for (const auto &tRow : tRows) {
        SCOPED_TRACE("budget " + std::to_string(tRow.iBudget) + ", first item " + std::to_string(tRow.tItems[0]));
        Connected tConn;
        FakeSockOs tFake;
        if (tRow.iBudget > 0)
            tFake.LimitSendPerPass(tConn.iEngineFd, tRow.iBudget);
        else if (tRow.iBudget < 0)
            tFake.FailSendAt(tConn.iEngineFd, 1, EWOULDBLOCK);
        else
            tFake.Watch(tConn.iEngineFd);
        int iReleased = 0;
        std::string sExpect;
        std::vector<int> tGatheredAt; /* indexes of the gathered items */
        for (size_t i = 0; i < tRow.tItems.size(); i++) {
            std::string sHead = Pattern(tRow.tItems[i] > 0 ? tRow.tItems[i] : 32, (int)i);
            if (tRow.tItems[i] > 0) {
                ASSERT_EQ(VXQ_F_NETCOM_SendTcpData(tConn.hNetSrv, tConn.dwPortId, sHead.data(), tRow.tItems[i], 0,
                                                   (uint32_t)i + 1, 1), 1);
            } else {
                ASSERT_EQ(VXQ_F_NETCOM_SendTcpDataGather(tConn.hNetSrv, tConn.dwPortId, sHead.data(), 32,
                                                         sPayload.data(), 100, CountRelease, &iReleased, 0,
                                                         (uint32_t)i + 1, 1), 1);
                tGatheredAt.push_back((int)i);
                sHead += sPayload;
            }
            sExpect += sHead;
        }
        EXPECT_TRUE(tFake.SendAsked(tConn.iEngineFd).empty()) << "nothing is written at queue time";
        std::vector<size_t> tNotices;
        for (size_t iPass = 0; tConn.Queued() > 0 && iPass < 1000; iPass++) {
            tConn.Pass();
            int iTaken = 0;
            for (int iCall : tFake.SendTaken(tConn.iEngineFd))
                iTaken += std::max(iCall, 0); /* -1: a call that took nothing */
            EXPECT_EQ(tConn.Bytes(), (int)sExpect.size() - iTaken) << "pass " << iPass;
            size_t nNotices = tConn.tSink.Count(VXQ_NETCOM_EVENT_SEND_COMP_NOTIFY);
            tNotices.push_back(nNotices);
            int iDoneGathered = 0;
            for (int iAt : tGatheredAt)
                iDoneGathered += (size_t)iAt < nNotices;
            EXPECT_EQ(iReleased, iDoneGathered) << "pass " << iPass << ": a payload goes back when written";
        }
        EXPECT_EQ(tConn.Queued(), 0);
        EXPECT_EQ(ReadBytes(tConn.iClient, (int)sExpect.size()), sExpect);
        EXPECT_EQ(Prefix(tFake.SendAsked(tConn.iEngineFd), tRow.tAsked.size()), tRow.tAsked);
        EXPECT_EQ(Prefix(tFake.SendTaken(tConn.iEngineFd), tRow.tTaken.size()), tRow.tTaken);
        EXPECT_EQ(Prefix(tNotices, tRow.tNotices.size()), tRow.tNotices);
        std::vector<NetRecord> tNotes = tConn.tSink.Of(VXQ_NETCOM_EVENT_SEND_COMP_NOTIFY);
        ASSERT_EQ(tNotes.size(), tRow.tItems.size());
        for (size_t i = 0; i < tNotes.size(); i++) {
            EXPECT_EQ(tNotes[i].tHead.dwUserData, i + 1) << "notices in queue order";
            EXPECT_EQ(tNotes[i].tHead.dwPortId, tConn.dwPortId);
            EXPECT_EQ(tNotes[i].tHead.usNetType, 0);
            EXPECT_EQ(tNotes[i].sRaw.size(), 64u);
        }
        EXPECT_EQ(tConn.tSink.Count(VXQ_NETCOM_EVENT_DISCONNECT), 0u);
        EXPECT_EQ(VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByPortId(tConn.hNetSrv, tConn.dwPortId)->bSendFlag, 0)
            << "an empty queue stops the write watch";
    }
}

TEST(SendQueue, CountsAndLengthsAreKeptPerDataTypeAndEmptyDataIsRefused)
{
    Connected tConn;
    VXQ_HNETSRV h = tConn.hNetSrv;
    uint32_t id = tConn.dwPortId;
    std::string s100(100, 'a'), s200(200, 'b'), s300(300, 'c');
    ASSERT_EQ(VXQ_F_NETCOM_SendTcpDataEx(h, id, s100.data(), 100, 10, 0, 0, 0), 1);
    ASSERT_EQ(VXQ_F_NETCOM_SendTcpDataEx(h, id, s200.data(), 200, 10, 0, 0, 0), 1);
    ASSERT_EQ(VXQ_F_NETCOM_SendTcpData(h, id, s300.data(), 300, 0, 0, 0), 1);
    const struct {
        int32_t iType, iItems, iBytes;
    } tCases[] = {{10, 2, 300}, {0, 1, 300}, {11, 0, 0}, {-1, 0, 600}};
    for (const auto &tCase : tCases) {
        EXPECT_EQ(VXQ_F_NETCOM_QuerySendQueueSizeEx(h, tCase.iType, id), tCase.iItems) << tCase.iType;
        EXPECT_EQ(VXQ_F_NETCOM_StatSendQueueDataTotalLen(h, tCase.iType, id), tCase.iBytes) << tCase.iType;
    }
    EXPECT_EQ(VXQ_F_NETCOM_SendTcpData(h, id, "x", 0, 0, 0, 0), 0);
    EXPECT_EQ(VXQ_F_NETCOM_SendTcpData(h, id, "x", -5, 0, 0, 0), 0);
    EXPECT_EQ(VXQ_F_NETCOM_SendTcpData(h, id, NULL, 5, 0, 0, 0), 0);
    EXPECT_EQ(tConn.Queued(), 3);
    tConn.Drain();
    EXPECT_EQ(ReadBytes(tConn.iClient, 600), s100 + s200 + s300);
    EXPECT_EQ(tConn.tSink.Count(VXQ_NETCOM_EVENT_SEND_COMP_NOTIFY), 0u) << "no notice without the flag";
}

TEST(SendQueue, UdpItemsGoToTheirDestinationIn1460ByteDatagramsWithAUdpNotice)
{
    Engine tEngine;
    VXQ_HNETSRV h = tEngine.hNetSrv;
    uint16_t usPort = 0, usPeer = 0, usTcp = 0;
    uint32_t dwUdp = 0, dwTcp = 0;
    ASSERT_EQ(VXQ_F_NETCOM_StartUdpListen(h, &usPort, &dwUdp), 1);
    int iPeer = LoopbackUdp(&usPeer);
    std::string sItem = Pattern(2000, 3);
    ASSERT_EQ(VXQ_F_NETCOM_SendUdpData(h, dwUdp, "127.0.0.1", usPeer, sItem.data(), 2000, 0, 41, 1), 1);
    ASSERT_EQ(VXQ_F_NETCOM_SendUdpData(h, dwUdp, "127.0.0.1", usPeer, "third", 5, 0, 43, 0), 1);
    EXPECT_TRUE(Pump(h, [&] { return VXQ_F_NETCOM_QuerySendQueueSize(h, dwUdp) == 0; }));
    std::vector<NetRecord> tNotes = tEngine.tSink.Of(VXQ_NETCOM_EVENT_SEND_COMP_NOTIFY);
    ASSERT_EQ(tNotes.size(), 1u);
    EXPECT_EQ(tNotes[0].tHead.usNetType, 1);
    EXPECT_EQ(tNotes[0].tHead.dwUserData, 41u);
    EXPECT_EQ(tNotes[0].tHead.usPeerPort, usPeer);
    char sBuf[4096];
    std::vector<std::string> tGot;
    for (int i = 0; i < 3; i++) {
        ssize_t n = recv(iPeer, sBuf, sizeof(sBuf), 0);
        ASSERT_GT(n, 0);
        tGot.push_back(std::string(sBuf, (size_t)n));
    }
    EXPECT_EQ(tGot, (std::vector<std::string>{sItem.substr(0, 1460), sItem.substr(1460), "third"}));
    /* Refused: an empty address, port 0, the wrong kind of socket. */
    ASSERT_EQ(VXQ_F_NETCOM_StartTcpListen(h, &usTcp, &dwTcp), 1);
    EXPECT_EQ(VXQ_F_NETCOM_SendUdpData(h, dwUdp, "", usPeer, "x", 1, 0, 0, 0), 0);
    EXPECT_EQ(VXQ_F_NETCOM_SendUdpData(h, dwUdp, "127.0.0.1", 0, "x", 1, 0, 0, 0), 0);
    EXPECT_EQ(VXQ_F_NETCOM_SendTcpData(h, dwUdp, "x", 1, 0, 0, 0), 0);
    EXPECT_EQ(VXQ_F_NETCOM_SendUdpData(h, dwTcp, "127.0.0.1", usPeer, "x", 1, 0, 0, 0), 0);
    close(iPeer);
}

/* Release paths of a gathered payload; a clear keeps only a begun head (the
 * stream stays whole), a hard send failure yields a disconnect at every pass
 * and the socket is not written again until the owner closes it. */
TEST(SendQueue, AGatheredPayloadIsGivenBackOnceWhetherClearedClosedFailedOrStopped)
{
    const std::string sHead = Pattern(32, 1), sPayload = Pattern(1000, 2);
    for (std::string sHow : {"clear", "close", "fail", "stop"}) {
        SCOPED_TRACE(sHow);
        int iReleased = 0;
        Connected *pConn = new Connected();
        VXQ_HNETSRV h = pConn->hNetSrv;
        uint32_t id = pConn->dwPortId;
        {
            FakeSockOs tFake;
            tFake.LimitSendPerPass(pConn->iEngineFd, 10);
            if (sHow == "fail")
                tFake.FailSendAt(pConn->iEngineFd, 2, ECONNRESET, true);
            for (int i = 0; i < 3; i++)
                ASSERT_EQ(VXQ_F_NETCOM_SendTcpDataGather(h, id, sHead.data(), 32, sPayload.data(), 1000, CountRelease,
                                                         &iReleased, 0, i, 1), 1);
            pConn->Pass();
            EXPECT_EQ(iReleased, 0);
            if (sHow == "clear") {
                EXPECT_EQ(VXQ_F_NETCOM_ClearSendQueueData(h, id), 1);
                EXPECT_EQ(iReleased, 2);
                EXPECT_EQ(pConn->Queued(), 1);
                EXPECT_EQ(pConn->Bytes(), 1032 - 10);
                ASSERT_EQ(VXQ_F_NETCOM_SendTcpData(h, id, "END", 3, 0, 7, 1), 1);
                pConn->Drain();
                EXPECT_EQ(ReadBytes(pConn->iClient, 1035), sHead + sPayload + "END");
                EXPECT_EQ(pConn->tSink.Of(VXQ_NETCOM_EVENT_SEND_COMP_NOTIFY).back().tHead.dwUserData, 7u);
                /* A head not yet begun is dropped with the rest. */
                ASSERT_EQ(VXQ_F_NETCOM_SendTcpData(h, id, "x", 1, 0, 0, 0), 1);
                EXPECT_EQ(VXQ_F_NETCOM_ClearSendQueueData(h, id), 1);
                EXPECT_EQ(pConn->Queued(), 0);
            } else if (sHow == "close") {
                EXPECT_EQ(VXQ_F_NETCOM_CloseTcpConnect(h, id), 1);
                EXPECT_EQ(iReleased, 3);
                EXPECT_EQ(WaitPeerClosed(pConn->iClient), 1);
            } else if (sHow == "fail") {
                pConn->Pass();
                std::vector<NetRecord> tGone = pConn->tSink.Of(VXQ_NETCOM_EVENT_DISCONNECT, id);
                ASSERT_EQ(tGone.size(), 1u);
                EXPECT_EQ(tGone[0].tHead.usNetType, 0);
                size_t nSends = tFake.SendAsked(pConn->iEngineFd).size();
                pConn->Pass();
                EXPECT_EQ(pConn->tSink.Count(VXQ_NETCOM_EVENT_DISCONNECT, id), 2u);
                EXPECT_EQ(tFake.SendAsked(pConn->iEngineFd).size(), nSends) << "a failed socket is not written again";
                EXPECT_EQ(iReleased, 0) << "a failed socket keeps its queue until it is closed";
                EXPECT_EQ(VXQ_F_NETCOM_CloseTcpConnect(h, id), 1);
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
                                             sPayload.data(), 1000, CountRelease, &iReleased, 0, 0, 1), 0);
    EXPECT_EQ(VXQ_F_NETCOM_SendTcpDataGather(tConn.hNetSrv, tConn.dwPortId, NULL, 0, sPayload.data(), 1000,
                                             CountRelease, &iReleased, 0, 0, 1), 0);
    EXPECT_EQ(iReleased, 0);
}
