// orbitune-host running the real module end to end: the program is started
// with a scenario, its trace is followed line by line on a pipe, and this test
// plays a companion application on loopback (a unicast peer, a listener on the
// multicast group). Datagrams are timed against the trace with pause actions:
// the test acts after it has read update N's line while the host waits before
// update N+1, so what the module drains in that update is exact.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "platform/little_endian.h"
#include "position/position_packet.h"
#include "tests/support/isolated_network.h"
#include "tests/support/loopback_socket.h"

namespace orbitune {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Json = nlohmann::json;
using testing::LoopbackSocket;

constexpr std::uint16_t kPort = 2424;
constexpr const char* kGroup = "239.224.224.1";
constexpr int kLineWaitMs = 120000;  // a sanitizer build under load is slow, never this slow

// A fresh directory under /tmp, removed with everything in it at the end.
class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/orbitune-host-test-XXXXXX";
    const char* dir = ::mkdtemp(pattern);
    EXPECT_NE(dir, nullptr);
    path_ = dir ? dir : "/tmp/orbitune-host-test-failed";
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The companion's listener: on the group's address and the protocol port,
// beside the module's own socket (both reuse the address), joined on loopback.
LoopbackSocket group_listener() {
  return LoopbackSocket::group_listener(ntohl(::inet_addr(kGroup)));
}

// The message IDs a socket has collected, as letters: P position, R route, ? other.
std::string id_string(const LoopbackSocket& socket) {
  std::string s;
  for (const Bytes& d : socket.received) {
    const std::int32_t id = d.size() >= 4 ? load_le_i32(d.data()) : -1;
    s += id == 1 ? 'P' : id == 2 ? 'R' : '?';
  }
  return s;
}

Bytes unicast_request() {
  Bytes b(8);
  store_le_i32(b.data(), 16);
  store_le_i32(b.data() + 4, kPositionVersion);
  return b;
}

// orbitune-host with a scenario, its trace on a pipe.
class HostRun {
 public:
  HostRun(const std::string& scenario, std::vector<std::string> options,
          std::vector<LoopbackSocket*> sockets = {})
      : sockets_(std::move(sockets)) {
    const std::string scenario_path = dir_ + "/scenario.json";
    std::ofstream(scenario_path) << scenario;
    std::vector<std::string> args = {ORBITUNE_HOST_PROGRAM, "--module", ORBITUNE_MODULE_FILE,
                                     "--scenario", scenario_path, "--trace", "-",
                                     // A fresh directory: no seed file of anyone else.
                                     "--workdir", dir_};
    args.insert(args.end(), options.begin(), options.end());
    int pipe_fds[2];
    EXPECT_EQ(::pipe(pipe_fds), 0);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(pipe_fds[1], 1);
      ::close(pipe_fds[0]);
      ::close(pipe_fds[1]);
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(pipe_fds[1]);
    out_ = pipe_fds[0];
  }
  ~HostRun() {
    if (pid_ > 0 && status_ < 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }

  const std::string& dir() const { return dir_; }

  // The next trace line, draining the sockets while waiting; empty at the end.
  std::string next_line() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLineWaitMs);
    for (;;) {
      const std::size_t end = buffer_.find('\n');
      if (end != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        lines_.push_back(line);
        return line;
      }
      if (eof_ || std::chrono::steady_clock::now() > deadline) return {};
      std::vector<pollfd> fds{{out_, POLLIN, 0}};
      for (LoopbackSocket* s : sockets_) fds.push_back({s->fd(), POLLIN, 0});
      ::poll(fds.data(), fds.size(), 100);
      for (LoopbackSocket* s : sockets_) s->drain();
      if (fds[0].revents & (POLLIN | POLLHUP)) {
        char chunk[4096];
        const ssize_t n = ::read(out_, chunk, sizeof chunk);
        if (n <= 0)
          eof_ = true;
        else
          buffer_.append(chunk, static_cast<std::size_t>(n));
      }
    }
  }

