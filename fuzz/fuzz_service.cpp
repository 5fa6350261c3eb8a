/* fuzz_service.cpp - the offline instance and the answering host of the fuzz targets. */
#include "fuzz_service.h"

#include "core/channel.h"
#include "core/conn.h"
#include "core/control.h"
#include "media/direct.h"
#include "media/subch.h"
#include "ops/functab.h"
#include "protocol/dispatch.h"
#include "service/service.h"
#include "support/offline_stream.h"
#include "wire/head.h"
#include "vxq_clock.h"
#include "vxq_digest.h"
#include "vxq_log.h"
#include "vxq_queue.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

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
    s_pSrv = (_VXQ_S_DPS_MCSRV_DATA *)calloc(1, sizeof(*s_pSrv));
    if (s_pSrv == NULL)
        abort();
    VXQ_F_DPS_SVC_InstallFamilies(s_pSrv);
    s_pSrv->tHooks.fnNetSend = PR_DropSend;
    if (!VXQ_F_DPS_MC_InitData(s_pSrv))
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
    inout_pSrv->bQuoteCreditSet = 0; /* every run starts with the full lookup credit */
    inout_pSrv->iQuoteWaitScan = 0;
    /* Whatever is still queued belongs to the run that ended. */
    while (VXQ_F_TOOLS_QUEUE_GetDataEx(inout_pSrv->hCallbackQueue, &inout_pSrv->pCallbackBuf,
                                       &inout_pSrv->iCallbackDataLen, &inout_pSrv->iCallbackBufSize, 0))
        ;
    while (VXQ_F_DPS_MC_DoOrderQueue(inout_pSrv))
        ;
    VXQ_F_DPS_MC_ReleaseAllMediaChannel(inout_pSrv);
    VXQ_F_DPS_MC_MediaChTable_Init(inout_pSrv->pMediaCh);
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

/* ---- the script of the byte-stream targets ---- */

static uint32_t s_dwPortId[2];
static uint32_t s_dwGeneration = 1;

static void PR_NewConn(_VXQ_S_DPS_MCSRV_DATA *p, int in_iConn)
{
    s_dwPortId[in_iConn] = (s_dwGeneration++ << 16) | (uint32_t)(in_iConn + 1);
    VXQ_F_OFFLINE_StreamConnect(p, s_dwPortId[in_iConn], in_iConn == 0 ? "10.1.1.1" : "10.1.1.2");
}

static std::vector<uint8_t> PR_Msg(uint16_t in_usFuncId, size_t in_iBodyLen)
{
    std::vector<uint8_t> tMsg(20 + in_iBodyLen, 0);
    VXQ_F_DPS_MW_PutLe32(tMsg.data(), 0xFFFFEEEEu);
    VXQ_F_DPS_MW_PutLe32(tMsg.data() + 4, (uint32_t)tMsg.size());
    tMsg[8] = (uint8_t)in_usFuncId;
    tMsg[9] = (uint8_t)(in_usFuncId >> 8);
    return tMsg;
}

static void PR_Login(_VXQ_S_DPS_MCSRV_DATA *p, int in_iConn)
{
    VXQ_F_OFFLINE_StreamData(p, s_dwPortId[in_iConn], PR_Msg(P1_VER_CONSULT_GET_TOKEN, 89));
    _VXQ_S_DPS_NET_PORT_DATA *pConn = VXQ_F_DPS_MC_NetPortData_QueryByPortId(p, s_dwPortId[in_iConn]);
    if (pConn == NULL || pConn->pToken == NULL || pConn->tHold.pDelayRespBuf != NULL)
        return;
    char sText[128];
    char sDigest[33];
    snprintf(sText, sizeof(sText), "%s:secret", pConn->pToken);
    VXQ_TOOLS_MD5_EncodeString(sDigest, sText);
    std::vector<uint8_t> tLogin = PR_Msg(P1_LOGIN, 528);
    memcpy(tLogin.data() + 20, "admin", 5);
    memcpy(tLogin.data() + 52, sDigest, 32);
    VXQ_F_OFFLINE_StreamData(p, s_dwPortId[in_iConn], tLogin);
}

void VXQ_F_FUZZSRV_RunScript(_VXQ_S_DPS_MCSRV_DATA *p, const uint8_t *in_pData, size_t in_iSize,
                             VXQ_PF_FUZZSRV_HOST in_fnHost)
{
    PR_NewConn(p, 0);
    PR_NewConn(p, 1);
    size_t i = 0;
    while (i < in_iSize) {
        uint8_t ucOp = in_pData[i++];
        int iConn = (ucOp / 8) % 2;
        uint8_t ucArg = i < in_iSize ? in_pData[i] : 0;
        switch (ucOp % 8) {
        case 0:
        case 1:
        case 2:
        case 3: {
            size_t iLen = (size_t)ucArg + 1;
            i++;
            if (iLen > in_iSize - (i < in_iSize ? i : in_iSize))
                iLen = in_iSize - (i < in_iSize ? i : in_iSize);
            std::vector<uint8_t> tBytes(in_pData + i, in_pData + i + iLen);
            i += iLen;
            _VXQ_S_DPS_NET_PORT_DATA *pFirst = VXQ_F_DPS_MC_NetPortData_QueryByPortId(p, s_dwPortId[0]);
            _VXQ_S_DPS_NET_PORT_DATA *pOwn = VXQ_F_DPS_MC_NetPortData_QueryByPortId(p, s_dwPortId[iConn]);
            if (ucOp % 8 == 3 && tBytes.size() >= 24 && pFirst != NULL)
                VXQ_F_DPS_MW_PutLe32(tBytes.data() + 20, pFirst->dwLoginId);
            /* Read ids are random: a download connection's is written for the script. */
            if (ucOp % 8 == 3 && tBytes.size() >= 28 && pOwn != NULL && pOwn->tDown.dwFileId != 0)
                VXQ_F_DPS_MW_PutLe32(tBytes.data() + 24, pOwn->tDown.dwFileId);
            if (!tBytes.empty())
                VXQ_F_OFFLINE_StreamData(p, s_dwPortId[iConn], tBytes);
            break;
        }
        case 4:
            VXQ_F_OFFLINE_StreamDisconnect(p, s_dwPortId[iConn]);
            PR_NewConn(p, iConn);
            break;
        case 5:
            i++;
            in_fnHost(p, ucArg);
            break;
        case 6:
            i++;
            VXQ_F_FUZZSRV_Advance(p, (uint32_t)ucArg * 100u);
            break;
        default:
            PR_Login(p, iConn);
            break;
        }
    }
    in_fnHost(p, 0);
}
