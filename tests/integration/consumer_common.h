/*
 * consumer_common.h - what both install consumers do, written against the
 * installed public headers only (C99 and C++).
 *
 * Starts a service on a free loopback port with one user ("admin" / "4321"),
 * logs in through a raw TCP socket exactly as a client must (token request,
 * then login with MD5(token ":" password) in lowercase hexadecimal) and stops
 * the service.
 * Single-threaded caller; every socket is closed before returning. Each step
 * waits at most 5 s. Returns 0 when every check holds, else the failed step.
 */
#ifndef VXQ_CONSUMER_COMMON_H
#define VXQ_CONSUMER_COMMON_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include "vxq_digest.h"
#include "vxq_dps.h"

#define CONSUMER_HEAD_LEN 20
#define CONSUMER_TOKEN_BODY 89
#define CONSUMER_LOGIN_BODY 528

static inline void consumer_put32(unsigned char *out_p, uint32_t in_dw)
{
    out_p[0] = (unsigned char)in_dw;
    out_p[1] = (unsigned char)(in_dw >> 8);
    out_p[2] = (unsigned char)(in_dw >> 16);
    out_p[3] = (unsigned char)(in_dw >> 24);
}

static inline uint32_t consumer_get32(const unsigned char *in_p)
{
    return (uint32_t)in_p[0] | ((uint32_t)in_p[1] << 8) | ((uint32_t)in_p[2] << 16) | ((uint32_t)in_p[3] << 24);
}

/* The head of a request: flag, size, function id, type 0, result 0, transaction number. */
static inline void consumer_fill_head(unsigned char *out_p, uint16_t in_usFunc, uint32_t in_dwSize,
                                      uint32_t in_dwTrans)
{
    consumer_put32(out_p, 0xFFFFEEEEu);
    consumer_put32(out_p + 4, in_dwSize);
    out_p[8] = (unsigned char)in_usFunc;
    out_p[9] = (unsigned char)(in_usFunc >> 8);
    out_p[10] = 0;
    out_p[11] = 0;
    consumer_put32(out_p + 12, in_dwTrans);
    memset(out_p + 16, 0, 4);
}

static inline struct sockaddr_in consumer_addr(uint16_t in_usPort)
{
    struct sockaddr_in tAddr;
    memset(&tAddr, 0, sizeof(tAddr));
    tAddr.sin_family = AF_INET;
    tAddr.sin_port = htons(in_usPort);
    tAddr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return tAddr;
}

/* A TCP port nobody listens on right now (the system picks it, we release it). */
static inline uint16_t consumer_free_port(void)
{
    struct sockaddr_in tAddr = consumer_addr(0);
    socklen_t iLen = sizeof(tAddr);
    uint16_t usPort = 0;
    int iSock = socket(AF_INET, SOCK_STREAM, 0);
    if (iSock < 0)
        return 0;
    if (bind(iSock, (struct sockaddr *)&tAddr, sizeof(tAddr)) == 0 &&
        getsockname(iSock, (struct sockaddr *)&tAddr, &iLen) == 0)
        usPort = ntohs(tAddr.sin_port);
    close(iSock);
    return usPort;
}

static inline int consumer_connect(uint16_t in_usPort)
{
    struct sockaddr_in tAddr = consumer_addr(in_usPort);
    int iSock = socket(AF_INET, SOCK_STREAM, 0);
    if (iSock < 0)
        return -1;
    if (connect(iSock, (struct sockaddr *)&tAddr, sizeof(tAddr)) != 0) {
        close(iSock);
        return -1;
    }
    return iSock;
}

/* Reads exactly in_iLen bytes, waiting at most 5 s for each piece. */
static inline int consumer_read_all(int in_iSock, unsigned char *out_p, size_t in_iLen)
{
    size_t iGot = 0;
    while (iGot < in_iLen) {
        struct pollfd tPoll;
        ssize_t iRead;
        tPoll.fd = in_iSock;
        tPoll.events = POLLIN;
        tPoll.revents = 0;
        if (poll(&tPoll, 1, 5000) <= 0)
            return 0;
        iRead = recv(in_iSock, out_p + iGot, in_iLen - iGot, 0);
        if (iRead <= 0)
            return 0;
        iGot += (size_t)iRead;
    }
    return 1;
}

/* Sends one request (head + body of in_iBodyLen bytes in inout_pMsg) and reads
 * its answer of the same size back into inout_pMsg. */
static inline int consumer_exchange(int in_iSock, uint16_t in_usFuncId, uint32_t in_dwTransNo, unsigned char *inout_pMsg,
                             size_t in_iBodyLen)
{
    size_t iTotal = CONSUMER_HEAD_LEN + in_iBodyLen;
    consumer_fill_head(inout_pMsg, in_usFuncId, (uint32_t)iTotal, in_dwTransNo);
    if (send(in_iSock, inout_pMsg, iTotal, 0) != (ssize_t)iTotal)
        return 0;
    if (!consumer_read_all(in_iSock, inout_pMsg, CONSUMER_HEAD_LEN))
        return 0;
    if (consumer_get32(inout_pMsg) != 0xFFFFEEEEu || consumer_get32(inout_pMsg + 4) != iTotal ||
        (inout_pMsg[10] & 3) != 1)
        return 0;
    return consumer_read_all(in_iSock, inout_pMsg + CONSUMER_HEAD_LEN, in_iBodyLen);
}

