#include "tools/peer/command.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>

#include "platform/little_endian.h"
#include "tools/peer/packet_fields.h"

namespace orbitune::peer {

namespace {

namespace at = position_offset;

// The bit rule of the autopilot group, proved against the named bits so that a
// typo in either shows at compile time.
constexpr std::uint32_t ap_bit_of(std::size_t offset) {
  if (offset == at::mfdrange) return 1u << 22;
  if (offset == at::mfdshow) return 1u << 23;
  return 1u << ((offset - at::altdial) / 4);
}
constexpr std::uint32_t rad_bit_of(std::size_t offset) {
  return 1u << ((offset - at::nav1pwr) / 4);
}
static_assert(ap_bit_of(at::altdial) == ap_bit::altdial);
static_assert(ap_bit_of(at::speeddial) == ap_bit::speeddial);
static_assert(ap_bit_of(at::hdgdial) == ap_bit::hdgdial);
static_assert(ap_bit_of(at::vspeeddial) == ap_bit::vspeeddial);
static_assert(ap_bit_of(at::fdmode) == ap_bit::fdmode);
static_assert(ap_bit_of(at::speedismach) == ap_bit::speedismach);
static_assert(ap_bit_of(at::speedst) == ap_bit::speedst);
static_assert(ap_bit_of(at::lnavst) == ap_bit::lnavst);
static_assert(ap_bit_of(at::hdgst) == ap_bit::hdgst);
static_assert(ap_bit_of(at::locst) == ap_bit::locst);
static_assert(ap_bit_of(at::altst) == ap_bit::altst);
static_assert(ap_bit_of(at::gsst) == ap_bit::gsst);
static_assert(ap_bit_of(at::obs1p) == ap_bit::obs1p);
static_assert(ap_bit_of(at::obs2p) == ap_bit::obs2p);
static_assert(ap_bit_of(at::apsource) == ap_bit::apsource);
static_assert(ap_bit_of(at::mfdmode) == ap_bit::mfdmode);
static_assert(ap_bit_of(at::mfdrange) == ap_bit::mfdrange);
static_assert(ap_bit_of(at::mfdshow) == ap_bit::mfdshow);
static_assert(rad_bit_of(at::nav1freq) == rad_bit::nav1freq);
static_assert(rad_bit_of(at::nav2freq) == rad_bit::nav2freq);
static_assert(rad_bit_of(at::com1freq) == rad_bit::com1freq);
static_assert(rad_bit_of(at::com2freq) == rad_bit::com2freq);
static_assert(rad_bit_of(at::adf1freq) == rad_bit::adf1freq);
static_assert(rad_bit_of(at::adf2freq) == rad_bit::adf2freq);
static_assert(rad_bit_of(at::nav1sfreq) == rad_bit::nav1sfreq);
static_assert(rad_bit_of(at::nav2sfreq) == rad_bit::nav2sfreq);
static_assert(rad_bit_of(at::com1sfreq) == rad_bit::com1sfreq);
static_assert(rad_bit_of(at::com2sfreq) == rad_bit::com2sfreq);
static_assert(rad_bit_of(at::adf1sfreq) == rad_bit::adf1sfreq);
static_assert(rad_bit_of(at::adf2sfreq) == rad_bit::adf2sfreq);
static_assert(rad_bit_of(at::xpderc) == rad_bit::xpderc);
static_assert(rad_bit_of(at::xpdermode) == rad_bit::xpdermode);
static_assert(rad_bit_of(at::radaux1) == rad_bit::radaux1);
static_assert(rad_bit_of(at::radaux2) == rad_bit::radaux2);
static_assert((pos_bit::alti >> 14) == 1 && at::alti == at::elev + 8 + 11 * 4);

[[noreturn]] void reject(std::string_view option, std::string_view text, const std::string& why) {
  throw std::invalid_argument(std::string(option) + " " + std::string(text) + ": " + why);
}

// An exact decimal such as "118.025" in units of 10^-decimals, or -1 when the
// text is not a plain unsigned decimal with at most `decimals` fraction digits.
// Parsed by hand: 118.50 read as a double and scaled would give 11849.999...
std::int64_t parse_unsigned_decimal(std::string_view text, int decimals) {
  std::int64_t value = 0;
  int fraction_digits = -1;  // -1 until the point
  bool any_digit = false;
  for (const char c : text) {
    if (c == '.') {
      if (fraction_digits >= 0) return -1;
      fraction_digits = 0;
      continue;
    }
    if (c < '0' || c > '9') return -1;
    if (fraction_digits >= 0 && ++fraction_digits > decimals) return -1;
    if (value > 1'000'000'000) return -1;
    value = value * 10 + (c - '0');
    any_digit = true;
  }
  if (!any_digit) return -1;
  for (int d = fraction_digits < 0 ? 0 : fraction_digits; d < decimals; ++d) value *= 10;
  return value;
}

void or_word(PositionImage& image, std::size_t word_offset, std::uint32_t bit) {
  store_le_u32(&image[word_offset], load_le_u32(&image[word_offset]) | bit);
}

void put_f32(PositionImage& image, std::size_t offset, const std::optional<float>& value,
             std::size_t word, std::uint32_t bit) {
  if (!value) return;
  store_le_f32(&image[offset], *value);
  or_word(image, word, bit);
}

void put_i32(PositionImage& image, std::size_t offset, const std::optional<std::int32_t>& value,
             std::size_t word, std::uint32_t bit) {
  if (!value) return;
  store_le_i32(&image[offset], *value);
  or_word(image, word, bit);
}

std::string describe_field(const PositionImage& image, const PositionField& f) {
  char text[64];
  const std::uint8_t* p = &image[f.offset];
  switch (f.kind) {
    case FieldKind::i32:
      std::snprintf(text, sizeof text, "%d", load_le_i32(p));
      break;
    case FieldKind::u32:
      std::snprintf(text, sizeof text, "0x%08X", load_le_u32(p));
      break;
    case FieldKind::f32:
      std::snprintf(text, sizeof text, "%g", double{load_le_f32(p)});
      break;
    case FieldKind::f64:
      std::snprintf(text, sizeof text, "%.9g", load_le_f64(p));
      break;
    case FieldKind::text: {
      // Appended piece by piece: GCC 12 misreads `"\"" + std::string` at -O2
      // as an overlapping copy (-Wrestrict).
      std::string quoted(1, '"');
      quoted.append(text_field(p, f.size));
      quoted.push_back('"');
      return quoted;
    }
  }
  return text;
}

}  // namespace

int marked_field_offset(std::size_t set_word_offset, int bit) {
  if (bit < 0 || bit > 31) return -1;
  if (set_word_offset == at::pos_set) {
    if (bit > 18) return -1;
    if (bit < 3) return static_cast<int>(at::lat + 8 * bit);  // the three float64 fields
    return static_cast<int>(at::theta + 4 * (bit - 3));
  }
  if (set_word_offset == at::ap_set) {
    if (bit == 22) return static_cast<int>(at::mfdrange);
    if (bit == 23) return static_cast<int>(at::mfdshow);
    if (bit > 21) return -1;
    return static_cast<int>(at::altdial + 4 * bit);
  }
  if (set_word_offset == at::rad_set) {
    if (bit > 26) return -1;
    return static_cast<int>(at::nav1pwr + 4 * bit);
  }
  return -1;
}

PositionImage new_command_image() {
  PositionImage image{};
  store_le_i32(&image[at::message_id], kCommandMessageId);
  store_le_i32(&image[at::version], kPositionVersion);
  return image;
}

void apply_command_options(const CommandOptions& o, PositionImage& image) {
  put_f32(image, at::alti, o.alti, at::pos_set, pos_bit::alti);

  put_f32(image, at::altdial, o.altdial, at::ap_set, ap_bit::altdial);
  put_f32(image, at::hdgdial, o.hdgdial, at::ap_set, ap_bit::hdgdial);
  put_f32(image, at::vspeeddial, o.vspeeddial, at::ap_set, ap_bit::vspeeddial);
  // The module reads speedismach before the dial, so one command both selects
  // the hold and sets its dial in the right unit.
  if (o.speed_knots || o.speed_mach) {
    put_i32(image, at::speedismach, o.speed_mach ? 1 : 0, at::ap_set, ap_bit::speedismach);
    put_f32(image, at::speeddial, o.speed_mach ? o.speed_mach : o.speed_knots, at::ap_set,
            ap_bit::speeddial);
  }
  put_i32(image, at::fdmode, o.fdmode, at::ap_set, ap_bit::fdmode);
  put_i32(image, at::hdgst, o.hdgst, at::ap_set, ap_bit::hdgst);
  put_i32(image, at::altst, o.altst, at::ap_set, ap_bit::altst);
  put_i32(image, at::locst, o.locst, at::ap_set, ap_bit::locst);
  put_i32(image, at::gsst, o.gsst, at::ap_set, ap_bit::gsst);
  put_i32(image, at::lnavst, o.lnavst, at::ap_set, ap_bit::lnavst);
  put_i32(image, at::speedst, o.speedst, at::ap_set, ap_bit::speedst);
  put_f32(image, at::obs1p, o.obs1p, at::ap_set, ap_bit::obs1p);
  put_f32(image, at::obs2p, o.obs2p, at::ap_set, ap_bit::obs2p);
  put_i32(image, at::apsource, o.apsource, at::ap_set, ap_bit::apsource);
  put_i32(image, at::mfdmode, o.mfdmode, at::ap_set, ap_bit::mfdmode);
  put_f32(image, at::mfdrange, o.mfdrange, at::ap_set, ap_bit::mfdrange);
  put_i32(image, at::mfdshow, o.mfdshow, at::ap_set, ap_bit::mfdshow);

  put_i32(image, at::nav1freq, o.nav1freq, at::rad_set, rad_bit::nav1freq);
  put_i32(image, at::nav2freq, o.nav2freq, at::rad_set, rad_bit::nav2freq);
  put_i32(image, at::com1freq, o.com1freq, at::rad_set, rad_bit::com1freq);
  put_i32(image, at::com2freq, o.com2freq, at::rad_set, rad_bit::com2freq);
  put_i32(image, at::adf1freq, o.adf1freq, at::rad_set, rad_bit::adf1freq);
  put_i32(image, at::adf2freq, o.adf2freq, at::rad_set, rad_bit::adf2freq);
  put_i32(image, at::nav1sfreq, o.nav1sfreq, at::rad_set, rad_bit::nav1sfreq);
  put_i32(image, at::nav2sfreq, o.nav2sfreq, at::rad_set, rad_bit::nav2sfreq);
  put_i32(image, at::com1sfreq, o.com1sfreq, at::rad_set, rad_bit::com1sfreq);
  put_i32(image, at::com2sfreq, o.com2sfreq, at::rad_set, rad_bit::com2sfreq);
  put_i32(image, at::adf1sfreq, o.adf1sfreq, at::rad_set, rad_bit::adf1sfreq);
  put_i32(image, at::adf2sfreq, o.adf2sfreq, at::rad_set, rad_bit::adf2sfreq);
  put_i32(image, at::xpderc, o.xpderc, at::rad_set, rad_bit::xpderc);
  put_i32(image, at::xpdermode, o.xpdermode, at::rad_set, rad_bit::xpdermode);
  put_i32(image, at::radaux1, o.radaux1, at::rad_set, rad_bit::radaux1);
  put_i32(image, at::radaux2, o.radaux2, at::rad_set, rad_bit::radaux2);
}

std::vector<std::pair<std::string, std::string>> marked_fields(const PositionImage& image) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const std::size_t word : {at::pos_set, at::ap_set, at::rad_set}) {
    const std::uint32_t bits = load_le_u32(&image[word]);
    for (int bit = 0; bit < 32; ++bit) {
      if ((bits & (1u << bit)) == 0) continue;
      const int offset = marked_field_offset(word, bit);
      if (offset < 0) continue;
      for (const auto& f : position_fields()) {
        if (f.offset == static_cast<std::size_t>(offset)) {
          out.emplace_back(std::string(f.name), describe_field(image, f));
        }
      }
    }
  }
  return out;
}

