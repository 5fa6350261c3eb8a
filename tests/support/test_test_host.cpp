/* The test host: a running service, recorded events, answers from inside the callback, control-thread probes. */
#include <gtest/gtest.h>

#include "core/channel.h"
#include "support/test_client.h"
#include "support/test_host.h"
#include "support/wait_until.h"

#include <atomic>
#include <thread>

TEST(TestHost, StartsOnAPortThePeerCanReachAndStopsCleanly)
{
    _VXQ_S_TESTHOST_DATA tHost;
    ASSERT_EQ(VXQ_F_TESTHOST_Start(&tHost, 1), 1);
    ASSERT_NE(tHost.pSrv, nullptr);
    EXPECT_NE(tHost.usPort, 0);
    EXPECT_EQ(tHost.pSrv->ucPwdMode, 1);

    _VXQ_S_TESTCLI_DATA tCli;
    VXQ_F_TESTCLI_Init(&tCli);
    ASSERT_EQ(VXQ_F_TESTCLI_Connect(&tCli, tHost.usPort), 1);
    std::string sToken;
    uint8_t ucResult = 0xFF, ucPwdMode = 0xFF;
    ASSERT_EQ(VXQ_F_TESTCLI_GetToken(&tCli, sToken, &ucResult, &ucPwdMode), 1);
    EXPECT_EQ(ucPwdMode, 1);

    VXQ_F_TESTHOST_Stop(&tHost);
    EXPECT_EQ(tHost.pSrv, nullptr);
    EXPECT_EQ(VXQ_F_TESTCLI_WaitPeerClosed(&tCli, 3000), 1);
    VXQ_F_TESTHOST_Stop(&tHost);
    VXQ_F_TESTCLI_Close(&tCli);
}

TEST(TestHost, UserTableAnswersTheLookupWithPasswordAndRights)
{
    _VXQ_S_TESTHOST_DATA tHost;
    VXQ_F_TESTHOST_AddUser(&tHost, "op", "first", 0x01, 0x08);
    VXQ_F_TESTHOST_AddUser(&tHost, "op", "second", 0x03, 0x10); /* replaces */
    ASSERT_EQ(VXQ_F_TESTHOST_Start(&tHost), 1);
    _VXQ_S_TESTCLI_DATA tCli;
    VXQ_F_TESTCLI_Init(&tCli);
    ASSERT_EQ(VXQ_F_TESTCLI_Connect(&tCli, tHost.usPort), 1);
    uint32_t dwLoginId = 0;
    EXPECT_EQ(VXQ_F_TESTCLI_TokenAndLogin(&tCli, "op", "first", &dwLoginId), 0);
    ASSERT_EQ(VXQ_F_TESTCLI_TokenAndLogin(&tCli, "op", "second", &dwLoginId), 1);

    uint32_t dwPopMask = 0, dwCh5PopMask = 0;
    ASSERT_EQ(VXQ_F_TESTHOST_OnControlThread(&tHost,
                                             [&](_VXQ_S_DPS_MCSRV_DATA *pSrv) {
                                                 _VXQ_S_DPS_NET_PORT_DATA *pConn =
                                                     VXQ_F_DPS_MC_NetPortData_QueryByLoginId(pSrv, dwLoginId);
                                                 if (pConn && pConn->pUserInfo) {
                                                     dwPopMask = pConn->pUserInfo->dwPopMask;
                                                     dwCh5PopMask = pConn->pUserInfo->dwChPopMask[5];
                                                 }
                                             }),
              1);
    EXPECT_EQ(dwPopMask, 0x03u);
    EXPECT_EQ(dwCh5PopMask, 0x10u);
    std::lock_guard<std::mutex> tGuard(tHost.tLock);
    EXPECT_EQ(tHost.iLookupTotal, 2);
}

TEST(TestHost, RecordsEventsAndItsHookMayPostAnOrderFromInsideTheCallback)
{
    _VXQ_S_TESTHOST_DATA tHost;
    std::atomic<int> iPostResult{-1};
    std::atomic<bool> bOnCallbackThread{false};
    std::thread::id tTestThread = std::this_thread::get_id();
    VXQ_F_TESTHOST_SetHook(&tHost, [&](_VXQ_S_TESTHOST_DATA *pHost, const std::vector<uint8_t> &tEvent) {
        bOnCallbackThread = std::this_thread::get_id() != tTestThread;
        iPostResult = VXQ_F_TESTHOST_AnswerEvent(pHost, tEvent, 0);
    });
    ASSERT_EQ(VXQ_F_TESTHOST_Start(&tHost), 1);

    const uint8_t ucBody[6] = {1, 2, 3, 4, 5, 6};
    ASSERT_EQ(VXQ_F_TESTHOST_OnControlThread(&tHost,
                                             [&](_VXQ_S_DPS_MCSRV_DATA *pSrv) {
                                                 VXQ_F_DPS_MC_SentProEventBody(pSrv, 0x0722, 0x00050003u, ucBody,
                                                                               sizeof(ucBody));
                                             }),
              1);
    std::vector<uint8_t> tEvent;
    ASSERT_EQ(VXQ_F_TESTHOST_WaitEvent(&tHost, 0x0722, tEvent), 1);
    EXPECT_EQ(VXQ_F_TESTHOST_MsgFuncId(tEvent), 0x0722);
    EXPECT_EQ(VXQ_F_TESTHOST_TransId(tEvent), 0x00050003u);
    EXPECT_EQ(VXQ_F_TESTHOST_BodyLen(tEvent), 6);
    ASSERT_EQ(tEvent.size(), 22u);
    EXPECT_EQ(tEvent[16 + 5], 6);
    /* The hook ran after the event was recorded; wait for its post. */
    EXPECT_TRUE(WaitUntil([&] { return iPostResult != -1; }, 3000));
    EXPECT_EQ(iPostResult, 1);
    EXPECT_TRUE(bOnCallbackThread);
    /* Taken events are gone; another id times out. */
    EXPECT_EQ(VXQ_F_TESTHOST_WaitEvent(&tHost, 0x0722, tEvent, 50), 0);
}

TEST(TestHost, BuildsOrdersWithTheSixteenByteHostOrderHead)
{
    const uint8_t ucBody[2] = {0xAA, 0xBB};
    std::vector<uint8_t> tOrder = VXQ_F_TESTHOST_BuildOrder(0x0311, 29, 0x12345678u, ucBody, 2);
    ASSERT_EQ(tOrder.size(), 18u);
    EXPECT_EQ(VXQ_F_TESTHOST_MsgFuncId(tOrder), 0x0311);
    EXPECT_EQ(tOrder[4], 0);
    EXPECT_EQ(tOrder[5], 29);
    EXPECT_EQ(tOrder[6], 0);
    EXPECT_EQ(tOrder[7], 0);
    EXPECT_EQ(VXQ_F_TESTHOST_TransId(tOrder), 0x12345678u);
    EXPECT_EQ(VXQ_F_TESTHOST_BodyLen(tOrder), 2);
    EXPECT_EQ(tOrder[17], 0xBB);
}
