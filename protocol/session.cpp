/*
 * session.cpp - heartbeat, access token, login, logout, claim, and the rights check.
 *
 * Body offsets below are counted from the end of the 20-byte head; every field
 * is read and written through the little-endian accessors of wire/head.h.
 */
#include "protocol/session.h"

#include "core/hostcall.h"
#include "protocol/admission.h"
#include "wire/head.h"
#include "wire/result.h"
#include "vxq_digest.h"
#include "vxq_log.h"
#include "vxq_syshelp.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Token answer fields. */
#define SESSION_TOKEN_OFF_VER_LOW 26
#define SESSION_TOKEN_OFF_VER_HIGH 27
#define SESSION_TOKEN_OFF_TEXT 28
#define SESSION_TOKEN_OFF_PWD_MODE 88

/* Login request and answer fields. */
#define SESSION_LOGIN_OFF_USER 0
#define SESSION_LOGIN_USER_LEN 32
#define SESSION_LOGIN_OFF_DIGEST 32
#define SESSION_LOGIN_DIGEST_HEX_LEN 32
#define SESSION_LOGIN_OFF_LOGIN_ID 288
#define SESSION_LOGIN_OFF_DEV_ID 292
#define SESSION_LOGIN_DEV_ID_MAX 8
#define SESSION_LOGIN_OFF_DEV_TEXT1 336
#define SESSION_LOGIN_OFF_DEV_TEXT2 368
#define SESSION_LOGIN_DEV_TEXT_LEN 32
#define SESSION_LOGIN_OFF_EMPTY1 400
#define SESSION_LOGIN_OFF_EMPTY2 436
#define SESSION_LOGIN_OFF_EMPTY3 468
#define SESSION_LOGIN_OFF_SPECIAL_CH 492
#define SESSION_LOGIN_OFF_CAP5 493
#define SESSION_LOGIN_OFF_VIDEO_NUM 500
#define SESSION_LOGIN_OFF_AUDIO_NUM 504
#define SESSION_LOGIN_OFF_CAP1 508
#define SESSION_LOGIN_OFF_CAP2 512
#define SESSION_LOGIN_OFF_CAP3 516

/* "%s:%s" of token and password must stay below this many bytes. */
#define SESSION_DIGEST_TEXT_SIZE 257

/* Claim fields. */
#define SESSION_CLAIM_OFF_CLAIM_ID 4
#define SESSION_CLAIM_OFF_CONN_ID 8

/* The body of a message: the bytes behind its 20-byte head. */
static uint8_t *PR_Body(uint8_t *in_pMsg)
{
    return in_pMsg + VXQ_DPS_UMSP_HEAD_LEN;
}

int VXQ_F_DPS_MW_DoNetMsg_P0_HEARTBEAT(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                       _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                       int32_t in_iLength)
{
    /* An answer to a heartbeat (or anything but a request) is not echoed again. */
    if (VXQ_F_DPS_MW_HeadPacketType(inout_pMsg) != VXQ_DPS_UMSP_PACKET_REQUEST)
        return 1;
    inout_pConn->bHeartbeat = 1;
    /* The result byte stays as the client sent it: only the type bits change. */
    VXQ_F_DPS_MW_HeadMakeAnswer(inout_pMsg, inout_pMsg[VXQ_DPS_UMSP_OFF_RESULT]);
    return VXQ_F_DPS_MW_SendNetAnswer(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, __func__);
}

