/*
 * config_users.cpp - configuration, network address and users: the event
 * bodies of the requests and the two answers that are more than a layout.
 *
 * Every request is a relay: its checks, the event it raises and the layout of
 * its answer are its line in the function table (ops/functab.cpp). Message
 * buffers stay in wire order (little-endian accessors); event and order bodies
 * are host-order records (vxq_dps.h). Configuration blocks and import and
 * export data pass through as bytes: on a big-endian host the message
 * translator converts configuration blocks on their way in and out.
 */
#include "ops/config_users.h"

#include "ops/relay.h"
#include "wire/head.h"
#include "wire/result.h"
#include "vxq_log.h"

#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#define PR_BODY VXQ_DPS_UMSP_HEAD_LEN
#define PR_ORDER_HEAD VXQ_DPS_APP_MSG_HEAD_LEN
#define PR_MAX_CH_POP_NUM 64 /* per-channel permission words */

/* A count of per-channel words clamped to 0..64. */
static int32_t PR_ClampChPopNum(int32_t in_iChPopNum)
{
    if (in_iChPopNum < 0)
        return 0;
    return in_iChPopNum > PR_MAX_CH_POP_NUM ? PR_MAX_CH_POP_NUM : in_iChPopNum;
}

/* Copies a text field of the request (in_nSize bytes, maybe unterminated) into
 * an event field of the same size: at most in_nSize - 1 characters, terminated. */
static void PR_CopyText(char *out_sDst, const uint8_t *in_pSrc, size_t in_nSize)
{
    size_t n = 0;
    while (n + 1 < in_nSize && in_pSrc[n] != 0)
        n++;
    memcpy(out_sDst, in_pSrc, n);
    memset(out_sDst + n, 0, in_nSize - n);
}

/* Reads a permission record from the wire (global word, count, 64 words): the
 * count clamped to 0..64 and only that many words kept, the rest 0. */
static void PR_ReadUserPop(const uint8_t *in_pField, _VXQ_S_DPS_USER_POP *out_pPop)
{
    memset(out_pPop, 0, sizeof(*out_pPop));
    out_pPop->dwGlobalPop = VXQ_F_DPS_MW_GetLe32(in_pField);
    out_pPop->iChPopNum = PR_ClampChPopNum((int32_t)VXQ_F_DPS_MW_GetLe32(in_pField + 4));
    for (int32_t i = 0; i < out_pPop->iChPopNum; i++)
        out_pPop->dwChPop[i] = VXQ_F_DPS_MW_GetLe32(in_pField + 8 + 4 * i);
}

/* ---- Event bodies (VXQ_PF_DPS_RELAY_BODY) ---------------------------------- */

/* The client's three texts. */
int32_t VXQ_F_DPS_MW_BodyUserPwd(_VXQ_S_DPS_MCSRV_DATA *, const _VXQ_S_DPS_NET_PORT_DATA *,
                                 const uint8_t *in_pMsg, int32_t, uint8_t *out_pBody)
{
    _VXQ_S_DPS_E3_MODIFY_USER_PWD *pBody = (_VXQ_S_DPS_E3_MODIFY_USER_PWD *)out_pBody;
    PR_CopyText(pBody->i_sText1, in_pMsg + PR_BODY, 32);
    PR_CopyText(pBody->i_sText2, in_pMsg + PR_BODY + 32, 32);
    PR_CopyText(pBody->i_sText3, in_pMsg + PR_BODY + 64, 32);
    return (int32_t)sizeof(*pBody);
}

/* Get and set: the configuration id and the length of the block that follows
 * (the rest of the message from 32 on; the client's own length is not trusted). */
int32_t VXQ_F_DPS_MW_BodyConfig(_VXQ_S_DPS_MCSRV_DATA *, const _VXQ_S_DPS_NET_PORT_DATA *,
                                const uint8_t *in_pMsg, int32_t in_iLength, uint8_t *out_pBody)
{
    _VXQ_S_DPS_E3_CONFIG tBody;
    tBody.i_iConfigFuncId = (int32_t)VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_BODY + 4);
    tBody.iConfigDataLen = in_iLength - (PR_BODY + 12);
    memcpy(out_pBody, &tBody, sizeof(tBody));
    return (int32_t)sizeof(tBody);
}

