/*
 * simconfig.h - the simulator's configuration: the INI file read into one
 * plain record, and user and network changes written back into the same file.
 *
 * Owns _VXQ_S_SIMCFG_DATA: the caller allocates it (it is large; keep it on
 * the heap), VXQ_F_SIMCFG_Load fills it, nothing inside needs freeing. All
 * values go through the library's INI store, so the file keeps its comments.
 *
 * Threads: the record is not locked. Read it freely after the load; serialise
 * the functions that change it (they rewrite the file too) and the user lookup
 * under one lock of the caller's.
 *
 * Invariant: relative paths in the file are resolved against the file's own
 * folder at load, so every path in the record can be opened as it is.
 */
#ifndef VXQ_SIM_SIMCONFIG_H
#define VXQ_SIM_SIMCONFIG_H

#include <stdint.h>

#include "vxq_dps.h"

#define VXQ_SIM_MAX_CH 64
#define VXQ_SIM_MAX_STREAM 3
#define VXQ_SIM_MAX_USER 32
#define VXQ_SIM_MAX_NET_CARD 4
#define VXQ_SIM_MAX_QUALITY_CAP 8
#define VXQ_SIM_PATH_SIZE 512
/* Longest user name and password that fit the protocol's 32-byte fields. */
#define VXQ_SIM_USER_TEXT_MAX 31

/* One video stream of one channel. */
typedef struct _VXQ_S_SIMCFG_STREAM {
    char sSource[VXQ_SIM_PATH_SIZE]; /* clip path, resolved; empty: synthetic */
    int32_t iFrameRate;              /* 1..100 */
    int32_t iBitRate;                /* kbit/s, 8..100000 */
    int32_t iGop;                    /* synthetic: an I-frame every iGop frames */
    uint16_t usWidth;                /* synthetic: picture size in pixels */
    uint16_t usHeight;
} _VXQ_S_SIMCFG_STREAM;

/* One user account; a free slot has an empty sUserName. */
typedef struct _VXQ_S_SIMCFG_USER {
    char sUserName[32];
    char sPassword[40];
    uint32_t dwPopMask;                  /* rights on every channel */
    int32_t iChPopNum;                   /* words used in dwChPopMask, 0..64 */
    uint32_t dwChPopMask[VXQ_SIM_MAX_CH]; /* rights per channel; unused words 0 */
} _VXQ_S_SIMCFG_USER;

/* One network card as the address query reports it. */
typedef struct _VXQ_S_SIMCFG_NET_CARD {
    char sName[32];
    uint8_t ucMac[6];
    uint32_t dwValue;
    char sIpAddr[16];
    char sNetMask[16];
    char sGateway[16];
} _VXQ_S_SIMCFG_NET_CARD;

/* One video quality capability entry. */
typedef struct _VXQ_S_SIMCFG_QUALITY_CAP {
    char sName[16]; /* at most 15 characters */
    uint32_t dwValue;
    uint16_t usValue[4];
} _VXQ_S_SIMCFG_QUALITY_CAP;

typedef struct _VXQ_S_SIMCFG_DATA {
    char sConfigFile[VXQ_SIM_PATH_SIZE]; /* the file as loaded (absolute) */
    char sBaseDir[VXQ_SIM_PATH_SIZE];    /* its folder */

    /* [service] */
    uint16_t usPort;
    uint16_t usLogPort;
    char sLogDir[VXQ_SIM_PATH_SIZE]; /* empty: no log files */
    int32_t iPwdMode;
    int32_t bDebugLog;
    int32_t bDebugMediaLog;
    int32_t iMaxRealplayClientNum;
    int32_t iMediaDataBufSize;

    /* [device] */
    char sDevIdText[12];
    char sDevText1[32];
    char sDevText2[32];
    int32_t iVideoChanNum;
    int32_t iAudioChanNum;
    int32_t bSpecialChFlag;
    int32_t iSubProtoNum;
    int32_t iDevCapValue[5]; /* cap_value1 .. cap_value5 */

    /* [channelN], [video], [audio] */
    _VXQ_S_SIMCFG_STREAM tStream[VXQ_SIM_MAX_CH][VXQ_SIM_MAX_STREAM];
    int32_t bChAudio[VXQ_SIM_MAX_CH];
    int32_t iVideoCodecId;
    int32_t iToneHz;
    int32_t iToneAmplitude;
    int32_t iAudioCodecId;
    int32_t iAudioBitRate;
    int32_t iAudioSampleRate;
    int32_t iAudioChNum;

    /* [userN] */
    _VXQ_S_SIMCFG_USER tUser[VXQ_SIM_MAX_USER];

    /* [records], [talk], [config], [upgrade] */
    char sRecordDir[VXQ_SIM_PATH_SIZE];
    int32_t iRecordSeedNum;
    int32_t iRecordSeedCh;
    int32_t iRecordReadDelayMs; /* each read request takes this long (a slow disk or link), 0..10000 */
    char sTalkDir[VXQ_SIM_PATH_SIZE];
    int32_t iTalkAudioCodecId;
    int32_t iTalkAudioBitRate;
    int32_t iTalkAudioSampleRate;
    int32_t iTalkAudioChNum;
    int32_t iTalkMaxBytes;      /* a talk ends when its file would grow beyond this */
    char sConfigDir[VXQ_SIM_PATH_SIZE];
    char sUpgradeDir[VXQ_SIM_PATH_SIZE];
    int32_t iUpgradeMaxBytes;   /* upgrade data beyond this is refused */

    /* [network], [net_cardN] */
    int32_t iNetCardNum;
    _VXQ_S_SIMCFG_NET_CARD tNetCard[VXQ_SIM_MAX_NET_CARD];

    /* [serial] */
    int32_t bSerialLoopback;

    /* [maint] */
    char sAbility[1024];
    uint16_t usVersion[4];
    uint32_t dwVersion[4];

    /* [alarm] */
    int32_t iAlarmInterval; /* seconds, 0 = none */
    int32_t iAlarmCh;
    int32_t iAlarmEvent;
    char sAlarmMsg[128];

    /* [quality] */
    int32_t iQualityLevel;
    int32_t iQualityCapNum;
    _VXQ_S_SIMCFG_QUALITY_CAP tQualityCap[VXQ_SIM_MAX_QUALITY_CAP];
} _VXQ_S_SIMCFG_DATA;

