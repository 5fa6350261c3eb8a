/* The byte-order translators with their big-endian code paths, which run on
 * any host when called directly: the message body translator (configuration
 * blocks inside P9 messages), the configuration block converter of every
 * configuration id, and the datagram translator. The first input byte picks
 * the direction (and the configuration id, with the next two); the rest is the
 * message, block or datagram. A conversion there and back must restore it. */
#include "mgmt/npd.h"
#include "wire/cfgblock.h"
#include "wire/head.h"
#include "vxq_log.h"

#include <string.h>

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *in_pData, size_t in_iSize)
{
    static int s_bQuiet = 0;
    if (!s_bQuiet) {
        VXQ_F_LOG_SR_SetIfShowLog(0);
        VXQ_F_LOG_SR_SetIfWriteLogToFile(0);
        s_bQuiet = 1;
    }
    if (in_iSize < 3)
        return 0;
    int bFromWire = in_pData[0] & 1;
    int32_t iConfigId = (int32_t)(in_pData[1] | (in_pData[2] << 8));
    std::vector<uint8_t> tOrig(in_pData + 3, in_pData + in_iSize);

    std::vector<uint8_t> tMsg = tOrig;
    if (VXQ_F_DPS_MW_PR_TransPacketBody(bFromWire, tMsg.data(), (uint32_t)tMsg.size()))
        VXQ_F_DPS_MW_PR_TransPacketBody(!bFromWire, tMsg.data(), (uint32_t)tMsg.size());
    tMsg = tOrig;
    VXQ_F_DPS_MW_TransSingleNetDataPacketLittleMode(bFromWire, tMsg.data(), (uint32_t)tMsg.size());

    std::vector<uint8_t> tBlock = tOrig;
    int iDirection = bFromWire ? VXQ_DPS_CFG_FROM_WIRE : VXQ_DPS_CFG_TO_WIRE;
    int iBack = bFromWire ? VXQ_DPS_CFG_TO_WIRE : VXQ_DPS_CFG_FROM_WIRE;
    if (VXQ_F_DPS_MW_PR_SwapConfigParam(iDirection, iConfigId, tBlock.data(), (int32_t)tBlock.size()))
        VXQ_F_DPS_MW_PR_SwapConfigParam(iBack, iConfigId, tBlock.data(), (int32_t)tBlock.size());
    tBlock = tOrig;
    VXQ_F_DPS_MW_TransConfigParamLittleMode(iDirection, iConfigId, tBlock.data(), (int32_t)tBlock.size());

    std::vector<uint8_t> tGram = tOrig;
    VXQ_F_DPS_MW_TransMnUdpPacketLittleMode(NULL, bFromWire ? VXQ_DPS_NPD_FROM_WIRE : VXQ_DPS_NPD_TO_WIRE,
                                            tGram.data(), (int32_t)tGram.size());
    return 0;
}
