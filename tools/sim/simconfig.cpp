/*
 * simconfig.cpp - reading the simulator's INI file and writing user changes back.
 */
#include "simconfig.h"

#include "vxq_inistore.h"
#include "vxq_log.h"
#include "vxq_syshelp.h"

#include <arpa/inet.h>
#include <errno.h>
#include <limits.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

/* Longest value read from the file; a longer one reads as its default. */
#define PR_VALUE_SIZE 2048

/* The state of one load: the file and the first failure's reason. */
typedef struct _VXQ_S_SIMCFG_LOAD {
    const char *sFile;
    const char *sBaseDir;
    char *sReason;
    int iReasonSize;
    int bFail;
} _VXQ_S_SIMCFG_LOAD;

/* Records the first failure as "<file>: [section] key: what". */
static void PR_Fail(_VXQ_S_SIMCFG_LOAD *inout_pLoad, const char *in_sSection, const char *in_sKey,
                    const char *in_sFormat, ...)
{
    if (inout_pLoad->bFail)
        return;
    inout_pLoad->bFail = 1;
    if (inout_pLoad->sReason == NULL || inout_pLoad->iReasonSize < 1)
        return;
    char sWhat[256];
    va_list tArgs;
    va_start(tArgs, in_sFormat);
    vsnprintf(sWhat, sizeof(sWhat), in_sFormat, tArgs);
    va_end(tArgs);
    snprintf(inout_pLoad->sReason, (size_t)inout_pLoad->iReasonSize, "%s: [%s] %s: %s", inout_pLoad->sFile,
             in_sSection, in_sKey, sWhat);
}

/* A text value into out_sText (in_iSize bytes); longer texts fail the load. */
static void PR_GetText(_VXQ_S_SIMCFG_LOAD *inout_pLoad, const char *in_sSection, const char *in_sKey,
                       const char *in_sDefault, char *out_sText, int in_iSize)
{
    char sValue[PR_VALUE_SIZE];
    VXQ_F_CONFIGMG_GetString(in_sSection, in_sKey, in_sDefault, sValue, (int)sizeof(sValue),
                             inout_pLoad->sFile);
    if ((int)strlen(sValue) >= in_iSize) {
        PR_Fail(inout_pLoad, in_sSection, in_sKey, "longer than %d characters", in_iSize - 1);
        out_sText[0] = 0;
        return;
    }
    memcpy(out_sText, sValue, strlen(sValue) + 1);
}

/* Parses a whole text as a number: "0x" and hex digits, or an optionally
 * signed decimal. Returns 1 with the value, 0 for anything else. */
static int PR_ParseNum(const char *in_sText, long long *out_pllValue)
{
    const char *p = in_sText;
    int iBase = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        iBase = 16;
        p += 2;
        if (!((*p >= '0' && *p <= '9') || (*p >= 'a' && *p <= 'f') || (*p >= 'A' && *p <= 'F')))
            return 0;
    } else if (!((*p >= '0' && *p <= '9') || ((*p == '-' || *p == '+') && p[1] >= '0' && p[1] <= '9'))) {
        return 0;
    }
    char *pEnd = NULL;
    errno = 0;
    long long llValue = strtoll(p, &pEnd, iBase);
    if (errno != 0 || pEnd == p || *pEnd != 0)
        return 0;
    *out_pllValue = llValue;
    return 1;
}

/* An integer in in_llMin..in_llMax; an empty or missing value gives the default. */
static long long PR_GetNum(_VXQ_S_SIMCFG_LOAD *inout_pLoad, const char *in_sSection, const char *in_sKey,
                           long long in_llDefault, long long in_llMin, long long in_llMax)
{
    char sValue[64];
    VXQ_F_CONFIGMG_GetString(in_sSection, in_sKey, "", sValue, (int)sizeof(sValue), inout_pLoad->sFile);
    if (sValue[0] == 0)
        return in_llDefault;
    long long llValue = 0;
    if (!PR_ParseNum(sValue, &llValue)) {
        PR_Fail(inout_pLoad, in_sSection, in_sKey, "'%s' is not a number", sValue);
        return in_llDefault;
    }
    if (llValue < in_llMin || llValue > in_llMax) {
        PR_Fail(inout_pLoad, in_sSection, in_sKey, "%lld is outside %lld..%lld", llValue, in_llMin, in_llMax);
        return in_llDefault;
    }
    return llValue;
}

/* Parses the comma-separated numbers in inout_sText (cut up in place) into
 * out_pllValues, at most in_iMax, each in in_llMin..in_llMax; blanks around
 * items are allowed and an empty text is an empty list. Returns the count, or
 * -1 with *out_psBad at the offending item (null: too many items). */
static int PR_ParseList(char *inout_sText, long long *out_pllValues, int in_iMax, long long in_llMin,
                        long long in_llMax, const char **out_psBad)
{
    int iCount = 0;
    char *p = inout_sText;
    while (*p == ' ' || *p == '\t')
        p++;
    if (*p == 0)
        return 0;
    for (;;) {
        char *pComma = strchr(p, ',');
        if (pComma)
            *pComma = 0;
        while (*p == ' ' || *p == '\t')
            p++;
        size_t nLen = strlen(p);
        while (nLen > 0 && (p[nLen - 1] == ' ' || p[nLen - 1] == '\t'))
            p[--nLen] = 0;
        if (iCount >= in_iMax) {
            *out_psBad = NULL;
            return -1;
        }
        long long llValue = 0;
        if (!PR_ParseNum(p, &llValue) || llValue < in_llMin || llValue > in_llMax) {
            *out_psBad = p;
            return -1;
        }
        out_pllValues[iCount++] = llValue;
        if (pComma == NULL)
            return iCount;
        p = pComma + 1;
    }
}

