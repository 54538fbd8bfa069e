// The update cycle over recording doubles of the operations it drives: the
// doubles below take the place of the network, sampler and route code at link
// time, so these tests see exactly which operation the cycle calls, in which
// order, and what the cycle makes of their results.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "gauge/module.h"
#include "tests/support/fake_host.h"
#include "tests/support/fake_platform.h"

namespace orbitune {
namespace {

struct Script {
  std::vector<std::string> calls;
  std::int32_t bind_result = 0;     // what bind_receiver returns
  std::int32_t poll_result = 0;     // what poll_receive returns
  bool open_creates_socket = true;  // open_udp_socket stores a handle
};
Script* script = nullptr;

}  // namespace

std::int32_t open_udp_socket(Module& m) {
  script->calls.push_back("open_udp_socket");
  if (script->open_creates_socket) m.network.udp_socket = 7;
  return script->open_creates_socket ? 0 : 1;
}
std::int32_t bind_receiver(Module&) {
  script->calls.push_back("bind_receiver");
  return script->bind_result;
}
std::int32_t poll_receive(Module&) {
  script->calls.push_back("poll_receive");
  return script->poll_result;
}
void report_position(Module&) {
  script->calls.push_back("report_position");
}
void age_peers(Module&) {
  script->calls.push_back("age_peers");
}
void report_route(Module&) {
  script->calls.push_back("report_route");
}
void close_udp_socket(Module&) {
  script->calls.push_back("close_udp_socket");
}

namespace {

using testing::FakeClock;
using testing::FakeHost;
using testing::FakeSockets;

class UpdateCycleTest : public ::testing::Test {
 protected:
  UpdateCycleTest() { script = &s; }
  ~UpdateCycleTest() override { script = nullptr; }

  double update() { return link_icon_update(m, &icon); }
  int count(const std::string& name) const {
    int n = 0;
    for (const auto& c : s.calls) n += c == name;
    return n;
  }

