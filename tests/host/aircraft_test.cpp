// The simulated aircraft of the emulated host: what the module reads through
// the panel services, what every key event it can send does, the GPS record
// byte for byte, and the kinematics of the `fly` mode.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <ostream>
#include <string>

#include "platform/little_endian.h"
#include "tools/host/aircraft.h"

namespace orbitune::host {
namespace {

constexpr double kTurn48 = 281474976710656.0;  // 2^48

ModuleVar record_for(std::uint32_t token) {
  ModuleVar v;
  std::memset(&v, 0xCC, sizeof v);  // whatever the module's record held before
  v.token = token;
  return v;
}

double looked_up_f64(const Aircraft& a, std::uint32_t token) {
  ModuleVar v = record_for(token);
  a.lookup_var(&v);
  return load_le_f64(v.value);
}

std::int32_t looked_up_i32(const Aircraft& a, std::uint32_t token) {
  ModuleVar v = record_for(token);
  a.lookup_var(&v);
  return load_le_i32(v.value);
}

double evaluated_f64(const Aircraft& a, const char* text) {
  double out = -12345.0;
  a.execute_calculator_code(text, &out, nullptr, nullptr);
  return out;
}

TEST(AircraftLookup, Float64VariablesFillAllEightBytesAndBcdOnlyTheFirstFour) {
  Aircraft a;
  a.set_var(0x47, HostValue::of_f64(4451000.25));
  a.set_var(0x18, HostValue::of_i32(0x1130));
  ModuleVar lat = record_for(0x47);
  a.lookup_var(&lat);
  EXPECT_EQ(load_le_f64(lat.value), 4451000.25);
  ModuleVar nav = record_for(0x18);
  a.lookup_var(&nav);
  const std::uint8_t expected[8] = {0x30, 0x11, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(nav.value, expected, 8), 0);
  // The token and the host's other fields of the record are not rewritten.
  EXPECT_EQ(nav.token, 0x18u);
}

TEST(AircraftLookup, TokenZeroAndUnknownTokensLeaveTheRecordAsItWas) {
  Aircraft a;
  a.set_var(0x47, HostValue::of_f64(1.0));
  for (std::uint32_t token : {0u, 0x9999u}) {
    ModuleVar v = record_for(token);
    const ModuleVar before = v;
    a.lookup_var(&v);
    EXPECT_EQ(std::memcmp(&v, &before, sizeof v), 0) << "token " << token;
  }
}

TEST(AircraftExpressions, ResultGoesToTheOneHolderGivenAndUnknownTextLeavesItAlone) {
  Aircraft a;
  a.set_expression("(A:ATC ID,string)", HostValue::of_text("N123AB"));
  a.set_expression("(E:ZULU TIME,Seconds)", HostValue::of_i32(45296));
  a.set_expression("(A:AIRSPEED INDICATED,knots)", HostValue::of_f64(-110.75));

  const char* text = nullptr;
  a.execute_calculator_code("(A:ATC ID,string)", nullptr, nullptr, &text);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "N123AB");

  std::int32_t i = -1;
  a.execute_calculator_code("(E:ZULU TIME,Seconds)", nullptr, &i, nullptr);
  EXPECT_EQ(i, 45296);
  // A float64 asked for as an int32 is truncated toward zero.
  a.execute_calculator_code("(A:AIRSPEED INDICATED,knots)", nullptr, &i, nullptr);
  EXPECT_EQ(i, -110);
  EXPECT_EQ(evaluated_f64(a, "(E:ZULU TIME,Seconds)"), 45296.0);

