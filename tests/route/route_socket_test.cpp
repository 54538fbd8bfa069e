// Route reports over the system's sockets, on loopback inside the private test
// namespace: a listener joined to the group on port 2424, as a companion
// application on the same machine would be, and a unicast peer on a port of
// its own. Only the host is a fake.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "gauge/module.h"
#include "gauge/update_cycle.h"
#include "net/network.h"
#include "route/flight_plan.h"
#include "route/route_packet.h"
#include "tests/route/gps_record.h"
#include "tests/support/fake_host.h"
#include "tests/support/fake_platform.h"
#include "tests/support/isolated_network.h"
#include "tests/support/loopback_socket.h"

namespace orbitune {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::AddressReuse;
using testing::FakeClock;
using testing::FakeHost;
using testing::GpsRecord;
using testing::LoopbackSocket;

constexpr int kQuietMs = 200;  // how long "nothing more arrives" is watched for

std::string name_of(const RoutePoint& p) {
  return std::string(p.NAME, strnlen(p.NAME, 8));
}

class RouteSocketTest : public ::testing::Test {
 protected:
  RouteSocketTest() {
    host.set_named_record("FS2002 GPS DATA", gps.data());
    gps.set_plan_size(73);
    gps.set_active(64);
    for (std::size_t i = 0; i < 73; ++i) {
      gps.set_waypoint(i, "R" + std::to_string(100 + i), 35.0 + 0.1 * i, -100.0 - 0.2 * i,
                       30.0 * i);
    }
  }
  ~RouteSocketTest() override { close_udp_socket(m); }

  // The socket as the first enabled update leaves it: address reuse, bound
  // to the protocol port.
  void set_up_module_socket() {
    ASSERT_EQ(open_udp_socket(m), 0);
    ASSERT_EQ(bind_receiver(m), 0);
  }

  // The two datagrams of the 73-waypoint plan, in order, at `endpoint`.
  static void expect_the_plan_at(const LoopbackSocket& endpoint, const char* who) {
    SCOPED_TRACE(who);
    const Bytes first = endpoint.receive();
    const Bytes second = endpoint.receive();
    ASSERT_EQ(first.size(), 1424u);
    ASSERT_EQ(second.size(), 668u);
    const RoutePacket a = decode_route_packet(first.data(), first.size());
    const RoutePacket b = decode_route_packet(second.data(), second.size());
    EXPECT_EQ(a.header.message_id, 2);
    EXPECT_EQ(a.header.nopoints, 73);
    EXPECT_EQ(a.header.cleg, 64);
    EXPECT_EQ(a.header.segment, 0);
    EXPECT_EQ(a.header.segpoints, 50);
    EXPECT_EQ(b.header.message_id, 2);
    EXPECT_EQ(b.header.nopoints, 73);
    EXPECT_EQ(b.header.cleg, 64);
    EXPECT_EQ(b.header.segment, 1);
    EXPECT_EQ(b.header.segpoints, 23);
    EXPECT_EQ(name_of(a.points[0]), "R100");
    EXPECT_EQ(name_of(a.points[49]), "R149");
    EXPECT_EQ(name_of(b.points[0]), "R150");
    EXPECT_EQ(name_of(b.points[22]), "R172");
    EXPECT_TRUE(endpoint.receive(kQuietMs).empty()) << "one report is two datagrams";
  }

  FakeHost host;
  FakeClock clock;
  GpsRecord gps;
  Module m{host, system_socket_layer(), clock};
};

TEST_F(RouteSocketTest, SeventyThreeWaypointsReachTheGroupAndAPeerInOrder) {
  ORBITUNE_REQUIRE_ISOLATED_NETWORK();
  const LoopbackSocket listener = LoopbackSocket::group_listener();
  const LoopbackSocket peer = LoopbackSocket::peer(AddressReuse::on);
  set_up_module_socket();
  register_peer(m, make_ipv4_address(127, 0, 0, 1, peer.port()));

  report_route(m);

  expect_the_plan_at(listener, "multicast listener");
  expect_the_plan_at(peer, "unicast peer");
}

TEST_F(RouteSocketTest, AfterTheGaugeTeardownTheNextReportBindsTheRecordAgain) {
  ORBITUNE_REQUIRE_ISOLATED_NETWORK();
  const LoopbackSocket peer = LoopbackSocket::peer(AddressReuse::on);
  set_up_module_socket();
  register_peer(m, make_ipv4_address(127, 0, 0, 1, peer.port()));
  report_route(m);
  expect_the_plan_at(peer, "before the teardown");

  gauge_service(m, kServiceKillGauge);
  EXPECT_EQ(m.flight_plan.gps_data, nullptr);

  // The gauge comes back: the next update sets the socket up again, and the
  // peer list outlives the teardown.
  set_up_module_socket();
  report_route(m);
  expect_the_plan_at(peer, "after the teardown");
  int bindings = 0;
  for (const auto& call : host.calls()) {
    bindings += call.kind == FakeHost::Call::Kind::initialize_var_by_name;
  }
  EXPECT_EQ(bindings, 2);
}

}  // namespace
}  // namespace orbitune
