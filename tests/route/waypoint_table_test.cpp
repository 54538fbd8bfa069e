// The waypoint table over a fake host that owns a GPS record laid out as the
// host's: binding by name, the conversions, type codes, coordinate names, the
// limits of the table and the rule that decides whether an entry is rewritten.
//
// Expected float32 values are given as hexadecimal literals where exactness is
// the point; they were worked out by hand from the host's encodings, not taken
// from the module.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "gauge/module.h"
#include "route/flight_plan.h"
#include "tests/route/gps_record.h"
#include "tests/support/fake_host.h"
#include "tests/support/fake_platform.h"

namespace orbitune {
namespace {

using testing::FakeClock;
using testing::FakeHost;
using testing::FakeSockets;
using testing::GpsRecord;

constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kInt32Min = std::numeric_limits<std::int32_t>::min();

// NAME as the 8 bytes it is, so that padding and the eighth byte are compared
// too.
std::string name_bytes(const RoutePoint& e) {
  return std::string(e.NAME, sizeof e.NAME);
}
std::string padded(const std::string& text) {
  return text + std::string(8 - text.size(), '\0');
}

class WaypointTableTest : public ::testing::Test {
 protected:
  WaypointTableTest() { host.set_named_record("FS2002 GPS DATA", gps.data()); }

  bool update() { return update_waypoint_table(m); }
  RoutePoint& entry(int i) { return m.flight_plan.waypoint_table[i]; }
  // Marks an entry so that a rewrite shows: the module never writes this name.
  void mark(int i) { std::memcpy(entry(i).NAME, "marker!", 8); }
  bool marked(int i) { return name_bytes(entry(i)) == padded("marker!"); }

