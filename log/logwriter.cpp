/* The process-wide log writer; see vxq_log.h for the contract and logwriter.h
 * for the state and the hand-over points of the log servers. */
#include "log/logwriter.h"

#include "kit/clock.h"
#include "vxq_membuf.h"
#include "vxq_queue.h"

#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

VXQ_C_LOG_SR_DATA tLogData;

/* The heads between the brackets: English, and the two GBK characters of the
 * device's home market ("log" and "prompt"). */
static const char s_sHeadLogEn[] = "Log";
static const char s_sHeadLogNat[] = "\xC8\xD5\xD6\xBE";
static const char s_sHeadPromptEn[] = "Prompt";
static const char s_sHeadPromptNat[] = "\xCC\xE1\xCA\xBE";

/* How deep the calling thread is inside the writer's lock. A log call made from
 * there (by a queue or a sink the writer feeds) would deadlock on the lock or
 * overwrite the line being handed over, so it is dropped. */
static thread_local int s_iWriterDepth = 0;

/* Holds the writer's lock and marks the thread as inside the writer. */
class VXQ_C_LOG_SR_GUARD
{
  public:
    VXQ_C_LOG_SR_GUARD() : m_tLock(tLogData.tLock)
    {
        s_iWriterDepth++;
    }
    ~VXQ_C_LOG_SR_GUARD()
    {
        s_iWriterDepth--;
    }
    VXQ_C_LOG_SR_GUARD(const VXQ_C_LOG_SR_GUARD &) = delete;
    VXQ_C_LOG_SR_GUARD &operator=(const VXQ_C_LOG_SR_GUARD &) = delete;

  private:
    std::lock_guard<std::mutex> m_tLock;
};

VXQ_C_LOG_SR_DATA::~VXQ_C_LOG_SR_DATA()
{
    /* Runs at process exit. A thread that still logs afterwards finds an empty
     * line buffer and simply allocates a new one. */
    std::lock_guard<std::mutex> tGuard(tLock);
    VXQ_F_MEM_MG_FreeDataBuf(&pLineBuf, &iLineBufSize, nullptr);
}

/* Formats the local time of the clock with in_sFormat (strftime). */
static void VXQ_F_LOG_SR_PR_TimeText(char *out_sText, size_t in_nSize, const char *in_sFormat)
{
    struct tm tLocal;
    if (!VXQ_F_CLOCK_LocalNow(&tLocal) || strftime(out_sText, in_nSize, in_sFormat, &tLocal) == 0)
        out_sText[0] = '\0';
}

/* A message reaches every output (file, console, line feeds, host record and
 * with it the trace datagrams) in its harmless form, made here and only here:
 * each byte below 0x20 and 0x7F becomes the four characters "\xNN" (lowercase
 * hex), so a client's text can neither forge a line nor steer a terminal.
 * Bytes from 0x80 up stay (GBK and UTF-8 texts), and so does a backslash, so
 * a text without control bytes comes out byte for byte. One line end at the
 * very end of a message ("\n", "\r\n" or "\r") is dropped first: the writer
 * ends every line itself. */
static int VXQ_F_LOG_SR_PR_IsControl(unsigned char in_ucByte)
{
    return in_ucByte < 0x20 || in_ucByte == 0x7F;
}

/* The bytes of in_sText that are written (its length without the final line
 * end) and, in *out_pnHarmless, the length of their harmless form. */
static size_t VXQ_F_LOG_SR_PR_MessageBytes(const char *in_sText, size_t *out_pnHarmless)
{
    size_t nBytes = strlen(in_sText);
    if (nBytes > 0 && in_sText[nBytes - 1] == '\n')
        nBytes--;
    if (nBytes > 0 && in_sText[nBytes - 1] == '\r')
        nBytes--;
    size_t nHarmless = nBytes;
    for (size_t i = 0; i < nBytes; i++)
        nHarmless += VXQ_F_LOG_SR_PR_IsControl((unsigned char)in_sText[i]) ? 3 : 0;
    *out_pnHarmless = nHarmless;
    return nBytes;
}

/* Writes the harmless form of in_nBytes bytes of in_sText into out_sDst, at most
 * in_nMax characters (an escape that does not fit whole is left out), and a
 * terminating zero. Returns the characters written. */
static size_t VXQ_F_LOG_SR_PR_PutHarmless(char *out_sDst, size_t in_nMax, const char *in_sText, size_t in_nBytes)
{
    static const char s_sHex[] = "0123456789abcdef";
    size_t nOut = 0;
    for (size_t i = 0; i < in_nBytes; i++) {
        unsigned char ucByte = (unsigned char)in_sText[i];
        if (!VXQ_F_LOG_SR_PR_IsControl(ucByte)) {
            if (nOut + 1 > in_nMax)
                break;
            out_sDst[nOut++] = (char)ucByte;
            continue;
        }
        if (nOut + 4 > in_nMax)
            break;
        out_sDst[nOut++] = '\\';
        out_sDst[nOut++] = 'x';
        out_sDst[nOut++] = s_sHex[ucByte >> 4];
        out_sDst[nOut++] = s_sHex[ucByte & 0x0F];
    }
    out_sDst[nOut] = '\0';
    return nOut;
}

