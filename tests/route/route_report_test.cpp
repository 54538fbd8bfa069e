// Route reports through the real send paths over a fake socket layer: which
// datagrams go out, in which order, to whom, and byte for byte what they hold.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "gauge/module.h"
#include "net/network.h"
#include "route/flight_plan.h"
#include "route/route_packet.h"
#include "tests/route/gps_record.h"
#include "tests/support/call_log.h"
#include "tests/support/fake_host.h"
#include "tests/support/fake_platform.h"

namespace orbitune {
namespace {

using testing::CallLog;
using testing::FakeClock;
using testing::FakeHost;
using testing::FakeSockets;
using testing::GpsRecord;

const Ipv4SocketAddress kPeerA = make_ipv4_address(127, 0, 0, 2, 2424);
const Ipv4SocketAddress kPeerB = make_ipv4_address(127, 0, 0, 3, 50123);

// "P000", "P001", ...: four characters, so type 1 and named after themselves.
std::string ident_of(std::size_t i) {
  char text[24];
  std::snprintf(text, sizeof text, "P%03zu", i);
  return text;
}

bool same_address(const Ipv4SocketAddress& x, const Ipv4SocketAddress& y) {
  return x.address_be == y.address_be && x.port_be == y.port_be;
}

class RouteReportTest : public ::testing::Test {
 protected:
  RouteReportTest() {
    host.set_named_record("FS2002 GPS DATA", gps.data());
    // A socket that exists and two peers, as after a few enabled cycles.
    m.network.udp_socket = sockets.open_udp();
    m.network.multicast_destination = kMulticastGroup;
    register_peer(m, kPeerA);
    register_peer(m, kPeerB);
    log.clear();
  }

  // A plan of `n` waypoints, each with its own identifier and place.
  void plan_of(std::size_t n, std::int32_t active) {
    gps.set_plan_size(n);
    gps.set_active(active);
    for (std::size_t i = 0; i < n; ++i) {
      gps.set_waypoint(i, ident_of(i), -40.0 + 0.7 * i, 100.0 - 1.3 * i, 5.0 * i);
    }
  }

