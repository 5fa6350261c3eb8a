/* The events of the live view family (see ops/live.h): the two the opens
 * raise, and the bodies of the relayed requests, each with its "[DEBUG]"
 * request line. */
#include "ops/live.h"

#include "wire/head.h"
#include "vxq_dps.h"
#include "vxq_log.h"

#include <string.h>

#define PR_BODY VXQ_DPS_UMSP_HEAD_LEN

int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_OPEN_MEDIA_STREAM(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                         int32_t in_iChNo, int32_t in_iStreamNo)
{
    if (inout_pMcSrvData == NULL)
        return 0;
    VXQ_DPS_DEBUG(inout_pMcSrvData->bDebugLog, 2,
                  "[DEBUG]  Open the media stream (request): i_iChNo=%d, i_iStreamNo=%d.", (int)in_iChNo,
                  (int)in_iStreamNo);
    _VXQ_S_DPS_E2_OPEN_MEDIA_STREAM tBody;
    memset(&tBody, 0, sizeof(tBody));
    tBody.i_iChNo = in_iChNo;
    tBody.i_iStreamNo = in_iStreamNo;
    return VXQ_F_DPS_MC_SentProEventBody(inout_pMcSrvData, EVENT_E2_OPEN_MEDIA_STREAM, 0, &tBody,
                                         (int32_t)sizeof(tBody));
}

static int32_t PR_FillForceIFrame(_VXQ_S_DPS_MCSRV_DATA *p, uint8_t *out_pBody, int32_t in_iChNo,
                                  int32_t in_iStreamNo)
{
    _VXQ_S_DPS_E2_CH_STREAM tBody = {in_iChNo, in_iStreamNo};
    VXQ_DPS_DEBUG(p->bDebugLog, 2, "[DEBUG] FORCE_I_FRAME control (request): i_iChNo=%d, i_iStreamNo=%d.",
                  (int)in_iChNo, (int)in_iStreamNo);
    memcpy(out_pBody, &tBody, sizeof(tBody));
    return (int32_t)sizeof(tBody);
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FORCE_I_FRAME(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                     int32_t in_iChNo, int32_t in_iStreamNo)
{
    uint8_t ucBody[sizeof(_VXQ_S_DPS_E2_CH_STREAM)];
    if (inout_pMcSrvData == NULL)
        return 0;
    int32_t iLen = PR_FillForceIFrame(inout_pMcSrvData, ucBody, in_iChNo, in_iStreamNo);
    return VXQ_F_DPS_MC_SentProEventBody(inout_pMcSrvData, EVENT_E2_FORCE_I_FRAME, 0, ucBody, iLen);
}

/* A client's forced I-frame: channel (32 bits at body 4) and stream (16 bits at body 8). */
int32_t VXQ_F_DPS_MW_BodyForceIFrame(_VXQ_S_DPS_MCSRV_DATA *p, const _VXQ_S_DPS_NET_PORT_DATA *,
                                     const uint8_t *in_pMsg, int32_t, uint8_t *out_pBody)
{
    return PR_FillForceIFrame(p, out_pBody, (int32_t)VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_BODY + 4),
                              VXQ_F_DPS_MW_GetLe16(in_pMsg + PR_BODY + 8));
}

/* PTZ: channel, command, data and two extra parameters (body 4 to 23). */
int32_t VXQ_F_DPS_MW_BodyPtz(_VXQ_S_DPS_MCSRV_DATA *p, const _VXQ_S_DPS_NET_PORT_DATA *,
                             const uint8_t *in_pMsg, int32_t, uint8_t *out_pBody)
{
    _VXQ_S_DPS_E2_PTZ_CTRL tBody;
    tBody.i_iChNo = (int32_t)VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_BODY + 4);
    tBody.i_iPtzCmd = (int32_t)VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_BODY + 8);
    tBody.i_dwPtzData = VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_BODY + 12);
    tBody.i_dwPtzExtParam1 = VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_BODY + 16);
    tBody.i_dwPtzExtParam2 = VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_BODY + 20);
    VXQ_DPS_DEBUG(
        p->bDebugLog, 2,
        "[DEBUG] PTZ control (request): i_iChNo=%d, i_iPtzCmd=%d, i_dwPtzData=%d, i_dwPtzExtParam1=%d, "
        "i_dwPtzExtParam2=%d.",
        (int)tBody.i_iChNo, (int)tBody.i_iPtzCmd, (int)tBody.i_dwPtzData, (int)tBody.i_dwPtzExtParam1,
        (int)tBody.i_dwPtzExtParam2);
    memcpy(out_pBody, &tBody, sizeof(tBody));
    return (int32_t)sizeof(tBody);
}

/* The quality requests: channel and stream (16 bits each at body 4 and 6); the
 * setting carries the level (body 8). Their request line names the event. */
int32_t VXQ_F_DPS_MW_BodyQuality(_VXQ_S_DPS_MCSRV_DATA *p, const _VXQ_S_DPS_NET_PORT_DATA *,
                                 const uint8_t *in_pMsg, int32_t, uint8_t *out_pBody)
{
    uint16_t usFuncId = VXQ_F_DPS_MW_GetLe16(in_pMsg + VXQ_DPS_UMSP_OFF_FUNC_ID);
    uint16_t usChNo = VXQ_F_DPS_MW_GetLe16(in_pMsg + PR_BODY + 4);
    uint16_t usStreamNo = VXQ_F_DPS_MW_GetLe16(in_pMsg + PR_BODY + 6);
    VXQ_DPS_DEBUG(p->bDebugLog, 2, "[DEBUG] %s control (request): i_iChNo=%d, i_iStreamNo=%d.",
                  usFuncId == P2_GET_VIDEO_QUALITY_CAP     ? "GET_VIDEO_QUALITY_CAP"
                  : usFuncId == P2_GET_VIDEO_QUALITY_LEVEL ? "GET_VIDEO_QUALITY_LEVEL"
                                                           : "SET_VIDEO_QUALITY_LEVEL",
                  (int)usChNo, (int)usStreamNo);
    if (usFuncId == P2_GET_VIDEO_QUALITY_CAP) {
        _VXQ_S_DPS_E2_GET_VIDEO_QUALITY_CAP tCap;
        memset(&tCap, 0, sizeof(tCap));
        tCap.i_usChNo = usChNo;
        tCap.i_usStreamNo = usStreamNo;
        memcpy(out_pBody, &tCap, sizeof(tCap));
        return (int32_t)sizeof(tCap);
    }
    _VXQ_S_DPS_E2_VIDEO_QUALITY_LEVEL tLevel = {usChNo, usStreamNo, 0};
    if (usFuncId == P2_SET_VIDEO_QUALITY_LEVEL)
        tLevel.dwLevel = VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_BODY + 8);
    memcpy(out_pBody, &tLevel, sizeof(tLevel));
    return (int32_t)sizeof(tLevel);
}
