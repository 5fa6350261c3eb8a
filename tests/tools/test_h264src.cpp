#include <gtest/gtest.h>

#include "h264src.h"
#include "support/temp_dir.h"

#include <stdio.h>
#include <string>
#include <vector>

namespace {

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

const std::string s_sClip = std::string(VXQ_SIM_MEDIA_DIR) + "/clip.h264";
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

TEST(H264Src, NextNalFindsThreeAndFourByteStartCodesAndTrimsTrailingZeros)
{
    /* garbage, 4-byte code, 2 bytes and a trailing zero, 4-byte code, 1 byte,
     * 3-byte code, 3 bytes */
    Bytes t = {0xAA, 0, 0, 0, 1, 0x67, 0x11, 0, 0, 0, 0, 1, 0x68, 0, 0, 1, 0x65, 0x22, 0x33};
    struct {
        uint32_t dwStart, dwPayload, dwEnd, dwNext;
        uint8_t ucType;
    } tWant[] = {{1, 5, 7, 8, 0}, {8, 12, 13, 13, 0}, {13, 16, 19, 19, 0}};
    tWant[0].ucType = 7;
    tWant[1].ucType = 8;
    tWant[2].ucType = 5;
    uint32_t dwPos = 0;
    for (const auto &w : tWant) {
        _VXQ_S_SIMH264_NAL tNal;
        ASSERT_EQ(VXQ_F_SIMH264_NextNal(t.data(), (uint32_t)t.size(), &dwPos, &tNal), 1);
        EXPECT_EQ(tNal.dwStart, w.dwStart);
        EXPECT_EQ(tNal.dwPayload, w.dwPayload);
        EXPECT_EQ(tNal.dwEnd, w.dwEnd);
        EXPECT_EQ(tNal.dwNext, w.dwNext);
        EXPECT_EQ(tNal.ucType, w.ucType);
        EXPECT_EQ(dwPos, w.dwNext);
    }
    _VXQ_S_SIMH264_NAL tNal;
    EXPECT_EQ(VXQ_F_SIMH264_NextNal(t.data(), (uint32_t)t.size(), &dwPos, &tNal), 0);

    /* No start code, a lone 00 00, an empty buffer. */
    const Bytes tNone[] = {{1, 2, 3, 4}, {0, 0}, {}};
    for (const Bytes &b : tNone) {
        dwPos = 0;
        EXPECT_EQ(VXQ_F_SIMH264_NextNal(b.data(), (uint32_t)b.size(), &dwPos, &tNal), 0);
    }
    /* A start code at the very end gives an empty unit of type 0. */
    Bytes tEnd = {0x55, 0, 0, 1};
    dwPos = 0;
    ASSERT_EQ(VXQ_F_SIMH264_NextNal(tEnd.data(), (uint32_t)tEnd.size(), &dwPos, &tNal), 1);
    EXPECT_EQ(tNal.dwPayload, 4u);
    EXPECT_EQ(tNal.dwEnd, 4u);
    EXPECT_EQ(tNal.ucType, 0);
}

TEST(H264Src, SpsGivesCroppedSizeForEncoderMadeUnits)
{
    /* Units made by an encoder: baseline (the shipped clip), high 4:2:0 with
     * scaling matrices and cropping, high 4:2:2 interlaced, high 4:4:4. */
    struct {
        const char *sHex;
        uint16_t usWidth, usHeight;
    } tCases[] = {
        {s_sSps320x240, 320, 240},
        {"6764000bacd942c47e5c0440000003004000000c83c50a6580", 176, 120},
        {"677a0015bcd9434af2c6e022000003000200000300643e28532c", 200, 136},
        {"67f4000a919b288f6022000003000200000300641e244b2c", 64, 48},
    };
    for (const auto &c : tCases) {
        Bytes t = Hex(c.sHex);
        uint16_t usW = 0, usH = 0;
        ASSERT_EQ(VXQ_F_SIMH264_ParseSps(t.data(), (uint32_t)t.size(), &usW, &usH), 1) << c.sHex;
        EXPECT_EQ(usW, c.usWidth) << c.sHex;
        EXPECT_EQ(usH, c.usHeight) << c.sHex;
    }
}

TEST(H264Src, SpsRefusesCutAndOtherUnitsWithoutReadingPastThem)
{
    /* The high 4:2:0 unit with scaling lists and cropping: every cut, each in a
     * buffer of exactly its size (the sanitizer build catches a read past it),
     * is refused or, when it still holds every field read, gives the same size. */
    Bytes tNal = Hex("6764000bacd942c47e5c0440000003004000000c83c50a6580");
    uint16_t usW = 0, usH = 0;
    for (size_t n = 0; n < tNal.size(); n++) {
        Bytes tCut(tNal.begin(), tNal.begin() + (long)n);
        usW = usH = 0;
        if (VXQ_F_SIMH264_ParseSps(tCut.data(), (uint32_t)tCut.size(), &usW, &usH)) {
            EXPECT_GE(n, 10u);
            EXPECT_EQ(usW, 176) << n;
            EXPECT_EQ(usH, 120) << n;
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
    EXPECT_EQ(tClip.usWidth, 320);
    EXPECT_EQ(tClip.usHeight, 240);
    ASSERT_EQ(tClip.dwAuNum, 5u);
    EXPECT_EQ(tClip.dwIFrameNum, 2u);
    const int32_t iTypes[5] = {1, 2, 2, 2, 1};
    const uint8_t ucFirstType[5] = {0x09, 0x41, 0x06, 0x41, 0x67};
    uint32_t dwExpectOffset = 0;
    for (uint32_t i = 0; i < tClip.dwAuNum; i++) {
        const _VXQ_S_SIMH264_AU &a = tClip.pAu[i];
        EXPECT_EQ(a.iFrameType, iTypes[i]) << i;
        EXPECT_EQ(a.dwOffset, dwExpectOffset) << i;
        dwExpectOffset += a.dwLen;
        /* Every access unit opens with a start code and its first unit. */
        _VXQ_S_SIMH264_NAL tNal;
        uint32_t dwPos = 0;
        ASSERT_EQ(VXQ_F_SIMH264_NextNal(tClip.pData + a.dwOffset, a.dwLen, &dwPos, &tNal), 1);
        EXPECT_EQ(tNal.dwStart, 0u) << i;
        EXPECT_EQ(tClip.pData[a.dwOffset + tNal.dwPayload], ucFirstType[i]) << i;
    }
    /* The trailing parameter set belongs to no access unit. */
    EXPECT_EQ(dwExpectOffset, tStream.size() - 4 - tPps.size());
    VXQ_F_SIMH264_FreeClip(&tClip);
    EXPECT_EQ(tClip.pData, nullptr);
    EXPECT_EQ(tClip.dwAuNum, 0u);
    VXQ_F_SIMH264_FreeClip(&tClip);
    VXQ_F_SIMH264_FreeClip(nullptr);
}

TEST(H264Src, ShippedClipIs100AccessUnitsOf320x240WithAnIdrEvery25)
{
    std::string sFile = ReadFile(s_sClip);
    Bytes tFile(sFile.begin(), sFile.end());
    ASSERT_FALSE(tFile.empty());
    _VXQ_S_SIMH264_CLIP tClip;
    ASSERT_EQ(VXQ_F_SIMH264_LoadClip(s_sClip.c_str(), &tClip), 1);
    EXPECT_EQ(tClip.usWidth, 320);
    EXPECT_EQ(tClip.usHeight, 240);
    ASSERT_EQ(tClip.dwAuNum, 100u);
    EXPECT_EQ(tClip.dwIFrameNum, 4u);
    uint64_t qwTotal = 0;
    for (uint32_t i = 0; i < tClip.dwAuNum; i++) {
        EXPECT_EQ(tClip.pAu[i].iFrameType, i % 25 == 0 ? 1 : 2) << i;
        EXPECT_EQ(tClip.pAu[i].dwOffset, qwTotal) << i;
        qwTotal += tClip.pAu[i].dwLen;
    }
    /* The access units laid end to end are the file, byte for byte. */
    ASSERT_EQ(qwTotal, tFile.size());
    EXPECT_EQ(Bytes(tClip.pData, tClip.pData + tClip.dwDataLen), tFile);
    EXPECT_LT(tFile.size(), 200u * 1024u);
    VXQ_F_SIMH264_FreeClip(&tClip);
}

TEST(H264Src, LoadClipRefusesMissingEmptyAndGarbageFiles)
{
    TempDir tDir;
    ASSERT_TRUE(WriteFile(tDir.File("empty.h264"), ""));
    ASSERT_TRUE(WriteFile(tDir.File("junk.h264"), "this is not a video stream"));
    for (const char *sName : {"missing.h264", "empty.h264", "junk.h264"}) {
        _VXQ_S_SIMH264_CLIP tClip;
        EXPECT_EQ(VXQ_F_SIMH264_LoadClip(tDir.File(sName).c_str(), &tClip), 0) << sName;
        EXPECT_EQ(tClip.pData, nullptr);
    }
    _VXQ_S_SIMH264_CLIP tClip;
    EXPECT_EQ(VXQ_F_SIMH264_LoadClip(nullptr, &tClip), 0);
}

TEST(H264Src, ClipSourceLoopsAccessUnitsInOrderAtTheFrameRate)
{
    _VXQ_S_SIMH264_CLIP tClip;
    ASSERT_EQ(VXQ_F_SIMH264_LoadClip(s_sClip.c_str(), &tClip), 1);
    _VXQ_S_SIMH264_SOURCE tSrc;
    ASSERT_EQ(VXQ_F_SIMH264_SourceInit(&tSrc, &tClip, 25, 0, 0), 1);
    _VXQ_S_SIMH264_FRAME tFrame;
    uint32_t dwTick = 0xFFFFF000u; /* the schedule crosses the tick's wrap */
    for (uint32_t i = 0; i < 230; i++) {
        uint32_t dwDue = 0xFFFFF000u + i * 40u;
        if (i > 0) {
            /* One millisecond early it is not due, and says how long to wait. */
            EXPECT_EQ(VXQ_F_SIMH264_SourceWaitMs(&tSrc, dwDue - 1), 1u) << i;
            EXPECT_EQ(VXQ_F_SIMH264_SourceNext(&tSrc, dwDue - 1, &tFrame), 0) << i;
        }
        dwTick = dwDue;
        ASSERT_EQ(VXQ_F_SIMH264_SourceNext(&tSrc, dwTick, &tFrame), 1) << i;
        const _VXQ_S_SIMH264_AU &a = tClip.pAu[i % 100];
        EXPECT_EQ(tFrame.pData, tClip.pData + a.dwOffset) << i;
        EXPECT_EQ(tFrame.dwLen, a.dwLen) << i;
        EXPECT_EQ(tFrame.iFrameType, a.iFrameType) << i;
        EXPECT_EQ(tFrame.dwSeq, i);
        EXPECT_EQ(tFrame.dwTimeStamp, i * 40u);
        EXPECT_EQ(VXQ_F_SIMH264_SourceWaitMs(&tSrc, dwTick), 40u) << i;
    }
    /* A feeder that stalls for 5 s gets one frame, not a burst of 125. */
    dwTick += 5000;
    EXPECT_EQ(VXQ_F_SIMH264_SourceNext(&tSrc, dwTick, &tFrame), 1);
    EXPECT_EQ(VXQ_F_SIMH264_SourceNext(&tSrc, dwTick, &tFrame), 0);
    EXPECT_EQ(VXQ_F_SIMH264_SourceWaitMs(&tSrc, dwTick), 40u);
    /* Rewinding starts the next frame at the clip's first I-frame. */
    VXQ_F_SIMH264_SourceRewind(&tSrc);
    dwTick += 40;
    ASSERT_EQ(VXQ_F_SIMH264_SourceNext(&tSrc, dwTick, &tFrame), 1);
    EXPECT_EQ(tFrame.pData, tClip.pData);
    EXPECT_EQ(tFrame.iFrameType, VXQ_SIM_FRAME_TYPE_I);
    VXQ_F_SIMH264_SourceFree(&tSrc);
    VXQ_F_SIMH264_FreeClip(&tClip);
}

TEST(H264Src, SyntheticSourceMakesIFramesEveryGopAtTheBitRate)
{
    struct {
        int32_t iFps, iGop, iKbps;
    } tCases[] = {{25, 25, 512}, {10, 30, 128}, {30, 1, 2000}, {1, 1, 8}};
    for (const auto &c : tCases) {
        _VXQ_S_SIMH264_SOURCE tSrc;
        ASSERT_EQ(VXQ_F_SIMH264_SourceInit(&tSrc, nullptr, c.iFps, c.iGop, c.iKbps), 1);
        uint64_t qwBytes = 0;
        int32_t iFrames = c.iGop * 8;
        _VXQ_S_SIMH264_FRAME tFrame;
        for (int32_t i = 0; i < iFrames; i++) {
            ASSERT_EQ(VXQ_F_SIMH264_SourceNext(&tSrc, 5000u + (uint32_t)(i * 1000 / c.iFps), &tFrame), 1);
            bool bI = i % c.iGop == 0;
            EXPECT_EQ(tFrame.iFrameType, bI ? 1 : 2) << i;
            ASSERT_GE(tFrame.dwLen, 5u);
            const uint8_t ucHead[5] = {0, 0, 0, 1, (uint8_t)(bI ? 0x65 : 0x41)};
            EXPECT_EQ(Bytes(tFrame.pData, tFrame.pData + 5), Bytes(ucHead, ucHead + 5)) << i;
            /* The filler never forms another start code. */
            for (uint32_t k = 5; k < tFrame.dwLen; k++)
                ASSERT_NE(tFrame.pData[k], 0) << i;
            qwBytes += tFrame.dwLen;
        }
        /* Within 15% of the bit rate over whole GOPs (tiny rates hit the floor). */
        double fKbps = (double)qwBytes * 8.0 / 1000.0 / ((double)iFrames / c.iFps);
        if (c.iKbps >= 64) {
            EXPECT_NEAR(fKbps, c.iKbps, c.iKbps * 0.15) << c.iFps << "/" << c.iGop;
        }
        VXQ_F_SIMH264_SourceFree(&tSrc);
        EXPECT_EQ(tSrc.pSynBuf, nullptr);
    }
    VXQ_F_SIMH264_SourceFree(nullptr);
}
