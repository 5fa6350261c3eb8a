/*
 * cliwire.h - the byte-level vocabulary of the client side of UMSP: the 20-byte
 * message head, little-endian field access, the 12-byte date-time, the login
 * digest, the texts of the result codes and the media head of frame messages.
 *
 * Owns no state: every function is pure and any thread may call it. Message
 * buffers belong to the caller; builders return a fresh std::vector. Fields are
 * written and read byte by byte in little-endian order, so the client is right
 * on a big-endian host too. Readers never look past the length they are given.
 * This is tool code (C++ allowed): not part of the service library.
 */
#ifndef VXQ_CLIENT_CLIWIRE_H
#define VXQ_CLIENT_CLIWIRE_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

/* Head of every message on a client TCP connection. */
#define VXQ_CLI_HEAD_LEN 20u
#define VXQ_CLI_PACKET_FLAG 0xFFFFEEEEu
#define VXQ_CLI_PACKET_REQUEST 0u /* request or notice */
#define VXQ_CLI_PACKET_ANSWER 1u

/* Function ids the client sends or receives. */
#define VXQ_CLI_FN_HEARTBEAT 0x0001
#define VXQ_CLI_FN_GET_TOKEN 0x0101
#define VXQ_CLI_FN_LOGIN 0x0102
#define VXQ_CLI_FN_LOGOUT 0x0103
#define VXQ_CLI_FN_CLAIM 0x0104
#define VXQ_CLI_FN_REALPLAY_OPEN 0x0201
#define VXQ_CLI_FN_REALPLAY_CLOSE 0x0202
#define VXQ_CLI_FN_PTZ 0x0203
#define VXQ_CLI_FN_FORCE_I_FRAME 0x0204
#define VXQ_CLI_FN_EX_REALPLAY_OPEN 0x0221
#define VXQ_CLI_FN_EX_REALPLAY_CLOSE 0x0222
#define VXQ_CLI_FN_CTRL_STREAM 0x0223
#define VXQ_CLI_FN_ONLY_I_FRAME 0x0224
#define VXQ_CLI_FN_QUALITY_CAP 0x0225
#define VXQ_CLI_FN_QUALITY_GET 0x0226
#define VXQ_CLI_FN_QUALITY_SET 0x0227
#define VXQ_CLI_FN_QUERY_FILE 0x0301
#define VXQ_CLI_FN_DOWNLOAD_OPEN 0x0311
#define VXQ_CLI_FN_DOWNLOAD_CLOSE 0x0312
#define VXQ_CLI_FN_DOWNLOAD_GET 0x0313
#define VXQ_CLI_FN_DOWNLOAD_OPEN_BY_TIME 0x0318
#define VXQ_CLI_FN_TALK_START 0x0401
#define VXQ_CLI_FN_TALK_STOP 0x0402
#define VXQ_CLI_FN_GUARD 0x0501
#define VXQ_CLI_FN_UNGUARD 0x0502
#define VXQ_CLI_FN_ALARM 0x0503
#define VXQ_CLI_FN_EX_ALARM 0x0505
#define VXQ_CLI_FN_MODIFY_PWD 0x0901
#define VXQ_CLI_FN_GET_CONFIG 0x0902
#define VXQ_CLI_FN_SET_CONFIG 0x0903
#define VXQ_CLI_FN_GET_DEF_CONFIG 0x0904
#define VXQ_CLI_FN_IMP_CONFIG 0x0905
#define VXQ_CLI_FN_EXP_CONFIG 0x0906
#define VXQ_CLI_FN_QUERY_NET_INFO 0x0911
#define VXQ_CLI_FN_COM_OPEN 0x0921
#define VXQ_CLI_FN_COM_CLOSE 0x0922
#define VXQ_CLI_FN_COM_SEND 0x0923
#define VXQ_CLI_FN_COM_DATA 0x0924
#define VXQ_CLI_FN_ADD_USER 0x0931
#define VXQ_CLI_FN_DEL_USER 0x0932
#define VXQ_CLI_FN_GET_USER 0x0933
#define VXQ_CLI_FN_SET_USER 0x0934
#define VXQ_CLI_FN_CUSTOM 0x0A01
#define VXQ_CLI_FN_ABILITY 0x0B01
#define VXQ_CLI_FN_REBOOT 0x0B02
#define VXQ_CLI_FN_STOP 0x0B03
#define VXQ_CLI_FN_VERSION 0x0B21
#define VXQ_CLI_FN_REQU_UPGRADE 0x0B22
#define VXQ_CLI_FN_PROGRESS 0x0B23
#define VXQ_CLI_FN_TRANS_POS 0x0B24
#define VXQ_CLI_FN_UPGRADE_DATA 0x0B25
#define VXQ_CLI_FN_VIDEO_FRAME 0x0E01
#define VXQ_CLI_FN_AUDIO_FRAME 0x0E02

/* The head of one message, decoded to host order. */
typedef struct _VXQ_S_CLI_HEAD {
    uint32_t dwPacketFlag;
    uint32_t dwPacketSize; /* whole message, head included */
    uint16_t usMsgFuncId;
    uint8_t ucTypeByte;   /* byte 10 whole */
    uint8_t ucPacketType; /* bits 0-1 of byte 10: 0 request or notice, 1 answer */
    uint8_t ucResult;     /* UMSP result code of an answer */
    uint32_t dwTransNo;
    uint8_t ucReserved[4];
} _VXQ_S_CLI_HEAD;

