/* Admission rules against hostile clients; see protocol/admission.h. */
#include "protocol/admission.h"

#include "protocol/dispatch.h"
#include "wire/head.h"
#include "vxq_clock.h"
#include "vxq_log.h"

#include <stdlib.h>
#include <string.h>

/* Requests whose body starts with a login id that is looked up among all
 * connections (the way media, talk and down connections join a session). */
static const uint16_t s_usQuotingFuncIds[] = {
    P2_REALPLAY_OPEN, P2_PTZ, P2_EX_REALPLAY_OPEN, P3_QUERY_FILE, P3_NSP_QUERY_FILE, P3_DOWNLOAD_OPEN,
    P3_DOWNLOAD_OPEN_BY_TIME, P4_TALK_START, P5_GUARD, P9_GET_CONFIG, P9_SET_CONFIG, P9_GET_DEF_CONFIG,
    P9_IEC_IMP_CONFIG, P9_IEC_EXP_CONFIG,
};

/* The entry of an address in a failure table of VXQ_DPS_LOGIN_FAIL_SLOT_NUM entries, or null. */
static _VXQ_S_DPS_LOGIN_FAIL_DATA *PR_FindIn(_VXQ_S_DPS_LOGIN_FAIL_DATA *in_pTable, const char *in_sPeer)
{
    for (int32_t i = 0; i < VXQ_DPS_LOGIN_FAIL_SLOT_NUM; i++) {
        _VXQ_S_DPS_LOGIN_FAIL_DATA *pFail = &in_pTable[i];
        if (pFail->szPeerIpaddr[0] != '\0' &&
            strncmp(pFail->szPeerIpaddr, in_sPeer, sizeof(pFail->szPeerIpaddr)) == 0)
            return pFail;
    }
    return NULL;
}

/* The login failure entry of an address, or null. */
static _VXQ_S_DPS_LOGIN_FAIL_DATA *PR_FindFail(_VXQ_S_DPS_MCSRV_DATA *p, const char *in_sPeer)
{
    return PR_FindIn(p->tLoginFail, in_sPeer);
}

/* Forgets an entry whose window has passed. */
static void PR_ExpireFail(_VXQ_S_DPS_LOGIN_FAIL_DATA *inout_pFail, int32_t in_tNow)
{
    if (in_tNow - inout_pFail->tFirstFail >= VXQ_DPS_LOGIN_FAIL_WINDOW_SEC || in_tNow < inout_pFail->tFirstFail)
        memset(inout_pFail, 0, sizeof(*inout_pFail));
}

/* Counts one failure of an address in a table: its entry (pFail, null when it
 * has none yet) or a free one, else the one whose window began first. */
static void PR_AddFail(_VXQ_S_DPS_LOGIN_FAIL_DATA *inout_pTable, _VXQ_S_DPS_LOGIN_FAIL_DATA *inout_pFail,
                       const char *in_sPeerIpaddr, int32_t in_tNow)
{
    _VXQ_S_DPS_LOGIN_FAIL_DATA *pFail = inout_pFail;
    if (pFail != NULL)
        PR_ExpireFail(pFail, in_tNow);
    if (pFail == NULL || pFail->szPeerIpaddr[0] == '\0') {
        /* A free slot, else the one whose window began first. */
        if (pFail == NULL) {
            pFail = &inout_pTable[0];
            for (int32_t i = 0; i < VXQ_DPS_LOGIN_FAIL_SLOT_NUM; i++) {
                _VXQ_S_DPS_LOGIN_FAIL_DATA *pSlot = &inout_pTable[i];
                if (pSlot->szPeerIpaddr[0] == '\0') {
                    pFail = pSlot;
                    break;
                }
                if (pSlot->tFirstFail < pFail->tFirstFail)
                    pFail = pSlot;
            }
        }
        memset(pFail, 0, sizeof(*pFail));
        strncpy(pFail->szPeerIpaddr, in_sPeerIpaddr, sizeof(pFail->szPeerIpaddr) - 1);
        pFail->tFirstFail = in_tNow;
    }
    pFail->iFailNum++;
}

