/* IPv4 socket wrappers: one result convention over the OS table of net/sockos.h. */
#include "vxq_sockwrap.h"

#include "net/sockgather.h"
#include "net/sockos.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/uio.h>

/* Copies in_sText into the caller's failure buffer, cut to its size. */
static void VXQ_F_SYS_SOCKET_PR_SetText(char *out_pErrInfo, int in_iErrInfoSize, const char *in_sText)
{
    if (out_pErrInfo == NULL || in_iErrInfoSize <= 0)
        return;
    size_t nLen = strlen(in_sText);
    if (nLen > (size_t)(in_iErrInfoSize - 1))
        nLen = (size_t)(in_iErrInfoSize - 1);
    memcpy(out_pErrInfo, in_sText, nLen);
    out_pErrInfo[nLen] = 0;
}

/* strerror_r comes in two shapes (XSI returns int, GNU returns the text). */
[[maybe_unused]] static const char *VXQ_F_SYS_SOCKET_PR_PickErrText(int in_iResult, const char *in_pBuf)
{
    return in_iResult == 0 ? in_pBuf : "unknown error";
}
[[maybe_unused]] static const char *VXQ_F_SYS_SOCKET_PR_PickErrText(const char *in_pText, const char *)
{
    return in_pText;
}

/* Writes the system's text for in_iErrno. */
static void VXQ_F_SYS_SOCKET_PR_SetErrnoText(char *out_pErrInfo, int in_iErrInfoSize, int in_iErrno)
{
    char sBuf[128];
    sBuf[0] = 0;
    VXQ_F_SYS_SOCKET_PR_SetText(out_pErrInfo, in_iErrInfoSize,
                                VXQ_F_SYS_SOCKET_PR_PickErrText(strerror_r(in_iErrno, sBuf, sizeof(sBuf)), sBuf));
}

static int VXQ_F_SYS_SOCKET_PR_IsWouldBlock(int in_iErrno)
{
    return in_iErrno == EAGAIN || in_iErrno == EWOULDBLOCK || in_iErrno == EINTR;
}

/* Fills an IPv4 socket address; 0 when the dotted text does not parse. A null
 * text means any address. */
static int VXQ_F_SYS_SOCKET_PR_MakeAddr(const char *in_pIpaddr, uint16_t in_usPort, struct sockaddr_in *out_pAddr)
{
    memset(out_pAddr, 0, sizeof(*out_pAddr));
    out_pAddr->sin_family = AF_INET;
    out_pAddr->sin_port = htons(in_usPort);
    if (in_pIpaddr == NULL) {
        out_pAddr->sin_addr.s_addr = htonl(INADDR_ANY);
        return 1;
    }
    return inet_pton(AF_INET, in_pIpaddr, &out_pAddr->sin_addr) == 1 ? 1 : 0;
}

/* Writes the dotted text (16 bytes) and port of an IPv4 socket address. */
static void VXQ_F_SYS_SOCKET_PR_ReadAddr(const struct sockaddr_in *in_pAddr, char *out_pIpaddr, uint16_t *out_pPort)
{
    if (out_pIpaddr != NULL) {
        if (inet_ntop(AF_INET, &in_pAddr->sin_addr, out_pIpaddr, 16) == NULL)
            out_pIpaddr[0] = 0;
    }
    if (out_pPort != NULL)
        *out_pPort = ntohs(in_pAddr->sin_port);
}

/* Waits up to in_iTimeoutMs for readability (or writability): 1 ready, 0 time
 * out, -1 wait error. A single-socket wait uses poll, so any descriptor works. */
static int VXQ_F_SYS_SOCKET_PR_WaitReady(int in_iSocket, int in_bWrite, int in_iTimeoutMs)
{
    struct pollfd tFd;
    tFd.fd = in_iSocket;
    tFd.events = (short)(in_bWrite ? POLLOUT : POLLIN);
    tFd.revents = 0;
    if (in_iSocket < 0)
        return -1;
    for (;;) {
        int iResult = VXQ_F_SOCKOS_Get()->fnPoll(&tFd, 1, in_iTimeoutMs < 0 ? 0 : in_iTimeoutMs);
        if (iResult > 0)
            return (tFd.revents & POLLNVAL) ? -1 : 1;
        if (iResult == 0)
            return 0;
        if (errno != EINTR)
            return -1;
    }
}

extern "C" int VXQ_F_SYS_SOCKET_InitSocketLib(void)
{
    signal(SIGPIPE, SIG_IGN);
    return 1;
}

