/*
 * vxq_dps_bodies.h - the body records of the service's events and orders.
 *
 * Each event the service raises and each order the host answers with starts
 * with _VXQ_S_DPS_MSG_HEAD (vxq_dps.h); the record of its body follows here,
 * one block per family: media input and the stream description, live view,
 * record search and download, talk and alarms, configuration, network and
 * users, the serial port, custom messages, maintenance and upgrade. Fields
 * i_ go towards the host, o_ come from it; every size and the offsets a host
 * relies on are checked at compile time. vxq_dps.h includes this header, so a
 * host includes vxq_dps.h alone.
 *
 * Byte order: host byte order; these records never go on the wire.
 */
#ifndef VXQ_DPS_BODIES_H
#define VXQ_DPS_BODIES_H

#include "vxq_dps.h"

VXQ_EXTERN_C_BEGIN

/* ---- Bodies: media input and stream description -------------------------- */

/* Video frame type 1 is an I-frame; every other value is a non-I frame. */
#define VXQ_DPS_FRAME_TYPE_I 1

/* Fixed parts of the frame orders; the frame data follows each. The input
 * functions build these; a host never needs to, but may read them. */
typedef struct _VXQ_S_DPS_E8_VIDEO_FRAME {
    uint16_t o_usChNo;
    uint16_t o_usStreamNo;
    uint16_t o_usFrameType;
    uint8_t ucReserved[2];
} _VXQ_S_DPS_E8_VIDEO_FRAME; /* 8 bytes */

typedef struct _VXQ_S_DPS_E8_AUDIO_FRAME {
    uint16_t o_usChNo;
    uint16_t o_usStreamNo;
} _VXQ_S_DPS_E8_AUDIO_FRAME; /* 4 bytes */

typedef struct _VXQ_S_DPS_E8_VIDEO_FRAME_EX {
    uint16_t o_usChNo;
    uint16_t o_usStreamNo;
    uint16_t o_usFrameType;
    uint8_t ucReserved[2];
    uint32_t o_dwTimeStamp; /* milliseconds; 0 = none */
    uint8_t ucReserved2[16];
} _VXQ_S_DPS_E8_VIDEO_FRAME_EX; /* 28 bytes */

typedef struct _VXQ_S_DPS_E8_AUDIO_FRAME_EX {
    uint16_t o_usChNo;
    uint16_t o_usStreamNo;
    uint32_t o_dwTimeStamp; /* milliseconds; 0 = none */
    uint8_t ucReserved[16];
} _VXQ_S_DPS_E8_AUDIO_FRAME_EX; /* 24 bytes */

/* The eleven stream description values, in the order of every body that
 * carries them (the codec change and the answer to an open-stream event). */
typedef struct _VXQ_S_DPS_STREAM_DESC {
    int32_t bVideoFlag;
    int32_t bAudioFlag;
    int32_t iVideoCodecId;
    int32_t iVideoFrameRate;
    int32_t iVideoBitRate;
    uint16_t usVideoWidth;
    uint16_t usVideoHeight;
    int32_t iAudioCodecId;
    int32_t iAudioBitRate;
    int32_t iAudioSampleRate;
    int32_t iAudioChNum;
} _VXQ_S_DPS_STREAM_DESC; /* 40 bytes */

/* EVENT_E2_MODIFY_CODEC order body, 48 bytes (VXQ_F_DPS_ModifyCodec builds it). */
typedef struct _VXQ_S_DPS_E2_MODIFY_CODEC {
    int32_t o_iChNo;
    int32_t o_iStreamNo;
    _VXQ_S_DPS_STREAM_DESC o_tDesc;
} _VXQ_S_DPS_E2_MODIFY_CODEC;

VXQ_DPS_LAYOUT_CHECK(VXQ_DPS_CHECK_E8_SIZES, sizeof(_VXQ_S_DPS_E8_VIDEO_FRAME) == 8 &&
                                                 sizeof(_VXQ_S_DPS_E8_AUDIO_FRAME) == 4 &&
                                                 sizeof(_VXQ_S_DPS_E8_VIDEO_FRAME_EX) == 28 &&
                                                 sizeof(_VXQ_S_DPS_E8_AUDIO_FRAME_EX) == 24);
VXQ_DPS_LAYOUT_CHECK(
    VXQ_DPS_CHECK_MODIFY_CODEC_48,
    sizeof(_VXQ_S_DPS_E2_MODIFY_CODEC) == 48 &&
        offsetof(_VXQ_S_DPS_E2_MODIFY_CODEC, o_tDesc) + offsetof(_VXQ_S_DPS_STREAM_DESC, usVideoWidth) ==
            28 &&
        offsetof(_VXQ_S_DPS_E2_MODIFY_CODEC, o_tDesc) + offsetof(_VXQ_S_DPS_STREAM_DESC, iAudioChNum) == 44);

