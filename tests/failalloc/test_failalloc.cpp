/* Allocation-failure injection: a scripted session (start, login, live view,
 * download, logout, stop) runs once counting the library's heap allocations,
 * then once for every N up to that count with the N-th allocation failing.
 * Whatever fails, nothing crashes, nothing leaks, the failure is logged, and
 * the service still serves a client that logs in afterwards and one that was
 * logged in before. */
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define VXQ_TEST_LEAK_CHECK() __lsan_do_recoverable_leak_check()
#else
#define VXQ_TEST_LEAK_CHECK() 0
#endif

#include "clibody.h"
#include "failalloc/failalloc_hook.h"
#include "support/temp_dir.h"
#include "support/test_client.h"
#include "support/test_host.h"
#include "wire/head.h"
#include "vxq_dps.h"
#include "vxq_log.h"

namespace
{

const char *const kUser = "admin";
const char *const kPassword = "pw";
const int kWaitMs = 3000;      /* an answer that must come */
const int kAfterFailMs = 300;  /* how long an answer may still come once a failure happened */
const size_t kFileSize = 3000; /* the downloaded recording */

typedef std::chrono::steady_clock Clock;

/* What one run of the script saw: the client under test logged in, got a video
 * frame and the whole file; the clients before and after were served; a media
 * input call returned 0; everything the log writer wrote. */
struct SessionResult {
    bool bStarted = false, bLoggedIn = false, bViewed = false, bDownloaded = false;
    bool bOtherServed = false, bFreshServed = false, bInputRefused = false;
    std::string sLog;
};

/* The deadline of a wait that starts now: kWaitMs, cut to kAfterFailMs after
 * the injected failure (re-read while waiting, so a failure that happens
 * during the wait shortens it too). */
bool PastDeadline(Clock::time_point in_tStart, Clock::time_point &inout_tFailSeen)
{
    Clock::time_point tNow = Clock::now();
    if (VXQ_F_FAILALLOC_Fired() && inout_tFailSeen == Clock::time_point())
        inout_tFailSeen = tNow;
    if (tNow - in_tStart >= std::chrono::milliseconds(kWaitMs))
        return true;
    return inout_tFailSeen != Clock::time_point() &&
           tNow - std::max(in_tStart, inout_tFailSeen) >= std::chrono::milliseconds(kAfterFailMs);
}

/* The next message of in_usFuncId (others skipped) within the deadline: 1, or 0 on time-out or close. */
int ReadOf(TestClient &inout_tCli, uint16_t in_usFuncId, std::vector<uint8_t> &out_tMsg)
{
    Clock::time_point tStart = Clock::now(), tFailSeen;
    while (!PastDeadline(tStart, tFailSeen)) {
        if (VXQ_F_TESTCLI_ReadMsg(&inout_tCli.t, out_tMsg, 20)) {
            _VXQ_S_TESTCLI_HEAD tHead;
            if (VXQ_F_CLI_ParseHead(out_tMsg.data(), out_tMsg.size(), &tHead) && tHead.usMsgFuncId == in_usFuncId)
                return 1;
        } else if (inout_tCli.t.bPeerClosed) {
            return 0;
        }
    }
    return 0;
}

/* Sends a request: the answer's result code, or -1. */
int Ask(TestClient &inout_tCli, const std::vector<uint8_t> &in_tMsg, std::vector<uint8_t> &out_tAnswer)
{
    _VXQ_S_TESTCLI_HEAD tHead;
    if (!VXQ_F_CLI_ParseHead(in_tMsg.data(), in_tMsg.size(), &tHead) || !VXQ_F_TESTCLI_SendMsg(&inout_tCli.t, in_tMsg) ||
        !ReadOf(inout_tCli, tHead.usMsgFuncId, out_tAnswer))
        return -1;
    return out_tAnswer[11];
}

/* Connects, asks for a token and logs in: the login id, or 0. */
uint32_t Login(TestClient &inout_tCli, uint16_t in_usPort)
{
    std::vector<uint8_t> tAnswer;
    std::string sToken;
    _VXQ_S_CLI_LOGIN_INFO tInfo;
    if (!VXQ_F_TESTCLI_Connect(&inout_tCli.t, in_usPort, kWaitMs) ||
        Ask(inout_tCli, VXQ_F_CLI_BuildToken(1), tAnswer) != 0 ||
        !VXQ_F_CLI_ParseToken(tAnswer.data(), tAnswer.size(), &sToken, nullptr) ||
        Ask(inout_tCli, VXQ_F_CLI_BuildLogin(2, kUser, VXQ_F_CLI_LoginDigest(sToken, kPassword)), tAnswer) !=
            0 ||
        !VXQ_F_CLI_ParseLogin(tAnswer.data(), tAnswer.size(), &tInfo))
        return 0;
    return tInfo.dwLoginId;
}

/* Opens channel 1 main stream, feeds frames until a video frame arrives, closes: true when one came. */
bool LiveView(_VXQ_S_TESTHOST_DATA *inout_pHost, TestClient &inout_tCmd, uint32_t in_dwLoginId,
              bool *out_pbRefused)
{
    TestClient tMedia;
    std::vector<uint8_t> tAnswer;
    uint32_t dwMediaId = 0;
    if (!VXQ_F_TESTCLI_Connect(&tMedia.t, inout_pHost->usPort, kWaitMs) ||
        Ask(tMedia, VXQ_F_CLI_BuildExRealplayOpen(1, in_dwLoginId, 1, 0, 0), tAnswer) != 0 ||
        !VXQ_F_CLI_ParseExRealplayOpen(tAnswer.data(), tAnswer.size(), &dwMediaId))
        return false;
    bool bFrame = false;
    uint8_t aData[256];
    memset(aData, 0x5A, sizeof(aData));
    Clock::time_point tStart = Clock::now(), tFailSeen;
    for (int iNo = 0; !bFrame && !PastDeadline(tStart, tFailSeen); iNo++) {
        if (!VXQ_F_DPS_InputVideoStream(inout_pHost->pSrv, 1, 0, iNo % 3 == 0 ? 1 : 2, aData, sizeof(aData)))
            *out_pbRefused = true;
        if (!VXQ_F_DPS_InputAudioStream(inout_pHost->pSrv, 1, 0, aData, 32))
            *out_pbRefused = true;
        std::vector<uint8_t> tMsg;
        while (!bFrame && VXQ_F_TESTCLI_ReadMsg(&tMedia.t, tMsg, 5)) {
            _VXQ_S_CLI_MEDIA_HEAD tFrame;
            bFrame = VXQ_F_CLI_ParseFrame(tMsg.data(), tMsg.size(), &tFrame) && tFrame.bVideo;
        }
    }
    Ask(inout_tCmd, VXQ_F_CLI_BuildExRealplayClose(3, in_dwLoginId, dwMediaId), tAnswer);
    return bFrame;
}

/* Downloads "ch0/rec-0001": true when every byte came. */
bool Download(_VXQ_S_TESTHOST_DATA *inout_pHost, uint32_t in_dwLoginId)
{
    TestClient tDown;
    std::vector<uint8_t> tAnswer;
    uint32_t dwReadId = 0;
    _VXQ_S_CLI_FILE_INFO tInfo;
    if (!VXQ_F_TESTCLI_Connect(&tDown.t, inout_pHost->usPort, kWaitMs) ||
        Ask(tDown, VXQ_F_CLI_BuildDownloadOpen(1, in_dwLoginId, "ch0/rec-0001"), tAnswer) != 0 ||
        !VXQ_F_CLI_ParseDownloadOpen(tAnswer.data(), tAnswer.size(), &dwReadId, &tInfo))
        return false;
    size_t iGot = 0;
    bool bEnd = false;
    for (uint32_t dwRequId = 1; !bEnd && dwRequId < 8; dwRequId++) {
        if (!VXQ_F_TESTCLI_SendMsg(
                &tDown.t, VXQ_F_CLI_BuildDownloadGet(10 + dwRequId, in_dwLoginId, dwReadId, dwRequId, 0, 0)))
            break;
        _VXQ_S_CLI_FILE_PIECE tPiece;
        do {
            if (!ReadOf(tDown, P3_DOWNLOAD_GET, tAnswer) || tAnswer[11] != 0 ||
                !VXQ_F_CLI_ParseDownloadGet(tAnswer.data(), tAnswer.size(), &tPiece))
                return false;
            iGot += tPiece.dwDataLen;
            bEnd = tPiece.ucDataEnd == 1;
        } while (tPiece.ucDataEnd == 0);
    }
    Ask(tDown, VXQ_F_CLI_BuildDownloadClose(20, in_dwLoginId, dwReadId), tAnswer);
    return bEnd && iGot == kFileSize;
}

/* The script's host: one recording, every live stream opened. */
void InstallHost(_VXQ_S_TESTHOST_DATA *inout_pHost)
{
    VXQ_F_TESTHOST_AddUser(inout_pHost, kUser, kPassword, 0xFF, 0xFF);
    inout_pHost->tCap.iDevCapValue5 = 1;
    VXQ_F_RECHOST_AddFile(inout_pHost, "ch0/rec-0001", 0, kFileSize, 11);
    VXQ_F_TESTHOST_SetHook(inout_pHost, VXQ_F_TESTHOST_AnswerOpenStream);
}

/* One run of the script with the in_iFailAt-th library allocation failing (0:
 * none). The log writer writes into in_sLogFile, which is emptied first. */
SessionResult RunSession(int64_t in_iFailAt, const std::string &in_sLogFile)
{
    SessionResult tResult;
    WriteFile(in_sLogFile, "");
    {
        _VXQ_S_TESTHOST_DATA tHost;
        InstallHost(&tHost);
        tHost.bWriteLogToFile = 1;
        VXQ_F_FAILALLOC_Arm(in_iFailAt);
        /* A start that fails is retried by the test host, as a host would. */
        tResult.bStarted = VXQ_F_TESTHOST_Start(&tHost, 0, 2000) == 1;
        if (tResult.bStarted) {
            TestClient tOther, tCli, tFresh;
            uint32_t dwOtherId = Login(tOther, tHost.usPort);
            uint32_t dwLoginId = Login(tCli, tHost.usPort);
            tResult.bLoggedIn = dwLoginId != 0;
            if (tResult.bLoggedIn) {
                tResult.bViewed = LiveView(&tHost, tCli, dwLoginId, &tResult.bInputRefused);
                tResult.bDownloaded = Download(&tHost, dwLoginId);
                std::vector<uint8_t> tAnswer;
                Ask(tCli, VXQ_F_CLI_BuildLogout(9), tAnswer);
            }
            VXQ_F_TESTCLI_Close(&tCli.t);
            /* Whatever failed, the service still serves: the client logged in
             * before answers a heartbeat, a new client logs in. When the
             * failure strikes these checks themselves, they are made again. */
            for (int iTry = 0; iTry < 2 && !(tResult.bOtherServed && tResult.bFreshServed); iTry++) {
                bool bFiredBefore = VXQ_F_FAILALLOC_Fired() != 0;
                std::vector<uint8_t> tBeat;
                if (dwOtherId == 0 || iTry > 0) {
                    VXQ_F_TESTCLI_Close(&tOther.t);
                    dwOtherId = Login(tOther, tHost.usPort);
                }
                tResult.bOtherServed = dwOtherId != 0 && Ask(tOther, VXQ_F_CLI_BuildHeartbeat(5), tBeat) == 0;
                VXQ_F_TESTCLI_Close(&tFresh.t);
                tResult.bFreshServed = Login(tFresh, tHost.usPort) != 0;
                if (bFiredBefore)
                    break;
            }
        }
        VXQ_F_TESTHOST_Stop(&tHost);
        VXQ_F_FAILALLOC_Disarm();
    }
    tResult.sLog = ReadFile(in_sLogFile);
    return tResult;
}

/* Whether the failure reached someone: a log line (written with its failure
 * text, or the media input's documented refusal), or one of the cases where
 * the kit prints the failure on the standard output and nobody can log more:
 * - the copy of a host log record (the line itself is already written, and
 *   logging its loss would lose the next record the same way);
 * - the buffer the queue provides for an item (the item stays first and the
 *   next turn takes it; the caller cannot tell this from an empty queue).
 * A media frame the host posts is refused with the input call's result 0. */
bool PR_Reported(const SessionResult &in_tRun, const std::string &in_sStack)
{
    if (in_tRun.sLog.find("fail") != std::string::npos ||
        in_tRun.sLog.find("queue full") != std::string::npos)
        return true;
    if (in_sStack.find("(VXQ_F_LOG_SR_WriteLogToQueue)") != std::string::npos ||
        in_sStack.find("(VXQ_F_TOOLS_QUEUE_GetDataEx)") != std::string::npos)
        return true;
    return in_tRun.bInputRefused && (in_sStack.find("(VXQ_F_DPS_InputVideoStream)") != std::string::npos ||
                                     in_sStack.find("(VXQ_F_DPS_InputAudioStream)") != std::string::npos);
}

class AllocFailure : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        VXQ_F_LOG_SR_SetLogFileName(m_tDir.File("log.txt").c_str());
        VXQ_F_LOG_SR_SetIfWriteLogToFile(1);
        VXQ_F_LOG_SR_SetIfShowInfoWriteFile(1);
        VXQ_F_LOG_SR_SetIfShowLog(0);
        /* The writer's line buffer grows once, here, to hold every line of the run. */
        VXQ_F_LOG_SR_WriteLog(std::string(1000, '.').c_str(), 2);
    }
    void TearDown() override
    {
        VXQ_F_LOG_SR_SetIfShowLog(1);
        VXQ_F_LOG_SR_SetIfShowInfoWriteFile(0);
        VXQ_F_LOG_SR_SetLogFileName(nullptr);
    }
    TempDir m_tDir;
};

} // namespace

