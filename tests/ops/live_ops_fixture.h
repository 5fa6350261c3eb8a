/*
 * live_ops_fixture.h - a running service with a test host and real loopback
 * clients, for the serial port and maintenance family tests.
 *
 * Each test gets its own service (started on a port the system picks) whose
 * lookup callback knows the user "admin" / "pw" with every right. Clients are
 * the test client (tests/support/test_client.h); they close with the fixture.
 *
 * Ordering tools instead of sleeps: Barrier() returns once every order posted
 * before it has been handled on the control thread; NothingMore() then proves
 * that a client got no message before the answer to a fresh heartbeat (the
 * service answers each connection in order). Events are delivered in the
 * order they were raised, so the first event after an action that raises one
 * proves that nothing was raised before it.
 */
#ifndef VXQ_TEST_LIVE_OPS_FIXTURE_H
#define VXQ_TEST_LIVE_OPS_FIXTURE_H

#include "core/conn.h"
#include "support/test_client.h"
#include "support/test_host.h"
#include "support/wait_until.h"
#include "wire/head.h"
#include "vxq_dps.h"

#include <gtest/gtest.h>

#include <string.h>

#include <memory>
#include <string>
#include <vector>

typedef std::vector<uint8_t> LiveBytes;

/* A test client that closes itself. */
struct LiveClient {
    _VXQ_S_TESTCLI_DATA t;
    uint32_t dwLoginId = 0;
    LiveClient() { VXQ_F_TESTCLI_Init(&t); }
    ~LiveClient() { VXQ_F_TESTCLI_Close(&t); }
    LiveClient(const LiveClient &) = delete;
    LiveClient &operator=(const LiveClient &) = delete;
};

class LiveOps : public ::testing::Test {
protected:
    void SetUp() override
    {
        VXQ_F_TESTHOST_AddUser(&m_tHost, "admin", "pw", 0xFF, 0xFF);
        ASSERT_EQ(VXQ_F_TESTHOST_Start(&m_tHost), 1);
    }
    void TearDown() override
    {
        m_tClients.clear();
        VXQ_F_TESTHOST_Stop(&m_tHost);
    }

    /* A connected command connection that asked for a token and, when
     * in_bLogin, logged in (its login id in dwLoginId). */
    LiveClient &Client(bool in_bLogin = true)
    {
        m_tClients.emplace_back(new LiveClient());
        LiveClient &tCli = *m_tClients.back();
        EXPECT_EQ(VXQ_F_TESTCLI_Connect(&tCli.t, m_tHost.usPort), 1);
        if (in_bLogin) {
            EXPECT_EQ(VXQ_F_TESTCLI_TokenAndLogin(&tCli.t, "admin", "pw", &tCli.dwLoginId), 1);
            EXPECT_NE(tCli.dwLoginId, 0u);
        } else {
            std::string sToken;
            uint8_t ucResult = 0xFF;
            EXPECT_EQ(VXQ_F_TESTCLI_GetToken(&tCli.t, sToken, &ucResult), 1);
            EXPECT_EQ(ucResult, 0);
        }
        return tCli;
    }
    /* Logs the client out (its dwLoginId becomes 0 on the service). */
    void Logout(LiveClient &inout_tCli)
    {
        LiveBytes tAnswer;
        ASSERT_EQ(VXQ_F_TESTCLI_Request(&inout_tCli.t, VXQ_F_TESTCLI_BuildZeroMsg(0x0103, NextNo(), 4), tAnswer), 1);
    }

    /* A request with a zeroed body of in_nBodyLen bytes and a fresh request number. */
    LiveBytes Msg(uint16_t in_usFuncId, size_t in_nBodyLen)
    {
        return VXQ_F_TESTCLI_BuildZeroMsg(in_usFuncId, NextNo(), in_nBodyLen);
    }
    uint32_t NextNo() { return ++m_dwTransNo; }

    /* Sends the request and returns the next message on that connection
     * (an empty vector when none came within 3 s). */
    LiveBytes Ask(LiveClient &inout_tCli, const LiveBytes &in_tMsg)
    {
        LiveBytes tAnswer;
        if (!VXQ_F_TESTCLI_Request(&inout_tCli.t, in_tMsg, tAnswer))
            tAnswer.clear();
        return tAnswer;
    }
    /* The next message on the connection (empty when none came within 3 s). */
    LiveBytes Read(LiveClient &inout_tCli)
    {
        LiveBytes tMsg;
        if (!VXQ_F_TESTCLI_ReadMsg(&inout_tCli.t, tMsg))
            tMsg.clear();
        return tMsg;
    }

