/*
 * umsp_traffic.c - known traffic for the dissector test.
 *
 * Starts a service on the port given (or a free one) on loopback and talks to it over raw sockets:
 * token request, a login whose 548 bytes go out in three TCP segments (the
 * first shorter than the head), a login with a wrong password on a second
 * connection (result 4), a live view with one frame message the
 * service builds, an alarm notice the host raises, and one NPD search
 * request to UDP 28460.
 * Prints what it sent and what came back as key=value lines, which the test
 * compares with what the dissector decodes from the capture. Exit 0 when every
 * exchange got its answer.
 */
#define _POSIX_C_SOURCE 200809L
#include <netinet/tcp.h>
#include <stdlib.h>

#include "consumer_common.h"

/* Sends in_iLen bytes in pieces at the given cut points (no delay between:
 * with Nagle off each send leaves as its own segment). */
static int send_pieces(int in_iSock, const unsigned char *in_p, size_t in_iLen, const size_t *in_piCuts,
                       int in_iCuts)
{
    size_t iFrom = 0;
    int i;
    for (i = 0; i <= in_iCuts; ++i) {
        size_t iTo = i < in_iCuts ? in_piCuts[i] : in_iLen;
        if (send(in_iSock, in_p + iFrom, iTo - iFrom, 0) != (ssize_t)(iTo - iFrom))
            return 0;
        iFrom = iTo;
    }
    return 1;
}

static VXQ_DPS_HANDLE s_hSrv; /* set before any client connects */

/* Answers the open-stream event with the stream the test feeds: codec 2,
 * 352x288, 25 frames a second, 1024 kbit/s. */
static int traffic_event(void *in_pUser, const void *in_pMsg, int in_iMsgLen)
{
    unsigned char ucAnswer[sizeof(_VXQ_S_DPS_MSG_HEAD) + sizeof(_VXQ_S_DPS_E2_OPEN_MEDIA_STREAM)];
    _VXQ_S_DPS_MSG_HEAD tHead;
    _VXQ_S_DPS_E2_OPEN_MEDIA_STREAM tBody;
    (void)in_pUser;
    if (in_iMsgLen < (int)sizeof(ucAnswer))
        return 0;
    memcpy(&tHead, in_pMsg, sizeof(tHead));
    if (tHead.iMsgFuncId != EVENT_E2_OPEN_MEDIA_STREAM)
        return 0;
    memcpy(&tBody, (const unsigned char *)in_pMsg + sizeof(tHead), sizeof(tBody));
    tBody.o_tDesc.bVideoFlag = 1;
    tBody.o_tDesc.iVideoCodecId = 2;
    tBody.o_tDesc.iVideoFrameRate = 25;
    tBody.o_tDesc.iVideoBitRate = 1024;
    tBody.o_tDesc.usVideoWidth = 352;
    tBody.o_tDesc.usVideoHeight = 288;
    tHead.ucMsgType = VXQ_DPS_MSG_TYPE_ANSWER;
    tHead.ucResult = 0;
    memcpy(ucAnswer, &tHead, sizeof(tHead));
    memcpy(ucAnswer + sizeof(tHead), &tBody, sizeof(tBody));
    return VXQ_F_DPS_SendDevProData(s_hSrv, ucAnswer, (int)sizeof(ucAnswer));
}

/* Opens the live view of channel 0 on a new connection, feeds one I-frame of
 * 200 bytes with time stamp 777000 and reads the frame message the service
 * builds. Returns 1 when it arrived whole. */
static int traffic_watch(uint16_t in_usPort, uint32_t in_dwLoginId)
{
    unsigned char ucMsg[512];
    unsigned char ucFrame[200];
    int bOk;
    int iSock = consumer_connect(in_usPort);
    if (iSock < 0)
        return 0;
    memset(ucMsg, 0, sizeof(ucMsg));
    consumer_put32(ucMsg + CONSUMER_HEAD_LEN, in_dwLoginId);
    bOk = consumer_exchange(iSock, 0x0201, 105, ucMsg, 8) && ucMsg[11] == 0;
    memset(ucFrame, 0x5A, sizeof(ucFrame));
    bOk = bOk && VXQ_F_DPS_InputVideoStreamEx(s_hSrv, 0, 0, VXQ_DPS_FRAME_TYPE_I, 777000, ucFrame, 200) &&
          consumer_read_all(iSock, ucMsg, 232) && ucMsg[8] == 0x01 && ucMsg[9] == 0x0E;
    close(iSock);
    return bOk;
}

