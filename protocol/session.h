/*
 * protocol/session.h - the link and session messages and the rights check.
 *
 * Owns the session state that lives on a connection record: the access token
 * (pToken), the logged-in user's record (pUserInfo), the login id, the claim
 * value and the heartbeat flag. Tokens are freed when replaced; the user record
 * is replaced only by a successful login and freed by logout (the record owns
 * both and frees them when it is deleted).
 *
 * Control thread only. The handlers follow VXQ_PF_DPS_NETMSG_HANDLER
 * (core/functab.h): the dispatcher has checked the length their line in the
 * function table gives; each answers by rewriting the request in place and
 * sends it back on the same connection.
 * The random part of tokens comes from the kit's generator
 * (VXQ_F_SYS_GetRandom32), never from rand(); login ids, which open a session
 * to whoever quotes them, are 32 bits from the kernel's generator
 * (VXQ_F_SYS_GetSecureRandom), never 0 and never one a connection holds.
 */
#ifndef VXQ_PROTOCOL_SESSION_H
#define VXQ_PROTOCOL_SESSION_H

#include "protocol/dispatch.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The token field, terminator included (token body: 24 + 2 request bytes,
 * 26..27 version, 28 the token, 88 the password mode). */
#define VXQ_DPS_TOKEN_MAX_LEN 60

/* Heartbeat: a request is echoed as an answer and puts the connection under
 * heartbeat supervision (bHeartbeat 1); any other packet type is ignored. */
VXQ_DPS_DECLARE_NETMSG_HANDLER(P0_HEARTBEAT);
/* Token: makes a new access token for the connection (the old one is freed),
 * marks it a command connection and answers with the token and the password mode. */
VXQ_DPS_DECLARE_NETMSG_HANDLER(P1_VER_CONSULT_GET_TOKEN);
/* Login: checks user name, user lookup, token and digest in that order; success
 * sets dwLoginId and the user record and fills the device fields of the answer. */
VXQ_DPS_DECLARE_NETMSG_HANDLER(P1_LOGIN);
/* Logout: clears dwLoginId and the user record; the connection and token stay. */
VXQ_DPS_DECLARE_NETMSG_HANDLER(P1_LOGOUT);
/* Claim: stores the claim value and answers with the connection id. */
VXQ_DPS_DECLARE_NETMSG_HANDLER(P1_CLAIM_CHANNEL);

/* Test seam: the source of the 32 random bits of new login ids (null: the
 * kernel's generator). Set it only while no service runs. Returns the previous one. */
typedef uint32_t (*VXQ_PF_DPS_RANDOM32)(void);
VXQ_PF_DPS_RANDOM32 VXQ_F_DPS_MW_SetLoginIdRandom(VXQ_PF_DPS_RANDOM32 in_fnRandom);

/* Rights check of the operation families: 1 when the connection's user holds
 * in_dwPopBit (VXQ_DPS_POP_ bits, vxq_dps.h) for channel in_iChNo (-1 = the global word only), else 0.
 * Channel 10000 is always granted when bSpecialChFlag is set; a connection
 * without a user record is always refused. */
int VXQ_F_DPS_MC_APUP_PopCheck(const _VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData,
                               const _VXQ_S_DPS_NET_PORT_DATA *in_pConn, int32_t in_iChNo,
                               uint32_t in_dwPopBit);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_PROTOCOL_SESSION_H */
