// The simulated aircraft behind the emulated host's panel services: module
// variables by token, calculator expressions by their exact text, the
// "FS2002 GPS DATA" record, the key events a pilot (or the module) sends, and
// a small kinematic model for the `fly` mode.
//
// Every value is kept in the host's own unit, the unit the module converts
// from: latitude in 40007000ths of a circle, longitude in 2^48ths, altitude in
// feet, vertical speed in 256ths of a metre per second, radios in BCD, the
// Mach number in 20000ths, flaps in 16000ths.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "gauge/host_services.h"

namespace orbitune::host {

// Module variable tokens whose meaning the host models.
namespace var_token {
inline constexpr std::uint32_t vertical_speed = 0x41;      // 256ths of a metre per second
inline constexpr std::uint32_t mach = 0x40;                // 20000ths of Mach 1
inline constexpr std::uint32_t latitude = 0x47;            // 40007000ths of a circle, north +
inline constexpr std::uint32_t longitude = 0x48;           // 2^48ths of a circle, east +
inline constexpr std::uint32_t altitude = 0x4A;            // feet
inline constexpr std::uint32_t pitch = 0x4E;               // degrees, nose down +
inline constexpr std::uint32_t bank = 0x50;                // degrees, left wing down +
inline constexpr std::uint32_t magnetic_variation = 0x52;  // degrees
inline constexpr std::uint32_t heading = 0x56;             // degrees
inline constexpr std::uint32_t autopilot_engaged = 0x67;   // flag
inline constexpr std::uint32_t lnav_hold = 0x69;           // flag
inline constexpr std::uint32_t heading_hold = 0x6A;        // flag
inline constexpr std::uint32_t ap_heading = 0x6B;          // degrees
inline constexpr std::uint32_t altitude_hold = 0x6C;       // flag
inline constexpr std::uint32_t ap_altitude = 0x6D;         // feet
inline constexpr std::uint32_t glide_slope_hold = 0x6F;    // flag
inline constexpr std::uint32_t localizer_hold = 0x70;      // flag
inline constexpr std::uint32_t airspeed_hold = 0x73;       // flag
inline constexpr std::uint32_t airspeed_setting = 0x74;    // knots
inline constexpr std::uint32_t mach_hold = 0x75;           // flag
inline constexpr std::uint32_t mach_setting = 0x76;        // Mach number
inline constexpr std::uint32_t vs_hold = 0x77;             // flag
inline constexpr std::uint32_t ap_vertical_speed = 0x78;   // feet per minute
inline constexpr std::uint32_t speed_arm = 0x7B;           // flag
inline constexpr std::uint32_t nav1_course = 0x2D;         // degrees
inline constexpr std::uint32_t nav2_course = 0x36;         // degrees
inline constexpr std::uint32_t flight_director = 0x318;    // flag
// Radios and transponder, int32 BCD in the first four bytes of the value.
inline constexpr std::uint32_t com1 = 0x17;
inline constexpr std::uint32_t nav1 = 0x18;
inline constexpr std::uint32_t nav2 = 0x1B;
inline constexpr std::uint32_t transponder = 0x26;
inline constexpr std::uint32_t com1_standby = 0x269;
inline constexpr std::uint32_t com2 = 0x366;
inline constexpr std::uint32_t com2_standby = 0x367;
inline constexpr std::uint32_t nav1_standby = 0x368;
inline constexpr std::uint32_t nav2_standby = 0x369;
}  // namespace var_token

// True for the tokens whose value the host keeps as an int32 (BCD radios and
// the transponder code); every other known token holds a float64.
bool is_bcd_token(std::uint32_t token);
// True for the tokens the module reads (and so the host knows the kind of).
bool is_known_token(std::uint32_t token);

// Expressions whose results the host changes itself.
namespace expression {
inline constexpr const char* ground_speed = "(A:GROUND VELOCITY,knots)";
inline constexpr const char* kohlsman = "(A:KOHLSMAN SETTING HG, inHg)";
inline constexpr const char* gps_drives_nav1 = "(A:GPS DRIVES NAV1,Bool)";
inline constexpr const char* adf1 = "(A:ADF ACTIVE FREQUENCY:1, KHz)";
inline constexpr const char* adf2 = "(A:ADF ACTIVE FREQUENCY:2, KHz)";
inline constexpr const char* plane_altitude = "(A:PLANE ALTITUDE,Feet)";
inline constexpr const char* above_ground = "(A:PLANE ALT ABOVE GROUND,Feet)";
}  // namespace expression

// A value as the host holds it.
struct HostValue {
  enum class Kind { f64, i32, text };
  Kind kind = Kind::f64;
  double f64 = 0.0;
  std::int32_t i32 = 0;
  std::string text;

