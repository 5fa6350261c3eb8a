/* The control thread, the callback thread and the timer duties; see core/control.h. */
#include "core/control.h"

#include "core/channel.h"
#include "core/conn.h"
#include "core/hostcall.h"
#include "kit/clock.h"
#include "vxq_log.h"
#include "vxq_netcom.h"
#include "vxq_syshelp.h"

#include <stdio.h>
#include <string.h>

/* Most queued items handled before the sockets and the timer get a turn. */
#define PR_MAX_ITEMS_PER_TURN 100

int VXQ_F_DPS_MC_StartThread(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData)
{
    if (inout_pMcSrvData == NULL)
        return 0;
    inout_pMcSrvData->bThreadRun = 1;
    inout_pMcSrvData->hThread = VXQ_F_THREAD_CreateThread(VXQ_F_DPS_MC_ThreadWork, inout_pMcSrvData);
    if (inout_pMcSrvData->hThread == NULL) {
        inout_pMcSrvData->bThreadRun = 0;
        return 0;
    }
    return 1;
}

void VXQ_F_DPS_MC_QuitThread(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData)
{
    if (inout_pMcSrvData == NULL)
        return;
    __atomic_store_n(&inout_pMcSrvData->bThreadRun, 0u, __ATOMIC_RELEASE);
    if (inout_pMcSrvData->hThread != NULL) {
        VXQ_F_THREAD_WaitExitThread(inout_pMcSrvData->hThread, 5000);
        inout_pMcSrvData->hThread = NULL;
    }
}

int VXQ_F_DPS_MC_Callback_StartThread(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData)
{
    if (inout_pMcSrvData == NULL)
        return 0;
    inout_pMcSrvData->bCallbackThreadRun = 1;
    inout_pMcSrvData->hCallbackThread =
        VXQ_F_THREAD_CreateThread(VXQ_F_DPS_MC_Callback_ThreadWork, inout_pMcSrvData);
    if (inout_pMcSrvData->hCallbackThread == NULL) {
        inout_pMcSrvData->bCallbackThreadRun = 0;
        return 0;
    }
    return 1;
}

void VXQ_F_DPS_MC_Callback_QuitThread(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData)
{
    if (inout_pMcSrvData == NULL)
        return;
    __atomic_store_n(&inout_pMcSrvData->bCallbackThreadRun, 0u, __ATOMIC_RELEASE);
    if (inout_pMcSrvData->hCallbackThread != NULL) {
        VXQ_F_THREAD_WaitExitThread(inout_pMcSrvData->hCallbackThread, 5000);
        inout_pMcSrvData->hCallbackThread = NULL;
    }
}

static int PR_ThreadRun(_VXQ_S_DPS_MCSRV_DATA *p)
{
    return __atomic_load_n(&p->bThreadRun, __ATOMIC_ACQUIRE) != 0;
}

void VXQ_F_DPS_MC_ThreadWork(void *in_pMcSrvData)
{
    _VXQ_S_DPS_MCSRV_DATA *p = (_VXQ_S_DPS_MCSRV_DATA *)in_pMcSrvData;
    if (p == NULL)
        return;
    while (PR_ThreadRun(p)) {
        VXQ_F_NETCOM_DoNetEvent(p->hNetSrv, 20);
        VXQ_F_DPS_MC_DoEvent(p, 0);
        VXQ_F_DPS_MC_DoTimer(p);
    }
}

void VXQ_F_DPS_MC_Callback_ThreadWork(void *in_pMcSrvData)
{
    _VXQ_S_DPS_MCSRV_DATA *p = (_VXQ_S_DPS_MCSRV_DATA *)in_pMcSrvData;
    if (p == NULL)
        return;
    while (__atomic_load_n(&p->bCallbackThreadRun, __ATOMIC_ACQUIRE) != 0)
        VXQ_F_DPS_MC_Callback_DoEvent(p, 100);
}

void VXQ_F_DPS_MC_DoEvent(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iTimeoutMs)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    (void)in_iTimeoutMs;
    if (p == NULL)
        return;
    while (PR_ThreadRun(p)) {
        for (int32_t i = 0; i < PR_MAX_ITEMS_PER_TURN; i++) {
            if (!VXQ_F_DPS_MC_DoOrderQueue(p))
                return;
        }
        /* The sockets (whose records are handled within the pass) and the timer get a turn. */
        VXQ_F_NETCOM_DoNetEvent(p->hNetSrv, 0);
        VXQ_F_DPS_MC_DoTimer(p);
    }
}

