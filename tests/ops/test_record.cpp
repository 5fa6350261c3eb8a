/* Record search and download on the offline rig: the checks, the events the
 * host gets and the answers at their offsets. The whole download over sockets
 * is the client tool's end-to-end test (tests/tools/test_client_e2e.cpp). */
#include "ops/record.h"
#include "support/offline_rig.h"

namespace
{

const uint32_t kBody = VXQ_TESTCLI_HEAD_LEN; /* message offset of body offset 0 */

/* One request of the family of its table length, with in_dwFirst at body offset 0. */
Bytes RecMsg(uint16_t in_usFuncId, uint32_t in_dwFirst)
{
    Bytes tMsg = TestMsg(in_usFuncId, 7, VXQ_F_OFFLINE_MsgLen(in_usFuncId) - VXQ_TESTCLI_HEAD_LEN);
    TestPutLe32(tMsg, kBody, in_dwFirst);
    return tMsg;
}

Bytes QueryMsg(uint32_t in_dwLoginId, int32_t in_iChNo)
{
    Bytes tMsg = RecMsg(P3_QUERY_FILE, in_dwLoginId);
    TestPutLe32(tMsg, kBody + 4, (uint32_t)in_iChNo);
    return tMsg;
}

Bytes OpenMsg(uint32_t in_dwLoginId, const std::string &in_sFlag)
{
    Bytes tMsg = RecMsg(P3_DOWNLOAD_OPEN, in_dwLoginId);
    memcpy(tMsg.data() + kBody + 4, in_sFlag.data(), in_sFlag.size());
    return tMsg;
}

/* A file operation of its table length naming in_dwReadId. */
Bytes FileOpMsg(uint16_t in_usFuncId, uint32_t in_dwReadId)
{
    Bytes tMsg = RecMsg(in_usFuncId, 0);
    TestPutLe32(tMsg, kBody + 4, in_dwReadId);
    return tMsg;
}

Bytes GetMsg(uint32_t in_dwReadId, uint32_t in_dwRequId)
{
    Bytes tMsg = FileOpMsg(P3_DOWNLOAD_GET, in_dwReadId);
    TestPutLe32(tMsg, kBody + 8, in_dwRequId);
    tMsg[kBody + 12] = 1;
    tMsg[kBody + 13] = 64;
    tMsg[kBody + 15] = 0xC0; /* bits the answer keeps */
    return tMsg;
}

uint8_t Result(const Bytes &in_tMsg)
{
    return in_tMsg.size() >= 12 ? in_tMsg[11] : 0xFF;
}

const uint32_t kLogin = 0x3EC00001u;
const uint32_t kOther = 0x3EC00002u;

class RecordOffline : public OfflineRig
{
  protected:
    void SetUp() override
    {
        OfflineRig::SetUp();
        pCmd = AddConn(1, VXQ_DPS_CONN_COMMAND, kLogin, 0xFF, 0);
    }
    /* Sends an open of in_sFlag for in_dwLoginId on in_pConn and has the host
     * answer in_ucCode with read id in_dwReadId; the answer sent. */
    Bytes Open(_VXQ_S_DPS_NET_PORT_DATA *in_pConn, uint32_t in_dwLoginId, uint32_t in_dwReadId,
               uint8_t in_ucCode = 0, const char *in_sFlag = "ch0/rec-0001")
    {
        Request(in_pConn, OpenMsg(in_dwLoginId, in_sFlag));
        Bytes tEvent = OneEvent(EVENT_E2_FILE_OPEN);
        _VXQ_S_DPS_E2_FILE_OPEN tBody;
        EXPECT_EQ(16 + sizeof(tBody), tEvent.size());
        memcpy(&tBody, tEvent.data() + 16, sizeof(tBody));
        EXPECT_STREQ(in_sFlag, tBody.i_sFileFlag);
        tBody.o_dwFileReadId = in_dwReadId;
        strcpy(tBody.o_tFileInfo.sFileFlag, "ch0/rec-0001");
        Order(TestOrder(EVENT_E2_FILE_OPEN, in_ucCode, OpsEventHead(tEvent).dwTransId, &tBody, sizeof(tBody)));
        return OneSent(in_pConn);
    }
    /* The one event now is a close (transaction id 0: nobody waits for its answer) of in_dwReadId. */
    void ExpectClosed(uint32_t in_dwReadId)
    {
        Bytes tEvent = OneEvent(EVENT_E2_FILE_CLOSE);
        ASSERT_EQ(20u, tEvent.size());
        EXPECT_EQ(0u, OpsEventHead(tEvent).dwTransId);
        EXPECT_EQ(in_dwReadId, TestWord(tEvent, 16));
    }
    _VXQ_S_DPS_NET_PORT_DATA *pCmd = nullptr;
};

} // namespace

