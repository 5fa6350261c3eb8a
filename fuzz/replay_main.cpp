/* replay_main.cpp - a plain driver for a fuzz target: runs every committed
 * input (seed corpus files and the inputs of past findings) once through
 * LLVMFuzzerTestOneInput, so the normal test suite, built with any compiler
 * and under the sanitizers, holds every input a fuzzer ever tripped on.
 *
 * Arguments are files or directories (every regular file in them, in name
 * order). Exit status 0 after the last input; 1 when an argument cannot be
 * read or holds no input; a fault in the target ends the process as it would
 * under the fuzzer. */
#include <dirent.h>
#include <stdint.h>
#include <stdio.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *in_pData, size_t in_iSize);

/* The whole file, or false when it cannot be read. */
static bool PR_ReadFile(const std::string &in_sPath, std::vector<uint8_t> &out_tData)
{
    FILE *pFile = fopen(in_sPath.c_str(), "rb");
    if (pFile == NULL)
        return false;
    out_tData.clear();
    uint8_t aChunk[4096];
    size_t n;
    while ((n = fread(aChunk, 1, sizeof(aChunk), pFile)) > 0)
        out_tData.insert(out_tData.end(), aChunk, aChunk + n);
    bool bOk = ferror(pFile) == 0;
    fclose(pFile);
    return bOk;
}

/* The regular files an argument names, sorted. */
static std::vector<std::string> PR_Inputs(const std::string &in_sArg)
{
    std::vector<std::string> tFiles;
    struct stat tStat;
    if (stat(in_sArg.c_str(), &tStat) != 0)
        return tFiles;
    if (!S_ISDIR(tStat.st_mode)) {
        tFiles.push_back(in_sArg);
        return tFiles;
    }
    DIR *pDir = opendir(in_sArg.c_str());
    if (pDir == NULL)
        return tFiles;
    while (struct dirent *pEntry = readdir(pDir)) {
        std::string sPath = in_sArg + "/" + pEntry->d_name;
        if (stat(sPath.c_str(), &tStat) == 0 && S_ISREG(tStat.st_mode))
            tFiles.push_back(sPath);
    }
    closedir(pDir);
    std::sort(tFiles.begin(), tFiles.end());
    return tFiles;
}

int main(int argc, char **argv)
{
    int iRun = 0;
    for (int i = 1; i < argc; i++) {
        std::vector<std::string> tFiles = PR_Inputs(argv[i]);
        if (tFiles.empty()) {
            fprintf(stderr, "%s: no input\n", argv[i]);
            return 1;
        }
        for (const std::string &sPath : tFiles) {
            std::vector<uint8_t> tData;
            if (!PR_ReadFile(sPath, tData)) {
                fprintf(stderr, "%s: cannot be read\n", sPath.c_str());
                return 1;
            }
            /* An empty vector's data() may be null; the fuzzer never passes null. */
            static const uint8_t s_ucNone = 0;
            LLVMFuzzerTestOneInput(tData.empty() ? &s_ucNone : tData.data(), tData.size());
            iRun++;
        }
    }
    printf("%d inputs replayed\n", iRun);
    return 0;
}
