/* The log upload client; see vxq_logupload.h for the contract and logupload.h
 * for the record and the steps of its thread. Nothing here logs: a line about a
 * failure of the log's own distribution would feed itself. */
#include "lognet/logupload.h"

#include "log/logwriter.h"
#include "vxq_clock.h"
#include "vxq_sockwrap.h"
#include "vxq_syshelp.h"

#include <mutex>
#include <new>
#include <stdio.h>
#include <string.h>

/* The first bytes of the greeting. */
static const uint8_t s_ucGreetingMagic[4] = {0xFF, 0xEF, 0x01, 0xFF};

/* Idle pause of the thread while not connected, its pause after an empty line,
 * its wait for a line, one slice of the connection wait, and the stop's wait. */
#define VXQ_LOG_UPC_IDLE_MS 500
#define VXQ_LOG_UPC_EMPTY_LINE_PAUSE_MS 100
#define VXQ_LOG_UPC_LINE_WAIT_MS 500
#define VXQ_LOG_UPC_CONNECT_SLICE_MS 100
#define VXQ_LOG_UPC_QUIT_WAIT_MS 5000

/* The writer's one upload client; s_tUpClientLock serialises its start and stop. */
static VXQ_HLOGUPCLIENT s_hUpClient = NULL;
static std::mutex s_tUpClientLock;

/* Copies at most in_nMax characters; null gives an empty text. */
static void VXQ_F_LOG_UPC_PR_CopyText(char *out_sField, size_t in_nMax, const char *in_sText)
{
    snprintf(out_sField, in_nMax + 1, "%s", in_sText != NULL ? in_sText : "");
}

VXQ_HLOGUPCLIENT VXQ_F_LOG_UPC_CreateClient(const char *in_sText1, const char *in_sText2,
                                            const char *in_sServerIp, uint16_t in_usPort)
{
    if (in_sServerIp == NULL)
        return NULL;
    VXQ_HLOGUPCLIENT pClient = new (std::nothrow) _VXQ_S_LOG_UPCLIENT_WORKDATA();
    if (pClient == NULL)
        return NULL;
    if (!VXQ_F_TOOLS_QUEUE_InitQueue(&pClient->hLogQueue, VXQ_LOG_UPC_QUEUE_SIZE)) {
        delete pClient;
        return NULL;
    }
    pClient->bThreadRun = 1;
    pClient->iSocket = -1;
    VXQ_F_LOG_UPC_PR_CopyText(pClient->sText1, VXQ_LOG_UPC_TEXT_MAX, in_sText1);
    VXQ_F_LOG_UPC_PR_CopyText(pClient->sText2, VXQ_LOG_UPC_TEXT_MAX, in_sText2);
    VXQ_F_LOG_UPC_PR_CopyText(pClient->sServerIp, VXQ_LOG_UPC_IPADDR_MAX, in_sServerIp);
    pClient->usServerPort = in_usPort;
    pClient->iRetryPauseSec = VXQ_LOG_UPC_FIRST_PAUSE_SEC;
    return pClient;
}

void VXQ_F_LOG_UPC_BuildGreeting(const struct _VXQ_S_LOG_UPCLIENT_WORKDATA *in_pClient,
                                 uint8_t out_pGreeting[VXQ_LOG_UPC_GREETING_LEN])
{
    memset(out_pGreeting, 0, VXQ_LOG_UPC_GREETING_LEN);
    memcpy(out_pGreeting, s_ucGreetingMagic, sizeof(s_ucGreetingMagic));
    /* The texts hold at most 31 characters, so each keeps its terminating zero. */
    memcpy(out_pGreeting + 4, in_pClient->sText1, strlen(in_pClient->sText1));
    memcpy(out_pGreeting + 36, in_pClient->sText2, strlen(in_pClient->sText2));
}

void VXQ_F_LOG_UPC_DisconnectServer(struct _VXQ_S_LOG_UPCLIENT_WORKDATA *inout_pClient)
{
    if (inout_pClient == NULL || inout_pClient->iSocket < 0)
        return;
    VXQ_F_SYS_SOCKET_Close(inout_pClient->iSocket);
    inout_pClient->iSocket = -1;
}

