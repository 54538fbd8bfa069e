#include "tools/host/scenario.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>

namespace orbitune::host {
namespace {

using Json = nlohmann::json;

constexpr double kLatitudeUnitsPerTurn = 40007000.0;
constexpr std::uint64_t kLongitudeUnitsPerTurn = std::uint64_t{1} << 48;
// A longer pause is almost certainly a typo for a number of updates.
constexpr double kLongestPauseSeconds = 3600.0;

// JSON pointer of a member or element below `parent` (RFC 6901 escaping).
std::string child(const std::string& parent, const std::string& key) {
  std::string escaped;
  for (char c : key) {
    if (c == '~')
      escaped += "~0";
    else if (c == '/')
      escaped += "~1";
    else
      escaped += c;
  }
  return parent + "/" + escaped;
}
std::string child(const std::string& parent, std::size_t index) {
  return parent + "/" + std::to_string(index);
}

class Reader {
 public:
  explicit Reader(std::string source) : source_(std::move(source)) {}

  [[noreturn]] void fail(const std::string& where, const std::string& what) const {
    throw ScenarioError(source_ + ": " + (where.empty() ? std::string("/") : where) + ": " + what);
  }

  const Json& object(const Json& j, const std::string& where) const {
    if (!j.is_object()) fail(where, "expected an object, found " + std::string(j.type_name()));
    return j;
  }

  double number(const Json& j, const std::string& where) const {
    if (!j.is_number()) fail(where, "expected a number, found " + std::string(j.type_name()));
    const double v = j.get<double>();
    if (!std::isfinite(v)) fail(where, "the number is not finite");
    return v;
  }

  std::int64_t integer(const Json& j, const std::string& where, std::int64_t lo,
                       std::int64_t hi) const {
    if (!j.is_number_integer()) {
      fail(where, "expected an integer, found " +
                      std::string(j.is_number_float() ? "a number with a fraction or exponent"
                                                      : j.type_name()));
    }
    if (j.is_number_unsigned() && j.get<std::uint64_t>() > static_cast<std::uint64_t>(hi))
      fail(where, "the integer is larger than " + std::to_string(hi));
    const std::int64_t v = j.get<std::int64_t>();
    if (v < lo || v > hi)
      fail(where, "the integer " + std::to_string(v) + " is outside " + std::to_string(lo) + ".." +
                      std::to_string(hi));
    return v;
  }

  std::string text(const Json& j, const std::string& where) const {
    if (!j.is_string()) fail(where, "expected a string, found " + std::string(j.type_name()));
    return j.get<std::string>();
  }

  // A value in host units that the record keeps as whole + 1/65536 parts.
  void fixed_point(const Json& j, const std::string& where, std::int32_t& whole,
                   std::uint16_t& fraction) const {
    const double v = number(j, where);
    const double scaled = v * 65536.0;
    if (std::floor(v) < std::numeric_limits<std::int32_t>::min() ||
        std::floor(v) > std::numeric_limits<std::int32_t>::max())
      fail(where, "the value does not fit the record's 32-bit whole part");
    if (scaled != std::floor(scaled))
      fail(where, "the value is not a whole number of 1/65536 units, as the record holds it");
    split_fixed_point(v, whole, fraction);
  }

  std::uint32_t token(const std::string& key, const std::string& where) const {
    const char* begin = key.c_str();
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(begin, &end, 0);
    if (key.empty() || key[0] == '-' || key[0] == '+' || *end != '\0' || errno != 0)
      fail(where, "a variable token is a number such as \"0x47\" or \"71\"");
    if (v > 0xFFFFFFFFull) fail(where, "a variable token has 32 bits");
    if (v == 0) fail(where, "token 0 names no variable");
    return static_cast<std::uint32_t>(v);
  }

  std::vector<VarSetting> vars(const Json& j, const std::string& where) const {
    std::vector<VarSetting> out;
    for (const auto& [key, value] : object(j, where).items()) {
      const std::string at = child(where, key);
      const std::uint32_t t = token(key, at);
      if (is_bcd_token(t)) {
        // BCD words may be written as their unsigned hexadecimal value.
        const std::int64_t v = integer(value, at, std::numeric_limits<std::int32_t>::min(),
                                       std::numeric_limits<std::uint32_t>::max());
        out.push_back(
            {t, HostValue::of_i32(static_cast<std::int32_t>(static_cast<std::uint32_t>(v)))});
      } else if (is_known_token(t) || !value.is_number_integer()) {
        out.push_back({t, HostValue::of_f64(number(value, at))});
      } else {
        // A token the module does not read: an integer is kept as an int32.
        out.push_back({t, HostValue::of_i32(static_cast<std::int32_t>(
                              integer(value, at, std::numeric_limits<std::int32_t>::min(),
                                      std::numeric_limits<std::int32_t>::max())))});
      }
    }
    return out;
  }

