// The module file as the host sees it: the native shared object loaded with
// dlopen, every word of the records it exports checked by walking them from
// Linkage, and the gauge routines driven through a panel table of our own.
// Nothing here runs an update cycle (that opens sockets; see
// registration_socket_test.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "gauge/gauge_records.h"
#include "tests/gauge/loaded_module.h"
#include "tests/support/panel_table_double.h"

namespace orbitune {
namespace {

using testing::loaded_module;
using testing::PanelCall;
using testing::PanelTableDouble;

template <typename T, std::size_t N>
bool all_zero(const T (&words)[N]) {
  return std::all_of(words, words + N, [](T w) { return w == 0; });
}
bool all_zero(const std::uint8_t* bytes, std::size_t n) {
  return std::all_of(bytes, bytes + n, [](std::uint8_t b) { return b == 0; });
}

class RegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(loaded_module().problem, "");
    import_table = loaded_module().import_table;
    linkage = loaded_module().linkage;
    ASSERT_NE(linkage->gauges[0], nullptr);
    header = linkage->gauges[0];
  }
  // The host's word goes back to what the file holds, for the next test.
  void TearDown() override {
    if (import_table != nullptr) import_table->panels = nullptr;
  }

  ImportTable* import_table = nullptr;
  Linkage* linkage = nullptr;
  GaugeHeader* header = nullptr;
};

TEST_F(RegistrationTest, OnlyTheTwoRecordsAreVisibleToTheHost) {
  // Internals stay inside the file: a host (or a second module) can neither
  // see nor interpose them.
  EXPECT_EQ(::dlsym(loaded_module().handle,
                    "_ZN8orbitune16link_icon_updateERNS_6ModuleEPNS_13ElementHeaderE"),
            nullptr);
  EXPECT_EQ(::dlsym(loaded_module().handle, "gauge_header"), nullptr);
}

TEST_F(RegistrationTest, ImportTableAsksForThePanelServicesAndEndsTheList) {
  EXPECT_EQ(import_table->kind, 0x0Fu);
  EXPECT_EQ(import_table->panels, nullptr);
  EXPECT_EQ(import_table->end_kind, 0u);
  EXPECT_EQ(import_table->end_pointer, nullptr);
}

TEST_F(RegistrationTest, LinkageNamesTheModuleAndItsOneGauge) {
  EXPECT_EQ(linkage->module_id, 0x13u);
  EXPECT_NE(linkage->module_init, nullptr);
  EXPECT_NE(linkage->module_deinit, nullptr);
  EXPECT_EQ(linkage->reserved1, 0u);
  EXPECT_EQ(linkage->reserved2, 0u);
  EXPECT_EQ(linkage->link_version, 0x0900u);
  EXPECT_EQ(linkage->gauges[1], nullptr);
}

TEST_F(RegistrationTest, GaugeHeaderHoldsNameRoutinesSizeRectanglesAndCallback) {
  EXPECT_EQ(header->version, 800u);
  ASSERT_NE(header->name, nullptr);
  EXPECT_EQ(std::strlen(header->name), 8u);
  EXPECT_STREQ(header->name, "OrbiTune");
  ASSERT_NE(header->elements, nullptr);

  // Seven routines, each its own.
  const std::set<void*> routines = {
      reinterpret_cast<void*>(header->query),      reinterpret_cast<void*>(header->install),
      reinterpret_cast<void*>(header->initialize), reinterpret_cast<void*>(header->update),
      reinterpret_cast<void*>(header->generate),   reinterpret_cast<void*>(header->draw),
      reinterpret_cast<void*>(header->kill)};
  EXPECT_EQ(routines.size(), 7u);
  EXPECT_EQ(routines.count(nullptr), 0u);

  EXPECT_EQ(header->reserved1, 0u);
  EXPECT_EQ(header->size_mm, 10u);
  EXPECT_TRUE(all_zero(header->host_words1));
  EXPECT_NE(header->mouse_rects, nullptr);
  EXPECT_NE(header->gauge_callback, nullptr);
  EXPECT_TRUE(all_zero(header->host_words2));
}

// The element header words both elements declare; everything else in the 60
// bytes (host words, failure record, the two last words) is zero.
struct ElementCase {
  const char* name;
  std::uint32_t kind;
  std::uint32_t resource_id;
  std::uint32_t image_flags;
  bool has_children;
};
constexpr ElementCase kElements[] = {
    // The root: the all-black bitmap, holding the icon as its one child.
    {"background_image", 0, 0x2103, 0x11, true},
    // The icon: four icons from the dial bitmap on; no children.
    {"link_icon", 4, 0x2100, 3, false},
};

