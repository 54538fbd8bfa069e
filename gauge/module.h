// The module: one object per subsystem, owned by one instance. The exported
// records reach the single production instance; tests build fresh ones over a
// fake host and, where a failure must be injected, a fake socket layer.
#pragma once

#include "control/remote_settings.h"
#include "gauge/host_services.h"
#include "gauge/update_cycle.h"
#include "net/network.h"
#include "platform/platform.h"
#include "position/position_sampler.h"
#include "route/flight_plan.h"

namespace orbitune {

struct Module {
  Module(HostServices& host_services, SocketLayer& socket_layer, Clock& system_time)
      : host(host_services), sockets(socket_layer), clock(system_time) {}
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  HostServices& host;
  SocketLayer& sockets;
  Clock& clock;

  LinkState link;                  // gauge shell
  NetworkState network;            // network transport
  PositionState position;          // position reporting
  FlightPlanState flight_plan;     // flight-plan reporting
  RemoteSettings remote_settings;  // remote control
};

}  // namespace orbitune
