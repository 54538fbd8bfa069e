// orbitune-peer against the real module, loaded and driven by the emulated
// host inside the private network namespace: what `watch --json` prints is
// what the module sampled from a known aircraft, and a command that
// `orbitune-peer send` builds reaches the host as the expected key events.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/peer/run_program.h"
#include "tests/support/isolated_network.h"

namespace orbitune::peer {
namespace {

using orbitune::testing::ProgramRun;
using orbitune::testing::run_peer_binary;
using orbitune::testing::run_program;
using Json = nlohmann::json;

// A parked aircraft whose every reported value is known. Latitude 47.5 degrees
// is 5278701.3889 units of 40007000 a circle; longitude -122.25 degrees is
// -(122.25 / 360) * 2^48.
constexpr const char* kScenario = R"j({
  "aircraft": "static",
  "vars": {"0x47": 5278701.388888889, "0x48": -95584210841326.94, "0x4A": 4500.0,
           "0x56": 123.0, "0x6B": 90.0, "0x6D": 3000.0,
           "0x17": 6224, "0x18": 4992, "0x26": 30464, "0x318": 0.0, "0x7B": 0.0},
  "expressions": {"(A:ATC ID,string)": "N42PEER", "(A:ATC MODEL,string)": "B350",
                  "(A:AIRSPEED INDICATED,knots)": 180.0,
                  "(A:ADF ACTIVE FREQUENCY:1, KHz)": 353.0,
                  "(A:GPS DRIVES NAV1,Bool)": 0},
  "gps": {"active": 1, "waypoints": [
    {"ident": "KSEA", "lat": 47.449, "lon": -122.309, "alt_m": 132.0},
    {"ident": "KPAE", "lat": 47.906, "lon": -122.282, "alt_m": 184.0}]}
})j";

TEST(PeerEndToEnd, WatchShowsWhatTheModuleSampledAndSendSteersTheHost) {
  ORBITUNE_REQUIRE_ISOLATED_NETWORK();
  const std::string dir = ::testing::TempDir();
  const std::string scenario = dir + "/peer_e2e_scenario.json";
  const std::string trace = dir + "/peer_e2e_trace.jsonl";
  std::ofstream(scenario) << kScenario;

  ProgramRun host;
  std::thread host_thread([&] {
    // About 8 s at the host's rate: time for the watch and the command.
    host = run_program({ORBITUNE_HOST_PROGRAM, "--module", ORBITUNE_MODULE_FILE, "--scenario",
                        scenario, "--updates", "150", "--workdir", dir, "--trace", trace});
  });
  const ProgramRun watch = run_peer_binary(
      {"watch", "--request", "127.0.0.1", "--json", "--count", "30", "--seconds", "6"});
  const ProgramRun send =
      run_peer_binary({"send", "127.0.0.1", "--heading", "270", "--altitude", "5000", "--alt-hold",
                       "on", "--hdg-hold", "on", "--com1", "121.90", "--confirm", "3"});
  host_thread.join();
  ASSERT_EQ(host.exit_code, 0) << host.err;
  ASSERT_EQ(watch.exit_code, 0) << watch.err;

  std::istringstream lines(watch.out);
  std::string line;
  int positions = 0;
  Json route;
  while (std::getline(lines, line)) {
    const Json j = Json::parse(line);
    if (j["Message ID"] == 2) {
      route = j;
      continue;
    }
    ASSERT_EQ(j["Message ID"], 1) << line;
    ++positions;
    EXPECT_EQ(j["Version"], 0x10020310);
    EXPECT_EQ(j["Source"], "FS9");
    EXPECT_EQ(j["Tailno"], "N42PEER");
    EXPECT_EQ(j["ICAO"], "B350");
    EXPECT_NEAR(j["lat"].get<double>(), 47.5, 1e-9);
    EXPECT_NEAR(j["lon"].get<double>(), -122.25, 1e-9);
    // The module converts feet with its own constant: within a millimetre.
    EXPECT_NEAR(j["elev"].get<double>(), 4500.0 * 0.3048, 1e-3);
    EXPECT_EQ(j["psi"], 123.0);
    EXPECT_EQ(j["ias"], 180.0);
    EXPECT_EQ(j["hdgdial"], 90.0);
    EXPECT_EQ(j["altdial"], 3000.0);
    EXPECT_EQ(j["com1freq"], 11850);
    EXPECT_EQ(j["nav1freq"], 11380);
    EXPECT_EQ(j["adf1freq"], 353);
    EXPECT_EQ(j["xpderc"], 7700);
    EXPECT_EQ(j["mfdshow"], 572);  // never commanded: the initial value
    EXPECT_EQ(j["ap_set"], 0xFFFFFFFFu);
    EXPECT_EQ(j["reserved2"], 0);
  }
  EXPECT_EQ(positions, 30);
  // A route report comes every 20th update; 30 packets span at least one.
  ASSERT_FALSE(route.is_null()) << watch.out;
  EXPECT_EQ(route["nopoints"], 2);
  EXPECT_EQ(route["cleg"], 1);
  ASSERT_EQ(route["points"].size(), 2u);
  EXPECT_EQ(route["points"][1]["NAME"], "KPAE");

  ASSERT_EQ(send.exit_code, 0) << send.err;
  EXPECT_NE(send.out.find("reported hdgdial 270, altdial 5000, com1freq 12190"), std::string::npos)
      << send.out;
  // The update that drained the command sent the host exactly these events,
  // in the module's step order.
  const Json expected =
      Json::parse("[[66124, 5000], [66042, 270], [65808, 0], [66106, 0], [65707, 8592]]");
  std::ifstream trace_in(trace);
  int updates_with_keys = 0;
  while (std::getline(trace_in, line)) {
    const Json j = Json::parse(line);
    if (!j.contains("keys") || j["keys"].empty()) continue;
    ++updates_with_keys;
    EXPECT_EQ(j["keys"], expected) << line;
  }
  EXPECT_EQ(updates_with_keys, 1);
}

}  // namespace
}  // namespace orbitune::peer
