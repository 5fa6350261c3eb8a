/*
 * head.h - the 20-byte UMSP message head, the function ids and the byte-order
 * rule of every message on a client TCP connection.
 *
 * Owns no state: every function is pure (any thread may call them). What the
 * service does with each function id is said once, in the table of function
 * ids (core/functab.h). Message buffers belong to the caller.
 *
 * Byte order: message buffers inside the service stay in wire order (little-
 * endian) from reassembly to send; every head and body field is read and
 * written through the little-endian accessors below, which use explicit byte
 * loads and stores and are therefore right on any host. The head record
 * `_VXQ_S_PVM_DP_UMSP_MSG_HEAD` is the decoded, host-order view of those 20
 * bytes; never memcpy it to or from a buffer.
 *
 * Answers built in place from their request (VXQ_F_DPS_MW_HeadMakeAnswer)
 * change only the type bits 0-1 of byte 10 and the result byte 11: size,
 * function id, dwTransNo, bits 2-7 of byte 10 and the reserved bytes 16-19
 * stay as the client sent them.
 */
#ifndef VXQ_WIRE_HEAD_H
#define VXQ_WIRE_HEAD_H

#include <stddef.h>
#include <stdint.h>

/* Wire constants of the head. */
#define VXQ_DPS_UMSP_HEAD_LEN 20u
#define VXQ_DPS_UMSP_PACKET_FLAG 0xFFFFEEEEu
#define VXQ_DPS_UMSP_PACKET_REQUEST 0u /* request or notice */
#define VXQ_DPS_UMSP_PACKET_ANSWER 1u

/* Byte offsets of the head fields in a message buffer. */
#define VXQ_DPS_UMSP_OFF_PACKET_FLAG 0u
#define VXQ_DPS_UMSP_OFF_PACKET_SIZE 4u
#define VXQ_DPS_UMSP_OFF_FUNC_ID 8u
#define VXQ_DPS_UMSP_OFF_PACKET_TYPE 10u
#define VXQ_DPS_UMSP_OFF_RESULT 11u
#define VXQ_DPS_UMSP_OFF_TRANS_NO 12u
#define VXQ_DPS_UMSP_OFF_RESERVED 16u

/* The head in host order. ucPacketType holds the whole byte 10: bits 0-1 are
 * the packet type, bits 2-7 are carried unchanged from a request to its answer. */
typedef struct _VXQ_S_PVM_DP_UMSP_MSG_HEAD {
    uint32_t dwPacketFlag; /* always VXQ_DPS_UMSP_PACKET_FLAG */
    uint32_t dwPacketSize; /* whole message, head included, in bytes */
    uint16_t usMsgFuncId;  /* high byte group, low byte operation */
    uint8_t ucPacketType;  /* bits 0-1: 0 request/notice, 1 answer */
    uint8_t ucResult;      /* UMSP result code of an answer, 0 = success */
    uint32_t dwTransNo;    /* chosen by the client, echoed by the answer */
    uint8_t ucReserved[4]; /* 0 when the device builds; kept in answers */
} _VXQ_S_PVM_DP_UMSP_MSG_HEAD;

#ifdef __cplusplus
static_assert(sizeof(_VXQ_S_PVM_DP_UMSP_MSG_HEAD) == 20, "UMSP head is 20 bytes");
static_assert(offsetof(_VXQ_S_PVM_DP_UMSP_MSG_HEAD, dwPacketFlag) == 0, "flag at 0");
static_assert(offsetof(_VXQ_S_PVM_DP_UMSP_MSG_HEAD, dwPacketSize) == 4, "size at 4");
static_assert(offsetof(_VXQ_S_PVM_DP_UMSP_MSG_HEAD, usMsgFuncId) == 8, "function id at 8");
static_assert(offsetof(_VXQ_S_PVM_DP_UMSP_MSG_HEAD, ucPacketType) == 10, "type at 10");
static_assert(offsetof(_VXQ_S_PVM_DP_UMSP_MSG_HEAD, ucResult) == 11, "result at 11");
static_assert(offsetof(_VXQ_S_PVM_DP_UMSP_MSG_HEAD, dwTransNo) == 12, "trans no at 12");
static_assert(offsetof(_VXQ_S_PVM_DP_UMSP_MSG_HEAD, ucReserved) == 16, "reserved at 16");
#endif

