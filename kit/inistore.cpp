/* INI store: reading by streaming lines, writing through an in-memory image
 * that replaces the file atomically; see vxq_inistore.h for the contract and
 * kit/inistore.h for the writer, which names its failure instead of logging it.
 *
 * Reader and writer classify a line with the same parser, so a value the
 * writer reports as stored is the value the reader finds next time. */
#include "kit/inistore.h"

#include "vxq_membuf.h"
#include "vxq_textfile.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

/* Kinds of line. */
#define VXQ_CONFIGMG_LINE_OTHER 0 /* blank, comment only, or text without '=' */
#define VXQ_CONFIGMG_LINE_HEAD 1  /* "[name]" */
#define VXQ_CONFIGMG_LINE_KEY 2   /* "key=value" */

/* One classified line; every position is an offset into the line. */
typedef struct {
    int iKind;
    int iNamePos; /* section name (head) or key (key line), trimmed */
    int iNameLen;
    int iValuePos; /* value, trimmed, comment removed; an empty value sits right after '=' */
    int iValueLen;
} _VXQ_S_CONFIGMG_LINE;

/* Outcomes of the writer's search. */
#define VXQ_CONFIGMG_FOUND_KEY 0
#define VXQ_CONFIGMG_NO_SECTION 1
#define VXQ_CONFIGMG_NO_KEY 2

/* The in-memory image of a file being edited: pointer, capacity, length. The
 * capacity always leaves room for a terminating zero. */
typedef struct {
    char *pData;
    int32_t iCapacity;
    int32_t iLen;
} _VXQ_S_CONFIGMG_IMAGE;

static void VXQ_F_CONFIGMG_PR_Trim(const char *in_pLine, int *inout_piBegin, int *inout_piEnd)
{
    while (*inout_piBegin < *inout_piEnd && in_pLine[*inout_piBegin] == ' ')
        (*inout_piBegin)++;
    while (*inout_piEnd > *inout_piBegin && in_pLine[*inout_piEnd - 1] == ' ')
        (*inout_piEnd)--;
}

/* Classifies the in_iLen characters at in_pLine (no line end). */
static void VXQ_F_CONFIGMG_PR_ParseLine(const char *in_pLine, int in_iLen, _VXQ_S_CONFIGMG_LINE *out_pLine)
{
    memset(out_pLine, 0, sizeof(*out_pLine));
    int iEnd = in_iLen;
    for (int i = 0; i + 1 < in_iLen; i++) {
        if (in_pLine[i] == '/' && in_pLine[i + 1] == '/') {
            iEnd = i;
            break;
        }
    }
    int iBegin = 0;
    VXQ_F_CONFIGMG_PR_Trim(in_pLine, &iBegin, &iEnd);
    if (iEnd - iBegin >= 2 && in_pLine[iBegin] == '[' && in_pLine[iEnd - 1] == ']') {
        int iNameBegin = iBegin + 1, iNameEnd = iEnd - 1;
        VXQ_F_CONFIGMG_PR_Trim(in_pLine, &iNameBegin, &iNameEnd);
        out_pLine->iKind = VXQ_CONFIGMG_LINE_HEAD;
        out_pLine->iNamePos = iNameBegin;
        out_pLine->iNameLen = iNameEnd - iNameBegin;
        return;
    }
    const char *pEq = (const char *)memchr(in_pLine + iBegin, '=', (size_t)(iEnd - iBegin));
    if (pEq == NULL)
        return;
    int iEq = (int)(pEq - in_pLine);
    int iKeyBegin = iBegin, iKeyEnd = iEq;
    VXQ_F_CONFIGMG_PR_Trim(in_pLine, &iKeyBegin, &iKeyEnd);
    int iValueBegin = iEq + 1, iValueEnd = iEnd;
    VXQ_F_CONFIGMG_PR_Trim(in_pLine, &iValueBegin, &iValueEnd);
    if (iValueEnd == iValueBegin)
        iValueBegin = iValueEnd = iEq + 1;
    out_pLine->iKind = VXQ_CONFIGMG_LINE_KEY;
    out_pLine->iNamePos = iKeyBegin;
    out_pLine->iNameLen = iKeyEnd - iKeyBegin;
    out_pLine->iValuePos = iValueBegin;
    out_pLine->iValueLen = iValueEnd - iValueBegin;
}

