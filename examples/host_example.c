/*
 * host_example.c - the shortest path from a host application to a watching client.
 *
 * What a firmware engineer's main application does with the service, in order:
 *   1. fill the capability record and start the service (user lookup and event
 *      callbacks registered);
 *   2. answer EVENT_E2_OPEN_MEDIA_STREAM with the stream description (the event
 *      callback runs on the service's callback thread; it only posts the order);
 *   3. feed encoded frames of channel 0, stream 0 from an encoder thread (here
 *      a synthetic stream: one I-frame, then 24 P-frames, 25 frames a second);
 *   4. stop the encoder (nothing may call into the service once it stops),
 *      then the service; after that no callback runs.
 * To show the other side, the example is also its own client: over raw TCP
 * sockets it asks for a token, logs in with MD5(token ":" password) and opens
 * the live view of channel 0 on a second connection, then waits for frames.
 *
 *   host_example [port] [--expect-frames]
 * Port 0 (the default) picks a free port. Exit status 0 when the login works
 * (and, with --expect-frames, when the viewer received a video frame).
 */
#define _POSIX_C_SOURCE 200809L
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include "vxq_digest.h"
#include "vxq_dps.h"

#define EXAMPLE_USER "admin"
#define EXAMPLE_PASSWORD "4321"
#define HEAD_LEN 20

/* ---- The host side ------------------------------------------------------- */

/* The handle is set once the start returns; the callback thread and the
 * encoder read it under the lock, so they see it whole. */
static pthread_mutex_t g_tFeedLock = PTHREAD_MUTEX_INITIALIZER;
static VXQ_DPS_HANDLE g_hSrv;  /* guarded by g_tFeedLock */
static int g_bFeeding = 1;     /* guarded by g_tFeedLock */

static VXQ_DPS_HANDLE example_handle(void)
{
    VXQ_DPS_HANDLE hSrv;
    pthread_mutex_lock(&g_tFeedLock);
    hSrv = g_hSrv;
    pthread_mutex_unlock(&g_tFeedLock);
    return hSrv;
}

static int example_feeding(void)
{
    int bFeeding;
    pthread_mutex_lock(&g_tFeedLock);
    bFeeding = g_bFeeding;
    pthread_mutex_unlock(&g_tFeedLock);
    return bFeeding;
}

/* The user table of this device: one user with every right on every channel. */
static int example_query_user(void *in_pUser, const char *in_sUserName, _VXQ_S_DPS_USER_INFO *out_ptUserInfo)
{
    (void)in_pUser;
    if (strcmp(in_sUserName, EXAMPLE_USER) != 0)
        return 0;
    snprintf(out_ptUserInfo->sUserName, sizeof(out_ptUserInfo->sUserName), "%s", EXAMPLE_USER);
    snprintf(out_ptUserInfo->sPassword, sizeof(out_ptUserInfo->sPassword), "%s", EXAMPLE_PASSWORD);
    out_ptUserInfo->dwPopMask = 0xFFu;
    return 1;
}

/* Events arrive here, one at a time, on the service's callback thread. The
 * open-stream event is answered with the same head (message type 1, result 0)
 * and the description of what the encoder produces; every other event of this
 * example is answered "not supported" when it awaits an answer. */
