#include "tools/peer/peer_socket.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

namespace orbitune::peer {

namespace {

std::string system_error_text(int error) {
  return std::strerror(error);
}

}  // namespace

sockaddr_in parse_endpoint(std::string_view text, std::uint16_t default_port) {
  std::string host(text);
  std::uint16_t port = default_port;
  if (const auto colon = text.rfind(':'); colon != std::string_view::npos) {
    host = std::string(text.substr(0, colon));
    const auto digits = text.substr(colon + 1);
    unsigned value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
        value == 0 || value > 65535) {
      throw std::invalid_argument("\"" + std::string(text) + "\": the port must be 1 to 65535");
    }
    port = static_cast<std::uint16_t>(value);
  }
  if (host.empty()) throw std::invalid_argument("\"" + std::string(text) + "\": no host given");
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  const int status = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (status != 0 || found == nullptr) {
    throw std::invalid_argument("\"" + host + "\": not an IPv4 address or known host name (" +
                                ::gai_strerror(status) + ")");
  }
  sockaddr_in address{};
  std::memcpy(&address, found->ai_addr, sizeof address);
  ::freeaddrinfo(found);
  address.sin_port = htons(port);
  return address;
}

std::string describe(const sockaddr_in& address) {
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
  return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

UdpSocket::UdpSocket() : fd_(::socket(AF_INET, SOCK_DGRAM, 0)) {
  if (fd_ < 0) throw PeerNetworkError("cannot open a UDP socket: " + system_error_text(errno));
}

UdpSocket::~UdpSocket() {
  if (fd_ >= 0) ::close(fd_);
}

void UdpSocket::bind_port(std::uint16_t port) {
  const int one = 1;
  if (::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0) {
    throw PeerNetworkError("cannot share UDP port " + std::to_string(port) + ": " +
                           system_error_text(errno));
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  if (::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int error = errno;
    if (error == EADDRINUSE) {
      throw PeerNetworkError("UDP port " + std::to_string(port) +
                             " is already in use by a program that does not share it; "
                             "stop that program or choose another port with --port");
    }
    throw PeerNetworkError("cannot bind UDP port " + std::to_string(port) + ": " +
                           system_error_text(error));
  }
}

std::uint16_t UdpSocket::local_port() const {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

void UdpSocket::join_group(std::string_view interface_name) {
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) {
    throw PeerNetworkError("cannot list the network interfaces: " + system_error_text(errno));
  }
  std::optional<in_addr> interface_address;
  for (ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
    if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) continue;
    if (interface_name != i->ifa_name) continue;
    interface_address = reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr;
    break;
  }
  ::freeifaddrs(list);
  if (!interface_address) {
    throw PeerNetworkError("interface \"" + std::string(interface_name) +
                           "\" has no IPv4 address (see `ip -4 addr`)");
  }
  ip_mreq request{};
  ::inet_pton(AF_INET, kMulticastGroup, &request.imr_multiaddr);
  request.imr_interface = *interface_address;
  if (::setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) != 0) {
    throw PeerNetworkError("cannot join " + std::string(kMulticastGroup) + " on \"" +
                           std::string(interface_name) + "\": " + system_error_text(errno) +
                           " (is there a multicast route on it?)");
  }
}

void UdpSocket::send_to(const sockaddr_in& to, const std::uint8_t* bytes, std::size_t length) {
  const ssize_t sent =
      ::sendto(fd_, bytes, length, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  if (sent < 0) {
    throw PeerNetworkError("cannot send to " + describe(to) + ": " + system_error_text(errno));
  }
  if (static_cast<std::size_t>(sent) != length) {
    throw PeerNetworkError("sent only " + std::to_string(sent) + " of " + std::to_string(length) +
                           " bytes to " + describe(to));
  }
}

std::optional<Datagram> UdpSocket::receive(std::uint8_t* buffer, std::size_t capacity,
                                           int timeout_ms) {
  pollfd wait{fd_, POLLIN, 0};
  const int ready = ::poll(&wait, 1, timeout_ms);
  if (ready < 0) {
    if (errno == EINTR) return std::nullopt;
    throw PeerNetworkError("cannot wait for datagrams: " + system_error_text(errno));
  }
  if (ready == 0) return std::nullopt;
  Datagram d;
  socklen_t from_length = sizeof d.from;
  // MSG_TRUNC reports the datagram's real length, so an oversize one is told
  // apart from one that just fills the buffer.
  const ssize_t n = ::recvfrom(fd_, buffer, capacity, MSG_TRUNC,
                               reinterpret_cast<sockaddr*>(&d.from), &from_length);
  if (n < 0) {
    // A refused earlier send (the module not up yet) surfaces here; it is not
    // a reason to stop listening.
    if (errno == ECONNREFUSED || errno == EINTR || errno == EAGAIN) return std::nullopt;
    throw PeerNetworkError("cannot receive: " + system_error_text(errno));
  }
  d.truncated = static_cast<std::size_t>(n) > capacity;
  d.length = d.truncated ? capacity : static_cast<std::size_t>(n);
  return d;
}

}  // namespace orbitune::peer
