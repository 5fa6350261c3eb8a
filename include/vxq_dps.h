/*
 * vxq_dps.h - the device protocol service as the host application sees it.
 *
 * The host application starts one service instance, feeds it the encoded
 * frames of its channels, answers the events the service raises (each event
 * and its answering order start with _VXQ_S_DPS_MSG_HEAD) and stops it. The
 * instance is owned by the service from start to stop; the handle is opaque.
 *
 * Threads: every function here may be called from any host thread. Posting
 * functions (orders, frames, alarms, codec changes) copy the caller's bytes
 * into the instance's order queue and return; the caller keeps its buffers.
 * The setters write one word each. Callbacks run on the service's threads:
 * the event callback on its callback thread, the user lookup and the live
 * view admission callback on its control thread; each must return soon and
 * copy what it keeps (the buffers it is given are the service's). Inside any
 * callback the host may call every function here except start and stop:
 * queries the control thread answers are answered at once inside the user
 * lookup and admission callbacks (the control thread is the caller), and
 * posting functions do not wait for room there.
 *
 * Byte order: events, orders and the records below are in host byte order;
 * they never go on the wire. Results: 1 success, 0 failure, null handle on a
 * failed start.
 */
#ifndef VXQ_DPS_H
#define VXQ_DPS_H

#include "vxq_base.h"
#include "vxq_syshelp.h"

VXQ_EXTERN_C_BEGIN

/* Compile-time size and offset checks that hold in C99 and C++. */
#define VXQ_DPS_LAYOUT_CHECK(name, cond) typedef char name[(cond) ? 1 : -1]

/* ---- Handle and callbacks ---------------------------------------------- */

/* The service instance; only the service sees its fields. */
typedef struct _VXQ_S_DPS_MCSRV_DATA _VXQ_S_DPS_MCSRV_DATA;
typedef _VXQ_S_DPS_MCSRV_DATA *VXQ_DPS_HANDLE;

/* Event callback: one event (head and body) of in_iMsgLen bytes, valid only
 * during the call. Runs on the callback thread; its result is ignored. It may
 * call VXQ_F_DPS_SendDevProData (the order is only queued). */
typedef int (*VXQ_DPS_EVENT_CALLBACK)(void *in_pEventUser, const void *in_pMsg, int in_iMsgLen);

/* User record that the user lookup callback fills (332 bytes). The service
 * zeroes it before the call and keeps it for the life of the connection. */
typedef struct _VXQ_S_DPS_USER_INFO {
    char sUserName[32];       /* after a login: the name the client logged in with */
    char sPassword[40];       /* the user's password text, zero-terminated */
    uint32_t dwPopMask;       /* VXQ_DPS_POP_ bits granted on every channel */
    uint32_t dwChPopMask[64]; /* VXQ_DPS_POP_ bits per channel 0..63 */
} _VXQ_S_DPS_USER_INFO;

/* User lookup callback, during a login on the control thread: nonzero when the
 * user named in_sUserName exists, with *out_ptUserInfo filled. */
typedef int (*VXQ_DPS_QUERY_USER_CALLBACK)(void *in_pQueryUser, const char *in_sUserName,
                                           _VXQ_S_DPS_USER_INFO *out_ptUserInfo);

/* Rights bits of the user record. */
#define VXQ_DPS_POP_LIVE_VIEW 0x01u
#define VXQ_DPS_POP_PTZ 0x02u
#define VXQ_DPS_POP_TALK 0x04u
#define VXQ_DPS_POP_RECORD_SEARCH 0x08u
#define VXQ_DPS_POP_RECORD_DOWNLOAD 0x10u
#define VXQ_DPS_POP_ARMING 0x20u
#define VXQ_DPS_POP_READ_CONFIG 0x40u  /* checked on dwPopMask only */
#define VXQ_DPS_POP_WRITE_CONFIG 0x80u /* checked on dwPopMask only */

