/* The host calling the service from inside every callback the service makes. */
#include "support/offline_rig.h"
#include "support/wait_until.h"
#include "media/input.h"
#include "vxq_media.h"

#include <array>
#include <atomic>

namespace {

/* Where the service called the host: on the control thread handling a request
 * (the admission's open and a close request are of the same kind), on it while
 * a connection is released, on the callback thread. */
enum Where { kLookup, kAdmitCloseRelease, kEvent, kWhereNum };
const char *const kWhereName[kWhereNum] = {"user lookup", "admission close (viewer released)", "event"};

struct Probe {
    std::atomic<VXQ_DPS_HANDLE> h{nullptr};
    std::array<std::atomic<int>, kWhereNum> bRan{};  /* the probe began there */
    std::array<std::atomic<int>, kWhereNum> bDone{}; /* and finished */
    std::mutex tLock;
    std::vector<std::string> tFaults;
};
Probe s_tProbe;

/* One API call with the check of its result; bControl: made on the control thread. */
struct Call {
    const char *sName;
    std::function<bool(VXQ_DPS_HANDLE, bool)> fnOk;
};

/* The service API's calls that post control work, ask the control thread, read
 * under a lock or set a switch, with the check of its result (posting an order
 * or a frame never waits for the control thread). */
#define VXQ_CALL(NAME, EXPR) {#NAME, [](VXQ_DPS_HANDLE h, bool bControl) { (void)bControl; return (EXPR); }}
const std::vector<Call> &EveryCall()
{
    static const std::vector<Call> s_tCalls = {
        VXQ_CALL(ControlMediaResource, VXQ_F_DPS_ControlMediaResource(h, 1, 16.0f, 2.0f, 1.0f) == 1),
        {"GetFreeMediaResourceNum",
         [](VXQ_DPS_HANDLE h, bool bControl) {
             float fMax = 0, fFree = -1;
             if (VXQ_F_DPS_GetFreeMediaResourceNum(h, &fMax, &fFree) != 1 || fMax != 16.0f)
                 return false;
             /* On the control thread the truth can be read directly at the same moment. */
             return bControl ? fFree == VXQ_F_DPS_MC_GetFreeMediaResourceNum(h) : fFree >= 0.0f && fFree <= 16.0f;
         }},
        {"QueryRunState",
         [](VXQ_DPS_HANDLE h, bool bControl) {
             _VXQ_S_DPS_RUN_STATE tState;
             if (VXQ_F_DPS_QueryRunState(h, &tState) != 1)
                 return false;
             return bControl ? tState.iTcpConnNum == VXQ_F_DPS_MC_StatTcpConnNum(h) : tState.iTcpConnNum >= 1;
         }},
        {"QueryTransUser",
         [](VXQ_DPS_HANDLE h, bool) {
             char sName[VXQ_DPS_USER_NAME_SIZE];
             uint32_t dwPop = 1;
             return VXQ_F_DPS_QueryTransUser(h, 0x7E570001u, sName, &dwPop) == 0 && dwPop == 0; /* none waits */
         }},
        VXQ_CALL(SetTraceDebugEnable, VXQ_F_DPS_SetTraceDebugEnable(h, 1) == 1),
    };
    return s_tCalls;
}
#undef VXQ_CALL

/* Runs every call once per place (the first time the service calls there) and
 * notes each that fails its check or takes longer than half the 5 s a call
 * waiting for a busy control thread would take. */
void RunEveryCall(Where in_eWhere)
{
    VXQ_DPS_HANDLE h = s_tProbe.h.load();
    if (h == nullptr || s_tProbe.bRan[in_eWhere].exchange(1) != 0)
        return;
    for (const Call &tCall : EveryCall()) {
        auto tStart = std::chrono::steady_clock::now();
        bool bOk = tCall.fnOk(h, in_eWhere != kEvent);
        auto iMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - tStart).count();
        if (!bOk || iMs > VXQ_F_TESTTIME_ScaleMs(2500)) {
            std::lock_guard<std::mutex> tGuard(s_tProbe.tLock);
            s_tProbe.tFaults.push_back(std::string(tCall.sName) + " inside " + kWhereName[in_eWhere] +
                                       (bOk ? "" : ": wrong result") + ", " + std::to_string(iMs) + " ms");
        }
    }
    s_tProbe.bDone[in_eWhere] = 1;
}