  // Reads up to and including the line of update `n`.
  Json update_line(std::int64_t n) {
    for (std::string line = next_line(); !line.empty(); line = next_line()) {
      const Json j = Json::parse(line);
      if (j.contains("update") && j["update"] == n) return j;
    }
    ADD_FAILURE() << "no trace line for update " << n;
    return Json::object();
  }

  // Reads to the end; the program's exit status.
  int finish() {
    while (!next_line().empty()) {
    }
    int status = 0;
    ::waitpid(pid_, &status, 0);
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    for (LoopbackSocket* s : sockets_) s->drain();
    return status_;
  }

  // Every update line read so far, parsed.
  std::vector<Json> updates() const {
    std::vector<Json> out;
    for (const std::string& l : lines_) {
      const Json j = Json::parse(l);
      if (j.contains("update")) out.push_back(j);
    }
    return out;
  }
  Json summary() const {
    for (const std::string& l : lines_) {
      const Json j = Json::parse(l);
      if (j.contains("summary")) return j["summary"];
    }
    return Json::object();
  }

 private:
  std::vector<LoopbackSocket*> sockets_;
  TempDir temp_;
  const std::string& dir_ = temp_.path();
  pid_t pid_ = -1;
  int out_ = -1;
  int status_ = -1;
  bool eof_ = false;
  std::string buffer_;
  std::vector<std::string> lines_;
};

std::vector<PositionPacket> positions(const LoopbackSocket& s) {
  std::vector<PositionPacket> out;
  for (const Bytes& d : s.received) {
    if (d.size() >= 4 && load_le_i32(d.data()) == 1) {
      EXPECT_EQ(d.size(), kPositionPacketBytes);
      out.push_back(decode_position_packet(d.data()));
    }
  }
  return out;
}

TEST(HostEndToEnd, PositionPacketCarriesTheScenarioAircraftConvertedFromHostUnits) {
  ORBITUNE_REQUIRE_ISOLATED_NETWORK();
  LoopbackSocket group = group_listener();
  HostRun run(R"j({
    "vars": {"0x41": 1300.0, "0x47": 4451000.0, "0x48": -96000000000000.0, "0x4A": 3280.8399,
             "0x4E": 2.5, "0x50": -4.0, "0x56": 271.0, "0x52": -3.0, "0x6B": 123.0,
             "0x6D": 9000.0, "0x78": -700.0, "0x148": 8000.0, "0x40": 15000.0, "0x67": 1.0,
             "0x6A": 1.0, "0x158": 725.0, "0x18": 4400, "0x17": 6224, "0x26": 18209},
    "expressions": {"(A:ATC ID,string)": "N123AB", "(A:GROUND VELOCITY,knots)": 120.0,
                    "(A:AIRSPEED INDICATED,knots)": 110.5,
                    "(A:KOHLSMAN SETTING HG, inHg)": 29.92,
                    "(A:GPS DRIVES NAV1,Bool)": 1,
                    "(A:ADF ACTIVE FREQUENCY:1, KHz)": 353.9,
                    "(E:ZULU TIME,Seconds)": 45296}})j",
              {"--updates", "20", "--fast"}, {&group});
  ASSERT_EQ(run.finish(), 0);
  // The twentieth update is the first that reaches the group.
  const std::vector<PositionPacket> p = positions(group);
  ASSERT_EQ(p.size(), 1u) << id_string(group);
  const PositionPacket& a = p[0];
  EXPECT_EQ(a.message_id, 1);
  EXPECT_EQ(a.version, 0x10020310);
  EXPECT_EQ(std::string(a.Tailno, 6), "N123AB");
  EXPECT_EQ(std::string(a.Source), "FS9");
  EXPECT_EQ(a.lat, 4451000.0 * 360.0 / 40007000.0);                 // 40007000ths of a circle
  EXPECT_EQ(a.lon, -96000000000000.0 * 360.0 / 281474976710656.0);  // 2^48ths
  EXPECT_EQ(a.elev, 3280.8399 / 3.2808399);                         // feet to metres
  EXPECT_EQ(a.theta, -2.5f);  // nose-down positive on the host
  EXPECT_EQ(a.phi, 4.0f);
  EXPECT_EQ(a.psi, 271.0f);
  EXPECT_EQ(a.mvar, 3.0f);
  EXPECT_EQ(a.wdir, 8.0f);  // 3 + 725, less two turns
  EXPECT_EQ(a.vvifpm, static_cast<float>(1300.0 / 1.3));
  EXPECT_EQ(a.Flaps, 0.5f);                                  // 16000ths
  EXPECT_EQ(a.mach, static_cast<float>(15000.0 * 0.00005));  // 20000ths
  EXPECT_EQ(a.gs, static_cast<float>(120.0 * 0.514));
  EXPECT_EQ(a.ias, 110.5f);
  EXPECT_EQ(a.alti, 29.92f);
  EXPECT_EQ(a.hdgdial, 123.0f);
  EXPECT_EQ(a.altdial, 9000.0f);
  EXPECT_EQ(a.vspeeddial, -700.0f);
  EXPECT_EQ(a.fdmode, 2);
  EXPECT_EQ(a.hdgst, 2);
  EXPECT_EQ(a.apsource, 2);
  EXPECT_EQ(a.nav1freq, 11130);  // BCD 0x1130
  EXPECT_EQ(a.com1freq, 11850);  // BCD 0x1850
  EXPECT_EQ(a.xpderc, 4721);     // BCD 0x4721
  EXPECT_EQ(a.adf1freq, 353);
  EXPECT_EQ(a.zulusecs, 45296.0f);
}

