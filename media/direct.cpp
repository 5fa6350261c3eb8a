/* Direct frame delivery and sub-channel release; see direct.h for the contract. */
#include "media/direct.h"

#include "core/channel.h"
#include "core/hostcall.h"
#include "kit/clock.h"
#include "media/cache.h"
#include "media/framemsg.h"
#include "media/framepool.h"
#include "media/input.h"
#include "vxq_dps.h"
#include "vxq_log.h"
#include "vxq_media.h"
#include "vxq_netcom.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int VXQ_F_DPS_MC_IsClientSendOverloaded(int32_t in_iSendQueueTotalLen, int32_t in_iMediaDataBufSize,
                                        int32_t in_iWaitingVideo, int32_t in_iFrameRate)
{
    if (in_iSendQueueTotalLen > in_iMediaDataBufSize)
        return 1;
    if (in_iFrameRate >= 1)
        return in_iWaitingVideo / in_iFrameRate > 4;
    return in_iWaitingVideo >= 125;
}

/* The common part of both deliveries: the viewers of an open sub-channel, or
 * the not-open rule. in_sFunc names the exported entry in the texts. */
static void PR_DeliverFrame(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int in_bVideo, int32_t in_iChNo,
                            int32_t in_iStreamNo, int32_t in_iFrameType, const uint8_t *in_pData,
                            int32_t in_iDataLen)
{
    const char *sFunc =
        in_bVideo ? "VXQ_F_DPS_MC_APUP_SendVideoFrameData" : "VXQ_F_DPS_MC_APUP_SendAudioFrameData";
    char sText[256];
    _VXQ_S_DPS_MEDIA_SUB_CH_DATA *pSubCh =
        VXQ_F_DPS_MC_QueryMediaSubChData(inout_pMcSrvData, in_iChNo, in_iStreamNo);
    if (pSubCh == NULL) {
        snprintf(sText, sizeof(sText), "%s VXQ_F_DPS_MC_QueryMediaSubChData fail.", sFunc);
        VXQ_F_LOG_SR_ShowInfo(sText);
        return;
    }
    if (pSubCh->iStreamOpenState == 2) {
        for (int i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++) {
            _VXQ_S_DPS_NET_PORT_DATA *pConn = inout_pMcSrvData->pConn[i];
            if (pConn == NULL || !VXQ_F_DPS_MC_CAPM_IsSubChViewer(inout_pMcSrvData, pSubCh, pConn))
                continue;
            int iResult;
            if (in_bVideo) {
                if (pConn->tMedia.bVideoPause)
                    continue;
                iResult = VXQ_F_DPS_MC_SentVideoFrameDataToClient(inout_pMcSrvData, pConn, pSubCh,
                                                                  in_iFrameType, in_pData, in_iDataLen);
            } else {
                if (pConn->tMedia.bAudioPause)
                    continue;
                iResult = VXQ_F_DPS_MC_SentAudioFrameDataToClient(inout_pMcSrvData, pConn, pSubCh, in_pData,
                                                                  in_iDataLen);
            }
            if (!iResult) {
                VXQ_F_LOG_SR_ShowInfo(in_bVideo ? "The client is disconnected from send video frame fail."
                                                : "The client is disconnected from send audio frame fail.");
                VXQ_F_DPS_MC_ActiveDisconnect(inout_pMcSrvData, pConn);
            }
        }
        return;
    }
    uint32_t dwNow = (uint32_t)VXQ_F_CLOCK_NowSec();
    if (pSubCh->dwNotOpenFrameTime != 0) {
        if (dwNow - pSubCh->dwNotOpenFrameTime > 29) {
            pSubCh->dwNotOpenFrameTime = 0;
            VXQ_F_LOG_SR_ShowInfo("Request close the media stream.");
            /* Not sent: the rule starts again with the next frame. */
            if (!VXQ_F_DPS_MC_SentProEvent_EVENT_E2_CLOSE_MEDIA_STREAM(inout_pMcSrvData, in_iChNo,
                                                                       in_iStreamNo)) {
                snprintf(sText, sizeof(sText),
                         "%s VXQ_F_DPS_MC_SentProEvent_EVENT_E2_CLOSE_MEDIA_STREAM fail.", sFunc);
                VXQ_F_LOG_SR_WriteLog(sText, 2);
            }
        }
        return;
    }
    pSubCh->dwNotOpenFrameTime = dwNow;
    if (pSubCh->iStreamOpenState == 0)
        snprintf(sText, sizeof(sText), "%s iStreamOpenState is init, chno: %d, streamno: %d.", sFunc,
                 (int)in_iChNo, (int)in_iStreamNo);
    else if (pSubCh->iStreamOpenState == 1)
        snprintf(sText, sizeof(sText), "%s iStreamOpenState is opening, chno: %d, streamno: %d.", sFunc,
                 (int)in_iChNo, (int)in_iStreamNo);
    else
        snprintf(sText, sizeof(sText), "%s iStreamOpenState error, state is %d, chno: %d, streamno: %d.",
                 sFunc, (int)pSubCh->iStreamOpenState, (int)in_iChNo, (int)in_iStreamNo);
    VXQ_F_LOG_SR_ShowInfo(sText);
}