/* Reads in_sFile into out_pCfg (cleared first; missing keys take their
 * defaults). Returns 1, or 0 with a one-line reason in out_sReason (at most
 * in_iReasonSize bytes) when the file is missing or unreadable, a value is not
 * a number or out of range, a text is too long, or a clip file cannot be read. */
int VXQ_F_SIMCFG_Load(const char *in_sFile, _VXQ_S_SIMCFG_DATA *out_pCfg, char *out_sReason,
                      int in_iReasonSize);

/* The user called in_sName, or null. */
_VXQ_S_SIMCFG_USER *VXQ_F_SIMCFG_FindUser(_VXQ_S_SIMCFG_DATA *in_pCfg, const char *in_sName);

/* 1 when in_sText can be stored as a user name or password: 1..31 characters,
 * no control characters, no "//" (a comment in the file), no blank at either end. */
int VXQ_F_SIMCFG_CheckUserText(const char *in_sText);

/* Adds a user in the first free slot and writes it to the file. in_iChPopNum
 * is clamped to 0..64 (words of in_pdwChPop, which may be null when 0). Returns
 * 0 (record and slot unchanged) for an existing name, a text that cannot be
 * stored, no free slot, or a failed write. */
int VXQ_F_SIMCFG_AddUser(_VXQ_S_SIMCFG_DATA *inout_pCfg, const char *in_sName, const char *in_sPassword,
                         uint32_t in_dwPopMask, int32_t in_iChPopNum, const uint32_t *in_pdwChPop);

/* Deletes a user: its slot in the file gets an empty name and password.
 * 0 for an unknown name or a failed write. */
int VXQ_F_SIMCFG_DelUser(_VXQ_S_SIMCFG_DATA *inout_pCfg, const char *in_sName);

/* Replaces a user's rights (in_iChPopNum clamped to 0..64). 0 for an unknown
 * name or a failed write. */
int VXQ_F_SIMCFG_SetUserPop(_VXQ_S_SIMCFG_DATA *inout_pCfg, const char *in_sName, uint32_t in_dwPopMask,
                            int32_t in_iChPopNum, const uint32_t *in_pdwChPop);

/* Replaces a user's password. 0 for an unknown name, a password that cannot be
 * stored, or a failed write. */
int VXQ_F_SIMCFG_SetUserPassword(_VXQ_S_SIMCFG_DATA *inout_pCfg, const char *in_sName,
                                 const char *in_sPassword);

/* Replaces network card in_iIndex (0..card count - 1) and writes it to the file.
 * 0 for a bad index, a text that does not fit, or a failed write. */
int VXQ_F_SIMCFG_SetNetCard(_VXQ_S_SIMCFG_DATA *inout_pCfg, int32_t in_iIndex,
                            const _VXQ_S_SIMCFG_NET_CARD *in_pCard);

/* Fills the capability record handed to the service at start from [device].
 * The live view admission callback is left off (flag 0, null pointers). */
void VXQ_F_SIMCFG_FillDevCap(const _VXQ_S_SIMCFG_DATA *in_pCfg, _VXQ_S_DPS_DEV_CAP_INFO *out_pCap);

/* Fills the service's user record for in_sName (cleared first; channel words
 * beyond the user's count are 0). Returns 1, or 0 for an unknown name. */
int VXQ_F_SIMCFG_FillUserInfo(_VXQ_S_SIMCFG_DATA *in_pCfg, const char *in_sName,
                              _VXQ_S_DPS_USER_INFO *out_pUserInfo);

#endif /* VXQ_SIM_SIMCONFIG_H */
