#include "tools/peer/peer_app.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/little_endian.h"
#include "position/position_packet.h"
#include "route/route_packet.h"
#include "tools/peer/command.h"
#include "tools/peer/packet_fields.h"
#include "tools/peer/peer_socket.h"
#include "tools/peer/peer_view.h"

namespace orbitune::peer {

namespace {

volatile std::sig_atomic_t g_stop = 0;

using SteadyClock = std::chrono::steady_clock;

double seconds_since(SteadyClock::time_point start) {
  return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

// Like the module, receive into a zero-filled buffer larger than any datagram
// of the protocol, so a short message reads with zeros where it ends.
constexpr std::size_t kReceiveBuffer = 2048;
constexpr std::int32_t kPositionMessageId = 1;

// The module forgets a requesting peer after 1200 of its updates without a new
// request: about 67 s at the host's 18 updates a second. Asking again after
// 600 packets or 30 s keeps well inside that at any rate the host runs; until
// the first packet comes, ask every second, since a module that is still
// binding its port loses the request.
constexpr int kRequestEveryPackets = 600;
constexpr double kRequestEverySeconds = 30.0;
constexpr double kRequestWhileSilentSeconds = 1.0;

std::string json_line(const nlohmann::json& j) {
  // Text fields come from the network: replace bytes that are not UTF-8
  // rather than fail on them.
  return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

bool is_loopback(const sockaddr_in& a) {
  return (ntohl(a.sin_addr.s_addr) >> 24) == 127;
}

// ---- watch -----------------------------------------------------------------

struct WatchOptions {
  std::uint16_t port = kProtocolPort;
  bool port_given = false;
  std::string interface_name;
  std::string request;
  bool json = false;
  bool plain = false;
  double interval = 1.0;
  long count = 0;
  double seconds = 0;
};

int run_watch(const WatchOptions& o, std::ostream& out, std::ostream& err) {
  std::optional<sockaddr_in> request_to;
  try {
    if (!o.request.empty()) request_to = parse_endpoint(o.request, kProtocolPort);
  } catch (const std::invalid_argument& e) {
    err << "orbitune-peer: --request " << e.what() << "\n";
    return 2;
  }
  // A module on this machine owns port 2424 with address reuse; a second
  // listener there could be handed the module's own datagrams (requests and
  // commands). Unicast needs no fixed port, so take one the system chooses
  // unless the user asked for the group or for a port.
  std::uint16_t port = o.port;
  if (!o.port_given && request_to && o.interface_name.empty()) port = 0;

  UdpSocket socket;
  socket.bind_port(port);
  port = socket.local_port();
  if (!o.interface_name.empty()) socket.join_group(o.interface_name);

  std::ostream& notes = o.json ? err : out;
  notes << "listening on UDP port " << port;
  if (!o.interface_name.empty())
    notes << ", group " << kMulticastGroup << " on " << o.interface_name;
  if (request_to) notes << "; asking " << describe(*request_to) << " for position packets";
  notes << "\n";
  if (o.port_given && port == kProtocolPort && request_to && is_loopback(*request_to)) {
    err << "note: port " << kProtocolPort
        << " is the module's own port on this machine; it may receive datagrams meant for the "
           "module (leave out --port to avoid that)\n";
  }
  notes.flush();

  const bool live = !o.json && !o.plain && ::isatty(STDOUT_FILENO) == 1;
  const auto start = SteadyClock::now();
  long positions = 0, routes = 0, others = 0, oversize = 0, requests = 0;
  long since_request = 0;
  std::optional<SteadyClock::time_point> last_request;
  std::optional<double> first_packet_s;
  std::set<std::string> senders;
  std::optional<PositionPacket> last;
  std::optional<FlightPlan> plan;
  FlightPlanAssembler assembler;
  std::string last_radios;
  double next_show = 0;
  std::uint8_t buffer[kReceiveBuffer];

  const auto show_live = [&] {
    std::string block;
    if (last) {
      block = format_aircraft_block(*last);
    } else {
      block = "waiting for position packets...\n";
    }
    char counts[160];
    std::snprintf(counts, sizeof counts, "Received   %ld position, %ld route packets in %.1f s\n",
                  positions, routes, seconds_since(start));
    block += counts;
    if (plan) block += format_plan(*plan);
    // Home and clear rather than moving up by the lines drawn: a line that a
    // narrow terminal wrapped would leave stale rows behind.
    out << "\033[H\033[J" << block << std::flush;
  };

  while (g_stop == 0) {
    const double elapsed = seconds_since(start);
    if (o.seconds > 0 && elapsed >= o.seconds) break;
    if (o.count > 0 && positions >= o.count) break;

    if (request_to) {
      const double wait = positions > 0 ? kRequestEverySeconds : kRequestWhileSilentSeconds;
      if (!last_request || seconds_since(*last_request) >= wait ||
          since_request >= kRequestEveryPackets) {
        std::uint8_t request[4];
        store_le_i32(request, kUnicastRequestMessageId);
        socket.send_to(*request_to, request, sizeof request);
        last_request = SteadyClock::now();
        since_request = 0;
        ++requests;
      }
    }

    int timeout_ms = 100;
    if (o.seconds > 0) {
      timeout_ms =
          std::max(0, std::min(timeout_ms, static_cast<int>((o.seconds - elapsed) * 1000)));
    }
    std::fill(std::begin(buffer), std::end(buffer), std::uint8_t{0});
    const auto d = socket.receive(buffer, sizeof buffer, timeout_ms);
    if (d && d->length > 0) {
      const std::string sender = describe(d->from);
      if (d->truncated) {
        ++oversize;
      } else if (load_le_i32(buffer) == kPositionMessageId) {
        ++positions;
        ++since_request;
        senders.insert(sender);
        if (!first_packet_s) {
          first_packet_s = seconds_since(start);
          if (!o.json && !live) {
            char note[96];
            std::snprintf(note, sizeof note, "first position packet from %s after %.2f s\n",
                          sender.c_str(), *first_packet_s);
            out << note;
          }
        }
        last = decode_position_packet(buffer);
        if (o.json) out << json_line(position_image_to_json(buffer)) << "\n" << std::flush;
      } else if (load_le_i32(buffer) == kRouteMessageId) {
        ++routes;
        senders.insert(sender);
        const RoutePacket packet = decode_route_packet(buffer, d->length);
        if (o.json) out << json_line(route_packet_to_json(packet)) << "\n" << std::flush;
        if (auto complete = assembler.add(packet); complete && complete != plan) {
          plan = std::move(complete);
          if (!o.json && !live) out << format_plan(*plan) << std::flush;
        }
      } else {
        ++others;
      }
    }

    if (!o.json && last) {
      const double now = seconds_since(start);
      if (now >= next_show) {
        if (live) {
          show_live();
          next_show = now + 0.2;
        } else {
          char stamp[32];
          std::snprintf(stamp, sizeof stamp, "[%6.1f s] ", now);
          out << stamp << format_aircraft_line(*last) << "\n";
          if (const std::string radios = format_radios_line(*last); radios != last_radios) {
            out << "           " << radios << "\n";
            last_radios = radios;
          }
          out << std::flush;
          next_show = now + o.interval;
        }
      }
    }
  }
  if (live) show_live();

  std::ostream& summary = o.json ? err : out;
  const double total = seconds_since(start);
  char line[256];
  std::snprintf(line, sizeof line,
                "Summary: %ld position packets (%.1f a second) and %ld route packets in %.1f s",
                positions, total > 0 ? positions / total : 0.0, routes, total);
  summary << line;
  if (!senders.empty()) {
    summary << " from";
    for (const auto& s : senders) summary << " " << s;
  }
  summary << "; " << others << " other and " << oversize << " oversize datagrams";
  if (request_to) {
    summary << "; " << requests << (requests == 1 ? " request" : " requests") << " sent to "
            << describe(*request_to);
  }
  summary << "\n";
  if (first_packet_s) {
    std::snprintf(line, sizeof line, "First position packet after %.2f s\n", *first_packet_s);
    summary << line;
  }
  if (last) summary << "Last position: " << format_aircraft_line(*last) << "\n";
  if (plan) {
    std::snprintf(line, sizeof line, "Flight plan: %d waypoints, active waypoint %d\n",
                  plan->nopoints, plan->cleg);
    summary << line;
  }
  summary.flush();
  if (o.count > 0 && positions < o.count) {
    err << "orbitune-peer: " << positions << " of the " << o.count
        << " position packets asked for with --count arrived\n";
    return 3;
  }
  return 0;
}

// ---- send ------------------------------------------------------------------

// A value reported back that shows the module applied the command.
struct Echo {
  std::string what;
  std::function<bool(const PositionPacket&)> seen;
};

void expect_dial(std::vector<Echo>& echoes, const char* name, const std::optional<float>& value,
                 float PositionPacket::*field) {
  if (!value) return;
  // The module hands the host a truncated whole number; the host reports
  // the dial it set from that.
  const double want = std::trunc(double{*value});
  char what[64];
  std::snprintf(what, sizeof what, "%s %g", name, want);
  echoes.push_back({what, [want, field](const PositionPacket& p) {
                      return std::abs(double{p.*field} - want) < 0.5;
                    }});
}

void expect_exact(std::vector<Echo>& echoes, const char* name,
                  const std::optional<std::int32_t>& value, std::int32_t PositionPacket::*field) {
  if (!value) return;
  const std::int32_t want = *value;
  echoes.push_back({std::string(name) + " " + std::to_string(want),
                    [want, field](const PositionPacket& p) { return p.*field == want; }});
}

std::vector<Echo> echoes_of(const CommandOptions& o) {
  std::vector<Echo> e;
  expect_dial(e, "hdgdial", o.hdgdial, &PositionPacket::hdgdial);
  expect_dial(e, "altdial", o.altdial, &PositionPacket::altdial);
  expect_dial(e, "vspeeddial", o.vspeeddial, &PositionPacket::vspeeddial);
  expect_dial(e, "obs1p", o.obs1p, &PositionPacket::obs1p);
  expect_dial(e, "obs2p", o.obs2p, &PositionPacket::obs2p);
  expect_dial(e, "speeddial", o.speed_knots, &PositionPacket::speeddial);
  expect_dial(e, "mfdrange", o.mfdrange, &PositionPacket::mfdrange);
  expect_exact(e, "mfdmode", o.mfdmode, &PositionPacket::mfdmode);
  expect_exact(e, "mfdshow", o.mfdshow, &PositionPacket::mfdshow);
  expect_exact(e, "nav1freq", o.nav1freq, &PositionPacket::nav1freq);
  expect_exact(e, "nav2freq", o.nav2freq, &PositionPacket::nav2freq);
  expect_exact(e, "com1freq", o.com1freq, &PositionPacket::com1freq);
  expect_exact(e, "com2freq", o.com2freq, &PositionPacket::com2freq);
  expect_exact(e, "adf1freq", o.adf1freq, &PositionPacket::adf1freq);
  expect_exact(e, "adf2freq", o.adf2freq, &PositionPacket::adf2freq);
  expect_exact(e, "nav1sfreq", o.nav1sfreq, &PositionPacket::nav1sfreq);
  expect_exact(e, "nav2sfreq", o.nav2sfreq, &PositionPacket::nav2sfreq);
  expect_exact(e, "com1sfreq", o.com1sfreq, &PositionPacket::com1sfreq);
  expect_exact(e, "com2sfreq", o.com2sfreq, &PositionPacket::com2sfreq);
  expect_exact(e, "adf1sfreq", o.adf1sfreq, &PositionPacket::adf1sfreq);
  expect_exact(e, "adf2sfreq", o.adf2sfreq, &PositionPacket::adf2sfreq);
  expect_exact(e, "xpderc", o.xpderc, &PositionPacket::xpderc);
  expect_exact(e, "xpdermode", o.xpdermode, &PositionPacket::xpdermode);
  expect_exact(e, "radaux1", o.radaux1, &PositionPacket::radaux1);
  expect_exact(e, "radaux2", o.radaux2, &PositionPacket::radaux2);
  return e;
}

struct SendOptions {
  std::string host;
  std::string json_file;
  bool dry_run = false;
  double confirm = 0;  // seconds to wait for the echo; 0: do not wait
};

int run_send(const SendOptions& s, const CommandOptions& command, bool any_option,
             std::ostream& out, std::ostream& err) {
  PositionImage image = new_command_image();
  if (!s.json_file.empty()) {
    nlohmann::json fields;
    try {
      if (s.json_file == "-") {
        fields = nlohmann::json::parse(std::cin);
      } else {
        std::ifstream file(s.json_file);
        if (!file) {
          err << "orbitune-peer: --json-file " << s.json_file << ": cannot open it\n";
          return 2;
        }
        fields = nlohmann::json::parse(file);
      }
      apply_json_to_position_image(fields, image.data());
    } catch (const nlohmann::json::exception& e) {
      err << "orbitune-peer: --json-file " << s.json_file << ": not JSON: " << e.what() << "\n";
      return 2;
    } catch (const std::invalid_argument& e) {
      err << "orbitune-peer: --json-file " << s.json_file << ": " << e.what() << "\n";
      return 2;
    }
  } else if (!any_option) {
    err << "orbitune-peer: send: nothing to send; give a setting such as --heading 270, or "
           "--json-file\n";
    return 2;
  }
  apply_command_options(command, image);

  std::string fields;
  for (const auto& [name, value] : marked_fields(image)) {
    fields += (fields.empty() ? "" : ", ") + name + " " + value;
  }
  char words[96];
  std::snprintf(words, sizeof words, "pos_set 0x%08X ap_set 0x%08X rad_set 0x%08X",
                load_le_u32(&image[position_offset::pos_set]),
                load_le_u32(&image[position_offset::ap_set]),
                load_le_u32(&image[position_offset::rad_set]));
  if (s.dry_run) {
    out << hex_dump(image.data(), image.size());
    err << words << (fields.empty() ? "" : "; ") << fields << "\n";
    return 0;
  }

  sockaddr_in to;
  try {
    to = parse_endpoint(s.host, kProtocolPort);
  } catch (const std::invalid_argument& e) {
    err << "orbitune-peer: send " << e.what() << "\n";
    return 2;
  }
  UdpSocket socket;
  socket.bind_port(0);
  const auto sent_at = SteadyClock::now();
  socket.send_to(to, image.data(), image.size());
  out << "sent a " << image.size() << "-byte command to " << describe(to) << ": " << words
      << (fields.empty() ? "" : "; ") << fields << "\n"
      << std::flush;
  if (s.confirm <= 0) return 0;

  const std::vector<Echo> echoes = echoes_of(command);
  if (echoes.empty()) {
    err << "orbitune-peer: --confirm: none of these settings is reported back as a dial or "
           "frequency to compare\n";
    return 2;
  }
  // Register this socket as a peer so the module reports to it; the command
  // went first, so the first packet already follows it.
  std::uint8_t request[4];
  store_le_i32(request, kUnicastRequestMessageId);
  socket.send_to(to, request, sizeof request);
  std::uint8_t buffer[kReceiveBuffer];
  std::string missing;
  while (g_stop == 0 && seconds_since(sent_at) < s.confirm) {
    std::fill(std::begin(buffer), std::end(buffer), std::uint8_t{0});
    const auto d = socket.receive(buffer, sizeof buffer, 50);
    if (!d || d->truncated || d->from.sin_addr.s_addr != to.sin_addr.s_addr ||
        load_le_i32(buffer) != kPositionMessageId) {
      continue;
    }
    const PositionPacket p = decode_position_packet(buffer);
    missing.clear();
    std::string seen;
    for (const auto& e : echoes) {
      if (e.seen(p)) {
        seen += (seen.empty() ? "" : ", ") + e.what;
      } else {
        missing += " " + e.what;
      }
    }
    if (missing.empty()) {
      char line[96];
      std::snprintf(line, sizeof line, "command round trip: %.3f s until %s reported ",
                    seconds_since(sent_at), describe(d->from).c_str());
      out << line << seen << "\n";
      return 0;
    }
  }
  err << "orbitune-peer: no position packet from " << describe(to)
      << " reported the command within " << s.confirm << " s"
      << (missing.empty() ? "" : "; still waiting for:" + missing) << "\n";
  return 4;
}

// ---- request ---------------------------------------------------------------

int run_request(const std::string& host, std::uint16_t port, std::ostream& out, std::ostream& err) {
  sockaddr_in to;
  try {
    to = parse_endpoint(host, kProtocolPort);
  } catch (const std::invalid_argument& e) {
    err << "orbitune-peer: request " << e.what() << "\n";
    return 2;
  }
  UdpSocket socket;
  socket.bind_port(port);
  std::uint8_t request[4];
  store_le_i32(request, kUnicastRequestMessageId);
  socket.send_to(to, request, sizeof request);
  out << "sent a unicast request to " << describe(to) << " from port " << socket.local_port()
      << ": the module sends its position packets to that port for its next 1200 updates "
         "(about 67 s at 18 a second)\n";
  return 0;
}

// ---- command line ------------------------------------------------------------

// Options whose text is checked by this program's own parsers, so that the
// error says which band or digits are allowed.
struct TextOption {
  std::string text;
  CLI::Option* option = nullptr;
  bool given() const { return option != nullptr && option->count() > 0; }
};

}  // namespace

void request_stop() {
  g_stop = 1;
}

int run_peer(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  g_stop = 0;
  CLI::App app{
      "Companion peer of the OrbiTune gauge: watch the aircraft it reports, steer it with "
      "commands, ask it for unicast position packets.",
      "orbitune-peer"};
  app.require_subcommand(1);

  WatchOptions watch;
  auto* w = app.add_subcommand("watch", "Show the position and route packets that arrive");
  auto* port_option = w->add_option("--port", watch.port,
                                    "UDP port to listen on (default 2424, the group's port; with "
                                    "--request alone, a port the system chooses)");
  port_option->check(CLI::Range(0, 65535));
  w->add_option("--interface", watch.interface_name,
                "join group 239.224.224.1 on this interface (e.g. lo, eth0)");
  w->add_option("--request", watch.request,
                "HOST[:PORT] of a module to ask for unicast position packets (renewed well before "
                "the module forgets this peer)");
  w->add_flag("--json", watch.json,
              "print one JSON object per packet, every field by its wire name");
  w->add_flag("--plain", watch.plain, "print a line every --interval instead of a live panel");
  w->add_option("--interval", watch.interval, "seconds between lines with --plain (default 1)")
      ->check(CLI::Range(0.05, 3600.0));
  w->add_option("--count", watch.count, "stop after N position packets")
      ->check(CLI::Range(1L, 1000000000L));
  w->add_option("--seconds", watch.seconds, "stop after S seconds")->check(CLI::Range(0.0, 1e9));

  SendOptions send;
  auto* s = app.add_subcommand("send", "Send a command (message ID 4) to a module");
  s->add_option("host", send.host, "HOST[:PORT] of the module (port 2424 unless given)")
      ->required();
  std::map<std::string, TextOption> texts;
  const auto text = [&](const std::string& name, const std::string& help) {
    texts[name].option = s->add_option(name, texts[name].text, help);
    return texts[name].option;
  };
  text("--heading", "autopilot heading bug, degrees 0-360");
  text("--altitude", "autopilot altitude, feet -1000 to 60000");
  text("--vs", "autopilot vertical speed, feet per minute -10000 to 10000");
  auto* speed = text("--speed", "autopilot speed in knots (selects the airspeed hold)");
  auto* mach = text("--mach", "autopilot speed as a Mach number (selects the Mach hold)");
  speed->excludes(mach);
  text("--baro", "altimeter setting, inches of mercury 26.00-32.00");
  text("--obs1", "NAV1 course, degrees 0-360");
  text("--obs2", "NAV2 course, degrees 0-360");
  text("--com1", "COM1 active, MHz 118.000-136.975");
  text("--com2", "COM2 active, MHz 118.000-136.975");
  text("--com1-standby", "COM1 standby, MHz");
  text("--com2-standby", "COM2 standby, MHz");
  text("--nav1", "NAV1 active, MHz 108.00-117.95");
  text("--nav2", "NAV2 active, MHz 108.00-117.95");
  text("--nav1-standby", "NAV1 standby, MHz");
  text("--nav2-standby", "NAV2 standby, MHz");
  text("--adf1", "ADF1 active, kHz 190-999");
  text("--adf2", "ADF2 active, kHz 190-999");
  text("--adf1-standby", "ADF1 standby (remembered and reported back), kHz 190-1799");
  text("--adf2-standby", "ADF2 standby (remembered and reported back), kHz 190-1799");
  text("--squawk", "transponder code, four digits 0-7");
  text("--xpdr-mode", "transponder mode (remembered and reported back)");
  text("--radaux1", "radio value remembered and reported back");
  text("--radaux2", "radio value remembered and reported back");
  text("--mfd-mode", "display mode (remembered and reported back)");
  text("--mfd-range", "display range, a whole number (remembered and reported back)");
  text("--mfd-show", "display selection (remembered and reported back)");
  std::map<std::string, std::string> choices;
  const auto choice = [&](const std::string& name, const std::string& help,
                          std::vector<std::string> allowed) {
    texts[name].option =
        s->add_option(name, texts[name].text, help)->check(CLI::IsMember(std::move(allowed)));
  };
  choice("--ap", "autopilot: on, fd (flight director only) or off", {"on", "fd", "off"});
  choice("--hdg-hold", "heading hold", {"on", "off"});
  choice("--alt-hold", "altitude hold", {"on", "off"});
  choice("--loc-hold", "localizer hold", {"on", "off"});
  choice("--gs-hold", "glide slope hold", {"on", "off"});
  choice("--nav-hold", "lateral navigation hold", {"on", "off"});
  choice("--speed-hold", "speed control: off, armed or on", {"off", "armed", "on"});
  choice("--nav-source", "navigation source for NAV1: gps or nav", {"gps", "nav"});
  s->add_option("--json-file", send.json_file,
                "start from a JSON object of wire fields (- for standard input); the options "
                "above are applied on top");
  s->add_flag("--dry-run", send.dry_run, "print the 460 bytes in hex instead of sending");
  s->add_option("--confirm", send.confirm,
                "wait up to S seconds for a position packet that reports the command back, "
                "and print the round trip")
      ->check(CLI::Range(0.0, 600.0));

  std::string request_host;
  std::uint16_t request_port = kProtocolPort;
  auto* r = app.add_subcommand("request", "Ask a module once for unicast position packets");
  r->add_option("host", request_host, "HOST[:PORT] of the module (port 2424 unless given)")
      ->required();
  r->add_option("--port", request_port,
                "local UDP port to ask from; the module sends to it (default 2424)")
      ->check(CLI::Range(0, 65535));

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e, out, err);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e, out, err);
  } catch (const CLI::ParseError& e) {
    // CLI11 reports a misspelt subcommand only as a missing one.
    if (argc > 1 && argv[1][0] != '-' && !w->parsed() && !s->parsed() && !r->parsed()) {
      err << "orbitune-peer: unknown subcommand \"" << argv[1]
          << "\" (use watch, send or request)\nRun with --help for more information.\n";
      return 2;
    }
    err << "orbitune-peer: " << e.what() << "\nRun with --help for more information.\n";
    return 2;
  }

