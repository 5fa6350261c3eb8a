/* attack.cpp - the two attacks of dps-soak, each beside a legitimate client at
 * the attackers' own address: login id guessing from every free connection
 * slot and many source addresses, and lock-out by connections that ask for a
 * token and hold. One thread drives every attacker connection with poll();
 * the legitimate client runs on threads of its own with the blocking link. */
#include "soak.h"

#include "clilink.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdio.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

typedef std::vector<uint8_t> Bytes;

#define PR_LEGIT_ADDR 0x7F000001u /* 127.0.0.1: the legitimate client's address */
#define PR_QUOTES_PER_CONN 2      /* a guesser's quotes per connection (the third would drop it) */

/* One attacker connection. */
enum { PR_IDLE = 0, PR_CONNECTING, PR_WAITING, PR_HOLDING };
typedef struct {
    int iSock;
    int iState;
    Bytes tRecv;
    int iQuotes;  /* quotes sent on this connection */
    int iAnswers; /* answers read on it */
} PR_ATTACKER;

/* What the attacker loop does and counts. */
typedef struct {
    const _VXQ_S_SOAK_RUN *pRun;
    int bGuess; /* 1 guessing, 0 lock-out */
    uint32_t dwAvoid[4]; /* live ids not to quote (the legitimate session's) */
    _VXQ_S_SOAK_ATTACK *pOut;
} PR_ATTACK;

/* Raises the descriptor limit to the hard limit (the attack holds many sockets). */
static void PR_RaiseFdLimit(void)
{
    struct rlimit tLimit;
    if (getrlimit(RLIMIT_NOFILE, &tLimit) == 0 && tLimit.rlim_cur < tLimit.rlim_max) {
        tLimit.rlim_cur = tLimit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &tLimit);
    }
}

/* A source address: one connection in four from the legitimate client's
 * address, the others from anywhere in 127.0.0.0/8 (loopback answers them all). */
static uint32_t PR_SourceAddr(std::mt19937 &inout_tRng)
{
    if (inout_tRng() % 4 == 0)
        return PR_LEGIT_ADDR;
    return 0x7F000000u | (inout_tRng() & 0x00FFFFFFu) | 0x00010000u;
}

/* Starts a non-blocking connection from in_dwSrc (0: any) to the device. -1 on failure. */
static int PR_StartConnect(const _VXQ_S_SOAK_RUN *in_ptRun, uint32_t in_dwSrc)
{
    struct sockaddr_in tTo;
    memset(&tTo, 0, sizeof(tTo));
    tTo.sin_family = AF_INET;
    tTo.sin_port = htons(in_ptRun->usPort);
    if (inet_pton(AF_INET, in_ptRun->pOpts->sHost.c_str(), &tTo.sin_addr) != 1)
        return -1;
    int iSock = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (iSock < 0)
        return -1;
    /* Source addresses of 127.0.0.0/8 only reach a device on loopback. */
    if (in_dwSrc != 0 && (ntohl(tTo.sin_addr.s_addr) >> 24) == 127) {
        struct sockaddr_in tFrom;
        memset(&tFrom, 0, sizeof(tFrom));
        tFrom.sin_family = AF_INET;
        tFrom.sin_addr.s_addr = htonl(in_dwSrc);
        bind(iSock, (struct sockaddr *)&tFrom, sizeof(tFrom));
    }
    if (connect(iSock, (struct sockaddr *)&tTo, sizeof(tTo)) != 0 && errno != EINPROGRESS) {
        close(iSock);
        return -1;
    }
    return iSock;
}

static void PR_Close(PR_ATTACKER *inout_ptA)
{
    if (inout_ptA->iSock >= 0)
        close(inout_ptA->iSock);
    inout_ptA->iSock = -1;
    inout_ptA->iState = PR_IDLE;
    inout_ptA->tRecv.clear();
    inout_ptA->iQuotes = 0;
    inout_ptA->iAnswers = 0;
}

/* Sends the attacker's next request: a quote of a random login id (guessing)
 * or a token request (lock-out). */
static int PR_SendNext(PR_ATTACK *inout_ptAttack, PR_ATTACKER *inout_ptA, std::mt19937 &inout_tRng)
{
    Bytes tMsg;
    if (inout_ptAttack->bGuess) {
        uint32_t dwGuess = 0;
        while (dwGuess == 0 || std::find(std::begin(inout_ptAttack->dwAvoid), std::end(inout_ptAttack->dwAvoid),
                                         dwGuess) != std::end(inout_ptAttack->dwAvoid))
            dwGuess = (uint32_t)inout_tRng();
        tMsg = VXQ_F_CLI_BuildConfig(VXQ_CLI_FN_GET_CONFIG, 1000u + (uint32_t)inout_ptA->iQuotes, dwGuess, 1, Bytes());
        inout_ptA->iQuotes++;
        inout_ptAttack->pOut->qwQuotes++;
    } else {
        tMsg = VXQ_F_CLI_BuildToken(1);
    }
    return send(inout_ptA->iSock, tMsg.data(), tMsg.size(), MSG_NOSIGNAL) == (ssize_t)tMsg.size();
}

