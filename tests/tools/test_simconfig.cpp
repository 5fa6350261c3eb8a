#include <gtest/gtest.h>

#include "simconfig.h"
#include "support/temp_dir.h"

#include <memory>
#include <string.h>
#include <string>
#include <vector>

namespace
{

std::unique_ptr<_VXQ_S_SIMCFG_DATA> NewCfg()
{
    return std::unique_ptr<_VXQ_S_SIMCFG_DATA>(new _VXQ_S_SIMCFG_DATA());
}

/* A small valid file; tests append or replace lines. */
const char *s_sBase =
    "// test configuration\n[device]\nvideo_channels = 2   // two\n"
    "[user0]\nname = admin\npassword = secret // the password\nglobal_rights = 0xFF\nchannel_rights =\n\n"
    "[user2]\nname = guest\npassword = guest\nglobal_rights = 0\nchannel_rights = 0x01, 3 ,0x80000000\n\n"
    "[channel0]\nstream0_fps = 30\n";

/* Every used slot: "slot name password rights words;". */
std::string Users(const _VXQ_S_SIMCFG_DATA *in_pCfg)
{
    std::string s;
    for (int i = 0; i < VXQ_SIM_MAX_USER; i++) {
        const _VXQ_S_SIMCFG_USER &u = in_pCfg->tUser[i];
        if (u.sUserName[0] == 0)
            continue;
        char sRights[16];
        snprintf(sRights, sizeof(sRights), " %X", u.dwPopMask);
        s += std::to_string(i) + " " + u.sUserName + " " + u.sPassword + sRights;
        for (int k = 0; k < u.iChPopNum; k++) {
            snprintf(sRights, sizeof(sRights), "%s%X", k ? "," : " ", u.dwChPopMask[k]);
            s += sRights;
        }
        s += ";";
    }
    return s;
}

} // namespace

TEST(SimConfig, UserChangesAreWrittenBackAndReadAgainOrRefusedWhole)
{
    TempDir tDir;
    std::string sFile = tDir.File("sim.ini");
    ASSERT_TRUE(WriteFile(sFile, s_sBase));
    auto pCfg = NewCfg();
    /* A missing file fails the load; a short reason buffer is cut, not overrun. */
    char sReason[16];
    EXPECT_EQ(VXQ_F_SIMCFG_Load("/nonexistent/sim.ini", pCfg.get(), sReason, sizeof(sReason)), 0);
    EXPECT_EQ(strlen(sReason), 15u);
    ASSERT_EQ(VXQ_F_SIMCFG_Load(sFile.c_str(), pCfg.get(), nullptr, 0), 1);
    EXPECT_EQ(Users(pCfg.get()), "0 admin secret FF;2 guest guest 0 1,3,80000000;");
    /* Changes the file cannot hold, or of users that do not exist, are refused and change nothing. */
    const std::string sBefore = ReadFile(sFile);
    const char *const sAdds[][2] = {{"admin", "x"},        {"", "x"},
                                    {"eve", ""},           {"a-name-of-thirty-two-characters!", "x"},
                                    {"eve", "pass//word"}, {" eve", "x"},
                                    {"eve", "line\nbreak"}};
    for (const auto &a : sAdds)
        EXPECT_EQ(VXQ_F_SIMCFG_AddUser(pCfg.get(), a[0], a[1], 1, 0, nullptr), 0) << a[0] << "/" << a[1];
    EXPECT_EQ(VXQ_F_SIMCFG_DelUser(pCfg.get(), "nobody") +
                  VXQ_F_SIMCFG_SetUserPassword(pCfg.get(), "nobody", "x") +
                  VXQ_F_SIMCFG_SetUserPassword(pCfg.get(), "admin", "a//b") +
                  VXQ_F_SIMCFG_SetUserPop(pCfg.get(), "nobody", 1, 0, nullptr),
              0);
    EXPECT_EQ(ReadFile(sFile), sBefore);
    EXPECT_EQ(Users(pCfg.get()), "0 admin secret FF;2 guest guest 0 1,3,80000000;");
    /* Add takes the first free slot (1); delete frees one. */
    const uint32_t dwCh[3] = {0x01, 0x0B, 0xFFFFFFFF}, dwBobCh[2] = {0x03, 0x05};
    ASSERT_EQ(VXQ_F_SIMCFG_AddUser(pCfg.get(), "alice", "pw1", 0x20, 3, dwCh), 1);
    ASSERT_EQ(VXQ_F_SIMCFG_AddUser(pCfg.get(), "bob", "pw2", 0x01, 0, nullptr), 1);
    ASSERT_EQ(VXQ_F_SIMCFG_DelUser(pCfg.get(), "guest"), 1);
    ASSERT_EQ(VXQ_F_SIMCFG_SetUserPassword(pCfg.get(), "admin", "n3w pass"), 1);
    ASSERT_EQ(VXQ_F_SIMCFG_SetUserPop(pCfg.get(), "bob", 0x40, 2, dwBobCh), 1);
    const std::string sWant = "0 admin n3w pass FF;1 alice pw1 20 1,B,FFFFFFFF;3 bob pw2 40 3,5;";
    EXPECT_EQ(Users(pCfg.get()), sWant);
    auto pAgain = NewCfg();
    ASSERT_EQ(VXQ_F_SIMCFG_Load(sFile.c_str(), pAgain.get(), nullptr, 0), 1);
    EXPECT_EQ(Users(pAgain.get()), sWant);
}
