/*
 * ops/functab.h - the table of every function id the service knows.
 *
 * One line per UMSP function id (core/functab.h says what a line holds), plus
 * the lines of host orders that answer no message. The table is constant; the
 * service installs it in each instance's hook record at start, and the
 * dispatchers below reach it only through that record.
 */
#ifndef VXQ_OPS_FUNCTAB_H
#define VXQ_OPS_FUNCTAB_H

#include "core/functab.h"
#include "core/hooks.h"

#ifdef __cplusplus
extern "C" {
#endif

extern const _VXQ_S_DPS_FUNC_TABLE g_tDpsFuncTable;

/* Makes an instance work with g_tDpsFuncTable (the hook record's pFuncTable)
 * and registers the release and per-second hooks of the families in ops/, in
 * their fixed order. Before the control thread runs. */
void VXQ_F_DPS_MW_FuncTable_Install(_VXQ_S_DPS_HOOKS *inout_pHooks);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_OPS_FUNCTAB_H */
