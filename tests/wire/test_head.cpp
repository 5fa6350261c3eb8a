#include <gtest/gtest.h>

#include <string.h>

#include <set>
#include <string>
#include <vector>

#include "support/log_capture.h"
#include "wire/head.h"

TEST(Head, RecordIs20BytesAndEncodesLittleEndianAtItsOffsets)
{
    _VXQ_S_PVM_DP_UMSP_MSG_HEAD tHead;
    memset(&tHead, 0, sizeof(tHead));
    tHead.dwPacketFlag = VXQ_DPS_UMSP_PACKET_FLAG;
    tHead.dwPacketSize = 0x00012345;
    tHead.usMsgFuncId = P3_DOWNLOAD_GET;
    tHead.ucPacketType = 0xA5;
    tHead.ucResult = 42;
    tHead.dwTransNo = 0x11223344;
    tHead.ucReserved[0] = 0xDE;
    tHead.ucReserved[3] = 0xAD;

    uint8_t ucMsg[24];
    memset(ucMsg, 0x77, sizeof(ucMsg));
    VXQ_F_DPS_MW_HeadStore(&tHead, ucMsg);
    const uint8_t ucWant[20] = {0xEE, 0xEE, 0xFF, 0xFF, 0x45, 0x23, 0x01, 0x00, 0x13, 0x03,
                                0xA5, 42,   0x44, 0x33, 0x22, 0x11, 0xDE, 0x00, 0x00, 0xAD};
    EXPECT_EQ(memcmp(ucMsg, ucWant, 20), 0);
    EXPECT_EQ(ucMsg[20], 0x77); /* nothing past the head */

    /* Loaded and stored again, every field comes back to its bytes. */
    _VXQ_S_PVM_DP_UMSP_MSG_HEAD tBack;
    ASSERT_EQ(VXQ_F_DPS_MW_HeadLoad(ucMsg, 20, &tBack), 1);
    uint8_t ucAgain[20];
    VXQ_F_DPS_MW_HeadStore(&tBack, ucAgain);
    EXPECT_EQ(memcmp(ucAgain, ucWant, 20), 0);
    EXPECT_EQ(VXQ_F_DPS_MW_HeadPacketType(ucMsg), 1); /* 0xA5 & 3 */
}

TEST(Head, LoadRefusesFewerThan20Bytes)
{
    uint8_t ucMsg[20];
    VXQ_F_DPS_MW_HeadBuildFresh(ucMsg, 20, P0_HEARTBEAT, 0, 0);
    _VXQ_S_PVM_DP_UMSP_MSG_HEAD tHead;
    for (uint32_t dwLen : {0u, 1u, 19u}) {
        EXPECT_EQ(VXQ_F_DPS_MW_HeadLoad(ucMsg, dwLen, &tHead), 0) << dwLen;
        EXPECT_EQ(tHead.dwPacketFlag, 0u);
    }
    /* Exactly 20 bytes is a whole message (a heartbeat). */
    EXPECT_EQ(VXQ_F_DPS_MW_HeadLoad(ucMsg, 20, &tHead), 1);
    EXPECT_EQ(tHead.dwPacketSize, 20u);
    EXPECT_EQ(VXQ_F_DPS_MW_HeadLoad(NULL, 20, &tHead), 0);
}

TEST(Head, FreshHeadZeroesTransNoAndReservedAndTypeBits2To7)
{
    uint8_t ucMsg[20];
    memset(ucMsg, 0xFF, sizeof(ucMsg));
    VXQ_F_DPS_MW_HeadBuildFresh(ucMsg, 172, P5_ALARM_NOTICE, 0xFD, 0);
    const uint8_t ucWant[20] = {0xEE, 0xEE, 0xFF, 0xFF, 172, 0, 0, 0, 0x03, 0x05,
                                0x01, 0,    0,    0,    0,   0, 0, 0, 0,    0};
    EXPECT_EQ(memcmp(ucMsg, ucWant, 20), 0);
}

TEST(Head, AnswerInPlaceKeepsTransNoReservedBytesAndUpperTypeBits)
{
    /* A request as a client might send it: type byte 0xFC (a request with
     * bits 2-7 set), result 9, a transaction number, reserved bytes, a body. */
    uint8_t ucMsg[28];
    for (size_t i = 0; i < sizeof(ucMsg); i++)
        ucMsg[i] = (uint8_t)(0x30 + i);
    ucMsg[10] = 0xFC;
    ucMsg[11] = 9;
    std::vector<uint8_t> ucBefore(ucMsg, ucMsg + sizeof(ucMsg));
    VXQ_F_DPS_MW_HeadMakeAnswer(ucMsg, 42);

    for (size_t i = 0; i < sizeof(ucMsg); i++) {
        if (i == 10)
            EXPECT_EQ(ucMsg[i], 0xFD);
        else if (i == 11)
            EXPECT_EQ(ucMsg[i], 42);
        else
            EXPECT_EQ(ucMsg[i], ucBefore[i]) << "byte " << i;
    }
    /* Type bits 0-1 become 1 whatever they were. */
    ucMsg[10] = 0x03;
    VXQ_F_DPS_MW_HeadMakeAnswer(ucMsg, 0);
    EXPECT_EQ(ucMsg[10], 0x01);
    EXPECT_EQ(ucMsg[11], 0);
}

