/*
 * functab.cpp - every function id the service knows, one line each.
 *
 * Read a line left to right: the request (id, dispatcher rules, least length,
 * global right, the operation as log lines name it, and its handler, or none
 * when the relay at the end of the line runs it), then the event it raises and
 * the order that answers (id, least body, handler), then the relay: its
 * request rules and event body, and the layout of its answer. Lines ascend by
 * function id; the host orders that answer no message come last.
 */
#include "ops/functab.h"

#include "media/input.h"
#include "ops/config_users.h"
#include "ops/live.h"
#include "ops/maint.h"
#include "ops/record.h"
#include "ops/relay.h"
#include "ops/serial.h"
#include "ops/talk_alarm.h"
#include "protocol/session.h"
#include "vxq_dps.h"

/* clang-format off */
#define LOGIN VXQ_DPS_FUNC_NEED_LOGIN
#define SILENT VXQ_DPS_FUNC_NO_ANSWER
#define POP(bit) VXQ_DPS_POP_##bit
/* The request: id, dispatcher rules, least length, global right, operation, handler. */
#define REQ(id, flags, len, pop, oper, fn) id, flags, len, #id, "VXQ_F_DPS_MW_DoNetMsg_" #id, pop, oper, fn
/* A notice only the device sends: a request of its id is unknown. */
#define NOTICE(id) id, VXQ_DPS_FUNC_NOTICE, 0, #id, nullptr, 0, nullptr, nullptr
/* The event raised and the order answering it: id, least body, handler. */
#define ORD(ev, body, fn) ev, #ev, "VXQ_F_DPS_MW_DoOrder_" #ev, body, fn
#define NO_ORD 0, nullptr, nullptr, 0, nullptr
/* A host order that answers no message. */
#define ORDER_ONLY(ev, body, fn) {0, 0, 0, #ev, nullptr, 0, nullptr, nullptr, ORD(ev, body, fn), {}}
#define H(id) VXQ_F_DPS_MW_DoNetMsg_##id
#define O(ev) VXQ_F_DPS_MW_DoOrder_##ev
#define B(name) VXQ_F_DPS_MW_Body##name
#define RELAYED nullptr
#define CODE {}

/* The relay of a line: its request rules, the words of its failure, the
 * channel and the right checked on the user of body 0's login id, an extra
 * check, the event body and the message offset from which the rest of the
 * message follows the body. Then the answer: layout, rules, the parked bytes it
 * needs, the layout's offsets or values, and the operation in its result line. */
#define RELAY(rules, fail, ch, pop, check, body, tail) rules, VXQ_DPS_FAIL_##fail, ch, pop, check, body, tail
#define RESULT(flags, oper) VXQ_DPS_ANSWER_RESULT, flags, 0, 0, 0, {}, oper, nullptr, nullptr
#define DATA(flags, len, lenOff, dataOff, oper)                                                              \
    VXQ_DPS_ANSWER_DATA, flags, len, lenOff, dataOff, {}, oper, nullptr, nullptr
#define PUT(flags, len, put1, put2, oper)                                                                    \
    VXQ_DPS_ANSWER_PUT, flags, len, 0, 0, {put1, put2}, oper, nullptr, nullptr
#define DATA_NEED(flags, len, lenOff, dataOff, oper, lenName)                                                \
    VXQ_DPS_ANSWER_DATA, (flags) | NEED_DATA, len, lenOff, dataOff, {}, oper, lenName, nullptr
#define RESULT_DBG(flags, oper, dbg) VXQ_DPS_ANSWER_RESULT, flags, 0, 0, 0, {}, oper, nullptr, dbg
#define PUT_DBG(flags, len, put1, put2, oper, dbg)                                                           \
    VXQ_DPS_ANSWER_PUT, flags, len, 0, 0, {put1, put2}, oper, nullptr, dbg
#define ANS_CODE(flags, len, oper) VXQ_DPS_ANSWER_NONE, flags, len, 0, 0, {}, oper, nullptr, nullptr
/* PUT values: count values of size bytes from order body offset to message offset; Z writes zeros. */
#define V(orderOff, msgOff, size, count) {orderOff, msgOff, size, count}
#define Z(msgOff) {-1, msgOff, 4, 1}
#define NO_V {0, 0, 0, 0}
#define NO_ANSWER ANS_CODE(0, 0, nullptr)

