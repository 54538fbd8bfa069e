// Scenario files: the initial state of the simulated aircraft and the actions
// applied before given updates. Every key is optional:
//
//   {"vars": {"0x47": 4451000.0, "0x18": 6144},
//    "expressions": {"(A:ATC ID,string)": "N123AB", "(A:GROUND VELOCITY,knots)": 120.0},
//    "gps": {"active": 1, "waypoints": [{"ident": "KSEA", "lat": 47.45, "lon": -122.31,
//                                        "alt_m": 131.0}]},
//    "aircraft": "static" | "fly",
//    "actions": [{"at": 5, "click": true}, {"at": 9, "service": 12}, ...]}
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/host/aircraft.h"

namespace orbitune::host {

// What is wrong with a scenario: "<file>: <where>: <what>", where is a JSON
// pointer into the document (or a line and column for a syntax error).
class ScenarioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct VarSetting {
  std::uint32_t token;
  HostValue value;
};

struct ExpressionSetting {
  std::string text;
  HostValue value;
};

// The event bit of the click area, the one a plain left click carries.
inline constexpr std::uint32_t kDefaultClickFlags = 0x20000000;

struct Action {
  enum class Kind { click_in_area, click_at, service, vars, expressions, gps, pause };
  std::int64_t at = 1;  // applied just before this update, 1-based
  Kind kind = Kind::click_in_area;
  std::int32_t x = 0, y = 0;  // click_at: gauge units from the top-left corner
  std::uint32_t flags = kDefaultClickFlags;
  std::int32_t service_id = 0;
  std::vector<VarSetting> vars;
  std::vector<ExpressionSetting> expressions;
  GpsPlanSpec gps;
  double pause_seconds = 0.0;
};

struct Scenario {
  std::vector<VarSetting> vars;
  std::vector<ExpressionSetting> expressions;
  // Absent: the record is there but holds no plan.
  std::optional<GpsPlanSpec> gps;
  AircraftMode mode = AircraftMode::static_values;
  std::vector<Action> actions;  // in file order; actions of one update apply in that order
};

// `source` names the document in error messages.
Scenario parse_scenario(const std::string& text, const std::string& source);
Scenario load_scenario_file(const std::string& path);

// Applies the initial state of a scenario to an aircraft.
void apply_initial_state(const Scenario& scenario, Aircraft& aircraft);
void apply_settings(const std::vector<VarSetting>& vars,
                    const std::vector<ExpressionSetting>& expressions, Aircraft& aircraft);

}  // namespace orbitune::host