void VXQ_F_DPS_MC_DoSendVideoFrameData(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iChNo,
                                       int32_t in_iStreamNo, int32_t in_iFrameType, const uint8_t *in_pData,
                                       int32_t in_iDataLen)
{
    if (inout_pMcSrvData == NULL)
        return;
    if (inout_pMcSrvData->bDebugLog && inout_pMcSrvData->bDebugMediaLog) {
        char sText[160];
        snprintf(sText, sizeof(sText),
                 "[DEBUG]  Video frame: i_usChNo=%d, i_usStreamNo=%d, i_usFrameType=%d, iMediaDataLen=%d.",
                 (int)in_iChNo, (int)in_iStreamNo, (int)in_iFrameType, (int)in_iDataLen);
        VXQ_F_LOG_SR_WriteLog(sText, 2);
    }
    PR_DeliverFrame(inout_pMcSrvData, 1, in_iChNo, in_iStreamNo, in_iFrameType, in_pData, in_iDataLen);
}

void VXQ_F_DPS_MC_DoSendAudioFrameData(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iChNo,
                                       int32_t in_iStreamNo, const uint8_t *in_pData, int32_t in_iDataLen)
{
    if (inout_pMcSrvData == NULL)
        return;
    if (inout_pMcSrvData->bDebugLog && inout_pMcSrvData->bDebugMediaLog) {
        char sText[160];
        snprintf(sText, sizeof(sText),
                 "[DEBUG]  Audio frame: i_usChNo=%d, i_usStreamNo=%d, iMediaDataLen=%d.", (int)in_iChNo,
                 (int)in_iStreamNo, (int)in_iDataLen);
        VXQ_F_LOG_SR_WriteLog(sText, 2);
    }
    PR_DeliverFrame(inout_pMcSrvData, 0, in_iChNo, in_iStreamNo, 0, in_pData, in_iDataLen);
}

/* Builds the frame message with the viewer's tick stamp and queues it with
 * send class in_iSendClass. 1 sent (or dropped by the send budget), 0 failed. */
