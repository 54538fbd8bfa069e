// report_position over the fake host. The network operations it calls are
// recording doubles defined here, so the linker takes them instead of the
// network code: the tests see every datagram handed to the send paths and the
// exact order of host calls, socket set-up and sends.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "gauge/module.h"
#include "position/position_packet.h"
#include "position/position_sampler.h"
#include "tests/support/call_log.h"
#include "tests/support/fake_host.h"
#include "tests/support/fake_platform.h"

namespace orbitune {
namespace {

struct NetworkDoubles {
  testing::CallLog* log = nullptr;
  std::vector<std::vector<std::uint8_t>> unicast, multicast;
  std::int32_t bind_result = 0;
};
NetworkDoubles* doubles = nullptr;

std::vector<std::uint8_t> position_bytes(const std::uint8_t* message) {
  return std::vector<std::uint8_t>(message, message + kPositionPacketBytes);
}

}  // namespace

std::int32_t open_udp_socket(Module& m) {
  doubles->log->add("open_udp_socket");
  m.network.udp_socket = 9;
  return 0;
}
std::int32_t bind_receiver(Module&) {
  doubles->log->add("bind_receiver");
  return doubles->bind_result;
}
std::int32_t send_unicast(Module&, const std::uint8_t* message) {
  doubles->log->add("send_unicast");
  doubles->unicast.push_back(position_bytes(message));
  return 0;
}
std::int32_t send_multicast(Module&, const std::uint8_t* message) {
  doubles->log->add("send_multicast");
  doubles->multicast.push_back(position_bytes(message));
  return 0;
}

namespace {

using testing::CallLog;
using testing::FakeClock;
using testing::FakeHost;
using testing::FakeSockets;

constexpr std::uint32_t kExpectedTokens[46] = {
    0x41,  0x47, 0x4A, 0x48, 0x4E,  0x50,  0x56,  0x52,  0x6A,  0x67,  0x6B, 0x6C,
    0x6D,  0x6F, 0x70, 0x7B, 0x73,  0x75,  0x74,  0x76,  0x69,  0x318, 0x77, 0x78,
    0x2D,  0,    0x36, 0,    0x143, 0x145, 0x148, 0x14B, 0x155, 0x315, 0x40, 0x157,
    0x158, 0x18, 0x1B, 0x17, 0x366, 0x269, 0x367, 0x368, 0x369, 0x26};

enum Kind { kF64 = 0, kI32 = 1, kText = 2 };  // FakeHost::Call::result_kind

struct Expression {
  const char* text;
  Kind kind;
};

// The expressions in evaluation order, each with the one result it asks for.
constexpr Expression kExpressions[28] = {
    {"(A:ATC ID,string)", kText},
    {"(A:ATC MODEL,string)", kText},
    {"(A:ATC FLIGHT NUMBER,string)", kText},
    {"(A:GROUND VELOCITY,knots)", kF64},
    {"(A:AIRSPEED INDICATED,knots)", kF64},
    {"(A:AIRSPEED TRUE,knots)", kF64},
    {"(A:KOHLSMAN SETTING HG, inHg)", kF64},
    {"(A:GPS DRIVES NAV1,Bool)", kI32},
    {"(A:ADF ACTIVE FREQUENCY:1, KHz)", kF64},
    {"(A:ADF ACTIVE FREQUENCY:2, KHz)", kF64},
    {"(A:DESIGN SPEED VS0, Knots)", kF64},
    {"(A:DESIGN SPEED VS1, Knots)", kF64},
    {"(A:DESIGN SPEED VC, Knots)", kF64},
    {"(A:AIRSPEED BARBER POLE, Knots)", kF64},
    {"(A:MACH MAX OPERATE, Mach)", kF64},
    {"(E:ZULU TIME,Seconds)", kI32},
    {"(E:LOCAL TIME,Seconds)", kI32},
    {"(A:FUEL TOTAL CAPACITY,Gallons)", kF64},
    {"(A:FUEL TOTAL QUANTITY WEIGHT,Pounds)", kF64},
    {"(A:TOTAL WEIGHT,Pounds)", kF64},
    {"(A:EMPTY WEIGHT,Pounds)", kF64},
    {"(A:AUTOPILOT FLIGHT DIRECTOR PITCH,Radians)", kF64},
    {"(A:AUTOPILOT FLIGHT DIRECTOR BANK,Radians)", kF64},
    {"(A:PLANE ALTITUDE,Feet)", kF64},
    {"(A:PLANE ALT ABOVE GROUND,Feet)", kF64},
    {"(A:AMBIENT DENSITY,Slugs per cubic feet)", kF64},
    {"(A:SIGMA SQRT,Number)", kF64},
    {"(A:BAROMETER PRESSURE,Milibars)", kF64},
};

const char* const kGpsDrivesNav1 = "(A:GPS DRIVES NAV1,Bool)";

float f32(double v) {
  return static_cast<float>(v);
}
std::uint32_t bits(float v) {
  return std::bit_cast<std::uint32_t>(v);
}

class PositionSamplerTest : public ::testing::Test {
 protected:
  PositionSamplerTest() {
    net.log = &log;
    doubles = &net;
    m.network.udp_socket = 5;  // set up by the network step
    fly_typical_aircraft();
  }
  ~PositionSamplerTest() override { doubles = nullptr; }

