/*
 * protocol/dispatch.h - dispatch of every whole client message by function id.
 *
 * Owns the request table g_tDpsNetMsgTable (protocol/netmsgtab.cpp): one line
 * per client function id of the catalogue with its handler and the rules the
 * dispatcher applies before the handler runs (logged-in connection required,
 * fixed part of the message length, right on the user's global rights word).
 * A family adds its handlers by defining the
 * VXQ_F_DPS_MW_DoNetMsg_* functions declared below in its ops/ file and putting
 * their names into its lines of the table; the flags stay with the table.
 *
 * Control thread only. The message buffer is the connection's reassembly
 * buffer: handlers may rewrite it in place and send it back as the answer, but
 * must not keep it after returning. Handlers may release connections (see
 * core/conn.h): after a handler returns the connection pointer may be stale.
 *
 * Answers built here change only the type bits and the result byte of the head
 * (wire/head.h); a message that is not a request (type bits other than 0)
 * is never answered by the dispatcher.
 */
#ifndef VXQ_PROTOCOL_DISPATCH_H
#define VXQ_PROTOCOL_DISPATCH_H

#include "core/conn.h"

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A request handler: one whole message of in_iLength bytes (at least the
 * table's iMinMsgLen, at least 20). Returns 1 handled, 0 failed (already logged). */
typedef int (*VXQ_PF_DPS_NETMSG_HANDLER)(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                         _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                                         uint8_t *inout_pMsg, int32_t in_iLength);

/* Rules of a table line (ucFlags bits). */
#define VXQ_DPS_NETMSG_NEED_LOGIN 0x01u /* refused with result 6 unless the connection's dwLoginId is nonzero */
#define VXQ_DPS_NETMSG_NO_ANSWER 0x02u  /* never answered by the dispatcher (frames): refusals drop it silently */

/* One line of the request table; the table is constant. */
typedef struct _VXQ_S_DPS_NETMSG_ENTRY {
    uint16_t usMsgFuncId;
    uint8_t ucFlags;                  /* VXQ_DPS_NETMSG_ bits */
    int32_t iMinMsgLen;               /* whole message incl. head; shorter requests get result 2 */
    VXQ_PF_DPS_NETMSG_HANDLER fnHandler; /* null: the family is not built, requests get result 40 */
    /* Right the user behind the connection must hold on its global word
     * (VXQ_DPS_POP_ bit, vxq_dps.h; 0 = none). Missing: result 5, no event, and
     * "Receiving network data: <sOperText> fail, cause: without permission.".
     * Checked only on a connection that carries a login id: a line with a right
     * refuses connections without one by NEED_LOGIN or in its handler (6). */
    uint32_t dwPopBit;
    const char *sOperText;            /* the operation as its receipt line names it */
} _VXQ_S_DPS_NETMSG_ENTRY;

/* The table, terminated by a line with id 0 (protocol/netmsgtab.cpp). */
extern const _VXQ_S_DPS_NETMSG_ENTRY g_tDpsNetMsgTable[];

/* The table line of a function id, or null for an id the service does not know. */
const _VXQ_S_DPS_NETMSG_ENTRY *VXQ_F_DPS_MW_QueryNetMsgEntry(uint16_t in_usMsgFuncId);

/* Sends a whole message (class 0) on the connection; a failure is logged as
 * in_sHandlerName followed by " VXQ_F_DPS_MC_SentNetData fail.". Returns the send result. */
int VXQ_F_DPS_MW_SendNetAnswer(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                               uint8_t *inout_pMsg, int32_t in_iLength, const char *in_sHandlerName);

/* Turns the request (at least 20 bytes) into its answer in place with
 * in_ucResult and sends all in_iLength bytes back; logs as above. */
int VXQ_F_DPS_MW_AnswerInPlace(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                               uint8_t *inout_pMsg, int32_t in_iLength, uint8_t in_ucResult,
                               const char *in_sHandlerName);

/* The length rule every handler applies before it reads or writes its body:
 * 1 when in_iLength >= in_iMinLen; else a request is answered in place with
 * result 2 (nothing past in_iLength is touched), anything else is dropped, and 0 is returned. */
int VXQ_F_DPS_MW_CheckMsgLen(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                             uint8_t *inout_pMsg, int32_t in_iLength, int32_t in_iMinLen,
                             const char *in_sHandlerName);

/* The message sink of the core (core/hooks.h): handles one whole message of
 * in_iLength bytes (>= 20, flag checked) cut from the connection's reassembly
 * buffer. The handler may rewrite the message in place and send it back, and
 * may release connections; it must not keep the buffer. 1 handled, 0 failed. */
int VXQ_F_DPS_MW_DoSingleNetDataPacket(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                       _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                                       uint8_t *inout_pMsg, int32_t in_iLength);

/* Registers the dispatcher as the message sink. Every answer of this module
 * and the session goes through the instance's fnNetSend seam when a test put
 * one there, else through VXQ_F_DPS_MC_SentNetData. */
void VXQ_F_DPS_MW_Dispatch_Install(_VXQ_S_DPS_HOOKS *inout_pHooks);

/* Request handlers of the operation families (ops/), each defined in its
 * family's file and entered into its line of g_tDpsNetMsgTable. Same contract
 * as VXQ_PF_DPS_NETMSG_HANDLER. */
#define VXQ_DPS_DECLARE_NETMSG_HANDLER(name)                                                       \
    int VXQ_F_DPS_MW_DoNetMsg_##name(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,                      \
                                     _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,   \
                                     int32_t in_iLength)
