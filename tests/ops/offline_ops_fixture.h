/*
 * offline_ops_fixture.h - the serial and maintenance handlers without threads
 * or sockets, for the failure paths a running service cannot be driven into
 * on demand (a full callback queue, orders for connections that are gone).
 *
 * A hand-made instance with a real callback queue (capacity in_iQueueSize),
 * connection records entered by the test, answers captured through the
 * dispatcher's send seam (tests/support/offline_link.h) and the log lines
 * written meanwhile. Requests go through the real dispatcher and orders
 * through the real order table; everything runs on the test's thread.
 */
#ifndef VXQ_TEST_OFFLINE_OPS_FIXTURE_H
#define VXQ_TEST_OFFLINE_OPS_FIXTURE_H

#include "core/channel.h"
#include "core/conn.h"
#include "protocol/dispatch.h"
#include "protocol/head.h"
#include "support/offline_link.h"
#include "vxq_dps.h"
#include "vxq_log.h"
#include "vxq_queue.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

typedef std::vector<uint8_t> OfflineBytes;

class OfflineOps : public ::testing::Test {
protected:
    void SetUp() override
    {
        VXQ_F_OFFLINE_InstallCapture(1);
        p = VXQ_F_OFFLINE_NewInstance();
        ASSERT_NE(p, nullptr);
        ASSERT_EQ(VXQ_F_TOOLS_QUEUE_InitQueue(&p->hCallbackQueue, 8), 1);
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
        VXQ_F_OFFLINE_FreeInstance(p);
        VXQ_F_OFFLINE_RemoveCapture();
    }

    /* Enters a connection of the type in table slot in_iSlot, logged in with
     * in_dwLoginId when nonzero. */
    _VXQ_S_DPS_NET_PORT_DATA *AddConn(int32_t in_iSlot, int32_t in_iConnType, uint32_t in_dwLoginId)
    {
        _VXQ_S_DPS_NET_PORT_DATA *pConn = VXQ_F_OFFLINE_NewConn((0x4321u << 16) | (uint32_t)in_iSlot);
        pConn->iConnType = in_iConnType;
        pConn->dwLoginId = in_dwLoginId;
        p->pConn[in_iSlot] = pConn;
        return pConn;
    }
    /* A request: head (flag, size, id, type 0, trans no 0x55) and body 0 = in_dwWord0. */
    static OfflineBytes Msg(uint16_t in_usFuncId, size_t in_nBodyLen, uint32_t in_dwWord0)
    {
        OfflineBytes tMsg(20 + in_nBodyLen, 0);
        VXQ_F_DPS_MW_PutLe32(tMsg.data(), 0xFFFFEEEEu);
        VXQ_F_DPS_MW_PutLe32(tMsg.data() + 4, (uint32_t)tMsg.size());
        VXQ_F_DPS_MW_PutLe16(tMsg.data() + 8, in_usFuncId);
        VXQ_F_DPS_MW_PutLe32(tMsg.data() + 12, 0x55);
        if (in_nBodyLen >= 4)
            VXQ_F_DPS_MW_PutLe32(tMsg.data() + 20, in_dwWord0);
        return tMsg;
    }
    /* An order: host-order head (ucMsgType 1) and body. */
    static OfflineBytes Order(int32_t in_iId, uint8_t in_ucResult, uint32_t in_dwTransId, const void *in_pBody,
                              int32_t in_iBodyLen, uint8_t in_ucMsgType = 1)
    {
        _VXQ_S_DPS_MSG_HEAD tHead;
        memset(&tHead, 0, sizeof(tHead));
        tHead.iMsgFuncId = in_iId;
        tHead.ucMsgType = in_ucMsgType;
        tHead.ucResult = in_ucResult;
        tHead.dwTransId = in_dwTransId;
        tHead.iBodyLen = in_iBodyLen;
        OfflineBytes tOrder((const uint8_t *)&tHead, (const uint8_t *)&tHead + sizeof(tHead));
        if (in_iBodyLen > 0)
            tOrder.insert(tOrder.end(), (const uint8_t *)in_pBody, (const uint8_t *)in_pBody + in_iBodyLen);
        return tOrder;
    }

    /* Hands a copy of the message to the dispatcher as if it came on in_pConn. */
    int Request(_VXQ_S_DPS_NET_PORT_DATA *in_pConn, const OfflineBytes &in_tMsg)
    {
        m_tWork = in_tMsg;
        return VXQ_F_DPS_MW_DoSingleNetDataPacket(p, in_pConn, m_tWork.data(), (int32_t)m_tWork.size());
    }
    /* Hands a copy of the order to the order dispatcher. */
    int Post(const OfflineBytes &in_tOrder)
    {
        m_tWork = in_tOrder;
        return VXQ_F_DPS_MW_DoOrderData(p, m_tWork.data(), (int32_t)m_tWork.size());
    }
    /* Messages sent since the last call. */
    std::vector<_VXQ_S_OFFLINE_SENT> Sent()
    {
        std::vector<_VXQ_S_OFFLINE_SENT> tSent = VXQ_F_OFFLINE_Sent();
        VXQ_F_OFFLINE_Sent().clear();
        return tSent;
    }
    /* Events queued since the last call, oldest first. */
    std::vector<OfflineBytes> Events()
    {
        std::vector<OfflineBytes> tEvents;
        char *pBuf = nullptr;
        int32_t iBufSize = 0, iLen = 0;
        while (VXQ_F_TOOLS_QUEUE_GetDataEx(p->hCallbackQueue, &pBuf, &iLen, &iBufSize, 0) && iLen > 0)
            tEvents.emplace_back((uint8_t *)pBuf, (uint8_t *)pBuf + iLen);
        VXQ_F_TOOLS_QUEUE_FreeMemory(&pBuf);
        return tEvents;
    }
    /* Fills the callback queue so that the next event cannot be queued. */
    void FillCallbackQueue()
    {
        uint8_t ucDummy[16] = {0};
        while (VXQ_F_TOOLS_QUEUE_SetData(p->hCallbackQueue, ucDummy, sizeof(ucDummy), 0)) {
        }
    }
    /* True when a line with exactly this message was logged since the last call. */
    bool Logged(const std::string &in_sLine)
    {
        bool bFound = false;
        _VXQ_S_LOG_SR_RECV_LOG_DATA tRec;
        int32_t iLen = (int32_t)sizeof(tRec);
        while (VXQ_F_TOOLS_QUEUE_GetData(m_hLogQueue, &tRec, &iLen, 0)) {
            tRec.sText[sizeof(tRec.sText) - 1] = '\0';
            const char *pMsg = strstr(tRec.sText, "  ");
            if (in_sLine == (pMsg ? pMsg + 2 : tRec.sText))
                bFound = true;
            iLen = (int32_t)sizeof(tRec);
        }
        return bFound;
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

private:
    VXQ_HQUEUE m_hLogQueue = NULL;
    OfflineBytes m_tWork;
};

#endif
