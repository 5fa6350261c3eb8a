/* Live view requests called directly on the offline rig: the checks in their
 * order, the connection fields they set, the answers built in place, and the
 * host's answers and orders. Frames to a viewer over sockets: the client
 * tool's end-to-end test (tests/tools/test_client_e2e.cpp). */
#include "media/direct.h"
#include "media/input.h"
#include "ops/live.h"
#include "support/log_capture.h"
#include "support/offline_rig.h"

namespace
{

const uint32_t kLogin = 0x77;

_VXQ_S_DPS_REALPLAY_CHECK_DATA g_tLastCheck;
uint32_t g_dwCheckVerdict = 0;
int g_iCheckCalls = 0;

int AdmissionCheck(void *, _VXQ_S_DPS_REALPLAY_CHECK_DATA *inout_pCheck)
{
    g_iCheckCalls++;
    g_tLastCheck = *inout_pCheck;
    inout_pCheck->dwResult = g_dwCheckVerdict;
    return 0;
}

class LiveChecks : public OfflineRig
{
  protected:
    void SetUp() override
    {
        OfflineRig::SetUp();
        pCmd = VXQ_F_OFFLINE_AddPeer(p, 0, VXQ_DPS_CONN_COMMAND, kLogin);
        g_dwCheckVerdict = 0;
        g_iCheckCalls = 0;
    }
    static Bytes OpenMsg(uint16_t in_usFuncId, uint32_t in_dwLogin, uint16_t in_usChNo,
                                        uint16_t in_usStreamNo)
    {
        Bytes t =
            VXQ_F_TESTCLI_BuildZeroMsg(in_usFuncId, 1, in_usFuncId == P2_EX_REALPLAY_OPEN ? 16 : 8);
        VXQ_F_TESTCLI_PutU32(t, 20, in_dwLogin);
        VXQ_F_TESTCLI_PutU16(t, 24, in_usChNo);
        VXQ_F_TESTCLI_PutU16(t, 26, in_usStreamNo);
        return t;
    }
    /* Calls a handler; the one answer it sent in place (empty when none). */
    Bytes Call(VXQ_PF_DPS_NETMSG_HANDLER in_fn, _VXQ_S_DPS_NET_PORT_DATA *in_pConn, Bytes in_tMsg)
    {
        Sent();
        in_fn(p, in_pConn, in_tMsg.data(), (int32_t)in_tMsg.size());
        std::vector<_VXQ_S_OFFLINE_SENT> tSent = Sent();
        if (tSent.size() != 1)
            return Bytes();
        EXPECT_EQ(tSent[0].pConn, in_pConn);
        return tSent[0].tMsg;
    }
    static int Result(const Bytes &in_t)
    {
        return in_t.size() >= 20 ? in_t[11] : -1;
    }
    std::vector<int32_t> EventIds()
    {
        std::vector<int32_t> t;
        for (const Bytes &e : Events())
            t.push_back(OpsEventHead(e).iMsgFuncId);
        return t;
    }

