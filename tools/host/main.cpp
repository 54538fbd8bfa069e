// orbitune-host: runs the gauge module outside the simulator. It loads the
// module file as the simulator does, plays the simulator's side of the gauge
// interface over a simulated aircraft, applies a scenario's actions and
// writes one trace line per update.
#include <CLI/CLI.hpp>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/host/aircraft.h"
#include "tools/host/host_session.h"
#include "tools/host/loader.h"
#include "tools/host/scenario.h"

namespace orbitune::host {
namespace {

// Exit codes.
constexpr int kExitUsage = 2;          // bad options or scenario
constexpr int kExitModule = 3;         // the module cannot be loaded or is not a gauge
constexpr int kExitFault = 1;          // the module misbehaved in a host call, or output failed
constexpr double kDefaultRate = 18.0;  // the simulator's gauge update rate, per second
constexpr std::uint32_t kServiceKill = 12;

volatile std::sig_atomic_t interrupted = 0;
extern "C" void on_interrupt(int) {
  interrupted = 1;
}

struct Options {
  std::string module;
  std::string scenario;
  std::int64_t updates = 0;
  double rate = kDefaultRate;
  bool fast = false;
  std::string trace;
  std::string workdir;
  std::string dump_icon;
  std::string icon_dir;
};

struct BitmapSource {
  const LoadedModule* module;
  std::string icon_dir;
};

bool load_bitmap_from(void* context, std::uint32_t id, std::vector<std::uint8_t>& bmp,
                      std::string& error) {
  const auto* source = static_cast<const BitmapSource*>(context);
  return load_bitmap(*source->module, id, source->icon_dir, bmp, error);
}

std::string absolute(const std::string& path) {
  if (path.empty() || path == "-") return path;
  return std::filesystem::absolute(path).string();
}

int fail(int code, const std::string& message) {
  std::fprintf(stderr, "orbitune-host: %s\n", message.c_str());
  return code;
}

void write_trace_line(std::FILE* out, std::int64_t update, int icon, bool flag30,
                      const std::vector<KeyEvent>& keys) {
  std::string line = "{\"update\": " + std::to_string(update) +
                     ", \"icon\": " + std::to_string(icon) +
                     ", \"flag30\": " + (flag30 ? "true" : "false") + ", \"keys\": [";
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (i != 0) line += ", ";
    line += "[" + std::to_string(keys[i].id) + ", " +
            std::to_string(static_cast<std::int32_t>(keys[i].value)) + "]";
  }
  // The host knows the link is off only by the icon the gauge shows for it.
  line += std::string("], \"enabled\": ") + (icon != 2 ? "true" : "false") + "}\n";
  std::fputs(line.c_str(), out);
  // Readers follow the trace while the run goes on (tests time their
  // datagrams by it), so every line leaves at once.
  std::fflush(out);
}

int run(const Options& options) {
  Scenario scenario;
  if (!options.scenario.empty()) {
    try {
      scenario = load_scenario_file(options.scenario);
    } catch (const ScenarioError& e) {
      return fail(kExitUsage, e.what());
    }
  }

  std::FILE* trace = nullptr;
  if (options.trace == "-") {
    trace = stdout;
  } else if (!options.trace.empty()) {
    trace = std::fopen(options.trace.c_str(), "wb");
    if (trace == nullptr) return fail(kExitUsage, "cannot write the trace file " + options.trace);
  }
  struct TraceCloser {
    std::FILE* f;
    ~TraceCloser() {
      if (f != nullptr && f != stdout) std::fclose(f);
    }
  } trace_closer{trace};

  // Paths given on the command line mean what they meant before the change
  // of directory.
  const std::string module_path = absolute(options.module);
  const std::string dump_path = absolute(options.dump_icon);
  const std::string icon_dir = absolute(options.icon_dir);
  if (!options.workdir.empty()) {
    std::error_code ec;
    std::filesystem::current_path(options.workdir, ec);
    if (ec)
      return fail(kExitUsage,
                  "cannot change to the directory " + options.workdir + ": " + ec.message());
  }

  LoadedModule module;
  std::string error;
  if (!load_module(module_path, module, error)) return fail(kExitModule, error);
  struct Unloader {
    LoadedModule& m;
    ~Unloader() { unload_module(m); }
  } unloader{module};

  if (module.import_table->kind != kImportTablePanels)
    return fail(kExitModule, "ImportTable asks for table kind " +
                                 std::to_string(module.import_table->kind) +
                                 "; this host offers only the panel services (15)");
  GaugeRecords records;
  if (!find_gauge_records(*module.linkage, records, error)) return fail(kExitModule, error);

  Aircraft aircraft;
  apply_initial_state(scenario, aircraft);
  HostSession session(aircraft, records);
  BitmapSource bitmaps{&module, icon_dir};
  session.set_bitmap_loader(&load_bitmap_from, &bitmaps);

  // The simulator's order: the table address before any call, then the
  // module and gauge set-up.
  module.import_table->panels = session.panel_table();
  if (module.linkage->module_init != nullptr) module.linkage->module_init();
  GaugeHeader* header = records.header;
  if (header->install != nullptr) header->install(module.resource_handle);
  if (header->initialize != nullptr) header->initialize();

  std::signal(SIGINT, on_interrupt);
  std::signal(SIGTERM, on_interrupt);

  const double period = 1.0 / options.rate;
  const auto start = std::chrono::steady_clock::now();
  double paused = 0.0;  // real time spent in pause actions, outside the cadence
  std::uint64_t icon_counts[4] = {};
  std::uint64_t key_event_total = 0, clicks_delivered = 0, services = 0;
  int last_icon = -1;
  std::int64_t done = 0;

  for (std::int64_t n = 1; options.updates == 0 || n <= options.updates; ++n) {
    if (interrupted) break;
    for (const Action& a : scenario.actions) {
      if (a.at != n) continue;
      switch (a.kind) {
        case Action::Kind::click_in_area:
          clicks_delivered += session.click_in_area(kDefaultClickFlags) ? 1 : 0;
          break;
        case Action::Kind::click_at:
          clicks_delivered += session.click(a.x, a.y, a.flags) ? 1 : 0;
          break;
        case Action::Kind::service:
          session.service(a.service_id);
          ++services;
          break;
        case Action::Kind::vars:
        case Action::Kind::expressions:
          apply_settings(a.vars, a.expressions, aircraft);
          break;
        case Action::Kind::gps:
          aircraft.set_gps(a.gps);
          break;
        case Action::Kind::pause:
          pause_seconds(a.pause_seconds);
          paused += a.pause_seconds;
          break;
      }
    }

    const std::optional<int> icon = session.update();
    if (!session.fault().empty())
      return fail(kExitFault, "update " + std::to_string(n) + ": " + session.fault());
    if (!icon)
      return fail(kExitFault,
                  "update " + std::to_string(n) + ": the icon's update callback was not called");
    const std::vector<KeyEvent> keys = session.take_key_events();
    key_event_total += keys.size();
    ++icon_counts[*icon];
    last_icon = *icon;
    done = n;
    if (trace != nullptr) write_trace_line(trace, n, *icon, session.flag30(), keys);

    // The aircraft flies on between two gauge updates.
    aircraft.step(period);

    if (!options.fast) {
      const double due = paused + static_cast<double>(n) * period;
      const double now =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      pause_seconds(due - now);
    }
  }

  // Before the simulator kills a gauge it sends it service 12.
  session.service(kServiceKill);
  ++services;
  if (header->kill != nullptr) header->kill();
  if (module.linkage->module_deinit != nullptr) module.linkage->module_deinit();
  if (!session.fault().empty()) return fail(kExitFault, "shutdown: " + session.fault());

  if (trace != nullptr) {
    std::string summary = "{\"summary\": {\"updates\": " + std::to_string(done) + ", \"icons\": [";
    for (int i = 0; i < 4; ++i) summary += (i ? ", " : "") + std::to_string(icon_counts[i]);
    summary += "], \"key_events\": " + std::to_string(key_event_total) +
               ", \"unknown_key_events\": " + std::to_string(session.unknown_key_events()) +
               ", \"clicks_delivered\": " + std::to_string(clicks_delivered) +
               ", \"services\": " + std::to_string(services) +
               ", \"flag30\": " + (session.flag30() ? "true" : "false") +
               ", \"gps_active\": " + std::to_string(aircraft.gps_active()) +
               ", \"interrupted\": " + (interrupted ? "true" : "false") + "}}\n";
    std::fputs(summary.c_str(), trace);
    if (std::fflush(trace) != 0) return fail(kExitFault, "cannot write the trace");
  }

  if (!dump_path.empty()) {
    if (last_icon < 0) return fail(kExitFault, "no update ran, so no icon was shown to dump");
    const std::uint32_t id =
        records.icon->header.resource_id + static_cast<std::uint32_t>(last_icon);
    const std::vector<std::uint8_t>* bmp = session.bitmap(id);
    if (bmp == nullptr) {
      std::string why = "the bitmap of icon " + std::to_string(last_icon) + " was not loaded";
      for (const std::string& e : session.bitmap_errors()) why += "; " + e;
      return fail(kExitFault, why);
    }
    std::ofstream out(dump_path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bmp->data()),
              static_cast<std::streamsize>(bmp->size()));
    if (!out) return fail(kExitFault, "cannot write " + dump_path);
  }
  return 0;
}

}  // namespace
}  // namespace orbitune::host

