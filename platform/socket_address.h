// The 16-byte IPv4 socket address as the sockets interface lays it out
// (sockaddr_in): the module stores, compares and sends these bytes as they are.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace orbitune {

inline constexpr std::uint16_t kAddressFamilyInet = 2;  // AF_INET on both Winsock and POSIX

struct Ipv4SocketAddress {
  std::uint16_t family;      // host byte order, kAddressFamilyInet
  std::uint16_t port_be;     // network byte order, compared as stored
  std::uint32_t address_be;  // network byte order, compared as stored
  std::uint8_t zero[8];      // carried along, never compared
};
static_assert(sizeof(Ipv4SocketAddress) == 16, "peers and the sockets interface share this layout");
static_assert(offsetof(Ipv4SocketAddress, port_be) == 2);
static_assert(offsetof(Ipv4SocketAddress, address_be) == 4);

// Byte-order helpers for the two network-order fields, so that callers need no
// sockets header.
constexpr std::uint16_t host_to_net16(std::uint16_t v) {
  if constexpr (std::endian::native == std::endian::big) return v;
  return static_cast<std::uint16_t>(((v & 0xFF) << 8) | (v >> 8));
}
constexpr std::uint32_t host_to_net32(std::uint32_t v) {
  if constexpr (std::endian::native == std::endian::big) return v;
  return ((v & 0xFFu) << 24) | ((v & 0xFF00u) << 8) | ((v >> 8) & 0xFF00u) | (v >> 24);
}
constexpr std::uint16_t net_to_host16(std::uint16_t v) {
  return host_to_net16(v);
}
constexpr std::uint32_t net_to_host32(std::uint32_t v) {
  return host_to_net32(v);
}

// An address from four dotted-quad octets and a port, both in natural order.
constexpr Ipv4SocketAddress make_ipv4_address(std::uint8_t a, std::uint8_t b, std::uint8_t c,
                                              std::uint8_t d, std::uint16_t port) {
  const std::uint32_t host_order = (std::uint32_t{a} << 24) | (std::uint32_t{b} << 16) |
                                   (std::uint32_t{c} << 8) | std::uint32_t{d};
  return Ipv4SocketAddress{kAddressFamilyInet, host_to_net16(port), host_to_net32(host_order), {}};
}

}  // namespace orbitune
