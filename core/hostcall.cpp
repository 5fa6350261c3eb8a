/* The calls between the host and the control thread; see core/hostcall.h. */
#include "core/hostcall.h"

#include "core/channel.h"
#include "vxq_log.h"

#include <stdio.h>
#include <string.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

/* The instance whose control thread is running on this thread inside a host
 * callback, or null. Only PR_CallHost writes it. */
static thread_local const _VXQ_S_DPS_MCSRV_DATA *t_pInsideHost = NULL;

typedef void (*PR_HOST_CALL)(void *inout_pCall);

/* The one way the control thread calls into the host: the thread is marked as
 * inside a host callback of in_pMcSrvData for the duration of the call. */
static void PR_CallHost(const _VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData, PR_HOST_CALL in_fnCall, void *inout_pCall)
{
    const _VXQ_S_DPS_MCSRV_DATA *pOuter = t_pInsideHost;
    t_pInsideHost = in_pMcSrvData;
    in_fnCall(inout_pCall);
    t_pInsideHost = pOuter;
}

typedef struct {
    _VXQ_S_DPS_MCSRV_DATA *p;
    const char *sUserName;
    _VXQ_S_DPS_USER_INFO *pUser;
    int iResult;
} PR_QUERY_USER_CALL;

static void PR_QueryUserCall(void *inout_pCall)
{
    PR_QUERY_USER_CALL *pCall = (PR_QUERY_USER_CALL *)inout_pCall;
    pCall->iResult = pCall->p->fnQueryUserCallback(pCall->p->pQueryUser, pCall->sUserName, pCall->pUser);
}

int VXQ_F_DPS_MC_HostQueryUser(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, const char *in_sUserName,
                               _VXQ_S_DPS_USER_INFO *out_ptUser)
{
    if (inout_pMcSrvData == NULL || inout_pMcSrvData->fnQueryUserCallback == NULL)
        return 0;
    PR_QUERY_USER_CALL tCall = {inout_pMcSrvData, in_sUserName, out_ptUser, 0};
    PR_CallHost(inout_pMcSrvData, PR_QueryUserCall, &tCall);
    return tCall.iResult;
}

typedef struct {
    const _VXQ_S_DPS_DEV_CAP_INFO *pCap;
    _VXQ_S_DPS_REALPLAY_CHECK_DATA tCheck;
} PR_REALPLAY_CHECK_CALL;

static void PR_RealplayCheckCall(void *inout_pCall)
{
    PR_REALPLAY_CHECK_CALL *pCall = (PR_REALPLAY_CHECK_CALL *)inout_pCall;
    pCall->pCap->fnRealplayCheck(pCall->pCap->pRealplayCheckUser, &pCall->tCheck);
}

uint32_t VXQ_F_DPS_MC_HostRealplayCheck(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwLoginId,
                                        uint32_t in_dwChNo, uint32_t in_dwStreamNo, uint32_t in_dwAction)
{
    if (inout_pMcSrvData == NULL)
        return 0;
    const _VXQ_S_DPS_DEV_CAP_INFO *pCap = &inout_pMcSrvData->tDevCapInfo;
    if (!pCap->bRealplayCheckFlag || pCap->fnRealplayCheck == NULL)
        return 0;
    PR_REALPLAY_CHECK_CALL tCall;
    tCall.pCap = pCap;
    tCall.tCheck.dwLoginId = in_dwLoginId;
    tCall.tCheck.dwChNo = in_dwChNo;
    tCall.tCheck.dwStreamNo = in_dwStreamNo;
    tCall.tCheck.dwAction = in_dwAction;
    tCall.tCheck.dwResult = 0;
    PR_CallHost(inout_pMcSrvData, PR_RealplayCheckCall, &tCall);
    return tCall.tCheck.dwResult;
}

int VXQ_F_DPS_MC_HostEvent(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, const char *in_pMsg, int32_t in_iLength)
{
    if (inout_pMcSrvData == NULL || inout_pMcSrvData->fnEventCallback == NULL)
        return 0;
    inout_pMcSrvData->fnEventCallback(inout_pMcSrvData->pEventUser, in_pMsg, in_iLength);
    return 1;
}

int VXQ_F_DPS_MC_InsideHostCallback(const _VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData)
{
    return in_pMcSrvData != NULL && t_pInsideHost == in_pMcSrvData;
}

