/* Live view end to end: a test host answers the service's events and feeds frame
 * sequences, test clients open streams over loopback and read what a viewer gets. */
#include <gtest/gtest.h>

#include <string.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "core/conn.h"
#include "media/input.h"
#include "support/frame_decoder.h"
#include "support/test_client.h"
#include "support/test_host.h"
#include "support/wait_until.h"
#include "wire/head.h"
#include "vxq_dps.h"
#include "vxq_media.h"

namespace
{

const char *const kUser = "admin";
const char *const kPassword = "pw";

/* A description the host answers with; its values are checked in the frame heads. */
_VXQ_S_DPS_STREAM_DESC TestDesc()
{
    _VXQ_S_DPS_STREAM_DESC t;
    memset(&t, 0, sizeof(t));
    t.bVideoFlag = 1;
    t.bAudioFlag = 1;
    t.iVideoCodecId = 4;
    t.iVideoFrameRate = 25;
    t.iVideoBitRate = 2048;
    t.usVideoWidth = 1280;
    t.usVideoHeight = 720;
    t.iAudioCodecId = 2;
    t.iAudioBitRate = 16000;
    t.iAudioSampleRate = 8000;
    t.iAudioChNum = 1;
    return t;
}

class LiveView : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        VXQ_F_TESTCLI_Init(&tCmd);
        Start();
    }
    void TearDown() override
    {
        VXQ_F_TESTCLI_Close(&tCmd);
        for (_VXQ_S_TESTCLI_DATA &t : tViewers)
            VXQ_F_TESTCLI_Close(&t);
        VXQ_F_TESTHOST_Stop(&tHost);
    }
    void Start()
    {
        VXQ_F_TESTHOST_AddUser(&tHost, kUser, kPassword, 0xFF, 0xFF);
        ASSERT_EQ(VXQ_F_TESTHOST_Start(&tHost), 1);
        ASSERT_EQ(VXQ_F_TESTCLI_Connect(&tCmd, tHost.usPort), 1);
        ASSERT_EQ(VXQ_F_TESTCLI_TokenAndLogin(&tCmd, kUser, kPassword, &dwLoginId), 1);
    }

    /* A new media connection that sends a plain open; returns its index. */
    size_t SendOpen(uint16_t in_usChNo, uint16_t in_usStreamNo)
    {
        tViewers.emplace_back();
        _VXQ_S_TESTCLI_DATA &t = tViewers.back();
        VXQ_F_TESTCLI_Init(&t);
        EXPECT_EQ(VXQ_F_TESTCLI_Connect(&t, tHost.usPort), 1);
        std::vector<uint8_t> tMsg = VXQ_F_TESTCLI_BuildZeroMsg(P2_REALPLAY_OPEN, 7, 8);
        VXQ_F_TESTCLI_PutU32(tMsg, 20, dwLoginId);
        VXQ_F_TESTCLI_PutU16(tMsg, 24, in_usChNo);
        VXQ_F_TESTCLI_PutU16(tMsg, 26, in_usStreamNo);
        EXPECT_EQ(VXQ_F_TESTCLI_SendMsg(&t, tMsg), 1);
        return tViewers.size() - 1;
    }

    /* The answer to an open: its result code, or -1 when none came. */
    int ReadOpenAnswer(size_t in_iViewer, uint16_t in_usFuncId = P2_REALPLAY_OPEN)
    {
        std::vector<uint8_t> tMsg;
        if (!VXQ_F_TESTCLI_ReadMsg(&tViewers[in_iViewer], tMsg))
            return -1;
        _VXQ_S_TESTCLI_HEAD tHead;
        VXQ_F_TESTCLI_ParseHead(tMsg, &tHead);
        EXPECT_EQ(tHead.usMsgFuncId, in_usFuncId);
        EXPECT_EQ(tHead.ucPacketType, 1);
        tLastAnswer = tMsg;
        return tHead.ucResult;
    }

    /* Waits for the open-stream event of channel and stream and answers it. */
    void AnswerOpenEvent(int32_t in_iChNo, int32_t in_iStreamNo, uint8_t in_ucErrorCode = 0)
    {
        std::vector<uint8_t> tEvent;
        ASSERT_EQ(VXQ_F_TESTHOST_WaitEvent(&tHost, EVENT_E2_OPEN_MEDIA_STREAM, tEvent), 1);
        ASSERT_EQ(tEvent.size(), 16u + 48u);
        _VXQ_S_DPS_E2_OPEN_MEDIA_STREAM tBody;
        memcpy(&tBody, tEvent.data() + 16, sizeof(tBody));
        EXPECT_EQ(tBody.i_iChNo, in_iChNo);
        EXPECT_EQ(tBody.i_iStreamNo, in_iStreamNo);
        tBody.o_tDesc = TestDesc();
        std::vector<uint8_t> tOrder =
            VXQ_F_TESTHOST_BuildOrder(EVENT_E2_OPEN_MEDIA_STREAM, in_ucErrorCode, 0, &tBody, sizeof(tBody));
        tOrder[4] = VXQ_DPS_MSG_TYPE_ANSWER;
        ASSERT_EQ(VXQ_F_TESTHOST_PostOrder(&tHost, tOrder), 1);
    }

    /* Opens and, as the first viewer, has the host answer: the viewer's index. */
    size_t OpenStreaming(uint16_t in_usChNo, uint16_t in_usStreamNo, bool in_bFirst)
    {
        size_t i = SendOpen(in_usChNo, in_usStreamNo);
        if (in_bFirst)
            AnswerOpenEvent(in_usChNo, in_usStreamNo);
        EXPECT_EQ(ReadOpenAnswer(i), 0);
        return i;
    }

    /* Stream states of the media connections, in table order (control thread). */
    std::vector<int> MediaStates()
    {
        std::vector<int> t;
        VXQ_F_TESTHOST_OnControlThread(&tHost, [&](_VXQ_S_DPS_MCSRV_DATA *p) {
            for (int i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++)
                if (p->pConn[i] != NULL && p->pConn[i]->iConnType == VXQ_DPS_CONN_MEDIA)
                    t.push_back(p->pConn[i]->tMedia.iStreamState);
        });
        return t;
    }

    int SubChState(int in_iChNo, int in_iStreamNo)
    {
        int iState = -1;
        VXQ_F_TESTHOST_OnControlThread(&tHost, [&](_VXQ_S_DPS_MCSRV_DATA *p) {
            iState = p->pMediaCh[in_iChNo].tSubCh[in_iStreamNo].iStreamOpenState;
        });
        return iState;
    }

    /* Reads the next frame message of a viewer. */
    bool ReadFrame(size_t in_iViewer, TestFrameMsg &out_tFrame, std::vector<uint8_t> &out_tMsg)
    {
        if (!VXQ_F_TESTCLI_ReadMsg(&tViewers[in_iViewer], out_tMsg))
            return false;
        return TestDecodeFrameMsg(out_tMsg.data(), out_tMsg.size(), &out_tFrame);
    }

    /* Feeds frame number in_iNo of a sequence: an I-frame every in_iGop video
     * frames, one audio frame after every video frame. Data starts with the number. */
    void FeedPair(int in_iNo, int in_iGop, int in_iChNo = 1, int in_iStreamNo = 0)
    {
        uint8_t aData[64];
        memset(aData, 0x33, sizeof(aData));
        memcpy(aData, &in_iNo, 4);
        ASSERT_EQ(VXQ_F_DPS_InputVideoStream(tHost.pSrv, in_iChNo, in_iStreamNo,
                                             in_iNo % in_iGop == 0 ? 1 : 2, aData, sizeof(aData)),
                  1);
        ASSERT_EQ(VXQ_F_DPS_InputAudioStream(tHost.pSrv, in_iChNo, in_iStreamNo, aData, 16), 1);
    }

    _VXQ_S_TESTHOST_DATA tHost;
    _VXQ_S_TESTCLI_DATA tCmd;
    std::vector<_VXQ_S_TESTCLI_DATA> tViewers;
    std::vector<uint8_t> tLastAnswer;
    uint32_t dwLoginId = 0;
};

