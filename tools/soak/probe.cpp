/* probe.cpp - the service seen from outside: its resident size, the records it
 * reports holding, and a fresh login. */
#include "soak.h"

#include "clilink.h"

#include <signal.h>
#include <stdio.h>
#include <string.h>

#include <chrono>
#include <fstream>
#include <thread>
#include <vector>

typedef std::vector<uint8_t> Bytes;

#define PR_HOLDS_MARK "service holds: "

int64_t VXQ_F_SOAK_RssKb(pid_t in_iPid)
{
    char sPath[64];
    snprintf(sPath, sizeof(sPath), "/proc/%d/status", (int)in_iPid);
    FILE *pFile = fopen(sPath, "r");
    if (pFile == NULL)
        return -1;
    char sLine[256];
    long long llKb = -1;
    while (fgets(sLine, sizeof(sLine), pFile) != NULL) {
        if (sscanf(sLine, "VmRSS: %lld kB", &llKb) == 1)
            break;
    }
    fclose(pFile);
    return llKb;
}

/* The "service holds:" lines of the file so far, and the newest one. */
static int PR_CountHolds(const std::string &in_sFile, std::string *out_psLast)
{
    std::ifstream tIn(in_sFile);
    std::string sLine;
    int iCount = 0;
    while (std::getline(tIn, sLine)) {
        if (sLine.find(PR_HOLDS_MARK) != std::string::npos) {
            iCount++;
            *out_psLast = sLine;
        }
    }
    return iCount;
}

int VXQ_F_SOAK_ReadHolds(pid_t in_iPid, const std::string &in_sStatusFile, _VXQ_S_SOAK_HOLDS *out_ptHolds,
                         int in_iTimeoutMs)
{
    std::string sLast;
    if (in_iPid <= 0 || in_sStatusFile.empty())
        return 0;
    int iBefore = PR_CountHolds(in_sStatusFile, &sLast);
    if (kill(in_iPid, SIGUSR1) != 0)
        return 0;
    int64_t iEnd = VXQ_F_SOAK_NowMs() + in_iTimeoutMs;
    while (PR_CountHolds(in_sStatusFile, &sLast) <= iBefore) {
        if (VXQ_F_SOAK_NowMs() >= iEnd)
            return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const char *sAt = strstr(sLast.c_str(), PR_HOLDS_MARK);
    memset(out_ptHolds, 0, sizeof(*out_ptHolds));
    int iConn, iTrans, iTalks, iSubCh, iQueued, iEvents;
    if (sAt == NULL || sscanf(sAt + strlen(PR_HOLDS_MARK),
                              "connections %d, transactions %d, talks %d, sub-channels %d, queued %d B, events %d",
                              &iConn, &iTrans, &iTalks, &iSubCh, &iQueued, &iEvents) != 6)
        return 0;
    out_ptHolds->iConnections = iConn;
    out_ptHolds->iTransactions = iTrans;
    out_ptHolds->iTalks = iTalks;
    out_ptHolds->iSubChannels = iSubCh;
    out_ptHolds->iQueuedBytes = iQueued;
    out_ptHolds->iEvents = iEvents;
    return 1;
}

/* Logs in on a new link. Returns 1 with the login id; out_psWhy names a failure. */
static int PR_Session(const _VXQ_S_SOAK_RUN *in_ptRun, _VXQ_S_CLI_LINK *out_ptLink, int in_iTimeoutMs,
                      uint32_t *out_pdwLoginId, std::string *out_psWhy)
{
    const _VXQ_S_SOAK_OPTS *pOpts = in_ptRun->pOpts;
    VXQ_F_CLI_Init(out_ptLink);
    if (!VXQ_F_CLI_Connect(out_ptLink, pOpts->sHost, in_ptRun->usPort, in_iTimeoutMs)) {
        *out_psWhy = "connect: " + VXQ_F_CLI_ErrorText(out_ptLink);
        return 0;
    }
    std::string sToken;
    uint8_t ucResult = 0xFF;
    uint8_t ucMode = 0;
    if (!VXQ_F_CLI_GetToken(out_ptLink, &sToken, &ucResult, &ucMode) || ucResult != 0) {
        *out_psWhy = "token: " + VXQ_F_CLI_ErrorText(out_ptLink);
        return 0;
    }
    _VXQ_S_CLI_LOGIN_INFO tInfo;
    Bytes tAnswer;
    if (!VXQ_F_CLI_Login(out_ptLink, pOpts->sUser, pOpts->sPassword, sToken, &ucResult, &tInfo)) {
        *out_psWhy = "login: " + VXQ_F_CLI_ErrorText(out_ptLink);
        return 0;
    }
    if (ucResult != 0) {
        *out_psWhy = "login refused: " + VXQ_F_CLI_ResultText(ucResult);
        return 0;
    }
    *out_pdwLoginId = tInfo.dwLoginId;
    return 1;
}

int VXQ_F_SOAK_FreshLogin(const _VXQ_S_SOAK_RUN *in_ptRun, int in_iTimeoutMs, std::string *out_psWhy)
{
    _VXQ_S_CLI_LINK tLink;
    uint32_t dwLoginId = 0;
    int bOk = PR_Session(in_ptRun, &tLink, in_iTimeoutMs, &dwLoginId, out_psWhy);
    Bytes tAnswer;
    if (bOk && (!VXQ_F_CLI_Call(&tLink, VXQ_F_CLI_BuildHeartbeat(VXQ_F_CLI_NextTransNo(&tLink)), tAnswer,
                                in_iTimeoutMs) ||
                VXQ_F_CLI_Result(tAnswer) != 0)) {
        *out_psWhy = "heartbeat: " + VXQ_F_CLI_ErrorText(&tLink);
        bOk = 0;
    }
    if (bOk && (!VXQ_F_CLI_Call(&tLink, VXQ_F_CLI_BuildLogout(VXQ_F_CLI_NextTransNo(&tLink)), tAnswer, in_iTimeoutMs) ||
                VXQ_F_CLI_Result(tAnswer) != 0)) {
        *out_psWhy = "logout: " + VXQ_F_CLI_ErrorText(&tLink);
        bOk = 0;
    }
    VXQ_F_CLI_Close(&tLink);
    return bOk;
}
