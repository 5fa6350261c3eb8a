/* gwview.cpp - devices and device views of dps-gateway: login, extended open, frame reading and fan-out. */
#include "gwview.h"

#include "clilink.h"
#include "vxq_clock.h"
#include "vxq_log.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#define PR_CONNECT_MS 3000
#define PR_CALL_MS 5000
#define PR_OPEN_CALL_MS 10000   /* the device may start an encoder first */
#define PR_FIRST_IFRAME_MS 8000 /* from the open answer to the first I-frame */
#define PR_AUDIO_WAIT_MS 400    /* after the first I-frame: audio there or not */
#define PR_READ_SLICE_MS 100    /* longest read wait between looks at stop and linger */
#define PR_ACQUIRE_MS 20000     /* bound of a wait for an opening view */
#define PR_RETRY_FIRST_MS 1000
#define PR_RETRY_MAX_MS 30000
#define PR_REPLAY_MAX_MS 500 /* frames kept since an I-frame at most this old are replayed */
#define PR_GOP_MAX_BYTES (8u * 1024u * 1024u)
#define PR_GOP_MAX_FRAMES 1000u
#define PR_MONITOR_NAP_MS 100

enum { PR_CLOSED = 0, PR_OPENING = 1, PR_OPEN = 2, PR_CLOSING = 3 };

struct PR_DEVICE;

struct _VXQ_S_GWVIEW_VIEW {
    _VXQ_S_GWVIEW_GATEWAY *pGw = nullptr;
    PR_DEVICE *pDev = nullptr;
    int iCh = 0;
    int iStream = 0;
    std::string sPath;
    std::mutex tLock;
    std::condition_variable tCond;
    std::thread tThread;
    int iState = PR_CLOSED;
    uint32_t dwGen = 0;  /* counts open attempts */
    int iLastStatus = 0; /* outcome of attempt dwGen once it failed */
    int bStop = 0;
    int bWantIFrame = 0; /* a sink waits for an I-frame: ask the device */
    std::string sWho;    /* who asked for the current attempt */
    uint32_t dwIdleSinceMs = 0;
    _VXQ_S_GWVIEW_INFO tInfo;
    std::vector<void *> tSinks;
    std::deque<_VXQ_S_GWVIEW_FRAME> tGop; /* from the last I-frame on */
    size_t iGopBytes = 0;
    int bGopValid = 0;
    uint32_t dwDropped = 0; /* since this view opened */
};

struct PR_DEVICE {
    _VXQ_S_GWCONF_DEVICE tConf;
    std::mutex tLock;
    int bDown = 0;
    uint32_t dwRetryAtMs = 0;
    uint32_t dwDelayMs = 0;
    std::string sWhy;
    _VXQ_S_GWVIEW_VIEW tView[VXQ_GWVIEW_CHANNELS][VXQ_GWVIEW_STREAMS];
};

struct _VXQ_S_GWVIEW_GATEWAY {
    _VXQ_S_GWVIEW_SINKOPS tOps;
    std::vector<std::unique_ptr<PR_DEVICE>> tDevices;
    std::mutex tMonitorLock;
    std::condition_variable tMonitorCond;
    int bMonitorStop = 0;
    std::thread tMonitor;
    std::atomic<uint64_t> qwBytes{0};
    std::atomic<uint64_t> qwDropped{0};
};

/* The state of one open attempt's connections. */
typedef struct PR_SESSION {
    _VXQ_S_CLI_LINK tCmd;
    _VXQ_S_CLI_LINK tMedia;
    uint32_t dwLoginId;
    uint32_t dwConnId;
} PR_SESSION;

void VXQ_F_GWVIEW_Say(const char *in_sFormat, ...)
{
    char sText[1024];
    int iHead = snprintf(sText, sizeof(sText), "dps-gateway: ");
    va_list tArgs;
    va_start(tArgs, in_sFormat);
    vsnprintf(sText + iHead, sizeof(sText) - (size_t)iHead, in_sFormat, tArgs);
    va_end(tArgs);
    VXQ_F_LOG_SR_ShowInfoEx(sText);
}

std::string VXQ_F_GWVIEW_PathOf(const std::string &in_sDevice, int in_iCh, int in_iStream)
{
    return in_sDevice + "/ch" + std::to_string(in_iCh) + (in_iStream ? "/sub" : "");
}

