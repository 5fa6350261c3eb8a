/*
 * log_capture.h - catches the log lines written while it lives, through the log
 * writer's receive queue (one instance at a time), for the exact failure texts.
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

    /* How many logged messages (time stamp removed) equal in_sText exactly. */
    int Count(const std::string &in_sText);

private:
    VXQ_HQUEUE m_hQueue = NULL;
    std::vector<std::string> m_tLines; /* every line caught so far */
};

#endif
