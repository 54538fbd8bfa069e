// Applying a peer's command over a recording host: the exact host calls that
// the marked fields turn into, in order, and what is left in RemoteSettings.
//
// Commands are built as byte images at offsets written out below rather than
// taken from the packet header, so that a wrong offset there cannot agree
// with itself; event ids and parameters are the protocol's, worked out by hand.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "control/remote_control.h"
#include "gauge/module.h"
#include "platform/little_endian.h"
#include "tests/support/fake_host.h"
#include "tests/support/fake_platform.h"

namespace orbitune {
namespace {

using testing::FakeClock;
using testing::FakeHost;
using testing::FakeSockets;

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Byte offsets of the command's fields.
namespace at {
constexpr std::size_t theta = 88, phi = 92, psi = 96, beta = 112, alti = 132;
constexpr std::size_t altdial = 152, holddial = 156, vnavdial = 160, speeddial = 164, hdgdial = 168,
                      vspeeddial = 172, fdmode = 176, speedismach = 180, speedst = 184,
                      lnavst = 188, vnavst = 192, hdgst = 196, locst = 200, altst = 204, vsst = 208,
                      gsst = 212, obs1p = 216, lcst = 220, obs2p = 224, n1status = 228,
                      apsource = 232, mfdmode = 236, mfdshow = 240, mfdrange = 244;
constexpr std::size_t nav1pwr = 248, nav1freq = 280, nav2freq = 284, com1freq = 288, com2freq = 292,
                      adf1freq = 296, adf2freq = 300, dmefreq = 304, nav1sfreq = 308,
                      nav2sfreq = 312, com1sfreq = 316, com2sfreq = 320, adf1sfreq = 324,
                      adf2sfreq = 328, dmesfreq = 332, xpderc = 336, xpdermode = 340,
                      xpdersqk = 344, radaux1 = 348, radaux2 = 352;
constexpr std::size_t acf_set = 356, pos_set = 360, ap_set = 364, rad_set = 368;
}  // namespace at

// A field's four bytes, as the table rows give them.
constexpr std::uint32_t f32(float v) {
  return std::bit_cast<std::uint32_t>(v);
}
constexpr std::uint32_t i32(std::int32_t v) {
  return static_cast<std::uint32_t>(v);
}

struct Command {
  std::array<std::uint8_t, 460> bytes{};

  Command() { store_le_i32(&bytes[0], 4); }
  Command& set(std::size_t offset, std::uint32_t raw) {
    store_le_u32(&bytes[offset], raw);
    return *this;
  }
};

std::string key(std::uint32_t id, std::uint32_t value) {
  char text[48];
  std::snprintf(text, sizeof text, "key 0x%X 0x%X", id, value);
  return text;
}
std::string lookup(std::uint32_t token) {
  char text[24];
  std::snprintf(text, sizeof text, "lookup 0x%X", token);
  return text;
}
const std::string kEvaluateGps = "evaluate (A:GPS DRIVES NAV1,Bool) as int32";

// Every host call, in order, in the forms above.
std::vector<std::string> transcript(const FakeHost& host) {
  std::vector<std::string> out;
  for (const auto& c : host.calls()) {
    switch (c.kind) {
      case FakeHost::Call::Kind::key_event:
        out.push_back(key(c.id, c.value));
        break;
      case FakeHost::Call::Kind::lookup_var:
        out.push_back(lookup(c.token));
        break;
      case FakeHost::Call::Kind::execute: {
        static const char* const kinds[] = {" as float64", " as int32", " as text"};
        out.push_back("evaluate " + c.what + kinds[c.result_kind]);
        break;
      }
      case FakeHost::Call::Kind::initialize_var_by_name:
        out.push_back("initialize " + c.what);
        break;
      case FakeHost::Call::Kind::element_list:
        out.push_back("element " + c.what);
        break;
    }
  }
  return out;
}

std::string describe(const RemoteSettings& r) {
  char text[256];
  std::snprintf(text, sizeof text,
                "mfdshow=%d mfdrange=%d adf1sfreq=%d adf2sfreq=%d xpdermode=%d radaux1=%d "
                "radaux2=%d apsource=%d mfdmode=%d lsim=%d lspeedial=%.9g",
                r.mfdshow, r.mfdrange, r.adf1sfreq, r.adf2sfreq, r.xpdermode, r.radaux1, r.radaux2,
                r.apsource, r.mfdmode, r.lsim, static_cast<double>(r.lspeedial));
  return text;
}

void set_record(ModuleVar& var, double value) {
  std::memcpy(var.value, &value, sizeof value);
}

class ApplyRemoteSettingsTest : public ::testing::Test {
 protected:
  void apply(const Command& c) { apply_remote_settings(m, c.bytes.data()); }

