/*
 * h264src.cpp - Annex-B splitting, SPS size parsing and paced video sources.
 */
#include "h264src.h"

#include "vxq_log.h"
#include "vxq_syshelp.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* An SPS never needs more than this many payload bytes for the fields read
 * here (scaling lists included); the rest (VUI) is not looked at. */
#define PR_SPS_MAX_BYTES 512u
/* first_mb_in_slice sits in the first bytes of a slice header. */
#define PR_SLICE_HEAD_BYTES 16u
/* Largest picture accepted: 255 macroblocks (4080 pixels) each way; the
 * frame message carries 12 bits of width and height. */
#define PR_MAX_MBS 255u
/* A synthetic I-frame is this many times as large as a P-frame. */
#define PR_SYN_I_RATIO 6u

/* Bit reading over an unescaped payload, on top of the kit's reader, with a
 * sticky failure flag so that a short unit is refused instead of misread. */
typedef struct _VXQ_S_SIMH264_BITS {
    const uint8_t *p;
    int32_t iBit;
    int32_t iLeft;
    int32_t bFail;
} _VXQ_S_SIMH264_BITS;

static void PR_BitsInit(_VXQ_S_SIMH264_BITS *out_pBits, const uint8_t *in_p, uint32_t in_dwLen)
{
    out_pBits->p = in_p;
    out_pBits->iBit = 0;
    out_pBits->iLeft = (int32_t)in_dwLen;
    out_pBits->bFail = 0;
}

static uint32_t PR_BitsRemain(const _VXQ_S_SIMH264_BITS *in_pBits)
{
    if (in_pBits->iLeft <= 0)
        return 0;
    return (uint32_t)in_pBits->iLeft * 8u - (uint32_t)in_pBits->iBit;
}

/* in_iBits (1..32) bits; 0 and the failure flag when fewer remain. */
static uint32_t PR_ReadBits(_VXQ_S_SIMH264_BITS *inout_pBits, int32_t in_iBits)
{
    if (inout_pBits->bFail || PR_BitsRemain(inout_pBits) < (uint32_t)in_iBits) {
        inout_pBits->bFail = 1;
        return 0;
    }
    return VXQ_F_SYS_MG_read_bits(&inout_pBits->p, &inout_pBits->iBit, &inout_pBits->iLeft, in_iBits);
}

/* ue(v). The kit reader stops quietly at the end of the bytes, so the bits it
 * consumed are compared with the length of the code it decoded: a code cut
 * short sets the failure flag instead of yielding a wrong value. */
static uint32_t PR_ReadUe(_VXQ_S_SIMH264_BITS *inout_pBits)
{
    if (inout_pBits->bFail)
        return 0;
    uint32_t dwBefore = PR_BitsRemain(inout_pBits);
    uint32_t dwValue = VXQ_F_SYS_MG_get_ue(&inout_pBits->p, &inout_pBits->iBit, &inout_pBits->iLeft);
    uint32_t dwUsed = dwBefore - PR_BitsRemain(inout_pBits);
    if (dwValue == 0xFFFFFFFFu) {
        inout_pBits->bFail = 1;
        return 0;
    }
    uint32_t dwZeros = 0;
    while (((uint64_t)dwValue + 1u) >> (dwZeros + 1u))
        dwZeros++;
    if (dwUsed != 2u * dwZeros + 1u) {
        inout_pBits->bFail = 1;
        return 0;
    }
    return dwValue;
}

/* se(v): code k maps to (k + 1) / 2 for odd k and to -(k / 2) for even k. */
static int32_t PR_ReadSe(_VXQ_S_SIMH264_BITS *inout_pBits)
{
    uint32_t dwCode = PR_ReadUe(inout_pBits);
    if (dwCode & 1u)
        return (int32_t)((dwCode + 1u) / 2u);
    return -(int32_t)(dwCode / 2u);
}

