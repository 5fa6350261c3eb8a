/* cliapp.cpp - reports, option parsing, session opening, output files and progress of dps-client. */
#include "cliapp.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <chrono>
#include <sstream>

volatile sig_atomic_t g_bCliStop = 0;

int64_t VXQ_F_CLIAPP_NowMs(void)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int VXQ_F_CLIAPP_Report(const _VXQ_S_CLIAPP_CTX *in_ptCtx, int in_iStatus, const std::string &in_sText)
{
    VXQ_F_CLIAPP_ProgressEnd();
    if (in_ptCtx && !in_ptCtx->sCommand.empty())
        fprintf(stderr, "dps-client: %s: %s\n", in_ptCtx->sCommand.c_str(), in_sText.c_str());
    else
        fprintf(stderr, "dps-client: %s\n", in_sText.c_str());
    return in_iStatus;
}

int VXQ_F_CLIAPP_Usage(const _VXQ_S_CLIAPP_CTX *in_ptCtx, const std::string &in_sText)
{
    return VXQ_F_CLIAPP_Report(in_ptCtx, VXQ_CLIAPP_EXIT_BROKEN, in_sText + " (dps-client --help lists the usage)");
}

int VXQ_F_CLIAPP_LinkFail(const _VXQ_S_CLIAPP_CTX *in_ptCtx, const _VXQ_S_CLI_LINK *in_ptLink,
                          const std::string &in_sWhat)
{
    return VXQ_F_CLIAPP_Report(in_ptCtx, VXQ_CLIAPP_EXIT_BROKEN, in_sWhat + ": " + VXQ_F_CLI_ErrorText(in_ptLink));
}

int VXQ_F_CLIAPP_Refused(const _VXQ_S_CLIAPP_CTX *in_ptCtx, const std::string &in_sWhat, uint8_t in_ucResult)
{
    return VXQ_F_CLIAPP_Report(in_ptCtx, VXQ_CLIAPP_EXIT_REFUSED,
                               in_sWhat + " refused: result " + std::to_string(in_ucResult) + " (" +
                                   VXQ_F_CLI_ResultText(in_ucResult) + ")");
}

/* 1 when in_sName is one of the blank-separated names of in_sList. */
static int PR_InList(const char *in_sList, const std::string &in_sName)
{
    std::istringstream tStream(in_sList ? in_sList : "");
    std::string sWord;
    while (tStream >> sWord)
        if (sWord == in_sName)
            return 1;
    return 0;
}

int VXQ_F_CLIAPP_ParseOpts(const _VXQ_S_CLIAPP_CTX *in_ptCtx, const std::vector<std::string> &in_tArgs,
                           const char *in_sValueOpts, const char *in_sFlagOpts, _VXQ_S_CLIAPP_OPTS *out_ptOpts)
{
    out_ptOpts->tValues.clear();
    out_ptOpts->tFlags.clear();
    out_ptOpts->tWords.clear();
    for (size_t i = 0; i < in_tArgs.size(); i++) {
        const std::string &sArg = in_tArgs[i];
        if (sArg.size() < 2 || sArg.compare(0, 2, "--") != 0) {
            out_ptOpts->tWords.push_back(sArg);
            continue;
        }
        if (PR_InList(in_sFlagOpts, sArg)) {
            out_ptOpts->tFlags[sArg] = 1;
            continue;
        }
        if (!PR_InList(in_sValueOpts, sArg)) {
            VXQ_F_CLIAPP_Usage(in_ptCtx, "unknown option '" + sArg + "'");
            return 0;
        }
        if (i + 1 >= in_tArgs.size()) {
            VXQ_F_CLIAPP_Usage(in_ptCtx, sArg + " needs a value");
            return 0;
        }
        out_ptOpts->tValues[sArg] = in_tArgs[++i];
    }
    return 1;
}

int VXQ_F_CLIAPP_ParseNumber(const std::string &in_sText, long long *out_pllValue)
{
    if (in_sText.empty())
        return 0;
    const char *sText = in_sText.c_str();
    int iBase = 10;
    if (in_sText.size() > 2 && sText[0] == '0' && (sText[1] == 'x' || sText[1] == 'X'))
        iBase = 16;
    char *pEnd = nullptr;
    errno = 0;
    long long llValue = strtoll(sText, &pEnd, iBase);
    if (errno != 0 || pEnd == sText || *pEnd != 0)
        return 0;
    *out_pllValue = llValue;
    return 1;
}

