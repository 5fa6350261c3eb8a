/* clibody.cpp - request builders and answer parsers at the body offsets of each message. */
#include "clibody.h"

#include <string.h>

#define B VXQ_CLI_HEAD_LEN /* body offset inside a whole message */

/* A zeroed message of in_iBodyLen body bytes. */
static std::vector<uint8_t> PR_Msg(uint16_t in_usFuncId, uint32_t in_dwTransNo, size_t in_iBodyLen)
{
    return VXQ_F_CLI_BuildMsg(in_usFuncId, 0, in_dwTransNo, nullptr, in_iBodyLen);
}

/* Checks a received message: head, function id, size field equal to in_iLen,
 * at least in_iMinLen bytes. in_bAnswer 1 also requires the answer bit. */
static int PR_Check(const uint8_t *in_pMsg, size_t in_iLen, uint16_t in_usFuncId, size_t in_iMinLen, int in_bAnswer,
                    _VXQ_S_CLI_HEAD *out_ptHead)
{
    _VXQ_S_CLI_HEAD tHead;
    if (!VXQ_F_CLI_ParseHead(in_pMsg, in_iLen, &tHead) || tHead.dwPacketFlag != VXQ_CLI_PACKET_FLAG ||
        tHead.usMsgFuncId != in_usFuncId || tHead.dwPacketSize != in_iLen || in_iLen < in_iMinLen)
        return 0;
    if (in_bAnswer && tHead.ucPacketType != VXQ_CLI_PACKET_ANSWER)
        return 0;
    if (out_ptHead)
        *out_ptHead = tHead;
    return 1;
}

/* ---- session ---- */

std::vector<uint8_t> VXQ_F_CLI_BuildHeartbeat(uint32_t in_dwTransNo)
{
    return PR_Msg(VXQ_CLI_FN_HEARTBEAT, in_dwTransNo, 0);
}

std::vector<uint8_t> VXQ_F_CLI_BuildToken(uint32_t in_dwTransNo)
{
    return PR_Msg(VXQ_CLI_FN_GET_TOKEN, in_dwTransNo, VXQ_CLI_TOKEN_BODY_LEN);
}

std::vector<uint8_t> VXQ_F_CLI_BuildLogin(uint32_t in_dwTransNo, const std::string &in_sUser,
                                          const std::string &in_sDigest)
{
    std::vector<uint8_t> tMsg = PR_Msg(VXQ_CLI_FN_LOGIN, in_dwTransNo, VXQ_CLI_LOGIN_BODY_LEN);
    VXQ_F_CLI_PutText(&tMsg[B], 32, in_sUser);
    VXQ_F_CLI_PutText(&tMsg[B + 32], 256, in_sDigest);
    return tMsg;
}

std::vector<uint8_t> VXQ_F_CLI_BuildLogout(uint32_t in_dwTransNo)
{
    return PR_Msg(VXQ_CLI_FN_LOGOUT, in_dwTransNo, 4);
}

std::vector<uint8_t> VXQ_F_CLI_BuildClaim(uint32_t in_dwTransNo, uint32_t in_dwClaimId)
{
    std::vector<uint8_t> tMsg = PR_Msg(VXQ_CLI_FN_CLAIM, in_dwTransNo, 12);
    VXQ_F_CLI_PutU32(&tMsg[B + 4], in_dwClaimId);
    return tMsg;
}

int VXQ_F_CLI_ParseToken(const uint8_t *in_pMsg, size_t in_iLen, std::string *out_psToken, uint8_t *out_pucPwdMode)
{
    _VXQ_S_CLI_HEAD tHead;
    if (!PR_Check(in_pMsg, in_iLen, VXQ_CLI_FN_GET_TOKEN, B + VXQ_CLI_TOKEN_BODY_LEN, 1, &tHead))
        return 0;
    if (out_psToken)
        *out_psToken = tHead.ucResult == 0 ? VXQ_F_CLI_GetText(in_pMsg + B + 28, 60) : std::string();
    if (out_pucPwdMode)
        *out_pucPwdMode = in_pMsg[B + 88];
    return 1;
}

int VXQ_F_CLI_ParseLogin(const uint8_t *in_pMsg, size_t in_iLen, _VXQ_S_CLI_LOGIN_INFO *out_ptInfo)
{
    if (!PR_Check(in_pMsg, in_iLen, VXQ_CLI_FN_LOGIN, B + VXQ_CLI_LOGIN_BODY_LEN, 1, nullptr))
        return 0;
    const uint8_t *b = in_pMsg + B;
    out_ptInfo->dwLoginId = VXQ_F_CLI_GetU32(b + 288);
    out_ptInfo->sDevIdText = VXQ_F_CLI_GetText(b + 292, 9);
    out_ptInfo->sDevText1 = VXQ_F_CLI_GetText(b + 336, 32);
    out_ptInfo->sDevText2 = VXQ_F_CLI_GetText(b + 368, 32);
    out_ptInfo->bSpecialChFlag = b[492];
    out_ptInfo->ucDevCapValue5 = b[493];
    out_ptInfo->iVideoChanNum = (int32_t)VXQ_F_CLI_GetU32(b + 500);
    out_ptInfo->iAudioChanNum = (int32_t)VXQ_F_CLI_GetU32(b + 504);
    out_ptInfo->iDevCapValue1 = (int32_t)VXQ_F_CLI_GetU32(b + 508);
    out_ptInfo->iDevCapValue2 = (int32_t)VXQ_F_CLI_GetU32(b + 512);
    out_ptInfo->iDevCapValue3 = (int32_t)VXQ_F_CLI_GetU32(b + 516);
    return 1;
}

/* ---- live view ---- */

