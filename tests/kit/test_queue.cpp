#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string.h>
#include <thread>
#include <vector>

#include "kit/kitalloc.h"
#include "kit/queue.h"
#include "support/wait_until.h"
#include "vxq_queue.h"

namespace
{

/* A queue freed at the end of the test. */
struct Queue {
    VXQ_HQUEUE h = NULL;
    explicit Queue(int32_t in_iCapacity)
    {
        EXPECT_EQ(VXQ_F_TOOLS_QUEUE_InitQueue(&h, in_iCapacity), 1);
    }
    ~Queue()
    {
        VXQ_F_TOOLS_QUEUE_FreeQueue(&h);
    }
    int Put(int32_t in_iValue, int32_t in_iTimeoutMs = 0)
    {
        return VXQ_F_TOOLS_QUEUE_SetData(h, &in_iValue, (int32_t)sizeof(in_iValue), in_iTimeoutMs);
    }
    /* The next int32 value, or -1 when none came. */
    int32_t Take(int32_t in_iTimeoutMs = 0)
    {
        int32_t iValue = 0, iLen = (int32_t)sizeof(iValue);
        return VXQ_F_TOOLS_QUEUE_GetData(h, &iValue, &iLen, in_iTimeoutMs) ? iValue : -1;
    }
};

/* 1 if the event is set now. */
int IsSet(VXQ_HEVENT in_hEvent)
{
    return VXQ_F_THREAD_Event_QuerySetWaitObj(in_hEvent, NULL);
}

int64_t ElapsedMs(std::chrono::steady_clock::time_point in_tStart)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - in_tStart)
        .count();
}

struct AllocFailure {
    explicit AllocFailure(int32_t in_iGood = 0)
    {
        VXQ_F_KIT_PR_FailAllocAfter(in_iGood);
    }
    ~AllocFailure()
    {
        VXQ_F_KIT_PR_ClearAllocFailure();
    }
};

} // namespace

TEST(Queue, FullAndEmptyQueuesWaitTheirTimeOutAndWakeABlockedProducerOrConsumer)
{
    Queue q(2);
    auto tStart = std::chrono::steady_clock::now();
    EXPECT_EQ(q.Take(0), -1);
    EXPECT_EQ(q.Take(30), -1);
    EXPECT_GE(ElapsedMs(tStart), 30);
    std::atomic<int32_t> iGot{-2};
    std::thread tConsumer([&] { iGot = q.Take(5000); });
    EXPECT_FALSE(WaitUntil([&] { return iGot != -2; }, 30));
    EXPECT_EQ(q.Put(77), 1);
    tConsumer.join();
    EXPECT_EQ(iGot, 77);

    EXPECT_EQ(q.Put(1), 1);
    EXPECT_EQ(q.Put(2), 1);
    tStart = std::chrono::steady_clock::now();
    EXPECT_EQ(q.Put(3, 0), 0);
    /* Only a gross bound: a loaded machine may stall any thread for tens of ms. */
    EXPECT_LT(ElapsedMs(tStart), 1000);
    tStart = std::chrono::steady_clock::now();
    EXPECT_EQ(q.Put(3, 30), 0);
    EXPECT_GE(ElapsedMs(tStart), 30);
    std::atomic<int> iPut{-1};
    std::thread tProducer([&] { iPut = q.Put(4, 5000); });
    EXPECT_FALSE(WaitUntil([&] { return iPut != -1; }, 30));
    EXPECT_EQ(q.Take(), 1);
    tProducer.join();
    EXPECT_EQ(iPut, 1);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetCount(q.h), 2);
    EXPECT_EQ(q.Take(), 2);
    EXPECT_EQ(q.Take(), 4);
}

TEST(Queue, ItemLargerThanTheBufferIsDiscardedAndItsPlaceFreed)
{
    Queue q(2);
    char sBig[20], sSmall[5], sOut[10];
    memset(sBig, 'B', sizeof(sBig));
    memset(sSmall, 's', sizeof(sSmall));
    ASSERT_EQ(VXQ_F_TOOLS_QUEUE_SetData(q.h, sBig, 20, 0), 1);
    ASSERT_EQ(VXQ_F_TOOLS_QUEUE_SetData(q.h, sSmall, 5, 0), 1);
    int32_t iLen = 10;
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetData(q.h, sOut, &iLen, 0), 0);
    EXPECT_EQ(iLen, 20); /* the caller learns how large it was */
    iLen = 10;
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetData(q.h, sOut, &iLen, 0), 1);
    EXPECT_EQ(iLen, 5);
    EXPECT_EQ(memcmp(sOut, sSmall, 5), 0);
    /* Both places are free again. */
    EXPECT_EQ(q.Put(1), 1);
    EXPECT_EQ(q.Put(2), 1);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetCount(q.h), 2);
}

