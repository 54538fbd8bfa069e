// What the network transport's unit tests share: a module over the fake host,
// sockets and clock with one call log, the peer list as text, and a private
// current directory for the seed file.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "gauge/module.h"
#include "net/network.h"
#include "platform/little_endian.h"
#include "tests/support/call_log.h"
#include "tests/support/fake_host.h"
#include "tests/support/fake_platform.h"

namespace orbitune::testing {

// Makes a fresh directory the current one for the lifetime of the object, so
// that the seed file a test writes is the one the module opens by its bare
// name, and no test sees another's file.
class ScratchDirectory {
 public:
  ScratchDirectory() : previous_(std::filesystem::current_path()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "orbitune-net-XXXXXX").string();
    const char* made = ::mkdtemp(pattern.data());
    EXPECT_NE(made, nullptr);
    path_ = pattern;
    std::filesystem::current_path(path_);
  }
  ~ScratchDirectory() {
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  // Writes `bytes` as the seed file, byte for byte (no newline translation).
  void write_seed_file(const std::string& bytes) const;

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

class NetFixture : public ::testing::Test {
 protected:
  NetFixture() { clock.log = &log; }

  // The peer list, head first, as "a.b.c.d:port".
  std::vector<std::string> peers() const {
    std::vector<std::string> out;
    for (const UnicastPeer* p = m.network.unicast_peers; p != nullptr; p = p->next) {
      out.push_back(describe(p->address));
    }
    return out;
  }
  const UnicastPeer* peer_at(int index) const {
    const UnicastPeer* p = m.network.unicast_peers;
    for (int i = 0; i < index && p != nullptr; ++i) p = p->next;
    return p;
  }
  // Destinations of everything sent, in order.
  std::vector<std::string> destinations() const {
    std::vector<std::string> out;
    for (const auto& s : sockets.sent) out.push_back(describe(s.to));
    return out;
  }
  // The socket as the first update leaves it: open, with the group's address
  // filled; the set-up's own calls are left out of the log.
  void give_socket() {
    EXPECT_EQ(open_udp_socket(m), 0);
    log.clear();
  }

  CallLog log;
  FakeHost host;
  FakeSockets sockets{&log};
  FakeClock clock;
  Module m{host, sockets, clock};
};

// A datagram that begins with `id` as its little-endian int32, `length` bytes
// long in all; the other bytes count up from `fill` so that no two positions
// hold the same value by accident.
inline std::vector<std::uint8_t> datagram(std::int32_t id, std::size_t length,
                                          std::uint8_t fill = 0x40) {
  std::vector<std::uint8_t> bytes(length);
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>(fill + i * 7);
  std::uint8_t id_bytes[4];
  store_le_i32(id_bytes, id);
  for (std::size_t i = 0; i < length && i < 4; ++i) bytes[i] = id_bytes[i];
  return bytes;
}

}  // namespace orbitune::testing
