/*
 * main.cpp - dps-soak: starts a device simulator on a free port (or uses a
 * running device), measures it at rest, lets the clients work on it for the
 * given time, measures login id guessing, checks that it recovered and prints
 * a summary. Exit status 0 when every check passed, 1 when one failed, 2 on a
 * usage error or when the device could not be started or reached.
 */
#include "soak.h"

#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <algorithm>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "clilink.h"

#define PR_EXIT_FAIL 1
#define PR_EXIT_USAGE 2
#define PR_SETTLE_MS 30000 /* records must be gone this long after the clients left */
#define PR_PROBE_MS 8000

#ifndef VXQ_SOAK_SIM_EXE
#define VXQ_SOAK_SIM_EXE "dps-sim"
#endif
#ifndef VXQ_SOAK_SIM_MEDIA_DIR
#define VXQ_SOAK_SIM_MEDIA_DIR "media"
#endif

static _VXQ_S_SOAK_RUN *s_pRun = NULL;

static void PR_OnSignal(int)
{
    if (s_pRun != NULL)
        s_pRun->bStop = 1;
}

static const char s_sUsage[] =
    "usage: dps-soak [--seconds N] [--clients N] [--seed N] [--warmup N] [--guess-seconds N]\n"
    "                [--lockout-seconds N] [--attackers N]\n"
    "                [--margin-kb N] [--host H --port N [--pid P --status-file F]]\n"
    "                [--sim FILE] [--work-dir DIR] [--user U --password P] [--verbose]\n"
    "  --seconds N        random work after the warm-up (default 60)\n"
    "  --clients N        concurrent clients, 1..128 (default 128)\n"
    "  --seed N           seed of the clients' random choices (default 1)\n"
    "  --warmup N         seconds of work before the memory baseline (default 5)\n"
    "  --guess-seconds N  login id guessing after the work, 0 = none (default 15): random ids\n"
    "                     quoted from every free connection slot (126 connections at a\n"
    "                     time) and many addresses of 127.0.0.0/8, beside a session with\n"
    "                     a live view kept from 127.0.0.1, which is one of them\n"
    "  --lockout-seconds N  after that, connections that ask for a token and hold (1000\n"
    "                     at a time, a new one for each the device drops), beside a\n"
    "                     client that logs in and starts a live view every second or so\n"
    "                     and must see its first frame within 2 s each time (default 0)\n"
    "  --attackers N      attacker connections at a time in either attack, 1..4000\n"
    "  --margin-kb N      allowed resident growth over the baseline (default 2048)\n"
    "  --host H --port N  a running device instead of a started simulator; --pid and\n"
    "                     --status-file (its output, with the status lines) enable the\n"
    "                     record and memory checks (it must take SIGUSR1 like dps-sim)\n"
    "  --sim FILE         the simulator to start (default: the one built with this tool)\n"
    "  --work-dir DIR     folder for the started simulator's files (default: a new /tmp one)\n";

static int PR_Usage(const char *in_sWhy, const char *in_sArg)
{
    fprintf(stderr, "dps-soak: %s%s\n%s", in_sWhy, in_sArg, s_sUsage);
    return PR_EXIT_USAGE;
}

/* A whole decimal number within the range. */
static int PR_Number(const char *in_sText, long long in_llMin, long long in_llMax, long long *out_pllValue)
{
    char *pEnd = NULL;
    errno = 0;
    long long llValue = strtoll(in_sText, &pEnd, 10);
    if (in_sText[0] == 0 || errno != 0 || *pEnd != 0 || llValue < in_llMin || llValue > in_llMax)
        return 0;
    *out_pllValue = llValue;
    return 1;
}

