/*
 * host_config.cpp - configuration blocks, network address and users for the
 * simulator. Blocks live in the configuration folder, one file "<id>.bin" per
 * configuration function id; a block never written reads as its default (the
 * file "default-<id>.bin" when present, else zeros of the block's size). Import
 * and export move every stored block in one container:
 *   "DPSSIMCF", then per block: u32 id, u32 length, the block (little-endian).
 * Network cards and users come from the INI file and are written back to it.
 */
#include "host.h"

#include <arpa/inet.h>
#include <stdlib.h>
#include <string.h>

#define PR_CONTAINER_MAGIC "DPSSIMCF"
#define PR_CONTAINER_MAGIC_LEN 8
/* Largest block the simulator keeps. */
#define PR_MAX_BLOCK (256 * 1024)

/* The configuration function ids the protocol knows, with the smallest block
 * each takes (and the size of its zero default). */
typedef struct _VXQ_S_SIMHOST_BLOCK_KIND {
    int32_t iId;
    int32_t iMinLen;
} _VXQ_S_SIMHOST_BLOCK_KIND;

static const _VXQ_S_SIMHOST_BLOCK_KIND s_tKinds[] = {
    {1, 0},    {2, 68},  {3, 228}, {4, 4},   {5, 268}, {6, 696}, {7, 564}, {8, 564},  {9, 540},
    {20, 12},  {21, 172}, {22, 4}, {40, 8},  {41, 28}, {50, 876}, {51, 32}, {60, 196}, {61, 4},
};

static const _VXQ_S_SIMHOST_BLOCK_KIND *PR_Kind(int32_t in_iId)
{
    for (size_t i = 0; i < sizeof(s_tKinds) / sizeof(s_tKinds[0]); i++)
        if (s_tKinds[i].iId == in_iId)
            return &s_tKinds[i];
    return NULL;
}

/* Reads a whole file (at most PR_MAX_BLOCK bytes) into a new buffer. 1 when it
 * exists and was read; *out_ppData is freed by the caller. */
static int PR_ReadFile(const char *in_sPath, uint8_t **out_ppData, int *out_piLen)
{
    *out_ppData = NULL;
    *out_piLen = 0;
    FILE *pFile = fopen(in_sPath, "rb");
    if (pFile == NULL)
        return 0;
    uint8_t *pData = (uint8_t *)malloc(PR_MAX_BLOCK);
    size_t nLen = pData ? fread(pData, 1, PR_MAX_BLOCK, pFile) : 0;
    int bOk = pData != NULL && !ferror(pFile);
    fclose(pFile);
    if (!bOk) {
        free(pData);
        return 0;
    }
    *out_ppData = pData;
    *out_piLen = (int)nLen;
    return 1;
}

/* Replaces a file through a temporary file, so a crash never leaves half a block. */
static int PR_WriteFile(const char *in_sPath, const void *in_pData, int in_iLen)
{
    char sTemp[VXQ_SIM_PATH_SIZE + 128];
    snprintf(sTemp, sizeof(sTemp), "%s.tmp", in_sPath);
    FILE *pFile = fopen(sTemp, "wb");
    if (pFile == NULL)
        return 0;
    int bOk = (in_iLen == 0 || fwrite(in_pData, 1, (size_t)in_iLen, pFile) == (size_t)in_iLen);
    bOk = (fclose(pFile) == 0) && bOk;
    if (!bOk || rename(sTemp, in_sPath) != 0) {
        remove(sTemp);
        return 0;
    }
    return 1;
}

/* The stored block of in_iId, or its default; 0 for an unknown id. */
static int PR_LoadBlock(const _VXQ_S_SIMCFG_DATA *in_pCfg, int32_t in_iId, int in_bDefault, uint8_t **out_ppData,
                        int *out_piLen)
{
    const _VXQ_S_SIMHOST_BLOCK_KIND *pKind = PR_Kind(in_iId);
    if (pKind == NULL)
        return 0;
    char sPath[VXQ_SIM_PATH_SIZE + 64];
    if (!in_bDefault) {
        snprintf(sPath, sizeof(sPath), "%s/%d.bin", in_pCfg->sConfigDir, in_iId);
        if (PR_ReadFile(sPath, out_ppData, out_piLen))
            return 1;
    }
    snprintf(sPath, sizeof(sPath), "%s/default-%d.bin", in_pCfg->sConfigDir, in_iId);
    if (PR_ReadFile(sPath, out_ppData, out_piLen))
        return 1;
    *out_ppData = (uint8_t *)calloc(1, (size_t)pKind->iMinLen + 1u);
    *out_piLen = pKind->iMinLen;
    return *out_ppData != NULL;
}

