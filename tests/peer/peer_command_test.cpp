// Commands as `orbitune-peer send` builds them, checked against the module's
// own decoding: the bytes that --dry-run prints are handed to the module's
// apply_remote_settings over a recording host, and the key events it sends
// must be the ones a pilot's setting means. Also: the checks on values a user
// types, and the errors the program gives for bad input.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "control/remote_control.h"
#include "gauge/module.h"
#include "platform/little_endian.h"
#include "tests/peer/run_program.h"
#include "tests/support/fake_host.h"
#include "tests/support/fake_platform.h"
#include "tools/peer/command.h"
#include "tools/peer/packet_fields.h"
#include "tools/peer/peer_app.h"

namespace orbitune::peer {
namespace {

using orbitune::testing::run_peer_binary;
using KeyEvents = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

// Runs the program in-process with --dry-run and reads back the bytes it printed.
PositionImage dry_run(std::vector<std::string> args) {
  args.insert(args.begin(), {"orbitune-peer", "send", "127.0.0.1"});
  args.push_back("--dry-run");
  std::vector<const char*> argv;
  for (const auto& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  const int code = run_peer(static_cast<int>(argv.size()), argv.data(), out, err);
  EXPECT_EQ(code, 0) << err.str();
  PositionImage image{};
  std::istringstream lines(out.str());
  std::string line;
  std::size_t n = 0;
  while (std::getline(lines, line)) {
    std::istringstream cells(line.substr(line.find(':') + 1));
    unsigned byte = 0;
    while (cells >> std::hex >> byte) {
      if (n < image.size()) image[n] = static_cast<std::uint8_t>(byte);
      ++n;
    }
  }
  EXPECT_EQ(n, kPositionPacketBytes) << out.str();
  return image;
}

class ModuleDecoding {
 public:
  ModuleDecoding() {
    host.set_var(0x318, 0.0);  // flight director off
    host.set_var(0x7B, 0.0);   // speed control disarmed
    host.set_expression_i32("(A:GPS DRIVES NAV1,Bool)", 0);
  }
  KeyEvents apply(const PositionImage& image) {
    apply_remote_settings(module, image.data());
    return host.key_events();
  }

  orbitune::testing::FakeHost host;
  orbitune::testing::FakeSockets sockets;
  orbitune::testing::FakeClock clock;
  Module module{host, sockets, clock};
};

struct KeyCase {
  const char* what;
  std::vector<std::string> args;
  KeyEvents events;
};

class PeerSendOptionKeyEvents : public ::testing::TestWithParam<KeyCase> {};

TEST_P(PeerSendOptionKeyEvents, TheModuleSendsTheHostTheseKeyEvents) {
  ModuleDecoding module;
  EXPECT_EQ(module.apply(dry_run(GetParam().args)), GetParam().events);
}

const KeyCase kKeyCases[] = {
    // The demo's command: altitude dial, heading dial, then the two holds, in
    // the module's step order.
    {"HeadingAltitudeAndHolds",
     {"--heading", "270", "--altitude", "5000", "--alt-hold", "on", "--hdg-hold", "on"},
     {{0x1024C, 5000}, {0x101FA, 270}, {0x10110, 0}, {0x1023A, 0}}},
    // A negative vertical speed travels in two's complement.
    {"VerticalSpeed", {"--vs", "-500"}, {{0x101F4, 0xFFFFFE0C}}},
    // Knots: the Mach hold is released first, then the airspeed hold engaged
    // and its dial set.
    {"SpeedInKnots", {"--speed", "250"}, {{0x10232, 0}, {0x1022F, 1}, {0x101F5, 250}}},
    // Mach: the Mach dial in hundredths.
    {"SpeedAsMach", {"--mach", "0.5"}, {{0x1022F, 0}, {0x10232, 1}, {0x101F6, 50}}},
    // 29.92 inHg in sixteenths of a millibar.
    {"Altimeter", {"--baro", "29.92"}, {{0x101F8, 16209}}},
    {"Com1", {"--com1", "118.50"}, {{0x100AB, 0x1850}}},
    // A 25 kHz channel travels as its hundredths.
    {"Com1TwentyFiveKilohertz", {"--com1", "118.025"}, {{0x100AB, 0x1802}}},
    {"Com2TopOfBand", {"--com2", "136.975"}, {{0x1038A, 0x3697}}},
    {"Nav1", {"--nav1", "113.80"}, {{0x100AC, 0x1380}}},
    {"Nav2BottomOfBand", {"--nav2", "108.00"}, {{0x100AD, 0x0800}}},
    {"StandbyFrequencies",
     {"--com1-standby", "121.90", "--nav1-standby", "110.50"},
     {{0x1038F, 0x1050}, {0x10343, 0x2190}}},
    {"Adf1", {"--adf1", "353"}, {{0x103AF, 0x03530000}}},
    {"Adf2", {"--adf2", "999"}, {{0x103FC, 0x09990000}}},
    {"SquawkEmergency", {"--squawk", "7700"}, {{0x100B3, 0x7700}}},
    // A leading zero digit: code 0400 is the decimal number 400.
    {"SquawkLeadingZero", {"--squawk", "0400"}, {{0x100B3, 0x0400}}},
    // With the flight director off: switch it on, then engage the autopilot.
    {"AutopilotOn", {"--ap", "on"}, {{0x102F0, 0}, {0x10100, 0}}},
    {"FlightDirectorOnly", {"--ap", "fd"}, {{0x102F0, 0}, {0x100FF, 0}}},
    {"AutopilotOff", {"--ap", "off"}, {{0x100FF, 0}}},
    {"HoldsOn",
     {"--loc-hold", "on", "--gs-hold", "on", "--nav-hold", "on"},
     {{0x1010D, 0}, {0x1010E, 0}, {0x10113, 0}}},
    {"HoldsOff",
     {"--loc-hold", "off", "--alt-hold", "off", "--gs-hold", "off", "--hdg-hold", "off",
      "--nav-hold", "off"},
     {{0x10115, 0}, {0x10118, 0}, {0x10116, 0}, {0x1023B, 0}, {0x1011B, 0}}},
    // Armed: the arm flag flips on, both holds stay released.
    {"SpeedHoldArmed", {"--speed-hold", "armed"}, {{0x10144, 0}, {0x10232, 0}, {0x1022F, 0}}},
    // GPS asked for while the host's NAV receiver drives NAV1: one toggle.
    {"NavSourceGps", {"--nav-source", "gps"}, {{0x10347, 0}}},
    // NAV asked for while it already drives NAV1: nothing to toggle.
    {"NavSourceNavAlreadyThere", {"--nav-source", "nav"}, {}},
    {"CourseSelectors", {"--obs1", "123.7", "--obs2", "45"}, {{0x100B4, 123}, {0x100B5, 45}}},
};
INSTANTIATE_TEST_SUITE_P(Cases, PeerSendOptionKeyEvents, ::testing::ValuesIn(kKeyCases),
                         [](const auto& info) { return std::string(info.param.what); });

TEST(PeerSendCommand, RememberedValuesReachTheModulesRecordWithoutKeyEvents) {
  ModuleDecoding module;
  const KeyEvents events = module.apply(dry_run(
      {"--mfd-range", "2.9", "--mfd-mode", "3", "--mfd-show", "601", "--adf1-standby", "1500",
       "--adf2-standby", "190", "--xpdr-mode", "4", "--radaux1", "7", "--radaux2", "-9"}));
  EXPECT_TRUE(events.empty());
  const RemoteSettings& r = module.module.remote_settings;
  EXPECT_EQ(r.mfdrange, 2);
  EXPECT_EQ(r.mfdmode, 3);
  EXPECT_EQ(r.mfdshow, 601);
  EXPECT_EQ(r.adf1sfreq, 1500);
  EXPECT_EQ(r.adf2sfreq, 190);
  EXPECT_EQ(r.xpdermode, 4);
  EXPECT_EQ(r.radaux1, 7);
  EXPECT_EQ(r.radaux2, -9);
}

TEST(PeerSendCommand, DemoCommandMatchesAHandMadeByteImage) {
  PositionImage want{};
  const std::pair<std::size_t, std::array<std::uint8_t, 4>> bytes[] = {
      {0, {0x04, 0x00, 0x00, 0x00}},    // Message ID 4
      {4, {0x10, 0x03, 0x02, 0x10}},    // Version 0x10020310
      {152, {0x00, 0x40, 0x9C, 0x45}},  // altdial 5000.0f
      {168, {0x00, 0x00, 0x87, 0x43}},  // hdgdial 270.0f
      {196, {0x02, 0x00, 0x00, 0x00}},  // hdgst 2
      {204, {0x02, 0x00, 0x00, 0x00}},  // altst 2
      {364, {0x11, 0x28, 0x00, 0x00}},  // ap_set 0x2811
  };
  for (const auto& [offset, four] : bytes) {
    for (std::size_t i = 0; i < 4; ++i) want[offset + i] = four[i];
  }
  EXPECT_EQ(
      dry_run({"--heading", "270", "--altitude", "5000", "--alt-hold", "on", "--hdg-hold", "on"}),
      want);
}

TEST(PeerSendCommand, JsonFieldsAreTheBaseAndOptionsAddTheirBits) {
  const std::string path = ::testing::TempDir() + "peer_command.json";
  std::ofstream(path) << R"({"ap_set": "0x10", "hdgdial": 90.5, "Tailno": "N123AB",
                             "rad_set": 4194304, "xpderc": 1200})";
  const PositionImage image = dry_run({"--json-file", path, "--com1", "121.90"});
  EXPECT_EQ(load_le_i32(&image[0]), 4);
  EXPECT_EQ(load_le_u32(&image[364]), 0x10u);
  EXPECT_EQ(load_le_f32(&image[168]), 90.5f);
  EXPECT_EQ(text_field(&image[8], 8), "N123AB");
  EXPECT_EQ(load_le_u32(&image[368]), 0x00400400u);  // xpderc from JSON, com1freq from the option
  EXPECT_EQ(load_le_i32(&image[288]), 12190);
  ModuleDecoding module;
  EXPECT_EQ(module.apply(image), (KeyEvents{{0x101FA, 90}, {0x100AB, 0x2190}, {0x100B3, 0x1200}}));
}

struct ParseCase {
  const char* what;
  std::int32_t (*parse)(std::string_view, std::string_view);
  const char* text;
  std::int32_t want;  // -1: rejected
};

class PeerOptionParsers : public ::testing::TestWithParam<ParseCase> {};

TEST_P(PeerOptionParsers, AcceptInBandAndRejectTheRest) {
  const ParseCase& c = GetParam();
  if (c.want < 0) {
    EXPECT_THROW(c.parse("--x", c.text), std::invalid_argument) << c.text;
  } else {
    EXPECT_EQ(c.parse("--x", c.text), c.want) << c.text;
  }
}

const ParseCase kParseCases[] = {
    {"NavBottom", parse_nav_frequency, "108.00", 10800},
    {"NavTop", parse_nav_frequency, "117.95", 11795},
    {"NavOneDecimal", parse_nav_frequency, "113.8", 11380},
    {"NavBelowBand", parse_nav_frequency, "107.95", -1},
    {"NavAboveBand", parse_nav_frequency, "117.96", -1},
    {"NavThreeDecimals", parse_nav_frequency, "113.805", -1},
    {"ComBottom", parse_com_frequency, "118.000", 11800},
    {"ComTop", parse_com_frequency, "136.975", 13697},
    {"ComAboveBand", parse_com_frequency, "136.980", -1},
    {"ComBelowBand", parse_com_frequency, "117.99", -1},
    {"ComFourDecimals", parse_com_frequency, "118.0000", -1},
    {"ComNotANumber", parse_com_frequency, "abc", -1},
    {"ComTwoPoints", parse_com_frequency, "118.5.0", -1},
    {"ComNegative", parse_com_frequency, "-118.50", -1},
    {"AdfBottom", parse_adf_frequency, "190", 190},
    {"AdfTopTheModuleCanTune", parse_adf_frequency, "999", 999},
    {"AdfWithThousandsDigit", parse_adf_frequency, "1000", -1},
    {"AdfBelowBand", parse_adf_frequency, "189", -1},
    {"AdfFraction", parse_adf_frequency, "353.5", -1},
    {"AdfStandbyTop", parse_adf_standby_frequency, "1799", 1799},
    {"AdfStandbyAboveBand", parse_adf_standby_frequency, "1800", -1},
    {"SquawkAllSevens", parse_squawk, "7777", 7777},
    {"SquawkZeros", parse_squawk, "0000", 0},
    {"SquawkDigitEight", parse_squawk, "7800", -1},
    {"SquawkThreeDigits", parse_squawk, "770", -1},
    {"SquawkFiveDigits", parse_squawk, "07700", -1},
};
INSTANTIATE_TEST_SUITE_P(Cases, PeerOptionParsers, ::testing::ValuesIn(kParseCases),
                         [](const auto& info) { return std::string(info.param.what); });

struct JsonErrorCase {
  const char* what;
  const char* json;
  const char* message;  // part of the error
};

class PeerJsonFieldErrors : public ::testing::TestWithParam<JsonErrorCase> {};

TEST_P(PeerJsonFieldErrors, NameTheFieldAndLeaveOtherBytesAlone) {
  PositionImage image = new_command_image();
  const PositionImage before = image;
  try {
    apply_json_to_position_image(nlohmann::json::parse(GetParam().json), image.data());
    FAIL() << "accepted " << GetParam().json;
  } catch (const std::invalid_argument& e) {
    EXPECT_NE(std::string(e.what()).find(GetParam().message), std::string::npos) << e.what();
  }
  EXPECT_EQ(image, before);
}

const JsonErrorCase kJsonErrors[] = {
    {"UnknownName", R"({"heading": 270})", "unknown field \"heading\""},
    {"TextForANumber", R"({"hdgdial": "270"})", "\"hdgdial\": expected a number"},
    {"FractionForAnInteger", R"({"fdmode": 1.5})", "\"fdmode\": expected an integer"},
    {"IntegerTooLarge", R"({"xpderc": 2147483648})", "\"xpderc\": 2147483648 does not fit"},
    {"NegativeSetWord", R"({"ap_set": -1})", "\"ap_set\": -1 does not fit"},
    {"BadHexSetWord", R"({"ap_set": "0x1G"})", "\"ap_set\": \"0x1G\" is not an integer"},
    {"TextTooLong", R"({"Tailno": "N1234567X"})", "\"Tailno\": \"N1234567X\" is longer than 8"},
    {"FloatOutOfRange", R"({"ias": 1e39})", "\"ias\": out of the range"},
    {"NotAnObject", R"([1, 2])", "expected a JSON object"},
};
INSTANTIATE_TEST_SUITE_P(Cases, PeerJsonFieldErrors, ::testing::ValuesIn(kJsonErrors),
                         [](const auto& info) { return std::string(info.param.what); });

struct MarkedCase {
  std::size_t word;
  int bit;
  int offset;  // -1: the bit stands for nothing
};

TEST(PeerMarkedFieldOffset, FollowsEachGroupsBitRule) {
  constexpr MarkedCase kCases[] = {
      {360, 0, 64},    // lat, the first float64
      {360, 2, 80},    // elev, the last float64
      {360, 3, 88},    // theta, the first float32 after them
      {360, 14, 132},  // alti
      {360, 18, 148},  // otemp, the last field of the group
      {360, 19, -1},   // beyond the group
      {364, 21, 236},  // mfdmode
      {364, 22, 244},  // mfdrange: bits 22 and 23 are swapped against the offsets
      {364, 23, 240},  // mfdshow
      {364, 24, -1},   // beyond the group
      {368, 0, 248},   // nav1pwr
      {368, 26, 352},  // radaux2
      {368, 27, -1},   // beyond the group
      {356, 0, -1},    // acf_set defines no bit
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(marked_field_offset(c.word, c.bit), c.offset) << c.word << " bit " << c.bit;
  }
}

// ---- the program itself --------------------------------------------------------

struct BadInputCase {
  const char* what;
  std::vector<std::string> args;
  const char* message;  // part of standard error
};

class PeerBadInput : public ::testing::TestWithParam<BadInputCase> {};

TEST_P(PeerBadInput, ExitsWithUsageErrorAndSaysWhatIsWrong) {
  const auto run = run_peer_binary(GetParam().args);
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");
}

const BadInputCase kBadInputs[] = {
    {"ComOutsideBand",
     {"send", "127.0.0.1", "--com1", "140.00"},
     "--com1 140.00: COM frequencies run from 118.000 to 136.975 MHz"},
    {"NavOutsideBand",
     {"send", "127.0.0.1", "--nav1", "118.00"},
     "--nav1 118.00: NAV frequencies run from 108.00 to 117.95 MHz"},
    {"AdfOutsideWhatTheModuleTunes",
     {"send", "127.0.0.1", "--adf1", "1200"},
     "--adf1 1200: ADF frequencies that the module can tune run from 190 to 999 kHz"},
    {"SquawkDigitOverSeven",
     {"send", "127.0.0.1", "--squawk", "7780"},
     "--squawk 7780: a squawk code has four digits, each 0 to 7"},
    {"HeadingOutOfRange", {"send", "127.0.0.1", "--heading", "400"}, "--heading 400: expected 0"},
    {"HeadingNotANumber", {"send", "127.0.0.1", "--heading", "west"}, "expected a number"},
    {"UnknownOption", {"send", "127.0.0.1", "--flaps", "10"}, "--flaps"},
    {"UnknownOptionOfWatch", {"watch", "--colour"}, "--colour"},
    {"UnknownSubcommand", {"fly"}, "unknown subcommand \"fly\""},
    {"NoSubcommand", {}, "A subcommand is required"},
    {"HoldNotOnOrOff", {"send", "127.0.0.1", "--alt-hold", "yes"}, "--alt-hold"},
    {"SpeedAndMach", {"send", "127.0.0.1", "--speed", "250", "--mach", "0.8"}, "excludes"},
    {"NothingToSend", {"send", "127.0.0.1"}, "nothing to send"},
    {"PortOutOfRange", {"send", "127.0.0.1:70000", "--heading", "90"}, "port must be 1 to 65535"},
    {"JsonNotJson", {"send", "127.0.0.1", "--json-file", "-"}, "--json-file -: not JSON"},
};
INSTANTIATE_TEST_SUITE_P(Cases, PeerBadInput, ::testing::ValuesIn(kBadInputs),
                         [](const auto& info) { return std::string(info.param.what); });

TEST(PeerHelp, EverySubcommandExplainsItselfAndExitsZero) {
  const std::pair<std::vector<std::string>, const char*> kHelp[] = {
      {{"--help"}, "watch"},
      {{"watch", "--help"}, "--request"},
      {{"send", "--help"}, "--squawk"},
      {{"request", "--help"}, "--port"},
  };
  for (const auto& [args, mention] : kHelp) {
    const auto run = run_peer_binary(args);
    EXPECT_EQ(run.exit_code, 0) << args.front();
    EXPECT_NE(run.out.find(mention), std::string::npos) << run.out;
  }
}

TEST(PeerDryRun, ReadsJsonFromStandardInputAndPrintsFourHundredSixtyBytes) {
  const auto run = run_peer_binary({"send", "127.0.0.1", "--json-file", "-", "--dry-run"},
                                   R"({"ap_set": 16, "hdgdial": 270})");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  // 28 full lines of 16 bytes and one of 12.
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 29);
  EXPECT_NE(run.out.find("0160: 00 00 00 00 00 00 00 00 00 00 00 00 10 00 00 00\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("01c0: 00 00 00 00 00 00 00 00 00 00 00 00\n"), std::string::npos);
  EXPECT_NE(run.err.find("ap_set 0x00000010"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("hdgdial 270"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace orbitune::peer
