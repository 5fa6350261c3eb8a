/*
 * test_dpssim.cpp - dps-sim driven as a separate process, the way a developer
 * or a client engineer uses it: command-line errors, start and clean stop,
 * upgrade upload and talk audio byte for byte up to their limits, record
 * seeking. Users that survive a restart: SimConfig's write-back and reload
 * and the client's users rows.
 */
#include <gtest/gtest.h>

#include "h264src.h"
#include "support/child_process.h"
#include "support/loopback.h"
#include "support/temp_dir.h"
#include "support/test_client.h"
#include "support/wait_until.h"

#include <signal.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <deque>

#include <string>
#include <vector>

namespace
{

const std::string s_sSim = VXQ_SIM_EXE;
const std::string s_sClip = std::string(VXQ_SIM_MEDIA_DIR) + "/clip.h264";

/* A configuration for one test: two channels, the clip on channel 0 (with
 * audio), two users, every data folder inside the test's own folder. */
std::string SimIni(unsigned short in_usPort, const std::string &in_sExtra = "")
{
    return "[service]\nport = " + std::to_string(in_usPort) +
           "\nlog_dir = log\n[device]\nvideo_channels = 2\naudio_channels = 1\n"
           "[user0]\nname = admin\npassword = admin\nglobal_rights = 0xFF\n"
           "[user1]\nname = viewer\npassword = viewer\nglobal_rights = 0x00\nchannel_rights = 0x09,0x09\n"
           "[channel0]\nstream0_source = " + s_sClip +
           "\nstream0_fps = 25\naudio = 1\n[channel1]\nstream0_fps = 10\n"
           "[records]\ndir = data/records\nseed_from_clip = 2\n[talk]\ndir = data/talk\n[config]\ndir = data/config\n"
           "[upgrade]\ndir = data/upgrade\n" + in_sExtra;
}

/* A simulator started on a free port in its own folder, stopped at the end. */
class SimFixture : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        m_usPort = VXQ_F_TESTPROC_FreeTcpPort();
        ASSERT_NE(m_usPort, 0);
        ASSERT_TRUE(WriteFile(m_tDir.File("sim.ini"), SimIni(m_usPort)));
    }

    /* Starts dps-sim and waits until it accepts a connection. */
    bool Start()
    {
        if (!VXQ_F_TESTPROC_Start(m_tProc.Get(), s_sSim, {"--config", m_tDir.File("sim.ini")},
                                  m_tDir.File("out.txt")))
            return false;
        return WaitUntil(
                   [&] {
                       _VXQ_S_TESTCLI_DATA tCli;
                       VXQ_F_TESTCLI_Init(&tCli);
                       int bUp = VXQ_F_TESTCLI_Connect(&tCli, m_usPort, 100);
                       VXQ_F_TESTCLI_Close(&tCli);
                       return bUp != 0 || m_tProc.Get()->iPid == 0;
                   },
                   10000) &&
               m_tProc.Get()->iPid != 0;
    }

    /* SIGTERM and the exit status (-1 when it did not end in time). */
    int Stop()
    {
        VXQ_F_TESTPROC_Signal(m_tProc.Get(), SIGTERM);
        if (!VXQ_F_TESTPROC_Wait(m_tProc.Get(), 10000))
            return -1;
        return m_tProc.Get()->iExitStatus;
    }

    std::string Output()
    {
        return VXQ_F_TESTPROC_Output(m_tProc.Get());
    }

    void TearDown() override
    {
        for (_VXQ_S_TESTCLI_DATA &tCli : m_tClients)
            VXQ_F_TESTCLI_Close(&tCli);
        VXQ_F_TESTCLI_Close(&m_tCmd);
    }

    /* Connects a client and logs it in. */
    bool Login(_VXQ_S_TESTCLI_DATA *out_ptCli, const std::string &in_sUser, const std::string &in_sPassword,
               uint32_t *out_pdwLoginId)
    {
        VXQ_F_TESTCLI_Init(out_ptCli);
        return VXQ_F_TESTCLI_Connect(out_ptCli, m_usPort) &&
               VXQ_F_TESTCLI_TokenAndLogin(out_ptCli, in_sUser, in_sPassword, out_pdwLoginId);
    }

    /* Starts dps-sim and logs m_tCmd in as admin (m_dwLoginId). */
    bool StartAsAdmin()
    {
        return Start() && Login(&m_tCmd, "admin", "admin", &m_dwLoginId);
    }

    /* A further connection, closed at tear-down; null when it cannot connect. */
    _VXQ_S_TESTCLI_DATA *Connect()
    {
        _VXQ_S_TESTCLI_DATA *pCli = &m_tClients.emplace_back();
        VXQ_F_TESTCLI_Init(pCli);
        return VXQ_F_TESTCLI_Connect(pCli, m_usPort) ? pCli : nullptr;
    }

    /* A request with a zeroed body of in_iBodyLen bytes that starts with the admin's login id. */
    std::vector<uint8_t> AdminMsg(uint16_t in_usFuncId, uint32_t in_dwTransNo, size_t in_iBodyLen)
    {
        std::vector<uint8_t> tMsg = VXQ_F_TESTCLI_BuildZeroMsg(in_usFuncId, in_dwTransNo, in_iBodyLen);
        VXQ_F_TESTCLI_PutU32(tMsg, VXQ_TESTCLI_HEAD_LEN, m_dwLoginId);
        return tMsg;
    }

    TempDir m_tDir;
    TestChildProcess m_tProc;
    unsigned short m_usPort = 0;
    _VXQ_S_TESTCLI_DATA m_tCmd = {-1, 0, {}, 0, 0, 0, {}, 0, 0, 0, 0};
    uint32_t m_dwLoginId = 0;
    std::deque<_VXQ_S_TESTCLI_DATA> m_tClients;
};