TEST_F(LiveView, TheFirstViewerWaitsForTheHostAndASecondOneArrivingMeanwhileGetsTheSameAnswer)
{
    tViewers.reserve(8);
    size_t iFirst = SendOpen(1, 0);
    ASSERT_TRUE(WaitUntil([&] { return MediaStates() == std::vector<int>({1}); }));
    size_t iSecond = SendOpen(1, 0);
    ASSERT_TRUE(WaitUntil([&] { return MediaStates() == std::vector<int>({1, 1}); }));
    EXPECT_EQ(SubChState(1, 0), 1);
    AnswerOpenEvent(1, 0);
    EXPECT_EQ(ReadOpenAnswer(iFirst), 0);
    EXPECT_EQ(ReadOpenAnswer(iSecond), 0);
    EXPECT_EQ(MediaStates(), std::vector<int>({2, 2}));
    EXPECT_EQ(SubChState(1, 0), 2);
    /* Closing both: every event before the close event has been delivered by then. */
    std::vector<uint8_t> tEvent;
    for (_VXQ_S_TESTCLI_DATA &t : tViewers)
        VXQ_F_TESTCLI_Close(&t);
    ASSERT_EQ(VXQ_F_TESTHOST_WaitEvent(&tHost, EVENT_E2_CLOSE_MEDIA_STREAM, tEvent), 1);
    std::lock_guard<std::mutex> tGuard(tHost.tLock);
    for (const std::vector<uint8_t> &t : tHost.tEvents)
        EXPECT_NE(VXQ_F_TESTHOST_MsgFuncId(t), EVENT_E2_OPEN_MEDIA_STREAM) << "one open event only";
}

