// The module file's face towards the host: the two exported records and the
// initialised gauge header, elements and mouse rectangles the host finds
// through them, the routines that hand the element tree to the host's
// element-list services, and the one module instance behind the callbacks.
//
// Every record is filled in at build time and left writable: the host writes
// into the words it owns. The module's only run-time write is bit 30 of
// link_icon's image flags, which the update cycle sets with the stale icon.
#include <cstdint>

#include "gauge/gauge_records.h"
#include "gauge/host_services.h"
#include "gauge/module.h"
#include "gauge/update_cycle.h"
#include "platform/platform.h"

namespace orbitune {
namespace {

inline constexpr std::uint32_t kDialResourceId = 0x2100;   // icons 0..3 on 0x2100..0x2103
inline constexpr std::uint32_t kBlackResourceId = 0x2103;  // the background, and icon 3
inline constexpr std::uint32_t kIconCount = 4;
inline constexpr std::uint32_t kDefaultSizeMm = 10;
inline constexpr std::uint32_t kStaticImageFlags = 0x11;
inline constexpr std::uint32_t kIconImageFlags = 3;
inline constexpr std::uint32_t kIconWord92 = 3;
inline constexpr std::uint32_t kIconSourceToken = 0x133;
inline constexpr std::int32_t kClickAreaSize = 80;  // a little larger than the 73x75 bitmaps
inline constexpr std::int32_t kCursorHand = 5;
inline constexpr std::uint32_t kClickEventMask = 0x20000000;

}  // namespace
}  // namespace orbitune

// The host looks these two up by name (and by ordinals 1 and 2 in the Windows
// file's export table), so their names stay unmangled.
extern "C" {
extern orbitune::ImportTable ImportTable;
extern orbitune::Linkage Linkage;
}

