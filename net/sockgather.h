/*
 * sockgather.h - the engine's gathered send: one call writes two pieces.
 *
 * The select engine uses it for an item made of a message head of its own and
 * a payload shared with other sockets' items, so the payload is never copied
 * into a per-socket buffer. It goes through the OS table (net/sockos.h) like
 * every other socket call, never blocks (the engine's sockets are
 * non-blocking) and never raises SIGPIPE. Any thread; no state.
 * The exported wrappers of vxq_sockwrap.h are not affected.
 */
#ifndef VXQ_NET_SOCKGATHER_H
#define VXQ_NET_SOCKGATHER_H

/* Writes in_iFirstLen bytes of in_pFirst then in_iSecondLen bytes of
 * in_pSecond (either length may be 0) with one gathered send. Results as
 * VXQ_F_SYS_SOCKET_SendEx: 1 when all was taken; else 0 with *out_pState -1
 * (would block or partly taken: the bytes taken in *out_pSentLen) or -2 (hard
 * failure, text in out_pErrInfo, *out_pSentLen 0). */
int VXQ_F_SYS_SOCKET_SendGather(int in_iSocket, const char *in_pFirst, int in_iFirstLen, const char *in_pSecond,
                                int in_iSecondLen, int *out_pSentLen, int *out_pState, char *out_pErrInfo,
                                int in_iErrInfoSize);

#endif /* VXQ_NET_SOCKGATHER_H */
