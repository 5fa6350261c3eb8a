/*
 * temp_dir.h - a fresh private directory for a scope, removed with its content
 * afterwards; whole files in and out as byte strings.
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

    const std::string &Path() const { return m_sPath; } /* no trailing slash */
    std::string File(const std::string &in_sName) const { return m_sPath + "/" + in_sName; }

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
