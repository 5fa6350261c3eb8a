/* clients.cpp - the random work of one soak client: one action after the other
 * until the run's deadline, each action on fresh connections it closes itself. */
#include "soak.h"

#include "clilink.h"

#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

/* Time limits of one action's waits. */
#define PR_CALL_MS 10000    /* a request relayed to the host may queue behind others */
#define PR_LOGIN_MS 35000   /* a login answer may be held back after repeated failures */
#define PR_CLOSE_WAIT_MS 2000
#define PR_IDLE_DROP_SEC 30 /* the device drops a connection that never identifies itself */

typedef std::vector<uint8_t> Bytes;

/* One client's own state. */
typedef struct _VXQ_S_SOAK_CLIENT {
    _VXQ_S_SOAK_RUN *pRun;
    _VXQ_S_SOAK_STATS *pStats;
    std::mt19937 tRng;
    int32_t iIndex;
} _VXQ_S_SOAK_CLIENT;

int64_t VXQ_F_SOAK_NowMs(void)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

/* A uniform number in in_iLow..in_iHigh. */
static int32_t PR_Rand(_VXQ_S_SOAK_CLIENT *inout_ptCli, int32_t in_iLow, int32_t in_iHigh)
{
    return std::uniform_int_distribution<int32_t>(in_iLow, in_iHigh)(inout_ptCli->tRng);
}

static int PR_Chance(_VXQ_S_SOAK_CLIENT *inout_ptCli, int32_t in_iPercent)
{
    return PR_Rand(inout_ptCli, 1, 100) <= in_iPercent;
}

static int PR_Stopping(const _VXQ_S_SOAK_CLIENT *in_ptCli)
{
    return in_ptCli->pRun->bStop.load() != 0;
}

/* Sleeps in_iMs in short steps; returns early when the run is stopped. */
static void PR_Nap(const _VXQ_S_SOAK_CLIENT *in_ptCli, int32_t in_iMs)
{
    int64_t iEnd = VXQ_F_SOAK_NowMs() + in_iMs;
    while (!PR_Stopping(in_ptCli)) {
        int64_t iLeft = iEnd - VXQ_F_SOAK_NowMs();
        if (iLeft <= 0)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(iLeft < 50 ? iLeft : 50));
    }
}

static int PR_Connect(_VXQ_S_SOAK_CLIENT *inout_ptCli, _VXQ_S_CLI_LINK *out_ptLink)
{
    VXQ_F_CLI_Init(out_ptLink);
    if (!VXQ_F_CLI_Connect(out_ptLink, inout_ptCli->pRun->pOpts->sHost, inout_ptCli->pRun->usPort, 5000)) {
        inout_ptCli->pStats->qwConnectFails++;
        return 0;
    }
    inout_ptCli->pStats->qwConnects++;
    return 1;
}

/* Closes with a reset instead of an orderly close: the device sees the
 * connection vanish with whatever it had in flight. */
static void PR_Reset(_VXQ_S_SOAK_CLIENT *inout_ptCli, _VXQ_S_CLI_LINK *inout_ptLink)
{
    if (inout_ptLink->iSock >= 0) {
        struct linger tLinger = {1, 0};
        setsockopt(inout_ptLink->iSock, SOL_SOCKET, SO_LINGER, &tLinger, sizeof(tLinger));
        inout_ptCli->pStats->qwAbrupt++;
    }
    VXQ_F_CLI_Close(inout_ptLink);
}

/* Ends a link: counts a close by the device, otherwise closes it orderly or
 * (in_iResetPercent of the time) with a reset. */
static void PR_End(_VXQ_S_SOAK_CLIENT *inout_ptCli, _VXQ_S_CLI_LINK *inout_ptLink, int32_t in_iResetPercent)
{
    if (inout_ptLink->bPeerClosed)
        inout_ptCli->pStats->qwPeerClosed++;
    if (inout_ptLink->iSock >= 0 && !inout_ptLink->bPeerClosed && PR_Chance(inout_ptCli, in_iResetPercent))
        PR_Reset(inout_ptCli, inout_ptLink);
    VXQ_F_CLI_Close(inout_ptLink);
}

/* Sends a request and waits for its answer, counting. Returns 1 with the answer. */
static int PR_Call(_VXQ_S_SOAK_CLIENT *inout_ptCli, _VXQ_S_CLI_LINK *inout_ptLink, const Bytes &in_tMsg, Bytes &out_tAnswer,
                   int in_iTimeoutMs = PR_CALL_MS)
{
    _VXQ_S_SOAK_STATS *pStats = inout_ptCli->pStats;
    pStats->qwRequests++;
    if (!VXQ_F_CLI_Call(inout_ptLink, in_tMsg, out_tAnswer, in_iTimeoutMs)) {
        if (inout_ptLink->iError == VXQ_CLI_ERR_TIMEOUT)
            pStats->qwNoAnswer++;
        else
            pStats->qwLost++;
        return 0;
    }
    pStats->qwAnswered++;
    if (VXQ_F_CLI_Result(out_tAnswer) != 0)
        pStats->qwRefused++;
    return 1;
}

