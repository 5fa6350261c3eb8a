/* Stand-in request dispatcher until the session and dispatch module lands
 * (that module replaces this whole file): every request is answered in place
 * with result 42, every other message is ignored. */
#include "core/conn.h"

#include "vxq_clock.h"
#include "vxq_log.h"

int VXQ_F_DPS_MW_DoSingleNetDataPacket(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                                       uint8_t *inout_pMsg, int32_t in_iLength)
{
    if (inout_pMcSrvData == NULL || inout_pConn == NULL || inout_pMsg == NULL ||
        in_iLength < (int32_t)VXQ_DPS_UMSP_HEAD_LEN)
        return 0;
    inout_pConn->tLastRecvTime = VXQ_F_CLOCK_NowSec();
    if (VXQ_F_DPS_MW_HeadPacketType(inout_pMsg) != VXQ_DPS_UMSP_PACKET_REQUEST)
        return 1;
    VXQ_F_DPS_MW_HeadMakeAnswer(inout_pMsg, 42);
    if (!VXQ_F_DPS_MC_SentNetData(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, 0)) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MW_DoSingleNetDataPacket VXQ_F_DPS_MC_SentNetData fail.", 2);
        return 0;
    }
    return 1;
}