int VXQ_F_SIMH264_NextNal(const uint8_t *in_pBuf, uint32_t in_dwLen, uint32_t *inout_pdwPos,
                          _VXQ_S_SIMH264_NAL *out_pNal)
{
    if (in_pBuf == NULL || inout_pdwPos == NULL || out_pNal == NULL)
        return 0;
    uint32_t i = *inout_pdwPos;
    /* The start code: 00 00 01 (a zero before it makes it the 4-byte form). */
    while (i + 3u <= in_dwLen && !(in_pBuf[i] == 0 && in_pBuf[i + 1] == 0 && in_pBuf[i + 2] == 1))
        i++;
    if (i + 3u > in_dwLen)
        return 0;
    uint32_t dwStart = (i > *inout_pdwPos && in_pBuf[i - 1] == 0) ? i - 1u : i;
    uint32_t dwPayload = i + 3u;
    uint32_t j = dwPayload;
    while (j + 3u <= in_dwLen && !(in_pBuf[j] == 0 && in_pBuf[j + 1] == 0 && in_pBuf[j + 2] == 1))
        j++;
    uint32_t dwNext = (j + 3u <= in_dwLen) ? j : in_dwLen;
    uint32_t dwEnd = dwNext;
    while (dwEnd > dwPayload && in_pBuf[dwEnd - 1] == 0)
        dwEnd--;
    /* A 4-byte code that follows: its zero_byte belongs to the next unit. */
    if (dwNext < in_dwLen && dwNext > dwEnd && in_pBuf[dwNext - 1] == 0)
        dwNext--;
    out_pNal->dwStart = dwStart;
    out_pNal->dwPayload = dwPayload;
    out_pNal->dwEnd = dwEnd;
    out_pNal->dwNext = dwNext;
    out_pNal->ucType = (dwPayload < dwEnd) ? (uint8_t)(in_pBuf[dwPayload] & 0x1F) : 0;
    *inout_pdwPos = dwNext;
    return 1;
}

uint32_t VXQ_F_SIMH264_Unescape(const uint8_t *in_pNal, uint32_t in_dwLen, uint8_t *out_pRbsp,
                                uint32_t in_dwSize)
{
    if (in_pNal == NULL || out_pRbsp == NULL)
        return 0;
    uint32_t dwOut = 0;
    uint32_t dwZeros = 0;
    for (uint32_t i = 0; i < in_dwLen && dwOut < in_dwSize; i++) {
        uint8_t ucByte = in_pNal[i];
        if (dwZeros >= 2 && ucByte == 3) {
            dwZeros = 0;
            continue;
        }
        dwZeros = (ucByte == 0) ? dwZeros + 1u : 0u;
        out_pRbsp[dwOut++] = ucByte;
    }
    return dwOut;
}

/* Skips one scaling_list() of in_iSize coefficients. */
static void PR_SkipScalingList(_VXQ_S_SIMH264_BITS *inout_pBits, int32_t in_iSize)
{
    int32_t iLast = 8;
    int32_t iNext = 8;
    for (int32_t j = 0; j < in_iSize && !inout_pBits->bFail; j++) {
        if (iNext != 0) {
            int32_t iDelta = PR_ReadSe(inout_pBits);
            if (iDelta < -128 || iDelta > 127) {
                inout_pBits->bFail = 1;
                return;
            }
            iNext = (iLast + iDelta + 256) % 256;
        }
        iLast = (iNext == 0) ? iLast : iNext;
    }
}

/* Profiles whose SPS carries the chroma format, bit depths and scaling lists. */
static int PR_HasChromaFields(uint32_t in_dwProfile)
{
    static const uint8_t s_ucProfiles[] = {100, 110, 122, 244, 44, 83, 86, 118, 128, 138, 139, 134, 135};
    for (size_t i = 0; i < sizeof(s_ucProfiles); i++)
        if (s_ucProfiles[i] == in_dwProfile)
            return 1;
    return 0;
}

