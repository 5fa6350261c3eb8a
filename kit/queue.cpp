/* The bounded copy-in/copy-out queue; see vxq_queue.h for the contract.
 *
 * Invariant, under the lock: the read semaphore's count plus the read units
 * consumers have taken but not yet used equals the number of stored items, and
 * the write semaphore's count plus the units producers hold equals the free
 * places (capacity - count). Every path that takes a unit and then does not
 * store or remove an item gives the unit back.
 *
 * Failures are printed on the standard output, not logged: the log writer
 * itself hands its lines over through a queue, and a failing insertion must
 * not call back into it. */
#include "vxq_queue.h"
#include "kit/queue.h"

#include "kit/kitalloc.h"

#include <atomic>
#include <new>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Extra bytes of a buffer that GetDataEx allocates, beyond the item's length. */
static const int32_t QUEUE_EX_BUF_SLACK = 10;

/* One stored block; the data follows the record in the same allocation. */
struct _VXQ_S_TOOLS_QUEUE_ITEM {
    struct _VXQ_S_TOOLS_QUEUE_ITEM *pNext;
    int32_t iLength;
    int64_t llCounted; /* what it adds to llTotalLen: iLength, or more for a reference to data */
};

struct _VXQ_S_TOOLS_QUEUE_DATA {
    struct _VXQ_S_TOOLS_QUEUE_ITEM *pHead;
    struct _VXQ_S_TOOLS_QUEUE_ITEM *pTail;
    VXQ_HMUTEX hLock;
    VXQ_HSEM hReadSem;
    VXQ_HSEM hWriteSem;
    VXQ_HEVENT hReadEvent;
    VXQ_HEVENT hWriteEvent;
    int32_t iCapacity;
    int32_t iCount;
    /* 0 = no limit; written without the lock by any thread. */
    std::atomic<int32_t> iMaxStoreNum;
    /* Sum of llCounted over the stored items: changed under the lock with
     * every insertion and removal, read without it, so the byte budget of a
     * producer costs no walk and no lock. */
    std::atomic<int64_t> llTotalLen;
};

static char *VXQ_F_TOOLS_QUEUE_PR_ItemData(struct _VXQ_S_TOOLS_QUEUE_ITEM *in_pItem)
{
    return (char *)(in_pItem + 1);
}

/* Unlinks the head (there is one) and keeps count, write unit and events in
 * step; the caller holds the lock and frees the returned item. */
static struct _VXQ_S_TOOLS_QUEUE_ITEM *VXQ_F_TOOLS_QUEUE_PR_UnlinkHead(VXQ_HQUEUE in_hQueue)
{
    struct _VXQ_S_TOOLS_QUEUE_ITEM *pItem = in_hQueue->pHead;
    in_hQueue->pHead = pItem->pNext;
    if (!in_hQueue->pHead)
        in_hQueue->pTail = NULL;
    in_hQueue->iCount--;
    in_hQueue->llTotalLen.store(in_hQueue->llTotalLen.load(std::memory_order_relaxed) - pItem->llCounted,
                                std::memory_order_relaxed);
    VXQ_F_THREAD_Sem_Release(in_hQueue->hWriteSem, 1);
    VXQ_F_THREAD_Event_SetEvent(in_hQueue->hWriteEvent);
    if (!in_hQueue->pHead) {
        in_hQueue->iCount = 0;
        VXQ_F_THREAD_Event_ResetEvent(in_hQueue->hReadEvent);
    }
    return pItem;
}

/* Discards the oldest item when a read unit can be had without waiting (a unit
 * a consumer already holds stays matched by its item). Lock held. 1 if done. */
static int VXQ_F_TOOLS_QUEUE_Queue_MoveData_NoCrs(VXQ_HQUEUE in_hQueue)
{
    if (!in_hQueue->pHead || !VXQ_F_THREAD_Sem_Wait(in_hQueue->hReadSem, 0))
        return 0;
    free(VXQ_F_TOOLS_QUEUE_PR_UnlinkHead(in_hQueue));
    return 1;
}

/* Inserts a copy counting in_llCounted bytes; the caller holds a write unit,
 * which is given back when the copy cannot be made (nothing is released on
 * the read side then). */
