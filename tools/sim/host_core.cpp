/*
 * host_core.cpp - the simulator host's set-up, the hand-over of events from the
 * service's callback thread to the worker, the answers and the log lines.
 */
#include "host.h"

#include "vxq_clock.h"
#include "vxq_log.h"

#include <errno.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>

/* How long the worker waits for an event before it looks at its run flag. */
#define PR_WORKER_WAIT_MS 100

void VXQ_F_SIMHOST_Say(const char *in_sFormat, ...)
{
    char sText[1024];
    int iHead = snprintf(sText, sizeof(sText), "dps-sim: ");
    va_list tArgs;
    va_start(tArgs, in_sFormat);
    vsnprintf(sText + iHead, sizeof(sText) - (size_t)iHead, in_sFormat, tArgs);
    va_end(tArgs);
    VXQ_F_LOG_SR_ShowInfoEx(sText);
}

int VXQ_F_SIMHOST_MakeDirs(const char *in_sPath)
{
    char sPath[VXQ_SIM_PATH_SIZE];
    if (in_sPath == NULL || in_sPath[0] == 0 || strlen(in_sPath) >= sizeof(sPath))
        return 0;
    strcpy(sPath, in_sPath);
    for (char *p = sPath + 1; *p; p++) {
        if (*p != '/')
            continue;
        *p = 0;
        if (mkdir(sPath, 0775) != 0 && errno != EEXIST)
            return 0;
        *p = '/';
    }
    if (mkdir(sPath, 0775) != 0 && errno != EEXIST)
        return 0;
    struct stat tStat;
    return stat(sPath, &tStat) == 0 && S_ISDIR(tStat.st_mode);
}

int64_t VXQ_F_SIMHOST_NowSec(void)
{
    int64_t llSystem = (int64_t)time(NULL);
    uint32_t dwLow = (uint32_t)VXQ_F_CLOCK_NowSec();
    /* The signed distance of the low bits, modulo 2^32, moves the system time onto them. */
    return llSystem + (int32_t)(dwLow - (uint32_t)llSystem);
}

/* The local broken-down time of in_llTime; 1, or 0 (zeroed). A build whose
 * time_t is narrower than 64 bits refuses a time past its range. */
static int PR_LocalTime(int64_t in_llTime, struct tm *out_ptTm)
{
    time_t tTime = (time_t)in_llTime;
    memset(out_ptTm, 0, sizeof(*out_ptTm));
    if ((int64_t)tTime != in_llTime || localtime_r(&tTime, out_ptTm) == NULL) {
        memset(out_ptTm, 0, sizeof(*out_ptTm));
        return 0;
    }
    return 1;
}

int VXQ_F_SIMHOST_TimeToTd(int64_t in_llTime, _VXQ_S_TD_DATE_TIME *out_pTd)
{
    struct tm tLocal;
    memset(out_pTd, 0, sizeof(*out_pTd));
    if (!PR_LocalTime(in_llTime, &tLocal))
        return 0;
    out_pTd->usYear = (uint16_t)(tLocal.tm_year + 1900);
    out_pTd->usMonth = (uint16_t)(tLocal.tm_mon + 1);
    out_pTd->ucDay = (uint8_t)tLocal.tm_mday;
    out_pTd->ucHour = (uint8_t)tLocal.tm_hour;
    out_pTd->ucMinute = (uint8_t)tLocal.tm_min;
    out_pTd->ucSecond = (uint8_t)tLocal.tm_sec;
    return 1;
}

int VXQ_F_SIMHOST_TdToTime(const _VXQ_S_TD_DATE_TIME *in_pTd, int64_t *out_pllTime)
{
    struct tm tLocal;
    memset(&tLocal, 0, sizeof(tLocal));
    tLocal.tm_year = (int)in_pTd->usYear - 1900;
    tLocal.tm_mon = (int)in_pTd->usMonth - 1;
    tLocal.tm_mday = in_pTd->ucDay;
    tLocal.tm_hour = in_pTd->ucHour;
    tLocal.tm_min = in_pTd->ucMinute;
    tLocal.tm_sec = in_pTd->ucSecond;
    tLocal.tm_isdst = -1;
    errno = 0;
    time_t tTime = mktime(&tLocal);
    /* -1 is also the second before 1970 in UTC; errno tells them apart where set. */
    if (tTime == (time_t)-1 && errno != 0)
        return 0;
    *out_pllTime = (int64_t)tTime;
    return 1;
}