int VXQ_F_GWVIEW_ParsePath(const std::string &in_sPath, std::string *out_psDevice, int *out_piCh,
                           int *out_piStream)
{
    std::string sPath = in_sPath;
    if (sPath.size() > 1 && sPath.back() == '/')
        sPath.pop_back();
    if (sPath.empty() || sPath[0] != '/')
        return 0;
    size_t iSlash = sPath.find('/', 1);
    if (iSlash == std::string::npos || iSlash == 1)
        return 0;
    *out_psDevice = sPath.substr(1, iSlash - 1);
    std::string sRest = sPath.substr(iSlash + 1);
    *out_piStream = 0;
    if (sRest.size() > 4 && sRest.compare(sRest.size() - 4, 4, "/sub") == 0) {
        *out_piStream = 1;
        sRest.resize(sRest.size() - 4);
    }
    if (sRest.size() < 3 || sRest.size() > 4 || sRest.compare(0, 2, "ch") != 0)
        return 0;
    int iCh = 0;
    for (size_t i = 2; i < sRest.size(); i++) {
        if (sRest[i] < '0' || sRest[i] > '9' || (i == 2 && sRest[i] == '0' && sRest.size() > 3))
            return 0;
        iCh = iCh * 10 + (sRest[i] - '0');
    }
    if (iCh >= VXQ_GWVIEW_CHANNELS)
        return 0;
    *out_piCh = iCh;
    return 1;
}

/* ---- device reachability ---- */

/* The device failed at the transport level: refuse it until the retry time,
 * which moves out 1, 2, 4 ... 30 s with each failure in a row. */
static void PR_DeviceDown(PR_DEVICE *inout_pDev, const std::string &in_sWhy)
{
    std::lock_guard<std::mutex> tGuard(inout_pDev->tLock);
    inout_pDev->dwDelayMs = inout_pDev->bDown ? std::min<uint32_t>(inout_pDev->dwDelayMs * 2, PR_RETRY_MAX_MS)
                                              : PR_RETRY_FIRST_MS;
    inout_pDev->bDown = 1;
    inout_pDev->sWhy = in_sWhy;
    inout_pDev->dwRetryAtMs = VXQ_F_CLOCK_TickMs() + inout_pDev->dwDelayMs;
    VXQ_F_GWVIEW_Say("device %s (%s:%u): %s; next try in %u s", inout_pDev->tConf.sName.c_str(),
                     inout_pDev->tConf.sHost.c_str(), inout_pDev->tConf.usPort, in_sWhy.c_str(),
                     (unsigned)(inout_pDev->dwDelayMs / 1000));
}

static void PR_DeviceUp(PR_DEVICE *inout_pDev)
{
    std::lock_guard<std::mutex> tGuard(inout_pDev->tLock);
    if (inout_pDev->bDown)
        VXQ_F_GWVIEW_Say("device %s (%s:%u): reachable again", inout_pDev->tConf.sName.c_str(),
                         inout_pDev->tConf.sHost.c_str(), inout_pDev->tConf.usPort);
    inout_pDev->bDown = 0;
    inout_pDev->dwDelayMs = 0;
}

/* 1 while the device is down and its retry time has not come; *out_psWhy says why. */
static int PR_DeviceBlocked(PR_DEVICE *in_pDev, std::string *out_psWhy)
{
    std::lock_guard<std::mutex> tGuard(in_pDev->tLock);
    int32_t iLeft = (int32_t)(in_pDev->dwRetryAtMs - VXQ_F_CLOCK_TickMs());
    if (!in_pDev->bDown || iLeft <= 0)
        return 0;
    *out_psWhy = in_pDev->sWhy + "; next try in " + std::to_string((iLeft + 999) / 1000) + " s";
    return 1;
}

/* The monitor: a device that is down is connected to again when its retry
 * time comes, so it is known to be back before the next client asks. */
static void PR_MonitorThread(_VXQ_S_GWVIEW_GATEWAY *in_ptGw)
{
    std::unique_lock<std::mutex> tLock(in_ptGw->tMonitorLock);
    while (!in_ptGw->bMonitorStop) {
        in_ptGw->tMonitorCond.wait_for(tLock, std::chrono::milliseconds(PR_MONITOR_NAP_MS));
        if (in_ptGw->bMonitorStop)
            break;
        tLock.unlock();
        for (auto &pDev : in_ptGw->tDevices) {
            std::string sWhy;
            int bDue;
            {
                std::lock_guard<std::mutex> tGuard(pDev->tLock);
                bDue = pDev->bDown && (int32_t)(pDev->dwRetryAtMs - VXQ_F_CLOCK_TickMs()) <= 0;
            }
            if (!bDue)
                continue;
            _VXQ_S_CLI_LINK tProbe;
            VXQ_F_CLI_Init(&tProbe);
            if (VXQ_F_CLI_Connect(&tProbe, pDev->tConf.sHost, pDev->tConf.usPort, PR_CONNECT_MS))
                PR_DeviceUp(pDev.get());
            else
                PR_DeviceDown(pDev.get(), VXQ_F_CLI_ErrorText(&tProbe));
            VXQ_F_CLI_Close(&tProbe);
        }
        tLock.lock();
    }
}

