/* Work still queued for the control thread when an instance stops. */
#include <gtest/gtest.h>

#include <stdlib.h>

#include "core/channel.h"
#include "core/instance.h"
#include "vxq_media.h"
#include "service/service.h"

namespace
{
int s_iRun = 0;
int s_iDropSum = 0;

void CountRun(_VXQ_S_DPS_MCSRV_DATA *, const uint8_t *, int32_t)
{
    s_iRun++;
}

void AddDropped(_VXQ_S_DPS_MCSRV_DATA *, const uint8_t *in_pArg, int32_t in_iArgLen)
{
    ASSERT_EQ(in_iArgLen, 1);
    s_iDropSum += in_pArg[0];
}
} // namespace

/* Each unrun work's drop function gets its own argument, work without one is
 * skipped, nothing is run; direct frames still queued are released (a leak
 * under the sanitizer run otherwise). */
TEST(CoreStop, WorkQueuedAtStopIsDroppedNotRun)
{
    _VXQ_S_DPS_MCSRV_DATA *p = (_VXQ_S_DPS_MCSRV_DATA *)calloc(1, sizeof(_VXQ_S_DPS_MCSRV_DATA));
    VXQ_F_DPS_SVC_InstallFamilies(p);
    ASSERT_TRUE(VXQ_F_DPS_MC_InitData(p));
    s_iRun = s_iDropSum = 0;
    const uint8_t ucOne = 1, ucTwo = 2, ucFour = 4;
    ASSERT_TRUE(VXQ_F_DPS_MC_PostControlWorkEx(p, CountRun, AddDropped, &ucOne, 1, 0, -1));
    ASSERT_TRUE(VXQ_F_DPS_MC_PostControlWork(p, CountRun, &ucFour, 1));
    ASSERT_TRUE(VXQ_F_DPS_MC_PostControlWorkEx(p, CountRun, AddDropped, &ucTwo, 1, 0, -1));
    static const uint8_t ucFrame[100] = {0, 0, 0, 1, 0x65};
    VXQ_F_DPS_MC_APUP_SendVideoFrameData(p, 0, 0, 1, ucFrame, (int)sizeof(ucFrame));
    VXQ_F_DPS_MC_APUP_SendAudioFrameData(p, 0, 0, ucFrame, 40);
    VXQ_F_DPS_MC_UninitData(p);
    EXPECT_EQ(s_iDropSum, 3);
    EXPECT_EQ(s_iRun, 0);
    free(p);
}
