/* Frame message layout and tick time stamps; see framemsg.h for the contract. */
#include "media/framemsg.h"

#include <stdlib.h>
#include <string.h>

static VXQ_PF_DPS_MEDIA_ALLOC s_fnMediaAlloc = NULL;
static VXQ_PF_DPS_MEDIA_FREE s_fnMediaSeeFree = NULL;

void VXQ_F_DPS_MC_MediaMem_SetFreeHook(VXQ_PF_DPS_MEDIA_FREE in_fnSeeFree)
{
    s_fnMediaSeeFree = in_fnSeeFree;
}

void VXQ_F_DPS_MC_MediaMem_Free(void *in_pMem)
{
    if (in_pMem == NULL)
        return;
    if (s_fnMediaSeeFree != NULL)
        s_fnMediaSeeFree(in_pMem);
    free(in_pMem);
}

void VXQ_F_DPS_MC_MediaMem_SetAllocHook(VXQ_PF_DPS_MEDIA_ALLOC in_fnAlloc)
{
    s_fnMediaAlloc = in_fnAlloc;
}

void *VXQ_F_DPS_MC_MediaMem_Alloc(size_t in_iSize)
{
    return s_fnMediaAlloc != NULL ? s_fnMediaAlloc(in_iSize) : malloc(in_iSize);
}

static void PR_PutU16(uint8_t *out_pBuf, uint32_t in_dwValue)
{
    out_pBuf[0] = (uint8_t)(in_dwValue & 0xFFu);
    out_pBuf[1] = (uint8_t)((in_dwValue >> 8) & 0xFFu);
}

static void PR_PutU32(uint8_t *out_pBuf, uint32_t in_dwValue)
{
    out_pBuf[0] = (uint8_t)(in_dwValue & 0xFFu);
    out_pBuf[1] = (uint8_t)((in_dwValue >> 8) & 0xFFu);
    out_pBuf[2] = (uint8_t)((in_dwValue >> 16) & 0xFFu);
    out_pBuf[3] = (uint8_t)((in_dwValue >> 24) & 0xFFu);
}

/* The 20-byte UMSP head of a frame notice and the time stamp at 28. */
static void PR_WriteUmspHead(uint8_t *out_pMsg, uint16_t in_usFuncId, int32_t in_iDataLen,
                             uint32_t in_dwTimeStamp)
{
    memset(out_pMsg, 0, VXQ_DPS_FRAME_MSG_HEAD_LEN);
    PR_PutU32(out_pMsg + 0, VXQ_DPS_UMSP_PACKET_FLAG);
    PR_PutU32(out_pMsg + 4, (uint32_t)VXQ_DPS_FRAME_MSG_HEAD_LEN + (uint32_t)in_iDataLen);
    PR_PutU16(out_pMsg + 8, in_usFuncId);
    /* 10 packet type 0 (notice), 11 result 0, 12 trans no 0, 16 reserved 0. */
    PR_PutU32(out_pMsg + 28, in_dwTimeStamp);
}

int VXQ_F_DPS_MC_FrameMsg_WriteVideoHead(uint8_t *out_pMsg, const _VXQ_S_DPS_MEDIA_SUB_CH_DATA *in_pSubCh,
                                         int in_iFrameType, uint32_t in_dwTimeStamp,
                                         int32_t in_iDataLen)
{
    if (out_pMsg == NULL || in_pSubCh == NULL || in_iDataLen < 0)
        return 0;
    PR_WriteUmspHead(out_pMsg, VXQ_DPS_UMSP_FUNC_VIDEO_FRAME, in_iDataLen, in_dwTimeStamp);
    uint32_t dwCodec = (uint32_t)in_pSubCh->iVideoCodecId & 0x0Fu;
    uint32_t dwType = (uint32_t)in_iFrameType & 0x0Fu;
    uint32_t dwWidth = (uint32_t)in_pSubCh->usVideoWidth & 0x0FFFu;
    uint32_t dwHeight = (uint32_t)in_pSubCh->usVideoHeight & 0x0FFFu;
    uint32_t dwRate = (uint32_t)in_pSubCh->iVideoFrameRate & 0x7Fu;
    uint32_t dwBitRate = (uint32_t)in_pSubCh->iVideoBitRate & 0x7FFFu;
    out_pMsg[20] = (uint8_t)(dwCodec | (dwType << 4));
    out_pMsg[21] = (uint8_t)(dwWidth & 0xFFu);
    out_pMsg[22] = (uint8_t)((dwWidth >> 8) | ((dwHeight & 0x0Fu) << 4));
    out_pMsg[23] = (uint8_t)(dwHeight >> 4);
    out_pMsg[24] = (uint8_t)(dwRate | ((dwBitRate & 0x01u) << 7));
    out_pMsg[25] = (uint8_t)((dwBitRate >> 1) & 0xFFu);
    out_pMsg[26] = (uint8_t)((dwBitRate >> 9) & 0x3Fu);
    out_pMsg[27] = 0;
    return 1;
}

