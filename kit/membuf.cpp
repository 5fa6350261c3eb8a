/* Growable heap buffers; see vxq_membuf.h for the contract. */
#include "vxq_membuf.h"

#include "kit/kitalloc.h"

#include <stdlib.h>
#include <string.h>

/* The three values agree: capacity and length are not negative, without a
 * buffer the length is 0, with one the length lies within the capacity. */
static int VXQ_F_MEM_MG_PR_IsConsistent(const char *in_pBuf, int32_t in_iSize, int32_t in_iLength)
{
    if (in_iSize < 0 || in_iLength < 0)
        return 0;
    if (!in_pBuf)
        return in_iLength == 0;
    return in_iLength <= in_iSize;
}

extern "C" int VXQ_F_MEM_MG_AddDataToBuf(char **inout_ppBuf, int32_t *inout_piSize, int32_t *inout_piLength,
                                         const void *in_pData, int32_t in_iLength)
{
    if (!inout_ppBuf || !inout_piSize || !inout_piLength || !in_pData || in_iLength <= 0)
        return 0;
    int32_t iLength = *inout_piLength;
    if (!VXQ_F_MEM_MG_PR_IsConsistent(*inout_ppBuf, *inout_piSize, iLength) ||
        in_iLength > INT32_MAX - iLength)
        return 0;
    int32_t iNeed = iLength + in_iLength;
    if (!*inout_ppBuf || *inout_piSize < iNeed) {
        char *pNew = (char *)VXQ_F_KIT_PR_Malloc((size_t)iNeed);
        if (!pNew)
            return 0;
        if (*inout_ppBuf && iLength > 0)
            memcpy(pNew, *inout_ppBuf, (size_t)iLength);
        free(*inout_ppBuf);
        *inout_ppBuf = pNew;
        *inout_piSize = iNeed;
    }
    memcpy(*inout_ppBuf + iLength, in_pData, (size_t)in_iLength);
    *inout_piLength = iNeed;
    return 1;
}

extern "C" int VXQ_F_MEM_MG_SetDataToBuf(char **inout_ppBuf, int32_t *inout_piSize, int32_t *inout_piLength,
                                         const void *in_pData, int32_t in_iLength)
{
    if (!inout_ppBuf || !inout_piSize || !inout_piLength || !in_pData || in_iLength <= 0 || *inout_piSize < 0)
        return 0;
    if (!*inout_ppBuf || *inout_piSize < in_iLength) {
        char *pNew = (char *)VXQ_F_KIT_PR_Malloc((size_t)in_iLength);
        if (!pNew)
            return 0;
        free(*inout_ppBuf);
        *inout_ppBuf = pNew;
        *inout_piSize = in_iLength;
    }
    memcpy(*inout_ppBuf, in_pData, (size_t)in_iLength);
    *inout_piLength = in_iLength;
    return 1;
}

extern "C" int VXQ_F_MEM_MG_AllocDataBuf(char **inout_ppBuf, int32_t *inout_piSize, int32_t in_iLength)
{
    if (!inout_ppBuf || !inout_piSize || in_iLength < 0 || *inout_piSize < 0)
        return 0;
    if (!*inout_ppBuf || *inout_piSize < in_iLength) {
        char *pNew = (char *)VXQ_F_KIT_PR_Malloc((size_t)in_iLength);
        if (!pNew)
            return 0;
        free(*inout_ppBuf);
        *inout_ppBuf = pNew;
        *inout_piSize = in_iLength;
    }
    memset(*inout_ppBuf, 0, (size_t)in_iLength);
    return 1;
}

extern "C" int VXQ_F_MEM_MG_ExpandDataBuf(char **inout_ppBuf, int32_t *inout_piSize, int32_t in_iKeep,
                                          int32_t in_iLength)
{
    if (!inout_ppBuf || !inout_piSize || in_iKeep < 0 || in_iLength < 1 || *inout_piSize < 0)
        return 0;
    /* Never keep more than the old buffer holds or the new length asks for. */
    int32_t iKeep = in_iKeep < in_iLength ? in_iKeep : in_iLength;
    if (!*inout_ppBuf || *inout_piSize < in_iLength) {
        if (!*inout_ppBuf)
            iKeep = 0;
        else if (iKeep > *inout_piSize)
            iKeep = *inout_piSize;
        char *pNew = (char *)VXQ_F_KIT_PR_Malloc((size_t)in_iLength);
        if (!pNew)
            return 0;
        if (iKeep > 0)
            memcpy(pNew, *inout_ppBuf, (size_t)iKeep);
        free(*inout_ppBuf);
        *inout_ppBuf = pNew;
        *inout_piSize = in_iLength;
    }
    memset(*inout_ppBuf + iKeep, 0, (size_t)(in_iLength - iKeep));
    return 1;
}

extern "C" int VXQ_F_MEM_MG_BufInsideCopy(char *inout_pBuf, int32_t *inout_piLength, int32_t in_iCount)
{
    if (!inout_pBuf || !inout_piLength || *inout_piLength < 1 || in_iCount <= 0)
        return 0;
    if (in_iCount >= *inout_piLength) {
        *inout_piLength = 0;
        return 1;
    }
    int32_t iRest = *inout_piLength - in_iCount;
    memmove(inout_pBuf, inout_pBuf + in_iCount, (size_t)iRest);
    *inout_piLength = iRest;
    return 1;
}

extern "C" int VXQ_F_MEM_MG_FreeDataBuf(char **inout_ppBuf, int32_t *inout_piSize, int32_t *inout_piLength)
{
    if (!inout_ppBuf)
        return 0;
    free(*inout_ppBuf);
    *inout_ppBuf = NULL;
    if (inout_piSize)
        *inout_piSize = 0;
    if (inout_piLength)
        *inout_piLength = 0;
    return 1;
}
