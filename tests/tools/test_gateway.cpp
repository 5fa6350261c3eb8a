/*
 * test_gateway.cpp - dps-gateway: its time stamp mapping and configuration
 * on their own (no GStreamer needed), and one run of the
 * whole program between dps-sim and ffprobe as an independent RTSP player,
 * which skips with the reason when the gateway was not built or ffprobe is
 * missing. tools/gateway/soak.sh (a ctest of its own) covers players joining
 * and leaving a shared view.
 */
#include "gwconf.h"
#include "gwtime.h"
#include "tools_fixture.h"

#include <stdlib.h>

#include <chrono>

namespace
{

const uint64_t MS = VXQ_GWTIME_NS_PER_MS;

} // namespace

TEST(GatewayTime, DeviceStampsStepTheRunningTimeThroughWrapsJumpsAndDrift)
{
    _VXQ_S_GWTIME_MAP tMap;
    VXQ_F_GWTIME_Init(&tMap);
    /* Each step: track, device stamp, the pipeline's running time, expected
     * result and whether the map had to move. Stamps wrap at 2^32 ms. */
    struct {
        int iTrack;
        uint32_t dwStamp;
        uint64_t qwNowNs;
        uint64_t qwWantNs;
        int bMoved;
    } tSteps[] = {
        {VXQ_GWTIME_VIDEO, 0xFFFFFF00u, 500 * MS, 500 * MS, 0}, /* anchors */
        {VXQ_GWTIME_AUDIO, 0xFFFFFF10u, 505 * MS, 516 * MS, 0}, /* audio keeps its distance to video */
        {VXQ_GWTIME_VIDEO, 0xFFFFFF28u, 530 * MS, 540 * MS, 0}, /* +40 ms */
        {VXQ_GWTIME_VIDEO, 0x00000050u, 830 * MS, 836 * MS, 0}, /* across the wrap: +296 ms */
        {VXQ_GWTIME_AUDIO, 0x00000038u, 800 * MS, 812 * MS, 0}, /* audio steps from its own last frame */
        {VXQ_GWTIME_VIDEO, 0x00000010u, 860 * MS, 876 * MS, 1}, /* backwards: one nominal frame on */
        {VXQ_GWTIME_VIDEO, 0x00100000u, 900 * MS, 916 * MS, 1}, /* 17 min ahead: a jump */
        {VXQ_GWTIME_VIDEO, 0x00100000u + 6000, 940 * MS, 6916 * MS, 0}, /* a pause of 6 s is kept */
        {VXQ_GWTIME_VIDEO, 0x00100000u + 12000, 980 * MS, 980 * MS, 1}, /* 12 s past the clock: re-anchor */
        {VXQ_GWTIME_AUDIO, 0x00100000u + 12010, 985 * MS, 990 * MS, 0}, /* audio starts from the new anchor */
    };
    for (const auto &s : tSteps) {
        int bMoved = -1;
        uint64_t qwNs = VXQ_F_GWTIME_Map(&tMap, s.iTrack, s.dwStamp, s.qwNowNs, 40, &bMoved);
        SCOPED_TRACE(s.dwStamp);
        EXPECT_EQ(qwNs, s.qwWantNs);
        EXPECT_EQ(bMoved, s.bMoved);
    }
    /* A client that starts with 300 ms of kept frames: the newest lands on
     * now, the I-frame before it; never below 0 at a pipeline's start. */
    VXQ_F_GWTIME_Anchor(&tMap, 1000, 1300, 2000 * MS);
    EXPECT_EQ(VXQ_F_GWTIME_Map(&tMap, VXQ_GWTIME_VIDEO, 1000, 2000 * MS, 40, nullptr), 1700 * MS);
    EXPECT_EQ(VXQ_F_GWTIME_Map(&tMap, VXQ_GWTIME_VIDEO, 1300, 2000 * MS, 40, nullptr), 2000 * MS);
    VXQ_F_GWTIME_Anchor(&tMap, 1000, 1300, 0);
    EXPECT_EQ(VXQ_F_GWTIME_Map(&tMap, VXQ_GWTIME_VIDEO, 1000, 0, 40, nullptr), 0u);
    EXPECT_EQ(VXQ_F_GWTIME_Map(&tMap, VXQ_GWTIME_VIDEO, 1040, 0, 40, nullptr), 40 * MS);
}

