// The host's side of the gauge interface: the panel-services table the module
// calls through, the element walk that reaches the icon's update callback,
// the click rectangles and the gauge callback.
//
// The module's calls carry no context, so the entry points reach the one
// active session through a global, as the simulator reaches its own state.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "gauge/gauge_records.h"
#include "gauge/host_services.h"
#include "tools/host/aircraft.h"

namespace orbitune::host {

struct KeyEvent {
  std::uint32_t id;
  std::uint32_t value;
  friend bool operator==(const KeyEvent&, const KeyEvent&) = default;
};

// The gauge as found through Linkage.
struct GaugeRecords {
  GaugeHeader* header = nullptr;
  ElementHeader* root = nullptr;
  IconElement* icon = nullptr;
  MouseRect* click_area = nullptr;  // the first rectangle of the click kind
};

// Follows Linkage.gauges[0] to the header, the root element, its children and
// the icon element; returns false with the reason when the records are not a
// gauge this host can drive.
bool find_gauge_records(const Linkage& linkage, GaugeRecords& records, std::string& error);

class HostSession {
 public:
  // Pointer-sized slots at the index of each service's byte offset / 4.
  using PanelTable = std::array<void*, panel_slot_index(panel_slot::table_bytes)>;

  HostSession(Aircraft& aircraft, GaugeRecords records);
  ~HostSession();
  HostSession(const HostSession&) = delete;
  HostSession& operator=(const HostSession&) = delete;

  void* panel_table() { return table_.data(); }

  // Bitmaps by resource id, as the install call loaded them.
  using BitmapLoader = bool (*)(void* context, std::uint32_t resource_id,
                                std::vector<std::uint8_t>& bmp, std::string& error);
  void set_bitmap_loader(BitmapLoader loader, void* context) {
    bitmap_loader_ = loader;
    bitmap_context_ = context;
  }
  const std::vector<std::uint8_t>* bitmap(std::uint32_t resource_id) const;
  const std::vector<std::string>& bitmap_errors() const { return bitmap_errors_; }

  // Runs one gauge update through the header's update routine; returns the
  // icon the icon element's callback chose, or nothing when it was not called.
  std::optional<int> update();
  // Hit-tests a click against the click rectangles; true when it reached a
  // click callback.
  bool click(std::int32_t x, std::int32_t y, std::uint32_t flags);
  // A click in the middle of the first click rectangle, with these event bits.
  bool click_in_area(std::uint32_t flags);
  void service(std::int32_t service_id);

  // Key events sent since the last take.
  std::vector<KeyEvent> take_key_events();
  std::uint64_t unknown_key_events() const { return unknown_key_events_; }
  bool flag30() const;
  // A fault the module caused in a host call (a wrong root element, an icon
  // number out of range, a service the host does not offer); empty if none.
  const std::string& fault() const { return fault_; }

  const GaugeRecords& records() const { return records_; }
  Aircraft& aircraft() { return aircraft_; }

  // Entry points of the table.
  void on_element_list(const char* operation, void* root);
  void on_install(void* root, void* resource_handle);
  void on_update(void* root);
  void on_key_event(std::uint32_t id, std::uint32_t value);
  void note_fault(const std::string& what);

 private:
  Aircraft& aircraft_;
  GaugeRecords records_;
  PanelTable table_{};
  std::vector<KeyEvent> key_events_;
  std::uint64_t unknown_key_events_ = 0;
  std::optional<double> icon_result_;
  std::string fault_;
  BitmapLoader bitmap_loader_ = nullptr;
  void* bitmap_context_ = nullptr;
  std::map<std::uint32_t, std::vector<std::uint8_t>> bitmaps_;
  std::vector<std::string> bitmap_errors_;
};

}  // namespace orbitune::host