#define EXACT VXQ_DPS_RELAY_EXACT_LEN
#define CONN_LOGIN VXQ_DPS_RELAY_CONN_LOGIN
#define CMD VXQ_DPS_RELAY_CMD
#define CMD_SAME VXQ_DPS_RELAY_CMD_SAME
#define BODY_LOGIN VXQ_DPS_RELAY_BODY_LOGIN
#define QUIET_LOGIN VXQ_DPS_RELAY_QUIET_LOGIN
#define ALL_CH VXQ_DPS_RELAY_ALL_CH
#define FILE_OP VXQ_DPS_RELAY_FILE
#define AT_ONCE VXQ_DPS_RELAY_NOTICE
#define AT_ONCE_OK (VXQ_DPS_RELAY_NOTICE | VXQ_DPS_RELAY_NOTICE_OK)
#define NO_RECEIPT VXQ_DPS_RELAY_NO_RECEIPT
#define LATE_RECEIPT VXQ_DPS_RELAY_LATE_RECEIPT
#define HEAD VXQ_DPS_ANS_HEAD
#define QUIET VXQ_DPS_ANS_QUIET
#define REC VXQ_DPS_ANS_REC_TEXT
#define CHECK_ID VXQ_DPS_ANS_CHECK_ID
#define CUT VXQ_DPS_ANS_CUT
#define NEED_DATA VXQ_DPS_ANS_NEED_DATA
#define LOG_FAIL VXQ_DPS_ANS_LOG_FAIL
/* clang-format on */