/* Function ids. High byte: P0 link, P1 session, P2 live view, P3 records,
 * P4 talk, P5 alarm, P9 configuration, users and serial port, PA custom,
 * PB maintenance and upgrade, PE media frames. */
#define P0_HEARTBEAT 0x0001
#define P1_VER_CONSULT_GET_TOKEN 0x0101
#define P1_LOGIN 0x0102
#define P1_LOGOUT 0x0103
#define P1_CLAIM_CHANNEL 0x0104
#define P2_REALPLAY_OPEN 0x0201
#define P2_REALPLAY_CLOSE 0x0202
#define P2_PTZ 0x0203
#define P2_FORCE_I_FRAME 0x0204
#define P2_EX_REALPLAY_OPEN 0x0221
#define P2_EX_REALPLAY_CLOSE 0x0222
#define P2_CTRL_STREAM 0x0223
#define P2_ONLY_I_FRAME 0x0224
#define P2_GET_VIDEO_QUALITY_CAP 0x0225
#define P2_GET_VIDEO_QUALITY_LEVEL 0x0226
#define P2_SET_VIDEO_QUALITY_LEVEL 0x0227
#define P2_RM_REALPLAY_OPEN 0x0231
#define P2_RM_REALPLAY_CLOSE 0x0232
#define P3_QUERY_FILE 0x0301
#define P3_NSP_QUERY_FILE 0x0302
#define P3_DOWNLOAD_OPEN 0x0311
#define P3_DOWNLOAD_CLOSE 0x0312
#define P3_DOWNLOAD_GET 0x0313
#define P3_DOWNLOAD_SEEK 0x0314
#define P3_DOWNLOAD_QVIDEO 0x0315
#define P3_DOWNLOAD_ONLY_IFRAME 0x0316
#define P3_DOWNLOAD_RECOVER_ALLFRAME 0x0317
#define P3_DOWNLOAD_OPEN_BY_TIME 0x0318
#define P4_TALK_START 0x0401
#define P4_TALK_STOP 0x0402
#define P5_GUARD 0x0501
#define P5_UNGUARD 0x0502
#define P5_ALARM_NOTICE 0x0503    /* device notice, 172 bytes */
#define P5_EX_ALARM_NOTICE 0x0505 /* device notice, 200 bytes */
#define P9_MODIFY_USER_PWD 0x0901
#define P9_GET_CONFIG 0x0902
#define P9_SET_CONFIG 0x0903
#define P9_GET_DEF_CONFIG 0x0904
#define P9_IEC_IMP_CONFIG 0x0905
#define P9_IEC_EXP_CONFIG 0x0906
#define P9_QUERY_NET_INFO 0x0911
#define P9_MODIFY_NET_ADDR 0x0912
#define P9_COM_OPEN 0x0921
#define P9_COM_CLOSE 0x0922
#define P9_COM_SEND_DATA 0x0923
#define P9_COM_SUBS_DATA 0x0924
#define P9_UNS_ADD_USER 0x0931
#define P9_UNS_DEL_USER 0x0932
#define P9_UNS_GET_USER_POP 0x0933
#define P9_UNS_SET_USER_POP 0x0934
#define PA_CUSTOM 0x0A01
#define PB_RMY_QUERY_ABILITY 0x0B01
#define PB_RMY_REBOOT 0x0B02
#define PB_RMY_STOP 0x0B03
#define PB_DUP_QUERY_DEV_VER_INFO 0x0B21
#define PB_DUP_REQU_UPGRADE 0x0B22
#define PB_DUP_QUERY_PROGRESS 0x0B23
#define PB_DUP_QUERY_TRANS_POS 0x0B24
#define PB_DUP_UPGRADE_DATA 0x0B25
#define PE_VIDEO_FRAME 0x0E01
#define PE_AUDIO_FRAME 0x0E02