std::int32_t parse_nav_frequency(std::string_view option, std::string_view text) {
  // Hundredths of a MHz: the packet's unit, and the step the module converts.
  const std::int64_t v = parse_unsigned_decimal(text, 2);
  if (v < 0) reject(option, text, "expected a frequency in MHz such as 113.80");
  if (v < 10800 || v > 11795) reject(option, text, "NAV frequencies run from 108.00 to 117.95 MHz");
  return static_cast<std::int32_t>(v);
}

std::int32_t parse_com_frequency(std::string_view option, std::string_view text) {
  const std::int64_t v = parse_unsigned_decimal(text, 3);  // thousandths of a MHz
  if (v < 0) reject(option, text, "expected a frequency in MHz such as 118.50");
  if (v < 118000 || v > 136975) {
    reject(option, text, "COM frequencies run from 118.000 to 136.975 MHz");
  }
  // The packet carries hundredths: a 25 kHz channel such as 118.025 travels
  // as 118.02, as the radio's own display shows it.
  return static_cast<std::int32_t>(v / 10);
}

std::int32_t parse_adf_frequency(std::string_view option, std::string_view text) {
  const std::int64_t v = parse_unsigned_decimal(text, 0);
  if (v < 0) reject(option, text, "expected whole kHz such as 353");
  // The module converts an active ADF frequency to seven BCD digits of
  // kHz x 10000 and loses the thousands digit: 1200 kHz would tune 200 kHz.
  if (v < 190 || v > 999) {
    reject(option, text,
           "ADF frequencies that the module can tune run from 190 to 999 kHz "
           "(it drops the thousands digit)");
  }
  return static_cast<std::int32_t>(v);
}

