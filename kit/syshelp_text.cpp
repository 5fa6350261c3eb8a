/* In-place string edits, the JSON value replacement, section reading and
 * blank trimming; see vxq_syshelp.h. */
#include "vxq_syshelp.h"

#include <ctype.h>
#include <stdlib.h>
#include <string.h>

/* Keys of ReplaceJsonValue are shorter than this, quotes not counted. */
static const size_t SYS_JSON_KEY_MAX = 128;

static int VXQ_F_SYS_PR_IsBlankOrTab(char in_c)
{
    return in_c == ' ' || in_c == '\t';
}

extern "C" int VXQ_F_SYS_ReplaceString(char *inout_sText, int32_t in_iPos, int32_t in_iCount,
                                       const char *in_sReplace)
{
    if (!inout_sText)
        return 0;
    if (!in_sReplace)
        in_sReplace = "";
    size_t nLen = strlen(inout_sText);
    size_t nPos = in_iPos < 0 ? 0 : ((size_t)in_iPos > nLen ? nLen : (size_t)in_iPos);
    size_t nCount = in_iCount < 0 ? 0 : (size_t)in_iCount;
    if (nCount > nLen - nPos)
        nCount = nLen - nPos;
    /* The tail is copied aside: the replacement may be longer than what it replaces. */
    const char *pTail = inout_sText + nPos + nCount;
    size_t nTail = strlen(pTail);
    char *pCopy = (char *)malloc(nTail + 1);
    if (!pCopy)
        return 0;
    memcpy(pCopy, pTail, nTail + 1);
    size_t nRepl = strlen(in_sReplace);
    memmove(inout_sText + nPos, in_sReplace, nRepl);
    memcpy(inout_sText + nPos + nRepl, pCopy, nTail + 1);
    free(pCopy);
    return 1;
}

extern "C" int VXQ_F_SYS_ReplaceStringEx(char *inout_sText, const char *in_sFind, const char *in_sReplace)
{
    if (!inout_sText || !in_sFind || !in_sFind[0])
        return 0;
    const char *pHit = strstr(inout_sText, in_sFind);
    if (!pHit)
        return 0;
    return VXQ_F_SYS_ReplaceString(inout_sText, (int32_t)(pHit - inout_sText), (int32_t)strlen(in_sFind),
                                   in_sReplace);
}

extern "C" int VXQ_F_SYS_ReplaceJsonValue(char *inout_sJson, const char *in_sKey, const char *in_sValue)
{
    if (!inout_sJson || !in_sKey || !in_sValue)
        return 0;
    size_t nKey = strlen(in_sKey);
    if (nKey >= SYS_JSON_KEY_MAX)
        return 0;
    char sQuoted[SYS_JSON_KEY_MAX + 2];
    sQuoted[0] = '"';
    memcpy(sQuoted + 1, in_sKey, nKey);
    sQuoted[nKey + 1] = '"';
    sQuoted[nKey + 2] = '\0';
    const char *pKey = strstr(inout_sJson, sQuoted);
    if (!pKey)
        return 0;
    const char *pColon = strchr(pKey + nKey + 2, ':');
    if (!pColon)
        return 0;
    const char *pValue = pColon + 1;
    while (VXQ_F_SYS_PR_IsBlankOrTab(*pValue))
        pValue++;
    const char *pComma = strchr(pValue, ',');
    size_t nOld = pComma ? (size_t)(pComma - pValue) : strlen(pValue);
    return VXQ_F_SYS_ReplaceString(inout_sJson, (int32_t)(pValue - inout_sJson), (int32_t)nOld, in_sValue);
}

extern "C" int VXQ_F_SYS_StrCaseCmp(const char *in_sA, const char *in_sB)
{
    if (!in_sA || !in_sB)
        return in_sA == in_sB ? 0 : (in_sA ? 1 : -1);
    const unsigned char *pA = (const unsigned char *)in_sA;
    const unsigned char *pB = (const unsigned char *)in_sB;
    for (;; pA++, pB++) {
        int iA = tolower(*pA);
        int iB = tolower(*pB);
        if (iA != iB || iA == 0)
            return iA - iB;
    }
}

