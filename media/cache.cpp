/* Shared frame cache and viewer pacing; see cache.h for the contract. */
#include "media/cache.h"

#include "media/direct.h"
#include "media/framemsg.h"
#include "media/framepool.h"
#include "media/input.h"
#include "vxq_clock.h"
#include "vxq_log.h"
#include "net/selengine.h"
#include "vxq_netcom.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int PR_EngineSend(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *in_pConn,
                         const uint8_t *in_pMsg, int32_t in_iMsgLen, uint32_t in_dwSendSeq)
{
    /* Send kind 0; the sequence comes back in the completion notice. */
    return VXQ_F_NETCOM_SendTcpDataEx(inout_pMcSrvData->hNetSrv, in_pConn->dwPortId, (const char *)in_pMsg,
                                      in_iMsgLen, 0, 0, in_dwSendSeq, 1);
}


/* Hands a built frame message (malloc memory) to the engine and gives up the
 * buffer: with the engine as the sender it is queued as it is, without a
 * second copy; a test hook only sees it and it is freed here. 1 accepted. */
static int PR_SendBuilt(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                        uint8_t *in_pMsg, int32_t in_iMsgLen)
{
    if (inout_pMcSrvData->tHooks.fnFrameSend != NULL) {
        int iResult = VXQ_F_DPS_MC_CAPM_SentMediaDataToNet(inout_pMcSrvData, inout_pConn, in_pMsg, in_iMsgLen);
        free(in_pMsg);
        return iResult;
    }
    inout_pConn->tMedia.dwSendSeq++;
    if (inout_pConn->tMedia.dwSendSeq == 0)
        inout_pConn->tMedia.dwSendSeq = 1;
    if (!VXQ_F_NETCOM_SendTcpDataTaken(inout_pMcSrvData->hNetSrv, inout_pConn->dwPortId, (char *)in_pMsg,
                                       in_iMsgLen, 0, inout_pConn->tMedia.dwSendSeq, 1)) {
        free(in_pMsg);
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MC_CAPM_SentMediaDataToNet VXQ_F_NETCOM_SendTcpDataEx fail.", 2);
        return 0;
    }
    /* Only a queued message will ever complete and lower the count again. */
    inout_pConn->tMedia.iSendingNum++;
    return 1;
}

void VXQ_F_DPS_MC_CAPM_ReleaseCacheNode(void *in_pNode)
{
    _VXQ_S_DPS_MEDIA_CACHE_NODE *pNode = (_VXQ_S_DPS_MEDIA_CACHE_NODE *)in_pNode;
    if (pNode == NULL || --pNode->iRefCount > 0)
        return;
    if (pNode->bPooled)
        VXQ_F_DPS_MC_FramePool_Give(pNode);
    else
        VXQ_F_DPS_MC_MediaMem_Free(pNode);
}

/* Hands a viewer's own 32-byte message head with a reference to the cached
 * node's data to the engine. When nothing waits in the viewer's send queue
 * the engine writes both at once in one gathered call; what the socket does
 * not take is queued with the reference, given back when the message is gone.
 * Only a queued message is outstanding (iSendingNum) and completes later: a
 * message written whole is done with here. 1 accepted. */
static int PR_SendGathered(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                           const uint8_t *in_pHead, _VXQ_S_DPS_MEDIA_CACHE_NODE *inout_pNode)
{
    inout_pConn->tMedia.dwSendSeq++;
    if (inout_pConn->tMedia.dwSendSeq == 0)
        inout_pConn->tMedia.dwSendSeq = 1;
    /* Taken before the hand-over: the engine may give it back at any time after. */
    inout_pNode->iRefCount++;
    int iResult = VXQ_F_NETCOM_SendTcpDataGatherNow(
        inout_pMcSrvData->hNetSrv, inout_pConn->dwPortId, (const char *)in_pHead, VXQ_DPS_FRAME_MSG_HEAD_LEN,
        (const char *)inout_pNode->pData, inout_pNode->iDataLen, VXQ_F_DPS_MC_CAPM_ReleaseCacheNode,
        inout_pNode, 0, inout_pConn->tMedia.dwSendSeq, 1);
    if (iResult != 1)
        inout_pNode->iRefCount--; /* not queued: the engine keeps no reference */
    if (iResult == 0) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MC_CAPM_SentMediaDataToNet VXQ_F_NETCOM_SendTcpDataEx fail.", 2);
        return 0;
    }
    /* Only a queued message will ever complete and lower the count again. */
    if (iResult == 1)
        inout_pConn->tMedia.iSendingNum++;
    return 1;
}

/* One frame message to a viewer: its head (time stamp: the frame's, or the
 * viewer's tick stamp when 0) and the data. With a cached node and the engine
 * as the sender the data goes by reference, else it is copied into a whole
 * message. 1 accepted, 0 failed (logged as the video or audio sender). */
