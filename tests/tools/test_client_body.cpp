/*
 * test_client_body.cpp - every request body the reference client builds and
 * every answer it parses, against hand-computed bytes at the offsets of each
 * message; malformed answers are refused.
 */
#include <gtest/gtest.h>

#include "clibody.h"

#include <string.h>

#include <string>
#include <utility>
#include <vector>

typedef std::vector<uint8_t> Bytes;
typedef std::vector<std::pair<size_t, Bytes>> Patches;

namespace {

/* A whole message: the head (function id, transaction number, answer bit and
 * result as given), a zero body of in_iBodyLen and the patches at body offsets. */
Bytes Msg(uint16_t in_usFunc, uint32_t in_dwTransNo, size_t in_iBodyLen, const Patches &in_tPatches,
          uint8_t in_ucType = 0, uint8_t in_ucResult = 0)
{
    Bytes t(20 + in_iBodyLen, 0);
    const uint32_t dwSize = (uint32_t)t.size();
    const uint8_t ucHead[20] = {0xEE, 0xEE, 0xFF, 0xFF, (uint8_t)dwSize, (uint8_t)(dwSize >> 8), (uint8_t)(dwSize >> 16), 0,
                                (uint8_t)in_usFunc, (uint8_t)(in_usFunc >> 8), in_ucType, in_ucResult,
                                (uint8_t)in_dwTransNo, (uint8_t)(in_dwTransNo >> 8), (uint8_t)(in_dwTransNo >> 16),
                                (uint8_t)(in_dwTransNo >> 24), 0, 0, 0, 0};
    memcpy(t.data(), ucHead, 20);
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

const uint32_t L = 0x5A5A0001u; /* a login id */
const Bytes LID = Le32(L);

} // namespace

TEST(ClientBody, SessionRequestsHaveTheirSizesAndFields)
{
    EXPECT_EQ(VXQ_F_CLI_BuildHeartbeat(3), Msg(0x0001, 3, 0, {}));
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

TEST(ClientBody, TokenAndLoginAnswersAreDecodedFromTheirOffsets)
{
    Bytes tToken = Msg(0x0101, 1, 89, {{26, {17, 2}}, {28, Text("MTIzNDU2Nzg5")}, {88, {1}}}, 1, 0);
    std::string sToken;
    uint8_t ucMode = 0;
    ASSERT_EQ(VXQ_F_CLI_ParseToken(tToken.data(), tToken.size(), &sToken, &ucMode), 1);
    EXPECT_EQ(sToken, "MTIzNDU2Nzg5");
    EXPECT_EQ(ucMode, 1);
    Bytes tRefused = tToken;
    tRefused[11] = 1;
    ASSERT_EQ(VXQ_F_CLI_ParseToken(tRefused.data(), tRefused.size(), &sToken, &ucMode), 1);
    EXPECT_EQ(sToken, ""); /* no token unless the result is 0 */
    Bytes tRequest = VXQ_F_CLI_BuildToken(1);
    EXPECT_EQ(VXQ_F_CLI_ParseToken(tRequest.data(), tRequest.size(), &sToken, &ucMode), 0); /* not an answer */

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
    _VXQ_S_CLI_LOGIN_INFO tInfo;
    ASSERT_EQ(VXQ_F_CLI_ParseLogin(tLogin.data(), tLogin.size(), &tInfo), 1);
    EXPECT_EQ(tInfo.dwLoginId, 0x12340005u);
    EXPECT_EQ(tInfo.sDevIdText, "DPSSIM01");
    EXPECT_EQ(tInfo.sDevText1, "dps-sim");
    EXPECT_EQ(tInfo.sDevText2, "simulated recorder");
    EXPECT_EQ(tInfo.bSpecialChFlag, 1);
    EXPECT_EQ(tInfo.ucDevCapValue5, 7);
    EXPECT_EQ(tInfo.iVideoChanNum, 2);
    EXPECT_EQ(tInfo.iAudioChanNum, 1);
    EXPECT_EQ(tInfo.iDevCapValue1, 11);
    EXPECT_EQ(tInfo.iDevCapValue2, 12);
    EXPECT_EQ(tInfo.iDevCapValue3, 13);
    EXPECT_EQ(VXQ_F_CLI_ParseLogin(tLogin.data(), tLogin.size() - 1, &tInfo), 0);
}

TEST(ClientBody, LiveViewRequestsCarryLoginChannelStreamAndIds)
{
    EXPECT_EQ(VXQ_F_CLI_BuildExRealplayOpen(1, L, 3, 1, 0x77),
              Msg(0x0221, 1, 16, {{0, LID}, {4, {3, 0, 1, 0}}, {8, Le32(0x77)}}));
    EXPECT_EQ(VXQ_F_CLI_BuildExRealplayClose(2, L, 0x00090002), Msg(0x0222, 2, 8, {{0, LID}, {4, Le32(0x00090002)}}));
    EXPECT_EQ(VXQ_F_CLI_BuildCtrlStream(3, L, 0x00090002, 1, 1),
              Msg(0x0223, 3, 16, {{0, LID}, {4, Le32(0x00090002)}, {8, Le32(1)}, {12, Le32(1)}}));
    EXPECT_EQ(VXQ_F_CLI_BuildPtz(4, L, 2, 21, 5, 6, 7),
              Msg(0x0203, 4, 24, {{0, LID}, {4, Le32(2)}, {8, Le32(21)}, {12, Le32(5)}, {16, Le32(6)}, {20, Le32(7)}}));
    EXPECT_EQ(VXQ_F_CLI_BuildForceIFrame(5, 2, 1), Msg(0x0204, 5, 10, {{4, Le32(2)}, {8, {1, 0}}}));
    EXPECT_EQ(VXQ_F_CLI_BuildQuality(0x0225, 6, L, 1, 2, 9), Msg(0x0225, 6, 236, {{0, LID}, {4, {1, 0, 2, 0}}}));
    EXPECT_EQ(VXQ_F_CLI_BuildQuality(0x0226, 7, L, 1, 2, 9), Msg(0x0226, 7, 12, {{0, LID}, {4, {1, 0, 2, 0}}}));
    EXPECT_EQ(VXQ_F_CLI_BuildQuality(0x0227, 8, L, 1, 2, 9),
              Msg(0x0227, 8, 12, {{0, LID}, {4, {1, 0, 2, 0}}, {8, Le32(9)}}));
}

TEST(ClientBody, LiveViewAnswersAreDecoded)
{
    uint32_t dwConnId = 0;
    Bytes tOpen = Msg(0x0221, 1, 16, {{0, LID}, {12, Le32(0x00410003)}}, 1, 0);
    ASSERT_EQ(VXQ_F_CLI_ParseExRealplayOpen(tOpen.data(), tOpen.size(), &dwConnId), 1);
    EXPECT_EQ(dwConnId, 0x00410003u);
    EXPECT_EQ(VXQ_F_CLI_ParseExRealplayOpen(tOpen.data(), 35, &dwConnId), 0);

    uint32_t dwLevel = 0;
    Bytes tLevel = Msg(0x0226, 1, 12, {{8, Le32(2)}}, 1, 0);
    ASSERT_EQ(VXQ_F_CLI_ParseQualityLevel(tLevel.data(), tLevel.size(), &dwLevel), 1);
    EXPECT_EQ(dwLevel, 2u);

    Bytes tCap = Msg(0x0225, 1, 236,
                     {{8, Le32(2)},
                      {12, Text("low")},
                      {28, Le32(0)},
                      {32, {0x40, 0x01, 0xF0, 0x00, 10, 0, 128, 0}},
                      {40, Text("high")},
                      {56, Le32(2)},
                      {60, {0x00, 0x05, 0xD0, 0x02, 25, 0, 0x00, 0x08}}},
                     1, 0);
    std::vector<_VXQ_S_CLI_QUALITY_CAP> tCaps;
    ASSERT_EQ(VXQ_F_CLI_ParseQualityCap(tCap.data(), tCap.size(), &tCaps), 1);
    ASSERT_EQ(tCaps.size(), 2u);
    EXPECT_EQ(tCaps[0].sName, "low");
    EXPECT_EQ(tCaps[0].usValue[0], 320);
    EXPECT_EQ(tCaps[0].usValue[1], 240);
    EXPECT_EQ(tCaps[1].sName, "high");
    EXPECT_EQ(tCaps[1].dwValue, 2u);
    EXPECT_EQ(tCaps[1].usValue[0], 1280);
    EXPECT_EQ(tCaps[1].usValue[3], 2048);
    Bytes tNine = tCap;
    VXQ_F_CLI_PutU32(&tNine[28], 9);
    EXPECT_EQ(VXQ_F_CLI_ParseQualityCap(tNine.data(), tNine.size(), &tCaps), 0);
}

TEST(ClientBody, RecordRequestsCarryTimesAndFileFlags)
{
    _VXQ_S_CLI_TIME tFrom = {2026, 12, 6, 8, 0, 0};
    _VXQ_S_CLI_TIME tTo = {2026, 12, 6, 10, 30, 59};
    const Bytes tWireFrom = {0xEA, 0x07, 12, 0, 6, 8, 0, 0, 0, 0, 0, 0};
    const Bytes tWireTo = {0xEA, 0x07, 12, 0, 6, 10, 30, 59, 0, 0, 0, 0};
    EXPECT_EQ(VXQ_F_CLI_BuildQueryFile(1, L, -1, 3, &tFrom, &tTo),
              Msg(0x0301, 1, 48, {{0, LID}, {4, Le32(0xFFFFFFFFu)}, {8, Le32(3)}, {20, tWireFrom}, {32, tWireTo}}));
    EXPECT_EQ(VXQ_F_CLI_BuildQueryFile(1, L, 0, 0, &tFrom, &tTo).size(), 68u);
    EXPECT_EQ(VXQ_F_CLI_BuildDownloadOpen(2, L, "rec/ch0/0001.h264"),
              Msg(0x0311, 2, 364, {{0, LID}, {4, Text("rec/ch0/0001.h264")}}));
    EXPECT_EQ(VXQ_F_CLI_BuildDownloadOpenByTime(3, L, 1, &tFrom, &tTo),
              Msg(0x0318, 3, 288, {{0, LID}, {4, Le32(1)}, {40, tWireFrom}, {52, tWireTo}}));
    EXPECT_EQ(VXQ_F_CLI_BuildDownloadGet(4, L, 0x00A1, 9, 2, 8),
              Msg(0x0313, 4, 44, {{0, LID}, {4, Le32(0xA1)}, {8, Le32(9)}, {12, {2, 8}}}));
    EXPECT_EQ(VXQ_F_CLI_BuildDownloadClose(5, L, 0xA1), Msg(0x0312, 5, 8, {{0, LID}, {4, Le32(0xA1)}}));
}

TEST(ClientBody, RecordAnswersCarryFileRecordsAndPieces)
{
    Bytes tRecord(220, 0);
    memcpy(&tRecord[0], "rec0", 4);
    VXQ_F_CLI_PutU32(&tRecord[128], 1);
    const uint8_t ucStart[12] = {0xEA, 0x07, 12, 0, 6, 8, 0, 0};
    memcpy(&tRecord[140], ucStart, 12);
    VXQ_F_CLI_PutU32(&tRecord[164], 60);
    VXQ_F_CLI_PutU32(&tRecord[168], 123456);
    VXQ_F_CLI_PutU32(&tRecord[188], 25);
    VXQ_F_CLI_PutU16(&tRecord[196], 640);
    VXQ_F_CLI_PutU16(&tRecord[198], 480);
    Bytes tSecond = tRecord;
    tSecond[3] = '1';
    Bytes tQuery = Msg(0x0301, 1, 48 + 440, {{0, LID}, {44, Le32(2)}, {48, tRecord}, {268, tSecond}}, 1, 0);
    std::vector<_VXQ_S_CLI_FILE_INFO> tFiles;
    ASSERT_EQ(VXQ_F_CLI_ParseQueryFile(tQuery.data(), tQuery.size(), &tFiles), 1);
    ASSERT_EQ(tFiles.size(), 2u);
    EXPECT_EQ(tFiles[0].sFileFlag, "rec0");
    EXPECT_EQ(tFiles[1].sFileFlag, "rec1");
    EXPECT_EQ(tFiles[0].iFileType, 1);
    EXPECT_EQ(VXQ_F_CLI_TimeText(&tFiles[0].tStartTime), "2026-12-06 08:00:00");
    EXPECT_EQ(tFiles[0].dwFileTimeLen, 60u);
    EXPECT_EQ(tFiles[0].dwFileSize, 123456u);
    EXPECT_EQ(tFiles[0].iVideoFrameRate, 25);
    EXPECT_EQ(tFiles[0].usVideoWidth, 640);
    EXPECT_EQ(tFiles[0].usVideoHeight, 480);
    /* A count that does not match the records behind it is refused. */
    Bytes tBadCount = tQuery;
    VXQ_F_CLI_PutU32(&tBadCount[20 + 44], 3);
    EXPECT_EQ(VXQ_F_CLI_ParseQueryFile(tBadCount.data(), tBadCount.size(), &tFiles), 0);
    Bytes tEmpty = Msg(0x0301, 1, 48, {}, 1, 8);
    ASSERT_EQ(VXQ_F_CLI_ParseQueryFile(tEmpty.data(), tEmpty.size(), &tFiles), 1);
    EXPECT_TRUE(tFiles.empty());

    uint32_t dwReadId = 0;
    _VXQ_S_CLI_FILE_INFO tInfo;
    Bytes tOpen = Msg(0x0311, 2, 364, {{140, Le32(0xBEEF)}, {144, tRecord}}, 1, 0);
    ASSERT_EQ(VXQ_F_CLI_ParseDownloadOpen(tOpen.data(), tOpen.size(), &dwReadId, &tInfo), 1);
    EXPECT_EQ(dwReadId, 0xBEEFu);
    EXPECT_EQ(tInfo.dwFileSize, 123456u);
    Bytes tOpenByTime = Msg(0x0318, 2, 288, {{64, Le32(0xBEF0)}, {68, tRecord}}, 1, 0);
    ASSERT_EQ(VXQ_F_CLI_ParseDownloadOpen(tOpenByTime.data(), tOpenByTime.size(), &dwReadId, &tInfo), 1);
    EXPECT_EQ(dwReadId, 0xBEF0u);
    EXPECT_EQ(tInfo.sFileFlag, "rec0");

    /* A read answer: frame type 1 and data end 2 share body byte 15. */
    Bytes tPieceMsg = Msg(0x0313, 3, 44 + 3,
                          {{8, Le32(9)}, {14, {1, 0x21, 1, 25}}, {20, Le32(1000)}, {24, Le32(4)}, {28, Bytes(ucStart, ucStart + 12)},
                           {40, Le32(3)}, {44, {7, 8, 9}}},
                          1, 0);
    _VXQ_S_CLI_FILE_PIECE tPiece;
    ASSERT_EQ(VXQ_F_CLI_ParseDownloadGet(tPieceMsg.data(), tPieceMsg.size(), &tPiece), 1);
    EXPECT_EQ(tPiece.dwRequId, 9u);
    EXPECT_EQ(tPiece.ucRetDataType, 1);
    EXPECT_EQ(tPiece.ucFrameType, 1);
    EXPECT_EQ(tPiece.ucDataEnd, 2);
    EXPECT_EQ(tPiece.ucCodecId, 1);
    EXPECT_EQ(tPiece.ucFrameRate, 25);
    EXPECT_EQ(tPiece.dwOffsetDataPos, 1000u);
    EXPECT_EQ(tPiece.dwOffsetTimePos, 4u);
    ASSERT_EQ(tPiece.dwDataLen, 3u);
    EXPECT_EQ(Bytes(tPiece.pData, tPiece.pData + 3), Bytes({7, 8, 9}));
    Bytes tLying = tPieceMsg;
    VXQ_F_CLI_PutU32(&tLying[60], 4); /* says 4 bytes, carries 3 */
    EXPECT_EQ(VXQ_F_CLI_ParseDownloadGet(tLying.data(), tLying.size(), &tPiece), 0);
}

TEST(ClientBody, TalkAndAlarmMessages)
{
    EXPECT_EQ(VXQ_F_CLI_BuildTalk(0x0401, 1, L, 0), Msg(0x0401, 1, 8, {{0, LID}}));
    EXPECT_EQ(VXQ_F_CLI_BuildTalk(0x0402, 2, L, 10000), Msg(0x0402, 2, 8, {{0, LID}, {4, Le32(10000)}}));
    EXPECT_EQ(VXQ_F_CLI_BuildTalkAudio((const uint8_t *)"\xff\x7f", 2), Msg(0x0E02, 0, 14, {{12, {0xFF, 0x7F}}}));
    EXPECT_EQ(VXQ_F_CLI_BuildGuard(0x0501, 3, L), Msg(0x0501, 3, 4, {{0, LID}}));
    EXPECT_EQ(VXQ_F_CLI_BuildGuard(0x0502, 4, L), Msg(0x0502, 4, 4, {{0, LID}}));

    int32_t iAudio[4];
    Bytes tStart = Msg(0x0401, 1, 24, {{0, LID}, {8, Le32(0)}, {12, Le32(64000)}, {16, Le32(8000)}, {20, Le32(1)}}, 1, 0);
    ASSERT_EQ(VXQ_F_CLI_ParseTalkStart(tStart.data(), tStart.size(), iAudio), 1);
    EXPECT_EQ(iAudio[1], 64000);
    EXPECT_EQ(iAudio[2], 8000);
    EXPECT_EQ(iAudio[3], 1);

    const Bytes tTime = {0xEA, 0x07, 12, 0, 6, 9, 1, 2, 0, 0, 0, 0};
    Bytes tAlarm = Msg(0x0503, 0, 152, {{0, Le32(1)}, {4, Le32(5)}, {8, tTime}, {20, Le32(77)}, {24, Text("motion")}});
    _VXQ_S_CLI_ALARM tGot;
    ASSERT_EQ(VXQ_F_CLI_ParseAlarm(tAlarm.data(), tAlarm.size(), &tGot), 1);
    EXPECT_EQ(tGot.bExtended, 0);
    EXPECT_EQ(tGot.iChNo, 1);
    EXPECT_EQ(tGot.iAlarmEvent, 5);
    EXPECT_EQ(tGot.dwAlarmParam, 77u);
    EXPECT_EQ(VXQ_F_CLI_TimeText(&tGot.tAlarmTime), "2026-12-06 09:01:02");
    EXPECT_EQ(tGot.sAlarmMsg, "motion");
    Bytes tEx = Msg(0x0505, 0, 180,
                    {{0, Text("AI202612060901020042")}, {32, Le32(2)}, {36, tTime}, {48, Le32(6)}, {52, Text("door")}});
    ASSERT_EQ(VXQ_F_CLI_ParseAlarm(tEx.data(), tEx.size(), &tGot), 1);
    EXPECT_EQ(tGot.bExtended, 1);
    EXPECT_EQ(tGot.sAlarmId, "AI202612060901020042");
    EXPECT_EQ(tGot.iChNo, 2);
    EXPECT_EQ(tGot.iAlarmEvent, 6);
    EXPECT_EQ(tGot.sAlarmMsg, "door");
    EXPECT_EQ(VXQ_F_CLI_ParseAlarm(tAlarm.data(), 171, &tGot), 0);
}

TEST(ClientBody, ConfigurationAndUserMessages)
{
    const Bytes tData = {1, 2, 3};
    EXPECT_EQ(VXQ_F_CLI_BuildConfig(0x0902, 1, L, 7, {}), Msg(0x0902, 1, 12, {{0, LID}, {4, Le32(7)}}));
    EXPECT_EQ(VXQ_F_CLI_BuildConfig(0x0903, 2, L, 7, tData),
              Msg(0x0903, 2, 15, {{0, LID}, {4, Le32(7)}, {8, Le32(3)}, {12, tData}}));
    EXPECT_EQ(VXQ_F_CLI_BuildGetDefConfig(3, L, 7, 9), Msg(0x0904, 3, 16, {{0, LID}, {4, Le32(7)}, {8, Le32(9)}}));
    EXPECT_EQ(VXQ_F_CLI_BuildImportConfig(4, L, tData), Msg(0x0905, 4, 11, {{0, LID}, {4, Le32(3)}, {8, tData}}));
    EXPECT_EQ(VXQ_F_CLI_BuildExportConfig(5, L), Msg(0x0906, 5, 8, {{0, LID}}));
    EXPECT_EQ(VXQ_F_CLI_BuildQueryNetInfo(6), Msg(0x0911, 6, 4, {}));
    EXPECT_EQ(VXQ_F_CLI_BuildModifyPwd(7, "admin", "old", "new"),
              Msg(0x0901, 7, 96, {{0, Text("admin")}, {32, Text("old")}, {64, Text("new")}}));

    _VXQ_S_CLI_USER_POP tPop;
    memset(&tPop, 0, sizeof(tPop));
    tPop.dwGlobalPop = 0x41;
    tPop.iChPopNum = 2;
    tPop.dwChPop[0] = 0x09;
    tPop.dwChPop[1] = 0x0B;
    EXPECT_EQ(VXQ_F_CLI_BuildAddUser(8, L, "guest", "pw", &tPop),
              Msg(0x0931, 8, 332,
                  {{0, LID}, {4, Text("guest")}, {36, Text("pw")}, {68, Le32(0x41)}, {72, Le32(2)}, {76, Le32(9)},
                   {80, Le32(0x0B)}}));
    EXPECT_EQ(VXQ_F_CLI_BuildDelUser(9, L, "guest"), Msg(0x0932, 9, 36, {{0, LID}, {4, Text("guest")}}));
    EXPECT_EQ(VXQ_F_CLI_BuildUserPop(0x0933, 10, L, "guest", nullptr), Msg(0x0933, 10, 300, {{0, LID}, {4, Text("guest")}}));
    EXPECT_EQ(VXQ_F_CLI_BuildUserPop(0x0934, 11, L, "guest", &tPop),
              Msg(0x0934, 11, 300, {{0, LID}, {4, Text("guest")}, {36, Le32(0x41)}, {40, Le32(2)}, {44, Le32(9)}, {48, Le32(0x0B)}}));

    Bytes tData2;
    Bytes tGet = Msg(0x0902, 1, 15, {{0, LID}, {4, Le32(7)}, {8, Le32(3)}, {12, tData}}, 1, 0);
    ASSERT_EQ(VXQ_F_CLI_ParseConfigData(tGet.data(), tGet.size(), &tData2), 1);
    EXPECT_EQ(tData2, tData);
    Bytes tDef = Msg(0x0904, 1, 19, {{12, Le32(3)}, {16, tData}}, 1, 0);
    ASSERT_EQ(VXQ_F_CLI_ParseConfigData(tDef.data(), tDef.size(), &tData2), 1);
    EXPECT_EQ(tData2, tData);
    Bytes tExp = Msg(0x0906, 1, 11, {{4, Le32(3)}, {8, tData}}, 1, 0);
    ASSERT_EQ(VXQ_F_CLI_ParseConfigData(tExp.data(), tExp.size(), &tData2), 1);
    EXPECT_EQ(tData2, tData);
    Bytes tLying = tExp;
    VXQ_F_CLI_PutU32(&tLying[24], 4);
    EXPECT_EQ(VXQ_F_CLI_ParseConfigData(tLying.data(), tLying.size(), &tData2), 0);

    Bytes tCard(90, 0);
    memcpy(&tCard[0], "eth0", 4);
    const uint8_t ucMac[6] = {0x02, 0x00, 0x5E, 0x10, 0x00, 0x01};
    memcpy(&tCard[32], ucMac, 6);
    VXQ_F_CLI_PutU32(&tCard[38], 5);
    memcpy(&tCard[42], "127.0.0.1", 9);
    memcpy(&tCard[58], "255.0.0.0", 9);
    memcpy(&tCard[74], "127.0.0.1", 9);
    Bytes tNet = Msg(0x0911, 1, 94, {{0, Le32(1)}, {4, tCard}}, 1, 0);
    std::vector<_VXQ_S_CLI_CARD_INFO> tCards;
    ASSERT_EQ(VXQ_F_CLI_ParseNetInfo(tNet.data(), tNet.size(), &tCards), 1);
    ASSERT_EQ(tCards.size(), 1u);
    EXPECT_EQ(tCards[0].sName, "eth0");
    EXPECT_EQ(tCards[0].ucMac[2], 0x5E);
    EXPECT_EQ(tCards[0].dwValue, 5u);
    EXPECT_EQ(tCards[0].sAddr2, "255.0.0.0");
    Bytes tBare = Msg(0x0911, 1, 4, {}, 1, 0);
    ASSERT_EQ(VXQ_F_CLI_ParseNetInfo(tBare.data(), tBare.size(), &tCards), 1);
    EXPECT_TRUE(tCards.empty());

    Bytes tUser = Msg(0x0933, 1, 300, {{36, Le32(0xFF)}, {40, Le32(2)}, {44, Le32(1)}, {48, Le32(3)}}, 1, 0);
    ASSERT_EQ(VXQ_F_CLI_ParseUserPop(tUser.data(), tUser.size(), &tPop), 1);
    EXPECT_EQ(tPop.dwGlobalPop, 0xFFu);
    EXPECT_EQ(tPop.iChPopNum, 2);
    EXPECT_EQ(tPop.dwChPop[1], 3u);
    VXQ_F_CLI_PutU32(&tUser[60], 65);
    EXPECT_EQ(VXQ_F_CLI_ParseUserPop(tUser.data(), tUser.size(), &tPop), 0);
}

TEST(ClientBody, SerialCustomMaintenanceAndUpgradeMessages)
{
    const uint32_t dwParam[6] = {9600, 8, 0, 1, 0, 2};
    EXPECT_EQ(VXQ_F_CLI_BuildComOpen(1, L, dwParam),
              Msg(0x0921, 1, 28, {{0, LID}, {4, Le32(9600)}, {8, Le32(8)}, {16, Le32(1)}, {24, Le32(2)}}));
    EXPECT_EQ(VXQ_F_CLI_BuildComClose(2, L, 3, 4), Msg(0x0922, 2, 12, {{0, LID}, {4, Le32(3)}, {8, Le32(4)}}));
    EXPECT_EQ(VXQ_F_CLI_BuildComSend(3, L, 5, 6, {0x41}),
              Msg(0x0923, 3, 17, {{0, LID}, {4, Le32(5)}, {8, Le32(6)}, {12, Le32(1)}, {16, {0x41}}}));
    Bytes tCom = Msg(0x0924, 0, 14, {{8, Le32(2)}, {12, {'o', 'k'}}});
    Bytes tGot;
    ASSERT_EQ(VXQ_F_CLI_ParseComData(tCom.data(), tCom.size(), &tGot), 1);
    EXPECT_EQ(tGot, Bytes({'o', 'k'}));
    tCom[10] = 1; /* an answer is not serial data */
    EXPECT_EQ(VXQ_F_CLI_ParseComData(tCom.data(), tCom.size(), &tGot), 0);

    EXPECT_EQ(VXQ_F_CLI_BuildCustom(4, 0x99, {1, 2}), Msg(0x0A01, 4, 10, {{0, Le32(0x99)}, {4, Le32(2)}, {8, {1, 2}}}));
    Bytes tCustom = Msg(0x0A01, 4, 9, {{4, Le32(1)}, {8, {7}}}, 1, 0);
    ASSERT_EQ(VXQ_F_CLI_ParseCustom(tCustom.data(), tCustom.size(), &tGot), 1);
    EXPECT_EQ(tGot, Bytes({7}));

    EXPECT_EQ(VXQ_F_CLI_BuildAbility(5, L, 3), Msg(0x0B01, 5, 12, {{0, LID}, {4, Le32(3)}}));
    std::string sAbility;
    Bytes tAbility = Msg(0x0B01, 5, 17, {{8, Le32(5)}, {12, Text("<a/>")}}, 1, 0);
    ASSERT_EQ(VXQ_F_CLI_ParseAbility(tAbility.data(), tAbility.size(), &sAbility), 1);
    EXPECT_EQ(sAbility, "<a/>");

    EXPECT_EQ(VXQ_F_CLI_BuildMaint(0x0B02, 6, L), Msg(0x0B02, 6, 4, {{0, LID}}));
    EXPECT_EQ(VXQ_F_CLI_BuildMaint(0x0B03, 7, L), Msg(0x0B03, 7, 4, {{0, LID}}));
    EXPECT_EQ(VXQ_F_CLI_BuildMaint(0x0B21, 8, L), Msg(0x0B21, 8, 28, {{0, LID}}));
    uint16_t usShort[4];
    uint32_t dwLong[4];
    Bytes tVer = Msg(0x0B21, 8, 28, {{4, {2, 0, 4, 0, 2, 0, 5, 0}}, {12, Le32(20261206)}, {24, Le32(9)}}, 1, 0);
    ASSERT_EQ(VXQ_F_CLI_ParseVersion(tVer.data(), tVer.size(), usShort, dwLong), 1);
    EXPECT_EQ(usShort[1], 4);
    EXPECT_EQ(usShort[3], 5);
    EXPECT_EQ(dwLong[0], 20261206u);
    EXPECT_EQ(dwLong[3], 9u);

    EXPECT_EQ(VXQ_F_CLI_BuildRequUpgrade(9, L, 1, 2, 70000),
              Msg(0x0B22, 9, 16, {{0, LID}, {4, {1, 0, 2, 0}}, {8, Le32(70000)}}));
    EXPECT_EQ(VXQ_F_CLI_BuildUpgradeQuery(0x0B23, 10, 5), Msg(0x0B23, 10, 8, {{0, Le32(5)}}));
    EXPECT_EQ(VXQ_F_CLI_BuildUpgradeQuery(0x0B24, 11, 5), Msg(0x0B24, 11, 8, {{0, Le32(5)}}));
    EXPECT_EQ(VXQ_F_CLI_BuildUpgradeData(12, 4096, (const uint8_t *)"abc", 3),
              Msg(0x0B25, 12, 11, {{0, Le32(4096)}, {4, Le32(3)}, {8, Text("abc")}}));
    uint32_t dwValue = 0;
    Bytes tReq = Msg(0x0B22, 9, 16, {{12, Le32(44)}}, 1, 0);
    ASSERT_EQ(VXQ_F_CLI_ParseUpgradeValue(tReq.data(), tReq.size(), &dwValue), 1);
    EXPECT_EQ(dwValue, 44u);
    Bytes tProgress = Msg(0x0B23, 10, 8, {{4, Le32(100)}}, 1, 0);
    ASSERT_EQ(VXQ_F_CLI_ParseUpgradeValue(tProgress.data(), tProgress.size(), &dwValue), 1);
    EXPECT_EQ(dwValue, 100u);
    Bytes tPos = Msg(0x0B24, 11, 8, {{4, Le32(65536)}}, 1, 0);
    ASSERT_EQ(VXQ_F_CLI_ParseUpgradeValue(tPos.data(), tPos.size(), &dwValue), 1);
    EXPECT_EQ(dwValue, 65536u);
    EXPECT_EQ(VXQ_F_CLI_ParseUpgradeValue(tPos.data(), 27, &dwValue), 0);
}
