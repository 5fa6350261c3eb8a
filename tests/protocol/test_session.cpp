/* Session messages (heartbeat, token, login, logout, claim) and the rights check, through the
 * dispatcher on the offline rig. Their live path is every network test's login (HostFixture). */
#include "support/offline_rig.h"
#include "protocol/session.h"
#include "vxq_digest.h"

#include <set>

namespace
{

/* The user table behind the lookup callback: name, password, global rights, channel 2 rights. */
struct SessionUser {
    const char *sName;
    const char *sPassword;
    uint32_t dwPopMask;
    uint32_t dwCh2PopMask;
};
const SessionUser s_tUsers[] = {
    {"admin", "secret", 0xFF, 0},
    {"guest", "guestpw", 0x00, 0x09},
    {"longpw", "0123456789012345678901234567890123456789", 0, 0}, /* 40 characters, no terminator */
    {"0123456789abcdef0123456789ABCDEF", "pw", 0, 0},               /* a name that fills its 32 bytes */
};
int s_iLookups = 0;

int SessionLookupUser(void *in_pUser, const char *in_sName, _VXQ_S_DPS_USER_INFO *out_pUserInfo)
{
    (void)in_pUser;
    s_iLookups++;
    for (const SessionUser &tUser : s_tUsers) {
        if (strcmp(tUser.sName, in_sName) != 0)
            continue;
        strncpy(out_pUserInfo->sUserName, tUser.sName, sizeof(out_pUserInfo->sUserName) - 1);
        memcpy(out_pUserInfo->sPassword, tUser.sPassword,
               strnlen(tUser.sPassword, sizeof(out_pUserInfo->sPassword)));
        out_pUserInfo->dwPopMask = tUser.dwPopMask;
        out_pUserInfo->dwChPopMask[2] = tUser.dwCh2PopMask;
        return 1;
    }
    return 0;
}

class SessionOffline : public OfflineRig
{
  protected:
    void SetUp() override
    {
        OfflineRig::SetUp();
        NewConn();
        p->fnQueryUserCallback = SessionLookupUser;
        s_iLookups = 0;
    }
    /* A fresh connection in slot 7 (peer 127.0.0.1:40000), replacing the last. */
    void NewConn()
    {
        if (m_pConn != nullptr)
            VXQ_F_DPS_MC_NetPortData_Delete(p, m_pConn);
        m_pConn = AddConn(7, VXQ_DPS_CONN_NEW);
    }
    /* Dispatches one message; returns the single answer sent (empty when none). */
    Bytes Exchange(const Bytes &in_tMsg)
    {
        Sent();
        Request(m_pConn, in_tMsg);
        std::vector<_VXQ_S_OFFLINE_SENT> tSent = Sent();
        return tSent.size() == 1 ? tSent[0].tMsg : Bytes();
    }
    std::string GetToken()
    {
        Bytes tAnswer = Exchange(VXQ_F_TESTCLI_BuildZeroMsg(P1_VER_CONSULT_GET_TOKEN, 1, 89));
        if (tAnswer.size() != 109 || tAnswer[11] != 0)
            return std::string();
        return std::string((const char *)tAnswer.data() + 48);
    }
    Bytes Login(const std::string &in_sUser, const std::string &in_sDigest)
    {
        Bytes tMsg = VXQ_F_TESTCLI_BuildLogin(2, in_sUser, in_sDigest);
        memcpy(tMsg.data() + 20, in_sUser.data(), std::min<size_t>(in_sUser.size(), 32)); /* unterminated at 32 */
        return Exchange(tMsg);
    }

    _VXQ_S_DPS_NET_PORT_DATA *m_pConn = nullptr;
};

std::string Upper(std::string in_sText)
{
    for (char &c : in_sText)
        c = (char)toupper((unsigned char)c);
    return in_sText;
}

} // namespace