TEST_F(AllocFailure, EachAllocationOfASessionMayFailWithoutCrashLeakOrLossOfService)
{
    const std::string sLog = m_tDir.File("log.txt");
    SessionResult tClean = RunSession(0, sLog);
    const int64_t iTotal = VXQ_F_FAILALLOC_Count();
    ASSERT_TRUE(tClean.bStarted && tClean.bLoggedIn && tClean.bViewed && tClean.bDownloaded &&
                tClean.bOtherServed && tClean.bFreshServed);
    ASSERT_EQ(0, VXQ_TEST_LEAK_CHECK());
    ASSERT_GT(iTotal, 20);
    /* Without a failure nothing is logged as failed: a failure's line stands out. */
    ASSERT_EQ(std::string::npos, tClean.sLog.find("fail")) << tClean.sLog;
    ASSERT_EQ(std::string::npos, tClean.sLog.find("queue full")) << tClean.sLog;
    printf("the session makes %lld library allocations\n", (long long)iTotal);

    std::map<std::string, int> tUnlogged; /* failure sites without a log line */
    int iFired = 0;
    for (int64_t iFailAt = 1; iFailAt <= iTotal; iFailAt++) {
        SCOPED_TRACE("allocation " + std::to_string(iFailAt) + " failed");
        SessionResult tRun = RunSession(iFailAt, sLog);
        if (!VXQ_F_FAILALLOC_Fired())
            continue; /* this run made fewer allocations */
        iFired++;
        const std::string sSite = "failed allocation at " + VXQ_F_FAILALLOC_FiredStack();
        EXPECT_TRUE(tRun.bStarted) << sSite;
        EXPECT_TRUE(tRun.bOtherServed) << sSite;
        EXPECT_TRUE(tRun.bFreshServed) << sSite;
        EXPECT_EQ(0, VXQ_TEST_LEAK_CHECK()) << sSite;
        if (!PR_Reported(tRun, sSite))
            tUnlogged[sSite]++;
    }
    for (const auto &tSite : tUnlogged)
        printf("no log line for the %s (%d runs)\n", tSite.first.c_str(), tSite.second);
    EXPECT_TRUE(tUnlogged.empty()) << "failures nobody was told of";
    EXPECT_GT(iFired, iTotal / 2);
}
