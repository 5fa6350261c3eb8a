/*
 * test_client_body.cpp - request bodies and answers of the reference client
 * against hand-computed bytes where the end-to-end runs cannot tell (the
 * field cut, login answer fields no command prints, the shared bits of a
 * read answer, the extended alarm), and the refusal of malformed answers.
 * Every other request and answer goes through the device in the client's
 * end-to-end tests (the token answer in every login).
 */
#include <gtest/gtest.h>

#include "clibody.h"

#include <stdio.h>
#include <string.h>

#include <functional>

#include <string>
#include <utility>
#include <vector>

typedef std::vector<uint8_t> Bytes;
typedef std::vector<std::pair<size_t, Bytes>> Patches;

namespace
{

/* A whole message: the head (pinned byte for byte by ClientWire) with the
 * type byte and result given, a zero body of in_iBodyLen and the patches at
 * body offsets. */
Bytes Msg(uint16_t in_usFunc, uint32_t in_dwTransNo, size_t in_iBodyLen, const Patches &in_tPatches,
          uint8_t in_ucType = 0, uint8_t in_ucResult = 0)
{
    Bytes t = VXQ_F_CLI_BuildMsg(in_usFunc, in_ucType, in_dwTransNo, nullptr, 0);
    t.resize(20 + in_iBodyLen);
    VXQ_F_CLI_PutU32(&t[4], (uint32_t)t.size());
    t[11] = in_ucResult;
    for (const auto &p : in_tPatches)
        memcpy(&t[20 + p.first], p.second.data(), p.second.size());
    return t;
}

Bytes Le32(uint32_t v)
{
    return {(uint8_t)v, (uint8_t)(v >> 8), (uint8_t)(v >> 16), (uint8_t)(v >> 24)};
}

Bytes Text(const char *s)
{
    return Bytes(s, s + strlen(s));
}

} // namespace

TEST(ClientBody, SessionRequestsHaveTheirSizesAndFields)
{
    EXPECT_EQ(VXQ_F_CLI_BuildToken(4), Msg(0x0101, 4, 89, {}));
    EXPECT_EQ(VXQ_F_CLI_BuildLogin(5, "admin", "5b2e3c330d9e08aa9c20ee9b6bc32f6b"),
              Msg(0x0102, 5, 528, {{0, Text("admin")}, {32, Text("5b2e3c330d9e08aa9c20ee9b6bc32f6b")}}));
    /* A name longer than 31 characters is cut so that the field stays terminated. */
    Bytes tLong = VXQ_F_CLI_BuildLogin(5, std::string(40, 'u'), "d");
    EXPECT_EQ(tLong[20 + 30], 'u');
    EXPECT_EQ(tLong[20 + 31], 0);
    EXPECT_EQ(VXQ_F_CLI_BuildLogout(6), Msg(0x0103, 6, 4, {}));
    EXPECT_EQ(VXQ_F_CLI_BuildClaim(7, 0xCAFE), Msg(0x0104, 7, 12, {{4, Le32(0xCAFE)}}));
}

TEST(ClientBody, LoginAndRecordAnswersAreDecodedFromTheirOffsets)
{
    Bytes tLogin = Msg(0x0102, 2, 528,
                       {{288, Le32(0x12340005)},
                        {292, Text("DPSSIM01")},
                        {336, Text("dps-sim")},
                        {368, Text("simulated recorder")},
                        {492, {1, 7}},
                        {500, Le32(2)},
                        {504, Le32(1)},
                        {508, Le32(11)},
                        {512, Le32(12)},
                        {516, Le32(13)}},
                       1, 0);
    _VXQ_S_CLI_LOGIN_INFO t;
    ASSERT_EQ(VXQ_F_CLI_ParseLogin(tLogin.data(), tLogin.size(), &t), 1);
    char sGot[160];
    snprintf(sGot, sizeof(sGot), "%X %s|%s|%s %d %d %d %d %d %d %d", t.dwLoginId, t.sDevIdText.c_str(),
             t.sDevText1.c_str(), t.sDevText2.c_str(), t.bSpecialChFlag, t.ucDevCapValue5, t.iVideoChanNum,
             t.iAudioChanNum, t.iDevCapValue1, t.iDevCapValue2, t.iDevCapValue3);
    EXPECT_STREQ(sGot, "12340005 DPSSIM01|dps-sim|simulated recorder 1 7 2 1 11 12 13");
    EXPECT_EQ(VXQ_F_CLI_ParseLogin(tLogin.data(), tLogin.size() - 1, &t), 0);

    /* A read answer: frame type 1 and data end 2 share body byte 15. */
    const Bytes tTime = {0xEA, 0x07, 12, 0, 6, 8, 0, 0, 0, 0, 0, 0};
    Bytes tPieceMsg = Msg(0x0313, 3, 44 + 3,
                          {{8, Le32(9)},
                           {14, {1, 0x21, 1, 25}},
                           {20, Le32(1000)},
                           {24, Le32(4)},
                           {28, tTime},
                           {40, Le32(3)},
                           {44, {7, 8, 9}}},
                          1, 0);
    _VXQ_S_CLI_FILE_PIECE p;
    ASSERT_EQ(VXQ_F_CLI_ParseDownloadGet(tPieceMsg.data(), tPieceMsg.size(), &p), 1);
    snprintf(sGot, sizeof(sGot), "%u %d %d %d %d %d %u %u %u", p.dwRequId, p.ucRetDataType, p.ucFrameType,
             p.ucDataEnd, p.ucCodecId, p.ucFrameRate, p.dwOffsetDataPos, p.dwOffsetTimePos, p.dwDataLen);
    EXPECT_STREQ(sGot, "9 1 1 2 1 25 1000 4 3");
    EXPECT_EQ(p.pData, tPieceMsg.data() + 64);
    VXQ_F_CLI_PutU32(&tPieceMsg[60], 4); /* says 4 bytes, carries 3 */
    EXPECT_EQ(VXQ_F_CLI_ParseDownloadGet(tPieceMsg.data(), tPieceMsg.size(), &p), 0);
}

