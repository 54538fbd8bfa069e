#include "tools/host/aircraft.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

#include "platform/little_endian.h"

namespace orbitune::host {
namespace {

constexpr double kLatitudeUnitsPerTurn = 40007000.0;
constexpr double kLongitudeUnitsPerTurn = 281474976710656.0;  // 2^48
constexpr double kEarthRadiusMetres = 6371000.0;
constexpr double kMetresPerNauticalMile = 1852.0;
// The host's vertical speed unit is 1/256 metre per second.
constexpr double kVerticalSpeedUnitsPerFpm = 0.3048 / 60.0 * 256.0;
// An axis event's full deflection, 16384, stands for 90 degrees.
constexpr double kAxisUnitsPerDegree = 182.0;
constexpr double kMillibarsPerInchHg = 33.86;

// The autopilot's turn and climb rates: a standard-rate turn at a gentle
// bank, and a climb rate for holds whose vertical speed dial is at zero.
constexpr double kStandardTurnDegreesPerSecond = 3.0;
constexpr double kAutopilotBankDegrees = 25.0;
constexpr double kDefaultClimbFpm = 1500.0;
// The active waypoint counts as reached inside this distance, or when the
// next update would pass it, whichever is larger.
constexpr double kWaypointCaptureMetres = 0.5 * kMetresPerNauticalMile;

constexpr double radians(double degrees) {
  return degrees * std::numbers::pi / 180.0;
}
constexpr double degrees(double radians) {
  return radians * 180.0 / std::numbers::pi;
}

double wrap_360(double deg) {
  double r = std::fmod(deg, 360.0);
  if (r < 0.0) r += 360.0;
  return r;
}

double wrap_180(double deg) {
  double r = wrap_360(deg + 180.0) - 180.0;
  return r;
}

// The kind of every module variable the module reads: BCD radios as int32,
// everything else float64.
struct TokenKind {
  std::uint32_t token;
  bool bcd;
};
constexpr TokenKind kTokens[] = {
    {0x41, false},  {0x47, false},  {0x4A, false},  {0x48, false},  {0x4E, false},  {0x50, false},
    {0x56, false},  {0x52, false},  {0x6A, false},  {0x67, false},  {0x6B, false},  {0x6C, false},
    {0x6D, false},  {0x6F, false},  {0x70, false},  {0x7B, false},  {0x73, false},  {0x75, false},
    {0x74, false},  {0x76, false},  {0x69, false},  {0x318, false}, {0x77, false},  {0x78, false},
    {0x2D, false},  {0x36, false},  {0x143, false}, {0x145, false}, {0x148, false}, {0x14B, false},
    {0x155, false}, {0x315, false}, {0x40, false},  {0x157, false}, {0x158, false}, {0x18, true},
    {0x1B, true},   {0x17, true},   {0x366, true},  {0x269, true},  {0x367, true},  {0x368, true},
    {0x369, true},  {0x26, true},
};

struct ExpressionKind {
  const char* text;
  ResultKind kind;
};
constexpr ExpressionKind kExpressions[] = {
    {"(A:ATC ID,string)", ResultKind::text},
    {"(A:ATC MODEL,string)", ResultKind::text},
    {"(A:ATC FLIGHT NUMBER,string)", ResultKind::text},
    {"(A:GROUND VELOCITY,knots)", ResultKind::f64},
    {"(A:AIRSPEED INDICATED,knots)", ResultKind::f64},
    {"(A:AIRSPEED TRUE,knots)", ResultKind::f64},
    {"(A:KOHLSMAN SETTING HG, inHg)", ResultKind::f64},
    {"(A:GPS DRIVES NAV1,Bool)", ResultKind::i32},
    {"(A:ADF ACTIVE FREQUENCY:1, KHz)", ResultKind::f64},
    {"(A:ADF ACTIVE FREQUENCY:2, KHz)", ResultKind::f64},
    {"(A:DESIGN SPEED VS0, Knots)", ResultKind::f64},
    {"(A:DESIGN SPEED VS1, Knots)", ResultKind::f64},
    {"(A:DESIGN SPEED VC, Knots)", ResultKind::f64},
    {"(A:AIRSPEED BARBER POLE, Knots)", ResultKind::f64},
    {"(A:MACH MAX OPERATE, Mach)", ResultKind::f64},
    {"(E:ZULU TIME,Seconds)", ResultKind::i32},
    {"(E:LOCAL TIME,Seconds)", ResultKind::i32},
    {"(A:FUEL TOTAL CAPACITY,Gallons)", ResultKind::f64},
    {"(A:FUEL TOTAL QUANTITY WEIGHT,Pounds)", ResultKind::f64},
    {"(A:TOTAL WEIGHT,Pounds)", ResultKind::f64},
    {"(A:EMPTY WEIGHT,Pounds)", ResultKind::f64},
    {"(A:AUTOPILOT FLIGHT DIRECTOR PITCH,Radians)", ResultKind::f64},
    {"(A:AUTOPILOT FLIGHT DIRECTOR BANK,Radians)", ResultKind::f64},
    {"(A:PLANE ALTITUDE,Feet)", ResultKind::f64},
    {"(A:PLANE ALT ABOVE GROUND,Feet)", ResultKind::f64},
    {"(A:AMBIENT DENSITY,Slugs per cubic feet)", ResultKind::f64},
    {"(A:SIGMA SQRT,Number)", ResultKind::f64},
    {"(A:BAROMETER PRESSURE,Milibars)", ResultKind::f64},
};

// A BCD word read digit by digit; nibbles above 9 count at face value, as a
// radio that is handed nonsense shows it.
double bcd_digits(std::uint32_t bcd, int nibbles) {
  double value = 0.0;
  double weight = 1.0;
  for (int i = 0; i < nibbles; ++i) {
    value += static_cast<double>((bcd >> (4 * i)) & 0xF) * weight;
    weight *= 10.0;
  }
  return value;
}

double as_f64(const HostValue& v) {
  switch (v.kind) {
    case HostValue::Kind::f64:
      return v.f64;
    case HostValue::Kind::i32:
      return v.i32;
    case HostValue::Kind::text:
      break;
  }
  return 0.0;
}

// A float64 result handed to an int32 holder: truncated, saturating, and 0
// for a NaN, the way a host must do it without trapping.
std::int32_t to_i32(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(v);
}

struct Geo {
  double lat;  // degrees
  double lon;  // degrees
};

Geo waypoint_position(const std::uint8_t* w) {
  const double lat_units = static_cast<double>(load_le_i32(w + gps_layout::lat_whole)) +
                           load_le_u16(w + gps_layout::lat_fraction) / 65536.0;
  const std::uint64_t lon48 = (std::uint64_t{load_le_u32(w + gps_layout::lon_high)} << 16) |
                              load_le_u16(w + gps_layout::lon_low);
  return {lat_units * 360.0 / kLatitudeUnitsPerTurn,
          wrap_180(static_cast<double>(lon48) * 360.0 / kLongitudeUnitsPerTurn)};
}

double bearing_degrees(Geo from, Geo to) {
  const double p1 = radians(from.lat), p2 = radians(to.lat);
  const double dl = radians(to.lon - from.lon);
  return wrap_360(degrees(
      std::atan2(std::sin(dl) * std::cos(p2),
                 std::cos(p1) * std::sin(p2) - std::sin(p1) * std::cos(p2) * std::cos(dl))));
}

double distance_metres(Geo a, Geo b) {
  const double p1 = radians(a.lat), p2 = radians(b.lat);
  const double dp = p2 - p1, dl = radians(b.lon - a.lon);
  const double h = std::sin(dp / 2) * std::sin(dp / 2) +
                   std::cos(p1) * std::cos(p2) * std::sin(dl / 2) * std::sin(dl / 2);
  return 2.0 * kEarthRadiusMetres * std::asin(std::min(1.0, std::sqrt(h)));
}

Geo travel(Geo from, double course_deg, double metres) {
  const double d = metres / kEarthRadiusMetres;
  const double p1 = radians(from.lat), l1 = radians(from.lon), b = radians(course_deg);
  const double p2 =
      std::asin(std::sin(p1) * std::cos(d) + std::cos(p1) * std::sin(d) * std::cos(b));
  const double l2 = l1 + std::atan2(std::sin(b) * std::sin(d) * std::cos(p1),
                                    std::cos(d) - std::sin(p1) * std::sin(p2));
  return {degrees(p2), wrap_180(degrees(l2))};
}

}  // namespace

bool is_bcd_token(std::uint32_t token) {
  for (const TokenKind& t : kTokens)
    if (t.token == token) return t.bcd;
  return false;
}

bool is_known_token(std::uint32_t token) {
  for (const TokenKind& t : kTokens)
    if (t.token == token) return true;
  return false;
}

std::optional<ResultKind> known_expression_kind(const std::string& text) {
  for (const ExpressionKind& e : kExpressions)
    if (text == e.text) return e.kind;
  return std::nullopt;
}

void split_fixed_point(double value, std::int32_t& whole, std::uint16_t& fraction) {
  double w = std::floor(value);
  double f = std::round((value - w) * 65536.0);
  if (f >= 65536.0) {
    w += 1.0;
    f = 0.0;
  }
  whole = static_cast<std::int32_t>(w);
  fraction = static_cast<std::uint16_t>(f);
}

std::uint64_t longitude_to_units48(double deg) {
  const double turn = wrap_360(deg) / 360.0;
  const auto units = static_cast<std::uint64_t>(std::llround(std::ldexp(turn, 48)));
  return units & 0xFFFF'FFFF'FFFFull;
}

Aircraft::Aircraft() {
  set_gps(GpsPlanSpec{true, false, 0, {}});
}

std::optional<HostValue> Aircraft::var(std::uint32_t token) const {
  const auto it = vars_.find(token);
  if (it == vars_.end()) return std::nullopt;
  return it->second;
}

std::optional<HostValue> Aircraft::expression_value(const std::string& text) const {
  const auto it = expressions_.find(text);
  if (it == expressions_.end()) return std::nullopt;
  return it->second;
}

void Aircraft::set_gps(const GpsPlanSpec& plan) {
  gps_bindable_ = plan.bindable;
  gps_record_.fill(0);
  gps_waypoints_.assign(plan.waypoints.size() * gps_layout::waypoint_bytes, 0);
  for (std::size_t i = 0; i < plan.waypoints.size(); ++i) {
    const GpsWaypointSpec& s = plan.waypoints[i];
    std::uint8_t* w = &gps_waypoints_[i * gps_layout::waypoint_bytes];
    store_le_u16(w + gps_layout::lat_fraction, s.lat_fraction);
    store_le_i32(w + gps_layout::lat_whole, s.lat_whole);
    store_le_u16(w + gps_layout::lon_low, static_cast<std::uint16_t>(s.lon_units48 & 0xFFFF));
    store_le_u32(w + gps_layout::lon_high, static_cast<std::uint32_t>(s.lon_units48 >> 16));
    store_le_u16(w + gps_layout::alt_fraction, s.alt_fraction);
    store_le_i32(w + gps_layout::alt_whole, s.alt_whole);
    std::memcpy(w + gps_layout::ident, s.ident.data(),
                std::min(s.ident.size(), gps_layout::ident_bytes));
  }
  store_le_i32(&gps_record_[gps_layout::active_index], plan.active);
  store_le_i32(&gps_record_[gps_layout::count],
               static_cast<std::int32_t>(plan.has_array ? plan.waypoints.size() : 0));
  // An empty plan still has an array, so that the module reports a plan of
  // no waypoints rather than none at all.
  if (plan.has_array && gps_waypoints_.empty()) gps_waypoints_.resize(gps_layout::waypoint_bytes);
  const std::uint8_t* array = plan.has_array ? gps_waypoints_.data() : nullptr;
  // Pointer-sized and unaligned in the record, as the module reads it.
  std::memcpy(&gps_record_[gps_layout::array], &array, sizeof array);
}

std::int32_t Aircraft::gps_active() const {
  return load_le_i32(&gps_record_[gps_layout::active_index]);
}

void Aircraft::lookup_var(ModuleVar* var) const {
  // Token 0 names no variable, and the host keeps nothing for a token it was
  // never given: the record is left as it is.
  const auto it = vars_.find(var->token);
  if (var->token == 0 || it == vars_.end()) return;
  std::uint8_t bytes[8] = {};
  if (it->second.kind == HostValue::Kind::i32) {
    store_le_i32(bytes, it->second.i32);
  } else {
    store_le_f64(bytes, as_f64(it->second));
  }
  std::memcpy(var->value, bytes, sizeof bytes);
}

void Aircraft::initialize_var_by_name(ModuleVar* var, const char* name) {
  void* p = nullptr;
  if (name != nullptr && std::strcmp(name, kGpsVariableName) == 0 && gps_bindable_)
    p = gps_record_.data();
  std::memcpy(&var->pointer, &p, sizeof p);
}

void Aircraft::execute_calculator_code(const char* text, double* f64_out, std::int32_t* i32_out,
                                       const char** text_out) const {
  if (text == nullptr) return;
  const auto it = expressions_.find(text);
  // An expression the host cannot evaluate leaves every holder as it was.
  if (it == expressions_.end()) return;
  const HostValue& v = it->second;
  if (v.kind == HostValue::Kind::text) {
    if (text_out != nullptr) *text_out = v.text.c_str();
    return;
  }
  if (f64_out != nullptr) *f64_out = as_f64(v);
  if (i32_out != nullptr) *i32_out = v.kind == HostValue::Kind::i32 ? v.i32 : to_i32(v.f64);
}

double Aircraft::var_f64(std::uint32_t token) const {
  const auto it = vars_.find(token);
  return it == vars_.end() ? 0.0 : as_f64(it->second);
}

double Aircraft::expression_f64(const char* text) const {
  const auto it = expressions_.find(text);
  return it == expressions_.end() ? 0.0 : as_f64(it->second);
}

bool Aircraft::trigger_key_event(std::uint32_t event_id, std::uint32_t value) {
  const auto param = static_cast<std::int32_t>(value);
  auto set_f64 = [&](std::uint32_t token, double v) { vars_[token] = HostValue::of_f64(v); };
  auto set_flag = [&](std::uint32_t token, bool on) { set_f64(token, on ? 1.0 : 0.0); };
  auto toggle = [&](std::uint32_t token) { set_flag(token, var_f64(token) == 0.0); };
  auto set_bcd = [&](std::uint32_t token) { vars_[token] = HostValue::of_i32(param); };
  auto set_adf = [&](const char* text) {
    // Seven BCD digits of the frequency in kHz times 10000.
    expressions_[text] = HostValue::of_f64(bcd_digits(value, 7) / 10000.0);
  };
  namespace t = var_token;
  switch (event_id) {
    // Axis events: 16384 units for 90 degrees, positive nose down and left
    // wing down, the same sense as the attitude variables.
    case 0x1009E:
      set_f64(t::pitch, param / kAxisUnitsPerDegree);
      return true;
    case 0x1009F:
      set_f64(t::bank, param / kAxisUnitsPerDegree);
      return true;
    case 0x100A0:  // rudder: yaws the nose by the deflection's angle, once
      set_f64(t::heading, wrap_360(var_f64(t::heading) - param / kAxisUnitsPerDegree));
      return true;
    case 0x101F8:  // altimeter, sixteenths of a millibar
      expressions_[expression::kohlsman] = HostValue::of_f64(param / 16.0 / kMillibarsPerInchHg);
      return true;
    case 0x1024C:
      set_f64(t::ap_altitude, param);
      return true;
    case 0x101F4:
      set_f64(t::ap_vertical_speed, param);
      return true;
    case 0x101FA:
      set_f64(t::ap_heading, wrap_360(param));
      return true;
    case 0x100FF:
      set_flag(t::autopilot_engaged, false);
      return true;
    case 0x10100:
      set_flag(t::autopilot_engaged, true);
      return true;
    case 0x102F0:
      toggle(t::flight_director);
      return true;
    case 0x10115:
      set_flag(t::localizer_hold, false);
      return true;
    case 0x1010D:
      set_flag(t::localizer_hold, true);
      return true;
    case 0x10118:
      set_flag(t::altitude_hold, false);
      return true;
    case 0x10110:
      set_flag(t::altitude_hold, true);
      return true;
    case 0x10116:
      set_flag(t::glide_slope_hold, false);
      return true;
    case 0x1010E:
      set_flag(t::glide_slope_hold, true);
      return true;
    case 0x100B4:
      set_f64(t::nav1_course, wrap_360(param));
      return true;
    case 0x100B5:
      set_f64(t::nav2_course, wrap_360(param));
      return true;
    case 0x1022F:  // airspeed hold: 1 engages, 0 releases
      set_flag(t::airspeed_hold, param != 0);
      return true;
    case 0x10232:  // Mach hold: 1 engages, 0 releases
      set_flag(t::mach_hold, param != 0);
      return true;
    case 0x101F5:
      set_f64(t::airspeed_setting, param);
      return true;
    case 0x101F6:  // Mach in hundredths
      set_f64(t::mach_setting, param / 100.0);
      return true;
    case 0x10144:
      toggle(t::speed_arm);
      return true;
    case 0x1023B:
      set_flag(t::heading_hold, false);
      return true;
    case 0x1023A:
      set_flag(t::heading_hold, true);
      return true;
    case 0x1011B:
      set_flag(t::lnav_hold, false);
      return true;
    case 0x10113:
      set_flag(t::lnav_hold, true);
      return true;
    case 0x10347: {
      const auto it = expressions_.find(expression::gps_drives_nav1);
      const bool on = it != expressions_.end() && as_f64(it->second) != 0.0;
      expressions_[expression::gps_drives_nav1] = HostValue::of_i32(on ? 0 : 1);
      return true;
    }
    case 0x100AC:
      set_bcd(t::nav1);
      return true;
    case 0x100AD:
      set_bcd(t::nav2);
      return true;
    case 0x100AB:
      set_bcd(t::com1);
      return true;
    case 0x1038A:
      set_bcd(t::com2);
      return true;
    case 0x1038F:
      set_bcd(t::nav1_standby);
      return true;
    case 0x10393:
      set_bcd(t::nav2_standby);
      return true;
    case 0x10343:
      set_bcd(t::com1_standby);
      return true;
    case 0x1038B:
      set_bcd(t::com2_standby);
      return true;
    case 0x103AF:
      set_adf(expression::adf1);
      return true;
    case 0x103FC:
      set_adf(expression::adf2);
      return true;
    case 0x100B3:
      set_bcd(t::transponder);
      return true;
    default:
      return false;
  }
}

void Aircraft::step(double seconds) {
  if (mode == AircraftMode::fly && seconds > 0.0) fly(seconds);
}

void Aircraft::fly(double seconds) {
  namespace t = var_token;
  const double ground_speed_kt = expression_f64(expression::ground_speed);
  const double metres = ground_speed_kt * kMetresPerNauticalMile / 3600.0 * seconds;
  Geo here{var_f64(t::latitude) * 360.0 / kLatitudeUnitsPerTurn,
           wrap_180(var_f64(t::longitude) * 360.0 / kLongitudeUnitsPerTurn)};
  double heading = wrap_360(var_f64(t::heading));

  // Lateral: the plan's active waypoint under LNAV, else the heading bug
  // under heading hold, else a turn at the rate the bank gives.
  std::optional<double> target;
  const std::uint8_t* array = nullptr;
  std::memcpy(&array, &gps_record_[gps_layout::array], sizeof array);
  const std::int32_t count = load_le_i32(&gps_record_[gps_layout::count]);
  std::int32_t active = gps_active();
  if (var_f64(t::lnav_hold) != 0.0 && array != nullptr && active >= 0 && active < count) {
    Geo to =
        waypoint_position(array + static_cast<std::size_t>(active) * gps_layout::waypoint_bytes);
    if (distance_metres(here, to) <= std::max(kWaypointCaptureMetres, 2.0 * metres) &&
        active + 1 < count) {
      ++active;
      store_le_i32(&gps_record_[gps_layout::active_index], active);
      to = waypoint_position(array + static_cast<std::size_t>(active) * gps_layout::waypoint_bytes);
    }
    target = bearing_degrees(here, to);
  } else if (var_f64(t::heading_hold) != 0.0) {
    target = wrap_360(var_f64(t::ap_heading));
  }
  if (target) {
    const double max_step = kStandardTurnDegreesPerSecond * seconds;
    const double diff = wrap_180(*target - heading);
    double bank = 0.0;  // rolled out on the target
    if (std::fabs(diff) <= max_step) {
      heading = *target;
    } else {
      heading = wrap_360(heading + (diff > 0.0 ? max_step : -max_step));
      // Left wing down is positive in the host's bank.
      bank = diff > 0.0 ? -kAutopilotBankDegrees : kAutopilotBankDegrees;
    }
    set_var(t::bank, HostValue::of_f64(bank));
  } else if (ground_speed_kt > 1.0) {
    const double right_bank = -var_f64(t::bank);
    const double rate = 1091.0 * std::tan(radians(std::clamp(right_bank, -80.0, 80.0))) /
                        ground_speed_kt;  // degrees per second, a coordinated turn
    heading = wrap_360(heading + rate * seconds);
  }

  // Vertical: toward the autopilot altitude under altitude hold, at the
  // vertical speed dial under vertical speed hold, else as the aircraft goes.
  const double altitude = var_f64(t::altitude);
  double fpm = var_f64(t::vertical_speed) / kVerticalSpeedUnitsPerFpm;
  double new_altitude = altitude + fpm / 60.0 * seconds;
  if (var_f64(t::altitude_hold) != 0.0) {
    const double wanted = var_f64(t::ap_altitude);
    double rate = std::fabs(var_f64(t::ap_vertical_speed));
    if (rate == 0.0) rate = kDefaultClimbFpm;
    const double max_step = rate / 60.0 * seconds;
    if (std::fabs(wanted - altitude) <= max_step) {
      new_altitude = wanted;
      fpm = 0.0;
    } else {
      fpm = wanted > altitude ? rate : -rate;
      new_altitude = altitude + fpm / 60.0 * seconds;
    }
  } else if (var_f64(t::vs_hold) != 0.0) {
    fpm = var_f64(t::ap_vertical_speed);
    new_altitude = altitude + fpm / 60.0 * seconds;
  }

  const Geo there = travel(here, heading, metres);
  set_var(t::latitude, HostValue::of_f64(there.lat * kLatitudeUnitsPerTurn / 360.0));
  set_var(t::longitude, HostValue::of_f64(there.lon * kLongitudeUnitsPerTurn / 360.0));
  set_var(t::heading, HostValue::of_f64(heading));
  set_var(t::altitude, HostValue::of_f64(new_altitude));
  set_var(t::vertical_speed, HostValue::of_f64(fpm * kVerticalSpeedUnitsPerFpm));
  set_expression(expression::plane_altitude, HostValue::of_f64(new_altitude));
  if (const auto agl = expression_value(expression::above_ground)) {
    set_expression(expression::above_ground,
                   HostValue::of_f64(as_f64(*agl) + (new_altitude - altitude)));
  }
}

}  // namespace orbitune::host