TEST(Queue, MaximumStoreCountDropsTheOldestAndNeverBlocksProducers)
{
    Queue q(100);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_SetMaxStoreDataNum(q.h, 3), 1);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_SetMaxStoreDataNum(q.h, -1), 0); /* ignored */
    for (int32_t i = 1; i <= 4; i++)
        EXPECT_EQ(q.Put(i), 1);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetCount(q.h), 3);
    EXPECT_EQ(q.Take(), 2);
    EXPECT_EQ(q.Take(), 3);
    EXPECT_EQ(q.Take(), 4);
    EXPECT_EQ(q.Take(), -1);

    /* Maximum below the capacity: the newest 2 of 1000 stay, no producer waits. */
    Queue small(3);
    VXQ_F_TOOLS_QUEUE_SetMaxStoreDataNum(small.h, 2);
    for (int32_t i = 1; i <= 1000; i++)
        ASSERT_EQ(small.Put(i, 0), 1) << i;
    EXPECT_EQ(small.Take(), 999);
    EXPECT_EQ(small.Take(), 1000);
    EXPECT_EQ(small.Take(), -1);
    /* 0 lifts the limit again. */
    VXQ_F_TOOLS_QUEUE_SetMaxStoreDataNum(small.h, 0);
    for (int32_t i = 1; i <= 3; i++)
        EXPECT_EQ(small.Put(i, 0), 1);
    EXPECT_EQ(small.Put(4, 0), 0);
}

TEST(Queue, ReadEventIsSetByInsertionAndResetExactlyWhenTheQueueEmpties)
{
    Queue q(3);
    VXQ_HEVENT hRead = VXQ_F_TOOLS_QUEUE_GetReadEventHandle(q.h);
    VXQ_HEVENT hWrite = VXQ_F_TOOLS_QUEUE_GetWriteEventHandle(q.h);
    char sBig[8] = "1234567";
    int32_t iLen = 2;
    /* Each step must succeed; then the read and write events are as given. */
    auto Step = [&](const char *in_sStep, int in_iResult, int in_bRead, int in_bWrite) {
        EXPECT_EQ(in_iResult, 1) << in_sStep;
        EXPECT_EQ(IsSet(hRead), in_bRead) << in_sStep;
        EXPECT_EQ(IsSet(hWrite), in_bWrite) << in_sStep;
    };
    Step("created", 1, 0, 0);
    Step("put 1", q.Put(1), 1, 0);
    Step("put 2", q.Put(2), 1, 0);
    Step("put 3 fills", q.Put(3), 1, 0);
    Step("take 1", q.Take() == 1, 1, 1);
    Step("move 2", VXQ_F_TOOLS_QUEUE_MoveData(q.h), 1, 1);
    Step("take 3 empties", q.Take() == 3, 0, 1);
    Step("move on empty", VXQ_F_TOOLS_QUEUE_MoveData(q.h) == 0, 0, 1);
    Step("put big", VXQ_F_TOOLS_QUEUE_SetData(q.h, sBig, 8, 0), 1, 1);
    Step("discard big empties", VXQ_F_TOOLS_QUEUE_GetData(q.h, sBig, &iLen, 0) == 0, 0, 1);
    /* Filling resets the write event. */
    q.Put(1);
    q.Put(2);
    EXPECT_EQ(IsSet(hWrite), 1);
    q.Put(3);
    EXPECT_EQ(IsSet(hWrite), 0);
}

