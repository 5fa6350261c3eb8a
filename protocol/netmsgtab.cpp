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
 */
#include "protocol/dispatch.h"
#include "protocol/head.h"
#include "protocol/session.h"

#define NEED_LOGIN VXQ_DPS_NETMSG_NEED_LOGIN
#define NO_ANSWER VXQ_DPS_NETMSG_NO_ANSWER

const _VXQ_S_DPS_NETMSG_ENTRY g_tDpsNetMsgTable[] = {
    /* link and session */
    {P0_HEARTBEAT, 0, 20, VXQ_F_DPS_MW_DoNetMsg_P0_HEARTBEAT},
    {P1_VER_CONSULT_GET_TOKEN, 0, 109, VXQ_F_DPS_MW_DoNetMsg_P1_VER_CONSULT_GET_TOKEN},
    {P1_LOGIN, 0, 548, VXQ_F_DPS_MW_DoNetMsg_P1_LOGIN},
    {P1_LOGOUT, 0, 20, VXQ_F_DPS_MW_DoNetMsg_P1_LOGOUT},
    {P1_CLAIM_CHANNEL, 0, 32, VXQ_F_DPS_MW_DoNetMsg_P1_CLAIM_CHANNEL},

    /* live view */
    {P2_REALPLAY_OPEN, 0, 28, VXQ_F_DPS_MW_DoNetMsg_P2_REALPLAY_OPEN},
    {P2_REALPLAY_CLOSE, 0, 28, VXQ_F_DPS_MW_DoNetMsg_P2_REALPLAY_CLOSE},
    {P2_PTZ, 0, 44, VXQ_F_DPS_MW_DoNetMsg_P2_PTZ},
    {P2_FORCE_I_FRAME, 0, 30, VXQ_F_DPS_MW_DoNetMsg_P2_FORCE_I_FRAME},
    {P2_EX_REALPLAY_OPEN, 0, 36, VXQ_F_DPS_MW_DoNetMsg_P2_EX_REALPLAY_OPEN},
    {P2_EX_REALPLAY_CLOSE, 0, 28, VXQ_F_DPS_MW_DoNetMsg_P2_EX_REALPLAY_CLOSE},
    {P2_CTRL_STREAM, 0, 36, VXQ_F_DPS_MW_DoNetMsg_P2_CTRL_STREAM},
    {P2_ONLY_I_FRAME, 0, 32, VXQ_F_DPS_MW_DoNetMsg_P2_ONLY_I_FRAME},
    {P2_GET_VIDEO_QUALITY_CAP, 0, 256, VXQ_F_DPS_MW_DoNetMsg_P2_GET_VIDEO_QUALITY_CAP},
    {P2_GET_VIDEO_QUALITY_LEVEL, 0, 32, VXQ_F_DPS_MW_DoNetMsg_P2_GET_VIDEO_QUALITY_LEVEL},
    {P2_SET_VIDEO_QUALITY_LEVEL, 0, 32, VXQ_F_DPS_MW_DoNetMsg_P2_SET_VIDEO_QUALITY_LEVEL},
    {P2_RM_REALPLAY_OPEN, 0, 20, VXQ_F_DPS_MW_DoNetMsg_P2_RM_REALPLAY_OPEN},
    {P2_RM_REALPLAY_CLOSE, 0, 20, VXQ_F_DPS_MW_DoNetMsg_P2_RM_REALPLAY_CLOSE},

    /* records (ops/record.cpp checks the login of the file operations itself) */
    {P3_QUERY_FILE, 0, 68, VXQ_F_DPS_MW_DoNetMsg_P3_QUERY_FILE},
    {P3_NSP_QUERY_FILE, 0, 88, VXQ_F_DPS_MW_DoNetMsg_P3_NSP_QUERY_FILE},
    {P3_DOWNLOAD_OPEN, 0, 384, VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_OPEN},
    {P3_DOWNLOAD_CLOSE, 0, 28, VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_CLOSE},
    {P3_DOWNLOAD_GET, 0, 64, VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_GET},
    {P3_DOWNLOAD_SEEK, 0, 32, VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_SEEK},
    {P3_DOWNLOAD_QVIDEO, 0, 36, VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_QVIDEO},
    {P3_DOWNLOAD_ONLY_IFRAME, 0, 40, VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_ONLY_IFRAME},
    {P3_DOWNLOAD_RECOVER_ALLFRAME, 0, 28, VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_RECOVER_ALLFRAME},
    {P3_DOWNLOAD_OPEN_BY_TIME, 0, 308, VXQ_F_DPS_MW_DoNetMsg_P3_DOWNLOAD_OPEN_BY_TIME},

    /* talk and alarms */
    {P4_TALK_START, 0, 28, VXQ_F_DPS_MW_DoNetMsg_P4_TALK_START},
    {P4_TALK_STOP, NEED_LOGIN, 28, VXQ_F_DPS_MW_DoNetMsg_P4_TALK_STOP},
    {P5_GUARD, 0, 24, VXQ_F_DPS_MW_DoNetMsg_P5_GUARD},
    {P5_UNGUARD, NEED_LOGIN, 24, VXQ_F_DPS_MW_DoNetMsg_P5_UNGUARD},

    /* configuration, network, users */
    {P9_MODIFY_USER_PWD, NEED_LOGIN, 116, VXQ_F_DPS_MW_DoNetMsg_P9_MODIFY_USER_PWD},
    {P9_GET_CONFIG, 0, 32, VXQ_F_DPS_MW_DoNetMsg_P9_GET_CONFIG},
    {P9_SET_CONFIG, 0, 32, VXQ_F_DPS_MW_DoNetMsg_P9_SET_CONFIG},
    {P9_GET_DEF_CONFIG, 0, 36, VXQ_F_DPS_MW_DoNetMsg_P9_GET_DEF_CONFIG},
    {P9_IEC_IMP_CONFIG, 0, 28, VXQ_F_DPS_MW_DoNetMsg_P9_IEC_IMP_CONFIG},
    {P9_IEC_EXP_CONFIG, 0, 28, VXQ_F_DPS_MW_DoNetMsg_P9_IEC_EXP_CONFIG},
    {P9_QUERY_NET_INFO, NEED_LOGIN, 24, VXQ_F_DPS_MW_DoNetMsg_P9_QUERY_NET_INFO},
    {P9_MODIFY_NET_ADDR, NEED_LOGIN, 110, VXQ_F_DPS_MW_DoNetMsg_P9_MODIFY_NET_ADDR},
    {P9_UNS_ADD_USER, NEED_LOGIN, 352, VXQ_F_DPS_MW_DoNetMsg_P9_UNS_ADD_USER},
    {P9_UNS_DEL_USER, NEED_LOGIN, 56, VXQ_F_DPS_MW_DoNetMsg_P9_UNS_DEL_USER},
    {P9_UNS_GET_USER_POP, NEED_LOGIN, 320, VXQ_F_DPS_MW_DoNetMsg_P9_UNS_GET_USER_POP},
    {P9_UNS_SET_USER_POP, NEED_LOGIN, 320, VXQ_F_DPS_MW_DoNetMsg_P9_UNS_SET_USER_POP},

    /* serial port */
    {P9_COM_OPEN, 0, 48, VXQ_F_DPS_MW_DoNetMsg_P9_COM_OPEN},
    {P9_COM_CLOSE, NEED_LOGIN, 32, VXQ_F_DPS_MW_DoNetMsg_P9_COM_CLOSE},
    {P9_COM_SEND_DATA, NEED_LOGIN, 36, VXQ_F_DPS_MW_DoNetMsg_P9_COM_SEND_DATA},
    {P9_COM_SUBS_DATA, 0, 20, VXQ_F_DPS_MW_DoNetMsg_P9_COM_SUBS_DATA},

    /* custom, maintenance, upgrade */
    {PA_CUSTOM, NEED_LOGIN, 28, VXQ_F_DPS_MW_DoNetMsg_PA_CUSTOM},
    {PB_RMY_QUERY_ABILITY, 0, 32, VXQ_F_DPS_MW_DoNetMsg_PB_RMY_QUERY_ABILITY},
    {PB_RMY_REBOOT, 0, 24, VXQ_F_DPS_MW_DoNetMsg_PB_RMY_REBOOT},
    {PB_RMY_STOP, 0, 24, VXQ_F_DPS_MW_DoNetMsg_PB_RMY_STOP},
    {PB_DUP_QUERY_DEV_VER_INFO, 0, 48, VXQ_F_DPS_MW_DoNetMsg_PB_DUP_QUERY_DEV_VER_INFO},
    {PB_DUP_REQU_UPGRADE, 0, 36, VXQ_F_DPS_MW_DoNetMsg_PB_DUP_REQU_UPGRADE},
    {PB_DUP_QUERY_PROGRESS, 0, 28, VXQ_F_DPS_MW_DoNetMsg_PB_DUP_QUERY_PROGRESS},
    {PB_DUP_QUERY_TRANS_POS, 0, 28, VXQ_F_DPS_MW_DoNetMsg_PB_DUP_QUERY_TRANS_POS},
    {PB_DUP_UPGRADE_DATA, 0, 28, VXQ_F_DPS_MW_DoNetMsg_PB_DUP_UPGRADE_DATA},

    /* media frames from a client: never answered */
    {PE_VIDEO_FRAME, NO_ANSWER, 20, VXQ_F_DPS_MW_DoNetMsg_PE_VIDEO_FRAME},
    {PE_AUDIO_FRAME, NO_ANSWER, 20, VXQ_F_DPS_MW_DoNetMsg_PE_AUDIO_FRAME},

    {0, 0, 0, nullptr},
};