static int VXQ_F_CONFIGMG_PR_Equals(const char *in_pText, int in_iLen, const char *in_sName)
{
    return strlen(in_sName) == (size_t)in_iLen && memcmp(in_pText, in_sName, (size_t)in_iLen) == 0;
}

/* Streams in_sFile line by line. Returns 1 and the value in out_sValue when the
 * key is found in the section and its value is shorter than out_iSize, else 0. */
static int VXQ_F_CONFIGMG_PR_FindValue(const char *in_sSection, const char *in_sKey, char *out_sValue,
                                       int out_iSize, const char *in_sFile)
{
    if (in_sSection == NULL || in_sKey == NULL || in_sFile == NULL)
        return 0;
    _VXQ_S_FILE_DATA *pFile = VXQ_F_OpenFile(in_sFile, VXQ_FILE_MODE_READ);
    if (pFile == NULL)
        return 0;
    char *sLine = NULL;
    int iLineSize = 0, iLen = 0, bInSection = 0, bFound = 0;
    while (!bFound && (iLen = VXQ_F_ReadLine(pFile, &sLine, &iLineSize)) >= 0) {
        if (iLen == 0)
            continue;
        _VXQ_S_CONFIGMG_LINE tLine;
        VXQ_F_CONFIGMG_PR_ParseLine(sLine, iLen, &tLine);
        if (tLine.iKind == VXQ_CONFIGMG_LINE_HEAD) {
            /* A head leaves the section; a second head of the same name re-enters it. */
            bInSection = VXQ_F_CONFIGMG_PR_Equals(sLine + tLine.iNamePos, tLine.iNameLen, in_sSection);
            continue;
        }
        if (!bInSection || tLine.iKind != VXQ_CONFIGMG_LINE_KEY ||
            !VXQ_F_CONFIGMG_PR_Equals(sLine + tLine.iNamePos, tLine.iNameLen, in_sKey))
            continue;
        /* The first matching key decides: too long a value gives the default. */
        if (tLine.iValueLen < out_iSize) {
            memcpy(out_sValue, sLine + tLine.iValuePos, (size_t)tLine.iValueLen);
            out_sValue[tLine.iValueLen] = '\0';
            bFound = 1;
        } else {
            break;
        }
    }
    VXQ_F_FreeReadBuf(sLine);
    VXQ_F_CloseFile(pFile);
    return bFound;
}

extern "C" int VXQ_F_CONFIGMG_GetString(const char *in_sSection, const char *in_sKey, const char *in_sDefault,
                                        char *out_sValue, int out_iSize, const char *in_sFile)
{
    if (out_sValue == NULL || out_iSize < 1)
        return 0;
    if (VXQ_F_CONFIGMG_PR_FindValue(in_sSection, in_sKey, out_sValue, out_iSize, in_sFile))
        return 1;
    size_t nDefault = in_sDefault ? strlen(in_sDefault) : 0;
    if (nDefault > (size_t)out_iSize - 1)
        nDefault = (size_t)out_iSize - 1;
    if (nDefault > 0)
        memmove(out_sValue, in_sDefault, nDefault);
    out_sValue[nDefault] = '\0';
    return 1;
}

extern "C" int VXQ_F_CONFIGMG_GetInt(const char *in_sSection, const char *in_sKey, int in_iDefault,
                                     const char *in_sFile)
{
    char sValue[30];
    if (!VXQ_F_CONFIGMG_PR_FindValue(in_sSection, in_sKey, sValue, (int)sizeof(sValue), in_sFile))
        return in_iDefault;
    long lValue = strtol(sValue, NULL, 10);
    if (lValue > INT_MAX)
        return INT_MAX;
    if (lValue < INT_MIN)
        return INT_MIN;
    return (int)lValue;
}

extern "C" double VXQ_F_CONFIGMG_GetDouble(const char *in_sSection, const char *in_sKey, double in_fDefault,
                                           const char *in_sFile)
{
    char sValue[50];
    if (!VXQ_F_CONFIGMG_PR_FindValue(in_sSection, in_sKey, sValue, (int)sizeof(sValue), in_sFile))
        return in_fDefault;
    return strtod(sValue, NULL);
}

