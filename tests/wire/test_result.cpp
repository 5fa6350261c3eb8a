#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "wire/result.h"

TEST(Result, EveryByteValueMapsToAUmspCodeAndATextThatFitsWithTheKnownOnesAsListed)
{
    struct {
        int iApp, iUmsp;
        const char *sText;
    } tCases[] = {
        /* clang-format off */
        {0, 0, "Success"}, {1, 40, "Not support operate"}, {2, 41, "Ban modify"},
        {3, 42, "Message function error"}, {4, 2, "Param error"}, {5, 43, "Id error"}, {6, 99, "Other: 6"},
        {8, 99, "Other: 8"}, {9, 99, "Other"}, {10, 99, "Other: 10"}, {19, 99, "Other: 19"},
        {20, 50, "Open stream fail"}, {21, 51, "Not support sub stream"}, {22, 52, "Not support ptz"},
        {23, 53, "Not support force i frame"}, {24, 54, "Not support talk"}, {25, 55, "Channel no error"},
        {26, 56, "Sub stream no error"}, {27, 57, "Start talk fail"}, {28, 3, "User name error"},
        {29, 4, "Password error"}, {30, 99, "Other: 30"}, {100, 99, "Other: 100"},
        {101, 5, "Without permission"}, {102, 9, "No subscribe"}, {103, 8, "Query file fail"},
        {104, 10, "Resource used"}, {105, 11, "Resource not open"}, {106, 12, "Resource no idle"},
        {107, 13, "Resource no exist"}, {108, 14, "Resource open fail"}, {109, 15, "File operation fail"},
        {110, 99, "Other: 110"}, {149, 99, "Other: 149"}, {150, 150, "Custom error: 150"},
        {179, 179, "Custom error: 179"}, {180, 99, "Other: 180"}, {199, 99, "Other: 199"},
        {200, 200, "Success and restart"}, {201, 99, "Other: 201"}, {255, 99, "Other: 255"}
        /* clang-format on */
    };
    /* Every byte value gets a code and a text that fits; only 0 is success. */
    size_t nRow = 0;
    for (int i = 0; i < 256; i++) {
        uint8_t ucUmsp = 0xEE;
        char sText[VXQ_DPS_RESULT_TEXT_SIZE + 1];
        sText[VXQ_DPS_RESULT_TEXT_SIZE] = '#';
        EXPECT_EQ(VXQ_F_DPS_MW_TransErrorCodeToUmspResult((uint8_t)i, &ucUmsp, sText), 1);
        EXPECT_GT(strlen(sText), 0u);
        EXPECT_EQ(sText[VXQ_DPS_RESULT_TEXT_SIZE], '#');
        EXPECT_EQ(ucUmsp == 0, i == 0) << i;
        if (nRow < sizeof(tCases) / sizeof(tCases[0]) && tCases[nRow].iApp == i) {
            EXPECT_EQ(ucUmsp, tCases[nRow].iUmsp) << i;
            EXPECT_STREQ(sText, tCases[nRow++].sText) << i;
        }
    }
    EXPECT_EQ(nRow, sizeof(tCases) / sizeof(tCases[0]));
    /* In place: the byte becomes the code. */
    uint8_t ucResult = 170;
    EXPECT_EQ(VXQ_F_DPS_MW_TransAndShowErrorCodeToUmspResult(&ucResult, "Com open"), 1);
    EXPECT_EQ(ucResult, 170);
    ucResult = 103;
    EXPECT_EQ(VXQ_F_DPS_MW_TransAndShowErrorCodeToUmspResult(&ucResult, "Query file"), 1);
    EXPECT_EQ(ucResult, 8);
}
