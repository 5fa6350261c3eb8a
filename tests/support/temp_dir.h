/*
 * temp_dir.h - a private directory for tests that use real files.
 *
 * Made fresh under the system's temporary directory for the life of a scope and
 * removed with everything in it afterwards. ReadFile and WriteFile move whole
 * files as byte strings, so tests compare file contents byte for byte.
 */
#ifndef VXQ_TEST_TEMP_DIR_H
#define VXQ_TEST_TEMP_DIR_H

#include <stdio.h>
#include <stdlib.h>
#include <string>

class TempDir
{
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    /* The directory's path, without a trailing slash. */
    const std::string &Path() const
    {
        return m_sPath;
    }
    /* The path of in_sName inside the directory. */
    std::string File(const std::string &in_sName) const
    {
        return m_sPath + "/" + in_sName;
    }

  private:
    std::string m_sPath;
};

/* The whole content of a file; *out_pbExists (when given) tells whether it could be opened. */
std::string ReadFile(const std::string &in_sPath, bool *out_pbExists = nullptr);
/* Replaces the file by in_sData; true on success. */
bool WriteFile(const std::string &in_sPath, const std::string &in_sData);
/* The names in a directory, sorted, without "." and "..". */
std::string ListDir(const std::string &in_sPath);

#endif