/* Stores a block after checking its id and length; returns the result code. */
static uint8_t PR_StoreBlock(const _VXQ_S_SIMCFG_DATA *in_pCfg, int32_t in_iId, const uint8_t *in_pData, int in_iLen)
{
    const _VXQ_S_SIMHOST_BLOCK_KIND *pKind = PR_Kind(in_iId);
    if (pKind == NULL || in_iLen < pKind->iMinLen || in_iLen > PR_MAX_BLOCK)
        return VXQ_DPS_APP_ERR_PARAM;
    char sPath[VXQ_SIM_PATH_SIZE + 64];
    snprintf(sPath, sizeof(sPath), "%s/%d.bin", in_pCfg->sConfigDir, in_iId);
    return PR_WriteFile(sPath, in_pData, in_iLen) ? VXQ_DPS_APP_ERR_SUCCESS : VXQ_DPS_APP_ERR_FILE_OPERATION;
}

static void PR_PutU32(uint8_t *out_p, uint32_t in_dw)
{
    out_p[0] = (uint8_t)in_dw;
    out_p[1] = (uint8_t)(in_dw >> 8);
    out_p[2] = (uint8_t)(in_dw >> 16);
    out_p[3] = (uint8_t)(in_dw >> 24);
}

static uint32_t PR_GetU32(const uint8_t *in_p)
{
    return (uint32_t)in_p[0] | ((uint32_t)in_p[1] << 8) | ((uint32_t)in_p[2] << 16) | ((uint32_t)in_p[3] << 24);
}

/* Answers the export: every stored block in one container. */
static void PR_Export(_VXQ_S_SIMHOST_DATA *in_pHost, const _VXQ_S_DPS_MSG_HEAD *in_pEvent)
{
    size_t nCap = PR_CONTAINER_MAGIC_LEN;
    size_t nLen = PR_CONTAINER_MAGIC_LEN;
    uint8_t *pOut = (uint8_t *)malloc(nCap);
    uint8_t ucResult = pOut ? VXQ_DPS_APP_ERR_SUCCESS : VXQ_DPS_APP_ERR_OTHER;
    if (pOut)
        memcpy(pOut, PR_CONTAINER_MAGIC, PR_CONTAINER_MAGIC_LEN);
    for (size_t i = 0; pOut && i < sizeof(s_tKinds) / sizeof(s_tKinds[0]); i++) {
        char sPath[VXQ_SIM_PATH_SIZE + 64];
        snprintf(sPath, sizeof(sPath), "%s/%d.bin", in_pHost->pCfg->sConfigDir, s_tKinds[i].iId);
        uint8_t *pData = NULL;
        int iLen = 0;
        if (!PR_ReadFile(sPath, &pData, &iLen))
            continue;
        uint8_t *pGrown = (uint8_t *)realloc(pOut, nLen + 8u + (size_t)iLen);
        if (pGrown == NULL) {
            free(pData);
            ucResult = VXQ_DPS_APP_ERR_OTHER;
            break;
        }
        pOut = pGrown;
        PR_PutU32(pOut + nLen, (uint32_t)s_tKinds[i].iId);
        PR_PutU32(pOut + nLen + 4, (uint32_t)iLen);
        memcpy(pOut + nLen + 8, pData, (size_t)iLen);
        nLen += 8u + (size_t)iLen;
        free(pData);
    }
    _VXQ_S_DPS_E3_IEC_EXP_CONFIG tExp;
    tExp.o_iDataLen = ucResult == VXQ_DPS_APP_ERR_SUCCESS ? (int32_t)nLen : 0;
    VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, ucResult, &tExp, (int)sizeof(tExp), pOut, tExp.o_iDataLen);
    VXQ_F_SIMHOST_Say("configuration exported: %d bytes", tExp.o_iDataLen);
    free(pOut);
}

