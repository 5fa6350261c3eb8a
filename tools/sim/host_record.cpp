/*
 * host_record.cpp - record search and download for the simulator.
 *
 * The record folder holds H.264 Annex-B recordings and index.ini, one section
 * [recN] per recording (file, channel, start, end as "YYYY-MM-DD hh:mm:ss",
 * local time). When the index lists nothing, the clip of the seed channel is
 * copied in as seed_from_clip recordings, one a minute, ending now.
 *
 * A download reads whole frames: each read request is answered with up to
 * ucReqDataSize pieces (0: 8), one frame each, the last with the data-end value
 * 2 (or 1 once the end of the file is reached). A piece carries the frame and
 * the bytes up to the next frame, so the pieces of a whole download put
 * together are the file byte for byte. Time positions count whole seconds from
 * the start of the recording; data positions count bytes. [records]
 * read_delay_ms makes every read request take that long before its first
 * piece (a slow disk), so a download lasts long enough to watch or break.
 */
#include "host.h"

#include "vxq_inistore.h"
#include "vxq_syshelp.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#define PR_DEFAULT_PIECES 8
#define PR_MAX_QUERY_ANSWER 100
#define PR_SEED_SPACING_S 60
#define PR_FILE_TYPE_RECORD 1
#define PR_RET_DATA_VIDEO 1

static void PR_IndexPath(const _VXQ_S_SIMHOST_DATA *in_pHost, char *out_sPath, size_t in_nSize)
{
    snprintf(out_sPath, in_nSize, "%s/index.ini", in_pHost->pCfg->sRecordDir);
}

static void PR_RecordPath(const _VXQ_S_SIMHOST_DATA *in_pHost, const char *in_sName, char *out_sPath, size_t in_nSize)
{
    snprintf(out_sPath, in_nSize, "%s/%s", in_pHost->pCfg->sRecordDir, in_sName);
}

/* The frame rate recordings of a channel are played at. */
static int32_t PR_FrameRate(const _VXQ_S_SIMHOST_DATA *in_pHost, int32_t in_iChNo)
{
    if (in_iChNo < 0 || in_iChNo >= VXQ_SIM_MAX_CH)
        return 25;
    return in_pHost->pCfg->tStream[in_iChNo][0].iFrameRate;
}

/* Copies in_sFrom to in_sTo. */
static int PR_CopyFile(const char *in_sFrom, const char *in_sTo)
{
    FILE *pIn = fopen(in_sFrom, "rb");
    if (pIn == NULL)
        return 0;
    FILE *pOut = fopen(in_sTo, "wb");
    int bOk = pOut != NULL;
    char sBuf[65536];
    size_t nLen;
    while (bOk && (nLen = fread(sBuf, 1, sizeof(sBuf), pIn)) > 0)
        bOk = fwrite(sBuf, 1, nLen, pOut) == nLen;
    bOk = bOk && !ferror(pIn);
    fclose(pIn);
    if (pOut != NULL)
        bOk = (fclose(pOut) == 0) && bOk;
    return bOk;
}

/* A time as the index writes it, "YYYY-MM-DD hh:mm:ss" local time ("" when the
 * C library cannot convert it). */
static void PR_TimeText(int64_t in_llTime, char out_sText[VXQ_SYS_TIME_STR_SIZE])
{
    _VXQ_S_TD_DATE_TIME tTd;
    out_sText[0] = '\0';
    if (VXQ_F_SIMHOST_TimeToTd(in_llTime, &tTd))
        VXQ_F_SYS_TdTime_To_TimeStr(&tTd, out_sText);
}

/* An index time back (fields left out count as 0); 0 when it is not after 1970. */
static int64_t PR_TextTime(const char *in_sText)
{
    _VXQ_S_TD_DATE_TIME tTd;
    int64_t llTime = 0;
    VXQ_F_SYS_StrTime_To_TdTime(in_sText, &tTd);
    if (!VXQ_F_SIMHOST_TdToTime(&tTd, &llTime) || llTime < 0)
        return 0;
    return llTime;
}

