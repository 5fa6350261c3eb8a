#include <gtest/gtest.h>

#include <stddef.h>

#include "vxq_dps.h"

/* The records a host exchanges with the service are byte layouts both sides
 * must agree on; these are the offsets a host written from the layouts sees. */

TEST(DpsRecords, MessageHeadIs16BytesWithItsFieldsAtTheirOffsets)
{
    EXPECT_EQ(sizeof(_VXQ_S_DPS_MSG_HEAD), 16u);
    EXPECT_EQ(offsetof(_VXQ_S_DPS_MSG_HEAD, iMsgFuncId), 0u);
    EXPECT_EQ(offsetof(_VXQ_S_DPS_MSG_HEAD, ucMsgType), 4u);
    EXPECT_EQ(offsetof(_VXQ_S_DPS_MSG_HEAD, ucResult), 5u);
    EXPECT_EQ(offsetof(_VXQ_S_DPS_MSG_HEAD, dwTransId), 8u);
    EXPECT_EQ(offsetof(_VXQ_S_DPS_MSG_HEAD, iBodyLen), 12u);
}

TEST(DpsRecords, CapabilityRecordKeepsItsOffsetsAndEndsWithTwoRealPointers)
{
    struct {
        size_t nOffset;
        size_t nWant;
    } tCases[] = {
        {offsetof(_VXQ_S_DPS_DEV_CAP_INFO, sDevIdText), 0},
        {offsetof(_VXQ_S_DPS_DEV_CAP_INFO, sDevText1), 12},
        {offsetof(_VXQ_S_DPS_DEV_CAP_INFO, sDevText2), 44},
        {offsetof(_VXQ_S_DPS_DEV_CAP_INFO, iVideoChanNum), 76},
        {offsetof(_VXQ_S_DPS_DEV_CAP_INFO, iAudioChanNum), 80},
        {offsetof(_VXQ_S_DPS_DEV_CAP_INFO, iDevCapValue1), 84},
        {offsetof(_VXQ_S_DPS_DEV_CAP_INFO, iDevCapValue4), 96},
        {offsetof(_VXQ_S_DPS_DEV_CAP_INFO, iSubProtoNum), 100},
        {offsetof(_VXQ_S_DPS_DEV_CAP_INFO, bSpecialChFlag), 104},
        {offsetof(_VXQ_S_DPS_DEV_CAP_INFO, iDevCapValue5), 108},
        {offsetof(_VXQ_S_DPS_DEV_CAP_INFO, bRealplayCheckFlag), 112},
    };
    for (const auto &tCase : tCases)
        EXPECT_EQ(tCase.nOffset, tCase.nWant);
    /* The pointers follow at their natural alignment: 116/120/124 on a 32-bit
     * host, 120/128/136 on a 64-bit one. */
    size_t nPtr = sizeof(void *);
    size_t nFn = (116 + nPtr - 1) / nPtr * nPtr;
    EXPECT_EQ(offsetof(_VXQ_S_DPS_DEV_CAP_INFO, fnRealplayCheck), nFn);
    EXPECT_EQ(offsetof(_VXQ_S_DPS_DEV_CAP_INFO, pRealplayCheckUser), nFn + nPtr);
    EXPECT_EQ(sizeof(_VXQ_S_DPS_DEV_CAP_INFO), nFn + 2 * nPtr);
    if (nPtr == 4) {
        EXPECT_EQ(sizeof(_VXQ_S_DPS_DEV_CAP_INFO), 124u);
    }
}

TEST(DpsRecords, UserRecordIs332BytesWithMasksAt72And76)
{
    EXPECT_EQ(sizeof(_VXQ_S_DPS_USER_INFO), 332u);
    EXPECT_EQ(offsetof(_VXQ_S_DPS_USER_INFO, sPassword), 32u);
    EXPECT_EQ(offsetof(_VXQ_S_DPS_USER_INFO, dwPopMask), 72u);
    EXPECT_EQ(offsetof(_VXQ_S_DPS_USER_INFO, dwChPopMask), 76u);
    EXPECT_EQ(offsetof(_VXQ_S_DPS_USER_INFO, dwChPopMask[63]), 328u);
    EXPECT_EQ(sizeof(_VXQ_S_DPS_REALPLAY_CHECK_DATA), 20u);
    EXPECT_EQ(offsetof(_VXQ_S_DPS_REALPLAY_CHECK_DATA, dwResult), 16u);
}