std::vector<uint8_t> VXQ_F_CLI_BuildExRealplayOpen(uint32_t in_dwTransNo, uint32_t in_dwLoginId, uint16_t in_usChNo,
                                                   uint16_t in_usStreamNo, uint32_t in_dwClaimId)
{
    std::vector<uint8_t> tMsg = PR_Msg(VXQ_CLI_FN_EX_REALPLAY_OPEN, in_dwTransNo, 16);
    VXQ_F_CLI_PutU32(&tMsg[B], in_dwLoginId);
    VXQ_F_CLI_PutU16(&tMsg[B + 4], in_usChNo);
    VXQ_F_CLI_PutU16(&tMsg[B + 6], in_usStreamNo);
    VXQ_F_CLI_PutU32(&tMsg[B + 8], in_dwClaimId);
    return tMsg;
}

int VXQ_F_CLI_ParseExRealplayOpen(const uint8_t *in_pMsg, size_t in_iLen, uint32_t *out_pdwMediaConnId)
{
    if (!PR_Check(in_pMsg, in_iLen, VXQ_CLI_FN_EX_REALPLAY_OPEN, B + 16, 1, nullptr))
        return 0;
    *out_pdwMediaConnId = VXQ_F_CLI_GetU32(in_pMsg + B + 12);
    return 1;
}

std::vector<uint8_t> VXQ_F_CLI_BuildExRealplayClose(uint32_t in_dwTransNo, uint32_t in_dwLoginId,
                                                    uint32_t in_dwMediaConnId)
{
    std::vector<uint8_t> tMsg = PR_Msg(VXQ_CLI_FN_EX_REALPLAY_CLOSE, in_dwTransNo, 8);
    VXQ_F_CLI_PutU32(&tMsg[B], in_dwLoginId);
    VXQ_F_CLI_PutU32(&tMsg[B + 4], in_dwMediaConnId);
    return tMsg;
}

std::vector<uint8_t> VXQ_F_CLI_BuildCtrlStream(uint32_t in_dwTransNo, uint32_t in_dwLoginId, uint32_t in_dwMediaConnId,
                                               int32_t in_iMediaType, int32_t in_iCtrlCode)
{
    std::vector<uint8_t> tMsg = PR_Msg(VXQ_CLI_FN_CTRL_STREAM, in_dwTransNo, 16);
    VXQ_F_CLI_PutU32(&tMsg[B], in_dwLoginId);
    VXQ_F_CLI_PutU32(&tMsg[B + 4], in_dwMediaConnId);
    VXQ_F_CLI_PutU32(&tMsg[B + 8], (uint32_t)in_iMediaType);
    VXQ_F_CLI_PutU32(&tMsg[B + 12], (uint32_t)in_iCtrlCode);
    return tMsg;
}

std::vector<uint8_t> VXQ_F_CLI_BuildPtz(uint32_t in_dwTransNo, uint32_t in_dwLoginId, uint32_t in_dwChNo,
                                        uint32_t in_dwCmd, uint32_t in_dwData, uint32_t in_dwExt1, uint32_t in_dwExt2)
{
    std::vector<uint8_t> tMsg = PR_Msg(VXQ_CLI_FN_PTZ, in_dwTransNo, 24);
    const uint32_t dwField[6] = {in_dwLoginId, in_dwChNo, in_dwCmd, in_dwData, in_dwExt1, in_dwExt2};
    for (int i = 0; i < 6; i++)
        VXQ_F_CLI_PutU32(&tMsg[B + 4 * i], dwField[i]);
    return tMsg;
}

std::vector<uint8_t> VXQ_F_CLI_BuildForceIFrame(uint32_t in_dwTransNo, uint32_t in_dwChNo, uint16_t in_usStreamNo)
{
    std::vector<uint8_t> tMsg = PR_Msg(VXQ_CLI_FN_FORCE_I_FRAME, in_dwTransNo, 10);
    VXQ_F_CLI_PutU32(&tMsg[B + 4], in_dwChNo);
    VXQ_F_CLI_PutU16(&tMsg[B + 8], in_usStreamNo);
    return tMsg;
}

std::vector<uint8_t> VXQ_F_CLI_BuildQuality(uint16_t in_usFuncId, uint32_t in_dwTransNo, uint32_t in_dwLoginId,
                                            uint16_t in_usChNo, uint16_t in_usStreamNo, uint32_t in_dwLevel)
{
    size_t iBody = in_usFuncId == VXQ_CLI_FN_QUALITY_CAP ? 12 + 8 * 28 : 12;
    std::vector<uint8_t> tMsg = PR_Msg(in_usFuncId, in_dwTransNo, iBody);
    VXQ_F_CLI_PutU32(&tMsg[B], in_dwLoginId);
    VXQ_F_CLI_PutU16(&tMsg[B + 4], in_usChNo);
    VXQ_F_CLI_PutU16(&tMsg[B + 6], in_usStreamNo);
    if (in_usFuncId == VXQ_CLI_FN_QUALITY_SET)
        VXQ_F_CLI_PutU32(&tMsg[B + 8], in_dwLevel);
    return tMsg;
}

int VXQ_F_CLI_ParseQualityLevel(const uint8_t *in_pMsg, size_t in_iLen, uint32_t *out_pdwLevel)
{
    if (!PR_Check(in_pMsg, in_iLen, VXQ_CLI_FN_QUALITY_GET, B + 12, 1, nullptr))
        return 0;
    *out_pdwLevel = VXQ_F_CLI_GetU32(in_pMsg + B + 8);
    return 1;
}

