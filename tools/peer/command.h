// Commands (message ID 4) as `orbitune-peer send` builds them: named settings
// in pilot's units, checked, converted to wire units and marked with exactly
// the set-word bits the module acts on.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "position/position_packet.h"

namespace orbitune::peer {

inline constexpr std::int32_t kCommandMessageId = 4;
inline constexpr std::int32_t kUnicastRequestMessageId = 16;
inline constexpr std::uint16_t kProtocolPort = 2424;

using PositionImage = std::array<std::uint8_t, kPositionPacketBytes>;

// Set-word bits of the fields a command can carry. In the position and radio
// groups bit n marks the n-th field of the group; in the autopilot group bit n
// marks offset 152 + 4n, except that bits 22 and 23 are swapped against their
// fields' order (checked below).
namespace pos_bit {
inline constexpr std::uint32_t alti = 0x00004000;  // altimeter setting
}
namespace ap_bit {
inline constexpr std::uint32_t altdial = 0x00000001;
inline constexpr std::uint32_t speeddial = 0x00000008;
inline constexpr std::uint32_t hdgdial = 0x00000010;
inline constexpr std::uint32_t vspeeddial = 0x00000020;
inline constexpr std::uint32_t fdmode = 0x00000040;
inline constexpr std::uint32_t speedismach = 0x00000080;
inline constexpr std::uint32_t speedst = 0x00000100;
inline constexpr std::uint32_t lnavst = 0x00000200;
inline constexpr std::uint32_t hdgst = 0x00000800;
inline constexpr std::uint32_t locst = 0x00001000;
inline constexpr std::uint32_t altst = 0x00002000;
inline constexpr std::uint32_t gsst = 0x00008000;
inline constexpr std::uint32_t obs1p = 0x00010000;
inline constexpr std::uint32_t obs2p = 0x00040000;
inline constexpr std::uint32_t apsource = 0x00100000;
inline constexpr std::uint32_t mfdmode = 0x00200000;
inline constexpr std::uint32_t mfdrange = 0x00400000;
inline constexpr std::uint32_t mfdshow = 0x00800000;
}  // namespace ap_bit
namespace rad_bit {
inline constexpr std::uint32_t nav1freq = 0x00000100;
inline constexpr std::uint32_t nav2freq = 0x00000200;
inline constexpr std::uint32_t com1freq = 0x00000400;
inline constexpr std::uint32_t com2freq = 0x00000800;
inline constexpr std::uint32_t adf1freq = 0x00001000;
inline constexpr std::uint32_t adf2freq = 0x00002000;
inline constexpr std::uint32_t nav1sfreq = 0x00008000;
inline constexpr std::uint32_t nav2sfreq = 0x00010000;
inline constexpr std::uint32_t com1sfreq = 0x00020000;
inline constexpr std::uint32_t com2sfreq = 0x00040000;
inline constexpr std::uint32_t adf1sfreq = 0x00080000;
inline constexpr std::uint32_t adf2sfreq = 0x00100000;
inline constexpr std::uint32_t xpderc = 0x00400000;
inline constexpr std::uint32_t xpdermode = 0x00800000;
inline constexpr std::uint32_t radaux1 = 0x02000000;
inline constexpr std::uint32_t radaux2 = 0x04000000;
}  // namespace rad_bit

// Offset of the field that bit `bit` (0..31) of a set word marks, or -1 when
// the bit stands for nothing. `set_word_offset` is position_offset::pos_set,
// ap_set or rad_set.
int marked_field_offset(std::size_t set_word_offset, int bit);

// Values as a user gives them, already checked and in wire units.
struct CommandOptions {
  std::optional<float> hdgdial, altdial, vspeeddial, obs1p, obs2p, alti, mfdrange;
  std::optional<float> speed_knots, speed_mach;  // at most one of them
  std::optional<std::int32_t> fdmode, hdgst, altst, locst, gsst, lnavst, speedst, apsource;
  std::optional<std::int32_t> mfdmode, mfdshow;
  std::optional<std::int32_t> nav1freq, nav2freq, com1freq, com2freq, adf1freq, adf2freq;
  std::optional<std::int32_t> nav1sfreq, nav2sfreq, com1sfreq, com2sfreq, adf1sfreq, adf2sfreq;
  std::optional<std::int32_t> xpderc, xpdermode, radaux1, radaux2;
};

// A zero-filled image with Message ID 4 and the protocol version.
PositionImage new_command_image();

// Writes every option that is present and sets its bits; bits already set
// (from a JSON base) stay set.
void apply_command_options(const CommandOptions& options, PositionImage& image);

// The marked fields of a command, as "name value" pairs in set-word order, for
// the user to see what a command will do.
std::vector<std::pair<std::string, std::string>> marked_fields(const PositionImage& image);

// Parsers for the named options. Each throws std::invalid_argument with a
// message that names the option, the value and the accepted range.
std::int32_t parse_nav_frequency(std::string_view option, std::string_view text);
std::int32_t parse_com_frequency(std::string_view option, std::string_view text);
std::int32_t parse_adf_frequency(std::string_view option, std::string_view text);
std::int32_t parse_adf_standby_frequency(std::string_view option, std::string_view text);
std::int32_t parse_squawk(std::string_view option, std::string_view text);
float parse_number(std::string_view option, std::string_view text, double low, double high,
                   std::string_view unit);
std::int32_t parse_int32(std::string_view option, std::string_view text);

// Lower-case hex, 16 bytes a line, each line led by its offset:
// "0000: 04 00 00 00 10 03 02 10 ...".
std::string hex_dump(const std::uint8_t* bytes, std::size_t length);

}  // namespace orbitune::peer
