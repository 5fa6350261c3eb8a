/*
 * test_gateway.cpp - dps-gateway: its time stamp mapping, frame checks and
 * paths on their own, and the whole program between dps-sim and ffmpeg's
 * ffprobe and ffmpeg as independent RTSP players, all as separate processes.
 * The process tests skip with the reason when the gateway was not built (no
 * GStreamer RTSP server library) or ffmpeg is not installed.
 */
#include <gtest/gtest.h>

#include "gwtime.h"
#include "gwview.h"
#include "support/child_process.h"
#include "support/loopback.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

#include <math.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace
{

const uint64_t MS = VXQ_GWTIME_NS_PER_MS;

bool Has(const std::string &in_sText, const std::string &in_sPiece)
{
    return in_sText.find(in_sPiece) != std::string::npos;
}

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
    auto Frame = [](int bVideo, uint8_t ucCodec, std::vector<uint8_t> tData) {
        _VXQ_S_CLI_MEDIA_HEAD tHead = {};
        tHead.bVideo = bVideo;
        tHead.ucCodecId = ucCodec;
        tHead.ucFrameType = 1;
        tHead.dwTimeStampMs = 40;
        tHead.pData = tData.data();
        tHead.dwDataLen = (uint32_t)tData.size();
        return VXQ_F_CLI_BuildFrame(&tHead);
    };
    std::vector<uint8_t> tShortMsg = Frame(1, 1, {0, 0, 1, 0x65});
    tShortMsg.resize(31);
    std::vector<uint8_t> tBadSize = Frame(1, 1, {0, 0, 1, 0x65});
    tBadSize[4]++;
    struct {
        std::vector<uint8_t> tMsg;
        int iVerdict;
        int iAudio;
    } tCases[] = {
        {Frame(1, 1, {0, 0, 0, 1, 0x67, 0x42}), VXQ_GWFRAME_PASS, VXQ_GW_AUDIO_NONE},
        {Frame(1, 1, {0, 0, 1, 0x65}), VXQ_GWFRAME_PASS, VXQ_GW_AUDIO_NONE},
        {Frame(1, 1, {0, 0, 1, 0xE5}), VXQ_GWFRAME_NOT_H264, VXQ_GW_AUDIO_NONE}, /* forbidden bit set */
        {Frame(1, 1, {0, 0, 0, 1}), VXQ_GWFRAME_NOT_H264, VXQ_GW_AUDIO_NONE},    /* start code only */
        {Frame(1, 1, {0x47, 0x40, 0, 0x10}), VXQ_GWFRAME_NOT_H264, VXQ_GW_AUDIO_NONE},
        {Frame(1, 1, {}), VXQ_GWFRAME_EMPTY, VXQ_GW_AUDIO_NONE},
        {Frame(0, 0, std::vector<uint8_t>(160, 0xFF)), VXQ_GWFRAME_PASS, VXQ_GW_AUDIO_PCMU},
        {Frame(0, 1, std::vector<uint8_t>(160, 0xD5)), VXQ_GWFRAME_PASS, VXQ_GW_AUDIO_PCMA},
        {Frame(0, 2, std::vector<uint8_t>(160, 0)), VXQ_GWFRAME_AUDIO_CODEC, VXQ_GW_AUDIO_NONE},
        {Frame(0, 0, std::vector<uint8_t>(VXQ_GW_MAX_AUDIO_FRAME, 0xFF)), VXQ_GWFRAME_PASS,
         VXQ_GW_AUDIO_PCMU},
        {Frame(0, 0, std::vector<uint8_t>(VXQ_GW_MAX_AUDIO_FRAME + 1, 0xFF)), VXQ_GWFRAME_AUDIO_SIZE,
         VXQ_GW_AUDIO_PCMU},
        {tShortMsg, VXQ_GWFRAME_MALFORMED, VXQ_GW_AUDIO_NONE},
        {tBadSize, VXQ_GWFRAME_MALFORMED, VXQ_GW_AUDIO_NONE},
    };
    int i = 0;
    for (const auto &c : tCases) {
        _VXQ_S_CLI_MEDIA_HEAD tFrame;
        int iAudio = -1;
        SCOPED_TRACE(i++);
        EXPECT_EQ(VXQ_F_GWFRAME_Check(c.tMsg.data(), c.tMsg.size(), 0, 1, &tFrame, &iAudio), c.iVerdict)
            << VXQ_F_GWFRAME_Text(c.iVerdict);
        EXPECT_EQ(iAudio, c.iAudio);
    }
}

