/* Threads, mutexes, events, semaphores and wait objects; see vxq_thread.h for the contract. */
#include "vxq_thread.h"

#include <atomic>
#include <new>
#include <errno.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

/* Exit state of a thread whose routine has returned. */
static const int32_t THREAD_EXIT_DONE = 200;
/* Step of the polling wait for a thread's end. */
static const int32_t THREAD_POLL_MS = 10;

struct _VXQ_S_THREAD_DATA {
    pthread_t tThreadId;
    int32_t bStarted;
    VXQ_PF_THREAD_ROUTINE pfRoutine;
    void *pArg;
    /* Written by the ending thread, polled by the joining one. */
    std::atomic<int32_t> iExitState;
};

struct _VXQ_S_THREAD_MUTEX_DATA {
    pthread_mutex_t tMutex;
};

struct _VXQ_S_THREAD_EVENT_DATA {
    pthread_mutex_t tLock;
    pthread_cond_t tCond;
    int32_t iState;
    int32_t bManualReset;
    /* Wait objects that want to hear of this event while they wait; null = free. */
    VXQ_HWAITOBJ pWaitObj[VXQ_THREAD_WAITOBJ_MAX_EVENTS];
    /* Slots at and above this index are all null, so scans stop there (an
     * event is set and polled once per queued item: the scans are hot). */
    int32_t iWaitObjEnd;
};

struct _VXQ_S_THREAD_SEM_DATA {
    pthread_mutex_t tLock;
    pthread_cond_t tCond;
    uint32_t dwCount;
    uint32_t dwMaxCount;
};

struct _VXQ_S_THREAD_WAITOBJ_DATA {
    /* Slots in use, 0 to 64; a deleted event leaves a null slot and does not lower it. */
    int32_t iEventCount;
    pthread_mutex_t tLock;
    pthread_cond_t tCond;
    VXQ_HEVENT pEvent[VXQ_THREAD_WAITOBJ_MAX_EVENTS];
    /* 1 = the event in that slot was set since the current wait began; under tLock. */
    int32_t bFired[VXQ_THREAD_WAITOBJ_MAX_EVENTS];
};

/* ---- time ---- */

/* Absolute monotonic deadline in_iTimeoutMs from now, computed in 64 bits so
 * that every non-negative time-out is exact; 0 or less is already due. */
static struct timespec VXQ_F_THREAD_PR_Deadline(int32_t in_iTimeoutMs)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    int64_t llNs = (int64_t)ts.tv_nsec;
    if (in_iTimeoutMs > 0)
        llNs += (int64_t)in_iTimeoutMs * 1000000;
    ts.tv_sec += (time_t)(llNs / 1000000000);
    ts.tv_nsec = (long)(llNs % 1000000000);
    return ts;
}

/* One wait on in_pCond (held in_pMutex) until woken or in_pDeadline passes.
 * Returns 0 when woken, ETIMEDOUT when the deadline passed. */
static int VXQ_F_THREAD_PR_CondTimeWait(pthread_cond_t *in_pCond, pthread_mutex_t *in_pMutex,
                                        const struct timespec *in_pDeadline)
{
    return pthread_cond_timedwait(in_pCond, in_pMutex, in_pDeadline) == ETIMEDOUT ? ETIMEDOUT : 0;
}

/* A condition variable that measures its time-outs on the monotonic clock. 0 on success. */
static int VXQ_F_THREAD_PR_CondInitMonotonic(pthread_cond_t *out_pCond)
{
    pthread_condattr_t tAttr;
    int iRet = pthread_condattr_init(&tAttr);
    if (iRet != 0)
        return iRet;
    iRet = pthread_condattr_setclock(&tAttr, CLOCK_MONOTONIC);
    if (iRet == 0)
        iRet = pthread_cond_init(out_pCond, &tAttr);
    pthread_condattr_destroy(&tAttr);
    return iRet;
}

/* ---- threads ---- */

static void *VXQ_F_THREAD_ThreadWork(void *in_pRecord)
{
    struct _VXQ_S_THREAD_DATA *pThread = (struct _VXQ_S_THREAD_DATA *)in_pRecord;
    if (pThread->pfRoutine)
        pThread->pfRoutine(pThread->pArg);
    pThread->iExitState.store(THREAD_EXIT_DONE, std::memory_order_release);
    return NULL;
}

