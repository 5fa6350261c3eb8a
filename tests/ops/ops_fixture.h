/*
 * ops_fixture.h - what the operation family tests share: a service instance
 * without threads or sockets (its order and callback queues are real), command,
 * media and talk connections entered in its connection table, the answers the
 * handlers send (captured through the dispatcher's send seam), the events they
 * queue for the host, and the log lines they write.
 *
 * Requests go through the real dispatcher (login and length rules included),
 * orders through the real function table; the test drives the control thread's
 * duties itself, so it runs single-threaded and needs no waits.
 */
#ifndef VXQ_TEST_OPS_FIXTURE_H
#define VXQ_TEST_OPS_FIXTURE_H

#include "core/channel.h"
#include "core/conn.h"
#include "core/control.h"
#include "core/instance.h"
#include "protocol/admission.h"
#include "protocol/dispatch.h"
#include "support/offline_link.h"
#include "support/test_clock.h"
#include "wire/head.h"
#include "vxq_dps.h"
#include "vxq_log.h"
#include "vxq_queue.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

typedef std::vector<uint8_t> OpsBytes;

/* A UMSP request: head (flag, size, id, type 0, result 0, trans no) and a zeroed body. */
inline OpsBytes OpsMsg(uint16_t in_usFuncId, uint32_t in_dwTransNo, size_t in_nBodyLen)
{
    OpsBytes tMsg(20 + in_nBodyLen, 0);
    VXQ_F_DPS_MW_PutLe32(tMsg.data(), 0xFFFFEEEEu);
    VXQ_F_DPS_MW_PutLe32(tMsg.data() + 4, (uint32_t)tMsg.size());
    VXQ_F_DPS_MW_PutLe16(tMsg.data() + 8, in_usFuncId);
    VXQ_F_DPS_MW_PutLe32(tMsg.data() + 12, in_dwTransNo);
    return tMsg;
}

inline uint32_t OpsLe32(const OpsBytes &in_tMsg, size_t in_nOff)
{
    return VXQ_F_DPS_MW_GetLe32(in_tMsg.data() + in_nOff);
}
inline void OpsPutLe32(OpsBytes &inout_tMsg, size_t in_nOff, uint32_t in_dwValue)
{
    VXQ_F_DPS_MW_PutLe32(inout_tMsg.data() + in_nOff, in_dwValue);
}

/* An order (or event): 16-byte head in host order and the body. */
inline OpsBytes OpsOrder(int32_t in_iId, uint8_t in_ucResult, uint32_t in_dwTransId, const void *in_pBody,
                         int32_t in_iBodyLen, uint8_t in_ucMsgType = 1)
{
    _VXQ_S_DPS_MSG_HEAD tHead;
    memset(&tHead, 0, sizeof(tHead));
    tHead.iMsgFuncId = in_iId;
    tHead.ucMsgType = in_ucMsgType;
    tHead.ucResult = in_ucResult;
    tHead.dwTransId = in_dwTransId;
    tHead.iBodyLen = in_iBodyLen;
    OpsBytes tOrder(sizeof(tHead) + (in_iBodyLen > 0 ? (size_t)in_iBodyLen : 0), 0);
    memcpy(tOrder.data(), &tHead, sizeof(tHead));
    if (in_iBodyLen > 0 && in_pBody != nullptr)
        memcpy(tOrder.data() + sizeof(tHead), in_pBody, (size_t)in_iBodyLen);
    return tOrder;
}

inline _VXQ_S_DPS_MSG_HEAD OpsEventHead(const OpsBytes &in_tEvent)
{
    _VXQ_S_DPS_MSG_HEAD tHead;
    memcpy(&tHead, in_tEvent.data(), sizeof(tHead));
    return tHead;
}