TEST(GatewayPath, PathsNameADeviceAChannelAndTheSubStream)
{
    struct {
        const char *sPath;
        int bOk;
        const char *sDevice;
        int iCh;
        int iStream;
    } tCases[] = {
        {"/sim/ch0", 1, "sim", 0, 0},
        {"/sim/ch63/sub", 1, "sim", 63, 1},
        {"/cam-2.a/ch7/", 1, "cam-2.a", 7, 0},
        {"/sim/ch64", 0, "", 0, 0},
        {"/sim/ch01", 0, "", 0, 0},
        {"/sim/ch", 0, "", 0, 0},
        {"/sim/chx", 0, "", 0, 0},
        {"/sim/ch0/main", 0, "", 0, 0},
        {"/sim", 0, "", 0, 0},
        {"//ch0", 0, "", 0, 0},
        {"sim/ch0", 0, "", 0, 0},
        {"/sim/ch0/sub/x", 0, "", 0, 0},
        {"/sim/ch0/stream=0", 0, "", 0, 0},
    };
    for (const auto &c : tCases) {
        std::string sDevice;
        int iCh = -1, iStream = -1;
        SCOPED_TRACE(c.sPath);
        ASSERT_EQ(VXQ_F_GWVIEW_ParsePath(c.sPath, &sDevice, &iCh, &iStream), c.bOk);
        if (c.bOk) {
            EXPECT_EQ(sDevice, c.sDevice);
            EXPECT_EQ(iCh, c.iCh);
            EXPECT_EQ(iStream, c.iStream);
            EXPECT_EQ("/" + VXQ_F_GWVIEW_PathOf(sDevice, iCh, iStream) +
                          (c.sPath[strlen(c.sPath) - 1] == '/' ? "/" : ""),
                      c.sPath);
        }
    }
}