/* ---- Bodies: live view events -------------------------------------------- */

/* EVENT_E2_OPEN_MEDIA_STREAM, 48 bytes, no transaction. The host answers with
 * the same id and the stream description filled in; that answer opens the
 * sub-channel whatever its result. */
typedef struct _VXQ_S_DPS_E2_OPEN_MEDIA_STREAM {
    int32_t i_iChNo;
    int32_t i_iStreamNo;
    _VXQ_S_DPS_STREAM_DESC o_tDesc; /* zero in the event */
} _VXQ_S_DPS_E2_OPEN_MEDIA_STREAM;

/* EVENT_E2_CLOSE_MEDIA_STREAM and EVENT_E2_FORCE_I_FRAME, 8 bytes, no transaction. */
typedef struct _VXQ_S_DPS_E2_CH_STREAM {
    int32_t i_iChNo;
    int32_t i_iStreamNo;
} _VXQ_S_DPS_E2_CH_STREAM;

/* EVENT_E2_PTZ_CTRL, 20 bytes, with a transaction; answered without a body. */
typedef struct _VXQ_S_DPS_E2_PTZ_CTRL {
    int32_t i_iChNo;
    int32_t i_iPtzCmd;
    uint32_t i_dwPtzData;
    uint32_t i_dwPtzExtParam1;
    uint32_t i_dwPtzExtParam2;
} _VXQ_S_DPS_E2_PTZ_CTRL;

/* One video quality capability entry, 28 bytes, passed through to the client. */
typedef struct _VXQ_S_DPS_VIDEO_QUALITY_CAP_ITEM {
    char sName[16]; /* at most 15 characters, zero-terminated */
    uint32_t dwValue;
    uint16_t usValue[4];
} _VXQ_S_DPS_VIDEO_QUALITY_CAP_ITEM;

/* EVENT_E2_GET_VIDEO_QUALITY_CAP, 232 bytes, with a transaction; the answer
 * carries the filled body. */
typedef struct _VXQ_S_DPS_E2_GET_VIDEO_QUALITY_CAP {
    uint16_t i_usChNo;
    uint16_t i_usStreamNo;
    int32_t o_iItemNum; /* entries used, at most 8 */
    _VXQ_S_DPS_VIDEO_QUALITY_CAP_ITEM o_tItems[8];
} _VXQ_S_DPS_E2_GET_VIDEO_QUALITY_CAP;

/* EVENT_E2_GET_VIDEO_QUALITY_LEVEL and EVENT_E2_SET_VIDEO_QUALITY_LEVEL, 8
 * bytes, with a transaction: the get answer fills dwLevel, the set event
 * carries it. */
typedef struct _VXQ_S_DPS_E2_VIDEO_QUALITY_LEVEL {
    uint16_t i_usChNo;
    uint16_t i_usStreamNo;
    uint32_t dwLevel;
} _VXQ_S_DPS_E2_VIDEO_QUALITY_LEVEL;

VXQ_DPS_LAYOUT_CHECK(VXQ_DPS_CHECK_LIVE_BODIES, sizeof(_VXQ_S_DPS_E2_OPEN_MEDIA_STREAM) == 48 &&
                                                    sizeof(_VXQ_S_DPS_E2_CH_STREAM) == 8 &&
                                                    sizeof(_VXQ_S_DPS_E2_PTZ_CTRL) == 20 &&
                                                    sizeof(_VXQ_S_DPS_VIDEO_QUALITY_CAP_ITEM) == 28 &&
                                                    sizeof(_VXQ_S_DPS_E2_GET_VIDEO_QUALITY_CAP) == 232 &&
                                                    sizeof(_VXQ_S_DPS_E2_VIDEO_QUALITY_LEVEL) == 8);

/* ---- Bodies: record search and download ------------------------------------ */

/* Record file information, 220 bytes: in the answers to EVENT_E2_FILE_QUERY
 * (o_iFileNum of them appended after the body) and inside the two open
 * bodies. Times are local date-times; the service passes every value through. */
typedef struct _VXQ_S_DPS_FILE_INFO {
    char sFileFlag[128];            /* 0: names the file, zero-terminated; a client opens it by this */
    int32_t iFileType;              /* 128 */
    int32_t iCreateMode;            /* 132: how the recording was started */
    int32_t iAlarmEvent;            /* 136: alarm event that caused it */
    _VXQ_S_TD_DATE_TIME tStartTime; /* 140: first data */
    _VXQ_S_TD_DATE_TIME tEndTime;   /* 152: last data */
    uint32_t dwFileTimeLen;         /* 164: length in time */
    uint32_t dwFileSize;            /* 168: bytes */
    int32_t bVideoFlag;             /* 172 */
    int32_t bAudioFlag;             /* 176 */
    int32_t bPictureFlag;           /* 180 */
    int32_t iVideoCodecId;          /* 184 */
    int32_t iVideoFrameRate;        /* 188 */
    int32_t iVideoBitRate;          /* 192 */
    uint16_t usVideoWidth;          /* 196 */
    uint16_t usVideoHeight;         /* 198 */
    int32_t iAudioCodecId;          /* 200 */
    int32_t iAudioBitRate;          /* 204 */
    int32_t iAudioSampleRate;       /* 208 */
    int32_t iAudioChNum;            /* 212 */
    int32_t iPictureFormat;         /* 216 */
} _VXQ_S_DPS_FILE_INFO;