/* ---- opening and closing a view on the device ---- */

/* The RTSP status of a refused extended open. */
static int PR_OpenRefusal(uint8_t in_ucResult)
{
    switch (in_ucResult) {
    case 2:  /* bad parameter: channel or stream out of range */
    case 13: /* resource does not exist */
    case 51: /* no sub stream */
    case 55: /* channel number error */
    case 56: /* sub stream number error */
        return VXQ_GWVIEW_NOT_FOUND;
    case 5:
        return VXQ_GWVIEW_FORBIDDEN;
    case 6:
        return VXQ_GWVIEW_UNAUTHORIZED;
    default:
        return VXQ_GWVIEW_UNAVAILABLE;
    }
}

static int PR_Stopping(_VXQ_S_GWVIEW_VIEW *in_pView)
{
    std::lock_guard<std::mutex> tGuard(in_pView->tLock);
    return in_pView->bStop;
}

/* Connects, logs in, opens the stream and continues audio. Returns
 * VXQ_GWVIEW_OK or the refusal (logged). */
static int PR_Open(_VXQ_S_GWVIEW_VIEW *in_pView, PR_SESSION *inout_pSes)
{
    PR_DEVICE *pDev = in_pView->pDev;
    const _VXQ_S_GWCONF_DEVICE &tConf = pDev->tConf;
    const char *sPath = in_pView->sPath.c_str();
    if (!VXQ_F_CLI_Connect(&inout_pSes->tCmd, tConf.sHost, tConf.usPort, PR_CONNECT_MS)) {
        PR_DeviceDown(pDev, VXQ_F_CLI_ErrorText(&inout_pSes->tCmd));
        return VXQ_GWVIEW_UNAVAILABLE;
    }
    std::string sToken;
    uint8_t ucResult = 0;
    _VXQ_S_CLI_LOGIN_INFO tLogin;
    if (!VXQ_F_CLI_GetToken(&inout_pSes->tCmd, &sToken, &ucResult, nullptr) ||
        (ucResult == 0 &&
         !VXQ_F_CLI_Login(&inout_pSes->tCmd, tConf.sUser, tConf.sPassword, sToken, &ucResult, &tLogin))) {
        VXQ_F_GWVIEW_Say("%s: login: %s", sPath, VXQ_F_CLI_ErrorText(&inout_pSes->tCmd).c_str());
        return VXQ_GWVIEW_UNAVAILABLE;
    }
    PR_DeviceUp(pDev);
    if (ucResult != 0) {
        VXQ_F_GWVIEW_Say("%s: login refused for user '%s': result %u (%s)", sPath, tConf.sUser.c_str(),
                         ucResult, VXQ_F_CLI_ResultText(ucResult).c_str());
        return VXQ_GWVIEW_UNAUTHORIZED;
    }
    inout_pSes->dwLoginId = tLogin.dwLoginId;
    if (tLogin.iVideoChanNum > 0 && in_pView->iCh >= tLogin.iVideoChanNum) {
        VXQ_F_GWVIEW_Say("%s: no such channel: the device has %d video channel(s)", sPath,
                         tLogin.iVideoChanNum);
        return VXQ_GWVIEW_NOT_FOUND;
    }
    if (PR_Stopping(in_pView))
        return VXQ_GWVIEW_UNAVAILABLE;
    if (!VXQ_F_CLI_Connect(&inout_pSes->tMedia, tConf.sHost, tConf.usPort, PR_CONNECT_MS)) {
        VXQ_F_GWVIEW_Say("%s: media connection: %s", sPath, VXQ_F_CLI_ErrorText(&inout_pSes->tMedia).c_str());
        return VXQ_GWVIEW_UNAVAILABLE;
    }
    std::vector<uint8_t> tAnswer;
    if (!VXQ_F_CLI_Call(&inout_pSes->tMedia,
                        VXQ_F_CLI_BuildExRealplayOpen(VXQ_F_CLI_NextTransNo(&inout_pSes->tMedia),
                                                      tLogin.dwLoginId, (uint16_t)in_pView->iCh,
                                                      (uint16_t)in_pView->iStream, 0),
                        tAnswer, PR_OPEN_CALL_MS)) {
        VXQ_F_GWVIEW_Say("%s: open: %s", sPath, VXQ_F_CLI_ErrorText(&inout_pSes->tMedia).c_str());
        return VXQ_GWVIEW_UNAVAILABLE;
    }
    ucResult = VXQ_F_CLI_Result(tAnswer);
    if (ucResult != 0 ||
        !VXQ_F_CLI_ParseExRealplayOpen(tAnswer.data(), tAnswer.size(), &inout_pSes->dwConnId)) {
        VXQ_F_GWVIEW_Say("%s: open refused: result %u (%s)", sPath, ucResult,
                         VXQ_F_CLI_ResultText(ucResult).c_str());
        return ucResult != 0 ? PR_OpenRefusal(ucResult) : VXQ_GWVIEW_UNAVAILABLE;
    }
    /* Audio starts paused on a new media connection. */
    if (!VXQ_F_CLI_Call(&inout_pSes->tCmd,
                        VXQ_F_CLI_BuildCtrlStream(VXQ_F_CLI_NextTransNo(&inout_pSes->tCmd), tLogin.dwLoginId,
                                                  inout_pSes->dwConnId, 1, 1),
                        tAnswer, PR_CALL_MS)) {
        VXQ_F_GWVIEW_Say("%s: audio continue: %s", sPath, VXQ_F_CLI_ErrorText(&inout_pSes->tCmd).c_str());
        return VXQ_GWVIEW_UNAVAILABLE;
    }
    if (VXQ_F_CLI_Result(tAnswer) != 0)
        VXQ_F_GWVIEW_Say("%s: audio continue refused: result %u; the stream goes without audio", sPath,
                         VXQ_F_CLI_Result(tAnswer));
    return VXQ_GWVIEW_OK;
}

