/* NPD management datagrams; see npd.h for the contract. */
#include "mgmt/npd.h"

#include "core/control.h"
#include "kit/clock.h"
#include "wire/head.h"
#include "vxq_log.h"
#include "vxq_netcom.h"

#include <stdlib.h>
#include <string.h>

/* Byte offsets of the head fields. */
#define VXQ_DPS_NPD_OFF_FLAG 0
#define VXQ_DPS_NPD_OFF_LENGTH 4
#define VXQ_DPS_NPD_OFF_FUNC_ID 6
#define VXQ_DPS_NPD_OFF_ANSWER 7
#define VXQ_DPS_NPD_OFF_REQU_NO 8
#define VXQ_DPS_NPD_OFF_RESULT 12

/* Body offsets, from the start of the datagram. */
#define VXQ_DPS_NPD_OFF_SEARCHER 16  /* search request and answer */
#define VXQ_DPS_NPD_OFF_SERVER_ID 16 /* trace and debug parameters */
#define VXQ_DPS_NPD_OFF_TRACE_OP 20
#define VXQ_DPS_NPD_OFF_TRACE_PORT 22
#define VXQ_DPS_NPD_OFF_TRACE_IP 24
#define VXQ_DPS_NPD_OFF_DEBUG_SET 24 /* three set words, then three new values */
#define VXQ_DPS_NPD_OFF_DEBUG_VALUE 36
#define VXQ_DPS_NPD_OFF_LOG_CLIENT_IP 20
#define VXQ_DPS_NPD_OFF_LOG_LINE_NO 24

/* The destination of every answer and log datagram. */
static const char s_sBroadcastAddr[] = "255.255.255.255";

int VXQ_F_DPS_NPD_HeadLoad(const uint8_t *in_pData, int32_t in_iLen, _VXQ_S_DPS_NPD_HEAD *out_pHead)
{
    if (out_pHead == NULL)
        return 0;
    memset(out_pHead, 0, sizeof(*out_pHead));
    if (in_pData == NULL || in_iLen < VXQ_DPS_NPD_HEAD_LEN)
        return 0;
    out_pHead->dwFlag = VXQ_F_DPS_MW_GetLe32(in_pData + VXQ_DPS_NPD_OFF_FLAG);
    out_pHead->usLength = VXQ_F_DPS_MW_GetLe16(in_pData + VXQ_DPS_NPD_OFF_LENGTH);
    out_pHead->ucFuncId = in_pData[VXQ_DPS_NPD_OFF_FUNC_ID];
    out_pHead->ucAnswer = in_pData[VXQ_DPS_NPD_OFF_ANSWER];
    out_pHead->dwRequNo = VXQ_F_DPS_MW_GetLe32(in_pData + VXQ_DPS_NPD_OFF_REQU_NO);
    out_pHead->dwResult = VXQ_F_DPS_MW_GetLe32(in_pData + VXQ_DPS_NPD_OFF_RESULT);
    return 1;
}

void VXQ_F_DPS_NPD_HeadStore(const _VXQ_S_DPS_NPD_HEAD *in_pHead, uint8_t *out_pData)
{
    VXQ_F_DPS_MW_PutLe32(out_pData + VXQ_DPS_NPD_OFF_FLAG, in_pHead->dwFlag);
    VXQ_F_DPS_MW_PutLe16(out_pData + VXQ_DPS_NPD_OFF_LENGTH, in_pHead->usLength);
    out_pData[VXQ_DPS_NPD_OFF_FUNC_ID] = in_pHead->ucFuncId;
    out_pData[VXQ_DPS_NPD_OFF_ANSWER] = in_pHead->ucAnswer;
    VXQ_F_DPS_MW_PutLe32(out_pData + VXQ_DPS_NPD_OFF_REQU_NO, in_pHead->dwRequNo);
    VXQ_F_DPS_MW_PutLe32(out_pData + VXQ_DPS_NPD_OFF_RESULT, in_pHead->dwResult);
}

int32_t VXQ_F_DPS_NPD_RequestMinLen(uint8_t in_ucFuncId)
{
    switch (in_ucFuncId) {
    case VXQ_DPS_NPD_ECHO:
        return VXQ_DPS_NPD_HEAD_LEN;
    case VXQ_DPS_NPD_SEARCH_DEV_REQ:
        return VXQ_DPS_NPD_SEARCH_REQ_LEN;
    case VXQ_DPS_NPD_NM_SET_BROAD_TRACE_PARAM:
        return VXQ_DPS_NPD_TRACE_PARAM_LEN;
    case VXQ_DPS_NPD_NM_SET_DEBUG_PARAM:
        return VXQ_DPS_NPD_DEBUG_PARAM_LEN;
    default:
        return -1;
    }
}