// The scenario that holds the host between two updates while the test acts.
std::string paused_before(std::initializer_list<int> updates, const std::string& more = "") {
  std::string actions;
  for (int n : updates) {
    if (!actions.empty()) actions += ", ";
    actions += "{\"at\": " + std::to_string(n) + ", \"pause_s\": 1.5}";
  }
  return "{\"actions\": [" + actions + "]" + (more.empty() ? "" : ", " + more) + "}";
}

TEST(HostEndToEnd, GroupAndPeersGetPositionsAndRoutesEveryTwentiethUpdate) {
  ORBITUNE_REQUIRE_ISOLATED_NETWORK();
  LoopbackSocket group = group_listener();
  LoopbackSocket peer = LoopbackSocket::peer();
  HostRun run(paused_before({2}, R"j("gps": {"active": 1, "waypoints": [
                  {"ident": "KSEA", "lat": 47.45, "lon": -122.31, "alt_m": 131.0},
                  {"ident": "OLM", "lat": 46.97, "lon": -122.9, "alt_m": 60.0},
                  {"ident": "KPDX", "lat": 45.59, "lon": -122.6, "alt_m": 9.0}]})j"),
              {"--updates", "60", "--fast"}, {&group, &peer});
  run.update_line(1);
  peer.send_to_module(unicast_request());
  ASSERT_EQ(run.finish(), 0);

  EXPECT_EQ(id_string(group), "PRPRPR");
  // The peer joined in update 2: a position in every update, and the route
  // after the position of updates 20, 40 and 60.
  std::string expected;
  for (int n = 2; n <= 60; ++n) expected += n % 20 == 0 ? "PR" : "P";
  EXPECT_EQ(id_string(peer), expected);
  const Bytes& route = group.received.at(1);
  ASSERT_EQ(route.size(), 24u + 3 * 28u);
  EXPECT_EQ(load_le_i32(route.data() + 8), 3);   // nopoints
  EXPECT_EQ(load_le_i32(route.data() + 12), 1);  // cleg
  EXPECT_EQ(load_le_i32(route.data() + 20), 3);  // segpoints
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(route.data() + 24 + 28 + 4)), "OLM");
}

