#include "route/route_packet.h"

#include <cstring>

#include "platform/little_endian.h"

namespace orbitune {

void encode_route_point(const RoutePoint& point, std::uint8_t* out) {
  store_le_i32(out + route_point_offset::TYPE, point.TYPE);
  std::memcpy(out + route_point_offset::NAME, point.NAME, route_point_offset::NAME_bytes);
  store_le_f32(out + route_point_offset::LAT, point.LAT);
  store_le_f32(out + route_point_offset::LON, point.LON);
  store_le_f32(out + route_point_offset::ELEV, point.ELEV);
  store_le_i32(out + route_point_offset::reserved, point.reserved);
}

RoutePoint decode_route_point(const std::uint8_t* in) {
  RoutePoint point;
  point.TYPE = load_le_i32(in + route_point_offset::TYPE);
  std::memcpy(point.NAME, in + route_point_offset::NAME, route_point_offset::NAME_bytes);
  point.LAT = load_le_f32(in + route_point_offset::LAT);
  point.LON = load_le_f32(in + route_point_offset::LON);
  point.ELEV = load_le_f32(in + route_point_offset::ELEV);
  point.reserved = load_le_i32(in + route_point_offset::reserved);
  return point;
}

std::size_t encode_route_packet(const RoutePacketHeader& header, const RoutePoint* points,
                                std::uint8_t (&out)[kRoutePacketMaxBytes]) {
  std::memset(out, 0, sizeof out);
  if (header.segpoints < 0 || header.segpoints > kPointsPerRoutePacket) return 0;
  store_le_i32(out + route_offset::message_id, header.message_id);
  store_le_i32(out + route_offset::version, header.version);
  store_le_i32(out + route_offset::nopoints, header.nopoints);
  store_le_i32(out + route_offset::cleg, header.cleg);
  store_le_i32(out + route_offset::segment, header.segment);
  store_le_i32(out + route_offset::segpoints, header.segpoints);
  for (std::int32_t k = 0; k < header.segpoints; ++k) {
    encode_route_point(points[k], out + route_offset::points + k * kRoutePointStride);
  }
  return route_packet_bytes(header.segpoints);
}

RoutePacket decode_route_packet(const std::uint8_t* bytes, std::size_t length) {
  std::uint8_t image[kRoutePacketMaxBytes] = {};
  if (bytes != nullptr) std::memcpy(image, bytes, length < sizeof image ? length : sizeof image);

  RoutePacket packet;
  RoutePacketHeader& h = packet.header;
  h.message_id = load_le_i32(image + route_offset::message_id);
  h.version = load_le_i32(image + route_offset::version);
  h.nopoints = load_le_i32(image + route_offset::nopoints);
  h.cleg = load_le_i32(image + route_offset::cleg);
  h.segment = load_le_i32(image + route_offset::segment);
  h.segpoints = load_le_i32(image + route_offset::segpoints);

  // A hostile or corrupt segpoints must not take the reader past the image.
  std::int32_t count = h.segpoints;
  if (count < 0) count = 0;
  if (count > kPointsPerRoutePacket) count = kPointsPerRoutePacket;
  for (std::int32_t k = 0; k < count; ++k) {
    packet.points[k] = decode_route_point(image + route_offset::points + k * kRoutePointStride);
  }
  return packet;
}

}  // namespace orbitune
