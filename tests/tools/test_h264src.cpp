#include <gtest/gtest.h>

#include "h264src.h"

#include <stdio.h>
#include <string>
#include <vector>

namespace {

typedef std::vector<uint8_t> Bytes;

/* Writes bits most significant first, with the Exp-Golomb codes, and escapes
 * the result the way an encoder does (03 after every 00 00 before 00..03). */
struct BitWriter {
    std::vector<int> vBits;
    void Bits(uint32_t in_dwValue, int in_iCount)
    {
        for (int i = in_iCount - 1; i >= 0; i--)
            vBits.push_back((in_dwValue >> i) & 1);
    }
    void Ue(uint32_t in_dwValue)
    {
        uint64_t qwCode = (uint64_t)in_dwValue + 1;
        int iLen = 0;
        while ((qwCode >> iLen) > 1)
            iLen++;
        Bits(0, iLen);
        Bits((uint32_t)qwCode, iLen + 1);
    }
    void Se(int32_t in_iValue)
    {
        Ue(in_iValue > 0 ? (uint32_t)(2 * in_iValue - 1) : (uint32_t)(-2 * in_iValue));
    }
    /* rbsp_trailing_bits, then the escaped NAL unit with its header byte. */
    Bytes Nal(uint8_t in_ucHeader)
    {
        vBits.push_back(1);
        while (vBits.size() % 8)
            vBits.push_back(0);
        Bytes tRbsp;
        for (size_t i = 0; i < vBits.size(); i += 8) {
            uint8_t ucByte = 0;
            for (int k = 0; k < 8; k++)
                ucByte = (uint8_t)(ucByte << 1 | vBits[i + k]);
            tRbsp.push_back(ucByte);
        }
        Bytes tNal{in_ucHeader};
        int iZeros = 0;
        for (uint8_t ucByte : tRbsp) {
            if (iZeros >= 2 && ucByte <= 3) {
                tNal.push_back(3);
                iZeros = 0;
            }
            tNal.push_back(ucByte);
            iZeros = ucByte == 0 ? iZeros + 1 : 0;
        }
        return tNal;
    }
};

struct SpsFields {
    uint32_t dwProfile = 66;
    uint32_t dwChromaFormat = 1; /* written only for the high profiles */
    bool bScaling = false;
    uint32_t dwWidthMbs = 20;
    uint32_t dwHeightMapUnits = 15;
    bool bCrop = false;
    uint32_t dwCrop[4] = {0, 0, 0, 0};
};

Bytes BuildSps(const SpsFields &in_t)
{
    BitWriter w;
    w.Bits(in_t.dwProfile, 8);
    w.Bits(0, 8);  /* constraint flags */
    w.Bits(30, 8); /* level */
    w.Ue(0);       /* sps id */
    if (in_t.dwProfile == 100 || in_t.dwProfile == 122 || in_t.dwProfile == 244) {
        w.Ue(in_t.dwChromaFormat);
        if (in_t.dwChromaFormat == 3)
            w.Bits(0, 1);
        w.Ue(0);
        w.Ue(0);
        w.Bits(0, 1);
        w.Bits(in_t.bScaling ? 1 : 0, 1);
        if (in_t.bScaling) {
            int iLists = in_t.dwChromaFormat != 3 ? 8 : 12;
            for (int i = 0; i < iLists; i++) {
                w.Bits(1, 1); /* every list present, with explicit deltas */
                int iSize = i < 6 ? 16 : 64;
                for (int j = 0; j < iSize; j++)
                    w.Se(j % 3 == 0 ? 5 : -2);
            }
        }
    }
    w.Ue(0); /* log2_max_frame_num_minus4 */
    w.Ue(0);      /* pic_order_cnt_type */
    w.Ue(2);      /* log2_max_pic_order_cnt_lsb_minus4 */
    w.Ue(1);      /* max_num_ref_frames */
    w.Bits(0, 1); /* gaps */
    w.Ue(in_t.dwWidthMbs - 1);
    w.Ue(in_t.dwHeightMapUnits - 1);
    w.Bits(1, 1); /* frame_mbs_only */
    w.Bits(1, 1); /* direct_8x8_inference */
    w.Bits(in_t.bCrop ? 1 : 0, 1);
    if (in_t.bCrop)
        for (uint32_t v : in_t.dwCrop)
            w.Ue(v);
    w.Bits(0, 1); /* no VUI */
    return w.Nal(0x67);
}

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

Bytes ReadAll(const std::string &in_sPath)
{
    Bytes t;
    FILE *pFile = fopen(in_sPath.c_str(), "rb");
    if (pFile == nullptr)
        return t;
    uint8_t ucBuf[4096];
    size_t n;
    while ((n = fread(ucBuf, 1, sizeof(ucBuf), pFile)) > 0)
        t.insert(t.end(), ucBuf, ucBuf + n);
    fclose(pFile);
    return t;
}

const std::string s_sClip = std::string(VXQ_SIM_MEDIA_DIR) + "/clip.h264";

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

/* A slice NAL unit with the given first_mb_in_slice and some payload. */
Bytes Slice(uint8_t in_ucHeader, uint32_t in_dwFirstMb)
{
    BitWriter w;
    w.Ue(in_dwFirstMb);
    w.Ue(0); /* slice_type */
    w.Bits(0xABCD, 16);
    return w.Nal(in_ucHeader);
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

TEST(H264Src, UnescapeDropsOnlyTheThreeAfterTwoZeros)
{
    struct {
        Bytes tIn, tOut;
    } tCases[] = {
        {{0x67, 0, 0, 3, 1}, {0x67, 0, 0, 1}},
        {{0, 0, 3, 0, 0, 3}, {0, 0, 0, 0}},
        {{0, 3, 0, 0, 4}, {0, 3, 0, 0, 4}},
        {{0, 0, 3, 3}, {0, 0, 3}},
        {{0, 0, 0, 3}, {0, 0, 0}},
        {{}, {}},
    };
    for (const auto &c : tCases) {
        uint8_t ucOut[16];
        uint32_t n = VXQ_F_SIMH264_Unescape(c.tIn.data(), (uint32_t)c.tIn.size(), ucOut, sizeof(ucOut));
        EXPECT_EQ(Bytes(ucOut, ucOut + n), c.tOut);
    }
    /* The output size bounds what is written. */
    uint8_t ucSmall[2] = {0xEE, 0xEE};
    Bytes tIn = {1, 2, 3, 4};
    EXPECT_EQ(VXQ_F_SIMH264_Unescape(tIn.data(), 4, ucSmall, 2), 2u);
}

TEST(H264Src, SpsGivesCroppedSizeForEncoderMadeUnits)
{
    /* Units made by an encoder: baseline (the shipped clip), high 4:2:0 with
     * scaling matrices and cropping, high 4:2:2 interlaced, high 4:4:4. */
    struct {
        const char *sHex;
        uint16_t usWidth, usHeight;
    } tCases[] = {
        {"6742c00dd90141fb011000000300100000030320f142a480", 320, 240},
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

TEST(H264Src, SpsRefusesShortAndImpossibleUnitsWithoutReadingPastThem)
{
    SpsFields tFields;
    tFields.dwProfile = 100;
    tFields.bScaling = true;
    tFields.bCrop = true;
    tFields.dwCrop[3] = 4;
    Bytes tNal = BuildSps(tFields);
    uint16_t usW = 0, usH = 0;
    ASSERT_EQ(VXQ_F_SIMH264_ParseSps(tNal.data(), (uint32_t)tNal.size(), &usW, &usH), 1);
    /* Every cut of the unit, each in a buffer of exactly its size (the
     * sanitizer build catches a read past it). The cropping fields, the VUI
     * flag and the stop bit are the last 10 bits: a cut of two bytes or more
     * loses a field and is refused; a cut of the last byte may keep them all,
     * and then the size must still be right. */
    for (size_t n = 0; n < tNal.size(); n++) {
        Bytes tCut(tNal.begin(), tNal.begin() + (long)n);
        usW = usH = 0;
        int iRet = VXQ_F_SIMH264_ParseSps(tCut.data(), (uint32_t)tCut.size(), &usW, &usH);
        if (n + 2 <= tNal.size()) {
            EXPECT_EQ(iRet, 0) << n;
        } else if (iRet) {
            EXPECT_EQ(usW, 320);
            EXPECT_EQ(usH, 232);
        }
    }
    /* Not an SPS; chroma format 4; crop as large as the picture; too wide. */
    Bytes tPps = tNal;
    tPps[0] = 0x68;
    EXPECT_EQ(VXQ_F_SIMH264_ParseSps(tPps.data(), (uint32_t)tPps.size(), &usW, &usH), 0);
    SpsFields tBad[3];
    tBad[0].dwProfile = 100;
    tBad[0].dwChromaFormat = 4;
    tBad[1].bCrop = true;
    tBad[1].dwCrop[0] = 80; /* 160 + 160 columns of 320 */
    tBad[1].dwCrop[1] = 80;
    tBad[2].dwWidthMbs = 256;
    for (const SpsFields &t : tBad) {
        Bytes b = BuildSps(t);
        EXPECT_EQ(VXQ_F_SIMH264_ParseSps(b.data(), (uint32_t)b.size(), &usW, &usH), 0);
    }
}

TEST(H264Src, SplitterGroupsUnitsIntoAccessUnitsAtParameterSetsAndFirstSlices)
{
    SpsFields tFields;
    Bytes tSps = BuildSps(tFields);
    Bytes tAud = {0x09, 0xF0};
    Bytes tPps = {0x68, 0xCE, 0x38, 0x80};
    Bytes tSei = {0x06, 0x05, 0x01, 0xAA, 0x80};
    Bytes tStream = Stream({
        {4, tAud}, {4, tSps}, {4, tPps}, {3, Slice(0x65, 0)}, {3, Slice(0x65, 150)}, /* AU 0: IDR, 2 slices */
        {4, Slice(0x41, 0)}, {3, Slice(0x41, 99)},                                /* AU 1: P, 2 slices */
        {3, tSei}, {4, Slice(0x41, 0)},                                            /* AU 2: SEI + P */
        {4, Slice(0x41, 0)},                                                       /* AU 3: P */
        {4, tSps}, {4, tPps}, {4, Slice(0x25, 0)},                                 /* AU 4: IDR (nal_ref_idc 1) */
        {4, tPps},                                                                 /* parameter set only: dropped */
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

TEST(H264Src, SplitterRefusesStreamsWithoutPicturesOrSize)
{
    SpsFields tFields;
    Bytes tSps = BuildSps(tFields);
    const Bytes tCases[] = {
        {},                                     /* empty */
        {1, 2, 3, 4, 5},                        /* no start code */
        Stream({{4, tSps}, {4, {0x68, 0xCE}}}), /* parameter sets, no slice */
        Stream({{4, Slice(0x65, 0)}}),          /* slice, no SPS */
    };
    for (const Bytes &t : tCases) {
        _VXQ_S_SIMH264_CLIP tClip;
        EXPECT_EQ(VXQ_F_SIMH264_SplitClip(t.data(), (uint32_t)t.size(), &tClip), 0);
        EXPECT_EQ(tClip.pData, nullptr);
        EXPECT_EQ(tClip.pAu, nullptr);
    }
}

TEST(H264Src, ShippedClipIs100AccessUnitsOf320x240WithAnIdrEvery25)
{
    Bytes tFile = ReadAll(s_sClip);
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
    std::string sDir = ::testing::TempDir();
    std::string sEmpty = sDir + "/vxq_sim_empty.h264";
    std::string sJunk = sDir + "/vxq_sim_junk.h264";
    FILE *pFile = fopen(sEmpty.c_str(), "wb");
    ASSERT_NE(pFile, nullptr);
    fclose(pFile);
    pFile = fopen(sJunk.c_str(), "wb");
    ASSERT_NE(pFile, nullptr);
    fputs("this is not a video stream", pFile);
    fclose(pFile);
    const std::string sCases[] = {sDir + "/vxq_sim_missing.h264", sEmpty, sJunk};
    for (const std::string &s : sCases) {
        _VXQ_S_SIMH264_CLIP tClip;
        EXPECT_EQ(VXQ_F_SIMH264_LoadClip(s.c_str(), &tClip), 0) << s;
        EXPECT_EQ(tClip.pData, nullptr);
    }
    _VXQ_S_SIMH264_CLIP tClip;
    EXPECT_EQ(VXQ_F_SIMH264_LoadClip(nullptr, &tClip), 0);
    remove(sEmpty.c_str());
    remove(sJunk.c_str());
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
