/*
 * test_client_e2e.cpp - end to end: dps-sim started on a free port and
 * dps-client run against it, both as separate processes. What the user sees
 * (exit status, output lines) and what lands on disk on either side. The
 * documentation test (tests/integration/usage_doc.sh) runs the usage examples
 * on top: every command with exit status 0, search, trace, the log port, piped
 * live view, and the download of a whole recording compared byte for byte.
 */
#include "h264src.h"
#include "support/loopback.h"
#include "tools_fixture.h"

#include <string.h>
#include <unistd.h>

namespace
{

const std::string s_sClient = VXQ_CLIENT_EXE;
const std::string s_sClip = std::string(VXQ_SIM_MEDIA_DIR) + "/clip.h264";

/* A simulator of two channels (the clip with audio on channel 0), its data
 * folders inside the test's folder. */
class ClientE2e : public SimProcessTest
{
  protected:
    bool Start(const std::string &in_sExtra = "")
    {
        return StartSim("[service]\nport = " + std::to_string(m_usPort) +
                        "\nlog_dir = log\n[device]\ndev_id = DPSE2E\ndev_text1 = e2e\nvideo_channels = 2\n"
                        "audio_channels = 1\n[user0]\nname = admin\npassword = admin\nglobal_rights = 0xFF\n"
                        "[channel0]\nstream0_source = " +
                        s_sClip +
                        "\nstream0_fps = 25\naudio = 1\n[channel1]\nstream0_fps = 10\n"
                        "[records]\ndir = data/records\nseed_from_clip = 2\n[talk]\ndir = data/talk\n"
                        "[config]\ndir = data/config\n[upgrade]\ndir = data/upgrade\n" +
                        in_sExtra);
    }

    std::vector<std::string> Args(const std::vector<std::string> &in_tCommand,
                                  const std::string &in_sUser = "admin",
                                  const std::string &in_sPassword = "admin")
    {
        std::vector<std::string> tArgs = {
            "--port", std::to_string(m_usPort), "--user", in_sUser, "--password", in_sPassword};
        tArgs.insert(tArgs.end(), in_tCommand.begin(), in_tCommand.end());
        return tArgs;
    }

    /* Runs dps-client with the command's words; returns its exit status. */
    int Client(const std::vector<std::string> &in_tCommand, std::string *out_psOutput,
               const std::string &in_sUser = "admin", const std::string &in_sPassword = "admin")
    {
        return VXQ_F_TESTPROC_Run(s_sClient, Args(in_tCommand, in_sUser, in_sPassword),
                                  m_tDir.File("client.txt"), out_psOutput, 30000);
    }

    bool Exists(const std::string &in_sName)
    {
        return access(m_tDir.File(in_sName).c_str(), F_OK) == 0;
    }

    unsigned short m_usPort = VXQ_F_TESTPROC_FreeTcpPort();
};

} // namespace

TEST(ToolsUsage, BadUsageExitsWithStatus2AndOneLineSayingWhy)
{
    TempDir tDir;
    uint16_t usBusy = 0;
    int iBusy = LoopbackListen(&usBusy);
    ASSERT_GE(iBusy, 0);
    const std::string B = std::to_string(usBusy);
    ASSERT_TRUE(WriteFile(tDir.File("sim.ini"), "[device]\nvideo_channels = 1\n"));
    struct {
        std::string sProgram;
        std::vector<std::string> tArgs;
        std::string sLine; /* the start of the one line */
    } tCases[] = {
        {s_sClient, {"--user", "a", "--password", "b", "frob"}, "dps-client: unknown command 'frob'"},
        {VXQ_SIM_EXE,
         {"--config", tDir.File("sim.ini"), "--port", B},
         "dps-sim: TCP port " + B + " is already in use"},
    };
    for (const auto &c : tCases) {
        std::string sOut;
        SCOPED_TRACE(c.sLine);
        EXPECT_EQ(VXQ_F_TESTPROC_Run(c.sProgram, c.tArgs, tDir.File("out.txt"), &sOut), 2);
        EXPECT_TRUE(OneLine(sOut, c.sLine)) << sOut;
    }
    close(iBusy);
}

