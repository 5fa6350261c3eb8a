/* The talk, alarm and user families end to end: a real service on loopback,
 * the test host answering its events and test clients on real sockets. */
#include "support/test_client.h"
#include "support/test_host.h"
#include "protocol/head.h"

#include <gtest/gtest.h>

#include <string.h>

namespace {

TEST(OpsLive, AlarmReachesEveryLoggedInClientAndAStrangerCannotAddUsers)
{
    _VXQ_S_TESTHOST_DATA tHost;
    VXQ_F_TESTHOST_DefaultCap(&tHost.tCap);
    VXQ_F_TESTHOST_AddUser(&tHost, "admin", "pw", 0xFF, 0);
    ASSERT_EQ(VXQ_F_TESTHOST_Start(&tHost), 1);

    _VXQ_S_TESTCLI_DATA tCli[2], tStranger;
    uint32_t dwLoginId[2];
    for (int i = 0; i < 2; i++) {
        VXQ_F_TESTCLI_Init(&tCli[i]);
        ASSERT_EQ(VXQ_F_TESTCLI_Connect(&tCli[i], tHost.usPort), 1);
        ASSERT_EQ(VXQ_F_TESTCLI_TokenAndLogin(&tCli[i], "admin", "pw", &dwLoginId[i]), 1);
    }
    /* The first client arms; the alarm reaches both. */
    std::vector<uint8_t> tGuard = VXQ_F_TESTCLI_BuildZeroMsg(P5_GUARD, 77, 4), tAnswer, tEvent;
    VXQ_F_TESTCLI_PutU32(tGuard, 20, dwLoginId[0]);
    ASSERT_EQ(VXQ_F_TESTCLI_Request(&tCli[0], tGuard, tAnswer), 1);
    EXPECT_EQ(tAnswer[11], 0);
    ASSERT_EQ(VXQ_F_TESTHOST_WaitEvent(&tHost, 0x0241, tEvent), 1);

    ASSERT_EQ(VXQ_F_DPS_UpAlarmMsg(tHost.pSrv, 2, 9, 5, "motion"), 1);
    for (int i = 0; i < 2; i++) {
        std::vector<uint8_t> tNotice;
        ASSERT_EQ(VXQ_F_TESTCLI_ReadMsg(&tCli[i], tNotice), 1);
        ASSERT_EQ(tNotice.size(), 172u);
        EXPECT_EQ(VXQ_F_TESTCLI_GetU16(tNotice, 8), P5_ALARM_NOTICE);
        EXPECT_STREQ((const char *)tNotice.data() + 44, "motion");
    }

    /* A client that never logged in is refused and the host hears nothing. */
    VXQ_F_TESTCLI_Init(&tStranger);
    ASSERT_EQ(VXQ_F_TESTCLI_Connect(&tStranger, tHost.usPort), 1);
    std::vector<uint8_t> tAdd = VXQ_F_TESTCLI_BuildZeroMsg(P9_UNS_ADD_USER, 5, 332);
    VXQ_F_TESTCLI_PutU32(tAdd, 20, dwLoginId[0]);
    ASSERT_EQ(VXQ_F_TESTCLI_Request(&tStranger, tAdd, tAnswer), 1);
    EXPECT_EQ(tAnswer[11], 6);
    /* A logged-in client's add-user does reach the host: nothing came before it. */
    ASSERT_EQ(VXQ_F_TESTCLI_SendMsg(&tCli[1], tAdd), 1);
    ASSERT_EQ(VXQ_F_TESTHOST_WaitEvent(&tHost, -1, tEvent), 1);
    EXPECT_EQ(VXQ_F_TESTHOST_MsgFuncId(tEvent), 0x0331);
    ASSERT_EQ(VXQ_F_TESTHOST_AnswerEvent(&tHost, tEvent, 0), 1);
    ASSERT_EQ(VXQ_F_TESTCLI_ReadMsg(&tCli[1], tAnswer), 1);
    EXPECT_EQ(tAnswer.size(), 352u);
    EXPECT_EQ(tAnswer[11], 0);

    for (int i = 0; i < 2; i++)
        VXQ_F_TESTCLI_Close(&tCli[i]);
    VXQ_F_TESTCLI_Close(&tStranger);
    VXQ_F_TESTHOST_Stop(&tHost);
}

} // namespace