/* Writes one index entry. */
static int PR_WriteEntry(const _VXQ_S_SIMHOST_DATA *in_pHost, int in_iIndex, const _VXQ_S_SIMHOST_RECORD *in_pRec)
{
    char sIndex[VXQ_SIM_PATH_SIZE + 16];
    PR_IndexPath(in_pHost, sIndex, sizeof(sIndex));
    char sSection[32];
    snprintf(sSection, sizeof(sSection), "rec%d", in_iIndex);
    char sStart[VXQ_SYS_TIME_STR_SIZE];
    char sEnd[VXQ_SYS_TIME_STR_SIZE];
    PR_TimeText(in_pRec->llStartTime, sStart);
    PR_TimeText(in_pRec->llEndTime, sEnd);
    return VXQ_F_CONFIGMG_SetString(sSection, "file", in_pRec->sName, sIndex) &&
           VXQ_F_CONFIGMG_SetInt(sSection, "channel", in_pRec->iChNo, sIndex) &&
           VXQ_F_CONFIGMG_SetString(sSection, "start", sStart, sIndex) &&
           VXQ_F_CONFIGMG_SetString(sSection, "end", sEnd, sIndex);
}

/* Copies the seed channel's clip in as the first recordings. */
static int PR_Seed(_VXQ_S_SIMHOST_DATA *inout_pHost, char *out_sReason, int in_iReasonSize)
{
    const _VXQ_S_SIMCFG_DATA *pCfg = inout_pHost->pCfg;
    int iCh = pCfg->iRecordSeedCh;
    const _VXQ_S_SIMH264_CLIP *pClip = &inout_pHost->tClip[iCh][0];
    if (pCfg->iRecordSeedNum <= 0 || pClip->pData == NULL || pClip->dwAuNum == 0)
        return 1;
    int32_t iRate = PR_FrameRate(inout_pHost, iCh);
    int32_t iLen = (int32_t)((pClip->dwAuNum - 1u) / (uint32_t)iRate);
    int64_t llNow = VXQ_F_SIMHOST_NowSec();
    int64_t llFirst = llNow - llNow % PR_SEED_SPACING_S - (int64_t)pCfg->iRecordSeedNum * PR_SEED_SPACING_S;
    for (int i = 0; i < pCfg->iRecordSeedNum && inout_pHost->iRecordNum < VXQ_SIMHOST_MAX_RECORD; i++) {
        _VXQ_S_SIMHOST_RECORD *pRec = &inout_pHost->tRecord[inout_pHost->iRecordNum];
        pRec->iChNo = iCh;
        pRec->llStartTime = llFirst + (int64_t)i * PR_SEED_SPACING_S;
        pRec->llEndTime = pRec->llStartTime + iLen;
        char sStamp[32];
        VXQ_F_SIMHOST_StampText(pRec->llStartTime, sStamp, (int)sizeof(sStamp));
        snprintf(pRec->sName, sizeof(pRec->sName), "ch%02d_%s.h264", iCh, sStamp);
        char sPath[VXQ_SIM_PATH_SIZE + 160];
        PR_RecordPath(inout_pHost, pRec->sName, sPath, sizeof(sPath));
        if (!PR_CopyFile(pCfg->tStream[iCh][0].sSource, sPath) || !PR_WriteEntry(inout_pHost, i, pRec)) {
            snprintf(out_sReason, (size_t)in_iReasonSize, "cannot write the recording %s", sPath);
            return 0;
        }
        inout_pHost->iRecordNum++;
    }
    char sIndex[VXQ_SIM_PATH_SIZE + 16];
    PR_IndexPath(inout_pHost, sIndex, sizeof(sIndex));
    VXQ_F_CONFIGMG_SetInt("index", "count", inout_pHost->iRecordNum, sIndex);
    VXQ_F_SIMHOST_Say("made %d recordings from the clip of channel %d in %s", inout_pHost->iRecordNum, iCh,
                      pCfg->sRecordDir);
    return 1;
}

