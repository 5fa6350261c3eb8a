/*
 * maint.cpp - custom messages, remote maintenance and firmware upgrade: the
 * event bodies of the requests, with their "[DEBUG]" request lines.
 *
 * Message buffers stay in wire order (little-endian accessors); event bodies
 * are host-order records (vxq_dps.h).
 */
#include "ops/maint.h"

#include "wire/head.h"
#include "wire/result.h"
#include "vxq_log.h"

#include <string.h>

#define PR_BODY VXQ_DPS_UMSP_HEAD_LEN
#define PR_FIXED_LEN 28 /* custom message and upgrade data piece before their data */

/* The client's function id (body 0) and the length of the data from 28 on. */
int32_t VXQ_F_DPS_MW_BodyCustom(_VXQ_S_DPS_MCSRV_DATA *p, const _VXQ_S_DPS_NET_PORT_DATA *,
                                const uint8_t *in_pMsg, int32_t in_iLength, uint8_t *out_pBody)
{
    _VXQ_S_DPS_E7_CUSTOM tBody;
    tBody.dwCustomFuncId = VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_BODY);
    tBody.iDataLen = in_iLength - PR_FIXED_LEN;
    VXQ_DPS_DEBUG(p->bDebugLog, 0, "[DEBUG]  Custom functions (request): dwCustomFuncId: %u, iDataLen: %d.",
                  (unsigned)tBody.dwCustomFuncId, (int)tBody.iDataLen);
    memcpy(out_pBody, &tBody, sizeof(tBody));
    return (int32_t)sizeof(tBody);
}

int32_t VXQ_F_DPS_MW_BodyAbility(_VXQ_S_DPS_MCSRV_DATA *p, const _VXQ_S_DPS_NET_PORT_DATA *,
                                 const uint8_t *in_pMsg, int32_t, uint8_t *out_pBody)
{
    _VXQ_S_DPS_E7_RMY_QUERY_ABILITY tBody;
    tBody.i_dwAbility = VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_BODY + 4);
    tBody.o_dwValue = 0;
    VXQ_DPS_DEBUG(p->bDebugLog, 0, "[DEBUG]  Query ability (request): i_dwAbility: %u.",
                  (unsigned)tBody.i_dwAbility);
    memcpy(out_pBody, &tBody, sizeof(tBody));
    return (int32_t)sizeof(tBody);
}

/* Reboot and stop carry no body. */
int32_t VXQ_F_DPS_MW_BodyReboot(_VXQ_S_DPS_MCSRV_DATA *p, const _VXQ_S_DPS_NET_PORT_DATA *, const uint8_t *,
                                int32_t, uint8_t *)
{
    VXQ_DPS_DEBUG(p->bDebugLog, 0, "[DEBUG]  Reboot device (request).");
    return 0;
}

int32_t VXQ_F_DPS_MW_BodyStop(_VXQ_S_DPS_MCSRV_DATA *p, const _VXQ_S_DPS_NET_PORT_DATA *, const uint8_t *,
                              int32_t, uint8_t *)
{
    VXQ_DPS_DEBUG(p->bDebugLog, 0, "[DEBUG]  Stop device (request).");
    return 0;
}

/* The version query: a body of zeros the answer fills. */
int32_t VXQ_F_DPS_MW_BodyDevVer(_VXQ_S_DPS_MCSRV_DATA *p, const _VXQ_S_DPS_NET_PORT_DATA *, const uint8_t *,
                                int32_t, uint8_t *out_pBody)
{
    memset(out_pBody, 0, sizeof(_VXQ_S_DPS_E7_DUP_QUERY_DEV_VER_INFO));
    VXQ_DPS_DEBUG(p->bDebugLog, 0, "[DEBUG]  Query device version information (request).");
    return (int32_t)sizeof(_VXQ_S_DPS_E7_DUP_QUERY_DEV_VER_INFO);
}

