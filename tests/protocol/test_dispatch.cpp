/* Dispatch of whole client messages by function id, without sockets (answers captured). */
#include <gtest/gtest.h>

#include "ops/ops_fixture.h"
#include "ops/functab.h"
#include "protocol/dispatch.h"
#include "support/offline_link.h"
#include "support/test_client.h"
#include "support/test_clock.h"
#include "wire/head.h"
#include "vxq_clock.h"

#include <set>

namespace {

class DispatchOffline : public ::testing::Test {
protected:
    void SetUp() override
    {
        VXQ_F_OFFLINE_InstallCapture();
        m_pSrv = VXQ_F_OFFLINE_NewInstance();
        m_pConn = VXQ_F_OFFLINE_NewConn(0x12340005u);
        ASSERT_NE(m_pSrv, nullptr);
        ASSERT_NE(m_pConn, nullptr);
    }
    void TearDown() override
    {
        VXQ_F_OFFLINE_FreeConn(m_pConn);
        VXQ_F_OFFLINE_FreeInstance(m_pSrv);
        VXQ_F_OFFLINE_RemoveCapture();
    }
    /* Dispatches a copy of in_tMsg followed by 32 guard bytes and checks that no
     * guard byte changed; returns the message as the dispatcher left it. */
    std::vector<uint8_t> Dispatch(const std::vector<uint8_t> &in_tMsg)
    {
        std::vector<uint8_t> tBuf(in_tMsg);
        tBuf.resize(in_tMsg.size() + 32, 0xA5);
        VXQ_F_DPS_MW_DoSingleNetDataPacket(m_pSrv, m_pConn, tBuf.data(), (int32_t)in_tMsg.size());
        for (size_t i = in_tMsg.size(); i < tBuf.size(); i++)
            EXPECT_EQ(tBuf[i], 0xA5) << "byte " << i << " past the message was written";
        tBuf.resize(in_tMsg.size());
        return tBuf;
    }
    std::vector<_VXQ_S_OFFLINE_SENT> &Sent() { return VXQ_F_OFFLINE_Sent(); }

    _VXQ_S_DPS_MCSRV_DATA *m_pSrv = nullptr;
    _VXQ_S_DPS_NET_PORT_DATA *m_pConn = nullptr;
};

/* The lines of the function table that take requests. */
std::vector<const _VXQ_S_DPS_FUNC_LINE *> RequestLines()
{
    std::vector<const _VXQ_S_DPS_FUNC_LINE *> tLines;
    for (int32_t i = 0; i < g_tDpsFuncTable.iLineNum; i++) {
        const _VXQ_S_DPS_FUNC_LINE *pLine = &g_tDpsFuncTable.pLine[i];
        if (pLine->usMsgFuncId != 0 && !(pLine->ucFlags & VXQ_DPS_FUNC_NOTICE))
            tLines.push_back(pLine);
    }
    return tLines;
}

/* A request with reserved bytes, transaction number and high type bits set. */
std::vector<uint8_t> RequestWithMarks(uint16_t in_usFuncId, uint8_t in_ucTypeByte, size_t in_iBodyLen)
{
    std::vector<uint8_t> tMsg = VXQ_F_TESTCLI_BuildMsg(in_usFuncId, in_ucTypeByte, 0xA1B2C3D4u, nullptr, in_iBodyLen);
    tMsg[16] = 0x11;
    tMsg[17] = 0x22;
    tMsg[18] = 0x33;
    tMsg[19] = 0x44;
    for (size_t i = 20; i < tMsg.size(); i++)
        tMsg[i] = (uint8_t)(i * 7);
    return tMsg;
}

/* The request as its in-place answer must look: type bits 1, the result, nothing else changed. */
std::vector<uint8_t> ExpectedAnswer(std::vector<uint8_t> in_tRequest, uint8_t in_ucResult)
{
    in_tRequest[10] = (uint8_t)((in_tRequest[10] & 0xFC) | 1);
    in_tRequest[11] = in_ucResult;
    return in_tRequest;
}

} // namespace

