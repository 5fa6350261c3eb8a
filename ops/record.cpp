/* Record search and download: each request handler next to the handler of
 * the host's answer (the event builders are in ops/recordevent.cpp); see
 * ops/record.h for the contract. */
#include "ops/record.h"

#include "core/channel.h"
#include "media/input.h"
#include "ops/recordkit.h"
#include "protocol/dispatch.h"
#include "protocol/session.h"
#include "wire/head.h"
#include "wire/result.h"
#include "vxq_clock.h"
#include "vxq_log.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Message offset of a body offset (the body follows the 20-byte head). */
#define PR_B(off) (20 + (off))
/* Order offset of a body offset (the body follows the 16-byte head). */
#define PR_O(off) (VXQ_DPS_APP_MSG_HEAD_LEN + (off))

/* ---- Record search ---------------------------------------------------------- */

/* The search checks shared by both queries: exact length, a logged-in
 * connection, a known login id and the search right on the channel (on every
 * channel of the device for -1). 1 when the request may go on. */
static int PR_CheckQuery(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                         uint8_t *inout_pMsg, int32_t in_iLength, int32_t in_iNeedLen, const char *in_sOper,
                         const char *in_sHandler)
{
    char sText[160];
    _VXQ_S_DPS_NET_PORT_DATA *pLogin;
    int32_t iChNo;
    if (!VXQ_F_DPS_MW_PR_RecCheckLen(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, in_iNeedLen, 1,
                                     in_sHandler))
        return 0;
    if (inout_pConn->dwLoginId == 0) {
        snprintf(sText, sizeof(sText), "%s dwLoginId error.", in_sHandler);
        return VXQ_F_DPS_MW_PR_RecRefuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                                         VXQ_DPS_UMSP_RESULT_NOT_LOGGED_IN, NULL, sText, in_sHandler);
    }
    pLogin =
        VXQ_F_DPS_MC_NetPortData_QueryByLoginId(inout_pMcSrvData, VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_B(0)));
    if (pLogin == NULL) {
        snprintf(sText, sizeof(sText), "Receiving network data: %s fail, cause: no login.", in_sOper);
        return VXQ_F_DPS_MW_PR_RecRefuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                                         VXQ_DPS_UMSP_RESULT_NOT_LOGGED_IN, sText, NULL, in_sHandler);
    }
    iChNo = (int32_t)VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_B(4));
    int bGranted = 1;
    if (iChNo == -1) {
        for (int32_t i = 0; i < inout_pMcSrvData->tDevCapInfo.iVideoChanNum && bGranted; i++)
            bGranted = VXQ_F_DPS_MC_APUP_PopCheck(inout_pMcSrvData, pLogin, i, VXQ_DPS_POP_RECORD_SEARCH);
    } else {
        bGranted = VXQ_F_DPS_MC_APUP_PopCheck(inout_pMcSrvData, pLogin, iChNo, VXQ_DPS_POP_RECORD_SEARCH);
    }
    if (!bGranted) {
        snprintf(sText, sizeof(sText), "Receiving network data: %s fail, cause: without permission.",
                 in_sOper);
        return VXQ_F_DPS_MW_PR_RecRefuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                                         VXQ_DPS_UMSP_RESULT_NO_PERMISSION, sText, NULL, in_sHandler);
    }
    return 1;
}

int VXQ_F_DPS_MW_DoNetMsg_P3_QUERY_FILE(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                        _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                        int32_t in_iLength)
{
    static const char sHandler[] = "VXQ_F_DPS_MW_DoNetMsg_P3_QUERY_FILE";
    _VXQ_S_DPS_E2_FILE_QUERY tBody;
    _VXQ_S_DPS_TRANS_DATA *pTrans;
    VXQ_F_DPS_MW_PR_RecBegin(inout_pMsg, "Receiving network data: Query file.");
    if (!PR_CheckQuery(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, VXQ_DPS_P3_QUERY_FILE_LEN,
                       "Query file", sHandler))
        return 0;
    memset(&tBody, 0, sizeof(tBody));
    tBody.i_iChNo = (int32_t)VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_B(4));
    tBody.i_iFileType = (int32_t)VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_B(8));
    tBody.i_iCreateMode = (int32_t)VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_B(12));
    tBody.i_iAlarmEvent = (int32_t)VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_B(16));
    VXQ_F_DPS_MW_RecordGetTime(inout_pMsg + PR_B(20), &tBody.i_tStartTime);
    VXQ_F_DPS_MW_RecordGetTime(inout_pMsg + PR_B(32), &tBody.i_tEndTime);
    pTrans = VXQ_F_DPS_MW_PR_RecPark(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, sHandler);
    if (pTrans == NULL)
        return 0;
    if (!VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_QUERY(inout_pMcSrvData, pTrans->dwTransId, &tBody))
        return VXQ_F_DPS_MW_PR_RecUnpark(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, pTrans,
                                         sHandler, "VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_QUERY");
    return 1;
}

/* The answer of either query: the saved request (in_iRequLen bytes) grows by
 * the host's records, each converted to wire order by in_fnPut. A count that
 * does not match the appended bytes (computed in 64 bits), or a negative one,
 * sends nothing. */
