/* test_client.cpp - the test UMSP client: vector-based wrappers over the reference client library. */
#include "support/test_client.h"
#include "support/time_scale.h"

#include <string.h>

void VXQ_F_TESTCLI_PutU16(std::vector<uint8_t> &inout_tMsg, size_t in_iOffset, uint16_t in_usValue)
{
    VXQ_F_CLI_PutU16(&inout_tMsg[in_iOffset], in_usValue);
}

void VXQ_F_TESTCLI_PutU32(std::vector<uint8_t> &inout_tMsg, size_t in_iOffset, uint32_t in_dwValue)
{
    VXQ_F_CLI_PutU32(&inout_tMsg[in_iOffset], in_dwValue);
}

uint16_t VXQ_F_TESTCLI_GetU16(const std::vector<uint8_t> &in_tMsg, size_t in_iOffset)
{
    return VXQ_F_CLI_GetU16(&in_tMsg[in_iOffset]);
}

uint32_t VXQ_F_TESTCLI_GetU32(const std::vector<uint8_t> &in_tMsg, size_t in_iOffset)
{
    return VXQ_F_CLI_GetU32(&in_tMsg[in_iOffset]);
}

std::vector<uint8_t> VXQ_F_TESTCLI_BuildMsg(uint16_t in_usMsgFuncId, uint8_t in_ucTypeByte,
                                            uint32_t in_dwTransNo, const void *in_pBody,
                                            size_t in_iBodyLen)
{
    return VXQ_F_CLI_BuildMsg(in_usMsgFuncId, in_ucTypeByte, in_dwTransNo, in_pBody, in_iBodyLen);
}

std::vector<uint8_t> VXQ_F_TESTCLI_BuildZeroMsg(uint16_t in_usMsgFuncId, uint32_t in_dwTransNo,
                                                size_t in_iBodyLen)
{
    return VXQ_F_CLI_BuildMsg(in_usMsgFuncId, 0, in_dwTransNo, nullptr, in_iBodyLen);
}

int VXQ_F_TESTCLI_ParseHead(const std::vector<uint8_t> &in_tMsg, _VXQ_S_TESTCLI_HEAD *out_ptHead)
{
    return VXQ_F_CLI_ParseHead(in_tMsg.data(), in_tMsg.size(), out_ptHead);
}

std::string VXQ_F_TESTCLI_LoginDigest(const std::string &in_sToken, const std::string &in_sPassword)
{
    return VXQ_F_CLI_LoginDigest(in_sToken, in_sPassword);
}

void VXQ_F_TESTCLI_Init(_VXQ_S_TESTCLI_DATA *out_ptCli)
{
    VXQ_F_CLI_Init(out_ptCli);
}

int VXQ_F_TESTCLI_Connect(_VXQ_S_TESTCLI_DATA *inout_ptCli, uint16_t in_usPort, int in_iTimeoutMs)
{
    return VXQ_F_CLI_Connect(inout_ptCli, "127.0.0.1", in_usPort, VXQ_F_TESTTIME_ScaleMs(in_iTimeoutMs));
}

void VXQ_F_TESTCLI_Close(_VXQ_S_TESTCLI_DATA *inout_ptCli)
{
    VXQ_F_CLI_Close(inout_ptCli);
}

int VXQ_F_TESTCLI_SendRaw(_VXQ_S_TESTCLI_DATA *inout_ptCli, const void *in_pData, size_t in_iLen)
{
    return VXQ_F_CLI_SendRaw(inout_ptCli, in_pData, in_iLen);
}

int VXQ_F_TESTCLI_SendMsg(_VXQ_S_TESTCLI_DATA *inout_ptCli, const std::vector<uint8_t> &in_tMsg)
{
    return VXQ_F_CLI_SendMsg(inout_ptCli, in_tMsg);
}

int VXQ_F_TESTCLI_ReadMsg(_VXQ_S_TESTCLI_DATA *inout_ptCli, std::vector<uint8_t> &out_tMsg,
                          int in_iTimeoutMs)
{
    return VXQ_F_CLI_ReadMsg(inout_ptCli, out_tMsg, VXQ_F_TESTTIME_ScaleMs(in_iTimeoutMs));
}

