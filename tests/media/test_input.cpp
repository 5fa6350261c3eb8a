/* Media input from the host: order layout, queue budget, frame orders into the
 * cache, the codec change and the resource control. */
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "clibody.h"
#include "core/channel.h"
#include "media/cache.h"
#include "media/input.h"
#include "support/offline_rig.h"
#include "support/frame_decoder.h"
#include "support/test_client.h"
#include "support/test_host.h"
#include "support/wait_until.h"
#include "vxq_dps.h"
#include "vxq_queue.h"

namespace
{

std::vector<std::vector<uint8_t>> g_tFrames;

int FakeSend(_VXQ_S_DPS_MCSRV_DATA *, _VXQ_S_DPS_NET_PORT_DATA *, const uint8_t *in_pMsg, int32_t in_iLen,
             uint32_t)
{
    g_tFrames.emplace_back(in_pMsg, in_pMsg + in_iLen);
    return 1;
}

class MediaInput : public OfflineRig
{
  protected:
    void SetUp() override
    {
        OfflineRig::SetUp();
        g_tFrames.clear();
        p->tHooks.fnFrameSend = FakeSend;
    }
};

TEST_F(MediaInput, EachInputFunctionDeliversItsFrameAndCountsAsItsWholeOrderAgainstTheBudget)
{
    p->pMediaCh[3].tSubCh[2].iStreamOpenState = 2;
    _VXQ_S_DPS_NET_PORT_DATA *pViewer = VXQ_F_OFFLINE_AddViewer(p, 9, 3, 2);
    const uint8_t aData[5] = {9, 8, 7, 6, 5};
    ASSERT_EQ(VXQ_F_DPS_InputVideoStream(p, 0x10003, 2, 1, aData, 5), 1);
    ASSERT_EQ(VXQ_F_DPS_InputAudioStream(p, 3, 0x20002, aData, 4), 1);
    ASSERT_EQ(VXQ_F_DPS_InputVideoStreamEx(p, 3, 2, 0x10002, 0xA1B2C3D4u, aData, 3), 1);
    ASSERT_EQ(VXQ_F_DPS_InputAudioStreamEx(p, 3, 2, 0x11223344u, aData, 2), 1);
    /* Each frame counts as head, fixed part (8, 4, 28, 24) and data. */
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_QueryQueueDataTotalLen(p->hOrderQueue),
              (16 + 8 + 5) + (16 + 4 + 4) + (16 + 28 + 3) + (16 + 24 + 2));
    /* The control thread's dispatch; each message is reported sent before the next frame. */
    std::vector<std::vector<uint8_t>> tOrders = VXQ_F_OFFLINE_TakeOrders(p);
    ASSERT_EQ(tOrders.size(), 4u);
    for (std::vector<uint8_t> &t : tOrders) {
        VXQ_F_DPS_MW_DoOrderData(p, t.data(), (int32_t)t.size());
        pViewer->tMedia.iSendingNum = 0;
    }
    /* Video I, audio, video P at its stamp, audio at its stamp (0: the tick stamp). */
    const uint32_t aStamp[4] = {0, 0, 0xA1B2C3D4u, 0x11223344u};
    ASSERT_EQ(g_tFrames.size(), 4u) << "channel and stream are cut to 16 bits";
    for (size_t i = 0; i < 4; i++) {
        TestFrameMsg d;
        ASSERT_TRUE(TestDecodeFrameMsg(g_tFrames[i].data(), g_tFrames[i].size(), &d));
        EXPECT_EQ(d.bVideo, i % 2 == 0) << i;
        EXPECT_EQ(d.iFrameType, i == 0 ? 1 : i == 2 ? 2 : 0) << i;
        if (aStamp[i] != 0) {
            EXPECT_EQ(d.dwTimeStamp, aStamp[i]) << i;
        }
        ASSERT_EQ(d.iDataLen, 5 - i) << i;
        EXPECT_EQ(0, memcmp(d.pData, aData, d.iDataLen)) << i;
    }
}