static int PR_SendDirect(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                         const _VXQ_S_DPS_MEDIA_SUB_CH_DATA *in_pSubCh, int in_bVideo, int32_t in_iFrameType,
                         const uint8_t *in_pData, int32_t in_iDataLen)
{
    uint32_t dwStamp =
        VXQ_F_DPS_MC_FrameMsg_TickTimeStamp(&inout_pConn->tMedia.dwTickBase, VXQ_F_CLOCK_TickMs());
    int32_t iMsgLen = 0;
    uint8_t *pMsg =
        VXQ_F_DPS_MC_FrameMsg_Build(in_bVideo ? VXQ_DPS_MEDIA_TYPE_VIDEO : VXQ_DPS_MEDIA_TYPE_AUDIO,
                                    in_pSubCh, in_iFrameType, dwStamp, in_pData, in_iDataLen, &iMsgLen);
    if (pMsg == NULL) {
        VXQ_F_LOG_SR_WriteLog(in_bVideo ? "VXQ_F_DPS_MC_SentVideoFrameDataToClient malloc fail."
                                        : "VXQ_F_DPS_MC_SentAudioFrameDataToClient malloc fail.",
                              2);
        return 0;
    }
    VXQ_PF_DPS_NET_SEND fnSend = inout_pMcSrvData->tHooks.fnDirectSend != NULL ? inout_pMcSrvData->tHooks.fnDirectSend
                                                                              : VXQ_F_DPS_MC_SentNetData;
    int iResult = fnSend(inout_pMcSrvData, inout_pConn, pMsg, iMsgLen,
                                           in_bVideo ? VXQ_DPS_SEND_CLASS_VIDEO : VXQ_DPS_SEND_CLASS_AUDIO);
    free(pMsg);
    if (!iResult) {
        VXQ_F_LOG_SR_WriteLog(in_bVideo
                                  ? "VXQ_F_DPS_MC_SentVideoFrameDataToClient VXQ_F_DPS_MC_SentNetData fail."
                                  : "VXQ_F_DPS_MC_SentAudioFrameDataToClient VXQ_F_DPS_MC_SentNetData fail.",
                              2);
        return 0;
    }
    return 1;
}

int VXQ_F_DPS_MC_SentVideoFrameDataToClient(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                            _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                                            const _VXQ_S_DPS_MEDIA_SUB_CH_DATA *in_pSubCh,
                                            int32_t in_iFrameType, const uint8_t *in_pData,
                                            int32_t in_iDataLen)
{
    if (inout_pMcSrvData == NULL || inout_pConn == NULL || in_pSubCh == NULL)
        return 0;
    int bIFrame = (in_iFrameType == VXQ_DPS_FRAME_TYPE_I);
    if (!bIFrame && (inout_pConn->tMedia.bLossMode || inout_pConn->tMedia.bOnlyIFrame))
        return 1;
    if (bIFrame) {
        uint32_t dwNow = (uint32_t)VXQ_F_CLOCK_NowSec();
        int32_t iTotal = VXQ_F_DPS_MC_StatNetSendQueueTotalLen(inout_pMcSrvData);
        int32_t iWaiting = VXQ_F_NETCOM_QuerySendQueueSizeEx(inout_pMcSrvData->hNetSrv,
                                                             VXQ_DPS_SEND_CLASS_VIDEO, inout_pConn->dwPortId);
        if (VXQ_F_DPS_MC_IsClientSendOverloaded(iTotal, inout_pMcSrvData->iMediaDataBufSize, iWaiting,
                                                in_pSubCh->iVideoFrameRate)) {
            VXQ_F_LOG_SR_ShowInfo("The cache is too much, the loss of video frames...........");
            VXQ_F_NETCOM_ClearSendQueueData(inout_pMcSrvData->hNetSrv, inout_pConn->dwPortId);
            inout_pConn->tMedia.bRecvIFrame = 0;
            inout_pConn->tMedia.bLossMode = 1;
            inout_pConn->tMedia.dwLossModeTime = dwNow;
        } else if (inout_pConn->tMedia.bLossMode &&
                   VXQ_F_CLOCK_SecDiff((int32_t)dwNow, (int32_t)inout_pConn->tMedia.dwLossModeTime) >=
                       inout_pMcSrvData->iOnlySendIFrameTimeLen) {
            inout_pConn->tMedia.bLossMode = 0;
            inout_pConn->tMedia.dwLossModeTime = dwNow;
        }
    }
    if (!inout_pConn->tMedia.bRecvIFrame) {
        if (!bIFrame)
            return 1;
        inout_pConn->tMedia.bRecvIFrame = 1;
    }
    return PR_SendDirect(inout_pMcSrvData, inout_pConn, in_pSubCh, 1, in_iFrameType, in_pData, in_iDataLen);
}

