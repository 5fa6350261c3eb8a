/*
 * vxq_syshelp.h - small stateless helpers shared by the service and the host:
 * tick and sleep, calendar time and date-time text and records, the 16-bit
 * ones'-complement checksum, address and hexadecimal text, in-place string
 * edits (with a simple JSON value replacement), blank trimming, an MSB-first
 * bit reader with the unsigned Exp-Golomb code, a 5-bit symbol encoder, byte
 * pattern and line search, and the process's random numbers.
 *
 * Any thread may call every function. The only state is the random generator
 * (seeded once from the kernel, under its own lock). Every "now" comes from
 * vxq_clock.h. Date-time values are local time; calendar time is a signed
 * 32-bit count of seconds since 1970, -1 for a value that does not fit.
 * String functions work in place: the caller provides room for the result.
 * Text outputs need the sizes given by the VXQ_SYS_*_SIZE constants.
 */
#ifndef VXQ_SYSHELP_H
#define VXQ_SYSHELP_H

#include "vxq_base.h"

VXQ_EXTERN_C_BEGIN

/* A date-time of a protocol body, 12 bytes (fields in host order here; the
 * wire form is little-endian). Month 1 to 12, reserved bytes written as 0. */
typedef struct _VXQ_S_TD_DATE_TIME {
    uint16_t usYear;
    uint16_t usMonth;
    uint8_t ucDay;
    uint8_t ucHour;
    uint8_t ucMinute;
    uint8_t ucSecond;
    uint8_t ucReserved[4];
} _VXQ_S_TD_DATE_TIME;

/* A time of day. */
typedef struct _VXQ_S_TD_TIME {
    uint8_t ucHour;
    uint8_t ucMinute;
    uint8_t ucSecond;
} _VXQ_S_TD_TIME;

/* "YYYY-MM-DD hh:mm:ss" and its terminating zero. */
#define VXQ_SYS_TIME_STR_SIZE 20
/* "hh:mm:ss" and its terminating zero. */
#define VXQ_SYS_TIMEOFDAY_STR_SIZE 9
/* "255.255.255.255" and its terminating zero. */
#define VXQ_SYS_IPADDR_STR_SIZE 16
/* "AA-BB-CC-DD-EE-FF" and its terminating zero. */
#define VXQ_SYS_MAC_STR_SIZE 18

/* ---- time ---- */

/* Milliseconds of the monotonic tick (the service clock), wrapping at 2^32. */
VXQ_API uint32_t VXQ_F_SYS_GetTickCount(void);

/* Sleeps in_dwMs milliseconds (real time). */
VXQ_API void VXQ_F_SYS_Sleep(uint32_t in_dwMs);

/* The current calendar time (the service clock). */
VXQ_API int32_t VXQ_F_SYS_GetNowTime(void);

/* Local time of in_iTime as "YYYY-MM-DD hh:mm:ss" into out_sText
 * (VXQ_SYS_TIME_STR_SIZE bytes). 1, or 0 (empty text) if it cannot be converted. */
VXQ_API int VXQ_F_SYS_Time_To_Str(int32_t in_iTime, char *out_sText);

/* Calendar time of a local "YYYY-MM-DD hh:mm:ss" (missing fields are 0); -1
 * for a text past "2038-01-19 11:14:07" or a time that does not fit 32 bits. */
VXQ_API int32_t VXQ_F_SYS_Str_To_Time(const char *in_sText);

/* Calendar time of a local date-time (month 1 to 12), -1 if it does not fit. */
VXQ_API int32_t VXQ_F_SYS_TimeParam_To_Timet(int32_t in_iYear, int32_t in_iMonth, int32_t in_iDay,
                                             int32_t in_iHour, int32_t in_iMinute, int32_t in_iSecond);

/* The local date-time of in_iTime (full year, month 1 to 12). 1, or 0. */
VXQ_API int VXQ_F_SYS_Timet_To_TimeParam(int32_t in_iTime, int32_t *out_iYear, int32_t *out_iMonth,
                                         int32_t *out_iDay, int32_t *out_iHour, int32_t *out_iMinute,
                                         int32_t *out_iSecond);

/* Fills out_pTd with the local date-time of in_iTime, reserved 0. 1, or 0. */
VXQ_API int VXQ_F_SYS_Timet_To_TdTime(int32_t in_iTime, _VXQ_S_TD_DATE_TIME *out_pTd);

/* Reads "YYYY-MM-DD hh:mm:ss" into out_pTd (fields not present are 0), reserved
 * 0. Returns the number of fields read (0 to 6). */
VXQ_API int VXQ_F_SYS_StrTime_To_TdTime(const char *in_sText, _VXQ_S_TD_DATE_TIME *out_pTd);

/* Calendar time of a date-time record, -1 if it does not fit. */
VXQ_API int32_t VXQ_F_SYS_TdTime_To_Timet(const _VXQ_S_TD_DATE_TIME *in_pTd);