/* Copies at most in_iField - 1 characters of in_sText into a zeroed field of
 * in_iField bytes. */
static void VXQ_F_DPS_NPD_PR_PutText(uint8_t *out_pField, int32_t in_iField, const char *in_sText,
                                     int32_t in_iSrcSize)
{
    memset(out_pField, 0, (size_t)in_iField);
    int32_t iMax = in_iField - 1 < in_iSrcSize ? in_iField - 1 : in_iSrcSize;
    int32_t iLen = 0;
    while (iLen < iMax && in_sText[iLen] != '\0')
        iLen++;
    memcpy(out_pField, in_sText, (size_t)iLen);
}

int32_t VXQ_F_DPS_NPD_BuildSearchRsp(uint8_t out_pData[VXQ_DPS_NPD_SEARCH_RSP_LEN], uint32_t in_dwRequNo,
                                     uint32_t in_dwSearcherValue, uint32_t in_dwServerId,
                                     const _VXQ_S_DPS_DEV_CAP_INFO *in_pCap, uint32_t in_bDebugLog,
                                     uint32_t in_bDebugMediaLog, uint32_t in_bShowRunState)
{
    _VXQ_S_DPS_NPD_HEAD tHead = {
        VXQ_DPS_NPD_FLAG, VXQ_DPS_NPD_SEARCH_RSP_LEN, VXQ_DPS_NPD_SEARCH_DEV_RSP, VXQ_DPS_NPD_ANSWER,
        in_dwRequNo,      VXQ_DPS_NPD_RESULT_OK};
    memset(out_pData, 0, VXQ_DPS_NPD_SEARCH_RSP_LEN);
    VXQ_F_DPS_NPD_HeadStore(&tHead, out_pData);
    VXQ_F_DPS_MW_PutLe32(out_pData + VXQ_DPS_NPD_OFF_SEARCHER, in_dwSearcherValue);
    VXQ_F_DPS_MW_PutLe32(out_pData + 20, in_dwServerId);
    VXQ_F_DPS_NPD_PR_PutText(out_pData + 24, 12, in_pCap->sDevIdText, (int32_t)sizeof(in_pCap->sDevIdText));
    VXQ_F_DPS_NPD_PR_PutText(out_pData + 36, 32, in_pCap->sDevText1, (int32_t)sizeof(in_pCap->sDevText1));
    VXQ_F_DPS_NPD_PR_PutText(out_pData + 68, 32, in_pCap->sDevText2, (int32_t)sizeof(in_pCap->sDevText2));
    const int32_t iNumbers[7] = {in_pCap->iVideoChanNum, in_pCap->iAudioChanNum, in_pCap->iDevCapValue1,
                                 in_pCap->iDevCapValue2, in_pCap->iDevCapValue3, in_pCap->iDevCapValue4,
                                 in_pCap->iSubProtoNum};
    for (int32_t i = 0; i < 7; i++)
        VXQ_F_DPS_MW_PutLe32(out_pData + 100 + 4 * i, (uint32_t)iNumbers[i]);
    VXQ_F_DPS_MW_PutLe32(out_pData + 128, in_bDebugLog);
    VXQ_F_DPS_MW_PutLe32(out_pData + 132, in_bDebugMediaLog);
    VXQ_F_DPS_MW_PutLe32(out_pData + 136, in_bShowRunState);
    return VXQ_DPS_NPD_SEARCH_RSP_LEN;
}

/* Characters of in_sText that a log datagram carries. */
static int32_t VXQ_F_DPS_NPD_PR_LogTextLen(const char *in_sText)
{
    int32_t iLen = 0;
    while (iLen < VXQ_DPS_NPD_LOG_TEXT_MAX && in_sText[iLen] != '\0')
        iLen++;
    return iLen;
}

int32_t VXQ_F_DPS_NPD_LogLineLen(const char *in_sText)
{
    return VXQ_DPS_NPD_LOG_TEXT_OFFSET + VXQ_F_DPS_NPD_PR_LogTextLen(in_sText) + 1;
}