/* Makes the image hold at least in_iNeed bytes plus a terminating zero, keeping its content. */
static int VXQ_F_CONFIGMG_PR_Reserve(_VXQ_S_CONFIGMG_IMAGE *inout_pImage, int in_iNeed)
{
    if (in_iNeed < 0 || in_iNeed > INT_MAX - 1)
        return 0;
    if (inout_pImage->pData != NULL && inout_pImage->iCapacity >= in_iNeed + 1)
        return 1;
    return VXQ_F_MEM_MG_ExpandDataBuf(&inout_pImage->pData, &inout_pImage->iCapacity, inout_pImage->iLen,
                                      in_iNeed + 1);
}

/* Replaces in_iOldLen bytes at in_iPos of the image by in_iNewLen bytes of in_pNew. */
static int VXQ_F_CONFIGMG_PR_Splice(_VXQ_S_CONFIGMG_IMAGE *inout_pImage, int in_iPos, int in_iOldLen,
                                    const char *in_pNew, int in_iNewLen)
{
    if (in_iNewLen > INT_MAX - 2 - inout_pImage->iLen)
        return 0;
    int iNewTotal = inout_pImage->iLen - in_iOldLen + in_iNewLen;
    if (!VXQ_F_CONFIGMG_PR_Reserve(inout_pImage, iNewTotal))
        return 0;
    char *pData = inout_pImage->pData;
    memmove(pData + in_iPos + in_iNewLen, pData + in_iPos + in_iOldLen,
            (size_t)(inout_pImage->iLen - in_iPos - in_iOldLen));
    memcpy(pData + in_iPos, in_pNew, (size_t)in_iNewLen);
    inout_pImage->iLen = iNewTotal;
    pData[iNewTotal] = '\0';
    return 1;
}

/* Loads the whole file. Returns 1 with the image (empty for a missing file and
 * then *out_pbMissing = 1), 0 when the file exists but cannot be read or memory is short. */
static int VXQ_F_CONFIGMG_PR_ReadAllFileData(const char *in_sFile, _VXQ_S_CONFIGMG_IMAGE *out_pImage,
                                             int *out_pbMissing)
{
    *out_pbMissing = 0;
    if (!VXQ_F_CONFIGMG_PR_Reserve(out_pImage, 0))
        return 0;
    out_pImage->pData[0] = '\0';
    FILE *pStream = fopen(in_sFile, "rb");
    if (pStream == NULL) {
        *out_pbMissing = errno == ENOENT ? 1 : 0;
        return *out_pbMissing;
    }
    int iResult = 1;
    for (;;) {
        if (out_pImage->iCapacity - 1 - out_pImage->iLen < 4096) {
            /* Double the room (at least 4096 bytes) up to the largest image an int can describe. */
            int64_t iWant = (int64_t)out_pImage->iLen * 2;
            if (iWant < (int64_t)out_pImage->iLen + 4096)
                iWant = (int64_t)out_pImage->iLen + 4096;
            if (iWant > INT_MAX - 1)
                iWant = INT_MAX - 1;
            if (iWant - out_pImage->iLen < 1 || !VXQ_F_CONFIGMG_PR_Reserve(out_pImage, (int)iWant)) {
                iResult = 0;
                break;
            }
        }
        size_t nRoom = (size_t)(out_pImage->iCapacity - 1 - out_pImage->iLen);
        size_t nRead = fread(out_pImage->pData + out_pImage->iLen, 1, nRoom, pStream);
        out_pImage->iLen += (int)nRead;
        if (nRead < nRoom) {
            iResult = ferror(pStream) ? 0 : 1;
            break;
        }
    }
    fclose(pStream);
    out_pImage->pData[out_pImage->iLen] = '\0';
    return iResult;
}

/* End of the line content that starts at in_iPos (first CR or LF, or the image end). */
static int VXQ_F_CONFIGMG_PR_ContentEnd(const _VXQ_S_CONFIGMG_IMAGE *in_pImage, int in_iPos)
{
    while (in_iPos < in_pImage->iLen && in_pImage->pData[in_iPos] != '\n' &&
           in_pImage->pData[in_iPos] != '\r')
        in_iPos++;
    return in_iPos;
}

