/*
 * Includes every public header as C99 and calls one function of each, linked
 * against the shared library: a header that is not C, or a function that is
 * not exported with C linkage, fails here. Add each new public header here.
 */
#include "vxq_base.h"
#include "vxq_clock.h"
#include "vxq_digest.h"
#include "vxq_dps.h"
#include "vxq_dps_bodies.h"
#include "vxq_inistore.h"
#include "vxq_log.h"
#include "vxq_media.h"
#include "vxq_logserver.h"
#include "vxq_logupload.h"
#include "vxq_membuf.h"
#include "vxq_queue.h"
#include "vxq_netcom.h"
#include "vxq_sockwrap.h"
#include "vxq_syshelp.h"
#include "vxq_textfile.h"
#include "vxq_thread.h"

#include <stdio.h>

int main(void)
{
    int iFailures = 0;
    if (VXQ_F_CLOCK_TickMs() == 0 && VXQ_F_CLOCK_NowSec() == 0)
        iFailures++;
    if (VXQ_F_LOG_SR_WriteLog("public headers check", 1) != 1)
        iFailures++;
    VXQ_F_LOG_SR_SetIfShowLog(1);
    if (sizeof(_VXQ_S_LOG_SR_RECV_LOG_DATA) != 536 || VXQ_F_LOG_SR_ReadFileSize("/nonexistent/vxq") != 0 ||
        VXQ_F_LOG_SR_WriteLogToQueue(3, "no queue set") != 1)
        iFailures++;
    if (VXQ_F_NETCOM_QueryRecvQueueSize((VXQ_HNETSRV)0) != -1 || VXQ_F_NETCOM_WakeUp((VXQ_HNETSRV)0) != 0)
        iFailures++;
    if (VXQ_F_SYS_SOCKET_CheckIpaddr("127.0.0.1") != 1)
        iFailures++;
    if (VXQ_F_OpenFile(NULL, VXQ_FILE_MODE_READ) != NULL || VXQ_F_CloseFile(NULL) != 1)
        iFailures++;
    if (VXQ_F_CONFIGMG_GetInt("none", "none", 5, "/nonexistent/vxq.ini") != 5)
        iFailures++;
    {
        char sHex[33];
        if (VXQ_TOOLS_MD5_EncodeString(sHex, "") != 1 || sHex[0] != 'd' || sHex[32] != '\0')
            iFailures++;
    }
    /* The service API is declared here for the host; its records must keep
     * their sizes in C as in C++. */
    if (sizeof(_VXQ_S_DPS_MSG_HEAD) != 16 || sizeof(_VXQ_S_DPS_USER_INFO) != 332 ||
        sizeof(_VXQ_S_DPS_E2_OPEN_MEDIA_STREAM) != 48 ||
        offsetof(_VXQ_S_DPS_DEV_CAP_INFO, bRealplayCheckFlag) != 112)
        iFailures++;
    /* Record search and download bodies. */
    if (sizeof(_VXQ_S_DPS_FILE_INFO) != 220 || sizeof(_VXQ_S_DPS_E2_FILE_OPEN) != 360 ||
        sizeof(_VXQ_S_DPS_E2_FILE_OPEN_BY_TIME) != 284 || sizeof(_VXQ_S_DPS_E2_FILE_READ) != 40 ||
        VXQ_DPS_FILE_READ_DATA_END(VXQ_DPS_FILE_READ_MAKE(3, 1)) != 1)
        iFailures++;
    /* The service API refuses a null handle; stopping one only writes its line. */
    if (VXQ_F_DPS_StopDevProNetServer((VXQ_DPS_HANDLE)0) != 1 ||
        VXQ_F_DPS_SendDevProData((VXQ_DPS_HANDLE)0, "x", 1) != 0 ||
        VXQ_F_DPS_SetMediaDataBufSize((VXQ_DPS_HANDLE)0, 1048576) != 0 ||
        VXQ_F_DPS_SetMediaDataBufSizeByCh((VXQ_DPS_HANDLE)0, 0, 0, 0) != 0 ||
        VXQ_F_DPS_SetShowRunState((VXQ_DPS_HANDLE)0, 1) != 0 ||
        VXQ_F_DPS_SetOnlySendIFrameTimeLen((VXQ_DPS_HANDLE)0, 1) != 0 ||
        VXQ_F_DPS_SetMaxRealplayClientNum((VXQ_DPS_HANDLE)0, 1) != 0 ||
        VXQ_F_DPS_StartDevProNetServer(0, NULL, NULL, NULL, NULL, NULL, 0, 0, 0, NULL, 0, 0) != NULL ||
        VXQ_F_DPS_CA_GetInt("none", "none", 7, "/nonexistent/vxq.ini") != 7)
        iFailures++;
    if (VXQ_F_SYS_CheckSum("\x01\x02", 2) != 0xFDFE)
        iFailures++;
    {
        VXQ_HEVENT hEvent = VXQ_F_THREAD_Event_Create(1, 1);
        if (VXQ_F_THREAD_Event_Wait(hEvent, 0) != 1)
            iFailures++;
        VXQ_F_THREAD_Event_Destroy(hEvent);
    }
    {
        VXQ_HQUEUE hQueue = NULL;
        char *pBuf = NULL;
        int32_t iSize = 0, iLen = 0;
        if (VXQ_F_TOOLS_QUEUE_InitQueue(&hQueue, 1) != 1 ||
            VXQ_F_TOOLS_QUEUE_SetData(hQueue, "ab", 2, 0) != 1 ||
            VXQ_F_TOOLS_QUEUE_FreeQueue(&hQueue) != 1)
            iFailures++;
        if (VXQ_F_MEM_MG_AddDataToBuf(&pBuf, &iSize, &iLen, "ab", 2) != 1 || iLen != 2)
            iFailures++;
        VXQ_F_MEM_MG_FreeDataBuf(&pBuf, &iSize, &iLen);
    }
    /* The direct frame entries refuse a null service without touching the frame. */
    VXQ_F_DPS_MC_APUP_SendVideoFrameData((VXQ_DPS_HANDLE)NULL, 0, 0, 1, "x", 1);
    VXQ_F_DPS_MC_APUP_SendAudioFrameData((VXQ_DPS_HANDLE)NULL, 0, 0, "x", 1);
    if (VXQ_F_DPS_QueryCacheVideoFrameNum((VXQ_DPS_HANDLE)NULL, 0, 0) != 0)
        iFailures++;
    {
        char sName[VXQ_DPS_USER_NAME_SIZE];
        uint32_t dwPop = 1;
        if (VXQ_F_DPS_QueryTransUser((VXQ_DPS_HANDLE)NULL, 1, sName, &dwPop) != 0 || sName[0] != 0 || dwPop != 0)
            iFailures++;
        if (VXQ_F_DPS_SetTraceDebugEnable((VXQ_DPS_HANDLE)NULL, 0) != 0)
            iFailures++;
    }
    {
        _VXQ_S_DPS_RUN_STATE tRunState;
        if (VXQ_F_DPS_QueryRunState((VXQ_DPS_HANDLE)NULL, &tRunState) != 0 || sizeof(tRunState) != 32)
            iFailures++;
    }
    /* The log service is not running here: stopping it, asking its port and
     * stopping a missing upload client are harmless; a null address is refused. */
    if (VXQ_F_LOG_SR_StopLogService() != 1 || VXQ_F_LOG_SR_GetLogServicePort() != 0 ||
        VXQ_F_LOG_SR_StopLogUpClient() != 1 || VXQ_F_LOG_UPC_StartLogUpServer("a", "b", NULL, 9) != NULL)
        iFailures++;
    VXQ_F_LOG_UPC_StopLogUpServer(NULL);
    if (iFailures)
        printf("%d public API checks failed\n", iFailures);
    return iFailures ? 1 : 0;
}
