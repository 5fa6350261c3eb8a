/*
 * test_client.h - the UMSP client of the tests, a thin layer over the reference
 * client library (tools/client). Owns one TCP connection to 127.0.0.1 and the
 * reassembly buffer of its answers; reads whole messages with a deadline (never
 * a blind sleep); token and login as a real client forms them. One thread uses
 * one record at a time; the record owns its socket (Close is safe twice).
 * Results: 1 success, 0 failure (time-out, closed connection, malformed answer).
 */
#ifndef VXQ_TEST_CLIENT_H
#define VXQ_TEST_CLIENT_H

#include "clibody.h"
#include "clilink.h"
#include "support/time_scale.h"

#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#define VXQ_TESTCLI_HEAD_LEN 20
#define VXQ_TESTCLI_FN_HEARTBEAT 0x0001

/* The head of one message and the client connection are the reference client's own records. */
typedef _VXQ_S_CLI_HEAD _VXQ_S_TESTCLI_HEAD;
typedef _VXQ_S_CLI_LINK _VXQ_S_TESTCLI_DATA;
typedef std::vector<uint8_t> Bytes;

/* Little-endian field access into a message buffer (the caller keeps offsets in range). */
inline void VXQ_F_TESTCLI_PutU16(Bytes &inout_tMsg, size_t in_iOffset, uint16_t in_usValue)
{
    VXQ_F_CLI_PutU16(&inout_tMsg[in_iOffset], in_usValue);
}
inline void VXQ_F_TESTCLI_PutU32(Bytes &inout_tMsg, size_t in_iOffset, uint32_t in_dwValue)
{
    VXQ_F_CLI_PutU32(&inout_tMsg[in_iOffset], in_dwValue);
}
inline uint16_t VXQ_F_TESTCLI_GetU16(const Bytes &in_tMsg, size_t in_iOffset)
{
    return VXQ_F_CLI_GetU16(&in_tMsg[in_iOffset]);
}
inline uint32_t VXQ_F_TESTCLI_GetU32(const Bytes &in_tMsg, size_t in_iOffset)
{
    return VXQ_F_CLI_GetU32(&in_tMsg[in_iOffset]);
}

/* One message: a head with flag, size 20 + body length, the function id,
 * in_ucTypeByte as byte 10, result 0, the transaction number and zero reserved
 * bytes, then a copy of the body (in_pBody null: a zeroed body). */
inline Bytes VXQ_F_TESTCLI_BuildMsg(uint16_t in_usMsgFuncId, uint8_t in_ucTypeByte, uint32_t in_dwTransNo,
                                    const void *in_pBody, size_t in_iBodyLen)
{
    return VXQ_F_CLI_BuildMsg(in_usMsgFuncId, in_ucTypeByte, in_dwTransNo, in_pBody, in_iBodyLen);
}
inline Bytes VXQ_F_TESTCLI_BuildZeroMsg(uint16_t in_usMsgFuncId, uint32_t in_dwTransNo, size_t in_iBodyLen)
{
    return VXQ_F_CLI_BuildMsg(in_usMsgFuncId, 0, in_dwTransNo, nullptr, in_iBodyLen);
}
/* 32 lowercase hexadecimal characters of MD5(token ":" password). */
inline std::string VXQ_F_TESTCLI_LoginDigest(const std::string &in_sToken, const std::string &in_sPassword)
{
    return VXQ_F_CLI_LoginDigest(in_sToken, in_sPassword);
}

inline void VXQ_F_TESTCLI_Init(_VXQ_S_TESTCLI_DATA *out_ptCli) { VXQ_F_CLI_Init(out_ptCli); }
/* Connects to 127.0.0.1:in_usPort within the deadline. Returns 1 when connected. */
inline int VXQ_F_TESTCLI_Connect(_VXQ_S_TESTCLI_DATA *inout_ptCli, uint16_t in_usPort, int in_iTimeoutMs = 3000)
{
    return VXQ_F_CLI_Connect(inout_ptCli, "127.0.0.1", in_usPort, VXQ_F_TESTTIME_ScaleMs(in_iTimeoutMs));
}
/* Closes the connection and drops buffered bytes. Safe on a closed record. */
inline void VXQ_F_TESTCLI_Close(_VXQ_S_TESTCLI_DATA *inout_ptCli) { VXQ_F_CLI_Close(inout_ptCli); }
inline int VXQ_F_TESTCLI_SendMsg(_VXQ_S_TESTCLI_DATA *inout_ptCli, const Bytes &in_tMsg)
{
    return VXQ_F_CLI_SendMsg(inout_ptCli, in_tMsg);
}
/* Reads the next whole message within the deadline. Returns 0 on time-out, on a
 * closed connection or on a head whose flag is wrong or whose size is below 20. */
