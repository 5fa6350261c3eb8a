/*
 * talk_alarm.cpp - voice talk, arming and the alarm push.
 *
 * Each client request handler sits next to the handler of the host's answer.
 * Message buffers stay in wire order: every field is read and written through
 * the little-endian accessors; event and order bodies are host-order records
 * (vxq_dps.h).
 */
#include "ops/talk_alarm.h"

#include "core/channel.h"
#include "kit/clock.h"
#include "protocol/dispatch.h"
#include "protocol/session.h"
#include "ops/relay.h"
#include "wire/head.h"
#include "wire/result.h"
#include "vxq_log.h"
#include "vxq_syshelp.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Body offsets (from the end of the 20-byte head). */
#define PR_BODY VXQ_DPS_UMSP_HEAD_LEN
#define PR_TALK_OFF_LOGIN_ID 0
#define PR_TALK_OFF_CH_NO 4
#define PR_TALK_OFF_AUDIO 8 /* codec, bit rate, sample rate, channels: 4 x 32 bits */
#define PR_ALARM_TEXT_SIZE 128
#define PR_ALARM_SRC_SIZE 32
#define PR_TD_TIME_LEN 12

/* Copies at most in_nSize - 1 characters of in_sSrc (null = empty) and always terminates. */
static void PR_CopyText(char *out_sDst, size_t in_nSize, const char *in_sSrc)
{
    size_t n = 0;
    if (in_sSrc != NULL) {
        while (n + 1 < in_nSize && in_sSrc[n] != '\0')
            n++;
        memcpy(out_sDst, in_sSrc, n);
    }
    memset(out_sDst + n, 0, in_nSize - n);
}

/* The local date-time of the clock now (64-bit, right past 2038), all fields 0
 * when the C library cannot give it. */
static void PR_LocalNow(_VXQ_S_TD_DATE_TIME *out_ptTd)
{
    struct tm tNow;
    memset(out_ptTd, 0, sizeof(*out_ptTd));
    if (!VXQ_F_CLOCK_LocalNow(&tNow))
        return;
    out_ptTd->usYear = (uint16_t)(tNow.tm_year + 1900);
    out_ptTd->usMonth = (uint16_t)(tNow.tm_mon + 1);
    out_ptTd->ucDay = (uint8_t)tNow.tm_mday;
    out_ptTd->ucHour = (uint8_t)tNow.tm_hour;
    out_ptTd->ucMinute = (uint8_t)tNow.tm_min;
    out_ptTd->ucSecond = (uint8_t)tNow.tm_sec;
}

/* Writes the 12-byte wire date-time of in_ptTd at out_pField. */
static void PR_PutLocalTime(uint8_t *out_pField, const _VXQ_S_TD_DATE_TIME *in_ptTd)
{
    memset(out_pField, 0, PR_TD_TIME_LEN);
    VXQ_F_DPS_MW_PutLe16(out_pField, in_ptTd->usYear);
    VXQ_F_DPS_MW_PutLe16(out_pField + 2, in_ptTd->usMonth);
    out_pField[4] = in_ptTd->ucDay;
    out_pField[5] = in_ptTd->ucHour;
    out_pField[6] = in_ptTd->ucMinute;
    out_pField[7] = in_ptTd->ucSecond;
}

/* ---- Event builders --------------------------------------------------------- */