namespace
{

#ifdef VXQ_GATEWAY_EXE
const char *const s_sGatewayMissing = nullptr;
const std::string s_sGateway = VXQ_GATEWAY_EXE;
#else
const char *const s_sGatewayMissing = "dps-gateway was not built (pkg-config found no GStreamer RTSP server "
                                      "library; Debian: libgstrtspserver-1.0-dev)";
const std::string s_sGateway;
#endif

/* Why the process tests cannot run here, or null. */
const char *MissingTool()
{
    if (s_sGatewayMissing)
        return s_sGatewayMissing;
    static const bool s_bFfmpeg =
        system("command -v ffprobe >/dev/null 2>&1 && command -v ffmpeg >/dev/null 2>&1") == 0;
    return s_bFfmpeg ? nullptr : "ffprobe and ffmpeg (the independent RTSP players) are not installed";
}

/* The last status line in a program's output. */
std::string LastStatus(const std::string &in_sOutput)
{
    size_t iPos = in_sOutput.rfind("status:");
    if (iPos == std::string::npos)
        return "";
    return in_sOutput.substr(iPos, in_sOutput.find('\n', iPos) - iPos);
}

/* A simulator (the clip with its G.711 tone on channel 0) and a gateway in
 * front of it serving three devices: "sim", "bad" (a wrong password) and
 * "gone" (a port nobody listens on). */
class GatewayE2e : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        if (const char *sWhy = MissingTool())
            GTEST_SKIP() << sWhy;
        m_usSimPort = VXQ_F_TESTPROC_FreeTcpPort();
        m_usRtspPort = VXQ_F_TESTPROC_FreeTcpPort();
        unsigned short usGone = VXQ_F_TESTPROC_FreeTcpPort();
        std::string sDevice = "host = 127.0.0.1\nport = " + std::to_string(m_usSimPort) + "\nuser = admin\n";
        ASSERT_TRUE(WriteFile(m_tDir.File("sim.ini"),
                              "[service]\nport = " + std::to_string(m_usSimPort) +
                                  "\nlog_dir =\n[device]\nvideo_channels = 2\naudio_channels = 1\n"
                                  "[user0]\nname = admin\npassword = admin\nglobal_rights = 0xFF\n"
                                  "[channel0]\nstream0_source = " VXQ_SIM_MEDIA_DIR "/clip.h264\naudio = 1\n"
                                  "[records]\ndir = data/records\nseed_from_clip = 0\n"));
        ASSERT_TRUE(WriteFile(m_tDir.File("gateway.ini"),
                              "[gateway]\nlisten = " + std::to_string(m_usRtspPort) + "\nbind = 127.0.0.1\n" +
                                  "[device0]\nname = sim\n" + sDevice + "password = admin\n" +
                                  "[device1]\nname = bad\n" + sDevice + "password = wrong\n" +
                                  "[device2]\nname = gone\nhost = 127.0.0.1\nport = " +
                                  std::to_string(usGone) + "\nuser = admin\npassword = admin\n"));
        ASSERT_TRUE(StartSim());
        ASSERT_TRUE(VXQ_F_TESTPROC_Start(m_tGw.Get(), s_sGateway, {"--config", m_tDir.File("gateway.ini")},
                                         m_tDir.File("gateway.txt")));
        ASSERT_TRUE(
            WaitUntil([&] { return Has(GwOutput(), "listening on RTSP port") || m_tGw.Get()->iPid == 0; },
                      10000) &&
            m_tGw.Get()->iPid != 0)
            << GwOutput();
    }

    void TearDown() override
    {
        if (m_tGw.Get()->iPid != 0) {
            VXQ_F_TESTPROC_Signal(m_tGw.Get(), SIGTERM);
            EXPECT_EQ(VXQ_F_TESTPROC_Wait(m_tGw.Get(), 10000), 1);
            EXPECT_EQ(m_tGw.Get()->iExitStatus, 0) << GwOutput();
        }
        if (m_tSim.Get()->iPid != 0) {
            VXQ_F_TESTPROC_Signal(m_tSim.Get(), SIGTERM);
            VXQ_F_TESTPROC_Wait(m_tSim.Get(), 10000);
        }
    }

    bool StartSim()
    {
        return VXQ_F_TESTPROC_Start(m_tSim.Get(), VXQ_SIM_EXE, {"--config", m_tDir.File("sim.ini")},
                                    m_tDir.File("sim.txt")) &&
               WaitUntil([&] { return Has(SimOutput(), "serving") || m_tSim.Get()->iPid == 0; }, 10000) &&
               m_tSim.Get()->iPid != 0;
    }

    std::string GwOutput()
    {
        return VXQ_F_TESTPROC_Output(m_tGw.Get());
    }
    std::string SimOutput()
    {
        return VXQ_F_TESTPROC_Output(m_tSim.Get());
    }

    /* A fresh status line of a program that prints one on SIGUSR1 holds in_sPiece. */
    bool StatusShows(TestChildProcess &inout_tProc, const std::string &in_sPiece, int in_iTimeoutMs)
    {
        return WaitUntil(
            [&] {
                VXQ_F_TESTPROC_Signal(inout_tProc.Get(), SIGUSR1);
                usleep(100000);
                return Has(LastStatus(VXQ_F_TESTPROC_Output(inout_tProc.Get())), in_sPiece);
            },
            in_iTimeoutMs);
    }

    std::string Url(const std::string &in_sPath)
    {
        return "rtsp://127.0.0.1:" + std::to_string(m_usRtspPort) + "/" + in_sPath;
    }

    /* ffprobe on a path: its exit status, its output in *out_psOut. */
    int Probe(const std::string &in_sPath, std::string *out_psOut)
    {
        return VXQ_F_TESTPROC_Run("ffprobe",
                                  {"-v", "error", "-show_entries",
                                   "stream=codec_name,width,height,sample_rate", "-of", "csv=p=0",
                                   Url(in_sPath)},
                                  m_tDir.File("probe.txt"), out_psOut, 20000);
    }

    /* Starts an ffmpeg player recording a path over in_sTransport for in_iSeconds. */
    bool StartRecorder(TestChildProcess &out_tProc, const std::string &in_sTransport, int in_iSeconds,
                       const std::string &in_sFile)
    {
        return VXQ_F_TESTPROC_Start(out_tProc.Get(), "ffmpeg",
                                    {"-nostdin", "-v", "error", "-rtsp_transport", in_sTransport, "-i",
                                     Url("sim/ch0"), "-t", std::to_string(in_iSeconds), "-c", "copy", "-y",
                                     in_sFile},
                                    in_sFile + ".txt");
    }

    TempDir m_tDir;
    TestChildProcess m_tSim;
    TestChildProcess m_tGw;
    unsigned short m_usSimPort = 0;
    unsigned short m_usRtspPort = 0;
};

} // namespace

