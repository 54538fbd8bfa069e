// Windows implementation of the platform layer: Windows Sockets 2.2 and the
// system's clock, pause and C runtime.
#ifdef _WIN32

// winsock2.h must come before windows.h, which would otherwise pull in the
// old Winsock 1 declarations.
#include <winsock2.h>

#include <windows.h>

#include <cstring>
#include <ctime>

#include "platform/platform.h"

namespace orbitune {
namespace {

static_assert(sizeof(sockaddr_in) == sizeof(Ipv4SocketAddress));
static_assert(sizeof(SOCKET) == sizeof(SocketHandle), "the module stores handles in 32 bits");

sockaddr_in to_native(const Ipv4SocketAddress& a) {
  sockaddr_in native{};
  native.sin_family = AF_INET;
  native.sin_port = a.port_be;
  native.sin_addr.s_addr = a.address_be;
  return native;
}

SOCKET native_handle(SocketHandle s) {
  return static_cast<SOCKET>(static_cast<std::uint32_t>(s));
}

class WinsockSocketLayer final : public SocketLayer {
 public:
  std::int32_t startup() override {
    // Every call starts the library once more and none releases it: the
    // sockets stay usable for as long as the host keeps the module loaded.
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0 ? 0 : -1;
  }

  SocketHandle open_udp() override {
    const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, 0);
    return s == INVALID_SOCKET ? kNoSocket : static_cast<SocketHandle>(s);
  }

  std::int32_t set_reuse_address(SocketHandle s) override {
    const int one = 1;
    return ::setsockopt(native_handle(s), SOL_SOCKET, SO_REUSEADDR,
                        reinterpret_cast<const char*>(&one), sizeof one) == 0
               ? 0
               : -1;
  }

  std::int32_t bind(SocketHandle s, const Ipv4SocketAddress& address) override {
    const sockaddr_in native = to_native(address);
    return ::bind(native_handle(s), reinterpret_cast<const sockaddr*>(&native), sizeof native) == 0
               ? 0
               : -1;
  }

  std::int32_t send_to(SocketHandle s, const std::uint8_t* bytes, std::int32_t length,
                       const Ipv4SocketAddress& to) override {
    const sockaddr_in native = to_native(to);
    const int sent = ::sendto(native_handle(s), reinterpret_cast<const char*>(bytes), length, 0,
                              reinterpret_cast<const sockaddr*>(&native), sizeof native);
    return sent == SOCKET_ERROR ? -1 : sent;
  }

  Readiness poll_readable(SocketHandle s) override {
    fd_set read_set;
    FD_ZERO(&read_set);
    FD_SET(native_handle(s), &read_set);
    timeval no_wait{0, 0};
    const int ready = ::select(0, &read_set, nullptr, nullptr, &no_wait);
    if (ready == SOCKET_ERROR) return Readiness::error;
    return FD_ISSET(native_handle(s), &read_set) ? Readiness::readable : Readiness::not_readable;
  }

  ReceiveResult receive_from(SocketHandle s, std::uint8_t* buffer, std::int32_t capacity,
                             Ipv4SocketAddress* from) override {
    sockaddr_in native{};
    int native_length = sizeof native;
    const int received = ::recvfrom(native_handle(s), reinterpret_cast<char*>(buffer), capacity, 0,
                                    reinterpret_cast<sockaddr*>(&native), &native_length);
    if (received == SOCKET_ERROR) {
      switch (WSAGetLastError()) {
        case WSAEMSGSIZE:
          return {ReceiveStatus::too_long, 0};
        case WSAECONNRESET:
          // On a UDP socket this is the ICMP "port unreachable" echo of an
          // earlier send to a peer that has gone away, not a fault of this
          // socket: drop it and keep draining.
          return {ReceiveStatus::dropped, 0};
        default:
          return {ReceiveStatus::error, 0};
      }
    }
    if (from != nullptr) {
      from->family = AF_INET;
      from->port_be = native.sin_port;
      from->address_be = native.sin_addr.s_addr;
      std::memset(from->zero, 0, sizeof from->zero);
    }
    return {ReceiveStatus::datagram, received};
  }

  void shutdown_both(SocketHandle s) override { ::shutdown(native_handle(s), SD_BOTH); }

  void close(SocketHandle s) override { ::closesocket(native_handle(s)); }
};

class WindowsClock final : public Clock {
 public:
  // _time64 rather than time: msvcrt's time_t is 32 bits wide on i686 and
  // would wrap in 2038.
  std::int64_t now_seconds() override { return static_cast<std::int64_t>(::_time64(nullptr)); }
  void pause_100ms() override { ::Sleep(100); }
};

}  // namespace

SocketLayer& system_socket_layer() {
  static constinit WinsockSocketLayer layer;
  return layer;
}

Clock& system_clock() {
  static constinit WindowsClock clock;
  return clock;
}

std::FILE* open_text_file_for_reading(const char* bare_name) {
  return std::fopen(bare_name, "rt");
}

}  // namespace orbitune

#endif  // _WIN32