TEST_F(SessionOffline, HeartbeatRequestIsEchoedAndPutsTheConnectionUnderSupervisionButAnAnswerIsIgnored)
{
    for (uint8_t ucTypeByte : {(uint8_t)1, (uint8_t)2, (uint8_t)0xF1}) {
        EXPECT_TRUE(Exchange(VXQ_F_TESTCLI_BuildMsg(P0_HEARTBEAT, ucTypeByte, 9, nullptr, 0)).empty());
        EXPECT_EQ(m_pConn->bHeartbeat, 0u);
    }
    Bytes tRequest = VXQ_F_TESTCLI_BuildMsg(P0_HEARTBEAT, 0xF0, 0x01020304u, nullptr, 0);
    tRequest[11] = 0x5E; /* the result byte of a heartbeat is not written */
    tRequest[19] = 0x99;
    Bytes tExpected = tRequest;
    tExpected[10] = 0xF1;
    EXPECT_EQ(Exchange(tRequest), tExpected);
    EXPECT_EQ(m_pConn->bHeartbeat, 1u);
}

TEST_F(SessionOffline, TokenAnswerCarriesVersionTokenAndPasswordModeAndMakesACommandConnection)
{
    p->ucPwdMode = 1;
    Bytes tRequest = VXQ_F_TESTCLI_BuildZeroMsg(P1_VER_CONSULT_GET_TOKEN, 0xCAFE, 89);
    for (int i = 0; i < 26; i++)
        tRequest[20 + i] = (uint8_t)(0x30 + i); /* the client's version words stay */
    tRequest[19] = 0x77;
    Bytes tAnswer = Exchange(tRequest);
    ASSERT_EQ(tAnswer.size(), 109u);
    EXPECT_EQ(tAnswer[10], 1);
    EXPECT_EQ(tAnswer[11], 0);
    EXPECT_EQ(VXQ_F_TESTCLI_GetU32(tAnswer, 12), 0xCAFEu);
    EXPECT_EQ(tAnswer[19], 0x77);
    EXPECT_TRUE(std::equal(tAnswer.begin() + 20, tAnswer.begin() + 46, tRequest.begin() + 20));
    EXPECT_EQ(VXQ_F_TESTCLI_GetU16(tAnswer, 46), 0x0211);
    EXPECT_EQ(tAnswer[108], 1);

    std::string sToken((const char *)tAnswer.data() + 48);
    ASSERT_NE(m_pConn->pToken, nullptr);
    EXPECT_EQ(sToken, std::string(m_pConn->pToken));
    EXPECT_LT(sToken.size() + 1, 60u);
    EXPECT_EQ(m_pConn->iConnType, VXQ_DPS_CONN_COMMAND);

    /* The token is the Base64 text of "<peer address as signed number><peer port><random>". */
    char sDecoded[64] = {0};
    ASSERT_LE(Base64decode_len(sToken.c_str()), (int)sizeof(sDecoded));
    Base64decode(sDecoded, sToken.c_str());
    EXPECT_EQ(std::string(sDecoded).rfind("213070643340000", 0), 0u) << sDecoded;
    EXPECT_GT(strlen(sDecoded), strlen("213070643340000"));
}

TEST_F(SessionOffline, EachTokenRequestMakesANewTokenAndOnlyTheLastIsAccepted)
{
    std::string sFirst = GetToken();
    std::string sSecond = GetToken();
    ASSERT_FALSE(sFirst.empty());
    ASSERT_FALSE(sSecond.empty());
    EXPECT_NE(sFirst, sSecond);
    EXPECT_EQ(Login("admin", VXQ_F_TESTCLI_LoginDigest(sFirst, "secret"))[11], 4);
    EXPECT_EQ(m_pConn->dwLoginId, 0u);
    EXPECT_EQ(Login("admin", VXQ_F_TESTCLI_LoginDigest(sSecond, "secret"))[11], 0);
    EXPECT_NE(m_pConn->dwLoginId, 0u);
}

