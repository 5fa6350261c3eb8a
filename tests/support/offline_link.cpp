/* offline_link.cpp - hand-made instance and connections, answers captured through the send seam. */
#include "support/offline_link.h"

#include "ops/functab.h"
#include "media/direct.h"
#include "protocol/dispatch.h"
#include "service/service.h"
#include "vxq_queue.h"

#include <stdlib.h>
#include <string.h>

static std::vector<_VXQ_S_OFFLINE_SENT> s_tSent;
static int s_bCapture = 0;

/* The send seam of the instances made here: while capturing, keeps a copy of
 * the message; else the real send. */
static int PR_Send(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *in_pConn,
                   uint8_t *inout_pMsg, int32_t in_iLength, int32_t in_iSendClass)
{
    if (!s_bCapture)
        return VXQ_F_DPS_MC_SentNetData(inout_pMcSrvData, in_pConn, inout_pMsg, in_iLength, in_iSendClass);
    s_tSent.push_back({in_pConn, std::vector<uint8_t>(inout_pMsg, inout_pMsg + in_iLength), in_iSendClass});
    return 1;
}

void VXQ_F_OFFLINE_InstallCapture(void)
{
    s_tSent.clear();
    s_bCapture = 1;
}

void VXQ_F_OFFLINE_RemoveCapture(void)
{
    s_bCapture = 0;
    s_tSent.clear();
}

std::vector<_VXQ_S_OFFLINE_SENT> &VXQ_F_OFFLINE_Sent(void) { return s_tSent; }

_VXQ_S_DPS_MCSRV_DATA *VXQ_F_OFFLINE_NewInstance(void)
{
    _VXQ_S_DPS_MCSRV_DATA *pMcSrvData = (_VXQ_S_DPS_MCSRV_DATA *)calloc(1, sizeof(_VXQ_S_DPS_MCSRV_DATA));
    _VXQ_S_DPS_DEV_CAP_INFO *pCap = &pMcSrvData->tDevCapInfo;
    strcpy(pCap->sDevIdText, "DEV12345678");
    strcpy(pCap->sDevText1, "ModelText");
    strcpy(pCap->sDevText2, "VendorText");
    pCap->iVideoChanNum = 4;
    pCap->iAudioChanNum = 2;
    pCap->iDevCapValue1 = 11;
    pCap->iDevCapValue2 = 22;
    pCap->iDevCapValue3 = 33;
    pCap->iDevCapValue4 = 44;
    pCap->iDevCapValue5 = 0x1FF;
    pMcSrvData->usUdpPort = 28460;
    VXQ_F_DPS_SVC_InstallFamilies(pMcSrvData);
    pMcSrvData->tHooks.fnNetSend = PR_Send;
    VXQ_F_DPS_MC_MediaTable_Start(pMcSrvData);
    return pMcSrvData;
}

size_t VXQ_F_OFFLINE_MsgLen(uint16_t in_usFuncId)
{
    for (int32_t i = 0; i < g_tDpsFuncTable.iLineNum; i++) {
        if (g_tDpsFuncTable.pLine[i].usMsgFuncId == in_usFuncId)
            return (size_t)g_tDpsFuncTable.pLine[i].iMinMsgLen;
    }
    return 0;
}

void VXQ_F_OFFLINE_FreeInstance(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData)
{
    VXQ_F_DPS_MC_MediaTable_Stop(in_pMcSrvData);
    free(in_pMcSrvData);
}

static void PR_FreeConn(_VXQ_S_DPS_NET_PORT_DATA *in_pConn)
{
    if (!in_pConn)
        return;
    free(in_pConn->pToken);
    free(in_pConn->pUserInfo);
    free(in_pConn->pRecvBuf);
    free(in_pConn->tMedia.pWaitRespBuf);
    free(in_pConn->tHold.pDelayRespBuf);
    free(in_pConn);
}

_VXQ_S_DPS_MCSRV_DATA *VXQ_F_OFFLINE_NewRig(void)
{
    _VXQ_S_DPS_MCSRV_DATA *p = VXQ_F_OFFLINE_NewInstance();
    p->iMediaDataBufSize = 10485760;
    p->iOnlySendIFrameTimeLen = 60;
    p->iMaxRealplayClientNum = 64;
    p->dwControlWorkKey = 0x5A5A0001u; /* as at start: control work (frames of the input call) runs */
    VXQ_F_TOOLS_QUEUE_InitQueue(&p->hOrderQueue, 1000);
    VXQ_F_TOOLS_QUEUE_InitQueue(&p->hCallbackQueue, 1000);
    return p;
}

