/* Serial port pass-through over real connections: who may open, what the host
 * receives, what the client gets back, and the close notice when the client goes. */
#include "support/test_host.h"
#include "support/offline_rig.h"
#include "support/wait_until.h"
#include "ops/serial.h"

namespace
{

class Serial : public HostFixture
{
  protected:
    /* An open request with the login id and the six line parameters 101..106. */
    Bytes OpenMsg(uint32_t in_dwLoginId)
    {
        Bytes tMsg = Msg(P9_COM_OPEN, 28);
        VXQ_F_TESTCLI_PutU32(tMsg, 20, in_dwLoginId);
        for (int i = 0; i < 6; i++)
            VXQ_F_TESTCLI_PutU32(tMsg, 24 + 4 * (size_t)i, 101u + (uint32_t)i);
        return tMsg;
    }
    /* Opens the port for the client (host answers 0); returns the port id the host got. */
    uint32_t Open(TestClient &inout_tCli)
    {
        Bytes tMsg = OpenMsg(inout_tCli.dwLoginId);
        EXPECT_EQ(VXQ_F_TESTCLI_SendMsg(&inout_tCli.t, tMsg), 1);
        Bytes tEvent = Event(EVENT_E3_COM_OPEN);
        Answer(tEvent, 0);
        Bytes tAnswer = Read(inout_tCli);
        EXPECT_EQ(TestHead(tAnswer).ucResult, 0);
        return Word(tEvent, 16);
    }
    /* The next event is a close notice (transaction 0) with exactly these fields. */
    void ExpectComClose(uint32_t in_dwPortId, int32_t in_iCause, uint32_t in_dwValue1, uint32_t in_dwValue2)
    {
        Bytes tEvent = Event();
        ASSERT_EQ(VXQ_F_TESTHOST_MsgFuncId(tEvent), EVENT_E3_COM_CLOSE);
        EXPECT_EQ(VXQ_F_TESTHOST_TransId(tEvent), 0u);
        _VXQ_S_DPS_E3_COM_CLOSE t = {in_dwPortId, in_iCause, in_dwValue1, in_dwValue2};
        EXPECT_EQ(Bytes(tEvent.begin() + 16, tEvent.end()), Bytes((uint8_t *)&t, (uint8_t *)(&t + 1)));
    }
    /* A close request with its two values. */
    Bytes CloseMsg(uint32_t in_dwLoginId, uint32_t in_dwValue1, uint32_t in_dwValue2)
    {
        Bytes tMsg = Msg(P9_COM_CLOSE, 12);
        VXQ_F_TESTCLI_PutU32(tMsg, 20, in_dwLoginId);
        VXQ_F_TESTCLI_PutU32(tMsg, 24, in_dwValue1);
        VXQ_F_TESTCLI_PutU32(tMsg, 28, in_dwValue2);
        return tMsg;
    }
};

/* A close request, whether or not the port was opened, is answered 0 at once
 * (the host never answers it) and tells the host with cause 0; it keeps the
 * open flag, so the opener's going tells the host again with cause 1; a
 * connection that never opened the port goes silently. */
TEST_F(Serial, CloseIsAnsweredAtOnceAndTheOpenersGoingTellsTheHostWithCause1)
{
    TestClient &tQuiet = Client();
    uint32_t dwQuietPort = 0;
    VXQ_F_TESTHOST_OnControlThread(&m_tHost, [&](_VXQ_S_DPS_MCSRV_DATA *p) {
        dwQuietPort = VXQ_F_TESTHOST_ConnOf(p, tQuiet)->dwPortId;
    });
    /* Port data from a client is taken without answer or event. */
    ASSERT_TRUE(tQuiet.Send(Msg(P9_COM_SUBS_DATA, 8)));
    Bytes tClosed = Ask(tQuiet, CloseMsg(tQuiet.dwLoginId, 3, 4));
    EXPECT_EQ(TestHead(tClosed).usMsgFuncId, P9_COM_CLOSE);
    EXPECT_EQ(TestHead(tClosed).ucResult, 0);
    ExpectComClose(dwQuietPort, VXQ_DPS_COM_CLOSE_BY_CLIENT, 3, 4);
    TestClient &tCli = Client();
    uint32_t dwPortId = Open(tCli);
    ASSERT_NE(dwPortId, 0u);
    Bytes tMsg = CloseMsg(tCli.dwLoginId, 7, 9);
    Bytes tExpect = tMsg;
    tExpect[10] = 1;
    EXPECT_EQ(Ask(tCli, tMsg), tExpect);
    ExpectComClose(dwPortId, VXQ_DPS_COM_CLOSE_BY_CLIENT, 7, 9);
    tQuiet.Close();
    ASSERT_TRUE(WaitUntil([&]() { return ConnCount() == 1; }));
    tCli.Close();
    ExpectComClose(dwPortId, VXQ_DPS_COM_CLOSE_BY_RELEASE, 0, 0);
}

/* ---- Unit level: what a running service cannot be driven into on demand ---- */

const uint32_t kLogin = 0x77770003u;

class SerialOffline : public OfflineRig
{
  protected:
    static Bytes OpenReq()
    {
        Bytes tMsg = TestMsg(P9_COM_OPEN, 0x55, 28);
        TestPutLe32(tMsg, 20, kLogin);
        return tMsg;
    }
};

/* The open flag is set only once the host was told; only a command connection may open. */
TEST_F(SerialOffline, AnOpenWhoseEventIsRefusedOrThatComesOnAMediaConnectionLeavesNoOpenFlag)
{
    _VXQ_S_DPS_NET_PORT_DATA *pCmd = AddConn(3, VXQ_DPS_CONN_COMMAND, kLogin, 0xFF);
    _VXQ_S_DPS_NET_PORT_DATA *pMedia = AddConn(4, VXQ_DPS_CONN_MEDIA, kLogin);
    Request(pMedia, OpenReq());
    EXPECT_EQ(OneSent(pMedia)[11], 6);
    EXPECT_TRUE(Events().empty());
    EXPECT_EQ(pMedia->tSerial.bComOpen, 0u);
    FillCallbackQueue();
    Request(pCmd, OpenReq());
    EXPECT_EQ(OneSent(pCmd)[11], 1);
    EXPECT_EQ(pCmd->tSerial.bComOpen, 0u);
    EXPECT_EQ(TransCount(), 0);
}

/* The host's close notice (type byte 0; an answer, type 1, sends nothing) and
 * port data (empty: nothing) reach the connection their port id names, whole;
 * for a connection that is gone they send nothing. */
TEST_F(SerialOffline, HostCloseNoticeAndPortDataReachTheConnectionNamedByTheirPortId)
{
    _VXQ_S_DPS_NET_PORT_DATA *pCmd = AddConn(3, VXQ_DPS_CONN_COMMAND, kLogin, 0xFF);
    Bytes tNotice = TestMsg(P9_COM_CLOSE, 0, 12);
    TestPutLe32(tNotice, 20, kLogin);
    TestPutLe32(tNotice, 24, 5);
    TestPutLe32(tNotice, 28, 6);
    Bytes tData = TestMsg(P9_COM_SUBS_DATA, 0, 15);
    TestPutLe32(tData, 20, 0x51);
    TestPutLe32(tData, 24, 0x52);
    TestPutLe32(tData, 28, 3);
    memcpy(tData.data() + 32, "ABC", 3);
    for (uint32_t dwPortId : {pCmd->dwPortId, pCmd->dwPortId ^ 0x10000u}) {
        const bool bThere = dwPortId == pCmd->dwPortId;
        _VXQ_S_DPS_E3_COM_CLOSE tClose = {dwPortId, 0, 5, 6};
        Order(TestOrder(EVENT_E3_COM_CLOSE, 0, 0, &tClose, sizeof(tClose), 1));
        EXPECT_TRUE(Sent().empty());
        Order(TestOrder(EVENT_E3_COM_CLOSE, 0, 0, &tClose, sizeof(tClose), 0));
        EXPECT_EQ(bThere ? OneSent(pCmd) : Bytes(), bThere ? tNotice : Bytes());
        uint8_t ucOrder[16 + 3];
        _VXQ_S_DPS_E3_COM_SUBS_DATA tBody = {dwPortId, 0x51, 0x52, 0x53};
        memcpy(ucOrder, &tBody, sizeof(tBody));
        memcpy(ucOrder + 16, "ABC", 3);
        Order(TestOrder(EVENT_E3_COM_SUBS_DATA, 0, 0, ucOrder, 16, 0));
        EXPECT_TRUE(Sent().empty());
        Order(TestOrder(EVENT_E3_COM_SUBS_DATA, 0, 0, ucOrder, 19, 0));
        EXPECT_EQ(bThere ? OneSent(pCmd) : Bytes(), bThere ? tData : Bytes());
        EXPECT_TRUE(Sent().empty());
    }
}

} // namespace