TEST_F(RegistrationTest, ElementTreeIsTheBackgroundWithTheIconAsItsOnlyChild) {
  auto* root = static_cast<ElementHeader*>(*header->elements);
  ASSERT_NE(root, nullptr);
  ASSERT_NE(root->children, nullptr);
  ElementHeader* icon = root->children[0];
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(root->children[1], nullptr);

  const ElementHeader* elements[] = {root, icon};
  for (std::size_t i = 0; i < std::size(kElements); ++i) {
    const ElementCase& want = kElements[i];
    const ElementHeader& e = *elements[i];
    SCOPED_TRACE(want.name);
    EXPECT_EQ(e.kind, want.kind);
    EXPECT_EQ(e.resource_id, want.resource_id);
    EXPECT_EQ(e.x, 0);
    EXPECT_EQ(e.y, 0);
    EXPECT_TRUE(all_zero(e.host_words));
    EXPECT_EQ(e.gauge_header, header);
    EXPECT_EQ(e.host_word, 0u);
    EXPECT_EQ(e.children != nullptr, want.has_children);
    EXPECT_EQ(e.failure_record, nullptr);
    EXPECT_EQ(e.image_flags, want.image_flags);
    EXPECT_TRUE(all_zero(e.reserved));
  }

  EXPECT_TRUE(all_zero(reinterpret_cast<StaticImageElement*>(root)->host_words));

  const auto& link_icon = *reinterpret_cast<const IconElement*>(icon);
  EXPECT_EQ(link_icon.source.token, 0x133u);
  // Pointer, type, value and previous value: the host's, all zero. Read as
  // bytes, since the packed pointer field is not aligned for a 64-bit read.
  const auto* source = reinterpret_cast<const std::uint8_t*>(&link_icon.source);
  EXPECT_TRUE(all_zero(source + sizeof link_icon.source.token,
                       sizeof link_icon.source - sizeof link_icon.source.token));
  EXPECT_EQ(link_icon.word88, 0u);
  EXPECT_EQ(link_icon.word92, 3u);
  EXPECT_TRUE(all_zero(link_icon.host_words1));
  EXPECT_EQ(link_icon.icon_count, 4u);
  EXPECT_TRUE(all_zero(link_icon.host_words2));
  EXPECT_NE(link_icon.update_callback, nullptr);
  EXPECT_EQ(link_icon.word136, 0u);
}

enum class Target { none, text, callback };
struct RectCase {
  const char* name;
  std::uint32_t kind;
  std::int32_t x, y, width, height;
  std::int32_t cursor;
  std::uint32_t event_mask;
  Target target;
};
constexpr RectCase kRects[] = {
    // Opens the gauge's list of mouse areas.
    {"opening", 1, 0, 0, 0, 0, -1, 0, Target::none},
    // Carries the tooltip text.
    {"tooltip", 4, 0, 0, 0, 0, -1, 0, Target::text},
    // The click area, a little larger than the bitmaps, hand cursor, left clicks.
    {"click area", 2, 0, 0, 80, 80, 5, 0x20000000, Target::callback},
    // Closes the list.
    {"closing", 3, 0, 0, 0, 0, -1, 0, Target::none},
    // End marker.
    {"end of list", 0, 0, 0, 0, 0, -1, 0, Target::none},
};

TEST_F(RegistrationTest, MouseRectanglesAreOpeningTooltipClickAreaClosingAndEnd) {
  const MouseRect* rects = header->mouse_rects;
  for (std::size_t i = 0; i < std::size(kRects); ++i) {
    const RectCase& want = kRects[i];
    const MouseRect& r = rects[i];
    SCOPED_TRACE(want.name);
    EXPECT_EQ(r.kind, want.kind);
    EXPECT_EQ(r.x, want.x);
    EXPECT_EQ(r.y, want.y);
    EXPECT_EQ(r.width, want.width);
    EXPECT_EQ(r.height, want.height);
    EXPECT_EQ(r.cursor, want.cursor);
    EXPECT_EQ(r.word24, 0u);
    EXPECT_EQ(r.event_mask, want.event_mask);
    EXPECT_EQ(r.word32, 0u);
    EXPECT_EQ(r.word40, 0u);
    switch (want.target) {
      case Target::none:
        EXPECT_EQ(r.target.text, nullptr);
        break;
      case Target::text:
        ASSERT_NE(r.target.text, nullptr);
        EXPECT_STREQ(r.target.text, "Click to enable/disable OrbiTune");
        break;
      case Target::callback:
        EXPECT_NE(r.target.callback, nullptr);
        break;
    }
  }
}