int VXQ_F_SIMHOST_RecordInit(_VXQ_S_SIMHOST_DATA *inout_pHost, char *out_sReason, int in_iReasonSize)
{
    char sIndex[VXQ_SIM_PATH_SIZE + 16];
    PR_IndexPath(inout_pHost, sIndex, sizeof(sIndex));
    int iCount = access(sIndex, R_OK) == 0 ? VXQ_F_CONFIGMG_GetInt("index", "count", 0, sIndex) : 0;
    for (int i = 0; i < iCount && inout_pHost->iRecordNum < VXQ_SIMHOST_MAX_RECORD; i++) {
        char sSection[32];
        snprintf(sSection, sizeof(sSection), "rec%d", i);
        _VXQ_S_SIMHOST_RECORD *pRec = &inout_pHost->tRecord[inout_pHost->iRecordNum];
        char sStart[64];
        char sEnd[64];
        VXQ_F_CONFIGMG_GetString(sSection, "file", "", pRec->sName, (int)sizeof(pRec->sName), sIndex);
        VXQ_F_CONFIGMG_GetString(sSection, "start", "", sStart, (int)sizeof(sStart), sIndex);
        VXQ_F_CONFIGMG_GetString(sSection, "end", "", sEnd, (int)sizeof(sEnd), sIndex);
        pRec->iChNo = VXQ_F_CONFIGMG_GetInt(sSection, "channel", 0, sIndex);
        pRec->llStartTime = PR_TextTime(sStart);
        pRec->llEndTime = PR_TextTime(sEnd);
        char sPath[VXQ_SIM_PATH_SIZE + 160];
        PR_RecordPath(inout_pHost, pRec->sName, sPath, sizeof(sPath));
        if (pRec->sName[0] == 0 || strchr(pRec->sName, '/') != NULL || access(sPath, R_OK) != 0 ||
            pRec->llStartTime <= 0 || pRec->llEndTime < pRec->llStartTime) {
            VXQ_F_SIMHOST_Say("index entry [%s] skipped: missing file or bad times", sSection);
            memset(pRec, 0, sizeof(*pRec));
            continue;
        }
        inout_pHost->iRecordNum++;
    }
    if (inout_pHost->iRecordNum == 0)
        return PR_Seed(inout_pHost, out_sReason, in_iReasonSize);
    return 1;
}

void VXQ_F_SIMHOST_RecordUninit(_VXQ_S_SIMHOST_DATA *inout_pHost)
{
    for (int i = 0; i < VXQ_SIMHOST_MAX_OPEN_FILE; i++) {
        VXQ_F_SIMH264_FreeClip(&inout_pHost->tOpenFile[i].tClip);
        inout_pHost->tOpenFile[i].dwReadId = 0;
    }
}

/* The record file information of a recording; its clip when open, else read now. */
static void PR_FileInfo(const _VXQ_S_SIMHOST_DATA *in_pHost, const _VXQ_S_SIMHOST_RECORD *in_pRec,
                        const _VXQ_S_SIMH264_CLIP *in_pClip, _VXQ_S_DPS_FILE_INFO *out_pInfo)
{
    memset(out_pInfo, 0, sizeof(*out_pInfo));
    snprintf(out_pInfo->sFileFlag, sizeof(out_pInfo->sFileFlag), "%s", in_pRec->sName);
    out_pInfo->iFileType = PR_FILE_TYPE_RECORD;
    VXQ_F_SIMHOST_TimeToTd(in_pRec->llStartTime, &out_pInfo->tStartTime);
    VXQ_F_SIMHOST_TimeToTd(in_pRec->llEndTime, &out_pInfo->tEndTime);
    out_pInfo->dwFileTimeLen = (uint32_t)(in_pRec->llEndTime - in_pRec->llStartTime + 1);
    char sPath[VXQ_SIM_PATH_SIZE + 160];
    PR_RecordPath(in_pHost, in_pRec->sName, sPath, sizeof(sPath));
    FILE *pFile = fopen(sPath, "rb");
    if (pFile != NULL) {
        fseek(pFile, 0, SEEK_END);
        long lSize = ftell(pFile);
        out_pInfo->dwFileSize = lSize > 0 ? (uint32_t)lSize : 0u;
        fclose(pFile);
    }
    out_pInfo->bVideoFlag = 1;
    out_pInfo->iVideoCodecId = in_pHost->pCfg->iVideoCodecId;
    out_pInfo->iVideoFrameRate = PR_FrameRate(in_pHost, in_pRec->iChNo);
    if (in_pRec->iChNo >= 0 && in_pRec->iChNo < VXQ_SIM_MAX_CH)
        out_pInfo->iVideoBitRate = in_pHost->pCfg->tStream[in_pRec->iChNo][0].iBitRate;
    if (in_pClip != NULL) {
        out_pInfo->usVideoWidth = in_pClip->usWidth;
        out_pInfo->usVideoHeight = in_pClip->usHeight;
    }
}

/* A date-time as one number that sorts like the time (YYYYMMDDhhmmss): a
 * client's range is compared in the local date-times it was given in. */
static uint64_t PR_TdKey(const _VXQ_S_TD_DATE_TIME *in_pTd)
{
    return ((((uint64_t)in_pTd->usYear * 100u + in_pTd->usMonth) * 100u + in_pTd->ucDay) * 100u + in_pTd->ucHour) *
               10000u +
           (uint64_t)in_pTd->ucMinute * 100u + in_pTd->ucSecond;
}