TEST_F(MediaInput, AFrameIsRefusedWhileTheOrderQueueHoldsTheBudgetEvenWithFreeEntries)
{
    p->iMediaDataBufSize = 164;
    std::vector<uint8_t> tData(60, 1);
    EXPECT_EQ(VXQ_F_DPS_InputVideoStream(p, 0, 0, 1, tData.data(), 0), 0) << "no data";
    EXPECT_EQ(VXQ_F_DPS_InputVideoStream(p, 0, 0, 1, tData.data(), 60), 1); /* 84 bytes queued */
    EXPECT_EQ(VXQ_F_DPS_InputAudioStream(p, 0, 0, tData.data(), 60), 1);    /* 84 < 164: taken; 164 queued: the budget */
    EXPECT_EQ(VXQ_F_DPS_InputVideoStream(p, 0, 0, 2, tData.data(), 1), 0);
    EXPECT_EQ(VXQ_F_DPS_InputAudioStreamEx(p, 0, 0, 0, tData.data(), 1), 0);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetCount(p->hOrderQueue), 2);
    VXQ_F_OFFLINE_TakeOrders(p);
    EXPECT_EQ(VXQ_F_DPS_InputVideoStream(p, 0, 0, 2, tData.data(), 1), 1);
}

/* Frame orders as a host posts them: head, fixed part (channel, stream, video
 * frame type at 4, time stamp at 8 for video and 4 for audio), data. A short
 * order is handled with zeros for what it lacks and no data. */
TEST_F(MediaInput, FrameOrdersAreReadAtTheirOffsetsAndShortOnesAsZeros)
{
    p->pMediaCh[2].tSubCh[1].iStreamOpenState = 2;
    VXQ_F_OFFLINE_AddViewer(p, 9, 2, 1);
    typedef int (*Handler)(_VXQ_S_DPS_MCSRV_DATA *, uint8_t *, int32_t);
    const struct {
        Handler fn;
        size_t iFixed, iBody, iStampAt;
        uint32_t dwStamp;
        int iSent; /* -1: nothing (a P-frame before any I-frame), else the data length */
    } aRows[] = {
        {VXQ_F_DPS_MW_DoOrder_MEDIA_E8_VIDEO_FRAME, 8, 4, 0, 0, -1},
        {VXQ_F_DPS_MW_DoOrder_MEDIA_E8_VIDEO_FRAME, 8, 7, 0, 0, 0},
        {VXQ_F_DPS_MW_DoOrder_MEDIA_E8_VIDEO_FRAME_EX, 28, 34, 8, 4000, 6},
        {VXQ_F_DPS_MW_DoOrder_MEDIA_E8_AUDIO_FRAME_EX, 24, 27, 4, 4020, 3},
    };
    for (const auto &r : aRows) {
        std::vector<uint8_t> t(16 + r.iBody, 0);
        const uint16_t aChSt[3] = {2, 1, 1}; /* channel, stream, I-frame */
        memcpy(t.data() + 16, aChSt, std::min<size_t>(r.iBody, r.iFixed == 24 ? 4 : 6));
        if (r.iStampAt != 0)
            memcpy(t.data() + 16 + r.iStampAt, &r.dwStamp, 4);
        for (size_t i = r.iFixed; i < r.iBody; i++)
            t[16 + i] = (uint8_t)(i + 1);
        g_tFrames.clear();
        EXPECT_EQ(r.fn(p, t.data(), (int32_t)t.size()), 1);
        ASSERT_EQ(g_tFrames.size(), r.iSent < 0 ? 0u : 1u) << r.iBody;
        if (r.iSent < 0)
            continue;
        TestFrameMsg d;
        ASSERT_TRUE(TestDecodeFrameMsg(g_tFrames[0].data(), g_tFrames[0].size(), &d));
        EXPECT_EQ(d.bVideo, r.iFixed != 24);
        if (r.dwStamp != 0) {
            EXPECT_EQ(d.dwTimeStamp, r.dwStamp);
        }
        ASSERT_EQ(d.iDataLen, (size_t)r.iSent);
        EXPECT_EQ(0, memcmp(d.pData, t.data() + 16 + r.iFixed, d.iDataLen));
    }
}