TEST_F(SessionOffline, LoginChecksRunInTheirOrderWithTheirResultCodes)
{
    struct {
        const char *sCase;
        bool bToken;
        bool bCallback;
        std::string sUser;
        std::string sPassword;
        int iDigestForm; /* 0 right, 1 uppercase, 2 with a character after the 32, 3 empty */
        uint8_t ucResult;
        int iLookups;
    } tCases[] = {
        {"empty user name", true, true, "", "secret", 0, 3, 0},
        {"no lookup callback", true, false, "admin", "secret", 0, 1, 0},
        {"unknown user", true, true, "nobody", "secret", 0, 3, 1},
        {"no token yet", false, true, "admin", "secret", 0, 1, 1},
        {"uppercase digest", true, true, "admin", "secret", 1, 4, 1},
        {"digest with a tail", true, true, "admin", "secret", 2, 4, 1},
        {"empty digest", true, true, "admin", "secret", 3, 4, 1},
        {"wrong password", true, true, "admin", "Secret", 0, 4, 1},
        {"right digest", true, true, "admin", "secret", 0, 0, 1},
        {"40-character password", true, true, "longpw", "0123456789012345678901234567890123456789", 0, 0, 1},
        {"32-character user name", true, true, "0123456789abcdef0123456789ABCDEF", "pw", 0, 0, 1},
    };
    for (const auto &tCase : tCases) {
        NewConn();
        /* Each case starts unthrottled: earlier failures from this address are forgotten. */
        memset(p->tLoginFail, 0, sizeof(p->tLoginFail));
        p->fnQueryUserCallback = tCase.bCallback ? SessionLookupUser : nullptr;
        std::string sToken = tCase.bToken ? GetToken() : std::string("bm90b2tlbg==");
        std::string sDigest = VXQ_F_TESTCLI_LoginDigest(sToken, tCase.sPassword);
        if (tCase.iDigestForm == 1)
            sDigest = Upper(sDigest);
        else if (tCase.iDigestForm == 2)
            sDigest += "0";
        else if (tCase.iDigestForm == 3)
            sDigest.clear();
        s_iLookups = 0;
        Bytes tAnswer = Login(tCase.sUser, sDigest);
        ASSERT_EQ(tAnswer.size(), 548u) << tCase.sCase;
        EXPECT_EQ(tAnswer[10], 1) << tCase.sCase;
        EXPECT_EQ(tAnswer[11], tCase.ucResult) << tCase.sCase;
        EXPECT_EQ(s_iLookups, tCase.iLookups) << tCase.sCase;
        EXPECT_EQ(m_pConn->dwLoginId != 0, tCase.ucResult == 0) << tCase.sCase;
    }
}

TEST_F(SessionOffline, FailedLoginKeepsTheEarlierLoginAndItsRights)
{
    std::string sToken = GetToken();
    ASSERT_EQ(Login("admin", VXQ_F_TESTCLI_LoginDigest(sToken, "secret"))[11], 0);
    uint32_t dwLoginId = m_pConn->dwLoginId;
    EXPECT_EQ(Login("guest", VXQ_F_TESTCLI_LoginDigest(sToken, "wrong"))[11], 4);
    EXPECT_EQ(m_pConn->dwLoginId, dwLoginId);
    EXPECT_STREQ(m_pConn->pUserInfo->sUserName, "admin");
    /* A second successful login replaces the id and the user record. */
    EXPECT_EQ(Login("guest", VXQ_F_TESTCLI_LoginDigest(sToken, "guestpw"))[11], 0);
    EXPECT_STREQ(m_pConn->pUserInfo->sUserName, "guest");
    EXPECT_NE(m_pConn->dwLoginId, dwLoginId);
}

/* A login id is a guess target: all 32 bits are random (none names the table
 * slot), it is never 0 ("not logged in") and never an id a connection holds. */
