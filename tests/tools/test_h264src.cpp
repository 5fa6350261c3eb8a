/*
 * test_h264src.cpp - the simulator's H.264 clip reader: picture size from
 * encoder-made parameter sets, cut units refused without a read past them.
 * (The split of the shipped clip into access units runs in the simulator
 * fuzz replay and in the client's live test, which walks them byte for byte.)
 */
#include <gtest/gtest.h>

#include "h264src.h"

#include <stdio.h>
#include <string>
#include <vector>

namespace
{

typedef std::vector<uint8_t> Bytes;

Bytes Hex(const char *in_sHex)
{
    Bytes t;
    for (const char *p = in_sHex; p[0] && p[1]; p += 2) {
        unsigned v = 0;
        sscanf(p, "%2x", &v);
        t.push_back((uint8_t)v);
    }
    return t;
}

} // namespace

TEST(H264Src, SpsGivesCroppedSizeAndRefusesCutUnitsWithoutReadingPastThem)
{
    /* Units made by an encoder: high 4:2:0 with scaling matrices and
     * cropping, high 4:2:2 interlaced (field pairs double the height). */
    const char *const sHigh = "6764000bacd942c47e5c0440000003004000000c83c50a6580";
    struct {
        const char *sHex;
        uint16_t usWidth, usHeight;
    } tCases[] = {
        {sHigh, 176, 120},
        {"677a0015bcd9434af2c6e022000003000200000300643e28532c", 200, 136},
    };
    uint16_t usW = 0, usH = 0;
    for (const auto &c : tCases) {
        Bytes t = Hex(c.sHex);
        ASSERT_EQ(VXQ_F_SIMH264_ParseSps(t.data(), (uint32_t)t.size(), &usW, &usH), 1) << c.sHex;
        EXPECT_EQ(usW, c.usWidth) << c.sHex;
        EXPECT_EQ(usH, c.usHeight) << c.sHex;
    }
    /* Every cut of the high unit, each in a buffer of exactly its size (the
     * sanitizer build catches a read past it), is refused or, when it still
     * holds every field read, gives the same size. */
    Bytes tNal = Hex(sHigh);
    for (size_t n = 0; n < tNal.size(); n++) {
        Bytes tCut(tNal.begin(), tNal.begin() + (long)n);
        usW = usH = 0;
        if (VXQ_F_SIMH264_ParseSps(tCut.data(), (uint32_t)tCut.size(), &usW, &usH)) {
            EXPECT_GE(n, 10u);
            EXPECT_EQ(usW * 1000 + usH, 176 * 1000 + 120) << n;
        }
    }
    tNal[0] = 0x68; /* a PPS */
    EXPECT_EQ(VXQ_F_SIMH264_ParseSps(tNal.data(), (uint32_t)tNal.size(), &usW, &usH), 0);
}