TEST(ClientBody, ExtendedAlarmIsDecodedAndMalformedAnswersAreRefused)
{
    const Bytes tTime = {0xEA, 0x07, 12, 0, 6, 9, 1, 2, 0, 0, 0, 0};
    Bytes tEx = Msg(
        0x0505, 0, 180,
        {{0, Text("AI202612060901020042")}, {32, Le32(2)}, {36, tTime}, {48, Le32(6)}, {52, Text("door")}});
    _VXQ_S_CLI_ALARM tGot;
    ASSERT_EQ(VXQ_F_CLI_ParseAlarm(tEx.data(), tEx.size(), &tGot), 1);
    EXPECT_EQ(std::to_string(tGot.bExtended) + " " + tGot.sAlarmId + " " + std::to_string(tGot.iChNo) + " " +
                  std::to_string(tGot.iAlarmEvent) + " " + VXQ_F_CLI_TimeText(&tGot.tAlarmTime) + " " +
                  tGot.sAlarmMsg,
              "1 AI202612060901020042 2 6 2026-12-06 09:01:02 door");

    /* Each row: a parser and an answer one byte short or whose count or
     * length says more than it carries. */
    std::vector<uint8_t> tData;
    uint32_t dwValue = 0;
    std::vector<_VXQ_S_CLI_QUALITY_CAP> tCaps;
    std::vector<_VXQ_S_CLI_FILE_INFO> tFiles;
    _VXQ_S_CLI_USER_POP tPop;
    /* clang-format off */
    struct {
        const char *sWhat;
        Bytes tMsg;
        std::function<int(const Bytes &)> fnParse;
    } tCases[] = {
        {"open, 35 bytes", Msg(0x0221, 1, 15, {}, 1, 0), [&](const Bytes &t) { return VXQ_F_CLI_ParseExRealplayOpen(t.data(), t.size(), &dwValue); }},
        {"file query: 3 records in 440 bytes", Msg(0x0301, 1, 48 + 440, {{44, Le32(3)}}, 1, 0), [&](const Bytes &t) { return VXQ_F_CLI_ParseQueryFile(t.data(), t.size(), &tFiles); }},
        {"quality caps: 9", Msg(0x0225, 1, 236, {{8, Le32(9)}}, 1, 0), [&](const Bytes &t) { return VXQ_F_CLI_ParseQualityCap(t.data(), t.size(), &tCaps); }},
        {"config data: 4 of 3", Msg(0x0906, 1, 11, {{4, Le32(4)}}, 1, 0), [&](const Bytes &t) { return VXQ_F_CLI_ParseConfigData(t.data(), t.size(), &tData); }},
        {"user rights: 65 words", Msg(0x0933, 1, 300, {{40, Le32(65)}}, 1, 0), [&](const Bytes &t) { return VXQ_F_CLI_ParseUserPop(t.data(), t.size(), &tPop); }},
        {"serial data in an answer", Msg(0x0924, 0, 14, {{8, Le32(2)}}, 1, 0), [&](const Bytes &t) { return VXQ_F_CLI_ParseComData(t.data(), t.size(), &tData); }},
        {"upgrade value, 27 bytes", Msg(0x0B24, 11, 7, {}, 1, 0), [&](const Bytes &t) { return VXQ_F_CLI_ParseUpgradeValue(t.data(), t.size(), &dwValue); }},
        {"alarm, 171 bytes", Msg(0x0503, 0, 151, {}), [&](const Bytes &t) { return VXQ_F_CLI_ParseAlarm(t.data(), t.size(), &tGot); }},
    };
    /* clang-format on */
    for (const auto &c : tCases)
        EXPECT_EQ(c.fnParse(c.tMsg), 0) << c.sWhat;
}
