/*
 * core/instance.h - the service instance record and its start/stop layer.
 *
 * Owns _VXQ_S_DPS_MCSRV_DATA: one zero-initialised heap record per service,
 * made by VXQ_F_DPS_StartDevProNetServer and freed by
 * VXQ_F_DPS_StopDevProNetServer (service/service.h). The record embeds the
 * fixed tables the control thread works on (connections, transactions, talk
 * channels, trace clients), points to the media sub-channel table that media
 * makes and frees, and holds the hooks the layers above registered
 * (core/hooks.h); the modules that give those tables their behaviour
 * (core/conn, core/channel, media/, ops/, mgmt/) all take this record as
 * their first argument.
 *
 * Threads: the control thread alone touches the tables, the engine and the
 * timer words; the callback thread touches only the callback queue, its work
 * buffer and tLastCallbackStat. Host threads only put copies into hOrderQueue
 * or write one tuning word (iMediaDataBufSize and its siblings) without a lock.
 * Invariant: a table slot is found by the low 16 bits of an id whose upper 16
 * bits are random; every lookup compares the whole id, so stale ids miss.
 */
#ifndef VXQ_CORE_INSTANCE_H
#define VXQ_CORE_INSTANCE_H

#include "core/hooks.h"
#include "vxq_dps.h"
#include "vxq_queue.h"
#include "vxq_thread.h"

#include <stdint.h>

/* Table sizes and fixed settings of one instance. */
#define VXQ_DPS_MAX_CONN_NUM 128          /* connection table entries */
#define VXQ_DPS_PORT_SLOT_NUM 1024        /* the engine's socket table: low 16 bits of a port id */
#define VXQ_DPS_MAX_TRANS_NUM 2048        /* transaction table entries */
#define VXQ_DPS_TALK_CH_SLOT_NUM 65       /* talk channel slots 0..64 */
#define VXQ_DPS_SPECIAL_CH_NO 10000       /* the channel number of slot 64 while bSpecialChFlag is set */
#define VXQ_DPS_SPECIAL_CH_SLOT 64
#define VXQ_DPS_TRACE_CLIENT_NUM 6        /* UDP log subscribers */
#define VXQ_DPS_UDP_PORT 28460            /* management datagram port */
#define VXQ_DPS_ORDER_QUEUE_SIZE 1000
#define VXQ_DPS_CALLBACK_QUEUE_SIZE 1000
#define VXQ_DPS_RECVLOG_QUEUE_SIZE 500
#define VXQ_DPS_DEF_MEDIA_BUF_SIZE 10485760
#define VXQ_DPS_VERSION_SHOW "v2.4.2.5"

