/* Media input orders, sub-channel lookup and client counts; see input.h for the contract. */
#include "media/input.h"

#include "core/channel.h"
#include "core/hostcall.h"
#include "kit/clock.h"
#include "media/cache.h"
#include "media/framepool.h"
#include "vxq_dps.h"
#include "vxq_log.h"
#include "vxq_netcom.h"
#include "vxq_queue.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>

/* Connections of in_iConnType; with in_iStream >= 0 only media connections
 * with a stream state and stream 0 (in_iStream 0) or another stream (1). */
static int32_t PR_CountConn(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData, int32_t in_iConnType, int in_iStream)
{
    if (in_pMcSrvData == NULL)
        return 0;
    int32_t iNum = 0;
    for (int i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++) {
        const _VXQ_S_DPS_NET_PORT_DATA *pConn = in_pMcSrvData->pConn[i];
        if (pConn == NULL || pConn->iConnType != in_iConnType)
            continue;
        if (in_iStream >= 0) {
            if (pConn->tMedia.iStreamState == 0)
                continue;
            if ((pConn->iStreamNo == 0) != (in_iStream == 0))
                continue;
        }
        iNum++;
    }
    return iNum;
}

int32_t VXQ_F_DPS_MC_StatRealplayClientNum(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData)
{
    return PR_CountConn(in_pMcSrvData, VXQ_DPS_CONN_MEDIA, -1);
}

int32_t VXQ_F_DPS_MC_GetMainStreamPlayClientNum(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData)
{
    return PR_CountConn(in_pMcSrvData, VXQ_DPS_CONN_MEDIA, 0);
}

int32_t VXQ_F_DPS_MC_GetSubStreamPlayClientNum(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData)
{
    return PR_CountConn(in_pMcSrvData, VXQ_DPS_CONN_MEDIA, 1);
}

int32_t VXQ_F_DPS_MC_GetReplayClientNum(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData)
{
    return PR_CountConn(in_pMcSrvData, VXQ_DPS_CONN_DOWN, -1);
}

float VXQ_F_DPS_MC_GetFreeMediaResourceNum(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData)
{
    if (in_pMcSrvData == NULL)
        return 0.0f;
    return VXQ_F_DPS_MC_CalcFreeMediaResourceNum(
        in_pMcSrvData->bMediaResCtrl, in_pMcSrvData->fMaxMediaResourceNum,
        in_pMcSrvData->fMainMediaResourceLoss, in_pMcSrvData->fReplayResourceLoss,
        VXQ_F_DPS_MC_GetMainStreamPlayClientNum(in_pMcSrvData),
        VXQ_F_DPS_MC_GetSubStreamPlayClientNum(in_pMcSrvData),
        VXQ_F_DPS_MC_GetReplayClientNum(in_pMcSrvData));
}

_VXQ_S_DPS_NET_PORT_DATA *VXQ_F_DPS_MC_GetLastMediaConnect(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData)
{
    _VXQ_S_DPS_NET_PORT_DATA *pLast = NULL;
    if (in_pMcSrvData == NULL)
        return NULL;
    for (int32_t i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++) {
        _VXQ_S_DPS_NET_PORT_DATA *pConn = in_pMcSrvData->pConn[i];
        if (pConn == NULL || pConn->tOpenTime == 0)
            continue;
        if (pConn->iConnType != VXQ_DPS_CONN_MEDIA && pConn->iConnType != VXQ_DPS_CONN_DOWN)
            continue;
        if (pLast == NULL || VXQ_F_CLOCK_SecDiff(pConn->tOpenTime, pLast->tOpenTime) > 0)
            pLast = pConn;
    }
    return pLast;
}

