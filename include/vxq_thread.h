/*
 * vxq_thread.h - threads, mutexes, events, semaphores and wait objects.
 *
 * Owns small heap records over POSIX threads, handed out as opaque handles.
 * Each Create has a matching Destroy (WaitExitThread for a thread) that frees
 * the record; every function accepts a null handle and then does nothing or
 * returns its failure value. Creation failures are printed on the standard
 * output (the log may not exist yet).
 *
 * Any thread may set, reset or wait on events and semaphores. A wait object
 * is waited on by one thread at a time, and that thread alone adds and deletes
 * its events, between waits. Timed waits run on the monotonic clock: a time of
 * day that jumps does not lengthen or shorten them. A time-out of 0 or less
 * tests once and never blocks; there is no endless wait.
 *
 * Invariant: outside a call of VXQ_F_THREAD_WaitObj_WaitEvent no event holds a
 * registration of a wait object, so a wait object may be destroyed while its
 * events live on. An event must be deleted from every wait object (or the wait
 * object destroyed) before the event itself is destroyed.
 */
#ifndef VXQ_THREAD_H
#define VXQ_THREAD_H

#include "vxq_base.h"

VXQ_EXTERN_C_BEGIN

typedef struct _VXQ_S_THREAD_DATA *VXQ_HTHREAD;
typedef struct _VXQ_S_THREAD_MUTEX_DATA *VXQ_HMUTEX;
typedef struct _VXQ_S_THREAD_EVENT_DATA *VXQ_HEVENT;
typedef struct _VXQ_S_THREAD_SEM_DATA *VXQ_HSEM;
typedef struct _VXQ_S_THREAD_WAITOBJ_DATA *VXQ_HWAITOBJ;

/* The routine a thread runs; it returns when its own quit flag tells it to. */
typedef void (*VXQ_PF_THREAD_ROUTINE)(void *in_pArg);

/* Most events one wait object watches, and most wait objects one event reports to. */
#define VXQ_THREAD_WAITOBJ_MAX_EVENTS 64
/* Result of VXQ_F_THREAD_WaitObj_WaitEvent when the time passed with no result. */
#define VXQ_THREAD_WAIT_TIMEOUT (-1)
/* Result of VXQ_F_THREAD_WaitObj_WaitEvent for a null handle. */
#define VXQ_THREAD_WAIT_BAD_HANDLE (-2)

/* ---- threads ---- */

/* Starts a thread that runs in_pfRoutine(in_pArg) (a null routine only ends).
 * Returns the handle, which VXQ_F_THREAD_WaitExitThread frees, or null. */
VXQ_API VXQ_HTHREAD VXQ_F_THREAD_CreateThread(VXQ_PF_THREAD_ROUTINE in_pfRoutine, void *in_pArg);

/* Polls up to in_iTimeoutMs (10 ms steps) for the routine to return, then joins
 * the thread - the join has no time-out, so this returns only after the thread
 * ended - and frees the handle. The caller makes the routine return (its quit
 * flag) before or during this call; never call it from the thread itself.
 * Returns 1, or 0 for a null handle. */
VXQ_API int VXQ_F_THREAD_WaitExitThread(VXQ_HTHREAD in_hThread, int32_t in_iTimeoutMs);

/* 1 once the thread's routine has returned (the thread may still be ending), else 0. */
VXQ_API int VXQ_F_THREAD_IsThreadExited(VXQ_HTHREAD in_hThread);

/* ---- mutexes (default attributes: a thread that locks twice blocks) ---- */

/* Returns the handle or null. */
VXQ_API VXQ_HMUTEX VXQ_F_THREAD_Mutex_Create(void);
VXQ_API void VXQ_F_THREAD_Mutex_Destroy(VXQ_HMUTEX in_hMutex);
/* 1 when locked / unlocked, 0 for a null handle. */
VXQ_API int VXQ_F_THREAD_Mutex_Lock(VXQ_HMUTEX in_hMutex);
VXQ_API int VXQ_F_THREAD_Mutex_Unlock(VXQ_HMUTEX in_hMutex);

/* ---- events ---- */

/* An event with manual reset (in_dwManualReset nonzero) or automatic reset
 * (it clears itself when VXQ_F_THREAD_Event_Wait takes it), initially set when
 * in_dwInitialState is nonzero. Returns the handle or null. */
VXQ_API VXQ_HEVENT VXQ_F_THREAD_Event_Create(uint32_t in_dwManualReset, uint32_t in_dwInitialState);
VXQ_API void VXQ_F_THREAD_Event_Destroy(VXQ_HEVENT in_hEvent);