  std::vector<ExpressionSetting> expressions(const Json& j, const std::string& where) const {
    std::vector<ExpressionSetting> out;
    for (const auto& [key, value] : object(j, where).items()) {
      const std::string at = child(where, key);
      const std::optional<ResultKind> kind = known_expression_kind(key);
      auto as_i32 = [&] {
        return HostValue::of_i32(
            static_cast<std::int32_t>(integer(value, at, std::numeric_limits<std::int32_t>::min(),
                                              std::numeric_limits<std::int32_t>::max())));
      };
      if (kind == ResultKind::text || (!kind && value.is_string())) {
        out.push_back({key, HostValue::of_text(text(value, at))});
      } else if (kind == ResultKind::i32 || (!kind && value.is_number_integer())) {
        out.push_back({key, as_i32()});
      } else {
        out.push_back({key, HostValue::of_f64(number(value, at))});
      }
    }
    return out;
  }

  GpsWaypointSpec waypoint(const Json& j, const std::string& where) const {
    object(j, where);
    GpsWaypointSpec w;
    for (const auto& [key, value] : j.items()) {
      if (key != "ident" && key != "lat" && key != "lon" && key != "alt_m" && key != "lat_units" &&
          key != "lon_units48" && key != "alt_units")
        fail(child(where, key),
             "unknown key; a waypoint has ident, lat or lat_units, "
             "lon or lon_units48, alt_m or alt_units");
    }
    if (j.contains("ident")) {
      w.ident = text(j["ident"], child(where, "ident"));
      if (w.ident.size() > gps_layout::ident_bytes)
        fail(child(where, "ident"), "an identifier has at most 8 characters");
    }
    auto one_of = [&](const char* natural, const char* raw) {
      if (j.contains(natural) && j.contains(raw))
        fail(where, std::string("give either \"") + natural + "\" or \"" + raw + "\", not both");
      if (!j.contains(natural) && !j.contains(raw))
        fail(where, std::string("missing \"") + natural + "\" (or \"" + raw + "\")");
      return j.contains(natural);
    };
    if (one_of("lat", "lat_units")) {
      const double lat = number(j["lat"], child(where, "lat"));
      if (lat < -90.0 || lat > 90.0) fail(child(where, "lat"), "a latitude is -90 to 90 degrees");
      split_fixed_point(lat * kLatitudeUnitsPerTurn / 360.0, w.lat_whole, w.lat_fraction);
    } else {
      fixed_point(j["lat_units"], child(where, "lat_units"), w.lat_whole, w.lat_fraction);
    }
    if (one_of("lon", "lon_units48")) {
      w.lon_units48 = longitude_to_units48(number(j["lon"], child(where, "lon")));
    } else {
      w.lon_units48 = static_cast<std::uint64_t>(
          integer(j["lon_units48"], child(where, "lon_units48"), 0,
                  static_cast<std::int64_t>(kLongitudeUnitsPerTurn - 1)));
    }
    if (one_of("alt_m", "alt_units")) {
      const double metres = number(j["alt_m"], child(where, "alt_m"));
      if (std::fabs(metres) > 1e9) fail(child(where, "alt_m"), "the altitude is out of range");
      split_fixed_point(metres, w.alt_whole, w.alt_fraction);
    } else {
      fixed_point(j["alt_units"], child(where, "alt_units"), w.alt_whole, w.alt_fraction);
    }
    return w;
  }

  GpsPlanSpec gps(const Json& j, const std::string& where) const {
    GpsPlanSpec plan;
    if (j.is_null()) {
      plan.bindable = false;
      plan.has_array = false;
      return plan;
    }
    object(j, where);
    for (const auto& [key, value] : j.items()) {
      if (key != "active" && key != "waypoints")
        fail(child(where, key), "unknown key; the plan has \"active\" and \"waypoints\"");
    }
    if (j.contains("active")) {
      plan.active = static_cast<std::int32_t>(integer(j["active"], child(where, "active"),
                                                      std::numeric_limits<std::int32_t>::min(),
                                                      std::numeric_limits<std::int32_t>::max()));
    }
    if (j.contains("waypoints")) {
      const Json& list = j["waypoints"];
      const std::string at = child(where, "waypoints");
      if (!list.is_array()) fail(at, "expected an array of waypoints");
      for (std::size_t i = 0; i < list.size(); ++i)
        plan.waypoints.push_back(waypoint(list[i], child(at, i)));
    }
    return plan;
  }

