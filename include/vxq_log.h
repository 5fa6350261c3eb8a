/*
 * vxq_log.h - the process-wide log writer.
 *
 * Owns the log state of the whole process: console echo, the daily files
 * "<dir>/Log<YYYYMMDD>.txt" (or one named file), the hand-over of a record per
 * line to the host's receive log queue, and the line feeds of the log servers.
 * The writer works from the moment the library is loaded; nothing needs to be
 * started first. Any thread may call every function here; each line is
 * formatted, written and handed over whole under the writer's own lock, so
 * lines of different threads never mix. Texts are copied; the caller keeps
 * ownership of what it passes. Log output never reports failures of its own:
 * a file that cannot be opened or a full queue loses the line, and the caller
 * goes on. A log call made by the writer's own thread while it writes (from a
 * queue it feeds) is dropped rather than fed back into itself.
 *
 * Messages may carry text from the network: every output (file, console, log
 * port, upload client, host log record and the trace datagrams made from it)
 * gets the message with each byte below 0x20 and 0x7F written as "\xNN"
 * (lowercase hex), after one line end at its very end ("\n", "\r\n", "\r") was
 * dropped. Bytes from 0x80 up and backslashes pass unchanged, so text without
 * control bytes is written byte for byte as given.
 *
 * Levels: 0 serious, 1 important, 2 general (failures), 3 prompt; the level only
 * reaches the host log record.
 */
#ifndef VXQ_LOG_H
#define VXQ_LOG_H

#include "vxq_base.h"
#include "vxq_queue.h"

VXQ_EXTERN_C_BEGIN

#define VXQ_LOG_LEVEL_SERIOUS 0
#define VXQ_LOG_LEVEL_IMPORTANT 1
#define VXQ_LOG_LEVEL_GENERAL 2
#define VXQ_LOG_LEVEL_PROMPT 3

/* Most characters of a message that reach the host log record. */
#define VXQ_LOG_RECORD_MAX_MESSAGE 489

/* One log line as handed to the host's receive log queue: 536 bytes, texts
 * zero-terminated and zero-filled, the level in host byte order. */
typedef struct _VXQ_S_LOG_SR_RECV_LOG_DATA {
    char sTime[20]; /* local "%Y-%m-%d %H:%M:%S" */
    int32_t iLevel;
    char sText[512]; /* "%s  %s": the same time, two blanks, the message as written cut to 489
                        characters, never inside a "\xNN" */
} _VXQ_S_LOG_SR_RECV_LOG_DATA;

/* ---- writing ---- */

/* Stamps in_sText with the time of day and writes it to the log file (when file
 * writing is on), the console (when echo is on) and the line feeds, then hands a
 * host log record to the receive log queue. Returns the result of
 * VXQ_F_LOG_SR_WriteLogToQueue; 0 for a null text. */
VXQ_API int VXQ_F_LOG_SR_WriteLog(const char *in_sText, int in_iLevel);

/* A prompt line (level 3): the console when echo is on, the file only when
 * VXQ_F_LOG_SR_SetIfShowInfoWriteFile asked for it, the line feeds and the queue. */
VXQ_API int VXQ_F_LOG_SR_ShowInfo(const char *in_sText);

/* As VXQ_F_LOG_SR_ShowInfo, but always echoed on the console. */
VXQ_API int VXQ_F_LOG_SR_ShowInfoEx(const char *in_sText);

/* Builds a host log record of in_sText and puts it into the receive log queue
 * without waiting. 1 when no queue is set or the record was stored; 0 when the
 * queue is full (the record is dropped) or the text is null. */
VXQ_API int VXQ_F_LOG_SR_WriteLogToQueue(int in_iLevel, const char *in_sText);

/* ---- configuration (any time, any thread) ---- */

/* Directory of the daily files; at most 255 characters are kept. Empty or null:
 * the current working directory at the next line. */
VXQ_API void VXQ_F_LOG_SR_SetLogDir(const char *in_sDir);

/* Writes every line to this one file instead of the daily files (at most 255
 * characters kept); null goes back to the daily files. */
VXQ_API void VXQ_F_LOG_SR_SetLogFileName(const char *in_sName);

/* Size limit of the named file in kilobytes: a line that finds the file at or
 * above it empties the file first. 0 or less means no limit (the default). */
VXQ_API void VXQ_F_LOG_SR_SetMaxLogFileSize(int in_iKiloBytes);

/* The host's receive log queue (owned by the caller), or null for none. Once this
 * returns, no log call uses a queue set before, so the caller may free it. */
VXQ_API void VXQ_F_LOG_SR_SetRecvLogQueue(VXQ_HQUEUE in_hQueue);

/* Nonzero: echo log lines on the console (the default); 0: keep the console quiet. */
VXQ_API void VXQ_F_LOG_SR_SetIfShowLog(int in_bShow);

/* Nonzero: prompt lines are written to the log file as well (off by default). */
VXQ_API void VXQ_F_LOG_SR_SetIfShowInfoWriteFile(int in_bWrite);

/* Nonzero: heads "[Log]" and "[Prompt]"; 0 (the default): the GBK texts of the device's home market. */
VXQ_API void VXQ_F_LOG_SR_SetIfShowEnglishLogHead(int in_bEnglish);

/* Nonzero: write log lines to the file (the default); 0: console and feeds only. */
VXQ_API void VXQ_F_LOG_SR_SetIfWriteLogToFile(int in_bWrite);

/* ---- helpers ---- */

/* Creates the log directory (mode 0775, one level). 1 if it was created now. */
VXQ_API int VXQ_F_LOG_SR_CreateLogDir(void);

/* The size in bytes of the file at in_sPath, 0 if it cannot be opened. */
VXQ_API int64_t VXQ_F_LOG_SR_ReadFileSize(const char *in_sPath);

VXQ_EXTERN_C_END

#endif /* VXQ_LOG_H */