/* Takes one item into the control thread's reused work buffer without waiting. */
int VXQ_F_DPS_MC_TakeWorkItem(_VXQ_S_DPS_MCSRV_DATA *p, VXQ_HQUEUE in_hQueue)
{
    p->iWorkDataLen = 0;
    if (!VXQ_F_TOOLS_QUEUE_GetDataEx(in_hQueue, &p->pWorkBuf, &p->iWorkDataLen, &p->iWorkBufSize, 0))
        return 0;
    return p->pWorkBuf != NULL && p->iWorkDataLen > 0;
}

int VXQ_F_DPS_MC_DoOrderQueue(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData)
{
    if (inout_pMcSrvData == NULL || !VXQ_F_DPS_MC_TakeWorkItem(inout_pMcSrvData, inout_pMcSrvData->hOrderQueue))
        return 0;
    VXQ_F_DPS_MW_DoOrderData(inout_pMcSrvData, (uint8_t *)inout_pMcSrvData->pWorkBuf, inout_pMcSrvData->iWorkDataLen);
    return 1;
}

void VXQ_F_DPS_MC_DoNetRecord(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pRecord, int32_t in_iLength)
{
    _VXQ_S_NETCOM_DATA_HEAD tHead;
    uint8_t *pData;
    int32_t iDataLen;
    if (inout_pMcSrvData == NULL || inout_pRecord == NULL || in_iLength < (int32_t)sizeof(tHead))
        return;
    memcpy(&tHead, inout_pRecord, sizeof(tHead));
    tHead.szPeerIpaddr[sizeof(tHead.szPeerIpaddr) - 1] = '\0';
    pData = inout_pRecord + sizeof(tHead);
    iDataLen = in_iLength - (int32_t)sizeof(tHead);
    switch (tHead.iEventType) {
    case 1:
        VXQ_F_DPS_MC_DoNetEvent_CONNECT(inout_pMcSrvData, &tHead, pData, iDataLen);
        break;
    case 2:
        VXQ_F_DPS_MC_DoNetEvent_DISCONNECT(inout_pMcSrvData, &tHead, pData, iDataLen);
        break;
    case 3:
        if (tHead.usNetType == 0)
            VXQ_F_DPS_MC_DoNetEvent_DATA(inout_pMcSrvData, &tHead, pData, iDataLen);
        else if (tHead.usLocalPort == inout_pMcSrvData->usUdpPort && inout_pMcSrvData->tHooks.fnDatagram != NULL)
            inout_pMcSrvData->tHooks.fnDatagram(inout_pMcSrvData, &tHead, pData, iDataLen);
        break;
    case 4:
        VXQ_F_DPS_MC_DoNetEvent_CONNECT_RESULT(inout_pMcSrvData, &tHead, pData, iDataLen);
        break;
    case 5:
        VXQ_F_DPS_MC_DoNetEvent_SEND_COMP_NOTIFY(inout_pMcSrvData, &tHead, pData, iDataLen);
        break;
    default:
        break;
    }
}

void VXQ_F_DPS_MC_DoClientState(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    int32_t tNow = VXQ_F_CLOCK_NowSec();
    if (p == NULL)
        return;
    for (int32_t i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++) {
        _VXQ_S_DPS_NET_PORT_DATA *pConn = p->pConn[i];
        if (pConn == NULL)
            continue;
        if (pConn->bHeartbeat && pConn->tLastRecvTime != 0 &&
            VXQ_F_CLOCK_SecDiff(tNow, pConn->tLastRecvTime) > VXQ_DPS_HEARTBEAT_TIMEOUT_SEC - 1) {
            VXQ_F_LOG_SR_ShowInfo("The client is disconnected from the heartbeat timeout.");
            VXQ_F_DPS_MC_ActiveDisconnect(p, pConn);
            continue;
        }
        /* The families' duties of this connection; one may drop it. */
        for (int32_t k = 0; k < p->tHooks.iConnSecondNum && p->pConn[i] == pConn; k++)
            p->tHooks.fnConnSecond[k](p, pConn);
    }
}

void VXQ_F_DPS_MC_DoTransState(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData)
{
    int32_t tNow = VXQ_F_CLOCK_NowSec();
    if (inout_pMcSrvData == NULL)
        return;
    for (int32_t i = 0; i < VXQ_DPS_MAX_TRANS_NUM; i++) {
        _VXQ_S_DPS_TRANS_DATA *pTrans = inout_pMcSrvData->pTrans[i];
        if (pTrans != NULL && VXQ_F_CLOCK_SecDiff(tNow, pTrans->tCreateTime) > VXQ_DPS_TRANS_TIMEOUT_SEC - 1)
            VXQ_F_DPS_MC_Trans_DeleteTransData(inout_pMcSrvData, pTrans);
    }
}

