/* The INI reader and writer: the input is the file content, a zero byte, then
 * the section, key and value texts, each ended by a zero byte. Every read runs
 * on the file as given; then the value is written and read back. */
#include "vxq_inistore.h"
#include "vxq_log.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

static std::string PR_Take(const uint8_t *in_pData, size_t in_iSize, size_t &inout_iPos)
{
    std::string sText;
    while (inout_iPos < in_iSize && in_pData[inout_iPos] != 0)
        sText += (char)in_pData[inout_iPos++];
    if (inout_iPos < in_iSize)
        inout_iPos++;
    return sText;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *in_pData, size_t in_iSize)
{
    static std::string s_sPath;
    if (s_sPath.empty()) {
        VXQ_F_LOG_SR_SetIfShowLog(0);
        VXQ_F_LOG_SR_SetIfWriteLogToFile(0);
        /* Every write is flushed to disk: on a memory file system that costs
         * nothing, on a disk it would slow the run to a few executions a second. */
        std::string sTemplate = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        sTemplate += "/vxq_fuzz_ini_XXXXXX";
        std::vector<char> sDir(sTemplate.begin(), sTemplate.end());
        sDir.push_back('\0');
        if (mkdtemp(sDir.data()) == NULL)
            abort();
        s_sPath = std::string(sDir.data()) + "/fuzz.ini";
    }
    size_t iPos = 0;
    std::string sFile = PR_Take(in_pData, in_iSize, iPos);
    std::string sSection = PR_Take(in_pData, in_iSize, iPos);
    std::string sKey = PR_Take(in_pData, in_iSize, iPos);
    std::string sValue = PR_Take(in_pData, in_iSize, iPos);
    FILE *pFile = fopen(s_sPath.c_str(), "wb");
    if (pFile == NULL)
        return 0;
    fwrite(sFile.data(), 1, sFile.size(), pFile);
    fclose(pFile);
    char sOut[64];
    const char *pPath = s_sPath.c_str();
    VXQ_F_CONFIGMG_GetString(sSection.c_str(), sKey.c_str(), "def", sOut, (int)sizeof(sOut), pPath);
    VXQ_F_CONFIGMG_GetInt(sSection.c_str(), sKey.c_str(), 7, pPath);
    VXQ_F_CONFIGMG_GetDouble(sSection.c_str(), sKey.c_str(), 1.5, pPath);
    VXQ_F_CONFIGMG_SetString(sSection.c_str(), sKey.c_str(), sValue.c_str(), pPath);
    VXQ_F_CONFIGMG_GetString(sSection.c_str(), sKey.c_str(), "def", sOut, (int)sizeof(sOut), pPath);
    VXQ_F_CONFIGMG_SetInt(sSection.c_str(), sKey.c_str(), (int)iPos, pPath);
    VXQ_F_CONFIGMG_SetDouble(sSection.c_str(), sKey.c_str(), 0.25, pPath);
    return 0;
}
