// The position sampler: reads the aircraft from the host once per enabled
// cycle and sends it as a position packet.
#pragma once

#include <cstdint>

#include "gauge/host_services.h"

namespace orbitune {

struct Module;

inline constexpr int kSampledVarCount = 46;
inline constexpr std::int32_t kCallsPerMulticast = 20;

// Indexes into PositionState::vars of the two records that remote control
// refreshes as well.
inline constexpr int kVarSpeedControlArm = 15;  // token 0x7B
inline constexpr int kVarFlightDirector = 21;   // token 0x318

// The host variables the sampler refreshes, in refresh order. Two records
// carry token 0, which names no variable.
inline constexpr std::uint32_t kSampledVarTokens[kSampledVarCount] = {
    0x41,  0x47,  0x4A,  0x48,  0x4E,  0x50,  0x56,  0x52,  0x6A,  0x67,  0x6B,  0x6C,
    0x6D,  0x6F,  0x70,  0x7B,  0x73,  0x75,  0x74,  0x76,  0x69,  0x318, 0x77,  0x78,
    0x2D,  0,     0x36,  0,     0x143, 0x145, 0x148, 0x14B, 0x155, 0x315, 0x40,  0x157,
    0x158, 0x18,  0x1B,  0x17,  0x366, 0x269, 0x367, 0x368, 0x369, 0x26};
static_assert(kSampledVarTokens[kVarSpeedControlArm] == 0x7B);
static_assert(kSampledVarTokens[kVarFlightDirector] == 0x318);

struct PositionState {
  ModuleVar vars[kSampledVarCount] = {};  // the 46 host variables, in refresh order
  std::int32_t position_send_count = 0;   // calls since the last multicast send, 0..19

  PositionState() {
    for (int i = 0; i < kSampledVarCount; ++i) vars[i].token = kSampledVarTokens[i];
  }
};

void report_position(Module& m);

// The transponder code: BCD nibbles read back as a decimal number.
std::int32_t bcd_to_decimal(std::int32_t bcd);

}  // namespace orbitune
