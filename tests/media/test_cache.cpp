/* The frame cache driven with fake viewers and a fake sender; node lifetime on a real engine. */
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "media/cache.h"
#include "media/framemsg.h"
#include "media/framepool.h"
#include "net/selengine.h"
#include "support/fake_sockos.h"
#include "support/frame_decoder.h"
#include "support/loopback.h"
#include "support/offline_link.h"
#include "support/record_sink.h"
#include "support/test_clock.h"

namespace
{

struct SentMsg {
    uint32_t dwPortId, dwSeq, dwFrameNo; /* frame number: the first four data bytes */
    TestFrameMsg d;
};
std::vector<SentMsg> g_tSent;
uint32_t g_dwRefusePortId = 0;

int FakeSend(_VXQ_S_DPS_MCSRV_DATA *, _VXQ_S_DPS_NET_PORT_DATA *in_pConn, const uint8_t *in_pMsg,
             int32_t in_iLen, uint32_t in_dwSeq)
{
    if (in_pConn->dwPortId == g_dwRefusePortId)
        return 0;
    SentMsg t = {in_pConn->dwPortId, in_dwSeq, 0, {}};
    EXPECT_TRUE(TestDecodeFrameMsg(in_pMsg, (size_t)in_iLen, &t.d));
    if (t.d.iDataLen >= 4)
        memcpy(&t.dwFrameNo, t.d.pData, 4);
    g_tSent.push_back(t);
    return 1;
}

class FrameCache : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        g_tSent.clear();
        g_dwRefusePortId = 0;
        pSrv = VXQ_F_OFFLINE_NewRig();
        pSubCh = &pSrv->pMediaCh[0].tSubCh[0];
        pSubCh->iStreamOpenState = 2;
        pSubCh->iVideoFrameRate = 25;
        pSubCh->usVideoWidth = 704;
        pSrv->tHooks.fnFrameSend = FakeSend;
    }
    void TearDown() override
    {
        VXQ_F_OFFLINE_FreeRig(pSrv);
    }
    /* A streaming viewer of (0, 0) in table slot in_iSlot, audio on. */
    _VXQ_S_DPS_NET_PORT_DATA *AddViewer(int in_iSlot) { return VXQ_F_OFFLINE_AddViewer(pSrv, in_iSlot, 0, 0); }

    /* Feeds one frame: 'I', 'P' or 'A' (audio); its data starts with a running number. */
    uint32_t Feed(char in_cKind, int32_t in_iLen = 100, uint32_t in_dwStamp = 0)
    {
        std::vector<uint8_t> tData((size_t)in_iLen, 0x5A);
        uint32_t dwNo = ++dwFrameNo;
        memcpy(tData.data(), &dwNo, 4);
        VXQ_F_DPS_MC_CAPM_DoDevSendRealMediaData(pSrv, in_cKind == 'A' ? 1 : 0, 0, 0, in_cKind == 'I' ? 1 : 2,
                                                 in_dwStamp, tData.data(), in_iLen);
        return dwNo;
    }

    /* The engine reports one / every outstanding message of in_pConn as sent. */
    void CompleteOne(_VXQ_S_DPS_NET_PORT_DATA *in_pConn)
    {
        in_pConn->tMedia.iSendingNum--;
        VXQ_F_DPS_MC_CAPM_DoSingleClientSendProc(pSrv, pSubCh, in_pConn);
    }
    void CompleteAll(_VXQ_S_DPS_NET_PORT_DATA *in_pConn)
    {
        while (in_pConn->tMedia.iSendingNum > 0)
            CompleteOne(in_pConn);
    }
    std::vector<SentMsg> SentTo(const _VXQ_S_DPS_NET_PORT_DATA *in_pConn)
    {
        std::vector<SentMsg> t;
        std::copy_if(g_tSent.begin(), g_tSent.end(), std::back_inserter(t),
                     [&](const SentMsg &m) { return m.dwPortId == in_pConn->dwPortId; });
        return t;
    }
    int ListLen()
    {
        int n = 0;
        for (_VXQ_S_DPS_MEDIA_CACHE_NODE *p = pSubCh->pCacheListHead; p != NULL; p = p->pNext, n++) {
        }
        return n;
    }

    _VXQ_S_DPS_MCSRV_DATA *pSrv = nullptr;
    _VXQ_S_DPS_MEDIA_SUB_CH_DATA *pSubCh = nullptr;
    uint32_t dwFrameNo = 0;
};