TEST(GatewayConf, CommandLineAndIniFileGiveTheDevicesOrOneLineSayingWhy)
{
    TempDir tDir;
    const std::string sFiles[][2] = {
        {"ok.ini",
         "[gateway]\nlisten = 9000\nbind = 127.0.0.1\n[device0]\nname = sim\nhost = 127.0.0.1\nport = 7100\n"
         "user = admin\npassword = pw\n[device2]\nname = b\nhost = h\nuser = u\npcmu_codec = -1\n"
         "pcma_codec = 15\n"},
        {"twice.ini", "[device0]\nname = a\nhost = h\nuser = u\n[device3]\nname = a\nhost = h\nuser = u\n"},
        {"codec.ini", "[device0]\nname = a\nhost = h\nuser = u\npcma_codec = 16\n"},
    };
    for (const auto &f : sFiles)
        ASSERT_TRUE(WriteFile(tDir.File(f[0]), f[1]));
    auto Ini = [&](const char *in_sName) { return tDir.File(in_sName); };
    const std::vector<std::string> D = {"--device", "h", "--user", "u", "--password", "p"};
    auto With = [&](std::vector<std::string> in_tMore) {
        in_tMore.insert(in_tMore.begin(), D.begin(), D.end());
        return in_tMore;
    };
    /* clang-format off */
    struct {
        std::vector<std::string> tArgs;
        std::string sWant; /* the devices and listener parsed, or the start of the error */
    } tCases[] = {
        {{"--device", "cam:7100", "--user", "u", "--password", "p", "--listen", "0"}, "dev cam:7100 u/p 0,1; 0 "},
        {{"--config", Ini("ok.ini")}, "sim 127.0.0.1:7100 admin/pw 0,1; b h:7000 u/ -1,15; 9000 127.0.0.1"},
        {{"--config", Ini("ok.ini"), "--listen", "1", "--bind", "0.0.0.0"}, "sim 127.0.0.1:7100 admin/pw 0,1; b h:7000 u/ -1,15; 1 0.0.0.0"},
        {{}, "--device or --config is required"},
        {{"--device", "h:65536", "--user", "u", "--password", "p"}, "bad --device value 'h:65536'"},
        {{"--device", "h", "--user", "u"}, "--device needs --user and --password"},
        {With({"--name", "a/b"}), "bad --name value 'a/b'"},
        {{"--config", Ini("twice.ini")}, Ini("twice.ini") + ": [device3] name 'a' is used twice"},
        {{"--config", Ini("codec.ini")}, Ini("codec.ini") + ": [device0] pcma_codec '16' is not a codec id"},
    };
    /* clang-format on */
    for (const auto &c : tCases) {
        SCOPED_TRACE(c.sWant);
        std::vector<const char *> tArgv = {"dps-gateway"};
        for (const std::string &sArg : c.tArgs)
            tArgv.push_back(sArg.c_str());
        _VXQ_S_GWCONF_DATA tConf;
        std::string sError, sGot;
        if (VXQ_F_GWCONF_Parse((int)tArgv.size(), tArgv.data(), &tConf, &sError)) {
            for (const _VXQ_S_GWCONF_DEVICE &d : tConf.tDevices)
                sGot += d.sName + " " + d.sHost + ":" + std::to_string(d.usPort) + " " + d.sUser + "/" +
                        d.sPassword + " " + std::to_string(d.iPcmuCodecId) + "," +
                        std::to_string(d.iPcmaCodecId) + "; ";
            sGot += std::to_string(tConf.iListenPort) + " " + tConf.sBind;
            EXPECT_EQ(sGot, c.sWant);
        } else {
            EXPECT_EQ(sError.compare(0, c.sWant.size(), c.sWant), 0) << sError;
            EXPECT_EQ(sError.find('\n'), std::string::npos) << sError;
        }
    }
}

/* A simulator (the clip with its G.711 tone on channel 0) and a gateway in
 * front of it serving "sim", "bad" (a wrong password) and "gone" (a port
 * nobody listens on). */
using GatewayE2e = SimProcessTest;

