/*
 * core/functab.h - one descriptor per function id, and the table of them an instance works with.
 *
 * A line says, in data, all the service does with one UMSP function id: its
 * name in log lines, the length a request needs, who may send it (login,
 * rights, channel), the event it raises to the host and the order that
 * answers, and how the answer is built from the parked request. What data
 * cannot say is a handler. The table belongs to the families above
 * (ops/functab.cpp); the layers below reach it only through the instance's
 * hook record (tHooks.pFuncTable, core/hooks.h), filled when the service starts.
 *
 * Who reads what: the request dispatcher (protocol/dispatch) the flags,
 * iMinMsgLen, dwPopBit, sOper and fnRequest; the order dispatcher
 * (core/channel) iOrderId, iMinOrderBody and fnOrder; the relay driver of the
 * families (ops/relay) tRelay and the names. A line without its own handler is
 * run by the table's driver (fnRelayRequest, fnRelayAnswer). Tables are
 * constant: any thread may read them.
 */
#ifndef VXQ_CORE_FUNCTAB_H
#define VXQ_CORE_FUNCTAB_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct _VXQ_S_DPS_MCSRV_DATA;
struct _VXQ_S_DPS_NET_PORT_DATA;
struct _VXQ_S_DPS_FUNC_LINE;

/* A request handler: one whole message of in_iLength bytes (at least the
 * line's iMinMsgLen). The message is the connection's reassembly buffer: it may
 * be rewritten and sent back as the answer, never kept. Result 1/0 (logged). */
typedef int (*VXQ_PF_DPS_NETMSG_HANDLER)(struct _VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                         struct _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                         int32_t in_iLength);
/* An order handler: the whole order (16-byte head and a body of at least the
 * line's iMinOrderBody, host order) from the control thread's work buffer. */
typedef int (*VXQ_PF_DPS_ORDER_HANDLER)(struct _VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                                        int32_t in_iLength);

/* Rules the request dispatcher applies (ucFlags). */
#define VXQ_DPS_FUNC_NEED_LOGIN 0x01u /* result 6 unless the connection's dwLoginId is nonzero */
#define VXQ_DPS_FUNC_NO_ANSWER 0x02u  /* never answered by the dispatcher (frames): refusals are silent */
#define VXQ_DPS_FUNC_NOTICE 0x04u     /* sent by the device only: a request of this id is unknown (42) */

/* Request rules of a relay (tRelay.usRules), checked in this order after the
 * receipt line "Receiving network data: <sOper>.". Each refuses in place. */
#define VXQ_DPS_RELAY_EXACT_LEN 0x0001u /* exactly iMinMsgLen bytes ("<request> in_iPacketLen error.", 2) */
#define VXQ_DPS_RELAY_CONN_LOGIN                                                                             \
    0x0002u /* the connection carries a login ("<request> dwLoginId error.", 6) */
#define VXQ_DPS_RELAY_CMD                                                                                    \
    0x0004u /* a logged-in command connection ("<sOper> failure, cause: not login.", 6) */
#define VXQ_DPS_RELAY_CMD_SAME 0x0008u /* ... logged in with the login id of body 0 (same refusal) */
#define VXQ_DPS_RELAY_BODY_LOGIN                                                                             \
    0x0010u /* body 0 names a live login ("... <sOper> fail, cause: no login.", 6);                          \
             * then its user holds tRelay.dwPopBit (".. without permission.", 5) */
#define VXQ_DPS_RELAY_QUIET_LOGIN 0x0020u  /* ... the no-login line is not shown */
#define VXQ_DPS_RELAY_ALL_CH 0x0040u       /* channel -1 of a per-channel right means every channel */
#define VXQ_DPS_RELAY_FILE 0x0080u         /* file operation: the read id of body 4 is open on this session */
#define VXQ_DPS_RELAY_NOTICE 0x0100u       /* no transaction: answered at once, 0 (1 when not queued) */
#define VXQ_DPS_RELAY_NOTICE_OK 0x0200u    /* ... answered 0 even when not queued */
#define VXQ_DPS_RELAY_NO_RECEIPT 0x0400u   /* no receipt line */
#define VXQ_DPS_RELAY_LATE_RECEIPT 0x0800u /* the receipt line follows the body's debug line */

