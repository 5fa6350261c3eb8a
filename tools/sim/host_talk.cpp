/*
 * host_talk.cpp - voice talk, arming and periodic alarms for the simulator.
 * A talk is accepted on channels that carry audio; the client's audio is
 * appended to one file per talk in the talk folder. Arming is logged. The
 * alarm thread raises a configured alarm through both alarm functions.
 */
#include "host.h"

#include "vxq_clock.h"
#include "vxq_syshelp.h"

#include <string.h>
#include <unistd.h>

#define PR_ALARM_NAP_MS 50

/* The talk slot of a talk channel number, or -1 (as the service maps it). */
static int PR_TalkSlot(const _VXQ_S_SIMCFG_DATA *in_pCfg, int32_t in_iTalkChNo)
{
    if (in_iTalkChNo == 10000 && in_pCfg->bSpecialChFlag)
        return VXQ_SIMHOST_MAX_TALK - 1;
    if (in_iTalkChNo < 0 || in_iTalkChNo >= VXQ_SIMHOST_MAX_TALK - 1)
        return -1;
    return in_iTalkChNo;
}

/* 1 when the talk channel's video channel carries audio. */
static int PR_HasAudio(const _VXQ_S_SIMCFG_DATA *in_pCfg, int in_iSlot)
{
    int iCh = in_iSlot == VXQ_SIMHOST_MAX_TALK - 1 ? 0 : in_iSlot;
    return iCh < in_pCfg->iVideoChanNum && in_pCfg->bChAudio[iCh];
}

/* Ends the talk of one slot: closes its file. */
static void PR_EndTalk(_VXQ_S_SIMHOST_TALK *inout_pTalk, const char *in_sWhy)
{
    if (inout_pTalk->pFile == NULL)
        return;
    fclose(inout_pTalk->pFile);
    inout_pTalk->pFile = NULL;
    VXQ_F_SIMHOST_Say("talk on channel %d ended (%s): %u bytes of client audio kept", inout_pTalk->iTalkChNo,
                      in_sWhy, inout_pTalk->dwBytes);
}

/* Opens a new file for the talk of in_iTalkChNo: talk_chNN_<stamp>[-n].g711. */
static FILE *PR_OpenTalkFile(const _VXQ_S_SIMCFG_DATA *in_pCfg, int32_t in_iTalkChNo, char *out_sPath, int in_iSize)
{
    char sStamp[32];
    VXQ_F_SIMHOST_StampText(VXQ_F_SIMHOST_NowSec(), sStamp, (int)sizeof(sStamp));
    for (int i = 0; i < 100; i++) {
        if (i == 0)
            snprintf(out_sPath, (size_t)in_iSize, "%s/talk_ch%02d_%s.g711", in_pCfg->sTalkDir, in_iTalkChNo, sStamp);
        else
            snprintf(out_sPath, (size_t)in_iSize, "%s/talk_ch%02d_%s-%d.g711", in_pCfg->sTalkDir, in_iTalkChNo,
                     sStamp, i);
        if (access(out_sPath, F_OK) == 0)
            continue;
        return fopen(out_sPath, "wb");
    }
    return NULL;
}

