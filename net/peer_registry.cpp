// The list of unicast peers: seed peers from the configuration file and peers
// that asked for datagrams, each living 1200 enabled updates after its last
// registration.
#include "net/peer_registry.h"

#include <cstdio>
#include <new>

#include "gauge/module.h"
#include "net/ipv4_text.h"
#include "net/network.h"

namespace orbitune {
namespace {

// fgets reads at most 99 characters into it; a longer line arrives in pieces
// and each piece is converted on its own.
inline constexpr int kSeedLineBufferBytes = 100;

bool same_peer(const Ipv4SocketAddress& a, const Ipv4SocketAddress& b) {
  // Compared as stored, in network byte order; the family and the padding
  // bytes play no part.
  return a.address_be == b.address_be && a.port_be == b.port_be;
}

// `bounded`: refuse a new node once the list holds every seed peer's place
// plus kMaxRequestedPeers. Anyone on the network can send requests from ever
// new ports; each node costs memory, a datagram per update and a step in
// every walk, so strangers must not be able to grow the list without limit.
void add_or_refresh(Module& m, const Ipv4SocketAddress& address, bool bounded) {
  NetworkState& net = m.network;
  UnicastPeer** tail = &net.unicast_peers;
  for (UnicastPeer* peer = net.unicast_peers; peer != nullptr; peer = peer->next) {
    if (same_peer(peer->address, address)) {
      // A refresh keeps the node's place, so peers stay in join order.
      peer->ttl = kPeerTimeToLive;
      return;
    }
    tail = &peer->next;
  }
  if (bounded && net.peer_count >= net.seed_peer_count + kMaxRequestedPeers) return;
  // Dropped quietly when memory is short; the peer's next request tries again.
  UnicastPeer* node = new (std::nothrow) UnicastPeer{address, kPeerTimeToLive, nullptr};
  if (node == nullptr) return;
  *tail = node;
  ++net.peer_count;
}

}  // namespace

void register_peer(Module& m, Ipv4SocketAddress address) {
  add_or_refresh(m, address, true);
}

void register_seed_peers(Module& m) {
  NetworkState& net = m.network;
  for (int i = 0; i < net.seed_peer_count; ++i) add_or_refresh(m, net.seed_peers[i], false);
}

void age_peers(Module& m) {
  NetworkState& net = m.network;
  for (UnicastPeer* peer = net.unicast_peers; peer != nullptr; peer = peer->next) {
    peer->ttl = peer->ttl - 1.0f;
  }
  UnicastPeer** link = &net.unicast_peers;
  while (*link != nullptr) {
    UnicastPeer* peer = *link;
    if (peer->ttl <= 0.0f) {
      *link = peer->next;
      delete peer;
      --net.peer_count;
    } else {
      link = &peer->next;
    }
  }
}

std::int32_t load_seed_peers(Module& m) {
  NetworkState& net = m.network;
  std::FILE* file = open_text_file_for_reading(kSeedFileName);
  if (file == nullptr) return 0;
  char line[kSeedLineBufferBytes];
  std::int32_t count = 0;
  // Stops at the 100th address: the rest of the file is not read.
  while (count < kMaxSeedPeers && std::fgets(line, sizeof line, file) != nullptr) {
    const std::uint32_t address_be = dotted_ipv4_to_address_be(line);
    // Comments, section headers and blank lines fall out here, and so does
    // 255.255.255.255, which reads as the failure value.
    if (address_be == kInaddrNone) continue;
    Ipv4SocketAddress& seed = net.seed_peers[count++];
    seed = make_ipv4_address(0, 0, 0, 0, kProtocolPort);
    seed.address_be = address_be;
  }
  std::fclose(file);
  return count;
}

}  // namespace orbitune