/* How a relay's failure to park or to raise is logged (tRelay.ucFailText); the
 * rule is the same for all: result 1 at once and the transaction deleted. */
enum {
    VXQ_DPS_FAIL_BUILDER = 0, /* "<request> VXQ_F_DPS_MC_SentProEvent_<event> fail." */
    VXQ_DPS_FAIL_UPAPP, /* "<request> VXQ_F_DPS_MC_SentProEventToUpApp fail." ("<request> malloc fail.") */
    VXQ_DPS_FAIL_SHOW,  /* "Receiving network data: <sOper> fail, cause: send fail." shown */
    VXQ_DPS_FAIL_NONE,  /* nothing logged */
    VXQ_DPS_FAIL_STEP   /* "Receiving network data: <sOper>, <step> fail." shown, parking too */
};

/* Layouts of a relay's answer (tRelay.ucAnswer), built from the parked request. */
enum {
    VXQ_DPS_ANSWER_NONE = 0, /* the line's own fnOrder, or the order is accepted without action */
    VXQ_DPS_ANSWER_RESULT,   /* the parked request whole, with the result */
    VXQ_DPS_ANSWER_DATA,     /* its first iAnsLen bytes, the data length at iAnsLenOff, the order's
                              * body from iAnsDataOff on; packet size the new total */
    VXQ_DPS_ANSWER_PUT       /* the parked request with the tPut values of the order written in */
};

/* Answer rules (tRelay.ucAnsFlags). */
#define VXQ_DPS_ANS_HEAD 0x01u  /* "[DEBUG]  <sAnsOper> (response): ucResult..." line with the switch */
#define VXQ_DPS_ANS_QUIET 0x02u /* lookups that miss are not logged; sends log as the channel's own */
#define VXQ_DPS_ANS_REC_TEXT                                                                                 \
    0x04u /* a parked request shorter than iAnsLen logs "<answer> pRequDataBuf fail." */
#define VXQ_DPS_ANS_CHECK_ID 0x08u /* the parked request must be of this line's function id */
#define VXQ_DPS_ANS_CUT 0x10u      /* only its first iAnsLen bytes go back, packet size iAnsLen */
#define VXQ_DPS_ANS_NEED_DATA                                                                                \
    0x20u /* no data after iAnsDataOff: nothing sent ("<answer> <sLenName> error.") */
#define VXQ_DPS_ANS_LOG_FAIL 0x40u /* a failed answer logs "<answer> VXQ_F_DPS_MC_SendTransResult fail." */

/* Values an answer of layout PUT writes into the parked request: ucCount
 * consecutive values of ucSize (2 or 4) bytes from order body offset sOrderOff
 * (-1: zeros) to message offset sMsgOff, each only where both reach. */
typedef struct _VXQ_S_DPS_ANSWER_PUT {
    int16_t sOrderOff;
    int16_t sMsgOff;
    uint8_t ucSize;
    uint8_t ucCount;
} _VXQ_S_DPS_ANSWER_PUT;

/* Builds a relay's event body (at most VXQ_DPS_RELAY_BODY_MAX bytes) from the
 * request; returns its length. Writes the event's "[DEBUG]" request line. */
#define VXQ_DPS_RELAY_BODY_MAX 512
typedef int32_t (*VXQ_PF_DPS_RELAY_BODY)(struct _VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData,
                                         const struct _VXQ_S_DPS_NET_PORT_DATA *in_pConn,
                                         const uint8_t *in_pMsg, int32_t in_iLength, uint8_t *out_pBody);
/* A rule data cannot say: 0 lets the request go on, else the result it is
 * refused with (the check shows its own line). */
typedef uint8_t (*VXQ_PF_DPS_RELAY_CHECK)(const uint8_t *in_pMsg, int32_t in_iLength);

/* The "[DEBUG]" block of an answer, written with the switch on. */
typedef void (*VXQ_PF_DPS_ANSWER_DEBUG)(const uint8_t *in_pOrder, int32_t in_iLength,
                                        const struct _VXQ_S_DPS_FUNC_LINE *in_pLine);

