/* The order dispatch table: one line per order id the host may post, with its
 * handler and the fixed body length below which an order is dropped. Each
 * family adds the lines of its answer handlers here. */
#include "core/channel.h"
#include "ops/record.h"

const _VXQ_S_DPS_ORDER_ENTRY g_tDpsOrderTable[] = {
    /* Record search and download (ops/record.cpp). */
    {EVENT_E2_FILE_QUERY, VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_QUERY, 44},
    {EVENT_E2_NSP_FILE_QUERY, VXQ_F_DPS_MW_DoOrder_EVENT_E2_NSP_FILE_QUERY, 64},
    {EVENT_E2_FILE_OPEN, VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_OPEN, 360},
    {EVENT_E2_FILE_CLOSE, VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_CLOSE, 4},
    {EVENT_E2_FILE_READ, VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_READ, 40},
    {EVENT_E2_FILE_SEEK, VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_SEEK, 8},
    {EVENT_E2_FILE_QVIDEO, VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_QVIDEO, 12},
    {EVENT_E2_FILE_ONLY_IFRAME, VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_ONLY_IFRAME, 16},
    {EVENT_E2_FILE_RECOVER_ALLFRAME, VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_RECOVER_ALLFRAME, 4},
    {EVENT_E2_FILE_OPEN_BY_TIME, VXQ_F_DPS_MW_DoOrder_EVENT_E2_FILE_OPEN_BY_TIME, 284},
    /* Maintenance answers that need no action. */
    {0x0722, NULL, 0}, /* EVENT_E7_RMY_REBOOT */
    {0x0723, NULL, 0}, /* EVENT_E7_RMY_STOP */
    {0, NULL, 0},
};
