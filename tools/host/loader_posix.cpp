// The emulated host on POSIX systems: the native shared object through the
// dynamic loader, and the bitmaps from the committed picture files.
#ifndef _WIN32

#include <dlfcn.h>
#include <time.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tools/host/loader.h"

namespace orbitune::host {

bool load_module(const std::string& path, LoadedModule& module, std::string& error) {
  // Every symbol resolved now: a module with an unresolved reference is
  // refused here, not in the middle of an update.
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = ::dlerror();
    error = "cannot load the module " + path + ": " + (why ? why : "unknown reason");
    return false;
  }
  auto* import_table = static_cast<ImportTable*>(::dlsym(handle, "ImportTable"));
  auto* linkage = static_cast<Linkage*>(::dlsym(handle, "Linkage"));
  if (import_table == nullptr || linkage == nullptr) {
    error = path + " is not a gauge module: it does not export " +
            std::string(import_table == nullptr ? "ImportTable" : "Linkage");
    ::dlclose(handle);
    return false;
  }
  module = LoadedModule{handle, import_table, linkage, nullptr};
  return true;
}

void unload_module(LoadedModule& module) {
  if (module.handle != nullptr) ::dlclose(module.handle);
  module = LoadedModule{};
}

bool load_bitmap(const LoadedModule&, std::uint32_t resource_id, const std::string& icon_dir,
                 std::vector<std::uint8_t>& bmp, std::string& error) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%x", resource_id);
  std::error_code ec;
  std::filesystem::path found;
  for (const auto& entry : std::filesystem::directory_iterator(icon_dir, ec)) {
    const std::filesystem::path& p = entry.path();
    if (p.extension() != ".bmp") continue;
    std::string name = p.filename().string();
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name.find(hex) == std::string::npos) continue;
    if (!found.empty()) {
      error = "two pictures in " + icon_dir + " hold bitmap 0x" + hex;
      return false;
    }
    found = p;
  }
  if (ec) {
    error = "cannot read the icon directory " + icon_dir + ": " + ec.message();
    return false;
  }
  if (found.empty()) {
    error = "no picture for bitmap 0x" + std::string(hex) + " in " + icon_dir;
    return false;
  }
  std::ifstream in(found, std::ios::binary);
  bmp.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) {
    error = "cannot read " + found.string();
    return false;
  }
  return true;
}

void pause_seconds(double seconds) {
  if (!(seconds > 0.0)) return;
  timespec left{};
  left.tv_sec = static_cast<time_t>(seconds);
  left.tv_nsec = static_cast<long>(std::fmod(seconds, 1.0) * 1e9);
  // A signal (the user's interrupt) cuts the pause short on purpose.
  ::nanosleep(&left, &left);
}

}  // namespace orbitune::host

#endif  // _WIN32
