/*
 * vxq_log.h - the process-wide log writer.
 *
 * Owns the log state of the whole process (console echo, daily files, the
 * host's log queue, the feeds of the log servers). Any thread may call every
 * function here; each line is written whole under the writer's own lock.
 * Texts are copied; the caller keeps ownership of what it passes.
 *
 * Levels: 1 and 2 are log lines (2 = failure), 3 is a prompt.
 */
#ifndef VXQ_LOG_H
#define VXQ_LOG_H

#include "vxq_base.h"

VXQ_EXTERN_C_BEGIN

/* Stamps in_sText with the time of day and writes it to the day's file, the
 * console when echo is on, and the log feeds. Returns 1 when the line was
 * handed to the host's log queue (or no queue is set), else 0. */
VXQ_API int VXQ_F_LOG_SR_WriteLog(const char *in_sText, int in_iLevel);

/* A prompt line: console (when echo is on), the file only when asked for, the feeds. */
VXQ_API int VXQ_F_LOG_SR_ShowInfo(const char *in_sText);

/* As VXQ_F_LOG_SR_ShowInfo, but always echoed on the console. */
VXQ_API int VXQ_F_LOG_SR_ShowInfoEx(const char *in_sText);

VXQ_EXTERN_C_END

#endif /* VXQ_LOG_H */