/* The order is head and twelve words in the host's byte order (sizes 16-bit at
 * 28 and 30); the sub-channel takes the description's eleven values in order. */
TEST_F(MediaInput, TheCodecChangeCarriesElevenValuesAndRewritesAnyStateButOnlyAsARequest)
{
    ASSERT_EQ(VXQ_F_DPS_ModifyCodec(p, 1, 2, 1, 0, 5, 30, 4096, 1920, 1080, 3, 32000, 16000, 2), 1);
    std::vector<std::vector<uint8_t>> t = VXQ_F_OFFLINE_TakeOrders(p);
    ASSERT_EQ(t.size(), 1u);
    const uint32_t aWords[16] = {EVENT_E2_MODIFY_CODEC, 0, 0, 48, 1, 2, 1, 0, 5, 30, 4096, 0, 3, 32000, 16000, 2};
    const uint16_t aSize[2] = {1920, 1080};
    std::vector<uint8_t> tExpect(64);
    memcpy(tExpect.data(), aWords, 64);
    memcpy(tExpect.data() + 44, aSize, 4);
    ASSERT_EQ(t[0], tExpect);
    _VXQ_S_DPS_MEDIA_SUB_CH_DATA *pSubCh = &p->pMediaCh[1].tSubCh[2];
    t[0][4] = 1; /* not a request: ignored */
    EXPECT_EQ(VXQ_F_DPS_MW_DoOrder_EVENT_E2_MODIFY_CODEC(p, t[0].data(), 64), 0);
    EXPECT_EQ(pSubCh->iVideoCodecId, 0);
    t[0][4] = 0;
    EXPECT_EQ(VXQ_F_DPS_MW_DoOrder_EVENT_E2_MODIFY_CODEC(p, t[0].data(), 63), 0) << "short body";
    EXPECT_EQ(VXQ_F_DPS_MW_DoOrder_EVENT_E2_MODIFY_CODEC(p, t[0].data(), 64), 1);
    EXPECT_EQ(pSubCh->iStreamOpenState, 0) << "the state is not touched";
    const std::vector<int32_t> tGot = {(int32_t)pSubCh->bVideoFlag, (int32_t)pSubCh->bAudioFlag, pSubCh->iVideoCodecId,
                                       pSubCh->iVideoFrameRate, pSubCh->iVideoBitRate, pSubCh->usVideoWidth,
                                       pSubCh->usVideoHeight, pSubCh->iAudioCodecId, pSubCh->iAudioBitRate,
                                       pSubCh->iAudioSampleRate, pSubCh->iAudioChNum};
    EXPECT_EQ(tGot, (std::vector<int32_t>{1, 0, 5, 30, 4096, 1920, 1080, 3, 32000, 16000, 2}));
    memset(t[0].data() + 16, 0xFF, 4); /* channel -1 */
    EXPECT_EQ(VXQ_F_DPS_MW_DoOrder_EVENT_E2_MODIFY_CODEC(p, t[0].data(), 64), 0);
}

/* The argument checks (which value is refused, with its text): MediaResource. */
TEST_F(MediaInput, ResourceControlRefusesBadValuesAndSwitchingOffRestoresTheDefaults)
{
    EXPECT_EQ(VXQ_F_DPS_ControlMediaResource(p, 1, 10.0f, 0.5f, 1.0f), 0);
    EXPECT_EQ(VXQ_F_DPS_ControlMediaResource(p, 1, 10.0f, 2.0f, 1.5f), 1);
    EXPECT_EQ(p->bMediaResCtrl, 1);
    /* The release step went to the control thread as work, not run here. */
    EXPECT_EQ(VXQ_F_OFFLINE_TakeOrders(p).size(), 1u);
    EXPECT_EQ(VXQ_F_DPS_ControlMediaResource(p, 0, -5.0f, 0.0f, 0.0f), 1);
    EXPECT_EQ(p->bMediaResCtrl, 0);
    EXPECT_EQ(p->fMaxMediaResourceNum, 64.0f);
    EXPECT_EQ(p->fMainMediaResourceLoss, 1.0f);
    EXPECT_EQ(p->fReplayResourceLoss, 1.0f);
    float f = 0;
    EXPECT_EQ(VXQ_F_DPS_GetFreeMediaResourceNum(p, &f, &f), 0) << "accounting off";
}

} // namespace

