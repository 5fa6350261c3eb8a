/*
 * main.cpp - dps-sim: a simulated video recorder built on the device protocol
 * service. Reads the INI configuration, starts the service with the device's
 * capabilities and users, serves every operation family from real files, prints
 * a status line every 5 s (and at once on SIGUSR1) and stops cleanly on SIGINT,
 * SIGTERM or a client's stop request (exit status 0). Command-line and start-up problems end with
 * one line on the standard error and exit status 2.
 */
#include "host.h"
#include "simconfig.h"

#include "vxq_clock.h"
#include "vxq_dps.h"
#include "vxq_log.h"
#include "vxq_syshelp.h"

#include <errno.h>
#include <limits.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <netinet/in.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <new>

#define PR_EXIT_USAGE 2
#define PR_STATUS_PERIOD_MS 5000
#define PR_MAIN_NAP_MS 50

static volatile sig_atomic_t s_bSignal = 0;
static volatile sig_atomic_t s_bStatusNow = 0;

static void PR_OnSignal(int in_iSignal)
{
    s_bSignal = in_iSignal;
}

/* SIGUSR1: a status line now (a soak or a watchdog asks for the counts). */
static void PR_OnStatusSignal(int)
{
    s_bStatusNow = 1;
}

static const char s_sUsage[] =
    "usage: dps-sim [--config FILE] [--port N] [--log-dir DIR] [--log-port N] [--verbose]\n"
    "  --config FILE   INI configuration (default: sim.ini in the current folder)\n"
    "  --port N        TCP protocol port, 1..65535 (default: [service] port)\n"
    "  --log-dir DIR   folder of the daily log files (default: [service] log_dir)\n"
    "  --log-port N    TCP log port, 0..65535, 0 = none (default: [service] log_port)\n"
    "  --verbose       show the service's log and debug lines on the console\n"
    "  --help          this text\n";

/* The parsed command line; pointers point into argv. */
typedef struct _VXQ_S_SIMMAIN_ARGS {
    const char *sConfig;
    const char *sLogDir;
    int32_t iPort;    /* -1: from the configuration */
    int32_t iLogPort; /* -1: from the configuration */
    int32_t bVerbose;
} _VXQ_S_SIMMAIN_ARGS;

/* Prints "dps-sim: <reason>" on stderr and returns the usage exit status. */
static int PR_Fail(const char *in_sFormat, const char *in_sArg1, const char *in_sArg2)
{
    fprintf(stderr, "dps-sim: ");
    fprintf(stderr, in_sFormat, in_sArg1, in_sArg2);
    fprintf(stderr, "\n");
    return PR_EXIT_USAGE;
}

/* A whole decimal text within in_iMin..in_iMax into *out_piValue. */
static int PR_ParsePort(const char *in_sText, int32_t in_iMin, int32_t *out_piValue)
{
    if (in_sText == NULL || in_sText[0] < '0' || in_sText[0] > '9')
        return 0;
    char *pEnd = NULL;
    errno = 0;
    long lValue = strtol(in_sText, &pEnd, 10);
    if (errno != 0 || *pEnd != 0 || lValue < in_iMin || lValue > 65535)
        return 0;
    *out_piValue = (int32_t)lValue;
    return 1;
}

