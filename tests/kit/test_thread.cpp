#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "support/wait_until.h"
#include "vxq_thread.h"

namespace
{
/* Events and a wait object over them, released at the end of the test. */
struct WaitObjFixture {
    VXQ_HWAITOBJ hWait = VXQ_F_THREAD_WaitObj_Create();
    std::vector<VXQ_HEVENT> events;
    explicit WaitObjFixture(int in_iEvents, uint32_t in_dwManual = 1)
    {
        for (int i = 0; i < in_iEvents; i++) {
            events.push_back(VXQ_F_THREAD_Event_Create(in_dwManual, 0));
            VXQ_F_THREAD_WaitObj_AddEvent(hWait, events.back());
        }
    }
    ~WaitObjFixture()
    {
        VXQ_F_THREAD_WaitObj_Destroy(hWait);
        for (VXQ_HEVENT h : events)
            VXQ_F_THREAD_Event_Destroy(h);
    }
    int Wait(int in_bAll = 0, int32_t in_iTimeoutMs = 0)
    {
        return VXQ_F_THREAD_WaitObj_WaitEvent(hWait, in_bAll, in_iTimeoutMs);
    }
};
} // namespace

TEST(Thread, WaitObjectReportsTheLowestSetIndexKeepsIndexesOfDeletedSlotsAndHolds64)
{
    WaitObjFixture f(3);
    VXQ_F_THREAD_Event_SetEvent(f.events[0]);
    VXQ_F_THREAD_Event_SetEvent(f.events[2]);
    EXPECT_EQ(f.Wait(), 0);
    EXPECT_EQ(f.Wait(), 0); /* the wait object never resets */
    VXQ_F_THREAD_Event_ResetEvent(f.events[0]);
    EXPECT_EQ(f.Wait(), 2);
    /* Deleting the second event leaves the third at index 2. */
    VXQ_F_THREAD_Event_ResetEvent(f.events[2]);
    EXPECT_EQ(VXQ_F_THREAD_WaitObj_DelEvent(f.hWait, f.events[1]), 1);
    VXQ_F_THREAD_Event_SetEvent(f.events[1]);
    EXPECT_EQ(f.Wait(0, -5), VXQ_THREAD_WAIT_TIMEOUT);
    VXQ_F_THREAD_Event_SetEvent(f.events[2]);
    EXPECT_EQ(f.Wait(), 2);

    WaitObjFixture f64(64);
    VXQ_HEVENT hExtra = VXQ_F_THREAD_Event_Create(1, 1);
    EXPECT_EQ(VXQ_F_THREAD_WaitObj_AddEvent(f64.hWait, hExtra), 0);
    VXQ_F_THREAD_Event_SetEvent(f64.events[63]);
    EXPECT_EQ(f64.Wait(), 63);
    VXQ_F_THREAD_Event_Destroy(hExtra);

    /* A wait object destroyed while its event lives on leaves no registration behind. */
    VXQ_HEVENT hEvent = VXQ_F_THREAD_Event_Create(1, 0);
    VXQ_HWAITOBJ hWait = VXQ_F_THREAD_WaitObj_Create();
    VXQ_F_THREAD_WaitObj_AddEvent(hWait, hEvent);
    VXQ_F_THREAD_WaitObj_Destroy(hWait);
    EXPECT_EQ(VXQ_F_THREAD_Event_SetEvent(hEvent), 1);
    EXPECT_EQ(VXQ_F_THREAD_Event_QuerySetWaitObj(hEvent, NULL), 1);
    VXQ_F_THREAD_Event_Destroy(hEvent);
}

TEST(Thread, AutomaticResetEventIsTakenOnceManualResetStaysSet)
{
    for (uint32_t dwManual : {0u, 1u}) {
        VXQ_HEVENT h = VXQ_F_THREAD_Event_Create(dwManual, 1);
        EXPECT_EQ(VXQ_F_THREAD_Event_Wait(h, 0), 1) << dwManual;
        EXPECT_EQ(VXQ_F_THREAD_Event_Wait(h, 0), (int)dwManual) << dwManual;
        VXQ_F_THREAD_Event_Destroy(h);
    }
    /* A wait object only looks: an automatic-reset event stays set for Event_Wait. */
    WaitObjFixture f(1, 0);
    VXQ_F_THREAD_Event_SetEvent(f.events[0]);
    EXPECT_EQ(f.Wait(), 0);
    EXPECT_EQ(VXQ_F_THREAD_Event_Wait(f.events[0], 0), 1);
    EXPECT_EQ(f.Wait(), -1);
    EXPECT_EQ(VXQ_F_THREAD_Event_Wait(NULL, 0), 0);
}

TEST(Thread, TimedWaitsLongerThan35MinutesBlockInsteadOfExpiring)
{
    /* Every wait takes its deadline from one helper; the event wait stands for all. */
    for (int32_t iTimeout : {2146483 + 1, INT32_MAX}) {
        VXQ_HEVENT hEvent = VXQ_F_THREAD_Event_Create(1, 0);
        std::atomic<int> iEvent{-100};
        std::thread t1([&] { iEvent = VXQ_F_THREAD_Event_Wait(hEvent, iTimeout); });
        EXPECT_FALSE(WaitUntil([&] { return iEvent != -100; }, 100)) << iTimeout;
        VXQ_F_THREAD_Event_SetEvent(hEvent);
        t1.join();
        EXPECT_EQ(iEvent, 1) << iTimeout;
        VXQ_F_THREAD_Event_Destroy(hEvent);
    }
}

TEST(Thread, SemaphoreCountNeverExceedsItsCeiling)
{
    VXQ_HSEM h = VXQ_F_THREAD_Sem_Create(9, 3); /* starts at the ceiling */
    EXPECT_EQ(VXQ_F_THREAD_Sem_GetCount(h), 3u);
    EXPECT_EQ(VXQ_F_THREAD_Sem_Wait(h, 0), 1);
    EXPECT_EQ(VXQ_F_THREAD_Sem_Release(h, 5), 1);
    EXPECT_EQ(VXQ_F_THREAD_Sem_GetCount(h), 3u);
    EXPECT_EQ(VXQ_F_THREAD_Sem_Release(h, 0xFFFFFFFFu), 1);
    EXPECT_EQ(VXQ_F_THREAD_Sem_GetCount(h), 3u);
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(VXQ_F_THREAD_Sem_Wait(h, 0), 1);
    EXPECT_EQ(VXQ_F_THREAD_Sem_Wait(h, 0), 0);
    VXQ_F_THREAD_Sem_Destroy(h);
}