TEST(Queue, GetDataExAllocatesLengthPlusTenAndReusesTheBuffer)
{
    Queue q(4);
    char sData[150];
    for (int i = 0; i < 150; i++)
        sData[i] = (char)i;
    /* Item (from, length), then the buffer size after taking it: grown only when too small. */
    const struct {
        int iFrom, iLen, iBufSize;
    } tRows[] = {{0, 100, 100}, {1, 50, 100}, {0, 150, 150}};
    for (const auto &r : tRows)
        VXQ_F_TOOLS_QUEUE_SetData(q.h, sData + r.iFrom, r.iLen, 0);
    char *pBuf = NULL, *pPrev = NULL;
    int32_t iLen = 0, iBufSize = 0;
    for (const auto &r : tRows) {
        ASSERT_EQ(VXQ_F_TOOLS_QUEUE_GetDataEx(q.h, &pBuf, &iLen, &iBufSize, 0), 1);
        EXPECT_EQ(iLen, r.iLen);
        EXPECT_EQ(iBufSize, r.iBufSize);
        EXPECT_EQ(memcmp(pBuf, sData + r.iFrom, (size_t)r.iLen), 0);
        if (r.iBufSize == 100 && pPrev != NULL) {
            EXPECT_EQ(pBuf, pPrev);
        }
        memset(pBuf, 0, (size_t)iBufSize + 10); /* length plus ten is ours (the address checker watches) */
        pPrev = pBuf;
    }
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetDataEx(q.h, &pBuf, &iLen, &iBufSize, 0), 0);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_FreeMemory(&pBuf), 1);
    EXPECT_EQ(pBuf, nullptr);
}

TEST(Queue, TotalLengthIsTheSumOfTheStoredBlocksThroughEveryWayInAndOut)
{
    /* The total is kept as a running sum: every way a block enters or leaves
     * must keep it equal to the sum over what is stored. A counted block adds
     * the bytes it stands for instead of its own length. */
    Queue q(10);
    const char sData[16] = "abcdefghijklmno";
    char aBuf[16];
    char *pEx = NULL;
    int32_t iLen = 0, iExSize = 0;
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_QueryQueueDataTotalLen(q.h), 0);
    VXQ_F_TOOLS_QUEUE_SetData(q.h, sData, 3, 0);
    VXQ_F_TOOLS_QUEUE_SetData(q.h, sData, 5, 0);
    VXQ_F_TOOLS_QUEUE_SetData(q.h, sData, 7, 0);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_QueryQueueDataTotalLen(q.h), 15);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_SetDataCounted(q.h, sData, 4, 1000, 0), 1);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_QueryQueueDataTotalLen(q.h), 1015);
    {
        AllocFailure tFail; /* a block that could not be stored counts nothing */
        EXPECT_EQ(VXQ_F_TOOLS_QUEUE_SetData(q.h, sData, 9, 0), 0);
    }
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_QueryQueueDataTotalLen(q.h), 1015);
    VXQ_F_TOOLS_QUEUE_MoveData(q.h); /* the 3 */
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_QueryQueueDataTotalLen(q.h), 1012);
    iLen = 4; /* too small for the 5: discarded */
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetData(q.h, aBuf, &iLen, 0), 0);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_QueryQueueDataTotalLen(q.h), 1007);
    iLen = (int32_t)sizeof(aBuf);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetData(q.h, aBuf, &iLen, 0), 1); /* the 7 */
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_QueryQueueDataTotalLen(q.h), 1000);
    VXQ_F_TOOLS_QUEUE_SetMaxStoreDataNum(q.h, 1); /* the next insertion drops the counted block */
    VXQ_F_TOOLS_QUEUE_SetData(q.h, sData, 11, 0);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_QueryQueueDataTotalLen(q.h), 11);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetDataEx(q.h, &pEx, &iLen, &iExSize, 0), 1);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_QueryQueueDataTotalLen(q.h), 0);
    VXQ_F_TOOLS_QUEUE_FreeMemory(&pEx);
    /* An empty block is stored and delivered as length 0. */
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_SetData(q.h, NULL, 0, 0), 1);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetCount(q.h), 1);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_QueryQueueDataTotalLen(q.h), 0);
}

TEST(Queue, FailedItemAllocationLeavesTheQueueAndItsCapacityAsTheyWere)
{
    Queue q(2);
    VXQ_HEVENT hRead = VXQ_F_TOOLS_QUEUE_GetReadEventHandle(q.h);
    {
        AllocFailure fail;
        EXPECT_EQ(q.Put(1), 0);
    }
    /* Nothing announced on the read side, and the write place came back. */
    EXPECT_EQ(IsSet(hRead), 0);
    EXPECT_EQ(q.Take(0), -1);
    for (int round = 0; round < 3; round++) {
        AllocFailure fail;
        EXPECT_EQ(q.Put(9), 0);
    }
    EXPECT_EQ(q.Put(1), 1);
    EXPECT_EQ(q.Put(2), 1);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetCount(q.h), 2);

    /* At the maximum store count a failed insertion does not drop the oldest. */
    VXQ_F_TOOLS_QUEUE_SetMaxStoreDataNum(q.h, 2);
    {
        AllocFailure fail;
        EXPECT_EQ(q.Put(3), 0);
    }
    EXPECT_EQ(q.Take(), 1);
    EXPECT_EQ(q.Take(), 2);
}