int VXQ_F_DPS_MW_DoNetMsg_P1_VER_CONSULT_GET_TOKEN(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                                   _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                                   int32_t in_iLength)
{
    VXQ_F_DPS_MW_HeadMakeAnswer(inout_pMsg, VXQ_DPS_UMSP_RESULT_SUCCESS);
    VXQ_F_LOG_SR_ShowInfo("Receiving network data: version negotiation and access token request.");

    /* Peer address (as a signed host-order number), peer port, 31 random bits. */
    char sText[48];
    int iTextLen = snprintf(sText, sizeof(sText), "%d%d%d",
                            (int)(int32_t)VXQ_F_SYS_IpaddrStrToHostIpaddr(inout_pConn->szPeerIpaddr),
                            (int)inout_pConn->usPeerPort, (int)(VXQ_F_SYS_GetRandom32() & 0x7FFFFFFFu));
    char sEncoded[80];
    int iTokenLen = 0;
    if (iTextLen > 0 && Base64encode_len(iTextLen) <= (int)sizeof(sEncoded))
        iTokenLen = Base64encode(sEncoded, sText, iTextLen);
    /* iTokenLen counts the terminator; the token field holds 60 bytes. */
    if (iTokenLen <= 0 || iTokenLen + 1 > VXQ_DPS_TOKEN_MAX_LEN) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MW_DoNetMsg_P1_VER_CONSULT_GET_TOKEN iTokenLen error.", 2);
        return VXQ_F_DPS_MW_AnswerInPlace(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                                          VXQ_DPS_UMSP_RESULT_SERVICE_FAIL, __func__);
    }
    char *pToken = (char *)malloc((size_t)iTokenLen);
    if (!pToken) {
        VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MW_DoNetMsg_P1_VER_CONSULT_GET_TOKEN malloc fail.", 2);
        return VXQ_F_DPS_MW_AnswerInPlace(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                                          VXQ_DPS_UMSP_RESULT_SERVICE_FAIL, __func__);
    }
    memcpy(pToken, sEncoded, (size_t)iTokenLen);
    free(inout_pConn->pToken);
    inout_pConn->pToken = pToken;
    inout_pConn->iConnType = VXQ_DPS_CONN_COMMAND;

    uint8_t *pBody = PR_Body(inout_pMsg);
    pBody[SESSION_TOKEN_OFF_VER_LOW] = 17;
    pBody[SESSION_TOKEN_OFF_VER_HIGH] = 2;
    memset(pBody + SESSION_TOKEN_OFF_TEXT, 0, VXQ_DPS_TOKEN_MAX_LEN);
    memcpy(pBody + SESSION_TOKEN_OFF_TEXT, pToken, (size_t)iTokenLen);
    pBody[SESSION_TOKEN_OFF_PWD_MODE] = inout_pMcSrvData->ucPwdMode;
    return VXQ_F_DPS_MW_SendNetAnswer(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, __func__);
}

/* Copies at most in_iMax characters of a text field of in_iFieldSize bytes
 * (which need not be terminated) into a field of in_iOutSize bytes, zero-filled. */
static void PR_PutText(uint8_t *out_pField, size_t in_iOutSize, const char *in_sText, size_t in_iFieldSize,
                       size_t in_iMax)
{
    size_t iLen = strnlen(in_sText, in_iFieldSize);
    if (iLen > in_iMax)
        iLen = in_iMax;
    memset(out_pField, 0, in_iOutSize);
    memcpy(out_pField, in_sText, iLen);
}

