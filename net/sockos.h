/*
 * sockos.h - the one table of operating-system socket calls.
 *
 * Every socket call the library makes (socket wrappers, select engine, log
 * servers) goes through the table returned by VXQ_F_SOCKOS_Get, never to the
 * C library directly. Tests install a table of their own to make a call take
 * part of a buffer, would-block or fail on the Nth call, then put the default
 * back. The default table holds the plain POSIX functions.
 *
 * Ownership: an installed table belongs to the caller and must stay valid
 * until another one (or null = the default) is installed. Installing is an
 * atomic pointer swap, safe from any thread; tests install while no engine
 * pass is running so that a pass sees one table throughout.
 */
#ifndef VXQ_NET_SOCKOS_H
#define VXQ_NET_SOCKOS_H

#include <poll.h>
#include <stdint.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/types.h>

struct addrinfo;

typedef struct _VXQ_S_SOCKOS_TABLE {
    int (*fnSocket)(int in_iDomain, int in_iType, int in_iProtocol);
    int (*fnBind)(int in_iSocket, const struct sockaddr *in_pAddr, socklen_t in_iAddrLen);
    int (*fnListen)(int in_iSocket, int in_iBacklog);
    int (*fnAccept)(int in_iSocket, struct sockaddr *out_pAddr, socklen_t *inout_pAddrLen);
    int (*fnConnect)(int in_iSocket, const struct sockaddr *in_pAddr, socklen_t in_iAddrLen);
    ssize_t (*fnSend)(int in_iSocket, const void *in_pData, size_t in_nLen, int in_iFlags);
    ssize_t (*fnRecv)(int in_iSocket, void *out_pBuf, size_t in_nLen, int in_iFlags);
    ssize_t (*fnSendTo)(int in_iSocket, const void *in_pData, size_t in_nLen, int in_iFlags,
                        const struct sockaddr *in_pAddr, socklen_t in_iAddrLen);
    ssize_t (*fnRecvFrom)(int in_iSocket, void *out_pBuf, size_t in_nLen, int in_iFlags,
                          struct sockaddr *out_pAddr, socklen_t *inout_pAddrLen);
    int (*fnSelect)(int in_iMaxFdPlus1, fd_set *inout_pRead, fd_set *inout_pWrite,
                    fd_set *inout_pError, struct timeval *inout_pTimeout);
    int (*fnPoll)(struct pollfd *inout_pFds, nfds_t in_nFds, int in_iTimeoutMs);
    int (*fnSetSockOpt)(int in_iSocket, int in_iLevel, int in_iName, const void *in_pValue,
                        socklen_t in_iLen);
    int (*fnGetSockOpt)(int in_iSocket, int in_iLevel, int in_iName, void *out_pValue,
                        socklen_t *inout_pLen);
    /* fcntl with one int argument (F_GETFL / F_SETFL). */
    int (*fnFcntl)(int in_iFd, int in_iCmd, int in_iArg);
    /* ioctl with one pointer argument (SIOCGIFCONF / SIOCGIFHWADDR). */
    int (*fnIoctl)(int in_iFd, unsigned long in_dwRequest, void *inout_pArg);
    int (*fnClose)(int in_iFd);
    int (*fnShutdown)(int in_iSocket, int in_iHow);
    int (*fnGetSockName)(int in_iSocket, struct sockaddr *out_pAddr, socklen_t *inout_pLen);
    int (*fnGetPeerName)(int in_iSocket, struct sockaddr *out_pAddr, socklen_t *inout_pLen);
    int (*fnGetAddrInfo)(const char *in_sHost, const char *in_sService,
                         const struct addrinfo *in_pHints, struct addrinfo **out_ppResult);
    void (*fnFreeAddrInfo)(struct addrinfo *in_pResult);
    /* Gathered send (the engine writes a message head and a shared payload in one call). */
    ssize_t (*fnSendMsg)(int in_iSocket, const struct msghdr *in_pMsg, int in_iFlags);
} _VXQ_S_SOCKOS_TABLE;

/* The table in force; never null. */
const _VXQ_S_SOCKOS_TABLE *VXQ_F_SOCKOS_Get(void);

/* The table of plain POSIX calls; tests copy it and replace single entries. */
const _VXQ_S_SOCKOS_TABLE *VXQ_F_SOCKOS_Default(void);

/* Puts in_pTable in force (null = the default table). Every entry must be set. */
void VXQ_F_SOCKOS_Install(const _VXQ_S_SOCKOS_TABLE *in_pTable);

#endif /* VXQ_NET_SOCKOS_H */