int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_TALK_START(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                  uint32_t in_dwTransId, int32_t in_iTalkChNo)
{
    _VXQ_S_DPS_E2_TALK_START tBody;
    if (inout_pMcSrvData == NULL)
        return 0;
    memset(&tBody, 0, sizeof(tBody));
    tBody.i_iTalkChNo = in_iTalkChNo;
    VXQ_DPS_DEBUG(inout_pMcSrvData->bDebugLog, 0, "[DEBUG]  Start talk (request): i_iTalkChNo: %d.",
                  (int)in_iTalkChNo);
    return VXQ_F_DPS_MC_SentProEventBody(inout_pMcSrvData, EVENT_E2_TALK_START, in_dwTransId, &tBody,
                                         (int32_t)sizeof(tBody));
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_TALK_STOP(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 uint32_t in_dwTransId, int32_t in_iTalkChNo)
{
    _VXQ_S_DPS_E2_TALK_STOP tBody;
    if (inout_pMcSrvData == NULL)
        return 0;
    tBody.i_iTalkChNo = in_iTalkChNo;
    VXQ_DPS_DEBUG(inout_pMcSrvData->bDebugLog, 0, "[DEBUG]  Stop talk (request): i_iTalkChNo: %d.",
                  (int)in_iTalkChNo);
    return VXQ_F_DPS_MC_SentProEventBody(inout_pMcSrvData, EVENT_E2_TALK_STOP, in_dwTransId, &tBody,
                                         (int32_t)sizeof(tBody));
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_GUARD(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwTransId)
{
    VXQ_DPS_DEBUG(inout_pMcSrvData != NULL && inout_pMcSrvData->bDebugLog, 0,
                  "[DEBUG]  Set alarm (request).");
    return VXQ_F_DPS_MC_SentProEventBody(inout_pMcSrvData, EVENT_E2_GUARD, in_dwTransId, NULL, 0);
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_UNGUARD(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwTransId)
{
    VXQ_DPS_DEBUG(inout_pMcSrvData != NULL && inout_pMcSrvData->bDebugLog, 0,
                  "[DEBUG]  Cancel alarm (request).");
    return VXQ_F_DPS_MC_SentProEventBody(inout_pMcSrvData, EVENT_E2_UNGUARD, in_dwTransId, NULL, 0);
}

/* ---- Talk table ------------------------------------------------------------- */

_VXQ_S_DPS_TALK_CH_DATA *VXQ_F_DPS_MC_QueryTalkChData(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData,
                                                      int32_t in_iTalkChNo)
{
    int32_t iSlot;
    if (in_pMcSrvData == NULL)
        return NULL;
    iSlot = VXQ_F_DPS_MC_ChNoToSlot(in_pMcSrvData, in_iTalkChNo);
    if (iSlot < 0 || iSlot >= VXQ_DPS_TALK_CH_SLOT_NUM)
        return NULL;
    return &in_pMcSrvData->tTalkCh[iSlot];
}

int VXQ_F_DPS_MC_SendStartTalkRespMsg(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                      const _VXQ_S_DPS_TALK_CH_DATA *in_pTalk, uint32_t in_dwTransValue,
                                      uint8_t in_ucResult)
{
    uint8_t ucMsg[VXQ_DPS_TALK_START_RESP_LEN];
    _VXQ_S_DPS_NET_PORT_DATA *pConn;
    if (inout_pMcSrvData == NULL || in_pTalk == NULL || in_pTalk->dwTalkPortId == 0)
        return 0;
    pConn = VXQ_F_DPS_MC_NetPortData_QueryByPortId(inout_pMcSrvData, in_pTalk->dwTalkPortId);
    if (pConn == NULL)
        return 0;
    memset(ucMsg, 0, sizeof(ucMsg));
    VXQ_F_DPS_MW_HeadBuildFresh(ucMsg, VXQ_DPS_TALK_START_RESP_LEN, P4_TALK_START, VXQ_DPS_UMSP_PACKET_ANSWER,
                                in_ucResult);
    VXQ_F_DPS_MW_PutLe32(ucMsg + VXQ_DPS_UMSP_OFF_TRANS_NO, in_dwTransValue);
    VXQ_F_DPS_MW_PutLe32(ucMsg + PR_BODY + PR_TALK_OFF_LOGIN_ID, in_pTalk->dwLoginId);
    VXQ_F_DPS_MW_PutLe32(ucMsg + PR_BODY + PR_TALK_OFF_CH_NO, (uint32_t)in_pTalk->iTalkChNo);
    VXQ_F_DPS_MW_PutLe32(ucMsg + PR_BODY + PR_TALK_OFF_AUDIO, (uint32_t)in_pTalk->iDevAudioCodecId);
    VXQ_F_DPS_MW_PutLe32(ucMsg + PR_BODY + PR_TALK_OFF_AUDIO + 4, (uint32_t)in_pTalk->iDevAudioBitRate);
    VXQ_F_DPS_MW_PutLe32(ucMsg + PR_BODY + PR_TALK_OFF_AUDIO + 8, (uint32_t)in_pTalk->iDevAudioSampleRate);
    VXQ_F_DPS_MW_PutLe32(ucMsg + PR_BODY + PR_TALK_OFF_AUDIO + 12, (uint32_t)in_pTalk->iDevAudioChNum);
    return VXQ_F_DPS_MW_SendNetAnswer(inout_pMcSrvData, pConn, ucMsg, VXQ_DPS_TALK_START_RESP_LEN, __func__);
}

int VXQ_F_DPS_MC_CloseTalk(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_TALK_CH_DATA *inout_pTalk)
{
    _VXQ_S_DPS_NET_PORT_DATA *pConn;
    if (inout_pMcSrvData == NULL || inout_pTalk == NULL)
        return 0;
    if (inout_pTalk->dwTalkPortId != 0) {
        pConn = VXQ_F_DPS_MC_NetPortData_QueryByPortId(inout_pMcSrvData, inout_pTalk->dwTalkPortId);
        if (pConn != NULL)
            VXQ_F_DPS_MC_NetPortData_Delete(inout_pMcSrvData, pConn);
    }
    memset(inout_pTalk, 0, sizeof(*inout_pTalk));
    return 1;
}

int VXQ_F_DPS_MC_ClientCloseTalkCh(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iTalkChNo)
{
    _VXQ_S_DPS_TALK_CH_DATA *pTalk = VXQ_F_DPS_MC_QueryTalkChData(inout_pMcSrvData, in_iTalkChNo);
    if (pTalk == NULL)
        return 0;
    memset(pTalk, 0, sizeof(*pTalk));
    return 1;
}

/* ---- Talk start ------------------------------------------------------------- */

/* The request is answered at once only when refused (2, 5, 6, 7 or 1); an
 * accepted start waits for the host's answer, which the service then sends as a
 * fresh 44-byte response. */
int VXQ_F_DPS_MW_DoNetMsg_P4_TALK_START(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                        _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                        int32_t in_iLength)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    _VXQ_S_DPS_TALK_CH_DATA *pTalk;
    _VXQ_S_DPS_NET_PORT_DATA *pCmd;
    uint32_t dwLoginId, dwTransValue;
    int32_t iTalkChNo;
    uint8_t ucResult = VXQ_DPS_UMSP_RESULT_SUCCESS;

    VXQ_F_LOG_SR_ShowInfo("Receiving network data: Start talk.");
    dwLoginId = VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_BODY + PR_TALK_OFF_LOGIN_ID);
    iTalkChNo = (int32_t)VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_BODY + PR_TALK_OFF_CH_NO);
    dwTransValue = VXQ_F_DPS_MW_GetLe32(inout_pMsg + VXQ_DPS_UMSP_OFF_TRANS_NO);

    pTalk = VXQ_F_DPS_MC_QueryTalkChData(p, iTalkChNo);
    pCmd = pTalk != NULL ? VXQ_F_DPS_MC_NetPortData_QueryByLoginId(p, dwLoginId) : NULL;
    if (pTalk == NULL) {
        VXQ_F_DPS_MW_LogStep(__func__, "i_iTalkChNo fail.");
        ucResult = VXQ_DPS_UMSP_RESULT_PARAM_ERROR;
    } else if (pCmd == NULL) {
        VXQ_F_DPS_MW_LogStep(__func__, "VXQ_F_DPS_MC_NetPortData_QueryByLoginId fail.");
        ucResult = VXQ_DPS_UMSP_RESULT_NOT_LOGGED_IN;
    } else if (!VXQ_F_DPS_MC_APUP_PopCheck(p, pCmd, iTalkChNo, VXQ_DPS_POP_TALK)) {
        VXQ_F_LOG_SR_ShowInfo("Receiving network data: Start talk fail, cause: without permission.");
        ucResult = VXQ_DPS_UMSP_RESULT_NO_PERMISSION;
    } else if (pTalk->iChState != VXQ_DPS_TALK_IDLE) {
        VXQ_F_LOG_SR_ShowInfo("Start talk failure, cause: talking.");
        ucResult = VXQ_DPS_UMSP_RESULT_TALK_BUSY;
    } else if (inout_pConn == pCmd || inout_pConn->iConnType > VXQ_DPS_CONN_COMMAND) {
        /* A connection has one role: the session's own command connection, or a
         * connection that already serves a stream, a talk or a download, cannot
         * become a talk connection (closing the talk would drop it). */
        VXQ_F_LOG_SR_ShowInfo("Receiving network data: Start talk fail, cause: connection in use.");
        ucResult = VXQ_DPS_UMSP_RESULT_PARAM_ERROR;
    } else {
        /* The record (and its time) is complete before the event goes up: from
         * then on the host may act on the event on its own thread. */
        memset(pTalk, 0, sizeof(*pTalk));
        pTalk->iTalkChNo = iTalkChNo;
        pTalk->iChState = VXQ_DPS_TALK_WAIT_HOST;
        pTalk->dwStateTime = (uint32_t)VXQ_F_CLOCK_NowSec();
        pTalk->dwLoginId = dwLoginId;
        pTalk->dwLoginPortId = pCmd->dwPortId;
        pTalk->dwTalkPortId = inout_pConn->dwPortId;
        if (VXQ_F_DPS_MC_SentProEvent_EVENT_E2_TALK_START(p, dwTransValue, iTalkChNo)) {
            inout_pConn->iConnType = VXQ_DPS_CONN_TALK;
            inout_pConn->dwLoginId = dwLoginId;
            inout_pConn->iChNo = iTalkChNo;
            inout_pConn->dwLoginPortId = pCmd->dwPortId;
            inout_pConn->tTalk.dwStartNo = dwTransValue; /* the answer must repeat it */
            return 1;
        }
        memset(pTalk, 0, sizeof(*pTalk));
        VXQ_F_DPS_MW_LogStep(__func__, "VXQ_F_DPS_MC_SentProEvent_EVENT_E2_TALK_START fail.");
        ucResult = VXQ_DPS_UMSP_RESULT_SERVICE_FAIL;
    }
    return VXQ_F_DPS_MW_AnswerInPlace(p, inout_pConn, inout_pMsg, in_iLength, ucResult, __func__);
}

