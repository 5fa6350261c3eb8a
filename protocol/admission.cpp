/* Admission rules against hostile clients; see protocol/admission.h. */
#include "protocol/admission.h"

#include "kit/clock.h"
#include "protocol/dispatch.h"
#include "wire/head.h"
#include "vxq_log.h"
#include "vxq_membuf.h"
#include "vxq_netcom.h"

#include <stdlib.h>
#include <string.h>

/* Requests whose body starts with a login id that is looked up among all
 * connections (the way media, talk and down connections join a session): the
 * ones whose answer tells whether an id is live. Requests that only compare
 * the quoted id with the connection's own tell nothing about other sessions. */
static const uint16_t s_usQuotingFuncIds[] = {
    P2_REALPLAY_OPEN,
    P2_PTZ,
    P2_EX_REALPLAY_OPEN,
    P3_QUERY_FILE,
    P3_NSP_QUERY_FILE,
    P3_DOWNLOAD_OPEN,
    P3_DOWNLOAD_OPEN_BY_TIME,
    P4_TALK_START,
    P5_GUARD,
    P9_GET_CONFIG,
    P9_SET_CONFIG,
    P9_GET_DEF_CONFIG,
    P9_IEC_IMP_CONFIG,
    P9_IEC_EXP_CONFIG,
};

static int s_bQuoteRules = 1;

void VXQ_F_DPS_MC_ADMIT_SetQuoteRules(int in_bOn)
{
    s_bQuoteRules = in_bOn ? 1 : 0;
}

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
    int32_t iAge = VXQ_F_CLOCK_SecDiff(in_tNow, inout_pFail->tFirstFail);
    if (iAge >= VXQ_DPS_LOGIN_FAIL_WINDOW_SEC || iAge < 0)
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
                if (VXQ_F_CLOCK_SecDiff(pSlot->tFirstFail, pFail->tFirstFail) < 0)
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

int VXQ_F_DPS_MC_ADMIT_HoldAnswer(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                  _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *in_pMsg, int32_t in_iLength,
                                  int32_t in_iDelaySec, int in_bTarpit)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    int32_t tDue;
    int bHolding;
    if (p == NULL || inout_pConn == NULL || in_pMsg == NULL || in_iLength <= 0)
        return 0;
    bHolding = inout_pConn->tHold.pDelayRespBuf != NULL;
    if (!VXQ_F_MEM_MG_AddDataToBuf(&inout_pConn->tHold.pDelayRespBuf, &inout_pConn->tHold.iDelayRespBufSize,
                                   &inout_pConn->tHold.iDelayRespLen, (const char *)in_pMsg, in_iLength)) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MC_ADMIT_HoldAnswer VXQ_F_MEM_MG_AddDataToBuf fail.", 2);
        _VXQ_S_DPS_NET_PORT_DATA *pHold = p->pHoldConn;
        p->pHoldConn = NULL;
        int iSent =
            VXQ_F_DPS_MW_SendNetAnswer(p, inout_pConn, in_pMsg, in_iLength, "VXQ_F_DPS_MC_ADMIT_HoldAnswer");
        p->pHoldConn = pHold;
        return iSent;
    }
    tDue = VXQ_F_CLOCK_SecFromNow(in_iDelaySec);
    if (!bHolding || VXQ_F_CLOCK_SecDiff(tDue, inout_pConn->tHold.tDelayRespDue) > 0)
        inout_pConn->tHold.tDelayRespDue = tDue;
    if (in_bTarpit) {
        inout_pConn->tHold.bTarpitHold = 1;
        VXQ_F_LOG_SR_ShowInfo("Client answer held back: the connection quoted an unknown login id.");
    } else {
        VXQ_F_LOG_SR_ShowInfo("Client login answer held back: repeated login failures from this address.");
    }
    return 1;
}

void VXQ_F_DPS_MC_ADMIT_NoteLogout(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                   _VXQ_S_DPS_NET_PORT_DATA *inout_pConn)
{
    if (inout_pMcSrvData == NULL || inout_pConn == NULL)
        return;
    inout_pConn->tAdmit.tAdmitStart = VXQ_F_CLOCK_NowSec();
    inout_pConn->tAdmit.dwAdmitSeq = ++inout_pMcSrvData->dwAdmitSeq;
    inout_pConn->tAdmit.dwJoinedLoginId = 0;
}