/* Connects and logs in: as the configured user, now and then (15 %) as the user
 * with few rights of a simulator started here, or with a wrong password when
 * asked. Returns 1 with the login id. */
static int PR_Login(_VXQ_S_SOAK_CLIENT *inout_ptCli, _VXQ_S_CLI_LINK *out_ptLink, uint32_t *out_pdwLoginId,
                    int in_bBadPassword = 0)
{
    _VXQ_S_SOAK_STATS *pStats = inout_ptCli->pStats;
    const _VXQ_S_SOAK_OPTS *pOpts = inout_ptCli->pRun->pOpts;
    if (!PR_Connect(inout_ptCli, out_ptLink))
        return 0;
    std::string sToken;
    uint8_t ucResult = 0xFF;
    uint8_t ucPwdMode = 0;
    pStats->qwRequests++;
    if (!VXQ_F_CLI_GetToken(out_ptLink, &sToken, &ucResult, &ucPwdMode)) {
        if (out_ptLink->bPeerClosed) {
            pStats->qwTurnedAway++;
            pStats->qwLost++;
        } else {
            pStats->qwNoAnswer++;
        }
        PR_End(inout_ptCli, out_ptLink, 0);
        return 0;
    }
    pStats->qwAnswered++;
    _VXQ_S_CLI_LOGIN_INFO tInfo;
    pStats->qwRequests++;
    /* Now and then a user with few rights: the requests beyond them are refused. */
    int bViewer = !pOpts->sViewer.empty() && PR_Chance(inout_ptCli, 15);
    std::string sUser = bViewer ? pOpts->sViewer : pOpts->sUser;
    std::string sPassword = bViewer ? pOpts->sViewer : pOpts->sPassword;
    if (!VXQ_F_CLI_Login(out_ptLink, sUser, in_bBadPassword ? sPassword + "-wrong" : sPassword, sToken, &ucResult,
                         &tInfo)) {
        if (out_ptLink->iError == VXQ_CLI_ERR_TIMEOUT)
            pStats->qwNoAnswer++;
        else
            pStats->qwLost++;
        PR_End(inout_ptCli, out_ptLink, 0);
        return 0;
    }
    pStats->qwAnswered++;
    if (ucResult != 0) {
        pStats->qwRefused++;
        pStats->qwLoginFails++;
        return 0;
    }
    pStats->qwLogins++;
    *out_pdwLoginId = tInfo.dwLoginId;
    return 1;
}

/* A few requests a logged-in client makes that change nothing on the device:
 * some answered by the service itself, most relayed to the host. */
static void PR_HarmlessRequest(_VXQ_S_SOAK_CLIENT *inout_ptCli, _VXQ_S_CLI_LINK *inout_ptLink, uint32_t in_dwLoginId)
{
    Bytes tAnswer;
    uint32_t dwNo = VXQ_F_CLI_NextTransNo(inout_ptLink);
    switch (PR_Rand(inout_ptCli, 0, 7)) {
    case 0:
        PR_Call(inout_ptCli, inout_ptLink, VXQ_F_CLI_BuildHeartbeat(dwNo), tAnswer);
        break;
    case 1:
        PR_Call(inout_ptCli, inout_ptLink, VXQ_F_CLI_BuildPtz(dwNo, in_dwLoginId, (uint32_t)PR_Rand(inout_ptCli, 0, 1),
                                                               (uint32_t)PR_Rand(inout_ptCli, 0, 40), 1, 0, 0),
                tAnswer);
        break;
    case 2:
        PR_Call(inout_ptCli, inout_ptLink,
                VXQ_F_CLI_BuildQuality(VXQ_CLI_FN_QUALITY_GET, dwNo, in_dwLoginId, (uint16_t)PR_Rand(inout_ptCli, 0, 1),
                                       0, 0),
                tAnswer);
        break;
    case 3:
        PR_Call(inout_ptCli, inout_ptLink,
                VXQ_F_CLI_BuildConfig(VXQ_CLI_FN_GET_CONFIG, dwNo, in_dwLoginId, PR_Rand(inout_ptCli, 1, 20), Bytes()),
                tAnswer);
        break;
    case 4:
        PR_Call(inout_ptCli, inout_ptLink, VXQ_F_CLI_BuildAbility(dwNo, in_dwLoginId, 0), tAnswer);
        break;
    case 5:
        PR_Call(inout_ptCli, inout_ptLink, VXQ_F_CLI_BuildMaint(VXQ_CLI_FN_VERSION, dwNo, in_dwLoginId), tAnswer);
        break;
    case 6:
        PR_Call(inout_ptCli, inout_ptLink,
                VXQ_F_CLI_BuildGuard(PR_Chance(inout_ptCli, 50) ? VXQ_CLI_FN_GUARD : VXQ_CLI_FN_UNGUARD, dwNo,
                                     in_dwLoginId),
                tAnswer);
        break;
    default:
        PR_Call(inout_ptCli, inout_ptLink, VXQ_F_CLI_BuildCustom(dwNo, 7, Bytes(16, 0x5A)), tAnswer);
        break;
    }
}

