/* Hostile clients: the login due 30 s after acceptance, held login answers
 * after repeated failures, and the rationing of login id quotes. The
 * connection table, framing and dispatcher run for real on an offline instance
 * on the manual clock; answers are captured. (Eviction from a full table is
 * held by the socket-level test in tests/core/test_conn.cpp; requests cut
 * short or with hostile fields by the table walk, tests/ops/test_functab.cpp.) */
#include <gtest/gtest.h>

#include "core/conn.h"
#include "protocol/admission.h"
#include "support/offline_stream.h"
#include "support/test_client.h"
#include "support/test_clock.h"
#include "wire/head.h"
#include "wire/result.h"

#include <string.h>

#include <map>
#include <string>

namespace
{

int AdmissionLookupUser(void *in_pUser, const char *in_sName, _VXQ_S_DPS_USER_INFO *out_pUserInfo)
{
    (void)in_pUser;
    if (strcmp(in_sName, "admin") != 0)
        return 0;
    strcpy(out_pUserInfo->sUserName, "admin");
    strcpy(out_pUserInfo->sPassword, "secret");
    out_pUserInfo->dwPopMask = 0xFFFFFFFFu;
    return 1;
}

class Admission : public ::testing::Test
{
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
        VXQ_F_OFFLINE_StreamData(m_pSrv, in_dwPortId,
                                 VXQ_F_TESTCLI_BuildZeroMsg(P1_VER_CONSULT_GET_TOKEN, 1, 89));
        std::vector<std::vector<uint8_t>> tAnswers = Take(in_dwPortId);
        if (tAnswers.size() != 1)
            return std::string();
        return std::string((const char *)tAnswers[0].data() + 48);
    }
    std::vector<uint8_t> LoginMsg(const std::string &in_sToken, const char *in_sPassword,
                                  uint32_t in_dwTransNo)
    {
        return VXQ_F_TESTCLI_BuildLogin(in_dwTransNo, "admin",
                                        VXQ_F_TESTCLI_LoginDigest(in_sToken, in_sPassword));
    }
    /* Quotes the id in an arming request (answered at once when it goes);
     * returns the answers sent now, -1 when the connection is gone. */
    int Quote(uint32_t in_dwPort, uint32_t in_dwLoginId)
    {
        VXQ_F_OFFLINE_Sent().clear();
        std::vector<uint8_t> tMsg = VXQ_F_TESTCLI_BuildZeroMsg(P5_GUARD, 300, 4);
        VXQ_F_TESTCLI_PutU32(tMsg, 20, in_dwLoginId);
        VXQ_F_OFFLINE_StreamData(m_pSrv, in_dwPort, tMsg);
        return Conn(in_dwPort) == nullptr ? -1 : (int)Take(in_dwPort).size();
    }
    void Tick()
    {
        VXQ_F_DPS_MC_ADMIT_DoSecondDuty(m_pSrv);
    }
    /* Lookups of untrusted quotes left now, in thousandths. */
    void SetCredit(int32_t in_iCredit)
    {
        m_pSrv->bQuoteCreditSet = 1;
        m_pSrv->dwQuoteCreditTick = VXQ_F_CLOCK_TickMs();
        m_pSrv->iQuoteCredit = in_iCredit;
    }

    _VXQ_S_DPS_MCSRV_DATA *m_pSrv = nullptr;
    std::map<_VXQ_S_DPS_NET_PORT_DATA *, uint32_t> m_tOwner;
};