/* Checks the whole container first, then stores its blocks; returns the result. */
static uint8_t PR_Import(const _VXQ_S_SIMCFG_DATA *in_pCfg, const uint8_t *in_pData, int in_iLen)
{
    if (in_iLen < PR_CONTAINER_MAGIC_LEN || memcmp(in_pData, PR_CONTAINER_MAGIC, PR_CONTAINER_MAGIC_LEN) != 0)
        return VXQ_DPS_APP_ERR_PARAM;
    for (int iPass = 0; iPass < 2; iPass++) {
        int iPos = PR_CONTAINER_MAGIC_LEN;
        while (iPos < in_iLen) {
            if (in_iLen - iPos < 8)
                return VXQ_DPS_APP_ERR_PARAM;
            int32_t iId = (int32_t)PR_GetU32(in_pData + iPos);
            uint32_t dwLen = PR_GetU32(in_pData + iPos + 4);
            const _VXQ_S_SIMHOST_BLOCK_KIND *pKind = PR_Kind(iId);
            if (pKind == NULL || dwLen > (uint32_t)(in_iLen - iPos - 8) || dwLen < (uint32_t)pKind->iMinLen)
                return VXQ_DPS_APP_ERR_PARAM;
            if (iPass == 1) {
                uint8_t ucResult = PR_StoreBlock(in_pCfg, iId, in_pData + iPos + 8, (int)dwLen);
                if (ucResult != VXQ_DPS_APP_ERR_SUCCESS)
                    return ucResult;
            }
            iPos += 8 + (int)dwLen;
        }
    }
    return VXQ_DPS_APP_ERR_SUCCESS;
}

static void PR_ConfigBlocks(_VXQ_S_SIMHOST_DATA *in_pHost, const _VXQ_S_DPS_MSG_HEAD *in_pEvent,
                            const uint8_t *in_pBody, int in_iBodyLen)
{
    const _VXQ_S_SIMCFG_DATA *pCfg = in_pHost->pCfg;
    int32_t iId = in_pEvent->iMsgFuncId;
    if (iId == EVENT_E3_GET_CONFIG || iId == EVENT_E3_SET_CONFIG) {
        _VXQ_S_DPS_E3_CONFIG tCfg;
        if (in_iBodyLen < (int)sizeof(tCfg))
            return (void)VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, VXQ_DPS_APP_ERR_PARAM, NULL, 0, NULL, 0);
        memcpy(&tCfg, in_pBody, sizeof(tCfg));
        const uint8_t *pData = in_pBody + sizeof(tCfg);
        int iDataLen = in_iBodyLen - (int)sizeof(tCfg);
        if (iId == EVENT_E3_SET_CONFIG) {
            uint8_t ucResult = PR_StoreBlock(pCfg, tCfg.i_iConfigFuncId, pData, iDataLen);
            VXQ_F_SIMHOST_Say("configuration %d set (%d bytes): result %u", tCfg.i_iConfigFuncId, iDataLen, ucResult);
            VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, ucResult, &tCfg, (int)sizeof(tCfg), NULL, 0);
            return;
        }
        uint8_t *pBlock = NULL;
        int iLen = 0;
        if (!PR_LoadBlock(pCfg, tCfg.i_iConfigFuncId, 0, &pBlock, &iLen)) {
            tCfg.iConfigDataLen = 0;
            VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, VXQ_DPS_APP_ERR_PARAM, &tCfg, (int)sizeof(tCfg), NULL, 0);
            return;
        }
        tCfg.iConfigDataLen = iLen;
        VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, VXQ_DPS_APP_ERR_SUCCESS, &tCfg, (int)sizeof(tCfg), pBlock, iLen);
        free(pBlock);
    } else if (iId == EVENT_E3_GET_DEF_CONFIG) {
        _VXQ_S_DPS_E3_GET_DEF_CONFIG tDef;
        if (in_iBodyLen < (int)sizeof(tDef))
            return (void)VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, VXQ_DPS_APP_ERR_PARAM, NULL, 0, NULL, 0);
        memcpy(&tDef, in_pBody, sizeof(tDef));
        uint8_t *pBlock = NULL;
        int iLen = 0;
        if (!PR_LoadBlock(pCfg, tDef.i_iConfigFuncId, 1, &pBlock, &iLen)) {
            VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, VXQ_DPS_APP_ERR_PARAM, &tDef, (int)sizeof(tDef), NULL, 0);
            return;
        }
        tDef.o_dwValue = (uint32_t)iLen;
        VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, VXQ_DPS_APP_ERR_SUCCESS, &tDef, (int)sizeof(tDef), pBlock, iLen);
        free(pBlock);
    } else if (iId == EVENT_E3_IEC_IMP_CONFIG) {
        _VXQ_S_DPS_E3_IEC_IMP_CONFIG tImp;
        uint8_t ucResult = VXQ_DPS_APP_ERR_PARAM;
        if (in_iBodyLen >= (int)sizeof(tImp)) {
            memcpy(&tImp, in_pBody, sizeof(tImp));
            int iLen = in_iBodyLen - (int)sizeof(tImp);
            if (tImp.i_iDataLen >= 0 && tImp.i_iDataLen < iLen)
                iLen = tImp.i_iDataLen;
            ucResult = PR_Import(pCfg, in_pBody + sizeof(tImp), iLen);
        }
        VXQ_F_SIMHOST_Say("configuration import: result %u", ucResult);
        VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, ucResult, NULL, 0, NULL, 0);
    } else {
        PR_Export(in_pHost, in_pEvent);
    }
}

