/* Record search and download through a running service, a test client and a
 * test host that holds recordings (support/test_host.h). */
#include "ops/record.h"
#include "support/offline_rig.h"
#include "support/wait_until.h"

#include <deque>

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
    VXQ_F_TESTCLI_PutU16(tMsg, kBody + 20, 2026); /* start time year */
    VXQ_F_TESTCLI_PutU16(tMsg, kBody + 22, 12);
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

/* A test host holding three recordings; "admin" has every right, "viewer"
 * searches and downloads on the channel words only. */
class RecordTest : public HostFixture
{
  protected:
    void SetUp() override
    {
        VXQ_F_TESTHOST_AddUser(&m_tHost, "admin", "pw", 0xFF, 0);
        VXQ_F_TESTHOST_AddUser(&m_tHost, "viewer", "pw", 0, 0x01 | 0x08);
        m_tHost.tCap.iDevCapValue5 = 1;
        VXQ_F_RECHOST_AddFile(&tRec, "ch0/rec-0001", 0, 3000, 11);
        VXQ_F_RECHOST_AddFile(&tRec, "ch1/rec-0001", 1, 5 * 1024 * 1024 + 12345, 22);
        VXQ_F_RECHOST_AddFile(&tRec, "ch1/rec-0002", 1, 100, 33);
        ASSERT_EQ(1, VXQ_F_TESTHOST_Start(&m_tHost));
        pCmd = &Client();
        dwLoginId = pCmd->dwLoginId;
    }

    /* A connection that has sent nothing yet. */
    TestClient &Raw()
    {
        TestClient &t = tRaw.emplace_back();
        EXPECT_TRUE(t.Connect(m_tHost.usPort));
        return t;
    }

    /* Opens in_sFlag on a new connection; the read id from the answer. */
    uint32_t OpenDownload(TestClient *&out_pCli, const std::string &in_sFlag = "ch1/rec-0001")
    {
        out_pCli = &Raw();
        Bytes tAnswer = Ask(*out_pCli, OpenMsg(dwLoginId, in_sFlag));
        return Result(tAnswer) == 0 ? TestLe32(tAnswer, kBody + 140) : 0;
    }

    /* Transactions parked now (control thread). */
    int TransCount()
    {
        int iNum = 0;
        VXQ_F_TESTHOST_OnControlThread(&m_tHost, [&](_VXQ_S_DPS_MCSRV_DATA *p) {
            for (int i = 0; i < VXQ_DPS_MAX_TRANS_NUM; i++)
                iNum += p->pTrans[i] != nullptr;
        });
        return iNum;
    }

    /* The next close event: 4 bytes, transaction id 0 (nobody waits for its
     * answer), naming in_dwReadId. */
    void ExpectClosed(uint32_t in_dwReadId)
    {
        Bytes tEvent = Event(EVENT_E2_FILE_CLOSE);
        ASSERT_EQ(20u, tEvent.size());
        EXPECT_EQ(0u, VXQ_F_TESTHOST_TransId(tEvent));
        EXPECT_EQ(in_dwReadId, TestWord(tEvent, 16));
    }

    /* Events raised before now have reached the host: a query answered on a
     * connection of its own, whose event the host sees after all earlier ones
     * (one callback thread, events in order). Its event is taken from the list. */
    void FlushEvents()
    {
        if (pFlush == nullptr)
            pFlush = &Client();
        ASSERT_FALSE(Ask(*pFlush, QueryMsg(pFlush->dwLoginId, 3)).empty());
        ASSERT_FALSE(Event(EVENT_E2_FILE_QUERY).empty());
    }

    bool HasEvent(int32_t in_iId)
    {
        Bytes tEvent;
        return VXQ_F_TESTHOST_WaitEvent(&m_tHost, in_iId, tEvent, 0) == 1;
    }

    _VXQ_S_TESTHOST_DATA &tRec = m_tHost;
    TestClient *pCmd = nullptr;
    TestClient *pFlush = nullptr;
    uint32_t dwLoginId = 0;
    std::deque<TestClient> tRaw;
};

} // namespace

