/* Sub-channel table numbering and lookup, and the media resource arithmetic;
 * see subch.h for the contract. */
#include "media/subch.h"

#include <string.h>

void VXQ_F_DPS_MC_MediaChTable_Init(_VXQ_S_DPS_MEDIA_CH_DATA *inout_pTable)
{
    if (inout_pTable == NULL)
        return;
    for (int i = 0; i < VXQ_DPS_MEDIA_CH_SLOT_NUM; i++) {
        uint32_t dwChNo = (i == VXQ_DPS_SPECIAL_CH_SLOT) ? VXQ_DPS_SPECIAL_CH_NO : (uint32_t)i;
        inout_pTable[i].dwChNo = dwChNo;
        for (int j = 0; j < VXQ_DPS_MEDIA_STREAM_NUM; j++) {
            inout_pTable[i].tSubCh[j].usChNo = (uint16_t)dwChNo;
            inout_pTable[i].tSubCh[j].usStreamNo = (uint16_t)j;
        }
    }
}

/* Reads a host-order i32 / u16 at byte offset in_iOff; the body may be unaligned. */
static int32_t PR_ReadI32(const uint8_t *in_pBuf, int in_iOff)
{
    int32_t iValue;
    memcpy(&iValue, in_pBuf + in_iOff, sizeof(iValue));
    return iValue;
}

static uint16_t PR_ReadU16(const uint8_t *in_pBuf, int in_iOff)
{
    uint16_t usValue;
    memcpy(&usValue, in_pBuf + in_iOff, sizeof(usValue));
    return usValue;
}

void VXQ_F_DPS_MC_MediaSubCh_SetDescription(_VXQ_S_DPS_MEDIA_SUB_CH_DATA *inout_pSubCh,
                                           const uint8_t *in_pDesc)
{
    if (inout_pSubCh == NULL || in_pDesc == NULL)
        return;
    inout_pSubCh->bVideoFlag = PR_ReadI32(in_pDesc, 0);
    inout_pSubCh->bAudioFlag = PR_ReadI32(in_pDesc, 4);
    inout_pSubCh->iVideoCodecId = PR_ReadI32(in_pDesc, 8);
    inout_pSubCh->iVideoFrameRate = PR_ReadI32(in_pDesc, 12);
    inout_pSubCh->iVideoBitRate = PR_ReadI32(in_pDesc, 16);
    inout_pSubCh->usVideoWidth = PR_ReadU16(in_pDesc, 20);
    inout_pSubCh->usVideoHeight = PR_ReadU16(in_pDesc, 22);
    inout_pSubCh->iAudioCodecId = PR_ReadI32(in_pDesc, 24);
    inout_pSubCh->iAudioBitRate = PR_ReadI32(in_pDesc, 28);
    inout_pSubCh->iAudioSampleRate = PR_ReadI32(in_pDesc, 32);
    inout_pSubCh->iAudioChNum = PR_ReadI32(in_pDesc, 36);
}

float VXQ_F_DPS_MC_CalcFreeMediaResourceNum(int in_bMediaResCtrl, float in_fMaxMediaResourceNum,
                                            float in_fMainMediaResourceLoss,
                                            float in_fReplayResourceLoss, int in_iMainNum,
                                            int in_iSubNum, int in_iReplayNum)
{
    if (!in_bMediaResCtrl)
        return VXQ_DPS_MEDIA_RES_UNLIMITED;
    /* Each step is rounded to float, as the budget is kept in floats. */
    float fFree = in_fMaxMediaResourceNum;
    fFree = fFree - in_fMainMediaResourceLoss * (float)in_iMainNum;
    fFree = fFree - (float)in_iSubNum;
    fFree = fFree - in_fReplayResourceLoss * (float)in_iReplayNum;
    return fFree;
}

float VXQ_F_DPS_MC_MediaResourceCost(float in_fMainMediaResourceLoss, int in_iStreamNo)
{
    return in_iStreamNo == 0 ? in_fMainMediaResourceLoss : 1.0f;
}

const char *VXQ_F_DPS_MC_CheckMediaResourceArgs(float in_fMaxMediaResourceNum,
                                                float in_fMainMediaResourceLoss,
                                                float in_fReplayResourceLoss)
{
    /* Negated comparisons so that a NaN is refused as well. */
    if (!(in_fMaxMediaResourceNum >= 0.0f))
        return "Conrtol Media Resource fail, cause: in_fMaxMediaResourceNum < 0.";
    if (!(in_fMainMediaResourceLoss >= 1.0f))
        return "Conrtol Media Resource fail, cause: in_fMainMediaResourceLoss < 1.";
    if (!(in_fReplayResourceLoss >= 0.0f))
        return "Conrtol Media Resource fail, cause: in_fReplayResourceLoss < 0.";
    return NULL;
}
