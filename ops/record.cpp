/* Record search and download: the event bodies of the relayed requests, the
 * opens and the read, and the answers that are code; see ops/record.h. */
#include "ops/record.h"

#include "media/input.h"
#include "ops/recordkit.h"
#include "protocol/session.h"
#include "wire/head.h"
#include "wire/result.h"
#include "vxq_clock.h"
#include "vxq_log.h"

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Message offset of a body offset (the body follows the 20-byte head). */
#define PR_B(off) (20 + (off))
/* Order offset of a body offset (the body follows the 16-byte head). */
#define PR_O(off) (VXQ_DPS_APP_MSG_HEAD_LEN + (off))

/* ---- Debug blocks of the answers (written with the switch on) --------------- */

static void PR_DebugTitle(const char *in_sTitle)
{
    VXQ_F_LOG_SR_WriteLog("[DEBUG]  ========================================================", 2);
    VXQ_F_DPS_MC_DebugLine(2, "[DEBUG]  %s (response): ", in_sTitle);
}

static void PR_DebugField(const char *in_sName, long long in_llValue)
{
    VXQ_F_DPS_MC_DebugLine(2, "[DEBUG]  %s=%lld.", in_sName, in_llValue);
}

static void PR_DebugTime(const char *in_sName, const _VXQ_S_TD_DATE_TIME *in_ptTime)
{
    char sTime[VXQ_DPS_RECORD_TIME_TEXT_SIZE];
    VXQ_F_DPS_MC_DebugLine(2, "[DEBUG]  %s=%s.", in_sName, VXQ_F_DPS_MW_RecordTimeText(in_ptTime, sTime));
}

static void PR_DebugFileInfo(const _VXQ_S_DPS_FILE_INFO *in_ptInfo)
{
    VXQ_F_DPS_MC_DebugLine(2, "[DEBUG]  o_tFileInfo.sFileFlag=%.128s.", in_ptInfo->sFileFlag);
    PR_DebugField("o_tFileInfo.iFileType", in_ptInfo->iFileType);
    PR_DebugTime("o_tFileInfo.tStartTime", &in_ptInfo->tStartTime);
    PR_DebugTime("o_tFileInfo.tEndTime", &in_ptInfo->tEndTime);
    PR_DebugField("o_tFileInfo.dwFileTimeLen", in_ptInfo->dwFileTimeLen);
    PR_DebugField("o_tFileInfo.dwFileSize", in_ptInfo->dwFileSize);
}

/* The title and the read id, with the frame rate and GOP of a PUT answer (the
 * last two words of its body). */
void VXQ_F_DPS_MW_DebugFileOp(const uint8_t *in_pOrder, int32_t, const _VXQ_S_DPS_FUNC_LINE *in_pLine)
{
    uint32_t dwFileReadId;
    int32_t iRate, iGop;
    memcpy(&dwFileReadId, in_pOrder + PR_O(0), 4);
    PR_DebugTitle(in_pLine->tRelay.sAnsOper);
    PR_DebugField("i_dwFileReadId", dwFileReadId);
    if (in_pLine->tRelay.ucAnswer != VXQ_DPS_ANSWER_PUT)
        return;
    memcpy(&iRate, in_pOrder + PR_O(in_pLine->iMinOrderBody - 8), 4);
    memcpy(&iGop, in_pOrder + PR_O(in_pLine->iMinOrderBody - 4), 4);
    PR_DebugField("o_iVideoFrameRate", iRate);
    PR_DebugField("o_iVideoGop", iGop);
}

/* ---- Record search ---------------------------------------------------------- */

int32_t VXQ_F_DPS_MW_BodyQueryFile(_VXQ_S_DPS_MCSRV_DATA *p, const _VXQ_S_DPS_NET_PORT_DATA *,
                                   const uint8_t *in_pMsg, int32_t, uint8_t *out_pBody)
{
    _VXQ_S_DPS_E2_FILE_QUERY tBody;
    char sStart[VXQ_DPS_RECORD_TIME_TEXT_SIZE], sEnd[VXQ_DPS_RECORD_TIME_TEXT_SIZE];
    memset(&tBody, 0, sizeof(tBody));
    tBody.i_iChNo = (int32_t)VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_B(4));
    tBody.i_iFileType = (int32_t)VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_B(8));
    tBody.i_iCreateMode = (int32_t)VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_B(12));
    tBody.i_iAlarmEvent = (int32_t)VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_B(16));
    VXQ_F_DPS_MW_RecordGetTime(in_pMsg + PR_B(20), &tBody.i_tStartTime);
    VXQ_F_DPS_MW_RecordGetTime(in_pMsg + PR_B(32), &tBody.i_tEndTime);
    VXQ_DPS_DEBUG(
        p->bDebugLog, 2,
        "[DEBUG]  Query file (request): i_iChNo=%d, i_iFileType=%d, i_iCreateMode=%d, i_iAlarmEvent=%d, "
        "i_tStartTime=%s, i_tEndTime=%s.",
        (int)tBody.i_iChNo, (int)tBody.i_iFileType, (int)tBody.i_iCreateMode, (int)tBody.i_iAlarmEvent,
        VXQ_F_DPS_MW_RecordTimeText(&tBody.i_tStartTime, sStart),
        VXQ_F_DPS_MW_RecordTimeText(&tBody.i_tEndTime, sEnd));
    memcpy(out_pBody, &tBody, sizeof(tBody));
    return (int32_t)sizeof(tBody);
}