/* Little-endian field accessors on a byte buffer (no alignment needed). */
uint16_t VXQ_F_DPS_MW_GetLe16(const uint8_t *in_pucField);
uint32_t VXQ_F_DPS_MW_GetLe32(const uint8_t *in_pucField);
void VXQ_F_DPS_MW_PutLe16(uint8_t *out_pucField, uint16_t in_usValue);
void VXQ_F_DPS_MW_PutLe32(uint8_t *out_pucField, uint32_t in_dwValue);

/* Decodes the first 20 bytes of in_pucMsg into out_ptHead. Returns 0 (and
 * leaves out_ptHead zeroed) when in_dwLen is below 20, else 1. No value of a
 * field is judged here. */
int VXQ_F_DPS_MW_HeadLoad(const uint8_t *in_pucMsg, uint32_t in_dwLen,
                          _VXQ_S_PVM_DP_UMSP_MSG_HEAD *out_ptHead);

/* Encodes in_ptHead into the first 20 bytes of out_pucMsg (wire order). */
void VXQ_F_DPS_MW_HeadStore(const _VXQ_S_PVM_DP_UMSP_MSG_HEAD *in_ptHead, uint8_t *out_pucMsg);

/* Writes a fresh head as the device builds it (notices and fresh answers):
 * flag, size, function id, type, result, and zeros at 12-19. */
void VXQ_F_DPS_MW_HeadBuildFresh(uint8_t *out_pucMsg, uint32_t in_dwPacketSize, uint16_t in_usMsgFuncId,
                                 uint8_t in_ucPacketType, uint8_t in_ucResult);

/* Turns the request in inout_pucMsg (at least 20 bytes) into its answer in
 * place: type bits 0-1 of byte 10 become 1, byte 11 becomes in_ucResult;
 * nothing else of the head changes. */
void VXQ_F_DPS_MW_HeadMakeAnswer(uint8_t *inout_pucMsg, uint8_t in_ucResult);

/* Packet type (bits 0-1 of byte 10) of the message (at least 20 bytes). */
uint8_t VXQ_F_DPS_MW_HeadPacketType(const uint8_t *in_pucMsg);

/* 1 when this build runs on a big-endian host (probed at run time). */
int VXQ_F_DPS_MW_IsBigEndianHost(void);

/* The single point where a whole message crosses between the wire and the
 * service. Called with in_bFromWire 1 on every reassembled message before
 * dispatch, and with 0 on every message just before it is handed to the
 * engine; inout_pucMsg holds in_dwLen bytes (the whole message) and keeps its
 * length. Returns 1 when the message may go on, 0 when a count in its body does
 * not fit in_dwLen or an embedded configuration block cannot be converted: the
 * caller then refuses the message (the reason is already logged).
 * Since every field is read through the little-endian accessors, the head and
 * the fixed body fields are never converted here. On every host it checks the
 * record count of a successful answer going out (in_bFromWire 0) against the
 * length: P3_QUERY_FILE (count at 64, 220-byte records from 68),
 * P3_NSP_QUERY_FILE (84, 192 from 88) and P9_QUERY_NET_INFO (20, 90 from 24);
 * a mismatch logs "Function ID: 0x%4.4X, file info len error." (card info for
 * the network cards) and returns 0. On a little-endian host it changes
 * nothing; on a big-endian host it also converts, in place, the parts of a
 * body that are relayed verbatim to or from the host application
 * (configuration blocks). */
int VXQ_F_DPS_MW_TransSingleNetDataPacketLittleMode(int in_bFromWire, uint8_t *inout_pucMsg, uint32_t in_dwLen);

/* The body conversion of the translator, run on any host (the translator runs
 * it only on a big-endian host; tests call it directly): hands the
 * configuration block of P9_GET_CONFIG and P9_SET_CONFIG (from message offset
 * 32) and P9_GET_DEF_CONFIG (from offset 36), when at least 1 byte long, to the
 * configuration converter with the configuration id of message offset 24.
 * Returns 1, or 0 after "Function ID: 0x%4.4X, trans config fail." when the
 * block is refused. Other messages are left as they are. */
int VXQ_F_DPS_MW_PR_TransPacketBody(int in_bFromWire, uint8_t *inout_pucMsg, uint32_t in_dwLen);

#endif /* VXQ_WIRE_HEAD_H */
