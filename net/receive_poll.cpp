// Draining the datagrams that peers sent to the protocol port, once per
// update, without ever waiting for one.
#include <cstdint>
#include <cstring>

#include "control/remote_control.h"
#include "gauge/module.h"
#include "net/network.h"
#include "net/peer_registry.h"
#include "platform/little_endian.h"

namespace orbitune {
namespace {

inline constexpr int kMessageIdOffset = 0;  // int32, first field of every datagram
// The command handler reads a whole position record from the buffer: the
// zeros after a short datagram are what it sees for the missing fields.
static_assert(kReceiveBufferBytes >= 460);
static_assert(kMaxDatagramBytes <= kReceiveBufferBytes);

}  // namespace

std::int32_t poll_receive(Module& m) {
  NetworkState& net = m.network;
  if (net.udp_socket < 0) return 0;

  // Seed peers first: they keep their place at the head of the list and never
  // expire while the receiver is bound.
  register_seed_peers(m);

  std::int32_t result = 0;
  std::uint8_t buffer[kReceiveBufferBytes];
  // Bounded so that a sender at line rate cannot hold the host's update
  // thread in here; whatever is left stays queued for the next update. Every
  // receive counts, failed ones too, so a socket stuck reporting errors ends
  // the poll as well.
  for (int receives = 0; receives < kMaxDatagramsPerPoll; ++receives) {
    // Cleared before every receive: a short datagram must not inherit the
    // tail of the previous one.
    std::memset(buffer, 0, sizeof buffer);
    if (m.sockets.poll_readable(net.udp_socket) != Readiness::readable) return result;
    Ipv4SocketAddress sender{};
    const ReceiveResult received =
        m.sockets.receive_from(net.udp_socket, buffer, kMaxDatagramBytes, &sender);
    // Empty, oversize (consumed and dropped whole) and failed receives are
    // skipped one by one; the drain goes on.
    if (received.status != ReceiveStatus::datagram || received.length < 1 ||
        received.length > kMaxDatagramBytes) {
      continue;
    }
    // A datagram of 1 to 3 bytes reads its missing ID bytes as the zeros
    // already in the buffer.
    switch (load_le_i32(buffer + kMessageIdOffset)) {
      case kMessageRemotePosition:
        apply_remote_settings(m, buffer);
        result = 1;
        break;
      case kMessageUnicastRequest:
        register_peer(m, sender);
        result = 0;
        break;
      default:
        // Our own kinds echoed back, a peer's route, or anything unknown.
        break;
    }
  }
  return result;
}

}  // namespace orbitune
