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

#include <sstream>
#include <string>
#include <thread>
#include <vector>

/* Calendar seconds of a local "YYYY-MM-DD HH:MM:SS". */
static int32_t LocalSec(const char *in_sText)
{
    struct tm tLocal = {};
    strptime(in_sText, "%Y-%m-%d %H:%M:%S", &tLocal);
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
        for (VXQ_HQUEUE &hQueue : m_tQueues)
            VXQ_F_TOOLS_QUEUE_FreeQueue(&hQueue);
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
        SetLinesWritten(0, true);
    }
    static void SetLinesWritten(uint32_t in_dwLines, bool in_bNewDay = false)
    {
        std::lock_guard<std::mutex> tGuard(tLogData.tLock);
        tLogData.dwLinesWritten = in_dwLines;
        if (in_bNewDay)
            tLogData.sCurrentDay[0] = '\0';
    }
    VXQ_HQUEUE MakeQueue(int32_t in_iCapacity)
    {
        m_tQueues.push_back(nullptr);
        EXPECT_EQ(VXQ_F_TOOLS_QUEUE_InitQueue(&m_tQueues.back(), in_iCapacity), 1);
        return m_tQueues.back();
    }
    std::string DailyFile(const char *in_sDay) const
    {
        return m_sLogDir + "/Log" + in_sDay + ".txt";
    }

    TempDir m_tDir;
    std::string m_sLogDir;
    std::vector<VXQ_HQUEUE> m_tQueues;
};

TEST_F(LogWriter, EachCallReachesConsoleFileLineQueueAndRecordsAsItsSwitchesSayWithControlBytesEscaped)
{
    /* A line is "time, four blanks, [head], two blanks, text"; the line queue
     * gets it with CR LF, the record as "date time, two blanks, text". Heads
     * are English or the GBK bytes of the national ones; the file always
     * takes the log head. Control bytes become hex escapes everywhere, except
     * one line end closing the text, which is dropped. */
    TestClock tClock(LocalSec("2026-12-06 14:03:09"));
    VXQ_HQUEUE hLines = MakeQueue(100), hRecords = MakeQueue(100);
    VXQ_F_LOG_SR_AttachLineQueue(hLines);
    VXQ_F_LOG_SR_SetRecvLogQueue(hRecords);
    enum { LOG, INFO, INFO_EX };
    const struct {
        int bEnglish, bShow, bInfoToFile, bToFile, iCall;
        const char *sMessage, *sWritten;
        int bConsole, bFile;
    } tRows[] = {
        {1, 0, 0, 0, LOG, "console only", "console only", 0, 0}, /* no file made */
        {1, 1, 0, 1, LOG, "camera 3", "camera 3", 1, 1},
        {0, 0, 0, 1, LOG, "a", "a", 0, 1},
        {0, 0, 0, 1, INFO_EX, "b", "b", 1, 0},
        {1, 0, 0, 1, INFO, "plain", "plain", 0, 0},
        {1, 0, 0, 1, INFO_EX, "ex", "ex", 1, 0},
        {1, 1, 0, 1, INFO, "plain", "plain", 1, 0},
        {1, 0, 1, 1, INFO, "to file", "to file", 0, 1},
        {1, 1, 0, 1, LOG, "plain \\x41 text", "plain \\x41 text", 1, 1},
        {1, 1, 0, 1, LOG, "\x1b[2J\x07tab\there\x7f", "\\x1b[2J\\x07tab\\x09here\\x7f", 1, 1},
        {1, 1, 0, 1, LOG, "gbk \xC8\xD5\xD6\xBE utf-8 \xC3\xA9", "gbk \xC8\xD5\xD6\xBE utf-8 \xC3\xA9", 1, 1},
        {1, 1, 0, 1, LOG, "own line end\n", "own line end", 1, 1},
        {1, 1, 0, 1, LOG, "own line end\r\n", "own line end", 1, 1},
        {1, 1, 0, 1, LOG, "only the last one\n\n", "only the last one\\x0a", 1, 1},
    };
    std::string sFile;
    for (const auto &r : tRows) {
        SCOPED_TRACE(r.sWritten);
        VXQ_F_LOG_SR_SetIfShowEnglishLogHead(r.bEnglish);
        VXQ_F_LOG_SR_SetIfShowLog(r.bShow);
        VXQ_F_LOG_SR_SetIfShowInfoWriteFile(r.bInfoToFile);
        VXQ_F_LOG_SR_SetIfWriteLogToFile(r.bToFile);
        testing::internal::CaptureStdout();
        if (r.iCall == LOG)
            EXPECT_EQ(VXQ_F_LOG_SR_WriteLog(r.sMessage, 2), 1);
        else if (r.iCall == INFO)
            VXQ_F_LOG_SR_ShowInfo(r.sMessage);
        else
            VXQ_F_LOG_SR_ShowInfoEx(r.sMessage);
        const std::string sLogHead = r.bEnglish ? "[Log]  " : "[\xC8\xD5\xD6\xBE]  ";
        const std::string sHead = r.iCall == LOG ? sLogHead
                                  : r.bEnglish   ? "[Prompt]  "
                                                 : "[\xCC\xE1\xCA\xBE]  ";
        const std::string sLine = "14:03:09    " + sHead + r.sWritten;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), r.bConsole ? sLine + "\n" : "");
        if (r.bFile)
            sFile += "14:03:09    " + sLogHead + r.sWritten + "\n";
        bool bExists = false;
        EXPECT_EQ(ReadFile(DailyFile("20261206"), &bExists), sFile);
        EXPECT_EQ(bExists, !sFile.empty());
        std::vector<std::string> tQueued = Drain(hLines), tRecords = Drain(hRecords);
        ASSERT_GE(tQueued.size(), 1u); /* a prompt sent to the file may follow as its log line */
        ASSERT_EQ(tRecords.size(), 1u);
        EXPECT_EQ(tQueued[0], sLine + "\r\n");
        EXPECT_STREQ(tRecords[0].c_str() + 24, ("2026-12-06 14:03:09  " + std::string(r.sWritten)).c_str());
    }
    /* The record keeps 489 characters without cutting an escape in two. */
    VXQ_F_LOG_SR_ShowInfoEx(std::string(200, '\x01').c_str());
    std::string sEscapes;
    for (int i = 0; i < 200; i++)
        sEscapes += "\\x01";
    std::vector<std::string> tRecords = Drain(hRecords);
    ASSERT_EQ(tRecords.size(), 1u);
    EXPECT_STREQ(tRecords[0].c_str() + 24, ("2026-12-06 14:03:09  " + sEscapes.substr(0, 488)).c_str());
    EXPECT_EQ(VXQ_F_LOG_SR_AttachLineQueue(nullptr), hLines);
}

