/* test_client.cpp - the test UMSP client: message building, whole-message reads, session helpers. */
#include "support/test_client.h"

#include "vxq_digest.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

/* Milliseconds of the steady clock (deadlines of socket waits, not rules). */
static int64_t PR_NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void VXQ_F_TESTCLI_PutU16(std::vector<uint8_t> &inout_tMsg, size_t in_iOffset, uint16_t in_usValue)
{
    inout_tMsg[in_iOffset] = (uint8_t)(in_usValue & 0xFF);
    inout_tMsg[in_iOffset + 1] = (uint8_t)(in_usValue >> 8);
}

void VXQ_F_TESTCLI_PutU32(std::vector<uint8_t> &inout_tMsg, size_t in_iOffset, uint32_t in_dwValue)
{
    for (int i = 0; i < 4; i++)
        inout_tMsg[in_iOffset + i] = (uint8_t)(in_dwValue >> (8 * i));
}

uint16_t VXQ_F_TESTCLI_GetU16(const std::vector<uint8_t> &in_tMsg, size_t in_iOffset)
{
    return (uint16_t)(in_tMsg[in_iOffset] | (in_tMsg[in_iOffset + 1] << 8));
}

uint32_t VXQ_F_TESTCLI_GetU32(const std::vector<uint8_t> &in_tMsg, size_t in_iOffset)
{
    uint32_t dwValue = 0;
    for (int i = 3; i >= 0; i--)
        dwValue = (dwValue << 8) | in_tMsg[in_iOffset + i];
    return dwValue;
}

std::vector<uint8_t> VXQ_F_TESTCLI_BuildMsg(uint16_t in_usMsgFuncId, uint8_t in_ucTypeByte,
                                            uint32_t in_dwTransNo, const void *in_pBody,
                                            size_t in_iBodyLen)
{
    std::vector<uint8_t> tMsg(VXQ_TESTCLI_HEAD_LEN + in_iBodyLen, 0);
    VXQ_F_TESTCLI_PutU32(tMsg, 0, VXQ_TESTCLI_PACKET_FLAG);
    VXQ_F_TESTCLI_PutU32(tMsg, 4, (uint32_t)tMsg.size());
    VXQ_F_TESTCLI_PutU16(tMsg, 8, in_usMsgFuncId);
    tMsg[10] = in_ucTypeByte;
    tMsg[11] = 0;
    VXQ_F_TESTCLI_PutU32(tMsg, 12, in_dwTransNo);
    if (in_pBody && in_iBodyLen)
        memcpy(tMsg.data() + VXQ_TESTCLI_HEAD_LEN, in_pBody, in_iBodyLen);
    return tMsg;
}

std::vector<uint8_t> VXQ_F_TESTCLI_BuildZeroMsg(uint16_t in_usMsgFuncId, uint32_t in_dwTransNo,
                                                size_t in_iBodyLen)
{
    return VXQ_F_TESTCLI_BuildMsg(in_usMsgFuncId, 0, in_dwTransNo, nullptr, in_iBodyLen);
}

int VXQ_F_TESTCLI_ParseHead(const std::vector<uint8_t> &in_tMsg, _VXQ_S_TESTCLI_HEAD *out_ptHead)
{
    if (in_tMsg.size() < VXQ_TESTCLI_HEAD_LEN || !out_ptHead)
        return 0;
    out_ptHead->dwPacketFlag = VXQ_F_TESTCLI_GetU32(in_tMsg, 0);
    out_ptHead->dwPacketSize = VXQ_F_TESTCLI_GetU32(in_tMsg, 4);
    out_ptHead->usMsgFuncId = VXQ_F_TESTCLI_GetU16(in_tMsg, 8);
    out_ptHead->ucTypeByte = in_tMsg[10];
    out_ptHead->ucPacketType = (uint8_t)(in_tMsg[10] & 0x03);
    out_ptHead->ucResult = in_tMsg[11];
    out_ptHead->dwTransNo = VXQ_F_TESTCLI_GetU32(in_tMsg, 12);
    memcpy(out_ptHead->ucReserved, in_tMsg.data() + 16, 4);
    return 1;
}

