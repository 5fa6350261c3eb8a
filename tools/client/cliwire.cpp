/* cliwire.cpp - head, little-endian fields, times, digest, result texts, frame media head. */
#include "cliwire.h"

#include "vxq_digest.h"

#include <stdio.h>
#include <string.h>

void VXQ_F_CLI_PutU16(uint8_t *out_pDst, uint16_t in_usValue)
{
    out_pDst[0] = (uint8_t)(in_usValue & 0xFF);
    out_pDst[1] = (uint8_t)(in_usValue >> 8);
}

void VXQ_F_CLI_PutU32(uint8_t *out_pDst, uint32_t in_dwValue)
{
    for (int i = 0; i < 4; i++)
        out_pDst[i] = (uint8_t)(in_dwValue >> (8 * i));
}

uint16_t VXQ_F_CLI_GetU16(const uint8_t *in_pSrc)
{
    return (uint16_t)(in_pSrc[0] | (in_pSrc[1] << 8));
}

uint32_t VXQ_F_CLI_GetU32(const uint8_t *in_pSrc)
{
    return (uint32_t)in_pSrc[0] | ((uint32_t)in_pSrc[1] << 8) | ((uint32_t)in_pSrc[2] << 16) |
           ((uint32_t)in_pSrc[3] << 24);
}

void VXQ_F_CLI_PutText(uint8_t *out_pDst, size_t in_iSize, const std::string &in_sText)
{
    if (in_iSize == 0)
        return;
    memset(out_pDst, 0, in_iSize);
    size_t iLen = in_sText.size() < in_iSize - 1 ? in_sText.size() : in_iSize - 1;
    memcpy(out_pDst, in_sText.data(), iLen);
}

std::string VXQ_F_CLI_GetText(const uint8_t *in_pSrc, size_t in_iSize)
{
    size_t iLen = 0;
    while (iLen < in_iSize && in_pSrc[iLen] != 0)
        iLen++;
    return std::string((const char *)in_pSrc, iLen);
}

std::vector<uint8_t> VXQ_F_CLI_BuildMsg(uint16_t in_usFuncId, uint8_t in_ucTypeByte, uint32_t in_dwTransNo,
                                        const void *in_pBody, size_t in_iBodyLen)
{
    std::vector<uint8_t> tMsg(VXQ_CLI_HEAD_LEN + in_iBodyLen, 0);
    VXQ_F_CLI_PutU32(&tMsg[0], VXQ_CLI_PACKET_FLAG);
    VXQ_F_CLI_PutU32(&tMsg[4], (uint32_t)tMsg.size());
    VXQ_F_CLI_PutU16(&tMsg[8], in_usFuncId);
    tMsg[10] = in_ucTypeByte;
    VXQ_F_CLI_PutU32(&tMsg[12], in_dwTransNo);
    if (in_pBody && in_iBodyLen)
        memcpy(&tMsg[VXQ_CLI_HEAD_LEN], in_pBody, in_iBodyLen);
    return tMsg;
}

int VXQ_F_CLI_ParseHead(const uint8_t *in_pMsg, size_t in_iLen, _VXQ_S_CLI_HEAD *out_ptHead)
{
    if (in_pMsg == nullptr || in_iLen < VXQ_CLI_HEAD_LEN || out_ptHead == nullptr)
        return 0;
    out_ptHead->dwPacketFlag = VXQ_F_CLI_GetU32(in_pMsg);
    out_ptHead->dwPacketSize = VXQ_F_CLI_GetU32(in_pMsg + 4);
    out_ptHead->usMsgFuncId = VXQ_F_CLI_GetU16(in_pMsg + 8);
    out_ptHead->ucTypeByte = in_pMsg[10];
    out_ptHead->ucPacketType = (uint8_t)(in_pMsg[10] & 0x03);
    out_ptHead->ucResult = in_pMsg[11];
    out_ptHead->dwTransNo = VXQ_F_CLI_GetU32(in_pMsg + 12);
    memcpy(out_ptHead->ucReserved, in_pMsg + 16, 4);
    return 1;
}

std::string VXQ_F_CLI_LoginDigest(const std::string &in_sToken, const std::string &in_sPassword)
{
    std::string sText = in_sToken + ":" + in_sPassword;
    char sHex[33] = {0};
    VXQ_TOOLS_MD5_EncodeString(sHex, sText.c_str());
    return std::string(sHex);
}

