// The host's side of the module file, for tests that load the real module
// (the native shared object, or orbituneFS2004.gau under Wine): a panel-
// services table laid out as the host lays it out, and the host's walk over
// the records the module exports.
//
// Header only, and free of GoogleTest, so that the 32-bit Windows test host
// (tests/windows) and the native tests share one implementation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "gauge/gauge_records.h"
#include "gauge/host_services.h"

namespace orbitune::testing {

// One element-list call the module made into the table.
struct PanelCall {
  std::size_t slot;      // byte offset of the slot called (panel_slot::...)
  void* root;            // the element the call was made on
  std::uintptr_t extra;  // install's resource handle, generate's phase; else 0
};

// A panel-services table with the host's entry points in pointer-sized slots
// at panel_slot_index(offset), the way the module reads it on either build.
// Element-list calls are recorded. The update operation plays the host's
// part: it calls the update callback of each icon element below the root, as
// the host does once per gauge update, and records the icon number returned.
// Variable lookups and expressions answer zero, so a whole cycle can run.
//
// The host's entry points carry no context, so one table is current at a
// time: the most recently constructed one.
class PanelTableDouble {
 public:
  PanelTableDouble() {
    current() = this;
    set(panel_slot::element_list_query, &query);
    set(panel_slot::element_list_install, &install);
    set(panel_slot::element_list_initialize, &initialize);
    set(panel_slot::element_list_update, &update);
    set(panel_slot::element_list_generate, &generate);
    set(panel_slot::element_list_plot, &plot);
    set(panel_slot::element_list_kill, &kill);
    set(panel_slot::trigger_key_event, &trigger_key_event);
    set(panel_slot::initialize_var_by_name, &initialize_var_by_name);
    set(panel_slot::lookup_var, &lookup_var);
    set(panel_slot::execute_calculator_code, &execute_calculator_code);
  }
  ~PanelTableDouble() {
    if (current() == this) current() = nullptr;
  }
  PanelTableDouble(const PanelTableDouble&) = delete;
  PanelTableDouble& operator=(const PanelTableDouble&) = delete;

  // The address the host writes into ImportTable.
  void* table() { return slots_; }

  // Off for tests that must not start the module's cycle (it opens sockets).
  bool call_icon_callbacks = true;

  std::vector<PanelCall> element_calls;
  std::vector<double> icons;  // what each icon update callback returned, in order
  int key_events = 0;
  int variable_lookups = 0;
  int expressions = 0;

 private:
  template <typename Fn>
  void set(std::size_t byte_offset, Fn fn) {
    std::memcpy(&slots_[panel_slot_index(byte_offset)], &fn, sizeof fn);
  }

  static PanelTableDouble*& current() {
    static PanelTableDouble* table = nullptr;
    return table;
  }
  static void record(std::size_t slot, void* root, std::uintptr_t extra = 0) {
    current()->element_calls.push_back({slot, root, extra});
  }

  static void ORBITUNE_HOSTCALL query(void* root) { record(panel_slot::element_list_query, root); }
  static void ORBITUNE_HOSTCALL install(void* root, void* resource_handle) {
    record(panel_slot::element_list_install, root,
           reinterpret_cast<std::uintptr_t>(resource_handle));
  }
  static void ORBITUNE_HOSTCALL initialize(void* root) {
    record(panel_slot::element_list_initialize, root);
  }
  static void ORBITUNE_HOSTCALL update(void* root) {
    record(panel_slot::element_list_update, root);
    auto* element = static_cast<ElementHeader*>(root);
    if (!current()->call_icon_callbacks || element->children == nullptr) return;
    for (ElementHeader** child = element->children; *child != nullptr; ++child) {
      if ((*child)->kind != kElementIcon) continue;
      auto* icon = reinterpret_cast<IconElement*>(*child);
      current()->icons.push_back(icon->update_callback(icon));
    }
  }
  static void ORBITUNE_HOSTCALL generate(void* root, std::uint32_t phase) {
    record(panel_slot::element_list_generate, root, phase);
  }
  static void ORBITUNE_HOSTCALL plot(void* root) { record(panel_slot::element_list_plot, root); }
  static void ORBITUNE_HOSTCALL kill(void* root) { record(panel_slot::element_list_kill, root); }

  static void ORBITUNE_HOSTCALL trigger_key_event(std::uint32_t, std::uint32_t) {
    ++current()->key_events;
  }
  static void ORBITUNE_HOSTCALL initialize_var_by_name(ModuleVar* var, const char*) {
    var->pointer = nullptr;  // no such record here
  }
  static void ORBITUNE_HOSTCALL lookup_var(ModuleVar* var) {
    ++current()->variable_lookups;
    std::memset(var->value, 0, sizeof var->value);
  }
  static std::int32_t ORBITUNE_HOSTCALL execute_calculator_code(const char*, double* f64_out,
                                                                std::int32_t* i32_out,
                                                                const char** text_out) {
    ++current()->expressions;
    if (f64_out != nullptr) *f64_out = 0.0;
    if (i32_out != nullptr) *i32_out = 0;
    if (text_out != nullptr) *text_out = "";
    return 1;
  }

  void* slots_[panel_slot_index(panel_slot::table_bytes)] = {};
};

// The root element as the host finds it: the first gauge of the linkage, its
// element field, and the variable that field points to.
inline ElementHeader* root_element(const Linkage& linkage) {
  return static_cast<ElementHeader*>(*linkage.gauges[0]->elements);
}

// The first icon element among the root's children, or null.
inline IconElement* icon_element(const Linkage& linkage) {
  ElementHeader* root = root_element(linkage);
  if (root->children == nullptr) return nullptr;
  for (ElementHeader** child = root->children; *child != nullptr; ++child) {
    if ((*child)->kind == kElementIcon) return reinterpret_cast<IconElement*>(*child);
  }
  return nullptr;
}

// A mouse event at (x, y) in the gauge, as the host delivers it: to the
// callback of every click area that contains the point and whose event mask
// shares a bit with the event. Returns how many callbacks were reached.
inline int click_gauge(GaugeHeader& gauge, std::int32_t x, std::int32_t y,
                       std::uint32_t event_flags) {
  int reached = 0;
  for (MouseRect* r = gauge.mouse_rects; r->kind != kMouseRectEnd; ++r) {
    if (r->kind != kMouseRectClick) continue;
    const bool inside = x >= r->x && x < r->x + r->width && y >= r->y && y < r->y + r->height;
    if (!inside || (event_flags & r->event_mask) == 0) continue;
    const MousePoint where{x - r->x, y - r->y};
    r->target.callback(&where, event_flags);
    ++reached;
  }
  return reached;
}

}  // namespace orbitune::testing