int32_t VXQ_F_DPS_MW_BodyDefConfig(_VXQ_S_DPS_MCSRV_DATA *, const _VXQ_S_DPS_NET_PORT_DATA *,
                                   const uint8_t *in_pMsg, int32_t, uint8_t *out_pBody)
{
    _VXQ_S_DPS_E3_GET_DEF_CONFIG tBody;
    tBody.i_iConfigFuncId = (int32_t)VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_BODY + 4);
    tBody.i_dwParam = VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_BODY + 8);
    tBody.o_dwValue = 0;
    memcpy(out_pBody, &tBody, sizeof(tBody));
    return (int32_t)sizeof(tBody);
}

/* Import: the length of the data that follows (the message from 28 on). */
int32_t VXQ_F_DPS_MW_BodyImpConfig(_VXQ_S_DPS_MCSRV_DATA *, const _VXQ_S_DPS_NET_PORT_DATA *, const uint8_t *,
                                   int32_t in_iLength, uint8_t *out_pBody)
{
    _VXQ_S_DPS_E3_IEC_IMP_CONFIG tBody;
    tBody.i_iDataLen = in_iLength - (PR_BODY + 8);
    memcpy(out_pBody, &tBody, sizeof(tBody));
    return (int32_t)sizeof(tBody);
}

/* Network information: the client's 32-bit field (body 0). */
int32_t VXQ_F_DPS_MW_BodyWord0(_VXQ_S_DPS_MCSRV_DATA *, const _VXQ_S_DPS_NET_PORT_DATA *,
                               const uint8_t *in_pMsg, int32_t, uint8_t *out_pBody)
{
    uint32_t dwWord = VXQ_F_DPS_MW_GetLe32(in_pMsg + PR_BODY);
    memcpy(out_pBody, &dwWord, 4);
    return 4;
}

/* Address change: the card of the request (90 packed bytes) as the aligned record. */
int32_t VXQ_F_DPS_MW_BodyNetAddr(_VXQ_S_DPS_MCSRV_DATA *, const _VXQ_S_DPS_NET_PORT_DATA *,
                                 const uint8_t *in_pMsg, int32_t, uint8_t *out_pBody)
{
    const uint8_t *pCard = in_pMsg + PR_BODY;
    _VXQ_S_DPS_E3_MODIFY_NET_ADDR *pBody = (_VXQ_S_DPS_E3_MODIFY_NET_ADDR *)out_pBody;
    memset(pBody, 0, sizeof(*pBody));
    PR_CopyText(pBody->i_sCardName, pCard, 32);
    memcpy(pBody->i_ucMacAddr, pCard + 32, 6);
    pBody->i_dwValue = VXQ_F_DPS_MW_GetLe32(pCard + 38);
    PR_CopyText(pBody->i_sAddr1, pCard + 42, 16);
    PR_CopyText(pBody->i_sAddr2, pCard + 58, 16);
    PR_CopyText(pBody->i_sAddr3, pCard + 74, 16);
    return (int32_t)sizeof(*pBody);
}

/* Add user: name, password and permission words (count clamped). */
int32_t VXQ_F_DPS_MW_BodyAddUser(_VXQ_S_DPS_MCSRV_DATA *, const _VXQ_S_DPS_NET_PORT_DATA *,
                                 const uint8_t *in_pMsg, int32_t, uint8_t *out_pBody)
{
    _VXQ_S_DPS_E3_UNS_ADD_USER *pBody = (_VXQ_S_DPS_E3_UNS_ADD_USER *)out_pBody;
    PR_CopyText(pBody->i_sUserName, in_pMsg + PR_BODY + 4, 32);
    PR_CopyText(pBody->i_sPassword, in_pMsg + PR_BODY + 36, 32);
    PR_ReadUserPop(in_pMsg + PR_BODY + 68, &pBody->i_tPop);
    return (int32_t)sizeof(*pBody);
}