namespace orbitune {
namespace {

// Reads the table address at every call: the host writes it after loading the
// file, and the records here are initialised long before.
constinit PanelServicesTable panel_services{&::ImportTable.panels};

Module& the_module() {
  // Built at the first callback, not at load: the host's table is in place by
  // then, and a load that is never followed by an update costs nothing.
  static Module module{panel_services, system_socket_layer(), system_clock()};
  return module;
}

// The root element as the host would find it, through the records, so that a
// host that moved or replaced the tree is followed rather than second-guessed.
void* root_element_of_gauge() {
  return *::Linkage.gauges[0]->elements;
}

void ORBITUNE_HOSTCALL module_init() {}
void ORBITUNE_HOSTCALL module_deinit() {}

void ORBITUNE_HOSTCALL gauge_query() {
  panel_services.element_list_query(root_element_of_gauge());
}
void ORBITUNE_HOSTCALL gauge_install(void* resource_handle) {
  panel_services.element_list_install(root_element_of_gauge(), resource_handle);
}
void ORBITUNE_HOSTCALL gauge_initialize() {
  panel_services.element_list_initialize(root_element_of_gauge());
}
void ORBITUNE_HOSTCALL gauge_update() {
  panel_services.element_list_update(root_element_of_gauge());
}
void ORBITUNE_HOSTCALL gauge_generate(std::uint32_t phase) {
  panel_services.element_list_generate(root_element_of_gauge(), phase);
}
void ORBITUNE_HOSTCALL gauge_draw() {
  panel_services.element_list_plot(root_element_of_gauge());
}
void ORBITUNE_HOSTCALL gauge_kill() {
  panel_services.element_list_kill(root_element_of_gauge());
}

double ORBITUNE_HOSTCALL link_icon_update_callback(IconElement* element) {
  // The cycle copes with a missing element; forming a member's address from
  // a null pointer would not be defined.
  return link_icon_update(the_module(), element == nullptr ? nullptr : &element->header);
}
std::int32_t ORBITUNE_HOSTCALL link_toggle_click_callback(const MousePoint*, std::uint32_t) {
  return link_toggle_click(the_module());
}
void ORBITUNE_HOSTCALL gauge_service_callback(GaugeHeader*, std::int32_t service_id,
                                              std::uint32_t) {
  gauge_service(the_module(), service_id);
}

extern GaugeHeader gauge_header;
extern StaticImageElement background_image;
extern IconElement link_icon;

const char gauge_name[] = "OrbiTune";
const char tooltip_text[] = "Click to enable/disable OrbiTune";

// The header's element field points at this variable, not at the element.
void* root_element = &background_image;

ElementHeader* icon_list[2] = {&link_icon.header, nullptr};

StaticImageElement background_image = {
    .header = {.kind = kElementStaticImage,
               .resource_id = kBlackResourceId,
               .x = 0,
               .y = 0,
               .host_words = {},
               .gauge_header = &gauge_header,
               .host_word = 0,
               .children = icon_list,
               .failure_record = nullptr,
               .image_flags = kStaticImageFlags,
               .reserved = {}},
    .host_words = {},
};

IconElement link_icon = {
    .header = {.kind = kElementIcon,
               .resource_id = kDialResourceId,
               .x = 0,
               .y = 0,
               .host_words = {},
               .gauge_header = &gauge_header,
               .host_word = 0,
               .children = nullptr,
               .failure_record = nullptr,
               .image_flags = kIconImageFlags,
               .reserved = {}},
    .source =
        {.token = kIconSourceToken, .pointer = nullptr, .type = 0, .value = {}, .previous = {}},
    .word88 = 0,
    .word92 = kIconWord92,
    .host_words1 = {},
    .icon_count = kIconCount,
    .host_words2 = {},
    .update_callback = link_icon_update_callback,
    .word136 = 0,
};

constexpr MouseRect empty_rect(std::uint32_t kind) {
  return {.kind = kind,
          .x = 0,
          .y = 0,
          .width = 0,
          .height = 0,
          .cursor = kCursorNone,
          .word24 = 0,
          .event_mask = 0,
          .word32 = 0,
          .target = {.callback = nullptr},
          .word40 = 0};
}

MouseRect click_rects[5] = {
    empty_rect(kMouseRectOpening),
    {.kind = kMouseRectTooltip,
     .x = 0,
     .y = 0,
     .width = 0,
     .height = 0,
     .cursor = kCursorNone,
     .word24 = 0,
     .event_mask = 0,
     .word32 = 0,
     .target = {.text = tooltip_text},
     .word40 = 0},
    {.kind = kMouseRectClick,
     .x = 0,
     .y = 0,
     .width = kClickAreaSize,
     .height = kClickAreaSize,
     .cursor = kCursorHand,
     .word24 = 0,
     .event_mask = kClickEventMask,
     .word32 = 0,
     .target = {.callback = link_toggle_click_callback},
     .word40 = 0},
    empty_rect(kMouseRectClosing),
    empty_rect(kMouseRectEnd),
};

GaugeHeader gauge_header = {
    .version = kGaugeHeaderVersion,
    .name = gauge_name,
    .elements = &root_element,
    .query = gauge_query,
    .install = gauge_install,
    .initialize = gauge_initialize,
    .update = gauge_update,
    .generate = gauge_generate,
    .draw = gauge_draw,
    .kill = gauge_kill,
    .reserved1 = 0,
    .size_mm = kDefaultSizeMm,
    .host_words1 = {},
    .mouse_rects = click_rects,
    .gauge_callback = gauge_service_callback,
    .host_words2 = {},
};

}  // namespace
}  // namespace orbitune

extern "C" {

orbitune::ImportTable ImportTable = {
    .kind = orbitune::kImportTablePanels,
    .panels = nullptr,
    .end_kind = 0,
    .end_pointer = nullptr,
};

orbitune::Linkage Linkage = {
    .module_id = orbitune::kModuleId,
    .module_init = orbitune::module_init,
    .module_deinit = orbitune::module_deinit,
    .reserved1 = 0,
    .reserved2 = 0,
    .link_version = orbitune::kLinkVersion,
    .gauges = {&orbitune::gauge_header, nullptr},
};

}  // extern "C"