  // A light aircraft in cruise, every value distinct so that a value read
  // from the wrong variable or expression shows.
  void fly_typical_aircraft() {
    host.set_var(0x41, 1300.0);             // vertical speed
    host.set_var(0x47, 5000875.0);          // latitude: 45 degrees
    host.set_var(0x4A, 4921.25985);         // altitude, feet
    host.set_var(0x48, -35184372088832.0);  // longitude: -2^45, -45 degrees
    host.set_var(0x4E, 2.5);                // pitch
    host.set_var(0x50, -10.0);              // bank
    host.set_var(0x56, 270.5);              // heading
    host.set_var(0x52, 3.0);                // magnetic variation
    host.set_var(0x6A, 1.0);                // heading hold on
    host.set_var(0x67, 0.0);                // autopilot not engaged
    host.set_var(0x6B, 180.25);             // autopilot heading
    host.set_var(0x6C, 0.0);                // altitude hold off
    host.set_var(0x6D, 8500.0);             // autopilot altitude
    host.set_var(0x6F, 1.0);                // glide slope hold on
    host.set_var(0x70, 0.0);                // localizer hold off
    host.set_var(0x7B, 1.0);                // speed control armed
    host.set_var(0x73, 1.0);                // airspeed hold engaged
    host.set_var(0x75, 0.0);                // Mach hold off
    host.set_var(0x74, 105.5);              // airspeed hold setting
    host.set_var(0x76, 0.31);               // Mach hold setting
    host.set_var(0x69, 1.0);                // lateral navigation on
    host.set_var(0x318, 1.0);               // flight director on
    host.set_var(0x77, 0.0);                // vertical speed hold off
    host.set_var(0x78, -500.0);             // autopilot vertical speed
    host.set_var(0x2D, 123.0);              // NAV1 course
    host.set_var(0x36, 321.5);              // NAV2 course
    host.set_var(0x143, 1.0);               // parking brake set
    host.set_var(0x145, 0.0);               // speed brake stowed
    host.set_var(0x148, 4000.0);            // flaps: a quarter
    host.set_var(0x14B, 1.0);               // gear down
    host.set_var(0x155, -12.5);             // outside temperature
    host.set_var(0x315, 0.1);               // angle of attack, radians
    host.set_var(0x40, 6200.0);             // Mach 0.31
    host.set_var(0x157, 12.5);              // wind speed
    host.set_var(0x158, 93.0);              // wind direction
    host.set_var_i32(0x18, 0x1130);         // NAV1 111.30
    host.set_var_i32(0x1B, 0x1395);         // NAV2 113.95
    host.set_var_i32(0x17, 0x1850);         // COM1 118.50
    host.set_var_i32(0x366, 0x2175);        // COM2 121.75
    host.set_var_i32(0x269, 0x2210);        // COM1 standby 122.10
    host.set_var_i32(0x367, 0x3300);        // COM2 standby 133.00
    host.set_var_i32(0x368, 0x0800);        // NAV1 standby 108.00
    host.set_var_i32(0x369, 0x1770);        // NAV2 standby 117.70
    host.set_var_i32(0x26, 0x4521);         // squawk 4521

    host.set_expression_text("(A:ATC ID,string)", "N172SP");
    host.set_expression_text("(A:ATC MODEL,string)", "C172");
    host.set_expression_text("(A:ATC FLIGHT NUMBER,string)", "OT101");
    host.set_expression("(A:GROUND VELOCITY,knots)", 100.0);
    host.set_expression("(A:AIRSPEED INDICATED,knots)", 110.0);
    host.set_expression("(A:AIRSPEED TRUE,knots)", 120.0);
    host.set_expression("(A:KOHLSMAN SETTING HG, inHg)", 29.92);
    host.set_expression_i32(kGpsDrivesNav1, 0);
    host.set_expression("(A:ADF ACTIVE FREQUENCY:1, KHz)", 353.9);
    host.set_expression("(A:ADF ACTIVE FREQUENCY:2, KHz)", 190.0);
    host.set_expression("(A:DESIGN SPEED VS0, Knots)", 40.0);
    host.set_expression("(A:DESIGN SPEED VS1, Knots)", 48.0);
    host.set_expression("(A:DESIGN SPEED VC, Knots)", 124.0);
    host.set_expression("(A:AIRSPEED BARBER POLE, Knots)", 163.0);
    host.set_expression("(A:MACH MAX OPERATE, Mach)", 0.35);
    host.set_expression_i32("(E:ZULU TIME,Seconds)", 43200);
    host.set_expression_i32("(E:LOCAL TIME,Seconds)", 50401);
    host.set_expression("(A:FUEL TOTAL CAPACITY,Gallons)", 56.0);
    host.set_expression("(A:FUEL TOTAL QUANTITY WEIGHT,Pounds)", 200.0);
    host.set_expression("(A:TOTAL WEIGHT,Pounds)", 2400.5);
    host.set_expression("(A:EMPTY WEIGHT,Pounds)", 1600.25);
    host.set_expression("(A:AUTOPILOT FLIGHT DIRECTOR PITCH,Radians)", 0.1);
    host.set_expression("(A:AUTOPILOT FLIGHT DIRECTOR BANK,Radians)", -0.05);
    host.set_expression("(A:PLANE ALTITUDE,Feet)", 5000.0);
    host.set_expression("(A:PLANE ALT ABOVE GROUND,Feet)", 1000.0);
    host.set_expression("(A:AMBIENT DENSITY,Slugs per cubic feet)", 0.0023769);
    host.set_expression("(A:SIGMA SQRT,Number)", 0.9);
    host.set_expression("(A:BAROMETER PRESSURE,Milibars)", 1013.25);
  }

