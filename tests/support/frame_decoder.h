/*
 * frame_decoder.h - reads a frame message back field by field, independently
 * of the library's builder, so tests can check what a viewer receives.
 */
#ifndef VXQ_TEST_FRAME_DECODER_H
#define VXQ_TEST_FRAME_DECODER_H

#include <stddef.h>
#include <stdint.h>

struct TestFrameMsg {
    uint32_t dwPacketFlag;
    uint32_t dwPacketSize;
    uint16_t usMsgFuncId;
    uint8_t ucPacketType;
    uint8_t ucResult;
    uint32_t dwTransNo;
    bool bVideo;          /* function 0x0E01 */
    /* Video media head. */
    int iVideoCodecId;
    int iFrameType;
    int iWidth;
    int iHeight;
    int iFrameRate;
    int iVideoBitRate;
    int iVideoPad;        /* byte 26 bits 6-7 and byte 27; always 0 */
    /* Audio media head. */
    int iAudioCodecId;
    int iSampleRate;
    int iAudioByte23;     /* always 1 */
    int iAudioBitRate;
    int iAudioChNum;
    int iAudioPad;        /* byte 22 bits 4-7, byte 26 bits 2-7, byte 27; always 0 */
    uint32_t dwTimeStamp;
    const uint8_t *pData; /* points into the decoded buffer */
    size_t iDataLen;
};

/* Decodes one frame message of in_iLen bytes. False when shorter than 32
 * bytes, the size field disagrees with in_iLen, or the function is neither
 * 0x0E01 nor 0x0E02. */
bool TestDecodeFrameMsg(const uint8_t *in_pMsg, size_t in_iLen, TestFrameMsg *out_pMsg);

#endif