static int example_event(void *in_pUser, const void *in_pMsg, int in_iMsgLen)
{
    _VXQ_S_DPS_MSG_HEAD tHead;
    (void)in_pUser;
    if (in_iMsgLen < (int)sizeof(tHead))
        return 0;
    memcpy(&tHead, in_pMsg, sizeof(tHead));
    if (tHead.iMsgFuncId == EVENT_E2_OPEN_MEDIA_STREAM &&
        in_iMsgLen >= (int)(sizeof(tHead) + sizeof(_VXQ_S_DPS_E2_OPEN_MEDIA_STREAM))) {
        unsigned char ucAnswer[sizeof(_VXQ_S_DPS_MSG_HEAD) + sizeof(_VXQ_S_DPS_E2_OPEN_MEDIA_STREAM)];
        _VXQ_S_DPS_E2_OPEN_MEDIA_STREAM tBody;
        memcpy(&tBody, (const unsigned char *)in_pMsg + sizeof(tHead), sizeof(tBody));
        printf("host: open stream channel %d stream %d\n", (int)tBody.i_iChNo, (int)tBody.i_iStreamNo);
        tBody.o_tDesc.bVideoFlag = 1;
        tBody.o_tDesc.bAudioFlag = 0;
        tBody.o_tDesc.iVideoCodecId = 1;
        tBody.o_tDesc.iVideoFrameRate = 25;
        tBody.o_tDesc.iVideoBitRate = 512;
        tBody.o_tDesc.usVideoWidth = 640;
        tBody.o_tDesc.usVideoHeight = 480;
        tHead.ucMsgType = VXQ_DPS_MSG_TYPE_ANSWER;
        tHead.ucResult = VXQ_DPS_APP_ERR_SUCCESS;
        tHead.iBodyLen = (int32_t)sizeof(tBody);
        memcpy(ucAnswer, &tHead, sizeof(tHead));
        memcpy(ucAnswer + sizeof(tHead), &tBody, sizeof(tBody));
        return VXQ_F_DPS_SendDevProData(example_handle(), ucAnswer, (int)sizeof(ucAnswer));
    }
    if (tHead.dwTransId != 0) {
        tHead.ucMsgType = VXQ_DPS_MSG_TYPE_ANSWER;
        tHead.ucResult = VXQ_DPS_APP_ERR_NOT_SUPPORT;
        tHead.iBodyLen = 0;
        return VXQ_F_DPS_SendDevProData(example_handle(), &tHead, (int)sizeof(tHead));
    }
    return 1;
}

/* The encoder: 25 synthetic frames a second on channel 0, stream 0. A real
 * host feeds whatever its encoder hands out, an I-frame first. */
static void *example_encoder(void *in_pArg)
{
    unsigned char ucFrame[2048];
    struct timespec tPause = {0, 40 * 1000 * 1000};
    int iFrame = 0;
    (void)in_pArg;
    while (example_feeding()) {
        int iType = (iFrame % 25 == 0) ? VXQ_DPS_FRAME_TYPE_I : 0;
        int iLen = iType == VXQ_DPS_FRAME_TYPE_I ? (int)sizeof(ucFrame) : 512;
        memset(ucFrame, 0, (size_t)iLen);
        ucFrame[3] = 1; /* 00 00 00 01: an Annex B start code */
        ucFrame[4] = iType == VXQ_DPS_FRAME_TYPE_I ? 0x65 : 0x41;
        VXQ_F_DPS_InputVideoStream(example_handle(), 0, 0, iType, ucFrame, iLen);
        ++iFrame;
        nanosleep(&tPause, NULL);
    }
    return NULL;
}

/* ---- The client side (raw UMSP over TCP) -------------------------------- */

static void put32(unsigned char *out_p, uint32_t in_dw)
{
    out_p[0] = (unsigned char)in_dw;
    out_p[1] = (unsigned char)(in_dw >> 8);
    out_p[2] = (unsigned char)(in_dw >> 16);
    out_p[3] = (unsigned char)(in_dw >> 24);
}

static uint32_t get32(const unsigned char *in_p)
{
    return (uint32_t)in_p[0] | ((uint32_t)in_p[1] << 8) | ((uint32_t)in_p[2] << 16) | ((uint32_t)in_p[3] << 24);
}

static int client_connect(uint16_t in_usPort)
{
    struct sockaddr_in tAddr;
    int iSock = socket(AF_INET, SOCK_STREAM, 0);
    memset(&tAddr, 0, sizeof(tAddr));
    tAddr.sin_family = AF_INET;
    tAddr.sin_port = htons(in_usPort);
    tAddr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (iSock >= 0 && connect(iSock, (struct sockaddr *)&tAddr, sizeof(tAddr)) != 0) {
        close(iSock);
        iSock = -1;
    }
    return iSock;
}

/* Reads exactly in_iLen bytes, each piece within 5 s. */
static int client_read(int in_iSock, unsigned char *out_p, size_t in_iLen)
{
    size_t iGot = 0;
    while (iGot < in_iLen) {
        struct pollfd tPoll = {in_iSock, POLLIN, 0};
        ssize_t iRead;
        if (poll(&tPoll, 1, 5000) <= 0)
            return 0;
        iRead = recv(in_iSock, out_p + iGot, in_iLen - iGot, 0);
        if (iRead <= 0)
            return 0;
        iGot += (size_t)iRead;
    }
    return 1;
}

