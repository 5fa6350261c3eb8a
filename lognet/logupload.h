/*
 * logupload.h - the upload client's record and the steps of its thread
 * (library internal).
 *
 * The thread of a client runs VXQ_F_LOG_UPC_ConnectServer and, while connected,
 * VXQ_F_LOG_UPC_DoLogQueueEvent; it alone touches the socket and the pacing
 * words. Tests make a client without a thread (VXQ_F_LOG_UPC_CreateClient) and
 * call the steps themselves, with the kit clock set by hand. Other threads only
 * put lines into hLogQueue.
 */
#ifndef VXQ_LOGNET_LOGUPLOAD_H
#define VXQ_LOGNET_LOGUPLOAD_H

#include "vxq_logupload.h"
#include "vxq_queue.h"
#include "vxq_thread.h"

#include <atomic>

/* First pause, its step and its cap, in seconds. */
#define VXQ_LOG_UPC_FIRST_PAUSE_SEC 2
#define VXQ_LOG_UPC_PAUSE_STEP_SEC 2
#define VXQ_LOG_UPC_MAX_PAUSE_SEC 10
/* Longest wait for a connection to be set up, and for room while sending. */
#define VXQ_LOG_UPC_CONNECT_WAIT_MS 12000
#define VXQ_LOG_UPC_SEND_WAIT_MS 4000

struct _VXQ_S_LOG_UPCLIENT_WORKDATA {
    std::atomic<int32_t> bThreadRun;
    VXQ_HTHREAD hThread;
    int32_t iSocket; /* below 0: not connected */
    char sText1[VXQ_LOG_UPC_TEXT_MAX + 1];
    char sText2[VXQ_LOG_UPC_TEXT_MAX + 1];
    char sServerIp[VXQ_LOG_UPC_IPADDR_MAX + 1];
    uint16_t usServerPort;
    VXQ_HQUEUE hLogQueue;
    int32_t bTried;             /* 0 until the first attempt, which is made at once */
    uint32_t dwLastAttemptTick; /* kit clock tick of the last attempt */
    int32_t iRetryPauseSec;
    char *pSendBuf; /* reused for every line (queue-provided) */
    int32_t iSendBufSize;
    int32_t iSendLen;
};

/* A client with its queue and texts but no thread; null when memory is short or the address is null. */
VXQ_HLOGUPCLIENT VXQ_F_LOG_UPC_CreateClient(const char *in_sText1, const char *in_sText2,
                                            const char *in_sServerIp, uint16_t in_usPort);

/* Fills the 68-byte greeting of the client into out_pGreeting. */
void VXQ_F_LOG_UPC_BuildGreeting(const struct _VXQ_S_LOG_UPCLIENT_WORKDATA *in_pClient,
                                 uint8_t out_pGreeting[VXQ_LOG_UPC_GREETING_LEN]);

/* 1 when connected: at once with an open socket; otherwise, when the pause
 * since the last attempt has passed, one attempt (connect and greeting). */
int VXQ_F_LOG_UPC_ConnectServer(struct _VXQ_S_LOG_UPCLIENT_WORKDATA *inout_pClient);

/* Closes the connection, if any. */
void VXQ_F_LOG_UPC_DisconnectServer(struct _VXQ_S_LOG_UPCLIENT_WORKDATA *inout_pClient);

/* Sends all bytes on the connection (after a discarding receive that finds a
 * closed peer). 1 when all went out; 0 when not connected or on failure. */
int VXQ_F_LOG_UPC_SendData(struct _VXQ_S_LOG_UPCLIENT_WORKDATA *inout_pClient, const char *in_pData,
                           int32_t in_iLen);

/* Takes one line (waiting up to in_iTimeoutMs) and sends it; a failed send
 * closes the connection and loses the line. 1 when a line was taken. */
int VXQ_F_LOG_UPC_DoLogQueueEvent(struct _VXQ_S_LOG_UPCLIENT_WORKDATA *inout_pClient, int32_t in_iTimeoutMs);

#endif /* VXQ_LOGNET_LOGUPLOAD_H */