  Action action(const Json& j, const std::string& where) const {
    object(j, where);
    Action a;
    if (!j.contains("at")) fail(where, "an action needs \"at\", the update it comes before");
    a.at = integer(j["at"], child(where, "at"), 1, std::numeric_limits<std::int64_t>::max());
    static constexpr const char* kKinds[] = {"click",       "service", "vars",
                                             "expressions", "gps",     "pause_s"};
    const char* kind = nullptr;
    for (const auto& [key, value] : j.items()) {
      if (key == "at") continue;
      bool known = false;
      for (const char* k : kKinds) known = known || key == k;
      if (!known)
        fail(child(where, key),
             "unknown key; an action has \"at\" and one of click, service, vars, expressions, "
             "gps, pause_s");
      if (kind != nullptr)
        fail(where, "an action does one thing; split \"" + std::string(kind) + "\" and \"" + key +
                        "\" into two actions");
      for (const char* k : kKinds)
        if (key == k) kind = k;
    }
    if (kind == nullptr) fail(where, "the action does nothing");
    const std::string k = kind;
    const std::string at = child(where, k);
    const Json& v = j[k];
    if (k == "click") {
      if (v.is_boolean()) {
        if (!v.get<bool>()) fail(at, "\"click\": true clicks the click area; false is no action");
        a.kind = Action::Kind::click_in_area;
      } else {
        object(v, at);
        for (const auto& [key, value] : v.items()) {
          if (key != "x" && key != "y" && key != "flags")
            fail(child(at, key), "unknown key; a click has x, y and flags");
        }
        if (!v.contains("x") || !v.contains("y")) fail(at, "a click needs \"x\" and \"y\"");
        a.kind = Action::Kind::click_at;
        a.x = static_cast<std::int32_t>(integer(v["x"], child(at, "x"), -100000, 100000));
        a.y = static_cast<std::int32_t>(integer(v["y"], child(at, "y"), -100000, 100000));
        if (v.contains("flags"))
          a.flags = static_cast<std::uint32_t>(integer(v["flags"], child(at, "flags"), 0,
                                                       std::numeric_limits<std::uint32_t>::max()));
      }
    } else if (k == "service") {
      a.kind = Action::Kind::service;
      a.service_id =
          static_cast<std::int32_t>(integer(v, at, std::numeric_limits<std::int32_t>::min(),
                                            std::numeric_limits<std::int32_t>::max()));
    } else if (k == "vars") {
      a.kind = Action::Kind::vars;
      a.vars = vars(v, at);
    } else if (k == "expressions") {
      a.kind = Action::Kind::expressions;
      a.expressions = expressions(v, at);
    } else if (k == "gps") {
      a.kind = Action::Kind::gps;
      a.gps = gps(v, at);
    } else {
      a.kind = Action::Kind::pause;
      a.pause_seconds = number(v, at);
      if (a.pause_seconds < 0.0 || a.pause_seconds > kLongestPauseSeconds)
        fail(at, "a pause is 0 to 3600 seconds");
    }
    return a;
  }

  Scenario scenario(const Json& root) const {
    object(root, "");
    Scenario s;
    for (const auto& [key, value] : root.items()) {
      const std::string at = child("", key);
      if (key == "vars") {
        s.vars = vars(value, at);
      } else if (key == "expressions") {
        s.expressions = expressions(value, at);
      } else if (key == "gps") {
        s.gps = gps(value, at);
      } else if (key == "aircraft") {
        const std::string mode = text(value, at);
        if (mode == "static")
          s.mode = AircraftMode::static_values;
        else if (mode == "fly")
          s.mode = AircraftMode::fly;
        else
          fail(at, "the aircraft is \"static\" or \"fly\", not \"" + mode + "\"");
      } else if (key == "actions") {
        if (!value.is_array()) fail(at, "expected an array of actions");
        for (std::size_t i = 0; i < value.size(); ++i)
          s.actions.push_back(action(value[i], child(at, i)));
      } else {
        fail(at, "unknown key; a scenario has vars, expressions, gps, aircraft and actions");
      }
    }
    return s;
  }

 private:
  std::string source_;
};

}  // namespace

Scenario parse_scenario(const std::string& text, const std::string& source) {
  Json root;
  try {
    root = Json::parse(text);
  } catch (const Json::parse_error& e) {
    // Place the error by line and column: a byte offset is no help in an editor.
    std::size_t line = 1, column = 1;
    const std::size_t end = std::min<std::size_t>(e.byte == 0 ? 0 : e.byte - 1, text.size());
    for (std::size_t i = 0; i < end; ++i) {
      if (text[i] == '\n') {
        ++line;
        column = 1;
      } else {
        ++column;
      }
    }
    std::string what = e.what();
    const std::size_t colon = what.find(": ", what.find("parse error"));
    if (colon != std::string::npos) what = what.substr(colon + 2);
    throw ScenarioError(source + ": line " + std::to_string(line) + ", column " +
                        std::to_string(column) + ": not valid JSON: " + what);
  }
  return Reader(source).scenario(root);
}

Scenario load_scenario_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ScenarioError(path + ": cannot open the scenario file");
  std::ostringstream text;
  text << in.rdbuf();
  return parse_scenario(text.str(), path);
}

void apply_settings(const std::vector<VarSetting>& vars,
                    const std::vector<ExpressionSetting>& expressions, Aircraft& aircraft) {
  for (const VarSetting& v : vars) aircraft.set_var(v.token, v.value);
  for (const ExpressionSetting& e : expressions) aircraft.set_expression(e.text, e.value);
}

void apply_initial_state(const Scenario& scenario, Aircraft& aircraft) {
  aircraft.mode = scenario.mode;
  apply_settings(scenario.vars, scenario.expressions, aircraft);
  if (scenario.gps) aircraft.set_gps(*scenario.gps);
}

}  // namespace orbitune::host
