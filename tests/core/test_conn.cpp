/* Connections and stream framing, over real loopback sockets and, for the
 * connection table and releases, driven directly without the service threads. */
#include "support/offline_rig.h"
#include "support/wait_until.h"
#include "media/input.h"
#include "net/selengine.h"

#include <atomic>

/* A request id outside the catalogue: the dispatcher answers it in place with 42,
 * which makes every handled message visible to the client. */
static const uint16_t kUnknownId = 0x0F01;

class CoreConnTest : public HostFixture
{
  protected:
    /* Bytes buffered for the client's connection (-1 when it has no record). */
    int Buffered(const TestClient &in_tClient)
    {
        int iLen = -1;
        VXQ_F_TESTHOST_RunOnControl(m_tHost.pSrv, [&](_VXQ_S_DPS_MCSRV_DATA *p) {
            _VXQ_S_DPS_NET_PORT_DATA *pConn = VXQ_F_TESTHOST_ConnOf(p, in_tClient);
            iLen = pConn ? pConn->iRecvDataLen : -1;
        });
        return iLen;
    }
};

/* A stream of requests cut into reads at the given offsets: each request is
 * handled once, in order, when its last byte came, and not before (a head of
 * 19 bytes is not judged yet). */
TEST_F(CoreConnTest, EachMessageIsHandledOnceWhenCompleteWhateverReadsItArrivesIn)
{
    const struct {
        std::vector<std::pair<uint32_t, size_t>> tMsgs; /* transaction number, body length */
        std::vector<size_t> tCuts;                      /* stream offsets where a read ends */
    } tRows[] = {
        {{{101, 4}, {102, 0}}, {}},
        {{{7, 30}, {8, 0}}, {5, 25, 50}},
        {{{19, 0}}, {19}},
    };
    for (const auto &r : tRows) {
        TestClient tClient;
        ASSERT_TRUE(tClient.Connect(m_tHost.pSrv->usTcpPort));
        Bytes tStream;
        for (const auto &m : r.tMsgs) {
            Bytes tMsg = TestMsg(kUnknownId, m.first, m.second);
            tStream.insert(tStream.end(), tMsg.begin(), tMsg.end());
        }
        size_t iSent = 0;
        for (size_t iCut : r.tCuts) {
            ASSERT_TRUE(tClient.Send(tStream.data() + iSent, iCut - iSent));
            iSent = iCut;
            if (iCut < 20 + r.tMsgs[0].second) {
                ASSERT_TRUE(WaitUntil([&] { return Buffered(tClient) == (int)iCut; })) << iCut;
            }
        }
        ASSERT_TRUE(tClient.Send(tStream.data() + iSent, tStream.size() - iSent));
        for (const auto &m : r.tMsgs) {
            Bytes tAnswer;
            ASSERT_TRUE(tClient.ReadMsg(tAnswer));
            EXPECT_EQ(TestLe32(tAnswer, 12), m.first);
            EXPECT_EQ(tAnswer.size(), 20 + m.second);
        }
        EXPECT_EQ(Buffered(tClient), 0);
    }
}

TEST_F(CoreConnTest, BadHeadsDropTheConnectionAndAnnouncedSizesBelowOneMebibyteWait)
{
    struct Case {
        uint32_t dwFlag;
        uint32_t dwSize;
        bool bDropped;
    };
    const Case tCases[] = {
        {0x00000000u, 20, true},                                           /* flag error */
        {0xFFFFEEEEu, 0x100000u, true},                                    /* incomplete and too large */
        {0xFFFFEEEEu, 0x0FFFFFu, false},                                   /* incomplete, waits */
        {0xFFFFEEEEu, 19, true},                                           /* smaller than the head */
        {0xFFFFEEEEu, 0, true},          {0xFFFFEEEEu, 0x80000014u, true}, /* top bit set */
        {0xFFFFEEEFu, 20, true},
    };
    for (const Case &tCase : tCases) {
        SCOPED_TRACE(::testing::Message() << std::hex << tCase.dwFlag << " " << tCase.dwSize);
        TestClient tClient;
        ASSERT_TRUE(tClient.Connect(m_tHost.pSrv->usTcpPort));
        Bytes tHead = TestMsg(kUnknownId, 1);
        TestPutLe32(tHead, 0, tCase.dwFlag);
        TestPutLe32(tHead, 4, tCase.dwSize);
        ASSERT_TRUE(tClient.Send(tHead));
        if (tCase.bDropped) {
            EXPECT_TRUE(tClient.WaitClosed());
        } else {
            ASSERT_TRUE(WaitUntil([&] { return Buffered(tClient) == 20; }));
            EXPECT_FALSE(tClient.WaitClosed(50));
        }
        tClient.Close();
        ASSERT_TRUE(VXQ_F_TESTHOST_WaitConnCount(m_tHost.pSrv, 0));
    }
}

