#include <gtest/gtest.h>

#include <string.h>

#include <map>
#include <vector>

#include "wire/cfgblock.h"
#include "wire/head.h"

namespace
{
struct ExpectedLayout {
    uint32_t dwSize;
    std::vector<uint32_t> dwU32, dwU16;
};

std::vector<uint32_t> Every4(uint32_t in_dwFrom, uint32_t in_dwTo)
{
    std::vector<uint32_t> dwOut;
    for (uint32_t o = in_dwFrom; o <= in_dwTo; o += 4)
        dwOut.push_back(o);
    return dwOut;
}

/* The fields before, then 42 entries of in_dwEntry bytes from in_dwAt with fields at the given offsets. */
std::vector<uint32_t> Table7x6(std::vector<uint32_t> in_dwBefore, uint32_t in_dwAt, uint32_t in_dwEntry,
                               std::vector<uint32_t> in_dwFields)
{
    for (uint32_t e = 0; e < 42; e++)
        for (uint32_t f : in_dwFields)
            in_dwBefore.push_back(in_dwAt + e * in_dwEntry + f);
    return in_dwBefore;
}

/* The layouts as the protocol defines them, written out independently of the module's run table. */
std::map<int, ExpectedLayout> Layouts()
{
    std::map<int, ExpectedLayout> tMap;
    tMap[2] = {68, {64}, {}};
    tMap[3] = {228, {64, 132, 136, 140, 144, 212, 216, 220, 224}, {}};
    tMap[5] = {268, Every4(0, 264), {}};
    tMap[6] = {696, Table7x6(Every4(0, 188), 192, 12, {0}), {}};
    tMap[7] = {564, Table7x6(Every4(0, 56), 60, 12, {0}), {}};
    tMap[8] = {564, Table7x6({0, 4, 12, 16, 20, 24, 28, 36, 40, 44, 48, 52, 56}, 60, 12, {0}), {}};
    tMap[9] = {540, Table7x6(Every4(0, 32), 36, 12, {0}), {}};
    tMap[20] = {12, {8}, {0, 2}};
    tMap[21] = {172, Every4(144, 168), {}};
    tMap[22] = {4, {0}, {}};
    tMap[40] = {8, {0, 4}, {}};
    tMap[41] = {28, Every4(0, 24), {}};
    tMap[50] = {876, Table7x6(Every4(0, 32), 36, 20, {0, 4, 8}), {}};
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

void ReverseAt(std::vector<uint8_t> &inout_ucBuf, std::vector<uint32_t> in_dwOffsets, int in_iWidth = 4)
{
    for (uint32_t o : in_dwOffsets)
        for (int i = 0; i < in_iWidth / 2; i++)
            std::swap(inout_ucBuf[o + i], inout_ucBuf[o + in_iWidth - 1 - i]);
}

/* Swaps a copy of in_ucBlock; the result must be in_iWant and the bytes in_ucWant. */
void ExpectSwap(int in_iDir, int32_t in_iId, std::vector<uint8_t> in_ucBlock, int32_t in_iLen, int in_iWant,
                const std::vector<uint8_t> &in_ucWant)
{
    EXPECT_EQ(VXQ_F_DPS_MW_PR_SwapConfigParam(in_iDir, in_iId, in_ucBlock.data(), in_iLen), in_iWant)
        << "id " << in_iId << " direction " << in_iDir << " length " << in_iLen;
    EXPECT_EQ(in_ucBlock, in_ucWant) << "id " << in_iId << " direction " << in_iDir << " length " << in_iLen;
}
} // namespace

TEST(CfgBlock, EveryKnownLayoutReversesExactlyItsFieldsInBothDirectionsAndOneByteShortIsRefusedWhole)
{
    for (const auto &tPair : Layouts()) {
        const ExpectedLayout &tWant = tPair.second;
        const _VXQ_S_DPS_CFG_LAYOUT *ptLayout = VXQ_F_DPS_MW_FindConfigLayout(tPair.first);
        ASSERT_NE(ptLayout, nullptr) << tPair.first;
        EXPECT_EQ(ptLayout->dwMinSize, tWant.dwSize) << tPair.first;
        /* 16 bytes more than the layout: they must stay as they are. */
        std::vector<uint8_t> ucBlock = Pattern(tWant.dwSize + 16), ucExpect = ucBlock;
        ReverseAt(ucExpect, tWant.dwU32);
        ReverseAt(ucExpect, tWant.dwU16, 2);
        for (int iDir : {VXQ_DPS_CFG_FROM_WIRE, VXQ_DPS_CFG_TO_WIRE})
            ExpectSwap(iDir, tPair.first, ucBlock, (int32_t)ucBlock.size(), 1, ucExpect);
        /* Exactly one byte short, so a write past it is caught by the address sanitizer too. */
        std::vector<uint8_t> ucShort = Pattern(tWant.dwSize - 1);
        ExpectSwap(0, tPair.first, ucShort, (int32_t)ucShort.size(), 0, ucShort);
    }
}

TEST(CfgBlock, UnconvertedIdsCountedBlocksAndRefusals)
{
    std::vector<uint8_t> ucAny = Pattern(1001);
    for (int32_t iLen : {0, 1, 3, 1000}) /* id 1 accepts any block and changes nothing */
        for (int iDir : {0, 1})
            ExpectSwap(iDir, 1, ucAny, iLen, 1, ucAny);
    for (int32_t iId : {0, 10, 19, 23, 39, 42, 49, 52, 59, 62, 1000, -1}) {
        EXPECT_EQ(VXQ_F_DPS_MW_FindConfigLayout(iId), nullptr);
        ExpectSwap(1, iId, ucAny, 1000, 0, ucAny);
    }
    std::vector<uint8_t> ucFour = {1, 2, 3, 4};
    EXPECT_EQ(VXQ_F_DPS_MW_PR_SwapConfigParam(0, 22, ucFour.data(), -1), 0);
    EXPECT_EQ(VXQ_F_DPS_MW_PR_SwapConfigParam(0, 22, NULL, 4), 0);

    /* Id 4: a count, then entries of 104 bytes. Converted only towards the wire, the
     * count first (host order, as the host wrote it), then the fields at 96 and 100 of each. */
    std::vector<uint8_t> ucBlock = Pattern(4 + 2 * 104 + 8);
    uint32_t dwCount = 2;
    memcpy(ucBlock.data(), &dwCount, 4);
    ExpectSwap(1, 4, ucBlock, (int32_t)ucBlock.size(), 1, ucBlock);
    std::vector<uint8_t> ucExpect = ucBlock;
    ReverseAt(ucExpect, {0, 4 + 96, 4 + 100, 108 + 96, 108 + 100});
    ExpectSwap(0, 4, ucBlock, (int32_t)ucBlock.size(), 1, ucExpect);
    ExpectSwap(0, 4, {0, 0, 0, 0, 9}, 5, 1, {0, 0, 0, 0, 9}); /* a count of zero reverses the count alone */
    /* A count that does not fit: 2 announced and 1 present, or count x 104 wrapping 32 bits. */
    for (uint32_t dwBad : {2u, 0x02762763u, 0xFFFFFFFFu}) {
        std::vector<uint8_t> ucOne = Pattern(4 + 104);
        memcpy(ucOne.data(), &dwBad, 4);
        ExpectSwap(0, 4, ucOne, (int32_t)ucOne.size(), 0, ucOne);
    }
    /* Too short for even the count towards the wire; from the wire it is not read. */
    ExpectSwap(0, 4, {1, 2, 3}, 3, 0, {1, 2, 3});
    ExpectSwap(1, 4, {1, 2, 3}, 3, 1, {1, 2, 3});

}

TEST(CfgBlock, PacketBodyHandsTheBlockAtItsOffsetAndACountedBlockGoesBackUnconvertedUnlessTheHostWroteIt)
{
    const struct {
        uint16_t usFuncId;
        uint32_t dwLen, dwBlockId;
        int iDir;
        uint8_t ucResult;
        std::vector<uint32_t> dwSwapped;
        int iWant;
    } tCases[] = {
        /* clang-format off */
        {P9_GET_CONFIG, 48, 40, 1, 0, {32, 36}, 1}, /* block id 40: u32 at 0 and 4 */
        {P9_SET_CONFIG, 48, 40, 1, 0, {32, 36}, 1}, {P9_GET_DEF_CONFIG, 48, 40, 1, 0, {36, 40}, 1},
        {P9_IEC_IMP_CONFIG, 48, 40, 1, 0, {}, 1}, {P2_PTZ, 48, 40, 1, 0, {}, 1},
        {P9_GET_CONFIG, 48, 10, 0, 0, {}, 0}, /* an unknown block id is refused */
        {P9_GET_CONFIG, 32, 10, 1, 0, {}, 1}, /* 32 bytes carry no block: nothing to refuse */
        /* Id 4 stays in wire order on its way in: only a successful get answer (the host's
         * block, count 1 in host order) is converted on its way out. */
        {P9_GET_CONFIG, 140, 4, 0, 0, {32, 36 + 96, 36 + 100}, 1}, {P9_GET_CONFIG, 140, 4, 0, 5, {}, 1},
        {P9_SET_CONFIG, 140, 4, 0, 0, {}, 1},
        /* a client's block whose count cannot fit goes back as it came */
        {P9_GET_CONFIG, 40, 4, 0, 5, {}, 1}
        /* clang-format on */
    };
    for (const auto &tCase : tCases) {
        std::vector<uint8_t> ucMsg = Pattern(tCase.dwLen);
        VXQ_F_DPS_MW_HeadBuildFresh(ucMsg.data(), tCase.dwLen, tCase.usFuncId, 0, 0);
        ucMsg[VXQ_DPS_UMSP_OFF_RESULT] = tCase.ucResult;
        VXQ_F_DPS_MW_PutLe32(ucMsg.data() + 24, tCase.dwBlockId);
        if (tCase.dwBlockId == 4 && tCase.dwLen > 40) {
            uint32_t dwOne = 1;
            memcpy(ucMsg.data() + 32, &dwOne, 4);
        }
        std::vector<uint8_t> ucExpect = ucMsg;
        ReverseAt(ucExpect, tCase.dwSwapped);
        EXPECT_EQ(VXQ_F_DPS_MW_PR_TransPacketBody(tCase.iDir, ucMsg.data(), tCase.dwLen), tCase.iWant)
            << std::hex << tCase.usFuncId << std::dec << " " << tCase.dwLen << " id " << tCase.dwBlockId;
        EXPECT_EQ(ucMsg, ucExpect) << std::hex << tCase.usFuncId << std::dec << " " << tCase.dwLen << " id "
                                   << tCase.dwBlockId << " result " << (int)tCase.ucResult;
    }
}