TEST(HostEndToEnd, CommandBecomesKeyEventsAndShowsInLaterPackets) {
  ORBITUNE_REQUIRE_ISOLATED_NETWORK();
  LoopbackSocket peer = LoopbackSocket::peer();
  HostRun run(paused_before({2, 4}, R"j("vars": {"0x6B": 90.0, "0x17": 8816})j"),
              {"--updates", "6", "--fast"}, {&peer});
  run.update_line(1);
  peer.send_to_module(unicast_request());
  run.update_line(3);
  PositionPacket command;
  command.message_id = 4;
  command.ap_set = 0x10;  // hdgdial
  command.hdgdial = 270.0f;
  command.rad_set = 0x400;  // com1freq
  command.com1freq = 11850;
  Bytes bytes(kPositionPacketBytes);
  encode_position_packet(command, bytes.data());
  peer.send_to_module(bytes);
  ASSERT_EQ(run.finish(), 0);

  const std::vector<Json> trace = run.updates();
  ASSERT_EQ(trace.size(), 6u);
  EXPECT_EQ(trace[3]["keys"], Json::parse("[[66042, 270], [65707, 6224]]"));
  EXPECT_EQ(trace[3]["icon"], 1) << "the green ring in the update that applied it";
  EXPECT_EQ(trace[4]["icon"], 0);
  for (int i : {0, 1, 2, 4, 5}) EXPECT_EQ(trace[i]["keys"], Json::array()) << "update " << i + 1;

  const std::vector<PositionPacket> p = positions(peer);
  ASSERT_EQ(p.size(), 5u) << "updates 2 to 6";
  for (std::size_t i = 0; i < p.size(); ++i) {
    const bool applied = i >= 2;  // update 4 applies the command before it samples
    EXPECT_EQ(p[i].hdgdial, applied ? 270.0f : 90.0f) << "update " << i + 2;
    EXPECT_EQ(p[i].com1freq, applied ? 11850 : 12270) << "update " << i + 2;
  }
}

TEST(HostEndToEnd, PeerGetsTwelveHundredUpdatesAfterItsRequest) {
  ORBITUNE_REQUIRE_ISOLATED_NETWORK();
  LoopbackSocket peer = LoopbackSocket::peer();
  HostRun run(paused_before({2, 1195}), {"--updates", "1300", "--fast"}, {&peer});
  run.update_line(1);
  peer.send_to_module(unicast_request());
  // Most of the run is back to back; what matters is where it stops. The
  // pause before update 1195 gives a clean cut.
  run.update_line(1194);
  peer.drain();
  EXPECT_FALSE(peer.received.empty());
  EXPECT_EQ(load_le_i32(peer.received.back().data()), 1);
  peer.received.clear();
  ASSERT_EQ(run.finish(), 0);
  // Updates 1195 to 1201: the 1200th update counted from the request's is
  // the last one that reaches the peer.
  EXPECT_EQ(id_string(peer), "PPPPPPP");
}

TEST(HostEndToEnd, ClicksInTheClickAreaSwitchTheLinkOffAndOn) {
  ORBITUNE_REQUIRE_ISOLATED_NETWORK();
  LoopbackSocket peer = LoopbackSocket::peer();
  const TempDir icon_dir;
  const std::string icon_path = icon_dir.path() + "/icon.bmp";
  HostRun run(R"j({"actions": [{"at": 2, "pause_s": 1.5},
                             {"at": 3, "click": true},
                             {"at": 5, "click": {"x": 90, "y": 5}},
                             {"at": 6, "click": {"x": 10, "y": 10, "flags": 268435456}},
                             {"at": 8, "click": {"x": 79, "y": 79, "flags": 536870912}},
                             {"at": 10, "click": {"x": 0, "y": 0, "flags": 536870913}}]})j",
              {"--updates", "10", "--fast", "--dump-icon", icon_path}, {&peer});
  run.update_line(1);
  peer.send_to_module(unicast_request());
  ASSERT_EQ(run.finish(), 0);

  std::string icons, enabled;
  for (const Json& j : run.updates()) {
    icons += std::to_string(j["icon"].get<int>());
    enabled += j["enabled"].get<bool>() ? 'y' : 'n';
  }
  // Off at 3; a click outside the box (5) or without the click bit (6)
  // changes nothing; on again at 8; off at 10 with extra bits set.
  EXPECT_EQ(icons, "0022222002");
  EXPECT_EQ(enabled, "yynnnnnyyn");
  EXPECT_EQ(run.summary()["clicks_delivered"], 3);
  // A disabled link sends nothing: updates 2, 8 and 9 only.
  EXPECT_EQ(id_string(peer), "PPP");
  // The icon shown at the end is the red ring's bitmap.
  std::ifstream dumped(icon_path, std::ios::binary),
      committed(std::string(ORBITUNE_SOURCE_DIR) + "/resources/icons/icon_2102.bmp",
                std::ios::binary);
  const Bytes a{std::istreambuf_iterator<char>(dumped), {}};
  const Bytes b{std::istreambuf_iterator<char>(committed), {}};
  EXPECT_FALSE(a.empty());
  EXPECT_EQ(a, b);
}

