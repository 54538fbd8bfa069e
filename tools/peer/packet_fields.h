// Every field of the position packet by its wire name, and the JSON forms of
// position and route messages that `orbitune-peer` reads and prints.
//
// The JSON side works on the wire image rather than on the decoded struct, so
// what a script sees is exactly what travelled, byte for byte, and a JSON
// command is laid out by the same offsets the module reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <span>
#include <string_view>

#include "position/position_packet.h"
#include "route/route_packet.h"

namespace orbitune::peer {

enum class FieldKind { i32, u32, f32, f64, text };

struct PositionField {
  std::string_view name;  // wire name, as scripts use it
  std::size_t offset;     // from the first byte of the record
  FieldKind kind;
  std::size_t size;  // bytes on the wire
};

// All fields in wire order, "Message ID" first and "ihg" last.
std::span<const PositionField> position_fields();
// Null when no field has that name.
const PositionField* find_position_field(std::string_view name);

// One JSON object with every field of a 460-byte image by its wire name.
nlohmann::json position_image_to_json(const std::uint8_t* image);

// Writes the fields an object names into a 460-byte image, leaving the others
// as they are. Throws std::invalid_argument naming the field for an unknown
// name, a value of the wrong kind, an integer that does not fit, or a text
// longer than its field. Integers may also be given as "0x..." strings, which
// is how set words are easiest to write.
void apply_json_to_position_image(const nlohmann::json& object, std::uint8_t* image);

// A route message as received: its header fields and the points it carries
// (at most segpoints of them, at most 50).
nlohmann::json route_packet_to_json(const RoutePacket& packet);

// Text of a fixed wire field: up to its first zero byte, at most `size` bytes.
std::string text_field(const std::uint8_t* bytes, std::size_t size);

}  // namespace orbitune::peer
