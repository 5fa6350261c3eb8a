/* The application message channel: requests parked as transactions, orders
 * answering them (the live path: the families' tests in tests/ops). */
#include "support/offline_rig.h"
#include "ops/relay.h"

/* An order (answer) of in_iId for the transaction, in the host's byte order. */
static Bytes Order(int32_t in_iId, uint32_t in_dwTransId, uint8_t in_ucAppErr, const Bytes &in_tBody = Bytes())
{
    Bytes tOrder(16 + in_tBody.size(), 0);
    int32_t iBodyLen = (int32_t)in_tBody.size();
    memcpy(&tOrder[0], &in_iId, 4);
    tOrder[4] = 1;
    tOrder[5] = in_ucAppErr;
    memcpy(&tOrder[8], &in_dwTransId, 4);
    memcpy(&tOrder[12], &iBodyLen, 4);
    for (size_t i = 0; i < in_tBody.size(); i++)
        tOrder[16 + i] = in_tBody[i];
    return tOrder;
}

/* Parking on the offline rig: with every transaction taken the request is
 * answered 1 at once and raises nothing; an answer for a connection that went
 * sends nothing and deletes the transaction. */
typedef OfflineRig CoreChannelPark;

TEST_F(CoreChannelPark, AFullTableAnswers1AndAnAnswerForAConnectionGoneSendsNothing)
{
    const _VXQ_S_DPS_FUNC_LINE *pLine = VXQ_F_DPS_MC_FindFuncLine(p, 0x0903);
    _VXQ_S_DPS_NET_PORT_DATA *pConn = AddConn(1, VXQ_DPS_CONN_COMMAND, 0x11110001u, 0xFF, 0xFF);
    uint32_t dwBody = 0;
    Bytes tReq = TestMsg(0x0903, 31, 12);
    std::vector<_VXQ_S_DPS_TRANS_DATA *> tAll;
    while (_VXQ_S_DPS_TRANS_DATA *pTrans = VXQ_F_DPS_MC_Trans_CreateTransData(p))
        tAll.push_back(pTrans);
    EXPECT_EQ(tAll.size(), (size_t)VXQ_DPS_MAX_TRANS_NUM);
    EXPECT_EQ(VXQ_F_DPS_MW_Park(p, pConn, tReq.data(), (int32_t)tReq.size(), pLine, "test"), nullptr);
    Bytes tAnswer = OneSent(pConn);
    EXPECT_EQ(TestLe32(tAnswer, 12), 31u);
    EXPECT_EQ(tAnswer[10] & 3, 1);
    EXPECT_EQ(tAnswer[11], 1);
    EXPECT_TRUE(Events().empty());
    VXQ_F_DPS_MC_Trans_ReleaseAllTransData(p);

    _VXQ_S_DPS_TRANS_DATA *pTrans = VXQ_F_DPS_MW_Park(p, pConn, tReq.data(), (int32_t)tReq.size(), pLine, "test");
    ASSERT_NE(pTrans, nullptr);
    ASSERT_EQ(VXQ_F_DPS_MW_Raise(p, pConn, tReq.data(), (int32_t)tReq.size(), pLine, pTrans, &dwBody, 4, "test"), 1);
    uint32_t dwTransId = TestWord(OneEvent(EVENT_E3_SET_CONFIG), 8);
    VXQ_F_DPS_MC_ActiveDisconnect(p, pConn);
    Sent();
    ASSERT_EQ(TransCount(), 1) << "the answer, not the release, deletes it";
    OfflineRig::Order(::Order(EVENT_E3_SET_CONFIG, dwTransId, 0));
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(TransCount(), 0);
}

/* Unit level: the dispatcher and the transaction table without threads. */
typedef InitRig CoreChannelUnitTest;

static int s_iHandled = 0;
static int CountingHandler(_VXQ_S_DPS_MCSRV_DATA *, uint8_t *, int32_t)
{
    s_iHandled++;
    return 1;
}

TEST_F(CoreChannelUnitTest, OrdersShorterThanTheirFixedBodyAreDropped)
{
    static const _VXQ_S_DPS_FUNC_LINE tLine = {0,      0,  0,  "", nullptr,         0, nullptr, nullptr,
                                               0x0302, "", "", 8,  CountingHandler, {}};
    static const _VXQ_S_DPS_FUNC_TABLE tTable = {&tLine, 1, nullptr, nullptr};
    m_p->tHooks.pFuncTable = &tTable;
    struct Case {
        size_t nBody;     /* bytes present */
        int32_t iBodyLen; /* what the head announces */
        int iHandled;
    };
    const Case tCases[] = {{8, 8, 1}, {12, 12, 1}, {4, 4, 0}, {8, 9, 0}, {8, -1, 0}, {7, 8, 0}};
    for (const Case &tCase : tCases) {
        s_iHandled = 0;
        Bytes tOrder = Order(0x0302, 0, 0, Bytes(tCase.nBody, 0));
        memcpy(&tOrder[12], &tCase.iBodyLen, 4);
        VXQ_F_DPS_MW_DoOrderData(m_p, tOrder.data(), (int32_t)tOrder.size());
        EXPECT_EQ(s_iHandled, tCase.iHandled) << tCase.nBody << " " << tCase.iBodyLen;
    }
    Bytes tShort(15, 0);
    s_iHandled = 0;
    EXPECT_EQ(VXQ_F_DPS_MW_DoOrderData(m_p, tShort.data(), (int32_t)tShort.size()), 0);
    EXPECT_EQ(s_iHandled, 0);
}