/* live view */
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_REALPLAY_OPEN);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_REALPLAY_CLOSE);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_PTZ);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_FORCE_I_FRAME);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_EX_REALPLAY_OPEN);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_EX_REALPLAY_CLOSE);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_CTRL_STREAM);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_ONLY_I_FRAME);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_GET_VIDEO_QUALITY_CAP);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_GET_VIDEO_QUALITY_LEVEL);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_SET_VIDEO_QUALITY_LEVEL);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_RM_REALPLAY_OPEN);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P2_RM_REALPLAY_CLOSE);
/* records */
VXQ_DPS_DECLARE_NETMSG_HANDLER(P3_QUERY_FILE);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P3_NSP_QUERY_FILE);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P3_DOWNLOAD_OPEN);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P3_DOWNLOAD_CLOSE);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P3_DOWNLOAD_GET);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P3_DOWNLOAD_SEEK);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P3_DOWNLOAD_QVIDEO);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P3_DOWNLOAD_ONLY_IFRAME);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P3_DOWNLOAD_RECOVER_ALLFRAME);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P3_DOWNLOAD_OPEN_BY_TIME);
/* talk and alarms */
VXQ_DPS_DECLARE_NETMSG_HANDLER(P4_TALK_START);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P4_TALK_STOP);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P5_GUARD);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P5_UNGUARD);
/* configuration, network, users */
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_MODIFY_USER_PWD);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_GET_CONFIG);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_SET_CONFIG);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_GET_DEF_CONFIG);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_IEC_IMP_CONFIG);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_IEC_EXP_CONFIG);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_QUERY_NET_INFO);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_MODIFY_NET_ADDR);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_UNS_ADD_USER);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_UNS_DEL_USER);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_UNS_GET_USER_POP);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_UNS_SET_USER_POP);
/* serial port */
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_COM_OPEN);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_COM_CLOSE);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_COM_SEND_DATA);
VXQ_DPS_DECLARE_NETMSG_HANDLER(P9_COM_SUBS_DATA);
/* custom, maintenance, upgrade */
VXQ_DPS_DECLARE_NETMSG_HANDLER(PA_CUSTOM);
VXQ_DPS_DECLARE_NETMSG_HANDLER(PB_RMY_QUERY_ABILITY);
VXQ_DPS_DECLARE_NETMSG_HANDLER(PB_RMY_REBOOT);
VXQ_DPS_DECLARE_NETMSG_HANDLER(PB_RMY_STOP);
VXQ_DPS_DECLARE_NETMSG_HANDLER(PB_DUP_QUERY_DEV_VER_INFO);
VXQ_DPS_DECLARE_NETMSG_HANDLER(PB_DUP_REQU_UPGRADE);
VXQ_DPS_DECLARE_NETMSG_HANDLER(PB_DUP_QUERY_PROGRESS);
VXQ_DPS_DECLARE_NETMSG_HANDLER(PB_DUP_QUERY_TRANS_POS);
VXQ_DPS_DECLARE_NETMSG_HANDLER(PB_DUP_UPGRADE_DATA);
/* media frames from a client */
VXQ_DPS_DECLARE_NETMSG_HANDLER(PE_VIDEO_FRAME);
VXQ_DPS_DECLARE_NETMSG_HANDLER(PE_AUDIO_FRAME);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_PROTOCOL_DISPATCH_H */
