/*
 * The UMSP head codec and the message byte-order point. Pure functions over
 * caller-owned buffers.
 */
#include "wire/head.h"

#include <stdio.h>
#include <string.h>

#include "wire/cfgblock.h"
#include "vxq_log.h"

uint16_t VXQ_F_DPS_MW_GetLe16(const uint8_t *in_pucField)
{
    return (uint16_t)(in_pucField[0] | (in_pucField[1] << 8));
}

uint32_t VXQ_F_DPS_MW_GetLe32(const uint8_t *in_pucField)
{
    return (uint32_t)in_pucField[0] | ((uint32_t)in_pucField[1] << 8) | ((uint32_t)in_pucField[2] << 16) |
           ((uint32_t)in_pucField[3] << 24);
}

void VXQ_F_DPS_MW_PutLe16(uint8_t *out_pucField, uint16_t in_usValue)
{
    out_pucField[0] = (uint8_t)in_usValue;
    out_pucField[1] = (uint8_t)(in_usValue >> 8);
}

void VXQ_F_DPS_MW_PutLe32(uint8_t *out_pucField, uint32_t in_dwValue)
{
    out_pucField[0] = (uint8_t)in_dwValue;
    out_pucField[1] = (uint8_t)(in_dwValue >> 8);
    out_pucField[2] = (uint8_t)(in_dwValue >> 16);
    out_pucField[3] = (uint8_t)(in_dwValue >> 24);
}

int VXQ_F_DPS_MW_HeadLoad(const uint8_t *in_pucMsg, uint32_t in_dwLen,
                          _VXQ_S_PVM_DP_UMSP_MSG_HEAD *out_ptHead)
{
    memset(out_ptHead, 0, sizeof(*out_ptHead));
    if (in_pucMsg == NULL || in_dwLen < VXQ_DPS_UMSP_HEAD_LEN)
        return 0;
    out_ptHead->dwPacketFlag = VXQ_F_DPS_MW_GetLe32(in_pucMsg + VXQ_DPS_UMSP_OFF_PACKET_FLAG);
    out_ptHead->dwPacketSize = VXQ_F_DPS_MW_GetLe32(in_pucMsg + VXQ_DPS_UMSP_OFF_PACKET_SIZE);
    out_ptHead->usMsgFuncId = VXQ_F_DPS_MW_GetLe16(in_pucMsg + VXQ_DPS_UMSP_OFF_FUNC_ID);
    out_ptHead->ucPacketType = in_pucMsg[VXQ_DPS_UMSP_OFF_PACKET_TYPE];
    out_ptHead->ucResult = in_pucMsg[VXQ_DPS_UMSP_OFF_RESULT];
    out_ptHead->dwTransNo = VXQ_F_DPS_MW_GetLe32(in_pucMsg + VXQ_DPS_UMSP_OFF_TRANS_NO);
    memcpy(out_ptHead->ucReserved, in_pucMsg + VXQ_DPS_UMSP_OFF_RESERVED, 4);
    return 1;
}

void VXQ_F_DPS_MW_HeadStore(const _VXQ_S_PVM_DP_UMSP_MSG_HEAD *in_ptHead, uint8_t *out_pucMsg)
{
    VXQ_F_DPS_MW_PutLe32(out_pucMsg + VXQ_DPS_UMSP_OFF_PACKET_FLAG, in_ptHead->dwPacketFlag);
    VXQ_F_DPS_MW_PutLe32(out_pucMsg + VXQ_DPS_UMSP_OFF_PACKET_SIZE, in_ptHead->dwPacketSize);
    VXQ_F_DPS_MW_PutLe16(out_pucMsg + VXQ_DPS_UMSP_OFF_FUNC_ID, in_ptHead->usMsgFuncId);
    out_pucMsg[VXQ_DPS_UMSP_OFF_PACKET_TYPE] = in_ptHead->ucPacketType;
    out_pucMsg[VXQ_DPS_UMSP_OFF_RESULT] = in_ptHead->ucResult;
    VXQ_F_DPS_MW_PutLe32(out_pucMsg + VXQ_DPS_UMSP_OFF_TRANS_NO, in_ptHead->dwTransNo);
    memcpy(out_pucMsg + VXQ_DPS_UMSP_OFF_RESERVED, in_ptHead->ucReserved, 4);
}

