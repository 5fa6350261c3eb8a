/*
 * child_process.h - runs a program of the build (the simulator) as a separate
 * process for tests: start it with arguments, its standard output and error
 * captured in one file (or in two), signal it, and wait for its exit with a
 * deadline.
 *
 * One test thread owns one record. VXQ_F_TESTPROC_Start forks; the child only
 * redirects its output and execs. A record whose process still runs at
 * VXQ_F_TESTPROC_Kill (or the destructor of TestChildProcess) is killed with
 * SIGKILL and reaped, so no test leaves a process behind.
 */
#ifndef VXQ_TEST_CHILD_PROCESS_H
#define VXQ_TEST_CHILD_PROCESS_H

#include <sys/types.h>

#include <string>
#include <vector>

typedef struct _VXQ_S_TESTPROC_DATA {
    pid_t iPid;           /* 0 when no process runs */
    std::string sOutFile; /* standard output and error of the process */
    int bExited;
    int iExitStatus; /* exit status, or 128 + signal number when killed */
} _VXQ_S_TESTPROC_DATA;

/* Starts in_sProgram with in_tArgs (argv[1..]) in the folder in_sWorkDir (empty:
 * the current one), output to in_sOutFile; standard error to in_sErrFile when
 * given, else to in_sOutFile too. Returns 1 when the process runs. */
int VXQ_F_TESTPROC_Start(_VXQ_S_TESTPROC_DATA *out_ptProc, const std::string &in_sProgram,
                         const std::vector<std::string> &in_tArgs, const std::string &in_sOutFile,
                         const std::string &in_sWorkDir = "", const std::string &in_sErrFile = "");

/* Waits up to in_iTimeoutMs for the process to end. Returns 1 when it ended,
 * with bExited and iExitStatus set. */
int VXQ_F_TESTPROC_Wait(_VXQ_S_TESTPROC_DATA *inout_ptProc, int in_iTimeoutMs);

/* Sends in_iSignal to a running process. Returns 1 when sent. */
int VXQ_F_TESTPROC_Signal(_VXQ_S_TESTPROC_DATA *inout_ptProc, int in_iSignal);

/* Kills and reaps a process that still runs. Safe on a record that ended. */
void VXQ_F_TESTPROC_Kill(_VXQ_S_TESTPROC_DATA *inout_ptProc);

/* Everything the process wrote so far. */
std::string VXQ_F_TESTPROC_Output(const _VXQ_S_TESTPROC_DATA *in_ptProc);

/* Runs a program to its end (at most in_iTimeoutMs) and returns its exit status,
 * or -1 when it did not end in time; what in_sOutFile got goes to *out_psOutput
 * (standard error too, unless in_sErrFile takes it). */
int VXQ_F_TESTPROC_Run(const std::string &in_sProgram, const std::vector<std::string> &in_tArgs,
                       const std::string &in_sOutFile, std::string *out_psOutput, int in_iTimeoutMs = 10000,
                       const std::string &in_sErrFile = "");

/* A TCP port on 127.0.0.1 that nobody uses right now, outside the range the
 * system hands out for port 0, and not returned before by this process. */
unsigned short VXQ_F_TESTPROC_FreeTcpPort(void);

/* Kills its process when the scope ends. */
class TestChildProcess
{
  public:
    TestChildProcess() : m_tProc{0, std::string(), 0, 0} {}
    ~TestChildProcess()
    {
        VXQ_F_TESTPROC_Kill(&m_tProc);
    }
    TestChildProcess(const TestChildProcess &) = delete;
    TestChildProcess &operator=(const TestChildProcess &) = delete;
    _VXQ_S_TESTPROC_DATA *Get()
    {
        return &m_tProc;
    }

  private:
    _VXQ_S_TESTPROC_DATA m_tProc;
};

#endif
