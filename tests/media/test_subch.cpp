#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "media/subch.h"

class SubChTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        memset(aTable, 0, sizeof(aTable));
        VXQ_F_DPS_MC_MediaChTable_Init(aTable);
    }
    _VXQ_S_DPS_MEDIA_CH_DATA aTable[VXQ_DPS_MEDIA_CH_SLOT_NUM];
};

TEST_F(SubChTable, LookupMapsChannelAndStreamToTheirNumberedSlotOrNothing)
{
    struct Row {
        int bSpecial, iChNo, iStreamNo, iSlot; /* -1 = not found */
    } aRows[] = {
        {0, 0, 0, 0},        {0, 63, 2, 63},      {0, 64, 0, 64},     {1, 64, 1, 64},
        {1, 10000, 0, 64},   {1, 10000, 2, 64},   {1, 10000, 3, -1},  {0, 10000, 0, -1},
        {0, 65, 0, -1},      {0, -1, 0, -1},      {0, 5, 3, -1},      {0, 5, -1, -1},
        {1, 9999, 0, -1},
    };
    for (const Row &r : aRows) {
        _VXQ_S_DPS_MEDIA_SUB_CH_DATA *p =
            VXQ_F_DPS_MC_MediaChTable_Query(aTable, r.bSpecial, r.iChNo, r.iStreamNo);
        if (r.iSlot < 0) {
            EXPECT_EQ(p, nullptr) << r.bSpecial << " " << r.iChNo << " " << r.iStreamNo;
        } else {
            ASSERT_EQ(p, &aTable[r.iSlot].tSubCh[r.iStreamNo]) << r.iChNo << " " << r.iStreamNo;
            EXPECT_EQ(p->usChNo, r.iSlot == 64 ? 10000 : r.iSlot);
            EXPECT_EQ(p->usStreamNo, r.iStreamNo);
            EXPECT_EQ(aTable[r.iSlot].dwChNo, p->usChNo);
        }
    }
}

TEST(MediaResource, FreeAmountIsBudgetLessWeightedViewersAndReplayClients)
{
    struct Row {
        int bCtrl;
        float fMax, fMain, fReplay;
        int iMain, iSub, iReplay;
        float fFree;
    } aRows[] = {
        {1, 10.0f, 2.0f, 1.0f, 3, 1, 1, 2.0f},    /* 10 - 6 - 1 - 1 */
        {1, 2.0f, 2.0f, 1.0f, 1, 0, 0, 0.0f},
        {1, 2.0f, 2.0f, 1.0f, 2, 0, 0, -2.0f},
        {1, 5.5f, 1.5f, 0.5f, 1, 2, 3, 0.5f},
        {0, 10.0f, 2.0f, 1.0f, 3, 1, 1, 1024.0f}, /* accounting off */
    };
    for (const Row &r : aRows) {
        float f = VXQ_F_DPS_MC_CalcFreeMediaResourceNum(r.bCtrl, r.fMax, r.fMain, r.fReplay, r.iMain,
                                                        r.iSub, r.iReplay);
        EXPECT_EQ(f, r.fFree);
    }
}

/* The cost of a viewer by stream: LiveChecks.OpenChecksRunInTheirOrder... */
TEST(MediaResource, ArgumentChecks)
{
    struct Row {
        float fMax, fMain, fReplay;
        const char *sText;
    } aRows[] = {
        {0.0f, 1.0f, 0.0f, NULL},
        {-0.5f, 0.0f, -1.0f, "Conrtol Media Resource fail, cause: in_fMaxMediaResourceNum < 0."},
        {1.0f, 0.99f, -1.0f, "Conrtol Media Resource fail, cause: in_fMainMediaResourceLoss < 1."},
        {1.0f, 1.0f, -0.01f, "Conrtol Media Resource fail, cause: in_fReplayResourceLoss < 0."},
        {__builtin_nanf(""), 1.0f, 0.0f, "Conrtol Media Resource fail, cause: in_fMaxMediaResourceNum < 0."},
    };
    for (const Row &r : aRows) {
        const char *s = VXQ_F_DPS_MC_CheckMediaResourceArgs(r.fMax, r.fMain, r.fReplay);
        if (r.sText == NULL)
            EXPECT_EQ(s, nullptr);
        else
            EXPECT_STREQ(s, r.sText);
    }
}
