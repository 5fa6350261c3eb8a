/*
 * vxq_sockwrap.h - IPv4 socket wrappers with uniform results.
 *
 * Owns nothing beyond the descriptors it creates and hands to the caller (who
 * closes them with VXQ_F_SYS_SOCKET_Close). Any thread may call every function;
 * a descriptor must not be used by two threads at once. Addresses are dotted
 * IPv4 text (an output address buffer holds at least 16 bytes), ports are
 * 16-bit numbers in host order.
 *
 * Conventions: results 1 = success, 0 = failure unless a function says it
 * returns a code (0 = success) or a count. A failure text is written into the
 * caller's buffer cut to in_iErrInfoSize - 1 characters plus a zero; a null
 * buffer gets nothing. Nothing here logs: callers decide.
 * Receive state: 1 no data now, 0 peer closed or reset, -1 other error,
 * 2 wait timed out. Send state: 0 all sent, -1 try again later, -2 hard failure.
 * Sends are cut into pieces of at most VXQ_SYS_SOCKET_SEND_PIECE bytes.
 */
#ifndef VXQ_SOCKWRAP_H
#define VXQ_SOCKWRAP_H

#include "vxq_base.h"

VXQ_EXTERN_C_BEGIN

/* Largest piece handed to one send call. */
#define VXQ_SYS_SOCKET_SEND_PIECE 1460

/* One dotted IPv4 address, zero-terminated at the start, the rest zero. */
typedef struct _VXQ_S_SYS_IPADDR {
    char szIpaddr[32];
} _VXQ_S_SYS_IPADDR;

/* Up to 8 addresses and the count of valid entries. */
typedef struct _VXQ_S_SYS_IPADDR_TABLE {
    _VXQ_S_SYS_IPADDR tIpaddr[8];
    int32_t iIpaddrNum;
} _VXQ_S_SYS_IPADDR_TABLE;

/* Ignores the broken-pipe signal so that writing to a closed peer fails
 * instead of ending the process. Returns 1. */
VXQ_API int VXQ_F_SYS_SOCKET_InitSocketLib(void);
/* Nothing to undo; returns 1. */
VXQ_API int VXQ_F_SYS_SOCKET_UninitSocketLib(void);

/* A datagram socket when in_bUdp is nonzero, else a stream socket; the descriptor or -1. */
VXQ_API int VXQ_F_SYS_SOCKET_Create(int in_bUdp);
/* Closes a descriptor (a negative one is ignored). */
VXQ_API int VXQ_F_SYS_SOCKET_Close(int in_iSocket);
/* Address reuse on, then binds to in_pIpaddr (null = any) and in_usPort (0 = system's choice). */
VXQ_API int VXQ_F_SYS_SOCKET_Bind(int in_iSocket, const char *in_pIpaddr, uint16_t in_usPort);
/* Nonzero in_bBlock = blocking, 0 = non-blocking. Returns 1. */
VXQ_API int VXQ_F_SYS_SOCKET_SetBlockMode(int in_iSocket, int in_bBlock);
/* Sets or clears the broadcast permission. Returns 1. */
VXQ_API int VXQ_F_SYS_SOCKET_SetBroadcastParam(int in_iSocket, int in_bOn);
/* Kernel send and receive buffer sizes in bytes. */
VXQ_API int VXQ_F_SYS_SOCKET_SetSendBufSize(int in_iSocket, int in_iBytes);
VXQ_API int VXQ_F_SYS_SOCKET_SetRecvBufSize(int in_iSocket, int in_iBytes);
/* Listens with the largest backlog the system allows (SOMAXCONN, capped by the
 * kernel): connections beyond those accepted so far wait in the kernel. */
VXQ_API int VXQ_F_SYS_SOCKET_Listen(int in_iSocket);
/* The new descriptor or -1; fills the peer's address (16 bytes) and port when asked. */
VXQ_API int VXQ_F_SYS_SOCKET_Accept(int in_iSocket, char *out_pIpaddr, uint16_t *out_pPort);
/* The bound and the peer address of a socket. */
VXQ_API int VXQ_F_SYS_SOCKET_GetSocketLocalAddr(int in_iSocket, char *out_pIpaddr, uint16_t *out_pPort);
VXQ_API int VXQ_F_SYS_SOCKET_GetSocketPeerAddr(int in_iSocket, char *out_pIpaddr, uint16_t *out_pPort);

