// Scenario files of the emulated host: every key read into the right kind of
// host value, and every mistake reported with the file, the place and what is
// wrong.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <ostream>
#include <string>

#include "platform/little_endian.h"
#include "tools/host/scenario.h"

namespace orbitune::host {
namespace {

TEST(ScenarioParse, ReadsEveryKeyIntoItsHostKind) {
  const Scenario s = parse_scenario(R"j({
    "vars": {"0x47": 4451000.5, "0x18": 6144, "0x26": 30464, "0x4A": 3500, "0x1234": 7,
             "4661": 2.25, "0x269": 4294967295},
    "expressions": {"(A:ATC ID,string)": "N123AB", "(A:GROUND VELOCITY,knots)": 120,
                    "(A:GPS DRIVES NAV1,Bool)": 1, "(A:MY OWN,Number)": -3,
                    "(A:MY TEXT,string)": "x", "(A:MY FLOAT,Number)": 0.5},
    "gps": {"active": 1, "waypoints": [
      {"ident": "KSEA", "lat": 47.45, "lon": -122.31, "alt_m": 131.0},
      {"ident": "WP2", "lat_units": 10001750.5, "lon_units48": 140737488355328,
       "alt_units": -100.25}]},
    "aircraft": "fly",
    "actions": [{"at": 3, "click": true},
                {"at": 4, "click": {"x": 90, "y": 5, "flags": 536870912}},
                {"at": 4, "click": {"x": 10, "y": 11}},
                {"at": 5, "service": 12},
                {"at": 6, "vars": {"0x6B": 270.0}},
                {"at": 7, "expressions": {"(A:ATC ID,string)": "D-EFGH"}},
                {"at": 8, "gps": null},
                {"at": 9, "pause_s": 61}]})j",
                                    "doc.json");

  ASSERT_EQ(s.vars.size(), 7u);
  // nlohmann orders an object's members by key text.
  auto var = [&](std::uint32_t token) {
    for (const VarSetting& v : s.vars)
      if (v.token == token) return v.value;
    ADD_FAILURE() << "no token " << token;
    return HostValue{};
  };
  EXPECT_EQ(var(0x47), HostValue::of_f64(4451000.5));
  EXPECT_EQ(var(0x18), HostValue::of_i32(6144));  // BCD radio: an int32
  EXPECT_EQ(var(0x26), HostValue::of_i32(0x7700));
  EXPECT_EQ(var(0x4A), HostValue::of_f64(3500.0))  // an integer for a float64 variable
      << "altitude is read as float64 by the module";
  EXPECT_EQ(var(0x1234), HostValue::of_i32(7));   // unknown token: integers stay int32
  EXPECT_EQ(var(4661), HostValue::of_f64(2.25));  // a decimal token; unknown, so kept as given
  EXPECT_EQ(var(0x269), HostValue::of_i32(-1));   // an unsigned BCD word wraps to int32

  auto expression = [&](const std::string& text) {
    for (const ExpressionSetting& e : s.expressions)
      if (e.text == text) return e.value;
    ADD_FAILURE() << "no expression " << text;
    return HostValue{};
  };
  EXPECT_EQ(expression("(A:ATC ID,string)"), HostValue::of_text("N123AB"));
  EXPECT_EQ(expression("(A:GROUND VELOCITY,knots)"), HostValue::of_f64(120.0));
  EXPECT_EQ(expression("(A:GPS DRIVES NAV1,Bool)"), HostValue::of_i32(1));
  EXPECT_EQ(expression("(A:MY OWN,Number)"), HostValue::of_i32(-3));
  EXPECT_EQ(expression("(A:MY TEXT,string)"), HostValue::of_text("x"));
  EXPECT_EQ(expression("(A:MY FLOAT,Number)"), HostValue::of_f64(0.5));

  ASSERT_TRUE(s.gps.has_value());
  EXPECT_TRUE(s.gps->bindable);
  EXPECT_EQ(s.gps->active, 1);
  ASSERT_EQ(s.gps->waypoints.size(), 2u);
  const GpsWaypointSpec& w0 = s.gps->waypoints[0];
  EXPECT_EQ(w0.ident, "KSEA");
  EXPECT_EQ(w0.lat_whole, 5273144);
  EXPECT_EQ(w0.lon_units48, 0xA90624DD2F1Bull);
  EXPECT_EQ(w0.alt_whole, 131);
  EXPECT_EQ(w0.alt_fraction, 0);
  const GpsWaypointSpec& w1 = s.gps->waypoints[1];
  EXPECT_EQ(w1.lat_whole, 10001750);  // raw units exactly as given
  EXPECT_EQ(w1.lat_fraction, 0x8000);
  EXPECT_EQ(w1.lon_units48, 0x800000000000ull);
  EXPECT_EQ(w1.alt_whole, -101);
  EXPECT_EQ(w1.alt_fraction, 0xC000);