int VXQ_F_DPS_MC_SentAudioFrameDataToClient(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                            _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                                            const _VXQ_S_DPS_MEDIA_SUB_CH_DATA *in_pSubCh,
                                            const uint8_t *in_pData, int32_t in_iDataLen)
{
    if (inout_pMcSrvData == NULL || inout_pConn == NULL || in_pSubCh == NULL)
        return 0;
    if (!inout_pConn->tMedia.bRecvIFrame)
        return 1;
    return PR_SendDirect(inout_pMcSrvData, inout_pConn, in_pSubCh, 0, 0, in_pData, in_iDataLen);
}

int VXQ_F_DPS_MC_ClientCloseMediaCh(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iChNo,
                                    int32_t in_iStreamNo)
{
    _VXQ_S_DPS_MEDIA_SUB_CH_DATA *pSubCh =
        VXQ_F_DPS_MC_QueryMediaSubChData(inout_pMcSrvData, in_iChNo, in_iStreamNo);
    if (pSubCh == NULL)
        return 0;
    for (int i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++) {
        const _VXQ_S_DPS_NET_PORT_DATA *pConn = inout_pMcSrvData->pConn[i];
        if (pConn == NULL || pConn->iConnType != VXQ_DPS_CONN_MEDIA)
            continue;
        if (pConn->tMedia.iStreamState != 1 && pConn->tMedia.iStreamState != 2)
            continue;
        if (VXQ_F_DPS_MC_QueryMediaSubChData(inout_pMcSrvData, pConn->iChNo, pConn->iStreamNo) == pSubCh)
            return 1; /* others still watch */
    }
    if (pSubCh->iStreamOpenState == 1 || pSubCh->iStreamOpenState == 2) {
        VXQ_F_LOG_SR_ShowInfo("Request to close the media stream.");
        /* The sub-channel is released either way; a host that was not told
         * keeps feeding it and is told again by the not-open rule. */
        if (!VXQ_F_DPS_MC_SentProEvent_EVENT_E2_CLOSE_MEDIA_STREAM(inout_pMcSrvData, in_iChNo, in_iStreamNo))
            VXQ_F_LOG_SR_WriteLog(
                "VXQ_F_DPS_MC_ClientCloseMediaCh VXQ_F_DPS_MC_SentProEvent_EVENT_E2_CLOSE_MEDIA_STREAM fail.",
                2);
        VXQ_F_DPS_MC_ReleaseMediaChannel(inout_pMcSrvData, pSubCh);
    }
    return 1;
}

void VXQ_F_DPS_MC_ReleaseMediaChannel(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                      _VXQ_S_DPS_MEDIA_SUB_CH_DATA *inout_pSubCh)
{
    (void)inout_pMcSrvData;
    if (inout_pSubCh == NULL)
        return;
    inout_pSubCh->iStreamOpenState = 0;
    inout_pSubCh->dwOpenStateTime = 0;
    uint8_t aZero[VXQ_DPS_MEDIA_DESC_LEN];
    memset(aZero, 0, sizeof(aZero));
    VXQ_F_DPS_MC_MediaSubCh_SetDescription(inout_pSubCh, aZero);
    VXQ_F_DPS_MC_CAPM_FreeCacheList(inout_pSubCh);
    inout_pSubCh->dwNotOpenFrameTime = 0;
}

