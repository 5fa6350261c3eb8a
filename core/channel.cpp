/* Application message channel: events up, orders down, transactions in
 * between. Control thread only, except VXQ_F_DPS_MC_PostControlWork and
 * VXQ_F_DPS_QueryTransUser; see core/channel.h. */
#include "core/channel.h"

#include "core/control.h"
#include "core/conn.h"
#include "core/hostcall.h"
#include "kit/queue.h"
#include "wire/head.h"
#include "vxq_clock.h"
#include "vxq_log.h"
#include "vxq_membuf.h"
#include "vxq_netcom.h"
#include "vxq_syshelp.h"
#include "vxq_thread.h"

#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Offsets of the application message head (host byte order). */
#define PR_OFF_FUNC_ID 0
#define PR_OFF_MSG_TYPE 4
#define PR_OFF_RESULT 5
#define PR_OFF_TRANS_ID 8
#define PR_OFF_BODY_LEN 12

/* Body of an internal control-work order: only orders carrying the instance's
 * random key are run, so no host order can name a function to call. */
typedef struct _VXQ_S_DPS_CONTROL_WORK_BODY {
    uint32_t dwKey;
    int32_t iArgLen;
    VXQ_PF_DPS_CONTROL_WORK fnWork;
    VXQ_PF_DPS_CONTROL_WORK fnDrop; /* null, or releases what the argument owns */
    uint8_t ucArg[VXQ_DPS_CONTROL_WORK_MAX_ARG];
} _VXQ_S_DPS_CONTROL_WORK_BODY;

int32_t VXQ_F_DPS_MC_MsgHead_FuncId(const uint8_t *in_pMsg)
{
    int32_t iId;
    memcpy(&iId, in_pMsg + PR_OFF_FUNC_ID, 4);
    return iId;
}

uint32_t VXQ_F_DPS_MC_MsgHead_TransId(const uint8_t *in_pMsg)
{
    uint32_t dwId;
    memcpy(&dwId, in_pMsg + PR_OFF_TRANS_ID, 4);
    return dwId;
}

static void PR_FillHead(uint8_t *out_pMsg, int32_t in_iMsgFuncId, uint32_t in_dwTransId, int32_t in_iBodyLen)
{
    memset(out_pMsg, 0, VXQ_DPS_APP_MSG_HEAD_LEN);
    memcpy(out_pMsg + PR_OFF_FUNC_ID, &in_iMsgFuncId, 4);
    memcpy(out_pMsg + PR_OFF_TRANS_ID, &in_dwTransId, 4);
    memcpy(out_pMsg + PR_OFF_BODY_LEN, &in_iBodyLen, 4);
}

int VXQ_F_DPS_MC_SentProEventToUpApp(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, const uint8_t *in_pMsg,
                                     int32_t in_iLength)
{
    if (inout_pMcSrvData == NULL || in_pMsg == NULL || in_iLength < 1)
        return 0;
    return VXQ_F_TOOLS_QUEUE_SetData(inout_pMcSrvData->hCallbackQueue, in_pMsg, in_iLength, 0);
}

int VXQ_F_DPS_MC_SentProEventBody(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iMsgFuncId,
                                  uint32_t in_dwTransId, const void *in_pBody, int32_t in_iBodyLen)
{
    uint8_t ucStack[VXQ_DPS_APP_MSG_HEAD_LEN + 256];
    uint8_t *pMsg = ucStack;
    int iRet;
    if (in_iBodyLen < 0 || (in_iBodyLen > 0 && in_pBody == NULL))
        return 0;
    if (in_iBodyLen > 256) {
        pMsg = (uint8_t *)malloc((size_t)in_iBodyLen + VXQ_DPS_APP_MSG_HEAD_LEN);
        if (pMsg == NULL)
            return 0;
    }
    PR_FillHead(pMsg, in_iMsgFuncId, in_dwTransId, in_iBodyLen);
    if (in_iBodyLen > 0)
        memcpy(pMsg + VXQ_DPS_APP_MSG_HEAD_LEN, in_pBody, (size_t)in_iBodyLen);
    iRet = VXQ_F_DPS_MC_SentProEventToUpApp(inout_pMcSrvData, pMsg, VXQ_DPS_APP_MSG_HEAD_LEN + in_iBodyLen);
    if (pMsg != ucStack)
        free(pMsg);
    return iRet;
}

