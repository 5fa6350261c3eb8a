/* A deliberate breach of the order of layers, never linked into anything: the
 * test LayersCheckRefusesAnUpwardCallAndInclude hands this object and source to
 * tests/layers/check_layers.sh as if it were a module of kit/, the lowest
 * layer, and passes only when the check refuses both its include of a service
 * header and its call into the service. */
#include "vxq_dps.h"

int VXQ_F_KIT_PR_UpwardProbe(void)
{
    return VXQ_F_DPS_StopDevProNetServer(NULL);
}
