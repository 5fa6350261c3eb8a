#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "vxq_textfile.h"

#include <string.h>
#include <string>

TEST(TextFile, ReadLineRemovesEveryLineEndKindAndGrowsItsBufferByStepsAroundEachLength)
{
    /* Line length, then the buffer size after reading it: 4095 characters fit
     * the first buffer with its zero, 4096 need one step more. */
    const struct {
        int iLen, iSizeAfter;
        const char *sLine;
    } aCases[] = {
        /* clang-format off */
        {3, 4096, "one"}, {3, 4096, "two"}, {5, 4096, "three"}, {0, 4096, ""}, {4095, 4096, NULL},
        {4096, 8192, NULL}, {8191, 8192, NULL}, {8192, 12288, NULL}, {10000, 12288, NULL},
        {4, 12288, "five"} /* a last line without a line end */
        /* clang-format on */
    };
    std::string sContent = "one\r\ntwo\nthree\r\r";
    for (const auto &tCase : aCases)
        if (tCase.sLine == NULL)
            sContent += "A" + std::string((size_t)tCase.iLen - 2, 'q') + "Z\n";
    TempDir tDir;
    ASSERT_TRUE(WriteFile(tDir.File("l.txt"), sContent + "five"));
    _VXQ_S_FILE_DATA *pFile = VXQ_F_OpenFile(tDir.File("l.txt").c_str(), VXQ_FILE_MODE_READ_BIN);
    ASSERT_NE(pFile, nullptr);
    char *sBuf = nullptr;
    int iSize = 0;
    for (const auto &tCase : aCases) {
        EXPECT_EQ(VXQ_F_ReadLine(pFile, &sBuf, &iSize), tCase.iLen);
        EXPECT_EQ(iSize, tCase.iSizeAfter) << tCase.iLen;
        EXPECT_EQ(std::string(sBuf),
                  tCase.sLine ? tCase.sLine : "A" + std::string((size_t)tCase.iLen - 2, 'q') + "Z");
    }
    EXPECT_EQ(VXQ_F_ReadLine(pFile, &sBuf, &iSize), VXQ_FILE_LINE_END);
    VXQ_F_FreeReadBuf(sBuf);
    VXQ_F_CloseFile(pFile);
}

TEST(TextFile, ReadLineExReturnsPiecesOfLongLinesAndMinus9AtTheEnd)
{
    TempDir tDir;
    ASSERT_TRUE(WriteFile(tDir.File("ex.txt"),
                          "ab\r\n\n" + std::string(VXQ_FILE_LINE_EX_SIZE + 100, 'y') + "\ncd\r"));
    _VXQ_S_FILE_DATA *pFile = VXQ_F_OpenFile(tDir.File("ex.txt").c_str(), VXQ_FILE_MODE_READ);
    ASSERT_NE(pFile, nullptr);
    char *sBuf = nullptr;
    int iSize = 0;
    EXPECT_EQ(VXQ_F_ReadLineEx(pFile, &sBuf, &iSize), 2);
    EXPECT_STREQ(sBuf, "ab");
    EXPECT_EQ(iSize, VXQ_FILE_LINE_EX_SIZE);
    for (int iLen : {0, VXQ_FILE_LINE_EX_SIZE - 1, 101, 2})
        EXPECT_EQ(VXQ_F_ReadLineEx(pFile, &sBuf, &iSize), iLen);
    EXPECT_STREQ(sBuf, "cd");
    EXPECT_EQ(VXQ_F_ReadLineEx(pFile, &sBuf, &iSize), VXQ_FILE_LINE_EX_END);
    EXPECT_EQ(VXQ_F_ReadLineEx(pFile, &sBuf, &iSize), VXQ_FILE_LINE_EX_END);
    VXQ_F_FreeReadBuf(sBuf);
    VXQ_F_CloseFile(pFile);
}

TEST(TextFile, ReadDataReportsTheLastPieceThenZeroAndSizeKeepsThePosition)
{
    TempDir tDir;
    ASSERT_TRUE(WriteFile(tDir.File("d.bin"), "0123456789"));
    _VXQ_S_FILE_DATA *pFile = VXQ_F_OpenFile(tDir.File("d.bin").c_str(), VXQ_FILE_MODE_READ_BIN);
    ASSERT_NE(pFile, nullptr);
    char aBuf[4];
    EXPECT_EQ(VXQ_F_ReadData(pFile, aBuf, 4), 4);
    EXPECT_EQ(VXQ_F_GetFileSize(pFile), 10);
    EXPECT_EQ(VXQ_F_ReadData(pFile, aBuf, 4), 4);
    EXPECT_EQ(memcmp(aBuf, "4567", 4), 0);
    /* The last two bytes arrive together with the end of the file: still reported. */
    EXPECT_EQ(VXQ_F_ReadData(pFile, aBuf, 4), 2);
    EXPECT_EQ(memcmp(aBuf, "89", 2), 0);
    EXPECT_EQ(VXQ_F_ReadData(pFile, aBuf, 4), 0);
    EXPECT_EQ(VXQ_F_SetFileBeginPos(pFile), 1);
    EXPECT_EQ(VXQ_F_ReadData(pFile, aBuf, 1), 1);
    EXPECT_EQ(aBuf[0], '0');
    VXQ_F_CloseFile(pFile);

    /* Missing files and folders and a null file give the failure values. */
    EXPECT_EQ(VXQ_F_ReadData(nullptr, aBuf, 4), -1);
    EXPECT_EQ(VXQ_F_OpenFile(tDir.File("missing.txt").c_str(), VXQ_FILE_MODE_READ), nullptr);
    EXPECT_EQ(VXQ_F_OpenFile(tDir.File("no/such/dir.txt").c_str(), VXQ_FILE_MODE_WRITE), nullptr);
}
