/* test_host.cpp - the test host application: service start/stop, users, recorded events, orders. */
#include "support/test_host.h"
#include "support/wait_until.h"

#include "core/channel.h"
#include "core/control.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <string.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

/* A valid capability record: "DEV1", "TestModel"/"TestVendor", 4 video and 2 audio channels, caps 1-4. */
_VXQ_S_TESTHOST_DATA::_VXQ_S_TESTHOST_DATA()
{
    memset(&tCap, 0, sizeof(tCap));
    strcpy(tCap.sDevIdText, "DEV1");
    strcpy(tCap.sDevText1, "TestModel");
    strcpy(tCap.sDevText2, "TestVendor");
    tCap.iVideoChanNum = 4;
    tCap.iAudioChanNum = 2;
    tCap.iDevCapValue1 = 1;
    tCap.iDevCapValue2 = 2;
    tCap.iDevCapValue3 = 3;
    tCap.iDevCapValue4 = 4;
}

_VXQ_S_TESTHOST_DATA::~_VXQ_S_TESTHOST_DATA() { VXQ_F_TESTHOST_Stop(this); }

void VXQ_F_TESTHOST_AddUser(_VXQ_S_TESTHOST_DATA *inout_pHost, const std::string &in_sName,
                            const std::string &in_sPassword, uint32_t in_dwPopMask, uint32_t in_dwChPopMask)
{
    std::lock_guard<std::mutex> tGuard(inout_pHost->tLock);
    _VXQ_S_TESTHOST_USER tNew = {in_sName, in_sPassword, in_dwPopMask, in_dwChPopMask};
    for (_VXQ_S_TESTHOST_USER &tUser : inout_pHost->tUsers)
        if (tUser.sName == in_sName)
            return (void)(tUser = tNew);
    inout_pHost->tUsers.push_back(tNew);
}

void VXQ_F_TESTHOST_SetHook(_VXQ_S_TESTHOST_DATA *inout_pHost, VXQ_TESTHOST_EVENT_HOOK in_fnHook)
{
    std::lock_guard<std::mutex> tGuard(inout_pHost->tLock);
    inout_pHost->fnHook = in_fnHook;
}

/* Event callback (callback thread): records a copy, then runs the hook unlocked. */
static int PR_OnEvent(void *in_pUser, const void *in_pMsg, int in_iLength)
{
    _VXQ_S_TESTHOST_DATA *pHost = (_VXQ_S_TESTHOST_DATA *)in_pUser;
    const uint8_t *pMsg = (const uint8_t *)in_pMsg;
    std::vector<uint8_t> tEvent(pMsg, pMsg + in_iLength);
    VXQ_TESTHOST_EVENT_HOOK fnHook;
    {
        std::lock_guard<std::mutex> tGuard(pHost->tLock);
        pHost->tEvents.push_back(tEvent);
        fnHook = pHost->fnHook;
    }
    pHost->tCond.notify_all();
    for (const std::vector<uint8_t> &tOrder : VXQ_F_RECHOST_Answer(pHost, tEvent))
        VXQ_F_TESTHOST_PostOrder(pHost, tOrder);
    if (fnHook)
        fnHook(pHost, tEvent);
    return 0;
}

/* User lookup callback (control thread). */
static int PR_OnQueryUser(void *in_pUser, const char *in_sUserName, _VXQ_S_DPS_USER_INFO *out_pUserInfo)
{
    _VXQ_S_TESTHOST_DATA *pHost = (_VXQ_S_TESTHOST_DATA *)in_pUser;
    std::lock_guard<std::mutex> tGuard(pHost->tLock);
    for (const _VXQ_S_TESTHOST_USER &tUser : pHost->tUsers) {
        if (tUser.sName != in_sUserName)
            continue;
        strncpy(out_pUserInfo->sUserName, tUser.sName.c_str(), sizeof(out_pUserInfo->sUserName) - 1);
        strncpy(out_pUserInfo->sPassword, tUser.sPassword.c_str(), sizeof(out_pUserInfo->sPassword) - 1);
        out_pUserInfo->dwPopMask = tUser.dwPopMask;
        for (uint32_t &dwWord : out_pUserInfo->dwChPopMask)
            dwWord = tUser.dwChPopMask;
        return 1;
    }
    return 0;
}