/* Reads one whole message (at most in_iMax bytes) into out_p; returns its size or 0. */
static size_t client_read_msg(int in_iSock, unsigned char *out_p, size_t in_iMax)
{
    uint32_t dwSize;
    if (!client_read(in_iSock, out_p, HEAD_LEN))
        return 0;
    dwSize = get32(out_p + 4);
    if (get32(out_p) != 0xFFFFEEEEu || dwSize < HEAD_LEN || dwSize > in_iMax)
        return 0;
    return client_read(in_iSock, out_p + HEAD_LEN, dwSize - HEAD_LEN) ? dwSize : 0;
}

/* Sends a request: a 20-byte head, then in_iBodyLen bytes already in inout_pMsg + 20. */
static int client_send(int in_iSock, uint16_t in_usFuncId, uint32_t in_dwTransNo, unsigned char *inout_pMsg,
                       size_t in_iBodyLen)
{
    size_t iTotal = HEAD_LEN + in_iBodyLen;
    put32(inout_pMsg, 0xFFFFEEEEu);
    put32(inout_pMsg + 4, (uint32_t)iTotal);
    inout_pMsg[8] = (unsigned char)in_usFuncId;
    inout_pMsg[9] = (unsigned char)(in_usFuncId >> 8);
    inout_pMsg[10] = 0;
    inout_pMsg[11] = 0;
    put32(inout_pMsg + 12, in_dwTransNo);
    memset(inout_pMsg + 16, 0, 4);
    return send(in_iSock, inout_pMsg, iTotal, 0) == (ssize_t)iTotal;
}

/* Token, then login; returns the login id (0 when refused). */
static uint32_t client_login(int in_iSock)
{
    unsigned char ucMsg[HEAD_LEN + 528];
    char sToken[60];
    char sText[128];
    char sDigest[33];
    memset(ucMsg, 0, sizeof(ucMsg));
    if (!client_send(in_iSock, 0x0101, 1, ucMsg, 89) || client_read_msg(in_iSock, ucMsg, sizeof(ucMsg)) != 109 ||
        ucMsg[11] != 0)
        return 0;
    memcpy(sToken, ucMsg + HEAD_LEN + 28, 59); /* the token: at most 59 characters */
    sToken[59] = '\0';
    snprintf(sText, sizeof(sText), "%s:%s", sToken, EXAMPLE_PASSWORD);
    VXQ_TOOLS_MD5_EncodeString(sDigest, sText);
    memset(ucMsg, 0, sizeof(ucMsg));
    memcpy(ucMsg + HEAD_LEN, EXAMPLE_USER, strlen(EXAMPLE_USER));
    memcpy(ucMsg + HEAD_LEN + 32, sDigest, 32);
    if (!client_send(in_iSock, 0x0102, 2, ucMsg, 528) || client_read_msg(in_iSock, ucMsg, sizeof(ucMsg)) != 548 ||
        ucMsg[11] != 0)
        return 0;
    return get32(ucMsg + HEAD_LEN + 288);
}

/* Opens the live view of channel 0, stream 0 on a new connection and counts
 * the video frames that arrive within 5 s. Returns the count, or -1 when the
 * open was refused (its result code is printed). */
static int client_watch(uint16_t in_usPort, uint32_t in_dwLoginId)
{
    static unsigned char ucMsg[256 * 1024];
    int iFrames = 0;
    size_t iLen;
    int iSock = client_connect(in_usPort);
    time_t tEnd = time(NULL) + 5;
    if (iSock < 0)
        return -1;
    memset(ucMsg, 0, HEAD_LEN + 8);
    put32(ucMsg + HEAD_LEN, in_dwLoginId); /* channel 0 and stream 0 follow as two u16 */
    client_send(iSock, 0x0201, 3, ucMsg, 8);
    while (time(NULL) < tEnd && (iLen = client_read_msg(iSock, ucMsg, sizeof(ucMsg))) != 0) {
        uint16_t usFuncId = (uint16_t)(ucMsg[8] | (ucMsg[9] << 8));
        if (usFuncId == 0x0201 && ucMsg[11] != 0) {
            printf("client: live view refused, result %u\n", (unsigned)ucMsg[11]);
            close(iSock);
            return -1;
        }
        if (usFuncId == 0x0201)
            printf("client: live view open\n");
        if (usFuncId == 0x0E01 && iLen >= 32 && ++iFrames == 1)
            printf("client: first video frame, %u bytes, frame type %u\n", (unsigned)(iLen - 32),
                   (unsigned)(ucMsg[20] >> 4));
        if (iFrames >= 3)
            break;
    }
    close(iSock);
    return iFrames;
}