std::string VXQ_F_TESTCLI_LoginDigest(const std::string &in_sToken, const std::string &in_sPassword)
{
    std::string sText = in_sToken + ":" + in_sPassword;
    char sHex[33] = {0};
    VXQ_TOOLS_MD5_EncodeString(sHex, sText.c_str());
    return std::string(sHex);
}

void VXQ_F_TESTCLI_Init(_VXQ_S_TESTCLI_DATA *out_ptCli)
{
    out_ptCli->iSock = -1;
    out_ptCli->dwNextTransNo = 1;
    out_ptCli->tRecv.clear();
    out_ptCli->bPeerClosed = 0;
}

int VXQ_F_TESTCLI_Connect(_VXQ_S_TESTCLI_DATA *inout_ptCli, uint16_t in_usPort, int in_iTimeoutMs)
{
    VXQ_F_TESTCLI_Close(inout_ptCli);
    int iSock = socket(AF_INET, SOCK_STREAM, 0);
    if (iSock < 0)
        return 0;
    struct sockaddr_in tAddr;
    memset(&tAddr, 0, sizeof(tAddr));
    tAddr.sin_family = AF_INET;
    tAddr.sin_port = htons(in_usPort);
    tAddr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int iFlags = fcntl(iSock, F_GETFL, 0);
    fcntl(iSock, F_SETFL, iFlags | O_NONBLOCK);
    int iRet = connect(iSock, (struct sockaddr *)&tAddr, sizeof(tAddr));
    if (iRet != 0 && errno != EINPROGRESS) {
        close(iSock);
        return 0;
    }
    if (iRet != 0) {
        struct pollfd tPoll = {iSock, POLLOUT, 0};
        int iSoErr = 0;
        socklen_t iLen = sizeof(iSoErr);
        if (poll(&tPoll, 1, in_iTimeoutMs) != 1 ||
            getsockopt(iSock, SOL_SOCKET, SO_ERROR, &iSoErr, &iLen) != 0 || iSoErr != 0) {
            close(iSock);
            return 0;
        }
    }
    int iOne = 1;
    setsockopt(iSock, IPPROTO_TCP, TCP_NODELAY, &iOne, sizeof(iOne));
    inout_ptCli->iSock = iSock;
    inout_ptCli->bPeerClosed = 0;
    inout_ptCli->tRecv.clear();
    return 1;
}

void VXQ_F_TESTCLI_Close(_VXQ_S_TESTCLI_DATA *inout_ptCli)
{
    if (inout_ptCli->iSock >= 0)
        close(inout_ptCli->iSock);
    inout_ptCli->iSock = -1;
    inout_ptCli->tRecv.clear();
}

int VXQ_F_TESTCLI_SendRaw(_VXQ_S_TESTCLI_DATA *inout_ptCli, const void *in_pData, size_t in_iLen)
{
    if (inout_ptCli->iSock < 0)
        return 0;
    const uint8_t *pData = (const uint8_t *)in_pData;
    size_t iSent = 0;
    int64_t iDeadline = PR_NowMs() + 5000;
    while (iSent < in_iLen) {
        ssize_t iRet = send(inout_ptCli->iSock, pData + iSent, in_iLen - iSent, MSG_NOSIGNAL);
        if (iRet > 0) {
            iSent += (size_t)iRet;
            continue;
        }
        if (iRet < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            int iLeft = (int)(iDeadline - PR_NowMs());
            if (iLeft <= 0)
                return 0;
            struct pollfd tPoll = {inout_ptCli->iSock, POLLOUT, 0};
            poll(&tPoll, 1, iLeft);
            continue;
        }
        return 0;
    }
    return 1;
}

int VXQ_F_TESTCLI_SendMsg(_VXQ_S_TESTCLI_DATA *inout_ptCli, const std::vector<uint8_t> &in_tMsg)
{
    return VXQ_F_TESTCLI_SendRaw(inout_ptCli, in_tMsg.data(), in_tMsg.size());
}

/* Receives what is there, waiting at most in_iWaitMs for the first byte.
 * Returns 1 when bytes came, 0 on time-out, -1 when the peer closed or failed. */