/* A list value (see PR_ParseList) into out_pllValues. Returns the count. */
static int PR_GetList(_VXQ_S_SIMCFG_LOAD *inout_pLoad, const char *in_sSection, const char *in_sKey,
                      const char *in_sDefault, long long *out_pllValues, int in_iMax, long long in_llMin,
                      long long in_llMax)
{
    char sValue[PR_VALUE_SIZE];
    VXQ_F_CONFIGMG_GetString(in_sSection, in_sKey, in_sDefault, sValue, (int)sizeof(sValue),
                             inout_pLoad->sFile);
    const char *sBad = NULL;
    int iCount = PR_ParseList(sValue, out_pllValues, in_iMax, in_llMin, in_llMax, &sBad);
    if (iCount >= 0)
        return iCount;
    if (sBad == NULL)
        PR_Fail(inout_pLoad, in_sSection, in_sKey, "more than %d values", in_iMax);
    else
        PR_Fail(inout_pLoad, in_sSection, in_sKey, "'%s' is not a number in %lld..%lld", sBad, in_llMin,
                in_llMax);
    return 0;
}

/* in_sPath made usable: absolute stays, empty stays empty, relative is put
 * behind in_sBaseDir. 0 when the result does not fit. */
static int PR_ResolvePath(const char *in_sBaseDir, const char *in_sPath, char *out_sPath, size_t in_nSize)
{
    int iLen;
    if (in_sPath[0] == 0 || in_sPath[0] == '/')
        iLen = snprintf(out_sPath, in_nSize, "%s", in_sPath);
    else
        iLen = snprintf(out_sPath, in_nSize, "%s/%s", in_sBaseDir, in_sPath);
    return iLen >= 0 && (size_t)iLen < in_nSize;
}

/* A path value, resolved against the file's folder. With in_bMustRead the
 * file must exist and be readable. */
static void PR_GetPath(_VXQ_S_SIMCFG_LOAD *inout_pLoad, const char *in_sSection, const char *in_sKey,
                       const char *in_sDefault, char *out_sPath, int in_bMustRead)
{
    char sValue[VXQ_SIM_PATH_SIZE];
    PR_GetText(inout_pLoad, in_sSection, in_sKey, in_sDefault, sValue, (int)sizeof(sValue));
    if (!PR_ResolvePath(inout_pLoad->sBaseDir, sValue, out_sPath, VXQ_SIM_PATH_SIZE)) {
        PR_Fail(inout_pLoad, in_sSection, in_sKey, "path too long");
        out_sPath[0] = 0;
        return;
    }
    if (in_bMustRead && out_sPath[0] && access(out_sPath, R_OK) != 0)
        PR_Fail(inout_pLoad, in_sSection, in_sKey, "cannot read %s", out_sPath);
}

static void PR_LoadService(_VXQ_S_SIMCFG_LOAD *inout_pLoad, _VXQ_S_SIMCFG_DATA *out_pCfg)
{
    const char *s = "service";
    out_pCfg->usPort = (uint16_t)PR_GetNum(inout_pLoad, s, "port", 7000, 1, 65535);
    out_pCfg->usLogPort = (uint16_t)PR_GetNum(inout_pLoad, s, "log_port", 0, 0, 65535);
    PR_GetPath(inout_pLoad, s, "log_dir", "", out_pCfg->sLogDir, 0);
    out_pCfg->iPwdMode = (int32_t)PR_GetNum(inout_pLoad, s, "pwd_mode", 0, 0, 1);
    out_pCfg->bDebugLog = (int32_t)PR_GetNum(inout_pLoad, s, "debug_log", 0, 0, 1);
    out_pCfg->bDebugMediaLog = (int32_t)PR_GetNum(inout_pLoad, s, "debug_media_log", 0, 0, 1);
    out_pCfg->iMaxRealplayClientNum = (int32_t)PR_GetNum(inout_pLoad, s, "max_realplay_clients", 64, 1, 64);
    out_pCfg->iMediaDataBufSize =
        (int32_t)PR_GetNum(inout_pLoad, s, "media_buf_size", 10485760, 1048576, 31457280);
}