static void PR_TalkStart(_VXQ_S_SIMHOST_DATA *in_pHost, const _VXQ_S_DPS_MSG_HEAD *in_pEvent,
                         const uint8_t *in_pBody, int in_iBodyLen)
{
    const _VXQ_S_SIMCFG_DATA *pCfg = in_pHost->pCfg;
    _VXQ_S_DPS_E2_TALK_START tStart;
    memset(&tStart, 0, sizeof(tStart));
    memcpy(&tStart, in_pBody, in_iBodyLen < (int)sizeof(tStart) ? (size_t)in_iBodyLen : sizeof(tStart));
    int iSlot = PR_TalkSlot(pCfg, tStart.i_iTalkChNo);
    uint8_t ucResult = VXQ_DPS_APP_ERR_SUCCESS;
    char sPath[VXQ_SIM_PATH_SIZE + 64];
    sPath[0] = 0;
    if (iSlot < 0) {
        ucResult = VXQ_DPS_APP_ERR_CHANNEL_NO;
    } else if (!PR_HasAudio(pCfg, iSlot)) {
        ucResult = VXQ_DPS_APP_ERR_NOT_SUPPORT_TALK;
    } else {
        _VXQ_S_SIMHOST_TALK *pTalk = &in_pHost->tTalk[iSlot];
        PR_EndTalk(pTalk, "a new talk began");
        pTalk->pFile = PR_OpenTalkFile(pCfg, tStart.i_iTalkChNo, sPath, (int)sizeof(sPath));
        if (pTalk->pFile == NULL) {
            ucResult = VXQ_DPS_APP_ERR_START_TALK;
        } else {
            pTalk->iTalkChNo = tStart.i_iTalkChNo;
            pTalk->dwBytes = 0;
            tStart.o_iDevAudioCodecId = pCfg->iTalkAudioCodecId;
            tStart.o_iDevAudioBitRate = pCfg->iTalkAudioBitRate;
            tStart.o_iDevAudioSampleRate = pCfg->iTalkAudioSampleRate;
            tStart.o_iDevAudioChNum = pCfg->iTalkAudioChNum;
        }
    }
    if (ucResult == VXQ_DPS_APP_ERR_SUCCESS)
        VXQ_F_SIMHOST_Say("talk on channel %d started: client audio goes to %s", tStart.i_iTalkChNo, sPath);
    else
        VXQ_F_SIMHOST_Say("talk on channel %d refused (result %u)", tStart.i_iTalkChNo, ucResult);
    VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, ucResult, &tStart, (int)sizeof(tStart), NULL, 0);
}

static void PR_TalkAudio(_VXQ_S_SIMHOST_DATA *in_pHost, const uint8_t *in_pBody, int in_iBodyLen)
{
    _VXQ_S_DPS_E8_TALK_AUDIO tAudio;
    if (in_iBodyLen <= (int)sizeof(tAudio))
        return;
    memcpy(&tAudio, in_pBody, sizeof(tAudio));
    /* The event carries the low 16 bits of the talk channel number. */
    int32_t iTalkChNo = tAudio.i_usTalkChNo;
    int iSlot = PR_TalkSlot(in_pHost->pCfg, iTalkChNo);
    if (iSlot < 0 || in_pHost->tTalk[iSlot].pFile == NULL) {
        for (iSlot = 0; iSlot < VXQ_SIMHOST_MAX_TALK; iSlot++)
            if (in_pHost->tTalk[iSlot].pFile != NULL && (uint16_t)in_pHost->tTalk[iSlot].iTalkChNo == iTalkChNo)
                break;
        if (iSlot >= VXQ_SIMHOST_MAX_TALK)
            return;
    }
    _VXQ_S_SIMHOST_TALK *pTalk = &in_pHost->tTalk[iSlot];
    size_t nLen = (size_t)in_iBodyLen - sizeof(tAudio);
    /* A talk cannot fill the disk: it ends at the configured size. */
    if ((uint64_t)pTalk->dwBytes + nLen > (uint64_t)in_pHost->pCfg->iTalkMaxBytes) {
        char sWhy[64];
        snprintf(sWhy, sizeof(sWhy), "its file reached %d bytes", in_pHost->pCfg->iTalkMaxBytes);
        PR_EndTalk(pTalk, sWhy);
        return;
    }
    if (fwrite(in_pBody + sizeof(tAudio), 1, nLen, pTalk->pFile) != nLen) {
        PR_EndTalk(pTalk, "the talk file could not be written");
        return;
    }
    fflush(pTalk->pFile);
    pTalk->dwBytes += (uint32_t)nLen;
}