static uint16_t free_port(void)
{
    struct sockaddr_in tAddr;
    socklen_t iLen = sizeof(tAddr);
    uint16_t usPort = 0;
    int iSock = socket(AF_INET, SOCK_STREAM, 0);
    memset(&tAddr, 0, sizeof(tAddr));
    tAddr.sin_family = AF_INET;
    tAddr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (iSock >= 0 && bind(iSock, (struct sockaddr *)&tAddr, sizeof(tAddr)) == 0 &&
        getsockname(iSock, (struct sockaddr *)&tAddr, &iLen) == 0)
        usPort = ntohs(tAddr.sin_port);
    if (iSock >= 0)
        close(iSock);
    return usPort;
}

int main(int argc, char **argv)
{
    _VXQ_S_DPS_DEV_CAP_INFO tCap;
    VXQ_DPS_HANDLE hSrv;
    pthread_t tEncoder;
    uint16_t usPort = 0;
    int bExpectFrames = 0;
    int iArg, iFrames, iSock;
    uint32_t dwLoginId;
    for (iArg = 1; iArg < argc; ++iArg) {
        if (strcmp(argv[iArg], "--expect-frames") == 0)
            bExpectFrames = 1;
        else
            usPort = (uint16_t)atoi(argv[iArg]);
    }
    if (usPort == 0)
        usPort = free_port();

    /* 1. Capabilities and start. */
    memset(&tCap, 0, sizeof(tCap));
    snprintf(tCap.sDevIdText, sizeof(tCap.sDevIdText), "EXAMPLE1");
    snprintf(tCap.sDevText1, sizeof(tCap.sDevText1), "example recorder");
    tCap.iVideoChanNum = 1;
    tCap.iAudioChanNum = 0;
    hSrv = VXQ_F_DPS_StartDevProNetServer(usPort, &tCap, example_event, NULL, example_query_user, NULL, 0, 0, 0,
                                          NULL, 0, 0);
    if (hSrv == NULL) {
        fprintf(stderr, "host: the service did not start on port %u\n", (unsigned)usPort);
        return 1;
    }
    pthread_mutex_lock(&g_tFeedLock);
    g_hSrv = hSrv;
    pthread_mutex_unlock(&g_tFeedLock);
    printf("host: service on TCP port %u\n", (unsigned)usPort);

    /* 3. The encoder feeds from now on; frames wait in the cache for viewers. */
    if (pthread_create(&tEncoder, NULL, example_encoder, NULL) != 0) {
        VXQ_F_DPS_StopDevProNetServer(hSrv);
        return 1;
    }

    /* The client: log in, then watch. */
    iSock = client_connect(usPort);
    dwLoginId = iSock >= 0 ? client_login(iSock) : 0;
    printf("client: login %s (login id 0x%08x)\n", dwLoginId != 0 ? "ok" : "refused", (unsigned)dwLoginId);
    iFrames = dwLoginId != 0 ? client_watch(usPort, dwLoginId) : -1;
    if (iFrames >= 0)
        printf("client: %d video frames received\n", iFrames);
    if (iSock >= 0)
        close(iSock);

    /* 4. Stop: the encoder first (it calls into the service), then the service;
     * no callback runs after the stop returns. */
    pthread_mutex_lock(&g_tFeedLock);
    g_bFeeding = 0;
    pthread_mutex_unlock(&g_tFeedLock);
    pthread_join(tEncoder, NULL);
    VXQ_F_DPS_StopDevProNetServer(hSrv);
    if (dwLoginId == 0)
        return 2;
    if (bExpectFrames && iFrames < 1)
        return 3;
    return 0;
}