void VXQ_F_SIMHOST_StampText(int64_t in_llTime, char *out_sText, int in_iSize)
{
    struct tm tLocal;
    PR_LocalTime(in_llTime, &tLocal);
    strftime(out_sText, (size_t)in_iSize, "%Y%m%d-%H%M%S", &tLocal);
}

/* Builds head + body + extra on the heap and posts it. */
static int PR_Post(_VXQ_S_SIMHOST_DATA *in_pHost, const _VXQ_S_DPS_MSG_HEAD *in_pHead, const void *in_pBody,
                   int in_iBodyLen, const void *in_pExtra, int in_iExtraLen)
{
    if (in_iBodyLen < 0 || in_iExtraLen < 0)
        return 0;
    int iLen = (int)sizeof(_VXQ_S_DPS_MSG_HEAD) + in_iBodyLen + in_iExtraLen;
    uint8_t *pMsg = (uint8_t *)malloc((size_t)iLen);
    if (pMsg == NULL) {
        VXQ_F_SIMHOST_Say("no memory for an answer of %d bytes", iLen);
        return 0;
    }
    _VXQ_S_DPS_MSG_HEAD tHead = *in_pHead;
    tHead.iBodyLen = in_iBodyLen + in_iExtraLen;
    memcpy(pMsg, &tHead, sizeof(tHead));
    if (in_iBodyLen > 0)
        memcpy(pMsg + sizeof(tHead), in_pBody, (size_t)in_iBodyLen);
    if (in_iExtraLen > 0)
        memcpy(pMsg + sizeof(tHead) + in_iBodyLen, in_pExtra, (size_t)in_iExtraLen);
    int bOk = VXQ_F_DPS_SendDevProData(in_pHost->hService, pMsg, iLen);
    free(pMsg);
    if (!bOk)
        VXQ_F_SIMHOST_Say("could not post order 0x%04X", (unsigned)in_pHead->iMsgFuncId);
    return bOk;
}

int VXQ_F_SIMHOST_Answer(_VXQ_S_SIMHOST_DATA *in_pHost, const _VXQ_S_DPS_MSG_HEAD *in_pEvent, uint8_t in_ucResult,
                         const void *in_pBody, int in_iBodyLen, const void *in_pExtra, int in_iExtraLen)
{
    _VXQ_S_DPS_MSG_HEAD tHead;
    memset(&tHead, 0, sizeof(tHead));
    tHead.iMsgFuncId = in_pEvent->iMsgFuncId;
    tHead.ucMsgType = VXQ_DPS_MSG_TYPE_ANSWER;
    tHead.ucResult = in_ucResult;
    tHead.dwTransId = in_pEvent->dwTransId;
    return PR_Post(in_pHost, &tHead, in_pBody, in_iBodyLen, in_pExtra, in_iExtraLen);
}

int VXQ_F_SIMHOST_PostOrder(_VXQ_S_SIMHOST_DATA *in_pHost, int32_t in_iMsgFuncId, const void *in_pBody,
                            int in_iBodyLen, const void *in_pExtra, int in_iExtraLen)
{
    _VXQ_S_DPS_MSG_HEAD tHead;
    memset(&tHead, 0, sizeof(tHead));
    tHead.iMsgFuncId = in_iMsgFuncId;
    tHead.ucMsgType = VXQ_DPS_MSG_TYPE_REQUEST;
    return PR_Post(in_pHost, &tHead, in_pBody, in_iBodyLen, in_pExtra, in_iExtraLen);
}

