#include "support/frame_decoder.h"

#include "cliwire.h"

#include <string.h>

bool TestDecodeFrameMsg(const uint8_t *in_pMsg, size_t in_iLen, TestFrameMsg *out_pMsg)
{
    if (in_pMsg == NULL || out_pMsg == NULL || in_iLen < 32)
        return false;
    memset(out_pMsg, 0, sizeof(*out_pMsg));
    const uint8_t *p = in_pMsg;
    out_pMsg->dwPacketFlag = VXQ_F_CLI_GetU32(p);
    out_pMsg->dwPacketSize = VXQ_F_CLI_GetU32(p + 4);
    out_pMsg->usMsgFuncId = VXQ_F_CLI_GetU16(p + 8);
    out_pMsg->ucPacketType = p[10];
    out_pMsg->ucResult = p[11];
    out_pMsg->dwTransNo = VXQ_F_CLI_GetU32(p + 12);
    if (out_pMsg->dwPacketSize != in_iLen)
        return false;
    if (out_pMsg->usMsgFuncId == 0x0E01) {
        out_pMsg->bVideo = true;
        out_pMsg->iVideoCodecId = p[20] & 0x0F;
        out_pMsg->iFrameType = p[20] >> 4;
        out_pMsg->iWidth = p[21] | ((p[22] & 0x0F) << 8);
        out_pMsg->iHeight = (p[22] >> 4) | (p[23] << 4);
        out_pMsg->iFrameRate = p[24] & 0x7F;
        out_pMsg->iVideoBitRate = (p[24] >> 7) | (p[25] << 1) | ((p[26] & 0x3F) << 9);
        out_pMsg->iVideoPad = (p[26] >> 6) | (p[27] << 2);
    } else if (out_pMsg->usMsgFuncId == 0x0E02) {
        out_pMsg->iAudioCodecId = p[20] & 0x0F;
        out_pMsg->iSampleRate = (p[20] >> 4) | (p[21] << 4) | ((p[22] & 0x0F) << 12);
        out_pMsg->iAudioByte23 = p[23];
        out_pMsg->iAudioBitRate = p[24] | (p[25] << 8);
        out_pMsg->iAudioChNum = p[26] & 0x03;
        out_pMsg->iAudioPad = (p[22] >> 4) | ((p[26] >> 2) << 4) | (p[27] << 10);
    } else {
        return false;
    }
    out_pMsg->dwTimeStamp = VXQ_F_CLI_GetU32(p + 28);
    out_pMsg->pData = p + 32;
    out_pMsg->iDataLen = in_iLen - 32;
    return true;
}
