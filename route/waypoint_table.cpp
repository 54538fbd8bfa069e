#include <cstddef>
#include <cstdint>
#include <cstring>

#include "control/truncate.h"
#include "gauge/module.h"
#include "platform/little_endian.h"
#include "route/flight_plan.h"

namespace orbitune {
namespace {

// The host's GPS record, as far as the module reads it. The record belongs to
// the host and nothing else of it is relied on.
namespace gps_data_offset {
inline constexpr std::size_t active_waypoint = 76;  // int32, 0-based index into the plan
inline constexpr std::size_t waypoint_count = 168;  // int32, waypoints in the plan
inline constexpr std::size_t waypoints = 172;       // pointer to the GpsWaypoint array, or null
static_assert(waypoint_count + 4 == waypoints);
}  // namespace gps_data_offset

// One entry of the host's waypoint array. The two bytes below each coordinate
// (offsets 8, 16 and 24) take no part in the conversions.
inline constexpr std::size_t kGpsWaypointBytes = 64;
namespace gps_waypoint_offset {
inline constexpr std::size_t lat_fraction = 10;  // uint16, 1/65536 latitude unit
inline constexpr std::size_t lat_whole = 12;     // int32, 4.0007e7 units per 360 degrees, north +
inline constexpr std::size_t lon_low = 18;       // uint16, low bits of a 48-bit angle
inline constexpr std::size_t lon_high = 20;      // uint32, high bits; 2^48 per 360 degrees, east
inline constexpr std::size_t alt_fraction = 26;  // uint16, 1/65536 metre
inline constexpr std::size_t alt_whole = 28;     // int32, metres
inline constexpr std::size_t ident = 56;         // text, NUL-terminated unless full
static_assert(lat_whole == lat_fraction + 2);
static_assert(lon_high == lon_low + 2);
static_assert(alt_whole == alt_fraction + 2);
}  // namespace gps_waypoint_offset

inline constexpr int kNameChars = 7;  // NAME's eighth byte is always NUL
static_assert(gps_waypoint_offset::ident + kNameChars <= kGpsWaypointBytes,
              "the identifier is read within its entry");

inline constexpr double kLatitudeUnitsPerTurn = 4.0007e7;
inline constexpr double kLongitudeUnitsPerTurn = 281474976710656.0;  // 2^48
inline constexpr double kFeetPerMetre = 3.2808399;

inline constexpr std::int32_t kTypeCoordinates = 0x800;

std::int32_t type_code(int identifier_length) {
  switch (identifier_length) {
    case 2:
    case 3:
      return 0x4;
    case 4:
      return 0x1;
    case 5:
      return 0x200;
    default:
      return kTypeCoordinates;
  }
}

float latitude_degrees(const std::uint8_t* w) {
  const double units = static_cast<double>(load_le_i32(w + gps_waypoint_offset::lat_whole)) +
                       load_le_u16(w + gps_waypoint_offset::lat_fraction) / 65536.0;
  const float units32 = static_cast<float>(units);
  float lat = static_cast<float>(static_cast<double>(units32) * 360.0 / kLatitudeUnitsPerTurn);
  if (lat > 90.0f) lat = static_cast<float>(static_cast<double>(lat) - 180.0);
  return lat;
}

float longitude_degrees(const std::uint8_t* w) {
  const std::uint64_t angle =
      (std::uint64_t{load_le_u32(w + gps_waypoint_offset::lon_high)} << 16) |
      load_le_u16(w + gps_waypoint_offset::lon_low);
  // A 48-bit integer is exact in a double, so this is one rounding to float32.
  const float angle32 = static_cast<float>(static_cast<double>(angle));
  float lon = static_cast<float>(static_cast<double>(angle32) * 360.0 / kLongitudeUnitsPerTurn);
  if (lon > 180.0f) lon = static_cast<float>(static_cast<double>(lon) - 360.0);
  return lon;
}

// Whole feet from whole metres, each truncated toward zero. A corrupt altitude
// saturates instead of overflowing the conversion.
std::int32_t altitude_feet(const std::uint8_t* w) {
  const double metres = static_cast<double>(load_le_i32(w + gps_waypoint_offset::alt_whole)) +
                        load_le_u16(w + gps_waypoint_offset::alt_fraction) / 65536.0;
  const std::int32_t whole_metres = trunc_to_i32(metres);
  return trunc_to_i32(static_cast<double>(whole_metres) * kFeetPerMetre);
}

void append_decimal(char* text, int& length, std::uint32_t value) {
  char digits[10];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n > 0) text[length++] = digits[--n];
}

// The nearest whole degree of a non-negative angle, an exact half going up.
// Formatting with "%.0f" would not do: glibc rounds halves to even and the
// Windows runtimes round differently again, so the two builds would disagree.
// In double, x + 0.5 keeps every bit of a float32 x that can decide the
// result, and truncating a non-negative sum is its floor: no runtime rounding
// function is involved either.
std::uint32_t whole_degrees(double non_negative) {
  return static_cast<std::uint32_t>(trunc_to_i32(non_negative + 0.5));
}

// "48N122W": whole degrees and hemisphere letters, cut to seven characters.
void write_coordinate_name(float lat, float lon, char (&name)[8]) {
  double a = lat;
  char a_letter = 'N';
  if (a < 0.0) {
    a_letter = 'S';
    a = -a;
  }
  double o = lon;
  char o_letter = 'E';
  if (o < 0.0) {
    o_letter = 'W';
    o = -o;
  }
  char text[2 * (10 + 1)];
  int length = 0;
  append_decimal(text, length, whole_degrees(a));
  text[length++] = a_letter;
  append_decimal(text, length, whole_degrees(o));
  text[length++] = o_letter;

  std::memset(name, 0, sizeof name);
  std::memcpy(name, text, static_cast<std::size_t>(length < kNameChars ? length : kNameChars));
}

void mirror_waypoint(const std::uint8_t* w, RoutePoint& e) {
  char name[8] = {};
  int length = 0;
  const std::uint8_t* ident = w + gps_waypoint_offset::ident;
  while (length < kNameChars && ident[length] != 0) {
    name[length] = static_cast<char>(ident[length]);
    ++length;
  }
  const std::int32_t type = type_code(length);

  const float lat = latitude_degrees(w);
  const float lon = longitude_degrees(w);
  // Compared as the float32 it is stored as: a double comparison would see
  // every altitude above 2^24 feet that float32 cannot hold as moved, and
  // rewrite it at every report.
  const float elev = static_cast<float>(altitude_feet(w));

  // The name and type take no part: a new plan with a waypoint at the same
  // place keeps the entry it had there. An entry never written (type 0, which
  // no waypoint gets) holds no place at all: without this, a waypoint at 0N 0E
  // below 1 m would match the zeroed entry and never get its name and type.
  const bool never_written = e.TYPE == 0;
  if (!never_written && lat == e.LAT && lon == e.LON && elev == e.ELEV) return;

  std::memcpy(e.NAME, name, sizeof e.NAME);
  e.ELEV = elev;
  e.LAT = lat;
  e.LON = lon;
  e.TYPE = type;
  e.reserved = 0;
  if (type == kTypeCoordinates) write_coordinate_name(e.LAT, e.LON, e.NAME);
}

}  // namespace

