#include "tools/host/host_session.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace orbitune::host {
namespace {

HostSession* active_session = nullptr;

// A well-formed gauge is a handful of elements; the bounds only stop a
// corrupt record from sending the walk round in circles.
constexpr int kMaxElementDepth = 8;
constexpr int kMaxChildren = 64;
constexpr int kMaxMouseRects = 64;
constexpr std::uint32_t kIconFlagBit30 = 0x40000000;
constexpr int kIconCount = 4;

template <typename F>
void walk_elements(ElementHeader* e, F&& f, int depth = 0) {
  if (e == nullptr || depth > kMaxElementDepth) return;
  f(e);
  if (e->children == nullptr) return;
  for (int i = 0; i < kMaxChildren && e->children[i] != nullptr; ++i)
    walk_elements(e->children[i], f, depth + 1);
}

HostSession& session() {
  return *active_session;
}

void ORBITUNE_HOSTCALL host_element_list_query(void* root) {
  session().on_element_list("query", root);
}
void ORBITUNE_HOSTCALL host_element_list_install(void* root, void* resource_handle) {
  session().on_install(root, resource_handle);
}
void ORBITUNE_HOSTCALL host_element_list_initialize(void* root) {
  session().on_element_list("initialize", root);
}
void ORBITUNE_HOSTCALL host_element_list_update(void* root) {
  session().on_update(root);
}
void ORBITUNE_HOSTCALL host_element_list_generate(void* root, std::uint32_t) {
  session().on_element_list("generate", root);
}
void ORBITUNE_HOSTCALL host_element_list_plot(void* root) {
  session().on_element_list("plot", root);
}
void ORBITUNE_HOSTCALL host_element_list_kill(void* root) {
  session().on_element_list("kill", root);
}
void ORBITUNE_HOSTCALL host_trigger_key_event(std::uint32_t id, std::uint32_t value) {
  session().on_key_event(id, value);
}
void ORBITUNE_HOSTCALL host_initialize_var_by_name(ModuleVar* var, const char* name) {
  if (var != nullptr) session().aircraft().initialize_var_by_name(var, name);
}
void ORBITUNE_HOSTCALL host_lookup_var(ModuleVar* var) {
  if (var != nullptr) session().aircraft().lookup_var(var);
}
std::int32_t ORBITUNE_HOSTCALL host_execute_calculator_code(const char* text, double* f64_out,
                                                            std::int32_t* i32_out,
                                                            const char** text_out) {
  session().aircraft().execute_calculator_code(text, f64_out, i32_out, text_out);
  return 1;
}

// A slot this host does not offer. Its arguments are unknown, so with the
// callee-cleans convention it could not even return safely: it ends the run.
template <std::size_t Slot>
void ORBITUNE_HOSTCALL unsupported_service() {
  std::fprintf(stderr,
               "orbitune-host: the module called panel service 0x%zX, which this host does "
               "not provide\n",
               Slot * 4);
  std::fflush(stderr);
  std::_Exit(4);
}

template <typename Fn>
void put(HostSession::PanelTable& table, std::size_t byte_offset, Fn fn) {
  // Function and data pointers have the same size on every target this host
  // builds for; the module reads the slot back the same way.
  static_assert(sizeof(Fn) == sizeof(void*));
  std::memcpy(&table[panel_slot_index(byte_offset)], &fn, sizeof fn);
}

template <std::size_t... Slots>
void fill_unsupported(HostSession::PanelTable& table, std::index_sequence<Slots...>) {
  (put(table, Slots * 4, &unsupported_service<Slots>), ...);
}

}  // namespace

bool find_gauge_records(const Linkage& linkage, GaugeRecords& records, std::string& error) {
  records = GaugeRecords{};
  if (linkage.module_id != kModuleId || linkage.link_version != kLinkVersion) {
    error = "Linkage has module id " + std::to_string(linkage.module_id) + " and link version " +
            std::to_string(linkage.link_version) + "; this host drives module id 19 version 0x900";
    return false;
  }
  records.header = linkage.gauges[0];
  if (records.header == nullptr) {
    error = "Linkage lists no gauge";
    return false;
  }
  if (records.header->version != kGaugeHeaderVersion) {
    error = "the gauge header has version " + std::to_string(records.header->version);
    return false;
  }
  if (records.header->elements == nullptr || *records.header->elements == nullptr) {
    error = "the gauge header has no element tree";
    return false;
  }
  records.root = static_cast<ElementHeader*>(*records.header->elements);
  walk_elements(records.root, [&](ElementHeader* e) {
    if (records.icon == nullptr && e->kind == kElementIcon)
      records.icon = reinterpret_cast<IconElement*>(e);
  });
  if (records.icon == nullptr || records.icon->update_callback == nullptr) {
    error = "the element tree holds no icon element with an update callback";
    return false;
  }
  if (records.icon->icon_count == 0 || records.icon->icon_count > kIconCount) {
    error = "the icon element declares " + std::to_string(records.icon->icon_count) + " icons";
    return false;
  }
  MouseRect* rects = records.header->mouse_rects;
  for (int i = 0; rects != nullptr && i < kMaxMouseRects && rects[i].kind != kMouseRectEnd; ++i) {
    if (rects[i].kind == kMouseRectClick && records.click_area == nullptr)
      records.click_area = &rects[i];
  }
  return true;
}