  // One call; the packet handed to the unicast path, decoded.
  PositionPacket report() {
    report_position(m);
    EXPECT_FALSE(net.unicast.empty());
    return decode_position_packet(net.unicast.back().data());
  }

  CallLog log;
  NetworkDoubles net;
  FakeHost host{&log};
  FakeSockets sockets;
  FakeClock clock;
  Module m{host, sockets, clock};
};

TEST_F(PositionSamplerTest, RefreshesAllVariablesBeforeEvaluatingAnything) {
  report_position(m);
  const auto& calls = host.calls();
  ASSERT_EQ(calls.size(), 46u + 28u);
  for (std::size_t i = 0; i < 46; ++i) {
    EXPECT_EQ(calls[i].kind, FakeHost::Call::Kind::lookup_var) << "call " << i;
    EXPECT_EQ(calls[i].token, kExpectedTokens[i]) << "call " << i;
  }
  for (std::size_t i = 0; i < 28; ++i) {
    const FakeHost::Call& c = calls[46 + i];
    EXPECT_EQ(c.kind, FakeHost::Call::Kind::execute) << "expression " << i + 1;
    EXPECT_EQ(c.what, kExpressions[i].text) << "expression " << i + 1;
    EXPECT_EQ(c.result_kind, kExpressions[i].kind) << kExpressions[i].text;
  }
  // The records refreshed are the module's own, in PositionState order.
  for (int i = 0; i < kSampledVarCount; ++i)
    EXPECT_EQ(m.position.vars[i].token, kExpectedTokens[i]);
}

TEST_F(PositionSamplerTest, ReportsEveryFieldFromItsOwnSource) {
  const PositionPacket p = report();
  EXPECT_EQ(p.message_id, 1);
  EXPECT_EQ(p.version, 0x10020310);
  EXPECT_EQ(std::string(p.Tailno, 8), std::string("N172SP\0\0", 8));
  EXPECT_EQ(std::string(p.ICAO, 8), std::string("C172\0\0\0\0", 8));
  EXPECT_EQ(std::string(p.CallSign, 8), std::string("OT101\0\0\0", 8));
  EXPECT_EQ(std::string(p.Source, 16), std::string("FS9") + std::string(13, '\0'));
  EXPECT_EQ(p.LandingG, 1);
  EXPECT_EQ(p.PBreak, 1.0f);
  EXPECT_EQ(p.Flaps, 0.25f);
  EXPECT_EQ(p.SBreak, 0.0f);

  EXPECT_EQ(p.lat, 45.0);
  EXPECT_EQ(p.lon, -45.0);
  EXPECT_EQ(p.elev, 4921.25985 / 3.2808399);
  EXPECT_EQ(p.theta, -2.5f);
  EXPECT_EQ(p.phi, 10.0f);
  EXPECT_EQ(p.psi, 270.5f);
  EXPECT_EQ(p.free, 0.0f);
  EXPECT_EQ(p.mvar, -3.0f);
  EXPECT_EQ(p.alpha, f32(0.1 * 57.3));
  EXPECT_EQ(p.beta, 0.0f);
  EXPECT_EQ(p.gs, f32(100.0 * 0.514));
  EXPECT_EQ(p.ias, 110.0f);
  EXPECT_EQ(p.mach, f32(6200.0 * 0.00005));
  EXPECT_EQ(p.tas, f32(120.0 * 0.514));
  EXPECT_EQ(p.alti, 29.92f);
  EXPECT_EQ(p.vvifpm, 1000.0f);
  EXPECT_EQ(p.wspeed, 12.5f);
  EXPECT_EQ(p.wdir, 90.0f);  // -3 + 93
  EXPECT_EQ(p.otemp, -12.5f);

  EXPECT_EQ(p.altdial, 8500.0f);
  EXPECT_EQ(p.holddial, 8500.0f);
  EXPECT_EQ(p.vnavdial, 0.0f);
  EXPECT_EQ(p.speeddial, 105.5f);  // airspeed hold engaged
  EXPECT_EQ(p.hdgdial, 180.25f);
  EXPECT_EQ(p.vspeeddial, -500.0f);
  EXPECT_EQ(p.fdmode, 1);
  EXPECT_EQ(p.speedismach, 0);
  EXPECT_EQ(p.speedst, 2);
  EXPECT_EQ(p.lnavst, 2);
  EXPECT_EQ(p.vnavst, 0);
  EXPECT_EQ(p.hdgst, 2);
  EXPECT_EQ(p.locst, 0);
  EXPECT_EQ(p.altst, 0);
  EXPECT_EQ(p.vsst, 0);
  EXPECT_EQ(p.gsst, 2);
  EXPECT_EQ(p.obs1p, 123.0f);
  EXPECT_EQ(p.lcst, 0);
  EXPECT_EQ(p.obs2p, 321.5f);
  EXPECT_EQ(p.n1status, 0);
  EXPECT_EQ(p.apsource, 0);

  for (std::int32_t pwr :
       {p.nav1pwr, p.nav2pwr, p.com1pwr, p.com2pwr, p.adf1pwr, p.adf2pwr, p.dmepwr, p.gpspwr}) {
    EXPECT_EQ(pwr, 1);
  }
  EXPECT_EQ(p.nav1freq, 11130);
  EXPECT_EQ(p.nav2freq, 11395);
  EXPECT_EQ(p.com1freq, 11850);
  EXPECT_EQ(p.com2freq, 12175);
  EXPECT_EQ(p.adf1freq, 353);
  EXPECT_EQ(p.adf2freq, 190);
  EXPECT_EQ(p.dmefreq, 0);
  EXPECT_EQ(p.nav1sfreq, 10800);
  EXPECT_EQ(p.nav2sfreq, 11770);
  EXPECT_EQ(p.com1sfreq, 12210);
  EXPECT_EQ(p.com2sfreq, 13300);
  EXPECT_EQ(p.dmesfreq, 0);
  EXPECT_EQ(p.xpderc, 4521);
  EXPECT_EQ(p.xpdersqk, 0);

  EXPECT_EQ(p.acf_set, 0xFFFFFFFFu);
  EXPECT_EQ(p.pos_set, 0xFFFFFFFFu);
  EXPECT_EQ(p.ap_set, 0xFFFFFFFFu);
  EXPECT_EQ(p.rad_set, 0xFFFFFFFFu);
  EXPECT_EQ(p.reserved1, 0);
  EXPECT_EQ(p.reserved2, 0);

  EXPECT_EQ(p.vso, 40.0f);
  EXPECT_EQ(p.vs, 48.0f);
  EXPECT_EQ(p.vfe, 124.0f);
  EXPECT_EQ(p.vno, 0.0f);
  EXPECT_EQ(p.vne, 163.0f);
  EXPECT_EQ(p.mmo, 0.35f);
  EXPECT_EQ(p.zulusecs, 43200.0f);
  EXPECT_EQ(p.localsecs, 50401.0f);
  EXPECT_EQ(p.maxfuel, f32(56.0 * 6.84));
  EXPECT_EQ(p.totfuel, f32(200.0 * 0.45359));
  EXPECT_EQ(p.totalweight, 2400.5f);
  EXPECT_EQ(p.payloadweight, 800.25f);
  EXPECT_EQ(p.fdpitch, f32(-0.1 * 57.29578));
  EXPECT_EQ(p.fdroll, f32(0.05 * 57.29578));
  EXPECT_EQ(p.msl, f32(5000.0 * 0.3048));
  EXPECT_EQ(p.agl, f32(1000.0 * 0.3048));
  EXPECT_EQ(p.rho, f32(0.0023769 * 515.3788));
  EXPECT_EQ(p.sigma, f32(0.9 * 0.9));
  EXPECT_EQ(p.speed_sound_ms, 0.0f);
  EXPECT_EQ(p.ihg, f32(1013.25 / 33.86));
}

TEST_F(PositionSamplerTest, WireImageBeginsWithHeaderAndCarriesAllSetWords) {
  host.set_expression_text("(A:ATC ID,string)", "ABCDEFGHI");  // nine characters
  report_position(m);
  ASSERT_EQ(net.unicast.size(), 1u);
  const std::vector<std::uint8_t>& bytes = net.unicast[0];
  ASSERT_EQ(bytes.size(), 460u);
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 8),
            (std::vector<std::uint8_t>{0x01, 0x00, 0x00, 0x00, 0x10, 0x03, 0x02, 0x10}));
  EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "ABCDEFGH");  // no terminator
  EXPECT_EQ(bytes[16], 'C');  // ICAO follows at once
  for (std::size_t i = 356; i < 372; ++i) EXPECT_EQ(bytes[i], 0xFF) << i;
  for (std::size_t i = 372; i < 380; ++i) EXPECT_EQ(bytes[i], 0x00) << i;
}

