/*
 * vxq_logupload.h - the log upload client: pushes every new log line to a log
 * collection server at an address the host application gives.
 *
 * A client owns a thread, one TCP connection at a time and a queue of 200
 * lines. After each successful connection it sends a 68-byte greeting (the
 * bytes FF EF 01 FF, then the two caller texts, 32 bytes each, zero-terminated
 * and zero-filled), then the lines as written ("text" and CR LF) with no other
 * framing; whatever the server sends is read and discarded. A failed or lost
 * connection is tried again at once the first time, then after pauses of 4, 6,
 * 8 and then 10 seconds (counted on the kit clock); lines that find the queue
 * full are lost. Nothing here writes to the log.
 *
 * VXQ_F_LOG_SR_StartLogUpClient / VXQ_F_LOG_SR_StopLogUpClient run the one
 * client that the log writer feeds; they may be called from any thread. The
 * VXQ_F_LOG_UPC_ functions handle a client of the caller's own: start returns
 * the handle, stop frees it (a null handle is accepted), and lines are put in
 * with VXQ_F_LOG_UPC_SendLogData from any thread.
 */
#ifndef VXQ_LOGUPLOAD_H
#define VXQ_LOGUPLOAD_H

#include "vxq_base.h"

VXQ_EXTERN_C_BEGIN

typedef struct _VXQ_S_LOG_UPCLIENT_WORKDATA *VXQ_HLOGUPCLIENT;

/* Bytes of the greeting, and the most characters kept of each caller text and of the address. */
#define VXQ_LOG_UPC_GREETING_LEN 68
#define VXQ_LOG_UPC_TEXT_MAX 31
#define VXQ_LOG_UPC_IPADDR_MAX 15
/* Lines waiting for the connection. */
#define VXQ_LOG_UPC_QUEUE_SIZE 200

/* Starts a client for the dotted IPv4 address in_sServerIp and in_usPort; the
 * texts (null = empty) are cut to 31 characters, the address to 15. Returns the
 * handle, or null (nothing left behind) for a null address or missing resources. */
VXQ_API VXQ_HLOGUPCLIENT VXQ_F_LOG_UPC_StartLogUpServer(const char *in_sText1, const char *in_sText2,
                                                        const char *in_sServerIp, uint16_t in_usPort);

/* Ends the thread, closes the connection, frees the lines still queued and the client. */
VXQ_API void VXQ_F_LOG_UPC_StopLogUpServer(VXQ_HLOGUPCLIENT in_hClient);

/* Queues a copy of in_iLen bytes without waiting. 1 if stored, 0 if the queue is full or the arguments are
 * bad. */
VXQ_API int VXQ_F_LOG_UPC_SendLogData(VXQ_HLOGUPCLIENT in_hClient, const char *in_pData, int32_t in_iLen);

/* Stops the writer's upload client if one runs, then starts one with these
 * arguments and lets every log line reach it. 1 if it started. */
VXQ_API int VXQ_F_LOG_SR_StartLogUpClient(const char *in_sText1, const char *in_sText2,
                                          const char *in_sServerIp, uint16_t in_usPort);

/* Stops and forgets the writer's upload client. 1; also when none ran. */
VXQ_API int VXQ_F_LOG_SR_StopLogUpClient(void);

VXQ_EXTERN_C_END

#endif /* VXQ_LOGUPLOAD_H */