TEST(GatewayUsage, BadUsageExitsWithStatus2AndOneLineSayingWhy)
{
    if (s_sGatewayMissing)
        GTEST_SKIP() << s_sGatewayMissing;
    TempDir tDir;
    uint16_t usBusy = 0;
    int iBusy = LoopbackListen(&usBusy);
    ASSERT_GE(iBusy, 0);
    ASSERT_TRUE(
        WriteFile(tDir.File("twice.ini"),
                  "[device0]\nname = a\nhost = h\nuser = u\n[device3]\nname = a\nhost = h\nuser = u\n"));
    ASSERT_TRUE(WriteFile(tDir.File("none.ini"), "[gateway]\nlisten = 1\n"));
    const std::vector<std::string> D = {"--device", "127.0.0.1:7000", "--user", "u", "--password", "p"};
    auto With = [&](std::vector<std::string> tMore) {
        std::vector<std::string> tArgs = D;
        tArgs.insert(tArgs.end(), tMore.begin(), tMore.end());
        return tArgs;
    };
    struct {
        std::vector<std::string> tArgs;
        std::string sLine;
    } tCases[] = {
        {{}, "dps-gateway: --device or --config is required"},
        {{"--frob"}, "dps-gateway: unknown option '--frob'"},
        {{"--device", "h:0", "--user", "u", "--password", "p"}, "dps-gateway: bad --device value 'h:0'"},
        {{"--device", "h"}, "dps-gateway: --device needs --user and --password"},
        {With({"--name", "a/b"}), "dps-gateway: bad --name value 'a/b'"},
        {With({"--listen", "65536"}), "dps-gateway: bad --listen value '65536'"},
        {With({"--listen"}), "dps-gateway: --listen needs a value"},
        {{"--config", tDir.File("x.ini"), "--user", "u"}, "dps-gateway: --config lists the devices"},
        {{"--config", tDir.File("missing.ini")}, "dps-gateway: cannot read the configuration file"},
        {{"--config", tDir.File("twice.ini")},
         "dps-gateway: " + tDir.File("twice.ini") + ": [device3] name 'a' is used twice"},
        {{"--config", tDir.File("none.ini")}, "dps-gateway: " + tDir.File("none.ini") + ": no device"},
        {With({"--bind", "127.0.0.1", "--listen", std::to_string(usBusy)}),
         "dps-gateway: cannot listen on 127.0.0.1 port"},
    };
    for (const auto &c : tCases) {
        std::string sOut;
        SCOPED_TRACE(c.sLine);
        EXPECT_EQ(VXQ_F_TESTPROC_Run(s_sGateway, c.tArgs, tDir.File("out.txt"), &sOut), 2);
        EXPECT_EQ(sOut.compare(0, c.sLine.size(), c.sLine), 0) << sOut;
        EXPECT_EQ(std::count(sOut.begin(), sOut.end(), '\n'), 1) << sOut;
    }
    close(iBusy);
}