/* Record of the live view admission callback: five words. */
typedef struct _VXQ_S_DPS_REALPLAY_CHECK_DATA {
    uint32_t dwLoginId;
    uint32_t dwChNo; /* as the client sent it, 10000 included */
    uint32_t dwStreamNo;
    uint32_t dwAction; /* VXQ_DPS_REALPLAY_CHECK_OPEN or _CLOSE */
    uint32_t dwResult; /* 0 on entry; on an open, nonzero refuses the viewer */
} _VXQ_S_DPS_REALPLAY_CHECK_DATA;

#define VXQ_DPS_REALPLAY_CHECK_OPEN 0u
#define VXQ_DPS_REALPLAY_CHECK_CLOSE 1u

/* Live view admission callback, on the control thread when enabled by
 * bRealplayCheckFlag. Its return value is ignored; the answer is dwResult. */
typedef int (*VXQ_DPS_REALPLAY_CHECK_CALLBACK)(void *in_pRealplayCheckUser,
                                               _VXQ_S_DPS_REALPLAY_CHECK_DATA *inout_ptCheck);

/* ---- Capability record --------------------------------------------------- */

/* The device's capabilities, filled by the host and copied whole (sizeof) at
 * start. All integers are host order. The record ends with a function pointer
 * and its user pointer: on the 32-bit target they sit at offsets 116 and 120
 * and the record is 124 bytes; on a 64-bit host they are real 8-byte pointers,
 * so the record is larger there (136 bytes). Always pass this struct itself,
 * never a hand-made 124-byte block. */
typedef struct _VXQ_S_DPS_DEV_CAP_INFO {
    char sDevIdText[12];        /* 0: device identification, in login and search answers */
    char sDevText1[32];         /* 12: device text, in login and search answers */
    char sDevText2[32];         /* 44: device text, in login and search answers */
    int32_t iVideoChanNum;      /* 76: 1..64 */
    int32_t iAudioChanNum;      /* 80: 0..64 */
    int32_t iDevCapValue1;      /* 84: in login and search answers */
    int32_t iDevCapValue2;      /* 88: in login and search answers */
    int32_t iDevCapValue3;      /* 92: in login and search answers */
    int32_t iDevCapValue4;      /* 96: in the search answer */
    int32_t iSubProtoNum;       /* 100: 0..2, in the search answer */
    int32_t bSpecialChFlag;     /* 104: channel number 10000 is served by channel slot 64 */
    int32_t iDevCapValue5;      /* 108: low byte in the login answer */
    int32_t bRealplayCheckFlag; /* 112: call fnRealplayCheck before a live view opens */
    VXQ_DPS_REALPLAY_CHECK_CALLBACK fnRealplayCheck; /* 116 on 32-bit hosts */
    void *pRealplayCheckUser;                        /* 120 on 32-bit hosts */
} _VXQ_S_DPS_DEV_CAP_INFO;

VXQ_DPS_LAYOUT_CHECK(VXQ_DPS_CHECK_CAP_FLAG_AT_112,
                     offsetof(_VXQ_S_DPS_DEV_CAP_INFO, bRealplayCheckFlag) == 112);
VXQ_DPS_LAYOUT_CHECK(VXQ_DPS_CHECK_CAP_124_ON_32BIT,
                     sizeof(void *) != 4 || (offsetof(_VXQ_S_DPS_DEV_CAP_INFO, fnRealplayCheck) == 116 &&
                                             offsetof(_VXQ_S_DPS_DEV_CAP_INFO, pRealplayCheckUser) == 120 &&
                                             sizeof(_VXQ_S_DPS_DEV_CAP_INFO) == 124));
VXQ_DPS_LAYOUT_CHECK(VXQ_DPS_CHECK_USER_INFO_332, sizeof(_VXQ_S_DPS_USER_INFO) == 332);
VXQ_DPS_LAYOUT_CHECK(VXQ_DPS_CHECK_REALPLAY_CHECK_20, sizeof(_VXQ_S_DPS_REALPLAY_CHECK_DATA) == 20);

/* ---- Application messages: head, ids, result codes ----------------------- */

/* Head of every event (service to host) and order (host to service), 16 bytes;
 * iBodyLen bytes of body follow it. An answering order repeats the event's
 * iMsgFuncId and dwTransId and puts the host's error code in ucResult. */