/* Transactions ------------------------------------------------------------- */

_VXQ_S_DPS_TRANS_DATA *VXQ_F_DPS_MC_Trans_CreateTransData(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData)
{
    _VXQ_S_DPS_TRANS_DATA *pTrans;
    uint32_t dwRand;
    if (inout_pMcSrvData == NULL)
        return NULL;
    for (uint32_t i = 0; i < VXQ_DPS_MAX_TRANS_NUM; i++) {
        if (inout_pMcSrvData->pTrans[i] != NULL)
            continue;
        pTrans = (_VXQ_S_DPS_TRANS_DATA *)calloc(1, sizeof(*pTrans));
        if (pTrans == NULL)
            return NULL;
        /* Nonzero upper bits: an id of 0 means "no answer awaited". */
        dwRand = VXQ_F_SYS_GetRandom32() & 0xFFFFu;
        if (dwRand == 0)
            dwRand = 1;
        pTrans->dwTransId = (dwRand << 16) | i;
        pTrans->tCreateTime = VXQ_F_CLOCK_NowSec();
        VXQ_F_THREAD_Mutex_Lock(inout_pMcSrvData->hTransLock);
        inout_pMcSrvData->pTrans[i] = pTrans;
        VXQ_F_THREAD_Mutex_Unlock(inout_pMcSrvData->hTransLock);
        return pTrans;
    }
    return NULL;
}

/* Copies the user behind the connection of in_pTrans->dwPortId into the record
 * (under the lock: the record is already in the table, readable by other threads). */
static void PR_NoteTransUser(_VXQ_S_DPS_MCSRV_DATA *p, _VXQ_S_DPS_TRANS_DATA *inout_pTrans)
{
    _VXQ_S_DPS_NET_PORT_DATA *pConn = VXQ_F_DPS_MC_NetPortData_QueryByPortId(p, inout_pTrans->dwPortId);
    _VXQ_S_DPS_NET_PORT_DATA *pLogin = (pConn != NULL && pConn->dwLoginId != 0)
                                           ? VXQ_F_DPS_MC_NetPortData_QueryByLoginId(p, pConn->dwLoginId)
                                           : NULL;
    const _VXQ_S_DPS_USER_INFO *pUser = pLogin != NULL ? pLogin->pUserInfo : NULL;
    if (pUser == NULL)
        return;
    VXQ_F_THREAD_Mutex_Lock(p->hTransLock);
    inout_pTrans->bUserKnown = 1;
    inout_pTrans->dwGlobalPop = pUser->dwPopMask;
    memcpy(inout_pTrans->sUserName, pUser->sUserName, sizeof(inout_pTrans->sUserName));
    VXQ_F_THREAD_Mutex_Unlock(p->hTransLock);
}

_VXQ_S_DPS_TRANS_DATA *VXQ_F_DPS_MC_Trans_CreateTransDataOfLinkData(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                                    uint32_t in_dwPortId,
                                                                    uint16_t in_usMsgFuncId,
                                                                    const uint8_t *in_pRequest,
                                                                    int32_t in_iLength)
{
    _VXQ_S_DPS_TRANS_DATA *pTrans;
    if (in_pRequest == NULL || in_iLength <= 0)
        return NULL;
    pTrans = VXQ_F_DPS_MC_Trans_CreateTransData(inout_pMcSrvData);
    if (pTrans == NULL)
        return NULL;
    pTrans->dwPortId = in_dwPortId;
    pTrans->usMsgFuncId = in_usMsgFuncId;
    PR_NoteTransUser(inout_pMcSrvData, pTrans);
    if (!VXQ_F_MEM_MG_SetDataToBuf(&pTrans->pRequDataBuf, &pTrans->iRequDataBufSize, &pTrans->iRequDataLen,
                                   in_pRequest, in_iLength)) {
        VXQ_F_DPS_MC_Trans_DeleteTransData(inout_pMcSrvData, pTrans);
        return NULL;
    }
    return pTrans;
}

