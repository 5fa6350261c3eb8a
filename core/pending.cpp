/* Stand-ins for operations whose modules have not landed (see core/pending.h).
 * Each does the least that keeps the core sound; delete an entry when its
 * owner lands the real function. */
#include "core/pending.h"

#include "core/channel.h"

#include <string.h>






int VXQ_F_DPS_MC_SentProEvent_EVENT_E2_FILE_CLOSE(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint32_t in_dwTransId,
                                                  uint32_t in_dwFileId)
{
    return VXQ_F_DPS_MC_SentProEventBody(inout_pMcSrvData, 0x0222, in_dwTransId, &in_dwFileId, 4);
}

