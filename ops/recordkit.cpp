/* Wire forms and shared steps of the record family; see ops/recordkit.h. */
#include "ops/recordkit.h"

#include "core/conn.h"
#include "protocol/dispatch.h"
#include "wire/head.h"
#include "wire/result.h"
#include "vxq_log.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

/* Entries of the alarm event table of a search by time. */
#define PR_ALARM_TABLE_LEN 16

void VXQ_F_DPS_MW_RecordGetTime(const uint8_t *in_pWire, _VXQ_S_TD_DATE_TIME *out_ptTime)
{
    uint32_t dwLast = VXQ_F_DPS_MW_GetLe32(in_pWire + 8);
    out_ptTime->usYear = VXQ_F_DPS_MW_GetLe16(in_pWire);
    out_ptTime->usMonth = VXQ_F_DPS_MW_GetLe16(in_pWire + 2);
    out_ptTime->ucDay = in_pWire[4];
    out_ptTime->ucHour = in_pWire[5];
    out_ptTime->ucMinute = in_pWire[6];
    out_ptTime->ucSecond = in_pWire[7];
    memcpy(out_ptTime->ucReserved, &dwLast, 4);
}

void VXQ_F_DPS_MW_RecordPutTime(uint8_t *out_pWire, const _VXQ_S_TD_DATE_TIME *in_ptTime)
{
    uint32_t dwLast;
    memcpy(&dwLast, in_ptTime->ucReserved, 4);
    VXQ_F_DPS_MW_PutLe16(out_pWire, in_ptTime->usYear);
    VXQ_F_DPS_MW_PutLe16(out_pWire + 2, in_ptTime->usMonth);
    out_pWire[4] = in_ptTime->ucDay;
    out_pWire[5] = in_ptTime->ucHour;
    out_pWire[6] = in_ptTime->ucMinute;
    out_pWire[7] = in_ptTime->ucSecond;
    VXQ_F_DPS_MW_PutLe32(out_pWire + 8, dwLast);
}

void VXQ_F_DPS_MW_RecordPutFileInfo(uint8_t *out_pWire, const uint8_t *in_pHost)
{
    _VXQ_S_DPS_FILE_INFO tInfo;
    memcpy(&tInfo, in_pHost, sizeof(tInfo));
    memcpy(out_pWire, tInfo.sFileFlag, sizeof(tInfo.sFileFlag));
    VXQ_F_DPS_MW_PutLe32(out_pWire + 128, (uint32_t)tInfo.iFileType);
    VXQ_F_DPS_MW_PutLe32(out_pWire + 132, (uint32_t)tInfo.iCreateMode);
    VXQ_F_DPS_MW_PutLe32(out_pWire + 136, (uint32_t)tInfo.iAlarmEvent);
    VXQ_F_DPS_MW_RecordPutTime(out_pWire + 140, &tInfo.tStartTime);
    VXQ_F_DPS_MW_RecordPutTime(out_pWire + 152, &tInfo.tEndTime);
    VXQ_F_DPS_MW_PutLe32(out_pWire + 164, tInfo.dwFileTimeLen);
    VXQ_F_DPS_MW_PutLe32(out_pWire + 168, tInfo.dwFileSize);
    VXQ_F_DPS_MW_PutLe32(out_pWire + 172, (uint32_t)tInfo.bVideoFlag);
    VXQ_F_DPS_MW_PutLe32(out_pWire + 176, (uint32_t)tInfo.bAudioFlag);
    VXQ_F_DPS_MW_PutLe32(out_pWire + 180, (uint32_t)tInfo.bPictureFlag);
    VXQ_F_DPS_MW_PutLe32(out_pWire + 184, (uint32_t)tInfo.iVideoCodecId);
    VXQ_F_DPS_MW_PutLe32(out_pWire + 188, (uint32_t)tInfo.iVideoFrameRate);
    VXQ_F_DPS_MW_PutLe32(out_pWire + 192, (uint32_t)tInfo.iVideoBitRate);
    VXQ_F_DPS_MW_PutLe16(out_pWire + 196, tInfo.usVideoWidth);
    VXQ_F_DPS_MW_PutLe16(out_pWire + 198, tInfo.usVideoHeight);
    VXQ_F_DPS_MW_PutLe32(out_pWire + 200, (uint32_t)tInfo.iAudioCodecId);
    VXQ_F_DPS_MW_PutLe32(out_pWire + 204, (uint32_t)tInfo.iAudioBitRate);
    VXQ_F_DPS_MW_PutLe32(out_pWire + 208, (uint32_t)tInfo.iAudioSampleRate);
    VXQ_F_DPS_MW_PutLe32(out_pWire + 212, (uint32_t)tInfo.iAudioChNum);
    VXQ_F_DPS_MW_PutLe32(out_pWire + 216, (uint32_t)tInfo.iPictureFormat);
}

