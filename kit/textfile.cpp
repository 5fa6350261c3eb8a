/* File handles and line readers; see vxq_textfile.h for the contract. */
#include "vxq_textfile.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>

struct _VXQ_S_FILE_DATA {
    FILE *pStream;
    char *sPath;   /* heap copy of the path given to VXQ_F_OpenFile */
    int iPathSize; /* bytes of sPath: path length + 1 */
};

static const char *VXQ_F_FILE_PR_ModeText(int in_iMode)
{
    switch (in_iMode) {
    case VXQ_FILE_MODE_WRITE:
        return "w";
    case VXQ_FILE_MODE_WRITE_READ:
        return "w+";
    case VXQ_FILE_MODE_READ_BIN:
        return "rb";
    case VXQ_FILE_MODE_WRITE_BIN:
        return "wb";
    case VXQ_FILE_MODE_UPDATE_BIN:
        return "r+b";
    default:
        return "r";
    }
}

extern "C" _VXQ_S_FILE_DATA *VXQ_F_OpenFile(const char *in_sPath, int in_iMode)
{
    if (in_sPath == NULL)
        return NULL;
    size_t nPath = strlen(in_sPath) + 1;
    _VXQ_S_FILE_DATA *pFile = (_VXQ_S_FILE_DATA *)calloc(1, sizeof(*pFile));
    char *sPath = (char *)malloc(nPath);
    if (pFile == NULL || sPath == NULL || nPath > 0x7FFFFFFF) {
        free(pFile);
        free(sPath);
        return NULL;
    }
    pFile->pStream = fopen(in_sPath, VXQ_F_FILE_PR_ModeText(in_iMode));
    if (pFile->pStream == NULL) {
        free(pFile);
        free(sPath);
        return NULL;
    }
    memcpy(sPath, in_sPath, nPath);
    pFile->sPath = sPath;
    pFile->iPathSize = (int)nPath;
    return pFile;
}

extern "C" int VXQ_F_CloseFile(_VXQ_S_FILE_DATA *in_pFile)
{
    if (in_pFile == NULL)
        return 1;
    int iResult = fclose(in_pFile->pStream) == 0 ? 1 : 0;
    free(in_pFile->sPath);
    free(in_pFile);
    return iResult;
}

extern "C" const char *VXQ_F_GetFilePath(const _VXQ_S_FILE_DATA *in_pFile)
{
    return in_pFile ? in_pFile->sPath : NULL;
}

extern "C" int VXQ_F_ReadData(_VXQ_S_FILE_DATA *in_pFile, void *out_pBuf, int in_iLen)
{
    if (in_pFile == NULL || out_pBuf == NULL || in_iLen < 0)
        return -1;
    if (in_iLen == 0)
        return 0;
    size_t nRead = fread(out_pBuf, 1, (size_t)in_iLen, in_pFile->pStream);
    /* Bytes delivered together with the end of the file are still reported:
     * the last piece of a file is data like any other. */
    if (nRead > 0)
        return (int)nRead;
    return ferror(in_pFile->pStream) ? -1 : 0;
}

/* Makes *inout_psBuf hold at least in_iNeed bytes, growing in steps of
 * VXQ_FILE_LINE_STEP and keeping the first in_iKeep bytes. 0 when memory is short
 * (the old buffer is then untouched). */
static int VXQ_F_FILE_PR_GrowLineBuf(char **inout_psBuf, int *inout_piSize, int in_iKeep, int in_iNeed)
{
    if (*inout_psBuf != NULL && *inout_piSize >= in_iNeed)
        return 1;
    int iSize = *inout_psBuf != NULL && *inout_piSize > 0 ? *inout_piSize : 0;
    while (iSize < in_iNeed) {
        if (iSize > 0x7FFFFFFF - VXQ_FILE_LINE_STEP)
            return 0;
        iSize += VXQ_FILE_LINE_STEP;
    }
    char *sNew = (char *)malloc((size_t)iSize);
    if (sNew == NULL)
        return 0;
    if (*inout_psBuf != NULL && in_iKeep > 0)
        memcpy(sNew, *inout_psBuf, (size_t)in_iKeep);
    free(*inout_psBuf);
    *inout_psBuf = sNew;
    *inout_piSize = iSize;
    return 1;
}