TEST_F(LiveView, AFailedOpenAnswerLeavesTheSubChannelOpenAndTheWaitingViewersInStateZero)
{
    tViewers.reserve(8);
    size_t iFirst = SendOpen(3, 0);
    size_t iSecond = SendOpen(3, 0);
    ASSERT_TRUE(WaitUntil([&] { return MediaStates() == std::vector<int>({1, 1}); }));
    AnswerOpenEvent(3, 0, VXQ_DPS_APP_ERR_OPEN_STREAM);
    int iResult = ReadOpenAnswer(iFirst);
    EXPECT_GT(iResult, 0);
    EXPECT_EQ(ReadOpenAnswer(iSecond), iResult);
    EXPECT_EQ(MediaStates(), std::vector<int>({0, 0}));
    EXPECT_EQ(SubChState(3, 0), 2);
}

TEST_F(LiveView, ASmallerMediaBudgetDropsTheNewestViewersUntilItFits)
{
    tViewers.reserve(8);
    ASSERT_EQ(VXQ_F_DPS_ControlMediaResource(tHost.pSrv, 1, 10.0f, 2.0f, 1.0f), 1);
    /* tOpenTime is in seconds: make the order of the opens visible in it. */
    auto fnAge = [&](int32_t in_tOpen) {
        VXQ_F_TESTHOST_OnControlThread(&tHost, [&](_VXQ_S_DPS_MCSRV_DATA *p) {
            int32_t tNewest = 0;
            _VXQ_S_DPS_NET_PORT_DATA *pNewest = NULL;
            for (int i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++) {
                _VXQ_S_DPS_NET_PORT_DATA *c = p->pConn[i];
                if (c != NULL && c->iConnType == VXQ_DPS_CONN_MEDIA && c->tOpenTime >= tNewest &&
                    c->tOpenTime > 1000) {
                    tNewest = c->tOpenTime;
                    pNewest = c;
                }
            }
            ASSERT_NE(pNewest, nullptr) << "an accepted open sets tOpenTime";
            pNewest->tOpenTime = in_tOpen;
        });
    };
    size_t iMain1 = OpenStreaming(0, 0, true);
    fnAge(101);
    size_t iMain2 = OpenStreaming(0, 0, false);
    fnAge(102);
    size_t iMain3 = OpenStreaming(0, 0, false);
    fnAge(103);
    size_t iSub = OpenStreaming(0, 1, true);
    fnAge(104);
    /* One record download client. */
    _VXQ_S_TESTCLI_DATA tReplay;
    VXQ_F_TESTCLI_Init(&tReplay);
    ASSERT_EQ(VXQ_F_TESTCLI_Connect(&tReplay, tHost.usPort), 1);
    std::vector<uint8_t> tAnswer;
    ASSERT_EQ(VXQ_F_TESTCLI_Heartbeat(&tReplay, tAnswer), 1);
    VXQ_F_TESTHOST_OnControlThread(&tHost, [&](_VXQ_S_DPS_MCSRV_DATA *p) {
        for (int i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++)
            if (p->pConn[i] != NULL && p->pConn[i]->iConnType == VXQ_DPS_CONN_NEW)
                p->pConn[i]->iConnType = VXQ_DPS_CONN_DOWN;
    });

    float fMax = 0, fFree = 0;

    /* 5 - 8 = -3: the sub viewer (newest, 1) and the third main viewer (2) go. */
    ASSERT_EQ(VXQ_F_DPS_ControlMediaResource(tHost.pSrv, 1, 5.0f, 2.0f, 1.0f), 1);
    EXPECT_EQ(VXQ_F_TESTCLI_WaitPeerClosed(&tViewers[iSub]), 1);
    EXPECT_EQ(VXQ_F_TESTCLI_WaitPeerClosed(&tViewers[iMain3]), 1);
    ASSERT_EQ(VXQ_F_DPS_GetFreeMediaResourceNum(tHost.pSrv, &fMax, &fFree), 1);
    EXPECT_EQ(fFree, 0.0f);
    EXPECT_EQ(MediaStates().size(), 2u);
    std::vector<uint8_t> tBeat;
    EXPECT_EQ(VXQ_F_TESTCLI_Heartbeat(&tViewers[iMain1], tBeat), 1);
    EXPECT_EQ(VXQ_F_TESTCLI_Heartbeat(&tViewers[iMain2], tBeat), 1);

    VXQ_F_TESTCLI_Close(&tReplay);
}