  EXPECT_EQ(s.mode, AircraftMode::fly);
  ASSERT_EQ(s.actions.size(), 8u);
  EXPECT_EQ(s.actions[0].kind, Action::Kind::click_in_area);
  EXPECT_EQ(s.actions[0].at, 3);
  EXPECT_EQ(s.actions[1].kind, Action::Kind::click_at);
  EXPECT_EQ(s.actions[1].x, 90);
  EXPECT_EQ(s.actions[1].y, 5);
  EXPECT_EQ(s.actions[1].flags, 0x20000000u);
  EXPECT_EQ(s.actions[2].flags, 0x20000000u) << "the click area's bit by default";
  EXPECT_EQ(s.actions[2].y, 11);
  EXPECT_EQ(s.actions[3].kind, Action::Kind::service);
  EXPECT_EQ(s.actions[3].service_id, 12);
  EXPECT_EQ(s.actions[4].kind, Action::Kind::vars);
  ASSERT_EQ(s.actions[4].vars.size(), 1u);
  EXPECT_EQ(s.actions[4].vars[0].value, HostValue::of_f64(270.0));
  EXPECT_EQ(s.actions[5].kind, Action::Kind::expressions);
  EXPECT_EQ(s.actions[5].expressions[0].value, HostValue::of_text("D-EFGH"));
  EXPECT_EQ(s.actions[6].kind, Action::Kind::gps);
  EXPECT_FALSE(s.actions[6].gps.bindable);
  EXPECT_EQ(s.actions[7].kind, Action::Kind::pause);
  EXPECT_EQ(s.actions[7].pause_seconds, 61.0);
  EXPECT_EQ(s.actions[7].at, 9);
}

TEST(ScenarioParse, AnEmptyDocumentIsAStaticAircraftWithARecordButNoPlan) {
  const Scenario s = parse_scenario("{}", "empty.json");
  EXPECT_TRUE(s.vars.empty());
  EXPECT_TRUE(s.expressions.empty());
  EXPECT_FALSE(s.gps.has_value());
  EXPECT_EQ(s.mode, AircraftMode::static_values);
  EXPECT_TRUE(s.actions.empty());
}

TEST(ScenarioParse, GpsNullMakesTheVariableUnbindable) {
  const Scenario s = parse_scenario(R"j({"gps": null})j", "doc.json");
  ASSERT_TRUE(s.gps.has_value());
  Aircraft a;
  apply_initial_state(s, a);
  ModuleVar v{};
  a.initialize_var_by_name(&v, "FS2002 GPS DATA");
  void* p = reinterpret_cast<void*>(1);
  std::memcpy(&p, &v.pointer, sizeof p);
  EXPECT_EQ(p, nullptr);
}

TEST(ScenarioApply, InitialStateReachesTheAircraft) {
  const Scenario s = parse_scenario(
      R"j({"vars": {"0x6B": 123.5, "0x17": 6224}, "expressions": {"(A:ATC ID,string)": "N1"},
          "gps": {"active": 2, "waypoints": [{"ident": "A", "lat": 1, "lon": 2, "alt_m": 3}]}})j",
      "doc.json");
  Aircraft a;
  apply_initial_state(s, a);
  EXPECT_EQ(a.var(0x6B), HostValue::of_f64(123.5));
  EXPECT_EQ(a.var(0x17), HostValue::of_i32(0x1850));
  EXPECT_EQ(a.expression_value("(A:ATC ID,string)"), HostValue::of_text("N1"));
  EXPECT_EQ(a.gps_active(), 2);
  EXPECT_EQ(load_le_i32(a.gps_record() + 168), 1);
}

// A document and the message it must give, after "doc.json: ".
struct ErrorCase {
  const char* document;
  const char* message;
};

std::ostream& operator<<(std::ostream& os, const ErrorCase& c) {
  return os << c.document;
}

