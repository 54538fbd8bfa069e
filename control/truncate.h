// The one conversion of a floating-point value to an integer in the module.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace orbitune {

// Truncates toward zero, as every float-to-integer conversion of the protocol
// does. A plain cast is undefined for NaN and for values outside int32, and
// both arrive from the host and from peers, so those saturate instead: NaN
// gives 0, anything at or beyond a limit gives that limit.
inline std::int32_t trunc_to_i32(double x) {
  if (std::isnan(x)) return 0;
  // 2^31 is the first value whose truncation no longer fits; -2^31 - 1 the
  // first below INT32_MIN (values in (-2^31 - 1, -2^31] truncate to INT32_MIN).
  if (x >= 2147483648.0) return std::numeric_limits<std::int32_t>::max();
  if (x <= -2147483649.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(x);
}

}  // namespace orbitune
