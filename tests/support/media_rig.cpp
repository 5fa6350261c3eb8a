/* media_rig.cpp - hand-made instance for media and live view tests. */
#include "support/media_rig.h"

#include "media/cache.h"
#include "media/direct.h"
#include "media/subch.h"
#include "ops/functab.h"
#include "support/offline_link.h"
#include "vxq_queue.h"

#include <stdlib.h>
#include <string.h>

_VXQ_S_DPS_MCSRV_DATA *VXQ_F_MEDIARIG_New(void)
{
    _VXQ_S_DPS_MCSRV_DATA *p = (_VXQ_S_DPS_MCSRV_DATA *)calloc(1, sizeof(_VXQ_S_DPS_MCSRV_DATA));
    if (p == NULL)
        return NULL;
    VXQ_F_OFFLINE_InstallHooks(p);
    p->iMediaDataBufSize = 10485760;
    p->iOnlySendIFrameTimeLen = 60;
    p->iMaxRealplayClientNum = 64;
    p->tDevCapInfo.iVideoChanNum = 4;
    p->dwControlWorkKey = 0x5A5A0001u; /* as at start: control work (frames of the input call) runs */
    VXQ_F_TOOLS_QUEUE_InitQueue(&p->hOrderQueue, 1000);
    VXQ_F_TOOLS_QUEUE_InitQueue(&p->hCallbackQueue, 1000);
    return p;
}

void VXQ_F_MEDIARIG_Free(_VXQ_S_DPS_MCSRV_DATA *in_pSrv)
{
    if (in_pSrv == NULL)
        return;
    for (int i = 0; i < VXQ_DPS_MAX_CONN_NUM; i++) {
        _VXQ_S_DPS_NET_PORT_DATA *c = in_pSrv->pConn[i];
        if (c == NULL)
            continue;
        free(c->pToken);
        free(c->pUserInfo);
        free(c->pRecvBuf);
        free(c->tMedia.pWaitRespBuf);
        free(c);
    }
    VXQ_F_DPS_MC_MediaTable_Stop(in_pSrv);
    VXQ_F_TOOLS_QUEUE_FreeQueue(&in_pSrv->hOrderQueue);
    VXQ_F_TOOLS_QUEUE_FreeQueue(&in_pSrv->hCallbackQueue);
    free(in_pSrv);
}

_VXQ_S_DPS_NET_PORT_DATA *VXQ_F_MEDIARIG_AddConn(_VXQ_S_DPS_MCSRV_DATA *inout_pSrv, int in_iSlot,
                                                 int32_t in_iConnType, uint32_t in_dwLoginId)
{
    _VXQ_S_DPS_NET_PORT_DATA *c = (_VXQ_S_DPS_NET_PORT_DATA *)calloc(1, sizeof(_VXQ_S_DPS_NET_PORT_DATA));
    c->dwPortId = 0x5A5A0000u | (uint32_t)in_iSlot;
    c->dwConnId = c->dwPortId;
    strcpy(c->szPeerIpaddr, "127.0.0.1");
    c->iConnType = in_iConnType;
    c->dwLoginId = in_dwLoginId;
    c->tMedia.bAudioPause = 1;
    if (in_iConnType == VXQ_DPS_CONN_COMMAND) {
        c->pUserInfo = (_VXQ_S_DPS_USER_INFO *)calloc(1, sizeof(_VXQ_S_DPS_USER_INFO));
        c->pUserInfo->dwPopMask = 0xFF;
        for (int i = 0; i < 64; i++)
            c->pUserInfo->dwChPopMask[i] = 0xFF;
    }
    VXQ_F_OFFLINE_PutConn(inout_pSrv, in_iSlot, c);
    return c;
}

_VXQ_S_DPS_NET_PORT_DATA *VXQ_F_MEDIARIG_AddViewer(_VXQ_S_DPS_MCSRV_DATA *inout_pSrv, int in_iSlot,
                                                   int32_t in_iChNo, int32_t in_iStreamNo)
{
    _VXQ_S_DPS_NET_PORT_DATA *c = VXQ_F_MEDIARIG_AddConn(inout_pSrv, in_iSlot, VXQ_DPS_CONN_MEDIA, 0x77);
    c->iChNo = in_iChNo;
    c->iStreamNo = in_iStreamNo;
    c->tMedia.iStreamState = 2;
    c->tMedia.bAudioPause = 0;
    return c;
}

static std::vector<std::vector<uint8_t>> PR_Drain(VXQ_HQUEUE in_hQueue)
{
    std::vector<std::vector<uint8_t>> t;
    std::vector<uint8_t> tBuf(1 << 20);
    for (;;) {
        int32_t iLen = (int32_t)tBuf.size();
        if (!VXQ_F_TOOLS_QUEUE_GetData(in_hQueue, tBuf.data(), &iLen, 0))
            break;
        t.emplace_back(tBuf.begin(), tBuf.begin() + iLen);
    }
    return t;
}

std::vector<std::vector<uint8_t>> VXQ_F_MEDIARIG_TakeEvents(_VXQ_S_DPS_MCSRV_DATA *inout_pSrv)
{
    return PR_Drain(inout_pSrv->hCallbackQueue);
}

std::vector<std::vector<uint8_t>> VXQ_F_MEDIARIG_TakeOrders(_VXQ_S_DPS_MCSRV_DATA *inout_pSrv)
{
    return PR_Drain(inout_pSrv->hOrderQueue);
}
