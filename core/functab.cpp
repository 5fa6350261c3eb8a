/* Lookups in the instance's table of function ids; see core/functab.h. */
#include "core/functab.h"

#include "core/instance.h"

#include <stddef.h>

const _VXQ_S_DPS_FUNC_LINE *VXQ_F_DPS_MC_FindFuncLine(const _VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData,
                                                      uint16_t in_usMsgFuncId)
{
    const _VXQ_S_DPS_FUNC_TABLE *pTable = in_pMcSrvData != NULL ? in_pMcSrvData->tHooks.pFuncTable : NULL;
    if (pTable == NULL || in_usMsgFuncId == 0)
        return NULL;
    /* Ascending ids; the lines of id 0 at the end count as above every id. */
    int32_t iLow = 0, iHigh = pTable->iLineNum;
    while (iLow < iHigh) {
        int32_t iMid = iLow + (iHigh - iLow) / 2;
        uint32_t dwId = pTable->pLine[iMid].usMsgFuncId;
        if (dwId == in_usMsgFuncId)
            return &pTable->pLine[iMid];
        if (dwId != 0 && dwId < in_usMsgFuncId)
            iLow = iMid + 1;
        else
            iHigh = iMid;
    }
    return NULL;
}

const _VXQ_S_DPS_FUNC_LINE *VXQ_F_DPS_MC_FindOrderLine(const _VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData,
                                                       int32_t in_iOrderId)
{
    const _VXQ_S_DPS_FUNC_TABLE *pTable = in_pMcSrvData != NULL ? in_pMcSrvData->tHooks.pFuncTable : NULL;
    if (pTable == NULL || in_iOrderId == 0)
        return NULL;
    /* From the end: the frames, by far the most frequent orders, are the last lines. */
    for (int32_t i = pTable->iLineNum - 1; i >= 0; i--) {
        if (pTable->pLine[i].iOrderId == in_iOrderId)
            return &pTable->pLine[i];
    }
    return NULL;
}
