/*
 * core/conn.h - client TCP connections: the record, the table, framing and sending.
 *
 * Owns _VXQ_S_DPS_NET_PORT_DATA, one zeroed heap record per accepted protocol
 * connection, kept in the instance's 128-entry table (any free entry; the
 * instance maps the engine slot, the low 16 bits of the port id, to it). The
 * table owns the records and everything they point to (token, user record,
 * reassembly buffer, stored request, held answers); VXQ_F_DPS_MC_NetPortData_Delete
 * frees them. The record shows its parts: the connection's and the session's
 * fields first, then one sub-record per family (tMedia, tAdmit, tHold, tTalk,
 * tAlarm, tDown, tSerial) that only that family writes; the core zeroes them
 * when the record is made.
 *
 * Whole framed messages go to the message sink, a released connection to the
 * families' connection-gone hooks, completions to the send-done hook and a
 * connection that finds the table full to the make-room hook (core/hooks.h).
 *
 * Control thread only; no locks. A message handler may release the connection
 * it was called for (or others): the framing loop re-reads the table after
 * every handler, so callers must not keep a record pointer across a call that
 * can drop connections (ActiveDisconnect, DoNetDisconnetEvent, Delete).
 *
 * Every protocol message leaves the device through VXQ_F_DPS_MC_SentNetData;
 * the message buffer always stays the caller's. Whatever was queued on a
 * connection before the service drops it still reaches the client before the
 * close: the record goes at once, and the engine writes the queue out and
 * closes the socket within VXQ_DPS_DROP_LINGER_MS.
 */
#ifndef VXQ_CORE_CONN_H
#define VXQ_CORE_CONN_H

#include "core/instance.h"
#include "wire/head.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Connection roles (iConnType). */
#define VXQ_DPS_CONN_NEW 0
#define VXQ_DPS_CONN_COMMAND 1
#define VXQ_DPS_CONN_MEDIA 2
#define VXQ_DPS_CONN_TALK 3
#define VXQ_DPS_CONN_DOWN 4

/* Send classes of VXQ_F_DPS_MC_SentNetData (engine data type of the queued item). */
#define VXQ_DPS_SEND_CLASS_PROTOCOL 0
#define VXQ_DPS_SEND_CLASS_VIDEO 10
#define VXQ_DPS_SEND_CLASS_AUDIO 11
#define VXQ_DPS_SEND_CLASS_FILE 12

struct _VXQ_S_NETCOM_DATA_HEAD; /* the engine's 64-byte event head (vxq_netcom.h) */

/* Longest time a dropped connection's queued bytes may take to reach a client
 * that does not read them, before its socket is closed anyway. */
#define VXQ_DPS_DROP_LINGER_MS 2000

/* An incomplete message announcing this many bytes or more drops the connection. */
#define VXQ_DPS_MAX_INCOMPLETE_LEN 0x100000u

/* A viewer's stream: the pacing of its frames (media/) and the state of the
 * open that made it (ops/live). */
typedef struct _VXQ_S_DPS_CONN_MEDIA {
    int32_t iStreamState;       /* 0 none, 1 waiting for the host, 2 streaming */
    uint32_t dwStreamStateTime; /* seconds of the last iStreamState change */
    uint32_t bRecvIFrame;       /* an I-frame was sent: later frames may follow */
    uint32_t bLossMode;         /* send budget overflowed: I-frames only */
    uint32_t dwLossModeTime;    /* seconds loss mode began */
    uint32_t bVideoPause;
    uint32_t bAudioPause; /* 1 at creation */
    uint32_t bOnlyIFrame;
    uint32_t dwSentNodeId; /* frame cache position */
    uint32_t dwNextNodeId;
    int32_t iSendingNum; /* frame messages outstanding in the engine */
    uint32_t dwTickBase; /* tick of the first frame sent (time stamps) */
    uint32_t dwSendSeq;  /* sequence of media sends, never 0 */
    char *pWaitRespBuf;  /* the open that waits for the host's answer */
    int32_t iWaitRespBufSize;
    int32_t iWaitRespLen;
} _VXQ_S_DPS_CONN_MEDIA;

