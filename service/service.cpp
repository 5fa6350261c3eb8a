/* Start and stop of a service and the installation of its families; see
 * service/service.h. */
#include "service/service.h"

#include "media/direct.h"
#include "mgmt/npd.h"
#include "ops/functab.h"
#include "protocol/admission.h"
#include "protocol/dispatch.h"
#include "vxq_log.h"
#include "vxq_logserver.h"

#include <stdlib.h>
#include <string.h>

void VXQ_F_DPS_SVC_InstallFamilies(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData)
{
    _VXQ_S_DPS_HOOKS *pHooks;
    if (inout_pMcSrvData == NULL)
        return;
    pHooks = &inout_pMcSrvData->tHooks;
    VXQ_F_DPS_MW_FuncTable_Install(pHooks);
    VXQ_F_DPS_MW_Dispatch_Install(pHooks);
    /* The 100 ms duties: log lines to trace clients, then the waiting quotes. */
    VXQ_F_DPS_MC_NPD_Install(pHooks);
    VXQ_F_DPS_MC_ADMIT_Install(pHooks);
    VXQ_F_DPS_MC_MEDIA_Install(pHooks);
}

extern "C" VXQ_DPS_HANDLE VXQ_F_DPS_StartDevProNetServer(uint16_t in_usTcpPort,
                                                       const _VXQ_S_DPS_DEV_CAP_INFO *in_pDevCapInfo,
                                                       VXQ_DPS_EVENT_CALLBACK fnEventCallback, void *pEventUser,
                                                       VXQ_DPS_QUERY_USER_CALLBACK fnQueryUserCallback,
                                                       void *pQueryUser, int in_bDebugLog, int in_bDebugMediaLog,
                                                       int in_bWriteLogToFile, const char *in_pLogDir,
                                                       uint16_t in_usLogSrvPort, int in_iPwdMode)
{
    _VXQ_S_DPS_MCSRV_DATA *p;
    VXQ_F_LOG_SR_ShowInfoEx(VXQ_DPS_VERSION_SHOW);
    if (in_iPwdMode != 0 && in_iPwdMode != 1) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_StartDevProNetServer in_iPwdMode error.", 2);
        return NULL;
    }
    if (in_pDevCapInfo == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_StartDevProNetServer in_pDevCapInfo error.", 2);
        return NULL;
    }
    if (in_pDevCapInfo->iVideoChanNum < 1 || in_pDevCapInfo->iVideoChanNum > 64) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_StartDevProNetServer in_pDevCapInfo iVideoChanNum error.", 2);
        return NULL;
    }
    if (in_pDevCapInfo->iAudioChanNum < 0 || in_pDevCapInfo->iAudioChanNum > 64) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_StartDevProNetServer in_pDevCapInfo iAudioChanNum error.", 2);
        return NULL;
    }
    if (in_pDevCapInfo->iSubProtoNum < 0 || in_pDevCapInfo->iSubProtoNum > 2) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_StartDevProNetServer in_pDevCapInfo iSubProtoNum error.", 2);
        return NULL;
    }
    p = (_VXQ_S_DPS_MCSRV_DATA *)calloc(1, sizeof(*p));
    if (p == NULL) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_StartDevProNetServer malloc fail.", 2);
        return NULL;
    }
    p->usTcpPort = in_usTcpPort;
    memcpy(&p->tDevCapInfo, in_pDevCapInfo, sizeof(p->tDevCapInfo));
    p->fnEventCallback = fnEventCallback;
    p->pEventUser = pEventUser;
    p->fnQueryUserCallback = fnQueryUserCallback;
    p->pQueryUser = pQueryUser;
    p->bDebugLog = (uint32_t)in_bDebugLog;
    p->bDebugMediaLog = (uint32_t)in_bDebugMediaLog;
    p->iMediaDataBufSize = VXQ_DPS_DEF_MEDIA_BUF_SIZE;
    p->usLogSrvPort = in_usLogSrvPort;
    p->ucPwdMode = (uint8_t)(in_iPwdMode & 0xFF);
    p->usUdpPort = VXQ_DPS_UDP_PORT;
    p->iOnlySendIFrameTimeLen = 60;
    p->iMaxRealplayClientNum = 64;
    p->bSavedDebugLog = p->bDebugLog;
    p->bSavedDebugMediaLog = p->bDebugMediaLog;
    p->bSavedShowRunState = p->bShowRunState; /* 0: the run default is set later */
    VXQ_F_DPS_SVC_InstallFamilies(p);

    VXQ_F_LOG_SR_SetIfWriteLogToFile(in_bWriteLogToFile);
    VXQ_F_LOG_SR_SetIfShowEnglishLogHead(1);
    VXQ_F_LOG_SR_SetIfShowLog(0);
    if (in_pLogDir != NULL)
        VXQ_F_LOG_SR_SetLogDir(in_pLogDir);
    if (in_usLogSrvPort != 0) {
        if (VXQ_F_LOG_SR_StartLogService(in_usLogSrvPort))
            p->bLogSrvStarted = 1;
        else
            VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_StartDevProNetServer VXQ_F_LOG_SR_StartLogService fail.", 2);
    }

    if (!VXQ_F_DPS_MC_StartMcServer(p)) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_StartDevProNetServer VXQ_F_DPS_MC_StartMcServer fail.", 2);
        VXQ_F_DPS_StopDevProNetServer((VXQ_DPS_HANDLE)p);
        return NULL;
    }
    VXQ_F_LOG_SR_ShowInfo("Start device protocol network service success.");
    return (VXQ_DPS_HANDLE)p;
}

extern "C" int VXQ_F_DPS_StopDevProNetServer(VXQ_DPS_HANDLE in_hDevProNetSrv)
{
    _VXQ_S_DPS_MCSRV_DATA *p = (_VXQ_S_DPS_MCSRV_DATA *)in_hDevProNetSrv;
    VXQ_F_LOG_SR_ShowInfo("Stop device protocol network service.");
    if (p == NULL)
        return 1;
    VXQ_F_DPS_MC_StopMcServer(p);
    if (p->bLogSrvStarted) {
        VXQ_F_LOG_SR_StopLogService();
        p->bLogSrvStarted = 0;
    }
    free(p);
    return 1;
}