int OnEvent(void *, const void *, int)
{
    RunEveryCall(kEvent);
    return 0;
}

int OnLookup(void *, const char *in_sName, _VXQ_S_DPS_USER_INFO *out_pUser)
{
    RunEveryCall(kLookup);
    if (strcmp(in_sName, "u") != 0)
        return 0;
    strcpy(out_pUser->sPassword, "pw");
    out_pUser->dwPopMask = 0xFF;
    for (uint32_t &dwCh : out_pUser->dwChPopMask)
        dwCh = 0xFF;
    return 1;
}

int OnAdmission(void *, _VXQ_S_DPS_REALPLAY_CHECK_DATA *inout_pCheck)
{
    if (inout_pCheck->dwAction != VXQ_DPS_REALPLAY_CHECK_OPEN)
        RunEveryCall(kAdmitCloseRelease);
    return 0;
}

/* A live view open for channel 0, stream 1. */
Bytes LiveOpen(uint32_t in_dwLoginId)
{
    Bytes tMsg = TestMsg(P2_REALPLAY_OPEN, 5, 8);
    TestPutLe32(tMsg, 20, in_dwLoginId);
    tMsg[26] = 1;
    return tMsg;
}

} // namespace

/* The user lookup and admission callbacks run on the control thread: a query
 * made from inside them must be answered there and then, not posted to the
 * thread that is busy calling the host. */
TEST(CoreCallbacks, EverySynchronousCallFromInsideEveryCallbackReturnsPromptlyWithItsValue)
{
    _VXQ_S_DPS_DEV_CAP_INFO tCap = TestBareCap();
    tCap.bRealplayCheckFlag = 1;
    tCap.fnRealplayCheck = OnAdmission;
    VXQ_DPS_HANDLE h = VXQ_F_DPS_StartDevProNetServer(0, &tCap, OnEvent, nullptr, OnLookup, nullptr, 0, 0, 0, NULL,
                                                      0, 0);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(VXQ_F_DPS_ControlMediaResource(h, 1, 16.0f, 2.0f, 1.0f), 1);
    s_tProbe.h = h; /* the callbacks read the handle only once it is published */
    TestClient tCmd, tViewer;
    ASSERT_TRUE(tCmd.Connect(h->usTcpPort));
    ASSERT_EQ(VXQ_F_TESTCLI_TokenAndLogin(&tCmd.t, "u", "pw", &tCmd.dwLoginId), 1);
    ASSERT_TRUE(tViewer.Connect(h->usTcpPort));
    /* Admission open, then the open event (the host never answers it). */
    ASSERT_TRUE(tViewer.Send(LiveOpen(tCmd.dwLoginId)));
    ASSERT_TRUE(WaitUntil([] { return s_tProbe.bDone[kEvent].load() != 0; }, 60000));
    tViewer.Close(); /* the viewer's connection goes: released with a close check */
    ASSERT_TRUE(WaitUntil([] { return s_tProbe.bDone[kAdmitCloseRelease].load() != 0; }, 60000));
    for (int i = 0; i < kWhereNum; i++)
        EXPECT_TRUE(s_tProbe.bDone[i]) << kWhereName[i];
    s_tProbe.h = nullptr;
    {
        std::lock_guard<std::mutex> tGuard(s_tProbe.tLock);
        EXPECT_TRUE(s_tProbe.tFaults.empty()) << ::testing::PrintToString(s_tProbe.tFaults);
    }
    tCmd.Close();
    VXQ_F_DPS_StopDevProNetServer(h);
}
