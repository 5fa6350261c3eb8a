/* The function table: its lines are well formed, and the rules every request
 * shares hold for every line, walked through the real dispatcher: short gives
 * 2, no login gives 6, a missing right gives 5, an event that cannot be queued
 * gives 1 and leaves no transaction; none of these reaches the host. */
#include "ops/functab.h"
#include "support/offline_rig.h"
#include "vxq_clock.h"
#include "wire/result.h"

#include <set>
#include <string>

namespace
{

const uint32_t kLogin = 0x66660001u;
const uint32_t kFileId = 9;

/* The lines that take requests. */
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

TEST(FuncTable, IdsAscendAndEachIdAndOrderHasOneLineFoundByLookup)
{
    _VXQ_S_DPS_MCSRV_DATA *p = VXQ_F_OFFLINE_NewInstance();
    std::set<int32_t> tOrders;
    int iIds = 0;
    for (int32_t i = 0; i < g_tDpsFuncTable.iLineNum; i++) {
        const _VXQ_S_DPS_FUNC_LINE *pLine = &g_tDpsFuncTable.pLine[i];
        SCOPED_TRACE(pLine->sName);
        if (pLine->usMsgFuncId != 0) {
            iIds++;
            if (i > 0 && g_tDpsFuncTable.pLine[i - 1].usMsgFuncId != 0) {
                EXPECT_LT(g_tDpsFuncTable.pLine[i - 1].usMsgFuncId, pLine->usMsgFuncId);
            }
            EXPECT_EQ(VXQ_F_DPS_MC_FindFuncLine(p, pLine->usMsgFuncId), pLine);
            EXPECT_GE(pLine->iMinMsgLen, (pLine->ucFlags & VXQ_DPS_FUNC_NOTICE) ? 0 : 20);
        } else {
            EXPECT_GT(i, 0) << "lines of host orders come last";
        }
        if (pLine->iOrderId != 0) {
            EXPECT_TRUE(tOrders.insert(pLine->iOrderId).second) << "one line per order id";
            EXPECT_EQ(VXQ_F_DPS_MC_FindOrderLine(p, pLine->iOrderId), pLine);
        }
        /* A relay needs the event it raises; a relayed answer, the order of that event. */
        if (pLine->fnRequest == nullptr &&
            !(pLine->ucFlags & (VXQ_DPS_FUNC_NO_ANSWER | VXQ_DPS_FUNC_NOTICE))) {
            EXPECT_NE(pLine->iOrderId, 0);
        }
    }
    EXPECT_EQ(iIds, 61);
    int iMisses = 0;
    for (uint32_t dwId = 1; dwId <= 0xFFFF; dwId++)
        iMisses += VXQ_F_DPS_MC_FindFuncLine(p, (uint16_t)dwId) == nullptr;
    EXPECT_EQ(iMisses, 0xFFFF - 61);
    EXPECT_EQ(VXQ_F_DPS_MC_FindFuncLine(p, 0), nullptr);
    EXPECT_EQ(VXQ_F_DPS_MC_FindOrderLine(p, 0x0999), nullptr);
    VXQ_F_OFFLINE_FreeInstance(p);
}

class FuncTableWalk : public OfflineRig
{
  protected:
    /* The request of a line at its least length: body 0 the login id, body 4
     * the read id of the file the session holds; a data piece names its 4 bytes. */
    static Bytes LineMsg(const _VXQ_S_DPS_FUNC_LINE *in_pLine, uint32_t in_dwBody0, int in_iDelta = 0)
    {
        bool bData =
            in_pLine->usMsgFuncId == PB_DUP_UPGRADE_DATA || in_pLine->usMsgFuncId == P9_COM_SEND_DATA;
        size_t nBody = (size_t)(in_pLine->iMinMsgLen - 20 + in_iDelta) + (bData && in_iDelta == 0 ? 4 : 0);
        Bytes tMsg = TestMsg(in_pLine->usMsgFuncId, 0x55, nBody);
        if (nBody >= 4)
            TestPutLe32(tMsg, 20, in_dwBody0);
        if (nBody >= 8)
            TestPutLe32(tMsg, 24, in_pLine->usMsgFuncId == PB_DUP_UPGRADE_DATA ? 4 : kFileId);
        return tMsg;
    }
    /* A fresh instance with the asking connection (logged in with the global
     * word in_dwPop and the channel words in_dwChPop, or not at all for login
     * id 0) and a download connection of the session holding the file. */
    _VXQ_S_DPS_NET_PORT_DATA *Fresh(uint32_t in_dwLoginId, uint32_t in_dwPop = 0xFF, uint32_t in_dwChPop = 0)
    {
        TearDown();
        SetUp();
        _VXQ_S_DPS_NET_PORT_DATA *pDown = AddConn(2, VXQ_DPS_CONN_DOWN, kLogin);
        pDown->tDown.dwFileId = kFileId;
        return AddConn(1, VXQ_DPS_CONN_COMMAND, in_dwLoginId, in_dwPop, in_dwChPop);
    }
    /* Dispatches the message with guard bytes behind it; the answers' heads
     * (bodies may carry fresh tokens) and the ids of the events raised. */
    std::pair<std::vector<Bytes>, std::vector<int32_t>> Run(_VXQ_S_DPS_NET_PORT_DATA *in_pConn,
                                                               const Bytes &in_tMsg)
    {
        Bytes tBuf(in_tMsg);
        tBuf.resize(in_tMsg.size() + 16, 0xA5);
        VXQ_F_DPS_MW_DoSingleNetDataPacket(p, in_pConn, tBuf.data(), (int32_t)in_tMsg.size());
        for (size_t i = in_tMsg.size(); i < tBuf.size(); i++)
            EXPECT_EQ(tBuf[i], 0xA5) << "byte " << i << " past the message was written";
        std::pair<std::vector<Bytes>, std::vector<int32_t>> tOut;
        for (const _VXQ_S_OFFLINE_SENT &tItem : Sent()) {
            EXPECT_EQ(TestLe32(tItem.tMsg, 4), tItem.tMsg.size()) << "a whole answer";
            tOut.first.emplace_back(tItem.tMsg.begin(), tItem.tMsg.begin() + 20);
        }
        for (const Bytes &tEvent : Events())
            tOut.second.push_back(OpsEventHead(tEvent).iMsgFuncId);
        return tOut;
    }
    /* The one answer is a refusal with in_ucResult, and the host heard nothing. */
    void ExpectRefused(const std::pair<std::vector<Bytes>, std::vector<int32_t>> &in_tOut,
                       uint8_t in_ucResult)
    {
        ASSERT_EQ(in_tOut.first.size(), 1u);
        EXPECT_EQ(in_tOut.first[0][10] & 3, 1);
        EXPECT_EQ(in_tOut.first[0][11], in_ucResult);
        EXPECT_TRUE(in_tOut.second.empty());
        EXPECT_EQ(TransCount(), 0);
    }
};

/* The rights as users see them: every request that needs one, the bit, and
 * whether a channel word grants it too (else the global word only). */
const struct {
    uint16_t usFuncId;
    uint32_t dwBit;
    bool bPerChannel;
} s_tRights[] = {
    {P2_REALPLAY_OPEN, 0x01, true},
    {P2_EX_REALPLAY_OPEN, 0x01, true},
    {P2_PTZ, 0x02, true},
    {P4_TALK_START, 0x04, true},
    {P3_QUERY_FILE, 0x08, true},
    {P3_NSP_QUERY_FILE, 0x08, true},
    {P3_DOWNLOAD_OPEN, 0x10, false},
    {P3_DOWNLOAD_OPEN_BY_TIME, 0x10, false},
    {P5_GUARD, 0x20, false},
    {P5_UNGUARD, 0x20, false},
    {P9_GET_CONFIG, 0x40, false},
    {P9_GET_DEF_CONFIG, 0x40, false},
    {P9_IEC_EXP_CONFIG, 0x40, false},
    {P9_QUERY_NET_INFO, 0x40, false},
    {P9_UNS_GET_USER_POP, 0x40, false},
    {P9_SET_CONFIG, 0x80, false},
    {P9_IEC_IMP_CONFIG, 0x80, false},
    {P9_MODIFY_NET_ADDR, 0x80, false},
    {P9_UNS_ADD_USER, 0x80, false},
    {P9_UNS_DEL_USER, 0x80, false},
    {P9_UNS_SET_USER_POP, 0x80, false},
    {P2_SET_VIDEO_QUALITY_LEVEL, 0x80, false},
    {P9_COM_OPEN, 0x80, false},
    {P9_COM_CLOSE, 0x80, false},
    {P9_COM_SEND_DATA, 0x80, false},
    {PB_RMY_REBOOT, 0x80, false},
    {PB_RMY_STOP, 0x80, false},
    {PB_DUP_REQU_UPGRADE, 0x80, false},
    {PB_DUP_QUERY_PROGRESS, 0x80, false},
    {PB_DUP_QUERY_TRANS_POS, 0x80, false},
    {PB_DUP_UPGRADE_DATA, 0x80, false},
};

/* The requests a connection without a login may send. */
const std::set<uint16_t> s_tOpenToAll = {P0_HEARTBEAT,
                                         P1_VER_CONSULT_GET_TOKEN,
                                         P1_LOGIN,
                                         P1_LOGOUT,
                                         P1_CLAIM_CHANNEL,
                                         P2_FORCE_I_FRAME,
                                         P2_RM_REALPLAY_OPEN,
                                         P2_RM_REALPLAY_CLOSE,
                                         P9_COM_SUBS_DATA,
                                         PE_VIDEO_FRAME,
                                         PE_AUDIO_FRAME};

} // namespace