int VXQ_F_SIMH264_ParseSps(const uint8_t *in_pNal, uint32_t in_dwLen, uint16_t *out_pusWidth,
                           uint16_t *out_pusHeight)
{
    if (in_pNal == NULL || in_dwLen < 4 || out_pusWidth == NULL || out_pusHeight == NULL)
        return 0;
    if ((in_pNal[0] & 0x1F) != VXQ_SIM_NAL_SPS)
        return 0;
    uint8_t ucRbsp[PR_SPS_MAX_BYTES];
    uint32_t dwLen = VXQ_F_SIMH264_Unescape(in_pNal + 1, in_dwLen - 1u, ucRbsp, sizeof(ucRbsp));
    _VXQ_S_SIMH264_BITS tBits;
    PR_BitsInit(&tBits, ucRbsp, dwLen);

    uint32_t dwProfile = PR_ReadBits(&tBits, 8);
    PR_ReadBits(&tBits, 8); /* constraint flags and reserved bits */
    PR_ReadBits(&tBits, 8); /* level_idc */
    if (PR_ReadUe(&tBits) > 31)
        return 0; /* seq_parameter_set_id */
    uint32_t dwChromaFormat = 1;
    uint32_t bSeparatePlanes = 0;
    if (PR_HasChromaFields(dwProfile)) {
        dwChromaFormat = PR_ReadUe(&tBits);
        if (dwChromaFormat > 3)
            return 0;
        if (dwChromaFormat == 3)
            bSeparatePlanes = PR_ReadBits(&tBits, 1);
        PR_ReadUe(&tBits); /* bit_depth_luma_minus8 */
        PR_ReadUe(&tBits); /* bit_depth_chroma_minus8 */
        PR_ReadBits(&tBits, 1); /* qpprime_y_zero_transform_bypass_flag */
        if (PR_ReadBits(&tBits, 1)) { /* seq_scaling_matrix_present_flag */
            int32_t iLists = (dwChromaFormat != 3) ? 8 : 12;
            for (int32_t i = 0; i < iLists && !tBits.bFail; i++)
                if (PR_ReadBits(&tBits, 1))
                    PR_SkipScalingList(&tBits, i < 6 ? 16 : 64);
        }
    }
    if (PR_ReadUe(&tBits) > 12)
        return 0; /* log2_max_frame_num_minus4 */
    uint32_t dwPocType = PR_ReadUe(&tBits);
    if (dwPocType == 0) {
        if (PR_ReadUe(&tBits) > 12)
            return 0; /* log2_max_pic_order_cnt_lsb_minus4 */
    } else if (dwPocType == 1) {
        PR_ReadBits(&tBits, 1); /* delta_pic_order_always_zero_flag */
        PR_ReadSe(&tBits);      /* offset_for_non_ref_pic */
        PR_ReadSe(&tBits);      /* offset_for_top_to_bottom_field */
        uint32_t dwCycle = PR_ReadUe(&tBits);
        if (dwCycle > 255)
            return 0;
        for (uint32_t i = 0; i < dwCycle && !tBits.bFail; i++)
            PR_ReadSe(&tBits); /* offset_for_ref_frame */
    } else if (dwPocType != 2) {
        return 0;
    }
    PR_ReadUe(&tBits);      /* max_num_ref_frames */
    PR_ReadBits(&tBits, 1); /* gaps_in_frame_num_value_allowed_flag */
    uint32_t dwWidthMbs = PR_ReadUe(&tBits) + 1u;
    uint32_t dwHeightMapUnits = PR_ReadUe(&tBits) + 1u;
    uint32_t bFrameMbsOnly = PR_ReadBits(&tBits, 1);
    if (!bFrameMbsOnly)
        PR_ReadBits(&tBits, 1); /* mb_adaptive_frame_field_flag */
    PR_ReadBits(&tBits, 1);     /* direct_8x8_inference_flag */
    uint32_t dwCrop[4] = {0, 0, 0, 0}; /* left, right, top, bottom */
    if (PR_ReadBits(&tBits, 1))
        for (int i = 0; i < 4; i++)
            dwCrop[i] = PR_ReadUe(&tBits);
    if (tBits.bFail)
        return 0;

    uint32_t dwHeightMbs = dwHeightMapUnits * (2u - bFrameMbsOnly);
    if (dwWidthMbs > PR_MAX_MBS || dwHeightMbs > PR_MAX_MBS)
        return 0;
    /* Crop units: whole samples of the chroma grid, doubled vertically for fields. */
    uint32_t dwCropX = 1;
    uint32_t dwCropY = 2u - bFrameMbsOnly;
    if (!bSeparatePlanes && dwChromaFormat != 0) {
        dwCropX = (dwChromaFormat == 3) ? 1u : 2u;
        dwCropY *= (dwChromaFormat == 1) ? 2u : 1u;
    }
    uint64_t qwCropW = ((uint64_t)dwCrop[0] + dwCrop[1]) * dwCropX;
    uint64_t qwCropH = ((uint64_t)dwCrop[2] + dwCrop[3]) * dwCropY;
    uint32_t dwWidth = dwWidthMbs * 16u;
    uint32_t dwHeight = dwHeightMbs * 16u;
    if (qwCropW >= dwWidth || qwCropH >= dwHeight)
        return 0;
    *out_pusWidth = (uint16_t)(dwWidth - (uint32_t)qwCropW);
    *out_pusHeight = (uint16_t)(dwHeight - (uint32_t)qwCropH);
    return 1;
}

