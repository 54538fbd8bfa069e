// Putting the module's messages on the wire: one copy to the multicast group,
// or one copy to every unicast peer. The length of the datagram comes from the
// message itself.
#include <cstdint>

#include "gauge/module.h"
#include "net/network.h"
#include "platform/little_endian.h"
#include "route/flight_plan.h"
#include "route/route_point.h"

namespace orbitune {
namespace {

inline constexpr int kMessageIdOffset = 0;         // int32, first field of every message
inline constexpr int kPositionMessageBytes = 460;  // the whole position record
inline constexpr int kRouteHeaderBytes = 24;       // route header before its points
inline constexpr int kRouteSegpointsOffset = 20;   // int32 `segpoints`: points that follow
static_assert(kRouteSegpointsOffset + 4 <= kRouteHeaderBytes);
static_assert(kRouteHeaderBytes + kPointsPerRoutePacket * kRoutePointBytes == 1424,
              "the longest route message");
static_assert(kRouteHeaderBytes + kPointsPerRoutePacket * kRoutePointBytes <= kMaxDatagramBytes,
              "every message the module sends fits what it accepts itself");

// Bytes of `message` that go on the wire; 0 when it is not sent.
std::int32_t wire_length(const std::uint8_t* message) {
  switch (load_le_i32(message + kMessageIdOffset)) {
    case kMessagePosition:
      return kPositionMessageBytes;
    case kMessageRoute: {
      // A route message carries at most kPointsPerRoutePacket points. A count
      // outside that range would make us read (and send) memory beyond the
      // message, or compute a negative length, so such a message is refused.
      const std::int32_t segpoints = load_le_i32(message + kRouteSegpointsOffset);
      if (segpoints < 0 || segpoints > kPointsPerRoutePacket) return 0;
      return kRouteHeaderBytes + segpoints * kRoutePointBytes;
    }
    default:
      return 0;
  }
}

}  // namespace

std::int32_t send_multicast(Module& m, const std::uint8_t* message) {
  const NetworkState& net = m.network;
  if (net.udp_socket < 0) return 1;
  const std::int32_t length = wire_length(message);
  // Delivery is best effort: a lost copy is replaced by the next report.
  if (length > 0) m.sockets.send_to(net.udp_socket, message, length, net.multicast_destination);
  return 0;
}

std::int32_t send_unicast(Module& m, const std::uint8_t* message) {
  const NetworkState& net = m.network;
  if (net.udp_socket < 0) return 1;
  const std::int32_t length = wire_length(message);
  if (length == 0) return 0;
  // One unreachable peer must not cost the others their copy.
  for (const UnicastPeer* peer = net.unicast_peers; peer != nullptr; peer = peer->next) {
    m.sockets.send_to(net.udp_socket, message, length, peer->address);
  }
  return 0;
}

}  // namespace orbitune
