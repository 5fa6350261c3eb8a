/* The order dispatch table: one line per order id the host may post, with its
 * handler and the fixed body length below which an order is dropped. Each
 * family adds the lines of its answer handlers here. */
#include "core/channel.h"

const _VXQ_S_DPS_ORDER_ENTRY g_tDpsOrderTable[] = {
    /* Maintenance answers that need no action. */
    {0x0722, NULL, 0}, /* EVENT_E7_RMY_REBOOT */
    {0x0723, NULL, 0}, /* EVENT_E7_RMY_STOP */
    {0, NULL, 0},
};