int VXQ_F_SIMHOST_EventCallback(void *in_pEventUser, const void *in_pMsg, int in_iMsgLen)
{
    _VXQ_S_SIMHOST_DATA *pHost = (_VXQ_S_SIMHOST_DATA *)in_pEventUser;
    if (pHost == NULL || in_pMsg == NULL || in_iMsgLen < (int)sizeof(_VXQ_S_DPS_MSG_HEAD))
        return 0;
    if (!VXQ_F_TOOLS_QUEUE_SetData(pHost->hEventQueue, in_pMsg, in_iMsgLen, 0)) {
        pHost->dwDroppedEvents++;
        return 0;
    }
    return 1;
}

int VXQ_F_SIMHOST_QueryUser(void *in_pQueryUser, const char *in_sUserName, _VXQ_S_DPS_USER_INFO *out_ptUserInfo)
{
    _VXQ_S_SIMHOST_DATA *pHost = (_VXQ_S_SIMHOST_DATA *)in_pQueryUser;
    if (pHost == NULL || in_sUserName == NULL || out_ptUserInfo == NULL)
        return 0;
    VXQ_F_THREAD_Mutex_Lock(pHost->hCfgLock);
    int bFound = VXQ_F_SIMCFG_FillUserInfo(pHost->pCfg, in_sUserName, out_ptUserInfo);
    VXQ_F_THREAD_Mutex_Unlock(pHost->hCfgLock);
    if (bFound)
        pHost->dwLogins++;
    return bFound;
}

void VXQ_F_SIMHOST_HandleEvent(_VXQ_S_SIMHOST_DATA *in_pHost, const uint8_t *in_pMsg, int in_iMsgLen)
{
    if (in_pHost == NULL || in_pMsg == NULL || in_iMsgLen < (int)sizeof(_VXQ_S_DPS_MSG_HEAD))
        return;
    _VXQ_S_DPS_MSG_HEAD tHead;
    memcpy(&tHead, in_pMsg, sizeof(tHead));
    const uint8_t *pBody = in_pMsg + sizeof(tHead);
    int iBodyLen = in_iMsgLen - (int)sizeof(tHead);
    if (tHead.iBodyLen < iBodyLen && tHead.iBodyLen >= 0)
        iBodyLen = tHead.iBodyLen;
    switch (tHead.iMsgFuncId) {
    case EVENT_E2_OPEN_MEDIA_STREAM:
        VXQ_F_SIMHOST_LiveOpen(in_pHost, &tHead, pBody, iBodyLen);
        return;
    case EVENT_E2_CLOSE_MEDIA_STREAM:
        VXQ_F_SIMHOST_LiveClose(in_pHost, &tHead, pBody, iBodyLen);
        return;
    case EVENT_E2_PTZ_CTRL:
    case EVENT_E2_FORCE_I_FRAME:
    case EVENT_E2_GET_VIDEO_QUALITY_CAP:
    case EVENT_E2_GET_VIDEO_QUALITY_LEVEL:
    case EVENT_E2_SET_VIDEO_QUALITY_LEVEL:
        VXQ_F_SIMHOST_LiveControl(in_pHost, &tHead, pBody, iBodyLen);
        return;
    default:
        break;
    }
    int iFamily = (tHead.iMsgFuncId >> 4) & 0xFFF;
    if (iFamily == 0x021 || iFamily == 0x022) {
        VXQ_F_SIMHOST_RecordEvent(in_pHost, &tHead, pBody, iBodyLen);
    } else if (iFamily == 0x023 || iFamily == 0x024 || tHead.iMsgFuncId == MEDIA_E8_AUDIO_FRAME) {
        VXQ_F_SIMHOST_TalkEvent(in_pHost, &tHead, pBody, iBodyLen);
    } else if (iFamily == 0x030 || iFamily == 0x031 || iFamily == 0x033) {
        VXQ_F_SIMHOST_ConfigEvent(in_pHost, &tHead, pBody, iBodyLen);
    } else if (iFamily == 0x032 || (tHead.iMsgFuncId >> 8) == 0x07) {
        VXQ_F_SIMHOST_MaintEvent(in_pHost, &tHead, pBody, iBodyLen);
    } else {
        VXQ_F_SIMHOST_Say("event 0x%04X is not handled", (unsigned)tHead.iMsgFuncId);
        if (tHead.dwTransId != 0)
            VXQ_F_SIMHOST_Answer(in_pHost, &tHead, VXQ_DPS_APP_ERR_NOT_SUPPORT, pBody, iBodyLen, NULL, 0);
    }
}

