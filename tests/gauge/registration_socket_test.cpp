// The loaded module file driven the way the host drives it, with the system's
// sockets: updates through the element-list service, clicks hit-tested
// against the click rectangles, the kill service through the gauge callback.
// What the module does on the network is watched from a socket of our own on
// loopback, inside the isolated namespace.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "tests/gauge/loaded_module.h"
#include "tests/support/isolated_network.h"
#include "tests/support/loopback_socket.h"
#include "tests/support/panel_table_double.h"

namespace orbitune {
namespace {

using testing::click_gauge;
using testing::loaded_module;
using testing::LoopbackSocket;
using testing::PanelTableDouble;

constexpr std::uint16_t kPort = 2424;
constexpr std::uint32_t kLeftClick = 0x20000000;  // the click area's event mask
constexpr std::uint32_t kOtherEvent = 0x00010000;
constexpr std::size_t kPositionPacketBytes = 460;

sockaddr_in loopback(std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

// True when a socket without address reuse can take the protocol port, that
// is, when the module holds no socket bound to it.
bool protocol_port_free() {
  const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
  const sockaddr_in a = loopback(kPort);
  const bool bound = ::bind(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
  ::close(s);
  return bound;
}

// Clicks in the order the pilot makes them, each followed by one update.
struct ClickCase {
  std::int32_t x, y;
  std::uint32_t event;
  int callbacks_reached;
  double icon_after;
};
constexpr ClickCase kClicks[] = {
    // Just right of the 80x80 area: nothing reached, the link stays on.
    {80, 10, kLeftClick, 0, 0.0},
    // Just below it.
    {10, 80, kLeftClick, 0, 0.0},
    // Inside, but an event outside the mask.
    {40, 40, kOtherEvent, 0, 0.0},
    // Inside at the top-left corner with the mask's bit: switched off.
    {0, 0, kLeftClick, 1, 2.0},
    // Inside at the far corner, the bit among others: switched on again.
    {79, 79, kLeftClick | kOtherEvent, 1, 0.0},
};

TEST(RegistrationSocketTest, HostDrivesTheLoadedModuleThroughItsRecords) {
  ORBITUNE_REQUIRE_ISOLATED_NETWORK();
  ASSERT_EQ(loaded_module().problem, "");
  ImportTable& import_table = *loaded_module().import_table;
  GaugeHeader& gauge = *loaded_module().linkage->gauges[0];

  PanelTableDouble host;
  import_table.panels = host.table();
  gauge.install(nullptr);
  gauge.initialize();
  ASSERT_TRUE(protocol_port_free());

  // The first update sets the socket up and binds the receiver.
  gauge.update();
  ASSERT_EQ(host.icons.size(), 1u);
  EXPECT_EQ(host.icons[0], 0.0);
  EXPECT_FALSE(protocol_port_free());
  EXPECT_GT(host.variable_lookups, 0);  // the cycle sampled the aircraft

  // A companion asks for unicast reports and gets one from the next update.
  {
    const LoopbackSocket peer = LoopbackSocket::peer();
    ASSERT_TRUE(peer.bound());
    ASSERT_NO_FATAL_FAILURE(peer.send_to(kPort, {16, 0, 0, 0}));  // message ID 16, little-endian
    gauge.update();
    ASSERT_TRUE(testing::readable(peer.fd(), 2000));
    sockaddr_in from{};
    const std::vector<std::uint8_t> report = peer.receive(0, &from);
    EXPECT_EQ(report.size(), kPositionPacketBytes);
    EXPECT_EQ(report.empty() ? -1 : report[0], 1);  // POSITION
    EXPECT_EQ(ntohs(from.sin_port), kPort);
  }

  for (const ClickCase& c : kClicks) {
    SCOPED_TRACE(::testing::Message() << "click at " << c.x << "," << c.y);
    EXPECT_EQ(click_gauge(gauge, c.x, c.y, c.event), c.callbacks_reached);
    const std::size_t icons_before = host.icons.size();
    gauge.update();
    ASSERT_EQ(host.icons.size(), icons_before + 1);
    EXPECT_EQ(host.icons.back(), c.icon_after);
  }

  // Only the service the host sends before killing the gauge tears down.
  gauge.gauge_callback(&gauge, 11, 0);
  EXPECT_FALSE(protocol_port_free());
  gauge.gauge_callback(&gauge, 12, 0);
  EXPECT_TRUE(protocol_port_free());

  gauge.kill();
  ASSERT_FALSE(host.element_calls.empty());
  EXPECT_EQ(host.element_calls.back().slot, panel_slot::element_list_kill);
  import_table.panels = nullptr;
}

}  // namespace
}  // namespace orbitune
