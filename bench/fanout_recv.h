/*
 * fanout_recv.h - the receiving side of the fan-out benchmark.
 *
 * The receiver runs in its own process (forked before any thread starts), so
 * its reading costs never show in the sending side's getrusage. It gets the
 * viewers' sockets over a SOCK_SEQPACKET control pair (SCM_RIGHTS), reads them
 * with poll, splits each stream into frame messages and timestamps the moment
 * the last byte of a frame arrived (CLOCK_MONOTONIC, shared by both
 * processes). Every frame payload starts with the sequence number of its
 * sub-channel (4 bytes) and the feed time in nanoseconds (8 bytes), written by
 * the sender, so latency and gaps need no other channel.
 *
 * The sender owns the control pair; the receiver owns the sockets it was given
 * and closes them at STOP. A progress page shared by both processes (made
 * before the fork) tells the sender, per sub-channel, how many sequence
 * numbers every connection of that sub-channel has completed; the receiver
 * wakes a sender waiting on it (futex on the shared word), so a sender can
 * keep a bounded window of frames in flight without polling.
 */
#ifndef VXQ_BENCH_FANOUT_RECV_H
#define VXQ_BENCH_FANOUT_RECV_H

#include <stddef.h>
#include <stdint.h>

#include <sys/types.h>

#include <atomic>
#include <vector>

/* Control operations (sender to receiver). */
#define BENCH_OP_START 1 /* fds attached; ack mode in dwArg, sub-channels in dwSubs */
#define BENCH_OP_STOP 2  /* answer with the statistics, close the fds */
#define BENCH_OP_QUIT 3

/* Replies (receiver to sender). */
#define BENCH_REPLY_ACK 1 /* every fd has seen sequence dwSeq (ack mode) */
#define BENCH_REPLY_STATS 2

/* Payload stamp at the start of every frame's data. */
#define BENCH_STAMP_LEN 12

typedef struct _VXQ_S_BENCH_CMD {
    uint32_t dwOp;
    uint32_t dwArg;
    uint32_t dwSubs; /* START: fd number i belongs to sub-channel i % dwSubs (0 counts as 1) */
} _VXQ_S_BENCH_CMD;

/* Most sub-channels the progress page follows. */
#define BENCH_MAX_SUBS 16

/* The shared progress page: aDone[s] is the lowest (last complete sequence
 * number + 1) over the connections of sub-channel s, 0 until each has one;
 * reset at START. A sender that waits raises aWaiting[s] first. */
typedef struct _VXQ_S_BENCH_PROGRESS {
    std::atomic<uint32_t> aDone[BENCH_MAX_SUBS];
    std::atomic<uint32_t> aWaiting[BENCH_MAX_SUBS];
} _VXQ_S_BENCH_PROGRESS;

typedef struct _VXQ_S_BENCH_STATS {
    uint64_t qwBytes;  /* every byte read */
    uint64_t qwFrames; /* complete frame messages */
    uint64_t qwDrops;  /* sequence gaps summed over the connections */
    uint64_t qwVideoI; /* I-frames among them */
    double fP50Ms;
    double fP99Ms;
    double fMaxMs;
    double fCpuSec; /* the receiver's own CPU (user + system) from START to STOP */
} _VXQ_S_BENCH_STATS;

typedef struct _VXQ_S_BENCH_REPLY {
    uint32_t dwType;
    uint32_t dwSeq;
    _VXQ_S_BENCH_STATS tStats;
} _VXQ_S_BENCH_REPLY;

/* Runs the receiver on control socket in_iCtrl until QUIT or a closed pair,
 * publishing progress into in_pProgress (may be null). */
void BENCH_RunReceiver(int in_iCtrl, _VXQ_S_BENCH_PROGRESS *in_pProgress);

/* Sends a command with in_tFds attached (may be empty). 1 sent. */
int BENCH_SendCmd(int in_iCtrl, uint32_t in_dwOp, uint32_t in_dwArg, const std::vector<int> &in_tFds,
                  uint32_t in_dwSubs = 1);

/* Forks the receiver before any thread exists: returns the sender's end of
 * the control pair (or -1) with the child's pid and the shared progress page. */
int BENCH_ForkReceiver(pid_t *out_pPid, _VXQ_S_BENCH_PROGRESS **out_ppProgress);

/* Ends the receiver started by BENCH_ForkReceiver and waits for it. */
void BENCH_QuitReceiver(int in_iCtrl, pid_t in_iPid);

/* Sender side: waits until aDone[in_iSub] >= in_dwWant, at most in_iTimeoutMs.
 * 1 reached, 0 timed out. */
int BENCH_WaitProgress(_VXQ_S_BENCH_PROGRESS *in_pProgress, int in_iSub, uint32_t in_dwWant,
                       int in_iTimeoutMs);

/* Stream state that splits a byte stream into frame messages. */
typedef struct _VXQ_S_BENCH_SPLIT {
    uint8_t aHead[32 + BENCH_STAMP_LEN];
    uint32_t dwHave;   /* bytes of the current message seen */
    uint32_t dwMsgLen; /* its total length, once 8 bytes are in */
} _VXQ_S_BENCH_SPLIT;

typedef void (*BENCH_PF_FRAME)(void *in_pCtx, const uint8_t *in_pHead, uint32_t in_dwMsgLen);
/* Feeds in_nLen stream bytes; calls in_fnFrame for each message completed. */
void BENCH_Split(_VXQ_S_BENCH_SPLIT *inout_pSplit, const uint8_t *in_pData, size_t in_nLen,
                 BENCH_PF_FRAME in_fnFrame, void *in_pCtx);

/* Percentile (0..100) of sorted microsecond samples, in milliseconds. */
double BENCH_PercentileMs(const std::vector<uint32_t> &in_tSorted, double in_fPct);

/* The monotonic clock in nanoseconds. */
uint64_t BENCH_NowNs(void);

#endif
