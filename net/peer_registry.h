// Inside the network transport: how the receive poll keeps the seed peers
// listed.
#pragma once

namespace orbitune {

struct Module;

// Registers every seed peer, in table order: adds the ones not listed and
// gives all of them a full time-to-live. Unlike a stranger's request, a seed
// peer is never refused for lack of room.
void register_seed_peers(Module& m);

}  // namespace orbitune