/* The host's answer to a talk start. Only the talk waiting for it (state 2,
 * same request number) takes it; an answer for a slot that is free by now (the
 * talk timed out or stopped) fails like a refused start and leaves it free. */
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_TALK_START(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                             int32_t in_iLength)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    _VXQ_S_DPS_MSG_HEAD tHead;
    _VXQ_S_DPS_E2_TALK_START tBody;
    _VXQ_S_DPS_TALK_CH_DATA *pTalk;
    _VXQ_S_DPS_NET_PORT_DATA *pTalkConn;
    if (p == NULL || inout_pOrder == NULL || in_iLength < (int32_t)(sizeof(tHead) + sizeof(tBody)))
        return 0;
    VXQ_F_DPS_MW_TransAndShowErrorCodeToUmspResult(inout_pOrder + offsetof(_VXQ_S_DPS_MSG_HEAD, ucResult),
                                                   "Start talk");
    memcpy(&tHead, inout_pOrder, sizeof(tHead));
    memcpy(&tBody, inout_pOrder + sizeof(tHead), sizeof(tBody));
    VXQ_DPS_DEBUG(
        p->bDebugLog, 0,
        "[DEBUG]  Start talk (response): i_iTalkChNo: %d, o_iDevAudioCodecId: %d, o_iDevAudioBitRate: %d, "
        "o_iDevAudioSampleRate: %d, o_iDevAudioChNum: %d.",
        (int)tBody.i_iTalkChNo, (int)tBody.o_iDevAudioCodecId, (int)tBody.o_iDevAudioBitRate,
        (int)tBody.o_iDevAudioSampleRate, (int)tBody.o_iDevAudioChNum);
    pTalk = VXQ_F_DPS_MC_QueryTalkChData(p, tBody.i_iTalkChNo);
    if (pTalk == NULL) {
        VXQ_F_DPS_MW_LogStep(__func__, "i_iTalkChNo fail.");
        return 0;
    }
    if (pTalk->iChState != VXQ_DPS_TALK_IDLE) {
        pTalkConn = VXQ_F_DPS_MC_NetPortData_QueryByPortId(p, pTalk->dwTalkPortId);
        if (pTalk->iChState != VXQ_DPS_TALK_WAIT_HOST ||
            (pTalkConn != NULL && pTalkConn->tTalk.dwStartNo != tHead.dwTransId)) {
            /* An answer of an earlier talk of this slot: the current talk is not its. */
            VXQ_F_DPS_MW_LogStep(__func__, "dwTransId error.");
            return 0;
        }
        pTalk->iDevAudioCodecId = tBody.o_iDevAudioCodecId;
        pTalk->iDevAudioBitRate = tBody.o_iDevAudioBitRate;
        pTalk->iDevAudioSampleRate = tBody.o_iDevAudioSampleRate;
        pTalk->iDevAudioChNum = tBody.o_iDevAudioChNum;
        if (VXQ_F_DPS_MC_SendStartTalkRespMsg(p, pTalk, tHead.dwTransId, tHead.ucResult) &&
            tHead.ucResult == VXQ_DPS_UMSP_RESULT_SUCCESS) {
            pTalk->iChState = VXQ_DPS_TALK_TALKING;
            pTalk->dwStateTime = (uint32_t)VXQ_F_CLOCK_NowSec();
            return 1;
        }
    }
    VXQ_F_LOG_SR_ShowInfo("App message: start talk fail.");
    VXQ_F_DPS_MC_CloseTalk(p, pTalk);
    return 0;
}