/* Extended record file information, 192 bytes, appended o_iFileNum times to the
 * answer of EVENT_E2_NSP_FILE_QUERY. The service does not interpret it; it only
 * writes its multi-byte fields in wire order, by this layout (host order here):
 * 0 text of 128 bytes; 128 u16; 130..135 six bytes; 136 a date-time; 148 a
 * date-time; 160 u32; 164 u32; 168..171 four bytes; 172 u32; 176, 178, 180,
 * 182 u16 each; 184 u32; 188 u16; 190, 191 two bytes. */
#define VXQ_DPS_NSP_FILE_INFO_LEN 192

/* EVENT_E2_FILE_QUERY, 44 bytes, with a transaction. The answer appends
 * o_iFileNum _VXQ_S_DPS_FILE_INFO records after the body (iBodyLen included). */
typedef struct _VXQ_S_DPS_E2_FILE_QUERY {
    int32_t i_iChNo; /* -1: all channels */
    int32_t i_iFileType;
    int32_t i_iCreateMode;
    int32_t i_iAlarmEvent;
    _VXQ_S_TD_DATE_TIME i_tStartTime; /* 16 */
    _VXQ_S_TD_DATE_TIME i_tEndTime;   /* 28 */
    int32_t o_iFileNum;               /* 40: records appended; 0 in the event */
} _VXQ_S_DPS_E2_FILE_QUERY;

/* EVENT_E2_NSP_FILE_QUERY, 64 bytes, with a transaction. The answer appends
 * o_iFileNum extended records of VXQ_DPS_NSP_FILE_INFO_LEN bytes. */
typedef struct _VXQ_S_DPS_E2_NSP_FILE_QUERY {
    int32_t i_iChNo; /* -1: all channels */
    int32_t i_iStreamNo;
    int32_t i_iFileType;
    int32_t i_iCreateMode;
    uint8_t i_ucAlarmEventTable[16];  /* 16: the first i_iAlarmEventNum entries are set */
    int32_t i_iAlarmEventNum;         /* 32: 0..16 */
    _VXQ_S_TD_DATE_TIME i_tStartTime; /* 36 */
    _VXQ_S_TD_DATE_TIME i_tEndTime;   /* 48 */
    int32_t o_iFileNum;               /* 60 */
} _VXQ_S_DPS_E2_NSP_FILE_QUERY;

/* EVENT_E2_FILE_OPEN, 360 bytes, with a transaction. A successful answer
 * (o_dwFileReadId nonzero) makes the asking connection a download connection. */
typedef struct _VXQ_S_DPS_E2_FILE_OPEN {
    char i_sFileFlag[128];           /* always zero-terminated */
    uint32_t i_dwStartOffsetDataPos; /* 128 */
    uint32_t i_dwStartOffsetTimePos; /* 132 */
    uint32_t o_dwFileReadId;         /* 136: names the open file in every later file event */
    _VXQ_S_DPS_FILE_INFO o_tFileInfo; /* 140 */
} _VXQ_S_DPS_E2_FILE_OPEN;

/* EVENT_E2_FILE_OPEN_BY_TIME, 284 bytes, with a transaction; answered as FILE_OPEN. */
typedef struct _VXQ_S_DPS_E2_FILE_OPEN_BY_TIME {
    int32_t i_iChNo;
    int32_t i_iStreamNo;
    int32_t i_iFileType;
    int32_t i_iCreateMode;
    uint8_t i_ucAlarmEventTable[16];  /* 16: the first i_iAlarmEventNum entries are set */
    int32_t i_iAlarmEventNum;         /* 32: 0..16 */
    _VXQ_S_TD_DATE_TIME i_tStartTime; /* 36 */
    _VXQ_S_TD_DATE_TIME i_tEndTime;   /* 48 */
    uint32_t o_dwFileReadId;          /* 60 */
    _VXQ_S_DPS_FILE_INFO o_tFileInfo; /* 64 */
} _VXQ_S_DPS_E2_FILE_OPEN_BY_TIME;