static int PR_SendFrame(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                        const _VXQ_S_DPS_MEDIA_SUB_CH_DATA *in_pSubCh, int32_t in_iMediaType,
                        int32_t in_iFrameType, uint32_t in_dwTimeStamp, const uint8_t *in_pData,
                        int32_t in_iDataLen, _VXQ_S_DPS_MEDIA_CACHE_NODE *inout_pNode)
{
    int bVideo = in_iMediaType == VXQ_DPS_MEDIA_TYPE_VIDEO;
    uint32_t dwStamp =
        in_dwTimeStamp != 0
            ? in_dwTimeStamp
            : VXQ_F_DPS_MC_FrameMsg_TickTimeStamp(&inout_pConn->tMedia.dwTickBase, VXQ_F_CLOCK_TickMs());
    int bSent;
    if (inout_pNode != NULL && inout_pMcSrvData->tHooks.fnFrameSend == NULL) {
        uint8_t aHead[VXQ_DPS_FRAME_MSG_HEAD_LEN];
        if (bVideo)
            VXQ_F_DPS_MC_FrameMsg_WriteVideoHead(aHead, in_pSubCh, in_iFrameType, dwStamp,
                                                 inout_pNode->iDataLen);
        else
            VXQ_F_DPS_MC_FrameMsg_WriteAudioHead(aHead, in_pSubCh, dwStamp, inout_pNode->iDataLen);
        bSent = PR_SendGathered(inout_pMcSrvData, inout_pConn, aHead, inout_pNode);
    } else {
        int32_t iMsgLen = 0;
        uint8_t *pMsg = VXQ_F_DPS_MC_FrameMsg_Build(in_iMediaType, in_pSubCh, in_iFrameType, dwStamp,
                                                    in_pData, in_iDataLen, &iMsgLen);
        if (pMsg == NULL) {
            VXQ_F_LOG_SR_WriteLog(bVideo ? "VXQ_F_DPS_MC_CAPM_SentVideoFrameDataToClient malloc fail."
                                         : "VXQ_F_DPS_MC_CAPM_SentAudioFrameDataToClient malloc fail.",
                                  2);
            return 0;
        }
        bSent = PR_SendBuilt(inout_pMcSrvData, inout_pConn, pMsg, iMsgLen);
    }
    if (!bSent) {
        VXQ_F_LOG_SR_WriteLog(
            bVideo
                ? "VXQ_F_DPS_MC_CAPM_SentVideoFrameDataToClient VXQ_F_DPS_MC_CAPM_SentMediaDataToNet fail."
                : "VXQ_F_DPS_MC_CAPM_SentAudioFrameDataToClient VXQ_F_DPS_MC_CAPM_SentMediaDataToNet fail.",
            2);
        return 0;
    }
    return 1;
}

/* The video sender's rules (I-frame gate) for loose data or a cached node. */
static int PR_SendVideo(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                        const _VXQ_S_DPS_MEDIA_SUB_CH_DATA *in_pSubCh, int32_t in_iFrameType,
                        uint32_t in_dwTimeStamp, const uint8_t *in_pData, int32_t in_iDataLen,
                        _VXQ_S_DPS_MEDIA_CACHE_NODE *inout_pNode)
{
    if (inout_pMcSrvData == NULL || inout_pConn == NULL || in_pSubCh == NULL)
        return 0;
    if (!inout_pConn->tMedia.bRecvIFrame) {
        if (in_iFrameType != VXQ_DPS_FRAME_TYPE_I)
            return 1;
        inout_pConn->tMedia.bRecvIFrame = 1;
    }
    return PR_SendFrame(inout_pMcSrvData, inout_pConn, in_pSubCh, VXQ_DPS_MEDIA_TYPE_VIDEO, in_iFrameType,
                        in_dwTimeStamp, in_pData, in_iDataLen, inout_pNode);
}

/* The audio sender's rules (nothing before the first I-frame). */
static int PR_SendAudio(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                        const _VXQ_S_DPS_MEDIA_SUB_CH_DATA *in_pSubCh, uint32_t in_dwTimeStamp,
                        const uint8_t *in_pData, int32_t in_iDataLen,
                        _VXQ_S_DPS_MEDIA_CACHE_NODE *inout_pNode)
{
    if (inout_pMcSrvData == NULL || inout_pConn == NULL || in_pSubCh == NULL)
        return 0;
    if (!inout_pConn->tMedia.bRecvIFrame)
        return 1;
    return PR_SendFrame(inout_pMcSrvData, inout_pConn, in_pSubCh, VXQ_DPS_MEDIA_TYPE_AUDIO, 0, in_dwTimeStamp,
                        in_pData, in_iDataLen, inout_pNode);
}

