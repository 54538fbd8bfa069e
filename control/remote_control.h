// Applying peers' commands to the simulator.
#pragma once

#include <cstdint>

namespace orbitune {

struct Module;

// `packet` is at least 460 readable bytes: the datagram followed by zeros.
void apply_remote_settings(Module& m, const std::uint8_t* packet);

}  // namespace orbitune
