/*
 * test_h264src.cpp - the simulator's H.264 clip reader: picture size from
 * encoder-made parameter sets, cut units refused without a read past them,
 * and the split of a byte stream into access units.
 */
#include <gtest/gtest.h>

#include "h264src.h"

#include <stdio.h>
#include <string>
#include <vector>

namespace
{

typedef std::vector<uint8_t> Bytes;

/* Hex digits, spaces ignored. */
Bytes Hex(const char *in_sHex)
{
    Bytes t;
    for (const char *p = in_sHex; p[0] && p[1]; p += p[0] == ' ' ? 1 : 2) {
        unsigned v = 0;
        if (p[0] != ' ' && sscanf(p, "%2x", &v) == 1)
            t.push_back((uint8_t)v);
    }
    return t;
}

/* The shipped clip's SPS. */
const char *const s_sSps320x240 = "6742c00dd90141fb011000000300100000030320f142a480";

} // namespace

TEST(H264Src, SpsGivesCroppedSizeAndRefusesCutUnitsWithoutReadingPastThem)
{
    /* Units made by an encoder: baseline (the shipped clip), high 4:2:0 with
     * scaling matrices and cropping, high 4:2:2 interlaced, high 4:4:4. */
    const char *const sHigh = "6764000bacd942c47e5c0440000003004000000c83c50a6580";
    struct {
        const char *sHex;
        uint16_t usWidth, usHeight;
    } tCases[] = {
        {s_sSps320x240, 320, 240},
        {sHigh, 176, 120},
        {"677a0015bcd9434af2c6e022000003000200000300643e28532c", 200, 136},
        {"67f4000a919b288f6022000003000200000300641e244b2c", 64, 48},
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

TEST(H264Src, SplitterGroupsUnitsIntoAccessUnitsAtParameterSetsAndFirstSlices)
{
    /* Start codes of 4 and 3 bytes. AU 0: AUD, SPS, PPS, IDR of 2 slices; AU 1: P of
     * 2 slices; AU 2: SEI + P; AU 3: P; AU 4: SPS, PPS, IDR (nal_ref_idc 1); then a
     * lone PPS, which belongs to no access unit. Slices: first_mb_in_slice, type, 0xABCD. */
    const std::string sSps = s_sSps320x240;
    const Bytes tStream =
        Hex(("00000001 09f0 00000001 " + sSps +
             " 00000001 68ce3880 000001 65eaf360 000001 65012fabcd80"
             " 00000001 41eaf360 000001 410326af36 000001 060501aa80 00000001 41eaf360 00000001 41eaf360"
             " 00000001 " +
             sSps + " 00000001 68ce3880 00000001 25eaf360 00000001 68ce3880")
                .c_str());
    _VXQ_S_SIMH264_CLIP tClip;
    ASSERT_EQ(VXQ_F_SIMH264_SplitClip(tStream.data(), (uint32_t)tStream.size(), &tClip), 1);
    EXPECT_EQ(tClip.usWidth * 1000 + tClip.usHeight, 320 * 1000 + 240);
    EXPECT_EQ(tClip.dwIFrameNum, 2u);
    /* Per access unit: frame type and its first unit's type byte; each starts
     * where the one before ended, with a start code. */
    std::string sGot;
    uint32_t dwEnd = 0;
    for (uint32_t i = 0; i < tClip.dwAuNum; i++) {
        const _VXQ_S_SIMH264_AU &a = tClip.pAu[i];
        _VXQ_S_SIMH264_NAL n = {};
        uint32_t dwPos = 0;
        int bNal = VXQ_F_SIMH264_NextNal(tClip.pData + a.dwOffset, a.dwLen, &dwPos, &n);
        char sAu[32];
        snprintf(sAu, sizeof(sAu), "%d:%02x%s ", a.iFrameType, tClip.pData[a.dwOffset + n.dwPayload],
                 a.dwOffset == dwEnd && bNal && n.dwStart == 0 ? "" : "!");
        sGot += sAu;
        dwEnd += a.dwLen;
    }
    EXPECT_EQ(sGot, "1:09 2:41 2:06 2:41 1:67 ");
    EXPECT_EQ(dwEnd, tStream.size() - 8);
    VXQ_F_SIMH264_FreeClip(&tClip);
    EXPECT_EQ(tClip.pData, nullptr);
    VXQ_F_SIMH264_FreeClip(&tClip);
}