/* The start of the line after the line end at in_iPos (CR LF, LF or CR; the image end stays). */
static int VXQ_F_CONFIGMG_PR_SkipLineEnd(const _VXQ_S_CONFIGMG_IMAGE *in_pImage, int in_iPos)
{
    const char *pData = in_pImage->pData;
    if (in_iPos < in_pImage->iLen && pData[in_iPos] == '\r') {
        in_iPos++;
        if (in_iPos < in_pImage->iLen && pData[in_iPos] == '\n')
            in_iPos++;
    } else if (in_iPos < in_pImage->iLen && pData[in_iPos] == '\n') {
        in_iPos++;
    }
    return in_iPos;
}

/* Searches the first section in_sSection of the image for in_sKey. Returns the
 * outcome; with VXQ_CONFIGMG_FOUND_KEY the value's position and length, with
 * VXQ_CONFIGMG_NO_KEY the end of the section (start of the next head line or the
 * image end). */
static int VXQ_F_CONFIGMG_PR_QueryKeyValue(const _VXQ_S_CONFIGMG_IMAGE *in_pImage, const char *in_sSection,
                                           const char *in_sKey, int *out_piPos, int *out_piLen)
{
    int bInSection = 0;
    int iLineStart = 0;
    while (iLineStart < in_pImage->iLen) {
        int iContentEnd = VXQ_F_CONFIGMG_PR_ContentEnd(in_pImage, iLineStart);
        const char *pLine = in_pImage->pData + iLineStart;
        _VXQ_S_CONFIGMG_LINE tLine;
        VXQ_F_CONFIGMG_PR_ParseLine(pLine, iContentEnd - iLineStart, &tLine);
        if (tLine.iKind == VXQ_CONFIGMG_LINE_HEAD) {
            if (bInSection) {
                *out_piPos = iLineStart;
                return VXQ_CONFIGMG_NO_KEY;
            }
            bInSection = VXQ_F_CONFIGMG_PR_Equals(pLine + tLine.iNamePos, tLine.iNameLen, in_sSection);
        } else if (bInSection && tLine.iKind == VXQ_CONFIGMG_LINE_KEY &&
                   VXQ_F_CONFIGMG_PR_Equals(pLine + tLine.iNamePos, tLine.iNameLen, in_sKey)) {
            *out_piPos = iLineStart + tLine.iValuePos;
            *out_piLen = tLine.iValueLen;
            return VXQ_CONFIGMG_FOUND_KEY;
        }
        iLineStart = VXQ_F_CONFIGMG_PR_SkipLineEnd(in_pImage, iContentEnd);
    }
    *out_piPos = in_pImage->iLen;
    return bInSection ? VXQ_CONFIGMG_NO_KEY : VXQ_CONFIGMG_NO_SECTION;
}

/* Joins the zero-terminated texts of in_psParts (null-terminated list) into a new
 * heap text; *out_piLen gets its length. Null when memory is short or too long. */
static char *VXQ_F_CONFIGMG_PR_Join(const char *const *in_psParts, int *out_piLen)
{
    size_t nTotal = 0;
    for (const char *const *ps = in_psParts; *ps != NULL; ps++) {
        nTotal += strlen(*ps);
        if (nTotal > (size_t)INT_MAX - 16)
            return NULL;
    }
    char *sText = (char *)malloc(nTotal + 1);
    if (sText == NULL)
        return NULL;
    size_t nAt = 0;
    for (const char *const *ps = in_psParts; *ps != NULL; ps++) {
        size_t n = strlen(*ps);
        memcpy(sText + nAt, *ps, n);
        nAt += n;
    }
    sText[nAt] = '\0';
    *out_piLen = (int)nAt;
    return sText;
}

