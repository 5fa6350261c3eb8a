/* One UDP management datagram through the management dispatcher, as the
 * control thread receives it from the engine. */
#include "fuzz_service.h"

#include "core/control.h"
#include "vxq_netcom.h"

#include <string.h>

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *in_pData, size_t in_iSize)
{
    _VXQ_S_DPS_MCSRV_DATA *p = VXQ_F_FUZZSRV_Get();
    _VXQ_S_NETCOM_DATA_HEAD tHead;
    memset(&tHead, 0, sizeof(tHead));
    tHead.iEventType = 3;
    tHead.usNetType = 1;
    tHead.usLocalPort = p->usUdpPort;
    tHead.dwPortId = 0x00020001u;
    strcpy(tHead.szPeerIpaddr, "10.3.3.3");
    tHead.usPeerPort = 28461;
    tHead.iDataLen = (int32_t)in_iSize;
    std::vector<uint8_t> tRecord(sizeof(tHead) + in_iSize);
    memcpy(tRecord.data(), &tHead, sizeof(tHead));
    if (in_iSize > 0)
        memcpy(tRecord.data() + sizeof(tHead), in_pData, in_iSize);
    VXQ_F_DPS_MC_DoNetRecord(p, tRecord.data(), (int32_t)tRecord.size());
    /* Trace clients the datagram may have added get a log line. */
    VXQ_F_FUZZSRV_Advance(p, 200);
    VXQ_F_FUZZSRV_Reset(p);
    return 0;
}
