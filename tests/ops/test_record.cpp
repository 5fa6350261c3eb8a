/* Record search and download through a running service, a test client and a
 * test host that holds recordings (support/record_host.h). */
#include "ops/record.h"

#include "core/channel.h"
#include "support/offline_link.h"
#include "support/record_host.h"
#include "support/test_client.h"
#include "support/test_host.h"
#include "support/wait_until.h"
#include "wire/head.h"
#include "vxq_queue.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <string.h>
#include <sys/socket.h>

#include <deque>
#include <functional>

#include <string>
#include <vector>

namespace
{

const uint32_t kBody = VXQ_TESTCLI_HEAD_LEN; /* message offset of body offset 0 */

/* One request of the family with a zeroed body of the table length (minus the head). */
std::vector<uint8_t> Msg(uint16_t in_usFuncId, size_t in_iLength, uint32_t in_dwFirst)
{
    std::vector<uint8_t> tMsg = VXQ_F_TESTCLI_BuildZeroMsg(in_usFuncId, 7, in_iLength - VXQ_TESTCLI_HEAD_LEN);
    VXQ_F_TESTCLI_PutU32(tMsg, kBody, in_dwFirst);
    return tMsg;
}

std::vector<uint8_t> QueryMsg(uint32_t in_dwLoginId, int32_t in_iChNo)
{
    std::vector<uint8_t> tMsg = Msg(P3_QUERY_FILE, VXQ_F_OFFLINE_MsgLen(P3_QUERY_FILE), in_dwLoginId);
    VXQ_F_TESTCLI_PutU32(tMsg, kBody + 4, (uint32_t)in_iChNo);
    VXQ_F_TESTCLI_PutU16(tMsg, kBody + 20, 2026); /* start time year */
    VXQ_F_TESTCLI_PutU16(tMsg, kBody + 22, 12);
    return tMsg;
}

std::vector<uint8_t> OpenMsg(uint32_t in_dwLoginId, const std::string &in_sFlag)
{
    std::vector<uint8_t> tMsg = Msg(P3_DOWNLOAD_OPEN, VXQ_F_OFFLINE_MsgLen(P3_DOWNLOAD_OPEN), in_dwLoginId);
    memcpy(tMsg.data() + kBody + 4, in_sFlag.data(), in_sFlag.size());
    return tMsg;
}

std::vector<uint8_t> GetMsg(uint32_t in_dwReadId, uint32_t in_dwRequId)
{
    std::vector<uint8_t> tMsg = Msg(P3_DOWNLOAD_GET, VXQ_F_OFFLINE_MsgLen(P3_DOWNLOAD_GET), 0);
    VXQ_F_TESTCLI_PutU32(tMsg, kBody + 4, in_dwReadId);
    VXQ_F_TESTCLI_PutU32(tMsg, kBody + 8, in_dwRequId);
    tMsg[kBody + 12] = 1;
    tMsg[kBody + 13] = 64;
    tMsg[kBody + 15] = 0xC0; /* bits the answer keeps */
    return tMsg;
}

/* A file operation of its table length naming in_dwReadId. */
std::vector<uint8_t> FileOpMsg(uint16_t in_usFuncId, uint32_t in_dwReadId)
{
    size_t iLen = in_usFuncId == P3_DOWNLOAD_CLOSE         ? VXQ_F_OFFLINE_MsgLen(P3_DOWNLOAD_CLOSE)
                  : in_usFuncId == P3_DOWNLOAD_SEEK        ? VXQ_F_OFFLINE_MsgLen(P3_DOWNLOAD_SEEK)
                  : in_usFuncId == P3_DOWNLOAD_QVIDEO      ? VXQ_F_OFFLINE_MsgLen(P3_DOWNLOAD_QVIDEO)
                  : in_usFuncId == P3_DOWNLOAD_ONLY_IFRAME ? VXQ_F_OFFLINE_MsgLen(P3_DOWNLOAD_ONLY_IFRAME)
                  : in_usFuncId == P3_DOWNLOAD_GET         ? VXQ_F_OFFLINE_MsgLen(P3_DOWNLOAD_GET)
                                                   : VXQ_F_OFFLINE_MsgLen(P3_DOWNLOAD_RECOVER_ALLFRAME);
    std::vector<uint8_t> tMsg = Msg(in_usFuncId, iLen, 0);
    VXQ_F_TESTCLI_PutU32(tMsg, kBody + 4, in_dwReadId);
    return tMsg;
}

uint8_t Result(const std::vector<uint8_t> &in_tMsg)
{
    return in_tMsg.size() >= 12 ? in_tMsg[11] : 0xFF;
}

class RecordTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        VXQ_F_TESTHOST_AddUser(&tHost, "admin", "secret", 0xFF, 0);
        VXQ_F_TESTHOST_AddUser(&tHost, "viewer", "secret", 0, 0x01 | 0x08);
        tHost.tCap.iDevCapValue5 = 1;
        VXQ_F_RECHOST_AddFile(&tRec, "ch0/rec-0001", 0, 3000, 11);
        VXQ_F_RECHOST_AddFile(&tRec, "ch1/rec-0001", 1, 5 * 1024 * 1024 + 12345, 22);
        VXQ_F_RECHOST_AddFile(&tRec, "ch1/rec-0002", 1, 100, 33);
        VXQ_F_RECHOST_Install(&tRec, &tHost);
        ASSERT_EQ(1, VXQ_F_TESTHOST_Start(&tHost));
        ASSERT_EQ(1, Login(&pCmd, "admin", &dwLoginId));
    }

    void TearDown() override
    {
        for (_VXQ_S_TESTCLI_DATA &tCli : tClients)
            VXQ_F_TESTCLI_Close(&tCli);
        VXQ_F_TESTHOST_Stop(&tHost);
    }

    /* A new client in the fixture's own storage (its address stays valid and it
     * is closed at tear-down, after every test body's locals are gone), connected
     * to the service. *out_ppCli is set even when the connect fails. */
    int Connect(_VXQ_S_TESTCLI_DATA **out_ppCli)
    {
        *out_ppCli = &tClients.emplace_back();
        VXQ_F_TESTCLI_Init(*out_ppCli);
        return VXQ_F_TESTCLI_Connect(*out_ppCli, tHost.usPort);
    }

    int Login(_VXQ_S_TESTCLI_DATA **out_ppCli, const char *in_sUser, uint32_t *out_pdwLoginId)
    {
        return Connect(out_ppCli) &&
               VXQ_F_TESTCLI_TokenAndLogin(*out_ppCli, in_sUser, "secret", out_pdwLoginId);
    }

    /* Opens ch1/rec-0001 on a new connection; the read id from the answer. */
    uint32_t OpenDownload(_VXQ_S_TESTCLI_DATA **out_ppCli, const std::string &in_sFlag = "ch1/rec-0001")
    {
        std::vector<uint8_t> tAnswer;
        if (!Connect(out_ppCli) ||
            !VXQ_F_TESTCLI_Request(*out_ppCli, OpenMsg(dwLoginId, in_sFlag), tAnswer) || Result(tAnswer) != 0)
            return 0;
        return VXQ_F_TESTCLI_GetU32(tAnswer, kBody + 140);
    }

    /* Runs in_fnCheck on the control thread with the connection record of a client. */
    void OnConnOf(_VXQ_S_TESTCLI_DATA *in_pCli,
                  std::function<void(_VXQ_S_DPS_MCSRV_DATA *, _VXQ_S_DPS_NET_PORT_DATA *)> in_fnCheck)
    {
        struct sockaddr_in tAddr;
        socklen_t iAddrLen = sizeof(tAddr);
        ASSERT_EQ(0, getsockname(in_pCli->iSock, (struct sockaddr *)&tAddr, &iAddrLen));
        uint16_t usPort = ntohs(tAddr.sin_port);
        bool bFound = false;
        ASSERT_EQ(1, VXQ_F_TESTHOST_OnControlThread(&tHost, [&](_VXQ_S_DPS_MCSRV_DATA *p) {
                      for (int i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++) {
                          if (p->pConn[i] && p->pConn[i]->usPeerPort == usPort) {
                              bFound = true;
                              in_fnCheck(p, p->pConn[i]);
                          }
                      }
                  }));
        ASSERT_TRUE(bFound);
    }

    /* Transactions parked now (control thread). */
    int TransCount()
    {
        int iNum = 0;
        VXQ_F_TESTHOST_OnControlThread(&tHost, [&](_VXQ_S_DPS_MCSRV_DATA *p) {
            for (int i = 0; i < VXQ_DPS_MAX_TRANS_NUM; i++)
                iNum += p->pTrans[i] != nullptr;
        });
        return iNum;
    }

    /* Waits for the next event of in_iId (taken from the host's list). */
    std::vector<uint8_t> Event(int32_t in_iId)
    {
        std::vector<uint8_t> tEvent;
        EXPECT_EQ(1, VXQ_F_TESTHOST_WaitEvent(&tHost, in_iId, tEvent)) << std::hex << in_iId;
        return tEvent;
    }

    /* Whether an event of in_iId is in the host's list (without waiting). */
    bool HasEvent(int32_t in_iId)
    {
        std::vector<uint8_t> tEvent;
        return VXQ_F_TESTHOST_WaitEvent(&tHost, in_iId, tEvent, 0) == 1;
    }

    /* Events raised before now have reached the host: a query answered on a
     * connection of its own, whose event the host sees after all earlier ones
     * (one callback thread, events in order). Its event is taken from the list. */
    void FlushEvents()
    {
        std::vector<uint8_t> tAnswer;
        if (pFlush == nullptr) {
            ASSERT_EQ(1, Login(&pFlush, "admin", &dwFlushId));
        }
        ASSERT_EQ(1, VXQ_F_TESTCLI_Request(pFlush, QueryMsg(dwFlushId, 3), tAnswer));
        Event(EVENT_E2_FILE_QUERY);
    }

    _VXQ_S_TESTHOST_DATA tHost;
    _VXQ_S_RECHOST_DATA tRec;
    _VXQ_S_TESTCLI_DATA *pCmd = nullptr;
    _VXQ_S_TESTCLI_DATA *pFlush = nullptr;
    uint32_t dwFlushId = 0;
    uint32_t dwLoginId = 0;
    std::deque<_VXQ_S_TESTCLI_DATA> tClients; /* every client; a deque never moves them */
};

} // namespace