TEST_F(CoreConnTest, FullTableGivesTheOldestConnectionNotLoggedInToANewcomerOrClosesTheNewcomer)
{
    /* Every entry taken: the engine keeps its listeners in slots 0 and 1, so
     * the last of these sit in engine slots of 128 and more. */
    std::vector<std::unique_ptr<TestClient>> tClients;
    while ((int)tClients.size() < VXQ_DPS_MAX_CONN_NUM) {
        for (int i = 0; i < 4 && (int)tClients.size() < VXQ_DPS_MAX_CONN_NUM; i++) {
            tClients.emplace_back(new TestClient);
            ASSERT_TRUE(tClients.back()->Connect(m_tHost.pSrv->usTcpPort));
        }
        ASSERT_TRUE(VXQ_F_TESTHOST_WaitConnCount(m_tHost.pSrv, (int)tClients.size()));
    }
    /* The two oldest are logged in, one of them by joining a session. */
    VXQ_F_TESTHOST_RunOnControl(m_tHost.pSrv, [&](_VXQ_S_DPS_MCSRV_DATA *p) {
        VXQ_F_TESTHOST_ConnOf(p, *tClients[0])->dwLoginId = 0x11112222u;
        VXQ_F_TESTHOST_ConnOf(p, *tClients[1])->tAdmit.dwJoinedLoginId = 1;
    });
    for (int i = 0; i < 3; i++) {
        tClients.emplace_back(new TestClient);
        ASSERT_TRUE(tClients.back()->Connect(m_tHost.pSrv->usTcpPort));
        EXPECT_TRUE(tClients[2 + i]->WaitClosed()) << "the oldest not logged in gives way, newcomer " << i;
        ASSERT_TRUE(VXQ_F_TESTHOST_WaitConnCount(m_tHost.pSrv, VXQ_DPS_MAX_CONN_NUM));
        ASSERT_TRUE(tClients.back()->Send(TestMsg(kUnknownId, 9)));
        Bytes tAnswer;
        EXPECT_TRUE(tClients.back()->ReadMsg(tAnswer)) << "the newcomer is served";
    }
    EXPECT_FALSE(tClients[0]->WaitClosed(0));
    EXPECT_FALSE(tClients[1]->WaitClosed(0));
    /* The ones that gave way left the engine at once, though their peers keep
     * their side open: only the two listeners and the 128 remain. */
    int iSockets = 0;
    VXQ_F_TESTHOST_RunOnControl(m_tHost.pSrv, [&](_VXQ_S_DPS_MCSRV_DATA *p) {
        for (int i = 0; i < p->hNetSrv->iSlotEnd; i++)
            iSockets += p->hNetSrv->pSocketTable[i] != NULL && p->hNetSrv->pSocketTable[i]->bInUse;
    });
    EXPECT_EQ(iSockets, 2 + VXQ_DPS_MAX_CONN_NUM);
    /* With every entry logged in, a newcomer is closed at once. */
    VXQ_F_TESTHOST_RunOnControl(m_tHost.pSrv, [&](_VXQ_S_DPS_MCSRV_DATA *p) {
        for (int i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++)
            p->pConn[i]->tAdmit.dwJoinedLoginId = 1;
    });
    TestClient tRefused;
    ASSERT_TRUE(tRefused.Connect(m_tHost.pSrv->usTcpPort));
    EXPECT_TRUE(tRefused.WaitClosed());
    EXPECT_EQ(VXQ_F_TESTHOST_ConnCount(m_tHost.pSrv), VXQ_DPS_MAX_CONN_NUM);
    Bytes tAnswer;
    ASSERT_TRUE(tClients[0]->Send(TestMsg(kUnknownId, 9)));
    EXPECT_TRUE(tClients[0]->ReadMsg(tAnswer));
}