static void PR_LoadDevice(_VXQ_S_SIMCFG_LOAD *inout_pLoad, _VXQ_S_SIMCFG_DATA *out_pCfg)
{
    const char *s = "device";
    PR_GetText(inout_pLoad, s, "dev_id", "DPSSIM01", out_pCfg->sDevIdText, (int)sizeof(out_pCfg->sDevIdText));
    PR_GetText(inout_pLoad, s, "dev_text1", "dps-sim", out_pCfg->sDevText1, (int)sizeof(out_pCfg->sDevText1));
    PR_GetText(inout_pLoad, s, "dev_text2", "", out_pCfg->sDevText2, (int)sizeof(out_pCfg->sDevText2));
    out_pCfg->iVideoChanNum = (int32_t)PR_GetNum(inout_pLoad, s, "video_channels", 1, 1, VXQ_SIM_MAX_CH);
    out_pCfg->iAudioChanNum = (int32_t)PR_GetNum(inout_pLoad, s, "audio_channels", 0, 0, VXQ_SIM_MAX_CH);
    out_pCfg->bSpecialChFlag = (int32_t)PR_GetNum(inout_pLoad, s, "special_channel", 0, 0, 1);
    out_pCfg->iSubProtoNum = (int32_t)PR_GetNum(inout_pLoad, s, "sub_proto_num", 0, 0, 2);
    for (int i = 0; i < 5; i++) {
        char sKey[16];
        snprintf(sKey, sizeof(sKey), "cap_value%d", i + 1);
        out_pCfg->iDevCapValue[i] =
            (int32_t)PR_GetNum(inout_pLoad, s, sKey, i == 4 ? 1 : 0, INT32_MIN, (long long)UINT32_MAX);
    }
}

/* Channels 0 .. video_channels - 1; the special slot 64 (channel 10000) uses
 * the settings of channel 0. */
static void PR_LoadChannels(_VXQ_S_SIMCFG_LOAD *inout_pLoad, _VXQ_S_SIMCFG_DATA *out_pCfg)
{
    for (int iCh = 0; iCh < out_pCfg->iVideoChanNum; iCh++) {
        char sSection[32];
        snprintf(sSection, sizeof(sSection), "channel%d", iCh);
        for (int iStream = 0; iStream < VXQ_SIM_MAX_STREAM; iStream++) {
            _VXQ_S_SIMCFG_STREAM *pStream = &out_pCfg->tStream[iCh][iStream];
            char sKey[32];
            snprintf(sKey, sizeof(sKey), "stream%d_source", iStream);
            PR_GetPath(inout_pLoad, sSection, sKey, "", pStream->sSource, 1);
            snprintf(sKey, sizeof(sKey), "stream%d_fps", iStream);
            pStream->iFrameRate = (int32_t)PR_GetNum(inout_pLoad, sSection, sKey, 25, 1, 100);
            snprintf(sKey, sizeof(sKey), "stream%d_bitrate", iStream);
            pStream->iBitRate = (int32_t)PR_GetNum(inout_pLoad, sSection, sKey, 512, 8, 100000);
            snprintf(sKey, sizeof(sKey), "stream%d_gop", iStream);
            pStream->iGop = (int32_t)PR_GetNum(inout_pLoad, sSection, sKey, pStream->iFrameRate, 1, 1000);
            snprintf(sKey, sizeof(sKey), "stream%d_width", iStream);
            pStream->usWidth = (uint16_t)PR_GetNum(inout_pLoad, sSection, sKey, iStream ? 320 : 640, 16, 4080);
            snprintf(sKey, sizeof(sKey), "stream%d_height", iStream);
            pStream->usHeight = (uint16_t)PR_GetNum(inout_pLoad, sSection, sKey, iStream ? 240 : 480, 16, 4080);
        }
        out_pCfg->bChAudio[iCh] = (int32_t)PR_GetNum(inout_pLoad, sSection, "audio", 0, 0, 1);
    }
    out_pCfg->iVideoCodecId = (int32_t)PR_GetNum(inout_pLoad, "video", "codec_id", 1, 0, 15);
    const char *s = "audio";
    out_pCfg->iToneHz = (int32_t)PR_GetNum(inout_pLoad, s, "tone_hz", 1000, 0, 4000);
    out_pCfg->iToneAmplitude = (int32_t)PR_GetNum(inout_pLoad, s, "amplitude", 10000, 0, 32767);
    out_pCfg->iAudioCodecId = (int32_t)PR_GetNum(inout_pLoad, s, "codec_id", 0, 0, 15);
    out_pCfg->iAudioBitRate = (int32_t)PR_GetNum(inout_pLoad, s, "bitrate", 64000, 0, 65535);
    out_pCfg->iAudioSampleRate = (int32_t)PR_GetNum(inout_pLoad, s, "sample_rate", 8000, 0, 65535);
    out_pCfg->iAudioChNum = (int32_t)PR_GetNum(inout_pLoad, s, "channel_num", 1, 1, 3);
}

