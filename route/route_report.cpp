#include <cstdint>

#include "gauge/module.h"
#include "net/network.h"
#include "route/flight_plan.h"
#include "route/route_packet.h"

namespace orbitune {

void report_route(Module& m) {
  if (update_waypoint_table(m)) send_route_packets(m);
}

void send_route_packets(Module& m) {
  const FlightPlanState& plan = m.flight_plan;
  // One message at a time in the same local buffer: a report allocates nothing.
  std::uint8_t message[kRoutePacketMaxBytes];

  RoutePacketHeader header;
  header.message_id = kRouteMessageId;
  header.version = kRouteVersion;

  if (plan.waypoint_count == 0) {
    // An empty plan is still reported, so that peers clear theirs.
    encode_route_packet(header, nullptr, message);
    send_multicast(m, message);
    send_unicast(m, message);
    return;
  }

  header.nopoints = plan.waypoint_count;
  header.cleg = plan.active_leg;
  std::int32_t remaining = plan.waypoint_count;
  // update_waypoint_table never stores more than the table holds; the bound
  // keeps the copies inside the table whatever the count says.
  if (remaining > kMaxWaypoints) remaining = kMaxWaypoints;
  // A negative count sends nothing at all.
  for (std::int32_t segment = 0; remaining > 0; ++segment) {
    header.segment = segment;
    header.segpoints = remaining < kPointsPerRoutePacket ? remaining : kPointsPerRoutePacket;
    encode_route_packet(header, &plan.waypoint_table[segment * kPointsPerRoutePacket], message);
    send_multicast(m, message);
    send_unicast(m, message);
    remaining -= header.segpoints;
  }
}

}  // namespace orbitune