/* Delete user: the name. */
int32_t VXQ_F_DPS_MW_BodyDelUser(_VXQ_S_DPS_MCSRV_DATA *, const _VXQ_S_DPS_NET_PORT_DATA *,
                                 const uint8_t *in_pMsg, int32_t, uint8_t *out_pBody)
{
    _VXQ_S_DPS_E3_UNS_DEL_USER *pBody = (_VXQ_S_DPS_E3_UNS_DEL_USER *)out_pBody;
    PR_CopyText(pBody->i_sUserName, in_pMsg + PR_BODY + 4, 32);
    return (int32_t)sizeof(*pBody);
}

/* Get user permissions: the name (the words are the answer's). */
int32_t VXQ_F_DPS_MW_BodyGetUserPop(_VXQ_S_DPS_MCSRV_DATA *, const _VXQ_S_DPS_NET_PORT_DATA *,
                                    const uint8_t *in_pMsg, int32_t, uint8_t *out_pBody)
{
    _VXQ_S_DPS_E3_UNS_USER_POP *pBody = (_VXQ_S_DPS_E3_UNS_USER_POP *)out_pBody;
    memset(pBody, 0, sizeof(*pBody));
    PR_CopyText(pBody->i_sUserName, in_pMsg + PR_BODY + 4, 32);
    return (int32_t)sizeof(*pBody);
}

/* Set user permissions: the name and the client's words, clamped. */
int32_t VXQ_F_DPS_MW_BodySetUserPop(_VXQ_S_DPS_MCSRV_DATA *p, const _VXQ_S_DPS_NET_PORT_DATA *in_pConn,
                                    const uint8_t *in_pMsg, int32_t in_iLength, uint8_t *out_pBody)
{
    _VXQ_S_DPS_E3_UNS_USER_POP *pBody = (_VXQ_S_DPS_E3_UNS_USER_POP *)out_pBody;
    VXQ_F_DPS_MW_BodyGetUserPop(p, in_pConn, in_pMsg, in_iLength, out_pBody);
    PR_ReadUserPop(in_pMsg + PR_BODY + 36, &pBody->tPop);
    return (int32_t)sizeof(*pBody);
}

/* ---- Answers that are more than a layout ------------------------------------ */

/* The request's head, body 0 the card count, then the cards (90 bytes each,
 * their 32-bit value at 38 turned into wire order); packet size 24 + count x
 * 90. A count that the order's body cannot hold is answered with result 1 and
 * no cards. */
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_QUERY_NET_INFO(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                 uint8_t *inout_pOrder, int32_t in_iLength)
{
    const _VXQ_S_DPS_FUNC_LINE *pLine = VXQ_F_DPS_MC_FindFuncLine(inout_pMcSrvData, P9_QUERY_NET_INFO);
    _VXQ_S_DPS_NET_PORT_DATA *pConn;
    uint32_t dwTransId = VXQ_F_DPS_MW_AnswerBegin(inout_pMcSrvData, inout_pOrder, pLine);
    _VXQ_S_DPS_TRANS_DATA *pTrans =
        dwTransId != 0 ? VXQ_F_DPS_MW_FindTarget(inout_pMcSrvData, dwTransId, pLine, &pConn) : NULL;
    if (pTrans == NULL)
        return 0;
    uint8_t ucResult = inout_pOrder[offsetof(_VXQ_S_DPS_MSG_HEAD, ucResult)];
    int32_t iBodyLen = VXQ_F_DPS_MW_OrderLen(inout_pOrder, in_iLength) - PR_ORDER_HEAD;
    int32_t iCardNum = 0;
    if (iBodyLen >= 4) {
        memcpy(&iCardNum, inout_pOrder + PR_ORDER_HEAD, 4);
        if (iCardNum < 0 || iCardNum > (iBodyLen - 4) / VXQ_DPS_CARD_INFO_WIRE_LEN) {
            VXQ_F_DPS_MW_LogStep(__func__, "iCardNum error.");
            iCardNum = 0;
            ucResult = VXQ_DPS_UMSP_RESULT_SERVICE_FAIL;
        }
    }
    int32_t iTotal = PR_BODY + 4 + iCardNum * VXQ_DPS_CARD_INFO_WIRE_LEN;
    uint8_t *pAnswer = (uint8_t *)malloc((size_t)iTotal);
    if (pAnswer == NULL) {
        VXQ_F_DPS_MW_LogStep(__func__, "malloc fail.");
        VXQ_F_DPS_MC_Trans_DeleteTransData(inout_pMcSrvData, pTrans);
        return 0;
    }
    memcpy(pAnswer, pTrans->pRequDataBuf, VXQ_DPS_UMSP_HEAD_LEN);
    pAnswer[VXQ_DPS_UMSP_OFF_RESULT] = ucResult;
    VXQ_F_DPS_MW_PutLe32(pAnswer + VXQ_DPS_UMSP_OFF_PACKET_SIZE, (uint32_t)iTotal);
    VXQ_F_DPS_MW_PutLe32(pAnswer + PR_BODY, (uint32_t)iCardNum);
    for (int32_t i = 0; i < iCardNum; i++) {
        uint8_t *pCard = pAnswer + PR_BODY + 4 + i * VXQ_DPS_CARD_INFO_WIRE_LEN;
        uint32_t dwValue;
        memcpy(pCard, inout_pOrder + PR_ORDER_HEAD + 4 + i * VXQ_DPS_CARD_INFO_WIRE_LEN,
               VXQ_DPS_CARD_INFO_WIRE_LEN);
        memcpy(&dwValue, pCard + 38, 4);
        VXQ_F_DPS_MW_PutLe32(pCard + 38, dwValue);
    }
    int iRet = VXQ_F_DPS_MW_AnswerAndEnd(inout_pMcSrvData, pConn, pTrans, pAnswer, iTotal, pLine);
    free(pAnswer);
    return iRet;
}

