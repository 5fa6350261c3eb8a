/* The TCP log service; see vxq_logserver.h for the contract and logserver.h for
 * the state and the steps of the log thread. Nothing here logs: a line about a
 * failure of the log's own distribution would feed itself. */
#include "lognet/logserver.h"

#include "log/logwriter.h"
#include "vxq_clock.h"
#include "vxq_sockwrap.h"
#include "vxq_syshelp.h"
#include "vxq_thread.h"

#include <mutex>
#include <string.h>

/* Longest wait of the log thread for a line, and its pause after an empty one. */
#define VXQ_LOG_SR_LINE_WAIT_MS 100
#define VXQ_LOG_SR_EMPTY_LINE_PAUSE_MS 100
/* How long a stop waits for the log thread before joining it. */
#define VXQ_LOG_SR_QUIT_WAIT_MS 1000

/* The process's log service: the listen state, the thread and its run flag.
 * s_tServiceLock serialises start and stop; the thread owns tListen while it runs. */
typedef struct _VXQ_S_LOG_SR_SERVICE_DATA {
    int32_t bStarted;
    std::atomic<int32_t> bThreadRun;
    VXQ_HTHREAD hThread;
    _VXQ_S_LOG_SR_LISTEN_DATA tListen;
} _VXQ_S_LOG_SR_SERVICE_DATA;

static _VXQ_S_LOG_SR_SERVICE_DATA s_tService;
static std::mutex s_tServiceLock;

void VXQ_F_LOG_SR_InitListenData(_VXQ_S_LOG_SR_LISTEN_DATA *out_pState)
{
    out_pState->usLogPort = 0;
    out_pState->usBoundPort = 0;
    out_pState->iListenSocket = -1;
    out_pState->bSocketLibInit = 0;
    for (int32_t i = 0; i < VXQ_LOG_SR_MAX_CLIENT_NUM; i++) {
        out_pState->tClient[i].bUsed = 0;
        out_pState->tClient[i].iSocket = -1;
        out_pState->tClient[i].iSkipLines = 0;
    }
    out_pState->iClientNum = 0;
    out_pState->hLineQueue = NULL;
    out_pState->pSendBuf = NULL;
    out_pState->iSendBufSize = 0;
    out_pState->iSendLen = 0;
    out_pState->dwLastCheckTick = 0;
}

int VXQ_F_LOG_SR_StartLogListenServer(_VXQ_S_LOG_SR_LISTEN_DATA *inout_pState)
{
    if (inout_pState == NULL)
        return 0;
    if (!inout_pState->bSocketLibInit)
        inout_pState->bSocketLibInit = VXQ_F_SYS_SOCKET_InitSocketLib();
    int iSocket = VXQ_F_SYS_SOCKET_Create(0);
    if (iSocket < 0)
        return 0;
    uint16_t usBound = 0;
    VXQ_F_SYS_SOCKET_SetBlockMode(iSocket, 0);
    if (!VXQ_F_SYS_SOCKET_Bind(iSocket, NULL, inout_pState->usLogPort) || !VXQ_F_SYS_SOCKET_Listen(iSocket) ||
        !VXQ_F_SYS_SOCKET_GetSocketLocalAddr(iSocket, NULL, &usBound)) {
        VXQ_F_SYS_SOCKET_Close(iSocket);
        VXQ_F_LOG_SR_StopLogListenServer(inout_pState);
        return 0;
    }
    inout_pState->iListenSocket = iSocket;
    inout_pState->usBoundPort = usBound;
    inout_pState->dwLastCheckTick = VXQ_F_CLOCK_TickMs();
    return 1;
}

void VXQ_F_LOG_SR_StopLogListenServer(_VXQ_S_LOG_SR_LISTEN_DATA *inout_pState)
{
    if (inout_pState == NULL)
        return;
    if (inout_pState->iListenSocket >= 0)
        VXQ_F_SYS_SOCKET_Close(inout_pState->iListenSocket);
    inout_pState->iListenSocket = -1;
    inout_pState->usBoundPort = 0;
}

/* Puts the accepted socket into the first free slot; 0 (socket untouched) when all are in use. */
static int VXQ_F_LOG_SR_AddTcpConnect(_VXQ_S_LOG_SR_LISTEN_DATA *inout_pState, int in_iSocket)
{
    for (int32_t i = 0; i < VXQ_LOG_SR_MAX_CLIENT_NUM; i++) {
        _VXQ_S_LOG_CLIENT_TCP_CONN_DATA *pSlot = &inout_pState->tClient[i];
        if (pSlot->bUsed)
            continue;
        pSlot->bUsed = 1;
        pSlot->iSocket = in_iSocket;
        /* Only this thread takes lines, so the count can only grow from here on:
         * every line counted now was written before the acceptance. */
        int32_t iQueued = VXQ_F_TOOLS_QUEUE_GetCount(inout_pState->hLineQueue);
        pSlot->iSkipLines = iQueued > 0 ? iQueued : 0;
        inout_pState->iClientNum++;
        return 1;
    }
    return 0;
}