TEST_F(SessionOffline, LoginIdIsAll32BitsRandomNeverZeroAndNeverOneALiveConnectionHolds)
{
    std::string sToken = GetToken();
    std::set<uint32_t> tIds;
    uint32_t dwLowBits = 0;
    for (int i = 0; i < 16; i++) {
        ASSERT_EQ(Login("admin", VXQ_F_TESTCLI_LoginDigest(sToken, "secret"))[11], 0);
        ASSERT_NE(m_pConn->dwLoginId, 0u);
        tIds.insert(m_pConn->dwLoginId);
        dwLowBits |= (m_pConn->dwLoginId ^ m_pConn->dwPortId) & 0xFFFFu;
    }
    EXPECT_EQ(tIds.size(), 16u);
    EXPECT_NE(dwLowBits, 0u) << "the low half is not the engine slot";

    /* Draws of 0 and of a live id are drawn again. */
    AddConn(3, VXQ_DPS_CONN_COMMAND, 0xB0B0B0B0u);
    static const uint32_t s_dwDraws[] = {0, 0xB0B0B0B0u, 0xA5A5A5A5u};
    static int s_iDraw;
    s_iDraw = 0;
    VXQ_PF_DPS_RANDOM32 fnOld =
        VXQ_F_DPS_MW_SetLoginIdRandom([]() -> uint32_t { return s_dwDraws[s_iDraw++ % 3]; });
    EXPECT_EQ(Login("admin", VXQ_F_TESTCLI_LoginDigest(sToken, "secret"))[11], 0);
    VXQ_F_DPS_MW_SetLoginIdRandom(fnOld);
    EXPECT_EQ(m_pConn->dwLoginId, 0xA5A5A5A5u);
    EXPECT_EQ(s_iDraw, 3);
}

TEST_F(SessionOffline, LogoutEndsTheLoginAndItsRightsButKeepsConnectionAndToken)
{
    std::string sToken = GetToken();
    ASSERT_EQ(Login("admin", VXQ_F_TESTCLI_LoginDigest(sToken, "secret"))[11], 0);

    Bytes tRequest = VXQ_F_TESTCLI_BuildZeroMsg(P1_LOGOUT, 0x31, 4);
    VXQ_F_TESTCLI_PutU32(tRequest, 20, 0xDEADBEEFu);
    Bytes tAnswer = Exchange(tRequest);
    Bytes tExpected = tRequest;
    tExpected[10] = 1;
    EXPECT_EQ(tAnswer, tExpected);
    EXPECT_EQ(m_pConn->dwLoginId, 0u);
    EXPECT_EQ(VXQ_F_DPS_MC_APUP_PopCheck(p, m_pConn, 1, VXQ_DPS_POP_LIVE_VIEW), 0);
    ASSERT_NE(m_pConn->pToken, nullptr);
    EXPECT_EQ(std::string(m_pConn->pToken), sToken);

    /* The kept token still serves a new login. */
    EXPECT_EQ(Login("admin", VXQ_F_TESTCLI_LoginDigest(sToken, "secret"))[11], 0);
}

TEST_F(SessionOffline, ClaimStoresTheClaimValueAndAnswersTheConnectionId)
{
    Bytes tRequest = VXQ_F_TESTCLI_BuildZeroMsg(P1_CLAIM_CHANNEL, 0x42, 12);
    VXQ_F_TESTCLI_PutU32(tRequest, 20, 0x01020304u);
    VXQ_F_TESTCLI_PutU32(tRequest, 24, 0x89ABCDEFu);
    Bytes tExpected = tRequest;
    tExpected[10] = 1;
    VXQ_F_TESTCLI_PutU32(tExpected, 28, 0x5A5A0007u);
    EXPECT_EQ(Exchange(tRequest), tExpected);
    EXPECT_EQ(m_pConn->dwClaimId, 0x89ABCDEFu);
}