/* EVENT_E2_FILE_CLOSE and EVENT_E2_FILE_RECOVER_ALLFRAME, 4 bytes. Answered
 * without a body. A close raised because a download connection went away
 * carries transaction id 0: its answer is not awaited. */
typedef struct _VXQ_S_DPS_E2_FILE_ID {
    uint32_t i_dwFileReadId;
} _VXQ_S_DPS_E2_FILE_ID;

/* EVENT_E2_FILE_READ, 40 bytes, with a transaction. The host may answer one
 * read with several orders of the same transaction id, each carrying data
 * after the body; the last one sets a nonzero data-end value. */
typedef struct _VXQ_S_DPS_E2_FILE_READ {
    uint32_t i_dwFileReadId;
    uint32_t i_dwRequId;              /* 4: the client's number of this read */
    uint8_t i_ucReqDataType;          /* 8 */
    uint8_t i_ucReqDataSize;          /* 9 */
    uint8_t o_ucRetDataType;          /* 10 */
    uint8_t o_ucFrameTypeAndDataEnd;  /* 11: VXQ_DPS_FILE_READ_ macros below */
    uint8_t o_ucMediaCodecId;         /* 12 */
    uint8_t o_ucVideoFrameRate;       /* 13 */
    uint8_t ucReserved[2];            /* 14 */
    uint32_t o_dwOffsetDataPos;       /* 16: position of the data in the file, bytes */
    uint32_t o_dwOffsetTimePos;       /* 20: the same by time */
    _VXQ_S_TD_DATE_TIME o_tDataTime;  /* 24 */
    uint32_t o_dwDataLen;             /* 36: data bytes after the body */
} _VXQ_S_DPS_E2_FILE_READ;

/* o_ucFrameTypeAndDataEnd: frame type in bits 0-3, data-end value in bits 4-5
 * (0 more answers follow, 1 end of file reached, 2 or 3 last answer). */
#define VXQ_DPS_FILE_READ_FRAME_TYPE(uc) ((uint8_t)((uc) & 0x0Fu))
#define VXQ_DPS_FILE_READ_DATA_END(uc) ((uint8_t)(((uc) >> 4) & 0x03u))
#define VXQ_DPS_FILE_READ_MAKE(frameType, dataEnd) \
    ((uint8_t)(((frameType) & 0x0Fu) | (((dataEnd) & 0x03u) << 4)))

/* EVENT_E2_FILE_SEEK, 8 bytes, with a transaction; answered without a body. */
typedef struct _VXQ_S_DPS_E2_FILE_SEEK {
    uint32_t i_dwFileReadId;
    uint32_t i_dwOffsetTimePos;
} _VXQ_S_DPS_E2_FILE_SEEK;

/* EVENT_E2_FILE_QVIDEO, 12 bytes, with a transaction. */
typedef struct _VXQ_S_DPS_E2_FILE_QVIDEO {
    uint32_t i_dwFileReadId;
    int32_t o_iVideoFrameRate;
    int32_t o_iVideoGop;
} _VXQ_S_DPS_E2_FILE_QVIDEO;

/* EVENT_E2_FILE_ONLY_IFRAME, 16 bytes, with a transaction. */
typedef struct _VXQ_S_DPS_E2_FILE_ONLY_IFRAME {
    uint32_t i_dwFileReadId;
    int32_t i_iDiscardIFrame;
    int32_t o_iVideoFrameRate;
    int32_t o_iVideoGop;
} _VXQ_S_DPS_E2_FILE_ONLY_IFRAME;

VXQ_DPS_LAYOUT_CHECK(VXQ_DPS_CHECK_FILE_INFO_220,
                     sizeof(_VXQ_S_DPS_FILE_INFO) == 220 && offsetof(_VXQ_S_DPS_FILE_INFO, tStartTime) == 140 &&
                         offsetof(_VXQ_S_DPS_FILE_INFO, dwFileTimeLen) == 164 &&
                         offsetof(_VXQ_S_DPS_FILE_INFO, usVideoWidth) == 196 &&
                         offsetof(_VXQ_S_DPS_FILE_INFO, iPictureFormat) == 216);
VXQ_DPS_LAYOUT_CHECK(VXQ_DPS_CHECK_FILE_QUERY_BODIES,
                     sizeof(_VXQ_S_DPS_E2_FILE_QUERY) == 44 &&
                         offsetof(_VXQ_S_DPS_E2_FILE_QUERY, o_iFileNum) == 40 &&
                         sizeof(_VXQ_S_DPS_E2_NSP_FILE_QUERY) == 64 &&
                         offsetof(_VXQ_S_DPS_E2_NSP_FILE_QUERY, i_iAlarmEventNum) == 32 &&
                         offsetof(_VXQ_S_DPS_E2_NSP_FILE_QUERY, o_iFileNum) == 60);
