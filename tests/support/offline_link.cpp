/* offline_link.cpp - hand-made instance and connections, answers captured through the send seam. */
#include "support/offline_link.h"

#include "ops/functab.h"
#include "media/direct.h"
#include "protocol/dispatch.h"
#include "service/service.h"

#include <stdlib.h>
#include <string.h>

static std::vector<_VXQ_S_OFFLINE_SENT> s_tSent;
static int s_iSendResult = 1;
static int s_bCapture = 0;

/* The send seam of the instances made here: while capturing, keeps a copy of
 * the message and returns the set result; else the real send. */
static int PR_Send(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *in_pConn,
                   uint8_t *inout_pMsg, int32_t in_iLength, int32_t in_iSendClass)
{
    if (!s_bCapture)
        return VXQ_F_DPS_MC_SentNetData(inout_pMcSrvData, in_pConn, inout_pMsg, in_iLength, in_iSendClass);
    _VXQ_S_OFFLINE_SENT tItem;
    tItem.pConn = in_pConn;
    tItem.tMsg.assign(inout_pMsg, inout_pMsg + in_iLength);
    tItem.iSendClass = in_iSendClass;
    s_tSent.push_back(tItem);
    return s_iSendResult;
}

void VXQ_F_OFFLINE_InstallCapture(int in_iSendResult)
{
    s_tSent.clear();
    s_iSendResult = in_iSendResult;
    s_bCapture = 1;
}

void VXQ_F_OFFLINE_RemoveCapture(void)
{
    s_bCapture = 0;
    s_tSent.clear();
}

void VXQ_F_OFFLINE_InstallHooks(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData)
{
    VXQ_F_DPS_SVC_InstallFamilies(inout_pMcSrvData);
    inout_pMcSrvData->tHooks.fnNetSend = PR_Send;
    VXQ_F_DPS_MC_MediaTable_Start(inout_pMcSrvData);
}

std::vector<_VXQ_S_OFFLINE_SENT> &VXQ_F_OFFLINE_Sent(void)
{
    return s_tSent;
}

_VXQ_S_DPS_MCSRV_DATA *VXQ_F_OFFLINE_NewInstance(void)
{
    _VXQ_S_DPS_MCSRV_DATA *pMcSrvData = (_VXQ_S_DPS_MCSRV_DATA *)calloc(1, sizeof(_VXQ_S_DPS_MCSRV_DATA));
    if (!pMcSrvData)
        return nullptr;
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
    VXQ_F_OFFLINE_InstallHooks(pMcSrvData);
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

_VXQ_S_DPS_NET_PORT_DATA *VXQ_F_OFFLINE_NewConn(uint32_t in_dwPortId)
{
    _VXQ_S_DPS_NET_PORT_DATA *pConn = (_VXQ_S_DPS_NET_PORT_DATA *)calloc(1, sizeof(_VXQ_S_DPS_NET_PORT_DATA));
    if (!pConn)
        return nullptr;
    pConn->dwPortId = in_dwPortId;
    strcpy(pConn->szPeerIpaddr, "127.0.0.1");
    pConn->usPeerPort = 40000;
    pConn->dwConnId = (0x5A5Au << 16) | (in_dwPortId & 0xFFFFu);
    pConn->tMedia.bAudioPause = 1;
    return pConn;
}

void VXQ_F_OFFLINE_PutConn(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, int32_t in_iIndex,
                           _VXQ_S_DPS_NET_PORT_DATA *in_pConn)
{
    uint32_t dwSlot = in_pConn->dwPortId & 0xFFFFu;
    in_pConn->dwConnId = (in_pConn->dwConnId & 0xFFFF0000u) | (uint32_t)in_iIndex;
    VXQ_F_DPS_MC_PutConnEntry(inout_pMcSrvData, in_iIndex, in_pConn);
    if (dwSlot < VXQ_DPS_PORT_SLOT_NUM) {
        in_pConn->usPortSlot = (uint16_t)dwSlot;
        inout_pMcSrvData->ucConnOfSlot[dwSlot] = (uint8_t)(in_iIndex + 1);
    }
}

void VXQ_F_OFFLINE_FreeConn(_VXQ_S_DPS_NET_PORT_DATA *in_pConn)
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
