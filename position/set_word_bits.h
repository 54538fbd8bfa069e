// The set-word bits of a command (message ID 4): which bit of which set word
// marks each field that a command can carry. The module reads them and every
// peer writes them, so both take them from here.
#pragma once

#include <cstdint>

namespace orbitune {

// In the position and radio groups bit n marks the group's n-th field; in the
// autopilot group bit n marks the field at offset 152 + 4n, but for the two
// display fields below.
namespace pos_bit {
inline constexpr std::uint32_t theta = 1u << 3;
inline constexpr std::uint32_t phi = 1u << 4;
inline constexpr std::uint32_t beta = 1u << 9;
inline constexpr std::uint32_t alti = 1u << 14;
}  // namespace pos_bit

namespace ap_bit {
inline constexpr std::uint32_t altdial = 1u << 0;
inline constexpr std::uint32_t speeddial = 1u << 3;
inline constexpr std::uint32_t hdgdial = 1u << 4;
inline constexpr std::uint32_t vspeeddial = 1u << 5;
inline constexpr std::uint32_t fdmode = 1u << 6;
inline constexpr std::uint32_t speedismach = 1u << 7;
inline constexpr std::uint32_t speedst = 1u << 8;
inline constexpr std::uint32_t lnavst = 1u << 9;
inline constexpr std::uint32_t hdgst = 1u << 11;
inline constexpr std::uint32_t locst = 1u << 12;
inline constexpr std::uint32_t altst = 1u << 13;
inline constexpr std::uint32_t gsst = 1u << 15;
inline constexpr std::uint32_t obs1p = 1u << 16;
inline constexpr std::uint32_t obs2p = 1u << 18;
inline constexpr std::uint32_t apsource = 1u << 20;
inline constexpr std::uint32_t mfdmode = 1u << 21;
// The protocol gives these two bits in the reverse order of their fields:
// mfdshow lies at offset 240, before mfdrange at 244.
inline constexpr std::uint32_t mfdrange = 1u << 22;
inline constexpr std::uint32_t mfdshow = 1u << 23;
}  // namespace ap_bit

namespace rad_bit {
inline constexpr std::uint32_t nav1freq = 1u << 8;
inline constexpr std::uint32_t nav2freq = 1u << 9;
inline constexpr std::uint32_t com1freq = 1u << 10;
inline constexpr std::uint32_t com2freq = 1u << 11;
inline constexpr std::uint32_t adf1freq = 1u << 12;
inline constexpr std::uint32_t adf2freq = 1u << 13;
inline constexpr std::uint32_t nav1sfreq = 1u << 15;
inline constexpr std::uint32_t nav2sfreq = 1u << 16;
inline constexpr std::uint32_t com1sfreq = 1u << 17;
inline constexpr std::uint32_t com2sfreq = 1u << 18;
inline constexpr std::uint32_t adf1sfreq = 1u << 19;
inline constexpr std::uint32_t adf2sfreq = 1u << 20;
inline constexpr std::uint32_t xpderc = 1u << 22;
inline constexpr std::uint32_t xpdermode = 1u << 23;
inline constexpr std::uint32_t radaux1 = 1u << 25;
inline constexpr std::uint32_t radaux2 = 1u << 26;
}  // namespace rad_bit

}  // namespace orbitune