const size_t H = VXQ_TESTCLI_HEAD_LEN; /* message offset of body offset 0 */

/* Sends a request and reads its answer (skipping notices), checking the function id. */
bool Ask(_VXQ_S_TESTCLI_DATA *inout_ptCli, const std::vector<uint8_t> &in_tMsg,
         std::vector<uint8_t> &out_tAnswer, int in_iTimeoutMs = 5000)
{
    if (!VXQ_F_TESTCLI_SendMsg(inout_ptCli, in_tMsg))
        return false;
    uint16_t usFunc = VXQ_F_TESTCLI_GetU16(in_tMsg, 8);
    for (int i = 0; i < 50; i++) {
        if (!VXQ_F_TESTCLI_ReadMsg(inout_ptCli, out_tAnswer, in_iTimeoutMs))
            return false;
        _VXQ_S_TESTCLI_HEAD tHead;
        if (VXQ_F_TESTCLI_ParseHead(out_tAnswer, &tHead) && tHead.usMsgFuncId == usFunc &&
            tHead.ucPacketType == 1)
            return true;
    }
    return false;
}

uint8_t ResultOf(const std::vector<uint8_t> &in_tAnswer)
{
    return in_tAnswer.size() >= VXQ_TESTCLI_HEAD_LEN ? in_tAnswer[11] : 0xFF;
}

} // namespace