/* Writes the device fields of a successful login answer from the capability record. */
static void PR_FillLoginAnswer(const _VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData, uint32_t in_dwLoginId,
                               uint8_t *inout_pBody)
{
    const _VXQ_S_DPS_DEV_CAP_INFO *pCap = &in_pMcSrvData->tDevCapInfo;
    VXQ_F_DPS_MW_PutLe32(inout_pBody + SESSION_LOGIN_OFF_LOGIN_ID, in_dwLoginId);
    /* The identification text: at most 8 characters, then zeros up to and including offset 300. */
    PR_PutText(inout_pBody + SESSION_LOGIN_OFF_DEV_ID, SESSION_LOGIN_DEV_ID_MAX + 1, pCap->sDevIdText,
               sizeof(pCap->sDevIdText), SESSION_LOGIN_DEV_ID_MAX);
    PR_PutText(inout_pBody + SESSION_LOGIN_OFF_DEV_TEXT1, SESSION_LOGIN_DEV_TEXT_LEN, pCap->sDevText1,
               sizeof(pCap->sDevText1), SESSION_LOGIN_DEV_TEXT_LEN - 1);
    PR_PutText(inout_pBody + SESSION_LOGIN_OFF_DEV_TEXT2, SESSION_LOGIN_DEV_TEXT_LEN, pCap->sDevText2,
               sizeof(pCap->sDevText2), SESSION_LOGIN_DEV_TEXT_LEN - 1);
    inout_pBody[SESSION_LOGIN_OFF_EMPTY1] = 0;
    inout_pBody[SESSION_LOGIN_OFF_EMPTY2] = 0;
    inout_pBody[SESSION_LOGIN_OFF_EMPTY3] = 0;
    inout_pBody[SESSION_LOGIN_OFF_SPECIAL_CH] = (uint8_t)pCap->bSpecialChFlag;
    inout_pBody[SESSION_LOGIN_OFF_CAP5] = (uint8_t)(pCap->iDevCapValue5 & 0xFF);
    VXQ_F_DPS_MW_PutLe32(inout_pBody + SESSION_LOGIN_OFF_VIDEO_NUM, (uint32_t)pCap->iVideoChanNum);
    VXQ_F_DPS_MW_PutLe32(inout_pBody + SESSION_LOGIN_OFF_AUDIO_NUM, (uint32_t)pCap->iAudioChanNum);
    VXQ_F_DPS_MW_PutLe32(inout_pBody + SESSION_LOGIN_OFF_CAP1, (uint32_t)pCap->iDevCapValue1);
    VXQ_F_DPS_MW_PutLe32(inout_pBody + SESSION_LOGIN_OFF_CAP2, (uint32_t)pCap->iDevCapValue2);
    VXQ_F_DPS_MW_PutLe32(inout_pBody + SESSION_LOGIN_OFF_CAP3, (uint32_t)pCap->iDevCapValue3);
}

/* Draws the random part of login ids (tests replace it). */
static VXQ_PF_DPS_RANDOM32 s_fnLoginIdRandom = nullptr;

VXQ_PF_DPS_RANDOM32 VXQ_F_DPS_MW_SetLoginIdRandom(VXQ_PF_DPS_RANDOM32 in_fnRandom)
{
    VXQ_PF_DPS_RANDOM32 fnOld = s_fnLoginIdRandom;
    s_fnLoginIdRandom = in_fnRandom;
    return fnOld;
}

/* 32 bits from the kernel's generator; the process's own generator, logged,
 * only where the kernel's cannot be read at all. */
static uint32_t PR_LoginIdRandom(void)
{
    uint32_t dwValue = 0;
    if (s_fnLoginIdRandom != nullptr)
        return s_fnLoginIdRandom();
    if (VXQ_F_SYS_GetSecureRandom(&dwValue, (int32_t)sizeof(dwValue)))
        return dwValue;
    VXQ_F_LOG_SR_WriteLog("VXQ_F_DPS_MW_DoNetMsg_P1_LOGIN VXQ_F_SYS_GetSecureRandom fail.", 2);
    return VXQ_F_SYS_GetRandom32();
}

/* A login id is all 32 bits random, so a guess hits one of n live ids with
 * probability n / 2^32; never 0 ("not logged in") and never an id a
 * connection holds, so a lookup by id finds one session. It names no table
 * slot: sessions are found by lookup. */
static uint32_t PR_NewLoginId(const _VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData)
{
    for (;;) {
        uint32_t dwId = PR_LoginIdRandom();
        int bTaken = dwId == 0;
        for (int32_t i = 0; i < VXQ_DPS_MAX_CONN_NUM && !bTaken; i++)
            bTaken = in_pMcSrvData->pConn[i] != nullptr && in_pMcSrvData->pConn[i]->dwLoginId == dwId;
        if (!bTaken)
            return dwId;
    }
}

/* Runs the login checks in their fixed order. Returns the result code; on
 * success *out_ptUser holds the user record the lookup filled. */
