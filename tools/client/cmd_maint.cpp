/* cmd_maint.cpp - dps-client commands serial, custom, ability, version, upgrade, reboot and stop. */
#include "cliapp.h"

#include <string.h>

/* Serial line parameters sent with an open when --params is not given:
 * 9600 baud, 8 data bits, no parity, 1 stop bit, no flow control, port 0. */
static const uint32_t s_dwComDefault[6] = {9600, 8, 0, 1, 0, 0};

int VXQ_F_CLICMD_Serial(_VXQ_S_CLIAPP_CTX *inout_ptCtx)
{
    _VXQ_S_CLIAPP_OPTS tOpts;
    if (!VXQ_F_CLIAPP_ParseOpts(inout_ptCtx, inout_ptCtx->tArgs, "--params --data --in --seconds --out", "", &tOpts))
        return VXQ_CLIAPP_EXIT_BROKEN;
    std::string sOp = tOpts.tWords.size() == 1 ? tOpts.tWords[0] : std::string();
    if (sOp != "open" && sOp != "write" && sOp != "read")
        return VXQ_F_CLIAPP_Usage(inout_ptCtx, "serial needs one of open, write, read");
    uint32_t dwParam[6];
    memcpy(dwParam, s_dwComDefault, sizeof(dwParam));
    std::string sParams, sData, sIn, sOut;
    long long llSeconds;
    if (!VXQ_F_CLIAPP_OptText(inout_ptCtx, &tOpts, "--params", 0, &sParams) ||
        !VXQ_F_CLIAPP_OptText(inout_ptCtx, &tOpts, "--data", 0, &sData) ||
        !VXQ_F_CLIAPP_OptText(inout_ptCtx, &tOpts, "--in", 0, &sIn) ||
        !VXQ_F_CLIAPP_OptText(inout_ptCtx, &tOpts, "--out", 0, &sOut) ||
        !VXQ_F_CLIAPP_OptInt(inout_ptCtx, &tOpts, "--seconds", 0, sOp == "read" ? 10 : 2, 0, 86400, &llSeconds))
        return VXQ_CLIAPP_EXIT_BROKEN;
    if (!sParams.empty()) {
        size_t iPos = 0;
        for (int i = 0; i < 6; i++) {
            size_t iComma = sParams.find(',', iPos);
            long long llValue = 0;
            std::string sWord = sParams.substr(iPos, iComma == std::string::npos ? std::string::npos : iComma - iPos);
            if (!VXQ_F_CLIAPP_ParseNumber(sWord, &llValue) || llValue < 0 || llValue > 0xFFFFFFFFll ||
                (i < 5 && iComma == std::string::npos) || (i == 5 && iComma != std::string::npos))
                return VXQ_F_CLIAPP_Usage(inout_ptCtx, "bad --params '" + sParams + "': six numbers A,B,C,D,E,F");
            dwParam[i] = (uint32_t)llValue;
            iPos = iComma + 1;
        }
    }
    std::vector<uint8_t> tData(sData.begin(), sData.end());
    if (sOp == "write") {
        if (!sData.empty() && !sIn.empty())
            return VXQ_F_CLIAPP_Usage(inout_ptCtx, "give either --data or --in");
        if (!sIn.empty() && !VXQ_F_CLIAPP_ReadFile(sIn, &tData))
            return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN, "cannot read '" + sIn + "'");
        if (tData.empty())
            return VXQ_F_CLIAPP_Usage(inout_ptCtx, "serial write needs --data TEXT or --in FILE with data");
    }
    int iStatus = VXQ_F_CLIAPP_Open(inout_ptCtx);
    if (iStatus >= 0)
        return iStatus;
    uint32_t dwLoginId = inout_ptCtx->tLogin.dwLoginId;
    _VXQ_S_CLI_LINK *pLink = &inout_ptCtx->tLink;
    std::vector<uint8_t> tAnswer;
    iStatus = VXQ_F_CLIAPP_Call(inout_ptCtx, pLink, VXQ_F_CLI_BuildComOpen(VXQ_F_CLI_NextTransNo(pLink), dwLoginId, dwParam),
                                tAnswer, "serial port open");
    if (iStatus >= 0)
        return iStatus;
    printf("serial port open\n");
    if (sOp == "write") {
        iStatus = VXQ_F_CLIAPP_Call(inout_ptCtx, pLink,
                                    VXQ_F_CLI_BuildComSend(VXQ_F_CLI_NextTransNo(pLink), dwLoginId, 0, 0, tData),
                                    tAnswer, "serial write");
        if (iStatus >= 0)
            return iStatus;
        printf("%zu bytes written\n", tData.size());
    }
    /* What the port sends back arrives as notices on this connection. */
    std::vector<uint8_t> tReceived;
    std::vector<uint8_t> tMsg;
    int64_t iEndMs = VXQ_F_CLIAPP_NowMs() + (sOp == "open" ? 0 : llSeconds * 1000);
    std::string sBroken;
    while (!g_bCliStop) {
        int64_t iLeft = iEndMs - VXQ_F_CLIAPP_NowMs();
        if (iLeft <= 0)
            break;
        if (!VXQ_F_CLIAPP_KeepAlive(inout_ptCtx)) {
            sBroken = VXQ_F_CLI_ErrorText(pLink);
            break;
        }
        if (!VXQ_F_CLI_ReadMsg(pLink, tMsg, iLeft < 200 ? (int)iLeft : 200)) {
            if (pLink->iError != VXQ_CLI_ERR_TIMEOUT) {
                sBroken = VXQ_F_CLI_ErrorText(pLink);
                break;
            }
            continue;
        }
        std::vector<uint8_t> tPiece;
        if (VXQ_F_CLI_ParseComData(tMsg.data(), tMsg.size(), &tPiece)) {
            tReceived.insert(tReceived.end(), tPiece.begin(), tPiece.end());
            /* A write waits only for as many bytes as it wrote. */
            if (sOp == "write" && tReceived.size() >= tData.size())
                break;
            continue;
        }
        _VXQ_S_CLI_HEAD tHead;
        if (VXQ_F_CLI_ParseHead(tMsg.data(), tMsg.size(), &tHead) && tHead.usMsgFuncId == VXQ_CLI_FN_COM_CLOSE &&
            tHead.ucPacketType == VXQ_CLI_PACKET_REQUEST) {
            printf("the device closed the serial port\n");
            break;
        }
    }
    if (!sBroken.empty())
        return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN, "command connection: " + sBroken);
    if (sOp != "open") {
        printf("%zu bytes received\n", tReceived.size());
        if (!sOut.empty()) {
            _VXQ_S_CLIAPP_OUTFILE tOut = {std::string(), std::string(), nullptr, 0};
            if (!VXQ_F_CLIAPP_OutOpen(&tOut, sOut) || !VXQ_F_CLIAPP_OutWrite(&tOut, tReceived.data(), tReceived.size()) ||
                !VXQ_F_CLIAPP_OutCommit(&tOut)) {
                VXQ_F_CLIAPP_OutDrop(&tOut);
                return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN, "cannot write '" + sOut + "'");
            }
        } else if (!tReceived.empty()) {
            VXQ_F_CLIAPP_PrintData(tReceived);
        }
    }
    return VXQ_F_CLIAPP_Call(inout_ptCtx, pLink, VXQ_F_CLI_BuildComClose(VXQ_F_CLI_NextTransNo(pLink), dwLoginId, 0, 0),
                             tAnswer, "serial port close") < 0
               ? VXQ_CLIAPP_EXIT_OK
               : VXQ_CLIAPP_EXIT_REFUSED;
}

