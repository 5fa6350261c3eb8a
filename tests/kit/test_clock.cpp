#include <gtest/gtest.h>

#include "support/test_clock.h"
#include "vxq_clock.h"
#include "vxq_syshelp.h"

TEST(Clock, ManualClockAdvancesTickAndWholeSecondsAndTheRealClockComesBack)
{
    {
        TestClock clock(1000, 0xFFFFFF00u);
        EXPECT_EQ(VXQ_F_CLOCK_IsManual(), 1);
        clock.AdvanceMs(999);
        EXPECT_EQ(VXQ_F_CLOCK_NowSec(), 1000);
        clock.AdvanceMs(1);
        EXPECT_EQ(VXQ_F_SYS_GetNowTime(), 1001);
        /* The tick wraps at 2^32 like the monotonic tick does. */
        EXPECT_EQ(VXQ_F_CLOCK_TickMs(), (uint32_t)(0xFFFFFF00u + 1000u));
        EXPECT_EQ(VXQ_F_SYS_GetTickCount(), (uint32_t)(0xFFFFFF00u + 1000u));
    }
    EXPECT_EQ(VXQ_F_CLOCK_IsManual(), 0);
    int32_t iBefore = VXQ_F_CLOCK_NowSec();
    VXQ_F_CLOCK_Advance(3600 * 1000); /* ignored on the real clock */
    EXPECT_LE(VXQ_F_CLOCK_NowSec() - iBefore, 1);
}
