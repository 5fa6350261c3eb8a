/* Run state query: what the service holds, counted on its control thread. */
#include "support/offline_rig.h"
#include "support/wait_until.h"
#include "wire/result.h"
#include "vxq_netcom.h"


#include "media/subch.h"
#include "vxq_queue.h"

#include <atomic>
#include <thread>

static _VXQ_S_DPS_RUN_STATE QueryState(VXQ_DPS_HANDLE in_h)
{
    _VXQ_S_DPS_RUN_STATE tState;
    memset(&tState, 0xA5, sizeof(tState));
    EXPECT_EQ(VXQ_F_DPS_QueryRunState(in_h, &tState), 1);
    return tState;
}

TEST(CoreRunState, CountsConnectionsTransactionsTalksAndOpenSubChannels)
{
    VXQ_DPS_HANDLE h = VXQ_F_TESTHOST_StartBare();
    ASSERT_NE(h, nullptr);
    _VXQ_S_DPS_RUN_STATE tZero, tState = QueryState(h);
    memset(&tZero, 0, sizeof(tZero));
    EXPECT_EQ(memcmp(&tState, &tZero, sizeof(tZero)), 0) << "every field set, all zero";
    EXPECT_EQ(VXQ_F_DPS_QueryRunState(NULL, &tState), 0);
    EXPECT_EQ(VXQ_F_DPS_QueryRunState(h, NULL), 0);

    TestClient tFirst, tSecond;
    ASSERT_TRUE(tFirst.Connect(h->usTcpPort));
    ASSERT_TRUE(tSecond.Connect(h->usTcpPort));
    ASSERT_TRUE(WaitUntil([&] { return QueryState(h).iTcpConnNum == 2; }));
    ASSERT_TRUE(VXQ_F_TESTHOST_RunOnControl(h, [](_VXQ_S_DPS_MCSRV_DATA *p) {
        for (int i = 0; i < 3; i++)
            VXQ_F_DPS_MC_Trans_CreateTransData(p);
        p->tTalkCh[5].iChState = 3;
        p->pMediaCh[1].tSubCh[0].iStreamOpenState = 2; /* open */
        p->pMediaCh[2].tSubCh[1].iStreamOpenState = 1; /* opening */
        p->pMediaCh[3].tSubCh[2].iStreamOpenState = 7; /* failed: holds nothing */
    }));
    tState = QueryState(h);
    EXPECT_EQ(tState.iTcpConnNum, 2);
    EXPECT_EQ(tState.iTransNum, 3);
    EXPECT_EQ(tState.iTalkChNum, 1);
    EXPECT_EQ(tState.iOpenSubChNum, 2);
    /* Each connection record counts in the bytes the service holds for clients. */
    EXPECT_GT(tState.iNetSendTotalLen, 0);

    ASSERT_TRUE(VXQ_F_TESTHOST_RunOnControl(h, [](_VXQ_S_DPS_MCSRV_DATA *p) {
        VXQ_F_DPS_MC_Trans_ReleaseAllTransData(p);
        p->tTalkCh[5].iChState = 0;
        p->pMediaCh[1].tSubCh[0].iStreamOpenState = 0;
        p->pMediaCh[2].tSubCh[1].iStreamOpenState = 0;
        p->pMediaCh[3].tSubCh[2].iStreamOpenState = 0;
    }));
    VXQ_F_DPS_StopDevProNetServer(h);
}

/* Orders not yet taken count by their bytes: the query runs while an order
 * posted after it still waits behind it. */
TEST(CoreRunState, CountsTheBytesOfOrdersTheControlThreadHasNotTakenYet)
{
    VXQ_DPS_HANDLE h = VXQ_F_TESTHOST_StartBare();
    ASSERT_NE(h, nullptr);
    std::atomic<int> iStep{0};
    std::thread tBlocker([&] {
        VXQ_F_TESTHOST_RunOnControl(h, [&](_VXQ_S_DPS_MCSRV_DATA *) {
            iStep = 1;
            WaitUntil([&] { return iStep.load() == 2; });
        });
    });
    ASSERT_TRUE(WaitUntil([&] { return iStep.load() == 1; }));
    _VXQ_S_DPS_RUN_STATE tState;
    std::thread tQuery([&] { tState = QueryState(h); });
    ASSERT_TRUE(WaitUntil([&] { return VXQ_F_TOOLS_QUEUE_GetCount(h->hOrderQueue) == 1; }));
    const uint8_t ucOrder[40] = {};
    ASSERT_EQ(VXQ_F_DPS_SendDevProData(h, ucOrder, sizeof(ucOrder)), 1);
    iStep = 2;
    tQuery.join();
    tBlocker.join();
    EXPECT_EQ(tState.iOrderQueueLen, 40);
    VXQ_F_DPS_StopDevProNetServer(h);
}
