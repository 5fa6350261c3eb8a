/*
 * offline_stream.h - a connection's byte stream through the real framing code:
 * engine records (CONNECT, DATA, DISCONNECT) handed to the control thread's
 * record dispatch on an offline instance; answers land in the offline capture.
 * Caller's thread; one test at a time per process.
 */
#ifndef VXQ_TEST_OFFLINE_STREAM_H
#define VXQ_TEST_OFFLINE_STREAM_H

#include "support/offline_link.h"

#include <stdint.h>

#include <vector>

void VXQ_F_OFFLINE_StreamConnect(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwPortId,
                                 const char *in_sPeer = "127.0.0.1");
void VXQ_F_OFFLINE_StreamData(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwPortId,
                              const std::vector<uint8_t> &in_tBytes);
void VXQ_F_OFFLINE_StreamDisconnect(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwPortId);

#endif
