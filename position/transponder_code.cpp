#include <cstdint>

#include "position/position_sampler.h"

namespace orbitune {

// The host keeps the squawk as BCD; the packet carries its digits read as a
// decimal number. The nibbles are read from the most significant non-zero one,
// and the first nibble that is no decimal digit ends the number, so a code the
// host should never hold (0x12A4) still gives a bounded result (12), never
// more than eight digits.
std::int32_t bcd_to_decimal(std::int32_t bcd) {
  const std::uint32_t bits = static_cast<std::uint32_t>(bcd);
  int shift = 28;
  while (shift > 0 && ((bits >> shift) & 0xF) == 0) shift -= 4;
  std::int32_t result = 0;
  for (; shift >= 0; shift -= 4) {
    const std::uint32_t nibble = (bits >> shift) & 0xF;
    if (nibble >= 10) break;
    result = result * 10 + static_cast<std::int32_t>(nibble);
  }
  return result;
}

}  // namespace orbitune