/* The search fields shared by the extended query and the open by time (body
 * offsets 4 to 63 of both requests) in host order; the event bodies of both
 * share this layout up to their answer fields. */
static void PR_GetSearchByTime(const uint8_t *in_pMsg, _VXQ_S_DPS_E2_NSP_FILE_QUERY *out_pBody)
{
    memset(out_pBody, 0, sizeof(*out_pBody));
    out_pBody->i_iChNo = (int32_t)VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_B(4));
    out_pBody->i_iStreamNo = (int32_t)VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_B(8));
    out_pBody->i_iFileType = (int32_t)VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_B(12));
    out_pBody->i_iCreateMode = (int32_t)VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_B(16));
    out_pBody->i_iAlarmEventNum = VXQ_F_DPS_MW_RecordGetAlarmTable(
        in_pMsg + PR_B(20), (int32_t)VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_B(36)),
        out_pBody->i_ucAlarmEventTable);
    VXQ_F_DPS_MW_RecordGetTime(in_pMsg + PR_B(40), &out_pBody->i_tStartTime);
    VXQ_F_DPS_MW_RecordGetTime(in_pMsg + PR_B(52), &out_pBody->i_tEndTime);
}

static_assert(offsetof(_VXQ_S_DPS_E2_NSP_FILE_QUERY, o_iFileNum) ==
                      offsetof(_VXQ_S_DPS_E2_FILE_OPEN_BY_TIME, o_dwFileReadId) &&
                  offsetof(_VXQ_S_DPS_E2_NSP_FILE_QUERY, i_tEndTime) ==
                      offsetof(_VXQ_S_DPS_E2_FILE_OPEN_BY_TIME, i_tEndTime),
              "the searches by time share their request fields");

/* The "[DEBUG]" request line of a search by time (in_sWhat: "Query nsp file"
 * or "Open the file by time"). */
static void PR_DebugSearchByTime(const _VXQ_S_DPS_E2_NSP_FILE_QUERY *in_pBody, const char *in_sWhat)
{
    char sStart[VXQ_DPS_RECORD_TIME_TEXT_SIZE], sEnd[VXQ_DPS_RECORD_TIME_TEXT_SIZE];
    VXQ_F_DPS_MC_DebugLine(
        2,
        "[DEBUG]  %s (request): i_iChNo=%d, i_iStreamNo=%d, i_iFileType=%d, i_iCreateMode=%d, "
        "i_iAlarmEventNum=%d, i_tStartTime=%s, i_tEndTime=%s.",
        in_sWhat, (int)in_pBody->i_iChNo, (int)in_pBody->i_iStreamNo, (int)in_pBody->i_iFileType,
        (int)in_pBody->i_iCreateMode, (int)in_pBody->i_iAlarmEventNum,
        VXQ_F_DPS_MW_RecordTimeText(&in_pBody->i_tStartTime, sStart),
        VXQ_F_DPS_MW_RecordTimeText(&in_pBody->i_tEndTime, sEnd));
}

int32_t VXQ_F_DPS_MW_BodyNspQueryFile(_VXQ_S_DPS_MCSRV_DATA *p, const _VXQ_S_DPS_NET_PORT_DATA *,
                                      const uint8_t *in_pMsg, int32_t, uint8_t *out_pBody)
{
    _VXQ_S_DPS_E2_NSP_FILE_QUERY tBody;
    PR_GetSearchByTime(in_pMsg, &tBody);
    if (p->bDebugLog)
        PR_DebugSearchByTime(&tBody, "Query nsp file");
    memcpy(out_pBody, &tBody, sizeof(tBody));
    return (int32_t)sizeof(tBody);
}

static void PR_DumpQuery(const _VXQ_S_DPS_E2_NSP_FILE_QUERY *in_pNsp,
                         const _VXQ_S_DPS_E2_FILE_QUERY *in_pPlain)
{
    if (in_pPlain != NULL) {
        PR_DebugTitle("Query file");
        PR_DebugField("i_iChNo", in_pPlain->i_iChNo);
        PR_DebugField("i_iFileType", in_pPlain->i_iFileType);
        PR_DebugField("i_iCreateMode", in_pPlain->i_iCreateMode);
        PR_DebugField("i_iAlarmEvent", in_pPlain->i_iAlarmEvent);
        PR_DebugTime("i_tStartTime", &in_pPlain->i_tStartTime);
        PR_DebugTime("i_tEndTime", &in_pPlain->i_tEndTime);
        PR_DebugField("o_iFileNum", in_pPlain->o_iFileNum);
        return;
    }
    PR_DebugTitle("Query nsp file");
    PR_DebugField("i_iChNo", in_pNsp->i_iChNo);
    PR_DebugField("i_iStreamNo", in_pNsp->i_iStreamNo);
    PR_DebugField("i_iFileType", in_pNsp->i_iFileType);
    PR_DebugField("i_iCreateMode", in_pNsp->i_iCreateMode);
    PR_DebugField("i_iAlarmEventNum", in_pNsp->i_iAlarmEventNum);
    PR_DebugTime("i_tStartTime", &in_pNsp->i_tStartTime);
    PR_DebugTime("i_tEndTime", &in_pNsp->i_tEndTime);
    PR_DebugField("o_iFileNum", in_pNsp->o_iFileNum);
}

