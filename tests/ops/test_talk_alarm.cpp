/* Voice talk, arming, alarm push and the host's own stream and talk closes: bytes
 * on the wire, events the host gets and the talk table, with the control
 * thread's duties driven by the test on the manual clock. */
#include "media/subch.h"
#include "ops/talk_alarm.h"
#include "support/offline_rig.h"

namespace
{

const uint32_t kLogin = 0x4A110001u;

Bytes TalkStart(uint32_t in_dwTransNo, uint32_t in_dwLoginId, int32_t in_iChNo)
{
    Bytes tMsg = TestMsg(P4_TALK_START, in_dwTransNo, 8);
    TestPutLe32(tMsg, 20, in_dwLoginId);
    TestPutLe32(tMsg, 24, (uint32_t)in_iChNo);
    return tMsg;
}

Bytes TalkStop(uint32_t in_dwTransNo, int32_t in_iChNo)
{
    Bytes tMsg = TestMsg(P4_TALK_STOP, in_dwTransNo, 8);
    TestPutLe32(tMsg, 24, (uint32_t)in_iChNo);
    return tMsg;
}

Bytes StartAnswer(uint8_t in_ucResult, uint32_t in_dwTransId, int32_t in_iChNo)
{
    _VXQ_S_DPS_E2_TALK_START tBody = {in_iChNo, 7, 64000, 8000, 1};
    return TestOrder(EVENT_E2_TALK_START, in_ucResult, in_dwTransId, &tBody, (int32_t)sizeof(tBody));
}

Bytes Audio(size_t in_nAudioLen)
{
    Bytes tMsg = TestMsg(PE_AUDIO_FRAME, 0, 12 + in_nAudioLen);
    for (size_t i = 0; i < in_nAudioLen; i++)
        tMsg[32 + i] = (uint8_t)(0xA0 + i);
    return tMsg;
}

class TalkAlarm : public OfflineRig
{
  protected:
    /* A logged-in command connection in slot 1 with talk rights on every channel,
     * and a new connection in slot 2 that asks for the talk. */
    void SetUp() override
    {
        OfflineRig::SetUp();
        pCmd = AddConn(1, VXQ_DPS_CONN_COMMAND, kLogin, 0, VXQ_DPS_POP_TALK);
        pTalkConn = AddConn(2, VXQ_DPS_CONN_NEW);
    }
    /* Starts a talk on channel 3 from slot 2 and lets the host accept it. */
    void StartTalking(uint32_t in_dwTransNo)
    {
        Request(pTalkConn, TalkStart(in_dwTransNo, kLogin, 3));
        OneEvent(EVENT_E2_TALK_START);
        Order(StartAnswer(0, in_dwTransNo, 3));
        ASSERT_EQ(Sent().size(), 1u);
        ASSERT_EQ(p->tTalkCh[3].iChState, VXQ_DPS_TALK_TALKING);
    }
    /* Handles the order an alarm call queued, of in_iLen bytes. */
    void HandleQueuedOrder(int32_t in_iLen)
    {
        char ucOrder[512];
        int32_t iLen = (int32_t)sizeof(ucOrder);
        ASSERT_EQ(VXQ_F_TOOLS_QUEUE_GetData(p->hOrderQueue, ucOrder, &iLen, 0), 1);
        ASSERT_EQ(iLen, in_iLen);
        Order(Bytes(ucOrder, ucOrder + iLen));
    }
    _VXQ_S_DPS_NET_PORT_DATA *pCmd = nullptr;
    _VXQ_S_DPS_NET_PORT_DATA *pTalkConn = nullptr;
};

TEST_F(TalkAlarm, TalkStartChecksChannelLoginAndRightsAndChannel10000UsesSlot64)
{
    struct Case {
        int32_t bSpecial;
        int32_t iChNo;
        uint32_t dwGlobal, dwChPop;
        int iResult; /* -1: accepted, no answer yet */
        int iSlot;
        uint32_t dwLoginId = kLogin;
    } tCases[] = {
        {1, 10000, 0, 0, -1, 64},      /* granted on 10000 itself, no rights needed */
        {0, 10000, 0xFF, 0xFF, 2, -1}, /* no special channel: invalid number */
        {0, 65, 0xFF, 0xFF, 2, -1},
        {0, -1, 0xFF, 0xFF, 2, -1},
        {0, 3, 0xFF, 0xFF, 6, -1, kLogin + 1}, /* nobody's id: answered at once with the guard rules off */
        {0, 3, 0, VXQ_DPS_POP_TALK, -1, 3},
        {0, 64, VXQ_DPS_POP_TALK, 0, -1, 64},
    };
    for (const Case &c : tCases) {
        SCOPED_TRACE(c.iChNo);
        memset(p->tTalkCh, 0, sizeof(p->tTalkCh));
        p->tDevCapInfo.bSpecialChFlag = c.bSpecial;
        pCmd->pUserInfo->dwPopMask = c.dwGlobal;
        for (int i = 0; i < 64; i++)
            pCmd->pUserInfo->dwChPopMask[i] = c.dwChPop;
        _VXQ_S_DPS_NET_PORT_DATA *pConn = AddConn(5, VXQ_DPS_CONN_NEW);
        Request(pConn, TalkStart(0x7000 + (uint32_t)c.iChNo, c.dwLoginId, c.iChNo));
        if (c.iResult >= 0) {
            EXPECT_EQ(OneSent(pConn)[11], c.iResult);
            EXPECT_TRUE(Events().empty());
            EXPECT_EQ(pConn->iConnType, VXQ_DPS_CONN_NEW);
        } else {
            EXPECT_TRUE(Sent().empty());
            Bytes tEvent = OneEvent(EVENT_E2_TALK_START);
            EXPECT_EQ(OpsEventHead(tEvent).dwTransId,
                      0x7000 + (uint32_t)c.iChNo); /* the client's own number */
            _VXQ_S_DPS_E2_TALK_START tBody;
            memcpy(&tBody, tEvent.data() + 16, sizeof(tBody));
            EXPECT_EQ(tBody.i_iTalkChNo, c.iChNo);
            const _VXQ_S_DPS_TALK_CH_DATA &t = p->tTalkCh[c.iSlot];
            EXPECT_EQ(t.iTalkChNo, c.iChNo);
            EXPECT_EQ(t.iChState, VXQ_DPS_TALK_WAIT_HOST);
            EXPECT_EQ(pConn->iConnType, VXQ_DPS_CONN_TALK);
            EXPECT_EQ(pConn->iChNo, c.iChNo);
        }
        VXQ_F_DPS_MC_NetPortData_Delete(p, pConn);
    }
}

TEST_F(TalkAlarm, SecondStartOfABusyChannelIsRefusedWith7AndTheCommandConnectionCannotBecomeATalk)
{
    Request(pTalkConn, TalkStart(1, kLogin, 3));
    OneEvent(EVENT_E2_TALK_START);
    _VXQ_S_DPS_NET_PORT_DATA *pOther = AddConn(3, VXQ_DPS_CONN_NEW);
    Request(pOther, TalkStart(2, kLogin, 3));
    EXPECT_EQ(OneSent(pOther)[11], 7);

    /* A talk on the session's own command connection would drop the session with it. */
    Request(pCmd, TalkStart(3, kLogin, 4));
    EXPECT_EQ(OneSent(pCmd)[11], 2);
    EXPECT_EQ(pCmd->iConnType, VXQ_DPS_CONN_COMMAND);
    EXPECT_TRUE(Events().empty());
}

TEST_F(TalkAlarm, AcceptedStartIsAnsweredWithAFresh44ByteResponseCarryingTheClientsNumber)
{
    Request(pTalkConn, TalkStart(0xCAFE0001u, kLogin, 3));
    OneEvent(EVENT_E2_TALK_START);
    Order(StartAnswer(0, 0xCAFE0001u, 3));
    Bytes tExpect = TestMsg(P4_TALK_START, 0xCAFE0001u, 24, 1);
    const uint32_t dwBody[] = {kLogin, 3, 7, 64000, 8000, 1};
    for (size_t i = 0; i < 6; i++)
        TestPutLe32(tExpect, 20 + 4 * i, dwBody[i]);
    EXPECT_EQ(OneSent(pTalkConn), tExpect);
    EXPECT_EQ(p->tTalkCh[3].iChState, VXQ_DPS_TALK_TALKING);
    EXPECT_EQ(p->tTalkCh[3].iDevAudioBitRate, 64000);

    /* A refusal by the host is sent with its result code, then the talk closes. */
    _VXQ_S_DPS_NET_PORT_DATA *pSecond = AddConn(6, VXQ_DPS_CONN_NEW);
    Request(pSecond, TalkStart(0x55, kLogin, 5));
    OneEvent(EVENT_E2_TALK_START);
    Order(StartAnswer(27, 0x55, 5));
    EXPECT_EQ(OneSent(pSecond)[11], 57);
    EXPECT_FALSE(ConnAlive(6));
    EXPECT_EQ(p->tTalkCh[5].iChState, 0);
}

TEST_F(TalkAlarm, StopOnTheTalkConnectionIsAnsweredThereBeforeTheTalkCloses)
{
    StartTalking(0x10);
    Request(pTalkConn, TalkStop(0x11, 3));
    Bytes tAnswer = OneSent(pTalkConn); /* sent while the connection still existed */
    EXPECT_EQ(tAnswer[11], 0);
    Bytes tEvent = OneEvent(EVENT_E2_TALK_STOP);
    EXPECT_EQ(OpsEventHead(tEvent).dwTransId, 0x11u);
    EXPECT_FALSE(ConnAlive(2));
    EXPECT_EQ(p->tTalkCh[3].iChState, 0);
}

/* The host's own close of a stream or a talk (type 0; the same id as an answer,
 * type 1, changes nothing): the client's connection goes without a message and
 * the channel is free; a stream close goes back to the host as an answer. */
TEST_F(TalkAlarm, HostClosingAStreamOrATalkDropsItsClientSilentlyAndFreesTheChannel)
{
    p->pMediaCh[2].tSubCh[0].iStreamOpenState = 2;
    VXQ_F_OFFLINE_AddViewer(p, 7, 2, 0);
    StartTalking(0x10);
    const _VXQ_S_DPS_TALK_CH_DATA tFree = {};
    const struct {
        int32_t iId, aBody[2], iBodyLen, iSlot;
        bool bAnswered;
        std::function<bool()> fnFree;
    } tRows[] = {
        {EVENT_E2_CLOSE_MEDIA_STREAM, {2, 0}, 8, 7, true,
         [&] { return p->pMediaCh[2].tSubCh[0].iStreamOpenState == 0; }},
        {EVENT_E2_TALK_STOP, {3, 0}, 4, 2, false,
         [&] { return memcmp(&p->tTalkCh[3], &tFree, sizeof(tFree)) == 0; }},
    };
    for (const auto &r : tRows) {
        SCOPED_TRACE(r.iId);
        for (uint8_t ucType : {1, 0}) {
            Order(TestOrder(r.iId, 9, 0, r.aBody, r.iBodyLen, ucType));
            EXPECT_EQ(ConnAlive(r.iSlot), ucType == 1);
            EXPECT_EQ(r.fnFree(), ucType == 0);
            EXPECT_TRUE(Sent().empty());
            EXPECT_EQ(Events(), std::vector<Bytes>(ucType == 0 && r.bAnswered,
                                                   TestOrder(r.iId, 0, 0, r.aBody, r.iBodyLen)));
        }
    }
}

TEST_F(TalkAlarm, OnlyTheSessionThatStartedATalkMayStopItAndAFreeChannelStopsWithNothingRaised)
{
    Request(pCmd, TalkStop(9, 3));
    EXPECT_EQ(OneSent(pCmd)[11], 0);
    Request(pCmd, TalkStop(9, 65));
    EXPECT_EQ(OneSent(pCmd)[11], 2);
    EXPECT_TRUE(Events().empty());
    /* Another session, even an admin's, is refused (one without a login: FuncTableWalk). */
    _VXQ_S_DPS_NET_PORT_DATA *pOther = AddConn(8, VXQ_DPS_CONN_COMMAND, kLogin + 1, 0xFF, 0xFFFFFFFFu);
    StartTalking(0x10);
    Request(pOther, TalkStop(1, 3));
    EXPECT_EQ(OneSent(pOther)[11], 5);
    EXPECT_TRUE(Events().empty());
    EXPECT_EQ(p->tTalkCh[3].iChState, VXQ_DPS_TALK_TALKING);
    EXPECT_TRUE(ConnAlive(2));
    /* The owner's command connection (same login id, not the talk connection) stops it. */
    Request(pCmd, TalkStop(2, 3));
    EXPECT_EQ(OneSent(pCmd)[11], 0);
    OneEvent(EVENT_E2_TALK_STOP);
    EXPECT_EQ(p->tTalkCh[3].iChState, 0);
    EXPECT_FALSE(ConnAlive(2));
}

TEST_F(TalkAlarm, AudioIsRelayedOnlyWhileTalkingAndEmptyAudioIsDropped)
{
    Request(pTalkConn, TalkStart(1, kLogin, 3));
    OneEvent(EVENT_E2_TALK_START);
    Request(pTalkConn, Audio(5));
    EXPECT_TRUE(Events().empty());

    Order(StartAnswer(0, 1, 3));
    Sent();
    Request(pTalkConn, Audio(0)); /* exactly 32 bytes */
    EXPECT_TRUE(Events().empty());

    Request(pTalkConn, Audio(5)); /* its time: the silent-talker test */
    Bytes tEvent = OneEvent(MEDIA_E8_AUDIO_FRAME);
    EXPECT_EQ(OpsEventHead(tEvent).dwTransId, 0u);
    ASSERT_EQ(tEvent.size(), 25u);
    _VXQ_S_DPS_E8_TALK_AUDIO tAudio;
    memcpy(&tAudio, tEvent.data() + 16, 4);
    EXPECT_EQ(tAudio.i_usTalkChNo, 3);
    EXPECT_EQ(Bytes(tEvent.begin() + 20, tEvent.end()), Bytes({0xA0, 0xA1, 0xA2, 0xA3, 0xA4}));
    EXPECT_TRUE(Sent().empty()); /* a frame is never answered */

    /* Audio from a connection that is not the talk's own is not relayed. */
    Request(pCmd, Audio(5));
    EXPECT_TRUE(Events().empty());
}

/* The 60 s wait for the host's answer: LateStartAnswer... and Past2038's boundary. */
TEST_F(TalkAlarm, ATalkerWhoFellSilentIsStoppedAfter120SecondsOneWhoNeverSpokeIsNot)
{
    TestClock tClock(1700000000);
    StartTalking(2);
    tClock.AdvanceSec(500);
    VXQ_F_DPS_MC_DoClientState(p);
    EXPECT_TRUE(ConnAlive(2));
    Request(pTalkConn, Audio(4));
    OneEvent(MEDIA_E8_AUDIO_FRAME);
    tClock.AdvanceSec(119);
    VXQ_F_DPS_MC_DoClientState(p);
    EXPECT_TRUE(ConnAlive(2));
    tClock.AdvanceSec(1);
    VXQ_F_DPS_MC_DoClientState(p);
    OneEvent(EVENT_E2_TALK_STOP);
    EXPECT_FALSE(ConnAlive(2));
    EXPECT_EQ(p->tTalkCh[3].iChState, 0);
}

TEST_F(TalkAlarm, LateStartAnswerFailsAndAnswerOfAnEarlierTalkIsDropped)
{
    TestClock tClock(1700000000);
    Request(pTalkConn, TalkStart(0x111, kLogin, 3));
    OneEvent(EVENT_E2_TALK_START);
    tClock.AdvanceSec(60);
    VXQ_F_DPS_MC_DoClientState(p);
    EXPECT_EQ(OpsEventHead(OneEvent(EVENT_E2_TALK_STOP)).dwTransId, 0u);
    EXPECT_FALSE(ConnAlive(2));

    Order(StartAnswer(0, 0x111, 3));
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(p->tTalkCh[3].iChState, 0);

    /* A new talk on the slot does not take the answer of the old one. */
    _VXQ_S_DPS_NET_PORT_DATA *pNew = AddConn(4, VXQ_DPS_CONN_NEW);
    Request(pNew, TalkStart(0x222, kLogin, 3));
    OneEvent(EVENT_E2_TALK_START);
    Order(StartAnswer(0, 0x111, 3));
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(p->tTalkCh[3].iChState, VXQ_DPS_TALK_WAIT_HOST);
    EXPECT_TRUE(ConnAlive(4));
    Order(StartAnswer(0, 0x222, 3));
    EXPECT_EQ(TestLe32(OneSent(pNew), 12), 0x222u);
    EXPECT_EQ(p->tTalkCh[3].iChState, VXQ_DPS_TALK_TALKING);
}

/* Whom the alarm reaches; its whole image is GoldenWire's, its time past 2038 Past2038's. */
TEST_F(TalkAlarm, AlarmReachesEveryCommandConnectionArmedOrNotWithItsTextCutTo127)
{
    Bytes tGuard = TestMsg(P5_GUARD, 1, 4); /* arming marks the connection */
    TestPutLe32(tGuard, 20, kLogin);
    pCmd->pUserInfo->dwPopMask = VXQ_DPS_POP_ARMING;
    Request(pCmd, tGuard);
    EXPECT_EQ(OneSent(pCmd)[11], 0);
    EXPECT_EQ(OpsEventHead(OneEvent(EVENT_E2_GUARD)).dwTransId, 0u);
    EXPECT_EQ(pCmd->tAlarm.bGuard, 1u);
    _VXQ_S_DPS_NET_PORT_DATA *pUnarmed = AddConn(9, VXQ_DPS_CONN_COMMAND);
    AddConn(10, VXQ_DPS_CONN_MEDIA);
    std::string sLong(200, 'x');
    ASSERT_EQ(VXQ_F_DPS_UpAlarmMsg(p, 5, 77, 0xDEADBEEFu, sLong.c_str()), 1);
    EXPECT_EQ(VXQ_F_DPS_UpAlarmMsg(nullptr, 1, 1, 1, "a"), 0);
    HandleQueuedOrder(16 + 140);
    std::vector<_VXQ_S_OFFLINE_SENT> tSent = Sent();
    ASSERT_EQ(tSent.size(), 2u);
    EXPECT_EQ(tSent[0].pConn, pCmd);
    EXPECT_EQ(tSent[1].pConn, pUnarmed);
    EXPECT_EQ(tSent[0].tMsg, tSent[1].tMsg);
    ASSERT_EQ(tSent[0].tMsg.size(), 172u);
    EXPECT_EQ(std::string((const char *)tSent[0].tMsg.data() + 44), std::string(127, 'x'));
}

TEST_F(TalkAlarm, ExtendedAlarmsInOneSecondGetIdsWithRunningNumbers)
{
    TestClock tClock(1700001234);
    for (int i = 0; i < 2; i++)
        ASSERT_EQ(VXQ_F_DPS_SendAlarmMsg(p, "ignored source", 2, 40 + i, "door"), 1);
    for (int i = 0; i < 2; i++)
        HandleQueuedOrder(16 + 168);
    std::vector<_VXQ_S_OFFLINE_SENT> tSent = Sent();
    ASSERT_EQ(tSent.size(), 2u);
    const char *sNumbers[2] = {"1234", "1235"}; /* start at seconds mod 10000, then one up */
    for (int i = 0; i < 2; i++) {
        const Bytes &n = tSent[i].tMsg;
        ASSERT_EQ(n.size(), 200u);
        EXPECT_EQ(TestLe32(n, 4), 200u);
        EXPECT_EQ(VXQ_F_DPS_MW_GetLe16(n.data() + 8), P5_EX_ALARM_NOTICE);
        EXPECT_EQ(std::string((const char *)n.data() + 36), sNumbers[i]);
        EXPECT_EQ(TestLe32(n, 52), 2u);
        EXPECT_EQ(TestLe32(n, 68), 40u + (uint32_t)i);
        EXPECT_EQ(std::string((const char *)n.data() + 72), "door");
    }
}

} // namespace