/* Fills the options; -1 to go on, else the exit status. */
static int PR_ParseArgs(int argc, char **argv, _VXQ_S_SOAK_OPTS *out_ptOpts)
{
    out_ptOpts->sHost = "127.0.0.1";
    out_ptOpts->usPort = 0;
    out_ptOpts->iClients = VXQ_SOAK_MAX_CLIENTS;
    out_ptOpts->iSeconds = 60;
    out_ptOpts->iWarmupSeconds = 5;
    out_ptOpts->iGuessSeconds = 15;
    out_ptOpts->iLockoutSeconds = 0;
    out_ptOpts->iAttackers = 0;
    out_ptOpts->dwSeed = 1;
    out_ptOpts->iMarginKb = 2048;
    out_ptOpts->iPid = 0;
    out_ptOpts->sSimExe = VXQ_SOAK_SIM_EXE;
    out_ptOpts->sUser = "admin";
    out_ptOpts->sPassword = "admin";
    out_ptOpts->bVerbose = 0;
    for (int i = 1; i < argc; i++) {
        std::string sOpt = argv[i];
        if (sOpt == "--help" || sOpt == "-h") {
            fputs(s_sUsage, stdout);
            return 0;
        }
        if (sOpt == "--verbose") {
            out_ptOpts->bVerbose = 1;
            continue;
        }
        if (i + 1 >= argc)
            return PR_Usage("a value is missing after ", sOpt.c_str());
        const char *sValue = argv[++i];
        long long llValue = 0;
        if (sOpt == "--seconds" && PR_Number(sValue, 1, 30LL * 86400, &llValue))
            out_ptOpts->iSeconds = (int32_t)llValue;
        else if (sOpt == "--clients" && PR_Number(sValue, 1, VXQ_SOAK_MAX_CLIENTS, &llValue))
            out_ptOpts->iClients = (int32_t)llValue;
        else if (sOpt == "--seed" && PR_Number(sValue, 0, 0xFFFFFFFFLL, &llValue))
            out_ptOpts->dwSeed = (uint32_t)llValue;
        else if (sOpt == "--warmup" && PR_Number(sValue, 0, 3600, &llValue))
            out_ptOpts->iWarmupSeconds = (int32_t)llValue;
        else if (sOpt == "--guess-seconds" && PR_Number(sValue, 0, 86400, &llValue))
            out_ptOpts->iGuessSeconds = (int32_t)llValue;
        else if (sOpt == "--lockout-seconds" && PR_Number(sValue, 0, 86400, &llValue))
            out_ptOpts->iLockoutSeconds = (int32_t)llValue;
        else if (sOpt == "--attackers" && PR_Number(sValue, 1, 4000, &llValue))
            out_ptOpts->iAttackers = (int32_t)llValue;
        else if (sOpt == "--margin-kb" && PR_Number(sValue, 0, 1 << 30, &llValue))
            out_ptOpts->iMarginKb = (int32_t)llValue;
        else if (sOpt == "--port" && PR_Number(sValue, 1, 65535, &llValue))
            out_ptOpts->usPort = (uint16_t)llValue;
        else if (sOpt == "--pid" && PR_Number(sValue, 1, 0x7FFFFFFF, &llValue))
            out_ptOpts->iPid = (pid_t)llValue;
        else if (sOpt == "--host")
            out_ptOpts->sHost = sValue;
        else if (sOpt == "--status-file")
            out_ptOpts->sStatusFile = sValue;
        else if (sOpt == "--sim")
            out_ptOpts->sSimExe = sValue;
        else if (sOpt == "--work-dir")
            out_ptOpts->sWorkDir = sValue;
        else if (sOpt == "--user")
            out_ptOpts->sUser = sValue;
        else if (sOpt == "--password")
            out_ptOpts->sPassword = sValue;
        else
            return PR_Usage("unknown option or bad value: ", (sOpt + " " + sValue).c_str());
    }
    if (out_ptOpts->usPort == 0 && (out_ptOpts->iPid != 0 || !out_ptOpts->sStatusFile.empty()))
        return PR_Usage("--pid and --status-file go with --port", "");
    return -1;
}