/* Sends a heartbeat and expects it to be the next message: nothing else came before it. */
#define EXPECT_NOTHING_BEFORE_HEARTBEAT(pCli)                                                                \
    do {                                                                                                     \
        std::vector<uint8_t> tBeat;                                                                          \
        ASSERT_EQ(1, VXQ_F_TESTCLI_Heartbeat(pCli, tBeat));                                                  \
        EXPECT_EQ(P0_HEARTBEAT, VXQ_F_TESTCLI_GetU16(tBeat, 8));                                             \
    } while (0)

TEST_F(RecordTest, QueryOfAllChannelsNeedsTheSearchRightOnEveryChannel)
{
    _VXQ_S_TESTCLI_DATA *pView = nullptr;
    uint32_t dwViewId = 0;
    ASSERT_EQ(1, Login(&pView, "viewer", &dwViewId));
    OnConnOf(pView, [](_VXQ_S_DPS_MCSRV_DATA *, _VXQ_S_DPS_NET_PORT_DATA *pConn) {
        pConn->pUserInfo->dwChPopMask[2] &= ~VXQ_DPS_POP_RECORD_SEARCH;
    });
    struct {
        int32_t iChNo;
        uint8_t ucResult;
        uint32_t dwFileNum; /* records answered when accepted */
    } tRows[] = {{-1, 5, 0}, {2, 5, 0}, {1, 0, 2}, {0, 0, 1}, {3, 0, 0}};
    for (const auto &tRow : tRows) {
        std::vector<uint8_t> tAnswer;
        ASSERT_EQ(1, VXQ_F_TESTCLI_Request(pView, QueryMsg(dwViewId, tRow.iChNo), tAnswer)) << tRow.iChNo;
        EXPECT_EQ(tRow.ucResult, Result(tAnswer)) << tRow.iChNo;
        EXPECT_EQ(1, tAnswer[10] & 3);
        EXPECT_EQ(68 + 220 * tRow.dwFileNum, tAnswer.size()) << tRow.iChNo;
        if (tAnswer.size() >= 68) {
            EXPECT_EQ(tRow.dwFileNum, VXQ_F_TESTCLI_GetU32(tAnswer, kBody + 44));
        }
    }
    /* The whole device for a user with the right everywhere: every file, in wire order. */
    std::vector<uint8_t> tAnswer;
    ASSERT_EQ(1, VXQ_F_TESTCLI_Request(pCmd, QueryMsg(dwLoginId, -1), tAnswer));
    ASSERT_EQ(0, Result(tAnswer));
    ASSERT_EQ(68u + 3 * 220, tAnswer.size());
    EXPECT_EQ(68u + 3 * 220, VXQ_F_TESTCLI_GetU32(tAnswer, 4));
    for (size_t i = 0; i < 3; i++) {
        _VXQ_S_DPS_FILE_INFO tInfo = VXQ_F_RECHOST_FileInfo(&tRec, i);
        const uint8_t *pWire = tAnswer.data() + 68 + 220 * i;
        EXPECT_STREQ(tInfo.sFileFlag, (const char *)pWire);
        EXPECT_EQ(tInfo.dwFileSize, VXQ_F_DPS_MW_GetLe32(pWire + 168));
        EXPECT_EQ(2026, VXQ_F_DPS_MW_GetLe16(pWire + 140));
        EXPECT_EQ(1920, VXQ_F_DPS_MW_GetLe16(pWire + 196));
        EXPECT_EQ(0x0102u, VXQ_F_DPS_MW_GetLe32(pWire + 216));
        EXPECT_EQ((uint32_t)-3, VXQ_F_DPS_MW_GetLe32(pWire + 136));
    }
    /* The event carried the request's fields in host order. */
    std::vector<uint8_t> tEvent = Event(EVENT_E2_FILE_QUERY);
    _VXQ_S_DPS_E2_FILE_QUERY tBody;
    ASSERT_EQ(16 + sizeof(tBody), tEvent.size());
    memcpy(&tBody, tEvent.data() + 16, sizeof(tBody));
    EXPECT_EQ(1, tBody.i_iChNo); /* the viewer's first accepted query */
    EXPECT_EQ(2026, tBody.i_tStartTime.usYear);
    EXPECT_EQ(12, tBody.i_tStartTime.usMonth);
}