/* ---- Talk stop -------------------------------------------------------------- */

/* Always answered at once on the requesting connection; a talk in use is
 * stopped after the answer went out, since the request may have come on the
 * talk connection itself, which closing the talk drops. Only the session that
 * started the talk may stop it: the requesting connection's login id (that of
 * the command connection, or of the talk connection, which took it at start)
 * must be the talk's; another session gets result 5 and the talk goes on. */
int VXQ_F_DPS_MW_DoNetMsg_P4_TALK_STOP(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                       _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                       int32_t in_iLength)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    _VXQ_S_DPS_TALK_CH_DATA *pTalk;
    int32_t iTalkChNo;
    uint8_t ucResult = VXQ_DPS_UMSP_RESULT_SUCCESS;
    int bClose = 0;
    int iRet;

    VXQ_F_LOG_SR_ShowInfo("Receiving network data: Stop talk.");
    iTalkChNo = (int32_t)VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_BODY + PR_TALK_OFF_CH_NO);
    pTalk = VXQ_F_DPS_MC_QueryTalkChData(p, iTalkChNo);
    if (pTalk == NULL) {
        VXQ_F_DPS_MW_LogStep(__func__, "i_iTalkChNo fail.");
        ucResult = VXQ_DPS_UMSP_RESULT_PARAM_ERROR;
    } else if (pTalk->iChState != VXQ_DPS_TALK_IDLE && pTalk->dwLoginId != inout_pConn->dwLoginId) {
        VXQ_F_LOG_SR_ShowInfo("Receiving network data: Stop talk fail, cause: without permission.");
        ucResult = VXQ_DPS_UMSP_RESULT_NO_PERMISSION;
    } else if (pTalk->iChState != VXQ_DPS_TALK_IDLE) {
        if (VXQ_F_DPS_MC_SentProEvent_EVENT_E2_TALK_STOP(
                p, VXQ_F_DPS_MW_GetLe32(inout_pMsg + VXQ_DPS_UMSP_OFF_TRANS_NO), pTalk->iTalkChNo)) {
            bClose = 1;
        } else {
            VXQ_F_DPS_MW_LogStep(__func__, "VXQ_F_DPS_MC_SentProEvent_EVENT_E2_TALK_STOP fail.");
            ucResult = VXQ_DPS_UMSP_RESULT_SERVICE_FAIL;
        }
    }
    iRet = VXQ_F_DPS_MW_AnswerInPlace(p, inout_pConn, inout_pMsg, in_iLength, ucResult, __func__);
    if (bClose)
        VXQ_F_DPS_MC_CloseTalk(p, pTalk); /* may release inout_pConn */
    return iRet;
}