int32_t VXQ_F_DPS_NPD_BuildLogLine(uint8_t *out_pData, uint32_t in_dwLineNo, const char *in_sText)
{
    int32_t iTextLen = VXQ_F_DPS_NPD_PR_LogTextLen(in_sText);
    int32_t iLen = VXQ_DPS_NPD_LOG_TEXT_OFFSET + iTextLen + 1;
    _VXQ_S_DPS_NPD_HEAD tHead = {VXQ_DPS_NPD_FLAG, (uint16_t)iLen, VXQ_DPS_NPD_BROAD_LOG, 0, 0, 0};
    VXQ_F_DPS_NPD_HeadStore(&tHead, out_pData);
    VXQ_F_DPS_MW_PutLe32(out_pData + 16, 0);
    VXQ_F_DPS_MW_PutLe32(out_pData + VXQ_DPS_NPD_OFF_LOG_CLIENT_IP, 0);
    VXQ_F_DPS_MW_PutLe32(out_pData + VXQ_DPS_NPD_OFF_LOG_LINE_NO, in_dwLineNo);
    memcpy(out_pData + VXQ_DPS_NPD_LOG_TEXT_OFFSET, in_sText, (size_t)iTextLen);
    out_pData[VXQ_DPS_NPD_LOG_TEXT_OFFSET + iTextLen] = '\0';
    return iLen;
}

uint32_t VXQ_F_DPS_NPD_TakeLogLineNo(uint32_t *inout_pdwCounter)
{
    uint32_t dwLineNo = *inout_pdwCounter;
    if (dwLineNo > VXQ_DPS_NPD_LOG_LINE_NO_MAX)
        dwLineNo = 0;
    *inout_pdwCounter = dwLineNo >= VXQ_DPS_NPD_LOG_LINE_NO_MAX ? 0 : dwLineNo + 1;
    return dwLineNo;
}

int VXQ_F_DPS_NPD_UpdateTraceClient(_VXQ_S_DPS_TRACE_CLIENT_DATA inout_tTable[VXQ_DPS_TRACE_CLIENT_NUM],
                                    uint16_t in_usOperation, uint32_t in_dwIpAddr, uint16_t in_usPort,
                                    int32_t in_tNow)
{
    for (int32_t i = 0; i < VXQ_DPS_TRACE_CLIENT_NUM; i++) {
        _VXQ_S_DPS_TRACE_CLIENT_DATA *pEntry = &inout_tTable[i];
        if (pEntry->bUsed != 1 || pEntry->dwIpAddr != in_dwIpAddr || pEntry->usPort != in_usPort)
            continue;
        if (in_usOperation == 0)
            memset(pEntry, 0, sizeof(*pEntry));
        else
            pEntry->tRefreshTime = in_tNow;
        return 1;
    }
    if (in_usOperation == 0)
        return 0;
    for (int32_t i = 0; i < VXQ_DPS_TRACE_CLIENT_NUM; i++) {
        _VXQ_S_DPS_TRACE_CLIENT_DATA *pEntry = &inout_tTable[i];
        if (pEntry->bUsed == 1)
            continue;
        pEntry->bUsed = 1;
        pEntry->usPort = in_usPort;
        pEntry->dwIpAddr = in_dwIpAddr;
        pEntry->tRefreshTime = in_tNow;
        return 1;
    }
    return 0;
}

void VXQ_F_DPS_NPD_ApplyDebugParam(const uint8_t in_pData[VXQ_DPS_NPD_DEBUG_PARAM_LEN],
                                   uint32_t *inout_pbDebugLog, uint32_t *inout_pbDebugMediaLog,
                                   uint32_t *inout_pbShowRunState)
{
    uint32_t *pSwitch[3] = {inout_pbDebugLog, inout_pbDebugMediaLog, inout_pbShowRunState};
    for (int32_t i = 0; i < 3; i++) {
        if (VXQ_F_DPS_MW_GetLe32(in_pData + VXQ_DPS_NPD_OFF_DEBUG_SET + 4 * i) != 0)
            *pSwitch[i] = VXQ_F_DPS_MW_GetLe32(in_pData + VXQ_DPS_NPD_OFF_DEBUG_VALUE + 4 * i) != 0 ? 1u : 0u;
    }
}

int VXQ_F_DPS_MW_TransMnUdpPacketLittleMode(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int in_iDirection,
                                            uint8_t *inout_pData, int32_t in_iLen)
{
    (void)inout_pMcSrvData;
    (void)in_iDirection;
    /* No text or block of a datagram is relayed in host order, and every field
     * goes through the little-endian accessors: there is nothing to convert. */
    return inout_pData != NULL && in_iLen >= VXQ_DPS_NPD_HEAD_LEN;
}

