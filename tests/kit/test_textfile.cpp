#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "vxq_textfile.h"

#include <string.h>
#include <string>
#include <vector>

/* Reads every line of in_sPath with VXQ_F_ReadLine; the last entry is the end-of-file result. */
static std::vector<std::string> ReadAllLines(const std::string &in_sPath, std::vector<int> *out_pResults)
{
    std::vector<std::string> tLines;
    _VXQ_S_FILE_DATA *pFile = VXQ_F_OpenFile(in_sPath.c_str(), VXQ_FILE_MODE_READ_BIN);
    if (pFile == nullptr)
        return tLines;
    char *sBuf = nullptr;
    int iSize = 0, iLen;
    while ((iLen = VXQ_F_ReadLine(pFile, &sBuf, &iSize)) >= 0) {
        out_pResults->push_back(iLen);
        tLines.push_back(std::string(sBuf, (size_t)iLen));
    }
    out_pResults->push_back(iLen);
    VXQ_F_FreeReadBuf(sBuf);
    VXQ_F_CloseFile(pFile);
    return tLines;
}

TEST(TextFile, ReadLineRemovesEveryLineEndKindAndKeepsALastLineWithoutOne)
{
    TempDir tDir;
    ASSERT_TRUE(WriteFile(tDir.File("a.txt"), "one\r\ntwo\nthree\r\rfive"));
    std::vector<int> tResults;
    std::vector<std::string> tLines = ReadAllLines(tDir.File("a.txt"), &tResults);
    EXPECT_EQ(tLines, (std::vector<std::string>{"one", "two", "three", "", "five"}));
    EXPECT_EQ(tResults, (std::vector<int>{3, 3, 5, 0, 4, VXQ_FILE_LINE_END}));
}

TEST(TextFile, ReadLineGrowsItsBufferByStepsAroundTheFirstSizeAndReturnsLongLinesWhole)
{
    /* A line of 4095 characters fits the first buffer with its zero; 4096
     * needs one growth by a step; 10000 is grown twice. */
    const struct {
        int iLen;
        int iSizeAfter;
    } aCases[] = {{4095, 4096}, {4096, 8192}, {8191, 8192}, {8192, 12288}, {10000, 3 * VXQ_FILE_LINE_STEP}};
    for (const auto &tCase : aCases) {
        TempDir tDir;
        std::string sLong((size_t)tCase.iLen, 'q');
        sLong[0] = 'A';
        sLong[tCase.iLen - 1] = 'Z';
        ASSERT_TRUE(WriteFile(tDir.File("l.txt"), sLong + "\nshort\n"));
        _VXQ_S_FILE_DATA *pFile = VXQ_F_OpenFile(tDir.File("l.txt").c_str(), VXQ_FILE_MODE_READ);
        ASSERT_NE(pFile, nullptr);
        char *sBuf = nullptr;
        int iSize = 0;
        EXPECT_EQ(VXQ_F_ReadLine(pFile, &sBuf, &iSize), tCase.iLen) << tCase.iLen;
        EXPECT_EQ(iSize, tCase.iSizeAfter) << tCase.iLen;
        EXPECT_EQ(std::string(sBuf), sLong) << tCase.iLen;
        EXPECT_EQ(VXQ_F_ReadLine(pFile, &sBuf, &iSize), 5);
        EXPECT_STREQ(sBuf, "short");
        EXPECT_EQ(VXQ_F_ReadLine(pFile, &sBuf, &iSize), VXQ_FILE_LINE_END);
        VXQ_F_FreeReadBuf(sBuf);
        VXQ_F_CloseFile(pFile);
    }
}

TEST(TextFile, ReadLineExReturnsPiecesOfLongLinesAndMinus9AtTheEnd)
{
    TempDir tDir;
    std::string sLong(VXQ_FILE_LINE_EX_SIZE + 100, 'y');
    ASSERT_TRUE(WriteFile(tDir.File("ex.txt"), "ab\r\n\n" + sLong + "\ncd\r"));
    _VXQ_S_FILE_DATA *pFile = VXQ_F_OpenFile(tDir.File("ex.txt").c_str(), VXQ_FILE_MODE_READ);
    ASSERT_NE(pFile, nullptr);
    char *sBuf = nullptr;
    int iSize = 0;
    EXPECT_EQ(VXQ_F_ReadLineEx(pFile, &sBuf, &iSize), 2);
    EXPECT_STREQ(sBuf, "ab");
    EXPECT_EQ(iSize, VXQ_FILE_LINE_EX_SIZE);
    EXPECT_EQ(VXQ_F_ReadLineEx(pFile, &sBuf, &iSize), 0);
    EXPECT_EQ(VXQ_F_ReadLineEx(pFile, &sBuf, &iSize), VXQ_FILE_LINE_EX_SIZE - 1);
    EXPECT_EQ(VXQ_F_ReadLineEx(pFile, &sBuf, &iSize), 101);
    EXPECT_EQ(VXQ_F_ReadLineEx(pFile, &sBuf, &iSize), 2);
    EXPECT_STREQ(sBuf, "cd");
    EXPECT_EQ(VXQ_F_ReadLineEx(pFile, &sBuf, &iSize), VXQ_FILE_LINE_EX_END);
    EXPECT_EQ(VXQ_F_ReadLineEx(pFile, &sBuf, &iSize), VXQ_FILE_LINE_EX_END);
    VXQ_F_FreeReadBuf(sBuf);
    VXQ_F_CloseFile(pFile);
}