  double f = 7.5;
  std::int32_t n = 9;
  const char* t = "kept";
  a.execute_calculator_code("(A:NOT IN THE STATE,Number)", &f, nullptr, nullptr);
  a.execute_calculator_code("(A:NOT IN THE STATE,Number)", nullptr, &n, nullptr);
  a.execute_calculator_code("(A:NOT IN THE STATE,Number)", nullptr, nullptr, &t);
  EXPECT_EQ(f, 7.5);
  EXPECT_EQ(n, 9);
  EXPECT_STREQ(t, "kept");
  // A text asked for as a number is no result either.
  a.execute_calculator_code("(A:ATC ID,string)", &f, nullptr, nullptr);
  EXPECT_EQ(f, 7.5);
}

// What one key event does to the aircraft.
struct KeyCase {
  std::uint32_t event;
  std::int32_t param;
  std::uint32_t token;     // the variable it changes, or 0 for an expression
  const char* expression;  // the expression it changes, when token is 0
  double before;           // the value beforehand, so that "off" has something to clear
  bool bcd;                // the result is an int32 BCD word
  double after;            // the value afterwards (the BCD word as a number when bcd)
};

std::ostream& operator<<(std::ostream& os, const KeyCase& c) {
  return os << "event 0x" << std::hex << c.event << std::dec << " param " << c.param;
}

constexpr KeyCase kKeyCases[] = {
    {0x1009E, -1820, 0x4E, nullptr, 3.0, false, -10.0},  // pitch axis: 10 degrees nose up
    {0x1009F, 455, 0x50, nullptr, 0.0, false, 2.5},      // bank axis: 2.5 degrees left
    {0x100A0, 364, 0x56, nullptr, 90.0, false, 88.0},    // rudder: the nose yaws 2 degrees left
    {0x101F8, 16209, 0, "(A:KOHLSMAN SETTING HG, inHg)", 30.5, false,
     16209 / 16.0 / 33.86},                                   // altimeter, 1/16 millibar
    {0x1024C, 12500, 0x6D, nullptr, 3000.0, false, 12500.0},  // AP altitude, feet
    {0x101F4, -1500, 0x78, nullptr, 700.0, false, -1500.0},   // AP vertical speed, ft/min
    {0x101FA, 270, 0x6B, nullptr, 90.0, false, 270.0},        // heading bug
    {0x101FA, 370, 0x6B, nullptr, 90.0, false, 10.0},         // heading bug past north
    {0x10100, 0, 0x67, nullptr, 0.0, false, 1.0},             // autopilot on
    {0x100FF, 0, 0x67, nullptr, 1.0, false, 0.0},             // autopilot off
    {0x1010D, 0, 0x70, nullptr, 0.0, false, 1.0},             // localizer hold on
    {0x10115, 0, 0x70, nullptr, 1.0, false, 0.0},             // localizer hold off
    {0x10110, 0, 0x6C, nullptr, 0.0, false, 1.0},             // altitude hold on
    {0x10118, 0, 0x6C, nullptr, 1.0, false, 0.0},             // altitude hold off
    {0x1010E, 0, 0x6F, nullptr, 0.0, false, 1.0},             // glide slope hold on
    {0x10116, 0, 0x6F, nullptr, 1.0, false, 0.0},             // glide slope hold off
    {0x1023A, 0, 0x6A, nullptr, 0.0, false, 1.0},             // heading hold on
    {0x1023B, 0, 0x6A, nullptr, 1.0, false, 0.0},             // heading hold off
    {0x10113, 0, 0x69, nullptr, 0.0, false, 1.0},             // LNAV hold on
    {0x1011B, 0, 0x69, nullptr, 1.0, false, 0.0},             // LNAV hold off
    {0x1022F, 1, 0x73, nullptr, 0.0, false, 1.0},             // airspeed hold engaged
    {0x1022F, 0, 0x73, nullptr, 1.0, false, 0.0},             // airspeed hold released
    {0x10232, 1, 0x75, nullptr, 0.0, false, 1.0},             // Mach hold engaged
    {0x10232, 0, 0x75, nullptr, 1.0, false, 0.0},             // Mach hold released
    {0x101F5, 250, 0x74, nullptr, 180.0, false, 250.0},       // airspeed dial, knots
    {0x101F6, 78, 0x76, nullptr, 0.5, false, 0.78},           // Mach dial, hundredths
    {0x100B4, 123, 0x2D, nullptr, 5.0, false, 123.0},         // OBS1
    {0x100B5, 321, 0x36, nullptr, 5.0, false, 321.0},         // OBS2
    {0x100AC, 0x1130, 0x18, nullptr, 0, true, 0x1130},        // NAV1 active
    {0x100AD, 0x1245, 0x1B, nullptr, 0, true, 0x1245},        // NAV2 active
    {0x100AB, 0x1850, 0x17, nullptr, 0, true, 0x1850},        // COM1 active
    {0x1038A, 0x2190, 0x366, nullptr, 0, true, 0x2190},       // COM2 active
    {0x1038F, 0x0870, 0x368, nullptr, 0, true, 0x0870},       // NAV1 standby
    {0x10393, 0x1550, 0x369, nullptr, 0, true, 0x1550},       // NAV2 standby
    {0x10343, 0x2475, 0x269, nullptr, 0, true, 0x2475},       // COM1 standby
    {0x1038B, 0x3290, 0x367, nullptr, 0, true, 0x3290},       // COM2 standby
    {0x100B3, 0x7700, 0x26, nullptr, 0, true, 0x7700},        // transponder code
    {0x103AF, 0x03530000, 0, "(A:ADF ACTIVE FREQUENCY:1, KHz)", 200.0, false,
     353.0},  // ADF1, BCD kHz x 10000
    {0x103FC, 0x01905000, 0, "(A:ADF ACTIVE FREQUENCY:2, KHz)", 200.0, false,
     190.5},  // ADF2 with a half kHz
};

class KeyEventTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeyEventTest, ChangesTheVariableThatLaterReadsShow) {
  const KeyCase& c = GetParam();
  Aircraft a;
  if (c.token != 0) {
    a.set_var(c.token, c.bcd ? HostValue::of_i32(0x1111) : HostValue::of_f64(c.before));
  } else {
    a.set_expression(c.expression, HostValue::of_f64(c.before));
  }
  EXPECT_TRUE(a.trigger_key_event(c.event, static_cast<std::uint32_t>(c.param)));
  if (c.token == 0) {
    EXPECT_DOUBLE_EQ(evaluated_f64(a, c.expression), c.after);
  } else if (c.bcd) {
    EXPECT_EQ(looked_up_i32(a, c.token), static_cast<std::int32_t>(c.after));
  } else {
    EXPECT_DOUBLE_EQ(looked_up_f64(a, c.token), c.after);
  }
}