int VXQ_F_CLI_ParseQualityCap(const uint8_t *in_pMsg, size_t in_iLen, std::vector<_VXQ_S_CLI_QUALITY_CAP> *out_ptCaps)
{
    if (!PR_Check(in_pMsg, in_iLen, VXQ_CLI_FN_QUALITY_CAP, B + 12 + 8 * 28, 1, nullptr))
        return 0;
    int32_t iNum = (int32_t)VXQ_F_CLI_GetU32(in_pMsg + B + 8);
    if (iNum < 0 || iNum > 8)
        return 0;
    out_ptCaps->clear();
    for (int32_t i = 0; i < iNum; i++) {
        const uint8_t *e = in_pMsg + B + 12 + 28 * i;
        _VXQ_S_CLI_QUALITY_CAP tCap;
        tCap.sName = VXQ_F_CLI_GetText(e, 16);
        tCap.dwValue = VXQ_F_CLI_GetU32(e + 16);
        for (int k = 0; k < 4; k++)
            tCap.usValue[k] = VXQ_F_CLI_GetU16(e + 20 + 2 * k);
        out_ptCaps->push_back(tCap);
    }
    return 1;
}

/* ---- records ---- */

std::vector<uint8_t> VXQ_F_CLI_BuildQueryFile(uint32_t in_dwTransNo, uint32_t in_dwLoginId, int32_t in_iChNo,
                                              int32_t in_iFileType, const _VXQ_S_CLI_TIME *in_ptFrom,
                                              const _VXQ_S_CLI_TIME *in_ptTo)
{
    std::vector<uint8_t> tMsg = PR_Msg(VXQ_CLI_FN_QUERY_FILE, in_dwTransNo, 48);
    VXQ_F_CLI_PutU32(&tMsg[B], in_dwLoginId);
    VXQ_F_CLI_PutU32(&tMsg[B + 4], (uint32_t)in_iChNo);
    VXQ_F_CLI_PutU32(&tMsg[B + 8], (uint32_t)in_iFileType);
    VXQ_F_CLI_PutTime(&tMsg[B + 20], in_ptFrom);
    VXQ_F_CLI_PutTime(&tMsg[B + 32], in_ptTo);
    return tMsg;
}

void VXQ_F_CLI_ParseFileInfo(const uint8_t *in_pSrc, _VXQ_S_CLI_FILE_INFO *out_ptInfo)
{
    out_ptInfo->sFileFlag = VXQ_F_CLI_GetText(in_pSrc, 128);
    out_ptInfo->iFileType = (int32_t)VXQ_F_CLI_GetU32(in_pSrc + 128);
    out_ptInfo->iCreateMode = (int32_t)VXQ_F_CLI_GetU32(in_pSrc + 132);
    out_ptInfo->iAlarmEvent = (int32_t)VXQ_F_CLI_GetU32(in_pSrc + 136);
    VXQ_F_CLI_GetTime(in_pSrc + 140, &out_ptInfo->tStartTime);
    VXQ_F_CLI_GetTime(in_pSrc + 152, &out_ptInfo->tEndTime);
    out_ptInfo->dwFileTimeLen = VXQ_F_CLI_GetU32(in_pSrc + 164);
    out_ptInfo->dwFileSize = VXQ_F_CLI_GetU32(in_pSrc + 168);
    out_ptInfo->bVideoFlag = (int32_t)VXQ_F_CLI_GetU32(in_pSrc + 172);
    out_ptInfo->bAudioFlag = (int32_t)VXQ_F_CLI_GetU32(in_pSrc + 176);
    out_ptInfo->iVideoCodecId = (int32_t)VXQ_F_CLI_GetU32(in_pSrc + 184);
    out_ptInfo->iVideoFrameRate = (int32_t)VXQ_F_CLI_GetU32(in_pSrc + 188);
    out_ptInfo->iVideoBitRate = (int32_t)VXQ_F_CLI_GetU32(in_pSrc + 192);
    out_ptInfo->usVideoWidth = VXQ_F_CLI_GetU16(in_pSrc + 196);
    out_ptInfo->usVideoHeight = VXQ_F_CLI_GetU16(in_pSrc + 198);
}

int VXQ_F_CLI_ParseQueryFile(const uint8_t *in_pMsg, size_t in_iLen, std::vector<_VXQ_S_CLI_FILE_INFO> *out_ptFiles)
{
    _VXQ_S_CLI_HEAD tHead;
    if (!PR_Check(in_pMsg, in_iLen, VXQ_CLI_FN_QUERY_FILE, B + 48, 1, &tHead))
        return 0;
    out_ptFiles->clear();
    int32_t iNum = (int32_t)VXQ_F_CLI_GetU32(in_pMsg + B + 44);
    if (iNum < 0 || (size_t)iNum != (in_iLen - B - 48) / VXQ_CLI_FILE_INFO_LEN ||
        (in_iLen - B - 48) % VXQ_CLI_FILE_INFO_LEN != 0)
        return 0;
    for (int32_t i = 0; i < iNum; i++) {
        _VXQ_S_CLI_FILE_INFO tInfo;
        VXQ_F_CLI_ParseFileInfo(in_pMsg + B + 48 + VXQ_CLI_FILE_INFO_LEN * (size_t)i, &tInfo);
        out_ptFiles->push_back(tInfo);
    }
    return 1;
}

std::vector<uint8_t> VXQ_F_CLI_BuildDownloadOpen(uint32_t in_dwTransNo, uint32_t in_dwLoginId,
                                                 const std::string &in_sFileFlag)
{
    std::vector<uint8_t> tMsg = PR_Msg(VXQ_CLI_FN_DOWNLOAD_OPEN, in_dwTransNo, 364);
    VXQ_F_CLI_PutU32(&tMsg[B], in_dwLoginId);
    VXQ_F_CLI_PutText(&tMsg[B + 4], 128, in_sFileFlag);
    return tMsg;
}