/* The parked 320-byte request with the host's words (count clamped to 0..64,
 * words past the count 0), sent with its own length. A transaction that holds
 * another request sends nothing (the line's rules). */
int VXQ_F_DPS_MW_DoOrder_EVENT_E3_UNS_GET_USER_POP(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                   uint8_t *inout_pOrder, int32_t in_iLength)
{
    const _VXQ_S_DPS_FUNC_LINE *pLine = VXQ_F_DPS_MC_FindFuncLine(inout_pMcSrvData, P9_UNS_GET_USER_POP);
    _VXQ_S_DPS_NET_PORT_DATA *pConn;
    uint32_t dwTransId = VXQ_F_DPS_MW_AnswerBegin(inout_pMcSrvData, inout_pOrder, pLine);
    _VXQ_S_DPS_TRANS_DATA *pTrans =
        dwTransId != 0 ? VXQ_F_DPS_MW_FindTarget(inout_pMcSrvData, dwTransId, pLine, &pConn) : NULL;
    if (pTrans == NULL)
        return 0;
    _VXQ_S_DPS_E3_UNS_USER_POP tBody;
    int32_t iBodyLen = VXQ_F_DPS_MW_OrderLen(inout_pOrder, in_iLength) - PR_ORDER_HEAD;
    memset(&tBody, 0, sizeof(tBody));
    memcpy(&tBody, inout_pOrder + PR_ORDER_HEAD,
           (size_t)iBodyLen < sizeof(tBody) ? (size_t)iBodyLen : sizeof(tBody));
    uint8_t *pAnswer = (uint8_t *)pTrans->pRequDataBuf;
    int32_t iNum = PR_ClampChPopNum(tBody.tPop.iChPopNum);
    pAnswer[VXQ_DPS_UMSP_OFF_RESULT] = inout_pOrder[offsetof(_VXQ_S_DPS_MSG_HEAD, ucResult)];
    VXQ_F_DPS_MW_PutLe32(pAnswer + PR_BODY + 36, tBody.tPop.dwGlobalPop);
    VXQ_F_DPS_MW_PutLe32(pAnswer + PR_BODY + 40, (uint32_t)iNum);
    for (int32_t i = 0; i < PR_MAX_CH_POP_NUM; i++)
        VXQ_F_DPS_MW_PutLe32(pAnswer + PR_BODY + 44 + 4 * i, i < iNum ? tBody.tPop.dwChPop[i] : 0);
    return VXQ_F_DPS_MW_AnswerAndEnd(inout_pMcSrvData, pConn, pTrans, pAnswer, pTrans->iRequDataLen, pLine);
}