bool update_waypoint_table(Module& m) {
  FlightPlanState& plan = m.flight_plan;
  if (plan.gps_data == nullptr) {
    ModuleVar var{};
    m.host.initialize_var_by_name(&var, kGpsVariableName);
    plan.gps_data = static_cast<const std::uint8_t*>(var.pointer);
  }
  if (plan.gps_data == nullptr) return false;

  // A host pointer at an offset that need not be aligned for it.
  const std::uint8_t* waypoints = nullptr;
  std::memcpy(&waypoints, plan.gps_data + gps_data_offset::waypoints, sizeof waypoints);
  if (waypoints == nullptr) return false;

  plan.waypoint_count = load_le_i32(plan.gps_data + gps_data_offset::waypoint_count);
  plan.active_leg =
      plan.waypoint_count < 1 ? 0 : load_le_i32(plan.gps_data + gps_data_offset::active_waypoint);

  std::int32_t i = 0;
  for (; i < plan.waypoint_count && i < kMaxWaypoints; ++i) {
    mirror_waypoint(waypoints + static_cast<std::size_t>(i) * kGpsWaypointBytes,
                    plan.waypoint_table[i]);
  }
  if (i == kMaxWaypoints) plan.waypoint_count = kMaxWaypoints;
  if (plan.active_leg >= plan.waypoint_count) plan.active_leg = 0;
  return true;
}

}  // namespace orbitune
