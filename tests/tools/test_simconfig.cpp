#include <gtest/gtest.h>

#include "simconfig.h"
#include "support/temp_dir.h"
#include "tools_fixture.h"

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
const char *s_sBase = "// test configuration\n"
                      "[device]\n"
                      "video_channels = 2   // two\n"
                      "[user0]\n"
                      "name = admin\n"
                      "password = secret // the password\n"
                      "global_rights = 0xFF\n"
                      "channel_rights =\n"
                      "\n"
                      "[user2]\n"
                      "name = guest\n"
                      "password = guest\n"
                      "global_rights = 0\n"
                      "channel_rights = 0x01, 3 ,0x80000000\n"
                      "\n"
                      "[channel0]\n"
                      "stream0_fps = 30\n";

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

TEST(SimConfig, BadValuesFailTheLoadWithOneLineNamingSectionAndKey)
{
    struct {
        const char *sAppend;
        const char *sWant; /* part of the reason */
    } tCases[] = {
        {"[service]\nport = 70000\n", "[service] port: 70000 is outside 1..65535"},
        {"[device]\naudio_channels = 65\n", "[device] audio_channels: 65 is outside 0..64"},
        {"[device]\ndev_id = ABCDEFGHIJKL\n", "[device] dev_id: longer than 11 characters"},
        {"[channel1]\nstream2_fps = 0\n", "[channel1] stream2_fps"},
        {"[channel0]\nstream0_source = media/none.h264\n", "[channel0] stream0_source: cannot read"},
        {"[user5]\nname = admin\n", "[user5] name: user 'admin' is defined twice"},
        {"[user5]\nname = bob\nchannel_rights = 1,x\n", "[user5] channel_rights: 'x' is not a number"},
        {"[net_card0]\nip = 300.1.1.1\n", "[net_card0] ip: '300.1.1.1' is not an IPv4 address"},
        {"[quality]\ncap_num = 1\ncap0 = low,1,2,3,70000\n", "[quality] cap0"},
        {"[records]\nread_delay_ms = 10001\n", "[records] read_delay_ms: 10001 is outside 0..10000"},
    };
    for (const auto &c : tCases) {
        TempDir tDir;
        ASSERT_TRUE(WriteFile(tDir.File("sim.ini"), std::string(s_sBase) + c.sAppend));
        auto pCfg = NewCfg();
        char sReason[256];
        EXPECT_EQ(VXQ_F_SIMCFG_Load(tDir.File("sim.ini").c_str(), pCfg.get(), sReason, sizeof(sReason)), 0)
            << c.sAppend;
        std::string s(sReason);
        EXPECT_NE(s.find(c.sWant), std::string::npos) << s;
        EXPECT_EQ(s.find('\n'), std::string::npos) << s;
        EXPECT_EQ(s.find(tDir.File("sim.ini")), 0u) << s;
    }
    /* A missing file says so; a short reason buffer is cut, not overrun. */
    auto pCfg = NewCfg();
    char sReason[16];
    EXPECT_EQ(VXQ_F_SIMCFG_Load("/nonexistent/sim.ini", pCfg.get(), sReason, sizeof(sReason)), 0);
    EXPECT_EQ(strlen(sReason), 15u);
    EXPECT_EQ(VXQ_F_SIMCFG_Load(nullptr, pCfg.get(), nullptr, 0), 0);
}