// --- Values the host hands over, and what the packet makes of them ---------

struct ScalarCase {
  double host_value;
  double expected;  // compared in the field's own type
};

constexpr ScalarCase kFlapsCases[] = {
    {8000.0, 0.5},   // half
    {24000.0, 1.0},  // beyond full: limited
    {16000.0, 1.0},  // exactly full
    {-50.0, 0.0},    // below retracted: limited
    {0.0, 0.0},      // retracted
};

TEST_F(PositionSamplerTest, FlapsAreAFractionWithinZeroAndOne) {
  for (const ScalarCase& c : kFlapsCases) {
    host.set_var(0x148, c.host_value);
    EXPECT_EQ(report().Flaps, f32(c.expected)) << c.host_value;
  }
}

constexpr ScalarCase kLatitudeCases[] = {
    {10001750.0, 90.0},    // exactly the pole
    {12000000.0, 90.0},    // beyond: limited
    {-30000000.0, -90.0},  // far beyond south: limited
    {-5000875.0, -45.0},   // in range, south
};

TEST_F(PositionSamplerTest, LatitudeIsLimitedToThePoles) {
  for (const ScalarCase& c : kLatitudeCases) {
    host.set_var(0x47, c.host_value);
    EXPECT_EQ(report().lat, c.expected) << c.host_value;
  }
}

