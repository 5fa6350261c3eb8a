/* Placeholder log writer: prints each line on the standard output until the
 * full writer (files, queue hand-over, feeds) replaces this file. */
#include "vxq_log.h"

#include <mutex>
#include <stdio.h>

static std::mutex s_tLock;

extern "C" int VXQ_F_LOG_SR_WriteLog(const char *in_sText, int in_iLevel)
{
    if (in_sText == NULL)
        return 0;
    std::lock_guard<std::mutex> tGuard(s_tLock);
    printf("[%d] %s\n", in_iLevel, in_sText);
    return 1;
}

extern "C" int VXQ_F_LOG_SR_ShowInfo(const char *in_sText)
{
    return VXQ_F_LOG_SR_WriteLog(in_sText, 3);
}

extern "C" int VXQ_F_LOG_SR_ShowInfoEx(const char *in_sText)
{
    return VXQ_F_LOG_SR_WriteLog(in_sText, 3);
}