/* Closes the client of one slot and frees the slot. */
static void VXQ_F_LOG_SR_DelTcpConnect(_VXQ_S_LOG_SR_LISTEN_DATA *inout_pState,
                                       _VXQ_S_LOG_CLIENT_TCP_CONN_DATA *inout_pSlot)
{
    if (!inout_pSlot->bUsed)
        return;
    VXQ_F_SYS_SOCKET_Close(inout_pSlot->iSocket);
    inout_pSlot->bUsed = 0;
    inout_pSlot->iSocket = -1;
    inout_pSlot->iSkipLines = 0;
    inout_pState->iClientNum--;
}

int VXQ_F_LOG_SR_DoNetEvent(_VXQ_S_LOG_SR_LISTEN_DATA *inout_pState, int in_iFlag)
{
    (void)in_iFlag;
    if (inout_pState == NULL || inout_pState->iListenSocket < 0)
        return 0;
    int iSocket = VXQ_F_SYS_SOCKET_Accept(inout_pState->iListenSocket, NULL, NULL);
    if (iSocket < 0)
        return 0;
    VXQ_F_SYS_SOCKET_SetBlockMode(iSocket, 0);
    if (!VXQ_F_LOG_SR_AddTcpConnect(inout_pState, iSocket)) {
        VXQ_F_SYS_SOCKET_Close(iSocket);
        return 0;
    }
    return 1;
}

/* 1 when a receive of up to in_iLen bytes (discarded) shows the peer closed or the socket failed. */
static int VXQ_F_LOG_SR_PeerGone(int in_iSocket, int in_iLen)
{
    char sDiscard[256];
    int iLen = in_iLen < (int)sizeof(sDiscard) ? in_iLen : (int)sizeof(sDiscard);
    int iState = 1;
    if (VXQ_F_SYS_SOCKET_Recv(in_iSocket, sDiscard, &iLen, &iState, NULL, 0))
        return 0;
    return iState == 0 || iState == -1;
}

int VXQ_F_LOG_SR_SendDataToClient(_VXQ_S_LOG_SR_LISTEN_DATA *inout_pState, const char *in_pLine,
                                  int32_t in_iLen)
{
    if (inout_pState == NULL || in_pLine == NULL || in_iLen <= 0)
        return 1;
    for (int32_t i = 0; i < VXQ_LOG_SR_MAX_CLIENT_NUM; i++) {
        _VXQ_S_LOG_CLIENT_TCP_CONN_DATA *pSlot = &inout_pState->tClient[i];
        if (!pSlot->bUsed)
            continue;
        if (pSlot->iSkipLines > 0) {
            pSlot->iSkipLines--;
            continue;
        }
        if (VXQ_F_LOG_SR_PeerGone(pSlot->iSocket, 64)) {
            VXQ_F_LOG_SR_DelTcpConnect(inout_pState, pSlot);
            continue;
        }
        int iState = 0;
        if (!VXQ_F_SYS_SOCKET_WaitSend(pSlot->iSocket, in_pLine, in_iLen, &iState, NULL, 0,
                                       VXQ_LOG_SR_SEND_WAIT_MS))
            VXQ_F_LOG_SR_DelTcpConnect(inout_pState, pSlot);
    }
    return 1;
}

int VXQ_F_LOG_SR_DoSendEvent(_VXQ_S_LOG_SR_LISTEN_DATA *inout_pState, int32_t in_iTimeoutMs)
{
    if (inout_pState == NULL || inout_pState->hLineQueue == NULL)
        return 0;
    inout_pState->iSendLen = 0;
    if (!VXQ_F_TOOLS_QUEUE_GetDataEx(inout_pState->hLineQueue, &inout_pState->pSendBuf,
                                     &inout_pState->iSendLen, &inout_pState->iSendBufSize, in_iTimeoutMs))
        return 0;
    if (inout_pState->iSendLen <= 0 || inout_pState->pSendBuf == NULL) {
        VXQ_F_SYS_Sleep(VXQ_LOG_SR_EMPTY_LINE_PAUSE_MS);
        return 1;
    }
    VXQ_F_LOG_SR_SendDataToClient(inout_pState, inout_pState->pSendBuf, inout_pState->iSendLen);
    return 1;
}

int VXQ_F_LOG_SR_CheckTcpConnect(_VXQ_S_LOG_SR_LISTEN_DATA *inout_pState)
{
    if (inout_pState == NULL)
        return 0;
    uint32_t dwNow = VXQ_F_CLOCK_TickMs();
    if (dwNow - inout_pState->dwLastCheckTick <= VXQ_LOG_SR_CHECK_PERIOD_MS)
        return 0;
    inout_pState->dwLastCheckTick = dwNow;
    for (int32_t i = 0; i < VXQ_LOG_SR_MAX_CLIENT_NUM; i++) {
        _VXQ_S_LOG_CLIENT_TCP_CONN_DATA *pSlot = &inout_pState->tClient[i];
        if (pSlot->bUsed && VXQ_F_LOG_SR_PeerGone(pSlot->iSocket, 256))
            VXQ_F_LOG_SR_DelTcpConnect(inout_pState, pSlot);
    }
    return 1;
}