/* Slots [user0] .. [user31]; a slot with an empty name is free. */
static void PR_LoadUsers(_VXQ_S_SIMCFG_LOAD *inout_pLoad, _VXQ_S_SIMCFG_DATA *out_pCfg)
{
    for (int iSlot = 0; iSlot < VXQ_SIM_MAX_USER && !inout_pLoad->bFail; iSlot++) {
        char sSection[32];
        snprintf(sSection, sizeof(sSection), "user%d", iSlot);
        _VXQ_S_SIMCFG_USER *pUser = &out_pCfg->tUser[iSlot];
        char sName[PR_VALUE_SIZE];
        VXQ_F_CONFIGMG_GetString(sSection, "name", "", sName, (int)sizeof(sName), inout_pLoad->sFile);
        if (sName[0] == 0)
            continue;
        if (!VXQ_F_SIMCFG_CheckUserText(sName)) {
            PR_Fail(inout_pLoad, sSection, "name", "'%s' is not a usable user name (1..31 characters)", sName);
            return;
        }
        if (VXQ_F_SIMCFG_FindUser(out_pCfg, sName)) {
            PR_Fail(inout_pLoad, sSection, "name", "user '%s' is defined twice", sName);
            return;
        }
        PR_GetText(inout_pLoad, sSection, "password", "", pUser->sPassword, VXQ_SIM_USER_TEXT_MAX + 1);
        pUser->dwPopMask = (uint32_t)PR_GetNum(inout_pLoad, sSection, "global_rights", 0, 0, UINT32_MAX);
        long long llWords[VXQ_SIM_MAX_CH];
        int iNum = PR_GetList(inout_pLoad, sSection, "channel_rights", "", llWords, VXQ_SIM_MAX_CH, 0, UINT32_MAX);
        pUser->iChPopNum = iNum;
        for (int i = 0; i < iNum; i++)
            pUser->dwChPopMask[i] = (uint32_t)llWords[i];
        memcpy(pUser->sUserName, sName, strlen(sName) + 1);
    }
}

static void PR_LoadDirsAndNet(_VXQ_S_SIMCFG_LOAD *inout_pLoad, _VXQ_S_SIMCFG_DATA *out_pCfg)
{
    PR_GetPath(inout_pLoad, "records", "dir", "sim-data/records", out_pCfg->sRecordDir, 0);
    out_pCfg->iRecordSeedNum = (int32_t)PR_GetNum(inout_pLoad, "records", "seed_from_clip", 3, 0, 100);
    out_pCfg->iRecordSeedCh = (int32_t)PR_GetNum(inout_pLoad, "records", "seed_channel", 0, 0, VXQ_SIM_MAX_CH - 1);
    out_pCfg->iRecordReadDelayMs = (int32_t)PR_GetNum(inout_pLoad, "records", "read_delay_ms", 0, 0, 10000);
    const char *s = "talk";
    PR_GetPath(inout_pLoad, s, "dir", "sim-data/talk", out_pCfg->sTalkDir, 0);
    out_pCfg->iTalkAudioCodecId = (int32_t)PR_GetNum(inout_pLoad, s, "codec_id", 0, INT32_MIN, INT32_MAX);
    out_pCfg->iTalkAudioBitRate = (int32_t)PR_GetNum(inout_pLoad, s, "bitrate", 64000, INT32_MIN, INT32_MAX);
    out_pCfg->iTalkAudioSampleRate = (int32_t)PR_GetNum(inout_pLoad, s, "sample_rate", 8000, INT32_MIN, INT32_MAX);
    out_pCfg->iTalkAudioChNum = (int32_t)PR_GetNum(inout_pLoad, s, "channel_num", 1, INT32_MIN, INT32_MAX);
    /* What a client may make the simulator write to disk: 64 MiB per talk and per upgrade by default. */
    out_pCfg->iTalkMaxBytes = (int32_t)PR_GetNum(inout_pLoad, s, "max_bytes", 64 << 20, 1, INT32_MAX);
    PR_GetPath(inout_pLoad, "config", "dir", "sim-data/config", out_pCfg->sConfigDir, 0);
    PR_GetPath(inout_pLoad, "upgrade", "dir", "sim-data/upgrade", out_pCfg->sUpgradeDir, 0);
    out_pCfg->iUpgradeMaxBytes = (int32_t)PR_GetNum(inout_pLoad, "upgrade", "max_bytes", 64 << 20, 1, INT32_MAX);
    out_pCfg->bSerialLoopback = (int32_t)PR_GetNum(inout_pLoad, "serial", "loopback", 1, 0, 1);

    out_pCfg->iNetCardNum = (int32_t)PR_GetNum(inout_pLoad, "network", "card_num", 1, 0, VXQ_SIM_MAX_NET_CARD);
    for (int i = 0; i < out_pCfg->iNetCardNum; i++) {
        char sSection[32];
        snprintf(sSection, sizeof(sSection), "net_card%d", i);
        _VXQ_S_SIMCFG_NET_CARD *pCard = &out_pCfg->tNetCard[i];
        PR_GetText(inout_pLoad, sSection, "name", "eth0", pCard->sName, (int)sizeof(pCard->sName));
        char sMac[32];
        PR_GetText(inout_pLoad, sSection, "mac", "02-00-5E-10-00-01", sMac, (int)sizeof(sMac));
        if (!inout_pLoad->bFail && !VXQ_F_SYS_CheckMacStrAddr(sMac))
            PR_Fail(inout_pLoad, sSection, "mac", "'%s' is not like 02-00-5E-10-00-01", sMac);
        else if (!inout_pLoad->bFail)
            VXQ_F_SYS_GetBitMacAddr(sMac, pCard->ucMac);
        pCard->dwValue = (uint32_t)PR_GetNum(inout_pLoad, sSection, "value", 0, INT32_MIN, UINT32_MAX);
        static const char *s_sAddrKeys[3] = {"ip", "netmask", "gateway"};
        char *pAddr[3] = {pCard->sIpAddr, pCard->sNetMask, pCard->sGateway};
        static const char *s_sAddrDefaults[3] = {"127.0.0.1", "255.0.0.0", "127.0.0.1"};
        for (int k = 0; k < 3; k++) {
            PR_GetText(inout_pLoad, sSection, s_sAddrKeys[k], s_sAddrDefaults[k], pAddr[k], 16);
            struct in_addr tAddr;
            if (!inout_pLoad->bFail && inet_pton(AF_INET, pAddr[k], &tAddr) != 1)
                PR_Fail(inout_pLoad, sSection, s_sAddrKeys[k], "'%s' is not an IPv4 address", pAddr[k]);
        }
    }
}