/* Date and time as the wire carries it (12 bytes: u16 year, u16 month, then
 * day, hour, minute, second as bytes, then 4 bytes kept zero by the client). */
typedef struct _VXQ_S_CLI_TIME {
    uint16_t usYear;
    uint16_t usMonth;
    uint8_t ucDay;
    uint8_t ucHour;
    uint8_t ucMinute;
    uint8_t ucSecond;
} _VXQ_S_CLI_TIME;

/* The 12-byte media head of a frame message, decoded. */
typedef struct _VXQ_S_CLI_MEDIA_HEAD {
    int32_t bVideo;         /* 1 for 0x0E01, 0 for 0x0E02 */
    uint8_t ucCodecId;      /* low 4 bits of byte 20 */
    uint8_t ucFrameType;    /* video: bits 4-7 of byte 20, 1 = I-frame */
    uint16_t usWidth;       /* video: 12 bits */
    uint16_t usHeight;      /* video: 12 bits */
    uint8_t ucFrameRate;    /* video: 7 bits */
    uint16_t usBitRate;     /* video: 15 bits; audio: 16 bits */
    uint32_t dwSampleRate;  /* audio: 16 bits */
    uint8_t ucChannels;     /* audio: 2 bits */
    uint32_t dwTimeStampMs; /* bytes 28-31 */
    const uint8_t *pData;   /* points into the parsed message */
    uint32_t dwDataLen;
} _VXQ_S_CLI_MEDIA_HEAD;

#define VXQ_CLI_FRAME_TYPE_I 1

/* Little-endian field access; the caller keeps the offsets inside its buffer. */
void VXQ_F_CLI_PutU16(uint8_t *out_pDst, uint16_t in_usValue);
void VXQ_F_CLI_PutU32(uint8_t *out_pDst, uint32_t in_dwValue);
uint16_t VXQ_F_CLI_GetU16(const uint8_t *in_pSrc);
uint32_t VXQ_F_CLI_GetU32(const uint8_t *in_pSrc);

/* Copies at most in_iSize - 1 bytes of in_sText into a zeroed text field of
 * in_iSize bytes, so the field is always terminated. */
void VXQ_F_CLI_PutText(uint8_t *out_pDst, size_t in_iSize, const std::string &in_sText);

/* The text of a zero-terminated field of in_iSize bytes (stops at the size when
 * the field holds no zero). */
std::string VXQ_F_CLI_GetText(const uint8_t *in_pSrc, size_t in_iSize);

/* One message: head (flag, size 20 + body, function id, byte 10, result 0, the
 * transaction number, zero reserved bytes) and a copy of the body (in_pBody may
 * be null: the body is then zeroed). */
std::vector<uint8_t> VXQ_F_CLI_BuildMsg(uint16_t in_usFuncId, uint8_t in_ucTypeByte, uint32_t in_dwTransNo,
                                        const void *in_pBody, size_t in_iBodyLen);

/* Decodes the head of in_iLen bytes. Returns 0 when fewer than 20 bytes. */
int VXQ_F_CLI_ParseHead(const uint8_t *in_pMsg, size_t in_iLen, _VXQ_S_CLI_HEAD *out_ptHead);

/* 32 lowercase hexadecimal characters of MD5(token ":" password). */
std::string VXQ_F_CLI_LoginDigest(const std::string &in_sToken, const std::string &in_sPassword);

/* The meaning of a UMSP result code as the device names it ("Param error",
 * "Custom error: 151", ...). Never null. */
std::string VXQ_F_CLI_ResultText(uint8_t in_ucResult);

/* Writes / reads the 12-byte wire time at in_pDst / in_pSrc. */
void VXQ_F_CLI_PutTime(uint8_t *out_pDst, const _VXQ_S_CLI_TIME *in_ptTime);
void VXQ_F_CLI_GetTime(const uint8_t *in_pSrc, _VXQ_S_CLI_TIME *out_ptTime);

/* Parses "YYYY-MM-DD hh:mm:ss" (or "YYYY-MM-DDThh:mm:ss"); 1 when it is a
 * valid calendar time. */
int VXQ_F_CLI_ParseTimeText(const char *in_sText, _VXQ_S_CLI_TIME *out_ptTime);

/* "YYYY-MM-DD hh:mm:ss". */
std::string VXQ_F_CLI_TimeText(const _VXQ_S_CLI_TIME *in_ptTime);

/* Decodes a frame message (0x0E01 or 0x0E02, at least 32 bytes, size field
 * equal to in_iLen). Returns 0 for anything else. pData points into in_pMsg. */
int VXQ_F_CLI_ParseFrame(const uint8_t *in_pMsg, size_t in_iLen, _VXQ_S_CLI_MEDIA_HEAD *out_ptMedia);

/* Builds a frame message from a decoded media head (for tests and talk audio). */
std::vector<uint8_t> VXQ_F_CLI_BuildFrame(const _VXQ_S_CLI_MEDIA_HEAD *in_ptMedia);

#endif