static int PR_IsVideoIFrame(const _VXQ_S_DPS_MEDIA_CACHE_NODE *in_pNode)
{
    return in_pNode->ucMediaType == VXQ_DPS_MEDIA_TYPE_VIDEO && in_pNode->ucFrameType == VXQ_DPS_FRAME_TYPE_I;
}

static _VXQ_S_DPS_MEDIA_CACHE_NODE *PR_FindNode(const _VXQ_S_DPS_MEDIA_SUB_CH_DATA *in_pSubCh,
                                                uint32_t in_dwNodeId)
{
    for (_VXQ_S_DPS_MEDIA_CACHE_NODE *p = in_pSubCh->pCacheListHead; p != NULL; p = p->pNext) {
        if (p->dwNodeId == in_dwNodeId)
            return p;
    }
    return NULL;
}

int VXQ_F_DPS_MC_CAPM_IsSubChViewer(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData,
                                    const _VXQ_S_DPS_MEDIA_SUB_CH_DATA *in_pSubCh,
                                    const _VXQ_S_DPS_NET_PORT_DATA *in_pConn)
{
    if (in_pMcSrvData == NULL || in_pSubCh == NULL || in_pConn == NULL)
        return 0;
    if (in_pConn->iConnType != VXQ_DPS_CONN_MEDIA || in_pConn->tMedia.iStreamState != 2)
        return 0;
    return VXQ_F_DPS_MC_QueryMediaSubChData(in_pMcSrvData, in_pConn->iChNo, in_pConn->iStreamNo) == in_pSubCh;
}

static _VXQ_S_DPS_MEDIA_CACHE_NODE *PR_AddNode(_VXQ_S_DPS_MEDIA_SUB_CH_DATA *inout_pSubCh,
                                               int32_t in_iMediaType, int32_t in_iFrameType,
                                               uint32_t in_dwTimeStamp, const uint8_t *in_pData,
                                               int32_t in_iDataLen, _VXQ_S_DPS_MEDIA_CACHE_NODE *in_pMade);

/* One frame, as loose data or (in_pMade) a node made by the input call, whose
 * reference this call takes over. */
static void PR_DoFrame(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iMediaType, int32_t in_iChNo,
                       int32_t in_iStreamNo, int32_t in_iFrameType, uint32_t in_dwTimeStamp,
                       const uint8_t *in_pData, int32_t in_iDataLen, _VXQ_S_DPS_MEDIA_CACHE_NODE *in_pMade)
{
    char sText[256];
    if (inout_pMcSrvData == NULL) {
        VXQ_F_DPS_MC_CAPM_ReleaseCacheNode(in_pMade);
        return;
    }
    if (inout_pMcSrvData->bDebugLog && inout_pMcSrvData->bDebugMediaLog) {
        snprintf(sText, sizeof(sText),
                 "[DEBUG]  Media frame: i_usChNo=%d, i_usStreamNo=%d, in_iMediaType: %d, i_usFrameType=%d, "
                 "iMediaDataLen=%d.",
                 (int)in_iChNo, (int)in_iStreamNo, (int)in_iMediaType, (int)in_iFrameType, (int)in_iDataLen);
        VXQ_F_LOG_SR_WriteLog(sText, 2);
    }
    _VXQ_S_DPS_MEDIA_SUB_CH_DATA *pSubCh =
        VXQ_F_DPS_MC_QueryMediaSubChData(inout_pMcSrvData, in_iChNo, in_iStreamNo);
    if (pSubCh == NULL) {
        VXQ_F_DPS_MC_CAPM_ReleaseCacheNode(in_pMade);
        VXQ_F_LOG_SR_ShowInfo(
            "VXQ_F_DPS_MC_CAPM_DoDevSendRealMediaData VXQ_F_DPS_MC_QueryMediaSubChData fail.");
        return;
    }
    if (pSubCh->iStreamOpenState == 2) {
        if (PR_AddNode(pSubCh, in_iMediaType, in_iFrameType, in_dwTimeStamp, in_pData, in_iDataLen,
                       in_pMade) == NULL)
            return;
        VXQ_F_DPS_MC_CAPM_DoClientSendProc(inout_pMcSrvData, pSubCh);
        VXQ_F_DPS_MC_CAPM_ClearNotUseCacheNode(inout_pMcSrvData, pSubCh);
        VXQ_F_DPS_MC_CAPM_DoChannelCacheListClearWork(inout_pMcSrvData, pSubCh);
        return;
    }
    VXQ_F_DPS_MC_CAPM_ReleaseCacheNode(in_pMade); /* not open: dropped */
    uint32_t dwNow = (uint32_t)VXQ_F_CLOCK_NowSec();
    if (pSubCh->dwNotOpenFrameTime != 0) {
        /* A host that keeps feeding a stream nobody opened is told to stop. */
        if (dwNow - pSubCh->dwNotOpenFrameTime > 9) {
            pSubCh->dwNotOpenFrameTime = 0;
            VXQ_F_LOG_SR_ShowInfo("Request close the media stream.");
            /* Not sent: the rule starts again with the next frame. */
            if (!VXQ_F_DPS_MC_SentProEvent_EVENT_E2_CLOSE_MEDIA_STREAM(inout_pMcSrvData, in_iChNo,
                                                                       in_iStreamNo))
                VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MC_CAPM_DoDevSendRealMediaData "
                                      "VXQ_F_DPS_MC_SentProEvent_EVENT_E2_CLOSE_MEDIA_STREAM fail.",
                                      2);
        }
        return;
    }
    pSubCh->dwNotOpenFrameTime = dwNow;
    if (pSubCh->iStreamOpenState == 0)
        snprintf(sText, sizeof(sText),
                 "VXQ_F_DPS_MC_CAPM_DoDevSendRealMediaData iStreamOpenState is init, chno: %d, streamno: %d.",
                 (int)in_iChNo, (int)in_iStreamNo);
    else if (pSubCh->iStreamOpenState == 1)
        snprintf(
            sText, sizeof(sText),
            "VXQ_F_DPS_MC_CAPM_DoDevSendRealMediaData iStreamOpenState is opening, chno: %d, streamno: %d.",
            (int)in_iChNo, (int)in_iStreamNo);
    else
        snprintf(sText, sizeof(sText),
                 "VXQ_F_DPS_MC_CAPM_DoDevSendRealMediaData iStreamOpenState error, state is %d, chno: %d, "
                 "streamno: %d.",
                 (int)pSubCh->iStreamOpenState, (int)in_iChNo, (int)in_iStreamNo);
    VXQ_F_LOG_SR_ShowInfo(sText);
}