/* Offsets of the multi-byte fields of the extended record; every other byte
 * (texts, single bytes) is copied as it is. */
static const uint16_t s_usNsp16[] = {128, 176, 178, 180, 182, 188};
static const uint16_t s_usNsp32[] = {160, 164, 172, 184};
static const uint16_t s_usNspTime[] = {136, 148};

void VXQ_F_DPS_MW_RecordPutNspFileInfo(uint8_t *out_pWire, const uint8_t *in_pHost)
{
    memcpy(out_pWire, in_pHost, VXQ_DPS_NSP_FILE_INFO_LEN);
    for (size_t i = 0; i < sizeof(s_usNsp16) / sizeof(s_usNsp16[0]); i++) {
        uint16_t usValue;
        memcpy(&usValue, in_pHost + s_usNsp16[i], 2);
        VXQ_F_DPS_MW_PutLe16(out_pWire + s_usNsp16[i], usValue);
    }
    for (size_t i = 0; i < sizeof(s_usNsp32) / sizeof(s_usNsp32[0]); i++) {
        uint32_t dwValue;
        memcpy(&dwValue, in_pHost + s_usNsp32[i], 4);
        VXQ_F_DPS_MW_PutLe32(out_pWire + s_usNsp32[i], dwValue);
    }
    for (size_t i = 0; i < sizeof(s_usNspTime) / sizeof(s_usNspTime[0]); i++) {
        _VXQ_S_TD_DATE_TIME tTime;
        memcpy(&tTime, in_pHost + s_usNspTime[i], sizeof(tTime));
        VXQ_F_DPS_MW_RecordPutTime(out_pWire + s_usNspTime[i], &tTime);
    }
}

const char *VXQ_F_DPS_MW_RecordTimeText(const _VXQ_S_TD_DATE_TIME *in_ptTime, char *out_sText)
{
    snprintf(out_sText, VXQ_DPS_RECORD_TIME_TEXT_SIZE, "%04u-%02u-%02u %02u:%02u:%02u",
             (unsigned)in_ptTime->usYear, (unsigned)in_ptTime->usMonth, (unsigned)in_ptTime->ucDay,
             (unsigned)in_ptTime->ucHour, (unsigned)in_ptTime->ucMinute, (unsigned)in_ptTime->ucSecond);
    return out_sText;
}

/* ---- Shared steps of the requests ------------------------------------------ */

/* Answers the request in place with in_ucResult after showing in_sShow and
 * logging in_sLog (either may be null). Returns 0: the request was refused. */
int VXQ_F_DPS_MW_PR_RecRefuse(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                              uint8_t *inout_pMsg, int32_t in_iLength, uint8_t in_ucResult,
                              const char *in_sShow, const char *in_sLog, const char *in_sHandler)
{
    if (in_sShow != NULL)
        VXQ_F_LOG_SR_ShowInfo(in_sShow);
    if (in_sLog != NULL)
        VXQ_F_LOG_SR_WriteLog(in_sLog, 2);
    VXQ_F_DPS_MW_AnswerInPlace(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, in_ucResult,
                               in_sHandler);
    return 0;
}

/* "<handler> <callee> fail." logged once. */
void VXQ_F_DPS_MW_PR_RecLogFail(const char *in_sHandler, const char *in_sCallee)
{
    char sText[192];
    snprintf(sText, sizeof(sText), "%s %s fail.", in_sHandler, in_sCallee);
    VXQ_F_LOG_SR_WriteLog(sText, 2);
}

