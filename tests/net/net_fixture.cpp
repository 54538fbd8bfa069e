#include "tests/net/net_fixture.h"

#include <fstream>

namespace orbitune::testing {

void ScratchDirectory::write_seed_file(const std::string& bytes) const {
  std::ofstream out(path_ / kSeedFileName, std::ios::binary);
  out << bytes;
  EXPECT_TRUE(out.good());
}

}  // namespace orbitune::testing