TEST_F(GatewayE2e, ServesH264AndG711ToFfprobeAndRefusesAtOnce)
{
#ifndef VXQ_GATEWAY_EXE
    GTEST_SKIP() << "dps-gateway was not built (pkg-config found no GStreamer RTSP server library; Debian: "
                    "libgstrtspserver-1.0-dev)";
#else
    if (system("command -v ffprobe >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ffprobe (the independent RTSP player) is not installed";
    const std::string sSimPort = std::to_string(VXQ_F_TESTPROC_FreeTcpPort());
    const std::string sRtsp = std::to_string(VXQ_F_TESTPROC_FreeTcpPort());
    const std::string sGone = std::to_string(VXQ_F_TESTPROC_FreeTcpPort());
    const std::string sDevice = "host = 127.0.0.1\nport = " + sSimPort + "\nuser = admin\n";
    ASSERT_TRUE(WriteFile(m_tDir.File("gateway.ini"),
                          "[gateway]\nlisten = " + sRtsp + "\nbind = 127.0.0.1\n[device0]\nname = sim\n" +
                              sDevice + "password = admin\n[device1]\nname = bad\n" + sDevice +
                              "password = wrong\n[device2]\nname = gone\nhost = 127.0.0.1\nport = " + sGone +
                              "\nuser = admin\npassword = admin\n"));
    ASSERT_TRUE(
        StartSim("[service]\nport = " + sSimPort +
                 "\nlog_dir =\n[device]\nvideo_channels = 2\naudio_channels = 1\n[user0]\nname = admin\n"
                 "password = admin\nglobal_rights = 0xFF\n[channel0]\nstream0_source = " VXQ_SIM_MEDIA_DIR
                 "/clip.h264\naudio = 1\n[records]\ndir = data/records\nseed_from_clip = 0\n"))
        << SimOutput();
    TestChildProcess tGw;
    ASSERT_TRUE(VXQ_F_TESTPROC_Start(tGw.Get(), VXQ_GATEWAY_EXE, {"--config", m_tDir.File("gateway.ini")},
                                     m_tDir.File("gw.txt")));
    auto GwOutput = [&] { return VXQ_F_TESTPROC_Output(tGw.Get()); };
    ASSERT_TRUE(
        WaitUntil([&] { return Has(GwOutput(), "listening on RTSP port") || tGw.Get()->iPid == 0; }, 10000) &&
        tGw.Get()->iPid != 0)
        << GwOutput();
    auto Probe = [&](const std::vector<std::string> &in_tArgs, const std::string &in_sPath,
                     std::string *out_psOut) {
        std::vector<std::string> tArgs = in_tArgs;
        tArgs.push_back("rtsp://127.0.0.1:" + sRtsp + "/" + in_sPath);
        return VXQ_F_TESTPROC_Run("ffprobe", tArgs, m_tDir.File("probe.txt"), out_psOut, 20000);
    };
    const std::vector<std::string> tShow = {
        "-v", "error", "-show_entries", "stream=codec_name,width,height,sample_rate", "-of", "csv=p=0"};
    std::string sOut;
    ASSERT_EQ(Probe(tShow, "sim/ch0", &sOut), 0) << sOut << GwOutput();
    EXPECT_TRUE(Has(sOut, "h264,320,240\n")) << sOut;
    EXPECT_TRUE(Has(sOut, "pcm_mulaw,8000\n")) << sOut;
    /* The SDP carries the parameter sets and the static G.711 payload type. */
    ASSERT_EQ(Probe({"-v", "debug"}, "sim/ch0", &sOut), 0);
    EXPECT_TRUE(Has(sOut, "a=fmtp:96 packetization-mode=1;sprop-parameter-sets=Z")) << sOut;
    EXPECT_TRUE(Has(sOut, "a=rtpmap:0 PCMU/8000")) << sOut;
    const std::string tCases[][2] = {
        {"bad/ch0", "401 Unauthorized"},         /* the device refused the login */
        {"sim/ch7", "404 Not Found"},            /* the device has two channels */
        {"gone/ch0", "503 Service Unavailable"}, /* nobody listens: refused at once */
    };
    for (const auto &c : tCases) {
        SCOPED_TRACE(c[0]);
        auto tStart = std::chrono::steady_clock::now();
        EXPECT_NE(Probe(tShow, c[0], &sOut), 0);
        EXPECT_TRUE(Has(sOut, "method DESCRIBE failed: " + c[1])) << sOut;
        EXPECT_LT(std::chrono::steady_clock::now() - tStart, std::chrono::seconds(2));
    }
    VXQ_F_TESTPROC_Signal(tGw.Get(), SIGTERM);
    ASSERT_EQ(VXQ_F_TESTPROC_Wait(tGw.Get(), 10000), 1);
    EXPECT_EQ(tGw.Get()->iExitStatus, 0) << GwOutput();
#endif
}