/* Shapes the request as its answer (result 0, response type) and shows its
 * receipt line. Whatever is sent back later starts from these bytes. */
void VXQ_F_DPS_MW_PR_RecBegin(uint8_t *inout_pMsg, const char *in_sShow)
{
    VXQ_F_DPS_MW_HeadMakeAnswer(inout_pMsg, VXQ_DPS_UMSP_RESULT_SUCCESS);
    if (in_sShow != NULL)
        VXQ_F_LOG_SR_ShowInfo(in_sShow);
}

/* The length rule: at least in_iMinLen (exactly, with in_bExact), else result
 * 2 with "<handler> in_iPacketLen error.". 1 when the length fits. */
int VXQ_F_DPS_MW_PR_RecCheckLen(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                int32_t in_iLength, int32_t in_iNeedLen, int in_bExact,
                                const char *in_sHandler)
{
    char sText[160];
    if (in_iLength == in_iNeedLen || (!in_bExact && in_iLength > in_iNeedLen))
        return 1;
    snprintf(sText, sizeof(sText), "%s in_iPacketLen error.", in_sHandler);
    return VXQ_F_DPS_MW_PR_RecRefuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                                     VXQ_DPS_UMSP_RESULT_PARAM_ERROR, NULL, sText, in_sHandler);
}

/* Whether a download connection of in_dwLoginId holds the file in_dwFileReadId
 * open (read id 0 names no file). */
static int PR_SessionHoldsFile(const _VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData, uint32_t in_dwLoginId,
                               uint32_t in_dwFileReadId)
{
    if (in_dwFileReadId == 0)
        return 0;
    for (int i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++) {
        const _VXQ_S_DPS_NET_PORT_DATA *pConn = in_pMcSrvData->pConn[i];
        if (pConn != NULL && pConn->iConnType == VXQ_DPS_CONN_DOWN &&
            pConn->dwDownFileId == in_dwFileReadId && pConn->dwLoginId == in_dwLoginId)
            return 1;
    }
    return 0;
}

/* File operations name an open file by its read id alone (body 4), so they are
 * taken only from a connection that carries a login id (a logged-in command
 * connection or a download connection opened under a login; else result 6), and
 * only for a file that a download connection of that same login holds open:
 * another session's read id, or one no connection holds, gets result 5. 1 when
 * the operation may go on. */
int VXQ_F_DPS_MW_PR_RecCheckFileConn(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                     _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                     int32_t in_iLength, const char *in_sOper, const char *in_sHandler)
{
    char sText[160];
    if (inout_pConn->dwLoginId == 0) {
        snprintf(sText, sizeof(sText), "Receiving network data: %s fail, cause: no login.", in_sOper);
        return VXQ_F_DPS_MW_PR_RecRefuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                                         VXQ_DPS_UMSP_RESULT_NOT_LOGGED_IN, sText, NULL, in_sHandler);
    }
    if (PR_SessionHoldsFile(inout_pMcSrvData, inout_pConn->dwLoginId,
                            VXQ_F_DPS_MW_GetLe32(inout_pMsg + VXQ_DPS_UMSP_HEAD_LEN + 4)))
        return 1;
    snprintf(sText, sizeof(sText), "Receiving network data: %s fail, cause: without permission.", in_sOper);
    return VXQ_F_DPS_MW_PR_RecRefuse(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                                     VXQ_DPS_UMSP_RESULT_NO_PERMISSION, sText, NULL, in_sHandler);
}

/* Parks a copy of the (already answer-shaped) request. Null after answering
 * with result 1 when no transaction could be made. */
_VXQ_S_DPS_TRANS_DATA *VXQ_F_DPS_MW_PR_RecPark(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                               _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                               int32_t in_iLength, const char *in_sHandler)
{
    _VXQ_S_DPS_TRANS_DATA *pTrans = VXQ_F_DPS_MC_Trans_CreateTransDataOfLinkData(
        inout_pMcSrvData, inout_pConn->dwPortId, VXQ_F_DPS_MW_GetLe16(inout_pMsg + VXQ_DPS_UMSP_OFF_FUNC_ID),
        inout_pMsg, in_iLength);
    if (pTrans == NULL) {
        VXQ_F_DPS_MW_PR_RecLogFail(in_sHandler, "VXQ_F_DPS_MC_Trans_CreateTransDataOfLinkData");
        VXQ_F_DPS_MW_AnswerInPlace(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                                   VXQ_DPS_UMSP_RESULT_SERVICE_FAIL, in_sHandler);
    }
    return pTrans;
}