TEST(HostEndToEnd, ServiceTwelveClosesTheSocketUntilTheNextUpdate) {
  ORBITUNE_REQUIRE_ISOLATED_NETWORK();
  HostRun run(R"j({"actions": [{"at": 4, "pause_s": 1.5}, {"at": 4, "service": 12},
                             {"at": 4, "pause_s": 2}, {"at": 5, "pause_s": 2}]})j",
              {"--updates", "5", "--fast"});
  // Whether the protocol port is free: a socket without address reuse can
  // bind it only when no other socket holds it.
  auto port_free = [] {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(kPort);
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
  };
  run.update_line(3);
  EXPECT_FALSE(port_free()) << "the module holds the port after update 3";
  // The service comes 1.5 s after update 3's line.
  bool freed = false;
  for (int i = 0; i < 300 && !freed; ++i) {
    freed = port_free();
    if (!freed) ::usleep(10000);
  }
  EXPECT_TRUE(freed) << "service 12 closed the socket";
  run.update_line(4);
  EXPECT_FALSE(port_free()) << "the next update set the socket up again";
  ASSERT_EQ(run.finish(), 0);
  EXPECT_EQ(run.summary()["services"], 2) << "the scenario's and the one at shutdown";
}

TEST(HostEndToEnd, IconTurnsBlackSixtySecondsAfterTheBindAndClicksRestartTheCount) {
  ORBITUNE_REQUIRE_ISOLATED_NETWORK();
  HostRun run(R"j({"actions": [{"at": 3, "pause_s": 61}, {"at": 5, "click": true},
                             {"at": 6, "click": true}]})j",
              {"--updates", "6", "--fast"});
  ASSERT_EQ(run.finish(), 0);
  std::string icons, flags;
  for (const Json& j : run.updates()) {
    icons += std::to_string(j["icon"].get<int>());
    flags += j["flag30"].get<bool>() ? '1' : '0';
  }
  EXPECT_EQ(icons, "003320");
  // The module sets bit 30 with the first black icon and never clears it.
  EXPECT_EQ(flags, "001111");
}