TEST(TextFile, OpenModesTruncateOrKeepAsTheirNumberSays)
{
    const struct {
        int iMode;
        bool bTruncates;
        bool bCanRead;
        bool bCanWrite;
    } aCases[] = {
        {VXQ_FILE_MODE_READ, false, true, false},
        {VXQ_FILE_MODE_WRITE, true, false, true},
        {VXQ_FILE_MODE_WRITE_READ, true, true, true},
        {VXQ_FILE_MODE_READ_BIN, false, true, false},
        {VXQ_FILE_MODE_WRITE_BIN, true, false, true},
        {VXQ_FILE_MODE_UPDATE_BIN, false, true, true},
        {77, false, true, false},
    };
    for (const auto &tCase : aCases) {
        TempDir tDir;
        std::string sPath = tDir.File("m.txt");
        ASSERT_TRUE(WriteFile(sPath, "hello"));
        _VXQ_S_FILE_DATA *pFile = VXQ_F_OpenFile(sPath.c_str(), tCase.iMode);
        ASSERT_NE(pFile, nullptr) << tCase.iMode;
        EXPECT_STREQ(VXQ_F_GetFilePath(pFile), sPath.c_str());
        EXPECT_EQ(VXQ_F_GetFileSize(pFile), tCase.bTruncates ? 0 : 5) << tCase.iMode;
        char aBuf[8] = {0};
        int iRead = VXQ_F_ReadData(pFile, aBuf, sizeof(aBuf));
        int iExpectedRead = tCase.bCanRead ? (tCase.bTruncates ? 0 : 5) : -1;
        EXPECT_EQ(iRead, iExpectedRead) << tCase.iMode;
        if (tCase.bCanWrite) {
            EXPECT_EQ(VXQ_F_SetFileBeginPos(pFile), 1);
            EXPECT_EQ(VXQ_F_WriteString(pFile, "HE"), 1);
            EXPECT_EQ(VXQ_F_WriteChar(pFile, 'L'), 1);
        }
        EXPECT_EQ(VXQ_F_CloseFile(pFile), 1);
        std::string sExpected = tCase.bTruncates ? "" : "hello";
        if (tCase.bCanWrite)
            sExpected = tCase.bTruncates ? "HEL" : "HELlo";
        EXPECT_EQ(ReadFile(sPath), sExpected) << tCase.iMode;
    }
}

TEST(TextFile, ReadDataReportsTheLastPieceThenZeroAndSizeKeepsThePosition)
{
    TempDir tDir;
    ASSERT_TRUE(WriteFile(tDir.File("d.bin"), std::string("0123456789", 10)));
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
}

TEST(TextFile, NullAndMissingArgumentsGiveFailureValues)
{
    TempDir tDir;
    EXPECT_EQ(VXQ_F_OpenFile(tDir.File("missing.txt").c_str(), VXQ_FILE_MODE_READ), nullptr);
    EXPECT_EQ(VXQ_F_OpenFile(nullptr, VXQ_FILE_MODE_WRITE), nullptr);
    EXPECT_EQ(VXQ_F_OpenFile(tDir.File("no/such/dir.txt").c_str(), VXQ_FILE_MODE_WRITE), nullptr);
    EXPECT_EQ(VXQ_F_CloseFile(nullptr), 1);
    EXPECT_EQ(VXQ_F_GetFileSize(nullptr), -1);
    EXPECT_EQ(VXQ_F_SetFileBeginPos(nullptr), 0);
    EXPECT_EQ(VXQ_F_WriteString(nullptr, "x"), 0);
    EXPECT_EQ(VXQ_F_GetFilePath(nullptr), nullptr);
    char *sBuf = nullptr;
    int iSize = 0;
    EXPECT_EQ(VXQ_F_ReadLine(nullptr, &sBuf, &iSize), VXQ_FILE_LINE_END);
    EXPECT_EQ(VXQ_F_ReadLineEx(nullptr, &sBuf, &iSize), 0);
    VXQ_F_FreeReadBuf(nullptr);
    _VXQ_S_FILE_DATA *pFile = VXQ_F_OpenFile(tDir.File("w.txt").c_str(), VXQ_FILE_MODE_WRITE);
    ASSERT_NE(pFile, nullptr);
    EXPECT_EQ(VXQ_F_WriteString(pFile, nullptr), 1);
    VXQ_F_CloseFile(pFile);
    EXPECT_EQ(ReadFile(tDir.File("w.txt")), "");
}
