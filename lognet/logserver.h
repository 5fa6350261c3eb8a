/*
 * logserver.h - the log listen server's state and its steps (library internal).
 *
 * _VXQ_S_LOG_SR_LISTEN_DATA is one TCP log service: listen socket, 100 client
 * slots, the line queue and the send buffer. The service of vxq_logserver.h
 * keeps one of these for the process; tests make their own and drive the steps
 * below by hand instead of through the log thread. Every step takes the state
 * first and is called by one thread at a time (the log thread, or the test).
 *
 * A slot's iSkipLines holds the lines that were already queued when its client
 * was accepted; they are taken from the queue before the client may see any
 * line, which is how a client gets only the lines written after its acceptance.
 * The check period is counted on the kit clock's millisecond tick.
 */
#ifndef VXQ_LOGNET_LOGSERVER_H
#define VXQ_LOGNET_LOGSERVER_H

#include "vxq_logserver.h"
#include "vxq_queue.h"

#include <atomic>

/* A client that closed is found by a receive at most this long after the last check. */
#define VXQ_LOG_SR_CHECK_PERIOD_MS 4000u
/* Time-out of each wait for room while a line goes to one client. */
#define VXQ_LOG_SR_SEND_WAIT_MS 2000

/* One log client slot; bUsed 0 = free (iSocket is then -1). */
typedef struct _VXQ_S_LOG_CLIENT_TCP_CONN_DATA {
    int32_t bUsed;
    int32_t iSocket;
    int32_t iSkipLines; /* queued lines still to pass before this client's first one */
} _VXQ_S_LOG_CLIENT_TCP_CONN_DATA;

/* One TCP log service; zero it and set iListenSocket to -1 before use
 * (VXQ_F_LOG_SR_InitListenData does both). */
typedef struct _VXQ_S_LOG_SR_LISTEN_DATA {
    uint16_t usLogPort;   /* port asked for (0 = the system's choice) */
    uint16_t usBoundPort; /* port actually listened on, 0 while not listening */
    int32_t iListenSocket;
    int32_t bSocketLibInit;
    _VXQ_S_LOG_CLIENT_TCP_CONN_DATA tClient[VXQ_LOG_SR_MAX_CLIENT_NUM];
    std::atomic<int32_t> iClientNum; /* slots in use; read by any thread */
    VXQ_HQUEUE hLineQueue;           /* lines "text\r\n"; owned by the service */
    char *pSendBuf;                  /* reused for every line (queue-provided) */
    int32_t iSendBufSize;
    int32_t iSendLen;
    uint32_t dwLastCheckTick;
} _VXQ_S_LOG_SR_LISTEN_DATA;

/* Empties every slot and field; no socket, no queue. */
void VXQ_F_LOG_SR_InitListenData(_VXQ_S_LOG_SR_LISTEN_DATA *out_pState);

/* Listens on usLogPort of any address (address reuse on, non-blocking, backlog
 * 5) and stores the bound port. 0 on any failure, with nothing left open. */
int VXQ_F_LOG_SR_StartLogListenServer(_VXQ_S_LOG_SR_LISTEN_DATA *inout_pState);

/* Closes the listen socket (the clients stay). */
void VXQ_F_LOG_SR_StopLogListenServer(_VXQ_S_LOG_SR_LISTEN_DATA *inout_pState);

/* Accepts at most one waiting connection into the first free slot; with all
 * slots in use the new socket is closed at once. 1 when a client was added. */
int VXQ_F_LOG_SR_DoNetEvent(_VXQ_S_LOG_SR_LISTEN_DATA *inout_pState, int in_iFlag);

/* Takes one line from the line queue, waiting up to in_iTimeoutMs, and sends it
 * to the clients. 1 when a line was taken. */
int VXQ_F_LOG_SR_DoSendEvent(_VXQ_S_LOG_SR_LISTEN_DATA *inout_pState, int32_t in_iTimeoutMs);

/* One line taken from the queue, to every client in slot order: a client that
 * closed or fails the send is dropped; a client still skipping lines queued
 * before its acceptance only counts the line. Returns 1. */
int VXQ_F_LOG_SR_SendDataToClient(_VXQ_S_LOG_SR_LISTEN_DATA *inout_pState, const char *in_pLine,
                                  int32_t in_iLen);

/* Every VXQ_LOG_SR_CHECK_PERIOD_MS: drops every client whose peer closed or
 * whose socket failed (received bytes are discarded). 1 when the check ran. */
int VXQ_F_LOG_SR_CheckTcpConnect(_VXQ_S_LOG_SR_LISTEN_DATA *inout_pState);

/* Closes and frees every client slot. */
void VXQ_F_LOG_SR_CloseAllTcpConnect(_VXQ_S_LOG_SR_LISTEN_DATA *inout_pState);

/* Clients of the process's log service (0 when stopped); any thread. */
int32_t VXQ_F_LOG_SR_GetLogClientNum(void);

#endif /* VXQ_LOGNET_LOGSERVER_H */