/* The 1 s duty. */
static void PR_DoSecondDuty(_VXQ_S_DPS_MCSRV_DATA *p, int32_t in_tNow)
{
    VXQ_F_DPS_MC_DoClientState(p);
    for (int32_t i = 0; i < p->tHooks.iSecondNum; i++)
        p->tHooks.fnSecond[i](p);
    VXQ_F_DPS_MC_DoTransState(p);
    if (__atomic_load_n(&p->bShowRunState, __ATOMIC_RELAXED) &&
        (p->tLastStatTime == 0 || VXQ_F_CLOCK_SecDiff(in_tNow, p->tLastStatTime) > 4)) {
        char sText[128];
        p->tLastStatTime = in_tNow;
        p->iNetSendTotalLen = VXQ_F_DPS_MC_StatNetSendQueueTotalLen(p);
        snprintf(sText, sizeof(sText), "Cache size: %dKB, UpCache size: %dKB, TcpConnNum: %d.",
                 (int)(p->iNetSendTotalLen >> 10), (int)(VXQ_F_TOOLS_QUEUE_QueryQueueDataTotalLen(p->hOrderQueue) >> 10),
                 (int)VXQ_F_DPS_MC_StatTcpConnNum(p));
        VXQ_F_LOG_SR_ShowInfo(sText);
    }
    if (p->tDebugParamTime != 0 && VXQ_F_CLOCK_SecDiff(in_tNow, p->tDebugParamTime) > VXQ_DPS_DEBUG_PARAM_SEC - 1) {
        p->tDebugParamTime = 0;
        p->bDebugLog = p->bSavedDebugLog;
        p->bDebugMediaLog = p->bSavedDebugMediaLog;
        __atomic_store_n(&p->bShowRunState, __atomic_load_n(&p->bSavedShowRunState, __ATOMIC_RELAXED),
                         __ATOMIC_RELAXED);
    }
}

void VXQ_F_DPS_MC_DoTimer(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    int32_t tNow;
    uint32_t dwTick;
    if (p == NULL)
        return;
    tNow = VXQ_F_CLOCK_NowSec();
    /* 0 is "never": past 2038 a reading is negative, so 0 must not be compared with it. */
    if (p->tLastSecond == 0 || VXQ_F_CLOCK_SecDiff(tNow, p->tLastSecond) > 0) {
        p->tLastSecond = tNow;
        PR_DoSecondDuty(p, tNow);
    }
    dwTick = VXQ_F_CLOCK_TickMs();
    if (dwTick >= p->dwLastTick && dwTick - p->dwLastTick <= 99)
        return;
    p->dwLastTick = dwTick;
    for (int32_t i = 0; i < p->tHooks.iTickNum; i++)
        p->tHooks.fnTick[i](p);
}

int VXQ_F_DPS_MC_Callback_DoEvent(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iTimeoutMs)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    int32_t tNow;
    if (p == NULL)
        return 0;
    tNow = VXQ_F_CLOCK_NowSec();
    /* The switch is one word shared with the control thread and the host: read it atomically. */
    if (__atomic_load_n(&p->bShowRunState, __ATOMIC_RELAXED) &&
        (p->tLastCallbackStat == 0 || VXQ_F_CLOCK_SecDiff(tNow, p->tLastCallbackStat) > 29)) {
        char sText[128];
        p->tLastCallbackStat = tNow;
        snprintf(sText, sizeof(sText), "Callback queue size: %d, ver: %s.",
                 (int)VXQ_F_TOOLS_QUEUE_GetCount(p->hCallbackQueue), VXQ_DPS_VERSION_SHOW);
        VXQ_F_LOG_SR_ShowInfo(sText);
    }
    p->iCallbackDataLen = 0;
    if (!VXQ_F_TOOLS_QUEUE_GetDataEx(p->hCallbackQueue, &p->pCallbackBuf, &p->iCallbackDataLen,
                                     &p->iCallbackBufSize, in_iTimeoutMs))
        return 0;
    if (p->iCallbackDataLen <= 0 || p->pCallbackBuf == NULL)
        return 0;
    return VXQ_F_DPS_MC_HostEvent(p, p->pCallbackBuf, p->iCallbackDataLen);
}