/* Inserts "key=value\n" after the last non-empty line before in_iSectionEnd. */
static int VXQ_F_CONFIGMG_PR_AddSubKey(_VXQ_S_CONFIGMG_IMAGE *inout_pImage, int in_iSectionEnd,
                                       const char *in_sKey, const char *in_sValue)
{
    const char *pData = inout_pImage->pData;
    int iPos = in_iSectionEnd;
    while (iPos > 0 && (pData[iPos - 1] == ' ' || pData[iPos - 1] == '\r' || pData[iPos - 1] == '\n'))
        iPos--;
    /* iPos is just behind the last character of the last non-empty line (its head at least). */
    int iContentEnd = VXQ_F_CONFIGMG_PR_ContentEnd(inout_pImage, iPos);
    int iInsert = VXQ_F_CONFIGMG_PR_SkipLineEnd(inout_pImage, iContentEnd);
    /* A last line without a line end gets one, so the new key does not join it. */
    int bNeedsLineEnd = iInsert == iContentEnd && iInsert > 0;
    const char *asParts[] = {bNeedsLineEnd ? "\n" : "", in_sKey, "=", in_sValue, "\n", NULL};
    int iLineLen = 0;
    char *sLine = VXQ_F_CONFIGMG_PR_Join(asParts, &iLineLen);
    if (sLine == NULL)
        return 0;
    int iResult = VXQ_F_CONFIGMG_PR_Splice(inout_pImage, iInsert, 0, sLine, iLineLen);
    free(sLine);
    return iResult;
}

/* Appends "\n[section]\nkey=value\n" at the image end. */
static int VXQ_F_CONFIGMG_PR_AddMainKey(_VXQ_S_CONFIGMG_IMAGE *inout_pImage, const char *in_sSection,
                                        const char *in_sKey, const char *in_sValue)
{
    const char *asParts[] = {"\n[", in_sSection, "]\n", in_sKey, "=", in_sValue, "\n", NULL};
    int iLen = 0;
    char *sText = VXQ_F_CONFIGMG_PR_Join(asParts, &iLen);
    if (sText == NULL)
        return 0;
    int iResult = VXQ_F_CONFIGMG_PR_Splice(inout_pImage, inout_pImage->iLen, 0, sText, iLen);
    free(sText);
    return iResult;
}

/* Writes in_iLen bytes to in_iFd completely. */
static int VXQ_F_CONFIGMG_PR_WriteAll(int in_iFd, const char *in_pData, int in_iLen)
{
    while (in_iLen > 0) {
        ssize_t nDone = write(in_iFd, in_pData, (size_t)in_iLen);
        if (nDone < 0 && errno == EINTR)
            continue;
        if (nDone <= 0)
            return 0;
        in_pData += nDone;
        in_iLen -= (int)nDone;
    }
    return 1;
}

/* Replaces in_sFile by the image: a new file beside it (same directory, so the
 * rename cannot cross file systems), flushed to disk, then renamed over the old
 * one. A symbolic link is followed, so the link stays and its target is replaced.
 * On any failure the temporary file is removed, the old file is untouched, 0. */