void VXQ_F_DPS_MC_CAPM_DoDevSendRealMediaData(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iMediaType,
                                              int32_t in_iChNo, int32_t in_iStreamNo, int32_t in_iFrameType,
                                              uint32_t in_dwTimeStamp, const uint8_t *in_pData,
                                              int32_t in_iDataLen)
{
    PR_DoFrame(inout_pMcSrvData, in_iMediaType, in_iChNo, in_iStreamNo, in_iFrameType, in_dwTimeStamp,
               in_pData, in_iDataLen, NULL);
}

void VXQ_F_DPS_MC_CAPM_DoDevSendRealMediaNode(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iMediaType,
                                              int32_t in_iChNo, int32_t in_iStreamNo, int32_t in_iFrameType,
                                              uint32_t in_dwTimeStamp, _VXQ_S_DPS_MEDIA_CACHE_NODE *in_pNode)
{
    if (in_pNode == NULL)
        return;
    PR_DoFrame(inout_pMcSrvData, in_iMediaType, in_iChNo, in_iStreamNo, in_iFrameType, in_dwTimeStamp,
               in_pNode->pData, in_pNode->iDataLen, in_pNode);
}

/* A node id: random upper half, the sub-channel's running sequence below; never 0. */
static uint32_t PR_NewNodeId(_VXQ_S_DPS_MEDIA_SUB_CH_DATA *inout_pSubCh)
{
    inout_pSubCh->dwCacheNodeSeq++;
    uint32_t dwId;
    do {
        dwId = ((uint32_t)(rand() & 0xFFFF) << 16) + (inout_pSubCh->dwCacheNodeSeq & 0xFFFFu);
    } while (dwId == 0);
    return dwId;
}

/* The append; in_pMade (or null) is a node made by the input call, holding
 * the data already, whose reference passes to the list (or is given back
 * when the frame is refused before it is stored). */