/* Ends a request whose event could not be queued: result 1 at once, the
 * transaction deleted. Returns 0. */
int VXQ_F_DPS_MW_PR_RecUnpark(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                              uint8_t *inout_pMsg, int32_t in_iLength, _VXQ_S_DPS_TRANS_DATA *inout_pTrans,
                              const char *in_sHandler, const char *in_sBuilder)
{
    VXQ_F_DPS_MW_PR_RecLogFail(in_sHandler, in_sBuilder);
    VXQ_F_DPS_MC_Trans_DeleteTransData(inout_pMcSrvData, inout_pTrans);
    VXQ_F_DPS_MW_AnswerInPlace(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                               VXQ_DPS_UMSP_RESULT_SERVICE_FAIL, in_sHandler);
    return 0;
}

/* The alarm event table of a search by time: at most 16 entries; a count
 * outside 0..16 is clamped and only that many table bytes are passed on. */
int32_t VXQ_F_DPS_MW_PR_RecGetAlarmTable(const uint8_t *in_pWireTable, int32_t in_iWireNum,
                                         uint8_t *out_pTable)
{
    int32_t iNum =
        in_iWireNum < 0 ? 0 : (in_iWireNum > PR_ALARM_TABLE_LEN ? PR_ALARM_TABLE_LEN : in_iWireNum);
    memset(out_pTable, 0, PR_ALARM_TABLE_LEN);
    memcpy(out_pTable, in_pWireTable, (size_t)iNum);
    return iNum;
}

/* ---- Shared steps of the answers ------------------------------------------- */

/* Debug block of an answer: the separator and the title line. */
void VXQ_F_DPS_MW_PR_RecDebugTitle(const char *in_sTitle)
{
    char sText[128];
    VXQ_F_LOG_SR_WriteLog("[DEBUG]  ========================================================", 2);
    snprintf(sText, sizeof(sText), "[DEBUG]  %s (response): ", in_sTitle);
    VXQ_F_LOG_SR_WriteLog(sText, 2);
}

/* One "[DEBUG]  name=value." line of an answer. */
void VXQ_F_DPS_MW_PR_RecDebugField(const char *in_sName, long long in_llValue)
{
    char sText[128];
    snprintf(sText, sizeof(sText), "[DEBUG]  %s=%lld.", in_sName, in_llValue);
    VXQ_F_LOG_SR_WriteLog(sText, 2);
}

void VXQ_F_DPS_MW_PR_RecDebugTimeField(const char *in_sName, const _VXQ_S_TD_DATE_TIME *in_ptTime)
{
    char sTime[VXQ_DPS_RECORD_TIME_TEXT_SIZE];
    char sText[128];
    snprintf(sText, sizeof(sText), "[DEBUG]  %s=%s.", in_sName,
             VXQ_F_DPS_MW_RecordTimeText(in_ptTime, sTime));
    VXQ_F_LOG_SR_WriteLog(sText, 2);
}

/* Finds what an answer goes to: the transaction of the order's id holding a
 * saved request of at least in_iMinRequLen bytes (and at least 1), and its
 * connection. On a miss logs "<handler> <step> fail." and returns null; a found
 * transaction is then deleted when in_bDeleteOnMiss is set. */