/* The upgrade announcement: two 16-bit values at body 4 and 6, a 32-bit one at 8. */
int32_t VXQ_F_DPS_MW_BodyReqUpgrade(_VXQ_S_DPS_MCSRV_DATA *p, const _VXQ_S_DPS_NET_PORT_DATA *,
                                    const uint8_t *in_pMsg, int32_t, uint8_t *out_pBody)
{
    _VXQ_S_DPS_E7_DUP_REQU_UPGRADE tBody;
    memset(&tBody, 0, sizeof(tBody));
    tBody.i_usValue1 = VXQ_F_DPS_MW_GetLe16(in_pMsg + PR_BODY + 4);
    tBody.i_usValue2 = VXQ_F_DPS_MW_GetLe16(in_pMsg + PR_BODY + 6);
    tBody.i_dwValue = VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_BODY + 8);
    VXQ_DPS_DEBUG(p->bDebugLog, 0,
                  "[DEBUG]  Request upgrade (request): i_usValue1: %u, i_usValue2: %u, i_dwValue: %u.",
                  (unsigned)tBody.i_usValue1, (unsigned)tBody.i_usValue2, (unsigned)tBody.i_dwValue);
    memcpy(out_pBody, &tBody, sizeof(tBody));
    return (int32_t)sizeof(tBody);
}

/* Progress and position queries: the parameter for the host (body 0; not a login id). */
int32_t VXQ_F_DPS_MW_BodyDupQuery(_VXQ_S_DPS_MCSRV_DATA *p, const _VXQ_S_DPS_NET_PORT_DATA *,
                                  const uint8_t *in_pMsg, int32_t, uint8_t *out_pBody)
{
    _VXQ_S_DPS_E7_DUP_QUERY tBody;
    tBody.i_dwParam = VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_BODY);
    tBody.o_dwValue = 0;
    VXQ_DPS_DEBUG(p->bDebugLog, 0, "[DEBUG]  %s (request): i_dwParam: %u.",
                  VXQ_F_DPS_MW_GetLe16(in_pMsg + VXQ_DPS_UMSP_OFF_FUNC_ID) == PB_DUP_QUERY_PROGRESS
                      ? "Query upgrade progress"
                      : "Query upgrade position",
                  (unsigned)tBody.i_dwParam);
    memcpy(out_pBody, &tBody, sizeof(tBody));
    return (int32_t)sizeof(tBody);
}

/* A data piece: the parameter (body 0) and the length of the data from 28 on. */
int32_t VXQ_F_DPS_MW_BodyUpgradeData(_VXQ_S_DPS_MCSRV_DATA *p, const _VXQ_S_DPS_NET_PORT_DATA *,
                                     const uint8_t *in_pMsg, int32_t in_iLength, uint8_t *out_pBody)
{
    _VXQ_S_DPS_E7_DUP_UPGRADE_DATA tBody;
    tBody.i_dwParam = VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_BODY);
    tBody.i_iDataLen = in_iLength - PR_FIXED_LEN;
    VXQ_DPS_DEBUG(p->bDebugLog, 0, "[DEBUG]  Upgrade data (request): i_dwParam: %u, i_iDataLen: %d.",
                  (unsigned)tBody.i_dwParam, (int)tBody.i_iDataLen);
    memcpy(out_pBody, &tBody, sizeof(tBody));
    return (int32_t)sizeof(tBody);
}

uint8_t VXQ_F_DPS_MW_CheckUpgradeData(const uint8_t *in_pMsg, int32_t in_iLength)
{
    int32_t iDataLen = (int32_t)VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_BODY + 4);
    if (iDataLen > 0 && iDataLen == in_iLength - PR_FIXED_LEN)
        return 0;
    VXQ_F_LOG_SR_ShowInfo("Upgrade data failure, cause: data length error.");
    return VXQ_DPS_UMSP_RESULT_PARAM_ERROR;
}
