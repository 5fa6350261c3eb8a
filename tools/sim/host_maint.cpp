/*
 * host_maint.cpp - serial port, custom messages, maintenance and upgrade for
 * the simulator. The serial port is a loopback: every byte a client writes
 * comes back to it as serial data. Custom messages are echoed. An upgrade is
 * written to upgrade.bin in the upgrade folder: a request starts it afresh (its
 * 32-bit value is taken as the image size), each piece is appended, progress
 * is the percentage of the announced size and the position is the byte count
 * received. Reboot is only logged; stop ends the simulator.
 */
#include "host.h"

#include <string.h>

#define PR_UPGRADE_FILE "upgrade.bin"

static void PR_UpgradePath(const _VXQ_S_SIMHOST_DATA *in_pHost, char *out_sPath, size_t in_nSize)
{
    snprintf(out_sPath, in_nSize, "%s/%s", in_pHost->pCfg->sUpgradeDir, PR_UPGRADE_FILE);
}

static void PR_CloseUpgrade(_VXQ_S_SIMHOST_DATA *inout_pHost)
{
    if (inout_pHost->pUpgradeFile != NULL)
        fclose(inout_pHost->pUpgradeFile);
    inout_pHost->pUpgradeFile = NULL;
}

void VXQ_F_SIMHOST_MaintUninit(_VXQ_S_SIMHOST_DATA *inout_pHost)
{
    PR_CloseUpgrade(inout_pHost);
}

static void PR_Serial(_VXQ_S_SIMHOST_DATA *in_pHost, const _VXQ_S_DPS_MSG_HEAD *in_pEvent, const uint8_t *in_pBody,
                      int in_iBodyLen)
{
    if (in_pEvent->iMsgFuncId == EVENT_E3_COM_OPEN && in_iBodyLen >= (int)sizeof(_VXQ_S_DPS_E3_COM_OPEN)) {
        _VXQ_S_DPS_E3_COM_OPEN tOpen;
        memcpy(&tOpen, in_pBody, sizeof(tOpen));
        VXQ_F_SIMHOST_Say("serial port opened by connection 0x%08X (line %u %u %u %u %u %u)%s", tOpen.i_dwPortId,
                          tOpen.i_dwLineParam[0], tOpen.i_dwLineParam[1], tOpen.i_dwLineParam[2],
                          tOpen.i_dwLineParam[3], tOpen.i_dwLineParam[4], tOpen.i_dwLineParam[5],
                          in_pHost->pCfg->bSerialLoopback ? ", loopback" : "");
        VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, VXQ_DPS_APP_ERR_SUCCESS, NULL, 0, NULL, 0);
    } else if (in_pEvent->iMsgFuncId == EVENT_E3_COM_CLOSE && in_iBodyLen >= (int)sizeof(_VXQ_S_DPS_E3_COM_CLOSE)) {
        _VXQ_S_DPS_E3_COM_CLOSE tClose;
        memcpy(&tClose, in_pBody, sizeof(tClose));
        VXQ_F_SIMHOST_Say("serial port of connection 0x%08X closed (%s)", tClose.dwPortId,
                          tClose.iCloseCause == VXQ_DPS_COM_CLOSE_BY_CLIENT ? "the client asked" : "the client went");
    } else if (in_pEvent->iMsgFuncId == EVENT_E3_COM_SEND_DATA &&
               in_iBodyLen >= (int)sizeof(_VXQ_S_DPS_E3_COM_SEND_DATA)) {
        _VXQ_S_DPS_E3_COM_SEND_DATA tSend;
        memcpy(&tSend, in_pBody, sizeof(tSend));
        int iDataLen = in_iBodyLen - (int)sizeof(tSend);
        if (tSend.i_iDataLen >= 0 && tSend.i_iDataLen < iDataLen)
            iDataLen = tSend.i_iDataLen;
        VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, VXQ_DPS_APP_ERR_SUCCESS, NULL, 0, NULL, 0);
        if (in_pHost->pCfg->bSerialLoopback && iDataLen > 0) {
            _VXQ_S_DPS_E3_COM_SUBS_DATA tData;
            memset(&tData, 0, sizeof(tData));
            tData.o_dwPortId = tSend.i_dwPortId;
            tData.o_dwValue1 = tSend.i_dwValue1;
            tData.o_dwValue2 = tSend.i_dwValue2;
            VXQ_F_SIMHOST_PostOrder(in_pHost, EVENT_E3_COM_SUBS_DATA, &tData, (int)sizeof(tData),
                                    in_pBody + sizeof(tSend), iDataLen);
        }
    } else if (in_pEvent->dwTransId != 0) {
        VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, VXQ_DPS_APP_ERR_PARAM, NULL, 0, NULL, 0);
    }
}