std::vector<uint8_t> VXQ_F_CLI_BuildDownloadOpenByTime(uint32_t in_dwTransNo, uint32_t in_dwLoginId, int32_t in_iChNo,
                                                       const _VXQ_S_CLI_TIME *in_ptFrom, const _VXQ_S_CLI_TIME *in_ptTo)
{
    std::vector<uint8_t> tMsg = PR_Msg(VXQ_CLI_FN_DOWNLOAD_OPEN_BY_TIME, in_dwTransNo, 288);
    VXQ_F_CLI_PutU32(&tMsg[B], in_dwLoginId);
    VXQ_F_CLI_PutU32(&tMsg[B + 4], (uint32_t)in_iChNo);
    VXQ_F_CLI_PutTime(&tMsg[B + 40], in_ptFrom);
    VXQ_F_CLI_PutTime(&tMsg[B + 52], in_ptTo);
    return tMsg;
}

int VXQ_F_CLI_ParseDownloadOpen(const uint8_t *in_pMsg, size_t in_iLen, uint32_t *out_pdwReadId,
                                _VXQ_S_CLI_FILE_INFO *out_ptInfo)
{
    size_t iOff;
    if (PR_Check(in_pMsg, in_iLen, VXQ_CLI_FN_DOWNLOAD_OPEN, B + 364, 1, nullptr))
        iOff = 140;
    else if (PR_Check(in_pMsg, in_iLen, VXQ_CLI_FN_DOWNLOAD_OPEN_BY_TIME, B + 288, 1, nullptr))
        iOff = 64;
    else
        return 0;
    *out_pdwReadId = VXQ_F_CLI_GetU32(in_pMsg + B + iOff);
    if (out_ptInfo)
        VXQ_F_CLI_ParseFileInfo(in_pMsg + B + iOff + 4, out_ptInfo);
    return 1;
}

std::vector<uint8_t> VXQ_F_CLI_BuildDownloadGet(uint32_t in_dwTransNo, uint32_t in_dwLoginId, uint32_t in_dwReadId,
                                                uint32_t in_dwRequId, uint8_t in_ucReqDataType,
                                                uint8_t in_ucReqDataSize)
{
    std::vector<uint8_t> tMsg = PR_Msg(VXQ_CLI_FN_DOWNLOAD_GET, in_dwTransNo, 44);
    VXQ_F_CLI_PutU32(&tMsg[B], in_dwLoginId);
    VXQ_F_CLI_PutU32(&tMsg[B + 4], in_dwReadId);
    VXQ_F_CLI_PutU32(&tMsg[B + 8], in_dwRequId);
    tMsg[B + 12] = in_ucReqDataType;
    tMsg[B + 13] = in_ucReqDataSize;
    return tMsg;
}

int VXQ_F_CLI_ParseDownloadGet(const uint8_t *in_pMsg, size_t in_iLen, _VXQ_S_CLI_FILE_PIECE *out_ptPiece)
{
    if (!PR_Check(in_pMsg, in_iLen, VXQ_CLI_FN_DOWNLOAD_GET, B + 44, 1, nullptr))
        return 0;
    const uint8_t *b = in_pMsg + B;
    uint32_t dwDataLen = VXQ_F_CLI_GetU32(b + 40);
    if (dwDataLen != in_iLen - B - 44)
        return 0;
    out_ptPiece->dwRequId = VXQ_F_CLI_GetU32(b + 8);
    out_ptPiece->ucRetDataType = b[14];
    out_ptPiece->ucFrameType = (uint8_t)(b[15] & 0x0F);
    out_ptPiece->ucDataEnd = (uint8_t)((b[15] >> 4) & 0x03);
    out_ptPiece->ucCodecId = b[16];
    out_ptPiece->ucFrameRate = b[17];
    out_ptPiece->dwOffsetDataPos = VXQ_F_CLI_GetU32(b + 20);
    out_ptPiece->dwOffsetTimePos = VXQ_F_CLI_GetU32(b + 24);
    VXQ_F_CLI_GetTime(b + 28, &out_ptPiece->tDataTime);
    out_ptPiece->pData = b + 44;
    out_ptPiece->dwDataLen = dwDataLen;
    return 1;
}

std::vector<uint8_t> VXQ_F_CLI_BuildDownloadClose(uint32_t in_dwTransNo, uint32_t in_dwLoginId, uint32_t in_dwReadId)
{
    std::vector<uint8_t> tMsg = PR_Msg(VXQ_CLI_FN_DOWNLOAD_CLOSE, in_dwTransNo, 8);
    VXQ_F_CLI_PutU32(&tMsg[B], in_dwLoginId);
    VXQ_F_CLI_PutU32(&tMsg[B + 4], in_dwReadId);
    return tMsg;
}

/* ---- talk and alarms ---- */

std::vector<uint8_t> VXQ_F_CLI_BuildTalk(uint16_t in_usFuncId, uint32_t in_dwTransNo, uint32_t in_dwLoginId,
                                         int32_t in_iTalkChNo)
{
    std::vector<uint8_t> tMsg = PR_Msg(in_usFuncId, in_dwTransNo, 8);
    VXQ_F_CLI_PutU32(&tMsg[B], in_dwLoginId);
    VXQ_F_CLI_PutU32(&tMsg[B + 4], (uint32_t)in_iTalkChNo);
    return tMsg;
}