TEST_F(RecordOffline, SuccessfulOpenMakesADownloadConnectionAndAFailedOneChangesNothing)
{
    _VXQ_S_DPS_NET_PORT_DATA *pBad = AddConn(5, VXQ_DPS_CONN_NEW);
    Bytes tAnswer = Open(pBad, kLogin, 0x1234, VXQ_DPS_APP_ERR_RESOURCE_NO_EXIST, "no-such-file");
    ASSERT_EQ((size_t)VXQ_F_OFFLINE_MsgLen(P3_DOWNLOAD_OPEN), tAnswer.size());
    EXPECT_EQ(13, Result(tAnswer)); /* resource no exist */
    EXPECT_EQ(0x1234u, TestLe32(tAnswer, kBody + 140));
    EXPECT_STREQ("ch0/rec-0001", (const char *)tAnswer.data() + kBody + 144);
    EXPECT_EQ(VXQ_DPS_CONN_NEW, pBad->iConnType);

    _VXQ_S_DPS_NET_PORT_DATA *pDown = AddConn(6, VXQ_DPS_CONN_NEW);
    EXPECT_EQ(0, Result(Open(pDown, kLogin, 0x77)));
    EXPECT_EQ(VXQ_DPS_CONN_DOWN, pDown->iConnType);
    EXPECT_EQ(0x77u, pDown->tDown.dwFileId);
    EXPECT_EQ(kLogin, pDown->dwLoginId);
    EXPECT_EQ(pCmd->dwPortId, pDown->dwLoginPortId);
    EXPECT_GT(pDown->tOpenTime, 0);
    EXPECT_TRUE(Events().empty());

    /* A second open on it closes the first file; reopening the same read id does not. */
    EXPECT_EQ(0, Result(Open(pDown, kLogin, 0x78, 0, "ch1/rec-0002")));
    ExpectClosed(0x77);
    EXPECT_EQ(0x78u, pDown->tDown.dwFileId);
    EXPECT_EQ(0, Result(Open(pDown, kLogin, 0x78)));
    EXPECT_TRUE(Events().empty());
}

TEST_F(RecordOffline, OpenAnsweredAfterItsLoginEndedIsRefusedAndTheFileClosedAgain)
{
    _VXQ_S_DPS_NET_PORT_DATA *pDown = AddConn(5, VXQ_DPS_CONN_NEW);
    Request(pDown, OpenMsg(kLogin, "ch0/rec-0001"));
    Bytes tEvent = OneEvent(EVENT_E2_FILE_OPEN);
    pCmd->dwLoginId = 0; /* the login ends while the host opens the file */
    _VXQ_S_DPS_E2_FILE_OPEN tBody;
    memcpy(&tBody, tEvent.data() + 16, sizeof(tBody));
    tBody.o_dwFileReadId = 0x777;
    Order(TestOrder(EVENT_E2_FILE_OPEN, 0, OpsEventHead(tEvent).dwTransId, &tBody, sizeof(tBody)));
    EXPECT_EQ(6, Result(OneSent(pDown)));
    ExpectClosed(0x777u);
    EXPECT_EQ(VXQ_DPS_CONN_NEW, pDown->iConnType);
    EXPECT_EQ(0u, pDown->tDown.dwFileId);
}

