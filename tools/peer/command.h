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
#include "position/set_word_bits.h"

namespace orbitune::peer {

inline constexpr std::int32_t kCommandMessageId = 4;
inline constexpr std::int32_t kUnicastRequestMessageId = 16;
inline constexpr std::uint16_t kProtocolPort = 2424;

using PositionImage = std::array<std::uint8_t, kPositionPacketBytes>;

// The set-word bits come from position/set_word_bits.h; command.cpp checks
// each autopilot bit against its field's offset.

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