void VXQ_F_DPS_MC_ReleaseAllMediaChannel(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData)
{
    if (inout_pMcSrvData == NULL || inout_pMcSrvData->pMediaCh == NULL)
        return;
    for (int i = 0; i < VXQ_DPS_MEDIA_CH_SLOT_NUM; i++) {
        for (int j = 0; j < VXQ_DPS_MEDIA_STREAM_NUM; j++)
            VXQ_F_DPS_MC_ReleaseMediaChannel(inout_pMcSrvData, &inout_pMcSrvData->pMediaCh[i].tSubCh[j]);
    }
}

int VXQ_F_DPS_MC_MediaTable_Start(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData)
{
    if (inout_pMcSrvData == NULL)
        return 0;
    if (inout_pMcSrvData->pMediaCh != NULL)
        return 1;
    inout_pMcSrvData->pMediaCh =
        (_VXQ_S_DPS_MEDIA_CH_DATA *)calloc(VXQ_DPS_MEDIA_CH_SLOT_NUM, sizeof(_VXQ_S_DPS_MEDIA_CH_DATA));
    if (inout_pMcSrvData->pMediaCh == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MC_MediaTable_Start malloc fail.", 2);
        return 0;
    }
    VXQ_F_DPS_MC_MediaChTable_Init(inout_pMcSrvData->pMediaCh);
    return 1;
}

void VXQ_F_DPS_MC_MediaTable_Stop(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData)
{
    if (inout_pMcSrvData == NULL || inout_pMcSrvData->pMediaCh == NULL)
        return;
    VXQ_F_DPS_MC_ReleaseAllMediaChannel(inout_pMcSrvData);
    /* Frames of the input call still in the order queue, which is gone. */
    VXQ_F_DPS_MC_FramePool_DropPosted(inout_pMcSrvData);
    free(inout_pMcSrvData->pMediaCh);
    inout_pMcSrvData->pMediaCh = NULL;
}

