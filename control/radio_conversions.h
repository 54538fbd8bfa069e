// Conversions between the packet's decimal radio values and the host's BCD.
//
// Decimal digits are taken by signed division truncating toward zero, so a
// negative input yields negative digits that are added as such (9999 as a
// frequency gives -1). None of these traps for any int32 input.
#pragma once

#include <cstdint>

namespace orbitune {

// NAV/COM frequency in hundredths of a MHz (11850) to the host's four BCD
// nibbles after the implied leading 1 (0x1850). Only the four low digits of
// freq - 10000 survive.
std::int32_t freq_to_bcd16(std::int32_t freq);

// ADF frequency in whole kHz (353) to seven BCD nibbles of kHz x 10000
// (0x03530000). The thousands digit and above are dropped.
std::int32_t adf_freq_to_bcd32(std::int32_t khz);

// The host's four BCD nibbles (bits 0..15 only) to hundredths of a MHz. A
// nibble of 10..15 counts at its face value.
std::int32_t bcd16_to_freq(std::int32_t bcd);

// A decimal number to one decimal digit per nibble (7700 to 0x7700).
std::int32_t decimal_to_bcd(std::int32_t value);

}  // namespace orbitune