// Each gauge routine hands the root element, reached through the records, to
// the element-list service of the same role, passing its one argument on.
struct RoutineCase {
  const char* name;
  void (*call)(GaugeHeader& h);
  std::size_t slot;
  std::uintptr_t extra;
};
constexpr std::uintptr_t kResourceHandle = 0x5A17C0DE;  // what the host gives install
constexpr std::uint32_t kPhase = 0x13579BDF;            // what the host gives generate
constexpr RoutineCase kRoutines[] = {
    {"query", [](GaugeHeader& h) { h.query(); }, panel_slot::element_list_query, 0},
    {"install", [](GaugeHeader& h) { h.install(reinterpret_cast<void*>(kResourceHandle)); },
     panel_slot::element_list_install, kResourceHandle},
    {"initialize", [](GaugeHeader& h) { h.initialize(); }, panel_slot::element_list_initialize, 0},
    {"update", [](GaugeHeader& h) { h.update(); }, panel_slot::element_list_update, 0},
    {"generate", [](GaugeHeader& h) { h.generate(kPhase); }, panel_slot::element_list_generate,
     kPhase},
    {"draw", [](GaugeHeader& h) { h.draw(); }, panel_slot::element_list_plot, 0},
    {"kill", [](GaugeHeader& h) { h.kill(); }, panel_slot::element_list_kill, 0},
};

void PrintTo(const RoutineCase& c, std::ostream* os) {
  *os << c.name;
}

class GaugeRoutineTest : public RegistrationTest,
                         public ::testing::WithParamInterface<RoutineCase> {};

TEST_P(GaugeRoutineTest, CallsItsElementListServiceOnceOnTheRootElement) {
  PanelTableDouble host;
  host.call_icon_callbacks = false;  // no cycle here: it would open sockets
  // Written after loading, as the host does; the module reads it at the call.
  import_table->panels = host.table();

  GetParam().call(*header);

  ASSERT_EQ(host.element_calls.size(), 1u);
  const PanelCall& call = host.element_calls[0];
  EXPECT_EQ(call.slot, GetParam().slot);
  EXPECT_EQ(call.root, *header->elements);
  EXPECT_EQ(call.extra, GetParam().extra);
  EXPECT_EQ(host.key_events + host.variable_lookups + host.expressions, 0);
}

INSTANTIATE_TEST_SUITE_P(Routines, GaugeRoutineTest, ::testing::ValuesIn(kRoutines),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegistrationTest, RoutinesFollowTheTableTheHostWroteLast) {
  PanelTableDouble first;
  first.call_icon_callbacks = false;
  import_table->panels = first.table();
  header->query();
  PanelTableDouble second;
  second.call_icon_callbacks = false;
  import_table->panels = second.table();
  header->draw();

  ASSERT_EQ(first.element_calls.size(), 1u);
  EXPECT_EQ(first.element_calls[0].slot, panel_slot::element_list_query);
  ASSERT_EQ(second.element_calls.size(), 1u);
  EXPECT_EQ(second.element_calls[0].slot, panel_slot::element_list_plot);
}

TEST_F(RegistrationTest, ModuleInitAndDeinitDoNothing) {
  PanelTableDouble host;
  import_table->panels = host.table();
  auto* icon =
      reinterpret_cast<IconElement*>(static_cast<ElementHeader*>(*header->elements)->children[0]);
  const std::vector<std::uint8_t> before(reinterpret_cast<std::uint8_t*>(icon),
                                         reinterpret_cast<std::uint8_t*>(icon + 1));
  const GaugeHeader header_before = *header;

  linkage->module_init();
  linkage->module_deinit();

  EXPECT_TRUE(host.element_calls.empty());
  EXPECT_EQ(host.key_events + host.variable_lookups + host.expressions, 0);
  EXPECT_EQ(std::memcmp(&header_before, header, sizeof *header), 0);
  EXPECT_EQ(std::memcmp(before.data(), icon, before.size()), 0);
}

}  // namespace
}  // namespace orbitune
