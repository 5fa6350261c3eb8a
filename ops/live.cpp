/* The live view family: requests, events and answers; see ops/live.h for the contract. */
#include "ops/live.h"

#include "core/channel.h"
#include "core/hostcall.h"
#include "media/direct.h"
#include "media/input.h"
#include "protocol/dispatch.h"
#include "protocol/session.h"
#include "ops/relay.h"
#include "wire/head.h"
#include "wire/result.h"
#include "vxq_clock.h"
#include "vxq_dps.h"
#include "vxq_log.h"
#include "vxq_membuf.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Body offsets are counted from the start of the message (20-byte head). */
#define PR_BODY 20
#define PR_QUALITY_CAP_ITEM_NUM 8
#define PR_QUALITY_CAP_ITEM_LEN 28

static uint32_t PR_Get32(const uint8_t *in_pMsg, int in_iOff)
{
    return VXQ_F_DPS_MW_GetLe32(in_pMsg + in_iOff);
}

static uint16_t PR_Get16(const uint8_t *in_pMsg, int in_iOff)
{
    return VXQ_F_DPS_MW_GetLe16(in_pMsg + in_iOff);
}

/* A request for the command connection: it is one and holds the body's (nonzero) login id. */
static int PR_IsCommandConnOf(const _VXQ_S_DPS_NET_PORT_DATA *in_pConn, uint32_t in_dwLoginId)
{
    return in_pConn->iConnType == VXQ_DPS_CONN_COMMAND && in_dwLoginId != 0 &&
           in_pConn->dwLoginId == in_dwLoginId;
}

/* The media connection named by port id, if it belongs to the same login. */
static _VXQ_S_DPS_NET_PORT_DATA *PR_FindMediaConn(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData, uint32_t in_dwPortId,
                                                  uint32_t in_dwLoginId)
{
    _VXQ_S_DPS_NET_PORT_DATA *pConn = VXQ_F_DPS_MC_NetPortData_QueryByPortId(in_pMcSrvData, in_dwPortId);
    if (pConn == NULL || pConn->iConnType != VXQ_DPS_CONN_MEDIA || pConn->dwLoginId != in_dwLoginId)
        return NULL;
    return pConn;
}

/* Keeps a copy of the request in the connection's pWaitRespBuf. 1 stored, 0 memory short. */
static int PR_StoreWaitResp(_VXQ_S_DPS_NET_PORT_DATA *inout_pConn, const uint8_t *in_pMsg, int32_t in_iLength)
{
    return VXQ_F_MEM_MG_SetDataToBuf(&inout_pConn->tMedia.pWaitRespBuf, &inout_pConn->tMedia.iWaitRespBufSize,
                                     &inout_pConn->tMedia.iWaitRespLen, in_pMsg, in_iLength);
}

static void PR_DropWaitResp(_VXQ_S_DPS_NET_PORT_DATA *inout_pConn)
{
    VXQ_F_MEM_MG_FreeDataBuf(&inout_pConn->tMedia.pWaitRespBuf, &inout_pConn->tMedia.iWaitRespBufSize,
                             &inout_pConn->tMedia.iWaitRespLen);
}

/* Turns the connection into a realplay connection of channel and stream; its
 * cache position starts afresh, so its first frame is again an I-frame. */
static void PR_MakeRealplayConn(_VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                                const _VXQ_S_DPS_NET_PORT_DATA *in_pLoginConn, uint32_t in_dwLoginId,
                                int32_t in_iChNo, int32_t in_iStreamNo)
{
    inout_pConn->iConnType = VXQ_DPS_CONN_MEDIA;
    inout_pConn->iChNo = in_iChNo;
    inout_pConn->iStreamNo = in_iStreamNo;
    inout_pConn->dwLoginId = in_dwLoginId;
    inout_pConn->dwLoginPortId = in_pLoginConn->dwPortId;
    inout_pConn->tOpenTime = VXQ_F_CLOCK_NowSec();
    inout_pConn->tMedia.bRecvIFrame = 0;
    inout_pConn->tMedia.dwSentNodeId = 0;
    inout_pConn->tMedia.dwNextNodeId = 0;
}

