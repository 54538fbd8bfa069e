// The module's only view of the operating system: one UDP socket's worth of
// sockets calls with Winsock semantics, the wall clock, the set-up pause and
// opening the seed file. Everything platform-specific lives behind this header.
//
// The socket layer and the clock are interfaces so that tests can inject
// failures and never wait for real time; the module itself uses the system
// implementations below.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/socket_address.h"

namespace orbitune {

// A socket handle as the module stores it: 32 bits, negative means none. A
// Winsock SOCKET on 32-bit Windows is 32 bits wide and INVALID_SOCKET reads as
// -1; a POSIX descriptor is an int.
using SocketHandle = std::int32_t;
inline constexpr SocketHandle kNoSocket = -1;

// Outcomes of a receive, normalised across platforms.
enum class ReceiveStatus {
  datagram,  // a whole datagram of `length` bytes is in the buffer
  too_long,  // the datagram did not fit the buffer; it has been consumed and is dropped whole
  dropped,   // a stale error for an earlier send; nothing to read, the drain goes on
  error,     // any other failure
};

struct ReceiveResult {
  ReceiveStatus status;
  std::int32_t length;  // bytes in the buffer when status is datagram, else 0
};

// Readiness of a socket for reading, asked without waiting.
enum class Readiness { readable, not_readable, error };

class SocketLayer {
 public:
  // WSAStartup asking for version 2.2; 0 on success. Always succeeds on POSIX.
  virtual std::int32_t startup() = 0;
  // An AF_INET, SOCK_DGRAM socket, or kNoSocket.
  virtual SocketHandle open_udp() = 0;
  // SO_REUSEADDR set to 1; 0 on success.
  virtual std::int32_t set_reuse_address(SocketHandle s) = 0;
  // 0 on success.
  virtual std::int32_t bind(SocketHandle s, const Ipv4SocketAddress& address) = 0;
  // Bytes sent, or -1.
  virtual std::int32_t send_to(SocketHandle s, const std::uint8_t* bytes, std::int32_t length,
                               const Ipv4SocketAddress& to) = 0;
  // Never waits.
  virtual Readiness poll_readable(SocketHandle s) = 0;
  // One datagram of at most `capacity` bytes, with its sender.
  virtual ReceiveResult receive_from(SocketHandle s, std::uint8_t* buffer, std::int32_t capacity,
                                     Ipv4SocketAddress* from) = 0;
  // shutdown(SD_BOTH), result ignored.
  virtual void shutdown_both(SocketHandle s) = 0;
  // closesocket / close, result ignored.
  virtual void close(SocketHandle s) = 0;

 protected:
  ~SocketLayer() = default;
};

class Clock {
 public:
  // Whole seconds since 1970-01-01 00:00 UTC.
  virtual std::int64_t now_seconds() = 0;
  // The 100 ms pause between set-up attempts.
  virtual void pause_100ms() = 0;

 protected:
  ~Clock() = default;
};

SocketLayer& system_socket_layer();
Clock& system_clock();

// Opens a file by its bare name, relative to the process's current directory,
// for reading in text mode; null when it cannot be opened.
std::FILE* open_text_file_for_reading(const char* bare_name);

}  // namespace orbitune