TEST_F(RecordTest, QueryAnswerSendsRecordsOnlyWhenTheirCountMatchesTheAppendedBytes)
{
    tRec.tManual.insert(EVENT_E2_FILE_QUERY);
    tRec.tManual.insert(EVENT_E2_NSP_FILE_QUERY);
    struct {
        bool bNsp;
        uint8_t ucErr;
        int32_t iFileNum;
        size_t iAppend;
        int iAnswerLen; /* -1: nothing is sent */
        uint8_t ucResult;
        uint32_t dwFileNum;
    } tRows[] = {
        {false, 0, 0, 0, 68, 0, 0},
        {false, 0, 2, 440, 68 + 440, 0, 2},
        {false, 0, 1, 219, -1, 0, 0},
        {false, 103, 2, 440, 68, 8, 0},
        {false, 0, -1, 0, -1, 0, 0},
        {false, 0, 0x40000000, 0, -1, 0, 0}, /* 220 times the count wraps to 0 in 32 bits */
        {true, 0, 2, 384, 88 + 384, 0, 2},
        {true, 0, -2, 0, -1, 0, 0},
        {true, 0, 0x40000000, 0, -1, 0, 0},
        {true, 9, 1, 192, 88, 99, 0},
    };
    for (const auto &tRow : tRows) {
        SCOPED_TRACE(testing::Message() << tRow.bNsp << " " << tRow.iFileNum << " " << tRow.iAppend);
        std::vector<uint8_t> tQuery;
        if (tRow.bNsp) {
            tQuery = Msg(P3_NSP_QUERY_FILE, VXQ_F_OFFLINE_MsgLen(P3_NSP_QUERY_FILE), dwLoginId);
            VXQ_F_TESTCLI_PutU32(tQuery, kBody + 4, 1);
        } else {
            tQuery = QueryMsg(dwLoginId, 1);
        }
        ASSERT_EQ(1, VXQ_F_TESTCLI_SendMsg(pCmd, tQuery));
        std::vector<uint8_t> tEvent = Event(tRow.bNsp ? EVENT_E2_NSP_FILE_QUERY : EVENT_E2_FILE_QUERY);
        ASSERT_FALSE(tEvent.empty());
        std::vector<uint8_t> tBody(tEvent.begin() + 16, tEvent.end());
        memcpy(tBody.data() + tBody.size() - 4, &tRow.iFileNum, 4);
        for (size_t i = 0; i < tRow.iAppend; i++)
            tBody.push_back((uint8_t)(i * 7));
        ASSERT_EQ(1, VXQ_F_TESTHOST_PostOrder(
                         &tHost, VXQ_F_TESTHOST_BuildOrder(VXQ_F_TESTHOST_MsgFuncId(tEvent), tRow.ucErr,
                                                           VXQ_F_TESTHOST_TransId(tEvent), tBody.data(),
                                                           (int32_t)tBody.size())));
        if (tRow.iAnswerLen < 0) {
            EXPECT_NOTHING_BEFORE_HEARTBEAT(pCmd);
        } else {
            std::vector<uint8_t> tAnswer;
            ASSERT_EQ(1, VXQ_F_TESTCLI_ReadMsg(pCmd, tAnswer));
            ASSERT_EQ((size_t)tRow.iAnswerLen, tAnswer.size());
            EXPECT_EQ(tRow.ucResult, Result(tAnswer));
            size_t iFixed = tRow.bNsp ? 88 : 68;
            EXPECT_EQ(tRow.dwFileNum, VXQ_F_TESTCLI_GetU32(tAnswer, iFixed - 4));
            if (tRow.dwFileNum > 0) { /* the records' text passes unchanged */
                EXPECT_EQ(0, memcmp(tAnswer.data() + iFixed, tBody.data() + (tRow.bNsp ? 64 : 44), 128));
            }
        }
        EXPECT_EQ(0, TransCount()); /* answered or not, the transaction is gone */
    }
}