static int VXQ_F_TOOLS_QUEUE_Queue_AddData_Crs(VXQ_HQUEUE in_hQueue, const void *in_pData, int32_t in_iLength,
                                               int64_t in_llCounted)
{
    struct _VXQ_S_TOOLS_QUEUE_ITEM *pItem = (struct _VXQ_S_TOOLS_QUEUE_ITEM *)VXQ_F_KIT_PR_Malloc(
        sizeof(struct _VXQ_S_TOOLS_QUEUE_ITEM) + (size_t)in_iLength);
    if (!pItem) {
        VXQ_F_THREAD_Sem_Release(in_hQueue->hWriteSem, 1);
        printf("VXQ_F_TOOLS_QUEUE_Queue_AddData_Crs malloc fail.\n");
        return 0;
    }
    pItem->pNext = NULL;
    pItem->iLength = in_iLength;
    pItem->llCounted = in_llCounted;
    if (in_iLength > 0)
        memcpy(VXQ_F_TOOLS_QUEUE_PR_ItemData(pItem), in_pData, (size_t)in_iLength);

    VXQ_F_THREAD_Mutex_Lock(in_hQueue->hLock);
    int32_t iMax = in_hQueue->iMaxStoreNum.load(std::memory_order_relaxed);
    if (iMax > 0 && in_hQueue->iCount >= iMax)
        VXQ_F_TOOLS_QUEUE_Queue_MoveData_NoCrs(in_hQueue);
    if (in_hQueue->pTail)
        in_hQueue->pTail->pNext = pItem;
    else
        in_hQueue->pHead = pItem;
    in_hQueue->pTail = pItem;
    in_hQueue->iCount++;
    in_hQueue->llTotalLen.store(in_hQueue->llTotalLen.load(std::memory_order_relaxed) + in_llCounted,
                                std::memory_order_relaxed);
    VXQ_F_THREAD_Sem_Release(in_hQueue->hReadSem, 1);
    VXQ_F_THREAD_Event_SetEvent(in_hQueue->hReadEvent);
    if (in_hQueue->iCount >= in_hQueue->iCapacity)
        VXQ_F_THREAD_Event_ResetEvent(in_hQueue->hWriteEvent);
    VXQ_F_THREAD_Mutex_Unlock(in_hQueue->hLock);
    return 1;
}

static void VXQ_F_TOOLS_QUEUE_PR_FreeParts(struct _VXQ_S_TOOLS_QUEUE_DATA *in_pQueue)
{
    VXQ_F_THREAD_Event_Destroy(in_pQueue->hWriteEvent);
    VXQ_F_THREAD_Event_Destroy(in_pQueue->hReadEvent);
    VXQ_F_THREAD_Sem_Destroy(in_pQueue->hWriteSem);
    VXQ_F_THREAD_Sem_Destroy(in_pQueue->hReadSem);
    VXQ_F_THREAD_Mutex_Destroy(in_pQueue->hLock);
    delete in_pQueue;
}

extern "C" int VXQ_F_TOOLS_QUEUE_InitQueue(VXQ_HQUEUE *out_phQueue, int32_t in_iCapacity)
{
    if (!out_phQueue)
        return 0;
    *out_phQueue = NULL;
    if (in_iCapacity <= 0) {
        printf("VXQ_F_TOOLS_QUEUE_InitQueue capacity %d error.\n", (int)in_iCapacity);
        return 0;
    }
    struct _VXQ_S_TOOLS_QUEUE_DATA *pQueue = new (std::nothrow) _VXQ_S_TOOLS_QUEUE_DATA();
    if (!pQueue) {
        printf("VXQ_F_TOOLS_QUEUE_InitQueue malloc fail.\n");
        return 0;
    }
    pQueue->iCapacity = in_iCapacity;
    pQueue->iMaxStoreNum.store(0);
    pQueue->llTotalLen.store(0);
    pQueue->hLock = VXQ_F_THREAD_Mutex_Create();
    pQueue->hReadSem = VXQ_F_THREAD_Sem_Create(0, (uint32_t)in_iCapacity);
    pQueue->hWriteSem = VXQ_F_THREAD_Sem_Create((uint32_t)in_iCapacity, (uint32_t)in_iCapacity);
    pQueue->hReadEvent = VXQ_F_THREAD_Event_Create(1, 0);
    pQueue->hWriteEvent = VXQ_F_THREAD_Event_Create(1, 0);
    if (!pQueue->hLock || !pQueue->hReadSem || !pQueue->hWriteSem || !pQueue->hReadEvent ||
        !pQueue->hWriteEvent) {
        VXQ_F_TOOLS_QUEUE_PR_FreeParts(pQueue);
        return 0;
    }
    *out_phQueue = pQueue;
    return 1;
}