int main(int argc, char **argv)
{
    _VXQ_S_DPS_DEV_CAP_INFO tCap;
    VXQ_DPS_HANDLE hSrv;
    unsigned char ucMsg[CONSUMER_HEAD_LEN + CONSUMER_LOGIN_BODY];
    char sToken[61] = "", sDigest[33] = "";
    const size_t iCuts[2] = {10, 300};
    uint32_t dwBadId = 0;
    int iOne = 1, iSock, iBad, iUdp, bOk = 1;
    uint16_t usPort = argc > 1 ? (uint16_t)atoi(argv[1]) : consumer_free_port();

    memset(&tCap, 0, sizeof(tCap));
    strcpy(tCap.sDevIdText, "DISSECT1");
    strcpy(tCap.sDevText1, "dissector test");
    tCap.iVideoChanNum = 4;
    tCap.iAudioChanNum = 2;
    hSrv = VXQ_F_DPS_StartDevProNetServer(usPort, &tCap, traffic_event, NULL, consumer_query_user, NULL, 0, 0, 0,
                                          NULL, 0, 0);
    if (hSrv == NULL)
        return 1;
    s_hSrv = hSrv;
    printf("port=%u\n", (unsigned)usPort);

    iSock = consumer_connect(usPort);
    setsockopt(iSock, IPPROTO_TCP, TCP_NODELAY, &iOne, sizeof(iOne));
    bOk = iSock >= 0 && consumer_token_digest(iSock, ucMsg, 101, "4321", sToken, sDigest);
    printf("token=%s\n", sToken);

    /* The login in three segments. */
    memset(ucMsg, 0, sizeof(ucMsg));
    consumer_fill_head(ucMsg, 0x0102, sizeof(ucMsg), 102);
    strcpy((char *)ucMsg + CONSUMER_HEAD_LEN, "admin");
    memcpy(ucMsg + CONSUMER_HEAD_LEN + 32, sDigest, 32);
    printf("digest=%s\n", sDigest);
    bOk = bOk && send_pieces(iSock, ucMsg, sizeof(ucMsg), iCuts, 2) && consumer_read_all(iSock, ucMsg, sizeof(ucMsg));
    printf("login_result=%u\nlogin_id=%u\n", (unsigned)ucMsg[11], (unsigned)consumer_get32(ucMsg + 20 + 288));

    /* A viewer and one frame message built by the service. */
    bOk = bOk && traffic_watch(usPort, consumer_get32(ucMsg + 20 + 288));
    printf("device_frame=352x288@25 codec=2 bitrate=1024 ts=777000 len=200\n");

    /* An alarm from the host reaches the command connection as a notice. */
    bOk = bOk && VXQ_F_DPS_UpAlarmMsg(hSrv, 2, 7, 99, "door open") && consumer_read_all(iSock, ucMsg, 172) &&
          ucMsg[8] == 0x03 && ucMsg[9] == 0x05;
    printf("alarm=2 7 99 door open\n");

    close(iSock);

    iBad = consumer_login(usPort, "admin", "wrong", &dwBadId);
    printf("bad_login_result=%d\n", iBad);

    /* One NPD search request; its answer is broadcast. */
    iUdp = socket(AF_INET, SOCK_DGRAM, 0);
    if (iUdp >= 0) {
        struct sockaddr_in tTo = consumer_addr(28460);
        unsigned char ucNpd[24];
        memset(ucNpd, 0, sizeof(ucNpd));
        consumer_put32(ucNpd, 0xAB8C02FFu);
        ucNpd[4] = sizeof(ucNpd);
        ucNpd[6] = 2;
        consumer_put32(ucNpd + 8, 4242);
        consumer_put32(ucNpd + 16, 0x1234);
        bOk = bOk && sendto(iUdp, ucNpd, sizeof(ucNpd), 0, (struct sockaddr *)&tTo, sizeof(tTo)) == sizeof(ucNpd);
        close(iUdp);
    }
    printf("npd_req=4242\n");
    VXQ_F_DPS_StopDevProNetServer(hSrv);
    return bOk && iBad == 4 ? 0 : 2;
}