constexpr double kTwo44 = 17592186044416.0;
constexpr double kTwo46 = 70368744177664.0;
constexpr double kTwo47 = 140737488355328.0;

constexpr ScalarCase kLongitudeCases[] = {
    {kTwo46, 90.0},                // a quarter circle
    {kTwo47, 180.0},               // half: the date line
    {kTwo47 + kTwo44, 180.0},      // beyond: limited
    {-(kTwo47 + kTwo44), -180.0},  // beyond, west: limited
};

TEST_F(PositionSamplerTest, LongitudeIsLimitedToTheDateLine) {
  for (const ScalarCase& c : kLongitudeCases) {
    host.set_var(0x48, c.host_value);
    EXPECT_EQ(report().lon, c.expected) << c.host_value;
  }
}

constexpr ScalarCase kAlphaCases[] = {
    {4.0, 180.0},       // 229.2 degrees: limited
    {-4.0, -180.0},     // limited below
    {3.1, 3.1 * 57.3},  // 177.63: in range, 57.3 degrees per radian
};

TEST_F(PositionSamplerTest, AngleOfAttackIsLimited) {
  for (const ScalarCase& c : kAlphaCases) {
    host.set_var(0x315, c.host_value);
    EXPECT_EQ(report().alpha, f32(c.expected)) << c.host_value;
  }
}

// --- Wind direction ---------------------------------------------------------

// The add/subtract loops of the wind direction, each step stored in float,
// with a step limit; more than 1000000 steps when they would not end within it.
float wind_loops(float wdir, int* steps) {
  *steps = 0;
  while (wdir < 0.0f) {
    if (++*steps > 1000000) return wdir;
    wdir = f32(static_cast<double>(wdir) + 360.0);
  }
  while (wdir >= 360.0f) {
    if (++*steps > 1000000) return wdir;
    wdir = f32(static_cast<double>(wdir) - 360.0);
  }
  return wdir;
}

struct WindCase {
  double magnetic_variation;  // host value; mvar is its negation
  double wind_direction;      // host value
  float expected;
};

constexpr float kInfF = std::numeric_limits<float>::infinity();

constexpr WindCase kWindCases[] = {
    {10.0, 5.0, 355.0f},     // below zero: one turn added
    {0.0, 725.0, 5.0f},      // two turns taken off
    {0.0, 360.0, 0.0f},      // exactly one turn
    {0.0, -720.0, 0.0f},     // whole negative turns end at +0
    {0.0, 359.5, 359.5f},    // already in range
    {-1e-10, -2e-10, 0.0f},  // tiny negative: +360 rounds to 360 in float, then 0
    {0.0, kInfF, kInfF},     // would never end: sent as it is
    {0.0, -kInfF, -kInfF},   // likewise
};

TEST_F(PositionSamplerTest, WindDirectionIsWithinOneTurn) {
  for (const WindCase& c : kWindCases) {
    host.set_var(0x52, c.magnetic_variation);
    host.set_var(0x158, c.wind_direction);
    EXPECT_EQ(bits(report().wdir), bits(c.expected))
        << c.magnetic_variation << " " << c.wind_direction;
  }
}

