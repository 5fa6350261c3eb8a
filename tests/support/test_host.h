/*
 * test_host.h - a host application for tests: owns one running service (on a
 * port the system picks), its capability record, the users behind the lookup
 * callback and the events delivered. An optional hook runs inside the event
 * callback and may answer at once, as a real host may.
 *
 * Threads: lookup on the control thread, events on the callback thread, the
 * test on its own; tLock guards users, events and hook. Set hook and users
 * before Start or under no traffic; the destructor stops the service.
 */
#ifndef VXQ_TEST_HOST_H
#define VXQ_TEST_HOST_H

#include "core/instance.h"
#include "support/test_client.h"
#include "vxq_dps.h"

#include <gtest/gtest.h>

#include <stdint.h>

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <string>
#include <vector>

/* One user the lookup callback knows. */
typedef struct _VXQ_S_TESTHOST_USER {
    std::string sName;
    std::string sPassword;
    uint32_t dwPopMask;   /* rights on every channel */
    uint32_t dwChPopMask; /* rights put into each of the 64 channel words */
} _VXQ_S_TESTHOST_USER;

struct _VXQ_S_TESTHOST_DATA;

/* Runs inside the event callback with a copy of the event (head and body). */
typedef std::function<void(_VXQ_S_TESTHOST_DATA *, const std::vector<uint8_t> &)> VXQ_TESTHOST_EVENT_HOOK;

/* A recording the host holds: what a client opens it by, its channel, its bytes. */
typedef struct _VXQ_S_RECHOST_FILE {
    std::string sFlag;
    int32_t iChNo;
    std::vector<uint8_t> tData;
} _VXQ_S_RECHOST_FILE;

typedef struct _VXQ_S_RECHOST_OPEN {
    size_t iFile; /* index in tFiles */
    size_t iPos;  /* the next byte to read */
} _VXQ_S_RECHOST_OPEN;

typedef struct _VXQ_S_TESTHOST_DATA {
    _VXQ_S_DPS_MCSRV_DATA *pSrv = nullptr; /* the running instance (tests may look inside) */
    uint16_t usPort = 0;                   /* TCP port the service listens on (asked for, when set before Start) */
    _VXQ_S_DPS_DEV_CAP_INFO tCap;          /* record given at start ("DEV1", 4 video, 2 audio channels) */
    std::mutex tLock;
    std::condition_variable tCond;
    std::vector<_VXQ_S_TESTHOST_USER> tUsers;
    std::vector<std::vector<uint8_t>> tEvents; /* delivered and not yet taken, oldest first */
    int bWriteLogToFile = 0;                   /* the start's log file switch */
    VXQ_TESTHOST_EVENT_HOOK fnHook;
    /* Recordings: once a file is added, the event callback itself answers opens
     * by flag, reads (the next 64 KiB of the file split over three orders,
     * data-end 0 on all but the last) and closes, before the hook runs. */
    std::vector<_VXQ_S_RECHOST_FILE> tFiles;
    std::map<uint32_t, _VXQ_S_RECHOST_OPEN> tOpen; /* by read id */
    uint32_t dwNextReadId = 0x5000;

    _VXQ_S_TESTHOST_DATA();
    ~_VXQ_S_TESTHOST_DATA();
} _VXQ_S_TESTHOST_DATA;

/* Adds (or replaces) a user of the lookup callback. */
void VXQ_F_TESTHOST_AddUser(_VXQ_S_TESTHOST_DATA *inout_pHost, const std::string &in_sName,
                            const std::string &in_sPassword, uint32_t in_dwPopMask = 0xFF,
                            uint32_t in_dwChPopMask = 0);

/* Sets the hook that runs inside the event callback (null clears it). */
void VXQ_F_TESTHOST_SetHook(_VXQ_S_TESTHOST_DATA *inout_pHost, VXQ_TESTHOST_EVENT_HOOK in_fnHook);

/* Starts a service with tCap on usPort (0: a port the system picks), retrying for
 * up to in_iTimeoutMs while the start fails. Returns 1 with pSrv and usPort set. */