extern "C" VXQ_HTHREAD VXQ_F_THREAD_CreateThread(VXQ_PF_THREAD_ROUTINE in_pfRoutine, void *in_pArg)
{
    struct _VXQ_S_THREAD_DATA *pThread = new (std::nothrow) _VXQ_S_THREAD_DATA();
    if (!pThread) {
        printf("VXQ_F_THREAD_CreateThread malloc fail.\n");
        return NULL;
    }
    pThread->pfRoutine = in_pfRoutine;
    pThread->pArg = in_pArg;
    pThread->iExitState.store(0);
    int iRet = pthread_create(&pThread->tThreadId, NULL, VXQ_F_THREAD_ThreadWork, pThread);
    if (iRet != 0) {
        printf("VXQ_F_THREAD_CreateThread pthread_create fail, ret=%d.\n", iRet);
        delete pThread;
        return NULL;
    }
    pThread->bStarted = 1;
    return pThread;
}

extern "C" int VXQ_F_THREAD_WaitExitThread(VXQ_HTHREAD in_hThread, int32_t in_iTimeoutMs)
{
    if (!in_hThread)
        return 0;
    if (in_hThread->bStarted) {
        int32_t iLeftMs = in_iTimeoutMs;
        while (in_hThread->iExitState.load(std::memory_order_acquire) != THREAD_EXIT_DONE && iLeftMs > 0) {
            usleep(THREAD_POLL_MS * 1000);
            iLeftMs -= THREAD_POLL_MS;
        }
        pthread_join(in_hThread->tThreadId, NULL);
    }
    delete in_hThread;
    return 1;
}

extern "C" int VXQ_F_THREAD_IsThreadExited(VXQ_HTHREAD in_hThread)
{
    if (!in_hThread)
        return 0;
    return in_hThread->iExitState.load(std::memory_order_acquire) == THREAD_EXIT_DONE ? 1 : 0;
}

/* ---- mutexes ---- */

extern "C" VXQ_HMUTEX VXQ_F_THREAD_Mutex_Create(void)
{
    struct _VXQ_S_THREAD_MUTEX_DATA *pMutex = (struct _VXQ_S_THREAD_MUTEX_DATA *)calloc(1, sizeof(*pMutex));
    if (!pMutex) {
        printf("VXQ_F_THREAD_Mutex_Create malloc fail.\n");
        return NULL;
    }
    if (pthread_mutex_init(&pMutex->tMutex, NULL) != 0) {
        printf("VXQ_F_THREAD_Mutex_Create pthread_mutex_init fail.\n");
        free(pMutex);
        return NULL;
    }
    return pMutex;
}

extern "C" void VXQ_F_THREAD_Mutex_Destroy(VXQ_HMUTEX in_hMutex)
{
    if (!in_hMutex)
        return;
    pthread_mutex_destroy(&in_hMutex->tMutex);
    free(in_hMutex);
}

extern "C" int VXQ_F_THREAD_Mutex_Lock(VXQ_HMUTEX in_hMutex)
{
    if (!in_hMutex)
        return 0;
    return pthread_mutex_lock(&in_hMutex->tMutex) == 0 ? 1 : 0;
}

extern "C" int VXQ_F_THREAD_Mutex_Unlock(VXQ_HMUTEX in_hMutex)
{
    if (!in_hMutex)
        return 0;
    return pthread_mutex_unlock(&in_hMutex->tMutex) == 0 ? 1 : 0;
}

/* ---- events ---- */

extern "C" VXQ_HEVENT VXQ_F_THREAD_Event_Create(uint32_t in_dwManualReset, uint32_t in_dwInitialState)
{
    struct _VXQ_S_THREAD_EVENT_DATA *pEvent = (struct _VXQ_S_THREAD_EVENT_DATA *)calloc(1, sizeof(*pEvent));
    if (!pEvent) {
        printf("VXQ_F_THREAD_Event_Create malloc fail.\n");
        return NULL;
    }
    if (pthread_mutex_init(&pEvent->tLock, NULL) != 0) {
        printf("VXQ_F_THREAD_Event_Create pthread_mutex_init fail.\n");
        free(pEvent);
        return NULL;
    }
    if (VXQ_F_THREAD_PR_CondInitMonotonic(&pEvent->tCond) != 0) {
        printf("VXQ_F_THREAD_Event_Create pthread_cond_init fail.\n");
        pthread_mutex_destroy(&pEvent->tLock);
        free(pEvent);
        return NULL;
    }
    pEvent->bManualReset = in_dwManualReset ? 1 : 0;
    pEvent->iState = in_dwInitialState ? 1 : 0;
    return pEvent;
}