/* The admission rules against hostile clients (protocol/admission). */
typedef struct _VXQ_S_DPS_CONN_ADMIT {
    int32_t tAdmitStart;        /* seconds of acceptance or of the last logout: login is due 30 s later */
    uint32_t dwAdmitSeq;        /* the same moment as an order: the lowest is the oldest */
    uint32_t dwJoinedLoginId;   /* the live login id it quoted and was let through with (a
                                 * session's media, talk or down connection), 0 none: it then
                                 * counts as logged in, and quoting that id is quoting its own */
    int32_t iUnknownLoginIdNum; /* quotes of a login id no connection holds (forgiven after a quiet minute) */
    int32_t tLastUnknownQuote;  /* seconds of the last of them */
    uint32_t bQuoteWait;        /* the message at the front quotes a login id and waits for credit */
    uint32_t bQuoteRetry;       /* that message is being tried again */
    int32_t iProbeNum;          /* logged-in connection: quotes from its address it could not vouch for */
    int32_t tFirstProbe;        /* seconds of the first of them in the current minute */
} _VXQ_S_DPS_CONN_ADMIT;

/* Answers held back (protocol/admission: a paced login's answer, or every
 * answer of a connection that quoted an unknown login id). */
typedef struct _VXQ_S_DPS_CONN_HOLD {
    char *pDelayRespBuf; /* whole messages; framing pauses while set */
    int32_t iDelayRespLen;
    int32_t iDelayRespBufSize;
    int32_t tDelayRespDue; /* seconds at which the held answers go out */
    uint32_t bTarpitHold;  /* held because of an unknown login id */
} _VXQ_S_DPS_CONN_HOLD;

typedef struct _VXQ_S_DPS_NET_PORT_DATA {
    /* The connection itself (core/conn). */
    uint32_t dwPortId;     /* engine port id; 0 once this side closed the socket */
    uint16_t usPortSlot;   /* engine slot of dwPortId (the instance maps it to this record) */
    char szPeerIpaddr[16]; /* dotted text, at most 15 characters */
    uint16_t usPeerPort;
    uint16_t usLocalPort;
    uint32_t dwConnId;     /* (random 16 bits << 16) | connection table index */
    int32_t iConnType;     /* VXQ_DPS_CONN_* */
    int32_t tCreateTime;   /* seconds the record was made */
    int32_t tLastRecvTime; /* seconds: creation, then every whole message */
    uint32_t bHeartbeat;   /* under heartbeat supervision */
    char *pRecvBuf;        /* reassembly buffer (growable) */
    int32_t iRecvBufSize;
    int32_t iRecvDataLen;

    /* The session it belongs to (protocol/session; the families read them). */
    uint32_t dwLoginId;              /* 0 = not logged in */
    char *pToken;                    /* access token text, heap */
    _VXQ_S_DPS_USER_INFO *pUserInfo; /* logged-in user's record, heap */
    uint32_t dwClaimId;              /* the value a channel claim or an extended open quoted */
    uint32_t dwLoginPortId;          /* media, talk, down: port id of the session's command connection */
    int32_t iChNo;                   /* channel served (media, talk, down) */
    int32_t iStreamNo;
    int32_t tOpenTime; /* seconds the stream or download was opened, 0 = not open */

    /* What each family keeps on the connection; only that family writes it. */
    _VXQ_S_DPS_CONN_MEDIA tMedia; /* media/ and ops/live */
    _VXQ_S_DPS_CONN_ADMIT tAdmit; /* protocol/admission */
    _VXQ_S_DPS_CONN_HOLD tHold;   /* protocol/admission */
    struct {
        uint32_t dwStartNo; /* the request number of the talk start (its answer repeats it) */
    } tTalk;                /* ops/talk_alarm */
    struct {
        uint32_t bGuard; /* this client armed the device */
    } tAlarm;            /* ops/talk_alarm */
    struct {
        uint32_t dwFileId; /* record file open for download, 0 = none */
    } tDown;               /* ops/record */
    struct {
        uint32_t bComOpen; /* this command connection opened the serial port */
    } tSerial;             /* ops/serial */
} _VXQ_S_DPS_NET_PORT_DATA;

/* Engine record handlers (VXQ_F_DPS_MC_DoNetRecord, inside the engine pass).
 * in_pData points in_iDataLen bytes behind the 64-byte head; both stay the
 * caller's. */
void VXQ_F_DPS_MC_DoNetEvent_CONNECT(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                     const struct _VXQ_S_NETCOM_DATA_HEAD *in_pHead, uint8_t *in_pData,
                                     int32_t in_iDataLen);
void VXQ_F_DPS_MC_DoNetEvent_DISCONNECT(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                        const struct _VXQ_S_NETCOM_DATA_HEAD *in_pHead, uint8_t *in_pData,
                                        int32_t in_iDataLen);
void VXQ_F_DPS_MC_DoNetEvent_DATA(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                  const struct _VXQ_S_NETCOM_DATA_HEAD *in_pHead, uint8_t *in_pData,
                                  int32_t in_iDataLen);
