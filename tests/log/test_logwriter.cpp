#include <gtest/gtest.h>

#include "log/logwriter.h"
#include "support/temp_dir.h"
#include "support/test_clock.h"
#include "vxq_log.h"
#include "vxq_queue.h"

#include <stddef.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>

#include <string>
#include <thread>
#include <vector>

/* Calendar seconds of a local date and time. */
static int32_t LocalSec(int in_iYear, int in_iMonth, int in_iDay, int in_iHour, int in_iMin, int in_iSec)
{
    struct tm tLocal;
    memset(&tLocal, 0, sizeof(tLocal));
    tLocal.tm_year = in_iYear - 1900;
    tLocal.tm_mon = in_iMonth - 1;
    tLocal.tm_mday = in_iDay;
    tLocal.tm_hour = in_iHour;
    tLocal.tm_min = in_iMin;
    tLocal.tm_sec = in_iSec;
    tLocal.tm_isdst = -1;
    return (int32_t)mktime(&tLocal);
}

/* Takes every item of a queue, each as a byte string. */
static std::vector<std::string> Drain(VXQ_HQUEUE in_hQueue)
{
    std::vector<std::string> tItems;
    std::vector<char> tBuf(65536);
    int32_t iLen = (int32_t)tBuf.size();
    while (VXQ_F_TOOLS_QUEUE_GetData(in_hQueue, tBuf.data(), &iLen, 0) == 1) {
        tItems.push_back(std::string(tBuf.data(), (size_t)iLen));
        iLen = (int32_t)tBuf.size();
    }
    return tItems;
}

/* Puts the writer into a known state around each test: daily files in a fresh
 * folder, English heads, console quiet, nothing attached. */
class LogWriter : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        m_sLogDir = m_tDir.File("logs");
        Reset(m_sLogDir.c_str(), 1);
    }
    void TearDown() override
    {
        Reset("", 0);
        VXQ_F_LOG_SR_SetIfShowLog(1);
        VXQ_F_LOG_SR_SetIfShowEnglishLogHead(0);
        if (m_hQueue)
            VXQ_F_TOOLS_QUEUE_FreeQueue(&m_hQueue);
    }
    static void Reset(const char *in_sDir, int in_bWriteFile)
    {
        VXQ_F_LOG_SR_SetLogFileName(nullptr);
        VXQ_F_LOG_SR_SetLogDir(in_sDir);
        VXQ_F_LOG_SR_SetMaxLogFileSize(0);
        VXQ_F_LOG_SR_SetRecvLogQueue(nullptr);
        VXQ_F_LOG_SR_SetIfShowLog(0);
        VXQ_F_LOG_SR_SetIfShowInfoWriteFile(0);
        VXQ_F_LOG_SR_SetIfShowEnglishLogHead(1);
        VXQ_F_LOG_SR_SetIfWriteLogToFile(in_bWriteFile);
        VXQ_F_LOG_SR_AttachLineQueue(nullptr);
        VXQ_F_LOG_SR_AttachUpClient(nullptr, nullptr);
        std::lock_guard<std::mutex> tGuard(tLogData.tLock);
        tLogData.sCurrentDay[0] = '\0';
        tLogData.dwLinesWritten = 0;
    }
    VXQ_HQUEUE MakeQueue(int32_t in_iCapacity)
    {
        EXPECT_EQ(VXQ_F_TOOLS_QUEUE_InitQueue(&m_hQueue, in_iCapacity), 1);
        return m_hQueue;
    }
    std::string DailyFile(const char *in_sDay) const
    {
        return m_sLogDir + "/Log" + in_sDay + ".txt";
    }

    TempDir m_tDir;
    std::string m_sLogDir;
    VXQ_HQUEUE m_hQueue = nullptr;
};