    _VXQ_S_DPS_NET_PORT_DATA *pCmd = nullptr;
};

TEST_F(LiveChecks, OpenChecksRunInTheirOrderAndARefusalLeavesTheConnectionAsItWas)
{
    struct Row {
        const char *sCase;
        int bSpecial;
        uint32_t dwLogin;
        uint16_t usChNo, usStreamNo;
        uint32_t dwPop;     /* rights of the login's user */
        int iMaxClients;    /* viewer limit */
        float fBudget;      /* 0 = accounting off */
        uint32_t dwVerdict; /* admission callback */
        int iResult;        /* -1 = admitted, waiting for the host */
        const char *sText;  /* the refusal shown */
    } aRows[] = {
        {"channel 65", 0, kLogin, 65, 0, 0xFF, 64, 0, 0, 2, "Open realplay failure, cause: chno error."},
        {"10000 without the flag", 0, kLogin, 10000, 0, 0xFF, 64, 0, 0, 2,
         "Open realplay failure, cause: chno error."},
        {"stream 4", 0, kLogin, 1, 4, 0xFF, 64, 0, 0, 2, "Open realplay failure, cause: stream no error."},
        {"stream 3 passes to the login check", 0, 0x99, 1, 3, 0xFF, 64, 0, 0, 6,
         "Open realplay failure, cause: no login."},
        {"no live view right", 0, kLogin, 1, 0, 0x02, 64, 0, 0, 5,
         "Receiving network data: open realplay request fail, cause: without permission."},
        {"stream 3 has no sub-channel", 0, kLogin, 1, 3, 0xFF, 64, 0, 0, 1,
         "Open realplay failure, cause: query media sub ch fail."},
        {"viewer limit", 0, kLogin, 1, 0, 0xFF, 1, 0, 0, 12,
         "Open realplay failure, cause: Exceed realplay maximum limit."},
        {"the main loss does not fit", 0, kLogin, 1, 0, 0xFF, 64, 3.5f, 0,
         12, /* 3.5 - 2 (a main viewer) - 2 < 0 */
         "Open realplay failure, cause: Exceed media resource maximum limit."},
        {"admission callback refuses", 0, kLogin, 1, 0, 0xFF, 64, 0, 3, 12,
         "Open realplay failure, cause: Exceed media resource maximum limit,Connection refused."},
        {"a sub viewer costs 1", 0, kLogin, 1, 1, 0xFF, 64, 3.0f, 0, -1, NULL}, /* 3 - 2 - 1 = 0 */
        {"10000 with the flag", 1, kLogin, 10000, 2, 0xFF, 64, 0, 0, -1, NULL},
    };
    p->tDevCapInfo.bRealplayCheckFlag = 1;
    p->tDevCapInfo.fnRealplayCheck = AdmissionCheck;
    VXQ_F_OFFLINE_AddViewer(p, 20, 3, 0); /* one realplay connection exists */
    for (const Row &r : aRows) {
        p->tDevCapInfo.bSpecialChFlag = r.bSpecial;
        pCmd->pUserInfo->dwPopMask = r.dwPop;
        for (int i = 0; i < 64; i++)
            pCmd->pUserInfo->dwChPopMask[i] = r.dwPop;
        p->iMaxRealplayClientNum = r.iMaxClients;
        p->bMediaResCtrl = r.fBudget > 0;
        p->fMaxMediaResourceNum = r.fBudget;
        p->fMainMediaResourceLoss = 2.0f;
        g_dwCheckVerdict = r.dwVerdict;
        _VXQ_S_DPS_NET_PORT_DATA *pConn = VXQ_F_OFFLINE_AddPeer(p, 5, VXQ_DPS_CONN_NEW, 0);
        LogCapture tLog;
        Bytes tAnswer = Call(VXQ_F_DPS_MW_DoNetMsg_P2_REALPLAY_OPEN, pConn,
                                            OpenMsg(P2_REALPLAY_OPEN, r.dwLogin, r.usChNo, r.usStreamNo));
        if (r.iResult >= 0) {
            EXPECT_EQ(Result(tAnswer), r.iResult) << r.sCase;
            EXPECT_EQ(tAnswer.size(), 28u) << r.sCase;
            EXPECT_EQ(tAnswer[10] & 3, 1) << r.sCase;
            EXPECT_EQ(pConn->iConnType, VXQ_DPS_CONN_NEW) << r.sCase;
            EXPECT_EQ(pConn->tMedia.pWaitRespBuf, nullptr) << r.sCase;
            EXPECT_TRUE(EventIds().empty()) << r.sCase;
            EXPECT_EQ(tLog.Count(r.sText), 1) << r.sCase;
        } else {
            EXPECT_TRUE(tAnswer.empty()) << r.sCase << ": waits for the host";
            EXPECT_EQ(pConn->iConnType, VXQ_DPS_CONN_MEDIA) << r.sCase;
            EXPECT_EQ(pConn->tMedia.iStreamState, 1) << r.sCase;
            EXPECT_EQ(pConn->iChNo, r.usChNo) << r.sCase;
            EXPECT_EQ(pConn->dwLoginId, kLogin) << r.sCase;
            EXPECT_NE(pConn->tOpenTime, 0) << r.sCase << ": an accepted open is dated";
            EXPECT_EQ(EventIds(), std::vector<int32_t>({EVENT_E2_OPEN_MEDIA_STREAM})) << r.sCase;
            EXPECT_EQ(g_tLastCheck.dwAction, 0u);
            EXPECT_EQ(g_tLastCheck.dwLoginId, kLogin);
            EXPECT_EQ(g_tLastCheck.dwChNo, (uint32_t)r.usChNo);
            EXPECT_EQ(g_tLastCheck.dwStreamNo, (uint32_t)r.usStreamNo);
        }
        free(pConn->tMedia.pWaitRespBuf);
        free(pConn);
        p->pConn[5] = NULL;
        for (int i = 0; i < VXQ_DPS_MEDIA_CH_SLOT_NUM; i++)
            for (int j = 0; j < 3; j++)
                p->pMediaCh[i].tSubCh[j].iStreamOpenState = 0;
    }
}

TEST_F(LiveChecks, AnExtendedOpenCarriesItsConnectionIdAndLooksUpTheSubChannelLast)
{
    _VXQ_S_DPS_NET_PORT_DATA *pConn = VXQ_F_OFFLINE_AddPeer(p, 5, VXQ_DPS_CONN_NEW, 0);
    Bytes tMsg = OpenMsg(P2_EX_REALPLAY_OPEN, kLogin, 1, 3);
    VXQ_F_TESTCLI_PutU32(tMsg, 28, 0xC0FFEE);
    Bytes tAnswer = Call(VXQ_F_DPS_MW_DoNetMsg_P2_EX_REALPLAY_OPEN, pConn, tMsg);
    EXPECT_EQ(Result(tAnswer), 1);
    EXPECT_EQ(VXQ_F_TESTCLI_GetU32(tAnswer, 32), pConn->dwPortId);
    EXPECT_EQ(pConn->iConnType, VXQ_DPS_CONN_MEDIA) << "made a realplay connection before the lookup";
    EXPECT_EQ(pConn->dwClaimId, 0xC0FFEEu);
    EXPECT_EQ(pConn->tMedia.pWaitRespBuf, nullptr);

    /* An open stream answers at once from the request and asks for an I-frame. */
    p->pMediaCh[1].tSubCh[0].iStreamOpenState = 2;
    tAnswer = Call(VXQ_F_DPS_MW_DoNetMsg_P2_EX_REALPLAY_OPEN, pConn, OpenMsg(P2_EX_REALPLAY_OPEN, kLogin, 1, 0));
    EXPECT_EQ(Result(tAnswer), 0);
    EXPECT_EQ(VXQ_F_TESTCLI_GetU32(tAnswer, 32), pConn->dwPortId);
    EXPECT_EQ(pConn->tMedia.iStreamState, 2);
    EXPECT_EQ(pConn->tMedia.pWaitRespBuf, nullptr);
    EXPECT_EQ(EventIds(), std::vector<int32_t>({EVENT_E2_FORCE_I_FRAME}));
}

/* Stream control (type, code) and I-frames only (code): where they must come
 * from, which viewer they find, and the switches each sets, in sequence. */
TEST_F(LiveChecks, StreamControlAndIFramesOnlyCheckTheirFieldsAndSwitchTheViewer)
{
    _VXQ_S_DPS_NET_PORT_DATA *pMedia = VXQ_F_OFFLINE_AddViewer(p, 7, 1, 0);
    pMedia->dwLoginId = kLogin;
    pMedia->tMedia.bRecvIFrame = 1;
    _VXQ_S_DPS_NET_PORT_DATA *pOther = VXQ_F_OFFLINE_AddViewer(p, 8, 1, 0);
    pOther->dwLoginId = 0x55;
    const uint32_t dwId = pMedia->dwPortId, dwOther = pOther->dwPortId;
    const int32_t kOnly = -9; /* the row is an I-frames-only request */
    const struct {
        bool bOnMedia;
        uint32_t dwLogin, dwMediaId;
        int32_t iType, iCode;
        int iResult;
        int iVideoPause, iAudioPause, iRecvIFrame, iOnlyIFrame; /* after the row */
    } tRows[] = {
        {true, kLogin, dwId, 0, 0, 6, 0, 0, 1, 0},  /* not on the command connection */
        {false, 0x99, dwId, 0, 0, 6, 0, 0, 1, 0},   /* another login id */
        {false, kLogin, dwId, 3, 0, 2, 0, 0, 1, 0}, {false, kLogin, dwId, -1, 0, 2, 0, 0, 1, 0},
        {false, kLogin, dwId, 0, 2, 2, 0, 0, 1, 0}, {false, kLogin, 0, 0, 0, 2, 0, 0, 1, 0},
        {false, kLogin, dwOther, 0, 0, 2, 0, 0, 1, 0}, /* another login's viewer is not found */
        {false, kLogin, dwId, 0, 1, 0, 0, 0, 1, 0},    /* continuing video that never paused */
        {false, kLogin, dwId, 2, 0, 0, 1, 1, 1, 0},
        {false, kLogin, dwId, 1, 1, 0, 1, 0, 1, 0},
        {false, kLogin, dwId, 0, 1, 0, 0, 0, 0, 0}, /* video resumes at the next I-frame */
        {true, kLogin, dwId, kOnly, 0, 6, 0, 0, 1, 0}, /* each I-frames-only row starts waiting for one */
        {false, kLogin, dwId, kOnly, 2, 2, 0, 0, 1, 0},
        {false, kLogin, 0, kOnly, 0, 2, 0, 0, 1, 0},
        {false, kLogin, 0x12345678, kOnly, 0, 1, 0, 0, 1, 0},
        {false, kLogin, dwId, kOnly, 0, 0, 0, 0, 1, 1},
        {false, kLogin, dwId, kOnly, 1, 0, 0, 0, 0, 0},
    };
    for (const auto &r : tRows) {
        SCOPED_TRACE(testing::Message() << &r - tRows);
        const bool bOnly = r.iType == kOnly;
        if (bOnly)
            pMedia->tMedia.bRecvIFrame = 1;
        Bytes t = VXQ_F_TESTCLI_BuildZeroMsg(bOnly ? P2_ONLY_I_FRAME : P2_CTRL_STREAM, 1, bOnly ? 12 : 16);
        VXQ_F_TESTCLI_PutU32(t, 20, r.dwLogin);
        VXQ_F_TESTCLI_PutU32(t, 24, r.dwMediaId);
        VXQ_F_TESTCLI_PutU32(t, 28, (uint32_t)(bOnly ? r.iCode : r.iType));
        if (!bOnly) /* the I-frames-only request ends at 32 */
            VXQ_F_TESTCLI_PutU32(t, 32, (uint32_t)r.iCode);
        EXPECT_EQ(Result(Call(bOnly ? VXQ_F_DPS_MW_DoNetMsg_P2_ONLY_I_FRAME : VXQ_F_DPS_MW_DoNetMsg_P2_CTRL_STREAM,
                              r.bOnMedia ? pMedia : pCmd, t)),
                  r.iResult);
        EXPECT_EQ(pMedia->tMedia.bVideoPause, (uint32_t)r.iVideoPause);
        EXPECT_EQ(pMedia->tMedia.bAudioPause, (uint32_t)r.iAudioPause);
        EXPECT_EQ(pMedia->tMedia.bRecvIFrame, (uint32_t)r.iRecvIFrame);
        EXPECT_EQ(pMedia->tMedia.bOnlyIFrame, (uint32_t)r.iOnlyIFrame);
        EXPECT_EQ(pOther->tMedia.bVideoPause, 0u);
    }
}

TEST_F(LiveChecks, ClosesAnswerAtOnceAndTheExtendedCloseNamesItsViewer)
{
    p->tDevCapInfo.bRealplayCheckFlag = 1;
    p->tDevCapInfo.fnRealplayCheck = AdmissionCheck;
    p->pMediaCh[1].tSubCh[0].iStreamOpenState = 2;
    _VXQ_S_DPS_NET_PORT_DATA *pMedia = VXQ_F_OFFLINE_AddViewer(p, 7, 1, 0);
    pMedia->dwLoginId = kLogin;
    auto fnExClose = [&](_VXQ_S_DPS_NET_PORT_DATA *in_pOn, uint32_t in_dwMediaId) {
        Bytes t = VXQ_F_TESTCLI_BuildZeroMsg(P2_EX_REALPLAY_CLOSE, 1, 8);
        VXQ_F_TESTCLI_PutU32(t, 20, kLogin);
        VXQ_F_TESTCLI_PutU32(t, 24, in_dwMediaId);
        return Result(Call(VXQ_F_DPS_MW_DoNetMsg_P2_EX_REALPLAY_CLOSE, in_pOn, t));
    };
    EXPECT_EQ(fnExClose(pMedia, pMedia->dwPortId), 6) << "must come on the command connection";
    EXPECT_EQ(fnExClose(pCmd, 0), 0);
    EXPECT_EQ(pMedia->tMedia.iStreamState, 2) << "an id of 0 or an unknown one changes nothing";
    EXPECT_EQ(g_iCheckCalls, 0);
    EXPECT_EQ(fnExClose(pCmd, pMedia->dwPortId), 0);
    EXPECT_EQ(pMedia->tMedia.iStreamState, 0);
    EXPECT_EQ(g_iCheckCalls, 1);
    EXPECT_EQ(g_tLastCheck.dwAction, 1u);
    EXPECT_EQ(p->pMediaCh[1].tSubCh[0].iStreamOpenState, 0);
    EXPECT_EQ(EventIds(), std::vector<int32_t>({EVENT_E2_CLOSE_MEDIA_STREAM}));
    EXPECT_EQ(pMedia->iConnType, VXQ_DPS_CONN_MEDIA) << "the connection stays a realplay connection";
}

/* A capability answer carries at most 8 entries (names cut to 15 characters),
 * written only within the stored request, which goes back with its own length. */
TEST_F(LiveChecks, QualityAnswersAreWrittenOnlyWithinTheStoredRequest)
{
    Bytes tBody(8 + 9 * 28, 0);
    for (int i = 0; i < 9; i++) {
        _VXQ_S_DPS_VIDEO_QUALITY_CAP_ITEM tItem;
        memset(&tItem, 'x', sizeof(tItem.sName));
        tItem.dwValue = 0x01020300u + (uint32_t)i;
        for (int j = 0; j < 4; j++)
            tItem.usValue[j] = (uint16_t)(0x100 * i + j);
        memcpy(tBody.data() + 8 + 28 * i, &tItem, 28);
    }
    /* 9 entries to a request short of its answer fields, 7 to a whole one. */
    for (auto tCase : {std::make_pair((size_t)8 + 28, 9), std::make_pair((size_t)236, 7)}) {
        const size_t nReqBody = tCase.first;
        const uint32_t dwWant = tCase.second < 8 ? (uint32_t)tCase.second : 8u;
        memcpy(tBody.data() + 4, &tCase.second, 4);
        Bytes tCap = VXQ_F_TESTCLI_BuildZeroMsg(P2_GET_VIDEO_QUALITY_CAP, 1, nReqBody);
        std::fill(tCap.begin() + 32, tCap.end(), 0xEE); /* a name's 16 bytes are written whole */
        _VXQ_S_DPS_TRANS_DATA *pCapTrans = VXQ_F_DPS_MC_Trans_CreateTransDataOfLinkData(
            p, pCmd->dwPortId, P2_GET_VIDEO_QUALITY_CAP, tCap.data(), (int32_t)tCap.size());
        ASSERT_NE(pCapTrans, nullptr);
        const uint32_t dwTransId = pCapTrans->dwTransId;
        Order(TestOrder(EVENT_E2_GET_VIDEO_QUALITY_CAP, 0, dwTransId, tBody.data(), (int32_t)tBody.size()));
        Bytes tAnswer = OneSent(pCmd);
        ASSERT_EQ(tAnswer.size(), 20 + nReqBody);
        EXPECT_EQ(tAnswer[11], 0);
        EXPECT_EQ(VXQ_F_TESTCLI_GetU32(tAnswer, 28), dwWant);
        for (size_t i = 0; i < dwWant && 32 + 28 * i + 28 <= tAnswer.size(); i++) {
            size_t iOff = 32 + 28 * i;
            EXPECT_EQ(std::string((const char *)tAnswer.data() + iOff), std::string(15, 'x'));
            EXPECT_EQ(VXQ_F_TESTCLI_GetU32(tAnswer, iOff + 16), 0x01020300u + (uint32_t)i);
            EXPECT_EQ(VXQ_F_TESTCLI_GetU16(tAnswer, iOff + 26), (uint16_t)(0x100 * i + 3));
        }
        EXPECT_EQ(VXQ_F_DPS_MC_Trans_QueryTransDataByTransId(p, dwTransId), nullptr) << "transaction deleted";
        /* An answer with transaction id 0 waits for nothing. */
        Order(TestOrder(EVENT_E2_GET_VIDEO_QUALITY_CAP, 0, 0, tBody.data(), (int32_t)tBody.size()));
        EXPECT_TRUE(Sent().empty());
    }

    Bytes tLevel = VXQ_F_TESTCLI_BuildZeroMsg(P2_GET_VIDEO_QUALITY_LEVEL, 1, 8);
    _VXQ_S_DPS_TRANS_DATA *pLevelTrans = VXQ_F_DPS_MC_Trans_CreateTransDataOfLinkData(
        p, pCmd->dwPortId, P2_GET_VIDEO_QUALITY_LEVEL, tLevel.data(), (int32_t)tLevel.size());
    ASSERT_NE(pLevelTrans, nullptr);
    uint32_t aLevelBody[2] = {0, 5};
    Order(TestOrder(EVENT_E2_GET_VIDEO_QUALITY_LEVEL, 0, pLevelTrans->dwTransId, aLevelBody, 8));
    EXPECT_EQ(OneSent(pCmd).size(), 28u);
}

/* The first viewer waits for the host; a second one arriving meanwhile raises
 * no event and waits with its answer prepared. The host's answer goes to both
 * (the bytes pass the engine, which the rig does not capture): accepted, both
 * stream; refused, both are back in state 0. */
TEST_F(LiveChecks, TheFirstViewerWaitsForTheHostAndASecondOneArrivingMeanwhileGetsTheSameAnswer)
{
    const struct {
        uint16_t usChNo;
        uint8_t ucHostCode;
        int32_t iState;
    } tRows[] = {{1, 0, 2}, {3, VXQ_DPS_APP_ERR_OPEN_STREAM, 0}};
    for (const auto &r : tRows) {
        _VXQ_S_DPS_NET_PORT_DATA *pViewers[2];
        for (int i = 0; i < 2; i++) {
            pViewers[i] = VXQ_F_OFFLINE_AddPeer(p, 5 + i, VXQ_DPS_CONN_NEW, 0);
            EXPECT_TRUE(Call(VXQ_F_DPS_MW_DoNetMsg_P2_REALPLAY_OPEN, pViewers[i],
                             OpenMsg(P2_REALPLAY_OPEN, kLogin, r.usChNo, 0))
                            .empty());
            EXPECT_EQ(pViewers[i]->tMedia.iStreamState, 1);
            Bytes tWaiting(pViewers[i]->tMedia.pWaitRespBuf, pViewers[i]->tMedia.pWaitRespBuf + 28);
            EXPECT_EQ(VXQ_F_TESTCLI_GetU16(tWaiting, 8), P2_REALPLAY_OPEN);
            EXPECT_EQ(tWaiting[10] & 3, 1);
        }
        EXPECT_EQ(EventIds(), std::vector<int32_t>({EVENT_E2_OPEN_MEDIA_STREAM})) << "one open event only";
        _VXQ_S_DPS_E2_OPEN_MEDIA_STREAM tBody;
        memset(&tBody, 0, sizeof(tBody));
        tBody.i_iChNo = r.usChNo;
        Order(TestOrder(EVENT_E2_OPEN_MEDIA_STREAM, r.ucHostCode, 0, &tBody, sizeof(tBody)));
        EXPECT_EQ(p->pMediaCh[r.usChNo].tSubCh[0].iStreamOpenState, 2);
        for (int i = 0; i < 2; i++) {
            EXPECT_EQ(pViewers[i]->tMedia.pWaitRespBuf, nullptr) << "answered";
            EXPECT_EQ(pViewers[i]->tMedia.iStreamState, r.iState);
            VXQ_F_DPS_MC_NetPortData_Delete(p, pViewers[i]);
        }
    }
}

/* Three main viewers (2 each), a sub viewer (1) and a download (1) in a budget
 * of 5: the newest viewers go until it fits, the download stays. */
TEST_F(LiveChecks, ASmallerMediaBudgetDropsTheNewestViewersUntilItFits)
{
    const struct {
        int32_t iStreamNo;
        bool bStays;
    } tViewers[] = {{0, true}, {0, true}, {0, false}, {1, false}};
    for (int i = 0; i < 4; i++)
        VXQ_F_OFFLINE_AddViewer(p, 10 + i, 0, tViewers[i].iStreamNo)->tOpenTime = 101 + i;
    VXQ_F_OFFLINE_AddPeer(p, 20, VXQ_DPS_CONN_DOWN, kLogin);
    p->bMediaResCtrl = 1;
    p->fMaxMediaResourceNum = 5.0f;
    p->fMainMediaResourceLoss = 2.0f;
    p->fReplayResourceLoss = 1.0f;
    VXQ_F_DPS_MC_DisconnectToReleaseResorce(p);
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(p->pConn[10 + i] != nullptr, tViewers[i].bStays) << i;
    EXPECT_NE(p->pConn[20], nullptr);
    EXPECT_EQ(VXQ_F_DPS_MC_GetFreeMediaResourceNum(p), 0.0f);
}

} // namespace