extern "C" int VXQ_F_SYS_SOCKET_UninitSocketLib(void)
{
    return 1;
}

extern "C" int VXQ_F_SYS_SOCKET_Create(int in_bUdp)
{
    int iSocket = VXQ_F_SOCKOS_Get()->fnSocket(AF_INET, in_bUdp ? SOCK_DGRAM : SOCK_STREAM, 0);
    return iSocket < 0 ? -1 : iSocket;
}

extern "C" int VXQ_F_SYS_SOCKET_Close(int in_iSocket)
{
    if (in_iSocket < 0)
        return 0;
    return VXQ_F_SOCKOS_Get()->fnClose(in_iSocket) == 0 ? 1 : 0;
}

extern "C" int VXQ_F_SYS_SOCKET_Bind(int in_iSocket, const char *in_pIpaddr, uint16_t in_usPort)
{
    const _VXQ_S_SOCKOS_TABLE *pOs = VXQ_F_SOCKOS_Get();
    struct sockaddr_in tAddr;
    int iOn = 1;
    if (!VXQ_F_SYS_SOCKET_PR_MakeAddr(in_pIpaddr, in_usPort, &tAddr))
        return 0;
    pOs->fnSetSockOpt(in_iSocket, SOL_SOCKET, SO_REUSEADDR, &iOn, sizeof(iOn));
    return pOs->fnBind(in_iSocket, (const struct sockaddr *)&tAddr, sizeof(tAddr)) == 0 ? 1 : 0;
}

extern "C" int VXQ_F_SYS_SOCKET_SetBlockMode(int in_iSocket, int in_bBlock)
{
    const _VXQ_S_SOCKOS_TABLE *pOs = VXQ_F_SOCKOS_Get();
    int iFlags = pOs->fnFcntl(in_iSocket, F_GETFL, 0);
    if (iFlags < 0)
        iFlags = 0;
    iFlags = in_bBlock ? (iFlags & ~O_NONBLOCK) : (iFlags | O_NONBLOCK);
    pOs->fnFcntl(in_iSocket, F_SETFL, iFlags);
    return 1;
}

extern "C" int VXQ_F_SYS_SOCKET_SetBroadcastParam(int in_iSocket, int in_bOn)
{
    int iOn = in_bOn ? 1 : 0;
    VXQ_F_SOCKOS_Get()->fnSetSockOpt(in_iSocket, SOL_SOCKET, SO_BROADCAST, &iOn, sizeof(iOn));
    return 1;
}

extern "C" int VXQ_F_SYS_SOCKET_SetSendBufSize(int in_iSocket, int in_iBytes)
{
    return VXQ_F_SOCKOS_Get()->fnSetSockOpt(in_iSocket, SOL_SOCKET, SO_SNDBUF, &in_iBytes, sizeof(in_iBytes)) == 0
               ? 1
               : 0;
}

extern "C" int VXQ_F_SYS_SOCKET_SetRecvBufSize(int in_iSocket, int in_iBytes)
{
    return VXQ_F_SOCKOS_Get()->fnSetSockOpt(in_iSocket, SOL_SOCKET, SO_RCVBUF, &in_iBytes, sizeof(in_iBytes)) == 0
               ? 1
               : 0;
}

extern "C" int VXQ_F_SYS_SOCKET_Listen(int in_iSocket)
{
    /* The largest backlog the system allows (it caps SOMAXCONN at its own
     * limit): a burst of connections, a flood of them included, waits in the
     * kernel for its turn; a handshake refused at a full backlog would cost
     * its client a 1 s (then 3 s) retransmission. */
    return VXQ_F_SOCKOS_Get()->fnListen(in_iSocket, SOMAXCONN) == 0 ? 1 : 0;
}

extern "C" int VXQ_F_SYS_SOCKET_Accept(int in_iSocket, char *out_pIpaddr, uint16_t *out_pPort)
{
    struct sockaddr_in tAddr;
    socklen_t iLen = sizeof(tAddr);
    memset(&tAddr, 0, sizeof(tAddr));
    int iNew = VXQ_F_SOCKOS_Get()->fnAccept(in_iSocket, (struct sockaddr *)&tAddr, &iLen);
    if (iNew < 0)
        return -1;
    VXQ_F_SYS_SOCKET_PR_ReadAddr(&tAddr, out_pIpaddr, out_pPort);
    return iNew;
}

