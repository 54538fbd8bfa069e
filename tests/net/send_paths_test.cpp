// The send paths over the fake socket layer: which bytes go out, how many,
// to whom and in which order.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "tests/net/net_fixture.h"

namespace orbitune {
namespace {

using testing::datagram;
using testing::NetFixture;
using Bytes = std::vector<std::uint8_t>;

class SendPathsTest : public NetFixture {
 protected:
  void add_peers(const std::vector<Ipv4SocketAddress>& addresses) {
    for (const auto& a : addresses) register_peer(m, a);
  }
  // A message buffer big enough for the longest route message, with `id` and
  // `segpoints` in place and every other byte distinct.
  static Bytes message(std::int32_t id, std::int32_t segpoints) {
    Bytes bytes = datagram(id, 2048, 0x11);
    store_le_i32(bytes.data() + 20, segpoints);
    return bytes;
  }
};

struct LengthCase {
  std::int32_t id;
  std::int32_t segpoints;   // int32 at offset 20
  std::int32_t sent_bytes;  // 0: nothing is sent
};
constexpr LengthCase kLengthCases[] = {
    {1, 0, 460},      // position: always the whole record
    {1, 77, 460},     // position: offset 20 is just another field
    {2, 0, 24},       // route header alone
    {2, 23, 668},     // 24 + 28 * 23
    {2, 50, 1424},    // the longest route message
    {2, 51, 0},       // more points than a route message holds: refused
    {2, -1, 0},       // negative count: refused
    {2, INT_MAX, 0},  // a length that would overflow: refused
    {4, 50, 0},       // a peer's command is never sent by us
    {8, 50, 0},       // a peer's route
    {16, 50, 0},      // a unicast request
    {0x0101, 1, 0},   // an ID that only shares a byte with ID 1
};
void PrintTo(const LengthCase& c, std::ostream* os) {
  *os << "ID " << c.id << " segpoints " << c.segpoints;
}

class SendLengthTest : public SendPathsTest, public ::testing::WithParamInterface<LengthCase> {};

TEST_P(SendLengthTest, EachPathSendsTheMessagePrefixOfItsLength) {
  const LengthCase c = GetParam();
  give_socket();
  add_peers({make_ipv4_address(127, 0, 0, 5, 2424), make_ipv4_address(127, 0, 0, 6, 50000)});
  const Bytes msg = message(c.id, c.segpoints);

  EXPECT_EQ(send_multicast(m, msg.data()), 0);
  EXPECT_EQ(send_unicast(m, msg.data()), 0);

  if (c.sent_bytes == 0) {
    EXPECT_TRUE(sockets.sent.empty());
    return;
  }
  ASSERT_EQ(destinations(),
            (std::vector<std::string>{"239.224.224.1:2424", "127.0.0.5:2424", "127.0.0.6:50000"}));
  const Bytes prefix(msg.begin(), msg.begin() + c.sent_bytes);
  for (const auto& s : sockets.sent) EXPECT_EQ(s.bytes, prefix);
}
INSTANTIATE_TEST_SUITE_P(Table, SendLengthTest, ::testing::ValuesIn(kLengthCases));

TEST_F(SendPathsTest, HandMadeRouteMessageGoesOutByteForByte) {
  give_socket();
  // ID 2, Version 0x10020310, 12 header bytes, segpoints 1, one 28-byte point,
  // then bytes that belong to no message and must stay home.
  const Bytes msg = {0x02, 0x00, 0x00, 0x00, 0x10, 0x03, 0x02, 0x10, 0xA1, 0xA2, 0xA3, 0xA4,
                     0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0x01, 0x00, 0x00, 0x00,
                     0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C,
                     0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18,
                     0x19, 0x1A, 0x1B, 0x1C, 0xEE, 0xEE, 0xEE, 0xEE};
  EXPECT_EQ(send_multicast(m, msg.data()), 0);
  ASSERT_EQ(sockets.sent.size(), 1u);
  EXPECT_EQ(sockets.sent[0].bytes, Bytes(msg.begin(), msg.begin() + 52));
}

TEST_F(SendPathsTest, WithoutSocketNothingIsSentAndTheResultIsOne) {
  add_peers({make_ipv4_address(127, 0, 0, 5, 2424)});
  const Bytes msg = message(1, 0);
  EXPECT_EQ(send_multicast(m, msg.data()), 1);
  EXPECT_EQ(send_unicast(m, msg.data()), 1);
  const Bytes other = message(8, 0);
  EXPECT_EQ(send_unicast(m, other.data()), 1);  // whatever the ID
  EXPECT_TRUE(sockets.sent.empty());
}

TEST_F(SendPathsTest, EmptyPeerListSendsNothing) {
  give_socket();
  const Bytes msg = message(1, 0);
  EXPECT_EQ(send_unicast(m, msg.data()), 0);
  EXPECT_TRUE(sockets.sent.empty());
}

TEST_F(SendPathsTest, PeersGetTheirCopiesInJoinOrderAndARejoinerComesLast) {
  give_socket();
  const auto a = make_ipv4_address(127, 0, 0, 9, 2424);
  const auto b = make_ipv4_address(127, 0, 0, 3, 40001);
  const auto c = make_ipv4_address(127, 0, 0, 3, 40000);
  add_peers({a, b, c});
  // b expires: a and c are refreshed just before the last aging.
  for (int i = 0; i < 1199; ++i) age_peers(m);
  add_peers({a, c});
  age_peers(m);
  add_peers({b});
  add_peers({a});  // a refresh keeps the place

  const Bytes msg = message(1, 0);
  EXPECT_EQ(send_unicast(m, msg.data()), 0);
  EXPECT_EQ(destinations(),
            (std::vector<std::string>{"127.0.0.9:2424", "127.0.0.3:40000", "127.0.0.3:40001"}));
}

TEST_F(SendPathsTest, SendFailuresDoNotStopTheWalk) {
  give_socket();
  add_peers({make_ipv4_address(127, 0, 0, 5, 2424), make_ipv4_address(127, 0, 0, 6, 2424)});
  sockets.send_failures = 1;  // the first peer cannot be reached
  const Bytes msg = message(2, 3);
  EXPECT_EQ(send_unicast(m, msg.data()), 0);
  EXPECT_EQ(destinations(), (std::vector<std::string>{"127.0.0.5:2424", "127.0.0.6:2424"}));
  EXPECT_EQ(sockets.sent[1].bytes.size(), 24u + 3 * 28);
}

}  // namespace
}  // namespace orbitune