static void PR_LoadMaintAlarmQuality(_VXQ_S_SIMCFG_LOAD *inout_pLoad, _VXQ_S_SIMCFG_DATA *out_pCfg)
{
    const char *s = "maint";
    PR_GetText(inout_pLoad, s, "ability", "", out_pCfg->sAbility, (int)sizeof(out_pCfg->sAbility));
    long long llValues[4] = {0, 0, 0, 0};
    char sDefault[64];
    snprintf(sDefault, sizeof(sDefault), "%d,%d,%d,%d", 2, 4, 2, 5);
    PR_GetList(inout_pLoad, s, "version_short", sDefault, llValues, 4, 0, 65535);
    for (int i = 0; i < 4; i++)
        out_pCfg->usVersion[i] = (uint16_t)llValues[i];
    memset(llValues, 0, sizeof(llValues));
    PR_GetList(inout_pLoad, s, "version_long", "0,0,0,0", llValues, 4, 0, UINT32_MAX);
    for (int i = 0; i < 4; i++)
        out_pCfg->dwVersion[i] = (uint32_t)llValues[i];

    s = "alarm";
    out_pCfg->iAlarmInterval = (int32_t)PR_GetNum(inout_pLoad, s, "interval", 0, 0, 86400);
    out_pCfg->iAlarmCh = (int32_t)PR_GetNum(inout_pLoad, s, "channel", 0, 0, 10000);
    out_pCfg->iAlarmEvent = (int32_t)PR_GetNum(inout_pLoad, s, "event", 1, INT32_MIN, INT32_MAX);
    PR_GetText(inout_pLoad, s, "message", "simulated alarm", out_pCfg->sAlarmMsg, (int)sizeof(out_pCfg->sAlarmMsg));

    s = "quality";
    out_pCfg->iQualityLevel = (int32_t)PR_GetNum(inout_pLoad, s, "level", 0, 0, UINT32_MAX);
    out_pCfg->iQualityCapNum = (int32_t)PR_GetNum(inout_pLoad, s, "cap_num", 0, 0, VXQ_SIM_MAX_QUALITY_CAP);
    for (int i = 0; i < out_pCfg->iQualityCapNum && !inout_pLoad->bFail; i++) {
        char sKey[16];
        char sValue[PR_VALUE_SIZE];
        snprintf(sKey, sizeof(sKey), "cap%d", i);
        VXQ_F_CONFIGMG_GetString(s, sKey, "", sValue, (int)sizeof(sValue), inout_pLoad->sFile);
        /* "name,value,v1,v2,v3,v4": the name first, the numbers through the list reader's rules. */
        char *pComma = strchr(sValue, ',');
        _VXQ_S_SIMCFG_QUALITY_CAP *pCap = &out_pCfg->tQualityCap[i];
        if (pComma == NULL || pComma - sValue >= (long)sizeof(pCap->sName) || pComma == sValue) {
            PR_Fail(inout_pLoad, s, sKey, "expected name (1..15 characters),value,four numbers");
            return;
        }
        memcpy(pCap->sName, sValue, (size_t)(pComma - sValue));
        pCap->sName[pComma - sValue] = 0;
        /* The value may be any 32-bit word; the four after it are 16-bit. */
        long long llNums[5] = {0, 0, 0, 0, 0};
        const char *sBad = NULL;
        int iNum = PR_ParseList(pComma + 1, llNums, 5, 0, UINT32_MAX, &sBad);
        int bOk = iNum == 5;
        for (int k = 1; k < 5 && bOk; k++)
            bOk = llNums[k] <= 65535;
        if (!bOk) {
            PR_Fail(inout_pLoad, s, sKey, "expected name,value,four numbers 0..65535");
            return;
        }
        pCap->dwValue = (uint32_t)llNums[0];
        for (int k = 0; k < 4; k++)
            pCap->usValue[k] = (uint16_t)llNums[k + 1];
    }
}

