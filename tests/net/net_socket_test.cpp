// The network transport over the system's sockets, on loopback inside the
// private test namespace. A test peer is an ordinary UDP socket on 127.0.0.1;
// commands go to the recording double of apply_remote_settings below, since
// applying them is remote control's business and tested there.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "control/remote_control.h"
#include "gauge/module.h"
#include "net/network.h"
#include "platform/little_endian.h"
#include "tests/support/fake_host.h"
#include "tests/support/fake_platform.h"
#include "tests/support/isolated_network.h"
#include "tests/support/loopback_socket.h"

namespace orbitune {
namespace {

std::vector<std::vector<std::uint8_t>>* applied = nullptr;

}  // namespace

void apply_remote_settings(Module&, const std::uint8_t* packet) {
  if (applied != nullptr) applied->emplace_back(packet, packet + kReceiveBufferBytes);
}

namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::describe;
using testing::kLoopbackWaitMs;
using testing::LoopbackSocket;

Bytes message(std::int32_t id, std::size_t length, std::uint8_t fill) {
  Bytes bytes(length);
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>(fill + 3 * i);
  if (length >= 4) store_le_i32(bytes.data(), id);
  return bytes;
}

class NetSocketTest : public ::testing::Test {
 protected:
  NetSocketTest() { applied = &applied_buffers; }
  ~NetSocketTest() override {
    close_udp_socket(m);
    applied = nullptr;
  }

  // The module's socket as the first enabled update leaves it: open with
  // address reuse and bound to port 2424.
  void set_up_module() {
    ASSERT_EQ(open_udp_socket(m), 0);
    m.network.reciever_to_be_binded = bind_receiver(m);
    ASSERT_EQ(m.network.reciever_to_be_binded, 0);
  }
  // Waits until what the test sent has reached the module's socket, so that
  // the poll, which never waits, finds it.
  void await_module_readable() {
    ASSERT_TRUE(testing::readable(m.network.udp_socket, kLoopbackWaitMs));
  }
  std::vector<std::string> peers() const {
    std::vector<std::string> out;
    for (const UnicastPeer* p = m.network.unicast_peers; p != nullptr; p = p->next) {
      out.push_back(describe(p->address));
    }
    return out;
  }

  std::vector<Bytes> applied_buffers;
  testing::FakeHost host;
  testing::FakeClock clock;
  Module m{host, system_socket_layer(), clock};
};

TEST_F(NetSocketTest, RequestFromAnotherPortGetsThePositionOnThatPort) {
  ORBITUNE_REQUIRE_ISOLATED_NETWORK();
  set_up_module();
  const LoopbackSocket peer = LoopbackSocket::peer();
  ASSERT_NE(peer.port(), kProtocolPort);
  peer.send_to_module(message(16, 4, 0));
  await_module_readable();

  EXPECT_EQ(poll_receive(m), 0);
  EXPECT_EQ(peers(), std::vector<std::string>{"127.0.0.1:" + std::to_string(peer.port())});

  const Bytes position = message(1, 600, 0x27);  // more bytes than a position record
  EXPECT_EQ(send_unicast(m, position.data()), 0);
  const Bytes got = peer.receive();
  ASSERT_EQ(got.size(), 460u);
  EXPECT_EQ(got, Bytes(position.begin(), position.begin() + 460));
  EXPECT_EQ(clock.pauses, 0);
}

TEST_F(NetSocketTest, GroupMemberOnLoopbackReceivesTheMulticastCopy) {
  ORBITUNE_REQUIRE_ISOLATED_NETWORK();
  const LoopbackSocket listener = LoopbackSocket::group_listener();
  ASSERT_EQ(open_udp_socket(m), 0);

  Bytes route = message(2, 1424 + 100, 0x5C);
  store_le_i32(route.data() + 20, 2);  // segpoints: 24 + 2 * 28 bytes go out
  EXPECT_EQ(send_multicast(m, route.data()), 0);
  const Bytes got = listener.receive();
  ASSERT_EQ(got.size(), 80u);
  EXPECT_EQ(got, Bytes(route.begin(), route.begin() + 80));
}

TEST_F(NetSocketTest, DatagramOf1500BytesIsHandledAndOf1501DroppedWhole) {
  ORBITUNE_REQUIRE_ISOLATED_NETWORK();
  set_up_module();
  const LoopbackSocket too_long = LoopbackSocket::peer();
  const LoopbackSocket just_fits = LoopbackSocket::peer();
  too_long.send_to_module(message(16, 1501, 0x10));
  just_fits.send_to_module(message(16, 1500, 0x20));
  const Bytes command = message(4, 1500, 0x30);
  just_fits.send_to_module(command);
  await_module_readable();
  // Loopback hands each datagram over within the send; this short bounded
  // wait only guards against a slow machine before the poll, which never waits.
  ::usleep(20'000);

  EXPECT_EQ(poll_receive(m), 1);
  // Nothing of the long datagram was read as a datagram of its own.
  EXPECT_EQ(peers(), std::vector<std::string>{"127.0.0.1:" + std::to_string(just_fits.port())});
  ASSERT_EQ(applied_buffers.size(), 1u);
  EXPECT_TRUE(std::equal(command.begin(), command.end(), applied_buffers[0].begin()));
  EXPECT_EQ(applied_buffers[0][1500], 0);
  EXPECT_FALSE(testing::readable(m.network.udp_socket, 0));
}

TEST_F(NetSocketTest, PollReturnsAtOnceWhenNothingIsQueued) {
  ORBITUNE_REQUIRE_ISOLATED_NETWORK();
  set_up_module();
  EXPECT_EQ(poll_receive(m), 0);
  EXPECT_TRUE(peers().empty());
  EXPECT_TRUE(applied_buffers.empty());
}

}  // namespace
}  // namespace orbitune