TEST_F(RecordTest, QueryOfAllChannelsNeedsTheSearchRightOnEveryChannel)
{
    TestClient &tView = Raw();
    uint32_t dwViewId = 0;
    ASSERT_EQ(1, VXQ_F_TESTCLI_TokenAndLogin(&tView.t, "viewer", "pw", &dwViewId));
    ASSERT_EQ(1, VXQ_F_TESTHOST_OnControlThread(&m_tHost, [&](_VXQ_S_DPS_MCSRV_DATA *p) {
                  VXQ_F_TESTHOST_ConnOf(p, tView)->pUserInfo->dwChPopMask[2] &= ~VXQ_DPS_POP_RECORD_SEARCH;
              }));
    struct {
        int32_t iChNo;
        uint8_t ucResult;
        uint32_t dwFileNum; /* records answered when accepted */
    } tRows[] = {{-1, 5, 0}, {2, 5, 0}, {1, 0, 2}, {0, 0, 1}, {3, 0, 0}};
    for (const auto &tRow : tRows) {
        Bytes tAnswer = Ask(tView, QueryMsg(dwViewId, tRow.iChNo));
        EXPECT_EQ(tRow.ucResult, Result(tAnswer)) << tRow.iChNo;
        EXPECT_EQ(1, tAnswer[10] & 3);
        EXPECT_EQ(68 + 220 * tRow.dwFileNum, tAnswer.size()) << tRow.iChNo;
        if (tAnswer.size() >= 68) {
            EXPECT_EQ(tRow.dwFileNum, TestLe32(tAnswer, kBody + 44));
        }
    }
    /* The whole device for a user with the right everywhere: every file (their fields: GoldenWire). */
    Bytes tAnswer = Ask(*pCmd, QueryMsg(dwLoginId, -1));
    ASSERT_EQ(0, Result(tAnswer));
    ASSERT_EQ(68u + 3 * 220, tAnswer.size());
    EXPECT_EQ(68u + 3 * 220, TestLe32(tAnswer, 4));
    for (size_t i = 0; i < 3; i++)
        EXPECT_STREQ(VXQ_F_RECHOST_FileInfo(&tRec, i).sFileFlag, (const char *)tAnswer.data() + 68 + 220 * i);
    /* The event carried the channel of the viewer's first accepted query (its times: Past2038). */
    Bytes tEvent = Event(EVENT_E2_FILE_QUERY);
    ASSERT_EQ(16 + sizeof(_VXQ_S_DPS_E2_FILE_QUERY), tEvent.size());
    EXPECT_EQ(1u, TestWord(tEvent, 16));
}

TEST_F(RecordTest, QueryAnswerSendsRecordsOnlyWhenTheirCountMatchesTheAppendedBytes)
{
    tRec.tManual.insert(EVENT_E2_FILE_QUERY);
    tRec.tManual.insert(EVENT_E2_NSP_FILE_QUERY);
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
        {true, 0, 2, 384, 88 + 384, 0, 2},
        {true, 0, -2, 0, -1, 0, 0},
        {true, 0, 0x40000000, 0, -1, 0, 0},
        {true, 9, 1, 192, 88, 99, 0},
    };
    for (const auto &tRow : tRows) {
        SCOPED_TRACE(testing::Message() << tRow.bNsp << " " << tRow.iFileNum << " " << tRow.iAppend);
        Bytes tQuery = QueryMsg(dwLoginId, 1);
        if (tRow.bNsp) {
            tQuery = RecMsg(P3_NSP_QUERY_FILE, dwLoginId);
            TestPutLe32(tQuery, kBody + 4, 1);
        }
        ASSERT_TRUE(pCmd->Send(tQuery));
        Bytes tEvent = Event(tRow.bNsp ? EVENT_E2_NSP_FILE_QUERY : EVENT_E2_FILE_QUERY);
        ASSERT_FALSE(tEvent.empty());
        Bytes tBody(tEvent.begin() + 16, tEvent.end());
        memcpy(tBody.data() + tBody.size() - 4, &tRow.iFileNum, 4);
        for (size_t i = 0; i < tRow.iAppend; i++)
            tBody.push_back((uint8_t)(i * 7));
        Answer(tEvent, tRow.ucErr, tBody.data(), (int32_t)tBody.size());
        if (tRow.iAnswerLen < 0) {
            EXPECT_TRUE(NothingMore(*pCmd));
        } else {
            Bytes tAnswer = Read(*pCmd);
            ASSERT_EQ((size_t)tRow.iAnswerLen, tAnswer.size());
            EXPECT_EQ(tRow.ucResult, Result(tAnswer));
            size_t iFixed = tRow.bNsp ? 88 : 68;
            EXPECT_EQ(tRow.dwFileNum, TestLe32(tAnswer, iFixed - 4));
            if (tRow.dwFileNum > 0) { /* the records' text passes unchanged */
                EXPECT_EQ(0, memcmp(tAnswer.data() + iFixed, tBody.data() + (tRow.bNsp ? 64 : 44), 128));
            }
        }
        EXPECT_EQ(0, TransCount()); /* answered or not, the transaction is gone */
    }
}

