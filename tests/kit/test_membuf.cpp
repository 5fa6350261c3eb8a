#include <gtest/gtest.h>

#include <string.h>

#include "kit/kitalloc.h"
#include "vxq_membuf.h"

namespace
{

/* A buffer's three values, freed at the end of the test. */
struct Buf {
    char *pBuf = NULL;
    int32_t iSize = 0;
    int32_t iLen = 0;
    ~Buf()
    {
        VXQ_F_MEM_MG_FreeDataBuf(&pBuf, &iSize, &iLen);
    }
};

/* Makes every allocation fail for the life of a scope. */
struct AllocFailure {
    AllocFailure()
    {
        VXQ_F_KIT_PR_FailAllocAfter(0);
    }
    ~AllocFailure()
    {
        VXQ_F_KIT_PR_ClearAllocFailure();
    }
};

} // namespace

TEST(MemBuf, AddDataGrowsToExactlyTheNeededSizeAndKeepsTheContent)
{
    Buf b;
    ASSERT_EQ(VXQ_F_MEM_MG_AddDataToBuf(&b.pBuf, &b.iSize, &b.iLen, "abcdefgh", 8), 1);
    EXPECT_EQ(b.iSize, 8);
    EXPECT_EQ(b.iLen, 8);
    /* Capacity 10 holding 8, adding 4: exactly 12 bytes, the 8 kept. */
    ASSERT_EQ(VXQ_F_MEM_MG_AllocDataBuf(&b.pBuf, &b.iSize, 10), 1);
    memcpy(b.pBuf, "abcdefgh", 8);
    EXPECT_EQ(VXQ_F_MEM_MG_AddDataToBuf(&b.pBuf, &b.iSize, &b.iLen, "ijkl", 4), 1);
    EXPECT_EQ(b.iSize, 12);
    EXPECT_EQ(b.iLen, 12);
    EXPECT_EQ(memcmp(b.pBuf, "abcdefghijkl", 12), 0);
    /* Room enough: the buffer stays. */
    b.iLen = 10;
    char *pOld = b.pBuf;
    EXPECT_EQ(VXQ_F_MEM_MG_AddDataToBuf(&b.pBuf, &b.iSize, &b.iLen, "XY", 2), 1);
    EXPECT_EQ(b.pBuf, pOld);
    EXPECT_EQ(memcmp(b.pBuf, "abcdefghijXY", 12), 0);
}

TEST(MemBuf, SetDataReplacesTheContentAndGrowsOnlyWhenShort)
{
    Buf b;
    ASSERT_EQ(VXQ_F_MEM_MG_SetDataToBuf(&b.pBuf, &b.iSize, &b.iLen, "0123456789", 10), 1);
    char *pOld = b.pBuf;
    EXPECT_EQ(VXQ_F_MEM_MG_SetDataToBuf(&b.pBuf, &b.iSize, &b.iLen, "abc", 3), 1);
    EXPECT_EQ(b.pBuf, pOld);
    EXPECT_EQ(b.iSize, 10);
    EXPECT_EQ(b.iLen, 3);
    EXPECT_EQ(VXQ_F_MEM_MG_SetDataToBuf(&b.pBuf, &b.iSize, &b.iLen, "0123456789AB", 12), 1);
    EXPECT_EQ(b.iSize, 12);
    EXPECT_EQ(b.iLen, 12);
    EXPECT_EQ(memcmp(b.pBuf, "0123456789AB", 12), 0);
}

TEST(MemBuf, AllocZeroesAndExpandKeepsThenZeroesUpToTheLength)
{
    Buf b;
    ASSERT_EQ(VXQ_F_MEM_MG_AllocDataBuf(&b.pBuf, &b.iSize, 32), 1);
    for (int i = 0; i < 32; i++)
        EXPECT_EQ(b.pBuf[i], 0);
    memset(b.pBuf, 'x', 32);
    /* keep 4, n 16 on a 32-byte buffer: same buffer, bytes 4..15 zero, the rest untouched. */
    char *pOld = b.pBuf;
    ASSERT_EQ(VXQ_F_MEM_MG_ExpandDataBuf(&b.pBuf, &b.iSize, 4, 16), 1);
    EXPECT_EQ(b.pBuf, pOld);
    EXPECT_EQ(b.iSize, 32);
    for (int i = 0; i < 32; i++)
        EXPECT_EQ(b.pBuf[i], (i >= 4 && i < 16) ? 0 : 'x') << i;
    /* Growing keeps the first keep bytes and zeroes the rest of the new length. */
    ASSERT_EQ(VXQ_F_MEM_MG_ExpandDataBuf(&b.pBuf, &b.iSize, 3, 40), 1);
    EXPECT_EQ(b.iSize, 40);
    EXPECT_EQ(memcmp(b.pBuf, "xxx", 3), 0);
    for (int i = 3; i < 40; i++)
        EXPECT_EQ(b.pBuf[i], 0) << i;
    /* A keep beyond the old buffer copies only what the old buffer held. */
    memset(b.pBuf, 'y', 40);
    ASSERT_EQ(VXQ_F_MEM_MG_ExpandDataBuf(&b.pBuf, &b.iSize, 100, 64), 1);
    EXPECT_EQ(b.iSize, 64);
    EXPECT_EQ(b.pBuf[39], 'y');
    EXPECT_EQ(b.pBuf[40], 0);
    EXPECT_EQ(b.pBuf[63], 0);
}