int VXQ_F_SIMCFG_Load(const char *in_sFile, _VXQ_S_SIMCFG_DATA *out_pCfg, char *out_sReason,
                      int in_iReasonSize)
{
    if (out_sReason && in_iReasonSize > 0)
        out_sReason[0] = 0;
    if (out_pCfg == NULL)
        return 0;
    memset(out_pCfg, 0, sizeof(*out_pCfg));
    _VXQ_S_SIMCFG_LOAD tLoad = {in_sFile ? in_sFile : "", "", out_sReason, in_iReasonSize, 0};
    char sReal[PATH_MAX];
    if (in_sFile == NULL || in_sFile[0] == 0 || realpath(in_sFile, sReal) == NULL || access(sReal, R_OK) != 0) {
        if (out_sReason && in_iReasonSize > 0)
            snprintf(out_sReason, (size_t)in_iReasonSize, "cannot read the configuration file '%s'",
                     in_sFile ? in_sFile : "");
        return 0;
    }
    if (strlen(sReal) >= sizeof(out_pCfg->sConfigFile)) {
        if (out_sReason && in_iReasonSize > 0)
            snprintf(out_sReason, (size_t)in_iReasonSize, "configuration file path too long");
        return 0;
    }
    memcpy(out_pCfg->sConfigFile, sReal, strlen(sReal) + 1);
    memcpy(out_pCfg->sBaseDir, sReal, strlen(sReal) + 1);
    char *pSlash = strrchr(out_pCfg->sBaseDir, '/');
    if (pSlash == out_pCfg->sBaseDir)
        pSlash[1] = 0; /* a file in "/" */
    else if (pSlash)
        *pSlash = 0;
    tLoad.sFile = out_pCfg->sConfigFile;
    tLoad.sBaseDir = out_pCfg->sBaseDir;

    PR_LoadService(&tLoad, out_pCfg);
    PR_LoadDevice(&tLoad, out_pCfg);
    PR_LoadChannels(&tLoad, out_pCfg);
    PR_LoadUsers(&tLoad, out_pCfg);
    PR_LoadDirsAndNet(&tLoad, out_pCfg);
    PR_LoadMaintAlarmQuality(&tLoad, out_pCfg);
    return tLoad.bFail ? 0 : 1;
}

_VXQ_S_SIMCFG_USER *VXQ_F_SIMCFG_FindUser(_VXQ_S_SIMCFG_DATA *in_pCfg, const char *in_sName)
{
    if (in_pCfg == NULL || in_sName == NULL || in_sName[0] == 0)
        return NULL;
    for (int i = 0; i < VXQ_SIM_MAX_USER; i++)
        if (strcmp(in_pCfg->tUser[i].sUserName, in_sName) == 0)
            return &in_pCfg->tUser[i];
    return NULL;
}

int VXQ_F_SIMCFG_CheckUserText(const char *in_sText)
{
    if (in_sText == NULL)
        return 0;
    size_t nLen = strlen(in_sText);
    if (nLen < 1 || nLen > VXQ_SIM_USER_TEXT_MAX)
        return 0;
    if (in_sText[0] == ' ' || in_sText[nLen - 1] == ' ' || strstr(in_sText, "//") != NULL)
        return 0;
    for (size_t i = 0; i < nLen; i++)
        if ((unsigned char)in_sText[i] < 0x20 || in_sText[i] == 0x7F)
            return 0;
    return 1;
}

/* Writes the rights of slot in_iSlot: "0x%X" words, the channel words as a list. */
static int PR_WriteUserPop(const _VXQ_S_SIMCFG_DATA *in_pCfg, int in_iSlot, uint32_t in_dwPopMask,
                           int32_t in_iChPopNum, const uint32_t *in_pdwChPop)
{
    char sSection[32];
    snprintf(sSection, sizeof(sSection), "user%d", in_iSlot);
    char sValue[VXQ_SIM_MAX_CH * 12 + 1];
    snprintf(sValue, sizeof(sValue), "0x%X", (unsigned)in_dwPopMask);
    if (!VXQ_F_CONFIGMG_SetString(sSection, "global_rights", sValue, in_pCfg->sConfigFile))
        return 0;
    size_t nUsed = 0;
    sValue[0] = 0;
    for (int32_t i = 0; i < in_iChPopNum; i++)
        nUsed += (size_t)snprintf(sValue + nUsed, sizeof(sValue) - nUsed, i ? ",0x%X" : "0x%X",
                                  (unsigned)in_pdwChPop[i]);
    return VXQ_F_CONFIGMG_SetString(sSection, "channel_rights", sValue, in_pCfg->sConfigFile);
}

static int32_t PR_ClampChPopNum(int32_t in_iChPopNum, const uint32_t *in_pdwChPop)
{
    if (in_pdwChPop == NULL || in_iChPopNum < 0)
        return 0;
    return in_iChPopNum > VXQ_SIM_MAX_CH ? VXQ_SIM_MAX_CH : in_iChPopNum;
}

static void PR_SetPopInRecord(_VXQ_S_SIMCFG_USER *inout_pUser, uint32_t in_dwPopMask, int32_t in_iChPopNum,
                              const uint32_t *in_pdwChPop)
{
    inout_pUser->dwPopMask = in_dwPopMask;
    inout_pUser->iChPopNum = in_iChPopNum;
    memset(inout_pUser->dwChPopMask, 0, sizeof(inout_pUser->dwChPopMask));
    if (in_iChPopNum > 0)
        memcpy(inout_pUser->dwChPopMask, in_pdwChPop, (size_t)in_iChPopNum * sizeof(uint32_t));
}

