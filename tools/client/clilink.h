/*
 * clilink.h - one client TCP connection to a device: connect by host name or
 * address, send whole messages, read whole messages with a deadline, match an
 * answer to its request, and the session steps (token, login, heartbeat).
 *
 * One thread uses one link record at a time. The record owns its socket and
 * its reassembly buffer; VXQ_F_CLI_Close releases them (safe to call twice).
 * Results: 1 success, 0 failure. Every failure leaves its cause in iError
 * (VXQ_CLI_ERR_...), which VXQ_F_CLI_ErrorText names for a user. Messages that
 * arrive while a call waits for a different answer (alarm notices, serial data)
 * are kept in tNotices in arrival order, never dropped. The heartbeat period
 * is a rule and reads the service clock (vxq_clock.h), so tests drive it with
 * the manual clock; socket waits use the steady clock.
 */
#ifndef VXQ_CLIENT_CLILINK_H
#define VXQ_CLIENT_CLILINK_H

#include "clibody.h"

#include <stdint.h>

#include <deque>
#include <string>
#include <vector>

/* Causes of a failed link operation. */
enum {
    VXQ_CLI_ERR_NONE = 0,
    VXQ_CLI_ERR_RESOLVE = 1,  /* the host name does not resolve */
    VXQ_CLI_ERR_REFUSED = 2,  /* nobody listens on that port */
    VXQ_CLI_ERR_TIMEOUT = 3,  /* no connection or no answer in time */
    VXQ_CLI_ERR_CLOSED = 4,   /* the device closed the connection */
    VXQ_CLI_ERR_PROTOCOL = 5, /* a malformed message (bad flag or size, answer that does not fit) */
    VXQ_CLI_ERR_SOCKET = 6,   /* any other socket failure (errno kept in iSysErr) */
    VXQ_CLI_ERR_OVERSIZE = 7  /* a message longer than dwMaxMsgLen: its bytes are being skipped */
};

#define VXQ_CLI_DEFAULT_TIMEOUT_MS 5000
/* A long-running command sends a heartbeat this often (the device drops a
 * connection under heartbeat supervision after 60 s of silence). */
#define VXQ_CLI_HEARTBEAT_MS 20000u

typedef struct _VXQ_S_CLI_LINK {
    int iSock;                  /* -1 when not connected */
    uint32_t dwNextTransNo;     /* transaction number of the next request */
    std::vector<uint8_t> tRecv; /* bytes received, not yet cut into messages */
    int bPeerClosed;
    int iError;  /* VXQ_CLI_ERR_ cause of the last failure */
    int iSysErr; /* errno of a VXQ_CLI_ERR_SOCKET failure */
    std::deque<std::vector<uint8_t>> tNotices; /* oldest first */
    uint32_t dwLastBeatMs; /* VXQ_F_CLOCK_TickMs of the connect or of the last heartbeat sent */
    uint32_t dwMaxMsgLen;  /* 0: any size; else longer messages are skipped, never buffered */
    uint32_t dwSkipLeft;   /* bytes of a skipped message still to discard */
    uint32_t dwLastOversize; /* the size field of the last skipped message */
} _VXQ_S_CLI_LINK;

/* Sets the record to "not connected", transaction numbers from 1, no size limit. */
void VXQ_F_CLI_Init(_VXQ_S_CLI_LINK *out_ptLink);

/* Connects to in_sHost (name or dotted address) port in_usPort within
 * in_iTimeoutMs. Returns 1 when connected. */
int VXQ_F_CLI_Connect(_VXQ_S_CLI_LINK *inout_ptLink, const std::string &in_sHost, uint16_t in_usPort,
                      int in_iTimeoutMs = VXQ_CLI_DEFAULT_TIMEOUT_MS);

/* Closes the socket and drops buffered bytes; kept notices stay readable
 * until the next connect. */
void VXQ_F_CLI_Close(_VXQ_S_CLI_LINK *inout_ptLink);