int main(int argc, char** argv) {
  using orbitune::host::Options;
  Options options;
#ifdef ORBITUNE_HOST_ICON_DIR
  options.icon_dir = ORBITUNE_HOST_ICON_DIR;
#endif
  CLI::App app{
      "orbitune-host: loads the OrbiTune gauge module as the simulator does and runs it over a "
      "simulated aircraft.\nTrace lines: {\"update\": N, \"icon\": 0..3, \"flag30\": bool, "
      "\"keys\": [[id, param], ...], \"enabled\": bool}, then {\"summary\": {...}}.",
      "orbitune-host"};
  app.add_option("--module", options.module,
                 "the module file to load (.so natively, .gau on Windows)")
      ->required();
  app.add_option("--scenario", options.scenario, "scenario JSON file")->check(CLI::ExistingFile);
  app.add_option("--updates", options.updates, "number of gauge updates; 0 runs until interrupted")
      ->check(CLI::NonNegativeNumber);
  auto* rate = app.add_option("--rate", options.rate, "gauge updates per second (default 18)")
                   ->check(CLI::PositiveNumber);
  app.add_flag("--fast", options.fast, "run the updates back to back, without real-time pacing")
      ->excludes(rate);
  app.add_option("--trace", options.trace, "write the trace to FILE, or to standard output for -");
  app.add_option("--workdir", options.workdir,
                 "directory to run in (where the module looks for orbitune.ini)")
      ->check(CLI::ExistingDirectory);
  app.add_option("--dump-icon", options.dump_icon,
                 "write the icon shown after the last update (BMP)");
  app.add_option("--icons", options.icon_dir,
                 "directory of the icon pictures, for a module without bitmap resources");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : orbitune::host::kExitUsage;
  }
  return orbitune::host::run(options);
}