static void PR_WorkerThread(void *in_pArg)
{
    _VXQ_S_SIMHOST_DATA *pHost = (_VXQ_S_SIMHOST_DATA *)in_pArg;
    char *pBuf = NULL;
    int32_t iBufSize = 0;
    while (pHost->bWorkerRun) {
        int32_t iLen = 0;
        if (!VXQ_F_TOOLS_QUEUE_GetDataEx(pHost->hEventQueue, &pBuf, &iLen, &iBufSize, PR_WORKER_WAIT_MS))
            continue;
        VXQ_F_SIMHOST_HandleEvent(pHost, (const uint8_t *)pBuf, iLen);
    }
    VXQ_F_TOOLS_QUEUE_FreeMemory(&pBuf);
}

int VXQ_F_SIMHOST_StartWorker(_VXQ_S_SIMHOST_DATA *inout_pHost)
{
    inout_pHost->bWorkerRun = 1;
    inout_pHost->hWorker = VXQ_F_THREAD_CreateThread(PR_WorkerThread, inout_pHost);
    if (inout_pHost->hWorker == NULL) {
        inout_pHost->bWorkerRun = 0;
        return 0;
    }
    return 1;
}

void VXQ_F_SIMHOST_StopWorker(_VXQ_S_SIMHOST_DATA *inout_pHost)
{
    inout_pHost->bWorkerRun = 0;
    if (inout_pHost->hWorker != NULL)
        VXQ_F_THREAD_WaitExitThread(inout_pHost->hWorker, 5000);
    inout_pHost->hWorker = NULL;
}

int VXQ_F_SIMHOST_Init(_VXQ_S_SIMHOST_DATA *out_pHost, _VXQ_S_SIMCFG_DATA *in_pCfg, char *out_sReason,
                       int in_iReasonSize)
{
    out_pHost->pCfg = in_pCfg;
    const char *sDirs[4] = {in_pCfg->sRecordDir, in_pCfg->sTalkDir, in_pCfg->sConfigDir, in_pCfg->sUpgradeDir};
    for (int i = 0; i < 4; i++) {
        if (!VXQ_F_SIMHOST_MakeDirs(sDirs[i])) {
            snprintf(out_sReason, (size_t)in_iReasonSize, "cannot make the folder %s", sDirs[i]);
            return 0;
        }
    }
    out_pHost->hCfgLock = VXQ_F_THREAD_Mutex_Create();
    if (out_pHost->hCfgLock == NULL ||
        !VXQ_F_TOOLS_QUEUE_InitQueue(&out_pHost->hEventQueue, VXQ_SIMHOST_EVENT_QUEUE_LEN)) {
        snprintf(out_sReason, (size_t)in_iReasonSize, "out of memory");
        VXQ_F_SIMHOST_Uninit(out_pHost);
        return 0;
    }
    if (!VXQ_F_SIMHOST_LiveInit(out_pHost, out_sReason, in_iReasonSize) ||
        !VXQ_F_SIMHOST_RecordInit(out_pHost, out_sReason, in_iReasonSize)) {
        VXQ_F_SIMHOST_Uninit(out_pHost);
        return 0;
    }
    return 1;
}

void VXQ_F_SIMHOST_Uninit(_VXQ_S_SIMHOST_DATA *inout_pHost)
{
    VXQ_F_SIMHOST_MaintUninit(inout_pHost);
    VXQ_F_SIMHOST_TalkUninit(inout_pHost);
    VXQ_F_SIMHOST_RecordUninit(inout_pHost);
    VXQ_F_SIMHOST_LiveUninit(inout_pHost);
    if (inout_pHost->hEventQueue != NULL)
        VXQ_F_TOOLS_QUEUE_FreeQueue(&inout_pHost->hEventQueue);
    if (inout_pHost->hCfgLock != NULL)
        VXQ_F_THREAD_Mutex_Destroy(inout_pHost->hCfgLock);
    inout_pHost->hCfgLock = NULL;
}
