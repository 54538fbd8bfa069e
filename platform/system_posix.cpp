// POSIX implementation of the platform layer, with Winsock's semantics where
// the module relies on them.
#ifndef _WIN32

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/platform.h"

namespace orbitune {
namespace {

static_assert(sizeof(sockaddr_in) == sizeof(Ipv4SocketAddress));

sockaddr_in to_native(const Ipv4SocketAddress& a) {
  sockaddr_in native{};
  native.sin_family = AF_INET;
  native.sin_port = a.port_be;
  native.sin_addr.s_addr = a.address_be;
  return native;
}

class PosixSocketLayer final : public SocketLayer {
 public:
  std::int32_t startup() override { return 0; }

  SocketHandle open_udp() override {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    return fd < 0 ? kNoSocket : fd;
  }

  std::int32_t set_reuse_address(SocketHandle s) override {
    const int one = 1;
    return ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) == 0 ? 0 : -1;
  }

  std::int32_t bind(SocketHandle s, const Ipv4SocketAddress& address) override {
    const sockaddr_in native = to_native(address);
    return ::bind(s, reinterpret_cast<const sockaddr*>(&native), sizeof native) == 0 ? 0 : -1;
  }

  std::int32_t send_to(SocketHandle s, const std::uint8_t* bytes, std::int32_t length,
                       const Ipv4SocketAddress& to) override {
    const sockaddr_in native = to_native(to);
    // MSG_DONTWAIT: a full send buffer drops the datagram instead of stalling
    // the host's update thread.
    const ssize_t sent =
        ::sendto(s, bytes, static_cast<std::size_t>(length), MSG_DONTWAIT | MSG_NOSIGNAL,
                 reinterpret_cast<const sockaddr*>(&native), sizeof native);
    return sent < 0 ? -1 : static_cast<std::int32_t>(sent);
  }

  Readiness poll_readable(SocketHandle s) override {
    // poll() rather than select(): an fd_set cannot hold a descriptor at or
    // above FD_SETSIZE, which a host process with many open files may hand us.
    pollfd entry{s, POLLIN, 0};
    const int ready = ::poll(&entry, 1, 0);
    if (ready < 0 || (entry.revents & POLLNVAL) != 0) return Readiness::error;
    if (ready == 0) return Readiness::not_readable;
    return Readiness::readable;
  }

  ReceiveResult receive_from(SocketHandle s, std::uint8_t* buffer, std::int32_t capacity,
                             Ipv4SocketAddress* from) override {
    sockaddr_in native{};
    socklen_t native_length = sizeof native;
    // MSG_TRUNC makes the call return the datagram's real length, so that one
    // longer than the buffer is reported as Winsock reports it (WSAEMSGSIZE)
    // instead of arriving silently cut.
    const ssize_t received =
        ::recvfrom(s, buffer, static_cast<std::size_t>(capacity), MSG_TRUNC | MSG_DONTWAIT,
                   reinterpret_cast<sockaddr*>(&native), &native_length);
    if (received < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ECONNREFUSED) {
        return {ReceiveStatus::dropped, 0};
      }
      return {ReceiveStatus::error, 0};
    }
    if (received > capacity) return {ReceiveStatus::too_long, 0};
    if (from != nullptr) {
      from->family = kAddressFamilyInet;
      from->port_be = native.sin_port;
      from->address_be = native.sin_addr.s_addr;
      std::memset(from->zero, 0, sizeof from->zero);
    }
    return {ReceiveStatus::datagram, static_cast<std::int32_t>(received)};
  }

  void shutdown_both(SocketHandle s) override { ::shutdown(s, SHUT_RDWR); }

  void close(SocketHandle s) override { ::close(s); }
};

class PosixClock final : public Clock {
 public:
  std::int64_t now_seconds() override { return static_cast<std::int64_t>(std::time(nullptr)); }

  void pause_100ms() override {
    timespec remaining{0, 100'000'000};
    while (::nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
  }
};

}  // namespace

SocketLayer& system_socket_layer() {
  static constinit PosixSocketLayer layer;
  return layer;
}

Clock& system_clock() {
  static constinit PosixClock clock;
  return clock;
}

std::FILE* open_text_file_for_reading(const char* bare_name) {
  return std::fopen(bare_name, "r");
}

}  // namespace orbitune

#endif  // !_WIN32
