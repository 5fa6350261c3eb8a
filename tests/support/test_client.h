/*
 * test_client.h - the UMSP client of the tests, a thin layer over the reference
 * client library (tools/client: cliwire, clibody, clilink).
 *
 * Owns one TCP connection to a service on 127.0.0.1 and a reassembly buffer for
 * the answers that come back on it. Builds messages (20-byte head, little-endian,
 * flag 0xFFFFEEEE, then the body), sends them whole, and reads whole messages
 * with a deadline, so a test never sleeps blindly. Token and login helpers form
 * the request bodies and the password digest exactly as a real client must.
 *
 * One thread uses one client record at a time. The record owns its socket:
 * VXQ_F_TESTCLI_Close releases it (safe to call twice). Results: 1 success, 0
 * failure (time-out, closed connection, malformed answer).
 */
#ifndef VXQ_TEST_CLIENT_H
#define VXQ_TEST_CLIENT_H

#include "clilink.h"

#include <stdint.h>

#include <string>
#include <vector>

/* Size of the head of every UMSP message and its fixed flag. */
#define VXQ_TESTCLI_HEAD_LEN 20
#define VXQ_TESTCLI_PACKET_FLAG 0xFFFFEEEEu

/* Function ids the helpers use. */
#define VXQ_TESTCLI_FN_HEARTBEAT 0x0001
#define VXQ_TESTCLI_FN_GET_TOKEN 0x0101
#define VXQ_TESTCLI_FN_LOGIN 0x0102
#define VXQ_TESTCLI_FN_LOGOUT 0x0103
#define VXQ_TESTCLI_FN_CLAIM 0x0104

/* Body lengths of the session requests the helpers send. */
#define VXQ_TESTCLI_TOKEN_BODY_LEN 89
#define VXQ_TESTCLI_LOGIN_BODY_LEN 528

/* The head of one message and the client connection are the reference
 * client's own records (tools/client): the test client is a thin layer that
 * keeps the vector-based helpers the tests are written against. */
typedef _VXQ_S_CLI_HEAD _VXQ_S_TESTCLI_HEAD;
typedef _VXQ_S_CLI_LINK _VXQ_S_TESTCLI_DATA;

/* Little-endian field access into a message buffer (the caller keeps offsets in range). */
void VXQ_F_TESTCLI_PutU16(std::vector<uint8_t> &inout_tMsg, size_t in_iOffset, uint16_t in_usValue);
void VXQ_F_TESTCLI_PutU32(std::vector<uint8_t> &inout_tMsg, size_t in_iOffset, uint32_t in_dwValue);
uint16_t VXQ_F_TESTCLI_GetU16(const std::vector<uint8_t> &in_tMsg, size_t in_iOffset);
uint32_t VXQ_F_TESTCLI_GetU32(const std::vector<uint8_t> &in_tMsg, size_t in_iOffset);

/* Builds one message: a head with flag, size 20 + body length, the function id,
 * in_ucTypeByte as byte 10, result 0, the transaction number and zero reserved
 * bytes, followed by a copy of the body (in_pBody may be null for an empty body). */
std::vector<uint8_t> VXQ_F_TESTCLI_BuildMsg(uint16_t in_usMsgFuncId, uint8_t in_ucTypeByte,
                                            uint32_t in_dwTransNo, const void *in_pBody,
                                            size_t in_iBodyLen);

/* As VXQ_F_TESTCLI_BuildMsg with a zeroed body of in_iBodyLen bytes. */
std::vector<uint8_t> VXQ_F_TESTCLI_BuildZeroMsg(uint16_t in_usMsgFuncId, uint32_t in_dwTransNo,
                                                size_t in_iBodyLen);

/* Decodes the head of a message of at least 20 bytes. Returns 0 when it is shorter. */
int VXQ_F_TESTCLI_ParseHead(const std::vector<uint8_t> &in_tMsg, _VXQ_S_TESTCLI_HEAD *out_ptHead);

/* The password digest a login carries: 32 lowercase hexadecimal characters of
 * MD5(token ":" password). */
std::string VXQ_F_TESTCLI_LoginDigest(const std::string &in_sToken, const std::string &in_sPassword);

/* Sets the record to "not connected". */
void VXQ_F_TESTCLI_Init(_VXQ_S_TESTCLI_DATA *out_ptCli);

/* Connects to 127.0.0.1:in_usPort within in_iTimeoutMs. Returns 1 when connected. */
int VXQ_F_TESTCLI_Connect(_VXQ_S_TESTCLI_DATA *inout_ptCli, uint16_t in_usPort, int in_iTimeoutMs = 3000);

/* Closes the connection and drops buffered bytes. Safe on a closed record. */
void VXQ_F_TESTCLI_Close(_VXQ_S_TESTCLI_DATA *inout_ptCli);

