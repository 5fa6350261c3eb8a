/* Service instance: start and stop in their fixed order, the host's tuning
 * setters and the configuration accessors. See core/instance.h. */
#include "core/instance.h"

#include "core/channel.h"
#include "core/conn.h"
#include "core/control.h"
#include "core/hostcall.h"
#include "vxq_clock.h"
#include "vxq_inistore.h"
#include "vxq_log.h"
#include "vxq_netcom.h"
#include "vxq_syshelp.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

void VXQ_F_DPS_MC_DebugLine(int in_iLevel, const char *in_sFormat, ...)
{
    char sText[512];
    va_list tArgs;
    va_start(tArgs, in_sFormat);
    vsnprintf(sText, sizeof(sText), in_sFormat, tArgs);
    va_end(tArgs);
    if (in_iLevel == 0)
        VXQ_F_LOG_SR_ShowInfo(sText);
    else
        VXQ_F_LOG_SR_WriteLog(sText, in_iLevel);
}

int32_t VXQ_F_DPS_MC_ChNoToSlot(const _VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData, int32_t in_iChNo)
{
    int32_t iSlot;
    if (in_pMcSrvData == NULL)
        return -1;
    iSlot = VXQ_F_DPS_MC_MediaChTable_SlotIndex(in_pMcSrvData->tDevCapInfo.bSpecialChFlag != 0, in_iChNo);
    if (iSlot < 0 || iSlot > VXQ_DPS_SPECIAL_CH_SLOT)
        return -1;
    return iSlot;
}

/* Creates the three queues, sets the run defaults and has the media table made;
 * the service id draws its random part from the private generator. */
int VXQ_F_DPS_MC_InitData(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    if (p == NULL)
        return 0;
    p->bShowRunState = 1;
    p->dwServerId = ((uint32_t)VXQ_F_CLOCK_NowSec() << 16) + (VXQ_F_SYS_GetRandom32() & 0xFFFFu);
    p->dwControlWorkKey = VXQ_F_SYS_GetRandom32() | 1u;
    if (!VXQ_F_TOOLS_QUEUE_InitQueue(&p->hOrderQueue, VXQ_DPS_ORDER_QUEUE_SIZE) ||
        !VXQ_F_TOOLS_QUEUE_InitQueue(&p->hCallbackQueue, VXQ_DPS_CALLBACK_QUEUE_SIZE) ||
        !VXQ_F_TOOLS_QUEUE_InitQueue(&p->hRecvLogQueue, VXQ_DPS_RECVLOG_QUEUE_SIZE)) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MC_InitData VXQ_F_TOOLS_QUEUE_InitQueue fail.", 2);
        return 0;
    }
    p->hTransLock = VXQ_F_THREAD_Mutex_Create();
    if (p->hTransLock == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MC_InitData VXQ_F_THREAD_Mutex_Create fail.", 2);
        return 0;
    }
    if (p->tHooks.fnMediaStart != NULL && !p->tHooks.fnMediaStart(p))
        return 0;
    return 1;
}

void VXQ_F_DPS_MC_UninitData(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    if (p == NULL)
        return;
    VXQ_F_DPS_MC_DropOrders(p);
    if (p->hOrderQueue)
        VXQ_F_TOOLS_QUEUE_FreeQueue(&p->hOrderQueue);
    if (p->hCallbackQueue)
        VXQ_F_TOOLS_QUEUE_FreeQueue(&p->hCallbackQueue);
    if (p->hRecvLogQueue)
        VXQ_F_TOOLS_QUEUE_FreeQueue(&p->hRecvLogQueue);
    VXQ_F_DPS_MC_NetPortData_ReleaseAllData(p);
    VXQ_F_DPS_MC_Trans_ReleaseAllTransData(p);
    if (p->hTransLock) {
        VXQ_F_THREAD_Mutex_Destroy(p->hTransLock);
        p->hTransLock = NULL;
    }
    if (p->tHooks.fnMediaStop != NULL)
        p->tHooks.fnMediaStop(p);
    if (p->pWorkBuf)
        VXQ_F_TOOLS_QUEUE_FreeMemory(&p->pWorkBuf);
    p->iWorkBufSize = 0;
    p->iWorkDataLen = 0;
    if (p->pCallbackBuf)
        VXQ_F_TOOLS_QUEUE_FreeMemory(&p->pCallbackBuf);
    p->iCallbackBufSize = 0;
    p->iCallbackDataLen = 0;
}

