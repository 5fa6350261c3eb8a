/* Stand-ins for operations whose modules have not landed (see core/pending.h).
 * Each does the least that keeps the core sound; delete an entry when its
 * owner lands the real function. */
#include "core/pending.h"

#include "core/channel.h"

#include <string.h>






int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_TALK_STOP(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwTransId,
                                                 int32_t in_iTalkChNo)
{
    uint8_t ucBody[4];
    memcpy(ucBody, &in_iTalkChNo, 4);
    return VXQ_F_DPS_MC_SentProEventBody(inout_pMcSrvData, 0x0232, in_dwTransId, ucBody, 4);
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_CLOSE(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwTransId,
                                                  uint32_t in_dwFileId)
{
    return VXQ_F_DPS_MC_SentProEventBody(inout_pMcSrvData, 0x0222, in_dwTransId, &in_dwFileId, 4);
}

int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_UNGUARD(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwTransId)
{
    return VXQ_F_DPS_MC_SentProEventBody(inout_pMcSrvData, 0x0242, in_dwTransId, NULL, 0);
}

int VXQ_F_DPS_MC_CloseTalk(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_TALK_CH_DATA *inout_pTalk)
{
    _VXQ_S_DPS_NET_PORT_DATA *pConn;
    if (inout_pMcSrvData == NULL || inout_pTalk == NULL)
        return 0;
    pConn = VXQ_F_DPS_MC_NetPortData_QueryByPortId(inout_pMcSrvData, inout_pTalk->dwTalkPortId);
    if (pConn != NULL)
        VXQ_F_DPS_MC_NetPortData_Delete(inout_pMcSrvData, pConn);
    memset(inout_pTalk, 0, sizeof(*inout_pTalk));
    return 1;
}