/* Packs one card as the wire carries it: 90 bytes, the value unaligned at 38. */
static void PR_PackCard(const _VXQ_S_SIMCFG_NET_CARD *in_pCard, uint8_t *out_pWire)
{
    memset(out_pWire, 0, VXQ_DPS_CARD_INFO_WIRE_LEN);
    memcpy(out_pWire, in_pCard->sName, 32);
    memcpy(out_pWire + 32, in_pCard->ucMac, 6);
    memcpy(out_pWire + 38, &in_pCard->dwValue, 4);
    memcpy(out_pWire + 42, in_pCard->sIpAddr, 16);
    memcpy(out_pWire + 58, in_pCard->sNetMask, 16);
    memcpy(out_pWire + 74, in_pCard->sGateway, 16);
}

/* 1 for a dotted IPv4 address text of at most 15 characters. */
static int PR_IsAddr(const char *in_sText)
{
    struct in_addr tAddr;
    return strlen(in_sText) < 16 && inet_pton(AF_INET, in_sText, &tAddr) == 1;
}

static void PR_Network(_VXQ_S_SIMHOST_DATA *in_pHost, const _VXQ_S_DPS_MSG_HEAD *in_pEvent, const uint8_t *in_pBody,
                       int in_iBodyLen)
{
    _VXQ_S_SIMCFG_DATA *pCfg = in_pHost->pCfg;
    if (in_pEvent->iMsgFuncId == EVENT_E3_QUERY_NET_INFO) {
        uint8_t ucCards[VXQ_SIM_MAX_NET_CARD * VXQ_DPS_CARD_INFO_WIRE_LEN];
        VXQ_F_THREAD_Mutex_Lock(in_pHost->hCfgLock);
        int32_t iNum = pCfg->iNetCardNum;
        for (int i = 0; i < iNum; i++)
            PR_PackCard(&pCfg->tNetCard[i], ucCards + i * VXQ_DPS_CARD_INFO_WIRE_LEN);
        VXQ_F_THREAD_Mutex_Unlock(in_pHost->hCfgLock);
        VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, VXQ_DPS_APP_ERR_SUCCESS, &iNum, (int)sizeof(iNum), ucCards,
                             iNum * VXQ_DPS_CARD_INFO_WIRE_LEN);
        return;
    }
    _VXQ_S_DPS_E3_MODIFY_NET_ADDR tMod;
    uint8_t ucResult = VXQ_DPS_APP_ERR_PARAM;
    if (in_iBodyLen >= (int)sizeof(tMod)) {
        memcpy(&tMod, in_pBody, sizeof(tMod));
        tMod.i_sCardName[31] = tMod.i_sAddr1[15] = tMod.i_sAddr2[15] = tMod.i_sAddr3[15] = 0;
        VXQ_F_THREAD_Mutex_Lock(in_pHost->hCfgLock);
        int iIndex = -1;
        for (int i = 0; i < pCfg->iNetCardNum; i++)
            if (strcmp(pCfg->tNetCard[i].sName, tMod.i_sCardName) == 0)
                iIndex = i;
        if (iIndex >= 0 && PR_IsAddr(tMod.i_sAddr1) && PR_IsAddr(tMod.i_sAddr2) && PR_IsAddr(tMod.i_sAddr3)) {
            _VXQ_S_SIMCFG_NET_CARD tCard;
            memset(&tCard, 0, sizeof(tCard));
            memcpy(tCard.sName, tMod.i_sCardName, sizeof(tCard.sName));
            memcpy(tCard.ucMac, tMod.i_ucMacAddr, sizeof(tCard.ucMac));
            tCard.dwValue = tMod.i_dwValue;
            memcpy(tCard.sIpAddr, tMod.i_sAddr1, 16);
            memcpy(tCard.sNetMask, tMod.i_sAddr2, 16);
            memcpy(tCard.sGateway, tMod.i_sAddr3, 16);
            ucResult = VXQ_F_SIMCFG_SetNetCard(pCfg, iIndex, &tCard) ? VXQ_DPS_APP_ERR_SUCCESS
                                                                    : VXQ_DPS_APP_ERR_FILE_OPERATION;
        }
        VXQ_F_THREAD_Mutex_Unlock(in_pHost->hCfgLock);
        VXQ_F_SIMHOST_Say("network address of '%s' set to %s/%s via %s: result %u", tMod.i_sCardName, tMod.i_sAddr1,
                          tMod.i_sAddr2, tMod.i_sAddr3, ucResult);
    }
    VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, ucResult, NULL, 0, NULL, 0);
}

