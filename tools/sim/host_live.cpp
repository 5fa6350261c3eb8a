/*
 * host_live.cpp - live view for the simulator: one feeder thread per open
 * sub-channel sends the clip (or synthetic frames) and the audio tone through
 * the media input functions; PTZ and forced I-frames are logged; the quality
 * level is kept in memory.
 */
#include "host.h"

#include "vxq_clock.h"
#include "vxq_syshelp.h"

#include <string.h>

/* Longest nap of a feeder between two looks at its run flag, in ms. */
#define PR_FEEDER_NAP_MS 20
/* An audio schedule more than this far behind restarts instead of bursting. */
#define PR_AUDIO_LATE_MS 1000

/* The channel slot of a channel number as the service maps it, or -1. */
static int PR_Slot(const _VXQ_S_SIMCFG_DATA *in_pCfg, int32_t in_iChNo)
{
    if (in_iChNo == 10000 && in_pCfg->bSpecialChFlag)
        return VXQ_SIMHOST_CH_SLOTS - 1;
    if (in_iChNo < 0 || in_iChNo >= in_pCfg->iVideoChanNum)
        return -1;
    return in_iChNo;
}

/* The configured channel that serves a slot: the special slot plays channel 0. */
static int PR_CfgCh(int in_iSlot)
{
    return in_iSlot == VXQ_SIMHOST_CH_SLOTS - 1 ? 0 : in_iSlot;
}

int VXQ_F_SIMHOST_LiveInit(_VXQ_S_SIMHOST_DATA *inout_pHost, char *out_sReason, int in_iReasonSize)
{
    const _VXQ_S_SIMCFG_DATA *pCfg = inout_pHost->pCfg;
    for (int iCh = 0; iCh < pCfg->iVideoChanNum; iCh++) {
        for (int iStream = 0; iStream < VXQ_SIM_MAX_STREAM; iStream++) {
            const char *sSource = pCfg->tStream[iCh][iStream].sSource;
            if (sSource[0] == 0)
                continue;
            if (!VXQ_F_SIMH264_LoadClip(sSource, &inout_pHost->tClip[iCh][iStream])) {
                snprintf(out_sReason, (size_t)in_iReasonSize,
                         "channel %d stream %d: %s is not a usable H.264 Annex-B clip", iCh, iStream, sSource);
                return 0;
            }
        }
    }
    for (int iSlot = 0; iSlot < VXQ_SIMHOST_CH_SLOTS; iSlot++)
        for (int iStream = 0; iStream < VXQ_SIM_MAX_STREAM; iStream++)
            inout_pHost->dwQualityLevel[iSlot][iStream] = (uint32_t)pCfg->iQualityLevel;
    return 1;
}

void VXQ_F_SIMHOST_LiveUninit(_VXQ_S_SIMHOST_DATA *inout_pHost)
{
    for (int iCh = 0; iCh < VXQ_SIM_MAX_CH; iCh++)
        for (int iStream = 0; iStream < VXQ_SIM_MAX_STREAM; iStream++)
            VXQ_F_SIMH264_FreeClip(&inout_pHost->tClip[iCh][iStream]);
}

/* The stream description of a configured channel and stream. */
static void PR_Describe(const _VXQ_S_SIMHOST_DATA *in_pHost, int in_iCfgCh, int in_iStream,
                        _VXQ_S_DPS_STREAM_DESC *out_pDesc)
{
    const _VXQ_S_SIMCFG_DATA *pCfg = in_pHost->pCfg;
    const _VXQ_S_SIMCFG_STREAM *pStream = &pCfg->tStream[in_iCfgCh][in_iStream];
    const _VXQ_S_SIMH264_CLIP *pClip = &in_pHost->tClip[in_iCfgCh][in_iStream];
    memset(out_pDesc, 0, sizeof(*out_pDesc));
    out_pDesc->bVideoFlag = 1;
    out_pDesc->bAudioFlag = pCfg->bChAudio[in_iCfgCh] ? 1 : 0;
    out_pDesc->iVideoCodecId = pCfg->iVideoCodecId;
    out_pDesc->iVideoFrameRate = pStream->iFrameRate;
    out_pDesc->iVideoBitRate = pStream->iBitRate;
    out_pDesc->usVideoWidth = pClip->pData ? pClip->usWidth : pStream->usWidth;
    out_pDesc->usVideoHeight = pClip->pData ? pClip->usHeight : pStream->usHeight;
    if (out_pDesc->bAudioFlag) {
        out_pDesc->iAudioCodecId = pCfg->iAudioCodecId;
        out_pDesc->iAudioBitRate = pCfg->iAudioBitRate;
        out_pDesc->iAudioSampleRate = pCfg->iAudioSampleRate;
        out_pDesc->iAudioChNum = pCfg->iAudioChNum;
    }
}