int VXQ_F_TESTHOST_Start(_VXQ_S_TESTHOST_DATA *inout_pHost, int in_iPwdMode, int in_iTimeoutMs)
{
    VXQ_F_TESTHOST_Stop(inout_pHost);
    /* Another test program may hold a socket the start needs for a moment. */
    bool bStarted = WaitUntil([&] {
        inout_pHost->pSrv = VXQ_F_DPS_StartDevProNetServer(inout_pHost->usPort, &inout_pHost->tCap, PR_OnEvent, inout_pHost,
                                                           PR_OnQueryUser, inout_pHost, 0, 0,
                                                           inout_pHost->bWriteLogToFile, nullptr, 0, in_iPwdMode);
        if (!inout_pHost->pSrv)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return inout_pHost->pSrv != nullptr;
    }, in_iTimeoutMs);
    if (!bStarted)
        return 0;
    inout_pHost->usPort = inout_pHost->pSrv->usTcpPort;
    return inout_pHost->usPort != 0 ? 1 : 0;
}

void VXQ_F_TESTHOST_Stop(_VXQ_S_TESTHOST_DATA *inout_pHost)
{
    if (!inout_pHost->pSrv)
        return;
    VXQ_F_DPS_StopDevProNetServer(inout_pHost->pSrv);
    inout_pHost->pSrv = nullptr;
    inout_pHost->usPort = 0;
}

int VXQ_F_TESTHOST_WaitEvent(_VXQ_S_TESTHOST_DATA *inout_pHost, int32_t in_iMsgFuncId,
                             std::vector<uint8_t> &out_tEvent, int in_iTimeoutMs)
{
    std::unique_lock<std::mutex> tGuard(inout_pHost->tLock);
    std::vector<Bytes> &tEvents = inout_pHost->tEvents;
    auto tIt = tEvents.end();
    if (!inout_pHost->tCond.wait_for(tGuard, std::chrono::milliseconds(VXQ_F_TESTTIME_ScaleMs(in_iTimeoutMs)), [&] {
            tIt = std::find_if(tEvents.begin(), tEvents.end(), [&](const Bytes &in_tEvent) {
                return in_iMsgFuncId < 0 || VXQ_F_TESTHOST_MsgFuncId(in_tEvent) == in_iMsgFuncId;
            });
            return tIt != tEvents.end();
        }))
        return 0;
    out_tEvent = *tIt;
    tEvents.erase(tIt);
    return 1;
}

/* One control-thread job, shared by the waiting test and the control thread. */
struct _VXQ_S_TESTHOST_CONTROL_JOB {
    std::function<void(_VXQ_S_DPS_MCSRV_DATA *)> fnWork;
    std::promise<void> tDone;
};

/* Control work (control thread): takes over the job reference passed as the argument and runs it. */
static void PR_RunControlJob(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, const uint8_t *in_pArg, int32_t in_iArgLen)
{
    if (in_iArgLen != (int32_t)sizeof(void *))
        return;
    std::shared_ptr<_VXQ_S_TESTHOST_CONTROL_JOB> *pHeld = nullptr;
    memcpy(&pHeld, in_pArg, sizeof(pHeld));
    std::shared_ptr<_VXQ_S_TESTHOST_CONTROL_JOB> pJob = *pHeld;
    delete pHeld;
    pJob->fnWork(inout_pMcSrvData);
    pJob->tDone.set_value();
}

int VXQ_F_TESTHOST_RunOnControl(_VXQ_S_DPS_MCSRV_DATA *inout_pSrv,
                                std::function<void(_VXQ_S_DPS_MCSRV_DATA *)> in_fnWork, int in_iTimeoutMs)
{
    if (!inout_pSrv)
        return 0;
    std::shared_ptr<_VXQ_S_TESTHOST_CONTROL_JOB> pJob = std::make_shared<_VXQ_S_TESTHOST_CONTROL_JOB>();
    pJob->fnWork = in_fnWork;
    std::future<void> tDone = pJob->tDone.get_future();
    /* The control thread owns one reference until it ran the job; a job that
     * never runs (service stopped first) leaks that small record only. */
    auto *pHeld = new std::shared_ptr<_VXQ_S_TESTHOST_CONTROL_JOB>(pJob);
    if (!VXQ_F_DPS_MC_PostControlWork(inout_pSrv, PR_RunControlJob, &pHeld, sizeof(pHeld))) {
        delete pHeld;
        return 0;
    }
    auto tWait = std::chrono::milliseconds(VXQ_F_TESTTIME_ScaleMs(in_iTimeoutMs));
    return tDone.wait_for(tWait) == std::future_status::ready ? 1 : 0;
}