extern "C" int VXQ_F_SYS_SOCKET_GetSocketLocalAddr(int in_iSocket, char *out_pIpaddr, uint16_t *out_pPort)
{
    struct sockaddr_in tAddr;
    socklen_t iLen = sizeof(tAddr);
    memset(&tAddr, 0, sizeof(tAddr));
    if (VXQ_F_SOCKOS_Get()->fnGetSockName(in_iSocket, (struct sockaddr *)&tAddr, &iLen) != 0)
        return 0;
    VXQ_F_SYS_SOCKET_PR_ReadAddr(&tAddr, out_pIpaddr, out_pPort);
    return 1;
}

extern "C" int VXQ_F_SYS_SOCKET_GetSocketPeerAddr(int in_iSocket, char *out_pIpaddr, uint16_t *out_pPort)
{
    struct sockaddr_in tAddr;
    socklen_t iLen = sizeof(tAddr);
    memset(&tAddr, 0, sizeof(tAddr));
    if (VXQ_F_SOCKOS_Get()->fnGetPeerName(in_iSocket, (struct sockaddr *)&tAddr, &iLen) != 0)
        return 0;
    VXQ_F_SYS_SOCKET_PR_ReadAddr(&tAddr, out_pIpaddr, out_pPort);
    return 1;
}

extern "C" int VXQ_F_SYS_SOCKET_StartConnect(int in_iSocket, const char *in_pIpaddr, uint16_t in_usPort)
{
    struct sockaddr_in tAddr;
    if (in_pIpaddr == NULL || !VXQ_F_SYS_SOCKET_PR_MakeAddr(in_pIpaddr, in_usPort, &tAddr))
        return 0;
    if (VXQ_F_SOCKOS_Get()->fnConnect(in_iSocket, (const struct sockaddr *)&tAddr, sizeof(tAddr)) == 0)
        return 1;
    return (errno == EINPROGRESS || errno == EINTR) ? 1 : 0;
}

extern "C" int VXQ_F_SYS_SOCKET_CheckConnectResult(int in_iSocket, int in_iTimeoutMs)
{
    int iReady = VXQ_F_SYS_SOCKET_PR_WaitReady(in_iSocket, 1, in_iTimeoutMs < 1 ? 0 : in_iTimeoutMs);
    if (iReady == 0)
        return 1;
    if (iReady < 0)
        return 2;
    /* Writability also signals a failed attempt: the pending error decides. */
    int iError = 0;
    socklen_t iLen = sizeof(iError);
    if (VXQ_F_SOCKOS_Get()->fnGetSockOpt(in_iSocket, SOL_SOCKET, SO_ERROR, &iError, &iLen) != 0 || iError != 0)
        return 2;
    return 0;
}

extern "C" int VXQ_F_SYS_SOCKET_Connect(int in_iSocket, const char *in_pIpaddr, uint16_t in_usPort, int in_iTimeoutMs)
{
    if (!VXQ_F_SYS_SOCKET_StartConnect(in_iSocket, in_pIpaddr, in_usPort))
        return 0;
    if (in_iTimeoutMs < 1)
        return 1;
    return VXQ_F_SYS_SOCKET_CheckConnectResult(in_iSocket, in_iTimeoutMs) == 0 ? 1 : 0;
}

extern "C" int VXQ_F_SYS_SOCKET_Recv(int in_iSocket, char *out_pRecvDataBuf, int *inout_pRecvDataLen, int *out_pState,
                                     char *out_pErrInfo, int in_iErrInfoSize)
{
    int iState = -1;
    if (out_pRecvDataBuf == NULL || inout_pRecvDataLen == NULL) {
        VXQ_F_SYS_SOCKET_PR_SetText(out_pErrInfo, in_iErrInfoSize,
                                    "VXQ_F_SYS_SOCKET_Recv out_pRecvDataBuf or inout_pRecvDataLen is NULL.");
    } else if (*inout_pRecvDataLen <= 0) {
        /* A zero-size buffer would read as "peer closed"; refuse it instead. */
        VXQ_F_SYS_SOCKET_PR_SetText(out_pErrInfo, in_iErrInfoSize, "VXQ_F_SYS_SOCKET_Recv inout_pRecvDataLen error.");
    } else {
        ssize_t nGot = VXQ_F_SOCKOS_Get()->fnRecv(in_iSocket, out_pRecvDataBuf, (size_t)*inout_pRecvDataLen, 0);
        if (nGot > 0) {
            *inout_pRecvDataLen = (int)nGot;
            return 1;
        }
        if (nGot == 0) {
            iState = 0;
            VXQ_F_SYS_SOCKET_PR_SetText(out_pErrInfo, in_iErrInfoSize, "VXQ_F_SYS_SOCKET_Recv peer close.");
        } else if (VXQ_F_SYS_SOCKET_PR_IsWouldBlock(errno)) {
            iState = 1;
            VXQ_F_SYS_SOCKET_PR_SetText(out_pErrInfo, in_iErrInfoSize, "no data.");
        } else if (errno == ECONNRESET) {
            iState = 0;
            VXQ_F_SYS_SOCKET_PR_SetText(out_pErrInfo, in_iErrInfoSize, "VXQ_F_SYS_SOCKET_Recv peer reset.");
        } else {
            VXQ_F_SYS_SOCKET_PR_SetErrnoText(out_pErrInfo, in_iErrInfoSize, errno);
        }
    }
    if (out_pState != NULL)
        *out_pState = iState;
    return 0;
}

