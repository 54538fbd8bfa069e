// The peer registry: join order, refreshes, aging, the bound on requested
// peers, allocation failure and the seed file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "net/peer_registry.h"
#include "tests/net/net_fixture.h"

namespace {
// When set, the nothrow allocation (the only kind the registry makes) fails.
bool fail_nothrow_new = false;
}  // namespace

// Replaces the program's nothrow allocation so that a test can make it fail;
// otherwise it allocates as usual, through the ordinary operator new so that
// the ordinary delete matches it.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (fail_nothrow_new) return nullptr;
  try {
    return ::operator new(size);
  } catch (...) {
    return nullptr;
  }
}

namespace orbitune {
namespace {

using testing::describe;
using testing::NetFixture;
using testing::ScratchDirectory;
using Strings = std::vector<std::string>;

const Ipv4SocketAddress kA = make_ipv4_address(127, 0, 0, 11, 2424);
const Ipv4SocketAddress kB = make_ipv4_address(127, 0, 0, 12, 41000);
const Ipv4SocketAddress kC = make_ipv4_address(127, 0, 0, 13, 2424);

class PeerRegistryTest : public NetFixture {
 protected:
  ~PeerRegistryTest() override { fail_nothrow_new = false; }
};

TEST_F(PeerRegistryTest, NewPeersJoinAtTheTailWithFullLifetime) {
  register_peer(m, kA);
  register_peer(m, kB);
  register_peer(m, kC);
  EXPECT_EQ(peers(), (Strings{"127.0.0.11:2424", "127.0.0.12:41000", "127.0.0.13:2424"}));
  EXPECT_EQ(m.network.peer_count, 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(peer_at(i)->ttl, 1200.0f);
}

TEST_F(PeerRegistryTest, NodeKeepsAll16BytesOfTheAddress) {
  Ipv4SocketAddress a = kB;
  for (int i = 0; i < 8; ++i) a.zero[i] = static_cast<std::uint8_t>(0x91 + i);
  register_peer(m, a);
  ASSERT_NE(peer_at(0), nullptr);
  EXPECT_EQ(std::memcmp(&peer_at(0)->address, &a, sizeof a), 0);
}

TEST_F(PeerRegistryTest, SameAddressAndPortIsRefreshedInPlace) {
  register_peer(m, kA);
  register_peer(m, kB);
  for (int i = 0; i < 300; ++i) age_peers(m);
  // Family and padding play no part in the match.
  Ipv4SocketAddress again = kA;
  again.family = 0;
  again.zero[3] = 0x7E;
  register_peer(m, again);
  EXPECT_EQ(peers(), (Strings{"127.0.0.11:2424", "127.0.0.12:41000"}));
  EXPECT_EQ(peer_at(0)->ttl, 1200.0f);
  EXPECT_EQ(peer_at(1)->ttl, 900.0f);
  EXPECT_EQ(peer_at(0)->address.family, kAddressFamilyInet);  // the stored bytes stay
  EXPECT_EQ(m.network.peer_count, 2);
}

TEST_F(PeerRegistryTest, SameAddressWithAnotherPortIsAnotherPeer) {
  register_peer(m, kA);
  register_peer(m, make_ipv4_address(127, 0, 0, 11, 2425));
  // Same port bytes, address bytes in the other order: also another peer.
  register_peer(m, make_ipv4_address(11, 0, 0, 127, 2424));
  EXPECT_EQ(peers(), (Strings{"127.0.0.11:2424", "127.0.0.11:2425", "11.0.0.127:2424"}));
}

TEST_F(PeerRegistryTest, PeerLivesFor1200Agings) {
  register_peer(m, kA);
  for (int i = 0; i < 1199; ++i) age_peers(m);
  ASSERT_EQ(peers().size(), 1u);
  EXPECT_EQ(peer_at(0)->ttl, 1.0f);
  age_peers(m);
  EXPECT_TRUE(peers().empty());
  EXPECT_EQ(m.network.peer_count, 0);
  EXPECT_EQ(m.network.unicast_peers, nullptr);
}

// Which of [A, B, C] expire in the next aging, and what is left.
struct AgingCase {
  const char* what;
  bool expires[3];
  Strings left;
};
const AgingCase kAgingCases[] = {
    {"only the middle one", {false, true, false}, {"127.0.0.11:2424", "127.0.0.13:2424"}},
    {"only the head", {true, false, false}, {"127.0.0.12:41000", "127.0.0.13:2424"}},
    {"only the tail", {false, false, true}, {"127.0.0.11:2424", "127.0.0.12:41000"}},
    {"head and tail", {true, false, true}, {"127.0.0.12:41000"}},
    {"all of them", {true, true, true}, {}},
    {"none", {false, false, false}, {"127.0.0.11:2424", "127.0.0.12:41000", "127.0.0.13:2424"}},
};
void PrintTo(const AgingCase& c, std::ostream* os) {
  *os << c.what;
}

class AgingTest : public PeerRegistryTest, public ::testing::WithParamInterface<AgingCase> {};

TEST_P(AgingTest, ExpiredNodesAreUnlinkedAndTheRestKeepTheirOrder) {
  const AgingCase& c = GetParam();
  register_peer(m, kA);
  register_peer(m, kB);
  register_peer(m, kC);
  for (int i = 0; i < 1199; ++i) age_peers(m);
  const Ipv4SocketAddress all[3] = {kA, kB, kC};
  for (int i = 0; i < 3; ++i) {
    if (!c.expires[i]) register_peer(m, all[i]);
  }
  age_peers(m);
  EXPECT_EQ(peers(), c.left) << c.what;
  EXPECT_EQ(m.network.peer_count, static_cast<std::int32_t>(c.left.size()));
}
INSTANTIATE_TEST_SUITE_P(Table, AgingTest, ::testing::ValuesIn(kAgingCases));

TEST_F(PeerRegistryTest, RequestedPeersAreBoundedBeyondTheSeedPeers) {
  m.network.seed_peers[0] = make_ipv4_address(127, 0, 0, 2, 2424);
  m.network.seed_peers[1] = make_ipv4_address(127, 0, 0, 3, 2424);
  m.network.seed_peer_count = 2;
  register_seed_peers(m);
  auto stranger = [](int i) {
    return make_ipv4_address(127, 1, 0, 1, static_cast<std::uint16_t>(20000 + i));
  };
  for (int i = 0; i < 64; ++i) register_peer(m, stranger(i));
  EXPECT_EQ(m.network.peer_count, 66);

  // One more is dropped, as if its allocation had failed.
  register_peer(m, stranger(64));
  EXPECT_EQ(m.network.peer_count, 66);
  EXPECT_EQ(peers().back(), "127.1.0.1:20063");

  // Listed peers are still refreshed.
  for (int i = 0; i < 1000; ++i) age_peers(m);
  register_peer(m, stranger(10));
  EXPECT_EQ(peer_at(2 + 10)->ttl, 1200.0f);
  register_peer(m, stranger(64));
  EXPECT_EQ(m.network.peer_count, 66);

  // Seed peers always find room, even in a list that the bound calls full:
  // here the seed table was read anew (a new set-up after a teardown) and
  // names a peer not yet listed, while the two old seeds are still there.
  m.network.seed_peers[0] = make_ipv4_address(127, 0, 0, 4, 2424);
  m.network.seed_peer_count = 1;
  register_seed_peers(m);
  EXPECT_EQ(peers().back(), "127.0.0.4:2424");
  EXPECT_EQ(m.network.peer_count, 67);

  // Expired peers free their places: the old seeds and 63 strangers go.
  for (int i = 0; i < 200; ++i) age_peers(m);
  EXPECT_EQ(peers(), (Strings{"127.1.0.1:20010", "127.0.0.4:2424"}));
  for (int i = 100; i < 100 + 63; ++i) register_peer(m, stranger(i));
  EXPECT_EQ(m.network.peer_count, 65);
  register_peer(m, stranger(300));
  EXPECT_EQ(m.network.peer_count, 65);
  EXPECT_EQ(peers().back(), "127.1.0.1:20162");
  EXPECT_EQ(static_cast<std::int32_t>(peers().size()), m.network.peer_count);
}

TEST_F(PeerRegistryTest, FailedAllocationDropsTheRegistrationQuietly) {
  register_peer(m, kA);
  fail_nothrow_new = true;
  register_peer(m, kB);
  register_peer(m, kA);  // a refresh needs no memory
  fail_nothrow_new = false;
  EXPECT_EQ(peers(), (Strings{"127.0.0.11:2424"}));
  EXPECT_EQ(m.network.peer_count, 1);
  register_peer(m, kB);  // a later request succeeds
  EXPECT_EQ(peers(), (Strings{"127.0.0.11:2424", "127.0.0.12:41000"}));
}

// Seed files, written byte for byte, and the addresses they yield.
struct SeedCase {
  const char* what;
  std::string file;
  Strings seeds;
};

std::string numbered_lines(int count, const char* line_end) {
  std::string text;
  for (int i = 1; i <= count; ++i)
    text += "127.0." + std::to_string(i / 100) + "." + std::to_string(i % 100) + line_end;
  return text;
}
Strings numbered_seeds(int count) {
  Strings out;
  for (int i = 1; i <= count; ++i)
    out.push_back("127.0." + std::to_string(i / 100) + "." + std::to_string(i % 100) + ":2424");
  return out;
}

const SeedCase kSeedCases[] = {
    {"plain lines", "127.0.0.1\n127.0.0.2\n", {"127.0.0.1:2424", "127.0.0.2:2424"}},
    {"CRLF line ends", "127.0.0.1\r\n127.0.0.2\r\n", {"127.0.0.1:2424", "127.0.0.2:2424"}},
    {"last line without line end", "127.0.0.1\n127.0.0.2", {"127.0.0.1:2424", "127.0.0.2:2424"}},
    {"broadcast reads as the failure value",
     "127.0.0.1\n255.255.255.255\n127.0.0.2\n",
     {"127.0.0.1:2424", "127.0.0.2:2424"}},
    {"same address twice", "127.0.0.9\n127.0.0.9\n", {"127.0.0.9:2424", "127.0.0.9:2424"}},
    {"comments, sections and blank lines skipped",
     "[peers]\n; tablet\n\n  127.0.0.5\n127.0.0.6 ; trailing words\n#127.0.0.7\n127.0.0.8x\n",
     {"127.0.0.6:2424"}},
    {"other forms of the classic conversion",
     "0x7f.0.0.012\n2130706434\n127.1\n",
     {"127.0.0.10:2424", "127.0.0.2:2424", "127.0.0.1:2424"}},
    {"a long line is read in pieces of 99",
     // 99 characters (an address and padding), then a second piece that
     // holds another address.
     "127.0.0.3" + std::string(90, ' ') + "127.0.0.4\n" +
         // A 99-character comment, then an address that starts piece two.
         std::string(99, '#') + "127.0.0.5\n" +
         // An address cut by the piece boundary: "...#127." | "0.0.66\n";
         // the tail is converted on its own, as three parts.
         std::string(95, '#') + "127.0.0.66\n",
     {"127.0.0.3:2424", "127.0.0.4:2424", "127.0.0.5:2424", "0.0.0.66:2424"}},
    {"at most 100 of 150 addresses", numbered_lines(150, "\n"), numbered_seeds(100)},
    {"empty file", "", {}},
};
void PrintTo(const SeedCase& c, std::ostream* os) {
  *os << c.what;
}

class SeedFileTest : public PeerRegistryTest, public ::testing::WithParamInterface<SeedCase> {};

TEST_P(SeedFileTest, AddressesAreReadInFileOrder) {
  const SeedCase& c = GetParam();
  ScratchDirectory dir;
  dir.write_seed_file(c.file);
  const std::int32_t count = load_seed_peers(m);
  ASSERT_EQ(count, static_cast<std::int32_t>(c.seeds.size())) << c.what;
  Strings got;
  for (int i = 0; i < count; ++i) {
    const Ipv4SocketAddress& s = m.network.seed_peers[i];
    got.push_back(describe(s));
    EXPECT_EQ(s.family, kAddressFamilyInet);
    for (std::uint8_t z : s.zero) EXPECT_EQ(z, 0);
  }
  EXPECT_EQ(got, c.seeds) << c.what;
}
INSTANTIATE_TEST_SUITE_P(Table, SeedFileTest, ::testing::ValuesIn(kSeedCases));

TEST_F(PeerRegistryTest, MissingSeedFileGivesNoSeeds) {
  ScratchDirectory dir;
  EXPECT_EQ(load_seed_peers(m), 0);
}

TEST_F(PeerRegistryTest, SameSeedTwiceIsOnePeer) {
  ScratchDirectory dir;
  dir.write_seed_file("127.0.0.9\n127.0.0.9\n");
  m.network.seed_peer_count = load_seed_peers(m);
  register_seed_peers(m);
  EXPECT_EQ(m.network.seed_peer_count, 2);
  EXPECT_EQ(peers(), (Strings{"127.0.0.9:2424"}));
}

TEST_F(PeerRegistryTest, SeedThatAlsoRequestsIsOnePeerOnlyFromTheProtocolPort) {
  m.network.seed_peers[0] = make_ipv4_address(127, 0, 0, 9, 2424);
  m.network.seed_peer_count = 1;
  register_seed_peers(m);
  register_peer(m, make_ipv4_address(127, 0, 0, 9, 2424));
  EXPECT_EQ(peers(), (Strings{"127.0.0.9:2424"}));
  register_peer(m, make_ipv4_address(127, 0, 0, 9, 51000));
  EXPECT_EQ(peers(), (Strings{"127.0.0.9:2424", "127.0.0.9:51000"}));
}

}  // namespace
}  // namespace orbitune
