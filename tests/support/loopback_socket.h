// A UDP socket of the companion side for the socket tests, on loopback inside
// the private test namespace: a peer on 127.0.0.1 at a free port, or a
// listener on the protocol port beside the module's own socket, joined to the
// multicast group on loopback. It sends to the module's port and receives with
// a bounded wait, so that no test can hang on a datagram that never comes.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <vector>

namespace orbitune::testing {

using Datagram = std::vector<std::uint8_t>;

// Bound on how long a test waits for loopback delivery.
constexpr int kLoopbackWaitMs = 2000;

// True when `fd` has something to read within `wait_ms` (0: only what is queued now).
bool readable(int fd, int wait_ms);

enum class AddressReuse { off, on };

class LoopbackSocket {
 public:
  // Bound to `address` (host byte order) and `port` (0: one the system picks).
  LoopbackSocket(std::uint32_t address, std::uint16_t port, AddressReuse reuse);
  // A companion on 127.0.0.1 at a free port.
  static LoopbackSocket peer(AddressReuse reuse = AddressReuse::off) {
    return LoopbackSocket(INADDR_LOOPBACK, 0, reuse);
  }
  // A listener on the protocol port, bound to `address` (host byte order)
  // with address reuse as a socket beside the module's must be, and joined to
  // the multicast group on loopback.
  static LoopbackSocket group_listener(std::uint32_t address = INADDR_ANY);

  LoopbackSocket(LoopbackSocket&& other) noexcept;
  LoopbackSocket& operator=(LoopbackSocket&&) = delete;
  LoopbackSocket(const LoopbackSocket&) = delete;
  LoopbackSocket& operator=(const LoopbackSocket&) = delete;
  ~LoopbackSocket();

  int fd() const { return fd_; }
  bool bound() const { return bound_; }
  std::uint16_t port() const { return port_; }

  void join_group_on_loopback() const;

  // Sends `bytes` as one datagram to 127.0.0.1 on `port`, all of it or a failure.
  void send_to(std::uint16_t port, const Datagram& bytes) const;
  // Sends `length` bytes as one datagram to `to`, all of them or a failure.
  void send_to(const sockaddr_in& to, const std::uint8_t* bytes, std::size_t length) const;
  void send_to_module(const Datagram& bytes) const;

  // The next datagram, waiting at most `wait_ms`; empty when none came. With
  // `from`, also where it came from.
  Datagram receive(int wait_ms = kLoopbackWaitMs, sockaddr_in* from = nullptr) const;
  bool has_datagram() const { return readable(fd_, 0); }

  // Moves every datagram queued now to the end of `received`, never waiting.
  void drain();
  std::vector<Datagram> received;

 private:
  int fd_ = -1;
  std::uint16_t port_ = 0;
  bool bound_ = false;
};

}  // namespace orbitune::testing