/* The relay of a line: how a request becomes an event and an order its answer. */
typedef struct _VXQ_S_DPS_RELAY {
    uint16_t usRules;                   /* VXQ_DPS_RELAY_ bits */
    uint8_t ucFailText;                 /* VXQ_DPS_FAIL_ */
    uint8_t ucChOff;                    /* message offset of the channel of a per-channel right; 0 global */
    uint32_t dwPopBit;                  /* right of VXQ_DPS_RELAY_BODY_LOGIN (VXQ_DPS_POP_ bit), 0 none */
    VXQ_PF_DPS_RELAY_CHECK fnCheck;     /* null: none */
    VXQ_PF_DPS_RELAY_BODY fnBody;       /* null: the event has no body */
    int32_t iTailOff;                   /* the message from here on follows the body; 0 none */
    uint8_t ucAnswer;                   /* VXQ_DPS_ANSWER_ */
    uint8_t ucAnsFlags;                 /* VXQ_DPS_ANS_ bits */
    int16_t sAnsLen;                    /* parked bytes the answer needs */
    int16_t sAnsLenOff;                 /* DATA: message offset of the 32-bit data length */
    int16_t sAnsDataOff;                /* DATA: order body offset of the data */
    _VXQ_S_DPS_ANSWER_PUT tPut[2];      /* PUT */
    const char *sAnsOper;               /* the operation in the answer's result line */
    const char *sLenName;               /* NEED_DATA: the length's name in its line */
    VXQ_PF_DPS_ANSWER_DEBUG fnAnsDebug; /* null: none */
} _VXQ_S_DPS_RELAY;

/* One function id. */
typedef struct _VXQ_S_DPS_FUNC_LINE {
    uint16_t usMsgFuncId; /* 0: a host order that answers no message */
    uint8_t ucFlags;      /* VXQ_DPS_FUNC_ bits */
    int32_t iMinMsgLen;   /* whole request, head included; shorter ones get result 2 */
    const char *sName;    /* "P3_DOWNLOAD_GET": the id in log lines */
    const char *sReqName; /* the request's name in its log lines */
    /* Right on the global word of the user behind the connection (VXQ_DPS_POP_
     * bit, 0 none): missing gives result 5, no event, and "Receiving network
     * data: <sOper> fail, cause: without permission.". Only on a connection
     * that carries a login id. */
    uint32_t dwPopBit;
    const char *sOper;                   /* the operation in receipt and refusal lines */
    VXQ_PF_DPS_NETMSG_HANDLER fnRequest; /* null: the relay below, or ignored (NO_ANSWER) */
    int32_t iOrderId;                    /* the event raised and the order answering it; 0 none */
    const char *sOrderName;              /* "EVENT_E2_FILE_READ" */
    const char *sAnsName;                /* the answer's name in its log lines */
    int32_t iMinOrderBody;               /* orders with a shorter body are logged and dropped */
    VXQ_PF_DPS_ORDER_HANDLER fnOrder;    /* null: the relay's answer, or accepted without action */
    _VXQ_S_DPS_RELAY tRelay;
} _VXQ_S_DPS_FUNC_LINE;

/* The table an instance works with. */
typedef struct _VXQ_S_DPS_FUNC_TABLE {
    const _VXQ_S_DPS_FUNC_LINE *pLine; /* ascending usMsgFuncId, lines of id 0 last */
    int32_t iLineNum;
    int (*fnRelayRequest)(struct _VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                          struct _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                          int32_t in_iLength, const _VXQ_S_DPS_FUNC_LINE *in_pLine);
    int (*fnRelayAnswer)(struct _VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, uint8_t *inout_pOrder,
                         int32_t in_iLength, const _VXQ_S_DPS_FUNC_LINE *in_pLine);
} _VXQ_S_DPS_FUNC_TABLE;

/* The line of a function id (not 0), or null: none, or no table. */
const _VXQ_S_DPS_FUNC_LINE *VXQ_F_DPS_MC_FindFuncLine(const struct _VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData,
                                                      uint16_t in_usMsgFuncId);
/* The line whose order id is in_iOrderId (not 0), or null. */
const _VXQ_S_DPS_FUNC_LINE *VXQ_F_DPS_MC_FindOrderLine(const struct _VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData,
                                                       int32_t in_iOrderId);

#ifdef __cplusplus
}
#endif

#endif /* VXQ_CORE_FUNCTAB_H */
