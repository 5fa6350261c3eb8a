/*
 * soak.h - dps-soak: drives a running device service with many concurrent
 * clients doing random work (sessions, live views, slow and stalled readers,
 * downloads, talk, abrupt disconnects, malformed, truncated, oversized and
 * random messages), then checks that the service still answers, that every
 * connection and transaction record went away with the clients, and that the
 * service process's resident memory returned to its level before the run. Two
 * attacks can follow the work: login id guessing and lock-out by connections
 * that never log in, each measured beside a legitimate client at the
 * attackers' address.
 *
 * Threads: main runs the phases; each client is one std::thread that owns its
 * links and its random generator (seeded from --seed and its index, so each
 * client's sequence of actions repeats for a seed). The counters are atomics
 * shared by all clients; the service probe (status lines, resident size) is
 * used by main only. Tool code (C++ allowed): not part of the service library.
 */
#ifndef VXQ_SOAK_SOAK_H
#define VXQ_SOAK_SOAK_H

#include <stdint.h>
#include <sys/types.h>

#include <atomic>
#include <random>
#include <string>
#include <vector>

#define VXQ_SOAK_MAX_CLIENTS 128

/* What one run is asked to do (the command line). */
typedef struct _VXQ_S_SOAK_OPTS {
    std::string sHost;        /* device address */
    uint16_t usPort;          /* 0: start a simulator on a free port */
    int32_t iClients;         /* 1..128 */
    int32_t iSeconds;         /* length of the random work */
    int32_t iWarmupSeconds;   /* work before the memory baseline */
    int32_t iGuessSeconds;    /* login id guessing after the work, 0 = none */
    int32_t iLockoutSeconds;  /* lock-out attack after the work, 0 = none */
    int32_t iAttackers;       /* attacker connections at a time, 0 = the attack's default */
    uint32_t dwSeed;
    int32_t iMarginKb;        /* allowed resident growth over the baseline */
    pid_t iPid;               /* service process of a running device (0: unknown) */
    std::string sStatusFile;  /* where that process writes its status lines */
    std::string sSimExe;      /* dps-sim to start */
    std::string sSimIni;      /* its sample configuration */
    std::string sWorkDir;     /* folder for the started simulator's files */
    std::string sUser;
    std::string sPassword;
    std::string sViewer;      /* a second user with live view and search rights only ("" none) */
    int32_t bVerbose;
} _VXQ_S_SOAK_OPTS;

/* Counters of the whole run; every client adds to them. */
typedef struct _VXQ_S_SOAK_STATS {
    std::atomic<uint64_t> qwActions{0};
    std::atomic<uint64_t> qwConnects{0};        /* TCP connections made */
    std::atomic<uint64_t> qwConnectFails{0};    /* connects refused or timed out */
    std::atomic<uint64_t> qwTurnedAway{0};      /* closed by the device before a first answer (table full) */
    std::atomic<uint64_t> qwRequests{0};        /* requests that expect an answer */
    std::atomic<uint64_t> qwAnswered{0};
    std::atomic<uint64_t> qwRefused{0};         /* answers with a result other than 0 */
    std::atomic<uint64_t> qwNoAnswer{0};        /* requests whose answer did not come in time */
    std::atomic<uint64_t> qwLost{0};            /* requests whose connection ended before the answer */
    std::atomic<uint64_t> qwLogins{0};
    std::atomic<uint64_t> qwLoginFails{0};
    std::atomic<uint64_t> qwLiveOpens{0};
    std::atomic<uint64_t> qwFrames{0};          /* frame messages read by viewers */
    std::atomic<uint64_t> qwFrameBytes{0};
    std::atomic<uint64_t> qwDownloads{0};       /* files opened for download */
    std::atomic<uint64_t> qwDownloadBytes{0};
    std::atomic<uint64_t> qwTalks{0};           /* talks started */
    std::atomic<uint64_t> qwTalkBytes{0};
    std::atomic<uint64_t> qwHostile{0};         /* malformed, truncated, oversized or random sends */
    std::atomic<uint64_t> qwHostileDropped{0};  /* ...after which the device closed the connection */
    std::atomic<uint64_t> qwHostileSurvived{0}; /* ...after which the connection still answered */
    std::atomic<uint64_t> qwAbrupt{0};          /* connections the client cut mid-request */
    std::atomic<uint64_t> qwPeerClosed{0};      /* connections the device closed */
    std::atomic<uint64_t> qwStalled{0};         /* viewers that stopped reading */
    std::atomic<uint64_t> qwSlow{0};            /* viewers that read slowly */
} _VXQ_S_SOAK_STATS;