_VXQ_S_DPS_TRANS_DATA *VXQ_F_DPS_MC_Trans_QueryTransDataByTransId(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData,
                                                                  uint32_t in_dwTransId)
{
    uint32_t dwIndex = in_dwTransId & 0xFFFFu;
    _VXQ_S_DPS_TRANS_DATA *pTrans;
    if (in_pMcSrvData == NULL || dwIndex >= VXQ_DPS_MAX_TRANS_NUM)
        return NULL;
    pTrans = in_pMcSrvData->pTrans[dwIndex];
    if (pTrans == NULL || pTrans->dwTransId != in_dwTransId)
        return NULL;
    return pTrans;
}

void VXQ_F_DPS_MC_Trans_DeleteTransData(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                        _VXQ_S_DPS_TRANS_DATA *in_pTrans)
{
    uint32_t dwIndex;
    if (inout_pMcSrvData == NULL || in_pTrans == NULL)
        return;
    dwIndex = in_pTrans->dwTransId & 0xFFFFu;
    if (dwIndex >= VXQ_DPS_MAX_TRANS_NUM || inout_pMcSrvData->pTrans[dwIndex] != in_pTrans)
        return;
    VXQ_F_THREAD_Mutex_Lock(inout_pMcSrvData->hTransLock);
    inout_pMcSrvData->pTrans[dwIndex] = NULL;
    VXQ_F_THREAD_Mutex_Unlock(inout_pMcSrvData->hTransLock);
    free(in_pTrans->pRequDataBuf);
    free(in_pTrans);
}

extern "C" int VXQ_F_DPS_QueryTransUser(VXQ_DPS_HANDLE in_hDevProNetSrv, uint32_t in_dwTransId,
                                        char out_sUserName[VXQ_DPS_USER_NAME_SIZE],
                                        uint32_t *out_pdwGlobalPop)
{
    _VXQ_S_DPS_MCSRV_DATA *p = (_VXQ_S_DPS_MCSRV_DATA *)in_hDevProNetSrv;
    uint32_t dwIndex = in_dwTransId & 0xFFFFu;
    const _VXQ_S_DPS_TRANS_DATA *pTrans;
    int iFound = 0;
    if (out_sUserName != NULL)
        memset(out_sUserName, 0, VXQ_DPS_USER_NAME_SIZE);
    if (out_pdwGlobalPop != NULL)
        *out_pdwGlobalPop = 0;
    if (p == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_QueryTransUser in_hDevProNetSrv error.", 2);
        return 0;
    }
    if (in_dwTransId == 0 || dwIndex >= VXQ_DPS_MAX_TRANS_NUM)
        return 0;
    /* Only the lock makes the entry safe to read here: the control thread
     * deletes records under it. Nothing inside waits for anything else. */
    VXQ_F_THREAD_Mutex_Lock(p->hTransLock);
    pTrans = p->pTrans[dwIndex];
    if (pTrans != NULL && pTrans->dwTransId == in_dwTransId && pTrans->bUserKnown) {
        if (out_sUserName != NULL)
            memcpy(out_sUserName, pTrans->sUserName, sizeof(pTrans->sUserName));
        if (out_pdwGlobalPop != NULL)
            *out_pdwGlobalPop = pTrans->dwGlobalPop;
        iFound = 1;
    }
    VXQ_F_THREAD_Mutex_Unlock(p->hTransLock);
    return iFound;
}

void VXQ_F_DPS_MC_Trans_ReleaseAllTransData(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData)
{
    if (inout_pMcSrvData == NULL)
        return;
    for (int32_t i = 0; i < VXQ_DPS_MAX_TRANS_NUM; i++) {
        if (inout_pMcSrvData->pTrans[i] != NULL)
            VXQ_F_DPS_MC_Trans_DeleteTransData(inout_pMcSrvData, inout_pMcSrvData->pTrans[i]);
    }
}

