#include <gtest/gtest.h>

#include "g711.h"

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
