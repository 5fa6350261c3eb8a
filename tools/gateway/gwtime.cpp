/* gwtime.cpp - device time stamps onto pipeline running time; the frame check. */
#include "gwtime.h"

#include <string.h>

void VXQ_F_GWTIME_Init(_VXQ_S_GWTIME_MAP *out_ptMap)
{
    memset(out_ptMap, 0, sizeof(*out_ptMap));
}

void VXQ_F_GWTIME_Anchor(_VXQ_S_GWTIME_MAP *inout_ptMap, uint32_t in_dwFirstStamp, uint32_t in_dwNewestStamp,
                         uint64_t in_qwNowNs)
{
    int32_t iSpan = (int32_t)(in_dwNewestStamp - in_dwFirstStamp);
    uint64_t qwSpanNs = iSpan > 0 ? (uint64_t)iSpan * VXQ_GWTIME_NS_PER_MS : 0;
    inout_ptMap->bAnchored = 1;
    inout_ptMap->dwAnchorStamp = in_dwFirstStamp;
    inout_ptMap->qwAnchorNs = in_qwNowNs > qwSpanNs ? in_qwNowNs - qwSpanNs : 0;
    inout_ptMap->tTrack[0].bStarted = 0;
    inout_ptMap->tTrack[1].bStarted = 0;
}

/* The anchor's running time moved by a signed number of milliseconds, not below 0. */
static uint64_t PR_FromAnchor(const _VXQ_S_GWTIME_MAP *in_ptMap, int32_t in_iMs)
{
    if (in_iMs >= 0)
        return in_ptMap->qwAnchorNs + (uint64_t)in_iMs * VXQ_GWTIME_NS_PER_MS;
    uint64_t qwBack = (uint64_t)(-(int64_t)in_iMs) * VXQ_GWTIME_NS_PER_MS;
    return in_ptMap->qwAnchorNs > qwBack ? in_ptMap->qwAnchorNs - qwBack : 0;
}

uint64_t VXQ_F_GWTIME_Map(_VXQ_S_GWTIME_MAP *inout_ptMap, int in_iTrack, uint32_t in_dwStamp,
                          uint64_t in_qwNowNs, uint32_t in_dwNominalMs, int *out_pbMoved)
{
    _VXQ_S_GWTIME_TRACK *pTrack = &inout_ptMap->tTrack[in_iTrack ? 1 : 0];
    int bMoved = 0;
    uint64_t qwNs;
    if (!inout_ptMap->bAnchored)
        VXQ_F_GWTIME_Anchor(inout_ptMap, in_dwStamp, in_dwStamp, in_qwNowNs);
    if (!pTrack->bStarted) {
        /* Video and audio of one device view share one clock: the first frame
         * of a track keeps its distance to the anchor. */
        int32_t iFromAnchor = (int32_t)(in_dwStamp - inout_ptMap->dwAnchorStamp);
        if (iFromAnchor > VXQ_GWTIME_MAX_STEP_MS || iFromAnchor < -VXQ_GWTIME_MAX_STEP_MS) {
            qwNs = in_qwNowNs;
            bMoved = 1;
        } else {
            qwNs = PR_FromAnchor(inout_ptMap, iFromAnchor);
        }
    } else {
        int32_t iStep = (int32_t)(in_dwStamp - pTrack->dwLastStamp);
        if (iStep < 0 || iStep > VXQ_GWTIME_MAX_STEP_MS) {
            iStep = (int32_t)in_dwNominalMs;
            bMoved = 1;
        }
        qwNs = pTrack->qwLastNs + (uint64_t)iStep * VXQ_GWTIME_NS_PER_MS;
    }
    uint64_t qwDrift = qwNs > in_qwNowNs ? qwNs - in_qwNowNs : in_qwNowNs - qwNs;
    if (qwDrift > (uint64_t)VXQ_GWTIME_MAX_DRIFT_MS * VXQ_GWTIME_NS_PER_MS) {
        VXQ_F_GWTIME_Anchor(inout_ptMap, in_dwStamp, in_dwStamp, in_qwNowNs);
        qwNs = in_qwNowNs;
        bMoved = 1;
    }
    pTrack->bStarted = 1;
    pTrack->dwLastStamp = in_dwStamp;
    pTrack->qwLastNs = qwNs;
    if (out_pbMoved)
        *out_pbMoved = bMoved;
    return qwNs;
}

/* 1 when the data opens with an Annex-B start code (00 00 01 or 00 00 00 01)
 * followed by a NAL unit header. */
static int PR_IsAnnexB(const uint8_t *in_pData, uint32_t in_dwLen)
{
    if (in_dwLen >= 4 && in_pData[0] == 0 && in_pData[1] == 0 && in_pData[2] == 1)
        return (in_pData[3] & 0x80) == 0;
    if (in_dwLen >= 5 && in_pData[0] == 0 && in_pData[1] == 0 && in_pData[2] == 0 && in_pData[3] == 1)
        return (in_pData[4] & 0x80) == 0;
    return 0;
}

int VXQ_F_GWFRAME_Check(const uint8_t *in_pMsg, size_t in_iLen, int in_iPcmuId, int in_iPcmaId,
                        _VXQ_S_CLI_MEDIA_HEAD *out_ptFrame, int *out_piAudio)
{
    *out_piAudio = VXQ_GW_AUDIO_NONE;
    if (!VXQ_F_CLI_ParseFrame(in_pMsg, in_iLen, out_ptFrame))
        return VXQ_GWFRAME_MALFORMED;
    if (out_ptFrame->dwDataLen == 0)
        return VXQ_GWFRAME_EMPTY;
    if (out_ptFrame->bVideo)
        return PR_IsAnnexB(out_ptFrame->pData, out_ptFrame->dwDataLen) ? VXQ_GWFRAME_PASS
                                                                       : VXQ_GWFRAME_NOT_H264;
    if (out_ptFrame->ucCodecId == (in_iPcmuId & 0x0F) && in_iPcmuId >= 0)
        *out_piAudio = VXQ_GW_AUDIO_PCMU;
    else if (out_ptFrame->ucCodecId == (in_iPcmaId & 0x0F) && in_iPcmaId >= 0)
        *out_piAudio = VXQ_GW_AUDIO_PCMA;
    else
        return VXQ_GWFRAME_AUDIO_CODEC;
    return out_ptFrame->dwDataLen <= VXQ_GW_MAX_AUDIO_FRAME ? VXQ_GWFRAME_PASS : VXQ_GWFRAME_AUDIO_SIZE;
}

const char *VXQ_F_GWFRAME_Text(int in_iVerdict)
{
    static const char *const s_sText[] = {"passed",
                                          "malformed frame message",
                                          "frame without data",
                                          "video that is not an H.264 byte stream",
                                          "audio that is not G.711",
                                          "audio frame longer than one second"};
    return in_iVerdict >= 0 && in_iVerdict < (int)(sizeof(s_sText) / sizeof(s_sText[0]))
               ? s_sText[in_iVerdict]
               : "unknown";
}