static uint64_t PR_TimeKey(int64_t in_llTime)
{
    _VXQ_S_TD_DATE_TIME tTd;
    VXQ_F_SIMHOST_TimeToTd(in_llTime, &tTd);
    return PR_TdKey(&tTd);
}

/* 1 when the recording is on the channel (-1: any) and meets the time range. */
static int PR_Matches(const _VXQ_S_SIMHOST_RECORD *in_pRec, int32_t in_iChNo, const _VXQ_S_TD_DATE_TIME *in_pStart,
                      const _VXQ_S_TD_DATE_TIME *in_pEnd)
{
    if (in_iChNo != -1 && in_iChNo != in_pRec->iChNo)
        return 0;
    return PR_TimeKey(in_pRec->llStartTime) <= PR_TdKey(in_pEnd) &&
           PR_TimeKey(in_pRec->llEndTime) >= PR_TdKey(in_pStart);
}

static void PR_Query(_VXQ_S_SIMHOST_DATA *in_pHost, const _VXQ_S_DPS_MSG_HEAD *in_pEvent, const uint8_t *in_pBody,
                     int in_iBodyLen)
{
    int bNsp = in_pEvent->iMsgFuncId == EVENT_E2_NSP_FILE_QUERY;
    int iBodySize = bNsp ? (int)sizeof(_VXQ_S_DPS_E2_NSP_FILE_QUERY) : (int)sizeof(_VXQ_S_DPS_E2_FILE_QUERY);
    int iItemSize = bNsp ? VXQ_DPS_NSP_FILE_INFO_LEN : (int)sizeof(_VXQ_S_DPS_FILE_INFO);
    if (in_iBodyLen < iBodySize)
        return (void)VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, VXQ_DPS_APP_ERR_PARAM, NULL, 0, NULL, 0);
    _VXQ_S_DPS_E2_FILE_QUERY tQuery;
    _VXQ_S_DPS_E2_NSP_FILE_QUERY tNsp;
    memcpy(bNsp ? (void *)&tNsp : (void *)&tQuery, in_pBody, (size_t)iBodySize);
    int32_t iChNo = bNsp ? tNsp.i_iChNo : tQuery.i_iChNo;
    const _VXQ_S_TD_DATE_TIME *pStart = bNsp ? &tNsp.i_tStartTime : &tQuery.i_tStartTime;
    const _VXQ_S_TD_DATE_TIME *pEnd = bNsp ? &tNsp.i_tEndTime : &tQuery.i_tEndTime;
    uint8_t *pItems = (uint8_t *)calloc(PR_MAX_QUERY_ANSWER, (size_t)iItemSize);
    int32_t iNum = 0;
    for (int i = 0; pItems && i < in_pHost->iRecordNum && iNum < PR_MAX_QUERY_ANSWER; i++) {
        const _VXQ_S_SIMHOST_RECORD *pRec = &in_pHost->tRecord[i];
        if (!PR_Matches(pRec, iChNo, pStart, pEnd))
            continue;
        _VXQ_S_DPS_FILE_INFO tInfo;
        PR_FileInfo(in_pHost, pRec, NULL, &tInfo);
        uint8_t *pItem = pItems + iNum * iItemSize;
        if (!bNsp) {
            memcpy(pItem, &tInfo, sizeof(tInfo));
        } else {
            /* 0 the file flag, 128 the channel, 136 and 148 the times, 160 the
             * size, 164 the length in seconds; the rest stays 0. */
            uint16_t usCh = (uint16_t)pRec->iChNo;
            memcpy(pItem, tInfo.sFileFlag, 128);
            memcpy(pItem + 128, &usCh, 2);
            memcpy(pItem + 136, &tInfo.tStartTime, 12);
            memcpy(pItem + 148, &tInfo.tEndTime, 12);
            memcpy(pItem + 160, &tInfo.dwFileSize, 4);
            memcpy(pItem + 164, &tInfo.dwFileTimeLen, 4);
        }
        iNum++;
    }
    uint8_t ucResult = pItems ? VXQ_DPS_APP_ERR_SUCCESS : VXQ_DPS_APP_ERR_OTHER;
    if (bNsp)
        tNsp.o_iFileNum = iNum;
    else
        tQuery.o_iFileNum = iNum;
    VXQ_F_SIMHOST_Say("record query on channel %d: %d recording(s)", iChNo, iNum);
    VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, ucResult, bNsp ? (void *)&tNsp : (void *)&tQuery, iBodySize, pItems,
                         iNum * iItemSize);
    free(pItems);
}

