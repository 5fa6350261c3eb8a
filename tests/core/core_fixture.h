/*
 * core_fixture.h - what the service core tests share: a running service on a
 * port the system picks, a raw loopback client that sends exact bytes and reads
 * whole messages with deadlines, a recording test host, a way to look at and
 * change the control thread's state from a test (RunOnControl). Log lines are
 * caught with support/log_capture.h (only while no service runs: a running
 * service takes the log queue for itself).
 */
#ifndef VXQ_TEST_CORE_FIXTURE_H
#define VXQ_TEST_CORE_FIXTURE_H

#include "core/channel.h"
#include "core/conn.h"
#include "core/control.h"
#include "core/instance.h"
#include "service/service.h"
#include "support/log_capture.h"
#include "support/loopback.h"
#include "support/wait_until.h"
#include "wire/result.h"
#include "vxq_dps.h"
#include "vxq_log.h"
#include "vxq_netcom.h"
#include "vxq_queue.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

typedef std::vector<uint8_t> Bytes;

/* A UMSP message: 20-byte head (flag, size, id, type byte, result 0, trans no)
 * and a zeroed body. */
inline Bytes CoreMsg(uint16_t in_usFuncId, uint32_t in_dwTransNo, size_t in_nBodyLen = 0, uint8_t in_ucType = 0)
{
    Bytes tMsg(20 + in_nBodyLen, 0);
    uint32_t dwSize = (uint32_t)tMsg.size();
    for (int i = 0; i < 4; i++) {
        tMsg[i] = (uint8_t)(0xFFFFEEEEu >> (8 * i));
        tMsg[4 + i] = (uint8_t)(dwSize >> (8 * i));
        tMsg[12 + i] = (uint8_t)(in_dwTransNo >> (8 * i));
    }
    tMsg[8] = (uint8_t)in_usFuncId;
    tMsg[9] = (uint8_t)(in_usFuncId >> 8);
    tMsg[10] = in_ucType;
    return tMsg;
}

inline uint32_t CoreLe32(const Bytes &in_tMsg, size_t in_nOff)
{
    return (uint32_t)in_tMsg[in_nOff] | ((uint32_t)in_tMsg[in_nOff + 1] << 8) |
           ((uint32_t)in_tMsg[in_nOff + 2] << 16) | ((uint32_t)in_tMsg[in_nOff + 3] << 24);
}

/* A u32 of an event or order record: those are exchanged with the host in its
 * own byte order, never in wire order. */
inline uint32_t CoreHost32(const Bytes &in_tMsg, size_t in_nOff)
{
    uint32_t dwValue = 0;
    memcpy(&dwValue, &in_tMsg[in_nOff], 4);
    return dwValue;
}

inline void CorePutLe32(Bytes &inout_tMsg, size_t in_nOff, uint32_t in_dwValue)
{
    for (int i = 0; i < 4; i++)
        inout_tMsg[in_nOff + i] = (uint8_t)(in_dwValue >> (8 * i));
}

/* One raw TCP client on 127.0.0.1. */
class RawClient {
public:
    RawClient() = default;
    ~RawClient() { Close(); }
    RawClient(const RawClient &) = delete;
    RawClient &operator=(const RawClient &) = delete;

