/*
 * clibody.h - the request bodies a client sends and the answers and notices it
 * reads, one builder or parser per message, at the body offsets of each message.
 *
 * Owns no state; any thread may call these functions. Builders return a whole
 * message (head and body) in a fresh std::vector, with the transaction number
 * the caller passes. Parsers take a whole received message and its length,
 * check the function id, the answer bit where it matters and the length before
 * reading a field, and return 0 for anything that does not fit; pointers they
 * hand out point into the caller's message. Login ids are the ids the login
 * answer returned.
 */
#ifndef VXQ_CLIENT_CLIBODY_H
#define VXQ_CLIENT_CLIBODY_H

#include "cliwire.h"

#include <stdint.h>

#include <string>
#include <vector>

#define VXQ_CLI_TOKEN_BODY_LEN 89u
#define VXQ_CLI_LOGIN_BODY_LEN 528u
#define VXQ_CLI_FILE_INFO_LEN 220u
#define VXQ_CLI_CARD_INFO_LEN 90u
#define VXQ_CLI_MAX_CH_POP 64

/* What the login answer tells about the device. */
typedef struct _VXQ_S_CLI_LOGIN_INFO {
    uint32_t dwLoginId;
    std::string sDevIdText;
    std::string sDevText1;
    std::string sDevText2;
    uint8_t bSpecialChFlag;
    uint8_t ucDevCapValue5;
    int32_t iVideoChanNum;
    int32_t iAudioChanNum;
    int32_t iDevCapValue1;
    int32_t iDevCapValue2;
    int32_t iDevCapValue3;
} _VXQ_S_CLI_LOGIN_INFO;

/* One record file description (220 bytes on the wire). */
typedef struct _VXQ_S_CLI_FILE_INFO {
    std::string sFileFlag;
    int32_t iFileType;
    int32_t iCreateMode;
    int32_t iAlarmEvent;
    _VXQ_S_CLI_TIME tStartTime;
    _VXQ_S_CLI_TIME tEndTime;
    uint32_t dwFileTimeLen;
    uint32_t dwFileSize;
    int32_t bVideoFlag;
    int32_t bAudioFlag;
    int32_t iVideoCodecId;
    int32_t iVideoFrameRate;
    int32_t iVideoBitRate;
    uint16_t usVideoWidth;
    uint16_t usVideoHeight;
} _VXQ_S_CLI_FILE_INFO;

/* One answer piece of a file read. */
typedef struct _VXQ_S_CLI_FILE_PIECE {
    uint32_t dwRequId;
    uint8_t ucRetDataType;
    uint8_t ucFrameType; /* low 4 bits of body 15 */
    uint8_t ucDataEnd;   /* bits 4-5 of body 15: 0 more follows, 1 end of file, other: last of this request */
    uint8_t ucCodecId;
    uint8_t ucFrameRate;
    uint32_t dwOffsetDataPos;
    uint32_t dwOffsetTimePos;
    _VXQ_S_CLI_TIME tDataTime;
    const uint8_t *pData;
    uint32_t dwDataLen;
} _VXQ_S_CLI_FILE_PIECE;

/* An alarm notice (0x0503 or the extended 0x0505). */
typedef struct _VXQ_S_CLI_ALARM {
    int32_t bExtended;
    std::string sAlarmId; /* extended only */
    int32_t iChNo;
    int32_t iAlarmEvent;
    uint32_t dwAlarmParam; /* plain only */
    _VXQ_S_CLI_TIME tAlarmTime;
    std::string sAlarmMsg;
} _VXQ_S_CLI_ALARM;

/* A user's rights words. */
typedef struct _VXQ_S_CLI_USER_POP {
    uint32_t dwGlobalPop;
    int32_t iChPopNum; /* 0..64 */
    uint32_t dwChPop[VXQ_CLI_MAX_CH_POP];
} _VXQ_S_CLI_USER_POP;

/* One quality capability entry. */
typedef struct _VXQ_S_CLI_QUALITY_CAP {
    std::string sName;
    uint32_t dwValue;
    uint16_t usValue[4];
} _VXQ_S_CLI_QUALITY_CAP;

/* One network card record. */
typedef struct _VXQ_S_CLI_CARD_INFO {
    std::string sName;
    uint8_t ucMac[6];
    uint32_t dwValue;
    std::string sAddr1;
    std::string sAddr2;
    std::string sAddr3;
} _VXQ_S_CLI_CARD_INFO;

