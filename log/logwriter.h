/*
 * logwriter.h - the log writer's state and its hand-over points (library internal).
 *
 * tLogData is the one log state of the process. It is constant-initialised, so
 * it is valid before any constructor of the library runs, and it stays usable
 * until the process ends. Its lock serialises the file, the console, the line
 * buffer and every hand-over to a queue or line sink.
 *
 * The log servers do not reach into the state: they attach what should receive
 * each finished line ("text\r\n", no terminating zero) with
 * VXQ_F_LOG_SR_AttachLineQueue (the TCP log service's line queue) and
 * VXQ_F_LOG_SR_AttachUpClient (the upload client's send call). Attaching and
 * detaching take the lock, so once a detach returns no writer touches the old
 * queue or client any more and its owner may free it.
 */
#ifndef VXQ_LOG_LOGWRITER_H
#define VXQ_LOG_LOGWRITER_H

#include "vxq_log.h"

#include <atomic>
#include <mutex>

/* Receives one finished line for the upload client; returns 1 if it was taken. */
typedef int (*VXQ_PF_LOG_SR_LINE_SINK)(void *in_pClient, const char *in_pLine, int in_iLen);

/* Most lines of one daily file; the next line empties the file and starts again. */
#define VXQ_LOG_DAILY_MAX_LINES 500000u
/* Characters of the directory and file name fields, with the terminating zero. */
#define VXQ_LOG_PATH_FIELD 256

class VXQ_C_LOG_SR_DATA
{
  public:
    constexpr VXQ_C_LOG_SR_DATA() {}
    ~VXQ_C_LOG_SR_DATA();
    VXQ_C_LOG_SR_DATA(const VXQ_C_LOG_SR_DATA &) = delete;
    VXQ_C_LOG_SR_DATA &operator=(const VXQ_C_LOG_SR_DATA &) = delete;

    /* The host's receive log queue (owned by the host), null for none; under the lock. */
    VXQ_HQUEUE hRecvLogQueue = nullptr;
    std::mutex tLock;
    std::atomic<int32_t> bFileNameSet{0};  /* 1: the named file instead of daily files */
    char sLogDir[VXQ_LOG_PATH_FIELD] = {}; /* under the lock */
    char sCurrentDay[16] = {};             /* "%Y%m%d" of the current daily file */
    uint32_t dwLinesWritten = 0;           /* lines written to the current daily file */
    char sLogFileName[VXQ_LOG_PATH_FIELD] = {};
    std::atomic<int32_t> iMaxLogFileSize{0}; /* bytes; 0 or less = no limit */
    std::atomic<int32_t> bWriteToFile{1};
    std::atomic<int32_t> bConsoleOff{0};
    std::atomic<int32_t> bShowInfoToFile{0};
    std::atomic<int32_t> bEnglishHead{0};
    /* The line buffer, reused for every line; under the lock. */
    char *pLineBuf = nullptr;
    int32_t iLineBufSize = 0;
    /* The TCP log service's line queue, null while the service is stopped. */
    VXQ_HQUEUE hLineQueue = nullptr;
    /* The upload client and its send call, null while none runs. */
    void *pUpClient = nullptr;
    VXQ_PF_LOG_SR_LINE_SINK pfUpSend = nullptr;
};

extern VXQ_C_LOG_SR_DATA tLogData;

/* Writes one log line (file, console, feeds); called with tLogData.tLock held. */
void VXQ_F_LOG_SR_CRS_WriteLogToFile(const char *in_sText, int in_iLevel);

/* Formats one prompt line for the console (always when in_bForce is 1) and the
 * feeds; never the file. Called with tLogData.tLock held. */
void VXQ_F_LOG_SR_CRS_ShowInfo(const char *in_sText, int in_bForce);

/* Sets (or with null clears) the line queue that receives every finished line
 * without waiting. Returns the queue attached before. */
VXQ_HQUEUE VXQ_F_LOG_SR_AttachLineQueue(VXQ_HQUEUE in_hQueue);

/* Sets (or with a null call clears) the upload client's send call and its client. */
void VXQ_F_LOG_SR_AttachUpClient(void *in_pClient, VXQ_PF_LOG_SR_LINE_SINK in_pfSend);

#endif /* VXQ_LOG_LOGWRITER_H */