TEST_F(LiveView, TheHostClosingAStreamDropsItsViewersAndIsAnswered)
{
    tViewers.reserve(8);
    size_t iViewer = OpenStreaming(2, 0, true);
    _VXQ_S_DPS_E2_CH_STREAM tBody = {2, 0};
    ASSERT_EQ(VXQ_F_TESTHOST_PostOrder(&tHost, VXQ_F_TESTHOST_BuildOrder(EVENT_E2_CLOSE_MEDIA_STREAM, 0, 0,
                                                                         &tBody, sizeof(tBody))),
              1);
    EXPECT_EQ(VXQ_F_TESTCLI_WaitPeerClosed(&tViewers[iViewer]), 1);
    std::vector<uint8_t> tEvent;
    ASSERT_EQ(VXQ_F_TESTHOST_WaitEvent(&tHost, EVENT_E2_CLOSE_MEDIA_STREAM, tEvent), 1);
    EXPECT_EQ(tEvent[4], VXQ_DPS_MSG_TYPE_ANSWER);
    EXPECT_EQ(tEvent[5], 0);
    EXPECT_EQ(SubChState(2, 0), 0);
}

TEST_F(LiveView, AQualityCapabilityAnswerWithNineEntriesSendsEight)
{
    std::vector<uint8_t> tReq = VXQ_F_TESTCLI_BuildZeroMsg(P2_GET_VIDEO_QUALITY_CAP, 5, 236);
    VXQ_F_TESTCLI_PutU32(tReq, 20, dwLoginId);
    VXQ_F_TESTCLI_PutU16(tReq, 24, 1);
    ASSERT_EQ(VXQ_F_TESTCLI_SendMsg(&tCmd, tReq), 1);
    std::vector<uint8_t> tEvent;
    ASSERT_EQ(VXQ_F_TESTHOST_WaitEvent(&tHost, EVENT_E2_GET_VIDEO_QUALITY_CAP, tEvent), 1);
    ASSERT_EQ(VXQ_F_TESTHOST_BodyLen(tEvent), 232);
    EXPECT_NE(VXQ_F_TESTHOST_TransId(tEvent), 0u);
    /* The host answers with nine entries (one more than the body holds). */
    std::vector<uint8_t> tBody(8 + 9 * 28, 0);
    memcpy(tBody.data(), tEvent.data() + 16, 4);
    int32_t iNum = 9;
    memcpy(tBody.data() + 4, &iNum, 4);
    for (int i = 0; i < 9; i++) {
        _VXQ_S_DPS_VIDEO_QUALITY_CAP_ITEM tItem;
        memset(&tItem, 'x', sizeof(tItem.sName)); /* no terminator: cut to 15 */
        tItem.dwValue = 0x01020300u + (uint32_t)i;
        for (int j = 0; j < 4; j++)
            tItem.usValue[j] = (uint16_t)(0x100 * i + j);
        memcpy(tBody.data() + 8 + 28 * i, &tItem, 28);
    }
    ASSERT_EQ(
        VXQ_F_TESTHOST_PostOrder(&tHost, VXQ_F_TESTHOST_BuildOrder(EVENT_E2_GET_VIDEO_QUALITY_CAP, 0,
                                                                   VXQ_F_TESTHOST_TransId(tEvent),
                                                                   tBody.data(), (int32_t)tBody.size())),
        1);
    std::vector<uint8_t> tAnswer;
    ASSERT_EQ(VXQ_F_TESTCLI_ReadMsg(&tCmd, tAnswer), 1);
    ASSERT_EQ(tAnswer.size(), 256u);
    EXPECT_EQ(tAnswer[10] & 3, 1);
    EXPECT_EQ(tAnswer[11], 0);
    EXPECT_EQ(VXQ_F_TESTCLI_GetU32(tAnswer, 28), 8u);
    for (int i = 0; i < 8; i++) {
        size_t iOff = 32 + 28 * (size_t)i;
        EXPECT_EQ(std::string((const char *)tAnswer.data() + iOff), std::string(15, 'x'));
        EXPECT_EQ(VXQ_F_TESTCLI_GetU32(tAnswer, iOff + 16), 0x01020300u + (uint32_t)i);
        EXPECT_EQ(VXQ_F_TESTCLI_GetU16(tAnswer, iOff + 26), (uint16_t)(0x100 * i + 3));
    }
}

