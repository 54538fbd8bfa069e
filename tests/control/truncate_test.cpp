// The module's one float-to-integer conversion: truncation toward zero in
// range, saturation outside it, 0 for NaN. The sanitizer build checks that no
// case reaches an out-of-range cast.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "control/truncate.h"

namespace orbitune {
namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Case {
  double in;
  std::int32_t out;
};

constexpr Case kCases[] = {
    {353.9, 353},                                    // ADF frequency: truncated, not rounded
    {-353.9, -353},                                  // toward zero, not down
    {0.99, 0},                                       // below one
    {-0.99, 0},                                      // above minus one
    {-1500.0, -1500},                                // exact negative
    {2147483647.0, kMax},                            // largest exact value
    {2147483647.9, kMax},                            // truncates to the limit
    {2147483648.0, kMax},                            // first value beyond: saturates
    {1e300, kMax},                                   // far beyond
    {kInf, kMax},                                    // infinity
    {-2147483648.0, kMin},                           // smallest exact value
    {-2147483648.9, kMin},                           // truncates to the limit
    {-2147483649.0, kMin},                           // first value beyond: saturates
    {-1e300, kMin},                                  // far beyond
    {-kInf, kMin},                                   // minus infinity
    {std::numeric_limits<double>::denorm_min(), 0},  // tiny
};

TEST(TruncToI32, TruncatesInRangeAndSaturatesOutside) {
  for (const Case& c : kCases) EXPECT_EQ(trunc_to_i32(c.in), c.out) << "input " << c.in;
}

TEST(TruncToI32, NotANumberGivesZero) {
  EXPECT_EQ(trunc_to_i32(std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(trunc_to_i32(-std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(trunc_to_i32(std::numeric_limits<double>::signaling_NaN()), 0);
}

}  // namespace
}  // namespace orbitune
