/*
 * consumer_common.h - what both install consumers do, written against the
 * installed public headers only (C99 and C++).
 *
 * Starts a service on a free loopback port, asks it for a token through a raw
 * TCP socket exactly as a client must (the answer's head and result 0) and
 * stops the service.
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

#include "vxq_digest.h" /* every installed header compiles in a consumer */
#include "vxq_dps.h"

#define CONSUMER_HEAD_LEN 20
#define CONSUMER_TOKEN_BODY 89

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

/* Sends one request (a head of flag, size, function id, type 0, result 0 and
 * transaction number before the body of in_iBodyLen bytes in inout_pMsg) and
 * reads its answer of the same size back into inout_pMsg. */
static inline int consumer_exchange(int in_iSock, uint16_t in_usFuncId, uint32_t in_dwTransNo, unsigned char *inout_pMsg,
                             size_t in_iBodyLen)
{
    size_t iTotal = CONSUMER_HEAD_LEN + in_iBodyLen;
    memset(inout_pMsg, 0, CONSUMER_HEAD_LEN);
    consumer_put32(inout_pMsg, 0xFFFFEEEEu);
    consumer_put32(inout_pMsg + 4, (uint32_t)iTotal);
    inout_pMsg[8] = (unsigned char)in_usFuncId;
    inout_pMsg[9] = (unsigned char)(in_usFuncId >> 8);
    consumer_put32(inout_pMsg + 12, in_dwTransNo);
    if (send(in_iSock, inout_pMsg, iTotal, 0) != (ssize_t)iTotal)
        return 0;
    if (!consumer_read_all(in_iSock, inout_pMsg, CONSUMER_HEAD_LEN))
        return 0;
    if (consumer_get32(inout_pMsg) != 0xFFFFEEEEu || consumer_get32(inout_pMsg + 4) != iTotal ||
        (inout_pMsg[10] & 3) != 1)
        return 0;
    return consumer_read_all(in_iSock, inout_pMsg + CONSUMER_HEAD_LEN, in_iBodyLen);
}

/* The whole run: start, a token request answered with result 0, stop. */
static inline int consumer_run(const char *in_sName)
{
    _VXQ_S_DPS_DEV_CAP_INFO tCap;
    VXQ_DPS_HANDLE hSrv;
    unsigned char ucMsg[CONSUMER_HEAD_LEN + CONSUMER_TOKEN_BODY];
    int iSock, bServed = 0;
    uint16_t usPort = consumer_free_port();
    memset(&tCap, 0, sizeof(tCap));
    strcpy(tCap.sDevIdText, "CONSUMER");
    tCap.iVideoChanNum = 1;
    tCap.iAudioChanNum = 1;
    hSrv = VXQ_F_DPS_StartDevProNetServer(usPort, &tCap, NULL, NULL, NULL, NULL, 0, 0, 0, NULL, 0, 0);
    if (usPort == 0 || hSrv == NULL) {
        fprintf(stderr, "%s: service did not start on port %u\n", in_sName, (unsigned)usPort);
        return 1;
    }
    iSock = consumer_connect(usPort);
    if (iSock >= 0) {
        memset(ucMsg, 0, sizeof(ucMsg));
        bServed = consumer_exchange(iSock, 0x0101, 1, ucMsg, CONSUMER_TOKEN_BODY) && ucMsg[11] == 0;
        close(iSock);
    }
    VXQ_F_DPS_StopDevProNetServer(hSrv);
    if (!bServed) {
        fprintf(stderr, "%s: the token request was not answered with result 0\n", in_sName);
        return 2;
    }
    printf("%s: token answered as expected (library %s)\n", in_sName, VXQ_DPS_VERSION_TEXT);
    return 0;
}

#endif /* VXQ_CONSUMER_COMMON_H */
