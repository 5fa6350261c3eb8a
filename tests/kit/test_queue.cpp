#include <gtest/gtest.h>

#include <atomic>
#include <string.h>
#include <thread>
#include <vector>

#include "kit/kitalloc.h"
#include "kit/queue.h"
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

int IsSet(VXQ_HEVENT in_hEvent)
{
    return VXQ_F_THREAD_Event_QuerySetWaitObj(in_hEvent, NULL);
}

/* Every allocation of the kit fails after in_iGood good ones, for the life of a scope. */
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

TEST(Queue, EachOperationLeavesCountTotalLengthAndBothEventsAsListed)
{
    /* Capacity 3. The total length is the sum of what each stored block counts. */
    enum { PUT, PUT_FAILING, BLOCK, COUNTED, TAKE, TAKE_INTO_4, MOVE, MAX };
    const struct {
        int iOp;
        int32_t iArg;
        int iResult; /* for TAKE: the value taken, -1 for none */
        int32_t iCount;
        int64_t llTotal;
        int bRead, bWrite;
    } tRows[] = {
        /* clang-format off */
        {PUT, 1, 1, 1, 4, 1, 0}, {PUT, 2, 1, 2, 8, 1, 0}, {PUT, 3, 1, 3, 12, 1, 0},
        {PUT, 4, 0, 3, 12, 1, 0},                                  /* full: refused at once */
        {TAKE, 0, 1, 2, 8, 1, 1}, {MOVE, 0, 1, 1, 4, 1, 1},
        {TAKE, 0, 3, 0, 0, 0, 1},                                  /* empties: the read event goes */
        {MOVE, 0, 0, 0, 0, 0, 1}, {TAKE, 0, -1, 0, 0, 0, 1},
        {PUT_FAILING, 9, 0, 0, 0, 0, 1}, {PUT_FAILING, 9, 0, 0, 0, 0, 1}, /* nothing announced, */
        {PUT_FAILING, 9, 0, 0, 0, 0, 1},                                  /* its place comes back */
        {BLOCK, 8, 1, 1, 8, 1, 1}, {TAKE_INTO_4, 0, 0, 0, 0, 0, 1}, /* too large: discarded, place freed */
        {COUNTED, 1000, 1, 1, 1000, 1, 1}, {BLOCK, 0, 1, 2, 1000, 1, 1}, /* an empty block is stored */
        {PUT, 5, 1, 3, 1004, 1, 0}, {TAKE_INTO_4, 0, 1, 2, 4, 1, 1}, {TAKE_INTO_4, 0, 1, 1, 4, 1, 1},
        {MAX, -1, 0, 1, 4, 1, 1}, {MAX, 2, 1, 1, 4, 1, 1}, {PUT, 6, 1, 2, 8, 1, 1},
        {PUT, 7, 1, 2, 8, 1, 1}, {PUT, 8, 1, 2, 8, 1, 1},  /* the oldest goes, no producer waits */
        {PUT_FAILING, 9, 0, 2, 8, 1, 1},                   /* a failed insertion drops nothing */
        {TAKE, 0, 7, 1, 4, 1, 1}, {MOVE, 0, 1, 0, 0, 0, 1}, {COUNTED, 1000, 1, 1, 1000, 1, 1},
        {PUT, 9, 1, 2, 1004, 1, 1}, {PUT, 10, 1, 2, 8, 1, 1}, /* the dropped block counted 1000 */
        {MAX, 0, 1, 2, 8, 1, 1}, {PUT, 1, 1, 3, 12, 1, 0}, {PUT, 2, 0, 3, 12, 1, 0}, /* 0 lifts the limit */
        /* clang-format on */
    };
    Queue q(3);
    VXQ_HEVENT hRead = VXQ_F_TOOLS_QUEUE_GetReadEventHandle(q.h);
    VXQ_HEVENT hWrite = VXQ_F_TOOLS_QUEUE_GetWriteEventHandle(q.h);
    const char sData[16] = "abcdefghijklmno";
    int iRow = 0;
    for (const auto &r : tRows) {
        SCOPED_TRACE(iRow++);
        int iResult = -2;
        int32_t iLen = 4;
        char sBuf[4];
        switch (r.iOp) {
        case PUT:
            iResult = q.Put(r.iArg);
            break;
        case PUT_FAILING: {
            AllocFailure tFail;
            iResult = q.Put(r.iArg);
            break;
        }
        case BLOCK:
            iResult = VXQ_F_TOOLS_QUEUE_SetData(q.h, r.iArg ? sData : NULL, r.iArg, 0);
            break;
        case COUNTED:
            iResult = VXQ_F_TOOLS_QUEUE_SetDataCounted(q.h, sData, 4, r.iArg, 0);
            break;
        case TAKE:
            iResult = q.Take();
            break;
        case TAKE_INTO_4:
            iResult = VXQ_F_TOOLS_QUEUE_GetData(q.h, sBuf, &iLen, 0);
            if (!iResult) {
                EXPECT_EQ(iLen, 8); /* the caller learns how large it was */
            }
            break;
        case MOVE:
            iResult = VXQ_F_TOOLS_QUEUE_MoveData(q.h);
            break;
        case MAX:
            iResult = VXQ_F_TOOLS_QUEUE_SetMaxStoreDataNum(q.h, r.iArg);
            break;
        }
        EXPECT_EQ(iResult, r.iResult);
        EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetCount(q.h), r.iCount);
        EXPECT_EQ(VXQ_F_TOOLS_QUEUE_QueryQueueDataTotalLen(q.h), r.llTotal);
        EXPECT_EQ(IsSet(hRead), r.bRead);
        EXPECT_EQ(IsSet(hWrite), r.bWrite);
    }
}