void VXQ_F_DPS_MC_DisconnectToReleaseResorce(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData)
{
    _VXQ_S_DPS_NET_PORT_DATA *pConn;
    if (inout_pMcSrvData == NULL)
        return;
    while (VXQ_F_DPS_MC_GetFreeMediaResourceNum(inout_pMcSrvData) < 0.0f &&
           (pConn = VXQ_F_DPS_MC_GetLastMediaConnect(inout_pMcSrvData)) != NULL)
        VXQ_F_DPS_MC_ActiveDisconnect(inout_pMcSrvData, pConn);
}

static uint16_t PR_U16(const uint8_t *in_p)
{
    uint16_t us;
    memcpy(&us, in_p, 2);
    return us;
}

static uint32_t PR_U32(const uint8_t *in_p)
{
    uint32_t dw;
    memcpy(&dw, in_p, 4);
    return dw;
}

/* The common frame order: fixed part of in_iFixedLen bytes (copied, so a
 * short order reads zeros instead of bytes it does not have), then the data. */
static int PR_DoFrameOrder(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, const uint8_t *in_pOrder,
                           int32_t in_iLength, int32_t in_iFixedLen, int in_bVideo, int in_bEx,
                           const char *in_sLenError)
{
    if (inout_pMcSrvData == NULL || in_pOrder == NULL)
        return 0;
    uint8_t aFixed[VXQ_DPS_VIDEO_FRAME_EX_FIXED_LEN];
    memset(aFixed, 0, sizeof(aFixed));
    int32_t iBodyLen = in_iLength - 16;
    if (iBodyLen > 0)
        memcpy(aFixed, in_pOrder + 16, (size_t)(iBodyLen < in_iFixedLen ? iBodyLen : in_iFixedLen));
    int32_t iDataLen = in_iLength - 16 - in_iFixedLen;
    if (iDataLen < 0) {
        VXQ_F_LOG_SR_WriteLog(in_sLenError, 2);
        iDataLen = 0;
    }
    int32_t iChNo = PR_U16(aFixed);
    int32_t iStreamNo = PR_U16(aFixed + 2);
    int32_t iFrameType = in_bVideo ? PR_U16(aFixed + 4) : 0;
    uint32_t dwStamp = 0;
    if (in_bEx)
        dwStamp = PR_U32(aFixed + (in_bVideo ? 8 : 4));
    VXQ_F_DPS_MC_CAPM_DoDevSendRealMediaData(inout_pMcSrvData, in_bVideo ? 0 : 1, iChNo, iStreamNo,
                                             iFrameType, dwStamp,
                                             iDataLen > 0 ? in_pOrder + 16 + in_iFixedLen : NULL, iDataLen);
    return 1;
}

int VXQ_F_DPS_MW_DoOrder_MEDIA_E8_VIDEO_FRAME(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                              int32_t in_iLength)
{
    return PR_DoFrameOrder(inout_pMcSrvData, inout_pOrder, in_iLength, VXQ_DPS_VIDEO_FRAME_FIXED_LEN, 1, 0,
                           "VXQ_F_DPS_MW_DoOrder_MEDIA_E8_VIDEO_FRAME iMediaDataLen error.");
}

int VXQ_F_DPS_MW_DoOrder_MEDIA_E8_AUDIO_FRAME(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                              int32_t in_iLength)
{
    return PR_DoFrameOrder(inout_pMcSrvData, inout_pOrder, in_iLength, VXQ_DPS_AUDIO_FRAME_FIXED_LEN, 0, 0,
                           "VXQ_F_DPS_MW_DoOrder_MEDIA_E8_AUDIO_FRAME iMediaDataLen error.");
}

int VXQ_F_DPS_MW_DoOrder_MEDIA_E8_VIDEO_FRAME_EX(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 uint8_t *inout_pOrder, int32_t in_iLength)
{
    return PR_DoFrameOrder(inout_pMcSrvData, inout_pOrder, in_iLength, VXQ_DPS_VIDEO_FRAME_EX_FIXED_LEN, 1, 1,
                           "VXQ_F_DPS_MW_DoOrder_MEDIA_E8_VIDEO_FRAME_EX iMediaDataLen error.");
}