static void PR_SetStreamState(_VXQ_S_DPS_NET_PORT_DATA *inout_pConn, int32_t in_iState)
{
    inout_pConn->tMedia.iStreamState = in_iState;
    inout_pConn->tMedia.dwStreamStateTime = (uint32_t)VXQ_F_CLOCK_NowSec();
}

/* Texts and names that differ between the plain and the extended open. */
typedef struct {
    const char *sChNo;
    const char *sStreamNo;
    const char *sNoLogin;
    const char *sNoPop;
    const char *sBuffer;
    const char *sSubCh;
    const char *sEvent;
    int bEx;
} PR_OPEN_TEXTS;

static const PR_OPEN_TEXTS s_tOpen = {
    "Open realplay failure, cause: chno error.",
    "Open realplay failure, cause: stream no error.",
    "Open realplay failure, cause: no login.",
    "Receiving network data: open realplay request fail, cause: without permission.",
    "Open realplay failure, cause: Set the data into the buffer failed.",
    "Open realplay failure, cause: query media sub ch fail.",
    "Open realplay failure, cause: Opens the send message stream media failure.",
    0};

static const PR_OPEN_TEXTS s_tOpenEx = {
    "Open realplay(ex) failure, cause: chno error.",
    "Open realplay(ex) failure, cause: stream no error.",
    "Open realplay(ex) failure, cause: no login.",
    "Receiving network data: open realplay(ex) request fail, cause: without permission.",
    "Open realplay(ex) failure, cause: Set the data into the buffer failed.",
    "Open realplay(ex) failure, cause: query media sub ch fail.",
    "Open realplay(ex) failure, cause: Opens the send message stream media failure.",
    1};

