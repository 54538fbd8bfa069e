#include "tools/peer/packet_fields.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "platform/little_endian.h"

namespace orbitune::peer {

namespace {

namespace at = position_offset;

constexpr std::size_t kind_size(FieldKind kind) {
  return kind == FieldKind::f64 ? 8 : 4;
}

#define FIELD(name, kind)                                        \
  PositionField {                                                \
#name, at::name, FieldKind::kind, kind_size(FieldKind::kind) \
  }

constexpr PositionField kFields[] = {
    PositionField{"Message ID", at::message_id, FieldKind::i32, 4},
    PositionField{"Version", at::version, FieldKind::i32, 4},
    PositionField{"Tailno", at::Tailno, FieldKind::text, 8},
    PositionField{"ICAO", at::ICAO, FieldKind::text, 8},
    PositionField{"CallSign", at::CallSign, FieldKind::text, 8},
    PositionField{"Source", at::Source, FieldKind::text, 16},
    FIELD(LandingG, i32),
    FIELD(PBreak, f32),
    FIELD(Flaps, f32),
    FIELD(SBreak, f32),
    FIELD(lat, f64),
    FIELD(lon, f64),
    FIELD(elev, f64),
    FIELD(theta, f32),
    FIELD(phi, f32),
    FIELD(psi, f32),
    FIELD(free, f32),
    FIELD(mvar, f32),
    FIELD(alpha, f32),
    FIELD(beta, f32),
    FIELD(gs, f32),
    FIELD(ias, f32),
    FIELD(mach, f32),
    FIELD(tas, f32),
    FIELD(alti, f32),
    FIELD(vvifpm, f32),
    FIELD(wspeed, f32),
    FIELD(wdir, f32),
    FIELD(otemp, f32),
    FIELD(altdial, f32),
    FIELD(holddial, f32),
    FIELD(vnavdial, f32),
    FIELD(speeddial, f32),
    FIELD(hdgdial, f32),
    FIELD(vspeeddial, f32),
    FIELD(fdmode, i32),
    FIELD(speedismach, i32),
    FIELD(speedst, i32),
    FIELD(lnavst, i32),
    FIELD(vnavst, i32),
    FIELD(hdgst, i32),
    FIELD(locst, i32),
    FIELD(altst, i32),
    FIELD(vsst, i32),
    FIELD(gsst, i32),
    FIELD(obs1p, f32),
    FIELD(lcst, i32),
    FIELD(obs2p, f32),
    FIELD(n1status, i32),
    FIELD(apsource, i32),
    FIELD(mfdmode, i32),
    FIELD(mfdshow, i32),
    FIELD(mfdrange, f32),
    FIELD(nav1pwr, i32),
    FIELD(nav2pwr, i32),
    FIELD(com1pwr, i32),
    FIELD(com2pwr, i32),
    FIELD(adf1pwr, i32),
    FIELD(adf2pwr, i32),
    FIELD(dmepwr, i32),
    FIELD(gpspwr, i32),
    FIELD(nav1freq, i32),
    FIELD(nav2freq, i32),
    FIELD(com1freq, i32),
    FIELD(com2freq, i32),
    FIELD(adf1freq, i32),
    FIELD(adf2freq, i32),
    FIELD(dmefreq, i32),
    FIELD(nav1sfreq, i32),
    FIELD(nav2sfreq, i32),
    FIELD(com1sfreq, i32),
    FIELD(com2sfreq, i32),
    FIELD(adf1sfreq, i32),
    FIELD(adf2sfreq, i32),
    FIELD(dmesfreq, i32),
    FIELD(xpderc, i32),
    FIELD(xpdermode, i32),
    FIELD(xpdersqk, i32),
    FIELD(radaux1, i32),
    FIELD(radaux2, i32),
    FIELD(acf_set, u32),
    FIELD(pos_set, u32),
    FIELD(ap_set, u32),
    FIELD(rad_set, u32),
    FIELD(reserved1, i32),
    FIELD(reserved2, i32),
    FIELD(vso, f32),
    FIELD(vs, f32),
    FIELD(vfe, f32),
    FIELD(vno, f32),
    FIELD(vne, f32),
    FIELD(mmo, f32),
    FIELD(zulusecs, f32),
    FIELD(localsecs, f32),
    FIELD(maxfuel, f32),
    FIELD(totfuel, f32),
    FIELD(payloadweight, f32),
    FIELD(totalweight, f32),
    FIELD(fdpitch, f32),
    FIELD(fdroll, f32),
    FIELD(msl, f32),
    FIELD(agl, f32),
    FIELD(rho, f32),
    FIELD(sigma, f32),
    FIELD(speed_sound_ms, f32),
    FIELD(ihg, f32),
};
#undef FIELD

// The table is the JSON view of the whole record: a gap, an overlap or a
// missing tail would silently drop bytes from what scripts see.
constexpr bool fields_tile_the_record() {
  std::size_t next = 0;
  for (const auto& f : kFields) {
    if (f.offset != next) return false;
    next = f.offset + f.size;
  }
  return next == kPositionPacketBytes;
}
static_assert(fields_tile_the_record());

[[noreturn]] void reject(std::string_view field, const std::string& why) {
  throw std::invalid_argument("field \"" + std::string(field) + "\": " + why);
}

// Integers may come as JSON numbers or as "0x..."/decimal strings.
std::int64_t integer_value(const PositionField& f, const nlohmann::json& v) {
  if (v.is_number_integer()) {
    if (v.is_number_unsigned()) {
      const auto u = v.get<std::uint64_t>();
      if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        reject(f.name, "integer out of range");
      return static_cast<std::int64_t>(u);
    }
    return v.get<std::int64_t>();
  }
  if (v.is_string()) {
    const auto& text = v.get_ref<const std::string&>();
    std::size_t used = 0;
    long long parsed = 0;
    try {
      parsed = std::stoll(text, &used, 0);
    } catch (const std::exception&) {
      reject(f.name, "\"" + text + "\" is not an integer");
    }
    if (used != text.size() || text.empty()) reject(f.name, "\"" + text + "\" is not an integer");
    return parsed;
  }
  reject(f.name, "expected an integer, got " + v.dump());
}

double number_value(const PositionField& f, const nlohmann::json& v) {
  if (!v.is_number()) reject(f.name, "expected a number, got " + v.dump());
  return v.get<double>();
}

}  // namespace

std::span<const PositionField> position_fields() {
  return kFields;
}

const PositionField* find_position_field(std::string_view name) {
  const auto it = std::find_if(std::begin(kFields), std::end(kFields),
                               [&](const auto& f) { return f.name == name; });
  return it == std::end(kFields) ? nullptr : &*it;
}

std::string text_field(const std::uint8_t* bytes, std::size_t size) {
  std::size_t n = 0;
  while (n < size && bytes[n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(bytes), n);
}

nlohmann::json position_image_to_json(const std::uint8_t* image) {
  auto out = nlohmann::json::object();
  for (const auto& f : kFields) {
    const std::uint8_t* p = image + f.offset;
    switch (f.kind) {
      case FieldKind::i32:
        out[std::string(f.name)] = load_le_i32(p);
        break;
      case FieldKind::u32:
        out[std::string(f.name)] = load_le_u32(p);
        break;
      case FieldKind::f32:
        out[std::string(f.name)] = load_le_f32(p);
        break;
      case FieldKind::f64:
        out[std::string(f.name)] = load_le_f64(p);
        break;
      case FieldKind::text:
        out[std::string(f.name)] = text_field(p, f.size);
        break;
    }
  }
  return out;
}

void apply_json_to_position_image(const nlohmann::json& object, std::uint8_t* image) {
  if (!object.is_object()) throw std::invalid_argument("expected a JSON object of wire fields");
  for (const auto& [name, value] : object.items()) {
    const PositionField* f = find_position_field(name);
    if (f == nullptr) throw std::invalid_argument("unknown field \"" + name + "\"");
    std::uint8_t* p = image + f->offset;
    switch (f->kind) {
      case FieldKind::i32: {
        const auto v = integer_value(*f, value);
        if (v < std::numeric_limits<std::int32_t>::min() ||
            v > std::numeric_limits<std::int32_t>::max())
          reject(f->name, std::to_string(v) + " does not fit a signed 32-bit integer");
        store_le_i32(p, static_cast<std::int32_t>(v));
        break;
      }
      case FieldKind::u32: {
        const auto v = integer_value(*f, value);
        if (v < 0 || v > std::numeric_limits<std::uint32_t>::max())
          reject(f->name, std::to_string(v) + " does not fit an unsigned 32-bit word");
        store_le_u32(p, static_cast<std::uint32_t>(v));
        break;
      }
      case FieldKind::f32: {
        const double v = number_value(*f, value);
        // A finite double beyond float's range would become infinity on the wire.
        if (std::abs(v) > std::numeric_limits<float>::max())
          reject(f->name, "out of the range of a 32-bit float");
        store_le_f32(p, static_cast<float>(v));
        break;
      }
      case FieldKind::f64:
        store_le_f64(p, number_value(*f, value));
        break;
      case FieldKind::text: {
        if (!value.is_string()) reject(f->name, "expected a text, got " + value.dump());
        const auto& text = value.get_ref<const std::string&>();
        if (text.size() > f->size)
          reject(f->name, "\"" + text + "\" is longer than " + std::to_string(f->size) + " bytes");
        std::fill(p, p + f->size, std::uint8_t{0});
        std::copy(text.begin(), text.end(), p);
        break;
      }
    }
  }
}

nlohmann::json route_packet_to_json(const RoutePacket& packet) {
  const auto& h = packet.header;
  auto out = nlohmann::json::object();
  out["Message ID"] = h.message_id;
  out["Version"] = h.version;
  out["nopoints"] = h.nopoints;
  out["cleg"] = h.cleg;
  out["segment"] = h.segment;
  out["segpoints"] = h.segpoints;
  auto points = nlohmann::json::array();
  const int carried = std::clamp(h.segpoints, 0, static_cast<int>(kPointsPerRoutePacket));
  for (int k = 0; k < carried; ++k) {
    const RoutePoint& p = packet.points[k];
    points.push_back(
        {{"TYPE", p.TYPE},
         {"NAME", text_field(reinterpret_cast<const std::uint8_t*>(p.NAME), sizeof p.NAME)},
         {"LAT", p.LAT},
         {"LON", p.LON},
         {"ELEV", p.ELEV},
         {"reserved", p.reserved}});
  }
  out["points"] = std::move(points);
  return out;
}

}  // namespace orbitune::peer
