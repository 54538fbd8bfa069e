// Whole update cycles over the real subsystems, with the host and the socket
// layer faked: one call log shared by both shows the order in which the cycle
// reaches the network, the host and the peers.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "gauge/module.h"
#include "platform/little_endian.h"
#include "tests/route/gps_record.h"
#include "tests/support/fake_host.h"
#include "tests/support/fake_platform.h"

namespace orbitune {
namespace {

using testing::CallLog;
using testing::FakeClock;
using testing::FakeHost;
using testing::FakeSockets;
using testing::GpsRecord;

const Ipv4SocketAddress kPeer = make_ipv4_address(127, 0, 0, 1, 40001);

std::vector<std::uint8_t> message(std::int32_t id, std::size_t length) {
  std::vector<std::uint8_t> bytes(length, 0);  // length >= 4
  store_le_i32(bytes.data(), id);
  return bytes;
}

class ModuleCycleTest : public ::testing::Test {
 protected:
  ModuleCycleTest() {
    clock.log = &log;
    gps.set_plan_size(1);
    gps.set_waypoint(0, "KSEA", 47.45, -122.31, 131.0);
    host.set_named_record("FS2002 GPS DATA", gps.data());
  }

  double update() { return link_icon_update(m, &icon); }

  // Index of the first entry equal to `entry` at or after `from`, or -1.
  int find(const std::string& entry, std::size_t from = 0) const {
    const auto it =
        std::find(log.entries.begin() + static_cast<long>(from), log.entries.end(), entry);
    return it == log.entries.end() ? -1 : static_cast<int>(it - log.entries.begin());
  }

  CallLog log;
  FakeHost host{&log};
  FakeSockets sockets{&log};
  FakeClock clock;
  GpsRecord gps;
  Module m{host, sockets, clock};
  ElementHeader icon{};
};

TEST_F(ModuleCycleTest, FirstUpdateSetsUpTheSocketThenPollsThenSamples) {
  EXPECT_EQ(update(), 0.0);
  const std::vector<std::string> setup(log.entries.begin(), log.entries.begin() + 6);
  EXPECT_EQ(setup, (std::vector<std::string>{"startup", "socket", "setsockopt", "startup",
                                             "bind 0.0.0.0:2424", "poll"}));
  // Every module variable is refreshed before the first expression.
  EXPECT_EQ(log.entries[6], "lookup 0x41");
  EXPECT_EQ(log.starting_with("lookup").size(), 46u);
  EXPECT_LT(find("lookup 0x26"), find("execute (A:ATC ID,string)"));
  // No peer and not the 20th update: nothing is sent, no route is reported.
  EXPECT_TRUE(sockets.sent.empty());
  EXPECT_TRUE(log.starting_with("initialize_var_by_name").empty());
  EXPECT_TRUE(sockets.misuse.empty());
}

TEST_F(ModuleCycleTest, CommandIsAppliedBeforeTheSamplerAndReportedInTheSameUpdate) {
  update();
  sockets.queue(message(16, 4), kPeer);
  auto command = message(4, 460);
  store_le_u32(&command[364], 0x00000010);  // ap_set: hdgdial
  store_le_f32(&command[168], 270.0f);
  sockets.queue(command, kPeer);
  log.clear();

  EXPECT_EQ(update(), 1.0);
  const int key = find("key 0x101FA 270");
  ASSERT_GE(key, 0);
  EXPECT_LT(key, find("lookup 0x41"));
  // The peer that asked in this update gets this update's report.
  ASSERT_EQ(sockets.sent.size(), 1u);
  EXPECT_EQ(sockets.sent[0].bytes.size(), 460u);
  EXPECT_EQ(testing::describe(sockets.sent[0].to), "127.0.0.1:40001");
}

TEST_F(ModuleCycleTest, TwentiethUpdateSendsPositionToTheGroupThenTheRoute) {
  sockets.queue({16}, kPeer);  // a one-byte request reads as ID 16
  for (int i = 1; i <= 19; ++i) update();
  EXPECT_TRUE(log.starting_with("sendto 460 239.224.224.1:2424").empty());
  log.clear();
  sockets.sent.clear();

  update();
  std::vector<std::string> sends = log.starting_with("sendto");
  EXPECT_EQ(sends, (std::vector<std::string>{
                       "sendto 460 127.0.0.1:40001",     // position, unicast first
                       "sendto 460 239.224.224.1:2424",  // then the group
                       "sendto 52 239.224.224.1:2424",   // one-waypoint route, group first
                       "sendto 52 127.0.0.1:40001"}));
  EXPECT_LT(find("sendto 460 239.224.224.1:2424"), find("initialize_var_by_name FS2002 GPS DATA"));
}

TEST_F(ModuleCycleTest, TeardownClosesTheSocketAndALaterUpdateStartsOver) {
  update();
  const SocketHandle first = m.network.udp_socket;
  gauge_service(m, 12);
  EXPECT_EQ(sockets.closed, (std::vector<SocketHandle>{first}));
  EXPECT_EQ(m.flight_plan.gps_data, nullptr);

  log.clear();
  update();
  EXPECT_NE(m.network.udp_socket, first);
  EXPECT_EQ(find("socket"), 1);
  EXPECT_GE(find("bind 0.0.0.0:2424"), 0);
  EXPECT_TRUE(sockets.misuse.empty()) << sockets.misuse.front();
}

TEST_F(ModuleCycleTest, RequestedPeerExpiresAfterTwelveHundredEnabledUpdates) {
  update();
  sockets.queue(message(16, 4), kPeer);
  int received = 0;
  for (int i = 0; i < 1300; ++i) {
    sockets.sent.clear();
    update();
    received += static_cast<int>(
        std::count_if(sockets.sent.begin(), sockets.sent.end(), [](const FakeSockets::Sent& s) {
          return s.to.port_be == kPeer.port_be && s.bytes.size() == 460;
        }));
    if (i == 600) {  // switched off for a while: peers do not age
      link_toggle_click(m);
      for (int j = 0; j < 50; ++j) update();
      link_toggle_click(m);
    }
  }
  EXPECT_EQ(received, 1200);
  EXPECT_EQ(m.network.unicast_peers, nullptr);
}

}  // namespace
}  // namespace orbitune
