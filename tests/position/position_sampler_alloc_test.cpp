// report_position allocates nothing in the steady state. This program replaces
// the global allocation functions with counting ones and runs the real send
// paths over a host and sockets that do not allocate either, so any
// allocation in the sampler, the packet code or the send paths is counted.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "gauge/module.h"
#include "net/network.h"
#include "platform/socket_address.h"
#include "position/position_sampler.h"
#include "tests/support/fake_platform.h"
#include "tests/support/quiet_fakes.h"

namespace {
bool counting = false;
long allocations = 0;

void* counted_allocation(std::size_t size) {
  if (counting) ++allocations;
  void* p = std::malloc(size == 0 ? 1 : size);
  return p;
}
}  // namespace

void* operator new(std::size_t size) {
  void* p = counted_allocation(size);
  if (p == nullptr) std::abort();
  return p;
}
void* operator new[](std::size_t size) {
  return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return counted_allocation(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return counted_allocation(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

namespace orbitune {
namespace {

TEST(PositionSamplerAllocation, SteadyStateCallsAllocateNothing) {
  testing::QuietHost host;
  testing::QuietSockets sockets;
  testing::FakeClock clock;
  Module m{host, sockets, clock};
  m.network.udp_socket = 3;
  register_peer(m, make_ipv4_address(127, 0, 0, 2, 5000));  // peers exist before the count
  register_peer(m, make_ipv4_address(127, 0, 0, 3, 5001));

  // The counter itself works.
  counting = true;
  delete new int(1);
  counting = false;
  ASSERT_EQ(allocations, 1);

  allocations = 0;
  counting = true;
  for (int i = 0; i < 40; ++i) report_position(m);
  counting = false;
  EXPECT_EQ(allocations, 0);
  // The calls did their work: every report to both peers, two to the group.
  EXPECT_EQ(host.lookups, 40 * 46);
  EXPECT_EQ(host.evaluations, 40 * 28);
  EXPECT_EQ(sockets.sends, 40 * 2 + 2);
  EXPECT_EQ(sockets.bytes_sent, (40 * 2 + 2) * 460);
}

}  // namespace
}  // namespace orbitune
