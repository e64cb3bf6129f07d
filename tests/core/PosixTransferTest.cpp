#include "core/transfer/PosixTransfer.h"

#include "tests/core/support/LoopbackServer.h"

#include <gtest/gtest.h>

using namespace dravel;
using dravel::test::LoopbackServer;

TEST(TransferSocket, AbortBeforeConnectFailsTheConnection) {
    LoopbackServer server([](int) {});
    CPosixTransferSocket socket;
    socket.Abort();
    EXPECT_FALSE(socket.Connect("127.0.0.1", server.Port()));
}
