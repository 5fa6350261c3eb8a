/*
 * vxq_logserver.h - the TCP log service: streams every new log line to the
 * log clients connected to the log port.
 *
 * Owns one process-wide service: a listen socket, up to 100 client sockets, a
 * line queue of 10000 lines that the log writer fills without waiting, and a
 * log thread that accepts clients and sends them each line as written ("text"
 * followed by CR LF, no other framing). A client gets only the lines written
 * after its acceptance; a client that closed is dropped at the next line or
 * within 5 seconds, one that stops reading for 2 seconds during a send too.
 *
 * Start and stop may be called from any thread (they are serialised); the
 * client table belongs to the log thread. Nothing here writes to the log: a
 * failure of the log's own distribution is only reported by the results.
 */
#ifndef VXQ_LOGSERVER_H
#define VXQ_LOGSERVER_H

#include "vxq_base.h"

VXQ_EXTERN_C_BEGIN

/* Most log clients served at once; the next one is closed right after acceptance. */
#define VXQ_LOG_SR_MAX_CLIENT_NUM 100
/* Lines waiting for the log thread; a line that finds the queue full is lost. */
#define VXQ_LOG_SR_LINE_QUEUE_SIZE 10000

/* Starts the service on TCP port in_usPort of every local address (0: the
 * system picks a port, see VXQ_F_LOG_SR_GetLogServicePort). 1 when it runs,
 * also when it was running already (the port is then not changed); 0 when the
 * port cannot be bound or a resource is missing - nothing is left behind. */
VXQ_API int VXQ_F_LOG_SR_StartLogService(uint16_t in_usPort);

/* Stops the log thread, closes the listen socket and every client, frees the
 * line queue. 1; also 1 when the service was not running. */
VXQ_API int VXQ_F_LOG_SR_StopLogService(void);

/* The port the running service listens on, 0 when it is stopped. */
VXQ_API uint16_t VXQ_F_LOG_SR_GetLogServicePort(void);

VXQ_EXTERN_C_END

#endif /* VXQ_LOGSERVER_H */
