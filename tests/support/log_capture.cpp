/* Log line capture through the log writer's receive log queue. */
#include "support/log_capture.h"

#include "vxq_log.h"

#include <string.h>

#include <algorithm>

LogCapture::LogCapture()
{
    VXQ_F_TOOLS_QUEUE_InitQueue(&m_hQueue, 5000);
    VXQ_F_LOG_SR_SetRecvLogQueue(m_hQueue);
}

LogCapture::~LogCapture()
{
    VXQ_F_LOG_SR_SetRecvLogQueue(NULL);
    VXQ_F_TOOLS_QUEUE_FreeQueue(&m_hQueue);
}

int LogCapture::Count(const std::string &in_sText)
{
    _VXQ_S_LOG_SR_RECV_LOG_DATA tRecord;
    int32_t iLen = (int32_t)sizeof(tRecord);
    while (VXQ_F_TOOLS_QUEUE_GetData(m_hQueue, &tRecord, &iLen, 0)) {
        tRecord.sText[sizeof(tRecord.sText) - 1] = 0;
        /* The text is "<time>  <message>". */
        const char *pMessage = strstr(tRecord.sText, "  ");
        m_tLines.push_back(pMessage != NULL ? pMessage + 2 : tRecord.sText);
        iLen = (int32_t)sizeof(tRecord);
    }
    return (int)std::count(m_tLines.begin(), m_tLines.end(), in_sText);
}
