/* clinpd.cpp - management datagrams: search, trace registration, log lines, and the UDP socket helpers. */
#include "clinpd.h"

#include "cliwire.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

/* A zeroed datagram of in_iLen bytes with its head filled (request flag 0, result 0). */
static std::vector<uint8_t> PR_Datagram(uint8_t in_ucFuncId, uint32_t in_dwRequestNo, size_t in_iLen)
{
    std::vector<uint8_t> tData(in_iLen, 0);
    VXQ_F_CLI_PutU32(&tData[0], VXQ_CLI_NPD_FLAG);
    VXQ_F_CLI_PutU16(&tData[4], (uint16_t)in_iLen);
    tData[6] = in_ucFuncId;
    VXQ_F_CLI_PutU32(&tData[8], in_dwRequestNo);
    return tData;
}

std::vector<uint8_t> VXQ_F_CLI_BuildSearch(uint32_t in_dwRequestNo, uint32_t in_dwSearcher)
{
    std::vector<uint8_t> tData = PR_Datagram(VXQ_CLI_NPD_SEARCH, in_dwRequestNo, 24);
    VXQ_F_CLI_PutU32(&tData[16], in_dwSearcher);
    return tData;
}

int VXQ_F_CLI_ParseSearchAnswer(const uint8_t *in_pData, size_t in_iLen, _VXQ_S_CLI_FOUND_DEV *out_ptDev)
{
    if (in_pData == nullptr || in_iLen < VXQ_CLI_NPD_SEARCH_ANSWER_LEN ||
        VXQ_F_CLI_GetU32(in_pData) != VXQ_CLI_NPD_FLAG || in_pData[6] != VXQ_CLI_NPD_SEARCH_ANSWER ||
        in_pData[7] != 1 || VXQ_F_CLI_GetU16(in_pData + 4) != VXQ_CLI_NPD_SEARCH_ANSWER_LEN)
        return 0;
    out_ptDev->dwRequestNo = VXQ_F_CLI_GetU32(in_pData + 8);
    out_ptDev->dwSearcher = VXQ_F_CLI_GetU32(in_pData + 16);
    out_ptDev->dwServerId = VXQ_F_CLI_GetU32(in_pData + 20);
    out_ptDev->sDevIdText = VXQ_F_CLI_GetText(in_pData + 24, 12);
    out_ptDev->sDevText1 = VXQ_F_CLI_GetText(in_pData + 36, 32);
    out_ptDev->sDevText2 = VXQ_F_CLI_GetText(in_pData + 68, 32);
    out_ptDev->iVideoChanNum = (int32_t)VXQ_F_CLI_GetU32(in_pData + 100);
    out_ptDev->iAudioChanNum = (int32_t)VXQ_F_CLI_GetU32(in_pData + 104);
    for (int i = 0; i < 4; i++)
        out_ptDev->iDevCapValue[i] = (int32_t)VXQ_F_CLI_GetU32(in_pData + 108 + 4 * i);
    out_ptDev->iSubProtoNum = (int32_t)VXQ_F_CLI_GetU32(in_pData + 124);
    return 1;
}

std::vector<uint8_t> VXQ_F_CLI_BuildTraceParam(uint32_t in_dwRequestNo, uint32_t in_dwServerId, uint16_t in_usOperation,
                                               uint16_t in_usPort, uint32_t in_dwIpAddr)
{
    std::vector<uint8_t> tData = PR_Datagram(VXQ_CLI_NPD_TRACE_PARAM, in_dwRequestNo, 28);
    VXQ_F_CLI_PutU32(&tData[16], in_dwServerId);
    VXQ_F_CLI_PutU16(&tData[20], in_usOperation);
    VXQ_F_CLI_PutU16(&tData[22], in_usPort);
    VXQ_F_CLI_PutU32(&tData[24], in_dwIpAddr);
    return tData;
}

int VXQ_F_CLI_ParseTraceAnswer(const uint8_t *in_pData, size_t in_iLen, uint32_t in_dwRequestNo, uint32_t *out_pdwResult)
{
    if (in_pData == nullptr || in_iLen < 28 || VXQ_F_CLI_GetU32(in_pData) != VXQ_CLI_NPD_FLAG ||
        in_pData[6] != VXQ_CLI_NPD_TRACE_PARAM || in_pData[7] != 1 ||
        VXQ_F_CLI_GetU32(in_pData + 8) != in_dwRequestNo)
        return 0;
    *out_pdwResult = VXQ_F_CLI_GetU32(in_pData + 12);
    return 1;
}