/* ---- session ---- */
std::vector<uint8_t> VXQ_F_CLI_BuildHeartbeat(uint32_t in_dwTransNo);
std::vector<uint8_t> VXQ_F_CLI_BuildToken(uint32_t in_dwTransNo);
/* User name (at most 31 characters) at body 0, the digest at body 32. */
std::vector<uint8_t> VXQ_F_CLI_BuildLogin(uint32_t in_dwTransNo, const std::string &in_sUser,
                                          const std::string &in_sDigest);
std::vector<uint8_t> VXQ_F_CLI_BuildLogout(uint32_t in_dwTransNo);
std::vector<uint8_t> VXQ_F_CLI_BuildClaim(uint32_t in_dwTransNo, uint32_t in_dwClaimId);
/* Token answer: the token text (empty unless the result is 0) and the password mode. */
int VXQ_F_CLI_ParseToken(const uint8_t *in_pMsg, size_t in_iLen, std::string *out_psToken, uint8_t *out_pucPwdMode);
/* Login answer fields (meaningful when the result is 0). */
int VXQ_F_CLI_ParseLogin(const uint8_t *in_pMsg, size_t in_iLen, _VXQ_S_CLI_LOGIN_INFO *out_ptInfo);

/* ---- live view ---- */
std::vector<uint8_t> VXQ_F_CLI_BuildExRealplayOpen(uint32_t in_dwTransNo, uint32_t in_dwLoginId, uint16_t in_usChNo,
                                                   uint16_t in_usStreamNo, uint32_t in_dwClaimId);
/* The media connection id of an extended open answer (body 12). */
int VXQ_F_CLI_ParseExRealplayOpen(const uint8_t *in_pMsg, size_t in_iLen, uint32_t *out_pdwMediaConnId);
std::vector<uint8_t> VXQ_F_CLI_BuildExRealplayClose(uint32_t in_dwTransNo, uint32_t in_dwLoginId,
                                                    uint32_t in_dwMediaConnId);
/* Media type 0 video, 1 audio, 2 both; code 0 pause, 1 continue. */
std::vector<uint8_t> VXQ_F_CLI_BuildCtrlStream(uint32_t in_dwTransNo, uint32_t in_dwLoginId, uint32_t in_dwMediaConnId,
                                               int32_t in_iMediaType, int32_t in_iCtrlCode);
std::vector<uint8_t> VXQ_F_CLI_BuildPtz(uint32_t in_dwTransNo, uint32_t in_dwLoginId, uint32_t in_dwChNo,
                                        uint32_t in_dwCmd, uint32_t in_dwData, uint32_t in_dwExt1, uint32_t in_dwExt2);
std::vector<uint8_t> VXQ_F_CLI_BuildForceIFrame(uint32_t in_dwTransNo, uint32_t in_dwChNo, uint16_t in_usStreamNo);
/* Quality requests at full size (cap: body 236, level get/set: body 12). */
std::vector<uint8_t> VXQ_F_CLI_BuildQuality(uint16_t in_usFuncId, uint32_t in_dwTransNo, uint32_t in_dwLoginId,
                                            uint16_t in_usChNo, uint16_t in_usStreamNo, uint32_t in_dwLevel);
int VXQ_F_CLI_ParseQualityLevel(const uint8_t *in_pMsg, size_t in_iLen, uint32_t *out_pdwLevel);
int VXQ_F_CLI_ParseQualityCap(const uint8_t *in_pMsg, size_t in_iLen, std::vector<_VXQ_S_CLI_QUALITY_CAP> *out_ptCaps);

/* ---- records ---- */
std::vector<uint8_t> VXQ_F_CLI_BuildQueryFile(uint32_t in_dwTransNo, uint32_t in_dwLoginId, int32_t in_iChNo,
                                              int32_t in_iFileType, const _VXQ_S_CLI_TIME *in_ptFrom,
                                              const _VXQ_S_CLI_TIME *in_ptTo);
