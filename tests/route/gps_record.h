// A GPS flight-plan record laid out as the host lays it out, for a FakeHost to
// hand out by name. The offsets here are the host's, written down again from
// the host's layout rather than taken from the module, so that a wrong offset
// in the module cannot agree with its own test.
//
// Every byte the module must not read is filled with a noise pattern: a module
// that read the bytes below a coordinate, or past an identifier's NUL, would
// see garbage and give itself away.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/little_endian.h"

namespace orbitune::testing {

class GpsRecord {
 public:
  static constexpr std::size_t kRecordBytes = 256;
  static constexpr std::size_t kActiveOffset = 76;
  static constexpr std::size_t kCountOffset = 168;
  static constexpr std::size_t kArrayOffset = 172;
  static constexpr std::size_t kWaypointBytes = 64;
  static constexpr std::uint8_t kNoise = 0xA5;

  GpsRecord() : record_(kRecordBytes, kNoise) {
    set_plan_size(0);
    set_active(0);
  }

  // Rebuilds the waypoint array with `n` noise-filled waypoints and stores
  // `n` as the host's count. An empty plan still has an array.
  void set_plan_size(std::size_t n) {
    waypoints_.assign((n == 0 ? 1 : n) * kWaypointBytes, kNoise);
    store_array_pointer(waypoints_.data());
    set_count(static_cast<std::int32_t>(n));
  }
  // The host's count alone, which need not match the array (negative counts).
  void set_count(std::int32_t count) { store_le_i32(&record_[kCountOffset], count); }
  void set_active(std::int32_t index) { store_le_i32(&record_[kActiveOffset], index); }
  void remove_array() { store_array_pointer(nullptr); }

  // Raw host encodings of one waypoint.
  void set_latitude_raw(std::size_t i, std::int32_t whole, std::uint16_t fraction) {
    store_le_u16(at(i, 10), fraction);
    store_le_i32(at(i, 12), whole);
  }
  void set_longitude_raw(std::size_t i, std::uint64_t angle48) {
    store_le_u16(at(i, 18), static_cast<std::uint16_t>(angle48 & 0xFFFF));
    store_le_u32(at(i, 20), static_cast<std::uint32_t>(angle48 >> 16));
  }
  void set_altitude_raw(std::size_t i, std::int32_t whole, std::uint16_t fraction) {
    store_le_u16(at(i, 26), fraction);
    store_le_i32(at(i, 28), whole);
  }
  // Writes the text and, when it is shorter than the field, one NUL after it;
  // the rest of the field keeps its noise.
  void set_ident(std::size_t i, const std::string& text) {
    std::uint8_t* field = at(i, 56);
    const std::size_t n = text.size() < 8 ? text.size() : 8;
    std::memcpy(field, text.data(), n);
    if (n < 8) field[n] = 0;
  }

  // The same in natural units: the host's fixed point of the value.
  void set_latitude(std::size_t i, double degrees) {
    std::int32_t whole = 0;
    std::uint16_t fraction = 0;
    split_fixed(degrees * 4.0007e7 / 360.0, whole, fraction);
    set_latitude_raw(i, whole, fraction);
  }
  void set_longitude(std::size_t i, double degrees) {
    double turn = degrees / 360.0;
    if (turn < 0.0) turn += 1.0;
    const auto angle = static_cast<std::uint64_t>(std::llround(std::ldexp(turn, 48)));
    set_longitude_raw(i, angle & 0xFFFF'FFFF'FFFFull);
  }
  void set_altitude(std::size_t i, double metres) {
    std::int32_t whole = 0;
    std::uint16_t fraction = 0;
    split_fixed(metres, whole, fraction);
    set_altitude_raw(i, whole, fraction);
  }
  void set_waypoint(std::size_t i, const std::string& ident, double lat, double lon,
                    double metres) {
    set_ident(i, ident);
    set_latitude(i, lat);
    set_longitude(i, lon);
    set_altitude(i, metres);
  }

  void* data() { return record_.data(); }

 private:
  std::uint8_t* at(std::size_t i, std::size_t offset) {
    return &waypoints_.at(i * kWaypointBytes + offset);
  }
  void store_array_pointer(const std::uint8_t* p) {
    std::memcpy(&record_[kArrayOffset], &p, sizeof p);
  }
  // Whole part rounded down and a fraction in 1/65536, as the host stores a
  // signed fixed-point value.
  static void split_fixed(double value, std::int32_t& whole, std::uint16_t& fraction) {
    double w = std::floor(value);
    double f = std::round((value - w) * 65536.0);
    if (f >= 65536.0) {
      w += 1.0;
      f = 0.0;
    }
    whole = static_cast<std::int32_t>(w);
    fraction = static_cast<std::uint16_t>(f);
  }

  std::vector<std::uint8_t> record_;
  std::vector<std::uint8_t> waypoints_;
};

}  // namespace orbitune::testing