int VXQ_F_DPS_MW_DoOrder_MEDIA_E8_AUDIO_FRAME_EX(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 uint8_t *inout_pOrder, int32_t in_iLength)
{
    return PR_DoFrameOrder(inout_pMcSrvData, inout_pOrder, in_iLength, VXQ_DPS_AUDIO_FRAME_EX_FIXED_LEN, 0, 1,
                           "VXQ_F_DPS_MW_DoOrder_MEDIA_E8_AUDIO_FRAME_EX iMediaDataLen error.");
}

int VXQ_F_DPS_MW_DoOrder_EVENT_E2_MODIFY_CODEC(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                               int32_t in_iLength)
{
    if (inout_pMcSrvData == NULL || inout_pOrder == NULL)
        return 0;
    VXQ_F_LOG_SR_ShowInfo("App message: modify coded (request).");
    if (in_iLength < 16 || inout_pOrder[4] != 0) {
        VXQ_F_LOG_SR_ShowInfo("App message: modify coded msg type error.");
        return 0;
    }
    if (in_iLength < 16 + VXQ_DPS_MODIFY_CODEC_BODY_LEN) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MW_DoOrder_EVENT_E2_MODIFY_CODEC in_iLength error.", 2);
        return 0;
    }
    const uint8_t *pBody = inout_pOrder + 16;
    int32_t aValue[9];
    for (int i = 0; i < 7; i++)
        aValue[i] = (int32_t)PR_U32(pBody + 4 * i);
    aValue[7] = PR_U16(pBody + 28);
    aValue[8] = PR_U16(pBody + 30);
    int32_t aAudio[4];
    for (int i = 0; i < 4; i++)
        aAudio[i] = (int32_t)PR_U32(pBody + 32 + 4 * i);
    if (inout_pMcSrvData->bDebugLog) {
        static const char *const s_aName[] = {"i_iChNo",         "i_iStreamNo",     "i_bVideoFlag",
                                              "i_bAudioFlag",    "i_iVideoCodecId", "i_iVideoFrameRate",
                                              "i_iVideoBitRate", "i_usVideoWidth",  "i_usVideoHeight"};
        static const char *const s_aAudioName[] = {"i_iAudioCodecId", "i_iAudioBitRate", "i_iAudioSampleRate",
                                                   "i_iAudioChNum"};
        char sText[96];
        VXQ_F_LOG_SR_WriteLog("[DEBUG]  ========================================================", 2);
        VXQ_F_LOG_SR_WriteLog("[DEBUG]  Modify coded (response): ", 2);
        for (int i = 0; i < 9; i++) {
            if (i == 5)
                continue; /* the frame rate has no line of its own in this listing */
            snprintf(sText, sizeof(sText), "[DEBUG]  %s=%d.", s_aName[i], (int)aValue[i]);
            VXQ_F_LOG_SR_WriteLog(sText, 2);
        }
        for (int i = 0; i < 4; i++) {
            snprintf(sText, sizeof(sText), "[DEBUG]  %s=%d.", s_aAudioName[i], (int)aAudio[i]);
            VXQ_F_LOG_SR_WriteLog(sText, 2);
        }
    }
    _VXQ_S_DPS_MEDIA_SUB_CH_DATA *pSubCh =
        VXQ_F_DPS_MC_QueryMediaSubChData(inout_pMcSrvData, aValue[0], aValue[1]);
    if (pSubCh == NULL) {
        VXQ_F_LOG_SR_ShowInfo(
            "VXQ_F_DPS_MW_DoOrder_EVENT_E2_MODIFY_CODEC VXQ_F_DPS_MC_QueryMediaSubChData fail.");
        return 0;
    }
    VXQ_F_DPS_MC_MediaSubCh_SetDescription(pSubCh, pBody + 8);
    return 1;
}

/* ---- Host side: the exported input and resource functions -------------- */

/* The two refusal texts of each audio input function are shown only on
 * every 50th occurrence (1st, 51st, ...); process-wide, never reset. */