INSTANTIATE_TEST_SUITE_P(EveryEventTheModuleSends, KeyEventTest, ::testing::ValuesIn(kKeyCases));

TEST(AircraftKeyEvents, TogglesFlipTheirFlagEachTime) {
  Aircraft a;
  // The flight director and the speed-control arm flag start unset.
  for (std::uint32_t token : {0x318u, 0x7Bu}) {
    const std::uint32_t event = token == 0x318 ? 0x102F0 : 0x10144;
    a.trigger_key_event(event, 0);
    EXPECT_EQ(looked_up_f64(a, token), 1.0);
    a.trigger_key_event(event, 0);
    EXPECT_EQ(looked_up_f64(a, token), 0.0);
  }
  std::int32_t gps = -1;
  a.trigger_key_event(0x10347, 0);
  a.execute_calculator_code("(A:GPS DRIVES NAV1,Bool)", nullptr, &gps, nullptr);
  EXPECT_EQ(gps, 1);
  a.trigger_key_event(0x10347, 0);
  a.execute_calculator_code("(A:GPS DRIVES NAV1,Bool)", nullptr, &gps, nullptr);
  EXPECT_EQ(gps, 0);
}

TEST(AircraftKeyEvents, AnUnknownEventChangesNothing) {
  Aircraft a;
  a.set_var(0x6B, HostValue::of_f64(90.0));
  EXPECT_FALSE(a.trigger_key_event(0x10001, 270));
  EXPECT_EQ(looked_up_f64(a, 0x6B), 90.0);
}