int VXQ_F_SIMCFG_AddUser(_VXQ_S_SIMCFG_DATA *inout_pCfg, const char *in_sName, const char *in_sPassword,
                         uint32_t in_dwPopMask, int32_t in_iChPopNum, const uint32_t *in_pdwChPop)
{
    if (inout_pCfg == NULL || !VXQ_F_SIMCFG_CheckUserText(in_sName) || !VXQ_F_SIMCFG_CheckUserText(in_sPassword))
        return 0;
    if (VXQ_F_SIMCFG_FindUser(inout_pCfg, in_sName))
        return 0;
    int iSlot = 0;
    while (iSlot < VXQ_SIM_MAX_USER && inout_pCfg->tUser[iSlot].sUserName[0])
        iSlot++;
    if (iSlot == VXQ_SIM_MAX_USER) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_SIMCFG_AddUser no free user slot.", 2);
        return 0;
    }
    int32_t iChPopNum = PR_ClampChPopNum(in_iChPopNum, in_pdwChPop);
    char sSection[32];
    snprintf(sSection, sizeof(sSection), "user%d", iSlot);
    /* The name goes last: until it is written the slot stays free in the file. */
    if (!VXQ_F_CONFIGMG_SetString(sSection, "password", in_sPassword, inout_pCfg->sConfigFile) ||
        !PR_WriteUserPop(inout_pCfg, iSlot, in_dwPopMask, iChPopNum, in_pdwChPop) ||
        !VXQ_F_CONFIGMG_SetString(sSection, "name", in_sName, inout_pCfg->sConfigFile)) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_SIMCFG_AddUser VXQ_F_CONFIGMG_SetString fail.", 2);
        return 0;
    }
    _VXQ_S_SIMCFG_USER *pUser = &inout_pCfg->tUser[iSlot];
    memcpy(pUser->sUserName, in_sName, strlen(in_sName) + 1);
    memset(pUser->sPassword, 0, sizeof(pUser->sPassword));
    memcpy(pUser->sPassword, in_sPassword, strlen(in_sPassword) + 1);
    PR_SetPopInRecord(pUser, in_dwPopMask, iChPopNum, in_pdwChPop);
    return 1;
}

int VXQ_F_SIMCFG_DelUser(_VXQ_S_SIMCFG_DATA *inout_pCfg, const char *in_sName)
{
    _VXQ_S_SIMCFG_USER *pUser = VXQ_F_SIMCFG_FindUser(inout_pCfg, in_sName);
    if (pUser == NULL)
        return 0;
    int iSlot = (int)(pUser - inout_pCfg->tUser);
    char sSection[32];
    snprintf(sSection, sizeof(sSection), "user%d", iSlot);
    /* The name goes first: once it is empty the slot is free, whatever follows. */
    if (!VXQ_F_CONFIGMG_SetString(sSection, "name", "", inout_pCfg->sConfigFile)) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_SIMCFG_DelUser VXQ_F_CONFIGMG_SetString fail.", 2);
        return 0;
    }
    memset(pUser, 0, sizeof(*pUser));
    if (!VXQ_F_CONFIGMG_SetString(sSection, "password", "", inout_pCfg->sConfigFile) ||
        !PR_WriteUserPop(inout_pCfg, iSlot, 0, 0, NULL))
        VXQ_F_LOG_SR_WriteLog("VXQ_F_SIMCFG_DelUser VXQ_F_CONFIGMG_SetString fail.", 2);
    return 1;
}

int VXQ_F_SIMCFG_SetUserPop(_VXQ_S_SIMCFG_DATA *inout_pCfg, const char *in_sName, uint32_t in_dwPopMask,
                            int32_t in_iChPopNum, const uint32_t *in_pdwChPop)
{
    _VXQ_S_SIMCFG_USER *pUser = VXQ_F_SIMCFG_FindUser(inout_pCfg, in_sName);
    if (pUser == NULL)
        return 0;
    int32_t iChPopNum = PR_ClampChPopNum(in_iChPopNum, in_pdwChPop);
    if (!PR_WriteUserPop(inout_pCfg, (int)(pUser - inout_pCfg->tUser), in_dwPopMask, iChPopNum, in_pdwChPop)) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_SIMCFG_SetUserPop VXQ_F_CONFIGMG_SetString fail.", 2);
        return 0;
    }
    PR_SetPopInRecord(pUser, in_dwPopMask, iChPopNum, in_pdwChPop);
    return 1;
}

int VXQ_F_SIMCFG_SetUserPassword(_VXQ_S_SIMCFG_DATA *inout_pCfg, const char *in_sName,
                                 const char *in_sPassword)
{
    _VXQ_S_SIMCFG_USER *pUser = VXQ_F_SIMCFG_FindUser(inout_pCfg, in_sName);
    if (pUser == NULL || !VXQ_F_SIMCFG_CheckUserText(in_sPassword))
        return 0;
    char sSection[32];
    snprintf(sSection, sizeof(sSection), "user%d", (int)(pUser - inout_pCfg->tUser));
    if (!VXQ_F_CONFIGMG_SetString(sSection, "password", in_sPassword, inout_pCfg->sConfigFile)) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_SIMCFG_SetUserPassword VXQ_F_CONFIGMG_SetString fail.", 2);
        return 0;
    }
    memset(pUser->sPassword, 0, sizeof(pUser->sPassword));
    memcpy(pUser->sPassword, in_sPassword, strlen(in_sPassword) + 1);
    return 1;
}

/* 1 when in_sText has a terminator within in_nSize bytes and holds no
 * character that would break its line in the file. */