uint32_t TestWord(const Bytes &in_tMsg, size_t in_iOffset)
{
    uint32_t dwValue = 0;
    if (in_tMsg.size() >= in_iOffset + 4)
        memcpy(&dwValue, in_tMsg.data() + in_iOffset, 4);
    return dwValue;
}

int32_t VXQ_F_TESTHOST_MsgFuncId(const Bytes &in_tMsg) { return (int32_t)TestWord(in_tMsg, 0); }
uint32_t VXQ_F_TESTHOST_TransId(const Bytes &in_tMsg) { return TestWord(in_tMsg, 8); }

std::vector<uint8_t> VXQ_F_TESTHOST_BuildOrder(int32_t in_iMsgFuncId, uint8_t in_ucResult,
                                               uint32_t in_dwTransId, const void *in_pBody,
                                               int32_t in_iBodyLen)
{
    int32_t iBodyLen = in_iBodyLen > 0 ? in_iBodyLen : 0;
    std::vector<uint8_t> tOrder(16 + (size_t)iBodyLen, 0);
    memcpy(tOrder.data(), &in_iMsgFuncId, 4);
    tOrder[5] = in_ucResult;
    memcpy(tOrder.data() + 8, &in_dwTransId, 4);
    memcpy(tOrder.data() + 12, &iBodyLen, 4);
    if (in_pBody && iBodyLen)
        memcpy(tOrder.data() + 16, in_pBody, (size_t)iBodyLen);
    return tOrder;
}

int VXQ_F_TESTHOST_PostOrder(_VXQ_S_TESTHOST_DATA *inout_pHost, const std::vector<uint8_t> &in_tOrder)
{
    if (!inout_pHost->pSrv || in_tOrder.empty())
        return 0;
    return VXQ_F_DPS_SendDevProData(inout_pHost->pSrv, in_tOrder.data(), (int)in_tOrder.size());
}

int VXQ_F_TESTHOST_AnswerEvent(_VXQ_S_TESTHOST_DATA *inout_pHost, const std::vector<uint8_t> &in_tEvent,
                               uint8_t in_ucErrorCode)
{
    if (in_tEvent.size() < 16)
        return 0;
    std::vector<uint8_t> tOrder(in_tEvent);
    tOrder[4] = 0;
    tOrder[5] = in_ucErrorCode;
    return VXQ_F_TESTHOST_PostOrder(inout_pHost, tOrder);
}

void VXQ_F_TESTHOST_AnswerOpenStream(_VXQ_S_TESTHOST_DATA *inout_pHost, const std::vector<uint8_t> &in_tEvent)
{
    if (VXQ_F_TESTHOST_MsgFuncId(in_tEvent) != EVENT_E2_OPEN_MEDIA_STREAM ||
        in_tEvent.size() != 16 + sizeof(_VXQ_S_DPS_E2_OPEN_MEDIA_STREAM))
        return;
    _VXQ_S_DPS_E2_OPEN_MEDIA_STREAM tBody;
    memcpy(&tBody, in_tEvent.data() + 16, sizeof(tBody));
    tBody.o_tDesc.bVideoFlag = 1;
    tBody.o_tDesc.bAudioFlag = 1;
    tBody.o_tDesc.iVideoCodecId = 4;
    tBody.o_tDesc.iVideoFrameRate = 25;
    tBody.o_tDesc.usVideoWidth = 640;
    tBody.o_tDesc.usVideoHeight = 480;
    tBody.o_tDesc.iAudioCodecId = 2;
    tBody.o_tDesc.iAudioSampleRate = 8000;
    tBody.o_tDesc.iAudioChNum = 1;
    VXQ_F_TESTHOST_PostOrder(inout_pHost, TestOrder(EVENT_E2_OPEN_MEDIA_STREAM, 0, 0, &tBody, sizeof(tBody),
                                                    VXQ_DPS_MSG_TYPE_ANSWER));
}