    bool Connect(uint16_t in_usPort)
    {
        m_iSock = LoopbackConnect(in_usPort);
        return m_iSock >= 0;
    }
    void Close()
    {
        if (m_iSock >= 0)
            close(m_iSock);
        m_iSock = -1;
    }
    bool Send(const Bytes &in_tData) { return Send(in_tData.data(), in_tData.size()); }
    bool Send(const uint8_t *in_pData, size_t in_nLen)
    {
        size_t nDone = 0;
        while (nDone < in_nLen) {
            ssize_t n = send(m_iSock, in_pData + nDone, in_nLen - nDone, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            nDone += (size_t)n;
        }
        return true;
    }
    /* Reads one whole message within the deadline; false on time-out or close. */
    bool ReadMsg(Bytes &out_tMsg, int in_iTimeoutMs = 5000)
    {
        auto tEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(VXQ_F_TESTTIME_ScaleMs(in_iTimeoutMs));
        for (;;) {
            if (m_tBuf.size() >= 8) {
                uint32_t dwSize = CoreLe32(m_tBuf, 4);
                if (dwSize >= 20 && m_tBuf.size() >= dwSize) {
                    out_tMsg.assign(m_tBuf.begin(), m_tBuf.begin() + dwSize);
                    m_tBuf.erase(m_tBuf.begin(), m_tBuf.begin() + dwSize);
                    return true;
                }
            }
            int iLeft = (int)std::chrono::duration_cast<std::chrono::milliseconds>(tEnd - std::chrono::steady_clock::now()).count();
            if (iLeft <= 0 || !Fill(iLeft))
                return false;
        }
    }
    /* True when the service closes the connection within the deadline (data before the close is skipped). */
    bool WaitClosed(int in_iTimeoutMs = 5000)
    {
        auto tEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(VXQ_F_TESTTIME_ScaleMs(in_iTimeoutMs));
        while (!m_bClosed) {
            int iLeft = (int)std::chrono::duration_cast<std::chrono::milliseconds>(tEnd - std::chrono::steady_clock::now()).count();
            if (!Fill(iLeft > 0 ? iLeft : 0) && iLeft <= 0)
                break;
        }
        return m_bClosed;
    }
    /* True when nothing at all arrives and the socket stays open for in_iMs. */
    bool Silent(int in_iMs)
    {
        size_t nBefore = m_tBuf.size();
        Fill(in_iMs);
        return !m_bClosed && m_tBuf.size() == nBefore;
    }
    int Sock() const { return m_iSock; }

private:
    bool Fill(int in_iTimeoutMs)
    {
        pollfd tPoll = {m_iSock, POLLIN, 0};
        uint8_t ucBuf[65536];
        if (m_bClosed || poll(&tPoll, 1, in_iTimeoutMs) <= 0)
            return false;
        ssize_t n = recv(m_iSock, ucBuf, sizeof(ucBuf), 0);
        if (n <= 0) {
            m_bClosed = true;
            return false;
        }
        m_tBuf.insert(m_tBuf.end(), ucBuf, ucBuf + n);
        return true;
    }
    int m_iSock = -1;
    bool m_bClosed = false;
    Bytes m_tBuf;
};

/* The test host: records every event with the thread it came on; an optional
 * reaction runs inside the callback (it may post orders). */
struct TestHost {
    std::mutex tLock;
    std::condition_variable tCond;
    std::vector<Bytes> tEvents;
    std::vector<std::thread::id> tThreads;
    std::function<void(const Bytes &)> fnOnEvent;

