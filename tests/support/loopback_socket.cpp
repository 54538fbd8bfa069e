#include "tests/support/loopback_socket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "net/network.h"

namespace orbitune::testing {

bool readable(int fd, int wait_ms) {
  pollfd entry{fd, POLLIN, 0};
  return ::poll(&entry, 1, wait_ms) == 1;
}

LoopbackSocket::LoopbackSocket(std::uint32_t address, std::uint16_t port, AddressReuse reuse) {
  fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
  EXPECT_GE(fd_, 0);
  if (reuse == AddressReuse::on) {
    const int one = 1;
    EXPECT_EQ(::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one), 0);
  }
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(address);
  bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  EXPECT_TRUE(bound_) << "bind: " << std::strerror(errno);
  socklen_t length = sizeof a;
  ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &length);
  port_ = ntohs(a.sin_port);
}

LoopbackSocket LoopbackSocket::group_listener(std::uint32_t address) {
  LoopbackSocket s(address, kProtocolPort, AddressReuse::on);
  s.join_group_on_loopback();
  return s;
}

LoopbackSocket::LoopbackSocket(LoopbackSocket&& other) noexcept
    : received(std::move(other.received)),
      fd_(std::exchange(other.fd_, -1)),
      port_(other.port_),
      bound_(other.bound_) {}

LoopbackSocket::~LoopbackSocket() {
  if (fd_ >= 0) ::close(fd_);
}

void LoopbackSocket::join_group_on_loopback() const {
  ip_mreq request{};
  request.imr_multiaddr.s_addr = kMulticastGroup.address_be;
  request.imr_interface.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request), 0);
}

void LoopbackSocket::send_to(std::uint16_t port, const Datagram& bytes) const {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  send_to(to, bytes.data(), bytes.size());
}

void LoopbackSocket::send_to(const sockaddr_in& to, const std::uint8_t* bytes,
                             std::size_t length) const {
  ASSERT_EQ(::sendto(fd_, bytes, length, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to),
            static_cast<ssize_t>(length));
}

void LoopbackSocket::send_to_module(const Datagram& bytes) const {
  send_to(kProtocolPort, bytes);
}

Datagram LoopbackSocket::receive(int wait_ms, sockaddr_in* from) const {
  if (!readable(fd_, wait_ms)) return {};
  Datagram buffer(65536);
  sockaddr_in sender{};
  socklen_t sender_length = sizeof sender;
  const ssize_t n = ::recvfrom(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT,
                               reinterpret_cast<sockaddr*>(&sender), &sender_length);
  buffer.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
  if (from != nullptr) *from = sender;
  return buffer;
}

void LoopbackSocket::drain() {
  for (;;) {
    Datagram buffer(65536);
    const ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (n < 0) return;
    buffer.resize(static_cast<std::size_t>(n));
    received.push_back(std::move(buffer));
  }
}

}  // namespace orbitune::testing
