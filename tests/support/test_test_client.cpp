/* The test client's whole-message reads against a peer that sends a broken
 * head. The helpers are thin wrappers over the reference client library:
 * message building, the login digest, reads across and within receives and
 * the close report are checked by its own tests (tests/tools/test_client_*). */
#include <gtest/gtest.h>

#include "support/loopback.h"
#include "support/test_client.h"

#include <sys/socket.h>
#include <unistd.h>

TEST(TestClient, HeadWithWrongFlagOrSizeBelowTwentyEndsTheRead)
{
    for (uint32_t dwCase : {0u, 1u}) {
        uint16_t usPort = 0;
        int iListen = LoopbackListen(&usPort);
        ASSERT_GE(iListen, 0);
        _VXQ_S_TESTCLI_DATA tCli;
        VXQ_F_TESTCLI_Init(&tCli);
        ASSERT_EQ(VXQ_F_TESTCLI_Connect(&tCli, usPort), 1);
        int iPeer = accept(iListen, nullptr, nullptr);
        ASSERT_GE(iPeer, 0);
        std::vector<uint8_t> tBad = VXQ_F_TESTCLI_BuildZeroMsg(0x0001, 1, 0);
        if (dwCase == 0)
            tBad[0] = 0;
        else
            VXQ_F_TESTCLI_PutU32(tBad, 4, 19);
        ASSERT_EQ(send(iPeer, tBad.data(), tBad.size(), 0), (ssize_t)tBad.size());
        std::vector<uint8_t> tMsg;
        EXPECT_EQ(VXQ_F_TESTCLI_ReadMsg(&tCli, tMsg, 2000), 0) << dwCase;
        close(iPeer);
        close(iListen);
        VXQ_F_TESTCLI_Close(&tCli);
        VXQ_F_TESTCLI_Close(&tCli); /* safe twice */
    }
}