/* A time stamp for the media input: never 0, which means "none". */
static uint32_t PR_Stamp(uint32_t in_dwBase, uint32_t in_dwOffsetMs)
{
    uint32_t dwStamp = in_dwBase + in_dwOffsetMs;
    return dwStamp ? dwStamp : 1u;
}

static void PR_FeederThread(void *in_pArg)
{
    _VXQ_S_SIMHOST_FEEDER *pFeeder = (_VXQ_S_SIMHOST_FEEDER *)in_pArg;
    _VXQ_S_SIMHOST_DATA *pHost = pFeeder->pHost;
    const _VXQ_S_SIMCFG_DATA *pCfg = pHost->pCfg;
    const _VXQ_S_SIMCFG_STREAM *pStream = &pCfg->tStream[pFeeder->iCfgCh][pFeeder->iStreamNo];
    const _VXQ_S_SIMH264_CLIP *pClip = &pHost->tClip[pFeeder->iCfgCh][pFeeder->iStreamNo];
    _VXQ_S_SIMH264_SOURCE tSrc;
    if (!VXQ_F_SIMH264_SourceInit(&tSrc, pClip->pData ? pClip : NULL, pStream->iFrameRate, pStream->iGop,
                                  pStream->iBitRate)) {
        VXQ_F_SIMHOST_Say("channel %d stream %d: no memory for the synthetic source", pFeeder->iChNo,
                          pFeeder->iStreamNo);
        return;
    }
    int bAudio = pCfg->bChAudio[pFeeder->iCfgCh];
    _VXQ_S_SIMG711_TONE tTone;
    if (bAudio && !VXQ_F_SIMG711_ToneInit(&tTone, pCfg->iToneHz, VXQ_SIM_G711_SAMPLE_RATE, pCfg->iToneAmplitude))
        bAudio = 0;
    uint8_t ucAudio[VXQ_SIM_G711_FRAME_BYTES];
    uint32_t dwBase = VXQ_F_CLOCK_TickMs();
    uint32_t dwAudioDue = dwBase;
    uint32_t dwAudioMs = 0;
    while (pFeeder->bRun) {
        uint32_t dwNow = VXQ_F_CLOCK_TickMs();
        _VXQ_S_SIMH264_FRAME tFrame;
        while (pFeeder->bRun && VXQ_F_SIMH264_SourceNext(&tSrc, dwNow, &tFrame)) {
            if (VXQ_F_DPS_InputVideoStreamEx(pHost->hService, pFeeder->iChNo, pFeeder->iStreamNo, tFrame.iFrameType,
                                             PR_Stamp(dwBase, tFrame.dwTimeStamp), tFrame.pData,
                                             (int)tFrame.dwLen))
                pHost->qwMediaBytes += tFrame.dwLen;
            else
                pHost->dwRefusedFrames++;
        }
        if (bAudio) {
            if ((int32_t)(dwNow - dwAudioDue) > PR_AUDIO_LATE_MS)
                dwAudioDue = dwNow;
            while (pFeeder->bRun && (int32_t)(dwNow - dwAudioDue) >= 0) {
                VXQ_F_SIMG711_ToneFrame(&tTone, ucAudio, sizeof(ucAudio));
                if (VXQ_F_DPS_InputAudioStreamEx(pHost->hService, pFeeder->iChNo, pFeeder->iStreamNo,
                                                 PR_Stamp(dwBase, dwAudioMs), ucAudio, (int)sizeof(ucAudio)))
                    pHost->qwMediaBytes += sizeof(ucAudio);
                else
                    pHost->dwRefusedFrames++;
                dwAudioDue += VXQ_SIM_G711_FRAME_MS;
                dwAudioMs += VXQ_SIM_G711_FRAME_MS;
            }
        }
        uint32_t dwWait = VXQ_F_SIMH264_SourceWaitMs(&tSrc, dwNow);
        if (bAudio) {
            int32_t iAudioWait = (int32_t)(dwAudioDue - dwNow);
            if (iAudioWait < 0)
                iAudioWait = 0;
            if ((uint32_t)iAudioWait < dwWait)
                dwWait = (uint32_t)iAudioWait;
        }
        if (dwWait > PR_FEEDER_NAP_MS)
            dwWait = PR_FEEDER_NAP_MS;
        VXQ_F_SYS_Sleep(dwWait ? dwWait : 1u);
    }
    VXQ_F_SIMH264_SourceFree(&tSrc);
}