TEST_F(DispatchOffline, UnknownFunctionIdIsAnsweredInPlaceWith42OnlyWhenItIsARequest)
{
    struct {
        uint16_t usFuncId;
        uint8_t ucTypeByte;
        size_t iBodyLen;
        bool bAnswered;
    } tCases[] = {
        {0x0105, 0x00, 0, true},  {0x0F01, 0x00, 8, true},  {0x0105, 0xFC, 4, true},
        {0x0503, 0x00, 152, true}, {0x0105, 0x01, 0, false}, {0x0F01, 0x02, 0, false},
        {0x0000, 0x00, 0, true},
    };
    for (const auto &tCase : tCases) {
        Sent().clear();
        std::vector<uint8_t> tRequest = RequestWithMarks(tCase.usFuncId, tCase.ucTypeByte, tCase.iBodyLen);
        std::vector<uint8_t> tAfter = Dispatch(tRequest);
        if (!tCase.bAnswered) {
            EXPECT_TRUE(Sent().empty()) << std::hex << tCase.usFuncId;
            EXPECT_EQ(tAfter, tRequest);
            continue;
        }
        ASSERT_EQ(Sent().size(), 1u) << std::hex << tCase.usFuncId;
        EXPECT_EQ(Sent()[0].pConn, m_pConn);
        EXPECT_EQ(Sent()[0].iSendClass, 0);
        EXPECT_EQ(Sent()[0].tMsg, ExpectedAnswer(tRequest, 42)) << std::hex << tCase.usFuncId;
    }
}

TEST_F(DispatchOffline, ExactlyTheDeviceChangingAndPrivateRequestsNeedALoggedInConnection)
{
    const std::set<uint16_t> tNeedLogin = {
        P9_MODIFY_USER_PWD, P9_QUERY_NET_INFO, P9_MODIFY_NET_ADDR, P9_UNS_ADD_USER, P9_UNS_DEL_USER,
        P9_UNS_GET_USER_POP, P9_UNS_SET_USER_POP, P5_UNGUARD, P9_COM_CLOSE, P9_COM_SEND_DATA,
        PA_CUSTOM, P4_TALK_STOP,
    };
    std::set<uint16_t> tFlagged;
    for (const _VXQ_S_DPS_FUNC_LINE *pEntry : RequestLines()) {
        if (pEntry->ucFlags & VXQ_DPS_FUNC_NEED_LOGIN)
            tFlagged.insert(pEntry->usMsgFuncId);
    }
    EXPECT_EQ(tFlagged, tNeedLogin);

    /* Not logged in: refused with 6 at full length, before any length or handler rule. */
    m_pConn->dwLoginId = 0;
    for (uint16_t usFuncId : tNeedLogin) {
        const _VXQ_S_DPS_FUNC_LINE *pEntry = VXQ_F_DPS_MC_FindFuncLine(m_pSrv, usFuncId);
        ASSERT_NE(pEntry, nullptr);
        for (size_t iBodyLen : {(size_t)pEntry->iMinMsgLen - 20, (size_t)0}) {
            Sent().clear();
            std::vector<uint8_t> tRequest = RequestWithMarks(usFuncId, 0, iBodyLen);
            Dispatch(tRequest);
            ASSERT_EQ(Sent().size(), 1u) << std::hex << usFuncId;
            EXPECT_EQ(Sent()[0].tMsg, ExpectedAnswer(tRequest, 6)) << std::hex << usFuncId;
        }
    }
}

