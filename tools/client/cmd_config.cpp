/* cmd_config.cpp - dps-client commands config, net, users and passwd. */
#include "cliapp.h"

#include <string.h>

/* Writes in_tData to --out (temporary name, renamed when whole) or prints it. */
static int PR_Output(_VXQ_S_CLIAPP_CTX *in_ptCtx, const std::string &in_sOut, const std::vector<uint8_t> &in_tData)
{
    if (in_sOut.empty()) {
        VXQ_F_CLIAPP_PrintData(in_tData);
        return VXQ_CLIAPP_EXIT_OK;
    }
    _VXQ_S_CLIAPP_OUTFILE tOut = {std::string(), std::string(), nullptr, 0};
    if (!VXQ_F_CLIAPP_OutOpen(&tOut, in_sOut) || !VXQ_F_CLIAPP_OutWrite(&tOut, in_tData.data(), in_tData.size()) ||
        !VXQ_F_CLIAPP_OutCommit(&tOut)) {
        VXQ_F_CLIAPP_OutDrop(&tOut);
        return VXQ_F_CLIAPP_Report(in_ptCtx, VXQ_CLIAPP_EXIT_BROKEN, "cannot write '" + in_sOut + "'");
    }
    printf("%zu bytes written to %s\n", in_tData.size(), in_sOut.c_str());
    return VXQ_CLIAPP_EXIT_OK;
}

int VXQ_F_CLICMD_Config(_VXQ_S_CLIAPP_CTX *inout_ptCtx)
{
    _VXQ_S_CLIAPP_OPTS tOpts;
    if (!VXQ_F_CLIAPP_ParseOpts(inout_ptCtx, inout_ptCtx->tArgs, "--id --in --out --param", "", &tOpts))
        return VXQ_CLIAPP_EXIT_BROKEN;
    static const char *s_sOps[] = {"get", "set", "default", "export", "import"};
    std::string sOp = tOpts.tWords.size() == 1 ? tOpts.tWords[0] : std::string();
    int bKnown = 0;
    for (const char *s : s_sOps)
        bKnown |= sOp == s;
    if (!bKnown)
        return VXQ_F_CLIAPP_Usage(inout_ptCtx, "config needs one of get, set, default, export, import");
    int bNeedsId = sOp == "get" || sOp == "set" || sOp == "default";
    int bNeedsIn = sOp == "set" || sOp == "import";
    long long llId, llParam;
    std::string sIn, sOut;
    if (!VXQ_F_CLIAPP_OptInt(inout_ptCtx, &tOpts, "--id", bNeedsId, 0, -0x7FFFFFFF, 0x7FFFFFFF, &llId) ||
        !VXQ_F_CLIAPP_OptInt(inout_ptCtx, &tOpts, "--param", 0, 0, 0, 0xFFFFFFFFll, &llParam) ||
        !VXQ_F_CLIAPP_OptText(inout_ptCtx, &tOpts, "--in", bNeedsIn, &sIn) ||
        !VXQ_F_CLIAPP_OptText(inout_ptCtx, &tOpts, "--out", 0, &sOut))
        return VXQ_CLIAPP_EXIT_BROKEN;
    std::vector<uint8_t> tIn;
    if (!sIn.empty() && !VXQ_F_CLIAPP_ReadFile(sIn, &tIn))
        return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN, "cannot read '" + sIn + "': " + strerror(errno));
    int iStatus = VXQ_F_CLIAPP_Open(inout_ptCtx);
    if (iStatus >= 0)
        return iStatus;
    uint32_t dwLoginId = inout_ptCtx->tLogin.dwLoginId;
    uint32_t dwTransNo = VXQ_F_CLI_NextTransNo(&inout_ptCtx->tLink);
    std::vector<uint8_t> tMsg;
    if (sOp == "get")
        tMsg = VXQ_F_CLI_BuildConfig(VXQ_CLI_FN_GET_CONFIG, dwTransNo, dwLoginId, (int32_t)llId, tIn);
    else if (sOp == "set")
        tMsg = VXQ_F_CLI_BuildConfig(VXQ_CLI_FN_SET_CONFIG, dwTransNo, dwLoginId, (int32_t)llId, tIn);
    else if (sOp == "default")
        tMsg = VXQ_F_CLI_BuildGetDefConfig(dwTransNo, dwLoginId, (int32_t)llId, (uint32_t)llParam);
    else if (sOp == "export")
        tMsg = VXQ_F_CLI_BuildExportConfig(dwTransNo, dwLoginId);
    else
        tMsg = VXQ_F_CLI_BuildImportConfig(dwTransNo, dwLoginId, tIn);
    std::vector<uint8_t> tAnswer;
    iStatus = VXQ_F_CLIAPP_Call(inout_ptCtx, &inout_ptCtx->tLink, tMsg, tAnswer, "config " + sOp);
    if (iStatus >= 0)
        return iStatus;
    if (sOp == "set" || sOp == "import") {
        printf("config %s: %zu bytes accepted\n", sOp.c_str(), tIn.size());
        return VXQ_CLIAPP_EXIT_OK;
    }
    std::vector<uint8_t> tData;
    if (!VXQ_F_CLI_ParseConfigData(tAnswer.data(), tAnswer.size(), &tData))
        return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN, "malformed config answer");
    return PR_Output(inout_ptCtx, sOut, tData);
}