TEST_F(LogWriter, EnglishLineIsTimeFourBlanksHeadTwoBlanksTextInFileConsoleAndLineQueue)
{
    TestClock tClock(LocalSec(2026, 12, 6, 14, 3, 9));
    VXQ_HQUEUE hLines = MakeQueue(100);
    VXQ_F_LOG_SR_AttachLineQueue(hLines);
    VXQ_F_LOG_SR_SetIfShowLog(1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(VXQ_F_LOG_SR_WriteLog("camera 3 started", 2), 1);
    std::string sConsole = testing::internal::GetCapturedStdout();
    EXPECT_EQ(sConsole, "14:03:09    [Log]  camera 3 started\n");
    EXPECT_EQ(ReadFile(DailyFile("20261206")), "14:03:09    [Log]  camera 3 started\n");
    EXPECT_EQ(Drain(hLines), std::vector<std::string>{"14:03:09    [Log]  camera 3 started\r\n"});
    EXPECT_EQ(VXQ_F_LOG_SR_AttachLineQueue(nullptr), hLines);
}

TEST_F(LogWriter, NationalHeadsAreTheGbkBytesForLogAndPrompt)
{
    TestClock tClock(LocalSec(2026, 12, 6, 8, 0, 1));
    VXQ_F_LOG_SR_SetIfShowEnglishLogHead(0);
    VXQ_HQUEUE hLines = MakeQueue(100);
    VXQ_F_LOG_SR_AttachLineQueue(hLines);
    testing::internal::CaptureStdout();
    VXQ_F_LOG_SR_WriteLog("a", 2);
    VXQ_F_LOG_SR_ShowInfoEx("b");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "08:00:01    [\xCC\xE1\xCA\xBE]  b\n");
    EXPECT_EQ(ReadFile(DailyFile("20261206")), "08:00:01    [\xC8\xD5\xD6\xBE]  a\n");
    EXPECT_EQ(Drain(hLines), (std::vector<std::string>{"08:00:01    [\xC8\xD5\xD6\xBE]  a\r\n",
                                                       "08:00:01    [\xCC\xE1\xCA\xBE]  b\r\n"}));
}

TEST_F(LogWriter, DailyFilesAreNamedByDayInTheGivenFolderAndStartAnewAfterMidnight)
{
    TestClock tClock(LocalSec(2026, 2, 28, 23, 59, 59));
    struct stat tStat;
    ASSERT_NE(stat(m_sLogDir.c_str(), &tStat), 0);
    VXQ_F_LOG_SR_WriteLog("before midnight", 2);
    /* The folder is made on the first line. */
    ASSERT_EQ(stat(m_sLogDir.c_str(), &tStat), 0);
    EXPECT_TRUE(S_ISDIR(tStat.st_mode));
    EXPECT_EQ(tStat.st_mode & 0777 & ~0775u, 0u);
    VXQ_F_LOG_SR_WriteLog("still before", 2);
    EXPECT_EQ(tLogData.dwLinesWritten, 2u);
    tClock.AdvanceSec(1);
    VXQ_F_LOG_SR_WriteLog("after midnight", 2);
    EXPECT_EQ(tLogData.dwLinesWritten, 1u);
    EXPECT_EQ(ListDir(m_sLogDir), "Log20260228.txt Log20260301.txt");
    EXPECT_EQ(ReadFile(DailyFile("20260228")),
              "23:59:59    [Log]  before midnight\n23:59:59    [Log]  still before\n");
    EXPECT_EQ(ReadFile(DailyFile("20260301")), "00:00:00    [Log]  after midnight\n");
    EXPECT_EQ(VXQ_F_LOG_SR_CreateLogDir(), 0); /* exists already */
}

TEST_F(LogWriter, ADailyFileHoldsHalfAMillionLinesThenTheNextLineEmptiesIt)
{
    TestClock tClock(LocalSec(2026, 12, 6, 10, 0, 0));
    VXQ_F_LOG_SR_WriteLog("first", 2);
    {
        std::lock_guard<std::mutex> tGuard(tLogData.tLock);
        tLogData.dwLinesWritten = VXQ_LOG_DAILY_MAX_LINES - 1;
    }
    VXQ_F_LOG_SR_WriteLog("line 500000", 2);
    EXPECT_EQ(ReadFile(DailyFile("20261206")), "10:00:00    [Log]  first\n10:00:00    [Log]  line 500000\n");
    EXPECT_EQ(tLogData.dwLinesWritten, VXQ_LOG_DAILY_MAX_LINES);
    VXQ_F_LOG_SR_WriteLog("line 500001", 2);
    EXPECT_EQ(ReadFile(DailyFile("20261206")), "10:00:00    [Log]  line 500001\n");
    EXPECT_EQ(tLogData.dwLinesWritten, 1u);
}