TEST(AircraftGps, RecordAndWaypointMatchAHandMadeImage) {
  Aircraft a;
  GpsPlanSpec plan;
  plan.active = 1;
  plan.waypoints = {
      {"KSEA", 0x01234567, 0x89AB, 0x123456789ABCull, -5, 0x8000},
      {"ABCDEFGH", -2, 0x0102, 0xFEDCBA987654ull, 100, 0x0001},
  };
  a.set_gps(plan);

  ModuleVar v = record_for(0);
  a.initialize_var_by_name(&v, "FS2002 GPS DATA");
  const std::uint8_t* record = nullptr;
  std::memcpy(&record, &v.pointer, sizeof record);
  ASSERT_EQ(record, a.gps_record());
  EXPECT_EQ(load_le_i32(record + 76), 1);
  EXPECT_EQ(load_le_i32(record + 168), 2);
  const std::uint8_t* array = nullptr;
  std::memcpy(&array, record + 172, sizeof array);
  ASSERT_NE(array, nullptr);

  std::uint8_t first[64] = {};
  const std::uint8_t lat[] = {0xAB, 0x89, 0x67, 0x45, 0x23, 0x01};  // @10
  const std::uint8_t lon[] = {0xBC, 0x9A, 0x78, 0x56, 0x34, 0x12};  // @18
  const std::uint8_t alt[] = {0x00, 0x80, 0xFB, 0xFF, 0xFF, 0xFF};  // @26
  const std::uint8_t ident[] = {'K', 'S', 'E', 'A', 0, 0, 0, 0};    // @56
  std::memcpy(first + 10, lat, sizeof lat);
  std::memcpy(first + 18, lon, sizeof lon);
  std::memcpy(first + 26, alt, sizeof alt);
  std::memcpy(first + 56, ident, sizeof ident);
  EXPECT_EQ(std::memcmp(array, first, 64), 0);

  std::uint8_t second[64] = {};
  const std::uint8_t lat2[] = {0x02, 0x01, 0xFE, 0xFF, 0xFF, 0xFF};
  const std::uint8_t lon2[] = {0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE};
  const std::uint8_t alt2[] = {0x01, 0x00, 0x64, 0x00, 0x00, 0x00};
  std::memcpy(second + 10, lat2, sizeof lat2);
  std::memcpy(second + 18, lon2, sizeof lon2);
  std::memcpy(second + 26, alt2, sizeof alt2);
  std::memcpy(second + 56, "ABCDEFGH", 8);  // a full field has no NUL
  EXPECT_EQ(std::memcmp(array + 64, second, 64), 0);
}

TEST(AircraftGps, BindingFollowsTheScenario) {
  Aircraft a;
  ModuleVar v = record_for(0);
  a.initialize_var_by_name(&v, "FS2002 GPS DATA");
  void* p = nullptr;
  std::memcpy(&p, &v.pointer, sizeof p);
  EXPECT_EQ(p, a.gps_record()) << "the record exists even without a plan";
  const std::uint8_t* array = reinterpret_cast<const std::uint8_t*>(1);
  std::memcpy(&array, a.gps_record() + 172, sizeof array);
  EXPECT_EQ(array, nullptr) << "but holds no waypoint array";

  a.initialize_var_by_name(&v, "FS2002 GPS DATAX");
  std::memcpy(&p, &v.pointer, sizeof p);
  EXPECT_EQ(p, nullptr);

  a.set_gps(GpsPlanSpec{false, false, 0, {}});
  v = record_for(0);
  a.initialize_var_by_name(&v, "FS2002 GPS DATA");
  std::memcpy(&p, &v.pointer, sizeof p);
  EXPECT_EQ(p, nullptr);
}