HostSession::HostSession(Aircraft& aircraft, GaugeRecords records)
    : aircraft_(aircraft), records_(records) {
  fill_unsupported(table_, std::make_index_sequence<std::tuple_size_v<PanelTable>>{});
  put(table_, panel_slot::element_list_query, &host_element_list_query);
  put(table_, panel_slot::element_list_install, &host_element_list_install);
  put(table_, panel_slot::element_list_initialize, &host_element_list_initialize);
  put(table_, panel_slot::element_list_update, &host_element_list_update);
  put(table_, panel_slot::element_list_generate, &host_element_list_generate);
  put(table_, panel_slot::element_list_plot, &host_element_list_plot);
  put(table_, panel_slot::element_list_kill, &host_element_list_kill);
  put(table_, panel_slot::trigger_key_event, &host_trigger_key_event);
  put(table_, panel_slot::initialize_var_by_name, &host_initialize_var_by_name);
  put(table_, panel_slot::lookup_var, &host_lookup_var);
  put(table_, panel_slot::execute_calculator_code, &host_execute_calculator_code);
  active_session = this;
}

HostSession::~HostSession() {
  if (active_session == this) active_session = nullptr;
}

void HostSession::note_fault(const std::string& what) {
  if (fault_.empty()) fault_ = what;
}

void HostSession::on_element_list(const char* operation, void* root) {
  if (root != records_.root)
    note_fault(std::string("element_list_") + operation +
               " was given an element other than the root");
}

void HostSession::on_install(void* root, void* resource_handle) {
  on_element_list("install", root);
  (void)resource_handle;  // the loader already holds what it stands for
  if (bitmap_loader_ == nullptr) return;
  walk_elements(records_.root, [&](ElementHeader* e) {
    const std::uint32_t count =
        e->kind == kElementIcon ? reinterpret_cast<IconElement*>(e)->icon_count : 1;
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint32_t id = e->resource_id + i;
      if (bitmaps_.count(id) != 0) continue;
      std::vector<std::uint8_t> bmp;
      std::string error;
      if (bitmap_loader_(bitmap_context_, id, bmp, error))
        bitmaps_[id] = std::move(bmp);
      else
        bitmap_errors_.push_back(error);
    }
  });
}

void HostSession::on_update(void* root) {
  on_element_list("update", root);
  walk_elements(records_.root, [&](ElementHeader* e) {
    if (e->kind != kElementIcon) return;
    auto* icon = reinterpret_cast<IconElement*>(e);
    if (icon->update_callback != nullptr) icon_result_ = icon->update_callback(icon);
  });
}

void HostSession::on_key_event(std::uint32_t id, std::uint32_t value) {
  key_events_.push_back({id, value});
  if (!aircraft_.trigger_key_event(id, value)) ++unknown_key_events_;
}

const std::vector<std::uint8_t>* HostSession::bitmap(std::uint32_t resource_id) const {
  const auto it = bitmaps_.find(resource_id);
  return it == bitmaps_.end() ? nullptr : &it->second;
}

std::optional<int> HostSession::update() {
  icon_result_.reset();
  if (records_.header->update != nullptr) records_.header->update();
  if (records_.header->draw != nullptr) records_.header->draw();
  if (!icon_result_) return std::nullopt;
  const double v = *icon_result_;
  if (!(v >= 0.0 && v < records_.icon->icon_count) || v != std::floor(v)) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", v);
    note_fault(std::string("the icon callback returned ") + text + ", which names no icon");
    return std::nullopt;
  }
  return static_cast<int>(v);
}

bool HostSession::click(std::int32_t x, std::int32_t y, std::uint32_t flags) {
  MouseRect* rects = records_.header->mouse_rects;
  for (int i = 0; rects != nullptr && i < kMaxMouseRects && rects[i].kind != kMouseRectEnd; ++i) {
    const MouseRect& r = rects[i];
    if (r.kind != kMouseRectClick || r.target.callback == nullptr) continue;
    const bool inside = x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
    if (!inside || (flags & r.event_mask) == 0) continue;
    const MousePoint where{x - r.x, y - r.y};
    r.target.callback(&where, flags);
    return true;
  }
  return false;
}

bool HostSession::click_in_area(std::uint32_t flags) {
  const MouseRect* r = records_.click_area;
  if (r == nullptr) {
    note_fault("the gauge has no click area to click");
    return false;
  }
  return click(r->x + r->width / 2, r->y + r->height / 2, flags);
}

void HostSession::service(std::int32_t service_id) {
  if (records_.header->gauge_callback != nullptr)
    records_.header->gauge_callback(records_.header, service_id, 0);
}

std::vector<KeyEvent> HostSession::take_key_events() {
  return std::exchange(key_events_, {});
}

bool HostSession::flag30() const {
  return (records_.icon->header.image_flags & kIconFlagBit30) != 0;
}

}  // namespace orbitune::host