TEST_F(LogWriter, AFullDailyFileThatCannotBeEmptiedDropsTheLineEverywhere)
{
    TestClock tClock(LocalSec(2026, 12, 6, 10, 0, 0));
    ASSERT_EQ(mkdir(m_sLogDir.c_str(), 0775), 0);
    /* A folder in the file's place cannot be opened for writing. */
    ASSERT_EQ(mkdir(DailyFile("20261206").c_str(), 0775), 0);
    VXQ_HQUEUE hLines = MakeQueue(100);
    VXQ_F_LOG_SR_AttachLineQueue(hLines);
    VXQ_F_LOG_SR_SetIfShowLog(1);
    testing::internal::CaptureStdout();
    VXQ_F_LOG_SR_WriteLog("open fails, line still shown", 2);
    {
        std::lock_guard<std::mutex> tGuard(tLogData.tLock);
        tLogData.dwLinesWritten = VXQ_LOG_DAILY_MAX_LINES;
    }
    VXQ_F_LOG_SR_WriteLog("dropped", 2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "10:00:00    [Log]  open fails, line still shown\n");
    EXPECT_EQ(Drain(hLines), std::vector<std::string>{"10:00:00    [Log]  open fails, line still shown\r\n"});
}

TEST_F(LogWriter, ANamedFileHasNoLimitByDefaultAndIsEmptiedAtItsMaximum)
{
    TestClock tClock(LocalSec(2026, 12, 6, 9, 30, 0));
    std::string sNamed = m_tDir.File("named.log");
    VXQ_F_LOG_SR_SetLogFileName(sNamed.c_str());
    VXQ_F_LOG_SR_WriteLog("one", 2);
    VXQ_F_LOG_SR_WriteLog("two", 2);
    VXQ_F_LOG_SR_WriteLog("three", 2);
    EXPECT_EQ(ReadFile(sNamed), "09:30:00    [Log]  one\n09:30:00    [Log]  two\n09:30:00    [Log]  three\n");
    EXPECT_EQ(ListDir(m_tDir.Path()), "named.log"); /* no daily file */

    const struct {
        int iKiloBytes;
        size_t nSizeBefore;
        bool bEmptied;
    } aCases[] = {
        {1, 1023, false}, {1, 1024, true}, {1024, 1048575, false}, {1024, 1048576, true}, {0, 5000000, false},
    };
    for (const auto &tCase : aCases) {
        VXQ_F_LOG_SR_SetMaxLogFileSize(tCase.iKiloBytes);
        std::string sBefore(tCase.nSizeBefore, 'f');
        ASSERT_TRUE(WriteFile(sNamed, sBefore));
        VXQ_F_LOG_SR_WriteLog("next", 2);
        std::string sExpected = (tCase.bEmptied ? std::string() : sBefore) + "09:30:00    [Log]  next\n";
        EXPECT_TRUE(ReadFile(sNamed) == sExpected) << tCase.iKiloBytes << " KB, " << tCase.nSizeBefore;
        EXPECT_EQ(VXQ_F_LOG_SR_ReadFileSize(sNamed.c_str()), (int64_t)sExpected.size());
    }
    /* Back to daily files. */
    VXQ_F_LOG_SR_SetLogFileName(nullptr);
    VXQ_F_LOG_SR_WriteLog("daily again", 2);
    EXPECT_EQ(ReadFile(DailyFile("20261206")), "09:30:00    [Log]  daily again\n");
    EXPECT_EQ(VXQ_F_LOG_SR_ReadFileSize(m_tDir.File("missing").c_str()), 0);
    EXPECT_EQ(VXQ_F_LOG_SR_ReadFileSize(nullptr), 0);
}