// Degrees to the record's 48-bit angle; the expected angles are exact
// rational results, rounded to the nearest unit.
struct CoordinateCase {
  double degrees;
  std::uint64_t units48;  // the longitude's 48-bit angle
};
constexpr CoordinateCase kLongitudes[] = {
    {0.0, 0},                        // the prime meridian
    {180.0, 0x800000000000ull},      // half a turn
    {-160.0, 0x8E38E38E38E4ull},     // west counts from 360
    {200.0, 0x8E38E38E38E4ull},      // the same meridian past 180
    {90.0, 0x400000000000ull},       // a quarter turn
    {-0.000001, 0xFFFFFFF411CDull},  // just west of zero: near the top of the range
    {-122.31, 0xA90624DD2F1Bull},    // a west longitude with a fraction
};

TEST(AircraftGps, LongitudeBecomesTheNearest48BitAngle) {
  for (const CoordinateCase& c : kLongitudes) {
    EXPECT_EQ(longitude_to_units48(c.degrees), c.units48) << c.degrees;
  }
}

TEST(AircraftGps, LatitudeAndAltitudeSplitIntoWholeAndSixteenBitFraction) {
  std::int32_t whole = 0;
  std::uint16_t fraction = 0;
  split_fixed_point(47.45 * 40007000.0 / 360.0, whole, fraction);
  EXPECT_EQ(whole, 5273144);
  EXPECT_NEAR((whole + fraction / 65536.0) * 360.0 / 40007000.0, 47.45, 1e-9);
  split_fixed_point(-100.9, whole, fraction);
  EXPECT_EQ(whole, -101);
  EXPECT_EQ(fraction, 6554);  // 0.1 metre in 1/65536
  split_fixed_point(131.0, whole, fraction);
  EXPECT_EQ(whole, 131);
  EXPECT_EQ(fraction, 0);
}

// The fly mode over one second of updates at the simulator's rate.
void fly_seconds(Aircraft& a, double seconds, double rate = 18.0) {
  const int steps = static_cast<int>(std::lround(seconds * rate));
  for (int i = 0; i < steps; ++i) a.step(1.0 / rate);
}

constexpr double kLatUnitsPerDegree = 40007000.0 / 360.0;

TEST(AircraftFly, StaticModeNeverMoves) {
  Aircraft a;
  a.set_var(0x47, HostValue::of_f64(4451000.0));
  a.set_expression("(A:GROUND VELOCITY,knots)", HostValue::of_f64(300.0));
  fly_seconds(a, 10.0);
  EXPECT_EQ(looked_up_f64(a, 0x47), 4451000.0);
}

TEST(AircraftFly, MovesAlongItsHeadingAtItsGroundSpeed) {
  Aircraft a;
  a.mode = AircraftMode::fly;
  a.set_var(0x47, HostValue::of_f64(10.0 * kLatUnitsPerDegree));
  a.set_var(0x48, HostValue::of_f64(-20.0 / 360.0 * kTurn48));
  a.set_var(0x56, HostValue::of_f64(0.0));
  a.set_expression("(A:GROUND VELOCITY,knots)", HostValue::of_f64(360.0));
  fly_seconds(a, 60.0);
  // 360 knots for a minute: 6 nautical miles due north, a tenth of a degree
  // of a great circle of 6371 km.
  const double metres = 6.0 * 1852.0;
  const double expected_lat = 10.0 + metres / 6371000.0 * 180.0 / std::numbers::pi;
  EXPECT_NEAR(looked_up_f64(a, 0x47) / kLatUnitsPerDegree, expected_lat, 1e-9);
  EXPECT_NEAR(looked_up_f64(a, 0x48) / kTurn48 * 360.0, -20.0, 1e-9);
  EXPECT_NEAR(looked_up_f64(a, 0x56), 0.0, 1e-9);
}