static const _VXQ_S_DPS_FUNC_LINE s_tLines[] = {
    /* link and session (protocol/session.cpp) */
    {REQ(P0_HEARTBEAT, 0, 20, 0, nullptr, H(P0_HEARTBEAT)), NO_ORD, CODE},
    {REQ(P1_VER_CONSULT_GET_TOKEN, 0, 109, 0, nullptr, H(P1_VER_CONSULT_GET_TOKEN)), NO_ORD, CODE},
    {REQ(P1_LOGIN, 0, 548, 0, nullptr, H(P1_LOGIN)), NO_ORD, CODE},
    {REQ(P1_LOGOUT, 0, 20, 0, nullptr, H(P1_LOGOUT)), NO_ORD, CODE},
    {REQ(P1_CLAIM_CHANNEL, 0, 32, 0, nullptr, H(P1_CLAIM_CHANNEL)), NO_ORD, CODE},

    /* live view (ops/live.cpp) */
    {REQ(P2_REALPLAY_OPEN, 0, 28, 0, nullptr, H(P2_REALPLAY_OPEN)),
     ORD(EVENT_E2_OPEN_MEDIA_STREAM, 0, O(EVENT_E2_OPEN_MEDIA_STREAM)), CODE},
    {REQ(P2_REALPLAY_CLOSE, 0, 28, 0, nullptr, H(P2_REALPLAY_CLOSE)),
     ORD(EVENT_E2_CLOSE_MEDIA_STREAM, 0, O(EVENT_E2_CLOSE_MEDIA_STREAM)), CODE},
    {REQ(P2_PTZ, 0, 44, 0, "PTZ control", RELAYED),
     ORD(EVENT_E2_PTZ_CTRL, 0, RELAYED),
     {RELAY(BODY_LOGIN, SHOW, 24, POP(PTZ), nullptr, B(Ptz), 0), RESULT(QUIET, "Ptz Control")}},
    {REQ(P2_FORCE_I_FRAME, 0, 30, 0, "Force i frame", RELAYED),
     ORD(EVENT_E2_FORCE_I_FRAME, 0, nullptr),
     {RELAY(AT_ONCE, NONE, 0, 0, nullptr, B(ForceIFrame), 0), NO_ANSWER}},
    {REQ(P2_EX_REALPLAY_OPEN, 0, 36, 0, nullptr, H(P2_EX_REALPLAY_OPEN)), NO_ORD, CODE},
    {REQ(P2_EX_REALPLAY_CLOSE, 0, 28, 0, nullptr, H(P2_EX_REALPLAY_CLOSE)), NO_ORD, CODE},
    {REQ(P2_CTRL_STREAM, 0, 36, 0, nullptr, H(P2_CTRL_STREAM)), NO_ORD, CODE},
    {REQ(P2_ONLY_I_FRAME, 0, 32, 0, nullptr, H(P2_ONLY_I_FRAME)), NO_ORD, CODE},
    {REQ(P2_GET_VIDEO_QUALITY_CAP, 0, 256, 0, "Get video quality cap", RELAYED),
     ORD(EVENT_E2_GET_VIDEO_QUALITY_CAP, 0, O(EVENT_E2_GET_VIDEO_QUALITY_CAP)),
     {RELAY(CMD_SAME, BUILDER, 0, 0, nullptr, B(Quality), 0), ANS_CODE(0, 0, "Get video quality cap")}},
    {REQ(P2_GET_VIDEO_QUALITY_LEVEL, 0, 32, 0, "Get video quality level", RELAYED),
     ORD(EVENT_E2_GET_VIDEO_QUALITY_LEVEL, 0, RELAYED),
     {RELAY(CMD_SAME, BUILDER, 0, 0, nullptr, B(Quality), 0),
      PUT(0, 0, V(4, 28, 4, 1), NO_V, "Get video quality level")}},
    {REQ(P2_SET_VIDEO_QUALITY_LEVEL, 0, 32, POP(WRITE_CONFIG), "Set video quality level", RELAYED),
     ORD(EVENT_E2_SET_VIDEO_QUALITY_LEVEL, 0, RELAYED),
     {RELAY(CMD_SAME, BUILDER, 0, 0, nullptr, B(Quality), 0),
      RESULT(QUIET | LOG_FAIL, "Set video quality level")}},
    {REQ(P2_RM_REALPLAY_OPEN, 0, 20, 0, nullptr, H(P2_RM_REALPLAY_OPEN)), NO_ORD, CODE},
    {REQ(P2_RM_REALPLAY_CLOSE, 0, 20, 0, nullptr, H(P2_RM_REALPLAY_CLOSE)), NO_ORD, CODE},

    /* record search and download (ops/record.cpp) */
    {REQ(P3_QUERY_FILE, 0, 68, 0, "Query file", RELAYED),
     ORD(EVENT_E2_FILE_QUERY, 44, O(EVENT_E2_FILE_QUERY)),
     {RELAY(EXACT | CONN_LOGIN | BODY_LOGIN | ALL_CH, BUILDER, 24, POP(RECORD_SEARCH), nullptr, B(QueryFile),
            0),
      ANS_CODE(REC, 68, "Query file")}},
    {REQ(P3_NSP_QUERY_FILE, 0, 88, 0, "Query nsp file", RELAYED),
     ORD(EVENT_E2_NSP_FILE_QUERY, 64, O(EVENT_E2_NSP_FILE_QUERY)),
     {RELAY(EXACT | CONN_LOGIN | BODY_LOGIN | ALL_CH, BUILDER, 24, POP(RECORD_SEARCH), nullptr,
            B(NspQueryFile), 0),
      ANS_CODE(REC, 88, "Query nsp file")}},
    {REQ(P3_DOWNLOAD_OPEN, 0, 384, 0, "Start download file", H(P3_DOWNLOAD_OPEN)),
     ORD(EVENT_E2_FILE_OPEN, 360, O(EVENT_E2_FILE_OPEN)),
     {RELAY(0, BUILDER, 0, 0, nullptr, nullptr, 0), ANS_CODE(REC, 384, "Open the file")}},
    {REQ(P3_DOWNLOAD_CLOSE, 0, 28, 0, "Stop download file", RELAYED),
     ORD(EVENT_E2_FILE_CLOSE, 4, RELAYED),
     {RELAY(FILE_OP, BUILDER, 0, 0, nullptr, B(FileClose), 0),
      RESULT_DBG(QUIET, "Close the file", VXQ_F_DPS_MW_DebugFileOp)}},
    {REQ(P3_DOWNLOAD_GET, 0, 64, 0, "Get file data", H(P3_DOWNLOAD_GET)),
     ORD(EVENT_E2_FILE_READ, 40, O(EVENT_E2_FILE_READ)),
     {RELAY(FILE_OP, BUILDER, 0, 0, nullptr, nullptr, 0), ANS_CODE(REC, 64, nullptr)}},
    {REQ(P3_DOWNLOAD_SEEK, 0, 32, 0, "Seek file position", RELAYED),
     ORD(EVENT_E2_FILE_SEEK, 8, RELAYED),
     {RELAY(FILE_OP, BUILDER, 0, 0, nullptr, B(FileSeek), 0),
      RESULT_DBG(QUIET, "Seek file", VXQ_F_DPS_MW_DebugFileOp)}},
    {REQ(P3_DOWNLOAD_QVIDEO, 0, 36, 0, "Query file video param", RELAYED),
     ORD(EVENT_E2_FILE_QVIDEO, 12, RELAYED),
     {RELAY(FILE_OP, BUILDER, 0, 0, nullptr, B(FileQVideo), 0),
      PUT_DBG(REC, 36, V(4, 28, 4, 2), NO_V, "Query file video param", VXQ_F_DPS_MW_DebugFileOp)}},
    {REQ(P3_DOWNLOAD_ONLY_IFRAME, 0, 40, 0, "File only i frame", RELAYED),
     ORD(EVENT_E2_FILE_ONLY_IFRAME, 16, RELAYED),
     {RELAY(FILE_OP, BUILDER, 0, 0, nullptr, B(FileOnlyIFrame), 0),
      PUT_DBG(REC, 40, V(8, 32, 4, 2), NO_V, "File only i frame", VXQ_F_DPS_MW_DebugFileOp)}},
    {REQ(P3_DOWNLOAD_RECOVER_ALLFRAME, 0, 28, 0, "File recover all frame", RELAYED),
     ORD(EVENT_E2_FILE_RECOVER_ALLFRAME, 4, RELAYED),
     {RELAY(FILE_OP, BUILDER, 0, 0, nullptr, B(FileRecover), 0),
      RESULT_DBG(QUIET, "File recover all frame", VXQ_F_DPS_MW_DebugFileOp)}},
    {REQ(P3_DOWNLOAD_OPEN_BY_TIME, 0, 308, 0, "Start download file", H(P3_DOWNLOAD_OPEN_BY_TIME)),
     ORD(EVENT_E2_FILE_OPEN_BY_TIME, 284, O(EVENT_E2_FILE_OPEN_BY_TIME)),
     {RELAY(0, BUILDER, 0, 0, nullptr, nullptr, 0), ANS_CODE(REC, 308, "Open the file")}},

    /* talk, arming and alarms (ops/talk_alarm.cpp) */
    {REQ(P4_TALK_START, 0, 28, 0, nullptr, H(P4_TALK_START)),
     ORD(EVENT_E2_TALK_START, 20, O(EVENT_E2_TALK_START)), CODE},
    {REQ(P4_TALK_STOP, LOGIN, 28, 0, nullptr, H(P4_TALK_STOP)),
     ORD(EVENT_E2_TALK_STOP, 4, O(EVENT_E2_TALK_STOP)), CODE},
    {REQ(P5_GUARD, 0, 24, 0, nullptr, H(P5_GUARD)), ORD(EVENT_E2_GUARD, 0, O(EVENT_E2_GUARD)), CODE},
    {REQ(P5_UNGUARD, LOGIN, 24, POP(ARMING), "Cancel alarm", H(P5_UNGUARD)),
     ORD(EVENT_E2_UNGUARD, 0, O(EVENT_E2_UNGUARD)), CODE},
    {NOTICE(P5_ALARM_NOTICE), ORD(EVENT_E2_ALARM_INFO, 140, O(EVENT_E2_ALARM_INFO)), CODE},
    {NOTICE(P5_EX_ALARM_NOTICE), ORD(EVENT_E2_EX_ALARM_INFO, 168, O(EVENT_E2_EX_ALARM_INFO)), CODE},

    /* configuration, network and users (ops/config_users.cpp) */
    {REQ(P9_MODIFY_USER_PWD, LOGIN, 116, 0, "Modify user password", RELAYED),
     ORD(EVENT_E3_MODIFY_USER_PWD, 0, RELAYED),
     {RELAY(0, UPAPP, 0, 0, nullptr, B(UserPwd), 0), RESULT(HEAD, "Modify user pwd")}},
    {REQ(P9_GET_CONFIG, 0, 32, 0, "Get config", RELAYED),
     ORD(EVENT_E3_GET_CONFIG, 0, RELAYED),
     {RELAY(BODY_LOGIN, UPAPP, 0, POP(READ_CONFIG), nullptr, B(Config), 32),
      DATA(HEAD, 32, 28, 8, "Get config")}},
    {REQ(P9_SET_CONFIG, 0, 32, 0, "Set config", RELAYED),
     ORD(EVENT_E3_SET_CONFIG, 0, RELAYED),
     {RELAY(BODY_LOGIN | QUIET_LOGIN, UPAPP, 0, POP(WRITE_CONFIG), nullptr, B(Config), 32),
      RESULT(HEAD, "Set config")}},
    {REQ(P9_GET_DEF_CONFIG, 0, 36, 0, "Get default config", RELAYED),
     ORD(EVENT_E3_GET_DEF_CONFIG, 0, RELAYED),
     {RELAY(BODY_LOGIN, UPAPP, 0, POP(READ_CONFIG), nullptr, B(DefConfig), 0),
      DATA(HEAD, 36, 32, 12, "Get default config")}},
    {REQ(P9_IEC_IMP_CONFIG, 0, 28, 0, "Import config", RELAYED),
     ORD(EVENT_E3_IEC_IMP_CONFIG, 0, RELAYED),
     {RELAY(BODY_LOGIN, UPAPP, 0, POP(WRITE_CONFIG), nullptr, B(ImpConfig), 28),
      PUT(HEAD | CUT, 28, Z(24), NO_V, "Import config")}},
    {REQ(P9_IEC_EXP_CONFIG, 0, 28, 0, "Export config", RELAYED),
     ORD(EVENT_E3_IEC_EXP_CONFIG, 0, RELAYED),
     {RELAY(BODY_LOGIN, UPAPP, 0, POP(READ_CONFIG), nullptr, nullptr, 0),
      DATA(HEAD, 28, 24, 4, "Export config")}},
    {REQ(P9_QUERY_NET_INFO, LOGIN, 24, POP(READ_CONFIG), "Query the network information", RELAYED),
     ORD(EVENT_E3_QUERY_NET_INFO, 0, O(EVENT_E3_QUERY_NET_INFO)),
     {RELAY(0, UPAPP, 0, 0, nullptr, B(Word0), 0), ANS_CODE(HEAD, 0, "Query net info")}},
    {REQ(P9_MODIFY_NET_ADDR, LOGIN, 110, POP(WRITE_CONFIG), "Modify the network address", RELAYED),
     ORD(EVENT_E3_MODIFY_NET_ADDR, 0, RELAYED),
     {RELAY(0, UPAPP, 0, 0, nullptr, B(NetAddr), 0), RESULT(HEAD, "Modify net addr")}},

    /* serial port (ops/serial.cpp) */
    {REQ(P9_COM_OPEN, 0, 48, POP(WRITE_CONFIG), "Open com", H(P9_COM_OPEN)),
     ORD(EVENT_E3_COM_OPEN, 0, RELAYED),
     {RELAY(0, STEP, 0, 0, nullptr, nullptr, 0), RESULT(HEAD, "Com open")}},
    {REQ(P9_COM_CLOSE, LOGIN, 32, POP(WRITE_CONFIG), "Close com", RELAYED),
     ORD(EVENT_E3_COM_CLOSE, (int32_t)sizeof(_VXQ_S_DPS_E3_COM_CLOSE), O(EVENT_E3_COM_CLOSE)),
     {RELAY(AT_ONCE_OK, BUILDER, 0, 0, nullptr, B(ComClose), 0), NO_ANSWER}},
    {REQ(P9_COM_SEND_DATA, LOGIN, 36, POP(WRITE_CONFIG), "Send com data", RELAYED),
     ORD(EVENT_E3_COM_SEND_DATA, 0, RELAYED),
     {RELAY(LATE_RECEIPT, STEP, 0, 0, VXQ_F_DPS_MW_CheckComSend, B(ComSend), 36),
      PUT(HEAD | CUT, 32, Z(28), NO_V, "Com send data")}},
    {REQ(P9_COM_SUBS_DATA, SILENT, 20, 0, nullptr, nullptr),
     ORD(EVENT_E3_COM_SUBS_DATA, (int32_t)sizeof(_VXQ_S_DPS_E3_COM_SUBS_DATA), O(EVENT_E3_COM_SUBS_DATA)),
     CODE},

    /* users (ops/config_users.cpp) */
    {REQ(P9_UNS_ADD_USER, LOGIN, 352, POP(WRITE_CONFIG), "Add user", RELAYED),
     ORD(EVENT_E3_UNS_ADD_USER, 0, RELAYED),
     {RELAY(0, UPAPP, 0, 0, nullptr, B(AddUser), 0), RESULT(HEAD, "Add user")}},
    {REQ(P9_UNS_DEL_USER, LOGIN, 56, POP(WRITE_CONFIG), "Delete user", RELAYED),
     ORD(EVENT_E3_UNS_DEL_USER, 0, RELAYED),
     {RELAY(0, UPAPP, 0, 0, nullptr, B(DelUser), 0), RESULT(HEAD, "Delete user")}},
    {REQ(P9_UNS_GET_USER_POP, LOGIN, 320, POP(READ_CONFIG), "Get user pop", RELAYED),
     ORD(EVENT_E3_UNS_GET_USER_POP, 0, O(EVENT_E3_UNS_GET_USER_POP)),
     {RELAY(0, UPAPP, 0, 0, nullptr, B(GetUserPop), 0), ANS_CODE(HEAD | CHECK_ID, 320, "Get user pop")}},
    {REQ(P9_UNS_SET_USER_POP, LOGIN, 320, POP(WRITE_CONFIG), "Set user pop", RELAYED),
     ORD(EVENT_E3_UNS_SET_USER_POP, 0, RELAYED),
     {RELAY(0, UPAPP, 0, 0, nullptr, B(SetUserPop), 0), RESULT(HEAD, "Set user pop")}},

    /* custom messages, maintenance and upgrade (ops/maint.cpp) */
    {REQ(PA_CUSTOM, LOGIN, 28, 0, "Custom functions", RELAYED),
     ORD(EVENT_E7_CUSTOM, 0, RELAYED),
     {RELAY(0, BUILDER, 0, 0, nullptr, B(Custom), 28), DATA(HEAD, 28, 24, 8, "Custom functions")}},
    {REQ(PB_RMY_QUERY_ABILITY, 0, 32, 0, "Query ability", RELAYED),
     ORD(EVENT_E7_RMY_QUERY_ABILITY, 0, RELAYED),
     {RELAY(CMD_SAME, BUILDER, 0, 0, nullptr, B(Ability), 0),
      DATA_NEED(HEAD, 32, 28, 8, "Query ability", "iAbilityBodyLen")}},
    {REQ(PB_RMY_REBOOT, 0, 24, POP(WRITE_CONFIG), "Reboot device", RELAYED),
     ORD(EVENT_E7_RMY_REBOOT, 0, nullptr),
     {RELAY(CMD_SAME | AT_ONCE, BUILDER, 0, 0, nullptr, B(Reboot), 0), NO_ANSWER}},
    {REQ(PB_RMY_STOP, 0, 24, POP(WRITE_CONFIG), "Stop device", RELAYED),
     ORD(EVENT_E7_RMY_STOP, 0, nullptr),
     {RELAY(CMD_SAME | AT_ONCE, BUILDER, 0, 0, nullptr, B(Stop), 0), NO_ANSWER}},
    {REQ(PB_DUP_QUERY_DEV_VER_INFO, 0, 48, 0, "Query device version information", RELAYED),
     ORD(EVENT_E7_DUP_QUERY_DEV_VER_INFO, (int32_t)sizeof(_VXQ_S_DPS_E7_DUP_QUERY_DEV_VER_INFO), RELAYED),
     {RELAY(CMD_SAME, BUILDER, 0, 0, nullptr, B(DevVer), 0),
      PUT(HEAD | CHECK_ID, 48, V(0, 24, 2, 4), V(8, 32, 4, 4), "Query dev ver info")}},
    {REQ(PB_DUP_REQU_UPGRADE, 0, 36, POP(WRITE_CONFIG), "Request upgrade", RELAYED),
     ORD(EVENT_E7_DUP_REQU_UPGRADE, (int32_t)sizeof(_VXQ_S_DPS_E7_DUP_REQU_UPGRADE), RELAYED),
     {RELAY(CMD_SAME, BUILDER, 0, 0, nullptr, B(ReqUpgrade), 0),
      PUT(HEAD | CHECK_ID, 36, V(8, 32, 4, 1), NO_V, "Request upgrade")}},
    {REQ(PB_DUP_QUERY_PROGRESS, 0, 28, POP(WRITE_CONFIG), "Query upgrade progress", RELAYED),
     ORD(EVENT_E7_DUP_QUERY_PROGRESS, (int32_t)sizeof(_VXQ_S_DPS_E7_DUP_QUERY), RELAYED),
     {RELAY(CMD, BUILDER, 0, 0, nullptr, B(DupQuery), 0),
      PUT(HEAD | CHECK_ID, 28, V(4, 24, 4, 1), NO_V, "Query progress")}},
    {REQ(PB_DUP_QUERY_TRANS_POS, 0, 28, POP(WRITE_CONFIG), "Query upgrade position", RELAYED),
     ORD(EVENT_E7_DUP_QUERY_TRANS_POS, (int32_t)sizeof(_VXQ_S_DPS_E7_DUP_QUERY), RELAYED),
     {RELAY(CMD, BUILDER, 0, 0, nullptr, B(DupQuery), 0),
      PUT(HEAD | CHECK_ID, 28, V(4, 24, 4, 1), NO_V, "Query transfer position")}},
    {REQ(PB_DUP_UPGRADE_DATA, 0, 28, POP(WRITE_CONFIG), "Upgrade data", RELAYED),
     ORD(EVENT_E7_DUP_UPGRADE_DATA, 0, RELAYED),
     {RELAY(CMD | NO_RECEIPT, BUILDER, 0, 0, VXQ_F_DPS_MW_CheckUpgradeData, B(UpgradeData), 28),
      PUT(HEAD | CHECK_ID | CUT, 28, Z(24), NO_V, "Upgrade data")}},

    /* media frames: a client's video is ignored, its audio is talk (media/input.cpp) */
    {REQ(PE_VIDEO_FRAME, SILENT, 20, 0, nullptr, nullptr),
     ORD(MEDIA_E8_VIDEO_FRAME, 0, O(MEDIA_E8_VIDEO_FRAME)), CODE},
    {REQ(PE_AUDIO_FRAME, SILENT, 20, 0, nullptr, H(PE_AUDIO_FRAME)),
     ORD(MEDIA_E8_AUDIO_FRAME, 0, O(MEDIA_E8_AUDIO_FRAME)), CODE},

    /* host orders that answer no message; the frames last, where the order
     * lookup starts */
    ORDER_ONLY(EVENT_E2_MODIFY_CODEC, 0, O(EVENT_E2_MODIFY_CODEC)),
    ORDER_ONLY(MEDIA_E8_AUDIO_FRAME_EX, 0, O(MEDIA_E8_AUDIO_FRAME_EX)),
    ORDER_ONLY(MEDIA_E8_VIDEO_FRAME_EX, 0, O(MEDIA_E8_VIDEO_FRAME_EX)),
};

