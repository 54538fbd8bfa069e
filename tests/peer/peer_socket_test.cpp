// orbitune-peer on real sockets, inside the private network namespace: the
// program runs beside the test, which plays the module on loopback (or sends
// to the group routed to loopback) and checks the exact datagrams both ways.
#include <arpa/inet.h>
#include <netinet/in.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/little_endian.h"
#include "position/position_packet.h"
#include "route/route_packet.h"
#include "tests/peer/run_program.h"
#include "tests/support/isolated_network.h"
#include "tests/support/loopback_socket.h"
#include "tools/peer/command.h"
#include "tools/peer/packet_fields.h"

namespace orbitune::peer {
namespace {

using orbitune::testing::AddressReuse;
using orbitune::testing::LoopbackSocket;
using orbitune::testing::ProgramRun;
using orbitune::testing::run_peer_binary;
using namespace std::chrono_literals;

sockaddr_in loopback(std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

// A datagram the test socket received, and where it came from.
struct Received {
  std::vector<std::uint8_t> bytes;
  sockaddr_in from;
};

// The next datagram at `socket` within `timeout_ms`; none when nothing came.
std::optional<Received> receive(const LoopbackSocket& socket, int timeout_ms) {
  Received r{};
  r.bytes = socket.receive(timeout_ms, &r.from);
  if (r.bytes.empty()) return std::nullopt;
  return r;
}

// A port nothing is bound to right now.
std::uint16_t free_port() {
  return LoopbackSocket::peer().port();
}

// Runs the program on a thread; the test works the network meanwhile.
class Background {
 public:
  explicit Background(std::vector<std::string> args)
      : thread_([this, args] {
          run_ = run_peer_binary(args);
          done_ = true;
        }) {}
  ~Background() {
    if (thread_.joinable()) thread_.join();
  }
  bool done() const { return done_; }
  const ProgramRun& finish() {
    thread_.join();
    return run_;
  }

 private:
  ProgramRun run_;
  std::atomic<bool> done_{false};
  std::thread thread_;
};

PositionPacket report(float hdgdial, float altdial) {
  PositionPacket p;
  p.message_id = 1;
  p.version = kPositionVersion;
  set_text_field(p.Tailno, "N77TG");
  set_text_field(p.Source, "FS9");
  p.lat = 47.4489;
  p.lon = -122.3094;
  p.elev = 914.4;
  p.psi = 181.5f;
  p.ias = 140.25f;
  p.hdgdial = hdgdial;
  p.altdial = altdial;
  p.com1freq = 11850;
  p.adf1freq = 353;
  p.xpderc = 7700;
  p.acf_set = p.pos_set = p.ap_set = p.rad_set = kAllFieldsSet;
  return p;
}

std::array<std::uint8_t, kPositionPacketBytes> encoded(const PositionPacket& p) {
  std::array<std::uint8_t, kPositionPacketBytes> bytes;
  encode_position_packet(p, bytes.data());
  return bytes;
}

TEST(PeerSocket, WatchSaysWhenItsPortIsTakenByAProgramThatDoesNotShareIt) {
  ORBITUNE_REQUIRE_ISOLATED_NETWORK();
  const LoopbackSocket owner(INADDR_ANY, 0, AddressReuse::off);  // no address reuse
  ASSERT_TRUE(owner.bound());
  const std::string port = std::to_string(owner.port());
  const ProgramRun run = run_peer_binary({"watch", "--port", port, "--seconds", "1"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.err.find("UDP port " + port + " is already in use"), std::string::npos) << run.err;
}

TEST(PeerSocket, WatchJsonPrintsEveryFieldOfEachPositionAndRouteMessage) {
  ORBITUNE_REQUIRE_ISOLATED_NETWORK();
  const std::uint16_t port = free_port();
  Background watch(
      {"watch", "--port", std::to_string(port), "--json", "--count", "3", "--seconds", "10"});
  const LoopbackSocket module = LoopbackSocket::peer();
  const PositionPacket sent = report(270.0f, 5000.0f);
  const auto position = encoded(sent);
  RoutePacket route;
  route.header = {2, kRouteVersion, 1, 0, 0, 1};
  set_text_field(route.points[0].NAME, "KSEA");
  route.points[0].LAT = 47.449f;
  std::uint8_t route_bytes[kRoutePacketMaxBytes];
  const std::size_t route_length = encode_route_packet(route.header, route.points, route_bytes);
  // Until the program has bound its port, what is sent is lost: keep sending
  // (bounded) until it has its three packets.
  for (int i = 0; i < 200 && !watch.done(); ++i) {
    module.send_to(loopback(port), route_bytes, route_length);
    module.send_to(loopback(port), position.data(), position.size());
    std::this_thread::sleep_for(50ms);
  }
  const ProgramRun& run = watch.finish();
  ASSERT_EQ(run.exit_code, 0) << run.err;
  std::istringstream lines(run.out);
  std::string line;
  int positions = 0, routes = 0;
  while (std::getline(lines, line)) {
    const auto j = nlohmann::json::parse(line);
    if (j["Message ID"] == 1) {
      ++positions;
      std::array<std::uint8_t, kPositionPacketBytes> image{};
      apply_json_to_position_image(j, image.data());
      EXPECT_EQ(image, position);
    } else {
      ++routes;
      EXPECT_EQ(j["segpoints"], 1);
      EXPECT_EQ(j["points"][0]["NAME"], "KSEA");
    }
  }
  EXPECT_EQ(positions, 3);
  EXPECT_GE(routes, 2);  // each position packet went out after a route message
  EXPECT_NE(run.err.find("Summary: 3 position packets"), std::string::npos) << run.err;
}

TEST(PeerSocket, WatchJoinsTheGroupOnANamedInterface) {
  ORBITUNE_REQUIRE_ISOLATED_NETWORK();
  const std::uint16_t port = free_port();
  Background watch({"watch", "--port", std::to_string(port), "--interface", "lo", "--plain",
                    "--count", "2", "--seconds", "10"});
  const LoopbackSocket module = LoopbackSocket::peer();
  sockaddr_in group = loopback(port);
  ::inet_pton(AF_INET, "239.224.224.1", &group.sin_addr);
  const auto position = encoded(report(90.0f, 3000.0f));
  for (int i = 0; i < 200 && !watch.done(); ++i) {
    module.send_to(group, position.data(), position.size());
    std::this_thread::sleep_for(50ms);
  }
  const ProgramRun& run = watch.finish();
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.out.find("group 239.224.224.1 on lo"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("COM1 118.50/"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("ADF1 353 kHz"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("XPDR 7700"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Summary: 2 position packets"), std::string::npos) << run.out;
}

TEST(PeerSocket, WatchRequestsFromItsOwnPortAndShowsWhatComesBack) {
  ORBITUNE_REQUIRE_ISOLATED_NETWORK();
  const LoopbackSocket module = LoopbackSocket::peer();
  const std::string target = "127.0.0.1:" + std::to_string(module.port());
  Background watch({"watch", "--request", target, "--plain", "--count", "2", "--seconds", "10"});
  const auto request = receive(module, 5000);
  ASSERT_TRUE(request);
  EXPECT_EQ(request->bytes, (std::vector<std::uint8_t>{0x10, 0, 0, 0}));
  // The module answers at the request's source port, as the peer registry does.
  const auto position = encoded(report(270.0f, 5000.0f));
  module.send_to(request->from, position.data(), position.size());
  module.send_to(request->from, position.data(), position.size());
  const ProgramRun& run = watch.finish();
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.out.find("first position packet from " + target), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("hdg 182"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("AP off hdg 270 alt 5000"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("1 request sent to " + target), std::string::npos) << run.out;
}

TEST(PeerSocket, SendPutsTheDryRunBytesOnTheWireAndConfirmsTheEcho) {
  ORBITUNE_REQUIRE_ISOLATED_NETWORK();
  const LoopbackSocket module = LoopbackSocket::peer();
  const std::string target = "127.0.0.1:" + std::to_string(module.port());
  const std::vector<std::string> settings = {"--heading", "270", "--altitude", "5000"};
  std::vector<std::string> dry = {"send", target, "--dry-run"};
  dry.insert(dry.end(), settings.begin(), settings.end());
  const ProgramRun printed = run_peer_binary(dry);
  ASSERT_EQ(printed.exit_code, 0);

  std::vector<std::string> args = {"send", target, "--confirm", "5"};
  args.insert(args.end(), settings.begin(), settings.end());
  Background send(args);
  const auto command = receive(module, 5000);
  ASSERT_TRUE(command);
  ASSERT_EQ(command->bytes.size(), kPositionPacketBytes);
  EXPECT_EQ(hex_dump(command->bytes.data(), command->bytes.size()), printed.out);
  const auto request = receive(module, 5000);
  ASSERT_TRUE(request);
  EXPECT_EQ(request->bytes, (std::vector<std::uint8_t>{0x10, 0, 0, 0}));
  EXPECT_EQ(request->from.sin_port, command->from.sin_port);
  // A report from before the command, then one that carries it.
  const auto stale = encoded(report(90.0f, 3000.0f));
  module.send_to(request->from, stale.data(), stale.size());
  const auto applied = encoded(report(270.0f, 5000.0f));
  module.send_to(request->from, applied.data(), applied.size());
  const ProgramRun& run = send.finish();
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.out.find("sent a 460-byte command to " + target), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("command round trip: "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("hdgdial 270, altdial 5000"), std::string::npos) << run.out;
}

TEST(PeerSocket, ConfirmFailsWhenNoReportCarriesTheCommand) {
  ORBITUNE_REQUIRE_ISOLATED_NETWORK();
  const LoopbackSocket module = LoopbackSocket::peer();
  const std::string target = "127.0.0.1:" + std::to_string(module.port());
  Background send({"send", target, "--heading", "270", "--com1", "121.90", "--confirm", "1"});
  ASSERT_TRUE(receive(module, 5000));
  const auto request = receive(module, 5000);
  ASSERT_TRUE(request);
  const auto report_bytes = encoded(report(270.0f, 5000.0f));  // COM1 still 118.50
  module.send_to(request->from, report_bytes.data(), report_bytes.size());
  const ProgramRun& run = send.finish();
  EXPECT_EQ(run.exit_code, 4);
  EXPECT_NE(run.err.find("still waiting for: com1freq 12190"), std::string::npos) << run.err;
}

TEST(PeerSocket, RequestComesFromTheChosenPort) {
  ORBITUNE_REQUIRE_ISOLATED_NETWORK();
  const LoopbackSocket module = LoopbackSocket::peer();
  const std::uint16_t from = free_port();
  const ProgramRun run = run_peer_binary(
      {"request", "127.0.0.1:" + std::to_string(module.port()), "--port", std::to_string(from)});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const auto request = receive(module, 2000);
  ASSERT_TRUE(request);
  EXPECT_EQ(request->bytes, (std::vector<std::uint8_t>{0x10, 0, 0, 0}));
  EXPECT_EQ(ntohs(request->from.sin_port), from);
}

}  // namespace
}  // namespace orbitune::peer
