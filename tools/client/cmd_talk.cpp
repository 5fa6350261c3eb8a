/* cmd_talk.cpp - dps-client commands talk and alarms. */
#include "cliapp.h"

#include <string.h>
#include <unistd.h>

/* G.711 at 8 kHz: one byte per sample; audio goes out in 40 ms frames. */
#define PR_TALK_FRAME_BYTES 320
#define PR_TALK_FRAME_MS 40

int VXQ_F_CLICMD_Talk(_VXQ_S_CLIAPP_CTX *inout_ptCtx)
{
    _VXQ_S_CLIAPP_OPTS tOpts;
    if (!VXQ_F_CLIAPP_ParseOpts(inout_ptCtx, inout_ptCtx->tArgs, "--ch --in", "", &tOpts))
        return VXQ_CLIAPP_EXIT_BROKEN;
    long long llCh;
    std::string sIn;
    if (!VXQ_F_CLIAPP_OptInt(inout_ptCtx, &tOpts, "--ch", 1, 0, 0, 0x7FFFFFFF, &llCh) ||
        !VXQ_F_CLIAPP_OptText(inout_ptCtx, &tOpts, "--in", 1, &sIn))
        return VXQ_CLIAPP_EXIT_BROKEN;
    std::vector<uint8_t> tAudio;
    if (!VXQ_F_CLIAPP_ReadFile(sIn, &tAudio))
        return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN, "cannot read '" + sIn + "': " + strerror(errno));
    int iStatus = VXQ_F_CLIAPP_Open(inout_ptCtx);
    if (iStatus >= 0)
        return iStatus;
    uint32_t dwLoginId = inout_ptCtx->tLogin.dwLoginId;
    _VXQ_S_CLI_LINK tTalk;
    if (!VXQ_F_CLIAPP_Connect(inout_ptCtx, &tTalk, "talk connection"))
        return VXQ_CLIAPP_EXIT_BROKEN;
    std::vector<uint8_t> tAnswer;
    std::string sStart = "talk start on channel " + std::to_string(llCh);
    /* A talk the device refuses after asking its host ends with the talk
     * connection closing, the answer possibly lost with it. */
    if (!VXQ_F_CLI_Call(&tTalk,
                        VXQ_F_CLI_BuildTalk(VXQ_CLI_FN_TALK_START, VXQ_F_CLI_NextTransNo(&tTalk), dwLoginId,
                                            (int32_t)llCh),
                        tAnswer, VXQ_CLIAPP_CALL_TIMEOUT_MS)) {
        int bClosed = tTalk.iError == VXQ_CLI_ERR_CLOSED;
        VXQ_F_CLI_Close(&tTalk);
        if (bClosed)
            return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_REFUSED,
                                       sStart + " refused: the device closed the talk connection");
        return VXQ_F_CLIAPP_LinkFail(inout_ptCtx, &tTalk, sStart);
    }
    iStatus = VXQ_F_CLI_Result(tAnswer) != 0 ? VXQ_F_CLIAPP_Refused(inout_ptCtx, sStart, VXQ_F_CLI_Result(tAnswer)) : -1;
    int32_t iFormat[4] = {0, 0, 0, 0};
    if (iStatus < 0 && !VXQ_F_CLI_ParseTalkStart(tAnswer.data(), tAnswer.size(), iFormat))
        iStatus = VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN, "malformed talk start answer");
    if (iStatus >= 0) {
        VXQ_F_CLI_Close(&tTalk);
        return iStatus;
    }
    printf("talking: device audio codec %d, bit rate %d, sample rate %d, channels %d\n", iFormat[0], iFormat[1],
           iFormat[2], iFormat[3]);
    fflush(stdout);
    std::string sBroken;
    int64_t iStartMs = VXQ_F_CLIAPP_NowMs();
    size_t iSent = 0;
    for (size_t iFrame = 0; iSent < tAudio.size() && sBroken.empty(); iFrame++) {
        if (g_bCliStop) {
            sBroken = "interrupted";
            break;
        }
        /* Real-time pacing: frame n leaves at n x 40 ms. */
        int64_t iDue = iStartMs + (int64_t)iFrame * PR_TALK_FRAME_MS;
        int64_t iNow = VXQ_F_CLIAPP_NowMs();
        if (iDue > iNow)
            usleep((useconds_t)((iDue - iNow) * 1000));
        size_t iLen = tAudio.size() - iSent < PR_TALK_FRAME_BYTES ? tAudio.size() - iSent : PR_TALK_FRAME_BYTES;
        if (!VXQ_F_CLI_SendMsg(&tTalk, VXQ_F_CLI_BuildTalkAudio(tAudio.data() + iSent, iLen)))
            sBroken = "talk connection: " + VXQ_F_CLI_ErrorText(&tTalk);
        iSent += iLen;
        if (!VXQ_F_CLIAPP_KeepAlive(inout_ptCtx))
            sBroken = "command connection: " + VXQ_F_CLI_ErrorText(&inout_ptCtx->tLink);
        VXQ_F_CLIAPP_Progress(iSent, tAudio.size());
    }
    VXQ_F_CLIAPP_ProgressEnd();
    /* A heartbeat on the talk connection is answered after every audio frame
     * before it was handed on, so the stop cannot overtake the audio. */
    if (sBroken.empty() && !VXQ_F_CLI_Call(&tTalk, VXQ_F_CLI_BuildHeartbeat(VXQ_F_CLI_NextTransNo(&tTalk)), tAnswer))
        sBroken = "talk connection: " + VXQ_F_CLI_ErrorText(&tTalk);
    if (!sBroken.empty()) {
        VXQ_F_CLI_Close(&tTalk);
        return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN,
                                   "talk broke after " + std::to_string(iSent) + " bytes: " + sBroken);
    }
    iStatus = VXQ_F_CLIAPP_Call(
        inout_ptCtx, &inout_ptCtx->tLink,
        VXQ_F_CLI_BuildTalk(VXQ_CLI_FN_TALK_STOP, VXQ_F_CLI_NextTransNo(&inout_ptCtx->tLink), dwLoginId, (int32_t)llCh),
        tAnswer, "talk stop");
    VXQ_F_CLI_Close(&tTalk);
    if (iStatus >= 0)
        return iStatus;
    printf("sent %zu bytes of audio in %.1f s\n", iSent, (VXQ_F_CLIAPP_NowMs() - iStartMs) / 1000.0);
    return VXQ_CLIAPP_EXIT_OK;
}