inline int VXQ_F_TESTCLI_ReadMsg(_VXQ_S_TESTCLI_DATA *inout_ptCli, Bytes &out_tMsg, int in_iTimeoutMs = 3000)
{
    return VXQ_F_CLI_ReadMsg(inout_ptCli, out_tMsg, VXQ_F_TESTTIME_ScaleMs(in_iTimeoutMs));
}
/* Sends in_tMsg and reads the next whole message as its answer. */
inline int VXQ_F_TESTCLI_Request(_VXQ_S_TESTCLI_DATA *inout_ptCli, const Bytes &in_tMsg, Bytes &out_tAnswer,
                                 int in_iTimeoutMs = 3000)
{
    return VXQ_F_CLI_SendMsg(inout_ptCli, in_tMsg) && VXQ_F_TESTCLI_ReadMsg(inout_ptCli, out_tAnswer, in_iTimeoutMs);
}

/* A login request carrying the user name and in_sDigest as given. */
inline Bytes VXQ_F_TESTCLI_BuildLogin(uint32_t in_dwTransNo, const std::string &in_sUser,
                                      const std::string &in_sDigest)
{
    return VXQ_F_CLI_BuildLogin(in_dwTransNo, in_sUser, in_sDigest);
}
/* Token then login. Returns 1 when both answered with result 0. */
inline int VXQ_F_TESTCLI_TokenAndLogin(_VXQ_S_TESTCLI_DATA *inout_ptCli, const std::string &in_sUser,
                                       const std::string &in_sPassword, uint32_t *out_pdwLoginId)
{
    std::string sToken;
    uint8_t ucResult = 0xFF;
    _VXQ_S_CLI_LOGIN_INFO tInfo;
    if (!VXQ_F_CLI_GetToken(inout_ptCli, &sToken, &ucResult, nullptr) || ucResult != 0 ||
        !VXQ_F_CLI_Login(inout_ptCli, in_sUser, in_sPassword, sToken, &ucResult, &tInfo, nullptr) || ucResult != 0)
        return 0;
    *out_pdwLoginId = tInfo.dwLoginId;
    return 1;
}

/* A message with a zeroed body: head (flag, size, id, type byte, result 0, trans no). */
inline Bytes TestMsg(uint16_t in_usFuncId, uint32_t in_dwTransNo, size_t in_iBodyLen = 0, uint8_t in_ucType = 0)
{
    return VXQ_F_TESTCLI_BuildMsg(in_usFuncId, in_ucType, in_dwTransNo, nullptr, in_iBodyLen);
}
/* Little-endian u32 at in_iOffset; 0xDEADBEEF past the end of the message. */
inline uint32_t TestLe32(const Bytes &in_tMsg, size_t in_iOffset)
{
    return in_tMsg.size() >= in_iOffset + 4 ? VXQ_F_TESTCLI_GetU32(in_tMsg, in_iOffset) : 0xDEADBEEFu;
}
inline void TestPutLe32(Bytes &inout_tMsg, size_t in_iOffset, uint32_t in_dwValue)
{
    VXQ_F_TESTCLI_PutU32(inout_tMsg, in_iOffset, in_dwValue);
}
/* One test client connection that closes itself; dwLoginId for the caller. */
class TestClient
{
  public:
    _VXQ_S_TESTCLI_DATA t;
    uint32_t dwLoginId = 0;

    TestClient() { VXQ_F_TESTCLI_Init(&t); }
    ~TestClient() { Close(); }
    TestClient(const TestClient &) = delete;
    TestClient &operator=(const TestClient &) = delete;

    bool Connect(uint16_t in_usPort) { return VXQ_F_TESTCLI_Connect(&t, in_usPort) == 1; }
    void Close() { VXQ_F_TESTCLI_Close(&t); }
    bool Send(const Bytes &in_tData) { return Send(in_tData.data(), in_tData.size()); }
    bool Send(const uint8_t *in_pData, size_t in_iLen) { return VXQ_F_CLI_SendRaw(&t, in_pData, in_iLen) == 1; }
    /* The next whole message within the deadline; false on time-out or close. */
    bool ReadMsg(Bytes &out_tMsg, int in_iTimeoutMs = 5000)
    {
        return VXQ_F_TESTCLI_ReadMsg(&t, out_tMsg, in_iTimeoutMs) == 1;
    }
    /* True when the service closes the connection within the deadline. */
    bool WaitClosed(int in_iTimeoutMs = 5000) { return VXQ_F_CLI_WaitPeerClosed(&t, VXQ_F_TESTTIME_ScaleMs(in_iTimeoutMs)) == 1; }
};

#endif
