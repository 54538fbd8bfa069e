// The peer's UDP socket: POSIX only, since the companion tool runs natively.
// Failures throw PeerNetworkError with a sentence a user can act on.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace orbitune::peer {

inline constexpr const char* kMulticastGroup = "239.224.224.1";

struct PeerNetworkError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// "HOST" or "HOST:PORT" resolved to one IPv4 address; throws
// std::invalid_argument for a malformed port or an unknown host.
sockaddr_in parse_endpoint(std::string_view text, std::uint16_t default_port);
std::string describe(const sockaddr_in& address);  // "127.0.0.1:2424"

struct Datagram {
  std::size_t length = 0;  // bytes in the buffer
  bool truncated = false;  // the datagram was longer than the buffer
  sockaddr_in from{};
};

class UdpSocket {
 public:
  UdpSocket();  // an unbound IPv4 datagram socket
  ~UdpSocket();
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  // Binds INADDR_ANY:port with SO_REUSEADDR, so that several listeners of the
  // multicast group can share the protocol port on one machine. Port 0 takes
  // one the system chooses.
  void bind_port(std::uint16_t port);
  std::uint16_t local_port() const;
  // IP_ADD_MEMBERSHIP for the protocol's group on the IPv4 address of the
  // named interface ("lo", "eth0").
  void join_group(std::string_view interface_name);
  void send_to(const sockaddr_in& to, const std::uint8_t* bytes, std::size_t length);
  // Waits at most `timeout_ms` for one datagram; nothing when none came.
  std::optional<Datagram> receive(std::uint8_t* buffer, std::size_t capacity, int timeout_ms);

 private:
  int fd_ = -1;
};

}  // namespace orbitune::peer