/* The file records of a query answer; 0 when the count does not match the length. */
int VXQ_F_CLI_ParseQueryFile(const uint8_t *in_pMsg, size_t in_iLen, std::vector<_VXQ_S_CLI_FILE_INFO> *out_ptFiles);
void VXQ_F_CLI_ParseFileInfo(const uint8_t *in_pSrc, _VXQ_S_CLI_FILE_INFO *out_ptInfo);
std::vector<uint8_t> VXQ_F_CLI_BuildDownloadOpen(uint32_t in_dwTransNo, uint32_t in_dwLoginId,
                                                 const std::string &in_sFileFlag);
std::vector<uint8_t> VXQ_F_CLI_BuildDownloadOpenByTime(uint32_t in_dwTransNo, uint32_t in_dwLoginId, int32_t in_iChNo,
                                                       const _VXQ_S_CLI_TIME *in_ptFrom, const _VXQ_S_CLI_TIME *in_ptTo);
/* Read id and file info of either open answer. */
int VXQ_F_CLI_ParseDownloadOpen(const uint8_t *in_pMsg, size_t in_iLen, uint32_t *out_pdwReadId,
                                _VXQ_S_CLI_FILE_INFO *out_ptInfo);
std::vector<uint8_t> VXQ_F_CLI_BuildDownloadGet(uint32_t in_dwTransNo, uint32_t in_dwLoginId, uint32_t in_dwReadId,
                                                uint32_t in_dwRequId, uint8_t in_ucReqDataType,
                                                uint8_t in_ucReqDataSize);
/* One read answer: at least 64 bytes, data length at body 40 equal to what follows. */
int VXQ_F_CLI_ParseDownloadGet(const uint8_t *in_pMsg, size_t in_iLen, _VXQ_S_CLI_FILE_PIECE *out_ptPiece);
std::vector<uint8_t> VXQ_F_CLI_BuildDownloadClose(uint32_t in_dwTransNo, uint32_t in_dwLoginId, uint32_t in_dwReadId);

/* ---- talk and alarms ---- */
std::vector<uint8_t> VXQ_F_CLI_BuildTalk(uint16_t in_usFuncId, uint32_t in_dwTransNo, uint32_t in_dwLoginId,
                                         int32_t in_iTalkChNo);
/* The device's audio format of a 44-byte start answer. */
int VXQ_F_CLI_ParseTalkStart(const uint8_t *in_pMsg, size_t in_iLen, int32_t out_piAudio[4]);
/* A client audio frame: 12 unused body bytes, then the audio. */
std::vector<uint8_t> VXQ_F_CLI_BuildTalkAudio(const uint8_t *in_pData, size_t in_iLen);
std::vector<uint8_t> VXQ_F_CLI_BuildGuard(uint16_t in_usFuncId, uint32_t in_dwTransNo, uint32_t in_dwLoginId);
int VXQ_F_CLI_ParseAlarm(const uint8_t *in_pMsg, size_t in_iLen, _VXQ_S_CLI_ALARM *out_ptAlarm);

/* ---- configuration, network and users ---- */
/* Get or set configuration: body 0 login id, 4 function id, 8 length, 12 data. */
std::vector<uint8_t> VXQ_F_CLI_BuildConfig(uint16_t in_usFuncId, uint32_t in_dwTransNo, uint32_t in_dwLoginId,
                                           int32_t in_iConfigId, const std::vector<uint8_t> &in_tData);
std::vector<uint8_t> VXQ_F_CLI_BuildGetDefConfig(uint32_t in_dwTransNo, uint32_t in_dwLoginId, int32_t in_iConfigId,
                                                 uint32_t in_dwParam);
std::vector<uint8_t> VXQ_F_CLI_BuildImportConfig(uint32_t in_dwTransNo, uint32_t in_dwLoginId,
                                                 const std::vector<uint8_t> &in_tData);
std::vector<uint8_t> VXQ_F_CLI_BuildExportConfig(uint32_t in_dwTransNo, uint32_t in_dwLoginId);
/* The data of a get, default or export answer (length field checked against the message). */
int VXQ_F_CLI_ParseConfigData(const uint8_t *in_pMsg, size_t in_iLen, std::vector<uint8_t> *out_ptData);
std::vector<uint8_t> VXQ_F_CLI_BuildQueryNetInfo(uint32_t in_dwTransNo);
/* Cards of a net info answer: body 0 count, then count records of 90 bytes.
 * An answer of the bare request size gives no cards. */