/* Tells the device the view is over (when it still listens) and closes both connections. */
static void PR_Close(PR_SESSION *inout_pSes, int in_bTellDevice)
{
    if (in_bTellDevice && inout_pSes->dwConnId != 0)
        VXQ_F_CLI_SendMsg(&inout_pSes->tCmd,
                          VXQ_F_CLI_BuildExRealplayClose(VXQ_F_CLI_NextTransNo(&inout_pSes->tCmd),
                                                         inout_pSes->dwLoginId, inout_pSes->dwConnId));
    if (in_bTellDevice && inout_pSes->dwLoginId != 0)
        VXQ_F_CLI_SendMsg(&inout_pSes->tCmd, VXQ_F_CLI_BuildLogout(VXQ_F_CLI_NextTransNo(&inout_pSes->tCmd)));
    VXQ_F_CLI_Close(&inout_pSes->tMedia);
    VXQ_F_CLI_Close(&inout_pSes->tCmd);
}

/* ---- frames ---- */

/* Logs a dropped frame: the first five of a view, then every hundredth. */
static void PR_Dropped(_VXQ_S_GWVIEW_VIEW *inout_pView, const char *in_sWhat)
{
    inout_pView->pGw->qwDropped++;
    uint32_t dwCount = ++inout_pView->dwDropped;
    if (dwCount <= 5 || dwCount % 100 == 0)
        VXQ_F_GWVIEW_Say("%s: dropped %s (%u dropped so far)", inout_pView->sPath.c_str(), in_sWhat, dwCount);
}

/* Keeps the frame in the group of pictures (view locked). */
static void PR_Keep(_VXQ_S_GWVIEW_VIEW *inout_pView, const _VXQ_S_GWVIEW_FRAME *in_ptFrame)
{
    if (in_ptFrame->bVideo && in_ptFrame->bIFrame) {
        inout_pView->tGop.clear();
        inout_pView->iGopBytes = 0;
        inout_pView->bGopValid = 1;
    }
    if (!inout_pView->bGopValid)
        return;
    inout_pView->tGop.push_back(*in_ptFrame);
    inout_pView->iGopBytes += in_ptFrame->tData->size();
    if (inout_pView->iGopBytes > PR_GOP_MAX_BYTES || inout_pView->tGop.size() > PR_GOP_MAX_FRAMES) {
        /* A group this long is not replayed: new sinks wait for the next I-frame. */
        inout_pView->tGop.clear();
        inout_pView->iGopBytes = 0;
        inout_pView->bGopValid = 0;
    }
}

/* Outcomes of PR_Stream. */
enum { PR_END_CLEAN = 0, PR_END_DROPPED = 1, PR_END_FAILED = 2 };

/* Reads frames until stop, linger, a failure to start or the device's end.
 * Sets OPEN once the first I-frame is in and audio is known. */