TEST_F(PositionSamplerTest, HugeWindDirectionsEndInOneStep) {
  // 1e30 and 2^40 would hang the loops: 360 no longer changes the float.
  for (double wind : {1e30, -1e30, 1099511627776.0, 3.4e38}) {
    host.set_var(0x52, 0.0);
    host.set_var(0x158, wind);
    const float wdir = report().wdir;
    EXPECT_GE(wdir, 0.0f) << wind;
    EXPECT_LT(wdir, 360.0f) << wind;
    double reduced = std::fmod(static_cast<double>(f32(wind)), 360.0);
    if (reduced < 0.0) reduced += 360.0;
    EXPECT_EQ(wdir, f32(reduced)) << wind;
  }
  host.set_var(0x158, std::numeric_limits<double>::quiet_NaN());
  EXPECT_TRUE(std::isnan(report().wdir));
}

TEST_F(PositionSamplerTest, WindDirectionMatchesTheLoopsWhereverTheyEnd) {
  // Values real and absurd, on and near whole turns; bit-equal to the loops.
  std::vector<double> winds = {-1e-30,      -0.0,        1e-30,      -359.99997,
                               359.99997,   719.99994,   -720.00006, 16777216.0,
                               -16777217.0, 100000000.0, -99999999.0};
  std::uint32_t x = 12345u;
  for (int i = 0; i < 3000; ++i) {
    x = x * 1664525u + 1013904223u;
    const double span = (i % 3 == 0) ? 1e3 : (i % 3 == 1) ? 1e6 : 1e7;
    winds.push_back((static_cast<double>(x) / 4294967296.0 - 0.5) * 2.0 * span);
  }
  host.set_var(0x52, 0.0);
  for (double wind : winds) {
    host.set_var(0x158, wind);
    int steps = 0;
    // mvar is -0.0 here, so the sum is the wind itself, rounded to float.
    const float expected = wind_loops(f32(-0.0 + wind), &steps);
    ASSERT_LE(steps, 1000000) << wind;
    ASSERT_EQ(bits(report().wdir), bits(expected)) << wind;
    host.clear_calls();
  }
}

// --- Autopilot modes ----------------------------------------------------------

struct SpeedHoldCase {
  double airspeed_hold;  // token 0x73, A
  double mach_hold;      // token 0x75, B
  double arm;            // token 0x7B
  std::int32_t speedismach;
  float speeddial;
  std::int32_t speedst;
  std::int32_t lsim_after;
  float lspeedial_after;
};

// Host settings: airspeed hold 105.5, Mach hold 0.31; remembered before the
// call: lsim 0, lspeedial 250.0 (a peer's).
constexpr SpeedHoldCase kSpeedHoldCases[] = {
    {1.0, 1.0, 1.0, 1, 0.31f, 2, 1, 0.31f},    // both: Mach wins
    {1.0, 0.0, 1.0, 0, 105.5f, 2, 0, 105.5f},  // airspeed only
    {0.0, 1.0, 1.0, 1, 0.31f, 2, 1, 0.31f},    // Mach only
    {0.0, 0.0, 1.0, 0, 250.0f, 1, 0, 250.0f},  // neither: remembered, armed
    {0.5, 0.0, 1.0, 0, 250.0f, 2, 0, 250.0f},  // not 1.0: no hold read, but holding
    {0.0, 2.0, 1.0, 0, 250.0f, 2, 0, 250.0f},  // likewise for Mach
    {1.0, 0.0, 0.0, 0, 105.5f, 0, 0, 105.5f},  // not armed: speedst 0 even holding
    {0.0, 0.0, 0.0, 0, 250.0f, 0, 0, 250.0f},  // nothing at all
};

TEST_F(PositionSamplerTest, SpeedHoldReportsAndRemembersTheHostsSetting) {
  for (const SpeedHoldCase& c : kSpeedHoldCases) {
    m.remote_settings.lsim = 0;
    m.remote_settings.lspeedial = 250.0f;
    host.set_var(0x73, c.airspeed_hold);
    host.set_var(0x75, c.mach_hold);
    host.set_var(0x7B, c.arm);
    const PositionPacket p = report();
    const std::string label = std::to_string(c.airspeed_hold) + "/" + std::to_string(c.mach_hold) +
                              "/" + std::to_string(c.arm);
    EXPECT_EQ(p.speedismach, c.speedismach) << label;
    EXPECT_EQ(p.speeddial, c.speeddial) << label;
    EXPECT_EQ(p.speedst, c.speedst) << label;
    EXPECT_EQ(m.remote_settings.lsim, c.lsim_after) << label;
    EXPECT_EQ(m.remote_settings.lspeedial, c.lspeedial_after) << label;
  }
}

TEST_F(PositionSamplerTest, ReleasedHoldKeepsReportingItsLastSetting) {
  host.set_var(0x73, 0.0);
  host.set_var(0x75, 1.0);
  report();  // Mach hold engaged at 0.31
  host.set_var(0x75, 0.0);
  host.set_var(0x76, 0.5);  // the host's setting moves, but no hold is engaged
  const PositionPacket p = report();
  EXPECT_EQ(p.speedismach, 1);
  EXPECT_EQ(p.speeddial, 0.31f);
}