TEST_F(RecordOffline, ReadIdIsUsableOnlyByTheSessionThatOpenedItOnEitherOfItsConnections)
{
    _VXQ_S_DPS_NET_PORT_DATA *pDown = AddConn(2, VXQ_DPS_CONN_NEW);
    ASSERT_EQ(0, Result(Open(pDown, kLogin, 9)));
    _VXQ_S_DPS_NET_PORT_DATA *pOtherCmd = AddConn(3, VXQ_DPS_CONN_COMMAND, kOther, 0xFF, 0);
    ASSERT_EQ(0, Result(Open(AddConn(4, VXQ_DPS_CONN_NEW), kOther, 10)));
    _VXQ_S_DPS_NET_PORT_DATA *pOtherDown = p->pConn[4];
    const uint16_t usOps[] = {P3_DOWNLOAD_GET,    P3_DOWNLOAD_SEEK,        P3_DOWNLOAD_CLOSE,
                              P3_DOWNLOAD_QVIDEO, P3_DOWNLOAD_ONLY_IFRAME, P3_DOWNLOAD_RECOVER_ALLFRAME};
    const struct {
        _VXQ_S_DPS_NET_PORT_DATA *pConn;
        uint32_t dwReadId;
    } tRefused[] = {{pOtherCmd, 9}, {pOtherDown, 9}, {pCmd, 9 ^ 0x5A5Au}, {pCmd, 0}};
    for (const auto &r : tRefused) {
        for (uint16_t usOp : usOps) {
            SCOPED_TRACE(testing::Message() << std::hex << usOp << " " << r.dwReadId);
            Bytes tMsg = FileOpMsg(usOp, r.dwReadId);
            Request(r.pConn, tMsg);
            Bytes tAnswer = OneSent(r.pConn);
            EXPECT_EQ(5, Result(tAnswer));
            EXPECT_EQ(tMsg.size(), tAnswer.size());
        }
    }
    EXPECT_TRUE(Events().empty());
    EXPECT_EQ(0, TransCount());
    /* The owner on its command connection, every operation on its download
     * connection (their fields: RelayOffline rows), the other session its own
     * read id: each reaches the host; an explicit close keeps the connection. */
    const struct {
        _VXQ_S_DPS_NET_PORT_DATA *pConn;
        uint16_t usOp;
        uint32_t dwReadId;
    } tAccepted[] = {{pCmd, P3_DOWNLOAD_SEEK, 9},
                     {pOtherCmd, P3_DOWNLOAD_QVIDEO, 10},
                     {pDown, P3_DOWNLOAD_GET, 9},
                     {pDown, P3_DOWNLOAD_CLOSE, 9}};
    for (const auto &r : tAccepted) {
        Request(r.pConn, FileOpMsg(r.usOp, r.dwReadId));
        EXPECT_TRUE(Sent().empty()) << std::hex << r.usOp;
        EXPECT_EQ(1u, Events().size()) << std::hex << r.usOp;
    }
    EXPECT_EQ(VXQ_DPS_CONN_DOWN, pDown->iConnType);
    EXPECT_EQ(9u, pDown->tDown.dwFileId);
}

TEST_F(RecordOffline, QueryOfAllChannelsNeedsTheSearchRightOnEveryChannel)
{
    _VXQ_S_DPS_NET_PORT_DATA *pView = AddConn(3, VXQ_DPS_CONN_COMMAND, kOther, 0, VXQ_DPS_POP_RECORD_SEARCH);
    pView->pUserInfo->dwChPopMask[2] = 0;
    for (int32_t iChNo : {-1, 2}) {
        Request(pView, QueryMsg(kOther, iChNo));
        EXPECT_EQ(5, Result(OneSent(pView))) << iChNo;
    }
    for (auto r : {std::make_pair(pView, 1), std::make_pair(pCmd, -1)}) {
        Request(r.first, QueryMsg(r.first->dwLoginId, r.second));
        EXPECT_EQ((uint32_t)r.second, TestWord(OneEvent(EVENT_E2_FILE_QUERY), 16));
    }
}