int VXQ_F_DPS_MC_ADMIT_IsAdmitted(const _VXQ_S_DPS_NET_PORT_DATA *in_pConn)
{
    return in_pConn != NULL && (in_pConn->dwLoginId != 0 || in_pConn->tAdmit.dwJoinedLoginId != 0);
}

int VXQ_F_DPS_MC_ADMIT_IsTarpitted(_VXQ_S_DPS_NET_PORT_DATA *inout_pConn)
{
    if (inout_pConn == NULL || inout_pConn->tAdmit.iUnknownLoginIdNum == 0 || !s_bQuoteRules)
        return 0;
    int32_t tSince = VXQ_F_CLOCK_SecSince(inout_pConn->tAdmit.tLastUnknownQuote);
    if (tSince >= VXQ_DPS_UNKNOWN_LOGIN_ID_FORGIVE_SEC || tSince < 0) {
        inout_pConn->tAdmit.iUnknownLoginIdNum = 0;
        return 0;
    }
    return 1;
}

/* Drops a connection that gives way to a newer one or did not log in in time.
 * Its socket closes at once instead of lingering until its queue is written
 * and its peer closes too (up to VXQ_DPS_DROP_LINGER_MS): an attacker makes
 * such connections by the thousand a second and need not close its side, and
 * lingering sockets would fill the engine's table. Nothing a logged-in client
 * is owed is lost: such connections never logged in. */
static void PR_DropNow(_VXQ_S_DPS_MCSRV_DATA *p, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, const char *in_sWhy)
{
    VXQ_F_LOG_SR_ShowInfo(in_sWhy);
    if (inout_pConn->dwPortId != 0) {
        VXQ_F_NETCOM_CloseTcpConnect(p->hNetSrv, inout_pConn->dwPortId);
        inout_pConn->dwPortId = 0;
    }
    VXQ_F_DPS_MC_ActiveDisconnect(p, inout_pConn);
}

/* Tops the lookup credit up by the time passed (thousandths of a lookup). */
static void PR_RefillCredit(_VXQ_S_DPS_MCSRV_DATA *p)
{
    uint32_t dwTick = VXQ_F_CLOCK_TickMs();
    const int64_t llMax = (int64_t)VXQ_DPS_QUOTE_BURST * 1000;
    if (!p->bQuoteCreditSet) {
        p->bQuoteCreditSet = 1;
        p->iQuoteCredit = (int32_t)llMax;
    } else {
        int64_t llCredit = (int64_t)p->iQuoteCredit +
                           (int64_t)(uint32_t)(dwTick - p->dwQuoteCreditTick) * VXQ_DPS_QUOTE_RATE;
        p->iQuoteCredit = (int32_t)(llCredit > llMax ? llMax : llCredit);
    }
    p->dwQuoteCreditTick = dwTick;
}

/* Whether the session's own address may still vouch for quotes of its id. */
static int PR_SessionVouches(const _VXQ_S_DPS_NET_PORT_DATA *in_pSession, int32_t in_tNow)
{
    int32_t iAge = VXQ_F_CLOCK_SecDiff(in_tNow, in_pSession->tAdmit.tFirstProbe);
    return in_pSession->tAdmit.iProbeNum < VXQ_DPS_PROBE_MAX || iAge >= VXQ_DPS_PROBE_WINDOW_SEC || iAge < 0;
}

/* A quote from in_sPeer went without vouching: that tells its sender the id is
 * none of the sessions logged in from there, so each of them counts one. */
static void PR_ChargeSessionsAt(_VXQ_S_DPS_MCSRV_DATA *p, const char *in_sPeer, int32_t in_tNow)
{
    for (int32_t i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++) {
        _VXQ_S_DPS_NET_PORT_DATA *pConn = p->pConn[i];
        if (pConn == NULL || pConn->iConnType != VXQ_DPS_CONN_COMMAND || pConn->dwLoginId == 0 ||
            strncmp(pConn->szPeerIpaddr, in_sPeer, sizeof(pConn->szPeerIpaddr)) != 0)
            continue;
        int32_t iAge = VXQ_F_CLOCK_SecDiff(in_tNow, pConn->tAdmit.tFirstProbe);
        if (iAge >= VXQ_DPS_PROBE_WINDOW_SEC || iAge < 0) {
            pConn->tAdmit.tFirstProbe = in_tNow;
            pConn->tAdmit.iProbeNum = 0;
        }
        pConn->tAdmit.iProbeNum++;
    }
}