/* ---- the actions ---- */

/* Login, a few requests, logout (or just leave). */
static void PR_ActSession(_VXQ_S_SOAK_CLIENT *inout_ptCli)
{
    _VXQ_S_CLI_LINK tLink;
    uint32_t dwLoginId = 0;
    if (!PR_Login(inout_ptCli, &tLink, &dwLoginId)) {
        VXQ_F_CLI_Close(&tLink);
        return;
    }
    int32_t iNum = PR_Rand(inout_ptCli, 1, 6);
    for (int32_t i = 0; i < iNum && !tLink.bPeerClosed && tLink.iSock >= 0; i++)
        PR_HarmlessRequest(inout_ptCli, &tLink, dwLoginId);
    if (PR_Chance(inout_ptCli, 70) && tLink.iSock >= 0) {
        Bytes tAnswer;
        PR_Call(inout_ptCli, &tLink, VXQ_F_CLI_BuildLogout(VXQ_F_CLI_NextTransNo(&tLink)), tAnswer);
    }
    PR_End(inout_ptCli, &tLink, 20);
}

/* A wrong password: refused (the device slows such answers down after a few). */
static void PR_ActBadLogin(_VXQ_S_SOAK_CLIENT *inout_ptCli)
{
    _VXQ_S_CLI_LINK tLink;
    uint32_t dwLoginId = 0;
    PR_Login(inout_ptCli, &tLink, &dwLoginId, 1);
    PR_End(inout_ptCli, &tLink, 0);
}

/* Kinds of live viewers. */
enum { PR_VIEW_NORMAL = 0, PR_VIEW_SLOW = 1, PR_VIEW_STALLED = 2 };

/* Reads whole frame messages for in_iMs. */
static void PR_ReadFrames(_VXQ_S_SOAK_CLIENT *inout_ptCli, _VXQ_S_CLI_LINK *inout_ptMedia, int32_t in_iMs)
{
    int64_t iEnd = VXQ_F_SOAK_NowMs() + in_iMs;
    Bytes tMsg;
    while (!PR_Stopping(inout_ptCli) && !inout_ptMedia->bPeerClosed) {
        int64_t iLeft = iEnd - VXQ_F_SOAK_NowMs();
        if (iLeft <= 0)
            break;
        if (!VXQ_F_CLI_ReadMsg(inout_ptMedia, tMsg, (int)(iLeft < 200 ? iLeft : 200))) {
            if (inout_ptMedia->iError != VXQ_CLI_ERR_TIMEOUT)
                break;
            continue;
        }
        _VXQ_S_CLI_MEDIA_HEAD tFrame;
        if (VXQ_F_CLI_ParseFrame(tMsg.data(), tMsg.size(), &tFrame)) {
            inout_ptCli->pStats->qwFrames++;
            inout_ptCli->pStats->qwFrameBytes += tFrame.dwDataLen;
        }
    }
}

/* Reads a few hundred bytes at a time with pauses: a viewer on a thin line. */
static void PR_ReadSlowly(_VXQ_S_SOAK_CLIENT *inout_ptCli, _VXQ_S_CLI_LINK *inout_ptMedia, int32_t in_iMs)
{
    int64_t iEnd = VXQ_F_SOAK_NowMs() + in_iMs;
    uint8_t ucBuf[512];
    while (!PR_Stopping(inout_ptCli) && VXQ_F_SOAK_NowMs() < iEnd) {
        ssize_t iGot = recv(inout_ptMedia->iSock, ucBuf, sizeof(ucBuf), MSG_DONTWAIT);
        if (iGot == 0) {
            inout_ptMedia->bPeerClosed = 1;
            break;
        }
        if (iGot > 0)
            inout_ptCli->pStats->qwFrameBytes += (uint64_t)iGot;
        std::this_thread::sleep_for(std::chrono::milliseconds(PR_Rand(inout_ptCli, 10, 60)));
    }
}

/* Opens a live view on a second connection, watches it in one of three ways
 * and leaves it one of several ways. */