VXQ_DPS_LAYOUT_CHECK(VXQ_DPS_CHECK_FILE_OPEN_BODIES,
                     sizeof(_VXQ_S_DPS_E2_FILE_OPEN) == 360 &&
                         offsetof(_VXQ_S_DPS_E2_FILE_OPEN, o_dwFileReadId) == 136 &&
                         offsetof(_VXQ_S_DPS_E2_FILE_OPEN, o_tFileInfo) == 140 &&
                         sizeof(_VXQ_S_DPS_E2_FILE_OPEN_BY_TIME) == 284 &&
                         offsetof(_VXQ_S_DPS_E2_FILE_OPEN_BY_TIME, o_dwFileReadId) == 60 &&
                         offsetof(_VXQ_S_DPS_E2_FILE_OPEN_BY_TIME, o_tFileInfo) == 64);
VXQ_DPS_LAYOUT_CHECK(VXQ_DPS_CHECK_FILE_OP_BODIES,
                     sizeof(_VXQ_S_DPS_E2_FILE_ID) == 4 && sizeof(_VXQ_S_DPS_E2_FILE_READ) == 40 &&
                         offsetof(_VXQ_S_DPS_E2_FILE_READ, o_dwOffsetDataPos) == 16 &&
                         offsetof(_VXQ_S_DPS_E2_FILE_READ, o_tDataTime) == 24 &&
                         offsetof(_VXQ_S_DPS_E2_FILE_READ, o_dwDataLen) == 36 &&
                         sizeof(_VXQ_S_DPS_E2_FILE_SEEK) == 8 && sizeof(_VXQ_S_DPS_E2_FILE_QVIDEO) == 12 &&
                         sizeof(_VXQ_S_DPS_E2_FILE_ONLY_IFRAME) == 16);
/* ---- Bodies: voice talk, arming and alarms -------------------------------- */

/* EVENT_E2_TALK_START, 20 bytes. The event carries no transaction: dwTransId is
 * the client's own request number, and the answer must repeat it unchanged
 * (an answer with another number is taken for one of an earlier talk and
 * dropped). The answer fills the device's audio format; a nonzero result
 * refuses the talk and closes its connection. */
typedef struct _VXQ_S_DPS_E2_TALK_START {
    int32_t i_iTalkChNo; /* as the client sent it (10000 included) */
    int32_t o_iDevAudioCodecId;
    int32_t o_iDevAudioBitRate;
    int32_t o_iDevAudioSampleRate;
    int32_t o_iDevAudioChNum;
} _VXQ_S_DPS_E2_TALK_START;

/* EVENT_E2_TALK_STOP, 4 bytes: a client stopped, a talk timed out or its
 * connection went. The host may post it as an order itself to end a talk. */
typedef struct _VXQ_S_DPS_E2_TALK_STOP {
    int32_t i_iTalkChNo;
} _VXQ_S_DPS_E2_TALK_STOP;

/* MEDIA_E8_AUDIO_FRAME as an event (client talk audio), 4 bytes; the client's
 * audio data follows (iBodyLen - 4 bytes). Transaction id 0. */
typedef struct _VXQ_S_DPS_E8_TALK_AUDIO {
    uint16_t i_usTalkChNo; /* talk channel number, low 16 bits */
    uint8_t ucReserved[2]; /* 0 */
} _VXQ_S_DPS_E8_TALK_AUDIO;

/* EVENT_E2_GUARD and EVENT_E2_UNGUARD have no body; transaction id 0. */

/* EVENT_E2_ALARM_INFO order, 140 bytes (VXQ_F_DPS_UpAlarmMsg builds it). */
typedef struct _VXQ_S_DPS_E2_ALARM_INFO {
    int32_t o_iChNo;
    int32_t o_iAlarmEvent;
    uint32_t o_dwAlarmParam;
    char o_sAlarmMsg[128]; /* zero-terminated, at most 127 characters */
} _VXQ_S_DPS_E2_ALARM_INFO;

/* EVENT_E2_EX_ALARM_INFO order, 168 bytes (VXQ_F_DPS_SendAlarmMsg builds it).
 * The notice the clients get carries an alarm id made by the service instead
 * of o_sAlarmSrc. */
typedef struct _VXQ_S_DPS_E2_EX_ALARM_INFO {
    char o_sAlarmSrc[32]; /* zero-terminated, at most 31 characters */
    int32_t o_iChNo;
    int32_t o_iAlarmEvent;
    char o_sAlarmMsg[128]; /* zero-terminated, at most 127 characters */
} _VXQ_S_DPS_E2_EX_ALARM_INFO;