int VXQ_F_TESTHOST_ConnCount(_VXQ_S_DPS_MCSRV_DATA *inout_pSrv)
{
    int iNum = -1;
    VXQ_F_TESTHOST_RunOnControl(inout_pSrv,
                                [&](_VXQ_S_DPS_MCSRV_DATA *p) { iNum = VXQ_F_DPS_MC_StatTcpConnNum(p); });
    return iNum;
}

_VXQ_S_DPS_NET_PORT_DATA *VXQ_F_TESTHOST_ConnOf(_VXQ_S_DPS_MCSRV_DATA *in_pSrv, const TestClient &in_tClient)
{
    sockaddr_in tAddr;
    socklen_t iLen = sizeof(tAddr);
    if (getsockname(in_tClient.t.iSock, (sockaddr *)&tAddr, &iLen) != 0)
        return nullptr;
    for (int i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++) {
        if (in_pSrv->pConn[i] != nullptr && in_pSrv->pConn[i]->usPeerPort == ntohs(tAddr.sin_port))
            return in_pSrv->pConn[i];
    }
    return nullptr;
}

int VXQ_F_TESTHOST_WaitConnCount(_VXQ_S_DPS_MCSRV_DATA *inout_pSrv, int in_iNum)
{
    return WaitUntil([&] { return VXQ_F_TESTHOST_ConnCount(inout_pSrv) == in_iNum; }) ? 1 : 0;
}

_VXQ_S_DPS_DEV_CAP_INFO TestBareCap(void)
{
    _VXQ_S_DPS_DEV_CAP_INFO tCap;
    memset(&tCap, 0, sizeof(tCap));
    tCap.iVideoChanNum = 4;
    tCap.iAudioChanNum = 1;
    return tCap;
}

VXQ_DPS_HANDLE VXQ_F_TESTHOST_StartBare(const _VXQ_S_DPS_DEV_CAP_INFO *in_pCap)
{
    _VXQ_S_DPS_DEV_CAP_INFO tCap = in_pCap ? *in_pCap : TestBareCap();
    return VXQ_F_DPS_StartDevProNetServer(0, &tCap, NULL, NULL, NULL, NULL, 0, 0, 0, NULL, 0, 0);
}

TestClient &HostFixture::Client(bool in_bLogin)
{
    m_tClients.emplace_back(new TestClient());
    TestClient &tCli = *m_tClients.back();
    EXPECT_EQ(VXQ_F_TESTCLI_Connect(&tCli.t, m_tHost.usPort), 1);
    if (in_bLogin) {
        EXPECT_EQ(VXQ_F_TESTCLI_TokenAndLogin(&tCli.t, "admin", "pw", &tCli.dwLoginId), 1);
        EXPECT_NE(tCli.dwLoginId, 0u);
    } else {
        std::string sToken;
        uint8_t ucResult = 0xFF;
        EXPECT_EQ(VXQ_F_CLI_GetToken(&tCli.t, &sToken, &ucResult, nullptr), 1);
        EXPECT_EQ(ucResult, 0);
    }
    return tCli;
}

void HostFixture::Answer(const Bytes &in_tEvent, uint8_t in_ucErrorCode, const void *in_pBody,
                         int32_t in_iBodyLen)
{
    ASSERT_GE(in_tEvent.size(), 16u);
    if (in_iBodyLen < 0) {
        in_pBody = in_tEvent.data() + 16;
        in_iBodyLen = (int32_t)in_tEvent.size() - 16;
    }
    ASSERT_EQ(VXQ_F_TESTHOST_PostOrder(&m_tHost, VXQ_F_TESTHOST_BuildOrder(VXQ_F_TESTHOST_MsgFuncId(in_tEvent),
              in_ucErrorCode, VXQ_F_TESTHOST_TransId(in_tEvent), in_pBody, in_iBodyLen)), 1);
}
