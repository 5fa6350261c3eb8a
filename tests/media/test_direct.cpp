/* Direct frame delivery and sub-channel release on a hand-made instance. */
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "core/control.h"
#include "vxq_media.h"
#include "media/cache.h"
#include "media/direct.h"
#include "support/frame_decoder.h"
#include "support/offline_rig.h"

namespace
{

struct DirectSent {
    uint32_t dwPortId;
    int32_t iSendClass;
    int iNo; /* the first four data bytes */
    TestFrameMsg tFrame;
};
std::vector<DirectSent> g_tDirect;
uint32_t g_dwFailPortId = 0;

int FakeDirectSend(_VXQ_S_DPS_MCSRV_DATA *, _VXQ_S_DPS_NET_PORT_DATA *in_pConn, uint8_t *in_pMsg,
                   int32_t in_iLen, int32_t in_iSendClass)
{
    if (in_pConn->dwPortId == g_dwFailPortId)
        return 0;
    DirectSent t = {in_pConn->dwPortId, in_iSendClass, 0, {}};
    EXPECT_TRUE(TestDecodeFrameMsg(in_pMsg, (size_t)in_iLen, &t.tFrame));
    if (t.tFrame.iDataLen >= 4)
        memcpy(&t.iNo, in_pMsg + 32, 4);
    g_tDirect.push_back(t);
    return 1;
}

class DirectPath : public OfflineRig
{
  protected:
    void SetUp() override
    {
        OfflineRig::SetUp();
        g_tDirect.clear();
        g_dwFailPortId = 0;
        pSubCh = &p->pMediaCh[1].tSubCh[0];
        pSubCh->iStreamOpenState = 2;
        pSubCh->iVideoFrameRate = 25;
        p->tHooks.fnDirectSend = FakeDirectSend;
    }
    /* 'V' an I-frame, 'v' a P-frame, 'a' audio; the data starts with the frame's number. */
    void Frame(char in_cKind)
    {
        uint8_t a[16] = {0};
        int iNo = ++iFrameNo;
        memcpy(a, &iNo, 4);
        if (in_cKind == 'a')
            VXQ_F_DPS_MC_DoSendAudioFrameData(p, 1, 0, a, 8);
        else
            VXQ_F_DPS_MC_DoSendVideoFrameData(p, 1, 0, in_cKind == 'V' ? 1 : 2, a, sizeof(a));
    }
    std::vector<DirectSent> To(const _VXQ_S_DPS_NET_PORT_DATA *in_pConn)
    {
        std::vector<DirectSent> t;
        for (const DirectSent &s : g_tDirect)
            if (s.dwPortId == in_pConn->dwPortId)
                t.push_back(s);
        return t;
    }