/* A date-time record as "YYYY-MM-DD hh:mm:ss" (VXQ_SYS_TIME_STR_SIZE bytes). 1, or 0. */
VXQ_API int VXQ_F_SYS_TdTime_To_TimeStr(const _VXQ_S_TD_DATE_TIME *in_pTd, char *out_sText);

/* Time of day from "h:m:s" after leading blanks and tabs: up to three
 * ":"-separated sections (each under 12 characters), the leading digits of
 * each; sections that are missing leave their fields unchanged. 1, or 0. */
VXQ_API int VXQ_F_SYS_Str_To_TdTimeOfDay(const char *in_sText, _VXQ_S_TD_TIME *inout_pTime);

/* A time of day as "hh:mm:ss" (VXQ_SYS_TIMEOFDAY_STR_SIZE bytes). 1, or 0. */
VXQ_API int VXQ_F_SYS_TimeOfDay_To_Str(const _VXQ_S_TD_TIME *in_pTime, char *out_sText);

/* Absolute difference in seconds between two date-times (capped at INT32_MAX). */
VXQ_API int32_t VXQ_F_SYS_ComputeTdTimeLen(const _VXQ_S_TD_DATE_TIME *in_pA,
                                           const _VXQ_S_TD_DATE_TIME *in_pB);

/* ---- checksum ---- */

/* Internet checksum (ones' complement of the ones'-complement sum) over
 * 16-bit words whose first byte is the low byte, on every host; an odd last
 * byte adds as a value of its own. No bytes give 0xFFFF. */
VXQ_API uint16_t VXQ_F_SYS_CheckSum(const void *in_pData, int32_t in_iLength);

/* ---- addresses ---- */

/* A host-order IPv4 address as "a.b.c.d" (most significant byte first). 1, or 0. */
VXQ_API int VXQ_F_SYS_GetIpaddrStrByHost(uint32_t in_dwIpaddr, char *out_sText);

/* "a.b.c.d" (each 0 to 255) as a host-order address; 0 for anything else. */
VXQ_API uint32_t VXQ_F_SYS_IpaddrStrToHostIpaddr(const char *in_sText);

/* Six bytes as "AA-BB-CC-DD-EE-FF" (VXQ_SYS_MAC_STR_SIZE bytes). 1, or 0. */
VXQ_API int VXQ_F_SYS_GetStringMacAddr(const uint8_t *in_pMac, char *out_sText);

/* The hexadecimal pairs at positions 0, 3, 6, 9, 12, 15 into six bytes. 1, or 0
 * (out unchanged) if the text is shorter or a pair is not hexadecimal. */
VXQ_API int VXQ_F_SYS_GetBitMacAddr(const char *in_sText, uint8_t *out_pMac);

/* 1 if the text is exactly six hexadecimal pairs separated by "-", else 0. */
VXQ_API int VXQ_F_SYS_CheckMacStrAddr(const char *in_sText);

/* ---- hexadecimal text ---- */

/* Allocates 3n + 1 bytes and writes each byte as "XX " (upper case); the caller
 * releases *out_psText with free(). 1, or 0 (null stored) on failure. */
VXQ_API int VXQ_F_SYS_BitDataToHexStr(const uint8_t *in_pData, int32_t in_iLength, char **out_psText);

/* The hexadecimal number at the start of the text (0 if none). */
VXQ_API uint32_t VXQ_F_SYS_HexStrToDWORD(const char *in_sText);

/* ---- strings (in place; the caller provides room for the result) ---- */

/* Replaces in_iCount characters at in_iPos (both clamped into the text) with
 * in_sReplace. 1, or 0 if the temporary copy cannot be allocated. */
VXQ_API int VXQ_F_SYS_ReplaceString(char *inout_sText, int32_t in_iPos, int32_t in_iCount,
                                    const char *in_sReplace);

/* Replaces the first occurrence of in_sFind (not empty). 1, or 0 if none. */
VXQ_API int VXQ_F_SYS_ReplaceStringEx(char *inout_sText, const char *in_sFind, const char *in_sReplace);

/* Replaces the value of the first "key" (key under 128 characters): from after
 * the ":" and its blanks up to the next comma (or the end). in_sValue goes in
 * unchanged (the caller quotes strings). 1, or 0 if the key or colon is missing. */
VXQ_API int VXQ_F_SYS_ReplaceJsonValue(char *inout_sJson, const char *in_sKey, const char *in_sValue);

/* Compares ignoring ASCII case: <0, 0, >0. */
VXQ_API int VXQ_F_SYS_StrCaseCmp(const char *in_sA, const char *in_sB);

/* Moves *inout_ps over blanks and tabs. 1, or 0 for null. */
VXQ_API int VXQ_F_SYS_StrOp_JumpSpace(const char **inout_ps);

/* Takes the next section of *inout_ps up to in_cDelim (or the end) into out_sSect
 * if it is shorter than in_iMax characters, and moves behind it. Returns 1 if
 * *inout_ps is at the end, 0 when a section was taken, 2 when it is too long. */
