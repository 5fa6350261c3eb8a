/*
 * service/runstate.cpp - the run state query of vxq_dps.h: counts of the records
 * the service holds (connections, transactions, talk channels, open
 * sub-channels) and of the bytes and events waiting in its queues. It counts
 * the records of the core and of media, so it sits above both.
 *
 * The tables belong to the control thread, so a host thread's query travels
 * there and waits for the answer (core/hostcall.h): at most 5000 ms, and not
 * at all from inside a host callback, where it is counted on the spot.
 */
#include "core/channel.h"
#include "core/conn.h"
#include "core/hostcall.h"
#include "core/instance.h"
#include "media/subch.h"
#include "vxq_dps.h"
#include "vxq_log.h"
#include "vxq_queue.h"

#include <string.h>

/* Counts on the control thread. */
static void PR_Count(_VXQ_S_DPS_MCSRV_DATA *p, _VXQ_S_DPS_RUN_STATE *out_ptState)
{
    memset(out_ptState, 0, sizeof(*out_ptState));
    out_ptState->iTcpConnNum = VXQ_F_DPS_MC_StatTcpConnNum(p);
    for (int32_t i = 0; i < VXQ_DPS_MAX_TRANS_NUM; i++)
        out_ptState->iTransNum += p->pTrans[i] != NULL;
    for (int32_t i = 0; i < VXQ_DPS_TALK_CH_SLOT_NUM; i++)
        out_ptState->iTalkChNum += p->tTalkCh[i].iChState != 0;
    for (int32_t i = 0; i < VXQ_DPS_MEDIA_CH_SLOT_NUM && p->pMediaCh != NULL; i++) {
        for (int32_t j = 0; j < VXQ_DPS_MEDIA_STREAM_NUM; j++) {
            int32_t iState = p->pMediaCh[i].tSubCh[j].iStreamOpenState;
            out_ptState->iOpenSubChNum += iState == 1 || iState == 2;
        }
    }
    out_ptState->iNetSendTotalLen = VXQ_F_DPS_MC_StatNetSendQueueTotalLen(p);
    out_ptState->iCallbackQueueNum = VXQ_F_TOOLS_QUEUE_GetCount(p->hCallbackQueue);
    out_ptState->iOrderQueueLen = VXQ_F_TOOLS_QUEUE_QueryQueueDataTotalLen(p->hOrderQueue);
}

/* Control-thread query of VXQ_F_DPS_QueryRunState. */
static void PR_RunStateQuery(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, const void *, int32_t, void *out_pAnswer)
{
    _VXQ_S_DPS_RUN_STATE tState;
    PR_Count(inout_pMcSrvData, &tState);
    memcpy(out_pAnswer, &tState, sizeof(tState));
}

extern "C" int VXQ_F_DPS_QueryRunState(VXQ_DPS_HANDLE in_hDevProNetSrv, _VXQ_S_DPS_RUN_STATE *out_ptRunState)
{
    if (in_hDevProNetSrv == NULL || out_ptRunState == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_QueryRunState in_hDevProNetSrv error.", 2);
        return 0;
    }
    memset(out_ptRunState, 0, sizeof(*out_ptRunState));
    return VXQ_F_DPS_MC_QueryControlThread(in_hDevProNetSrv, PR_RunStateQuery, NULL, 0, out_ptRunState,
                                           (int32_t)sizeof(*out_ptRunState), "VXQ_F_DPS_QueryRunState");
}
