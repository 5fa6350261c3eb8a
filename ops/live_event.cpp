/* Event builders of the live view family (see ops/live.h): each fills its
 * body on the stack and queues a copy for the callback thread. */
#include "ops/live.h"

#include "core/channel.h"
#include "vxq_dps.h"
#include "vxq_log.h"

#include <stdio.h>
#include <string.h>

static void PR_DebugLine(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData, const char *in_sFormat, int32_t in_iA, int32_t in_iB)
{
    if (!in_pMcSrvData->bDebugLog)
        return;
    char sText[160];
    snprintf(sText, sizeof(sText), in_sFormat, (int)in_iA, (int)in_iB);
    VXQ_F_LOG_SR_WriteLog(sText, 2);
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_OPEN_MEDIA_STREAM(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iChNo,
                                                        int32_t in_iStreamNo)
{
    if (inout_pMcSrvData == NULL)
        return 0;
    PR_DebugLine(inout_pMcSrvData, "[DEBUG]  Open the media stream (request): i_iChNo=%d, i_iStreamNo=%d.", in_iChNo,
                 in_iStreamNo);
    _VXQ_S_DPS_E2_OPEN_MEDIA_STREAM tBody;
    memset(&tBody, 0, sizeof(tBody));
    tBody.i_iChNo = in_iChNo;
    tBody.i_iStreamNo = in_iStreamNo;
    return VXQ_F_DPS_MC_SentProEventBody(inout_pMcSrvData, EVENT_E2_OPEN_MEDIA_STREAM, 0, &tBody,
                                         (int32_t)sizeof(tBody));
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FORCE_I_FRAME(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iChNo,
                                                    int32_t in_iStreamNo)
{
    if (inout_pMcSrvData == NULL)
        return 0;
    PR_DebugLine(inout_pMcSrvData, "[DEBUG] FORCE_I_FRAME control (request): i_iChNo=%d, i_iStreamNo=%d.", in_iChNo,
                 in_iStreamNo);
    _VXQ_S_DPS_E2_CH_STREAM tBody = {in_iChNo, in_iStreamNo};
    return VXQ_F_DPS_MC_SentProEventBody(inout_pMcSrvData, EVENT_E2_FORCE_I_FRAME, 0, &tBody, (int32_t)sizeof(tBody));
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_PTZ_CTRL(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwTransId,
                                               int32_t in_iChNo, int32_t in_iPtzCmd, uint32_t in_dwPtzData,
                                               uint32_t in_dwPtzExtParam1, uint32_t in_dwPtzExtParam2)
{
    if (inout_pMcSrvData == NULL)
        return 0;
    if (inout_pMcSrvData->bDebugLog) {
        char sText[200];
        snprintf(sText, sizeof(sText),
                 "[DEBUG] PTZ control (request): i_iChNo=%d, i_iPtzCmd=%d, i_dwPtzData=%d, i_dwPtzExtParam1=%d, "
                 "i_dwPtzExtParam2=%d.",
                 (int)in_iChNo, (int)in_iPtzCmd, (int)in_dwPtzData, (int)in_dwPtzExtParam1, (int)in_dwPtzExtParam2);
        VXQ_F_LOG_SR_WriteLog(sText, 2);
    }
    _VXQ_S_DPS_E2_PTZ_CTRL tBody = {in_iChNo, in_iPtzCmd, in_dwPtzData, in_dwPtzExtParam1, in_dwPtzExtParam2};
    return VXQ_F_DPS_MC_SentProEventBody(inout_pMcSrvData, EVENT_E2_PTZ_CTRL, in_dwTransId, &tBody,
                                         (int32_t)sizeof(tBody));
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_GET_VIDEO_QUALITY_CAP(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                            uint32_t in_dwTransId, int32_t in_iChNo,
                                                            int32_t in_iStreamNo)
{
    if (inout_pMcSrvData == NULL)
        return 0;
    PR_DebugLine(inout_pMcSrvData, "[DEBUG] GET_VIDEO_QUALITY_CAP control (request): i_iChNo=%d, i_iStreamNo=%d.",
                 in_iChNo, in_iStreamNo);
    _VXQ_S_DPS_E2_GET_VIDEO_QUALITY_CAP tBody;
    memset(&tBody, 0, sizeof(tBody));
    tBody.i_usChNo = (uint16_t)in_iChNo;
    tBody.i_usStreamNo = (uint16_t)in_iStreamNo;
    return VXQ_F_DPS_MC_SentProEventBody(inout_pMcSrvData, EVENT_E2_GET_VIDEO_QUALITY_CAP, in_dwTransId, &tBody,
                                         (int32_t)sizeof(tBody));
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_GET_VIDEO_QUALITY_LEVEL(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                              uint32_t in_dwTransId, int32_t in_iChNo,
                                                              int32_t in_iStreamNo)
{
    if (inout_pMcSrvData == NULL)
        return 0;
    PR_DebugLine(inout_pMcSrvData, "[DEBUG] GET_VIDEO_QUALITY_LEVEL control (request): i_iChNo=%d, i_iStreamNo=%d.",
                 in_iChNo, in_iStreamNo);
    _VXQ_S_DPS_E2_VIDEO_QUALITY_LEVEL tBody = {(uint16_t)in_iChNo, (uint16_t)in_iStreamNo, 0};
    return VXQ_F_DPS_MC_SentProEventBody(inout_pMcSrvData, EVENT_E2_GET_VIDEO_QUALITY_LEVEL, in_dwTransId, &tBody,
                                         (int32_t)sizeof(tBody));
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_SET_VIDEO_QUALITY_LEVEL(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                              uint32_t in_dwTransId, int32_t in_iChNo,
                                                              int32_t in_iStreamNo, uint32_t in_dwLevel)
{
    if (inout_pMcSrvData == NULL)
        return 0;
    PR_DebugLine(inout_pMcSrvData, "[DEBUG] SET_VIDEO_QUALITY_LEVEL control (request): i_iChNo=%d, i_iStreamNo=%d.",
                 in_iChNo, in_iStreamNo);
    _VXQ_S_DPS_E2_VIDEO_QUALITY_LEVEL tBody = {(uint16_t)in_iChNo, (uint16_t)in_iStreamNo, in_dwLevel};
    return VXQ_F_DPS_MC_SentProEventBody(inout_pMcSrvData, EVENT_E2_SET_VIDEO_QUALITY_LEVEL, in_dwTransId, &tBody,
                                         (int32_t)sizeof(tBody));
}
