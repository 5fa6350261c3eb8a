#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "vxq_inistore.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

static std::string GetString(const std::string &in_sFile, const char *in_sSection, const char *in_sKey,
                             const char *in_sDefault = "DEF", int in_iSize = 64)
{
    std::string sOut((size_t)in_iSize, '#');
    EXPECT_EQ(
        VXQ_F_CONFIGMG_GetString(in_sSection, in_sKey, in_sDefault, &sOut[0], in_iSize, in_sFile.c_str()), 1);
    return std::string(sOut.c_str());
}

TEST(IniStore, ReadingTrimsDropsCommentsSearchesEveryPlaceOfASectionAndKeepsTheOutSize)
{
    TempDir tDir;
    std::string sFile = tDir.File("a.ini");
    ASSERT_TRUE(WriteFile(sFile,
                          "// header comment\r\n[  net  ]  // the network\r\nport = 80 // tcp port\r\n"
                          "  name=  cam one  \r\nempty=\r\nno equals sign here\r\n//port=99\r\nPort=81\r\n"
                          "[other]\nport=90\nfive=12345\n[net]\nport=1\nx=4\n"));
    const struct {
        const char *sSection, *sKey, *sDefault;
        int iSize;
        const char *sExpected;
    } aCases[] = {
        /* clang-format off */
        {"net", "port", "DEF", 64, "80"}, /* a section that occurs twice: first match wins */
        {"net", "x", "DEF", 64, "4"}, /* and the second place is searched too */
        {"net", "name", "DEF", 64, "cam one"}, {"net", "empty", "DEF", 64, ""},
        {"net", "Port", "DEF", 64, "81"}, {"other", "port", "DEF", 64, "90"},
        {"other", "x", "DEF", 64, "DEF"}, {"  net  ", "port", "DEF", 64, "DEF"},
        {"Net", "port", "DEF", 64, "DEF"}, {"none", "port", "DEF", 64, "DEF"},
        {"other", "five", "ab", 4, "ab"}, /* value too long, short default whole */
        {"other", "five", "abcde", 5, "abcd"}, /* too long: the default, cut; 5 characters need 6 */
        {"other", "five", "abcde", 6, "12345"}, /* fits with its zero */
        {"other", "none", nullptr, 4, ""}, /* a null default is empty */
        {"other", "five", "abcde", 1, ""}
        /* clang-format on */
    };
    for (const auto &tCase : aCases)
        EXPECT_EQ(GetString(sFile, tCase.sSection, tCase.sKey, tCase.sDefault, tCase.iSize), tCase.sExpected)
            << tCase.sSection << "/" << tCase.sKey << " size " << tCase.iSize;
    EXPECT_EQ(GetString(tDir.File("missing.ini"), "net", "port"), "DEF");
    char aOut[4];
    EXPECT_EQ(VXQ_F_CONFIGMG_GetString("other", "five", "d", aOut, 0, sFile.c_str()), 0);
}