int32_t VXQ_F_DPS_MC_StatTransDataTotalLen(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData)
{
    int32_t iTotal = 0;
    if (in_pMcSrvData == NULL)
        return 0;
    for (int32_t i = 0; i < VXQ_DPS_MAX_TRANS_NUM; i++) {
        if (in_pMcSrvData->pTrans[i] != NULL)
            iTotal += in_pMcSrvData->pTrans[i]->iRequDataBufSize + (int32_t)sizeof(_VXQ_S_DPS_TRANS_DATA);
    }
    return iTotal;
}

/* Orders ---------------------------------------------------------------------- */

int VXQ_F_DPS_MC_PostControlWork(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, VXQ_PF_DPS_CONTROL_WORK in_fnWork,
                                 const void *in_pArg, int32_t in_iArgLen)
{
    if (inout_pMcSrvData == NULL)
        return 0;
    return VXQ_F_DPS_MC_PostControlWorkEx(inout_pMcSrvData, in_fnWork, NULL, in_pArg, in_iArgLen,
                                          VXQ_F_DPS_MC_HostPostWaitMs(inout_pMcSrvData), -1);
}

int VXQ_F_DPS_MC_PostControlWorkEx(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, VXQ_PF_DPS_CONTROL_WORK in_fnWork,
                                   VXQ_PF_DPS_CONTROL_WORK in_fnDrop, const void *in_pArg, int32_t in_iArgLen, int32_t in_iWaitMs,
                                   int64_t in_llCounted)
{
    uint8_t ucMsg[VXQ_DPS_APP_MSG_HEAD_LEN + sizeof(_VXQ_S_DPS_CONTROL_WORK_BODY)];
    _VXQ_S_DPS_CONTROL_WORK_BODY tBody;
    if (inout_pMcSrvData == NULL || in_fnWork == NULL || in_iArgLen < 0 ||
        in_iArgLen > VXQ_DPS_CONTROL_WORK_MAX_ARG || (in_iArgLen > 0 && in_pArg == NULL))
        return 0;
    memset(&tBody, 0, sizeof(tBody));
    tBody.dwKey = inout_pMcSrvData->dwControlWorkKey;
    tBody.iArgLen = in_iArgLen;
    tBody.fnWork = in_fnWork;
    tBody.fnDrop = in_fnDrop;
    if (in_iArgLen > 0)
        memcpy(tBody.ucArg, in_pArg, (size_t)in_iArgLen);
    PR_FillHead(ucMsg, VXQ_DPS_ORDER_CONTROL_WORK, 0, (int32_t)sizeof(tBody));
    memcpy(ucMsg + VXQ_DPS_APP_MSG_HEAD_LEN, &tBody, sizeof(tBody));
    if (!VXQ_F_TOOLS_QUEUE_SetDataCounted(inout_pMcSrvData->hOrderQueue, ucMsg, (int32_t)sizeof(ucMsg),
                                          in_llCounted >= 0 ? in_llCounted : (int64_t)sizeof(ucMsg),
                                          in_iWaitMs))
        return 0;
    VXQ_F_NETCOM_WakeUp(inout_pMcSrvData->hNetSrv);
    return 1;
}

/* Reads a control-work order into out_pBody; 0 when it is not one or does not
 * carry this instance's key. */
static int PR_ReadControlWork(const _VXQ_S_DPS_MCSRV_DATA *p, const uint8_t *in_pOrder, int32_t in_iLength,
                              _VXQ_S_DPS_CONTROL_WORK_BODY *out_pBody)
{
    if (in_iLength != (int32_t)(VXQ_DPS_APP_MSG_HEAD_LEN + sizeof(*out_pBody)) ||
        VXQ_F_DPS_MC_MsgHead_FuncId(in_pOrder) != VXQ_DPS_ORDER_CONTROL_WORK)
        return 0;
    memcpy(out_pBody, in_pOrder + VXQ_DPS_APP_MSG_HEAD_LEN, sizeof(*out_pBody));
    return p->dwControlWorkKey != 0 && out_pBody->dwKey == p->dwControlWorkKey && out_pBody->fnWork != NULL &&
           out_pBody->iArgLen >= 0 && out_pBody->iArgLen <= VXQ_DPS_CONTROL_WORK_MAX_ARG;
}

