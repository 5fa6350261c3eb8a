/* Serial port pass-through over real connections: who may open, what the host
 * receives, what the client gets back, and the close notice when the client goes. */
#include "live_ops_fixture.h"
#include "ops_fixture.h"
#include "ops/serial.h"

namespace
{

class Serial : public LiveOps
{
  protected:
    /* An open request with the login id and the six line parameters 101..106. */
    LiveBytes OpenMsg(uint32_t in_dwLoginId)
    {
        LiveBytes tMsg = Msg(P9_COM_OPEN, 28);
        VXQ_F_TESTCLI_PutU32(tMsg, 20, in_dwLoginId);
        for (int i = 0; i < 6; i++)
            VXQ_F_TESTCLI_PutU32(tMsg, 24 + 4 * (size_t)i, 101u + (uint32_t)i);
        return tMsg;
    }
    /* Opens the port for the client (host answers 0); returns the port id the host got. */
    uint32_t Open(LiveClient &inout_tCli)
    {
        LiveBytes tMsg = OpenMsg(inout_tCli.dwLoginId);
        EXPECT_EQ(VXQ_F_TESTCLI_SendMsg(&inout_tCli.t, tMsg), 1);
        LiveBytes tEvent = Event(EVENT_E3_COM_OPEN);
        Answer(tEvent, 0);
        LiveBytes tAnswer = Read(inout_tCli);
        EXPECT_EQ(LiveHead(tAnswer).ucResult, 0);
        return Word(tEvent, 16);
    }
    /* A close request with its two values. */
    LiveBytes CloseMsg(uint32_t in_dwLoginId, uint32_t in_dwValue1, uint32_t in_dwValue2)
    {
        LiveBytes tMsg = Msg(P9_COM_CLOSE, 12);
        VXQ_F_TESTCLI_PutU32(tMsg, 20, in_dwLoginId);
        VXQ_F_TESTCLI_PutU32(tMsg, 24, in_dwValue1);
        VXQ_F_TESTCLI_PutU32(tMsg, 28, in_dwValue2);
        return tMsg;
    }
};

TEST_F(Serial, OpenNeedsTheCommandConnectionLoggedInWithTheLoginIdOfTheBody)
{
    LiveClient &tNever = Client(false);
    LiveClient &tCli = Client();
    struct Case {
        LiveClient *pCli;
        uint32_t dwLoginId;
    } tCases[] = {
        {&tNever, 0},                 /* never logged in, body 0 = 0 */
        {&tNever, tCli.dwLoginId},    /* never logged in, someone else's id */
        {&tCli, tCli.dwLoginId ^ 1u}, /* logged in, another id */
        {&tCli, 0},
    };
    for (const Case &c : tCases) {
        LiveBytes tMsg = OpenMsg(c.dwLoginId);
        LiveBytes tAnswer = Ask(*c.pCli, tMsg);
        ASSERT_EQ(tAnswer.size(), 48u) << c.dwLoginId;
        EXPECT_EQ(LiveHead(tAnswer).ucPacketType, 1);
        EXPECT_EQ(LiveHead(tAnswer).ucResult, 6);
        EXPECT_EQ(LiveHead(tAnswer).dwTransNo, LiveHead(tMsg).dwTransNo);
    }

    /* The right one reaches the host (and is the first event: the refusals raised none). */
    LiveBytes tMsg = OpenMsg(tCli.dwLoginId);
    ASSERT_EQ(VXQ_F_TESTCLI_SendMsg(&tCli.t, tMsg), 1);
    LiveBytes tEvent = Event();
    ASSERT_EQ(VXQ_F_TESTHOST_MsgFuncId(tEvent), EVENT_E3_COM_OPEN);
    ASSERT_EQ(tEvent.size(), 16u + sizeof(_VXQ_S_DPS_E3_COM_OPEN));
    EXPECT_NE(VXQ_F_TESTHOST_TransId(tEvent), 0u);
    _VXQ_S_DPS_E3_COM_OPEN tBody;
    memcpy(&tBody, tEvent.data() + 16, sizeof(tBody));
    EXPECT_NE(tBody.i_dwPortId, 0u);
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(tBody.i_dwLineParam[i], 101u + (uint32_t)i);

    /* The host's error code is translated; the whole request comes back. */
    Answer(tEvent, 4);
    LiveBytes tAnswer = Read(tCli);
    ASSERT_EQ(tAnswer.size(), 48u);
    EXPECT_EQ(LiveHead(tAnswer).usMsgFuncId, P9_COM_OPEN);
    EXPECT_EQ(LiveHead(tAnswer).ucPacketType, 1);
    EXPECT_EQ(LiveHead(tAnswer).ucResult, 2);
    EXPECT_EQ(LiveHead(tAnswer).dwTransNo, LiveHead(tMsg).dwTransNo);
    EXPECT_EQ(LiveLe32(tAnswer, 20), tCli.dwLoginId);
    EXPECT_EQ(LiveLe32(tAnswer, 44), 106u);
}

TEST_F(Serial, WriteOf36BytesGets2AndOf37BytesReachesTheHostWithDataLength1)
{
    LiveClient &tCli = Client();
    LiveBytes tShort = Msg(P9_COM_SEND_DATA, 16);
    VXQ_F_TESTCLI_PutU32(tShort, 20, tCli.dwLoginId);
    LiveBytes tAnswer = Ask(tCli, tShort);
    ASSERT_EQ(tAnswer.size(), 36u);
    EXPECT_EQ(LiveHead(tAnswer).ucResult, 2);

    LiveBytes tMsg = Msg(P9_COM_SEND_DATA, 17);
    VXQ_F_TESTCLI_PutU32(tMsg, 20, tCli.dwLoginId);
    VXQ_F_TESTCLI_PutU32(tMsg, 24, 0x11);
    VXQ_F_TESTCLI_PutU32(tMsg, 28, 0x22);
    VXQ_F_TESTCLI_PutU32(tMsg, 32, 0x33);
    tMsg[36] = 0xA5;
    ASSERT_EQ(VXQ_F_TESTCLI_SendMsg(&tCli.t, tMsg), 1);
    LiveBytes tEvent = Event();
    ASSERT_EQ(VXQ_F_TESTHOST_MsgFuncId(tEvent), EVENT_E3_COM_SEND_DATA);
    ASSERT_EQ(tEvent.size(), 16u + 16u + 1u);
    EXPECT_NE(Word(tEvent, 16), 0u); /* the port id */
    EXPECT_EQ(Word(tEvent, 20), 0x11u);
    EXPECT_EQ(Word(tEvent, 24), 0x22u);
    EXPECT_EQ(Word(tEvent, 28), 1u);
    EXPECT_EQ(tEvent[32], 0xA5);

    /* The answer is the first 32 bytes with body 8 cleared. */
    Answer(tEvent, 0);
    tAnswer = Read(tCli);
    ASSERT_EQ(tAnswer.size(), 32u);
    EXPECT_EQ(LiveHead(tAnswer).dwPacketSize, 32u);
    EXPECT_EQ(LiveHead(tAnswer).usMsgFuncId, P9_COM_SEND_DATA);
    EXPECT_EQ(LiveHead(tAnswer).ucPacketType, 1);
    EXPECT_EQ(LiveHead(tAnswer).ucResult, 0);
    EXPECT_EQ(LiveHead(tAnswer).dwTransNo, LiveHead(tMsg).dwTransNo);
    EXPECT_EQ(LiveLe32(tAnswer, 20), tCli.dwLoginId);
    EXPECT_EQ(LiveLe32(tAnswer, 24), 0x11u);
    EXPECT_EQ(LiveLe32(tAnswer, 28), 0u);

    /* A logged-out connection may not write. */
    Logout(tCli);
    tAnswer = Ask(tCli, tMsg);
    EXPECT_EQ(LiveHead(tAnswer).ucResult, 6);
}

TEST_F(Serial, CloseIsAnswered0AtOnceEvenIfTheHostNeverAnswers)
{
    LiveClient &tCli = Client();
    LiveBytes tMsg = CloseMsg(tCli.dwLoginId, 7, 9);
    LiveBytes tAnswer = Ask(tCli, tMsg);
    ASSERT_EQ(tAnswer.size(), 32u);
    EXPECT_EQ(LiveHead(tAnswer).ucPacketType, 1);
    EXPECT_EQ(LiveHead(tAnswer).ucResult, 0);
    EXPECT_EQ(LiveHead(tAnswer).dwTransNo, LiveHead(tMsg).dwTransNo);

    LiveBytes tEvent = Event();
    ASSERT_EQ(VXQ_F_TESTHOST_MsgFuncId(tEvent), EVENT_E3_COM_CLOSE);
    ASSERT_EQ(tEvent.size(), 16u + sizeof(_VXQ_S_DPS_E3_COM_CLOSE));
    EXPECT_EQ(VXQ_F_TESTHOST_TransId(tEvent), 0u);
    _VXQ_S_DPS_E3_COM_CLOSE tBody;
    memcpy(&tBody, tEvent.data() + 16, sizeof(tBody));
    EXPECT_NE(tBody.dwPortId, 0u);
    EXPECT_EQ(tBody.iCloseCause, VXQ_DPS_COM_CLOSE_BY_CLIENT);
    EXPECT_EQ(tBody.dwValue1, 7u);
    EXPECT_EQ(tBody.dwValue2, 9u);

    /* Logged out: refused with 6 and no event. */
    Logout(tCli);
    tAnswer = Ask(tCli, CloseMsg(0, 1, 2));
    EXPECT_EQ(LiveHead(tAnswer).ucResult, 6);
    LiveClient &tOther = Client();
    ASSERT_EQ(LiveHead(Ask(tOther, CloseMsg(tOther.dwLoginId, 3, 4))).ucResult, 0);
    tEvent = Event();
    EXPECT_EQ(Word(tEvent, 24), 3u);
}

TEST_F(Serial, CommandConnectionThatOpenedThePortAndGoesMakesTheHostReceiveCause1)
{
    LiveClient &tQuiet = Client();
    LiveClient &tCli = Client();
    uint32_t dwPortId = Open(tCli);
    ASSERT_NE(dwPortId, 0u);
    /* A close request keeps the flag: the release still tells the host. */
    ASSERT_EQ(LiveHead(Ask(tCli, CloseMsg(tCli.dwLoginId, 1, 2))).ucResult, 0);
    LiveBytes tEvent = Event(EVENT_E3_COM_CLOSE);
    EXPECT_EQ(Word(tEvent, 20), 0u);

    /* A connection that never opened the port goes without a close notice. */
    VXQ_F_TESTCLI_Close(&tQuiet.t);
    ASSERT_TRUE(WaitUntil([&]() { return ConnCount() == 1; }));
    VXQ_F_TESTCLI_Close(&tCli.t);
    tEvent = Event();
    ASSERT_EQ(VXQ_F_TESTHOST_MsgFuncId(tEvent), EVENT_E3_COM_CLOSE);
    EXPECT_EQ(VXQ_F_TESTHOST_TransId(tEvent), 0u);
    _VXQ_S_DPS_E3_COM_CLOSE tBody;
    memcpy(&tBody, tEvent.data() + 16, sizeof(tBody));
    EXPECT_EQ(tBody.dwPortId, dwPortId);
    EXPECT_EQ(tBody.iCloseCause, VXQ_DPS_COM_CLOSE_BY_RELEASE);
    EXPECT_EQ(tBody.dwValue1, 0u);
    EXPECT_EQ(tBody.dwValue2, 0u);
}

TEST_F(Serial, HostCloseOrderWithByte4NonzeroSendsNothingAndWithByte4ZeroSendsTheNotice)
{
    LiveClient &tCli = Client();
    uint32_t dwPortId = Open(tCli);
    _VXQ_S_DPS_E3_COM_CLOSE tBody = {dwPortId, 0, 1, 2};
    Post(EVENT_E3_COM_CLOSE, 0, 0, &tBody, sizeof(tBody), 1);
    EXPECT_TRUE(NothingMore(tCli));

    tBody.dwValue1 = 5;
    tBody.dwValue2 = 6;
    Post(EVENT_E3_COM_CLOSE, 0, 0, &tBody, sizeof(tBody), 0);
    LiveBytes tNotice = Read(tCli);
    ASSERT_EQ(tNotice.size(), 32u);
    _VXQ_S_TESTCLI_HEAD tHead = LiveHead(tNotice);
    EXPECT_EQ(tHead.dwPacketFlag, 0xFFFFEEEEu);
    EXPECT_EQ(tHead.dwPacketSize, 32u);
    EXPECT_EQ(tHead.usMsgFuncId, P9_COM_CLOSE);
    EXPECT_EQ(tHead.ucTypeByte, 0);
    EXPECT_EQ(tHead.ucResult, 0);
    EXPECT_EQ(tHead.dwTransNo, 0u);
    EXPECT_EQ(LiveLe32(tNotice, 20), tCli.dwLoginId);
    EXPECT_EQ(LiveLe32(tNotice, 24), 5u);
    EXPECT_EQ(LiveLe32(tNotice, 28), 6u);

    /* An order for a connection that is gone sends nothing to anyone. */
    tBody.dwPortId ^= 0x10000u;
    Post(EVENT_E3_COM_CLOSE, 0, 0, &tBody, sizeof(tBody), 0);
    EXPECT_TRUE(NothingMore(tCli));
}

TEST_F(Serial, HostPortDataReachesTheClientNamedByItsPortIdAndEmptyDataNothing)
{
    LiveClient &tCli = Client();
    uint32_t dwPortId = Open(tCli);
    uint8_t ucOrder[16 + 3];
    _VXQ_S_DPS_E3_COM_SUBS_DATA tBody = {dwPortId, 0x51, 0x52, 0x53};
    memcpy(ucOrder, &tBody, sizeof(tBody));
    memcpy(ucOrder + 16, "ABC", 3);
    Post(EVENT_E3_COM_SUBS_DATA, 0, 0, ucOrder, 16, 0); /* no data: nothing */
    Post(EVENT_E3_COM_SUBS_DATA, 0, 0, ucOrder, 19, 0);
    LiveBytes tMsg = Read(tCli);
    ASSERT_EQ(tMsg.size(), 35u);
    _VXQ_S_TESTCLI_HEAD tHead = LiveHead(tMsg);
    EXPECT_EQ(tHead.dwPacketSize, 35u);
    EXPECT_EQ(tHead.usMsgFuncId, P9_COM_SUBS_DATA);
    EXPECT_EQ(tHead.ucTypeByte, 0);
    EXPECT_EQ(tHead.ucResult, 0);
    EXPECT_EQ(LiveLe32(tMsg, 12), 0u);
    EXPECT_EQ(LiveLe32(tMsg, 16), 0u);
    EXPECT_EQ(LiveLe32(tMsg, 20), 0x51u);
    EXPECT_EQ(LiveLe32(tMsg, 24), 0x52u);
    EXPECT_EQ(LiveLe32(tMsg, 28), 3u);
    EXPECT_EQ(std::string(tMsg.begin() + 32, tMsg.end()), "ABC");
    EXPECT_TRUE(NothingMore(tCli));
}

TEST_F(Serial, ClientPortDataMessageIsAcceptedWithoutAnswerOrEvent)
{
    LiveClient &tCli = Client();
    LiveBytes tMsg = Msg(P9_COM_SUBS_DATA, 8);
    ASSERT_EQ(VXQ_F_TESTCLI_SendMsg(&tCli.t, tMsg), 1);
    EXPECT_TRUE(NothingMore(tCli));
    ASSERT_EQ(LiveHead(Ask(tCli, CloseMsg(tCli.dwLoginId, 0, 0))).ucResult, 0);
    EXPECT_EQ(VXQ_F_TESTHOST_MsgFuncId(Event()), EVENT_E3_COM_CLOSE);
}

/* ---- Failure paths, handlers driven directly --------------------------------- */

const uint32_t kLogin = 0x77770003u;

class SerialOffline : public OfflineOps
{
};

TEST_F(SerialOffline, AnOpenWhoseEventIsRefusedLeavesNoOpenFlag)
{
    _VXQ_S_DPS_NET_PORT_DATA *pCmd = AddConn(3, VXQ_DPS_CONN_COMMAND, kLogin, 0xFF);
    FillCallbackQueue();
    Request(pCmd, Msg(P9_COM_OPEN, 28, kLogin));
    EXPECT_TRUE(Logged("Receiving network data: Open com, send event to up app fail."));
    EXPECT_EQ(pCmd->tSerial.bComOpen, 0u);
    EXPECT_EQ(TransCount(), 0);
}

TEST_F(SerialOffline, OpenFromAMediaConnectionCarryingTheLoginIdIsRefusedWith6)
{
    AddConn(3, VXQ_DPS_CONN_COMMAND, kLogin, 0xFF);
    _VXQ_S_DPS_NET_PORT_DATA *pMedia = AddConn(4, VXQ_DPS_CONN_MEDIA, kLogin);
    Request(pMedia, Msg(P9_COM_OPEN, 28, kLogin));
    std::vector<_VXQ_S_OFFLINE_SENT> tSent = Sent();
    ASSERT_EQ(tSent.size(), 1u);
    EXPECT_EQ(tSent[0].tMsg[11], 6);
    EXPECT_TRUE(Events().empty());
    EXPECT_EQ(pMedia->tSerial.bComOpen, 0u);
    EXPECT_EQ(TransCount(), 0);
}

TEST_F(SerialOffline, ReleaseOfACommandConnectionRaisesCause1OnlyWhenItOpenedThePort)
{
    _VXQ_S_DPS_NET_PORT_DATA *pQuiet = AddConn(2, VXQ_DPS_CONN_COMMAND, kLogin + 1);
    VXQ_F_DPS_MC_DoNetDisconnetEvent(p, pQuiet);
    EXPECT_TRUE(Events().empty());

    _VXQ_S_DPS_NET_PORT_DATA *pCmd = AddConn(3, VXQ_DPS_CONN_COMMAND, kLogin, 0xFF);
    pCmd->tSerial.bComOpen = 1;
    uint32_t dwPortId = pCmd->dwPortId;
    VXQ_F_DPS_MC_DoNetDisconnetEvent(p, pCmd);
    std::vector<OpsBytes> tEvents = Events();
    ASSERT_EQ(tEvents.size(), 1u);
    ASSERT_EQ(tEvents[0].size(), 32u);
    _VXQ_S_DPS_MSG_HEAD tHead;
    _VXQ_S_DPS_E3_COM_CLOSE tBody;
    memcpy(&tHead, tEvents[0].data(), sizeof(tHead));
    memcpy(&tBody, tEvents[0].data() + 16, sizeof(tBody));
    EXPECT_EQ(tHead.iMsgFuncId, EVENT_E3_COM_CLOSE);
    EXPECT_EQ(tHead.dwTransId, 0u);
    EXPECT_EQ(tHead.iBodyLen, 16);
    EXPECT_EQ(tBody.dwPortId, dwPortId);
    EXPECT_EQ(tBody.iCloseCause, 1);
    EXPECT_EQ(tBody.dwValue1, 0u);
    EXPECT_EQ(tBody.dwValue2, 0u);
}

TEST_F(SerialOffline, HostOrdersForAConnectionThatIsGoneAreLoggedAndSendNothing)
{
    _VXQ_S_DPS_NET_PORT_DATA *pCmd = AddConn(3, VXQ_DPS_CONN_COMMAND, kLogin, 0xFF);
    const uint32_t dwStale = pCmd->dwPortId ^ 0x00010000u; /* right slot, other upper bits */
    uint8_t ucBody[16 + 1] = {0};
    memcpy(ucBody, &dwStale, 4);

    Order(OpsOrder(EVENT_E3_COM_CLOSE, 0, 0, ucBody, 16, 0));
    EXPECT_TRUE(
        Logged("VXQ_F_DPS_MW_DoOrder_EVENT_E3_COM_CLOSE VXQ_F_DPS_MC_NetPortData_QueryByPortId fail."));
    Order(OpsOrder(EVENT_E3_COM_SUBS_DATA, 0, 0, ucBody, 17, 0));
    EXPECT_TRUE(
        Logged("VXQ_F_DPS_MW_DoOrder_EVENT_E3_COM_SUBS_DATA VXQ_F_DPS_MC_NetPortData_QueryByPortId fail."));
    memcpy(ucBody, &pCmd->dwPortId, 4);
    Order(OpsOrder(EVENT_E3_COM_SUBS_DATA, 0, 0, ucBody, 16, 0));
    EXPECT_TRUE(Logged("VXQ_F_DPS_MW_DoOrder_EVENT_E3_COM_SUBS_DATA iComDataLen error."));
    Order(OpsOrder(EVENT_E3_COM_CLOSE, 0, 0, ucBody, 15, 0)); /* short body: dropped by the order dispatcher */
    EXPECT_TRUE(Sent().empty());
}

TEST_F(SerialOffline, DebugSwitchWritesTheCloseNoticeFields)
{
    _VXQ_S_DPS_NET_PORT_DATA *pCmd = AddConn(3, VXQ_DPS_CONN_COMMAND, kLogin, 0xFF);
    p->bDebugLog = 1;
    OpsBytes tMsg = Msg(P9_COM_CLOSE, 12, kLogin);
    VXQ_F_DPS_MW_PutLe32(tMsg.data() + 24, 7);
    VXQ_F_DPS_MW_PutLe32(tMsg.data() + 28, 8);
    Request(pCmd, tMsg);
    EXPECT_TRUE(Logged(
        "[DEBUG]  Close com (request): dwPortId: 12340003, iCloseCause: 0, dwValue1: 7, dwValue2: 8."));
    EXPECT_EQ(Events().size(), 1u);
}

} // namespace