/* Where the clients go and what they share. */
typedef struct _VXQ_S_SOAK_RUN {
    const _VXQ_S_SOAK_OPTS *pOpts;
    uint16_t usPort;                    /* the device's port */
    std::atomic<int64_t> iDeadlineMs{0}; /* steady-clock ms: no new action starts after it */
    std::atomic<int32_t> bStop{0};      /* set by SIGINT: end as soon as possible */
    _VXQ_S_SOAK_STATS tStats;
    std::string sRecordFlag;            /* a record file flag found at start ("" none) */
} _VXQ_S_SOAK_RUN;

/* What the service holds, as its status line reports it. */
typedef struct _VXQ_S_SOAK_HOLDS {
    int32_t iConnections;
    int32_t iTransactions;
    int32_t iTalks;
    int32_t iSubChannels;
    int32_t iQueuedBytes;
    int32_t iEvents;
} _VXQ_S_SOAK_HOLDS;

/* Milliseconds of the steady clock. */
int64_t VXQ_F_SOAK_NowMs(void);

/* ---- clients.cpp: the random work ---- */

/* Runs client number in_iIndex until the run's deadline: one random action
 * after the other. Never throws; every failure is counted. */
void VXQ_F_SOAK_ClientMain(_VXQ_S_SOAK_RUN *inout_ptRun, int32_t in_iIndex);

/* Finds one record file flag for downloads (empty when the device lists none). */
std::string VXQ_F_SOAK_FindRecord(const _VXQ_S_SOAK_RUN *in_ptRun);

/* ---- probe.cpp: the service from outside ---- */

/* Resident size of process in_iPid in KiB (/proc/<pid>/status VmRSS), -1 when unreadable. */
int64_t VXQ_F_SOAK_RssKb(pid_t in_iPid);

/* Asks process in_iPid for a status line now (SIGUSR1) and reads what it holds
 * from the newest "service holds:" line of in_sStatusFile that appears within
 * in_iTimeoutMs. Returns 1 with out_ptHolds filled. */
int VXQ_F_SOAK_ReadHolds(pid_t in_iPid, const std::string &in_sStatusFile, _VXQ_S_SOAK_HOLDS *out_ptHolds,
                         int in_iTimeoutMs);

/* Connects, asks a token, logs in, sends a heartbeat and logs out: 1 when every
 * step was answered with result 0 within in_iTimeoutMs each. out_psWhy names a failure. */
int VXQ_F_SOAK_FreshLogin(const _VXQ_S_SOAK_RUN *in_ptRun, int in_iTimeoutMs, std::string *out_psWhy);

/* Result of an attack phase (attack.cpp). */
typedef struct _VXQ_S_SOAK_ATTACK {
    int32_t iAttackers = 0;          /* attacker connections kept busy at a time */
    uint64_t qwConnects = 0;         /* attacker connections made */
    uint64_t qwConnectFails = 0;
    uint64_t qwDropped = 0;          /* attacker connections the device closed */
    uint64_t qwQuotes = 0;           /* guessing: login id quotes sent */
    uint64_t qwAnswered = 0;         /* ... answered: each tells whether its id is live */
    uint64_t qwHits = 0;             /* ... answered with a result other than "not logged in" */
    uint64_t qwUnanswered = 0;       /* ... left unanswered on connections the device closed */
    double fSeconds = 0;
    /* The legitimate client at the attackers' address. */
    int32_t bLegitLost = 0;          /* guessing: its session or live view ended */
    int64_t iLegitBeatMaxMs = 0;     /* guessing: slowest heartbeat answer */
    int64_t iLegitFrameGapMs = 0;    /* guessing: longest pause between live frames */
    uint64_t qwLegitFrames = 0;
    std::vector<int64_t> tLegitMs; /* lock-out: each try's time from connect to the first live frame, -1 failed */
    std::string sLegitWhy;       /* the last failure */
} _VXQ_S_SOAK_ATTACK;

/* Runs an attack for in_iSeconds with in_iAttackers connections at a time from
 * many addresses of 127.0.0.0/8 (a quarter of them from 127.0.0.1, the
 * legitimate client's): in_bGuess 1 quotes random login ids (two per
 * connection), beside a session with a live view kept from 127.0.0.1; 0 asks
 * for a token and holds the connection (a new one when the device drops it),
 * beside a client that logs in and starts a live view every second or so.
 * Returns 0 when the kept session could not start. */
int VXQ_F_SOAK_Attack(const _VXQ_S_SOAK_RUN *in_ptRun, int in_bGuess, int32_t in_iSeconds, int32_t in_iAttackers,
                      _VXQ_S_SOAK_ATTACK *out_ptAttack);

#endif