/* The answer of either query: the saved request grows by the host's records,
 * each converted to wire order by in_fnPut. A count that does not match the
 * appended bytes (computed in 64 bits), or a negative one, sends nothing. */
static int PR_AnswerQuery(_VXQ_S_DPS_MCSRV_DATA *p, uint8_t *inout_pOrder, int32_t in_iLength,
                          uint16_t in_usFuncId, int32_t in_iRecordLen,
                          void (*in_fnPut)(uint8_t *, const uint8_t *))
{
    const _VXQ_S_DPS_FUNC_LINE *pLine = VXQ_F_DPS_MC_FindFuncLine(p, in_usFuncId);
    const int32_t iBodyLen = pLine->iMinOrderBody, iRequLen = pLine->iMinMsgLen;
    _VXQ_S_DPS_NET_PORT_DATA *pConn;
    uint32_t dwTransId = VXQ_F_DPS_MW_AnswerBegin(p, inout_pOrder, pLine);
    if (dwTransId == 0)
        return 0;
    if (p->bDebugLog && in_usFuncId == P3_QUERY_FILE) {
        _VXQ_S_DPS_E2_FILE_QUERY tPlain;
        memcpy(&tPlain, inout_pOrder + PR_O(0), sizeof(tPlain));
        PR_DumpQuery(NULL, &tPlain);
    } else if (p->bDebugLog) {
        _VXQ_S_DPS_E2_NSP_FILE_QUERY tNsp;
        memcpy(&tNsp, inout_pOrder + PR_O(0), sizeof(tNsp));
        PR_DumpQuery(&tNsp, NULL);
    }
    int32_t iFileNum;
    int64_t llAppendLen = (int64_t)in_iLength - VXQ_DPS_APP_MSG_HEAD_LEN - iBodyLen;
    uint8_t ucResult = inout_pOrder[5];
    memcpy(&iFileNum, inout_pOrder + PR_O(iBodyLen - 4), 4);
    _VXQ_S_DPS_TRANS_DATA *pTrans = VXQ_F_DPS_MW_FindTarget(p, dwTransId, pLine, &pConn);
    if (pTrans == NULL)
        return 0;
    if (ucResult != VXQ_DPS_UMSP_RESULT_SUCCESS || llAppendLen < 0) {
        llAppendLen = 0;
        iFileNum = 0;
    } else if (iFileNum < 0 || (int64_t)iFileNum * in_iRecordLen != llAppendLen ||
               llAppendLen > INT32_MAX - iRequLen) {
        VXQ_F_DPS_MW_LogStep(pLine->sAnsName, iFileNum < 0 ? "o_iFileNum error." : "iFileInfoDataLen error.");
        VXQ_F_DPS_MC_Trans_DeleteTransData(p, pTrans);
        return 0;
    }
    int32_t iTotal = iRequLen + (int32_t)llAppendLen;
    uint8_t *pAnswer = (uint8_t *)malloc((size_t)iTotal);
    if (pAnswer == NULL) {
        VXQ_F_DPS_MW_LogStep(pLine->sAnsName, "malloc fail.");
        VXQ_F_DPS_MC_Trans_DeleteTransData(p, pTrans);
        return 0;
    }
    memcpy(pAnswer, pTrans->pRequDataBuf, (size_t)iRequLen);
    VXQ_F_DPS_MW_PutLe32(pAnswer + VXQ_DPS_UMSP_OFF_PACKET_SIZE, (uint32_t)iTotal);
    VXQ_F_DPS_MW_HeadMakeAnswer(pAnswer, ucResult);
    VXQ_F_DPS_MW_PutLe32(pAnswer + iRequLen - 4, (uint32_t)iFileNum);
    for (int32_t i = 0; i < iFileNum; i++)
        in_fnPut(pAnswer + iRequLen + (size_t)i * in_iRecordLen,
                 inout_pOrder + PR_O(iBodyLen) + (size_t)i * in_iRecordLen);
    int iRet = VXQ_F_DPS_MW_AnswerAndEnd(p, pConn, pTrans, pAnswer, iTotal, pLine);
    free(pAnswer);
    return iRet;
}

int VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_QUERY(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                             int32_t in_iLength)
{
    return PR_AnswerQuery(inout_pMcSrvData, inout_pOrder, in_iLength, P3_QUERY_FILE,
                          (int32_t)sizeof(_VXQ_S_DPS_FILE_INFO), VXQ_F_DPS_MW_RecordPutFileInfo);
}

