/*
 * Configuration block layouts and their byte-order converter.
 */
#include "wire/cfgblock.h"

#include <stdio.h>
#include <string.h>

#include "wire/head.h"
#include "vxq_log.h"

/* Runs of each layout. A periodic table of 7 x 6 entries is one run of 42
 * fields per field of the entry. */
static const _VXQ_S_DPS_CFG_RUN s_tRuns2[] = {{64, 4, 1, 4}};
static const _VXQ_S_DPS_CFG_RUN s_tRuns3[] = {{64, 4, 1, 4}, {132, 4, 4, 4}, {212, 4, 4, 4}};
static const _VXQ_S_DPS_CFG_RUN s_tRuns4[] = {{96, 4, 2, 4}}; /* inside each entry */
static const _VXQ_S_DPS_CFG_RUN s_tRuns5[] = {{0, 4, 67, 4}};
static const _VXQ_S_DPS_CFG_RUN s_tRuns6[] = {{0, 4, 48, 4}, {192, 12, 42, 4}};
static const _VXQ_S_DPS_CFG_RUN s_tRuns7[] = {{0, 4, 15, 4}, {60, 12, 42, 4}};
static const _VXQ_S_DPS_CFG_RUN s_tRuns8[] = {{0, 4, 2, 4}, {12, 4, 5, 4}, {36, 4, 6, 4}, {60, 12, 42, 4}};
static const _VXQ_S_DPS_CFG_RUN s_tRuns9[] = {{0, 4, 9, 4}, {36, 12, 42, 4}};
static const _VXQ_S_DPS_CFG_RUN s_tRuns20[] = {{0, 2, 2, 2}, {8, 4, 1, 4}};
static const _VXQ_S_DPS_CFG_RUN s_tRuns21[] = {{144, 4, 7, 4}};
static const _VXQ_S_DPS_CFG_RUN s_tRuns22[] = {{0, 4, 1, 4}};
static const _VXQ_S_DPS_CFG_RUN s_tRuns40[] = {{0, 4, 2, 4}};
static const _VXQ_S_DPS_CFG_RUN s_tRuns41[] = {{0, 4, 7, 4}};
static const _VXQ_S_DPS_CFG_RUN s_tRuns50[] = {
    {0, 4, 9, 4}, {36, 20, 42, 4}, {40, 20, 42, 4}, {44, 20, 42, 4}};
static const _VXQ_S_DPS_CFG_RUN s_tRuns51[] = {{0, 4, 8, 4}};
static const _VXQ_S_DPS_CFG_RUN s_tRuns60[] = {{0, 4, 49, 4}};

#define PR_RUNS(runs) (uint8_t)(sizeof(runs) / sizeof(runs[0])), runs

/* Ascending by id. Block sizes are the bytes each layout covers. */
static const _VXQ_S_DPS_CFG_LAYOUT s_tLayouts[] = {
    {1, 0, 0, 0, NULL},
    {2, 68, 0, PR_RUNS(s_tRuns2)},
    {3, 228, 0, PR_RUNS(s_tRuns3)},
    {4, 4, 1, PR_RUNS(s_tRuns4)},
    {5, 268, 0, PR_RUNS(s_tRuns5)},
    {6, 696, 0, PR_RUNS(s_tRuns6)},
    {7, 564, 0, PR_RUNS(s_tRuns7)},
    {8, 564, 0, PR_RUNS(s_tRuns8)},
    {9, 540, 0, PR_RUNS(s_tRuns9)},
    {20, 12, 0, PR_RUNS(s_tRuns20)},
    {21, 172, 0, PR_RUNS(s_tRuns21)},
    {22, 4, 0, PR_RUNS(s_tRuns22)},
    {40, 8, 0, PR_RUNS(s_tRuns40)},
    {41, 28, 0, PR_RUNS(s_tRuns41)},
    {50, 876, 0, PR_RUNS(s_tRuns50)},
    {51, 32, 0, PR_RUNS(s_tRuns51)},
    {60, 196, 0, PR_RUNS(s_tRuns60)},
    {61, 4, 0, PR_RUNS(s_tRuns22)},
};

const _VXQ_S_DPS_CFG_LAYOUT *VXQ_F_DPS_MW_FindConfigLayout(int32_t in_iConfigFuncId)
{
    for (size_t i = 0; i < sizeof(s_tLayouts) / sizeof(s_tLayouts[0]); i++) {
        if (s_tLayouts[i].iConfigFuncId == in_iConfigFuncId)
            return &s_tLayouts[i];
    }
    return NULL;
}

static void PR_Reverse(uint8_t *inout_pucField, uint8_t in_ucWidth)
{
    uint8_t ucTmp = inout_pucField[0];
    inout_pucField[0] = inout_pucField[in_ucWidth - 1];
    inout_pucField[in_ucWidth - 1] = ucTmp;
    if (in_ucWidth == 4) {
        ucTmp = inout_pucField[1];
        inout_pucField[1] = inout_pucField[2];
        inout_pucField[2] = ucTmp;
    }
}

