// A socket layer and a clock for tests: failures on demand, datagrams queued
// by the test, everything sent recorded, and time that moves only when told.
#pragma once

#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/support/call_log.h"

namespace orbitune::testing {

std::string describe(const Ipv4SocketAddress& a);  // "239.224.224.1:2424"

class FakeSockets final : public SocketLayer {
 public:
  explicit FakeSockets(CallLog* log = nullptr) : log_(log) {}

  // Failure injection. A count of -1 fails every time.
  bool startup_fails = false;
  bool open_fails = false;
  int reuse_failures = 0;  // failing set_reuse_address calls before one succeeds
  int bind_failures = 0;   // failing bind calls before one succeeds
  bool poll_fails = false;
  int send_failures = 0;  // failing send_to calls (the attempt is still recorded in `sent`)

  struct Inbound {
    std::vector<std::uint8_t> bytes;
    Ipv4SocketAddress from;
    ReceiveStatus status = ReceiveStatus::datagram;  // dropped/error to inject a failed receive
  };
  void queue(std::vector<std::uint8_t> bytes, Ipv4SocketAddress from);
  void queue_failure(ReceiveStatus status);
  std::size_t queued() const { return inbound_.size(); }

  struct Sent {
    std::vector<std::uint8_t> bytes;
    Ipv4SocketAddress to;
  };
  std::vector<Sent> sent;

  // Counts and state.
  int startups = 0, opens = 0, reuse_calls = 0, bind_calls = 0, polls = 0, receives = 0;
  std::vector<SocketHandle> shut_down, closed;
  std::set<SocketHandle> open_handles;
  std::vector<std::string> misuse;  // calls on a handle that is not open
  std::int32_t last_receive_capacity = 0;

  std::int32_t startup() override;
  SocketHandle open_udp() override;
  std::int32_t set_reuse_address(SocketHandle s) override;
  std::int32_t bind(SocketHandle s, const Ipv4SocketAddress& address) override;
  std::int32_t send_to(SocketHandle s, const std::uint8_t* bytes, std::int32_t length,
                       const Ipv4SocketAddress& to) override;
  Readiness poll_readable(SocketHandle s) override;
  ReceiveResult receive_from(SocketHandle s, std::uint8_t* buffer, std::int32_t capacity,
                             Ipv4SocketAddress* from) override;
  void shutdown_both(SocketHandle s) override;
  void close(SocketHandle s) override;

 private:
  void note(const std::string& line);
  void check_open(SocketHandle s, const char* call);

  CallLog* log_;
  SocketHandle next_handle_ = 3;
  std::deque<Inbound> inbound_;
};

class FakeClock final : public Clock {
 public:
  std::int64_t now = 1'700'000'000;  // seconds since 1970
  int pauses = 0;
  CallLog* log = nullptr;

  std::int64_t now_seconds() override { return now; }
  void pause_100ms() override;
};

}  // namespace orbitune::testing
