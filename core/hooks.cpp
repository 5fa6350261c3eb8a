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

/* One list's registration: the next slot of fnList (counted by iNum) takes the hook. */
#define PR_ADD_HOOK(in_pHooks, fnList, iNum, in_fnHook)                                                      \
    do {                                                                                                     \
        int32_t i =                                                                                          \
            (in_pHooks) != NULL ? PR_NextSlot(&(in_pHooks)->iNum, (in_fnHook) != NULL, __func__) : -1;       \
        if (i < 0)                                                                                           \
            return 0;                                                                                        \
        (in_pHooks)->fnList[i] = (in_fnHook);                                                                \
        return 1;                                                                                            \
    } while (0)

int VXQ_F_DPS_MC_Hooks_AddConnGone(_VXQ_S_DPS_HOOKS *inout_pHooks, VXQ_PF_DPS_CONN_HOOK in_fnHook)
{
    PR_ADD_HOOK(inout_pHooks, fnConnGone, iConnGoneNum, in_fnHook);
}

int VXQ_F_DPS_MC_Hooks_AddConnSecond(_VXQ_S_DPS_HOOKS *inout_pHooks, VXQ_PF_DPS_CONN_HOOK in_fnHook)
{
    PR_ADD_HOOK(inout_pHooks, fnConnSecond, iConnSecondNum, in_fnHook);
}

int VXQ_F_DPS_MC_Hooks_AddSecond(_VXQ_S_DPS_HOOKS *inout_pHooks, VXQ_PF_DPS_DUTY_HOOK in_fnHook)
{
    PR_ADD_HOOK(inout_pHooks, fnSecond, iSecondNum, in_fnHook);
}

int VXQ_F_DPS_MC_Hooks_AddTick(_VXQ_S_DPS_HOOKS *inout_pHooks, VXQ_PF_DPS_DUTY_HOOK in_fnHook)
{
    PR_ADD_HOOK(inout_pHooks, fnTick, iTickNum, in_fnHook);
}