TEST_F(GatewayE2e, FfprobeSeesH264AndG711AndRefusalsComeAtOnce)
{
    std::string sOut;
    ASSERT_EQ(Probe("sim/ch0", &sOut), 0) << sOut << GwOutput();
    EXPECT_TRUE(Has(sOut, "h264,320,240\n")) << sOut;
    EXPECT_TRUE(Has(sOut, "pcm_mulaw,8000\n")) << sOut;
    /* The SDP carries the parameter sets and the static G.711 payload type. */
    ASSERT_EQ(
        VXQ_F_TESTPROC_Run("ffprobe", {"-v", "debug", Url("sim/ch0")}, m_tDir.File("sdp.txt"), &sOut, 20000),
        0);
    EXPECT_TRUE(Has(sOut, "a=fmtp:96 packetization-mode=1;sprop-parameter-sets=Z")) << sOut;
    EXPECT_TRUE(Has(sOut, "a=rtpmap:0 PCMU/8000")) << sOut;
    struct {
        std::string sPath;
        std::string sStatus;
    } tCases[] = {
        {"bad/ch0", "401 Unauthorized"},         /* the device refused the login */
        {"sim/ch7", "404 Not Found"},            /* the device has two channels */
        {"nosuch/ch0", "404 Not Found"},         /* no such device */
        {"sim/ch0/main", "404 Not Found"},       /* no such path */
        {"gone/ch0", "503 Service Unavailable"}, /* nobody listens: refused at once */
        {"gone/ch0", "503 Service Unavailable"}, /* and again while it is down */
    };
    for (const auto &c : tCases) {
        SCOPED_TRACE(c.sPath);
        auto tStart = std::chrono::steady_clock::now();
        EXPECT_NE(Probe(c.sPath, &sOut), 0);
        auto iMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - tStart)
                .count();
        EXPECT_TRUE(Has(sOut, "method DESCRIBE failed: " + c.sStatus)) << sOut;
        EXPECT_LT(iMs, 2000);
    }
}