/* Starts an upgrade afresh: the file is emptied. Returns the result code. */
static uint8_t PR_StartUpgrade(_VXQ_S_SIMHOST_DATA *inout_pHost, uint32_t in_dwTotal)
{
    char sPath[VXQ_SIM_PATH_SIZE + 32];
    PR_UpgradePath(inout_pHost, sPath, sizeof(sPath));
    PR_CloseUpgrade(inout_pHost);
    inout_pHost->pUpgradeFile = fopen(sPath, "wb");
    inout_pHost->dwUpgradeBytes = 0;
    inout_pHost->dwUpgradeTotal = in_dwTotal;
    if (inout_pHost->pUpgradeFile == NULL) {
        VXQ_F_SIMHOST_Say("upgrade refused: cannot write %s", sPath);
        return VXQ_DPS_APP_ERR_FILE_OPERATION;
    }
    VXQ_F_SIMHOST_Say("upgrade started: %u bytes announced, written to %s", in_dwTotal, sPath);
    return VXQ_DPS_APP_ERR_SUCCESS;
}

/* Appends one piece; an upgrade never requested continues the file on disk.
 * A piece that would take the file beyond the configured size is refused. */
static uint8_t PR_UpgradeData(_VXQ_S_SIMHOST_DATA *inout_pHost, const uint8_t *in_pData, int in_iLen)
{
    if (inout_pHost->pUpgradeFile == NULL) {
        char sPath[VXQ_SIM_PATH_SIZE + 32];
        PR_UpgradePath(inout_pHost, sPath, sizeof(sPath));
        inout_pHost->pUpgradeFile = fopen(sPath, "ab");
        if (inout_pHost->pUpgradeFile == NULL)
            return VXQ_DPS_APP_ERR_FILE_OPERATION;
        long lSize = ftell(inout_pHost->pUpgradeFile);
        inout_pHost->dwUpgradeBytes = lSize > 0 ? (uint32_t)lSize : 0u;
    }
    if ((uint64_t)inout_pHost->dwUpgradeBytes + (uint64_t)in_iLen > (uint64_t)inout_pHost->pCfg->iUpgradeMaxBytes) {
        VXQ_F_SIMHOST_Say("upgrade data refused: the image would exceed %d bytes", inout_pHost->pCfg->iUpgradeMaxBytes);
        return VXQ_DPS_APP_ERR_PARAM;
    }
    if (in_iLen > 0 && (fwrite(in_pData, 1, (size_t)in_iLen, inout_pHost->pUpgradeFile) != (size_t)in_iLen ||
                        fflush(inout_pHost->pUpgradeFile) != 0)) {
        PR_CloseUpgrade(inout_pHost);
        return VXQ_DPS_APP_ERR_FILE_OPERATION;
    }
    inout_pHost->dwUpgradeBytes += (uint32_t)in_iLen;
    if (inout_pHost->dwUpgradeTotal != 0 && inout_pHost->dwUpgradeBytes >= inout_pHost->dwUpgradeTotal)
        VXQ_F_SIMHOST_Say("upgrade image complete: %u bytes received", inout_pHost->dwUpgradeBytes);
    return VXQ_DPS_APP_ERR_SUCCESS;
}

static void PR_Upgrade(_VXQ_S_SIMHOST_DATA *in_pHost, const _VXQ_S_DPS_MSG_HEAD *in_pEvent, const uint8_t *in_pBody,
                       int in_iBodyLen)
{
    const _VXQ_S_SIMCFG_DATA *pCfg = in_pHost->pCfg;
    switch (in_pEvent->iMsgFuncId) {
    case EVENT_E7_DUP_QUERY_DEV_VER_INFO: {
        _VXQ_S_DPS_E7_DUP_QUERY_DEV_VER_INFO tVer;
        memcpy(tVer.o_usVer, pCfg->usVersion, sizeof(tVer.o_usVer));
        memcpy(tVer.o_dwVer, pCfg->dwVersion, sizeof(tVer.o_dwVer));
        VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, VXQ_DPS_APP_ERR_SUCCESS, &tVer, (int)sizeof(tVer), NULL, 0);
        return;
    }
    case EVENT_E7_DUP_REQU_UPGRADE: {
        _VXQ_S_DPS_E7_DUP_REQU_UPGRADE tReq;
        memset(&tReq, 0, sizeof(tReq));
        memcpy(&tReq, in_pBody, in_iBodyLen < (int)sizeof(tReq) ? (size_t)in_iBodyLen : sizeof(tReq));
        uint8_t ucResult = PR_StartUpgrade(in_pHost, tReq.i_dwValue);
        tReq.o_dwAnswer = 0;
        VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, ucResult, &tReq, (int)sizeof(tReq), NULL, 0);
        return;
    }
    case EVENT_E7_DUP_QUERY_PROGRESS:
    case EVENT_E7_DUP_QUERY_TRANS_POS: {
        _VXQ_S_DPS_E7_DUP_QUERY tQuery;
        memset(&tQuery, 0, sizeof(tQuery));
        memcpy(&tQuery, in_pBody, in_iBodyLen < (int)sizeof(tQuery) ? (size_t)in_iBodyLen : sizeof(tQuery));
        if (in_pEvent->iMsgFuncId == EVENT_E7_DUP_QUERY_TRANS_POS) {
            tQuery.o_dwValue = in_pHost->dwUpgradeBytes;
        } else if (in_pHost->dwUpgradeTotal == 0) {
            tQuery.o_dwValue = 0;
        } else {
            uint64_t qwPercent = (uint64_t)in_pHost->dwUpgradeBytes * 100u / in_pHost->dwUpgradeTotal;
            tQuery.o_dwValue = qwPercent > 100u ? 100u : (uint32_t)qwPercent;
        }
        VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, VXQ_DPS_APP_ERR_SUCCESS, &tQuery, (int)sizeof(tQuery), NULL, 0);
        return;
    }
    default: { /* EVENT_E7_DUP_UPGRADE_DATA */
        _VXQ_S_DPS_E7_DUP_UPGRADE_DATA tData;
        if (in_iBodyLen < (int)sizeof(tData))
            return (void)VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, VXQ_DPS_APP_ERR_PARAM, NULL, 0, NULL, 0);
        memcpy(&tData, in_pBody, sizeof(tData));
        int iLen = in_iBodyLen - (int)sizeof(tData);
        if (tData.i_iDataLen >= 0 && tData.i_iDataLen < iLen)
            iLen = tData.i_iDataLen;
        uint8_t ucResult = PR_UpgradeData(in_pHost, in_pBody + sizeof(tData), iLen);
        VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, ucResult, &tData, (int)sizeof(tData), NULL, 0);
        return;
    }
    }
}

