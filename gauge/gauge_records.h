// The records through which the host finds the gauge: the exported
// ImportTable and Linkage, the gauge header, the display elements and the
// mouse rectangles. Both sides use these declarations: the module builds its
// records from them (gauge/registration.cpp) and the emulated host walks them.
//
// Every record is made of 32-bit words and pointers with no gaps. On the
// 32-bit build the offsets are the ones the host reads and are checked below;
// a 64-bit build keeps the fields and widens the pointers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gauge/host_services.h"

namespace orbitune {

struct GaugeHeader;
struct IconElement;

// Where the click landed inside the click area, in the host's units.
struct MousePoint {
  std::int32_t x;
  std::int32_t y;
};

using ModuleRoutine = void(ORBITUNE_HOSTCALL*)();
using GaugeRoutine = void(ORBITUNE_HOSTCALL*)();
using GaugeInstallRoutine = void(ORBITUNE_HOSTCALL*)(void* resource_handle);
using GaugeGenerateRoutine = void(ORBITUNE_HOSTCALL*)(std::uint32_t phase);
using GaugeServiceCallback = void(ORBITUNE_HOSTCALL*)(GaugeHeader* gauge, std::int32_t service_id,
                                                      std::uint32_t extra);
using IconUpdateCallback = double(ORBITUNE_HOSTCALL*)(IconElement* element);
using MouseCallback = std::int32_t(ORBITUNE_HOSTCALL*)(const MousePoint* where,
                                                       std::uint32_t event_flags);

inline constexpr std::uint32_t kImportTablePanels = 0x0F;
inline constexpr std::uint32_t kModuleId = 0x13;
inline constexpr std::uint32_t kLinkVersion = 0x0900;
inline constexpr std::uint32_t kGaugeHeaderVersion = 800;

// Exported as ordinal 1. The host writes its panel-services table's address
// into `panels` before it calls anything else.
struct ImportTable {
  std::uint32_t kind;  // kImportTablePanels: the table the module asks for
  void* panels;        // the host's panel-services table
  std::uint32_t end_kind;
  void* end_pointer;
};

// Exported as ordinal 2.
struct Linkage {
  std::uint32_t module_id;  // kModuleId
  ModuleRoutine module_init;
  ModuleRoutine module_deinit;
  std::uint32_t reserved1;
  std::uint32_t reserved2;
  std::uint32_t link_version;  // kLinkVersion
  GaugeHeader* gauges[2];      // this module's one gauge, then null
};

struct GaugeHeader {
  std::uint32_t version;  // kGaugeHeaderVersion
  const char* name;       // the gauge's name
  void** elements;        // points to a variable holding the root element's address
  GaugeRoutine query;
  GaugeInstallRoutine install;
  GaugeRoutine initialize;
  GaugeRoutine update;
  GaugeGenerateRoutine generate;
  GaugeRoutine draw;
  GaugeRoutine kill;
  std::uint32_t reserved1;
  std::uint32_t size_mm;  // default size, millimetres
  std::uint32_t host_words1[8];
  struct MouseRect* mouse_rects;
  GaugeServiceCallback gauge_callback;
  std::uint32_t host_words2[29];
};

// The 60-byte header that every display element begins with. Words the host
// owns are declared zero; the module writes only bit 30 of image_flags.
struct ElementHeader {
  std::uint32_t kind;         // kElementStaticImage or kElementIcon
  std::uint32_t resource_id;  // bitmap resource id
  std::int32_t x;             // position in the gauge
  std::int32_t y;
  std::uint32_t host_words[4];  // the host's
  GaugeHeader* gauge_header;    // the gauge this element belongs to
  std::uint32_t host_word;      // the host's
  ElementHeader** children;     // null-terminated list of child elements, or null
  void* failure_record;         // null
  std::uint32_t image_flags;    // the host's display flags; bit 30 set by the module
  std::uint32_t reserved[2];
};

// Element kinds as this gauge declares them.
inline constexpr std::uint32_t kElementStaticImage = 0;
inline constexpr std::uint32_t kElementIcon = 4;

// A static image: the element header and the host's working words.
struct StaticImageElement {
  ElementHeader header;
  std::uint32_t host_words[9];
};

struct IconElement {
  ElementHeader header;
  ModuleVar source;  // the icon's source variable
  std::uint32_t word88;
  std::uint32_t word92;
  std::uint32_t host_words1[4];
  std::uint32_t icon_count;  // icons on consecutive bitmaps from header.resource_id
  std::uint32_t host_words2[4];
  IconUpdateCallback update_callback;  // returns the number of the icon to show
  std::uint32_t word136;
};

inline constexpr std::uint32_t kMouseRectEnd = 0;
inline constexpr std::uint32_t kMouseRectOpening = 1;
inline constexpr std::uint32_t kMouseRectClick = 2;
inline constexpr std::uint32_t kMouseRectClosing = 3;
inline constexpr std::uint32_t kMouseRectTooltip = 4;
inline constexpr std::int32_t kCursorNone = -1;

struct MouseRect {
  std::uint32_t kind;
  std::int32_t x, y, width, height;  // box, from the gauge's top-left corner
  std::int32_t cursor;               // cursor shape, kCursorNone for none
  std::uint32_t word24;
  std::uint32_t event_mask;  // events that reach the callback
  std::uint32_t word32;
  union {
    MouseCallback callback;  // click area
    const char* text;        // tooltip
  } target;
  std::uint32_t word40;
};

// The host reads these records by offset.
static_assert(!kHostPointerWidth || (sizeof(ImportTable) == 16));
static_assert(!kHostPointerWidth ||
              (offsetof(Linkage, link_version) == 20 && offsetof(Linkage, gauges) == 24));
static_assert(!kHostPointerWidth || (sizeof(GaugeHeader) == 204));
static_assert(!kHostPointerWidth ||
              (offsetof(GaugeHeader, query) == 12 && offsetof(GaugeHeader, kill) == 36));
static_assert(!kHostPointerWidth || (offsetof(GaugeHeader, size_mm) == 44));
static_assert(!kHostPointerWidth || (offsetof(GaugeHeader, mouse_rects) == 80));
static_assert(!kHostPointerWidth || (offsetof(GaugeHeader, gauge_callback) == 84));
static_assert(!kHostPointerWidth || (sizeof(ElementHeader) == 60));
static_assert(!kHostPointerWidth || (offsetof(ElementHeader, gauge_header) == 32 &&
                                     offsetof(ElementHeader, children) == 40));
static_assert(!kHostPointerWidth || (offsetof(ElementHeader, image_flags) == 48));
static_assert(!kHostPointerWidth || (sizeof(StaticImageElement) == 96));
static_assert(!kHostPointerWidth || (sizeof(IconElement) == 140));
static_assert(!kHostPointerWidth ||
              (offsetof(IconElement, source) == 60 && offsetof(IconElement, word92) == 92));
static_assert(!kHostPointerWidth || (offsetof(IconElement, icon_count) == 112));
static_assert(!kHostPointerWidth || (offsetof(IconElement, update_callback) == 132));
static_assert(!kHostPointerWidth || (sizeof(MouseRect) == 44));
static_assert(!kHostPointerWidth ||
              (offsetof(MouseRect, cursor) == 20 && offsetof(MouseRect, event_mask) == 28));
static_assert(!kHostPointerWidth || (offsetof(MouseRect, target) == 36));

}  // namespace orbitune