static void PR_ActLive(_VXQ_S_SOAK_CLIENT *inout_ptCli, int in_iKind)
{
    _VXQ_S_SOAK_STATS *pStats = inout_ptCli->pStats;
    _VXQ_S_CLI_LINK tCmd;
    uint32_t dwLoginId = 0;
    if (!PR_Login(inout_ptCli, &tCmd, &dwLoginId)) {
        VXQ_F_CLI_Close(&tCmd);
        return;
    }
    _VXQ_S_CLI_LINK tMedia;
    if (!PR_Connect(inout_ptCli, &tMedia)) {
        PR_End(inout_ptCli, &tCmd, 0);
        return;
    }
    if (in_iKind != PR_VIEW_NORMAL) {
        /* A small receive buffer: the device's send queue fills at once. */
        int iSize = 4096;
        setsockopt(tMedia.iSock, SOL_SOCKET, SO_RCVBUF, &iSize, sizeof(iSize));
    }
    Bytes tAnswer;
    uint16_t usCh = (uint16_t)PR_Rand(inout_ptCli, 0, 1);
    uint16_t usStream = (uint16_t)PR_Rand(inout_ptCli, 0, 1);
    uint32_t dwConnId = 0;
    if (PR_Call(inout_ptCli, &tMedia,
                VXQ_F_CLI_BuildExRealplayOpen(VXQ_F_CLI_NextTransNo(&tMedia), dwLoginId, usCh, usStream, 0), tAnswer) &&
        VXQ_F_CLI_Result(tAnswer) == 0 && VXQ_F_CLI_ParseExRealplayOpen(tAnswer.data(), tAnswer.size(), &dwConnId)) {
        pStats->qwLiveOpens++;
        if (PR_Chance(inout_ptCli, 30))
            PR_Call(inout_ptCli, &tCmd,
                    VXQ_F_CLI_BuildCtrlStream(VXQ_F_CLI_NextTransNo(&tCmd), dwLoginId, dwConnId, 1, 1), tAnswer);
        int32_t iMs = PR_Rand(inout_ptCli, 500, 4000);
        if (in_iKind == PR_VIEW_SLOW) {
            pStats->qwSlow++;
            PR_ReadSlowly(inout_ptCli, &tMedia, iMs);
        } else if (in_iKind == PR_VIEW_STALLED) {
            pStats->qwStalled++;
            PR_Nap(inout_ptCli, PR_Rand(inout_ptCli, 1000, 8000));
        } else {
            PR_ReadFrames(inout_ptCli, &tMedia, iMs);
        }
    }
    switch (PR_Rand(inout_ptCli, 0, 3)) {
    case 0: /* orderly: close request, then both connections */
        if (dwConnId != 0)
            PR_Call(inout_ptCli, &tCmd,
                    VXQ_F_CLI_BuildExRealplayClose(VXQ_F_CLI_NextTransNo(&tCmd), dwLoginId, dwConnId), tAnswer);
        PR_End(inout_ptCli, &tMedia, 0);
        PR_End(inout_ptCli, &tCmd, 0);
        break;
    case 1: /* the viewer vanishes first */
        PR_Reset(inout_ptCli, &tMedia);
        PR_End(inout_ptCli, &tCmd, 0);
        break;
    case 2: /* the session ends under a running view */
        PR_End(inout_ptCli, &tCmd, 50);
        PR_End(inout_ptCli, &tMedia, 0);
        break;
    default: /* both at once */
        PR_Reset(inout_ptCli, &tCmd);
        PR_Reset(inout_ptCli, &tMedia);
        break;
    }
}

/* Lists records and reads part of one, leaving orderly or mid-transfer. */
static void PR_ActDownload(_VXQ_S_SOAK_CLIENT *inout_ptCli)
{
    _VXQ_S_SOAK_STATS *pStats = inout_ptCli->pStats;
    _VXQ_S_CLI_LINK tCmd;
    uint32_t dwLoginId = 0;
    if (!PR_Login(inout_ptCli, &tCmd, &dwLoginId)) {
        VXQ_F_CLI_Close(&tCmd);
        return;
    }
    Bytes tAnswer;
    std::string sFlag = inout_ptCli->pRun->sRecordFlag;
    if (PR_Chance(inout_ptCli, 50)) {
        _VXQ_S_CLI_TIME tFrom = {2000, 1, 1, 0, 0, 0};
        _VXQ_S_CLI_TIME tTo = {2037, 12, 31, 23, 59, 59};
        std::vector<_VXQ_S_CLI_FILE_INFO> tFiles;
        if (PR_Call(inout_ptCli, &tCmd,
                    VXQ_F_CLI_BuildQueryFile(VXQ_F_CLI_NextTransNo(&tCmd), dwLoginId, 0, 0, &tFrom, &tTo), tAnswer) &&
            VXQ_F_CLI_Result(tAnswer) == 0 && VXQ_F_CLI_ParseQueryFile(tAnswer.data(), tAnswer.size(), &tFiles) &&
            !tFiles.empty())
            sFlag = tFiles[(size_t)PR_Rand(inout_ptCli, 0, (int32_t)tFiles.size() - 1)].sFileFlag;
    }
    _VXQ_S_CLI_LINK tDown;
    if (sFlag.empty() || !PR_Connect(inout_ptCli, &tDown)) {
        PR_End(inout_ptCli, &tCmd, 0);
        return;
    }
    uint32_t dwReadId = 0;
    _VXQ_S_CLI_FILE_INFO tInfo;
    if (PR_Call(inout_ptCli, &tDown, VXQ_F_CLI_BuildDownloadOpen(VXQ_F_CLI_NextTransNo(&tDown), dwLoginId, sFlag),
                tAnswer) &&
        VXQ_F_CLI_Result(tAnswer) == 0 && VXQ_F_CLI_ParseDownloadOpen(tAnswer.data(), tAnswer.size(), &dwReadId, &tInfo)) {
        pStats->qwDownloads++;
        int32_t iReads = PR_Rand(inout_ptCli, 1, 12);
        int bCut = PR_Chance(inout_ptCli, 30);
        for (int32_t iRequ = 1; iRequ <= iReads && !PR_Stopping(inout_ptCli); iRequ++) {
            pStats->qwRequests++;
            if (!VXQ_F_CLI_SendMsg(&tDown, VXQ_F_CLI_BuildDownloadGet(VXQ_F_CLI_NextTransNo(&tDown), dwLoginId,
                                                                       dwReadId, (uint32_t)iRequ, 0, 0)))
                break;
            if (bCut && iRequ == iReads) {
                pStats->qwLost++;
                break; /* leave with the read in flight */
            }
            int bLast = 0;
            int bAnswered = 0;
            while (!bLast) {
                if (!VXQ_F_CLI_ReadMsg(&tDown, tAnswer, PR_CALL_MS))
                    break;
                _VXQ_S_CLI_FILE_PIECE tPiece;
                if (!VXQ_F_CLI_ParseDownloadGet(tAnswer.data(), tAnswer.size(), &tPiece))
                    continue;
                bAnswered = 1;
                pStats->qwDownloadBytes += tPiece.dwDataLen;
                bLast = VXQ_F_CLI_Result(tAnswer) != 0 || tPiece.ucDataEnd == 1 ||
                        (tPiece.ucDataEnd != 0 && tPiece.dwRequId == (uint32_t)iRequ);
                if (tPiece.ucDataEnd == 1)
                    iReads = iRequ;
            }
            if (bAnswered)
                pStats->qwAnswered++;
            else if (tDown.iError == VXQ_CLI_ERR_TIMEOUT)
                pStats->qwNoAnswer++;
            else
                pStats->qwLost++;
            if (!bLast)
                break;
        }
        if (bCut) {
            PR_Reset(inout_ptCli, &tDown);
        } else {
            PR_Call(inout_ptCli, &tDown, VXQ_F_CLI_BuildDownloadClose(VXQ_F_CLI_NextTransNo(&tDown), dwLoginId, dwReadId),
                    tAnswer);
        }
    }
    PR_End(inout_ptCli, &tDown, 0);
    PR_End(inout_ptCli, &tCmd, 10);
}

