#include <gtest/gtest.h>

#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "wire/cfgblock.h"
#include "wire/head.h"

namespace
{

struct ExpectedLayout {
    uint32_t dwSize;
    std::vector<uint32_t> dwU32;
    std::vector<uint32_t> dwU16;
};

std::vector<uint32_t> Every4(uint32_t in_dwFrom, uint32_t in_dwTo)
{
    std::vector<uint32_t> dwOut;
    for (uint32_t o = in_dwFrom; o <= in_dwTo; o += 4)
        dwOut.push_back(o);
    return dwOut;
}

/* 42 entries of in_dwEntry bytes from in_dwAt, fields at the given entry offsets. */
std::vector<uint32_t> Table7x6(uint32_t in_dwAt, uint32_t in_dwEntry, std::vector<uint32_t> in_dwFields)
{
    std::vector<uint32_t> dwOut;
    for (uint32_t g = 0; g < 7; g++)
        for (uint32_t e = 0; e < 6; e++)
            for (uint32_t f : in_dwFields)
                dwOut.push_back(in_dwAt + (g * 6 + e) * in_dwEntry + f);
    return dwOut;
}

std::vector<uint32_t> Join(std::vector<uint32_t> a, const std::vector<uint32_t> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

/* The layouts as the protocol defines them, written out independently of the
 * module's run table. */
std::map<int, ExpectedLayout> Layouts()
{
    std::map<int, ExpectedLayout> tMap;
    tMap[2] = {68, {64}, {}};
    tMap[3] = {228, {64, 132, 136, 140, 144, 212, 216, 220, 224}, {}};
    tMap[5] = {268, Every4(0, 264), {}};
    tMap[6] = {696, Join(Every4(0, 188), Table7x6(192, 12, {0})), {}};
    tMap[7] = {564, Join(Every4(0, 56), Table7x6(60, 12, {0})), {}};
    tMap[8] = {564, Join({0, 4, 12, 16, 20, 24, 28, 36, 40, 44, 48, 52, 56}, Table7x6(60, 12, {0})), {}};
    tMap[9] = {540, Join(Every4(0, 32), Table7x6(36, 12, {0})), {}};
    tMap[20] = {12, {8}, {0, 2}};
    tMap[21] = {172, Every4(144, 168), {}};
    tMap[22] = {4, {0}, {}};
    tMap[40] = {8, {0, 4}, {}};
    tMap[41] = {28, Every4(0, 24), {}};
    tMap[50] = {876, Join(Every4(0, 32), Table7x6(36, 20, {0, 4, 8})), {}};
    tMap[51] = {32, Every4(0, 28), {}};
    tMap[60] = {196, Every4(0, 192), {}};
    tMap[61] = {4, {0}, {}};
    return tMap;
}

std::vector<uint8_t> Pattern(size_t in_nLen)
{
    std::vector<uint8_t> ucOut(in_nLen);
    for (size_t i = 0; i < in_nLen; i++)
        ucOut[i] = (uint8_t)(i * 7 + 1);
    return ucOut;
}

void ReverseAt(std::vector<uint8_t> &inout_ucBuf, uint32_t in_dwOffset, int in_iWidth)
{
    for (int i = 0; i < in_iWidth / 2; i++)
        std::swap(inout_ucBuf[in_dwOffset + i], inout_ucBuf[in_dwOffset + in_iWidth - 1 - i]);
}

} // namespace

TEST(CfgBlock, EveryKnownLayoutReversesExactlyItsFieldsInBothDirections)
{
    for (const auto &tPair : Layouts()) {
        const ExpectedLayout &tWant = tPair.second;
        const _VXQ_S_DPS_CFG_LAYOUT *ptLayout = VXQ_F_DPS_MW_FindConfigLayout(tPair.first);
        ASSERT_NE(ptLayout, nullptr) << tPair.first;
        EXPECT_EQ(ptLayout->dwMinSize, tWant.dwSize) << tPair.first;
        for (int iDir : {VXQ_DPS_CFG_FROM_WIRE, VXQ_DPS_CFG_TO_WIRE}) {
            /* 16 bytes more than the layout: they must stay as they are. */
            std::vector<uint8_t> ucBlock = Pattern(tWant.dwSize + 16);
            std::vector<uint8_t> ucExpect = ucBlock;
            for (uint32_t o : tWant.dwU32)
                ReverseAt(ucExpect, o, 4);
            for (uint32_t o : tWant.dwU16)
                ReverseAt(ucExpect, o, 2);
            EXPECT_EQ(
                VXQ_F_DPS_MW_PR_SwapConfigParam(iDir, tPair.first, ucBlock.data(), (int32_t)ucBlock.size()),
                1)
                << tPair.first;
            EXPECT_EQ(ucBlock, ucExpect) << "id " << tPair.first << " direction " << iDir;
        }
    }
}

TEST(CfgBlock, Id1AcceptsAnyBlockAndChangesNothing)
{
    for (int32_t iLen : {0, 1, 3, 1000}) {
        std::vector<uint8_t> ucBlock = Pattern((size_t)iLen + 1);
        std::vector<uint8_t> ucBefore = ucBlock;
        EXPECT_EQ(VXQ_F_DPS_MW_PR_SwapConfigParam(1, 1, ucBlock.data(), iLen), 1);
        EXPECT_EQ(VXQ_F_DPS_MW_PR_SwapConfigParam(0, 1, ucBlock.data(), iLen), 1);
        EXPECT_EQ(ucBlock, ucBefore);
    }
}

TEST(CfgBlock, CountedBlockConvertsOnlyTowardsTheWireAndOnlyItsEntries)
{
    /* Two entries of 104 bytes after the count, and 8 bytes of slack. */
    std::vector<uint8_t> ucBlock = Pattern(4 + 2 * 104 + 8);
    uint32_t dwCount = 2;
    memcpy(ucBlock.data(), &dwCount, 4); /* host order, as the host wrote it */
    std::vector<uint8_t> ucBefore = ucBlock;

    EXPECT_EQ(VXQ_F_DPS_MW_PR_SwapConfigParam(1, 4, ucBlock.data(), (int32_t)ucBlock.size()), 1);
    EXPECT_EQ(ucBlock, ucBefore);

    std::vector<uint8_t> ucExpect = ucBefore;
    ReverseAt(ucExpect, 0, 4);
    for (uint32_t o : {4u + 96, 4u + 100, 108u + 96, 108u + 100})
        ReverseAt(ucExpect, o, 4);
    EXPECT_EQ(VXQ_F_DPS_MW_PR_SwapConfigParam(0, 4, ucBlock.data(), (int32_t)ucBlock.size()), 1);
    EXPECT_EQ(ucBlock, ucExpect);

    /* A count of zero reverses the count alone. */
    std::vector<uint8_t> ucEmpty = {0, 0, 0, 0, 9};
    EXPECT_EQ(VXQ_F_DPS_MW_PR_SwapConfigParam(0, 4, ucEmpty.data(), 5), 1);
    EXPECT_EQ(ucEmpty, (std::vector<uint8_t>{0, 0, 0, 0, 9}));
}

TEST(CfgBlock, BlockShorterThanItsLayoutIsRefusedWhole)
{
    /* Each buffer is exactly the given length, so a write past it is caught
     * by the address sanitizer as well as by the comparison. */
    for (const auto &tPair : Layouts()) {
        uint32_t dwShort = tPair.second.dwSize - 1;
        std::vector<uint8_t> ucBlock = Pattern(dwShort);
        std::vector<uint8_t> ucBefore = ucBlock;
        EXPECT_EQ(VXQ_F_DPS_MW_PR_SwapConfigParam(0, tPair.first, ucBlock.data(), (int32_t)dwShort), 0)
            << tPair.first;
        EXPECT_EQ(ucBlock, ucBefore) << tPair.first;
    }
    std::vector<uint8_t> ucFour = {1, 2, 3, 4};
    EXPECT_EQ(VXQ_F_DPS_MW_PR_SwapConfigParam(0, 22, ucFour.data(), -1), 0);
    EXPECT_EQ(VXQ_F_DPS_MW_PR_SwapConfigParam(0, 22, NULL, 4), 0);

    /* A counted block whose count does not fit: 2 entries announced, 1 present;
     * and a count so large that count x 104 would wrap 32 bits. */
    for (uint32_t dwCount : {2u, 0x02762763u, 0xFFFFFFFFu}) {
        std::vector<uint8_t> ucBlock = Pattern(4 + 104);
        memcpy(ucBlock.data(), &dwCount, 4);
        std::vector<uint8_t> ucBefore = ucBlock;
        EXPECT_EQ(VXQ_F_DPS_MW_PR_SwapConfigParam(0, 4, ucBlock.data(), (int32_t)ucBlock.size()), 0)
            << dwCount;
        EXPECT_EQ(ucBlock, ucBefore);
    }
    /* Too short for even the count towards the wire; from the wire it is not read. */
    std::vector<uint8_t> ucThree = {1, 2, 3};
    EXPECT_EQ(VXQ_F_DPS_MW_PR_SwapConfigParam(0, 4, ucThree.data(), 3), 0);
    EXPECT_EQ(VXQ_F_DPS_MW_PR_SwapConfigParam(1, 4, ucThree.data(), 3), 1);
}

TEST(CfgBlock, UnknownIdIsRefusedAndNothingChanges)
{
    for (int32_t iId : {0, 10, 19, 23, 39, 42, 49, 52, 59, 62, 1000, -1}) {
        std::vector<uint8_t> ucBlock = Pattern(1024);
        std::vector<uint8_t> ucBefore = ucBlock;
        EXPECT_EQ(VXQ_F_DPS_MW_FindConfigLayout(iId), nullptr);
        EXPECT_EQ(VXQ_F_DPS_MW_PR_SwapConfigParam(1, iId, ucBlock.data(), 1024), 0) << iId;
        EXPECT_EQ(VXQ_F_DPS_MW_TransConfigParamLittleMode(1, iId, ucBlock.data(), 1024), 0) << iId;
        EXPECT_EQ(ucBlock, ucBefore);
    }
}

TEST(CfgBlock, OnThisLittleEndianHostThePublicConverterOnlyChecks)
{
    if (VXQ_F_DPS_MW_IsBigEndianHost())
        GTEST_SKIP() << "big-endian host converts";
    std::vector<uint8_t> ucBlock = Pattern(696);
    std::vector<uint8_t> ucBefore = ucBlock;
    EXPECT_EQ(VXQ_F_DPS_MW_TransConfigParamLittleMode(1, 6, ucBlock.data(), 696), 1);
    EXPECT_EQ(VXQ_F_DPS_MW_TransConfigParamLittleMode(0, 6, ucBlock.data(), 696), 1);
    EXPECT_EQ(ucBlock, ucBefore);
    EXPECT_EQ(VXQ_F_DPS_MW_TransConfigParamLittleMode(0, 6, ucBlock.data(), 695), 0);
}

TEST(CfgBlock, PacketBodyHandsTheConfigBlockAtItsOffsetAndRefusesUnknownIds)
{
    struct {
        uint16_t usFuncId;
        uint32_t dwBlockAt; /* 0: no block is converted */
    } tCases[] = {
        {P9_GET_CONFIG, 32},    {P9_SET_CONFIG, 32}, {P9_GET_DEF_CONFIG, 36},
        {P9_IEC_IMP_CONFIG, 0}, {P2_PTZ, 0},
    };
    for (const auto &tCase : tCases) {
        std::vector<uint8_t> ucMsg = Pattern(48);
        VXQ_F_DPS_MW_HeadBuildFresh(ucMsg.data(), 48, tCase.usFuncId, 0, 0);
        VXQ_F_DPS_MW_PutLe32(ucMsg.data() + 24, 40); /* block id 40: u32 at 0 and 4 */
        std::vector<uint8_t> ucExpect = ucMsg;
        if (tCase.dwBlockAt) {
            ReverseAt(ucExpect, tCase.dwBlockAt, 4);
            ReverseAt(ucExpect, tCase.dwBlockAt + 4, 4);
        }
        EXPECT_EQ(VXQ_F_DPS_MW_PR_TransPacketBody(1, ucMsg.data(), 48), 1);
        EXPECT_EQ(ucMsg, ucExpect) << std::hex << tCase.usFuncId;

        /* With an unknown block id the message is refused. */
        if (tCase.dwBlockAt) {
            VXQ_F_DPS_MW_PutLe32(ucMsg.data() + 24, 10);
            std::vector<uint8_t> ucBefore = ucMsg;
            EXPECT_EQ(VXQ_F_DPS_MW_PR_TransPacketBody(0, ucMsg.data(), 48), 0);
            EXPECT_EQ(ucMsg, ucBefore);
        }
    }
    /* A get-config request of 32 bytes carries no block: nothing to refuse,
     * even with an unknown block id. */
    std::vector<uint8_t> ucShort = Pattern(32);
    VXQ_F_DPS_MW_HeadBuildFresh(ucShort.data(), 32, P9_GET_CONFIG, 0, 0);
    VXQ_F_DPS_MW_PutLe32(ucShort.data() + 24, 10);
    std::vector<uint8_t> ucBefore = ucShort;
    EXPECT_EQ(VXQ_F_DPS_MW_PR_TransPacketBody(1, ucShort.data(), 32), 1);
    EXPECT_EQ(ucShort, ucBefore);
}

TEST(CfgBlock, CountedBlockGoesBackUnconvertedUnlessTheHostWroteIt)
{
    /* Block id 4 is left in wire order on its way in: only a successful get
     * answer (the host's block, host order) is converted on its way out. A set
     * answer or a refusal echoes the client's bytes, whose count would not fit. */
    struct {
        uint16_t usFuncId;
        uint8_t ucResult;
        int bConverted;
    } tCases[] = {
        {P9_GET_CONFIG, 0, 1}, {P9_GET_CONFIG, 5, 0}, {P9_SET_CONFIG, 0, 0}, {P9_SET_CONFIG, 5, 0},
    };
    for (const auto &tCase : tCases) {
        const uint32_t dwLen = 32 + 4 + 104;
        std::vector<uint8_t> ucMsg = Pattern(dwLen);
        VXQ_F_DPS_MW_HeadBuildFresh(ucMsg.data(), dwLen, tCase.usFuncId, 0, 0);
        ucMsg[VXQ_DPS_UMSP_OFF_RESULT] = tCase.ucResult;
        VXQ_F_DPS_MW_PutLe32(ucMsg.data() + 24, 4);
        uint32_t dwOne = 1; /* the count as the host writes it */
        memcpy(ucMsg.data() + 32, &dwOne, 4);
        std::vector<uint8_t> ucExpect = ucMsg;
        if (tCase.bConverted) {
            ReverseAt(ucExpect, 32, 4);
            ReverseAt(ucExpect, 36 + 96, 4);
            ReverseAt(ucExpect, 36 + 100, 4);
        }
        EXPECT_EQ(VXQ_F_DPS_MW_PR_TransPacketBody(0, ucMsg.data(), dwLen), 1) << std::hex << tCase.usFuncId;
        EXPECT_EQ(ucMsg, ucExpect) << std::hex << tCase.usFuncId << " " << (int)tCase.ucResult;

        /* A client's 8-byte block whose count cannot fit still goes back as it came. */
        std::vector<uint8_t> ucShort(40, 0x01);
        VXQ_F_DPS_MW_HeadBuildFresh(ucShort.data(), 40, tCase.usFuncId, 0, 0);
        ucShort[VXQ_DPS_UMSP_OFF_RESULT] = tCase.ucResult;
        VXQ_F_DPS_MW_PutLe32(ucShort.data() + 24, 4);
        std::vector<uint8_t> ucBefore = ucShort;
        if (!tCase.bConverted) {
            EXPECT_EQ(VXQ_F_DPS_MW_PR_TransPacketBody(0, ucShort.data(), 40), 1);
            EXPECT_EQ(ucShort, ucBefore);
        }
    }
}