/* Both opens: the checks in their order, admission, and the sub-channel state. */
static int PR_DoOpen(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                     uint8_t *inout_pMsg, int32_t in_iLength, const PR_OPEN_TEXTS *in_pT,
                     const char *in_sName)
{
    char sText[160];
    uint32_t dwLoginId = PR_Get32(inout_pMsg, PR_BODY);
    int32_t iChNo = PR_Get16(inout_pMsg, PR_BODY + 4);
    int32_t iStreamNo = PR_Get16(inout_pMsg, PR_BODY + 6);
    if (in_pT->bEx)
        VXQ_F_DPS_MW_PutLe32(inout_pMsg + PR_BODY + 12, inout_pConn->dwPortId);

    int32_t iSlot = VXQ_F_DPS_MC_MediaChTable_SlotIndex(inout_pMcSrvData->tDevCapInfo.bSpecialChFlag, iChNo);
    if (iSlot >= VXQ_DPS_MEDIA_CH_SLOT_NUM)
        return VXQ_F_DPS_MW_Refuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, 2, in_pT->sChNo,
                                   NULL, in_sName);
    if (iStreamNo >= 4)
        return VXQ_F_DPS_MW_Refuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, 2, in_pT->sStreamNo,
                                   NULL, in_sName);
    _VXQ_S_DPS_NET_PORT_DATA *pLogin = VXQ_F_DPS_MC_NetPortData_QueryByLoginId(inout_pMcSrvData, dwLoginId);
    if (pLogin == NULL)
        return VXQ_F_DPS_MW_Refuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, 6, in_pT->sNoLogin,
                                   NULL, in_sName);
    if (!VXQ_F_DPS_MC_APUP_PopCheck(inout_pMcSrvData, pLogin, iChNo, VXQ_DPS_POP_LIVE_VIEW))
        return VXQ_F_DPS_MW_Refuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, 5, in_pT->sNoPop,
                                   NULL, in_sName);
    _VXQ_S_DPS_MEDIA_SUB_CH_DATA *pSubCh = NULL;
    if (!in_pT->bEx) {
        pSubCh = VXQ_F_DPS_MC_QueryMediaSubChData(inout_pMcSrvData, iChNo, iStreamNo);
        if (pSubCh == NULL)
            return VXQ_F_DPS_MW_Refuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, 1,
                                       in_pT->sSubCh, NULL, in_sName);
    }
    if (VXQ_F_DPS_MC_StatRealplayClientNum(inout_pMcSrvData) >= inout_pMcSrvData->iMaxRealplayClientNum)
        return VXQ_F_DPS_MW_Refuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, 12,
                                   "Open realplay failure, cause: Exceed realplay maximum limit.", NULL,
                                   in_sName);
    if (inout_pMcSrvData->bMediaResCtrl) {
        float fFree = VXQ_F_DPS_MC_GetFreeMediaResourceNum(inout_pMcSrvData);
        float fCost = VXQ_F_DPS_MC_MediaResourceCost(inout_pMcSrvData->fMainMediaResourceLoss, iStreamNo);
        if (fFree - fCost < 0.0f)
            return VXQ_F_DPS_MW_Refuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, 12,
                                       "Open realplay failure, cause: Exceed media resource maximum limit.",
                                       NULL, in_sName);
    }
    if (VXQ_F_DPS_MC_HostRealplayCheck(inout_pMcSrvData, dwLoginId, (uint32_t)iChNo, (uint32_t)iStreamNo,
                                       VXQ_DPS_REALPLAY_CHECK_OPEN) != 0)
        return VXQ_F_DPS_MW_Refuse(
            inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, 12,
            "Open realplay failure, cause: Exceed media resource maximum limit,Connection refused.", NULL,
            in_sName);
    if (!PR_StoreWaitResp(inout_pConn, inout_pMsg, in_iLength))
        return VXQ_F_DPS_MW_Refuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, 1, in_pT->sBuffer,
                                   NULL, in_sName);
    PR_MakeRealplayConn(inout_pConn, pLogin, dwLoginId, iChNo, iStreamNo);
    if (in_pT->bEx) {
        inout_pConn->dwClaimId = PR_Get32(inout_pMsg, PR_BODY + 8);
        pSubCh = VXQ_F_DPS_MC_QueryMediaSubChData(inout_pMcSrvData, iChNo, iStreamNo);
        if (pSubCh == NULL) {
            PR_DropWaitResp(inout_pConn);
            return VXQ_F_DPS_MW_Refuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, 1,
                                       in_pT->sSubCh, NULL, in_sName);
        }
    }

    switch (pSubCh->iStreamOpenState) {
    case 1: /* the host was asked already: answered with its answer */
        PR_SetStreamState(inout_pConn, 1);
        return 1;
    case 2:
        PR_SetStreamState(inout_pConn, 2);
        if (!VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FORCE_I_FRAME(inout_pMcSrvData, iChNo, iStreamNo)) {
            snprintf(sText, sizeof(sText), "%s VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FORCE_I_FRAME fail.",
                     in_sName);
            VXQ_F_LOG_SR_WriteLog(sText, 2);
        }
        if (in_pT->bEx) {
            PR_DropWaitResp(inout_pConn);
            return VXQ_F_DPS_MW_AnswerInPlace(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, 0,
                                              in_sName);
        }
        if (!VXQ_F_DPS_MC_SentWaitNetRespMsg(inout_pMcSrvData, inout_pConn, 0)) {
            snprintf(sText, sizeof(sText), "%s VXQ_F_DPS_MC_SentWaitNetRespMsg fail.", in_sName);
            VXQ_F_LOG_SR_WriteLog(sText, 2);
            return 0;
        }
        return 1;
    case 0:
        pSubCh->iStreamOpenState = 1;
        pSubCh->dwOpenStateTime = (uint32_t)VXQ_F_CLOCK_NowSec();
        PR_SetStreamState(inout_pConn, 1);
        if (!VXQ_F_DPS_MC_SentProEvent_EVENT_E2_OPEN_MEDIA_STREAM(inout_pMcSrvData, iChNo, iStreamNo)) {
            /* The sub-channel stays opening; this viewer is answered and waits no more. */
            VXQ_F_LOG_SR_ShowInfo(in_pT->sEvent);
            PR_SetStreamState(inout_pConn, 0);
            PR_DropWaitResp(inout_pConn);
            return VXQ_F_DPS_MW_Refuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, 1, NULL, NULL,
                                       in_sName);
        }
        return 1;
    default:
        return 1;
    }
}

extern "C" int VXQ_F_DPS_MW_DoNetMsg_P2_REALPLAY_OPEN(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                      _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                                                      uint8_t *inout_pMsg, int32_t in_iLength)
{
    VXQ_F_DPS_MW_HeadMakeAnswer(inout_pMsg, 0);
    VXQ_F_LOG_SR_ShowInfo("Receiving network data: open realplay request.");
    return PR_DoOpen(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, &s_tOpen, __func__);
}

