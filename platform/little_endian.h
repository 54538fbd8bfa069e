// Little-endian loads and stores for wire records.
//
// Every multi-byte field on the wire goes through these helpers: they work on
// unaligned buffers (memcpy) and assemble bytes explicitly, so no code depends
// on the byte order of the machine that runs it.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace orbitune {

inline std::uint32_t load_le_u32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}

inline std::uint16_t load_le_u16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint64_t load_le_u64(const std::uint8_t* p) {
  return std::uint64_t{load_le_u32(p)} | (std::uint64_t{load_le_u32(p + 4)} << 32);
}

inline std::int32_t load_le_i32(const std::uint8_t* p) {
  return static_cast<std::int32_t>(load_le_u32(p));
}

inline float load_le_f32(const std::uint8_t* p) {
  return std::bit_cast<float>(load_le_u32(p));
}

inline double load_le_f64(const std::uint8_t* p) {
  return std::bit_cast<double>(load_le_u64(p));
}

inline void store_le_u16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

inline void store_le_u32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}

inline void store_le_u64(std::uint8_t* p, std::uint64_t v) {
  store_le_u32(p, static_cast<std::uint32_t>(v));
  store_le_u32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

inline void store_le_i32(std::uint8_t* p, std::int32_t v) {
  store_le_u32(p, static_cast<std::uint32_t>(v));
}

inline void store_le_f32(std::uint8_t* p, float v) {
  store_le_u32(p, std::bit_cast<std::uint32_t>(v));
}

inline void store_le_f64(std::uint8_t* p, double v) {
  store_le_u64(p, std::bit_cast<std::uint64_t>(v));
}

}  // namespace orbitune
