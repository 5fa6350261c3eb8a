/*
 * offline_rig.h - the instance rig of the unit tests: an offline instance
 * (support/offline_link.h, real order and callback queues), connections in its
 * table, captured answers and queued events; log lines go to a queue of their
 * own, unread. Requests pass the real dispatcher, orders the real function
 * table; the test drives the control thread's duties itself, single-threaded.
 */
#ifndef VXQ_TEST_OFFLINE_RIG_H
#define VXQ_TEST_OFFLINE_RIG_H

#include "core/channel.h"
#include "core/conn.h"
#include "core/control.h"
#include "core/instance.h"
#include "protocol/admission.h"
#include "protocol/dispatch.h"
#include "service/service.h"
#include "support/offline_link.h"
#include "support/test_client.h"
#include "support/test_clock.h"
#include "support/test_host.h"
#include "wire/head.h"
#include "vxq_dps.h"
#include "vxq_log.h"
#include "vxq_queue.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

inline _VXQ_S_DPS_MSG_HEAD OpsEventHead(const Bytes &in_tEvent)
{
    _VXQ_S_DPS_MSG_HEAD tHead;
    memcpy(&tHead, in_tEvent.data(), sizeof(tHead));
    return tHead;
}

class OfflineRig : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        VXQ_F_OFFLINE_InstallCapture();
        /* The families' own refusals of unknown login ids, without the
         * admission rules that ration and hold them (tests/protocol/test_admission.cpp). */
        VXQ_F_DPS_MC_ADMIT_SetQuoteRules(0);
        p = VXQ_F_OFFLINE_NewRig();
        ASSERT_NE(p, nullptr);
        ASSERT_EQ(VXQ_F_TOOLS_QUEUE_InitQueue(&m_hLogQueue, 500), 1);
        VXQ_F_LOG_SR_SetRecvLogQueue(m_hLogQueue);
    }
    void TearDown() override
    {
        VXQ_F_LOG_SR_SetRecvLogQueue(NULL);
        VXQ_F_TOOLS_QUEUE_FreeQueue(&m_hLogQueue);
        VXQ_F_DPS_MC_NetPortData_ReleaseAllData(p);
        VXQ_F_DPS_MC_Trans_ReleaseAllTransData(p);
        VXQ_F_OFFLINE_FreeRig(p);
        VXQ_F_OFFLINE_RemoveCapture();
        VXQ_F_DPS_MC_ADMIT_SetQuoteRules(1);
    }

    /* A connection in slot in_iSlot; a nonzero login id logs it in with the given rights. */
    _VXQ_S_DPS_NET_PORT_DATA *AddConn(int32_t in_iSlot, int32_t in_iConnType, uint32_t in_dwLoginId = 0,
                                      uint32_t in_dwPopMask = 0, uint32_t in_dwChPopMask = 0)
    {
        return VXQ_F_OFFLINE_AddConn(p, in_iSlot, in_iConnType, in_dwLoginId, in_dwLoginId != 0, in_dwPopMask,
                                     in_dwChPopMask);
    }
    bool ConnAlive(int32_t in_iSlot) { return p->pConn[in_iSlot] != nullptr; }
    /* Hands a copy of the request (arrived on in_pConn) or the order to its dispatcher. */
    int Request(_VXQ_S_DPS_NET_PORT_DATA *in_pConn, const Bytes &in_tMsg)
    {
        m_tWork = in_tMsg;
        return VXQ_F_DPS_MW_DoSingleNetDataPacket(p, in_pConn, m_tWork.data(), (int32_t)m_tWork.size());
    }
    int Order(const Bytes &in_tOrder)
    {
        m_tWork = in_tOrder;
        return VXQ_F_DPS_MW_DoOrderData(p, m_tWork.data(), (int32_t)m_tWork.size());
    }
    /* Events queued for the host since the last call; OneEvent: exactly one, of that id. */
    std::vector<Bytes> Events() { return VXQ_F_OFFLINE_TakeEvents(p); }
    Bytes OneEvent(int32_t in_iId)
    {
        std::vector<Bytes> tEvents = Events();
        EXPECT_EQ(tEvents.size(), 1u);
        Bytes tEvent = tEvents.size() == 1 ? tEvents[0] : Bytes(16, 0);
        EXPECT_EQ(OpsEventHead(tEvent).iMsgFuncId, in_iId);
        return tEvent;
    }
    /* Answers sent since the last call; OneSent: exactly one (on in_pConn when given). */
    std::vector<_VXQ_S_OFFLINE_SENT> Sent()
    {
        std::vector<_VXQ_S_OFFLINE_SENT> tSent;
        tSent.swap(VXQ_F_OFFLINE_Sent());
        return tSent;
    }
    Bytes OneSent(_VXQ_S_DPS_NET_PORT_DATA *in_pConn = nullptr)
    {
        std::vector<_VXQ_S_OFFLINE_SENT> tSent = Sent();
        EXPECT_EQ(tSent.size(), 1u);
        EXPECT_TRUE(tSent.size() != 1 || in_pConn == nullptr || tSent[0].pConn == in_pConn);
        return tSent.size() == 1 ? tSent[0].tMsg : Bytes(20, 0xEE);
    }
    /* Fills the callback queue so that the next event cannot be queued. */
    void FillCallbackQueue()
    {
        uint8_t ucDummy[16] = {0};
        while (VXQ_F_TOOLS_QUEUE_SetData(p->hCallbackQueue, ucDummy, sizeof(ucDummy), 0)) {
        }
    }
    int TransCount()
    {
        return (int)std::count_if(p->pTrans, p->pTrans + VXQ_DPS_MAX_TRANS_NUM,
                                  [](const void *in_pTrans) { return in_pTrans != nullptr; });
    }

    _VXQ_S_DPS_MCSRV_DATA *p = nullptr;

  private:
    VXQ_HQUEUE m_hLogQueue = NULL;
    Bytes m_tWork;
};

/* An instance as the start initialises it (queues, tables, media table) but
 * without threads, engine or sockets: for the control thread's own duties. */
class InitRig : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        m_p = (_VXQ_S_DPS_MCSRV_DATA *)calloc(1, sizeof(_VXQ_S_DPS_MCSRV_DATA));
        VXQ_F_DPS_SVC_InstallFamilies(m_p);
        ASSERT_TRUE(VXQ_F_DPS_MC_InitData(m_p));
    }
    void TearDown() override
    {
        VXQ_F_DPS_MC_UninitData(m_p);
        free(m_p);
    }
    _VXQ_S_DPS_MCSRV_DATA *m_p = nullptr;
};

#endif
