/*
 * offline_stream.h - a connection's byte stream through the real framing code,
 * without threads, engine or sockets.
 *
 * Builds the engine's event records (CONNECT, DATA, DISCONNECT) and hands them
 * to the control thread's record dispatch on an offline instance
 * (support/offline_link.h), so the connection table, the framing loop and the
 * dispatcher run exactly as on the control thread. Answers land in the
 * offline capture. Caller's thread; one test at a time per process.
 */
#ifndef VXQ_TEST_OFFLINE_STREAM_H
#define VXQ_TEST_OFFLINE_STREAM_H

#include "support/offline_link.h"

#include <stdint.h>

#include <vector>

/* A new connection record for in_dwPortId from in_sPeer (dotted text). */
void VXQ_F_OFFLINE_StreamConnect(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwPortId,
                                 const char *in_sPeer = "127.0.0.1");
/* One DATA record carrying in_tBytes for the connection. */
void VXQ_F_OFFLINE_StreamData(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwPortId,
                              const std::vector<uint8_t> &in_tBytes);
/* The peer closed the connection. */
void VXQ_F_OFFLINE_StreamDisconnect(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwPortId);

#endif