extern "C" int VXQ_F_SYS_StrOp_JumpSpace(const char **inout_ps)
{
    if (!inout_ps || !*inout_ps)
        return 0;
    while (VXQ_F_SYS_PR_IsBlankOrTab(**inout_ps))
        (*inout_ps)++;
    return 1;
}

extern "C" int VXQ_F_SYS_StrOp_GetSectString(const char **inout_ps, char in_cDelim, int32_t in_iMax,
                                             char *out_sSect)
{
    if (!inout_ps || !*inout_ps || !**inout_ps)
        return 1;
    if (!out_sSect)
        return 2;
    const char *p = *inout_ps;
    const char *pDelim = strchr(p, in_cDelim);
    size_t nSect = pDelim ? (size_t)(pDelim - p) : strlen(p);
    if (in_iMax <= 0 || nSect >= (size_t)in_iMax)
        return 2;
    memcpy(out_sSect, p, nSect);
    out_sSect[nSect] = '\0';
    *inout_ps = pDelim ? pDelim + 1 : p + nSect;
    return 0;
}

/* Drops the leading characters for which in_pfIs holds. */
static void VXQ_F_SYS_PR_RemoveLeft(char *inout_sText, int (*in_pfIs)(char))
{
    size_t nSkip = 0;
    while (inout_sText[nSkip] && in_pfIs(inout_sText[nSkip]))
        nSkip++;
    if (nSkip)
        memmove(inout_sText, inout_sText + nSkip, strlen(inout_sText + nSkip) + 1);
}

/* Drops the trailing characters for which in_pfIs holds; returns the length before. */
static size_t VXQ_F_SYS_PR_RemoveRight(char *inout_sText, int (*in_pfIs)(char))
{
    size_t nLen = strlen(inout_sText);
    size_t nEnd = nLen;
    while (nEnd > 0 && in_pfIs(inout_sText[nEnd - 1]))
        nEnd--;
    inout_sText[nEnd] = '\0';
    return nLen;
}

static int VXQ_F_SYS_PR_IsBlank(char in_c)
{
    return in_c == ' ';
}

extern "C" int VXQ_F_SYS_RemoveLeftSpace(char *inout_sText)
{
    if (!inout_sText)
        return 0;
    VXQ_F_SYS_PR_RemoveLeft(inout_sText, VXQ_F_SYS_PR_IsBlankOrTab);
    return 1;
}

extern "C" int VXQ_F_SYS_RemoveRightSpace(char *inout_sText)
{
    if (!inout_sText)
        return 0;
    VXQ_F_SYS_PR_RemoveRight(inout_sText, VXQ_F_SYS_PR_IsBlankOrTab);
    return 1;
}

extern "C" int VXQ_F_SYS_RemoveTwoWaySpace(char *inout_sText)
{
    if (!inout_sText)
        return 0;
    VXQ_F_SYS_PR_RemoveRight(inout_sText, VXQ_F_SYS_PR_IsBlankOrTab);
    VXQ_F_SYS_PR_RemoveLeft(inout_sText, VXQ_F_SYS_PR_IsBlankOrTab);
    return 1;
}

extern "C" int VXQ_F_TOOLS_TrimString(char *inout_sText)
{
    if (!inout_sText)
        return 0;
    char *pOut = inout_sText;
    for (const char *p = inout_sText; *p; p++) {
        if (*p != ' ')
            *pOut++ = *p;
    }
    *pOut = '\0';
    return 1;
}

extern "C" int VXQ_F_TOOLS_TrimLeftString(char *inout_sText)
{
    if (!inout_sText)
        return 0;
    VXQ_F_SYS_PR_RemoveLeft(inout_sText, VXQ_F_SYS_PR_IsBlank);
    return 1;
}

extern "C" int32_t VXQ_F_TOOLS_TrimRightString(char *inout_sText)
{
    if (!inout_sText)
        return 0;
    return (int32_t)VXQ_F_SYS_PR_RemoveRight(inout_sText, VXQ_F_SYS_PR_IsBlank);
}

extern "C" int VXQ_F_TOOLS_TrimBothString(char *inout_sText)
{
    if (!inout_sText)
        return 0;
    VXQ_F_SYS_PR_RemoveRight(inout_sText, VXQ_F_SYS_PR_IsBlank);
    VXQ_F_SYS_PR_RemoveLeft(inout_sText, VXQ_F_SYS_PR_IsBlank);
    return 1;
}