static int PR_Stream(_VXQ_S_GWVIEW_VIEW *inout_pView, PR_SESSION *inout_pSes, std::string *out_psWhy)
{
    _VXQ_S_GWVIEW_GATEWAY *pGw = inout_pView->pGw;
    const _VXQ_S_GWCONF_DEVICE &tConf = inout_pView->pDev->tConf;
    uint32_t dwStartMs = VXQ_F_CLOCK_TickMs();
    uint32_t dwFirstIMs = 0;
    int bFirstI = 0;
    int bAudioSeen = 0;
    std::vector<uint8_t> tMsg;
    for (;;) {
        uint32_t dwNow = VXQ_F_CLOCK_TickMs();
        int bAskIFrame = 0;
        {
            std::unique_lock<std::mutex> tLock(inout_pView->tLock);
            if (inout_pView->bStop) {
                *out_psWhy = "the gateway stops";
                inout_pView->iState = PR_CLOSING;
                return PR_END_CLEAN;
            }
            if (inout_pView->iState == PR_OPENING) {
                if (!bFirstI && dwNow - dwStartMs > PR_FIRST_IFRAME_MS) {
                    *out_psWhy = "no I-frame within " + std::to_string(PR_FIRST_IFRAME_MS / 1000) + " s";
                    return PR_END_FAILED;
                }
                if (bFirstI && (bAudioSeen || dwNow - dwFirstIMs >= PR_AUDIO_WAIT_MS)) {
                    inout_pView->iState = PR_OPEN;
                    inout_pView->dwIdleSinceMs = dwNow;
                    inout_pView->tCond.notify_all();
                    const _VXQ_S_GWVIEW_INFO &t = inout_pView->tInfo;
                    VXQ_F_GWVIEW_Say("%s: open for %s (%ux%u, %u fps, %s)", inout_pView->sPath.c_str(),
                                     inout_pView->sWho.c_str(), t.usWidth, t.usHeight, t.dwFrameRate,
                                     t.iAudio == VXQ_GW_AUDIO_PCMU   ? "G.711 mu-law audio"
                                     : t.iAudio == VXQ_GW_AUDIO_PCMA ? "G.711 A-law audio"
                                                                     : "no audio");
                }
            } else if (inout_pView->tSinks.empty() &&
                       dwNow - inout_pView->dwIdleSinceMs >= VXQ_GWVIEW_LINGER_MS) {
                /* Decided under the lock: no sink can attach to a view that closes. */
                *out_psWhy = "no client for " + std::to_string(VXQ_GWVIEW_LINGER_MS / 1000) + " s";
                inout_pView->iState = PR_CLOSING;
                return PR_END_CLEAN;
            }
            bAskIFrame = inout_pView->bWantIFrame;
            inout_pView->bWantIFrame = 0;
        }
        if (bAskIFrame)
            VXQ_F_CLI_SendMsg(&inout_pSes->tCmd,
                              VXQ_F_CLI_BuildForceIFrame(VXQ_F_CLI_NextTransNo(&inout_pSes->tCmd),
                                                         (uint32_t)inout_pView->iCh,
                                                         (uint16_t)inout_pView->iStream));
        /* The command connection: heartbeats out, their echoes and notices dropped. */
        int bCmdOk = VXQ_F_CLI_KeepAlive(&inout_pSes->tCmd);
        while (bCmdOk && VXQ_F_CLI_ReadMsg(&inout_pSes->tCmd, tMsg, 0))
            ;
        if (!bCmdOk || inout_pSes->tCmd.iError != VXQ_CLI_ERR_TIMEOUT) {
            *out_psWhy = "command connection: " + VXQ_F_CLI_ErrorText(&inout_pSes->tCmd);
            return PR_END_DROPPED;
        }
        if (!VXQ_F_CLI_ReadMsg(&inout_pSes->tMedia, tMsg, PR_READ_SLICE_MS)) {
            int iError = inout_pSes->tMedia.iError;
            if (iError == VXQ_CLI_ERR_TIMEOUT)
                continue;
            if (iError == VXQ_CLI_ERR_OVERSIZE) {
                std::lock_guard<std::mutex> tGuard(inout_pView->tLock);
                PR_Dropped(inout_pView, VXQ_F_CLI_ErrorText(&inout_pSes->tMedia).c_str());
                continue;
            }
            *out_psWhy = "media connection: " + VXQ_F_CLI_ErrorText(&inout_pSes->tMedia);
            return iError == VXQ_CLI_ERR_PROTOCOL ? PR_END_FAILED : PR_END_DROPPED;
        }
        _VXQ_S_CLI_HEAD tHead;
        VXQ_F_CLI_ParseHead(tMsg.data(), tMsg.size(), &tHead);
        if (tHead.usMsgFuncId != VXQ_CLI_FN_VIDEO_FRAME && tHead.usMsgFuncId != VXQ_CLI_FN_AUDIO_FRAME)
            continue; /* answers and notices on the media connection */
        _VXQ_S_CLI_MEDIA_HEAD tMedia;
        int iAudio = VXQ_GW_AUDIO_NONE;
        int iVerdict = VXQ_F_GWFRAME_Check(tMsg.data(), tMsg.size(), tConf.iPcmuCodecId, tConf.iPcmaCodecId,
                                           &tMedia, &iAudio);
        std::lock_guard<std::mutex> tGuard(inout_pView->tLock);
        if (iVerdict != VXQ_GWFRAME_PASS) {
            PR_Dropped(inout_pView, VXQ_F_GWFRAME_Text(iVerdict));
            continue;
        }
        pGw->qwBytes += tMedia.dwDataLen;
        if (tMedia.bVideo && !bFirstI) {
            if (tMedia.ucFrameType != VXQ_CLI_FRAME_TYPE_I)
                continue;
            bFirstI = 1;
            dwFirstIMs = dwNow;
        }
        if (!bFirstI)
            continue; /* audio before the first I-frame */
        _VXQ_S_GWVIEW_INFO *pInfo = &inout_pView->tInfo;
        if (tMedia.bVideo) {
            pInfo->usWidth = tMedia.usWidth;
            pInfo->usHeight = tMedia.usHeight;
            pInfo->dwFrameRate = tMedia.ucFrameRate;
        } else if (!bAudioSeen || pInfo->iAudio != iAudio) {
            bAudioSeen = 1;
            pInfo->iAudio = iAudio;
            pInfo->dwAudioRate = tMedia.dwSampleRate ? tMedia.dwSampleRate : 8000;
            pInfo->dwAudioChannels = tMedia.ucChannels ? tMedia.ucChannels : 1;
        }
        _VXQ_S_GWVIEW_FRAME tFrame;
        tFrame.bVideo = tMedia.bVideo;
        tFrame.bIFrame = tMedia.bVideo && tMedia.ucFrameType == VXQ_CLI_FRAME_TYPE_I;
        tFrame.iAudio = iAudio;
        tFrame.dwStamp = tMedia.dwTimeStampMs;
        tFrame.dwNewestStamp = tMedia.dwTimeStampMs;
        tFrame.dwNominalMs = tMedia.bVideo ? 1000u / (tMedia.ucFrameRate ? tMedia.ucFrameRate : 25u)
                                           : (tMedia.dwDataLen + 7u) / 8u;
        tFrame.tData =
            std::make_shared<const std::vector<uint8_t>>(tMedia.pData, tMedia.pData + tMedia.dwDataLen);
        PR_Keep(inout_pView, &tFrame);
        for (void *pSink : inout_pView->tSinks)
            pGw->tOps.fnFrame(pSink, &tFrame);
    }
}

