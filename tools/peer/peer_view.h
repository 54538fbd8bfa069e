// How `orbitune-peer watch` shows an aircraft and its flight plan to a person:
// wire units turned into the ones on a pilot's panel (feet, knots, 118.50,
// 353 kHz, squawk 7700).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "position/position_packet.h"
#include "route/route_packet.h"

namespace orbitune::peer {

std::string format_mhz(std::int32_t hundredths);  // 11850 -> "118.50"
std::string format_khz(std::int32_t khz);         // 353 -> "353 kHz"
std::string format_squawk(std::int32_t code);     // 7700 -> "7700", 400 -> "0400"

// The whole aircraft, one aspect per line, each line ending in '\n'.
std::string format_aircraft_block(const PositionPacket& p);
// One line: where it is, where it points, what the autopilot holds.
std::string format_aircraft_line(const PositionPacket& p);
// One line of radios, for when they change.
std::string format_radios_line(const PositionPacket& p);

struct FlightPlan {
  std::int32_t nopoints = 0;
  std::int32_t cleg = 0;
  std::vector<RoutePoint> points;
  friend bool operator==(const FlightPlan& a, const FlightPlan& b);
};
std::string format_plan(const FlightPlan& plan);

// Puts a plan together from the route messages of one report: segment 0
// starts it, and it is complete once every point of nopoints has arrived.
// A message that does not fit the plan being built (a lost segment, a plan
// that changed size between reports) starts over rather than mixing reports.
class FlightPlanAssembler {
 public:
  // The plan, when this message completed one.
  std::optional<FlightPlan> add(const RoutePacket& packet);

 private:
  FlightPlan building_;
  std::int32_t next_segment_ = -1;  // -1: waiting for a segment 0
};

}  // namespace orbitune::peer