TEST_F(LogWriter, HostLogRecordIs536BytesWithTimeLevelAndTextCutTo489)
{
    static_assert(sizeof(_VXQ_S_LOG_SR_RECV_LOG_DATA) == 536, "record size");
    static_assert(offsetof(_VXQ_S_LOG_SR_RECV_LOG_DATA, iLevel) == 20, "level offset");
    static_assert(offsetof(_VXQ_S_LOG_SR_RECV_LOG_DATA, sText) == 24, "text offset");
    TestClock tClock(LocalSec(2026, 12, 6, 14, 3, 9));
    VXQ_HQUEUE hRecords = MakeQueue(2);
    VXQ_F_LOG_SR_SetRecvLogQueue(hRecords);
    std::string sLong(600, 'm');
    sLong[488] = 'E'; /* the last character kept */
    EXPECT_EQ(VXQ_F_LOG_SR_WriteLog(sLong.c_str(), 1), 1);
    EXPECT_EQ(VXQ_F_LOG_SR_ShowInfo("short"), 1);
    /* The queue is full now: the record is dropped and the call says so. */
    EXPECT_EQ(VXQ_F_LOG_SR_WriteLog("lost", 2), 0);
    EXPECT_EQ(VXQ_F_LOG_SR_WriteLogToQueue(0, "lost too"), 0);
    std::vector<std::string> tRecords = Drain(hRecords);
    ASSERT_EQ(tRecords.size(), 2u);
    ASSERT_EQ(tRecords[0].size(), 536u);
    const std::string &sRec = tRecords[0];
    std::string sTime = "2026-12-06 14:03:09";
    EXPECT_EQ(sRec.substr(0, 19), sTime);
    EXPECT_EQ(sRec.substr(19, 1), std::string(1, '\0'));
    int32_t iLevel = -1;
    memcpy(&iLevel, sRec.data() + 20, 4);
    EXPECT_EQ(iLevel, 1);
    std::string sText = sRec.substr(24);
    EXPECT_EQ(strlen(sText.c_str()), 19u + 2u + 489u);
    EXPECT_EQ(sText.substr(0, 510), sTime + "  " + sLong.substr(0, 489));
    EXPECT_EQ(sText.substr(510), std::string(2, '\0'));
    memcpy(&iLevel, tRecords[1].data() + 20, 4);
    EXPECT_EQ(iLevel, 3);
    EXPECT_STREQ(tRecords[1].c_str() + 24, (sTime + "  short").c_str());
    EXPECT_EQ(tRecords[1].substr(24 + 26), std::string(536 - 24 - 26, '\0'));
    /* Without a queue every record counts as delivered. */
    VXQ_F_LOG_SR_SetRecvLogQueue(nullptr);
    EXPECT_EQ(VXQ_F_LOG_SR_WriteLogToQueue(2, "nobody listens"), 1);
    EXPECT_EQ(VXQ_F_LOG_SR_WriteLogToQueue(2, nullptr), 0);
}

TEST_F(LogWriter, ShowInfoExPrintsWithTheEchoOffAndShowInfoDoesNot)
{
    TestClock tClock(LocalSec(2026, 12, 6, 7, 5, 3));
    const struct {
        int bShow;
        const char *sExpected;
    } aCases[] = {
        {0, "07:05:03    [Prompt]  ex\n"},
        {1, "07:05:03    [Prompt]  plain\n07:05:03    [Prompt]  ex\n07:05:03    [Log]  log\n"},
    };
    for (const auto &tCase : aCases) {
        VXQ_F_LOG_SR_SetIfShowLog(tCase.bShow);
        testing::internal::CaptureStdout();
        VXQ_F_LOG_SR_ShowInfo("plain");
        VXQ_F_LOG_SR_ShowInfoEx("ex");
        VXQ_F_LOG_SR_WriteLog("log", 2);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), tCase.sExpected) << tCase.bShow;
    }
    /* Prompts reach the file only on request, as log lines. */
    EXPECT_EQ(ReadFile(DailyFile("20261206")), "07:05:03    [Log]  log\n07:05:03    [Log]  log\n");
    VXQ_F_LOG_SR_SetIfShowLog(0);
    VXQ_F_LOG_SR_SetIfShowInfoWriteFile(1);
    VXQ_F_LOG_SR_ShowInfo("to file");
    EXPECT_EQ(ReadFile(DailyFile("20261206")),
              "07:05:03    [Log]  log\n07:05:03    [Log]  log\n07:05:03    [Log]  to file\n");
}