TEST_F(FuncTableWalk, EveryRequestShortWithoutLoginRightOrRoomForItsEventIsRefusedAndReachesNoHost)
{
    int iRefusedEvents = 0;
    for (const _VXQ_S_DPS_FUNC_LINE *pLine : RequestLines()) {
        SCOPED_TRACE(pLine->sName);
        const bool bSilent = (pLine->ucFlags & VXQ_DPS_FUNC_NO_ANSWER) != 0;

        /* Short by one byte, and without a body: 2, nothing past the message touched. */
        for (int iDelta : {-1, 20 - pLine->iMinMsgLen}) {
            if (pLine->iMinMsgLen <= 20 || bSilent)
                break;
            ExpectRefused(Run(Fresh(kLogin), LineMsg(pLine, kLogin, iDelta)),
                          VXQ_DPS_UMSP_RESULT_PARAM_ERROR);
        }
        /* One byte too long where the length is exact. */
        if (pLine->tRelay.usRules & VXQ_DPS_RELAY_EXACT_LEN)
            ExpectRefused(Run(Fresh(kLogin), LineMsg(pLine, kLogin, 1)), VXQ_DPS_UMSP_RESULT_PARAM_ERROR);

        /* No login: 6, whether or not the body names one where the connection must carry it. */
        if (!s_tOpenToAll.count(pLine->usMsgFuncId)) {
            ExpectRefused(Run(Fresh(0), LineMsg(pLine, 0)), VXQ_DPS_UMSP_RESULT_NOT_LOGGED_IN);
            if (pLine->ucFlags & VXQ_DPS_FUNC_NEED_LOGIN) {
                _VXQ_S_DPS_NET_PORT_DATA *pStranger = Fresh(kLogin);
                pStranger->dwLoginId = 0;
                ExpectRefused(Run(pStranger, LineMsg(pLine, kLogin)), VXQ_DPS_UMSP_RESULT_NOT_LOGGED_IN);
            }
        }

        /* Rights: each missing bit refuses exactly its requests with 5, channel
         * words granting only where the right is per channel. */
        uint32_t dwNeed = 0;
        bool bPerChannel = false;
        for (const auto &tRight : s_tRights) {
            if (tRight.usFuncId == pLine->usMsgFuncId) {
                dwNeed = tRight.dwBit;
                bPerChannel = tRight.bPerChannel;
            }
        }
        auto tAll = Run(Fresh(kLogin), LineMsg(pLine, kLogin));
        for (const Bytes &tAnswer : tAll.first)
            EXPECT_NE(tAnswer[11], 5) << "refused to a user holding every right";
        for (uint32_t dwBit = 0x01; dwBit <= 0x80; dwBit <<= 1) {
            for (uint32_t dwChPop : {0u, 0xFFu}) {
                auto tOut = Run(Fresh(kLogin, 0xFF & ~dwBit, dwChPop), LineMsg(pLine, kLogin));
                if (dwBit == dwNeed && !(bPerChannel && dwChPop != 0)) {
                    ExpectRefused(tOut, VXQ_DPS_UMSP_RESULT_NO_PERMISSION);
                } else {
                    EXPECT_TRUE(tOut == tAll) << "bit " << dwBit << " channel words " << dwChPop;
                }
            }
        }

        /* A request that raises its line's event, when the host's queue is
         * full: 1 at once (the close of the serial port is answered 0 anyway)
         * and no transaction left. */
        bool bRaises = false;
        for (int32_t iId : tAll.second)
            bRaises = bRaises || iId == pLine->iOrderId;
        if (!bRaises || bSilent)
            continue;
        _VXQ_S_DPS_NET_PORT_DATA *pCmd = Fresh(kLogin);
        FillCallbackQueue();
        auto tFull = Run(pCmd, LineMsg(pLine, kLogin));
        ASSERT_EQ(tFull.first.size(), 1u);
        EXPECT_EQ(tFull.first[0][11], (pLine->tRelay.usRules & VXQ_DPS_RELAY_NOTICE_OK) ? 0 : 1);
        EXPECT_EQ(TransCount(), 0);
        iRefusedEvents++;
    }
    EXPECT_GE(iRefusedEvents, 40);
}