TEST_F(LiveView, QualityLevelIsReadAndSetThroughTheHost)
{
    /* Get: the host's level lands at body offset 8 of the answer. */
    std::vector<uint8_t> tGet = VXQ_F_TESTCLI_BuildZeroMsg(P2_GET_VIDEO_QUALITY_LEVEL, 8, 12);
    VXQ_F_TESTCLI_PutU32(tGet, 20, dwLoginId);
    VXQ_F_TESTCLI_PutU16(tGet, 24, 2);
    VXQ_F_TESTCLI_PutU16(tGet, 26, 1);
    ASSERT_EQ(VXQ_F_TESTCLI_SendMsg(&tCmd, tGet), 1);
    std::vector<uint8_t> tEvent, tAnswer;
    ASSERT_EQ(VXQ_F_TESTHOST_WaitEvent(&tHost, EVENT_E2_GET_VIDEO_QUALITY_LEVEL, tEvent), 1);
    _VXQ_S_DPS_E2_VIDEO_QUALITY_LEVEL tLevel;
    memcpy(&tLevel, tEvent.data() + 16, sizeof(tLevel));
    EXPECT_EQ(tLevel.i_usChNo, 2);
    EXPECT_EQ(tLevel.i_usStreamNo, 1);
    EXPECT_EQ(tLevel.dwLevel, 0u);
    tLevel.dwLevel = 6;
    ASSERT_EQ(VXQ_F_TESTHOST_PostOrder(&tHost, VXQ_F_TESTHOST_BuildOrder(EVENT_E2_GET_VIDEO_QUALITY_LEVEL, 0,
                                                                         VXQ_F_TESTHOST_TransId(tEvent),
                                                                         &tLevel, sizeof(tLevel))),
              1);
    ASSERT_EQ(VXQ_F_TESTCLI_ReadMsg(&tCmd, tAnswer), 1);
    EXPECT_EQ(tAnswer.size(), 32u);
    EXPECT_EQ(tAnswer[11], 0);
    EXPECT_EQ(VXQ_F_TESTCLI_GetU32(tAnswer, 28), 6u);
    EXPECT_EQ(VXQ_F_TESTCLI_GetU32(tAnswer, 12), 8u) << "the client's transaction number comes back";

    /* Set: the level travels in the event; the host's refusal comes back as a result code. */
    std::vector<uint8_t> tSet = tGet;
    tSet[8] = P2_SET_VIDEO_QUALITY_LEVEL & 0xFF;
    VXQ_F_TESTCLI_PutU32(tSet, 28, 3);
    ASSERT_EQ(VXQ_F_TESTCLI_SendMsg(&tCmd, tSet), 1);
    ASSERT_EQ(VXQ_F_TESTHOST_WaitEvent(&tHost, EVENT_E2_SET_VIDEO_QUALITY_LEVEL, tEvent), 1);
    memcpy(&tLevel, tEvent.data() + 16, sizeof(tLevel));
    EXPECT_EQ(tLevel.dwLevel, 3u);
    ASSERT_EQ(VXQ_F_TESTHOST_AnswerEvent(&tHost, tEvent, VXQ_DPS_APP_ERR_PARAM), 1);
    ASSERT_EQ(VXQ_F_TESTCLI_ReadMsg(&tCmd, tAnswer), 1);
    EXPECT_EQ(VXQ_F_TESTCLI_GetU16(tAnswer, 8), P2_SET_VIDEO_QUALITY_LEVEL);
    EXPECT_NE(tAnswer[11], 0);

    /* Only on the command connection that holds the login. */
    VXQ_F_TESTCLI_PutU32(tGet, 20, dwLoginId + 1);
    ASSERT_EQ(VXQ_F_TESTCLI_Request(&tCmd, tGet, tAnswer), 1);
    EXPECT_EQ(tAnswer[11], 6);
}