TEST(DpsSim, BadCommandLineValuesExitWithStatus2AndOneLineSayingWhy)
{
    TempDir tDir;
    unsigned short usPort = VXQ_F_TESTPROC_FreeTcpPort();
    ASSERT_TRUE(WriteFile(tDir.File("sim.ini"), SimIni(usPort)));
    std::string sBad = SimIni(usPort);
    sBad.replace(sBad.find("video_channels = 2"), 18, "video_channels = many");
    ASSERT_TRUE(WriteFile(tDir.File("bad.ini"), sBad));
    /* A listener that holds a port, so the simulator finds it in use. */
    uint16_t usBusy = 0;
    int iBusy = LoopbackListen(&usBusy);
    ASSERT_GE(iBusy, 0);
    std::string sBusy = std::to_string(usBusy);
    std::string sIni = tDir.File("sim.ini");
    struct {
        std::vector<std::string> tArgs;
        std::string sWhat; /* a piece of the one line */
    } tCases[] = {
        {{"--config", sIni, "--port", "0"}, "bad --port value '0'"},
        {{"--config", sIni, "--port", "65536"}, "bad --port value '65536'"},
        {{"--config", sIni, "--port", "12x"}, "bad --port value '12x'"},
        {{"--config", sIni, "--log-port", "-1"}, "bad --log-port value '-1'"},
        {{"--config", sIni, "--port"}, "--port needs a value"},
        {{"--config", sIni, "--frobnicate"}, "unknown option '--frobnicate'"},
        {{"--config", tDir.File("missing.ini")}, "cannot read the configuration file"},
        {{"--config", tDir.File("bad.ini")}, "video_channels"},
        {{"--config", sIni, "--port", sBusy}, "TCP port " + sBusy + " is already in use"},
    };
    for (const auto &tCase : tCases) {
        std::string sOut;
        int iStatus = VXQ_F_TESTPROC_Run(s_sSim, tCase.tArgs, tDir.File("out.txt"), &sOut);
        SCOPED_TRACE(tCase.sWhat);
        EXPECT_EQ(iStatus, 2);
        EXPECT_EQ(sOut.rfind("dps-sim: ", 0), 0u) << sOut;
        EXPECT_NE(sOut.find(tCase.sWhat), std::string::npos) << sOut;
        EXPECT_EQ(std::count(sOut.begin(), sOut.end(), '\n'), 1) << sOut;
    }
    close(iBusy);
    std::string sHelp;
    EXPECT_EQ(VXQ_F_TESTPROC_Run(s_sSim, {"--help"}, tDir.File("out.txt"), &sHelp), 0);
    EXPECT_NE(
        sHelp.find("usage: dps-sim [--config FILE] [--port N] [--log-dir DIR] [--log-port N] [--verbose]"),
        std::string::npos);
}

TEST_F(SimFixture, StartsServesAndStopsCleanlyOnSigterm)
{
    /* Logins of the configured users (accepted and refused) are the client's
     * end-to-end rows; here the start, the log folder and the stop. */
    ASSERT_TRUE(StartAsAdmin()) << Output();
    EXPECT_NE(m_dwLoginId, 0u);
    EXPECT_EQ(Stop(), 0) << Output();
    std::string sOut = Output();
    EXPECT_NE(sOut.find("dps-sim: serving 'dps-sim' on TCP port " + std::to_string(m_usPort)),
              std::string::npos);
    EXPECT_NE(sOut.find("dps-sim: stopping (SIGTERM)"), std::string::npos) << sOut;
    /* The daily log file went to the configured folder. */
    EXPECT_NE(ListDir(m_tDir.File("log")).find("Log"), std::string::npos);
}

namespace
{

/* Writes a wire time (u16 year, u16 month, day, hour, minute, second, 4 zero bytes). */
void PutTime(std::vector<uint8_t> &inout_tMsg, size_t in_iOffset, int in_iYear, int in_iMonth, int in_iDay)
{
    VXQ_F_TESTCLI_PutU16(inout_tMsg, in_iOffset, (uint16_t)in_iYear);
    VXQ_F_TESTCLI_PutU16(inout_tMsg, in_iOffset + 2, (uint16_t)in_iMonth);
    inout_tMsg[in_iOffset + 4] = (uint8_t)in_iDay;
}

} // namespace

/* The configuration of a test with a line added after the one given. */
std::string SimIniWith(unsigned short in_usPort, const std::string &in_sAfter, const std::string &in_sLine)
{
    std::string sIni = SimIni(in_usPort);
    sIni.insert(sIni.find(in_sAfter) + in_sAfter.size(), in_sLine);
    return sIni;
}