static void PR_ViewThread(_VXQ_S_GWVIEW_VIEW *inout_pView)
{
    PR_SESSION tSes;
    VXQ_F_CLI_Init(&tSes.tCmd);
    VXQ_F_CLI_Init(&tSes.tMedia);
    tSes.tMedia.dwMaxMsgLen = VXQ_GW_MAX_FRAME_MSG;
    tSes.dwLoginId = 0;
    tSes.dwConnId = 0;
    int iStatus = PR_Open(inout_pView, &tSes);
    int iEnd = PR_END_FAILED;
    std::string sWhy;
    if (iStatus == VXQ_GWVIEW_OK) {
        iEnd = PR_Stream(inout_pView, &tSes, &sWhy);
        {
            std::lock_guard<std::mutex> tGuard(inout_pView->tLock);
            if (inout_pView->iState == PR_OPENING)
                VXQ_F_GWVIEW_Say("%s: open failed: %s", inout_pView->sPath.c_str(), sWhy.c_str());
            else
                VXQ_F_GWVIEW_Say("%s: closing (%s)%s", inout_pView->sPath.c_str(), sWhy.c_str(),
                                 inout_pView->tSinks.empty() ? "" : "; its clients' streams end");
            inout_pView->iState = PR_CLOSING;
        }
        if (iEnd != PR_END_CLEAN)
            iStatus = VXQ_GWVIEW_UNAVAILABLE;
        if (iEnd == PR_END_DROPPED)
            PR_DeviceDown(inout_pView->pDev, "dropped the connection (" + sWhy + ")");
    }
    PR_Close(&tSes, iEnd != PR_END_DROPPED);
    std::lock_guard<std::mutex> tGuard(inout_pView->tLock);
    for (void *pSink : inout_pView->tSinks)
        inout_pView->pGw->tOps.fnEnd(pSink);
    inout_pView->tSinks.clear();
    inout_pView->tGop.clear();
    inout_pView->iGopBytes = 0;
    inout_pView->bGopValid = 0;
    inout_pView->iLastStatus = iStatus == VXQ_GWVIEW_OK ? VXQ_GWVIEW_UNAVAILABLE : iStatus;
    inout_pView->iState = PR_CLOSED;
    inout_pView->tCond.notify_all();
}

/* ---- the gateway ---- */