extern "C" int VXQ_F_DPS_MW_DoNetMsg_P2_EX_REALPLAY_OPEN(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                         _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                                                         uint8_t *inout_pMsg, int32_t in_iLength)
{
    VXQ_F_DPS_MW_HeadMakeAnswer(inout_pMsg, 0);
    VXQ_F_LOG_SR_ShowInfo("Receiving network data: open realplay(ex) request.");
    return PR_DoOpen(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, &s_tOpenEx, __func__);
}

/* A viewer leaves: admission callback (close), stream state 0, and the
 * sub-channel is closed when it was the last one. */
static void PR_CloseViewer(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pMedia,
                           uint32_t in_dwLoginId, uint32_t in_dwChNo, uint32_t in_dwStreamNo)
{
    VXQ_F_DPS_MC_HostRealplayCheck(inout_pMcSrvData, in_dwLoginId, in_dwChNo, in_dwStreamNo,
                                   VXQ_DPS_REALPLAY_CHECK_CLOSE);
    PR_SetStreamState(inout_pMedia, 0);
    if (inout_pMedia->iConnType == VXQ_DPS_CONN_MEDIA)
        VXQ_F_DPS_MC_ClientCloseMediaCh(inout_pMcSrvData, inout_pMedia->iChNo, inout_pMedia->iStreamNo);
}

extern "C" int VXQ_F_DPS_MW_DoNetMsg_P2_REALPLAY_CLOSE(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                       _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                                                       uint8_t *inout_pMsg, int32_t in_iLength)
{
    VXQ_F_DPS_MW_HeadMakeAnswer(inout_pMsg, 0);
    VXQ_F_LOG_SR_ShowInfo("Receiving network data: close realplay request.");
    if (inout_pConn->dwLoginId == 0)
        return VXQ_F_DPS_MW_Refuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, 6,
                                   "Close realplay failure, cause: client did not login.", NULL, __func__);
    PR_CloseViewer(inout_pMcSrvData, inout_pConn, PR_Get32(inout_pMsg, PR_BODY),
                   PR_Get16(inout_pMsg, PR_BODY + 4), PR_Get16(inout_pMsg, PR_BODY + 6));
    return VXQ_F_DPS_MW_AnswerInPlace(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, 0, __func__);
}

extern "C" int VXQ_F_DPS_MW_DoNetMsg_P2_EX_REALPLAY_CLOSE(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                          _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                                                          uint8_t *inout_pMsg, int32_t in_iLength)
{
    VXQ_F_DPS_MW_HeadMakeAnswer(inout_pMsg, 0);
    VXQ_F_LOG_SR_ShowInfo("Receiving network data: close realplay(ex) request.");
    uint32_t dwLoginId = PR_Get32(inout_pMsg, PR_BODY);
    if (!PR_IsCommandConnOf(inout_pConn, dwLoginId))
        return VXQ_F_DPS_MW_Refuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, 6,
                                   "Close realplay(ex) failure, cause: not login.", NULL, __func__);
    uint32_t dwMediaId = PR_Get32(inout_pMsg, PR_BODY + 4);
    _VXQ_S_DPS_NET_PORT_DATA *pMedia =
        dwMediaId != 0 ? PR_FindMediaConn(inout_pMcSrvData, dwMediaId, dwLoginId) : NULL;
    if (pMedia != NULL)
        PR_CloseViewer(inout_pMcSrvData, pMedia, dwLoginId, (uint32_t)pMedia->iChNo,
                       (uint32_t)pMedia->iStreamNo);
    return VXQ_F_DPS_MW_AnswerInPlace(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, 0, __func__);
}