TEST(IniStore, SettingAValueEditsTheFileInPlaceKeepingEverythingAroundIt)
{
    const struct {
        const char *sBefore, *sSection, *sKey, *sValue, *sAfter;
    } aCases[] = {
        /* a missing section: line feed, head and key line appended */
        {"[net]\nport=80\n", "video", "fps", "25", "[net]\nport=80\n\n[video]\nfps=25\n"},
        /* a new key goes right after the section's last non-empty line */
        {"[net]\nport=80\n\n  \n[video]\nfps=25\n", "net", "mask", "24",
         "[net]\nport=80\nmask=24\n\n  \n[video]\nfps=25\n"},
        /* CR LF lines: the new line ends with LF only */
        {"[net]\r\nport=80\r\n\r\n[video]\r\n", "net", "mask", "24",
         "[net]\r\nport=80\r\nmask=24\n\r\n[video]\r\n"},
        /* a last line without a line end gets one first */
        {"[net]\nport=80", "net", "mask", "24", "[net]\nport=80\nmask=24\n"},
        {"[net]\rport=80\r[v]\r", "net", "mask", "24", "[net]\rport=80\rmask=24\n[v]\r"},
        /* a key only the second place of a section holds is added to the first place */
        {"[a]\nx=1\n[b]\ny=2\n[a]\ny=3\n", "a", "y", "5", "[a]\nx=1\ny=5\n[b]\ny=2\n[a]\ny=3\n"},
        /* a replaced value keeps the blanks and the comment around it */
        {"[net]\nport = 80 // tcp port\nx=1\n", "net", "port", "8080",
         "[net]\nport = 8080 // tcp port\nx=1\n"},
        {"[net]\r\nport=80\r\n", "net", "port", "8080", "[net]\r\nport=8080\r\n"},
        {"[net]\nport=80", "net", "port", "8080", "[net]\nport=8080"},
        /* an empty value is filled in right after the equals sign, before a comment */
        {"[net]\nport=   // none yet\n", "net", "port", "8080", "[net]\nport=8080   // none yet\n"},
        {"[net]\nport=80 // c\n", "net", "port", "", "[net]\nport= // c\n"},
    };
    for (const auto &tCase : aCases) {
        TempDir tDir;
        std::string sFile = tDir.File("k.ini");
        ASSERT_TRUE(WriteFile(sFile, tCase.sBefore));
        ASSERT_EQ(VXQ_F_CONFIGMG_SetString(tCase.sSection, tCase.sKey, tCase.sValue, sFile.c_str()), 1)
            << tCase.sBefore;
        EXPECT_EQ(ReadFile(sFile), tCase.sAfter) << tCase.sBefore;
        EXPECT_EQ(GetString(sFile, tCase.sSection, tCase.sKey), tCase.sValue) << tCase.sBefore;
    }
    /* A missing file is made with the form of a missing section; ints and doubles keep their formats. */
    TempDir tDir;
    std::string sFile = tDir.File("n.ini");
    ASSERT_EQ(VXQ_F_CONFIGMG_SetInt("n", "i", -42, sFile.c_str()), 1);
    ASSERT_EQ(VXQ_F_CONFIGMG_SetDouble("n", "d", 2.5, sFile.c_str()), 1);
    EXPECT_EQ(ReadFile(sFile), "\n[n]\ni=-42\nd=2.500000\n");
    /* The value it already has: not rewritten, still the same file. */
    struct stat tBefore, tAfter;
    ASSERT_EQ(stat(sFile.c_str(), &tBefore), 0);
    ASSERT_EQ(VXQ_F_CONFIGMG_SetString("n", "i", "-42", sFile.c_str()), 1);
    ASSERT_EQ(VXQ_F_CONFIGMG_SetInt("n", "i", -42, sFile.c_str()), 1);
    ASSERT_EQ(stat(sFile.c_str(), &tAfter), 0);
    EXPECT_EQ(tBefore.st_ino, tAfter.st_ino);
    EXPECT_EQ(ListDir(tDir.Path()), "n.ini");
}

TEST(IniStore, IntsAndDoublesAreReadWithTheirLimitsAndDefaults)
{
    TempDir tDir;
    std::string sFile = tDir.File("n.ini");
    ASSERT_TRUE(WriteFile(sFile, "[n]\ni=-42\nd=2.500000\ntext=abc\nlead=12abc\nbig=99999999999\n"
                                 "neg=-99999999999\nlong=123456789012345678901234567890\n"));
    const struct {
        const char *sKey;
        int32_t iWant;
    } aInts[] = {{"i", -42},         {"none", 7},        {"text", 0}, {"lead", 12},
                 {"big", INT32_MAX}, {"neg", INT32_MIN}, {"long", 7}}; /* 30 characters do not fit 30 bytes */
    for (const auto &tCase : aInts)
        EXPECT_EQ(VXQ_F_CONFIGMG_GetInt("n", tCase.sKey, 7, sFile.c_str()), tCase.iWant) << tCase.sKey;
    EXPECT_DOUBLE_EQ(VXQ_F_CONFIGMG_GetDouble("n", "d", 7.0, sFile.c_str()), 2.5);
    /* A missing key gives the default itself, also where "%f" would lose it. */
    EXPECT_DOUBLE_EQ(VXQ_F_CONFIGMG_GetDouble("n", "none", 1e-9, sFile.c_str()), 1e-9);
}

TEST(IniStore, A10000CharacterLineIsReadWholeAndKeptOnRewrite)
{
    TempDir tDir;
    std::string sFile = tDir.File("long.ini");
    std::string sLongValue(10000 - 5, 'v');
    std::string sContent = "[big]\n// " + std::string(9997, 'c') + "\nlong=" + sLongValue + "\nafter=1\n";
    ASSERT_TRUE(WriteFile(sFile, sContent));
    EXPECT_EQ(GetString(sFile, "big", "long", "DEF", 10001), sLongValue);
    EXPECT_EQ(GetString(sFile, "big", "long", "DEF", 9995), "DEF");
    ASSERT_EQ(VXQ_F_CONFIGMG_SetString("big", "after", "2", sFile.c_str()), 1);
    sContent[sContent.size() - 2] = '2';
    EXPECT_EQ(ReadFile(sFile), sContent);
}

