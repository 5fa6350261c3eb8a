/*
 * cache.h - the shared frame cache of a sub-channel and the pacing of its viewers.
 *
 * Owns the list of cached frames hanging from each sub-channel record (oldest
 * at pCacheListHead, newest at pCacheListTail): every frame the host feeds an
 * open sub-channel is stored once, in one allocation (node and data), and each
 * viewer is sent frames from its own read position (dwSentNodeId /
 * dwNextNodeId of its connection record) with at most three frame messages
 * outstanding in the network engine. A viewer starts at a video I-frame. The
 * list is cut from its head: nodes no viewer needs, then down to the byte
 * limit of the sub-channel or, without one, to the newest group of pictures.
 *
 * A viewer of a sub-channel is a media connection that is streaming
 * (iStreamState 2) and whose channel and stream map to that very record.
 *
 * Control thread only (frames arrive as orders, completions as engine
 * records); no locks. A frame's data is never copied per viewer: each viewer's
 * frame message is its own 32-byte head (its time stamp) queued in the engine
 * together with a reference to the cached node, and the engine writes both in
 * one gathered call. A node is reference-counted: one reference for being in
 * the list, one per queued message; it is freed when the last one goes, so a
 * node cut from the list lives on only while messages to slow viewers still
 * carry it (at most three per viewer). The service's engine is driven by the
 * control thread (and closed after it ends), so the count needs no lock.
 *
 * A frame message is written at once when nothing waits in the viewer's send
 * queue; only what its socket did not take is queued (with the node
 * reference and a completion notice). iSendingNum counts exactly those queued
 * messages: it rises only for a message the engine queued and falls with its
 * completion notice, so a viewer that keeps up never waits for a pass, a
 * viewer never stays blocked by a message that was never queued, and a
 * stalled viewer still holds at most three.
 */
#ifndef VXQ_MEDIA_CACHE_H
#define VXQ_MEDIA_CACHE_H

#include "core/conn.h"
#include "media/subch.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Most frame messages of one viewer waiting in the engine at a time. */
#define VXQ_DPS_CACHE_MAX_SENDING 3

/* One cached frame; the data lives in the same allocation, behind the node. */
typedef struct _VXQ_S_DPS_MEDIA_CACHE_NODE {
    uint32_t dwNodeId;               /* (random 16 bits << 16) + sequence; never 0 */
    uint8_t ucMediaType;             /* 0 video, 1 audio */
    uint8_t ucFrameType;             /* video frame type (1 = I-frame); 0 for audio */
    uint32_t dwTimeStamp;            /* milliseconds from the host, 0 = none */
    uint8_t *pData;                  /* the node's own copy */
    int32_t iDataLen;
    int32_t iRefCount;               /* 1 while in the list, + 1 per message queued in the engine */
    struct _VXQ_S_DPS_MEDIA_CACHE_NODE *pPrev;
    struct _VXQ_S_DPS_MEDIA_CACHE_NODE *pNext;
    /* Nodes made by the host's input call come from the frame pool
     * (media/framepool.h) and go back to it; the others are freed. */
    int32_t bPooled;
    int32_t iDataCap;   /* bytes behind the node (pooled nodes) */
    const void *pOwner; /* instance that posted it, while it travels to the control thread */
} _VXQ_S_DPS_MEDIA_CACHE_NODE;

/* Entry for one frame from a frame order (in_iMediaType 0 video, 1 audio).
 * Open sub-channel: cache, pump every viewer, drop unneeded nodes, trim.
 * Otherwise the frame is dropped; after 10 s of such frames the host is asked
 * to close the stream. in_pData is copied; it stays the caller's. */
void VXQ_F_DPS_MC_CAPM_DoDevSendRealMediaData(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iMediaType,
                                              int32_t in_iChNo, int32_t in_iStreamNo, int32_t in_iFrameType,
                                              uint32_t in_dwTimeStamp, const uint8_t *in_pData,
                                              int32_t in_iDataLen);

/* As VXQ_F_DPS_MC_CAPM_DoDevSendRealMediaData for a frame the host's input
 * call already copied into a pooled node (media/framepool.h: data and length
 * set) whose one reference passes to this call: the node itself becomes the
 * cached frame, or goes back to the pool when the frame is dropped. */
void VXQ_F_DPS_MC_CAPM_DoDevSendRealMediaNode(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iMediaType,
                                              int32_t in_iChNo, int32_t in_iStreamNo, int32_t in_iFrameType,
                                              uint32_t in_dwTimeStamp, _VXQ_S_DPS_MEDIA_CACHE_NODE *in_pNode);

/* Appends one frame at the tail. Null when the frame is refused (byte limit
 * overflow, memory short); with a limit, an overflowing frame stays in the
 * list but null is returned and only a video I-frame is accepted next. */
_VXQ_S_DPS_MEDIA_CACHE_NODE *VXQ_F_DPS_MC_CAPM_AddRealMediaDataToQueue(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                                     _VXQ_S_DPS_MEDIA_SUB_CH_DATA *inout_pSubCh,
                                                                     int32_t in_iMediaType,
                                                                     int32_t in_iFrameType,
                                                                     uint32_t in_dwTimeStamp,
                                                                     const uint8_t *in_pData,
                                                                     int32_t in_iDataLen);

