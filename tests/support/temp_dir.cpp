/* Temporary directories and whole-file helpers for tests; see temp_dir.h. */
#include "support/temp_dir.h"

#include <dirent.h>
#include <ftw.h>
#include <sys/stat.h>
#include <stdexcept>
#include <unistd.h>

#include <algorithm>
#include <vector>

TempDir::TempDir()
{
    const char *sBase = getenv("TMPDIR");
    std::string sTemplate = std::string(sBase && *sBase ? sBase : "/tmp") + "/vxqtest.XXXXXX";
    std::vector<char> tBuf(sTemplate.begin(), sTemplate.end());
    tBuf.push_back('\0');
    if (mkdtemp(tBuf.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    m_sPath = tBuf.data();
}

static int RemoveEntry(const char *in_sPath, const struct stat *, int, struct FTW *)
{
    remove(in_sPath); /* go on with the rest even if one entry stays */
    return 0;
}

TempDir::~TempDir()
{
    nftw(m_sPath.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

std::string ReadFile(const std::string &in_sPath, bool *out_pbExists)
{
    std::string sData;
    FILE *pFile = fopen(in_sPath.c_str(), "rb");
    if (out_pbExists)
        *out_pbExists = pFile != nullptr;
    if (pFile == nullptr)
        return sData;
    char aBuf[65536];
    size_t nRead;
    while ((nRead = fread(aBuf, 1, sizeof(aBuf), pFile)) > 0)
        sData.append(aBuf, nRead);
    fclose(pFile);
    return sData;
}

bool WriteFile(const std::string &in_sPath, const std::string &in_sData)
{
    FILE *pFile = fopen(in_sPath.c_str(), "wb");
    if (pFile == nullptr)
        return false;
    bool bOk = fwrite(in_sData.data(), 1, in_sData.size(), pFile) == in_sData.size();
    return fclose(pFile) == 0 && bOk;
}

std::string ListDir(const std::string &in_sPath)
{
    std::vector<std::string> tNames;
    DIR *pDir = opendir(in_sPath.c_str());
    if (pDir == nullptr)
        return "";
    while (struct dirent *pEntry = readdir(pDir)) {
        std::string sName = pEntry->d_name;
        if (sName != "." && sName != "..")
            tNames.push_back(sName);
    }
    closedir(pDir);
    std::sort(tNames.begin(), tNames.end());
    std::string sList;
    for (const std::string &sName : tNames)
        sList += (sList.empty() ? "" : " ") + sName;
    return sList;
}
