// Remote control end to end: a companion application on loopback sends
// commands over UDP to the protocol port; the module's update cycle, over the
// system's sockets and a fake host, applies them, shows the icon, and reports
// the commanded values back in the position packet of the same cycle.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "gauge/module.h"
#include "net/network.h"
#include "platform/little_endian.h"
#include "position/position_packet.h"
#include "tests/support/fake_host.h"
#include "tests/support/fake_platform.h"
#include "tests/support/isolated_network.h"

namespace orbitune {
namespace {

using Bytes = std::vector<std::uint8_t>;
using KeyEvents = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

constexpr int kWaitMs = 2000;  // bound on every wait for loopback delivery

bool readable(int fd, int wait_ms) {
  pollfd entry{fd, POLLIN, 0};
  return ::poll(&entry, 1, wait_ms) == 1;
}

// The companion application: a UDP socket on 127.0.0.1 at a port of the
// system's choosing.
class Peer {
 public:
  Peer() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    EXPECT_GE(fd_, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  }
  ~Peer() { ::close(fd_); }
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;

  void send_to_module(const Bytes& bytes) const {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kProtocolPort);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(
        ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
        static_cast<ssize_t>(bytes.size()));
  }

  // The next datagram, waiting at most kWaitMs; empty when none came.
  Bytes receive() const {
    if (!readable(fd_, kWaitMs)) return {};
    Bytes buffer(2048);
    const ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
    buffer.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
    return buffer;
  }

  bool has_datagram() const { return readable(fd_, 0); }

 private:
  int fd_ = -1;
};

Bytes encode(const PositionPacket& p) {
  Bytes bytes(kPositionPacketBytes);
  encode_position_packet(p, bytes.data());
  return bytes;
}

Bytes unicast_request() {
  Bytes bytes(4);
  store_le_i32(bytes.data(), kMessageUnicastRequest);
  return bytes;
}

class RemoteControlSocketTest : public ::testing::Test {
 protected:
  ~RemoteControlSocketTest() override { close_udp_socket(m); }

  double update() { return link_icon_update(m, &icon); }

  // The first enabled update opens the socket and binds it to the protocol
  // port; only then can a peer's datagram reach it.
  void bind_module() {
    ASSERT_EQ(update(), 0.0);
    ASSERT_EQ(m.network.reciever_to_be_binded, 0);
    host.clear_calls();
  }

  // The poll never waits, so the test does: what the peer sent must be queued
  // before the next update. Loopback delivers in order within the send call.
  void await_module_readable() const { ASSERT_TRUE(readable(m.network.udp_socket, kWaitMs)); }

  testing::FakeHost host;
  testing::FakeClock clock;
  Module m{host, system_socket_layer(), clock};
  ElementHeader icon{};
};

TEST_F(RemoteControlSocketTest, HeadingCommandReachesTheHostAndLightsTheIcon) {
  ORBITUNE_REQUIRE_ISOLATED_NETWORK();
  bind_module();
  Peer peer;
  PositionPacket command;
  command.message_id = kMessageRemotePosition;
  command.ap_set = 0x00000010;
  command.hdgdial = 270.0f;
  peer.send_to_module(encode(command));
  await_module_readable();

  EXPECT_EQ(update(), kIconCommandApplied);
  EXPECT_EQ(host.key_events(), (KeyEvents{{0x101FA, 270}}));

  // The command was drained: the next update applies nothing and shows the plain dial.
  host.clear_calls();
  EXPECT_EQ(update(), kIconRunning);
  EXPECT_EQ(host.key_events(), KeyEvents{});
}

// A request and a command in one update, in either order: both are handled,
// the icon follows the last of them, and the position packet built in that
// same update already carries what the command set.
struct Arrival {
  const char* name;
  bool command_first;
  double icon;
};

class ArrivalOrderTest : public RemoteControlSocketTest,
                         public ::testing::WithParamInterface<Arrival> {};

TEST_P(ArrivalOrderTest, PositionOfTheSameUpdateReportsTheCommandedValues) {
  ORBITUNE_REQUIRE_ISOLATED_NETWORK();
  bind_module();
  host.set_expression_i32("(A:GPS DRIVES NAV1,Bool)", 0);
  Peer peer;
  PositionPacket command;
  command.message_id = kMessageRemotePosition;
  command.ap_set = 0x00400000 | 0x00200000 | 0x00100000;  // mfdrange, mfdmode, apsource
  command.mfdrange = 2.9f;
  command.mfdmode = 6;
  command.apsource = 3;
  command.rad_set = 0x00000400 | 0x00800000 | 0x04000000;  // com1freq, xpdermode, radaux2
  command.com1freq = 11850;
  command.xpdermode = 5;
  command.radaux2 = -31;
  const Arrival& order = GetParam();
  if (order.command_first) {
    peer.send_to_module(encode(command));
    peer.send_to_module(unicast_request());
  } else {
    peer.send_to_module(unicast_request());
    peer.send_to_module(encode(command));
  }
  await_module_readable();

  EXPECT_EQ(update(), order.icon);
  // apsource 3 with the NAV receiver driving NAV1 asks the host for nothing.
  EXPECT_EQ(host.key_events(), (KeyEvents{{0x100AB, 0x1850}}));

  const Bytes report = peer.receive();
  ASSERT_EQ(report.size(), kPositionPacketBytes);
  const PositionPacket p = decode_position_packet(report.data());
  EXPECT_EQ(p.message_id, kMessagePosition);
  EXPECT_EQ(p.mfdrange, 2.0f);
  EXPECT_EQ(p.mfdmode, 6);
  EXPECT_EQ(p.apsource, 3);
  EXPECT_EQ(p.xpdermode, 5);
  EXPECT_EQ(p.radaux2, -31);
  // Values no command touched keep their initial ones.
  EXPECT_EQ(p.mfdshow, 572);
  EXPECT_EQ(p.adf1sfreq, 353);
  EXPECT_EQ(p.radaux1, 1);
  EXPECT_FALSE(peer.has_datagram());
}

constexpr Arrival kArrivals[] = {
    {"RequestThenCommand", false, kIconCommandApplied},  // the last one was a command: 1
    {"CommandThenRequest", true, kIconRunning},          // the last one was a request: 0
};

INSTANTIATE_TEST_SUITE_P(Order, ArrivalOrderTest, ::testing::ValuesIn(kArrivals),
                         [](const ::testing::TestParamInfo<Arrival>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace orbitune