TEST_F(LogWriter, DailyFilesAreNamedByDayStartAnewAfterMidnightAndHoldHalfAMillionLines)
{
    TestClock tClock(LocalSec("2026-02-28 23:59:59"));
    struct stat tStat;
    ASSERT_NE(stat(m_sLogDir.c_str(), &tStat), 0);
    VXQ_F_LOG_SR_WriteLog("before midnight", 2);
    ASSERT_EQ(stat(m_sLogDir.c_str(), &tStat), 0); /* the folder is made on the first line */
    EXPECT_TRUE(S_ISDIR(tStat.st_mode));
    EXPECT_EQ(tStat.st_mode & 0777 & ~0775u, 0u);
    SetLinesWritten(VXQ_LOG_DAILY_MAX_LINES - 1);
    VXQ_F_LOG_SR_WriteLog("line 500000", 2);
    EXPECT_EQ(tLogData.dwLinesWritten, VXQ_LOG_DAILY_MAX_LINES);
    tClock.AdvanceSec(1);
    VXQ_F_LOG_SR_WriteLog("after midnight", 2);
    EXPECT_EQ(tLogData.dwLinesWritten, 1u);
    EXPECT_EQ(ListDir(m_sLogDir), "Log20260228.txt Log20260301.txt");
    EXPECT_EQ(ReadFile(DailyFile("20260228")),
              "23:59:59    [Log]  before midnight\n23:59:59    [Log]  line 500000\n");
    SetLinesWritten(VXQ_LOG_DAILY_MAX_LINES);
    VXQ_F_LOG_SR_WriteLog("line 500001", 2); /* empties the file first */
    EXPECT_EQ(ReadFile(DailyFile("20260301")), "00:00:00    [Log]  line 500001\n");
    EXPECT_EQ(tLogData.dwLinesWritten, 1u);

    /* A folder in the file's place cannot be opened: the line is still shown, a full one dropped. */
    ASSERT_EQ(remove(DailyFile("20260301").c_str()), 0);
    ASSERT_EQ(mkdir(DailyFile("20260301").c_str(), 0775), 0);
    VXQ_HQUEUE hLines = MakeQueue(100);
    VXQ_F_LOG_SR_AttachLineQueue(hLines);
    VXQ_F_LOG_SR_SetIfShowLog(1);
    testing::internal::CaptureStdout();
    VXQ_F_LOG_SR_WriteLog("open fails, line still shown", 2);
    SetLinesWritten(VXQ_LOG_DAILY_MAX_LINES);
    VXQ_F_LOG_SR_WriteLog("dropped", 2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "00:00:00    [Log]  open fails, line still shown\n");
    EXPECT_EQ(Drain(hLines), std::vector<std::string>{"00:00:00    [Log]  open fails, line still shown\r\n"});
}