int VXQ_F_CLICMD_Net(_VXQ_S_CLIAPP_CTX *inout_ptCtx)
{
    _VXQ_S_CLIAPP_OPTS tOpts;
    if (!VXQ_F_CLIAPP_ParseOpts(inout_ptCtx, inout_ptCtx->tArgs, "", "", &tOpts))
        return VXQ_CLIAPP_EXIT_BROKEN;
    if (tOpts.tWords.size() != 1 || tOpts.tWords[0] != "info")
        return VXQ_F_CLIAPP_Usage(inout_ptCtx, "the net command is 'net info'");
    int iStatus = VXQ_F_CLIAPP_Open(inout_ptCtx);
    if (iStatus >= 0)
        return iStatus;
    std::vector<uint8_t> tAnswer;
    iStatus = VXQ_F_CLIAPP_Call(inout_ptCtx, &inout_ptCtx->tLink,
                                VXQ_F_CLI_BuildQueryNetInfo(VXQ_F_CLI_NextTransNo(&inout_ptCtx->tLink)), tAnswer,
                                "network information query");
    if (iStatus >= 0)
        return iStatus;
    std::vector<_VXQ_S_CLI_CARD_INFO> tCards;
    if (!VXQ_F_CLI_ParseNetInfo(tAnswer.data(), tAnswer.size(), &tCards))
        return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN, "malformed network information answer");
    printf("%zu network card(s)\n", tCards.size());
    for (const _VXQ_S_CLI_CARD_INFO &c : tCards)
        printf("%s: mac %02X-%02X-%02X-%02X-%02X-%02X, value %u, address %s, mask %s, gateway %s\n", c.sName.c_str(),
               c.ucMac[0], c.ucMac[1], c.ucMac[2], c.ucMac[3], c.ucMac[4], c.ucMac[5], c.dwValue, c.sAddr1.c_str(),
               c.sAddr2.c_str(), c.sAddr3.c_str());
    return VXQ_CLIAPP_EXIT_OK;
}

/* Reads --rights and --ch-rights into a rights record. */
static int PR_Pop(const _VXQ_S_CLIAPP_CTX *in_ptCtx, const _VXQ_S_CLIAPP_OPTS *in_ptOpts, _VXQ_S_CLI_USER_POP *out_ptPop)
{
    memset(out_ptPop, 0, sizeof(*out_ptPop));
    long long llGlobal;
    if (!VXQ_F_CLIAPP_OptInt(in_ptCtx, in_ptOpts, "--rights", 0, 0, 0, 0xFFFFFFFFll, &llGlobal))
        return 0;
    out_ptPop->dwGlobalPop = (uint32_t)llGlobal;
    std::string sList;
    VXQ_F_CLIAPP_OptText(in_ptCtx, in_ptOpts, "--ch-rights", 0, &sList);
    size_t iPos = 0;
    while (!sList.empty() && iPos <= sList.size()) {
        size_t iComma = sList.find(',', iPos);
        std::string sWord = sList.substr(iPos, iComma == std::string::npos ? std::string::npos : iComma - iPos);
        long long llWord = 0;
        if (out_ptPop->iChPopNum >= VXQ_CLI_MAX_CH_POP || !VXQ_F_CLIAPP_ParseNumber(sWord, &llWord) || llWord < 0 ||
            llWord > 0xFFFFFFFFll) {
            VXQ_F_CLIAPP_Usage(in_ptCtx, "bad --ch-rights '" + sList + "': up to 64 numbers separated by commas");
            return 0;
        }
        out_ptPop->dwChPop[out_ptPop->iChPopNum++] = (uint32_t)llWord;
        if (iComma == std::string::npos)
            break;
        iPos = iComma + 1;
    }
    return 1;
}

