/* fuzz_service.cpp - the offline instance and the answering host of the fuzz targets. */
#include "fuzz_service.h"

#include "core/channel.h"
#include "core/conn.h"
#include "media/direct.h"
#include "media/subch.h"
#include "core/control.h"
#include "protocol/dispatch.h"
#include "vxq_clock.h"
#include "vxq_log.h"
#include "vxq_queue.h"

#include <stdlib.h>
#include <string.h>

/* Wire sends go nowhere; the message stays the caller's. */
static int PR_DropSend(_VXQ_S_DPS_MCSRV_DATA *, _VXQ_S_DPS_NET_PORT_DATA *, uint8_t *, int32_t, int32_t)
{
    return 1;
}

/* One user, "admin" / "secret", all rights. */
static int PR_LookupUser(void *, const char *in_sName, _VXQ_S_DPS_USER_INFO *out_pUserInfo)
{
    if (strcmp(in_sName, "admin") != 0)
        return 0;
    strcpy(out_pUserInfo->sUserName, "admin");
    strcpy(out_pUserInfo->sPassword, "secret");
    out_pUserInfo->dwPopMask = 0xFFFFFFFFu;
    for (size_t i = 0; i < sizeof(out_pUserInfo->dwChPopMask) / sizeof(out_pUserInfo->dwChPopMask[0]); i++)
        out_pUserInfo->dwChPopMask[i] = 0xFFFFFFFFu;
    return 1;
}

_VXQ_S_DPS_MCSRV_DATA *VXQ_F_FUZZSRV_Get(void)
{
    static _VXQ_S_DPS_MCSRV_DATA *s_pSrv = NULL;
    if (s_pSrv != NULL)
        return s_pSrv;
    VXQ_F_LOG_SR_SetIfShowLog(0);
    VXQ_F_LOG_SR_SetIfWriteLogToFile(0);
    VXQ_F_CLOCK_SetManual(5000, 1700000000);
    VXQ_F_DPS_MW_SetNetSendFunc(PR_DropSend);
    s_pSrv = (_VXQ_S_DPS_MCSRV_DATA *)calloc(1, sizeof(*s_pSrv));
    if (s_pSrv == NULL || !VXQ_F_DPS_MC_InitData(s_pSrv))
        abort();
    _VXQ_S_DPS_DEV_CAP_INFO *pCap = &s_pSrv->tDevCapInfo;
    strcpy(pCap->sDevIdText, "FUZZDEV1");
    pCap->iVideoChanNum = 4;
    pCap->iAudioChanNum = 2;
    pCap->iDevCapValue5 = 1;
    s_pSrv->fnQueryUserCallback = PR_LookupUser;
    s_pSrv->usUdpPort = 28460;
    s_pSrv->iMediaDataBufSize = 10485760;
    s_pSrv->iOnlySendIFrameTimeLen = 10;
    s_pSrv->iMaxRealplayClientNum = 64;
    s_pSrv->bShowRunState = 0;
    s_pSrv->bThreadRun = 1;
    return s_pSrv;
}

void VXQ_F_FUZZSRV_Reset(_VXQ_S_DPS_MCSRV_DATA *inout_pSrv)
{
    memset(inout_pSrv->tTalkCh, 0, sizeof(inout_pSrv->tTalkCh));
    memset(inout_pSrv->tTraceClient, 0, sizeof(inout_pSrv->tTraceClient));
    memset(inout_pSrv->tLoginFail, 0, sizeof(inout_pSrv->tLoginFail));
    /* Whatever is still queued belongs to the run that ended. */
    while (VXQ_F_TOOLS_QUEUE_GetDataEx(inout_pSrv->hCallbackQueue, &inout_pSrv->pCallbackBuf,
                                       &inout_pSrv->iCallbackDataLen, &inout_pSrv->iCallbackBufSize, 0))
        ;
    while (VXQ_F_DPS_MC_DoOrderQueue(inout_pSrv))
        ;
    VXQ_F_DPS_MC_ReleaseAllMediaChannel(inout_pSrv);
    VXQ_F_DPS_MC_MediaChTable_Init(inout_pSrv->tMediaCh);
    VXQ_F_DPS_MC_NetPortData_ReleaseAllData(inout_pSrv);
    VXQ_F_DPS_MC_Trans_ReleaseAllTransData(inout_pSrv);
}

void VXQ_F_FUZZSRV_AnswerEvents(_VXQ_S_DPS_MCSRV_DATA *inout_pSrv, uint8_t in_ucResult)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pSrv;
    for (int i = 0; i < 64; i++) {
        p->iCallbackDataLen = 0;
        if (!VXQ_F_TOOLS_QUEUE_GetDataEx(p->hCallbackQueue, &p->pCallbackBuf, &p->iCallbackDataLen,
                                         &p->iCallbackBufSize, 0))
            break;
        if (p->iCallbackDataLen < 16)
            continue;
        /* The answer: the event as raised, marked as an answer with the chosen result. */
        p->pCallbackBuf[4] = 1;
        p->pCallbackBuf[5] = (char)in_ucResult;
        VXQ_F_DPS_MW_DoOrderData(p, (uint8_t *)p->pCallbackBuf, p->iCallbackDataLen);
    }
    for (int i = 0; i < 64 && VXQ_F_DPS_MC_DoOrderQueue(p); i++)
        ;
}

void VXQ_F_FUZZSRV_Advance(_VXQ_S_DPS_MCSRV_DATA *inout_pSrv, uint32_t in_dwMs)
{
    VXQ_F_CLOCK_Advance(in_dwMs);
    VXQ_F_DPS_MC_DoTimer(inout_pSrv);
}