int VXQ_F_DPS_MW_DoOrder_EVENT_E2_NSP_FILE_QUERY(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 uint8_t *inout_pOrder, int32_t in_iLength)
{
    return PR_AnswerQuery(inout_pMcSrvData, inout_pOrder, in_iLength, P3_NSP_QUERY_FILE,
                          VXQ_DPS_NSP_FILE_INFO_LEN, VXQ_F_DPS_MW_RecordPutNspFileInfo);
}

/* ---- Opening a file for download --------------------------------------------- */

/* The admission of both opens: a known login id (whose command connection
 * this one now works for), the download right, and room in the media budget
 * for one more replay client. 1 when the open may go on. */
static int PR_CheckOpen(_VXQ_S_DPS_MCSRV_DATA *p, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                        int32_t in_iLength, int in_bByTime, const char *in_sName)
{
    _VXQ_S_DPS_NET_PORT_DATA *pLogin =
        VXQ_F_DPS_MC_NetPortData_QueryByLoginId(p, VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_B(0)));
    if (pLogin == NULL)
        return VXQ_F_DPS_MW_Refuse(p, inout_pConn, inout_pMsg, in_iLength, VXQ_DPS_UMSP_RESULT_NOT_LOGGED_IN,
                                   "Receiving network data: Start download file fail, cause: no login.", NULL,
                                   in_sName);
    inout_pConn->dwLoginPortId = pLogin->dwPortId;
    if (!VXQ_F_DPS_MC_APUP_PopCheck(p, pLogin, -1, VXQ_DPS_POP_RECORD_DOWNLOAD))
        return VXQ_F_DPS_MW_Refuse(
            p, inout_pConn, inout_pMsg, in_iLength, VXQ_DPS_UMSP_RESULT_NO_PERMISSION,
            "Receiving network data: Start download file fail, cause: without permission.", NULL, in_sName);
    if (in_bByTime && p->tDevCapInfo.iDevCapValue5 == 0)
        return VXQ_F_DPS_MW_Refuse(p, inout_pConn, inout_pMsg, in_iLength, VXQ_DPS_UMSP_RESULT_NOT_SUPPORTED,
                                   "Receiving network data: Start download file fail, cause: not support.",
                                   NULL, in_sName);
    if (p->bMediaResCtrl && VXQ_F_DPS_MC_GetFreeMediaResourceNum(p) - p->fReplayResourceLoss < 0.0f)
        return VXQ_F_DPS_MW_Refuse(
            p, inout_pConn, inout_pMsg, in_iLength, VXQ_DPS_UMSP_RESULT_RESOURCE_LIMIT,
            "Receiving network data: Start download file fail, cause: Exceed media resource maximum limit.",
            NULL, in_sName);
    return 1;
}

int VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_OPEN(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                           _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                           int32_t in_iLength)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    const _VXQ_S_DPS_FUNC_LINE *pLine = VXQ_F_DPS_MC_FindFuncLine(p, P3_DOWNLOAD_OPEN);
    _VXQ_S_DPS_E2_FILE_OPEN tBody;
    VXQ_F_LOG_SR_ShowInfo("Receiving network data: Start download file.");
    if (!PR_CheckOpen(p, inout_pConn, inout_pMsg, in_iLength, 0, __func__))
        return 0;
    _VXQ_S_DPS_TRANS_DATA *pTrans =
        VXQ_F_DPS_MW_Park(p, inout_pConn, inout_pMsg, in_iLength, pLine, __func__);
    if (pTrans == NULL)
        return 0;
    memset(&tBody, 0, sizeof(tBody));
    memcpy(tBody.i_sFileFlag, inout_pMsg + PR_B(4), sizeof(tBody.i_sFileFlag) - 1);
    tBody.i_dwStartOffsetDataPos = VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_B(132));
    tBody.i_dwStartOffsetTimePos = VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_B(136));
    VXQ_DPS_DEBUG(p->bDebugLog, 2,
                  "[DEBUG]  Open the file (request): i_sFileFlag=%s, i_dwStartOffsetDataPos=%u, "
                  "i_dwStartOffsetTimePos=%u.",
                  tBody.i_sFileFlag, (unsigned)tBody.i_dwStartOffsetDataPos,
                  (unsigned)tBody.i_dwStartOffsetTimePos);
    return VXQ_F_DPS_MW_Raise(p, inout_pConn, inout_pMsg, in_iLength, pLine, pTrans, &tBody,
                              (int32_t)sizeof(tBody), __func__);
}

int VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_OPEN_BY_TIME(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                   _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                                   int32_t in_iLength)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    const _VXQ_S_DPS_FUNC_LINE *pLine = VXQ_F_DPS_MC_FindFuncLine(p, P3_DOWNLOAD_OPEN_BY_TIME);
    _VXQ_S_DPS_E2_FILE_OPEN_BY_TIME tBody;
    _VXQ_S_DPS_E2_NSP_FILE_QUERY tSearch;
    VXQ_F_LOG_SR_ShowInfo("Receiving network data: Start download file.");
    if (!PR_CheckOpen(p, inout_pConn, inout_pMsg, in_iLength, 1, __func__))
        return 0;
    _VXQ_S_DPS_TRANS_DATA *pTrans =
        VXQ_F_DPS_MW_Park(p, inout_pConn, inout_pMsg, in_iLength, pLine, __func__);
    if (pTrans == NULL)
        return 0;
    PR_GetSearchByTime(inout_pMsg, &tSearch);
    memset(&tBody, 0, sizeof(tBody));
    memcpy(&tBody, &tSearch, offsetof(_VXQ_S_DPS_E2_FILE_OPEN_BY_TIME, o_dwFileReadId));
    if (p->bDebugLog)
        PR_DebugSearchByTime(&tSearch, "Open the file by time");
    return VXQ_F_DPS_MW_Raise(p, inout_pConn, inout_pMsg, in_iLength, pLine, pTrans, &tBody,
                              (int32_t)sizeof(tBody), __func__);
}

/* The answer of either open, after its debug block. On success the asking
 * connection becomes a download connection of the file: it carries the read
 * id, the login id it was opened under (so the command connection's release
 * takes it along) and its open time (so a lowered media budget finds it). The
 * saved request gets the result, the read id and the file record (order body
 * offset in_iInfoOff) at in_iIdOff / in_iIdOff + 4. */
static int PR_AnswerOpen(_VXQ_S_DPS_MCSRV_DATA *p, uint8_t *inout_pOrder,
                         const _VXQ_S_DPS_FUNC_LINE *in_pLine, uint32_t in_dwTransId, int32_t in_iIdOff,
                         uint32_t in_dwFileReadId, int32_t in_iInfoOff)
{
    _VXQ_S_DPS_NET_PORT_DATA *pConn;
    _VXQ_S_DPS_TRANS_DATA *pTrans = VXQ_F_DPS_MW_FindTarget(p, in_dwTransId, in_pLine, &pConn);
    if (pTrans == NULL)
        return 0;
    uint8_t *pAnswer = (uint8_t *)pTrans->pRequDataBuf;
    if (inout_pOrder[5] == VXQ_DPS_UMSP_RESULT_SUCCESS &&
        VXQ_F_DPS_MC_NetPortData_QueryByLoginId(p, VXQ_F_DPS_MW_GetLe32(pAnswer + PR_B(0))) == NULL) {
        /* The login ended while the host opened the file: nobody may use it, so
         * the host is told to close it and the client gets "not logged in". */
        inout_pOrder[5] = VXQ_DPS_UMSP_RESULT_NOT_LOGGED_IN;
        if (!VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_CLOSE(p, 0, in_dwFileReadId))
            VXQ_F_DPS_MW_LogStep(in_pLine->sAnsName, "VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_CLOSE fail.");
    }
    if (inout_pOrder[5] == VXQ_DPS_UMSP_RESULT_SUCCESS) {
        /* A connection carries one open file: one opened before on it is closed,
         * as its disconnect would have closed it. */
        if (pConn->tDown.dwFileId != 0 && pConn->tDown.dwFileId != in_dwFileReadId &&
            !VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_CLOSE(p, 0, pConn->tDown.dwFileId))
            VXQ_F_DPS_MW_LogStep(in_pLine->sAnsName, "VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_CLOSE fail.");
        pConn->iConnType = VXQ_DPS_CONN_DOWN;
        pConn->tDown.dwFileId = in_dwFileReadId;
        pConn->dwLoginId = VXQ_F_DPS_MW_GetLe32(pAnswer + PR_B(0));
        pConn->tOpenTime = VXQ_F_CLOCK_NowSec();
    }
    VXQ_F_DPS_MW_HeadMakeAnswer(pAnswer, inout_pOrder[5]);
    VXQ_F_DPS_MW_PutLe32(pAnswer + PR_B(in_iIdOff), in_dwFileReadId);
    VXQ_F_DPS_MW_RecordPutFileInfo(pAnswer + PR_B(in_iIdOff + 4), inout_pOrder + PR_O(in_iInfoOff));
    return VXQ_F_DPS_MW_AnswerAndEnd(p, pConn, pTrans, pAnswer, pTrans->iRequDataLen, in_pLine);
}

int VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_OPEN(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                            int32_t)
{
    const _VXQ_S_DPS_FUNC_LINE *pLine = VXQ_F_DPS_MC_FindFuncLine(inout_pMcSrvData, P3_DOWNLOAD_OPEN);
    _VXQ_S_DPS_E2_FILE_OPEN tBody;
    uint32_t dwTransId = VXQ_F_DPS_MW_AnswerBegin(inout_pMcSrvData, inout_pOrder, pLine);
    if (dwTransId == 0)
        return 0;
    memcpy(&tBody, inout_pOrder + PR_O(0), sizeof(tBody));
    if (inout_pMcSrvData->bDebugLog) {
        PR_DebugTitle("Open the file");
        PR_DebugField("i_dwStartOffsetDataPos", tBody.i_dwStartOffsetDataPos);
        PR_DebugField("i_dwStartOffsetTimePos", tBody.i_dwStartOffsetTimePos);
        PR_DebugField("o_dwFileReadId", tBody.o_dwFileReadId);
        PR_DebugFileInfo(&tBody.o_tFileInfo);
    }
    return PR_AnswerOpen(inout_pMcSrvData, inout_pOrder, pLine, dwTransId, 140, tBody.o_dwFileReadId,
                         (int32_t)offsetof(_VXQ_S_DPS_E2_FILE_OPEN, o_tFileInfo));
}

int VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_OPEN_BY_TIME(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                    uint8_t *inout_pOrder, int32_t)
{
    const _VXQ_S_DPS_FUNC_LINE *pLine = VXQ_F_DPS_MC_FindFuncLine(inout_pMcSrvData, P3_DOWNLOAD_OPEN_BY_TIME);
    _VXQ_S_DPS_E2_FILE_OPEN_BY_TIME tBody;
    uint32_t dwTransId = VXQ_F_DPS_MW_AnswerBegin(inout_pMcSrvData, inout_pOrder, pLine);
    if (dwTransId == 0)
        return 0;
    memcpy(&tBody, inout_pOrder + PR_O(0), sizeof(tBody));
    if (inout_pMcSrvData->bDebugLog) {
        PR_DebugTitle("Open the file");
        PR_DebugField("i_iChNo", tBody.i_iChNo);
        PR_DebugField("i_iStreamNo", tBody.i_iStreamNo);
        PR_DebugField("o_dwFileReadId", tBody.o_dwFileReadId);
        PR_DebugFileInfo(&tBody.o_tFileInfo);
    }
    return PR_AnswerOpen(inout_pMcSrvData, inout_pOrder, pLine, dwTransId, 64, tBody.o_dwFileReadId,
                         (int32_t)offsetof(_VXQ_S_DPS_E2_FILE_OPEN_BY_TIME, o_tFileInfo));
}

/* ---- Operations on an open file ---------------------------------------------- */

/* A body of in_iSize bytes that starts with the read id (body 4), and its
 * "[DEBUG]" request line. */
static int32_t PR_FileIdBody(_VXQ_S_DPS_MCSRV_DATA *p, uint32_t in_dwFileReadId, const char *in_sTitle,
                             uint8_t *out_pBody, int32_t in_iSize)
{
    memset(out_pBody, 0, (size_t)in_iSize);
    memcpy(out_pBody, &in_dwFileReadId, 4);
    VXQ_DPS_DEBUG(p->bDebugLog, 2, "[DEBUG]  %s (request): i_dwFileReadId=%u.", in_sTitle,
                  (unsigned)in_dwFileReadId);
    return in_iSize;
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_CLOSE(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                  uint32_t in_dwTransId, uint32_t in_dwFileId)
{
    uint8_t ucBody[sizeof(_VXQ_S_DPS_E2_FILE_ID)];
    if (inout_pMcSrvData == NULL)
        return 0;
    int32_t iLen =
        PR_FileIdBody(inout_pMcSrvData, in_dwFileId, "Close the file", ucBody, (int32_t)sizeof(ucBody));
    return VXQ_F_DPS_MC_SentProEventBody(inout_pMcSrvData, EVENT_E2_FILE_CLOSE, in_dwTransId, ucBody, iLen);
}

/* Closing a file is only relayed: the connection keeps its type and read id until it closes. */
int32_t VXQ_F_DPS_MW_BodyFileClose(_VXQ_S_DPS_MCSRV_DATA *p, const _VXQ_S_DPS_NET_PORT_DATA *,
                                   const uint8_t *in_pMsg, int32_t, uint8_t *out_pBody)
{
    return PR_FileIdBody(p, VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_B(4)), "Close the file", out_pBody,
                         (int32_t)sizeof(_VXQ_S_DPS_E2_FILE_ID));
}

int32_t VXQ_F_DPS_MW_BodyFileRecover(_VXQ_S_DPS_MCSRV_DATA *p, const _VXQ_S_DPS_NET_PORT_DATA *,
                                     const uint8_t *in_pMsg, int32_t, uint8_t *out_pBody)
{
    return PR_FileIdBody(p, VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_B(4)), "File recover all frame", out_pBody,
                         (int32_t)sizeof(_VXQ_S_DPS_E2_FILE_ID));
}

int32_t VXQ_F_DPS_MW_BodyFileQVideo(_VXQ_S_DPS_MCSRV_DATA *p, const _VXQ_S_DPS_NET_PORT_DATA *,
                                    const uint8_t *in_pMsg, int32_t, uint8_t *out_pBody)
{
    return PR_FileIdBody(p, VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_B(4)), "Query file video param", out_pBody,
                         (int32_t)sizeof(_VXQ_S_DPS_E2_FILE_QVIDEO));
}