int VXQ_F_TESTCLI_WaitPeerClosed(_VXQ_S_TESTCLI_DATA *inout_ptCli, int in_iTimeoutMs)
{
    return VXQ_F_CLI_WaitPeerClosed(inout_ptCli, VXQ_F_TESTTIME_ScaleMs(in_iTimeoutMs));
}

int VXQ_F_TESTCLI_Request(_VXQ_S_TESTCLI_DATA *inout_ptCli, const std::vector<uint8_t> &in_tMsg,
                          std::vector<uint8_t> &out_tAnswer, int in_iTimeoutMs)
{
    /* The next message is the answer: tests check exactly what comes back. */
    if (!VXQ_F_CLI_SendMsg(inout_ptCli, in_tMsg))
        return 0;
    return VXQ_F_CLI_ReadMsg(inout_ptCli, out_tAnswer, VXQ_F_TESTTIME_ScaleMs(in_iTimeoutMs));
}

int VXQ_F_TESTCLI_GetToken(_VXQ_S_TESTCLI_DATA *inout_ptCli, std::string &out_sToken,
                           uint8_t *out_pucResult, uint8_t *out_pucPwdMode)
{
    out_sToken.clear();
    return VXQ_F_CLI_GetToken(inout_ptCli, &out_sToken, out_pucResult, out_pucPwdMode);
}

std::vector<uint8_t> VXQ_F_TESTCLI_BuildLogin(uint32_t in_dwTransNo, const std::string &in_sUser,
                                              const std::string &in_sDigest)
{
    return VXQ_F_CLI_BuildLogin(in_dwTransNo, in_sUser, in_sDigest);
}

int VXQ_F_TESTCLI_Login(_VXQ_S_TESTCLI_DATA *inout_ptCli, const std::string &in_sUser,
                        const std::string &in_sPassword, const std::string &in_sToken,
                        uint8_t *out_pucResult, uint32_t *out_pdwLoginId,
                        std::vector<uint8_t> *out_ptAnswer)
{
    _VXQ_S_CLI_LOGIN_INFO tInfo;
    if (!VXQ_F_CLI_Login(inout_ptCli, in_sUser, in_sPassword, in_sToken, out_pucResult, &tInfo, out_ptAnswer))
        return 0;
    if (out_pdwLoginId)
        *out_pdwLoginId = tInfo.dwLoginId;
    return 1;
}

int VXQ_F_TESTCLI_TokenAndLogin(_VXQ_S_TESTCLI_DATA *inout_ptCli, const std::string &in_sUser,
                                const std::string &in_sPassword, uint32_t *out_pdwLoginId)
{
    std::string sToken;
    uint8_t ucResult = 0xFF;
    if (!VXQ_F_TESTCLI_GetToken(inout_ptCli, sToken, &ucResult) || ucResult != 0)
        return 0;
    if (!VXQ_F_TESTCLI_Login(inout_ptCli, in_sUser, in_sPassword, sToken, &ucResult,
                             out_pdwLoginId))
        return 0;
    return ucResult == 0 ? 1 : 0;
}

uint32_t TestLe32(const Bytes &in_tMsg, size_t in_iOffset)
{
    return in_tMsg.size() >= in_iOffset + 4 ? VXQ_F_TESTCLI_GetU32(in_tMsg, in_iOffset) : 0xDEADBEEFu;
}

void TestPutLe32(Bytes &inout_tMsg, size_t in_iOffset, uint32_t in_dwValue)
{
    VXQ_F_TESTCLI_PutU32(inout_tMsg, in_iOffset, in_dwValue);
}

_VXQ_S_TESTCLI_HEAD TestHead(const Bytes &in_tMsg)
{
    _VXQ_S_TESTCLI_HEAD tHead;
    memset(&tHead, 0, sizeof(tHead));
    VXQ_F_TESTCLI_ParseHead(in_tMsg, &tHead);
    return tHead;
}