extern "C" int VXQ_F_ReadLine(_VXQ_S_FILE_DATA *in_pFile, char **inout_psBuf, int *inout_piSize)
{
    if (in_pFile == NULL || inout_psBuf == NULL || inout_piSize == NULL)
        return VXQ_FILE_LINE_END;
    if (!VXQ_F_FILE_PR_GrowLineBuf(inout_psBuf, inout_piSize, 0, VXQ_FILE_LINE_STEP))
        return VXQ_FILE_LINE_NOMEM;
    FILE *pStream = in_pFile->pStream;
    int iLen = 0;
    int iChar = getc(pStream);
    if (iChar == EOF)
        return VXQ_FILE_LINE_END;
    for (; iChar != EOF; iChar = getc(pStream)) {
        if (iChar == '\n')
            break;
        if (iChar == '\r') {
            int iNext = getc(pStream);
            if (iNext != '\n' && iNext != EOF)
                ungetc(iNext, pStream);
            break;
        }
        /* Room for this character and the terminating zero. */
        if (iLen + 2 > *inout_piSize && !VXQ_F_FILE_PR_GrowLineBuf(inout_psBuf, inout_piSize, iLen, iLen + 2))
            return VXQ_FILE_LINE_NOMEM;
        (*inout_psBuf)[iLen++] = (char)iChar;
    }
    (*inout_psBuf)[iLen] = '\0';
    return iLen;
}

extern "C" int VXQ_F_ReadLineEx(_VXQ_S_FILE_DATA *in_pFile, char **inout_psBuf, int *inout_piSize)
{
    if (in_pFile == NULL || inout_psBuf == NULL || inout_piSize == NULL)
        return 0;
    if (*inout_psBuf == NULL || *inout_piSize < VXQ_FILE_LINE_EX_SIZE) {
        char *sNew = (char *)malloc(VXQ_FILE_LINE_EX_SIZE);
        if (sNew == NULL)
            return 0;
        free(*inout_psBuf);
        *inout_psBuf = sNew;
        *inout_piSize = VXQ_FILE_LINE_EX_SIZE;
    }
    char *sBuf = *inout_psBuf;
    if (fgets(sBuf, VXQ_FILE_LINE_EX_SIZE, in_pFile->pStream) == NULL)
        return ferror(in_pFile->pStream) ? 0 : VXQ_FILE_LINE_EX_END;
    int iLen = (int)strlen(sBuf);
    if (iLen > 0 && sBuf[iLen - 1] == '\n')
        sBuf[--iLen] = '\0';
    if (iLen > 0 && sBuf[iLen - 1] == '\r')
        sBuf[--iLen] = '\0';
    return iLen;
}

extern "C" int VXQ_F_WriteString(_VXQ_S_FILE_DATA *in_pFile, const char *in_sText)
{
    if (in_pFile == NULL)
        return 0;
    if (in_sText == NULL)
        return 1;
    return fputs(in_sText, in_pFile->pStream) >= 0 ? 1 : 0;
}

extern "C" int VXQ_F_WriteChar(_VXQ_S_FILE_DATA *in_pFile, char in_cChar)
{
    if (in_pFile == NULL)
        return 0;
    return fputc((unsigned char)in_cChar, in_pFile->pStream) != EOF ? 1 : 0;
}

extern "C" int64_t VXQ_F_GetFileSize(_VXQ_S_FILE_DATA *in_pFile)
{
    if (in_pFile == NULL)
        return -1;
    FILE *pStream = in_pFile->pStream;
    off_t tHere = ftello(pStream);
    if (tHere < 0 || fseeko(pStream, 0, SEEK_END) != 0)
        return -1;
    off_t tEnd = ftello(pStream);
    if (fseeko(pStream, tHere, SEEK_SET) != 0)
        return -1;
    return tEnd < 0 ? -1 : (int64_t)tEnd;
}

extern "C" int VXQ_F_SetFileBeginPos(_VXQ_S_FILE_DATA *in_pFile)
{
    if (in_pFile == NULL)
        return 0;
    return fseeko(in_pFile->pStream, 0, SEEK_SET) == 0 ? 1 : 0;
}

extern "C" void VXQ_F_FreeReadBuf(char *in_sBuf)
{
    free(in_sBuf);
}