/* Stops one feeder and waits for its thread. */
static void PR_StopFeeder(_VXQ_S_SIMHOST_FEEDER *inout_pFeeder)
{
    if (inout_pFeeder->hThread == NULL)
        return;
    inout_pFeeder->bOpen = 0;
    inout_pFeeder->bRun = 0;
    VXQ_F_THREAD_WaitExitThread(inout_pFeeder->hThread, 5000);
    inout_pFeeder->hThread = NULL;
}

void VXQ_F_SIMHOST_LiveOpen(_VXQ_S_SIMHOST_DATA *in_pHost, const _VXQ_S_DPS_MSG_HEAD *in_pEvent,
                            const uint8_t *in_pBody, int in_iBodyLen)
{
    _VXQ_S_DPS_E2_OPEN_MEDIA_STREAM tOpen;
    memset(&tOpen, 0, sizeof(tOpen));
    if (in_iBodyLen < (int)(2 * sizeof(int32_t)))
        return;
    memcpy(&tOpen, in_pBody, in_iBodyLen < (int)sizeof(tOpen) ? (size_t)in_iBodyLen : sizeof(tOpen));
    memset(&tOpen.o_tDesc, 0, sizeof(tOpen.o_tDesc));
    int iSlot = PR_Slot(in_pHost->pCfg, tOpen.i_iChNo);
    uint8_t ucResult = VXQ_DPS_APP_ERR_SUCCESS;
    if (iSlot < 0)
        ucResult = VXQ_DPS_APP_ERR_CHANNEL_NO;
    else if (tOpen.i_iStreamNo < 0 || tOpen.i_iStreamNo >= VXQ_SIM_MAX_STREAM)
        ucResult = VXQ_DPS_APP_ERR_SUB_STREAM_NO;
    if (ucResult != VXQ_DPS_APP_ERR_SUCCESS) {
        VXQ_F_SIMHOST_Say("open stream: channel %d stream %d does not exist", tOpen.i_iChNo, tOpen.i_iStreamNo);
        VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, ucResult, &tOpen, (int)sizeof(tOpen), NULL, 0);
        return;
    }
    _VXQ_S_SIMHOST_FEEDER *pFeeder = &in_pHost->tFeeder[iSlot][tOpen.i_iStreamNo];
    PR_StopFeeder(pFeeder);
    PR_Describe(in_pHost, PR_CfgCh(iSlot), tOpen.i_iStreamNo, &tOpen.o_tDesc);
    /* The answer goes first: frames posted before it reach a closed sub-channel. */
    VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, VXQ_DPS_APP_ERR_SUCCESS, &tOpen, (int)sizeof(tOpen), NULL, 0);
    pFeeder->pHost = in_pHost;
    pFeeder->iChNo = tOpen.i_iChNo;
    pFeeder->iCfgCh = PR_CfgCh(iSlot);
    pFeeder->iStreamNo = tOpen.i_iStreamNo;
    pFeeder->bRun = 1;
    pFeeder->hThread = VXQ_F_THREAD_CreateThread(PR_FeederThread, pFeeder);
    if (pFeeder->hThread == NULL) {
        pFeeder->bRun = 0;
        VXQ_F_SIMHOST_Say("open stream: channel %d stream %d: no feeder thread", tOpen.i_iChNo, tOpen.i_iStreamNo);
        return;
    }
    pFeeder->bOpen = 1;
    VXQ_F_SIMHOST_Say("live view opened: channel %d stream %d (%ux%u, %d fps%s)", tOpen.i_iChNo, tOpen.i_iStreamNo,
                      tOpen.o_tDesc.usVideoWidth, tOpen.o_tDesc.usVideoHeight, tOpen.o_tDesc.iVideoFrameRate,
                      tOpen.o_tDesc.bAudioFlag ? ", audio" : "");
}