  try {
    if (w->parsed()) {
      watch.port_given = port_option->count() > 0;
      return run_watch(watch, out, err);
    }
    if (r->parsed()) return run_request(request_host, request_port, out, err);

    CommandOptions c;
    bool any = false;
    const auto given = [&](const char* name) -> const std::string* {
      const TextOption& t = texts.at(name);
      if (!t.given()) return nullptr;
      any = true;
      return &t.text;
    };
    const auto number = [&](const char* name, double low, double high, const char* unit,
                            std::optional<float>& into) {
      if (const auto* t = given(name)) into = parse_number(name, *t, low, high, unit);
    };
    const auto integer = [&](const char* name, std::optional<std::int32_t>& into) {
      if (const auto* t = given(name)) into = parse_int32(name, *t);
    };
    const auto frequency = [&](const char* name, auto parse, std::optional<std::int32_t>& into) {
      if (const auto* t = given(name)) into = parse(name, *t);
    };
    const auto on_off = [&](const char* name, std::optional<std::int32_t>& into) {
      // The module's reports say 2 for an engaged hold; any non-zero engages.
      if (const auto* t = given(name)) into = *t == "on" ? 2 : 0;
    };
    number("--heading", 0, 360, "degrees", c.hdgdial);
    number("--altitude", -1000, 60000, "feet", c.altdial);
    number("--vs", -10000, 10000, "feet per minute", c.vspeeddial);
    number("--speed", 0, 999, "knots", c.speed_knots);
    number("--mach", 0, 4, "(Mach number)", c.speed_mach);
    number("--baro", 26, 32, "inches of mercury", c.alti);
    number("--obs1", 0, 360, "degrees", c.obs1p);
    number("--obs2", 0, 360, "degrees", c.obs2p);
    number("--mfd-range", 0, 2147483520.0, "(a whole number)", c.mfdrange);
    frequency("--com1", parse_com_frequency, c.com1freq);
    frequency("--com2", parse_com_frequency, c.com2freq);
    frequency("--com1-standby", parse_com_frequency, c.com1sfreq);
    frequency("--com2-standby", parse_com_frequency, c.com2sfreq);
    frequency("--nav1", parse_nav_frequency, c.nav1freq);
    frequency("--nav2", parse_nav_frequency, c.nav2freq);
    frequency("--nav1-standby", parse_nav_frequency, c.nav1sfreq);
    frequency("--nav2-standby", parse_nav_frequency, c.nav2sfreq);
    frequency("--adf1", parse_adf_frequency, c.adf1freq);
    frequency("--adf2", parse_adf_frequency, c.adf2freq);
    frequency("--adf1-standby", parse_adf_standby_frequency, c.adf1sfreq);
    frequency("--adf2-standby", parse_adf_standby_frequency, c.adf2sfreq);
    frequency("--squawk", parse_squawk, c.xpderc);
    integer("--xpdr-mode", c.xpdermode);
    integer("--radaux1", c.radaux1);
    integer("--radaux2", c.radaux2);
    integer("--mfd-mode", c.mfdmode);
    integer("--mfd-show", c.mfdshow);
    if (const auto* t = given("--ap")) c.fdmode = *t == "on" ? 2 : *t == "fd" ? 1 : 0;
    on_off("--hdg-hold", c.hdgst);
    on_off("--alt-hold", c.altst);
    on_off("--loc-hold", c.locst);
    on_off("--gs-hold", c.gsst);
    on_off("--nav-hold", c.lnavst);
    if (const auto* t = given("--speed-hold")) c.speedst = *t == "on" ? 2 : *t == "armed" ? 1 : 0;
    if (const auto* t = given("--nav-source")) c.apsource = *t == "gps" ? 2 : 0;
    return run_send(send, c, any, out, err);
  } catch (const std::invalid_argument& e) {
    err << "orbitune-peer: " << e.what() << "\n";
    return 2;
  } catch (const PeerNetworkError& e) {
    err << "orbitune-peer: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace orbitune::peer