_VXQ_S_GWVIEW_GATEWAY *VXQ_F_GWVIEW_New(const _VXQ_S_GWCONF_DATA *in_ptConf,
                                        const _VXQ_S_GWVIEW_SINKOPS *in_ptOps)
{
    _VXQ_S_GWVIEW_GATEWAY *pGw = new _VXQ_S_GWVIEW_GATEWAY();
    pGw->tOps = *in_ptOps;
    for (const _VXQ_S_GWCONF_DEVICE &tConf : in_ptConf->tDevices) {
        std::unique_ptr<PR_DEVICE> pDev(new PR_DEVICE());
        pDev->tConf = tConf;
        for (int iCh = 0; iCh < VXQ_GWVIEW_CHANNELS; iCh++)
            for (int iStream = 0; iStream < VXQ_GWVIEW_STREAMS; iStream++) {
                _VXQ_S_GWVIEW_VIEW *pView = &pDev->tView[iCh][iStream];
                pView->pGw = pGw;
                pView->pDev = pDev.get();
                pView->iCh = iCh;
                pView->iStream = iStream;
                pView->sPath = VXQ_F_GWVIEW_PathOf(tConf.sName, iCh, iStream);
            }
        pGw->tDevices.push_back(std::move(pDev));
    }
    try {
        pGw->tMonitor = std::thread(PR_MonitorThread, pGw);
    } catch (...) {
        delete pGw;
        return nullptr;
    }
    return pGw;
}

void VXQ_F_GWVIEW_StopAll(_VXQ_S_GWVIEW_GATEWAY *inout_ptGw)
{
    {
        std::lock_guard<std::mutex> tGuard(inout_ptGw->tMonitorLock);
        inout_ptGw->bMonitorStop = 1;
        inout_ptGw->tMonitorCond.notify_all();
    }
    if (inout_ptGw->tMonitor.joinable())
        inout_ptGw->tMonitor.join();
    for (auto &pDev : inout_ptGw->tDevices)
        for (auto &tRow : pDev->tView)
            for (_VXQ_S_GWVIEW_VIEW &tView : tRow) {
                std::lock_guard<std::mutex> tGuard(tView.tLock);
                tView.bStop = 1;
            }
    for (auto &pDev : inout_ptGw->tDevices)
        for (auto &tRow : pDev->tView)
            for (_VXQ_S_GWVIEW_VIEW &tView : tRow)
                if (tView.tThread.joinable())
                    tView.tThread.join();
}

void VXQ_F_GWVIEW_Free(_VXQ_S_GWVIEW_GATEWAY *in_ptGw)
{
    if (in_ptGw == nullptr)
        return;
    VXQ_F_GWVIEW_StopAll(in_ptGw);
    delete in_ptGw;
}

int VXQ_F_GWVIEW_FindDevice(const _VXQ_S_GWVIEW_GATEWAY *in_ptGw, const std::string &in_sName)
{
    for (size_t i = 0; i < in_ptGw->tDevices.size(); i++)
        if (in_ptGw->tDevices[i]->tConf.sName == in_sName)
            return (int)i;
    return -1;
}

static _VXQ_S_GWVIEW_VIEW *PR_View(_VXQ_S_GWVIEW_GATEWAY *in_ptGw, int in_iDev, int in_iCh, int in_iStream)
{
    if (in_iDev < 0 || in_iDev >= (int)in_ptGw->tDevices.size() || in_iCh < 0 ||
        in_iCh >= VXQ_GWVIEW_CHANNELS || in_iStream < 0 || in_iStream >= VXQ_GWVIEW_STREAMS)
        return nullptr;
    return &in_ptGw->tDevices[(size_t)in_iDev]->tView[in_iCh][in_iStream];
}

int VXQ_F_GWVIEW_Acquire(_VXQ_S_GWVIEW_GATEWAY *inout_ptGw, int in_iDev, int in_iCh, int in_iStream,
                         const std::string &in_sWho, _VXQ_S_GWVIEW_INFO *out_ptInfo)
{
    _VXQ_S_GWVIEW_VIEW *pView = PR_View(inout_ptGw, in_iDev, in_iCh, in_iStream);
    if (pView == nullptr)
        return VXQ_GWVIEW_NOT_FOUND;
    auto tDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(PR_ACQUIRE_MS);
    std::unique_lock<std::mutex> tLock(pView->tLock);
    uint32_t dwWaitedGen = 0; /* the attempt this call waits for; 0: none */
    for (;;) {
        if (pView->bStop)
            return VXQ_GWVIEW_UNAVAILABLE;
        if (pView->iState == PR_OPEN) {
            pView->dwIdleSinceMs = VXQ_F_CLOCK_TickMs();
            *out_ptInfo = pView->tInfo;
            return VXQ_GWVIEW_OK;
        }
        if (pView->iState != PR_CLOSED) {
            if (pView->iState == PR_OPENING)
                dwWaitedGen = pView->dwGen;
            if (pView->tCond.wait_until(tLock, tDeadline) == std::cv_status::timeout &&
                pView->iState != PR_OPEN) {
                VXQ_F_GWVIEW_Say("%s: not open after %d s, refused for %s", pView->sPath.c_str(),
                                 PR_ACQUIRE_MS / 1000, in_sWho.c_str());
                return VXQ_GWVIEW_UNAVAILABLE;
            }
            continue;
        }
        if (dwWaitedGen != 0 && dwWaitedGen == pView->dwGen)
            return pView->iLastStatus;
        std::string sWhy;
        if (PR_DeviceBlocked(pView->pDev, &sWhy)) {
            VXQ_F_GWVIEW_Say("%s: refused for %s: device unreachable (%s)", pView->sPath.c_str(),
                             in_sWho.c_str(), sWhy.c_str());
            return VXQ_GWVIEW_UNAVAILABLE;
        }
        /* A thread that ended set PR_CLOSED as its last step under the lock. */
        if (pView->tThread.joinable())
            pView->tThread.join();
        pView->dwGen++;
        dwWaitedGen = pView->dwGen;
        pView->iState = PR_OPENING;
        pView->iLastStatus = VXQ_GWVIEW_UNAVAILABLE;
        pView->sWho = in_sWho;
        pView->bWantIFrame = 0;
        pView->dwDropped = 0;
        memset(&pView->tInfo, 0, sizeof(pView->tInfo));
        try {
            pView->tThread = std::thread(PR_ViewThread, pView);
        } catch (...) {
            pView->iState = PR_CLOSED;
            VXQ_F_GWVIEW_Say("%s: cannot start a thread", pView->sPath.c_str());
            return VXQ_GWVIEW_UNAVAILABLE;
        }
    }
}