TEST(IniStore, AFailedRewriteLeavesTheOldFileByteForByteAndNoTemporaryFile)
{
    TempDir tDir;
    std::string sFile = tDir.File("keep.ini");
    std::string sOld = "[net]\r\nport = 80 // p\r\n" + std::string(200, ' ') + "\n";
    ASSERT_TRUE(WriteFile(sFile, sOld));
    ASSERT_EQ(chmod(sFile.c_str(), 0640), 0);
    /* No file may grow past 100 bytes, like on a full disk. */
    struct rlimit tOldLimit;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &tOldLimit), 0);
    void (*pOldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
    struct rlimit tSmall = tOldLimit;
    tSmall.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tSmall), 0);
    int iResult = VXQ_F_CONFIGMG_SetString("net", "port", "8080", sFile.c_str());
    int iResultNewSection = VXQ_F_CONFIGMG_SetString("video", "fps", "25", sFile.c_str());
    setrlimit(RLIMIT_FSIZE, &tOldLimit);
    signal(SIGXFSZ, pOldHandler);
    EXPECT_EQ(iResult + iResultNewSection, 0);
    EXPECT_EQ(ReadFile(sFile), sOld);
    EXPECT_EQ(ListDir(tDir.Path()), "keep.ini");
    /* Afterwards the same call succeeds and keeps the file's permissions. */
    ASSERT_EQ(VXQ_F_CONFIGMG_SetString("net", "port", "8080", sFile.c_str()), 1);
    struct stat tStat;
    ASSERT_EQ(stat(sFile.c_str(), &tStat), 0);
    EXPECT_EQ(tStat.st_mode & 07777, 0640u);
    EXPECT_EQ(GetString(sFile, "net", "port"), "8080");
}

TEST(IniStore, RefusedTextsAndUnusablePathsChangeNothingAndALinkStays)
{
    TempDir tDir;
    std::string sFile = tDir.File("t.ini"), sPlain = tDir.File("plain"), sFolder = tDir.File("folder.ini");
    ASSERT_TRUE(WriteFile(sFile, "[a]\nb=1\n"));
    ASSERT_TRUE(WriteFile(sPlain, "not a folder"));
    ASSERT_EQ(mkdir(sFolder.c_str(), 0755), 0);
    std::string sUnderPlain = sPlain + "/x.ini";
    const struct {
        const char *sSection, *sKey, *sValue, *sFile;
    } aCases[] = {
        /* clang-format off */
        /* texts that could not be read back */
        {"a", "b", "http://host", sFile.c_str()}, {"a", "b", "two\nlines", sFile.c_str()},
        {"a", "b", "cr\r", sFile.c_str()}, {"a", "k=v", "1", sFile.c_str()},
        {"a\n[b]", "b", "1", sFile.c_str()}, {nullptr, "b", "1", sFile.c_str()},
        {"a", nullptr, "1", sFile.c_str()}, {"a", "b", nullptr, sFile.c_str()}, {"a", "b", "1", nullptr},
        {"a", "b", "c", sUnderPlain.c_str()}, /* the parent is a file */
        {"a", "b", "c", sFolder.c_str()} /* a folder in the file's place */
        /* clang-format on */
    };
    for (const auto &tCase : aCases)
        EXPECT_EQ(VXQ_F_CONFIGMG_SetString(tCase.sSection, tCase.sKey, tCase.sValue, tCase.sFile), 0);
    EXPECT_EQ(ReadFile(sFile), "[a]\nb=1\n");
    EXPECT_EQ(ReadFile(sPlain), "not a folder");
    EXPECT_EQ(ListDir(tDir.Path()), "folder.ini plain t.ini");
    EXPECT_EQ(ListDir(sFolder), "");
    EXPECT_EQ(GetString(sFolder, "a", "b"), "DEF");

    ASSERT_EQ(symlink("t.ini", tDir.File("link.ini").c_str()), 0);
    ASSERT_EQ(VXQ_F_CONFIGMG_SetString("a", "b", "2", tDir.File("link.ini").c_str()), 1);
    struct stat tStat;
    ASSERT_EQ(lstat(tDir.File("link.ini").c_str(), &tStat), 0);
    EXPECT_TRUE(S_ISLNK(tStat.st_mode));
    EXPECT_EQ(ReadFile(sFile), "[a]\nb=2\n");
    EXPECT_EQ(ListDir(tDir.Path()), "folder.ini link.ini plain t.ini");
}