class OpsFixture : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        VXQ_F_OFFLINE_InstallCapture(1);
        /* The families' own refusals of unknown login ids, without the
         * admission rules that ration and hold them (tests/protocol/test_admission.cpp). */
        VXQ_F_DPS_MC_ADMIT_SetQuoteRules(0);
        p = VXQ_F_OFFLINE_NewInstance();
        ASSERT_NE(p, nullptr);
        ASSERT_EQ(VXQ_F_TOOLS_QUEUE_InitQueue(&p->hCallbackQueue, iCallbackQueueSize), 1);
        ASSERT_EQ(VXQ_F_TOOLS_QUEUE_InitQueue(&p->hOrderQueue, 1000), 1);
        ASSERT_EQ(VXQ_F_TOOLS_QUEUE_InitQueue(&m_hLogQueue, 500), 1);
        VXQ_F_LOG_SR_SetRecvLogQueue(m_hLogQueue);
    }
    void TearDown() override
    {
        VXQ_F_LOG_SR_SetRecvLogQueue(NULL);
        VXQ_F_TOOLS_QUEUE_FreeQueue(&m_hLogQueue);
        VXQ_F_DPS_MC_NetPortData_ReleaseAllData(p);
        VXQ_F_DPS_MC_Trans_ReleaseAllTransData(p);
        VXQ_F_TOOLS_QUEUE_FreeQueue(&p->hCallbackQueue);
        VXQ_F_TOOLS_QUEUE_FreeQueue(&p->hOrderQueue);
        VXQ_F_OFFLINE_FreeInstance(p);
        VXQ_F_OFFLINE_RemoveCapture();
        VXQ_F_DPS_MC_ADMIT_SetQuoteRules(1);
    }

    /* Enters a connection in table slot in_iSlot (port id (0x1234 << 16) | slot).
     * A nonzero login id makes it logged in with the given rights (global word
     * and one word for every channel). */
    _VXQ_S_DPS_NET_PORT_DATA *AddConn(int32_t in_iSlot, int32_t in_iConnType, uint32_t in_dwLoginId = 0,
                                      uint32_t in_dwPopMask = 0, uint32_t in_dwChPopMask = 0)
    {
        _VXQ_S_DPS_NET_PORT_DATA *pConn = VXQ_F_OFFLINE_NewConn((0x1234u << 16) | (uint32_t)in_iSlot);
        pConn->iConnType = in_iConnType;
        pConn->dwLoginId = in_dwLoginId;
        if (in_dwLoginId != 0) {
            pConn->pUserInfo = (_VXQ_S_DPS_USER_INFO *)calloc(1, sizeof(_VXQ_S_DPS_USER_INFO));
            pConn->pUserInfo->dwPopMask = in_dwPopMask;
            for (int i = 0; i < 64; i++)
                pConn->pUserInfo->dwChPopMask[i] = in_dwChPopMask;
        }
        VXQ_F_OFFLINE_PutConn(p, in_iSlot, pConn);
        return pConn;
    }
    bool ConnAlive(int32_t in_iSlot)
    {
        return p->pConn[in_iSlot] != nullptr;
    }

    /* Hands a copy of the message to the dispatcher as if it arrived on in_pConn. */
    int Request(_VXQ_S_DPS_NET_PORT_DATA *in_pConn, const OpsBytes &in_tMsg)
    {
        m_tWork = in_tMsg;
        return VXQ_F_DPS_MW_DoSingleNetDataPacket(p, in_pConn, m_tWork.data(), (int32_t)m_tWork.size());
    }
    /* Hands a copy of the order to the order dispatcher. */
    int Order(const OpsBytes &in_tOrder)
    {
        m_tWork = in_tOrder;
        return VXQ_F_DPS_MW_DoOrderData(p, m_tWork.data(), (int32_t)m_tWork.size());
    }
    /* Every event queued for the host since the last call, oldest first. */
    std::vector<OpsBytes> Events()
    {
        std::vector<OpsBytes> tEvents;
        char *pBuf = nullptr;
        int32_t iBufSize = 0, iLen = 0;
        while (VXQ_F_TOOLS_QUEUE_GetDataEx(p->hCallbackQueue, &pBuf, &iLen, &iBufSize, 0) && iLen > 0)
            tEvents.emplace_back((uint8_t *)pBuf, (uint8_t *)pBuf + iLen);
        VXQ_F_TOOLS_QUEUE_FreeMemory(&pBuf);
        return tEvents;
    }
    /* The one event queued since the last call (fails the test otherwise). */
    OpsBytes OneEvent(int32_t in_iId)
    {
        std::vector<OpsBytes> tEvents = Events();
        EXPECT_EQ(tEvents.size(), 1u);
        if (tEvents.size() != 1)
            return OpsBytes(16, 0);
        EXPECT_EQ(OpsEventHead(tEvents[0]).iMsgFuncId, in_iId);
        return tEvents[0];
    }
    /* Answers sent since the last call, oldest first. */
    std::vector<_VXQ_S_OFFLINE_SENT> Sent()
    {
        std::vector<_VXQ_S_OFFLINE_SENT> tSent = VXQ_F_OFFLINE_Sent();
        VXQ_F_OFFLINE_Sent().clear();
        return tSent;
    }
    /* The one answer sent since the last call. */
    OpsBytes OneSent(_VXQ_S_DPS_NET_PORT_DATA *in_pConn = nullptr)
    {
        std::vector<_VXQ_S_OFFLINE_SENT> tSent = Sent();
        EXPECT_EQ(tSent.size(), 1u);
        if (tSent.size() != 1)
            return OpsBytes(20, 0xEE);
        if (in_pConn != nullptr) {
            EXPECT_EQ(tSent[0].pConn, in_pConn);
        }
        return tSent[0].tMsg;
    }
    /* Log lines written since the last call (message part only). */
    std::vector<std::string> LogLines()
    {
        std::vector<std::string> tLines;
        _VXQ_S_LOG_SR_RECV_LOG_DATA tRec;
        int32_t iLen = (int32_t)sizeof(tRec);
        while (VXQ_F_TOOLS_QUEUE_GetData(m_hLogQueue, &tRec, &iLen, 0)) {
            tRec.sText[sizeof(tRec.sText) - 1] = '\0';
            const char *pMsg = strstr(tRec.sText, "  ");
            tLines.push_back(pMsg ? pMsg + 2 : tRec.sText);
            iLen = (int32_t)sizeof(tRec);
        }
        return tLines;
    }
    bool Logged(const std::string &in_sLine)
    {
        for (const std::string &s : LogLines()) {
            if (s == in_sLine)
                return true;
        }
        return false;
    }
    /* Fills the callback queue so that the next event cannot be queued. */
    void FillCallbackQueue()
    {
        uint8_t ucDummy[16] = {0};
        while (VXQ_F_TOOLS_QUEUE_SetData(p->hCallbackQueue, ucDummy, sizeof(ucDummy), 0)) {
        }
    }
    /* Transactions in the table. */
    int TransCount()
    {
        int iCount = 0;
        for (int i = 0; i < VXQ_DPS_MAX_TRANS_NUM; i++)
            iCount += p->pTrans[i] != nullptr;
        return iCount;
    }

    _VXQ_S_DPS_MCSRV_DATA *p = nullptr;
    int32_t iCallbackQueueSize = 1000; /* a derived fixture's constructor may lower it */

  private:
    VXQ_HQUEUE m_hLogQueue = NULL;
    OpsBytes m_tWork;
};

/* The serial and maintenance failure paths a running service cannot be driven
 * into on demand (a full callback queue, orders for connections that are
 * gone): a callback queue of 8 entries, and requests whose body starts with one
 * word (the login id) and carry the request number 0x55. */
class OfflineOps : public OpsFixture
{
  protected:
    OfflineOps()
    {
        iCallbackQueueSize = 8;
    }
    static OpsBytes Msg(uint16_t in_usFuncId, size_t in_nBodyLen, uint32_t in_dwWord0)
    {
        OpsBytes tMsg = OpsMsg(in_usFuncId, 0x55, in_nBodyLen);
        if (in_nBodyLen >= 4)
            OpsPutLe32(tMsg, 20, in_dwWord0);
        return tMsg;
    }
};

#endif
