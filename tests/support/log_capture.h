/*
 * log_capture.h - catches the log lines written while it lives.
 *
 * Installs a receive log queue in the process-wide log writer and reads the
 * host log records back, so that a test can check the exact failure texts.
 * One instance at a time; the previous queue (none) is restored at scope end.
 */
#ifndef VXQ_TEST_LOG_CAPTURE_H
#define VXQ_TEST_LOG_CAPTURE_H

#include "vxq_queue.h"

#include <string>
#include <vector>

class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    /* Every message logged so far (the time stamp removed). */
    std::vector<std::string> Lines();
    /* How many logged messages equal in_sText exactly. */
    int Count(const std::string &in_sText);

private:
    VXQ_HQUEUE m_hQueue = NULL;
    std::vector<std::string> m_tLines;
};

#endif
