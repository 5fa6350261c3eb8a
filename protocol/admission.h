/*
 * protocol/admission.h - admission rules against hostile clients.
 *
 * Owns three rules that keep scanners and password guessers from wearing the
 * service down: a connection that never identifies itself (still of unknown
 * type) is dropped after 30 s; login answers to a peer address that failed
 * three times within a minute are held back one more second per failure (the
 * answer is deferred on the connection, never slept on); a connection that
 * quotes a login id no connection holds three times is dropped, and a peer
 * address whose connections quoted unknown login ids nine times within a
 * minute may quote login ids for the rest of that minute only from a
 * connection that is logged in itself (a guesser reconnecting after every
 * drop gets nine guesses a minute, not thousands a second).
 *
 * Control thread only; no locks. The failure table lives in the instance
 * (tLoginFail); a held answer is a heap copy on the connection record
 * (pDelayRespBuf), freed when it is sent or when the record is deleted. While
 * an answer is held, the connection's later messages stay buffered, so answers
 * never overtake each other.
 */
#ifndef VXQ_PROTOCOL_ADMISSION_H
#define VXQ_PROTOCOL_ADMISSION_H

#include "core/conn.h"

#ifdef __cplusplus
extern "C" {
#endif

#define VXQ_DPS_IDLE_UNKNOWN_CONN_SEC 30   /* unknown-type connections live at most this long */
#define VXQ_DPS_LOGIN_FAIL_WINDOW_SEC 60   /* failures count within this window */
#define VXQ_DPS_LOGIN_FAIL_FREE_NUM 3      /* failures answered without delay */
#define VXQ_DPS_LOGIN_DELAY_MAX_SEC 30     /* longest hold of one answer */
#define VXQ_DPS_UNKNOWN_LOGIN_ID_MAX 3     /* quotes of an unknown login id before the drop */
#define VXQ_DPS_UNKNOWN_LOGIN_ID_ADDR_MAX 9 /* unknown quotes of one address per window before it is held off */

/* Seconds the next login answer to in_sPeerIpaddr must wait: the failures of the
 * current window beyond the third, at most 30; 0 for an address without failures. */
int32_t VXQ_F_DPS_MC_ADMIT_LoginDelaySec(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, const char *in_sPeerIpaddr);
/* Counts a login result of in_sPeerIpaddr: bFailed 1 adds a failure (a new window
 * starts 60 s after the first failure); 0 (a successful login) forgets the address. */
void VXQ_F_DPS_MC_ADMIT_NoteLogin(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, const char *in_sPeerIpaddr,
                                  int in_bFailed);
/* Holds a finished answer (in_pMsg, copied) on the connection for in_iDelaySec
 * seconds. 1 held; 0 when memory is short (logged), in which case the answer is
 * sent at once, so the client is never left without one. */
int VXQ_F_DPS_MC_ADMIT_HoldAnswer(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                                  uint8_t *in_pMsg, int32_t in_iLength, int32_t in_iDelaySec);
/* For requests whose body starts with a login id looked up among all connections:
 * counts a quote of an unknown nonzero id (for the connection and for its peer
 * address) and drops the connection at the third. While its address is held off
 * (nine unknown quotes within the window), a connection that is not logged in
 * itself is dropped at its first quote, before any lookup, so a guess learns
 * nothing. 1 when the connection was dropped (the caller must not touch it), else 0. */
int VXQ_F_DPS_MC_ADMIT_CheckQuotedLoginId(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                          _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, const uint8_t *in_pMsg,
                                          int32_t in_iLength);
/* 1 s duty: sends the held answers that are due (and frames what waited behind
 * them), drops unknown-type connections 30 s old. */
void VXQ_F_DPS_MC_ADMIT_DoSecondDuty(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_PROTOCOL_ADMISSION_H */