/* Token (61 bytes) and login digest MD5(token ":" password) (33); 1 when the token came with result 0. */
static inline int consumer_token_digest(int in_iSock, unsigned char *inout_pMsg, uint32_t in_dwTransNo,
                                        const char *in_sPassword, char *out_sToken, char *out_sDigest)
{
    char sText[128];
    memset(inout_pMsg, 0, CONSUMER_HEAD_LEN + CONSUMER_LOGIN_BODY);
    if (!consumer_exchange(in_iSock, 0x0101, in_dwTransNo, inout_pMsg, CONSUMER_TOKEN_BODY) || inout_pMsg[11] != 0)
        return 0;
    memcpy(out_sToken, inout_pMsg + CONSUMER_HEAD_LEN + 28, 60);
    out_sToken[60] = '\0';
    snprintf(sText, sizeof(sText), "%s:%s", out_sToken, in_sPassword);
    VXQ_TOOLS_MD5_EncodeString(out_sDigest, sText);
    return 1;
}

/* Token request then login; returns the login answer's result code (0 = in)
 * with the login id in *out_pdwLoginId, or -1 when the exchange itself fails. */
static inline int consumer_login(uint16_t in_usPort, const char *in_sUser, const char *in_sPassword,
                          uint32_t *out_pdwLoginId)
{
    unsigned char ucMsg[CONSUMER_HEAD_LEN + CONSUMER_LOGIN_BODY];
    char sToken[61];
    char sDigest[33];
    int iResult = -1;
    int iSock = consumer_connect(in_usPort);
    if (iSock < 0)
        return -1;
    if (consumer_token_digest(iSock, ucMsg, 1, in_sPassword, sToken, sDigest)) {
        memset(ucMsg, 0, sizeof(ucMsg));
        strncpy((char *)ucMsg + CONSUMER_HEAD_LEN, in_sUser, 31);
        memcpy(ucMsg + CONSUMER_HEAD_LEN + 32, sDigest, 32);
        if (consumer_exchange(iSock, 0x0102, 2, ucMsg, CONSUMER_LOGIN_BODY)) {
            iResult = ucMsg[11];
            *out_pdwLoginId = consumer_get32(ucMsg + CONSUMER_HEAD_LEN + 288);
        }
    }
    close(iSock);
    return iResult;
}

static inline int consumer_query_user(void *in_pUser, const char *in_sUserName, _VXQ_S_DPS_USER_INFO *out_ptUserInfo)
{
    (void)in_pUser;
    if (strcmp(in_sUserName, "admin") != 0)
        return 0;
    strcpy(out_ptUserInfo->sUserName, "admin");
    strcpy(out_ptUserInfo->sPassword, "4321");
    out_ptUserInfo->dwPopMask = 0xFFu;
    return 1;
}

static inline int consumer_event(void *in_pUser, const void *in_pMsg, int in_iMsgLen)
{
    (void)in_pUser;
    (void)in_pMsg;
    (void)in_iMsgLen;
    return 1;
}

/* The whole run: start, login, stop. */
static inline int consumer_run(const char *in_sName)
{
    _VXQ_S_DPS_DEV_CAP_INFO tCap;
    VXQ_DPS_HANDLE hSrv;
    uint32_t dwLoginId = 0;
    int iGood;
    uint16_t usPort = consumer_free_port();
    memset(&tCap, 0, sizeof(tCap));
    strcpy(tCap.sDevIdText, "CONSUMER");
    tCap.iVideoChanNum = 1;
    tCap.iAudioChanNum = 1;
    hSrv = VXQ_F_DPS_StartDevProNetServer(usPort, &tCap, consumer_event, NULL, consumer_query_user, NULL, 0, 0, 0,
                                          NULL, 0, 0);
    if (usPort == 0 || hSrv == NULL) {
        fprintf(stderr, "%s: service did not start on port %u\n", in_sName, (unsigned)usPort);
        return 1;
    }
    iGood = consumer_login(usPort, "admin", "4321", &dwLoginId);
    VXQ_F_DPS_StopDevProNetServer(hSrv);
    if (iGood != 0 || dwLoginId == 0) {
        fprintf(stderr, "%s: login answered %d\n", in_sName, iGood);
        return 2;
    }
    printf("%s: login as expected (library %s)\n", in_sName, VXQ_DPS_VERSION_TEXT);
    return 0;
}

#endif /* VXQ_CONSUMER_COMMON_H */