extern "C" void VXQ_F_THREAD_Event_Destroy(VXQ_HEVENT in_hEvent)
{
    if (!in_hEvent)
        return;
    pthread_cond_destroy(&in_hEvent->tCond);
    pthread_mutex_destroy(&in_hEvent->tLock);
    free(in_hEvent);
}

/* The wait objects are told while the event's lock is held: a wait object
 * clears its registrations under the same lock before its wait returns, so it
 * is never reached after it may have been destroyed. Lock order is always
 * event, then wait object; a wait object never holds its own lock while it
 * takes an event's. */
extern "C" int VXQ_F_THREAD_Event_SetEvent(VXQ_HEVENT in_hEvent)
{
    if (!in_hEvent)
        return 0;
    pthread_mutex_lock(&in_hEvent->tLock);
    in_hEvent->iState = 1;
    pthread_cond_broadcast(&in_hEvent->tCond);
    for (int i = 0; i < in_hEvent->iWaitObjEnd; i++) {
        if (in_hEvent->pWaitObj[i])
            VXQ_F_THREAD_WaitObj_SetEventSig(in_hEvent->pWaitObj[i], in_hEvent);
    }
    pthread_mutex_unlock(&in_hEvent->tLock);
    return 1;
}

extern "C" int VXQ_F_THREAD_Event_ResetEvent(VXQ_HEVENT in_hEvent)
{
    if (!in_hEvent)
        return 0;
    pthread_mutex_lock(&in_hEvent->tLock);
    in_hEvent->iState = 0;
    pthread_mutex_unlock(&in_hEvent->tLock);
    return 1;
}

extern "C" int VXQ_F_THREAD_Event_Wait(VXQ_HEVENT in_hEvent, int32_t in_iTimeoutMs)
{
    if (!in_hEvent)
        return 0;
    struct timespec tDeadline = VXQ_F_THREAD_PR_Deadline(in_iTimeoutMs);
    pthread_mutex_lock(&in_hEvent->tLock);
    while (!in_hEvent->iState) {
        if (VXQ_F_THREAD_PR_CondTimeWait(&in_hEvent->tCond, &in_hEvent->tLock, &tDeadline) == ETIMEDOUT)
            break;
    }
    int iResult = in_hEvent->iState ? 1 : 0;
    if (iResult && !in_hEvent->bManualReset)
        in_hEvent->iState = 0;
    pthread_mutex_unlock(&in_hEvent->tLock);
    return iResult;
}

extern "C" int VXQ_F_THREAD_Event_QuerySetWaitObj(VXQ_HEVENT in_hEvent, VXQ_HWAITOBJ in_hWaitObj)
{
    if (!in_hEvent)
        return 0;
    pthread_mutex_lock(&in_hEvent->tLock);
    int iSet = in_hEvent->iState ? 1 : 0;
    if (!iSet && in_hWaitObj) {
        int iFree = -1;
        int bKnown = 0;
        for (int i = 0; i < in_hEvent->iWaitObjEnd; i++) {
            if (in_hEvent->pWaitObj[i] == in_hWaitObj)
                bKnown = 1;
            else if (!in_hEvent->pWaitObj[i] && iFree < 0)
                iFree = i;
        }
        if (iFree < 0 && in_hEvent->iWaitObjEnd < VXQ_THREAD_WAITOBJ_MAX_EVENTS)
            iFree = in_hEvent->iWaitObjEnd;
        if (!bKnown && iFree >= 0) {
            in_hEvent->pWaitObj[iFree] = in_hWaitObj;
            if (iFree >= in_hEvent->iWaitObjEnd)
                in_hEvent->iWaitObjEnd = iFree + 1;
        }
    }
    pthread_mutex_unlock(&in_hEvent->tLock);
    return iSet;
}

