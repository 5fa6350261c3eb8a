/*
 * core/pending.h - operations of other modules that the service core calls.
 *
 * The core releases connections, supervises talks and drives the management
 * socket through operations that belong to the media, operation-family and
 * management modules. Their declarations live here until each owner's header
 * lands; core/pending.cpp holds stand-in definitions that do nothing (or the
 * least that keeps the core sound). An owner landing the real function deletes
 * its declaration here and its stand-in in core/pending.cpp in the same commit
 * (a duplicate definition fails the link, so none can be forgotten).
 *
 * Control thread only, like their callers.
 */
#ifndef VXQ_CORE_PENDING_H
#define VXQ_CORE_PENDING_H

#include "core/conn.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ops/: notices the core raises when it releases a connection or a talk. */
int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_TALK_STOP(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwTransId,
                                                 int32_t in_iTalkChNo);
int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_CLOSE(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwTransId,
                                                  uint32_t in_dwFileId);
int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_UNGUARD(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwTransId);
/* ops/: deletes the talk connection (if it still exists) and clears the talk record. */
int VXQ_F_DPS_MC_CloseTalk(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_TALK_CH_DATA *inout_pTalk);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_CORE_PENDING_H */