static _VXQ_S_DPS_MEDIA_CACHE_NODE *PR_AddNode(_VXQ_S_DPS_MEDIA_SUB_CH_DATA *inout_pSubCh,
                                               int32_t in_iMediaType, int32_t in_iFrameType,
                                               uint32_t in_dwTimeStamp, const uint8_t *in_pData,
                                               int32_t in_iDataLen, _VXQ_S_DPS_MEDIA_CACHE_NODE *in_pMade)
{
    if (inout_pSubCh == NULL) {
        VXQ_F_DPS_MC_CAPM_ReleaseCacheNode(in_pMade);
        return NULL;
    }
    int bVideo = (in_iMediaType == VXQ_DPS_MEDIA_TYPE_VIDEO);
    int bIFrame = bVideo && in_iFrameType == VXQ_DPS_FRAME_TYPE_I;
    int32_t iLimit = inout_pSubCh->iMediaDataBufSize;
    if (iLimit > 0 && inout_pSubCh->bCacheOverflow) {
        if (!bIFrame) {
            VXQ_F_DPS_MC_CAPM_ReleaseCacheNode(in_pMade);
            return NULL;
        }
        inout_pSubCh->bCacheOverflow = 0;
    }
    int32_t iDataLen = (in_pData == NULL || in_iDataLen < 0) ? 0 : in_iDataLen;
    _VXQ_S_DPS_MEDIA_CACHE_NODE *pNode = in_pMade;
    if (pNode == NULL && (size_t)iDataLen <= (size_t)-1 - sizeof(*pNode))
        pNode = (_VXQ_S_DPS_MEDIA_CACHE_NODE *)VXQ_F_DPS_MC_MediaMem_Alloc(sizeof(*pNode) + (size_t)iDataLen);
    if (pNode == NULL) {
        VXQ_F_LOG_SR_ShowInfo("VXQ_F_DPS_MC_CAPM_AddRealMediaDataToQueue malloc fail.");
        return NULL;
    }
    if (in_pMade == NULL) {
        memset(pNode, 0, sizeof(*pNode));
        pNode->pData = (uint8_t *)(pNode + 1);
        pNode->iDataLen = iDataLen;
        pNode->iRefCount = 1; /* the list's */
        if (iDataLen > 0)
            memcpy(pNode->pData, in_pData, (size_t)iDataLen);
    }
    pNode->dwNodeId = PR_NewNodeId(inout_pSubCh);
    pNode->ucMediaType = bVideo ? VXQ_DPS_MEDIA_TYPE_VIDEO : VXQ_DPS_MEDIA_TYPE_AUDIO;
    pNode->ucFrameType = bVideo ? (uint8_t)in_iFrameType : 0;
    pNode->dwTimeStamp = in_dwTimeStamp;
    pNode->pNext = NULL;
    pNode->pPrev = inout_pSubCh->pCacheListTail;
    if (inout_pSubCh->pCacheListTail != NULL)
        inout_pSubCh->pCacheListTail->pNext = pNode;
    else
        inout_pSubCh->pCacheListHead = pNode;
    inout_pSubCh->pCacheListTail = pNode;
    if (iLimit < 1)
        return pNode;

    /* Accepted while the newest group of pictures fits below the limit, or
     * all cached video does. */
    int64_t llSum = 0;
    for (_VXQ_S_DPS_MEDIA_CACHE_NODE *p = inout_pSubCh->pCacheListTail; p != NULL; p = p->pPrev) {
        if (p->ucMediaType != VXQ_DPS_MEDIA_TYPE_VIDEO)
            continue;
        llSum += p->iDataLen;
        if (PR_IsVideoIFrame(p) && llSum < iLimit)
            return pNode;
    }
    if (llSum <= iLimit)
        return pNode;
    inout_pSubCh->bCacheOverflow = 1;
    return NULL;
}

_VXQ_S_DPS_MEDIA_CACHE_NODE *
VXQ_F_DPS_MC_CAPM_AddRealMediaDataToQueue(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                          _VXQ_S_DPS_MEDIA_SUB_CH_DATA *inout_pSubCh, int32_t in_iMediaType,
                                          int32_t in_iFrameType, uint32_t in_dwTimeStamp,
                                          const uint8_t *in_pData, int32_t in_iDataLen)
{
    (void)inout_pMcSrvData;
    return PR_AddNode(inout_pSubCh, in_iMediaType, in_iFrameType, in_dwTimeStamp, in_pData, in_iDataLen,
                      NULL);
}

void VXQ_F_DPS_MC_CAPM_DoClientSendProc(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                        _VXQ_S_DPS_MEDIA_SUB_CH_DATA *inout_pSubCh)
{
    if (inout_pMcSrvData == NULL || inout_pSubCh == NULL)
        return;
    for (int i = 0; i < inout_pMcSrvData->iConnEnd; i++) {
        _VXQ_S_DPS_NET_PORT_DATA *pConn = inout_pMcSrvData->pConn[i];
        if (pConn == NULL || pConn->tMedia.bVideoPause)
            continue;
        if (VXQ_F_DPS_MC_CAPM_IsSubChViewer(inout_pMcSrvData, inout_pSubCh, pConn))
            VXQ_F_DPS_MC_CAPM_DoSingleClientSendProc(inout_pMcSrvData, inout_pSubCh, pConn);
    }
}

/* Sends one node to a viewer: video always, audio unless paused. 1 sent or
 * skipped, 0 failed. */
static int PR_SendNode(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_MEDIA_SUB_CH_DATA *in_pSubCh,
                       _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, _VXQ_S_DPS_MEDIA_CACHE_NODE *inout_pNode)
{
    if (inout_pNode->ucMediaType == VXQ_DPS_MEDIA_TYPE_VIDEO)
        return PR_SendVideo(inout_pMcSrvData, inout_pConn, in_pSubCh, inout_pNode->ucFrameType,
                            inout_pNode->dwTimeStamp, inout_pNode->pData, inout_pNode->iDataLen, inout_pNode);
    if (inout_pConn->tMedia.bAudioPause)
        return 1;
    return PR_SendAudio(inout_pMcSrvData, inout_pConn, in_pSubCh, inout_pNode->dwTimeStamp,
                        inout_pNode->pData, inout_pNode->iDataLen, inout_pNode);
}

