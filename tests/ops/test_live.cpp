/* Live view end to end: a test host answers the service's events and feeds frame
 * sequences, test clients open streams over loopback and read what a viewer gets. */
#include "core/conn.h"
#include "media/input.h"
#include "ops/live.h"
#include "support/frame_decoder.h"
#include "support/test_host.h"
#include "support/wait_until.h"

#include <atomic>
#include <future>
#include <deque>
#include <memory>

namespace
{

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

class LiveView : public HostFixture
{
  protected:
    void SetUp() override
    {
        HostFixture::SetUp();
        pCmd = &Client();
        dwLoginId = pCmd->dwLoginId;
    }

    /* A new media connection that sends a plain open; returns its index. */
    size_t SendOpen(uint16_t in_usChNo, uint16_t in_usStreamNo)
    {
        TestClient &t = tViewers.emplace_back();
        EXPECT_TRUE(t.Connect(m_tHost.usPort));
        Bytes tMsg = Msg(P2_REALPLAY_OPEN, 8);
        TestPutLe32(tMsg, 20, dwLoginId);
        VXQ_F_TESTCLI_PutU16(tMsg, 24, in_usChNo);
        VXQ_F_TESTCLI_PutU16(tMsg, 26, in_usStreamNo);
        EXPECT_TRUE(t.Send(tMsg));
        return tViewers.size() - 1;
    }

    /* The answer to an open: its result code, or -1 when none came. */
    int ReadOpenAnswer(size_t in_iViewer)
    {
        _VXQ_S_TESTCLI_HEAD tHead = TestHead(Read(tViewers[in_iViewer]));
        if (tHead.usMsgFuncId == 0)
            return -1;
        EXPECT_EQ(tHead.usMsgFuncId, P2_REALPLAY_OPEN);
        EXPECT_EQ(tHead.ucPacketType, 1);
        return tHead.ucResult;
    }

    /* Waits for the open-stream event of channel and stream and answers it. */
    void AnswerOpenEvent(int32_t in_iChNo, int32_t in_iStreamNo, uint8_t in_ucErrorCode = 0)
    {
        Bytes tEvent = Event(EVENT_E2_OPEN_MEDIA_STREAM);
        ASSERT_EQ(tEvent.size(), 16u + 48u);
        _VXQ_S_DPS_E2_OPEN_MEDIA_STREAM tBody;
        memcpy(&tBody, tEvent.data() + 16, sizeof(tBody));
        EXPECT_EQ(tBody.i_iChNo, in_iChNo);
        EXPECT_EQ(tBody.i_iStreamNo, in_iStreamNo);
        tBody.o_tDesc = TestDesc();
        Post(EVENT_E2_OPEN_MEDIA_STREAM, in_ucErrorCode, 0, &tBody, sizeof(tBody), VXQ_DPS_MSG_TYPE_ANSWER);
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
        VXQ_F_TESTHOST_OnControlThread(&m_tHost, [&](_VXQ_S_DPS_MCSRV_DATA *p) {
            for (int i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++)
                if (p->pConn[i] != NULL && p->pConn[i]->iConnType == VXQ_DPS_CONN_MEDIA)
                    t.push_back(p->pConn[i]->tMedia.iStreamState);
        });
        return t;
    }

    int SubChState(int in_iChNo, int in_iStreamNo)
    {
        int iState = -1;
        VXQ_F_TESTHOST_OnControlThread(&m_tHost, [&](_VXQ_S_DPS_MCSRV_DATA *p) {
            iState = p->pMediaCh[in_iChNo].tSubCh[in_iStreamNo].iStreamOpenState;
        });
        return iState;
    }

