// The one UDP socket: created with address reuse, bound to the protocol port
// for receiving, and closed at the gauge teardown.
#include "gauge/module.h"
#include "net/ipv4_text.h"
#include "net/network.h"

namespace orbitune {
namespace {

// The group is configured as text, the way a user would write it; its binary
// form is the constant the rest of the module uses.
static_assert(dotted_ipv4_to_address_be("239.224.224.1") == kMulticastGroup.address_be);

// Set-up steps that the system may refuse for a moment (another process just
// released the port, the stack is still coming up) get kSetupAttempts tries,
// each failure followed by the 100 ms pause, so the host's thread is held for
// about 1.1 s at worst before the next update tries again.
template <typename Attempt>
bool attempt_with_pauses(Module& m, Attempt attempt) {
  for (int count = 1;; ++count) {
    if (attempt() == 0) return true;
    m.clock.pause_100ms();
    if (count >= kSetupAttempts) return false;
  }
}

}  // namespace

std::int32_t open_udp_socket(Module& m) {
  NetworkState& net = m.network;
  if (m.sockets.startup() != 0) return 1;
  // Filled before the socket exists, so that a socket made later by
  // bind_receiver has a destination for the multicast copies too.
  net.multicast_destination = kMulticastGroup;
  const SocketHandle s = m.sockets.open_udp();
  net.udp_socket = s < 0 ? kNoSocket : s;
  if (net.udp_socket < 0) return 1;
  // Without the option the socket still works; it is kept and used as it is.
  const bool reuse_set =
      attempt_with_pauses(m, [&] { return m.sockets.set_reuse_address(net.udp_socket); });
  return reuse_set ? 0 : 1;
}

std::int32_t bind_receiver(Module& m) {
  NetworkState& net = m.network;
  if (m.sockets.startup() != 0) return 1;
  net.receive_address = make_ipv4_address(0, 0, 0, 0, kProtocolPort);  // INADDR_ANY
  if (net.udp_socket < 0) {
    // open_udp_socket may have stopped at the start-up, before it filled the
    // group's address; a socket made here must still reach the group.
    net.multicast_destination = kMulticastGroup;
    const SocketHandle s = m.sockets.open_udp();
    net.udp_socket = s < 0 ? kNoSocket : s;
    if (net.udp_socket < 0) return 1;
  }
  if (!attempt_with_pauses(m,
                           [&] { return m.sockets.bind(net.udp_socket, net.receive_address); })) {
    return 1;
  }
  net.seed_peer_count = load_seed_peers(m);
  return 0;
}

void close_udp_socket(Module& m) {
  NetworkState& net = m.network;
  // A second teardown must not close a handle number that the process may
  // already have given to something else.
  if (net.udp_socket < 0) return;
  m.sockets.shutdown_both(net.udp_socket);
  m.sockets.close(net.udp_socket);
  // Forget the closed handle, so that a later update sets the socket up anew
  // instead of sending on or polling a handle that no longer belongs to us.
  net.udp_socket = kNoSocket;
  net.reciever_to_be_binded = 1;
}

}  // namespace orbitune