struct FdModeCase {
  double autopilot_engaged;  // token 0x67
  double flight_director;    // token 0x318
  std::int32_t fdmode;
};

constexpr FdModeCase kFdModeCases[] = {
    {1.0, 0.0, 2},   // autopilot engaged
    {1.0, 1.0, 2},   // engaged, whatever the director
    {0.0, 1.0, 1},   // director only
    {0.0, 0.0, 0},   // neither
    {2.0, 0.0, 0},   // engaged flag must equal 1.0
    {0.5, -1.0, 1},  // any non-zero director flag
};

TEST_F(PositionSamplerTest, FlightDirectorMode) {
  for (const FdModeCase& c : kFdModeCases) {
    host.set_var(0x67, c.autopilot_engaged);
    host.set_var(0x318, c.flight_director);
    EXPECT_EQ(report().fdmode, c.fdmode) << c.autopilot_engaged << " " << c.flight_director;
  }
}

TEST_F(PositionSamplerTest, StatusWordsOfTokenZeroRecords) {
  // The host fills both token-0 records alike here; any non-zero value is 2.
  host.set_var(0, 3.0);
  PositionPacket p = report();
  EXPECT_EQ(p.lcst, 2);
  EXPECT_EQ(p.n1status, 2);
  host.set_var(0, 0.0);
  p = report();
  EXPECT_EQ(p.lcst, 0);
  EXPECT_EQ(p.n1status, 0);
}

struct ApSourceCase {
  std::int32_t gps_drives_nav1;  // expression result
  std::int32_t remembered;       // RemoteSettings::apsource
  std::int32_t apsource;
};

constexpr ApSourceCase kApSourceCases[] = {
    {1, 0, 2},  // GPS drives NAV1
    {0, 3, 3},  // a peer's value
    {0, 2, 2},  // a peer's 2 even while GPS does not drive NAV1
    {2, 1, 1},  // only a result of exactly 1 means GPS
};

TEST_F(PositionSamplerTest, NavigationSource) {
  for (const ApSourceCase& c : kApSourceCases) {
    host.set_expression_i32(kGpsDrivesNav1, c.gps_drives_nav1);
    m.remote_settings.apsource = c.remembered;
    EXPECT_EQ(report().apsource, c.apsource) << c.gps_drives_nav1 << " " << c.remembered;
  }
}

// --- Radios ----------------------------------------------------------------

TEST_F(PositionSamplerTest, TransponderCodeDigits) {
  constexpr struct {
    std::int32_t bcd;
    std::int32_t xpderc;
  } kCases[] = {
      {0x7700, 7700},  // emergency
      {0x12A4, 12},    // a non-digit nibble ends the number
      {0x0021, 21},    // leading zeros
  };
  for (const auto& c : kCases) {
    host.set_var_i32(0x26, c.bcd);
    EXPECT_EQ(report().xpderc, c.xpderc) << c.bcd;
  }
}

TEST_F(PositionSamplerTest, AdfFrequenciesTruncateAndSaturate) {
  constexpr struct {
    double khz;
    std::int32_t adf;
  } kCases[] = {
      {353.9, 353},        // truncated, not rounded
      {-0.5, 0},           // toward zero
      {1e12, 2147483647},  // beyond int32: saturated
      {-1e12, -2147483647 - 1},
      {std::numeric_limits<double>::quiet_NaN(), 0},
  };
  for (const auto& c : kCases) {
    host.set_expression("(A:ADF ACTIVE FREQUENCY:1, KHz)", c.khz);
    host.set_expression("(A:ADF ACTIVE FREQUENCY:2, KHz)", c.khz);
    const PositionPacket p = report();
    EXPECT_EQ(p.adf1freq, c.adf) << c.khz;
    EXPECT_EQ(p.adf2freq, c.adf) << c.khz;
  }
}

// --- What peers set, reported back ----------------------------------------

TEST_F(PositionSamplerTest, RemoteSettingsDefaultsAreReported) {
  host.set_var(0x73, 0.0);
  host.set_var(0x75, 0.0);
  const PositionPacket p = report();
  EXPECT_EQ(p.mfdshow, 572);
  EXPECT_EQ(p.mfdrange, 40.0f);
  EXPECT_EQ(p.adf1sfreq, 353);
  EXPECT_EQ(p.adf2sfreq, 353);
  EXPECT_EQ(p.xpdermode, 1);
  EXPECT_EQ(p.radaux1, 1);
  EXPECT_EQ(p.radaux2, 2);
  EXPECT_EQ(p.apsource, 0);
  EXPECT_EQ(p.mfdmode, 0);
  EXPECT_EQ(p.speedismach, 0);
  EXPECT_EQ(p.speeddial, 0.0f);
}