TEST_F(GatewayE2e, TwoPlayersShareOneDeviceViewAndRecordTheDevicesTimeLine)
{
    /* Two players at once, over TCP and over UDP, each recording 4 s. */
    TestChildProcess tPlayers[2];
    const std::string sFiles[2] = {m_tDir.File("tcp.mkv"), m_tDir.File("udp.mkv")};
    ASSERT_TRUE(StartRecorder(tPlayers[0], "tcp", 4, sFiles[0]));
    ASSERT_TRUE(StartRecorder(tPlayers[1], "udp", 4, sFiles[1]));
    EXPECT_TRUE(StatusShows(m_tGw, "open streams 1 (sim/ch0:2)", 5000)) << GwOutput();
    EXPECT_TRUE(StatusShows(m_tSim, "media clients 1,", 2000)) << SimOutput();
    for (TestChildProcess &tPlayer : tPlayers) {
        ASSERT_EQ(VXQ_F_TESTPROC_Wait(tPlayer.Get(), 15000), 1);
        EXPECT_EQ(tPlayer.Get()->iExitStatus, 0) << VXQ_F_TESTPROC_Output(tPlayer.Get());
    }
    /* After both left the view is closed on the device. */
    EXPECT_TRUE(StatusShows(m_tSim, "media clients 0,", 10000)) << SimOutput();
    EXPECT_TRUE(Has(SimOutput(), "live view closed: channel 0 stream 0"));
    EXPECT_TRUE(Has(GwOutput(), "sim/ch0: closing (no client for 2 s)")) << GwOutput();

    for (const std::string &sFile : sFiles) {
        SCOPED_TRACE(sFile);
        std::string sOut;
        ASSERT_EQ(VXQ_F_TESTPROC_Run("ffmpeg", {"-nostdin", "-v", "error", "-i", sFile, "-f", "null", "-"},
                                     m_tDir.File("decode.txt"), &sOut, 20000),
                  0);
        EXPECT_EQ(sOut, "") << "decoding printed errors";
        ASSERT_EQ(VXQ_F_TESTPROC_Run("ffprobe",
                                     {"-v", "error", "-show_entries", "packet=stream_index,pts_time", "-of",
                                      "csv=p=0", sFile},
                                     m_tDir.File("packets.txt"), &sOut, 20000),
                  0);
        /* Per stream: packet count and the steps between packets, in ms. The
         * first step of a stream may be short (the player's start alignment). */
        std::map<int, std::vector<long>> tSteps;
        std::map<int, double> tLast;
        std::istringstream tLines(sOut);
        std::string sLine;
        int iCount[2] = {0, 0};
        while (std::getline(tLines, sLine)) {
            int iStream = atoi(sLine.c_str());
            double fPts = atof(sLine.c_str() + sLine.find(',') + 1);
            if (iStream < 0 || iStream > 1)
                continue;
            if (iCount[iStream]++ > 1)
                tSteps[iStream].push_back(lround((fPts - tLast[iStream]) * 1000));
            tLast[iStream] = fPts;
        }
        EXPECT_GE(iCount[0], 95);
        EXPECT_LE(iCount[0], 106);
        EXPECT_GE(iCount[1], 190);
        const long iWant[2] = {40, 20}; /* 25 fps video, 160-byte G.711 frames */
        for (int iStream = 0; iStream < 2; iStream++) {
            int iOff = 0;
            for (long iStep : tSteps[iStream])
                iOff += iStep != iWant[iStream];
            EXPECT_EQ(iOff, 0) << "stream " << iStream << " steps off " << iWant[iStream] << " ms";
        }
    }
}

TEST_F(GatewayE2e, DeviceDropEndsThePlayersAndANewPlayerPlaysOnceTheDeviceIsBack)
{
    TestChildProcess tTcp, tUdp;
    ASSERT_TRUE(StartRecorder(tTcp, "tcp", 60, m_tDir.File("tcp.mkv")));
    ASSERT_TRUE(StartRecorder(tUdp, "udp", 60, m_tDir.File("udp.mkv")));
    ASSERT_TRUE(StatusShows(m_tGw, "open streams 1 (sim/ch0:2)", 5000)) << GwOutput();
    VXQ_F_TESTPROC_Signal(m_tSim.Get(), SIGTERM);
    ASSERT_EQ(VXQ_F_TESTPROC_Wait(m_tSim.Get(), 10000), 1);
    /* Both players see the end of the stream and stop. */
    EXPECT_EQ(VXQ_F_TESTPROC_Wait(tTcp.Get(), 5000), 1) << GwOutput();
    EXPECT_EQ(VXQ_F_TESTPROC_Wait(tUdp.Get(), 5000), 1) << GwOutput();
    std::string sOut;
    auto tStart = std::chrono::steady_clock::now();
    EXPECT_NE(Probe("sim/ch0", &sOut), 0);
    EXPECT_TRUE(Has(sOut, "method DESCRIBE failed: 503 Service Unavailable")) << sOut;
    EXPECT_LT(std::chrono::steady_clock::now() - tStart, std::chrono::seconds(2));
    ASSERT_TRUE(StartSim()) << SimOutput();
    EXPECT_TRUE(WaitUntil([&] { return Probe("sim/ch0", &sOut) == 0; }, 30000)) << sOut << GwOutput();
    EXPECT_TRUE(Has(GwOutput(),
                    "device sim (127.0.0.1:" + std::to_string(m_usSimPort) + "): dropped the connection"));
}