/* The host ends a talk by posting this order itself (ucMsgType 0): the talk is
 * closed with its connection; nothing is sent. An answer to a stop event
 * (ucMsgType nonzero) is only shown: that talk was closed when the event went
 * up, and the slot may already carry a new talk. */
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_TALK_STOP(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                            int32_t in_iLength)
{
    _VXQ_S_DPS_E2_TALK_STOP tBody;
    _VXQ_S_DPS_TALK_CH_DATA *pTalk;
    if (inout_pMcSrvData == NULL || inout_pOrder == NULL ||
        in_iLength < (int32_t)(sizeof(_VXQ_S_DPS_MSG_HEAD) + sizeof(tBody)))
        return 0;
    memcpy(&tBody, inout_pOrder + sizeof(_VXQ_S_DPS_MSG_HEAD), sizeof(tBody));
    if (inout_pOrder[offsetof(_VXQ_S_DPS_MSG_HEAD, ucMsgType)] != 0) {
        VXQ_F_LOG_SR_ShowInfo("App message: stop talk (response).");
        return 1;
    }
    VXQ_F_LOG_SR_ShowInfo("App message: stop talk (request).");
    pTalk = VXQ_F_DPS_MC_QueryTalkChData(inout_pMcSrvData, tBody.i_iTalkChNo);
    if (pTalk == NULL)
        return 0;
    return VXQ_F_DPS_MC_CloseTalk(inout_pMcSrvData, pTalk);
}

/* ---- Client audio ----------------------------------------------------------- */

/* Relays the audio of a talking client to the host; never answered. Audio
 * counts only from the connection that owns the talk in state 3. */
int VXQ_F_DPS_MW_DoNetMsg_PE_AUDIO_FRAME(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                         _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                         int32_t in_iLength)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    _VXQ_S_DPS_TALK_CH_DATA *pTalk;
    _VXQ_S_DPS_E8_TALK_AUDIO tAudio;
    VXQ_DPS_DEBUG(p->bDebugLog && p->bDebugMediaLog, 0, "[DEBUG]  Receiving audio data client.");
    int32_t iMediaDataLen = in_iLength - VXQ_DPS_AUDIO_FRAME_HEAD_LEN;
    if (iMediaDataLen <= 0) {
        VXQ_F_DPS_MW_LogStep(__func__, "iMediaDataLen <= 0.");
        return 0;
    }
    pTalk = inout_pConn->iConnType == VXQ_DPS_CONN_TALK ? VXQ_F_DPS_MC_QueryTalkChData(p, inout_pConn->iChNo)
                                                        : NULL;
    if (pTalk == NULL) {
        VXQ_F_DPS_MW_LogStep(__func__, "iChNo error.");
        return 0;
    }
    if (pTalk->iChState != VXQ_DPS_TALK_TALKING || pTalk->dwTalkPortId != inout_pConn->dwPortId) {
        VXQ_F_DPS_MW_LogStep(__func__, "iChState error.");
        return 0;
    }
    pTalk->dwLastAudioTime = (uint32_t)VXQ_F_CLOCK_NowSec();
    memset(&tAudio, 0, sizeof(tAudio));
    tAudio.i_usTalkChNo = (uint16_t)inout_pConn->iChNo;
    int iRaised = VXQ_F_DPS_MW_RaiseEvent(p, MEDIA_E8_AUDIO_FRAME, 0, &tAudio, (int32_t)sizeof(tAudio),
                                          inout_pMsg + VXQ_DPS_AUDIO_FRAME_HEAD_LEN, iMediaDataLen);
    if (iRaised != 1)
        VXQ_F_DPS_MW_LogStep(__func__,
                             iRaised < 0 ? "malloc fail." : "VXQ_F_DPS_MC_SentProEventToUpApp fail.");
    return iRaised == 1;
}

/* ---- Arming ----------------------------------------------------------------- */

/* Arms the device for this connection; answered at once. */
int VXQ_F_DPS_MW_DoNetMsg_P5_GUARD(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                   _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                   int32_t in_iLength)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    _VXQ_S_DPS_NET_PORT_DATA *pCmd;
    uint8_t ucResult = VXQ_DPS_UMSP_RESULT_SUCCESS;

    VXQ_F_LOG_SR_ShowInfo("Receiving network data: Set alarm.");
    pCmd = VXQ_F_DPS_MC_NetPortData_QueryByLoginId(p, VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_BODY));
    if (pCmd == NULL) {
        VXQ_F_DPS_MW_LogStep(__func__, "VXQ_F_DPS_MC_NetPortData_QueryByLoginId fail.");
        ucResult = VXQ_DPS_UMSP_RESULT_NOT_LOGGED_IN;
    } else if (!VXQ_F_DPS_MC_APUP_PopCheck(p, pCmd, -1, VXQ_DPS_POP_ARMING)) {
        VXQ_F_LOG_SR_ShowInfo("Receiving network data: Set alarm fail, cause: without permission.");
        ucResult = VXQ_DPS_UMSP_RESULT_NO_PERMISSION;
    } else if (!VXQ_F_DPS_MC_SentProEvent_EVENT_E2_GUARD(p, 0)) {
        VXQ_F_DPS_MW_LogStep(__func__, "VXQ_F_DPS_MC_SentProEvent_EVENT_E2_GUARD fail.");
        ucResult = VXQ_DPS_UMSP_RESULT_SERVICE_FAIL;
    } else {
        inout_pConn->tAlarm.bGuard = 1;
    }
    return VXQ_F_DPS_MW_AnswerInPlace(p, inout_pConn, inout_pMsg, in_iLength, ucResult, __func__);
}

