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
 * Byte order: events, orders and their body records (vxq_dps_bodies.h, which
 * this header includes) are in host byte order; they never go on the wire.
 * Results: 1 success, 0 failure, null handle on a failed start.
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

/* The body records of the events and orders. */
#include "vxq_dps_bodies.h"

#endif /* VXQ_DPS_H */
