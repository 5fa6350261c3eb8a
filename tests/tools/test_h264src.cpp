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

/* The shipped clip's SPS; slices below are first_mb_in_slice, slice_type 0, 0xABCD. */
const char *const s_sSps320x240 = "6742c00dd90141fb011000000300100000030320f142a480";

/* A stream of NAL units, each behind a start code of 3 or 4 bytes. */
Bytes Stream(const std::vector<std::pair<int, Bytes>> &in_vNals)
{
    Bytes t;
    for (const auto &tNal : in_vNals) {
        if (tNal.first == 4)
            t.push_back(0);
        t.insert(t.end(), {0, 0, 1});
        t.insert(t.end(), tNal.second.begin(), tNal.second.end());
    }
    return t;
}

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
    Bytes tSps = Hex(s_sSps320x240);
    Bytes tAud = {0x09, 0xF0};
    Bytes tPps = {0x68, 0xCE, 0x38, 0x80};
    Bytes tSei = {0x06, 0x05, 0x01, 0xAA, 0x80};
    Bytes tStream = Stream({
        {4, tAud},
        {4, tSps},
        {4, tPps},
        {3, Hex("65eaf360")},
        {3, Hex("65012fabcd80")}, /* AU 0: IDR, 2 slices */
        {4, Hex("41eaf360")},
        {3, Hex("410326af36")}, /* AU 1: P, 2 slices */
        {3, tSei},
        {4, Hex("41eaf360")}, /* AU 2: SEI + P */
        {4, Hex("41eaf360")}, /* AU 3: P */
        {4, tSps},
        {4, tPps},
        {4, Hex("25eaf360")}, /* AU 4: IDR (nal_ref_idc 1) */
        {4, tPps},            /* parameter set only: dropped */
    });
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
    /* The trailing parameter set belongs to no access unit. */
    EXPECT_EQ(dwEnd, tStream.size() - 4 - tPps.size());
    VXQ_F_SIMH264_FreeClip(&tClip);
    EXPECT_EQ(tClip.pData, nullptr);
    VXQ_F_SIMH264_FreeClip(&tClip);
}