int VXQ_F_LOG_UPC_SendData(struct _VXQ_S_LOG_UPCLIENT_WORKDATA *inout_pClient, const char *in_pData,
                           int32_t in_iLen)
{
    if (inout_pClient == NULL || inout_pClient->iSocket < 0 || in_pData == NULL || in_iLen < 0)
        return 0;
    char sDiscard[64];
    int iRecvLen = (int)sizeof(sDiscard);
    int iState = 1;
    if (!VXQ_F_SYS_SOCKET_Recv(inout_pClient->iSocket, sDiscard, &iRecvLen, &iState, NULL, 0) &&
        (iState == 0 || iState == -1))
        return 0;
    iState = 0;
    return VXQ_F_SYS_SOCKET_WaitSend(inout_pClient->iSocket, in_pData, in_iLen, &iState, NULL, 0,
                                     VXQ_LOG_UPC_SEND_WAIT_MS);
}

/* Waits for a started connection in slices, so that a stop does not wait for
 * the whole connection time-out. 1 when it is set up. */
static int VXQ_F_LOG_UPC_PR_WaitConnected(struct _VXQ_S_LOG_UPCLIENT_WORKDATA *inout_pClient)
{
    for (int32_t iWaited = 0; iWaited < VXQ_LOG_UPC_CONNECT_WAIT_MS;
         iWaited += VXQ_LOG_UPC_CONNECT_SLICE_MS) {
        if (!inout_pClient->bThreadRun.load())
            return 0;
        int iResult =
            VXQ_F_SYS_SOCKET_CheckConnectResult(inout_pClient->iSocket, VXQ_LOG_UPC_CONNECT_SLICE_MS);
        if (iResult != 1)
            return iResult == 0;
    }
    return 0;
}

int VXQ_F_LOG_UPC_ConnectServer(struct _VXQ_S_LOG_UPCLIENT_WORKDATA *inout_pClient)
{
    if (inout_pClient == NULL)
        return 0;
    if (inout_pClient->iSocket >= 0)
        return 1;
    uint32_t dwNow = VXQ_F_CLOCK_TickMs();
    if (inout_pClient->bTried &&
        dwNow - inout_pClient->dwLastAttemptTick < (uint32_t)inout_pClient->iRetryPauseSec * 1000u)
        return 0;
    inout_pClient->bTried = 1;
    inout_pClient->dwLastAttemptTick = dwNow;
    if (inout_pClient->iRetryPauseSec <= VXQ_LOG_UPC_MAX_PAUSE_SEC - 1) {
        inout_pClient->iRetryPauseSec += VXQ_LOG_UPC_PAUSE_STEP_SEC;
        if (inout_pClient->iRetryPauseSec > VXQ_LOG_UPC_MAX_PAUSE_SEC)
            inout_pClient->iRetryPauseSec = VXQ_LOG_UPC_MAX_PAUSE_SEC;
    }
    int iSocket = VXQ_F_SYS_SOCKET_Create(0);
    if (iSocket < 0)
        return 0;
    inout_pClient->iSocket = iSocket;
    VXQ_F_SYS_SOCKET_SetBlockMode(iSocket, 0);
    uint8_t ucGreeting[VXQ_LOG_UPC_GREETING_LEN];
    VXQ_F_LOG_UPC_BuildGreeting(inout_pClient, ucGreeting);
    if (!VXQ_F_SYS_SOCKET_StartConnect(iSocket, inout_pClient->sServerIp, inout_pClient->usServerPort) ||
        !VXQ_F_LOG_UPC_PR_WaitConnected(inout_pClient) ||
        !VXQ_F_LOG_UPC_SendData(inout_pClient, (const char *)ucGreeting, VXQ_LOG_UPC_GREETING_LEN)) {
        VXQ_F_LOG_UPC_DisconnectServer(inout_pClient);
        return 0;
    }
    return 1;
}

int VXQ_F_LOG_UPC_DoLogQueueEvent(struct _VXQ_S_LOG_UPCLIENT_WORKDATA *inout_pClient, int32_t in_iTimeoutMs)
{
    if (inout_pClient == NULL)
        return 0;
    inout_pClient->iSendLen = 0;
    if (!VXQ_F_TOOLS_QUEUE_GetDataEx(inout_pClient->hLogQueue, &inout_pClient->pSendBuf,
                                     &inout_pClient->iSendLen, &inout_pClient->iSendBufSize, in_iTimeoutMs))
        return 0;
    if (inout_pClient->iSendLen <= 0 || inout_pClient->pSendBuf == NULL) {
        VXQ_F_SYS_Sleep(VXQ_LOG_UPC_EMPTY_LINE_PAUSE_MS);
        return 1;
    }
    if (!VXQ_F_LOG_UPC_SendData(inout_pClient, inout_pClient->pSendBuf, inout_pClient->iSendLen))
        VXQ_F_LOG_UPC_DisconnectServer(inout_pClient);
    return 1;
}

