#include <gtest/gtest.h>

#include <string.h>

#include "kit/kitalloc.h"
#include "vxq_membuf.h"

namespace
{
/* A buffer's three values, freed at the end of the test. */
struct Buf {
    char *pBuf = NULL;
    int32_t iSize = 0, iLen = 0;
    ~Buf()
    {
        VXQ_F_MEM_MG_FreeDataBuf(&pBuf, &iSize, &iLen);
    }
    int Add(const char *in_pData, int32_t in_iLen)
    {
        return VXQ_F_MEM_MG_AddDataToBuf(&pBuf, &iSize, &iLen, in_pData, in_iLen);
    }
    int Set(const char *in_pData, int32_t in_iLen)
    {
        return VXQ_F_MEM_MG_SetDataToBuf(&pBuf, &iSize, &iLen, in_pData, in_iLen);
    }
    /* Size and length as "size/len:content". */
    std::string State() const
    {
        return std::to_string(iSize) + "/" + std::to_string(iLen) + ":" + std::string(pBuf, (size_t)iLen);
    }
};
} // namespace

TEST(MemBuf, AddAndSetGrowToExactlyTheNeededSizeOnlyWhenShortAndKeepTheContent)
{
    Buf b;
    ASSERT_EQ(b.Add("abcdefgh", 8), 1);
    EXPECT_EQ(b.State(), "8/8:abcdefgh");
    /* Capacity 10 holding 8, adding 4: exactly 12 bytes, the 8 kept. */
    ASSERT_EQ(VXQ_F_MEM_MG_AllocDataBuf(&b.pBuf, &b.iSize, 10), 1);
    memcpy(b.pBuf, "abcdefgh", 8);
    EXPECT_EQ(b.Add("ijkl", 4), 1);
    EXPECT_EQ(b.State(), "12/12:abcdefghijkl");
    char *pOld = b.pBuf;
    b.iLen = 10; /* room enough: the buffer stays */
    EXPECT_EQ(b.Add("XY", 2), 1);
    EXPECT_EQ(b.State(), "12/12:abcdefghijXY");
    EXPECT_EQ(b.Set("abc", 3), 1);
    EXPECT_EQ(b.State(), "12/3:abc");
    EXPECT_EQ(b.pBuf, pOld);
    EXPECT_EQ(b.Set("0123456789ABC", 13), 1);
    EXPECT_EQ(b.State(), "13/13:0123456789ABC");
}

TEST(MemBuf, AllocZeroesAndExpandKeepsThenZeroesUpToTheLength)
{
    Buf b;
    ASSERT_EQ(VXQ_F_MEM_MG_AllocDataBuf(&b.pBuf, &b.iSize, 32), 1);
    EXPECT_EQ(std::string(b.pBuf, 32), std::string(32, '\0'));
    memset(b.pBuf, 'x', 32);
    /* Growing keeps the first keep bytes and zeroes the rest of the new length. */
    ASSERT_EQ(VXQ_F_MEM_MG_ExpandDataBuf(&b.pBuf, &b.iSize, 3, 40), 1);
    EXPECT_EQ(b.iSize, 40);
    EXPECT_EQ(std::string(b.pBuf, 40), "xxx" + std::string(37, '\0'));
    /* A keep beyond the old buffer copies only what the old buffer held. */
    memset(b.pBuf, 'y', 40);
    ASSERT_EQ(VXQ_F_MEM_MG_ExpandDataBuf(&b.pBuf, &b.iSize, 100, 64), 1);
    EXPECT_EQ(b.iSize, 64);
    EXPECT_EQ(std::string(b.pBuf, 64), std::string(40, 'y') + std::string(24, '\0'));
}

TEST(MemBuf, InsideCopyDropsTheFrontAndBadArgumentsAreRefusedLeavingTheBufferAlone)
{
    /* Dropping the front is what the connections' framing does on every message. */
    char sBuf[9] = "abcdefgh";
    int32_t iLen = 8;
    EXPECT_EQ(VXQ_F_MEM_MG_BufInsideCopy(sBuf, &iLen, 10), 1);
    EXPECT_EQ(iLen, 0);

    Buf b;
    ASSERT_EQ(b.Set("abcd", 4), 1);
    char *pOld = b.pBuf;
    int32_t iSize = 4, iNeg = -1;
    const int iResults[] = {
        /* clang-format off */
        VXQ_F_MEM_MG_BufInsideCopy(sBuf, &iLen, 1), /* nothing left to drop */
        b.Add("x", 0), b.Add(NULL, 1), VXQ_F_MEM_MG_AddDataToBuf(&b.pBuf, &b.iSize, &iNeg, "x", 1),
        b.Add("x", INT32_MAX), b.Set("x", 0), VXQ_F_MEM_MG_AllocDataBuf(&b.pBuf, &b.iSize, -1),
        VXQ_F_MEM_MG_ExpandDataBuf(&b.pBuf, &b.iSize, 0, 0),
        VXQ_F_MEM_MG_ExpandDataBuf(&b.pBuf, &b.iSize, -1, 8), VXQ_F_MEM_MG_BufInsideCopy(b.pBuf, &iLen, 0),
        VXQ_F_MEM_MG_BufInsideCopy(NULL, &iLen, 1), VXQ_F_MEM_MG_AllocDataBuf(&b.pBuf, NULL, 4),
        VXQ_F_MEM_MG_FreeDataBuf(NULL, &iSize, &iLen)
        /* clang-format on */
    };
    for (size_t i = 0; i < sizeof(iResults) / sizeof(iResults[0]); i++)
        EXPECT_EQ(iResults[i], 0) << "row " << i;
    EXPECT_EQ(b.pBuf, pOld);
    EXPECT_EQ(b.State(), "4/4:abcd");
}

TEST(MemBuf, FailedAllocationReturnsZeroAndLeavesTheBufferAsItWas)
{
    Buf b;
    ASSERT_EQ(b.Set("abcd", 4), 1);
    char *pOld = b.pBuf;
    VXQ_F_KIT_PR_FailAllocAfter(0);
    EXPECT_EQ(b.Add("efgh", 4), 0);
    EXPECT_EQ(b.Set("0123456789", 10), 0);
    EXPECT_EQ(VXQ_F_MEM_MG_AllocDataBuf(&b.pBuf, &b.iSize, 64), 0);
    EXPECT_EQ(VXQ_F_MEM_MG_ExpandDataBuf(&b.pBuf, &b.iSize, 4, 64), 0);
    EXPECT_EQ(b.Set("wxyz", 4), 1); /* within the capacity nothing is allocated */
    VXQ_F_KIT_PR_ClearAllocFailure();
    EXPECT_EQ(b.pBuf, pOld);
    EXPECT_EQ(b.State(), "4/4:wxyz");
}