/* Every request at its length and 64 bytes beyond, every field at its limit
 * (0x7F..) and past it (0xFF.., 0x80..) but the login id: whole answers (none
 * for frames) and the connection still answers the next request. */
TEST_F(FuncTableWalk, EveryRequestWithItsFieldsAtTheirLimitsGetsWholeAnswersAndLeavesTheConnectionUsable)
{
    for (const _VXQ_S_DPS_FUNC_LINE *pLine : RequestLines()) {
        SCOPED_TRACE(pLine->sName);
        const uint16_t usId = pLine->usMsgFuncId;
        for (uint8_t ucFill : {(uint8_t)0x7F, (uint8_t)0xFF, (uint8_t)0x80}) {
            for (int iDelta : {0, 64}) {
                _VXQ_S_DPS_NET_PORT_DATA *pConn = Fresh(kLogin);
                Bytes tMsg = LineMsg(pLine, kLogin, iDelta);
                std::fill(tMsg.begin() + 20, tMsg.end(), ucFill);
                if (tMsg.size() >= 24 && usId != P1_LOGIN && usId != P1_VER_CONSULT_GET_TOKEN)
                    TestPutLe32(tMsg, 20, kLogin);
                auto tOut = Run(pConn, tMsg);
                if (pLine->ucFlags & VXQ_DPS_FUNC_NO_ANSWER) {
                    EXPECT_TRUE(tOut.first.empty());
                }
                ASSERT_TRUE(ConnAlive(1)) << "fill " << (int)ucFill << " delta " << iDelta;
                EXPECT_EQ(Run(pConn, TestMsg(P0_HEARTBEAT, 9)).first.size(), 1u);
            }
        }
    }
}

