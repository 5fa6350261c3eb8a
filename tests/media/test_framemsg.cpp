#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include "media/framemsg.h"
#include "support/frame_decoder.h"

static _VXQ_S_DPS_MEDIA_SUB_CH_DATA MakeDesc()
{
    _VXQ_S_DPS_MEDIA_SUB_CH_DATA t;
    memset(&t, 0, sizeof(t));
    t.iVideoCodecId = 4;
    t.usVideoWidth = 1920;   /* 0x780 */
    t.usVideoHeight = 1080;  /* 0x438 */
    t.iVideoFrameRate = 25;  /* 0x19 */
    t.iVideoBitRate = 0x5A5B;
    t.iAudioCodecId = 2;
    t.iAudioSampleRate = 44100; /* 0xAC44 */
    t.iAudioBitRate = 16000;    /* 0x3E80 */
    t.iAudioChNum = 1;
    return t;
}

TEST(FrameMsg, OnlyTheLowBitsOfEachValueReachTheWire)
{
    struct Row {
        int iCodec, iType, iWidth, iHeight, iRate, iBitRate;
        int iACodec, iASample, iABitRate, iACh;
    } aRows[] = {
        /* the field widths: 4, 4, 12, 12, 7, 15 / 4, 16, 16, 2 bits */
        {0x1F, 0x12, 0xF123, 0xFFFF, 0xFF, 0x18001, 0x13, 0x1ABCD, 0x2FFFF, 7},
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {0xF, 0xF, 0xFFF, 0xFFF, 0x7F, 0x7FFF, 0xF, 0xFFFF, 0xFFFF, 3},
        {-1, -1, 0x1000, 0x1000, 128, 0x8000, -1, 0x10000, 0x10000, 4},
    };
    for (const Row &r : aRows) {
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
        uint8_t aV[32], aA[32];
        ASSERT_EQ(VXQ_F_DPS_MC_FrameMsg_WriteVideoHead(aV, &t, r.iType, 7, 0), 1);
        ASSERT_EQ(VXQ_F_DPS_MC_FrameMsg_WriteAudioHead(aA, &t, 7, 0), 1);
        TestFrameMsg dv, da;
        ASSERT_TRUE(TestDecodeFrameMsg(aV, 32, &dv));
        ASSERT_TRUE(TestDecodeFrameMsg(aA, 32, &da));
        EXPECT_EQ(dv.iVideoCodecId, r.iCodec & 0xF);
        EXPECT_EQ(dv.iFrameType, r.iType & 0xF);
        EXPECT_EQ(dv.iWidth, r.iWidth & 0xFFF);
        EXPECT_EQ(dv.iHeight, r.iHeight & 0xFFF);
        EXPECT_EQ(dv.iFrameRate, r.iRate & 0x7F);
        EXPECT_EQ(dv.iVideoBitRate, r.iBitRate & 0x7FFF);
        EXPECT_EQ(dv.iVideoPad, 0);
        EXPECT_EQ(da.iAudioCodecId, r.iACodec & 0xF);
        EXPECT_EQ(da.iSampleRate, r.iASample & 0xFFFF);
        EXPECT_EQ(da.iAudioBitRate, r.iABitRate & 0xFFFF);
        EXPECT_EQ(da.iAudioChNum, r.iACh & 3);
        EXPECT_EQ(da.iAudioByte23, 1);
        EXPECT_EQ(da.iAudioPad, 0);
    }
}

TEST(FrameMsg, BuildCopiesTheDataBehindTheHeadAndTreatsBadDataAsEmpty)
{
    _VXQ_S_DPS_MEDIA_SUB_CH_DATA t = MakeDesc();
    const uint8_t aData[5] = {1, 2, 3, 4, 5};
    int32_t iLen = 0;
    uint8_t *pMsg = VXQ_F_DPS_MC_FrameMsg_Build(VXQ_DPS_MEDIA_TYPE_VIDEO, &t, 2, 9, aData, 5, &iLen);
    ASSERT_NE(pMsg, nullptr);
    EXPECT_EQ(iLen, 37);
    TestFrameMsg d;
    ASSERT_TRUE(TestDecodeFrameMsg(pMsg, (size_t)iLen, &d));
    EXPECT_EQ(d.iFrameType, 2);
    EXPECT_EQ(0, memcmp(d.pData, aData, 5));
    free(pMsg);

    pMsg = VXQ_F_DPS_MC_FrameMsg_Build(VXQ_DPS_MEDIA_TYPE_AUDIO, &t, 0, 9, NULL, 5, &iLen);
    ASSERT_NE(pMsg, nullptr);
    EXPECT_EQ(iLen, 32);
    free(pMsg);
    pMsg = VXQ_F_DPS_MC_FrameMsg_Build(VXQ_DPS_MEDIA_TYPE_AUDIO, &t, 0, 9, aData, -3, &iLen);
    ASSERT_NE(pMsg, nullptr);
    EXPECT_EQ(iLen, 32);
    ASSERT_TRUE(TestDecodeFrameMsg(pMsg, 32, &d));
    EXPECT_EQ(d.usMsgFuncId, 0x0E02);
    free(pMsg);

    uint8_t aMsg[32];
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
        {5040, 0 + 40, 5000},
        {9000, 4000, 5000},
        {4000, 4000, 0},   /* tick below the base: carried as is, base dropped */
        {4100, 0, 4100},   /* the next frame starts a new base */
        {4200, 100, 4100},
    };
    for (const Row &r : aRows) {
        EXPECT_EQ(VXQ_F_DPS_MC_FrameMsg_TickTimeStamp(&dwBase, r.dwTick), r.dwStamp) << r.dwTick;
        EXPECT_EQ(dwBase, r.dwBaseAfter) << r.dwTick;
    }
}
