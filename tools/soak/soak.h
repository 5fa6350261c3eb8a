/*
 * soak.h - dps-soak: drives a running device service with many concurrent
 * clients doing random work (sessions, live views, slow and stalled readers,
 * downloads, talk, abrupt disconnects, malformed, truncated, oversized and
 * random messages), then checks that the service still answers, that every
 * connection and transaction record went away with the clients, and that the
 * service process's resident memory returned to its level before the run. It
 * also measures how fast a client outside any session can guess login ids.
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

#define VXQ_SOAK_MAX_CLIENTS 128

/* What one run is asked to do (the command line). */
typedef struct _VXQ_S_SOAK_OPTS {
    std::string sHost;        /* device address */
    uint16_t usPort;          /* 0: start a simulator on a free port */
    int32_t iClients;         /* 1..128 */
    int32_t iSeconds;         /* length of the random work */
    int32_t iWarmupSeconds;   /* work before the memory baseline */
    int32_t iGuessSeconds;    /* login id guessing, 0 = none */
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

/* Result of the login id guessing phase. */
typedef struct _VXQ_S_SOAK_GUESS {
    uint64_t qwAttempts;    /* requests quoting a random login id that reached the device */
    uint64_t qwConnections; /* connections used */
    uint64_t qwEvaluated;   /* of them, the ones the device looked up (answered, or the dropping third) */
    uint64_t qwDrops;       /* connections the device closed */
    uint64_t qwHits;        /* evaluated guesses that named a live login id */
    double fLastEvaluatedSec; /* phase time of the last connection with an evaluated guess */
    int32_t iLiveIds;       /* live login ids meanwhile */
    double fSeconds;
} _VXQ_S_SOAK_GUESS;

/* Holds one logged-in session, then guesses login ids from a client outside
 * any session for in_iSeconds, as fast as one connection after the other
 * allows. Returns 1 when it could measure (the session logged in). */
int VXQ_F_SOAK_GuessLoginIds(const _VXQ_S_SOAK_RUN *in_ptRun, int32_t in_iSeconds, _VXQ_S_SOAK_GUESS *out_ptGuess);

#endif
