#include <gtest/gtest.h>

#include <stddef.h>

#include "vxq_dps.h"

/* The records a host exchanges with the service are byte layouts both sides
 * must agree on: the sizes and offsets a host written from the layouts sees,
 * and the event ids with their family in the high byte. */
TEST(DpsRecords, HostRecordsKeepTheirSizesOffsetsAndIds)
{
#define VXQ_SZ(T) sizeof(T), #T
#define VXQ_AT(T, F) offsetof(T, F), #T "." #F
    const struct {
        size_t nGot;
        const char *sWhat;
        size_t nWant;
    } tCases[] = {
        {VXQ_SZ(_VXQ_S_DPS_MSG_HEAD), 16}, {VXQ_AT(_VXQ_S_DPS_MSG_HEAD, ucMsgType), 4},
        {VXQ_AT(_VXQ_S_DPS_MSG_HEAD, ucResult), 5}, {VXQ_AT(_VXQ_S_DPS_MSG_HEAD, dwTransId), 8},
        {VXQ_AT(_VXQ_S_DPS_MSG_HEAD, iBodyLen), 12},
        {VXQ_AT(_VXQ_S_DPS_DEV_CAP_INFO, sDevText1), 12}, {VXQ_AT(_VXQ_S_DPS_DEV_CAP_INFO, sDevText2), 44},
        {VXQ_AT(_VXQ_S_DPS_DEV_CAP_INFO, iVideoChanNum), 76}, {VXQ_AT(_VXQ_S_DPS_DEV_CAP_INFO, iAudioChanNum), 80},
        {VXQ_AT(_VXQ_S_DPS_DEV_CAP_INFO, iDevCapValue1), 84}, {VXQ_AT(_VXQ_S_DPS_DEV_CAP_INFO, iDevCapValue4), 96},
        {VXQ_AT(_VXQ_S_DPS_DEV_CAP_INFO, iSubProtoNum), 100},
        {VXQ_AT(_VXQ_S_DPS_DEV_CAP_INFO, bSpecialChFlag), 104},
        {VXQ_AT(_VXQ_S_DPS_DEV_CAP_INFO, iDevCapValue5), 108},
        {VXQ_AT(_VXQ_S_DPS_DEV_CAP_INFO, bRealplayCheckFlag), 112},
        {VXQ_SZ(_VXQ_S_DPS_USER_INFO), 332}, {VXQ_AT(_VXQ_S_DPS_USER_INFO, sPassword), 32},
        {VXQ_AT(_VXQ_S_DPS_USER_INFO, dwPopMask), 72}, {VXQ_AT(_VXQ_S_DPS_USER_INFO, dwChPopMask), 76},
        {VXQ_SZ(_VXQ_S_DPS_REALPLAY_CHECK_DATA), 20}, {VXQ_AT(_VXQ_S_DPS_REALPLAY_CHECK_DATA, dwResult), 16},
        {VXQ_SZ(_VXQ_S_DPS_E8_VIDEO_FRAME), 8}, {VXQ_AT(_VXQ_S_DPS_E8_VIDEO_FRAME, o_usFrameType), 4},
        {VXQ_SZ(_VXQ_S_DPS_E8_AUDIO_FRAME), 4}, {VXQ_SZ(_VXQ_S_DPS_E8_VIDEO_FRAME_EX), 28},
        {VXQ_AT(_VXQ_S_DPS_E8_VIDEO_FRAME_EX, o_dwTimeStamp), 8}, {VXQ_SZ(_VXQ_S_DPS_E8_AUDIO_FRAME_EX), 24},
        {VXQ_AT(_VXQ_S_DPS_E8_AUDIO_FRAME_EX, o_dwTimeStamp), 4}, /* the codec change: its whole image in MediaInput */
        {VXQ_SZ(_VXQ_S_DPS_E2_OPEN_MEDIA_STREAM), 48}, {VXQ_AT(_VXQ_S_DPS_E2_OPEN_MEDIA_STREAM, o_tDesc), 8},
        {VXQ_SZ(_VXQ_S_DPS_E2_CH_STREAM), 8}, {VXQ_SZ(_VXQ_S_DPS_E2_PTZ_CTRL), 20},
        {VXQ_AT(_VXQ_S_DPS_E2_PTZ_CTRL, i_dwPtzExtParam2), 16}, {VXQ_SZ(_VXQ_S_DPS_VIDEO_QUALITY_CAP_ITEM), 28},
        {VXQ_AT(_VXQ_S_DPS_VIDEO_QUALITY_CAP_ITEM, usValue), 20}, {VXQ_SZ(_VXQ_S_DPS_E2_GET_VIDEO_QUALITY_CAP), 232},
        {VXQ_AT(_VXQ_S_DPS_E2_GET_VIDEO_QUALITY_CAP, o_iItemNum), 4},
        {VXQ_AT(_VXQ_S_DPS_E2_GET_VIDEO_QUALITY_CAP, o_tItems), 8}, {VXQ_SZ(_VXQ_S_DPS_E2_VIDEO_QUALITY_LEVEL), 8},
        {VXQ_AT(_VXQ_S_DPS_E2_VIDEO_QUALITY_LEVEL, dwLevel), 4},
        {(size_t)EVENT_E2_OPEN_MEDIA_STREAM, "open", 0x0201}, {EVENT_E2_MODIFY_CODEC, "codec", 0x0205},
        {EVENT_E2_FILE_OPEN_BY_TIME, "open by time", 0x0228}, {EVENT_E2_EX_ALARM_INFO, "alarm", 0x0244},
        {EVENT_E3_COM_SUBS_DATA, "serial", 0x0324}, {EVENT_E3_UNS_SET_USER_POP, "user", 0x0334},
        {EVENT_E7_RMY_REBOOT, "reboot", 0x0722}, {EVENT_E7_DUP_UPGRADE_DATA, "upgrade", 0x0735},
        {MEDIA_E8_AUDIO_FRAME, "audio", 0x0802}, {MEDIA_E8_AUDIO_FRAME_EX, "audio ex", 0x0812},
    };
    for (const auto &tCase : tCases)
        EXPECT_EQ(tCase.nGot, tCase.nWant) << tCase.sWhat;
    /* The two pointers at the end follow at their natural alignment: 116/120
     * (size 124) on a 32-bit host, 120/128 (size 136) on a 64-bit one. */
    size_t nPtr = sizeof(void *);
    size_t nFn = (116 + nPtr - 1) / nPtr * nPtr;
    EXPECT_EQ(offsetof(_VXQ_S_DPS_DEV_CAP_INFO, fnRealplayCheck), nFn);
    EXPECT_EQ(offsetof(_VXQ_S_DPS_DEV_CAP_INFO, pRealplayCheckUser), nFn + nPtr);
    EXPECT_EQ(sizeof(_VXQ_S_DPS_DEV_CAP_INFO), nFn + 2 * nPtr);
}
