/*
 * inistore.h - the INI store's writer, which names its failure instead of
 * logging it (library internal).
 *
 * The kit sits below the log writer and never logs. VXQ_F_CONFIGMG_StoreString
 * does all that vxq_inistore.h promises of VXQ_F_CONFIGMG_SetString and, when
 * it fails, hands back the text that names the failing argument or step; the
 * exported setters (log/inilog.cpp) write that text to the log at level 2, so a
 * program that only uses the INI store logs exactly what it always did. Any
 * thread may call it; it keeps nothing between calls and copies every text.
 */
#ifndef VXQ_KIT_INISTORE_H
#define VXQ_KIT_INISTORE_H

#include "vxq_inistore.h"

/* VXQ_F_CONFIGMG_SetString without the log line. Returns 1 when the value is
 * stored (or was already); 0 when it is not, with *out_psFailure (if
 * out_psFailure is not null) set to a constant text such as
 * "VXQ_F_CONFIGMG_SetString in_sKey error." and the file left as it was. */
int VXQ_F_CONFIGMG_StoreString(const char *in_sSection, const char *in_sKey, const char *in_sValue,
                               const char *in_sFile, const char **out_psFailure);

#endif /* VXQ_KIT_INISTORE_H */
