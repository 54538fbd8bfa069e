// Network transport: the one UDP socket, the send paths, the receive poll and
// the registry of unicast peers.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace orbitune {

struct Module;

inline constexpr std::uint16_t kProtocolPort = 2424;
inline constexpr Ipv4SocketAddress kMulticastGroup = make_ipv4_address(239, 224, 224, 1, kProtocolPort);
inline constexpr int kMaxSeedPeers = 100;
// Requested peers allowed beyond the seed peers: bounds what strangers on the
// network can make the module allocate and send to.
inline constexpr int kMaxRequestedPeers = 64;
// Datagrams handled per poll: a flood must not hold the host's update thread.
inline constexpr int kMaxDatagramsPerPoll = 256;
inline constexpr int kMaxDatagramBytes = 1500;
inline constexpr int kReceiveBufferBytes = 2048;
inline constexpr float kPeerTimeToLive = 1200.0f;
inline constexpr int kSetupAttempts = 11;
inline constexpr const char* kSeedFileName = "orbitune.ini";

// Message IDs, the first int32 of every datagram.
inline constexpr std::int32_t kMessagePosition = 1;
inline constexpr std::int32_t kMessageRoute = 2;
inline constexpr std::int32_t kMessageRemotePosition = 4;
inline constexpr std::int32_t kMessageRemoteRoute = 8;
inline constexpr std::int32_t kMessageUnicastRequest = 16;

struct UnicastPeer {
  Ipv4SocketAddress address;  // where datagrams for this peer go
  float ttl;                  // remaining lifetime in enabled update cycles
  UnicastPeer* next;
};

struct NetworkState {
  SocketHandle udp_socket = kNoSocket;
  std::int32_t reciever_to_be_binded = 1;  // 1: the receiver still has to be bound
  Ipv4SocketAddress multicast_destination{};
  Ipv4SocketAddress receive_address{};
  UnicastPeer* unicast_peers = nullptr;  // in join order
  std::int32_t peer_count = 0;           // nodes in unicast_peers
  Ipv4SocketAddress seed_peers[kMaxSeedPeers]{};
  std::int32_t seed_peer_count = 0;

  NetworkState() = default;
  NetworkState(const NetworkState&) = delete;
  NetworkState& operator=(const NetworkState&) = delete;
  ~NetworkState() {
    while (unicast_peers != nullptr) {
      UnicastPeer* next = unicast_peers->next;
      delete unicast_peers;
      unicast_peers = next;
    }
  }
};

// UDP endpoint.
std::int32_t open_udp_socket(Module& m);
std::int32_t bind_receiver(Module& m);
void close_udp_socket(Module& m);

// Send paths: `message` begins with its message ID; the length comes from it.
std::int32_t send_multicast(Module& m, const std::uint8_t* message);
std::int32_t send_unicast(Module& m, const std::uint8_t* message);

// Receive and dispatch; 1 when the last command-or-request datagram of this
// poll was a command.
std::int32_t poll_receive(Module& m);

// Unicast peer registry.
void register_peer(Module& m, Ipv4SocketAddress address);
void age_peers(Module& m);
std::int32_t load_seed_peers(Module& m);

}  // namespace orbitune