void VXQ_F_DPS_MC_MEDIA_Install(_VXQ_S_DPS_HOOKS *inout_pHooks)
{
    if (inout_pHooks == NULL)
        return;
    inout_pHooks->fnMediaStart = VXQ_F_DPS_MC_MediaTable_Start;
    inout_pHooks->fnMediaStop = VXQ_F_DPS_MC_MediaTable_Stop;
    inout_pHooks->fnSendDone = VXQ_F_DPS_MC_CAPM_DoSendDone;
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_CLOSE_MEDIA_STREAM(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                          int32_t in_iChNo, int32_t in_iStreamNo)
{
    if (inout_pMcSrvData == NULL)
        return 0;
    if (inout_pMcSrvData->bDebugLog) {
        char sText[128];
        snprintf(sText, sizeof(sText),
                 "[DEBUG]  Close the media stream (request): i_iChNo=%d, i_iStreamNo=%d.", (int)in_iChNo,
                 (int)in_iStreamNo);
        VXQ_F_LOG_SR_WriteLog(sText, 2);
    }
    int32_t aBody[2] = {in_iChNo, in_iStreamNo};
    return VXQ_F_DPS_MC_SentProEventBody(inout_pMcSrvData, EVENT_E2_CLOSE_MEDIA_STREAM, 0, aBody,
                                         (int32_t)sizeof(aBody));
}

/* ---- Host side: the exported direct entries ------------------------------ */

/* A frame copy travelling to the control thread inside a control-work order. */
typedef struct {
    int32_t bVideo;
    int32_t iChNo;
    int32_t iStreamNo;
    int32_t iFrameType;
    int32_t iDataLen;
    uint8_t *pData; /* heap copy, freed by the work */
} PR_DIRECT_FRAME;

static void PR_DirectFrameWork(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, const uint8_t *in_pArg,
                               int32_t in_iArgLen)
{
    PR_DIRECT_FRAME tFrame;
    if (in_iArgLen != (int32_t)sizeof(tFrame))
        return;
    memcpy(&tFrame, in_pArg, sizeof(tFrame));
    if (tFrame.bVideo)
        VXQ_F_DPS_MC_DoSendVideoFrameData(inout_pMcSrvData, tFrame.iChNo, tFrame.iStreamNo, tFrame.iFrameType,
                                          tFrame.pData, tFrame.iDataLen);
    else
        VXQ_F_DPS_MC_DoSendAudioFrameData(inout_pMcSrvData, tFrame.iChNo, tFrame.iStreamNo, tFrame.pData,
                                          tFrame.iDataLen);
    free(tFrame.pData);
}

/* The frame was never delivered: the instance stopped first. */
static void PR_DirectFrameDrop(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, const uint8_t *in_pArg,
                               int32_t in_iArgLen)
{
    PR_DIRECT_FRAME tFrame;
    (void)inout_pMcSrvData;
    if (in_iArgLen != (int32_t)sizeof(tFrame))
        return;
    memcpy(&tFrame, in_pArg, sizeof(tFrame));
    free(tFrame.pData);
}

static void PR_PostDirectFrame(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int in_bVideo, int in_iChNo,
                               int in_iStreamNo, int in_iFrameType, const void *in_pData, int in_iDataLen)
{
    const char *sFunc =
        in_bVideo ? "VXQ_F_DPS_MC_APUP_SendVideoFrameData" : "VXQ_F_DPS_MC_APUP_SendAudioFrameData";
    char sText[160];
    if (inout_pMcSrvData == NULL) {
        snprintf(sText, sizeof(sText), "%s in_hDevProNetSrv is NULL.", sFunc);
        VXQ_F_LOG_SR_WriteLog(sText, 2);
        return;
    }
    PR_DIRECT_FRAME tFrame;
    memset(&tFrame, 0, sizeof(tFrame));
    tFrame.bVideo = in_bVideo;
    tFrame.iChNo = in_iChNo;
    tFrame.iStreamNo = in_iStreamNo;
    tFrame.iFrameType = in_iFrameType;
    if (in_pData != NULL && in_iDataLen > 0) {
        tFrame.pData = (uint8_t *)malloc((size_t)in_iDataLen);
        if (tFrame.pData == NULL) {
            snprintf(sText, sizeof(sText), "%s malloc fail.", sFunc);
            VXQ_F_LOG_SR_WriteLog(sText, 2);
            return;
        }
        memcpy(tFrame.pData, in_pData, (size_t)in_iDataLen);
        tFrame.iDataLen = in_iDataLen;
    }
    if (!VXQ_F_DPS_MC_PostControlWorkEx(inout_pMcSrvData, PR_DirectFrameWork, PR_DirectFrameDrop, &tFrame,
                                        (int32_t)sizeof(tFrame), VXQ_F_DPS_MC_HostPostWaitMs(inout_pMcSrvData),
                                        -1)) {
        free(tFrame.pData);
        snprintf(sText, sizeof(sText), "%s VXQ_F_DPS_MC_PostControlWork fail.", sFunc);
        VXQ_F_LOG_SR_WriteLog(sText, 2);
    }
}

extern "C" void VXQ_F_DPS_MC_APUP_SendVideoFrameData(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_iChNo,
                                                     int in_iStreamNo, int in_iFrameType,
                                                     const void *in_pMediaDataBuf, int in_iMediaDataLen)
{
    PR_PostDirectFrame(in_hDevProNetSrv, 1, in_iChNo, in_iStreamNo, in_iFrameType, in_pMediaDataBuf,
                       in_iMediaDataLen);
}

extern "C" void VXQ_F_DPS_MC_APUP_SendAudioFrameData(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_iChNo,
                                                     int in_iStreamNo, const void *in_pMediaDataBuf,
                                                     int in_iMediaDataLen)
{
    PR_PostDirectFrame(in_hDevProNetSrv, 0, in_iChNo, in_iStreamNo, 0, in_pMediaDataBuf, in_iMediaDataLen);
}
