/*
 * test_client_wire.cpp - the reference client's wire vocabulary against
 * hand-computed bytes: head, result texts, times and the media head of frame
 * messages. (The login digest: every login of every network test uses it.)
 */
#include <gtest/gtest.h>

#include "cliwire.h"

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

typedef std::vector<uint8_t> Bytes;

TEST(ClientWire, HeadIsTwentyLittleEndianBytesFollowedByTheBody)
{
    const uint8_t ucBody[2] = {0xAA, 0xBB};
    Bytes tMsg = VXQ_F_CLI_BuildMsg(0x0B25, 0x04, 0x01020304u, ucBody, sizeof(ucBody));
    const Bytes tExpected = {0xEE, 0xEE, 0xFF, 0xFF, 22,   0, 0, 0, 0x25, 0x0B, 0x04,
                             0x00, 0x04, 0x03, 0x02, 0x01, 0, 0, 0, 0,    0xAA, 0xBB};
    EXPECT_EQ(tMsg, tExpected);

    /* As an answer: kept bits 2-7, answer bit set, result 42. */
    tMsg[10] = 0x05;
    tMsg[11] = 42;
    _VXQ_S_CLI_HEAD tHead;
    ASSERT_EQ(VXQ_F_CLI_ParseHead(tMsg.data(), tMsg.size(), &tHead), 1);
    EXPECT_EQ(tHead.dwPacketSize, 22u);
    EXPECT_EQ(tHead.usMsgFuncId, 0x0B25);
    EXPECT_EQ(tHead.ucTypeByte * 1000 + tHead.ucPacketType * 100 + tHead.ucResult, 5000 + 100 + 42);
    EXPECT_EQ(tHead.dwTransNo, 0x01020304u);

    EXPECT_EQ(VXQ_F_CLI_ParseHead(tMsg.data(), 19, &tHead), 0);
    EXPECT_EQ(VXQ_F_CLI_ParseHead(nullptr, 20, &tHead), 0);
}

TEST(ClientWire, ResultTextsNameEachCodeAsTheDeviceDoes)
{
    struct {
        uint8_t ucCode;
        const char *sText;
    } tCases[] = {
        {0, "Success"},
        {2, "Param error"},
        {3, "User name error"},
        {4, "Password error"},
        {5, "Without permission"},
        {6, "Not login"},
        {8, "Query file fail"},
        {13, "Resource no exist"},
        {40, "Not support operate"},
        {42, "Message function error"},
        {57, "Start talk fail"},
        {99, "Other"},
        {149, "Unknown result: 149"},
        {150, "Custom error: 150"},
        {179, "Custom error: 179"},
        {180, "Unknown result: 180"},
        {200, "Success and restart"},
    };
    for (const auto &c : tCases)
        EXPECT_EQ(VXQ_F_CLI_ResultText(c.ucCode), c.sText) << (int)c.ucCode;
}

TEST(ClientWire, TimeIsTwelveBytesAndTextsAreCheckedAsCalendarTimes)
{
    _VXQ_S_CLI_TIME tTime = {2026, 12, 6, 9, 45, 30};
    uint8_t ucWire[12];
    memset(ucWire, 0x77, sizeof(ucWire));
    VXQ_F_CLI_PutTime(ucWire, &tTime);
    EXPECT_EQ(Bytes(ucWire, ucWire + 12), Bytes({0xEA, 0x07, 0x0C, 0x00, 6, 9, 45, 30, 0, 0, 0, 0}));
    _VXQ_S_CLI_TIME tBack;
    VXQ_F_CLI_GetTime(ucWire, &tBack);
    EXPECT_EQ(VXQ_F_CLI_TimeText(&tBack), "2026-12-06 09:45:30");

    struct {
        const char *sText;
        int bValid;
    } tCases[] = {
        {"2026-12-06 09:45:30", 1}, {"2026-12-06T09:45:30", 1}, {"2024-02-29 00:00:00", 1},
        {"2026-02-29 00:00:00", 0}, {"1900-02-28 00:00:00", 0}, {"2026-13-01 00:00:00", 0},
        {"2026-04-31 00:00:00", 0}, {"2026-12-06 24:00:00", 0}, {"2026-12-06 09:60:00", 0},
        {"2026-12-06 09:45", 0},    {"2026-12-06 09:45:3x", 0}, {"", 0},
    };
    for (const auto &c : tCases) {
        _VXQ_S_CLI_TIME t;
        EXPECT_EQ(VXQ_F_CLI_ParseTimeText(c.sText, &t), c.bValid) << c.sText;
    }
    EXPECT_EQ(VXQ_F_CLI_ParseTimeText(nullptr, &tBack), 0);
}