  FakeHost host;
  FakeSockets sockets;
  FakeClock clock;
  GpsRecord gps;
  Module m{host, sockets, clock};
};

TEST_F(WaypointTableTest, TypeCodeAndNameFollowTheIdentifierLength) {
  struct Case {
    const char* ident;
    std::int32_t type;
    const char* name;  // the identifier's first 7 characters, or the coordinate name
    double lat, lon;
  };
  constexpr Case kCases[] = {
      {"", 0x800, "12N34E", 12.2, 34.4},           // empty: named after its coordinates
      {"Q", 0x800, "12S35E", -12.2, 35.4},         // one character
      {"KS", 0x4, "KS", 1.0, 2.0},                 // two characters
      {"SEA", 0x4, "SEA", 3.0, 4.0},               // three
      {"KSEA", 0x1, "KSEA", 5.0, 6.0},             // four
      {"ALPHA", 0x200, "ALPHA", 7.0, 8.0},         // five
      {"BRAVO1", 0x800, "6S78W", -5.6, -77.7},     // six
      {"CHARLIE", 0x800, "33N1E", 33.3, 1.2},      // seven
      {"DELTAXYZ", 0x800, "55N12W", 55.4, -12.2},  // fills the field without a NUL; 7 counted
  };
  gps.set_plan_size(std::size(kCases));
  for (std::size_t i = 0; i < std::size(kCases); ++i) {
    gps.set_waypoint(i, kCases[i].ident, kCases[i].lat, kCases[i].lon, 100.0 + 10.0 * i);
  }
  ASSERT_TRUE(update());
  for (std::size_t i = 0; i < std::size(kCases); ++i) {
    SCOPED_TRACE(std::string("identifier \"") + kCases[i].ident + "\"");
    EXPECT_EQ(entry(i).TYPE, kCases[i].type);
    EXPECT_EQ(name_bytes(entry(i)), padded(kCases[i].name));
    EXPECT_EQ(entry(i).reserved, 0);
  }
}

TEST_F(WaypointTableTest, CoordinateNamesRoundToWholeDegrees) {
  struct Case {
    double lat, lon;
    const char* name;
  };
  constexpr Case kCases[] = {
      {47.6, -122.3, "48N122W"},  {0.0, 0.0, "0N0E"},
      {-0.3, 10.2, "0S10E"},     // rounds to 0 but keeps its hemisphere
      {89.6, 179.6, "90N180E"},  // seven characters, all kept
      {-89.6, -179.6, "90S180W"}, {46.4999, 0.4999, "46N0E"},  // just below a half
      {110.0, 5.0, "70S5E"},       // over 90: reported 180 lower, so south
      {290.0, -170.2, "110N170"},  // "110N170W" cut to seven characters
  };
  gps.set_plan_size(std::size(kCases));
  for (std::size_t i = 0; i < std::size(kCases); ++i) {
    gps.set_waypoint(i, "", kCases[i].lat, kCases[i].lon, 250.0);
  }
  ASSERT_TRUE(update());
  for (std::size_t i = 0; i < std::size(kCases); ++i) {
    SCOPED_TRACE(kCases[i].name);
    EXPECT_EQ(entry(i).TYPE, 0x800);
    EXPECT_EQ(name_bytes(entry(i)), padded(kCases[i].name));
  }
}

// Exact halves go away from zero in both hemispheres and on both axes, where
// printf's "%.0f" on glibc would round them to even (46.5 to 46, 0.5 to 0).
TEST_F(WaypointTableTest, CoordinateNamesRoundExactHalvesAwayFromZero) {
  struct Case {
    std::int32_t lat_whole;
    std::uint16_t lat_fraction;
    std::uint64_t lon_angle;
    float lat, lon;  // what the host values convert to, exactly
    const char* name;
  };
  constexpr std::uint64_t kWest122_5 = 185695297135502;  // -122.5 degrees
  constexpr std::uint64_t kEast0_5 = 390937467654;       // 0.5 degrees
  constexpr Case kCases[] = {
      {5167570, 49152, 0, 46.5f, 0.0f, "47N0E"},
      {-5167572, 49152, 0, -46.5f, 0.0f, "47S0E"},
      {55565, 18049, 0, 0.5f, 0.0f, "1N0E"},
      {0, 0, kWest122_5, 0.0f, -122.5f, "0N123W"},
      {0, 0, kEast0_5, 0.0f, 0.5f, "0N1E"},
      {5167570, 49152, kWest122_5, 46.5f, -122.5f, "47N123W"},
  };
  gps.set_plan_size(std::size(kCases));
  for (std::size_t i = 0; i < std::size(kCases); ++i) {
    gps.set_ident(i, "");
    gps.set_latitude_raw(i, kCases[i].lat_whole, kCases[i].lat_fraction);
    gps.set_longitude_raw(i, kCases[i].lon_angle);
    gps.set_altitude(i, 300.0);
  }
  ASSERT_TRUE(update());
  for (std::size_t i = 0; i < std::size(kCases); ++i) {
    SCOPED_TRACE(kCases[i].name);
    ASSERT_EQ(entry(i).LAT, kCases[i].lat) << "the row must hold an exact half";
    ASSERT_EQ(entry(i).LON, kCases[i].lon) << "the row must hold an exact half";
    EXPECT_EQ(name_bytes(entry(i)), padded(kCases[i].name));
  }
}

TEST_F(WaypointTableTest, LatitudeConvertsThroughFloat32AndFoldsAbove90) {
  struct Case {
    std::int32_t whole;
    std::uint16_t fraction;
    float lat;
  };
  constexpr Case kCases[] = {
      // The units are rounded to float32 before the scaling; done in double
      // throughout, these two would give 7.79285478 and 29.2275887.
      {866024, 19772, 0x1.f2be24p+2f},
      {3248078, 6328, 0x1.d3a432p+4f},
      {10001750, 0, 90.0f},                 // exactly 90 stays
      {10001751, 0, -0x1.67fffep+6f},       // the next float32 above 90, less 180
      {11113055, 36409, -0x1.3ffffep+6f},   // 100 degrees: -80 to float32 precision
      {-5167572, 49152, -46.5f},            // southern: the fraction still counts upwards
      {kInt32Max, 65535, 0x1.2b1fe2p+14f},  // absurd values pass through, 180 lower
      {kInt32Min, 0, -0x1.2defe2p+14f},
  };
  gps.set_plan_size(std::size(kCases));
  for (std::size_t i = 0; i < std::size(kCases); ++i) {
    gps.set_ident(i, "LAT");
    gps.set_latitude_raw(i, kCases[i].whole, kCases[i].fraction);
    gps.set_longitude(i, 20.0);
    gps.set_altitude(i, 150.0);
  }
  ASSERT_TRUE(update());
  for (std::size_t i = 0; i < std::size(kCases); ++i) {
    SCOPED_TRACE(::testing::Message() << "row " << i);
    EXPECT_EQ(entry(i).LAT, kCases[i].lat);
  }
  EXPECT_NEAR(entry(4).LAT, -80.0f, 1e-5);
}

TEST_F(WaypointTableTest, LongitudeConvertsThroughFloat32AndWrapsAbove180) {
  struct Case {
    std::uint64_t angle;  // 48-bit, 2^48 per turn
    float lon;
  };
  constexpr std::uint64_t kHalfTurn = 1ull << 47;
  constexpr Case kCases[] = {
      // The angle is rounded to float32 before the scaling; in double
      // throughout these would give -75.0888062 and 36.2356300.
      {222764911716874, -0x1.2c5af8p+6f},
      {28331732310585, 0x1.21e294p+5f},
      {kHalfTurn, 180.0f},                          // 180 stays: the range is (-180, 180]
      {kHalfTurn + (1ull << 25), -0x1.67fffap+7f},  // just past 180 goes west
      {156374987061476, -0x1.3ffffep+7f},           // 200 degrees: -160 to float32 precision
      {(1ull << 48) - 1, 0.0f},                     // rounds to a full turn, which is 0
      {0, 0.0f},
  };
  gps.set_plan_size(std::size(kCases));
  for (std::size_t i = 0; i < std::size(kCases); ++i) {
    gps.set_ident(i, "LON");
    gps.set_latitude(i, 10.0 + i);
    gps.set_longitude_raw(i, kCases[i].angle);
    gps.set_altitude(i, 150.0);
  }
  ASSERT_TRUE(update());
  for (std::size_t i = 0; i < std::size(kCases); ++i) {
    SCOPED_TRACE(::testing::Message() << "row " << i);
    EXPECT_EQ(entry(i).LON, kCases[i].lon);
  }
  EXPECT_NEAR(entry(4).LON, -160.0f, 2e-5);
}

TEST_F(WaypointTableTest, AltitudeTruncatesToWholeMetresThenWholeFeet) {
  struct Case {
    std::int32_t whole;  // metres, rounded down
    std::uint16_t fraction;
    float feet;
  };
  constexpr Case kCases[] = {
      {100, 58982, 328.0f},               // 100.9 m: 100 m is 328.08 ft
      {-101, 6554, -328.0f},              // -100.9 m: toward zero, not down
      {0, 65535, 0.0f},                   // just under 1 m
      {-1, 1, 0.0f},                      // just above -1 m truncates to 0 m
      {-1, 0, -3.0f},                     // -3.28 ft
      {6000000, 0, 19685040.0f},          // 19685039 ft, stored as the nearest float32
      {kInt32Max, 65535, 2147483648.0f},  // beyond int32 feet: saturates
      {kInt32Min, 0, -2147483648.0f},
  };
  gps.set_plan_size(std::size(kCases));
  for (std::size_t i = 0; i < std::size(kCases); ++i) {
    gps.set_ident(i, "ALT");
    gps.set_latitude(i, 30.0 + i);
    gps.set_longitude(i, 40.0);
    gps.set_altitude_raw(i, kCases[i].whole, kCases[i].fraction);
  }
  ASSERT_TRUE(update());
  for (std::size_t i = 0; i < std::size(kCases); ++i) {
    SCOPED_TRACE(::testing::Message() << "row " << i);
    EXPECT_EQ(entry(i).ELEV, kCases[i].feet);
  }
}

// A zeroed entry compares equal to a waypoint at 0N 0E and 0 ft; it must
// still be written the first time.
TEST_F(WaypointTableTest, WaypointAtZeroPlaceIsWrittenIntoAFreshEntry) {
  gps.set_plan_size(2);
  gps.set_waypoint(0, "", 0.0, 0.0, 0.0);
  gps.set_waypoint(1, "NULL", 0.0, 0.0, 0.5);
  ASSERT_TRUE(update());
  EXPECT_EQ(entry(0).TYPE, 0x800);
  EXPECT_EQ(name_bytes(entry(0)), padded("0N0E"));
  EXPECT_EQ(entry(1).TYPE, 0x1);
  EXPECT_EQ(name_bytes(entry(1)), padded("NULL"));

  // Once written, the entry is kept like any other.
  mark(0);
  ASSERT_TRUE(update());
  EXPECT_TRUE(marked(0));
}

TEST_F(WaypointTableTest, CountAndActiveLegFollowTheHostWithinTheTable) {
  struct Case {
    std::size_t waypoints;    // entries in the host's array
    std::int32_t host_count;  // what the host's count says
    std::int32_t host_active;
    std::int32_t waypoint_count;  // expected
    std::int32_t active_leg;      // expected
  };
  constexpr Case kCases[] = {
      {0, 0, 5, 0, 0},  // empty plan: no active leg whatever the host says
      {3, 3, 2, 3, 2},
      {3, 3, 3, 3, 0},  // an index past the plan falls back to 0
      {100, 100, 99, 100, 99},
      {120, 120, 110, 100, 0},  // capped; the active waypoint is beyond the table
      {120, 120, 99, 100, 99},
      {3, -5, 1, -5, 0},  // a negative count is kept; nothing is mirrored
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(::testing::Message()
                 << "host count " << c.host_count << ", active " << c.host_active);
    gps.set_plan_size(c.waypoints);
    gps.set_count(c.host_count);
    gps.set_active(c.host_active);
    for (std::size_t i = 0; i < c.waypoints; ++i) gps.set_waypoint(i, "WPT", 1.0, 1.0, 1.0 + i);
    EXPECT_TRUE(update());
    EXPECT_EQ(m.flight_plan.waypoint_count, c.waypoint_count);
    EXPECT_EQ(m.flight_plan.active_leg, c.active_leg);
  }
}

TEST_F(WaypointTableTest, OversizedPlanMirrorsItsFirstHundredWaypoints) {
  gps.set_plan_size(120);
  for (std::size_t i = 0; i < 120; ++i) {
    gps.set_waypoint(i, "W" + std::to_string(1000 + i), 0.5 * i, -0.5 * i, 10.0 * i);
  }
  ASSERT_TRUE(update());
  EXPECT_EQ(name_bytes(entry(0)), padded("W1000"));
  EXPECT_EQ(name_bytes(entry(99)), padded("W1099"));
  EXPECT_NEAR(entry(99).LAT, 49.5f, 1e-4);
  EXPECT_NEAR(entry(99).LON, -49.5f, 1e-4);
}

TEST_F(WaypointTableTest, UnchangedWaypointsAreNotRewritten) {
  gps.set_plan_size(3);
  gps.set_waypoint(0, "KSEA", 47.45, -122.31, 131.0);
  gps.set_waypoint(1, "", 47.6, -122.3, 200.0);
  gps.set_waypoint(2, "HIGH", 10.0, 10.0, 6000000.0);  // feet beyond float32's whole numbers
  gps.set_latitude_raw(1, 5290925, 1000);
  ASSERT_TRUE(update());
  for (int i = 0; i < 3; ++i) mark(i);

  // One fraction step of the latitude is below float32's resolution at this
  // size: the converted value, which is all that is compared, stays the same.
  gps.set_latitude_raw(1, 5290925, 1001);
  ASSERT_TRUE(update());
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(marked(i)) << "entry " << i << " was rewritten";
}

TEST_F(WaypointTableTest, MovedWaypointsAreRewritten) {
  gps.set_plan_size(4);
  gps.set_waypoint(0, "KSEA", 47.45, -122.31, 131.0);
  gps.set_waypoint(1, "SEA", 47.43, -122.30, 120.0);
  gps.set_waypoint(2, "ALPHA", 47.0, -121.0, 900.0);
  gps.set_waypoint(3, "", 46.0, -120.0, 1500.0);
  ASSERT_TRUE(update());
  for (int i = 0; i < 4; ++i) mark(i);

  gps.set_latitude(1, 47.5);     // latitude only
  gps.set_longitude(2, -121.5);  // longitude only
  gps.set_altitude(3, 1600.0);   // altitude only
  ASSERT_TRUE(update());

  EXPECT_TRUE(marked(0));
  EXPECT_EQ(name_bytes(entry(1)), padded("SEA"));
  EXPECT_NEAR(entry(1).LAT, 47.5f, 1e-4);
  EXPECT_EQ(name_bytes(entry(2)), padded("ALPHA"));
  EXPECT_NEAR(entry(2).LON, -121.5f, 1e-4);
  EXPECT_EQ(name_bytes(entry(3)), padded("46N120W"));
  EXPECT_EQ(entry(3).ELEV, 5249.0f);  // 1600 m
}

TEST_F(WaypointTableTest, WaypointAtTheSamePlaceKeepsItsOldNameAndType) {
  gps.set_plan_size(2);
  gps.set_waypoint(0, "KSEA", 47.45, -122.31, 131.0);
  gps.set_waypoint(1, "KPDX", 45.59, -122.6, 9.0);
  ASSERT_TRUE(update());

  // A new plan: a different waypoint at the same place at index 0.
  gps.set_plan_size(2);
  gps.set_waypoint(0, "SEATTLE", 47.45, -122.31, 131.0);
  gps.set_waypoint(1, "KBFI", 47.53, -122.30, 6.0);
  ASSERT_TRUE(update());

  EXPECT_EQ(name_bytes(entry(0)), padded("KSEA"));
  EXPECT_EQ(entry(0).TYPE, 0x1);
  EXPECT_EQ(name_bytes(entry(1)), padded("KBFI"));
}

TEST_F(WaypointTableTest, ShrunkPlanLeavesLaterEntriesForAGrowingOne) {
  gps.set_plan_size(3);
  gps.set_waypoint(0, "AAA", 1.0, 1.0, 10.0);
  gps.set_waypoint(1, "BBBB", 2.0, 2.0, 20.0);
  gps.set_waypoint(2, "CCCCC", 3.0, 3.0, 30.0);
  ASSERT_TRUE(update());
  const RoutePoint kept = entry(2);

  gps.set_plan_size(1);
  gps.set_waypoint(0, "AAA", 1.0, 1.0, 10.0);
  ASSERT_TRUE(update());
  EXPECT_EQ(m.flight_plan.waypoint_count, 1);
  EXPECT_EQ(std::memcmp(&entry(2), &kept, sizeof kept), 0);

  // Growing again compares with what the entries still hold.
  gps.set_plan_size(3);
  gps.set_waypoint(0, "AAA", 1.0, 1.0, 10.0);
  gps.set_waypoint(1, "XXXX", 2.0, 2.0, 20.0);   // same place as before
  gps.set_waypoint(2, "YYYYY", 3.5, 3.0, 30.0);  // moved
  ASSERT_TRUE(update());
  EXPECT_EQ(name_bytes(entry(1)), padded("BBBB"));
  EXPECT_EQ(name_bytes(entry(2)), padded("YYYYY"));
}

TEST_F(WaypointTableTest, BindsTheRecordByNameOnceAndReadsItLiveAfterwards) {
  gps.set_plan_size(1);
  gps.set_waypoint(0, "KSEA", 47.45, -122.31, 131.0);
  ASSERT_TRUE(update());
  ASSERT_EQ(host.calls().size(), 1u);
  EXPECT_EQ(host.calls()[0].kind, FakeHost::Call::Kind::initialize_var_by_name);
  EXPECT_EQ(host.calls()[0].what, "FS2002 GPS DATA");

  gps.set_ident(0, "KBFI");
  gps.set_latitude(0, 47.53);
  ASSERT_TRUE(update());
  EXPECT_EQ(host.calls().size(), 1u) << "a bound record is not looked up again";
  EXPECT_EQ(name_bytes(entry(0)), padded("KBFI"));
}

TEST_F(WaypointTableTest, UnboundVariableChangesNothingAndIsTriedAgain) {
  FakeHost no_gps;
  Module module{no_gps, sockets, clock};
  module.flight_plan.waypoint_count = 7;
  module.flight_plan.active_leg = 3;
  std::memcpy(module.flight_plan.waypoint_table[0].NAME, "marker!", 8);

  EXPECT_FALSE(update_waypoint_table(module));
  EXPECT_FALSE(update_waypoint_table(module));
  EXPECT_EQ(no_gps.calls().size(), 2u) << "each report tries the binding again";
  EXPECT_EQ(module.flight_plan.gps_data, nullptr);
  EXPECT_EQ(module.flight_plan.waypoint_count, 7);
  EXPECT_EQ(module.flight_plan.active_leg, 3);
  EXPECT_EQ(name_bytes(module.flight_plan.waypoint_table[0]), padded("marker!"));

  gps.set_plan_size(1);
  gps.set_waypoint(0, "KSEA", 47.45, -122.31, 131.0);
  no_gps.set_named_record("FS2002 GPS DATA", gps.data());
  EXPECT_TRUE(update_waypoint_table(module));
  EXPECT_EQ(no_gps.calls().size(), 3u);
  EXPECT_EQ(module.flight_plan.waypoint_count, 1);
  EXPECT_EQ(name_bytes(module.flight_plan.waypoint_table[0]), padded("KSEA"));
}

TEST_F(WaypointTableTest, RecordWithoutWaypointArrayChangesNothing) {
  gps.set_plan_size(2);
  gps.remove_array();
  m.flight_plan.waypoint_count = 7;
  m.flight_plan.active_leg = 3;
  EXPECT_FALSE(update());
  EXPECT_FALSE(update());
  EXPECT_EQ(host.calls().size(), 1u) << "the record itself stays bound";
  EXPECT_EQ(m.flight_plan.waypoint_count, 7);
  EXPECT_EQ(m.flight_plan.active_leg, 3);
}

TEST_F(WaypointTableTest, RecordForgottenAtTeardownIsBoundAgain) {
  gps.set_plan_size(1);
  gps.set_waypoint(0, "KSEA", 47.45, -122.31, 131.0);
  ASSERT_TRUE(update());

  // What the gauge teardown does; the host may hand out a different record
  // when the gauge comes back.
  m.flight_plan.gps_data = nullptr;
  GpsRecord moved;
  moved.set_plan_size(2);
  moved.set_waypoint(0, "KSEA", 47.45, -122.31, 131.0);
  moved.set_waypoint(1, "KPDX", 45.59, -122.6, 9.0);
  host.set_named_record("FS2002 GPS DATA", moved.data());

  ASSERT_TRUE(update());
  EXPECT_EQ(host.calls().size(), 2u);
  EXPECT_EQ(m.flight_plan.gps_data, moved.data());
  EXPECT_EQ(m.flight_plan.waypoint_count, 2);
  EXPECT_EQ(name_bytes(entry(1)), padded("KPDX"));
}

}  // namespace
}  // namespace orbitune
