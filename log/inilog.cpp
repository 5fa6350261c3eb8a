/* The exported setters of the INI store (vxq_inistore.h). The kit's writer
 * does the work and names a failure (kit/inistore.h); the log writer sits
 * above the kit, so the line for that failure is written here, at level 2. */
#include "kit/inistore.h"
#include "vxq_log.h"

#include <stdio.h>

extern "C" int VXQ_F_CONFIGMG_SetString(const char *in_sSection, const char *in_sKey, const char *in_sValue,
                                        const char *in_sFile)
{
    const char *sFailure = NULL;
    if (VXQ_F_CONFIGMG_StoreString(in_sSection, in_sKey, in_sValue, in_sFile, &sFailure))
        return 1;
    VXQ_F_LOG_SR_WriteLog(sFailure, 2);
    return 0;
}

extern "C" int VXQ_F_CONFIGMG_SetInt(const char *in_sSection, const char *in_sKey, int in_iValue,
                                     const char *in_sFile)
{
    char sValue[32];
    snprintf(sValue, sizeof(sValue), "%d", in_iValue);
    return VXQ_F_CONFIGMG_SetString(in_sSection, in_sKey, sValue, in_sFile);
}

extern "C" int VXQ_F_CONFIGMG_SetDouble(const char *in_sSection, const char *in_sKey, double in_fValue,
                                        const char *in_sFile)
{
    /* "%f" of the largest double needs 316 characters. */
    char sValue[400];
    snprintf(sValue, sizeof(sValue), "%f", in_fValue);
    return VXQ_F_CONFIGMG_SetString(in_sSection, in_sKey, sValue, in_sFile);
}