/* Starts a connection; in_iTimeoutMs < 1 returns 1 once started, otherwise
 * waits that long and returns 1 only when the connection is set up. */
VXQ_API int VXQ_F_SYS_SOCKET_Connect(int in_iSocket, const char *in_pIpaddr, uint16_t in_usPort,
                                     int in_iTimeoutMs);
/* Starts a connection: 1 when it completed or is in progress. */
VXQ_API int VXQ_F_SYS_SOCKET_StartConnect(int in_iSocket, const char *in_pIpaddr, uint16_t in_usPort);
/* Waits up to in_iTimeoutMs (below 1: looks without waiting) for a started
 * connection: 0 connected, 1 not yet, 2 failed. */
VXQ_API int VXQ_F_SYS_SOCKET_CheckConnectResult(int in_iSocket, int in_iTimeoutMs);

/* One receive of at most *inout_pRecvDataLen bytes: 1 with the count in
 * *inout_pRecvDataLen, else 0 with the receive state and text. */
VXQ_API int VXQ_F_SYS_SOCKET_Recv(int in_iSocket, char *out_pRecvDataBuf, int *inout_pRecvDataLen,
                                  int *out_pState, char *out_pErrInfo, int in_iErrInfoSize);
/* One send call: 1 when all of *inout_pSendDataLen went out; else 0 with the
 * bytes sent in *inout_pSendDataLen and the send state and text. */
VXQ_API int VXQ_F_SYS_SOCKET_SendEx(int in_iSocket, const char *in_pSendDataBuf, int *inout_pSendDataLen,
                                    int *out_pState, char *out_pErrInfo, int in_iErrInfoSize);
/* Waits up to in_iTimeoutMs (when > 0) for data, then VXQ_F_SYS_SOCKET_Recv. */
VXQ_API int VXQ_F_SYS_SOCKET_WaitRecv(int in_iSocket, char *out_pRecvDataBuf, int *inout_pRecvDataLen,
                                      int *out_pState, char *out_pErrInfo, int in_iErrInfoSize,
                                      int in_iTimeoutMs);
/* Sends all in_iSendDataLen bytes in pieces, waiting up to in_iTimeoutMs for
 * room before each piece; 1 when all went out. out_pState is required. */
VXQ_API int VXQ_F_SYS_SOCKET_WaitSend(int in_iSocket, const char *in_pSendDataBuf, int in_iSendDataLen,
                                      int *out_pState, char *out_pErrInfo, int in_iErrInfoSize,
                                      int in_iTimeoutMs);
/* Sends what the socket takes now; on return *inout_pSendDataLen is the unsent
 * count and the unsent bytes start the buffer. 1 when all went out. */
VXQ_API int VXQ_F_SYS_SOCKET_SendSpecDataBuf(int in_iSocket, char *inout_pSendDataBuf,
                                             int *inout_pSendDataLen, int *out_pState,
                                             char *out_pErrInfo, int in_iErrInfoSize);
/* Sends pieces until done or the first failure: the bytes sent, or -1 after a hard failure. */
VXQ_API int VXQ_F_SYS_SOCKET_TcpSendData_SendSpecDataBuf(int in_iSocket, const char *in_pSendDataBuf,
                                                         int in_iSendDataLen, char *out_pErrInfo,
                                                         int in_iErrInfoSize);

/* One datagram of at most *inout_pRecvDataLen bytes with its sender. */
VXQ_API int VXQ_F_SYS_SOCKET_RecvFrom(int in_iSocket, char *out_pRecvDataBuf, int *inout_pRecvDataLen,
                                      char *out_pIpaddr, uint16_t *out_pPort, char *out_pErrInfo,
                                      int in_iErrInfoSize);
/* One datagram to in_pIpaddr:in_usPort; state 0 on success. */
VXQ_API int VXQ_F_SYS_SOCKET_SendTo(int in_iSocket, const char *in_pSendDataBuf, int in_iSendDataLen,
                                    const char *in_pIpaddr, uint16_t in_usPort, int *out_pState,
                                    char *out_pErrInfo, int in_iErrInfoSize);
