/*
 * core/runstate.cpp - the run state query of vxq_dps.h: counts of the records
 * the service holds (connections, transactions, talk channels, open
 * sub-channels) and of the bytes and events waiting in its queues.
 *
 * The tables belong to the control thread, so a host thread's query travels
 * there as control work and waits for the answer. The answer slot is shared
 * between the waiter and the work (std::shared_ptr): a waiter that gives up
 * after 5000 ms leaves it to the work, which may still run later.
 */
#include "core/channel.h"
#include "core/conn.h"
#include "core/instance.h"
#include "media/subch.h"
#include "vxq_dps.h"
#include "vxq_log.h"
#include "vxq_queue.h"

#include <string.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>

#define PR_WAIT_MS 5000

/* Answer slot of one query. */
typedef struct {
    std::mutex tLock;
    std::condition_variable tCond;
    int bDone;
    _VXQ_S_DPS_RUN_STATE tState;
} PR_RUN_STATE_REPLY;

/* Counts on the control thread. */
static void PR_Count(_VXQ_S_DPS_MCSRV_DATA *p, _VXQ_S_DPS_RUN_STATE *out_ptState)
{
    memset(out_ptState, 0, sizeof(*out_ptState));
    out_ptState->iTcpConnNum = VXQ_F_DPS_MC_StatTcpConnNum(p);
    for (int32_t i = 0; i < VXQ_DPS_MAX_TRANS_NUM; i++)
        out_ptState->iTransNum += p->pTrans[i] != NULL;
    for (int32_t i = 0; i < VXQ_DPS_TALK_CH_SLOT_NUM; i++)
        out_ptState->iTalkChNum += p->tTalkCh[i].iChState != 0;
    for (int32_t i = 0; i < VXQ_DPS_MEDIA_CH_SLOT_NUM; i++) {
        for (int32_t j = 0; j < VXQ_DPS_MEDIA_STREAM_NUM; j++) {
            int32_t iState = p->tMediaCh[i].tSubCh[j].iStreamOpenState;
            out_ptState->iOpenSubChNum += iState == 1 || iState == 2;
        }
    }
    out_ptState->iNetSendTotalLen = VXQ_F_DPS_MC_StatNetSendQueueTotalLen(p);
    out_ptState->iCallbackQueueNum = VXQ_F_TOOLS_QUEUE_GetCount(p->hCallbackQueue);
    out_ptState->iOrderQueueLen = VXQ_F_TOOLS_QUEUE_QueryQueueDataTotalLen(p->hOrderQueue);
}

/* Control work: counts and wakes the waiter. The argument is a heap-held
 * shared pointer to the answer slot, taken over (and freed) here. */
static void PR_RunStateWork(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, const uint8_t *in_pArg, int32_t)
{
    std::shared_ptr<PR_RUN_STATE_REPLY> *pHold;
    memcpy(&pHold, in_pArg, sizeof(pHold));
    std::shared_ptr<PR_RUN_STATE_REPLY> pReply(std::move(*pHold));
    delete pHold;
    _VXQ_S_DPS_RUN_STATE tState;
    PR_Count(inout_pMcSrvData, &tState);
    std::lock_guard<std::mutex> tGuard(pReply->tLock);
    pReply->tState = tState;
    pReply->bDone = 1;
    pReply->tCond.notify_all();
}

extern "C" int VXQ_F_DPS_QueryRunState(VXQ_DPS_HANDLE in_hDevProNetSrv, _VXQ_S_DPS_RUN_STATE *out_ptRunState)
{
    if (in_hDevProNetSrv == NULL || out_ptRunState == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_QueryRunState in_hDevProNetSrv error.", 2);
        return 0;
    }
    memset(out_ptRunState, 0, sizeof(*out_ptRunState));
    /* No exception may cross the C API: an allocation failure is a plain failure. */
    std::shared_ptr<PR_RUN_STATE_REPLY> pReply;
    try {
        pReply = std::make_shared<PR_RUN_STATE_REPLY>();
    } catch (...) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_QueryRunState malloc fail.", 2);
        return 0;
    }
    pReply->bDone = 0;
    std::shared_ptr<PR_RUN_STATE_REPLY> *pHold = new (std::nothrow) std::shared_ptr<PR_RUN_STATE_REPLY>(pReply);
    if (pHold == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_QueryRunState malloc fail.", 2);
        return 0;
    }
    if (!VXQ_F_DPS_MC_PostControlWork(in_hDevProNetSrv, PR_RunStateWork, &pHold, (int32_t)sizeof(pHold))) {
        delete pHold;
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_QueryRunState VXQ_F_DPS_MC_PostControlWork fail.", 2);
        return 0;
    }
    std::unique_lock<std::mutex> tGuard(pReply->tLock);
    if (!pReply->tCond.wait_for(tGuard, std::chrono::milliseconds(PR_WAIT_MS), [&] { return pReply->bDone != 0; })) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_QueryRunState wait fail.", 2);
        return 0;
    }
    *out_ptRunState = pReply->tState;
    return 1;
}