TEST(Head, LittleEndianAccessorsUseByteOrderNotHostOrder)
{
    uint8_t ucBuf[7] = {0};
    /* Odd offsets: no alignment is assumed. */
    VXQ_F_DPS_MW_PutLe32(ucBuf + 1, 0x01020304);
    VXQ_F_DPS_MW_PutLe16(ucBuf + 5, 0xA0B0);
    const uint8_t ucWant[7] = {0, 4, 3, 2, 1, 0xB0, 0xA0};
    EXPECT_EQ(memcmp(ucBuf, ucWant, 7), 0);
    EXPECT_EQ(VXQ_F_DPS_MW_GetLe32(ucBuf + 1), 0x01020304u);
    EXPECT_EQ(VXQ_F_DPS_MW_GetLe16(ucBuf + 5), 0xA0B0);
    const uint8_t ucHigh[4] = {0xFF, 0xFF, 0xFF, 0x80};
    EXPECT_EQ(VXQ_F_DPS_MW_GetLe32(ucHigh), 0x80FFFFFFu);
}

TEST(Head, TranslatorOnThisHostLeavesEveryByteAndRefusesShortMessages)
{
    uint8_t ucMsg[40];
    for (size_t i = 0; i < sizeof(ucMsg); i++)
        ucMsg[i] = (uint8_t)(i * 13);
    VXQ_F_DPS_MW_HeadBuildFresh(ucMsg, sizeof(ucMsg), P9_GET_CONFIG, 0, 0);
    std::vector<uint8_t> ucBefore(ucMsg, ucMsg + sizeof(ucMsg));
    if (!VXQ_F_DPS_MW_IsBigEndianHost()) {
        EXPECT_EQ(VXQ_F_DPS_MW_TransSingleNetDataPacketLittleMode(1, ucMsg, 40), 1);
        EXPECT_EQ(VXQ_F_DPS_MW_TransSingleNetDataPacketLittleMode(0, ucMsg, 40), 1);
        EXPECT_EQ(std::vector<uint8_t>(ucMsg, ucMsg + 40), ucBefore);
    }
    EXPECT_EQ(VXQ_F_DPS_MW_TransSingleNetDataPacketLittleMode(1, ucMsg, 19), 0);
    EXPECT_EQ(VXQ_F_DPS_MW_TransSingleNetDataPacketLittleMode(1, NULL, 40), 0);
}

TEST(Head, ByteOrderProbeAgreesWithTheCompiler)
{
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    EXPECT_EQ(VXQ_F_DPS_MW_IsBigEndianHost(), 1);
#else
    EXPECT_EQ(VXQ_F_DPS_MW_IsBigEndianHost(), 0);
#endif
}

TEST(Head, TranslatorRefusesASuccessfulAnswerWhoseRecordCountDoesNotFitItsLength)
{
    struct {
        uint16_t usFuncId;
        uint32_t dwLen;
        uint32_t dwCountOff;
        uint32_t dwCount;
        int bFromWire;
        uint8_t ucType;
        uint8_t ucResult;
        int iWant;
        const char *sLine; /* logged once when refused */
    } const tCases[] = {
        {P3_QUERY_FILE, 68 + 2 * 220, 64, 2, 0, 1, 0, 1, nullptr},
        {P3_QUERY_FILE, 68, 64, 0, 0, 1, 0, 1, nullptr},
        {P3_QUERY_FILE, 68 + 2 * 220 - 1, 64, 2, 0, 1, 0, 0, "Function ID: 0x0301, file info len error."},
        {P3_QUERY_FILE, 68 + 220, 64, 2, 0, 1, 0, 0, "Function ID: 0x0301, file info len error."},
        {P3_QUERY_FILE, 68, 64, 0xFFFFFFFFu, 0, 1, 0, 0, "Function ID: 0x0301, file info len error."},
        {P3_QUERY_FILE, 68 + 220, 64, 2, 0, 1, 7, 1, nullptr}, /* failed answers carry no records */
        {P3_QUERY_FILE, 68 + 220, 64, 2, 1, 0, 0, 1, nullptr}, /* the request layout has no records */
        {P3_QUERY_FILE, 48, 44, 0, 0, 1, 0, 1, nullptr},       /* shorter than the answer layout */
        {P3_NSP_QUERY_FILE, 88 + 3 * 192, 84, 3, 0, 1, 0, 1, nullptr},
        {P3_NSP_QUERY_FILE, 88 + 3 * 192, 84, 4, 0, 1, 0, 0, "Function ID: 0x0302, file info len error."},
        {P9_QUERY_NET_INFO, 24 + 2 * 90, 20, 2, 0, 1, 0, 1, nullptr},
        {P9_QUERY_NET_INFO, 24 + 2 * 90, 20, 1, 0, 1, 0, 0, "Function ID: 0x0911, card info len error."},
        {P9_QUERY_NET_INFO, 24, 20, 0x80000000u, 0, 1, 0, 0, "Function ID: 0x0911, card info len error."},
    };
    for (const auto &tCase : tCases) {
        std::vector<uint8_t> tMsg(tCase.dwLen, 0x5A);
        VXQ_F_DPS_MW_HeadBuildFresh(tMsg.data(), tCase.dwLen, tCase.usFuncId, tCase.ucType, tCase.ucResult);
        VXQ_F_DPS_MW_PutLe32(tMsg.data() + tCase.dwCountOff, tCase.dwCount);
        const std::vector<uint8_t> tBefore = tMsg;
        LogCapture tLog;
        EXPECT_EQ(VXQ_F_DPS_MW_TransSingleNetDataPacketLittleMode(tCase.bFromWire, tMsg.data(), tCase.dwLen),
                  tCase.iWant)
            << std::hex << tCase.usFuncId << std::dec << " len " << tCase.dwLen << " count " << tCase.dwCount;
        if (tCase.sLine != nullptr) {
            EXPECT_EQ(tLog.Count(tCase.sLine), 1) << tCase.sLine;
        }
        EXPECT_EQ(tMsg, tBefore); /* these bodies hold no host-order parts */
    }
}