extern "C" int VXQ_F_SYS_SOCKET_SendEx(int in_iSocket, const char *in_pSendDataBuf, int *inout_pSendDataLen,
                                       int *out_pState, char *out_pErrInfo, int in_iErrInfoSize)
{
    int iState = 0;
    if (out_pState != NULL)
        *out_pState = 0;
    if (in_pSendDataBuf == NULL || inout_pSendDataLen == NULL) {
        if (out_pState != NULL)
            *out_pState = -2;
        VXQ_F_SYS_SOCKET_PR_SetText(out_pErrInfo, in_iErrInfoSize,
                                    "VXQ_F_SYS_SOCKET_SendEx in_pSendDataBuf or inout_pSendDataLen is NULL");
        return 0;
    }
    if (*inout_pSendDataLen <= 0) {
        VXQ_F_SYS_SOCKET_PR_SetText(out_pErrInfo, in_iErrInfoSize, "");
        return 1;
    }
    ssize_t nSent = VXQ_F_SOCKOS_Get()->fnSend(in_iSocket, in_pSendDataBuf, (size_t)*inout_pSendDataLen, MSG_NOSIGNAL);
    if (nSent == (ssize_t)*inout_pSendDataLen)
        return 1;
    if (nSent > 0) {
        *inout_pSendDataLen = (int)nSent;
        iState = -1;
        VXQ_F_SYS_SOCKET_PR_SetText(out_pErrInfo, in_iErrInfoSize, "VXQ_F_SYS_SOCKET_SendEx no send finish");
    } else if (nSent == 0) {
        *inout_pSendDataLen = 0;
        iState = -2;
        VXQ_F_SYS_SOCKET_PR_SetText(out_pErrInfo, in_iErrInfoSize, "VXQ_F_SYS_SOCKET_SendEx iSendResult is 0");
    } else {
        int iErrno = errno;
        *inout_pSendDataLen = 0;
        if (VXQ_F_SYS_SOCKET_PR_IsWouldBlock(iErrno)) {
            iState = -1;
            VXQ_F_SYS_SOCKET_PR_SetText(out_pErrInfo, in_iErrInfoSize,
                                        "VXQ_F_SYS_SOCKET_SendEx send fail, error: EWOULDBLOCK");
        } else {
            iState = -2;
            VXQ_F_SYS_SOCKET_PR_SetErrnoText(out_pErrInfo, in_iErrInfoSize, iErrno);
        }
    }
    if (out_pState != NULL)
        *out_pState = iState;
    return 0;
}