/* Two viewers, A in slot 0 and B in slot 1, join before the frame of their
 * index (-1: never) and complete every message at once, unless their mode
 * says otherwise: 'p' video paused, 'c' stream closed, 'o' another stream,
 * 's' stalled (never completes, then one completion at the end), 'x' stalled
 * and resumed before the last frame (waits for an I-frame again), 'r' the
 * engine refuses every message but the last frame's. Frames are numbered from 1. */
TEST_F(FrameCache, EachViewerGetsFramesFromAnIFrameOnWithAtMostThreeOutstanding)
{
    struct Viewer {
        int iJoin;
        char cMode;
    };
    const struct {
        const char *sFrames;
        Viewer tA, tB;
        std::vector<uint32_t> tSentA, tSentB;
        int iListLen; /* nodes left at the end, -1: not checked */
    } aRows[] = {
        {"IPAPPAIPA", {-1, ' '}, {-1, ' '}, {}, {}, 0},
        {"IPA", {0, 'p'}, {-1, ' '}, {}, {}, 0},
        {"IPPAPAPIA", {0, ' '}, {2, ' '}, {1, 2, 3, 4, 5, 6, 7, 8, 9}, {8, 9}, 1},
        {"IP", {0, ' '}, {0, 'c'}, {1, 2}, {}, 1},
        {"IP", {0, ' '}, {0, 'o'}, {1, 2}, {}, 1},
        {"IPPAPP", {0, ' '}, {0, 's'}, {1, 2, 3, 4, 5, 6}, {1, 2, 3, 4}, -1},
        {"IPPPI", {-1, ' '}, {0, 'x'}, {}, {1, 2, 3, 5}, -1},
        {"IPPPIPPPIPPPIPP", {-1, ' '}, {0, 's'}, {}, {1, 2, 3, 13}, 7},
        {"IPPPP", {-1, ' '}, {0, 'r'}, {}, {5}, -1},
    };
    for (const auto &r : aRows) {
        SCOPED_TRACE(testing::Message() << r.sFrames << " " << r.tA.cMode << r.tB.cMode);
        TearDown();
        SetUp();
        dwFrameNo = 0;
        _VXQ_S_DPS_NET_PORT_DATA *aConn[2] = {nullptr, nullptr};
        const Viewer *aViewer[2] = {&r.tA, &r.tB};
        const int iLast = (int)strlen(r.sFrames) - 1;
        for (int iFrame = 0; iFrame <= iLast; iFrame++) {
            for (int v = 0; v < 2; v++) {
                if (aViewer[v]->iJoin != iFrame)
                    continue;
                aConn[v] = AddViewer(v);
                char c = aViewer[v]->cMode;
                aConn[v]->tMedia.bVideoPause = c == 'p';
                aConn[v]->tMedia.iStreamState = c == 'c' ? 0 : aConn[v]->tMedia.iStreamState;
                aConn[v]->iStreamNo = c == 'o' ? 1 : 0;
                g_dwRefusePortId = c == 'r' ? aConn[v]->dwPortId : g_dwRefusePortId;
            }
            for (int v = 0; v < 2; v++)
                if (aConn[v] != nullptr && aViewer[v]->cMode == 'x' && iFrame == iLast)
                    aConn[v]->tMedia.bRecvIFrame = 0;
            if (iFrame == iLast)
                g_dwRefusePortId = 0;
            Feed(r.sFrames[iFrame]);
            for (int v = 0; v < 2; v++) {
                if (aConn[v] == nullptr)
                    continue;
                EXPECT_LE(aConn[v]->tMedia.iSendingNum, 3);
                if (aViewer[v]->cMode != 's' && aViewer[v]->cMode != 'x')
                    CompleteAll(aConn[v]);
            }
        }
        for (int v = 0; v < 2; v++) {
            if (aConn[v] == nullptr)
                continue;
            if (aViewer[v]->cMode == 's' || aViewer[v]->cMode == 'x') {
                EXPECT_EQ(aConn[v]->tMedia.iSendingNum, 3);
                CompleteOne(aConn[v]);
            }
            std::vector<uint32_t> tGot;
            for (const SentMsg &m : SentTo(aConn[v])) {
                tGot.push_back(m.dwFrameNo);
                if (tGot.size() == 1 && aViewer[v]->cMode != 'r') {
                    EXPECT_EQ(m.d.iFrameType, 1) << "the first frame is an I-frame";
                }
                EXPECT_EQ(m.d.bVideo, r.sFrames[m.dwFrameNo - 1] != 'A');
            }
            if (!tGot.empty()) {
                EXPECT_EQ(SentTo(aConn[v]).back().dwSeq, aConn[v]->tMedia.dwSendSeq);
            }
            EXPECT_EQ(tGot, v == 0 ? r.tSentA : r.tSentB) << "viewer " << v;
        }
        if (r.iListLen >= 0) {
            EXPECT_EQ(ListLen(), r.iListLen);
        }
    }
}