/* Formats "HH:MM:SS    [head]  text" into the line buffer, the text in its
 * harmless form. Returns its length, or -1. */
static int VXQ_F_LOG_SR_PR_FormatLine(const char *in_sText, const char *in_sHead)
{
    char sTime[16];
    VXQ_F_LOG_SR_PR_TimeText(sTime, sizeof(sTime), "%H:%M:%S");
    size_t nText = 0;
    size_t nBytes = VXQ_F_LOG_SR_PR_MessageBytes(in_sText, &nText);
    /* Time, blanks, head and the "\r\n" added for the feeds fit in the 50 spare bytes. */
    if (nText > (size_t)INT32_MAX - 50 ||
        !VXQ_F_MEM_MG_AllocDataBuf(&tLogData.pLineBuf, &tLogData.iLineBufSize, (int32_t)(nText + 50)))
        return -1;
    int iLen = snprintf(tLogData.pLineBuf, (size_t)tLogData.iLineBufSize, "%s    [%s]  ", sTime, in_sHead);
    if (iLen < 0 || (size_t)iLen + nText >= (size_t)tLogData.iLineBufSize - 2)
        return -1;
    iLen += (int)VXQ_F_LOG_SR_PR_PutHarmless(tLogData.pLineBuf + iLen, nText, in_sText, nBytes);
    return iLen;
}

/* Hands the finished line (in_iLen characters in the line buffer) to the feeds
 * as "line\r\n", without waiting. */
static void VXQ_F_LOG_SR_PR_FeedLine(int in_iLen)
{
    char *pLine = tLogData.pLineBuf;
    memcpy(pLine + in_iLen, "\r\n", 3);
    if (tLogData.hLineQueue != nullptr)
        VXQ_F_TOOLS_QUEUE_SetData(tLogData.hLineQueue, pLine, in_iLen + 2, 0);
    if (tLogData.pfUpSend != nullptr)
        tLogData.pfUpSend(tLogData.pUpClient, pLine, in_iLen + 2);
}

static void VXQ_F_LOG_SR_PR_AppendLine(const char *in_sPath, const char *in_sLine)
{
    FILE *pFile = fopen(in_sPath, "a");
    if (pFile == NULL)
        return;
    fputs(in_sLine, pFile);
    fputc('\n', pFile);
    fclose(pFile);
}

/* Empties the file; 0 if it cannot be opened for writing. */
static int VXQ_F_LOG_SR_PR_TruncateFile(const char *in_sPath)
{
    FILE *pFile = fopen(in_sPath, "w");
    if (pFile == NULL)
        return 0;
    fclose(pFile);
    return 1;
}

/* Appends the line to the day's file "<dir>/Log<YYYYMMDD>.txt". Returns 0 when
 * the line must be dropped altogether (a full file could not be emptied). */
static int VXQ_F_LOG_SR_PR_WriteDailyFile(const char *in_sLine)
{
    if (tLogData.sLogDir[0] == '\0' && getcwd(tLogData.sLogDir, sizeof(tLogData.sLogDir)) == NULL)
        snprintf(tLogData.sLogDir, sizeof(tLogData.sLogDir), ".");
    /* The working directory exists already; any other is made on demand. */
    mkdir(tLogData.sLogDir, 0775);
    char sToday[16];
    VXQ_F_LOG_SR_PR_TimeText(sToday, sizeof(sToday), "%Y%m%d");
    if (strcmp(sToday, tLogData.sCurrentDay) != 0) {
        memcpy(tLogData.sCurrentDay, sToday, sizeof(sToday));
        tLogData.dwLinesWritten = 0;
    }
    char sPath[VXQ_LOG_PATH_FIELD + 32];
    snprintf(sPath, sizeof(sPath), "%s/Log%s.txt", tLogData.sLogDir, tLogData.sCurrentDay);
    if (tLogData.dwLinesWritten >= VXQ_LOG_DAILY_MAX_LINES) {
        tLogData.dwLinesWritten = 0;
        if (!VXQ_F_LOG_SR_PR_TruncateFile(sPath))
            return 0;
    }
    VXQ_F_LOG_SR_PR_AppendLine(sPath, in_sLine);
    tLogData.dwLinesWritten++;
    return 1;
}