std::int32_t parse_adf_standby_frequency(std::string_view option, std::string_view text) {
  const std::int64_t v = parse_unsigned_decimal(text, 0);
  if (v < 0) reject(option, text, "expected whole kHz such as 353");
  // Standby values are only remembered and reported back, never converted.
  if (v < 190 || v > 1799) reject(option, text, "ADF frequencies run from 190 to 1799 kHz");
  return static_cast<std::int32_t>(v);
}

std::int32_t parse_squawk(std::string_view option, std::string_view text) {
  if (text.size() != 4) reject(option, text, "a squawk code has four digits, each 0 to 7");
  std::int32_t code = 0;
  for (const char c : text) {
    if (c < '0' || c > '7') reject(option, text, "a squawk code has four digits, each 0 to 7");
    code = code * 10 + (c - '0');
  }
  return code;  // the digits read as a decimal number: 7700 for code 7700
}

float parse_number(std::string_view option, std::string_view text, double low, double high,
                   std::string_view unit) {
  double v = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) {
    reject(option, text, "expected a number");
  }
  if (v < low || v > high) {
    char range[96];
    std::snprintf(range, sizeof range, "expected %g to %g %.*s", low, high,
                  static_cast<int>(unit.size()), unit.data());
    reject(option, text, range);
  }
  return static_cast<float>(v);
}

std::int32_t parse_int32(std::string_view option, std::string_view text) {
  std::int32_t v = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (error != std::errc() || end != text.data() + text.size()) {
    reject(option, text, "expected a whole number that fits 32 bits");
  }
  return v;
}

std::string hex_dump(const std::uint8_t* bytes, std::size_t length) {
  std::string out;
  char cell[24];
  for (std::size_t i = 0; i < length; ++i) {
    if (i % 16 == 0) {
      std::snprintf(cell, sizeof cell, "%04zx:", i);
      out += cell;
    }
    std::snprintf(cell, sizeof cell, " %02x", bytes[i]);
    out += cell;
    if (i % 16 == 15 || i + 1 == length) out += '\n';
  }
  return out;
}

}  // namespace orbitune::peer