void VXQ_F_SIMHOST_LiveClose(_VXQ_S_SIMHOST_DATA *in_pHost, const _VXQ_S_DPS_MSG_HEAD *in_pEvent,
                             const uint8_t *in_pBody, int in_iBodyLen)
{
    (void)in_pEvent;
    _VXQ_S_DPS_E2_CH_STREAM tClose;
    if (in_iBodyLen < (int)sizeof(tClose))
        return;
    memcpy(&tClose, in_pBody, sizeof(tClose));
    int iSlot = PR_Slot(in_pHost->pCfg, tClose.i_iChNo);
    if (iSlot < 0 || tClose.i_iStreamNo < 0 || tClose.i_iStreamNo >= VXQ_SIM_MAX_STREAM)
        return;
    if (in_pHost->tFeeder[iSlot][tClose.i_iStreamNo].hThread == NULL)
        return;
    PR_StopFeeder(&in_pHost->tFeeder[iSlot][tClose.i_iStreamNo]);
    VXQ_F_SIMHOST_Say("live view closed: channel %d stream %d", tClose.i_iChNo, tClose.i_iStreamNo);
}

void VXQ_F_SIMHOST_LiveStopAll(_VXQ_S_SIMHOST_DATA *inout_pHost)
{
    for (int iSlot = 0; iSlot < VXQ_SIMHOST_CH_SLOTS; iSlot++)
        for (int iStream = 0; iStream < VXQ_SIM_MAX_STREAM; iStream++)
            PR_StopFeeder(&inout_pHost->tFeeder[iSlot][iStream]);
}

int VXQ_F_SIMHOST_LiveDescribe(_VXQ_S_SIMHOST_DATA *in_pHost, char *out_sText, int in_iSize)
{
    int iOpen = 0;
    int iPos = 0;
    out_sText[0] = 0;
    for (int iSlot = 0; iSlot < VXQ_SIMHOST_CH_SLOTS; iSlot++) {
        int bFirst = 1;
        for (int iStream = 0; iStream < VXQ_SIM_MAX_STREAM; iStream++) {
            const _VXQ_S_SIMHOST_FEEDER *pFeeder = &in_pHost->tFeeder[iSlot][iStream];
            if (!pFeeder->bOpen || iPos >= in_iSize - 1)
                continue;
            iOpen++;
            if (bFirst)
                iPos += snprintf(out_sText + iPos, (size_t)(in_iSize - iPos), "%sch%d:%d", iPos ? " " : "",
                                 pFeeder->iChNo, iStream);
            else
                iPos += snprintf(out_sText + iPos, (size_t)(in_iSize - iPos), "+%d", iStream);
            bFirst = 0;
        }
    }
    return iOpen;
}

/* The slot and stream of a quality request, or 0 with the refusal result. */
static int PR_QualitySlot(const _VXQ_S_SIMHOST_DATA *in_pHost, uint16_t in_usChNo, uint16_t in_usStreamNo,
                          int *out_piSlot, uint8_t *out_pucResult)
{
    *out_piSlot = PR_Slot(in_pHost->pCfg, in_usChNo);
    if (*out_piSlot < 0) {
        *out_pucResult = VXQ_DPS_APP_ERR_CHANNEL_NO;
        return 0;
    }
    if (in_usStreamNo >= VXQ_SIM_MAX_STREAM) {
        *out_pucResult = VXQ_DPS_APP_ERR_SUB_STREAM_NO;
        return 0;
    }
    *out_pucResult = VXQ_DPS_APP_ERR_SUCCESS;
    return 1;
}