/* Fills out_pArgs; returns -1 to go on, or the exit status (0 for --help). */
static int PR_ParseArgs(int argc, char **argv, _VXQ_S_SIMMAIN_ARGS *out_pArgs)
{
    out_pArgs->sConfig = "sim.ini";
    out_pArgs->sLogDir = NULL;
    out_pArgs->iPort = -1;
    out_pArgs->iLogPort = -1;
    out_pArgs->bVerbose = 0;
    for (int i = 1; i < argc; i++) {
        const char *sOpt = argv[i];
        if (strcmp(sOpt, "--help") == 0 || strcmp(sOpt, "-h") == 0) {
            fputs(s_sUsage, stdout);
            return 0;
        }
        if (strcmp(sOpt, "--verbose") == 0) {
            out_pArgs->bVerbose = 1;
            continue;
        }
        int bTakesValue = strcmp(sOpt, "--config") == 0 || strcmp(sOpt, "--port") == 0 ||
                          strcmp(sOpt, "--log-dir") == 0 || strcmp(sOpt, "--log-port") == 0;
        if (!bTakesValue)
            return PR_Fail("unknown option '%s' (dps-sim --help lists the options)%s", sOpt, "");
        if (i + 1 >= argc)
            return PR_Fail("%s needs a value%s", sOpt, "");
        const char *sValue = argv[++i];
        if (strcmp(sOpt, "--config") == 0) {
            if (sValue[0] == 0)
                return PR_Fail("%s needs a file name%s", sOpt, "");
            out_pArgs->sConfig = sValue;
        } else if (strcmp(sOpt, "--log-dir") == 0) {
            out_pArgs->sLogDir = sValue;
        } else if (strcmp(sOpt, "--port") == 0) {
            if (!PR_ParsePort(sValue, 1, &out_pArgs->iPort))
                return PR_Fail("bad --port value '%s': a port number 1..65535%s", sValue, "");
        } else if (!PR_ParsePort(sValue, 0, &out_pArgs->iLogPort)) {
            return PR_Fail("bad --log-port value '%s': a port number 0..65535 (0 = none)%s", sValue, "");
        }
    }
    return -1;
}

/* 1 when nobody listens on TCP port in_usPort yet (a bind succeeds). */
static int PR_PortFree(uint16_t in_usPort)
{
    int iSock = socket(AF_INET, SOCK_STREAM, 0);
    if (iSock < 0)
        return 1; /* let the service report it */
    int iOn = 1;
    setsockopt(iSock, SOL_SOCKET, SO_REUSEADDR, &iOn, sizeof(iOn));
    struct sockaddr_in tAddr;
    memset(&tAddr, 0, sizeof(tAddr));
    tAddr.sin_family = AF_INET;
    tAddr.sin_port = htons(in_usPort);
    tAddr.sin_addr.s_addr = htonl(INADDR_ANY);
    int bFree = bind(iSock, (struct sockaddr *)&tAddr, sizeof(tAddr)) == 0 || errno != EADDRINUSE;
    close(iSock);
    return bFree;
}

/* One status line: logins, open sub-channels, viewers, bytes per second. */
static void PR_Status(_VXQ_S_SIMHOST_DATA *in_pHost, uint64_t *inout_pqwLastMedia, uint64_t *inout_pqwLastRecord,
                      uint32_t in_dwElapsedMs)
{
    char sStreams[512];
    int iOpen = VXQ_F_SIMHOST_LiveDescribe(in_pHost, sStreams, (int)sizeof(sStreams));
    float fMax = 0.0f;
    float fFree = 0.0f;
    int iClients = -1;
    if (VXQ_F_DPS_GetFreeMediaResourceNum(in_pHost->hService, &fMax, &fFree))
        iClients = (int)(fMax - fFree + 0.5f);
    uint64_t qwMedia = in_pHost->qwMediaBytes;
    uint64_t qwRecord = in_pHost->qwRecordBytes;
    uint32_t dwMs = in_dwElapsedMs ? in_dwElapsedMs : 1u;
    unsigned long long llMediaRate = (unsigned long long)((qwMedia - *inout_pqwLastMedia) * 1000u / dwMs);
    unsigned long long llRecordRate = (unsigned long long)((qwRecord - *inout_pqwLastRecord) * 1000u / dwMs);
    *inout_pqwLastMedia = qwMedia;
    *inout_pqwLastRecord = qwRecord;
    /* What the service holds: after the clients left, every count is 0. */
    _VXQ_S_DPS_RUN_STATE tRun;
    if (!VXQ_F_DPS_QueryRunState(in_pHost->hService, &tRun)) {
        memset(&tRun, 0, sizeof(tRun));
        tRun.iTcpConnNum = -1;
    }
    VXQ_F_SIMHOST_Say("status: logins %u, media clients %d, open streams %d%s%s%s, media %llu B/s, "
                      "records %llu B/s, refused frames %u, dropped events %u; service holds: connections %d, "
                      "transactions %d, talks %d, sub-channels %d, queued %d B, events %d",
                      (unsigned)in_pHost->dwLogins, iClients, iOpen, iOpen ? " (" : "", sStreams, iOpen ? ")" : "",
                      llMediaRate, llRecordRate, (unsigned)in_pHost->dwRefusedFrames,
                      (unsigned)in_pHost->dwDroppedEvents, (int)tRun.iTcpConnNum, (int)tRun.iTransNum,
                      (int)tRun.iTalkChNum, (int)tRun.iOpenSubChNum, (int)tRun.iNetSendTotalLen,
                      (int)tRun.iCallbackQueueNum);
}

