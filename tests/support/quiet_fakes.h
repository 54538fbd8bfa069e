// A host and a socket layer that record nothing and never allocate: for
// measuring the module's own cost and for checking that a call allocates
// nothing, where FakeHost's call log would itself allocate.
#pragma once

#include <cstdint>
#include <cstring>

#include "gauge/host_services.h"
#include "platform/platform.h"

namespace orbitune::testing {

class QuietHost final : public HostServices {
 public:
  std::int64_t lookups = 0;
  std::int64_t evaluations = 0;
  std::int64_t key_events = 0;
  double f64_result = 123.25;
  std::int32_t i32_result = 1;
  const char* text_result = "N172SP";

  void element_list_query(void*) override {}
  void element_list_install(void*, void*) override {}
  void element_list_initialize(void*) override {}
  void element_list_update(void*) override {}
  void element_list_generate(void*, std::uint32_t) override {}
  void element_list_plot(void*) override {}
  void element_list_kill(void*) override {}
  void trigger_key_event(std::uint32_t, std::uint32_t) override { ++key_events; }
  void initialize_var_by_name(ModuleVar* var, const char*) override { var->pointer = nullptr; }
  // Every variable holds a value derived from its token: a float64 that BCD
  // readers see as an int32 in its first four bytes.
  void lookup_var(ModuleVar* var) override {
    ++lookups;
    const double value = 0.5 * static_cast<double>(var->token);
    std::memcpy(var->value, &value, sizeof value);
  }
  void execute_calculator_code(const char*, double* f64_out, std::int32_t* i32_out,
                               const char** text_out) override {
    ++evaluations;
    if (f64_out != nullptr) *f64_out = f64_result;
    if (i32_out != nullptr) *i32_out = i32_result;
    if (text_out != nullptr) *text_out = text_result;
  }
};

// Every operation succeeds; sends are counted, nothing is received.
class QuietSockets final : public SocketLayer {
 public:
  std::int64_t sends = 0;
  std::int64_t bytes_sent = 0;

  std::int32_t startup() override { return 0; }
  SocketHandle open_udp() override { return 3; }
  std::int32_t set_reuse_address(SocketHandle) override { return 0; }
  std::int32_t bind(SocketHandle, const Ipv4SocketAddress&) override { return 0; }
  std::int32_t send_to(SocketHandle, const std::uint8_t*, std::int32_t length,
                       const Ipv4SocketAddress&) override {
    ++sends;
    bytes_sent += length;
    return length;
  }
  Readiness poll_readable(SocketHandle) override { return Readiness::not_readable; }
  ReceiveResult receive_from(SocketHandle, std::uint8_t*, std::int32_t,
                             Ipv4SocketAddress*) override {
    return {ReceiveStatus::error, 0};
  }
  void shutdown_both(SocketHandle) override {}
  void close(SocketHandle) override {}
};

}  // namespace orbitune::testing