extern "C" int VXQ_F_THREAD_Event_ClearWaitObj(VXQ_HEVENT in_hEvent, VXQ_HWAITOBJ in_hWaitObj)
{
    if (!in_hEvent)
        return 0;
    pthread_mutex_lock(&in_hEvent->tLock);
    for (int i = 0; i < in_hEvent->iWaitObjEnd; i++) {
        if (in_hEvent->pWaitObj[i] == in_hWaitObj)
            in_hEvent->pWaitObj[i] = NULL;
    }
    while (in_hEvent->iWaitObjEnd > 0 && in_hEvent->pWaitObj[in_hEvent->iWaitObjEnd - 1] == NULL)
        in_hEvent->iWaitObjEnd--;
    pthread_mutex_unlock(&in_hEvent->tLock);
    return 1;
}

extern "C" int VXQ_F_THREAD_Event_ClearAllWaitObj(VXQ_HEVENT in_hEvent)
{
    if (!in_hEvent)
        return 0;
    pthread_mutex_lock(&in_hEvent->tLock);
    memset(in_hEvent->pWaitObj, 0, sizeof(in_hEvent->pWaitObj));
    in_hEvent->iWaitObjEnd = 0;
    pthread_mutex_unlock(&in_hEvent->tLock);
    return 1;
}

/* ---- semaphores ---- */

extern "C" VXQ_HSEM VXQ_F_THREAD_Sem_Create(uint32_t in_dwInitialCount, uint32_t in_dwMaxCount)
{
    struct _VXQ_S_THREAD_SEM_DATA *pSem = (struct _VXQ_S_THREAD_SEM_DATA *)calloc(1, sizeof(*pSem));
    if (!pSem) {
        printf("VXQ_F_THREAD_Sem_Create malloc fail.\n");
        return NULL;
    }
    if (pthread_mutex_init(&pSem->tLock, NULL) != 0) {
        printf("VXQ_F_THREAD_Sem_Create pthread_mutex_init fail.\n");
        free(pSem);
        return NULL;
    }
    if (VXQ_F_THREAD_PR_CondInitMonotonic(&pSem->tCond) != 0) {
        printf("VXQ_F_THREAD_Sem_Create pthread_cond_init fail.\n");
        pthread_mutex_destroy(&pSem->tLock);
        free(pSem);
        return NULL;
    }
    pSem->dwMaxCount = in_dwMaxCount;
    pSem->dwCount = in_dwInitialCount < in_dwMaxCount ? in_dwInitialCount : in_dwMaxCount;
    return pSem;
}

extern "C" void VXQ_F_THREAD_Sem_Destroy(VXQ_HSEM in_hSem)
{
    if (!in_hSem)
        return;
    pthread_cond_destroy(&in_hSem->tCond);
    pthread_mutex_destroy(&in_hSem->tLock);
    free(in_hSem);
}

extern "C" int VXQ_F_THREAD_Sem_Release(VXQ_HSEM in_hSem, uint32_t in_dwCount)
{
    if (!in_hSem)
        return 0;
    pthread_mutex_lock(&in_hSem->tLock);
    uint32_t dwRoom = in_hSem->dwMaxCount - in_hSem->dwCount;
    uint32_t dwAdded = in_dwCount < dwRoom ? in_dwCount : dwRoom;
    in_hSem->dwCount += dwAdded;
    /* Every unit added may let one more waiter through. */
    if (dwAdded > 1)
        pthread_cond_broadcast(&in_hSem->tCond);
    else if (dwAdded == 1)
        pthread_cond_signal(&in_hSem->tCond);
    pthread_mutex_unlock(&in_hSem->tLock);
    return 1;
}

/* Waits until a unit is there or the deadline passed; a wake-up that finds
 * the unit already taken by another thread waits on for the time left. */
extern "C" int VXQ_F_THREAD_Sem_Wait(VXQ_HSEM in_hSem, int32_t in_iTimeoutMs)
{
    if (!in_hSem)
        return 0;
    struct timespec tDeadline = VXQ_F_THREAD_PR_Deadline(in_iTimeoutMs);
    pthread_mutex_lock(&in_hSem->tLock);
    while (in_hSem->dwCount == 0) {
        if (VXQ_F_THREAD_PR_CondTimeWait(&in_hSem->tCond, &in_hSem->tLock, &tDeadline) == ETIMEDOUT)
            break;
    }
    int iResult = 0;
    if (in_hSem->dwCount > 0) {
        in_hSem->dwCount--;
        iResult = 1;
    }
    pthread_mutex_unlock(&in_hSem->tLock);
    return iResult;
}

