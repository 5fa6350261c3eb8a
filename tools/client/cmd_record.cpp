/* cmd_record.cpp - dps-client commands records and download. */
#include "cliapp.h"

#include <errno.h>
#include <string.h>

/* Reads --from and --to as times. Returns 0 after a usage report. */
static int PR_TimeRange(const _VXQ_S_CLIAPP_CTX *in_ptCtx, const _VXQ_S_CLIAPP_OPTS *in_ptOpts,
                        _VXQ_S_CLI_TIME *out_ptFrom, _VXQ_S_CLI_TIME *out_ptTo)
{
    std::string sFrom, sTo;
    if (!VXQ_F_CLIAPP_OptText(in_ptCtx, in_ptOpts, "--from", 1, &sFrom) ||
        !VXQ_F_CLIAPP_OptText(in_ptCtx, in_ptOpts, "--to", 1, &sTo))
        return 0;
    if (!VXQ_F_CLI_ParseTimeText(sFrom.c_str(), out_ptFrom)) {
        VXQ_F_CLIAPP_Usage(in_ptCtx, "bad --from time '" + sFrom + "': YYYY-MM-DD hh:mm:ss");
        return 0;
    }
    if (!VXQ_F_CLI_ParseTimeText(sTo.c_str(), out_ptTo)) {
        VXQ_F_CLIAPP_Usage(in_ptCtx, "bad --to time '" + sTo + "': YYYY-MM-DD hh:mm:ss");
        return 0;
    }
    return 1;
}

int VXQ_F_CLICMD_Records(_VXQ_S_CLIAPP_CTX *inout_ptCtx)
{
    _VXQ_S_CLIAPP_OPTS tOpts;
    if (!VXQ_F_CLIAPP_ParseOpts(inout_ptCtx, inout_ptCtx->tArgs, "--ch --from --to --type", "", &tOpts))
        return VXQ_CLIAPP_EXIT_BROKEN;
    long long llCh, llType;
    _VXQ_S_CLI_TIME tFrom, tTo;
    if (!VXQ_F_CLIAPP_OptInt(inout_ptCtx, &tOpts, "--ch", 1, 0, -1, 0x7FFFFFFF, &llCh) ||
        !VXQ_F_CLIAPP_OptInt(inout_ptCtx, &tOpts, "--type", 0, 0, -0x7FFFFFFF, 0x7FFFFFFF, &llType) ||
        !PR_TimeRange(inout_ptCtx, &tOpts, &tFrom, &tTo))
        return VXQ_CLIAPP_EXIT_BROKEN;
    int iStatus = VXQ_F_CLIAPP_Open(inout_ptCtx);
    if (iStatus >= 0)
        return iStatus;
    std::vector<uint8_t> tAnswer;
    iStatus = VXQ_F_CLIAPP_Call(inout_ptCtx, &inout_ptCtx->tLink,
                                VXQ_F_CLI_BuildQueryFile(VXQ_F_CLI_NextTransNo(&inout_ptCtx->tLink),
                                                         inout_ptCtx->tLogin.dwLoginId, (int32_t)llCh, (int32_t)llType,
                                                         &tFrom, &tTo),
                                tAnswer, "record search", 30000);
    if (iStatus >= 0)
        return iStatus;
    std::vector<_VXQ_S_CLI_FILE_INFO> tFiles;
    if (!VXQ_F_CLI_ParseQueryFile(tAnswer.data(), tAnswer.size(), &tFiles))
        return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN, "malformed record search answer");
    printf("%zu record(s)\n", tFiles.size());
    for (const _VXQ_S_CLI_FILE_INFO &tFile : tFiles) {
        printf("%s  %s .. %s  %u bytes  %u s  type %d", tFile.sFileFlag.c_str(),
               VXQ_F_CLI_TimeText(&tFile.tStartTime).c_str(), VXQ_F_CLI_TimeText(&tFile.tEndTime).c_str(),
               tFile.dwFileSize, tFile.dwFileTimeLen, tFile.iFileType);
        /* A device that does not know the picture size while searching sends 0x0. */
        if (tFile.usVideoWidth != 0 && tFile.usVideoHeight != 0)
            printf("  %ux%u", tFile.usVideoWidth, tFile.usVideoHeight);
        printf("\n");
    }
    return VXQ_CLIAPP_EXIT_OK;
}