// A path as a Windows program under Wine sees it: the Unix root is drive Z.
std::string wine_path(const std::string& unix_path) {
  std::string p = "Z:" + unix_path;
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(HostEndToEnd, WindowsBuildUnderWineSendsTheSameBytesAsTheNativeBuild) {
  ORBITUNE_REQUIRE_ISOLATED_NETWORK();
  const std::string wine = std::string(ORBITUNE_SOURCE_DIR) + "/scripts/wine32.sh";
  const std::string exe = std::string(ORBITUNE_WINDOWS_BUILD_DIR) + "/tools/host/orbitune-host.exe";
  const std::string gau = std::string(ORBITUNE_WINDOWS_BUILD_DIR) + "/gauge/orbituneFS2004.gau";
  for (const std::string& needed : {wine, exe, gau}) {
    if (::access(needed.c_str(), F_OK) != 0)
      GTEST_SKIP() << "the Windows comparison needs " << needed
                   << " (build the windows preset; scripts/wine32.sh runs it)";
  }
  const TempDir temp;
  const std::string& dir = temp.path();
  std::ofstream(dir + "/scenario.json") << R"j({
    "vars": {"0x41": -650.0, "0x47": -1234567.75, "0x48": 12345678901234.0, "0x4A": 12345.6,
             "0x4E": -1.25, "0x50": 7.5, "0x56": 359.5, "0x52": 12.0, "0x148": 12345.0,
             "0x40": 4321.0, "0x158": 181.0, "0x315": 0.07, "0x18": 4400, "0x26": 4660,
             "0x73": 1.0, "0x7B": 1.0, "0x74": 245.0},
    "expressions": {"(A:ATC ID,string)": "D-EWIN", "(A:GROUND VELOCITY,knots)": 151.3,
                    "(A:AIRSPEED TRUE,knots)": 163.7, "(A:TOTAL WEIGHT,Pounds)": 2400.5,
                    "(A:EMPTY WEIGHT,Pounds)": 1650.25, "(A:SIGMA SQRT,Number)": 0.93,
                    "(A:AMBIENT DENSITY,Slugs per cubic feet)": 0.00211,
                    "(A:AUTOPILOT FLIGHT DIRECTOR PITCH,Radians)": 0.031,
                    "(A:BAROMETER PRESSURE,Milibars)": 1009.4, "(E:LOCAL TIME,Seconds)": 3601},
    "gps": {"active": 0, "waypoints": [
      {"ident": "EDDF", "lat": 50.033, "lon": 8.57, "alt_m": 111.0},
      {"ident": "", "lat": -33.9, "lon": 151.2, "alt_m": 6.5}]}})j";
  LoopbackSocket group = group_listener();
  const std::string common = " --updates 20 --fast";
  const std::string native = std::string(ORBITUNE_HOST_PROGRAM) + " --module " +
                             ORBITUNE_MODULE_FILE + " --scenario " + dir + "/scenario.json" +
                             " --workdir " + dir + " --trace " + dir + "/native.trace" + common;
  ASSERT_EQ(std::system(native.c_str()), 0);
  group.drain();
  const std::vector<Bytes> native_datagrams = std::move(group.received);
  group.received.clear();

  const std::string windows = wine + " " + exe + " --module '" + wine_path(gau) + "' --scenario '" +
                              wine_path(dir + "/scenario.json") + "' --workdir '" + wine_path(dir) +
                              "' --trace '" + wine_path(dir + "/wine.trace") + "'" + common;
  ASSERT_EQ(std::system(windows.c_str()), 0);
  group.drain();

  ASSERT_EQ(native_datagrams.size(), 2u) << "a position and a route at update 20";
  EXPECT_EQ(id_string(group), "PR");
  EXPECT_EQ(group.received, native_datagrams) << "identical bytes for identical host values";
  EXPECT_EQ(read_file(dir + "/wine.trace"), read_file(dir + "/native.trace"));
}

// Failures the program reports with a message and its own exit status.
struct FailureCase {
  const char* scenario;
  const char* module;  // null: the real module
  int status;
};

TEST(HostEndToEnd, BadInputsEndTheRunWithANonZeroStatus) {
  const FailureCase cases[] = {
      {R"j({"vars": {"0x18": 1.5}})j", nullptr, 2},               // a value of the wrong kind
      {R"j({"actions": [{"at": 1, "click": 1}]})j", nullptr, 2},  // a click is true or an object
      {"{}", "/nonexistent/module.so", 3},                        // no module file
      {"{}", ORBITUNE_HOST_PROGRAM, 3},                           // a file that is no shared object
  };
  for (const FailureCase& c : cases) {
    const TempDir temp;
    const std::string& dir = temp.path();
    std::ofstream(dir + "/s.json") << c.scenario;
    const std::string command = std::string(ORBITUNE_HOST_PROGRAM) + " --module " +
                                (c.module ? c.module : ORBITUNE_MODULE_FILE) + " --scenario " +
                                dir + "/s.json --updates 1 --fast 2>/dev/null";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), c.status) << c.scenario;
  }
}

}  // namespace
}  // namespace orbitune