TEST_F(Admission, LoginIsDue30SecondsAfterAcceptanceOrLogoutWhateverWasSent)
{
    TestClock tClock;
    struct {
        uint32_t dwPort;
        const char *sDoes;
        int32_t iGoneAt; /* seconds after the start; 0 = stays */
    } const tCases[] = {
        {1, "sends nothing", 30},
        {2, "asks for a token", 30},
        {3, "sends heartbeats", 30},
        {4, "logs in", 0},
        {5, "logs in, logs out at 20 s", 50},
        {6, "joins the session of 4 from its address", 0},
    };
    for (const auto &c : tCases)
        Connect(c.dwPort);
    ASSERT_FALSE(Token(2).empty());
    std::string sToken = Token(4);
    VXQ_F_OFFLINE_StreamData(m_pSrv, 4, LoginMsg(sToken, "secret", 1));
    ASSERT_NE(Conn(4)->dwLoginId, 0u);
    sToken = Token(5);
    VXQ_F_OFFLINE_StreamData(m_pSrv, 5, LoginMsg(sToken, "secret", 1));
    std::vector<uint8_t> tJoin = VXQ_F_TESTCLI_BuildZeroMsg(P5_GUARD, 7, 4);
    VXQ_F_TESTCLI_PutU32(tJoin, 20, Conn(4)->dwLoginId);
    VXQ_F_OFFLINE_StreamData(m_pSrv, 6, tJoin);
    for (int32_t iSec = 1; iSec <= 60; iSec++) {
        tClock.AdvanceSec(1);
        if (iSec % 10 == 0)
            VXQ_F_OFFLINE_StreamData(m_pSrv, 3, VXQ_F_TESTCLI_BuildZeroMsg(P0_HEARTBEAT, 1, 0));
        if (iSec == 20)
            VXQ_F_OFFLINE_StreamData(m_pSrv, 5, VXQ_F_TESTCLI_BuildZeroMsg(P1_LOGOUT, 2, 4));
        Tick();
        for (const auto &c : tCases)
            ASSERT_EQ(Conn(c.dwPort) == nullptr, c.iGoneAt != 0 && iSec >= c.iGoneAt)
                << c.sDoes << ", " << iSec << " s";
    }
}

TEST_F(Admission, AfterTheThirdFailedLoginWithinAMinuteEachAnswerIsHeldOneMoreSecond)
{
    TestClock tClock;
    Connect(1);
    std::string sToken = Token(1);
    ASSERT_FALSE(sToken.empty());
    /* Sends the bytes; their answers go out exactly in_iHeld seconds later
     * (the control thread's duty runs every second and never sleeps). */
    auto fnHeld = [&](const std::vector<uint8_t> &in_tBytes, int in_iHeld, size_t in_nAnswers) {
        VXQ_F_OFFLINE_Sent().clear();
        VXQ_F_OFFLINE_StreamData(m_pSrv, 1, in_tBytes);
        for (int i = 0; i < in_iHeld; i++, tClock.AdvanceSec(1)) {
            Tick();
            EXPECT_TRUE(Take(1).empty()) << i << " s of " << in_iHeld;
        }
        Tick();
        std::vector<std::vector<uint8_t>> tAnswers = Take(1);
        EXPECT_EQ(tAnswers.size(), in_nAnswers) << "held " << in_iHeld << " s";
        tAnswers.resize(in_nAnswers, std::vector<uint8_t>(20, 0xEE));
        return tAnswers;
    };
    for (uint32_t i = 1; i <= 3; i++)
        fnHeld(LoginMsg(sToken, "wrong", i), 0, 1);
    /* The fourth waits 1 s; a heartbeat behind it waits with it and comes after it. */
    std::vector<uint8_t> tBytes = LoginMsg(sToken, "wrong", 4);
    std::vector<uint8_t> tBeat = VXQ_F_TESTCLI_BuildZeroMsg(P0_HEARTBEAT, 44, 0);
    tBytes.insert(tBytes.end(), tBeat.begin(), tBeat.end());
    std::vector<std::vector<uint8_t>> tAnswers = fnHeld(tBytes, 1, 2);
    EXPECT_EQ(VXQ_F_TESTCLI_GetU32(tAnswers[0], 12), 4u);
    EXPECT_EQ(tAnswers[0][11], VXQ_DPS_UMSP_RESULT_PASSWORD_ERROR);
    EXPECT_EQ(VXQ_F_TESTCLI_GetU16(tAnswers[1], 8), P0_HEARTBEAT);
    /* The fifth waits 2 s, the sixth 3 s even with the right password: timing
     * tells nothing. Success forgets the address: the next failure is answered at once. */
    fnHeld(LoginMsg(sToken, "wrong", 5), 2, 1);
    EXPECT_EQ(fnHeld(LoginMsg(sToken, "secret", 6), 3, 1)[0][11], 0);
    fnHeld(LoginMsg(sToken, "wrong", 7), 0, 1);
}

/* The hold grows by one second per failure past the third, per address, for
 * failures within the last minute, and stops at 30 s. */