/* Runs until a signal or a client's stop request; returns the exit status. */
static int PR_Run(_VXQ_S_SIMHOST_DATA *inout_pHost, _VXQ_S_SIMCFG_DATA *in_pCfg, const _VXQ_S_SIMMAIN_ARGS *in_pArgs)
{
    _VXQ_S_DPS_DEV_CAP_INFO tCap;
    VXQ_F_SIMCFG_FillDevCap(in_pCfg, &tCap);
    const char *sLogDir = in_pCfg->sLogDir[0] ? in_pCfg->sLogDir : NULL;
    inout_pHost->hService = VXQ_F_DPS_StartDevProNetServer(
        in_pCfg->usPort, &tCap, VXQ_F_SIMHOST_EventCallback, inout_pHost, VXQ_F_SIMHOST_QueryUser, inout_pHost,
        in_pCfg->bDebugLog, in_pCfg->bDebugMediaLog, sLogDir != NULL, sLogDir, in_pCfg->usLogPort,
        in_pCfg->iPwdMode);
    if (inout_pHost->hService == NULL) {
        char sPort[16];
        snprintf(sPort, sizeof(sPort), "%u", in_pCfg->usPort);
        return PR_Fail("the service did not start on TCP port %s (UDP port 28460 also needed)%s", sPort, "");
    }
    VXQ_F_LOG_SR_SetIfShowInfoWriteFile(1);
    if (in_pArgs->bVerbose)
        VXQ_F_LOG_SR_SetIfShowLog(1);
    VXQ_F_DPS_SetMediaDataBufSize(inout_pHost->hService, in_pCfg->iMediaDataBufSize);
    VXQ_F_DPS_SetMaxRealplayClientNum(inout_pHost->hService, in_pCfg->iMaxRealplayClientNum);
    /* Accounting with a budget nobody reaches: every viewer and download costs
     * 1, so the budget minus the free amount counts the media clients. */
    VXQ_F_DPS_ControlMediaResource(inout_pHost->hService, 1, 65536.0f, 1.0f, 1.0f);
    int iStatus = 0;
    if (!VXQ_F_SIMHOST_StartWorker(inout_pHost)) {
        iStatus = PR_Fail("cannot start the worker thread%s%s", "", "");
    } else {
        VXQ_F_SIMHOST_AlarmStart(inout_pHost);
        VXQ_F_SIMHOST_Say("serving '%s' on TCP port %u with %d video channel(s); config %s", in_pCfg->sDevText1,
                          in_pCfg->usPort, in_pCfg->iVideoChanNum, in_pCfg->sConfigFile);
        uint32_t dwLastStatus = VXQ_F_CLOCK_TickMs();
        uint64_t qwLastMedia = 0;
        uint64_t qwLastRecord = 0;
        while (!s_bSignal && !inout_pHost->bStopRequested) {
            VXQ_F_SYS_Sleep(PR_MAIN_NAP_MS);
            uint32_t dwNow = VXQ_F_CLOCK_TickMs();
            if (s_bStatusNow) {
                s_bStatusNow = 0;
#ifdef __GLIBC__
                /* Freed heap pages go back to the system first, so the
                 * resident size an observer reads next is what is in use. */
                malloc_trim(0);
#endif
                PR_Status(inout_pHost, &qwLastMedia, &qwLastRecord, dwNow - dwLastStatus);
                dwLastStatus = dwNow;
            } else if (dwNow - dwLastStatus >= PR_STATUS_PERIOD_MS) {
                PR_Status(inout_pHost, &qwLastMedia, &qwLastRecord, dwNow - dwLastStatus);
                dwLastStatus = dwNow;
            }
        }
        VXQ_F_SIMHOST_Say("stopping (%s)", s_bSignal ? (s_bSignal == SIGINT ? "SIGINT" : "SIGTERM")
                                                    : "a client asked the device to stop");
    }
    /* Nothing may use the handle once the service is stopped: the worker, the
     * feeders and the alarm thread end first; the callback only queues. */
    VXQ_F_SIMHOST_StopWorker(inout_pHost);
    VXQ_F_SIMHOST_AlarmStop(inout_pHost);
    VXQ_F_SIMHOST_LiveStopAll(inout_pHost);
    VXQ_F_DPS_StopDevProNetServer(inout_pHost->hService);
    inout_pHost->hService = NULL;
    return iStatus;
}