static int PR_AnswerQuery(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder, int32_t in_iLength,
                          int32_t in_iBodyLen, int32_t in_iRequLen, int32_t in_iRecordLen,
                          void (*in_fnPut)(uint8_t *, const uint8_t *), const char *in_sHandler)
{
    char sText[160];
    _VXQ_S_DPS_NET_PORT_DATA *pConn;
    _VXQ_S_DPS_TRANS_DATA *pTrans;
    int32_t iFileNum;
    int64_t llAppendLen = (int64_t)in_iLength - VXQ_DPS_APP_MSG_HEAD_LEN - in_iBodyLen;
    uint8_t ucResult = inout_pOrder[5];
    memcpy(&iFileNum, inout_pOrder + PR_O(in_iBodyLen - 4), 4);
    pTrans =
        VXQ_F_DPS_MW_PR_RecFindTarget(inout_pMcSrvData, inout_pOrder, in_iRequLen, 1, in_sHandler, &pConn);
    if (pTrans == NULL)
        return 0;
    if (ucResult != VXQ_DPS_UMSP_RESULT_SUCCESS || llAppendLen < 0) {
        llAppendLen = 0;
        iFileNum = 0;
    } else if (iFileNum < 0 || (int64_t)iFileNum * in_iRecordLen != llAppendLen ||
               llAppendLen > INT32_MAX - in_iRequLen) {
        snprintf(sText, sizeof(sText), iFileNum < 0 ? "%s o_iFileNum error." : "%s iFileInfoDataLen error.",
                 in_sHandler);
        VXQ_F_LOG_SR_WriteLog(sText, 2);
        VXQ_F_DPS_MC_Trans_DeleteTransData(inout_pMcSrvData, pTrans);
        return 0;
    }
    int32_t iTotal = in_iRequLen + (int32_t)llAppendLen;
    uint8_t *pAnswer = (uint8_t *)malloc((size_t)iTotal);
    if (pAnswer == NULL) {
        VXQ_F_DPS_MW_PR_RecLogFail(in_sHandler, "malloc");
        VXQ_F_DPS_MC_Trans_DeleteTransData(inout_pMcSrvData, pTrans);
        return 0;
    }
    memcpy(pAnswer, pTrans->pRequDataBuf, (size_t)in_iRequLen);
    VXQ_F_DPS_MW_PutLe32(pAnswer + VXQ_DPS_UMSP_OFF_PACKET_SIZE, (uint32_t)iTotal);
    VXQ_F_DPS_MW_HeadMakeAnswer(pAnswer, ucResult);
    VXQ_F_DPS_MW_PutLe32(pAnswer + in_iRequLen - 4, (uint32_t)iFileNum);
    for (int32_t i = 0; i < iFileNum; i++)
        in_fnPut(pAnswer + in_iRequLen + (size_t)i * in_iRecordLen,
                 inout_pOrder + PR_O(in_iBodyLen) + (size_t)i * in_iRecordLen);
    int iRet = VXQ_F_DPS_MW_PR_RecSendAndEnd(inout_pMcSrvData, pConn, pTrans, pAnswer, iTotal, in_sHandler);
    free(pAnswer);
    return iRet;
}

int VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_QUERY(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                             int32_t in_iLength)
{
    static const char sHandler[] = "VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_QUERY";
    _VXQ_S_DPS_E2_FILE_QUERY tBody;
    if (inout_pMcSrvData == NULL || inout_pOrder == NULL || in_iLength < PR_O((int32_t)sizeof(tBody)))
        return 0;
    if (!VXQ_F_DPS_MW_PR_RecAnswerBegin(inout_pOrder, "Query file"))
        return 0;
    memcpy(&tBody, inout_pOrder + PR_O(0), sizeof(tBody));
    if (inout_pMcSrvData->bDebugLog)
        VXQ_F_DPS_MW_PR_RecDumpFileQuery(&tBody);
    return PR_AnswerQuery(inout_pMcSrvData, inout_pOrder, in_iLength, (int32_t)sizeof(tBody),
                          VXQ_DPS_P3_QUERY_FILE_LEN, VXQ_DPS_FILE_INFO_LEN, VXQ_F_DPS_MW_RecordPutFileInfo,
                          sHandler);
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
    out_pBody->i_iAlarmEventNum = VXQ_F_DPS_MW_PR_RecGetAlarmTable(
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

int VXQ_F_DPS_MW_DoNetMsg_P3_NSP_QUERY_FILE(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                            _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                            int32_t in_iLength)
{
    static const char sHandler[] = "VXQ_F_DPS_MW_DoNetMsg_P3_NSP_QUERY_FILE";
    _VXQ_S_DPS_E2_NSP_FILE_QUERY tBody;
    _VXQ_S_DPS_TRANS_DATA *pTrans;
    VXQ_F_DPS_MW_PR_RecBegin(inout_pMsg, "Receiving network data: Query nsp file.");
    if (!PR_CheckQuery(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, VXQ_DPS_P3_NSP_QUERY_FILE_LEN,
                       "Query nsp file", sHandler))
        return 0;
    PR_GetSearchByTime(inout_pMsg, &tBody);
    pTrans = VXQ_F_DPS_MW_PR_RecPark(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, sHandler);
    if (pTrans == NULL)
        return 0;
    if (!VXQ_F_DPS_MC_SentProEvent_EVENT_E2_NSP_FILE_QUERY(inout_pMcSrvData, pTrans->dwTransId, &tBody))
        return VXQ_F_DPS_MW_PR_RecUnpark(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, pTrans,
                                         sHandler, "VXQ_F_DPS_MC_SentProEvent_EVENT_E2_NSP_FILE_QUERY");
    return 1;
}

int VXQ_F_DPS_MW_DoOrder_EVENT_E2_NSP_FILE_QUERY(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 uint8_t *inout_pOrder, int32_t in_iLength)
{
    static const char sHandler[] = "VXQ_F_DPS_MW_DoOrder_EVENT_E2_NSP_FILE_QUERY";
    _VXQ_S_DPS_E2_NSP_FILE_QUERY tBody;
    if (inout_pMcSrvData == NULL || inout_pOrder == NULL || in_iLength < PR_O((int32_t)sizeof(tBody)))
        return 0;
    if (!VXQ_F_DPS_MW_PR_RecAnswerBegin(inout_pOrder, "Query nsp file"))
        return 0;
    memcpy(&tBody, inout_pOrder + PR_O(0), sizeof(tBody));
    if (inout_pMcSrvData->bDebugLog)
        VXQ_F_DPS_MW_PR_RecDumpNspFileQuery(&tBody);
    return PR_AnswerQuery(inout_pMcSrvData, inout_pOrder, in_iLength, (int32_t)sizeof(tBody),
                          VXQ_DPS_P3_NSP_QUERY_FILE_LEN, VXQ_DPS_NSP_FILE_INFO_LEN,
                          VXQ_F_DPS_MW_RecordPutNspFileInfo, sHandler);
}

/* ---- Opening a file for download --------------------------------------------- */

/* The admission of both opens: a known login id (whose command connection
 * this one now works for), the download right, and room in the media budget
 * for one more replay client. 1 when the open may go on. */
static int PR_CheckOpen(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                        uint8_t *inout_pMsg, int32_t in_iLength, const char *in_sHandler)
{
    _VXQ_S_DPS_NET_PORT_DATA *pLogin =
        VXQ_F_DPS_MC_NetPortData_QueryByLoginId(inout_pMcSrvData, VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_B(0)));
    if (pLogin == NULL)
        return VXQ_F_DPS_MW_PR_RecRefuse(
            inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, VXQ_DPS_UMSP_RESULT_NOT_LOGGED_IN,
            "Receiving network data: Start download file fail, cause: no login.", NULL, in_sHandler);
    inout_pConn->dwLoginPortId = pLogin->dwPortId;
    if (!VXQ_F_DPS_MC_APUP_PopCheck(inout_pMcSrvData, pLogin, -1, VXQ_DPS_POP_RECORD_DOWNLOAD))
        return VXQ_F_DPS_MW_PR_RecRefuse(
            inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, VXQ_DPS_UMSP_RESULT_NO_PERMISSION,
            "Receiving network data: Start download file fail, cause: without permission.", NULL,
            in_sHandler);
    return 1;
}

/* Media budget of a new replay client (only while accounting is on). */
static int PR_CheckReplayBudget(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                int32_t in_iLength, const char *in_sHandler)
{
    if (!inout_pMcSrvData->bMediaResCtrl ||
        VXQ_F_DPS_MC_GetFreeMediaResourceNum(inout_pMcSrvData) - inout_pMcSrvData->fReplayResourceLoss >=
            0.0f)
        return 1;
    return VXQ_F_DPS_MW_PR_RecRefuse(
        inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, VXQ_DPS_UMSP_RESULT_RESOURCE_LIMIT,
        "Receiving network data: Start download file fail, cause: Exceed media resource maximum limit.", NULL,
        in_sHandler);
}

int VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_OPEN(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                           _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                           int32_t in_iLength)
{
    static const char sHandler[] = "VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_OPEN";
    _VXQ_S_DPS_E2_FILE_OPEN tBody;
    _VXQ_S_DPS_TRANS_DATA *pTrans;
    VXQ_F_DPS_MW_PR_RecBegin(inout_pMsg, "Receiving network data: Start download file.");
    if (!VXQ_F_DPS_MW_PR_RecCheckLen(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                                     VXQ_DPS_P3_DOWNLOAD_OPEN_LEN, 0, sHandler) ||
        !PR_CheckOpen(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, sHandler) ||
        !PR_CheckReplayBudget(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, sHandler))
        return 0;
    memset(&tBody, 0, sizeof(tBody));
    memcpy(tBody.i_sFileFlag, inout_pMsg + PR_B(4), sizeof(tBody.i_sFileFlag) - 1);
    tBody.i_dwStartOffsetDataPos = VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_B(132));
    tBody.i_dwStartOffsetTimePos = VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_B(136));
    pTrans = VXQ_F_DPS_MW_PR_RecPark(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, sHandler);
    if (pTrans == NULL)
        return 0;
    if (!VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_OPEN(inout_pMcSrvData, pTrans->dwTransId, &tBody))
        return VXQ_F_DPS_MW_PR_RecUnpark(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, pTrans,
                                         sHandler, "VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_OPEN");
    return 1;
}

