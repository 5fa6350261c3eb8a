#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <stdlib.h>
#include <string>
#include <string.h>
#include <thread>
#include <vector>

#include "vxq_syshelp.h"

/* The time zone of the calendar tests; no other test of this program reads local time. */
static void SetTz(const char *in_sTz)
{
    setenv("TZ", in_sTz, 1);
    tzset();
}

TEST(SysHelp, CalendarTimeConvertsBothWaysAndRefusesTextsPastThe2038Limit)
{
    SetTz("CST-8"); /* UTC+8: the limit text is exactly 2^31 - 1 seconds */
    EXPECT_EQ(VXQ_F_SYS_Str_To_Time("2038-01-19 11:14:07"), INT32_MAX);
    EXPECT_EQ(VXQ_F_SYS_Str_To_Time("2038-01-19 11:14:08"), -1);
    SetTz("UTC0");
    struct {
        const char *sText;
        int32_t iTime;
    } rows[] = {
        {"2038-01-19 03:14:07", INT32_MAX}, {"2038-01-19 03:14:08", -1},         {"2038-01-19 11:14:07", -1},
        {"1970-01-01 00:00:00", 0},         {"2024-02-29 12:00:00", 1709208000}, {"2024-02-29", 1709164800},
    };
    for (const auto &row : rows)
        EXPECT_EQ(VXQ_F_SYS_Str_To_Time(row.sText), row.iTime) << row.sText;

    char sText[VXQ_SYS_TIME_STR_SIZE];
    EXPECT_EQ(VXQ_F_SYS_Time_To_Str(1709208000, sText), 1);
    EXPECT_STREQ(sText, "2024-02-29 12:00:00");
    EXPECT_EQ(VXQ_F_SYS_TimeParam_To_Timet(2024, 2, 29, 12, 0, 0), 1709208000);

    _VXQ_S_TD_DATE_TIME td;
    memset(&td, 0xAA, sizeof(td));
    EXPECT_EQ(sizeof(td), 12u);
    EXPECT_EQ(VXQ_F_SYS_Timet_To_TdTime(1709208001, &td), 1);
    EXPECT_EQ(td.usYear * 10000 + td.usMonth * 100 + td.ucDay, 20240229);
    EXPECT_EQ(td.ucSecond, 1);
    EXPECT_EQ(td.ucReserved[0] | td.ucReserved[1] | td.ucReserved[2] | td.ucReserved[3], 0);
    EXPECT_EQ(VXQ_F_SYS_TdTime_To_Timet(&td), 1709208001);
    EXPECT_EQ(VXQ_F_SYS_TdTime_To_TimeStr(&td, sText), 1);
    EXPECT_STREQ(sText, "2024-02-29 12:00:01");
    struct {
        const char *sText;
        int iFields;
    } fields[] = {{"2024-05-06 07:08:09", 6}, {"2024-05-06", 3}, {"", 0}, {"x", 0}};
    for (const auto &row : fields) {
        memset(&td, 0xAA, sizeof(td));
        EXPECT_EQ(VXQ_F_SYS_StrTime_To_TdTime(row.sText, &td), row.iFields) << row.sText;
        EXPECT_EQ(td.ucHour, row.iFields < 4 ? 0 : 7) << row.sText;
        EXPECT_EQ(td.ucReserved[3], 0) << row.sText;
    }
    _VXQ_S_TD_DATE_TIME a, b;
    VXQ_F_SYS_StrTime_To_TdTime("2024-03-01 00:00:00", &a);
    VXQ_F_SYS_StrTime_To_TdTime("2024-02-28 23:59:00", &b);
    EXPECT_EQ(VXQ_F_SYS_ComputeTdTimeLen(&b, &a), 86400 + 60); /* the distance, either order */
    td.ucDay = 200; /* a day of 200 does not fit its place: the text is cut and 0 reported */
    EXPECT_EQ(VXQ_F_SYS_TdTime_To_TimeStr(&td, sText), 0);
    EXPECT_LT(strlen(sText), (size_t)VXQ_SYS_TIME_STR_SIZE);
}

TEST(SysHelp, CheckSumIsTheOnesComplementOfLittleEndianWords)
{
    const uint8_t ucRfc[] = {0x00, 0x01, 0xF2, 0x03, 0xF4, 0xF5, 0xF6, 0xF7};
    const uint8_t ucOdd[] = {0x01, 0x02, 0x03};
    const uint8_t ucCarry[] = {0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x00};
    struct {
        const uint8_t *pData;
        int32_t iLength;
        uint16_t usSum;
    } rows[] = {
        {ucOdd, 2, 0xFDFE}, {ucOdd, 0, 0xFFFF},   {NULL, 0, 0xFFFF},   {ucOdd, 3, 0xFDFB},
        {ucRfc, 8, 0x0D22}, {ucCarry, 6, 0xFFFD}, {ucOdd, -4, 0xFFFF},
    };
    for (const auto &row : rows)
        EXPECT_EQ(VXQ_F_SYS_CheckSum(row.pData, row.iLength), row.usSum) << row.iLength;
}