/* The open file of a read id, or null. */
static _VXQ_S_SIMHOST_OPEN_FILE *PR_FindOpen(_VXQ_S_SIMHOST_DATA *in_pHost, uint32_t in_dwReadId)
{
    if (in_dwReadId == 0)
        return NULL;
    for (int i = 0; i < VXQ_SIMHOST_MAX_OPEN_FILE; i++)
        if (in_pHost->tOpenFile[i].dwReadId == in_dwReadId)
            return &in_pHost->tOpenFile[i];
    return NULL;
}

/* The first frame of the group of pictures that holds frame in_dwAu. */
static uint32_t PR_GroupStart(const _VXQ_S_SIMH264_CLIP *in_pClip, uint32_t in_dwAu)
{
    if (in_dwAu >= in_pClip->dwAuNum)
        return in_pClip->dwAuNum;
    while (in_dwAu > 0 && in_pClip->pAu[in_dwAu].iFrameType != VXQ_SIM_FRAME_TYPE_I)
        in_dwAu--;
    return in_dwAu;
}

/* Frames between two I-frames (the rate when there is only one). */
static int32_t PR_Gop(const _VXQ_S_SIMHOST_OPEN_FILE *in_pOpen)
{
    int32_t iFirst = -1;
    for (uint32_t i = 0; i < in_pOpen->tClip.dwAuNum; i++) {
        if (in_pOpen->tClip.pAu[i].iFrameType != VXQ_SIM_FRAME_TYPE_I)
            continue;
        if (iFirst >= 0)
            return (int32_t)i - iFirst;
        iFirst = (int32_t)i;
    }
    return in_pOpen->iFrameRate;
}

/* Opens recording in_iRecord from in_dwTimePos seconds (or byte in_dwDataPos
 * when nonzero); fills the read id and file information. Returns the result. */
static uint8_t PR_Open(_VXQ_S_SIMHOST_DATA *in_pHost, int in_iRecord, uint32_t in_dwDataPos, uint32_t in_dwTimePos,
                       uint32_t *out_pdwReadId, _VXQ_S_DPS_FILE_INFO *out_pInfo)
{
    _VXQ_S_SIMHOST_OPEN_FILE *pOpen = NULL;
    int iSlot = 0;
    for (; iSlot < VXQ_SIMHOST_MAX_OPEN_FILE; iSlot++)
        if (in_pHost->tOpenFile[iSlot].dwReadId == 0) {
            pOpen = &in_pHost->tOpenFile[iSlot];
            break;
        }
    if (pOpen == NULL)
        return VXQ_DPS_APP_ERR_RESOURCE_NO_IDLE;
    const _VXQ_S_SIMHOST_RECORD *pRec = &in_pHost->tRecord[in_iRecord];
    char sPath[VXQ_SIM_PATH_SIZE + 160];
    PR_RecordPath(in_pHost, pRec->sName, sPath, sizeof(sPath));
    VXQ_F_SIMH264_FreeClip(&pOpen->tClip);
    if (!VXQ_F_SIMH264_LoadClip(sPath, &pOpen->tClip))
        return VXQ_DPS_APP_ERR_FILE_OPERATION;
    pOpen->iRecord = in_iRecord;
    pOpen->iFrameRate = PR_FrameRate(in_pHost, pRec->iChNo);
    pOpen->bOnlyIFrame = 0;
    /* Past the end opens at the end (the first read reports it); never wrapped round. */
    uint64_t qwAu = (uint64_t)in_dwTimePos * (uint64_t)pOpen->iFrameRate;
    uint32_t dwAu = qwAu > pOpen->tClip.dwAuNum ? pOpen->tClip.dwAuNum : (uint32_t)qwAu;
    if (in_dwDataPos != 0) {
        dwAu = 0;
        while (dwAu + 1 < pOpen->tClip.dwAuNum && pOpen->tClip.pAu[dwAu + 1].dwOffset <= in_dwDataPos)
            dwAu++;
    }
    pOpen->dwNextAu = PR_GroupStart(&pOpen->tClip, dwAu);
    pOpen->dwReadId = (VXQ_F_SYS_GetRandom32() & 0x7FFF0000u) | (uint32_t)(iSlot + 1);
    *out_pdwReadId = pOpen->dwReadId;
    PR_FileInfo(in_pHost, pRec, &pOpen->tClip, out_pInfo);
    VXQ_F_SIMHOST_Say("recording %s opened for download (read id 0x%08X)", pRec->sName, pOpen->dwReadId);
    return VXQ_DPS_APP_ERR_SUCCESS;
}

