/* Media input orders, sub-channel lookup and client counts; see input.h for the contract. */
#include "media/input.h"

#include "media/cache.h"
#include "vxq_log.h"

#include <stdio.h>
#include <string.h>

_VXQ_S_DPS_MEDIA_SUB_CH_DATA *VXQ_F_DPS_MC_QueryMediaSubChData(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData,
                                                              int32_t in_iChNo, int32_t in_iStreamNo)
{
    if (in_pMcSrvData == NULL)
        return NULL;
    return VXQ_F_DPS_MC_MediaChTable_Query(in_pMcSrvData->tMediaCh, in_pMcSrvData->tDevCapInfo.bSpecialChFlag != 0,
                                           in_iChNo, in_iStreamNo);
}

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
            if (pConn->iStreamState == 0)
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
        in_pMcSrvData->bMediaResCtrl, in_pMcSrvData->fMaxMediaResourceNum, in_pMcSrvData->fMainMediaResourceLoss,
        in_pMcSrvData->fReplayResourceLoss, VXQ_F_DPS_MC_GetMainStreamPlayClientNum(in_pMcSrvData),
        VXQ_F_DPS_MC_GetSubStreamPlayClientNum(in_pMcSrvData), VXQ_F_DPS_MC_GetReplayClientNum(in_pMcSrvData));
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
static int PR_DoFrameOrder(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, const uint8_t *in_pOrder, int32_t in_iLength,
                           int32_t in_iFixedLen, int in_bVideo, int in_bEx, const char *in_sLenError)
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
    VXQ_F_DPS_MC_CAPM_DoDevSendRealMediaData(inout_pMcSrvData, in_bVideo ? 0 : 1, iChNo, iStreamNo, iFrameType, dwStamp,
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

int VXQ_F_DPS_MW_DoOrder_MEDIA_E8_VIDEO_FRAME_EX(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                                 int32_t in_iLength)
{
    return PR_DoFrameOrder(inout_pMcSrvData, inout_pOrder, in_iLength, VXQ_DPS_VIDEO_FRAME_EX_FIXED_LEN, 1, 1,
                           "VXQ_F_DPS_MW_DoOrder_MEDIA_E8_VIDEO_FRAME_EX iMediaDataLen error.");
}

int VXQ_F_DPS_MW_DoOrder_MEDIA_E8_AUDIO_FRAME_EX(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                                 int32_t in_iLength)
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
        static const char *const s_aName[] = {"i_iChNo", "i_iStreamNo", "i_bVideoFlag", "i_bAudioFlag",
                                              "i_iVideoCodecId", "i_iVideoFrameRate", "i_iVideoBitRate",
                                              "i_usVideoWidth", "i_usVideoHeight"};
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
    _VXQ_S_DPS_MEDIA_SUB_CH_DATA *pSubCh = VXQ_F_DPS_MC_QueryMediaSubChData(inout_pMcSrvData, aValue[0], aValue[1]);
    if (pSubCh == NULL) {
        VXQ_F_LOG_SR_ShowInfo("VXQ_F_DPS_MW_DoOrder_EVENT_E2_MODIFY_CODEC VXQ_F_DPS_MC_QueryMediaSubChData fail.");
        return 0;
    }
    VXQ_F_DPS_MC_MediaSubCh_SetDescription(pSubCh, pBody + 8);
    return 1;
}