#ifdef __cplusplus
extern "C" {
#endif

struct _VXQ_S_DPS_NET_PORT_DATA;          /* core/conn.h */
struct _VXQ_S_DPS_TRANS_DATA;             /* core/channel.h */
struct _VXQ_S_DPS_MEDIA_CH_DATA;          /* media/subch.h */
struct _VXQ_S_NET_SELECT_MCSERVER_DATA;   /* the engine (VXQ_HNETSRV, vxq_netcom.h) */

/* One voice talk channel; all zero = free. Behaviour lives in ops/. */
typedef struct _VXQ_S_DPS_TALK_CH_DATA {
    int32_t iTalkChNo;        /* as the client sent it (10000 stays 10000) */
    int32_t iChState;         /* 0 idle, 2 waiting for the host, 3 talking */
    uint32_t dwStateTime;     /* seconds of the last iChState change */
    uint32_t dwLastAudioTime; /* seconds of the last client audio, 0 = none */
    int32_t iDevAudioCodecId;
    int32_t iDevAudioBitRate;
    int32_t iDevAudioSampleRate;
    int32_t iDevAudioChNum;
    uint32_t dwLoginId;
    uint32_t dwLoginPortId; /* the client's command connection */
    uint32_t dwTalkPortId;  /* the talk connection */
} _VXQ_S_DPS_TALK_CH_DATA;

/* One UDP log subscriber (trace client). Behaviour lives in mgmt/. */
typedef struct _VXQ_S_DPS_TRACE_CLIENT_DATA {
    uint16_t bUsed; /* 1 in use */
    uint16_t usPort;
    uint32_t dwIpAddr;
    int32_t tRefreshTime; /* seconds of the last add or refresh */
} _VXQ_S_DPS_TRACE_CLIENT_DATA;

/* Failed logins of one peer address within the current minute
 * (protocol/admission.cpp). */
#define VXQ_DPS_LOGIN_FAIL_SLOT_NUM 16
typedef struct _VXQ_S_DPS_LOGIN_FAIL_DATA {
    char szPeerIpaddr[16]; /* dotted text; empty = slot free */
    int32_t tFirstFail;    /* seconds of the first failure of the window */
    int32_t iFailNum;      /* failures since tFirstFail */
} _VXQ_S_DPS_LOGIN_FAIL_DATA;

/* The service instance (typedef in vxq_dps.h); the host's handle points to it. */
struct _VXQ_S_DPS_MCSRV_DATA {
    uint32_t bThreadRun; /* control thread runs while nonzero */
    VXQ_HTHREAD hThread;
    uint16_t usTcpPort;              /* protocol port; the bound port when 0 was given */
    _VXQ_S_DPS_DEV_CAP_INFO tDevCapInfo; /* copy of the host's capability record */
    VXQ_DPS_EVENT_CALLBACK fnEventCallback;
    void *pEventUser;
    VXQ_DPS_QUERY_USER_CALLBACK fnQueryUserCallback;
    void *pQueryUser;
    uint32_t bDebugLog;
    uint32_t bDebugMediaLog;
    int32_t iMediaDataBufSize; /* bytes of media allowed in the order and send queues */
    uint16_t usLogSrvPort;
    uint16_t bLogSrvStarted;
    uint32_t bShowRunState;         /* periodic statistics lines */
    uint8_t ucPwdMode;              /* 0 or 1, reported in the token answer */
    uint16_t usUdpPort;             /* always 28460 */
    int32_t iOnlySendIFrameTimeLen; /* seconds, 1..3600 */
    int32_t iMaxRealplayClientNum;  /* 1..64 */
    uint32_t bSavedDebugLog;        /* values the switches return to after a temporary change */
    uint32_t bSavedDebugMediaLog;
    uint32_t bSavedShowRunState;
    int32_t tDebugParamTime;   /* seconds of the temporary change, 0 = none */
    uint32_t bMnTraceDebugOff; /* host switch: trace and debug datagrams ignored, log not broadcast */
    struct _VXQ_S_NET_SELECT_MCSERVER_DATA *hNetSrv; /* engine (VXQ_HNETSRV) driven by the control thread */
    uint32_t dwTcpListenPortId;
    uint32_t dwUdpPortId;
    uint32_t dwServerId;             /* (seconds << 16) + random 16 bits */
    VXQ_HQUEUE hOrderQueue;          /* orders and frames from the host, 1000 */
    VXQ_HQUEUE hRecvLogQueue;        /* log writer records, 500 */
    uint32_t bCallbackThreadRun;
    VXQ_HTHREAD hCallbackThread;
    VXQ_HQUEUE hCallbackQueue; /* events for the host, 1000 */
    char *pCallbackBuf;        /* callback thread's reused work buffer */
    int32_t iCallbackBufSize;
    int32_t iCallbackDataLen;
    int32_t tLastCallbackStat; /* seconds of the last "Callback queue size" line, 0 = none */

    /* Control thread timer and statistics words. */
    int32_t iNetSendTotalLen; /* bytes in all send queues and client buffers (kept total) */
    uint32_t dwAlarmId;       /* alarm id counter */
    int32_t tLastSecond;      /* seconds of the last 1 s duty, 0 = none */
    int32_t tLastStatTime;    /* seconds of the last statistics line, 0 = none */
    uint32_t dwLastTick;      /* tick of the last 100 ms duty */
    char *pWorkBuf;           /* control thread's reused buffer for queue reads */
    int32_t iWorkBufSize;
    int32_t iWorkDataLen;
    uint32_t dwControlWorkKey; /* random key that marks internal control-work orders */

    _VXQ_S_DPS_TRACE_CLIENT_DATA tTraceClient[VXQ_DPS_TRACE_CLIENT_NUM];
    uint32_t dwLogLineNo; /* number of the next broadcast log line */

    /* Media resource accounting (media/). */
    int32_t bMediaResCtrl;
    float fMaxMediaResourceNum;
    float fMainMediaResourceLoss;
    float fReplayResourceLoss;

    /* The media sub-channel table (media/subch.h): media's start hook makes
     * it, its stop hook frees it; null before that. */
    struct _VXQ_S_DPS_MEDIA_CH_DATA *pMediaCh;
    _VXQ_S_DPS_TALK_CH_DATA tTalkCh[VXQ_DPS_TALK_CH_SLOT_NUM];
    struct _VXQ_S_DPS_NET_PORT_DATA *pConn[VXQ_DPS_MAX_CONN_NUM];
    /* Entries at and above this index are empty: the frame path's walks over
     * the viewers stop there (kept by the connection table's add and delete). */
    int32_t iConnEnd;
    uint8_t ucConnOfSlot[VXQ_DPS_PORT_SLOT_NUM]; /* engine slot -> connection index + 1, 0 = none */
    struct _VXQ_S_DPS_TRANS_DATA *pTrans[VXQ_DPS_MAX_TRANS_NUM];
    /* Taken by the control thread around every change of a pTrans entry (and of
     * a record's user fields), and by readers on other threads
     * (VXQ_F_DPS_QueryTransUser); the control thread reads without it. */
    VXQ_HMUTEX hTransLock;
    _VXQ_S_DPS_LOGIN_FAIL_DATA tLoginFail[VXQ_DPS_LOGIN_FAIL_SLOT_NUM]; /* control thread */
    /* Login id quotes (protocol/admission.cpp), control thread. */
    uint32_t dwAdmitSeq;                        /* order of admission: the next connection's dwAdmitSeq */
    int32_t iQuoteCredit;                       /* evaluations of untrusted quotes left, in thousandths */
    uint32_t dwQuoteCreditTick;                 /* tick of the last refill */
    uint32_t bQuoteCreditSet;                   /* iQuoteCredit was filled once */
    int32_t iQuoteWaitScan;                     /* where the next scan for waiting quotes starts */
    struct _VXQ_S_DPS_NET_PORT_DATA *pHoldConn; /* while set, this connection's in-place answers are held */

    /* What the layers above registered (core/hooks.h): filled before start. */
    _VXQ_S_DPS_HOOKS tHooks;
};

/* Start/stop layer; each takes the instance and returns 1/0. Control thread
 * not yet running (start) or already ended (stop), except where said. */

/* Creates the three queues and the transaction lock, has the media table made
 * (the fnMediaStart hook), sets the run words. */
int VXQ_F_DPS_MC_InitData(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);
/* Frees queues, connections, transactions, the media table (the fnMediaStop
 * hook) and work buffers; every step checks its own handle, so a
 * half-initialised instance is fine. */
void VXQ_F_DPS_MC_UninitData(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);
/* Runs the start steps in order; on failure the caller stops the instance. */
int VXQ_F_DPS_MC_StartMcServer(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);
/* Stops threads, engine and wait object, then frees everything; accepts a half start. */
void VXQ_F_DPS_MC_StopMcServer(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);
/* Engine without a thread, TCP listener (port 0 = any, read back), broadcast UDP socket. */
int VXQ_F_DPS_MC_StartNetServer(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);
void VXQ_F_DPS_MC_StopNetServer(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);

/* The engine's sink, registered with it at start (runs on the control thread
 * inside the engine pass): hands the record at once to
 * VXQ_F_DPS_MC_DoNetRecord, which may send and close through the engine
 * (net/selengine.h says why the pass stays sound). 1; 0 for a null user. */
int VXQ_F_DPS_NETCOM_EventCallback(void *in_pUser, const char *in_pRecord, int32_t in_iLength);

/* Writes one debug line when in_bOn (the instance's bDebugLog, with
 * bDebugMediaLog for media lines), and formats nothing otherwise: level 0
 * shows it (VXQ_F_LOG_SR_ShowInfo), another level writes it to the log. */
#define VXQ_DPS_DEBUG(in_bOn, in_iLevel, ...)                                                                \
    do {                                                                                                     \
        if (in_bOn)                                                                                          \
            VXQ_F_DPS_MC_DebugLine(in_iLevel, __VA_ARGS__);                                                  \
    } while (0)
void VXQ_F_DPS_MC_DebugLine(int in_iLevel, const char *in_sFormat, ...)
#if defined(__GNUC__) || defined(__clang__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

/* The device's channel numbering, shared by the media and talk tables: maps a
 * channel number as a client or the host sends it to a slot index: 10000 is
 * slot 64 when in_bSpecialChFlag is set, anything else is itself. The caller
 * checks the range (0..64). Inline: every frame and completion looks it up. */
static inline int VXQ_F_DPS_MC_MediaChTable_SlotIndex(int in_bSpecialChFlag, int in_iChNo)
{
    if (in_bSpecialChFlag && in_iChNo == VXQ_DPS_SPECIAL_CH_NO)
        return VXQ_DPS_SPECIAL_CH_SLOT;
    return in_iChNo;
}
/* The same for the instance's device: the slot, or -1 when it is outside 0..64. */
int32_t VXQ_F_DPS_MC_ChNoToSlot(const _VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData, int32_t in_iChNo);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_CORE_INSTANCE_H */