VXQ_DPS_LAYOUT_CHECK(VXQ_DPS_CHECK_TALK_ALARM_BODIES,
                     sizeof(_VXQ_S_DPS_E2_TALK_START) == 20 && sizeof(_VXQ_S_DPS_E2_TALK_STOP) == 4 &&
                         sizeof(_VXQ_S_DPS_E8_TALK_AUDIO) == 4 && sizeof(_VXQ_S_DPS_E2_ALARM_INFO) == 140 &&
                         offsetof(_VXQ_S_DPS_E2_ALARM_INFO, o_sAlarmMsg) == 12 &&
                         sizeof(_VXQ_S_DPS_E2_EX_ALARM_INFO) == 168 &&
                         offsetof(_VXQ_S_DPS_E2_EX_ALARM_INFO, o_iChNo) == 32 &&
                         offsetof(_VXQ_S_DPS_E2_EX_ALARM_INFO, o_sAlarmMsg) == 40);

/* ---- Bodies: configuration, network address and users --------------------- */

/* Every text field below is zero-terminated; the service copies at most the
 * field size less one character from the client. */

/* EVENT_E3_MODIFY_USER_PWD, 96 bytes: the client's three texts, passed through. */
typedef struct _VXQ_S_DPS_E3_MODIFY_USER_PWD {
    char i_sText1[32];
    char i_sText2[32];
    char i_sText3[32];
} _VXQ_S_DPS_E3_MODIFY_USER_PWD;

/* EVENT_E3_GET_CONFIG and EVENT_E3_SET_CONFIG, 8 bytes followed by
 * iConfigDataLen bytes of the configuration block (host byte order). The get
 * answer carries the same 8 bytes followed by the block read (its length is
 * iBodyLen - 8; iConfigDataLen of the answer is not read). */
typedef struct _VXQ_S_DPS_E3_CONFIG {
    int32_t i_iConfigFuncId;
    int32_t iConfigDataLen;
} _VXQ_S_DPS_E3_CONFIG;

/* EVENT_E3_GET_DEF_CONFIG, 12 bytes; the answer appends the default block
 * (iBodyLen - 12 bytes). */
typedef struct _VXQ_S_DPS_E3_GET_DEF_CONFIG {
    int32_t i_iConfigFuncId;
    uint32_t i_dwParam; /* the client's 32-bit parameter */
    uint32_t o_dwValue; /* the host's 32-bit output */
} _VXQ_S_DPS_E3_GET_DEF_CONFIG;

/* EVENT_E3_IEC_IMP_CONFIG, 4 bytes followed by i_iDataLen bytes of import data. */
typedef struct _VXQ_S_DPS_E3_IEC_IMP_CONFIG {
    int32_t i_iDataLen;
} _VXQ_S_DPS_E3_IEC_IMP_CONFIG;

/* EVENT_E3_IEC_EXP_CONFIG has no body; its answer is this 4-byte record
 * followed by the export data (iBodyLen - 4 bytes; o_iDataLen is not read). */
typedef struct _VXQ_S_DPS_E3_IEC_EXP_CONFIG {
    int32_t o_iDataLen;
} _VXQ_S_DPS_E3_IEC_EXP_CONFIG;

/* One network card as the wire carries it: 90 packed bytes, the 32-bit value
 * unaligned at 38 (host byte order in an order, little-endian on the wire). */
#define VXQ_DPS_CARD_INFO_WIRE_LEN 90

/* EVENT_E3_QUERY_NET_INFO, 4 bytes. Its answer body is o_iCardNum followed by
 * o_iCardNum packed 90-byte card records (iBodyLen >= 4 + o_iCardNum x 90). */
typedef struct _VXQ_S_DPS_E3_QUERY_NET_INFO {
    uint32_t i_dwParam; /* the client's 32-bit field; o_iCardNum in the answer */
} _VXQ_S_DPS_E3_QUERY_NET_INFO;

/* EVENT_E3_MODIFY_NET_ADDR, 92 bytes: one card, aligned. */
typedef struct _VXQ_S_DPS_E3_MODIFY_NET_ADDR {
    char i_sCardName[32];
    uint8_t i_ucMacAddr[6];
    uint8_t ucReserved[2]; /* 0 */
    uint32_t i_dwValue;
    char i_sAddr1[16];
    char i_sAddr2[16];
    char i_sAddr3[16];
} _VXQ_S_DPS_E3_MODIFY_NET_ADDR;

/* Permission words of one user: dwGlobalPop holds on every channel; the first
 * iChPopNum (0..64) words of dwChPop hold on channels 0..63, the rest are 0. */
typedef struct _VXQ_S_DPS_USER_POP {
    uint32_t dwGlobalPop;
    int32_t iChPopNum;
    uint32_t dwChPop[64];
} _VXQ_S_DPS_USER_POP;

/* EVENT_E3_UNS_ADD_USER, 328 bytes. */
typedef struct _VXQ_S_DPS_E3_UNS_ADD_USER {
    char i_sUserName[32];
    char i_sPassword[32];
    _VXQ_S_DPS_USER_POP i_tPop;
} _VXQ_S_DPS_E3_UNS_ADD_USER;