int VXQ_F_CLI_ParseTalkStart(const uint8_t *in_pMsg, size_t in_iLen, int32_t out_piAudio[4])
{
    if (!PR_Check(in_pMsg, in_iLen, VXQ_CLI_FN_TALK_START, B + 24, 1, nullptr))
        return 0;
    for (int i = 0; i < 4; i++)
        out_piAudio[i] = (int32_t)VXQ_F_CLI_GetU32(in_pMsg + B + 8 + 4 * i);
    return 1;
}

std::vector<uint8_t> VXQ_F_CLI_BuildTalkAudio(const uint8_t *in_pData, size_t in_iLen)
{
    std::vector<uint8_t> tMsg = PR_Msg(VXQ_CLI_FN_AUDIO_FRAME, 0, 12 + in_iLen);
    if (in_iLen)
        memcpy(&tMsg[B + 12], in_pData, in_iLen);
    return tMsg;
}

std::vector<uint8_t> VXQ_F_CLI_BuildGuard(uint16_t in_usFuncId, uint32_t in_dwTransNo, uint32_t in_dwLoginId)
{
    std::vector<uint8_t> tMsg = PR_Msg(in_usFuncId, in_dwTransNo, 4);
    VXQ_F_CLI_PutU32(&tMsg[B], in_dwLoginId);
    return tMsg;
}

int VXQ_F_CLI_ParseAlarm(const uint8_t *in_pMsg, size_t in_iLen, _VXQ_S_CLI_ALARM *out_ptAlarm)
{
    const uint8_t *b = in_pMsg + B;
    if (PR_Check(in_pMsg, in_iLen, VXQ_CLI_FN_ALARM, 172, 0, nullptr)) {
        out_ptAlarm->bExtended = 0;
        out_ptAlarm->sAlarmId.clear();
        out_ptAlarm->iChNo = (int32_t)VXQ_F_CLI_GetU32(b);
        out_ptAlarm->iAlarmEvent = (int32_t)VXQ_F_CLI_GetU32(b + 4);
        VXQ_F_CLI_GetTime(b + 8, &out_ptAlarm->tAlarmTime);
        out_ptAlarm->dwAlarmParam = VXQ_F_CLI_GetU32(b + 20);
        out_ptAlarm->sAlarmMsg = VXQ_F_CLI_GetText(b + 24, 128);
        return 1;
    }
    if (PR_Check(in_pMsg, in_iLen, VXQ_CLI_FN_EX_ALARM, 200, 0, nullptr)) {
        out_ptAlarm->bExtended = 1;
        out_ptAlarm->sAlarmId = VXQ_F_CLI_GetText(b, 32);
        out_ptAlarm->iChNo = (int32_t)VXQ_F_CLI_GetU32(b + 32);
        VXQ_F_CLI_GetTime(b + 36, &out_ptAlarm->tAlarmTime);
        out_ptAlarm->iAlarmEvent = (int32_t)VXQ_F_CLI_GetU32(b + 48);
        out_ptAlarm->dwAlarmParam = 0;
        out_ptAlarm->sAlarmMsg = VXQ_F_CLI_GetText(b + 52, 128);
        return 1;
    }
    return 0;
}

/* ---- configuration, network and users ---- */

std::vector<uint8_t> VXQ_F_CLI_BuildConfig(uint16_t in_usFuncId, uint32_t in_dwTransNo, uint32_t in_dwLoginId,
                                           int32_t in_iConfigId, const std::vector<uint8_t> &in_tData)
{
    std::vector<uint8_t> tMsg = PR_Msg(in_usFuncId, in_dwTransNo, 12 + in_tData.size());
    VXQ_F_CLI_PutU32(&tMsg[B], in_dwLoginId);
    VXQ_F_CLI_PutU32(&tMsg[B + 4], (uint32_t)in_iConfigId);
    VXQ_F_CLI_PutU32(&tMsg[B + 8], (uint32_t)in_tData.size());
    if (!in_tData.empty())
        memcpy(&tMsg[B + 12], in_tData.data(), in_tData.size());
    return tMsg;
}

std::vector<uint8_t> VXQ_F_CLI_BuildGetDefConfig(uint32_t in_dwTransNo, uint32_t in_dwLoginId, int32_t in_iConfigId,
                                                 uint32_t in_dwParam)
{
    std::vector<uint8_t> tMsg = PR_Msg(VXQ_CLI_FN_GET_DEF_CONFIG, in_dwTransNo, 16);
    VXQ_F_CLI_PutU32(&tMsg[B], in_dwLoginId);
    VXQ_F_CLI_PutU32(&tMsg[B + 4], (uint32_t)in_iConfigId);
    VXQ_F_CLI_PutU32(&tMsg[B + 8], in_dwParam);
    return tMsg;
}

std::vector<uint8_t> VXQ_F_CLI_BuildImportConfig(uint32_t in_dwTransNo, uint32_t in_dwLoginId,
                                                 const std::vector<uint8_t> &in_tData)
{
    std::vector<uint8_t> tMsg = PR_Msg(VXQ_CLI_FN_IMP_CONFIG, in_dwTransNo, 8 + in_tData.size());
    VXQ_F_CLI_PutU32(&tMsg[B], in_dwLoginId);
    VXQ_F_CLI_PutU32(&tMsg[B + 4], (uint32_t)in_tData.size());
    if (!in_tData.empty())
        memcpy(&tMsg[B + 8], in_tData.data(), in_tData.size());
    return tMsg;
}

std::vector<uint8_t> VXQ_F_CLI_BuildExportConfig(uint32_t in_dwTransNo, uint32_t in_dwLoginId)
{
    std::vector<uint8_t> tMsg = PR_Msg(VXQ_CLI_FN_EXP_CONFIG, in_dwTransNo, 8);
    VXQ_F_CLI_PutU32(&tMsg[B], in_dwLoginId);
    return tMsg;
}