TEST_F(Admission, FailuresCountPerAddressAndOnlyWithinTheirMinute)
{
    TestClock tClock;
    for (int i = 0; i < 3; i++)
        VXQ_F_DPS_MC_ADMIT_NoteLogin(m_pSrv, "10.0.0.1", 1);
    EXPECT_EQ(VXQ_F_DPS_MC_ADMIT_LoginDelaySec(m_pSrv, "10.0.0.1"), 1);
    EXPECT_EQ(VXQ_F_DPS_MC_ADMIT_LoginDelaySec(m_pSrv, "10.0.0.2"), 0) << "another address is not slowed";
    tClock.AdvanceSec(59);
    EXPECT_EQ(VXQ_F_DPS_MC_ADMIT_LoginDelaySec(m_pSrv, "10.0.0.1"), 1);
    tClock.AdvanceSec(1);
    EXPECT_EQ(VXQ_F_DPS_MC_ADMIT_LoginDelaySec(m_pSrv, "10.0.0.1"), 0) << "the minute has passed";
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
    EXPECT_NE(Conn(1)->tHold.pDelayRespBuf, nullptr);
    /* The sanitizer build reports the copy if the disconnect leaked it. */
    VXQ_F_OFFLINE_StreamDisconnect(m_pSrv, 1);
    EXPECT_EQ(Conn(1), nullptr);
    tClock.AdvanceSec(5);
    Tick();
}

/* Quotes of login ids other than the connection's own, case by case: what is
 * answered at once, what waits for the service-wide credit, what is held. */
TEST_F(Admission, QuotesOfAnotherIdAreRationedServiceWideAndMissesAreTarpitted)
{
    TestClock tClock;
    Connect(1, "10.0.0.1");
    VXQ_F_OFFLINE_StreamData(m_pSrv, 1, LoginMsg(Token(1), "secret", 1));
    const uint32_t dwLive = Conn(1)->dwLoginId;
    ASSERT_NE(dwLive, 0u);
    const uint32_t dwWrong = dwLive ^ 0x80000001u;
    const int32_t iFull = VXQ_DPS_QUOTE_BURST * 1000;
    struct {
        const char *sCase;
        uint32_t dwPort;
        const char *sPeer;
        bool bLoggedIn;  /* the quoting connection has a login of its own */
        bool bOwnOrLive; /* quotes its own id (logged in) or the live one, else a wrong one */
        int32_t iCredit; /* credit before, -1 leaves it */
        int iAnswersNow;
        int32_t iCreditAfter; /* -1: not checked */
        int iMisses;
    } const tCases[] = {
        {"own id, no credit", 1, "10.0.0.1", true, true, 0, 1, 0, 0},
        {"join from the session's address, no credit", 2, "10.0.0.1", false, true, 0, 1, 0, 0},
        {"join from elsewhere, no credit: waits unread", 3, "10.0.0.2", false, true, 0, 0, 0, 0},
        {"join from elsewhere: costs nothing", 4, "10.0.0.2", false, true, iFull, 1, iFull, 0},
        {"wrong id: costs one, answer held", 5, "10.0.0.2", false, false, iFull, 0, iFull - 1000, 1},
        {"wrong id from a logged-in connection: the same", 6, "10.0.0.3", true, false, iFull, 0, iFull - 1000,
         1},
        {"wrong id, no credit: waits, counts nothing", 7, "10.0.0.2", false, false, 0, 0, 0, 0},
    };
    for (const auto &c : tCases) {
        if (Conn(c.dwPort) == nullptr)
            Connect(c.dwPort, c.sPeer);
        if (c.bLoggedIn && Conn(c.dwPort)->dwLoginId == 0)
            VXQ_F_OFFLINE_StreamData(m_pSrv, c.dwPort, LoginMsg(Token(c.dwPort), "secret", 1));
        if (c.iCredit >= 0)
            SetCredit(c.iCredit);
        uint32_t dwId = !c.bOwnOrLive ? dwWrong : c.bLoggedIn ? Conn(c.dwPort)->dwLoginId : dwLive;
        EXPECT_EQ(Quote(c.dwPort, dwId), c.iAnswersNow) << c.sCase;
        if (c.iCreditAfter >= 0) {
            EXPECT_EQ(m_pSrv->iQuoteCredit, c.iCreditAfter) << c.sCase;
        }
        EXPECT_EQ(Conn(c.dwPort)->tAdmit.iUnknownLoginIdNum, c.iMisses) << c.sCase;
    }
    /* The waiting quotes go once credit comes back (4 a second), in turn. */
    tClock.AdvanceMs(250);
    VXQ_F_DPS_MC_ADMIT_DoTickDuty(m_pSrv);
    EXPECT_EQ(Take(3).size(), 1u) << "the live id, found: answered";
    EXPECT_TRUE(Take(7).empty());
    tClock.AdvanceMs(250);
    VXQ_F_DPS_MC_ADMIT_DoTickDuty(m_pSrv);
    EXPECT_EQ(Conn(7)->tAdmit.iUnknownLoginIdNum, 1) << "the wrong one, looked up now";
    /* A held answer goes out after 2 s; the connection's next message waits
     * behind it and is answered 2 s later in turn; the third miss drops it unanswered. */
    VXQ_F_OFFLINE_Sent().clear();
    VXQ_F_OFFLINE_StreamData(m_pSrv, 5, VXQ_F_TESTCLI_BuildZeroMsg(P0_HEARTBEAT, 9, 0));
    tClock.AdvanceSec(1);
    Tick();
    EXPECT_TRUE(Take(5).empty()) << "1 s of 2";
    tClock.AdvanceSec(1);
    Tick();
    std::vector<std::vector<uint8_t>> tHeld = Take(5);
    ASSERT_EQ(tHeld.size(), 1u);
    EXPECT_EQ(tHeld[0][11], VXQ_DPS_UMSP_RESULT_NOT_LOGGED_IN);
    VXQ_F_OFFLINE_Sent().clear();
    tClock.AdvanceSec(2);
    Tick();
    tHeld = Take(5);
    ASSERT_EQ(tHeld.size(), 1u) << "the heartbeat's answer, 2 s after it could be handled";
    EXPECT_EQ(VXQ_F_TESTCLI_GetU16(tHeld[0], 8), P0_HEARTBEAT);
    EXPECT_EQ(Quote(5, dwWrong ^ 2), 0);
    Tick();
    tClock.AdvanceSec(2);
    Tick();
    EXPECT_EQ(Quote(5, dwWrong ^ 4), -1) << "third miss";
    EXPECT_NE(Conn(1), nullptr) << "the session guessed at is untouched";
}