int VXQ_F_DPS_MC_ADMIT_CheckQuote(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                  _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, const uint8_t *in_pMsg,
                                  int32_t in_iLength)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    _VXQ_S_DPS_NET_PORT_DATA *pConn = inout_pConn;
    int bQuoting = 0;
    if (p == NULL || pConn == NULL || in_pMsg == NULL || in_iLength < (int32_t)VXQ_DPS_UMSP_HEAD_LEN + 4 ||
        !s_bQuoteRules)
        return VXQ_DPS_ADMIT_GO;
    uint16_t usFuncId = VXQ_F_DPS_MW_GetLe16(in_pMsg + VXQ_DPS_UMSP_OFF_FUNC_ID);
    for (size_t i = 0; i < sizeof(s_usQuotingFuncIds) / sizeof(s_usQuotingFuncIds[0]); i++) {
        if (s_usQuotingFuncIds[i] == usFuncId)
            bQuoting = 1;
    }
    uint32_t dwLoginId = VXQ_F_DPS_MW_GetLe32(in_pMsg + VXQ_DPS_UMSP_HEAD_LEN);
    int bRetry = (int)pConn->tAdmit.bQuoteRetry;
    pConn->tAdmit.bQuoteRetry = 0;
    pConn->tAdmit.bQuoteWait = 0;
    /* 0 says "not logged in"; the connection's own id tells it nothing new. */
    if (!bQuoting || dwLoginId == 0 || dwLoginId == pConn->dwLoginId ||
        dwLoginId == pConn->tAdmit.dwJoinedLoginId)
        return VXQ_DPS_ADMIT_GO;
    int32_t tNow = VXQ_F_CLOCK_NowSec();
    int bTarpitted = VXQ_F_DPS_MC_ADMIT_IsTarpitted(pConn);
    _VXQ_S_DPS_NET_PORT_DATA *pSession = VXQ_F_DPS_MC_NetPortData_QueryByLoginId(p, dwLoginId);
    /* A session's own address vouches for its id: its media connections go at once. */
    if (pSession != NULL && !bTarpitted &&
        strncmp(pSession->szPeerIpaddr, pConn->szPeerIpaddr, sizeof(pConn->szPeerIpaddr)) == 0 &&
        PR_SessionVouches(pSession, tNow)) {
        if (pConn->dwLoginId == 0)
            pConn->tAdmit.dwJoinedLoginId = dwLoginId;
        return VXQ_DPS_ADMIT_GO;
    }
    if (!bRetry)
        PR_ChargeSessionsAt(p, pConn->szPeerIpaddr, tNow);
    PR_RefillCredit(p);
    if (p->iQuoteCredit < 1000) {
        pConn->tAdmit.bQuoteWait = 1;
        return VXQ_DPS_ADMIT_WAIT;
    }
    if (pSession != NULL) {
        if (pConn->dwLoginId == 0)
            pConn->tAdmit.dwJoinedLoginId = dwLoginId;
        return VXQ_DPS_ADMIT_GO;
    }
    p->iQuoteCredit -= 1000;
    pConn->tAdmit.iUnknownLoginIdNum++;
    pConn->tAdmit.tLastUnknownQuote = tNow;
    if (pConn->tAdmit.iUnknownLoginIdNum < VXQ_DPS_UNKNOWN_LOGIN_ID_MAX)
        return VXQ_DPS_ADMIT_GO; /* the dispatcher holds its answer: the connection is tarpitted */
    /* Its earlier answers still go out first: such drops come at most a few a second. */
    VXQ_F_LOG_SR_ShowInfo("The client is disconnected: it quoted an unknown login id three times.");
    VXQ_F_DPS_MC_ActiveDisconnect(p, pConn);
    return VXQ_DPS_ADMIT_DROPPED;
}

int VXQ_F_DPS_MC_ADMIT_MakeRoom(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData)
{
    _VXQ_S_DPS_NET_PORT_DATA *pOldest = NULL;
    if (inout_pMcSrvData == NULL)
        return 0;
    for (int32_t i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++) {
        _VXQ_S_DPS_NET_PORT_DATA *pConn = inout_pMcSrvData->pConn[i];
        if (pConn == NULL || VXQ_F_DPS_MC_ADMIT_IsAdmitted(pConn) || pConn->tHold.bTarpitHold)
            continue;
        /* Sequence numbers wrap: compare by distance, not by value. */
        if (pOldest == NULL || (int32_t)(pConn->tAdmit.dwAdmitSeq - pOldest->tAdmit.dwAdmitSeq) < 0)
            pOldest = pConn;
    }
    if (pOldest == NULL)
        return 0;
    PR_DropNow(inout_pMcSrvData, pOldest,
               "The client is disconnected: the connection table is full and it has not logged in.");
    return 1;
}

