/* The byte streams of two client connections through framing, dispatch and the
 * order handling, with a host that answers every event. The input is a script:
 *   op % 8 = 0..2  bytes for connection (op / 8) % 2: a length byte, then that many bytes
 *   op % 8 = 3     the same, with the login id of connection 0 written at body offset 0
 *   op % 8 = 4     the peer of connection (op / 8) % 2 disconnects and a new one connects
 *   op % 8 = 5     the host answers the raised events with the result of the next byte
 *   op % 8 = 6     the clock advances by the next byte times 100 ms (timer duties run)
 *   op % 8 = 7     connection (op / 8) % 2 asks for a token and logs in as the one user */
#include "fuzz_service.h"

#include "core/conn.h"
#include "wire/head.h"
#include "support/offline_stream.h"
#include "vxq_digest.h"

#include <stdio.h>
#include <string.h>

#include <vector>

static uint32_t s_dwPortId[2];
static uint32_t s_dwGeneration = 1;

static void PR_NewConn(_VXQ_S_DPS_MCSRV_DATA *p, int in_iConn)
{
    s_dwPortId[in_iConn] = (s_dwGeneration++ << 16) | (uint32_t)(in_iConn + 1);
    VXQ_F_OFFLINE_StreamConnect(p, s_dwPortId[in_iConn], in_iConn == 0 ? "10.1.1.1" : "10.1.1.2");
}

static std::vector<uint8_t> PR_Msg(uint16_t in_usFuncId, size_t in_iBodyLen)
{
    std::vector<uint8_t> tMsg(20 + in_iBodyLen, 0);
    VXQ_F_DPS_MW_PutLe32(tMsg.data(), 0xFFFFEEEEu);
    VXQ_F_DPS_MW_PutLe32(tMsg.data() + 4, (uint32_t)tMsg.size());
    tMsg[8] = (uint8_t)in_usFuncId;
    tMsg[9] = (uint8_t)(in_usFuncId >> 8);
    return tMsg;
}

static void PR_Login(_VXQ_S_DPS_MCSRV_DATA *p, int in_iConn)
{
    VXQ_F_OFFLINE_StreamData(p, s_dwPortId[in_iConn], PR_Msg(P1_VER_CONSULT_GET_TOKEN, 89));
    _VXQ_S_DPS_NET_PORT_DATA *pConn = VXQ_F_DPS_MC_NetPortData_QueryByPortId(p, s_dwPortId[in_iConn]);
    if (pConn == NULL || pConn->pToken == NULL || pConn->pDelayRespBuf != NULL)
        return;
    char sText[128];
    char sDigest[33];
    snprintf(sText, sizeof(sText), "%s:secret", pConn->pToken);
    VXQ_TOOLS_MD5_EncodeString(sDigest, sText);
    std::vector<uint8_t> tLogin = PR_Msg(P1_LOGIN, 528);
    memcpy(tLogin.data() + 20, "admin", 5);
    memcpy(tLogin.data() + 52, sDigest, 32);
    VXQ_F_OFFLINE_StreamData(p, s_dwPortId[in_iConn], tLogin);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *in_pData, size_t in_iSize)
{
    _VXQ_S_DPS_MCSRV_DATA *p = VXQ_F_FUZZSRV_Get();
    PR_NewConn(p, 0);
    PR_NewConn(p, 1);
    size_t i = 0;
    while (i < in_iSize) {
        uint8_t ucOp = in_pData[i++];
        int iConn = (ucOp / 8) % 2;
        uint8_t ucArg = i < in_iSize ? in_pData[i] : 0;
        switch (ucOp % 8) {
        case 0:
        case 1:
        case 2:
        case 3: {
            size_t iLen = (size_t)ucArg + 1;
            i++;
            if (iLen > in_iSize - (i < in_iSize ? i : in_iSize))
                iLen = in_iSize - (i < in_iSize ? i : in_iSize);
            std::vector<uint8_t> tBytes(in_pData + i, in_pData + i + iLen);
            i += iLen;
            _VXQ_S_DPS_NET_PORT_DATA *pFirst = VXQ_F_DPS_MC_NetPortData_QueryByPortId(p, s_dwPortId[0]);
            if (ucOp % 8 == 3 && tBytes.size() >= 24 && pFirst != NULL)
                VXQ_F_DPS_MW_PutLe32(tBytes.data() + 20, pFirst->dwLoginId);
            if (!tBytes.empty())
                VXQ_F_OFFLINE_StreamData(p, s_dwPortId[iConn], tBytes);
            break;
        }
        case 4:
            VXQ_F_OFFLINE_StreamDisconnect(p, s_dwPortId[iConn]);
            PR_NewConn(p, iConn);
            break;
        case 5:
            i++;
            VXQ_F_FUZZSRV_AnswerEvents(p, ucArg);
            break;
        case 6:
            i++;
            VXQ_F_FUZZSRV_Advance(p, (uint32_t)ucArg * 100u);
            break;
        default:
            PR_Login(p, iConn);
            break;
        }
    }
    VXQ_F_FUZZSRV_AnswerEvents(p, 0);
    VXQ_F_FUZZSRV_Reset(p);
    return 0;
}