void VXQ_F_SIMHOST_LiveControl(_VXQ_S_SIMHOST_DATA *in_pHost, const _VXQ_S_DPS_MSG_HEAD *in_pEvent,
                               const uint8_t *in_pBody, int in_iBodyLen)
{
    const _VXQ_S_SIMCFG_DATA *pCfg = in_pHost->pCfg;
    int iSlot = -1;
    uint8_t ucResult = VXQ_DPS_APP_ERR_SUCCESS;
    if (in_pEvent->iMsgFuncId == EVENT_E2_PTZ_CTRL && in_iBodyLen >= (int)sizeof(_VXQ_S_DPS_E2_PTZ_CTRL)) {
        _VXQ_S_DPS_E2_PTZ_CTRL tPtz;
        memcpy(&tPtz, in_pBody, sizeof(tPtz));
        if (PR_Slot(pCfg, tPtz.i_iChNo) < 0)
            ucResult = VXQ_DPS_APP_ERR_CHANNEL_NO;
        VXQ_F_SIMHOST_Say("PTZ: channel %d command %d data %u params %u %u", tPtz.i_iChNo, tPtz.i_iPtzCmd,
                          tPtz.i_dwPtzData, tPtz.i_dwPtzExtParam1, tPtz.i_dwPtzExtParam2);
        VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, ucResult, NULL, 0, NULL, 0);
    } else if (in_pEvent->iMsgFuncId == EVENT_E2_FORCE_I_FRAME && in_iBodyLen >= (int)sizeof(_VXQ_S_DPS_E2_CH_STREAM)) {
        _VXQ_S_DPS_E2_CH_STREAM tForce;
        memcpy(&tForce, in_pBody, sizeof(tForce));
        VXQ_F_SIMHOST_Say("forced I-frame asked: channel %d stream %d", tForce.i_iChNo, tForce.i_iStreamNo);
    } else if (in_pEvent->iMsgFuncId == EVENT_E2_GET_VIDEO_QUALITY_CAP &&
               in_iBodyLen >= (int)sizeof(_VXQ_S_DPS_E2_GET_VIDEO_QUALITY_CAP)) {
        _VXQ_S_DPS_E2_GET_VIDEO_QUALITY_CAP tCap;
        memcpy(&tCap, in_pBody, sizeof(tCap));
        tCap.o_iItemNum = 0;
        memset(tCap.o_tItems, 0, sizeof(tCap.o_tItems));
        if (PR_QualitySlot(in_pHost, tCap.i_usChNo, tCap.i_usStreamNo, &iSlot, &ucResult)) {
            tCap.o_iItemNum = pCfg->iQualityCapNum;
            for (int i = 0; i < pCfg->iQualityCapNum && i < 8; i++) {
                memcpy(tCap.o_tItems[i].sName, pCfg->tQualityCap[i].sName, sizeof(tCap.o_tItems[i].sName));
                tCap.o_tItems[i].sName[sizeof(tCap.o_tItems[i].sName) - 1] = 0;
                tCap.o_tItems[i].dwValue = pCfg->tQualityCap[i].dwValue;
                memcpy(tCap.o_tItems[i].usValue, pCfg->tQualityCap[i].usValue, sizeof(tCap.o_tItems[i].usValue));
            }
        }
        VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, ucResult, &tCap, (int)sizeof(tCap), NULL, 0);
    } else if ((in_pEvent->iMsgFuncId == EVENT_E2_GET_VIDEO_QUALITY_LEVEL ||
                in_pEvent->iMsgFuncId == EVENT_E2_SET_VIDEO_QUALITY_LEVEL) &&
               in_iBodyLen >= (int)sizeof(_VXQ_S_DPS_E2_VIDEO_QUALITY_LEVEL)) {
        _VXQ_S_DPS_E2_VIDEO_QUALITY_LEVEL tLevel;
        memcpy(&tLevel, in_pBody, sizeof(tLevel));
        if (PR_QualitySlot(in_pHost, tLevel.i_usChNo, tLevel.i_usStreamNo, &iSlot, &ucResult)) {
            uint32_t *pdwLevel = &in_pHost->dwQualityLevel[iSlot][tLevel.i_usStreamNo];
            if (in_pEvent->iMsgFuncId == EVENT_E2_SET_VIDEO_QUALITY_LEVEL) {
                *pdwLevel = tLevel.dwLevel;
                VXQ_F_SIMHOST_Say("quality level of channel %u stream %u set to %u", tLevel.i_usChNo,
                                  tLevel.i_usStreamNo, tLevel.dwLevel);
            } else {
                tLevel.dwLevel = *pdwLevel;
            }
        }
        VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, ucResult, &tLevel, (int)sizeof(tLevel), NULL, 0);
    } else if (in_pEvent->dwTransId != 0) {
        VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, VXQ_DPS_APP_ERR_PARAM, in_pBody, in_iBodyLen, NULL, 0);
    }
}