int VXQ_F_CLICMD_Users(_VXQ_S_CLIAPP_CTX *inout_ptCtx)
{
    _VXQ_S_CLIAPP_OPTS tOpts;
    if (!VXQ_F_CLIAPP_ParseOpts(inout_ptCtx, inout_ptCtx->tArgs, "--name --new-password --rights --ch-rights", "",
                                &tOpts))
        return VXQ_CLIAPP_EXIT_BROKEN;
    std::string sOp = tOpts.tWords.size() == 1 ? tOpts.tWords[0] : std::string();
    if (sOp != "add" && sOp != "del" && sOp != "get" && sOp != "set")
        return VXQ_F_CLIAPP_Usage(inout_ptCtx, "users needs one of add, del, get, set");
    std::string sName, sNewPassword;
    _VXQ_S_CLI_USER_POP tPop;
    if (!VXQ_F_CLIAPP_OptText(inout_ptCtx, &tOpts, "--name", 1, &sName) ||
        !VXQ_F_CLIAPP_OptText(inout_ptCtx, &tOpts, "--new-password", sOp == "add", &sNewPassword) ||
        !PR_Pop(inout_ptCtx, &tOpts, &tPop))
        return VXQ_CLIAPP_EXIT_BROKEN;
    if (sName.empty() || sName.size() > 31 || sNewPassword.size() > 31)
        return VXQ_F_CLIAPP_Usage(inout_ptCtx, "user names and passwords have 1 to 31 characters");
    int iStatus = VXQ_F_CLIAPP_Open(inout_ptCtx);
    if (iStatus >= 0)
        return iStatus;
    uint32_t dwLoginId = inout_ptCtx->tLogin.dwLoginId;
    uint32_t dwTransNo = VXQ_F_CLI_NextTransNo(&inout_ptCtx->tLink);
    std::vector<uint8_t> tMsg;
    if (sOp == "add")
        tMsg = VXQ_F_CLI_BuildAddUser(dwTransNo, dwLoginId, sName, sNewPassword, &tPop);
    else if (sOp == "del")
        tMsg = VXQ_F_CLI_BuildDelUser(dwTransNo, dwLoginId, sName);
    else if (sOp == "get")
        tMsg = VXQ_F_CLI_BuildUserPop(VXQ_CLI_FN_GET_USER, dwTransNo, dwLoginId, sName, nullptr);
    else
        tMsg = VXQ_F_CLI_BuildUserPop(VXQ_CLI_FN_SET_USER, dwTransNo, dwLoginId, sName, &tPop);
    std::vector<uint8_t> tAnswer;
    iStatus = VXQ_F_CLIAPP_Call(inout_ptCtx, &inout_ptCtx->tLink, tMsg, tAnswer, "users " + sOp + " '" + sName + "'");
    if (iStatus >= 0)
        return iStatus;
    if (sOp != "get") {
        printf("users %s '%s' done\n", sOp.c_str(), sName.c_str());
        return VXQ_CLIAPP_EXIT_OK;
    }
    if (!VXQ_F_CLI_ParseUserPop(tAnswer.data(), tAnswer.size(), &tPop))
        return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN, "malformed user answer");
    printf("user '%s': rights 0x%08X", sName.c_str(), tPop.dwGlobalPop);
    if (tPop.iChPopNum > 0) {
        printf(", channel rights");
        for (int32_t i = 0; i < tPop.iChPopNum; i++)
            printf("%s0x%02X", i ? "," : " ", tPop.dwChPop[i]);
    }
    printf("\n");
    return VXQ_CLIAPP_EXIT_OK;
}

int VXQ_F_CLICMD_Passwd(_VXQ_S_CLIAPP_CTX *inout_ptCtx)
{
    _VXQ_S_CLIAPP_OPTS tOpts;
    if (!VXQ_F_CLIAPP_ParseOpts(inout_ptCtx, inout_ptCtx->tArgs, "--new --name", "", &tOpts))
        return VXQ_CLIAPP_EXIT_BROKEN;
    std::string sNew, sName;
    if (!VXQ_F_CLIAPP_OptText(inout_ptCtx, &tOpts, "--new", 1, &sNew) ||
        !VXQ_F_CLIAPP_OptText(inout_ptCtx, &tOpts, "--name", 0, &sName))
        return VXQ_CLIAPP_EXIT_BROKEN;
    if (sName.empty())
        sName = inout_ptCtx->sUser;
    if (sNew.size() > 31 || sName.size() > 31)
        return VXQ_F_CLIAPP_Usage(inout_ptCtx, "user names and passwords have at most 31 characters");
    int iStatus = VXQ_F_CLIAPP_Open(inout_ptCtx);
    if (iStatus >= 0)
        return iStatus;
    std::vector<uint8_t> tAnswer;
    iStatus = VXQ_F_CLIAPP_Call(
        inout_ptCtx, &inout_ptCtx->tLink,
        VXQ_F_CLI_BuildModifyPwd(VXQ_F_CLI_NextTransNo(&inout_ptCtx->tLink), sName, inout_ptCtx->sPassword, sNew),
        tAnswer, "password change of '" + sName + "'");
    if (iStatus >= 0)
        return iStatus;
    printf("password of '%s' changed\n", sName.c_str());
    return VXQ_CLIAPP_EXIT_OK;
}