static void VXQ_F_LOG_SR_PR_WriteNamedFile(const char *in_sLine)
{
    int32_t iMax = tLogData.iMaxLogFileSize.load(std::memory_order_relaxed);
    if (iMax > 0 && VXQ_F_LOG_SR_ReadFileSize(tLogData.sLogFileName) >= iMax)
        VXQ_F_LOG_SR_PR_TruncateFile(tLogData.sLogFileName);
    VXQ_F_LOG_SR_PR_AppendLine(tLogData.sLogFileName, in_sLine);
}

static void VXQ_F_LOG_SR_PR_PrintLine(const char *in_sLine)
{
    fputs(in_sLine, stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

void VXQ_F_LOG_SR_CRS_WriteLogToFile(const char *in_sText, int in_iLevel)
{
    (void)in_iLevel; /* the level reaches only the host log record */
    int iLen = VXQ_F_LOG_SR_PR_FormatLine(in_sText, tLogData.bEnglishHead ? s_sHeadLogEn : s_sHeadLogNat);
    if (iLen < 0)
        return;
    const char *sLine = tLogData.pLineBuf;
    if (tLogData.bWriteToFile) {
        if (!tLogData.bFileNameSet) {
            if (!VXQ_F_LOG_SR_PR_WriteDailyFile(sLine))
                return;
        } else if (tLogData.sLogFileName[0] != '\0') {
            VXQ_F_LOG_SR_PR_WriteNamedFile(sLine);
        }
    }
    if (!tLogData.bConsoleOff)
        VXQ_F_LOG_SR_PR_PrintLine(sLine);
    VXQ_F_LOG_SR_PR_FeedLine(iLen);
}

void VXQ_F_LOG_SR_CRS_ShowInfo(const char *in_sText, int in_bForce)
{
    int iLen =
        VXQ_F_LOG_SR_PR_FormatLine(in_sText, tLogData.bEnglishHead ? s_sHeadPromptEn : s_sHeadPromptNat);
    if (iLen < 0)
        return;
    if (in_bForce == 1 || !tLogData.bConsoleOff)
        VXQ_F_LOG_SR_PR_PrintLine(tLogData.pLineBuf);
    VXQ_F_LOG_SR_PR_FeedLine(iLen);
}

extern "C" int VXQ_F_LOG_SR_WriteLogToQueue(int in_iLevel, const char *in_sText)
{
    if (in_sText == NULL || s_iWriterDepth > 0)
        return 0;
    /* Built on the caller's stack; only the hand-over needs the lock. */
    _VXQ_S_LOG_SR_RECV_LOG_DATA tRecord;
    memset(&tRecord, 0, sizeof(tRecord));
    VXQ_F_LOG_SR_PR_TimeText(tRecord.sTime, sizeof(tRecord.sTime), "%Y-%m-%d %H:%M:%S");
    tRecord.iLevel = in_iLevel;
    /* "%s  %.489s": the time, two blanks, the harmless message cut to 489 characters. */
    int iHead = snprintf(tRecord.sText, sizeof(tRecord.sText), "%s  ", tRecord.sTime);
    size_t nText = 0;
    size_t nBytes = VXQ_F_LOG_SR_PR_MessageBytes(in_sText, &nText);
    if (iHead >= 0 && (size_t)iHead + VXQ_LOG_RECORD_MAX_MESSAGE < sizeof(tRecord.sText))
        VXQ_F_LOG_SR_PR_PutHarmless(tRecord.sText + iHead, VXQ_LOG_RECORD_MAX_MESSAGE, in_sText, nBytes);
    VXQ_C_LOG_SR_GUARD tGuard;
    if (tLogData.hRecvLogQueue == nullptr)
        return 1;
    return VXQ_F_TOOLS_QUEUE_SetData(tLogData.hRecvLogQueue, &tRecord, (int)sizeof(tRecord), 0) == 1 ? 1 : 0;
}

extern "C" int VXQ_F_LOG_SR_WriteLog(const char *in_sText, int in_iLevel)
{
    if (in_sText == NULL || s_iWriterDepth > 0)
        return 0;
    {
        VXQ_C_LOG_SR_GUARD tGuard;
        VXQ_F_LOG_SR_CRS_WriteLogToFile(in_sText, in_iLevel);
    }
    return VXQ_F_LOG_SR_WriteLogToQueue(in_iLevel, in_sText);
}

/* The two prompt calls; in_bForce 1 always echoes on the console. */
static int VXQ_F_LOG_SR_PR_ShowInfo(const char *in_sText, int in_bForce)
{
    if (in_sText == NULL || s_iWriterDepth > 0)
        return 0;
    {
        VXQ_C_LOG_SR_GUARD tGuard;
        VXQ_F_LOG_SR_CRS_ShowInfo(in_sText, in_bForce);
        if (tLogData.bShowInfoToFile)
            VXQ_F_LOG_SR_CRS_WriteLogToFile(in_sText, VXQ_LOG_LEVEL_PROMPT);
    }
    return VXQ_F_LOG_SR_WriteLogToQueue(VXQ_LOG_LEVEL_PROMPT, in_sText);
}

extern "C" int VXQ_F_LOG_SR_ShowInfo(const char *in_sText)
{
    return VXQ_F_LOG_SR_PR_ShowInfo(in_sText, 0);
}

extern "C" int VXQ_F_LOG_SR_ShowInfoEx(const char *in_sText)
{
    return VXQ_F_LOG_SR_PR_ShowInfo(in_sText, 1);
}

/* Copies at most VXQ_LOG_PATH_FIELD - 1 characters; null gives an empty text. */
static void VXQ_F_LOG_SR_PR_CopyPath(char *out_sField, const char *in_sText)
{
    snprintf(out_sField, VXQ_LOG_PATH_FIELD, "%s", in_sText ? in_sText : "");
}

extern "C" void VXQ_F_LOG_SR_SetLogDir(const char *in_sDir)
{
    VXQ_C_LOG_SR_GUARD tGuard;
    VXQ_F_LOG_SR_PR_CopyPath(tLogData.sLogDir, in_sDir);
}

extern "C" void VXQ_F_LOG_SR_SetLogFileName(const char *in_sName)
{
    VXQ_C_LOG_SR_GUARD tGuard;
    if (in_sName == NULL) {
        tLogData.bFileNameSet = 0;
        return;
    }
    VXQ_F_LOG_SR_PR_CopyPath(tLogData.sLogFileName, in_sName);
    tLogData.bFileNameSet = 1;
}

extern "C" void VXQ_F_LOG_SR_SetMaxLogFileSize(int in_iKiloBytes)
{
    int32_t iBytes = 0;
    if (in_iKiloBytes > INT32_MAX / 1024)
        iBytes = INT32_MAX;
    else if (in_iKiloBytes > 0)
        iBytes = (int32_t)in_iKiloBytes * 1024;
    tLogData.iMaxLogFileSize = iBytes;
}

extern "C" void VXQ_F_LOG_SR_SetRecvLogQueue(VXQ_HQUEUE in_hQueue)
{
    VXQ_C_LOG_SR_GUARD tGuard;
    tLogData.hRecvLogQueue = in_hQueue;
}

extern "C" void VXQ_F_LOG_SR_SetIfShowLog(int in_bShow)
{
    tLogData.bConsoleOff = in_bShow ? 0 : 1;
}

extern "C" void VXQ_F_LOG_SR_SetIfShowInfoWriteFile(int in_bWrite)
{
    tLogData.bShowInfoToFile = in_bWrite ? 1 : 0;
}

extern "C" void VXQ_F_LOG_SR_SetIfShowEnglishLogHead(int in_bEnglish)
{
    tLogData.bEnglishHead = in_bEnglish ? 1 : 0;
}

extern "C" void VXQ_F_LOG_SR_SetIfWriteLogToFile(int in_bWrite)
{
    tLogData.bWriteToFile = in_bWrite ? 1 : 0;
}

extern "C" int VXQ_F_LOG_SR_CreateLogDir(void)
{
    char sDir[VXQ_LOG_PATH_FIELD];
    {
        VXQ_C_LOG_SR_GUARD tGuard;
        memcpy(sDir, tLogData.sLogDir, sizeof(sDir));
    }
    return sDir[0] != '\0' && mkdir(sDir, 0775) == 0 ? 1 : 0;
}

extern "C" int64_t VXQ_F_LOG_SR_ReadFileSize(const char *in_sPath)
{
    if (in_sPath == NULL)
        return 0;
    FILE *pFile = fopen(in_sPath, "rb");
    if (pFile == NULL)
        return 0;
    int64_t iSize = 0;
    if (fseeko(pFile, 0, SEEK_END) == 0) {
        off_t tEnd = ftello(pFile);
        iSize = tEnd > 0 ? (int64_t)tEnd : 0;
    }
    fclose(pFile);
    return iSize;
}

VXQ_HQUEUE VXQ_F_LOG_SR_AttachLineQueue(VXQ_HQUEUE in_hQueue)
{
    VXQ_C_LOG_SR_GUARD tGuard;
    VXQ_HQUEUE hOld = tLogData.hLineQueue;
    tLogData.hLineQueue = in_hQueue;
    return hOld;
}

void VXQ_F_LOG_SR_AttachUpClient(void *in_pClient, VXQ_PF_LOG_SR_LINE_SINK in_pfSend)
{
    VXQ_C_LOG_SR_GUARD tGuard;
    tLogData.pUpClient = in_pfSend ? in_pClient : nullptr;
    tLogData.pfUpSend = in_pfSend;
}
