/* A date past January 2038 (the leap day of 2040) through the clock, the local
 * times the service makes and the date-times it passes through, and the rules
 * timed in seconds across the wrap of the 32-bit seconds, on every build: the
 * 32-bit target runs this under emulation. */
#include "ops/record.h"
#include "ops/talk_alarm.h"
#include "support/offline_rig.h"
#include "vxq_syshelp.h"

#include <functional>
#include <stdlib.h>
#include <time.h>

namespace
{

const uint32_t kLogin = 0x20400229u;
const int64_t kLeapDay2040 = 2214129600; /* 2040-02-29 12:00:00 UTC */
/* Its 12-byte wire date-time: year 2040 (0x07F8), month 2, day 29, 12:00:00. */
const Bytes kWireTime = {0xF8, 0x07, 2, 0, 29, 12, 0, 0, 0, 0, 0, 0};

/* The local times are those of UTC (the value stays for the rest of the program). */
class Past2038 : public OfflineRig
{
  protected:
    void SetUp() override
    {
        setenv("TZ", "UTC0", 1);
        tzset();
        OfflineRig::SetUp();
    }
    /* Handles the order that VXQ_F_DPS_UpAlarmMsg or VXQ_F_DPS_SendAlarmMsg queued. */
    void HandleQueuedOrder()
    {
        char ucOrder[512];
        int32_t iLen = (int32_t)sizeof(ucOrder);
        ASSERT_EQ(VXQ_F_TOOLS_QUEUE_GetData(p->hOrderQueue, ucOrder, &iLen, 0), 1);
        Order(Bytes(ucOrder, ucOrder + iLen));
    }
};

} // namespace

TEST_F(Past2038, TheLeapDayOf2040PassesThroughConversionsAlarmsAndRecordQueriesUnchanged)
{
    TestClock tClock(kLeapDay2040);

    /* The conversions of date-time records; the exported 32-bit calendar time
     * keeps its limit. */
    _VXQ_S_TD_DATE_TIME tFrom = {2040, 2, 29, 12, 0, 0, {0, 0, 0, 0}};
    _VXQ_S_TD_DATE_TIME tTo = {2040, 3, 1, 12, 0, 1, {0, 0, 0, 0}};
    EXPECT_EQ(VXQ_F_SYS_ComputeTdTimeLen(&tFrom, &tTo), 86401);
    EXPECT_EQ(VXQ_F_SYS_TdTime_To_Timet(&tFrom), -1);

    /* An alarm notice carries it as its local time (log lines take the same clock
     * conversion), the extended one in its id too. */
    _VXQ_S_DPS_NET_PORT_DATA *pCmd = AddConn(1, VXQ_DPS_CONN_COMMAND, kLogin, 0, VXQ_DPS_POP_RECORD_SEARCH);
    ASSERT_EQ(VXQ_F_DPS_SendAlarmMsg(p, "source", 1, 2, "extended"), 1);
    HandleQueuedOrder();
    Bytes tNotice = OneSent(pCmd);
    ASSERT_EQ(tNotice.size(), (size_t)VXQ_DPS_EX_ALARM_NOTICE_LEN);
    EXPECT_EQ(std::string((const char *)tNotice.data() + 20, 16), "AI20400229120000");
    EXPECT_EQ(Bytes(tNotice.begin() + 56, tNotice.begin() + 68), kWireTime);

    /* A record query's time range reaches the host as the client sent it. */
    Bytes tQuery = TestMsg(P3_QUERY_FILE, 9, VXQ_F_OFFLINE_MsgLen(P3_QUERY_FILE) - 20);
    TestPutLe32(tQuery, 20, kLogin);
    std::copy(kWireTime.begin(), kWireTime.end(), tQuery.begin() + 40);
    const Bytes kLater = {0xF8, 0x07, 3, 0, 1, 23, 59, 59, 0, 0, 0, 0};
    std::copy(kLater.begin(), kLater.end(), tQuery.begin() + 52);
    ASSERT_EQ(Request(pCmd, tQuery), 1);
    Bytes tEvent = OneEvent(EVENT_E2_FILE_QUERY);
    _VXQ_S_DPS_E2_FILE_QUERY tBody;
    ASSERT_EQ(tEvent.size(), sizeof(_VXQ_S_DPS_MSG_HEAD) + sizeof(tBody));
    memcpy(&tBody, tEvent.data() + sizeof(_VXQ_S_DPS_MSG_HEAD), sizeof(tBody));
    const _VXQ_S_TD_DATE_TIME &s = tBody.i_tStartTime, &e = tBody.i_tEndTime;
    EXPECT_EQ(std::vector<int>({s.usYear, s.usMonth, s.ucDay, s.ucHour, s.ucMinute, s.ucSecond}),
              std::vector<int>({2040, 2, 29, 12, 0, 0}));
    EXPECT_EQ(std::vector<int>({e.usYear, e.usMonth, e.ucDay, e.ucHour, e.ucMinute, e.ucSecond}),
              std::vector<int>({2040, 3, 1, 23, 59, 59}));
}

