#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>

#include "media/framemsg.h"

static std::string Hex(const uint8_t *in_p, size_t in_iLen)
{
    std::string s;
    char sByte[3];
    for (size_t i = 0; i < in_iLen; i++) {
        snprintf(sByte, sizeof(sByte), "%02x", in_p[i]);
        s += sByte;
    }
    return s;
}

/* Whole messages: the 20-byte head (flag, size, function, notice, zeros), the
 * media head with only the low bits of each value (video fields of 4, 4, 12,
 * 12, 7 and 15 bits; audio 4, 16, 1, 16 and 2), the time stamp, the data. */
TEST(FrameMsg, MessagesCarryOnlyTheLowBitsOfEachValueAndTheDataBehind)
{
    const struct {
        int iCodec, iType, iWidth, iHeight, iRate, iBitRate;
        int iACodec, iASample, iABitRate, iACh;
        const char *sVideo, *sAudio; /* video with 5 data bytes, audio without data */
    } aRows[] = {
        {0xF, 0xF, 0xFFF, 0xFFF, 0x7F, 0x7FFF, 0xF, 0xFFFF, 0xFFFF, 3,
         "eeeeffff25000000010e00000000000000000000" "ffffffffffff3f00" "d4c3b2a1" "0102030405",
         "eeeeffff20000000020e00000000000000000000" "ffff0f01ffff0300" "07000000"},
        {-1, -1, 0x1000, 0x1000, 128, 0x8000, -1, 0x10000, 0x10000, 4,
         "eeeeffff25000000010e00000000000000000000" "ff00000000000000" "d4c3b2a1" "0102030405",
         "eeeeffff20000000020e00000000000000000000" "0f00000100000000" "07000000"},
    };
    const uint8_t aData[5] = {1, 2, 3, 4, 5};
    for (const auto &r : aRows) {
        _VXQ_S_DPS_MEDIA_SUB_CH_DATA t;
        memset(&t, 0, sizeof(t));
        t.iVideoCodecId = r.iCodec;
        t.usVideoWidth = (uint16_t)r.iWidth;
        t.usVideoHeight = (uint16_t)r.iHeight;
        t.iVideoFrameRate = r.iRate;
        t.iVideoBitRate = r.iBitRate;
        t.iAudioCodecId = r.iACodec;
        t.iAudioSampleRate = r.iASample;
        t.iAudioBitRate = r.iABitRate;
        t.iAudioChNum = r.iACh;
        int32_t iLen = 0;
        uint8_t *pMsg = VXQ_F_DPS_MC_FrameMsg_Build(VXQ_DPS_MEDIA_TYPE_VIDEO, &t, r.iType, 0xA1B2C3D4u, aData, 5, &iLen);
        ASSERT_NE(pMsg, nullptr);
        EXPECT_EQ(Hex(pMsg, (size_t)iLen), r.sVideo);
        free(pMsg);
        for (const uint8_t *pData : {(const uint8_t *)NULL, aData}) {
            pMsg = VXQ_F_DPS_MC_FrameMsg_Build(VXQ_DPS_MEDIA_TYPE_AUDIO, &t, 0, 7, pData, pData ? -3 : 5, &iLen);
            ASSERT_NE(pMsg, nullptr);
            EXPECT_EQ(Hex(pMsg, (size_t)iLen), r.sAudio) << "bad data counts as none";
            free(pMsg);
        }
    }
    uint8_t aMsg[32];
    _VXQ_S_DPS_MEDIA_SUB_CH_DATA t;
    memset(&t, 0, sizeof(t));
    int32_t iLen = 0;
    EXPECT_EQ(VXQ_F_DPS_MC_FrameMsg_WriteVideoHead(aMsg, &t, 1, 0, -1), 0);
    EXPECT_EQ(VXQ_F_DPS_MC_FrameMsg_WriteAudioHead(aMsg, NULL, 0, 0), 0);
    EXPECT_EQ(VXQ_F_DPS_MC_FrameMsg_Build(0, NULL, 1, 0, aData, 5, &iLen), nullptr);
}

TEST(FrameMsg, TickTimeStampStartsAtZeroAndRestartsWhenTheTickGoesBack)
{
    uint32_t dwBase = 0;
    struct Row {
        uint32_t dwTick, dwStamp, dwBaseAfter;
    } aRows[] = {
        {5000, 0, 5000},   /* first frame stores the base */
        {5040, 40, 5000},
        {4000, 4000, 0},   /* tick below the base: carried as is, base dropped */
        {4100, 0, 4100},   /* the next frame starts a new base */
        {4200, 100, 4100},
    };
    for (const Row &r : aRows) {
        EXPECT_EQ(VXQ_F_DPS_MC_FrameMsg_TickTimeStamp(&dwBase, r.dwTick), r.dwStamp) << r.dwTick;
        EXPECT_EQ(dwBase, r.dwBaseAfter) << r.dwTick;
    }
}