/* first_mb_in_slice of a slice NAL unit, or 0 when it cannot be read (a
 * slice whose header is unreadable is taken as the start of a picture). */
static uint32_t PR_FirstMbInSlice(const uint8_t *in_pNal, uint32_t in_dwLen)
{
    uint8_t ucRbsp[PR_SLICE_HEAD_BYTES];
    if (in_dwLen < 2)
        return 0;
    uint32_t dwLen = VXQ_F_SIMH264_Unescape(in_pNal + 1, in_dwLen - 1u, ucRbsp, sizeof(ucRbsp));
    _VXQ_S_SIMH264_BITS tBits;
    PR_BitsInit(&tBits, ucRbsp, dwLen);
    return PR_ReadUe(&tBits);
}

static int PR_IsVcl(uint8_t in_ucType)
{
    return in_ucType >= VXQ_SIM_NAL_SLICE && in_ucType <= VXQ_SIM_NAL_IDR;
}

/* Units that begin a new access unit once the current one holds a slice:
 * AUD, SEI, SPS, PPS and the reserved types 14..18. */
static int PR_StartsAccessUnit(uint8_t in_ucType)
{
    return (in_ucType >= VXQ_SIM_NAL_SEI && in_ucType <= VXQ_SIM_NAL_AUD) ||
           (in_ucType >= 14 && in_ucType <= 18);
}

/* Appends one access unit, growing the table by doubling. */
static int PR_AddAu(_VXQ_S_SIMH264_CLIP *inout_pClip, uint32_t *inout_pdwCap, uint32_t in_dwOffset,
                    uint32_t in_dwEnd, int32_t in_bIdr)
{
    if (inout_pClip->dwAuNum == *inout_pdwCap) {
        uint32_t dwCap = *inout_pdwCap ? *inout_pdwCap * 2u : 64u;
        void *pNew = realloc(inout_pClip->pAu, dwCap * sizeof(_VXQ_S_SIMH264_AU));
        if (pNew == NULL)
            return 0;
        inout_pClip->pAu = (_VXQ_S_SIMH264_AU *)pNew;
        *inout_pdwCap = dwCap;
    }
    _VXQ_S_SIMH264_AU *pAu = &inout_pClip->pAu[inout_pClip->dwAuNum++];
    pAu->dwOffset = in_dwOffset;
    pAu->dwLen = in_dwEnd - in_dwOffset;
    pAu->iFrameType = in_bIdr ? VXQ_SIM_FRAME_TYPE_I : VXQ_SIM_FRAME_TYPE_P;
    if (in_bIdr)
        inout_pClip->dwIFrameNum++;
    return 1;
}