TEST_F(FrameCache, TheByteLimitRefusesFramesUntilTheNextIFrame)
{
    pSubCh->iMediaDataBufSize = 1000;
    _VXQ_S_DPS_NET_PORT_DATA *pStalled = AddViewer(0);
    pStalled->tMedia.iSendingNum = 3; /* holds its position at the first I-frame */
    pStalled->tMedia.bRecvIFrame = 1;
    struct Step {
        char cKind;
        int32_t iLen;
        bool bAccepted;
        int bOverflowAfter;
    } aSteps[] = {
        {'I', 400, true, 0}, {'P', 600, true, 0}, /* the group's video at 1000 bytes: still taken */
        {'A', 50, true, 0},  {'P', 1, false, 1}, /* the group passes 1000 bytes: refused (kept), overflow */
        {'P', 10, false, 1}, {'A', 10, false, 1},
        {'I', 400, true, 0}, {'P', 100, true, 0},
    };
    for (const Step &s : aSteps) {
        std::vector<uint8_t> tData((size_t)s.iLen, 1);
        _VXQ_S_DPS_MEDIA_CACHE_NODE *pNode = VXQ_F_DPS_MC_CAPM_AddRealMediaDataToQueue(
            pSrv, pSubCh, s.cKind == 'A' ? 1 : 0, s.cKind == 'I' ? 1 : 2, 0, tData.data(), s.iLen);
        EXPECT_EQ(pNode != NULL, s.bAccepted) << s.cKind << s.iLen;
        EXPECT_EQ(pSubCh->bCacheOverflow, s.bOverflowAfter) << s.cKind << s.iLen;
    }
    /* The overflowing frame stays in the list; the two refused during overflow do not. */
    EXPECT_EQ(ListLen(), 6);
}

/* With a byte limit the cut keeps every video frame while they fit, and else
 * the whole newest group, even when that group alone is over the limit. */
