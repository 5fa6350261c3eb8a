/*
 * protocol/admission.h - admission rules against hostile clients.
 *
 * Owns the rules that keep scanners, lock-out attempts and guessers from
 * wearing the service down:
 * - Login is due 30 s after acceptance (or after a logout): a connection that
 *   is not logged in by then is dropped, whatever it sent. A connection that
 *   joined a session by quoting its live login id (media, talk, download)
 *   counts as logged in.
 * - When the 128-entry connection table is full, a new connection takes the
 *   place of the oldest connection that is not logged in, so holding
 *   connections open locks out neither logged-in users nor a new client.
 *   Both drops close the socket at once, without the usual linger for the
 *   queued answers, so dropped connections free their engine slot at once.
 * - Password guessing: login answers to a peer address that failed three
 *   times within a minute are held back one more second per failure (the
 *   answer is deferred on the connection, never slept on).
 * - Login id guessing. A login id is 32 random bits, so a guess is worth
 *   something only if the device tells hits from misses; every quote of a
 *   login id that is not the connection's own is therefore rationed. A
 *   connection quoting its own id is never held back. A quote of a live id
 *   whose session is logged in from the same peer address goes through at
 *   once, unless quotes from that address the session could not vouch for
 *   reached three within a minute. Every other quote is looked up only while
 *   the service-wide credit of 4 lookups a second (8 in a burst) lasts; when
 *   it is spent the request waits, unread, and is tried again every 100 ms.
 *   A lookup that finds the id costs no credit. A miss costs one: the
 *   connection's answers are then held 2 s each (a tarpit; it is not evicted
 *   for the new while one is held), and its third miss drops it. Its misses
 *   are forgiven after a minute without one.
 *   So the whole device answers at most about 4 guesses a second, from any
 *   number of connections and addresses: with 128 live ids of 2^32 a hit is
 *   expected after 2^32 / 128 / 4 s, about 97 days.
 *
 * Control thread only; no locks. The login failure table lives in the
 * instance (tLoginFail), like the quote credit; held answers are a heap
 * buffer of whole messages on the connection record (pDelayRespBuf), sent
 * when due or freed with the record. While answers are held or a quote
 * waits, the connection's later messages stay buffered, so answers never
 * overtake each other.
 */
#ifndef VXQ_PROTOCOL_ADMISSION_H
#define VXQ_PROTOCOL_ADMISSION_H

#include "core/conn.h"

#ifdef __cplusplus
extern "C" {
#endif

#define VXQ_DPS_LOGIN_DUE_SEC 30            /* login is due this long after acceptance or logout */
#define VXQ_DPS_LOGIN_FAIL_WINDOW_SEC 60    /* failures count within this window */
#define VXQ_DPS_LOGIN_FAIL_FREE_NUM 3       /* failures answered without delay */
#define VXQ_DPS_LOGIN_DELAY_MAX_SEC 30      /* longest hold of one answer */
#define VXQ_DPS_QUOTE_RATE 4                /* untrusted login id lookups per second, whole service */
#define VXQ_DPS_QUOTE_BURST 8               /* ... of which this many at once */
#define VXQ_DPS_TARPIT_SEC 2                /* hold of every answer of a connection that missed */
#define VXQ_DPS_UNKNOWN_LOGIN_ID_MAX 3      /* misses of one connection before the drop */
#define VXQ_DPS_UNKNOWN_LOGIN_ID_FORGIVE_SEC 60 /* misses are forgotten after this long without one */
#define VXQ_DPS_PROBE_MAX 3                 /* unvouched quotes from a session's address per window */
#define VXQ_DPS_PROBE_WINDOW_SEC 60

/* Verdicts of VXQ_F_DPS_MC_ADMIT_CheckQuote. */
#define VXQ_DPS_ADMIT_GO 0      /* handle the request now */
#define VXQ_DPS_ADMIT_WAIT 1    /* leave it at the front of the buffer, untouched; tried again later */
#define VXQ_DPS_ADMIT_DROPPED 2 /* the connection was dropped: do not touch it */

/* Seconds the next login answer to in_sPeerIpaddr must wait: the failures of the
 * current window beyond the third, at most 30; 0 for an address without failures. */
int32_t VXQ_F_DPS_MC_ADMIT_LoginDelaySec(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, const char *in_sPeerIpaddr);
/* Counts a login result of in_sPeerIpaddr: bFailed 1 adds a failure (a new window
 * starts 60 s after the first failure); 0 (a successful login) forgets the address. */
void VXQ_F_DPS_MC_ADMIT_NoteLogin(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, const char *in_sPeerIpaddr,
                                  int in_bFailed);
/* The connection logged out: its login is due 30 s from now, it is the newest
 * for eviction, and it no longer counts as joined. */
void VXQ_F_DPS_MC_ADMIT_NoteLogout(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn);
/* Appends a finished answer (in_pMsg, copied) to the connection's held
 * answers, due in_iDelaySec seconds from now at the latest of all held; in_bTarpit
 * marks a hold for an unknown login id. When memory is short (logged) the
 * answer is sent at once instead, so the client is never left without one.
 * 1 held or sent, 0 when that send failed. */
int VXQ_F_DPS_MC_ADMIT_HoldAnswer(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                                  uint8_t *in_pMsg, int32_t in_iLength, int32_t in_iDelaySec, int in_bTarpit);
/* 1 when the connection is logged in or joined a session. */
int VXQ_F_DPS_MC_ADMIT_IsAdmitted(const _VXQ_S_DPS_NET_PORT_DATA *in_pConn);
/* 1 while the connection's answers are to be held (it missed within the last
 * minute); forgets older misses. */
int VXQ_F_DPS_MC_ADMIT_IsTarpitted(_VXQ_S_DPS_NET_PORT_DATA *inout_pConn);
/* The login id rules for one request (wire order, at least 20 bytes, already
 * through the dispatcher's login and length rules). Requests that quote no
 * login id go. */
int VXQ_F_DPS_MC_ADMIT_CheckQuote(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                                  const uint8_t *in_pMsg, int32_t in_iLength);
/* The table is full: drops the oldest connection that is not logged in (and
 * holds no tarpit answer). 1 when one was dropped. */
int VXQ_F_DPS_MC_ADMIT_MakeRoom(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);
/* 1 s duty: sends the held answers that are due (and frames what waited behind
 * them), drops connections whose login is overdue. */
void VXQ_F_DPS_MC_ADMIT_DoSecondDuty(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);
/* Test seam: 0 turns the login id rules off (quotes go, nothing is held),
 * so the family tests see their handlers' own refusals of unknown ids at
 * once; 1, the default, on. Set it only while no service runs. */
void VXQ_F_DPS_MC_ADMIT_SetQuoteRules(int in_bOn);
/* 100 ms duty: lets waiting quotes be tried again while credit lasts, the
 * connections in turn. */
void VXQ_F_DPS_MC_ADMIT_DoTickDuty(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);
/* Registers the rules with the core: making room in a full table, the 1 s
 * and the 100 ms duties. */
void VXQ_F_DPS_MC_ADMIT_Install(_VXQ_S_DPS_HOOKS *inout_pHooks);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_PROTOCOL_ADMISSION_H */