typedef struct _VXQ_S_DPS_MSG_HEAD {
    int32_t iMsgFuncId;    /* 0: event or order id, below */
    uint8_t ucMsgType;     /* 4: 0 in events and in orders the host starts; 1 in answers */
    uint8_t ucResult;      /* 5: VXQ_DPS_APP_ERR_ code in an answer; 0 in events */
    uint8_t ucReserved[2]; /* 6: 0 */
    uint32_t dwTransId;    /* 8: repeated unchanged by the answer; 0 = none awaited */
    int32_t iBodyLen;      /* 12: body bytes after the head */
} _VXQ_S_DPS_MSG_HEAD;

VXQ_DPS_LAYOUT_CHECK(VXQ_DPS_CHECK_MSG_HEAD_16, sizeof(_VXQ_S_DPS_MSG_HEAD) == 16);
VXQ_DPS_LAYOUT_CHECK(VXQ_DPS_CHECK_MSG_HEAD_TRANS_AT_8, offsetof(_VXQ_S_DPS_MSG_HEAD, dwTransId) == 8);

#define VXQ_DPS_MSG_TYPE_REQUEST 0
#define VXQ_DPS_MSG_TYPE_ANSWER 1

/* Event and order ids. E2 media, records, talk and alarms; E3 configuration,
 * network, serial port and users; E7 custom and maintenance; E8 media frames.
 * An event and its answering order carry the same id. */
#define EVENT_E2_OPEN_MEDIA_STREAM 0x0201
#define EVENT_E2_CLOSE_MEDIA_STREAM 0x0202
#define EVENT_E2_PTZ_CTRL 0x0203
#define EVENT_E2_FORCE_I_FRAME 0x0204
#define EVENT_E2_MODIFY_CODEC 0x0205 /* order only: VXQ_F_DPS_ModifyCodec */
#define EVENT_E2_GET_VIDEO_QUALITY_CAP 0x0206
#define EVENT_E2_GET_VIDEO_QUALITY_LEVEL 0x0207
#define EVENT_E2_SET_VIDEO_QUALITY_LEVEL 0x0208
#define EVENT_E2_FILE_QUERY 0x0211
#define EVENT_E2_NSP_FILE_QUERY 0x0212
#define EVENT_E2_FILE_OPEN 0x0221
#define EVENT_E2_FILE_CLOSE 0x0222
#define EVENT_E2_FILE_READ 0x0223
#define EVENT_E2_FILE_SEEK 0x0224
#define EVENT_E2_FILE_QVIDEO 0x0225
#define EVENT_E2_FILE_ONLY_IFRAME 0x0226
#define EVENT_E2_FILE_RECOVER_ALLFRAME 0x0227
#define EVENT_E2_FILE_OPEN_BY_TIME 0x0228
#define EVENT_E2_TALK_START 0x0231
#define EVENT_E2_TALK_STOP 0x0232
#define EVENT_E2_GUARD 0x0241
#define EVENT_E2_UNGUARD 0x0242
#define EVENT_E2_ALARM_INFO 0x0243    /* order only: VXQ_F_DPS_UpAlarmMsg */
#define EVENT_E2_EX_ALARM_INFO 0x0244 /* order only: VXQ_F_DPS_SendAlarmMsg */
#define EVENT_E3_MODIFY_USER_PWD 0x0301
#define EVENT_E3_GET_CONFIG 0x0302
#define EVENT_E3_SET_CONFIG 0x0303
#define EVENT_E3_GET_DEF_CONFIG 0x0304
#define EVENT_E3_IEC_IMP_CONFIG 0x0305
#define EVENT_E3_IEC_EXP_CONFIG 0x0306
#define EVENT_E3_QUERY_NET_INFO 0x0311
#define EVENT_E3_MODIFY_NET_ADDR 0x0312
#define EVENT_E3_COM_OPEN 0x0321
#define EVENT_E3_COM_CLOSE 0x0322
#define EVENT_E3_COM_SEND_DATA 0x0323
#define EVENT_E3_COM_SUBS_DATA 0x0324 /* order only: serial data from the host */
#define EVENT_E3_UNS_ADD_USER 0x0331
#define EVENT_E3_UNS_DEL_USER 0x0332
#define EVENT_E3_UNS_GET_USER_POP 0x0333
#define EVENT_E3_UNS_SET_USER_POP 0x0334
#define EVENT_E7_CUSTOM 0x0701
#define EVENT_E7_RMY_QUERY_ABILITY 0x0721
#define EVENT_E7_RMY_REBOOT 0x0722 /* its answer is accepted and ignored */
#define EVENT_E7_RMY_STOP 0x0723   /* its answer is accepted and ignored */
#define EVENT_E7_DUP_QUERY_DEV_VER_INFO 0x0731
#define EVENT_E7_DUP_REQU_UPGRADE 0x0732
#define EVENT_E7_DUP_QUERY_PROGRESS 0x0733
#define EVENT_E7_DUP_QUERY_TRANS_POS 0x0734
#define EVENT_E7_DUP_UPGRADE_DATA 0x0735
#define MEDIA_E8_VIDEO_FRAME 0x0801    /* order: VXQ_F_DPS_InputVideoStream */
#define MEDIA_E8_AUDIO_FRAME 0x0802    /* order: VXQ_F_DPS_InputAudioStream; event: talk audio */
#define MEDIA_E8_VIDEO_FRAME_EX 0x0811 /* order: VXQ_F_DPS_InputVideoStreamEx */
#define MEDIA_E8_AUDIO_FRAME_EX 0x0812 /* order: VXQ_F_DPS_InputAudioStreamEx */

