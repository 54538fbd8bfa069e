// One waypoint as the module keeps it and sends it.
#pragma once

#include <cstdint>

namespace orbitune {

inline constexpr int kRoutePointBytes = 28;

struct RoutePoint {
  std::int32_t TYPE = 0;   // type code by identifier length
  char NAME[8] = {};       // at most 7 characters, NUL-padded
  float LAT = 0.0f;        // degrees, north positive
  float LON = 0.0f;        // degrees, east positive, (-180, 180]
  float ELEV = 0.0f;       // whole feet
  std::int32_t reserved = 0;
};
static_assert(sizeof(RoutePoint) == kRoutePointBytes, "entries go on the wire byte for byte");

}  // namespace orbitune