int VXQ_F_DPS_MC_CAPM_DoSingleClientSendProc(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                             _VXQ_S_DPS_MEDIA_SUB_CH_DATA *inout_pSubCh,
                                             _VXQ_S_DPS_NET_PORT_DATA *inout_pConn)
{
    if (inout_pMcSrvData == NULL || inout_pSubCh == NULL || inout_pConn == NULL)
        return 0;
    /* A completion may still arrive after the viewer closed its stream. */
    if (!VXQ_F_DPS_MC_CAPM_IsSubChViewer(inout_pMcSrvData, inout_pSubCh, inout_pConn))
        return 1;
    if (!inout_pConn->tMedia.bRecvIFrame) {
        /* A viewer that restarts (video resumed) may still have messages out:
         * it starts only within the limit of three, at a later I-frame if need be. */
        if (inout_pConn->tMedia.iSendingNum >= VXQ_DPS_CACHE_MAX_SENDING)
            return 1;
        _VXQ_S_DPS_MEDIA_CACHE_NODE *pTail = inout_pSubCh->pCacheListTail;
        if (pTail != NULL && PR_IsVideoIFrame(pTail)) {
            PR_SendNode(inout_pMcSrvData, inout_pSubCh, inout_pConn, pTail);
            inout_pConn->tMedia.dwSentNodeId = pTail->dwNodeId;
            inout_pConn->tMedia.dwNextNodeId = 0;
        }
        return 1;
    }
    while (inout_pConn->tMedia.iSendingNum < VXQ_DPS_CACHE_MAX_SENDING) {
        _VXQ_S_DPS_MEDIA_CACHE_NODE *pNext = NULL;
        if (inout_pConn->tMedia.dwSentNodeId == 0 && inout_pConn->tMedia.dwNextNodeId == 0) {
            for (pNext = inout_pSubCh->pCacheListTail; pNext != NULL && !PR_IsVideoIFrame(pNext);
                 pNext = pNext->pPrev) {
            }
            if (pNext == NULL)
                break;
        } else {
            uint32_t dwId = inout_pConn->tMedia.dwSentNodeId != 0 ? inout_pConn->tMedia.dwSentNodeId
                                                                  : inout_pConn->tMedia.dwNextNodeId;
            _VXQ_S_DPS_MEDIA_CACHE_NODE *pPos = PR_FindNode(inout_pSubCh, dwId);
            if (pPos == NULL) {
                /* Position left the list: start again at a later I-frame. */
                inout_pConn->tMedia.dwSentNodeId = 0;
                inout_pConn->tMedia.dwNextNodeId = 0;
                inout_pConn->tMedia.bRecvIFrame = 0;
                break;
            }
            if (inout_pConn->tMedia.dwSentNodeId != 0) {
                pNext = pPos->pNext;
                if (pNext == NULL)
                    break; /* caught up */
            } else {
                pNext = pPos;
            }
        }
        int bSent = PR_SendNode(inout_pMcSrvData, inout_pSubCh, inout_pConn, pNext);
        inout_pConn->tMedia.dwSentNodeId = pNext->dwNodeId;
        inout_pConn->tMedia.dwNextNodeId = 0;
        if (!bSent)
            break; /* the frame is lost for this viewer; the next frame or completion goes on */
    }
    return 1;
}

int VXQ_F_DPS_MC_CAPM_SentVideoFrameDataToClient(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                                                 const _VXQ_S_DPS_MEDIA_SUB_CH_DATA *in_pSubCh,
                                                 int32_t in_iFrameType, uint32_t in_dwTimeStamp,
                                                 const uint8_t *in_pData, int32_t in_iDataLen)
{
    return PR_SendVideo(inout_pMcSrvData, inout_pConn, in_pSubCh, in_iFrameType, in_dwTimeStamp, in_pData,
                        in_iDataLen, NULL);
}

int VXQ_F_DPS_MC_CAPM_SentAudioFrameDataToClient(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                                                 const _VXQ_S_DPS_MEDIA_SUB_CH_DATA *in_pSubCh,
                                                 uint32_t in_dwTimeStamp, const uint8_t *in_pData,
                                                 int32_t in_iDataLen)
{
    return PR_SendAudio(inout_pMcSrvData, inout_pConn, in_pSubCh, in_dwTimeStamp, in_pData, in_iDataLen,
                        NULL);
}