/* Tries of one read request before a download counts as stalled: the device
 * drops a read while its send queues are full, and the client asks again. */
#define PR_READ_TRIES 4
#define PR_READ_WAIT_MS 5000

int VXQ_F_CLICMD_Download(_VXQ_S_CLIAPP_CTX *inout_ptCtx)
{
    _VXQ_S_CLIAPP_OPTS tOpts;
    if (!VXQ_F_CLIAPP_ParseOpts(inout_ptCtx, inout_ptCtx->tArgs, "--file --ch --from --to --out", "", &tOpts))
        return VXQ_CLIAPP_EXIT_BROKEN;
    std::string sFlag, sOut;
    long long llCh = 0;
    _VXQ_S_CLI_TIME tFrom, tTo;
    if (!VXQ_F_CLIAPP_OptText(inout_ptCtx, &tOpts, "--file", 0, &sFlag) ||
        !VXQ_F_CLIAPP_OptText(inout_ptCtx, &tOpts, "--out", 1, &sOut))
        return VXQ_CLIAPP_EXIT_BROKEN;
    int bByTime = sFlag.empty();
    if (bByTime && !tOpts.tValues.count("--ch"))
        return VXQ_F_CLIAPP_Usage(inout_ptCtx, "download needs --file FLAG or --ch C --from TIME --to TIME");
    if (!bByTime && (tOpts.tValues.count("--ch") || tOpts.tValues.count("--from") || tOpts.tValues.count("--to")))
        return VXQ_F_CLIAPP_Usage(inout_ptCtx, "give either --file or --ch/--from/--to");
    if (bByTime && (!VXQ_F_CLIAPP_OptInt(inout_ptCtx, &tOpts, "--ch", 1, 0, 0, 0x7FFFFFFF, &llCh) ||
                    !PR_TimeRange(inout_ptCtx, &tOpts, &tFrom, &tTo)))
        return VXQ_CLIAPP_EXIT_BROKEN;
    int iStatus = VXQ_F_CLIAPP_OutCheckStream(inout_ptCtx, sOut);
    if (iStatus >= 0)
        return iStatus;
    iStatus = VXQ_F_CLIAPP_Open(inout_ptCtx);
    if (iStatus >= 0)
        return iStatus;
    uint32_t dwLoginId = inout_ptCtx->tLogin.dwLoginId;
    _VXQ_S_CLI_LINK tDown;
    if (!VXQ_F_CLIAPP_Connect(inout_ptCtx, &tDown, "download connection"))
        return VXQ_CLIAPP_EXIT_BROKEN;
    std::vector<uint8_t> tAnswer;
    std::vector<uint8_t> tOpen =
        bByTime ? VXQ_F_CLI_BuildDownloadOpenByTime(VXQ_F_CLI_NextTransNo(&tDown), dwLoginId, (int32_t)llCh, &tFrom, &tTo)
                : VXQ_F_CLI_BuildDownloadOpen(VXQ_F_CLI_NextTransNo(&tDown), dwLoginId, sFlag);
    iStatus = VXQ_F_CLIAPP_Call(inout_ptCtx, &tDown, tOpen, tAnswer, "open of the record file");
    uint32_t dwReadId = 0;
    _VXQ_S_CLI_FILE_INFO tInfo;
    if (iStatus < 0 && !VXQ_F_CLI_ParseDownloadOpen(tAnswer.data(), tAnswer.size(), &dwReadId, &tInfo))
        iStatus = VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN, "malformed open answer");
    if (iStatus >= 0) {
        VXQ_F_CLI_Close(&tDown);
        return iStatus;
    }
    _VXQ_S_CLIAPP_OUTFILE tOut = {std::string(), std::string(), nullptr, 0};
    if (!VXQ_F_CLIAPP_OutOpenStream(&tOut, sOut)) {
        VXQ_F_CLI_Close(&tDown);
        return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN, "cannot write '" + sOut + "': " + strerror(errno));
    }
    std::string sBroken;
    uint8_t ucRefused = 0;
    int bEnd = 0;
    uint32_t dwRequId = 0;
    int iTries = 0;
    while (!bEnd && sBroken.empty() && !ucRefused) {
        if (g_bCliStop) {
            sBroken = "interrupted";
            break;
        }
        if (!VXQ_F_CLIAPP_KeepAlive(inout_ptCtx)) {
            sBroken = "command connection: " + VXQ_F_CLI_ErrorText(&inout_ptCtx->tLink);
            break;
        }
        std::vector<uint8_t> tDrop;
        while (VXQ_F_CLI_ReadMsg(&inout_ptCtx->tLink, tDrop, 0))
            ;
        dwRequId++;
        if (!VXQ_F_CLI_SendMsg(&tDown, VXQ_F_CLI_BuildDownloadGet(VXQ_F_CLI_NextTransNo(&tDown), dwLoginId, dwReadId,
                                                                   dwRequId, 0, 0))) {
            sBroken = "download connection: " + VXQ_F_CLI_ErrorText(&tDown);
            break;
        }
        /* The answers of this request, until one marks its end. */
        for (;;) {
            if (!VXQ_F_CLI_ReadMsg(&tDown, tAnswer, PR_READ_WAIT_MS)) {
                if (tDown.iError == VXQ_CLI_ERR_TIMEOUT && ++iTries < PR_READ_TRIES)
                    break; /* ask again */
                sBroken = "download connection: " + VXQ_F_CLI_ErrorText(&tDown);
                break;
            }
            _VXQ_S_CLI_FILE_PIECE tPiece;
            if (!VXQ_F_CLI_ParseDownloadGet(tAnswer.data(), tAnswer.size(), &tPiece))
                continue; /* heartbeat echoes and anything else */
            /* Pieces come in file order whatever request they answer: a late
             * answer of a request asked again still carries the next bytes. */
            iTries = 0;
            uint8_t ucResult = VXQ_F_CLI_Result(tAnswer);
            if (ucResult != 0) {
                ucRefused = ucResult;
                break;
            }
            if (!VXQ_F_CLIAPP_OutWrite(&tOut, tPiece.pData, tPiece.dwDataLen)) {
                sBroken = "cannot write " + VXQ_F_CLIAPP_OutName(&tOut);
                if (VXQ_F_CLIAPP_OutIsStdout(&tOut))
                    sBroken += std::string(": ") + strerror(errno);
                break;
            }
            VXQ_F_CLIAPP_Progress(tOut.qwBytes, tInfo.dwFileSize);
            if (tPiece.ucDataEnd == 1)
                bEnd = 1;
            if (tPiece.ucDataEnd == 1 || (tPiece.ucDataEnd != 0 && tPiece.dwRequId == dwRequId))
                break;
        }
    }
    VXQ_F_CLIAPP_ProgressEnd();
    if (tDown.iSock >= 0 && !tDown.bPeerClosed)
        VXQ_F_CLI_SendMsg(&tDown, VXQ_F_CLI_BuildDownloadClose(VXQ_F_CLI_NextTransNo(&tDown), dwLoginId, dwReadId));
    VXQ_F_CLI_Close(&tDown);
    if (ucRefused) {
        VXQ_F_CLIAPP_OutDrop(&tOut);
        return VXQ_F_CLIAPP_Refused(inout_ptCtx, "download broke after " + std::to_string(tOut.qwBytes) +
                                                     " bytes: file read",
                                    ucRefused);
    }
    if (!sBroken.empty()) {
        unsigned long long llBytes = tOut.qwBytes;
        VXQ_F_CLIAPP_OutDrop(&tOut);
        return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN,
                                   "download broke after " + std::to_string(llBytes) + " bytes: " + sBroken);
    }
    if (!VXQ_F_CLIAPP_OutCommit(&tOut))
        return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN, "cannot finish " + VXQ_F_CLIAPP_OutName(&tOut));
    int bStdout = VXQ_F_CLIAPP_OutIsStdout(&tOut);
    fprintf(bStdout ? stderr : stdout, "downloaded %llu bytes of %s to %s\n", (unsigned long long)tOut.qwBytes,
            tInfo.sFileFlag.c_str(), bStdout ? "the standard output" : sOut.c_str());
    return VXQ_CLIAPP_EXIT_OK;
}