TEST_F(RecordTest, OpenByTimePassesAtMostSixteenAlarmEventsAndNeedsTheCapability)
{
    tRec.tManual.insert(EVENT_E2_FILE_OPEN_BY_TIME);
    struct {
        int32_t iNum;
        int32_t iPassed;
    } tRows[] = {{20, 16}, {-3, 0}, {5, 5}};
    for (const auto &tRow : tRows) {
        _VXQ_S_TESTCLI_DATA *pCli = nullptr;
        ASSERT_EQ(1, Connect(&pCli));
        std::vector<uint8_t> tMsg =
            Msg(P3_DOWNLOAD_OPEN_BY_TIME, VXQ_F_OFFLINE_MsgLen(P3_DOWNLOAD_OPEN_BY_TIME), dwLoginId);
        VXQ_F_TESTCLI_PutU32(tMsg, kBody + 4, 1);
        VXQ_F_TESTCLI_PutU32(tMsg, kBody + 8, 1);
        for (int i = 0; i < 16; i++)
            tMsg[kBody + 20 + i] = (uint8_t)(0xA0 + i);
        VXQ_F_TESTCLI_PutU32(tMsg, kBody + 36, (uint32_t)tRow.iNum);
        VXQ_F_TESTCLI_PutU16(tMsg, kBody + 52, 2027);
        ASSERT_EQ(1, VXQ_F_TESTCLI_SendMsg(pCli, tMsg));
        std::vector<uint8_t> tEvent = Event(EVENT_E2_FILE_OPEN_BY_TIME);
        _VXQ_S_DPS_E2_FILE_OPEN_BY_TIME tBody;
        ASSERT_EQ(16 + sizeof(tBody), tEvent.size());
        memcpy(&tBody, tEvent.data() + 16, sizeof(tBody));
        EXPECT_EQ(tRow.iPassed, tBody.i_iAlarmEventNum);
        for (int i = 0; i < 16; i++) {
            EXPECT_EQ(i < tRow.iPassed ? 0xA0 + i : 0, tBody.i_ucAlarmEventTable[i]) << i;
        }
        EXPECT_EQ(1, tBody.i_iChNo);
        EXPECT_EQ(1, tBody.i_iStreamNo);
        EXPECT_EQ(2027, tBody.i_tEndTime.usYear);
        /* The answer's read id and file record land at body 64 and 68. */
        tBody.o_dwFileReadId = 0x00ABCDEF;
        tBody.o_tFileInfo = VXQ_F_RECHOST_FileInfo(&tRec, 1);
        ASSERT_EQ(1,
                  VXQ_F_TESTHOST_PostOrder(&tHost, VXQ_F_TESTHOST_BuildOrder(EVENT_E2_FILE_OPEN_BY_TIME, 0,
                                                                             VXQ_F_TESTHOST_TransId(tEvent),
                                                                             &tBody, sizeof(tBody))));
        std::vector<uint8_t> tAnswer;
        ASSERT_EQ(1, VXQ_F_TESTCLI_ReadMsg(pCli, tAnswer));
        ASSERT_EQ((size_t)VXQ_F_OFFLINE_MsgLen(P3_DOWNLOAD_OPEN_BY_TIME), tAnswer.size());
        EXPECT_EQ(0, Result(tAnswer));
        EXPECT_EQ(0x00ABCDEFu, VXQ_F_TESTCLI_GetU32(tAnswer, kBody + 64));
        EXPECT_STREQ("ch1/rec-0001", (const char *)tAnswer.data() + kBody + 68);
        EXPECT_EQ(tBody.o_tFileInfo.dwFileSize, VXQ_F_TESTCLI_GetU32(tAnswer, kBody + 68 + 168));
    }
    /* Without the capability the open is refused before the host is asked. */
    ASSERT_EQ(1, VXQ_F_TESTHOST_OnControlThread(
                     &tHost, [](_VXQ_S_DPS_MCSRV_DATA *p) { p->tDevCapInfo.iDevCapValue5 = 0; }));
    _VXQ_S_TESTCLI_DATA *pOther = nullptr;
    std::vector<uint8_t> tAnswer;
    ASSERT_EQ(1, Connect(&pOther));
    ASSERT_EQ(1, VXQ_F_TESTCLI_Request(
                     pOther,
                     Msg(P3_DOWNLOAD_OPEN_BY_TIME, VXQ_F_OFFLINE_MsgLen(P3_DOWNLOAD_OPEN_BY_TIME), dwLoginId),
                     tAnswer));
    EXPECT_EQ(40, Result(tAnswer));
}

TEST_F(RecordTest, SuccessfulOpenMakesADownloadConnectionAndAFailedOneChangesNothing)
{
    _VXQ_S_TESTCLI_DATA *pBad = nullptr;
    ASSERT_EQ(1, Connect(&pBad));
    tRec.tManual.insert(EVENT_E2_FILE_OPEN);
    ASSERT_EQ(1, VXQ_F_TESTCLI_SendMsg(pBad, OpenMsg(dwLoginId, "no-such-file")));
    std::vector<uint8_t> tEvent = Event(EVENT_E2_FILE_OPEN);
    _VXQ_S_DPS_E2_FILE_OPEN tBody;
    ASSERT_EQ(16 + sizeof(tBody), tEvent.size());
    memcpy(&tBody, tEvent.data() + 16, sizeof(tBody));
    EXPECT_STREQ("no-such-file", tBody.i_sFileFlag);
    tBody.o_dwFileReadId = 0x1234;
    tBody.o_tFileInfo = VXQ_F_RECHOST_FileInfo(&tRec, 0);
    ASSERT_EQ(1,
              VXQ_F_TESTHOST_PostOrder(
                  &tHost, VXQ_F_TESTHOST_BuildOrder(EVENT_E2_FILE_OPEN, VXQ_DPS_APP_ERR_RESOURCE_NO_EXIST,
                                                    VXQ_F_TESTHOST_TransId(tEvent), &tBody, sizeof(tBody))));
    std::vector<uint8_t> tAnswer;
    ASSERT_EQ(1, VXQ_F_TESTCLI_ReadMsg(pBad, tAnswer));
    ASSERT_EQ((size_t)VXQ_F_OFFLINE_MsgLen(P3_DOWNLOAD_OPEN), tAnswer.size());
    EXPECT_EQ(13, Result(tAnswer)); /* resource no exist */
    EXPECT_EQ(0x1234u, VXQ_F_TESTCLI_GetU32(tAnswer, kBody + 140));
    EXPECT_STREQ("ch0/rec-0001", (const char *)tAnswer.data() + kBody + 144);
    OnConnOf(pBad, [](_VXQ_S_DPS_MCSRV_DATA *, _VXQ_S_DPS_NET_PORT_DATA *pConn) {
        EXPECT_EQ(VXQ_DPS_CONN_NEW, pConn->iConnType);
        EXPECT_EQ(0u, pConn->tDown.dwFileId);
        EXPECT_EQ(0u, pConn->dwLoginId);
    });
    tRec.tManual.clear();

    _VXQ_S_TESTCLI_DATA *pDown = nullptr;
    uint32_t dwReadId = OpenDownload(&pDown);
    ASSERT_NE(0u, dwReadId);
    uint32_t dwCmdPortId = 0;
    OnConnOf(pCmd, [&](_VXQ_S_DPS_MCSRV_DATA *, _VXQ_S_DPS_NET_PORT_DATA *pConn) {
        dwCmdPortId = pConn->dwPortId;
    });
    OnConnOf(pDown, [&](_VXQ_S_DPS_MCSRV_DATA *, _VXQ_S_DPS_NET_PORT_DATA *pConn) {
        EXPECT_EQ(VXQ_DPS_CONN_DOWN, pConn->iConnType);
        EXPECT_EQ(dwReadId, pConn->tDown.dwFileId);
        EXPECT_EQ(dwLoginId, pConn->dwLoginId);
        EXPECT_EQ(dwCmdPortId, pConn->dwLoginPortId);
        EXPECT_GT(pConn->tOpenTime, 0);
    });
}