TEST_F(LiveView, PtzIsPassedToTheHostAndItsAnswerGoesBack)
{
    std::vector<uint8_t> tReq = VXQ_F_TESTCLI_BuildZeroMsg(P2_PTZ, 6, 24);
    VXQ_F_TESTCLI_PutU32(tReq, 20, dwLoginId);
    VXQ_F_TESTCLI_PutU32(tReq, 24, 3);
    VXQ_F_TESTCLI_PutU32(tReq, 28, 21);
    VXQ_F_TESTCLI_PutU32(tReq, 32, 7);
    ASSERT_EQ(VXQ_F_TESTCLI_SendMsg(&tCmd, tReq), 1);
    std::vector<uint8_t> tEvent;
    ASSERT_EQ(VXQ_F_TESTHOST_WaitEvent(&tHost, EVENT_E2_PTZ_CTRL, tEvent), 1);
    _VXQ_S_DPS_E2_PTZ_CTRL tBody;
    memcpy(&tBody, tEvent.data() + 16, sizeof(tBody));
    EXPECT_EQ(tBody.i_iChNo, 3);
    EXPECT_EQ(tBody.i_iPtzCmd, 21);
    EXPECT_EQ(tBody.i_dwPtzData, 7u);
    ASSERT_EQ(VXQ_F_TESTHOST_AnswerEvent(&tHost, tEvent, VXQ_DPS_APP_ERR_NOT_SUPPORT_PTZ), 1);
    std::vector<uint8_t> tAnswer;
    ASSERT_EQ(VXQ_F_TESTCLI_ReadMsg(&tCmd, tAnswer), 1);
    EXPECT_EQ(VXQ_F_TESTCLI_GetU16(tAnswer, 8), P2_PTZ);
    EXPECT_NE(tAnswer[11], 0);
}

TEST_F(LiveView, DatagramRealplayIsRefusedWith40)
{
    for (uint16_t usId : {(uint16_t)P2_RM_REALPLAY_OPEN, (uint16_t)P2_RM_REALPLAY_CLOSE}) {
        std::vector<uint8_t> tAnswer;
        ASSERT_EQ(VXQ_F_TESTCLI_Request(&tCmd, VXQ_F_TESTCLI_BuildZeroMsg(usId, 1, 0), tAnswer), 1);
        EXPECT_EQ(tAnswer[11], 40);
    }
}

/* The host's event callback runs on the service's callback thread only. While
 * it sits on one event (here until the test lets it go; no time rule is
 * involved, the service's clocks may run), frames still reach the viewers and
 * the service still answers what it answers itself, on every connection; only
 * the events behind the slow one wait. */