TEST_F(FrameCache, WithALimitTheCutKeepsAllThatFitsElseTheWholeNewestGroup)
{
    const struct {
        const char *sKinds; /* 100-byte video frames, oldest first */
        int32_t iLimit;
        int iVideoLeft;
    } aRows[] = {{"IPIP", 1000, 4}, {"IPIP", 400, 4}, {"IPIP", 399, 2}, {"IPP", 150, 3}, {"IPPIP", 250, 2}};
    for (const auto &r : aRows) {
        SCOPED_TRACE(testing::Message() << r.sKinds << " " << r.iLimit);
        VXQ_F_DPS_MC_CAPM_FreeCacheList(pSubCh);
        pSubCh->iMediaDataBufSize = 0;
        std::vector<uint8_t> tData(100, 1);
        for (const char *p = r.sKinds; *p; p++)
            ASSERT_NE(VXQ_F_DPS_MC_CAPM_AddRealMediaDataToQueue(pSrv, pSubCh, 0, *p == 'I' ? 1 : 2, 0, tData.data(),
                                                                 100),
                      nullptr);
        pSubCh->iMediaDataBufSize = r.iLimit;
        VXQ_F_DPS_MC_CAPM_DoChannelCacheListClearWork(pSrv, pSubCh);
        ASSERT_EQ(ListLen(), r.iVideoLeft);
        EXPECT_EQ(pSubCh->pCacheListHead->ucFrameType, 1) << "the list starts at an I-frame";
    }
}

TEST_F(FrameCache, RemovingAViewersNodeMovesItToTheSuccessorAndLosingItsNextResetsIt)
{
    _VXQ_S_DPS_NET_PORT_DATA *pA = AddViewer(0), *pB = AddViewer(1);
    pA->tMedia.iSendingNum = pB->tMedia.iSendingNum = 3;
    pA->tMedia.bRecvIFrame = pB->tMedia.bRecvIFrame = 1;
    uint32_t dwId1 = VXQ_F_DPS_MC_CAPM_AddRealMediaDataToQueue(pSrv, pSubCh, 0, 1, 0, NULL, 0)->dwNodeId;
    uint32_t dwId2 = VXQ_F_DPS_MC_CAPM_AddRealMediaDataToQueue(pSrv, pSubCh, 0, 2, 0, NULL, 0)->dwNodeId;
    EXPECT_NE(dwId1, 0u);
    pA->tMedia.dwSentNodeId = dwId1;
    pB->tMedia.dwNextNodeId = dwId2;
    VXQ_F_DPS_MC_CAPM_DeleteRealMediaCacheNode(pSrv, pSubCh, dwId1);
    EXPECT_EQ(pA->tMedia.dwSentNodeId, 0u);
    EXPECT_EQ(pA->tMedia.dwNextNodeId, dwId2);
    VXQ_F_DPS_MC_CAPM_DeleteRealMediaCacheNode(pSrv, pSubCh, dwId2);
    EXPECT_EQ(pA->tMedia.dwNextNodeId, 0u);
    EXPECT_EQ(pB->tMedia.dwNextNodeId, 0u);
    EXPECT_EQ(ListLen(), 0);
    EXPECT_EQ(pSubCh->pCacheListTail, nullptr);
}

TEST_F(FrameCache, FramesForAClosedSubChannelAreDroppedAndAfterTenSecondsTheHostIsToldToClose)
{
    TestClock tClock;
    pSubCh->iStreamOpenState = 0;
    AddViewer(0);
    Feed('I');
    EXPECT_EQ(ListLen(), 0);
    EXPECT_TRUE(g_tSent.empty());
    uint32_t dwFirst = pSubCh->dwNotOpenFrameTime;
    EXPECT_NE(dwFirst, 0u);
    tClock.AdvanceSec(9);
    Feed('P');
    EXPECT_EQ(pSubCh->dwNotOpenFrameTime, dwFirst);
    tClock.AdvanceSec(1);
    Feed('P');
    EXPECT_EQ(pSubCh->dwNotOpenFrameTime, 0u) << "close requested";
    Feed('P');
    EXPECT_NE(pSubCh->dwNotOpenFrameTime, 0u) << "the next frame starts the wait again";
}

} // namespace

/* A buffer is rounded up (to 4096 from 4096 bytes on) and handed out again only
 * for a frame it holds, within twice that frame's room. */