int32_t VXQ_F_DPS_MW_BodyFileSeek(_VXQ_S_DPS_MCSRV_DATA *p, const _VXQ_S_DPS_NET_PORT_DATA *,
                                  const uint8_t *in_pMsg, int32_t, uint8_t *out_pBody)
{
    _VXQ_S_DPS_E2_FILE_SEEK tBody;
    tBody.i_dwFileReadId = VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_B(4));
    tBody.i_dwOffsetTimePos = VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_B(8));
    VXQ_DPS_DEBUG(p->bDebugLog, 2, "[DEBUG]  Seek file (request): i_dwFileReadId=%u, i_dwOffsetTimePos=%u.",
                  (unsigned)tBody.i_dwFileReadId, (unsigned)tBody.i_dwOffsetTimePos);
    memcpy(out_pBody, &tBody, sizeof(tBody));
    return (int32_t)sizeof(tBody);
}

int32_t VXQ_F_DPS_MW_BodyFileOnlyIFrame(_VXQ_S_DPS_MCSRV_DATA *p, const _VXQ_S_DPS_NET_PORT_DATA *,
                                        const uint8_t *in_pMsg, int32_t, uint8_t *out_pBody)
{
    _VXQ_S_DPS_E2_FILE_ONLY_IFRAME tBody;
    memset(&tBody, 0, sizeof(tBody));
    tBody.i_dwFileReadId = VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_B(4));
    tBody.i_iDiscardIFrame = (int32_t)VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_B(8));
    VXQ_DPS_DEBUG(p->bDebugLog, 2,
                  "[DEBUG]  File only i frame (request): i_dwFileReadId=%u, i_iDiscardIFrame=%d.",
                  (unsigned)tBody.i_dwFileReadId, (int)tBody.i_iDiscardIFrame);
    memcpy(out_pBody, &tBody, sizeof(tBody));
    return (int32_t)sizeof(tBody);
}

/* ---- Reading a file ---------------------------------------------------------- */

int VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_GET(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                          _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                          int32_t in_iLength)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    const _VXQ_S_DPS_FUNC_LINE *pLine = VXQ_F_DPS_MC_FindFuncLine(p, P3_DOWNLOAD_GET);
    _VXQ_S_DPS_E2_FILE_READ tBody;
    if (p->bShowRunState)
        VXQ_F_LOG_SR_ShowInfo("Receiving network data: Get file data.");
    uint8_t ucResult = VXQ_F_DPS_MW_CheckRules(p, inout_pConn, inout_pMsg, in_iLength, pLine);
    if (ucResult != 0)
        return VXQ_F_DPS_MW_Refuse(p, inout_pConn, inout_pMsg, in_iLength, ucResult, NULL, NULL, __func__);
    /* Back-pressure: while the send queues hold more than the media budget the
     * read is dropped unanswered and without an event; the client asks again. */
    p->iNetSendTotalLen = VXQ_F_DPS_MC_StatNetSendQueueTotalLen(p);
    if (p->iNetSendTotalLen > p->iMediaDataBufSize)
        return 1;
    _VXQ_S_DPS_TRANS_DATA *pTrans =
        VXQ_F_DPS_MW_Park(p, inout_pConn, inout_pMsg, in_iLength, pLine, __func__);
    if (pTrans == NULL)
        return 0;
    memset(&tBody, 0, sizeof(tBody));
    tBody.i_dwFileReadId = VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_B(4));
    tBody.i_dwRequId = VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_B(8));
    tBody.i_ucReqDataType = inout_pMsg[PR_B(12)];
    tBody.i_ucReqDataSize = inout_pMsg[PR_B(13)];
    VXQ_DPS_DEBUG(p->bDebugLog && p->bDebugMediaLog, 2,
                  "[DEBUG]  Read file data (request): i_dwFileReadId=%u, i_dwRequId=%u, i_ucReqDataType=%u, "
                  "i_ucReqDataSize=%u.",
                  (unsigned)tBody.i_dwFileReadId, (unsigned)tBody.i_dwRequId, (unsigned)tBody.i_ucReqDataType,
                  (unsigned)tBody.i_ucReqDataSize);
    return VXQ_F_DPS_MW_Raise(p, inout_pConn, inout_pMsg, in_iLength, pLine, pTrans, &tBody,
                              (int32_t)sizeof(tBody), __func__);
}