int32_t VXQ_F_DPS_MC_ADMIT_LoginDelaySec(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, const char *in_sPeerIpaddr)
{
    _VXQ_S_DPS_LOGIN_FAIL_DATA *pFail;
    int32_t iDelay;
    if (inout_pMcSrvData == NULL || in_sPeerIpaddr == NULL)
        return 0;
    pFail = PR_FindFail(inout_pMcSrvData, in_sPeerIpaddr);
    if (pFail == NULL)
        return 0;
    PR_ExpireFail(pFail, VXQ_F_CLOCK_NowSec());
    iDelay = pFail->iFailNum - VXQ_DPS_LOGIN_FAIL_FREE_NUM + 1;
    if (pFail->iFailNum < VXQ_DPS_LOGIN_FAIL_FREE_NUM || iDelay <= 0)
        return 0;
    return iDelay > VXQ_DPS_LOGIN_DELAY_MAX_SEC ? VXQ_DPS_LOGIN_DELAY_MAX_SEC : iDelay;
}

void VXQ_F_DPS_MC_ADMIT_NoteLogin(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, const char *in_sPeerIpaddr,
                                  int in_bFailed)
{
    _VXQ_S_DPS_LOGIN_FAIL_DATA *pFail;
    int32_t tNow = VXQ_F_CLOCK_NowSec();
    if (inout_pMcSrvData == NULL || in_sPeerIpaddr == NULL || in_sPeerIpaddr[0] == '\0')
        return;
    pFail = PR_FindFail(inout_pMcSrvData, in_sPeerIpaddr);
    if (!in_bFailed) {
        if (pFail != NULL)
            memset(pFail, 0, sizeof(*pFail));
        return;
    }
    PR_AddFail(inout_pMcSrvData->tLoginFail, pFail, in_sPeerIpaddr, tNow);
}

int VXQ_F_DPS_MC_ADMIT_HoldAnswer(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                                  uint8_t *in_pMsg, int32_t in_iLength, int32_t in_iDelaySec)
{
    char *pCopy;
    if (inout_pMcSrvData == NULL || inout_pConn == NULL || in_pMsg == NULL || in_iLength <= 0)
        return 0;
    pCopy = (char *)malloc((size_t)in_iLength);
    if (pCopy == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MC_ADMIT_HoldAnswer malloc fail.", 2);
        VXQ_F_DPS_MW_SendNetAnswer(inout_pMcSrvData, inout_pConn, in_pMsg, in_iLength,
                                   "VXQ_F_DPS_MC_ADMIT_HoldAnswer");
        return 0;
    }
    memcpy(pCopy, in_pMsg, (size_t)in_iLength);
    free(inout_pConn->pDelayRespBuf);
    inout_pConn->pDelayRespBuf = pCopy;
    inout_pConn->iDelayRespLen = in_iLength;
    inout_pConn->tDelayRespDue = VXQ_F_CLOCK_NowSec() + in_iDelaySec;
    VXQ_F_LOG_SR_ShowInfo("Client login answer held back: repeated login failures from this address.");
    return 1;
}

