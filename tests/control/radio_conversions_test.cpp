// The radio conversions: the documented cases as tables, exhaustive checks
// against independent references, and the inputs whose arithmetic would
// overflow int32 (the sanitizer build turns any undefined step into a failure).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "control/radio_conversions.h"
#include "position/position_sampler.h"

namespace orbitune {
namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

struct Case {
  std::int32_t in;
  std::int32_t out;
};

constexpr Case kFreqToBcd16[] = {
    {11850, 0x1850},  // 118.50 MHz
    {10000, 0},       // lowest frequency: all digits zero
    {19999, 0x9999},  // highest four digits
    {10800, 0x0800},  // inner zero digits kept in place
    {21850, 0x1850},  // only the four low digits of freq - 10000 survive
    {0, 0},           // -10000: all four low digits are zero
    {9999, -1},       // -1: one negative digit
    {9990, -16},      // -10: negative tens digit
    {5000, -20480},   // -5000: 0xFFFFB000
    {kMax, 0x3647},   // freq - 10000 still fits; low digits 3647
    {kMin, -0x3648},  // freq - 10000 leaves int32; digits -8 -4 -6 -3
};

constexpr Case kAdfFreqToBcd32[] = {
    {353, 0x03530000},     // the usual ADF standby
    {190, 0x01900000},     // lowest ADF band edge
    {999, 0x09990000},     // highest three-digit value
    {0, 0},                // nothing
    {1000, 0},             // thousands digit lost
    {1700, 0x07000000},    // thousands digit lost, hundreds kept
    {-353, -0x03530000},   // negative digits: 0xFCAD0000
    {214749, 0x07490000},  // first value whose 32-bit product overflows
    {kMax, 0x06470000},    // 64-bit product; kHz mod 1000 = 647
    {kMin, -0x06480000},   // 64-bit product; kHz rem 1000 = -648
};

constexpr Case kBcd16ToFreq[] = {
    {0x1850, 11850},   // 118.50 MHz
    {0, 10000},        // the implied leading 1 alone
    {0x0800, 10800},   // inner zero digit
    {0x11850, 11850},  // bits above 15 ignored
    {0x00F0, 10150},   // nibble F counts as 15
    {-1, 26665},       // all nibbles F, high bits ignored
    {kMin, 10000},     // only bit 31 set
};

constexpr Case kDecimalToBcd[] = {
    {7700, 0x7700},           // emergency squawk
    {1200, 0x1200},           // VFR squawk, 4608
    {7, 7},                   // one digit
    {10, 0x10},               // trailing zero digit
    {0, 0},                   // no digits
    {-1200, -0x1200},         // negative digits, -4608
    {1234567, 0x1234567},     // seven digits
    {79999999, 0x79999999},   // largest result that fits int32
    {99999999, -1717986919},  // 0x99999999 wrapped to its low 32 bits
    {kMax, 0x47483647},       // 0x2147483647 wrapped to its low 32 bits
    {kMin, -1195914824},      // -0x2147483648 wrapped to its low 32 bits
};

constexpr Case kBcdToDecimal[] = {
    {0x7700, 7700},           // emergency squawk
    {0x1200, 1200},           // VFR squawk
    {0x0021, 21},             // leading zero nibbles skipped
    {0, 0},                   // "0"
    {0x12A4, 12},             // nibble A ends the number
    {0xA000, 0},              // first nibble not a digit
    {-1717986919, 99999999},  // 0x99999999: largest result, sign bit set
    {-1, 0},                  // 0xFFFFFFFF
    {0x10000000, 10000000},   // leading nibble in the top position
};

TEST(RadioConversions, FreqToBcd16Cases) {
  for (const Case& c : kFreqToBcd16) EXPECT_EQ(freq_to_bcd16(c.in), c.out) << "freq " << c.in;
}

TEST(RadioConversions, AdfFreqToBcd32Cases) {
  for (const Case& c : kAdfFreqToBcd32) EXPECT_EQ(adf_freq_to_bcd32(c.in), c.out) << "kHz " << c.in;
}

TEST(RadioConversions, Bcd16ToFreqCases) {
  for (const Case& c : kBcd16ToFreq) EXPECT_EQ(bcd16_to_freq(c.in), c.out) << "bcd " << c.in;
}

TEST(RadioConversions, DecimalToBcdCases) {
  for (const Case& c : kDecimalToBcd) EXPECT_EQ(decimal_to_bcd(c.in), c.out) << "value " << c.in;
}

TEST(RadioConversions, BcdToDecimalCases) {
  for (const Case& c : kBcdToDecimal) EXPECT_EQ(bcd_to_decimal(c.in), c.out) << "bcd " << c.in;
}

TEST(RadioConversions, FrequencyRoundTripOverTheWholeBand) {
  for (std::int32_t f = 10000; f <= 19999; ++f) {
    ASSERT_EQ(bcd16_to_freq(freq_to_bcd16(f)), f);
  }
}

// Reference: the low 16 bits printed as four hex digits, each digit's value
// weighted by its decimal place.
std::int32_t reference_bcd16_to_freq(std::int32_t bcd) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", static_cast<unsigned>(bcd) & 0xFFFFu);
  std::int32_t result = 0;
  for (int i = 0; i < 4; ++i) {
    const char h[2] = {text[i], '\0'};
    result = result * 10 + static_cast<std::int32_t>(std::strtol(h, nullptr, 16));
  }
  return result + 10000;
}

TEST(RadioConversions, Bcd16ToFreqMatchesReferenceForEverySixteenBitWord) {
  for (std::int32_t w = 0; w <= 0xFFFF; ++w) {
    // Garbage in the high half must not change the result.
    ASSERT_EQ(bcd16_to_freq(w | 0x5A3C0000), reference_bcd16_to_freq(w)) << w;
  }
}

// Reference: the value's hex text read as a decimal number, stopping at the
// first non-digit.
std::int32_t reference_bcd_to_decimal(std::uint32_t bcd) {
  char text[16];
  std::snprintf(text, sizeof text, "%x", bcd);
  return static_cast<std::int32_t>(std::strtol(text, nullptr, 10));
}

TEST(RadioConversions, BcdToDecimalMatchesReference) {
  for (std::uint32_t w = 0; w <= 0x1FFFF; ++w) {
    ASSERT_EQ(bcd_to_decimal(static_cast<std::int32_t>(w)), reference_bcd_to_decimal(w)) << w;
  }
  // A fixed pseudo-random walk over the rest of the 32-bit range.
  std::uint32_t x = 0x9E3779B9u;
  for (int i = 0; i < 200000; ++i) {
    x = x * 1664525u + 1013904223u;
    ASSERT_EQ(bcd_to_decimal(static_cast<std::int32_t>(x)), reference_bcd_to_decimal(x)) << x;
  }
}

// Reference: the decimal text read as hexadecimal.
std::int32_t reference_decimal_to_bcd(std::int32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  return static_cast<std::int32_t>(std::strtol(text, nullptr, 16));
}

TEST(RadioConversions, DecimalToBcdMatchesReferenceAndInvertsBcdToDecimal) {
  for (std::int32_t v = -99999; v <= 199999; ++v) {
    ASSERT_EQ(decimal_to_bcd(v), reference_decimal_to_bcd(v)) << v;
    if (v >= 0) {
      ASSERT_EQ(bcd_to_decimal(decimal_to_bcd(v)), v) << v;
    }
  }
}

}  // namespace
}  // namespace orbitune
