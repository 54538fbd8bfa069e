#include <csignal>
#include <iostream>

#include "tools/peer/peer_app.h"

namespace {
extern "C" void on_signal(int) {
  orbitune::peer::request_stop();
}
}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGINT, on_signal);
  std::signal(SIGTERM, on_signal);
  return orbitune::peer::run_peer(argc, argv, std::cout, std::cerr);
}