enum { PR_AUDIO_TOO_SIZE = 0, PR_AUDIO_FULL = 1, PR_AUDIO_EX_TOO_SIZE = 2, PR_AUDIO_EX_FULL = 3 };
static std::atomic<uint32_t> s_aAudioRefusal[4];

/* Shows a refusal; audio refusals only every 50th time of their kind. */
static void PR_ShowRefusal(int in_bVideo, int in_iCounter, const char *in_sFormat, int in_iChNo,
                           int in_iStreamNo)
{
    if (!in_bVideo && s_aAudioRefusal[in_iCounter].fetch_add(1) % 50 != 0)
        return;
    char sText[128];
    snprintf(sText, sizeof(sText), in_sFormat, in_iChNo, in_iStreamNo);
    VXQ_F_LOG_SR_ShowInfo(sText);
}

/* A frame of the input call on its way to the control thread: the node holds
 * the data; the rest is what the frame order's fixed part would carry. */
typedef struct {
    _VXQ_S_DPS_MEDIA_CACHE_NODE *pNode; /* posted in the frame pool until taken here */
    int32_t iMediaType;                 /* 0 video, 1 audio */
    int32_t iChNo;
    int32_t iStreamNo;
    int32_t iFrameType;
    uint32_t dwTimeStamp;
} PR_FRAME_WORK;

/* Control thread: the frame order's handling, with the node as the cached frame. */
static void PR_FrameWork(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, const uint8_t *in_pArg, int32_t in_iArgLen)
{
    PR_FRAME_WORK tWork;
    if (in_iArgLen != (int32_t)sizeof(tWork))
        return;
    memcpy(&tWork, in_pArg, sizeof(tWork));
    VXQ_F_DPS_MC_FramePool_Unpost(tWork.pNode);
    VXQ_F_DPS_MC_CAPM_DoDevSendRealMediaNode(inout_pMcSrvData, tWork.iMediaType, tWork.iChNo, tWork.iStreamNo,
                                             tWork.iFrameType, tWork.dwTimeStamp, tWork.pNode);
}

/* The common post of the four input functions: checks, the frame copied into
 * a pooled cache node, the byte budget of the order queue (counting the frame
 * as the order message of in_iFixedLen fixed bytes it stands for) and a post
 * without waiting. 1 posted. */
