/* The scripted socket table behind FakeSockOs. */
#include "support/fake_sockos.h"

#include "net/sockos.h"

#include <errno.h>
#include <fcntl.h>
#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <sys/uio.h>
#include <unistd.h>

namespace {

struct FdRule {
    int iBudgetPerPass = -1; /* -1: no limit */
    int iBudgetLeft = 0;
    int iFailAt = 0; /* 0: no failure scheduled; counts down per send call */
    int iFailErrno = 0;
    bool bFailSticky = false;
    bool bFailing = false;
    bool bIgnoreClose = false;
    int iIgnoredCloses = 0;
    std::vector<int> tAsked;
    std::vector<int> tTaken;
};

std::mutex s_tLock;
std::map<int, FdRule> s_tRules;
std::atomic<bool> s_bAcceptHigh{false};
_VXQ_S_SOCKOS_TABLE s_tTable;

/* Applies the descriptor's rules to a send of in_nLen bytes: -1 (errno set)
 * when it must fail or would block, else the bytes it may take. */
ssize_t PR_SendAllowance(int in_iFd, size_t in_nLen)
{
    std::lock_guard<std::mutex> tGuard(s_tLock);
    auto it = s_tRules.find(in_iFd);
    if (it == s_tRules.end())
        return (ssize_t)in_nLen;
    FdRule &tRule = it->second;
    tRule.tAsked.push_back((int)in_nLen);
    bool bFail = tRule.bFailing || (tRule.iFailAt > 0 && --tRule.iFailAt == 0);
    if (bFail)
        tRule.bFailing = tRule.bFailSticky;
    if (bFail || (tRule.iBudgetPerPass >= 0 && tRule.iBudgetLeft <= 0)) {
        tRule.tTaken.push_back(-1);
        errno = bFail ? tRule.iFailErrno : EWOULDBLOCK;
        return -1;
    }
    return (ssize_t)(tRule.iBudgetPerPass >= 0 ? std::min(in_nLen, (size_t)tRule.iBudgetLeft) : in_nLen);
}

/* Records what a send took and spends the pass budget. */
void PR_SendTaken(int in_iFd, ssize_t nSent)
{
    std::lock_guard<std::mutex> tGuard(s_tLock);
    auto it = s_tRules.find(in_iFd);
    if (it != s_tRules.end()) {
        it->second.tTaken.push_back((int)nSent);
        if (nSent > 0 && it->second.iBudgetPerPass >= 0)
            it->second.iBudgetLeft -= (int)nSent;
    }
}

ssize_t FakeSend(int in_iFd, const void *in_pData, size_t in_nLen, int in_iFlags)
{
    ssize_t nTake = PR_SendAllowance(in_iFd, in_nLen);
    if (nTake < 0)
        return -1;
    ssize_t nSent = send(in_iFd, in_pData, (size_t)nTake, in_iFlags);
    PR_SendTaken(in_iFd, nSent);
    return nSent;
}

/* A gathered send under the same rules: the pieces are cut to the budget. */
ssize_t FakeSendMsg(int in_iFd, const struct msghdr *in_pMsg, int in_iFlags)
{
    size_t nTotal = 0;
    for (size_t i = 0; i < in_pMsg->msg_iovlen; i++)
        nTotal += in_pMsg->msg_iov[i].iov_len;
    ssize_t nTake = PR_SendAllowance(in_iFd, nTotal);
    if (nTake < 0)
        return -1;
    struct iovec aCut[8];
    struct msghdr tCut = *in_pMsg;
    size_t nLeft = (size_t)nTake;
    size_t nPieces = 0;
    for (size_t i = 0; i < in_pMsg->msg_iovlen && i < 8 && nLeft > 0; i++) {
        aCut[i] = in_pMsg->msg_iov[i];
        if (aCut[i].iov_len > nLeft)
            aCut[i].iov_len = nLeft;
        nLeft -= aCut[i].iov_len;
        nPieces++;
    }
    tCut.msg_iov = aCut;
    tCut.msg_iovlen = nPieces;
    ssize_t nSent = sendmsg(in_iFd, &tCut, in_iFlags);
    PR_SendTaken(in_iFd, nSent);
    return nSent;
}

int FakeSelect(int in_iMaxFdPlus1, fd_set *inout_pRead, fd_set *inout_pWrite, fd_set *inout_pError,
               struct timeval *inout_pTimeout)
{
    {
        std::lock_guard<std::mutex> tGuard(s_tLock);
        for (auto &tEntry : s_tRules)
            tEntry.second.iBudgetLeft = tEntry.second.iBudgetPerPass;
    }
    return VXQ_F_SOCKOS_Default()->fnSelect(in_iMaxFdPlus1, inout_pRead, inout_pWrite, inout_pError, inout_pTimeout);
}

int FakeAccept(int in_iFd, struct sockaddr *out_pAddr, socklen_t *inout_pLen)
{
    int iNew = VXQ_F_SOCKOS_Default()->fnAccept(in_iFd, out_pAddr, inout_pLen);
    if (iNew < 0 || !s_bAcceptHigh)
        return iNew;
    int iHigh = fcntl(iNew, F_DUPFD, FD_SETSIZE + 8);
    close(iNew);
    return iHigh;
}

int FakeClose(int in_iFd)
{
    {
        std::lock_guard<std::mutex> tGuard(s_tLock);
        auto it = s_tRules.find(in_iFd);
        if (it != s_tRules.end() && it->second.bIgnoreClose) {
            it->second.iIgnoredCloses++;
            return 0;
        }
        /* A closed descriptor number is reused by the kernel: forget its rules. */
        s_tRules.erase(in_iFd);
    }
    return close(in_iFd);
}

} // namespace

