#include <gtest/gtest.h>

#include "g711.h"

#include <vector>

TEST(G711, MuLawCodesAndValuesAreTheKnownOnesAndEveryCodeRoundTrips)
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
    const int16_t sValues[4][2] = {{0xFF, 0}, {0x7F, 0}, {0x80, 32124}, {0x00, -32124}};
    for (const auto &v : sValues)
        EXPECT_EQ(VXQ_F_SIMG711_UlawToLinear((uint8_t)v[0]), v[1]) << v[0];
    /* Negative zero (0x7F) decodes to 0, which is coded as positive zero. */
    for (int i = 0; i < 256; i++)
        EXPECT_EQ(VXQ_F_SIMG711_LinearToUlaw(VXQ_F_SIMG711_UlawToLinear((uint8_t)i)), i == 0x7F ? 0xFF : i)
            << i;
}

TEST(G711, ToneFramesAreA1kHzSineWithContinuousPhase)
{
    _VXQ_S_SIMG711_TONE tTone;
    ASSERT_EQ(VXQ_F_SIMG711_ToneInit(&tTone, 1000, 8000, 10000), 1);
    std::vector<uint8_t> vFrames(3 * 160, 0x55);
    for (int i = 0; i < 3; i++)
        VXQ_F_SIMG711_ToneFrame(&tTone, vFrames.data() + i * 160, 160);
    /* Every sample is 10000 * sin(2 pi n / 8) within the quantisation of its
     * segment, across frame borders too (the phases written out: big-endian
     * emulation cannot run the C library's sin()). */
    const double fR = 0.70710678118654752440, fSine8[8] = {0, fR, 1, fR, 0, -fR, -1, -fR};
    for (size_t n = 0; n < vFrames.size(); n++)
        EXPECT_NEAR(VXQ_F_SIMG711_UlawToLinear(vFrames[n]), 10000.0 * fSine8[n % 8], 10000.0 / 32.0) << n;
}