static int PR_InputFrame(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData, int in_bVideo, int in_bEx, int in_iChNo,
                         int in_iStreamNo, int in_iFrameType, uint32_t in_dwTimeStamp, int32_t in_iFixedLen,
                         const void *in_pData, int in_iDataLen)
{
    const char *sFunc = in_bVideo ? "VXQ_F_DPS_InputVideoStream" : "VXQ_F_DPS_InputAudioStream";
    char sText[200];
    if (in_pMcSrvData == NULL) {
        snprintf(sText, sizeof(sText), "%s in_hDevProNetSrv is NULL.", sFunc);
        VXQ_F_LOG_SR_WriteLog(sText, 2);
        return 0;
    }
    if (in_pData == NULL || in_iDataLen <= 0) {
        VXQ_F_LOG_SR_WriteLog(
            in_bVideo ? "VXQ_F_DPS_InputVideoStream in_pMediaDataBuf is NULL, or in_iMediaDataLen <= 0."
                      : "VXQ_F_DPS_InputAudioStream in_pMediaDataBuf or in_iMediaDataLen error.",
            2);
        return 0;
    }
    if (in_pMcSrvData->bDebugLog && in_pMcSrvData->bDebugMediaLog) {
        if (in_bVideo)
            snprintf(sText, sizeof(sText),
                     "[DEBUG]  VXQ_F_DPS_InputVideoStream: in_iChNo=%d, in_iStreamNo=%d, in_iFrameType=%d, "
                     "in_iMediaDataLen=%d.",
                     in_iChNo, in_iStreamNo, in_iFrameType, in_iDataLen);
        else
            snprintf(
                sText, sizeof(sText),
                "[DEBUG]  VXQ_F_DPS_InputAudioStream: in_iChNo=%d, in_iStreamNo=%d, in_iMediaDataLen=%d.",
                in_iChNo, in_iStreamNo, in_iDataLen);
        VXQ_F_LOG_SR_WriteLog(sText, 2);
    }
    /* The frame is copied once, into a pooled buffer that becomes its cache
     * node; the order carries the node. It counts toward the byte budget as
     * the whole order message would (head, fixed part and data). */
    int64_t llMsgLen = 16 + (int64_t)in_iFixedLen + (int64_t)in_iDataLen;
    _VXQ_S_DPS_MEDIA_CACHE_NODE *pNode =
        llMsgLen <= INT32_MAX ? VXQ_F_DPS_MC_FramePool_Take(in_pMcSrvData, in_iDataLen) : NULL;
    if (pNode == NULL) {
        snprintf(sText, sizeof(sText), "%s malloc fail.", sFunc);
        VXQ_F_LOG_SR_WriteLog(sText, 2);
        return 0;
    }
    memcpy(pNode->pData, in_pData, (size_t)in_iDataLen);
    PR_FRAME_WORK tWork;
    memset(&tWork, 0, sizeof(tWork));
    tWork.pNode = pNode;
    tWork.iMediaType = in_bVideo ? 0 : 1;
    tWork.iChNo = (uint16_t)in_iChNo; /* as the order's body carries them */
    tWork.iStreamNo = (uint16_t)in_iStreamNo;
    tWork.iFrameType = in_bVideo ? (uint16_t)in_iFrameType : 0;
    tWork.dwTimeStamp = in_bEx ? in_dwTimeStamp : 0;

    int iResult = 0;
    if (VXQ_F_TOOLS_QUEUE_QueryQueueDataTotalLen(in_pMcSrvData->hOrderQueue) >=
        in_pMcSrvData->iMediaDataBufSize)
        PR_ShowRefusal(in_bVideo, in_bEx ? PR_AUDIO_EX_TOO_SIZE : PR_AUDIO_TOO_SIZE,
                       in_bVideo ? "Input video queue data too size, ch: %d, stream: %d."
                                 : "Input audio queue data too size, ch: %d, stream: %d.",
                       in_iChNo, in_iStreamNo);
    else if (!VXQ_F_DPS_MC_PostControlWorkEx(in_pMcSrvData, PR_FrameWork, NULL, &tWork, (int32_t)sizeof(tWork), 0,
                                             llMsgLen))
        PR_ShowRefusal(in_bVideo, in_bEx ? PR_AUDIO_EX_FULL : PR_AUDIO_FULL,
                       in_bVideo ? "Input video queue full, ch: %d, stream: %d."
                                 : "Input audio queue full, ch: %d, stream: %d.",
                       in_iChNo, in_iStreamNo);
    else
        iResult = 1;
    if (!iResult) {
        VXQ_F_DPS_MC_FramePool_Unpost(pNode);
        VXQ_F_DPS_MC_FramePool_Give(pNode);
    }
    return iResult;
}

extern "C" int VXQ_F_DPS_InputVideoStream(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_iChNo, int in_iStreamNo,
                                          int in_iFrameType, const void *in_pMediaDataBuf,
                                          int in_iMediaDataLen)
{
    return PR_InputFrame(in_hDevProNetSrv, 1, 0, in_iChNo, in_iStreamNo, in_iFrameType, 0,
                         VXQ_DPS_VIDEO_FRAME_FIXED_LEN, in_pMediaDataBuf, in_iMediaDataLen);
}

extern "C" int VXQ_F_DPS_InputAudioStream(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_iChNo, int in_iStreamNo,
                                          const void *in_pMediaDataBuf, int in_iMediaDataLen)
{
    return PR_InputFrame(in_hDevProNetSrv, 0, 0, in_iChNo, in_iStreamNo, 0, 0, VXQ_DPS_AUDIO_FRAME_FIXED_LEN,
                         in_pMediaDataBuf, in_iMediaDataLen);
}

