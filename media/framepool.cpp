/* Frame buffers of the host's input call; see framepool.h for the contract. */
#include "media/framepool.h"

#include "media/framemsg.h"

#include <mutex>
#include <stdlib.h>
#include <string.h>

namespace
{

std::mutex s_tLock;
_VXQ_S_DPS_MEDIA_CACHE_NODE *s_pFree = NULL; /* kept buffers, linked by pNext */
int32_t s_iFreeNum = 0;
int64_t s_llFreeBytes = 0;
_VXQ_S_DPS_MEDIA_CACHE_NODE *s_pPosted = NULL; /* posted nodes, linked by pPrev/pNext */

/* Room for in_iDataLen, rounded so that frames of about one size share buffers. */
int32_t PR_Capacity(int32_t in_iDataLen)
{
    int32_t iStep = in_iDataLen < 4096 ? 64 : 4096;
    if (in_iDataLen > INT32_MAX - iStep)
        return in_iDataLen;
    return (in_iDataLen + iStep - 1) / iStep * iStep;
}

/* The kept buffer that fits in_iDataLen with the least room to spare, at most
 * twice the need (a small frame does not hold a large buffer); unlinked. Lock held. */
_VXQ_S_DPS_MEDIA_CACHE_NODE *PR_TakeFree(int32_t in_iDataLen)
{
    _VXQ_S_DPS_MEDIA_CACHE_NODE **ppBest = NULL;
    for (_VXQ_S_DPS_MEDIA_CACHE_NODE **pp = &s_pFree; *pp != NULL; pp = &(*pp)->pNext) {
        int32_t iCap = (*pp)->iDataCap;
        if (iCap < in_iDataLen || (int64_t)iCap > 2 * (int64_t)PR_Capacity(in_iDataLen))
            continue;
        if (ppBest == NULL || iCap < (*ppBest)->iDataCap)
            ppBest = pp;
        if (iCap == PR_Capacity(in_iDataLen))
            break; /* none fits closer */
    }
    if (ppBest == NULL)
        return NULL;
    _VXQ_S_DPS_MEDIA_CACHE_NODE *pNode = *ppBest;
    *ppBest = pNode->pNext;
    s_iFreeNum--;
    s_llFreeBytes -= pNode->iDataCap;
    return pNode;
}

} // namespace

_VXQ_S_DPS_MEDIA_CACHE_NODE *VXQ_F_DPS_MC_FramePool_Take(const void *in_pOwner, int32_t in_iDataLen)
{
    if (in_iDataLen <= 0)
        return NULL;
    _VXQ_S_DPS_MEDIA_CACHE_NODE *pNode;
    {
        std::lock_guard<std::mutex> tGuard(s_tLock);
        pNode = PR_TakeFree(in_iDataLen);
    }
    int32_t iCap = pNode != NULL ? pNode->iDataCap : PR_Capacity(in_iDataLen);
    if (pNode == NULL) {
        if ((size_t)iCap > (size_t)-1 - sizeof(*pNode))
            return NULL;
        pNode = (_VXQ_S_DPS_MEDIA_CACHE_NODE *)VXQ_F_DPS_MC_MediaMem_Alloc(sizeof(*pNode) + (size_t)iCap);
        if (pNode == NULL)
            return NULL;
    }
    memset(pNode, 0, sizeof(*pNode));
    pNode->pData = (uint8_t *)(pNode + 1);
    pNode->iDataLen = in_iDataLen;
    pNode->iDataCap = iCap;
    pNode->iRefCount = 1;
    pNode->bPooled = 1;
    pNode->pOwner = in_pOwner;
    std::lock_guard<std::mutex> tGuard(s_tLock);
    pNode->pNext = s_pPosted;
    if (s_pPosted != NULL)
        s_pPosted->pPrev = pNode;
    s_pPosted = pNode;
    return pNode;
}

void VXQ_F_DPS_MC_FramePool_Unpost(_VXQ_S_DPS_MEDIA_CACHE_NODE *inout_pNode)
{
    if (inout_pNode == NULL)
        return;
    std::lock_guard<std::mutex> tGuard(s_tLock);
    if (inout_pNode->pPrev != NULL)
        inout_pNode->pPrev->pNext = inout_pNode->pNext;
    else if (s_pPosted == inout_pNode)
        s_pPosted = inout_pNode->pNext;
    if (inout_pNode->pNext != NULL)
        inout_pNode->pNext->pPrev = inout_pNode->pPrev;
    inout_pNode->pPrev = NULL;
    inout_pNode->pNext = NULL;
    inout_pNode->pOwner = NULL;
}

void VXQ_F_DPS_MC_FramePool_Give(_VXQ_S_DPS_MEDIA_CACHE_NODE *in_pNode)
{
    if (in_pNode == NULL)
        return;
    {
        std::lock_guard<std::mutex> tGuard(s_tLock);
        if (s_iFreeNum < VXQ_DPS_FRAME_POOL_MAX_NUM &&
            s_llFreeBytes + in_pNode->iDataCap <= VXQ_DPS_FRAME_POOL_MAX_BYTES) {
            in_pNode->pNext = s_pFree;
            s_pFree = in_pNode;
            s_iFreeNum++;
            s_llFreeBytes += in_pNode->iDataCap;
            return;
        }
    }
    VXQ_F_DPS_MC_MediaMem_Free(in_pNode);
}

void VXQ_F_DPS_MC_FramePool_DropPosted(const void *in_pOwner)
{
    for (;;) {
        _VXQ_S_DPS_MEDIA_CACHE_NODE *pNode = NULL;
        {
            std::lock_guard<std::mutex> tGuard(s_tLock);
            for (pNode = s_pPosted; pNode != NULL && pNode->pOwner != in_pOwner; pNode = pNode->pNext) {
            }
        }
        if (pNode == NULL)
            return;
        VXQ_F_DPS_MC_FramePool_Unpost(pNode);
        VXQ_F_DPS_MC_FramePool_Give(pNode);
    }
}

void VXQ_F_DPS_MC_FramePool_Stat(int32_t *out_pNum, int64_t *out_pBytes)
{
    std::lock_guard<std::mutex> tGuard(s_tLock);
    if (out_pNum != NULL)
        *out_pNum = s_iFreeNum;
    if (out_pBytes != NULL)
        *out_pBytes = s_llFreeBytes;
}