int VXQ_F_DPS_MC_FrameMsg_WriteAudioHead(uint8_t *out_pMsg, const _VXQ_S_DPS_MEDIA_SUB_CH_DATA *in_pSubCh,
                                         uint32_t in_dwTimeStamp, int32_t in_iDataLen)
{
    if (out_pMsg == NULL || in_pSubCh == NULL || in_iDataLen < 0)
        return 0;
    PR_WriteUmspHead(out_pMsg, VXQ_DPS_UMSP_FUNC_AUDIO_FRAME, in_iDataLen, in_dwTimeStamp);
    uint32_t dwCodec = (uint32_t)in_pSubCh->iAudioCodecId & 0x0Fu;
    uint32_t dwSampleRate = (uint32_t)in_pSubCh->iAudioSampleRate & 0xFFFFu;
    uint32_t dwBitRate = (uint32_t)in_pSubCh->iAudioBitRate & 0xFFFFu;
    uint32_t dwChNum = (uint32_t)in_pSubCh->iAudioChNum & 0x03u;
    out_pMsg[20] = (uint8_t)(dwCodec | ((dwSampleRate & 0x0Fu) << 4));
    out_pMsg[21] = (uint8_t)((dwSampleRate >> 4) & 0xFFu);
    out_pMsg[22] = (uint8_t)((dwSampleRate >> 12) & 0x0Fu);
    out_pMsg[23] = 1;
    PR_PutU16(out_pMsg + 24, dwBitRate);
    out_pMsg[26] = (uint8_t)dwChNum;
    out_pMsg[27] = 0;
    return 1;
}

uint8_t *VXQ_F_DPS_MC_FrameMsg_Build(int in_iMediaType, const _VXQ_S_DPS_MEDIA_SUB_CH_DATA *in_pSubCh,
                                     int in_iFrameType, uint32_t in_dwTimeStamp,
                                     const uint8_t *in_pData, int32_t in_iDataLen,
                                     int32_t *out_piMsgLen)
{
    if (in_pSubCh == NULL || out_piMsgLen == NULL)
        return NULL;
    int32_t iDataLen = (in_pData == NULL || in_iDataLen < 0) ? 0 : in_iDataLen;
    if (iDataLen > INT32_MAX - VXQ_DPS_FRAME_MSG_HEAD_LEN)
        return NULL;
    int32_t iMsgLen = VXQ_DPS_FRAME_MSG_HEAD_LEN + iDataLen;
    uint8_t *pMsg = (uint8_t *)VXQ_F_DPS_MC_MediaMem_Alloc((size_t)iMsgLen);
    if (pMsg == NULL)
        return NULL;
    if (in_iMediaType == VXQ_DPS_MEDIA_TYPE_VIDEO)
        VXQ_F_DPS_MC_FrameMsg_WriteVideoHead(pMsg, in_pSubCh, in_iFrameType, in_dwTimeStamp, iDataLen);
    else
        VXQ_F_DPS_MC_FrameMsg_WriteAudioHead(pMsg, in_pSubCh, in_dwTimeStamp, iDataLen);
    if (iDataLen > 0)
        memcpy(pMsg + VXQ_DPS_FRAME_MSG_HEAD_LEN, in_pData, (size_t)iDataLen);
    *out_piMsgLen = iMsgLen;
    return pMsg;
}

uint32_t VXQ_F_DPS_MC_FrameMsg_TickTimeStamp(uint32_t *inout_pdwTickBase, uint32_t in_dwTickMs)
{
    if (inout_pdwTickBase == NULL)
        return in_dwTickMs;
    if (*inout_pdwTickBase == 0) {
        *inout_pdwTickBase = in_dwTickMs;
        return 0;
    }
    if (in_dwTickMs < *inout_pdwTickBase) {
        *inout_pdwTickBase = 0;
        return in_dwTickMs;
    }
    return in_dwTickMs - *inout_pdwTickBase;
}