int VXQ_F_CLICMD_Custom(_VXQ_S_CLIAPP_CTX *inout_ptCtx)
{
    _VXQ_S_CLIAPP_OPTS tOpts;
    if (!VXQ_F_CLIAPP_ParseOpts(inout_ptCtx, inout_ptCtx->tArgs, "--id --in --out", "", &tOpts))
        return VXQ_CLIAPP_EXIT_BROKEN;
    long long llId;
    std::string sIn, sOut;
    if (!VXQ_F_CLIAPP_OptInt(inout_ptCtx, &tOpts, "--id", 1, 0, 0, 0xFFFFFFFFll, &llId) ||
        !VXQ_F_CLIAPP_OptText(inout_ptCtx, &tOpts, "--in", 0, &sIn) ||
        !VXQ_F_CLIAPP_OptText(inout_ptCtx, &tOpts, "--out", 0, &sOut))
        return VXQ_CLIAPP_EXIT_BROKEN;
    std::vector<uint8_t> tIn;
    if (!sIn.empty() && !VXQ_F_CLIAPP_ReadFile(sIn, &tIn))
        return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN, "cannot read '" + sIn + "'");
    int iStatus = VXQ_F_CLIAPP_Open(inout_ptCtx);
    if (iStatus >= 0)
        return iStatus;
    std::vector<uint8_t> tAnswer;
    iStatus = VXQ_F_CLIAPP_Call(inout_ptCtx, &inout_ptCtx->tLink,
                                VXQ_F_CLI_BuildCustom(VXQ_F_CLI_NextTransNo(&inout_ptCtx->tLink), (uint32_t)llId, tIn),
                                tAnswer, "custom message " + std::to_string(llId));
    if (iStatus >= 0)
        return iStatus;
    std::vector<uint8_t> tData;
    if (!VXQ_F_CLI_ParseCustom(tAnswer.data(), tAnswer.size(), &tData))
        return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN, "malformed custom answer");
    if (sOut.empty()) {
        printf("%zu bytes of answer\n", tData.size());
        if (!tData.empty())
            VXQ_F_CLIAPP_PrintData(tData);
        return VXQ_CLIAPP_EXIT_OK;
    }
    _VXQ_S_CLIAPP_OUTFILE tOut = {std::string(), std::string(), nullptr, 0};
    if (!VXQ_F_CLIAPP_OutOpen(&tOut, sOut) || !VXQ_F_CLIAPP_OutWrite(&tOut, tData.data(), tData.size()) ||
        !VXQ_F_CLIAPP_OutCommit(&tOut)) {
        VXQ_F_CLIAPP_OutDrop(&tOut);
        return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN, "cannot write '" + sOut + "'");
    }
    printf("%zu bytes of answer written to %s\n", tData.size(), sOut.c_str());
    return VXQ_CLIAPP_EXIT_OK;
}