/* UMSP result codes with a fixed text, as the device names them. */
static const struct {
    uint8_t ucCode;
    const char *sText;
} s_tResultTexts[] = {
    {0, "Success"},
    {1, "Device service failure"},
    {2, "Param error"},
    {3, "User name error"},
    {4, "Password error"},
    {5, "Without permission"},
    {6, "Not login"},
    {7, "Talking"},
    {8, "Query file fail"},
    {9, "No subscribe"},
    {10, "Resource used"},
    {11, "Resource not open"},
    {12, "Resource no idle"},
    {13, "Resource no exist"},
    {14, "Resource open fail"},
    {15, "File operation fail"},
    {40, "Not support operate"},
    {41, "Ban modify"},
    {42, "Message function error"},
    {43, "Id error"},
    {50, "Open stream fail"},
    {51, "Not support sub stream"},
    {52, "Not support ptz"},
    {53, "Not support force i frame"},
    {54, "Not support talk"},
    {55, "Channel no error"},
    {56, "Sub stream no error"},
    {57, "Start talk fail"},
    {99, "Other"},
    {200, "Success and restart"},
};

std::string VXQ_F_CLI_ResultText(uint8_t in_ucResult)
{
    for (size_t i = 0; i < sizeof(s_tResultTexts) / sizeof(s_tResultTexts[0]); i++)
        if (s_tResultTexts[i].ucCode == in_ucResult)
            return s_tResultTexts[i].sText;
    char sText[48];
    if (in_ucResult >= 150 && in_ucResult <= 179)
        snprintf(sText, sizeof(sText), "Custom error: %d", in_ucResult);
    else
        snprintf(sText, sizeof(sText), "Unknown result: %d", in_ucResult);
    return sText;
}

void VXQ_F_CLI_PutTime(uint8_t *out_pDst, const _VXQ_S_CLI_TIME *in_ptTime)
{
    memset(out_pDst, 0, 12);
    VXQ_F_CLI_PutU16(out_pDst, in_ptTime->usYear);
    VXQ_F_CLI_PutU16(out_pDst + 2, in_ptTime->usMonth);
    out_pDst[4] = in_ptTime->ucDay;
    out_pDst[5] = in_ptTime->ucHour;
    out_pDst[6] = in_ptTime->ucMinute;
    out_pDst[7] = in_ptTime->ucSecond;
}

void VXQ_F_CLI_GetTime(const uint8_t *in_pSrc, _VXQ_S_CLI_TIME *out_ptTime)
{
    out_ptTime->usYear = VXQ_F_CLI_GetU16(in_pSrc);
    out_ptTime->usMonth = VXQ_F_CLI_GetU16(in_pSrc + 2);
    out_ptTime->ucDay = in_pSrc[4];
    out_ptTime->ucHour = in_pSrc[5];
    out_ptTime->ucMinute = in_pSrc[6];
    out_ptTime->ucSecond = in_pSrc[7];
}

/* Reads exactly in_iDigits decimal digits at *inout_ppText. */
static int PR_Digits(const char **inout_ppText, int in_iDigits, int *out_piValue)
{
    int iValue = 0;
    for (int i = 0; i < in_iDigits; i++) {
        char c = (*inout_ppText)[i];
        if (c < '0' || c > '9')
            return 0;
        iValue = iValue * 10 + (c - '0');
    }
    *inout_ppText += in_iDigits;
    *out_piValue = iValue;
    return 1;
}

int VXQ_F_CLI_ParseTimeText(const char *in_sText, _VXQ_S_CLI_TIME *out_ptTime)
{
    if (in_sText == nullptr || strlen(in_sText) != 19)
        return 0;
    const char *p = in_sText;
    int iYear, iMonth, iDay, iHour, iMinute, iSecond;
    if (!PR_Digits(&p, 4, &iYear) || *p++ != '-' || !PR_Digits(&p, 2, &iMonth) || *p++ != '-' ||
        !PR_Digits(&p, 2, &iDay) || (*p != ' ' && *p != 'T') || !PR_Digits(&++p, 2, &iHour) || *p++ != ':' ||
        !PR_Digits(&p, 2, &iMinute) || *p++ != ':' || !PR_Digits(&p, 2, &iSecond))
        return 0;
    static const int s_iDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (iYear < 1970 || iMonth < 1 || iMonth > 12 || iDay < 1 || iDay > s_iDays[iMonth - 1] || iHour > 23 ||
        iMinute > 59 || iSecond > 59)
        return 0;
    int bLeap = (iYear % 4 == 0 && iYear % 100 != 0) || iYear % 400 == 0;
    if (iMonth == 2 && iDay == 29 && !bLeap)
        return 0;
    out_ptTime->usYear = (uint16_t)iYear;
    out_ptTime->usMonth = (uint16_t)iMonth;
    out_ptTime->ucDay = (uint8_t)iDay;
    out_ptTime->ucHour = (uint8_t)iHour;
    out_ptTime->ucMinute = (uint8_t)iMinute;
    out_ptTime->ucSecond = (uint8_t)iSecond;
    return 1;
}

std::string VXQ_F_CLI_TimeText(const _VXQ_S_CLI_TIME *in_ptTime)
{
    char sText[40];
    snprintf(sText, sizeof(sText), "%04u-%02u-%02u %02u:%02u:%02u", in_ptTime->usYear, in_ptTime->usMonth,
             in_ptTime->ucDay, in_ptTime->ucHour, in_ptTime->ucMinute, in_ptTime->ucSecond);
    return sText;
}