VXQ_API int VXQ_F_SYS_StrOp_GetSectString(const char **inout_ps, char in_cDelim, int32_t in_iMax,
                                          char *out_sSect);

/* Remove leading, trailing, or both blanks and tabs. 1, or 0 for null. */
VXQ_API int VXQ_F_SYS_RemoveLeftSpace(char *inout_sText);
VXQ_API int VXQ_F_SYS_RemoveRightSpace(char *inout_sText);
VXQ_API int VXQ_F_SYS_RemoveTwoWaySpace(char *inout_sText);

/* Removes every blank (not tabs) anywhere in the text. 1, or 0 for null. */
VXQ_API int VXQ_F_TOOLS_TrimString(char *inout_sText);
/* Leading blanks only (tabs kept). 1, or 0 for null. */
VXQ_API int VXQ_F_TOOLS_TrimLeftString(char *inout_sText);
/* Trailing blanks only (tabs kept); returns the length before trimming (0 for null). */
VXQ_API int32_t VXQ_F_TOOLS_TrimRightString(char *inout_sText);
/* Trailing, then leading blanks. 1, or 0 for null. */
VXQ_API int VXQ_F_TOOLS_TrimBothString(char *inout_sText);

/* ---- bit reading: a byte pointer, a bit position 0..7 and the bytes left ---- */

/* The next bit (most significant first). With no byte left it returns 0 and
 * moves nothing. */
VXQ_API uint32_t VXQ_F_SYS_MG_get_one_bit(const uint8_t **inout_pp, int32_t *inout_piBit,
                                          int32_t *inout_piLeft);

/* The next in_iBits bits (up to 32), the first read as the most significant. */
VXQ_API uint32_t VXQ_F_SYS_MG_read_bits(const uint8_t **inout_pp, int32_t *inout_piBit, int32_t *inout_piLeft,
                                        int32_t in_iBits);

/* The unsigned Exp-Golomb code: 2^z - 1 + the z bits after z zero bits and a 1.
 * 0xFFFFFFFF when the bytes end or more than 31 zero bits come first. */
VXQ_API uint32_t VXQ_F_SYS_MG_get_ue(const uint8_t **inout_pp, int32_t *inout_piBit, int32_t *inout_piLeft);

/* ---- other ---- */

/* 32 random bits from the process's generator (splitmix64 seeded from the
 * kernel, locked). Never touches rand(). Fast and never repeating, but its
 * outputs follow from a few earlier ones: good for ids that must only differ,
 * not for secrets (use VXQ_F_SYS_GetSecureRandom). */
VXQ_API uint32_t VXQ_F_SYS_GetRandom32(void);

/* Fills in_iLen bytes from the kernel's random generator (getrandom, else
 * /dev/urandom), without blocking: values nobody can predict from anything
 * else the process showed. For secrets such as login ids. 1 when filled, 0
 * when neither source could be read (the bytes are then unspecified). */
VXQ_API int VXQ_F_SYS_GetSecureRandom(void *out_pBuf, int32_t in_iLen);

/* A non-negative random number (31 bits) from the same generator. */
VXQ_API int32_t VXQ_F_SYS_GetRandomNumber(void);

/* Writes the n bytes as a bit string, MSB first, 5 bits per character of
 * in_sAlphabet (at least 32 characters), the last group padded with zero bits,
 * then a zero: ceil(8n / 5) characters. 1, or 0 for a short alphabet. */
VXQ_API int VXQ_F_SYS_BIT_Encode(const uint8_t *in_pData, int32_t in_iLength, const char *in_sAlphabet,
                                 char *out_sText);

/* The reverse of VXQ_F_SYS_BIT_Encode. Checks that the alphabet is exactly 32
 * characters and the text is not empty and made of alphabet characters.
 * *inout_piLength holds out_pData's size on entry and the number of whole bytes
 * (5 x characters / 8) on return; out_pData may be null to check and count
 * only. 1, or 0 (nothing written) if a check fails or the bytes do not fit. */
VXQ_API int VXQ_F_SYS_BIT_Decode(const char *in_sText, const char *in_sAlphabet, uint8_t *out_pData,
                                 int32_t *inout_piLength);

/* Finds the first in_sPattern (1 to in_iLength bytes, its zero not included) in
 * the bytes. 1 with *out_ppFound at it and *out_piRest the bytes from there to
 * the end, else 0. */
VXQ_API int VXQ_F_SYS_QueryStr(const char *in_pBuf, int32_t in_iLength, const char *in_sPattern,
                               const char **out_ppFound, int32_t *out_piRest);

/* Finds the first "\r\n": the line's length including it, the byte after it
 * and the bytes after it. 1, or 0 if there is none. */
VXQ_API int VXQ_F_SYS_GetLineData(const char *in_pBuf, int32_t in_iLength, int32_t *out_piLineLen,
                                  const char **out_ppNext, int32_t *out_piRest);

VXQ_EXTERN_C_END

#endif /* VXQ_SYSHELP_H */