/* Copies a text field of the event into a terminated buffer. */
static void PR_Text(const char *in_sField, size_t in_nField, char *out_sText)
{
    memcpy(out_sText, in_sField, in_nField);
    out_sText[in_nField] = 0;
}

static void PR_Users(_VXQ_S_SIMHOST_DATA *in_pHost, const _VXQ_S_DPS_MSG_HEAD *in_pEvent, const uint8_t *in_pBody,
                     int in_iBodyLen)
{
    _VXQ_S_SIMCFG_DATA *pCfg = in_pHost->pCfg;
    int32_t iId = in_pEvent->iMsgFuncId;
    uint8_t ucResult = VXQ_DPS_APP_ERR_PARAM;
    char sName[33];
    char sPassword[33];
    char sNew[33];
    VXQ_F_THREAD_Mutex_Lock(in_pHost->hCfgLock);
    if (iId == EVENT_E3_UNS_ADD_USER && in_iBodyLen >= (int)sizeof(_VXQ_S_DPS_E3_UNS_ADD_USER)) {
        _VXQ_S_DPS_E3_UNS_ADD_USER tAdd;
        memcpy(&tAdd, in_pBody, sizeof(tAdd));
        PR_Text(tAdd.i_sUserName, 32, sName);
        PR_Text(tAdd.i_sPassword, 32, sPassword);
        if (!VXQ_F_SIMCFG_CheckUserText(sName) || VXQ_F_SIMCFG_FindUser(pCfg, sName))
            ucResult = VXQ_DPS_APP_ERR_USER_NAME;
        else if (!VXQ_F_SIMCFG_CheckUserText(sPassword))
            ucResult = VXQ_DPS_APP_ERR_PASSWORD;
        else if (VXQ_F_SIMCFG_AddUser(pCfg, sName, sPassword, tAdd.i_tPop.dwGlobalPop, tAdd.i_tPop.iChPopNum,
                                      tAdd.i_tPop.dwChPop))
            ucResult = VXQ_DPS_APP_ERR_SUCCESS;
        else
            ucResult = VXQ_DPS_APP_ERR_RESOURCE_NO_IDLE;
        VXQ_F_SIMHOST_Say("add user '%s': result %u", sName, ucResult);
    } else if (iId == EVENT_E3_UNS_DEL_USER && in_iBodyLen >= (int)sizeof(_VXQ_S_DPS_E3_UNS_DEL_USER)) {
        PR_Text((const char *)in_pBody, 32, sName);
        ucResult = VXQ_F_SIMCFG_DelUser(pCfg, sName) ? VXQ_DPS_APP_ERR_SUCCESS : VXQ_DPS_APP_ERR_USER_NAME;
        VXQ_F_SIMHOST_Say("delete user '%s': result %u", sName, ucResult);
    } else if ((iId == EVENT_E3_UNS_GET_USER_POP || iId == EVENT_E3_UNS_SET_USER_POP) &&
               in_iBodyLen >= (int)sizeof(_VXQ_S_DPS_E3_UNS_USER_POP)) {
        _VXQ_S_DPS_E3_UNS_USER_POP tPop;
        memcpy(&tPop, in_pBody, sizeof(tPop));
        PR_Text(tPop.i_sUserName, 32, sName);
        const _VXQ_S_SIMCFG_USER *pUser = VXQ_F_SIMCFG_FindUser(pCfg, sName);
        if (pUser == NULL) {
            ucResult = VXQ_DPS_APP_ERR_USER_NAME;
        } else if (iId == EVENT_E3_UNS_SET_USER_POP) {
            ucResult = VXQ_F_SIMCFG_SetUserPop(pCfg, sName, tPop.tPop.dwGlobalPop, tPop.tPop.iChPopNum,
                                               tPop.tPop.dwChPop)
                           ? VXQ_DPS_APP_ERR_SUCCESS
                           : VXQ_DPS_APP_ERR_FILE_OPERATION;
            VXQ_F_SIMHOST_Say("rights of user '%s' set to 0x%X: result %u", sName, tPop.tPop.dwGlobalPop, ucResult);
        } else {
            memset(&tPop.tPop, 0, sizeof(tPop.tPop));
            tPop.tPop.dwGlobalPop = pUser->dwPopMask;
            tPop.tPop.iChPopNum = pUser->iChPopNum;
            memcpy(tPop.tPop.dwChPop, pUser->dwChPopMask, sizeof(tPop.tPop.dwChPop));
            ucResult = VXQ_DPS_APP_ERR_SUCCESS;
        }
        VXQ_F_THREAD_Mutex_Unlock(in_pHost->hCfgLock);
        VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, ucResult, &tPop, (int)sizeof(tPop), NULL, 0);
        return;
    } else if (iId == EVENT_E3_MODIFY_USER_PWD && in_iBodyLen >= (int)sizeof(_VXQ_S_DPS_E3_MODIFY_USER_PWD)) {
        /* The three texts: the user's name, the old password, the new one. */
        _VXQ_S_DPS_E3_MODIFY_USER_PWD tPwd;
        memcpy(&tPwd, in_pBody, sizeof(tPwd));
        PR_Text(tPwd.i_sText1, 32, sName);
        PR_Text(tPwd.i_sText2, 32, sPassword);
        PR_Text(tPwd.i_sText3, 32, sNew);
        const _VXQ_S_SIMCFG_USER *pUser = VXQ_F_SIMCFG_FindUser(pCfg, sName);
        if (pUser == NULL)
            ucResult = VXQ_DPS_APP_ERR_USER_NAME;
        else if (strcmp(pUser->sPassword, sPassword) != 0)
            ucResult = VXQ_DPS_APP_ERR_PASSWORD;
        else if (!VXQ_F_SIMCFG_CheckUserText(sNew))
            ucResult = VXQ_DPS_APP_ERR_PARAM;
        else
            ucResult = VXQ_F_SIMCFG_SetUserPassword(pCfg, sName, sNew) ? VXQ_DPS_APP_ERR_SUCCESS
                                                                        : VXQ_DPS_APP_ERR_FILE_OPERATION;
        VXQ_F_SIMHOST_Say("password change of user '%s': result %u", sName, ucResult);
    }
    VXQ_F_THREAD_Mutex_Unlock(in_pHost->hCfgLock);
    VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, ucResult, NULL, 0, NULL, 0);
}

void VXQ_F_SIMHOST_ConfigEvent(_VXQ_S_SIMHOST_DATA *in_pHost, const _VXQ_S_DPS_MSG_HEAD *in_pEvent,
                               const uint8_t *in_pBody, int in_iBodyLen)
{
    switch (in_pEvent->iMsgFuncId) {
    case EVENT_E3_GET_CONFIG:
    case EVENT_E3_SET_CONFIG:
    case EVENT_E3_GET_DEF_CONFIG:
    case EVENT_E3_IEC_IMP_CONFIG:
    case EVENT_E3_IEC_EXP_CONFIG:
        PR_ConfigBlocks(in_pHost, in_pEvent, in_pBody, in_iBodyLen);
        break;
    case EVENT_E3_QUERY_NET_INFO:
    case EVENT_E3_MODIFY_NET_ADDR:
        PR_Network(in_pHost, in_pEvent, in_pBody, in_iBodyLen);
        break;
    default:
        PR_Users(in_pHost, in_pEvent, in_pBody, in_iBodyLen);
        break;
    }
}