extern "C" uint32_t VXQ_F_THREAD_Sem_GetCount(VXQ_HSEM in_hSem)
{
    if (!in_hSem)
        return 0;
    pthread_mutex_lock(&in_hSem->tLock);
    uint32_t dwCount = in_hSem->dwCount;
    pthread_mutex_unlock(&in_hSem->tLock);
    return dwCount;
}

/* ---- wait objects ---- */

extern "C" VXQ_HWAITOBJ VXQ_F_THREAD_WaitObj_Create(void)
{
    struct _VXQ_S_THREAD_WAITOBJ_DATA *pWait = (struct _VXQ_S_THREAD_WAITOBJ_DATA *)calloc(1, sizeof(*pWait));
    if (!pWait)
        return NULL;
    if (pthread_mutex_init(&pWait->tLock, NULL) != 0) {
        printf("VXQ_F_THREAD_WaitObj_Create pthread_mutex_init fail.\n");
        free(pWait);
        return NULL;
    }
    if (VXQ_F_THREAD_PR_CondInitMonotonic(&pWait->tCond) != 0) {
        printf("VXQ_F_THREAD_WaitObj_Create pthread_cond_init fail.\n");
        pthread_mutex_destroy(&pWait->tLock);
        free(pWait);
        return NULL;
    }
    return pWait;
}

extern "C" void VXQ_F_THREAD_WaitObj_Destroy(VXQ_HWAITOBJ in_hWaitObj)
{
    if (!in_hWaitObj)
        return;
    pthread_cond_destroy(&in_hWaitObj->tCond);
    pthread_mutex_destroy(&in_hWaitObj->tLock);
    free(in_hWaitObj);
}

extern "C" int VXQ_F_THREAD_WaitObj_AddEvent(VXQ_HWAITOBJ in_hWaitObj, VXQ_HEVENT in_hEvent)
{
    if (!in_hWaitObj || in_hWaitObj->iEventCount >= VXQ_THREAD_WAITOBJ_MAX_EVENTS)
        return 0;
    pthread_mutex_lock(&in_hWaitObj->tLock);
    int32_t i = in_hWaitObj->iEventCount;
    in_hWaitObj->pEvent[i] = in_hEvent;
    in_hWaitObj->bFired[i] = 0;
    in_hWaitObj->iEventCount = i + 1;
    pthread_mutex_unlock(&in_hWaitObj->tLock);
    return 1;
}

extern "C" int VXQ_F_THREAD_WaitObj_DelEvent(VXQ_HWAITOBJ in_hWaitObj, VXQ_HEVENT in_hEvent)
{
    if (!in_hWaitObj)
        return 0;
    pthread_mutex_lock(&in_hWaitObj->tLock);
    for (int32_t i = 0; i < in_hWaitObj->iEventCount; i++) {
        if (in_hWaitObj->pEvent[i] == in_hEvent) {
            in_hWaitObj->pEvent[i] = NULL;
            in_hWaitObj->bFired[i] = 0;
        }
    }
    pthread_mutex_unlock(&in_hWaitObj->tLock);
    return 1;
}

extern "C" int VXQ_F_THREAD_WaitObj_ClearAllEvent(VXQ_HWAITOBJ in_hWaitObj)
{
    if (!in_hWaitObj)
        return 0;
    pthread_mutex_lock(&in_hWaitObj->tLock);
    memset(in_hWaitObj->pEvent, 0, sizeof(in_hWaitObj->pEvent));
    memset(in_hWaitObj->bFired, 0, sizeof(in_hWaitObj->bFired));
    in_hWaitObj->iEventCount = 0;
    pthread_mutex_unlock(&in_hWaitObj->tLock);
    return 1;
}

extern "C" int VXQ_F_THREAD_WaitObj_SetEventSig(VXQ_HWAITOBJ in_hWaitObj, VXQ_HEVENT in_hEvent)
{
    if (!in_hWaitObj || !in_hEvent)
        return 0;
    pthread_mutex_lock(&in_hWaitObj->tLock);
    int bMatched = 0;
    for (int32_t i = 0; i < in_hWaitObj->iEventCount; i++) {
        if (in_hWaitObj->pEvent[i] == in_hEvent) {
            in_hWaitObj->bFired[i] = 1;
            bMatched = 1;
        }
    }
    if (bMatched)
        pthread_cond_signal(&in_hWaitObj->tCond);
    pthread_mutex_unlock(&in_hWaitObj->tLock);
    return 1;
}

