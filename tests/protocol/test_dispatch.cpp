/* Dispatch of whole client messages by function id, without sockets (answers captured). */
#include <gtest/gtest.h>

#include "protocol/dispatch.h"
#include "support/offline_link.h"
#include "support/test_client.h"
#include "support/test_clock.h"
#include "wire/head.h"
#include "vxq_clock.h"

namespace
{

class DispatchOffline : public ::testing::Test
{
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
    std::vector<_VXQ_S_OFFLINE_SENT> &Sent()
    {
        return VXQ_F_OFFLINE_Sent();
    }

    _VXQ_S_DPS_MCSRV_DATA *m_pSrv = nullptr;
    _VXQ_S_DPS_NET_PORT_DATA *m_pConn = nullptr;
};

/* A request with reserved bytes, transaction number and high type bits set. */
std::vector<uint8_t> RequestWithMarks(uint16_t in_usFuncId, uint8_t in_ucTypeByte, size_t in_iBodyLen)
{
    std::vector<uint8_t> tMsg =
        VXQ_F_TESTCLI_BuildMsg(in_usFuncId, in_ucTypeByte, 0xA1B2C3D4u, nullptr, in_iBodyLen);
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
        {0x0105, 0x00, 0, true},   {0x0F01, 0x00, 8, true},  {0x0105, 0xFC, 4, true},
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
