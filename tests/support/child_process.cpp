/* child_process.cpp - a program of the build run as a child process for tests. */
#include "support/child_process.h"

#include "support/temp_dir.h"
#include "support/wait_until.h"

#include <arpa/inet.h>
#include <atomic>
#include <time.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#ifdef VXQ_TEST_EMULATOR
#include <iterator>
#include <sstream>
#endif

int VXQ_F_TESTPROC_Start(_VXQ_S_TESTPROC_DATA *out_ptProc, const std::string &in_sProgram,
                         const std::vector<std::string> &in_tArgs, const std::string &in_sOutFile)
{
    *out_ptProc = {0, in_sOutFile, 0, 0};
    std::vector<char *> tArgv;
#ifdef VXQ_TEST_EMULATOR
    /* Cross build: the emulator command (words split at blanks) runs a program of
     * the build, named by its path; a bare name (ffprobe, say) is the machine's own. */
    static std::vector<std::string> s_tEmuWords = [] {
        std::istringstream tIn(VXQ_TEST_EMULATOR);
        return std::vector<std::string>(std::istream_iterator<std::string>(tIn), {});
    }();
    if (in_sProgram.find('/') != std::string::npos) {
        for (const std::string &sWord : s_tEmuWords)
            tArgv.push_back(const_cast<char *>(sWord.c_str()));
    }
#endif
    tArgv.push_back(const_cast<char *>(in_sProgram.c_str()));
    for (const std::string &sArg : in_tArgs)
        tArgv.push_back(const_cast<char *>(sArg.c_str()));
    tArgv.push_back(nullptr);
    fflush(stdout);
    fflush(stderr);
    pid_t iPid = fork();
    if (iPid < 0)
        return 0;
    if (iPid == 0) {
        int iFd = open(in_sOutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (iFd >= 0) {
            dup2(iFd, 1);
            dup2(iFd, 2);
            close(iFd);
        }
        execvp(tArgv[0], tArgv.data());
        _exit(127);
    }
    out_ptProc->iPid = iPid;
    return 1;
}

/* Reaps the process if it ended; 1 when it did. */
static int PR_Reap(_VXQ_S_TESTPROC_DATA *inout_ptProc)
{
    if (inout_ptProc->iPid == 0)
        return 1;
    int iStatus = 0;
    if (waitpid(inout_ptProc->iPid, &iStatus, WNOHANG) != inout_ptProc->iPid)
        return 0;
    *inout_ptProc = {0, inout_ptProc->sOutFile, 1,
                     WIFEXITED(iStatus) ? WEXITSTATUS(iStatus) : 128 + WTERMSIG(iStatus)};
    return 1;
}

int VXQ_F_TESTPROC_Wait(_VXQ_S_TESTPROC_DATA *inout_ptProc, int in_iTimeoutMs)
{
    return WaitUntil([&] { return PR_Reap(inout_ptProc) != 0; }, in_iTimeoutMs) ? 1 : 0;
}

int VXQ_F_TESTPROC_Signal(_VXQ_S_TESTPROC_DATA *inout_ptProc, int in_iSignal)
{
    if (inout_ptProc->iPid == 0)
        return 0;
    return kill(inout_ptProc->iPid, in_iSignal) == 0;
}

void VXQ_F_TESTPROC_Kill(_VXQ_S_TESTPROC_DATA *inout_ptProc)
{
    if (inout_ptProc->iPid == 0)
        return;
    kill(inout_ptProc->iPid, SIGKILL);
    waitpid(inout_ptProc->iPid, nullptr, 0);
    *inout_ptProc = {0, inout_ptProc->sOutFile, 1, 128 + SIGKILL};
}

std::string VXQ_F_TESTPROC_Output(const _VXQ_S_TESTPROC_DATA *in_ptProc)
{
    return ReadFile(in_ptProc->sOutFile);
}

int VXQ_F_TESTPROC_Run(const std::string &in_sProgram, const std::vector<std::string> &in_tArgs,
                       const std::string &in_sOutFile, std::string *out_psOutput, int in_iTimeoutMs)
{
    _VXQ_S_TESTPROC_DATA tProc;
    if (!VXQ_F_TESTPROC_Start(&tProc, in_sProgram, in_tArgs, in_sOutFile))
        return -1;
    int bEnded = VXQ_F_TESTPROC_Wait(&tProc, in_iTimeoutMs);
    VXQ_F_TESTPROC_Kill(&tProc);
    if (out_psOutput != nullptr)
        *out_psOutput = VXQ_F_TESTPROC_Output(&tProc);
    return bEnded ? tProc.iExitStatus : -1;
}

/* Ports are drawn from 20000..27999, below the system's ephemeral range, so a
 * port handed to a child cannot be taken by another test's bind to port 0
 * before the child binds it; the draw is random per process and never repeats
 * within one, so two calls in a row cannot return the same port. */
unsigned short VXQ_F_TESTPROC_FreeTcpPort(void)
{
    static std::atomic<uint32_t> s_dwNext{0};
    uint32_t dwSeed = (uint32_t)getpid() * 2654435761u ^ (uint32_t)time(nullptr);
    for (int iTry = 0; iTry < 200; iTry++) {
        uint32_t dwDraw = (dwSeed + s_dwNext.fetch_add(7919u)) * 2246822519u;
        unsigned short usPort = (unsigned short)(20000 + (dwDraw >> 8) % 8000);
        int iSock = socket(AF_INET, SOCK_STREAM, 0);
        if (iSock < 0)
            return 0;
        struct sockaddr_in tAddr;
        memset(&tAddr, 0, sizeof(tAddr));
        tAddr.sin_family = AF_INET;
        tAddr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        tAddr.sin_port = htons(usPort);
        int iBound = bind(iSock, (struct sockaddr *)&tAddr, sizeof(tAddr));
        close(iSock);
        if (iBound == 0)
            return usPort;
    }
    return 0;
}