int VXQ_F_DPS_MC_CAPM_SentMediaDataToNet(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                         _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, const uint8_t *in_pMsg,
                                         int32_t in_iMsgLen)
{
    if (inout_pMcSrvData == NULL || inout_pConn == NULL || in_pMsg == NULL || in_iMsgLen < 1)
        return 0;
    /* The frame message is built in wire order on every host: no translation. */
    inout_pConn->tMedia.dwSendSeq++;
    if (inout_pConn->tMedia.dwSendSeq == 0)
        inout_pConn->tMedia.dwSendSeq = 1;
    VXQ_PF_DPS_MEDIA_NET_SEND fnSend =
        inout_pMcSrvData->tHooks.fnFrameSend != NULL ? inout_pMcSrvData->tHooks.fnFrameSend : PR_EngineSend;
    if (!fnSend(inout_pMcSrvData, inout_pConn, in_pMsg, in_iMsgLen, inout_pConn->tMedia.dwSendSeq)) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MC_CAPM_SentMediaDataToNet VXQ_F_NETCOM_SendTcpDataEx fail.", 2);
        return 0;
    }
    /* Only a queued message will ever complete and lower the count again. */
    inout_pConn->tMedia.iSendingNum++;
    return 1;
}

int VXQ_F_DPS_MC_CAPM_QueryCacheIdIfClientUse(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData,
                                              const _VXQ_S_DPS_MEDIA_SUB_CH_DATA *in_pSubCh,
                                              uint32_t in_dwNodeId)
{
    if (in_pMcSrvData == NULL || in_pSubCh == NULL || in_dwNodeId == 0)
        return 0;
    for (int i = 0; i < in_pMcSrvData->iConnEnd; i++) {
        const _VXQ_S_DPS_NET_PORT_DATA *pConn = in_pMcSrvData->pConn[i];
        if (pConn == NULL || pConn->tMedia.bVideoPause ||
            !VXQ_F_DPS_MC_CAPM_IsSubChViewer(in_pMcSrvData, in_pSubCh, pConn))
            continue;
        if (!pConn->tMedia.bRecvIFrame)
            return 1;
        if (pConn->tMedia.dwSentNodeId == 0 && pConn->tMedia.dwNextNodeId == 0)
            return 1;
        if (pConn->tMedia.dwSentNodeId == in_dwNodeId || pConn->tMedia.dwNextNodeId == in_dwNodeId)
            return 1;
    }
    return 0;
}

void VXQ_F_DPS_MC_CAPM_ClearNotUseCacheNode(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                            _VXQ_S_DPS_MEDIA_SUB_CH_DATA *inout_pSubCh)
{
    if (inout_pMcSrvData == NULL || inout_pSubCh == NULL)
        return;
    while (inout_pSubCh->pCacheListHead != NULL &&
           !VXQ_F_DPS_MC_CAPM_QueryCacheIdIfClientUse(inout_pMcSrvData, inout_pSubCh,
                                                      inout_pSubCh->pCacheListHead->dwNodeId))
        VXQ_F_DPS_MC_CAPM_DeleteRealMediaCacheNode(inout_pMcSrvData, inout_pSubCh,
                                                   inout_pSubCh->pCacheListHead->dwNodeId);
}

void VXQ_F_DPS_MC_CAPM_DoChannelCacheListClearWork(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                   _VXQ_S_DPS_MEDIA_SUB_CH_DATA *inout_pSubCh)
{
    if (inout_pMcSrvData == NULL || inout_pSubCh == NULL)
        return;
    int32_t iVideoNum = 0;
    int32_t iIFrameNum = 0;
    for (const _VXQ_S_DPS_MEDIA_CACHE_NODE *p = inout_pSubCh->pCacheListHead; p != NULL; p = p->pNext) {
        if (p->ucMediaType != VXQ_DPS_MEDIA_TYPE_VIDEO)
            continue;
        iVideoNum++;
        if (PR_IsVideoIFrame(p))
            iIFrameNum++;
    }
    inout_pSubCh->iCacheVideoFrameNum = iVideoNum;

    int32_t iKeep = iVideoNum;
    int32_t iLimit = inout_pSubCh->iMediaDataBufSize;
    if (iLimit > 0) {
        /* Keep all while the video fits; else only the newest group. */
        int64_t llSum = 0;
        int32_t iCount = 0;
        int32_t iGroup = -1;
        for (const _VXQ_S_DPS_MEDIA_CACHE_NODE *p = inout_pSubCh->pCacheListTail; p != NULL; p = p->pPrev) {
            if (p->ucMediaType != VXQ_DPS_MEDIA_TYPE_VIDEO)
                continue;
            llSum += p->iDataLen;
            iCount++;
            if (iGroup < 0 && PR_IsVideoIFrame(p))
                iGroup = iCount;
            if (llSum > iLimit && iGroup >= 0) {
                iKeep = iGroup;
                break;
            }
        }
    } else {
        if (iIFrameNum < 3)
            return;
        /* The newest group of pictures, but at least five video frames. */
        int32_t iCount = 0;
        int bPassedI = 0;
        for (const _VXQ_S_DPS_MEDIA_CACHE_NODE *p = inout_pSubCh->pCacheListTail; p != NULL; p = p->pPrev) {
            if (p->ucMediaType != VXQ_DPS_MEDIA_TYPE_VIDEO)
                continue;
            iCount++;
            if (PR_IsVideoIFrame(p))
                bPassedI = 1;
            if (bPassedI && iCount > 4) {
                iKeep = iCount;
                break;
            }
        }
    }
    int32_t iLeft = iVideoNum;
    while (iLeft > iKeep && inout_pSubCh->pCacheListHead != NULL) {
        int bVideo = inout_pSubCh->pCacheListHead->ucMediaType == VXQ_DPS_MEDIA_TYPE_VIDEO;
        VXQ_F_DPS_MC_CAPM_DeleteRealMediaCacheNode(inout_pMcSrvData, inout_pSubCh,
                                                   inout_pSubCh->pCacheListHead->dwNodeId);
        if (bVideo)
            iLeft--;
    }
}