  FakeHost host;
  FakeSockets sockets;
  FakeClock clock;
  Module m{host, sockets, clock};
};

TEST_F(ApplyRemoteSettingsTest, NoHostCallWhenTheThreeSetWordsAreZeroWhateverAcfSetHolds) {
  Command c;
  // Every field non-zero, including the values steps 8, 16 and 19 would act on.
  for (std::size_t i = 8; i < c.bytes.size(); ++i) c.bytes[i] = 0x41;
  c.set(at::fdmode, i32(1)).set(at::speedst, i32(1)).set(at::apsource, i32(2));
  c.set(at::acf_set, 0xFFFFFFFF).set(at::pos_set, 0).set(at::ap_set, 0).set(at::rad_set, 0);
  host.set_var(0x318, 0.0);
  host.set_var(0x7B, 0.0);
  apply(c);
  EXPECT_EQ(transcript(host), std::vector<std::string>{});
  EXPECT_EQ(describe(m.remote_settings), describe(RemoteSettings{}));
}

// Steps that send at most one key event and store nothing.
struct SimpleStep {
  std::size_t word;     // offset of the set word
  std::uint32_t bit;    // the mark
  std::size_t field;    // offset of the field it marks (or that a stray bit must not read)
  std::uint32_t raw;    // the field's four bytes
  std::uint32_t event;  // 0: no host call at all
  std::uint32_t parameter;
};

constexpr SimpleStep kSimpleSteps[] = {
    // Attitude axes: -trunc(x * 182), the product truncated before the negation.
    {at::pos_set, 0x00000008, at::theta, f32(10.0f), 0x1009E, i32(-1820)},
    {at::pos_set, 0x00000008, at::theta, f32(-2.5f), 0x1009E, i32(455)},
    {at::pos_set, 0x00000010, at::phi, f32(30.0f), 0x1009F, i32(-5460)},
    {at::pos_set, 0x00000010, at::phi, f32(-0.1f), 0x1009F, i32(18)},  // -18.2 truncates to -18
    {at::pos_set, 0x00000200, at::beta, f32(1.5f), 0x100A0, i32(-273)},
    // Altimeter: inches of mercury * 16 * 33.86, in sixteenths of a millibar.
    {at::pos_set, 0x00004000, at::alti, f32(29.92f), 0x101F8, i32(16209)},
    {at::pos_set, 0x00004000, at::alti, f32(30.0f), 0x101F8, i32(16252)},
    // Dials, truncated toward zero; negative values in two's complement.
    {at::ap_set, 0x00000001, at::altdial, f32(12345.9f), 0x1024C, i32(12345)},
    {at::ap_set, 0x00000020, at::vspeeddial, f32(-1500.0f), 0x101F4, 0xFFFFFA24},
    {at::ap_set, 0x00000020, at::vspeeddial, f32(-750.9f), 0x101F4, i32(-750)},
    {at::ap_set, 0x00000010, at::hdgdial, f32(270.0f), 0x101FA, i32(270)},
    {at::ap_set, 0x00000010, at::hdgdial, f32(359.99f), 0x101FA, i32(359)},
    {at::ap_set, 0x00010000, at::obs1p, f32(123.7f), 0x100B4, i32(123)},
    {at::ap_set, 0x00040000, at::obs2p, f32(-45.9f), 0x100B5, i32(-45)},
    // Localizer hold: 0 off, 1 and 2 on, anything else nothing.
    {at::ap_set, 0x00001000, at::locst, i32(0), 0x10115, 0},
    {at::ap_set, 0x00001000, at::locst, i32(1), 0x1010D, 0},
    {at::ap_set, 0x00001000, at::locst, i32(2), 0x1010D, 0},
    {at::ap_set, 0x00001000, at::locst, i32(3), 0, 0},
    {at::ap_set, 0x00001000, at::locst, i32(-1), 0, 0},
    // The other holds: 0 off, any other value on.
    {at::ap_set, 0x00002000, at::altst, i32(0), 0x10118, 0},
    {at::ap_set, 0x00002000, at::altst, i32(3), 0x10110, 0},
    {at::ap_set, 0x00008000, at::gsst, i32(0), 0x10116, 0},
    {at::ap_set, 0x00008000, at::gsst, i32(2), 0x1010E, 0},
    {at::ap_set, 0x00000800, at::hdgst, i32(0), 0x1023B, 0},
    {at::ap_set, 0x00000800, at::hdgst, i32(-7), 0x1023A, 0},
    {at::ap_set, 0x00000200, at::lnavst, i32(0), 0x1011B, 0},
    {at::ap_set, 0x00000200, at::lnavst, i32(2), 0x10113, 0},
    // Radios: NAV/COM as the four BCD digits after the leading 1, ADF as kHz * 10000 in BCD.
    {at::rad_set, 0x00000100, at::nav1freq, i32(11130), 0x100AC, 0x1130},
    {at::rad_set, 0x00000200, at::nav2freq, i32(11795), 0x100AD, 0x1795},
    {at::rad_set, 0x00000400, at::com1freq, i32(11850), 0x100AB, 0x1850},
    {at::rad_set, 0x00000800, at::com2freq, i32(12190), 0x1038A, 0x2190},
    {at::rad_set, 0x00001000, at::adf1freq, i32(353), 0x103AF, 0x03530000},
    {at::rad_set, 0x00002000, at::adf2freq, i32(415), 0x103FC, 0x04150000},
    {at::rad_set, 0x00008000, at::nav1sfreq, i32(10800), 0x1038F, 0x0800},
    {at::rad_set, 0x00010000, at::nav2sfreq, i32(11470), 0x10393, 0x1470},
    {at::rad_set, 0x00020000, at::com1sfreq, i32(12345), 0x10343, 0x2345},
    {at::rad_set, 0x00040000, at::com2sfreq, i32(13597), 0x1038B, 0x3597},
    // Transponder: the code's digits as BCD nibbles.
    {at::rad_set, 0x00400000, at::xpderc, i32(7700), 0x100B3, 0x7700},
    {at::rad_set, 0x00400000, at::xpderc, i32(1200), 0x100B3, 0x1200},
    // Marks of fields that cannot be commanded, and bits beyond each group's last field.
    {at::pos_set, 0x00000020, at::psi, f32(123.0f), 0, 0},
    {at::pos_set, 0x00080000, at::theta, f32(10.0f), 0, 0},
    {at::ap_set, 0x00000002, at::holddial, f32(5000.0f), 0, 0},
    {at::ap_set, 0x00000004, at::vnavdial, f32(2500.0f), 0, 0},
    {at::ap_set, 0x00000400, at::vnavst, i32(2), 0, 0},
    {at::ap_set, 0x00004000, at::vsst, i32(2), 0, 0},
    {at::ap_set, 0x00020000, at::lcst, i32(2), 0, 0},
    {at::ap_set, 0x00080000, at::n1status, i32(2), 0, 0},
    {at::ap_set, 0x01000000, at::hdgdial, f32(270.0f), 0, 0},
    {at::rad_set, 0x00000001, at::nav1pwr, i32(1), 0, 0},
    {at::rad_set, 0x00004000, at::dmefreq, i32(11130), 0, 0},
    {at::rad_set, 0x00200000, at::dmesfreq, i32(11130), 0, 0},
    {at::rad_set, 0x01000000, at::xpdersqk, i32(1), 0, 0},
    {at::rad_set, 0x08000000, at::com1freq, i32(11850), 0, 0},
};

class SimpleStepTest : public ApplyRemoteSettingsTest,
                       public ::testing::WithParamInterface<SimpleStep> {};

TEST_P(SimpleStepTest, SendsItsOneEventAndStoresNothing) {
  const SimpleStep& s = GetParam();
  apply(Command().set(s.word, s.bit).set(s.field, s.raw));
  const std::vector<std::string> expected =
      s.event == 0 ? std::vector<std::string>{}
                   : std::vector<std::string>{key(s.event, s.parameter)};
  EXPECT_EQ(transcript(host), expected);
  EXPECT_EQ(describe(m.remote_settings), describe(RemoteSettings{}));
}

INSTANTIATE_TEST_SUITE_P(Table, SimpleStepTest, ::testing::ValuesIn(kSimpleSteps));

// Steps that only remember a value for the position packets to report.
struct StoredStep {
  std::size_t word;
  std::uint32_t bit;
  std::size_t field;
  std::uint32_t raw;
  std::int32_t RemoteSettings::*setting;
  std::int32_t stored;
};

constexpr StoredStep kStoredSteps[] = {
    {at::ap_set, 0x00200000, at::mfdmode, i32(5), &RemoteSettings::mfdmode, 5},
    {at::ap_set, 0x00400000, at::mfdrange, f32(2.9f), &RemoteSettings::mfdrange, 2},
    {at::ap_set, 0x00400000, at::mfdrange, f32(-7.8f), &RemoteSettings::mfdrange, -7},
    {at::ap_set, 0x00800000, at::mfdshow, i32(1234), &RemoteSettings::mfdshow, 1234},
    {at::rad_set, 0x00080000, at::adf1sfreq, i32(415), &RemoteSettings::adf1sfreq, 415},
    {at::rad_set, 0x00100000, at::adf2sfreq, i32(890), &RemoteSettings::adf2sfreq, 890},
    {at::rad_set, 0x00800000, at::xpdermode, i32(3), &RemoteSettings::xpdermode, 3},
    {at::rad_set, 0x02000000, at::radaux1, i32(-77), &RemoteSettings::radaux1, -77},
    {at::rad_set, 0x04000000, at::radaux2, i32(123456), &RemoteSettings::radaux2, 123456},
};

class StoredStepTest : public ApplyRemoteSettingsTest,
                       public ::testing::WithParamInterface<StoredStep> {};

TEST_P(StoredStepTest, StoresTheValueWithoutAnyHostCall) {
  const StoredStep& s = GetParam();
  apply(Command().set(s.word, s.bit).set(s.field, s.raw));
  EXPECT_EQ(transcript(host), std::vector<std::string>{});
  RemoteSettings expected;
  expected.*s.setting = s.stored;
  EXPECT_EQ(describe(m.remote_settings), describe(expected));
}

INSTANTIATE_TEST_SUITE_P(Table, StoredStepTest, ::testing::ValuesIn(kStoredSteps));

TEST_F(ApplyRemoteSettingsTest, DisplayRangeAndSelectionBitsRunOppositeToTheirOffsets) {
  Command c;
  c.set(at::mfdshow, i32(999)).set(at::mfdrange, f32(12.5f));

  apply(c.set(at::ap_set, 0x00400000));
  EXPECT_EQ(m.remote_settings.mfdrange, 12);
  EXPECT_EQ(m.remote_settings.mfdshow, 572);

  m.remote_settings = RemoteSettings{};
  apply(c.set(at::ap_set, 0x00800000));
  EXPECT_EQ(m.remote_settings.mfdshow, 999);
  EXPECT_EQ(m.remote_settings.mfdrange, 40);
  EXPECT_EQ(transcript(host), std::vector<std::string>{});
}

// The procedures that read the host or lsim: flight-director mode (step 8),
// speed hold, dial and control state (14 to 16), navigation source (19).
struct Procedure {
  const char* name;
  std::uint32_t ap_set = 0;
  std::int32_t fdmode = 0, speedismach = 0, speedst = 0, apsource = 0;
  float speeddial = 0;
  double director = 0;                  // what the host holds for token 0x318
  double armed = 0;                     // what the host holds for token 0x7B
  std::optional<std::int32_t> gps = 0;  // "(A:GPS DRIVES NAV1,Bool)"; none: not evaluable
  std::int32_t lsim = 0;                // before the command
  std::vector<std::string> calls;
  std::int32_t lsim_after = 0;
  float lspeedial_after = 0;        // 0.0 unless the dial was applied
  std::int32_t apsource_after = 0;  // 0 unless step 19 ran
};

// clang-format off
const Procedure kProcedures[] = {
    // Flight director: event 0x102F0 toggles the flag, so it goes out only to change it.
    {.name = "Fd0DirectorOn", .ap_set = 0x40, .fdmode = 0, .director = 1,
     .calls = {lookup(0x318), key(0x100FF, 0), key(0x102F0, 0)}},
    {.name = "Fd0DirectorOff", .ap_set = 0x40, .fdmode = 0, .director = 0,
     .calls = {lookup(0x318), key(0x100FF, 0)}},
    {.name = "Fd1DirectorOff", .ap_set = 0x40, .fdmode = 1, .director = 0,
     .calls = {lookup(0x318), key(0x102F0, 0), key(0x100FF, 0)}},
    {.name = "Fd1DirectorOn", .ap_set = 0x40, .fdmode = 1, .director = 1,
     .calls = {lookup(0x318), key(0x100FF, 0)}},
    {.name = "Fd2DirectorOff", .ap_set = 0x40, .fdmode = 2, .director = 0,
     .calls = {lookup(0x318), key(0x102F0, 0), key(0x10100, 0)}},
    {.name = "Fd2DirectorOn", .ap_set = 0x40, .fdmode = 2, .director = 1,
     .calls = {lookup(0x318), key(0x10100, 0)}},
    // Other modes still refresh the flag, and send nothing.
    {.name = "Fd7DirectorOn", .ap_set = 0x40, .fdmode = 7, .director = 1,
     .calls = {lookup(0x318)}},
    {.name = "FdMinus2DirectorOff", .ap_set = 0x40, .fdmode = -2, .director = 0,
     .calls = {lookup(0x318)}},

    // Speed hold selection releases one hold before engaging the other.
    {.name = "MachHoldThenMachDial", .ap_set = 0x88, .speedismach = 1, .speeddial = 0.5f,
     .calls = {key(0x1022F, 0), key(0x10232, 1), key(0x101F6, 50)},
     .lsim_after = 1, .lspeedial_after = 0.5f},
    {.name = "AnyNonZeroSelectsMach", .ap_set = 0x80, .speedismach = 5,
     .calls = {key(0x1022F, 0), key(0x10232, 1)}, .lsim_after = 1},
    {.name = "AirspeedHold", .ap_set = 0x80, .speedismach = 0, .lsim = 1,
     .calls = {key(0x10232, 0), key(0x1022F, 1)}, .lsim_after = 0},
    {.name = "AirspeedHoldThenKnotsDial", .ap_set = 0x88, .speedismach = 0, .speeddial = 250.7f,
     .lsim = 1, .calls = {key(0x10232, 0), key(0x1022F, 1), key(0x101F5, 250)},
     .lsim_after = 0, .lspeedial_after = 250.7f},
    // The dial alone drives the hold that an earlier packet or the host left in lsim.
    {.name = "KnotsDialAlone", .ap_set = 0x08, .speeddial = 250.7f, .lsim = 0,
     .calls = {key(0x101F5, 250)}, .lsim_after = 0, .lspeedial_after = 250.7f},
    // 0.78 is 0.77999997 in float32; the double-precision product truncates to 77.
    {.name = "MachDialAlone", .ap_set = 0x08, .speeddial = 0.78f, .lsim = 1,
     .calls = {key(0x101F6, 77)}, .lsim_after = 1, .lspeedial_after = 0.78f},
    {.name = "NegativeMachDial", .ap_set = 0x08, .speeddial = -0.5f, .lsim = 1,
     .calls = {key(0x101F6, i32(-50))}, .lsim_after = 1, .lspeedial_after = -0.5f},

    // Speed control: event 0x10144 toggles the arm flag, so it goes out only to change it.
    {.name = "MachHoldThenArmedState", .ap_set = 0x180, .speedismach = 1, .speedst = 1,
     .armed = 0,
     .calls = {key(0x1022F, 0), key(0x10232, 1), lookup(0x7B), key(0x10144, 0),
               key(0x10232, 0), key(0x1022F, 0)},
     .lsim_after = 1},
    {.name = "State0Armed", .ap_set = 0x100, .speedst = 0, .armed = 1,
     .calls = {lookup(0x7B), key(0x10144, 0), key(0x10232, 0), key(0x1022F, 0)}},
    {.name = "State0NotArmed", .ap_set = 0x100, .speedst = 0, .armed = 0,
     .calls = {lookup(0x7B), key(0x10232, 0), key(0x1022F, 0)}},
    {.name = "State1Armed", .ap_set = 0x100, .speedst = 1, .armed = 1,
     .calls = {lookup(0x7B), key(0x10232, 0), key(0x1022F, 0)}},
    {.name = "State2ArmedKnots", .ap_set = 0x100, .speedst = 2, .armed = 1, .lsim = 0,
     .calls = {lookup(0x7B), key(0x10232, 0), key(0x1022F, 1)}},
    {.name = "State2NotArmedMach", .ap_set = 0x100, .speedst = 2, .armed = 0, .lsim = 1,
     .calls = {lookup(0x7B), key(0x10144, 0), key(0x1022F, 0), key(0x10232, 1)},
     .lsim_after = 1},
    {.name = "State3NotArmed", .ap_set = 0x100, .speedst = 3, .armed = 0,
     .calls = {lookup(0x7B)}},
    // 0.85 is 0.85000002 in float32: 85.
    {.name = "MachHoldDialAndHolding", .ap_set = 0x188, .speedismach = 1, .speedst = 2,
     .speeddial = 0.85f, .armed = 1,
     .calls = {key(0x1022F, 0), key(0x10232, 1), key(0x101F6, 85), lookup(0x7B),
               key(0x1022F, 0), key(0x10232, 1)},
     .lsim_after = 1, .lspeedial_after = 0.85f},

    // Navigation source: event 0x10347 toggles whether the GPS drives NAV1.
    {.name = "Source1GpsDrives", .ap_set = 0x100000, .apsource = 1, .gps = 1,
     .calls = {kEvaluateGps, key(0x10347, 0)}, .apsource_after = 1},
    {.name = "Source2GpsDrives", .ap_set = 0x100000, .apsource = 2, .gps = 1,
     .calls = {kEvaluateGps}, .apsource_after = 2},
    {.name = "Source2NavDrives", .ap_set = 0x100000, .apsource = 2, .gps = 0,
     .calls = {kEvaluateGps, key(0x10347, 0)}, .apsource_after = 2},
    {.name = "Source0NavDrives", .ap_set = 0x100000, .apsource = 0, .gps = 0,
     .calls = {kEvaluateGps}, .apsource_after = 0},
    // Above 2: nothing for the host, but remembered and reported back.
    {.name = "Source3NavDrives", .ap_set = 0x100000, .apsource = 3, .gps = 0,
     .calls = {kEvaluateGps}, .apsource_after = 3},
    {.name = "Source3GpsDrives", .ap_set = 0x100000, .apsource = 3, .gps = 1,
     .calls = {kEvaluateGps}, .apsource_after = 3},
    // The comparison is signed: a negative source asks for the NAV receiver.
    {.name = "SourceMinus5GpsDrives", .ap_set = 0x100000, .apsource = -5, .gps = 1,
     .calls = {kEvaluateGps, key(0x10347, 0)}, .apsource_after = -5},
    {.name = "Source1GpsNegative", .ap_set = 0x100000, .apsource = 1, .gps = -1,
     .calls = {kEvaluateGps}, .apsource_after = 1},
    // A host that cannot evaluate leaves the holder at 0: the NAV receiver drives NAV1.
    {.name = "Source1NotEvaluable", .ap_set = 0x100000, .apsource = 1, .gps = std::nullopt,
     .calls = {kEvaluateGps}, .apsource_after = 1},
    {.name = "Source2NotEvaluable", .ap_set = 0x100000, .apsource = 2, .gps = std::nullopt,
     .calls = {kEvaluateGps, key(0x10347, 0)}, .apsource_after = 2},
};
// clang-format on

class ProcedureTest : public ApplyRemoteSettingsTest,
                      public ::testing::WithParamInterface<Procedure> {};

TEST_P(ProcedureTest, SendsTheExactSequence) {
  const Procedure& p = GetParam();
  host.set_var(0x318, p.director);
  host.set_var(0x7B, p.armed);
  if (p.gps) host.set_expression_i32("(A:GPS DRIVES NAV1,Bool)", *p.gps);
  // The records hold the opposite of the host's value until refreshed, so a
  // flag read before its refresh takes the wrong branch.
  set_record(m.position.vars[kVarFlightDirector], p.director != 0.0 ? 0.0 : 1.0);
  set_record(m.position.vars[kVarSpeedControlArm], p.armed != 0.0 ? 0.0 : 1.0);
  m.remote_settings.lsim = p.lsim;

  apply(Command()
            .set(at::ap_set, p.ap_set)
            .set(at::fdmode, i32(p.fdmode))
            .set(at::speedismach, i32(p.speedismach))
            .set(at::speedst, i32(p.speedst))
            .set(at::apsource, i32(p.apsource))
            .set(at::speeddial, f32(p.speeddial)));

  EXPECT_EQ(transcript(host), p.calls);
  RemoteSettings expected;
  expected.lsim = p.lsim_after;
  expected.lspeedial = p.lspeedial_after;
  expected.apsource = p.apsource_after;
  EXPECT_EQ(describe(m.remote_settings), describe(expected));
}

INSTANTIATE_TEST_SUITE_P(Table, ProcedureTest, ::testing::ValuesIn(kProcedures),
                         [](const ::testing::TestParamInfo<Procedure>& info) {
                           return std::string(info.param.name);
                         });

// A command with every set word all ones and a distinct value in every field.
Command full_command() {
  Command c;
  c.set(at::theta, f32(10.0f)).set(at::phi, f32(-20.0f)).set(at::beta, f32(1.5f));
  c.set(at::alti, f32(29.92f));
  c.set(at::altdial, f32(35000.0f)).set(at::holddial, f32(9000.0f));
  c.set(at::vnavdial, f32(1.25f)).set(at::speeddial, f32(0.78f)).set(at::hdgdial, f32(270.0f));
  c.set(at::vspeeddial, f32(-1500.0f)).set(at::fdmode, i32(2)).set(at::speedismach, i32(1));
  c.set(at::speedst, i32(2)).set(at::lnavst, i32(0)).set(at::vnavst, i32(2));
  c.set(at::hdgst, i32(2)).set(at::locst, i32(1)).set(at::altst, i32(2)).set(at::vsst, i32(2));
  c.set(at::gsst, i32(0)).set(at::obs1p, f32(123.7f)).set(at::lcst, i32(2));
  c.set(at::obs2p, f32(45.2f)).set(at::n1status, i32(2)).set(at::apsource, i32(2));
  c.set(at::mfdmode, i32(3)).set(at::mfdshow, i32(1234)).set(at::mfdrange, f32(80.6f));
  for (std::size_t o = at::nav1pwr; o < at::nav1freq; o += 4) c.set(o, i32(1));
  c.set(at::nav1freq, i32(11130)).set(at::nav2freq, i32(11795)).set(at::com1freq, i32(11850));
  c.set(at::com2freq, i32(12190)).set(at::adf1freq, i32(353)).set(at::adf2freq, i32(415));
  c.set(at::dmefreq, i32(11310)).set(at::nav1sfreq, i32(10800)).set(at::nav2sfreq, i32(11470));
  c.set(at::com1sfreq, i32(12345)).set(at::com2sfreq, i32(13597));
  c.set(at::adf1sfreq, i32(890)).set(at::adf2sfreq, i32(1020)).set(at::dmesfreq, i32(11520));
  c.set(at::xpderc, i32(7700)).set(at::xpdermode, i32(4)).set(at::xpdersqk, i32(1));
  c.set(at::radaux1, i32(-77)).set(at::radaux2, i32(123456));
  c.set(at::acf_set, 0xFFFFFFFF).set(at::pos_set, 0xFFFFFFFF);
  c.set(at::ap_set, 0xFFFFFFFF).set(at::rad_set, 0xFFFFFFFF);
  return c;
}

const std::vector<std::string> kPositionGroupCalls = {key(0x1009E, i32(-1820)), key(0x1009F, 3640),
                                                      key(0x100A0, i32(-273)), key(0x101F8, 16209)};

TEST_F(ApplyRemoteSettingsTest, EveryStepInTableOrderWithTheHostReadsInPlace) {
  host.set_var(0x318, 0.0);  // director off: mode 2 sets it first
  host.set_var(0x7B, 0.0);   // not armed: state 2 arms first
  host.set_expression_i32("(A:GPS DRIVES NAV1,Bool)", 0);
  set_record(m.position.vars[kVarFlightDirector], 1.0);  // stale until refreshed
  set_record(m.position.vars[kVarSpeedControlArm], 1.0);
  apply(full_command());

  std::vector<std::string> expected = kPositionGroupCalls;
  // clang-format off
  const std::vector<std::string> rest = {
      key(0x1024C, 35000),                                              // 5 altdial
      key(0x101F4, i32(-1500)),                                         // 6 vspeeddial
      key(0x101FA, 270),                                                // 7 hdgdial
      lookup(0x318), key(0x102F0, 0), key(0x10100, 0),                  // 8 fdmode 2
      key(0x1010D, 0),                                                  // 9 locst 1
      key(0x10110, 0),                                                  // 10 altst 2
      key(0x10116, 0),                                                  // 11 gsst 0
      key(0x100B4, 123),                                                // 12 obs1p
      key(0x100B5, 45),                                                 // 13 obs2p
      key(0x1022F, 0), key(0x10232, 1),                                 // 14 Mach hold
      key(0x101F6, 77),                                                 // 15 Mach dial 0.78
      lookup(0x7B), key(0x10144, 0), key(0x1022F, 0), key(0x10232, 1),  // 16 state 2
      key(0x1023A, 0),                                                  // 17 hdgst 2
      key(0x1011B, 0),                                                  // 18 lnavst 0
      kEvaluateGps, key(0x10347, 0),                                    // 19 apsource 2
      key(0x100AC, 0x1130), key(0x100AD, 0x1795),                       // 23, 24
      key(0x100AB, 0x1850), key(0x1038A, 0x2190),                       // 25, 26
      key(0x103AF, 0x03530000), key(0x103FC, 0x04150000),               // 27, 28
      key(0x1038F, 0x0800), key(0x10393, 0x1470),                       // 29, 30
      key(0x10343, 0x2345), key(0x1038B, 0x3597),                       // 31, 32
      key(0x100B3, 0x7700),                                             // 35
  };
  // clang-format on
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(transcript(host), expected);

  RemoteSettings r;
  r.mfdshow = 1234;
  r.mfdrange = 80;
  r.adf1sfreq = 890;
  r.adf2sfreq = 1020;
  r.xpdermode = 4;
  r.radaux1 = -77;
  r.radaux2 = 123456;
  r.apsource = 2;
  r.mfdmode = 3;
  r.lsim = 1;
  r.lspeedial = 0.78f;
  EXPECT_EQ(describe(m.remote_settings), describe(r));
  // The refreshes went into the sampler's own records.
  EXPECT_EQ(module_var_f64(m.position.vars[kVarFlightDirector]), 0.0);
  EXPECT_EQ(module_var_f64(m.position.vars[kVarSpeedControlArm]), 0.0);
}

TEST_F(ApplyRemoteSettingsTest, CommandCutAt364BytesAppliesOnlyThePositionGroup) {
  const Command whole = full_command();
  std::array<std::uint8_t, 460> buffer{};
  std::memcpy(buffer.data(), whole.bytes.data(), 364);
  apply_remote_settings(m, buffer.data());
  EXPECT_EQ(transcript(host), kPositionGroupCalls);
  EXPECT_EQ(describe(m.remote_settings), describe(RemoteSettings{}));
}

// Garbage and out-of-range floats: NaN or infinite sends and stores nothing;
// finite values beyond int32 saturate.
struct BadValue {
  std::size_t word;
  std::uint32_t bit;
  std::size_t field;
  std::uint32_t raw;
  std::int32_t lsim;    // before, for the speed dial
  std::uint32_t event;  // 0: no host call
  std::int32_t parameter;
  float lspeedial_after;  // starts as kDialBefore
  std::int32_t mfdrange_after;
};

constexpr float kDialBefore = 123.25f;

constexpr BadValue kBadValues[] = {
    {at::pos_set, 0x08, at::theta, f32(kNaN), 0, 0, 0, kDialBefore, 40},
    {at::pos_set, 0x08, at::theta, f32(kInf), 0, 0, 0, kDialBefore, 40},
    {at::pos_set, 0x08, at::theta, f32(-kInf), 0, 0, 0, kDialBefore, 40},
    // -(1e30 * 182) saturates low; the mirror image saturates high.
    {at::pos_set, 0x08, at::theta, f32(1e30f), 0, 0x1009E, kMin, kDialBefore, 40},
    {at::pos_set, 0x08, at::theta, f32(-1e30f), 0, 0x1009E, kMax, kDialBefore, 40},
    // A negative NaN with a payload, and a signalling NaN.
    {at::pos_set, 0x10, at::phi, 0xFFFFFFFF, 0, 0, 0, kDialBefore, 40},
    {at::pos_set, 0x200, at::beta, 0x7F800001, 0, 0, 0, kDialBefore, 40},
    {at::pos_set, 0x4000, at::alti, f32(kNaN), 0, 0, 0, kDialBefore, 40},
    {at::pos_set, 0x4000, at::alti, f32(-kInf), 0, 0, 0, kDialBefore, 40},
    {at::pos_set, 0x4000, at::alti, f32(1e30f), 0, 0x101F8, kMax, kDialBefore, 40},
    {at::ap_set, 0x01, at::altdial, f32(kInf), 0, 0, 0, kDialBefore, 40},
    {at::ap_set, 0x01, at::altdial, f32(-1e30f), 0, 0x1024C, kMin, kDialBefore, 40},
    // The edges of int32: the largest float below 2^31 is exact, 2^31 saturates, -2^31 is exact.
    {at::ap_set, 0x01, at::altdial, f32(2147483520.0f), 0, 0x1024C, 2147483520, kDialBefore, 40},
    {at::ap_set, 0x01, at::altdial, f32(2147483648.0f), 0, 0x1024C, kMax, kDialBefore, 40},
    {at::ap_set, 0x01, at::altdial, f32(-2147483648.0f), 0, 0x1024C, kMin, kDialBefore, 40},
    {at::ap_set, 0x20, at::vspeeddial, f32(kNaN), 0, 0, 0, kDialBefore, 40},
    // A garbage heading must not become heading 0.
    {at::ap_set, 0x10, at::hdgdial, f32(kNaN), 0, 0, 0, kDialBefore, 40},
    {at::ap_set, 0x10, at::hdgdial, f32(kInf), 0, 0, 0, kDialBefore, 40},
    {at::ap_set, 0x10, at::hdgdial, f32(1e30f), 0, 0x101FA, kMax, kDialBefore, 40},
    {at::ap_set, 0x10000, at::obs1p, f32(-kInf), 0, 0, 0, kDialBefore, 40},
    {at::ap_set, 0x40000, at::obs2p, f32(kNaN), 0, 0, 0, kDialBefore, 40},
    // The speed dial keeps its last value when the new one is garbage.
    {at::ap_set, 0x08, at::speeddial, f32(kNaN), 0, 0, 0, kDialBefore, 40},
    {at::ap_set, 0x08, at::speeddial, f32(kInf), 1, 0, 0, kDialBefore, 40},
    {at::ap_set, 0x08, at::speeddial, f32(3e9f), 0, 0x101F5, kMax, 3e9f, 40},
    {at::ap_set, 0x08, at::speeddial, f32(1e30f), 1, 0x101F6, kMax, 1e30f, 40},
    {at::ap_set, 0x08, at::speeddial, f32(-1e30f), 1, 0x101F6, kMin, -1e30f, 40},
    // The display range keeps its last value too, or saturates.
    {at::ap_set, 0x00400000, at::mfdrange, f32(kNaN), 0, 0, 0, kDialBefore, 40},
    {at::ap_set, 0x00400000, at::mfdrange, f32(kInf), 0, 0, 0, kDialBefore, 40},
    {at::ap_set, 0x00400000, at::mfdrange, f32(-1e30f), 0, 0, 0, kDialBefore, kMin},
    {at::ap_set, 0x00400000, at::mfdrange, f32(3e9f), 0, 0, 0, kDialBefore, kMax},
};

class BadValueTest : public ApplyRemoteSettingsTest,
                     public ::testing::WithParamInterface<BadValue> {};

TEST_P(BadValueTest, NonFiniteIsDroppedAndOutOfRangeSaturates) {
  const BadValue& b = GetParam();
  m.remote_settings.lsim = b.lsim;
  m.remote_settings.lspeedial = kDialBefore;
  apply(Command().set(b.word, b.bit).set(b.field, b.raw));
  const std::vector<std::string> expected =
      b.event == 0 ? std::vector<std::string>{}
                   : std::vector<std::string>{key(b.event, i32(b.parameter))};
  EXPECT_EQ(transcript(host), expected);
  RemoteSettings r;
  r.lsim = b.lsim;
  r.lspeedial = b.lspeedial_after;
  r.mfdrange = b.mfdrange_after;
  EXPECT_EQ(describe(m.remote_settings), describe(r));
}

INSTANTIATE_TEST_SUITE_P(Table, BadValueTest, ::testing::ValuesIn(kBadValues));

// The host-facing contract of the three reads: the sampler's own records are
// refreshed, and the expression asks for the int32 result only.
class MockHost final : public HostServices {
 public:
  MOCK_METHOD(void, element_list_query, (void*), (override));
  MOCK_METHOD(void, element_list_install, (void*, void*), (override));
  MOCK_METHOD(void, element_list_initialize, (void*), (override));
  MOCK_METHOD(void, element_list_update, (void*), (override));
  MOCK_METHOD(void, element_list_generate, (void*, std::uint32_t), (override));
  MOCK_METHOD(void, element_list_plot, (void*), (override));
  MOCK_METHOD(void, element_list_kill, (void*), (override));
  MOCK_METHOD(void, trigger_key_event, (std::uint32_t, std::uint32_t), (override));
  MOCK_METHOD(void, initialize_var_by_name, (ModuleVar*, const char*), (override));
  MOCK_METHOD(void, lookup_var, (ModuleVar*), (override));
  MOCK_METHOD(void, execute_calculator_code, (const char*, double*, std::int32_t*, const char**),
              (override));
};

TEST(ApplyRemoteSettingsHostContract, RefreshesTheSamplersRecordsAndAsksForAnInt32) {
  using ::testing::IsNull;
  using ::testing::NotNull;
  using ::testing::StrEq;
  MockHost host;
  FakeSockets sockets;
  FakeClock clock;
  Module m{host, sockets, clock};
  ModuleVar* director = &m.position.vars[kVarFlightDirector];
  ModuleVar* arm = &m.position.vars[kVarSpeedControlArm];

  ::testing::InSequence in_order;
  EXPECT_CALL(host, lookup_var(director)).WillOnce([](ModuleVar* v) { set_record(*v, 1.0); });
  EXPECT_CALL(host, trigger_key_event(0x10100, 0));
  EXPECT_CALL(host, lookup_var(arm)).WillOnce([](ModuleVar* v) { set_record(*v, 0.0); });
  EXPECT_CALL(host, trigger_key_event(0x10144, 0));
  EXPECT_CALL(host, trigger_key_event(0x10232, 0));
  EXPECT_CALL(host, trigger_key_event(0x1022F, 0));
  EXPECT_CALL(host, execute_calculator_code(StrEq("(A:GPS DRIVES NAV1,Bool)"), IsNull(), NotNull(),
                                            IsNull()))
      .WillOnce([](const char*, double*, std::int32_t* out, const char**) { *out = 1; });
  EXPECT_CALL(host, trigger_key_event(0x10347, 0));

  Command c;
  c.set(at::ap_set, 0x00100140).set(at::fdmode, i32(2)).set(at::speedst, i32(1));
  c.set(at::apsource, i32(0));
  apply_remote_settings(m, c.bytes.data());
}

}  // namespace
}  // namespace orbitune