int VXQ_F_CLIAPP_OptInt(const _VXQ_S_CLIAPP_CTX *in_ptCtx, const _VXQ_S_CLIAPP_OPTS *in_ptOpts, const char *in_sName,
                        int in_bRequired, long long in_llDefault, long long in_llMin, long long in_llMax,
                        long long *out_pllValue)
{
    auto it = in_ptOpts->tValues.find(in_sName);
    if (it == in_ptOpts->tValues.end()) {
        if (in_bRequired) {
            VXQ_F_CLIAPP_Usage(in_ptCtx, std::string(in_sName) + " is required");
            return 0;
        }
        *out_pllValue = in_llDefault;
        return 1;
    }
    long long llValue = 0;
    if (!VXQ_F_CLIAPP_ParseNumber(it->second, &llValue) || llValue < in_llMin || llValue > in_llMax) {
        VXQ_F_CLIAPP_Usage(in_ptCtx, "bad " + std::string(in_sName) + " value '" + it->second + "': a number " +
                                         std::to_string(in_llMin) + ".." + std::to_string(in_llMax));
        return 0;
    }
    *out_pllValue = llValue;
    return 1;
}

int VXQ_F_CLIAPP_OptText(const _VXQ_S_CLIAPP_CTX *in_ptCtx, const _VXQ_S_CLIAPP_OPTS *in_ptOpts, const char *in_sName,
                         int in_bRequired, std::string *out_psValue)
{
    auto it = in_ptOpts->tValues.find(in_sName);
    if (it == in_ptOpts->tValues.end()) {
        if (in_bRequired) {
            VXQ_F_CLIAPP_Usage(in_ptCtx, std::string(in_sName) + " is required");
            return 0;
        }
        out_psValue->clear();
        return 1;
    }
    *out_psValue = it->second;
    return 1;
}

static std::string PR_Where(const _VXQ_S_CLIAPP_CTX *in_ptCtx)
{
    return in_ptCtx->sHost + ":" + std::to_string(in_ptCtx->usPort);
}

int VXQ_F_CLIAPP_Connect(_VXQ_S_CLIAPP_CTX *in_ptCtx, _VXQ_S_CLI_LINK *out_ptLink, const std::string &in_sWhat)
{
    VXQ_F_CLI_Init(out_ptLink);
    if (VXQ_F_CLI_Connect(out_ptLink, in_ptCtx->sHost, in_ptCtx->usPort))
        return 1;
    VXQ_F_CLIAPP_LinkFail(in_ptCtx, out_ptLink, "cannot connect the " + in_sWhat + " to " + PR_Where(in_ptCtx));
    return 0;
}

int VXQ_F_CLIAPP_Open(_VXQ_S_CLIAPP_CTX *inout_ptCtx)
{
    if (!inout_ptCtx->bHaveUser)
        return VXQ_F_CLIAPP_Usage(inout_ptCtx, "--user and --password (or --password-file) are required");
    VXQ_F_CLI_Init(&inout_ptCtx->tLink);
    if (!VXQ_F_CLI_Connect(&inout_ptCtx->tLink, inout_ptCtx->sHost, inout_ptCtx->usPort))
        return VXQ_F_CLIAPP_LinkFail(inout_ptCtx, &inout_ptCtx->tLink, "cannot connect to " + PR_Where(inout_ptCtx));
    std::string sToken;
    uint8_t ucResult = 0;
    if (!VXQ_F_CLI_GetToken(&inout_ptCtx->tLink, &sToken, &ucResult, nullptr))
        return VXQ_F_CLIAPP_LinkFail(inout_ptCtx, &inout_ptCtx->tLink, "token request");
    if (ucResult != 0)
        return VXQ_F_CLIAPP_Refused(inout_ptCtx, "token request", ucResult);
    if (!VXQ_F_CLI_Login(&inout_ptCtx->tLink, inout_ptCtx->sUser, inout_ptCtx->sPassword, sToken, &ucResult,
                         &inout_ptCtx->tLogin))
        return VXQ_F_CLIAPP_LinkFail(inout_ptCtx, &inout_ptCtx->tLink, "login");
    if (ucResult != 0)
        return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_REFUSED,
                                   "login refused for user '" + inout_ptCtx->sUser + "': result " +
                                       std::to_string(ucResult) + " (" + VXQ_F_CLI_ResultText(ucResult) + ")");
    return -1;
}