extern "C" int VXQ_F_DPS_MW_DoNetMsg_P2_CTRL_STREAM(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                    _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                                                    uint8_t *inout_pMsg, int32_t in_iLength)
{
    VXQ_F_DPS_MW_HeadMakeAnswer(inout_pMsg, 0);
    uint32_t dwLoginId = PR_Get32(inout_pMsg, PR_BODY);
    int32_t iMediaType = (int32_t)PR_Get32(inout_pMsg, PR_BODY + 8);
    int32_t iCode = (int32_t)PR_Get32(inout_pMsg, PR_BODY + 12);
    if (!PR_IsCommandConnOf(inout_pConn, dwLoginId))
        return VXQ_F_DPS_MW_Refuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, 6,
                                   "Ctrl stream failure, cause: not login.", NULL, __func__);
    if (iMediaType < 0 || iMediaType > 2)
        return VXQ_F_DPS_MW_Refuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, 2,
                                   "Ctrl stream failure, cause: media type error.", NULL, __func__);
    if (iCode < 0 || iCode > 1)
        return VXQ_F_DPS_MW_Refuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, 2,
                                   "Ctrl stream failure, cause: ctrl code error.", NULL, __func__);
    VXQ_F_LOG_SR_ShowInfo(iCode == 1 ? "Receiving network data: Ctrl stream: continue."
                                     : "Receiving network data: Ctrl stream: pause.");
    uint32_t dwMediaId = PR_Get32(inout_pMsg, PR_BODY + 4);
    if (dwMediaId == 0)
        return VXQ_F_DPS_MW_Refuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, 2,
                                   "Ctrl stream failure, cause: channel error.", NULL, __func__);
    _VXQ_S_DPS_NET_PORT_DATA *pMedia = PR_FindMediaConn(inout_pMcSrvData, dwMediaId, dwLoginId);
    if (pMedia == NULL)
        return VXQ_F_DPS_MW_Refuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, 2,
                                   "Ctrl stream failure, cause: channel error2.", NULL, __func__);
    if (iCode == 0) {
        if (iMediaType != 1)
            pMedia->tMedia.bVideoPause = 1;
        if (iMediaType != 0)
            pMedia->tMedia.bAudioPause = 1;
    } else {
        /* Video resumes at the next I-frame. */
        if (iMediaType != 1 && pMedia->tMedia.bVideoPause) {
            pMedia->tMedia.bVideoPause = 0;
            pMedia->tMedia.bRecvIFrame = 0;
        }
        if (iMediaType != 0)
            pMedia->tMedia.bAudioPause = 0;
    }
    return VXQ_F_DPS_MW_AnswerInPlace(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, 0, __func__);
}

extern "C" int VXQ_F_DPS_MW_DoNetMsg_P2_ONLY_I_FRAME(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                     _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                                                     uint8_t *inout_pMsg, int32_t in_iLength)
{
    VXQ_F_DPS_MW_HeadMakeAnswer(inout_pMsg, 0);
    VXQ_F_LOG_SR_ShowInfo("Receiving network data: Only I frame.");
    uint32_t dwLoginId = PR_Get32(inout_pMsg, PR_BODY);
    int32_t iCode = (int32_t)PR_Get32(inout_pMsg, PR_BODY + 8);
    if (!PR_IsCommandConnOf(inout_pConn, dwLoginId))
        return VXQ_F_DPS_MW_Refuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, 6,
                                   "Only I frame failure, cause: not login.", NULL, __func__);
    if (iCode < 0 || iCode > 1)
        return VXQ_F_DPS_MW_Refuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, 2,
                                   "Receiving network data: Only I frame fail, cause: ctrl code error.", NULL,
                                   __func__);
    uint32_t dwMediaId = PR_Get32(inout_pMsg, PR_BODY + 4);
    if (dwMediaId == 0)
        return VXQ_F_DPS_MW_Refuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, 2,
                                   "Only I frame failure, cause: channel claim id error.", NULL, __func__);
    _VXQ_S_DPS_NET_PORT_DATA *pMedia = PR_FindMediaConn(inout_pMcSrvData, dwMediaId, dwLoginId);
    if (pMedia == NULL)
        return VXQ_F_DPS_MW_Refuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, 1,
                                   "Only I frame failure, cause: query video channel fail.", NULL, __func__);
    if (iCode == 1) {
        VXQ_F_LOG_SR_ShowInfo("Receiving network data: Only I frame: send all frame.");
        pMedia->tMedia.bOnlyIFrame = 0;
        pMedia->tMedia.bRecvIFrame = 0;
    } else {
        VXQ_F_LOG_SR_ShowInfo("Receiving network data: Only I frame: send i frame.");
        pMedia->tMedia.bOnlyIFrame = 1;
    }
    return VXQ_F_DPS_MW_AnswerInPlace(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, 0, __func__);
}