/* Sends all in_iLen bytes. Returns 1 when all went out. */
int VXQ_F_TESTCLI_SendRaw(_VXQ_S_TESTCLI_DATA *inout_ptCli, const void *in_pData, size_t in_iLen);
int VXQ_F_TESTCLI_SendMsg(_VXQ_S_TESTCLI_DATA *inout_ptCli, const std::vector<uint8_t> &in_tMsg);

/* Reads the next whole message (head and body, as many bytes as its head says)
 * within in_iTimeoutMs. Returns 0 on time-out, on a closed connection or on a
 * head whose flag is wrong or whose size is below 20. */
int VXQ_F_TESTCLI_ReadMsg(_VXQ_S_TESTCLI_DATA *inout_ptCli, std::vector<uint8_t> &out_tMsg,
                          int in_iTimeoutMs = 3000);

/* Waits up to in_iTimeoutMs for the service to close the connection; bytes that
 * arrive meanwhile are kept for ReadMsg. Returns 1 once the peer closed. */
int VXQ_F_TESTCLI_WaitPeerClosed(_VXQ_S_TESTCLI_DATA *inout_ptCli, int in_iTimeoutMs = 3000);

/* Sends in_tMsg and reads the next whole message as its answer. */
int VXQ_F_TESTCLI_Request(_VXQ_S_TESTCLI_DATA *inout_ptCli, const std::vector<uint8_t> &in_tMsg,
                          std::vector<uint8_t> &out_tAnswer, int in_iTimeoutMs = 3000);

/* Asks for an access token. On an answer returns 1 with its result code, the
 * token text and the password mode; the token is empty unless the result is 0. */
int VXQ_F_TESTCLI_GetToken(_VXQ_S_TESTCLI_DATA *inout_ptCli, std::string &out_sToken,
                           uint8_t *out_pucResult, uint8_t *out_pucPwdMode = nullptr);

/* Builds a login request carrying the user name and in_sDigest as given. */
std::vector<uint8_t> VXQ_F_TESTCLI_BuildLogin(uint32_t in_dwTransNo, const std::string &in_sUser,
                                              const std::string &in_sDigest);

/* Logs in with the digest of in_sToken and in_sPassword. On an answer returns 1
 * with its result code and the login id of the answer (0 unless the result is 0);
 * out_ptAnswer, when given, receives the whole answer. */
int VXQ_F_TESTCLI_Login(_VXQ_S_TESTCLI_DATA *inout_ptCli, const std::string &in_sUser,
                        const std::string &in_sPassword, const std::string &in_sToken,
                        uint8_t *out_pucResult, uint32_t *out_pdwLoginId,
                        std::vector<uint8_t> *out_ptAnswer = nullptr);

/* Token then login. Returns 1 when both answered with result 0. */
int VXQ_F_TESTCLI_TokenAndLogin(_VXQ_S_TESTCLI_DATA *inout_ptCli, const std::string &in_sUser,
                                const std::string &in_sPassword, uint32_t *out_pdwLoginId);

/* ---- C++ conveniences the tests are written with ------------------------- */
typedef std::vector<uint8_t> Bytes;

/* A message with a zeroed body: head (flag, size, id, type byte, result 0, trans no). */
inline Bytes TestMsg(uint16_t in_usFuncId, uint32_t in_dwTransNo, size_t in_iBodyLen = 0, uint8_t in_ucType = 0)
{
    return VXQ_F_TESTCLI_BuildMsg(in_usFuncId, in_ucType, in_dwTransNo, nullptr, in_iBodyLen);
}
/* Little-endian u32 at in_iOffset; 0xDEADBEEF past the end of the message. */
uint32_t TestLe32(const Bytes &in_tMsg, size_t in_iOffset);
void TestPutLe32(Bytes &inout_tMsg, size_t in_iOffset, uint32_t in_dwValue);
/* Head fields of a received message (zeroed when it is shorter than the head). */
_VXQ_S_TESTCLI_HEAD TestHead(const Bytes &in_tMsg);

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
    bool Send(const uint8_t *in_pData, size_t in_iLen) { return VXQ_F_TESTCLI_SendRaw(&t, in_pData, in_iLen) == 1; }
    /* The next whole message within the deadline; false on time-out or close. */
    bool ReadMsg(Bytes &out_tMsg, int in_iTimeoutMs = 5000)
    {
        return VXQ_F_TESTCLI_ReadMsg(&t, out_tMsg, in_iTimeoutMs) == 1;
    }
    /* True when the service closes the connection within the deadline. */
    bool WaitClosed(int in_iTimeoutMs = 5000) { return VXQ_F_TESTCLI_WaitPeerClosed(&t, in_iTimeoutMs) == 1; }
    int Sock() const { return t.iSock; }
};

#endif
