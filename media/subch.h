/*
 * subch.h - the media sub-channel table: 65 channel slots of 3 streams each.
 *
 * Owns the record of one sub-channel (stream description, open state, the head
 * and tail of its frame cache list) and the numbering and lookup of the table
 * that the service instance points to (pMediaCh; made and freed by
 * media/direct.h). Slot k serves channel k for k = 0..64; slot 64 carries
 * channel number 10000 and answers to it only when the device's
 * bSpecialChFlag is set (the device's channel numbering, core/instance.h).
 *
 * Also owns the arithmetic of the media resource budget (float weights), kept
 * as plain functions over counts so that it does not depend on the instance.
 *
 * Thread: the table is read and written on the control thread only (the cache counters may be read by host threads as
 * single words). Nothing here allocates; the frame cache nodes hanging from a
 * record are owned and freed by the frame cache (media/cache.h).
 */
#ifndef VXQ_MEDIA_SUBCH_H
#define VXQ_MEDIA_SUBCH_H

#include "core/instance.h"

#include <stdint.h>

#define VXQ_DPS_MEDIA_CH_SLOT_NUM 65
#define VXQ_DPS_MEDIA_STREAM_NUM 3
/* Bytes of the stream description in the modify-codec and open-answer bodies. */
#define VXQ_DPS_MEDIA_DESC_LEN 40

/* Free amount reported while resource accounting is off (bits 0x44800000). */
#define VXQ_DPS_MEDIA_RES_UNLIMITED 1024.0f

#ifdef __cplusplus
extern "C" {
#endif

struct _VXQ_S_DPS_MEDIA_CACHE_NODE;

/* One sub-channel: a channel and stream number the host feeds frames for. */
typedef struct _VXQ_S_DPS_MEDIA_SUB_CH_DATA {
    uint16_t usChNo;            /* 0..64, or 10000 for slot 64 */
    uint16_t usStreamNo;        /* 0 main stream, 1 and 2 sub streams */
    int32_t iStreamOpenState;   /* 0 init, 1 opening, 2 open, other: error */
    uint32_t dwOpenStateTime;   /* seconds; when the state last became 1 or 2 */
    /* Stream description (from the open answer or a modify-codec order). */
    int32_t bVideoFlag;
    int32_t bAudioFlag;
    int32_t iVideoCodecId;
    int32_t iVideoFrameRate;
    int32_t iVideoBitRate;
    uint16_t usVideoWidth;
    uint16_t usVideoHeight;
    int32_t iAudioCodecId;
    int32_t iAudioBitRate;
    int32_t iAudioSampleRate;
    int32_t iAudioChNum;
    /* Frame cache (media/cache.h). */
    uint32_t dwCacheNodeSeq;
    struct _VXQ_S_DPS_MEDIA_CACHE_NODE *pCacheListHead; /* oldest */
    struct _VXQ_S_DPS_MEDIA_CACHE_NODE *pCacheListTail; /* newest */
    int32_t iCacheVideoFrameNum;
    int32_t iMediaDataBufSize;  /* byte limit of the cache, 0 = none */
    int32_t bCacheOverflow;
    uint32_t dwNotOpenFrameTime; /* seconds; first frame while not open, 0 = none */
} _VXQ_S_DPS_MEDIA_SUB_CH_DATA;

/* One channel slot of the table. */
typedef struct _VXQ_S_DPS_MEDIA_CH_DATA {
    uint32_t dwChNo;
    _VXQ_S_DPS_MEDIA_SUB_CH_DATA tSubCh[VXQ_DPS_MEDIA_STREAM_NUM];
} _VXQ_S_DPS_MEDIA_CH_DATA;

/* Numbers a zeroed table of VXQ_DPS_MEDIA_CH_SLOT_NUM slots: slot k gets
 * channel k and its records streams 0..2; slot 64 then gets channel 10000.
 * Leaves every other field as it is (zero on a fresh instance). */
void VXQ_F_DPS_MC_MediaChTable_Init(_VXQ_S_DPS_MEDIA_CH_DATA *inout_pTable);

/* Returns the record of channel and stream, or null: with in_bSpecialChFlag
 * set, channel 10000 is slot 64; otherwise the channel must be 0..64. The
 * stream must be 0..2. Inline: every viewer of every frame asks it. */
static inline _VXQ_S_DPS_MEDIA_SUB_CH_DATA *
VXQ_F_DPS_MC_MediaChTable_Query(_VXQ_S_DPS_MEDIA_CH_DATA *in_pTable, int in_bSpecialChFlag, int in_iChNo,
                                int in_iStreamNo)
{
    if (in_pTable == NULL)
        return NULL;
    int iSlot = VXQ_F_DPS_MC_MediaChTable_SlotIndex(in_bSpecialChFlag, in_iChNo);
    if (iSlot < 0 || iSlot >= VXQ_DPS_MEDIA_CH_SLOT_NUM)
        return NULL;
    if (in_iStreamNo < 0 || in_iStreamNo >= VXQ_DPS_MEDIA_STREAM_NUM)
        return NULL;
    return &in_pTable[iSlot].tSubCh[in_iStreamNo];
}

/* Copies the eleven stream description values from in_pDesc, laid out as in
 * the modify-codec and open-answer bodies from their offset 8 on (40 bytes in
 * host byte order: five i32, two u16, four i32), into the record. */
void VXQ_F_DPS_MC_MediaSubCh_SetDescription(_VXQ_S_DPS_MEDIA_SUB_CH_DATA *inout_pSubCh,
                                           const uint8_t *in_pDesc);

/* The free media resources:
 *   max - mainLoss * mainViewers - subViewers - replayLoss * replayClients,
 * in single precision; 1024.0 when in_bMediaResCtrl is 0. */
float VXQ_F_DPS_MC_CalcFreeMediaResourceNum(int in_bMediaResCtrl, float in_fMaxMediaResourceNum,
                                            float in_fMainMediaResourceLoss,
                                            float in_fReplayResourceLoss, int in_iMainNum,
                                            int in_iSubNum, int in_iReplayNum);

/* What one new viewer of in_iStreamNo costs: the main loss for stream 0, 1.0
 * for any other stream. */
float VXQ_F_DPS_MC_MediaResourceCost(float in_fMainMediaResourceLoss, int in_iStreamNo);

/* Checks the values of an enabling resource control call in the order the
 * host is told about them. Returns null when they are acceptable, else the
 * refusal text to show. */
const char *VXQ_F_DPS_MC_CheckMediaResourceArgs(float in_fMaxMediaResourceNum,
                                                float in_fMainMediaResourceLoss,
                                                float in_fReplayResourceLoss);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_MEDIA_SUBCH_H */