int VXQ_F_TESTHOST_Start(_VXQ_S_TESTHOST_DATA *inout_pHost, int in_iPwdMode = 0, int in_iTimeoutMs = 10000);

/* Stops the service (safe when not started). */
void VXQ_F_TESTHOST_Stop(_VXQ_S_TESTHOST_DATA *inout_pHost);

/* Waits up to in_iTimeoutMs for a delivered event with id in_iMsgFuncId (-1: any)
 * and takes it out of the list. Returns 1 with the event in out_tEvent. */
int VXQ_F_TESTHOST_WaitEvent(_VXQ_S_TESTHOST_DATA *inout_pHost, int32_t in_iMsgFuncId,
                             std::vector<uint8_t> &out_tEvent, int in_iTimeoutMs = 3000);

/* Runs in_fnWork on the control thread (posted as control work, in order with
 * orders) and waits for it; the only race-free way for a test to look at
 * connection records. RunOnControl serves any running instance. 1 when it ran. */
int VXQ_F_TESTHOST_RunOnControl(_VXQ_S_DPS_MCSRV_DATA *inout_pSrv,
                                std::function<void(_VXQ_S_DPS_MCSRV_DATA *)> in_fnWork, int in_iTimeoutMs = 5000);
inline int VXQ_F_TESTHOST_OnControlThread(_VXQ_S_TESTHOST_DATA *inout_pHost,
                                          std::function<void(_VXQ_S_DPS_MCSRV_DATA *)> in_fnWork,
                                          int in_iTimeoutMs = 3000)
{
    return VXQ_F_TESTHOST_RunOnControl(inout_pHost->pSrv, in_fnWork, in_iTimeoutMs);
}
/* Connections in the table (-1 when the control thread did not answer); WaitConnCount waits 5 s for in_iNum. */
int VXQ_F_TESTHOST_ConnCount(_VXQ_S_DPS_MCSRV_DATA *inout_pSrv);
int VXQ_F_TESTHOST_WaitConnCount(_VXQ_S_DPS_MCSRV_DATA *inout_pSrv, int in_iNum);
/* The connection whose peer port is the client's local port, or null (control thread only). */
_VXQ_S_DPS_NET_PORT_DATA *VXQ_F_TESTHOST_ConnOf(_VXQ_S_DPS_MCSRV_DATA *in_pSrv, const TestClient &in_tClient);
/* A bare capability record (4 video, 1 audio channel), and a service started with it (or in_pCap) and no callbacks. */
_VXQ_S_DPS_DEV_CAP_INFO TestBareCap(void);
VXQ_DPS_HANDLE VXQ_F_TESTHOST_StartBare(const _VXQ_S_DPS_DEV_CAP_INFO *in_pCap = nullptr);

/* Adds a recording of in_iSize pseudo-random bytes of in_dwSeed; Answer: the
 * orders answering an event (empty when the host leaves it to the test). */
void VXQ_F_RECHOST_AddFile(_VXQ_S_TESTHOST_DATA *inout_pRec, const std::string &in_sFlag, int32_t in_iChNo,
                           size_t in_iSize, uint32_t in_dwSeed);
std::vector<std::vector<uint8_t>> VXQ_F_RECHOST_Answer(_VXQ_S_TESTHOST_DATA *inout_pRec,
                                                       const std::vector<uint8_t> &in_tEvent);

/* An event hook that answers every open-stream event at once (640x480 video, 8 kHz audio). */
void VXQ_F_TESTHOST_AnswerOpenStream(_VXQ_S_TESTHOST_DATA *inout_pHost, const std::vector<uint8_t> &in_tEvent);

/* A host-order u32 of an event or order at in_iOffset (0 past its end); the id and the transaction id. */
uint32_t TestWord(const Bytes &in_tMsg, size_t in_iOffset);
int32_t VXQ_F_TESTHOST_MsgFuncId(const std::vector<uint8_t> &in_tMsg);
uint32_t VXQ_F_TESTHOST_TransId(const std::vector<uint8_t> &in_tMsg);

