/*
 * test_gateway.cpp - dps-gateway: its time stamp mapping, frame checks and
 * configuration on their own (no GStreamer needed), and one run of the
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

TEST(GatewayFrame, CheckPassesH264AndG711AndNamesWhatItDrops)
{
    auto Frame = [](int bVideo, uint8_t ucCodec, std::vector<uint8_t> tData, size_t iCut = 0) {
        _VXQ_S_CLI_MEDIA_HEAD tHead = {};
        tHead.bVideo = bVideo;
        tHead.ucCodecId = ucCodec;
        tHead.ucFrameType = 1;
        tHead.pData = tData.data();
        tHead.dwDataLen = (uint32_t)tData.size();
        std::vector<uint8_t> tMsg = VXQ_F_CLI_BuildFrame(&tHead);
        tMsg.resize(tMsg.size() - iCut);
        return tMsg;
    };
    const size_t A = VXQ_GW_MAX_AUDIO_FRAME;
    std::vector<uint8_t> tBadSize = Frame(1, 1, {0, 0, 1, 0x65});
    tBadSize[4]++;
    /* clang-format off */
    struct {
        std::vector<uint8_t> tMsg;
        int iVerdict, iAudio;
    } tCases[] = {
        {Frame(1, 1, {0, 0, 0, 1, 0x67, 0x42}), VXQ_GWFRAME_PASS, VXQ_GW_AUDIO_NONE},
        {Frame(1, 1, {0, 0, 1, 0x65}), VXQ_GWFRAME_PASS, VXQ_GW_AUDIO_NONE},
        {Frame(1, 1, {0, 0, 1, 0xE5}), VXQ_GWFRAME_NOT_H264, VXQ_GW_AUDIO_NONE}, /* forbidden bit set */
        {Frame(1, 1, {0, 0, 0, 1}), VXQ_GWFRAME_NOT_H264, VXQ_GW_AUDIO_NONE},    /* start code only */
        {Frame(1, 1, {0x47, 0x40, 0, 0x10}), VXQ_GWFRAME_NOT_H264, VXQ_GW_AUDIO_NONE},
        {Frame(1, 1, {}), VXQ_GWFRAME_EMPTY, VXQ_GW_AUDIO_NONE},
        {Frame(0, 0, std::vector<uint8_t>(A, 0xFF)), VXQ_GWFRAME_PASS, VXQ_GW_AUDIO_PCMU},
        {Frame(0, 1, std::vector<uint8_t>(160, 0xD5)), VXQ_GWFRAME_PASS, VXQ_GW_AUDIO_PCMA},
        {Frame(0, 2, std::vector<uint8_t>(160, 0)), VXQ_GWFRAME_AUDIO_CODEC, VXQ_GW_AUDIO_NONE},
        {Frame(0, 0, std::vector<uint8_t>(A + 1, 0xFF)), VXQ_GWFRAME_AUDIO_SIZE, VXQ_GW_AUDIO_PCMU},
        {Frame(1, 1, {0, 0, 1, 0x65}, 5), VXQ_GWFRAME_MALFORMED, VXQ_GW_AUDIO_NONE}, /* 31 bytes */
        {tBadSize, VXQ_GWFRAME_MALFORMED, VXQ_GW_AUDIO_NONE},
    };
    /* clang-format on */
    for (size_t i = 0; i < sizeof(tCases) / sizeof(tCases[0]); i++) {
        _VXQ_S_CLI_MEDIA_HEAD tFrame;
        int iAudio = -1;
        EXPECT_EQ(VXQ_F_GWFRAME_Check(tCases[i].tMsg.data(), tCases[i].tMsg.size(), 0, 1, &tFrame, &iAudio),
                  tCases[i].iVerdict)
            << i;
        EXPECT_EQ(iAudio, tCases[i].iAudio) << i;
    }
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
        {"none.ini", "[gateway]\nlisten = 1\n"},
        {"port.ini", "[device0]\nname = a\nhost = h\nuser = u\nport = 0\n"},
        {"codec.ini", "[device0]\nname = a\nhost = h\nuser = u\npcma_codec = 16\n"},
        {"nohost.ini", "[device0]\nname = a\nuser = u\n"},
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
        {With({"--name", "a.b-c_9", "--bind", "::1"}), "a.b-c_9 h:7000 u/p 0,1; 8554 ::1"},
        {{"--config", Ini("ok.ini")}, "sim 127.0.0.1:7100 admin/pw 0,1; b h:7000 u/ -1,15; 9000 127.0.0.1"},
        {{"--config", Ini("ok.ini"), "--listen", "1", "--bind", "0.0.0.0"}, "sim 127.0.0.1:7100 admin/pw 0,1; b h:7000 u/ -1,15; 1 0.0.0.0"},
        {{}, "--device or --config is required"},
        {With({"--frob"}), "unknown option '--frob'"},
        {{"--device", "h:0", "--user", "u", "--password", "p"}, "bad --device value 'h:0'"},
        {{"--device", "h:65536", "--user", "u", "--password", "p"}, "bad --device value 'h:65536'"},
        {{"--device", "h", "--user", "u"}, "--device needs --user and --password"},
        {With({"--name", "a/b"}), "bad --name value 'a/b'"},
        {With({"--listen", "65536"}), "bad --listen value '65536'"},
        {With({"--listen"}), "--listen needs a value"},
        {{"--config", Ini("ok.ini"), "--user", "u"}, "--config lists the devices"},
        {{"--config", Ini("missing.ini")}, "cannot read the configuration file"},
        {{"--config", Ini("twice.ini")}, Ini("twice.ini") + ": [device3] name 'a' is used twice"},
        {{"--config", Ini("none.ini")}, Ini("none.ini") + ": no device"},
        {{"--config", Ini("port.ini")}, Ini("port.ini") + ": [device0] port '0' is not a port 1..65535"},
        {{"--config", Ini("codec.ini")}, Ini("codec.ini") + ": [device0] pcma_codec '16' is not a codec id"},
        {{"--config", Ini("nohost.ini")}, Ini("nohost.ini") + ": [device0] needs host and user"},
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

#ifdef VXQ_GATEWAY_EXE
const char *const s_sGatewayMissing = nullptr;
const std::string s_sGateway = VXQ_GATEWAY_EXE;
#else
const char *const s_sGatewayMissing = "dps-gateway was not built (pkg-config found no GStreamer RTSP server "
                                      "library; Debian: libgstrtspserver-1.0-dev)";
const std::string s_sGateway;
#endif

/* A simulator (the clip with its G.711 tone on channel 0) and a gateway in
 * front of it serving "sim", "bad" (a wrong password) and "gone" (a port
 * nobody listens on). */
using GatewayE2e = SimProcessTest;

TEST_F(GatewayE2e, ServesH264AndG711ToFfprobeAndRefusesAtOnce)
{
    if (s_sGatewayMissing)
        GTEST_SKIP() << s_sGatewayMissing;
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
    ASSERT_TRUE(VXQ_F_TESTPROC_Start(tGw.Get(), s_sGateway, {"--config", m_tDir.File("gateway.ini")},
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
        {"nosuch/ch0", "404 Not Found"},         /* no such device */
        {"gone/ch0", "503 Service Unavailable"}, /* nobody listens: refused at once */
        {"gone/ch0", "503 Service Unavailable"}, /* and again while it is down */
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
}
