/* Dispatch of whole client messages by function id, without sockets (answers captured). */
#include "support/offline_rig.h"
#include "vxq_clock.h"

namespace
{

class DispatchOffline : public OfflineRig
{
  protected:
    void SetUp() override
    {
        OfflineRig::SetUp();
        pConn = AddConn(1, VXQ_DPS_CONN_NEW);
    }
    /* A request with reserved bytes, transaction number and high type bits set,
     * dispatched with 32 guard bytes behind it that must stay; the message as
     * the dispatcher left it. */
    Bytes Dispatch(uint16_t in_usFuncId, uint8_t in_ucTypeByte, size_t in_iBodyLen, Bytes *out_pSent = nullptr)
    {
        Bytes tMsg = VXQ_F_TESTCLI_BuildMsg(in_usFuncId, in_ucTypeByte, 0xA1B2C3D4u, nullptr, in_iBodyLen);
        for (size_t i = 16; i < tMsg.size(); i++)
            tMsg[i] = (uint8_t)(i * 7);
        if (out_pSent != nullptr)
            *out_pSent = tMsg;
        size_t n = tMsg.size();
        tMsg.resize(n + 32, 0xA5);
        VXQ_F_DPS_MW_DoSingleNetDataPacket(p, pConn, tMsg.data(), (int32_t)n);
        EXPECT_EQ(Bytes(tMsg.begin() + (long)n, tMsg.end()), Bytes(32, 0xA5));
        tMsg.resize(n);
        return tMsg;
    }
    _VXQ_S_DPS_NET_PORT_DATA *pConn = nullptr;
};

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
    for (const auto &c : tCases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.usFuncId << " " << (int)c.ucTypeByte);
        Bytes tRequest;
        Bytes tAfter = Dispatch(c.usFuncId, c.ucTypeByte, c.iBodyLen, &tRequest);
        std::vector<_VXQ_S_OFFLINE_SENT> tSent = Sent();
        if (!c.bAnswered) {
            EXPECT_TRUE(tSent.empty());
            EXPECT_EQ(tAfter, tRequest);
            continue;
        }
        /* The request with type bits 1 and result 42, nothing else changed. */
        tRequest[10] = (uint8_t)((tRequest[10] & 0xFC) | 1);
        tRequest[11] = 42;
        ASSERT_EQ(tSent.size(), 1u);
        EXPECT_EQ(tSent[0].pConn, pConn);
        EXPECT_EQ(tSent[0].iSendClass, 0);
        EXPECT_EQ(tSent[0].tMsg, tRequest);
    }
}

TEST_F(DispatchOffline, EveryMessageRefreshesTheLastReceiveTime)
{
    TestClock tClock(1700001234);
    const struct {
        uint16_t usFuncId;
        uint8_t ucTypeByte;
    } tCases[] = {{0x0105, 0}, {P0_HEARTBEAT, 1}, {P2_PTZ, 0}, {P1_LOGOUT, 0}};
    for (const auto &c : tCases) {
        pConn->tLastRecvTime = 5;
        Dispatch(c.usFuncId, c.ucTypeByte, 4);
        EXPECT_EQ(pConn->tLastRecvTime, VXQ_F_CLOCK_NowSec()) << std::hex << c.usFuncId;
        EXPECT_GE(pConn->tLastRecvTime, 1700001234);
        tClock.AdvanceSec(7);
    }
}
