// The cost of one position report. BM_ReportPosition is a whole
// report_position call over a host and socket layer that only count (no
// peers, so the sends cost one datagram on every 20th call); BM_HostCallsAlone
// is the same 46 refreshes and 28 evaluations without the sampler around
// them, so the difference is the sampler's own arithmetic, encoding and
// sending. BM_Encode and BM_Decode time one packet each way.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "gauge/module.h"
#include "net/network.h"
#include "position/position_packet.h"
#include "position/position_sampler.h"
#include "tests/support/fake_platform.h"
#include "tests/support/quiet_fakes.h"

namespace orbitune {
namespace {

struct Evaluation {
  const char* expression;
  int kind;  // 0 float64, 1 int32, 2 text
};

// The sampler's expressions, in its order.
constexpr Evaluation kEvaluations[28] = {
    {"(A:ATC ID,string)", 2},
    {"(A:ATC MODEL,string)", 2},
    {"(A:ATC FLIGHT NUMBER,string)", 2},
    {"(A:GROUND VELOCITY,knots)", 0},
    {"(A:AIRSPEED INDICATED,knots)", 0},
    {"(A:AIRSPEED TRUE,knots)", 0},
    {"(A:KOHLSMAN SETTING HG, inHg)", 0},
    {"(A:GPS DRIVES NAV1,Bool)", 1},
    {"(A:ADF ACTIVE FREQUENCY:1, KHz)", 0},
    {"(A:ADF ACTIVE FREQUENCY:2, KHz)", 0},
    {"(A:DESIGN SPEED VS0, Knots)", 0},
    {"(A:DESIGN SPEED VS1, Knots)", 0},
    {"(A:DESIGN SPEED VC, Knots)", 0},
    {"(A:AIRSPEED BARBER POLE, Knots)", 0},
    {"(A:MACH MAX OPERATE, Mach)", 0},
    {"(E:ZULU TIME,Seconds)", 1},
    {"(E:LOCAL TIME,Seconds)", 1},
    {"(A:FUEL TOTAL CAPACITY,Gallons)", 0},
    {"(A:FUEL TOTAL QUANTITY WEIGHT,Pounds)", 0},
    {"(A:TOTAL WEIGHT,Pounds)", 0},
    {"(A:EMPTY WEIGHT,Pounds)", 0},
    {"(A:AUTOPILOT FLIGHT DIRECTOR PITCH,Radians)", 0},
    {"(A:AUTOPILOT FLIGHT DIRECTOR BANK,Radians)", 0},
    {"(A:PLANE ALTITUDE,Feet)", 0},
    {"(A:PLANE ALT ABOVE GROUND,Feet)", 0},
    {"(A:AMBIENT DENSITY,Slugs per cubic feet)", 0},
    {"(A:SIGMA SQRT,Number)", 0},
    {"(A:BAROMETER PRESSURE,Milibars)", 0},
};

struct Fixture {
  testing::QuietHost host;
  testing::QuietSockets sockets;
  testing::FakeClock clock;
  Module m{host, sockets, clock};
  Fixture() { m.network.udp_socket = 3; }
};

void BM_ReportPosition(benchmark::State& state) {
  Fixture f;
  for (auto _ : state) report_position(f.m);
  state.counters["datagrams"] = static_cast<double>(f.sockets.sends);
}
BENCHMARK(BM_ReportPosition);

void BM_HostCallsAlone(benchmark::State& state) {
  Fixture f;
  // Through an opaque pointer, as report_position calls them from another
  // translation unit: the compiler must not see the host's type and inline
  // the calls away.
  HostServices* host_pointer = &f.host;
  benchmark::DoNotOptimize(host_pointer);
  HostServices& host = *host_pointer;
  for (auto _ : state) {
    double f64 = 0.0;
    std::int32_t i32 = 0;
    const char* text = nullptr;
    for (ModuleVar& var : f.m.position.vars) host.lookup_var(&var);
    for (const Evaluation& e : kEvaluations) {
      host.execute_calculator_code(e.expression, e.kind == 0 ? &f64 : nullptr,
                                   e.kind == 1 ? &i32 : nullptr, e.kind == 2 ? &text : nullptr);
    }
    benchmark::DoNotOptimize(f64);
    benchmark::DoNotOptimize(i32);
    benchmark::DoNotOptimize(text);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_HostCallsAlone);

void BM_Encode(benchmark::State& state) {
  PositionPacket p{};
  p.message_id = 1;
  p.version = kPositionVersion;
  set_text_field(p.Tailno, "N172SP");
  set_text_field(p.Source, "FS9");
  p.lat = 51.4706;
  p.lon = -0.461941;
  p.wdir = 270.0f;
  p.pos_set = kAllFieldsSet;
  std::uint8_t bytes[kPositionPacketBytes];
  for (auto _ : state) {
    encode_position_packet(p, bytes);
    benchmark::DoNotOptimize(bytes);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Encode);

void BM_Decode(benchmark::State& state) {
  std::uint8_t bytes[kPositionPacketBytes];
  for (std::size_t i = 0; i < sizeof bytes; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 1);
  for (auto _ : state) {
    PositionPacket p = decode_position_packet(bytes);
    benchmark::DoNotOptimize(p);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Decode);

}  // namespace
}  // namespace orbitune