int VXQ_F_SIMH264_SplitClip(const uint8_t *in_pData, uint32_t in_dwLen, _VXQ_S_SIMH264_CLIP *out_pClip)
{
    if (out_pClip == NULL)
        return 0;
    memset(out_pClip, 0, sizeof(*out_pClip));
    if (in_pData == NULL || in_dwLen == 0) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_SIMH264_SplitClip in_pData error.", 2);
        return 0;
    }
    out_pClip->pData = (uint8_t *)malloc(in_dwLen);
    if (out_pClip->pData == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_SIMH264_SplitClip malloc fail.", 2);
        return 0;
    }
    memcpy(out_pClip->pData, in_pData, in_dwLen);
    out_pClip->dwDataLen = in_dwLen;

    const uint8_t *pBuf = out_pClip->pData;
    uint32_t dwPos = 0;
    uint32_t dwCap = 0;
    uint32_t dwAuStart = 0;
    int32_t bAuOpen = 0;
    int32_t bAuHasSlice = 0;
    int32_t bAuIdr = 0;
    int32_t bSizeKnown = 0;
    _VXQ_S_SIMH264_NAL tNal;
    while (VXQ_F_SIMH264_NextNal(pBuf, in_dwLen, &dwPos, &tNal)) {
        const uint8_t *pNal = pBuf + tNal.dwPayload;
        uint32_t dwNalLen = tNal.dwEnd - tNal.dwPayload;
        int32_t bNewAu = 0;
        if (bAuHasSlice) {
            if (PR_StartsAccessUnit(tNal.ucType))
                bNewAu = 1;
            else if ((tNal.ucType == VXQ_SIM_NAL_SLICE || tNal.ucType == VXQ_SIM_NAL_SLICE_DPA ||
                      tNal.ucType == VXQ_SIM_NAL_IDR) &&
                     PR_FirstMbInSlice(pNal, dwNalLen) == 0)
                bNewAu = 1;
        }
        if (bNewAu) {
            if (!PR_AddAu(out_pClip, &dwCap, dwAuStart, tNal.dwStart, bAuIdr))
                goto alloc_fail;
            bAuOpen = 0;
        }
        if (!bAuOpen) {
            bAuOpen = 1;
            dwAuStart = tNal.dwStart;
            bAuHasSlice = 0;
            bAuIdr = 0;
        }
        if (PR_IsVcl(tNal.ucType))
            bAuHasSlice = 1;
        if (tNal.ucType == VXQ_SIM_NAL_IDR)
            bAuIdr = 1;
        if (tNal.ucType == VXQ_SIM_NAL_SPS && !bSizeKnown)
            bSizeKnown = VXQ_F_SIMH264_ParseSps(pNal, dwNalLen, &out_pClip->usWidth, &out_pClip->usHeight);
    }
    /* The last access unit runs to the end of the stream; one without a
     * slice (parameter sets only) is no picture and is dropped. */
    if (bAuOpen && bAuHasSlice && !PR_AddAu(out_pClip, &dwCap, dwAuStart, in_dwLen, bAuIdr))
        goto alloc_fail;
    if (out_pClip->dwAuNum == 0 || !bSizeKnown) {
        VXQ_F_LOG_SR_WriteLog(out_pClip->dwAuNum == 0 ? "VXQ_F_SIMH264_SplitClip no slice error."
                                                      : "VXQ_F_SIMH264_SplitClip sps error.",
                              2);
        VXQ_F_SIMH264_FreeClip(out_pClip);
        return 0;
    }
    return 1;

alloc_fail:
    VXQ_F_LOG_SR_WriteLog("VXQ_F_SIMH264_SplitClip realloc fail.", 2);
    VXQ_F_SIMH264_FreeClip(out_pClip);
    return 0;
}

int VXQ_F_SIMH264_LoadClip(const char *in_sPath, _VXQ_S_SIMH264_CLIP *out_pClip)
{
    if (out_pClip == NULL)
        return 0;
    memset(out_pClip, 0, sizeof(*out_pClip));
    char sLine[512];
    FILE *pFile = in_sPath ? fopen(in_sPath, "rb") : NULL;
    if (pFile == NULL) {
        snprintf(sLine, sizeof(sLine), "VXQ_F_SIMH264_LoadClip fopen fail, %s.", in_sPath ? in_sPath : "");
        VXQ_F_LOG_SR_WriteLog(sLine, 2);
        return 0;
    }
    long lSize = -1;
    if (fseek(pFile, 0, SEEK_END) == 0) {
        lSize = ftell(pFile);
        if (fseek(pFile, 0, SEEK_SET) != 0)
            lSize = -1;
    }
    if (lSize <= 0 || (unsigned long)lSize > VXQ_SIM_CLIP_MAX_BYTES) {
        snprintf(sLine, sizeof(sLine), "VXQ_F_SIMH264_LoadClip file size error, %s.", in_sPath);
        VXQ_F_LOG_SR_WriteLog(sLine, 2);
        fclose(pFile);
        return 0;
    }
    uint8_t *pData = (uint8_t *)malloc((size_t)lSize);
    if (pData == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_SIMH264_LoadClip malloc fail.", 2);
        fclose(pFile);
        return 0;
    }
    size_t nRead = fread(pData, 1, (size_t)lSize, pFile);
    fclose(pFile);
    if (nRead != (size_t)lSize) {
        snprintf(sLine, sizeof(sLine), "VXQ_F_SIMH264_LoadClip fread fail, %s.", in_sPath);
        VXQ_F_LOG_SR_WriteLog(sLine, 2);
        free(pData);
        return 0;
    }
    int iRet = VXQ_F_SIMH264_SplitClip(pData, (uint32_t)lSize, out_pClip);
    free(pData);
    return iRet;
}

