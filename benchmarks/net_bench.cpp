// Costs of the network transport in one update, on loopback inside the
// private network namespace (run through scripts/bench.sh or
// scripts/isolated.sh): the unicast send path beside bare sendto calls of the
// same datagrams, a poll that drains a backlog of unicast requests, and the
// per-update walk over the peer list.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "control/remote_control.h"
#include "gauge/module.h"
#include "net/network.h"
#include "net/peer_registry.h"
#include "platform/little_endian.h"
#include "tests/support/fake_host.h"
#include "tests/support/fake_platform.h"
#include "tests/support/isolated_network.h"

namespace orbitune {

// No command is sent here; the poll only needs something to link against.
void apply_remote_settings(Module&, const std::uint8_t*) {}

namespace {

constexpr int kPositionBytes = 460;

bool isolated(benchmark::State& state) {
  const std::string problem = testing::network_isolation_problem();
  if (!problem.empty()) state.SkipWithError(("not isolated: " + problem).c_str());
  return problem.empty();
}

// Sockets on 127.0.0.1 that receive the benchmark's datagrams. They are never
// read: once a queue is full the kernel drops what arrives, which costs the
// sender the same as a delivery.
struct Receivers {
  explicit Receivers(int count) {
    for (int i = 0; i < count; ++i) {
      const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
      sockaddr_in a{};
      a.sin_family = AF_INET;
      a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
      socklen_t length = sizeof a;
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
      fds.push_back(fd);
      addresses.push_back(a);
    }
  }
  ~Receivers() {
    for (int fd : fds) ::close(fd);
  }
  std::vector<int> fds;
  std::vector<sockaddr_in> addresses;
};

struct BenchModule {
  testing::FakeHost host;
  testing::FakeClock clock;
  Module m;
  explicit BenchModule(SocketLayer& sockets) : m(host, sockets, clock) {}
  ~BenchModule() { close_udp_socket(m); }
};

std::vector<std::uint8_t> position_message() {
  std::vector<std::uint8_t> bytes(kPositionBytes);
  for (int i = 0; i < kPositionBytes; ++i) bytes[i] = static_cast<std::uint8_t>(i * 13);
  store_le_i32(bytes.data(), kMessagePosition);
  return bytes;
}

void BM_SendUnicastPosition(benchmark::State& state) {
  if (!isolated(state)) return;
  const int peers = static_cast<int>(state.range(0));
  Receivers receivers(peers);
  BenchModule b(system_socket_layer());
  open_udp_socket(b.m);
  // As seed peers, so that all of them are listed whatever their number.
  for (int i = 0; i < peers; ++i) {
    Ipv4SocketAddress& seed = b.m.network.seed_peers[i];
    seed = make_ipv4_address(127, 0, 0, 1, ntohs(receivers.addresses[i].sin_port));
  }
  b.m.network.seed_peer_count = peers;
  register_seed_peers(b.m);
  const std::vector<std::uint8_t> message = position_message();
  for (auto _ : state) {
    benchmark::DoNotOptimize(send_unicast(b.m, message.data()));
  }
  state.SetItemsProcessed(state.iterations() * peers);
}
BENCHMARK(BM_SendUnicastPosition)->Arg(1)->Arg(10)->Arg(100);

void BM_BareSendto(benchmark::State& state) {
  if (!isolated(state)) return;
  const int peers = static_cast<int>(state.range(0));
  Receivers receivers(peers);
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  const std::vector<std::uint8_t> message = position_message();
  for (auto _ : state) {
    for (const sockaddr_in& to : receivers.addresses) {
      benchmark::DoNotOptimize(::sendto(fd, message.data(), kPositionBytes,
                                        MSG_DONTWAIT | MSG_NOSIGNAL,
                                        reinterpret_cast<const sockaddr*>(&to), sizeof to));
    }
  }
  ::close(fd);
  state.SetItemsProcessed(state.iterations() * peers);
}
BENCHMARK(BM_BareSendto)->Arg(1)->Arg(10)->Arg(100);

void BM_PollDrainingUnicastRequests(benchmark::State& state) {
  if (!isolated(state)) return;
  const int requests = static_cast<int>(state.range(0));
  BenchModule b(system_socket_layer());
  open_udp_socket(b.m);
  if (bind_receiver(b.m) != 0) {
    state.SkipWithError("cannot bind the protocol port");
    return;
  }
  const int client = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(kProtocolPort);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::uint8_t request[4];
  store_le_i32(request, kMessageUnicastRequest);
  for (auto _ : state) {
    state.PauseTiming();
    for (int i = 0; i < requests; ++i) {
      ::sendto(client, request, sizeof request, 0, reinterpret_cast<const sockaddr*>(&to),
               sizeof to);
    }
    state.ResumeTiming();
    benchmark::DoNotOptimize(poll_receive(b.m));
  }
  // Every request must have been drained, or the figure means nothing.
  pollfd entry{b.m.network.udp_socket, POLLIN, 0};
  if (::poll(&entry, 1, 0) != 0) state.SkipWithError("requests left queued after a poll");
  if (b.m.network.peer_count != 1) state.SkipWithError("the client was not registered");
  ::close(client);
  state.SetItemsProcessed(state.iterations() * requests);
}
BENCHMARK(BM_PollDrainingUnicastRequests)->Arg(100);

// What an update does to the list besides sending: re-register the seed peers
// (each a walk from the head) and age every node. As a bound, every requested
// peer also renews its request in every update, each renewal a walk too.
void BM_RegisterAndAgeWalk(benchmark::State& state) {
  const int seeds = static_cast<int>(state.range(0));
  testing::FakeSockets sockets;
  BenchModule b(sockets);
  for (int i = 0; i < seeds; ++i) {
    b.m.network.seed_peers[i] = make_ipv4_address(127, 0, 1, static_cast<std::uint8_t>(i), 2424);
  }
  b.m.network.seed_peer_count = seeds;
  std::vector<Ipv4SocketAddress> requested;
  for (int i = 0; i < kMaxRequestedPeers; ++i) {
    requested.push_back(make_ipv4_address(127, 0, 2, 1, static_cast<std::uint16_t>(30000 + i)));
  }
  for (auto _ : state) {
    register_seed_peers(b.m);
    for (const Ipv4SocketAddress& a : requested) register_peer(b.m, a);
    age_peers(b.m);
  }
  if (b.m.network.peer_count != seeds + kMaxRequestedPeers) state.SkipWithError("peers were lost");
  state.counters["peers"] = b.m.network.peer_count;
}
BENCHMARK(BM_RegisterAndAgeWalk)->Arg(100);

}  // namespace
}  // namespace orbitune
