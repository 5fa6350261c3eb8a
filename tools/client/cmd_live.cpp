/* cmd_live.cpp - dps-client commands info, live, ptz, iframe and quality. */
#include "cliapp.h"

#include <errno.h>
#include <string.h>
#include <unistd.h>

int VXQ_F_CLICMD_Info(_VXQ_S_CLIAPP_CTX *inout_ptCtx)
{
    _VXQ_S_CLIAPP_OPTS tOpts;
    if (!VXQ_F_CLIAPP_ParseOpts(inout_ptCtx, inout_ptCtx->tArgs, "", "", &tOpts))
        return VXQ_CLIAPP_EXIT_BROKEN;
    if (!tOpts.tWords.empty())
        return VXQ_F_CLIAPP_Usage(inout_ptCtx, "info takes no arguments");
    int iStatus = VXQ_F_CLIAPP_Open(inout_ptCtx);
    if (iStatus >= 0)
        return iStatus;
    const _VXQ_S_CLI_LOGIN_INFO *p = &inout_ptCtx->tLogin;
    printf("login id: 0x%08x\n", p->dwLoginId);
    printf("device id: %s\n", p->sDevIdText.c_str());
    printf("device text 1: %s\n", p->sDevText1.c_str());
    printf("device text 2: %s\n", p->sDevText2.c_str());
    printf("video channels: %d\n", p->iVideoChanNum);
    printf("audio channels: %d\n", p->iAudioChanNum);
    printf("special channel 10000: %s\n", p->bSpecialChFlag ? "yes" : "no");
    printf("capability values: %d %d %d, value 5 (low byte): %u\n", p->iDevCapValue1, p->iDevCapValue2,
           p->iDevCapValue3, p->ucDevCapValue5);
    return VXQ_CLIAPP_EXIT_OK;
}

/* Running counts of a live view. */
typedef struct _VXQ_S_CLILIVE_STATS {
    uint32_t dwFrames;
    uint32_t dwIFrames;
    uint64_t qwVideoBytes;
    uint32_t dwAudioFrames;
    uint64_t qwAudioBytes;
    uint32_t dwFirstTs;
    uint32_t dwLastTs;
    int64_t iStartMs;
} _VXQ_S_CLILIVE_STATS;

/* Seconds the received video spans: by the time stamps, else by the clock. */
static double PR_Span(const _VXQ_S_CLILIVE_STATS *in_ptStats)
{
    if (in_ptStats->dwFrames > 1 && in_ptStats->dwLastTs > in_ptStats->dwFirstTs)
        return (in_ptStats->dwLastTs - in_ptStats->dwFirstTs) / 1000.0;
    return (VXQ_F_CLIAPP_NowMs() - in_ptStats->iStartMs) / 1000.0;
}

static void PR_LiveLine(const _VXQ_S_CLILIVE_STATS *in_ptStats, FILE *in_pOut, const char *in_sEnd)
{
    double fSpan = PR_Span(in_ptStats);
    double fRate = in_ptStats->dwFrames > 1 && fSpan > 0 ? (in_ptStats->dwFrames - 1) / fSpan : 0.0;
    double fKbit = fSpan > 0 ? in_ptStats->qwVideoBytes * 8.0 / 1000.0 / fSpan : 0.0;
    fprintf(in_pOut, "frames %u, I-frames %u, frame rate %.2f fps, bit rate %.1f kbit/s, bytes %llu", in_ptStats->dwFrames,
            in_ptStats->dwIFrames, fRate, fKbit, (unsigned long long)in_ptStats->qwVideoBytes);
    if (in_ptStats->dwAudioFrames)
        fprintf(in_pOut, ", audio frames %u (%llu bytes)", in_ptStats->dwAudioFrames,
                (unsigned long long)in_ptStats->qwAudioBytes);
    fputs(in_sEnd, in_pOut);
    fflush(in_pOut);
}