/* EVENT_E3_UNS_DEL_USER, 32 bytes. */
typedef struct _VXQ_S_DPS_E3_UNS_DEL_USER {
    char i_sUserName[32];
} _VXQ_S_DPS_E3_UNS_DEL_USER;

/* EVENT_E3_UNS_GET_USER_POP (the answer fills tPop) and
 * EVENT_E3_UNS_SET_USER_POP (the event carries it), 296 bytes. */
typedef struct _VXQ_S_DPS_E3_UNS_USER_POP {
    char i_sUserName[32];
    _VXQ_S_DPS_USER_POP tPop;
} _VXQ_S_DPS_E3_UNS_USER_POP;

VXQ_DPS_LAYOUT_CHECK(VXQ_DPS_CHECK_CONFIG_USER_BODIES,
                     sizeof(_VXQ_S_DPS_E3_MODIFY_USER_PWD) == 96 && sizeof(_VXQ_S_DPS_E3_CONFIG) == 8 &&
                         sizeof(_VXQ_S_DPS_E3_GET_DEF_CONFIG) == 12 && sizeof(_VXQ_S_DPS_E3_IEC_IMP_CONFIG) == 4 &&
                         sizeof(_VXQ_S_DPS_E3_IEC_EXP_CONFIG) == 4 && sizeof(_VXQ_S_DPS_E3_QUERY_NET_INFO) == 4 &&
                         sizeof(_VXQ_S_DPS_E3_MODIFY_NET_ADDR) == 92 &&
                         offsetof(_VXQ_S_DPS_E3_MODIFY_NET_ADDR, i_dwValue) == 40 &&
                         offsetof(_VXQ_S_DPS_E3_MODIFY_NET_ADDR, i_sAddr3) == 76 &&
                         sizeof(_VXQ_S_DPS_USER_POP) == 264 && sizeof(_VXQ_S_DPS_E3_UNS_ADD_USER) == 328 &&
                         offsetof(_VXQ_S_DPS_E3_UNS_ADD_USER, i_tPop) == 64 &&
                         sizeof(_VXQ_S_DPS_E3_UNS_DEL_USER) == 32 && sizeof(_VXQ_S_DPS_E3_UNS_USER_POP) == 296);

/* ---- Bodies: serial port pass-through ------------------------------------- */

/* In every serial body i_dwPortId / o_dwPortId names the client's connection
 * (its engine port id): the host keeps it from the open and quotes it in the
 * close and data orders it sends of its own accord. The line parameters and the
 * two values of close, write and data are the host's to define; the service
 * passes them through unchanged. */

/* EVENT_E3_COM_OPEN, 28 bytes, with a transaction; the answer needs no body. */
typedef struct _VXQ_S_DPS_E3_COM_OPEN {
    uint32_t i_dwPortId;
    uint32_t i_dwLineParam[6];
} _VXQ_S_DPS_E3_COM_OPEN;

#define VXQ_DPS_COM_CLOSE_BY_CLIENT 0      /* the client asked */
#define VXQ_DPS_COM_CLOSE_BY_RELEASE 1     /* the client's command connection went */

/* EVENT_E3_COM_CLOSE, 16 bytes, transaction id 0 (nothing waits for an answer).
 * As an order with ucMsgType 0 the host closes the port itself: the client of
 * dwPortId is told, with dwValue1 and dwValue2 (iCloseCause is not read). An
 * order with ucMsgType nonzero is taken for an answer and ignored. */
typedef struct _VXQ_S_DPS_E3_COM_CLOSE {
    uint32_t dwPortId;
    int32_t iCloseCause;                 /* VXQ_DPS_COM_CLOSE_BY_ */
    uint32_t dwValue1;                   /* 0 when the connection went */
    uint32_t dwValue2;
} _VXQ_S_DPS_E3_COM_CLOSE;

/* EVENT_E3_COM_SEND_DATA, 16 bytes followed by i_iDataLen (at least 1) bytes
 * the client wrote to the port; with a transaction, the answer needs no body. */
typedef struct _VXQ_S_DPS_E3_COM_SEND_DATA {
    uint32_t i_dwPortId;
    uint32_t i_dwValue1;
    uint32_t i_dwValue2;
    int32_t i_iDataLen;
} _VXQ_S_DPS_E3_COM_SEND_DATA;

/* EVENT_E3_COM_SUBS_DATA, an order only: 16 bytes followed by the bytes read
 * from the port (iBodyLen - 16, at least 1), sent to the client of o_dwPortId. */
typedef struct _VXQ_S_DPS_E3_COM_SUBS_DATA {
    uint32_t o_dwPortId;
    uint32_t o_dwValue1;
    uint32_t o_dwValue2;
    uint32_t dwReserved;                 /* not read */
} _VXQ_S_DPS_E3_COM_SUBS_DATA;

