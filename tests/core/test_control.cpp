/* The control thread's timer duties on the test clock, and the queued work. */
#include "support/offline_rig.h"
#include "support/wait_until.h"
#include "wire/result.h"

#include <thread>

#include "vxq_clock.h"

class CoreControlTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        m_pClock.reset(new TestClock());
        m_h = VXQ_F_TESTHOST_Start(&m_tHost) ? m_tHost.pSrv : nullptr;
        ASSERT_NE(m_h, nullptr);
    }
    void TearDown() override
    {
        VXQ_F_TESTHOST_Stop(&m_tHost);
        m_pClock.reset();
    }
    /* Advances the clock and waits until the 1 s duty has run at the new time. */
    void AdvanceSec(uint32_t in_dwSec)
    {
        m_pClock->AdvanceSec(in_dwSec);
        int32_t tNow = VXQ_F_CLOCK_NowSec();
        ASSERT_TRUE(WaitUntil([&] {
            int32_t tLast = 0;
            VXQ_F_TESTHOST_RunOnControl(m_h, [&](_VXQ_S_DPS_MCSRV_DATA *p) { tLast = p->tLastSecond; });
            return tLast == tNow;
        }));
        /* One more turn of the loop: the duty has finished when the next work runs. */
        VXQ_F_TESTHOST_RunOnControl(m_h, [](_VXQ_S_DPS_MCSRV_DATA *) {});
    }
    std::unique_ptr<TestClock> m_pClock;
    _VXQ_S_TESTHOST_DATA m_tHost;
    VXQ_DPS_HANDLE m_h = nullptr;
};

/* Asks for a token (the connection becomes a command connection) and marks it
 * as joined to a session, which the 30-second login rule then leaves alone. */
static bool Identify(VXQ_DPS_HANDLE in_h, TestClient &inout_tClient)
{
    Bytes tAnswer;
    if (!inout_tClient.Send(TestMsg(0x0101, 1, 89)) || !inout_tClient.ReadMsg(tAnswer) || tAnswer[11] != 0)
        return false;
    VXQ_F_TESTHOST_RunOnControl(in_h, [&](_VXQ_S_DPS_MCSRV_DATA *p) {
        VXQ_F_TESTHOST_ConnOf(p, inout_tClient)->tAdmit.dwJoinedLoginId = 1;
    });
    return true;
}

/* The 1 s duties on one timeline: debug switches back after 10 s, a connection
 * that sent a heartbeat dropped after 60 s of silence (one that never did is
 * left alone), a transaction gone after 120 s (the boundary itself:
 * CoreControlUnitTest). */
TEST_F(CoreControlTest, TimerDutiesRunEachAtItsBoundary)
{
    TestClient tBeating, tNeverBeat;
    ASSERT_TRUE(tBeating.Connect(m_h->usTcpPort));
    ASSERT_TRUE(tNeverBeat.Connect(m_h->usTcpPort));
    ASSERT_TRUE(VXQ_F_TESTHOST_WaitConnCount(m_h, 2));
    ASSERT_TRUE(Identify(m_h, tBeating));
    ASSERT_TRUE(Identify(m_h, tNeverBeat));
    m_pClock->AdvanceSec(30); /* silence before the first heartbeat does not count */
    ASSERT_TRUE(tBeating.Send(TestMsg(0x0001, 3)));
    Bytes tEcho;
    ASSERT_TRUE(tBeating.ReadMsg(tEcho));
    uint32_t dwTransId = 0;
    Bytes tReq = TestMsg(0x0902, 44, 8, 0);
    VXQ_F_TESTHOST_RunOnControl(m_h, [&](_VXQ_S_DPS_MCSRV_DATA *p) {
        _VXQ_S_DPS_TRANS_DATA *pTrans = VXQ_F_DPS_MC_Trans_CreateTransDataOfLinkData(
            p, VXQ_F_TESTHOST_ConnOf(p, tNeverBeat)->dwPortId, 0x0902, tReq.data(), (int32_t)tReq.size());
        dwTransId = pTrans ? pTrans->dwTransId : 0;
        p->bSavedDebugLog = p->bSavedDebugMediaLog = p->bSavedShowRunState = 0;
        p->bDebugLog = p->bDebugMediaLog = 1;
        __atomic_store_n(&p->bShowRunState, 1u, __ATOMIC_RELAXED); /* the callback thread reads it */
        p->tDebugParamTime = VXQ_F_CLOCK_NowSec();
    });
    ASSERT_NE(dwTransId, 0u);
    auto fnState = [&] { /* switches on, transaction there */
        uint32_t dwAll = 0;
        bool bTrans = false;
        VXQ_F_TESTHOST_RunOnControl(m_h, [&](_VXQ_S_DPS_MCSRV_DATA *p) {
            dwAll = p->bDebugLog + p->bDebugMediaLog + p->bShowRunState + (p->tDebugParamTime != 0);
            bTrans = VXQ_F_DPS_MC_Trans_QueryTransDataByTransId(p, dwTransId) != NULL;
        });
        return std::make_pair(dwAll, bTrans);
    };
    AdvanceSec(9);
    EXPECT_EQ(fnState(), std::make_pair(4u, true));
    AdvanceSec(1);
    EXPECT_EQ(fnState(), std::make_pair(0u, true));
    AdvanceSec(49);
    EXPECT_FALSE(tBeating.WaitClosed(0));
    AdvanceSec(1);
    EXPECT_TRUE(tBeating.WaitClosed());
    EXPECT_EQ(VXQ_F_TESTHOST_ConnCount(m_h), 1);
    AdvanceSec(59);
    EXPECT_EQ(fnState(), std::make_pair(0u, true));
    AdvanceSec(1);
    EXPECT_EQ(fnState(), std::make_pair(0u, false));
    AdvanceSec(3600);
    EXPECT_FALSE(tNeverBeat.WaitClosed(0));
}