TEST_F(SimFixture, UploadedUpgradeIsOnDiskByteForByteWithItsPositionAndProgressUpToItsLimit)
{
    ASSERT_TRUE(WriteFile(m_tDir.File("sim.ini"), SimIniWith(m_usPort, "dir = data/upgrade\n", "max_bytes = 10000\n")));
    ASSERT_TRUE(StartAsAdmin()) << Output();
    std::string sImage;
    for (int i = 0; i < 10000; i++)
        sImage.push_back((char)((i * 7919 + i / 256) & 0xFF));
    std::vector<uint8_t> tAnswer;
    std::vector<uint8_t> tRequ = AdminMsg(0x0B22, 21, 16);
    VXQ_F_TESTCLI_PutU32(tRequ, H + 8, (uint32_t)sImage.size());
    ASSERT_TRUE(Ask(&m_tCmd, tRequ, tAnswer));
    ASSERT_EQ(ResultOf(tAnswer), 0);
    struct {
        uint16_t usFunc;
        size_t iSent; /* bytes sent before the query */
        uint32_t dwExpected;
    } tQueries[] = {{0x0B24, 0, 0},
                    {0x0B24, 3000, 3000},
                    {0x0B23, 6000, 60},
                    {0x0B24, 10000, 10000},
                    {0x0B23, 10000, 100}};
    size_t iSent = 0;
    for (const auto &tQuery : tQueries) {
        while (iSent < tQuery.iSent) {
            size_t iPiece = std::min<size_t>(3000, tQuery.iSent - iSent);
            std::vector<uint8_t> tData = VXQ_F_TESTCLI_BuildMsg(0x0B25, 0, 30, nullptr, 8);
            VXQ_F_TESTCLI_PutU32(tData, H + 4, (uint32_t)iPiece);
            tData.insert(tData.end(), sImage.begin() + (long)iSent, sImage.begin() + (long)(iSent + iPiece));
            VXQ_F_TESTCLI_PutU32(tData, 4, (uint32_t)tData.size());
            ASSERT_TRUE(Ask(&m_tCmd, tData, tAnswer));
            ASSERT_EQ(ResultOf(tAnswer), 0);
            EXPECT_EQ(tAnswer.size(), 28u);
            iSent += iPiece;
        }
        std::vector<uint8_t> tAsk = VXQ_F_TESTCLI_BuildZeroMsg(tQuery.usFunc, 40, 8);
        ASSERT_TRUE(Ask(&m_tCmd, tAsk, tAnswer));
        ASSERT_EQ(ResultOf(tAnswer), 0);
        EXPECT_EQ(VXQ_F_TESTCLI_GetU32(tAnswer, H + 4), tQuery.dwExpected)
            << "after " << tQuery.iSent << " bytes";
    }
    /* One byte more than the limit is refused and not written. */
    std::vector<uint8_t> tMore = VXQ_F_TESTCLI_BuildMsg(0x0B25, 0, 31, nullptr, 8);
    VXQ_F_TESTCLI_PutU32(tMore, H + 4, 1);
    tMore.push_back(0x5A);
    VXQ_F_TESTCLI_PutU32(tMore, 4, (uint32_t)tMore.size());
    ASSERT_TRUE(Ask(&m_tCmd, tMore, tAnswer));
    EXPECT_NE(ResultOf(tAnswer), 0);
    EXPECT_TRUE(ReadFile(m_tDir.File("data/upgrade/upgrade.bin")) == sImage);
    EXPECT_EQ(Stop(), 0) << Output();
}

