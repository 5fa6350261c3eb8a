/* Requests the service relays to the host and answers it carries back
 * (maintenance, upgrade, custom messages, configuration, network address,
 * users, serial port): the event's fields, the answer's length, result and
 * fields at their exact offsets. Each family's happy path over sockets: the
 * client tool's end-to-end test (tests/tools/test_client_e2e.cpp). */
#include "ops/config_users.h"
#include "ops/maint.h"
#include "ops/record.h"
#include "ops/serial.h"
#include "support/offline_rig.h"
#include "support/test_host.h"

namespace
{

const uint32_t kLogin = 0x5B220002u;
const uint32_t kCmdPort = 0x12340001u; /* the port id of the rig's slot 1 */

struct Word {
    size_t iOff;
    uint32_t dwValue;
};

/* Two host-order 16-bit values as they lie in memory, read as one 32-bit word. */
uint32_t U16s(uint16_t in_usFirst, uint16_t in_usSecond)
{
    uint16_t usPair[2] = {in_usFirst, in_usSecond};
    uint32_t dwWord;
    memcpy(&dwWord, usPair, 4);
    return dwWord;
}

/* One request and what comes of it. Tails are bytes at the very end of the
 * request, the event, the order and the answer. */
struct Relay {
    uint16_t usFuncId;
    size_t nBodyLen;
    std::vector<Word> tReq; /* little-endian words at message offsets */
    const char *sReqTail;
    int32_t iEventId; /* 0: answered at once, no event */
    size_t nEventLen;
    std::vector<Word> tEvent; /* host-order words at event offsets */
    const char *sEventTail;
    uint8_t ucHostCode;
    bool bEcho;                   /* the order's body is the event's own */
    std::vector<uint32_t> tOrder; /* else these host-order words, then sOrderTail */
    const char *sOrderTail;
    size_t nAnswerLen; /* 0: nothing is sent */
    uint8_t ucResult;
    std::vector<Word> tAnswer; /* little-endian words at message offsets */
    const char *sAnswerTail;
};

/* A request's least whole length from the table, and its body length. */
size_t Len(uint16_t in_usFuncId)
{
    return VXQ_F_OFFLINE_MsgLen(in_usFuncId);
}
size_t Body(uint16_t in_usFuncId)
{
    return Len(in_usFuncId) - 20;
}

std::string Tail(const Bytes &in_tMsg, const char *in_sTail)
{
    size_t n = strlen(in_sTail);
    return in_tMsg.size() < n ? std::string() : std::string(in_tMsg.end() - (long)n, in_tMsg.end());
}

class RelayOffline : public OfflineRig
{
  protected:
    void SetUp() override
    {
        OfflineRig::SetUp();
        pCmd = AddConn(1, VXQ_DPS_CONN_COMMAND, kLogin, 0xFF, 0);
        AddConn(2, VXQ_DPS_CONN_DOWN, kLogin)->tDown.dwFileId = 9;
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

TEST_F(RelayOffline, EachRequestsEventAndAnswerCarryTheirFieldsAtTheirOffsets)
{
    /* clang-format off */
    const Relay tRows[] = {
        /* Upgrade data: the length field must equal the data carried (also not 0). */
        {PB_DUP_UPGRADE_DATA, 8, {}, nullptr, 0, 0, {}, nullptr, 0, false, {}, nullptr, 28, 2, {}, nullptr},
        {PB_DUP_UPGRADE_DATA, 9, {}, nullptr, 0, 0, {}, nullptr, 0, false, {}, nullptr, 29, 2, {}, nullptr},
        {PB_DUP_UPGRADE_DATA, 9, {{24, 2}}, nullptr, 0, 0, {}, nullptr, 0, false, {}, nullptr, 29, 2, {}, nullptr},
        /* Its parameter is not a login id; the answer's length field is 0. */
        {PB_DUP_UPGRADE_DATA, 13, {{20, 0xCAFE}, {24, 5}}, "01234",
         EVENT_E7_DUP_UPGRADE_DATA, 29, {{16, 0xCAFE}, {20, 5}}, "01234",
         0, true, {}, nullptr, 28, 0, {{20, 0xCAFE}, {24, 0}}, nullptr},
        /* Progress and position: body 0 is not compared with the login id. */
        {PB_DUP_QUERY_PROGRESS, 8, {{20, 0x12345}, {24, 0xEEEEEEEEu}}, nullptr,
         EVENT_E7_DUP_QUERY_PROGRESS, 24, {{16, 0x12345}, {20, 0}}, nullptr,
         0, false, {0x12345, 77}, nullptr, 28, 0, {{20, 0x12345}, {24, 77}}, nullptr},
        {PB_DUP_QUERY_TRANS_POS, 8, {{20, 9}}, nullptr,
         EVENT_E7_DUP_QUERY_TRANS_POS, 24, {{16, 9}}, nullptr,
         5, false, {9, 65536}, nullptr, 28, 43, {{24, 65536}}, nullptr},
        /* Ability: the body's login id; an answer of 24 bytes sends nothing, a
         * description is appended with its length. */
        {PB_RMY_QUERY_ABILITY, 12, {{20, kLogin + 1}}, nullptr, 0, 0, {}, nullptr,
         0, false, {}, nullptr, 32, 6, {}, nullptr},
        {PB_RMY_QUERY_ABILITY, 12, {{20, kLogin}, {24, 3}}, nullptr,
         EVENT_E7_RMY_QUERY_ABILITY, 24, {{16, 3}}, nullptr,
         0, true, {}, nullptr, 0, 0, {}, nullptr},
        {PB_RMY_QUERY_ABILITY, 12, {{20, kLogin}, {24, 3}}, nullptr,
         EVENT_E7_RMY_QUERY_ABILITY, 24, {{16, 3}}, nullptr,
         0, false, {3, 0}, "XYZW", 36, 0, {{20, kLogin}, {24, 3}, {28, 4}}, "XYZW"},
        /* Custom data both ways; a refusal without data has length 0 and the translated code. */
        {PA_CUSTOM, 13, {{20, 0x99}}, "hello",
         EVENT_E7_CUSTOM, 29, {{16, 0x99}, {20, 5}}, "hello",
         0, false, {0x99, 0}, "answer!", 35, 0, {{20, 0x99}, {24, 7}}, "answer!"},
        {PA_CUSTOM, 13, {{20, 0x99}}, "hello",
         EVENT_E7_CUSTOM, 29, {}, nullptr,
         4, false, {}, nullptr, 28, 2, {{24, 0}}, nullptr},
        /* Version and upgrade request: the host's values at their offsets. */
        {PB_DUP_QUERY_DEV_VER_INFO, 28, {{20, kLogin}}, nullptr,
         EVENT_E7_DUP_QUERY_DEV_VER_INFO, 40, {}, nullptr,
         0, false, {U16s(1, 2), U16s(3, 0xFFFF), 10, 20, 30, 0x80000000u}, nullptr,
         48, 0, {{24, 0x00020001u}, {28, 0xFFFF0003u}, {32, 10}, {44, 0x80000000u}}, nullptr},
        {PB_DUP_REQU_UPGRADE, 16, {{20, kLogin}, {24, 0x03040102u}, {28, 4096}}, nullptr,
         EVENT_E7_DUP_REQU_UPGRADE, 28, {{16, U16s(0x0102, 0x0304)}, {20, 4096}, {24, 0}}, nullptr,
         0, false, {U16s(0x0102, 0x0304), 4096, 0xA1B2C3D4u}, nullptr,
         36, 0, {{28, 4096}, {32, 0xA1B2C3D4u}}, nullptr},
        /* Configuration id 1 has no multi-byte fields: its block is relayed as
         * it is on either byte order (the conversion has tests of its own). */
        {P9_GET_CONFIG, 12, {{20, kLogin}, {24, 1}}, nullptr,
         EVENT_E3_GET_CONFIG, 24, {{16, 1}, {20, 0}}, nullptr,
         0, false, {1, 0}, "\x11\x22\x33\x44\x55",
         37, 0, {{20, kLogin}, {24, 1}, {28, 5}}, "\x11\x22\x33\x44\x55"},
        {P9_SET_CONFIG, 16, {{20, kLogin}, {24, 1}}, "\x01\x02\x03\x04",
         EVENT_E3_SET_CONFIG, 28, {{16, 1}, {20, 4}}, "\x01\x02\x03\x04",
         2, false, {}, nullptr, 36, 41, {}, nullptr},
        /* Default config: 36 fixed bytes, length at body 12, data from order body 12. */
        {P9_GET_DEF_CONFIG, 16, {{20, kLogin}, {24, 1}, {28, 0xABCD}}, nullptr,
         EVENT_E3_GET_DEF_CONFIG, 28, {{16, 1}, {20, 0xABCD}}, nullptr,
         0, false, {0, 0, 0}, "\x0A\x0B\x0C", 39, 0, {{28, 0xABCD}, {32, 3}}, "\x0A\x0B\x0C"},
        /* Export and import: 28 fixed bytes, length at body 4. */
        {P9_IEC_EXP_CONFIG, 8, {{20, kLogin}}, nullptr,
         EVENT_E3_IEC_EXP_CONFIG, 16, {}, nullptr,
         1, false, {}, nullptr, 28, 40, {{24, 0}}, nullptr},
        {P9_IEC_IMP_CONFIG, 14, {{20, kLogin}}, "\x01\x02\x03\x04\x05\x06",
         EVENT_E3_IEC_IMP_CONFIG, 26, {{16, 6}}, "\x01\x02\x03\x04\x05\x06",
         0, false, {}, nullptr, 28, 0, {{24, 0}}, nullptr},
        /* Serial port: open needs the body's login id, the host's code is translated
         * and the whole request comes back; a write carries its data length. */
        {P9_COM_OPEN, 28, {{20, kLogin ^ 1}}, nullptr, 0, 0, {}, nullptr, 0, false, {}, nullptr, 48, 6, {}, nullptr},
        {P9_COM_OPEN, 28, {{20, kLogin}, {24, 101}, {28, 102}, {32, 103}, {36, 104}, {40, 105}, {44, 106}}, nullptr,
         EVENT_E3_COM_OPEN, 44, {{16, kCmdPort}, {20, 101}, {24, 102}, {40, 106}}, nullptr,
         4, true, {}, nullptr, 48, 2, {{20, kLogin}, {44, 106}}, nullptr},
        {P9_COM_SEND_DATA, 16, {{20, kLogin}}, nullptr, 0, 0, {}, nullptr, 0, false, {}, nullptr, 36, 2, {}, nullptr},
        {P9_COM_SEND_DATA, 17, {{20, kLogin}, {24, 0x11}, {28, 0x22}, {32, 0x33}}, "\xA5",
         EVENT_E3_COM_SEND_DATA, 33, {{16, kCmdPort}, {20, 0x11}, {24, 0x22}, {28, 1}}, "\xA5",
         0, true, {}, nullptr, 32, 0, {{20, kLogin}, {24, 0x11}, {28, 0}}, nullptr},
        /* Quality level and PTZ: the request's fields reach the event, the host's
         * level or refusal comes back. */
        {P2_GET_VIDEO_QUALITY_LEVEL, 12, {{20, kLogin}, {24, 0x00010002u}}, nullptr,
         EVENT_E2_GET_VIDEO_QUALITY_LEVEL, 24, {{16, U16s(2, 1)}, {20, 0}}, nullptr,
         0, false, {U16s(2, 1), 6}, nullptr, 32, 0, {{24, 0x00010002u}, {28, 6}}, nullptr},
        {P2_SET_VIDEO_QUALITY_LEVEL, 12, {{20, kLogin}, {24, 0x00010002u}, {28, 3}}, nullptr,
         EVENT_E2_SET_VIDEO_QUALITY_LEVEL, 24, {{16, U16s(2, 1)}, {20, 3}}, nullptr,
         VXQ_DPS_APP_ERR_PARAM, true, {}, nullptr, 32, 2, {}, nullptr},
        {P2_GET_VIDEO_QUALITY_CAP, 236, {{20, kLogin}, {24, 0x00000001u}}, nullptr,
         EVENT_E2_GET_VIDEO_QUALITY_CAP, 248, {{16, U16s(1, 0)}, {20, 0}}, nullptr,
         1, false, {}, nullptr, 256, 40, {{28, 0}}, nullptr},
        {P2_PTZ, 24, {{20, kLogin}, {24, 3}, {28, 21}, {32, 7}}, nullptr,
         EVENT_E2_PTZ_CTRL, 36, {{16, 3}, {20, 21}, {24, 7}}, nullptr,
         VXQ_DPS_APP_ERR_NOT_SUPPORT_PTZ, true, {}, nullptr, 44, 52, {}, nullptr},
        /* Datagram live view is not offered. */
        {P2_RM_REALPLAY_OPEN, 0, {}, nullptr, 0, 0, {}, nullptr, 0, false, {}, nullptr, 20, 40, {}, nullptr},
        {P2_RM_REALPLAY_CLOSE, 0, {}, nullptr, 0, 0, {}, nullptr, 0, false, {}, nullptr, 20, 40, {}, nullptr},
        /* Operations on the session's open file (read id 9), on its command connection. */
        {P3_DOWNLOAD_SEEK, Body(P3_DOWNLOAD_SEEK), {{24, 9}, {28, 3600}}, nullptr,
         EVENT_E2_FILE_SEEK, 24, {{16, 9}, {20, 3600}}, nullptr,
         0, true, {}, nullptr, Len(P3_DOWNLOAD_SEEK), 0, {{24, 9}, {28, 3600}}, nullptr},
        {P3_DOWNLOAD_QVIDEO, Body(P3_DOWNLOAD_QVIDEO), {{24, 9}}, nullptr,
         EVENT_E2_FILE_QVIDEO, 28, {{16, 9}, {20, 0}}, nullptr,
         0, false, {9, 25, 50}, nullptr, Len(P3_DOWNLOAD_QVIDEO), 0, {{24, 9}, {28, 25}, {32, 50}}, nullptr},
        {P3_DOWNLOAD_ONLY_IFRAME, Body(P3_DOWNLOAD_ONLY_IFRAME), {{24, 9}, {28, 1}}, nullptr,
         EVENT_E2_FILE_ONLY_IFRAME, 32, {{16, 9}, {20, 1}}, nullptr,
         0, false, {9, 1, 25, 50}, nullptr, Len(P3_DOWNLOAD_ONLY_IFRAME), 0, {{28, 1}, {32, 25}, {36, 50}}, nullptr},
        {P3_DOWNLOAD_RECOVER_ALLFRAME, Body(P3_DOWNLOAD_RECOVER_ALLFRAME), {{24, 9}}, nullptr,
         EVENT_E2_FILE_RECOVER_ALLFRAME, 20, {{16, 9}}, nullptr,
         0, true, {}, nullptr, Len(P3_DOWNLOAD_RECOVER_ALLFRAME), 0, {{24, 9}}, nullptr},
        {P3_DOWNLOAD_CLOSE, Body(P3_DOWNLOAD_CLOSE), {{24, 9}}, nullptr,
         EVENT_E2_FILE_CLOSE, 20, {{16, 9}}, nullptr,
         0, true, {}, nullptr, Len(P3_DOWNLOAD_CLOSE), 0, {{24, 9}}, nullptr},
    };
    /* clang-format on */
    uint32_t dwTransNo = 0x900;
    for (const Relay &r : tRows) {
        SCOPED_TRACE(testing::Message() << std::hex << r.usFuncId << " row " << std::dec << &r - tRows);
        Bytes tMsg = TestMsg(r.usFuncId, ++dwTransNo, r.nBodyLen);
        for (const Word &w : r.tReq)
            TestPutLe32(tMsg, w.iOff, w.dwValue);
        if (r.sReqTail != nullptr)
            memcpy(tMsg.data() + tMsg.size() - strlen(r.sReqTail), r.sReqTail, strlen(r.sReqTail));
        Request(pCmd, tMsg);
        Bytes tAnswer;
        if (r.iEventId == 0) {
            EXPECT_TRUE(Events().empty());
            tAnswer = OneSent(pCmd);
        } else {
            EXPECT_TRUE(Sent().empty());
            Bytes tEvent = OneEvent(r.iEventId);
            EXPECT_EQ(tEvent.size(), r.nEventLen);
            for (const Word &w : r.tEvent)
                EXPECT_EQ(TestWord(tEvent, w.iOff), w.dwValue) << "event offset " << w.iOff;
            if (r.sEventTail != nullptr) {
                EXPECT_EQ(Tail(tEvent, r.sEventTail), r.sEventTail);
            }
            Bytes tBody(tEvent.begin() + 16, tEvent.end());
            if (!r.bEcho) {
                tBody.assign((const uint8_t *)r.tOrder.data(),
                             (const uint8_t *)(r.tOrder.data() + r.tOrder.size()));
                if (r.sOrderTail != nullptr)
                    tBody.insert(tBody.end(), r.sOrderTail, r.sOrderTail + strlen(r.sOrderTail));
            }
            Order(TestOrder(r.iEventId, r.ucHostCode, OpsEventHead(tEvent).dwTransId, tBody.data(),
                            (int32_t)tBody.size()));
            if (r.nAnswerLen == 0) {
                EXPECT_TRUE(Sent().empty());
                continue;
            }
            tAnswer = OneSent(pCmd);
        }
        ASSERT_EQ(tAnswer.size(), r.nAnswerLen);
        EXPECT_EQ(TestLe32(tAnswer, 4), r.nAnswerLen);
        EXPECT_EQ(VXQ_F_TESTCLI_GetU16(tAnswer, 8), r.usFuncId);
        EXPECT_EQ(tAnswer[10], 1); /* the request's type byte 0, made an answer */
        EXPECT_EQ(tAnswer[11], r.ucResult);
        EXPECT_EQ(TestLe32(tAnswer, 12), dwTransNo);
        for (const Word &w : r.tAnswer)
            EXPECT_EQ(TestLe32(tAnswer, w.iOff), w.dwValue) << "answer offset " << w.iOff;
        if (r.sAnswerTail != nullptr) {
            EXPECT_EQ(Tail(tAnswer, r.sAnswerTail), r.sAnswerTail);
        }
        EXPECT_EQ(TransCount(), 0);
    }
}

TEST_F(RelayOffline, UserRequestsClampTheChannelWordCountTo0To64BothWays)
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

TEST_F(RelayOffline, GetUserAnswerClampsTo64)
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

TEST_F(RelayOffline, NetworkInformationAnswerCarriesTheHostsCards)
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

TEST_F(RelayOffline, AddressChangeEventAlignsTheCard)
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
}

const uint32_t kSerialLogin = 0x77770003u;

class SerialOffline : public OfflineRig
{
  protected:
    static Bytes OpenReq()
    {
        Bytes tMsg = TestMsg(P9_COM_OPEN, 0x55, 28);
        TestPutLe32(tMsg, 20, kSerialLogin);
        return tMsg;
    }
    /* The one event now is a close notice (transaction 0) with exactly these fields. */
    void ExpectComClose(uint32_t in_dwPortId, int32_t in_iCause, uint32_t in_dwValue1, uint32_t in_dwValue2)
    {
        Bytes tEvent = OneEvent(EVENT_E3_COM_CLOSE);
        EXPECT_EQ(OpsEventHead(tEvent).dwTransId, 0u);
        _VXQ_S_DPS_E3_COM_CLOSE t = {in_dwPortId, in_iCause, in_dwValue1, in_dwValue2};
        EXPECT_EQ(Bytes(tEvent.begin() + 16, tEvent.end()), Bytes((uint8_t *)&t, (uint8_t *)(&t + 1)));
    }
};

/* A close request, whether or not the port was opened, is answered 0 at once
 * (the host never answers it) and tells the host with cause 0; it keeps the
 * open flag, so the opener's going tells the host again with cause 1; a
 * connection that never opened the port goes silently. Port data from a
 * client is taken without answer or event. */
TEST_F(SerialOffline, CloseIsAnsweredAtOnceAndTheOpenersGoingTellsTheHostWithCause1)
{
    _VXQ_S_DPS_NET_PORT_DATA *pQuiet = AddConn(3, VXQ_DPS_CONN_COMMAND, kSerialLogin, 0xFF);
    _VXQ_S_DPS_NET_PORT_DATA *pOpener = AddConn(4, VXQ_DPS_CONN_COMMAND, kSerialLogin, 0xFF);
    Request(pQuiet, TestMsg(P9_COM_SUBS_DATA, 1, 8));
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(Events().empty());
    Request(pOpener, OpenReq());
    Bytes tEvent = OneEvent(EVENT_E3_COM_OPEN);
    Order(TestOrder(EVENT_E3_COM_OPEN, 0, OpsEventHead(tEvent).dwTransId, tEvent.data() + 16,
                    (int32_t)tEvent.size() - 16));
    EXPECT_EQ(OneSent(pOpener)[11], 0);
    for (auto r : {std::make_pair(pQuiet, 3u), std::make_pair(pOpener, 7u)}) {
        Bytes tMsg = TestMsg(P9_COM_CLOSE, 0x66, 12);
        TestPutLe32(tMsg, 20, kSerialLogin);
        TestPutLe32(tMsg, 24, r.second);
        TestPutLe32(tMsg, 28, r.second + 1);
        Request(r.first, tMsg);
        tMsg[10] = 1;
        EXPECT_EQ(OneSent(r.first), tMsg);
        ExpectComClose(r.first->dwPortId, VXQ_DPS_COM_CLOSE_BY_CLIENT, r.second, r.second + 1);
    }
    VXQ_F_DPS_MC_DoNetDisconnetEvent(p, pQuiet);
    EXPECT_TRUE(Events().empty());
    const uint32_t dwOpener = pOpener->dwPortId;
    VXQ_F_DPS_MC_DoNetDisconnetEvent(p, pOpener);
    ExpectComClose(dwOpener, VXQ_DPS_COM_CLOSE_BY_RELEASE, 0, 0);
}

/* The host's close notice (type byte 0; an answer, type 1, sends nothing) and
 * port data (empty: nothing) reach the connection their port id names, whole;
 * for a connection that is gone they send nothing. */
TEST_F(SerialOffline, HostCloseNoticeAndPortDataReachTheConnectionNamedByTheirPortId)
{
    _VXQ_S_DPS_NET_PORT_DATA *pCmd = AddConn(3, VXQ_DPS_CONN_COMMAND, kSerialLogin, 0xFF);
    Bytes tNotice = TestMsg(P9_COM_CLOSE, 0, 12);
    TestPutLe32(tNotice, 20, kSerialLogin);
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
