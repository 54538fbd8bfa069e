#include "control/radio_conversions.h"

namespace orbitune {

namespace {

// Keeps the low 32 bits of a result in two's complement.
std::int32_t low_32_bits(std::int64_t v) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(v)));
}

// The sum of digit_j x 16^j over the first `digits` decimal digits of a,
// low digit first. Works in 64 bits: the digits may be negative, and a shift
// of a negative value or a sum beyond int32 must not be undefined.
std::int64_t bcd_digits(std::int64_t a, int digits) {
  std::int64_t result = 0;
  std::int64_t weight = 1;
  for (int i = 0; i < digits && a != 0; ++i) {
    result += (a % 10) * weight;
    a /= 10;
    weight *= 16;
  }
  return result;
}

}  // namespace

std::int32_t freq_to_bcd16(std::int32_t freq) {
  // freq - 10000 leaves int32 for freq near INT32_MIN; four digits of at most
  // +-9 always fit the result.
  return low_32_bits(bcd_digits(std::int64_t{freq} - 10000, 4));
}

std::int32_t adf_freq_to_bcd32(std::int32_t khz) {
  // The product is formed in 64 bits: above 214748 kHz a 32-bit product would
  // overflow. Its seven low digits are then those of (khz mod 1000) x 10000,
  // the same rule that drops the thousands digit of 1700 kHz, and they always
  // fit in int32.
  return low_32_bits(bcd_digits(std::int64_t{khz} * 10000, 7));
}

std::int32_t bcd16_to_freq(std::int32_t bcd) {
  const std::uint32_t bits = static_cast<std::uint32_t>(bcd);
  std::int32_t result = 0;
  std::int32_t weight = 1;
  for (int i = 0; i < 4; ++i) {
    result += static_cast<std::int32_t>((bits >> (4 * i)) & 0xF) * weight;
    weight *= 10;
  }
  return result + 10000;
}

std::int32_t decimal_to_bcd(std::int32_t value) {
  // Ten digits need up to 9 x 16^9, beyond int32. Results that do not fit
  // (eight digits led by 8 or 9, or more digits) keep their low 32 bits; no
  // real radio setting comes near them.
  return low_32_bits(bcd_digits(value, 10));
}

}  // namespace orbitune
