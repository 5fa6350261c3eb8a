/*
 * frame_decoder.h - a frame message as a viewer receives it, read back by the
 * reference client's parser (tools/client), independently of the library's builder.
 */
#ifndef VXQ_TEST_FRAME_DECODER_H
#define VXQ_TEST_FRAME_DECODER_H

#include "cliwire.h"

#include <stddef.h>
#include <stdint.h>

struct TestFrameMsg {
    bool bVideo; /* function 0x0E01 */
    int iFrameType;
    uint32_t dwTimeStamp;
    const uint8_t *pData; /* points into the decoded buffer */
    size_t iDataLen;
};

/* Decodes one frame message of in_iLen bytes. False when shorter than 32
 * bytes, the size field disagrees with in_iLen, or the function is neither
 * 0x0E01 nor 0x0E02. */
inline bool TestDecodeFrameMsg(const uint8_t *in_pMsg, size_t in_iLen, TestFrameMsg *out_pMsg)
{
    _VXQ_S_CLI_MEDIA_HEAD tMedia;
    if (!VXQ_F_CLI_ParseFrame(in_pMsg, in_iLen, &tMedia))
        return false;
    *out_pMsg = {tMedia.bVideo != 0, tMedia.ucFrameType, tMedia.dwTimeStampMs, tMedia.pData, tMedia.dwDataLen};
    return true;
}

#endif