_VXQ_S_DPS_TRANS_DATA *VXQ_F_DPS_MW_PR_RecFindTarget(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                     const uint8_t *in_pOrder, int32_t in_iMinRequLen,
                                                     int in_bDeleteOnMiss, const char *in_sHandler,
                                                     _VXQ_S_DPS_NET_PORT_DATA **out_ppConn)
{
    _VXQ_S_DPS_TRANS_DATA *pTrans =
        VXQ_F_DPS_MC_Trans_QueryTransDataByTransId(inout_pMcSrvData, VXQ_F_DPS_MC_MsgHead_TransId(in_pOrder));
    *out_ppConn = NULL;
    if (pTrans == NULL) {
        VXQ_F_DPS_MW_PR_RecLogFail(in_sHandler, "VXQ_F_DPS_MC_Trans_QueryTransDataByTransId");
        return NULL;
    }
    if (pTrans->pRequDataBuf == NULL || pTrans->iRequDataLen < 1 || pTrans->iRequDataLen < in_iMinRequLen) {
        VXQ_F_DPS_MW_PR_RecLogFail(in_sHandler, "pRequDataBuf");
    } else {
        *out_ppConn = VXQ_F_DPS_MC_NetPortData_QueryByPortId(inout_pMcSrvData, pTrans->dwPortId);
        if (*out_ppConn != NULL)
            return pTrans;
        VXQ_F_DPS_MW_PR_RecLogFail(in_sHandler, "VXQ_F_DPS_MC_NetPortData_QueryByPortId");
    }
    if (in_bDeleteOnMiss)
        VXQ_F_DPS_MC_Trans_DeleteTransData(inout_pMcSrvData, pTrans);
    return NULL;
}

/* Sends a finished response (class 0 unless given), deletes the transaction. 1 sent. */
int VXQ_F_DPS_MW_PR_RecSendAndEnd(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                  _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, _VXQ_S_DPS_TRANS_DATA *inout_pTrans,
                                  uint8_t *inout_pMsg, int32_t in_iLength, const char *in_sHandler)
{
    int iRet = VXQ_F_DPS_MC_SentNetData(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                                        VXQ_DPS_SEND_CLASS_PROTOCOL);
    if (!iRet)
        VXQ_F_DPS_MW_PR_RecLogFail(in_sHandler, "VXQ_F_DPS_MC_SentNetData");
    VXQ_F_DPS_MC_Trans_DeleteTransData(inout_pMcSrvData, inout_pTrans);
    return iRet;
}

/* The common start of every answer: translate the host's code in place (and
 * show it), and tell whether anything waits for it (transaction id nonzero). */
int VXQ_F_DPS_MW_PR_RecAnswerBegin(uint8_t *inout_pOrder, const char *in_sOper)
{
    VXQ_F_DPS_MW_TransAndShowErrorCodeToUmspResult(inout_pOrder + 5, in_sOper);
    return VXQ_F_DPS_MC_MsgHead_TransId(inout_pOrder) != 0;
}

void VXQ_F_DPS_MW_PR_RecDumpFileQuery(const _VXQ_S_DPS_E2_FILE_QUERY *in_pBody)
{
    VXQ_F_DPS_MW_PR_RecDebugTitle("Query file");
    VXQ_F_DPS_MW_PR_RecDebugField("i_iChNo", in_pBody->i_iChNo);
    VXQ_F_DPS_MW_PR_RecDebugField("i_iFileType", in_pBody->i_iFileType);
    VXQ_F_DPS_MW_PR_RecDebugField("i_iCreateMode", in_pBody->i_iCreateMode);
    VXQ_F_DPS_MW_PR_RecDebugField("i_iAlarmEvent", in_pBody->i_iAlarmEvent);
    VXQ_F_DPS_MW_PR_RecDebugTimeField("i_tStartTime", &in_pBody->i_tStartTime);
    VXQ_F_DPS_MW_PR_RecDebugTimeField("i_tEndTime", &in_pBody->i_tEndTime);
    VXQ_F_DPS_MW_PR_RecDebugField("o_iFileNum", in_pBody->o_iFileNum);
}

