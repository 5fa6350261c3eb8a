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
#include "ops/talk_alarm.h" /* talk stop and disarm notices, talk close */

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif

#endif /* VXQ_CORE_PENDING_H */
