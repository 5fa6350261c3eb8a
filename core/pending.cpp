/* Stand-ins for operations whose modules have not landed (see core/pending.h).
 * Each does the least that keeps the core sound; delete an entry when its
 * owner lands the real function. */
#include "core/pending.h"

#include "core/channel.h"

#include <string.h>