void VXQ_F_DPS_MC_DoNetEvent_CONNECT_RESULT(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                            const struct _VXQ_S_NETCOM_DATA_HEAD *in_pHead, uint8_t *in_pData,
                                            int32_t in_iDataLen);
void VXQ_F_DPS_MC_DoNetEvent_SEND_COMP_NOTIFY(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                              const struct _VXQ_S_NETCOM_DATA_HEAD *in_pHead,
                                              uint8_t *in_pData, int32_t in_iDataLen);

/* Makes the record for a new engine port id in the first free entry (a record
 * left on the same engine slot is deleted first); the instance maps the slot
 * (low 16 bits of the id, below 1024) to the entry. Null when the slot is out
 * of range, every entry is taken (see VXQ_F_DPS_MC_ADMIT_MakeRoom) or memory is short. */
_VXQ_S_DPS_NET_PORT_DATA *VXQ_F_DPS_MC_NetPortData_Create(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                          uint32_t in_dwPortId);
/* Clears the entry, hands the socket (if still open) to the engine to be closed
 * once what is queued on it was written (VXQ_DPS_DROP_LINGER_MS at most),
 * frees the record and all it holds. Raises no event: use
 * VXQ_F_DPS_MC_DoNetDisconnetEvent to release a live connection. */
void VXQ_F_DPS_MC_NetPortData_Delete(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                     _VXQ_S_DPS_NET_PORT_DATA *in_pConn);
/* Sets entry in_iIndex of the table to in_pConn (null clears it) and keeps
 * iConnEnd; the one place that writes the table's entries. */
void VXQ_F_DPS_MC_PutConnEntry(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iIndex,
                               _VXQ_S_DPS_NET_PORT_DATA *in_pConn);
/* Deletes every record (service stop). */
void VXQ_F_DPS_MC_NetPortData_ReleaseAllData(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);
/* The record whose whole dwPortId matches, or null. */
_VXQ_S_DPS_NET_PORT_DATA *VXQ_F_DPS_MC_NetPortData_QueryByPortId(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData,
                                                                 uint32_t in_dwPortId);
/* The command connection (type 1) logged in with this nonzero id, lowest index first, or null. */
_VXQ_S_DPS_NET_PORT_DATA *VXQ_F_DPS_MC_NetPortData_QueryByLoginId(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData,
                                                                  uint32_t in_dwLoginId);

/* Releases a connection that is gone or being dropped: a command connection's
 * session connections first, then the families' connection-gone hooks
 * (core/hooks.h), which release what each holds on the record and tell the
 * host, and then the record itself. */
void VXQ_F_DPS_MC_DoNetDisconnetEvent(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                      _VXQ_S_DPS_NET_PORT_DATA *in_pConn);
/* The service drops a connection: releases it as above; the answers already
 * queued on it still go out before its socket closes. in_pConn is freed on return. */
void VXQ_F_DPS_MC_ActiveDisconnect(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                   _VXQ_S_DPS_NET_PORT_DATA *in_pConn);

/* Queues one whole UMSP message (wire order; handed to the byte-order
 * translator first on big-endian hosts) on the connection with the given send class.
 * Classes 10 and 11 are dropped under the media budget (result 1, loss mode on).
 * 1 queued or dropped by the budget, 0 on failure (logged). */
int VXQ_F_DPS_MC_SentNetData(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *in_pConn,
                             uint8_t *inout_pMsg, int32_t in_iLength, int32_t in_iSendClass);
/* Sends the stored request (pWaitRespBuf) with ucResult written into it and frees it;
 * the send result, or 1 when nothing was stored. */
int VXQ_F_DPS_MC_SentWaitNetRespMsg(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                    _VXQ_S_DPS_NET_PORT_DATA *in_pConn, uint8_t in_ucResult);

/* Statistics over the connection table (control thread). */
int32_t VXQ_F_DPS_MC_StatNetSendQueueTotalLen(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData);
int32_t VXQ_F_DPS_MC_StatClientBufTotalLen(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData);
int32_t VXQ_F_DPS_MC_StatTcpConnNum(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData);
/* 1 if any connection has bGuard set. */
int VXQ_F_DPS_MC_CheckClientArmState(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData);
/* Frames and handles the whole messages already buffered on the connection
 * (after a held login answer went out). The record may be released on return. */
void VXQ_F_DPS_MC_ResumeFraming(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                _VXQ_S_DPS_NET_PORT_DATA *inout_pConn);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_CORE_CONN_H */