TEST_F(CoreConnTest, MediaOverTheSendBudgetIsDroppedAndTheViewerFallsBackToIFrames)
{
    TestClient tClient;
    ASSERT_TRUE(tClient.Connect(m_tHost.pSrv->usTcpPort));
    ASSERT_TRUE(VXQ_F_TESTHOST_WaitConnCount(m_tHost.pSrv, 1));
    int iMediaRet = -1, iPlainRet = -1;
    uint32_t bLoss = 0, bRecvIFrame = 1;
    Bytes tFrame = TestMsg(0x0E01, 0, 600);
    Bytes tPlain = TestMsg(kUnknownId, 77, 600);
    VXQ_F_TESTHOST_RunOnControl(m_tHost.pSrv, [&](_VXQ_S_DPS_MCSRV_DATA *p) {
        _VXQ_S_DPS_NET_PORT_DATA *pConn = VXQ_F_TESTHOST_ConnOf(p, tClient);
        pConn->tMedia.bRecvIFrame = 1;
        p->iMediaDataBufSize = 512; /* below the frame alone */
        iMediaRet = VXQ_F_DPS_MC_SentNetData(p, pConn, tFrame.data(), (int32_t)tFrame.size(),
                                             VXQ_DPS_SEND_CLASS_VIDEO);
        bLoss = pConn->tMedia.bLossMode;
        bRecvIFrame = pConn->tMedia.bRecvIFrame;
        iPlainRet = VXQ_F_DPS_MC_SentNetData(p, pConn, tPlain.data(), (int32_t)tPlain.size(), 0);
        p->iMediaDataBufSize = VXQ_DPS_DEF_MEDIA_BUF_SIZE;
    });
    EXPECT_EQ(iMediaRet, 1);
    EXPECT_EQ(bLoss, 1u);
    EXPECT_EQ(bRecvIFrame, 0u);
    EXPECT_EQ(iPlainRet, 1);
    Bytes tGot;
    ASSERT_TRUE(tClient.ReadMsg(tGot));
    EXPECT_EQ(TestLe32(tGot, 12), 77u); /* the frame never went out */
}

/* Unit level: the framing texts, with a hand-made instance and no threads. */
typedef InitRig CoreConnUnitTest;

TEST_F(CoreConnUnitTest, RecordsAreFoundOnlyByTheirWholePortIdOfAnEngineSlotBelow1024)
{
    _VXQ_S_DPS_NET_PORT_DATA *pConn = VXQ_F_DPS_MC_NetPortData_Create(m_p, 0xABCD0011u);
    ASSERT_NE(pConn, nullptr);
    EXPECT_EQ(pConn->dwConnId & 0xFFFFu, 0u);
    EXPECT_EQ(pConn->tMedia.bAudioPause, 1u);
    EXPECT_EQ(VXQ_F_DPS_MC_NetPortData_QueryByPortId(m_p, 0xABCD0011u), pConn);
    EXPECT_EQ(VXQ_F_DPS_MC_NetPortData_QueryByPortId(m_p, 0xABCE0011u), nullptr);
    EXPECT_EQ(VXQ_F_DPS_MC_NetPortData_Create(m_p, 0x00010400u), nullptr) << "beyond the engine's slots";
    _VXQ_S_DPS_NET_PORT_DATA *pHigh = VXQ_F_DPS_MC_NetPortData_Create(m_p, 0x000103FFu);
    ASSERT_NE(pHigh, nullptr);
    EXPECT_EQ(pHigh->dwConnId & 0xFFFFu, 1u) << "the first free entry, whatever the engine slot";
    EXPECT_EQ(VXQ_F_DPS_MC_NetPortData_QueryByPortId(m_p, 0x000103FFu), pHigh);
    /* A new id on an occupied engine slot replaces the old record. */
    _VXQ_S_DPS_NET_PORT_DATA *pNew = VXQ_F_DPS_MC_NetPortData_Create(m_p, 0x12340011u);
    ASSERT_NE(pNew, nullptr);
    EXPECT_EQ(VXQ_F_DPS_MC_NetPortData_QueryByPortId(m_p, 0xABCD0011u), nullptr);
    EXPECT_EQ(VXQ_F_DPS_MC_StatTcpConnNum(m_p), 2);
    /* Login lookup finds only command connections with that nonzero id. */
    pNew->dwLoginId = 0x99990011u;
    EXPECT_EQ(VXQ_F_DPS_MC_NetPortData_QueryByLoginId(m_p, 0x99990011u), nullptr);
    pNew->iConnType = VXQ_DPS_CONN_COMMAND;
    EXPECT_EQ(VXQ_F_DPS_MC_NetPortData_QueryByLoginId(m_p, 0x99990011u), pNew);
    EXPECT_EQ(VXQ_F_DPS_MC_NetPortData_QueryByLoginId(m_p, 0), nullptr);
}

