/* The order dispatch table: one line per order id the host may post, with its
 * handler and the fixed body length below which an order is dropped. Each
 * family adds the lines of its answer handlers here. */
#include "core/channel.h"
#include "media/input.h"
#include "ops/live.h"
#include "ops/maint.h"
#include "ops/serial.h"
#include "vxq_dps.h"

const _VXQ_S_DPS_ORDER_ENTRY g_tDpsOrderTable[] = {
    /* Maintenance answers that need no action. */
    {0x0722, NULL, 0}, /* EVENT_E7_RMY_REBOOT */
    {0x0723, NULL, 0}, /* EVENT_E7_RMY_STOP */
    /* Serial port pass-through. */
    {EVENT_E3_COM_OPEN, VXQ_F_DPS_MW_DoOrder_EVENT_E3_COM_OPEN, 0},
    {EVENT_E3_COM_CLOSE, VXQ_F_DPS_MW_DoOrder_EVENT_E3_COM_CLOSE, (int32_t)sizeof(_VXQ_S_DPS_E3_COM_CLOSE)},
    {EVENT_E3_COM_SEND_DATA, VXQ_F_DPS_MW_DoOrder_EVENT_E3_COM_SEND_DATA, 0},
    {EVENT_E3_COM_SUBS_DATA, VXQ_F_DPS_MW_DoOrder_EVENT_E3_COM_SUBS_DATA, (int32_t)sizeof(_VXQ_S_DPS_E3_COM_SUBS_DATA)},
    /* Custom messages, maintenance and upgrade. */
    {EVENT_E7_CUSTOM, VXQ_F_DPS_MW_DoOrder_EVENT_E7_CUSTOM, 0},
    {EVENT_E7_RMY_QUERY_ABILITY, VXQ_F_DPS_MW_DoOrder_EVENT_E7_RMY_QUERY_ABILITY, 0},
    {EVENT_E7_DUP_QUERY_DEV_VER_INFO, VXQ_F_DPS_MW_DoOrder_EVENT_E7_DUP_QUERY_DEV_VER_INFO,
     (int32_t)sizeof(_VXQ_S_DPS_E7_DUP_QUERY_DEV_VER_INFO)},
    {EVENT_E7_DUP_REQU_UPGRADE, VXQ_F_DPS_MW_DoOrder_EVENT_E7_DUP_REQU_UPGRADE,
     (int32_t)sizeof(_VXQ_S_DPS_E7_DUP_REQU_UPGRADE)},
    {EVENT_E7_DUP_QUERY_PROGRESS, VXQ_F_DPS_MW_DoOrder_EVENT_E7_DUP_QUERY_PROGRESS,
     (int32_t)sizeof(_VXQ_S_DPS_E7_DUP_QUERY)},
    {EVENT_E7_DUP_QUERY_TRANS_POS, VXQ_F_DPS_MW_DoOrder_EVENT_E7_DUP_QUERY_TRANS_POS,
     (int32_t)sizeof(_VXQ_S_DPS_E7_DUP_QUERY)},
    {EVENT_E7_DUP_UPGRADE_DATA, VXQ_F_DPS_MW_DoOrder_EVENT_E7_DUP_UPGRADE_DATA, 0},
    /* Live view answers and media input (ops/live.cpp, media/input.cpp). */
    {EVENT_E2_OPEN_MEDIA_STREAM, VXQ_F_DPS_MW_DoOrder_EVENT_E2_OPEN_MEDIA_STREAM, 0},
    {EVENT_E2_CLOSE_MEDIA_STREAM, VXQ_F_DPS_MW_DoOrder_EVENT_E2_CLOSE_MEDIA_STREAM, 0},
    {EVENT_E2_PTZ_CTRL, VXQ_F_DPS_MW_DoOrder_EVENT_E2_PTZ_CTRL, 0},
    {EVENT_E2_FORCE_I_FRAME, VXQ_F_DPS_MW_DoOrder_EVENT_E2_FORCE_I_FRAME, 0},
    {EVENT_E2_MODIFY_CODEC, VXQ_F_DPS_MW_DoOrder_EVENT_E2_MODIFY_CODEC, 0},
    {EVENT_E2_GET_VIDEO_QUALITY_CAP, VXQ_F_DPS_MW_DoOrder_EVENT_E2_GET_VIDEO_QUALITY_CAP, 0},
    {EVENT_E2_GET_VIDEO_QUALITY_LEVEL, VXQ_F_DPS_MW_DoOrder_EVENT_E2_GET_VIDEO_QUALITY_LEVEL, 0},
    {EVENT_E2_SET_VIDEO_QUALITY_LEVEL, VXQ_F_DPS_MW_DoOrder_EVENT_E2_SET_VIDEO_QUALITY_LEVEL, 0},
    {MEDIA_E8_VIDEO_FRAME, VXQ_F_DPS_MW_DoOrder_MEDIA_E8_VIDEO_FRAME, 0},
    {MEDIA_E8_AUDIO_FRAME, VXQ_F_DPS_MW_DoOrder_MEDIA_E8_AUDIO_FRAME, 0},
    {MEDIA_E8_VIDEO_FRAME_EX, VXQ_F_DPS_MW_DoOrder_MEDIA_E8_VIDEO_FRAME_EX, 0},
    {MEDIA_E8_AUDIO_FRAME_EX, VXQ_F_DPS_MW_DoOrder_MEDIA_E8_AUDIO_FRAME_EX, 0},
    {0, NULL, 0},
};