TEST_F(RecordOffline, QueryAnswerSendsRecordsOnlyWhenTheirCountMatchesTheAppendedBytes)
{
    struct {
        bool bNsp;
        uint8_t ucErr;
        int32_t iFileNum;
        size_t iAppend;
        int iAnswerLen; /* -1: nothing is sent */
        uint8_t ucResult;
        uint32_t dwFileNum;
    } tRows[] = {
        {false, 0, 0, 0, 68, 0, 0},
        {false, 0, 2, 440, 68 + 440, 0, 2},
        {false, 0, 1, 219, -1, 0, 0},
        {false, 103, 2, 440, 68, 8, 0},
        {false, 0, -1, 0, -1, 0, 0},
        {false, 0, 0x40000000, 0, -1, 0, 0}, /* 220 times the count wraps to 0 in 32 bits */
        {true, 0, 2, 384, 88 + 384, 0, 2}, /* the extended query: its fixed part and record size */
        {true, 9, 1, 192, 88, 99, 0},
    };
    for (const auto &tRow : tRows) {
        SCOPED_TRACE(testing::Message() << tRow.bNsp << " " << tRow.iFileNum << " " << tRow.iAppend);
        Bytes tQuery = QueryMsg(kLogin, 1);
        if (tRow.bNsp) {
            tQuery = RecMsg(P3_NSP_QUERY_FILE, kLogin);
            TestPutLe32(tQuery, kBody + 4, 1);
        }
        Request(pCmd, tQuery);
        Bytes tEvent = OneEvent(tRow.bNsp ? EVENT_E2_NSP_FILE_QUERY : EVENT_E2_FILE_QUERY);
        Bytes tBody(tEvent.begin() + 16, tEvent.end());
        memcpy(tBody.data() + tBody.size() - 4, &tRow.iFileNum, 4);
        for (size_t i = 0; i < tRow.iAppend; i++)
            tBody.push_back((uint8_t)(i * 7));
        Order(TestOrder(OpsEventHead(tEvent).iMsgFuncId, tRow.ucErr, OpsEventHead(tEvent).dwTransId, tBody.data(),
                        (int32_t)tBody.size()));
        if (tRow.iAnswerLen < 0) {
            EXPECT_TRUE(Sent().empty());
        } else {
            Bytes tAnswer = OneSent(pCmd);
            ASSERT_EQ((size_t)tRow.iAnswerLen, tAnswer.size());
            EXPECT_EQ(tRow.ucResult, Result(tAnswer));
            size_t iFixed = tRow.bNsp ? 88 : 68;
            EXPECT_EQ(tRow.dwFileNum, TestLe32(tAnswer, iFixed - 4));
        }
        EXPECT_EQ(0, TransCount()); /* answered or not, the transaction is gone */
    }
}

TEST_F(RecordOffline, OpenByTimePassesAtMostSixteenAlarmEventsAndNeedsTheCapability)
{
    p->tDevCapInfo.iDevCapValue5 = 1;
    struct {
        int32_t iNum;
        int32_t iPassed;
    } tRows[] = {{20, 16}, {-3, 0}, {5, 5}};
    for (const auto &tRow : tRows) {
        _VXQ_S_DPS_NET_PORT_DATA *pCli = AddConn(5, VXQ_DPS_CONN_NEW);
        Bytes tMsg = RecMsg(P3_DOWNLOAD_OPEN_BY_TIME, kLogin);
        TestPutLe32(tMsg, kBody + 4, 1);
        TestPutLe32(tMsg, kBody + 8, 1);
        for (int i = 0; i < 16; i++)
            tMsg[kBody + 20 + i] = (uint8_t)(0xA0 + i);
        TestPutLe32(tMsg, kBody + 36, (uint32_t)tRow.iNum);
        VXQ_F_TESTCLI_PutU16(tMsg, kBody + 52, 2027);
        Request(pCli, tMsg);
        Bytes tEvent = OneEvent(EVENT_E2_FILE_OPEN_BY_TIME);
        _VXQ_S_DPS_E2_FILE_OPEN_BY_TIME tBody;
        ASSERT_EQ(16 + sizeof(tBody), tEvent.size());
        memcpy(&tBody, tEvent.data() + 16, sizeof(tBody));
        EXPECT_EQ(tRow.iPassed, tBody.i_iAlarmEventNum);
        for (int i = 0; i < 16; i++) {
            EXPECT_EQ(i < tRow.iPassed ? 0xA0 + i : 0, tBody.i_ucAlarmEventTable[i]) << i;
        }
        EXPECT_EQ(1, tBody.i_iChNo);
        EXPECT_EQ(1, tBody.i_iStreamNo);
        EXPECT_EQ(2027, tBody.i_tEndTime.usYear);
        /* The answer's read id and file record land at body 64 and 68. */
        tBody.o_dwFileReadId = 0x00ABCDEF;
        strcpy(tBody.o_tFileInfo.sFileFlag, "ch1/rec-0001");
        tBody.o_tFileInfo.dwFileSize = 0x01020304;
        Order(TestOrder(EVENT_E2_FILE_OPEN_BY_TIME, 0, OpsEventHead(tEvent).dwTransId, &tBody, sizeof(tBody)));
        Bytes tAnswer = OneSent(pCli);
        ASSERT_EQ((size_t)VXQ_F_OFFLINE_MsgLen(P3_DOWNLOAD_OPEN_BY_TIME), tAnswer.size());
        EXPECT_EQ(0, Result(tAnswer));
        EXPECT_EQ(0x00ABCDEFu, TestLe32(tAnswer, kBody + 64));
        EXPECT_STREQ("ch1/rec-0001", (const char *)tAnswer.data() + kBody + 68);
        EXPECT_EQ(0x01020304u, TestLe32(tAnswer, kBody + 68 + 168));
        VXQ_F_DPS_MC_NetPortData_Delete(p, pCli);
    }
    /* Without the capability the open is refused before the host is asked. */
    p->tDevCapInfo.iDevCapValue5 = 0;
    _VXQ_S_DPS_NET_PORT_DATA *pCli = AddConn(5, VXQ_DPS_CONN_NEW);
    Request(pCli, RecMsg(P3_DOWNLOAD_OPEN_BY_TIME, kLogin));
    EXPECT_EQ(40, Result(OneSent(pCli)));
    EXPECT_TRUE(Events().empty());
}

