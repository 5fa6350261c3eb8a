/* The order dispatch table: one line per order id the host may post, with its
 * handler and the fixed body length below which an order is dropped. Each
 * family adds the lines of its answer handlers here. */
#include "core/channel.h"
#include "media/input.h"
#include "ops/config_users.h"
#include "ops/live.h"
#include "ops/maint.h"
#include "ops/record.h"
#include "ops/serial.h"
#include "ops/talk_alarm.h"
#include "vxq_dps.h"

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
    /* Voice talk, arming and alarms (ops/talk_alarm.cpp). */
    {0x0231, VXQ_F_DPS_MW_DoOrder_EVENT_E2_TALK_START, 20},     /* EVENT_E2_TALK_START */
    {0x0232, VXQ_F_DPS_MW_DoOrder_EVENT_E2_TALK_STOP, 4},       /* EVENT_E2_TALK_STOP */
    {0x0241, VXQ_F_DPS_MW_DoOrder_EVENT_E2_GUARD, 0},           /* EVENT_E2_GUARD */
    {0x0242, VXQ_F_DPS_MW_DoOrder_EVENT_E2_UNGUARD, 0},         /* EVENT_E2_UNGUARD */
    {0x0243, VXQ_F_DPS_MW_DoOrder_EVENT_E2_ALARM_INFO, 140},    /* EVENT_E2_ALARM_INFO */
    {0x0244, VXQ_F_DPS_MW_DoOrder_EVENT_E2_EX_ALARM_INFO, 168}, /* EVENT_E2_EX_ALARM_INFO */
    /* Configuration, network address and users (ops/config_users.cpp). A refusal
     * may come without a body: the handlers read only the body that came. */
    {0x0301, VXQ_F_DPS_MW_DoOrder_EVENT_E3_MODIFY_USER_PWD, 0},
    {0x0302, VXQ_F_DPS_MW_DoOrder_EVENT_E3_GET_CONFIG, 0},
    {0x0303, VXQ_F_DPS_MW_DoOrder_EVENT_E3_SET_CONFIG, 0},
    {0x0304, VXQ_F_DPS_MW_DoOrder_EVENT_E3_GET_DEF_CONFIG, 0},
    {0x0305, VXQ_F_DPS_MW_DoOrder_EVENT_E3_IEC_IMP_CONFIG, 0},
    {0x0306, VXQ_F_DPS_MW_DoOrder_EVENT_E3_IEC_EXP_CONFIG, 0},
    {0x0311, VXQ_F_DPS_MW_DoOrder_EVENT_E3_QUERY_NET_INFO, 0},
    {0x0312, VXQ_F_DPS_MW_DoOrder_EVENT_E3_MODIFY_NET_ADDR, 0},
    {0x0331, VXQ_F_DPS_MW_DoOrder_EVENT_E3_UNS_ADD_USER, 0},
    {0x0332, VXQ_F_DPS_MW_DoOrder_EVENT_E3_UNS_DEL_USER, 0},
    {0x0333, VXQ_F_DPS_MW_DoOrder_EVENT_E3_UNS_GET_USER_POP, 0},
    {0x0334, VXQ_F_DPS_MW_DoOrder_EVENT_E3_UNS_SET_USER_POP, 0},
    {0, NULL, 0},
};