extern "C" int VXQ_F_TOOLS_QUEUE_FreeQueue(VXQ_HQUEUE *inout_phQueue)
{
    if (!inout_phQueue || !*inout_phQueue)
        return 0;
    struct _VXQ_S_TOOLS_QUEUE_ITEM *pItem = (*inout_phQueue)->pHead;
    while (pItem) {
        struct _VXQ_S_TOOLS_QUEUE_ITEM *pNext = pItem->pNext;
        free(pItem);
        pItem = pNext;
    }
    VXQ_F_TOOLS_QUEUE_PR_FreeParts(*inout_phQueue);
    *inout_phQueue = NULL;
    return 1;
}

extern "C" int VXQ_F_TOOLS_QUEUE_SetData(VXQ_HQUEUE in_hQueue, const void *in_pData, int32_t in_iLength,
                                         int32_t in_iTimeoutMs)
{
    if (!in_hQueue || in_iLength < 0 || (in_iLength > 0 && !in_pData))
        return 0;
    if (!VXQ_F_THREAD_Sem_Wait(in_hQueue->hWriteSem, in_iTimeoutMs))
        return 0;
    return VXQ_F_TOOLS_QUEUE_Queue_AddData_Crs(in_hQueue, in_pData, in_iLength, in_iLength);
}

int VXQ_F_TOOLS_QUEUE_SetDataCounted(VXQ_HQUEUE in_hQueue, const void *in_pData, int32_t in_iLength,
                                     int64_t in_llCounted, int32_t in_iTimeoutMs)
{
    if (!in_hQueue || in_iLength < 0 || (in_iLength > 0 && !in_pData) || in_llCounted < 0)
        return 0;
    if (!VXQ_F_THREAD_Sem_Wait(in_hQueue->hWriteSem, in_iTimeoutMs))
        return 0;
    return VXQ_F_TOOLS_QUEUE_Queue_AddData_Crs(in_hQueue, in_pData, in_iLength, in_llCounted);
}

extern "C" int VXQ_F_TOOLS_QUEUE_GetData(VXQ_HQUEUE in_hQueue, void *out_pBuf, int32_t *inout_piLength,
                                         int32_t in_iTimeoutMs)
{
    if (!in_hQueue || !inout_piLength || (!out_pBuf && *inout_piLength > 0))
        return 0;
    if (!VXQ_F_THREAD_Sem_Wait(in_hQueue->hReadSem, in_iTimeoutMs))
        return 0;
    VXQ_F_THREAD_Mutex_Lock(in_hQueue->hLock);
    struct _VXQ_S_TOOLS_QUEUE_ITEM *pItem =
        in_hQueue->pHead ? VXQ_F_TOOLS_QUEUE_PR_UnlinkHead(in_hQueue) : NULL;
    VXQ_F_THREAD_Mutex_Unlock(in_hQueue->hLock);
    if (!pItem)
        return 0;
    /* An item larger than the caller's buffer is lost; its read unit is used up. */
    int iResult = 0;
    if (pItem->iLength <= *inout_piLength) {
        if (pItem->iLength > 0)
            memcpy(out_pBuf, VXQ_F_TOOLS_QUEUE_PR_ItemData(pItem), (size_t)pItem->iLength);
        iResult = 1;
    }
    *inout_piLength = pItem->iLength;
    free(pItem);
    return iResult;
}