/* Answers that carry "length at body in_iLenOff, data at body in_iLenOff + 4". */
static int PR_LengthData(const uint8_t *in_pMsg, size_t in_iLen, uint16_t in_usFuncId, size_t in_iLenOff,
                         std::vector<uint8_t> *out_ptData)
{
    size_t iDataOff = B + in_iLenOff + 4;
    if (!PR_Check(in_pMsg, in_iLen, in_usFuncId, iDataOff, 1, nullptr))
        return 0;
    uint32_t dwLen = VXQ_F_CLI_GetU32(in_pMsg + B + in_iLenOff);
    if (dwLen != in_iLen - iDataOff)
        return 0;
    out_ptData->assign(in_pMsg + iDataOff, in_pMsg + in_iLen);
    return 1;
}

int VXQ_F_CLI_ParseConfigData(const uint8_t *in_pMsg, size_t in_iLen, std::vector<uint8_t> *out_ptData)
{
    _VXQ_S_CLI_HEAD tHead;
    if (!VXQ_F_CLI_ParseHead(in_pMsg, in_iLen, &tHead))
        return 0;
    switch (tHead.usMsgFuncId) {
    case VXQ_CLI_FN_GET_CONFIG:
        return PR_LengthData(in_pMsg, in_iLen, VXQ_CLI_FN_GET_CONFIG, 8, out_ptData);
    case VXQ_CLI_FN_GET_DEF_CONFIG:
        return PR_LengthData(in_pMsg, in_iLen, VXQ_CLI_FN_GET_DEF_CONFIG, 12, out_ptData);
    case VXQ_CLI_FN_EXP_CONFIG:
        return PR_LengthData(in_pMsg, in_iLen, VXQ_CLI_FN_EXP_CONFIG, 4, out_ptData);
    default:
        return 0;
    }
}

std::vector<uint8_t> VXQ_F_CLI_BuildQueryNetInfo(uint32_t in_dwTransNo)
{
    return PR_Msg(VXQ_CLI_FN_QUERY_NET_INFO, in_dwTransNo, 4);
}

int VXQ_F_CLI_ParseNetInfo(const uint8_t *in_pMsg, size_t in_iLen, std::vector<_VXQ_S_CLI_CARD_INFO> *out_ptCards)
{
    if (!PR_Check(in_pMsg, in_iLen, VXQ_CLI_FN_QUERY_NET_INFO, B + 4, 1, nullptr))
        return 0;
    out_ptCards->clear();
    uint32_t dwNum = VXQ_F_CLI_GetU32(in_pMsg + B);
    size_t iRest = in_iLen - B - 4;
    if (iRest == 0)
        return 1;
    if (iRest % VXQ_CLI_CARD_INFO_LEN != 0 || iRest / VXQ_CLI_CARD_INFO_LEN != dwNum)
        return 0;
    for (uint32_t i = 0; i < dwNum; i++) {
        const uint8_t *c = in_pMsg + B + 4 + VXQ_CLI_CARD_INFO_LEN * i;
        _VXQ_S_CLI_CARD_INFO tCard;
        tCard.sName = VXQ_F_CLI_GetText(c, 32);
        memcpy(tCard.ucMac, c + 32, 6);
        tCard.dwValue = VXQ_F_CLI_GetU32(c + 38);
        tCard.sAddr1 = VXQ_F_CLI_GetText(c + 42, 16);
        tCard.sAddr2 = VXQ_F_CLI_GetText(c + 58, 16);
        tCard.sAddr3 = VXQ_F_CLI_GetText(c + 74, 16);
        out_ptCards->push_back(tCard);
    }
    return 1;
}

std::vector<uint8_t> VXQ_F_CLI_BuildModifyPwd(uint32_t in_dwTransNo, const std::string &in_sUser,
                                              const std::string &in_sOld, const std::string &in_sNew)
{
    std::vector<uint8_t> tMsg = PR_Msg(VXQ_CLI_FN_MODIFY_PWD, in_dwTransNo, 96);
    VXQ_F_CLI_PutText(&tMsg[B], 32, in_sUser);
    VXQ_F_CLI_PutText(&tMsg[B + 32], 32, in_sOld);
    VXQ_F_CLI_PutText(&tMsg[B + 64], 32, in_sNew);
    return tMsg;
}

/* Writes the rights record (global, count, 64 words) at in_pDst; count clamped to 0..64. */
static void PR_PutPop(uint8_t *out_pDst, const _VXQ_S_CLI_USER_POP *in_ptPop)
{
    if (in_ptPop == nullptr)
        return;
    int32_t iNum = in_ptPop->iChPopNum < 0 ? 0 : in_ptPop->iChPopNum > 64 ? 64 : in_ptPop->iChPopNum;
    VXQ_F_CLI_PutU32(out_pDst, in_ptPop->dwGlobalPop);
    VXQ_F_CLI_PutU32(out_pDst + 4, (uint32_t)iNum);
    for (int32_t i = 0; i < iNum; i++)
        VXQ_F_CLI_PutU32(out_pDst + 8 + 4 * i, in_ptPop->dwChPop[i]);
}

std::vector<uint8_t> VXQ_F_CLI_BuildAddUser(uint32_t in_dwTransNo, uint32_t in_dwLoginId, const std::string &in_sUser,
                                            const std::string &in_sPassword, const _VXQ_S_CLI_USER_POP *in_ptPop)
{
    std::vector<uint8_t> tMsg = PR_Msg(VXQ_CLI_FN_ADD_USER, in_dwTransNo, 332);
    VXQ_F_CLI_PutU32(&tMsg[B], in_dwLoginId);
    VXQ_F_CLI_PutText(&tMsg[B + 4], 32, in_sUser);
    VXQ_F_CLI_PutText(&tMsg[B + 36], 32, in_sPassword);
    PR_PutPop(&tMsg[B + 68], in_ptPop);
    return tMsg;
}