int VXQ_F_SYS_SOCKET_SendGather(int in_iSocket, const char *in_pFirst, int in_iFirstLen, const char *in_pSecond,
                                int in_iSecondLen, int *out_pSentLen, int *out_pState, char *out_pErrInfo,
                                int in_iErrInfoSize)
{
    *out_pSentLen = 0;
    *out_pState = 0;
    struct iovec aPiece[2];
    int iPieces = 0;
    if (in_iFirstLen > 0) {
        aPiece[iPieces].iov_base = (void *)in_pFirst;
        aPiece[iPieces].iov_len = (size_t)in_iFirstLen;
        iPieces++;
    }
    if (in_iSecondLen > 0) {
        aPiece[iPieces].iov_base = (void *)in_pSecond;
        aPiece[iPieces].iov_len = (size_t)in_iSecondLen;
        iPieces++;
    }
    if (iPieces == 0)
        return 1;
    struct msghdr tMsg;
    memset(&tMsg, 0, sizeof(tMsg));
    tMsg.msg_iov = aPiece;
    tMsg.msg_iovlen = (size_t)iPieces;
    int64_t llTotal = (int64_t)(in_iFirstLen > 0 ? in_iFirstLen : 0) + (in_iSecondLen > 0 ? in_iSecondLen : 0);
    ssize_t nSent = VXQ_F_SOCKOS_Get()->fnSendMsg(in_iSocket, &tMsg, MSG_NOSIGNAL);
    if (nSent == (ssize_t)llTotal) {
        *out_pSentLen = (int)nSent;
        return 1;
    }
    if (nSent > 0) {
        *out_pSentLen = (int)nSent;
        *out_pState = -1;
        VXQ_F_SYS_SOCKET_PR_SetText(out_pErrInfo, in_iErrInfoSize, "VXQ_F_SYS_SOCKET_SendEx no send finish");
    } else if (nSent == 0) {
        *out_pState = -2;
        VXQ_F_SYS_SOCKET_PR_SetText(out_pErrInfo, in_iErrInfoSize, "VXQ_F_SYS_SOCKET_SendEx iSendResult is 0");
    } else {
        int iErrno = errno;
        if (VXQ_F_SYS_SOCKET_PR_IsWouldBlock(iErrno)) {
            *out_pState = -1;
            VXQ_F_SYS_SOCKET_PR_SetText(out_pErrInfo, in_iErrInfoSize,
                                        "VXQ_F_SYS_SOCKET_SendEx send fail, error: EWOULDBLOCK");
        } else {
            *out_pState = -2;
            VXQ_F_SYS_SOCKET_PR_SetErrnoText(out_pErrInfo, in_iErrInfoSize, iErrno);
        }
    }
    return 0;
}

extern "C" int VXQ_F_SYS_SOCKET_WaitRecv(int in_iSocket, char *out_pRecvDataBuf, int *inout_pRecvDataLen,
                                         int *out_pState, char *out_pErrInfo, int in_iErrInfoSize, int in_iTimeoutMs)
{
    if (in_iTimeoutMs > 0) {
        int iReady = VXQ_F_SYS_SOCKET_PR_WaitReady(in_iSocket, 0, in_iTimeoutMs);
        if (iReady <= 0) {
            if (out_pState != NULL)
                *out_pState = iReady == 0 ? 2 : -1;
            VXQ_F_SYS_SOCKET_PR_SetText(out_pErrInfo, in_iErrInfoSize, iReady == 0 ? "time out" : "select error");
            return 0;
        }
    }
    return VXQ_F_SYS_SOCKET_Recv(in_iSocket, out_pRecvDataBuf, inout_pRecvDataLen, out_pState, out_pErrInfo,
                                 in_iErrInfoSize);
}

extern "C" int VXQ_F_SYS_SOCKET_WaitSend(int in_iSocket, const char *in_pSendDataBuf, int in_iSendDataLen,
                                         int *out_pState, char *out_pErrInfo, int in_iErrInfoSize, int in_iTimeoutMs)
{
    if (out_pState == NULL)
        return 0;
    *out_pState = 0;
    int iDone = 0;
    while (iDone < in_iSendDataLen) {
        if (in_iTimeoutMs > 0) {
            int iReady = VXQ_F_SYS_SOCKET_PR_WaitReady(in_iSocket, 1, in_iTimeoutMs);
            if (iReady <= 0) {
                *out_pState = iReady == 0 ? -1 : -2;
                VXQ_F_SYS_SOCKET_PR_SetText(out_pErrInfo, in_iErrInfoSize, iReady == 0 ? "time out" : "select error");
                return 0;
            }
        }
        int iPiece = in_iSendDataLen - iDone;
        if (iPiece > VXQ_SYS_SOCKET_SEND_PIECE)
            iPiece = VXQ_SYS_SOCKET_SEND_PIECE;
        int iLen = iPiece;
        if (VXQ_F_SYS_SOCKET_SendEx(in_iSocket, in_pSendDataBuf + iDone, &iLen, out_pState, out_pErrInfo,
                                    in_iErrInfoSize)) {
            iDone += iPiece;
            continue;
        }
        if (*out_pState != -1)
            return 0;
        iDone += iLen;
        if (in_iTimeoutMs <= 0)
            return 0;
    }
    return 1;
}