const _VXQ_S_DPS_FUNC_TABLE g_tDpsFuncTable = {s_tLines, (int32_t)(sizeof(s_tLines) / sizeof(s_tLines[0])),
                                               VXQ_F_DPS_MW_RelayRequest, VXQ_F_DPS_MW_RelayAnswer};

/* The families that hear of a connection's release or of a second passing,
 * in the order their hooks run: a command connection's serial port, a media
 * connection's viewer, a download connection's file, a talk connection's
 * talk, and last the guard any connection may hold. A new family with hooks
 * adds its _Install here, beside its table lines. */
static void (*const s_afnFamilyInstall[])(_VXQ_S_DPS_HOOKS *) = {
    VXQ_F_DPS_MC_SERIAL_Install,
    VXQ_F_DPS_MC_LIVE_Install,
    VXQ_F_DPS_MC_RECORD_Install,
    VXQ_F_DPS_MC_TALK_Install,
};

void VXQ_F_DPS_MW_FuncTable_Install(_VXQ_S_DPS_HOOKS *inout_pHooks)
{
    size_t i;
    inout_pHooks->pFuncTable = &g_tDpsFuncTable;
    for (i = 0; i < sizeof(s_afnFamilyInstall) / sizeof(s_afnFamilyInstall[0]); i++)
        s_afnFamilyInstall[i](inout_pHooks);
}