/* Sends all bytes (at most 5 s of waiting for room). */
int VXQ_F_CLI_SendRaw(_VXQ_S_CLI_LINK *inout_ptLink, const void *in_pData, size_t in_iLen);
int VXQ_F_CLI_SendMsg(_VXQ_S_CLI_LINK *inout_ptLink, const std::vector<uint8_t> &in_tMsg);

/* Reads the next whole message within in_iTimeoutMs (kept notices first).
 * Fails on time-out, a closed connection, a bad flag or a size below 20. */
int VXQ_F_CLI_ReadMsg(_VXQ_S_CLI_LINK *inout_ptLink, std::vector<uint8_t> &out_tMsg,
                      int in_iTimeoutMs = VXQ_CLI_DEFAULT_TIMEOUT_MS);

/* Like ReadMsg but only from the socket: kept notices are left alone. A message
 * whose size field exceeds a nonzero dwMaxMsgLen fails the read with
 * VXQ_CLI_ERR_OVERSIZE (its size in dwLastOversize); its bytes are then
 * discarded as they arrive, by this and the following reads, and the link
 * stays usable. */
int VXQ_F_CLI_ReadWire(_VXQ_S_CLI_LINK *inout_ptLink, std::vector<uint8_t> &out_tMsg, int in_iTimeoutMs);

/* Waits up to in_iTimeoutMs for the device to close; bytes that arrive meanwhile
 * are kept. Returns 1 once the peer closed. */
int VXQ_F_CLI_WaitPeerClosed(_VXQ_S_CLI_LINK *inout_ptLink, int in_iTimeoutMs);

/* Sends in_tMsg and reads until its answer (same function id, answer bit, same
 * transaction number) arrives; other messages go to tNotices. */
int VXQ_F_CLI_Call(_VXQ_S_CLI_LINK *inout_ptLink, const std::vector<uint8_t> &in_tMsg, std::vector<uint8_t> &out_tAnswer,
                   int in_iTimeoutMs = VXQ_CLI_DEFAULT_TIMEOUT_MS);

/* The result byte of an answer (0 for a message shorter than the head). */
uint8_t VXQ_F_CLI_Result(const std::vector<uint8_t> &in_tAnswer);

/* Takes the transaction number for the next request. */
uint32_t VXQ_F_CLI_NextTransNo(_VXQ_S_CLI_LINK *inout_ptLink);

/* Heartbeat request and its echo. */
int VXQ_F_CLI_Heartbeat(_VXQ_S_CLI_LINK *inout_ptLink);

/* Sends a heartbeat request when VXQ_CLI_HEARTBEAT_MS passed on the service
 * clock since the connect or the last heartbeat; its echo is not awaited (who
 * reads the link drops it). Long-running commands call it in their loops.
 * Returns 1 when nothing was due or the heartbeat went out, 0 when it failed. */
int VXQ_F_CLI_KeepAlive(_VXQ_S_CLI_LINK *inout_ptLink);

/* Token request. On an answer returns 1 with its result, the token (empty
 * unless result 0) and the password mode. */
int VXQ_F_CLI_GetToken(_VXQ_S_CLI_LINK *inout_ptLink, std::string *out_psToken, uint8_t *out_pucResult,
                       uint8_t *out_pucPwdMode);

/* Login with the digest of token and password. On an answer returns 1 with its
 * result and (result 0) the decoded login answer. */
int VXQ_F_CLI_Login(_VXQ_S_CLI_LINK *inout_ptLink, const std::string &in_sUser, const std::string &in_sPassword,
                    const std::string &in_sToken, uint8_t *out_pucResult, _VXQ_S_CLI_LOGIN_INFO *out_ptInfo,
                    std::vector<uint8_t> *out_ptAnswer = nullptr);

/* A user-facing description of the last link failure, e.g. "connection refused". */
std::string VXQ_F_CLI_ErrorText(const _VXQ_S_CLI_LINK *in_ptLink);

#endif