std::vector<uint8_t> VXQ_F_CLI_BuildDelUser(uint32_t in_dwTransNo, uint32_t in_dwLoginId, const std::string &in_sUser)
{
    std::vector<uint8_t> tMsg = PR_Msg(VXQ_CLI_FN_DEL_USER, in_dwTransNo, 36);
    VXQ_F_CLI_PutU32(&tMsg[B], in_dwLoginId);
    VXQ_F_CLI_PutText(&tMsg[B + 4], 32, in_sUser);
    return tMsg;
}

std::vector<uint8_t> VXQ_F_CLI_BuildUserPop(uint16_t in_usFuncId, uint32_t in_dwTransNo, uint32_t in_dwLoginId,
                                            const std::string &in_sUser, const _VXQ_S_CLI_USER_POP *in_ptPop)
{
    std::vector<uint8_t> tMsg = PR_Msg(in_usFuncId, in_dwTransNo, 300);
    VXQ_F_CLI_PutU32(&tMsg[B], in_dwLoginId);
    VXQ_F_CLI_PutText(&tMsg[B + 4], 32, in_sUser);
    PR_PutPop(&tMsg[B + 36], in_ptPop);
    return tMsg;
}

int VXQ_F_CLI_ParseUserPop(const uint8_t *in_pMsg, size_t in_iLen, _VXQ_S_CLI_USER_POP *out_ptPop)
{
    if (!PR_Check(in_pMsg, in_iLen, VXQ_CLI_FN_GET_USER, B + 300, 1, nullptr))
        return 0;
    memset(out_ptPop, 0, sizeof(*out_ptPop));
    out_ptPop->dwGlobalPop = VXQ_F_CLI_GetU32(in_pMsg + B + 36);
    int32_t iNum = (int32_t)VXQ_F_CLI_GetU32(in_pMsg + B + 40);
    if (iNum < 0 || iNum > VXQ_CLI_MAX_CH_POP)
        return 0;
    out_ptPop->iChPopNum = iNum;
    for (int32_t i = 0; i < iNum; i++)
        out_ptPop->dwChPop[i] = VXQ_F_CLI_GetU32(in_pMsg + B + 44 + 4 * i);
    return 1;
}

/* ---- serial port ---- */

std::vector<uint8_t> VXQ_F_CLI_BuildComOpen(uint32_t in_dwTransNo, uint32_t in_dwLoginId, const uint32_t in_dwParam[6])
{
    std::vector<uint8_t> tMsg = PR_Msg(VXQ_CLI_FN_COM_OPEN, in_dwTransNo, 28);
    VXQ_F_CLI_PutU32(&tMsg[B], in_dwLoginId);
    for (int i = 0; i < 6; i++)
        VXQ_F_CLI_PutU32(&tMsg[B + 4 + 4 * i], in_dwParam[i]);
    return tMsg;
}

std::vector<uint8_t> VXQ_F_CLI_BuildComClose(uint32_t in_dwTransNo, uint32_t in_dwLoginId, uint32_t in_dwValue1,
                                             uint32_t in_dwValue2)
{
    std::vector<uint8_t> tMsg = PR_Msg(VXQ_CLI_FN_COM_CLOSE, in_dwTransNo, 12);
    VXQ_F_CLI_PutU32(&tMsg[B], in_dwLoginId);
    VXQ_F_CLI_PutU32(&tMsg[B + 4], in_dwValue1);
    VXQ_F_CLI_PutU32(&tMsg[B + 8], in_dwValue2);
    return tMsg;
}

std::vector<uint8_t> VXQ_F_CLI_BuildComSend(uint32_t in_dwTransNo, uint32_t in_dwLoginId, uint32_t in_dwValue1,
                                            uint32_t in_dwValue2, const std::vector<uint8_t> &in_tData)
{
    std::vector<uint8_t> tMsg = PR_Msg(VXQ_CLI_FN_COM_SEND, in_dwTransNo, 16 + in_tData.size());
    VXQ_F_CLI_PutU32(&tMsg[B], in_dwLoginId);
    VXQ_F_CLI_PutU32(&tMsg[B + 4], in_dwValue1);
    VXQ_F_CLI_PutU32(&tMsg[B + 8], in_dwValue2);
    VXQ_F_CLI_PutU32(&tMsg[B + 12], (uint32_t)in_tData.size());
    if (!in_tData.empty())
        memcpy(&tMsg[B + 16], in_tData.data(), in_tData.size());
    return tMsg;
}

int VXQ_F_CLI_ParseComData(const uint8_t *in_pMsg, size_t in_iLen, std::vector<uint8_t> *out_ptData)
{
    _VXQ_S_CLI_HEAD tHead;
    if (!PR_Check(in_pMsg, in_iLen, VXQ_CLI_FN_COM_DATA, B + 12, 0, &tHead) ||
        tHead.ucPacketType != VXQ_CLI_PACKET_REQUEST)
        return 0;
    uint32_t dwLen = VXQ_F_CLI_GetU32(in_pMsg + B + 8);
    if (dwLen != in_iLen - B - 12)
        return 0;
    out_ptData->assign(in_pMsg + B + 12, in_pMsg + in_iLen);
    return 1;
}

/* ---- custom, maintenance, upgrade ---- */