/* One order of a read: the saved 64-byte request with the read result and the
 * data appended goes out as file data (class 12). Several orders may answer
 * one read; the transaction ends with the first order whose data-end value is
 * nonzero (or the 120 s clean-up). The data length sent is the length
 * actually appended, whatever o_dwDataLen claims. */
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_READ(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                            int32_t in_iLength)
{
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    const _VXQ_S_DPS_FUNC_LINE *pLine = VXQ_F_DPS_MC_FindFuncLine(p, P3_DOWNLOAD_GET);
    _VXQ_S_DPS_E2_FILE_READ tBody;
    _VXQ_S_DPS_NET_PORT_DATA *pConn;
    char sText[VXQ_DPS_RESULT_TEXT_SIZE];
    VXQ_F_DPS_MW_TransErrorCodeToUmspResult(inout_pOrder[5], &inout_pOrder[5], sText);
    memcpy(&tBody, inout_pOrder + PR_O(0), sizeof(tBody));
    uint8_t ucDataEnd = VXQ_DPS_FILE_READ_DATA_END(tBody.o_ucFrameTypeAndDataEnd);
    int32_t iDataLen = in_iLength - PR_O((int32_t)sizeof(tBody));
    if (p->bDebugLog && p->bDebugMediaLog) {
        PR_DebugTitle("Read file data");
        PR_DebugField("i_dwFileReadId", tBody.i_dwFileReadId);
        PR_DebugField("i_dwRequId", tBody.i_dwRequId);
        PR_DebugField("o_ucRetDataType", tBody.o_ucRetDataType);
        PR_DebugField("o_ucFrameType", VXQ_DPS_FILE_READ_FRAME_TYPE(tBody.o_ucFrameTypeAndDataEnd));
        PR_DebugField("o_ucIfDataEnd", ucDataEnd);
        PR_DebugField("o_dwOffsetDataPos", tBody.o_dwOffsetDataPos);
        PR_DebugField("o_dwOffsetTimePos", tBody.o_dwOffsetTimePos);
        PR_DebugField("o_dwDataLen", iDataLen);
    }
    if (VXQ_F_DPS_MC_MsgHead_TransId(inout_pOrder) == 0)
        return 0;
    _VXQ_S_DPS_TRANS_DATA *pTrans = VXQ_F_DPS_MW_FindTargetEx(p, VXQ_F_DPS_MC_MsgHead_TransId(inout_pOrder),
                                                              pLine, ucDataEnd != 0, &pConn);
    if (pTrans == NULL)
        return 0;
    int32_t iTotal = pLine->iMinMsgLen + iDataLen;
    uint8_t *pAnswer = (uint8_t *)malloc((size_t)iTotal);
    if (pAnswer == NULL) {
        VXQ_F_DPS_MW_LogStep(pLine->sAnsName, "malloc fail.");
        if (ucDataEnd != 0)
            VXQ_F_DPS_MC_Trans_DeleteTransData(p, pTrans);
        return 0;
    }
    memcpy(pAnswer, pTrans->pRequDataBuf, (size_t)pLine->iMinMsgLen);
    VXQ_F_DPS_MW_PutLe32(pAnswer + VXQ_DPS_UMSP_OFF_PACKET_SIZE, (uint32_t)iTotal);
    VXQ_F_DPS_MW_HeadMakeAnswer(pAnswer, inout_pOrder[5]);
    pAnswer[PR_B(14)] = tBody.o_ucRetDataType;
    pAnswer[PR_B(15)] = (uint8_t)((pAnswer[PR_B(15)] & 0xC0u) | (tBody.o_ucFrameTypeAndDataEnd & 0x3Fu));
    pAnswer[PR_B(16)] = tBody.o_ucMediaCodecId;
    pAnswer[PR_B(17)] = tBody.o_ucVideoFrameRate;
    VXQ_F_DPS_MW_PutLe32(pAnswer + PR_B(20), tBody.o_dwOffsetDataPos);
    VXQ_F_DPS_MW_PutLe32(pAnswer + PR_B(24), tBody.o_dwOffsetTimePos);
    VXQ_F_DPS_MW_RecordPutTime(pAnswer + PR_B(28), &tBody.o_tDataTime);
    VXQ_F_DPS_MW_PutLe32(pAnswer + PR_B(40), (uint32_t)iDataLen);
    memcpy(pAnswer + pLine->iMinMsgLen, inout_pOrder + PR_O((int32_t)sizeof(tBody)), (size_t)iDataLen);
    if (ucDataEnd == 1 && p->bShowRunState)
        VXQ_F_LOG_SR_ShowInfo("A request to read the end.");
    int iRet = VXQ_F_DPS_MC_SentNetData(p, pConn, pAnswer, iTotal, VXQ_DPS_SEND_CLASS_FILE);
    if (!iRet)
        VXQ_F_DPS_MW_LogStep(pLine->sAnsName, "VXQ_F_DPS_MC_SentNetData fail.");
    free(pAnswer);
    if (ucDataEnd != 0)
        VXQ_F_DPS_MC_Trans_DeleteTransData(p, pTrans);
    return iRet;
}

/* Connection released: a download connection's open file is closed at the host. */
static void PR_RecordConnGone(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn)
{
    if (inout_pConn->iConnType != VXQ_DPS_CONN_DOWN || inout_pConn->tDown.dwFileId == 0)
        return;
    if (VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_CLOSE(inout_pMcSrvData, 0, inout_pConn->tDown.dwFileId))
        VXQ_F_LOG_SR_ShowInfo("Close the file: request message.");
    else
        VXQ_F_LOG_SR_WriteLog(
            "VXQ_F_DPS_MC_DoNetDisconnetEvent VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_CLOSE fail.", 2);
    inout_pConn->tDown.dwFileId = 0;
}

void VXQ_F_DPS_MC_RECORD_Install(_VXQ_S_DPS_HOOKS *inout_pHooks)
{
    VXQ_F_DPS_MC_Hooks_AddConnGone(inout_pHooks, PR_RecordConnGone);
}