int VXQ_F_DPS_MC_SendMnUdpBroadDataPacket(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint16_t in_usPort,
                                          uint8_t *inout_pData, int32_t in_iLen)
{
    if (inout_pMcSrvData == NULL ||
        !VXQ_F_DPS_MW_TransMnUdpPacketLittleMode(inout_pMcSrvData, VXQ_DPS_NPD_TO_WIRE, inout_pData, in_iLen))
        return 0;
    return VXQ_F_NETCOM_SendUdpData(inout_pMcSrvData->hNetSrv, inout_pMcSrvData->dwUdpPortId,
                                    s_sBroadcastAddr, in_usPort, (const char *)inout_pData, in_iLen, 0, 0, 0);
}

/* Turns a received request into its answer in place: answer flag 1, result as
 * given. */
static void VXQ_F_DPS_NPD_PR_MakeAnswer(uint8_t *inout_pData, uint32_t in_dwResult)
{
    inout_pData[VXQ_DPS_NPD_OFF_ANSWER] = VXQ_DPS_NPD_ANSWER;
    VXQ_F_DPS_MW_PutLe32(inout_pData + VXQ_DPS_NPD_OFF_RESULT, in_dwResult);
}

int VXQ_F_DPS_MW_DoMnUdpMsg_ECHO(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                 const _VXQ_S_NETCOM_DATA_HEAD *in_pHead,
                                 const _VXQ_S_DPS_NPD_HEAD *in_pNpdHead, uint8_t *inout_pData,
                                 int32_t in_iLen)
{
    /* Anything but a request is left alone, so two devices never echo each other.
     */
    if (in_pNpdHead->ucAnswer != VXQ_DPS_NPD_REQUEST)
        return 0;
    inout_pData[VXQ_DPS_NPD_OFF_ANSWER] = VXQ_DPS_NPD_ANSWER;
    return VXQ_F_DPS_MC_SendMnUdpBroadDataPacket(inout_pMcSrvData, in_pHead->usPeerPort, inout_pData,
                                                 in_iLen);
}

int VXQ_F_DPS_MC_SendSearchDevRsp_V1(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint16_t in_usPort,
                                     const _VXQ_S_DPS_NPD_HEAD *in_pRequHead, const uint8_t *in_pRequBody)
{
    if (inout_pMcSrvData == NULL || in_pRequHead == NULL || in_pRequBody == NULL)
        return 0;
    uint8_t ucRsp[VXQ_DPS_NPD_SEARCH_RSP_LEN];
    VXQ_F_DPS_NPD_BuildSearchRsp(ucRsp, in_pRequHead->dwRequNo, VXQ_F_DPS_MW_GetLe32(in_pRequBody),
                                 inout_pMcSrvData->dwServerId, &inout_pMcSrvData->tDevCapInfo,
                                 inout_pMcSrvData->bDebugLog, inout_pMcSrvData->bDebugMediaLog,
                                 inout_pMcSrvData->bShowRunState);
    return VXQ_F_DPS_MC_SendMnUdpBroadDataPacket(inout_pMcSrvData, in_usPort, ucRsp,
                                                 VXQ_DPS_NPD_SEARCH_RSP_LEN);
}

int VXQ_F_DPS_MW_DoMnUdpMsg_SEARCH_DEV_REQ(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                           const _VXQ_S_NETCOM_DATA_HEAD *in_pHead,
                                           const _VXQ_S_DPS_NPD_HEAD *in_pNpdHead, uint8_t *inout_pData,
                                           int32_t in_iLen)
{
    (void)in_iLen;
    return VXQ_F_DPS_MC_SendSearchDevRsp_V1(inout_pMcSrvData, in_pHead->usPeerPort, in_pNpdHead,
                                            inout_pData + VXQ_DPS_NPD_HEAD_LEN);
}