static uint8_t PR_CheckLogin(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData, _VXQ_S_DPS_NET_PORT_DATA *inout_pConn,
                             const uint8_t *in_pBody, _VXQ_S_DPS_USER_INFO *out_ptUser)
{
    char sUserName[SESSION_LOGIN_USER_LEN + 1];
    memcpy(sUserName, in_pBody + SESSION_LOGIN_OFF_USER, SESSION_LOGIN_USER_LEN);
    sUserName[SESSION_LOGIN_USER_LEN] = 0;
    if (sUserName[0] == 0) {
        VXQ_F_LOG_SR_ShowInfo("Client login failure, cause: user name is empty.");
        return 3;
    }
    if (!inout_pMcSrvData->fnQueryUserCallback) {
        VXQ_F_LOG_SR_ShowInfo("Client login failure, cause: Query user information callback function error");
        return VXQ_DPS_UMSP_RESULT_SERVICE_FAIL;
    }
    if (!inout_pConn->pUserInfo) {
        inout_pConn->pUserInfo = (_VXQ_S_DPS_USER_INFO *)calloc(1, sizeof(_VXQ_S_DPS_USER_INFO));
        if (!inout_pConn->pUserInfo) {
            VXQ_F_LOG_SR_ShowInfo("Client login failure, cause: malloc fail.");
            return VXQ_DPS_UMSP_RESULT_SERVICE_FAIL;
        }
    }
    /* The lookup fills a zeroed record of its own: the connection's record (and
     * with it the rights of an earlier login) changes only when this login succeeds. */
    memset(out_ptUser, 0, sizeof(*out_ptUser));
    if (!VXQ_F_DPS_MC_HostQueryUser(inout_pMcSrvData, sUserName, out_ptUser)) {
        VXQ_F_LOG_SR_ShowInfo("Client login failure, cause: User name error.");
        return 3;
    }
    /* The record names its user by the name the client logged in with, whatever
     * the lookup put there (VXQ_F_DPS_QueryTransUser reports it). */
    memset(out_ptUser->sUserName, 0, sizeof(out_ptUser->sUserName));
    memcpy(out_ptUser->sUserName, sUserName, strnlen(sUserName, sizeof(out_ptUser->sUserName)));
    char sPassword[sizeof(out_ptUser->sPassword) + 1];
    size_t iPasswordLen = strnlen(out_ptUser->sPassword, sizeof(out_ptUser->sPassword));
    memcpy(sPassword, out_ptUser->sPassword, iPasswordLen);
    sPassword[iPasswordLen] = 0;
    if (!inout_pConn->pToken || strlen(inout_pConn->pToken) + iPasswordLen + 2 >= SESSION_DIGEST_TEXT_SIZE) {
        VXQ_F_LOG_SR_ShowInfo("Client login failure, cause: token too size.");
        return VXQ_DPS_UMSP_RESULT_SERVICE_FAIL;
    }
    char sText[SESSION_DIGEST_TEXT_SIZE];
    snprintf(sText, sizeof(sText), "%s:%s", inout_pConn->pToken, sPassword);
    char sExpected[SESSION_LOGIN_DIGEST_HEX_LEN + 1];
    VXQ_TOOLS_MD5_EncodeString(sExpected, sText);
    memset(sText, 0, sizeof(sText));
    memset(sPassword, 0, sizeof(sPassword));
    /* 32 characters and the terminator, compared in constant time: the digest
     * field must hold exactly the lowercase digest. */
    if (!VXQ_F_DIGEST_ConstTimeEqual(sExpected, in_pBody + SESSION_LOGIN_OFF_DIGEST,
                                     SESSION_LOGIN_DIGEST_HEX_LEN + 1)) {
        VXQ_F_LOG_SR_ShowInfo("Client login failure, cause: password error.");
        return VXQ_DPS_UMSP_RESULT_PASSWORD_ERROR;
    }
    return VXQ_DPS_UMSP_RESULT_SUCCESS;
}