    _VXQ_S_DPS_MEDIA_SUB_CH_DATA *pSubCh = nullptr;
    int iFrameNo = 0;
};

TEST(DirectOverload, MoreThanFourSecondsOfVideoOr125MessagesAtRateZeroOrTheByteBudgetOverload)
{
    struct Row {
        int32_t iTotal, iBudget, iWaiting, iRate;
        int bOverloaded;
    } aRows[] = {
        {0, 1000, 101, 25, 0},                        /* 101 / 25 = 4 */
        {0, 1000, 124, 25, 0}, {0, 1000, 125, 25, 1}, /* 5 */
        {0, 1000, 124, 0, 0},  {0, 1000, 125, 0, 1},   {0, 1000, 125, -3, 1},  {0, 1000, 4, 1, 0},
        {0, 1000, 5, 1, 1},    {1000, 1000, 0, 25, 0}, {1001, 1000, 0, 25, 1},
    };
    for (const Row &r : aRows)
        EXPECT_EQ(VXQ_F_DPS_MC_IsClientSendOverloaded(r.iTotal, r.iBudget, r.iWaiting, r.iRate),
                  r.bOverloaded)
            << r.iTotal << " " << r.iWaiting << " " << r.iRate;
}

/* 'V'/'v' I-/P-frame, 'a' audio; frames numbered from 1. A viewer starts at an
 * I-frame and its audio follows it (classes 10 and 11), a paused one gets
 * nothing, an I-frames-only one skips P-frames but keeps audio. */
TEST_F(DirectPath, AViewerStartsAtAnIFrameAndItsAudioFollowsIt)
{
    const struct {
        char cMode; /* ' ' plain, 'p' video and audio paused, 'i' I-frames only */
        const char *sFrames;
        std::vector<int> tSent;
    } aRows[] = {{' ', "vaVav", {3, 4, 5}}, {'p', "vaVav", {}}, {'i', "VvaV", {1, 3, 4}}};
    int iSlot = 4;
    for (const auto &r : aRows) {
        SCOPED_TRACE(r.cMode);
        iFrameNo = 0;
        _VXQ_S_DPS_NET_PORT_DATA *pA = VXQ_F_OFFLINE_AddViewer(p, iSlot++, 1, 0);
        pA->tMedia.bVideoPause = pA->tMedia.bAudioPause = r.cMode == 'p';
        pA->tMedia.bOnlyIFrame = r.cMode == 'i';
        for (const char *c = r.sFrames; *c; c++)
            Frame(*c);
        std::vector<int> tGot;
        for (const DirectSent &t : To(pA)) {
            tGot.push_back(t.iNo);
            bool bAudio = r.sFrames[t.iNo - 1] == 'a';
            EXPECT_EQ(t.tFrame.bVideo, !bAudio);
            EXPECT_EQ(t.iSendClass, bAudio ? 11 : 10);
            if (tGot.size() == 1) {
                EXPECT_EQ(t.tFrame.iFrameType, 1);
            }
        }
        EXPECT_EQ(tGot, r.tSent);
    }
}

/* The host's two entries post their frames as control work; each keeps its kind. */
TEST_F(DirectPath, TheHostsVideoAndAudioEntriesReachTheViewerAsVideoAndAudio)
{
    _VXQ_S_DPS_NET_PORT_DATA *pA = VXQ_F_OFFLINE_AddViewer(p, 4, 1, 0);
    uint8_t a[16] = {7};
    VXQ_F_DPS_MC_APUP_SendVideoFrameData(p, 1, 0, 1, a, sizeof(a));
    VXQ_F_DPS_MC_APUP_SendAudioFrameData(p, 1, 0, a, 8);
    while (VXQ_F_DPS_MC_DoOrderQueue(p) > 0) {
    }
    std::vector<DirectSent> t = To(pA);
    ASSERT_EQ(t.size(), 2u);
    EXPECT_TRUE(t[0].tFrame.bVideo);
    EXPECT_EQ(t[0].tFrame.iDataLen, sizeof(a));
    EXPECT_FALSE(t[1].tFrame.bVideo);
    EXPECT_EQ(t[1].tFrame.iDataLen, 8u);
}

TEST_F(DirectPath, LossModeSkipsPFramesAndEndsAtTheFirstIFrameSixtySecondsAfterTheOverload)
{
    TestClock tClock;
    _VXQ_S_DPS_NET_PORT_DATA *pA = VXQ_F_OFFLINE_AddViewer(p, 4, 1, 0);
    /* A budget below what the connections hold overloads at the next I-frame. */
    p->iMediaDataBufSize = 0;
    Frame('V');
    EXPECT_EQ(pA->tMedia.bLossMode, 1u);
    EXPECT_EQ(pA->tMedia.bRecvIFrame, 1u) << "the I-frame at hand starts the viewer again";
    ASSERT_EQ(To(pA).size(), 1u);
    p->iMediaDataBufSize = 10485760;
    struct Step {
        uint32_t dwAdvanceSec;
        char cKind;
        bool bSent;
        uint32_t bLossAfter;
    } aSteps[] = {
        {1, 'v', false, 1}, {58, 'V', true, 1}, /* 59 s: I-frames still pass, loss mode stays */
        {0, 'v', false, 1}, {1, 'v', false, 1}, /* 60 s: only an I-frame ends it */
        {0, 'V', true, 0},  {0, 'v', true, 0},
    };
    for (const Step &s : aSteps) {
        tClock.AdvanceSec(s.dwAdvanceSec);
        size_t iBefore = To(pA).size();
        Frame(s.cKind);
        EXPECT_EQ(To(pA).size() > iBefore, s.bSent) << iFrameNo;
        EXPECT_EQ(pA->tMedia.bLossMode, s.bLossAfter) << iFrameNo;
    }
}

TEST_F(DirectPath, AFailedSendDropsOnlyThatViewer)
{
    _VXQ_S_DPS_NET_PORT_DATA *pA = VXQ_F_OFFLINE_AddViewer(p, 4, 1, 0);
    _VXQ_S_DPS_NET_PORT_DATA *pB = VXQ_F_OFFLINE_AddViewer(p, 6, 1, 0);
    g_dwFailPortId = pA->dwPortId;
    Frame('V');
    EXPECT_EQ(p->pConn[4], nullptr) << "the failed viewer was released";
    EXPECT_EQ(To(pB).size(), 1u);
    EXPECT_EQ(pSubCh->iStreamOpenState, 2) << "another viewer still watches";
}

TEST_F(DirectPath, FramesForAClosedSubChannelAreShownOnceAndAfterThirtySecondsTheHostIsToldToClose)
{
    TestClock tClock;
    pSubCh->iStreamOpenState = 0;
    VXQ_F_OFFLINE_AddViewer(p, 4, 1, 0);
    Frame('V');
    uint32_t dwFirst = pSubCh->dwNotOpenFrameTime;
    EXPECT_NE(dwFirst, 0u);
    EXPECT_TRUE(g_tDirect.empty());
    tClock.AdvanceSec(29);
    Frame('a');
    EXPECT_EQ(pSubCh->dwNotOpenFrameTime, dwFirst);
    EXPECT_TRUE(VXQ_F_OFFLINE_TakeEvents(p).empty());
    tClock.AdvanceSec(1);
    Frame('v');
    EXPECT_EQ(pSubCh->dwNotOpenFrameTime, 0u);
    const int32_t aEvent[6] = {EVENT_E2_CLOSE_MEDIA_STREAM, 0, 0, 8, 1, 0}; /* no transaction; channel 1, stream 0 */
    EXPECT_EQ(VXQ_F_OFFLINE_TakeEvents(p),
              std::vector<std::vector<uint8_t>>(1, std::vector<uint8_t>((const uint8_t *)aEvent, (const uint8_t *)(aEvent + 6))));
    Frame('v');
    EXPECT_NE(pSubCh->dwNotOpenFrameTime, 0u) << "the next frame starts the wait again";
}

TEST_F(DirectPath, ClosingTheLastOfTwoViewersReleasesTheSubChannelAndClosingTheFirstDoesNot)
{
    _VXQ_S_DPS_NET_PORT_DATA *pA = VXQ_F_OFFLINE_AddViewer(p, 4, 1, 0);
    _VXQ_S_DPS_NET_PORT_DATA *pB = VXQ_F_OFFLINE_AddViewer(p, 5, 1, 0);
    pSubCh->iVideoCodecId = 4;
    pSubCh->iMediaDataBufSize = 204800;
    VXQ_F_DPS_MC_CAPM_AddRealMediaDataToQueue(p, pSubCh, 0, 1, 0, NULL, 0);
    pA->tMedia.iStreamState = 0;
    EXPECT_EQ(VXQ_F_DPS_MC_ClientCloseMediaCh(p, 1, 0), 1);
    EXPECT_EQ(pSubCh->iStreamOpenState, 2);
    EXPECT_TRUE(VXQ_F_OFFLINE_TakeEvents(p).empty());
    pB->tMedia.iStreamState = 0;
    EXPECT_EQ(VXQ_F_DPS_MC_ClientCloseMediaCh(p, 1, 0), 1);
    EXPECT_EQ(pSubCh->iStreamOpenState, 0);
    EXPECT_EQ(pSubCh->iVideoCodecId, 0);
    EXPECT_EQ(pSubCh->pCacheListHead, nullptr);
    EXPECT_EQ(pSubCh->iMediaDataBufSize, 204800) << "the byte limit survives a release";
    EXPECT_EQ(VXQ_F_OFFLINE_TakeEvents(p).size(), 1u);
    EXPECT_EQ(VXQ_F_DPS_MC_ClientCloseMediaCh(p, 1, 3), 0) << "no such sub-channel";
    EXPECT_EQ(VXQ_F_DPS_MC_ClientCloseMediaCh(p, 1, 0), 1);
    EXPECT_TRUE(VXQ_F_OFFLINE_TakeEvents(p).empty()) << "a released sub-channel is not closed twice";
    /* A closing notice the callback queue refuses does not keep the sub-channel. */
    pSubCh->iStreamOpenState = 2;
    pSubCh->iVideoCodecId = 4;
    FillCallbackQueue();
    EXPECT_EQ(VXQ_F_DPS_MC_ClientCloseMediaCh(p, 1, 0), 1);
    EXPECT_EQ(pSubCh->iStreamOpenState, 0);
    EXPECT_EQ(pSubCh->iVideoCodecId, 0);
}

} // namespace