TEST_F(RecordTest, ReadAnsweredByThreeOrdersGivesThreeResponsesAndEndsWithTheLast)
{
    _VXQ_S_TESTCLI_DATA *pDown = nullptr;
    uint32_t dwReadId = OpenDownload(&pDown);
    ASSERT_NE(0u, dwReadId);
    tRec.tManual.insert(EVENT_E2_FILE_READ);
    ASSERT_EQ(1, VXQ_F_TESTCLI_SendMsg(pDown, GetMsg(dwReadId, 77)));
    std::vector<uint8_t> tEvent = Event(EVENT_E2_FILE_READ);
    _VXQ_S_DPS_E2_FILE_READ tBody;
    ASSERT_EQ(16 + sizeof(tBody), tEvent.size());
    memcpy(&tBody, tEvent.data() + 16, sizeof(tBody));
    EXPECT_EQ(dwReadId, tBody.i_dwFileReadId);
    EXPECT_EQ(77u, tBody.i_dwRequId);
    EXPECT_EQ(1, tBody.i_ucReqDataType);
    EXPECT_EQ(64, tBody.i_ucReqDataSize);
    const uint8_t ucEnds[] = {0, 0, 1};
    for (int i = 0; i < 3; i++) {
        tBody.o_ucRetDataType = (uint8_t)(10 + i);
        tBody.o_ucFrameTypeAndDataEnd = VXQ_DPS_FILE_READ_MAKE(i + 1, ucEnds[i]);
        tBody.o_ucMediaCodecId = 0x1B;
        tBody.o_ucVideoFrameRate = 30;
        tBody.o_dwOffsetDataPos = 1000u * (uint32_t)i;
        tBody.o_dwOffsetTimePos = 40u * (uint32_t)i;
        tBody.o_tDataTime.usYear = 2026;
        tBody.o_tDataTime.ucSecond = (uint8_t)i;
        tBody.o_dwDataLen = 999; /* the length actually appended is what goes out */
        std::vector<uint8_t> tPart((uint8_t *)&tBody, (uint8_t *)&tBody + sizeof(tBody));
        for (int j = 0; j < 10 + i; j++)
            tPart.push_back((uint8_t)(i * 16 + j));
        ASSERT_EQ(1,
                  VXQ_F_TESTHOST_PostOrder(
                      &tHost, VXQ_F_TESTHOST_BuildOrder(EVENT_E2_FILE_READ, 0, VXQ_F_TESTHOST_TransId(tEvent),
                                                        tPart.data(), (int32_t)tPart.size())));
        std::vector<uint8_t> tAnswer;
        ASSERT_EQ(1, VXQ_F_TESTCLI_ReadMsg(pDown, tAnswer)) << i;
        ASSERT_EQ(64u + 10 + i, tAnswer.size());
        EXPECT_EQ(64u + 10 + i, VXQ_F_TESTCLI_GetU32(tAnswer, 4));
        EXPECT_EQ(P3_DOWNLOAD_GET, VXQ_F_TESTCLI_GetU16(tAnswer, 8));
        EXPECT_EQ(1, tAnswer[10] & 3);
        EXPECT_EQ(0, Result(tAnswer));
        EXPECT_EQ(7u, VXQ_F_TESTCLI_GetU32(tAnswer, 12));
        EXPECT_EQ(dwReadId, VXQ_F_TESTCLI_GetU32(tAnswer, kBody + 4));
        EXPECT_EQ(77u, VXQ_F_TESTCLI_GetU32(tAnswer, kBody + 8));
        EXPECT_EQ(10 + i, tAnswer[kBody + 14]);
        EXPECT_EQ(0xC0 | VXQ_DPS_FILE_READ_MAKE(i + 1, ucEnds[i]), tAnswer[kBody + 15]);
        EXPECT_EQ(0x1B, tAnswer[kBody + 16]);
        EXPECT_EQ(30, tAnswer[kBody + 17]);
        EXPECT_EQ(1000u * (uint32_t)i, VXQ_F_TESTCLI_GetU32(tAnswer, kBody + 20));
        EXPECT_EQ(40u * (uint32_t)i, VXQ_F_TESTCLI_GetU32(tAnswer, kBody + 24));
        EXPECT_EQ(2026, VXQ_F_TESTCLI_GetU16(tAnswer, kBody + 28));
        EXPECT_EQ(i, tAnswer[kBody + 35]);
        EXPECT_EQ(10u + i, VXQ_F_TESTCLI_GetU32(tAnswer, kBody + 40));
        EXPECT_EQ((uint8_t)(i * 16), tAnswer[64]);
        EXPECT_EQ(i < 2 ? 1 : 0, TransCount()) << i;
    }
    EXPECT_NOTHING_BEFORE_HEARTBEAT(pDown);
}