TEST(SimConfig, MissingKeysTakeDefaultsAndUserChangesAreWrittenBackAndSurviveAReload)
{
    TempDir tDir;
    std::string sFile = tDir.File("sim.ini");
    ASSERT_TRUE(WriteFile(sFile, s_sBase));
    auto pCfg = NewCfg();
    ASSERT_EQ(VXQ_F_SIMCFG_Load(sFile.c_str(), pCfg.get(), nullptr, 0), 1);
    EXPECT_EQ(pCfg->usPort, 7000);
    EXPECT_EQ(pCfg->tStream[0][0].iGop, 30); /* the frame rate */
    EXPECT_EQ(pCfg->tStream[0][2].usHeight, 240);
    EXPECT_EQ(std::string(pCfg->sRecordDir), tDir.Path() + "/sim-data/records"); /* beside the file */
    EXPECT_EQ(Users(pCfg.get()), "0 admin secret FF;2 guest guest 0 1,3,80000000;");
    /* Add takes the first free slot (1), delete frees one, the next add reuses it. */
    const uint32_t dwCh[3] = {0x01, 0x0B, 0xFFFFFFFF}, dwBobCh[2] = {0x03, 0x05};
    ASSERT_EQ(VXQ_F_SIMCFG_AddUser(pCfg.get(), "alice", "pw1", 0x20, 3, dwCh), 1);
    ASSERT_EQ(VXQ_F_SIMCFG_AddUser(pCfg.get(), "bob", "pw2", 0x01, 0, nullptr), 1);
    ASSERT_EQ(VXQ_F_SIMCFG_DelUser(pCfg.get(), "guest"), 1);
    ASSERT_EQ(VXQ_F_SIMCFG_SetUserPassword(pCfg.get(), "admin", "n3w pass"), 1);
    ASSERT_EQ(VXQ_F_SIMCFG_SetUserPop(pCfg.get(), "bob", 0x40, 2, dwBobCh), 1);
    const std::string sWant = "0 admin n3w pass FF;1 alice pw1 20 1,B,FFFFFFFF;3 bob pw2 40 3,5;";
    EXPECT_EQ(Users(pCfg.get()), sWant);
    /* Comments of the file stay where they were. */
    std::string sText = ReadFile(sFile);
    EXPECT_TRUE(Has(sText, "// test configuration\n[device]\nvideo_channels = 2   // two\n")) << sText;
    EXPECT_TRUE(Has(sText, "password = n3w pass // the password")) << sText;
    auto pAgain = NewCfg();
    ASSERT_EQ(VXQ_F_SIMCFG_Load(sFile.c_str(), pAgain.get(), nullptr, 0), 1);
    EXPECT_EQ(Users(pAgain.get()), sWant);
    ASSERT_EQ(VXQ_F_SIMCFG_AddUser(pAgain.get(), "carol", "pw3", 0, 0, nullptr), 1);
    EXPECT_EQ(VXQ_F_SIMCFG_FindUser(pAgain.get(), "carol") - pAgain->tUser, 2); /* the slot guest left */
}

TEST(SimConfig, UserChangesThatCannotBeStoredAreRefusedAndChangeNothing)
{
    TempDir tDir;
    std::string sFile = tDir.File("sim.ini");
    ASSERT_TRUE(WriteFile(sFile, s_sBase));
    auto pCfg = NewCfg();
    ASSERT_EQ(VXQ_F_SIMCFG_Load(sFile.c_str(), pCfg.get(), nullptr, 0), 1);
    std::string sBefore = ReadFile(sFile);
    struct {
        const char *sName, *sPassword;
    } tAdds[] = {
        {"admin", "x"},                            /* exists */
        {"", "x"},                                 /* empty name */
        {"eve", ""},                               /* empty password */
        {"a-name-of-thirty-two-characters!", "x"}, /* too long */
        {"eve", "pass//word"},                     /* a comment in the file */
        {" eve", "x"},                             /* blank at the start */
        {"eve", "line\nbreak"},                    /* control character */
    };
    for (const auto &c : tAdds)
        EXPECT_EQ(VXQ_F_SIMCFG_AddUser(pCfg.get(), c.sName, c.sPassword, 1, 0, nullptr), 0) << c.sName;
    EXPECT_EQ(VXQ_F_SIMCFG_DelUser(pCfg.get(), "nobody"), 0);
    EXPECT_EQ(VXQ_F_SIMCFG_SetUserPassword(pCfg.get(), "nobody", "x"), 0);
    EXPECT_EQ(VXQ_F_SIMCFG_SetUserPassword(pCfg.get(), "admin", "a//b"), 0);
    EXPECT_EQ(VXQ_F_SIMCFG_SetUserPop(pCfg.get(), "nobody", 1, 0, nullptr), 0);
    EXPECT_EQ(ReadFile(sFile), sBefore);
    EXPECT_STREQ(VXQ_F_SIMCFG_FindUser(pCfg.get(), "admin")->sPassword, "secret");

    /* The 33rd user finds no slot. Channel word counts are clamped to 0..64. */
    std::vector<uint32_t> vWords(100, 0x11);
    int iAdded = 0;
    for (int i = 0; i < 40; i++) {
        std::string sName = "u" + std::to_string(i);
        iAdded += VXQ_F_SIMCFG_AddUser(pCfg.get(), sName.c_str(), "pw", 0, i == 0 ? 100 : -5, vWords.data());
    }
    EXPECT_EQ(iAdded, VXQ_SIM_MAX_USER - 2);
    EXPECT_EQ(VXQ_F_SIMCFG_FindUser(pCfg.get(), "u0")->iChPopNum, 64);
    EXPECT_EQ(VXQ_F_SIMCFG_FindUser(pCfg.get(), "u1")->iChPopNum, 0);
    auto pAgain = NewCfg();
    ASSERT_EQ(VXQ_F_SIMCFG_Load(sFile.c_str(), pAgain.get(), nullptr, 0), 1);
    EXPECT_EQ(VXQ_F_SIMCFG_FindUser(pAgain.get(), "u0")->iChPopNum, 64);
    EXPECT_NE(VXQ_F_SIMCFG_FindUser(pAgain.get(), "u29"), nullptr);
}
