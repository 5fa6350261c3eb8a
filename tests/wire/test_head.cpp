#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "wire/head.h"

TEST(Head, RecordIs20BytesLittleEndianAtItsOffsetsAndLoadsBackFromExactly20)
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
    const uint8_t ucWant[21] = {0xEE, 0xEE, 0xFF, 0xFF, 0x45, 0x23, 0x01, 0x00, 0x13, 0x03, 0xA5,
                                42,   0x44, 0x33, 0x22, 0x11, 0xDE, 0x00, 0x00, 0xAD, 0x77};
    EXPECT_EQ(memcmp(ucMsg, ucWant, 21), 0);          /* nothing past the head */
    EXPECT_EQ(VXQ_F_DPS_MW_HeadPacketType(ucMsg), 1); /* 0xA5 & 3 */

    /* Loaded and stored again, every field comes back to its bytes; fewer than 20 are refused. */
    _VXQ_S_PVM_DP_UMSP_MSG_HEAD tBack;
    for (uint32_t dwLen : {0u, 1u, 19u}) {
        EXPECT_EQ(VXQ_F_DPS_MW_HeadLoad(ucMsg, dwLen, &tBack), 0) << dwLen;
        EXPECT_EQ(tBack.dwPacketFlag, 0u);
    }
    ASSERT_EQ(VXQ_F_DPS_MW_HeadLoad(ucMsg, 20, &tBack), 1);
    uint8_t ucAgain[20];
    VXQ_F_DPS_MW_HeadStore(&tBack, ucAgain);
    EXPECT_EQ(memcmp(ucAgain, ucWant, 20), 0);

    /* A fresh head zeroes the transaction number, the reserved bytes and type bits 2 to 7. */
    memset(ucMsg, 0xFF, sizeof(ucMsg));
    VXQ_F_DPS_MW_HeadBuildFresh(ucMsg, 172, P5_ALARM_NOTICE, 0xFD, 0);
    const uint8_t ucFresh[20] = {0xEE, 0xEE, 0xFF, 0xFF, 172, 0, 0, 0, 0x03, 0x05, 0x01};
    EXPECT_EQ(memcmp(ucMsg, ucFresh, 20), 0);
}

TEST(Head, AnswerInPlaceKeepsTransNoReservedBytesAndUpperTypeBits)
{
    /* A request with type byte 0xFC (bits 2-7 set), result 9, a transaction number, reserved bytes, a body.
     */
    std::vector<uint8_t> ucMsg(28);
    for (size_t i = 0; i < ucMsg.size(); i++)
        ucMsg[i] = (uint8_t)(0x30 + i);
    ucMsg[10] = 0xFC;
    ucMsg[11] = 9;
    std::vector<uint8_t> ucWant = ucMsg;
    ucWant[10] = 0xFD;
    ucWant[11] = 42;
    VXQ_F_DPS_MW_HeadMakeAnswer(ucMsg.data(), 42);
    EXPECT_EQ(ucMsg, ucWant);
    ucMsg[10] = 0x03; /* type bits 0-1 become 1 whatever they were */
    VXQ_F_DPS_MW_HeadMakeAnswer(ucMsg.data(), 0);
    EXPECT_EQ(ucMsg[10] * 256 + ucMsg[11], 0x0100);
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

TEST(Head, TranslatorRefusesShortMessagesAndASuccessfulAnswerWhoseRecordCountDoesNotFitItsLength)
{
    struct {
        uint16_t usFuncId;
        uint32_t dwLen, dwCountOff, dwCount;
        int bFromWire;
        uint8_t ucType, ucResult;
        int iWant;
    } tCases[] = {
        /* clang-format off */
        {P9_GET_CONFIG, 19, 0, 0, 1, 0, 0, 0}, {P3_QUERY_FILE, 68 + 2 * 220, 64, 2, 0, 1, 0, 1},
        {P3_QUERY_FILE, 68, 64, 0, 0, 1, 0, 1}, {P3_QUERY_FILE, 68 + 2 * 220 - 1, 64, 2, 0, 1, 0, 0},
        {P3_QUERY_FILE, 68 + 220, 64, 2, 0, 1, 0, 0}, {P3_QUERY_FILE, 68, 64, 0xFFFFFFFFu, 0, 1, 0, 0},
        {P3_QUERY_FILE, 68 + 220, 64, 2, 0, 1, 7, 1}, /* failed answers carry no records */
        {P3_QUERY_FILE, 68 + 220, 64, 2, 1, 0, 0, 1}, /* the request layout has no records */
        {P3_QUERY_FILE, 48, 44, 0, 0, 1, 0, 1}, /* shorter than the answer layout */
        {P3_NSP_QUERY_FILE, 88 + 3 * 192, 84, 3, 0, 1, 0, 1},
        {P3_NSP_QUERY_FILE, 88 + 3 * 192, 84, 4, 0, 1, 0, 0},
        {P9_QUERY_NET_INFO, 24 + 2 * 90, 20, 2, 0, 1, 0, 1},
        {P9_QUERY_NET_INFO, 24 + 2 * 90, 20, 1, 0, 1, 0, 0},
        {P9_QUERY_NET_INFO, 24, 20, 0x80000000u, 0, 1, 0, 0}
        /* clang-format on */
    };
    for (const auto &tCase : tCases) {
        std::vector<uint8_t> tMsg(std::max(tCase.dwLen, 20u), 0x5A);
        VXQ_F_DPS_MW_HeadBuildFresh(tMsg.data(), tCase.dwLen, tCase.usFuncId, tCase.ucType, tCase.ucResult);
        if (tCase.dwCountOff)
            VXQ_F_DPS_MW_PutLe32(tMsg.data() + tCase.dwCountOff, tCase.dwCount);
        const std::vector<uint8_t> tBefore = tMsg;
        EXPECT_EQ(VXQ_F_DPS_MW_TransSingleNetDataPacketLittleMode(tCase.bFromWire, tMsg.data(), tCase.dwLen),
                  tCase.iWant)
            << std::hex << tCase.usFuncId << std::dec << " len " << tCase.dwLen << " count " << tCase.dwCount;
        EXPECT_EQ(tMsg, tBefore); /* these bodies hold no host-order parts */
    }
    EXPECT_EQ(VXQ_F_DPS_MW_TransSingleNetDataPacketLittleMode(1, NULL, 40), 0);
}
