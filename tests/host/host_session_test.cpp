// The host's side of the gauge interface over gauge records made here by
// hand: the walk from Linkage, the panel-services table as a module calls it
// (slot by slot), the icon callback reached through the element list, the
// click rectangles' hit test and the gauge callback.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "gauge/gauge_records.h"
#include "platform/little_endian.h"
#include "tools/host/host_session.h"

namespace orbitune::host {
namespace {

// What the hand-made gauge saw of the host.
struct Seen {
  void* table = nullptr;  // the host's panel-services table
  void* root_to_pass = nullptr;
  double icon_to_return = 0.0;
  std::vector<IconElement*> icon_calls;
  std::vector<MousePoint> click_points;
  std::vector<std::uint32_t> click_flags;
  std::vector<std::int32_t> services;
};
Seen* seen = nullptr;

template <typename Fn>
Fn table_slot(std::size_t byte_offset) {
  Fn fn;
  std::memcpy(&fn, static_cast<void**>(seen->table) + panel_slot_index(byte_offset), sizeof fn);
  return fn;
}

// The gauge's routines, forwarding as a module does.
void ORBITUNE_HOSTCALL gauge_update() {
  table_slot<ElementListFn>(panel_slot::element_list_update)(seen->root_to_pass);
}
double ORBITUNE_HOSTCALL icon_update(IconElement* element) {
  seen->icon_calls.push_back(element);
  return seen->icon_to_return;
}
std::int32_t ORBITUNE_HOSTCALL toggle_click(const MousePoint* where, std::uint32_t flags) {
  seen->click_points.push_back(*where);
  seen->click_flags.push_back(flags);
  return 1;
}
void ORBITUNE_HOSTCALL gauge_service(GaugeHeader*, std::int32_t id, std::uint32_t) {
  seen->services.push_back(id);
}

// A gauge laid out as the module's: a static image whose one child is the icon.
struct HandMadeGauge {
  HandMadeGauge() {
    header.version = kGaugeHeaderVersion;
    header.elements = &root_variable;
    header.update = &gauge_update;
    header.mouse_rects = rects;
    header.gauge_callback = &gauge_service;
    background.header.kind = kElementStaticImage;
    background.header.resource_id = 0x2103;
    background.header.children = children;
    icon.header.kind = kElementIcon;
    icon.header.resource_id = 0x2100;
    icon.header.image_flags = 3;
    icon.icon_count = 4;
    icon.update_callback = &icon_update;
    children[0] = &icon.header;
    root_variable = &background;
    rects[0].kind = kMouseRectOpening;
    rects[1].kind = kMouseRectTooltip;
    rects[2].kind = kMouseRectClick;
    rects[2].x = 5;
    rects[2].y = 7;
    rects[2].width = 80;
    rects[2].height = 80;
    rects[2].event_mask = 0x20000000;
    rects[2].target.callback = &toggle_click;
    rects[3].kind = kMouseRectClosing;
    rects[4].kind = kMouseRectEnd;
    linkage.module_id = kModuleId;
    linkage.link_version = kLinkVersion;
    linkage.gauges[0] = &header;
  }
  HandMadeGauge(const HandMadeGauge&) = delete;

  GaugeHeader header{};
  StaticImageElement background{};
  IconElement icon{};
  ElementHeader* children[2] = {};
  void* root_variable = nullptr;
  MouseRect rects[5]{};
  Linkage linkage{};
};

class HostSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    seen = &seen_;
    std::string error;
    ASSERT_TRUE(find_gauge_records(gauge_.linkage, records_, error)) << error;
  }
  void TearDown() override { seen = nullptr; }

  // The session with its table handed to the gauge, as ImportTable would.
  HostSession& start() {
    session_ = std::make_unique<HostSession>(aircraft_, records_);
    seen_.table = session_->panel_table();
    seen_.root_to_pass = &gauge_.background;
    return *session_;
  }

  Seen seen_;
  HandMadeGauge gauge_;
  GaugeRecords records_;
  Aircraft aircraft_;
  std::unique_ptr<HostSession> session_;
};

TEST_F(HostSessionTest, FindsTheIconAndTheClickAreaThroughLinkage) {
  EXPECT_EQ(records_.header, &gauge_.header);
  EXPECT_EQ(records_.root, &gauge_.background.header);
  EXPECT_EQ(records_.icon, &gauge_.icon);
  EXPECT_EQ(records_.click_area, &gauge_.rects[2]);
}

TEST_F(HostSessionTest, UpdateReachesTheIconCallbackWithItsElement) {
  HostSession& s = start();
  seen_.icon_to_return = 2.0;
  EXPECT_EQ(s.update(), 2);
  ASSERT_EQ(seen_.icon_calls.size(), 1u);
  EXPECT_EQ(seen_.icon_calls[0], &gauge_.icon);
  EXPECT_FALSE(s.flag30());
  gauge_.icon.header.image_flags |= 0x40000000;
  EXPECT_TRUE(s.flag30());
  EXPECT_TRUE(s.fault().empty());
}

TEST_F(HostSessionTest, AnIconNumberThatNamesNoIconIsAFault) {
  for (double bad : {4.0, -1.0, 1.5, std::numeric_limits<double>::quiet_NaN()}) {
    HostSession& s = start();
    seen_.icon_to_return = bad;
    EXPECT_EQ(s.update(), std::nullopt) << bad;
    EXPECT_NE(s.fault().find("names no icon"), std::string::npos) << bad;
  }
}

TEST_F(HostSessionTest, AnElementOtherThanTheRootIsAFault) {
  HostSession& s = start();
  seen_.root_to_pass = &gauge_.icon;
  s.update();
  EXPECT_EQ(s.fault(), "element_list_update was given an element other than the root");
}