void VXQ_F_DPS_MW_HeadBuildFresh(uint8_t *out_pucMsg, uint32_t in_dwPacketSize, uint16_t in_usMsgFuncId,
                                 uint8_t in_ucPacketType, uint8_t in_ucResult)
{
    _VXQ_S_PVM_DP_UMSP_MSG_HEAD tHead;
    memset(&tHead, 0, sizeof(tHead));
    tHead.dwPacketFlag = VXQ_DPS_UMSP_PACKET_FLAG;
    tHead.dwPacketSize = in_dwPacketSize;
    tHead.usMsgFuncId = in_usMsgFuncId;
    tHead.ucPacketType = (uint8_t)(in_ucPacketType & 0x03);
    tHead.ucResult = in_ucResult;
    VXQ_F_DPS_MW_HeadStore(&tHead, out_pucMsg);
}

void VXQ_F_DPS_MW_HeadMakeAnswer(uint8_t *inout_pucMsg, uint8_t in_ucResult)
{
    uint8_t ucByte = inout_pucMsg[VXQ_DPS_UMSP_OFF_PACKET_TYPE];
    inout_pucMsg[VXQ_DPS_UMSP_OFF_PACKET_TYPE] = (uint8_t)((ucByte & 0xFC) | VXQ_DPS_UMSP_PACKET_ANSWER);
    inout_pucMsg[VXQ_DPS_UMSP_OFF_RESULT] = in_ucResult;
}

uint8_t VXQ_F_DPS_MW_HeadPacketType(const uint8_t *in_pucMsg)
{
    return (uint8_t)(in_pucMsg[VXQ_DPS_UMSP_OFF_PACKET_TYPE] & 0x03);
}

int VXQ_F_DPS_MW_IsBigEndianHost(void)
{
    /* The bytes 'l', two fillers, 'b' read as one word: its low byte is the
     * last of the four ('b') only on a big-endian host. */
    static const char s_cProbe[4] = {'l', '?', '?', 'b'};
    uint32_t dwWord;
    memcpy(&dwWord, s_cProbe, sizeof(dwWord));
    return (char)(dwWord & 0xFF) == 'b' ? 1 : 0;
}

/* Answers whose body ends in a counted run of fixed-size records: the 32-bit
 * record count at dwCountOff and the records from dwRecordsOff to the end. */
typedef struct _VXQ_S_DPS_UMSP_COUNTED_ANSWER {
    uint16_t usMsgFuncId;
    uint32_t dwCountOff;
    uint32_t dwRecordsOff;
    uint32_t dwRecordLen;
    const char *sWhat; /* "file" or "card", for the log line */
} _VXQ_S_DPS_UMSP_COUNTED_ANSWER;

static const _VXQ_S_DPS_UMSP_COUNTED_ANSWER s_tCounted[] = {
    {P3_QUERY_FILE, 64, 68, 220, "file"},     /* iFileNum, tFileInfo records */
    {P3_NSP_QUERY_FILE, 84, 88, 192, "file"}, /* iFileNum, tNspFileInfo records */
    {P9_QUERY_NET_INFO, 20, 24, 90, "card"},  /* card count, tCardInfo records */
};

/* The count check of the answer layouts: a successful answer going to the
 * wire whose record count does not match its length is refused with
 * "Function ID: 0x%4.4X, file info len error." (or card info). Requests and
 * failed answers carry no records and pass. Returns 1 when the message may go. */