    /* The first event with that id (-1: the first of any id) delivered and not yet taken. */
    LiveBytes Event(int32_t in_iMsgFuncId = -1)
    {
        LiveBytes tEvent;
        if (!VXQ_F_TESTHOST_WaitEvent(&m_tHost, in_iMsgFuncId, tEvent))
            tEvent.clear();
        return tEvent;
    }
    /* A host-order 32-bit word of an event or order at in_nOffset (0 past its end). */
    static uint32_t Word(const LiveBytes &in_tMsg, size_t in_nOffset)
    {
        uint32_t dwValue = 0;
        if (in_tMsg.size() >= in_nOffset + 4)
            memcpy(&dwValue, in_tMsg.data() + in_nOffset, 4);
        return dwValue;
    }

    /* Posts an order (head, then body) with the given ucMsgType. */
    void Post(int32_t in_iId, uint8_t in_ucErrorCode, uint32_t in_dwTransId, const void *in_pBody,
              int32_t in_iBodyLen, uint8_t in_ucMsgType = 1)
    {
        LiveBytes tOrder = VXQ_F_TESTHOST_BuildOrder(in_iId, in_ucErrorCode, in_dwTransId, in_pBody, in_iBodyLen);
        tOrder[4] = in_ucMsgType;
        ASSERT_EQ(VXQ_F_TESTHOST_PostOrder(&m_tHost, tOrder), 1);
    }
    /* Answers an event (same id and transaction) with in_pBody, or with the event's own body by default. */
    void Answer(const LiveBytes &in_tEvent, uint8_t in_ucErrorCode, const void *in_pBody = nullptr,
                int32_t in_iBodyLen = -1)
    {
        ASSERT_GE(in_tEvent.size(), 16u);
        if (in_iBodyLen < 0) {
            in_pBody = in_tEvent.data() + 16;
            in_iBodyLen = (int32_t)in_tEvent.size() - 16;
        }
        Post(VXQ_F_TESTHOST_MsgFuncId(in_tEvent), in_ucErrorCode, VXQ_F_TESTHOST_TransId(in_tEvent), in_pBody,
             in_iBodyLen);
    }

    /* Returns once everything posted before has been handled on the control thread. */
    void Barrier() { ASSERT_EQ(VXQ_F_TESTHOST_OnControlThread(&m_tHost, [](_VXQ_S_DPS_MCSRV_DATA *) {}), 1); }
    /* True when, after the barrier, the next message the client receives is
     * the answer to a fresh heartbeat: nothing else was sent to it before. */
    bool NothingMore(LiveClient &inout_tCli)
    {
        Barrier();
        LiveBytes tAnswer = Ask(inout_tCli, Msg(0x0001, 0));
        _VXQ_S_TESTCLI_HEAD tHead;
        return VXQ_F_TESTCLI_ParseHead(tAnswer, &tHead) && tHead.usMsgFuncId == 0x0001 && tHead.ucPacketType == 1 &&
               tAnswer.size() == 20;
    }
    /* Connections in the service's table (read on the control thread). */
    int32_t ConnCount()
    {
        int32_t iCount = -1;
        VXQ_F_TESTHOST_OnControlThread(&m_tHost,
                                       [&](_VXQ_S_DPS_MCSRV_DATA *p) { iCount = VXQ_F_DPS_MC_StatTcpConnNum(p); });
        return iCount;
    }

    _VXQ_S_TESTHOST_DATA m_tHost;

private:
    std::vector<std::unique_ptr<LiveClient>> m_tClients;
    uint32_t m_dwTransNo = 0x7000;
};

/* Head fields of a message received by a client. */
inline _VXQ_S_TESTCLI_HEAD LiveHead(const LiveBytes &in_tMsg)
{
    _VXQ_S_TESTCLI_HEAD tHead;
    memset(&tHead, 0, sizeof(tHead));
    VXQ_F_TESTCLI_ParseHead(in_tMsg, &tHead);
    return tHead;
}
inline uint32_t LiveLe32(const LiveBytes &in_tMsg, size_t in_nOffset)
{
    return in_tMsg.size() >= in_nOffset + 4 ? VXQ_F_TESTCLI_GetU32(in_tMsg, in_nOffset) : 0xDEADBEEFu;
}

#endif