/* Results of PR_Read. */
enum { PR_READ_GOES_ON = 1, PR_READ_ENDED = 0, PR_READ_DONE = 2 };

/* Reads what came: PR_READ_ENDED when the device closed the connection (or it
 * failed), PR_READ_DONE when the guesser is through with it. */
static int PR_Read(PR_ATTACK *inout_ptAttack, PR_ATTACKER *inout_ptA, std::mt19937 &inout_tRng)
{
    uint8_t ucBuf[4096];
    ssize_t iGot = recv(inout_ptA->iSock, ucBuf, sizeof(ucBuf), MSG_DONTWAIT);
    if (iGot == 0 || (iGot < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
        return PR_READ_ENDED;
    if (iGot < 0)
        return PR_READ_GOES_ON;
    inout_ptA->tRecv.insert(inout_ptA->tRecv.end(), ucBuf, ucBuf + iGot);
    while (inout_ptA->tRecv.size() >= 20) {
        uint32_t dwSize = VXQ_F_CLI_GetU32(inout_ptA->tRecv.data() + 4);
        if (dwSize < 20 || dwSize > 1 << 20)
            return PR_READ_ENDED;
        if (inout_ptA->tRecv.size() < dwSize)
            break;
        uint8_t ucResult = inout_ptA->tRecv[11];
        inout_ptA->tRecv.erase(inout_ptA->tRecv.begin(), inout_ptA->tRecv.begin() + dwSize);
        inout_ptA->iAnswers++;
        if (!inout_ptAttack->bGuess) {
            inout_ptA->iState = PR_HOLDING; /* the token: now just hold the connection */
            continue;
        }
        inout_ptAttack->pOut->qwAnswered++;
        inout_ptAttack->pOut->qwHits += ucResult != 6;
        if (inout_ptA->iQuotes >= PR_QUOTES_PER_CONN)
            return PR_READ_DONE; /* the next guesses go on a fresh connection */
        if (!PR_SendNext(inout_ptAttack, inout_ptA, inout_tRng))
            return PR_READ_ENDED;
    }
    return PR_READ_GOES_ON;
}

/* The attacker loop: keeps iAttackers connections busy until the deadline. */
static void PR_AttackLoop(PR_ATTACK *inout_ptAttack, int32_t in_iAttackers, int64_t in_iEndMs)
{
    const _VXQ_S_SOAK_RUN *pRun = inout_ptAttack->pRun;
    _VXQ_S_SOAK_ATTACK *pOut = inout_ptAttack->pOut;
    std::mt19937 tRng(pRun->pOpts->dwSeed ^ (inout_ptAttack->bGuess ? 0x6E55u : 0x10C0u));
    std::vector<PR_ATTACKER> tAll((size_t)in_iAttackers);
    std::vector<struct pollfd> tPoll((size_t)in_iAttackers);
    for (PR_ATTACKER &a : tAll)
        a.iSock = -1, PR_Close(&a);
    while (VXQ_F_SOAK_NowMs() < in_iEndMs && !pRun->bStop.load()) {
        for (size_t i = 0; i < tAll.size(); i++) {
            PR_ATTACKER &a = tAll[i];
            if (a.iState == PR_IDLE) {
                a.iSock = PR_StartConnect(pRun, PR_SourceAddr(tRng));
                if (a.iSock < 0) {
                    pOut->qwConnectFails++;
                } else {
                    a.iState = PR_CONNECTING;
                    pOut->qwConnects++;
                }
            }
            tPoll[i].fd = a.iSock;
            tPoll[i].events = a.iState == PR_CONNECTING ? POLLOUT : POLLIN;
            tPoll[i].revents = 0;
        }
        if (poll(tPoll.data(), tPoll.size(), 50) < 0 && errno != EINTR)
            break;
        for (size_t i = 0; i < tAll.size(); i++) {
            PR_ATTACKER &a = tAll[i];
            if (a.iSock < 0 || tPoll[i].revents == 0)
                continue;
            if (a.iState == PR_CONNECTING) {
                int iErr = 0;
                socklen_t iLen = sizeof(iErr);
                getsockopt(a.iSock, SOL_SOCKET, SO_ERROR, &iErr, &iLen);
                if (iErr != 0 || !PR_SendNext(inout_ptAttack, &a, tRng)) {
                    pOut->qwConnectFails++;
                    PR_Close(&a);
                    continue;
                }
                a.iState = PR_WAITING;
                continue;
            }
            int iRead = PR_Read(inout_ptAttack, &a, tRng);
            if (iRead == PR_READ_GOES_ON)
                continue;
            if (iRead == PR_READ_ENDED) {
                /* Closed by the device. A guess it left unanswered was never
                 * looked at: the connection gave way to a newer one, or its
                 * login was overdue, while the guess waited for credit. */
                pOut->qwDropped++;
                if (inout_ptAttack->bGuess && a.iQuotes > a.iAnswers)
                    pOut->qwUnanswered++;
            }
            PR_Close(&a);
        }
    }
    for (PR_ATTACKER &a : tAll)
        PR_Close(&a);
}

/* The legitimate client's session and live view on channel 0 from 127.0.0.1,
 * kept for the whole attack: heartbeats every 5 s on one thread, frames read
 * on another. */
typedef struct {
    _VXQ_S_CLI_LINK tCmd;
    _VXQ_S_CLI_LINK tMedia;
    uint32_t dwLoginId;
    std::atomic<int32_t> bEnd{0};
} PR_LEGIT;

/* Logs in and opens the live view; out_psWhy names a failure. The time it
 * took (connect to first frame) in *out_piMs. */
static int PR_LegitStart(const _VXQ_S_SOAK_RUN *in_ptRun, PR_LEGIT *inout_ptLegit, int in_iTimeoutMs,
                         int64_t *out_piMs, std::string *out_psWhy)
{
    const _VXQ_S_SOAK_OPTS *pOpts = in_ptRun->pOpts;
    int64_t iStart = VXQ_F_SOAK_NowMs();
    VXQ_F_CLI_Init(&inout_ptLegit->tCmd);
    VXQ_F_CLI_Init(&inout_ptLegit->tMedia);
    std::string sToken;
    uint8_t ucResult = 0xFF, ucMode = 0;
    _VXQ_S_CLI_LOGIN_INFO tInfo;
    if (!VXQ_F_CLI_Connect(&inout_ptLegit->tCmd, pOpts->sHost, in_ptRun->usPort, in_iTimeoutMs) ||
        !VXQ_F_CLI_GetToken(&inout_ptLegit->tCmd, &sToken, &ucResult, &ucMode) || ucResult != 0 ||
        !VXQ_F_CLI_Login(&inout_ptLegit->tCmd, pOpts->sUser, pOpts->sPassword, sToken, &ucResult, &tInfo) ||
        ucResult != 0) {
        *out_psWhy = "login: " + VXQ_F_CLI_ErrorText(&inout_ptLegit->tCmd);
        return 0;
    }
    inout_ptLegit->dwLoginId = tInfo.dwLoginId;
    Bytes tAnswer;
    uint32_t dwMediaId = 0;
    if (!VXQ_F_CLI_Connect(&inout_ptLegit->tMedia, pOpts->sHost, in_ptRun->usPort, in_iTimeoutMs) ||
        !VXQ_F_CLI_Call(&inout_ptLegit->tMedia,
                        VXQ_F_CLI_BuildExRealplayOpen(VXQ_F_CLI_NextTransNo(&inout_ptLegit->tMedia),
                                                      tInfo.dwLoginId, 0, 1, 0),
                        tAnswer, in_iTimeoutMs) ||
        VXQ_F_CLI_Result(tAnswer) != 0 || !VXQ_F_CLI_ParseExRealplayOpen(tAnswer.data(), tAnswer.size(), &dwMediaId)) {
        *out_psWhy = "live view open: " + (tAnswer.empty() ? VXQ_F_CLI_ErrorText(&inout_ptLegit->tMedia)
                                                           : VXQ_F_CLI_ResultText(VXQ_F_CLI_Result(tAnswer)));
        return 0;
    }
    /* Live view has started when its first frame is here. */
    Bytes tFrame;
    _VXQ_S_CLI_MEDIA_HEAD tHead;
    int64_t iEnd = iStart + in_iTimeoutMs;
    while (VXQ_F_SOAK_NowMs() < iEnd) {
        if (VXQ_F_CLI_ReadMsg(&inout_ptLegit->tMedia, tFrame, 100) &&
            VXQ_F_CLI_ParseFrame(tFrame.data(), tFrame.size(), &tHead)) {
            *out_piMs = VXQ_F_SOAK_NowMs() - iStart;
            return 1;
        }
        if (inout_ptLegit->tMedia.bPeerClosed)
            break;
    }
    *out_psWhy = "no frame";
    return 0;
}

static void PR_LegitStop(PR_LEGIT *inout_ptLegit)
{
    Bytes tAnswer;
    if (inout_ptLegit->tCmd.iSock >= 0)
        VXQ_F_CLI_Call(&inout_ptLegit->tCmd, VXQ_F_CLI_BuildLogout(VXQ_F_CLI_NextTransNo(&inout_ptLegit->tCmd)), tAnswer,
                       2000);
    VXQ_F_CLI_Close(&inout_ptLegit->tMedia);
    VXQ_F_CLI_Close(&inout_ptLegit->tCmd);
}

/* Watches the kept session until told to end: heartbeat answer times and the
 * longest pause between frames. */
static void PR_LegitWatch(PR_LEGIT *inout_ptLegit, _VXQ_S_SOAK_ATTACK *inout_ptOut)
{
    std::thread tBeats([&] {
        int64_t iNext = VXQ_F_SOAK_NowMs() + 5000;
        while (!inout_ptLegit->bEnd.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (VXQ_F_SOAK_NowMs() < iNext)
                continue;
            iNext += 5000;
            Bytes tAnswer;
            int64_t iSent = VXQ_F_SOAK_NowMs();
            if (!VXQ_F_CLI_Call(&inout_ptLegit->tCmd, VXQ_F_CLI_BuildHeartbeat(VXQ_F_CLI_NextTransNo(&inout_ptLegit->tCmd)),
                                tAnswer, 5000)) {
                inout_ptOut->bLegitLost = 1;
                return;
            }
            inout_ptOut->iLegitBeatMaxMs = std::max(inout_ptOut->iLegitBeatMaxMs, VXQ_F_SOAK_NowMs() - iSent);
        }
    });
    int64_t iLast = VXQ_F_SOAK_NowMs();
    Bytes tFrame;
    _VXQ_S_CLI_MEDIA_HEAD tHead;
    while (!inout_ptLegit->bEnd.load() && !inout_ptLegit->tMedia.bPeerClosed) {
        if (!VXQ_F_CLI_ReadMsg(&inout_ptLegit->tMedia, tFrame, 200) ||
            !VXQ_F_CLI_ParseFrame(tFrame.data(), tFrame.size(), &tHead))
            continue;
        int64_t iNow = VXQ_F_SOAK_NowMs();
        inout_ptOut->iLegitFrameGapMs = std::max(inout_ptOut->iLegitFrameGapMs, iNow - iLast);
        iLast = iNow;
        inout_ptOut->qwLegitFrames++;
    }
    if (inout_ptLegit->tMedia.bPeerClosed)
        inout_ptOut->bLegitLost = 1;
    tBeats.join();
}

int VXQ_F_SOAK_Attack(const _VXQ_S_SOAK_RUN *in_ptRun, int in_bGuess, int32_t in_iSeconds, int32_t in_iAttackers,
                      _VXQ_S_SOAK_ATTACK *out_ptAttack)
{
    PR_RaiseFdLimit();
    PR_ATTACK tAttack;
    memset(&tAttack, 0, sizeof(tAttack));
    tAttack.pRun = in_ptRun;
    tAttack.bGuess = in_bGuess;
    tAttack.pOut = out_ptAttack;
    out_ptAttack->iAttackers = in_iAttackers;
    PR_LEGIT tKept;
    int64_t iMs = 0;
    /* The guessing runs beside a kept session and live view; the lock-out
     * beside a client that logs in and starts a live view again and again. */
    if (in_bGuess) {
        if (!PR_LegitStart(in_ptRun, &tKept, 5000, &iMs, &out_ptAttack->sLegitWhy)) {
            PR_LegitStop(&tKept);
            return 0;
        }
        tAttack.dwAvoid[0] = tKept.dwLoginId;
    }
    int64_t iStart = VXQ_F_SOAK_NowMs();
    int64_t iEnd = iStart + (int64_t)in_iSeconds * 1000;
    std::thread tAttackers(PR_AttackLoop, &tAttack, in_iAttackers, iEnd);
    if (in_bGuess) {
        std::thread tWatch(PR_LegitWatch, &tKept, out_ptAttack);
        while (VXQ_F_SOAK_NowMs() < iEnd && !in_ptRun->bStop.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        tKept.bEnd = 1;
        tWatch.join();
        PR_LegitStop(&tKept);
    } else {
        /* Let the attackers fill the table first. */
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        while (VXQ_F_SOAK_NowMs() < iEnd - 2000 && !in_ptRun->bStop.load()) {
            PR_LEGIT tTry;
            std::string sWhy;
            int64_t iTook = 0;
            if (PR_LegitStart(in_ptRun, &tTry, 5000, &iTook, &sWhy)) {
                out_ptAttack->tLegitMs.push_back(iTook);
            } else {
                out_ptAttack->tLegitMs.push_back(-1);
                out_ptAttack->sLegitWhy = sWhy;
            }
            PR_LegitStop(&tTry);
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        }
    }
    tAttackers.join();
    out_ptAttack->fSeconds = (VXQ_F_SOAK_NowMs() - iStart) / 1000.0;
    return 1;
}