std::vector<uint8_t> VXQ_F_CLI_BuildCustom(uint32_t in_dwTransNo, uint32_t in_dwCustomId,
                                           const std::vector<uint8_t> &in_tData)
{
    std::vector<uint8_t> tMsg = PR_Msg(VXQ_CLI_FN_CUSTOM, in_dwTransNo, 8 + in_tData.size());
    VXQ_F_CLI_PutU32(&tMsg[B], in_dwCustomId);
    VXQ_F_CLI_PutU32(&tMsg[B + 4], (uint32_t)in_tData.size());
    if (!in_tData.empty())
        memcpy(&tMsg[B + 8], in_tData.data(), in_tData.size());
    return tMsg;
}

int VXQ_F_CLI_ParseCustom(const uint8_t *in_pMsg, size_t in_iLen, std::vector<uint8_t> *out_ptData)
{
    return PR_LengthData(in_pMsg, in_iLen, VXQ_CLI_FN_CUSTOM, 4, out_ptData);
}

std::vector<uint8_t> VXQ_F_CLI_BuildAbility(uint32_t in_dwTransNo, uint32_t in_dwLoginId, uint32_t in_dwKind)
{
    std::vector<uint8_t> tMsg = PR_Msg(VXQ_CLI_FN_ABILITY, in_dwTransNo, 12);
    VXQ_F_CLI_PutU32(&tMsg[B], in_dwLoginId);
    VXQ_F_CLI_PutU32(&tMsg[B + 4], in_dwKind);
    return tMsg;
}

int VXQ_F_CLI_ParseAbility(const uint8_t *in_pMsg, size_t in_iLen, std::string *out_psText)
{
    std::vector<uint8_t> tData;
    if (!PR_LengthData(in_pMsg, in_iLen, VXQ_CLI_FN_ABILITY, 8, &tData))
        return 0;
    *out_psText = VXQ_F_CLI_GetText(tData.data(), tData.size());
    return 1;
}

std::vector<uint8_t> VXQ_F_CLI_BuildMaint(uint16_t in_usFuncId, uint32_t in_dwTransNo, uint32_t in_dwLoginId)
{
    std::vector<uint8_t> tMsg = PR_Msg(in_usFuncId, in_dwTransNo, in_usFuncId == VXQ_CLI_FN_VERSION ? 28 : 4);
    VXQ_F_CLI_PutU32(&tMsg[B], in_dwLoginId);
    return tMsg;
}

int VXQ_F_CLI_ParseVersion(const uint8_t *in_pMsg, size_t in_iLen, uint16_t out_usShort[4], uint32_t out_dwLong[4])
{
    if (!PR_Check(in_pMsg, in_iLen, VXQ_CLI_FN_VERSION, B + 28, 1, nullptr))
        return 0;
    for (int i = 0; i < 4; i++) {
        out_usShort[i] = VXQ_F_CLI_GetU16(in_pMsg + B + 4 + 2 * i);
        out_dwLong[i] = VXQ_F_CLI_GetU32(in_pMsg + B + 12 + 4 * i);
    }
    return 1;
}

std::vector<uint8_t> VXQ_F_CLI_BuildRequUpgrade(uint32_t in_dwTransNo, uint32_t in_dwLoginId, uint16_t in_usValue1,
                                                uint16_t in_usValue2, uint32_t in_dwValue)
{
    std::vector<uint8_t> tMsg = PR_Msg(VXQ_CLI_FN_REQU_UPGRADE, in_dwTransNo, 16);
    VXQ_F_CLI_PutU32(&tMsg[B], in_dwLoginId);
    VXQ_F_CLI_PutU16(&tMsg[B + 4], in_usValue1);
    VXQ_F_CLI_PutU16(&tMsg[B + 6], in_usValue2);
    VXQ_F_CLI_PutU32(&tMsg[B + 8], in_dwValue);
    return tMsg;
}

std::vector<uint8_t> VXQ_F_CLI_BuildUpgradeQuery(uint16_t in_usFuncId, uint32_t in_dwTransNo, uint32_t in_dwParam)
{
    std::vector<uint8_t> tMsg = PR_Msg(in_usFuncId, in_dwTransNo, 8);
    VXQ_F_CLI_PutU32(&tMsg[B], in_dwParam);
    return tMsg;
}

int VXQ_F_CLI_ParseUpgradeValue(const uint8_t *in_pMsg, size_t in_iLen, uint32_t *out_pdwValue)
{
    if (PR_Check(in_pMsg, in_iLen, VXQ_CLI_FN_REQU_UPGRADE, B + 16, 1, nullptr)) {
        *out_pdwValue = VXQ_F_CLI_GetU32(in_pMsg + B + 12);
        return 1;
    }
    if (PR_Check(in_pMsg, in_iLen, VXQ_CLI_FN_PROGRESS, B + 8, 1, nullptr) ||
        PR_Check(in_pMsg, in_iLen, VXQ_CLI_FN_TRANS_POS, B + 8, 1, nullptr)) {
        *out_pdwValue = VXQ_F_CLI_GetU32(in_pMsg + B + 4);
        return 1;
    }
    return 0;
}

std::vector<uint8_t> VXQ_F_CLI_BuildUpgradeData(uint32_t in_dwTransNo, uint32_t in_dwParam, const uint8_t *in_pData,
                                                size_t in_iLen)
{
    std::vector<uint8_t> tMsg = PR_Msg(VXQ_CLI_FN_UPGRADE_DATA, in_dwTransNo, 8 + in_iLen);
    VXQ_F_CLI_PutU32(&tMsg[B], in_dwParam);
    VXQ_F_CLI_PutU32(&tMsg[B + 4], (uint32_t)in_iLen);
    if (in_iLen)
        memcpy(&tMsg[B + 8], in_pData, in_iLen);
    return tMsg;
}