int32_t VXQ_F_DPS_MC_HostPostWaitMs(const _VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData)
{
    return VXQ_F_DPS_MC_InsideHostCallback(in_pMcSrvData) ? 0 : VXQ_DPS_HOST_WAIT_MS;
}

/* Answer slot of one query posted to the control thread. */
typedef struct {
    std::mutex tLock;
    std::condition_variable tCond;
    int bDone;
    VXQ_PF_DPS_CONTROL_QUERY fnQuery;
    std::vector<uint8_t> tArg;
    std::vector<uint8_t> tAnswer;
} PR_QUERY_SLOT;

/* Control work: answers the query and wakes the waiter. The argument is a
 * heap-held shared pointer to the slot, taken over (and freed) here; a waiter
 * that gave up no longer reads the slot, which goes with the last pointer. */
static void PR_QueryWork(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, const uint8_t *in_pArg, int32_t)
{
    std::shared_ptr<PR_QUERY_SLOT> *pHold;
    memcpy(&pHold, in_pArg, sizeof(pHold));
    std::shared_ptr<PR_QUERY_SLOT> pSlot(std::move(*pHold));
    delete pHold;
    pSlot->fnQuery(inout_pMcSrvData, pSlot->tArg.data(), (int32_t)pSlot->tArg.size(), pSlot->tAnswer.data());
    std::lock_guard<std::mutex> tGuard(pSlot->tLock);
    pSlot->bDone = 1;
    pSlot->tCond.notify_all();
}

static void PR_LogQueryFail(const char *in_sCaller, const char *in_sWhat)
{
    char sText[160];
    snprintf(sText, sizeof(sText), "%s %s", in_sCaller, in_sWhat);
    VXQ_F_LOG_SR_WriteLog(sText, 2);
}

int VXQ_F_DPS_MC_QueryControlThread(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, VXQ_PF_DPS_CONTROL_QUERY in_fnQuery,
                                    const void *in_pArg, int32_t in_iArgLen, void *out_pAnswer,
                                    int32_t in_iAnswerLen, const char *in_sCaller)
{
    if (inout_pMcSrvData == NULL || in_fnQuery == NULL || in_iArgLen < 0 || (in_iArgLen > 0 && in_pArg == NULL) ||
        in_iAnswerLen <= 0 || out_pAnswer == NULL)
        return 0;
    if (VXQ_F_DPS_MC_InsideHostCallback(inout_pMcSrvData)) {
        /* The control thread is this thread, busy in the host: nothing else can run the query. */
        in_fnQuery(inout_pMcSrvData, in_pArg, in_iArgLen, out_pAnswer);
        return 1;
    }
    /* No exception may cross the C API: an allocation failure is a plain failure. */
    std::shared_ptr<PR_QUERY_SLOT> pSlot;
    try {
        pSlot = std::make_shared<PR_QUERY_SLOT>();
        pSlot->tArg.assign((const uint8_t *)in_pArg, (const uint8_t *)in_pArg + in_iArgLen);
        pSlot->tAnswer.assign((size_t)in_iAnswerLen, 0);
    } catch (...) {
        PR_LogQueryFail(in_sCaller, "malloc fail.");
        return 0;
    }
    pSlot->bDone = 0;
    pSlot->fnQuery = in_fnQuery;
    std::shared_ptr<PR_QUERY_SLOT> *pHold = new (std::nothrow) std::shared_ptr<PR_QUERY_SLOT>(pSlot);
    if (pHold == NULL) {
        PR_LogQueryFail(in_sCaller, "malloc fail.");
        return 0;
    }
    if (!VXQ_F_DPS_MC_PostControlWork(inout_pMcSrvData, PR_QueryWork, &pHold, (int32_t)sizeof(pHold))) {
        delete pHold;
        PR_LogQueryFail(in_sCaller, "VXQ_F_DPS_MC_PostControlWork fail.");
        return 0;
    }
    std::unique_lock<std::mutex> tGuard(pSlot->tLock);
    if (!pSlot->tCond.wait_for(tGuard, std::chrono::milliseconds(VXQ_DPS_HOST_WAIT_MS),
                               [&] { return pSlot->bDone != 0; })) {
        PR_LogQueryFail(in_sCaller, "wait fail.");
        return 0;
    }
    memcpy(out_pAnswer, pSlot->tAnswer.data(), (size_t)in_iAnswerLen);
    return 1;
}
