/*
 * fake_sockos.h - a scripted socket table in force for a scope (one at a time;
 * rules may change from any thread). Calls go to the OS except where a rule of
 * the descriptor says otherwise (a gathered send counts as one send):
 *  - LimitSendPerPass: a budget refilled at every select (one engine pass), then would-block;
 *  - FailSendAt: the Nth send from now fails with the errno (once, or from then on when sticky);
 *  - AcceptHighFd: accepted descriptors move to a number >= FD_SETSIZE;
 *  - IgnoreClose: closes are counted, not done.
 * Every send's asked and taken length is recorded per descriptor.
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

    void Watch(int in_iFd);
    void LimitSendPerPass(int in_iFd, int in_iBytes);
    void FailSendAt(int in_iFd, int in_iNth, int in_iErrno, bool in_bSticky = false);
    void AcceptHighFd(bool in_bOn);
    void IgnoreClose(int in_iFd);

    std::vector<int> SendAsked(int in_iFd);
    std::vector<int> SendTaken(int in_iFd);
    int IgnoredCloses(int in_iFd);
};

#endif
