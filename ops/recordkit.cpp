/* Wire forms of the record family; see ops/recordkit.h. */
#include "ops/recordkit.h"

#include "wire/head.h"

#include <stdio.h>
#include <string.h>

/* Entries of the alarm event table of a search by time. */
#define PR_ALARM_TABLE_LEN 16

void VXQ_F_DPS_MW_RecordGetTime(const uint8_t *in_pWire, _VXQ_S_TD_DATE_TIME *out_ptTime)
{
    uint32_t dwLast = VXQ_F_DPS_MW_GetLe32(in_pWire + 8);
    out_ptTime->usYear = VXQ_F_DPS_MW_GetLe16(in_pWire);
    out_ptTime->usMonth = VXQ_F_DPS_MW_GetLe16(in_pWire + 2);
    out_ptTime->ucDay = in_pWire[4];
    out_ptTime->ucHour = in_pWire[5];
    out_ptTime->ucMinute = in_pWire[6];
    out_ptTime->ucSecond = in_pWire[7];
    memcpy(out_ptTime->ucReserved, &dwLast, 4);
}

void VXQ_F_DPS_MW_RecordPutTime(uint8_t *out_pWire, const _VXQ_S_TD_DATE_TIME *in_ptTime)
{
    uint32_t dwLast;
    memcpy(&dwLast, in_ptTime->ucReserved, 4);
    VXQ_F_DPS_MW_PutLe16(out_pWire, in_ptTime->usYear);
    VXQ_F_DPS_MW_PutLe16(out_pWire + 2, in_ptTime->usMonth);
    out_pWire[4] = in_ptTime->ucDay;
    out_pWire[5] = in_ptTime->ucHour;
    out_pWire[6] = in_ptTime->ucMinute;
    out_pWire[7] = in_ptTime->ucSecond;
    VXQ_F_DPS_MW_PutLe32(out_pWire + 8, dwLast);
}

void VXQ_F_DPS_MW_RecordPutFileInfo(uint8_t *out_pWire, const uint8_t *in_pHost)
{
    _VXQ_S_DPS_FILE_INFO tInfo;
    memcpy(&tInfo, in_pHost, sizeof(tInfo));
    memcpy(out_pWire, tInfo.sFileFlag, sizeof(tInfo.sFileFlag));
    VXQ_F_DPS_MW_PutLe32(out_pWire + 128, (uint32_t)tInfo.iFileType);
    VXQ_F_DPS_MW_PutLe32(out_pWire + 132, (uint32_t)tInfo.iCreateMode);
    VXQ_F_DPS_MW_PutLe32(out_pWire + 136, (uint32_t)tInfo.iAlarmEvent);
    VXQ_F_DPS_MW_RecordPutTime(out_pWire + 140, &tInfo.tStartTime);
    VXQ_F_DPS_MW_RecordPutTime(out_pWire + 152, &tInfo.tEndTime);
    VXQ_F_DPS_MW_PutLe32(out_pWire + 164, tInfo.dwFileTimeLen);
    VXQ_F_DPS_MW_PutLe32(out_pWire + 168, tInfo.dwFileSize);
    VXQ_F_DPS_MW_PutLe32(out_pWire + 172, (uint32_t)tInfo.bVideoFlag);
    VXQ_F_DPS_MW_PutLe32(out_pWire + 176, (uint32_t)tInfo.bAudioFlag);
    VXQ_F_DPS_MW_PutLe32(out_pWire + 180, (uint32_t)tInfo.bPictureFlag);
    VXQ_F_DPS_MW_PutLe32(out_pWire + 184, (uint32_t)tInfo.iVideoCodecId);
    VXQ_F_DPS_MW_PutLe32(out_pWire + 188, (uint32_t)tInfo.iVideoFrameRate);
    VXQ_F_DPS_MW_PutLe32(out_pWire + 192, (uint32_t)tInfo.iVideoBitRate);
    VXQ_F_DPS_MW_PutLe16(out_pWire + 196, tInfo.usVideoWidth);
    VXQ_F_DPS_MW_PutLe16(out_pWire + 198, tInfo.usVideoHeight);
    VXQ_F_DPS_MW_PutLe32(out_pWire + 200, (uint32_t)tInfo.iAudioCodecId);
    VXQ_F_DPS_MW_PutLe32(out_pWire + 204, (uint32_t)tInfo.iAudioBitRate);
    VXQ_F_DPS_MW_PutLe32(out_pWire + 208, (uint32_t)tInfo.iAudioSampleRate);
    VXQ_F_DPS_MW_PutLe32(out_pWire + 212, (uint32_t)tInfo.iAudioChNum);
    VXQ_F_DPS_MW_PutLe32(out_pWire + 216, (uint32_t)tInfo.iPictureFormat);
}

/* Offsets of the multi-byte fields of the extended record; every other byte
 * (texts, single bytes) is copied as it is. */
static const uint16_t s_usNsp16[] = {128, 176, 178, 180, 182, 188};
static const uint16_t s_usNsp32[] = {160, 164, 172, 184};
static const uint16_t s_usNspTime[] = {136, 148};

void VXQ_F_DPS_MW_RecordPutNspFileInfo(uint8_t *out_pWire, const uint8_t *in_pHost)
{
    memcpy(out_pWire, in_pHost, VXQ_DPS_NSP_FILE_INFO_LEN);
    for (size_t i = 0; i < sizeof(s_usNsp16) / sizeof(s_usNsp16[0]); i++) {
        uint16_t usValue;
        memcpy(&usValue, in_pHost + s_usNsp16[i], 2);
        VXQ_F_DPS_MW_PutLe16(out_pWire + s_usNsp16[i], usValue);
    }
    for (size_t i = 0; i < sizeof(s_usNsp32) / sizeof(s_usNsp32[0]); i++) {
        uint32_t dwValue;
        memcpy(&dwValue, in_pHost + s_usNsp32[i], 4);
        VXQ_F_DPS_MW_PutLe32(out_pWire + s_usNsp32[i], dwValue);
    }
    for (size_t i = 0; i < sizeof(s_usNspTime) / sizeof(s_usNspTime[0]); i++) {
        _VXQ_S_TD_DATE_TIME tTime;
        memcpy(&tTime, in_pHost + s_usNspTime[i], sizeof(tTime));
        VXQ_F_DPS_MW_RecordPutTime(out_pWire + s_usNspTime[i], &tTime);
    }
}

const char *VXQ_F_DPS_MW_RecordTimeText(const _VXQ_S_TD_DATE_TIME *in_ptTime, char *out_sText)
{
    snprintf(out_sText, VXQ_DPS_RECORD_TIME_TEXT_SIZE, "%04u-%02u-%02u %02u:%02u:%02u",
             (unsigned)in_ptTime->usYear, (unsigned)in_ptTime->usMonth, (unsigned)in_ptTime->ucDay,
             (unsigned)in_ptTime->ucHour, (unsigned)in_ptTime->ucMinute, (unsigned)in_ptTime->ucSecond);
    return out_sText;
}

int32_t VXQ_F_DPS_MW_RecordGetAlarmTable(const uint8_t *in_pWireTable, int32_t in_iWireNum,
                                         uint8_t *out_pTable)
{
    int32_t iNum =
        in_iWireNum < 0 ? 0 : (in_iWireNum > PR_ALARM_TABLE_LEN ? PR_ALARM_TABLE_LEN : in_iWireNum);
    memset(out_pTable, 0, PR_ALARM_TABLE_LEN);
    memcpy(out_pTable, in_pWireTable, (size_t)iNum);
    return iNum;
}