/* A TCP port nobody listens on right now (the system picks it). */
static uint16_t PR_FreePort(void)
{
    int iSock = socket(AF_INET, SOCK_STREAM, 0);
    if (iSock < 0)
        return 0;
    struct sockaddr_in tAddr;
    memset(&tAddr, 0, sizeof(tAddr));
    tAddr.sin_family = AF_INET;
    tAddr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t iLen = sizeof(tAddr);
    uint16_t usPort = 0;
    if (bind(iSock, (struct sockaddr *)&tAddr, sizeof(tAddr)) == 0 &&
        getsockname(iSock, (struct sockaddr *)&tAddr, &iLen) == 0)
        usPort = ntohs(tAddr.sin_port);
    close(iSock);
    return usPort;
}

/* The simulator's configuration: the two-channel recorder of the sample,
 * every data folder inside the work folder, alarms every 2 s. */
static std::string PR_SimIni(uint16_t in_usPort, const std::string &in_sUser, const std::string &in_sPassword)
{
    std::string sClip = std::string(VXQ_SOAK_SIM_MEDIA_DIR) + "/clip.h264";
    return "[service]\nport = " + std::to_string(in_usPort) +
           "\nlog_dir = sim-log\nmax_realplay_clients = 64\n"
           "[device]\nvideo_channels = 2\naudio_channels = 1\ncap_value5 = 1\n"
           "[user0]\nname = " + in_sUser + "\npassword = " + in_sPassword + "\nglobal_rights = 0xFF\n"
           "[user1]\nname = soakviewer\npassword = soakviewer\nglobal_rights = 0x00\nchannel_rights = 0x09,0x01\n"
           "[channel0]\nstream0_source = " + sClip +
           "\nstream0_fps = 25\nstream0_bitrate = 256\nstream1_fps = 15\nstream1_bitrate = 128\naudio = 1\n"
           "[channel1]\nstream0_fps = 25\nstream0_bitrate = 512\nstream0_gop = 50\nstream1_fps = 10\n"
           "[records]\ndir = data/records\nseed_from_clip = 3\nseed_channel = 0\n"
           "[talk]\ndir = data/talk\n[config]\ndir = data/config\n[upgrade]\ndir = data/upgrade\n"
           "[alarm]\ninterval = 2\nchannel = 0\nevent = 1\nmessage = soak alarm\n"
           "[quality]\nlevel = 1\ncap_num = 2\ncap0 = low,0,320,240,10,128\ncap1 = high,1,1280,720,25,2048\n";
}

