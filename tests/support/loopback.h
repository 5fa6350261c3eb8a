/*
 * loopback.h - blocking loopback sockets for tests that play the peer: the
 * test closes each descriptor (-1 on failure); ports are the system's; reads have deadlines.
 */
#ifndef VXQ_TEST_LOOPBACK_H
#define VXQ_TEST_LOOPBACK_H

#include <stdint.h>
#include <string>

/* A TCP listener on 127.0.0.1 at a port the system picks (written to out_pPort). */
int LoopbackListen(uint16_t *out_pPort);
/* A blocking TCP client connected to 127.0.0.1:in_usPort. */
int LoopbackConnect(uint16_t in_usPort);
/* A connected pair: out_pClient connected, out_pServer accepted. 1 on success. */
int LoopbackPair(int *out_pClient, int *out_pServer);
/* A UDP socket bound to 127.0.0.1 at a system-chosen port. */
int LoopbackUdp(uint16_t *out_pPort);
/* Reads exactly in_iLen bytes within in_iTimeoutMs; returns what arrived (shorter on time-out or close). */
std::string ReadBytes(int in_iFd, int in_iLen, int in_iTimeoutMs = 5000);
/* 1 when the peer closed (read returns 0 or reset) within in_iTimeoutMs. */
int WaitPeerClosed(int in_iFd, int in_iTimeoutMs = 5000);
/* A pattern of in_iLen bytes starting at in_iSeed, so that order and loss show. */
std::string Pattern(int in_iLen, int in_iSeed = 0);

#endif