/* A disconnect naming a stale id is ignored; a command connection that goes
 * takes its session's media, talk and download connections along (not another
 * login's) and tells the host: its serial port closed (cause 1), the download
 * closed; disarmed once the last armed client went. */
typedef OfflineRig CoreConnRelease;

TEST_F(CoreConnRelease, ACommandConnectionThatGoesTakesItsSessionAndTellsTheHost)
{
    _VXQ_S_DPS_NET_PORT_DATA *pCmd = AddConn(2, VXQ_DPS_CONN_COMMAND, 0x12340002u);
    pCmd->tSerial.bComOpen = 1;
    AddConn(3, VXQ_DPS_CONN_MEDIA, 0x12340002u)->tAlarm.bGuard = 1;
    AddConn(4, VXQ_DPS_CONN_DOWN, 0x12340002u)->tDown.dwFileId = 0x55;
    _VXQ_S_DPS_NET_PORT_DATA *pOther = AddConn(5, VXQ_DPS_CONN_MEDIA, 0x77770003u);
    pOther->tAlarm.bGuard = 1;
    _VXQ_S_NETCOM_DATA_HEAD tHead;
    memset(&tHead, 0, sizeof(tHead));
    tHead.iEventType = VXQ_NETCOM_EVENT_DISCONNECT;
    tHead.dwPortId = pCmd->dwPortId + 0x10000u; /* a stale id of the same engine slot: ignored */
    VXQ_F_DPS_MC_DoNetEvent_DISCONNECT(p, &tHead, NULL, 0);
    EXPECT_EQ(VXQ_F_DPS_MC_StatTcpConnNum(p), 4);
    tHead.dwPortId = pCmd->dwPortId;
    uint32_t dwCmdPortId = pCmd->dwPortId;
    VXQ_F_DPS_MC_DoNetEvent_DISCONNECT(p, &tHead, NULL, 0);
    EXPECT_EQ(VXQ_F_DPS_MC_StatTcpConnNum(p), 1);
    EXPECT_EQ(p->pConn[5], pOther);
    std::vector<Bytes> tEvents = Events();
    ASSERT_EQ(tEvents.size(), 2u);
    for (const Bytes &t : tEvents) {
        EXPECT_EQ(TestWord(t, 8), 0u) << "no transaction";
        if (TestWord(t, 0) == EVENT_E3_COM_CLOSE) {
            EXPECT_EQ(TestWord(t, 16), dwCmdPortId);
            EXPECT_EQ(TestWord(t, 20), 1u);
        } else {
            EXPECT_EQ(TestWord(t, 0), (uint32_t)EVENT_E2_FILE_CLOSE);
            EXPECT_EQ(TestWord(t, 16), 0x55u);
        }
    }
    VXQ_F_DPS_MC_ActiveDisconnect(p, pOther);
    EXPECT_EQ(TestWord(OneEvent(EVENT_E2_UNGUARD), 8), 0u);
    EXPECT_EQ(VXQ_F_DPS_MC_CheckClientArmState(p), 0);
}

