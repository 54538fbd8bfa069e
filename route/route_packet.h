// The ROUTE message (ID 2): a 24-byte header followed by up to 50 waypoints of
// 28 bytes each, little-endian, no gaps. A message is exactly
// 24 + 28 * segpoints bytes long; the send paths work the length out from the
// segpoints field, so it must never claim more points than the buffer holds.
#pragma once

#include <cstddef>
#include <cstdint>

#include "route/flight_plan.h"
#include "route/route_point.h"

namespace orbitune {

inline constexpr std::int32_t kRouteMessageId = 2;
// The protocol version every position and route message carries.
inline constexpr std::int32_t kRouteVersion = 0x10020310;

inline constexpr std::size_t kRoutePacketHeaderBytes = 24;
inline constexpr std::size_t kRoutePointStride = kRoutePointBytes;
inline constexpr std::size_t kRoutePacketMaxBytes =
    kRoutePacketHeaderBytes + kPointsPerRoutePacket * kRoutePointStride;
static_assert(kRoutePacketMaxBytes == 1424, "no route datagram is longer than 1424 bytes");

// Byte offsets of the header fields within the message.
namespace route_offset {
inline constexpr std::size_t message_id = 0;
inline constexpr std::size_t version = 4;
inline constexpr std::size_t nopoints = 8;
inline constexpr std::size_t cleg = 12;
inline constexpr std::size_t segment = 16;
inline constexpr std::size_t segpoints = 20;
inline constexpr std::size_t points = 24;
static_assert(version == message_id + 4);
static_assert(nopoints == version + 4);
static_assert(cleg == nopoints + 4);
// segment precedes segpoints on the wire; peers read them in this order.
static_assert(segment == cleg + 4);
static_assert(segpoints == segment + 4);
static_assert(points == segpoints + 4);
static_assert(points == kRoutePacketHeaderBytes);
}  // namespace route_offset

// Byte offsets of the fields within one point, relative to the point's start.
namespace route_point_offset {
inline constexpr std::size_t TYPE = 0;
inline constexpr std::size_t NAME = 4;
inline constexpr std::size_t NAME_bytes = 8;
inline constexpr std::size_t LAT = 12;
inline constexpr std::size_t LON = 16;
inline constexpr std::size_t ELEV = 20;
inline constexpr std::size_t reserved = 24;
static_assert(NAME == TYPE + 4);
static_assert(LAT == NAME + NAME_bytes);
static_assert(LON == LAT + 4);
static_assert(ELEV == LON + 4);
static_assert(reserved == ELEV + 4);
static_assert(reserved + 4 == kRoutePointStride);
static_assert(NAME_bytes == sizeof(RoutePoint::NAME));
// The table's entries are laid out as on the wire, so that a table entry and
// its bytes in a message can be compared directly.
static_assert(offsetof(RoutePoint, TYPE) == TYPE);
static_assert(offsetof(RoutePoint, NAME) == NAME);
static_assert(offsetof(RoutePoint, LAT) == LAT);
static_assert(offsetof(RoutePoint, LON) == LON);
static_assert(offsetof(RoutePoint, ELEV) == ELEV);
static_assert(offsetof(RoutePoint, reserved) == reserved);
}  // namespace route_point_offset

struct RoutePacketHeader {
  std::int32_t message_id = 0;  // kRouteMessageId
  std::int32_t version = 0;     // kRouteVersion
  std::int32_t nopoints = 0;    // waypoints in the whole plan, 0 to 100
  std::int32_t cleg = 0;        // index of the active waypoint in the whole plan
  std::int32_t segment = 0;     // 0-based number of this message within one report
  std::int32_t segpoints = 0;   // points carried by this message, 0 to 50
};

struct RoutePacket {
  RoutePacketHeader header;
  // Point k is waypoint 50 * segment + k of the plan; only the first
  // segpoints entries (at most 50) mean anything, the rest are zero.
  RoutePoint points[kPointsPerRoutePacket]{};
};

// Length on the wire of a message carrying `segpoints` points.
constexpr std::size_t route_packet_bytes(std::int32_t segpoints) {
  return kRoutePacketHeaderBytes + static_cast<std::size_t>(segpoints) * kRoutePointStride;
}

void encode_route_point(const RoutePoint& point, std::uint8_t* out);
RoutePoint decode_route_point(const std::uint8_t* in);

// Clears all 1424 bytes of `out`, then writes `header` and the first
// header.segpoints entries of `points`. Returns the length of the message, or
// 0 (with `out` left all zero) when segpoints is outside 0..50: such a header
// would make the send paths read past the buffer.
std::size_t encode_route_packet(const RoutePacketHeader& header, const RoutePoint* points,
                                std::uint8_t (&out)[kRoutePacketMaxBytes]);

// Reads a received message of `length` bytes. Bytes beyond `length` (or
// beyond 1424) read as zero, so a short datagram gives zero fields rather than
// stale memory. The header is returned as received; points are decoded for
// min(segpoints, 50) entries when segpoints is positive, the rest stay zero.
// Whether `length` matches route_packet_bytes(segpoints) is the reader's call.
RoutePacket decode_route_packet(const std::uint8_t* bytes, std::size_t length);

}  // namespace orbitune