static void PR_OpenByFlag(_VXQ_S_SIMHOST_DATA *in_pHost, const _VXQ_S_DPS_MSG_HEAD *in_pEvent,
                          const uint8_t *in_pBody, int in_iBodyLen)
{
    _VXQ_S_DPS_E2_FILE_OPEN tOpen;
    if (in_iBodyLen < (int)sizeof(tOpen))
        return (void)VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, VXQ_DPS_APP_ERR_PARAM, NULL, 0, NULL, 0);
    memcpy(&tOpen, in_pBody, sizeof(tOpen));
    tOpen.i_sFileFlag[sizeof(tOpen.i_sFileFlag) - 1] = 0;
    tOpen.o_dwFileReadId = 0;
    memset(&tOpen.o_tFileInfo, 0, sizeof(tOpen.o_tFileInfo));
    uint8_t ucResult = VXQ_DPS_APP_ERR_RESOURCE_NO_EXIST;
    for (int i = 0; i < in_pHost->iRecordNum; i++)
        if (strcmp(in_pHost->tRecord[i].sName, tOpen.i_sFileFlag) == 0) {
            ucResult = PR_Open(in_pHost, i, tOpen.i_dwStartOffsetDataPos, tOpen.i_dwStartOffsetTimePos,
                               &tOpen.o_dwFileReadId, &tOpen.o_tFileInfo);
            break;
        }
    if (ucResult == VXQ_DPS_APP_ERR_RESOURCE_NO_EXIST)
        VXQ_F_SIMHOST_Say("download of unknown recording '%s' refused", tOpen.i_sFileFlag);
    VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, ucResult, &tOpen, (int)sizeof(tOpen), NULL, 0);
}

static void PR_OpenByTime(_VXQ_S_SIMHOST_DATA *in_pHost, const _VXQ_S_DPS_MSG_HEAD *in_pEvent,
                          const uint8_t *in_pBody, int in_iBodyLen)
{
    _VXQ_S_DPS_E2_FILE_OPEN_BY_TIME tOpen;
    if (in_iBodyLen < (int)sizeof(tOpen))
        return (void)VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, VXQ_DPS_APP_ERR_PARAM, NULL, 0, NULL, 0);
    memcpy(&tOpen, in_pBody, sizeof(tOpen));
    tOpen.o_dwFileReadId = 0;
    memset(&tOpen.o_tFileInfo, 0, sizeof(tOpen.o_tFileInfo));
    int iBest = -1;
    for (int i = 0; i < in_pHost->iRecordNum; i++) {
        const _VXQ_S_SIMHOST_RECORD *pRec = &in_pHost->tRecord[i];
        if (PR_Matches(pRec, tOpen.i_iChNo, &tOpen.i_tStartTime, &tOpen.i_tEndTime) &&
            (iBest < 0 || pRec->llStartTime < in_pHost->tRecord[iBest].llStartTime))
            iBest = i;
    }
    uint8_t ucResult = VXQ_DPS_APP_ERR_RESOURCE_NO_EXIST;
    if (iBest >= 0) {
        /* The client's start time may be any date (or none the calendar
         * knows): seconds into the recording, from 0 on. */
        int64_t llStart = 0;
        int64_t llFrom = 0;
        if (VXQ_F_SIMHOST_TdToTime(&tOpen.i_tStartTime, &llStart) && llStart > in_pHost->tRecord[iBest].llStartTime)
            llFrom = llStart - in_pHost->tRecord[iBest].llStartTime;
        ucResult = PR_Open(in_pHost, iBest, 0, llFrom > UINT32_MAX ? UINT32_MAX : (uint32_t)llFrom,
                           &tOpen.o_dwFileReadId, &tOpen.o_tFileInfo);
    }
    VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, ucResult, &tOpen, (int)sizeof(tOpen), NULL, 0);
}

