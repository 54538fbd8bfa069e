// The `orbitune-peer` program as a function, so that tests can run its
// command builder in-process; main() only adds signal handling.
#pragma once

#include <ostream>

namespace orbitune::peer {

// Exit codes: 0 success, 1 a network failure, 2 a usage error (bad option or
// value), 3 `watch --count N` saw fewer than N position packets before it
// stopped, 4 `send --confirm` saw no packet reporting the command back.
int run_peer(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

// Asks a running `watch` (or `send --confirm`) to stop and print its summary;
// safe to call from a signal handler.
void request_stop();

}  // namespace orbitune::peer