constexpr ErrorCase kErrors[] = {
    // A BCD radio must be an integer.
    {R"j({"vars": {"0x18": 61.5}})j",
     "/vars/0x18: expected an integer, found a number with a fraction or exponent"},
    // A float64 variable must be a number.
    {R"j({"vars": {"0x47": "north"}})j", "/vars/0x47: expected a number, found string"},
    {R"j({"vars": {"0x0": 1.0}})j", "/vars/0x0: token 0 names no variable"},
    {R"j({"vars": {"lat": 1.0}})j",
     "/vars/lat: a variable token is a number such as \"0x47\" or \"71\""},
    {R"j({"vars": {"0x100000000": 1.0}})j", "/vars/0x100000000: a variable token has 32 bits"},
    {R"j({"vars": {"0x18": 4294967296}})j", "/vars/0x18: the integer is larger than 4294967295"},
    {R"j({"vars": [1, 2]})j", "/vars: expected an object, found array"},
    // Known expressions have a known kind.
    {R"j({"expressions": {"(A:ATC ID,string)": 5}})j",
     "/expressions/(A:ATC ID,string): expected a string, found number"},
    {R"j({"expressions": {"(A:GPS DRIVES NAV1,Bool)": 1.5}})j",
     "/expressions/(A:GPS DRIVES NAV1,Bool): expected an integer, found a number with a "
     "fraction or exponent"},
    {R"j({"expressions": {"(E:ZULU TIME,Seconds)": 3000000000}})j",
     "/expressions/(E:ZULU TIME,Seconds): the integer is larger than 2147483647"},
    // A key with '/' and '~' is escaped in the pointer.
    {R"j({"expressions": {"a/b~c": true}})j",
     "/expressions/a~1b~0c: expected a number, found boolean"},
    {R"j({"gps": {"waypoints": [{"ident": "KSEA", "lon": 1, "alt_m": 1}]}})j",
     "/gps/waypoints/0: missing \"lat\" (or \"lat_units\")"},
    {R"j({"gps": {"waypoints": [{"lat": 1, "lat_units": 2, "lon": 1, "alt_m": 1}]}})j",
     "/gps/waypoints/0: give either \"lat\" or \"lat_units\", not both"},
    {R"j({"gps": {"waypoints": [{"ident": "ABCDEFGHI", "lat": 1, "lon": 1, "alt_m": 1}]}})j",
     "/gps/waypoints/0/ident: an identifier has at most 8 characters"},
    {R"j({"gps": {"waypoints": [{"lat_units": 1.3, "lon": 1, "alt_m": 1}]}})j",
     "/gps/waypoints/0/lat_units: the value is not a whole number of 1/65536 units, as the "
     "record holds it"},
    {R"j({"gps": {"waypoints": [{"lat": 91, "lon": 1, "alt_m": 1}]}})j",
     "/gps/waypoints/0/lat: a latitude is -90 to 90 degrees"},
    {R"j({"gps": {"waypoints": [{"lat": 1, "lon_units48": 281474976710656, "alt_m": 1}]}})j",
     "/gps/waypoints/0/lon_units48: the integer is larger than 281474976710655"},
    {R"j({"gps": {"active": 1, "legs": []}})j",
     "/gps/legs: unknown key; the plan has \"active\" and \"waypoints\""},
    {R"j({"aircraft": "hover"})j",
     "/aircraft: the aircraft is \"static\" or \"fly\", not \"hover\""},
    {R"j({"actions": [{"click": true}]})j",
     "/actions/0: an action needs \"at\", the update it comes before"},
    {R"j({"actions": [{"at": 0, "click": true}]})j",
     "/actions/0/at: the integer 0 is outside 1..9223372036854775807"},
    {R"j({"actions": [{"at": 2, "click": true, "service": 12}]})j",
     "/actions/0: an action does one thing; split \"click\" and \"service\" into two actions"},
    {R"j({"actions": [{"at": 2, "click": {"x": 1}}]})j",
     "/actions/0/click: a click needs \"x\" and \"y\""},
    {R"j({"actions": [{"at": 2}, {"at": 3, "pause_s": -1}]})j",
     "/actions/0: the action does nothing"},
    {R"j({"actions": [{"at": 3, "pause_s": -1}]})j",
     "/actions/0/pause_s: a pause is 0 to 3600 seconds"},
    {R"j({"actions": [{"at": 3, "jump": 1}]})j",
     "/actions/0/jump: unknown key; an action has \"at\" and one of click, service, vars, "
     "expressions, gps, pause_s"},
    {R"j({"wind": 3})j",
     "/wind: unknown key; a scenario has vars, expressions, gps, aircraft and actions"},
    {R"j([1, 2])j", "/: expected an object, found array"},
    // Syntax errors are placed by line and column.
    {"{\n  \"vars\": {\"0x18\": 6,}}",
     "line 2, column 22: not valid JSON: syntax error while parsing object key - unexpected '}'; "
     "expected string literal"},
};

class ScenarioErrorTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ScenarioErrorTest, NamesTheFileThePlaceAndWhatIsWrong) {
  const ErrorCase& c = GetParam();
  try {
    parse_scenario(c.document, "doc.json");
    FAIL() << "accepted";
  } catch (const ScenarioError& e) {
    EXPECT_EQ(std::string(e.what()), std::string("doc.json: ") + c.message);
  }
}

INSTANTIATE_TEST_SUITE_P(Mistakes, ScenarioErrorTest, ::testing::ValuesIn(kErrors));

TEST(ScenarioFile, AMissingFileIsAnErrorNamingIt) {
  EXPECT_THROW(
      {
        try {
          load_scenario_file("/nonexistent/scenario.json");
        } catch (const ScenarioError& e) {
          EXPECT_EQ(std::string(e.what()),
                    "/nonexistent/scenario.json: cannot open the scenario file");
          throw;
        }
      },
      ScenarioError);
}

}  // namespace
}  // namespace orbitune::host
