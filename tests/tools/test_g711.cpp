#include <gtest/gtest.h>

#include "g711.h"

#include <math.h>
#include <vector>

TEST(G711, MuLawEncoderMatchesKnownCodes)
{
    struct {
        int16_t sSample;
        uint8_t ucCode;
    } tCases[] = {
        {0, 0xFF},     {-1, 0x7F},    {1, 0xFF},      {100, 0xF2},    {-100, 0x72},
        {32767, 0x80}, {32635, 0x80}, {-32768, 0x00}, {-32767, 0x00}, {1000, 0xCE},
        {-1000, 0x4E}, {8000, 0xA0},  {124, 0xEF},    {-8159, 0x1F},
    };
    for (const auto &c : tCases)
        EXPECT_EQ(VXQ_F_SIMG711_LinearToUlaw(c.sSample), c.ucCode) << c.sSample;
    EXPECT_EQ(VXQ_F_SIMG711_UlawToLinear(0xFF), 0);
    EXPECT_EQ(VXQ_F_SIMG711_UlawToLinear(0x7F), 0);
    EXPECT_EQ(VXQ_F_SIMG711_UlawToLinear(0x80), 32124);
    EXPECT_EQ(VXQ_F_SIMG711_UlawToLinear(0x00), -32124);
}

TEST(G711, EveryCodeDecodesToAValueThatEncodesBackToIt)
{
    for (int i = 0; i < 256; i++) {
        uint8_t ucCode = (uint8_t)i;
        int16_t sValue = VXQ_F_SIMG711_UlawToLinear(ucCode);
        /* Negative zero (0x7F) decodes to 0, which is coded as positive zero. */
        uint8_t ucWant = ucCode == 0x7F ? 0xFF : ucCode;
        EXPECT_EQ(VXQ_F_SIMG711_LinearToUlaw(sValue), ucWant) << i;
    }
}

TEST(G711, ToneFrameIs160BytesOfA1kHzSineWithContinuousPhase)
{
    EXPECT_EQ(VXQ_SIM_G711_FRAME_BYTES, 160);
    _VXQ_S_SIMG711_TONE tTone;
    ASSERT_EQ(VXQ_F_SIMG711_ToneInit(&tTone, VXQ_SIM_G711_TONE_HZ, VXQ_SIM_G711_SAMPLE_RATE, 10000), 1);
    std::vector<uint8_t> vFrames(3 * VXQ_SIM_G711_FRAME_BYTES, 0x55);
    for (int i = 0; i < 3; i++)
        VXQ_F_SIMG711_ToneFrame(&tTone, vFrames.data() + i * VXQ_SIM_G711_FRAME_BYTES, VXQ_SIM_G711_FRAME_BYTES);
    /* 1 kHz at 8 kHz: every sample is 10000 * sin(2 pi n / 8), within the
     * quantisation of its mu-law segment, across frame borders too. */
    /* The eight phases of one period, written out: the test checks the tone
     * without the C library's sin(), which big-endian emulation cannot run. */
    static const double s_fHalfRoot2 = 0.70710678118654752440;
    static const double s_fSine8[8] = {0, s_fHalfRoot2, 1, s_fHalfRoot2, 0, -s_fHalfRoot2, -1, -s_fHalfRoot2};
    for (size_t n = 0; n < vFrames.size(); n++) {
        double fWant = 10000.0 * s_fSine8[n % 8];
        double fGot = VXQ_F_SIMG711_UlawToLinear(vFrames[n]);
        EXPECT_NEAR(fGot, fWant, 10000.0 / 32.0) << n;
    }

    /* With a frequency that does not divide the frame (440 Hz), frames made
     * one by one equal one long run: the phase carries over. */
    _VXQ_S_SIMG711_TONE tA, tB;
    ASSERT_EQ(VXQ_F_SIMG711_ToneInit(&tA, 440, 8000, 20000), 1);
    ASSERT_EQ(VXQ_F_SIMG711_ToneInit(&tB, 440, 8000, 20000), 1);
    std::vector<uint8_t> vOne(1600), vMany(1600);
    VXQ_F_SIMG711_ToneFrame(&tA, vOne.data(), 1600);
    for (int i = 0; i < 10; i++)
        VXQ_F_SIMG711_ToneFrame(&tB, vMany.data() + i * 160, 160);
    EXPECT_EQ(vOne, vMany);
}

TEST(G711, ToneInitRefusesRatesItCannotProduceAndClampsTheAmplitude)
{
    struct {
        int32_t iHz, iRate;
        int iWant;
    } tCases[] = {{4000, 8000, 1}, {4001, 8000, 0}, {-1, 8000, 0}, {1000, 0, 0}, {0, 8000, 1}};
    _VXQ_S_SIMG711_TONE tTone;
    for (const auto &c : tCases)
        EXPECT_EQ(VXQ_F_SIMG711_ToneInit(&tTone, c.iHz, c.iRate, 10000), c.iWant) << c.iHz << "/" << c.iRate;
    EXPECT_EQ(VXQ_F_SIMG711_ToneInit(nullptr, 1000, 8000, 1), 0);
    ASSERT_EQ(VXQ_F_SIMG711_ToneInit(&tTone, 1000, 8000, 99999), 1);
    EXPECT_EQ(tTone.iAmplitude, 32767);
}