int VXQ_F_DPS_MC_StartNetServer(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    uint16_t usPort;
    if (p == NULL)
        return 0;
    p->hNetSrv = VXQ_F_NETCOM_StartNetServerByNoThread(VXQ_F_DPS_NETCOM_EventCallback, p);
    if (p->hNetSrv == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MC_StartNetServer VXQ_F_NETCOM_StartNetServerByNoThread fail.", 2);
        return 0;
    }
    usPort = p->usTcpPort;
    if (!VXQ_F_NETCOM_StartTcpListen(p->hNetSrv, &usPort, &p->dwTcpListenPortId)) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MC_StartNetServer VXQ_F_NETCOM_StartTcpListen fail.", 2);
        return 0;
    }
    p->usTcpPort = usPort; /* the port the system chose when 0 was given */
    usPort = p->usUdpPort;
    if (!VXQ_F_NETCOM_StartUdpListen(p->hNetSrv, &usPort, &p->dwUdpPortId)) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MC_StartNetServer VXQ_F_NETCOM_StartUdpListen fail.", 2);
        return 0;
    }
    if (!VXQ_F_NETCOM_SetBroadcastFlag(p->hNetSrv, p->dwUdpPortId, 1)) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MC_StartNetServer VXQ_F_NETCOM_SetBroadcastFlag fail.", 2);
        return 0;
    }
    return 1;
}

void VXQ_F_DPS_MC_StopNetServer(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData)
{
    if (inout_pMcSrvData == NULL || inout_pMcSrvData->hNetSrv == NULL)
        return;
    VXQ_F_NETCOM_CloseNetServer(inout_pMcSrvData->hNetSrv);
    inout_pMcSrvData->hNetSrv = NULL;
}

int VXQ_F_DPS_MC_StartMcServer(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    if (!VXQ_F_DPS_MC_InitData(p)) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MC_StartMcServer VXQ_F_DPS_MC_InitData fail.", 2);
        return 0;
    }
    VXQ_F_LOG_SR_SetRecvLogQueue(p->hRecvLogQueue);
    if (!VXQ_F_DPS_MC_StartNetServer(p)) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MC_StartMcServer VXQ_F_DPS_MC_StartNetServer fail.", 2);
        return 0;
    }
    if (!VXQ_F_DPS_MC_StartThread(p) || !VXQ_F_DPS_MC_Callback_StartThread(p)) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MC_StartMcServer VXQ_F_DPS_MC_StartThread fail.", 2);
        return 0;
    }
    return 1;
}

void VXQ_F_DPS_MC_StopMcServer(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData)
{
    if (inout_pMcSrvData == NULL)
        return;
    VXQ_F_DPS_MC_Callback_QuitThread(inout_pMcSrvData);
    VXQ_F_DPS_MC_QuitThread(inout_pMcSrvData);
    VXQ_F_DPS_MC_StopNetServer(inout_pMcSrvData);
    /* The log writer must stop feeding the queue before the queue is freed. */
    VXQ_F_LOG_SR_SetRecvLogQueue(NULL);
    VXQ_F_DPS_MC_UninitData(inout_pMcSrvData);
}

int VXQ_F_DPS_NETCOM_EventCallback(void *in_pUser, const char *in_pRecord, int32_t in_iLength)
{
    _VXQ_S_DPS_MCSRV_DATA *p = (_VXQ_S_DPS_MCSRV_DATA *)in_pUser;
    if (p == NULL || in_pRecord == NULL || in_iLength <= 0)
        return 0;
    /* The record is the engine's scratch, ours to rewrite until we return
     * (net/selengine.h): handled here and now, as an event loop does. */
    VXQ_F_DPS_MC_DoNetRecord(p, (uint8_t *)in_pRecord, in_iLength);
    return 1;
}

/* Exported API ------------------------------------------------------------ */

extern "C" int VXQ_F_DPS_SendDevProData(VXQ_DPS_HANDLE in_hDevProNetSrv, const void *in_pData, int in_iLength)
{
    _VXQ_S_DPS_MCSRV_DATA *p = (_VXQ_S_DPS_MCSRV_DATA *)in_hDevProNetSrv;
    if (p == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_SendDevProData pMcSrvData is NULL.", 2);
        return 0;
    }
    if (in_pData == NULL || in_iLength <= 0 ||
        !VXQ_F_TOOLS_QUEUE_SetData(p->hOrderQueue, in_pData, in_iLength, VXQ_F_DPS_MC_HostPostWaitMs(p))) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_SendDevProData VXQ_F_TOOLS_QUEUE_SetData fail.", 2);
        return 0;
    }
    /* The control thread may be waiting in its engine pass: the order is seen at once. */
    VXQ_F_NETCOM_WakeUp(p->hNetSrv);
    return 1;
}

extern "C" int VXQ_F_DPS_SetMediaDataBufSize(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_iMediaDataBufSize)
{
    _VXQ_S_DPS_MCSRV_DATA *p = (_VXQ_S_DPS_MCSRV_DATA *)in_hDevProNetSrv;
    if (p == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_SetMediaDataBufSize pMcSrvData is NULL.", 2);
        return 0;
    }
    if (in_iMediaDataBufSize < 1024 * 1024 * 1) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_SetMediaDataBufSize in_iMediaDataBufSize < 1024*1024*1.", 2);
        return 0;
    }
    if (in_iMediaDataBufSize > 1024 * 1024 * 30) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_SetMediaDataBufSize in_iMediaDataBufSize > 1024*1024*30.", 2);
        return 0;
    }
    p->iMediaDataBufSize = in_iMediaDataBufSize;
    return 1;
}