TEST_F(ClientE2e, DownloadBrokenByTheDeviceSaysSoInOneLineExitsWith2AndLeavesNoFile)
{
    /* Every read request takes 300 ms: a download is broken once its first bytes are on disk. */
    ASSERT_TRUE(Start("[records]\nread_delay_ms = 300\n")) << SimOutput();
    const std::string sFile = m_tDir.File("dl.h264");
    TestChildProcess tClient;
    ASSERT_TRUE(VXQ_F_TESTPROC_Start(tClient.Get(), s_sClient,
                                     Args({"download", "--ch", "0", "--from", "2000-01-01 00:00:00", "--to",
                                           "2037-12-31 23:59:59", "--out", sFile}),
                                     m_tDir.File("client.txt")));
    ASSERT_TRUE(WaitUntil([&] { return !ReadFile(sFile + ".part").empty(); }, 10000))
        << VXQ_F_TESTPROC_Output(tClient.Get());
    VXQ_F_TESTPROC_Kill(m_tSim.Get());
    ASSERT_TRUE(VXQ_F_TESTPROC_Wait(tClient.Get(), 10000));
    std::string sOut = VXQ_F_TESTPROC_Output(tClient.Get());
    EXPECT_EQ(tClient.Get()->iExitStatus, 2) << sOut;
    EXPECT_TRUE(OneLine(sOut, "dps-client: download: download broke after ")) << sOut;
    EXPECT_FALSE(Exists("dl.h264") || Exists("dl.h264.part"));
}