int VXQ_F_DPS_MW_DoMnUdpMsg_NM_SET_BROAD_TRACE_PARAM(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                     const _VXQ_S_NETCOM_DATA_HEAD *in_pHead,
                                                     const _VXQ_S_DPS_NPD_HEAD *in_pNpdHead,
                                                     uint8_t *inout_pData, int32_t in_iLen)
{
    (void)in_pNpdHead;
    VXQ_F_DPS_NPD_PR_MakeAnswer(inout_pData, VXQ_DPS_NPD_RESULT_OK);
    if (VXQ_F_DPS_MW_GetLe32(inout_pData + VXQ_DPS_NPD_OFF_SERVER_ID) != inout_pMcSrvData->dwServerId)
        return 0;
    if (!VXQ_F_DPS_NPD_UpdateTraceClient(
            inout_pMcSrvData->tTraceClient, VXQ_F_DPS_MW_GetLe16(inout_pData + VXQ_DPS_NPD_OFF_TRACE_OP),
            VXQ_F_DPS_MW_GetLe32(inout_pData + VXQ_DPS_NPD_OFF_TRACE_IP),
            VXQ_F_DPS_MW_GetLe16(inout_pData + VXQ_DPS_NPD_OFF_TRACE_PORT), VXQ_F_CLOCK_NowSec()))
        VXQ_F_DPS_NPD_PR_MakeAnswer(inout_pData, VXQ_DPS_NPD_RESULT_FAIL);
    if (!VXQ_F_DPS_MC_SendMnUdpBroadDataPacket(inout_pMcSrvData, in_pHead->usPeerPort, inout_pData,
                                               in_iLen)) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MW_DoMnUdpMsg_NM_SET_BROAD_TRACE_PARAM "
                              "VXQ_F_DPS_MC_SendMnUdpBroadDataPacket fail.",
                              2);
        return 0;
    }
    return 1;
}

int VXQ_F_DPS_MW_DoMnUdpMsg_NM_SET_DEBUG_PARAM(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                               const _VXQ_S_NETCOM_DATA_HEAD *in_pHead,
                                               const _VXQ_S_DPS_NPD_HEAD *in_pNpdHead, uint8_t *inout_pData,
                                               int32_t in_iLen)
{
    (void)in_pNpdHead;
    VXQ_F_DPS_NPD_PR_MakeAnswer(inout_pData, VXQ_DPS_NPD_RESULT_OK);
    if (VXQ_F_DPS_MW_GetLe32(inout_pData + VXQ_DPS_NPD_OFF_SERVER_ID) != inout_pMcSrvData->dwServerId)
        return 0;
    VXQ_F_DPS_NPD_ApplyDebugParam(inout_pData, &inout_pMcSrvData->bDebugLog,
                                  &inout_pMcSrvData->bDebugMediaLog, &inout_pMcSrvData->bShowRunState);
    /* The control timer's 1 s duty puts the saved switches back 10 s from now. */
    inout_pMcSrvData->tDebugParamTime = VXQ_F_CLOCK_NowSec();
    if (!VXQ_F_DPS_MC_SendMnUdpBroadDataPacket(inout_pMcSrvData, in_pHead->usPeerPort, inout_pData,
                                               in_iLen)) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MW_DoMnUdpMsg_NM_SET_DEBUG_PARAM "
                              "VXQ_F_DPS_MC_SendMnUdpBroadDataPacket fail.",
                              2);
        return 0;
    }
    return 1;
}

/* The host switched trace and debug datagrams off (VXQ_F_DPS_SetTraceDebugEnable). */
static int PR_TraceDebugOff(const _VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData)
{
    return __atomic_load_n(&in_pMcSrvData->bMnTraceDebugOff, __ATOMIC_RELAXED) != 0;
}

int VXQ_F_DPS_MW_DoRecvMnUdpMsg(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                const _VXQ_S_NETCOM_DATA_HEAD *in_pHead, uint8_t *in_pData,
                                int32_t in_iDataLen)
{
    if (inout_pMcSrvData == NULL || in_pHead == NULL ||
        !VXQ_F_DPS_MW_TransMnUdpPacketLittleMode(inout_pMcSrvData, VXQ_DPS_NPD_FROM_WIRE, in_pData,
                                                 in_iDataLen))
        return 0;
    _VXQ_S_DPS_NPD_HEAD tHead;
    VXQ_F_DPS_NPD_HeadLoad(in_pData, in_iDataLen, &tHead);
    int32_t iMinLen = VXQ_F_DPS_NPD_RequestMinLen(tHead.ucFuncId);
    /* The handlers read their fields at fixed offsets: a short datagram never
     * reaches them. */
    if (iMinLen < 0 || in_iDataLen < iMinLen)
        return 0;
    switch (tHead.ucFuncId) {
    case VXQ_DPS_NPD_ECHO:
        return VXQ_F_DPS_MW_DoMnUdpMsg_ECHO(inout_pMcSrvData, in_pHead, &tHead, in_pData, in_iDataLen);
    case VXQ_DPS_NPD_SEARCH_DEV_REQ:
        return VXQ_F_DPS_MW_DoMnUdpMsg_SEARCH_DEV_REQ(inout_pMcSrvData, in_pHead, &tHead, in_pData,
                                                      in_iDataLen);
    case VXQ_DPS_NPD_NM_SET_BROAD_TRACE_PARAM:
        if (PR_TraceDebugOff(inout_pMcSrvData))
            return 0;
        return VXQ_F_DPS_MW_DoMnUdpMsg_NM_SET_BROAD_TRACE_PARAM(inout_pMcSrvData, in_pHead, &tHead, in_pData,
                                                                in_iDataLen);
    case VXQ_DPS_NPD_NM_SET_DEBUG_PARAM:
        if (PR_TraceDebugOff(inout_pMcSrvData))
            return 0;
        return VXQ_F_DPS_MW_DoMnUdpMsg_NM_SET_DEBUG_PARAM(inout_pMcSrvData, in_pHead, &tHead, in_pData,
                                                          in_iDataLen);
    default:
        return 0;
    }
}

