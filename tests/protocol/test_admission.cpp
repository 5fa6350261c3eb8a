/* Admission rules against hostile clients: idle unknown connections, held login
 * answers after repeated failures, connections quoting unknown login ids. The
 * connection table, framing and dispatcher run for real on an offline instance
 * on the manual clock; answers are captured. */
#include <gtest/gtest.h>

#include "core/conn.h"
#include "protocol/admission.h"
#include "wire/head.h"
#include "wire/result.h"
#include "support/offline_stream.h"
#include "support/test_client.h"
#include "support/test_clock.h"

#include <string.h>

#include <map>
#include <string>

namespace {

int AdmissionLookupUser(void *in_pUser, const char *in_sName, _VXQ_S_DPS_USER_INFO *out_pUserInfo)
{
    (void)in_pUser;
    if (strcmp(in_sName, "admin") != 0)
        return 0;
    strcpy(out_pUserInfo->sUserName, "admin");
    strcpy(out_pUserInfo->sPassword, "secret");
    out_pUserInfo->dwPopMask = 0xFF;
    return 1;
}

class Admission : public ::testing::Test {
protected:
    void SetUp() override
    {
        VXQ_F_OFFLINE_InstallCapture();
        m_pSrv = VXQ_F_OFFLINE_NewInstance();
        ASSERT_NE(m_pSrv, nullptr);
        m_pSrv->fnQueryUserCallback = AdmissionLookupUser;
    }
    void TearDown() override
    {
        VXQ_F_DPS_MC_NetPortData_ReleaseAllData(m_pSrv);
        VXQ_F_OFFLINE_FreeInstance(m_pSrv);
        VXQ_F_OFFLINE_RemoveCapture();
    }
    _VXQ_S_DPS_NET_PORT_DATA *Conn(uint32_t in_dwPortId)
    {
        return VXQ_F_DPS_MC_NetPortData_QueryByPortId(m_pSrv, in_dwPortId);
    }
    /* Messages sent to the connection since the last call, oldest first. */
    std::vector<std::vector<uint8_t>> Take(uint32_t in_dwPortId)
    {
        std::vector<std::vector<uint8_t>> tOut;
        for (const _VXQ_S_OFFLINE_SENT &tSent : VXQ_F_OFFLINE_Sent()) {
            if (tSent.pConn != nullptr && VXQ_F_TESTCLI_GetU32(tSent.tMsg, 0) == 0xFFFFEEEEu &&
                m_tOwner.count(tSent.pConn) && m_tOwner[tSent.pConn] == in_dwPortId)
                tOut.push_back(tSent.tMsg);
        }
        return tOut;
    }
    void Connect(uint32_t in_dwPortId, const char *in_sPeer = "127.0.0.1")
    {
        VXQ_F_OFFLINE_StreamConnect(m_pSrv, in_dwPortId, in_sPeer);
        ASSERT_NE(Conn(in_dwPortId), nullptr);
        m_tOwner[Conn(in_dwPortId)] = in_dwPortId;
    }
    std::string Token(uint32_t in_dwPortId)
    {
        VXQ_F_OFFLINE_Sent().clear();
        VXQ_F_OFFLINE_StreamData(m_pSrv, in_dwPortId, VXQ_F_TESTCLI_BuildZeroMsg(P1_VER_CONSULT_GET_TOKEN, 1, 89));
        std::vector<std::vector<uint8_t>> tAnswers = Take(in_dwPortId);
        if (tAnswers.size() != 1)
            return std::string();
        return std::string((const char *)tAnswers[0].data() + 48);
    }
    std::vector<uint8_t> LoginMsg(const std::string &in_sToken, const char *in_sPassword, uint32_t in_dwTransNo)
    {
        return VXQ_F_TESTCLI_BuildLogin(in_dwTransNo, "admin", VXQ_F_TESTCLI_LoginDigest(in_sToken, in_sPassword));
    }
    void Tick() { VXQ_F_DPS_MC_ADMIT_DoSecondDuty(m_pSrv); }