extern "C" int VXQ_F_DPS_MW_DoNetMsg_P2_RM_REALPLAY_OPEN(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                         _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                                                         uint8_t *inout_pMsg, int32_t in_iLength)
{
    VXQ_F_LOG_SR_ShowInfo("Receiving network data: Realplay open udp mode.");
    return VXQ_F_DPS_MW_Refuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                               VXQ_DPS_UMSP_RESULT_NOT_SUPPORTED, NULL, NULL, __func__);
}

extern "C" int VXQ_F_DPS_MW_DoNetMsg_P2_RM_REALPLAY_CLOSE(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                          _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                                                          uint8_t *inout_pMsg, int32_t in_iLength)
{
    VXQ_F_LOG_SR_ShowInfo("Receiving network data: Realplay close udp mode.");
    return VXQ_F_DPS_MW_Refuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                               VXQ_DPS_UMSP_RESULT_NOT_SUPPORTED, NULL, NULL, __func__);
}

/* ---- Answers (orders) ---------------------------------------------------- */

static int32_t PR_OrderI32(const uint8_t *in_pOrder, int in_iOff)
{
    int32_t i;
    memcpy(&i, in_pOrder + in_iOff, 4);
    return i;
}

int VXQ_F_DPS_MW_DoOrder_EVENT_E2_OPEN_MEDIA_STREAM(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                    uint8_t *inout_pOrder, int32_t in_iLength)
{
    static const char *const s_aField[] = {
        "i_iChNo",           "i_iStreamNo",        "o_bVideoFlag",   "o_bAudioFlag",    "o_iVideoCodecId",
        "o_iVideoFrameRate", "o_iVideoBitRate",    "o_usVideoWidth", "o_usVideoHeight", "o_iAudioCodecId",
        "o_iAudioBitRate",   "o_iAudioSampleRate", "o_iAudioChNum"};
    if (inout_pMcSrvData == NULL || inout_pOrder == NULL || in_iLength < 16)
        return 0;
    uint8_t ucResult = inout_pOrder[5];
    VXQ_F_DPS_MW_TransAndShowErrorCodeToUmspResult(&ucResult, "Open media stream");
    inout_pOrder[5] = ucResult;
    if (in_iLength < 16 + (int32_t)sizeof(_VXQ_S_DPS_E2_OPEN_MEDIA_STREAM)) {
        VXQ_F_DPS_MW_LogStep(__func__, "in_iLength error.");
        return 0;
    }
    _VXQ_S_DPS_E2_OPEN_MEDIA_STREAM tBody;
    memcpy(&tBody, inout_pOrder + 16, sizeof(tBody));
    if (inout_pMcSrvData->bDebugLog) {
        int32_t aValue[13] = {tBody.i_iChNo,
                              tBody.i_iStreamNo,
                              tBody.o_tDesc.bVideoFlag,
                              tBody.o_tDesc.bAudioFlag,
                              tBody.o_tDesc.iVideoCodecId,
                              tBody.o_tDesc.iVideoFrameRate,
                              tBody.o_tDesc.iVideoBitRate,
                              tBody.o_tDesc.usVideoWidth,
                              tBody.o_tDesc.usVideoHeight,
                              tBody.o_tDesc.iAudioCodecId,
                              tBody.o_tDesc.iAudioBitRate,
                              tBody.o_tDesc.iAudioSampleRate,
                              tBody.o_tDesc.iAudioChNum};
        char sText[96];
        VXQ_F_LOG_SR_WriteLog("[DEBUG]  ========================================================", 2);
        VXQ_F_LOG_SR_WriteLog("[DEBUG]  Open the media stream (response): ", 2);
        for (int i = 0; i < 13; i++) {
            snprintf(sText, sizeof(sText), "[DEBUG]  %s=%d.", s_aField[i], (int)aValue[i]);
            VXQ_F_LOG_SR_WriteLog(sText, 2);
        }
    }
    _VXQ_S_DPS_MEDIA_SUB_CH_DATA *pSubCh =
        VXQ_F_DPS_MC_QueryMediaSubChData(inout_pMcSrvData, tBody.i_iChNo, tBody.i_iStreamNo);
    if (pSubCh == NULL) {
        VXQ_F_LOG_SR_ShowInfo(
            "VXQ_F_DPS_MW_DoOrder_EVENT_E2_OPEN_MEDIA_STREAM VXQ_F_DPS_MC_QueryMediaSubChData fail.");
        return 0;
    }
    if (pSubCh->iStreamOpenState != 1) {
        VXQ_F_LOG_SR_ShowInfo("VXQ_F_DPS_MW_DoOrder_EVENT_E2_OPEN_MEDIA_STREAM iStreamOpenState fail.");
        return 0;
    }
    VXQ_F_DPS_MC_MediaSubCh_SetDescription(pSubCh, inout_pOrder + 16 + 8);
    pSubCh->iStreamOpenState = 2;
    pSubCh->dwOpenStateTime = (uint32_t)VXQ_F_CLOCK_NowSec();
    /* Every viewer that waited for this answer gets it. */
    for (int i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++) {
        _VXQ_S_DPS_NET_PORT_DATA *pConn = inout_pMcSrvData->pConn[i];
        if (pConn == NULL || pConn->iConnType != VXQ_DPS_CONN_MEDIA || pConn->tMedia.iStreamState != 1 ||
            VXQ_F_DPS_MC_QueryMediaSubChData(inout_pMcSrvData, pConn->iChNo, pConn->iStreamNo) != pSubCh)
            continue;
        if (!VXQ_F_DPS_MC_SentWaitNetRespMsg(inout_pMcSrvData, pConn, ucResult))
            VXQ_F_LOG_SR_WriteLog(
                "VXQ_F_DPS_MW_DoOrder_EVENT_OPEN_MEDIA_STREAM VXQ_F_DPS_MC_SentWaitNetRespMsg fail.", 2);
        PR_SetStreamState(pConn, ucResult == 0 ? 2 : 0);
    }
    return 1;
}