int VXQ_F_DPS_MC_SendBroadLogToClient(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, const char *in_sText)
{
    if (inout_pMcSrvData == NULL || in_sText == NULL)
        return 0;
    if (PR_TraceDebugOff(inout_pMcSrvData)) {
        /* Switched off: the registered clients are forgotten, nothing is sent. */
        memset(inout_pMcSrvData->tTraceClient, 0, sizeof(inout_pMcSrvData->tTraceClient));
        return 0;
    }
    int32_t iLen = VXQ_F_DPS_NPD_LogLineLen(in_sText);
    uint8_t *pData = (uint8_t *)malloc((size_t)iLen);
    if (pData == NULL)
        return 0;
    VXQ_F_DPS_NPD_BuildLogLine(pData, VXQ_F_DPS_NPD_TakeLogLineNo(&inout_pMcSrvData->dwLogLineNo), in_sText);
    int32_t tNow = VXQ_F_CLOCK_NowSec();
    for (int32_t i = 0; i < VXQ_DPS_TRACE_CLIENT_NUM; i++) {
        _VXQ_S_DPS_TRACE_CLIENT_DATA *pEntry = &inout_pMcSrvData->tTraceClient[i];
        if (pEntry->bUsed != 1)
            continue;
        VXQ_F_DPS_MW_PutLe32(pData + VXQ_DPS_NPD_OFF_LOG_CLIENT_IP, pEntry->dwIpAddr);
        VXQ_F_DPS_MC_SendMnUdpBroadDataPacket(inout_pMcSrvData, pEntry->usPort, pData, iLen);
        /* The line that finds the entry stale is still sent to it. */
        if (VXQ_F_CLOCK_SecDiff(tNow, pEntry->tRefreshTime) > VXQ_DPS_NPD_TRACE_STALE_SEC)
            memset(pEntry, 0, sizeof(*pEntry));
    }
    free(pData);
    return 1;
}

/* The 100 ms duty: the log writer's records go to the trace clients as log
 * lines, or are dropped when none listens; a record of a foreign length ends
 * the drain. */
static void PR_LogDuty(_VXQ_S_DPS_MCSRV_DATA *p)
{
    int bAnyClient = 0;
    for (int32_t i = 0; i < VXQ_DPS_TRACE_CLIENT_NUM; i++) {
        if (p->tTraceClient[i].bUsed == 1)
            bAnyClient = 1;
    }
    while (VXQ_F_DPS_MC_TakeWorkItem(p, p->hRecvLogQueue)) {
        if (p->iWorkDataLen != VXQ_DPS_LOG_RECORD_LEN)
            break;
        if (bAnyClient) {
            /* The record's text is zero-terminated inside the record; make sure. */
            p->pWorkBuf[VXQ_DPS_LOG_RECORD_LEN - 1] = '\0';
            VXQ_F_DPS_MC_SendBroadLogToClient(p, p->pWorkBuf + VXQ_DPS_LOG_RECORD_TEXT_OFFSET);
        }
    }
}

void VXQ_F_DPS_MC_NPD_Install(_VXQ_S_DPS_HOOKS *inout_pHooks)
{
    if (inout_pHooks == NULL)
        return;
    inout_pHooks->fnDatagram = VXQ_F_DPS_MW_DoRecvMnUdpMsg;
    VXQ_F_DPS_MC_Hooks_AddTick(inout_pHooks, PR_LogDuty);
}
