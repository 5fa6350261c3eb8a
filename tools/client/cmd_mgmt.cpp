/* cmd_mgmt.cpp - dps-client commands search, trace and log (no login needed). */
#include "cliapp.h"
#include "clinpd.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <set>

/* Trace clients must refresh within 20 s; the client does it every 10 s. */
#define PR_TRACE_REFRESH_MS 10000

int VXQ_F_CLICMD_Search(_VXQ_S_CLIAPP_CTX *inout_ptCtx)
{
    _VXQ_S_CLIAPP_OPTS tOpts;
    long long llTimeout;
    if (!VXQ_F_CLIAPP_ParseOpts(inout_ptCtx, inout_ptCtx->tArgs, "--timeout", "", &tOpts) ||
        !VXQ_F_CLIAPP_OptInt(inout_ptCtx, &tOpts, "--timeout", 0, 2, 1, 3600, &llTimeout))
        return VXQ_CLIAPP_EXIT_BROKEN;
    int iSock = VXQ_F_CLI_NpdOpen(0, nullptr);
    if (iSock < 0)
        return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN,
                                   std::string("cannot open a UDP socket: ") + strerror(errno));
    uint32_t dwRequestNo = (uint32_t)getpid();
    uint32_t dwSearcher = (uint32_t)VXQ_F_CLIAPP_NowMs();
    if (!VXQ_F_CLI_NpdSend(iSock, "255.255.255.255", VXQ_F_CLI_BuildSearch(dwRequestNo, dwSearcher))) {
        int iErr = errno;
        close(iSock);
        return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN,
                                   std::string("cannot broadcast the search: ") + strerror(iErr));
    }
    int64_t iEndMs = VXQ_F_CLIAPP_NowMs() + llTimeout * 1000;
    std::set<std::string> tSeen;
    while (!g_bCliStop) {
        int64_t iLeft = iEndMs - VXQ_F_CLIAPP_NowMs();
        if (iLeft <= 0)
            break;
        std::vector<uint8_t> tData;
        std::string sFrom;
        _VXQ_S_CLI_FOUND_DEV tDev;
        if (!VXQ_F_CLI_NpdRecv(iSock, (int)iLeft, &tData, &sFrom) ||
            !VXQ_F_CLI_ParseSearchAnswer(tData.data(), tData.size(), &tDev) || tDev.dwRequestNo != dwRequestNo ||
            tDev.dwSearcher != dwSearcher)
            continue;
        std::string sKey = sFrom + "/" + std::to_string(tDev.dwServerId);
        if (!tSeen.insert(sKey).second)
            continue;
        printf("%s  server id 0x%08x  %s  \"%s\"  \"%s\"  video %d  audio %d\n", sFrom.c_str(), tDev.dwServerId,
               tDev.sDevIdText.c_str(), tDev.sDevText1.c_str(), tDev.sDevText2.c_str(), tDev.iVideoChanNum,
               tDev.iAudioChanNum);
        fflush(stdout);
    }
    close(iSock);
    printf("%zu device(s) found\n", tSeen.size());
    return VXQ_CLIAPP_EXIT_OK;
}

/* The address of the device as dotted text (names resolved by a TCP-less lookup). */
static int PR_DeviceAddr(const std::string &in_sHost, struct in_addr *out_ptAddr)
{
    if (inet_pton(AF_INET, in_sHost.c_str(), out_ptAddr) == 1)
        return 1;
    struct addrinfo tHints;
    memset(&tHints, 0, sizeof(tHints));
    tHints.ai_family = AF_INET;
    tHints.ai_socktype = SOCK_DGRAM;
    struct addrinfo *pList = nullptr;
    if (getaddrinfo(in_sHost.c_str(), nullptr, &tHints, &pList) != 0 || pList == nullptr)
        return 0;
    *out_ptAddr = ((struct sockaddr_in *)pList->ai_addr)->sin_addr;
    freeaddrinfo(pList);
    return 1;
}

/* The local address this host uses to reach in_tDevice. */
static int PR_LocalAddrFor(struct in_addr in_tDevice, struct in_addr *out_ptLocal)
{
    int iSock = socket(AF_INET, SOCK_DGRAM, 0);
    if (iSock < 0)
        return 0;
    struct sockaddr_in tAddr;
    memset(&tAddr, 0, sizeof(tAddr));
    tAddr.sin_family = AF_INET;
    tAddr.sin_port = htons(VXQ_CLI_NPD_PORT);
    tAddr.sin_addr = in_tDevice;
    socklen_t iLen = sizeof(tAddr);
    int bOk = connect(iSock, (struct sockaddr *)&tAddr, sizeof(tAddr)) == 0 &&
              getsockname(iSock, (struct sockaddr *)&tAddr, &iLen) == 0;
    close(iSock);
    if (bOk)
        *out_ptLocal = tAddr.sin_addr;
    return bOk;
}

