#include "tests/support/isolated_network.h"

#include <ifaddrs.h>
#include <net/if.h>

#include <fstream>
#include <set>
#include <string>

namespace orbitune::testing {

std::string network_isolation_problem() {
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return "cannot list the network interfaces";
  std::set<std::string> up;
  bool loopback_up = false;
  for (ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
    if ((i->ifa_flags & IFF_UP) == 0) continue;
    if ((i->ifa_flags & IFF_LOOPBACK) != 0) {
      loopback_up = true;
    } else {
      up.insert(i->ifa_name);
    }
  }
  ::freeifaddrs(list);
  if (!up.empty()) {
    std::string names;
    for (const auto& n : up) names += (names.empty() ? "" : ", ") + n;
    return "interfaces other than loopback are up: " + names;
  }
  if (!loopback_up) return "loopback is down";
  // Multicast must be routed to loopback, or a send to the group fails.
  std::ifstream routes("/proc/net/route");
  std::string line;
  bool multicast_route = false;
  while (std::getline(routes, line)) {
    // Destination 224.0.0.0 is 000000E0 in the kernel's little-endian hex.
    if (line.rfind("lo\t000000E0", 0) == 0) multicast_route = true;
  }
  if (!multicast_route) return "no route for 224.0.0.0/4 on loopback";
  return {};
}

}  // namespace orbitune::testing