TEST_F(CoreControlTest, WorkPostedFromAHostThreadRunsOnTheControlThreadInOrder)
{
    std::vector<int> tOrder;
    std::thread::id tControlId;
    for (int i = 0; i < 3; i++)
        ASSERT_TRUE(VXQ_F_TESTHOST_RunOnControl(m_h, [&, i](_VXQ_S_DPS_MCSRV_DATA *) {
            tOrder.push_back(i);
            tControlId = std::this_thread::get_id();
        }));
    EXPECT_EQ(tOrder, (std::vector<int>{0, 1, 2}));
    EXPECT_NE(tControlId, std::this_thread::get_id());
    /* An order that only looks like control work (wrong key) runs nothing. */
    uint8_t ucForged[16 + 80];
    memset(ucForged, 0, sizeof(ucForged));
    int32_t iId = VXQ_DPS_ORDER_CONTROL_WORK, iBody = 80;
    memcpy(ucForged, &iId, 4);
    memcpy(ucForged + 12, &iBody, 4);
    EXPECT_EQ(VXQ_F_DPS_SendDevProData(m_h, ucForged, (int)sizeof(ucForged)), 1);
    EXPECT_TRUE(VXQ_F_TESTHOST_RunOnControl(m_h, [](_VXQ_S_DPS_MCSRV_DATA *) {}));
}

/* Unit level: the timer duties and the callback step on a hand-made instance. */
class CoreControlUnitTest : public InitRig
{
  protected:
    void SetUp() override
    {
        m_pClock.reset(new TestClock(1700000000, 1000));
        InitRig::SetUp();
    }
    void TearDown() override
    {
        InitRig::TearDown();
        m_pClock.reset();
    }
    std::unique_ptr<TestClock> m_pClock;
};

TEST_F(CoreControlUnitTest, LogRecordsWithoutTraceClientsAreDroppedAndAForeignLengthEndsTheDrain)
{
    Bytes tRecord(VXQ_DPS_LOG_RECORD_LEN, 'a'), tOdd(100, 'b');
    for (const Bytes *pItem : {&tRecord, &tRecord, &tOdd, &tRecord})
        ASSERT_EQ(VXQ_F_TOOLS_QUEUE_SetData(m_p->hRecvLogQueue, pItem->data(), (int32_t)pItem->size(), 0), 1);
    VXQ_F_DPS_MC_DoTimer(m_p);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetCount(m_p->hRecvLogQueue), 1);
    /* Less than 100 ms later the duty does not run. */
    ASSERT_EQ(VXQ_F_TOOLS_QUEUE_SetData(m_p->hRecvLogQueue, tRecord.data(), (int32_t)tRecord.size(), 0), 1);
    m_pClock->AdvanceMs(99);
    VXQ_F_DPS_MC_DoTimer(m_p);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetCount(m_p->hRecvLogQueue), 2);
    m_pClock->AdvanceMs(1);
    VXQ_F_DPS_MC_DoTimer(m_p);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetCount(m_p->hRecvLogQueue), 0);
}

TEST_F(CoreControlUnitTest, TransactionExpiryIsCountedFromItsCreationSecond)
{
    _VXQ_S_DPS_TRANS_DATA *pOld = VXQ_F_DPS_MC_Trans_CreateTransData(m_p);
    ASSERT_NE(pOld, nullptr);
    uint32_t dwOld = pOld->dwTransId;
    m_pClock->AdvanceSec(60);
    _VXQ_S_DPS_TRANS_DATA *pNew = VXQ_F_DPS_MC_Trans_CreateTransData(m_p);
    uint32_t dwNew = pNew->dwTransId;
    m_pClock->AdvanceSec(59);
    VXQ_F_DPS_MC_DoTransState(m_p);
    EXPECT_NE(VXQ_F_DPS_MC_Trans_QueryTransDataByTransId(m_p, dwOld), nullptr);
    m_pClock->AdvanceSec(1);
    VXQ_F_DPS_MC_DoTransState(m_p);
    EXPECT_EQ(VXQ_F_DPS_MC_Trans_QueryTransDataByTransId(m_p, dwOld), nullptr);
    EXPECT_NE(VXQ_F_DPS_MC_Trans_QueryTransDataByTransId(m_p, dwNew), nullptr);
}
