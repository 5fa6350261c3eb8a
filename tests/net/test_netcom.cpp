#include <gtest/gtest.h>

#include "net_rig.h"
#include "support/wait_until.h"


#include <atomic>
#include <chrono>
#include <thread>

TEST(Netcom, NullEngineIsRefusedByEveryCall)
{
    int32_t bOn = 0, iLen = 8;
    uint16_t usPort = 0;
    uint32_t dwId = 0;
    char sBuf[8], *pBuf = NULL;
    const int32_t iGot[] = {VXQ_F_NETCOM_DoNetEvent(NULL, 0),
                            VXQ_F_NETCOM_CloseNetServer(NULL),
                            VXQ_F_NETCOM_StartTcpListen(NULL, &usPort, &dwId),
                            VXQ_F_NETCOM_StartUdpListen(NULL, &usPort, &dwId),
                            VXQ_F_NETCOM_AddTcpConnect(NULL, "127.0.0.1", 1, &dwId),
                            VXQ_F_NETCOM_SendTcpData(NULL, 1, "x", 1, 0, 0, 0),
                            VXQ_F_NETCOM_SendUdpData(NULL, 1, "127.0.0.1", 1, "x", 1, 0, 0, 0),
                            VXQ_F_NETCOM_QuerySendQueueSize(NULL, 1),
                            VXQ_F_NETCOM_GetBroadcastFlag(NULL, 1, &bOn),
                            VXQ_F_NETCOM_RecvData(NULL, sBuf, &iLen, 0),
                            VXQ_F_NETCOM_GetSendCompleteNotify(NULL),
                            VXQ_F_NETCOM_GetMaxSendBufferSize(NULL),
                            VXQ_F_NETCOM_QueryRecvQueueSize(NULL) + 1,
                            VXQ_F_NETCOM_SendTcpDataEx(NULL, 1, "x", 1, 0, 0, 0, 0),
                            VXQ_F_NETCOM_SendTcpDataGather(NULL, 1, "h", 1, "x", 1, NULL, NULL, 0, 0, 0),
                            VXQ_F_NETCOM_QuerySendQueueSizeEx(NULL, 0, 1),
                            VXQ_F_NETCOM_StatSendQueueDataTotalLen(NULL, -1, 1),
                            VXQ_F_NETCOM_ClearSendQueueData(NULL, 1),
                            VXQ_F_NETCOM_SetRecvDataState(NULL, 1, 1),
                            VXQ_F_NETCOM_GetRecvDataState(NULL, 1),
                            VXQ_F_NETCOM_SetBroadcastFlag(NULL, 1, 1),
                            VXQ_F_NETCOM_SetMaxSendBufferSize(NULL, 1),
                            VXQ_F_NETCOM_SetSendCompleteNotify(NULL, 1),
                            VXQ_F_NETCOM_CloseTcpConnect(NULL, 1),
                            VXQ_F_NETCOM_CloseTcpConnectAfterSend(NULL, 1, 0),
                            VXQ_F_NETCOM_CloseTcpListen(NULL, 1),
                            VXQ_F_NETCOM_CloseUdpListen(NULL, 1),
                            VXQ_F_NETCOM_CloseTcpListenByPortId(NULL, 1),
                            VXQ_F_NETCOM_CloseUdpListenByPortId(NULL, 1),
                            VXQ_F_NETCOM_RecvDataEx(NULL, &pBuf, &iLen, &iLen, 0),
                            VXQ_F_NETCOM_WakeUp(NULL)};
    for (size_t i = 0; i < sizeof(iGot) / sizeof(iGot[0]); i++)
        EXPECT_EQ(iGot[i], 0) << "call " << i;
    EXPECT_EQ(VXQ_F_NETCOM_GetRecvHandle(NULL), nullptr);
}