/* Pumps every viewer of the sub-channel that has not paused video. */
void VXQ_F_DPS_MC_CAPM_DoClientSendProc(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                        _VXQ_S_DPS_MEDIA_SUB_CH_DATA *inout_pSubCh);

/* Pumps one viewer: starts it at the newest node when that is a video
 * I-frame, else sends from its position while fewer than three messages are
 * outstanding. A connection that is not a viewer of the sub-channel is left
 * alone. Returns 1, or 0 for a null argument. */
int VXQ_F_DPS_MC_CAPM_DoSingleClientSendProc(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                             _VXQ_S_DPS_MEDIA_SUB_CH_DATA *inout_pSubCh,
                                             _VXQ_S_DPS_NET_PORT_DATA *inout_pConn);

/* Build and send one frame message to a viewer (time stamp: the node's, or
 * the viewer's tick-count stamp when 0). A non-I video frame or any audio
 * before the viewer's first I-frame is skipped. 1 sent or skipped, 0 failed.
 * These take loose data, which is copied into a whole message; frames from
 * the cache go out as head plus node reference instead. */
int VXQ_F_DPS_MC_CAPM_SentVideoFrameDataToClient(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                                                 const _VXQ_S_DPS_MEDIA_SUB_CH_DATA *in_pSubCh,
                                                 int32_t in_iFrameType, uint32_t in_dwTimeStamp,
                                                 const uint8_t *in_pData, int32_t in_iDataLen);
int VXQ_F_DPS_MC_CAPM_SentAudioFrameDataToClient(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                                                 const _VXQ_S_DPS_MEDIA_SUB_CH_DATA *in_pSubCh,
                                                 uint32_t in_dwTimeStamp, const uint8_t *in_pData,
                                                 int32_t in_iDataLen);

/* Hands one frame message (already in wire order) to the engine with the
 * next dwSendSeq and a completion notice; raises iSendingNum when accepted.
 * 1 accepted, 0 refused (logged). The message stays the caller's (the engine
 * copies it); the per-frame senders above use a path that gives theirs up. */
int VXQ_F_DPS_MC_CAPM_SentMediaDataToNet(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                         _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, const uint8_t *in_pMsg,
                                         int32_t in_iMsgLen);

/* Removes head nodes while no viewer needs them. */
void VXQ_F_DPS_MC_CAPM_ClearNotUseCacheNode(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                            _VXQ_S_DPS_MEDIA_SUB_CH_DATA *inout_pSubCh);
/* 1 when a video-playing viewer of the sub-channel still needs node
 * in_dwNodeId (not started, no position, or positioned on it); 0 for id 0. */
int VXQ_F_DPS_MC_CAPM_QueryCacheIdIfClientUse(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData,
                                              const _VXQ_S_DPS_MEDIA_SUB_CH_DATA *in_pSubCh,
                                              uint32_t in_dwNodeId);
/* Recounts iCacheVideoFrameNum and cuts the head to the byte limit or, with
 * no limit and three I-frames cached, to the newest group (>= 5 video frames). */
void VXQ_F_DPS_MC_CAPM_DoChannelCacheListClearWork(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                   _VXQ_S_DPS_MEDIA_SUB_CH_DATA *inout_pSubCh);
/* Unlinks and frees node in_dwNodeId, then moves the viewers positioned on it on. */
void VXQ_F_DPS_MC_CAPM_DeleteRealMediaCacheNode(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                _VXQ_S_DPS_MEDIA_SUB_CH_DATA *inout_pSubCh,
                                                uint32_t in_dwNodeId);
/* Viewers that last sent the removed node continue at in_dwNextId (0 = none);
 * viewers that were to send it next lose their position. */
void VXQ_F_DPS_MC_CAPM_DoDelNodeClientSendWork(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                               _VXQ_S_DPS_MEDIA_SUB_CH_DATA *inout_pSubCh,
                                               uint32_t in_dwRemovedId, uint32_t in_dwNextId);

/* The send-done hook (core/hooks.h): a frame message of a viewer completed;
 * one fewer is outstanding, and the viewer is pumped again. Other connections
 * are left alone. */
void VXQ_F_DPS_MC_CAPM_DoSendDone(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn);

/* Gives back one reference to a node (in_pNode is a node; void for the
 * engine's release callback); the last one frees it. */
void VXQ_F_DPS_MC_CAPM_ReleaseCacheNode(void *in_pNode);

/* Drops the list's reference of every node and empties the list (sub-channel
 * release); nodes still carried by queued messages live until those go. */
void VXQ_F_DPS_MC_CAPM_FreeCacheList(_VXQ_S_DPS_MEDIA_SUB_CH_DATA *inout_pSubCh);

/* 1 when in_pConn is a viewer of in_pSubCh (streaming media connection whose
 * channel and stream map to that record). */
int VXQ_F_DPS_MC_CAPM_IsSubChViewer(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData,
                                    const _VXQ_S_DPS_MEDIA_SUB_CH_DATA *in_pSubCh,
                                    const _VXQ_S_DPS_NET_PORT_DATA *in_pConn);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_MEDIA_CACHE_H */