    static int EventCallback(void *in_pUser, const void *in_pMsg, int in_iLen)
    {
        TestHost *pHost = (TestHost *)in_pUser;
        Bytes tEvent((const uint8_t *)in_pMsg, (const uint8_t *)in_pMsg + in_iLen);
        {
            std::lock_guard<std::mutex> tGuard(pHost->tLock);
            pHost->tEvents.push_back(tEvent);
            pHost->tThreads.push_back(std::this_thread::get_id());
        }
        pHost->tCond.notify_all();
        if (pHost->fnOnEvent)
            pHost->fnOnEvent(tEvent);
        return 0;
    }
    size_t Count()
    {
        std::lock_guard<std::mutex> tGuard(tLock);
        return tEvents.size();
    }
    /* Waits until an event with this id arrived; fills out_tEvent with the first such. */
    bool WaitEvent(int32_t in_iId, Bytes &out_tEvent, int in_iTimeoutMs = 5000)
    {
        std::unique_lock<std::mutex> tGuard(tLock);
        return tCond.wait_for(tGuard, std::chrono::milliseconds(VXQ_F_TESTTIME_ScaleMs(in_iTimeoutMs)), [&] {
            for (auto &tEvent : tEvents) {
                int32_t iId;
                memcpy(&iId, tEvent.data(), 4);
                if (iId == in_iId) {
                    out_tEvent = tEvent;
                    return true;
                }
            }
            return false;
        });
    }
};

inline _VXQ_S_DPS_DEV_CAP_INFO CoreCapInfo()
{
    _VXQ_S_DPS_DEV_CAP_INFO tCap;
    memset(&tCap, 0, sizeof(tCap));
    tCap.iVideoChanNum = 4;
    tCap.iAudioChanNum = 1;
    return tCap;
}

/* Starts a service on a port the system picks, with the test host's callbacks. */
inline VXQ_DPS_HANDLE CoreStart(TestHost *in_pHost, const _VXQ_S_DPS_DEV_CAP_INFO *in_pCap = NULL)
{
    _VXQ_S_DPS_DEV_CAP_INFO tCap = in_pCap ? *in_pCap : CoreCapInfo();
    return VXQ_F_DPS_StartDevProNetServer(0, &tCap, in_pHost ? TestHost::EventCallback : NULL, in_pHost, NULL,
                                          NULL, 0, 0, 0, NULL, 0, 0);
}

inline uint16_t CorePort(VXQ_DPS_HANDLE in_h) { return in_h->usTcpPort; }

/* Runs in_fnWork on the control thread and waits for it (5 s deadline). */
inline bool RunOnControl(VXQ_DPS_HANDLE in_h, std::function<void(_VXQ_S_DPS_MCSRV_DATA *)> in_fnWork)
{
    struct Job {
        std::function<void(_VXQ_S_DPS_MCSRV_DATA *)> fnWork;
        std::atomic<int> bDone{0};
    };
    auto pJob = std::make_shared<Job>();
    pJob->fnWork = in_fnWork;
    Job *pRaw = pJob.get();
    auto fnTrampoline = [](_VXQ_S_DPS_MCSRV_DATA *p, const uint8_t *in_pArg, int32_t) {
        Job *pJobArg;
        memcpy(&pJobArg, in_pArg, sizeof(pJobArg));
        pJobArg->fnWork(p);
        pJobArg->bDone.store(1);
    };
    if (!VXQ_F_DPS_MC_PostControlWork(in_h, fnTrampoline, &pRaw, (int32_t)sizeof(pRaw)))
        return false;
    return WaitUntil([&] { return pJob->bDone.load() == 1; }, 5000);
}

/* The connection records in table order, read on the control thread. */
inline int CoreConnCount(VXQ_DPS_HANDLE in_h)
{
    int iNum = -1;
    RunOnControl(in_h, [&](_VXQ_S_DPS_MCSRV_DATA *p) { iNum = VXQ_F_DPS_MC_StatTcpConnNum(p); });
    return iNum;
}

/* Waits until the table holds in_iNum connections. */
inline bool CoreWaitConnCount(VXQ_DPS_HANDLE in_h, int in_iNum)
{
    return WaitUntil([&] { return CoreConnCount(in_h) == in_iNum; }, 5000);
}

/* The connection whose peer port is the client's local port, or null (control thread). */
inline _VXQ_S_DPS_NET_PORT_DATA *CoreConnOf(_VXQ_S_DPS_MCSRV_DATA *p, const RawClient &in_tClient)
{
    sockaddr_in tAddr;
    socklen_t nLen = sizeof(tAddr);
    getsockname(in_tClient.Sock(), (sockaddr *)&tAddr, &nLen);
    for (int i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++) {
        if (p->pConn[i] != NULL && p->pConn[i]->usPeerPort == ntohs(tAddr.sin_port))
            return p->pConn[i];
    }
    return NULL;
}

#endif