TEST(ClientWire, VideoMediaHeadPacksCodecTypeSizeRateAndBitRateIntoItsBits)
{
    /* codec 1, I-frame; 1280 x 720; 25 fps; 4097 kbit/s (bit 0 set); time 0x12345678. */
    const Bytes tMsg = {0xEE, 0xEE, 0xFF, 0xFF, 37,   0,    0, 0,    0x01, 0x0E, 0,    0,    0,
                        0,    0,    0,    0,    0,    0,    0, 0x11, 0x00, 0x05, 0x2D, 0x99, 0x00,
                        0x08, 0x00, 0x78, 0x56, 0x34, 0x12, 0, 0,    0,    1,    0x65};
    _VXQ_S_CLI_MEDIA_HEAD tMedia;
    ASSERT_EQ(VXQ_F_CLI_ParseFrame(tMsg.data(), tMsg.size(), &tMedia), 1);
    char sGot[96];
    snprintf(sGot, sizeof(sGot), "%d %d %d %dx%d %d %d %X %u", tMedia.bVideo, tMedia.ucCodecId,
             tMedia.ucFrameType, tMedia.usWidth, tMedia.usHeight, tMedia.ucFrameRate, tMedia.usBitRate,
             tMedia.dwTimeStampMs, tMedia.dwDataLen);
    EXPECT_STREQ(sGot, "1 1 1 1280x720 25 4097 12345678 5");
    EXPECT_EQ(tMedia.pData, tMsg.data() + 32);
    /* Built back from the decoded head, the message is the same bytes. */
    EXPECT_EQ(VXQ_F_CLI_BuildFrame(&tMedia), tMsg);

    /* The widest values fill their bits exactly. */
    _VXQ_S_CLI_MEDIA_HEAD tMax = tMedia;
    tMax.ucCodecId = 15;
    tMax.ucFrameType = 15;
    tMax.usWidth = 4095;
    tMax.usHeight = 4095;
    tMax.ucFrameRate = 127;
    tMax.usBitRate = 32767;
    tMax.dwDataLen = 0;
    Bytes tBuilt = VXQ_F_CLI_BuildFrame(&tMax);
    EXPECT_EQ(Bytes(tBuilt.begin() + 20, tBuilt.begin() + 28),
              Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x3F, 0x00}));
}

TEST(ClientWire, AudioMediaHeadCarriesSampleRateBitRateAndChannels)
{
    /* codec 2, 44100 Hz (0xAC44), marker 1, 64000 bit/s, 2 channels. */
    const Bytes tMsg = {0xEE, 0xEE, 0xFF, 0xFF, 34, 0, 0, 0, 0x02, 0x0E, 0,    0,
                        0,    0,    0,    0,    0,  0, 0, 0, 0x42, 0xC4, 0x0A, 0x01,
                        0x00, 0xFA, 0x02, 0x00, 40, 0, 0, 0, 0x7F, 0xFF};
    _VXQ_S_CLI_MEDIA_HEAD tMedia;
    ASSERT_EQ(VXQ_F_CLI_ParseFrame(tMsg.data(), tMsg.size(), &tMedia), 1);
    char sGot[96];
    snprintf(sGot, sizeof(sGot), "%d %d %u %d %d %u %u", tMedia.bVideo, tMedia.ucCodecId, tMedia.dwSampleRate,
             tMedia.usBitRate, tMedia.ucChannels, tMedia.dwTimeStampMs, tMedia.dwDataLen);
    EXPECT_STREQ(sGot, "0 2 44100 64000 2 40 2");
    EXPECT_EQ(VXQ_F_CLI_BuildFrame(&tMedia), tMsg);
}

TEST(ClientWire, FrameParserRefusesWhatIsNotAWholeFrameMessage)
{
    _VXQ_S_CLI_MEDIA_HEAD tMedia;
    tMedia = _VXQ_S_CLI_MEDIA_HEAD();
    tMedia.bVideo = 1;
    Bytes tGood = VXQ_F_CLI_BuildFrame(&tMedia); /* 32 bytes: no data is still a frame */
    ASSERT_EQ(VXQ_F_CLI_ParseFrame(tGood.data(), tGood.size(), &tMedia), 1);
    EXPECT_EQ(tMedia.dwDataLen, 0u);

    Bytes tShort(tGood.begin(), tGood.begin() + 31);
    VXQ_F_CLI_PutU32(&tShort[4], 31);
    Bytes tSizeOff = tGood;
    VXQ_F_CLI_PutU32(&tSizeOff[4], 40);
    Bytes tOtherId = tGood;
    tOtherId[8] = 0x03;
    for (const Bytes *p : {&tShort, &tSizeOff, &tOtherId})
        EXPECT_EQ(VXQ_F_CLI_ParseFrame(p->data(), p->size(), &tMedia), 0);
}