TEST_F(HostSessionTest, TheTableSlotsReachTheAircraft) {
  HostSession& s = start();
  aircraft_.set_var(0x6B, HostValue::of_f64(90.0));
  aircraft_.set_expression("(A:ATC ID,string)", HostValue::of_text("N1"));

  table_slot<TriggerKeyEventFn>(panel_slot::trigger_key_event)(0x101FA, 270);
  table_slot<TriggerKeyEventFn>(panel_slot::trigger_key_event)(0x10001, 0xFFFFFFFF);
  EXPECT_EQ(s.take_key_events(), (std::vector<KeyEvent>{{0x101FA, 270}, {0x10001, 0xFFFFFFFF}}));
  EXPECT_TRUE(s.take_key_events().empty());
  EXPECT_EQ(s.unknown_key_events(), 1u);

  ModuleVar v{};
  v.token = 0x6B;
  table_slot<LookupVarFn>(panel_slot::lookup_var)(&v);
  EXPECT_EQ(load_le_f64(v.value), 270.0) << "the key event turned the heading bug";

  const char* text = nullptr;
  table_slot<ExecuteCalculatorCodeFn>(panel_slot::execute_calculator_code)("(A:ATC ID,string)",
                                                                           nullptr, nullptr, &text);
  EXPECT_STREQ(text, "N1");

  ModuleVar gps{};
  table_slot<InitializeVarByNameFn>(panel_slot::initialize_var_by_name)(&gps, "FS2002 GPS DATA");
  void* record = nullptr;
  std::memcpy(&record, &gps.pointer, sizeof record);
  EXPECT_EQ(record, aircraft_.gps_record());
}

TEST_F(HostSessionTest, ASlotTheHostDoesNotOfferEndsTheRunWithItsOffset) {
  start();
  EXPECT_EXIT(table_slot<ElementListFn>(0x78)(nullptr), ::testing::ExitedWithCode(4),
              "panel service 0x78, which this host does not provide");
}

// A click and whether the click area's callback gets it.
struct ClickCase {
  std::int32_t x, y;
  std::uint32_t flags;
  bool delivered;
  MousePoint where;  // relative to the click area, when delivered
};

std::ostream& operator<<(std::ostream& os, const ClickCase& c) {
  return os << "(" << c.x << ", " << c.y << ") flags 0x" << std::hex << c.flags;
}

// The area is the box (5, 7), 80 by 80, with event mask 0x20000000.
constexpr ClickCase kClicks[] = {
    {10, 10, 0x20000000, true, {5, 3}},    // inside, with the mask's bit
    {5, 7, 0x20000000, true, {0, 0}},      // the top-left corner belongs to the box
    {84, 86, 0x20000000, true, {79, 79}},  // the last unit inside
    {85, 10, 0x20000000, false, {}},       // one past the right edge
    {10, 87, 0x20000000, false, {}},       // one past the bottom edge
    {4, 10, 0x20000000, false, {}},        // left of the box
    {10, 10, 0x10000000, false, {}},       // inside, another event
    {10, 10, 0x20000011, true, {5, 3}},    // the mask's bit among others
};

class HostClickTest : public HostSessionTest, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(HostClickTest, OnlyTheMasksEventsInsideTheBoxReachTheCallback) {
  const ClickCase& c = GetParam();
  HostSession& s = start();
  EXPECT_EQ(s.click(c.x, c.y, c.flags), c.delivered);
  if (!c.delivered) {
    EXPECT_TRUE(seen_.click_points.empty());
    return;
  }
  ASSERT_EQ(seen_.click_points.size(), 1u);
  EXPECT_EQ(seen_.click_points[0].x, c.where.x);
  EXPECT_EQ(seen_.click_points[0].y, c.where.y);
  EXPECT_EQ(seen_.click_flags[0], c.flags);
}

INSTANTIATE_TEST_SUITE_P(ClickArea, HostClickTest, ::testing::ValuesIn(kClicks));

TEST_F(HostSessionTest, AClickInTheAreaLandsInItsMiddleAndServicesReachTheGaugeCallback) {
  HostSession& s = start();
  EXPECT_TRUE(s.click_in_area(0x20000000));
  ASSERT_EQ(seen_.click_points.size(), 1u);
  EXPECT_EQ(seen_.click_points[0].x, 40);
  EXPECT_EQ(seen_.click_points[0].y, 40);
  s.service(12);
  s.service(3);
  EXPECT_EQ(seen_.services, (std::vector<std::int32_t>{12, 3}));
}

// Records that are not a gauge this host can drive.
TEST(HostRecords, RefusesRecordsItCannotDrive) {
  struct Case {
    void (*spoil)(HandMadeGauge&);
    const char* error;
  };
  const Case cases[] = {
      {[](HandMadeGauge& g) { g.linkage.module_id = 0x12; },
       "Linkage has module id 18 and link version 2304; this host drives module id 19 version "
       "0x900"},
      {[](HandMadeGauge& g) { g.linkage.gauges[0] = nullptr; }, "Linkage lists no gauge"},
      {[](HandMadeGauge& g) { g.header.version = 700; }, "the gauge header has version 700"},
      {[](HandMadeGauge& g) { g.root_variable = nullptr; }, "the gauge header has no element tree"},
      {[](HandMadeGauge& g) { g.children[0] = nullptr; },
       "the element tree holds no icon element with an update callback"},
      {[](HandMadeGauge& g) { g.icon.icon_count = 5; }, "the icon element declares 5 icons"},
  };
  for (const Case& c : cases) {
    HandMadeGauge g;
    c.spoil(g);
    GaugeRecords records;
    std::string error;
    EXPECT_FALSE(find_gauge_records(g.linkage, records, error));
    EXPECT_EQ(error, c.error);
  }
}

}  // namespace
}  // namespace orbitune::host