TEST_F(RecordTest, OpenByTimePassesAtMostSixteenAlarmEventsAndNeedsTheCapability)
{
    tRec.tManual.insert(EVENT_E2_FILE_OPEN_BY_TIME);
    struct {
        int32_t iNum;
        int32_t iPassed;
    } tRows[] = {{20, 16}, {-3, 0}, {5, 5}};
    for (const auto &tRow : tRows) {
        TestClient &tCli = Raw();
        Bytes tMsg = RecMsg(P3_DOWNLOAD_OPEN_BY_TIME, dwLoginId);
        TestPutLe32(tMsg, kBody + 4, 1);
        TestPutLe32(tMsg, kBody + 8, 1);
        for (int i = 0; i < 16; i++)
            tMsg[kBody + 20 + i] = (uint8_t)(0xA0 + i);
        TestPutLe32(tMsg, kBody + 36, (uint32_t)tRow.iNum);
        VXQ_F_TESTCLI_PutU16(tMsg, kBody + 52, 2027);
        ASSERT_TRUE(tCli.Send(tMsg));
        Bytes tEvent = Event(EVENT_E2_FILE_OPEN_BY_TIME);
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
        tBody.o_tFileInfo = VXQ_F_RECHOST_FileInfo(&tRec, 1);
        Answer(tEvent, 0, &tBody, sizeof(tBody));
        Bytes tAnswer = Read(tCli);
        ASSERT_EQ((size_t)VXQ_F_OFFLINE_MsgLen(P3_DOWNLOAD_OPEN_BY_TIME), tAnswer.size());
        EXPECT_EQ(0, Result(tAnswer));
        EXPECT_EQ(0x00ABCDEFu, TestLe32(tAnswer, kBody + 64));
        EXPECT_STREQ("ch1/rec-0001", (const char *)tAnswer.data() + kBody + 68);
        EXPECT_EQ(tBody.o_tFileInfo.dwFileSize, TestLe32(tAnswer, kBody + 68 + 168));
    }
    /* Without the capability the open is refused before the host is asked. */
    ASSERT_EQ(1, VXQ_F_TESTHOST_OnControlThread(
                     &m_tHost, [](_VXQ_S_DPS_MCSRV_DATA *p) { p->tDevCapInfo.iDevCapValue5 = 0; }));
    EXPECT_EQ(40, Result(Ask(Raw(), RecMsg(P3_DOWNLOAD_OPEN_BY_TIME, dwLoginId))));
}

TEST_F(RecordTest, ReadAnsweredByThreeOrdersGivesThreeResponsesAndEndsWithTheLast)
{
    TestClient *pDown = nullptr;
    uint32_t dwReadId = OpenDownload(pDown);
    ASSERT_NE(0u, dwReadId);
    tRec.tManual.insert(EVENT_E2_FILE_READ);
    ASSERT_TRUE(pDown->Send(GetMsg(dwReadId, 77)));
    Bytes tEvent = Event(EVENT_E2_FILE_READ);
    _VXQ_S_DPS_E2_FILE_READ tBody;
    ASSERT_EQ(16 + sizeof(tBody), tEvent.size());
    memcpy(&tBody, tEvent.data() + 16, sizeof(tBody));
    EXPECT_EQ(dwReadId, tBody.i_dwFileReadId);
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
        Bytes tAnswer = Read(*pDown);
        ASSERT_EQ(64u + 10 + i, tAnswer.size());
        EXPECT_EQ(64u + 10 + i, TestLe32(tAnswer, 4));
        EXPECT_EQ(P3_DOWNLOAD_GET, VXQ_F_TESTCLI_GetU16(tAnswer, 8));
        EXPECT_EQ(1, tAnswer[10] & 3);
        EXPECT_EQ(0, Result(tAnswer));
        EXPECT_EQ(7u, TestLe32(tAnswer, 12));
        EXPECT_EQ(dwReadId, TestLe32(tAnswer, kBody + 4));
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
        EXPECT_EQ(i < 2 ? 1 : 0, TransCount()) << i;
    }
    EXPECT_TRUE(NothingMore(*pDown));
}