extern "C" int VXQ_F_TOOLS_QUEUE_GetDataEx(VXQ_HQUEUE in_hQueue, char **inout_ppBuf, int32_t *out_piLength,
                                           int32_t *inout_piBufSize, int32_t in_iTimeoutMs)
{
    if (!in_hQueue || !inout_ppBuf || !out_piLength || !inout_piBufSize)
        return 0;
    if (!VXQ_F_THREAD_Sem_Wait(in_hQueue->hReadSem, in_iTimeoutMs))
        return 0;
    VXQ_F_THREAD_Mutex_Lock(in_hQueue->hLock);
    struct _VXQ_S_TOOLS_QUEUE_ITEM *pItem = in_hQueue->pHead;
    if (!pItem) {
        VXQ_F_THREAD_Mutex_Unlock(in_hQueue->hLock);
        return 0;
    }
    if (!*inout_ppBuf || *inout_piBufSize < pItem->iLength) {
        char *pNew = (char *)VXQ_F_KIT_PR_Malloc((size_t)pItem->iLength + QUEUE_EX_BUF_SLACK);
        if (!pNew) {
            /* The item stays first and its read unit goes back. */
            VXQ_F_THREAD_Sem_Release(in_hQueue->hReadSem, 1);
            VXQ_F_THREAD_Mutex_Unlock(in_hQueue->hLock);
            printf("VXQ_F_TOOLS_QUEUE_GetDataEx malloc fail.\n");
            return 0;
        }
        free(*inout_ppBuf);
        *inout_ppBuf = pNew;
        *inout_piBufSize = pItem->iLength;
    }
    VXQ_F_TOOLS_QUEUE_PR_UnlinkHead(in_hQueue);
    VXQ_F_THREAD_Mutex_Unlock(in_hQueue->hLock);
    if (pItem->iLength > 0)
        memcpy(*inout_ppBuf, VXQ_F_TOOLS_QUEUE_PR_ItemData(pItem), (size_t)pItem->iLength);
    *out_piLength = pItem->iLength;
    free(pItem);
    return 1;
}

extern "C" int VXQ_F_TOOLS_QUEUE_FreeMemory(char **inout_ppBuf)
{
    if (!inout_ppBuf)
        return 0;
    free(*inout_ppBuf);
    *inout_ppBuf = NULL;
    return 1;
}

extern "C" int VXQ_F_TOOLS_QUEUE_MoveData(VXQ_HQUEUE in_hQueue)
{
    if (!in_hQueue)
        return 0;
    VXQ_F_THREAD_Mutex_Lock(in_hQueue->hLock);
    int iResult = VXQ_F_TOOLS_QUEUE_Queue_MoveData_NoCrs(in_hQueue);
    VXQ_F_THREAD_Mutex_Unlock(in_hQueue->hLock);
    return iResult;
}

extern "C" int32_t VXQ_F_TOOLS_QUEUE_GetCount(VXQ_HQUEUE in_hQueue)
{
    if (!in_hQueue)
        return 0;
    VXQ_F_THREAD_Mutex_Lock(in_hQueue->hLock);
    int32_t iCount = in_hQueue->iCount;
    VXQ_F_THREAD_Mutex_Unlock(in_hQueue->hLock);
    return iCount;
}

extern "C" VXQ_HEVENT VXQ_F_TOOLS_QUEUE_GetReadEventHandle(VXQ_HQUEUE in_hQueue)
{
    return in_hQueue ? in_hQueue->hReadEvent : NULL;
}

extern "C" VXQ_HEVENT VXQ_F_TOOLS_QUEUE_GetWriteEventHandle(VXQ_HQUEUE in_hQueue)
{
    return in_hQueue ? in_hQueue->hWriteEvent : NULL;
}

extern "C" int VXQ_F_TOOLS_QUEUE_SetMaxStoreDataNum(VXQ_HQUEUE in_hQueue, int32_t in_iMax)
{
    if (!in_hQueue || in_iMax < 0)
        return 0;
    in_hQueue->iMaxStoreNum.store(in_iMax, std::memory_order_relaxed);
    return 1;
}

extern "C" int64_t VXQ_F_TOOLS_QUEUE_QueryQueueDataTotalLen(VXQ_HQUEUE in_hQueue)
{
    if (!in_hQueue)
        return 0;
    return in_hQueue->llTotalLen.load(std::memory_order_relaxed);
}