TEST(SysHelp, AddressTextsConvertBothWaysAndRefuseMalformedText)
{
    char sText[VXQ_SYS_IPADDR_STR_SIZE];
    EXPECT_EQ(VXQ_F_SYS_GetIpaddrStrByHost(0xC0A80001u, sText), 1);
    EXPECT_STREQ(sText, "192.168.0.1");
    EXPECT_EQ(VXQ_F_SYS_IpaddrStrToHostIpaddr(sText), 0xC0A80001u);
    EXPECT_EQ(VXQ_F_SYS_GetIpaddrStrByHost(0xFFFFFFFFu, sText), 1);
    EXPECT_STREQ(sText, "255.255.255.255");
    for (const char *s :
         {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "a.b.c.d", "1..2.3", "1.2.3.4 ", "0001.2.3.4"})
        EXPECT_EQ(VXQ_F_SYS_IpaddrStrToHostIpaddr(s), 0u) << s;

    const uint8_t ucMac[6] = {0x00, 0x1A, 0xbc, 0xDE, 0xF0, 0x09};
    char sMac[VXQ_SYS_MAC_STR_SIZE];
    EXPECT_EQ(VXQ_F_SYS_GetStringMacAddr(ucMac, sMac), 1);
    EXPECT_STREQ(sMac, "00-1A-BC-DE-F0-09");
    uint8_t ucBack[6] = {0};
    EXPECT_EQ(VXQ_F_SYS_GetBitMacAddr("00-1a-BC-de-F0-09", ucBack), 1);
    EXPECT_EQ(memcmp(ucBack, ucMac, 6), 0);
    EXPECT_EQ(VXQ_F_SYS_GetBitMacAddr("00-1A-BC", ucBack), 0);
    EXPECT_EQ(VXQ_F_SYS_CheckMacStrAddr("00-1a-bc-de-f0-09") + VXQ_F_SYS_CheckMacStrAddr("00:1A:BC:DE:F0:09"), 1);
}

TEST(SysHelp, ReplaceStringClampsPositionAndCountAndJsonValueEndsAtTheNextComma)
{
    struct {
        const char *sText;
        int32_t iPos, iCount;
        const char *sRepl, *sResult;
    } rows[] = {
        /* clang-format off */
        {"hello world", 6, 5, "there", "hello there"}, {"hello", 0, 0, ">", ">hello"},
        {"hello", 99, 3, "!", "hello!"}, {"hello", -3, 2, "J", "Jllo"}, {"hello", 1, 99, "ey", "hey"},
        {"hello", 1, -1, "", "hello"}, {"ab", 1, 0, "0123456789", "a0123456789b"}
        /* clang-format on */
    };
    for (const auto &row : rows) {
        char sBuf[64];
        strcpy(sBuf, row.sText);
        EXPECT_EQ(VXQ_F_SYS_ReplaceString(sBuf, row.iPos, row.iCount, row.sRepl), 1);
        EXPECT_STREQ(sBuf, row.sResult) << row.sText << " " << row.iPos;
    }
    char sBuf[64] = "a-b-c";
    EXPECT_EQ(VXQ_F_SYS_ReplaceStringEx(sBuf, "-", "+++"), 1);
    EXPECT_EQ(VXQ_F_SYS_ReplaceStringEx(sBuf, "x", "y"), 0);
    EXPECT_EQ(VXQ_F_SYS_ReplaceStringEx(sBuf, "", "y"), 0);
    EXPECT_STREQ(sBuf, "a+++b-c");

    std::string sLongKey(128, 'k');
    struct {
        const char *sJson, *sKey, *sValue;
        int iResult;
        const char *sAfter;
    } json[] = {
        {"{\"port\": 80, \"ip\": \"1.2.3.4\"}", "port", "8080", 1, "{\"port\": 8080, \"ip\": \"1.2.3.4\"}"},
        {"{\"port\":  80}", "port", "8080", 1, "{\"port\":  8080"},
        {"{\"sport\": 1, \"port\": 2}", "port", "3", 1, "{\"sport\": 1, \"port\": 3"},
        {"{\"ip\": 1}", "port", "3", 0, "{\"ip\": 1}"},
        {"{\"port\" 80}", "port", "3", 0, "{\"port\" 80}"},
        {"{\"port\": 80}", sLongKey.c_str(), "3", 0, "{\"port\": 80}"},
    };
    for (const auto &row : json) {
        char sJson[128];
        strcpy(sJson, row.sJson);
        EXPECT_EQ(VXQ_F_SYS_ReplaceJsonValue(sJson, row.sKey, row.sValue), row.iResult) << row.sJson;
        EXPECT_STREQ(sJson, row.sAfter) << row.sJson;
    }
}