static int PR_StorableText(const char *in_sText, size_t in_nSize)
{
    size_t nLen = strnlen(in_sText, in_nSize);
    if (nLen == in_nSize)
        return 0;
    for (size_t i = 0; i < nLen; i++)
        if ((unsigned char)in_sText[i] < 0x20)
            return 0;
    return strstr(in_sText, "//") == NULL;
}

int VXQ_F_SIMCFG_SetNetCard(_VXQ_S_SIMCFG_DATA *inout_pCfg, int32_t in_iIndex,
                            const _VXQ_S_SIMCFG_NET_CARD *in_pCard)
{
    if (inout_pCfg == NULL || in_pCard == NULL || in_iIndex < 0 || in_iIndex >= inout_pCfg->iNetCardNum)
        return 0;
    if (!PR_StorableText(in_pCard->sName, sizeof(in_pCard->sName)) ||
        !PR_StorableText(in_pCard->sIpAddr, sizeof(in_pCard->sIpAddr)) ||
        !PR_StorableText(in_pCard->sNetMask, sizeof(in_pCard->sNetMask)) ||
        !PR_StorableText(in_pCard->sGateway, sizeof(in_pCard->sGateway)))
        return 0;
    char sSection[32];
    snprintf(sSection, sizeof(sSection), "net_card%d", (int)in_iIndex);
    char sMac[32];
    char sValue[16];
    VXQ_F_SYS_GetStringMacAddr(in_pCard->ucMac, sMac);
    snprintf(sValue, sizeof(sValue), "%u", (unsigned)in_pCard->dwValue);
    const char *f = inout_pCfg->sConfigFile;
    if (!VXQ_F_CONFIGMG_SetString(sSection, "name", in_pCard->sName, f) ||
        !VXQ_F_CONFIGMG_SetString(sSection, "mac", sMac, f) ||
        !VXQ_F_CONFIGMG_SetString(sSection, "value", sValue, f) ||
        !VXQ_F_CONFIGMG_SetString(sSection, "ip", in_pCard->sIpAddr, f) ||
        !VXQ_F_CONFIGMG_SetString(sSection, "netmask", in_pCard->sNetMask, f) ||
        !VXQ_F_CONFIGMG_SetString(sSection, "gateway", in_pCard->sGateway, f)) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_SIMCFG_SetNetCard VXQ_F_CONFIGMG_SetString fail.", 2);
        return 0;
    }
    inout_pCfg->tNetCard[in_iIndex] = *in_pCard;
    return 1;
}

void VXQ_F_SIMCFG_FillDevCap(const _VXQ_S_SIMCFG_DATA *in_pCfg, _VXQ_S_DPS_DEV_CAP_INFO *out_pCap)
{
    if (in_pCfg == NULL || out_pCap == NULL)
        return;
    memset(out_pCap, 0, sizeof(*out_pCap));
    /* The texts were length-checked at load, so each fits with its terminator. */
    memcpy(out_pCap->sDevIdText, in_pCfg->sDevIdText, sizeof(out_pCap->sDevIdText));
    memcpy(out_pCap->sDevText1, in_pCfg->sDevText1, sizeof(out_pCap->sDevText1));
    memcpy(out_pCap->sDevText2, in_pCfg->sDevText2, sizeof(out_pCap->sDevText2));
    out_pCap->iVideoChanNum = in_pCfg->iVideoChanNum;
    out_pCap->iAudioChanNum = in_pCfg->iAudioChanNum;
    out_pCap->iDevCapValue1 = in_pCfg->iDevCapValue[0];
    out_pCap->iDevCapValue2 = in_pCfg->iDevCapValue[1];
    out_pCap->iDevCapValue3 = in_pCfg->iDevCapValue[2];
    out_pCap->iDevCapValue4 = in_pCfg->iDevCapValue[3];
    out_pCap->iDevCapValue5 = in_pCfg->iDevCapValue[4];
    out_pCap->iSubProtoNum = in_pCfg->iSubProtoNum;
    out_pCap->bSpecialChFlag = in_pCfg->bSpecialChFlag;
}

int VXQ_F_SIMCFG_FillUserInfo(_VXQ_S_SIMCFG_DATA *in_pCfg, const char *in_sName,
                              _VXQ_S_DPS_USER_INFO *out_pUserInfo)
{
    if (out_pUserInfo == NULL)
        return 0;
    memset(out_pUserInfo, 0, sizeof(*out_pUserInfo));
    const _VXQ_S_SIMCFG_USER *pUser = VXQ_F_SIMCFG_FindUser(in_pCfg, in_sName);
    if (pUser == NULL)
        return 0;
    memcpy(out_pUserInfo->sUserName, pUser->sUserName, sizeof(out_pUserInfo->sUserName));
    memcpy(out_pUserInfo->sPassword, pUser->sPassword, sizeof(out_pUserInfo->sPassword));
    out_pUserInfo->dwPopMask = pUser->dwPopMask;
    /* Words past iChPopNum are kept at 0 in the record, so all 64 copy as they are. */
    memcpy(out_pUserInfo->dwChPopMask, pUser->dwChPopMask, sizeof(out_pUserInfo->dwChPopMask));
    return 1;
}