static int PR_RecvSome(_VXQ_S_TESTCLI_DATA *inout_ptCli, int in_iWaitMs)
{
    if (inout_ptCli->iSock < 0 || inout_ptCli->bPeerClosed)
        return -1;
    struct pollfd tPoll = {inout_ptCli->iSock, POLLIN, 0};
    int iRet = poll(&tPoll, 1, in_iWaitMs < 0 ? 0 : in_iWaitMs);
    if (iRet == 0)
        return 0;
    if (iRet < 0)
        return errno == EINTR ? 0 : -1;
    uint8_t ucBuf[65536];
    ssize_t iLen = recv(inout_ptCli->iSock, ucBuf, sizeof(ucBuf), 0);
    if (iLen > 0) {
        inout_ptCli->tRecv.insert(inout_ptCli->tRecv.end(), ucBuf, ucBuf + iLen);
        return 1;
    }
    if (iLen < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return 0;
    inout_ptCli->bPeerClosed = 1;
    return -1;
}

int VXQ_F_TESTCLI_ReadMsg(_VXQ_S_TESTCLI_DATA *inout_ptCli, std::vector<uint8_t> &out_tMsg,
                          int in_iTimeoutMs)
{
    out_tMsg.clear();
    int64_t iDeadline = PR_NowMs() + in_iTimeoutMs;
    for (;;) {
        std::vector<uint8_t> &tRecv = inout_ptCli->tRecv;
        if (tRecv.size() >= VXQ_TESTCLI_HEAD_LEN) {
            uint32_t dwFlag = VXQ_F_TESTCLI_GetU32(tRecv, 0);
            uint32_t dwSize = VXQ_F_TESTCLI_GetU32(tRecv, 4);
            if (dwFlag != VXQ_TESTCLI_PACKET_FLAG || dwSize < VXQ_TESTCLI_HEAD_LEN)
                return 0;
            if (tRecv.size() >= dwSize) {
                out_tMsg.assign(tRecv.begin(), tRecv.begin() + dwSize);
                tRecv.erase(tRecv.begin(), tRecv.begin() + dwSize);
                return 1;
            }
        }
        int iLeft = (int)(iDeadline - PR_NowMs());
        if (iLeft <= 0)
            return 0;
        if (PR_RecvSome(inout_ptCli, iLeft) < 0)
            return 0;
    }
}

int VXQ_F_TESTCLI_WaitPeerClosed(_VXQ_S_TESTCLI_DATA *inout_ptCli, int in_iTimeoutMs)
{
    int64_t iDeadline = PR_NowMs() + in_iTimeoutMs;
    while (!inout_ptCli->bPeerClosed) {
        int iLeft = (int)(iDeadline - PR_NowMs());
        if (iLeft <= 0)
            return 0;
        if (PR_RecvSome(inout_ptCli, iLeft) < 0)
            return 1;
    }
    return 1;
}

int VXQ_F_TESTCLI_Request(_VXQ_S_TESTCLI_DATA *inout_ptCli, const std::vector<uint8_t> &in_tMsg,
                          std::vector<uint8_t> &out_tAnswer, int in_iTimeoutMs)
{
    if (!VXQ_F_TESTCLI_SendMsg(inout_ptCli, in_tMsg))
        return 0;
    return VXQ_F_TESTCLI_ReadMsg(inout_ptCli, out_tAnswer, in_iTimeoutMs);
}

int VXQ_F_TESTCLI_Heartbeat(_VXQ_S_TESTCLI_DATA *inout_ptCli, std::vector<uint8_t> &out_tAnswer)
{
    std::vector<uint8_t> tMsg =
        VXQ_F_TESTCLI_BuildZeroMsg(VXQ_TESTCLI_FN_HEARTBEAT, inout_ptCli->dwNextTransNo++, 0);
    return VXQ_F_TESTCLI_Request(inout_ptCli, tMsg, out_tAnswer);
}

int VXQ_F_TESTCLI_GetToken(_VXQ_S_TESTCLI_DATA *inout_ptCli, std::string &out_sToken,
                           uint8_t *out_pucResult, uint8_t *out_pucPwdMode)
{
    out_sToken.clear();
    std::vector<uint8_t> tMsg = VXQ_F_TESTCLI_BuildZeroMsg(
        VXQ_TESTCLI_FN_GET_TOKEN, inout_ptCli->dwNextTransNo++, VXQ_TESTCLI_TOKEN_BODY_LEN);
    std::vector<uint8_t> tAnswer;
    if (!VXQ_F_TESTCLI_Request(inout_ptCli, tMsg, tAnswer))
        return 0;
    _VXQ_S_TESTCLI_HEAD tHead;
    if (!VXQ_F_TESTCLI_ParseHead(tAnswer, &tHead) || tHead.usMsgFuncId != VXQ_TESTCLI_FN_GET_TOKEN ||
        tAnswer.size() < VXQ_TESTCLI_HEAD_LEN + VXQ_TESTCLI_TOKEN_BODY_LEN)
        return 0;
    if (out_pucResult)
        *out_pucResult = tHead.ucResult;
    if (out_pucPwdMode)
        *out_pucPwdMode = tAnswer[VXQ_TESTCLI_HEAD_LEN + 88];
    if (tHead.ucResult == 0) {
        const char *pText = (const char *)tAnswer.data() + VXQ_TESTCLI_HEAD_LEN + 28;
        out_sToken.assign(pText, strnlen(pText, 60));
    }
    return 1;
}

std::vector<uint8_t> VXQ_F_TESTCLI_BuildLogin(uint32_t in_dwTransNo, const std::string &in_sUser,
                                              const std::string &in_sDigest)
{
    std::vector<uint8_t> tMsg =
        VXQ_F_TESTCLI_BuildZeroMsg(VXQ_TESTCLI_FN_LOGIN, in_dwTransNo, VXQ_TESTCLI_LOGIN_BODY_LEN);
    memcpy(tMsg.data() + VXQ_TESTCLI_HEAD_LEN, in_sUser.data(), in_sUser.size() < 31 ? in_sUser.size() : 31);
    memcpy(tMsg.data() + VXQ_TESTCLI_HEAD_LEN + 32, in_sDigest.data(),
           in_sDigest.size() < 255 ? in_sDigest.size() : 255);
    return tMsg;
}

int VXQ_F_TESTCLI_Login(_VXQ_S_TESTCLI_DATA *inout_ptCli, const std::string &in_sUser,
                        const std::string &in_sPassword, const std::string &in_sToken,
                        uint8_t *out_pucResult, uint32_t *out_pdwLoginId,
                        std::vector<uint8_t> *out_ptAnswer)
{
    std::vector<uint8_t> tMsg = VXQ_F_TESTCLI_BuildLogin(
        inout_ptCli->dwNextTransNo++, in_sUser, VXQ_F_TESTCLI_LoginDigest(in_sToken, in_sPassword));
    std::vector<uint8_t> tAnswer;
    if (!VXQ_F_TESTCLI_Request(inout_ptCli, tMsg, tAnswer))
        return 0;
    _VXQ_S_TESTCLI_HEAD tHead;
    if (!VXQ_F_TESTCLI_ParseHead(tAnswer, &tHead) || tHead.usMsgFuncId != VXQ_TESTCLI_FN_LOGIN ||
        tAnswer.size() < VXQ_TESTCLI_HEAD_LEN + VXQ_TESTCLI_LOGIN_BODY_LEN)
        return 0;
    if (out_pucResult)
        *out_pucResult = tHead.ucResult;
    if (out_pdwLoginId)
        *out_pdwLoginId = tHead.ucResult == 0 ? VXQ_F_TESTCLI_GetU32(tAnswer, VXQ_TESTCLI_HEAD_LEN + 288) : 0;
    if (out_ptAnswer)
        *out_ptAnswer = tAnswer;
    return 1;
}

int VXQ_F_TESTCLI_TokenAndLogin(_VXQ_S_TESTCLI_DATA *inout_ptCli, const std::string &in_sUser,
                                const std::string &in_sPassword, uint32_t *out_pdwLoginId)
{
    std::string sToken;
    uint8_t ucResult = 0xFF;
    if (!VXQ_F_TESTCLI_GetToken(inout_ptCli, sToken, &ucResult) || ucResult != 0)
        return 0;
    if (!VXQ_F_TESTCLI_Login(inout_ptCli, in_sUser, in_sPassword, sToken, &ucResult, out_pdwLoginId))
        return 0;
    return ucResult == 0 ? 1 : 0;
}
