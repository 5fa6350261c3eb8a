/* Custom messages, maintenance and upgrade over real connections: the caller
 * checks, the events the host receives and the answers at their exact offsets. */
#include "support/test_host.h"
#include "ops/maint.h"

namespace
{

class Maint : public HostFixture
{
  protected:
    /* A request with body 0 = in_dwWord0 and a zeroed rest of in_nBodyLen bytes. */
    Bytes Req(uint16_t in_usFuncId, size_t in_nBodyLen, uint32_t in_dwWord0)
    {
        Bytes tMsg = Msg(in_usFuncId, in_nBodyLen);
        if (in_nBodyLen >= 4)
            VXQ_F_TESTCLI_PutU32(tMsg, 20, in_dwWord0);
        return tMsg;
    }
    /* An upgrade data piece: parameter, length field and in_nData data bytes. */
    Bytes Piece(uint32_t in_dwParam, uint32_t in_dwLenField, size_t in_nData)
    {
        Bytes tMsg = Req(PB_DUP_UPGRADE_DATA, 8 + in_nData, in_dwParam);
        VXQ_F_TESTCLI_PutU32(tMsg, 24, in_dwLenField);
        for (size_t i = 0; i < in_nData; i++)
            tMsg[28 + i] = (uint8_t)(0x30 + i);
        return tMsg;
    }
};

TEST_F(Maint, UpgradeDataLengthFieldMustEqualTheDataCarried)
{
    TestClient &tCli = Client();
    const struct {
        uint32_t dwLenField;
        size_t nData;
    } tCases[] = {{100, 99}, {0, 0}, {0, 1}, {2, 1}};
    for (const auto &c : tCases) {
        Bytes tAnswer = Ask(tCli, Piece(tCli.dwLoginId, c.dwLenField, c.nData));
        ASSERT_EQ(tAnswer.size(), 28u + c.nData) << c.dwLenField << " " << c.nData;
        EXPECT_EQ(TestHead(tAnswer).ucResult, 2) << c.dwLenField << " " << c.nData;
    }

    /* The parameter is not a login id; the first event is this piece's. */
    Bytes tMsg = Piece(0xCAFE, 5, 5);
    ASSERT_EQ(VXQ_F_TESTCLI_SendMsg(&tCli.t, tMsg), 1);
    Bytes tEvent = Event();
    ASSERT_EQ(VXQ_F_TESTHOST_MsgFuncId(tEvent), EVENT_E7_DUP_UPGRADE_DATA);
    ASSERT_EQ(tEvent.size(), 16u + 8u + 5u);
    EXPECT_EQ(Word(tEvent, 16), 0xCAFEu);
    EXPECT_EQ(Word(tEvent, 20), 5u);
    EXPECT_EQ(std::string(tEvent.begin() + 24, tEvent.end()), "01234");

    Answer(tEvent, 0);
    Bytes tAnswer = Read(tCli);
    ASSERT_EQ(tAnswer.size(), 28u);
    EXPECT_EQ(TestHead(tAnswer).dwPacketSize, 28u);
    EXPECT_EQ(TestHead(tAnswer).ucResult, 0);
    EXPECT_EQ(TestHead(tAnswer).dwTransNo, TestHead(tMsg).dwTransNo);
    EXPECT_EQ(TestLe32(tAnswer, 20), 0xCAFEu);
    EXPECT_EQ(TestLe32(tAnswer, 24), 0u);
}

TEST_F(Maint, ProgressQueryDoesNotCompareBody0WithTheLoginId)
{
    TestClient &tCli = Client();

    Bytes tMsg = Req(PB_DUP_QUERY_PROGRESS, 8, 0x12345);
    VXQ_F_TESTCLI_PutU32(tMsg, 24, 0xEEEEEEEEu);
    ASSERT_EQ(VXQ_F_TESTCLI_SendMsg(&tCli.t, tMsg), 1);
    Bytes tEvent = Event();
    ASSERT_EQ(VXQ_F_TESTHOST_MsgFuncId(tEvent), EVENT_E7_DUP_QUERY_PROGRESS);
    ASSERT_EQ(tEvent.size(), 16u + sizeof(_VXQ_S_DPS_E7_DUP_QUERY));
    EXPECT_EQ(Word(tEvent, 16), 0x12345u);
    EXPECT_EQ(Word(tEvent, 20), 0u);

    _VXQ_S_DPS_E7_DUP_QUERY tBody = {0x12345, 77};
    Answer(tEvent, 0, &tBody, sizeof(tBody));
    Bytes tAnswer = Read(tCli);
    ASSERT_EQ(tAnswer.size(), 28u);
    EXPECT_EQ(TestHead(tAnswer).ucResult, 0);
    EXPECT_EQ(TestHead(tAnswer).dwTransNo, TestHead(tMsg).dwTransNo);
    EXPECT_EQ(TestLe32(tAnswer, 20), 0x12345u);
    EXPECT_EQ(TestLe32(tAnswer, 24), 77u);
}

TEST_F(Maint, PositionQueryReachesTheHostAsTransPosEventAndItsAnswerCarriesThePosition)
{
    TestClient &tCli = Client();
    Bytes tMsg = Req(PB_DUP_QUERY_TRANS_POS, 8, 9);
    ASSERT_EQ(VXQ_F_TESTCLI_SendMsg(&tCli.t, tMsg), 1);
    Bytes tEvent = Event();
    ASSERT_EQ(VXQ_F_TESTHOST_MsgFuncId(tEvent), EVENT_E7_DUP_QUERY_TRANS_POS);
    EXPECT_EQ(Word(tEvent, 16), 9u);

    _VXQ_S_DPS_E7_DUP_QUERY tBody = {9, 65536};
    Answer(tEvent, 5, &tBody, sizeof(tBody)); /* host code 5 is result 43 */
    Bytes tAnswer = Read(tCli);
    ASSERT_EQ(tAnswer.size(), 28u);
    EXPECT_EQ(TestHead(tAnswer).usMsgFuncId, PB_DUP_QUERY_TRANS_POS);
    EXPECT_EQ(TestHead(tAnswer).ucResult, 43);
    EXPECT_EQ(TestLe32(tAnswer, 24), 65536u);
}

TEST_F(Maint, UpgradeAnswerNamingAnotherRequestsTransactionIsDroppedAndTheTransactionDeleted)
{
    TestClient &tCli = Client();
    ASSERT_EQ(VXQ_F_TESTCLI_SendMsg(&tCli.t, Req(PB_DUP_QUERY_PROGRESS, 8, 1)), 1);
    Bytes tEvent = Event(EVENT_E7_DUP_QUERY_PROGRESS);
    _VXQ_S_DPS_E7_DUP_QUERY tBody = {1, 50};
    Post(EVENT_E7_DUP_QUERY_TRANS_POS, 0, VXQ_F_TESTHOST_TransId(tEvent), &tBody, sizeof(tBody));
    EXPECT_TRUE(NothingMore(tCli));
    Answer(tEvent, 0, &tBody, sizeof(tBody)); /* the right answer now finds nothing */
    EXPECT_TRUE(NothingMore(tCli));
}

TEST_F(Maint, AbilityAnswerOfExactly24BytesSendsNothingAndADescriptionIsAppended)
{
    TestClient &tCli = Client();
    EXPECT_EQ(TestHead(Ask(tCli, Req(PB_RMY_QUERY_ABILITY, 12, tCli.dwLoginId + 1))).ucResult, 6);

    Bytes tMsg = Req(PB_RMY_QUERY_ABILITY, 12, tCli.dwLoginId);
    VXQ_F_TESTCLI_PutU32(tMsg, 24, 3);
    ASSERT_EQ(VXQ_F_TESTCLI_SendMsg(&tCli.t, tMsg), 1);
    Bytes tEvent = Event();
    ASSERT_EQ(VXQ_F_TESTHOST_MsgFuncId(tEvent), EVENT_E7_RMY_QUERY_ABILITY);
    ASSERT_EQ(tEvent.size(), 24u);
    EXPECT_EQ(Word(tEvent, 16), 3u);
    Answer(tEvent, 0); /* the 8-byte body only: 24 bytes */
    EXPECT_TRUE(NothingMore(tCli));

    ASSERT_EQ(VXQ_F_TESTCLI_SendMsg(&tCli.t, tMsg), 1);
    tEvent = Event(EVENT_E7_RMY_QUERY_ABILITY);
    uint8_t ucBody[8 + 4] = {3, 0, 0, 0, 0, 0, 0, 0, 'X', 'Y', 'Z', 'W'};
    Answer(tEvent, 0, ucBody, sizeof(ucBody));
    Bytes tAnswer = Read(tCli);
    ASSERT_EQ(tAnswer.size(), 36u);
    EXPECT_EQ(TestHead(tAnswer).dwPacketSize, 36u);
    EXPECT_EQ(TestHead(tAnswer).ucResult, 0);
    EXPECT_EQ(TestLe32(tAnswer, 20), tCli.dwLoginId);
    EXPECT_EQ(TestLe32(tAnswer, 24), 3u);
    EXPECT_EQ(TestLe32(tAnswer, 28), 4u);
    EXPECT_EQ(std::string(tAnswer.begin() + 32, tAnswer.end()), "XYZW");
}

TEST_F(Maint, CustomMessageCarriesDataBothWays)
{
    TestClient &tCli = Client();

    Bytes tMsg = Req(PA_CUSTOM, 8 + 5, 0x99);
    memcpy(tMsg.data() + 28, "hello", 5);
    ASSERT_EQ(VXQ_F_TESTCLI_SendMsg(&tCli.t, tMsg), 1);
    Bytes tEvent = Event();
    ASSERT_EQ(VXQ_F_TESTHOST_MsgFuncId(tEvent), EVENT_E7_CUSTOM);
    ASSERT_EQ(tEvent.size(), 24u + 5u);
    EXPECT_EQ(Word(tEvent, 16), 0x99u);
    EXPECT_EQ(Word(tEvent, 20), 5u);
    EXPECT_EQ(std::string(tEvent.begin() + 24, tEvent.end()), "hello");

    uint8_t ucBody[8 + 7] = {0x99, 0, 0, 0, 0, 0, 0, 0, 'a', 'n', 's', 'w', 'e', 'r', '!'};
    Answer(tEvent, 0, ucBody, sizeof(ucBody));
    Bytes tAnswer = Read(tCli);
    ASSERT_EQ(tAnswer.size(), 35u);
    EXPECT_EQ(TestHead(tAnswer).dwPacketSize, 35u);
    EXPECT_EQ(TestHead(tAnswer).ucResult, 0);
    EXPECT_EQ(TestLe32(tAnswer, 20), 0x99u);
    EXPECT_EQ(TestLe32(tAnswer, 24), 7u);
    EXPECT_EQ(std::string(tAnswer.begin() + 28, tAnswer.end()), "answer!");

    /* A refusal without data: 28 bytes, length 0, the translated code. */
    ASSERT_EQ(VXQ_F_TESTCLI_SendMsg(&tCli.t, tMsg), 1);
    tEvent = Event(EVENT_E7_CUSTOM);
    Answer(tEvent, 4, nullptr, 0);
    tAnswer = Read(tCli);
    ASSERT_EQ(tAnswer.size(), 28u);
    EXPECT_EQ(TestHead(tAnswer).ucResult, 2);
    EXPECT_EQ(TestLe32(tAnswer, 24), 0u);
}

TEST_F(Maint, VersionQueryAndUpgradeRequestCarryTheHostsValues)
{
    TestClient &tCli = Client();
    Bytes tMsg = Req(PB_DUP_QUERY_DEV_VER_INFO, 28, tCli.dwLoginId);
    ASSERT_EQ(VXQ_F_TESTCLI_SendMsg(&tCli.t, tMsg), 1);
    Bytes tEvent = Event();
    ASSERT_EQ(VXQ_F_TESTHOST_MsgFuncId(tEvent), EVENT_E7_DUP_QUERY_DEV_VER_INFO);
    ASSERT_EQ(tEvent.size(), 16u + 24u);
    _VXQ_S_DPS_E7_DUP_QUERY_DEV_VER_INFO tVer = {{1, 2, 3, 0xFFFF}, {10, 20, 30, 0x80000000u}};
    Answer(tEvent, 0, &tVer, sizeof(tVer));
    Bytes tAnswer = Read(tCli);
    ASSERT_EQ(tAnswer.size(), 48u);
    EXPECT_EQ(VXQ_F_TESTCLI_GetU16(tAnswer, 24), 1);
    EXPECT_EQ(VXQ_F_TESTCLI_GetU16(tAnswer, 30), 0xFFFF);
    EXPECT_EQ(TestLe32(tAnswer, 32), 10u);
    EXPECT_EQ(TestLe32(tAnswer, 44), 0x80000000u);

    tMsg = Req(PB_DUP_REQU_UPGRADE, 16, tCli.dwLoginId);
    VXQ_F_TESTCLI_PutU16(tMsg, 24, 0x0102);
    VXQ_F_TESTCLI_PutU16(tMsg, 26, 0x0304);
    VXQ_F_TESTCLI_PutU32(tMsg, 28, 4096);
    ASSERT_EQ(VXQ_F_TESTCLI_SendMsg(&tCli.t, tMsg), 1);
    tEvent = Event();
    ASSERT_EQ(VXQ_F_TESTHOST_MsgFuncId(tEvent), EVENT_E7_DUP_REQU_UPGRADE);
    _VXQ_S_DPS_E7_DUP_REQU_UPGRADE tUp;
    ASSERT_EQ(tEvent.size(), 16u + sizeof(tUp));
    memcpy(&tUp, tEvent.data() + 16, sizeof(tUp));
    EXPECT_EQ(tUp.i_usValue1, 0x0102);
    EXPECT_EQ(tUp.i_usValue2, 0x0304);
    EXPECT_EQ(tUp.i_dwValue, 4096u);
    EXPECT_EQ(tUp.o_dwAnswer, 0u);
    tUp.o_dwAnswer = 0xA1B2C3D4u;
    Answer(tEvent, 0, &tUp, sizeof(tUp));
    tAnswer = Read(tCli);
    ASSERT_EQ(tAnswer.size(), 36u);
    EXPECT_EQ(TestLe32(tAnswer, 28), 4096u);
    EXPECT_EQ(TestLe32(tAnswer, 32), 0xA1B2C3D4u);
}

} // namespace