void VXQ_F_SIMHOST_TalkEvent(_VXQ_S_SIMHOST_DATA *in_pHost, const _VXQ_S_DPS_MSG_HEAD *in_pEvent,
                             const uint8_t *in_pBody, int in_iBodyLen)
{
    switch (in_pEvent->iMsgFuncId) {
    case EVENT_E2_TALK_START:
        PR_TalkStart(in_pHost, in_pEvent, in_pBody, in_iBodyLen);
        break;
    case EVENT_E2_TALK_STOP: {
        _VXQ_S_DPS_E2_TALK_STOP tStop;
        if (in_iBodyLen < (int)sizeof(tStop))
            break;
        memcpy(&tStop, in_pBody, sizeof(tStop));
        int iSlot = PR_TalkSlot(in_pHost->pCfg, tStop.i_iTalkChNo);
        if (iSlot >= 0)
            PR_EndTalk(&in_pHost->tTalk[iSlot], "stopped");
        break;
    }
    case MEDIA_E8_AUDIO_FRAME:
        PR_TalkAudio(in_pHost, in_pBody, in_iBodyLen);
        break;
    case EVENT_E2_GUARD:
        VXQ_F_SIMHOST_Say("alarm reporting armed by a client");
        break;
    case EVENT_E2_UNGUARD:
        VXQ_F_SIMHOST_Say("alarm reporting disarmed by a client");
        break;
    default:
        if (in_pEvent->dwTransId != 0)
            VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, VXQ_DPS_APP_ERR_NOT_SUPPORT, in_pBody, in_iBodyLen, NULL, 0);
        break;
    }
}

void VXQ_F_SIMHOST_TalkUninit(_VXQ_S_SIMHOST_DATA *inout_pHost)
{
    for (int i = 0; i < VXQ_SIMHOST_MAX_TALK; i++)
        PR_EndTalk(&inout_pHost->tTalk[i], "the simulator stops");
}

static void PR_AlarmThread(void *in_pArg)
{
    _VXQ_S_SIMHOST_DATA *pHost = (_VXQ_S_SIMHOST_DATA *)in_pArg;
    const _VXQ_S_SIMCFG_DATA *pCfg = pHost->pCfg;
    uint32_t dwPeriod = (uint32_t)pCfg->iAlarmInterval * 1000u;
    uint32_t dwNext = VXQ_F_CLOCK_TickMs() + dwPeriod;
    uint32_t dwCount = 0;
    while (pHost->bAlarmRun) {
        VXQ_F_SYS_Sleep(PR_ALARM_NAP_MS);
        uint32_t dwNow = VXQ_F_CLOCK_TickMs();
        if ((int32_t)(dwNow - dwNext) < 0)
            continue;
        dwNext = dwNow + dwPeriod;
        dwCount++;
        int bUp = VXQ_F_DPS_UpAlarmMsg(pHost->hService, pCfg->iAlarmCh, pCfg->iAlarmEvent, dwCount, pCfg->sAlarmMsg);
        int bEx = VXQ_F_DPS_SendAlarmMsg(pHost->hService, "dps-sim", pCfg->iAlarmCh, pCfg->iAlarmEvent,
                                         pCfg->sAlarmMsg);
        if (pHost->bVerbose || !bUp || !bEx)
            VXQ_F_SIMHOST_Say("alarm %u on channel %d (event %d): %s%s", dwCount, pCfg->iAlarmCh, pCfg->iAlarmEvent,
                              pCfg->sAlarmMsg, bUp && bEx ? "" : " - not queued");
    }
}

int VXQ_F_SIMHOST_AlarmStart(_VXQ_S_SIMHOST_DATA *inout_pHost)
{
    if (inout_pHost->pCfg->iAlarmInterval <= 0)
        return 1;

    inout_pHost->bAlarmRun = 1;
    inout_pHost->hAlarmThread = VXQ_F_THREAD_CreateThread(PR_AlarmThread, inout_pHost);
    if (inout_pHost->hAlarmThread == NULL) {
        inout_pHost->bAlarmRun = 0;
        VXQ_F_SIMHOST_Say("no alarm thread: periodic alarms are off");
        return 0;
    }
    VXQ_F_SIMHOST_Say("an alarm every %d s on channel %d", inout_pHost->pCfg->iAlarmInterval,
                      inout_pHost->pCfg->iAlarmCh);
    return 1;
}

void VXQ_F_SIMHOST_AlarmStop(_VXQ_S_SIMHOST_DATA *inout_pHost)
{
    inout_pHost->bAlarmRun = 0;
    if (inout_pHost->hAlarmThread != NULL)
        VXQ_F_THREAD_WaitExitThread(inout_pHost->hAlarmThread, 5000);
    inout_pHost->hAlarmThread = NULL;
}