    std::deque<TestClient> tViewers;
    TestClient *pCmd = nullptr;
    uint32_t dwLoginId = 0;
};

/* The first viewer waits for the host; a second one arriving meanwhile gets the
 * same answer. Accepted, both stream; refused, both are back in state 0 while the
 * sub-channel stays open. */
TEST_F(LiveView, TheFirstViewerWaitsForTheHostAndASecondOneArrivingMeanwhileGetsTheSameAnswer)
{
    const struct {
        int32_t iChNo;
        uint8_t ucHostCode;
        int iResult;
        int iState;
    } tRows[] = {{1, 0, 0, 2}, {3, VXQ_DPS_APP_ERR_OPEN_STREAM, 50, 0}};
    for (const auto &r : tRows) {
        size_t iFirst = SendOpen((uint16_t)r.iChNo, 0);
        ASSERT_TRUE(WaitUntil([&] { return MediaStates() == std::vector<int>({1}); }));
        size_t iSecond = SendOpen((uint16_t)r.iChNo, 0);
        ASSERT_TRUE(WaitUntil([&] { return MediaStates() == std::vector<int>({1, 1}); }));
        EXPECT_EQ(SubChState(r.iChNo, 0), 1);
        AnswerOpenEvent(r.iChNo, 0, r.ucHostCode);
        EXPECT_EQ(ReadOpenAnswer(iFirst), r.iResult);
        EXPECT_EQ(ReadOpenAnswer(iSecond), r.iResult);
        EXPECT_EQ(MediaStates(), std::vector<int>({r.iState, r.iState}));
        EXPECT_EQ(SubChState(r.iChNo, 0), 2);
        /* Closing both: every event before the close event has been delivered by then. */
        for (TestClient &t : tViewers)
            t.Close();
        ASSERT_FALSE(Event(EVENT_E2_CLOSE_MEDIA_STREAM).empty());
        ASSERT_TRUE(WaitUntil([&] { return MediaStates().empty(); }));
        std::lock_guard<std::mutex> tGuard(m_tHost.tLock);
        for (const Bytes &t : m_tHost.tEvents)
            EXPECT_NE(VXQ_F_TESTHOST_MsgFuncId(t), EVENT_E2_OPEN_MEDIA_STREAM) << "one open event only";
    }
}

TEST_F(LiveView, ASmallerMediaBudgetDropsTheNewestViewersUntilItFits)
{
    ASSERT_EQ(VXQ_F_DPS_ControlMediaResource(m_tHost.pSrv, 1, 10.0f, 2.0f, 1.0f), 1);
    /* tOpenTime is in seconds: make the order of the opens visible in it. */
    auto fnAge = [&](int32_t in_tOpen) {
        VXQ_F_TESTHOST_OnControlThread(&m_tHost, [&](_VXQ_S_DPS_MCSRV_DATA *p) {
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
    TestClient &tReplay = tViewers.emplace_back();
    ASSERT_TRUE(tReplay.Connect(m_tHost.usPort));
    ASSERT_TRUE(NothingMore(tReplay));
    VXQ_F_TESTHOST_OnControlThread(&m_tHost, [&](_VXQ_S_DPS_MCSRV_DATA *p) {
        for (int i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++)
            if (p->pConn[i] != NULL && p->pConn[i]->iConnType == VXQ_DPS_CONN_NEW)
                p->pConn[i]->iConnType = VXQ_DPS_CONN_DOWN;
    });

    /* 5 - 8 = -3: the sub viewer (newest, 1) and the third main viewer (2) go. */
    ASSERT_EQ(VXQ_F_DPS_ControlMediaResource(m_tHost.pSrv, 1, 5.0f, 2.0f, 1.0f), 1);
    EXPECT_TRUE(tViewers[iSub].WaitClosed());
    EXPECT_TRUE(tViewers[iMain3].WaitClosed());
    float fMax = 0, fFree = 0;
    ASSERT_EQ(VXQ_F_DPS_GetFreeMediaResourceNum(m_tHost.pSrv, &fMax, &fFree), 1);
    EXPECT_EQ(fFree, 0.0f);
    EXPECT_EQ(MediaStates().size(), 2u);
    EXPECT_TRUE(NothingMore(tViewers[iMain1]));
    EXPECT_TRUE(NothingMore(tViewers[iMain2]));
}

TEST_F(LiveView, TheHostClosingAStreamDropsItsViewersAndIsAnswered)
{
    size_t iViewer = OpenStreaming(2, 0, true);
    _VXQ_S_DPS_E2_CH_STREAM tBody = {2, 0};
    Post(EVENT_E2_CLOSE_MEDIA_STREAM, 0, 0, &tBody, sizeof(tBody), 0);
    EXPECT_TRUE(tViewers[iViewer].WaitClosed());
    Bytes tEvent = Event(EVENT_E2_CLOSE_MEDIA_STREAM);
    ASSERT_GE(tEvent.size(), 16u);
    EXPECT_EQ(tEvent[4], VXQ_DPS_MSG_TYPE_ANSWER);
    EXPECT_EQ(tEvent[5], 0);
    EXPECT_EQ(SubChState(2, 0), 0);
}

/* The host's event callback runs on the service's callback thread only. While
 * it sits on one event (here until the test lets it go; no time rule is
 * involved, the service's clocks may run), frames still reach the viewers and
 * the service still answers what it answers itself, on every connection; only
 * the events behind the slow one wait. */
TEST_F(LiveView, ASlowEventCallbackDelaysNeitherFramesToViewersNorAnswersOnOtherConnections)
{
    size_t iViewer = OpenStreaming(1, 0, true);
    /* The first PTZ event holds the callback until the test lets it go (or
     * ends: a promise destroyed unset releases the waiter too). */
    auto pInside = std::make_shared<std::promise<void>>();
    std::future<void> tInside = pInside->get_future();
    auto pRelease = std::make_shared<std::promise<void>>();
    std::shared_future<void> tReleased = pRelease->get_future().share();
    auto pFirst = std::make_shared<std::atomic<bool>>(true);
    VXQ_F_TESTHOST_SetHook(&m_tHost, [pFirst, pInside, tReleased](_VXQ_S_TESTHOST_DATA *, const Bytes &in_tEvent) {
        if (VXQ_F_TESTHOST_MsgFuncId(in_tEvent) != EVENT_E2_PTZ_CTRL || !pFirst->exchange(false))
            return;
        pInside->set_value();
        tReleased.wait_for(std::chrono::seconds(10));
    });
    Bytes tPtz = Msg(P2_PTZ, 24);
    TestPutLe32(tPtz, 20, dwLoginId);
    ASSERT_TRUE(pCmd->Send(tPtz));
    ASSERT_EQ(tInside.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    /* A second client logs in and asks the host something too: its event waits. */
    TestClient &tOther = Client();
    TestPutLe32(tPtz, 20, tOther.dwLoginId);
    ASSERT_TRUE(tOther.Send(tPtz));
    Bytes tFirstPtz = Event(EVENT_E2_PTZ_CTRL);
    int iEventsWhileBlocked;
    {
        std::lock_guard<std::mutex> tGuard(m_tHost.tLock);
        iEventsWhileBlocked = m_tHost.iEventTotal;
    }

    /* Video frames fed meanwhile reach the viewer (audio stays paused for a
     * plain open), one by one, in order, each within the read deadline. */
    for (int iNo = 0; iNo < 10; iNo++) {
        uint8_t aData[64];
        memset(aData, 0x33, sizeof(aData));
        memcpy(aData, &iNo, 4);
        ASSERT_EQ(VXQ_F_DPS_InputVideoStream(m_tHost.pSrv, 1, 0, iNo % 5 == 0 ? 1 : 2, aData, sizeof(aData)),
                  1);
        ASSERT_EQ(VXQ_F_DPS_InputAudioStream(m_tHost.pSrv, 1, 0, aData, 16), 1);
        TestFrameMsg tFrame;
        Bytes tMsg = Read(tViewers[iViewer]);
        ASSERT_TRUE(TestDecodeFrameMsg(tMsg.data(), tMsg.size(), &tFrame))
            << "frame " << iNo << " while the callback is busy";
        EXPECT_TRUE(tFrame.bVideo);
        int iSeen = -1;
        memcpy(&iSeen, tFrame.pData, 4);
        EXPECT_EQ(iSeen, iNo);
    }
    /* Heartbeats are answered on the waiting connection and on the other one. */
    EXPECT_EQ(VXQ_F_TESTCLI_GetU16(Ask(*pCmd, Msg(VXQ_TESTCLI_FN_HEARTBEAT, 0)), 8),
              VXQ_TESTCLI_FN_HEARTBEAT);
    EXPECT_EQ(VXQ_F_TESTCLI_GetU16(Ask(tOther, Msg(VXQ_TESTCLI_FN_HEARTBEAT, 0)), 8),
              VXQ_TESTCLI_FN_HEARTBEAT);
    {
        std::lock_guard<std::mutex> tGuard(m_tHost.tLock);
        EXPECT_EQ(m_tHost.iEventTotal, iEventsWhileBlocked) << "the callback thread was really held";
    }

    /* Let go: the waiting event comes, and both requests get their answers. */
    pRelease->set_value();
    Bytes tSecondPtz = Event(EVENT_E2_PTZ_CTRL);
    Answer(tFirstPtz, 0);
    Answer(tSecondPtz, 0);
    for (TestClient *pCli : {pCmd, &tOther}) {
        Bytes tAnswer = Read(*pCli);
        EXPECT_EQ(VXQ_F_TESTCLI_GetU16(tAnswer, 8), P2_PTZ);
        EXPECT_EQ(tAnswer[11], 0);
    }
    VXQ_F_TESTHOST_SetHook(&m_tHost, nullptr);
}

} // namespace