int VXQ_F_DPS_MW_DoOrder_EVENT_E2_GUARD(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                        int32_t in_iLength)
{
    (void)inout_pMcSrvData;
    (void)inout_pOrder;
    (void)in_iLength;
    VXQ_F_LOG_SR_ShowInfo("App message: set alarm (response).");
    return 1;
}

/* Disarms for this connection (the logged-in rule is the dispatcher's); the
 * event goes up even while other clients keep the device armed. */
int VXQ_F_DPS_MW_DoNetMsg_P5_UNGUARD(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                     _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                     int32_t in_iLength)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    uint8_t ucResult = VXQ_DPS_UMSP_RESULT_SUCCESS;

    VXQ_F_LOG_SR_ShowInfo("Receiving network data: Cancel alarm.");
    if (!VXQ_F_DPS_MC_SentProEvent_EVENT_E2_UNGUARD(p, 0)) {
        VXQ_F_DPS_MW_LogStep(__func__, "VXQ_F_DPS_MC_SentProEvent_EVENT_E2_UNGUARD fail.");
        ucResult = VXQ_DPS_UMSP_RESULT_SERVICE_FAIL;
    } else {
        inout_pConn->tAlarm.bGuard = 0;
    }
    return VXQ_F_DPS_MW_AnswerInPlace(p, inout_pConn, inout_pMsg, in_iLength, ucResult, __func__);
}

int VXQ_F_DPS_MW_DoOrder_EVENT_E2_UNGUARD(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                          int32_t in_iLength)
{
    (void)inout_pMcSrvData;
    (void)inout_pOrder;
    (void)in_iLength;
    VXQ_F_LOG_SR_ShowInfo("App message: cancel alarm (response).");
    return 1;
}

/* ---- Alarm push ------------------------------------------------------------- */

/* Sends in_pNotice to every command connection, armed or not, restoring it
 * from in_pSaved before each send (a send may convert it in place). */
static void PR_PushNotice(_VXQ_S_DPS_MCSRV_DATA *p, uint8_t *inout_pNotice, const uint8_t *in_pSaved,
                          int32_t in_iLength, const char *in_sHandlerName)
{
    for (int32_t i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++) {
        _VXQ_S_DPS_NET_PORT_DATA *pConn = p->pConn[i];
        if (pConn == NULL || pConn->iConnType != VXQ_DPS_CONN_COMMAND)
            continue;
        memcpy(inout_pNotice, in_pSaved, (size_t)in_iLength);
        VXQ_F_DPS_MW_SendNetAnswer(p, pConn, inout_pNotice, in_iLength, in_sHandlerName);
    }
}

int VXQ_F_DPS_MW_DoOrder_EVENT_E2_ALARM_INFO(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                             int32_t in_iLength)
{
    _VXQ_S_DPS_E2_ALARM_INFO tBody;
    uint8_t ucNotice[VXQ_DPS_ALARM_NOTICE_LEN];
    uint8_t ucSaved[VXQ_DPS_ALARM_NOTICE_LEN];
    if (inout_pMcSrvData == NULL || inout_pOrder == NULL ||
        in_iLength < (int32_t)(sizeof(_VXQ_S_DPS_MSG_HEAD) + sizeof(tBody)))
        return 0;
    memcpy(&tBody, inout_pOrder + sizeof(_VXQ_S_DPS_MSG_HEAD), sizeof(tBody));
    tBody.o_sAlarmMsg[PR_ALARM_TEXT_SIZE - 1] = '\0';
    memset(ucNotice, 0, sizeof(ucNotice));
    VXQ_F_DPS_MW_HeadBuildFresh(ucNotice, VXQ_DPS_ALARM_NOTICE_LEN, P5_ALARM_NOTICE,
                                VXQ_DPS_UMSP_PACKET_REQUEST, 0);
    VXQ_F_DPS_MW_PutLe32(ucNotice + PR_BODY, (uint32_t)tBody.o_iChNo);
    VXQ_F_DPS_MW_PutLe32(ucNotice + PR_BODY + 4, (uint32_t)tBody.o_iAlarmEvent);
    _VXQ_S_TD_DATE_TIME tNow;
    PR_LocalNow(&tNow);
    PR_PutLocalTime(ucNotice + PR_BODY + 8, &tNow);
    VXQ_F_DPS_MW_PutLe32(ucNotice + PR_BODY + 20, tBody.o_dwAlarmParam);
    PR_CopyText((char *)ucNotice + PR_BODY + 24, PR_ALARM_TEXT_SIZE, tBody.o_sAlarmMsg);
    VXQ_DPS_DEBUG(inout_pMcSrvData->bDebugLog, 0, "Alarm channel: %d, event: %d, msg: %s.",
                  (int)tBody.o_iChNo, (int)tBody.o_iAlarmEvent, tBody.o_sAlarmMsg);
    memcpy(ucSaved, ucNotice, sizeof(ucSaved));
    PR_PushNotice(inout_pMcSrvData, ucNotice, ucSaved, VXQ_DPS_ALARM_NOTICE_LEN, __func__);
    return 1;
}