/* SendTo and RecvFrom after a readiness wait of up to in_iTimeoutMs (when > 0). */
VXQ_API int VXQ_F_SYS_SOCKET_SendTo_WaitSend(int in_iSocket, const char *in_pSendDataBuf,
                                             int in_iSendDataLen, const char *in_pIpaddr,
                                             uint16_t in_usPort, int *out_pState, char *out_pErrInfo,
                                             int in_iErrInfoSize, int in_iTimeoutMs);
VXQ_API int VXQ_F_SYS_SOCKET_RecvFrom_WaitRecv(int in_iSocket, char *out_pRecvDataBuf,
                                               int *inout_pRecvDataLen, char *out_pIpaddr,
                                               uint16_t *out_pPort, char *out_pErrInfo,
                                               int in_iErrInfoSize, int in_iTimeoutMs);
/* Sends the buffer as datagrams of at most one piece each; the unsent rest is
 * kept at the buffer start with its count. 1 when all went out. */
VXQ_API int VXQ_F_SYS_SOCKET_SendUdpSpecDataBuf(int in_iSocket, const char *in_pIpaddr, uint16_t in_usPort,
                                                char *inout_pSendDataBuf, int *inout_pSendDataLen,
                                                int *out_pState, char *out_pErrInfo, int in_iErrInfoSize);
/* As above without keeping the rest: the bytes sent, or -1 after a hard failure. */
VXQ_API int VXQ_F_SYS_SOCKET_UdpSendData_SendSpecDataBuf(int in_iSocket, const char *in_pIpaddr,
                                                         uint16_t in_usPort, const char *in_pSendDataBuf,
                                                         int in_iSendDataLen, char *out_pErrInfo,
                                                         int in_iErrInfoSize);
/* One datagram to 255.255.255.255:in_usPort from a socket of its own. */
VXQ_API int VXQ_F_SYS_SOCKET_SendBroadcastMsg(uint16_t in_usPort, const char *in_pSendDataBuf,
                                              int in_iSendDataLen);

/* 1 if the text is a dotted IPv4 address other than 255.255.255.255. */
VXQ_API int VXQ_F_SYS_SOCKET_CheckIpaddr(const char *in_pIpaddr);
/* Code 0 with the dotted address of in_pHost (copied when already dotted);
 * 2 not resolved, 3 no address, 4 not convertible, 1 bad argument. */
VXQ_API int VXQ_F_SYS_SOCKET_GetNetIpAddr(const char *in_pHost, char *out_pIpaddr);
/* As above, one of several addresses chosen at random; 2 not resolved, 3 not
 * an IPv4 name, 4 no address, 6 not convertible, 7 empty result, 1 bad argument. */
VXQ_API int VXQ_F_SYS_SOCKET_GetRandomNetIpAddr(const char *in_pHost, char *out_pIpaddr);
/* Code 0 with a malloc'ed array of every address (the caller free()s it, or
 * calls VXQ_F_SYS_SOCKET_FreeIpAddrTable); 99 null outputs, 2 not resolved,
 * 3 not IPv4, 4 no address, 5 allocation failed, 6 not convertible. */
VXQ_API int VXQ_F_SYS_SOCKET_GetDomainIpAddrTable(const char *in_pHost, _VXQ_S_SYS_IPADDR **out_ppTable,
                                                  int *out_pCount);
/* Frees an array from VXQ_F_SYS_SOCKET_GetDomainIpAddrTable and stores null. */
VXQ_API void VXQ_F_SYS_SOCKET_FreeIpAddrTable(_VXQ_S_SYS_IPADDR **inout_ppTable);
/* Appends every IPv4 interface address except 127.0.0.1 (at most 8 in all)
 * from the current count on. Code 0; 1 bad table, 2 socket failed, 3 query failed. */
VXQ_API int VXQ_F_SYS_SOCKET_QueryLocalIpaddrTable(_VXQ_S_SYS_IPADDR_TABLE *inout_pTable);
/* Writes "XX-XX-XX-XX-XX-XX" (18 bytes) of the interface holding in_pIpaddr.
 * Code 0 (out untouched when no interface holds it); 1 socket failed, 2 list
 * failed, 3 second socket failed, 4 hardware query failed, 5 bad argument. */
VXQ_API int VXQ_F_SYS_SOCKET_QueryAdpMacByIpaddr(const char *in_pIpaddr, char *out_pMac);

VXQ_EXTERN_C_END

#endif /* VXQ_SOCKWRAP_H */