TEST(FramePool, ABufferComesBackOnlyForAFrameItHoldsWithinTwiceItsRoom)
{
    auto fnTake = [](int32_t in_iLen) {
        _VXQ_S_DPS_MEDIA_CACHE_NODE *pNode = VXQ_F_DPS_MC_FramePool_Take(nullptr, in_iLen);
        VXQ_F_DPS_MC_FramePool_Unpost(pNode);
        return pNode;
    };
    _VXQ_S_DPS_MEDIA_CACHE_NODE *pA = fnTake(300000);
    ASSERT_NE(pA, nullptr);
    EXPECT_EQ(pA->iDataCap, 303104);
    VXQ_F_DPS_MC_FramePool_Give(pA); /* kept unless other tests filled the pool */
    /* One byte more than it holds; 151552 twice is 303104: just within; 147456 twice: over. */
    for (int32_t iLen : {303105, 151552, 147456}) {
        _VXQ_S_DPS_MEDIA_CACHE_NODE *pGot = fnTake(iLen);
        ASSERT_NE(pGot, nullptr);
        EXPECT_GE(pGot->iDataCap, iLen);
        EXPECT_LE(pGot->iDataCap, 2 * ((iLen + 4095) / 4096 * 4096)) << iLen;
        EXPECT_EQ(pGot->iDataLen, iLen);
        VXQ_F_DPS_MC_FramePool_Give(pGot);
    }
}

namespace
{

std::vector<void *> g_tFreedNodes;

void SeeFree(void *in_pMem)
{
    g_tFreedNodes.push_back(in_pMem);
}

bool WasFreed(const void *in_pNode)
{
    return std::find(g_tFreedNodes.begin(), g_tFreedNodes.end(), in_pNode) != g_tFreedNodes.end();
}

/* Viewers on real loopback connections of an engine without a thread: the
 * live path as the service runs it (head and cached frame gathered by the
 * engine). Completion notices are applied as the control thread does. */
class FrameCacheOnEngine : public FrameCache
{
  protected:
    void SetUp() override
    {
        FrameCache::SetUp();
        pSrv->tHooks.fnFrameSend = NULL;
        g_tFreedNodes.clear();
        VXQ_F_DPS_MC_MediaMem_SetFreeHook(SeeFree);
        pSrv->hNetSrv = VXQ_F_NETCOM_StartNetServerByNoThread(RecordSink::Callback, &tSink);
        ASSERT_NE(pSrv->hNetSrv, nullptr);
        ASSERT_EQ(VXQ_F_NETCOM_StartTcpListen(pSrv->hNetSrv, &usPort, NULL), 1);
    }
    void TearDown() override
    {
        /* Engine first: its queued messages give their node references back,
         * then the list's own references go. */
        VXQ_F_NETCOM_CloseNetServer(pSrv->hNetSrv);
        pSrv->hNetSrv = NULL;
        for (int iFd : tClients)
            close(iFd);
        FrameCache::TearDown();
        VXQ_F_DPS_MC_MediaMem_SetFreeHook(NULL);
    }

    /* A viewer in table slot in_iSlot on a fresh loopback connection; its
     * client descriptor in *out_pClient, the engine's in *out_pEngineFd. */
    _VXQ_S_DPS_NET_PORT_DATA *AddEngineViewer(int in_iSlot, int *out_pClient, int *out_pEngineFd)
    {
        size_t iBefore = tSink.Count(VXQ_NETCOM_EVENT_CONNECT);
        int iClient = LoopbackConnect(usPort);
        tClients.push_back(iClient);
        EXPECT_TRUE(Pump(pSrv->hNetSrv, [&] { return tSink.Count(VXQ_NETCOM_EVENT_CONNECT) > iBefore; }));
        _VXQ_S_DPS_NET_PORT_DATA *p = AddViewer(in_iSlot);
        p->dwPortId = tSink.Of(VXQ_NETCOM_EVENT_CONNECT).back().tHead.dwPortId;
        *out_pClient = iClient;
        *out_pEngineFd = VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByPortId(pSrv->hNetSrv, p->dwPortId)->iSocket;
        return p;
    }