int VXQ_F_CLIAPP_Call(_VXQ_S_CLIAPP_CTX *inout_ptCtx, _VXQ_S_CLI_LINK *inout_ptLink, const std::vector<uint8_t> &in_tMsg,
                      std::vector<uint8_t> &out_tAnswer, const std::string &in_sWhat, int in_iTimeoutMs)
{
    if (!VXQ_F_CLI_Call(inout_ptLink, in_tMsg, out_tAnswer, in_iTimeoutMs))
        return VXQ_F_CLIAPP_LinkFail(inout_ptCtx, inout_ptLink, in_sWhat);
    uint8_t ucResult = VXQ_F_CLI_Result(out_tAnswer);
    if (ucResult != 0)
        return VXQ_F_CLIAPP_Refused(inout_ptCtx, in_sWhat, ucResult);
    return -1;
}

int VXQ_F_CLIAPP_KeepAlive(_VXQ_S_CLIAPP_CTX *inout_ptCtx)
{
    return VXQ_F_CLI_KeepAlive(&inout_ptCtx->tLink);
}

int VXQ_F_CLIAPP_ReadFile(const std::string &in_sPath, std::vector<uint8_t> *out_ptData)
{
    FILE *pFile = fopen(in_sPath.c_str(), "rb");
    if (pFile == nullptr)
        return 0;
    out_ptData->clear();
    uint8_t ucBuf[65536];
    size_t iGot;
    while ((iGot = fread(ucBuf, 1, sizeof(ucBuf), pFile)) > 0)
        out_ptData->insert(out_ptData->end(), ucBuf, ucBuf + iGot);
    int bOk = !ferror(pFile);
    fclose(pFile);
    return bOk;
}

int VXQ_F_CLIAPP_OutOpen(_VXQ_S_CLIAPP_OUTFILE *out_ptFile, const std::string &in_sPath)
{
    out_ptFile->sPath = in_sPath;
    out_ptFile->sTempPath = in_sPath + ".part";
    out_ptFile->qwBytes = 0;
    out_ptFile->pFile = fopen(out_ptFile->sTempPath.c_str(), "wb");
    return out_ptFile->pFile != nullptr;
}

int VXQ_F_CLIAPP_OutOpenStream(_VXQ_S_CLIAPP_OUTFILE *out_ptFile, const std::string &in_sPath)
{
    if (in_sPath != "-")
        return VXQ_F_CLIAPP_OutOpen(out_ptFile, in_sPath);
    out_ptFile->sPath = in_sPath;
    out_ptFile->sTempPath.clear();
    out_ptFile->qwBytes = 0;
    out_ptFile->pFile = stdout;
    return 1;
}

int VXQ_F_CLIAPP_OutIsStdout(const _VXQ_S_CLIAPP_OUTFILE *in_ptFile)
{
    return in_ptFile->sTempPath.empty() && in_ptFile->sPath == "-";
}

std::string VXQ_F_CLIAPP_OutName(const _VXQ_S_CLIAPP_OUTFILE *in_ptFile)
{
    return VXQ_F_CLIAPP_OutIsStdout(in_ptFile) ? std::string("the standard output") : "'" + in_ptFile->sPath + "'";
}

int VXQ_F_CLIAPP_OutCheckStream(const _VXQ_S_CLIAPP_CTX *in_ptCtx, const std::string &in_sPath)
{
    if (in_sPath == "-" && isatty(STDOUT_FILENO))
        return VXQ_F_CLIAPP_Report(in_ptCtx, VXQ_CLIAPP_EXIT_BROKEN,
                                   "--out - writes to the standard output, which is a terminal: pipe it into a "
                                   "player or give a file");
    return -1;
}