extern "C" int VXQ_F_DPS_InputVideoStreamEx(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_iChNo, int in_iStreamNo,
                                            int in_iFrameType, uint32_t in_dwTimeStamp,
                                            const void *in_pMediaDataBuf, int in_iMediaDataLen)
{
    return PR_InputFrame(in_hDevProNetSrv, 1, 1, in_iChNo, in_iStreamNo, in_iFrameType, in_dwTimeStamp,
                         VXQ_DPS_VIDEO_FRAME_EX_FIXED_LEN, in_pMediaDataBuf, in_iMediaDataLen);
}

extern "C" int VXQ_F_DPS_InputAudioStreamEx(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_iChNo, int in_iStreamNo,
                                            uint32_t in_dwTimeStamp, const void *in_pMediaDataBuf,
                                            int in_iMediaDataLen)
{
    return PR_InputFrame(in_hDevProNetSrv, 0, 1, in_iChNo, in_iStreamNo, 0, in_dwTimeStamp,
                         VXQ_DPS_AUDIO_FRAME_EX_FIXED_LEN, in_pMediaDataBuf, in_iMediaDataLen);
}

extern "C" int VXQ_F_DPS_ModifyCodec(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_iChNo, int in_iStreamNo,
                                     int in_bVideoFlag, int in_bAudioFlag, int in_iVideoCodecId,
                                     int in_iVideoFrameRate, int in_iVideoBitRate, uint16_t in_usVideoWidth,
                                     uint16_t in_usVideoHeight, int in_iAudioCodecId, int in_iAudioBitRate,
                                     int in_iAudioSampleRate, int in_iAudioChNum)
{
    if (in_hDevProNetSrv == NULL) {
        VXQ_F_LOG_SR_ShowInfo("Send modify codec in_hDevProNetSrv error.");
        return 0;
    }
    uint8_t ucMsg[16 + VXQ_DPS_MODIFY_CODEC_BODY_LEN];
    _VXQ_S_DPS_MSG_HEAD tHead;
    memset(&tHead, 0, sizeof(tHead));
    tHead.iMsgFuncId = EVENT_E2_MODIFY_CODEC;
    tHead.iBodyLen = VXQ_DPS_MODIFY_CODEC_BODY_LEN;
    _VXQ_S_DPS_E2_MODIFY_CODEC tBody;
    memset(&tBody, 0, sizeof(tBody));
    tBody.o_iChNo = in_iChNo;
    tBody.o_iStreamNo = in_iStreamNo;
    tBody.o_tDesc.bVideoFlag = in_bVideoFlag;
    tBody.o_tDesc.bAudioFlag = in_bAudioFlag;
    tBody.o_tDesc.iVideoCodecId = in_iVideoCodecId;
    tBody.o_tDesc.iVideoFrameRate = in_iVideoFrameRate;
    tBody.o_tDesc.iVideoBitRate = in_iVideoBitRate;
    tBody.o_tDesc.usVideoWidth = in_usVideoWidth;
    tBody.o_tDesc.usVideoHeight = in_usVideoHeight;
    tBody.o_tDesc.iAudioCodecId = in_iAudioCodecId;
    tBody.o_tDesc.iAudioBitRate = in_iAudioBitRate;
    tBody.o_tDesc.iAudioSampleRate = in_iAudioSampleRate;
    tBody.o_tDesc.iAudioChNum = in_iAudioChNum;
    memcpy(ucMsg, &tHead, 16);
    memcpy(ucMsg + 16, &tBody, sizeof(tBody));
    if (!VXQ_F_TOOLS_QUEUE_SetData(in_hDevProNetSrv->hOrderQueue, ucMsg, (int32_t)sizeof(ucMsg), 0)) {
        VXQ_F_LOG_SR_ShowInfo("Send modify codec fail.");
        return 0;
    }
    VXQ_F_NETCOM_WakeUp(in_hDevProNetSrv->hNetSrv);
    return 1;
}