extern "C" int VXQ_F_DPS_SetShowRunState(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_bFlag)
{
    _VXQ_S_DPS_MCSRV_DATA *p = (_VXQ_S_DPS_MCSRV_DATA *)in_hDevProNetSrv;
    if (p == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_SetShowRunState pMcSrvData is NULL.", 2);
        return 0;
    }
    __atomic_store_n(&p->bShowRunState, (uint32_t)in_bFlag, __ATOMIC_RELAXED);
    __atomic_store_n(&p->bSavedShowRunState, (uint32_t)in_bFlag, __ATOMIC_RELAXED);
    return 1;
}

extern "C" int VXQ_F_DPS_SetTraceDebugEnable(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_bEnable)
{
    _VXQ_S_DPS_MCSRV_DATA *p = (_VXQ_S_DPS_MCSRV_DATA *)in_hDevProNetSrv;
    if (p == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_SetTraceDebugEnable pMcSrvData is NULL.", 2);
        return 0;
    }
    /* One word; the control thread reads it with every management datagram and log duty. */
    __atomic_store_n(&p->bMnTraceDebugOff, (uint32_t)(in_bEnable ? 0 : 1), __ATOMIC_RELAXED);
    return 1;
}

extern "C" int VXQ_F_DPS_SetOnlySendIFrameTimeLen(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_iIFrameTimeLen)
{
    _VXQ_S_DPS_MCSRV_DATA *p = (_VXQ_S_DPS_MCSRV_DATA *)in_hDevProNetSrv;
    if (p == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_SetOnlySendIFrameTimeLen pMcSrvData is NULL.", 2);
        return 0;
    }
    if (in_iIFrameTimeLen < 1 || in_iIFrameTimeLen > 3600) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_SetOnlySendIFrameTimeLen in_iIFrameTimeLen error[1~3600].", 2);
        return 0;
    }
    p->iOnlySendIFrameTimeLen = in_iIFrameTimeLen;
    return 1;
}

extern "C" int VXQ_F_DPS_SetMaxRealplayClientNum(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_iMaxClientNum)
{
    _VXQ_S_DPS_MCSRV_DATA *p = (_VXQ_S_DPS_MCSRV_DATA *)in_hDevProNetSrv;
    if (p == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_SetMaxRealplayClientNum pMcSrvData is NULL.", 2);
        return 0;
    }
    if (in_iMaxClientNum < 1 || in_iMaxClientNum > 64) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_SetMaxRealplayClientNum in_iMaxClientNum error[1~64].", 2);
        return 0;
    }
    p->iMaxRealplayClientNum = in_iMaxClientNum;
    return 1;
}

extern "C" int VXQ_F_DPS_CA_GetString(const char *in_sSection, const char *in_sKey, const char *in_sDefault,
                                      char *out_sValue, int out_iSize, const char *in_sFile)
{
    return VXQ_F_CONFIGMG_GetString(in_sSection, in_sKey, in_sDefault, out_sValue, out_iSize, in_sFile);
}

extern "C" int VXQ_F_DPS_CA_GetInt(const char *in_sSection, const char *in_sKey, int in_iDefault,
                                   const char *in_sFile)
{
    return VXQ_F_CONFIGMG_GetInt(in_sSection, in_sKey, in_iDefault, in_sFile);
}

extern "C" double VXQ_F_DPS_CA_GetDouble(const char *in_sSection, const char *in_sKey, double in_fDefault,
                                         const char *in_sFile)
{
    return VXQ_F_CONFIGMG_GetDouble(in_sSection, in_sKey, in_fDefault, in_sFile);
}

extern "C" int VXQ_F_DPS_CA_SetString(const char *in_sSection, const char *in_sKey, const char *in_sValue,
                                      const char *in_sFile)
{
    return VXQ_F_CONFIGMG_SetString(in_sSection, in_sKey, in_sValue, in_sFile);
}

extern "C" int VXQ_F_DPS_CA_SetInt(const char *in_sSection, const char *in_sKey, int in_iValue,
                                   const char *in_sFile)
{
    return VXQ_F_CONFIGMG_SetInt(in_sSection, in_sKey, in_iValue, in_sFile);
}

extern "C" int VXQ_F_DPS_CA_SetDouble(const char *in_sSection, const char *in_sKey, double in_fValue,
                                      const char *in_sFile)
{
    return VXQ_F_CONFIGMG_SetDouble(in_sSection, in_sKey, in_fValue, in_sFile);
}
