/* clilink.cpp - the client TCP connection: connect, whole-message reads, answer matching, session steps. */
#include "clilink.h"

#include "vxq_clock.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

/* Milliseconds of the steady clock: deadlines of socket waits only. */
static int64_t PR_NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

static int PR_Fail(_VXQ_S_CLI_LINK *inout_ptLink, int in_iError, int in_iSysErr = 0)
{
    inout_ptLink->iError = in_iError;
    inout_ptLink->iSysErr = in_iSysErr;
    return 0;
}

void VXQ_F_CLI_Init(_VXQ_S_CLI_LINK *out_ptLink)
{
    out_ptLink->iSock = -1;
    out_ptLink->dwNextTransNo = 1;
    out_ptLink->tRecv.clear();
    out_ptLink->bPeerClosed = 0;
    out_ptLink->iError = VXQ_CLI_ERR_NONE;
    out_ptLink->iSysErr = 0;
    out_ptLink->tNotices.clear();
    out_ptLink->dwLastBeatMs = 0;
    out_ptLink->dwMaxMsgLen = 0;
    out_ptLink->dwSkipLeft = 0;
    out_ptLink->dwLastOversize = 0;
}

int VXQ_F_CLI_Connect(_VXQ_S_CLI_LINK *inout_ptLink, const std::string &in_sHost, uint16_t in_usPort,
                      int in_iTimeoutMs)
{
    VXQ_F_CLI_Close(inout_ptLink);
    inout_ptLink->tNotices.clear();
    struct sockaddr_in tAddr;
    memset(&tAddr, 0, sizeof(tAddr));
    tAddr.sin_family = AF_INET;
    tAddr.sin_port = htons(in_usPort);
    if (inet_pton(AF_INET, in_sHost.c_str(), &tAddr.sin_addr) != 1) {
        struct addrinfo tHints;
        memset(&tHints, 0, sizeof(tHints));
        tHints.ai_family = AF_INET;
        tHints.ai_socktype = SOCK_STREAM;
        struct addrinfo *pList = nullptr;
        if (getaddrinfo(in_sHost.c_str(), nullptr, &tHints, &pList) != 0 || pList == nullptr)
            return PR_Fail(inout_ptLink, VXQ_CLI_ERR_RESOLVE);
        tAddr.sin_addr = ((struct sockaddr_in *)pList->ai_addr)->sin_addr;
        freeaddrinfo(pList);
    }
    int iSock = socket(AF_INET, SOCK_STREAM, 0);
    if (iSock < 0)
        return PR_Fail(inout_ptLink, VXQ_CLI_ERR_SOCKET, errno);
    fcntl(iSock, F_SETFL, fcntl(iSock, F_GETFL, 0) | O_NONBLOCK);
    int iRet = connect(iSock, (struct sockaddr *)&tAddr, sizeof(tAddr));
    int iErr = iRet == 0 ? 0 : errno;
    if (iRet != 0 && iErr == EINPROGRESS) {
        struct pollfd tPoll = {iSock, POLLOUT, 0};
        int iReady = poll(&tPoll, 1, in_iTimeoutMs);
        if (iReady == 0) {
            close(iSock);
            return PR_Fail(inout_ptLink, VXQ_CLI_ERR_TIMEOUT);
        }
        socklen_t iLen = sizeof(iErr);
        if (iReady < 0 || getsockopt(iSock, SOL_SOCKET, SO_ERROR, &iErr, &iLen) != 0)
            iErr = errno ? errno : EIO;
    }
    if (iErr != 0) {
        close(iSock);
        if (iErr == ECONNREFUSED)
            return PR_Fail(inout_ptLink, VXQ_CLI_ERR_REFUSED);
        if (iErr == ETIMEDOUT)
            return PR_Fail(inout_ptLink, VXQ_CLI_ERR_TIMEOUT);
        return PR_Fail(inout_ptLink, VXQ_CLI_ERR_SOCKET, iErr);
    }
    int iOne = 1;
    setsockopt(iSock, IPPROTO_TCP, TCP_NODELAY, &iOne, sizeof(iOne));
    inout_ptLink->iSock = iSock;
    inout_ptLink->dwLastBeatMs = VXQ_F_CLOCK_TickMs();
    inout_ptLink->bPeerClosed = 0;
    inout_ptLink->iError = VXQ_CLI_ERR_NONE;
    return 1;
}

