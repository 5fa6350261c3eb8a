/* Tick, sleep, calendar time and date-time text and records; see vxq_syshelp.h. */
#include "vxq_clock.h"
#include "vxq_syshelp.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

/* The last local date-time text the 32-bit calendar is allowed to reach. */
static const char *const SYS_TIME_TEXT_LIMIT = "2038-01-19 11:14:07";
static const char *const SYS_TIME_SCAN_FORMAT = "%4d-%2d-%2d %2d:%2d:%2d";
static const char *const SYS_TIME_PRINT_FORMAT = "%4.4d-%2.2d-%2.2d %2.2d:%2.2d:%2.2d";

extern "C" uint32_t VXQ_F_SYS_GetTickCount(void)
{
    return VXQ_F_CLOCK_TickMs();
}

extern "C" void VXQ_F_SYS_Sleep(uint32_t in_dwMs)
{
    struct timespec tLeft;
    tLeft.tv_sec = (time_t)(in_dwMs / 1000u);
    tLeft.tv_nsec = (long)(in_dwMs % 1000u) * 1000000L;
    while (nanosleep(&tLeft, &tLeft) != 0 && errno == EINTR) {
    }
}

extern "C" int32_t VXQ_F_SYS_GetNowTime(void)
{
    return VXQ_F_CLOCK_NowSec();
}

/* Local broken-down time of a calendar time. 1, or 0 if the C library refuses it. */
static int VXQ_F_SYS_PR_LocalTime(int32_t in_iTime, struct tm *out_pTm)
{
    time_t t = (time_t)in_iTime;
    memset(out_pTm, 0, sizeof(*out_pTm));
    return localtime_r(&t, out_pTm) ? 1 : 0;
}

/* Calendar time of a local date-time in 64 bits; 1 and the value, or 0. */
static int VXQ_F_SYS_PR_MakeTime64(int32_t in_iYear, int32_t in_iMonth, int32_t in_iDay, int32_t in_iHour,
                                   int32_t in_iMinute, int32_t in_iSecond, int64_t *out_pllTime)
{
    struct tm tm;
    memset(&tm, 0, sizeof(tm));
    tm.tm_year = in_iYear - 1900;
    tm.tm_mon = in_iMonth - 1;
    tm.tm_mday = in_iDay;
    tm.tm_hour = in_iHour;
    tm.tm_min = in_iMinute;
    tm.tm_sec = in_iSecond;
    tm.tm_isdst = -1;
    errno = 0;
    time_t t = mktime(&tm);
    /* -1 is also the second before 1970 in UTC; errno tells them apart where set. */
    if (t == (time_t)-1 && errno != 0)
        return 0;
    *out_pllTime = (int64_t)t;
    return 1;
}

extern "C" int32_t VXQ_F_SYS_TimeParam_To_Timet(int32_t in_iYear, int32_t in_iMonth, int32_t in_iDay,
                                                int32_t in_iHour, int32_t in_iMinute, int32_t in_iSecond)
{
    int64_t llTime = 0;
    if (!VXQ_F_SYS_PR_MakeTime64(in_iYear, in_iMonth, in_iDay, in_iHour, in_iMinute, in_iSecond, &llTime))
        return -1;
    if (llTime > INT32_MAX || llTime < INT32_MIN)
        return -1;
    return (int32_t)llTime;
}