void VXQ_F_DPS_MC_CAPM_DeleteRealMediaCacheNode(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                _VXQ_S_DPS_MEDIA_SUB_CH_DATA *inout_pSubCh,
                                                uint32_t in_dwNodeId)
{
    if (inout_pSubCh == NULL)
        return;
    uint32_t dwNextId = 0;
    _VXQ_S_DPS_MEDIA_CACHE_NODE *pNode = PR_FindNode(inout_pSubCh, in_dwNodeId);
    if (pNode != NULL) {
        if (pNode->pPrev != NULL)
            pNode->pPrev->pNext = pNode->pNext;
        else
            inout_pSubCh->pCacheListHead = pNode->pNext;
        if (pNode->pNext != NULL) {
            pNode->pNext->pPrev = pNode->pPrev;
            dwNextId = pNode->pNext->dwNodeId;
        } else {
            inout_pSubCh->pCacheListTail = pNode->pPrev;
        }
        VXQ_F_DPS_MC_CAPM_ReleaseCacheNode(pNode);
    }
    VXQ_F_DPS_MC_CAPM_DoDelNodeClientSendWork(inout_pMcSrvData, inout_pSubCh, in_dwNodeId, dwNextId);
}

void VXQ_F_DPS_MC_CAPM_DoDelNodeClientSendWork(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                               _VXQ_S_DPS_MEDIA_SUB_CH_DATA *inout_pSubCh,
                                               uint32_t in_dwRemovedId, uint32_t in_dwNextId)
{
    if (inout_pMcSrvData == NULL || inout_pSubCh == NULL || in_dwRemovedId == 0)
        return;
    for (int i = 0; i < inout_pMcSrvData->iConnEnd; i++) {
        _VXQ_S_DPS_NET_PORT_DATA *pConn = inout_pMcSrvData->pConn[i];
        if (pConn == NULL || !pConn->tMedia.bRecvIFrame ||
            !VXQ_F_DPS_MC_CAPM_IsSubChViewer(inout_pMcSrvData, inout_pSubCh, pConn))
            continue;
        if (pConn->tMedia.dwSentNodeId == in_dwRemovedId) {
            pConn->tMedia.dwSentNodeId = 0;
            pConn->tMedia.dwNextNodeId = in_dwNextId;
        } else if (pConn->tMedia.dwNextNodeId == in_dwRemovedId) {
            pConn->tMedia.dwSentNodeId = 0;
            pConn->tMedia.dwNextNodeId = 0;
        }
    }
}

void VXQ_F_DPS_MC_CAPM_FreeCacheList(_VXQ_S_DPS_MEDIA_SUB_CH_DATA *inout_pSubCh)
{
    if (inout_pSubCh == NULL)
        return;
    _VXQ_S_DPS_MEDIA_CACHE_NODE *p = inout_pSubCh->pCacheListHead;
    while (p != NULL) {
        _VXQ_S_DPS_MEDIA_CACHE_NODE *pNext = p->pNext;
        VXQ_F_DPS_MC_CAPM_ReleaseCacheNode(p);
        p = pNext;
    }
    inout_pSubCh->pCacheListHead = NULL;
    inout_pSubCh->pCacheListTail = NULL;
}

void VXQ_F_DPS_MC_CAPM_DoSendDone(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn)
{
    _VXQ_S_DPS_MEDIA_SUB_CH_DATA *pSubCh;
    if (inout_pMcSrvData == NULL || inout_pConn == NULL || inout_pConn->iConnType != VXQ_DPS_CONN_MEDIA)
        return;
    if (inout_pConn->tMedia.iSendingNum > 0)
        inout_pConn->tMedia.iSendingNum--;
    pSubCh = VXQ_F_DPS_MC_QueryMediaSubChData(inout_pMcSrvData, inout_pConn->iChNo, inout_pConn->iStreamNo);
    if (pSubCh != NULL)
        VXQ_F_DPS_MC_CAPM_DoSingleClientSendProc(inout_pMcSrvData, pSubCh, inout_pConn);
}