/* Application error codes the host puts in an answer's ucResult. Codes 150 to
 * 179 are the host's own and reach the client unchanged; any code not listed
 * reaches the client as "other". */
#define VXQ_DPS_APP_ERR_SUCCESS 0
#define VXQ_DPS_APP_ERR_NOT_SUPPORT 1
#define VXQ_DPS_APP_ERR_BAN_MODIFY 2
#define VXQ_DPS_APP_ERR_MSG_FUNC 3
#define VXQ_DPS_APP_ERR_PARAM 4
#define VXQ_DPS_APP_ERR_ID 5
#define VXQ_DPS_APP_ERR_OTHER 9
#define VXQ_DPS_APP_ERR_OPEN_STREAM 20
#define VXQ_DPS_APP_ERR_NOT_SUPPORT_SUB_STREAM 21
#define VXQ_DPS_APP_ERR_NOT_SUPPORT_PTZ 22
#define VXQ_DPS_APP_ERR_NOT_SUPPORT_FORCE_I_FRAME 23
#define VXQ_DPS_APP_ERR_NOT_SUPPORT_TALK 24
#define VXQ_DPS_APP_ERR_CHANNEL_NO 25
#define VXQ_DPS_APP_ERR_SUB_STREAM_NO 26
#define VXQ_DPS_APP_ERR_START_TALK 27
#define VXQ_DPS_APP_ERR_USER_NAME 28
#define VXQ_DPS_APP_ERR_PASSWORD 29
#define VXQ_DPS_APP_ERR_NO_PERMISSION 101
#define VXQ_DPS_APP_ERR_NO_SUBSCRIBE 102
#define VXQ_DPS_APP_ERR_QUERY_FILE 103
#define VXQ_DPS_APP_ERR_RESOURCE_USED 104
#define VXQ_DPS_APP_ERR_RESOURCE_NOT_OPEN 105
#define VXQ_DPS_APP_ERR_RESOURCE_NO_IDLE 106
#define VXQ_DPS_APP_ERR_RESOURCE_NO_EXIST 107
#define VXQ_DPS_APP_ERR_RESOURCE_OPEN 108
#define VXQ_DPS_APP_ERR_FILE_OPERATION 109
#define VXQ_DPS_APP_ERR_CUSTOM_FIRST 150
#define VXQ_DPS_APP_ERR_CUSTOM_LAST 179
#define VXQ_DPS_APP_ERR_SUCCESS_RESTART 200

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

