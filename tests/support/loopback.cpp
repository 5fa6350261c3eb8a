/* Blocking loopback peers for tests. */
#include "support/loopback.h"
#include "support/time_scale.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

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

static uint16_t BoundPort(int in_iFd)
{
    sockaddr_in tAddr;
    socklen_t iLen = sizeof(tAddr);
    if (getsockname(in_iFd, (sockaddr *)&tAddr, &iLen) != 0)
        return 0;
    return ntohs(tAddr.sin_port);
}

int LoopbackListen(uint16_t *out_pPort)
{
    int iFd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in tAddr = LoopbackAddr(0);
    if (iFd < 0 || bind(iFd, (sockaddr *)&tAddr, sizeof(tAddr)) != 0 || listen(iFd, 16) != 0) {
        if (iFd >= 0)
            close(iFd);
        return -1;
    }
    *out_pPort = BoundPort(iFd);
    return iFd;
}

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

int LoopbackUdp(uint16_t *out_pPort)
{
    int iFd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in tAddr = LoopbackAddr(0);
    if (iFd < 0 || bind(iFd, (sockaddr *)&tAddr, sizeof(tAddr)) != 0) {
        if (iFd >= 0)
            close(iFd);
        return -1;
    }
    *out_pPort = BoundPort(iFd);
    return iFd;
}

std::string ReadBytes(int in_iFd, int in_iLen, int in_iTimeoutMs)
{
    std::string sOut;
    auto tDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(VXQ_F_TESTTIME_ScaleMs(in_iTimeoutMs));
    char sBuf[65536];
    while ((int)sOut.size() < in_iLen) {
        int iLeft = (int)std::chrono::duration_cast<std::chrono::milliseconds>(tDeadline -
                                                                               std::chrono::steady_clock::now())
                        .count();
        if (iLeft <= 0)
            break;
        pollfd tFd = {in_iFd, POLLIN, 0};
        if (poll(&tFd, 1, iLeft) <= 0)
            break;
        size_t nWant = (size_t)(in_iLen - (int)sOut.size());
        if (nWant > sizeof(sBuf))
            nWant = sizeof(sBuf);
        ssize_t nGot = recv(in_iFd, sBuf, nWant, 0);
        if (nGot <= 0)
            break;
        sOut.append(sBuf, (size_t)nGot);
    }
    return sOut;
}

int WaitPeerClosed(int in_iFd, int in_iTimeoutMs)
{
    auto tDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(VXQ_F_TESTTIME_ScaleMs(in_iTimeoutMs));
    char sBuf[4096];
    for (;;) {
        int iLeft = (int)std::chrono::duration_cast<std::chrono::milliseconds>(tDeadline -
                                                                               std::chrono::steady_clock::now())
                        .count();
        pollfd tFd = {in_iFd, POLLIN, 0};
        /* Looks at least once, even when the time is already up. */
        if (poll(&tFd, 1, iLeft > 0 ? iLeft : 0) <= 0)
            return 0;
        ssize_t nGot = recv(in_iFd, sBuf, sizeof(sBuf), 0);
        if (nGot <= 0)
            return 1;
    }
}

std::string Pattern(int in_iLen, int in_iSeed)
{
    std::string sOut((size_t)in_iLen, '\0');
    for (int i = 0; i < in_iLen; i++)
        sOut[(size_t)i] = (char)((i * 7 + in_iSeed * 13 + i / 251) & 0xFF);
    return sOut;
}
