/* The events of record search and download: each builder copies its body
 * (host order) into one event for the callback thread; see ops/record.h. */
#include "ops/record.h"

#include "core/channel.h"
#include "ops/recordkit.h"

#include <string.h>

int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_QUERY(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                  uint32_t in_dwTransId,
                                                  const _VXQ_S_DPS_E2_FILE_QUERY *in_pBody)
{
    if (inout_pMcSrvData == NULL || in_pBody == NULL)
        return 0;
    char sStart[VXQ_DPS_RECORD_TIME_TEXT_SIZE], sEnd[VXQ_DPS_RECORD_TIME_TEXT_SIZE];
    return VXQ_F_DPS_MW_PR_RecRaise(
        inout_pMcSrvData, EVENT_E2_FILE_QUERY, in_dwTransId, in_pBody, (int32_t)sizeof(*in_pBody),
        inout_pMcSrvData->bDebugLog,
        "[DEBUG]  Query file (request): i_iChNo=%d, i_iFileType=%d, i_iCreateMode=%d, i_iAlarmEvent=%d, "
        "i_tStartTime=%s, i_tEndTime=%s.",
        (int)in_pBody->i_iChNo, (int)in_pBody->i_iFileType, (int)in_pBody->i_iCreateMode,
        (int)in_pBody->i_iAlarmEvent, VXQ_F_DPS_MW_RecordTimeText(&in_pBody->i_tStartTime, sStart),
        VXQ_F_DPS_MW_RecordTimeText(&in_pBody->i_tEndTime, sEnd));
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_NSP_FILE_QUERY(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                      uint32_t in_dwTransId,
                                                      const _VXQ_S_DPS_E2_NSP_FILE_QUERY *in_pBody)
{
    if (inout_pMcSrvData == NULL || in_pBody == NULL)
        return 0;
    char sStart[VXQ_DPS_RECORD_TIME_TEXT_SIZE], sEnd[VXQ_DPS_RECORD_TIME_TEXT_SIZE];
    return VXQ_F_DPS_MW_PR_RecRaise(
        inout_pMcSrvData, EVENT_E2_NSP_FILE_QUERY, in_dwTransId, in_pBody, (int32_t)sizeof(*in_pBody),
        inout_pMcSrvData->bDebugLog,
        "[DEBUG]  Query nsp file (request): i_iChNo=%d, i_iStreamNo=%d, i_iFileType=%d, "
        "i_iCreateMode=%d, i_iAlarmEventNum=%d, i_tStartTime=%s, i_tEndTime=%s.",
        (int)in_pBody->i_iChNo, (int)in_pBody->i_iStreamNo, (int)in_pBody->i_iFileType,
        (int)in_pBody->i_iCreateMode, (int)in_pBody->i_iAlarmEventNum,
        VXQ_F_DPS_MW_RecordTimeText(&in_pBody->i_tStartTime, sStart),
        VXQ_F_DPS_MW_RecordTimeText(&in_pBody->i_tEndTime, sEnd));
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_OPEN(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 uint32_t in_dwTransId,
                                                 const _VXQ_S_DPS_E2_FILE_OPEN *in_pBody)
{
    if (inout_pMcSrvData == NULL || in_pBody == NULL)
        return 0;
    return VXQ_F_DPS_MW_PR_RecRaise(
        inout_pMcSrvData, EVENT_E2_FILE_OPEN, in_dwTransId, in_pBody, (int32_t)sizeof(*in_pBody),
        inout_pMcSrvData->bDebugLog,
        "[DEBUG]  Open the file (request): i_sFileFlag=%s, i_dwStartOffsetDataPos=%u, "
        "i_dwStartOffsetTimePos=%u.",
        in_pBody->i_sFileFlag, (unsigned)in_pBody->i_dwStartOffsetDataPos,
        (unsigned)in_pBody->i_dwStartOffsetTimePos);
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_OPEN_BY_TIME(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                         uint32_t in_dwTransId,
                                                         const _VXQ_S_DPS_E2_FILE_OPEN_BY_TIME *in_pBody)
{
    if (inout_pMcSrvData == NULL || in_pBody == NULL)
        return 0;
    char sStart[VXQ_DPS_RECORD_TIME_TEXT_SIZE], sEnd[VXQ_DPS_RECORD_TIME_TEXT_SIZE];
    return VXQ_F_DPS_MW_PR_RecRaise(
        inout_pMcSrvData, EVENT_E2_FILE_OPEN_BY_TIME, in_dwTransId, in_pBody, (int32_t)sizeof(*in_pBody),
        inout_pMcSrvData->bDebugLog,
        "[DEBUG]  Open the file by time (request): i_iChNo=%d, i_iStreamNo=%d, i_iFileType=%d, "
        "i_iCreateMode=%d, i_iAlarmEventNum=%d, i_tStartTime=%s, i_tEndTime=%s.",
        (int)in_pBody->i_iChNo, (int)in_pBody->i_iStreamNo, (int)in_pBody->i_iFileType,
        (int)in_pBody->i_iCreateMode, (int)in_pBody->i_iAlarmEventNum,
        VXQ_F_DPS_MW_RecordTimeText(&in_pBody->i_tStartTime, sStart),
        VXQ_F_DPS_MW_RecordTimeText(&in_pBody->i_tEndTime, sEnd));
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_CLOSE(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                  uint32_t in_dwTransId, uint32_t in_dwFileId)
{
    _VXQ_S_DPS_E2_FILE_ID tBody;
    if (inout_pMcSrvData == NULL)
        return 0;
    tBody.i_dwFileReadId = in_dwFileId;
    return VXQ_F_DPS_MW_PR_RecRaise(inout_pMcSrvData, EVENT_E2_FILE_CLOSE, in_dwTransId, &tBody,
                                    (int32_t)sizeof(tBody), inout_pMcSrvData->bDebugLog,
                                    "[DEBUG]  Close the file (request): i_dwFileReadId=%u.",
                                    (unsigned)in_dwFileId);
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_READ(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 uint32_t in_dwTransId,
                                                 const _VXQ_S_DPS_E2_FILE_READ *in_pBody)
{
    if (inout_pMcSrvData == NULL || in_pBody == NULL)
        return 0;
    return VXQ_F_DPS_MW_PR_RecRaise(
        inout_pMcSrvData, EVENT_E2_FILE_READ, in_dwTransId, in_pBody, (int32_t)sizeof(*in_pBody),
        inout_pMcSrvData->bDebugLog && inout_pMcSrvData->bDebugMediaLog,
        "[DEBUG]  Read file data (request): i_dwFileReadId=%u, i_dwRequId=%u, i_ucReqDataType=%u, "
        "i_ucReqDataSize=%u.",
        (unsigned)in_pBody->i_dwFileReadId, (unsigned)in_pBody->i_dwRequId,
        (unsigned)in_pBody->i_ucReqDataType, (unsigned)in_pBody->i_ucReqDataSize);
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_SEEK(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 uint32_t in_dwTransId,
                                                 const _VXQ_S_DPS_E2_FILE_SEEK *in_pBody)
{
    if (inout_pMcSrvData == NULL || in_pBody == NULL)
        return 0;
    return VXQ_F_DPS_MW_PR_RecRaise(
        inout_pMcSrvData, EVENT_E2_FILE_SEEK, in_dwTransId, in_pBody, (int32_t)sizeof(*in_pBody),
        inout_pMcSrvData->bDebugLog, "[DEBUG]  Seek file (request): i_dwFileReadId=%u, i_dwOffsetTimePos=%u.",
        (unsigned)in_pBody->i_dwFileReadId, (unsigned)in_pBody->i_dwOffsetTimePos);
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_QVIDEO(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                   uint32_t in_dwTransId,
                                                   const _VXQ_S_DPS_E2_FILE_QVIDEO *in_pBody)
{
    if (inout_pMcSrvData == NULL || in_pBody == NULL)
        return 0;
    return VXQ_F_DPS_MW_PR_RecRaise(inout_pMcSrvData, EVENT_E2_FILE_QVIDEO, in_dwTransId, in_pBody,
                                    (int32_t)sizeof(*in_pBody), inout_pMcSrvData->bDebugLog,
                                    "[DEBUG]  Query file video param (request): i_dwFileReadId=%u.",
                                    (unsigned)in_pBody->i_dwFileReadId);
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_ONLY_IFRAME(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                        uint32_t in_dwTransId,
                                                        const _VXQ_S_DPS_E2_FILE_ONLY_IFRAME *in_pBody)
{
    if (inout_pMcSrvData == NULL || in_pBody == NULL)
        return 0;
    return VXQ_F_DPS_MW_PR_RecRaise(
        inout_pMcSrvData, EVENT_E2_FILE_ONLY_IFRAME, in_dwTransId, in_pBody, (int32_t)sizeof(*in_pBody),
        inout_pMcSrvData->bDebugLog,
        "[DEBUG]  File only i frame (request): i_dwFileReadId=%u, i_iDiscardIFrame=%d.",
        (unsigned)in_pBody->i_dwFileReadId, (int)in_pBody->i_iDiscardIFrame);
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_RECOVER_ALLFRAME(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                             uint32_t in_dwTransId, uint32_t in_dwFileId)
{
    _VXQ_S_DPS_E2_FILE_ID tBody;
    if (inout_pMcSrvData == NULL)
        return 0;
    tBody.i_dwFileReadId = in_dwFileId;
    return VXQ_F_DPS_MW_PR_RecRaise(inout_pMcSrvData, EVENT_E2_FILE_RECOVER_ALLFRAME, in_dwTransId, &tBody,
                                    (int32_t)sizeof(tBody), inout_pMcSrvData->bDebugLog,
                                    "[DEBUG]  File recover all frame (request): i_dwFileReadId=%u.",
                                    (unsigned)in_dwFileId);
}
