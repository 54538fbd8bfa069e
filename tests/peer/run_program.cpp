#include "tests/peer/run_program.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace orbitune::testing {

namespace {

std::string quoted(const std::string& s) {
  std::string out = "'";
  for (const char c : s) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

std::string temp_path(const char* what) {
  char path[] = "/tmp/orbitune-peer-test-XXXXXX";
  const int fd = ::mkstemp(path);
  if (fd >= 0) ::close(fd);
  ::unlink(path);
  return std::string(path) + "." + what;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  std::remove(path.c_str());
  return s.str();
}

}  // namespace

ProgramRun run_program(const std::vector<std::string>& argv, const std::string& stdin_text) {
  const std::string in_path = temp_path("in"), out_path = temp_path("out"),
                    err_path = temp_path("err");
  std::ofstream(in_path) << stdin_text;
  std::string command;
  for (const auto& a : argv) command += quoted(a) + " ";
  command += "<" + quoted(in_path) + " >" + quoted(out_path) + " 2>" + quoted(err_path);
  const int status = std::system(command.c_str());
  ProgramRun run;
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = slurp(out_path);
  run.err = slurp(err_path);
  std::remove(in_path.c_str());
  return run;
}

ProgramRun run_peer_binary(const std::vector<std::string>& args, const std::string& stdin_text) {
  std::vector<std::string> argv{ORBITUNE_PEER_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  return run_program(argv, stdin_text);
}

}  // namespace orbitune::testing
