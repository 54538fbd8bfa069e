// Loading the module file the way the host does, and the few other things of
// the operating system the emulated host needs. One whole file per system:
// loader_posix.cpp (dlopen of the native shared object, bitmaps from files)
// and loader_win32.cpp (LoadLibrary of the .gau, bitmaps from its resources).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gauge/gauge_records.h"

namespace orbitune::host {

struct LoadedModule {
  void* handle = nullptr;
  ImportTable* import_table = nullptr;
  Linkage* linkage = nullptr;
  // What the install routine receives: the module's own handle on Windows,
  // from which the bitmaps are loaded; null natively.
  void* resource_handle = nullptr;
};

// Loads the module file and resolves its two exports; on failure returns
// false and says why in `error`.
bool load_module(const std::string& path, LoadedModule& module, std::string& error);
void unload_module(LoadedModule& module);

// The bitmap `resource_id` as a complete BMP file. Natively it is read from
// `icon_dir`, from the one .bmp file whose name holds the id in hexadecimal
// ("2100"); on Windows from the module's bitmap resource, language 0x0409.
bool load_bitmap(const LoadedModule& module, std::uint32_t resource_id, const std::string& icon_dir,
                 std::vector<std::uint8_t>& bmp, std::string& error);

// Real-time pause of the update loop.
void pause_seconds(double seconds);

}  // namespace orbitune::host