/* Starts the simulator in the work folder; returns its pid, or 0. */
static pid_t PR_StartSim(_VXQ_S_SOAK_OPTS *inout_ptOpts, uint16_t in_usPort)
{
    if (inout_ptOpts->sWorkDir.empty()) {
        char sTemplate[] = "/tmp/dps-soak-XXXXXX";
        if (mkdtemp(sTemplate) == NULL)
            return 0;
        inout_ptOpts->sWorkDir = sTemplate;
    } else {
        mkdir(inout_ptOpts->sWorkDir.c_str(), 0775);
    }
    std::string sIni = inout_ptOpts->sWorkDir + "/soak-sim.ini";
    std::ofstream tOut(sIni);
    tOut << PR_SimIni(in_usPort, inout_ptOpts->sUser, inout_ptOpts->sPassword);
    tOut.close();
    if (!tOut)
        return 0;
    inout_ptOpts->sStatusFile = inout_ptOpts->sWorkDir + "/sim-out.txt";
    inout_ptOpts->sViewer = "soakviewer";
    pid_t iPid = fork();
    if (iPid < 0)
        return 0;
    if (iPid == 0) {
        int iFd = open(inout_ptOpts->sStatusFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (iFd >= 0) {
            dup2(iFd, STDOUT_FILENO);
            dup2(iFd, STDERR_FILENO);
            close(iFd);
        }
        execl(inout_ptOpts->sSimExe.c_str(), inout_ptOpts->sSimExe.c_str(), "--config", sIni.c_str(), (char *)NULL);
        _exit(127);
    }
    return iPid;
}

/* 1 while the started simulator runs (a crash ends the soak). */
static int PR_SimAlive(pid_t in_iPid, int *out_piStatus)
{
    int iStatus = 0;
    pid_t iDone = waitpid(in_iPid, &iStatus, WNOHANG);
    if (iDone == 0)
        return 1;
    *out_piStatus = iStatus;
    return 0;
}

/* Waits until the device accepts connections. */
static int PR_WaitUp(const _VXQ_S_SOAK_OPTS *in_ptOpts, uint16_t in_usPort, pid_t in_iSimPid, int in_iTimeoutMs)
{
    int64_t iEnd = VXQ_F_SOAK_NowMs() + in_iTimeoutMs;
    while (VXQ_F_SOAK_NowMs() < iEnd) {
        _VXQ_S_CLI_LINK tLink;
        VXQ_F_CLI_Init(&tLink);
        int bUp = VXQ_F_CLI_Connect(&tLink, in_ptOpts->sHost, in_usPort, 500);
        VXQ_F_CLI_Close(&tLink);
        if (bUp)
            return 1;
        int iStatus = 0;
        if (in_iSimPid > 0 && !PR_SimAlive(in_iSimPid, &iStatus))
            return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
}

/* Runs every client until the deadline and waits for them all. */
static void PR_Work(_VXQ_S_SOAK_RUN *inout_ptRun, int32_t in_iSeconds, pid_t in_iPid, const char *in_sPhase)
{
    inout_ptRun->iDeadlineMs = VXQ_F_SOAK_NowMs() + (int64_t)in_iSeconds * 1000;
    std::vector<std::thread> tThreads;
    for (int32_t i = 0; i < inout_ptRun->pOpts->iClients; i++)
        tThreads.emplace_back(VXQ_F_SOAK_ClientMain, inout_ptRun, i);
    if (inout_ptRun->pOpts->bVerbose) {
        int64_t iNext = VXQ_F_SOAK_NowMs() + 10000;
        while (VXQ_F_SOAK_NowMs() < inout_ptRun->iDeadlineMs.load() && !inout_ptRun->bStop.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (VXQ_F_SOAK_NowMs() < iNext)
                continue;
            iNext += 10000;
            const _VXQ_S_SOAK_STATS &s = inout_ptRun->tStats;
            printf("%s: actions %llu, answered %llu, frames %llu, connections %llu, resident %lld KiB\n", in_sPhase,
                   (unsigned long long)s.qwActions.load(), (unsigned long long)s.qwAnswered.load(),
                   (unsigned long long)s.qwFrames.load(), (unsigned long long)s.qwConnects.load(),
                   (long long)(in_iPid > 0 ? VXQ_F_SOAK_RssKb(in_iPid) : -1));
            fflush(stdout);
        }
    }
    for (std::thread &t : tThreads)
        t.join();
}

/* Waits until the device holds no record of any client; the last reading in out_ptHolds. */
static int PR_WaitEmpty(const _VXQ_S_SOAK_OPTS *in_ptOpts, _VXQ_S_SOAK_HOLDS *out_ptHolds, int in_iTimeoutMs)
{
    int64_t iEnd = VXQ_F_SOAK_NowMs() + in_iTimeoutMs;
    int bRead = 0;
    do {
        if (VXQ_F_SOAK_ReadHolds(in_ptOpts->iPid, in_ptOpts->sStatusFile, out_ptHolds, PR_PROBE_MS)) {
            bRead = 1;
            if (out_ptHolds->iConnections == 0 && out_ptHolds->iTransactions == 0 && out_ptHolds->iTalks == 0 &&
                out_ptHolds->iSubChannels == 0)
                return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    } while (VXQ_F_SOAK_NowMs() < iEnd);
    if (!bRead)
        out_ptHolds->iConnections = -1;
    return 0;
}

static void PR_PrintHolds(const char *in_sWhat, const _VXQ_S_SOAK_HOLDS *in_ptHolds)
{
    printf("%s: connections %d, transactions %d, talks %d, sub-channels %d, queued %d B, events %d\n", in_sWhat,
           in_ptHolds->iConnections, in_ptHolds->iTransactions, in_ptHolds->iTalks, in_ptHolds->iSubChannels,
           in_ptHolds->iQueuedBytes, in_ptHolds->iEvents);
}

static void PR_PrintStats(const _VXQ_S_SOAK_STATS *in_ptStats, double in_fSeconds)
{
    const _VXQ_S_SOAK_STATS &s = *in_ptStats;
    printf("work: %.0f s, %llu actions, %llu connections (%llu failed to connect, %llu turned away at a full table)\n",
           in_fSeconds, (unsigned long long)s.qwActions.load(), (unsigned long long)s.qwConnects.load(),
           (unsigned long long)s.qwConnectFails.load(), (unsigned long long)s.qwTurnedAway.load());
    printf("requests: %llu sent, %llu answered (%llu refused by result), %llu lost with a connection that ended "
           "first (turned away included), %llu unanswered in time\n",
           (unsigned long long)s.qwRequests.load(), (unsigned long long)s.qwAnswered.load(),
           (unsigned long long)s.qwRefused.load(), (unsigned long long)s.qwLost.load(),
           (unsigned long long)s.qwNoAnswer.load());
    printf("sessions: %llu logins, %llu refused; live views %llu (%llu slow, %llu stalled), frames delivered %llu "
           "(%llu bytes)\n",
           (unsigned long long)s.qwLogins.load(), (unsigned long long)s.qwLoginFails.load(),
           (unsigned long long)s.qwLiveOpens.load(), (unsigned long long)s.qwSlow.load(),
           (unsigned long long)s.qwStalled.load(), (unsigned long long)s.qwFrames.load(),
           (unsigned long long)s.qwFrameBytes.load());
    printf("downloads %llu (%llu bytes), talks %llu (%llu bytes sent)\n", (unsigned long long)s.qwDownloads.load(),
           (unsigned long long)s.qwDownloadBytes.load(), (unsigned long long)s.qwTalks.load(),
           (unsigned long long)s.qwTalkBytes.load());
    printf("hostile sends %llu: device closed the connection %llu times, connection still answered %llu times\n",
           (unsigned long long)s.qwHostile.load(), (unsigned long long)s.qwHostileDropped.load(),
           (unsigned long long)s.qwHostileSurvived.load());
    printf("disconnects: %llu cut by clients (reset), %llu closed by the device\n",
           (unsigned long long)s.qwAbrupt.load(), (unsigned long long)s.qwPeerClosed.load());
}

/* One check line; returns 1 when it passed. */
static int PR_Check(const char *in_sName, int in_bPassed, const std::string &in_sDetail)
{
    printf("check %-28s %s  %s\n", in_sName, in_bPassed ? "PASS" : "FAIL", in_sDetail.c_str());
    return in_bPassed;
}

/* "load average a, b, c" of this machine now. */
static void PR_LoadText(char *out_sText, size_t in_iSize)
{
    double fLoad[3] = {0, 0, 0};
    FILE *pFile = fopen("/proc/loadavg", "r");
    if (pFile != NULL) {
        if (fscanf(pFile, "%lf %lf %lf", &fLoad[0], &fLoad[1], &fLoad[2]) != 3)
            fLoad[0] = fLoad[1] = fLoad[2] = 0;
        fclose(pFile);
    }
    snprintf(out_sText, in_iSize, "load average %.2f, %.2f, %.2f", fLoad[0], fLoad[1], fLoad[2]);
}

/* The guessing figures and their checks; 1 when both passed. */
static int PR_ReportGuess(int in_bRan, const _VXQ_S_SOAK_ATTACK *in_ptGuess, const char *in_sLoad)
{
    const _VXQ_S_SOAK_ATTACK &g = *in_ptGuess;
    if (!in_bRan)
        return PR_Check("guessing: kept session", 0, "could not start: " + g.sLegitWhy);
    double fRate = g.fSeconds > 0 ? g.qwAnswered / g.fSeconds : 0.0;
    printf("login id guessing: %d connections at a time from 127.0.0.0/8 (one in four from 127.0.0.1) for %.1f s "
           "(%s at the end): %llu connections, %llu quotes sent; %llu answered (%.2f a second: each answer tells "
           "whether its id is live), %llu hits; %llu left unanswered on %llu connections the device closed\n",
           g.iAttackers, g.fSeconds, in_sLoad, (unsigned long long)g.qwConnects, (unsigned long long)g.qwQuotes,
           (unsigned long long)g.qwAnswered, fRate, (unsigned long long)g.qwHits, (unsigned long long)g.qwUnanswered,
           (unsigned long long)g.qwDropped);
    /* A guess hits one of n live ids of the 2^32 - 1 possible with probability n / (2^32 - 1). */
    double fDays = fRate > 0 ? 4294967295.0 / 128.0 / fRate / 86400.0 : 1e9;
    printf("expected time to hit one of 128 live login ids at that rate: 2^32 / 128 / %.2f s = %.0f days\n", fRate,
           fDays);
    printf("legitimate client at 127.0.0.1: %s; slowest heartbeat answer %lld ms; live view %llu frames, longest "
           "pause %lld ms\n",
           g.bLegitLost ? "LOST its session or live view" : "kept its session and live view",
           (long long)g.iLegitBeatMaxMs, (unsigned long long)g.qwLegitFrames, (long long)g.iLegitFrameGapMs);
    char sDetail[96];
    snprintf(sDetail, sizeof(sDetail), "%.0f days (target 30)", fDays);
    int bPassed = PR_Check("guessing: expected time", fDays >= 30.0 && g.qwHits == 0, sDetail);
    snprintf(sDetail, sizeof(sDetail), "frames %llu, longest pause %lld ms", (unsigned long long)g.qwLegitFrames,
             (long long)g.iLegitFrameGapMs);
    bPassed &= PR_Check("guessing: kept session", !g.bLegitLost && g.qwLegitFrames > 0, sDetail);
    return bPassed;
}

/* The lock-out figures and their check; 1 when it passed. */
static int PR_ReportLockout(int in_bRan, const _VXQ_S_SOAK_ATTACK *in_ptLockout, const char *in_sLoad)
{
    const _VXQ_S_SOAK_ATTACK &l = *in_ptLockout;
    std::vector<int64_t> tMs;
    uint64_t qwLate = 0;
    for (int64_t iMs : l.tLegitMs) {
        if (iMs < 0 || iMs > 2000)
            qwLate++;
        tMs.push_back(iMs < 0 ? 1000000 : iMs);
    }
    std::sort(tMs.begin(), tMs.end());
    int64_t iMedian = tMs.empty() ? -1 : tMs[tMs.size() / 2];
    int64_t iMax = tMs.empty() ? -1 : tMs.back();
    printf("lock-out: %d connections at a time asking for a token and holding, from 127.0.0.0/8, for %.1f s (%s at "
           "the end): %llu connections made (%llu failed), %llu dropped by the device\n",
           l.iAttackers, l.fSeconds, in_sLoad, (unsigned long long)l.qwConnects, (unsigned long long)l.qwConnectFails,
           (unsigned long long)l.qwDropped);
    printf("legitimate client at 127.0.0.1: %zu tries of login and live view, %llu not done within 2 s; connect to "
           "first frame: median %lld ms, slowest %lld ms%s%s\n",
           l.tLegitMs.size(), (unsigned long long)qwLate, (long long)iMedian, (long long)iMax,
           l.sLegitWhy.empty() ? "" : "; last failure: ", l.sLegitWhy.c_str());
    char sDetail[96];
    snprintf(sDetail, sizeof(sDetail), "%zu of %zu within 2 s", l.tLegitMs.size() - (size_t)qwLate, l.tLegitMs.size());
    return PR_Check("lock-out: login and live view", in_bRan && !l.tLegitMs.empty() && qwLate == 0, sDetail);
}

int main(int argc, char **argv)
{
    _VXQ_S_SOAK_OPTS tOpts;
    int iExit = PR_ParseArgs(argc, argv, &tOpts);
    if (iExit >= 0)
        return iExit;
    signal(SIGPIPE, SIG_IGN);
    _VXQ_S_SOAK_RUN *pRun = new _VXQ_S_SOAK_RUN();
    pRun->pOpts = &tOpts;
    s_pRun = pRun;
    struct sigaction tAction;
    memset(&tAction, 0, sizeof(tAction));
    tAction.sa_handler = PR_OnSignal;
    sigaction(SIGINT, &tAction, NULL);
    sigaction(SIGTERM, &tAction, NULL);

    pid_t iSimPid = 0;
    pRun->usPort = tOpts.usPort;
    if (tOpts.usPort == 0) {
        pRun->usPort = PR_FreePort();
        iSimPid = pRun->usPort != 0 ? PR_StartSim(&tOpts, pRun->usPort) : 0;
        if (iSimPid <= 0) {
            fprintf(stderr, "dps-soak: cannot start the simulator %s\n", tOpts.sSimExe.c_str());
            return PR_EXIT_USAGE;
        }
        tOpts.iPid = iSimPid;
    }
    printf("dps-soak: seed %u, %d clients, %d s work after %d s warm-up, device %s:%u%s\n", tOpts.dwSeed,
           tOpts.iClients, tOpts.iSeconds, tOpts.iWarmupSeconds, tOpts.sHost.c_str(), pRun->usPort,
           iSimPid ? " (simulator started here)" : "");
    if (iSimPid)
        printf("simulator pid %d, files in %s\n", (int)iSimPid, tOpts.sWorkDir.c_str());
    fflush(stdout);
    if (!PR_WaitUp(&tOpts, pRun->usPort, iSimPid, 15000)) {
        fprintf(stderr, "dps-soak: the device on port %u does not accept connections\n", pRun->usPort);
        if (iSimPid > 0) {
            kill(iSimPid, SIGKILL);
            waitpid(iSimPid, NULL, 0);
        }
        return PR_EXIT_USAGE;
    }
    int bProbe = tOpts.iPid > 0 && !tOpts.sStatusFile.empty();
    _VXQ_S_SOAK_HOLDS tHolds;
    memset(&tHolds, 0, sizeof(tHolds));
    int64_t iRssStart = bProbe ? VXQ_F_SOAK_RssKb(tOpts.iPid) : -1;

    pRun->sRecordFlag = VXQ_F_SOAK_FindRecord(pRun);
    if (tOpts.iWarmupSeconds > 0)
        PR_Work(pRun, tOpts.iWarmupSeconds, tOpts.iPid, "warm-up");
    int64_t iRssBase = -1;
    if (bProbe) {
        PR_WaitEmpty(&tOpts, &tHolds, PR_SETTLE_MS);
        iRssBase = VXQ_F_SOAK_RssKb(tOpts.iPid);
        printf("baseline: resident %lld KiB (%lld at start)\n", (long long)iRssBase, (long long)iRssStart);
        PR_PrintHolds("service holds after the warm-up", &tHolds);
        fflush(stdout);
    }
    /* The run's figures count from here: a fresh record with the same device. */
    _VXQ_S_SOAK_RUN *pWarm = pRun;
    pRun = new _VXQ_S_SOAK_RUN();
    pRun->pOpts = &tOpts;
    pRun->usPort = pWarm->usPort;
    pRun->sRecordFlag = pWarm->sRecordFlag;
    pRun->bStop = pWarm->bStop.load();
    s_pRun = pRun;
    delete pWarm;
    int64_t iWorkStart = VXQ_F_SOAK_NowMs();
    PR_Work(pRun, tOpts.iSeconds, tOpts.iPid, "work");
    double fWorkSeconds = (VXQ_F_SOAK_NowMs() - iWorkStart) / 1000.0;
    int64_t iRssPeak = bProbe ? VXQ_F_SOAK_RssKb(tOpts.iPid) : -1;

    _VXQ_S_SOAK_ATTACK tGuess, tLockout;
    int bGuessed = 0, bLockedOut = 0;
    char sLoad[64] = "";
    if (tOpts.iGuessSeconds > 0) {
        bGuessed = VXQ_F_SOAK_Attack(pRun, 1, tOpts.iGuessSeconds,
                                     tOpts.iAttackers > 0 ? tOpts.iAttackers : VXQ_SOAK_MAX_CLIENTS - 2, &tGuess);
        PR_LoadText(sLoad, sizeof(sLoad));
    }
    char sLockoutLoad[64] = "";
    if (tOpts.iLockoutSeconds > 0) {
        bLockedOut =
            VXQ_F_SOAK_Attack(pRun, 0, tOpts.iLockoutSeconds, tOpts.iAttackers > 0 ? tOpts.iAttackers : 1000, &tLockout);
        PR_LoadText(sLockoutLoad, sizeof(sLockoutLoad));
    }

    printf("\n");
    PR_PrintStats(&pRun->tStats, fWorkSeconds);
    int bAllPassed = 1;
    if (tOpts.iGuessSeconds > 0)
        bAllPassed &= PR_ReportGuess(bGuessed, &tGuess, sLoad);
    if (tOpts.iLockoutSeconds > 0)
        bAllPassed &= PR_ReportLockout(bLockedOut, &tLockout, sLockoutLoad);

    int iSimStatus = 0;
    if (iSimPid > 0 && !PR_SimAlive(iSimPid, &iSimStatus)) {
        bAllPassed &= PR_Check("simulator still running", 0,
                               "it ended with status " + std::to_string(WIFEXITED(iSimStatus) ? WEXITSTATUS(iSimStatus)
                                                                                              : 128 + WTERMSIG(iSimStatus)));
        iSimPid = 0;
        bProbe = 0;
    }
    std::string sWhy;
    int bFresh = VXQ_F_SOAK_FreshLogin(pRun, 5000, &sWhy);
    bAllPassed &= PR_Check("fresh login answered", bFresh, bFresh ? "token, login, heartbeat, logout" : sWhy);
    if (bProbe) {
        int bEmpty = PR_WaitEmpty(&tOpts, &tHolds, PR_SETTLE_MS);
        char sDetail[160];
        snprintf(sDetail, sizeof(sDetail), "connections %d, transactions %d, talks %d, sub-channels %d, queued %d B",
                 tHolds.iConnections, tHolds.iTransactions, tHolds.iTalks, tHolds.iSubChannels, tHolds.iQueuedBytes);
        bAllPassed &= PR_Check("records gone after clients", bEmpty, sDetail);
        int64_t iRssEnd = VXQ_F_SOAK_RssKb(tOpts.iPid);
        int bRss = iRssBase > 0 && iRssEnd > 0 && iRssEnd <= iRssBase + tOpts.iMarginKb;
        snprintf(sDetail, sizeof(sDetail),
                 "resident KiB: at start %lld, baseline after warm-up %lld, after the work %lld, at the end %lld "
                 "(margin %d)",
                 (long long)iRssStart, (long long)iRssBase, (long long)iRssPeak, (long long)iRssEnd, tOpts.iMarginKb);
        bAllPassed &= PR_Check("memory back to baseline", bRss, sDetail);
    } else {
        printf("check records and memory          SKIPPED  give --pid and --status-file of the device\n");
    }
    if (iSimPid > 0) {
        kill(iSimPid, SIGTERM);
        int iStatus = 0;
        int64_t iEnd = VXQ_F_SOAK_NowMs() + 15000;
        int bEnded = 0;
        while (!bEnded && VXQ_F_SOAK_NowMs() < iEnd) {
            bEnded = !PR_SimAlive(iSimPid, &iStatus);
            if (!bEnded)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!bEnded) {
            kill(iSimPid, SIGKILL);
            waitpid(iSimPid, &iStatus, 0);
        }
        bAllPassed &= PR_Check("simulator stops cleanly", bEnded && WIFEXITED(iStatus) && WEXITSTATUS(iStatus) == 0,
                               bEnded ? "SIGTERM, exit status " + std::to_string(WIFEXITED(iStatus) ? WEXITSTATUS(iStatus)
                                                                                                    : 128 + WTERMSIG(iStatus))
                                      : std::string("did not end within 15 s"));
    }
    printf("dps-soak: %s\n", bAllPassed ? "all checks passed" : "FAILED");
    delete pRun;
    return bAllPassed ? 0 : PR_EXIT_FAIL;
}