int VXQ_F_DPS_MC_ADMIT_CheckQuotedLoginId(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                          _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, const uint8_t *in_pMsg,
                                          int32_t in_iLength)
{
    uint16_t usFuncId;
    uint32_t dwLoginId;
    int bQuoting = 0;
    int32_t tNow;
    _VXQ_S_DPS_LOGIN_FAIL_DATA *pAddr;
    if (inout_pMcSrvData == NULL || inout_pConn == NULL || in_pMsg == NULL ||
        in_iLength < (int32_t)VXQ_DPS_UMSP_HEAD_LEN + 4)
        return 0;
    usFuncId = VXQ_F_DPS_MW_GetLe16(in_pMsg + VXQ_DPS_UMSP_OFF_FUNC_ID);
    for (size_t i = 0; i < sizeof(s_usQuotingFuncIds) / sizeof(s_usQuotingFuncIds[0]); i++) {
        if (s_usQuotingFuncIds[i] == usFuncId)
            bQuoting = 1;
    }
    dwLoginId = VXQ_F_DPS_MW_GetLe32(in_pMsg + VXQ_DPS_UMSP_HEAD_LEN);
    /* 0 says "not logged in", which guesses nothing. */
    if (!bQuoting || dwLoginId == 0)
        return 0;
    /* An address that keeps guessing gets no answer at all, known id or not, on
     * connections without a login of their own: reconnecting buys it nothing. */
    tNow = VXQ_F_CLOCK_NowSec();
    pAddr = PR_FindIn(inout_pMcSrvData->tQuoteFail, inout_pConn->szPeerIpaddr);
    if (pAddr != NULL)
        PR_ExpireFail(pAddr, tNow);
    if (pAddr != NULL && pAddr->iFailNum >= VXQ_DPS_UNKNOWN_LOGIN_ID_ADDR_MAX && inout_pConn->dwLoginId == 0) {
        VXQ_F_LOG_SR_ShowInfo("The client is disconnected: its address keeps quoting unknown login ids.");
        VXQ_F_DPS_MC_ActiveDisconnect(inout_pMcSrvData, inout_pConn);
        return 1;
    }
    if (VXQ_F_DPS_MC_NetPortData_QueryByLoginId(inout_pMcSrvData, dwLoginId) != NULL)
        return 0;
    if (inout_pConn->szPeerIpaddr[0] != '\0')
        PR_AddFail(inout_pMcSrvData->tQuoteFail, pAddr, inout_pConn->szPeerIpaddr, tNow);
    inout_pConn->iUnknownLoginIdNum++;
    if (inout_pConn->iUnknownLoginIdNum < VXQ_DPS_UNKNOWN_LOGIN_ID_MAX)
        return 0;
    VXQ_F_LOG_SR_ShowInfo("The client is disconnected: it quoted an unknown login id three times.");
    VXQ_F_DPS_MC_ActiveDisconnect(inout_pMcSrvData, inout_pConn);
    return 1;
}

/* Sends a held answer and frames what waited behind it; the record may be gone after. */
static void PR_ReleaseHeldAnswer(_VXQ_S_DPS_MCSRV_DATA *p, _VXQ_S_DPS_NET_PORT_DATA *pConn)
{
    char *pMsg = pConn->pDelayRespBuf;
    int32_t iLen = pConn->iDelayRespLen;
    pConn->pDelayRespBuf = NULL;
    pConn->iDelayRespLen = 0;
    pConn->tDelayRespDue = 0;
    VXQ_F_DPS_MW_SendNetAnswer(p, pConn, (uint8_t *)pMsg, iLen, "VXQ_F_DPS_MW_DoNetMsg_P1_LOGIN");
    free(pMsg);
    VXQ_F_DPS_MC_ResumeFraming(p, pConn);
}

void VXQ_F_DPS_MC_ADMIT_DoSecondDuty(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    int32_t tNow = VXQ_F_CLOCK_NowSec();
    if (p == NULL)
        return;
    for (int32_t i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++) {
        _VXQ_S_DPS_NET_PORT_DATA *pConn = p->pConn[i];
        if (pConn == NULL)
            continue;
        if (pConn->iConnType == VXQ_DPS_CONN_NEW &&
            tNow - pConn->tCreateTime >= VXQ_DPS_IDLE_UNKNOWN_CONN_SEC) {
            VXQ_F_LOG_SR_ShowInfo("The client is disconnected: it did not identify itself within 30 seconds.");
            VXQ_F_DPS_MC_ActiveDisconnect(p, pConn);
            continue;
        }
        if (pConn->pDelayRespBuf != NULL && tNow >= pConn->tDelayRespDue)
            PR_ReleaseHeldAnswer(p, pConn);
    }
}