_VXQ_S_GWVIEW_VIEW *VXQ_F_GWVIEW_Attach(_VXQ_S_GWVIEW_GATEWAY *inout_ptGw, int in_iDev, int in_iCh,
                                        int in_iStream, void *in_pSink)
{
    _VXQ_S_GWVIEW_VIEW *pView = PR_View(inout_ptGw, in_iDev, in_iCh, in_iStream);
    if (pView == nullptr)
        return nullptr;
    std::lock_guard<std::mutex> tGuard(pView->tLock);
    if (pView->iState != PR_OPEN || pView->bStop)
        return nullptr;
    pView->tSinks.push_back(in_pSink);
    if (pView->bGopValid && !pView->tGop.empty() &&
        (int32_t)(pView->tGop.back().dwStamp - pView->tGop.front().dwStamp) <= PR_REPLAY_MAX_MS) {
        uint32_t dwNewest = pView->tGop.back().dwStamp;
        for (const _VXQ_S_GWVIEW_FRAME &tKept : pView->tGop) {
            _VXQ_S_GWVIEW_FRAME tFrame = tKept;
            tFrame.dwNewestStamp = dwNewest;
            inout_ptGw->tOps.fnFrame(in_pSink, &tFrame);
        }
    } else {
        pView->bWantIFrame = 1;
    }
    return pView;
}

void VXQ_F_GWVIEW_Detach(_VXQ_S_GWVIEW_VIEW *inout_ptView, void *in_pSink)
{
    if (inout_ptView == nullptr)
        return;
    std::lock_guard<std::mutex> tGuard(inout_ptView->tLock);
    auto it = std::find(inout_ptView->tSinks.begin(), inout_ptView->tSinks.end(), in_pSink);
    if (it == inout_ptView->tSinks.end())
        return;
    inout_ptView->tSinks.erase(it);
    if (inout_ptView->tSinks.empty())
        inout_ptView->dwIdleSinceMs = VXQ_F_CLOCK_TickMs();
}

void VXQ_F_GWVIEW_Stats(_VXQ_S_GWVIEW_GATEWAY *in_ptGw, _VXQ_S_GWVIEW_STATS *out_ptStats)
{
    out_ptStats->iDevices = (int)in_ptGw->tDevices.size();
    out_ptStats->iReachable = 0;
    out_ptStats->iOpenViews = 0;
    out_ptStats->iSinks = 0;
    out_ptStats->sViews.clear();
    for (auto &pDev : in_ptGw->tDevices) {
        {
            std::lock_guard<std::mutex> tGuard(pDev->tLock);
            out_ptStats->iReachable += !pDev->bDown;
        }
        for (auto &tRow : pDev->tView)
            for (_VXQ_S_GWVIEW_VIEW &tView : tRow) {
                std::lock_guard<std::mutex> tGuard(tView.tLock);
                if (tView.iState == PR_CLOSED)
                    continue;
                out_ptStats->iOpenViews++;
                out_ptStats->iSinks += (int)tView.tSinks.size();
                out_ptStats->sViews += (out_ptStats->sViews.empty() ? "" : " ") + tView.sPath + ":" +
                                       std::to_string(tView.tSinks.size());
            }
    }
    out_ptStats->qwBytes = in_ptGw->qwBytes;
    out_ptStats->qwDropped = in_ptGw->qwDropped;
}