int VXQ_F_CLICMD_Ability(_VXQ_S_CLIAPP_CTX *inout_ptCtx)
{
    _VXQ_S_CLIAPP_OPTS tOpts;
    long long llKind;
    if (!VXQ_F_CLIAPP_ParseOpts(inout_ptCtx, inout_ptCtx->tArgs, "--kind", "", &tOpts) ||
        !VXQ_F_CLIAPP_OptInt(inout_ptCtx, &tOpts, "--kind", 0, 0, 0, 0xFFFFFFFFll, &llKind))
        return VXQ_CLIAPP_EXIT_BROKEN;
    int iStatus = VXQ_F_CLIAPP_Open(inout_ptCtx);
    if (iStatus >= 0)
        return iStatus;
    std::vector<uint8_t> tAnswer;
    iStatus = VXQ_F_CLIAPP_Call(inout_ptCtx, &inout_ptCtx->tLink,
                                VXQ_F_CLI_BuildAbility(VXQ_F_CLI_NextTransNo(&inout_ptCtx->tLink),
                                                       inout_ptCtx->tLogin.dwLoginId, (uint32_t)llKind),
                                tAnswer, "ability query");
    if (iStatus >= 0)
        return iStatus;
    std::string sText;
    if (!VXQ_F_CLI_ParseAbility(tAnswer.data(), tAnswer.size(), &sText))
        return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN, "malformed ability answer");
    printf("%s\n", sText.c_str());
    return VXQ_CLIAPP_EXIT_OK;
}

int VXQ_F_CLICMD_Version(_VXQ_S_CLIAPP_CTX *inout_ptCtx)
{
    _VXQ_S_CLIAPP_OPTS tOpts;
    if (!VXQ_F_CLIAPP_ParseOpts(inout_ptCtx, inout_ptCtx->tArgs, "", "", &tOpts))
        return VXQ_CLIAPP_EXIT_BROKEN;
    int iStatus = VXQ_F_CLIAPP_Open(inout_ptCtx);
    if (iStatus >= 0)
        return iStatus;
    std::vector<uint8_t> tAnswer;
    iStatus = VXQ_F_CLIAPP_Call(inout_ptCtx, &inout_ptCtx->tLink,
                                VXQ_F_CLI_BuildMaint(VXQ_CLI_FN_VERSION, VXQ_F_CLI_NextTransNo(&inout_ptCtx->tLink),
                                                     inout_ptCtx->tLogin.dwLoginId),
                                tAnswer, "version query");
    if (iStatus >= 0)
        return iStatus;
    uint16_t usShort[4];
    uint32_t dwLong[4];
    if (!VXQ_F_CLI_ParseVersion(tAnswer.data(), tAnswer.size(), usShort, dwLong))
        return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN, "malformed version answer");
    printf("version: %u.%u.%u.%u (%u, %u, %u, %u)\n", usShort[0], usShort[1], usShort[2], usShort[3], dwLong[0],
           dwLong[1], dwLong[2], dwLong[3]);
    return VXQ_CLIAPP_EXIT_OK;
}

