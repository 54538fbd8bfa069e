// The UDP endpoint over the fake socket layer and clock: the exact order of
// socket calls and pauses, the bounded retries, and what the handle and the
// bind flag hold afterwards.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/net/net_fixture.h"

namespace orbitune {
namespace {

using testing::describe;
using testing::NetFixture;
using testing::ScratchDirectory;
using Calls = std::vector<std::string>;

class UdpEndpointTest : public NetFixture {};

// Set-up steps that fail some number of times before succeeding (-1: always).
struct RetryCase {
  int failures;
  int attempts;  // calls of the failing step
  int pauses;
  std::int32_t result;
};
constexpr RetryCase kRetryCases[] = {
    {0, 1, 0, 0},     // at once: no pause
    {2, 3, 2, 0},     // two failures: two pauses, then success
    {10, 11, 10, 0},  // the last allowed attempt still succeeds
    {-1, 11, 11, 1},  // never: eleven attempts, each followed by a pause
};
void PrintTo(const RetryCase& c, std::ostream* os) {
  *os << (c.failures < 0 ? std::string("always") : std::to_string(c.failures)) << " failing";
}

class ReuseRetryTest : public UdpEndpointTest, public ::testing::WithParamInterface<RetryCase> {};

TEST_P(ReuseRetryTest, AddressReuseIsRetriedWithPausesAndTheSocketKept) {
  const RetryCase c = GetParam();
  sockets.reuse_failures = c.failures;
  EXPECT_EQ(open_udp_socket(m), c.result);
  EXPECT_EQ(sockets.reuse_calls, c.attempts);
  EXPECT_EQ(clock.pauses, c.pauses);
  Calls expected{"startup", "socket"};
  for (int i = 0; i < c.attempts; ++i) {
    expected.push_back("setsockopt");
    if (i < c.pauses) expected.push_back("pause");
  }
  EXPECT_EQ(log.entries, expected);
  // With or without the option, the socket is the module's from now on.
  EXPECT_GE(m.network.udp_socket, 0);
  EXPECT_EQ(sockets.open_handles.count(m.network.udp_socket), 1u);
  EXPECT_TRUE(sockets.closed.empty());
  EXPECT_EQ(m.network.reciever_to_be_binded, 1);
}
INSTANTIATE_TEST_SUITE_P(Table, ReuseRetryTest, ::testing::ValuesIn(kRetryCases));

class BindRetryTest : public UdpEndpointTest, public ::testing::WithParamInterface<RetryCase> {};

TEST_P(BindRetryTest, BindIsRetriedWithPausesAndSeedsLoadedOnlyOnSuccess) {
  const RetryCase c = GetParam();
  ScratchDirectory dir;
  dir.write_seed_file("127.0.0.7\n127.0.0.8\n");
  give_socket();
  log.clear();
  sockets.bind_failures = c.failures;
  EXPECT_EQ(bind_receiver(m), c.result);
  EXPECT_EQ(sockets.bind_calls, c.attempts);
  EXPECT_EQ(clock.pauses, c.pauses);
  Calls expected{"startup"};
  for (int i = 0; i < c.attempts; ++i) {
    expected.push_back("bind 0.0.0.0:2424");
    if (i < c.pauses) expected.push_back("pause");
  }
  EXPECT_EQ(log.entries, expected);
  EXPECT_EQ(describe(m.network.receive_address), "0.0.0.0:2424");
  EXPECT_EQ(m.network.receive_address.family, kAddressFamilyInet);
  // The seed file is read after a successful bind and only then.
  EXPECT_EQ(m.network.seed_peer_count, c.result == 0 ? 2 : 0);
}
INSTANTIATE_TEST_SUITE_P(Table, BindRetryTest, ::testing::ValuesIn(kRetryCases));

TEST_F(UdpEndpointTest, OpenFillsTheGroupAddressAndSetsOnlyAddressReuse) {
  EXPECT_EQ(open_udp_socket(m), 0);
  EXPECT_EQ(log.entries, (Calls{"startup", "socket", "setsockopt"}));
  EXPECT_EQ(describe(m.network.multicast_destination), "239.224.224.1:2424");
  EXPECT_EQ(m.network.multicast_destination.family, kAddressFamilyInet);
  // Port 2424 is 0x0978: on the wire 0x09 then 0x78.
  const auto* port =
      reinterpret_cast<const std::uint8_t*>(&m.network.multicast_destination.port_be);
  EXPECT_EQ(port[0], 0x09);
  EXPECT_EQ(port[1], 0x78);
}

TEST_F(UdpEndpointTest, GroupAddressIsFilledEvenWhenTheSocketCannotBeCreated) {
  sockets.open_fails = true;
  EXPECT_EQ(open_udp_socket(m), 1);
  EXPECT_EQ(m.network.udp_socket, kNoSocket);
  EXPECT_EQ(describe(m.network.multicast_destination), "239.224.224.1:2424");
  EXPECT_EQ(sockets.reuse_calls, 0);
  EXPECT_EQ(clock.pauses, 0);
}

TEST_F(UdpEndpointTest, FailedStartupChangesNothing) {
  sockets.startup_fails = true;
  EXPECT_EQ(open_udp_socket(m), 1);
  EXPECT_EQ(bind_receiver(m), 1);
  EXPECT_EQ(log.entries, (Calls{"startup", "startup"}));
  EXPECT_EQ(m.network.udp_socket, kNoSocket);
  EXPECT_EQ(m.network.multicast_destination.family, 0);
  EXPECT_EQ(m.network.receive_address.family, 0);
}

TEST_F(UdpEndpointTest, BindCreatesItsOwnSocketWithoutAddressReuseWhenThereIsNone) {
  ScratchDirectory dir;
  EXPECT_EQ(bind_receiver(m), 0);
  EXPECT_EQ(log.entries, (Calls{"startup", "socket", "bind 0.0.0.0:2424"}));
  EXPECT_GE(m.network.udp_socket, 0);
  EXPECT_EQ(sockets.reuse_calls, 0);
  // The multicast copies of such a socket still go to the group.
  EXPECT_EQ(describe(m.network.multicast_destination), "239.224.224.1:2424");
}

TEST_F(UdpEndpointTest, BindWithoutAnySocketFailsAtOnce) {
  sockets.open_fails = true;
  EXPECT_EQ(bind_receiver(m), 1);
  EXPECT_EQ(sockets.bind_calls, 0);
  EXPECT_EQ(clock.pauses, 0);
  EXPECT_EQ(m.network.udp_socket, kNoSocket);
}

TEST_F(UdpEndpointTest, BindWithoutSeedFileHasNoSeedPeers) {
  ScratchDirectory dir;  // empty
  EXPECT_EQ(bind_receiver(m), 0);
  EXPECT_EQ(m.network.seed_peer_count, 0);
}

TEST_F(UdpEndpointTest, CloseShutsDownClosesAndForgetsTheHandle) {
  ScratchDirectory dir;
  ASSERT_EQ(open_udp_socket(m), 0);
  m.network.reciever_to_be_binded = bind_receiver(m);
  ASSERT_EQ(m.network.reciever_to_be_binded, 0);
  const SocketHandle handle = m.network.udp_socket;
  log.clear();

  close_udp_socket(m);
  EXPECT_EQ(log.entries, (Calls{"shutdown", "close"}));
  EXPECT_EQ(sockets.closed, std::vector<SocketHandle>{handle});
  // A later update must set the socket up again rather than use the old one.
  EXPECT_EQ(m.network.udp_socket, kNoSocket);
  EXPECT_EQ(m.network.reciever_to_be_binded, 1);

  // A second teardown touches nothing.
  close_udp_socket(m);
  EXPECT_EQ(log.entries, (Calls{"shutdown", "close"}));

  // Setting up again gives a new, open socket, and nothing ever used the
  // closed one.
  EXPECT_EQ(open_udp_socket(m), 0);
  EXPECT_EQ(bind_receiver(m), 0);
  EXPECT_NE(m.network.udp_socket, handle);
  EXPECT_EQ(sockets.open_handles.count(m.network.udp_socket), 1u);
  EXPECT_TRUE(sockets.misuse.empty());
}

TEST_F(UdpEndpointTest, CloseWithoutSocketDoesNothing) {
  close_udp_socket(m);
  EXPECT_TRUE(log.entries.empty());
  EXPECT_TRUE(sockets.misuse.empty());
}

}  // namespace
}  // namespace orbitune