/* Quotes from a session's address that the session could not vouch for
 * (misses, or ids of sessions elsewhere) tell a guesser at that address which
 * ids are not its neighbours': after three within a minute the address no
 * longer vouches for the session's id, until the minute is over. The session
 * itself and the connections that joined it go on untouched. */
TEST_F(Admission, GuessesFromASessionsAddressEndItsVouchingButNotItsService)
{
    TestClock tClock;
    Connect(1, "10.0.0.1");
    VXQ_F_OFFLINE_StreamData(m_pSrv, 1, LoginMsg(Token(1), "secret", 1));
    const uint32_t dwLive = Conn(1)->dwLoginId;
    Connect(2, "10.0.0.1");
    EXPECT_EQ(Quote(2, dwLive), 1) << "a viewer joins the session";
    for (uint32_t i = 0; i < 3; i++) {
        Connect(10 + i, "10.0.0.1");
        Quote(10 + i, dwLive ^ (0x10000u << i));
    }
    SetCredit(0);
    Connect(20, "10.0.0.1");
    EXPECT_EQ(Quote(20, dwLive), 0) << "no vouching after three: waits for credit";
    EXPECT_EQ(Quote(1, dwLive), 1) << "the session's own id is never held back";
    EXPECT_EQ(Quote(2, dwLive), 1) << "nor is the viewer that joined it";
    tClock.AdvanceSec(59);
    Tick();
    SetCredit(0);
    Connect(21, "10.0.0.1");
    EXPECT_EQ(Quote(21, dwLive), 0) << "59 s";
    tClock.AdvanceSec(1);
    Connect(22, "10.0.0.1");
    EXPECT_EQ(Quote(22, dwLive), 1) << "60 s: the address vouches again";
}


} // namespace