void VXQ_F_CLI_Close(_VXQ_S_CLI_LINK *inout_ptLink)
{
    if (inout_ptLink->iSock >= 0)
        close(inout_ptLink->iSock);
    inout_ptLink->iSock = -1;
    inout_ptLink->tRecv.clear();
    inout_ptLink->dwSkipLeft = 0;
}

int VXQ_F_CLI_SendRaw(_VXQ_S_CLI_LINK *inout_ptLink, const void *in_pData, size_t in_iLen)
{
    if (inout_ptLink->iSock < 0)
        return PR_Fail(inout_ptLink, VXQ_CLI_ERR_CLOSED);
    const uint8_t *pData = (const uint8_t *)in_pData;
    size_t iSent = 0;
    int64_t iDeadline = PR_NowMs() + 5000;
    while (iSent < in_iLen) {
        ssize_t iRet = send(inout_ptLink->iSock, pData + iSent, in_iLen - iSent, MSG_NOSIGNAL);
        if (iRet > 0) {
            iSent += (size_t)iRet;
            continue;
        }
        if (iRet < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            int iLeft = (int)(iDeadline - PR_NowMs());
            if (iLeft <= 0)
                return PR_Fail(inout_ptLink, VXQ_CLI_ERR_TIMEOUT);
            struct pollfd tPoll = {inout_ptLink->iSock, POLLOUT, 0};
            poll(&tPoll, 1, iLeft);
            continue;
        }
        if (iRet < 0 && (errno == EPIPE || errno == ECONNRESET)) {
            inout_ptLink->bPeerClosed = 1;
            return PR_Fail(inout_ptLink, VXQ_CLI_ERR_CLOSED);
        }
        return PR_Fail(inout_ptLink, VXQ_CLI_ERR_SOCKET, errno);
    }
    return 1;
}

int VXQ_F_CLI_SendMsg(_VXQ_S_CLI_LINK *inout_ptLink, const std::vector<uint8_t> &in_tMsg)
{
    return VXQ_F_CLI_SendRaw(inout_ptLink, in_tMsg.data(), in_tMsg.size());
}

/* Receives what is there, waiting at most in_iWaitMs for the first byte.
 * Returns 1 when bytes came, 0 on time-out, -1 when the peer closed or failed. */
