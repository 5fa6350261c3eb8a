/* Blocking loopback peers for tests. */
#include "support/loopback.h"
#include "support/time_scale.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

static sockaddr_in LoopbackAddr(uint16_t in_usPort)
{
    sockaddr_in tAddr;
    memset(&tAddr, 0, sizeof(tAddr));
    tAddr.sin_family = AF_INET;
    tAddr.sin_port = htons(in_usPort);
    tAddr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return tAddr;
}

/* A socket of in_iType bound to 127.0.0.1 at a port the system picks (written to out_pPort). */
static int PR_Bound(int in_iType, uint16_t *out_pPort)
{
    int iFd = socket(AF_INET, in_iType, 0);
    sockaddr_in tAddr = LoopbackAddr(0);
    socklen_t iLen = sizeof(tAddr);
    if (iFd < 0 || bind(iFd, (sockaddr *)&tAddr, sizeof(tAddr)) != 0 ||
        (in_iType == SOCK_STREAM && listen(iFd, 16) != 0) || getsockname(iFd, (sockaddr *)&tAddr, &iLen) != 0) {
        if (iFd >= 0)
            close(iFd);
        return -1;
    }
    *out_pPort = ntohs(tAddr.sin_port);
    return iFd;
}

int LoopbackListen(uint16_t *out_pPort) { return PR_Bound(SOCK_STREAM, out_pPort); }
int LoopbackUdp(uint16_t *out_pPort) { return PR_Bound(SOCK_DGRAM, out_pPort); }

int LoopbackConnect(uint16_t in_usPort)
{
    int iFd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in tAddr = LoopbackAddr(in_usPort);
    if (iFd < 0 || connect(iFd, (sockaddr *)&tAddr, sizeof(tAddr)) != 0) {
        if (iFd >= 0)
            close(iFd);
        return -1;
    }
    return iFd;
}

int LoopbackPair(int *out_pClient, int *out_pServer)
{
    uint16_t usPort = 0;
    int iListen = LoopbackListen(&usPort);
    if (iListen < 0)
        return 0;
    *out_pClient = LoopbackConnect(usPort);
    *out_pServer = *out_pClient >= 0 ? accept(iListen, NULL, NULL) : -1;
    close(iListen);
    return (*out_pClient >= 0 && *out_pServer >= 0) ? 1 : 0;
}

/* Polls in_iFd for input until the deadline (looking at least once); true when there is some. */
static bool PR_Readable(int in_iFd, std::chrono::steady_clock::time_point in_tDeadline)
{
    auto iLeft = std::chrono::duration_cast<std::chrono::milliseconds>(in_tDeadline - std::chrono::steady_clock::now());
    pollfd tFd = {in_iFd, POLLIN, 0};
    return poll(&tFd, 1, iLeft.count() > 0 ? (int)iLeft.count() : 0) > 0;
}

static std::chrono::steady_clock::time_point PR_Deadline(int in_iTimeoutMs)
{
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(VXQ_F_TESTTIME_ScaleMs(in_iTimeoutMs));
}

std::string ReadBytes(int in_iFd, int in_iLen, int in_iTimeoutMs)
{
    std::string sOut;
    auto tDeadline = PR_Deadline(in_iTimeoutMs);
    char sBuf[65536];
    while ((int)sOut.size() < in_iLen && PR_Readable(in_iFd, tDeadline)) {
        ssize_t nGot = recv(in_iFd, sBuf, std::min(sizeof(sBuf), (size_t)in_iLen - sOut.size()), 0);
        if (nGot <= 0)
            break;
        sOut.append(sBuf, (size_t)nGot);
    }
    return sOut;
}

int WaitPeerClosed(int in_iFd, int in_iTimeoutMs)
{
    auto tDeadline = PR_Deadline(in_iTimeoutMs);
    char sBuf[4096];
    while (PR_Readable(in_iFd, tDeadline)) {
        if (recv(in_iFd, sBuf, sizeof(sBuf), 0) <= 0)
            return 1;
    }
    return 0;
}

std::string Pattern(int in_iLen, int in_iSeed)
{
    std::string sOut((size_t)in_iLen, '\0');
    for (int i = 0; i < in_iLen; i++)
        sOut[(size_t)i] = (char)((i * 7 + in_iSeed * 13 + i / 251) & 0xFF);
    return sOut;
}