FakeSockOs::FakeSockOs()
{
    std::lock_guard<std::mutex> tGuard(s_tLock);
    s_tRules.clear();
    s_bAcceptHigh = false;
    s_tTable = *VXQ_F_SOCKOS_Default();
    s_tTable.fnSend = FakeSend;
    s_tTable.fnSendMsg = FakeSendMsg;
    s_tTable.fnSelect = FakeSelect;
    s_tTable.fnAccept = FakeAccept;
    s_tTable.fnClose = FakeClose;
    VXQ_F_SOCKOS_Install(&s_tTable);
}

FakeSockOs::~FakeSockOs()
{
    VXQ_F_SOCKOS_Install(NULL);
    std::lock_guard<std::mutex> tGuard(s_tLock);
    s_tRules.clear();
}

/* Runs in_fn on the rule of in_iFd under the lock (made when absent). */
template <typename F> static auto PR_Rule(int in_iFd, F in_fn) -> decltype(in_fn(s_tRules[0]))
{
    std::lock_guard<std::mutex> tGuard(s_tLock);
    return in_fn(s_tRules[in_iFd]);
}

void FakeSockOs::Watch(int in_iFd) { PR_Rule(in_iFd, [](FdRule &) {}); }
void FakeSockOs::LimitSendPerPass(int in_iFd, int in_iBytes)
{
    PR_Rule(in_iFd, [&](FdRule &r) { r.iBudgetPerPass = r.iBudgetLeft = in_iBytes; });
}
void FakeSockOs::FailSendAt(int in_iFd, int in_iNth, int in_iErrno, bool in_bSticky)
{
    PR_Rule(in_iFd, [&](FdRule &r) {
        r.iFailAt = in_iNth;
        r.iFailErrno = in_iErrno;
        r.bFailSticky = in_bSticky;
        r.bFailing = false;
    });
}
void FakeSockOs::AcceptHighFd(bool in_bOn) { s_bAcceptHigh = in_bOn; }
void FakeSockOs::IgnoreClose(int in_iFd) { PR_Rule(in_iFd, [](FdRule &r) { r.bIgnoreClose = true; }); }
std::vector<int> FakeSockOs::SendAsked(int in_iFd) { return PR_Rule(in_iFd, [](FdRule &r) { return r.tAsked; }); }
std::vector<int> FakeSockOs::SendTaken(int in_iFd) { return PR_Rule(in_iFd, [](FdRule &r) { return r.tTaken; }); }
int FakeSockOs::IgnoredCloses(int in_iFd) { return PR_Rule(in_iFd, [](FdRule &r) { return r.iIgnoredCloses; }); }