/* ---- Bodies of the other families ------------------------------------------
 * Record search and download (EVENT_E2_FILE_*), talk and alarms
 * (EVENT_E2_TALK_*, EVENT_E2_GUARD, EVENT_E2_UNGUARD, EVENT_E2_ALARM_INFO,
 * EVENT_E2_EX_ALARM_INFO, talk audio MEDIA_E8_AUDIO_FRAME), configuration,
 * network and users (EVENT_E3_*), serial port (EVENT_E3_COM_*) and custom,
 * maintenance and upgrade (EVENT_E7_*) add their body records here, one block
 * per family, in the same style: fields i_ towards the host, o_ from the host,
 * a VXQ_DPS_LAYOUT_CHECK on every size. */

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

/* ---- Start, stop, orders --------------------------------------------------- */

/* Starts the service: TCP clients on in_usTcpPort, management datagrams on UDP
 * port 28460. in_pDevCapInfo is copied (sizeof bytes); the callbacks and their
 * user pointers are kept until stop. in_pLogDir may be null (the default log
 * folder); in_usLogSrvPort 0 starts no log port; in_iPwdMode is 0 or 1.
 * Returns the handle, or null on any failure (everything made is freed). */
VXQ_API VXQ_DPS_HANDLE
VXQ_F_DPS_StartDevProNetServer(uint16_t in_usTcpPort, const _VXQ_S_DPS_DEV_CAP_INFO *in_pDevCapInfo,
                               VXQ_DPS_EVENT_CALLBACK in_fnEventCallback, void *in_pEventUser,
                               VXQ_DPS_QUERY_USER_CALLBACK in_fnQueryUserCallback, void *in_pQueryUser,
                               int in_bDebugLog, int in_bDebugMediaLog, int in_bWriteLogToFile,
                               const char *in_pLogDir, uint16_t in_usLogSrvPort, int in_iPwdMode);

/* Stops the service (bounded waits for its threads), frees it and every
 * connection, transaction and queued message. A null handle only logs the stop
 * line. No callback runs after it returns; never call it from inside one (it
 * waits for the threads that run them). Returns 1. */
VXQ_API int VXQ_F_DPS_StopDevProNetServer(VXQ_DPS_HANDLE in_hDevProNetSrv);

/* Posts one order (_VXQ_S_DPS_MSG_HEAD and body, in_iDataLen bytes, copied),
 * waiting up to 5000 ms for room in the order queue (inside the user lookup or
 * admission callback not at all). Returns 1 when queued. */
VXQ_API int VXQ_F_DPS_SendDevProData(VXQ_DPS_HANDLE in_hDevProNetSrv, const void *in_pData, int in_iDataLen);

/* ---- Setters ----------------------------------------------------------------- */

/* Byte limit of frame data waiting in the order queue and the send queues:
 * 1048576..31457280 (default 10485760). Returns 1 when set. */
VXQ_API int VXQ_F_DPS_SetMediaDataBufSize(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_iMediaDataBufSize);

/* Byte limit of one sub-channel's frame cache: 0 (no own limit) or
 * 102400..31457280. Channel 10000 means slot 64 when bSpecialChFlag is set;
 * otherwise the channel is the slot, 0..64; stream 0..2. Returns 1 when set. */
VXQ_API int VXQ_F_DPS_SetMediaDataBufSizeByCh(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_iChNo, int in_iStreamNo,
                                              int in_iMediaDataBufSize);

/* Switches the periodic statistics lines on (nonzero) or off. */
VXQ_API int VXQ_F_DPS_SetShowRunState(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_bShowRunState);

/* Seconds (1..3600, default 60) a viewer whose send queue overflowed gets
 * I-frames only. */
VXQ_API int VXQ_F_DPS_SetOnlySendIFrameTimeLen(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_iIFrameTimeLen);

/* Most live view clients at once, 1..64 (default 64). */
VXQ_API int VXQ_F_DPS_SetMaxRealplayClientNum(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_iMaxClientNum);