TEST(MemBuf, InsideCopyDropsTheFrontAndEmptiesWhenNothingRemains)
{
    char sBuf[9] = "abcdefgh";
    int32_t iLen = 8;
    EXPECT_EQ(VXQ_F_MEM_MG_BufInsideCopy(sBuf, &iLen, 3), 1);
    EXPECT_EQ(iLen, 5);
    EXPECT_EQ(memcmp(sBuf, "defgh", 5), 0);
    EXPECT_EQ(VXQ_F_MEM_MG_BufInsideCopy(sBuf, &iLen, 10), 1);
    EXPECT_EQ(iLen, 0);
    EXPECT_EQ(VXQ_F_MEM_MG_BufInsideCopy(sBuf, &iLen, 1), 0); /* nothing left to drop */
}

TEST(MemBuf, BadArgumentsAreRefusedAndLeaveTheBufferAlone)
{
    Buf b;
    ASSERT_EQ(VXQ_F_MEM_MG_SetDataToBuf(&b.pBuf, &b.iSize, &b.iLen, "abcd", 4), 1);
    char *pOld = b.pBuf;
    int32_t iLen = 4, iSize = 4, iNeg = -1;
    struct {
        const char *sCase;
        int iResult;
    } rows[] = {
        {"add 0 bytes", VXQ_F_MEM_MG_AddDataToBuf(&b.pBuf, &b.iSize, &b.iLen, "x", 0)},
        {"add null data", VXQ_F_MEM_MG_AddDataToBuf(&b.pBuf, &b.iSize, &b.iLen, NULL, 1)},
        {"add to a negative length", VXQ_F_MEM_MG_AddDataToBuf(&b.pBuf, &b.iSize, &iNeg, "x", 1)},
        {"add past INT32_MAX", VXQ_F_MEM_MG_AddDataToBuf(&b.pBuf, &b.iSize, &b.iLen, "x", INT32_MAX)},
        {"set 0 bytes", VXQ_F_MEM_MG_SetDataToBuf(&b.pBuf, &b.iSize, &b.iLen, "x", 0)},
        {"alloc negative", VXQ_F_MEM_MG_AllocDataBuf(&b.pBuf, &b.iSize, -1)},
        {"expand to 0", VXQ_F_MEM_MG_ExpandDataBuf(&b.pBuf, &b.iSize, 0, 0)},
        {"expand keep negative", VXQ_F_MEM_MG_ExpandDataBuf(&b.pBuf, &b.iSize, -1, 8)},
        {"inside copy 0", VXQ_F_MEM_MG_BufInsideCopy(b.pBuf, &iLen, 0)},
        {"inside copy null", VXQ_F_MEM_MG_BufInsideCopy(NULL, &iLen, 1)},
        {"null size", VXQ_F_MEM_MG_AllocDataBuf(&b.pBuf, NULL, 4)},
        {"free null", VXQ_F_MEM_MG_FreeDataBuf(NULL, &iSize, &iLen)},
    };
    for (const auto &row : rows)
        EXPECT_EQ(row.iResult, 0) << row.sCase;
    EXPECT_EQ(b.pBuf, pOld);
    EXPECT_EQ(b.iSize, 4);
    EXPECT_EQ(b.iLen, 4);
    EXPECT_EQ(memcmp(b.pBuf, "abcd", 4), 0);
}

TEST(MemBuf, FailedAllocationReturnsZeroAndLeavesTheBufferAsItWas)
{
    Buf b;
    ASSERT_EQ(VXQ_F_MEM_MG_SetDataToBuf(&b.pBuf, &b.iSize, &b.iLen, "abcd", 4), 1);
    char *pOld = b.pBuf;
    {
        AllocFailure fail;
        EXPECT_EQ(VXQ_F_MEM_MG_AddDataToBuf(&b.pBuf, &b.iSize, &b.iLen, "efgh", 4), 0);
        EXPECT_EQ(VXQ_F_MEM_MG_SetDataToBuf(&b.pBuf, &b.iSize, &b.iLen, "0123456789", 10), 0);
        EXPECT_EQ(VXQ_F_MEM_MG_AllocDataBuf(&b.pBuf, &b.iSize, 64), 0);
        EXPECT_EQ(VXQ_F_MEM_MG_ExpandDataBuf(&b.pBuf, &b.iSize, 4, 64), 0);
        /* Within the capacity nothing is allocated, so nothing fails. */
        EXPECT_EQ(VXQ_F_MEM_MG_SetDataToBuf(&b.pBuf, &b.iSize, &b.iLen, "wxyz", 4), 1);
    }
    EXPECT_EQ(b.pBuf, pOld);
    EXPECT_EQ(b.iSize, 4);
    EXPECT_EQ(b.iLen, 4);
    EXPECT_EQ(memcmp(b.pBuf, "wxyz", 4), 0);
    /* The same calls succeed once memory is back. */
    EXPECT_EQ(VXQ_F_MEM_MG_AddDataToBuf(&b.pBuf, &b.iSize, &b.iLen, "efgh", 4), 1);
    EXPECT_EQ(memcmp(b.pBuf, "wxyzefgh", 8), 0);
}
