/*
 * vxq_inistore.h - values in INI-style configuration files.
 *
 * Format: section heads "[name]", key lines "key=value", comments from two
 * slashes to the end of the line, lines ended by LF, CR LF or CR. Names, keys
 * and values are trimmed of blanks (not tabs) and compared exactly. The first
 * matching section and, within it, the first matching key win; a section that
 * occurs twice is searched in both places when reading.
 *
 * Every call opens and closes the file itself and keeps nothing between calls.
 * Reading never fails (the caller's default comes back). Writing edits an
 * in-memory image and replaces the file atomically: the new content goes to a
 * temporary file beside it, is flushed to disk and renamed over the old file,
 * so a failure at any step leaves the old file as it was. Callers that share a
 * file between threads serialise their calls; texts are copied, never kept.
 */
#ifndef VXQ_INISTORE_H
#define VXQ_INISTORE_H

#include "vxq_base.h"

VXQ_EXTERN_C_BEGIN

/* Copies the value of in_sKey in in_sSection of in_sFile into out_sValue
 * (out_iSize bytes, zero-terminated). A missing file, section or key, or a
 * value of out_iSize characters or more, gives in_sDefault instead (cut to
 * out_iSize - 1 characters; null counts as empty). Returns 1, or 0 for a null
 * out_sValue or an out_iSize below 1. */
VXQ_API int VXQ_F_CONFIGMG_GetString(const char *in_sSection, const char *in_sKey, const char *in_sDefault,
                                     char *out_sValue, int out_iSize, const char *in_sFile);

/* The value as a decimal integer (a value without leading digits gives 0; a value
 * beyond the int range is clamped), or in_iDefault when missing or longer than 29. */
VXQ_API int VXQ_F_CONFIGMG_GetInt(const char *in_sSection, const char *in_sKey, int in_iDefault,
                                  const char *in_sFile);

/* The value as a floating-point number (a value that is not a number gives 0),
 * or in_fDefault when missing or longer than 49 characters. */
VXQ_API double VXQ_F_CONFIGMG_GetDouble(const char *in_sSection, const char *in_sKey, double in_fDefault,
                                        const char *in_sFile);

/* Sets the value of in_sKey in in_sSection: replaces an existing value in place
 * (blanks and a comment around it stay), or inserts "key=value" after the
 * section's last non-empty line, or appends "\n[section]\nkey=value\n" when the
 * section is missing (also when the file is missing). A value equal to the
 * stored one leaves the file untouched. Returns 1 on success; 0 when an argument
 * is null, the file exists but cannot be read, memory is short, or the new file
 * cannot be written and renamed (the old file then stays as it was). */
VXQ_API int VXQ_F_CONFIGMG_SetString(const char *in_sSection, const char *in_sKey, const char *in_sValue,
                                     const char *in_sFile);

/* VXQ_F_CONFIGMG_SetString with the value formatted as "%d". */
VXQ_API int VXQ_F_CONFIGMG_SetInt(const char *in_sSection, const char *in_sKey, int in_iValue,
                                  const char *in_sFile);

/* VXQ_F_CONFIGMG_SetString with the value formatted as "%f" (six decimals). */
VXQ_API int VXQ_F_CONFIGMG_SetDouble(const char *in_sSection, const char *in_sKey, double in_fValue,
                                     const char *in_sFile);

VXQ_EXTERN_C_END

#endif /* VXQ_INISTORE_H */
