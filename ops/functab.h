/*
 * ops/functab.h - the table of every function id the service knows.
 *
 * One line per UMSP function id (core/functab.h says what a line holds), plus
 * the lines of host orders that answer no message. The table is constant; the
 * service installs it in each instance at start, and the dispatchers below
 * reach it only through the instance.
 */
#ifndef VXQ_OPS_FUNCTAB_H
#define VXQ_OPS_FUNCTAB_H

#include "core/functab.h"
#include "core/instance.h"

#ifdef __cplusplus
extern "C" {
#endif

extern const _VXQ_S_DPS_FUNC_TABLE g_tDpsFuncTable;

/* Makes the instance work with g_tDpsFuncTable. Before the control thread runs. */
void VXQ_F_DPS_MW_InstallFuncTable(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_OPS_FUNCTAB_H */