int VXQ_F_CLI_ParseFrame(const uint8_t *in_pMsg, size_t in_iLen, _VXQ_S_CLI_MEDIA_HEAD *out_ptMedia)
{
    _VXQ_S_CLI_HEAD tHead;
    if (!VXQ_F_CLI_ParseHead(in_pMsg, in_iLen, &tHead) || in_iLen < VXQ_CLI_HEAD_LEN + 12 ||
        tHead.dwPacketSize != in_iLen ||
        (tHead.usMsgFuncId != VXQ_CLI_FN_VIDEO_FRAME && tHead.usMsgFuncId != VXQ_CLI_FN_AUDIO_FRAME))
        return 0;
    const uint8_t *m = in_pMsg + VXQ_CLI_HEAD_LEN;
    memset(out_ptMedia, 0, sizeof(*out_ptMedia));
    out_ptMedia->bVideo = tHead.usMsgFuncId == VXQ_CLI_FN_VIDEO_FRAME;
    out_ptMedia->ucCodecId = (uint8_t)(m[0] & 0x0F);
    if (out_ptMedia->bVideo) {
        out_ptMedia->ucFrameType = (uint8_t)(m[0] >> 4);
        out_ptMedia->usWidth = (uint16_t)(m[1] | ((m[2] & 0x0F) << 8));
        out_ptMedia->usHeight = (uint16_t)((m[2] >> 4) | (m[3] << 4));
        out_ptMedia->ucFrameRate = (uint8_t)(m[4] & 0x7F);
        out_ptMedia->usBitRate = (uint16_t)((m[4] >> 7) | (m[5] << 1) | ((m[6] & 0x3F) << 9));
    } else {
        out_ptMedia->dwSampleRate = (uint32_t)((m[0] >> 4) | (m[1] << 4) | ((m[2] & 0x0F) << 12));
        out_ptMedia->usBitRate = VXQ_F_CLI_GetU16(m + 4);
        out_ptMedia->ucChannels = (uint8_t)(m[6] & 0x03);
    }
    out_ptMedia->dwTimeStampMs = VXQ_F_CLI_GetU32(m + 8);
    out_ptMedia->pData = in_pMsg + VXQ_CLI_HEAD_LEN + 12;
    out_ptMedia->dwDataLen = (uint32_t)(in_iLen - VXQ_CLI_HEAD_LEN - 12);
    return 1;
}

std::vector<uint8_t> VXQ_F_CLI_BuildFrame(const _VXQ_S_CLI_MEDIA_HEAD *in_ptMedia)
{
    std::vector<uint8_t> tBody(12 + in_ptMedia->dwDataLen, 0);
    uint8_t *m = tBody.data();
    if (in_ptMedia->bVideo) {
        m[0] = (uint8_t)((in_ptMedia->ucCodecId & 0x0F) | ((in_ptMedia->ucFrameType & 0x0F) << 4));
        m[1] = (uint8_t)(in_ptMedia->usWidth & 0xFF);
        m[2] = (uint8_t)(((in_ptMedia->usWidth >> 8) & 0x0F) | ((in_ptMedia->usHeight & 0x0F) << 4));
        m[3] = (uint8_t)((in_ptMedia->usHeight >> 4) & 0xFF);
        m[4] = (uint8_t)((in_ptMedia->ucFrameRate & 0x7F) | ((in_ptMedia->usBitRate & 0x01) << 7));
        m[5] = (uint8_t)((in_ptMedia->usBitRate >> 1) & 0xFF);
        m[6] = (uint8_t)((in_ptMedia->usBitRate >> 9) & 0x3F);
    } else {
        m[0] = (uint8_t)((in_ptMedia->ucCodecId & 0x0F) | ((in_ptMedia->dwSampleRate & 0x0F) << 4));
        m[1] = (uint8_t)((in_ptMedia->dwSampleRate >> 4) & 0xFF);
        m[2] = (uint8_t)((in_ptMedia->dwSampleRate >> 12) & 0x0F);
        m[3] = 1;
        VXQ_F_CLI_PutU16(m + 4, in_ptMedia->usBitRate);
        m[6] = (uint8_t)(in_ptMedia->ucChannels & 0x03);
    }
    VXQ_F_CLI_PutU32(m + 8, in_ptMedia->dwTimeStampMs);
    if (in_ptMedia->dwDataLen)
        memcpy(m + 12, in_ptMedia->pData, in_ptMedia->dwDataLen);
    return VXQ_F_CLI_BuildMsg(in_ptMedia->bVideo ? VXQ_CLI_FN_VIDEO_FRAME : VXQ_CLI_FN_AUDIO_FRAME, 0, 0,
                              tBody.data(), tBody.size());
}