int VXQ_F_CLICMD_Live(_VXQ_S_CLIAPP_CTX *inout_ptCtx)
{
    _VXQ_S_CLIAPP_OPTS tOpts;
    if (!VXQ_F_CLIAPP_ParseOpts(inout_ptCtx, inout_ptCtx->tArgs, "--ch --stream --seconds --out --audio-out",
                                "--audio", &tOpts))
        return VXQ_CLIAPP_EXIT_BROKEN;
    long long llCh, llStream, llSeconds;
    std::string sOut, sAudioOut;
    if (!VXQ_F_CLIAPP_OptInt(inout_ptCtx, &tOpts, "--ch", 1, 0, 0, 65535, &llCh) ||
        !VXQ_F_CLIAPP_OptInt(inout_ptCtx, &tOpts, "--stream", 0, 0, 0, 65535, &llStream) ||
        !VXQ_F_CLIAPP_OptInt(inout_ptCtx, &tOpts, "--seconds", 0, 10, 1, 86400, &llSeconds) ||
        !VXQ_F_CLIAPP_OptText(inout_ptCtx, &tOpts, "--out", 1, &sOut) ||
        !VXQ_F_CLIAPP_OptText(inout_ptCtx, &tOpts, "--audio-out", 0, &sAudioOut))
        return VXQ_CLIAPP_EXIT_BROKEN;
    int bAudio = tOpts.tFlags.count("--audio") || !sAudioOut.empty();
    if (bAudio && sAudioOut.empty()) {
        if (sOut == "-")
            return VXQ_F_CLIAPP_Usage(inout_ptCtx, "--audio with --out - needs --audio-out FILE");
        sAudioOut = sOut + ".g711";
    }
    if (sOut == "-" && sAudioOut == "-")
        return VXQ_F_CLIAPP_Usage(inout_ptCtx, "--out and --audio-out cannot both be the standard output");
    int iStatus = VXQ_F_CLIAPP_OutCheckStream(inout_ptCtx, sOut);
    if (iStatus < 0)
        iStatus = VXQ_F_CLIAPP_OutCheckStream(inout_ptCtx, sAudioOut);
    if (iStatus >= 0)
        return iStatus;
    iStatus = VXQ_F_CLIAPP_Open(inout_ptCtx);
    if (iStatus >= 0)
        return iStatus;
    _VXQ_S_CLI_LINK tMedia;
    if (!VXQ_F_CLIAPP_Connect(inout_ptCtx, &tMedia, "media connection"))
        return VXQ_CLIAPP_EXIT_BROKEN;
    uint32_t dwLoginId = inout_ptCtx->tLogin.dwLoginId;
    std::vector<uint8_t> tAnswer;
    iStatus = VXQ_F_CLIAPP_Call(inout_ptCtx, &tMedia,
                                VXQ_F_CLI_BuildExRealplayOpen(VXQ_F_CLI_NextTransNo(&tMedia), dwLoginId, (uint16_t)llCh,
                                                              (uint16_t)llStream, 0),
                                tAnswer, "open of channel " + std::to_string(llCh) + " stream " + std::to_string(llStream));
    uint32_t dwConnId = 0;
    if (iStatus < 0 && !VXQ_F_CLI_ParseExRealplayOpen(tAnswer.data(), tAnswer.size(), &dwConnId))
        iStatus = VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN, "malformed open answer");
    if (iStatus >= 0) {
        VXQ_F_CLI_Close(&tMedia);
        return iStatus;
    }
    if (bAudio)
        iStatus = VXQ_F_CLIAPP_Call(inout_ptCtx, &inout_ptCtx->tLink,
                                    VXQ_F_CLI_BuildCtrlStream(VXQ_F_CLI_NextTransNo(&inout_ptCtx->tLink), dwLoginId,
                                                              dwConnId, 1, 1),
                                    tAnswer, "audio continue");
    if (iStatus >= 0) {
        VXQ_F_CLI_Close(&tMedia);
        return iStatus;
    }
    _VXQ_S_CLIAPP_OUTFILE tVideo = {std::string(), std::string(), nullptr, 0};
    _VXQ_S_CLIAPP_OUTFILE tAudioFile = {std::string(), std::string(), nullptr, 0};
    const std::string *psFailed = nullptr;
    if (!VXQ_F_CLIAPP_OutOpenStream(&tVideo, sOut))
        psFailed = &sOut;
    else if (bAudio && !VXQ_F_CLIAPP_OutOpenStream(&tAudioFile, sAudioOut))
        psFailed = &sAudioOut;
    if (psFailed != nullptr) {
        int iErr = errno;
        VXQ_F_CLIAPP_OutDrop(&tVideo);
        VXQ_F_CLI_Close(&tMedia);
        return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN,
                                   "cannot write '" + *psFailed + "': " + strerror(iErr));
    }
    /* The summary goes where it does not mix with the media. */
    FILE *pSummary = VXQ_F_CLIAPP_OutIsStdout(&tVideo) || VXQ_F_CLIAPP_OutIsStdout(&tAudioFile) ? stderr : stdout;
    _VXQ_S_CLILIVE_STATS tStats;
    memset(&tStats, 0, sizeof(tStats));
    tStats.iStartMs = VXQ_F_CLIAPP_NowMs();
    int64_t iEndMs = tStats.iStartMs + llSeconds * 1000;
    int64_t iLastLineMs = 0;
    int bTerminal = isatty(STDERR_FILENO);
    std::string sBroken;
    std::vector<uint8_t> tMsg;
    while (!g_bCliStop && sBroken.empty()) {
        int64_t iNow = VXQ_F_CLIAPP_NowMs();
        if (iNow >= iEndMs)
            break;
        if (!VXQ_F_CLIAPP_KeepAlive(inout_ptCtx)) {
            sBroken = "command connection: " + VXQ_F_CLI_ErrorText(&inout_ptCtx->tLink);
            break;
        }
        /* Heartbeat echoes on the command connection are read and dropped. */
        while (VXQ_F_CLI_ReadMsg(&inout_ptCtx->tLink, tMsg, 0))
            ;
        int64_t iWait = iEndMs - iNow < 200 ? iEndMs - iNow : 200;
        if (!VXQ_F_CLI_ReadMsg(&tMedia, tMsg, (int)iWait)) {
            if (tMedia.iError != VXQ_CLI_ERR_TIMEOUT)
                sBroken = "media connection: " + VXQ_F_CLI_ErrorText(&tMedia);
            continue;
        }
        _VXQ_S_CLI_MEDIA_HEAD tFrame;
        if (!VXQ_F_CLI_ParseFrame(tMsg.data(), tMsg.size(), &tFrame))
            continue;
        if (tFrame.bVideo) {
            if (tStats.dwFrames == 0 && tFrame.ucFrameType != VXQ_CLI_FRAME_TYPE_I)
                continue; /* the file starts at an I-frame */
            if (!VXQ_F_CLIAPP_OutWrite(&tVideo, tFrame.pData, tFrame.dwDataLen)) {
                /* The reader of a pipe (a player) going away ends the view as its time would. */
                if (!(VXQ_F_CLIAPP_OutIsStdout(&tVideo) && errno == EPIPE))
                    sBroken = "cannot write " + VXQ_F_CLIAPP_OutName(&tVideo);
                break;
            }
            if (tStats.dwFrames == 0)
                tStats.dwFirstTs = tFrame.dwTimeStampMs;
            tStats.dwLastTs = tFrame.dwTimeStampMs;
            tStats.dwFrames++;
            tStats.dwIFrames += tFrame.ucFrameType == VXQ_CLI_FRAME_TYPE_I;
            tStats.qwVideoBytes += tFrame.dwDataLen;
        } else if (bAudio && tStats.dwFrames > 0) {
            if (!VXQ_F_CLIAPP_OutWrite(&tAudioFile, tFrame.pData, tFrame.dwDataLen)) {
                if (!(VXQ_F_CLIAPP_OutIsStdout(&tAudioFile) && errno == EPIPE))
                    sBroken = "cannot write " + VXQ_F_CLIAPP_OutName(&tAudioFile);
                break;
            }
            tStats.dwAudioFrames++;
            tStats.qwAudioBytes += tFrame.dwDataLen;
        }
        if (bTerminal && iNow - iLastLineMs >= 500) {
            iLastLineMs = iNow;
            fputs("\r", stderr);
            PR_LiveLine(&tStats, stderr, "");
        }
    }
    if (bTerminal)
        fputs("\n", stderr);
    if (sBroken.empty()) {
        VXQ_F_CLI_SendMsg(&inout_ptCtx->tLink, VXQ_F_CLI_BuildExRealplayClose(VXQ_F_CLI_NextTransNo(&inout_ptCtx->tLink),
                                                                              dwLoginId, dwConnId));
    }
    VXQ_F_CLI_Close(&tMedia);
    if (!sBroken.empty() || tStats.dwFrames == 0) {
        VXQ_F_CLIAPP_OutDrop(&tVideo);
        VXQ_F_CLIAPP_OutDrop(&tAudioFile);
        return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN,
                                   sBroken.empty() ? "no video frame within " + std::to_string(llSeconds) + " s"
                                                   : sBroken);
    }
    if (!VXQ_F_CLIAPP_OutCommit(&tVideo) || (bAudio && !VXQ_F_CLIAPP_OutCommit(&tAudioFile))) {
        VXQ_F_CLIAPP_OutDrop(&tAudioFile);
        return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN, "cannot finish " + VXQ_F_CLIAPP_OutName(&tVideo));
    }
    PR_LiveLine(&tStats, pSummary, "\n");
    return VXQ_CLIAPP_EXIT_OK;
}

