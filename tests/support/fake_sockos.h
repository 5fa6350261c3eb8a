/*
 * fake_sockos.h - puts a scripted table of socket calls in force for a scope.
 *
 * The fake passes every call to the real OS, except where a rule set for one
 * descriptor says otherwise (a gathered send counts as one send of its total):
 *  - LimitSendPerPass: a send takes at most the bytes left of a budget that is
 *    refilled at every select call (one engine pass), then would-block;
 *  - FailSendAt: the Nth send call from now fails with the given errno (once,
 *    or on every later call too when sticky);
 *  - AcceptHighFd: accepted descriptors are moved to a number >= FD_SETSIZE;
 *  - IgnoreClose: closes of that descriptor are counted but not done.
 * It records the length handed to every send call per descriptor. Only one
 * instance may exist at a time; rules may be changed from any thread.
 */
#ifndef VXQ_TEST_FAKE_SOCKOS_H
#define VXQ_TEST_FAKE_SOCKOS_H

#include <vector>

class FakeSockOs {
public:
    FakeSockOs();
    ~FakeSockOs();
    FakeSockOs(const FakeSockOs &) = delete;
    FakeSockOs &operator=(const FakeSockOs &) = delete;

    /* Records the sends of in_iFd without changing them. */
    void Watch(int in_iFd);
    void LimitSendPerPass(int in_iFd, int in_iBytes);
    void FailSendAt(int in_iFd, int in_iNth, int in_iErrno, bool in_bSticky = false);
    void AcceptHighFd(bool in_bOn);
    void IgnoreClose(int in_iFd);

    /* Lengths asked of send() (before the budget cut) and bytes taken, per call. */
    std::vector<int> SendAsked(int in_iFd);
    std::vector<int> SendTaken(int in_iFd);
    int SelectCalls();
    int IgnoredCloses(int in_iFd);
};

#endif