TEST_F(LogWriter, WithFileWritingOffNoFileIsMadeButTheFeedsGoOn)
{
    TestClock tClock(LocalSec(2026, 12, 6, 7, 5, 3));
    VXQ_F_LOG_SR_SetIfWriteLogToFile(0);
    VXQ_HQUEUE hLines = MakeQueue(10);
    VXQ_F_LOG_SR_AttachLineQueue(hLines);
    VXQ_F_LOG_SR_WriteLog("console only", 2);
    EXPECT_EQ(ListDir(m_tDir.Path()), "");
    EXPECT_EQ(Drain(hLines).size(), 1u);
}

/* An upload client stand-in: keeps every line it gets, and can try to log from inside. */
struct UpCollector {
    std::vector<std::string> tLines;
    int iNestedResult = -1;
    bool bLogInside = false;
};

static int CollectLine(void *in_pClient, const char *in_pLine, int in_iLen)
{
    UpCollector *pCollector = (UpCollector *)in_pClient;
    pCollector->tLines.push_back(std::string(in_pLine, (size_t)in_iLen));
    if (pCollector->bLogInside)
        pCollector->iNestedResult = VXQ_F_LOG_SR_WriteLog("from inside the writer", 2);
    return 1;
}

TEST_F(LogWriter, TheUploadClientGetsEveryLineUntilDetachedAndCannotFeedItself)
{
    TestClock tClock(LocalSec(2026, 12, 6, 12, 0, 0));
    UpCollector tCollector;
    tCollector.bLogInside = true;
    VXQ_F_LOG_SR_AttachUpClient(&tCollector, CollectLine);
    VXQ_F_LOG_SR_WriteLog("up 1", 2);
    VXQ_F_LOG_SR_ShowInfo("up 2");
    VXQ_F_LOG_SR_AttachUpClient(&tCollector, nullptr);
    VXQ_F_LOG_SR_WriteLog("after detach", 2);
    EXPECT_EQ(tCollector.tLines,
              (std::vector<std::string>{"12:00:00    [Log]  up 1\r\n", "12:00:00    [Prompt]  up 2\r\n"}));
    /* The nested call returned at once instead of deadlocking, and wrote nothing. */
    EXPECT_EQ(tCollector.iNestedResult, 0);
    EXPECT_EQ(ReadFile(DailyFile("20261206")), "12:00:00    [Log]  up 1\n12:00:00    [Log]  after detach\n");
}

TEST_F(LogWriter, EightThreadsWritingAtOnceProduceWholeLinesOnly)
{
    TestClock tClock(LocalSec(2026, 12, 6, 11, 0, 0));
    const int iThreads = 8, iLinesEach = 400;
    VXQ_HQUEUE hLines = MakeQueue(iThreads * iLinesEach);
    VXQ_F_LOG_SR_AttachLineQueue(hLines);
    VXQ_HQUEUE hRecords = nullptr;
    ASSERT_EQ(VXQ_F_TOOLS_QUEUE_InitQueue(&hRecords, iThreads * iLinesEach), 1);
    VXQ_F_LOG_SR_SetRecvLogQueue(hRecords);
    std::vector<std::thread> tWorkers;
    for (int t = 0; t < iThreads; t++) {
        tWorkers.emplace_back([t] {
            /* Lines of different lengths, so a torn line would show. */
            std::string sFill((size_t)(50 + t * 37), (char)('a' + t));
            for (int i = 0; i < iLinesEach; i++) {
                char sHead[32];
                snprintf(sHead, sizeof(sHead), "T%d #%04d ", t, i);
                VXQ_F_LOG_SR_WriteLog((sHead + sFill).c_str(), 2);
            }
        });
    }
    for (std::thread &tWorker : tWorkers)
        tWorker.join();
    VXQ_F_LOG_SR_SetRecvLogQueue(nullptr);

    std::string sFile = ReadFile(DailyFile("20261206"));
    std::vector<int> tNext(iThreads, 0);
    size_t nAt = 0;
    int iLines = 0;
    while (nAt < sFile.size()) {
        size_t nEnd = sFile.find('\n', nAt);
        ASSERT_NE(nEnd, std::string::npos);
        std::string sLine = sFile.substr(nAt, nEnd - nAt);
        nAt = nEnd + 1;
        ASSERT_GT(sLine.size(), 19u);
        ASSERT_EQ(sLine.substr(8, 11), "    [Log]  ") << sLine;
        int t = -1, i = -1;
        ASSERT_EQ(sscanf(sLine.c_str() + 19, "T%d #%d ", &t, &i), 2) << sLine;
        ASSERT_TRUE(t >= 0 && t < iThreads) << sLine;
        /* Each thread's lines come whole and in its own order. */
        EXPECT_EQ(i, tNext[t]) << sLine;
        tNext[t] = i + 1;
        char sHead[32];
        snprintf(sHead, sizeof(sHead), "T%d #%04d ", t, i);
        EXPECT_EQ(sLine.substr(19), sHead + std::string((size_t)(50 + t * 37), (char)('a' + t)));
        iLines++;
    }
    EXPECT_EQ(iLines, iThreads * iLinesEach);
    std::vector<std::string> tQueued = Drain(hLines);
    ASSERT_EQ(tQueued.size(), (size_t)(iThreads * iLinesEach));
    for (const std::string &sItem : tQueued)
        ASSERT_EQ(sItem.find("\r\n"), sItem.size() - 2) << sItem;
    EXPECT_EQ(Drain(hRecords).size(), (size_t)(iThreads * iLinesEach));
    VXQ_F_TOOLS_QUEUE_FreeQueue(&hRecords);
}

