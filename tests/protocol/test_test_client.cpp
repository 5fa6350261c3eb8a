/* The test client library against hand-computed bytes, and its whole-message reads over loopback. */
#include <gtest/gtest.h>

#include "support/test_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

TEST(TestClient, BuildsTheTwentyByteLittleEndianHeadFollowedByTheBody)
{
    const uint8_t ucBody[3] = {0xAB, 0xCD, 0xEF};
    std::vector<uint8_t> tMsg = VXQ_F_TESTCLI_BuildMsg(0x0102, 0x04, 0x11223344u, ucBody, sizeof(ucBody));
    const std::vector<uint8_t> tExpected = {
        0xEE, 0xEE, 0xFF, 0xFF, /* flag 0xFFFFEEEE */
        0x17, 0x00, 0x00, 0x00, /* size 23 */
        0x02, 0x01,             /* function id 0x0102 */
        0x04, 0x00,             /* type byte, result */
        0x44, 0x33, 0x22, 0x11, /* transaction number */
        0x00, 0x00, 0x00, 0x00, /* reserved */
        0xAB, 0xCD, 0xEF,
    };
    EXPECT_EQ(tMsg, tExpected);

    _VXQ_S_TESTCLI_HEAD tHead;
    ASSERT_EQ(VXQ_F_TESTCLI_ParseHead(tMsg, &tHead), 1);
    EXPECT_EQ(tHead.dwPacketFlag, 0xFFFFEEEEu);
    EXPECT_EQ(tHead.dwPacketSize, 23u);
    EXPECT_EQ(tHead.usMsgFuncId, 0x0102);
    EXPECT_EQ(tHead.ucTypeByte, 0x04);
    EXPECT_EQ(tHead.ucPacketType, 0);
    EXPECT_EQ(tHead.dwTransNo, 0x11223344u);

    std::vector<uint8_t> tShort(19, 0);
    EXPECT_EQ(VXQ_F_TESTCLI_ParseHead(tShort, &tHead), 0);
}

TEST(TestClient, LoginDigestIsLowercaseMd5OfTokenColonPassword)
{
    struct {
        const char *sToken;
        const char *sPassword;
        const char *sDigest;
    } tCases[] = {
        {"MTIzNDU2Nzg5", "pass", "ff6a077bed40932b32f23056a8a280bc"},
        {"MTIzNDU2Nzg5", "", "daf24793654582367e29eb229a28d740"},
    };
    for (const auto &tCase : tCases)
        EXPECT_EQ(VXQ_F_TESTCLI_LoginDigest(tCase.sToken, tCase.sPassword), tCase.sDigest);
}

TEST(TestClient, LoginRequestCarriesNameAndDigestAtTheirOffsets)
{
    std::vector<uint8_t> tMsg = VXQ_F_TESTCLI_BuildLogin(7, "admin", "ff6a077bed40932b32f23056a8a280bc");
    ASSERT_EQ(tMsg.size(), 548u);
    EXPECT_EQ(VXQ_F_TESTCLI_GetU32(tMsg, 4), 548u);
    EXPECT_EQ(std::string((const char *)tMsg.data() + 20), "admin");
    EXPECT_EQ(tMsg[20 + 5], 0);
    EXPECT_EQ(std::string((const char *)tMsg.data() + 52), "ff6a077bed40932b32f23056a8a280bc");
    EXPECT_EQ(tMsg[52 + 32], 0);
}

namespace {

/* A loopback listener on a port the system picks; accepts one peer. */
struct Listener {
    int iListen = -1;
    uint16_t usPort = 0;
    Listener()
    {
        iListen = socket(AF_INET, SOCK_STREAM, 0);
        struct sockaddr_in tAddr = {};
        tAddr.sin_family = AF_INET;
        tAddr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(iListen, (struct sockaddr *)&tAddr, sizeof(tAddr));
        listen(iListen, 1);
        socklen_t iLen = sizeof(tAddr);
        getsockname(iListen, (struct sockaddr *)&tAddr, &iLen);
        usPort = ntohs(tAddr.sin_port);
    }
    ~Listener() { close(iListen); }
};

} // namespace

