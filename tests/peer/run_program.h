// Runs a program to completion and keeps its exit code and both output streams.
#pragma once

#include <string>
#include <vector>

namespace orbitune::testing {

struct ProgramRun {
  int exit_code = -1;  // -1 when the program did not exit normally
  std::string out, err;
};

// `stdin_text` is fed to the program's standard input.
ProgramRun run_program(const std::vector<std::string>& argv, const std::string& stdin_text = "");

// The companion tool built beside the tests.
ProgramRun run_peer_binary(const std::vector<std::string>& args,
                           const std::string& stdin_text = "");

}  // namespace orbitune::testing