int VXQ_F_CLI_ParseLogLine(const uint8_t *in_pData, size_t in_iLen, uint32_t *out_pdwLineNo, uint32_t *out_pdwIpAddr,
                           std::string *out_psText)
{
    if (in_pData == nullptr || in_iLen < 29 || VXQ_F_CLI_GetU32(in_pData) != VXQ_CLI_NPD_FLAG ||
        in_pData[6] != VXQ_CLI_NPD_LOG_LINE)
        return 0;
    size_t iLen = VXQ_F_CLI_GetU16(in_pData + 4);
    if (iLen < 29 || iLen > in_iLen)
        return 0;
    *out_pdwIpAddr = VXQ_F_CLI_GetU32(in_pData + 20);
    *out_pdwLineNo = VXQ_F_CLI_GetU32(in_pData + 24);
    *out_psText = VXQ_F_CLI_GetText(in_pData + 28, iLen - 28);
    return 1;
}

int VXQ_F_CLI_NpdOpen(uint16_t in_usPort, uint16_t *out_pusPort)
{
    int iSock = socket(AF_INET, SOCK_DGRAM, 0);
    if (iSock < 0)
        return -1;
    int iOne = 1;
    setsockopt(iSock, SOL_SOCKET, SO_BROADCAST, &iOne, sizeof(iOne));
    setsockopt(iSock, SOL_SOCKET, SO_REUSEADDR, &iOne, sizeof(iOne));
    struct sockaddr_in tAddr;
    memset(&tAddr, 0, sizeof(tAddr));
    tAddr.sin_family = AF_INET;
    tAddr.sin_port = htons(in_usPort);
    tAddr.sin_addr.s_addr = htonl(INADDR_ANY);
    socklen_t iLen = sizeof(tAddr);
    if (bind(iSock, (struct sockaddr *)&tAddr, sizeof(tAddr)) != 0 ||
        getsockname(iSock, (struct sockaddr *)&tAddr, &iLen) != 0) {
        close(iSock);
        return -1;
    }
    if (out_pusPort)
        *out_pusPort = ntohs(tAddr.sin_port);
    return iSock;
}

int VXQ_F_CLI_NpdSend(int in_iSock, const std::string &in_sAddr, const std::vector<uint8_t> &in_tData)
{
    struct sockaddr_in tAddr;
    memset(&tAddr, 0, sizeof(tAddr));
    tAddr.sin_family = AF_INET;
    tAddr.sin_port = htons(VXQ_CLI_NPD_PORT);
    if (inet_pton(AF_INET, in_sAddr.c_str(), &tAddr.sin_addr) != 1)
        return 0;
    return sendto(in_iSock, in_tData.data(), in_tData.size(), 0, (struct sockaddr *)&tAddr, sizeof(tAddr)) ==
           (ssize_t)in_tData.size();
}

int VXQ_F_CLI_NpdRecv(int in_iSock, int in_iTimeoutMs, std::vector<uint8_t> *out_ptData, std::string *out_psFrom)
{
    struct pollfd tPoll = {in_iSock, POLLIN, 0};
    if (poll(&tPoll, 1, in_iTimeoutMs < 0 ? 0 : in_iTimeoutMs) != 1)
        return 0;
    uint8_t ucBuf[2048];
    struct sockaddr_in tFrom;
    socklen_t iLen = sizeof(tFrom);
    ssize_t iGot = recvfrom(in_iSock, ucBuf, sizeof(ucBuf), 0, (struct sockaddr *)&tFrom, &iLen);
    if (iGot < 0)
        return 0;
    out_ptData->assign(ucBuf, ucBuf + iGot);
    if (out_psFrom) {
        char sAddr[INET_ADDRSTRLEN] = {0};
        inet_ntop(AF_INET, &tFrom.sin_addr, sAddr, sizeof(sAddr));
        *out_psFrom = sAddr;
    }
    return 1;
}