TEST(Queue, FailedGetDataExBufferKeepsTheItemFirstAndTheOldBuffer)
{
    Queue q(2);
    char sData[64];
    memset(sData, 'd', sizeof(sData));
    VXQ_F_TOOLS_QUEUE_SetData(q.h, sData, 8, 0);
    VXQ_F_TOOLS_QUEUE_SetData(q.h, sData, 64, 0);
    char *pBuf = NULL;
    int32_t iLen = 0, iBufSize = 0;
    ASSERT_EQ(VXQ_F_TOOLS_QUEUE_GetDataEx(q.h, &pBuf, &iLen, &iBufSize, 0), 1);
    char *pOld = pBuf;
    {
        AllocFailure fail;
        EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetDataEx(q.h, &pBuf, &iLen, &iBufSize, 0), 0);
    }
    EXPECT_EQ(pBuf, pOld);
    EXPECT_EQ(iBufSize, 8);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetCount(q.h), 1);
    EXPECT_EQ(IsSet(VXQ_F_TOOLS_QUEUE_GetReadEventHandle(q.h)), 1);
    ASSERT_EQ(VXQ_F_TOOLS_QUEUE_GetDataEx(q.h, &pBuf, &iLen, &iBufSize, 0), 1);
    EXPECT_EQ(iLen, 64);
    EXPECT_EQ(memcmp(pBuf, sData, 64), 0);
    VXQ_F_TOOLS_QUEUE_FreeMemory(&pBuf);
}

TEST(Queue, NullHandlesAndBadArgumentsAreRefused)
{
    VXQ_HQUEUE h = (VXQ_HQUEUE)&h; /* overwritten with null on failure */
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_InitQueue(&h, 0), 0);
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_InitQueue(NULL, 5), 0);
    int32_t iLen = 4;
    char *pBuf = NULL;
    int32_t iSize = 0;
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_SetData(NULL, "x", 1, 0), 0);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetData(NULL, &iLen, &iLen, 0), 0);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetDataEx(NULL, &pBuf, &iLen, &iSize, 0), 0);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_MoveData(NULL), 0);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetCount(NULL), 0);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetReadEventHandle(NULL), nullptr);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_SetMaxStoreDataNum(NULL, 1), 0);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_QueryQueueDataTotalLen(NULL), 0);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_FreeQueue(NULL), 0);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_FreeQueue(&h), 0);
    Queue q(2);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_SetData(q.h, NULL, 4, 0), 0);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_SetData(q.h, "x", -1, 0), 0);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetCount(q.h), 0);
    EXPECT_EQ(q.Put(1), 1);
    EXPECT_EQ(q.Put(2), 1); /* the refused calls took no place */
    /* Stored items are freed with the queue (the leak checker watches). */
    VXQ_HQUEUE hLeft = NULL;
    ASSERT_EQ(VXQ_F_TOOLS_QUEUE_InitQueue(&hLeft, 3), 1);
    VXQ_F_TOOLS_QUEUE_SetData(hLeft, "abc", 3, 0);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_FreeQueue(&hLeft), 1);
    EXPECT_EQ(hLeft, nullptr);
}

namespace
{
/* One stress block: producer, sequence and a payload derived from both. */
struct Block {
    int32_t iProducer;
    int32_t iSeq;
    uint8_t ucPayload[40];
};
int32_t BlockLength(int32_t in_iSeq)
{
    return (int32_t)(offsetof(Block, ucPayload) + (size_t)(in_iSeq % 41));
}
void FillBlock(Block *out_pBlock, int32_t in_iProducer, int32_t in_iSeq)
{
    out_pBlock->iProducer = in_iProducer;
    out_pBlock->iSeq = in_iSeq;
    for (int i = 0; i < 40; i++)
        out_pBlock->ucPayload[i] = (uint8_t)(in_iProducer * 31 + in_iSeq + i);
}
bool BlockIsIntact(const Block &in_block, int32_t in_iLength)
{
    if (in_iLength != BlockLength(in_block.iSeq))
        return false;
    for (int i = 0; i < in_iLength - (int)offsetof(Block, ucPayload); i++) {
        if (in_block.ucPayload[i] != (uint8_t)(in_block.iProducer * 31 + in_block.iSeq + i))
            return false;
    }
    return true;
}
} // namespace