/* As the plain alarm, with the service's alarm id "AI<local time><running
 * number>": the running number starts at (seconds mod 10000) with the first
 * extended alarm and grows by one with each. dwAlarmId holds the next running
 * number plus one, so 0 means "not started". */
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_EX_ALARM_INFO(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                uint8_t *inout_pOrder, int32_t in_iLength)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    _VXQ_S_DPS_E2_EX_ALARM_INFO tBody;
    uint8_t ucNotice[VXQ_DPS_EX_ALARM_NOTICE_LEN];
    uint8_t ucSaved[VXQ_DPS_EX_ALARM_NOTICE_LEN];
    char sAlarmId[64];
    int64_t llNow = VXQ_F_CLOCK_NowSec64();
    _VXQ_S_TD_DATE_TIME tNow;
    uint32_t dwNumber;
    if (p == NULL || inout_pOrder == NULL ||
        in_iLength < (int32_t)(sizeof(_VXQ_S_DPS_MSG_HEAD) + sizeof(tBody)))
        return 0;
    memcpy(&tBody, inout_pOrder + sizeof(_VXQ_S_DPS_MSG_HEAD), sizeof(tBody));
    tBody.o_sAlarmMsg[PR_ALARM_TEXT_SIZE - 1] = '\0';

    if (p->dwAlarmId == 0)
        p->dwAlarmId = (uint32_t)(llNow < 0 ? 0 : llNow % 10000) + 1;
    dwNumber = p->dwAlarmId - 1;
    p->dwAlarmId++;
    PR_LocalNow(&tNow);
    snprintf(sAlarmId, sizeof(sAlarmId), "AI%04d%02d%02d%02d%02d%02d%4.4lu", (int)tNow.usYear,
             (int)tNow.usMonth, (int)tNow.ucDay, (int)tNow.ucHour, (int)tNow.ucMinute, (int)tNow.ucSecond,
             (unsigned long)dwNumber);

    memset(ucNotice, 0, sizeof(ucNotice));
    VXQ_F_DPS_MW_HeadBuildFresh(ucNotice, VXQ_DPS_EX_ALARM_NOTICE_LEN, P5_EX_ALARM_NOTICE,
                                VXQ_DPS_UMSP_PACKET_REQUEST, 0);
    PR_CopyText((char *)ucNotice + PR_BODY, PR_ALARM_SRC_SIZE, sAlarmId);
    VXQ_F_DPS_MW_PutLe32(ucNotice + PR_BODY + 32, (uint32_t)tBody.o_iChNo);
    PR_PutLocalTime(ucNotice + PR_BODY + 36, &tNow);
    VXQ_F_DPS_MW_PutLe32(ucNotice + PR_BODY + 48, (uint32_t)tBody.o_iAlarmEvent);
    PR_CopyText((char *)ucNotice + PR_BODY + 52, PR_ALARM_TEXT_SIZE, tBody.o_sAlarmMsg);
    VXQ_DPS_DEBUG(p->bDebugLog, 0, "Alarm ex channel: %d, event: %d, msg: %s.", (int)tBody.o_iChNo,
                  (int)tBody.o_iAlarmEvent, tBody.o_sAlarmMsg);
    memcpy(ucSaved, ucNotice, sizeof(ucSaved));
    PR_PushNotice(p, ucNotice, ucSaved, VXQ_DPS_EX_ALARM_NOTICE_LEN, __func__);
    return 1;
}

/* ---- Alarm input (host threads) --------------------------------------------- */

/* Queues one order without waiting. */
static int PR_QueueOrder(_VXQ_S_DPS_MCSRV_DATA *p, int32_t in_iMsgFuncId, const void *in_pBody,
                         int32_t in_iBodyLen)
{
    uint8_t ucOrder[sizeof(_VXQ_S_DPS_MSG_HEAD) + sizeof(_VXQ_S_DPS_E2_EX_ALARM_INFO)];
    _VXQ_S_DPS_MSG_HEAD tHead;
    memset(&tHead, 0, sizeof(tHead));
    tHead.iMsgFuncId = in_iMsgFuncId;
    tHead.iBodyLen = in_iBodyLen;
    memcpy(ucOrder, &tHead, sizeof(tHead));
    memcpy(ucOrder + sizeof(tHead), in_pBody, (size_t)in_iBodyLen);
    return VXQ_F_TOOLS_QUEUE_SetData(p->hOrderQueue, ucOrder, (int32_t)sizeof(tHead) + in_iBodyLen, 0);
}