void VXQ_F_SIMH264_FreeClip(_VXQ_S_SIMH264_CLIP *inout_pClip)
{
    if (inout_pClip == NULL)
        return;
    free(inout_pClip->pData);
    free(inout_pClip->pAu);
    memset(inout_pClip, 0, sizeof(*inout_pClip));
}

/* Index of the clip's first I-frame (0 when it has none). */
static uint32_t PR_FirstIAu(const _VXQ_S_SIMH264_CLIP *in_pClip)
{
    for (uint32_t i = 0; i < in_pClip->dwAuNum; i++)
        if (in_pClip->pAu[i].iFrameType == VXQ_SIM_FRAME_TYPE_I)
            return i;
    return 0;
}

/* Bytes of a P-frame at the source's bit rate and frame rate, chosen so that
 * one GOP (one I-frame of PR_SYN_I_RATIO P-frames plus the P-frames) carries
 * one GOP's worth of the bit rate. */
static uint32_t PR_SynPSize(const _VXQ_S_SIMH264_SOURCE *in_pSrc)
{
    uint64_t qwGopBytes = (uint64_t)in_pSrc->iBitRate * 1000u / 8u * (uint32_t)in_pSrc->iGop /
                          (uint32_t)in_pSrc->iFrameRate;
    uint64_t qwUnits = (uint64_t)in_pSrc->iGop - 1u + PR_SYN_I_RATIO;
    uint64_t qwSize = qwGopBytes / qwUnits;
    return qwSize < 16u ? 16u : (uint32_t)qwSize;
}

int VXQ_F_SIMH264_SourceInit(_VXQ_S_SIMH264_SOURCE *out_pSrc, const _VXQ_S_SIMH264_CLIP *in_pClip,
                             int32_t in_iFrameRate, int32_t in_iGop, int32_t in_iBitRate)
{
    if (out_pSrc == NULL)
        return 0;
    memset(out_pSrc, 0, sizeof(*out_pSrc));
    out_pSrc->pClip = (in_pClip && in_pClip->dwAuNum) ? in_pClip : NULL;
    out_pSrc->iFrameRate = in_iFrameRate < 1 ? 1 : (in_iFrameRate > 1000 ? 1000 : in_iFrameRate);
    out_pSrc->iGop = in_iGop < 1 ? 1 : in_iGop;
    out_pSrc->iBitRate = in_iBitRate < 8 ? 8 : (in_iBitRate > 100000 ? 100000 : in_iBitRate);
    out_pSrc->dwRand = 0x2545F491u;
    if (out_pSrc->pClip) {
        out_pSrc->dwNextAu = PR_FirstIAu(out_pSrc->pClip);
        return 1;
    }
    /* Largest frame: an I-frame with its +12.5% jitter. */
    uint64_t qwMax = (uint64_t)PR_SynPSize(out_pSrc) * PR_SYN_I_RATIO;
    qwMax += qwMax / 8u + 8u;
    out_pSrc->dwSynBufSize = (uint32_t)qwMax;
    out_pSrc->pSynBuf = (uint8_t *)malloc(out_pSrc->dwSynBufSize);
    if (out_pSrc->pSynBuf == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_SIMH264_SourceInit malloc fail.", 2);
        memset(out_pSrc, 0, sizeof(*out_pSrc));
        return 0;
    }
    return 1;
}

void VXQ_F_SIMH264_SourceFree(_VXQ_S_SIMH264_SOURCE *inout_pSrc)
{
    if (inout_pSrc == NULL)
        return;
    free(inout_pSrc->pSynBuf);
    memset(inout_pSrc, 0, sizeof(*inout_pSrc));
}

/* Tick (ms) at which frame in_dwSeq is due on the current schedule. */
static uint32_t PR_DueTick(const _VXQ_S_SIMH264_SOURCE *in_pSrc, uint32_t in_dwSeq)
{
    uint64_t qwMs = (uint64_t)(in_dwSeq - in_pSrc->dwSeqBase) * 1000u / (uint32_t)in_pSrc->iFrameRate;
    return in_pSrc->dwStartTick + (uint32_t)qwMs;
}