extern "C" int VXQ_F_DPS_QueryCacheVideoFrameNum(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_iChNo,
                                                 int in_iStreamNo)
{
    if (in_hDevProNetSrv == NULL) {
        VXQ_F_LOG_SR_ShowInfo("Query cache video frame number fail, cause: in_hDevProNetSrv error.");
        return 0;
    }
    int iSlot = VXQ_F_DPS_MC_MediaChTable_SlotIndex(in_hDevProNetSrv->tDevCapInfo.bSpecialChFlag, in_iChNo);
    if (iSlot < 0 || iSlot >= VXQ_DPS_MEDIA_CH_SLOT_NUM) {
        VXQ_F_LOG_SR_ShowInfo("Query cache video frame number fail, cause: in_iChNo error.");
        return 0;
    }
    if (in_iStreamNo < 0 || in_iStreamNo >= VXQ_DPS_MEDIA_STREAM_NUM) {
        VXQ_F_LOG_SR_ShowInfo("Query cache video frame number fail, cause: in_iStreamNo error.");
        return 0;
    }
    /* Single words of the embedded table, read without a lock. */
    if (in_hDevProNetSrv->pMediaCh == NULL) {
        VXQ_F_LOG_SR_ShowInfo("Query cache video frame number fail, cause: channel not open.");
        return 0;
    }
    const volatile _VXQ_S_DPS_MEDIA_SUB_CH_DATA *pSubCh = &in_hDevProNetSrv->pMediaCh[iSlot].tSubCh[in_iStreamNo];
    if (pSubCh->iStreamOpenState != 2) {
        VXQ_F_LOG_SR_ShowInfo("Query cache video frame number fail, cause: channel not open.");
        return 0;
    }
    return pSubCh->iCacheVideoFrameNum;
}

extern "C" int VXQ_F_DPS_SetMediaDataBufSizeByCh(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_iChNo, int in_iStreamNo,
                                                 int in_iMediaDataBufSize)
{
    _VXQ_S_DPS_MCSRV_DATA *p = (_VXQ_S_DPS_MCSRV_DATA *)in_hDevProNetSrv;
    int32_t iSlot;
    if (p == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_SetMediaDataBufSizeByCh pMcSrvData is NULL.", 2);
        return 0;
    }
    if (in_iMediaDataBufSize != 0 && in_iMediaDataBufSize < 100 * 1024) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_SetMediaDataBufSizeByCh in_iMediaDataBufSize < 100*1024.", 2);
        return 0;
    }
    if (in_iMediaDataBufSize > 30 * 1024 * 1024) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_SetMediaDataBufSizeByCh in_iMediaDataBufSize > 30*1024*1024.", 2);
        return 0;
    }
    iSlot = VXQ_F_DPS_MC_ChNoToSlot(p, in_iChNo);
    if (iSlot < 0 || in_iStreamNo < 0 || in_iStreamNo >= VXQ_DPS_MEDIA_STREAM_NUM || p->pMediaCh == NULL)
        return 0;
    p->pMediaCh[iSlot].tSubCh[in_iStreamNo].iMediaDataBufSize = in_iMediaDataBufSize;
    return 1;
}

/* Host thread: stores the accounting switch and weights, weights first, with
 * release stores the control thread's plain reads will see on their next use. */
static void PR_StoreResourceValues(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_bCtrl, float in_fMax,
                                   float in_fMainLoss, float in_fReplayLoss)
{
    __atomic_store(&inout_pMcSrvData->fMaxMediaResourceNum, &in_fMax, __ATOMIC_RELEASE);
    __atomic_store(&inout_pMcSrvData->fMainMediaResourceLoss, &in_fMainLoss, __ATOMIC_RELEASE);
    __atomic_store(&inout_pMcSrvData->fReplayResourceLoss, &in_fReplayLoss, __ATOMIC_RELEASE);
    __atomic_store_n(&inout_pMcSrvData->bMediaResCtrl, in_bCtrl, __ATOMIC_RELEASE);
}