TEST_F(RecordTest, ReadWhileTheSendBacklogIsOverTheLimitIsDroppedWithoutAnswerOrEvent)
{
    VXQ_F_RECHOST_AddFile(&tRec, "ch2/big", 2, 48u * 1024 * 1024, 44);
    /* One read answered with 16 MiB in 8 orders: far more than the socket
     * buffers of a client that never reads can take, so most of it stays queued. */
    tRec.iReadLen = 16 * 1024 * 1024;
    tRec.iOrdersPerRead = 8;
    ASSERT_EQ(1, VXQ_F_DPS_SetMediaDataBufSize(tHost.pSrv, 1024 * 1024));
    _VXQ_S_TESTCLI_DATA *pStall = nullptr, *pDown = nullptr;
    uint32_t dwStallId = OpenDownload(&pStall, "ch2/big");
    uint32_t dwReadId = OpenDownload(&pDown, "ch0/rec-0001");
    ASSERT_NE(0u, dwStallId);
    ASSERT_NE(0u, dwReadId);
    bool bOver = false;
    for (uint32_t i = 0; i < 3 && !bOver; i++) {
        ASSERT_EQ(1, VXQ_F_TESTCLI_SendMsg(pStall, GetMsg(dwStallId, i)));
        Event(EVENT_E2_FILE_READ);
        ASSERT_TRUE(WaitUntil([&]() { return TransCount() == 0; })); /* all 8 answers are queued */
        VXQ_F_TESTHOST_OnControlThread(&tHost, [&](_VXQ_S_DPS_MCSRV_DATA *p) {
            bOver = VXQ_F_DPS_MC_StatNetSendQueueTotalLen(p) > p->iMediaDataBufSize + 8 * 1024 * 1024;
        });
    }
    ASSERT_TRUE(bOver);
    ASSERT_EQ(1, VXQ_F_TESTCLI_SendMsg(pDown, GetMsg(dwReadId, 5)));
    EXPECT_NOTHING_BEFORE_HEARTBEAT(pDown);
    FlushEvents();
    EXPECT_FALSE(HasEvent(EVENT_E2_FILE_READ));
    EXPECT_EQ(0, TransCount());
}

TEST_F(RecordTest, WholeFileOfFiveMegabytesDownloadsByteForByte)
{
    tRec.iReadLen = 256 * 1024; /* each read answered in 3 orders */
    _VXQ_S_TESTCLI_DATA *pDown = nullptr;
    uint32_t dwReadId = OpenDownload(&pDown);
    ASSERT_NE(0u, dwReadId);
    std::vector<uint8_t> tGot;
    uint8_t ucEnd = 0;
    int iResponses = 0;
    for (uint32_t dwRequId = 1; ucEnd != 1 && dwRequId < 1000; dwRequId++) {
        ASSERT_EQ(1, VXQ_F_TESTCLI_SendMsg(pDown, GetMsg(dwReadId, dwRequId)));
        do {
            std::vector<uint8_t> tAnswer;
            ASSERT_EQ(1, VXQ_F_TESTCLI_ReadMsg(pDown, tAnswer));
            ASSERT_GE(tAnswer.size(), 64u);
            ASSERT_EQ(0, Result(tAnswer));
            ASSERT_EQ(dwRequId, VXQ_F_TESTCLI_GetU32(tAnswer, kBody + 8));
            ASSERT_EQ(tAnswer.size() - 64, VXQ_F_TESTCLI_GetU32(tAnswer, kBody + 40));
            ASSERT_EQ(tGot.size(), VXQ_F_TESTCLI_GetU32(tAnswer, kBody + 20));
            tGot.insert(tGot.end(), tAnswer.begin() + 64, tAnswer.end());
            ucEnd = VXQ_DPS_FILE_READ_DATA_END(tAnswer[kBody + 15]);
            iResponses++;
        } while (ucEnd == 0);
    }
    const std::vector<uint8_t> &tFile = tRec.tFiles[1].tData;
    EXPECT_EQ(tFile.size(), tGot.size());
    EXPECT_EQ(VXQ_F_RECHOST_Md5Hex(tFile.data(), tFile.size()),
              VXQ_F_RECHOST_Md5Hex(tGot.data(), tGot.size()));
    EXPECT_EQ(3 * ((int)tFile.size() / tRec.iReadLen + 1), iResponses);
    EXPECT_EQ(0, TransCount());
}

TEST_F(RecordTest, ReadIdIsUsableOnlyByTheSessionThatOpenedIt)
{
    _VXQ_S_TESTCLI_DATA *pDown = nullptr, *pOtherCmd = nullptr, *pOtherDown = nullptr;
    uint32_t dwReadId = OpenDownload(&pDown);
    ASSERT_NE(0u, dwReadId);
    /* A second session of the same user, with a download of its own. */
    uint32_t dwOtherId = 0;
    ASSERT_EQ(1, Login(&pOtherCmd, "admin", &dwOtherId));
    ASSERT_EQ(1, Connect(&pOtherDown));
    std::vector<uint8_t> tAnswer;
    ASSERT_EQ(1, VXQ_F_TESTCLI_Request(pOtherDown, OpenMsg(dwOtherId, "ch0/rec-0001"), tAnswer));
    ASSERT_EQ(0, Result(tAnswer));
    uint32_t dwOtherReadId = VXQ_F_TESTCLI_GetU32(tAnswer, kBody + 140);
    ASSERT_NE(dwReadId, dwOtherReadId);
    FlushEvents();
    int iEventsBefore = 0;
    {
        std::lock_guard<std::mutex> tGuard(tHost.tLock);
        iEventsBefore = tHost.iEventTotal;
    }
    const uint16_t usOps[] = {P3_DOWNLOAD_GET,    P3_DOWNLOAD_SEEK,        P3_DOWNLOAD_CLOSE,
                              P3_DOWNLOAD_QVIDEO, P3_DOWNLOAD_ONLY_IFRAME, P3_DOWNLOAD_RECOVER_ALLFRAME};
    const struct {
        _VXQ_S_TESTCLI_DATA *pCli;
        uint32_t dwReadId;
    } tRefused[] = {
        {pOtherCmd, dwReadId},      /* the other session's command connection */
        {pOtherDown, dwReadId},     /* the other session's download connection */
        {pCmd, dwReadId ^ 0x5A5Au}, /* a read id nobody holds */
        {pCmd, 0},
    };
    for (const auto &tRow : tRefused) {
        for (uint16_t usOp : usOps) {
            std::vector<uint8_t> tMsg = FileOpMsg(usOp, tRow.dwReadId);
            ASSERT_EQ(1, VXQ_F_TESTCLI_Request(tRow.pCli, tMsg, tAnswer)) << std::hex << usOp;
            EXPECT_EQ(5, Result(tAnswer)) << std::hex << usOp << " " << tRow.dwReadId;
            EXPECT_EQ(tMsg.size(), tAnswer.size());
        }
    }
    FlushEvents();
    {
        std::lock_guard<std::mutex> tGuard(tHost.tLock);
        EXPECT_EQ(iEventsBefore + 1, tHost.iEventTotal); /* only the flush query */
    }
    EXPECT_EQ(0, TransCount());
    {
        std::lock_guard<std::mutex> tGuard(tRec.tLock);
        EXPECT_EQ(1u, tRec.tOpen.count(dwReadId)); /* the file stays open */
    }
    /* The owning session, on its command connection or on the download
     * connection, may use it; the other session its own read id. */
    ASSERT_EQ(1, VXQ_F_TESTCLI_Request(pCmd, FileOpMsg(P3_DOWNLOAD_SEEK, dwReadId), tAnswer));
    EXPECT_EQ(0, Result(tAnswer));
    ASSERT_EQ(1, VXQ_F_TESTCLI_Request(pDown, GetMsg(dwReadId, 1), tAnswer));
    EXPECT_EQ(0, Result(tAnswer));
    ASSERT_EQ(1, VXQ_F_TESTCLI_Request(pOtherCmd, FileOpMsg(P3_DOWNLOAD_QVIDEO, dwOtherReadId), tAnswer));
    EXPECT_EQ(0, Result(tAnswer));
}

