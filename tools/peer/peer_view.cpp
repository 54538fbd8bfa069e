#include "tools/peer/peer_view.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "tools/peer/packet_fields.h"

namespace orbitune::peer {

namespace {

constexpr double kFeetPerMetre = 1.0 / 0.3048;
constexpr double kKnotsPerMetrePerSecond = 3600.0 / 1852.0;

std::string printf_string(const char* format, auto... args) {
  char text[256];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

std::string text_of(const char* field, std::size_t size) {
  return text_field(reinterpret_cast<const std::uint8_t*>(field), size);
}

std::string latitude(double degrees) {
  return printf_string("%9.5f %c", std::abs(degrees), degrees < 0 ? 'S' : 'N');
}
std::string longitude(double degrees) {
  return printf_string("%10.5f %c", std::abs(degrees), degrees < 0 ? 'W' : 'E');
}

const char* autopilot_mode(std::int32_t fdmode) {
  switch (fdmode) {
    case 0:
      return "off";
    case 1:
      return "FD";
    case 2:
      return "on";
    default:
      return "?";
  }
}

std::string holds(const PositionPacket& p) {
  std::string out;
  const auto add = [&](std::int32_t state, const char* name) {
    if (state == 0) return;
    if (!out.empty()) out.push_back(' ');
    out.append(name);
  };
  add(p.hdgst, "HDG");
  add(p.altst, "ALT");
  add(p.vsst, "VS");
  add(p.lnavst, "NAV");
  add(p.locst, "LOC");
  add(p.gsst, "GS");
  add(p.speedst == 1 ? 0 : p.speedst, p.speedismach != 0 ? "MACH" : "SPD");
  add(p.speedst == 1 ? 1 : 0, "SPD-armed");
  return out.empty() ? "none" : out;
}

std::string speed_dial(const PositionPacket& p) {
  if (p.speedismach != 0) return printf_string("M%.2f", double{p.speeddial});
  return printf_string("%.0f kt", double{p.speeddial});
}

}  // namespace

std::string format_mhz(std::int32_t hundredths) {
  const std::int64_t v = hundredths;
  const std::int64_t whole = v / 100;
  const std::int64_t fraction = std::abs(v % 100);
  return printf_string("%s%lld.%02lld", v < 0 && whole == 0 ? "-" : "",
                       static_cast<long long>(whole), static_cast<long long>(fraction));
}

std::string format_khz(std::int32_t khz) {
  return printf_string("%d kHz", khz);
}

std::string format_squawk(std::int32_t code) {
  return printf_string("%04d", code);
}

std::string format_aircraft_block(const PositionPacket& p) {
  std::string out;
  out += printf_string("Aircraft   %-8s %-8s %-8s from %s\n", text_of(p.Tailno, 8).c_str(),
                       text_of(p.ICAO, 8).c_str(), text_of(p.CallSign, 8).c_str(),
                       text_of(p.Source, 16).c_str());
  out += "Position   " + latitude(p.lat) + "  " + longitude(p.lon) +
         printf_string("   %.0f ft (%.0f m)  AGL %.0f ft\n", p.elev * kFeetPerMetre, p.elev,
                       p.agl * kFeetPerMetre);
  out += printf_string("Attitude   heading %5.1f  pitch %5.1f  bank %6.1f  mag var %5.1f\n",
                       double{p.psi}, double{p.theta}, double{p.phi}, double{p.mvar});
  out +=
      printf_string("Speeds     IAS %3.0f kt  TAS %3.0f kt  GS %3.0f kt  Mach %.3f  VS %+.0f fpm\n",
                    double{p.ias}, p.tas * kKnotsPerMetrePerSecond, p.gs * kKnotsPerMetrePerSecond,
                    double{p.mach}, double{p.vvifpm});
  out += printf_string(
      "Autopilot  AP %-3s  HDG %03.0f  ALT %.0f ft  VS %+.0f fpm  SPD %s  holds: %s  source %s\n",
      autopilot_mode(p.fdmode), double{p.hdgdial}, double{p.altdial}, double{p.vspeeddial},
      speed_dial(p).c_str(), holds(p).c_str(), p.apsource == 2 ? "GPS" : "NAV");
  // Two lines, so the panel fits a terminal of 100 columns.
  const std::string radios = format_radios_line(p);
  const std::size_t adf = radios.find("  ADF1");
  out += "Radios     " + radios.substr(0, adf) + "\n";
  out += "          " + radios.substr(adf) + "\n";
  out += printf_string(
      "Config     gear %s  flaps %.0f%%  parking brake %s  fuel %.0f kg  baro %.2f inHg\n",
      p.LandingG != 0 ? "down" : "up", p.Flaps * 100.0, p.PBreak != 0 ? "set" : "off",
      double{p.totfuel}, double{p.alti});
  return out;
}

std::string format_aircraft_line(const PositionPacket& p) {
  return latitude(p.lat) + " " + longitude(p.lon) +
         printf_string(
             "  %5.0f ft  hdg %03.0f  IAS %3.0f kt  VS %+5.0f | AP %s hdg %03.0f alt "
             "%.0f [%s]",
             p.elev * kFeetPerMetre, double{p.psi}, double{p.ias}, double{p.vvifpm},
             autopilot_mode(p.fdmode), double{p.hdgdial}, double{p.altdial}, holds(p).c_str());
}

std::string format_radios_line(const PositionPacket& p) {
  return "COM1 " + format_mhz(p.com1freq) + "/" + format_mhz(p.com1sfreq) + "  COM2 " +
         format_mhz(p.com2freq) + "/" + format_mhz(p.com2sfreq) + "  NAV1 " +
         format_mhz(p.nav1freq) + "/" + format_mhz(p.nav1sfreq) + "  NAV2 " +
         format_mhz(p.nav2freq) + "/" + format_mhz(p.nav2sfreq) + "  ADF1 " +
         format_khz(p.adf1freq) + "  ADF2 " + format_khz(p.adf2freq) + "  XPDR " +
         format_squawk(p.xpderc);
}

bool operator==(const FlightPlan& a, const FlightPlan& b) {
  if (a.nopoints != b.nopoints || a.cleg != b.cleg || a.points.size() != b.points.size())
    return false;
  for (std::size_t i = 0; i < a.points.size(); ++i) {
    if (std::memcmp(&a.points[i], &b.points[i], sizeof(RoutePoint)) != 0) return false;
  }
  return true;
}

std::string format_plan(const FlightPlan& plan) {
  std::string out = printf_string("Flight plan: %d waypoint%s, active waypoint %d\n", plan.nopoints,
                                  plan.nopoints == 1 ? "" : "s", plan.cleg);
  for (std::size_t i = 0; i < plan.points.size(); ++i) {
    const RoutePoint& w = plan.points[i];
    out += printf_string("  %c%3zu  %-7s ", static_cast<std::int32_t>(i) == plan.cleg ? '>' : ' ',
                         i, text_of(w.NAME, sizeof w.NAME).c_str()) +
           latitude(w.LAT) + "  " + longitude(w.LON) +
           printf_string("  %6.0f ft\n", double{w.ELEV});
  }
  return out;
}

std::optional<FlightPlan> FlightPlanAssembler::add(const RoutePacket& packet) {
  const auto& h = packet.header;
  if (h.nopoints < 0 || h.nopoints > 2 * kPointsPerRoutePacket || h.segpoints < 0 ||
      h.segpoints > kPointsPerRoutePacket) {
    next_segment_ = -1;
    return std::nullopt;
  }
  if (h.segment == 0) {
    building_ = FlightPlan{h.nopoints, h.cleg, {}};
    next_segment_ = 0;
  }
  if (h.segment != next_segment_ || h.nopoints != building_.nopoints ||
      building_.points.size() + static_cast<std::size_t>(h.segpoints) >
          static_cast<std::size_t>(h.nopoints)) {
    next_segment_ = -1;
    return std::nullopt;
  }
  building_.points.insert(building_.points.end(), packet.points, packet.points + h.segpoints);
  ++next_segment_;
  if (building_.points.size() != static_cast<std::size_t>(h.nopoints)) return std::nullopt;
  next_segment_ = -1;
  return building_;
}

}  // namespace orbitune::peer