TEST_F(DispatchOffline, RequestShorterThanItsFixedBodyIsAnsweredWith2AndNothingPastItIsTouched)
{
    m_pConn->dwLoginId = 0x77770005u;
    int iChecked = 0;
    for (const _VXQ_S_DPS_FUNC_LINE *pEntry : RequestLines()) {
        if (pEntry->iMinMsgLen <= 20 || (pEntry->ucFlags & VXQ_DPS_FUNC_NO_ANSWER))
            continue;
        for (size_t iBodyLen : {(size_t)pEntry->iMinMsgLen - 21, (size_t)0}) {
            Sent().clear();
            std::vector<uint8_t> tRequest = RequestWithMarks(pEntry->usMsgFuncId, 0, iBodyLen);
            std::vector<uint8_t> tAfter = Dispatch(tRequest);
            ASSERT_EQ(Sent().size(), 1u) << std::hex << pEntry->usMsgFuncId;
            EXPECT_EQ(Sent()[0].tMsg, ExpectedAnswer(tRequest, 2)) << std::hex << pEntry->usMsgFuncId;
            EXPECT_EQ(tAfter, ExpectedAnswer(tRequest, 2));
        }
        iChecked++;
    }
    EXPECT_GE(iChecked, 50);

    /* Not a request: nothing is answered, nothing is changed. */
    Sent().clear();
    std::vector<uint8_t> tNotice = RequestWithMarks(P1_LOGIN, 1, 100);
    EXPECT_EQ(Dispatch(tNotice), tNotice);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(DispatchOffline, FramesFromAClientAreNeverAnsweredByTheDispatcher)
{
    for (uint16_t usFuncId : {(uint16_t)PE_VIDEO_FRAME, (uint16_t)PE_AUDIO_FRAME}) {
        const _VXQ_S_DPS_FUNC_LINE *pEntry = VXQ_F_DPS_MC_FindFuncLine(m_pSrv, usFuncId);
        ASSERT_NE(pEntry, nullptr);
        EXPECT_TRUE(pEntry->ucFlags & VXQ_DPS_FUNC_NO_ANSWER);
        if (pEntry->fnRequest)
            continue; /* the family decides once it handles them */
        Sent().clear();
        Dispatch(RequestWithMarks(usFuncId, 0, 0));
        Dispatch(RequestWithMarks(usFuncId, 0, 40));
        EXPECT_TRUE(Sent().empty()) << std::hex << usFuncId;
    }
}

TEST_F(DispatchOffline, EveryMessageRefreshesTheLastReceiveTime)
{
    TestClock tClock(1700001234);
    struct {
        uint16_t usFuncId;
        uint8_t ucTypeByte;
    } tCases[] = {{0x0105, 0}, {P0_HEARTBEAT, 1}, {P2_PTZ, 0}, {P1_LOGOUT, 0}};
    for (const auto &tCase : tCases) {
        m_pConn->tLastRecvTime = 5;
        Dispatch(RequestWithMarks(tCase.usFuncId, tCase.ucTypeByte, 4));
        EXPECT_EQ(m_pConn->tLastRecvTime, VXQ_F_CLOCK_NowSec()) << std::hex << tCase.usFuncId;
        EXPECT_GE(m_pConn->tLastRecvTime, 1700001234);
        tClock.AdvanceSec(7);
    }
}

TEST_F(DispatchOffline, FailedSendOfARefusalIsLoggedAndTheDispatcherGoesOn)
{
    VXQ_F_OFFLINE_InstallCapture(0);
    std::vector<uint8_t> tRequest = RequestWithMarks(0x0105, 0, 0);
    Dispatch(tRequest);
    ASSERT_EQ(Sent().size(), 1u);
    Dispatch(tRequest);
    EXPECT_EQ(Sent().size(), 2u);
}

namespace {

/* The rights table as users see it: every request that needs a right, the bit,
 * and whether a channel word grants it too (else the global word only). */
const struct {
    uint16_t usFuncId;
    uint32_t dwBit;
    bool bPerChannel;
} s_tRights[] = {
    {P2_REALPLAY_OPEN, 0x01, true}, {P2_EX_REALPLAY_OPEN, 0x01, true}, {P2_PTZ, 0x02, true},
    {P4_TALK_START, 0x04, true}, {P3_QUERY_FILE, 0x08, true}, {P3_NSP_QUERY_FILE, 0x08, true},
    {P3_DOWNLOAD_OPEN, 0x10, false}, {P3_DOWNLOAD_OPEN_BY_TIME, 0x10, false}, {P5_GUARD, 0x20, false},
    {P5_UNGUARD, 0x20, false}, {P9_GET_CONFIG, 0x40, false}, {P9_GET_DEF_CONFIG, 0x40, false},
    {P9_IEC_EXP_CONFIG, 0x40, false}, {P9_QUERY_NET_INFO, 0x40, false}, {P9_UNS_GET_USER_POP, 0x40, false},
    {P9_SET_CONFIG, 0x80, false}, {P9_IEC_IMP_CONFIG, 0x80, false}, {P9_MODIFY_NET_ADDR, 0x80, false},
    {P9_UNS_ADD_USER, 0x80, false}, {P9_UNS_DEL_USER, 0x80, false}, {P9_UNS_SET_USER_POP, 0x80, false},
    {P2_SET_VIDEO_QUALITY_LEVEL, 0x80, false}, {P9_COM_OPEN, 0x80, false}, {P9_COM_CLOSE, 0x80, false},
    {P9_COM_SEND_DATA, 0x80, false}, {PB_RMY_REBOOT, 0x80, false}, {PB_RMY_STOP, 0x80, false},
    {PB_DUP_REQU_UPGRADE, 0x80, false}, {PB_DUP_QUERY_PROGRESS, 0x80, false},
    {PB_DUP_QUERY_TRANS_POS, 0x80, false}, {PB_DUP_UPGRADE_DATA, 0x80, false},
};

/* What one request did: the heads of the answers sent (bodies may carry fresh
 * random tokens) and the ids of the events raised. */
struct RightsOutcome {
    std::vector<OpsBytes> tSent;
    std::vector<int32_t> tEventIds;
    bool operator==(const RightsOutcome &o) const { return tSent == o.tSent && tEventIds == o.tEventIds; }
};

class DispatchRights : public OpsFixture {
protected:
    /* Sends the request of in_pEntry (its fixed part, body 0 the login id when
     * it has a body; serial and upgrade data carry 4 bytes of data) on a fresh
     * command connection whose user holds in_dwPop on the global word and
     * in_dwChPop on every channel word (login id 0: not logged in). */
    RightsOutcome Run(const _VXQ_S_DPS_FUNC_LINE *in_pEntry, uint32_t in_dwLoginId, uint32_t in_dwPop,
                      uint32_t in_dwChPop)
    {
        TearDown();
        SetUp();
        _VXQ_S_DPS_NET_PORT_DATA *pCmd = AddConn(1, VXQ_DPS_CONN_COMMAND, in_dwLoginId, in_dwPop, in_dwChPop);
        bool bData = in_pEntry->usMsgFuncId == PB_DUP_UPGRADE_DATA || in_pEntry->usMsgFuncId == P9_COM_SEND_DATA;
        OpsBytes tMsg = OpsMsg(in_pEntry->usMsgFuncId, 0x55, (size_t)in_pEntry->iMinMsgLen - 20 + (bData ? 4 : 0));
        if (tMsg.size() >= 24)
            OpsPutLe32(tMsg, 20, 0x66660001u);
        if (in_pEntry->usMsgFuncId == PB_DUP_UPGRADE_DATA)
            OpsPutLe32(tMsg, 24, 4); /* the data length the message carries */
        Request(pCmd, tMsg);
        RightsOutcome tOut;
        for (const _VXQ_S_OFFLINE_SENT &tItem : Sent())
            tOut.tSent.emplace_back(tItem.tMsg.begin(), tItem.tMsg.begin() + 20);
        for (const OpsBytes &tEvent : Events())
            tOut.tEventIds.push_back(OpsEventHead(tEvent).iMsgFuncId);
        return tOut;
    }
};

} // namespace

TEST_F(DispatchRights, EachMissingBitRefusesExactlyItsRequestsWith5AndNoEventAndLeavesTheOthersAlone)
{
    const uint32_t dwLogin = 0x66660001u;
    for (const _VXQ_S_DPS_FUNC_LINE *pEntry : RequestLines()) {
        SCOPED_TRACE(testing::Message() << std::hex << pEntry->usMsgFuncId);
        uint32_t dwNeed = 0;
        bool bPerChannel = false;
        for (const auto &tRight : s_tRights) {
            if (tRight.usFuncId == pEntry->usMsgFuncId) {
                dwNeed = tRight.dwBit;
                bPerChannel = tRight.bPerChannel;
            }
        }
        RightsOutcome tAll = Run(pEntry, dwLogin, 0xFF, 0);
        if (dwNeed != 0) {
            for (const OpsBytes &tAnswer : tAll.tSent)
                EXPECT_NE(tAnswer[11], 5) << "refused to a user holding every right";
        }
        for (uint32_t dwBit = 0x01; dwBit <= 0x80; dwBit <<= 1) {
            /* The bit missing everywhere, then granted only by the channel words. */
            for (uint32_t dwChPop : {0u, 0xFFu}) {
                RightsOutcome tOut = Run(pEntry, dwLogin, 0xFF & ~dwBit, dwChPop);
                if (dwBit == dwNeed && !(bPerChannel && dwChPop != 0)) {
                    ASSERT_EQ(tOut.tSent.size(), 1u) << "bit " << dwBit;
                    EXPECT_EQ(tOut.tSent[0][11], 5) << "bit " << dwBit;
                    EXPECT_TRUE(tOut.tEventIds.empty()) << "bit " << dwBit;
                } else {
                    EXPECT_TRUE(tOut == tAll) << "bit " << dwBit << " channel words " << dwChPop;
                }
            }
        }
        /* A connection that has not logged in gets 6 for every request that needs a right. */
        if (dwNeed != 0) {
            RightsOutcome tNone = Run(pEntry, 0, 0, 0);
            ASSERT_EQ(tNone.tSent.size(), 1u);
            EXPECT_EQ(tNone.tSent[0][11], 6);
            EXPECT_TRUE(tNone.tEventIds.empty());
        }
    }
}
