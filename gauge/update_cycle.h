// The update cycle and the link's on/off state: the three callbacks through
// which the host drives the whole module.
#pragma once

#include <cstdint>

#include "gauge/gauge_records.h"

namespace orbitune {

struct Module;

inline constexpr std::int32_t kLinkEnabled = 0;
inline constexpr std::int32_t kLinkDisabled = 2;
inline constexpr std::int32_t kServiceKillGauge = 12;
inline constexpr std::uint32_t kImageFlagStale = 0x40000000;  // bit 30, set with icon 3

// Icon numbers, one per bitmap 0x2100..0x2103.
inline constexpr double kIconRunning = 0.0;
inline constexpr double kIconCommandApplied = 1.0;
inline constexpr double kIconDisabled = 2.0;
inline constexpr double kIconStale = 3.0;

struct LinkState {
  std::int32_t orbitunestatus = kLinkEnabled;  // written only by link_toggle_click
  std::int32_t poll_result = 0;                // network_step's result in this cycle
  std::int32_t route_cycle_count = 0;          // enabled cycles since the last route report, 0..19
  std::int64_t cycle_time = 0;                 // seconds since 1970, near the end of each cycle
  std::int64_t link_start_time = 0;  // seconds since 1970; the 60-second rule counts from it
};

// Runs one cycle of the module and returns the icon to show.
double link_icon_update(Module& m, ElementHeader* element);
// Switches the link between enabled and disabled; takes effect at the next update.
std::int32_t link_toggle_click(Module& m);
// Tears the network down when the host is about to kill the gauge (service 12).
void gauge_service(Module& m, std::int32_t service_id);
// Opens, binds and polls; 1 when the poll applied a remote position packet.
std::int32_t network_step(Module& m);

}  // namespace orbitune