TEST_F(Past2038, RulesTimedInSecondsFireOnTheirOwnSecondAcrossTheWrapOfSigned32BitSeconds)
{
    /* Every rule starts 5 s before 2038-01-19 03:14:08 UTC, where the low 32
     * bits of the seconds pass 0x7FFFFFFF, and falls due after it. */
    TestClock tClock(0x80000000LL - 5);
    const int32_t tStart = VXQ_F_CLOCK_NowSec();

    _VXQ_S_DPS_NET_PORT_DATA *pBeating = AddConn(1, VXQ_DPS_CONN_COMMAND, kLogin);
    pBeating->bHeartbeat = 1;
    pBeating->tLastRecvTime = tStart;
    AddConn(2, VXQ_DPS_CONN_COMMAND)->tAdmit.tAdmitStart = tStart; /* never logs in */
    _VXQ_S_DPS_NET_PORT_DATA *pTalk = AddConn(3, VXQ_DPS_CONN_TALK, kLogin);
    pTalk->iChNo = 2;
    p->tTalkCh[2].iTalkChNo = 2;
    p->tTalkCh[2].iChState = 2; /* waiting for the host */
    p->tTalkCh[2].dwStateTime = (uint32_t)tStart;
    p->tTalkCh[2].dwTalkPortId = pTalk->dwPortId;
    _VXQ_S_DPS_NET_PORT_DATA *pHeld = AddConn(4, VXQ_DPS_CONN_COMMAND, kLogin);
    Bytes tAnswer = TestMsg(P0_HEARTBEAT, 7, 0);
    ASSERT_EQ(VXQ_F_DPS_MC_ADMIT_HoldAnswer(p, pHeld, tAnswer.data(), (int32_t)tAnswer.size(), 8, 0), 1);
    _VXQ_S_DPS_TRANS_DATA *pTrans = VXQ_F_DPS_MC_Trans_CreateTransData(p);
    ASSERT_NE(pTrans, nullptr);
    const uint32_t dwTransId = pTrans->dwTransId;
    p->bSavedDebugLog = 0;
    p->bDebugLog = 1;
    p->tDebugParamTime = tStart;
    Sent();

    int iHeldOut = 0;
    const struct {
        const char *sRule;
        int32_t iDueSec; /* seconds after the start */
        std::function<bool()> fnFired;
    } tRules[] = {
        {"held answer goes out", 8, [&] { return iHeldOut == 1; }},
        {"debug switches return", 10, [&] { return p->bDebugLog == 0 && p->tDebugParamTime == 0; }},
        {"login due", 30, [&] { return !ConnAlive(2); }},
        {"talk left waiting for the host stops", 60, [&] { return p->tTalkCh[2].iChState == 0; }},
        {"heartbeat time-out drops", 60, [&] { return !ConnAlive(1); }},
        {"transaction expires", 120,
         [&] { return VXQ_F_DPS_MC_Trans_QueryTransDataByTransId(p, dwTransId) == nullptr; }},
    };
    for (int32_t iSec = 1; iSec <= 125; iSec++) {
        tClock.AdvanceSec(1);
        VXQ_F_DPS_MC_DoTimer(p);
        for (const _VXQ_S_OFFLINE_SENT &tSent : Sent())
            iHeldOut += tSent.pConn == pHeld && TestLe32(tSent.tMsg, 12) == 7u;
        for (const auto &r : tRules)
            ASSERT_EQ(r.fnFired(), iSec >= r.iDueSec) << r.sRule << ", " << iSec << " s after the start";
    }
}