/* Trace and debug datagrams on the management port (on by default). Anyone on
 * the network may send them: trace registers an address that then receives
 * every log line as a broadcast, debug switches the debug lines on for 10 s.
 * 0 switches both off: such datagrams are ignored without an answer and
 * registered trace clients are forgotten, so no log line leaves as a datagram
 * any more; nonzero switches them on again. Search and echo are always
 * answered. Returns 1 when set, 0 for a null handle. */
VXQ_API int VXQ_F_DPS_SetTraceDebugEnable(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_bEnable);

/* ---- Configuration file accessors (the INI store, for the host) ------------ */

/* Each passes its arguments unchanged to the VXQ_F_CONFIGMG_ function of the
 * same name (vxq_inistore.h) and returns its result. */
VXQ_API int VXQ_F_DPS_CA_GetString(const char *in_sSection, const char *in_sKey, const char *in_sDefault,
                                   char *out_sValue, int out_iSize, const char *in_sFile);
VXQ_API int VXQ_F_DPS_CA_GetInt(const char *in_sSection, const char *in_sKey, int in_iDefault,
                                const char *in_sFile);
VXQ_API double VXQ_F_DPS_CA_GetDouble(const char *in_sSection, const char *in_sKey, double in_fDefault,
                                      const char *in_sFile);
VXQ_API int VXQ_F_DPS_CA_SetString(const char *in_sSection, const char *in_sKey, const char *in_sValue,
                                   const char *in_sFile);
VXQ_API int VXQ_F_DPS_CA_SetInt(const char *in_sSection, const char *in_sKey, int in_iValue,
                                const char *in_sFile);
VXQ_API int VXQ_F_DPS_CA_SetDouble(const char *in_sSection, const char *in_sKey, double in_fValue,
                                   const char *in_sFile);

/* ---- Media input and media resources --------------------------------------- */

/* Each copies one encoded frame (in_iMediaDataLen > 0 bytes) into an order and
 * queues it without waiting. Returns 0 when the handle or the data is missing,
 * when the frame data already queued reaches the media byte limit, or when the
 * order queue is full: the frame is then lost. The time stamp is in
 * milliseconds, 0 = none (the service then derives one). */
VXQ_API int VXQ_F_DPS_InputVideoStream(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_iChNo, int in_iStreamNo,
                                       int in_iFrameType, const void *in_pMediaDataBuf, int in_iMediaDataLen);
VXQ_API int VXQ_F_DPS_InputAudioStream(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_iChNo, int in_iStreamNo,
                                       const void *in_pMediaDataBuf, int in_iMediaDataLen);
VXQ_API int VXQ_F_DPS_InputVideoStreamEx(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_iChNo, int in_iStreamNo,
                                         int in_iFrameType, uint32_t in_dwTimeStamp,
                                         const void *in_pMediaDataBuf, int in_iMediaDataLen);
VXQ_API int VXQ_F_DPS_InputAudioStreamEx(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_iChNo, int in_iStreamNo,
                                         uint32_t in_dwTimeStamp, const void *in_pMediaDataBuf,
                                         int in_iMediaDataLen);

/* Queues a new stream description of a sub-channel (the eleven values in body
 * order); frames sent after it is handled carry it. Returns 1 when queued. */
VXQ_API int VXQ_F_DPS_ModifyCodec(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_iChNo, int in_iStreamNo,
                                  int in_bVideoFlag, int in_bAudioFlag, int in_iVideoCodecId,
                                  int in_iVideoFrameRate, int in_iVideoBitRate, uint16_t in_usVideoWidth,
                                  uint16_t in_usVideoHeight, int in_iAudioCodecId, int in_iAudioBitRate,
                                  int in_iAudioSampleRate, int in_iAudioChNum);

/* Video frames now cached for an open sub-channel; 0 when it is not open or
 * the arguments are wrong. */
VXQ_API int VXQ_F_DPS_QueryCacheVideoFrameNum(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_iChNo,
                                              int in_iStreamNo);

/* Switches media resource accounting on (with the budget and the costs of a
 * main-stream viewer and of a replay client; a sub-stream viewer costs 1) or
 * off (in_bEnable 0). Switching on with a budget below what is in use drops
 * the newest media connections until it fits. Returns 1 when applied. */