static int PR_RecvSome(_VXQ_S_CLI_LINK *inout_ptLink, int in_iWaitMs)
{
    if (inout_ptLink->iSock < 0 || inout_ptLink->bPeerClosed)
        return -1;
    struct pollfd tPoll = {inout_ptLink->iSock, POLLIN, 0};
    int iRet = poll(&tPoll, 1, in_iWaitMs < 0 ? 0 : in_iWaitMs);
    if (iRet == 0)
        return 0;
    if (iRet < 0)
        return errno == EINTR ? 0 : -1;
    uint8_t ucBuf[65536];
    ssize_t iLen = recv(inout_ptLink->iSock, ucBuf, sizeof(ucBuf), 0);
    if (iLen > 0) {
        inout_ptLink->tRecv.insert(inout_ptLink->tRecv.end(), ucBuf, ucBuf + iLen);
        return 1;
    }
    if (iLen < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return 0;
    inout_ptLink->bPeerClosed = 1;
    return -1;
}

int VXQ_F_CLI_ReadWire(_VXQ_S_CLI_LINK *inout_ptLink, std::vector<uint8_t> &out_tMsg, int in_iTimeoutMs)
{
    out_tMsg.clear();
    int64_t iDeadline = PR_NowMs() + in_iTimeoutMs;
    for (;;) {
        std::vector<uint8_t> &tRecv = inout_ptLink->tRecv;
        if (inout_ptLink->dwSkipLeft > 0) {
            size_t iDrop = tRecv.size() < inout_ptLink->dwSkipLeft ? tRecv.size() : inout_ptLink->dwSkipLeft;
            tRecv.erase(tRecv.begin(), tRecv.begin() + iDrop);
            inout_ptLink->dwSkipLeft -= (uint32_t)iDrop;
        }
        if (inout_ptLink->dwSkipLeft == 0 && tRecv.size() >= VXQ_CLI_HEAD_LEN) {
            uint32_t dwFlag = VXQ_F_CLI_GetU32(&tRecv[0]);
            uint32_t dwSize = VXQ_F_CLI_GetU32(&tRecv[4]);
            if (dwFlag != VXQ_CLI_PACKET_FLAG || dwSize < VXQ_CLI_HEAD_LEN)
                return PR_Fail(inout_ptLink, VXQ_CLI_ERR_PROTOCOL);
            if (inout_ptLink->dwMaxMsgLen != 0 && dwSize > inout_ptLink->dwMaxMsgLen) {
                inout_ptLink->dwSkipLeft = dwSize;
                inout_ptLink->dwLastOversize = dwSize;
                return PR_Fail(inout_ptLink, VXQ_CLI_ERR_OVERSIZE);
            }
            if (tRecv.size() >= dwSize) {
                out_tMsg.assign(tRecv.begin(), tRecv.begin() + dwSize);
                tRecv.erase(tRecv.begin(), tRecv.begin() + dwSize);
                return 1;
            }
        }
        /* One receive even when the time is up, so a zero wait still takes
         * what is already there. */
        int iLeft = (int)(iDeadline - PR_NowMs());
        int iGot = PR_RecvSome(inout_ptLink, iLeft < 0 ? 0 : iLeft);
        if (iGot < 0)
            return PR_Fail(inout_ptLink, inout_ptLink->bPeerClosed ? VXQ_CLI_ERR_CLOSED : VXQ_CLI_ERR_SOCKET, errno);
        if (iGot == 0 && PR_NowMs() >= iDeadline)
            return PR_Fail(inout_ptLink, VXQ_CLI_ERR_TIMEOUT);
    }
}

int VXQ_F_CLI_ReadMsg(_VXQ_S_CLI_LINK *inout_ptLink, std::vector<uint8_t> &out_tMsg, int in_iTimeoutMs)
{
    if (!inout_ptLink->tNotices.empty()) {
        out_tMsg.swap(inout_ptLink->tNotices.front());
        inout_ptLink->tNotices.pop_front();
        return 1;
    }
    return VXQ_F_CLI_ReadWire(inout_ptLink, out_tMsg, in_iTimeoutMs);
}

int VXQ_F_CLI_WaitPeerClosed(_VXQ_S_CLI_LINK *inout_ptLink, int in_iTimeoutMs)
{
    int64_t iDeadline = PR_NowMs() + in_iTimeoutMs;
    while (!inout_ptLink->bPeerClosed) {
        int iLeft = (int)(iDeadline - PR_NowMs());
        if (iLeft <= 0)
            return 0;
        if (PR_RecvSome(inout_ptLink, iLeft) < 0)
            return 1;
    }
    return 1;
}

int VXQ_F_CLI_Call(_VXQ_S_CLI_LINK *inout_ptLink, const std::vector<uint8_t> &in_tMsg, std::vector<uint8_t> &out_tAnswer,
                   int in_iTimeoutMs)
{
    _VXQ_S_CLI_HEAD tRequest;
    if (!VXQ_F_CLI_ParseHead(in_tMsg.data(), in_tMsg.size(), &tRequest))
        return PR_Fail(inout_ptLink, VXQ_CLI_ERR_PROTOCOL);
    if (!VXQ_F_CLI_SendMsg(inout_ptLink, in_tMsg))
        return 0;
    int64_t iDeadline = PR_NowMs() + in_iTimeoutMs;
    for (;;) {
        int iLeft = (int)(iDeadline - PR_NowMs());
        if (!VXQ_F_CLI_ReadWire(inout_ptLink, out_tAnswer, iLeft < 0 ? 0 : iLeft))
            return 0;
        _VXQ_S_CLI_HEAD tHead;
        VXQ_F_CLI_ParseHead(out_tAnswer.data(), out_tAnswer.size(), &tHead);
        if (tHead.usMsgFuncId == tRequest.usMsgFuncId && tHead.ucPacketType == VXQ_CLI_PACKET_ANSWER &&
            tHead.dwTransNo == tRequest.dwTransNo)
            return 1;
        inout_ptLink->tNotices.push_back(out_tAnswer);
    }
}

uint8_t VXQ_F_CLI_Result(const std::vector<uint8_t> &in_tAnswer)
{
    return in_tAnswer.size() >= VXQ_CLI_HEAD_LEN ? in_tAnswer[11] : 0;
}

uint32_t VXQ_F_CLI_NextTransNo(_VXQ_S_CLI_LINK *inout_ptLink)
{
    return inout_ptLink->dwNextTransNo++;
}

int VXQ_F_CLI_Heartbeat(_VXQ_S_CLI_LINK *inout_ptLink)
{
    std::vector<uint8_t> tAnswer;
    inout_ptLink->dwLastBeatMs = VXQ_F_CLOCK_TickMs();
    return VXQ_F_CLI_Call(inout_ptLink, VXQ_F_CLI_BuildHeartbeat(VXQ_F_CLI_NextTransNo(inout_ptLink)), tAnswer);
}

int VXQ_F_CLI_KeepAlive(_VXQ_S_CLI_LINK *inout_ptLink)
{
    uint32_t dwNow = VXQ_F_CLOCK_TickMs();
    /* Unsigned difference: right across the tick counter's wrap. */
    if (dwNow - inout_ptLink->dwLastBeatMs < VXQ_CLI_HEARTBEAT_MS)
        return 1;
    inout_ptLink->dwLastBeatMs = dwNow;
    return VXQ_F_CLI_SendMsg(inout_ptLink, VXQ_F_CLI_BuildHeartbeat(VXQ_F_CLI_NextTransNo(inout_ptLink)));
}

int VXQ_F_CLI_GetToken(_VXQ_S_CLI_LINK *inout_ptLink, std::string *out_psToken, uint8_t *out_pucResult,
                       uint8_t *out_pucPwdMode)
{
    std::vector<uint8_t> tAnswer;
    if (!VXQ_F_CLI_Call(inout_ptLink, VXQ_F_CLI_BuildToken(VXQ_F_CLI_NextTransNo(inout_ptLink)), tAnswer))
        return 0;
    if (!VXQ_F_CLI_ParseToken(tAnswer.data(), tAnswer.size(), out_psToken, out_pucPwdMode))
        return PR_Fail(inout_ptLink, VXQ_CLI_ERR_PROTOCOL);
    if (out_pucResult)
        *out_pucResult = VXQ_F_CLI_Result(tAnswer);
    return 1;
}

int VXQ_F_CLI_Login(_VXQ_S_CLI_LINK *inout_ptLink, const std::string &in_sUser, const std::string &in_sPassword,
                    const std::string &in_sToken, uint8_t *out_pucResult, _VXQ_S_CLI_LOGIN_INFO *out_ptInfo,
                    std::vector<uint8_t> *out_ptAnswer)
{
    std::vector<uint8_t> tMsg = VXQ_F_CLI_BuildLogin(VXQ_F_CLI_NextTransNo(inout_ptLink), in_sUser,
                                                     VXQ_F_CLI_LoginDigest(in_sToken, in_sPassword));
    std::vector<uint8_t> tAnswer;
    if (!VXQ_F_CLI_Call(inout_ptLink, tMsg, tAnswer))
        return 0;
    _VXQ_S_CLI_LOGIN_INFO tInfo;
    if (!VXQ_F_CLI_ParseLogin(tAnswer.data(), tAnswer.size(), &tInfo))
        return PR_Fail(inout_ptLink, VXQ_CLI_ERR_PROTOCOL);
    uint8_t ucResult = VXQ_F_CLI_Result(tAnswer);
    if (ucResult != 0)
        tInfo.dwLoginId = 0;
    if (out_pucResult)
        *out_pucResult = ucResult;
    if (out_ptInfo)
        *out_ptInfo = tInfo;
    if (out_ptAnswer)
        *out_ptAnswer = tAnswer;
    return 1;
}

std::string VXQ_F_CLI_ErrorText(const _VXQ_S_CLI_LINK *in_ptLink)
{
    switch (in_ptLink->iError) {
    case VXQ_CLI_ERR_NONE:
        return "no failure";
    case VXQ_CLI_ERR_RESOLVE:
        return "host name does not resolve";
    case VXQ_CLI_ERR_REFUSED:
        return "connection refused";
    case VXQ_CLI_ERR_TIMEOUT:
        return "time-out";
    case VXQ_CLI_ERR_CLOSED:
        return "connection closed by the device";
    case VXQ_CLI_ERR_PROTOCOL:
        return "malformed message from the device";
    case VXQ_CLI_ERR_OVERSIZE:
        return "message of " + std::to_string(in_ptLink->dwLastOversize) + " bytes from the device is too long";
    default:
        return std::string("socket error: ") + strerror(in_ptLink->iSysErr);
    }
}
