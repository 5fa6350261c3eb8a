/*
 * child_process.h - runs a program of the build as a child process with its
 * output captured in a file, signals it and waits for its end with a deadline.
 * One test thread owns one record; a process that still runs at Kill (or when
 * TestChildProcess goes out of scope) is killed and reaped.
 */
#ifndef VXQ_TEST_CHILD_PROCESS_H
#define VXQ_TEST_CHILD_PROCESS_H

#include <sys/types.h>

#include <string>
#include <vector>

typedef struct _VXQ_S_TESTPROC_DATA {
    pid_t iPid = 0;       /* 0 when no process runs */
    std::string sOutFile; /* standard output and error of the process */
    int bExited = 0;
    int iExitStatus = 0; /* exit status, or 128 + signal number when killed */
} _VXQ_S_TESTPROC_DATA;

/* Starts in_sProgram with in_tArgs, standard output and error to in_sOutFile. 1 when it runs. */
int VXQ_F_TESTPROC_Start(_VXQ_S_TESTPROC_DATA *out_ptProc, const std::string &in_sProgram,
                         const std::vector<std::string> &in_tArgs, const std::string &in_sOutFile);

/* 1 when the process ended within the deadline (bExited and iExitStatus set). */
int VXQ_F_TESTPROC_Wait(_VXQ_S_TESTPROC_DATA *inout_ptProc, int in_iTimeoutMs);

int VXQ_F_TESTPROC_Signal(_VXQ_S_TESTPROC_DATA *inout_ptProc, int in_iSignal);

void VXQ_F_TESTPROC_Kill(_VXQ_S_TESTPROC_DATA *inout_ptProc);

std::string VXQ_F_TESTPROC_Output(const _VXQ_S_TESTPROC_DATA *in_ptProc);

/* Runs a program to its end: its exit status (-1 when not in time) and its output. */
int VXQ_F_TESTPROC_Run(const std::string &in_sProgram, const std::vector<std::string> &in_tArgs,
                       const std::string &in_sOutFile, std::string *out_psOutput, int in_iTimeoutMs = 10000);

/* A free TCP port on 127.0.0.1 outside the system's range for port 0, never returned twice. */
unsigned short VXQ_F_TESTPROC_FreeTcpPort(void);

/* A record whose process is killed and reaped when it goes out of scope. */
struct TestChildProcess : _VXQ_S_TESTPROC_DATA {
    ~TestChildProcess() { VXQ_F_TESTPROC_Kill(this); }
    _VXQ_S_TESTPROC_DATA *Get() { return this; }
};

#endif
