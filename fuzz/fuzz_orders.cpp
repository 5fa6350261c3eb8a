/* Host orders of every id through the order dispatcher, with a logged-in
 * command connection, a media connection and a parked transaction in place so
 * that answers find something to act on. The first input byte picks the
 * transaction id the order quotes (0: as given, else the parked one); the rest
 * is the order (16-byte head and body) as the host would post it. */
#include "fuzz_service.h"

#include "core/channel.h"
#include "core/conn.h"
#include "support/offline_stream.h"
#include "wire/head.h"

#include <string.h>

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *in_pData, size_t in_iSize)
{
    if (in_iSize < 1)
        return 0;
    _VXQ_S_DPS_MCSRV_DATA *p = VXQ_F_FUZZSRV_Get();
    VXQ_F_OFFLINE_StreamConnect(p, 0x00010001u, "10.2.2.2");
    _VXQ_S_DPS_NET_PORT_DATA *pConn = VXQ_F_DPS_MC_NetPortData_QueryByPortId(p, 0x00010001u);
    std::vector<uint8_t> tOrder(in_pData + 1, in_pData + in_iSize);
    if (pConn != NULL) {
        pConn->iConnType = 1;
        pConn->dwLoginId = 0x12340001u;
        std::vector<uint8_t> tReq(64, 0);
        VXQ_F_DPS_MW_PutLe32(tReq.data(), 0xFFFFEEEEu);
        VXQ_F_DPS_MW_PutLe32(tReq.data() + 4, (uint32_t)tReq.size());
        int32_t iFuncId = tOrder.size() >= 4 ? (int32_t)VXQ_F_DPS_MW_GetLe32(tOrder.data()) : 0;
        _VXQ_S_DPS_TRANS_DATA *pTrans = VXQ_F_DPS_MC_Trans_CreateTransDataOfLinkData(
            p, pConn->dwPortId, (uint16_t)iFuncId, tReq.data(), (int32_t)tReq.size());
        if (pTrans != NULL && in_pData[0] != 0 && tOrder.size() >= 12)
            VXQ_F_DPS_MW_PutLe32(tOrder.data() + 8, pTrans->dwTransId);
    }
    VXQ_F_OFFLINE_StreamConnect(p, 0x00010002u, "10.2.2.3");
    _VXQ_S_DPS_NET_PORT_DATA *pMedia = VXQ_F_DPS_MC_NetPortData_QueryByPortId(p, 0x00010002u);
    if (pMedia != NULL) {
        pMedia->iConnType = 2;
        pMedia->dwLoginId = 0x12340001u;
    }
    if (!tOrder.empty())
        VXQ_F_DPS_MW_DoOrderData(p, tOrder.data(), (int32_t)tOrder.size());
    VXQ_F_FUZZSRV_AnswerEvents(p, 0);
    VXQ_F_FUZZSRV_Reset(p);
    return 0;
}