VXQ_API int VXQ_F_DPS_ControlMediaResource(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_bEnable,
                                           float in_fMaxMediaResourceNum, float in_fMainMediaResourceLoss,
                                           float in_fReplayResourceLoss);

/* Reads the budget and the free amount (either pointer may be null). Returns 0
 * when accounting is off. */
VXQ_API int VXQ_F_DPS_GetFreeMediaResourceNum(VXQ_DPS_HANDLE in_hDevProNetSrv,
                                              float *out_pfMaxMediaResourceNum,
                                              float *out_pfFreeMediaResourceNum);

/* ---- Run state ---------------------------------------------------------------- */

/* What the service holds right now, counted by its control thread. A host (or a
 * test tool) reads it to see that records go away once their clients left. */
typedef struct _VXQ_S_DPS_RUN_STATE {
    int32_t iTcpConnNum;       /* client connection records (at most 128) */
    int32_t iTransNum;         /* requests waiting for the host's answer (at most 2048) */
    int32_t iTalkChNum;        /* talk channels not idle */
    int32_t iOpenSubChNum;     /* media sub-channels opening or open */
    int32_t iNetSendTotalLen;  /* bytes in the send queues and client buffers */
    int32_t iCallbackQueueNum; /* events not yet handed to the event callback */
    int64_t iOrderQueueLen;    /* bytes of orders and frames not yet taken */
} _VXQ_S_DPS_RUN_STATE;

/* Fills *out_ptRunState (zeroed first). The counts are taken on the control
 * thread, so a host thread waits up to 5000 ms for it; inside the user lookup
 * or admission callback they are taken at once. Returns 1 when filled, 0 on a
 * null argument or when the control thread did not answer in time. */
VXQ_API int VXQ_F_DPS_QueryRunState(VXQ_DPS_HANDLE in_hDevProNetSrv, _VXQ_S_DPS_RUN_STATE *out_ptRunState);

/* ---- Who asked ---------------------------------------------------------------- */

/* Size of the name buffer of VXQ_F_DPS_QueryTransUser: 32 characters and a zero. */
#define VXQ_DPS_USER_NAME_SIZE 33

/* Names the user behind the client request that an event's transaction id
 * (dwTransId of the event head, nonzero) stands for: the name that user logged
 * in with (zero-terminated) and the rights the service checked (dwPopMask of the
 * user record, the global word). The answer is the state when the request
 * arrived, as long as the request waits for the host's answer: after the
 * answering order is handled, or the transaction expired, the id names nobody.
 * Any thread, the event callback and the service's other callbacks included:
 * it never waits for the service's threads, only for a lock the control
 * thread holds for a few instructions. Either output may be null. Returns 1
 * with both filled; 0 (name empty, rights 0) for a null handle, an id that
 * names no waiting request, or a request from a connection without a login. */
VXQ_API int VXQ_F_DPS_QueryTransUser(VXQ_DPS_HANDLE in_hDevProNetSrv, uint32_t in_dwTransId,
                                     char out_sUserName[VXQ_DPS_USER_NAME_SIZE], uint32_t *out_pdwGlobalPop);

/* ---- Alarms ------------------------------------------------------------------ */

/* Queues an alarm (channel, event, parameter, text of at most 127 characters)
 * pushed to every command connection as the alarm notice. Returns 1 when queued. */
VXQ_API int VXQ_F_DPS_UpAlarmMsg(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_iChNo, int in_iAlarmEvent,
                                 uint32_t in_dwAlarmParam, const char *in_sAlarmMsg);

/* Queues an extended alarm (source text of at most 31 characters, channel,
 * event, text of at most 127) pushed to every command connection with its own
 * alarm id. Returns 1 when queued. */
VXQ_API int VXQ_F_DPS_SendAlarmMsg(VXQ_DPS_HANDLE in_hDevProNetSrv, const char *in_sAlarmSrc, int in_iChNo,
                                   int in_iAlarmEvent, const char *in_sAlarmMsg);

VXQ_EXTERN_C_END

#endif /* VXQ_DPS_H */
