/* Configuration, network address and user requests: the checks, the events
 * the host gets and the answers at their exact offsets. */
#include "ops/config_users.h"
#include "support/offline_rig.h"
#include "support/test_host.h"

namespace
{

const uint32_t kLogin = 0x5B220002u;

class ConfigUsers : public OfflineRig
{
  protected:
    /* A logged-in command connection in slot 1 with every right on the global word. */
    void SetUp() override
    {
        OfflineRig::SetUp();
        pCmd = AddConn(1, VXQ_DPS_CONN_COMMAND, kLogin, 0xFF, 0);
    }
    /* A user request (add 352 bytes, get/set 320) with the permission record at in_nPopOff. */
    Bytes UserMsg(uint16_t in_usFuncId, size_t in_nLen, size_t in_nPopOff, int32_t in_iChPopNum)
    {
        Bytes tMsg = TestMsg(in_usFuncId, 0x901, in_nLen - 20);
        TestPutLe32(tMsg, 20, kLogin);
        memcpy(tMsg.data() + 24, "operator", 8);
        TestPutLe32(tMsg, in_nPopOff, 0x3F);
        TestPutLe32(tMsg, in_nPopOff + 4, (uint32_t)in_iChPopNum);
        for (int i = 0; i < 64; i++)
            TestPutLe32(tMsg, in_nPopOff + 8 + 4 * (size_t)i, 0x100u + (uint32_t)i);
        return tMsg;
    }
    _VXQ_S_DPS_NET_PORT_DATA *pCmd = nullptr;
};

TEST_F(ConfigUsers, UserRequestsClampTheChannelWordCountTo0To64BothWays)
{
    const struct {
        uint16_t usFuncId;
        size_t nLen, nPopOff;
        int32_t iEventId;
        size_t nPopInEvent; /* the permission record's offset in the event body */
        int32_t iSent, iExpected;
    } tCases[] = {
        {P9_UNS_ADD_USER, 352, 88, EVENT_E3_UNS_ADD_USER, 64, 100, 64},
        {P9_UNS_ADD_USER, 352, 88, EVENT_E3_UNS_ADD_USER, 64, -5, 0},
        {P9_UNS_ADD_USER, 352, 88, EVENT_E3_UNS_ADD_USER, 64, 10, 10},
        {P9_UNS_ADD_USER, 352, 88, EVENT_E3_UNS_ADD_USER, 64, 64, 64},
        {P9_UNS_SET_USER_POP, 320, 56, EVENT_E3_UNS_SET_USER_POP, 32, 3, 3},
    };
    for (const auto &c : tCases) {
        SCOPED_TRACE(c.iSent);
        Bytes tMsg = UserMsg(c.usFuncId, c.nLen, c.nPopOff, c.iSent);
        if (c.usFuncId == P9_UNS_ADD_USER)
            memcpy(tMsg.data() + 56, "secret", 6);
        Request(pCmd, tMsg);
        Bytes tEvent = OneEvent(c.iEventId);
        ASSERT_EQ(tEvent.size(), 16u + c.nLen - 24);
        EXPECT_STREQ((const char *)tEvent.data() + 16, "operator");
        if (c.usFuncId == P9_UNS_ADD_USER) {
            EXPECT_STREQ((const char *)tEvent.data() + 16 + 32, "secret");
        }
        _VXQ_S_DPS_USER_POP tPop;
        memcpy(&tPop, tEvent.data() + 16 + c.nPopInEvent, sizeof(tPop));
        EXPECT_EQ(tPop.dwGlobalPop, 0x3Fu);
        EXPECT_EQ(tPop.iChPopNum, c.iExpected);
        for (int i = 0; i < 64; i++)
            EXPECT_EQ(tPop.dwChPop[i], i < c.iExpected ? 0x100u + (uint32_t)i : 0u);
        Order(TestOrder(c.iEventId, 0, OpsEventHead(tEvent).dwTransId, nullptr, 0));
        EXPECT_EQ(OneSent(pCmd).size(), c.nLen);
    }
}

TEST_F(ConfigUsers, GetUserAnswerClampsTo64)
{
    Request(pCmd, UserMsg(P9_UNS_GET_USER_POP, 320, 56, 0));
    Bytes tEvent = OneEvent(EVENT_E3_UNS_GET_USER_POP);
    ASSERT_EQ(tEvent.size(), 16u + 296u);
    _VXQ_S_DPS_E3_UNS_USER_POP tBody;
    memcpy(&tBody, tEvent.data() + 16, sizeof(tBody));
    EXPECT_STREQ(tBody.i_sUserName, "operator");
    tBody.tPop.dwGlobalPop = 0xC3;
    tBody.tPop.iChPopNum = 70;
    for (int i = 0; i < 64; i++)
        tBody.tPop.dwChPop[i] = 0x7700u + (uint32_t)i;
    Order(TestOrder(EVENT_E3_UNS_GET_USER_POP, 0, OpsEventHead(tEvent).dwTransId, &tBody,
                    (int32_t)sizeof(tBody)));
    Bytes tAnswer = OneSent(pCmd);
    ASSERT_EQ(tAnswer.size(), 320u);
    EXPECT_EQ(TestLe32(tAnswer, 4), 320u);
    EXPECT_EQ(tAnswer[11], 0);
    EXPECT_EQ(TestLe32(tAnswer, 56), 0xC3u);
    EXPECT_EQ(TestLe32(tAnswer, 60), 64u);
    for (int i = 0; i < 64; i++)
        EXPECT_EQ(TestLe32(tAnswer, 64 + 4 * (size_t)i), 0x7700u + (uint32_t)i);
}

TEST_F(ConfigUsers, NetworkInformationAnswerCarriesTheHostsCards)
{
    Request(pCmd, TestMsg(P9_QUERY_NET_INFO, 0x31, 4));
    Bytes tEvent = OneEvent(EVENT_E3_QUERY_NET_INFO);
    ASSERT_EQ(tEvent.size(), 20u);

    uint8_t ucBody[4 + 2 * 90];
    memset(ucBody, 0, sizeof(ucBody));
    int32_t iCount = 2;
    memcpy(ucBody, &iCount, 4);
    for (int i = 0; i < 2; i++) {
        uint8_t *pCard = ucBody + 4 + 90 * i;
        snprintf((char *)pCard, 32, "eth%d", i);
        uint32_t dwValue = 0x01020304u + (uint32_t)i;
        memcpy(pCard + 38, &dwValue, 4); /* host order in the order */
        snprintf((char *)pCard + 42, 16, "10.0.0.%d", i + 1);
    }
    Order(TestOrder(EVENT_E3_QUERY_NET_INFO, 0, OpsEventHead(tEvent).dwTransId, ucBody,
                    (int32_t)sizeof(ucBody)));
    Bytes tAnswer = OneSent(pCmd);
    ASSERT_EQ(tAnswer.size(), 24u + 180u);
    EXPECT_EQ(TestLe32(tAnswer, 4), 204u);
    EXPECT_EQ(TestLe32(tAnswer, 12), 0x31u);
    EXPECT_EQ(TestLe32(tAnswer, 20), 2u);
    EXPECT_STREQ((const char *)tAnswer.data() + 24 + 90, "eth1");
    EXPECT_EQ(TestLe32(tAnswer, 24 + 90 + 38), 0x01020305u); /* wire order */
    EXPECT_STREQ((const char *)tAnswer.data() + 24 + 42, "10.0.0.1");

    /* A count the order cannot hold is not trusted. */
    Request(pCmd, TestMsg(P9_QUERY_NET_INFO, 0x32, 4));
    tEvent = OneEvent(EVENT_E3_QUERY_NET_INFO);
    iCount = 3;
    memcpy(ucBody, &iCount, 4);
    Order(TestOrder(EVENT_E3_QUERY_NET_INFO, 0, OpsEventHead(tEvent).dwTransId, ucBody,
                    (int32_t)sizeof(ucBody)));
    tAnswer = OneSent(pCmd);
    ASSERT_EQ(tAnswer.size(), 24u);
    EXPECT_EQ(tAnswer[11], 1);
    EXPECT_EQ(TestLe32(tAnswer, 20), 0u);
}

TEST_F(ConfigUsers, AddressChangeEventAlignsTheCardAndPasswordChangePassesItsTexts)
{
    Bytes tMsg = TestMsg(P9_MODIFY_NET_ADDR, 5, 90);
    memset(tMsg.data() + 20, 'n', 32); /* an unterminated name */
    memcpy(tMsg.data() + 52, "\x00\x11\x22\x33\x44\x55", 6);
    TestPutLe32(tMsg, 58, 0xA1B2C3D4u);
    memcpy(tMsg.data() + 62, "192.168.1.10", 12);
    memcpy(tMsg.data() + 78, "255.255.255.0", 13);
    memcpy(tMsg.data() + 94, "192.168.1.1", 11);
    Request(pCmd, tMsg);
    Bytes tEvent = OneEvent(EVENT_E3_MODIFY_NET_ADDR);
    ASSERT_EQ(tEvent.size(), 16u + 92u);
    _VXQ_S_DPS_E3_MODIFY_NET_ADDR tCard;
    memcpy(&tCard, tEvent.data() + 16, sizeof(tCard));
    EXPECT_EQ(std::string(tCard.i_sCardName), std::string(31, 'n'));
    EXPECT_EQ(tCard.i_ucMacAddr[5], 0x55);
    EXPECT_EQ(tCard.ucReserved[0] | tCard.ucReserved[1], 0);
    EXPECT_EQ(tCard.i_dwValue, 0xA1B2C3D4u);
    EXPECT_STREQ(tCard.i_sAddr1, "192.168.1.10");
    EXPECT_STREQ(tCard.i_sAddr2, "255.255.255.0");
    EXPECT_STREQ(tCard.i_sAddr3, "192.168.1.1");
    Order(TestOrder(EVENT_E3_MODIFY_NET_ADDR, 0, OpsEventHead(tEvent).dwTransId, nullptr, 0));
    EXPECT_EQ(OneSent(pCmd).size(), 110u);

    tMsg = TestMsg(P9_MODIFY_USER_PWD, 6, 96);
    memcpy(tMsg.data() + 20, "admin", 5);
    memcpy(tMsg.data() + 52, "old", 3);
    memcpy(tMsg.data() + 84, "new", 3);
    Request(pCmd, tMsg);
    tEvent = OneEvent(EVENT_E3_MODIFY_USER_PWD);
    _VXQ_S_DPS_E3_MODIFY_USER_PWD tPwd;
    ASSERT_EQ(tEvent.size(), 16u + 96u);
    memcpy(&tPwd, tEvent.data() + 16, sizeof(tPwd));
    EXPECT_STREQ(tPwd.i_sText1, "admin");
    EXPECT_STREQ(tPwd.i_sText2, "old");
    EXPECT_STREQ(tPwd.i_sText3, "new");

    Order(TestOrder(EVENT_E3_MODIFY_USER_PWD, 0, OpsEventHead(tEvent).dwTransId, nullptr, 0));
    EXPECT_EQ(OneSent(pCmd)[11], 0);
}

class ConfigUsersLive : public HostFixture
{
};

/* The family's live path (a stranger's refusal: FuncTableWalk). */
TEST_F(ConfigUsersLive, ALoggedInClientAddsAUser)
{
    TestClient &tCli = Client();
    Bytes tAdd = Msg(P9_UNS_ADD_USER, 332);
    VXQ_F_TESTCLI_PutU32(tAdd, 20, tCli.dwLoginId);
    memcpy(tAdd.data() + 24, "guest", 5);
    VXQ_F_TESTCLI_PutU32(tAdd, 92, 100);
    ASSERT_EQ(VXQ_F_TESTCLI_SendMsg(&tCli.t, tAdd), 1);
    Bytes tEvent = Event();
    ASSERT_EQ(VXQ_F_TESTHOST_MsgFuncId(tEvent), EVENT_E3_UNS_ADD_USER);
    ASSERT_EQ(tEvent.size(), 16u + 328u);
    _VXQ_S_DPS_E3_UNS_ADD_USER tBody;
    memcpy(&tBody, tEvent.data() + 16, sizeof(tBody));
    EXPECT_STREQ(tBody.i_sUserName, "guest");
    EXPECT_EQ(tBody.i_tPop.iChPopNum, 64);
    Answer(tEvent, 0);
    Bytes tAnswer = Read(tCli);
    EXPECT_EQ(tAnswer.size(), 352u);
    EXPECT_EQ(tAnswer[10], 1);
    EXPECT_EQ(tAnswer[11], 0);
}

} // namespace