/* A talk on channel 0: start, some audio, stop (or vanish while talking). */
static void PR_ActTalk(_VXQ_S_SOAK_CLIENT *inout_ptCli)
{
    _VXQ_S_SOAK_STATS *pStats = inout_ptCli->pStats;
    _VXQ_S_CLI_LINK tCmd;
    uint32_t dwLoginId = 0;
    if (!PR_Login(inout_ptCli, &tCmd, &dwLoginId)) {
        VXQ_F_CLI_Close(&tCmd);
        return;
    }
    _VXQ_S_CLI_LINK tTalk;
    if (!PR_Connect(inout_ptCli, &tTalk)) {
        PR_End(inout_ptCli, &tCmd, 0);
        return;
    }
    Bytes tAnswer;
    if (PR_Call(inout_ptCli, &tTalk, VXQ_F_CLI_BuildTalk(VXQ_CLI_FN_TALK_START, VXQ_F_CLI_NextTransNo(&tTalk), dwLoginId, 0),
                tAnswer) &&
        VXQ_F_CLI_Result(tAnswer) == 0) {
        pStats->qwTalks++;
        uint8_t ucAudio[320];
        memset(ucAudio, 0xFF, sizeof(ucAudio));
        int32_t iFrames = PR_Rand(inout_ptCli, 5, 40);
        for (int32_t i = 0; i < iFrames && !PR_Stopping(inout_ptCli); i++) {
            if (!VXQ_F_CLI_SendMsg(&tTalk, VXQ_F_CLI_BuildTalkAudio(ucAudio, sizeof(ucAudio))))
                break;
            pStats->qwTalkBytes += sizeof(ucAudio);
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
        if (PR_Chance(inout_ptCli, 75)) {
            PR_Call(inout_ptCli, &tTalk, VXQ_F_CLI_BuildHeartbeat(VXQ_F_CLI_NextTransNo(&tTalk)), tAnswer);
            PR_Call(inout_ptCli, &tCmd,
                    VXQ_F_CLI_BuildTalk(VXQ_CLI_FN_TALK_STOP, VXQ_F_CLI_NextTransNo(&tCmd), dwLoginId, 0), tAnswer);
        }
    }
    PR_End(inout_ptCli, &tTalk, 30);
    PR_End(inout_ptCli, &tCmd, 30);
}

/* Requests cut off: a relayed request whose asker vanishes before the host
 * answers, or half a message and then nothing. */
static void PR_ActAbrupt(_VXQ_S_SOAK_CLIENT *inout_ptCli)
{
    _VXQ_S_CLI_LINK tLink;
    if (PR_Chance(inout_ptCli, 60)) {
        uint32_t dwLoginId = 0;
        if (!PR_Login(inout_ptCli, &tLink, &dwLoginId)) {
            VXQ_F_CLI_Close(&tLink);
            return;
        }
        _VXQ_S_CLI_TIME tFrom = {2000, 1, 1, 0, 0, 0};
        _VXQ_S_CLI_TIME tTo = {2037, 12, 31, 23, 59, 59};
        uint32_t dwNo = VXQ_F_CLI_NextTransNo(&tLink);
        Bytes tMsg = PR_Chance(inout_ptCli, 50)
                         ? VXQ_F_CLI_BuildQueryFile(dwNo, dwLoginId, 0, 0, &tFrom, &tTo)
                         : VXQ_F_CLI_BuildPtz(dwNo, dwLoginId, 0, 1, 1, 0, 0);
        VXQ_F_CLI_SendMsg(&tLink, tMsg);
        PR_Reset(inout_ptCli, &tLink);
        return;
    }
    if (!PR_Connect(inout_ptCli, &tLink))
        return;
    Bytes tMsg = VXQ_F_CLI_BuildToken(VXQ_F_CLI_NextTransNo(&tLink));
    VXQ_F_CLI_SendRaw(&tLink, tMsg.data(), (size_t)PR_Rand(inout_ptCli, 1, (int32_t)tMsg.size() - 1));
    if (PR_Chance(inout_ptCli, 50))
        PR_Reset(inout_ptCli, &tLink);
    else
        VXQ_F_CLI_Close(&tLink);
}

/* Requests a hostile client may cut short; none of them changes the device. */
static const uint16_t s_usTruncatable[] = {
    VXQ_CLI_FN_GET_TOKEN,     VXQ_CLI_FN_LOGIN,        VXQ_CLI_FN_CLAIM,         VXQ_CLI_FN_REALPLAY_OPEN,
    VXQ_CLI_FN_REALPLAY_CLOSE, VXQ_CLI_FN_PTZ,         VXQ_CLI_FN_EX_REALPLAY_OPEN, VXQ_CLI_FN_CTRL_STREAM,
    VXQ_CLI_FN_QUALITY_GET,   VXQ_CLI_FN_QUERY_FILE,   VXQ_CLI_FN_DOWNLOAD_OPEN, VXQ_CLI_FN_DOWNLOAD_GET,
    VXQ_CLI_FN_DOWNLOAD_OPEN_BY_TIME, VXQ_CLI_FN_TALK_START, VXQ_CLI_FN_GUARD, VXQ_CLI_FN_GET_CONFIG,
    VXQ_CLI_FN_COM_OPEN,      VXQ_CLI_FN_CUSTOM,       VXQ_CLI_FN_ABILITY,       VXQ_CLI_FN_VERSION,
};

/* After a hostile send: does the connection still answer a heartbeat? */
static void PR_Judge(_VXQ_S_SOAK_CLIENT *inout_ptCli, _VXQ_S_CLI_LINK *inout_ptLink)
{
    _VXQ_S_SOAK_STATS *pStats = inout_ptCli->pStats;
    Bytes tAnswer;
    uint32_t dwNo = 0x7E000000u | VXQ_F_CLI_NextTransNo(inout_ptLink);
    if (VXQ_F_CLI_Call(inout_ptLink, VXQ_F_CLI_BuildHeartbeat(dwNo), tAnswer, PR_CLOSE_WAIT_MS))
        pStats->qwHostileSurvived++;
    else if (inout_ptLink->bPeerClosed)
        pStats->qwHostileDropped++;
    PR_End(inout_ptCli, inout_ptLink, 30);
}

/* Malformed messages: a wrong flag, a size below the head, a request cut
 * short, an answer sent as a request, an unknown function id. */
static void PR_ActMalformed(_VXQ_S_SOAK_CLIENT *inout_ptCli)
{
    _VXQ_S_CLI_LINK tLink;
    uint32_t dwLoginId = 0;
    int bLoggedIn = PR_Chance(inout_ptCli, 50);
    if (bLoggedIn ? !PR_Login(inout_ptCli, &tLink, &dwLoginId) : !PR_Connect(inout_ptCli, &tLink)) {
        VXQ_F_CLI_Close(&tLink);
        return;
    }
    int32_t iNum = PR_Rand(inout_ptCli, 1, 4);
    for (int32_t i = 0; i < iNum && tLink.iSock >= 0 && !tLink.bPeerClosed; i++) {
        uint16_t usFunc = s_usTruncatable[PR_Rand(inout_ptCli, 0, (int32_t)(sizeof(s_usTruncatable) / 2) - 1)];
        Bytes tMsg;
        switch (PR_Rand(inout_ptCli, 0, 4)) {
        case 0: /* wrong packet flag */
            tMsg = VXQ_F_CLI_BuildMsg(usFunc, 0, 1, nullptr, 8);
            VXQ_F_CLI_PutU32(tMsg.data(), 0xFFFFEEEFu);
            break;
        case 1: /* a size that does not even cover the head */
            tMsg = VXQ_F_CLI_BuildMsg(usFunc, 0, 1, nullptr, 0);
            VXQ_F_CLI_PutU32(tMsg.data() + 4, (uint32_t)PR_Rand(inout_ptCli, 0, 19));
            break;
        case 2: { /* a request cut short: the head says exactly the bytes sent */
            Bytes tBody((size_t)PR_Rand(inout_ptCli, 0, 24));
            for (uint8_t &uc : tBody)
                uc = (uint8_t)PR_Rand(inout_ptCli, 0, 255);
            if (tBody.size() >= 4)
                VXQ_F_CLI_PutU32(tBody.data(), dwLoginId);
            tMsg = VXQ_F_CLI_BuildMsg(usFunc, 0, VXQ_F_CLI_NextTransNo(&tLink), tBody.data(), tBody.size());
            break;
        }
        case 3: /* an answer where a request belongs */
            tMsg = VXQ_F_CLI_BuildMsg(usFunc, VXQ_CLI_PACKET_ANSWER, VXQ_F_CLI_NextTransNo(&tLink), nullptr, 16);
            break;
        default: /* a function id nobody knows */
            tMsg = VXQ_F_CLI_BuildMsg((uint16_t)PR_Rand(inout_ptCli, 0x0F00, 0x7FFF), 0, VXQ_F_CLI_NextTransNo(&tLink),
                                      nullptr, (size_t)PR_Rand(inout_ptCli, 0, 64));
            break;
        }
        inout_ptCli->pStats->qwHostile++;
        VXQ_F_CLI_SendMsg(&tLink, tMsg);
    }
    PR_Judge(inout_ptCli, &tLink);
}

/* A head that announces far more than will ever come. */
static void PR_ActOversize(_VXQ_S_SOAK_CLIENT *inout_ptCli)
{
    static const uint32_t s_dwSizes[] = {0xFFFFFFFFu, 0x7FFFFFFFu, 0x04000000u, 0x00100001u, 0x00100000u, 0x00010014u};
    _VXQ_S_CLI_LINK tLink;
    if (!PR_Connect(inout_ptCli, &tLink))
        return;
    Bytes tMsg = VXQ_F_CLI_BuildToken(VXQ_F_CLI_NextTransNo(&tLink));
    VXQ_F_CLI_PutU32(tMsg.data() + 4, s_dwSizes[PR_Rand(inout_ptCli, 0, (int32_t)(sizeof(s_dwSizes) / 4) - 1)]);
    inout_ptCli->pStats->qwHostile++;
    VXQ_F_CLI_SendMsg(&tLink, tMsg);
    if (PR_Chance(inout_ptCli, 50)) {
        Bytes tMore((size_t)PR_Rand(inout_ptCli, 1, 65536), 0xA5);
        VXQ_F_CLI_SendRaw(&tLink, tMore.data(), tMore.size());
    }
    if (VXQ_F_CLI_WaitPeerClosed(&tLink, PR_CLOSE_WAIT_MS))
        inout_ptCli->pStats->qwHostileDropped++;
    PR_End(inout_ptCli, &tLink, 30);
}

/* Random bytes, sometimes behind a valid head. */
static void PR_ActRandomBytes(_VXQ_S_SOAK_CLIENT *inout_ptCli)
{
    _VXQ_S_CLI_LINK tLink;
    if (!PR_Connect(inout_ptCli, &tLink))
        return;
    Bytes tJunk((size_t)PR_Rand(inout_ptCli, 1, 8192));
    for (uint8_t &uc : tJunk)
        uc = (uint8_t)PR_Rand(inout_ptCli, 0, 255);
    if (PR_Chance(inout_ptCli, 40) && tJunk.size() >= 20) {
        VXQ_F_CLI_PutU32(tJunk.data(), VXQ_CLI_PACKET_FLAG);
        VXQ_F_CLI_PutU32(tJunk.data() + 4, (uint32_t)tJunk.size());
        VXQ_F_CLI_PutU16(tJunk.data() + 8, s_usTruncatable[PR_Rand(inout_ptCli, 0, 1)]);
    }
    inout_ptCli->pStats->qwHostile++;
    VXQ_F_CLI_SendRaw(&tLink, tJunk.data(), tJunk.size());
    PR_Judge(inout_ptCli, &tLink);
}

/* A connection that never says who it is; a long one checks the 30 s drop. */
static void PR_ActIdle(_VXQ_S_SOAK_CLIENT *inout_ptCli, int in_bLong)
{
    _VXQ_S_CLI_LINK tLink;
    if (!PR_Connect(inout_ptCli, &tLink))
        return;
    if (in_bLong) {
        if (VXQ_F_CLI_WaitPeerClosed(&tLink, (PR_IDLE_DROP_SEC + 5) * 1000))
            inout_ptCli->pStats->qwPeerClosed++;
    } else {
        PR_Nap(inout_ptCli, PR_Rand(inout_ptCli, 200, 3000));
    }
    PR_End(inout_ptCli, &tLink, 50);
}

/* Weights of the actions, in percent. */
typedef struct {
    int32_t iWeight;
    int32_t iAction;
} PR_WEIGHT;

enum {
    PR_A_SESSION, PR_A_LIVE, PR_A_SLOW, PR_A_STALLED, PR_A_DOWNLOAD, PR_A_TALK, PR_A_ABRUPT, PR_A_MALFORMED,
    PR_A_OVERSIZE, PR_A_RANDOM, PR_A_IDLE, PR_A_BAD_LOGIN
};

static const PR_WEIGHT s_tWeights[] = {
    {16, PR_A_SESSION}, {16, PR_A_LIVE},  {6, PR_A_SLOW},      {5, PR_A_STALLED}, {12, PR_A_DOWNLOAD},
    {6, PR_A_TALK},     {10, PR_A_ABRUPT}, {12, PR_A_MALFORMED}, {5, PR_A_OVERSIZE}, {6, PR_A_RANDOM},
    {5, PR_A_IDLE},     {1, PR_A_BAD_LOGIN},
};

void VXQ_F_SOAK_ClientMain(_VXQ_S_SOAK_RUN *inout_ptRun, int32_t in_iIndex)
{
    _VXQ_S_SOAK_CLIENT tCli;
    tCli.pRun = inout_ptRun;
    tCli.pStats = &inout_ptRun->tStats;
    tCli.iIndex = in_iIndex;
    tCli.tRng.seed(inout_ptRun->pOpts->dwSeed * 1000003u + (uint32_t)in_iIndex);
    int32_t iTotal = 0;
    for (const PR_WEIGHT &t : s_tWeights)
        iTotal += t.iWeight;
    while (!PR_Stopping(&tCli) && VXQ_F_SOAK_NowMs() < inout_ptRun->iDeadlineMs.load()) {
        int32_t iPick = PR_Rand(&tCli, 0, iTotal - 1);
        int32_t iAction = PR_A_SESSION;
        for (const PR_WEIGHT &t : s_tWeights) {
            if (iPick < t.iWeight) {
                iAction = t.iAction;
                break;
            }
            iPick -= t.iWeight;
        }
        tCli.pStats->qwActions++;
        switch (iAction) {
        case PR_A_SESSION: PR_ActSession(&tCli); break;
        case PR_A_LIVE: PR_ActLive(&tCli, PR_VIEW_NORMAL); break;
        case PR_A_SLOW: PR_ActLive(&tCli, PR_VIEW_SLOW); break;
        case PR_A_STALLED: PR_ActLive(&tCli, PR_VIEW_STALLED); break;
        case PR_A_DOWNLOAD: PR_ActDownload(&tCli); break;
        case PR_A_TALK: PR_ActTalk(&tCli); break;
        case PR_A_ABRUPT: PR_ActAbrupt(&tCli); break;
        case PR_A_MALFORMED: PR_ActMalformed(&tCli); break;
        case PR_A_OVERSIZE: PR_ActOversize(&tCli); break;
        case PR_A_RANDOM: PR_ActRandomBytes(&tCli); break;
        case PR_A_IDLE: {
            /* Only with time left for the device's 30 s rule to show. */
            int bLong = PR_Chance(&tCli, 10) &&
                        inout_ptRun->iDeadlineMs.load() - VXQ_F_SOAK_NowMs() > (PR_IDLE_DROP_SEC + 10) * 1000;
            PR_ActIdle(&tCli, bLong);
            break;
        }
        default: PR_ActBadLogin(&tCli); break;
        }
    }
}

std::string VXQ_F_SOAK_FindRecord(const _VXQ_S_SOAK_RUN *in_ptRun)
{
    _VXQ_S_SOAK_CLIENT tCli;
    tCli.pRun = (_VXQ_S_SOAK_RUN *)in_ptRun;
    tCli.pStats = &tCli.pRun->tStats;
    tCli.iIndex = -1;
    tCli.tRng.seed(in_ptRun->pOpts->dwSeed);
    _VXQ_S_CLI_LINK tLink;
    uint32_t dwLoginId = 0;
    std::string sFlag;
    if (!PR_Login(&tCli, &tLink, &dwLoginId)) {
        VXQ_F_CLI_Close(&tLink);
        return sFlag;
    }
    _VXQ_S_CLI_TIME tFrom = {2000, 1, 1, 0, 0, 0};
    _VXQ_S_CLI_TIME tTo = {2037, 12, 31, 23, 59, 59};
    Bytes tAnswer;
    std::vector<_VXQ_S_CLI_FILE_INFO> tFiles;
    if (PR_Call(&tCli, &tLink, VXQ_F_CLI_BuildQueryFile(VXQ_F_CLI_NextTransNo(&tLink), dwLoginId, 0, 0, &tFrom, &tTo),
                tAnswer) &&
        VXQ_F_CLI_ParseQueryFile(tAnswer.data(), tAnswer.size(), &tFiles) && !tFiles.empty())
        sFlag = tFiles[0].sFileFlag;
    PR_Call(&tCli, &tLink, VXQ_F_CLI_BuildLogout(VXQ_F_CLI_NextTransNo(&tLink)), tAnswer);
    VXQ_F_CLI_Close(&tLink);
    return sFlag;
}