/* The read answer passes the engine's media path, which only a running service shows. */
class RecordLive : public HostFixture
{
};

TEST_F(RecordLive, ReadAnsweredByThreeOrdersGivesThreeResponsesAndEndsWithTheLast)
{
    TestClient &tCmd = Client(), tDown;
    ASSERT_TRUE(tDown.Connect(m_tHost.usPort));
    ASSERT_TRUE(tDown.Send(OpenMsg(tCmd.dwLoginId, "ch0/rec-0001")));
    Bytes tOpen = Event(EVENT_E2_FILE_OPEN);
    _VXQ_S_DPS_E2_FILE_OPEN tOpenBody;
    memcpy(&tOpenBody, tOpen.data() + 16, sizeof(tOpenBody));
    tOpenBody.o_dwFileReadId = 0x77;
    Answer(tOpen, 0, &tOpenBody, sizeof(tOpenBody));
    ASSERT_EQ(0, Result(Read(tDown)));
    ASSERT_TRUE(tDown.Send(GetMsg(0x77, 77)));
    Bytes tEvent = Event(EVENT_E2_FILE_READ);
    _VXQ_S_DPS_E2_FILE_READ tBody;
    ASSERT_EQ(16 + sizeof(tBody), tEvent.size());
    memcpy(&tBody, tEvent.data() + 16, sizeof(tBody));
    EXPECT_EQ(0x77u, tBody.i_dwFileReadId);
    EXPECT_EQ(77u, tBody.i_dwRequId);
    EXPECT_EQ(1, tBody.i_ucReqDataType);
    EXPECT_EQ(64, tBody.i_ucReqDataSize);
    const uint8_t ucEnds[] = {0, 0, 1};
    for (int i = 0; i < 3; i++) {
        tBody.o_ucRetDataType = (uint8_t)(10 + i);
        tBody.o_ucFrameTypeAndDataEnd = VXQ_DPS_FILE_READ_MAKE(i + 1, ucEnds[i]);
        tBody.o_ucMediaCodecId = 0x1B;
        tBody.o_ucVideoFrameRate = 30;
        tBody.o_dwOffsetDataPos = 1000u * (uint32_t)i;
        tBody.o_dwOffsetTimePos = 40u * (uint32_t)i;
        tBody.o_tDataTime.usYear = 2026;
        tBody.o_tDataTime.ucSecond = (uint8_t)i;
        tBody.o_dwDataLen = 999; /* the length actually appended is what goes out */
        Bytes tPart((uint8_t *)&tBody, (uint8_t *)&tBody + sizeof(tBody));
        for (int j = 0; j < 10 + i; j++)
            tPart.push_back((uint8_t)(i * 16 + j));
        Answer(tEvent, 0, tPart.data(), (int32_t)tPart.size());
        Bytes tAnswer = Read(tDown);
        ASSERT_EQ(64u + 10 + i, tAnswer.size());
        EXPECT_EQ(64u + 10 + i, TestLe32(tAnswer, 4));
        EXPECT_EQ(0, Result(tAnswer));
        EXPECT_EQ(0x77u, TestLe32(tAnswer, kBody + 4));
        EXPECT_EQ(77u, TestLe32(tAnswer, kBody + 8));
        EXPECT_EQ(10 + i, tAnswer[kBody + 14]);
        EXPECT_EQ(0xC0 | VXQ_DPS_FILE_READ_MAKE(i + 1, ucEnds[i]), tAnswer[kBody + 15]);
        EXPECT_EQ(0x1B, tAnswer[kBody + 16]);
        EXPECT_EQ(30, tAnswer[kBody + 17]);
        EXPECT_EQ(1000u * (uint32_t)i, TestLe32(tAnswer, kBody + 20));
        EXPECT_EQ(40u * (uint32_t)i, TestLe32(tAnswer, kBody + 24));
        EXPECT_EQ(2026, VXQ_F_TESTCLI_GetU16(tAnswer, kBody + 28));
        EXPECT_EQ(i, tAnswer[kBody + 35]);
        EXPECT_EQ(10u + i, TestLe32(tAnswer, kBody + 40));
        EXPECT_EQ((uint8_t)(i * 16), tAnswer[64]);
        int iTrans = 0;
        VXQ_F_TESTHOST_OnControlThread(&m_tHost, [&](_VXQ_S_DPS_MCSRV_DATA *in_p) {
            iTrans = (int)std::count(in_p->pTrans, in_p->pTrans + VXQ_DPS_MAX_TRANS_NUM, nullptr);
        });
        EXPECT_EQ(VXQ_DPS_MAX_TRANS_NUM - (i < 2 ? 1 : 0), iTrans) << i << ": the transaction ends with the last";
    }
}

