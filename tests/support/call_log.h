// One ordered log shared by the fakes, so that a test can check the order of
// host calls and socket calls across subsystems.
#pragma once

#include <string>
#include <vector>

namespace orbitune::testing {

struct CallLog {
  std::vector<std::string> entries;

  void add(std::string entry) { entries.push_back(std::move(entry)); }
  void clear() { entries.clear(); }
  // The entries that start with `prefix`, in order.
  std::vector<std::string> starting_with(const std::string& prefix) const;
};

}  // namespace orbitune::testing