TEST(Netcom, OwnThreadModeServesWithoutDoNetEventAndIgnoresIt)
{
    RecordSink tSink;
    VXQ_HNETSRV h = VXQ_F_NETCOM_StartNetServer(0, 0, RecordSink::Callback, &tSink);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(VXQ_F_NETCOM_DoNetEvent(h, 5), 0);
    uint16_t usPort = 0;
    uint32_t dwUdp = 0;
    ASSERT_EQ(VXQ_F_NETCOM_StartUdpListen(h, &usPort, &dwUdp), 1); /* each call gives the engine lock back */
    ASSERT_EQ(VXQ_F_NETCOM_CloseUdpListen(h, usPort), 1);
    usPort = 0;
    ASSERT_EQ(VXQ_F_NETCOM_StartTcpListen(h, &usPort, NULL), 1);
    int iClient = LoopbackConnect(usPort);
    ASSERT_TRUE(WaitUntil([&] { return tSink.Count(VXQ_NETCOM_EVENT_CONNECT) == 1; }));
    uint32_t dwPortId = tSink.Of(VXQ_NETCOM_EVENT_CONNECT)[0].tHead.dwPortId;
    ASSERT_EQ(write(iClient, "ping", 4), 4);
    ASSERT_TRUE(WaitUntil([&] { return tSink.Count(VXQ_NETCOM_EVENT_DATA, dwPortId) == 1; }));
    ASSERT_EQ(VXQ_F_NETCOM_SendTcpData(h, dwPortId, "pong", 4, 0, 9, 1), 1);
    EXPECT_EQ(ReadBytes(iClient, 4), "pong");
    EXPECT_TRUE(WaitUntil([&] { return tSink.Count(VXQ_NETCOM_EVENT_SEND_COMP_NOTIFY, dwPortId) == 1; }));
    EXPECT_EQ(VXQ_F_NETCOM_QuerySendQueueSize(h, dwPortId), 0); /* the written item left before its notice */
    close(iClient);
    VXQ_F_NETCOM_CloseNetServer(h);
}

/* A wake-up that lands while a pass handles the previous one must never be
 * swallowed with the pending flag left set: every later wake-up would then
 * write nothing and the control thread would sleep out its select wait. */
TEST(Netcom, WakeUpsRacingThePassNeverLeaveThePendingFlagWithoutAByte)
{
    RecordSink tSink;
    VXQ_HNETSRV h = VXQ_F_NETCOM_StartNetServerByNoThread(RecordSink::Callback, &tSink);
    ASSERT_NE(h, nullptr);
    uint16_t usPort = 0;
    uint32_t dwId = 0;
    ASSERT_EQ(VXQ_F_NETCOM_StartTcpListen(h, &usPort, &dwId), 1);
    /* A burst before a pass costs one byte; the pass drains it and ends its wait. */
    EXPECT_EQ(VXQ_F_NETCOM_WakeUp(h), 1);
    EXPECT_EQ(VXQ_F_NETCOM_WakeUp(h), 1);
    EXPECT_EQ(h->bWakePending.load(), 1);
    auto tStart = std::chrono::steady_clock::now();
    EXPECT_EQ(VXQ_F_NETCOM_DoNetEvent(h, 5000), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - tStart, std::chrono::milliseconds(2500));
    EXPECT_EQ(h->bWakePending.load(), 0);
    char cByte;
    EXPECT_EQ(read(h->iWakeRead, &cByte, 1), -1) << "nothing left behind";
    std::atomic<int> bStop{0};
    std::thread tWaker([&]() {
        while (!bStop.load())
            VXQ_F_NETCOM_WakeUp(h);
    });
    for (int i = 0; i < 50000; i++)
        VXQ_F_NETCOM_DoNetEvent(h, 0);
    bStop = 1;
    tWaker.join();
    /* Whatever the last race left, one more wake-up must end a long wait. */
    VXQ_F_NETCOM_WakeUp(h);
    tStart = std::chrono::steady_clock::now();
    EXPECT_EQ(VXQ_F_NETCOM_DoNetEvent(h, 3000), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - tStart, std::chrono::milliseconds(1500));
    EXPECT_EQ(VXQ_F_NETCOM_CloseNetServer(h), 1);
}