    /* Completion notices not applied yet lower their viewer's count and pump it. */
    void ApplyNotices()
    {
        std::vector<NetRecord> t = tSink.Of(VXQ_NETCOM_EVENT_SEND_COMP_NOTIFY);
        for (; iNoticesDone < t.size(); iNoticesDone++)
            for (int i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++)
                if (pSrv->pConn[i] != NULL && pSrv->pConn[i]->dwPortId == t[iNoticesDone].tHead.dwPortId)
                    CompleteOne(pSrv->pConn[i]);
    }

    /* Drives the engine until the given viewers have nothing queued or outstanding. */
    bool Settle(const std::vector<_VXQ_S_DPS_NET_PORT_DATA *> &in_tViewers)
    {
        return Pump(pSrv->hNetSrv, [&] {
            ApplyNotices();
            for (auto *p : in_tViewers)
                if (p->tMedia.iSendingNum > 0 ||
                    VXQ_F_NETCOM_QuerySendQueueSize(pSrv->hNetSrv, p->dwPortId) > 0)
                    return false;
            return true;
        });
    }

    RecordSink tSink;
    uint16_t usPort = 0;
    std::vector<int> tClients;
    size_t iNoticesDone = 0;
};

} // namespace

TEST_F(FrameCacheOnEngine, ACachedFrameLivesWhileAQueuedMessageCarriesItAndGoesWithTheLastOne)
{
    FakeSockOs tFake;
    int iClient = -1, iFdA = -1, iFdB = -1, iFdC = -1;
    _VXQ_S_DPS_NET_PORT_DATA *pA = AddEngineViewer(0, &iClient, &iFdA);
    _VXQ_S_DPS_NET_PORT_DATA *pB = AddEngineViewer(1, &iClient, &iFdB);
    _VXQ_S_DPS_NET_PORT_DATA *pC = AddEngineViewer(2, &iClient, &iFdC);
    tFake.LimitSendPerPass(iFdB, 0); /* B and C take nothing for now */
    tFake.LimitSendPerPass(iFdC, 0);

    Feed('I', 5000);
    _VXQ_S_DPS_MEDIA_CACHE_NODE *pI = pSubCh->pCacheListTail;
    EXPECT_EQ(pI->iRefCount, 3) << "the list and one queued message per viewer whose socket took nothing";
    Feed('P', 800);
    _VXQ_S_DPS_MEDIA_CACHE_NODE *pP = pSubCh->pCacheListTail;
    EXPECT_EQ(pSubCh->pCacheListHead, pP) << "every viewer is past the I-frame: it left the list";
    EXPECT_FALSE(WasFreed(pI));
    EXPECT_EQ(pI->iRefCount, 2) << "A's messages went out whole: only B and C carry it";

    ASSERT_TRUE(Settle({pA}));
    EXPECT_FALSE(WasFreed(pI)) << "B and C still carry it";
    EXPECT_EQ(pI->iRefCount, 2);
    EXPECT_EQ(pP->iRefCount, 3);

    /* B's socket drains: its messages complete. */
    tFake.LimitSendPerPass(iFdB, -1);
    ASSERT_TRUE(Settle({pA, pB}));
    EXPECT_FALSE(WasFreed(pI));
    EXPECT_EQ(pI->iRefCount, 1);

    /* C's connection closes with both messages queued: the I-frame goes with them. */
    pC->tMedia.iStreamState = 0;
    EXPECT_EQ(VXQ_F_NETCOM_CloseTcpConnect(pSrv->hNetSrv, pC->dwPortId), 1);
    EXPECT_TRUE(WasFreed(pI));
    EXPECT_FALSE(WasFreed(pP));
    EXPECT_EQ(pP->iRefCount, 1) << "only the list holds the newest frame";
    EXPECT_EQ(g_tFreedNodes.size(), 1u);

    /* Once every viewer is past it, a node nobody carries goes at once. */
    Feed('I', 100);
    EXPECT_TRUE(WasFreed(pP));
}