void VXQ_F_OFFLINE_FreeRig(_VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData)
{
    if (in_pMcSrvData == nullptr)
        return;
    for (int i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++) {
        PR_FreeConn(in_pMcSrvData->pConn[i]);
        in_pMcSrvData->pConn[i] = nullptr;
    }
    VXQ_F_TOOLS_QUEUE_FreeQueue(&in_pMcSrvData->hOrderQueue);
    VXQ_F_TOOLS_QUEUE_FreeQueue(&in_pMcSrvData->hCallbackQueue);
    VXQ_F_TOOLS_QUEUE_FreeMemory(&in_pMcSrvData->pWorkBuf); /* taken by a test running the order loop */
    VXQ_F_OFFLINE_FreeInstance(in_pMcSrvData);
}

_VXQ_S_DPS_NET_PORT_DATA *VXQ_F_OFFLINE_AddConn(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iSlot,
                                                int32_t in_iConnType, uint32_t in_dwLoginId, int in_bUser,
                                                uint32_t in_dwPopMask, uint32_t in_dwChPopMask)
{
    _VXQ_S_DPS_NET_PORT_DATA *pConn = (_VXQ_S_DPS_NET_PORT_DATA *)calloc(1, sizeof(_VXQ_S_DPS_NET_PORT_DATA));
    pConn->dwPortId = (0x1234u << 16) | (uint32_t)in_iSlot;
    strcpy(pConn->szPeerIpaddr, "127.0.0.1");
    pConn->usPeerPort = 40000;
    pConn->dwConnId = (0x5A5Au << 16) | (uint32_t)in_iSlot;
    pConn->tMedia.bAudioPause = 1;
    pConn->iConnType = in_iConnType;
    pConn->dwLoginId = in_dwLoginId;
    if (in_bUser) {
        pConn->pUserInfo = (_VXQ_S_DPS_USER_INFO *)calloc(1, sizeof(_VXQ_S_DPS_USER_INFO));
        pConn->pUserInfo->dwPopMask = in_dwPopMask;
        for (int i = 0; i < 64; i++)
            pConn->pUserInfo->dwChPopMask[i] = in_dwChPopMask;
    }
    VXQ_F_DPS_MC_PutConnEntry(inout_pMcSrvData, in_iSlot, pConn);
    if (in_iSlot < VXQ_DPS_PORT_SLOT_NUM) {
        pConn->usPortSlot = (uint16_t)in_iSlot;
        inout_pMcSrvData->ucConnOfSlot[in_iSlot] = (uint8_t)(in_iSlot + 1);
    }
    return pConn;
}

_VXQ_S_DPS_NET_PORT_DATA *VXQ_F_OFFLINE_AddPeer(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iSlot,
                                                int32_t in_iConnType, uint32_t in_dwLoginId)
{
    return VXQ_F_OFFLINE_AddConn(inout_pMcSrvData, in_iSlot, in_iConnType, in_dwLoginId,
                                 in_iConnType == VXQ_DPS_CONN_COMMAND, 0xFF, 0xFF);
}

_VXQ_S_DPS_NET_PORT_DATA *VXQ_F_OFFLINE_AddViewer(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iSlot,
                                                  int32_t in_iChNo, int32_t in_iStreamNo)
{
    _VXQ_S_DPS_NET_PORT_DATA *pConn = VXQ_F_OFFLINE_AddPeer(inout_pMcSrvData, in_iSlot, VXQ_DPS_CONN_MEDIA, 0x77);
    pConn->iChNo = in_iChNo;
    pConn->iStreamNo = in_iStreamNo;
    pConn->tMedia.iStreamState = 2;
    pConn->tMedia.bAudioPause = 0;
    return pConn;
}

static std::vector<std::vector<uint8_t>> PR_Drain(VXQ_HQUEUE in_hQueue)
{
    std::vector<std::vector<uint8_t>> tAll;
    char *pBuf = nullptr;
    int32_t iBufSize = 0, iLen = 0;
    while (VXQ_F_TOOLS_QUEUE_GetDataEx(in_hQueue, &pBuf, &iLen, &iBufSize, 0) && iLen > 0)
        tAll.emplace_back((uint8_t *)pBuf, (uint8_t *)pBuf + iLen);
    VXQ_F_TOOLS_QUEUE_FreeMemory(&pBuf);
    return tAll;
}

std::vector<std::vector<uint8_t>> VXQ_F_OFFLINE_TakeEvents(_VXQ_S_DPS_MCSRV_DATA *p) { return PR_Drain(p->hCallbackQueue); }
std::vector<std::vector<uint8_t>> VXQ_F_OFFLINE_TakeOrders(_VXQ_S_DPS_MCSRV_DATA *p) { return PR_Drain(p->hOrderQueue); }