void VXQ_F_SIMHOST_MaintEvent(_VXQ_S_SIMHOST_DATA *in_pHost, const _VXQ_S_DPS_MSG_HEAD *in_pEvent,
                              const uint8_t *in_pBody, int in_iBodyLen)
{
    const _VXQ_S_SIMCFG_DATA *pCfg = in_pHost->pCfg;
    switch (in_pEvent->iMsgFuncId) {
    case EVENT_E3_COM_OPEN:
    case EVENT_E3_COM_CLOSE:
    case EVENT_E3_COM_SEND_DATA:
        PR_Serial(in_pHost, in_pEvent, in_pBody, in_iBodyLen);
        break;
    case EVENT_E7_CUSTOM: {
        _VXQ_S_DPS_E7_CUSTOM tCustom;
        if (in_iBodyLen < (int)sizeof(tCustom)) {
            VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, VXQ_DPS_APP_ERR_PARAM, NULL, 0, NULL, 0);
            break;
        }
        memcpy(&tCustom, in_pBody, sizeof(tCustom));
        tCustom.iDataLen = in_iBodyLen - (int)sizeof(tCustom);
        VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, VXQ_DPS_APP_ERR_SUCCESS, &tCustom, (int)sizeof(tCustom),
                             in_pBody + sizeof(tCustom), tCustom.iDataLen);
        break;
    }
    case EVENT_E7_RMY_QUERY_ABILITY: {
        _VXQ_S_DPS_E7_RMY_QUERY_ABILITY tAbility;
        memset(&tAbility, 0, sizeof(tAbility));
        memcpy(&tAbility, in_pBody, in_iBodyLen < (int)sizeof(tAbility) ? (size_t)in_iBodyLen : sizeof(tAbility));
        int iLen = (int)strlen(pCfg->sAbility) + 1;
        tAbility.o_dwValue = (uint32_t)iLen;
        VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, VXQ_DPS_APP_ERR_SUCCESS, &tAbility, (int)sizeof(tAbility),
                             pCfg->sAbility, iLen);
        break;
    }
    case EVENT_E7_RMY_REBOOT:
        VXQ_F_SIMHOST_Say("reboot asked by a client (simulated: the device keeps running)");
        break;
    case EVENT_E7_RMY_STOP:
        VXQ_F_SIMHOST_Say("stop asked by a client");
        in_pHost->bStopRequested = 1;
        break;
    case EVENT_E7_DUP_QUERY_DEV_VER_INFO:
    case EVENT_E7_DUP_REQU_UPGRADE:
    case EVENT_E7_DUP_QUERY_PROGRESS:
    case EVENT_E7_DUP_QUERY_TRANS_POS:
    case EVENT_E7_DUP_UPGRADE_DATA:
        PR_Upgrade(in_pHost, in_pEvent, in_pBody, in_iBodyLen);
        break;
    default:
        if (in_pEvent->dwTransId != 0)
            VXQ_F_SIMHOST_Answer(in_pHost, in_pEvent, VXQ_DPS_APP_ERR_NOT_SUPPORT, NULL, 0, NULL, 0);
        break;
    }
}