TEST(SysHelp, SectionReaderRefusesAnOverlongSectionAndCaseFreeComparisonOrders)
{
    /* A section longer than the room is refused and the reader stays where it was. */
    const char *p = "abcd:e";
    char sSect[4];
    EXPECT_EQ(VXQ_F_SYS_StrOp_GetSectString(&p, ':', 4, sSect), 2);
    EXPECT_STREQ(p, "abcd:e");
    EXPECT_EQ(VXQ_F_SYS_StrCaseCmp("AbC", "aBc"), 0);
    EXPECT_LT(VXQ_F_SYS_StrCaseCmp("abc", "ABD"), 0);
    EXPECT_GT(VXQ_F_SYS_StrCaseCmp("abcd", "ABC"), 0);
}

/* The buffer searches never look past the length they are given. */
TEST(SysHelp, QueryStrAndGetLineDataFindWithinTheGivenLength)
{
    const char sBuf[] = "abc\r\nde\r\nf";
    const char *pFound = NULL;
    int32_t iRest = 0, iLine = 0;
    EXPECT_EQ(VXQ_F_SYS_QueryStr(sBuf, 10, "de", &pFound, &iRest), 1);
    EXPECT_EQ(pFound, sBuf + 5);
    EXPECT_EQ(iRest, 5);
    EXPECT_EQ(VXQ_F_SYS_QueryStr(sBuf, 10, "f", &pFound, &iRest), 1);
    EXPECT_EQ(iRest, 1);
    EXPECT_EQ(VXQ_F_SYS_QueryStr(sBuf, 9, "f", &pFound, &iRest), 0); /* outside the length */
    EXPECT_EQ(VXQ_F_SYS_QueryStr(sBuf, 2, "abc", &pFound, &iRest), 0);
    EXPECT_EQ(VXQ_F_SYS_QueryStr(sBuf, 10, "", &pFound, &iRest), 0);
    EXPECT_EQ(VXQ_F_SYS_GetLineData(sBuf, 10, &iLine, &pFound, &iRest), 1);
    EXPECT_EQ(iLine, 5);
    EXPECT_EQ(pFound, sBuf + 5);
    EXPECT_EQ(iRest, 5);
    EXPECT_EQ(VXQ_F_SYS_GetLineData(sBuf, 4, &iLine, &pFound, &iRest), 0); /* "\r" only */
    EXPECT_EQ(VXQ_F_SYS_GetLineData(sBuf + 8, 2, &iLine, &pFound, &iRest), 0);
    EXPECT_EQ(VXQ_F_SYS_GetLineData("xy\r\n", 4, &iLine, &pFound, &iRest), 1);
    EXPECT_EQ(iLine, 4);
    EXPECT_EQ(iRest, 0);
}

