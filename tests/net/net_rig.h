/*
 * net_rig.h - the network engine tests' rigs: an engine without a thread whose
 * records land in a sink, and the same with a listener and one accepted
 * loopback connection. Closed at scope end.
 */
#ifndef VXQ_TEST_NET_RIG_H
#define VXQ_TEST_NET_RIG_H

#include "net/selengine.h"
#include "support/loopback.h"
#include "support/record_sink.h"
#include "vxq_netcom.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

struct Engine {
    RecordSink tSink;
    VXQ_HNETSRV hNetSrv = NULL;
    Engine() { hNetSrv = VXQ_F_NETCOM_StartNetServerByNoThread(RecordSink::Callback, &tSink); }
    ~Engine() { VXQ_F_NETCOM_CloseNetServer(hNetSrv); }
    /* Listens on a system-chosen TCP port. */
    uint32_t Listen(uint16_t *out_pPort)
    {
        uint32_t dwPortId = 0;
        *out_pPort = 0;
        EXPECT_EQ(VXQ_F_NETCOM_StartTcpListen(hNetSrv, out_pPort, &dwPortId), 1);
        return dwPortId;
    }
    /* Connects a loopback client and returns the engine's port id of the accepted side. */
    uint32_t Accept(uint16_t in_usPort, int *out_pClient)
    {
        size_t nBefore = tSink.Count(VXQ_NETCOM_EVENT_CONNECT);
        *out_pClient = LoopbackConnect(in_usPort);
        EXPECT_GE(*out_pClient, 0);
        EXPECT_TRUE(Pump(hNetSrv, [&] { return tSink.Count(VXQ_NETCOM_EVENT_CONNECT) > nBefore; }));
        std::vector<NetRecord> tConnects = tSink.Of(VXQ_NETCOM_EVENT_CONNECT);
        return tConnects.empty() ? 0 : tConnects.back().tHead.dwPortId;
    }
};

struct Connected : Engine {
    uint16_t usPort = 0;
    int iClient = -1;
    uint32_t dwPortId = 0;
    int iEngineFd = -1; /* the accepted side's descriptor, for the fake socket layer */
    Connected()
    {
        Listen(&usPort);
        dwPortId = Accept(usPort, &iClient);
        iEngineFd = VXQ_F_NET_SELECT_MC_QuerySocketWorkDataByPortId(hNetSrv, dwPortId)->iSocket;
    }
    ~Connected() { close(iClient); }
    /* Exactly one engine pass. */
    void Pass() { VXQ_F_NETCOM_DoNetEvent(hNetSrv, 200); }
    int32_t Queued() { return VXQ_F_NETCOM_QuerySendQueueSize(hNetSrv, dwPortId); }
    int32_t Bytes() { return VXQ_F_NETCOM_StatSendQueueDataTotalLen(hNetSrv, -1, dwPortId); }
    void Drain() { EXPECT_TRUE(Pump(hNetSrv, [&] { return Queued() == 0; })); }
};

#endif
