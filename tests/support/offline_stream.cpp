/* offline_stream.cpp - engine event records handed to the control thread's dispatch by hand. */
#include "support/offline_stream.h"

#include "core/control.h"
#include "vxq_netcom.h"

#include <string.h>

/* A record: the 64-byte head, then the data. */
static void PR_Dispatch(_VXQ_S_DPS_MCSRV_DATA *p, int32_t in_iEventType, uint32_t in_dwPortId,
                        const char *in_sPeer, const uint8_t *in_pData, size_t in_iLen)
{
    _VXQ_S_NETCOM_DATA_HEAD tHead;
    memset(&tHead, 0, sizeof(tHead));
    tHead.iEventType = in_iEventType;
    tHead.dwPortId = in_dwPortId;
    strncpy(tHead.szPeerIpaddr, in_sPeer, sizeof(tHead.szPeerIpaddr) - 1);
    tHead.usPeerPort = 40000;
    tHead.iDataLen = (int32_t)in_iLen;
    std::vector<uint8_t> tRecord(sizeof(tHead) + in_iLen);
    memcpy(tRecord.data(), &tHead, sizeof(tHead));
    if (in_iLen > 0)
        memcpy(tRecord.data() + sizeof(tHead), in_pData, in_iLen);
    VXQ_F_DPS_MC_DoNetRecord(p, tRecord.data(), (int32_t)tRecord.size());
}

void VXQ_F_OFFLINE_StreamConnect(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwPortId, const char *in_sPeer)
{
    PR_Dispatch(inout_pMcSrvData, 1, in_dwPortId, in_sPeer, nullptr, 0);
}

void VXQ_F_OFFLINE_StreamData(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwPortId,
                              const std::vector<uint8_t> &in_tBytes)
{
    PR_Dispatch(inout_pMcSrvData, 3, in_dwPortId, "", in_tBytes.data(), in_tBytes.size());
}

void VXQ_F_OFFLINE_StreamDisconnect(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwPortId)
{
    PR_Dispatch(inout_pMcSrvData, 2, in_dwPortId, "", nullptr, 0);
}
