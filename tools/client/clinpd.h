/*
 * clinpd.h - the client side of the UDP management datagrams on port 28460:
 * device search, trace client registration and the log lines a device
 * broadcasts to its trace clients.
 *
 * Builders and parsers own no state and any thread may call them; parsers check
 * the length before reading a field. The socket helpers work on a descriptor
 * the caller owns (VXQ_F_CLI_NpdOpen makes it, close() frees it). Answers come
 * as broadcasts to the port the request was sent from, so one socket both asks
 * and listens.
 */
#ifndef VXQ_CLIENT_CLINPD_H
#define VXQ_CLIENT_CLINPD_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#define VXQ_CLI_NPD_PORT 28460
#define VXQ_CLI_NPD_FLAG 0xAB8C02FFu
#define VXQ_CLI_NPD_HEAD_LEN 16u
#define VXQ_CLI_NPD_ECHO 1
#define VXQ_CLI_NPD_SEARCH 2
#define VXQ_CLI_NPD_SEARCH_ANSWER 3
#define VXQ_CLI_NPD_TRACE_PARAM 10
#define VXQ_CLI_NPD_LOG_LINE 11
#define VXQ_CLI_NPD_SEARCH_ANSWER_LEN 140u

/* One device that answered a search. */
typedef struct _VXQ_S_CLI_FOUND_DEV {
    std::string sAddress; /* sender address of the answer */
    uint32_t dwRequestNo;
    uint32_t dwSearcher;
    uint32_t dwServerId;
    std::string sDevIdText;
    std::string sDevText1;
    std::string sDevText2;
    int32_t iVideoChanNum;
    int32_t iAudioChanNum;
    int32_t iDevCapValue[4];
    int32_t iSubProtoNum;
} _VXQ_S_CLI_FOUND_DEV;

/* A search request (24 bytes). */
std::vector<uint8_t> VXQ_F_CLI_BuildSearch(uint32_t in_dwRequestNo, uint32_t in_dwSearcher);

/* A 140-byte search answer (function 3, answer flag 1); 0 for anything else. */
int VXQ_F_CLI_ParseSearchAnswer(const uint8_t *in_pData, size_t in_iLen, _VXQ_S_CLI_FOUND_DEV *out_ptDev);

/* A trace parameter datagram (28 bytes): in_usOperation 0 removes, other adds
 * or refreshes the trace client in_dwIpAddr (host order number) : in_usPort. */
std::vector<uint8_t> VXQ_F_CLI_BuildTraceParam(uint32_t in_dwRequestNo, uint32_t in_dwServerId, uint16_t in_usOperation,
                                               uint16_t in_usPort, uint32_t in_dwIpAddr);

/* The answer to a trace parameter datagram: 1 with its result word. */
int VXQ_F_CLI_ParseTraceAnswer(const uint8_t *in_pData, size_t in_iLen, uint32_t in_dwRequestNo, uint32_t *out_pdwResult);

/* A broadcast log line: its number, the trace address it names and the text. */
int VXQ_F_CLI_ParseLogLine(const uint8_t *in_pData, size_t in_iLen, uint32_t *out_pdwLineNo, uint32_t *out_pdwIpAddr,
                           std::string *out_psText);

/* A UDP socket bound to any address and in_usPort (0: the system picks),
 * broadcast allowed. Returns the descriptor or -1. *out_pusPort gets the port. */
int VXQ_F_CLI_NpdOpen(uint16_t in_usPort, uint16_t *out_pusPort);

/* Sends a datagram to in_sAddr (dotted; "255.255.255.255" broadcasts) and the
 * management port. Returns 1 when sent. */
int VXQ_F_CLI_NpdSend(int in_iSock, const std::string &in_sAddr, const std::vector<uint8_t> &in_tData);

/* Receives one datagram within in_iTimeoutMs. Returns 1 with its bytes and
 * sender address, 0 on time-out or failure. */
int VXQ_F_CLI_NpdRecv(int in_iSock, int in_iTimeoutMs, std::vector<uint8_t> *out_ptData, std::string *out_psFrom);

#endif