TEST(Queue, GetDataExAllocatesLengthPlusTenReusesTheBufferAndOnFailureKeepsTheItemFirst)
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
        if (r.iLen == 150) {
            AllocFailure tFail; /* the item stays first, the old buffer stays */
            EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetDataEx(q.h, &pBuf, &iLen, &iBufSize, 0), 0);
            EXPECT_EQ(pBuf, pPrev);
            EXPECT_EQ(iBufSize, 100);
            EXPECT_EQ(IsSet(VXQ_F_TOOLS_QUEUE_GetReadEventHandle(q.h)), 1);
        }
        ASSERT_EQ(VXQ_F_TOOLS_QUEUE_GetDataEx(q.h, &pBuf, &iLen, &iBufSize, 0), 1);
        EXPECT_EQ(iLen, r.iLen);
        EXPECT_EQ(iBufSize, r.iBufSize);
        EXPECT_EQ(memcmp(pBuf, sData + r.iFrom, (size_t)r.iLen), 0);
        if (pPrev != NULL && r.iBufSize == 100) {
            EXPECT_EQ(pBuf, pPrev);
        }
        memset(pBuf, 0, (size_t)iBufSize + 10); /* length plus ten is ours (the address checker watches) */
        pPrev = pBuf;
    }
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_GetDataEx(q.h, &pBuf, &iLen, &iBufSize, 0), 0);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_FreeMemory(&pBuf), 1);
    EXPECT_EQ(pBuf, nullptr);
}

TEST(Queue, NullHandlesAndBadArgumentsAreRefused)
{
    VXQ_HQUEUE h = (VXQ_HQUEUE)&h; /* overwritten with null on failure */
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_InitQueue(&h, 0), 0);
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_SetData(NULL, "x", 1, 0) + VXQ_F_TOOLS_QUEUE_FreeQueue(&h), 0);
    Queue q(2);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_SetData(q.h, NULL, 4, 0), 0);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_SetData(q.h, "x", -1, 0), 0);
    EXPECT_EQ(VXQ_F_TOOLS_QUEUE_SetDataCounted(q.h, "x", 1, -1, 0), 0);
    EXPECT_EQ(q.Put(1) + q.Put(2), 2); /* the refused calls took no place */
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
    int32_t iProducer, iSeq;
    uint8_t ucPayload[40];
};
int32_t BlockLength(int32_t in_iSeq)
{
    return (int32_t)(offsetof(Block, ucPayload) + (size_t)(in_iSeq % 41));
}
bool BlockIsIntact(const Block &in_block, int32_t in_iLength, int32_t in_iProducers)
{
    if (in_block.iProducer < 0 || in_block.iProducer >= in_iProducers ||
        in_iLength != BlockLength(in_block.iSeq))
        return false;
    for (int i = 0; i < in_iLength - (int)offsetof(Block, ucPayload); i++)
        if (in_block.ucPayload[i] != (uint8_t)(in_block.iProducer * 31 + in_block.iSeq + i))
            return false;
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
    for (int32_t p = 0; p < iProducers; p++)
        producers.emplace_back([&, p] {
            Block block;
            block.iProducer = p;
            for (int32_t s = 0; s < iBlocks; s++) {
                block.iSeq = s;
                for (int i = 0; i < 40; i++)
                    block.ucPayload[i] = (uint8_t)(p * 31 + s + i);
                /* capacity 64: producers block on a full queue and must be woken */
                iPutFailures += !VXQ_F_TOOLS_QUEUE_SetData(q.h, &block, BlockLength(s), 10000);
            }
        });
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
            if (!BlockIsIntact(block, iLen, iProducers) || block.iSeq != iNext[block.iProducer]++) {
                iBad++;
                break;
            }
            iReceived++;
            iLen = (int32_t)sizeof(block);
        }
    }
    for (std::thread &t : producers)
        t.join();
    EXPECT_EQ(iPutFailures, 0);
    EXPECT_EQ(iBad, 0);
    EXPECT_EQ(iReceived, iProducers * iBlocks);
    EXPECT_EQ(IsSet(VXQ_F_TOOLS_QUEUE_GetReadEventHandle(q.h)), 0);
    VXQ_F_THREAD_WaitObj_Destroy(hWait);
}