int VXQ_F_CLIAPP_OutWrite(_VXQ_S_CLIAPP_OUTFILE *inout_ptFile, const void *in_pData, size_t in_iLen)
{
    if (inout_ptFile->pFile == nullptr)
        return 0;
    if (in_iLen && fwrite(in_pData, 1, in_iLen, inout_ptFile->pFile) != in_iLen)
        return 0;
    if (VXQ_F_CLIAPP_OutIsStdout(inout_ptFile) && fflush(inout_ptFile->pFile) != 0)
        return 0;
    inout_ptFile->qwBytes += in_iLen;
    return 1;
}

int VXQ_F_CLIAPP_OutCommit(_VXQ_S_CLIAPP_OUTFILE *inout_ptFile)
{
    if (inout_ptFile->pFile == nullptr)
        return 0;
    if (VXQ_F_CLIAPP_OutIsStdout(inout_ptFile)) {
        /* A pipe cannot be synced; what the reader does with the bytes is its own affair. */
        int bFlushed = fflush(inout_ptFile->pFile) == 0;
        inout_ptFile->pFile = nullptr;
        return bFlushed;
    }
    int bOk = fflush(inout_ptFile->pFile) == 0 && fsync(fileno(inout_ptFile->pFile)) == 0;
    bOk = fclose(inout_ptFile->pFile) == 0 && bOk;
    inout_ptFile->pFile = nullptr;
    if (bOk && rename(inout_ptFile->sTempPath.c_str(), inout_ptFile->sPath.c_str()) == 0)
        return 1;
    unlink(inout_ptFile->sTempPath.c_str());
    return 0;
}

void VXQ_F_CLIAPP_OutDrop(_VXQ_S_CLIAPP_OUTFILE *inout_ptFile)
{
    if (inout_ptFile->pFile == nullptr)
        return;
    if (VXQ_F_CLIAPP_OutIsStdout(inout_ptFile)) {
        fflush(inout_ptFile->pFile);
        inout_ptFile->pFile = nullptr;
        return;
    }
    fclose(inout_ptFile->pFile);
    inout_ptFile->pFile = nullptr;
    unlink(inout_ptFile->sTempPath.c_str());
}

static int s_bProgressShown = 0;

void VXQ_F_CLIAPP_Progress(uint64_t in_qwDone, uint64_t in_qwTotal)
{
    if (!isatty(STDERR_FILENO))
        return;
    if (in_qwTotal > 0) {
        uint64_t qwShown = in_qwDone > in_qwTotal ? in_qwTotal : in_qwDone;
        int iPercent = (int)(qwShown * 100 / in_qwTotal);
        char sBar[31];
        int iFill = iPercent * 30 / 100;
        for (int i = 0; i < 30; i++)
            sBar[i] = i < iFill ? '#' : ' ';
        sBar[30] = 0;
        fprintf(stderr, "\r[%s] %3d%% %llu/%llu bytes", sBar, iPercent, (unsigned long long)in_qwDone,
                (unsigned long long)in_qwTotal);
    } else {
        fprintf(stderr, "\r%llu bytes", (unsigned long long)in_qwDone);
    }
    fflush(stderr);
    s_bProgressShown = 1;
}

void VXQ_F_CLIAPP_ProgressEnd(void)
{
    if (!s_bProgressShown)
        return;
    s_bProgressShown = 0;
    fprintf(stderr, "\n");
}

void VXQ_F_CLIAPP_PrintData(const std::vector<uint8_t> &in_tData)
{
    int bText = 1;
    for (size_t i = 0; i < in_tData.size() && bText; i++) {
        uint8_t c = in_tData[i];
        if (c == 0 && i + 1 == in_tData.size())
            break; /* a terminated text */
        if (c < 0x20 && c != '\n' && c != '\r' && c != '\t')
            bText = 0;
        if (c >= 0x7F)
            bText = 0;
    }
    if (bText) {
        std::string sText = VXQ_F_CLI_GetText(in_tData.data(), in_tData.size());
        printf("%s%s", sText.c_str(), !sText.empty() && sText.back() == '\n' ? "" : "\n");
        return;
    }
    for (size_t i = 0; i < in_tData.size(); i += 16) {
        printf("%08zx ", i);
        for (size_t k = i; k < i + 16 && k < in_tData.size(); k++)
            printf(" %02x", in_tData[k]);
        printf("\n");
    }
}
