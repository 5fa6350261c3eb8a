/* Temporary directories and whole-file helpers for tests; see temp_dir.h. */
#include "support/temp_dir.h"

#include <dirent.h>
#include <ftw.h>
#include <sys/stat.h>
#include <stdexcept>
#include <string.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <sstream>
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
    std::ifstream tIn(in_sPath, std::ios::binary);
    if (out_pbExists)
        *out_pbExists = tIn.is_open();
    std::ostringstream tData;
    if (tIn.is_open())
        tData << tIn.rdbuf();
    return tData.str();
}

bool WriteFile(const std::string &in_sPath, const std::string &in_sData)
{
    std::ofstream tOut(in_sPath, std::ios::binary | std::ios::trunc);
    tOut.write(in_sData.data(), (std::streamsize)in_sData.size());
    tOut.close();
    return !tOut.fail();
}

std::string ListDir(const std::string &in_sPath)
{
    std::set<std::string> tNames;
    DIR *pDir = opendir(in_sPath.c_str());
    if (pDir == nullptr)
        return "";
    while (struct dirent *pEntry = readdir(pDir))
        if (strcmp(pEntry->d_name, ".") != 0 && strcmp(pEntry->d_name, "..") != 0)
            tNames.insert(pEntry->d_name);
    closedir(pDir);
    std::string sList;
    for (const std::string &sName : tNames)
        sList += (sList.empty() ? "" : " ") + sName;
    return sList;
}