TEST(AircraftFly, HeadingHoldTurnsTowardTheBugAtStandardRateAndRollsOut) {
  Aircraft a;
  a.mode = AircraftMode::fly;
  a.set_var(0x56, HostValue::of_f64(350.0));
  a.set_var(0x6B, HostValue::of_f64(20.0));  // 30 degrees to the right, across north
  a.set_var(0x6A, HostValue::of_f64(1.0));
  a.set_expression("(A:GROUND VELOCITY,knots)", HostValue::of_f64(150.0));
  fly_seconds(a, 5.0);
  EXPECT_NEAR(looked_up_f64(a, 0x56), 5.0, 1e-9);
  EXPECT_EQ(looked_up_f64(a, 0x50), -25.0) << "right wing down while turning right";
  fly_seconds(a, 6.0);
  EXPECT_NEAR(looked_up_f64(a, 0x56), 20.0, 1e-9);
  EXPECT_EQ(looked_up_f64(a, 0x50), 0.0);
}

TEST(AircraftFly, AltitudeHoldClimbsAtTheDialledRateAndLevelsOffExactly) {
  Aircraft a;
  a.mode = AircraftMode::fly;
  a.set_var(0x4A, HostValue::of_f64(3000.0));
  a.set_var(0x6D, HostValue::of_f64(4000.0));
  a.set_var(0x78, HostValue::of_f64(1200.0));
  a.set_var(0x6C, HostValue::of_f64(1.0));
  fly_seconds(a, 30.0);
  EXPECT_NEAR(looked_up_f64(a, 0x4A), 3600.0, 1e-6);
  // The host's vertical speed unit is 1/256 m/s: 1200 ft/min is 6.096 m/s.
  EXPECT_NEAR(looked_up_f64(a, 0x41), 6.096 * 256.0, 1e-9);
  EXPECT_NEAR(evaluated_f64(a, "(A:PLANE ALTITUDE,Feet)"), 3600.0, 1e-6);
  fly_seconds(a, 30.0);
  EXPECT_EQ(looked_up_f64(a, 0x4A), 4000.0);
  EXPECT_EQ(looked_up_f64(a, 0x41), 0.0);
}

TEST(AircraftFly, LnavFollowsTheActiveLegAndAdvancesAtTheWaypoint) {
  Aircraft a;
  a.mode = AircraftMode::fly;
  GpsPlanSpec plan;
  plan.active = 0;
  GpsWaypointSpec w0, w1;
  split_fixed_point(0.005 * kLatUnitsPerDegree, w0.lat_whole, w0.lat_fraction);  // 0.3 nm north
  w0.lon_units48 = 0;
  split_fixed_point(0.0, w1.lat_whole, w1.lat_fraction);
  w1.lon_units48 = longitude_to_units48(1.0);  // due east
  plan.waypoints = {w0, w1};
  a.set_gps(plan);
  a.set_var(0x47, HostValue::of_f64(0.0));
  a.set_var(0x48, HostValue::of_f64(0.0));
  a.set_var(0x56, HostValue::of_f64(0.0));
  a.set_var(0x69, HostValue::of_f64(1.0));
  a.set_expression("(A:GROUND VELOCITY,knots)", HostValue::of_f64(120.0));
  a.step(1.0 / 18.0);
  // Inside half a mile of the first waypoint: the second becomes active.
  EXPECT_EQ(a.gps_active(), 1);
  EXPECT_EQ(load_le_i32(a.gps_record() + 76), 1);
  fly_seconds(a, 60.0);
  // East, a little south of it: the turn began north of the waypoint's parallel.
  EXPECT_GT(looked_up_f64(a, 0x56), 90.0);
  EXPECT_LT(looked_up_f64(a, 0x56), 91.0);
  EXPECT_EQ(a.gps_active(), 1) << "the last waypoint stays active";
}

}  // namespace
}  // namespace orbitune::host