/* Whatever makes the service drop a connection, the answers it queued there
 * before deciding so reach the client first, then the connection closes. */
class CoreConnDrop : public HostFixture
{
  protected:
    TestClock m_tClock; /* answers to unknown login ids are held 2 s each: advanced for them */
    std::atomic<int> m_iTalkAnswer{0}; /* the host's error code for talk starts */
};

TEST_F(CoreConnDrop, AnswersQueuedBeforeADropArriveBeforeTheClose)
{
    VXQ_F_TESTHOST_SetHook(&m_tHost, [this](_VXQ_S_TESTHOST_DATA *pHost, const Bytes &tEvent) {
        if (VXQ_F_TESTHOST_MsgFuncId(tEvent) == EVENT_E2_TALK_START)
            VXQ_F_TESTHOST_AnswerEvent(pHost, tEvent, (uint8_t)m_iTalkAnswer.load());
    });
    uint32_t dwLoginId = Client().dwLoginId;
    auto fnMsg = [&](uint16_t in_usFuncId, uint32_t in_dwLoginId, uint32_t in_dwWord2) {
        Bytes tMsg = TestMsg(in_usFuncId, 9, 8);
        TestPutLe32(tMsg, 20, in_dwLoginId);
        TestPutLe32(tMsg, 24, in_dwWord2);
        return tMsg;
    };
    Bytes tBadHead = TestMsg(kUnknownId, 2);
    tBadHead[0] = 0;
    const Bytes tBadLogin = fnMsg(P2_REALPLAY_OPEN, 0xBAD1u, 0);
    const struct {
        const char *sDrop;
        int iTalkAnswer;
        std::vector<Bytes> tFirst; /* sent and answered before the requests that drop */
        std::vector<Bytes> tSent;  /* sent in one write */
        std::vector<std::pair<uint16_t, uint8_t>> tAnswers; /* function id and result, in order */
    } tRows[] = {
        {"framing error after a request", 0, {}, {TestMsg(kUnknownId, 1, 4), tBadHead}, {{kUnknownId, 42}}},
        {"third unknown login id", 0, {}, {tBadLogin, tBadLogin, tBadLogin}, {{P2_REALPLAY_OPEN, 6}, {P2_REALPLAY_OPEN, 6}}},
        {"talk start refused by the host", 24, {}, {fnMsg(P4_TALK_START, dwLoginId, 1)}, {{P4_TALK_START, 54}}},
        {"talk stop on the talk connection", 0, {fnMsg(P4_TALK_START, dwLoginId, 1)}, {fnMsg(P4_TALK_STOP, 0, 1)},
         {{P4_TALK_STOP, 0}}},
    };
    for (const auto &tRow : tRows) {
        SCOPED_TRACE(tRow.sDrop);
        m_iTalkAnswer = tRow.iTalkAnswer;
        TestClient tCli;
        ASSERT_TRUE(tCli.Connect(m_tHost.usPort));
        for (const Bytes &tMsg : tRow.tFirst)
            ASSERT_EQ(Ask(tCli, tMsg).at(11), 0);
        Bytes tAll, tAnswer;
        for (const Bytes &tMsg : tRow.tSent)
            tAll.insert(tAll.end(), tMsg.begin(), tMsg.end());
        ASSERT_TRUE(tCli.Send(tAll));
        bool bClosed = tCli.WaitClosed(500);
        for (int i = 0; i < 10 && !bClosed; i++) {
            m_tClock.AdvanceSec(1);
            bClosed = tCli.WaitClosed(500);
        }
        EXPECT_TRUE(bClosed);
        std::vector<std::pair<uint16_t, uint8_t>> tGot;
        while (tCli.ReadMsg(tAnswer, 0))
            tGot.push_back({(uint16_t)(tAnswer[8] | tAnswer[9] << 8), tAnswer[11]});
        EXPECT_EQ(tGot, tRow.tAnswers) << "the answers, and nothing else, before the close";
    }
}