/* A trace parameter goes to the device's address and as a broadcast: several
 * devices may share one address and port (simulators on one host), and only
 * the one whose server id it names acts on it and answers. */
static void PR_SendTraceParam(int in_iSock, const std::string &in_sDevice, const std::vector<uint8_t> &in_tData)
{
    VXQ_F_CLI_NpdSend(in_iSock, in_sDevice, in_tData);
    if (in_sDevice != "255.255.255.255")
        VXQ_F_CLI_NpdSend(in_iSock, "255.255.255.255", in_tData);
}

int VXQ_F_CLICMD_Trace(_VXQ_S_CLIAPP_CTX *inout_ptCtx)
{
    _VXQ_S_CLIAPP_OPTS tOpts;
    long long llSeconds, llServerId;
    if (!VXQ_F_CLIAPP_ParseOpts(inout_ptCtx, inout_ptCtx->tArgs, "--seconds --server-id", "", &tOpts) ||
        !VXQ_F_CLIAPP_OptInt(inout_ptCtx, &tOpts, "--seconds", 0, 30, 1, 86400 * 365LL, &llSeconds) ||
        !VXQ_F_CLIAPP_OptInt(inout_ptCtx, &tOpts, "--server-id", 0, -1, 0, 0xFFFFFFFFll, &llServerId))
        return VXQ_CLIAPP_EXIT_BROKEN;
    struct in_addr tDevice, tLocal;
    if (!PR_DeviceAddr(inout_ptCtx->sHost, &tDevice))
        return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN,
                                   "host name '" + inout_ptCtx->sHost + "' does not resolve");
    if (!PR_LocalAddrFor(tDevice, &tLocal))
        return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN, "no route to " + inout_ptCtx->sHost);
    uint16_t usPort = 0;
    int iSock = VXQ_F_CLI_NpdOpen(0, &usPort);
    if (iSock < 0)
        return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN,
                                   std::string("cannot open a UDP socket: ") + strerror(errno));
    char sDevice[INET_ADDRSTRLEN] = {0};
    inet_ntop(AF_INET, &tDevice, sDevice, sizeof(sDevice));
    /* The server id comes from --server-id or from the device's own search
     * answer. The search goes to the device's address alone, so an answer that
     * carries this search's request number and searcher value is the device's,
     * whatever source address the broadcast answer shows (a device on this
     * host answers from the address of the interface the broadcast left by). */
    uint32_t dwRequestNo = (uint32_t)getpid();
    uint32_t dwSearcher = (uint32_t)VXQ_F_CLIAPP_NowMs();
    uint32_t dwServerId = llServerId >= 0 ? (uint32_t)llServerId : 0u;
    int bFound = llServerId >= 0;
    for (int iTry = 0; iTry < 3 && !bFound && !g_bCliStop; iTry++) {
        VXQ_F_CLI_NpdSend(iSock, sDevice, VXQ_F_CLI_BuildSearch(dwRequestNo, dwSearcher));
        int64_t iEndMs = VXQ_F_CLIAPP_NowMs() + 1000;
        while (!bFound) {
            int64_t iLeft = iEndMs - VXQ_F_CLIAPP_NowMs();
            std::vector<uint8_t> tData;
            _VXQ_S_CLI_FOUND_DEV tDev;
            if (iLeft <= 0 || !VXQ_F_CLI_NpdRecv(iSock, (int)iLeft, &tData, nullptr))
                break;
            if (VXQ_F_CLI_ParseSearchAnswer(tData.data(), tData.size(), &tDev) && tDev.dwRequestNo == dwRequestNo &&
                tDev.dwSearcher == dwSearcher) {
                dwServerId = tDev.dwServerId;
                bFound = 1;
            }
        }
    }
    if (!bFound) {
        close(iSock);
        return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN,
                                   std::string("no search answer from ") + sDevice + ": time-out");
    }
    uint32_t dwLocal = ntohl(tLocal.s_addr);
    uint32_t dwRegNo = dwRequestNo + 1;
    int64_t iStartMs = VXQ_F_CLIAPP_NowMs();
    int64_t iEndMs = iStartMs + llSeconds * 1000;
    int64_t iNextRefreshMs = 0;
    int bRegistered = 0;
    unsigned uLines = 0;
    std::string sFailure;
    while (!g_bCliStop) {
        int64_t iNow = VXQ_F_CLIAPP_NowMs();
        if (iNow >= iEndMs)
            break;
        if (iNow >= iNextRefreshMs) {
            PR_SendTraceParam(iSock, sDevice, VXQ_F_CLI_BuildTraceParam(++dwRegNo, dwServerId, 1, usPort, dwLocal));
            iNextRefreshMs = iNow + PR_TRACE_REFRESH_MS;
        }
        if (!bRegistered && iNow - iStartMs > 3000) {
            sFailure = "trace registration: time-out";
            break;
        }
        std::vector<uint8_t> tData;
        int64_t iLeft = iEndMs - iNow < 200 ? iEndMs - iNow : 200;
        if (!VXQ_F_CLI_NpdRecv(iSock, (int)iLeft, &tData, nullptr))
            continue;
        uint32_t dwResult = 0, dwLineNo = 0, dwAddr = 0;
        std::string sText;
        if (VXQ_F_CLI_ParseTraceAnswer(tData.data(), tData.size(), dwRegNo, &dwResult)) {
            if (dwResult != 0) {
                sFailure = "trace registration refused: result " + std::to_string(dwResult) +
                           " (the device's trace client table is full)";
                break;
            }
            if (!bRegistered)
                printf("registered as trace client %s:%u\n", inet_ntoa(tLocal), usPort);
            bRegistered = 1;
            fflush(stdout);
        } else if (VXQ_F_CLI_ParseLogLine(tData.data(), tData.size(), &dwLineNo, &dwAddr, &sText) &&
                   dwAddr == dwLocal) {
            printf("%u %s\n", dwLineNo, sText.c_str());
            fflush(stdout);
            uLines++;
        }
    }
    if (bRegistered)
        PR_SendTraceParam(iSock, sDevice, VXQ_F_CLI_BuildTraceParam(++dwRegNo, dwServerId, 0, usPort, dwLocal));
    close(iSock);
    if (!sFailure.empty())
        return VXQ_F_CLIAPP_Report(inout_ptCtx, sFailure.find("refused") != std::string::npos ? VXQ_CLIAPP_EXIT_REFUSED
                                                                                               : VXQ_CLIAPP_EXIT_BROKEN,
                                   sFailure);
    printf("%u log line(s)\n", uLines);
    return VXQ_CLIAPP_EXIT_OK;
}