int VXQ_F_CLICMD_Alarms(_VXQ_S_CLIAPP_CTX *inout_ptCtx)
{
    _VXQ_S_CLIAPP_OPTS tOpts;
    if (!VXQ_F_CLIAPP_ParseOpts(inout_ptCtx, inout_ptCtx->tArgs, "--seconds", "--arm", &tOpts))
        return VXQ_CLIAPP_EXIT_BROKEN;
    long long llSeconds;
    if (!VXQ_F_CLIAPP_OptInt(inout_ptCtx, &tOpts, "--seconds", 0, 30, 1, 86400 * 365LL, &llSeconds))
        return VXQ_CLIAPP_EXIT_BROKEN;
    int bArm = tOpts.tFlags.count("--arm") != 0;
    int iStatus = VXQ_F_CLIAPP_Open(inout_ptCtx);
    if (iStatus >= 0)
        return iStatus;
    uint32_t dwLoginId = inout_ptCtx->tLogin.dwLoginId;
    std::vector<uint8_t> tMsg;
    if (bArm) {
        iStatus = VXQ_F_CLIAPP_Call(inout_ptCtx, &inout_ptCtx->tLink,
                                    VXQ_F_CLI_BuildGuard(VXQ_CLI_FN_GUARD, VXQ_F_CLI_NextTransNo(&inout_ptCtx->tLink),
                                                         dwLoginId),
                                    tMsg, "arming");
        if (iStatus >= 0)
            return iStatus;
        printf("armed\n");
    }
    printf("waiting %lld s for alarms\n", llSeconds);
    fflush(stdout);
    int64_t iEndMs = VXQ_F_CLIAPP_NowMs() + llSeconds * 1000;
    unsigned uCount = 0;
    std::string sBroken;
    while (!g_bCliStop) {
        int64_t iLeft = iEndMs - VXQ_F_CLIAPP_NowMs();
        if (iLeft <= 0)
            break;
        if (!VXQ_F_CLIAPP_KeepAlive(inout_ptCtx)) {
            sBroken = VXQ_F_CLI_ErrorText(&inout_ptCtx->tLink);
            break;
        }
        if (!VXQ_F_CLI_ReadMsg(&inout_ptCtx->tLink, tMsg, iLeft < 200 ? (int)iLeft : 200)) {
            if (inout_ptCtx->tLink.iError != VXQ_CLI_ERR_TIMEOUT) {
                sBroken = VXQ_F_CLI_ErrorText(&inout_ptCtx->tLink);
                break;
            }
            continue;
        }
        _VXQ_S_CLI_ALARM tAlarm;
        if (!VXQ_F_CLI_ParseAlarm(tMsg.data(), tMsg.size(), &tAlarm))
            continue;
        uCount++;
        if (tAlarm.bExtended)
            printf("alarm %s: channel %d, event %d, time %s: %s\n", tAlarm.sAlarmId.c_str(), tAlarm.iChNo,
                   tAlarm.iAlarmEvent, VXQ_F_CLI_TimeText(&tAlarm.tAlarmTime).c_str(), tAlarm.sAlarmMsg.c_str());
        else
            printf("alarm: channel %d, event %d, param %u, time %s: %s\n", tAlarm.iChNo, tAlarm.iAlarmEvent,
                   tAlarm.dwAlarmParam, VXQ_F_CLI_TimeText(&tAlarm.tAlarmTime).c_str(), tAlarm.sAlarmMsg.c_str());
        fflush(stdout);
    }
    if (!sBroken.empty())
        return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN, "command connection: " + sBroken);
    if (bArm) {
        iStatus = VXQ_F_CLIAPP_Call(inout_ptCtx, &inout_ptCtx->tLink,
                                    VXQ_F_CLI_BuildGuard(VXQ_CLI_FN_UNGUARD, VXQ_F_CLI_NextTransNo(&inout_ptCtx->tLink),
                                                         dwLoginId),
                                    tMsg, "disarming");
        if (iStatus >= 0)
            return iStatus;
        printf("disarmed\n");
    }
    printf("%u alarm(s)\n", uCount);
    return VXQ_CLIAPP_EXIT_OK;
}