TEST(SysHelp, BitReadersConsumeExactlyTheirBits)
{
    struct {
        std::vector<uint8_t> bytes;
        uint32_t dwValue;
        int32_t iBitsUsed; /* -1: refused, anywhere within the data */
    } rows[] = {
        /* clang-format off */
        {{0x38}, 6, 5}, {{0x80}, 0, 1}, {{0x40}, 1, 3}, {{0x60}, 2, 3},
        {{0, 0, 0, 0, 0}, 0xFFFFFFFFu, -1}, /* only zeros */
        {{0x00, 0x80}, 0xFFFFFFFFu, -1}, /* 8 zeros and a 1, but only 7 bits behind */
        {{0x00, 0x80, 0x00}, 255, 17}
        /* clang-format on */
    };
    for (const auto &row : rows) {
        const uint8_t *p = row.bytes.data();
        int32_t iBit = 0, iLeft = (int32_t)row.bytes.size();
        EXPECT_EQ(VXQ_F_SYS_MG_get_ue(&p, &iBit, &iLeft), row.dwValue) << row.bytes.size();
        int32_t iUsed = (int32_t)(p - row.bytes.data()) * 8 + iBit;
        if (row.iBitsUsed >= 0) {
            EXPECT_EQ(iUsed, row.iBitsUsed) << row.dwValue;
        }
        EXPECT_LE(iUsed, (int32_t)row.bytes.size() * 8);
    }
    /* The first bit read is the most significant; nothing past the end. */
    const uint8_t ucData[] = {0xA5, 0x0F};
    const uint8_t *p = ucData;
    int32_t iBit = 0, iLeft = 2;
    EXPECT_EQ(VXQ_F_SYS_MG_read_bits(&p, &iBit, &iLeft, 4), 0xAu);
    EXPECT_EQ(VXQ_F_SYS_MG_read_bits(&p, &iBit, &iLeft, 8), 0x50u);
    EXPECT_EQ(VXQ_F_SYS_MG_read_bits(&p, &iBit, &iLeft, 4), 0xFu);
    EXPECT_EQ(iLeft, 0);
    EXPECT_EQ(VXQ_F_SYS_MG_get_one_bit(&p, &iBit, &iLeft), 0u);
    EXPECT_EQ(p, ucData + 2);
    /* More than 32 bits asked: 32 are read, the 33rd is still there. */
    const uint8_t ucFive[] = {0x80, 0, 0, 0x01, 0x80};
    p = ucFive;
    iBit = 0;
    iLeft = 5;
    EXPECT_EQ(VXQ_F_SYS_MG_read_bits(&p, &iBit, &iLeft, 33), 0x80000001u);
    EXPECT_EQ(VXQ_F_SYS_MG_get_one_bit(&p, &iBit, &iLeft), 1u);
}

TEST(SysHelp, FiveBitEncoderWritesOneCharacterPerFiveBitsAndDecodesBack)
{
    const char *sAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";
    struct {
        const char *sData, *sText;
    } rows[] = {{"", ""}, {"f", "MY"}, {"fo", "MZXQ"}, {"foo", "MZXW6"}, {"fooba", "MZXW6YTB"}};
    for (const auto &row : rows) {
        char sText[32];
        int32_t iLen = (int32_t)strlen(row.sData);
        EXPECT_EQ(VXQ_F_SYS_BIT_Encode((const uint8_t *)row.sData, iLen, sAlphabet, sText), 1);
        EXPECT_STREQ(sText, row.sText);
        uint8_t ucBack[32];
        int32_t iBack = (int32_t)sizeof(ucBack);
        EXPECT_EQ(VXQ_F_SYS_BIT_Decode(sText, sAlphabet, ucBack, &iBack), iLen > 0);
        if (iLen > 0) {
            ASSERT_EQ(iBack, iLen);
            EXPECT_EQ(memcmp(ucBack, row.sData, (size_t)iLen), 0);
        }
    }
    char sText[8];
    EXPECT_EQ(VXQ_F_SYS_BIT_Encode((const uint8_t *)"ab", 2, "ABC", sText), 0);
    int32_t iLen = 8;
    uint8_t ucOut[8];
    EXPECT_EQ(VXQ_F_SYS_BIT_Decode("MZ1Q", sAlphabet, ucOut, &iLen), 0);
    iLen = 1; /* two bytes do not fit one */
    EXPECT_EQ(VXQ_F_SYS_BIT_Decode("MZXQ", sAlphabet, ucOut, &iLen), 0);
    EXPECT_EQ(VXQ_F_SYS_BIT_Decode("MZXQ", sAlphabet, NULL, &iLen), 1);
    EXPECT_EQ(iLen, 2);
}

TEST(SysHelp, RandomNumbersAreNonNegativeVariedAndLeaveRandAlone)
{
    srand(7);
    int iFirst = rand();
    srand(7);
    /* Four callers at once each get their own values. */
    std::vector<uint32_t> drawn[4];
    std::atomic<int> iNegative{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; t++)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 5000; i++) {
                iNegative += VXQ_F_SYS_GetRandomNumber() < 0;
                drawn[t].push_back(VXQ_F_SYS_GetRandom32());
            }
        });
    for (std::thread &th : threads)
        th.join();
    std::set<uint32_t> all;
    for (const auto &v : drawn)
        all.insert(v.begin(), v.end());
    EXPECT_GT(all.size(), 19990u);
    EXPECT_EQ(iNegative, 0);
    EXPECT_EQ(rand(), iFirst);
    uint8_t ucA[37] = {0}, ucB[37] = {0};
    ASSERT_EQ(VXQ_F_SYS_GetSecureRandom(ucA, (int32_t)sizeof(ucA)) + VXQ_F_SYS_GetSecureRandom(ucB, 37), 2);
    EXPECT_NE(memcmp(ucA, ucB, sizeof(ucA)), 0);
}
