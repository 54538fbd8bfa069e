// The receive poll over the fake socket layer. Commands go to a recording
// double of apply_remote_settings defined below, which the linker takes in
// place of the remote-control code: these tests see exactly what the poll
// hands over and when.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/remote_control.h"
#include "tests/net/net_fixture.h"

namespace orbitune {
namespace {

// Every buffer the poll handed to apply_remote_settings, in full.
std::vector<std::vector<std::uint8_t>>* applied = nullptr;

}  // namespace

void apply_remote_settings(Module&, const std::uint8_t* packet) {
  applied->emplace_back(packet, packet + kReceiveBufferBytes);
}

namespace {

using testing::datagram;
using testing::NetFixture;
using Bytes = std::vector<std::uint8_t>;
using Calls = std::vector<std::string>;
using Strings = std::vector<std::string>;

const Ipv4SocketAddress kPeerA = make_ipv4_address(127, 0, 0, 21, 50123);
const Ipv4SocketAddress kPeerB = make_ipv4_address(127, 0, 0, 22, 2424);

class ReceivePollTest : public NetFixture {
 protected:
  ReceivePollTest() {
    applied = &applied_buffers;
    give_socket();
    log.clear();
  }
  ~ReceivePollTest() override { applied = nullptr; }

  std::vector<Bytes> applied_buffers;
};

TEST_F(ReceivePollTest, NothingQueuedReturnsZeroAfterOneReadinessCheck) {
  EXPECT_EQ(poll_receive(m), 0);
  EXPECT_EQ(log.entries, (Calls{"poll"}));
  EXPECT_TRUE(peers().empty());
}

TEST_F(ReceivePollTest, WithoutSocketNothingIsTouched) {
  m.network.udp_socket = kNoSocket;
  m.network.seed_peers[0] = kPeerB;
  m.network.seed_peer_count = 1;
  sockets.queue(datagram(4, 460), kPeerA);
  EXPECT_EQ(poll_receive(m), 0);
  EXPECT_TRUE(log.entries.empty());
  EXPECT_TRUE(peers().empty());
  EXPECT_TRUE(applied_buffers.empty());
}

TEST_F(ReceivePollTest, SeedPeersAreRegisteredFirstAndRefreshed) {
  m.network.seed_peers[0] = make_ipv4_address(127, 0, 0, 31, 2424);
  m.network.seed_peers[1] = make_ipv4_address(127, 0, 0, 30, 2424);
  m.network.seed_peer_count = 2;
  sockets.queue(datagram(16, 4), kPeerA);
  EXPECT_EQ(poll_receive(m), 0);
  EXPECT_EQ(peers(), (Strings{"127.0.0.31:2424", "127.0.0.30:2424", "127.0.0.21:50123"}));

  for (int i = 0; i < 700; ++i) age_peers(m);
  EXPECT_EQ(poll_receive(m), 0);
  EXPECT_EQ(peer_at(0)->ttl, 1200.0f);
  EXPECT_EQ(peer_at(1)->ttl, 1200.0f);
  EXPECT_EQ(peer_at(2)->ttl, 500.0f);  // requests are not refreshed by the poll
}

TEST_F(ReceivePollTest, EveryDatagramIsReceivedWithCapacity1500AfterAReadinessCheck) {
  sockets.queue(datagram(8, 40), kPeerA);
  sockets.queue(datagram(1, 460), kPeerA);
  EXPECT_EQ(poll_receive(m), 0);
  EXPECT_EQ(log.entries, (Calls{"poll", "recvfrom", "poll", "recvfrom", "poll"}));
  EXPECT_EQ(sockets.last_receive_capacity, 1500);
}

// The result flag: the last of the datagrams of ID 4 or 16 decides.
struct FlagCase {
  const char* what;
  std::vector<std::int32_t> ids;
  std::int32_t result;
};
const FlagCase kFlagCases[] = {
    {"command alone", {4}, 1},
    {"request alone", {16}, 0},
    {"command then request", {4, 16}, 0},
    {"request then command", {16, 4}, 1},
    {"peer route between", {16, 8, 4}, 1},
    {"own kinds after the command", {4, 1, 2, 8}, 1},
    {"own kinds after the request", {4, 16, 1, 2}, 0},
    {"unknown IDs change nothing", {4, 3, 0, -4, 0x0104}, 1},
    {"neither kind", {1, 2, 8}, 0},
};
void PrintTo(const FlagCase& c, std::ostream* os) {
  *os << c.what;
}

class ResultFlagTest : public ReceivePollTest, public ::testing::WithParamInterface<FlagCase> {};

TEST_P(ResultFlagTest, LastCommandOrRequestDecides) {
  const FlagCase& c = GetParam();
  int commands = 0;
  for (std::int32_t id : c.ids) {
    sockets.queue(datagram(id, 460), kPeerA);
    commands += id == 4;
  }
  EXPECT_EQ(poll_receive(m), c.result) << c.what;
  EXPECT_EQ(static_cast<int>(applied_buffers.size()), commands);
  EXPECT_EQ(sockets.queued(), 0u);
}
INSTANTIATE_TEST_SUITE_P(Table, ResultFlagTest, ::testing::ValuesIn(kFlagCases));

TEST_F(ReceivePollTest, CommandIsHandedTheDatagramFollowedByZeros) {
  // A full-size datagram first leaves non-zero bytes all over the buffer; the
  // short command after it must not see any of them.
  sockets.queue(Bytes(1500, 0xA5), kPeerA);
  const Bytes command = datagram(4, 300, 0x21);
  sockets.queue(command, kPeerA);
  EXPECT_EQ(poll_receive(m), 1);
  ASSERT_EQ(applied_buffers.size(), 1u);
  Bytes expected(kReceiveBufferBytes, 0);
  std::copy(command.begin(), command.end(), expected.begin());
  EXPECT_EQ(applied_buffers[0], expected);
}

TEST_F(ReceivePollTest, SingleByteFourIsACommandOfZeros) {
  sockets.queue(Bytes{0x04}, kPeerA);
  EXPECT_EQ(poll_receive(m), 1);
  ASSERT_EQ(applied_buffers.size(), 1u);
  Bytes expected(kReceiveBufferBytes, 0);
  expected[0] = 0x04;
  EXPECT_EQ(applied_buffers[0], expected);
}

TEST_F(ReceivePollTest, SingleByteSixteenRegistersItsSenderWithItsPort) {
  sockets.queue(Bytes{0x10}, kPeerA);
  EXPECT_EQ(poll_receive(m), 0);
  EXPECT_EQ(peers(), (Strings{"127.0.0.21:50123"}));
  EXPECT_EQ(peer_at(0)->ttl, 1200.0f);
}

TEST_F(ReceivePollTest, ThreeByteRequestWithHighBytesMissingStillRegisters) {
  sockets.queue(Bytes{0x10, 0x00, 0x00}, kPeerB);
  EXPECT_EQ(poll_receive(m), 0);
  EXPECT_EQ(peers(), (Strings{"127.0.0.22:2424"}));
}

TEST_F(ReceivePollTest, Exactly1500BytesIsHandledAndLongerIsDroppedWhole) {
  Bytes full = datagram(4, 1500, 0x33);
  sockets.queue(datagram(16, 1501), kPeerA);  // dropped: its sender is not registered
  sockets.queue(full, kPeerB);
  EXPECT_EQ(poll_receive(m), 1);
  EXPECT_TRUE(peers().empty());
  ASSERT_EQ(applied_buffers.size(), 1u);
  EXPECT_TRUE(std::equal(full.begin(), full.end(), applied_buffers[0].begin()));
  EXPECT_EQ(applied_buffers[0][1500], 0);
}

TEST_F(ReceivePollTest, EmptyAndFailedReceivesAreDroppedAndTheDrainGoesOn) {
  sockets.queue(Bytes{}, kPeerA);  // an empty datagram
  sockets.queue_failure(ReceiveStatus::dropped);
  sockets.queue_failure(ReceiveStatus::error);
  sockets.queue(datagram(4, 2000), kPeerA);  // too long
  sockets.queue(datagram(16, 4), kPeerB);
  EXPECT_EQ(poll_receive(m), 0);
  EXPECT_EQ(sockets.receives, 5);
  EXPECT_TRUE(applied_buffers.empty());
  EXPECT_EQ(peers(), (Strings{"127.0.0.22:2424"}));
}

TEST_F(ReceivePollTest, FailingReadinessCheckEndsThePollWithTheFlagSoFar) {
  sockets.poll_fails = true;
  sockets.queue(datagram(4, 460), kPeerA);
  EXPECT_EQ(poll_receive(m), 0);
  EXPECT_EQ(sockets.receives, 0);
  EXPECT_EQ(sockets.queued(), 1u);
}

TEST_F(ReceivePollTest, AtMost256ReceivesPerPollAndTheRestWaitsForTheNext) {
  // 200 requests from distinct ports, with failures among them, then commands:
  // the cap counts receives, whatever they bring.
  for (int i = 0; i < 200; ++i) {
    sockets.queue(datagram(16, 4), make_ipv4_address(127, 0, 0, 40, 30000 + i));
    if (i % 4 == 0) sockets.queue_failure(ReceiveStatus::error);
  }
  for (int i = 0; i < 50; ++i) sockets.queue(datagram(4, 460), kPeerA);
  ASSERT_EQ(sockets.queued(), 300u);

  EXPECT_EQ(poll_receive(m), 1);
  EXPECT_EQ(sockets.receives, 256);
  EXPECT_EQ(sockets.polls, 256);  // no readiness check beyond the cap
  EXPECT_EQ(sockets.queued(), 44u);
  EXPECT_EQ(applied_buffers.size(), 6u);

  EXPECT_EQ(poll_receive(m), 1);
  EXPECT_EQ(sockets.queued(), 0u);
  EXPECT_EQ(applied_buffers.size(), 50u);
}

}  // namespace
}  // namespace orbitune
