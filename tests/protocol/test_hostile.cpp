/* Hostile input for every function id of the function table: the request at
 * its length and beyond with every count, length and id field at its limit
 * (0x7F..) and past it (0xFF..), sent through the real framing and dispatcher
 * on a logged-in connection. Each gets a whole answer (none for frames) and
 * the connection still answers the next request. (Requests cut short are the
 * table walk's, tests/ops/test_functab.cpp.) */
#include <gtest/gtest.h>

#include "core/conn.h"
#include "ops/functab.h"
#include "protocol/dispatch.h"
#include "support/offline_stream.h"
#include "support/test_client.h"
#include "wire/head.h"
#include "wire/result.h"

#include <string.h>

#include <string>

namespace
{

const uint32_t s_dwPort = 0x00070003u;

int HostileLookupUser(void *in_pUser, const char *in_sName, _VXQ_S_DPS_USER_INFO *out_pUserInfo)
{
    (void)in_pUser;
    if (strcmp(in_sName, "admin") != 0)
        return 0;
    strcpy(out_pUserInfo->sUserName, "admin");
    strcpy(out_pUserInfo->sPassword, "secret");
    out_pUserInfo->dwPopMask = 0xFFFFFFFFu;
    for (uint32_t &dwMask : out_pUserInfo->dwChPopMask)
        dwMask = 0xFFFFFFFFu;
    return 1;
}

class Hostile : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        VXQ_F_OFFLINE_InstallCapture();
        m_pSrv = VXQ_F_OFFLINE_NewInstance();
        ASSERT_NE(m_pSrv, nullptr);
        m_pSrv->fnQueryUserCallback = HostileLookupUser;
    }
    void TearDown() override
    {
        VXQ_F_DPS_MC_NetPortData_ReleaseAllData(m_pSrv);
        VXQ_F_OFFLINE_FreeInstance(m_pSrv);
        VXQ_F_OFFLINE_RemoveCapture();
    }
    _VXQ_S_DPS_NET_PORT_DATA *Conn()
    {
        return VXQ_F_DPS_MC_NetPortData_QueryByPortId(m_pSrv, s_dwPort);
    }
    /* A fresh logged-in command connection in the table; its login id. */
    uint32_t FreshLogin()
    {
        if (Conn() != nullptr)
            VXQ_F_OFFLINE_StreamDisconnect(m_pSrv, s_dwPort);
        VXQ_F_OFFLINE_StreamConnect(m_pSrv, s_dwPort);
        /* Hostile logins failed from this address: start every case unthrottled. */
        memset(m_pSrv->tLoginFail, 0, sizeof(m_pSrv->tLoginFail));
        VXQ_F_OFFLINE_StreamData(m_pSrv, s_dwPort,
                                 VXQ_F_TESTCLI_BuildZeroMsg(P1_VER_CONSULT_GET_TOKEN, 1, 89));
        if (Conn() == nullptr || Conn()->pToken == nullptr)
            return 0;
        std::string sToken = Conn()->pToken;
        VXQ_F_OFFLINE_StreamData(
            m_pSrv, s_dwPort,
            VXQ_F_TESTCLI_BuildLogin(2, "admin", VXQ_F_TESTCLI_LoginDigest(sToken, "secret")));
        return Conn() ? Conn()->dwLoginId : 0;
    }
    /* Sends the bytes, returns the answers to them (messages of this connection). */
    std::vector<std::vector<uint8_t>> Send(const std::vector<uint8_t> &in_tMsg)
    {
        VXQ_F_OFFLINE_Sent().clear();
        VXQ_F_OFFLINE_StreamData(m_pSrv, s_dwPort, in_tMsg);
        std::vector<std::vector<uint8_t>> tOut;
        for (const _VXQ_S_OFFLINE_SENT &tSent : VXQ_F_OFFLINE_Sent())
            tOut.push_back(tSent.tMsg);
        return tOut;
    }
    /* The connection is there and echoes a heartbeat as the last message it sends. */
    bool Usable()
    {
        if (Conn() == nullptr)
            return false;
        std::vector<std::vector<uint8_t>> tOut = Send(VXQ_F_TESTCLI_BuildZeroMsg(P0_HEARTBEAT, 0xBEEF, 0));
        return !tOut.empty() && tOut.back().size() == 20 &&
               VXQ_F_TESTCLI_GetU16(tOut.back(), 8) == P0_HEARTBEAT &&
               VXQ_F_TESTCLI_GetU32(tOut.back(), 12) == 0xBEEFu;
    }
    _VXQ_S_DPS_MCSRV_DATA *m_pSrv = nullptr;
};

TEST_F(Hostile, EveryRequestWithItsFieldsAtTheirLimitsGetsAWholeAnswerAndLeavesTheConnectionUsable)
{
    int iIds = 0;
    for (int32_t iLine = 0; iLine < g_tDpsFuncTable.iLineNum; iLine++) {
        const _VXQ_S_DPS_FUNC_LINE *pEntry = &g_tDpsFuncTable.pLine[iLine];
        if (pEntry->usMsgFuncId == 0 || (pEntry->ucFlags & VXQ_DPS_FUNC_NOTICE))
            continue;
        const uint16_t usId = pEntry->usMsgFuncId;
        const bool bAnswers = (pEntry->ucFlags & VXQ_DPS_FUNC_NO_ANSWER) == 0;
        const size_t iMinBody = (size_t)pEntry->iMinMsgLen - 20;
        iIds++;

        /* At its length and 64 bytes beyond, every field at its limit and past it;
         * the login id stays the real one so that only the fields are hostile. */
        for (uint8_t ucFill : {(uint8_t)0x7F, (uint8_t)0xFF, (uint8_t)0x80}) {
            for (size_t iBody : {iMinBody, iMinBody + 64}) {
                uint32_t dwLoginId = FreshLogin();
                ASSERT_NE(dwLoginId, 0u);
                std::vector<uint8_t> tMsg = VXQ_F_TESTCLI_BuildZeroMsg(usId, 0x52, iBody);
                memset(tMsg.data() + 20, ucFill, iBody);
                if (iBody >= 4 && usId != P1_LOGIN && usId != P1_VER_CONSULT_GET_TOKEN)
                    VXQ_F_TESTCLI_PutU32(tMsg, 20, dwLoginId);
                std::vector<std::vector<uint8_t>> tOut = Send(tMsg);
                if (!bAnswers) {
                    EXPECT_TRUE(tOut.empty()) << std::hex << usId;
                }
                for (const std::vector<uint8_t> &tAnswer : tOut) {
                    ASSERT_GE(tAnswer.size(), 20u) << std::hex << usId;
                    EXPECT_EQ(VXQ_F_TESTCLI_GetU32(tAnswer, 0), 0xFFFFEEEEu) << std::hex << usId;
                    EXPECT_EQ(VXQ_F_TESTCLI_GetU32(tAnswer, 4), (uint32_t)tAnswer.size()) << std::hex << usId;
                }
                EXPECT_TRUE(Usable())
                    << std::hex << usId << " fill " << (int)ucFill << " body " << std::dec << iBody;
            }
        }
    }
    RecordProperty("function_ids", iIds);
    EXPECT_GE(iIds, 50);
}

} // namespace