VXQ_DPS_LAYOUT_CHECK(VXQ_DPS_CHECK_SERIAL_BODIES,
                     sizeof(_VXQ_S_DPS_E3_COM_OPEN) == 28 && sizeof(_VXQ_S_DPS_E3_COM_CLOSE) == 16 &&
                         offsetof(_VXQ_S_DPS_E3_COM_CLOSE, dwValue1) == 8 &&
                         sizeof(_VXQ_S_DPS_E3_COM_SEND_DATA) == 16 &&
                         sizeof(_VXQ_S_DPS_E3_COM_SUBS_DATA) == 16);

/* ---- Bodies: custom messages, maintenance and upgrade ---------------------- */

/* The service reads none of these contents: the custom function ids, the
 * ability kinds and descriptions, the version values and the upgrade parameters
 * are the host's to define. Each event but reboot and stop carries a
 * transaction; its answer repeats the body with the o_ fields filled. */

/* EVENT_E7_CUSTOM, 8 bytes followed by iDataLen bytes of the client's data.
 * The answer's data follows its 8 bytes (iBodyLen - 8; iDataLen is not read). */
typedef struct _VXQ_S_DPS_E7_CUSTOM {
    uint32_t dwCustomFuncId;
    int32_t iDataLen;
} _VXQ_S_DPS_E7_CUSTOM;

/* EVENT_E7_RMY_QUERY_ABILITY, 8 bytes. The answer appends the ability
 * description (iBodyLen - 8 bytes, at least 1, else nothing is sent). */
typedef struct _VXQ_S_DPS_E7_RMY_QUERY_ABILITY {
    uint32_t i_dwAbility;
    uint32_t o_dwValue;
} _VXQ_S_DPS_E7_RMY_QUERY_ABILITY;

/* EVENT_E7_RMY_REBOOT and EVENT_E7_RMY_STOP have no body and transaction id 0:
 * the client was answered when the event was queued; answers are ignored. */

/* EVENT_E7_DUP_QUERY_DEV_VER_INFO, 24 bytes, all filled by the answer. */
typedef struct _VXQ_S_DPS_E7_DUP_QUERY_DEV_VER_INFO {
    uint16_t o_usVer[4];
    uint32_t o_dwVer[4];
} _VXQ_S_DPS_E7_DUP_QUERY_DEV_VER_INFO;

/* EVENT_E7_DUP_REQU_UPGRADE, 12 bytes. */
typedef struct _VXQ_S_DPS_E7_DUP_REQU_UPGRADE {
    uint16_t i_usValue1;
    uint16_t i_usValue2;
    uint32_t i_dwValue;
    uint32_t o_dwAnswer;
} _VXQ_S_DPS_E7_DUP_REQU_UPGRADE;

/* EVENT_E7_DUP_QUERY_PROGRESS and EVENT_E7_DUP_QUERY_TRANS_POS, 8 bytes: the
 * client's parameter, and the progress or the position to continue from. */
typedef struct _VXQ_S_DPS_E7_DUP_QUERY {
    uint32_t i_dwParam;
    uint32_t o_dwValue;
} _VXQ_S_DPS_E7_DUP_QUERY;

/* EVENT_E7_DUP_UPGRADE_DATA, 8 bytes followed by i_iDataLen (at least 1)
 * bytes of one piece of upgrade data; the answer needs no body. */
typedef struct _VXQ_S_DPS_E7_DUP_UPGRADE_DATA {
    uint32_t i_dwParam;
    int32_t i_iDataLen;
} _VXQ_S_DPS_E7_DUP_UPGRADE_DATA;

VXQ_DPS_LAYOUT_CHECK(VXQ_DPS_CHECK_MAINT_BODIES,
                     sizeof(_VXQ_S_DPS_E7_CUSTOM) == 8 && sizeof(_VXQ_S_DPS_E7_RMY_QUERY_ABILITY) == 8 &&
                         sizeof(_VXQ_S_DPS_E7_DUP_QUERY_DEV_VER_INFO) == 24 &&
                         offsetof(_VXQ_S_DPS_E7_DUP_QUERY_DEV_VER_INFO, o_dwVer) == 8 &&
                         sizeof(_VXQ_S_DPS_E7_DUP_REQU_UPGRADE) == 12 &&
                         offsetof(_VXQ_S_DPS_E7_DUP_REQU_UPGRADE, o_dwAnswer) == 8 &&
                         sizeof(_VXQ_S_DPS_E7_DUP_QUERY) == 8 && sizeof(_VXQ_S_DPS_E7_DUP_UPGRADE_DATA) == 8);

VXQ_EXTERN_C_END

#endif /* VXQ_DPS_BODIES_H */
