/* The control thread's timer duties on the test clock. */
#include "support/offline_rig.h"
#include "support/wait_until.h"

#include "vxq_clock.h"
#include "wire/head.h"

#include <future>

class CoreControlTest : public HostFixture
{
  protected:
    /* Advances the clock and waits until the 1 s duty has run at the new time. */
    void AdvanceSec(uint32_t in_dwSec)
    {
        m_tClock.AdvanceSec(in_dwSec);
        int32_t tNow = VXQ_F_CLOCK_NowSec();
        ASSERT_TRUE(WaitUntil([&] {
            int32_t tLast = 0;
            VXQ_F_TESTHOST_RunOnControl(m_tHost.pSrv, [&](_VXQ_S_DPS_MCSRV_DATA *p) { tLast = p->tLastSecond; });
            return tLast == tNow;
        }));
        /* One more turn of the loop: the duty has finished when the next work runs. */
        VXQ_F_TESTHOST_RunOnControl(m_tHost.pSrv, [](_VXQ_S_DPS_MCSRV_DATA *) {});
    }
    /* A command connection (token asked) joined to a session, which the
     * 30-second login rule then leaves alone. */
    TestClient &Identified()
    {
        TestClient &tCli = Client(false);
        VXQ_F_TESTHOST_RunOnControl(m_tHost.pSrv, [&](_VXQ_S_DPS_MCSRV_DATA *p) {
            VXQ_F_TESTHOST_ConnOf(p, tCli)->tAdmit.dwJoinedLoginId = 1;
        });
        return tCli;
    }
    TestClock m_tClock; /* made before the service starts */
};

/* The 1 s duties on one timeline: debug switches back after 10 s, a connection
 * that sent a heartbeat dropped after 60 s of silence (one that never did is
 * left alone), a transaction gone 120 s after the second it was made in. */
TEST_F(CoreControlTest, TimerDutiesRunEachAtItsBoundary)
{
    TestClient &tBeating = Identified(), &tNeverBeat = Identified();
    m_tClock.AdvanceSec(30); /* silence before the first heartbeat does not count */
    ASSERT_EQ(Ask(tBeating, TestMsg(0x0001, 3)).size(), 20u);
    uint32_t dwTransId = 0;
    Bytes tReq = TestMsg(0x0902, 44, 8, 0);
    VXQ_F_TESTHOST_RunOnControl(m_tHost.pSrv, [&](_VXQ_S_DPS_MCSRV_DATA *p) {
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
        VXQ_F_TESTHOST_RunOnControl(m_tHost.pSrv, [&](_VXQ_S_DPS_MCSRV_DATA *p) {
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
    EXPECT_EQ(VXQ_F_TESTHOST_ConnCount(m_tHost.pSrv), 1);
    AdvanceSec(59);
    EXPECT_EQ(fnState(), std::make_pair(0u, true));
    AdvanceSec(1);
    EXPECT_EQ(fnState(), std::make_pair(0u, false));
    AdvanceSec(3600);
    EXPECT_FALSE(tNeverBeat.WaitClosed(0));
}

/* A host that takes its time in one event callback holds back only the events
 * behind it: the control thread goes on answering every connection. */
TEST_F(CoreControlTest, ASlowEventCallbackHoldsBackOnlyTheEventsBehindIt)
{
    /* Shared with the hook, which may outlive a failed test body until the stop. */
    struct Gate {
        std::promise<void> tInside, tRelease;
        std::shared_future<void> tReleased{tRelease.get_future().share()};
        std::atomic<bool> bFirst{true};
    };
    auto pGate = std::make_shared<Gate>();
    std::future<void> tInside = pGate->tInside.get_future();
    VXQ_F_TESTHOST_SetHook(&m_tHost, [pGate](_VXQ_S_TESTHOST_DATA *, const Bytes &in_tEvent) {
        if (VXQ_F_TESTHOST_MsgFuncId(in_tEvent) == EVENT_E2_PTZ_CTRL && pGate->bFirst.exchange(false)) {
            pGate->tInside.set_value();
            pGate->tReleased.wait_for(std::chrono::seconds(10));
        }
    });
    TestClient &tHeld = Client(), &tOther = Client();
    for (TestClient *pCli : {&tHeld, &tOther}) {
        Bytes tPtz = Msg(P2_PTZ, 24);
        TestPutLe32(tPtz, 20, pCli->dwLoginId);
        ASSERT_TRUE(pCli->Send(tPtz));
        if (pCli == &tHeld) {
            ASSERT_EQ(tInside.wait_for(std::chrono::seconds(5)), std::future_status::ready);
        }
    }
    for (TestClient *pCli : {&tHeld, &tOther}) {
        Bytes tAnswer = Ask(*pCli, Msg(VXQ_TESTCLI_FN_HEARTBEAT, 0));
        ASSERT_GE(tAnswer.size(), 20u) << "a heartbeat is answered while the callback is held";
        EXPECT_EQ(VXQ_F_TESTCLI_GetU16(tAnswer, 8), VXQ_TESTCLI_FN_HEARTBEAT);
    }
    {
        std::lock_guard<std::mutex> tGuard(m_tHost.tLock);
        EXPECT_EQ(m_tHost.tEvents.size(), 1u) << "the second event waits behind the held callback";
    }
    pGate->tRelease.set_value();
    for (int i = 0; i < 2; i++)
        Answer(Event(EVENT_E2_PTZ_CTRL), 0);
    for (TestClient *pCli : {&tHeld, &tOther}) {
        Bytes tAnswer = Read(*pCli);
        ASSERT_GE(tAnswer.size(), 20u);
        EXPECT_EQ(VXQ_F_TESTCLI_GetU16(tAnswer, 8), P2_PTZ);
    }
    VXQ_F_TESTHOST_SetHook(&m_tHost, nullptr);
}

/* Unit level: the timer duties and the callback step on a hand-made instance. */
class CoreControlUnitTest : public InitRig
{
  protected:
    TestClock m_tClock{1700000000, 1000}; /* made before the rig, gone after it */
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
    m_tClock.AdvanceMs(99);
    VXQ_F_DPS_MC_DoTimer(m_p);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetCount(m_p->hRecvLogQueue), 2);
    m_tClock.AdvanceMs(1);
    VXQ_F_DPS_MC_DoTimer(m_p);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetCount(m_p->hRecvLogQueue), 0);
}