/* Host threads feed at once while the control thread delivers: every viewer
 * gets only its own channel's video, in order, up to the last frame (an
 * I-frame, which no drop rule skips). Run under ThreadSanitizer too. */
typedef HostFixture MediaInputFeeders;

TEST_F(MediaInputFeeders, FourHostThreadsFeedTheirChannelsAtOnceAndEachViewerGetsItsOwnFramesInOrder)
{
    const int kChannels = 4, kLastFrame = 300;
    VXQ_F_TESTHOST_SetHook(&m_tHost, VXQ_F_TESTHOST_AnswerOpenStream);
    uint32_t dwLoginId = Client().dwLoginId;
    std::vector<std::unique_ptr<TestClient>> tViewers;
    for (int iCh = 0; iCh < kChannels; iCh++) {
        tViewers.emplace_back(new TestClient);
        ASSERT_TRUE(tViewers.back()->Connect(m_tHost.usPort));
        ASSERT_EQ(Ask(*tViewers.back(), VXQ_F_CLI_BuildExRealplayOpen(1, dwLoginId, (uint16_t)iCh, 0, 0)).at(11), 0)
            << "channel " << iCh;
    }
    std::atomic<int> iRefusedForGood{0};
    std::vector<std::thread> tFeeders;
    for (int iCh = 0; iCh < kChannels; iCh++) {
        tFeeders.emplace_back([&, iCh] {
            uint8_t aData[512];
            memset(aData, 0x3C, sizeof(aData));
            for (int32_t iNo = 0; iNo <= kLastFrame; iNo++) {
                memcpy(aData, &iNo, 4);
                memcpy(aData + 4, &iCh, 4);
                /* A full order queue refuses; the host tries the frame again. */
                if (!WaitUntil([&] {
                        return VXQ_F_DPS_InputVideoStream(m_tHost.pSrv, iCh, 0, iNo % 10 == 0 ? 1 : 2, aData,
                                                          sizeof(aData)) == 1;
                    }) ||
                    !WaitUntil(
                        [&] { return VXQ_F_DPS_InputAudioStream(m_tHost.pSrv, iCh, 0, aData, 64) == 1; }))
                    iRefusedForGood++;
            }
        });
    }
    for (int iCh = 0; iCh < kChannels; iCh++) {
        int32_t iLast = -1, iVideo = 0;
        std::vector<uint8_t> tMsg;
        while (iLast < kLastFrame && tViewers[iCh]->ReadMsg(tMsg, 10000)) {
            _VXQ_S_CLI_MEDIA_HEAD tFrame;
            if (!VXQ_F_CLI_ParseFrame(tMsg.data(), tMsg.size(), &tFrame) || tFrame.dwDataLen < 8) {
                ADD_FAILURE() << "not a frame of ours on channel " << iCh;
                break;
            }
            int32_t iNo, iFrameCh;
            memcpy(&iNo, tFrame.pData, 4);
            memcpy(&iFrameCh, tFrame.pData + 4, 4);
            EXPECT_EQ(iFrameCh, iCh);
            if (!tFrame.bVideo)
                continue;
            EXPECT_GT(iNo, iLast) << "channel " << iCh;
            iLast = iNo;
            iVideo++;
        }
        EXPECT_EQ(iLast, kLastFrame) << "channel " << iCh << " after " << iVideo << " video frames";
    }
    for (std::thread &t : tFeeders)
        t.join();
    EXPECT_EQ(iRefusedForGood.load(), 0);
}