static int VXQ_F_CONFIGMG_PR_WriteDataToFile(const char *in_sFile, const _VXQ_S_CONFIGMG_IMAGE *in_pImage)
{
    static std::atomic<unsigned> s_dwTempSerial{0};
    char sTarget[PATH_MAX];
    char *sResolved = realpath(in_sFile, NULL);
    int iLen = snprintf(sTarget, sizeof(sTarget), "%s", sResolved ? sResolved : in_sFile);
    free(sResolved);
    if (iLen < 0 || (size_t)iLen >= sizeof(sTarget) - 32)
        return 0;
    struct stat tOld;
    int bHasOld = stat(sTarget, &tOld) == 0;
    char sTemp[PATH_MAX + 64];
    int iFd = -1;
    for (int iTry = 0; iTry < 100 && iFd < 0; iTry++) {
        snprintf(sTemp, sizeof(sTemp), "%s.tmp%ld.%u", sTarget, (long)getpid(), s_dwTempSerial.fetch_add(1));
        iFd = open(sTemp, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (iFd < 0 && errno != EEXIST)
            return 0;
    }
    if (iFd < 0)
        return 0;
    int iOk = 1;
    if (bHasOld && fchmod(iFd, tOld.st_mode & 07777) != 0)
        iOk = 0;
    if (iOk)
        iOk = VXQ_F_CONFIGMG_PR_WriteAll(iFd, in_pImage->pData, in_pImage->iLen);
    if (iOk && fsync(iFd) != 0)
        iOk = 0;
    if (close(iFd) != 0)
        iOk = 0;
    if (iOk && rename(sTemp, sTarget) != 0)
        iOk = 0;
    if (!iOk) {
        unlink(sTemp);
        return 0;
    }
    return 1;
}

/* 1 when the text can be stored and read back unchanged as a name, key or value:
 * no line end, no comment mark; a key also has no '='. */
static int VXQ_F_CONFIGMG_PR_IsStorable(const char *in_sText, int in_bKey)
{
    if (strpbrk(in_sText, in_bKey ? "\r\n=" : "\r\n") != NULL || strstr(in_sText, "//") != NULL)
        return 0;
    return 1;
}

int VXQ_F_CONFIGMG_StoreString(const char *in_sSection, const char *in_sKey, const char *in_sValue,
                               const char *in_sFile, const char **out_psFailure)
{
    const char *sUnused = NULL;
    const char **psFailure = out_psFailure != NULL ? out_psFailure : &sUnused;
    *psFailure = NULL;
    const char *sBadArgument = NULL;
    if (in_sSection == NULL || !VXQ_F_CONFIGMG_PR_IsStorable(in_sSection, 0))
        sBadArgument = "VXQ_F_CONFIGMG_SetString in_sSection error.";
    else if (in_sKey == NULL || !VXQ_F_CONFIGMG_PR_IsStorable(in_sKey, 1))
        sBadArgument = "VXQ_F_CONFIGMG_SetString in_sKey error.";
    else if (in_sValue == NULL || !VXQ_F_CONFIGMG_PR_IsStorable(in_sValue, 0))
        sBadArgument = "VXQ_F_CONFIGMG_SetString in_sValue error.";
    else if (in_sFile == NULL)
        sBadArgument = "VXQ_F_CONFIGMG_SetString in_sFile error.";
    if (sBadArgument != NULL) {
        *psFailure = sBadArgument;
        return 0;
    }
    _VXQ_S_CONFIGMG_IMAGE tImage = {NULL, 0, 0};
    int bMissing = 0;
    if (!VXQ_F_CONFIGMG_PR_ReadAllFileData(in_sFile, &tImage, &bMissing)) {
        VXQ_F_MEM_MG_FreeDataBuf(&tImage.pData, &tImage.iCapacity, &tImage.iLen);
        *psFailure = "VXQ_F_CONFIGMG_SetString VXQ_F_CONFIGMG_PR_ReadAllFileData fail.";
        return 0;
    }
    int iPos = 0, iLen = 0, iResult = 1, bChanged = 1;
    const char *sStep = "VXQ_F_CONFIGMG_SetString VXQ_F_CONFIGMG_PR_ReplaceKeyValue fail.";
    switch (VXQ_F_CONFIGMG_PR_QueryKeyValue(&tImage, in_sSection, in_sKey, &iPos, &iLen)) {
    case VXQ_CONFIGMG_FOUND_KEY:
        if (VXQ_F_CONFIGMG_PR_Equals(tImage.pData + iPos, iLen, in_sValue))
            bChanged = 0;
        else
            iResult = VXQ_F_CONFIGMG_PR_Splice(&tImage, iPos, iLen, in_sValue, (int)strlen(in_sValue));
        break;
    case VXQ_CONFIGMG_NO_KEY:
        sStep = "VXQ_F_CONFIGMG_SetString VXQ_F_CONFIGMG_PR_AddSubKey fail.";
        iResult = VXQ_F_CONFIGMG_PR_AddSubKey(&tImage, iPos, in_sKey, in_sValue);
        break;
    default:
        sStep = "VXQ_F_CONFIGMG_SetString VXQ_F_CONFIGMG_PR_AddMainKey fail.";
        iResult = VXQ_F_CONFIGMG_PR_AddMainKey(&tImage, in_sSection, in_sKey, in_sValue);
        break;
    }
    if (!iResult)
        *psFailure = sStep;
    else if (bChanged && !VXQ_F_CONFIGMG_PR_WriteDataToFile(in_sFile, &tImage)) {
        *psFailure = "VXQ_F_CONFIGMG_SetString VXQ_F_CONFIGMG_PR_WriteDataToFile fail.";
        iResult = 0;
    }
    VXQ_F_MEM_MG_FreeDataBuf(&tImage.pData, &tImage.iCapacity, &tImage.iLen);
    return iResult;
}