void VXQ_F_LOG_SR_CloseAllTcpConnect(_VXQ_S_LOG_SR_LISTEN_DATA *inout_pState)
{
    if (inout_pState == NULL)
        return;
    for (int32_t i = 0; i < VXQ_LOG_SR_MAX_CLIENT_NUM; i++)
        VXQ_F_LOG_SR_DelTcpConnect(inout_pState, &inout_pState->tClient[i]);
}

/* One turn of the log thread: a new client, one line, the periodic check. */
static void VXQ_F_LOG_SR_DoEvent(_VXQ_S_LOG_SR_LISTEN_DATA *inout_pState, int32_t in_iTimeoutMs)
{
    VXQ_F_LOG_SR_DoNetEvent(inout_pState, 0);
    VXQ_F_LOG_SR_DoSendEvent(inout_pState, in_iTimeoutMs);
    VXQ_F_LOG_SR_CheckTcpConnect(inout_pState);
}

static void VXQ_F_LOG_SR_ThreadWork(void *in_pService)
{
    _VXQ_S_LOG_SR_SERVICE_DATA *pService = (_VXQ_S_LOG_SR_SERVICE_DATA *)in_pService;
    while (pService->bThreadRun.load())
        VXQ_F_LOG_SR_DoEvent(&pService->tListen, VXQ_LOG_SR_LINE_WAIT_MS);
}

/* Releases whatever a start made; called with s_tServiceLock held and the thread ended. */
static void VXQ_F_LOG_SR_PR_ReleaseService(void)
{
    _VXQ_S_LOG_SR_LISTEN_DATA *pListen = &s_tService.tListen;
    VXQ_F_LOG_SR_StopLogListenServer(pListen);
    /* A stopped service serves nobody: its clients are closed rather than kept
     * open without a thread that could ever send to them or notice them leave. */
    VXQ_F_LOG_SR_CloseAllTcpConnect(pListen);
    if (pListen->hLineQueue != NULL)
        VXQ_F_TOOLS_QUEUE_FreeQueue(&pListen->hLineQueue);
    if (pListen->pSendBuf != NULL)
        VXQ_F_TOOLS_QUEUE_FreeMemory(&pListen->pSendBuf);
    pListen->iSendBufSize = 0;
    pListen->iSendLen = 0;
    s_tService.bStarted = 0;
}

extern "C" int VXQ_F_LOG_SR_StartLogService(uint16_t in_usPort)
{
    std::lock_guard<std::mutex> tGuard(s_tServiceLock);
    if (s_tService.bStarted)
        return 1;
    _VXQ_S_LOG_SR_LISTEN_DATA *pListen = &s_tService.tListen;
    VXQ_F_LOG_SR_InitListenData(pListen);
    pListen->usLogPort = in_usPort;
    if (!VXQ_F_TOOLS_QUEUE_InitQueue(&pListen->hLineQueue, VXQ_LOG_SR_LINE_QUEUE_SIZE) ||
        !VXQ_F_LOG_SR_StartLogListenServer(pListen)) {
        VXQ_F_LOG_SR_PR_ReleaseService();
        return 0;
    }
    s_tService.bThreadRun = 1;
    s_tService.hThread = VXQ_F_THREAD_CreateThread(VXQ_F_LOG_SR_ThreadWork, &s_tService);
    if (s_tService.hThread == NULL) {
        s_tService.bThreadRun = 0;
        VXQ_F_LOG_SR_PR_ReleaseService();
        return 0;
    }
    /* Lines flow only once the thread that drains them runs. */
    VXQ_F_LOG_SR_AttachLineQueue(pListen->hLineQueue);
    s_tService.bStarted = 1;
    return 1;
}

extern "C" int VXQ_F_LOG_SR_StopLogService(void)
{
    std::lock_guard<std::mutex> tGuard(s_tServiceLock);
    if (!s_tService.bStarted)
        return 1;
    /* After the detach no writer touches the queue any more. */
    VXQ_F_LOG_SR_AttachLineQueue(NULL);
    s_tService.bThreadRun = 0;
    VXQ_F_THREAD_WaitExitThread(s_tService.hThread, VXQ_LOG_SR_QUIT_WAIT_MS);
    s_tService.hThread = NULL;
    VXQ_F_LOG_SR_PR_ReleaseService();
    return 1;
}

extern "C" uint16_t VXQ_F_LOG_SR_GetLogServicePort(void)
{
    std::lock_guard<std::mutex> tGuard(s_tServiceLock);
    return s_tService.bStarted ? s_tService.tListen.usBoundPort : 0;
}

int32_t VXQ_F_LOG_SR_GetLogClientNum(void)
{
    return s_tService.tListen.iClientNum.load();
}
