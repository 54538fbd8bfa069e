// Socket tests send to the protocol's fixed port and multicast group. They run
// only inside a private network namespace where loopback is the one interface
// up, so that nothing they send can leave the machine.
#pragma once

#include <string>

namespace orbitune::testing {

// Empty when the process is isolated; otherwise what is wrong.
std::string network_isolation_problem();

}  // namespace orbitune::testing

// First statement of every test that opens a real socket.
#define ORBITUNE_REQUIRE_ISOLATED_NETWORK()                                             \
  do {                                                                                  \
    const std::string problem_ = ::orbitune::testing::network_isolation_problem();      \
    ASSERT_TRUE(problem_.empty())                                                       \
        << "refusing to open sockets outside the isolated test network: " << problem_   \
        << "\nRun the suite through scripts/test.sh, which makes a private namespace."; \
  } while (0)
