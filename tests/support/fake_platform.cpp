#include "tests/support/fake_platform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace orbitune::testing {

std::string describe(const Ipv4SocketAddress& a) {
  const std::uint32_t host = net_to_host32(a.address_be);
  char text[32];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u:%u", host >> 24, (host >> 16) & 0xFF,
                (host >> 8) & 0xFF, host & 0xFF, net_to_host16(a.port_be));
  return text;
}

void FakeSockets::note(const std::string& line) {
  if (log_ != nullptr) log_->add(line);
}

void FakeSockets::check_open(SocketHandle s, const char* call) {
  if (open_handles.count(s) == 0) misuse.push_back(std::string(call) + " on " + std::to_string(s));
}

void FakeSockets::queue(std::vector<std::uint8_t> bytes, Ipv4SocketAddress from) {
  inbound_.push_back({std::move(bytes), from, ReceiveStatus::datagram});
}

void FakeSockets::queue_failure(ReceiveStatus status) {
  inbound_.push_back({{}, {}, status});
}

std::int32_t FakeSockets::startup() {
  ++startups;
  note("startup");
  return startup_fails ? -1 : 0;
}

SocketHandle FakeSockets::open_udp() {
  ++opens;
  note("socket");
  if (open_fails) return kNoSocket;
  const SocketHandle s = next_handle_++;
  open_handles.insert(s);
  return s;
}

std::int32_t FakeSockets::set_reuse_address(SocketHandle s) {
  ++reuse_calls;
  note("setsockopt");
  check_open(s, "setsockopt");
  if (reuse_failures != 0) {
    if (reuse_failures > 0) --reuse_failures;
    return -1;
  }
  return 0;
}

std::int32_t FakeSockets::bind(SocketHandle s, const Ipv4SocketAddress& address) {
  ++bind_calls;
  note("bind " + describe(address));
  check_open(s, "bind");
  if (bind_failures != 0) {
    if (bind_failures > 0) --bind_failures;
    return -1;
  }
  return 0;
}

std::int32_t FakeSockets::send_to(SocketHandle s, const std::uint8_t* bytes, std::int32_t length,
                                  const Ipv4SocketAddress& to) {
  note("sendto " + std::to_string(length) + " " + describe(to));
  check_open(s, "sendto");
  sent.push_back({std::vector<std::uint8_t>(bytes, bytes + length), to});
  if (send_failures != 0) {
    if (send_failures > 0) --send_failures;
    return -1;
  }
  return length;
}

Readiness FakeSockets::poll_readable(SocketHandle s) {
  ++polls;
  note("poll");
  check_open(s, "poll");
  if (poll_fails) return Readiness::error;
  return inbound_.empty() ? Readiness::not_readable : Readiness::readable;
}

ReceiveResult FakeSockets::receive_from(SocketHandle s, std::uint8_t* buffer, std::int32_t capacity,
                                        Ipv4SocketAddress* from) {
  ++receives;
  note("recvfrom");
  check_open(s, "recvfrom");
  last_receive_capacity = capacity;
  if (inbound_.empty()) return {ReceiveStatus::dropped, 0};
  Inbound next = std::move(inbound_.front());
  inbound_.pop_front();
  if (next.status != ReceiveStatus::datagram) return {next.status, 0};
  if (next.bytes.size() > static_cast<std::size_t>(capacity)) return {ReceiveStatus::too_long, 0};
  std::copy(next.bytes.begin(), next.bytes.end(), buffer);
  if (from != nullptr) *from = next.from;
  return {ReceiveStatus::datagram, static_cast<std::int32_t>(next.bytes.size())};
}

void FakeSockets::shutdown_both(SocketHandle s) {
  note("shutdown");
  check_open(s, "shutdown");
  shut_down.push_back(s);
}

void FakeSockets::close(SocketHandle s) {
  note("close");
  check_open(s, "close");
  closed.push_back(s);
  open_handles.erase(s);
}

void FakeClock::pause_100ms() {
  ++pauses;
  if (log != nullptr) log->add("pause");
}

}  // namespace orbitune::testing