TEST_F(RecordOffline, OpenIsRefusedWhenTheMediaBudgetHasNoRoomForAReplayClient)
{
    p->bMediaResCtrl = 1;
    p->fMaxMediaResourceNum = 2.0f;
    p->fReplayResourceLoss = 1.5f;
    _VXQ_S_DPS_NET_PORT_DATA *pFirst = AddConn(5, VXQ_DPS_CONN_NEW), *pSecond = AddConn(6, VXQ_DPS_CONN_NEW);
    ASSERT_EQ(0, Result(Open(pFirst, kLogin, 0x70))); /* 2 - 1.5 leaves 0.5 */
    Request(pSecond, OpenMsg(kLogin, "ch0/rec-0001"));
    EXPECT_EQ(12, Result(OneSent(pSecond)));
    EXPECT_TRUE(Events().empty());
    VXQ_F_DPS_MC_DoNetDisconnetEvent(p, pFirst); /* a download connection going closes its file */
    ExpectClosed(0x70);
    EXPECT_EQ(0, Result(Open(pSecond, kLogin, 0x71)));
}

/* Back-pressure: while the send queues hold more than the media budget a read
 * is dropped unanswered, without an event or a transaction. */
TEST_F(RecordOffline, ReadWhileTheSendBacklogIsOverTheBudgetIsDroppedWithoutAnswerOrEvent)
{
    _VXQ_S_DPS_NET_PORT_DATA *pDown = AddConn(5, VXQ_DPS_CONN_NEW);
    ASSERT_EQ(0, Result(Open(pDown, kLogin, 0x77)));
    for (int32_t iOver : {1, 0}) {
        p->iMediaDataBufSize = VXQ_F_DPS_MC_StatNetSendQueueTotalLen(p) - iOver;
        Request(pDown, GetMsg(0x77, 5));
        EXPECT_TRUE(Sent().empty());
        EXPECT_EQ(Events().size(), iOver ? 0u : 1u) << iOver;
        EXPECT_EQ(TransCount(), iOver ? 0 : 1) << iOver;
    }
}