int VXQ_F_CLICMD_Ptz(_VXQ_S_CLIAPP_CTX *inout_ptCtx)
{
    _VXQ_S_CLIAPP_OPTS tOpts;
    if (!VXQ_F_CLIAPP_ParseOpts(inout_ptCtx, inout_ptCtx->tArgs, "--ch --cmd --data --ext1 --ext2", "", &tOpts))
        return VXQ_CLIAPP_EXIT_BROKEN;
    long long llCh, llCmd, llData, llExt1, llExt2;
    if (!VXQ_F_CLIAPP_OptInt(inout_ptCtx, &tOpts, "--ch", 1, 0, 0, 0xFFFFFFFFll, &llCh) ||
        !VXQ_F_CLIAPP_OptInt(inout_ptCtx, &tOpts, "--cmd", 1, 0, 0, 0xFFFFFFFFll, &llCmd) ||
        !VXQ_F_CLIAPP_OptInt(inout_ptCtx, &tOpts, "--data", 0, 0, 0, 0xFFFFFFFFll, &llData) ||
        !VXQ_F_CLIAPP_OptInt(inout_ptCtx, &tOpts, "--ext1", 0, 0, 0, 0xFFFFFFFFll, &llExt1) ||
        !VXQ_F_CLIAPP_OptInt(inout_ptCtx, &tOpts, "--ext2", 0, 0, 0, 0xFFFFFFFFll, &llExt2))
        return VXQ_CLIAPP_EXIT_BROKEN;
    int iStatus = VXQ_F_CLIAPP_Open(inout_ptCtx);
    if (iStatus >= 0)
        return iStatus;
    std::vector<uint8_t> tAnswer;
    iStatus = VXQ_F_CLIAPP_Call(inout_ptCtx, &inout_ptCtx->tLink,
                                VXQ_F_CLI_BuildPtz(VXQ_F_CLI_NextTransNo(&inout_ptCtx->tLink),
                                                   inout_ptCtx->tLogin.dwLoginId, (uint32_t)llCh, (uint32_t)llCmd,
                                                   (uint32_t)llData, (uint32_t)llExt1, (uint32_t)llExt2),
                                tAnswer, "PTZ command");
    if (iStatus >= 0)
        return iStatus;
    printf("PTZ command %lld on channel %lld done\n", llCmd, llCh);
    return VXQ_CLIAPP_EXIT_OK;
}