TEST_F(ClientE2e, EveryCommandSucceedsAndItsEffectShowsOnTheSimulatorLiveFromAnIFrameByteForByte)
{
    _VXQ_S_SIMH264_CLIP tClip;
    ASSERT_TRUE(VXQ_F_SIMH264_LoadClip(s_sClip.c_str(), &tClip));
    ASSERT_TRUE(Start("[quality]\ncap_num = 1\ncap0 = e2e,7,1280,720,25,2048\n"
                      "[alarm]\ninterval = 1\nchannel = 1\nevent = 3\nmessage = e2e motion\n"))
        << SimOutput();
    const std::string sLive = m_tDir.File("live.h264");
    std::string sOut;
    ASSERT_EQ(Client({"live", "--ch", "0", "--seconds", "2", "--audio", "--out", sLive}, &sOut), 0) << sOut;
    EXPECT_FALSE(ReadFile(sLive + ".g711").empty());
    std::string sVideo = ReadFile(sLive);
    /* It starts with an I-frame of the clip; every access unit after it
     * follows in clip order, looping at the clip's end, up to the last byte. */
    int64_t iFirst = -1;
    for (uint32_t i = 0; i < tClip.dwAuNum && iFirst < 0; i++)
        if (tClip.pAu[i].iFrameType == VXQ_SIM_FRAME_TYPE_I && sVideo.size() >= tClip.pAu[i].dwLen &&
            memcmp(sVideo.data(), tClip.pData + tClip.pAu[i].dwOffset, tClip.pAu[i].dwLen) == 0)
            iFirst = i;
    ASSERT_GE(iFirst, 0) << "the video does not start with an I-frame of the clip";
    size_t iPos = 0;
    uint32_t dwFrames = 0;
    for (; iPos < sVideo.size(); dwFrames++) {
        const _VXQ_S_SIMH264_AU &tAu = tClip.pAu[(iFirst + dwFrames) % tClip.dwAuNum];
        ASSERT_LE(iPos + tAu.dwLen, sVideo.size()) << "frame " << dwFrames;
        ASSERT_EQ(memcmp(sVideo.data() + iPos, tClip.pData + tAu.dwOffset, tAu.dwLen), 0)
            << "frame " << dwFrames;
        iPos += tAu.dwLen;
    }
    EXPECT_TRUE(Has(sOut, "frames " + std::to_string(dwFrames) + ",")) << sOut;
    EXPECT_GE(dwFrames, 20u);
    VXQ_F_SIMH264_FreeClip(&tClip);
    /* A refused download leaves no file behind, not even a partial one. */
    EXPECT_EQ(Client({"download", "--file", "no-such-recording", "--out", m_tDir.File("dl.h264")}, &sOut), 1)
        << sOut;
    EXPECT_FALSE(Exists("dl.h264") || Exists("dl.h264.part"));
    /* Configuration blocks, an import container (magic, then id, length and
     * block per entry), a custom body, talk audio and an upgrade image. */
    const std::string sOther("\x01\x00\x00\x00\xAB\xCD\xEF\x00", 8);
    const std::string sIdLen("\x04\x00\x00\x00\x08\x00\x00\x00", 8),
        sId1Len("\x01\x00\x00\x00\x10\x00\x00\x00", 8);
    const std::string sAnyOrder = std::string("\x01\x02\x03\x04\xF0\xF1\x00\x7F", 8) + std::string(8, '\x55');
    std::string sAudio, sImage;
    for (int i = 0; i < 1000; i++)
        sAudio.push_back((char)((i * 31 + 7) & 0xFF));
    for (int i = 0; i < 100000; i++)
        sImage.push_back((char)((i * 7919 + i / 256) & 0xFF));
    const std::string sFiles[][2] = {{"any.bin", sAnyOrder},
                                     {"import.bin", "DPSSIMCF" + sIdLen + sOther},
                                     {"custom.bin", "ping e2e"},
                                     {"talk.g711", sAudio},
                                     {"image.bin", sImage}};
    for (const auto &f : sFiles)
        ASSERT_TRUE(WriteFile(m_tDir.File(f[0]), f[1]));
    auto F = [&](const char *in_sName) { return m_tDir.File(in_sName); };
    /* clang-format off */
    struct {
        std::vector<std::string> tCommand;
        std::string sUser, sPassword;     /* empty user: admin */
        std::vector<std::string> tOutput; /* pieces of what the client prints */
        std::string sSimLine;             /* part of the simulator's output afterwards; empty: none */
        std::string sFile, sFileData;     /* a file whose whole content is sFileData afterwards */
    } tSteps[] = {
        {{"info"}, "", "", {"device id: DPSE2E\n", "device text 1: e2e\n", "video channels: 2\n", "audio channels: 1\n"}, "", "", ""},
        {{"ptz", "--ch", "1", "--cmd", "21", "--data", "3", "--ext1", "4", "--ext2", "5"}, "", "",
         {"PTZ command 21 on channel 1 done"}, "PTZ: channel 1 command 21 data 3 params 4 5", "", ""},
        {{"iframe", "--ch", "0", "--stream", "1"}, "", "", {"I-frame requested on channel 0 stream 1"},
         "forced I-frame asked: channel 0 stream 1", "", ""},
        {{"quality", "cap", "--ch", "0"}, "", "", {"e2e: value 7, 1280 720 25 2048\n"}, "", "", ""},
        {{"quality", "set", "--ch", "0", "--stream", "1", "--level", "5"}, "", "", {"quality level 5 set"},
         "quality level of channel 0 stream 1 set to 5", "", ""},
        {{"quality", "get", "--ch", "0", "--stream", "1"}, "", "", {"quality level: 5\n"}, "", "", ""},
        {{"custom", "--id", "0x1234", "--in", F("custom.bin"), "--out", F("answer.bin")}, "", "",
         {"8 bytes of answer written to "}, "", F("answer.bin"), "ping e2e"},
        /* Id 1 has no multi-byte fields: the block comes back as it went on either byte order. */
        {{"config", "set", "--id", "1", "--in", F("any.bin")}, "", "", {"config set: 16 bytes accepted"},
         "configuration 1 set (16 bytes): result 0", F("data/config/1.bin"), sAnyOrder},
        {{"config", "export", "--out", F("export.bin")}, "", "", {"32 bytes written to "},
         "configuration exported: 32 bytes", F("export.bin"), "DPSSIMCF" + sId1Len + sAnyOrder},
        {{"config", "default", "--id", "4", "--out", F("default.bin")}, "", "", {"4 bytes written to "}, "",
         F("default.bin"), std::string(4, '\0')},
        {{"config", "import", "--in", F("import.bin")}, "", "", {"config import: 24 bytes accepted"},
         "configuration import: result 0", F("data/config/4.bin"), sOther},
        {{"config", "get", "--id", "1", "--out", F("got.bin")}, "", "", {}, "", F("got.bin"), sAnyOrder},
        {{"net", "info"}, "", "", {"network card(s)"}, "", "", ""},
        {{"users", "add", "--name", "bob", "--new-password", "b-pw"}, "", "", {"users add 'bob' done"}, "", "", ""},
        {{"users", "set", "--name", "bob", "--rights", "0x41", "--ch-rights", "1,0x10"}, "", "",
         {"users set 'bob' done"}, "rights of user 'bob' set to 0x41: result 0", "", ""},
        {{"users", "get", "--name", "bob"}, "", "", {"user 'bob': rights 0x00000041, channel rights 0x01,0x10\n"}, "", "", ""},
        {{"passwd", "--new", "b-new"}, "bob", "b-pw", {"password of 'bob' changed"},
         "password change of user 'bob': result 0", "", ""},
        {{"users", "del", "--name", "bob"}, "", "", {"users del 'bob' done"}, "delete user 'bob': result 0", "", ""},
        {{"talk", "--ch", "0", "--in", F("talk.g711")}, "", "", {"sent 1000 bytes of audio"}, "", "", ""},
        {{"alarms", "--seconds", "3", "--arm"}, "", "", {"armed\n", "alarm: channel 1, event 3", ": e2e motion\n", "disarmed\n"},
         "alarm reporting armed by a client", "", ""},
        {{"serial", "write", "--data", "hello serial", "--seconds", "5"}, "", "",
         {"12 bytes written\n", "12 bytes received\nhello serial\n"}, "", "", ""},
        {{"upgrade", "--in", F("image.bin"), "--piece", "30000"}, "", "", {"upgrade: 100000 bytes sent, device progress 100"},
         "", F("data/upgrade/upgrade.bin"), sImage},
        {{"version"}, "", "", {"version: "}, "", "", ""},
        {{"ability"}, "", "", {}, "", "", ""},
        {{"reboot"}, "", "", {"reboot accepted"}, "reboot asked by a client (simulated: the device keeps running)", "", ""},
        {{"stop"}, "", "", {"stop accepted"}, "stopping (a client asked the device to stop)", "", ""},
    };
    /* clang-format on */
    for (const auto &c : tSteps) {
        SCOPED_TRACE(c.tCommand[0] + " " + (c.tCommand.size() > 1 ? c.tCommand[1] : ""));
        const bool bAdmin = c.sUser.empty();
        EXPECT_EQ(Client(c.tCommand, &sOut, bAdmin ? "admin" : c.sUser, bAdmin ? "admin" : c.sPassword), 0)
            << sOut;
        for (const std::string &sPiece : c.tOutput)
            EXPECT_TRUE(Has(sOut, sPiece)) << sOut;
        EXPECT_TRUE(c.sSimLine.empty() || WaitUntil([&] { return Has(SimOutput(), c.sSimLine); }))
            << SimOutput();
        EXPECT_TRUE(c.sFile.empty() || ReadFile(c.sFile) == c.sFileData) << c.sFile;
    }
    /* The stop ends the simulator by itself, with status 0. */
    ASSERT_TRUE(VXQ_F_TESTPROC_Wait(m_tSim.Get(), 10000)) << SimOutput();
    EXPECT_EQ(m_tSim.Get()->iExitStatus, 0) << SimOutput();
    EXPECT_TRUE(Has(ListDir(m_tDir.File("log")), "Log")); /* the daily log file in the configured folder */
}