/* The answer of either open. On success the asking connection becomes a
 * download connection of the file: it carries the read id, the login id it
 * was opened under (so the command connection's release takes it along) and
 * its open time (so a lowered media budget finds it). The saved request gets
 * the result, the read id and the file record at in_iIdOff / in_iIdOff + 4. */
static int PR_AnswerOpen(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder, int32_t in_iRequLen,
                         int32_t in_iIdOff, uint32_t in_dwFileReadId, const uint8_t *in_pHostFileInfo,
                         const char *in_sHandler)
{
    _VXQ_S_DPS_NET_PORT_DATA *pConn;
    _VXQ_S_DPS_TRANS_DATA *pTrans =
        VXQ_F_DPS_MW_PR_RecFindTarget(inout_pMcSrvData, inout_pOrder, in_iRequLen, 1, in_sHandler, &pConn);
    uint8_t *pAnswer;
    if (pTrans == NULL)
        return 0;
    pAnswer = (uint8_t *)pTrans->pRequDataBuf;
    if (inout_pOrder[5] == VXQ_DPS_UMSP_RESULT_SUCCESS &&
        VXQ_F_DPS_MC_NetPortData_QueryByLoginId(inout_pMcSrvData, VXQ_F_DPS_MW_GetLe32(pAnswer + PR_B(0))) ==
            NULL) {
        /* The login ended while the host opened the file: nobody may use it, so
         * the host is told to close it and the client gets "not logged in". */
        inout_pOrder[5] = VXQ_DPS_UMSP_RESULT_NOT_LOGGED_IN;
        if (!VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_CLOSE(inout_pMcSrvData, 0, in_dwFileReadId))
            VXQ_F_DPS_MW_PR_RecLogFail(in_sHandler, "VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_CLOSE");
    }
    if (inout_pOrder[5] == VXQ_DPS_UMSP_RESULT_SUCCESS) {
        /* A connection carries one open file: one opened before on it is closed,
         * as its disconnect would have closed it. */
        if (pConn->dwDownFileId != 0 && pConn->dwDownFileId != in_dwFileReadId &&
            !VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_CLOSE(inout_pMcSrvData, 0, pConn->dwDownFileId))
            VXQ_F_DPS_MW_PR_RecLogFail(in_sHandler, "VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_CLOSE");
        pConn->iConnType = VXQ_DPS_CONN_DOWN;
        pConn->dwDownFileId = in_dwFileReadId;
        pConn->dwLoginId = VXQ_F_DPS_MW_GetLe32(pAnswer + PR_B(0));
        pConn->tOpenTime = VXQ_F_CLOCK_NowSec();
    }
    VXQ_F_DPS_MW_HeadMakeAnswer(pAnswer, inout_pOrder[5]);
    VXQ_F_DPS_MW_PutLe32(pAnswer + PR_B(in_iIdOff), in_dwFileReadId);
    VXQ_F_DPS_MW_RecordPutFileInfo(pAnswer + PR_B(in_iIdOff + 4), in_pHostFileInfo);
    return VXQ_F_DPS_MW_PR_RecSendAndEnd(inout_pMcSrvData, pConn, pTrans, pAnswer, pTrans->iRequDataLen,
                                         in_sHandler);
}

int VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_OPEN(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                            int32_t in_iLength)
{
    static const char sHandler[] = "VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_OPEN";
    _VXQ_S_DPS_E2_FILE_OPEN tBody;
    if (inout_pMcSrvData == NULL || inout_pOrder == NULL || in_iLength < PR_O((int32_t)sizeof(tBody)))
        return 0;
    if (!VXQ_F_DPS_MW_PR_RecAnswerBegin(inout_pOrder, "Open the file"))
        return 0;
    memcpy(&tBody, inout_pOrder + PR_O(0), sizeof(tBody));
    if (inout_pMcSrvData->bDebugLog) {
        VXQ_F_DPS_MW_PR_RecDebugTitle("Open the file");
        VXQ_F_DPS_MW_PR_RecDebugField("i_dwStartOffsetDataPos", tBody.i_dwStartOffsetDataPos);
        VXQ_F_DPS_MW_PR_RecDebugField("i_dwStartOffsetTimePos", tBody.i_dwStartOffsetTimePos);
        VXQ_F_DPS_MW_PR_RecDebugField("o_dwFileReadId", tBody.o_dwFileReadId);
        VXQ_F_DPS_MW_PR_RecDumpFileInfo(&tBody.o_tFileInfo);
    }
    return PR_AnswerOpen(inout_pMcSrvData, inout_pOrder, VXQ_DPS_P3_DOWNLOAD_OPEN_LEN, 140,
                         tBody.o_dwFileReadId,
                         inout_pOrder + PR_O(offsetof(_VXQ_S_DPS_E2_FILE_OPEN, o_tFileInfo)), sHandler);
}

int VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_OPEN_BY_TIME(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                   _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                                   int32_t in_iLength)
{
    static const char sHandler[] = "VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_OPEN_BY_TIME";
    _VXQ_S_DPS_E2_FILE_OPEN_BY_TIME tBody;
    _VXQ_S_DPS_TRANS_DATA *pTrans;
    VXQ_F_DPS_MW_PR_RecBegin(inout_pMsg, "Receiving network data: Start download file.");
    if (!VXQ_F_DPS_MW_PR_RecCheckLen(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                                     VXQ_DPS_P3_DOWNLOAD_OPEN_BY_TIME_LEN, 0, sHandler) ||
        !PR_CheckOpen(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, sHandler))
        return 0;
    if (inout_pMcSrvData->tDevCapInfo.iDevCapValue5 == 0)
        return VXQ_F_DPS_MW_PR_RecRefuse(
            inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, VXQ_DPS_UMSP_RESULT_NOT_SUPPORTED,
            "Receiving network data: Start download file fail, cause: not support.", NULL, sHandler);
    if (!PR_CheckReplayBudget(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, sHandler))
        return 0;
    _VXQ_S_DPS_E2_NSP_FILE_QUERY tSearch;
    PR_GetSearchByTime(inout_pMsg, &tSearch);
    memset(&tBody, 0, sizeof(tBody));
    memcpy(&tBody, &tSearch, offsetof(_VXQ_S_DPS_E2_FILE_OPEN_BY_TIME, o_dwFileReadId));
    pTrans = VXQ_F_DPS_MW_PR_RecPark(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, sHandler);
    if (pTrans == NULL)
        return 0;
    if (!VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_OPEN_BY_TIME(inout_pMcSrvData, pTrans->dwTransId, &tBody))
        return VXQ_F_DPS_MW_PR_RecUnpark(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, pTrans,
                                         sHandler, "VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_OPEN_BY_TIME");
    return 1;
}

int VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_OPEN_BY_TIME(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                    uint8_t *inout_pOrder, int32_t in_iLength)
{
    static const char sHandler[] = "VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_OPEN_BY_TIME";
    _VXQ_S_DPS_E2_FILE_OPEN_BY_TIME tBody;
    if (inout_pMcSrvData == NULL || inout_pOrder == NULL || in_iLength < PR_O((int32_t)sizeof(tBody)))
        return 0;
    if (!VXQ_F_DPS_MW_PR_RecAnswerBegin(inout_pOrder, "Open the file"))
        return 0;
    memcpy(&tBody, inout_pOrder + PR_O(0), sizeof(tBody));
    if (inout_pMcSrvData->bDebugLog) {
        VXQ_F_DPS_MW_PR_RecDebugTitle("Open the file");
        VXQ_F_DPS_MW_PR_RecDebugField("i_iChNo", tBody.i_iChNo);
        VXQ_F_DPS_MW_PR_RecDebugField("i_iStreamNo", tBody.i_iStreamNo);
        VXQ_F_DPS_MW_PR_RecDebugField("o_dwFileReadId", tBody.o_dwFileReadId);
        VXQ_F_DPS_MW_PR_RecDumpFileInfo(&tBody.o_tFileInfo);
    }
    return PR_AnswerOpen(
        inout_pMcSrvData, inout_pOrder, VXQ_DPS_P3_DOWNLOAD_OPEN_BY_TIME_LEN, 64, tBody.o_dwFileReadId,
        inout_pOrder + PR_O(offsetof(_VXQ_S_DPS_E2_FILE_OPEN_BY_TIME, o_tFileInfo)), sHandler);
}

/* ---- Operations on an open file ---------------------------------------------- */

/* Shared start of close, seek, video parameters, I-frames only and recover:
 * receipt line, length, a connection that carries a login id, then the parked
 * copy. Null when the request was refused (answered). */
static _VXQ_S_DPS_TRANS_DATA *PR_BeginFileOp(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                             _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                             int32_t in_iLength, int32_t in_iNeedLen, const char *in_sOper,
                                             const char *in_sHandler)
{
    char sText[128];
    snprintf(sText, sizeof(sText), "Receiving network data: %s.", in_sOper);
    VXQ_F_DPS_MW_PR_RecBegin(inout_pMsg, sText);
    if (!VXQ_F_DPS_MW_PR_RecCheckLen(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, in_iNeedLen, 0,
                                     in_sHandler) ||
        !VXQ_F_DPS_MW_PR_RecCheckFileConn(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, in_sOper,
                                          in_sHandler))
        return NULL;
    return VXQ_F_DPS_MW_PR_RecPark(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, in_sHandler);
}

/* Debug block of a file operation's answer: the title and the read id. */
static void PR_DebugFileOp(const _VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData, const char *in_sTitle,
                           const uint8_t *in_pOrder)
{
    uint32_t dwFileReadId;
    if (!in_pMcSrvData->bDebugLog)
        return;
    memcpy(&dwFileReadId, in_pOrder + PR_O(0), 4);
    VXQ_F_DPS_MW_PR_RecDebugTitle(in_sTitle);
    VXQ_F_DPS_MW_PR_RecDebugField("i_dwFileReadId", dwFileReadId);
}