int VXQ_F_DPS_MW_DoNetMsg_P1_LOGIN(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                   _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                   int32_t in_iLength)
{
    VXQ_F_LOG_SR_ShowInfo("Receiving network data: client login request.");
    uint8_t *pBody = PR_Body(inout_pMsg);
    _VXQ_S_DPS_USER_INFO tUser;
    /* The hold is decided before the check, so success and failure wait alike
     * and the answer's timing tells a guesser nothing. */
    int32_t iDelaySec = VXQ_F_DPS_MC_ADMIT_LoginDelaySec(inout_pMcSrvData, inout_pConn->szPeerIpaddr);
    uint8_t ucResult = PR_CheckLogin(inout_pMcSrvData, inout_pConn, pBody, &tUser);
    if (ucResult == 3 || ucResult == VXQ_DPS_UMSP_RESULT_PASSWORD_ERROR)
        VXQ_F_DPS_MC_ADMIT_NoteLogin(inout_pMcSrvData, inout_pConn->szPeerIpaddr, 1);
    if (ucResult == VXQ_DPS_UMSP_RESULT_SUCCESS) {
        VXQ_F_DPS_MC_ADMIT_NoteLogin(inout_pMcSrvData, inout_pConn->szPeerIpaddr, 0);
        inout_pConn->dwLoginId = PR_NewLoginId(inout_pMcSrvData);
        memcpy(inout_pConn->pUserInfo, &tUser, sizeof(tUser));
        PR_FillLoginAnswer(inout_pMcSrvData, inout_pConn->dwLoginId, pBody);
    }
    memset(&tUser, 0, sizeof(tUser));
    if (iDelaySec > 0) {
        VXQ_F_DPS_MW_HeadMakeAnswer(inout_pMsg, ucResult);
        return VXQ_F_DPS_MC_ADMIT_HoldAnswer(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, iDelaySec,
                                             0);
    }
    return VXQ_F_DPS_MW_AnswerInPlace(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength, ucResult,
                                      __func__);
}

int VXQ_F_DPS_MW_DoNetMsg_P1_LOGOUT(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                    _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                    int32_t in_iLength)
{
    inout_pConn->dwLoginId = 0;
    VXQ_F_DPS_MC_ADMIT_NoteLogout(inout_pMcSrvData, inout_pConn);
    /* The user's rights leave with the login: a logged-out connection passes no rights check. */
    free(inout_pConn->pUserInfo);
    inout_pConn->pUserInfo = nullptr;
    return VXQ_F_DPS_MW_AnswerInPlace(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                                      VXQ_DPS_UMSP_RESULT_SUCCESS, __func__);
}

int VXQ_F_DPS_MW_DoNetMsg_P1_CLAIM_CHANNEL(_VXQ_S_DPS_MCSRV_DATA *inout_pMcSrvData,
                                           _VXQ_S_DPS_NET_PORT_DATA *inout_pConn, uint8_t *inout_pMsg,
                                           int32_t in_iLength)
{
    uint8_t *pBody = PR_Body(inout_pMsg);
    inout_pConn->dwClaimId = VXQ_F_DPS_MW_GetLe32(pBody + SESSION_CLAIM_OFF_CLAIM_ID);
    VXQ_F_DPS_MW_PutLe32(pBody + SESSION_CLAIM_OFF_CONN_ID, inout_pConn->dwConnId);
    return VXQ_F_DPS_MW_AnswerInPlace(inout_pMcSrvData, inout_pConn, inout_pMsg, in_iLength,
                                      VXQ_DPS_UMSP_RESULT_SUCCESS, __func__);
}

int VXQ_F_DPS_MC_APUP_PopCheck(const _VXQ_S_DPS_MCSRV_DATA *in_pMcSrvData,
                               const _VXQ_S_DPS_NET_PORT_DATA *in_pConn, int32_t in_iChNo,
                               uint32_t in_dwPopBit)
{
    if (!in_pMcSrvData || !in_pConn)
        return 0;
    if (in_iChNo == VXQ_DPS_SPECIAL_CH_NO && in_pMcSrvData->tDevCapInfo.bSpecialChFlag)
        return 1;
    const _VXQ_S_DPS_USER_INFO *pUser = in_pConn->pUserInfo;
    if (!pUser)
        return 0;
    if (pUser->dwPopMask & in_dwPopBit)
        return 1;
    if (in_iChNo < 0 || in_iChNo >= (int32_t)(sizeof(pUser->dwChPopMask) / sizeof(pUser->dwChPopMask[0])))
        return 0;
    return (pUser->dwChPopMask[in_iChNo] & in_dwPopBit) ? 1 : 0;
}