TEST_F(SimFixture, TalkAudioIsAppendedToOneFilePerTalkOnChannelsWithAudioUpToItsLimit)
{
    ASSERT_TRUE(WriteFile(m_tDir.File("sim.ini"), SimIniWith(m_usPort, "dir = data/talk\n", "max_bytes = 480\n")));
    ASSERT_TRUE(StartAsAdmin()) << Output();
    std::vector<uint8_t> tAnswer;
    /* Channel 1 has no audio: the host refuses the talk. */
    _VXQ_S_TESTCLI_DATA *pNoAudio = Connect();
    ASSERT_NE(pNoAudio, nullptr);
    std::vector<uint8_t> tStart = AdminMsg(0x0401, 55, 8);
    VXQ_F_TESTCLI_PutU32(tStart, H + 4, 1);
    ASSERT_TRUE(VXQ_F_TESTCLI_SendMsg(pNoAudio, tStart));
    if (VXQ_F_TESTCLI_ReadMsg(pNoAudio, tAnswer, 5000)) {
        EXPECT_NE(ResultOf(tAnswer), 0);
    }
    EXPECT_TRUE(VXQ_F_TESTCLI_WaitPeerClosed(pNoAudio, 5000)); /* a refused talk drops its connection */
    EXPECT_TRUE(WaitUntil(
        [&] { return Output().find("talk on channel 1 refused (result 24)") != std::string::npos; }));

    _VXQ_S_TESTCLI_DATA *pTalk = Connect();
    ASSERT_NE(pTalk, nullptr);
    VXQ_F_TESTCLI_PutU32(tStart, H + 4, 0);
    ASSERT_TRUE(Ask(pTalk, tStart, tAnswer));
    ASSERT_EQ(ResultOf(tAnswer), 0);
    ASSERT_EQ(tAnswer.size(), 44u);
    EXPECT_EQ(VXQ_F_TESTCLI_GetU32(tAnswer, 12), 55u);        /* the client's own number comes back */
    EXPECT_EQ(VXQ_F_TESTCLI_GetU32(tAnswer, H + 12), 64000u); /* the device's audio format */
    EXPECT_EQ(VXQ_F_TESTCLI_GetU32(tAnswer, H + 16), 8000u);
    /* Three frames fill the 480 bytes the file may hold; the fourth ends the talk. */
    std::string sAudio;
    for (int iFrame = 0; iFrame < 4; iFrame++) {
        std::vector<uint8_t> tFrame = VXQ_F_TESTCLI_BuildZeroMsg(0x0E02, 0, 12);
        for (int i = 0; i < 160; i++)
            tFrame.push_back((uint8_t)(iFrame * 160 + i));
        VXQ_F_TESTCLI_PutU32(tFrame, 4, (uint32_t)tFrame.size());
        if (iFrame < 3)
            sAudio.append((const char *)&tFrame[H + 12], 160);
        ASSERT_TRUE(VXQ_F_TESTCLI_SendMsg(pTalk, tFrame));
    }
    std::string sFile;
    ASSERT_TRUE(WaitUntil([&] {
        std::string sList = ListDir(m_tDir.File("data/talk"));
        if (sList.rfind("talk_ch00_", 0) != 0)
            return false;
        sFile = sList.substr(0, sList.find_first_of("\n "));
        return ReadFile(m_tDir.File("data/talk/" + sFile)).size() >= sAudio.size();
    }));
    EXPECT_TRUE(WaitUntil([&] {
        return Output().find("talk on channel 0 ended (its file reached 480 bytes): 480 bytes") != std::string::npos;
    })) << Output();
    EXPECT_TRUE(ReadFile(m_tDir.File("data/talk/" + sFile)) == sAudio);
    std::vector<uint8_t> tStop = VXQ_F_TESTCLI_BuildZeroMsg(0x0402, 56, 8);
    VXQ_F_TESTCLI_PutU32(tStop, H + 4, 0);
    ASSERT_TRUE(Ask(&m_tCmd, tStop, tAnswer));
    EXPECT_EQ(ResultOf(tAnswer), 0);
    EXPECT_EQ(Stop(), 0) << Output();
}