int VXQ_F_CLICMD_Upgrade(_VXQ_S_CLIAPP_CTX *inout_ptCtx)
{
    _VXQ_S_CLIAPP_OPTS tOpts;
    std::string sIn;
    long long llPiece;
    if (!VXQ_F_CLIAPP_ParseOpts(inout_ptCtx, inout_ptCtx->tArgs, "--in --piece", "", &tOpts) ||
        !VXQ_F_CLIAPP_OptText(inout_ptCtx, &tOpts, "--in", 1, &sIn) ||
        !VXQ_F_CLIAPP_OptInt(inout_ptCtx, &tOpts, "--piece", 0, 32768, 1, 1 << 20, &llPiece))
        return VXQ_CLIAPP_EXIT_BROKEN;
    std::vector<uint8_t> tImage;
    if (!VXQ_F_CLIAPP_ReadFile(sIn, &tImage))
        return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN, "cannot read '" + sIn + "': " + strerror(errno));
    if (tImage.empty())
        return VXQ_F_CLIAPP_Usage(inout_ptCtx, "the upgrade image '" + sIn + "' is empty");
    int iStatus = VXQ_F_CLIAPP_Open(inout_ptCtx);
    if (iStatus >= 0)
        return iStatus;
    _VXQ_S_CLI_LINK *pLink = &inout_ptCtx->tLink;
    std::vector<uint8_t> tAnswer;
    iStatus = VXQ_F_CLIAPP_Call(inout_ptCtx, pLink,
                                VXQ_F_CLI_BuildRequUpgrade(VXQ_F_CLI_NextTransNo(pLink), inout_ptCtx->tLogin.dwLoginId,
                                                           0, 0, (uint32_t)tImage.size()),
                                tAnswer, "upgrade request");
    if (iStatus >= 0)
        return iStatus;
    size_t iSent = 0;
    while (iSent < tImage.size()) {
        if (g_bCliStop)
            return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN,
                                       "upgrade interrupted after " + std::to_string(iSent) + " bytes");
        if (!VXQ_F_CLIAPP_KeepAlive(inout_ptCtx))
            return VXQ_F_CLIAPP_LinkFail(inout_ptCtx, pLink, "heartbeat");
        size_t iLen = tImage.size() - iSent < (size_t)llPiece ? tImage.size() - iSent : (size_t)llPiece;
        iStatus = VXQ_F_CLIAPP_Call(
            inout_ptCtx, pLink,
            VXQ_F_CLI_BuildUpgradeData(VXQ_F_CLI_NextTransNo(pLink), (uint32_t)iSent, tImage.data() + iSent, iLen),
            tAnswer, "upgrade data at byte " + std::to_string(iSent));
        if (iStatus >= 0)
            return iStatus;
        iSent += iLen;
        VXQ_F_CLIAPP_Progress(iSent, tImage.size());
    }
    VXQ_F_CLIAPP_ProgressEnd();
    uint32_t dwProgress = 0;
    iStatus = VXQ_F_CLIAPP_Call(inout_ptCtx, pLink,
                                VXQ_F_CLI_BuildUpgradeQuery(VXQ_CLI_FN_PROGRESS, VXQ_F_CLI_NextTransNo(pLink), 0),
                                tAnswer, "upgrade progress query");
    if (iStatus >= 0)
        return iStatus;
    VXQ_F_CLI_ParseUpgradeValue(tAnswer.data(), tAnswer.size(), &dwProgress);
    printf("upgrade: %zu bytes sent, device progress %u\n", iSent, dwProgress);
    return VXQ_CLIAPP_EXIT_OK;
}

/* Reboot and stop: one request, answered at once. */
static int PR_Maint(_VXQ_S_CLIAPP_CTX *inout_ptCtx, uint16_t in_usFuncId, const char *in_sWhat)
{
    _VXQ_S_CLIAPP_OPTS tOpts;
    if (!VXQ_F_CLIAPP_ParseOpts(inout_ptCtx, inout_ptCtx->tArgs, "", "", &tOpts))
        return VXQ_CLIAPP_EXIT_BROKEN;
    int iStatus = VXQ_F_CLIAPP_Open(inout_ptCtx);
    if (iStatus >= 0)
        return iStatus;
    std::vector<uint8_t> tAnswer;
    iStatus = VXQ_F_CLIAPP_Call(inout_ptCtx, &inout_ptCtx->tLink,
                                VXQ_F_CLI_BuildMaint(in_usFuncId, VXQ_F_CLI_NextTransNo(&inout_ptCtx->tLink),
                                                     inout_ptCtx->tLogin.dwLoginId),
                                tAnswer, in_sWhat);
    if (iStatus >= 0)
        return iStatus;
    printf("%s accepted\n", in_sWhat);
    return VXQ_CLIAPP_EXIT_OK;
}

int VXQ_F_CLICMD_Reboot(_VXQ_S_CLIAPP_CTX *inout_ptCtx)
{
    return PR_Maint(inout_ptCtx, VXQ_CLI_FN_REBOOT, "reboot");
}

int VXQ_F_CLICMD_Stop(_VXQ_S_CLIAPP_CTX *inout_ptCtx)
{
    return PR_Maint(inout_ptCtx, VXQ_CLI_FN_STOP, "stop");
}
