/*
 * netmsgtab.cpp - the request table: every client function id, its handler and its rules.
 *
 * A family that builds its handlers replaces nullptr in its lines with the
 * handler's name (declared in protocol/dispatch.h). iMinMsgLen is the whole
 * message (20-byte head included) that the fixed part of the body layout needs:
 * the dispatcher answers shorter requests with result 2 before the handler runs;
 * a handler still checks the variable part (data counts) itself.
 * NEED_LOGIN marks requests that change the device or read private data: they
 * are refused with result 6 on a connection that has not logged in.
 * RIGHT(bit, operation) marks requests that change the device or reveal its
 * administration: the user behind the connection needs that bit on its global
 * rights word (0x80, writing configuration, is the administrator's bit), else
 * result 5 and no event. Rights that depend on a channel or on the login id a
 * body quotes stay with their handlers: live view 0x01 and PTZ 0x02 per
 * channel, talk 0x04, record search 0x08 and download 0x10, arming 0x20, and
 * reading and writing configuration 0x40 / 0x80 (get, default, export / set,
 * import) on the user of the quoted login id.
 */
#include "protocol/dispatch.h"
#include "protocol/session.h"
#include "wire/head.h"

#define NEED_LOGIN VXQ_DPS_NETMSG_NEED_LOGIN
#define NO_ANSWER VXQ_DPS_NETMSG_NO_ANSWER
#define NO_RIGHT 0u, nullptr
#define RIGHT(bit, oper) VXQ_DPS_POP_##bit, oper