  static HostValue of_f64(double v) { return {Kind::f64, v, 0, {}}; }
  static HostValue of_i32(std::int32_t v) { return {Kind::i32, 0.0, v, {}}; }
  static HostValue of_text(std::string v) { return {Kind::text, 0.0, 0, std::move(v)}; }
  friend bool operator==(const HostValue&, const HostValue&) = default;
};

enum class ResultKind { f64, i32, text };
// The kind of result the module asks for an expression it reads, if it is one.
std::optional<ResultKind> known_expression_kind(const std::string& text);

// One waypoint of the GPS plan, in the record's own encodings.
struct GpsWaypointSpec {
  std::string ident;               // at most 8 characters
  std::int32_t lat_whole = 0;      // 40007000ths of a circle, north +
  std::uint16_t lat_fraction = 0;  // 1/65536 of a latitude unit
  std::uint64_t lon_units48 = 0;   // 2^48ths of a circle, counted eastwards
  std::int32_t alt_whole = 0;      // metres
  std::uint16_t alt_fraction = 0;  // 1/65536 metre
};

struct GpsPlanSpec {
  bool bindable = true;   // false: "FS2002 GPS DATA" cannot be bound
  bool has_array = true;  // false: the record holds no waypoint array
  std::int32_t active = 0;
  std::vector<GpsWaypointSpec> waypoints;
};

// Natural units to the record's fixed point: the whole part rounded down and
// the rest in 1/65536, which is how the record stores signed values.
void split_fixed_point(double value, std::int32_t& whole, std::uint16_t& fraction);
std::uint64_t longitude_to_units48(double degrees);

// Layout of the host's GPS record, as far as the module reads it.
namespace gps_layout {
inline constexpr std::size_t record_bytes = 256;
inline constexpr std::size_t active_index = 76;  // int32
inline constexpr std::size_t count = 168;        // int32
inline constexpr std::size_t array = 172;        // pointer, pointer-sized, unaligned
inline constexpr std::size_t waypoint_bytes = 64;
inline constexpr std::size_t lat_fraction = 10;  // uint16
inline constexpr std::size_t lat_whole = 12;     // int32
inline constexpr std::size_t lon_low = 18;       // uint16
inline constexpr std::size_t lon_high = 20;      // uint32
inline constexpr std::size_t alt_fraction = 26;  // uint16
inline constexpr std::size_t alt_whole = 28;     // int32
inline constexpr std::size_t ident = 56;         // char[8], NUL-padded, no NUL when full
inline constexpr std::size_t ident_bytes = 8;
static_assert(array + sizeof(void*) <= record_bytes);
static_assert(ident + ident_bytes == waypoint_bytes);
}  // namespace gps_layout

// The name under which the host publishes its GPS plan.
inline constexpr const char* kGpsVariableName = "FS2002 GPS DATA";

enum class AircraftMode { static_values, fly };

class Aircraft {
 public:
  Aircraft();
  Aircraft(const Aircraft&) = delete;
  Aircraft& operator=(const Aircraft&) = delete;

  AircraftMode mode = AircraftMode::static_values;

  void set_var(std::uint32_t token, const HostValue& value) { vars_[token] = value; }
  std::optional<HostValue> var(std::uint32_t token) const;
  void set_expression(const std::string& text, const HostValue& value) {
    expressions_[text] = value;
  }
  std::optional<HostValue> expression_value(const std::string& text) const;
  void set_gps(const GpsPlanSpec& plan);

  // The panel services, as the host performs them.
  void lookup_var(ModuleVar* var) const;
  void initialize_var_by_name(ModuleVar* var, const char* name);
  void execute_calculator_code(const char* text, double* f64_out, std::int32_t* i32_out,
                               const char** text_out) const;
  // Returns false for an event the aircraft does not know; it has no effect.
  bool trigger_key_event(std::uint32_t event_id, std::uint32_t value);

  // One gauge update's worth of flight, `seconds` long; nothing in `static`.
  void step(double seconds);

  // The GPS record as the module sees it.
  const std::uint8_t* gps_record() const { return gps_record_.data(); }
  std::int32_t gps_active() const;

 private:
  double var_f64(std::uint32_t token) const;
  double expression_f64(const char* text) const;
  void fly(double seconds);

  std::map<std::uint32_t, HostValue> vars_;
  std::map<std::string, HostValue> expressions_;
  bool gps_bindable_ = true;
  // The record never moves: the module keeps its address once bound.
  alignas(8) std::array<std::uint8_t, gps_layout::record_bytes> gps_record_{};
  std::vector<std::uint8_t> gps_waypoints_;
};

}  // namespace orbitune::host