extern "C" int VXQ_F_SYS_SOCKET_SendSpecDataBuf(int in_iSocket, char *inout_pSendDataBuf, int *inout_pSendDataLen,
                                                int *out_pState, char *out_pErrInfo, int in_iErrInfoSize)
{
    if (out_pState == NULL || inout_pSendDataLen == NULL)
        return 0;
    *out_pState = 0;
    int iTotal = *inout_pSendDataLen;
    if (iTotal <= 0) {
        *inout_pSendDataLen = 0;
        return 1;
    }
    if (inout_pSendDataBuf == NULL) {
        *out_pState = -2;
        VXQ_F_SYS_SOCKET_PR_SetText(out_pErrInfo, in_iErrInfoSize,
                                    "VXQ_F_SYS_SOCKET_SendEx in_pSendDataBuf or inout_pSendDataLen is NULL");
        return 0;
    }
    int iDone = 0;
    while (iDone < iTotal) {
        int iPiece = iTotal - iDone;
        if (iPiece > VXQ_SYS_SOCKET_SEND_PIECE)
            iPiece = VXQ_SYS_SOCKET_SEND_PIECE;
        int iLen = iPiece;
        if (VXQ_F_SYS_SOCKET_SendEx(in_iSocket, inout_pSendDataBuf + iDone, &iLen, out_pState, out_pErrInfo,
                                    in_iErrInfoSize)) {
            iDone += iPiece;
            continue;
        }
        if (*out_pState == -1 && iLen > 0)
            iDone += iLen;
        break;
    }
    int iRest = iTotal - iDone;
    if (iRest > 0 && iDone > 0)
        memmove(inout_pSendDataBuf, inout_pSendDataBuf + iDone, (size_t)iRest);
    *inout_pSendDataLen = iRest;
    return iRest == 0 ? 1 : 0;
}

extern "C" int VXQ_F_SYS_SOCKET_TcpSendData_SendSpecDataBuf(int in_iSocket, const char *in_pSendDataBuf,
                                                            int in_iSendDataLen, char *out_pErrInfo,
                                                            int in_iErrInfoSize)
{
    int iDone = 0;
    while (iDone < in_iSendDataLen) {
        int iPiece = in_iSendDataLen - iDone;
        if (iPiece > VXQ_SYS_SOCKET_SEND_PIECE)
            iPiece = VXQ_SYS_SOCKET_SEND_PIECE;
        int iLen = iPiece;
        int iState = 0;
        if (VXQ_F_SYS_SOCKET_SendEx(in_iSocket, in_pSendDataBuf + iDone, &iLen, &iState, out_pErrInfo,
                                    in_iErrInfoSize)) {
            iDone += iPiece;
            continue;
        }
        if (iState == -2)
            return -1;
        iDone += iLen;
        break;
    }
    return iDone;
}

extern "C" int VXQ_F_SYS_SOCKET_RecvFrom(int in_iSocket, char *out_pRecvDataBuf, int *inout_pRecvDataLen,
                                         char *out_pIpaddr, uint16_t *out_pPort, char *out_pErrInfo,
                                         int in_iErrInfoSize)
{
    if (out_pRecvDataBuf == NULL || inout_pRecvDataLen == NULL) {
        VXQ_F_SYS_SOCKET_PR_SetText(out_pErrInfo, in_iErrInfoSize,
                                    "VXQ_F_SYS_SOCKET_RecvFrom out_pRecvDataBuf or inout_pRecvDataLen is NULL.");
        return 0;
    }
    if (*inout_pRecvDataLen <= 0) {
        VXQ_F_SYS_SOCKET_PR_SetText(out_pErrInfo, in_iErrInfoSize, "VXQ_F_SYS_SOCKET_RecvFrom inout_pRecvDataLen error.");
        return 0;
    }
    struct sockaddr_in tAddr;
    socklen_t iAddrLen = sizeof(tAddr);
    memset(&tAddr, 0, sizeof(tAddr));
    ssize_t nGot = VXQ_F_SOCKOS_Get()->fnRecvFrom(in_iSocket, out_pRecvDataBuf, (size_t)*inout_pRecvDataLen, 0,
                                                  (struct sockaddr *)&tAddr, &iAddrLen);
    if (nGot > 0) {
        *inout_pRecvDataLen = (int)nGot;
        VXQ_F_SYS_SOCKET_PR_ReadAddr(&tAddr, out_pIpaddr, out_pPort);
        return 1;
    }
    if (nGot == 0) {
        VXQ_F_SYS_SOCKET_PR_SetText(out_pErrInfo, in_iErrInfoSize, "VXQ_F_SYS_SOCKET_RecvFrom no recv data");
    } else if (VXQ_F_SYS_SOCKET_PR_IsWouldBlock(errno)) {
        VXQ_F_SYS_SOCKET_PR_SetErrnoText(out_pErrInfo, in_iErrInfoSize, errno);
    } else {
        char sText[80];
        snprintf(sText, sizeof(sText), "VXQ_F_SYS_SOCKET_RecvFrom recvfrom fail, ret=%d.", (int)nGot);
        VXQ_F_SYS_SOCKET_PR_SetText(out_pErrInfo, in_iErrInfoSize, sText);
    }
    return 0;
}

