// Flight-plan reporting: the waypoint table mirrored from the host's GPS
// record, and the route packets cut from it.
#pragma once

#include <cstdint>

#include "route/route_point.h"

namespace orbitune {

struct Module;

inline constexpr int kMaxWaypoints = 100;
inline constexpr int kPointsPerRoutePacket = 50;
inline constexpr const char* kGpsVariableName = "FS2002 GPS DATA";

struct FlightPlanState {
  const std::uint8_t* gps_data = nullptr;  // the host's GPS record, bound by name
  RoutePoint waypoint_table[kMaxWaypoints]{};
  std::int32_t waypoint_count = 0;
  std::int32_t active_leg = 0;
};

bool update_waypoint_table(Module& m);
void send_route_packets(Module& m);
void report_route(Module& m);

}  // namespace orbitune
