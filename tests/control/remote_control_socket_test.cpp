// Remote control end to end: a companion application on loopback sends
// commands over UDP to the protocol port; the module's update cycle, over the
// system's sockets and a fake host, applies them, shows the icon, and reports
// the commanded values back in the position packet of the same cycle.
#include <gtest/gtest.h>

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
#include "tests/support/loopback_socket.h"

namespace orbitune {
namespace {

using Bytes = std::vector<std::uint8_t>;
using KeyEvents = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
using testing::kLoopbackWaitMs;
using testing::LoopbackSocket;

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
  void await_module_readable() const {
    ASSERT_TRUE(testing::readable(m.network.udp_socket, kLoopbackWaitMs));
  }

  testing::FakeHost host;
  testing::FakeClock clock;
  Module m{host, system_socket_layer(), clock};
  ElementHeader icon{};
};

TEST_F(RemoteControlSocketTest, HeadingCommandReachesTheHostAndLightsTheIcon) {
  ORBITUNE_REQUIRE_ISOLATED_NETWORK();
  bind_module();
  const LoopbackSocket peer = LoopbackSocket::peer();
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
  const LoopbackSocket peer = LoopbackSocket::peer();
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