TEST_F(LogWriter, ANamedFileHasNoLimitByDefaultAndIsEmptiedAtItsMaximum)
{
    TestClock tClock(LocalSec("2026-12-06 09:30:00"));
    std::string sNamed = m_tDir.File("named.log");
    VXQ_F_LOG_SR_SetLogFileName(sNamed.c_str());
    const struct {
        int iKiloBytes;
        size_t nSizeBefore;
        bool bEmptied;
    } aCases[] = {
        /* clang-format off */
        {0, 5000000, false}, {1, 1023, false}, {1, 1024, true}
        /* clang-format on */
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
    EXPECT_EQ(ListDir(m_tDir.Path()), "named.log"); /* no daily file */
    VXQ_F_LOG_SR_SetLogFileName(nullptr);           /* back to daily files */
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
    TestClock tClock(LocalSec("2026-12-06 14:03:09"));
    VXQ_HQUEUE hRecords = MakeQueue(2);
    VXQ_F_LOG_SR_SetRecvLogQueue(hRecords);
    std::string sLong(600, 'm');
    sLong[488] = 'E'; /* the last character kept */
    EXPECT_EQ(VXQ_F_LOG_SR_WriteLog(sLong.c_str(), 1), 1);
    EXPECT_EQ(VXQ_F_LOG_SR_ShowInfo("short"), 1);
    /* The queue is full now: the record is dropped and the call says so. */
    EXPECT_EQ(VXQ_F_LOG_SR_WriteLog("lost", 2), 0);
    EXPECT_EQ(VXQ_F_LOG_SR_WriteLogToQueue(0, "lost too"), 0);
    /* Time text and its zero, the level at 20, the text at 24, zeros to the end. */
    auto Record = [](int32_t in_iLevel, const std::string &in_sText) {
        std::string sRec(536, '\0');
        sRec.replace(0, 19, "2026-12-06 14:03:09");
        memcpy(&sRec[20], &in_iLevel, 4);
        return sRec.replace(24, in_sText.size(), in_sText);
    };
    EXPECT_EQ(Drain(hRecords),
              (std::vector<std::string>{Record(1, "2026-12-06 14:03:09  " + sLong.substr(0, 489)),
                                        Record(3, "2026-12-06 14:03:09  short")}));
    /* Without a queue every record counts as delivered. */
    VXQ_F_LOG_SR_SetRecvLogQueue(nullptr);
    EXPECT_EQ(VXQ_F_LOG_SR_WriteLogToQueue(2, "nobody listens"), 1);
}

TEST_F(LogWriter, EightThreadsWritingAtOnceProduceWholeLinesOnly)
{
    TestClock tClock(LocalSec("2026-12-06 11:00:00"));
    const int iThreads = 8, iLinesEach = 400;
    /* Lines of different lengths per thread, so a torn line would show. */
    auto Line = [](int t, int i) {
        char sHead[32];
        snprintf(sHead, sizeof(sHead), "T%d #%04d ", t, i);
        return sHead + std::string((size_t)(50 + t * 37), (char)('a' + t));
    };
    std::vector<std::thread> tWorkers;
    for (int t = 0; t < iThreads; t++)
        tWorkers.emplace_back([t, &Line] {
            for (int i = 0; i < iLinesEach; i++)
                VXQ_F_LOG_SR_WriteLog(Line(t, i).c_str(), 2);
        });
    for (std::thread &tWorker : tWorkers)
        tWorker.join();
    /* Each thread's lines come whole and in its own order. */
    std::istringstream tFile(ReadFile(DailyFile("20261206")));
    std::vector<int> tNext(iThreads, 0);
    std::string sLine;
    int iLines = 0, t = 0, i = 0;
    while (std::getline(tFile, sLine)) {
        ASSERT_EQ(sscanf(sLine.c_str(), "11:00:00    [Log]  T%d #%d ", &t, &i), 2) << sLine;
        ASSERT_TRUE(t >= 0 && t < iThreads) << sLine;
        EXPECT_EQ(sLine, "11:00:00    [Log]  " + Line(t, tNext[t]++));
        iLines++;
    }
    EXPECT_EQ(iLines, iThreads * iLinesEach);
}