/* Reverses every field of the runs inside the area at inout_pucBase. The
 * caller has checked that the area covers the runs. */
static void PR_ReverseRuns(const _VXQ_S_DPS_CFG_LAYOUT *in_ptLayout, uint8_t *inout_pucBase)
{
    for (uint8_t r = 0; r < in_ptLayout->ucFieldRuns; r++) {
        const _VXQ_S_DPS_CFG_RUN *ptRun = &in_ptLayout->ptRuns[r];
        for (uint16_t i = 0; i < ptRun->usCount; i++)
            PR_Reverse(inout_pucBase + ptRun->dwOffset + (uint32_t)i * ptRun->dwStride, ptRun->ucWidth);
    }
}

/* The host-order entry count of a counted block going to the wire, read on
 * whatever host runs (the block is still in host order). */
static uint32_t PR_HostU32(const uint8_t *in_pucField)
{
    uint32_t dwValue;
    memcpy(&dwValue, in_pucField, sizeof(dwValue));
    return dwValue;
}

/* Checks the id and the length. Returns the layout, or null after the log
 * line when the block must be refused. *out_pbConvert is 0 when the block is
 * acceptable but left unchanged in this direction. */
static const _VXQ_S_DPS_CFG_LAYOUT *PR_Check(int in_iDirection, int32_t in_iConfigFuncId,
                                             const uint8_t *in_pucBlock, int32_t in_iLen, int *out_pbConvert)
{
    *out_pbConvert = 0;
    const _VXQ_S_DPS_CFG_LAYOUT *ptLayout = VXQ_F_DPS_MW_FindConfigLayout(in_iConfigFuncId);
    if (ptLayout == NULL) {
        char sLine[64];
        snprintf(sLine, sizeof(sLine), "Error config function ID: %d.", (int)in_iConfigFuncId);
        VXQ_F_LOG_SR_ShowInfo(sLine);
        return NULL;
    }
    if (ptLayout->bCounted && in_iDirection != VXQ_DPS_CFG_TO_WIRE)
        return ptLayout; /* a counted block from the wire is left as it is */
    if (ptLayout->dwMinSize == 0)
        return ptLayout;
    uint64_t qwNeed = ptLayout->dwMinSize;
    if (in_iLen >= 0 && (uint64_t)in_iLen >= qwNeed && in_pucBlock != NULL && ptLayout->bCounted)
        qwNeed += (uint64_t)PR_HostU32(in_pucBlock) * VXQ_DPS_CFG_COUNTED_ENTRY_SIZE;
    if (in_pucBlock == NULL || in_iLen < 0 || (uint64_t)in_iLen < qwNeed) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MW_TransConfigParamLittleMode in_iLen error.", 2);
        return NULL;
    }
    *out_pbConvert = 1;
    return ptLayout;
}

int VXQ_F_DPS_MW_PR_SwapConfigParam(int in_iDirection, int32_t in_iConfigFuncId, uint8_t *inout_pucBlock,
                                    int32_t in_iLen)
{
    int bConvert = 0;
    const _VXQ_S_DPS_CFG_LAYOUT *ptLayout =
        PR_Check(in_iDirection, in_iConfigFuncId, inout_pucBlock, in_iLen, &bConvert);
    if (ptLayout == NULL)
        return 0;
    if (!bConvert)
        return 1;
    if (!ptLayout->bCounted) {
        PR_ReverseRuns(ptLayout, inout_pucBlock);
        return 1;
    }
    /* Counted block towards the wire: the count is read before it is
     * reversed, and PR_Check has fitted all its entries into the block. */
    uint32_t dwCount = PR_HostU32(inout_pucBlock);
    PR_Reverse(inout_pucBlock, 4);
    for (uint32_t i = 0; i < dwCount; i++)
        PR_ReverseRuns(ptLayout, inout_pucBlock + 4 + i * VXQ_DPS_CFG_COUNTED_ENTRY_SIZE);
    return 1;
}

int VXQ_F_DPS_MW_TransConfigParamLittleMode(int in_iDirection, int32_t in_iConfigFuncId, uint8_t *inout_pucBlock,
                                            int32_t in_iLen)
{
    if (VXQ_F_DPS_MW_IsBigEndianHost())
        return VXQ_F_DPS_MW_PR_SwapConfigParam(in_iDirection, in_iConfigFuncId, inout_pucBlock, in_iLen);
    int bConvert = 0;
    return PR_Check(in_iDirection, in_iConfigFuncId, inout_pucBlock, in_iLen, &bConvert) != NULL ? 1 : 0;
}