TEST(DpsRecords, MediaAndLiveViewBodiesMatchTheirByteLayouts)
{
    struct {
        size_t nGot;
        size_t nWant;
        const char *sWhat;
    } tCases[] = {
        {sizeof(_VXQ_S_DPS_E8_VIDEO_FRAME), 8, "video frame part"},
        {offsetof(_VXQ_S_DPS_E8_VIDEO_FRAME, o_usFrameType), 4, "video frame type"},
        {sizeof(_VXQ_S_DPS_E8_AUDIO_FRAME), 4, "audio frame part"},
        {sizeof(_VXQ_S_DPS_E8_VIDEO_FRAME_EX), 28, "video ex part"},
        {offsetof(_VXQ_S_DPS_E8_VIDEO_FRAME_EX, o_dwTimeStamp), 8, "video ex time stamp"},
        {sizeof(_VXQ_S_DPS_E8_AUDIO_FRAME_EX), 24, "audio ex part"},
        {offsetof(_VXQ_S_DPS_E8_AUDIO_FRAME_EX, o_dwTimeStamp), 4, "audio ex time stamp"},
        {sizeof(_VXQ_S_DPS_E2_MODIFY_CODEC), 48, "modify codec"},
        {offsetof(_VXQ_S_DPS_E2_MODIFY_CODEC, o_tDesc) + offsetof(_VXQ_S_DPS_STREAM_DESC, bVideoFlag), 8,
         "bVideoFlag"},
        {offsetof(_VXQ_S_DPS_E2_MODIFY_CODEC, o_tDesc) + offsetof(_VXQ_S_DPS_STREAM_DESC, iVideoBitRate), 24,
         "iVideoBitRate"},
        {offsetof(_VXQ_S_DPS_E2_MODIFY_CODEC, o_tDesc) + offsetof(_VXQ_S_DPS_STREAM_DESC, usVideoHeight), 30,
         "usVideoHeight"},
        {offsetof(_VXQ_S_DPS_E2_MODIFY_CODEC, o_tDesc) + offsetof(_VXQ_S_DPS_STREAM_DESC, iAudioCodecId), 32,
         "iAudioCodecId"},
        {offsetof(_VXQ_S_DPS_E2_MODIFY_CODEC, o_tDesc) + offsetof(_VXQ_S_DPS_STREAM_DESC, iAudioChNum), 44,
         "iAudioChNum"},
        {sizeof(_VXQ_S_DPS_E2_OPEN_MEDIA_STREAM), 48, "open media stream"},
        {offsetof(_VXQ_S_DPS_E2_OPEN_MEDIA_STREAM, o_tDesc), 8, "open description"},
        {sizeof(_VXQ_S_DPS_E2_CH_STREAM), 8, "close / force I"},
        {sizeof(_VXQ_S_DPS_E2_PTZ_CTRL), 20, "ptz"},
        {offsetof(_VXQ_S_DPS_E2_PTZ_CTRL, i_dwPtzExtParam2), 16, "ptz extra 2"},
        {sizeof(_VXQ_S_DPS_VIDEO_QUALITY_CAP_ITEM), 28, "quality cap entry"},
        {offsetof(_VXQ_S_DPS_VIDEO_QUALITY_CAP_ITEM, usValue), 20, "quality cap values"},
        {sizeof(_VXQ_S_DPS_E2_GET_VIDEO_QUALITY_CAP), 232, "quality cap"},
        {offsetof(_VXQ_S_DPS_E2_GET_VIDEO_QUALITY_CAP, o_iItemNum), 4, "quality cap count"},
        {offsetof(_VXQ_S_DPS_E2_GET_VIDEO_QUALITY_CAP, o_tItems), 8, "quality cap entries"},
        {sizeof(_VXQ_S_DPS_E2_VIDEO_QUALITY_LEVEL), 8, "quality level"},
        {offsetof(_VXQ_S_DPS_E2_VIDEO_QUALITY_LEVEL, dwLevel), 4, "quality level value"},
    };
    for (const auto &tCase : tCases)
        EXPECT_EQ(tCase.nGot, tCase.nWant) << tCase.sWhat;
}

TEST(DpsRecords, EventIdsKeepTheirFamilyInTheHighByte)
{
    struct {
        int iId;
        int iWant;
    } tCases[] = {
        {EVENT_E2_OPEN_MEDIA_STREAM, 0x0201}, {EVENT_E2_MODIFY_CODEC, 0x0205},
        {EVENT_E2_FILE_OPEN_BY_TIME, 0x0228}, {EVENT_E2_EX_ALARM_INFO, 0x0244},
        {EVENT_E3_COM_SUBS_DATA, 0x0324},     {EVENT_E3_UNS_SET_USER_POP, 0x0334},
        {EVENT_E7_RMY_REBOOT, 0x0722},        {EVENT_E7_DUP_UPGRADE_DATA, 0x0735},
        {MEDIA_E8_AUDIO_FRAME, 0x0802},       {MEDIA_E8_AUDIO_FRAME_EX, 0x0812},
    };
    for (const auto &tCase : tCases)
        EXPECT_EQ(tCase.iId, tCase.iWant);
}