const _VXQ_S_DPS_NETMSG_ENTRY g_tDpsNetMsgTable[] = {
    /* link and session */
    {P0_HEARTBEAT, 0, 20, VXQ_F_DPS_MW_DoNetMsg_P0_HEARTBEAT, NO_RIGHT},
    {P1_VER_CONSULT_GET_TOKEN, 0, 109, VXQ_F_DPS_MW_DoNetMsg_P1_VER_CONSULT_GET_TOKEN, NO_RIGHT},
    {P1_LOGIN, 0, 548, VXQ_F_DPS_MW_DoNetMsg_P1_LOGIN, NO_RIGHT},
    {P1_LOGOUT, 0, 20, VXQ_F_DPS_MW_DoNetMsg_P1_LOGOUT, NO_RIGHT},
    {P1_CLAIM_CHANNEL, 0, 32, VXQ_F_DPS_MW_DoNetMsg_P1_CLAIM_CHANNEL, NO_RIGHT},

    /* live view */
    {P2_REALPLAY_OPEN, 0, 28, VXQ_F_DPS_MW_DoNetMsg_P2_REALPLAY_OPEN, NO_RIGHT},
    {P2_REALPLAY_CLOSE, 0, 28, VXQ_F_DPS_MW_DoNetMsg_P2_REALPLAY_CLOSE, NO_RIGHT},
    {P2_PTZ, 0, 44, VXQ_F_DPS_MW_DoNetMsg_P2_PTZ, NO_RIGHT},
    {P2_FORCE_I_FRAME, 0, 30, VXQ_F_DPS_MW_DoNetMsg_P2_FORCE_I_FRAME, NO_RIGHT},
    {P2_EX_REALPLAY_OPEN, 0, 36, VXQ_F_DPS_MW_DoNetMsg_P2_EX_REALPLAY_OPEN, NO_RIGHT},
    {P2_EX_REALPLAY_CLOSE, 0, 28, VXQ_F_DPS_MW_DoNetMsg_P2_EX_REALPLAY_CLOSE, NO_RIGHT},
    {P2_CTRL_STREAM, 0, 36, VXQ_F_DPS_MW_DoNetMsg_P2_CTRL_STREAM, NO_RIGHT},
    {P2_ONLY_I_FRAME, 0, 32, VXQ_F_DPS_MW_DoNetMsg_P2_ONLY_I_FRAME, NO_RIGHT},
    {P2_GET_VIDEO_QUALITY_CAP, 0, 256, VXQ_F_DPS_MW_DoNetMsg_P2_GET_VIDEO_QUALITY_CAP, NO_RIGHT},
    {P2_GET_VIDEO_QUALITY_LEVEL, 0, 32, VXQ_F_DPS_MW_DoNetMsg_P2_GET_VIDEO_QUALITY_LEVEL, NO_RIGHT},
    {P2_SET_VIDEO_QUALITY_LEVEL, 0, 32, VXQ_F_DPS_MW_DoNetMsg_P2_SET_VIDEO_QUALITY_LEVEL,
     RIGHT(WRITE_CONFIG, "Set video quality level")},
    {P2_RM_REALPLAY_OPEN, 0, 20, VXQ_F_DPS_MW_DoNetMsg_P2_RM_REALPLAY_OPEN, NO_RIGHT},
    {P2_RM_REALPLAY_CLOSE, 0, 20, VXQ_F_DPS_MW_DoNetMsg_P2_RM_REALPLAY_CLOSE, NO_RIGHT},

    /* records (ops/record.cpp checks the login of the file operations itself) */
    {P3_QUERY_FILE, 0, 68, VXQ_F_DPS_MW_DoNetMsg_P3_QUERY_FILE, NO_RIGHT},
    {P3_NSP_QUERY_FILE, 0, 88, VXQ_F_DPS_MW_DoNetMsg_P3_NSP_QUERY_FILE, NO_RIGHT},
    {P3_DOWNLOAD_OPEN, 0, 384, VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_OPEN, NO_RIGHT},
    {P3_DOWNLOAD_CLOSE, 0, 28, VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_CLOSE, NO_RIGHT},
    {P3_DOWNLOAD_GET, 0, 64, VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_GET, NO_RIGHT},
    {P3_DOWNLOAD_SEEK, 0, 32, VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_SEEK, NO_RIGHT},
    {P3_DOWNLOAD_QVIDEO, 0, 36, VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_QVIDEO, NO_RIGHT},
    {P3_DOWNLOAD_ONLY_IFRAME, 0, 40, VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_ONLY_IFRAME, NO_RIGHT},
    {P3_DOWNLOAD_RECOVER_ALLFRAME, 0, 28, VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_RECOVER_ALLFRAME, NO_RIGHT},
    {P3_DOWNLOAD_OPEN_BY_TIME, 0, 308, VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_OPEN_BY_TIME, NO_RIGHT},

    /* talk and alarms */
    {P4_TALK_START, 0, 28, VXQ_F_DPS_MW_DoNetMsg_P4_TALK_START, NO_RIGHT},
    {P4_TALK_STOP, NEED_LOGIN, 28, VXQ_F_DPS_MW_DoNetMsg_P4_TALK_STOP, NO_RIGHT},
    {P5_GUARD, 0, 24, VXQ_F_DPS_MW_DoNetMsg_P5_GUARD, NO_RIGHT},
    {P5_UNGUARD, NEED_LOGIN, 24, VXQ_F_DPS_MW_DoNetMsg_P5_UNGUARD, RIGHT(ARMING, "Cancel alarm")},

    /* configuration, network, users */
    {P9_MODIFY_USER_PWD, NEED_LOGIN, 116, VXQ_F_DPS_MW_DoNetMsg_P9_MODIFY_USER_PWD, NO_RIGHT},
    {P9_GET_CONFIG, 0, 32, VXQ_F_DPS_MW_DoNetMsg_P9_GET_CONFIG, NO_RIGHT},
    {P9_SET_CONFIG, 0, 32, VXQ_F_DPS_MW_DoNetMsg_P9_SET_CONFIG, NO_RIGHT},
    {P9_GET_DEF_CONFIG, 0, 36, VXQ_F_DPS_MW_DoNetMsg_P9_GET_DEF_CONFIG, NO_RIGHT},
    {P9_IEC_IMP_CONFIG, 0, 28, VXQ_F_DPS_MW_DoNetMsg_P9_IEC_IMP_CONFIG, NO_RIGHT},
    {P9_IEC_EXP_CONFIG, 0, 28, VXQ_F_DPS_MW_DoNetMsg_P9_IEC_EXP_CONFIG, NO_RIGHT},
    {P9_QUERY_NET_INFO, NEED_LOGIN, 24, VXQ_F_DPS_MW_DoNetMsg_P9_QUERY_NET_INFO,
     RIGHT(READ_CONFIG, "Query the network information")},
    {P9_MODIFY_NET_ADDR, NEED_LOGIN, 110, VXQ_F_DPS_MW_DoNetMsg_P9_MODIFY_NET_ADDR,
     RIGHT(WRITE_CONFIG, "Modify the network address")},
    {P9_UNS_ADD_USER, NEED_LOGIN, 352, VXQ_F_DPS_MW_DoNetMsg_P9_UNS_ADD_USER,
     RIGHT(WRITE_CONFIG, "Add user")},
    {P9_UNS_DEL_USER, NEED_LOGIN, 56, VXQ_F_DPS_MW_DoNetMsg_P9_UNS_DEL_USER,
     RIGHT(WRITE_CONFIG, "Delete user")},
    {P9_UNS_GET_USER_POP, NEED_LOGIN, 320, VXQ_F_DPS_MW_DoNetMsg_P9_UNS_GET_USER_POP,
     RIGHT(READ_CONFIG, "Get user pop")},
    {P9_UNS_SET_USER_POP, NEED_LOGIN, 320, VXQ_F_DPS_MW_DoNetMsg_P9_UNS_SET_USER_POP,
     RIGHT(WRITE_CONFIG, "Set user pop")},

    /* serial port */
    {P9_COM_OPEN, 0, 48, VXQ_F_DPS_MW_DoNetMsg_P9_COM_OPEN, RIGHT(WRITE_CONFIG, "Open com")},
    {P9_COM_CLOSE, NEED_LOGIN, 32, VXQ_F_DPS_MW_DoNetMsg_P9_COM_CLOSE, RIGHT(WRITE_CONFIG, "Close com")},
    {P9_COM_SEND_DATA, NEED_LOGIN, 36, VXQ_F_DPS_MW_DoNetMsg_P9_COM_SEND_DATA,
     RIGHT(WRITE_CONFIG, "Send com data")},
    {P9_COM_SUBS_DATA, 0, 20, VXQ_F_DPS_MW_DoNetMsg_P9_COM_SUBS_DATA, NO_RIGHT},

    /* custom, maintenance, upgrade */
    {PA_CUSTOM, NEED_LOGIN, 28, VXQ_F_DPS_MW_DoNetMsg_PA_CUSTOM, NO_RIGHT},
    {PB_RMY_QUERY_ABILITY, 0, 32, VXQ_F_DPS_MW_DoNetMsg_PB_RMY_QUERY_ABILITY, NO_RIGHT},
    {PB_RMY_REBOOT, 0, 24, VXQ_F_DPS_MW_DoNetMsg_PB_RMY_REBOOT, RIGHT(WRITE_CONFIG, "Reboot device")},
    {PB_RMY_STOP, 0, 24, VXQ_F_DPS_MW_DoNetMsg_PB_RMY_STOP, RIGHT(WRITE_CONFIG, "Stop device")},
    {PB_DUP_QUERY_DEV_VER_INFO, 0, 48, VXQ_F_DPS_MW_DoNetMsg_PB_DUP_QUERY_DEV_VER_INFO, NO_RIGHT},
    {PB_DUP_REQU_UPGRADE, 0, 36, VXQ_F_DPS_MW_DoNetMsg_PB_DUP_REQU_UPGRADE,
     RIGHT(WRITE_CONFIG, "Request upgrade")},
    {PB_DUP_QUERY_PROGRESS, 0, 28, VXQ_F_DPS_MW_DoNetMsg_PB_DUP_QUERY_PROGRESS,
     RIGHT(WRITE_CONFIG, "Query upgrade progress")},
    {PB_DUP_QUERY_TRANS_POS, 0, 28, VXQ_F_DPS_MW_DoNetMsg_PB_DUP_QUERY_TRANS_POS,
     RIGHT(WRITE_CONFIG, "Query upgrade position")},
    {PB_DUP_UPGRADE_DATA, 0, 28, VXQ_F_DPS_MW_DoNetMsg_PB_DUP_UPGRADE_DATA,
     RIGHT(WRITE_CONFIG, "Upgrade data")},

    /* media frames from a client: never answered */
    {PE_VIDEO_FRAME, NO_ANSWER, 20, VXQ_F_DPS_MW_DoNetMsg_PE_VIDEO_FRAME, NO_RIGHT},
    {PE_AUDIO_FRAME, NO_ANSWER, 20, VXQ_F_DPS_MW_DoNetMsg_PE_AUDIO_FRAME, NO_RIGHT},

    {0, 0, 0, nullptr, NO_RIGHT},
};