extern "C" int VXQ_F_SYS_SOCKET_SendTo(int in_iSocket, const char *in_pSendDataBuf, int in_iSendDataLen,
                                       const char *in_pIpaddr, uint16_t in_usPort, int *out_pState, char *out_pErrInfo,
                                       int in_iErrInfoSize)
{
    int iState = -2;
    struct sockaddr_in tAddr;
    if (out_pState != NULL)
        *out_pState = 0;
    if (in_pSendDataBuf == NULL || in_iSendDataLen < 0 || in_pIpaddr == NULL ||
        !VXQ_F_SYS_SOCKET_PR_MakeAddr(in_pIpaddr, in_usPort, &tAddr)) {
        VXQ_F_SYS_SOCKET_PR_SetText(out_pErrInfo, in_iErrInfoSize,
                                    "VXQ_F_SYS_SOCKET_SendTo in_pSendDataBuf or in_pIpaddr error.");
    } else {
        ssize_t nSent = VXQ_F_SOCKOS_Get()->fnSendTo(in_iSocket, in_pSendDataBuf, (size_t)in_iSendDataLen,
                                                     MSG_NOSIGNAL, (const struct sockaddr *)&tAddr, sizeof(tAddr));
        if (nSent == (ssize_t)in_iSendDataLen)
            return 1;
        if (nSent >= 0) {
            VXQ_F_SYS_SOCKET_PR_SetText(out_pErrInfo, in_iErrInfoSize, "VXQ_F_SYS_SOCKET_SendTo no send finish");
        } else if (VXQ_F_SYS_SOCKET_PR_IsWouldBlock(errno)) {
            iState = -1;
            VXQ_F_SYS_SOCKET_PR_SetText(out_pErrInfo, in_iErrInfoSize,
                                        "VXQ_F_SYS_SOCKET_SendTo sendto fail, error: EWOULDBLOCK");
        } else {
            VXQ_F_SYS_SOCKET_PR_SetErrnoText(out_pErrInfo, in_iErrInfoSize, errno);
        }
    }
    if (out_pState != NULL)
        *out_pState = iState;
    return 0;
}

extern "C" int VXQ_F_SYS_SOCKET_SendTo_WaitSend(int in_iSocket, const char *in_pSendDataBuf, int in_iSendDataLen,
                                                const char *in_pIpaddr, uint16_t in_usPort, int *out_pState,
                                                char *out_pErrInfo, int in_iErrInfoSize, int in_iTimeoutMs)
{
    if (in_iTimeoutMs > 0) {
        int iReady = VXQ_F_SYS_SOCKET_PR_WaitReady(in_iSocket, 1, in_iTimeoutMs);
        if (iReady <= 0) {
            if (out_pState != NULL)
                *out_pState = iReady == 0 ? -1 : -2;
            VXQ_F_SYS_SOCKET_PR_SetText(out_pErrInfo, in_iErrInfoSize, iReady == 0 ? "time out" : "select error");
            return 0;
        }
    }
    return VXQ_F_SYS_SOCKET_SendTo(in_iSocket, in_pSendDataBuf, in_iSendDataLen, in_pIpaddr, in_usPort, out_pState,
                                   out_pErrInfo, in_iErrInfoSize);
}

