#include "gauge/update_cycle.h"

#include "gauge/module.h"

namespace orbitune {

double link_icon_update(Module& m, ElementHeader* element) {
  LinkState& link = m.link;
  if (link.orbitunestatus == kLinkDisabled) {
    // While the link is off nothing moves; refreshing the start time here is
    // what gives a re-enabled link a fresh 60 seconds.
    link.link_start_time = m.clock.now_seconds();
    return kIconDisabled;
  }

  link.poll_result = network_step(m);
  report_position(m);
  age_peers(m);

  link.route_cycle_count += 1;
  if (link.route_cycle_count >= 20) {
    link.route_cycle_count = 0;
    report_route(m);
  }

  link.cycle_time = m.clock.now_seconds();
  const double seconds_since_start = static_cast<double>(link.cycle_time - link.link_start_time);
  if (seconds_since_start > 60.0) {
    // The stale icon wins over a command applied in the same cycle. The bit is
    // never cleared again; what the host makes of it is the host's affair.
    if (element != nullptr) element->image_flags |= kImageFlagStale;
    return kIconStale;
  }
  if (link.poll_result == 1) return kIconCommandApplied;
  return kIconRunning;
}

std::int32_t link_toggle_click(Module& m) {
  m.link.orbitunestatus = m.link.orbitunestatus == kLinkDisabled ? kLinkEnabled : kLinkDisabled;
  return 1;
}

void gauge_service(Module& m, std::int32_t service_id) {
  if (service_id != kServiceKillGauge) return;
  m.flight_plan.gps_data = nullptr;
  close_udp_socket(m);
}

std::int32_t network_step(Module& m) {
  NetworkState& net = m.network;
  if (net.udp_socket < 0) open_udp_socket(m);
  if (net.reciever_to_be_binded == 1) {
    net.reciever_to_be_binded = bind_receiver(m);
    // Refreshed after every attempt, successful or not: while the receiver
    // cannot be bound the icon must not turn stale.
    m.link.link_start_time = m.clock.now_seconds();
  }
  if (net.reciever_to_be_binded == 0) return poll_receive(m);
  return 0;
}

}  // namespace orbitune
