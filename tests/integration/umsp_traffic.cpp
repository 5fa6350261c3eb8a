/*
 * umsp_traffic.cpp - known traffic for the dissector test, made with the test
 * host and the reference client: on the port given (0: the system picks), a
 * token request, a login whose 548 bytes go out in three TCP segments (the
 * first shorter than the head), a live view with one frame message the
 * service builds, an alarm notice the host raises, a login with a wrong
 * password on a second connection (result 4) and one NPD search request to
 * UDP 28460. Prints what the dissector test compares as key=value lines.
 * Exit 0 when every exchange got its answer.
 */
#include "clibody.h"
#include "clinpd.h"
#include "support/test_host.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    _VXQ_S_TESTHOST_DATA tHost;
    tHost.usPort = argc > 1 ? (uint16_t)atoi(argv[1]) : 0;
    strcpy(tHost.tCap.sDevIdText, "DISSECT1");
    VXQ_F_TESTHOST_AddUser(&tHost, "admin", "4321");
    VXQ_F_TESTHOST_SetHook(&tHost, VXQ_F_TESTHOST_AnswerOpenStream);
    if (!VXQ_F_TESTHOST_Start(&tHost))
        return 1;
    printf("port=%u\n", (unsigned)tHost.usPort);

    TestClient tCmd, tView, tBad;
    Bytes tMsg;
    std::string sToken;
    _VXQ_S_CLI_LOGIN_INFO tLogin = {};
    int iOne = 1;
    bool bOk = tCmd.Connect(tHost.usPort) &&
               setsockopt(tCmd.t.iSock, IPPROTO_TCP, TCP_NODELAY, &iOne, sizeof(iOne)) == 0 &&
               VXQ_F_TESTCLI_Request(&tCmd.t, VXQ_F_CLI_BuildToken(101), tMsg) &&
               VXQ_F_CLI_ParseToken(tMsg.data(), tMsg.size(), &sToken, nullptr);
    printf("token=%s\n", sToken.c_str());

    /* The login in three segments (Nagle off: each send leaves as its own). */
    const std::string sDigest = VXQ_F_CLI_LoginDigest(sToken, "4321");
    Bytes tReq = VXQ_F_CLI_BuildLogin(102, "admin", sDigest);
    printf("digest=%s\n", sDigest.c_str());
    bOk = bOk && tCmd.Send(tReq.data(), 10) && tCmd.Send(tReq.data() + 10, 290) &&
          tCmd.Send(tReq.data() + 300, tReq.size() - 300) && tCmd.ReadMsg(tMsg) &&
          VXQ_F_CLI_ParseLogin(tMsg.data(), tMsg.size(), &tLogin);
    printf("login_id=%u\n", (unsigned)tLogin.dwLoginId);

    /* A viewer of channel 0 and one 200-byte I-frame the service builds into a frame message. */
    uint8_t ucFrame[200];
    memset(ucFrame, 0x5A, sizeof(ucFrame));
    bOk = bOk && tView.Connect(tHost.usPort) &&
          VXQ_F_TESTCLI_Request(&tView.t, VXQ_F_CLI_BuildExRealplayOpen(105, tLogin.dwLoginId, 0, 0, 0), tMsg) &&
          VXQ_F_DPS_InputVideoStreamEx(tHost.pSrv, 0, 0, VXQ_DPS_FRAME_TYPE_I, 777000, ucFrame, 200) &&
          tView.ReadMsg(tMsg) && tMsg.size() == 232;

    /* An alarm from the host reaches the command connection as a notice. */
    bOk = bOk && VXQ_F_DPS_UpAlarmMsg(tHost.pSrv, 2, 7, 99, "door open") && tCmd.ReadMsg(tMsg);

    uint8_t ucBad = 0xFF;
    bOk = bOk && tBad.Connect(tHost.usPort) && VXQ_F_CLI_GetToken(&tBad.t, &sToken, &ucBad, nullptr) &&
          VXQ_F_CLI_Login(&tBad.t, "admin", "wrong", sToken, &ucBad, &tLogin) && ucBad == 4;

    /* One NPD search request; its answer is broadcast. */
    uint16_t usUdp = 0;
    int iUdp = VXQ_F_CLI_NpdOpen(0, &usUdp);
    bOk = bOk && iUdp >= 0 && VXQ_F_CLI_NpdSend(iUdp, "127.0.0.1", VXQ_F_CLI_BuildSearch(4242, 0x1234));
    printf("npd_req=4242\n");
    if (iUdp >= 0)
        close(iUdp);
    return bOk ? 0 : 2;
}