extern "C" int VXQ_F_SYS_Time_To_Str(int32_t in_iTime, char *out_sText)
{
    if (!out_sText)
        return 0;
    struct tm tm;
    if (!VXQ_F_SYS_PR_LocalTime(in_iTime, &tm)) {
        out_sText[0] = '\0';
        return 0;
    }
    int iLen = snprintf(out_sText, VXQ_SYS_TIME_STR_SIZE, SYS_TIME_PRINT_FORMAT, tm.tm_year + 1900,
                        tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return iLen > 0 && iLen < VXQ_SYS_TIME_STR_SIZE ? 1 : 0;
}

extern "C" int32_t VXQ_F_SYS_Str_To_Time(const char *in_sText)
{
    if (!in_sText)
        return -1;
    int iField[6] = {0, 0, 0, 0, 0, 0};
    sscanf(in_sText, SYS_TIME_SCAN_FORMAT, &iField[0], &iField[1], &iField[2], &iField[3], &iField[4],
           &iField[5]);
    char sNormal[64];
    snprintf(sNormal, sizeof(sNormal), SYS_TIME_PRINT_FORMAT, iField[0], iField[1], iField[2], iField[3],
             iField[4], iField[5]);
    if (strcmp(sNormal, SYS_TIME_TEXT_LIMIT) > 0)
        return -1;
    /* Below the text limit a local time may still lie past 2^31 - 1 seconds
     * (time zones west of UTC+8): the range check of TimeParam_To_Timet holds it. */
    return VXQ_F_SYS_TimeParam_To_Timet(iField[0], iField[1], iField[2], iField[3], iField[4], iField[5]);
}

extern "C" int VXQ_F_SYS_Timet_To_TimeParam(int32_t in_iTime, int32_t *out_iYear, int32_t *out_iMonth,
                                            int32_t *out_iDay, int32_t *out_iHour, int32_t *out_iMinute,
                                            int32_t *out_iSecond)
{
    if (!out_iYear || !out_iMonth || !out_iDay || !out_iHour || !out_iMinute || !out_iSecond)
        return 0;
    struct tm tm;
    if (!VXQ_F_SYS_PR_LocalTime(in_iTime, &tm))
        return 0;
    *out_iYear = tm.tm_year + 1900;
    *out_iMonth = tm.tm_mon + 1;
    *out_iDay = tm.tm_mday;
    *out_iHour = tm.tm_hour;
    *out_iMinute = tm.tm_min;
    *out_iSecond = tm.tm_sec;
    return 1;
}

extern "C" int VXQ_F_SYS_Timet_To_TdTime(int32_t in_iTime, _VXQ_S_TD_DATE_TIME *out_pTd)
{
    if (!out_pTd)
        return 0;
    struct tm tm;
    if (!VXQ_F_SYS_PR_LocalTime(in_iTime, &tm))
        return 0;
    memset(out_pTd, 0, sizeof(*out_pTd));
    out_pTd->usYear = (uint16_t)(tm.tm_year + 1900);
    out_pTd->usMonth = (uint16_t)(tm.tm_mon + 1);
    out_pTd->ucDay = (uint8_t)tm.tm_mday;
    out_pTd->ucHour = (uint8_t)tm.tm_hour;
    out_pTd->ucMinute = (uint8_t)tm.tm_min;
    out_pTd->ucSecond = (uint8_t)tm.tm_sec;
    return 1;
}

extern "C" int VXQ_F_SYS_StrTime_To_TdTime(const char *in_sText, _VXQ_S_TD_DATE_TIME *out_pTd)
{
    if (!in_sText || !out_pTd)
        return 0;
    int iField[6] = {0, 0, 0, 0, 0, 0};
    int iRead = sscanf(in_sText, SYS_TIME_SCAN_FORMAT, &iField[0], &iField[1], &iField[2], &iField[3],
                       &iField[4], &iField[5]);
    if (iRead < 0)
        iRead = 0;
    memset(out_pTd, 0, sizeof(*out_pTd));
    out_pTd->usYear = (uint16_t)iField[0];
    out_pTd->usMonth = (uint16_t)iField[1];
    out_pTd->ucDay = (uint8_t)iField[2];
    out_pTd->ucHour = (uint8_t)iField[3];
    out_pTd->ucMinute = (uint8_t)iField[4];
    out_pTd->ucSecond = (uint8_t)iField[5];
    return iRead;
}

extern "C" int32_t VXQ_F_SYS_TdTime_To_Timet(const _VXQ_S_TD_DATE_TIME *in_pTd)
{
    if (!in_pTd)
        return -1;
    return VXQ_F_SYS_TimeParam_To_Timet(in_pTd->usYear, in_pTd->usMonth, in_pTd->ucDay, in_pTd->ucHour,
                                        in_pTd->ucMinute, in_pTd->ucSecond);
}

extern "C" int VXQ_F_SYS_TdTime_To_TimeStr(const _VXQ_S_TD_DATE_TIME *in_pTd, char *out_sText)
{
    if (!in_pTd || !out_sText)
        return 0;
    /* A field wider than its place (year above 9999, day 100 or more) is cut
     * short by the size and reported as 0. */
    int iLen = snprintf(out_sText, VXQ_SYS_TIME_STR_SIZE, SYS_TIME_PRINT_FORMAT, (int)in_pTd->usYear,
                        (int)in_pTd->usMonth, (int)in_pTd->ucDay, (int)in_pTd->ucHour, (int)in_pTd->ucMinute,
                        (int)in_pTd->ucSecond);
    return iLen > 0 && iLen < VXQ_SYS_TIME_STR_SIZE ? 1 : 0;
}

/* Value of the leading decimal digits of a section (0 without digits). */
static uint8_t VXQ_F_SYS_PR_LeadingNumber(const char *in_sSect)
{
    uint32_t dwValue = 0;
    for (const char *p = in_sSect; *p >= '0' && *p <= '9'; p++) {
        dwValue = dwValue * 10u + (uint32_t)(*p - '0');
        if (dwValue > 255u)
            dwValue = 255u;
    }
    return (uint8_t)dwValue;
}

extern "C" int VXQ_F_SYS_Str_To_TdTimeOfDay(const char *in_sText, _VXQ_S_TD_TIME *inout_pTime)
{
    if (!in_sText || !inout_pTime)
        return 0;
    const char *p = in_sText;
    VXQ_F_SYS_StrOp_JumpSpace(&p);
    uint8_t *pField[3] = {&inout_pTime->ucHour, &inout_pTime->ucMinute, &inout_pTime->ucSecond};
    for (int i = 0; i < 3; i++) {
        char sSect[12];
        if (VXQ_F_SYS_StrOp_GetSectString(&p, ':', (int32_t)sizeof(sSect), sSect) != 0)
            break;
        *pField[i] = VXQ_F_SYS_PR_LeadingNumber(sSect);
    }
    return 1;
}

extern "C" int VXQ_F_SYS_TimeOfDay_To_Str(const _VXQ_S_TD_TIME *in_pTime, char *out_sText)
{
    if (!in_pTime || !out_sText)
        return 0;
    int iLen = snprintf(out_sText, VXQ_SYS_TIMEOFDAY_STR_SIZE, "%2.2d:%2.2d:%2.2d", (int)in_pTime->ucHour,
                        (int)in_pTime->ucMinute, (int)in_pTime->ucSecond);
    return iLen > 0 && iLen < VXQ_SYS_TIMEOFDAY_STR_SIZE ? 1 : 0;
}

extern "C" int32_t VXQ_F_SYS_ComputeTdTimeLen(const _VXQ_S_TD_DATE_TIME *in_pA,
                                              const _VXQ_S_TD_DATE_TIME *in_pB)
{
    if (!in_pA || !in_pB)
        return 0;
    int64_t llA = 0, llB = 0;
    if (!VXQ_F_SYS_PR_MakeTime64(in_pA->usYear, in_pA->usMonth, in_pA->ucDay, in_pA->ucHour, in_pA->ucMinute,
                                 in_pA->ucSecond, &llA) ||
        !VXQ_F_SYS_PR_MakeTime64(in_pB->usYear, in_pB->usMonth, in_pB->ucDay, in_pB->ucHour, in_pB->ucMinute,
                                 in_pB->ucSecond, &llB))
        return 0;
    int64_t llDiff = llA > llB ? llA - llB : llB - llA;
    return llDiff > INT32_MAX ? INT32_MAX : (int32_t)llDiff;
}