int VXQ_F_DPS_MW_DoOrder_EVENT_E2_CLOSE_MEDIA_STREAM(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                     uint8_t *inout_pOrder, int32_t in_iLength)
{
    if (inout_pMcSrvData == NULL || inout_pOrder == NULL || in_iLength < 16)
        return 0;
    if (inout_pOrder[4] != VXQ_DPS_MSG_TYPE_REQUEST) {
        VXQ_F_LOG_SR_ShowInfo("App message: close media stream (responsion).");
        return 1;
    }
    VXQ_F_LOG_SR_ShowInfo("App message: close media stream (request).");
    if (in_iLength < 16 + (int32_t)sizeof(_VXQ_S_DPS_E2_CH_STREAM)) {
        VXQ_F_DPS_MW_LogStep(__func__, "in_iLength error.");
        return 0;
    }
    _VXQ_S_DPS_MEDIA_SUB_CH_DATA *pSubCh = VXQ_F_DPS_MC_QueryMediaSubChData(
        inout_pMcSrvData, PR_OrderI32(inout_pOrder, 16), PR_OrderI32(inout_pOrder, 20));
    if (pSubCh != NULL) {
        for (int i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++) {
            _VXQ_S_DPS_NET_PORT_DATA *pConn = inout_pMcSrvData->pConn[i];
            if (pConn != NULL && pConn->iConnType == VXQ_DPS_CONN_MEDIA &&
                VXQ_F_DPS_MC_QueryMediaSubChData(inout_pMcSrvData, pConn->iChNo, pConn->iStreamNo) == pSubCh)
                VXQ_F_DPS_MC_NetPortData_Delete(inout_pMcSrvData, pConn);
        }
        VXQ_F_DPS_MC_ReleaseMediaChannel(inout_pMcSrvData, pSubCh);
    }
    inout_pOrder[4] = VXQ_DPS_MSG_TYPE_ANSWER;
    inout_pOrder[5] = 0;
    return VXQ_F_DPS_MC_SentProEventToUpApp(inout_pMcSrvData, inout_pOrder, in_iLength);
}