extern "C" int VXQ_F_SYS_SOCKET_RecvFrom_WaitRecv(int in_iSocket, char *out_pRecvDataBuf, int *inout_pRecvDataLen,
                                                  char *out_pIpaddr, uint16_t *out_pPort, char *out_pErrInfo,
                                                  int in_iErrInfoSize, int in_iTimeoutMs)
{
    if (in_iTimeoutMs > 0) {
        int iReady = VXQ_F_SYS_SOCKET_PR_WaitReady(in_iSocket, 0, in_iTimeoutMs);
        if (iReady <= 0) {
            VXQ_F_SYS_SOCKET_PR_SetText(out_pErrInfo, in_iErrInfoSize, iReady == 0 ? "time out" : "select error");
            return 0;
        }
    }
    return VXQ_F_SYS_SOCKET_RecvFrom(in_iSocket, out_pRecvDataBuf, inout_pRecvDataLen, out_pIpaddr, out_pPort,
                                     out_pErrInfo, in_iErrInfoSize);
}

extern "C" int VXQ_F_SYS_SOCKET_SendUdpSpecDataBuf(int in_iSocket, const char *in_pIpaddr, uint16_t in_usPort,
                                                   char *inout_pSendDataBuf, int *inout_pSendDataLen, int *out_pState,
                                                   char *out_pErrInfo, int in_iErrInfoSize)
{
    if (out_pState == NULL || inout_pSendDataLen == NULL)
        return 0;
    *out_pState = 0;
    int iTotal = *inout_pSendDataLen;
    if (iTotal <= 0) {
        *inout_pSendDataLen = 0;
        return 1;
    }
    if (inout_pSendDataBuf == NULL) {
        *out_pState = -2;
        VXQ_F_SYS_SOCKET_PR_SetText(out_pErrInfo, in_iErrInfoSize,
                                    "VXQ_F_SYS_SOCKET_SendTo in_pSendDataBuf or in_pIpaddr error.");
        return 0;
    }
    int iDone = 0;
    while (iDone < iTotal) {
        int iPiece = iTotal - iDone;
        if (iPiece > VXQ_SYS_SOCKET_SEND_PIECE)
            iPiece = VXQ_SYS_SOCKET_SEND_PIECE;
        if (!VXQ_F_SYS_SOCKET_SendTo(in_iSocket, inout_pSendDataBuf + iDone, iPiece, in_pIpaddr, in_usPort,
                                     out_pState, out_pErrInfo, in_iErrInfoSize))
            break;
        iDone += iPiece;
    }
    int iRest = iTotal - iDone;
    if (iRest > 0 && iDone > 0)
        memmove(inout_pSendDataBuf, inout_pSendDataBuf + iDone, (size_t)iRest);
    *inout_pSendDataLen = iRest;
    return iRest == 0 ? 1 : 0;
}

extern "C" int VXQ_F_SYS_SOCKET_UdpSendData_SendSpecDataBuf(int in_iSocket, const char *in_pIpaddr, uint16_t in_usPort,
                                                            const char *in_pSendDataBuf, int in_iSendDataLen,
                                                            char *out_pErrInfo, int in_iErrInfoSize)
{
    int iDone = 0;
    while (iDone < in_iSendDataLen) {
        int iPiece = in_iSendDataLen - iDone;
        if (iPiece > VXQ_SYS_SOCKET_SEND_PIECE)
            iPiece = VXQ_SYS_SOCKET_SEND_PIECE;
        int iState = 0;
        if (!VXQ_F_SYS_SOCKET_SendTo(in_iSocket, in_pSendDataBuf + iDone, iPiece, in_pIpaddr, in_usPort, &iState,
                                     out_pErrInfo, in_iErrInfoSize))
            return iState == -2 ? -1 : iDone;
        iDone += iPiece;
    }
    return iDone;
}

extern "C" int VXQ_F_SYS_SOCKET_SendBroadcastMsg(uint16_t in_usPort, const char *in_pSendDataBuf, int in_iSendDataLen)
{
    if (in_pSendDataBuf == NULL || in_iSendDataLen <= 0)
        return 0;
    int iSocket = VXQ_F_SYS_SOCKET_Create(1);
    if (iSocket < 0)
        return 0;
    int iResult = 0;
    VXQ_F_SYS_SOCKET_SetBroadcastParam(iSocket, 1);
    if (VXQ_F_SYS_SOCKET_Bind(iSocket, NULL, 0))
        iResult = VXQ_F_SYS_SOCKET_SendTo(iSocket, in_pSendDataBuf, in_iSendDataLen, "255.255.255.255", in_usPort, NULL,
                                          NULL, 0);
    VXQ_F_SOCKOS_Get()->fnShutdown(iSocket, SHUT_RDWR);
    VXQ_F_SYS_SOCKET_Close(iSocket);
    return iResult;
}