/* Runs a control-work order; 0 when it does not carry this instance's key. */
static int PR_DoControlWork(_VXQ_S_DPS_MCSRV_DATA *p, const uint8_t *in_pOrder, int32_t in_iLength)
{
    _VXQ_S_DPS_CONTROL_WORK_BODY tBody;
    if (!PR_ReadControlWork(p, in_pOrder, in_iLength, &tBody))
        return 0;
    tBody.fnWork(p, tBody.ucArg, tBody.iArgLen);
    return 1;
}

void VXQ_F_DPS_MC_DropOrders(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData)
{
    _VXQ_S_DPS_CONTROL_WORK_BODY tBody;
    if (inout_pMcSrvData == NULL || inout_pMcSrvData->hOrderQueue == NULL)
        return;
    while (VXQ_F_DPS_MC_TakeWorkItem(inout_pMcSrvData, inout_pMcSrvData->hOrderQueue)) {
        if (PR_ReadControlWork(inout_pMcSrvData, (const uint8_t *)inout_pMcSrvData->pWorkBuf,
                               inout_pMcSrvData->iWorkDataLen, &tBody) &&
            tBody.fnDrop != NULL)
            tBody.fnDrop(inout_pMcSrvData, tBody.ucArg, tBody.iArgLen);
    }
}

int VXQ_F_DPS_MW_DoOrderData(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                             int32_t in_iLength)
{
    const _VXQ_S_DPS_FUNC_LINE *pLine;
    char sText[128];
    int32_t iMsgFuncId;
    int32_t iBodyLen;
    if (inout_pMcSrvData == NULL || inout_pOrder == NULL)
        return 0;
    if (in_iLength < VXQ_DPS_APP_MSG_HEAD_LEN) {
        snprintf(sText, sizeof(sText), "Order msg length error, iLength: %d.", (int)in_iLength);
        VXQ_F_LOG_SR_WriteLog(sText, 2);
        return 0;
    }
    iMsgFuncId = VXQ_F_DPS_MC_MsgHead_FuncId(inout_pOrder);
    if (iMsgFuncId == VXQ_DPS_ORDER_CONTROL_WORK &&
        PR_DoControlWork(inout_pMcSrvData, inout_pOrder, in_iLength))
        return 1;
    pLine = VXQ_F_DPS_MC_FindOrderLine(inout_pMcSrvData, iMsgFuncId);
    if (pLine == NULL) {
        snprintf(sText, sizeof(sText), "Order msg function id error, iMsgFuncId: %8.8x.",
                 (unsigned)iMsgFuncId);
        VXQ_F_LOG_SR_ShowInfo(sText);
        return 0;
    }
    /* The body the head announces must be there, and at least the fixed part the handler reads. */
    memcpy(&iBodyLen, inout_pOrder + PR_OFF_BODY_LEN, 4);
    if (iBodyLen < pLine->iMinOrderBody || iBodyLen > in_iLength - VXQ_DPS_APP_MSG_HEAD_LEN) {
        snprintf(sText, sizeof(sText),
                 "Order msg length error, iMsgFuncId: %8.8x, iBodyLen: %d, iLength: %d.",
                 (unsigned)iMsgFuncId, (int)iBodyLen, (int)in_iLength);
        VXQ_F_LOG_SR_WriteLog(sText, 2);
        return 0;
    }
    if (pLine->fnOrder != NULL)
        return pLine->fnOrder(inout_pMcSrvData, inout_pOrder, in_iLength);
    if (pLine->tRelay.ucAnswer != VXQ_DPS_ANSWER_NONE)
        return inout_pMcSrvData->tHooks.pFuncTable->fnRelayAnswer(inout_pMcSrvData, inout_pOrder, in_iLength,
                                                                   pLine);
    return 1;
}