int main(int argc, char **argv)
{
    VXQ_F_LOG_SR_SetIfShowEnglishLogHead(1);
    _VXQ_S_SIMMAIN_ARGS tArgs;
    int iExit = PR_ParseArgs(argc, argv, &tArgs);
    if (iExit >= 0)
        return iExit;
    if (access(tArgs.sConfig, R_OK) != 0)
        return PR_Fail("cannot read the configuration file %s: %s", tArgs.sConfig, strerror(errno));

    _VXQ_S_SIMCFG_DATA *pCfg = new (std::nothrow) _VXQ_S_SIMCFG_DATA();
    _VXQ_S_SIMHOST_DATA *pHost = new (std::nothrow) _VXQ_S_SIMHOST_DATA();
    if (pCfg == NULL || pHost == NULL) {
        delete pCfg;
        delete pHost;
        return PR_Fail("out of memory%s%s", "", "");
    }
    char sReason[1024];
    if (!VXQ_F_SIMCFG_Load(tArgs.sConfig, pCfg, sReason, (int)sizeof(sReason))) {
        iExit = PR_Fail("%s%s", sReason, "");
    } else {
        if (tArgs.iPort >= 0)
            pCfg->usPort = (uint16_t)tArgs.iPort;
        if (tArgs.iLogPort >= 0)
            pCfg->usLogPort = (uint16_t)tArgs.iLogPort;
        if (tArgs.sLogDir != NULL)
            snprintf(pCfg->sLogDir, sizeof(pCfg->sLogDir), "%s", tArgs.sLogDir);
        if (tArgs.bVerbose)
            pCfg->bDebugLog = 1;
        char sPort[16];
        snprintf(sPort, sizeof(sPort), "%u", pCfg->usPort);
        char sLogPort[16];
        snprintf(sLogPort, sizeof(sLogPort), "%u", pCfg->usLogPort);
        if (!PR_PortFree(pCfg->usPort)) {
            iExit = PR_Fail("TCP port %s is already in use%s", sPort, "");
        } else if (pCfg->usLogPort != 0 && (pCfg->usLogPort == pCfg->usPort || !PR_PortFree(pCfg->usLogPort))) {
            iExit = PR_Fail("TCP log port %s is already in use%s", sLogPort, "");
        } else if (pCfg->sLogDir[0] != 0 && !VXQ_F_SIMHOST_MakeDirs(pCfg->sLogDir)) {
            iExit = PR_Fail("cannot make the log folder %s%s", pCfg->sLogDir, "");
        } else if (!VXQ_F_SIMHOST_Init(pHost, pCfg, sReason, (int)sizeof(sReason))) {
            iExit = PR_Fail("%s%s", sReason, "");
        } else {
            pHost->bVerbose = tArgs.bVerbose;
            struct sigaction tAction;
            memset(&tAction, 0, sizeof(tAction));
            tAction.sa_handler = PR_OnSignal;
            sigemptyset(&tAction.sa_mask);
            sigaction(SIGINT, &tAction, NULL);
            sigaction(SIGTERM, &tAction, NULL);
            tAction.sa_handler = PR_OnStatusSignal;
            sigaction(SIGUSR1, &tAction, NULL);
            iExit = PR_Run(pHost, pCfg, &tArgs);
            VXQ_F_SIMHOST_Uninit(pHost);
        }
    }
    delete pHost;
    delete pCfg;
    return iExit;
}