void VXQ_F_DPS_MW_PR_RecDumpNspFileQuery(const _VXQ_S_DPS_E2_NSP_FILE_QUERY *in_pBody)
{
    VXQ_F_DPS_MW_PR_RecDebugTitle("Query nsp file");
    VXQ_F_DPS_MW_PR_RecDebugField("i_iChNo", in_pBody->i_iChNo);
    VXQ_F_DPS_MW_PR_RecDebugField("i_iStreamNo", in_pBody->i_iStreamNo);
    VXQ_F_DPS_MW_PR_RecDebugField("i_iFileType", in_pBody->i_iFileType);
    VXQ_F_DPS_MW_PR_RecDebugField("i_iCreateMode", in_pBody->i_iCreateMode);
    VXQ_F_DPS_MW_PR_RecDebugField("i_iAlarmEventNum", in_pBody->i_iAlarmEventNum);
    VXQ_F_DPS_MW_PR_RecDebugTimeField("i_tStartTime", &in_pBody->i_tStartTime);
    VXQ_F_DPS_MW_PR_RecDebugTimeField("i_tEndTime", &in_pBody->i_tEndTime);
    VXQ_F_DPS_MW_PR_RecDebugField("o_iFileNum", in_pBody->o_iFileNum);
}

void VXQ_F_DPS_MW_PR_RecDumpFileInfo(const _VXQ_S_DPS_FILE_INFO *in_ptInfo)
{
    char sText[200];
    snprintf(sText, sizeof(sText), "[DEBUG]  o_tFileInfo.sFileFlag=%.128s.", in_ptInfo->sFileFlag);
    VXQ_F_LOG_SR_WriteLog(sText, 2);
    VXQ_F_DPS_MW_PR_RecDebugField("o_tFileInfo.iFileType", in_ptInfo->iFileType);
    VXQ_F_DPS_MW_PR_RecDebugTimeField("o_tFileInfo.tStartTime", &in_ptInfo->tStartTime);
    VXQ_F_DPS_MW_PR_RecDebugTimeField("o_tFileInfo.tEndTime", &in_ptInfo->tEndTime);
    VXQ_F_DPS_MW_PR_RecDebugField("o_tFileInfo.dwFileTimeLen", in_ptInfo->dwFileTimeLen);
    VXQ_F_DPS_MW_PR_RecDebugField("o_tFileInfo.dwFileSize", in_ptInfo->dwFileSize);
}

void VXQ_F_DPS_MW_PR_RecDumpFileRead(const _VXQ_S_DPS_E2_FILE_READ *in_pBody, int32_t in_iDataLen)
{
    VXQ_F_DPS_MW_PR_RecDebugTitle("Read file data");
    VXQ_F_DPS_MW_PR_RecDebugField("i_dwFileReadId", in_pBody->i_dwFileReadId);
    VXQ_F_DPS_MW_PR_RecDebugField("i_dwRequId", in_pBody->i_dwRequId);
    VXQ_F_DPS_MW_PR_RecDebugField("o_ucRetDataType", in_pBody->o_ucRetDataType);
    VXQ_F_DPS_MW_PR_RecDebugField("o_ucFrameType",
                                  VXQ_DPS_FILE_READ_FRAME_TYPE(in_pBody->o_ucFrameTypeAndDataEnd));
    VXQ_F_DPS_MW_PR_RecDebugField("o_ucIfDataEnd",
                                  VXQ_DPS_FILE_READ_DATA_END(in_pBody->o_ucFrameTypeAndDataEnd));
    VXQ_F_DPS_MW_PR_RecDebugField("o_dwOffsetDataPos", in_pBody->o_dwOffsetDataPos);
    VXQ_F_DPS_MW_PR_RecDebugField("o_dwOffsetTimePos", in_pBody->o_dwOffsetTimePos);
    VXQ_F_DPS_MW_PR_RecDebugField("o_dwDataLen", in_iDataLen);
}

int VXQ_F_DPS_MW_PR_RecRaise(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iEventId,
                             uint32_t in_dwTransId, const void *in_pBody, int32_t in_iBodyLen, int in_bDebug,
                             const char *in_sFormat, ...)
{
    char sText[384];
    va_list tArgs;
    if (in_bDebug) {
        va_start(tArgs, in_sFormat);
        vsnprintf(sText, sizeof(sText), in_sFormat, tArgs);
        va_end(tArgs);
        VXQ_F_LOG_SR_WriteLog(sText, 2);
    }
    return VXQ_F_DPS_MC_SentProEventBody(inout_pMcSrvData, in_iEventId, in_dwTransId, in_pBody, in_iBodyLen);
}
