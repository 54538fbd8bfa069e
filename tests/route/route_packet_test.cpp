// The ROUTE message on the wire: a hand-made byte image, round trips that a
// swapped field or shifted offset cannot pass, and reading datagrams that are
// short or claim more points than a message can hold.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/little_endian.h"
#include "route/route_packet.h"

namespace orbitune {
namespace {

RoutePoint point(std::int32_t type, const char (&name)[8], float lat, float lon, float elev,
                 std::int32_t reserved) {
  RoutePoint p;
  p.TYPE = type;
  std::memcpy(p.NAME, name, 8);
  p.LAT = lat;
  p.LON = lon;
  p.ELEV = elev;
  p.reserved = reserved;
  return p;
}

bool same_point(const RoutePoint& a, const RoutePoint& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(RoutePacketTest, EncodesAHandMadeImage) {
  RoutePacketHeader h;
  h.message_id = 2;
  h.version = 0x10020310;
  h.nopoints = 73;
  h.cleg = 61;
  h.segment = 1;
  h.segpoints = 2;
  const RoutePoint points[2] = {
      point(0x200, "ALPHA\0\0", 47.5f, -122.25f, 1500.0f, 0),
      point(0x800, "48N122W", -0.5f, 180.0f, -328.0f, 0x01020304),
  };
  std::uint8_t out[kRoutePacketMaxBytes];
  std::memset(out, 0xEE, sizeof out);
  ASSERT_EQ(encode_route_packet(h, points, out), 80u);

  const std::vector<std::uint8_t> expected = {
      0x02, 0x00, 0x00, 0x00,  // Message ID
      0x10, 0x03, 0x02, 0x10,  // Version
      0x49, 0x00, 0x00, 0x00,  // nopoints 73
      0x3D, 0x00, 0x00, 0x00,  // cleg 61
      0x01, 0x00, 0x00, 0x00,  // segment 1
      0x02, 0x00, 0x00, 0x00,  // segpoints 2
      // point 0
      0x00, 0x02, 0x00, 0x00,                     // TYPE 0x200
      'A', 'L', 'P', 'H', 'A', 0x00, 0x00, 0x00,  // NAME
      0x00, 0x00, 0x3E, 0x42,                     // LAT 47.5f
      0x00, 0x80, 0xF4, 0xC2,                     // LON -122.25f
      0x00, 0x80, 0xBB, 0x44,                     // ELEV 1500.0f
      0x00, 0x00, 0x00, 0x00,                     // reserved
      // point 1
      0x00, 0x08, 0x00, 0x00,                   // TYPE 0x800
      '4', '8', 'N', '1', '2', '2', 'W', 0x00,  // NAME
      0x00, 0x00, 0x00, 0xBF,                   // LAT -0.5f
      0x00, 0x00, 0x34, 0x43,                   // LON 180.0f
      0x00, 0x00, 0xA4, 0xC3,                   // ELEV -328.0f
      0x04, 0x03, 0x02, 0x01,                   // reserved, as given
  };
  EXPECT_EQ(std::vector<std::uint8_t>(out, out + expected.size()), expected);
  for (std::size_t i = expected.size(); i < sizeof out; ++i) {
    ASSERT_EQ(out[i], 0) << "byte " << i << " beyond the message";
  }

  const RoutePacket back = decode_route_packet(expected.data(), expected.size());
  EXPECT_EQ(back.header.nopoints, 73);
  EXPECT_EQ(back.header.cleg, 61);
  EXPECT_EQ(back.header.segment, 1);
  EXPECT_TRUE(same_point(back.points[0], points[0]));
  EXPECT_TRUE(same_point(back.points[1], points[1]));
}

TEST(RoutePacketTest, FullMessageRoundTripsEveryField) {
  RoutePacketHeader h;
  h.message_id = 0x0BADF00D;
  h.version = -7;
  h.nopoints = 99;
  h.cleg = 88;
  h.segment = 77;
  h.segpoints = 50;
  RoutePoint points[50];
  for (int k = 0; k < 50; ++k) {
    char name[8] = {static_cast<char>('A' + k % 26),
                    static_cast<char>('a' + k % 26),
                    static_cast<char>('0' + k % 10),
                    'x',
                    'y',
                    'z',
                    static_cast<char>(k),
                    0};
    points[k] = point(1000 + k, name, 0.25f * k - 6.0f, -1.5f * k + 3.0f, 11.0f * k + 0.5f, -k - 1);
  }
  std::uint8_t out[kRoutePacketMaxBytes];
  ASSERT_EQ(encode_route_packet(h, points, out), 1424u);

  const RoutePacket back = decode_route_packet(out, sizeof out);
  EXPECT_EQ(back.header.message_id, h.message_id);
  EXPECT_EQ(back.header.version, h.version);
  EXPECT_EQ(back.header.nopoints, h.nopoints);
  EXPECT_EQ(back.header.cleg, h.cleg);
  EXPECT_EQ(back.header.segment, h.segment);
  EXPECT_EQ(back.header.segpoints, h.segpoints);
  for (int k = 0; k < 50; ++k) EXPECT_TRUE(same_point(back.points[k], points[k])) << "point " << k;
}

TEST(RoutePacketTest, MessageLengthFollowsThePointCount) {
  struct Case {
    std::int32_t segpoints;
    std::size_t bytes;
  };
  constexpr Case kCases[] = {{0, 24}, {1, 52}, {23, 668}, {50, 1424}};
  for (const Case& c : kCases) {
    EXPECT_EQ(route_packet_bytes(c.segpoints), c.bytes) << c.segpoints << " points";
  }
}

TEST(RoutePacketTest, RefusesToEncodeMorePointsThanAMessageHolds) {
  const RoutePoint points[51] = {};
  for (const std::int32_t segpoints : {-1, 51, 1 << 30}) {
    RoutePacketHeader h;
    h.message_id = 2;
    h.segpoints = segpoints;
    std::uint8_t out[kRoutePacketMaxBytes];
    std::memset(out, 0xEE, sizeof out);
    EXPECT_EQ(encode_route_packet(h, points, out), 0u) << segpoints;
    // All zero: a send path that read segpoints from it would send 24 zero
    // bytes at most, never memory beyond the buffer.
    for (const std::uint8_t b : out) ASSERT_EQ(b, 0);
  }
}

TEST(RoutePacketTest, ShortDatagramReadsAsZerosBeyondItsEnd) {
  // Header of one point, then only TYPE and two bytes of NAME.
  const std::uint8_t bytes[] = {
      0x02, 0x00, 0x00, 0x00, 0x10, 0x03, 0x02, 0x10, 0x05, 0x00, 0x00, 0x00,
      0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,
      0x04, 0x00, 0x00, 0x00, 'K',  'S',  'E',  'A',  0x00, 0x00, 0xB4, 0x42,
  };
  const RoutePacket p = decode_route_packet(bytes, 30);
  EXPECT_EQ(p.header.nopoints, 5);
  EXPECT_EQ(p.header.cleg, 2);
  EXPECT_EQ(p.header.segpoints, 1);
  EXPECT_EQ(p.points[0].TYPE, 4);
  EXPECT_EQ(std::string(p.points[0].NAME, 8), std::string("KS\0\0\0\0\0\0", 8));
  EXPECT_EQ(p.points[0].LAT, 0.0f);
}

TEST(RoutePacketTest, ClaimedPointCountBeyondTheMessageIsBounded) {
  struct Case {
    std::int32_t segpoints;
    int decoded;  // points read back
  };
  constexpr Case kCases[] = {
      {-3, 0},   // negative: none
      {51, 50},  // more than a message holds: the 50 there are
      {0x7FFFFFFF, 50},
  };
  for (const Case& c : kCases) {
    std::uint8_t bytes[kRoutePacketMaxBytes];
    std::memset(bytes, 0x11, sizeof bytes);
    store_le_i32(bytes + 20, c.segpoints);
    const RoutePacket p = decode_route_packet(bytes, sizeof bytes);
    EXPECT_EQ(p.header.segpoints, c.segpoints);
    for (int k = 0; k < 50; ++k) {
      EXPECT_EQ(p.points[k].TYPE, k < c.decoded ? 0x11111111 : 0) << c.segpoints << ", " << k;
    }
  }
}

}  // namespace
}  // namespace orbitune