TEST_F(LogWriter, ControlBytesReachEveryOutputAsHexEscapesAndOtherTextStaysAsItWas)
{
    TestClock tClock(LocalSec(2026, 12, 6, 9, 30, 0));
    const struct {
        std::string sMessage;
        std::string sWritten;
    } tCases[] = {
        {"plain \\x41 text", "plain \\x41 text"},
        {"user\r\n09:00:00    [Log]  forged", "user\\x0d\\x0a09:00:00    [Log]  forged"},
        {"\x1b[2J\x07tab\there\x7f", "\\x1b[2J\\x07tab\\x09here\\x7f"},
        {"gbk \xC8\xD5\xD6\xBE utf-8 \xC3\xA9", "gbk \xC8\xD5\xD6\xBE utf-8 \xC3\xA9"},
        {"own line end\n", "own line end"},
        {"own line end\r\n", "own line end"},
        {"only the last one\n\n", "only the last one\\x0a"},
    };
    VXQ_HQUEUE hLines = MakeQueue(100);
    VXQ_F_LOG_SR_AttachLineQueue(hLines);
    VXQ_HQUEUE hRecords = nullptr;
    ASSERT_EQ(VXQ_F_TOOLS_QUEUE_InitQueue(&hRecords, 100), 1);
    VXQ_F_LOG_SR_SetRecvLogQueue(hRecords);
    VXQ_F_LOG_SR_SetIfShowLog(1);
    std::string sFile;
    for (const auto &c : tCases) {
        SCOPED_TRACE(c.sWritten);
        std::string sLine = "09:30:00    [Log]  " + c.sWritten;
        testing::internal::CaptureStdout();
        VXQ_F_LOG_SR_WriteLog(c.sMessage.c_str(), 2);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), sLine + "\n");
        sFile += sLine + "\n";
        EXPECT_EQ(Drain(hLines), std::vector<std::string>{sLine + "\r\n"});
        std::vector<std::string> tRecords = Drain(hRecords);
        ASSERT_EQ(tRecords.size(), 1u);
        EXPECT_STREQ(tRecords[0].c_str() + 24, ("2026-12-06 09:30:00  " + c.sWritten).c_str());
    }
    EXPECT_EQ(ReadFile(DailyFile("20261206")), sFile);
    /* Prompt lines take the same way; the record keeps 489 characters without
     * cutting an escape in two. */
    testing::internal::CaptureStdout();
    VXQ_F_LOG_SR_ShowInfoEx(std::string(200, '\x01').c_str());
    std::string sEscapes;
    for (int i = 0; i < 200; i++)
        sEscapes += "\\x01";
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "09:30:00    [Prompt]  " + sEscapes + "\n");
    std::vector<std::string> tRecords = Drain(hRecords);
    ASSERT_EQ(tRecords.size(), 1u);
    EXPECT_STREQ(tRecords[0].c_str() + 24, ("2026-12-06 09:30:00  " + sEscapes.substr(0, 488)).c_str());
    VXQ_F_LOG_SR_SetRecvLogQueue(nullptr);
    VXQ_F_TOOLS_QUEUE_FreeQueue(&hRecords);
}