TEST_F(RecordTest, ReadWhileTheSendBacklogIsOverTheLimitIsDroppedWithoutAnswerOrEvent)
{
    VXQ_F_RECHOST_AddFile(&tRec, "ch2/big", 2, 48u * 1024 * 1024, 44);
    /* One read answered with 16 MiB in 8 orders: far more than the socket
     * buffers of a client that never reads can take, so most of it stays queued. */
    tRec.iReadLen = 16 * 1024 * 1024;
    tRec.iOrdersPerRead = 8;
    ASSERT_EQ(1, VXQ_F_DPS_SetMediaDataBufSize(m_tHost.pSrv, 1024 * 1024));
    TestClient *pStall = nullptr, *pDown = nullptr;
    uint32_t dwStallId = OpenDownload(pStall, "ch2/big");
    uint32_t dwReadId = OpenDownload(pDown, "ch0/rec-0001");
    ASSERT_NE(0u, dwStallId);
    ASSERT_NE(0u, dwReadId);
    bool bOver = false;
    for (uint32_t i = 0; i < 3 && !bOver; i++) {
        ASSERT_TRUE(pStall->Send(GetMsg(dwStallId, i)));
        ASSERT_FALSE(Event(EVENT_E2_FILE_READ).empty());
        ASSERT_TRUE(WaitUntil([&]() { return TransCount() == 0; })); /* all 8 answers are queued */
        VXQ_F_TESTHOST_OnControlThread(&m_tHost, [&](_VXQ_S_DPS_MCSRV_DATA *p) {
            bOver = VXQ_F_DPS_MC_StatNetSendQueueTotalLen(p) > p->iMediaDataBufSize + 8 * 1024 * 1024;
        });
    }
    ASSERT_TRUE(bOver);
    ASSERT_TRUE(pDown->Send(GetMsg(dwReadId, 5)));
    EXPECT_TRUE(NothingMore(*pDown));
    FlushEvents();
    EXPECT_FALSE(HasEvent(EVENT_E2_FILE_READ));
    EXPECT_EQ(0, TransCount());
}

TEST_F(RecordTest, WholeFileOfFiveMegabytesDownloadsByteForByte)
{
    tRec.iReadLen = 256 * 1024; /* each read answered in 3 orders */
    TestClient *pDown = nullptr;
    uint32_t dwReadId = OpenDownload(pDown);
    ASSERT_NE(0u, dwReadId);
    Bytes tGot;
    uint8_t ucEnd = 0;
    int iResponses = 0;
    for (uint32_t dwRequId = 1; ucEnd != 1 && dwRequId < 1000; dwRequId++) {
        ASSERT_TRUE(pDown->Send(GetMsg(dwReadId, dwRequId)));
        do {
            Bytes tAnswer = Read(*pDown);
            ASSERT_GE(tAnswer.size(), 64u);
            ASSERT_EQ(0, Result(tAnswer));
            ASSERT_EQ(dwRequId, TestLe32(tAnswer, kBody + 8));
            ASSERT_EQ(tAnswer.size() - 64, TestLe32(tAnswer, kBody + 40));
            ASSERT_EQ(tGot.size(), TestLe32(tAnswer, kBody + 20));
            tGot.insert(tGot.end(), tAnswer.begin() + 64, tAnswer.end());
            ucEnd = VXQ_DPS_FILE_READ_DATA_END(tAnswer[kBody + 15]);
            iResponses++;
        } while (ucEnd == 0);
    }
    const Bytes &tFile = tRec.tFiles[1].tData;
    EXPECT_EQ(tFile.size(), tGot.size());
    EXPECT_TRUE(tFile == tGot);
    EXPECT_EQ(3 * ((int)tFile.size() / tRec.iReadLen + 1), iResponses);
    EXPECT_EQ(0, TransCount());
}