int VXQ_F_CLICMD_IFrame(_VXQ_S_CLIAPP_CTX *inout_ptCtx)
{
    _VXQ_S_CLIAPP_OPTS tOpts;
    if (!VXQ_F_CLIAPP_ParseOpts(inout_ptCtx, inout_ptCtx->tArgs, "--ch --stream", "", &tOpts))
        return VXQ_CLIAPP_EXIT_BROKEN;
    long long llCh, llStream;
    if (!VXQ_F_CLIAPP_OptInt(inout_ptCtx, &tOpts, "--ch", 1, 0, 0, 0xFFFFFFFFll, &llCh) ||
        !VXQ_F_CLIAPP_OptInt(inout_ptCtx, &tOpts, "--stream", 0, 0, 0, 65535, &llStream))
        return VXQ_CLIAPP_EXIT_BROKEN;
    int iStatus = VXQ_F_CLIAPP_Open(inout_ptCtx);
    if (iStatus >= 0)
        return iStatus;
    std::vector<uint8_t> tAnswer;
    iStatus = VXQ_F_CLIAPP_Call(
        inout_ptCtx, &inout_ptCtx->tLink,
        VXQ_F_CLI_BuildForceIFrame(VXQ_F_CLI_NextTransNo(&inout_ptCtx->tLink), (uint32_t)llCh, (uint16_t)llStream),
        tAnswer, "I-frame request");
    if (iStatus >= 0)
        return iStatus;
    printf("I-frame requested on channel %lld stream %lld\n", llCh, llStream);
    return VXQ_CLIAPP_EXIT_OK;
}

