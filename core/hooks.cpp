/* The hook lists of an instance; see core/hooks.h. */
#include "core/hooks.h"

#include "vxq_log.h"

#include <stdio.h>

/* The slot for one more function of a list of *inout_pNum, or -1 (logged as
 * in_sName) when the list is full or the function is null. */
static int32_t PR_NextSlot(int32_t *inout_pNum, int in_bHook, const char *in_sName)
{
    if (!in_bHook)
        return -1;
    if (*inout_pNum >= VXQ_DPS_HOOK_LIST_MAX) {
        char sText[96];
        snprintf(sText, sizeof(sText), "%s list full.", in_sName);
        VXQ_F_LOG_SR_WriteLog(sText, 2);
        return -1;
    }
    return (*inout_pNum)++;
}

int VXQ_F_DPS_MC_Hooks_AddConnGone(_VXQ_S_DPS_HOOKS *inout_pHooks, VXQ_PF_DPS_CONN_HOOK in_fnHook)
{
    int32_t i = inout_pHooks != NULL ? PR_NextSlot(&inout_pHooks->iConnGoneNum, in_fnHook != NULL, __func__) : -1;
    if (i < 0)
        return 0;
    inout_pHooks->fnConnGone[i] = in_fnHook;
    return 1;
}

int VXQ_F_DPS_MC_Hooks_AddConnSecond(_VXQ_S_DPS_HOOKS *inout_pHooks, VXQ_PF_DPS_CONN_HOOK in_fnHook)
{
    int32_t i = inout_pHooks != NULL ? PR_NextSlot(&inout_pHooks->iConnSecondNum, in_fnHook != NULL, __func__) : -1;
    if (i < 0)
        return 0;
    inout_pHooks->fnConnSecond[i] = in_fnHook;
    return 1;
}

int VXQ_F_DPS_MC_Hooks_AddSecond(_VXQ_S_DPS_HOOKS *inout_pHooks, VXQ_PF_DPS_DUTY_HOOK in_fnHook)
{
    int32_t i = inout_pHooks != NULL ? PR_NextSlot(&inout_pHooks->iSecondNum, in_fnHook != NULL, __func__) : -1;
    if (i < 0)
        return 0;
    inout_pHooks->fnSecond[i] = in_fnHook;
    return 1;
}

int VXQ_F_DPS_MC_Hooks_AddTick(_VXQ_S_DPS_HOOKS *inout_pHooks, VXQ_PF_DPS_DUTY_HOOK in_fnHook)
{
    int32_t i = inout_pHooks != NULL ? PR_NextSlot(&inout_pHooks->iTickNum, in_fnHook != NULL, __func__) : -1;
    if (i < 0)
        return 0;
    inout_pHooks->fnTick[i] = in_fnHook;
    return 1;
}
