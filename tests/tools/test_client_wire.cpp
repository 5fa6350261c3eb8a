/*
 * test_client_wire.cpp - the reference client's wire vocabulary against
 * hand-computed bytes: head, times and the media head of frame messages.
 * (The login digest: every login of every network test uses it.)
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
    char sGot[64];
    snprintf(sGot, sizeof(sGot), "%u %04X %02X %d %d %08X", tHead.dwPacketSize, tHead.usMsgFuncId,
             tHead.ucTypeByte, tHead.ucPacketType, tHead.ucResult, tHead.dwTransNo);
    EXPECT_STREQ(sGot, "22 0B25 05 1 42 01020304");
    EXPECT_EQ(VXQ_F_CLI_ParseHead(tMsg.data(), 19, &tHead), 0);
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

    /* The calendar's edges: a leap day, a 29 February of a common year, a
     * month, an hour and a minute one past the last. */
    const char *const sValid[] = {"2024-02-29 00:00:00", "2026-12-06T09:45:30"};
    const char *const sInvalid[] = {"2026-02-29 00:00:00", "2026-13-01 00:00:00", "2026-04-31 00:00:00",
                                    "2026-12-06 24:00:00", "2026-12-06 09:60:00", "2026-12-06 09:45"};
    _VXQ_S_CLI_TIME t;
    for (const char *s : sValid)
        EXPECT_EQ(VXQ_F_CLI_ParseTimeText(s, &t), 1) << s;
    for (const char *s : sInvalid)
        EXPECT_EQ(VXQ_F_CLI_ParseTimeText(s, &t), 0) << s;
}

TEST(ClientWire, MediaHeadsPackTheirFieldsIntoTheirBitsAndOnlyWholeFrameMessagesParse)
{
    /* Each row: a frame message and its decoding (video, codec, frame type,
     * size, rate, bit rate, sample rate, channels, time, data length), or
     * "refused"; what decodes is built back to the same bytes. */
    const char *const H = "eeeeffff%02x0000000%d0e00000000000000000000";
    auto Msg = [&](int in_iLen, int in_iId, const char *in_sRest) {
        char sHead[64];
        snprintf(sHead, sizeof(sHead), H, in_iLen, in_iId);
        Bytes t;
        std::string sHex = std::string(sHead) + in_sRest;
        for (size_t i = 0; i + 1 < sHex.size(); i += 2)
            t.push_back((uint8_t)std::stoi(sHex.substr(i, 2), nullptr, 16));
        return t;
    };
    /* clang-format off */
    const struct {
        Bytes tMsg;
        const char *sWant;
    } tCases[] = {
        /* codec 1, I-frame, 1280 x 720, 25 fps, 4097 kbit/s (bit 0 set), time 0x12345678 */
        {Msg(37, 1, "1100052d99000800785634120000000165"), "1 1 1 1280x720 25 4097 0 0 12345678 5"},
        {Msg(32, 1, "ffffffffffff3f0000000000"), "1 15 15 4095x4095 127 32767 0 0 0 0"}, /* the widest values */
        {Msg(32, 1, "000000000000000000000000"), "1 0 0 0x0 0 0 0 0 0 0"},               /* no data is still a frame */
        /* codec 2, 44100 Hz, marker 1, 64000 bit/s, 2 channels, time 40 */
        {Msg(34, 2, "42c40a0100fa0200280000007fff"), "0 2 0 0x0 0 64000 44100 2 28 2"},
        {Msg(31, 1, "0000000000000000000000"), "refused"},   /* 31 bytes */
        {Msg(40, 1, "000000000000000000000000"), "refused"}, /* the size says 40 */
        {Msg(32, 3, "000000000000000000000000"), "refused"}, /* not a frame message */
    };
    /* clang-format on */
    for (const auto &c : tCases) {
        _VXQ_S_CLI_MEDIA_HEAD m;
        char sGot[128] = "refused";
        if (VXQ_F_CLI_ParseFrame(c.tMsg.data(), c.tMsg.size(), &m)) {
            snprintf(sGot, sizeof(sGot), "%d %d %d %dx%d %d %d %u %d %X %u", m.bVideo, m.ucCodecId,
                     m.ucFrameType, m.usWidth, m.usHeight, m.ucFrameRate, m.usBitRate, m.dwSampleRate,
                     m.ucChannels, m.dwTimeStampMs, m.dwDataLen);
            EXPECT_EQ(m.pData, c.tMsg.data() + 32);
            EXPECT_EQ(VXQ_F_CLI_BuildFrame(&m), c.tMsg) << c.sWant;
        }
        EXPECT_STREQ(sGot, c.sWant);
    }
}
