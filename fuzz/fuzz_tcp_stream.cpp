/* The byte streams of two client connections through framing, dispatch and the
 * order handling, with a host that answers every event at once with the
 * event's own body and a result of the input's choosing (the script of
 * VXQ_F_FUZZSRV_RunScript, fuzz_service.h). */
#include "fuzz_service.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *in_pData, size_t in_iSize)
{
    _VXQ_S_DPS_MCSRV_DATA *p = VXQ_F_FUZZSRV_Get();
    VXQ_F_FUZZSRV_RunScript(p, in_pData, in_iSize, VXQ_F_FUZZSRV_AnswerEvents);
    VXQ_F_FUZZSRV_Reset(p);
    return 0;
}