/* Answer of a file operation that has no answer fields: the result goes into
 * the saved request, which is sent back whole. */
static int PR_AnswerResultOnly(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                               int32_t in_iLength, const char *in_sOper)
{
    if (inout_pMcSrvData == NULL || inout_pOrder == NULL || in_iLength < PR_O(4))
        return 0;
    if (!VXQ_F_DPS_MW_PR_RecAnswerBegin(inout_pOrder, in_sOper))
        return 0;
    PR_DebugFileOp(inout_pMcSrvData, in_sOper, inout_pOrder);
    return VXQ_F_DPS_MC_SendTransResult(inout_pMcSrvData, inout_pOrder, in_iLength);
}

int VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_CLOSE(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                            _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                            int32_t in_iLength)
{
    static const char sHandler[] = "VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_CLOSE";
    _VXQ_S_DPS_TRANS_DATA *pTrans =
        PR_BeginFileOp(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, VXQ_DPS_P3_DOWNLOAD_CLOSE_LEN,
                       "Stop download file", sHandler);
    if (pTrans == NULL)
        return 0;
    /* Only relayed: the connection keeps its type and read id until it closes. */
    if (!VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_CLOSE(inout_pMcSrvData, pTrans->dwTransId,
                                                       VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_B(4))))
        return VXQ_F_DPS_MW_PR_RecUnpark(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, pTrans,
                                         sHandler, "VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_CLOSE");
    return 1;
}

int VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_CLOSE(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                             int32_t in_iLength)
{
    return PR_AnswerResultOnly(inout_pMcSrvData, inout_pOrder, in_iLength, "Close the file");
}

int VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_GET(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                          _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                          int32_t in_iLength)
{
    static const char sHandler[] = "VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_GET";
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    _VXQ_S_DPS_E2_FILE_READ tBody;
    _VXQ_S_DPS_TRANS_DATA *pTrans;
    VXQ_F_DPS_MW_PR_RecBegin(inout_pMsg, p->bShowRunState ? "Receiving network data: Get file data." : NULL);
    if (!VXQ_F_DPS_MW_PR_RecCheckLen(p, inout_pConn, inout_pMsg, in_iLength, VXQ_DPS_P3_DOWNLOAD_GET_LEN, 0,
                                     sHandler) ||
        !VXQ_F_DPS_MW_PR_RecCheckFileConn(p, inout_pConn, inout_pMsg, in_iLength, "Get file data", sHandler))
        return 0;
    /* Back-pressure: while the send queues hold more than the media budget the
     * read is dropped unanswered and without an event; the client asks again. */
    p->iNetSendTotalLen = VXQ_F_DPS_MC_StatNetSendQueueTotalLen(p);
    if (p->iNetSendTotalLen > p->iMediaDataBufSize)
        return 1;
    memset(&tBody, 0, sizeof(tBody));
    tBody.i_dwFileReadId = VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_B(4));
    tBody.i_dwRequId = VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_B(8));
    tBody.i_ucReqDataType = inout_pMsg[PR_B(12)];
    tBody.i_ucReqDataSize = inout_pMsg[PR_B(13)];
    pTrans = VXQ_F_DPS_MW_PR_RecPark(p, inout_pConn, inout_pMsg, in_iLength, sHandler);
    if (pTrans == NULL)
        return 0;
    if (!VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_READ(p, pTrans->dwTransId, &tBody))
        return VXQ_F_DPS_MW_PR_RecUnpark(p, inout_pConn, inout_pMsg, in_iLength, pTrans, sHandler,
                                         "VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_READ");
    return 1;
}

/* One order of a read: the saved 64-byte request with the read result and the
 * data appended goes out as file data (class 12). Several orders may answer
 * one read; the transaction ends with the first order whose data-end value is
 * nonzero (or the 120 s clean-up). The data length sent is the length
 * actually appended, whatever o_dwDataLen claims. */
int VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_READ(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                            int32_t in_iLength)
{
    static const char sHandler[] = "VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_READ";
    _VXQ_S_DPS_MCSRV_DATA *p = inout_pMcSrvData;
    _VXQ_S_DPS_E2_FILE_READ tBody;
    _VXQ_S_DPS_NET_PORT_DATA *pConn;
    char sText[VXQ_DPS_RESULT_TEXT_SIZE];
    if (p == NULL || inout_pOrder == NULL || in_iLength < PR_O((int32_t)sizeof(tBody)))
        return 0;
    VXQ_F_DPS_MW_TransErrorCodeToUmspResult(inout_pOrder[5], &inout_pOrder[5], sText);
    memcpy(&tBody, inout_pOrder + PR_O(0), sizeof(tBody));
    uint8_t ucDataEnd = VXQ_DPS_FILE_READ_DATA_END(tBody.o_ucFrameTypeAndDataEnd);
    int32_t iDataLen = in_iLength - PR_O((int32_t)sizeof(tBody));
    if (p->bDebugLog && p->bDebugMediaLog)
        VXQ_F_DPS_MW_PR_RecDumpFileRead(&tBody, iDataLen);
    if (VXQ_F_DPS_MC_MsgHead_TransId(inout_pOrder) == 0)
        return 0;
    _VXQ_S_DPS_TRANS_DATA *pTrans = VXQ_F_DPS_MW_PR_RecFindTarget(
        p, inout_pOrder, VXQ_DPS_P3_DOWNLOAD_GET_LEN, ucDataEnd != 0, sHandler, &pConn);
    if (pTrans == NULL)
        return 0;
    int32_t iTotal = VXQ_DPS_P3_DOWNLOAD_GET_LEN + iDataLen;
    uint8_t *pAnswer = (uint8_t *)malloc((size_t)iTotal);
    if (pAnswer == NULL) {
        VXQ_F_DPS_MW_PR_RecLogFail(sHandler, "malloc");
        if (ucDataEnd != 0)
            VXQ_F_DPS_MC_Trans_DeleteTransData(p, pTrans);
        return 0;
    }
    memcpy(pAnswer, pTrans->pRequDataBuf, VXQ_DPS_P3_DOWNLOAD_GET_LEN);
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
    memcpy(pAnswer + VXQ_DPS_P3_DOWNLOAD_GET_LEN, inout_pOrder + PR_O((int32_t)sizeof(tBody)),
           (size_t)iDataLen);
    if (ucDataEnd == 1 && p->bShowRunState)
        VXQ_F_LOG_SR_ShowInfo("A request to read the end.");
    int iRet = VXQ_F_DPS_MC_SentNetData(p, pConn, pAnswer, iTotal, VXQ_DPS_SEND_CLASS_FILE);
    if (!iRet)
        VXQ_F_DPS_MW_PR_RecLogFail(sHandler, "VXQ_F_DPS_MC_SentNetData");
    free(pAnswer);
    if (ucDataEnd != 0)
        VXQ_F_DPS_MC_Trans_DeleteTransData(p, pTrans);
    return iRet;
}

int VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_SEEK(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                           _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                           int32_t in_iLength)
{
    static const char sHandler[] = "VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_SEEK";
    _VXQ_S_DPS_E2_FILE_SEEK tBody;
    _VXQ_S_DPS_TRANS_DATA *pTrans =
        PR_BeginFileOp(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, VXQ_DPS_P3_DOWNLOAD_SEEK_LEN,
                       "Seek file position", sHandler);
    if (pTrans == NULL)
        return 0;
    tBody.i_dwFileReadId = VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_B(4));
    tBody.i_dwOffsetTimePos = VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_B(8));
    if (!VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_SEEK(inout_pMcSrvData, pTrans->dwTransId, &tBody))
        return VXQ_F_DPS_MW_PR_RecUnpark(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, pTrans,
                                         sHandler, "VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_SEEK");
    return 1;
}

int VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_SEEK(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                            int32_t in_iLength)
{
    return PR_AnswerResultOnly(inout_pMcSrvData, inout_pOrder, in_iLength, "Seek file");
}

int VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_QVIDEO(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                             _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                             int32_t in_iLength)
{
    static const char sHandler[] = "VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_QVIDEO";
    _VXQ_S_DPS_E2_FILE_QVIDEO tBody;
    _VXQ_S_DPS_TRANS_DATA *pTrans =
        PR_BeginFileOp(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, VXQ_DPS_P3_DOWNLOAD_QVIDEO_LEN,
                       "Query file video param", sHandler);
    if (pTrans == NULL)
        return 0;
    memset(&tBody, 0, sizeof(tBody));
    tBody.i_dwFileReadId = VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_B(4));
    if (!VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_QVIDEO(inout_pMcSrvData, pTrans->dwTransId, &tBody))
        return VXQ_F_DPS_MW_PR_RecUnpark(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, pTrans,
                                         sHandler, "VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_QVIDEO");
    return 1;
}

/* Answer carrying the video frame rate and GOP: written into the saved
 * request at message offsets in_iRateOff and in_iRateOff + 4. */