int VXQ_F_CLICMD_Log(_VXQ_S_CLIAPP_CTX *inout_ptCtx)
{
    _VXQ_S_CLIAPP_OPTS tOpts;
    long long llPort, llSeconds;
    if (!VXQ_F_CLIAPP_ParseOpts(inout_ptCtx, inout_ptCtx->tArgs, "--port --seconds", "", &tOpts) ||
        !VXQ_F_CLIAPP_OptInt(inout_ptCtx, &tOpts, "--port", 1, 0, 1, 65535, &llPort) ||
        !VXQ_F_CLIAPP_OptInt(inout_ptCtx, &tOpts, "--seconds", 0, 0, 0, 86400 * 365LL, &llSeconds))
        return VXQ_CLIAPP_EXIT_BROKEN;
    _VXQ_S_CLI_LINK tLog;
    VXQ_F_CLI_Init(&tLog);
    if (!VXQ_F_CLI_Connect(&tLog, inout_ptCtx->sHost, (uint16_t)llPort))
        return VXQ_F_CLIAPP_LinkFail(inout_ptCtx, &tLog,
                                     "cannot connect to the log port " + inout_ptCtx->sHost + ":" + std::to_string(llPort));
    /* The log port streams text lines ending in CR LF; it has no messages. */
    int64_t iEndMs = llSeconds ? VXQ_F_CLIAPP_NowMs() + llSeconds * 1000 : 0;
    std::string sPending;
    int bClosed = 0;
    while (!g_bCliStop && !bClosed) {
        int64_t iLeft = iEndMs ? iEndMs - VXQ_F_CLIAPP_NowMs() : 200;
        if (iLeft <= 0)
            break;
        struct pollfd tPoll = {tLog.iSock, POLLIN, 0};
        if (poll(&tPoll, 1, iLeft < 200 ? (int)iLeft : 200) != 1)
            continue;
        char sBuf[4096];
        ssize_t iGot = recv(tLog.iSock, sBuf, sizeof(sBuf), 0);
        if (iGot <= 0) {
            bClosed = 1;
            break;
        }
        sPending.append(sBuf, (size_t)iGot);
        size_t iEnd;
        while ((iEnd = sPending.find('\n')) != std::string::npos) {
            std::string sLine = sPending.substr(0, iEnd);
            if (!sLine.empty() && sLine.back() == '\r')
                sLine.pop_back();
            printf("%s\n", sLine.c_str());
            sPending.erase(0, iEnd + 1);
        }
        fflush(stdout);
    }
    VXQ_F_CLI_Close(&tLog);
    if (bClosed)
        return VXQ_F_CLIAPP_Report(inout_ptCtx, VXQ_CLIAPP_EXIT_BROKEN, "log port: connection closed by the device");
    return VXQ_CLIAPP_EXIT_OK;
}