/* An id outside the table: a request is answered in place with 42 (type bits 1,
 * the rest of the head as it came), anything else is dropped unanswered. */
TEST_F(FuncTableWalk, UnknownFunctionIdIsAnsweredInPlaceWith42OnlyWhenItIsARequest)
{
    struct {
        uint16_t usFuncId;
        uint8_t ucTypeByte;
        size_t iBodyLen;
        bool bAnswered;
    } tCases[] = {
        {0x0105, 0x00, 0, true},   {0x0F01, 0x00, 8, true},  {0x0105, 0xFC, 4, true},
        {0x0503, 0x00, 152, true}, {0x0105, 0x01, 0, false}, {0x0F01, 0x02, 0, false},
        {0x0000, 0x00, 0, true},
    };
    for (const auto &c : tCases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.usFuncId << " " << (int)c.ucTypeByte);
        Bytes tRequest = VXQ_F_TESTCLI_BuildMsg(c.usFuncId, c.ucTypeByte, 0xA1B2C3D4u, nullptr, c.iBodyLen);
        for (size_t i = 16; i < 20; i++)
            tRequest[i] = (uint8_t)(i * 7);
        auto tOut = Run(Fresh(0), tRequest);
        EXPECT_TRUE(tOut.second.empty());
        if (!c.bAnswered) {
            EXPECT_TRUE(tOut.first.empty());
            continue;
        }
        tRequest[10] = (uint8_t)((tRequest[10] & 0xFC) | 1);
        tRequest[11] = 42;
        ASSERT_EQ(tOut.first.size(), 1u);
        EXPECT_EQ(tOut.first[0], Bytes(tRequest.begin(), tRequest.begin() + 20));
    }
}

TEST_F(FuncTableWalk, EveryMessageRefreshesTheLastReceiveTime)
{
    TestClock tClock(1700001234);
    _VXQ_S_DPS_NET_PORT_DATA *pConn = Fresh(kLogin);
    for (uint16_t usFuncId : {(uint16_t)0x0105, (uint16_t)P0_HEARTBEAT, (uint16_t)P2_PTZ, (uint16_t)P1_LOGOUT}) {
        pConn->tLastRecvTime = 5;
        Run(pConn, TestMsg(usFuncId, 1, 4, usFuncId == P0_HEARTBEAT ? 1 : 0));
        EXPECT_EQ(pConn->tLastRecvTime, VXQ_F_CLOCK_NowSec()) << std::hex << usFuncId;
        tClock.AdvanceSec(7);
    }
}