/* Sets the event, wakes its waiters and tells every wait object registered on it. 1, or 0 for null. */
VXQ_API int VXQ_F_THREAD_Event_SetEvent(VXQ_HEVENT in_hEvent);

/* Clears the event. 1, or 0 for null. */
VXQ_API int VXQ_F_THREAD_Event_ResetEvent(VXQ_HEVENT in_hEvent);

/* 1 if the event is or becomes set within in_iTimeoutMs (an automatic-reset
 * event is then cleared), 0 otherwise. */
VXQ_API int VXQ_F_THREAD_Event_Wait(VXQ_HEVENT in_hEvent, int32_t in_iTimeoutMs);

/* 1 if the event is set now (nothing registered, state unchanged); else
 * registers in_hWaitObj on the event (once, if a slot is free) and returns 0. */
VXQ_API int VXQ_F_THREAD_Event_QuerySetWaitObj(VXQ_HEVENT in_hEvent, VXQ_HWAITOBJ in_hWaitObj);

/* Removes every registration of in_hWaitObj / of all wait objects. 1, or 0 for null. */
VXQ_API int VXQ_F_THREAD_Event_ClearWaitObj(VXQ_HEVENT in_hEvent, VXQ_HWAITOBJ in_hWaitObj);
VXQ_API int VXQ_F_THREAD_Event_ClearAllWaitObj(VXQ_HEVENT in_hEvent);

/* ---- semaphores ---- */

/* A counting semaphore starting at in_dwInitialCount (at most in_dwMaxCount)
 * whose count never exceeds in_dwMaxCount. Returns the handle or null. */
VXQ_API VXQ_HSEM VXQ_F_THREAD_Sem_Create(uint32_t in_dwInitialCount, uint32_t in_dwMaxCount);
VXQ_API void VXQ_F_THREAD_Sem_Destroy(VXQ_HSEM in_hSem);

/* Adds in_dwCount units, the count capped at the maximum. 1, or 0 for null. */
VXQ_API int VXQ_F_THREAD_Sem_Release(VXQ_HSEM in_hSem, uint32_t in_dwCount);

/* Takes one unit, waiting up to in_iTimeoutMs for one. 1 if taken, else 0. */
VXQ_API int VXQ_F_THREAD_Sem_Wait(VXQ_HSEM in_hSem, int32_t in_iTimeoutMs);

/* The units available now (0 for null). */
VXQ_API uint32_t VXQ_F_THREAD_Sem_GetCount(VXQ_HSEM in_hSem);

/* ---- wait objects ---- */

/* Returns the handle or null. */
VXQ_API VXQ_HWAITOBJ VXQ_F_THREAD_WaitObj_Create(void);
VXQ_API void VXQ_F_THREAD_WaitObj_Destroy(VXQ_HWAITOBJ in_hWaitObj);

/* Puts in_hEvent in the next slot; its index is the number of events added
 * before it. 0 when 64 slots are used (deleted ones count) or for null. */
VXQ_API int VXQ_F_THREAD_WaitObj_AddEvent(VXQ_HWAITOBJ in_hWaitObj, VXQ_HEVENT in_hEvent);

/* Empties every slot holding in_hEvent; the other events keep their indexes. 1, or 0 for null. */
VXQ_API int VXQ_F_THREAD_WaitObj_DelEvent(VXQ_HWAITOBJ in_hWaitObj, VXQ_HEVENT in_hEvent);

/* Empties all slots; the next event added gets index 0 again. 1, or 0 for null. */
VXQ_API int VXQ_F_THREAD_WaitObj_ClearAllEvent(VXQ_HWAITOBJ in_hWaitObj);

/* Called by VXQ_F_THREAD_Event_SetEvent: marks the slots of in_hEvent fired and
 * wakes the waiter. 1, or 0 for null. */
VXQ_API int VXQ_F_THREAD_WaitObj_SetEventSig(VXQ_HWAITOBJ in_hWaitObj, VXQ_HEVENT in_hEvent);

/* Waits up to in_iTimeoutMs. With in_iWaitAll 0: returns the lowest slot index
 * whose event is set (or was set during the wait). With in_iWaitAll nonzero:
 * returns the number of slots used once every event was set during the wait.
 * VXQ_THREAD_WAIT_TIMEOUT when the time passed, VXQ_THREAD_WAIT_BAD_HANDLE for
 * null. Never resets an event: the caller consumes what the event announced. */
VXQ_API int VXQ_F_THREAD_WaitObj_WaitEvent(VXQ_HWAITOBJ in_hWaitObj, int32_t in_iWaitAll,
                                           int32_t in_iTimeoutMs);

VXQ_EXTERN_C_END

#endif /* VXQ_THREAD_H */