    _VXQ_S_DPS_MCSRV_DATA *m_pSrv = nullptr;
    std::map<_VXQ_S_DPS_NET_PORT_DATA *, uint32_t> m_tOwner;
};

TEST_F(Admission, ConnectionOfUnknownTypeIsDroppedAfter30SecondsTypedConnectionsStay)
{
    TestClock tClock;
    Connect(1);
    Connect(2);
    ASSERT_FALSE(Token(2).empty());
    /* Heartbeats keep a connection alive for the heartbeat rule, not for this one. */
    tClock.AdvanceSec(29);
    VXQ_F_OFFLINE_StreamData(m_pSrv, 1, VXQ_F_TESTCLI_BuildZeroMsg(P0_HEARTBEAT, 1, 0));
    Tick();
    EXPECT_NE(Conn(1), nullptr) << "29 s";
    tClock.AdvanceSec(1);
    Tick();
    EXPECT_EQ(Conn(1), nullptr) << "30 s";
    EXPECT_NE(Conn(2), nullptr) << "a command connection keeps its own rules";
    tClock.AdvanceSec(600);
    Tick();
    EXPECT_NE(Conn(2), nullptr);
}

TEST_F(Admission, AfterTheThirdFailedLoginWithinAMinuteEachAnswerIsHeldOneMoreSecond)
{
    TestClock tClock;
    Connect(1);
    std::string sToken = Token(1);
    ASSERT_FALSE(sToken.empty());
    for (uint32_t i = 1; i <= 3; i++) {
        VXQ_F_OFFLINE_Sent().clear();
        VXQ_F_OFFLINE_StreamData(m_pSrv, 1, LoginMsg(sToken, "wrong", i));
        ASSERT_EQ(Take(1).size(), 1u) << "failure " << i << " is answered at once";
    }
    /* The fourth waits 1 s; a heartbeat behind it waits with it and comes after it. */
    VXQ_F_OFFLINE_Sent().clear();
    std::vector<uint8_t> tBytes = LoginMsg(sToken, "wrong", 4);
    std::vector<uint8_t> tBeat = VXQ_F_TESTCLI_BuildZeroMsg(P0_HEARTBEAT, 44, 0);
    tBytes.insert(tBytes.end(), tBeat.begin(), tBeat.end());
    VXQ_F_OFFLINE_StreamData(m_pSrv, 1, tBytes);
    Tick();
    EXPECT_TRUE(Take(1).empty()) << "held, and the control thread did not sleep";
    tClock.AdvanceSec(1);
    Tick();
    std::vector<std::vector<uint8_t>> tAnswers = Take(1);
    ASSERT_EQ(tAnswers.size(), 2u);
    EXPECT_EQ(VXQ_F_TESTCLI_GetU32(tAnswers[0], 12), 4u);
    EXPECT_EQ(tAnswers[0][11], VXQ_DPS_UMSP_RESULT_PASSWORD_ERROR);
    EXPECT_EQ(VXQ_F_TESTCLI_GetU16(tAnswers[1], 8), P0_HEARTBEAT);

    /* The fifth waits 2 s, the sixth 3 s even with the right password: timing tells nothing. */
    VXQ_F_OFFLINE_Sent().clear();
    VXQ_F_OFFLINE_StreamData(m_pSrv, 1, LoginMsg(sToken, "wrong", 5));
    tClock.AdvanceSec(1);
    Tick();
    EXPECT_TRUE(Take(1).empty()) << "1 s of 2";
    tClock.AdvanceSec(1);
    Tick();
    ASSERT_EQ(Take(1).size(), 1u);
    VXQ_F_OFFLINE_Sent().clear();
    VXQ_F_OFFLINE_StreamData(m_pSrv, 1, LoginMsg(sToken, "secret", 6));
    tClock.AdvanceSec(2);
    Tick();
    EXPECT_TRUE(Take(1).empty());
    tClock.AdvanceSec(1);
    Tick();
    tAnswers = Take(1);
    ASSERT_EQ(tAnswers.size(), 1u);
    EXPECT_EQ(tAnswers[0][11], 0);

    /* Success forgot the address: the next failures are answered at once again. */
    VXQ_F_OFFLINE_Sent().clear();
    VXQ_F_OFFLINE_StreamData(m_pSrv, 1, LoginMsg(sToken, "wrong", 7));
    EXPECT_EQ(Take(1).size(), 1u);
}

TEST_F(Admission, FailuresCountPerAddressAndOnlyWithinTheirMinute)
{
    TestClock tClock;
    Connect(1, "10.0.0.1");
    Connect(2, "10.0.0.2");
    std::string sToken1 = Token(1);
    std::string sToken2 = Token(2);
    for (uint32_t i = 1; i <= 3; i++)
        VXQ_F_OFFLINE_StreamData(m_pSrv, 1, LoginMsg(sToken1, "wrong", i));
    EXPECT_EQ(VXQ_F_DPS_MC_ADMIT_LoginDelaySec(m_pSrv, "10.0.0.1"), 1);
    VXQ_F_OFFLINE_Sent().clear();
    VXQ_F_OFFLINE_StreamData(m_pSrv, 2, LoginMsg(sToken2, "wrong", 1));
    EXPECT_EQ(Take(2).size(), 1u) << "another address is not slowed";
    tClock.AdvanceSec(60);
    EXPECT_EQ(VXQ_F_DPS_MC_ADMIT_LoginDelaySec(m_pSrv, "10.0.0.1"), 0) << "the minute has passed";
    VXQ_F_OFFLINE_Sent().clear();
    VXQ_F_OFFLINE_StreamData(m_pSrv, 1, LoginMsg(sToken1, "wrong", 9));
    EXPECT_EQ(Take(1).size(), 1u);

    /* The hold grows by one second per failure and stops at 30 s. */
    for (int i = 0; i < 40; i++)
        VXQ_F_DPS_MC_ADMIT_NoteLogin(m_pSrv, "10.0.0.3", 1);
    EXPECT_EQ(VXQ_F_DPS_MC_ADMIT_LoginDelaySec(m_pSrv, "10.0.0.3"), 30);
}

TEST_F(Admission, HeldAnswerIsFreedWithItsConnection)
{
    TestClock tClock;
    Connect(1);
    std::string sToken = Token(1);
    for (uint32_t i = 1; i <= 4; i++)
        VXQ_F_OFFLINE_StreamData(m_pSrv, 1, LoginMsg(sToken, "wrong", i));
    ASSERT_NE(Conn(1), nullptr);
    EXPECT_NE(Conn(1)->pDelayRespBuf, nullptr);
    /* The sanitizer build reports the copy if the disconnect leaked it. */
    VXQ_F_OFFLINE_StreamDisconnect(m_pSrv, 1);
    EXPECT_EQ(Conn(1), nullptr);
    tClock.AdvanceSec(5);
    Tick();
}

TEST_F(Admission, ConnectionQuotingAnUnknownLoginIdThreeTimesIsDropped)
{
    TestClock tClock;
    Connect(1);
    std::string sToken = Token(1);
    VXQ_F_OFFLINE_Sent().clear();
    VXQ_F_OFFLINE_StreamData(m_pSrv, 1, LoginMsg(sToken, "secret", 1));
    ASSERT_NE(Conn(1), nullptr);
    uint32_t dwLoginId = Conn(1)->dwLoginId;
    ASSERT_NE(dwLoginId, 0u);

    Connect(2);
    struct {
        uint16_t usFuncId;
        size_t iBodyLen;
    } tQuoting[] = {{P5_GUARD, 4}, {P2_REALPLAY_OPEN, 8}, {P9_GET_CONFIG, 12}};
    /* A known login id is never counted, however often quoted. */
    for (int i = 0; i < 5; i++) {
        std::vector<uint8_t> tMsg = VXQ_F_TESTCLI_BuildZeroMsg(P5_GUARD, 100 + i, 4);
        VXQ_F_TESTCLI_PutU32(tMsg, 20, dwLoginId);
        VXQ_F_OFFLINE_StreamData(m_pSrv, 2, tMsg);
    }
    ASSERT_NE(Conn(2), nullptr);
    EXPECT_EQ(Conn(2)->iUnknownLoginIdNum, 0);
    /* A request that quotes no login id is not counted either. */
    VXQ_F_OFFLINE_StreamData(m_pSrv, 2, VXQ_F_TESTCLI_BuildZeroMsg(P9_QUERY_NET_INFO, 1, 4));
    EXPECT_EQ(Conn(2)->iUnknownLoginIdNum, 0);

    for (int i = 0; i < 3; i++) {
        VXQ_F_OFFLINE_Sent().clear();
        std::vector<uint8_t> tMsg = VXQ_F_TESTCLI_BuildZeroMsg(tQuoting[i].usFuncId, 200 + i, tQuoting[i].iBodyLen);
        VXQ_F_TESTCLI_PutU32(tMsg, 20, dwLoginId ^ 0x00010000u);
        VXQ_F_OFFLINE_StreamData(m_pSrv, 2, tMsg);
        if (i < 2) {
            ASSERT_NE(Conn(2), nullptr) << "guess " << i + 1;
            EXPECT_EQ(Take(2).size(), 1u) << "guess " << i + 1 << " is answered";
        }
    }
    EXPECT_EQ(Conn(2), nullptr) << "the third guess drops the connection";
    EXPECT_TRUE(Take(2).empty()) << "and is not answered";
    EXPECT_NE(Conn(1), nullptr) << "the session it guessed at is untouched";
}


/* A guesser that reconnects after every drop: after nine unknown quotes from
 * its address within a minute, each new connection of that address that is
 * not logged in itself is dropped at its first quote, before the lookup, so
 * even a right guess is not told apart; logged-in connections and other
 * addresses go on as before, and the next minute starts afresh. */
TEST_F(Admission, AnAddressQuotingNineUnknownLoginIdsInAMinuteGuessesNoMoreThatMinute)
{
    TestClock tClock;
    Connect(1, "10.0.0.1");
    std::string sToken = Token(1);
    VXQ_F_OFFLINE_StreamData(m_pSrv, 1, LoginMsg(sToken, "secret", 1));
    ASSERT_NE(Conn(1), nullptr);
    uint32_t dwLiveId = Conn(1)->dwLoginId;
    ASSERT_NE(dwLiveId, 0u);
    auto Quote = [&](uint32_t in_dwPortId, uint32_t in_dwLoginId) {
        VXQ_F_OFFLINE_Sent().clear();
        std::vector<uint8_t> tMsg = VXQ_F_TESTCLI_BuildZeroMsg(P9_GET_CONFIG, 300, 12);
        VXQ_F_TESTCLI_PutU32(tMsg, 20, in_dwLoginId);
        VXQ_F_OFFLINE_StreamData(m_pSrv, in_dwPortId, tMsg);
        return Take(in_dwPortId).size();
    };
    /* Three guessing connections of 10.0.0.9, three wrong guesses each. */
    uint32_t dwPort = 10;
    for (int iConn = 0; iConn < 3; iConn++, dwPort++) {
        Connect(dwPort, "10.0.0.9");
        for (int i = 0; i < 3; i++)
            Quote(dwPort, dwLiveId ^ (uint32_t)(0x00010000u * (iConn * 3 + i + 1)));
        EXPECT_EQ(Conn(dwPort), nullptr) << "connection " << iConn << " dropped at its third guess";
    }
    /* The fourth connection quotes the live id itself: dropped unanswered. */
    Connect(dwPort, "10.0.0.9");
    EXPECT_EQ(Quote(dwPort, dwLiveId), 0u);
    EXPECT_EQ(Conn(dwPort), nullptr) << "held-off address: no lookup, no answer";
    dwPort++;
    /* Another address quoting the live id is served as before. */
    Connect(dwPort, "10.0.0.2");
    Quote(dwPort, dwLiveId);
    ASSERT_NE(Conn(dwPort), nullptr);
    EXPECT_EQ(Conn(dwPort)->iUnknownLoginIdNum, 0) << "the live id was looked up and found";
    dwPort++;
    /* A logged-in connection of the held-off address still quotes (its
     * request goes on to the host, so no answer comes yet). */
    Connect(dwPort, "10.0.0.9");
    std::string sOwnToken = Token(dwPort);
    VXQ_F_OFFLINE_StreamData(m_pSrv, dwPort, LoginMsg(sOwnToken, "secret", 2));
    ASSERT_NE(Conn(dwPort), nullptr);
    ASSERT_NE(Conn(dwPort)->dwLoginId, 0u);
    Quote(dwPort, dwLiveId);
    ASSERT_NE(Conn(dwPort), nullptr);
    EXPECT_EQ(Conn(dwPort)->iUnknownLoginIdNum, 0) << "the live id was looked up and found";
    dwPort++;
    /* 59 s after the first guess the hold lasts; at 60 s a new minute begins. */
    tClock.AdvanceSec(59);
    Connect(dwPort, "10.0.0.9");
    EXPECT_EQ(Quote(dwPort, dwLiveId), 0u);
    EXPECT_EQ(Conn(dwPort), nullptr);
    dwPort++;
    tClock.AdvanceSec(1);
    Connect(dwPort, "10.0.0.9");
    Quote(dwPort, dwLiveId);
    ASSERT_NE(Conn(dwPort), nullptr);
    EXPECT_EQ(Conn(dwPort)->iUnknownLoginIdNum, 0) << "the live id was looked up and found";
    EXPECT_NE(Conn(1), nullptr) << "the session guessed at is untouched";
}

} // namespace
