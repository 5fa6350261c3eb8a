/* Entry point of every test program: a peer that goes away must never kill a test with SIGPIPE. */
#include <gtest/gtest.h>
#include <signal.h>

int main(int argc, char **argv)
{
    signal(SIGPIPE, SIG_IGN);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