static int PR_AnswerVideoParam(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                               int32_t in_iLength, int32_t in_iBodyLen, int32_t in_iRequLen,
                               int32_t in_iRateOff, const char *in_sOper, const char *in_sHandler)
{
    _VXQ_S_DPS_NET_PORT_DATA *pConn;
    int32_t iRate, iGop;
    if (inout_pMcSrvData == NULL || inout_pOrder == NULL || in_iLength < PR_O(in_iBodyLen))
        return 0;
    if (!VXQ_F_DPS_MW_PR_RecAnswerBegin(inout_pOrder, in_sOper))
        return 0;
    memcpy(&iRate, inout_pOrder + PR_O(in_iBodyLen - 8), 4);
    memcpy(&iGop, inout_pOrder + PR_O(in_iBodyLen - 4), 4);
    PR_DebugFileOp(inout_pMcSrvData, in_sOper, inout_pOrder);
    if (inout_pMcSrvData->bDebugLog) {
        VXQ_F_DPS_MW_PR_RecDebugField("o_iVideoFrameRate", iRate);
        VXQ_F_DPS_MW_PR_RecDebugField("o_iVideoGop", iGop);
    }
    _VXQ_S_DPS_TRANS_DATA *pTrans =
        VXQ_F_DPS_MW_PR_RecFindTarget(inout_pMcSrvData, inout_pOrder, in_iRequLen, 1, in_sHandler, &pConn);
    if (pTrans == NULL)
        return 0;
    uint8_t *pAnswer = (uint8_t *)pTrans->pRequDataBuf;
    VXQ_F_DPS_MW_HeadMakeAnswer(pAnswer, inout_pOrder[5]);
    VXQ_F_DPS_MW_PutLe32(pAnswer + in_iRateOff, (uint32_t)iRate);
    VXQ_F_DPS_MW_PutLe32(pAnswer + in_iRateOff + 4, (uint32_t)iGop);
    return VXQ_F_DPS_MW_PR_RecSendAndEnd(inout_pMcSrvData, pConn, pTrans, pAnswer, pTrans->iRequDataLen,
                                         in_sHandler);
}

int VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_QVIDEO(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                              int32_t in_iLength)
{
    return PR_AnswerVideoParam(inout_pMcSrvData, inout_pOrder, in_iLength,
                               (int32_t)sizeof(_VXQ_S_DPS_E2_FILE_QVIDEO), VXQ_DPS_P3_DOWNLOAD_QVIDEO_LEN,
                               PR_B(8), "Query file video param",
                               "VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_QVIDEO");
}

int VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_ONLY_IFRAME(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                  _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                                  int32_t in_iLength)
{
    static const char sHandler[] = "VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_ONLY_IFRAME";
    _VXQ_S_DPS_E2_FILE_ONLY_IFRAME tBody;
    _VXQ_S_DPS_TRANS_DATA *pTrans =
        PR_BeginFileOp(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                       VXQ_DPS_P3_DOWNLOAD_ONLY_IFRAME_LEN, "File only i frame", sHandler);
    if (pTrans == NULL)
        return 0;
    memset(&tBody, 0, sizeof(tBody));
    tBody.i_dwFileReadId = VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_B(4));
    tBody.i_iDiscardIFrame = (int32_t)VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_B(8));
    if (!VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_ONLY_IFRAME(inout_pMcSrvData, pTrans->dwTransId, &tBody))
        return VXQ_F_DPS_MW_PR_RecUnpark(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, pTrans,
                                         sHandler, "VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_ONLY_IFRAME");
    return 1;
}

int VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_ONLY_IFRAME(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                   uint8_t *inout_pOrder, int32_t in_iLength)
{
    return PR_AnswerVideoParam(inout_pMcSrvData, inout_pOrder, in_iLength,
                               (int32_t)sizeof(_VXQ_S_DPS_E2_FILE_ONLY_IFRAME),
                               VXQ_DPS_P3_DOWNLOAD_ONLY_IFRAME_LEN, PR_B(12), "File only i frame",
                               "VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_ONLY_IFRAME");
}

int VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_RECOVER_ALLFRAME(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                       _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                                                       uint8_t *inout_pMsg, int32_t in_iLength)
{
    static const char sHandler[] = "VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_RECOVER_ALLFRAME";
    _VXQ_S_DPS_TRANS_DATA *pTrans =
        PR_BeginFileOp(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                       VXQ_DPS_P3_DOWNLOAD_RECOVER_ALLFRAME_LEN, "File recover all frame", sHandler);
    if (pTrans == NULL)
        return 0;
    if (!VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_RECOVER_ALLFRAME(inout_pMcSrvData, pTrans->dwTransId,
                                                                  VXQ_F_DPS_MW_GetLe32(inout_pMsg + PR_B(4))))
        return VXQ_F_DPS_MW_PR_RecUnpark(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, pTrans,
                                         sHandler,
                                         "VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_RECOVER_ALLFRAME");
    return 1;
}

int VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_RECOVER_ALLFRAME(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                        uint8_t *inout_pOrder, int32_t in_iLength)
{
    return PR_AnswerResultOnly(inout_pMcSrvData, inout_pOrder, in_iLength, "File recover all frame");
}

/* Connection released: a download connection's open file is closed at the host. */
static void PR_RecordConnGone(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn)
{
    if (inout_pConn->iConnType != VXQ_DPS_CONN_DOWN || inout_pConn->dwDownFileId == 0)
        return;
    if (VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_CLOSE(inout_pMcSrvData, 0, inout_pConn->dwDownFileId))
        VXQ_F_LOG_SR_ShowInfo("Close the file: request message.");
    else
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MC_DoNetDisconnetEvent VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_CLOSE fail.",
                              2);
    inout_pConn->dwDownFileId = 0;
}

void VXQ_F_DPS_MC_RECORD_Install(_VXQ_S_DPS_HOOKS *inout_pHooks)
{
    VXQ_F_DPS_MC_Hooks_AddConnGone(inout_pHooks, PR_RecordConnGone);
}