TEST_F(CoreChannelUnitTest, TransactionIdsCarryTheIndexAndNonzeroRandomUpperBits)
{
    _VXQ_S_DPS_TRANS_DATA *pFirst = VXQ_F_DPS_MC_Trans_CreateTransData(m_p);
    _VXQ_S_DPS_TRANS_DATA *pSecond = VXQ_F_DPS_MC_Trans_CreateTransData(m_p);
    ASSERT_NE(pFirst, nullptr);
    ASSERT_NE(pSecond, nullptr);
    EXPECT_EQ(pFirst->dwTransId & 0xFFFFu, 0u);
    EXPECT_EQ(pSecond->dwTransId & 0xFFFFu, 1u);
    EXPECT_NE(pFirst->dwTransId >> 16, 0u);
    EXPECT_EQ(VXQ_F_DPS_MC_Trans_QueryTransDataByTransId(m_p, pSecond->dwTransId), pSecond);
    EXPECT_EQ(VXQ_F_DPS_MC_Trans_QueryTransDataByTransId(m_p, pSecond->dwTransId + 0x10000u), nullptr);
    EXPECT_EQ(VXQ_F_DPS_MC_Trans_QueryTransDataByTransId(m_p, 0x00010800u), nullptr);
    uint32_t dwFirst = pFirst->dwTransId;
    VXQ_F_DPS_MC_Trans_DeleteTransData(m_p, pFirst);
    EXPECT_EQ(VXQ_F_DPS_MC_Trans_QueryTransDataByTransId(m_p, dwFirst), nullptr);
    /* The freed slot is taken first again. */
    _VXQ_S_DPS_TRANS_DATA *pThird = VXQ_F_DPS_MC_Trans_CreateTransData(m_p);
    ASSERT_NE(pThird, nullptr);
    EXPECT_EQ(pThird->dwTransId & 0xFFFFu, 0u);
}

/* The user behind a waiting request: the command connection's user record of
 * the requesting connection's login id (a name may fill all 32 bytes); once the
 * transaction is gone the id names nobody. Lock-only, so any thread may ask
 * (from inside every callback: CoreCallbacks). */
typedef OfflineRig CoreTransUser;

TEST_F(CoreTransUser, AWaitingRequestNamesTheUserOfItsLoginAndThenNobody)
{
    _VXQ_S_DPS_NET_PORT_DATA *pCmd = AddConn(1, VXQ_DPS_CONN_COMMAND, 0x11110001u, 0x41);
    memset(pCmd->pUserInfo->sUserName, 'u', sizeof(pCmd->pUserInfo->sUserName));
    _VXQ_S_DPS_NET_PORT_DATA *pMedia = AddConn(2, VXQ_DPS_CONN_MEDIA, 0x11110001u);
    _VXQ_S_DPS_NET_PORT_DATA *pStranger = AddConn(3, VXQ_DPS_CONN_MEDIA);
    Bytes tReq = TestMsg(0x0902, 7, 12);
    _VXQ_S_DPS_TRANS_DATA *pTrans = VXQ_F_DPS_MC_Trans_CreateTransDataOfLinkData(
        p, pMedia->dwPortId, 0x0902, tReq.data(), (int32_t)tReq.size());
    _VXQ_S_DPS_TRANS_DATA *pNobody = VXQ_F_DPS_MC_Trans_CreateTransDataOfLinkData(
        p, pStranger->dwPortId, 0x0902, tReq.data(), (int32_t)tReq.size());
    ASSERT_TRUE(pTrans && pNobody);
    char sName[VXQ_DPS_USER_NAME_SIZE + 1] = {0};
    uint32_t dwPop = 0;
    EXPECT_EQ(VXQ_F_DPS_QueryTransUser(p, pTrans->dwTransId, sName, &dwPop), 1);
    EXPECT_EQ(std::string(sName), std::string(32, 'u'));
    EXPECT_EQ(dwPop, 0x41u);
    for (uint32_t dwId : {pNobody->dwTransId, pTrans->dwTransId + 0x10000u, 0u}) {
        dwPop = 1;
        EXPECT_EQ(VXQ_F_DPS_QueryTransUser(p, dwId, sName, &dwPop), 0) << dwId;
        EXPECT_EQ(sName[0], 0);
        EXPECT_EQ(dwPop, 0u);
    }
    uint32_t dwId = pTrans->dwTransId;
    VXQ_F_DPS_MC_Trans_DeleteTransData(p, pTrans);
    EXPECT_EQ(VXQ_F_DPS_QueryTransUser(p, dwId, sName, &dwPop), 0);
}