TEST_F(SimFixture, RecordingOpenedByTimeSeeksAndSendsIFramesOnlyWhenAsked)
{
    _VXQ_S_SIMH264_CLIP tClip;
    ASSERT_TRUE(VXQ_F_SIMH264_LoadClip(s_sClip.c_str(), &tClip));
    ASSERT_TRUE(StartAsAdmin()) << Output();
    std::vector<uint8_t> tAnswer;
    _VXQ_S_TESTCLI_DATA *pDown = Connect();
    ASSERT_NE(pDown, nullptr);
    std::vector<uint8_t> tOpen = AdminMsg(0x0318, 80, 288);
    /* A start long before the recording (its distance overflows 32 bits) opens at its start. */
    PutTime(tOpen, H + 40, 1902, 1, 1);
    PutTime(tOpen, H + 52, 2099, 12, 31);
    ASSERT_TRUE(Ask(pDown, tOpen, tAnswer));
    ASSERT_EQ(ResultOf(tAnswer), 0);
    uint32_t dwReadId = VXQ_F_TESTCLI_GetU32(tAnswer, H + 64);
    ASSERT_NE(dwReadId, 0u);
    EXPECT_EQ(VXQ_F_TESTCLI_GetU32(tAnswer, H + 68 + 188), 25u); /* frame rate in the file information */
    EXPECT_EQ(VXQ_F_TESTCLI_GetU16(tAnswer, H + 68 + 196), 320u);

    auto Op = [&](uint16_t in_usFunc, uint32_t in_dwArg, size_t in_iBodyLen) {
        std::vector<uint8_t> tMsg = AdminMsg(in_usFunc, 81, in_iBodyLen);
        VXQ_F_TESTCLI_PutU32(tMsg, H + 4, dwReadId);
        if (in_iBodyLen >= 12)
            VXQ_F_TESTCLI_PutU32(tMsg, H + 8, in_dwArg);
        return Ask(pDown, tMsg, tAnswer) && ResultOf(tAnswer) == 0;
    };
    /* Reads one request of up to in_iWanted frames: (frame type, data position) per piece. */
    auto Read = [&](int in_iWanted, std::vector<std::pair<int, uint32_t>> &out_tPieces) {
        out_tPieces.clear();
        std::vector<uint8_t> tGet = VXQ_F_TESTCLI_BuildZeroMsg(0x0313, 82, 44);
        VXQ_F_TESTCLI_PutU32(tGet, H + 4, dwReadId);
        tGet[H + 13] = (uint8_t)in_iWanted;
        if (!VXQ_F_TESTCLI_SendMsg(pDown, tGet))
            return -1;
        int iDataEnd = 0;
        do {
            if (!VXQ_F_TESTCLI_ReadMsg(pDown, tAnswer, 5000))
                return -1;
            out_tPieces.push_back({tAnswer[H + 15] & 0x0F, VXQ_F_TESTCLI_GetU32(tAnswer, H + 20)});
            iDataEnd = (tAnswer[H + 15] >> 4) & 0x03;
        } while (iDataEnd == 0);
        return iDataEnd;
    };
    ASSERT_TRUE(Op(0x0316, 1, 20)); /* I-frames only */
    EXPECT_EQ(VXQ_F_TESTCLI_GetU32(tAnswer, H + 12), 25u);
    EXPECT_EQ(VXQ_F_TESTCLI_GetU32(tAnswer, H + 16), 25u); /* an I-frame every 25 frames */
    std::vector<std::pair<int, uint32_t>> tPieces;
    ASSERT_EQ(Read(10, tPieces), 1); /* the end of the file after the clip's four I-frames */
    ASSERT_EQ(tPieces.size(), 4u);
    for (size_t i = 0; i < tPieces.size(); i++) {
        EXPECT_EQ(tPieces[i].first, 1) << "piece " << i;
        EXPECT_EQ(tPieces[i].second, i == 0 ? 0u : tClip.pAu[i * 25].dwOffset) << "piece " << i;
    }
    /* Seek to second 2 and all frames again: frame 50 (an I-frame), then 51. */
    ASSERT_TRUE(Op(0x0314, 2, 12));
    ASSERT_TRUE(Op(0x0317, 0, 8));
    ASSERT_EQ(Read(2, tPieces), 2);
    ASSERT_EQ(tPieces.size(), 2u);
    EXPECT_EQ(tPieces[0], std::make_pair(1, tClip.pAu[50].dwOffset));
    EXPECT_EQ(tPieces[1], std::make_pair(2, tClip.pAu[51].dwOffset));
    ASSERT_TRUE(Op(0x0315, 0, 16));
    EXPECT_EQ(VXQ_F_TESTCLI_GetU32(tAnswer, H + 8), 25u);
    VXQ_F_SIMH264_FreeClip(&tClip);
    EXPECT_EQ(Stop(), 0) << Output();
}