/* Answers one read with up to the asked number of frames, one order each. */
static void PR_Read(_VXQ_S_SIMHOST_DATA *in_pHost, const _VXQ_S_DPS_MSG_HEAD *in_pEvent, const uint8_t *in_pBody,
                    int in_iBodyLen)
{
    _VXQ_S_DPS_E2_FILE_READ tRead;
    if (in_iBodyLen < (int)sizeof(tRead))
        return (void)VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, VXQ_DPS_APP_ERR_PARAM, NULL, 0, NULL, 0);
    memcpy(&tRead, in_pBody, sizeof(tRead));
    tRead.o_dwDataLen = 0;
    _VXQ_S_SIMHOST_OPEN_FILE *pOpen = PR_FindOpen(in_pHost, tRead.i_dwFileReadId);
    if (pOpen == NULL) {
        tRead.o_ucFrameTypeAndDataEnd = VXQ_DPS_FILE_READ_MAKE(0, 2);
        VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, VXQ_DPS_APP_ERR_RESOURCE_NOT_OPEN, &tRead, (int)sizeof(tRead), NULL,
                             0);
        return;
    }
    if (in_pHost->pCfg->iRecordReadDelayMs > 0)
        VXQ_F_SYS_Sleep((uint32_t)in_pHost->pCfg->iRecordReadDelayMs);
    const _VXQ_S_SIMH264_CLIP *pClip = &pOpen->tClip;
    const _VXQ_S_SIMHOST_RECORD *pRec = &in_pHost->tRecord[pOpen->iRecord];
    int iWanted = tRead.i_ucReqDataSize ? tRead.i_ucReqDataSize : PR_DEFAULT_PIECES;
    tRead.o_ucRetDataType = PR_RET_DATA_VIDEO;
    tRead.o_ucMediaCodecId = (uint8_t)in_pHost->pCfg->iVideoCodecId;
    tRead.o_ucVideoFrameRate = (uint8_t)pOpen->iFrameRate;
    for (int iSent = 0; iSent < iWanted; iSent++) {
        if (pOpen->bOnlyIFrame)
            while (pOpen->dwNextAu < pClip->dwAuNum && pClip->pAu[pOpen->dwNextAu].iFrameType != VXQ_SIM_FRAME_TYPE_I)
                pOpen->dwNextAu++;
        uint32_t dwAu = pOpen->dwNextAu;
        if (dwAu >= pClip->dwAuNum) {
            /* The end was reached before this piece: an empty last answer. */
            tRead.o_ucFrameTypeAndDataEnd = VXQ_DPS_FILE_READ_MAKE(0, 1);
            tRead.o_dwOffsetDataPos = pClip->dwDataLen;
            tRead.o_dwDataLen = 0;
            VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, VXQ_DPS_APP_ERR_SUCCESS, &tRead, (int)sizeof(tRead), NULL, 0);
            return;
        }
        uint32_t dwFrom = dwAu == 0 ? 0u : pClip->pAu[dwAu].dwOffset;
        uint32_t dwTo = dwAu + 1 < pClip->dwAuNum ? pClip->pAu[dwAu + 1].dwOffset : pClip->dwDataLen;
        pOpen->dwNextAu = dwAu + 1;
        int bEnd = pOpen->dwNextAu >= pClip->dwAuNum;
        if (pOpen->bOnlyIFrame && !bEnd) {
            uint32_t dwNext = pOpen->dwNextAu;
            while (dwNext < pClip->dwAuNum && pClip->pAu[dwNext].iFrameType != VXQ_SIM_FRAME_TYPE_I)
                dwNext++;
            bEnd = dwNext >= pClip->dwAuNum;
        }
        int iDataEnd = bEnd ? 1 : (iSent + 1 == iWanted ? 2 : 0);
        tRead.o_ucFrameTypeAndDataEnd = VXQ_DPS_FILE_READ_MAKE(pClip->pAu[dwAu].iFrameType, iDataEnd);
        tRead.o_dwOffsetDataPos = dwFrom;
        tRead.o_dwOffsetTimePos = dwAu / (uint32_t)pOpen->iFrameRate;
        VXQ_F_SIMHOST_TimeToTd(pRec->llStartTime + tRead.o_dwOffsetTimePos, &tRead.o_tDataTime);
        tRead.o_dwDataLen = dwTo - dwFrom;
        if (!VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, VXQ_DPS_APP_ERR_SUCCESS, &tRead, (int)sizeof(tRead),
                                  pClip->pData + dwFrom, (int)(dwTo - dwFrom)))
            return;
        in_pHost->qwRecordBytes += dwTo - dwFrom;
        if (iDataEnd != 0)
            return;
    }
}

