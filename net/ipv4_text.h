// Dotted IPv4 text as the classic sockets conversion reads it.
//
// The seed file is a list of addresses written for that conversion, so this
// accepts the same text on every platform: one to four parts separated by
// dots, each a decimal number, an octal one with a leading 0, or a hex one
// with a leading 0x/0X. With fewer than four parts the last one fills the
// remaining low bytes ("10.1" is 10.0.0.1, "2130706433" is 127.0.0.1). The
// address ends at the end of the text or at a white-space character, after
// which anything is ignored, so a line read with its "\n" or "\r\n" converts.
// Any other character right after the address rejects the whole text.
//
// Unlike some historic versions this never lets a part overflow 32 bits or
// accepts 8 and 9 as octal digits: such text is rejected rather than read as
// some unrelated address.
#pragma once

#include <cstdint>

#include "platform/socket_address.h"

namespace orbitune {

// The conversion's failure value; also the honest reading of "255.255.255.255",
// which therefore cannot be told apart from a rejected line.
inline constexpr std::uint32_t kInaddrNone = 0xFFFFFFFFu;

namespace ipv4_text_detail {

constexpr bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Value of `c` as a digit of `base`, or -1.
constexpr int digit_value(char c, std::uint32_t base) {
  int v = -1;
  if (c >= '0' && c <= '9') {
    v = c - '0';
  } else if (c >= 'a' && c <= 'f') {
    v = c - 'a' + 10;
  } else if (c >= 'A' && c <= 'F') {
    v = c - 'A' + 10;
  }
  return v >= 0 && static_cast<std::uint32_t>(v) < base ? v : -1;
}

}  // namespace ipv4_text_detail

// The address in network byte order, ready for Ipv4SocketAddress::address_be,
// or kInaddrNone when `text` is not an address.
constexpr std::uint32_t dotted_ipv4_to_address_be(const char* text) {
  using ipv4_text_detail::digit_value;
  using ipv4_text_detail::is_space;
  std::uint32_t parts[4] = {};
  int part_count = 0;
  const char* p = text;
  for (;;) {
    if (*p < '0' || *p > '9') return kInaddrNone;
    std::uint32_t base = 10;
    if (*p == '0') {
      ++p;
      if (*p == 'x' || *p == 'X') {
        ++p;
        base = 16;
        // "0x" without a digit names no number.
        if (digit_value(*p, 16) < 0) return kInaddrNone;
      } else {
        base = 8;
      }
    }
    std::uint64_t value = 0;
    for (;;) {
      const int d = digit_value(*p, base);
      if (d < 0) break;
      value = value * base + static_cast<std::uint64_t>(d);
      if (value > 0xFFFFFFFFu) return kInaddrNone;
      ++p;
    }
    // An octal part that meets 8 or 9 is malformed, not a shorter number.
    if (base == 8 && (*p == '8' || *p == '9')) return kInaddrNone;
    parts[part_count++] = static_cast<std::uint32_t>(value);
    if (*p != '.') break;
    if (part_count == 4) return kInaddrNone;
    ++p;
  }
  if (*p != '\0' && !is_space(*p)) return kInaddrNone;

  // Every part but the last is one byte; the last fills what is left.
  std::uint32_t host_order = 0;
  for (int i = 0; i < part_count - 1; ++i) {
    if (parts[i] > 0xFFu) return kInaddrNone;
    host_order |= parts[i] << (24 - 8 * i);
  }
  const std::uint32_t last = parts[part_count - 1];
  const int last_bits = 32 - 8 * (part_count - 1);
  if (last_bits < 32 && last >= (std::uint32_t{1} << last_bits)) return kInaddrNone;
  host_order |= last;
  return host_to_net32(host_order);
}

}  // namespace orbitune
