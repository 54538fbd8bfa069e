// Commands applied per second: every bit of pos_set, ap_set and rad_set set,
// so each command runs all 38 steps: about 32 key events, two variable
// refreshes and one expression evaluation.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>

#include "control/remote_control.h"
#include "gauge/module.h"
#include "position/position_packet.h"
#include "tests/support/fake_host.h"
#include "tests/support/fake_platform.h"

namespace orbitune {
namespace {

// A host that only counts, so the figure is the applier's own cost.
class CountingHost final : public HostServices {
 public:
  std::uint64_t key_events = 0;
  std::uint32_t parameter_sum = 0;

  void element_list_query(void*) override {}
  void element_list_install(void*, void*) override {}
  void element_list_initialize(void*) override {}
  void element_list_update(void*) override {}
  void element_list_generate(void*, std::uint32_t) override {}
  void element_list_plot(void*) override {}
  void element_list_kill(void*) override {}
  void trigger_key_event(std::uint32_t, std::uint32_t value) override {
    ++key_events;
    parameter_sum += value;
  }
  void initialize_var_by_name(ModuleVar*, const char*) override {}
  void lookup_var(ModuleVar* var) override {
    // Alternate the flags so both branches of the toggling steps run.
    const double v = (key_events & 1) != 0 ? 1.0 : 0.0;
    std::memcpy(var->value, &v, sizeof v);
  }
  void execute_calculator_code(const char*, double*, std::int32_t* i32_out, const char**) override {
    if (i32_out != nullptr) *i32_out = static_cast<std::int32_t>(key_events & 1);
  }
};

void full_command(std::uint8_t out[kPositionPacketBytes]) {
  PositionPacket p;
  p.message_id = 4;
  p.theta = 2.5f;
  p.phi = -12.0f;
  p.beta = 0.5f;
  p.alti = 29.92f;
  p.altdial = 35000.0f;
  p.speeddial = 0.78f;
  p.hdgdial = 270.0f;
  p.vspeeddial = -1500.0f;
  p.fdmode = 2;
  p.speedismach = 1;
  p.speedst = 2;
  p.lnavst = 2;
  p.hdgst = 2;
  p.locst = 1;
  p.altst = 2;
  p.gsst = 2;
  p.obs1p = 123.0f;
  p.obs2p = 45.0f;
  p.apsource = 2;
  p.mfdmode = 3;
  p.mfdshow = 1234;
  p.mfdrange = 80.0f;
  p.nav1freq = 11130;
  p.nav2freq = 11795;
  p.com1freq = 11850;
  p.com2freq = 12190;
  p.adf1freq = 353;
  p.adf2freq = 415;
  p.nav1sfreq = 10800;
  p.nav2sfreq = 11470;
  p.com1sfreq = 12345;
  p.com2sfreq = 13597;
  p.adf1sfreq = 890;
  p.adf2sfreq = 1020;
  p.xpderc = 7700;
  p.xpdermode = 4;
  p.radaux1 = 7;
  p.radaux2 = 9;
  p.acf_set = p.pos_set = p.ap_set = p.rad_set = 0xFFFFFFFFu;
  encode_position_packet(p, out);
}

void BM_ApplyFullCommandCountingHost(benchmark::State& state) {
  std::uint8_t command[kPositionPacketBytes];
  full_command(command);
  CountingHost host;
  testing::FakeSockets sockets;
  testing::FakeClock clock;
  Module m{host, sockets, clock};
  for (auto _ : state) {
    apply_remote_settings(m, command);
    benchmark::DoNotOptimize(host.parameter_sum);
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["key_events_per_command"] =
      static_cast<double>(host.key_events) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ApplyFullCommandCountingHost);

// The same over the tests' recording host, whose bookkeeping (a string per
// call) dominates; cleared each iteration so memory stays flat.
void BM_ApplyFullCommandRecordingHost(benchmark::State& state) {
  std::uint8_t command[kPositionPacketBytes];
  full_command(command);
  testing::FakeHost host;
  testing::FakeSockets sockets;
  testing::FakeClock clock;
  Module m{host, sockets, clock};
  for (auto _ : state) {
    apply_remote_settings(m, command);
    benchmark::DoNotOptimize(host.calls().data());
    host.clear_calls();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ApplyFullCommandRecordingHost);

}  // namespace
}  // namespace orbitune