int VXQ_F_CLICMD_Quality(_VXQ_S_CLIAPP_CTX *inout_ptCtx)
{
    _VXQ_S_CLIAPP_OPTS tOpts;
    if (!VXQ_F_CLIAPP_ParseOpts(inout_ptCtx, inout_ptCtx->tArgs, "--ch --stream --level", "", &tOpts))
        return VXQ_CLIAPP_EXIT_BROKEN;
    if (tOpts.tWords.size() != 1 || (tOpts.tWords[0] != "get" && tOpts.tWords[0] != "set" && tOpts.tWords[0] != "cap"))
        return VXQ_F_CLIAPP_Usage(inout_ptCtx, "quality needs one of get, set, cap");
    const std::string &sOp = tOpts.tWords[0];
    long long llCh, llStream, llLevel;
    if (!VXQ_F_CLIAPP_OptInt(inout_ptCtx, &tOpts, "--ch", 1, 0, 0, 65535, &llCh) ||
        !VXQ_F_CLIAPP_OptInt(inout_ptCtx, &tOpts, "--stream", 0, 0, 0, 65535, &llStream) ||
        !VXQ_F_CLIAPP_OptInt(inout_ptCtx, &tOpts, "--level", sOp == "set", 0, 0, 0xFFFFFFFFll, &llLevel))
        return VXQ_CLIAPP_EXIT_BROKEN;
    int iStatus = VXQ_F_CLIAPP_Open(inout_ptCtx);
    if (iStatus >= 0)
        return iStatus;
    uint16_t usFunc = sOp == "get" ? VXQ_CLI_FN_QUALITY_GET : sOp == "set" ? VXQ_CLI_FN_QUALITY_SET : VXQ_CLI_FN_QUALITY_CAP;
    std::vector<uint8_t> tAnswer;
    iStatus = VXQ_F_CLIAPP_Call(inout_ptCtx, &inout_ptCtx->tLink,
                                VXQ_F_CLI_BuildQuality(usFunc, VXQ_F_CLI_NextTransNo(&inout_ptCtx->tLink),
                                                       inout_ptCtx->tLogin.dwLoginId, (uint16_t)llCh,
                                                       (uint16_t)llStream, (uint32_t)llLevel),
                                tAnswer, "quality " + sOp);
    if (iStatus >= 0)
        return iStatus;
    if (sOp == "set") {
        printf("quality level %lld set\n", llLevel);
    } else if (sOp == "get") {
        uint32_t dwLevel = 0;
        if (!VXQ_F_CLI_ParseQualityLevel(tAnswer.data(), tAnswer.size(), &dwLevel))
            return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN, "malformed quality answer");
        printf("quality level: %u\n", dwLevel);
    } else {
        std::vector<_VXQ_S_CLI_QUALITY_CAP> tCaps;
        if (!VXQ_F_CLI_ParseQualityCap(tAnswer.data(), tAnswer.size(), &tCaps))
            return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN, "malformed quality answer");
        for (const _VXQ_S_CLI_QUALITY_CAP &tCap : tCaps)
            printf("%s: value %u, %u %u %u %u\n", tCap.sName.c_str(), tCap.dwValue, tCap.usValue[0], tCap.usValue[1],
                   tCap.usValue[2], tCap.usValue[3]);
    }
    return VXQ_CLIAPP_EXIT_OK;
}