  CallLog log;
  FakeHost host{&log};
  FakeSockets sockets{&log};
  FakeClock clock;
  GpsRecord gps;
  Module m{host, sockets, clock};
};

// Each message goes to the group, then to every peer in list order, before
// the next message goes anywhere.
TEST_F(RouteReportTest, SegmentsThePlanIntoMessagesOfAtMostFiftyPoints) {
  struct Message {
    std::int32_t segpoints;
    std::size_t bytes;
  };
  struct Case {
    std::size_t waypoints;
    std::int32_t active;
    std::int32_t nopoints;
    std::vector<Message> messages;
  };
  const Case kCases[] = {
      {0, 0, 0, {{0, 24}}},  // an empty plan is still reported
      {1, 0, 1, {{1, 52}}},
      {50, 49, 50, {{50, 1424}}},
      {73, 60, 73, {{50, 1424}, {23, 668}}},  // waypoints 50 to 72 in the second
      {100, 7, 100, {{50, 1424}, {50, 1424}}},
      {120, 7, 100, {{50, 1424}, {50, 1424}}},  // cut to the table's 100
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(::testing::Message() << c.waypoints << " waypoints");
    plan_of(c.waypoints, c.active);
    sockets.sent.clear();
    report_route(m);

    ASSERT_EQ(sockets.sent.size(), 3 * c.messages.size());
    for (std::size_t s = 0; s < c.messages.size(); ++s) {
      const FakeSockets::Sent& group = sockets.sent[3 * s];
      EXPECT_TRUE(same_address(group.to, kMulticastGroup));
      EXPECT_TRUE(same_address(sockets.sent[3 * s + 1].to, kPeerA));
      EXPECT_TRUE(same_address(sockets.sent[3 * s + 2].to, kPeerB));
      EXPECT_EQ(sockets.sent[3 * s + 1].bytes, group.bytes);
      EXPECT_EQ(sockets.sent[3 * s + 2].bytes, group.bytes);
      ASSERT_EQ(group.bytes.size(), c.messages[s].bytes);

      const RoutePacket p = decode_route_packet(group.bytes.data(), group.bytes.size());
      EXPECT_EQ(p.header.message_id, 2);
      EXPECT_EQ(p.header.version, 0x10020310);
      EXPECT_EQ(p.header.nopoints, c.nopoints);
      EXPECT_EQ(p.header.cleg, c.active);
      EXPECT_EQ(p.header.segment, static_cast<std::int32_t>(s));
      EXPECT_EQ(p.header.segpoints, c.messages[s].segpoints);
      for (std::int32_t k = 0; k < p.header.segpoints; ++k) {
        EXPECT_EQ(std::string(p.points[k].NAME, strnlen(p.points[k].NAME, 8)), ident_of(50 * s + k))
            << "point " << k;
        EXPECT_EQ(p.points[k].TYPE, 0x1);
        EXPECT_EQ(std::memcmp(group.bytes.data() + 24 + 28 * k,
                              &m.flight_plan.waypoint_table[50 * s + k], 28),
                  0)
            << "table entries go on the wire unchanged";
      }
    }
  }
}

TEST_F(RouteReportTest, EmptyPlanIsOneHeaderOfSixWords) {
  plan_of(0, 3);
  report_route(m);
  const std::vector<std::uint8_t> expected = {
      0x02, 0x00, 0x00, 0x00,  // Message ID 2
      0x10, 0x03, 0x02, 0x10,  // Version 0x10020310
      0x00, 0x00, 0x00, 0x00,  // nopoints
      0x00, 0x00, 0x00, 0x00,  // cleg
      0x00, 0x00, 0x00, 0x00,  // segment
      0x00, 0x00, 0x00, 0x00,  // segpoints
  };
  ASSERT_EQ(sockets.sent.size(), 3u);
  EXPECT_EQ(sockets.sent[0].bytes, expected);
}

TEST_F(RouteReportTest, OnePointMessageByteForByte) {
  gps.set_plan_size(1);
  gps.set_ident(0, "KSEA");
  gps.set_latitude_raw(0, 10001750, 0);  // exactly 90 degrees
  gps.set_longitude_raw(0, 1ull << 47);  // exactly 180 degrees
  gps.set_altitude_raw(0, 100, 58982);   // 100.9 m: 328 ft
  report_route(m);
  const std::vector<std::uint8_t> expected = {
      0x02, 0x00, 0x00, 0x00,                          // Message ID 2
      0x10, 0x03, 0x02, 0x10,                          // Version
      0x01, 0x00, 0x00, 0x00,                          // nopoints 1
      0x00, 0x00, 0x00, 0x00,                          // cleg 0
      0x00, 0x00, 0x00, 0x00,                          // segment 0
      0x01, 0x00, 0x00, 0x00,                          // segpoints 1
      0x01, 0x00, 0x00, 0x00,                          // TYPE 1: four characters
      'K',  'S',  'E',  'A',  0x00, 0x00, 0x00, 0x00,  // NAME
      0x00, 0x00, 0xB4, 0x42,                          // LAT 90.0f
      0x00, 0x00, 0x34, 0x43,                          // LON 180.0f
      0x00, 0x00, 0xA4, 0x43,                          // ELEV 328.0f
      0x00, 0x00, 0x00, 0x00,                          // reserved
  };
  ASSERT_EQ(sockets.sent.size(), 3u);
  EXPECT_EQ(sockets.sent[0].bytes, expected);
}

TEST_F(RouteReportTest, BindsBeforeItSendsAndSendsEveryReportWhetherOrNotAnythingMoved) {
  plan_of(73, 5);
  report_route(m);
  report_route(m);
  const std::vector<std::string> expected = {
      "initialize_var_by_name FS2002 GPS DATA",
      "sendto 1424 239.224.224.1:2424",
      "sendto 1424 127.0.0.2:2424",
      "sendto 1424 127.0.0.3:50123",
      "sendto 668 239.224.224.1:2424",
      "sendto 668 127.0.0.2:2424",
      "sendto 668 127.0.0.3:50123",
      "sendto 1424 239.224.224.1:2424",
      "sendto 1424 127.0.0.2:2424",
      "sendto 1424 127.0.0.3:50123",
      "sendto 668 239.224.224.1:2424",
      "sendto 668 127.0.0.2:2424",
      "sendto 668 127.0.0.3:50123",
  };
  EXPECT_EQ(log.entries, expected);
}

TEST_F(RouteReportTest, NothingIsSentWhenThePlanIsNotAvailable) {
  struct Case {
    const char* what;
    void (*prepare)(FakeHost&, GpsRecord&);
  };
  const Case kCases[] = {
      {"variable not bound",
       [](FakeHost& h, GpsRecord&) { h.set_named_record("FS2002 GPS DATA", nullptr); }},
      {"no waypoint array", [](FakeHost&, GpsRecord& g) { g.remove_array(); }},
      {"negative count", [](FakeHost&, GpsRecord& g) { g.set_count(-1); }},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    plan_of(3, 1);
    host.set_named_record("FS2002 GPS DATA", gps.data());
    m.flight_plan.gps_data = nullptr;
    c.prepare(host, gps);
    sockets.sent.clear();
    report_route(m);
    EXPECT_TRUE(sockets.sent.empty());
  }
}

TEST_F(RouteReportTest, CountBeyondTheTableNeverReadsPastIt) {
  plan_of(100, 0);
  ASSERT_TRUE(update_waypoint_table(m));
  m.flight_plan.waypoint_count = 130;  // not a state the table ever reaches by itself
  send_route_packets(m);
  ASSERT_EQ(sockets.sent.size(), 6u);
  EXPECT_EQ(sockets.sent[0].bytes.size(), 1424u);
  EXPECT_EQ(sockets.sent[3].bytes.size(), 1424u);
}

}  // namespace
}  // namespace orbitune