TEST_F(PositionSamplerTest, CommandedSettingsAreReportedAsStored) {
  RemoteSettings& r = m.remote_settings;
  r.mfdshow = 17;
  r.mfdrange = 2;  // a command of 2.9, truncated
  r.adf1sfreq = 415;
  r.adf2sfreq = 1705;
  r.xpdermode = 3;
  r.radaux1 = -4;
  r.radaux2 = 99;
  r.mfdmode = 6;
  const PositionPacket p = report();
  EXPECT_EQ(p.mfdshow, 17);
  EXPECT_EQ(p.mfdrange, 2.0f);
  EXPECT_EQ(p.adf1sfreq, 415);
  EXPECT_EQ(p.adf2sfreq, 1705);
  EXPECT_EQ(p.xpdermode, 3);
  EXPECT_EQ(p.radaux1, -4);
  EXPECT_EQ(p.radaux2, 99);
  EXPECT_EQ(p.mfdmode, 6);
}

// --- Expressions the host does not evaluate -----------------------------------

TEST_F(PositionSamplerTest, UnevaluatedExpressionKeepsThePreviousResultOfItsKind) {
  host.forget_expression("(A:AIRSPEED INDICATED,knots)");  // after ground velocity 100.0
  host.forget_expression("(E:ZULU TIME,Seconds)");         // after GPS drives NAV1 = 0
  host.forget_expression("(E:LOCAL TIME,Seconds)");
  host.forget_expression("(A:ATC MODEL,string)");  // after ATC ID "N172SP"
  host.set_expression_i32(kGpsDrivesNav1, 7);
  const PositionPacket p = report();
  EXPECT_EQ(p.ias, 100.0f);  // ground velocity's raw result
  EXPECT_EQ(p.zulusecs, 7.0f);
  EXPECT_EQ(p.localsecs, 7.0f);
  EXPECT_EQ(std::string(p.ICAO, 8), std::string("N172SP\0\0", 8));
}

TEST_F(PositionSamplerTest, FirstUnevaluatedExpressionOfItsKindGivesZero) {
  host.forget_expression("(A:ATC ID,string)");
  host.forget_expression("(A:GROUND VELOCITY,knots)");
  host.forget_expression(kGpsDrivesNav1);
  m.remote_settings.apsource = 3;
  const PositionPacket p = report();
  EXPECT_EQ(std::string(p.Tailno, 8), std::string(8, '\0'));
  EXPECT_EQ(p.gs, 0.0f);
  EXPECT_EQ(p.apsource, 3);  // holder 0, so not GPS
  EXPECT_EQ(p.ias, 110.0f);  // the next evaluation is unaffected
}

TEST_F(PositionSamplerTest, NullTextLeavesTheFieldZero) {
  host.set_expression_null_text("(A:ATC MODEL,string)");
  const PositionPacket p = report();
  EXPECT_EQ(std::string(p.ICAO, 8), std::string(8, '\0'));
  EXPECT_EQ(std::string(p.CallSign, 8), std::string("OT101\0\0\0", 8));
}

// --- Sending ----------------------------------------------------------------

TEST_F(PositionSamplerTest, EveryTwentiethCallAlsoReachesTheGroup) {
  std::vector<int> multicast_calls;
  for (int call = 1; call <= 40; ++call) {
    log.clear();
    report_position(m);
    const std::vector<std::string> sends = log.starting_with("send_");
    if (call % 20 == 0) {
      multicast_calls.push_back(call);
      EXPECT_EQ(sends, (std::vector<std::string>{"send_unicast", "send_multicast"})) << call;
    } else {
      EXPECT_EQ(sends, (std::vector<std::string>{"send_unicast"})) << call;
    }
  }
  EXPECT_EQ(multicast_calls, (std::vector<int>{20, 40}));
  ASSERT_EQ(net.multicast.size(), 2u);
  EXPECT_EQ(net.multicast[0], net.unicast[19]);  // the same packet both ways
  EXPECT_EQ(m.position.position_send_count, 0);
}

TEST_F(PositionSamplerTest, MissingSocketIsRecreatedBeforeTheSend) {
  for (std::int32_t bind_result : {1, 0}) {
    m.network.udp_socket = kNoSocket;
    m.network.reciever_to_be_binded = 1 - bind_result;
    net.bind_result = bind_result;
    log.clear();
    report_position(m);
    // After every host call, before the send of the same call.
    const auto& e = log.entries;
    ASSERT_EQ(e.size(), 46u + 28u + 3u);
    EXPECT_EQ(std::vector<std::string>(e.end() - 3, e.end()),
              (std::vector<std::string>{"open_udp_socket", "bind_receiver", "send_unicast"}));
    EXPECT_EQ(m.network.reciever_to_be_binded, bind_result);
  }
  // With a socket, nothing is set up.
  log.clear();
  report_position(m);
  EXPECT_TRUE(log.starting_with("open_udp_socket").empty());
  EXPECT_TRUE(log.starting_with("bind_receiver").empty());
}

}  // namespace
}  // namespace orbitune