/* Control work of an enabling resource call: drop the newest media
 * connections while over budget. */
static void PR_ReleaseResourceWork(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, const uint8_t *, int32_t)
{
    VXQ_F_DPS_MC_DisconnectToReleaseResorce(inout_pMcSrvData);
}

extern "C" int VXQ_F_DPS_ControlMediaResource(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_bEnable,
                                              float in_fMaxMediaResourceNum, float in_fMainMediaResourceLoss,
                                              float in_fReplayResourceLoss)
{
    if (in_hDevProNetSrv == NULL) {
        VXQ_F_LOG_SR_ShowInfo("Conrtol Media Resource fail, cause: in_hDevProNetSrv error.");
        return 0;
    }
    if (!in_bEnable) {
        PR_StoreResourceValues(in_hDevProNetSrv, 0, 64.0f, 1.0f, 1.0f);
        return 1;
    }
    const char *sRefusal = VXQ_F_DPS_MC_CheckMediaResourceArgs(
        in_fMaxMediaResourceNum, in_fMainMediaResourceLoss, in_fReplayResourceLoss);
    if (sRefusal != NULL) {
        VXQ_F_LOG_SR_ShowInfo(sRefusal);
        return 0;
    }
    PR_StoreResourceValues(in_hDevProNetSrv, in_bEnable, in_fMaxMediaResourceNum, in_fMainMediaResourceLoss,
                           in_fReplayResourceLoss);
    /* The connection table belongs to the control thread: the release runs there. */
    if (!VXQ_F_DPS_MC_PostControlWork(in_hDevProNetSrv, PR_ReleaseResourceWork, NULL, 0)) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_ControlMediaResource VXQ_F_DPS_MC_PostControlWork fail.", 2);
        return 0;
    }
    return 1;
}

/* Control-thread query of VXQ_F_DPS_GetFreeMediaResourceNum: the free amount now. */
static void PR_FreeResourceQuery(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, const void *, int32_t,
                                 void *out_pAnswer)
{
    float fFree = VXQ_F_DPS_MC_GetFreeMediaResourceNum(inout_pMcSrvData);
    memcpy(out_pAnswer, &fFree, sizeof(fFree));
}

extern "C" int VXQ_F_DPS_GetFreeMediaResourceNum(VXQ_DPS_HANDLE in_hDevProNetSrv,
                                                 float *out_pfMaxMediaResourceNum,
                                                 float *out_pfFreeMediaResourceNum)
{
    if (in_hDevProNetSrv == NULL) {
        VXQ_F_LOG_SR_ShowInfo("Get Media Resource fail, cause: in_hDevProNetSrv error.");
        return 0;
    }
    if (!__atomic_load_n(&in_hDevProNetSrv->bMediaResCtrl, __ATOMIC_ACQUIRE)) {
        VXQ_F_LOG_SR_ShowInfo("Get Media Resource fail, cause: The media resource threshold is closed.");
        return 0;
    }
    float fMax;
    __atomic_load(&in_hDevProNetSrv->fMaxMediaResourceNum, &fMax, __ATOMIC_ACQUIRE);
    float fFree = 0.0f;
    /* The counts walk the connection table, which only the control thread may read. */
    if (!VXQ_F_DPS_MC_QueryControlThread(in_hDevProNetSrv, PR_FreeResourceQuery, NULL, 0, &fFree,
                                         (int32_t)sizeof(fFree), "VXQ_F_DPS_GetFreeMediaResourceNum"))
        return 0;
    if (out_pfMaxMediaResourceNum != NULL)
        *out_pfMaxMediaResourceNum = fMax;
    if (out_pfFreeMediaResourceNum != NULL)
        *out_pfFreeMediaResourceNum = fFree;
    return 1;
}