/* Seek, video parameters, I-frames only, recover and close of an open file. */
static void PR_FileOp(_VXQ_S_SIMHOST_DATA *in_pHost, const _VXQ_S_DPS_MSG_HEAD *in_pEvent, const uint8_t *in_pBody,
                      int in_iBodyLen)
{
    uint8_t ucBody[16];
    memset(ucBody, 0, sizeof(ucBody));
    int iLen = in_iBodyLen < (int)sizeof(ucBody) ? in_iBodyLen : (int)sizeof(ucBody);
    if (iLen < 4)
        return (void)VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, VXQ_DPS_APP_ERR_PARAM, NULL, 0, NULL, 0);
    memcpy(ucBody, in_pBody, (size_t)iLen);
    uint32_t dwReadId;
    memcpy(&dwReadId, ucBody, 4);
    _VXQ_S_SIMHOST_OPEN_FILE *pOpen = PR_FindOpen(in_pHost, dwReadId);
    uint8_t ucResult = pOpen ? VXQ_DPS_APP_ERR_SUCCESS : VXQ_DPS_APP_ERR_RESOURCE_NOT_OPEN;
    switch (in_pEvent->iMsgFuncId) {
    case EVENT_E2_FILE_CLOSE:
        if (pOpen != NULL) {
            VXQ_F_SIMHOST_Say("download of %s closed", in_pHost->tRecord[pOpen->iRecord].sName);
            VXQ_F_SIMH264_FreeClip(&pOpen->tClip);
            pOpen->dwReadId = 0;
        }
        if (in_pEvent->dwTransId == 0)
            return;
        break;
    case EVENT_E2_FILE_SEEK: {
        _VXQ_S_DPS_E2_FILE_SEEK tSeek;
        memcpy(&tSeek, ucBody, sizeof(tSeek));
        if (pOpen != NULL) {
            uint64_t qwAu = (uint64_t)tSeek.i_dwOffsetTimePos * (uint64_t)pOpen->iFrameRate;
            if (qwAu >= pOpen->tClip.dwAuNum)
                ucResult = VXQ_DPS_APP_ERR_PARAM;
            else
                pOpen->dwNextAu = PR_GroupStart(&pOpen->tClip, (uint32_t)qwAu);
        }
        break;
    }
    case EVENT_E2_FILE_QVIDEO:
    case EVENT_E2_FILE_ONLY_IFRAME: {
        int bQVideo = in_pEvent->iMsgFuncId == EVENT_E2_FILE_QVIDEO;
        _VXQ_S_DPS_E2_FILE_QVIDEO tQ;
        _VXQ_S_DPS_E2_FILE_ONLY_IFRAME tI;
        memcpy(&tQ, ucBody, sizeof(tQ));
        memcpy(&tI, ucBody, sizeof(tI));
        if (pOpen != NULL && !bQVideo)
            pOpen->bOnlyIFrame = tI.i_iDiscardIFrame != 0;
        tQ.o_iVideoFrameRate = tI.o_iVideoFrameRate = pOpen ? pOpen->iFrameRate : 0;
        tQ.o_iVideoGop = tI.o_iVideoGop = pOpen ? PR_Gop(pOpen) : 0;
        VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, ucResult, bQVideo ? (void *)&tQ : (void *)&tI,
                             bQVideo ? (int)sizeof(tQ) : (int)sizeof(tI), NULL, 0);
        return;
    }
    case EVENT_E2_FILE_RECOVER_ALLFRAME:
        if (pOpen != NULL)
            pOpen->bOnlyIFrame = 0;
        break;
    default:
        ucResult = VXQ_DPS_APP_ERR_NOT_SUPPORT;
        break;
    }
    VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, ucResult, ucBody, iLen, NULL, 0);
}

void VXQ_F_SIMHOST_RecordEvent(_VXQ_S_SIMHOST_DATA *in_pHost, const _VXQ_S_DPS_MSG_HEAD *in_pEvent,
                               const uint8_t *in_pBody, int in_iBodyLen)
{
    switch (in_pEvent->iMsgFuncId) {
    case EVENT_E2_FILE_QUERY:
    case EVENT_E2_NSP_FILE_QUERY:
        PR_Query(in_pHost, in_pEvent, in_pBody, in_iBodyLen);
        break;
    case EVENT_E2_FILE_OPEN:
        PR_OpenByFlag(in_pHost, in_pEvent, in_pBody, in_iBodyLen);
        break;
    case EVENT_E2_FILE_OPEN_BY_TIME:
        PR_OpenByTime(in_pHost, in_pEvent, in_pBody, in_iBodyLen);
        break;
    case EVENT_E2_FILE_READ:
        PR_Read(in_pHost, in_pEvent, in_pBody, in_iBodyLen);
        break;
    default:
        PR_FileOp(in_pHost, in_pEvent, in_pBody, in_iBodyLen);
        break;
    }
}