int VXQ_F_CLI_ParseNetInfo(const uint8_t *in_pMsg, size_t in_iLen, std::vector<_VXQ_S_CLI_CARD_INFO> *out_ptCards);
std::vector<uint8_t> VXQ_F_CLI_BuildModifyPwd(uint32_t in_dwTransNo, const std::string &in_sUser,
                                              const std::string &in_sOld, const std::string &in_sNew);
std::vector<uint8_t> VXQ_F_CLI_BuildAddUser(uint32_t in_dwTransNo, uint32_t in_dwLoginId, const std::string &in_sUser,
                                            const std::string &in_sPassword, const _VXQ_S_CLI_USER_POP *in_ptPop);
std::vector<uint8_t> VXQ_F_CLI_BuildDelUser(uint32_t in_dwTransNo, uint32_t in_dwLoginId, const std::string &in_sUser);
/* Get (in_ptPop null: zero rights) or set a user's rights, 320 bytes. */
std::vector<uint8_t> VXQ_F_CLI_BuildUserPop(uint16_t in_usFuncId, uint32_t in_dwTransNo, uint32_t in_dwLoginId,
                                            const std::string &in_sUser, const _VXQ_S_CLI_USER_POP *in_ptPop);
int VXQ_F_CLI_ParseUserPop(const uint8_t *in_pMsg, size_t in_iLen, _VXQ_S_CLI_USER_POP *out_ptPop);

/* ---- serial port ---- */
std::vector<uint8_t> VXQ_F_CLI_BuildComOpen(uint32_t in_dwTransNo, uint32_t in_dwLoginId, const uint32_t in_dwParam[6]);
std::vector<uint8_t> VXQ_F_CLI_BuildComClose(uint32_t in_dwTransNo, uint32_t in_dwLoginId, uint32_t in_dwValue1,
                                             uint32_t in_dwValue2);
std::vector<uint8_t> VXQ_F_CLI_BuildComSend(uint32_t in_dwTransNo, uint32_t in_dwLoginId, uint32_t in_dwValue1,
                                            uint32_t in_dwValue2, const std::vector<uint8_t> &in_tData);
/* Serial data notice 0x0924: its data (iComDataLen checked against the message). */
int VXQ_F_CLI_ParseComData(const uint8_t *in_pMsg, size_t in_iLen, std::vector<uint8_t> *out_ptData);

/* ---- custom, maintenance, upgrade ---- */
std::vector<uint8_t> VXQ_F_CLI_BuildCustom(uint32_t in_dwTransNo, uint32_t in_dwCustomId,
                                           const std::vector<uint8_t> &in_tData);
int VXQ_F_CLI_ParseCustom(const uint8_t *in_pMsg, size_t in_iLen, std::vector<uint8_t> *out_ptData);
std::vector<uint8_t> VXQ_F_CLI_BuildAbility(uint32_t in_dwTransNo, uint32_t in_dwLoginId, uint32_t in_dwKind);
int VXQ_F_CLI_ParseAbility(const uint8_t *in_pMsg, size_t in_iLen, std::string *out_psText);
/* Reboot, stop and version: body 0 the login id (version: body 28). */
std::vector<uint8_t> VXQ_F_CLI_BuildMaint(uint16_t in_usFuncId, uint32_t in_dwTransNo, uint32_t in_dwLoginId);
int VXQ_F_CLI_ParseVersion(const uint8_t *in_pMsg, size_t in_iLen, uint16_t out_usShort[4], uint32_t out_dwLong[4]);
std::vector<uint8_t> VXQ_F_CLI_BuildRequUpgrade(uint32_t in_dwTransNo, uint32_t in_dwLoginId, uint16_t in_usValue1,
                                                uint16_t in_usValue2, uint32_t in_dwValue);
/* Progress (0x0B23) or transfer position (0x0B24) query with its parameter. */
std::vector<uint8_t> VXQ_F_CLI_BuildUpgradeQuery(uint16_t in_usFuncId, uint32_t in_dwTransNo, uint32_t in_dwParam);
/* The 32-bit answer value of 0x0B22 (body 12), 0x0B23 and 0x0B24 (body 4). */
int VXQ_F_CLI_ParseUpgradeValue(const uint8_t *in_pMsg, size_t in_iLen, uint32_t *out_pdwValue);
std::vector<uint8_t> VXQ_F_CLI_BuildUpgradeData(uint32_t in_dwTransNo, uint32_t in_dwParam, const uint8_t *in_pData,
                                                size_t in_iLen);

#endif
