/*
 * service/service.h - the composition of a service: start, stop, and the
 * families' hooks.
 *
 * The top layer: it alone knows every family. VXQ_F_DPS_StartDevProNetServer
 * (vxq_dps.h) makes the instance, installs the hooks of the session, the
 * admission rules, media, the operation families and the management datagrams
 * into its hook record (core/hooks.h) in one fixed order, and then starts the
 * core; VXQ_F_DPS_StopDevProNetServer stops the core and frees the instance.
 * Whole-system queries that count the records of several layers
 * (VXQ_F_DPS_QueryRunState) live here too.
 *
 * Threads: start and stop run on the host thread that calls them, with the
 * control thread not yet started or already ended; the hooks they install run
 * on the control thread.
 */
#ifndef VXQ_SERVICE_SERVICE_H
#define VXQ_SERVICE_SERVICE_H

#include "core/instance.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Fills the instance's hook record with every family's hooks, in the order
 * the lists run: connection release serial, live view, record files, then
 * talk and guard; per-connection second duty talk supervision; second and
 * 100 ms duties of the admission rules; the message sink of the dispatcher;
 * media's table, send-done and the management datagram and log-line sinks.
 * Call it once on a zeroed record, before the core starts (test rigs that
 * build an instance by hand call it too). */
void VXQ_F_DPS_SVC_InstallFamilies(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_SERVICE_SERVICE_H */