static int PR_CheckRecordCount(int in_bFromWire, const uint8_t *in_pucMsg, uint32_t in_dwLen)
{
    if (in_bFromWire || VXQ_F_DPS_MW_HeadPacketType(in_pucMsg) != VXQ_DPS_UMSP_PACKET_ANSWER ||
        in_pucMsg[VXQ_DPS_UMSP_OFF_RESULT] != 0)
        return 1;
    uint16_t usFuncId = VXQ_F_DPS_MW_GetLe16(in_pucMsg + VXQ_DPS_UMSP_OFF_FUNC_ID);
    for (size_t i = 0; i < sizeof(s_tCounted) / sizeof(s_tCounted[0]); i++) {
        const _VXQ_S_DPS_UMSP_COUNTED_ANSWER *ptAnswer = &s_tCounted[i];
        if (ptAnswer->usMsgFuncId != usFuncId)
            continue;
        if (in_dwLen < ptAnswer->dwRecordsOff)
            return 1; /* shorter than the answer layout: an in-place refusal */
        uint64_t qwCount = VXQ_F_DPS_MW_GetLe32(in_pucMsg + ptAnswer->dwCountOff);
        if (qwCount * ptAnswer->dwRecordLen == (uint64_t)(in_dwLen - ptAnswer->dwRecordsOff))
            return 1;
        char sLine[64];
        snprintf(sLine, sizeof(sLine), "Function ID: 0x%4.4X, %s info len error.", usFuncId, ptAnswer->sWhat);
        VXQ_F_LOG_SR_WriteLog(sLine, 2);
        return 0;
    }
    return 1;
}

int VXQ_F_DPS_MW_TransSingleNetDataPacketLittleMode(int in_bFromWire, uint8_t *inout_pucMsg, uint32_t in_dwLen)
{
    if (inout_pucMsg == NULL || in_dwLen < VXQ_DPS_UMSP_HEAD_LEN)
        return 0;
    /* The count check runs on every host, so that both byte orders refuse the
     * same messages; only the conversion is big-endian work. */
    if (!PR_CheckRecordCount(in_bFromWire, inout_pucMsg, in_dwLen))
        return 0;
    if (!VXQ_F_DPS_MW_IsBigEndianHost())
        return 1;
    return VXQ_F_DPS_MW_PR_TransPacketBody(in_bFromWire, inout_pucMsg, in_dwLen);
}

int VXQ_F_DPS_MW_PR_TransPacketBody(int in_bFromWire, uint8_t *inout_pucMsg, uint32_t in_dwLen)
{
    if (inout_pucMsg == NULL || in_dwLen < VXQ_DPS_UMSP_HEAD_LEN)
        return 0;
    uint16_t usFuncId = VXQ_F_DPS_MW_GetLe16(inout_pucMsg + VXQ_DPS_UMSP_OFF_FUNC_ID);
    uint32_t dwBlockOffset;
    if (usFuncId == P9_GET_CONFIG || usFuncId == P9_SET_CONFIG)
        dwBlockOffset = VXQ_DPS_UMSP_HEAD_LEN + 12;
    else if (usFuncId == P9_GET_DEF_CONFIG)
        dwBlockOffset = VXQ_DPS_UMSP_HEAD_LEN + 16;
    else
        return 1;
    if (in_dwLen <= dwBlockOffset)
        return 1; /* no block */
    int32_t iConfigFuncId = (int32_t)VXQ_F_DPS_MW_GetLe32(inout_pucMsg + VXQ_DPS_UMSP_HEAD_LEN + 4);
    /* A counted block is left in wire order on its way in, so only a block the
     * host wrote (a successful get answer) is in host order on its way out. A
     * set answer or a refusal echoes the client's own bytes: converting them
     * again would corrupt them, or refuse the answer when the count no longer
     * fits, and the client would wait for an answer that never comes. */
    const _VXQ_S_DPS_CFG_LAYOUT *ptLayout = VXQ_F_DPS_MW_FindConfigLayout(iConfigFuncId);
    if (!in_bFromWire && ptLayout != NULL && ptLayout->bCounted &&
        (usFuncId == P9_SET_CONFIG || inout_pucMsg[VXQ_DPS_UMSP_OFF_RESULT] != 0))
        return 1;
    if (!VXQ_F_DPS_MW_PR_SwapConfigParam(in_bFromWire ? VXQ_DPS_CFG_FROM_WIRE : VXQ_DPS_CFG_TO_WIRE,
                                         iConfigFuncId, inout_pucMsg + dwBlockOffset,
                                         (int32_t)(in_dwLen - dwBlockOffset))) {
        char sLine[64];
        snprintf(sLine, sizeof(sLine), "Function ID: 0x%4.4X, trans config fail.", usFuncId);
        VXQ_F_LOG_SR_ShowInfo(sLine);
        return 0;
    }
    return 1;
}