/* Every way a download's file is closed without a close request raises one
 * close event (ExpectClosed) naming that read id, and no other. */
TEST_F(RecordTest, DownloadConnectionGoingAwayClosesItsFileOnceAndGoesWithItsLogin)
{
    TestClient *pDown = nullptr, *pSecond = nullptr;
    uint32_t dwReadId = OpenDownload(pDown);
    ASSERT_NE(0u, dwReadId);
    pDown->Close();
    ExpectClosed(dwReadId);

    uint32_t dwSecondId = OpenDownload(pSecond);
    ASSERT_NE(0u, dwSecondId);
    pCmd->Close(); /* the login goes: its download connection goes with it */
    EXPECT_TRUE(pSecond->WaitClosed());
    ExpectClosed(dwSecondId);
    FlushEvents();                               /* the host has handled every earlier event */
    EXPECT_FALSE(HasEvent(EVENT_E2_FILE_CLOSE)); /* once each */
    std::lock_guard<std::mutex> tGuard(tRec.tLock);
    EXPECT_EQ(2, tRec.iCloseTotal);
}

TEST_F(RecordTest, OpenIsRefusedWhenTheMediaBudgetHasNoRoomForAReplayClient)
{
    ASSERT_EQ(1, VXQ_F_DPS_ControlMediaResource(m_tHost.pSrv, 1, 2.0f, 1.0f, 1.5f));
    TestClient *pFirst = nullptr;
    ASSERT_NE(0u, OpenDownload(pFirst)); /* 2 - 1.5 leaves 0.5 */
    TestClient &tSecond = Raw();
    EXPECT_EQ(12, Result(Ask(tSecond, OpenMsg(dwLoginId, "ch0/rec-0001"))));
    pFirst->Close();
    ASSERT_FALSE(Event(EVENT_E2_FILE_CLOSE).empty());
    EXPECT_EQ(0, Result(Ask(tSecond, OpenMsg(dwLoginId, "ch0/rec-0001"))));
}

/* ---- Unit level: the open and the read id's owner on the offline rig ---- */

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

TEST_F(RecordOffline, SuccessfulOpenMakesADownloadConnectionAndAFailedOneChangesNothing)
{
    _VXQ_S_DPS_NET_PORT_DATA *pBad = AddConn(5, VXQ_DPS_CONN_NEW);
    Bytes tAnswer = Open(pBad, kLogin, 0x1234, VXQ_DPS_APP_ERR_RESOURCE_NO_EXIST, "no-such-file");
    ASSERT_EQ((size_t)VXQ_F_OFFLINE_MsgLen(P3_DOWNLOAD_OPEN), tAnswer.size());
    EXPECT_EQ(13, Result(tAnswer)); /* resource no exist */
    EXPECT_EQ(0x1234u, TestLe32(tAnswer, kBody + 140));
    EXPECT_STREQ("ch0/rec-0001", (const char *)tAnswer.data() + kBody + 144);
    EXPECT_EQ(VXQ_DPS_CONN_NEW, pBad->iConnType);
    EXPECT_EQ(0u, pBad->tDown.dwFileId);
    EXPECT_EQ(0u, pBad->dwLoginId);

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
    } tAccepted[] = {{pCmd, P3_DOWNLOAD_SEEK, 9},          {pOtherCmd, P3_DOWNLOAD_QVIDEO, 10},
                     {pDown, P3_DOWNLOAD_GET, 9},          {pDown, P3_DOWNLOAD_SEEK, 9},
                     {pDown, P3_DOWNLOAD_QVIDEO, 9},       {pDown, P3_DOWNLOAD_ONLY_IFRAME, 9},
                     {pDown, P3_DOWNLOAD_RECOVER_ALLFRAME, 9}, {pDown, P3_DOWNLOAD_CLOSE, 9}};
    for (const auto &r : tAccepted) {
        Request(r.pConn, FileOpMsg(r.usOp, r.dwReadId));
        EXPECT_TRUE(Sent().empty()) << std::hex << r.usOp;
        EXPECT_EQ(1u, Events().size()) << std::hex << r.usOp;
    }
    EXPECT_EQ(VXQ_DPS_CONN_DOWN, pDown->iConnType);
    EXPECT_EQ(9u, pDown->tDown.dwFileId);
}