uint32_t VXQ_F_SIMH264_SourceWaitMs(const _VXQ_S_SIMH264_SOURCE *in_pSrc, uint32_t in_dwNowTick)
{
    if (in_pSrc == NULL || !in_pSrc->bStarted)
        return 0;
    int32_t iDiff = (int32_t)(PR_DueTick(in_pSrc, in_pSrc->dwSeq) - in_dwNowTick);
    return iDiff > 0 ? (uint32_t)iDiff : 0u;
}

/* Fills the synthetic frame in_dwSeq: a start code, a slice NAL header (IDR
 * for I-frames) and filler bytes that never form a start code. */
static void PR_SynFrame(_VXQ_S_SIMH264_SOURCE *inout_pSrc, _VXQ_S_SIMH264_FRAME *out_pFrame)
{
    int32_t bIFrame = (inout_pSrc->dwSeq % (uint32_t)inout_pSrc->iGop) == 0;
    uint32_t dwSize = PR_SynPSize(inout_pSrc) * (bIFrame ? PR_SYN_I_RATIO : 1u);
    /* Jitter of -12.5% .. +12.5% from a xorshift generator: deterministic. */
    uint32_t x = inout_pSrc->dwRand;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    inout_pSrc->dwRand = x;
    uint32_t dwSpan = dwSize / 4u;
    if (dwSpan)
        dwSize = dwSize - dwSize / 8u + x % (dwSpan + 1u);
    if (dwSize > inout_pSrc->dwSynBufSize)
        dwSize = inout_pSrc->dwSynBufSize;
    uint8_t *p = inout_pSrc->pSynBuf;
    p[0] = 0;
    p[1] = 0;
    p[2] = 0;
    p[3] = 1;
    p[4] = bIFrame ? 0x65 : 0x41;
    for (uint32_t i = 5; i < dwSize; i++)
        p[i] = (uint8_t)(0x80u | ((i * 31u + inout_pSrc->dwSeq) & 0x7Fu));
    out_pFrame->pData = p;
    out_pFrame->dwLen = dwSize;
    out_pFrame->iFrameType = bIFrame ? VXQ_SIM_FRAME_TYPE_I : VXQ_SIM_FRAME_TYPE_P;
}

int VXQ_F_SIMH264_SourceNext(_VXQ_S_SIMH264_SOURCE *inout_pSrc, uint32_t in_dwNowTick,
                             _VXQ_S_SIMH264_FRAME *out_pFrame)
{
    if (inout_pSrc == NULL || out_pFrame == NULL || (inout_pSrc->pClip == NULL && inout_pSrc->pSynBuf == NULL))
        return 0;
    if (!inout_pSrc->bStarted) {
        inout_pSrc->bStarted = 1;
        inout_pSrc->dwStartTick = in_dwNowTick;
        inout_pSrc->dwSeqBase = inout_pSrc->dwSeq;
    }
    int32_t iLate = (int32_t)(in_dwNowTick - PR_DueTick(inout_pSrc, inout_pSrc->dwSeq));
    if (iLate < 0)
        return 0;
    if (iLate > 1000) {
        inout_pSrc->dwStartTick = in_dwNowTick;
        inout_pSrc->dwSeqBase = inout_pSrc->dwSeq;
    }
    if (inout_pSrc->pClip) {
        const _VXQ_S_SIMH264_CLIP *pClip = inout_pSrc->pClip;
        const _VXQ_S_SIMH264_AU *pAu = &pClip->pAu[inout_pSrc->dwNextAu];
        out_pFrame->pData = pClip->pData + pAu->dwOffset;
        out_pFrame->dwLen = pAu->dwLen;
        out_pFrame->iFrameType = pAu->iFrameType;
        inout_pSrc->dwNextAu = (inout_pSrc->dwNextAu + 1u) % pClip->dwAuNum;
    } else {
        PR_SynFrame(inout_pSrc, out_pFrame);
    }
    out_pFrame->dwSeq = inout_pSrc->dwSeq;
    out_pFrame->dwTimeStamp = (uint32_t)((uint64_t)inout_pSrc->dwSeq * 1000u / (uint32_t)inout_pSrc->iFrameRate);
    inout_pSrc->dwSeq++;
    return 1;
}

void VXQ_F_SIMH264_SourceRewind(_VXQ_S_SIMH264_SOURCE *inout_pSrc)
{
    if (inout_pSrc == NULL)
        return;
    if (inout_pSrc->pClip)
        inout_pSrc->dwNextAu = PR_FirstIAu(inout_pSrc->pClip);
}