TEST_F(RecordTest, FileOperationsAnswerTheirFieldsAndAnExplicitCloseKeepsTheConnection)
{
    _VXQ_S_TESTCLI_DATA *pDown = nullptr;
    uint32_t dwReadId = OpenDownload(&pDown);
    ASSERT_NE(0u, dwReadId);
    std::vector<uint8_t> tAnswer;

    std::vector<uint8_t> tSeek = FileOpMsg(P3_DOWNLOAD_SEEK, dwReadId);
    VXQ_F_TESTCLI_PutU32(tSeek, kBody + 8, 3600);
    ASSERT_EQ(1, VXQ_F_TESTCLI_Request(pDown, tSeek, tAnswer));
    EXPECT_EQ(0, Result(tAnswer));
    EXPECT_EQ(tSeek.size(), tAnswer.size());
    std::vector<uint8_t> tEvent = Event(EVENT_E2_FILE_SEEK);
    _VXQ_S_DPS_E2_FILE_SEEK tSeekBody;
    ASSERT_EQ(16 + sizeof(tSeekBody), tEvent.size());
    memcpy(&tSeekBody, tEvent.data() + 16, sizeof(tSeekBody));
    EXPECT_EQ(dwReadId, tSeekBody.i_dwFileReadId);
    EXPECT_EQ(3600u, tSeekBody.i_dwOffsetTimePos);

    ASSERT_EQ(1, VXQ_F_TESTCLI_Request(pDown, FileOpMsg(P3_DOWNLOAD_QVIDEO, dwReadId), tAnswer));
    ASSERT_EQ((size_t)VXQ_F_OFFLINE_MsgLen(P3_DOWNLOAD_QVIDEO), tAnswer.size());
    EXPECT_EQ(0, Result(tAnswer));
    EXPECT_EQ(25u, VXQ_F_TESTCLI_GetU32(tAnswer, kBody + 8));
    EXPECT_EQ(50u, VXQ_F_TESTCLI_GetU32(tAnswer, kBody + 12));

    std::vector<uint8_t> tOnly = FileOpMsg(P3_DOWNLOAD_ONLY_IFRAME, dwReadId);
    VXQ_F_TESTCLI_PutU32(tOnly, kBody + 8, 1);
    ASSERT_EQ(1, VXQ_F_TESTCLI_Request(pDown, tOnly, tAnswer));
    ASSERT_EQ((size_t)VXQ_F_OFFLINE_MsgLen(P3_DOWNLOAD_ONLY_IFRAME), tAnswer.size());
    EXPECT_EQ(1u, VXQ_F_TESTCLI_GetU32(tAnswer, kBody + 8));
    EXPECT_EQ(25u, VXQ_F_TESTCLI_GetU32(tAnswer, kBody + 12));
    EXPECT_EQ(50u, VXQ_F_TESTCLI_GetU32(tAnswer, kBody + 16));
    tEvent = Event(EVENT_E2_FILE_ONLY_IFRAME);
    _VXQ_S_DPS_E2_FILE_ONLY_IFRAME tOnlyBody;
    memcpy(&tOnlyBody, tEvent.data() + 16, sizeof(tOnlyBody));
    EXPECT_EQ(1, tOnlyBody.i_iDiscardIFrame);

    ASSERT_EQ(1, VXQ_F_TESTCLI_Request(pDown, FileOpMsg(P3_DOWNLOAD_RECOVER_ALLFRAME, dwReadId), tAnswer));
    EXPECT_EQ(0, Result(tAnswer));
    ASSERT_EQ(1, VXQ_F_TESTCLI_Request(pDown, FileOpMsg(P3_DOWNLOAD_CLOSE, dwReadId), tAnswer));
    EXPECT_EQ(0, Result(tAnswer));
    EXPECT_EQ((size_t)VXQ_F_OFFLINE_MsgLen(P3_DOWNLOAD_CLOSE), tAnswer.size());
    OnConnOf(pDown, [&](_VXQ_S_DPS_MCSRV_DATA *, _VXQ_S_DPS_NET_PORT_DATA *pConn) {
        EXPECT_EQ(VXQ_DPS_CONN_DOWN, pConn->iConnType);
        EXPECT_EQ(dwReadId, pConn->tDown.dwFileId);
    });
    EXPECT_EQ(0, TransCount());
}