/* Sends the held answers, one message after the other, and frames what waited
 * behind them; the record may be gone after. */
static void PR_ReleaseHeldAnswers(_VXQ_S_DPS_MCSRV_DATA *p, _VXQ_S_DPS_NET_PORT_DATA *pConn)
{
    uint8_t *pHeld = (uint8_t *)pConn->tHold.pDelayRespBuf;
    int32_t iLen = pConn->tHold.iDelayRespLen;
    uint32_t dwPortId = pConn->dwPortId;
    pConn->tHold.pDelayRespBuf = NULL;
    pConn->tHold.iDelayRespLen = 0;
    pConn->tHold.iDelayRespBufSize = 0;
    pConn->tHold.tDelayRespDue = 0;
    pConn->tHold.bTarpitHold = 0;
    for (int32_t iOff = 0; iOff + (int32_t)VXQ_DPS_UMSP_HEAD_LEN <= iLen;) {
        uint32_t dwSize = VXQ_F_DPS_MW_GetLe32(pHeld + iOff + VXQ_DPS_UMSP_OFF_PACKET_SIZE);
        if (dwSize < VXQ_DPS_UMSP_HEAD_LEN || dwSize > (uint32_t)(iLen - iOff))
            break;
        VXQ_F_DPS_MW_SendNetAnswer(p, pConn, pHeld + iOff, (int32_t)dwSize,
                                   "VXQ_F_DPS_MC_ADMIT_DoSecondDuty");
        iOff += (int32_t)dwSize;
    }
    free(pHeld);
    pConn = VXQ_F_DPS_MC_NetPortData_QueryByPortId(p, dwPortId);
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
        if (!VXQ_F_DPS_MC_ADMIT_IsAdmitted(pConn) &&
            VXQ_F_CLOCK_SecDiff(tNow, pConn->tAdmit.tAdmitStart) >= VXQ_DPS_LOGIN_DUE_SEC) {
            PR_DropNow(p, pConn, "The client is disconnected: it did not log in within 30 seconds.");
            continue;
        }
        if (pConn->tHold.pDelayRespBuf != NULL && VXQ_F_CLOCK_SecDiff(tNow, pConn->tHold.tDelayRespDue) >= 0)
            PR_ReleaseHeldAnswers(p, pConn);
    }
}

void VXQ_F_DPS_MC_ADMIT_DoTickDuty(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    if (p == NULL)
        return;
    PR_RefillCredit(p);
    /* Round the table from where the last turn stopped, so no waiting
     * connection is passed over for long. */
    for (int32_t n = 0; n < VXQ_DPS_MAX_CONN_NUM && p->iQuoteCredit >= 1000; n++) {
        int32_t i = (p->iQuoteWaitScan + n) % VXQ_DPS_MAX_CONN_NUM;
        _VXQ_S_DPS_NET_PORT_DATA *pConn = p->pConn[i];
        if (pConn == NULL || !pConn->tAdmit.bQuoteWait)
            continue;
        p->iQuoteWaitScan = (i + 1) % VXQ_DPS_MAX_CONN_NUM;
        pConn->tAdmit.bQuoteWait = 0;
        pConn->tAdmit.bQuoteRetry = 1;
        VXQ_F_DPS_MC_ResumeFraming(p, pConn);
    }
}

void VXQ_F_DPS_MC_ADMIT_Install(_VXQ_S_DPS_HOOKS *inout_pHooks)
{
    if (inout_pHooks == NULL)
        return;
    inout_pHooks->fnMakeRoom = VXQ_F_DPS_MC_ADMIT_MakeRoom;
    VXQ_F_DPS_MC_Hooks_AddSecond(inout_pHooks, VXQ_F_DPS_MC_ADMIT_DoSecondDuty);
    VXQ_F_DPS_MC_Hooks_AddTick(inout_pHooks, VXQ_F_DPS_MC_ADMIT_DoTickDuty);
}