VXQ_API int VXQ_F_DPS_UpAlarmMsg(VXQ_DPS_HANDLE in_hDevProNetSrv, int in_iChNo, int in_iAlarmEvent,
                                 uint32_t in_dwAlarmParam, const char *in_sAlarmMsg)
{
    _VXQ_S_DPS_E2_ALARM_INFO tBody;
    if (in_hDevProNetSrv == NULL) {
        VXQ_F_LOG_SR_WriteLog("Up alarm msg in_hDevProNetSrv error.", 2);
        return 0;
    }
    memset(&tBody, 0, sizeof(tBody));
    tBody.o_iChNo = in_iChNo;
    tBody.o_iAlarmEvent = in_iAlarmEvent;
    tBody.o_dwAlarmParam = in_dwAlarmParam;
    PR_CopyText(tBody.o_sAlarmMsg, sizeof(tBody.o_sAlarmMsg), in_sAlarmMsg);
    if (!PR_QueueOrder(in_hDevProNetSrv, EVENT_E2_ALARM_INFO, &tBody, (int32_t)sizeof(tBody))) {
        VXQ_F_LOG_SR_WriteLog("Up alarm msg fail.", 2);
        return 0;
    }
    return 1;
}

VXQ_API int VXQ_F_DPS_SendAlarmMsg(VXQ_DPS_HANDLE in_hDevProNetSrv, const char *in_sAlarmSrc, int in_iChNo,
                                   int in_iAlarmEvent, const char *in_sAlarmMsg)
{
    _VXQ_S_DPS_E2_EX_ALARM_INFO tBody;
    if (in_hDevProNetSrv == NULL) {
        VXQ_F_LOG_SR_WriteLog("Send alarm msg in_hDevProNetSrv error.", 2);
        return 0;
    }
    memset(&tBody, 0, sizeof(tBody));
    PR_CopyText(tBody.o_sAlarmSrc, sizeof(tBody.o_sAlarmSrc), in_sAlarmSrc);
    tBody.o_iChNo = in_iChNo;
    tBody.o_iAlarmEvent = in_iAlarmEvent;
    PR_CopyText(tBody.o_sAlarmMsg, sizeof(tBody.o_sAlarmMsg), in_sAlarmMsg);
    if (!PR_QueueOrder(in_hDevProNetSrv, EVENT_E2_EX_ALARM_INFO, &tBody, (int32_t)sizeof(tBody))) {
        VXQ_F_LOG_SR_WriteLog("Send alarm msg fail.", 2);
        return 0;
    }
    return 1;
}

/* ---- Hooks: connection release and talk supervision ------------------------ */

/* Connection released: the talk this connection carries is stopped (never
 * another client's), and a guard it held is given up; the host is told to
 * disarm when no other client keeps the device armed. */
static void PR_TalkConnGone(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    if (inout_pConn->iConnType == VXQ_DPS_CONN_TALK) {
        int32_t iSlot = VXQ_F_DPS_MC_ChNoToSlot(p, inout_pConn->iChNo);
        if (iSlot >= 0) {
            _VXQ_S_DPS_TALK_CH_DATA *pTalk = &p->tTalkCh[iSlot];
            if (pTalk->iChState != VXQ_DPS_TALK_IDLE && pTalk->dwTalkPortId == inout_pConn->dwPortId) {
                VXQ_F_DPS_MC_SentProEvent_EVENT_E2_TALK_STOP(p, 0, pTalk->iTalkChNo);
                memset(pTalk, 0, sizeof(*pTalk));
            }
        }
    }
    if (inout_pConn->tAlarm.bGuard) {
        inout_pConn->tAlarm.bGuard = 0;
        if (!VXQ_F_DPS_MC_CheckClientArmState(p))
            VXQ_F_DPS_MC_SentProEvent_EVENT_E2_UNGUARD(p, 0);
    }
}

/* Once a second for each connection: a talk that waited for the host too long,
 * or whose client sent no audio for too long, is stopped and its connection
 * dropped. */
static void PR_TalkSecond(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    if (inout_pConn->iConnType != VXQ_DPS_CONN_TALK)
        return;
    int32_t iSlot = VXQ_F_DPS_MC_ChNoToSlot(p, inout_pConn->iChNo);
    if (iSlot < 0)
        return;
    _VXQ_S_DPS_TALK_CH_DATA *pTalk = &p->tTalkCh[iSlot];
    int32_t tNow = VXQ_F_CLOCK_NowSec();
    if ((pTalk->iChState == VXQ_DPS_TALK_WAIT_HOST &&
         VXQ_F_CLOCK_SecDiff(tNow, (int32_t)pTalk->dwStateTime) > VXQ_DPS_TALK_WAIT_HOST_SEC - 1) ||
        (pTalk->iChState == VXQ_DPS_TALK_TALKING && pTalk->dwLastAudioTime > 0 &&
         VXQ_F_CLOCK_SecDiff(tNow, (int32_t)pTalk->dwLastAudioTime) > VXQ_DPS_TALK_AUDIO_SILENCE_SEC - 1)) {
        VXQ_F_DPS_MC_SentProEvent_EVENT_E2_TALK_STOP(p, 0, inout_pConn->iChNo);
        VXQ_F_DPS_MC_CloseTalk(p, pTalk);
    }
}

void VXQ_F_DPS_MC_TALK_Install(_VXQ_S_DPS_HOOKS *inout_pHooks)
{
    VXQ_F_DPS_MC_Hooks_AddConnGone(inout_pHooks, PR_TalkConnGone);
    VXQ_F_DPS_MC_Hooks_AddConnSecond(inout_pHooks, PR_TalkSecond);
}
