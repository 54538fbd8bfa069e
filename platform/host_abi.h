// The host's binary interface: a 32-bit Windows process that calls every
// callback and panel service with the callee-cleans convention, and lays its
// records out with 4-byte pointers.
#pragma once

#if defined(_WIN32) && !defined(_WIN64)
#define ORBITUNE_HOSTCALL __stdcall
#else
#define ORBITUNE_HOSTCALL
#endif

namespace orbitune {

// True where pointers are as wide as the host's, so that the shared records
// have exactly the host's offsets; a 64-bit build keeps the fields and widens
// the pointers.
inline constexpr bool kHostPointerWidth = sizeof(void*) == 4;

}  // namespace orbitune