  Script s;
  FakeHost host;
  FakeSockets sockets;
  FakeClock clock;
  Module m{host, sockets, clock};
  ElementHeader icon{};
};

TEST_F(UpdateCycleTest, FirstUpdateOpensBindsPollsSamplesAndAges) {
  icon.image_flags = 3;
  EXPECT_EQ(update(), 0.0);
  EXPECT_EQ(s.calls, (std::vector<std::string>{"open_udp_socket", "bind_receiver", "poll_receive",
                                               "report_position", "age_peers"}));
  EXPECT_EQ(m.link.link_start_time, clock.now);
  EXPECT_EQ(m.link.cycle_time, clock.now);
  EXPECT_EQ(m.link.route_cycle_count, 1);
  EXPECT_EQ(m.network.reciever_to_be_binded, 0);
  EXPECT_EQ(icon.image_flags, 3u);
}

TEST_F(UpdateCycleTest, LaterUpdatesOnlyPollOnceBound) {
  update();
  s.calls.clear();
  update();
  EXPECT_EQ(s.calls, (std::vector<std::string>{"poll_receive", "report_position", "age_peers"}));
}

TEST_F(UpdateCycleTest, RouteReportEveryTwentiethEnabledCycleAfterAging) {
  for (int i = 1; i <= 19; ++i) update();
  EXPECT_EQ(count("report_route"), 0);
  s.calls.clear();
  update();
  EXPECT_EQ(s.calls, (std::vector<std::string>{"poll_receive", "report_position", "age_peers",
                                               "report_route"}));
  EXPECT_EQ(m.link.route_cycle_count, 0);
  for (int i = 21; i <= 40; ++i) update();
  EXPECT_EQ(count("report_route"), 2);
}

TEST_F(UpdateCycleTest, DisabledUpdatesDoNotCountTowardsTheRouteReport) {
  for (int i = 0; i < 10; ++i) update();
  link_toggle_click(m);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(update(), 2.0);
  link_toggle_click(m);
  for (int i = 0; i < 9; ++i) update();
  EXPECT_EQ(count("report_route"), 0);
  update();  // the 25th update, the 20th enabled one
  EXPECT_EQ(count("report_route"), 1);
  EXPECT_EQ(count("report_position"), 20);
  EXPECT_EQ(count("age_peers"), 20);
}

TEST_F(UpdateCycleTest, DisabledUpdateRefreshesStartTimeAndDoesNothingElse) {
  link_toggle_click(m);
  clock.now += 500;
  EXPECT_EQ(update(), 2.0);
  EXPECT_TRUE(s.calls.empty());
  EXPECT_EQ(m.link.link_start_time, clock.now);
  EXPECT_EQ(m.link.route_cycle_count, 0);
  EXPECT_EQ(sockets.opens, 0);
}

// The 60-second rule: strictly greater, tested before the command icon.
struct StaleCase {
  std::int64_t seconds_after_bind;
  std::int32_t poll_result;
  double icon;
};
void PrintTo(const StaleCase& c, std::ostream* os) {
  *os << c.seconds_after_bind << " s after the bind, poll result " << c.poll_result;
}
class StaleIconTest : public UpdateCycleTest, public ::testing::WithParamInterface<StaleCase> {};

TEST_P(StaleIconTest, IconFollowsTheSixtySecondRule) {
  const StaleCase c = GetParam();
  update();  // binds; link_start_time = now
  clock.now += c.seconds_after_bind;
  s.poll_result = c.poll_result;
  EXPECT_EQ(update(), c.icon);
  EXPECT_EQ((icon.image_flags & kImageFlagStale) != 0, c.icon == 3.0);
}

INSTANTIATE_TEST_SUITE_P(Cases, StaleIconTest,
                         ::testing::Values(StaleCase{0, 0, 0.0}, StaleCase{0, 1, 1.0},
                                           StaleCase{60, 0, 0.0},  // exactly 60 s: not stale
                                           StaleCase{60, 1, 1.0},
                                           StaleCase{61, 0, 3.0},       // just past
                                           StaleCase{61, 1, 3.0},       // stale beats a command
                                           StaleCase{-3600, 1, 1.0}));  // clock stepped back

TEST_F(UpdateCycleTest, StaleIconPersistsUntilTheLinkIsCycledOff) {
  update();
  clock.now += 61;
  EXPECT_EQ(update(), 3.0);
  s.poll_result = 1;
  for (int i = 0; i < 5; ++i) EXPECT_EQ(update(), 3.0);

  link_toggle_click(m);
  clock.now += 1;
  EXPECT_EQ(update(), 2.0);
  link_toggle_click(m);
  EXPECT_EQ(update(), 1.0);  // the disabled update refreshed the start time
  s.poll_result = 0;
  EXPECT_EQ(update(), 0.0);
  // Bit 30 stays set once a cycle has returned 3, whatever is shown later.
  EXPECT_NE(icon.image_flags & kImageFlagStale, 0u);
}

TEST_F(UpdateCycleTest, StaleCycleWithoutAnElementStillReturnsThree) {
  update();
  clock.now += 61;
  EXPECT_EQ(link_icon_update(m, nullptr), 3.0);
}

TEST_F(UpdateCycleTest, FailedBindKeepsRefreshingStartTimeSoTheIconNeverTurnsStale) {
  s.bind_result = 1;
  for (int i = 0; i < 5; ++i) {
    clock.now += 100;
    EXPECT_EQ(update(), 0.0);
    EXPECT_EQ(m.link.link_start_time, clock.now);
  }
  EXPECT_EQ(count("bind_receiver"), 5);
  EXPECT_EQ(count("poll_receive"), 0);
  EXPECT_EQ(count("open_udp_socket"), 1);  // the socket exists after the first
  s.bind_result = 0;
  update();
  EXPECT_EQ(count("poll_receive"), 1);  // bound and polled in the same step
}

TEST_F(UpdateCycleTest, FailedOpenIsRetriedEveryCycleAndTheCycleGoesOn) {
  s.open_creates_socket = false;
  s.bind_result = 1;
  update();
  update();
  EXPECT_EQ(count("open_udp_socket"), 2);
  EXPECT_EQ(count("report_position"), 2);
}

TEST_F(UpdateCycleTest, TwoClicksBetweenUpdatesChangeNothing) {
  EXPECT_EQ(link_toggle_click(m), 1);
  EXPECT_EQ(link_toggle_click(m), 1);
  EXPECT_EQ(m.link.orbitunestatus, kLinkEnabled);
  EXPECT_EQ(update(), 0.0);
}

TEST_F(UpdateCycleTest, ClickAloneChangesOnlyTheState) {
  link_toggle_click(m);
  EXPECT_EQ(m.link.orbitunestatus, kLinkDisabled);
  EXPECT_TRUE(s.calls.empty());
}

TEST_F(UpdateCycleTest, ServiceTwelveForgetsTheGpsRecordAndClosesTheSocket) {
  std::uint8_t record[256] = {};
  for (std::int32_t id : {0, 1, 11, 13, -12, 0x10C}) {
    m.flight_plan.gps_data = record;
    gauge_service(m, id);
    EXPECT_EQ(m.flight_plan.gps_data, record) << "service " << id;
    EXPECT_TRUE(s.calls.empty()) << "service " << id;
  }
  gauge_service(m, 12);
  EXPECT_EQ(m.flight_plan.gps_data, nullptr);
  EXPECT_EQ(s.calls, (std::vector<std::string>{"close_udp_socket"}));
}

}  // namespace
}  // namespace orbitune