TEST_F(LiveView, ASlowEventCallbackDelaysNeitherFramesToViewersNorAnswersOnOtherConnections)
{
    tViewers.reserve(8);
    size_t iViewer = OpenStreaming(1, 0, true);
    struct Gate {
        std::mutex tLock;
        std::condition_variable tCond;
        bool bInside = false;
        bool bRelease = false;
        void Release()
        {
            std::lock_guard<std::mutex> tGuard(tLock);
            bRelease = true;
            tCond.notify_all();
        }
        ~Gate()
        {
            Release();
        }
    };
    std::shared_ptr<Gate> pGate = std::make_shared<Gate>();
    VXQ_F_TESTHOST_SetHook(&tHost, [pGate](_VXQ_S_TESTHOST_DATA *, const std::vector<uint8_t> &in_tEvent) {
        if (VXQ_F_TESTHOST_MsgFuncId(in_tEvent) != EVENT_E2_PTZ_CTRL)
            return;
        std::unique_lock<std::mutex> tGuard(pGate->tLock);
        if (pGate->bInside)
            return; /* only the first PTZ event is slow */
        pGate->bInside = true;
        pGate->tCond.notify_all();
        pGate->tCond.wait_for(tGuard, std::chrono::seconds(10), [&] { return pGate->bRelease; });
    });
    std::vector<uint8_t> tPtz = VXQ_F_TESTCLI_BuildZeroMsg(P2_PTZ, 6, 24);
    VXQ_F_TESTCLI_PutU32(tPtz, 20, dwLoginId);
    ASSERT_EQ(VXQ_F_TESTCLI_SendMsg(&tCmd, tPtz), 1);
    {
        std::unique_lock<std::mutex> tGuard(pGate->tLock);
        ASSERT_TRUE(pGate->tCond.wait_for(tGuard, std::chrono::seconds(5), [&] { return pGate->bInside; }));
    }
    std::vector<uint8_t> tFirstPtz;
    ASSERT_EQ(VXQ_F_TESTHOST_WaitEvent(&tHost, EVENT_E2_PTZ_CTRL, tFirstPtz), 1);
    int iEventsWhileBlocked;
    {
        std::lock_guard<std::mutex> tGuard(tHost.tLock);
        iEventsWhileBlocked = tHost.iEventTotal;
    }

    /* A second client logs in and asks the host something too: its event waits. */
    _VXQ_S_TESTCLI_DATA tOther;
    VXQ_F_TESTCLI_Init(&tOther);
    uint32_t dwOtherId = 0;
    ASSERT_EQ(VXQ_F_TESTCLI_Connect(&tOther, tHost.usPort), 1);
    ASSERT_EQ(VXQ_F_TESTCLI_TokenAndLogin(&tOther, kUser, kPassword, &dwOtherId), 1);
    std::vector<uint8_t> tOtherPtz = VXQ_F_TESTCLI_BuildZeroMsg(P2_PTZ, 8, 24);
    VXQ_F_TESTCLI_PutU32(tOtherPtz, 20, dwOtherId);
    ASSERT_EQ(VXQ_F_TESTCLI_SendMsg(&tOther, tOtherPtz), 1);

    /* Video frames fed meanwhile reach the viewer (audio stays paused for a
     * plain open), one by one, in order, each within the read deadline. */
    for (int iNo = 0; iNo < 10; iNo++) {
        FeedPair(iNo, 5);
        TestFrameMsg tFrame;
        std::vector<uint8_t> tMsg;
        ASSERT_TRUE(ReadFrame(iViewer, tFrame, tMsg)) << "frame " << iNo << " while the callback is busy";
        EXPECT_TRUE(tFrame.bVideo);
        int iSeen = -1;
        memcpy(&iSeen, tFrame.pData, 4);
        EXPECT_EQ(iSeen, iNo);
    }
    /* Heartbeats are answered on the waiting connection and on the other one. */
    std::vector<uint8_t> tAnswer;
    ASSERT_EQ(VXQ_F_TESTCLI_Heartbeat(&tCmd, tAnswer), 1);
    EXPECT_EQ(VXQ_F_TESTCLI_GetU16(tAnswer, 8), 0x0001);
    ASSERT_EQ(VXQ_F_TESTCLI_Heartbeat(&tOther, tAnswer), 1);
    EXPECT_EQ(VXQ_F_TESTCLI_GetU16(tAnswer, 8), 0x0001);
    {
        std::lock_guard<std::mutex> tGuard(tHost.tLock);
        EXPECT_EQ(tHost.iEventTotal, iEventsWhileBlocked) << "the callback thread was really held";
    }

    /* Let go: the waiting event comes, and both requests get their answers. */
    pGate->Release();
    std::vector<uint8_t> tSecondPtz;
    ASSERT_EQ(VXQ_F_TESTHOST_WaitEvent(&tHost, EVENT_E2_PTZ_CTRL, tSecondPtz), 1);
    ASSERT_EQ(VXQ_F_TESTHOST_AnswerEvent(&tHost, tFirstPtz, 0), 1);
    ASSERT_EQ(VXQ_F_TESTHOST_AnswerEvent(&tHost, tSecondPtz, 0), 1);
    for (_VXQ_S_TESTCLI_DATA *pCli : {&tCmd, &tOther}) {
        ASSERT_EQ(VXQ_F_TESTCLI_ReadMsg(pCli, tAnswer), 1);
        EXPECT_EQ(VXQ_F_TESTCLI_GetU16(tAnswer, 8), P2_PTZ);
        EXPECT_EQ(tAnswer[11], 0);
    }
    VXQ_F_TESTHOST_SetHook(&tHost, nullptr);
    VXQ_F_TESTCLI_Close(&tOther);
}

} // namespace