TEST(TestClient, ReadsWholeMessagesAcrossAndWithinReadsAndReportsTheClose)
{
    Listener tListener;
    _VXQ_S_TESTCLI_DATA tCli;
    VXQ_F_TESTCLI_Init(&tCli);
    ASSERT_EQ(VXQ_F_TESTCLI_Connect(&tCli, tListener.usPort), 1);
    int iPeer = accept(tListener.iListen, nullptr, nullptr);
    ASSERT_GE(iPeer, 0);

    std::vector<uint8_t> tFirst = VXQ_F_TESTCLI_BuildZeroMsg(0x0001, 1, 0);
    std::vector<uint8_t> tSecond = VXQ_F_TESTCLI_BuildZeroMsg(0x0104, 2, 12);
    std::vector<uint8_t> tBoth(tFirst);
    tBoth.insert(tBoth.end(), tSecond.begin(), tSecond.end());
    /* The first message and 5 bytes of the second, then the rest. */
    ASSERT_EQ(send(iPeer, tBoth.data(), 25, 0), 25);
    std::vector<uint8_t> tMsg;
    ASSERT_EQ(VXQ_F_TESTCLI_ReadMsg(&tCli, tMsg, 2000), 1);
    EXPECT_EQ(tMsg, tFirst);
    std::thread tLater([&] { send(iPeer, tBoth.data() + 25, tBoth.size() - 25, 0); });
    ASSERT_EQ(VXQ_F_TESTCLI_ReadMsg(&tCli, tMsg, 2000), 1);
    tLater.join();
    EXPECT_EQ(tMsg, tSecond);

    /* Nothing more: a short deadline ends the read with 0. */
    EXPECT_EQ(VXQ_F_TESTCLI_ReadMsg(&tCli, tMsg, 50), 0);

    /* A message the client sends arrives whole at the peer. */
    ASSERT_EQ(VXQ_F_TESTCLI_SendMsg(&tCli, tSecond), 1);
    std::vector<uint8_t> tGot(tSecond.size());
    ASSERT_EQ(recv(iPeer, tGot.data(), tGot.size(), MSG_WAITALL), (ssize_t)tGot.size());
    EXPECT_EQ(tGot, tSecond);

    close(iPeer);
    EXPECT_EQ(VXQ_F_TESTCLI_WaitPeerClosed(&tCli, 2000), 1);
    EXPECT_EQ(VXQ_F_TESTCLI_ReadMsg(&tCli, tMsg, 50), 0);
    VXQ_F_TESTCLI_Close(&tCli);
    VXQ_F_TESTCLI_Close(&tCli);
}

TEST(TestClient, HeadWithWrongFlagOrSizeBelowTwentyEndsTheRead)
{
    for (uint32_t dwCase : {0u, 1u}) {
        Listener tListener;
        _VXQ_S_TESTCLI_DATA tCli;
        VXQ_F_TESTCLI_Init(&tCli);
        ASSERT_EQ(VXQ_F_TESTCLI_Connect(&tCli, tListener.usPort), 1);
        int iPeer = accept(tListener.iListen, nullptr, nullptr);
        std::vector<uint8_t> tBad = VXQ_F_TESTCLI_BuildZeroMsg(0x0001, 1, 0);
        if (dwCase == 0)
            tBad[0] = 0;
        else
            VXQ_F_TESTCLI_PutU32(tBad, 4, 19);
        ASSERT_EQ(send(iPeer, tBad.data(), tBad.size(), 0), (ssize_t)tBad.size());
        std::vector<uint8_t> tMsg;
        EXPECT_EQ(VXQ_F_TESTCLI_ReadMsg(&tCli, tMsg, 2000), 0);
        close(iPeer);
        VXQ_F_TESTCLI_Close(&tCli);
    }
}