static void VXQ_F_LOG_UPC_ThreadWork(void *in_pClient)
{
    VXQ_HLOGUPCLIENT pClient = (VXQ_HLOGUPCLIENT)in_pClient;
    while (pClient->bThreadRun.load()) {
        if (VXQ_F_LOG_UPC_ConnectServer(pClient))
            VXQ_F_LOG_UPC_DoLogQueueEvent(pClient, VXQ_LOG_UPC_LINE_WAIT_MS);
        else
            VXQ_F_SYS_Sleep(VXQ_LOG_UPC_IDLE_MS);
    }
}

extern "C" VXQ_HLOGUPCLIENT VXQ_F_LOG_UPC_StartLogUpServer(const char *in_sText1, const char *in_sText2,
                                                           const char *in_sServerIp, uint16_t in_usPort)
{
    VXQ_HLOGUPCLIENT pClient = VXQ_F_LOG_UPC_CreateClient(in_sText1, in_sText2, in_sServerIp, in_usPort);
    if (pClient == NULL)
        return NULL;
    pClient->hThread = VXQ_F_THREAD_CreateThread(VXQ_F_LOG_UPC_ThreadWork, pClient);
    if (pClient->hThread == NULL) {
        VXQ_F_LOG_UPC_StopLogUpServer(pClient);
        return NULL;
    }
    return pClient;
}

extern "C" void VXQ_F_LOG_UPC_StopLogUpServer(VXQ_HLOGUPCLIENT in_hClient)
{
    if (in_hClient == NULL)
        return;
    in_hClient->bThreadRun = 0;
    if (in_hClient->hThread != NULL)
        VXQ_F_THREAD_WaitExitThread(in_hClient->hThread, VXQ_LOG_UPC_QUIT_WAIT_MS);
    in_hClient->hThread = NULL;
    VXQ_F_LOG_UPC_DisconnectServer(in_hClient);
    VXQ_F_TOOLS_QUEUE_FreeQueue(&in_hClient->hLogQueue);
    if (in_hClient->pSendBuf != NULL)
        VXQ_F_TOOLS_QUEUE_FreeMemory(&in_hClient->pSendBuf);
    delete in_hClient;
}

extern "C" int VXQ_F_LOG_UPC_SendLogData(VXQ_HLOGUPCLIENT in_hClient, const char *in_pData, int32_t in_iLen)
{
    if (in_hClient == NULL || in_pData == NULL || in_iLen < 0)
        return 0;
    return VXQ_F_TOOLS_QUEUE_SetData(in_hClient->hLogQueue, in_pData, in_iLen, 0) == 1 ? 1 : 0;
}

/* The writer's line sink: one finished line into the client's queue. */
static int VXQ_F_LOG_UPC_PR_LineSink(void *in_pClient, const char *in_pLine, int in_iLen)
{
    return VXQ_F_LOG_UPC_SendLogData((VXQ_HLOGUPCLIENT)in_pClient, in_pLine, in_iLen);
}

/* Detaches and stops the writer's upload client, if any; s_tUpClientLock held. */
static void VXQ_F_LOG_UPC_PR_StopWriterClient(void)
{
    if (s_hUpClient == NULL)
        return;
    /* After the detach no writer hands a line to the client any more. */
    VXQ_F_LOG_SR_AttachUpClient(NULL, NULL);
    VXQ_F_LOG_UPC_StopLogUpServer(s_hUpClient);
    s_hUpClient = NULL;
}

extern "C" int VXQ_F_LOG_SR_StopLogUpClient(void)
{
    std::lock_guard<std::mutex> tGuard(s_tUpClientLock);
    VXQ_F_LOG_UPC_PR_StopWriterClient();
    return 1;
}

extern "C" int VXQ_F_LOG_SR_StartLogUpClient(const char *in_sText1, const char *in_sText2,
                                             const char *in_sServerIp, uint16_t in_usPort)
{
    std::lock_guard<std::mutex> tGuard(s_tUpClientLock);
    VXQ_F_LOG_UPC_PR_StopWriterClient();
    s_hUpClient = VXQ_F_LOG_UPC_StartLogUpServer(in_sText1, in_sText2, in_sServerIp, in_usPort);
    if (s_hUpClient == NULL)
        return 0;
    VXQ_F_LOG_SR_AttachUpClient(s_hUpClient, VXQ_F_LOG_UPC_PR_LineSink);
    return 1;
}