/* The parked request with the host's entries: the count (clamped to 0..8 and
 * to what the order holds) at body 8, then 28 bytes each, written only where
 * the stored request has room for them. */
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_GET_VIDEO_QUALITY_CAP(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                        uint8_t *inout_pOrder, int32_t in_iLength)
{
    if (VXQ_F_DPS_MC_MsgHead_TransId(inout_pOrder) == 0)
        return 1;
    const _VXQ_S_DPS_FUNC_LINE *pLine = VXQ_F_DPS_MC_FindFuncLine(inout_pMcSrvData, P2_GET_VIDEO_QUALITY_CAP);
    _VXQ_S_DPS_NET_PORT_DATA *pConn;
    uint32_t dwTransId = VXQ_F_DPS_MW_AnswerBegin(inout_pMcSrvData, inout_pOrder, pLine);
    _VXQ_S_DPS_TRANS_DATA *pTrans = VXQ_F_DPS_MW_FindTarget(inout_pMcSrvData, dwTransId, pLine, &pConn);
    if (pTrans == NULL)
        return 0;
    uint8_t *pRequ = (uint8_t *)pTrans->pRequDataBuf;
    int32_t iRequLen = pTrans->iRequDataLen;
    pRequ[VXQ_DPS_UMSP_OFF_RESULT] = inout_pOrder[5];
    int32_t iNum = in_iLength >= 16 + 8 ? PR_OrderI32(inout_pOrder, 16 + 4) : 0;
    int32_t iHeld = in_iLength >= 16 + 8 ? (in_iLength - 16 - 8) / PR_QUALITY_CAP_ITEM_LEN : 0;
    iNum = iNum < 0 ? 0 : iNum > PR_QUALITY_CAP_ITEM_NUM ? PR_QUALITY_CAP_ITEM_NUM : iNum;
    if (iNum > iHeld)
        iNum = iHeld;
    if (iRequLen >= PR_BODY + 12)
        VXQ_F_DPS_MW_PutLe32(pRequ + PR_BODY + 8, (uint32_t)iNum);
    for (int32_t i = 0; i < iNum; i++) {
        int32_t iOff = PR_BODY + 12 + i * PR_QUALITY_CAP_ITEM_LEN;
        if (iOff + PR_QUALITY_CAP_ITEM_LEN > iRequLen)
            break;
        _VXQ_S_DPS_VIDEO_QUALITY_CAP_ITEM tItem;
        memcpy(&tItem, inout_pOrder + 16 + 8 + i * PR_QUALITY_CAP_ITEM_LEN, sizeof(tItem));
        memset(pRequ + iOff, 0, 16);
        memcpy(pRequ + iOff, tItem.sName, strnlen(tItem.sName, 15));
        VXQ_F_DPS_MW_PutLe32(pRequ + iOff + 16, tItem.dwValue);
        for (int j = 0; j < 4; j++)
            VXQ_F_DPS_MW_PutLe16(pRequ + iOff + 20 + 2 * j, tItem.usValue[j]);
    }
    VXQ_F_DPS_MW_AnswerAndEnd(inout_pMcSrvData, pConn, pTrans, pRequ, iRequLen, pLine);
    return 1;
}

/* Connection released: a media connection stops streaming, the host's
 * admission callback hears of the close, and its sub-channel is closed when it
 * was the last viewer. */
static void PR_LiveConnGone(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn)
{
    if (inout_pConn->iConnType != VXQ_DPS_CONN_MEDIA)
        return;
    inout_pConn->tMedia.iStreamState = 0;
    VXQ_F_DPS_MC_HostRealplayCheck(inout_pMcSrvData, inout_pConn->dwLoginId, (uint32_t)inout_pConn->iChNo,
                                   (uint32_t)inout_pConn->iStreamNo, VXQ_DPS_REALPLAY_CHECK_CLOSE);
    VXQ_F_DPS_MC_ClientCloseMediaCh(inout_pMcSrvData, inout_pConn->iChNo, inout_pConn->iStreamNo);
}

void VXQ_F_DPS_MC_LIVE_Install(_VXQ_S_DPS_HOOKS *inout_pHooks)
{
    VXQ_F_DPS_MC_Hooks_AddConnGone(inout_pHooks, PR_LiveConnGone);
}