TEST(Queue, FourProducersAndAWaitObjectConsumerDeliverEveryBlockOnceInOrder)
{
    const int32_t iProducers = 4, iBlocks = 5000;
    Queue q(64);
    VXQ_HWAITOBJ hWait = VXQ_F_THREAD_WaitObj_Create();
    VXQ_F_THREAD_WaitObj_AddEvent(hWait, VXQ_F_TOOLS_QUEUE_GetReadEventHandle(q.h));
    std::atomic<int> iPutFailures{0};
    std::vector<std::thread> producers;
    for (int32_t p = 0; p < iProducers; p++) {
        producers.emplace_back([&, p] {
            Block block;
            for (int32_t s = 0; s < iBlocks; s++) {
                FillBlock(&block, p, s);
                if (!VXQ_F_TOOLS_QUEUE_SetData(q.h, &block, BlockLength(s), 10000))
                    iPutFailures++;
            }
        });
    }
    /* The control thread's pattern: wait on the read event, then take until empty. */
    std::vector<int32_t> iNext(iProducers, 0);
    int32_t iReceived = 0, iBad = 0;
    while (iReceived < iProducers * iBlocks && iBad == 0) {
        int iIndex = VXQ_F_THREAD_WaitObj_WaitEvent(hWait, 0, 10000);
        if (iIndex != 0) {
            ADD_FAILURE() << "wait returned " << iIndex << " after " << iReceived;
            break;
        }
        Block block;
        int32_t iLen = (int32_t)sizeof(block);
        while (VXQ_F_TOOLS_QUEUE_GetData(q.h, &block, &iLen, 0)) {
            if (block.iProducer < 0 || block.iProducer >= iProducers || !BlockIsIntact(block, iLen) ||
                block.iSeq != iNext[block.iProducer]) {
                iBad++;
                break;
            }
            iNext[block.iProducer]++;
            iReceived++;
            iLen = (int32_t)sizeof(block);
        }
    }
    for (std::thread &t : producers)
        t.join();
    EXPECT_EQ(iPutFailures, 0);
    EXPECT_EQ(iBad, 0);
    EXPECT_EQ(iReceived, iProducers * iBlocks);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetCount(q.h), 0);
    EXPECT_EQ(IsSet(VXQ_F_TOOLS_QUEUE_GetReadEventHandle(q.h)), 0);
    VXQ_F_THREAD_WaitObj_Destroy(hWait);
}

TEST(Queue, ConcurrentConsumersEachTakeEveryBlockExactlyOnce)
{
    const int32_t iProducers = 4, iBlocks = 3000, iConsumers = 3;
    Queue q(16);
    std::vector<std::atomic<int>> iSeen(iProducers * iBlocks);
    std::atomic<int> iTaken{0}, iBad{0};
    std::vector<std::thread> threads;
    for (int32_t p = 0; p < iProducers; p++) {
        threads.emplace_back([&, p] {
            Block block;
            for (int32_t s = 0; s < iBlocks; s++) {
                FillBlock(&block, p, s);
                if (!VXQ_F_TOOLS_QUEUE_SetData(q.h, &block, BlockLength(s), 10000))
                    iBad++;
            }
        });
    }
    for (int32_t c = 0; c < iConsumers; c++) {
        threads.emplace_back([&] {
            /* Each consumer sees every producer's blocks in rising order. */
            std::vector<int32_t> iLast(iProducers, -1);
            char *pBuf = NULL;
            int32_t iLen = 0, iBufSize = 0;
            while (iTaken < iProducers * iBlocks && iBad == 0) {
                if (!VXQ_F_TOOLS_QUEUE_GetDataEx(q.h, &pBuf, &iLen, &iBufSize, 20))
                    continue;
                Block block;
                memcpy(&block, pBuf, (size_t)iLen);
                if (!BlockIsIntact(block, iLen) || block.iSeq <= iLast[block.iProducer]) {
                    iBad++;
                    break;
                }
                iLast[block.iProducer] = block.iSeq;
                iSeen[block.iProducer * iBlocks + block.iSeq]++;
                iTaken++;
            }
            VXQ_F_TOOLS_QUEUE_FreeMemory(&pBuf);
        });
    }
    for (std::thread &t : threads)
        t.join();
    EXPECT_EQ(iBad, 0);
    EXPECT_EQ(iTaken, iProducers * iBlocks);
    int iWrong = 0;
    for (auto &seen : iSeen)
        iWrong += seen != 1;
    EXPECT_EQ(iWrong, 0);
}
