// The end-to-end harness itself: what a program the tests start takes along
// of the test process, and the probe that tells when a port is listened on.
#include "tests/support/child_process.h"
#include "tests/support/proxy_test_client.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A socket bound to address:port as any code of the test might make it,
// without close-on-exec; -1 when the port could not be bound.
int BindWithoutCloseOnExec(uint16_t port, in_addr_t address)
{
    int s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(address);
    if (s >= 0 && bind(s, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0) {
        close(s);
        s = -1;
    }
    return s;
}

// The map program started while another thread of the test held the port
// it is to listen on kept that port for its whole run, and the peer's lines
// went to a socket nobody read.
TEST(SpawnedProgram, APortTheTestHeldWhileStartingItIsFreeOnceTheTestLetsGo)
{
    TempFolder root;
    uint16_t port = FreeUdpPort();
    int held = BindWithoutCloseOnExec(port, INADDR_LOOPBACK);
    ASSERT_GE(held, 0);
    Child program;
    ASSERT_TRUE(program.Start({"/bin/sleep", "600"}, root / "sleep.out", root.Path()));
    close(held);
    EXPECT_FALSE(IsUdpPortBound(port));
    int again = BindWithoutCloseOnExec(port, INADDR_ANY);
    EXPECT_GE(again, 0);
    if (again >= 0)
        close(again);
}

TEST(PortProbe, SeesAPortBoundOnLoopbackOrAnyAddressUntilItIsLetGo)
{
    uint16_t port = FreeUdpPort();
    EXPECT_FALSE(IsUdpPortBound(port));
    for (in_addr_t address : {INADDR_LOOPBACK, INADDR_ANY}) {
        int s = BindWithoutCloseOnExec(port, address);
        ASSERT_GE(s, 0);
        EXPECT_TRUE(IsUdpPortBound(port));
        EXPECT_TRUE(WaitUntilUdpPortTaken(port, 1));
        close(s);
        EXPECT_FALSE(IsUdpPortBound(port));
    }
}

}  // namespace