/* Scans the slots under the wait object's lock: the lowest fired slot (wait
 * any), the slot count once every used slot fired (wait all), else -1. */
static int VXQ_F_THREAD_PR_WaitObj_ScanFired(VXQ_HWAITOBJ in_hWaitObj, int32_t in_iWaitAll)
{
    int bAllFired = 1;
    for (int32_t i = 0; i < in_hWaitObj->iEventCount; i++) {
        if (!in_hWaitObj->pEvent[i])
            continue;
        if (!in_hWaitObj->bFired[i])
            bAllFired = 0;
        else if (!in_iWaitAll)
            return i;
    }
    if (in_iWaitAll && bAllFired)
        return in_hWaitObj->iEventCount;
    return VXQ_THREAD_WAIT_TIMEOUT;
}

/* Drops this wait object's registrations from the events of slots [0, in_iEnd). */
static void VXQ_F_THREAD_PR_WaitObj_Unregister(VXQ_HWAITOBJ in_hWaitObj, int32_t in_iEnd)
{
    for (int32_t i = 0; i < in_iEnd; i++) {
        if (in_hWaitObj->pEvent[i])
            VXQ_F_THREAD_Event_ClearWaitObj(in_hWaitObj->pEvent[i], in_hWaitObj);
    }
}

/* Registration phase, then (if no result yet) the blocking phase. No wake-up is
 * lost: an event set after its registration marks its slot fired under the wait
 * object's lock, which the blocking phase holds from its scan into its wait.
 * An event found set at registration counts as fired for the wait-all rule. */
extern "C" int VXQ_F_THREAD_WaitObj_WaitEvent(VXQ_HWAITOBJ in_hWaitObj, int32_t in_iWaitAll,
                                              int32_t in_iTimeoutMs)
{
    if (!in_hWaitObj)
        return VXQ_THREAD_WAIT_BAD_HANDLE;
    struct timespec tDeadline = VXQ_F_THREAD_PR_Deadline(in_iTimeoutMs);
    int32_t iCount = in_hWaitObj->iEventCount;

    pthread_mutex_lock(&in_hWaitObj->tLock);
    memset(in_hWaitObj->bFired, 0, sizeof(in_hWaitObj->bFired));
    pthread_mutex_unlock(&in_hWaitObj->tLock);

    int bAllSet = 1;
    for (int32_t i = 0; i < iCount; i++) {
        VXQ_HEVENT hEvent = in_hWaitObj->pEvent[i];
        if (!hEvent)
            continue;
        if (VXQ_F_THREAD_Event_QuerySetWaitObj(hEvent, in_hWaitObj)) {
            if (!in_iWaitAll) {
                VXQ_F_THREAD_PR_WaitObj_Unregister(in_hWaitObj, i);
                return i;
            }
            pthread_mutex_lock(&in_hWaitObj->tLock);
            in_hWaitObj->bFired[i] = 1;
            pthread_mutex_unlock(&in_hWaitObj->tLock);
        } else {
            bAllSet = 0;
        }
    }
    if (in_iWaitAll && bAllSet) {
        VXQ_F_THREAD_PR_WaitObj_Unregister(in_hWaitObj, iCount);
        return iCount;
    }

    pthread_mutex_lock(&in_hWaitObj->tLock);
    int iResult = VXQ_F_THREAD_PR_WaitObj_ScanFired(in_hWaitObj, in_iWaitAll);
    while (iResult == VXQ_THREAD_WAIT_TIMEOUT) {
        if (VXQ_F_THREAD_PR_CondTimeWait(&in_hWaitObj->tCond, &in_hWaitObj->tLock, &tDeadline) == ETIMEDOUT) {
            iResult = VXQ_F_THREAD_PR_WaitObj_ScanFired(in_hWaitObj, in_iWaitAll);
            break;
        }
        iResult = VXQ_F_THREAD_PR_WaitObj_ScanFired(in_hWaitObj, in_iWaitAll);
    }
    pthread_mutex_unlock(&in_hWaitObj->tLock);

    VXQ_F_THREAD_PR_WaitObj_Unregister(in_hWaitObj, iCount);
    return iResult;
}