TEST_F(RecordTest, DownloadConnectionGoingAwayClosesItsFileOnceAndGoesWithItsLogin)
{
    _VXQ_S_TESTCLI_DATA *pDown = nullptr, *pSecond = nullptr;
    uint32_t dwReadId = OpenDownload(&pDown);
    ASSERT_NE(0u, dwReadId);
    VXQ_F_TESTCLI_Close(pDown);
    std::vector<uint8_t> tEvent = Event(EVENT_E2_FILE_CLOSE);
    ASSERT_EQ(20u, tEvent.size());
    EXPECT_EQ(0u, VXQ_F_TESTHOST_TransId(tEvent));
    uint32_t dwClosed;
    memcpy(&dwClosed, tEvent.data() + 16, 4);
    EXPECT_EQ(dwReadId, dwClosed);

    uint32_t dwSecondId = OpenDownload(&pSecond);
    ASSERT_NE(0u, dwSecondId);
    VXQ_F_TESTCLI_Close(pCmd); /* the login goes: its download connection goes with it */
    EXPECT_EQ(1, VXQ_F_TESTCLI_WaitPeerClosed(pSecond));
    tEvent = Event(EVENT_E2_FILE_CLOSE);
    ASSERT_EQ(20u, tEvent.size());
    memcpy(&dwClosed, tEvent.data() + 16, 4);
    EXPECT_EQ(dwSecondId, dwClosed);
    FlushEvents();                               /* the host has handled every earlier event */
    EXPECT_FALSE(HasEvent(EVENT_E2_FILE_CLOSE)); /* once each */
    std::lock_guard<std::mutex> tGuard(tRec.tLock);
    EXPECT_EQ(2, tRec.iCloseTotal);
}

TEST_F(RecordTest, OpenIsRefusedWhenTheMediaBudgetHasNoRoomForAReplayClient)
{
    ASSERT_EQ(1, VXQ_F_DPS_ControlMediaResource(tHost.pSrv, 1, 2.0f, 1.0f, 1.5f));
    _VXQ_S_TESTCLI_DATA *pFirst = nullptr, *pSecond = nullptr;
    ASSERT_NE(0u, OpenDownload(&pFirst)); /* 2 - 1.5 leaves 0.5 */
    std::vector<uint8_t> tAnswer;
    ASSERT_EQ(1, Connect(&pSecond));
    ASSERT_EQ(1, VXQ_F_TESTCLI_Request(pSecond, OpenMsg(dwLoginId, "ch0/rec-0001"), tAnswer));
    EXPECT_EQ(12, Result(tAnswer));
    VXQ_F_TESTCLI_Close(pFirst);
    Event(EVENT_E2_FILE_CLOSE);
    ASSERT_EQ(1, VXQ_F_TESTCLI_Request(pSecond, OpenMsg(dwLoginId, "ch0/rec-0001"), tAnswer));
    EXPECT_EQ(0, Result(tAnswer));
}

TEST_F(RecordTest, OpenAnsweredAfterItsLoginEndedIsRefusedAndTheFileClosedAgain)
{
    _VXQ_S_TESTCLI_DATA *pDown = nullptr;
    ASSERT_EQ(1, Connect(&pDown));
    tRec.tManual.insert(EVENT_E2_FILE_OPEN);
    ASSERT_EQ(1, VXQ_F_TESTCLI_SendMsg(pDown, OpenMsg(dwLoginId, "ch0/rec-0001")));
    std::vector<uint8_t> tEvent = Event(EVENT_E2_FILE_OPEN);
    ASSERT_FALSE(tEvent.empty());
    VXQ_F_TESTCLI_Close(pCmd);
    ASSERT_TRUE(WaitUntil([&]() {
        bool bGone = true;
        VXQ_F_TESTHOST_OnControlThread(&tHost, [&](_VXQ_S_DPS_MCSRV_DATA *p) {
            bGone = VXQ_F_DPS_MC_NetPortData_QueryByLoginId(p, dwLoginId) == nullptr;
        });
        return bGone;
    }));
    _VXQ_S_DPS_E2_FILE_OPEN tBody;
    memcpy(&tBody, tEvent.data() + 16, sizeof(tBody));
    tBody.o_dwFileReadId = 0x777;
    ASSERT_EQ(1, VXQ_F_TESTHOST_PostOrder(&tHost, VXQ_F_TESTHOST_BuildOrder(EVENT_E2_FILE_OPEN, 0,
                                                                            VXQ_F_TESTHOST_TransId(tEvent),
                                                                            &tBody, sizeof(tBody))));
    std::vector<uint8_t> tAnswer;
    ASSERT_EQ(1, VXQ_F_TESTCLI_ReadMsg(pDown, tAnswer));
    EXPECT_EQ(6, Result(tAnswer));
    std::vector<uint8_t> tClose = Event(EVENT_E2_FILE_CLOSE);
    ASSERT_EQ(20u, tClose.size());
    uint32_t dwClosed = 0;
    memcpy(&dwClosed, tClose.data() + 16, 4);
    EXPECT_EQ(0u, VXQ_F_TESTHOST_TransId(tClose));
    EXPECT_EQ(0x777u, dwClosed);
    OnConnOf(pDown, [](_VXQ_S_DPS_MCSRV_DATA *, _VXQ_S_DPS_NET_PORT_DATA *pConn) {
        EXPECT_EQ(VXQ_DPS_CONN_NEW, pConn->iConnType);
        EXPECT_EQ(0u, pConn->tDown.dwFileId);
    });
}

TEST_F(RecordTest, SecondOpenOnADownloadConnectionClosesTheFirstFile)
{
    _VXQ_S_TESTCLI_DATA *pDown = nullptr;
    uint32_t dwFirst = OpenDownload(&pDown, "ch0/rec-0001");
    ASSERT_NE(0u, dwFirst);
    std::vector<uint8_t> tAnswer;
    ASSERT_EQ(1, VXQ_F_TESTCLI_Request(pDown, OpenMsg(dwLoginId, "ch1/rec-0002"), tAnswer));
    ASSERT_EQ(0, Result(tAnswer));
    uint32_t dwSecond = VXQ_F_TESTCLI_GetU32(tAnswer, kBody + 140);
    std::vector<uint8_t> tEvent = Event(EVENT_E2_FILE_CLOSE);
    ASSERT_EQ(20u, tEvent.size());
    uint32_t dwClosed = 0;
    memcpy(&dwClosed, tEvent.data() + 16, 4);
    EXPECT_EQ(dwFirst, dwClosed);
    OnConnOf(pDown, [&](_VXQ_S_DPS_MCSRV_DATA *, _VXQ_S_DPS_NET_PORT_DATA *pConn) {
        EXPECT_EQ(dwSecond, pConn->tDown.dwFileId);
    });
}