/* An order: 16-byte head (id, type 0, the result, the transaction id, body length), then the body. */
std::vector<uint8_t> VXQ_F_TESTHOST_BuildOrder(int32_t in_iMsgFuncId, uint8_t in_ucResult, uint32_t in_dwTransId,
                                               const void *in_pBody, int32_t in_iBodyLen);
/* Posts an order with VXQ_F_DPS_SendDevProData; returns its result. Any thread, also inside the hook. */
int VXQ_F_TESTHOST_PostOrder(_VXQ_S_TESTHOST_DATA *inout_pHost, const std::vector<uint8_t> &in_tOrder);
/* Answers an event with its own id, transaction id and body and the given error code. */
int VXQ_F_TESTHOST_AnswerEvent(_VXQ_S_TESTHOST_DATA *inout_pHost, const std::vector<uint8_t> &in_tEvent,
                               uint8_t in_ucErrorCode);
/* An order (or event) with the type byte in_ucMsgType. */
inline Bytes TestOrder(int32_t in_iMsgFuncId, uint8_t in_ucResult, uint32_t in_dwTransId, const void *in_pBody,
                       int32_t in_iBodyLen, uint8_t in_ucMsgType = 1)
{
    Bytes tOrder = VXQ_F_TESTHOST_BuildOrder(in_iMsgFuncId, in_ucResult, in_dwTransId, in_pBody, in_iBodyLen);
    tOrder[4] = in_ucMsgType;
    return tOrder;
}

/*
 * HostFixture - a running service with a test host and real loopback clients.
 * Each test gets its own service (on a port the system picks) whose lookup
 * callback knows "admin" / "pw" with every right; clients close with the fixture.
 */
class HostFixture : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        VXQ_F_TESTHOST_AddUser(&m_tHost, "admin", "pw", 0xFF, 0xFF);
        ASSERT_EQ(VXQ_F_TESTHOST_Start(&m_tHost), 1);
    }
    void TearDown() override
    {
        m_tClients.clear();
        VXQ_F_TESTHOST_Stop(&m_tHost);
    }
    /* A connected command connection that asked for a token and, when in_bLogin, logged in. */
    TestClient &Client(bool in_bLogin = true);
    /* A request with a zeroed body of in_iBodyLen bytes and a fresh request number. */
    Bytes Msg(uint16_t in_usFuncId, size_t in_iBodyLen) { return TestMsg(in_usFuncId, ++m_dwTransNo, in_iBodyLen); }
    /* Sends the request and returns the next message; Read: the next message (both empty when none came). */
    Bytes Ask(TestClient &inout_tCli, const Bytes &in_tMsg)
    {
        Bytes tAnswer;
        return VXQ_F_TESTCLI_Request(&inout_tCli.t, in_tMsg, tAnswer) ? tAnswer : Bytes();
    }
    Bytes Read(TestClient &inout_tCli)
    {
        Bytes tMsg;
        return VXQ_F_TESTCLI_ReadMsg(&inout_tCli.t, tMsg) ? tMsg : Bytes();
    }
    /* The first event with that id (-1: any) delivered and not yet taken (empty when none). */
    Bytes Event(int32_t in_iMsgFuncId = -1)
    {
        Bytes tEvent;
        return VXQ_F_TESTHOST_WaitEvent(&m_tHost, in_iMsgFuncId, tEvent) ? tEvent : Bytes();
    }
    static uint32_t Word(const Bytes &in_tMsg, size_t in_iOffset) { return TestWord(in_tMsg, in_iOffset); }
    /* Answers an event (same id and transaction) with in_pBody, or with the event's own body. */
    void Answer(const Bytes &in_tEvent, uint8_t in_ucErrorCode, const void *in_pBody = nullptr,
                int32_t in_iBodyLen = -1);

    _VXQ_S_TESTHOST_DATA m_tHost;

  private:
    std::vector<std::unique_ptr<TestClient>> m_tClients;
    uint32_t m_dwTransNo = 0x7000;
};

#endif
