// The emulated host on Windows: the real .gau through LoadLibrary, as the
// simulator loads it, and the bitmaps from the module's own resources.
#ifdef _WIN32

#include <windows.h>

#include <cstring>

#include "platform/little_endian.h"
#include "tools/host/loader.h"

namespace orbitune::host {
namespace {

// The language the module's resources are declared in.
constexpr WORD kResourceLanguage = 0x0409;
constexpr std::size_t kBmpFileHeaderBytes = 14;

std::string last_error_text() {
  const DWORD code = ::GetLastError();
  char text[512] = {};
  const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, text, sizeof text, nullptr);
  std::string s(text, n);
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
  return "error " + std::to_string(code) + (s.empty() ? "" : " (" + s + ")");
}

}  // namespace

bool load_module(const std::string& path, LoadedModule& module, std::string& error) {
  HMODULE handle = ::LoadLibraryA(path.c_str());
  if (handle == nullptr) {
    error = "cannot load the module " + path + ": " + last_error_text();
    return false;
  }
  auto* import_table = reinterpret_cast<ImportTable*>(
      reinterpret_cast<void*>(::GetProcAddress(handle, "ImportTable")));
  auto* linkage =
      reinterpret_cast<Linkage*>(reinterpret_cast<void*>(::GetProcAddress(handle, "Linkage")));
  if (import_table == nullptr || linkage == nullptr) {
    error = path + " is not a gauge module: it does not export " +
            std::string(import_table == nullptr ? "ImportTable" : "Linkage");
    ::FreeLibrary(handle);
    return false;
  }
  module = LoadedModule{handle, import_table, linkage, handle};
  return true;
}

void unload_module(LoadedModule& module) {
  if (module.handle != nullptr) ::FreeLibrary(static_cast<HMODULE>(module.handle));
  module = LoadedModule{};
}

bool load_bitmap(const LoadedModule& module, std::uint32_t resource_id, const std::string&,
                 std::vector<std::uint8_t>& bmp, std::string& error) {
  auto* handle = static_cast<HMODULE>(module.handle);
  HRSRC found = ::FindResourceExA(handle, MAKEINTRESOURCEA(6 /* RT_BITMAP */),
                                  MAKEINTRESOURCEA(resource_id), kResourceLanguage);
  if (found == nullptr) {
    error =
        "the module has no bitmap resource " + std::to_string(resource_id) + " in language 0x0409";
    return false;
  }
  const DWORD size = ::SizeofResource(handle, found);
  HGLOBAL loaded = ::LoadResource(handle, found);
  const void* dib = loaded != nullptr ? ::LockResource(loaded) : nullptr;
  if (dib == nullptr || size < 40) {
    error = "the bitmap resource " + std::to_string(resource_id) + " cannot be read";
    return false;
  }
  // A bitmap resource is the picture without its file header; the pixels
  // follow the information header and the palette.
  const auto* info = static_cast<const std::uint8_t*>(dib);
  const std::uint32_t header_bytes = load_le_u32(info);
  const std::uint16_t bits = load_le_u16(info + 14);
  std::uint32_t colours = load_le_u32(info + 32);
  if (colours == 0 && bits <= 8) colours = 1u << bits;
  const std::uint32_t pixels_at = kBmpFileHeaderBytes + header_bytes + 4 * colours;
  bmp.assign(kBmpFileHeaderBytes, 0);
  bmp[0] = 'B';
  bmp[1] = 'M';
  store_le_u32(&bmp[2], static_cast<std::uint32_t>(kBmpFileHeaderBytes + size));
  store_le_u32(&bmp[10], pixels_at);
  bmp.insert(bmp.end(), info, info + size);
  return true;
}

void pause_seconds(double seconds) {
  if (!(seconds > 0.0)) return;
  ::Sleep(static_cast<DWORD>(seconds * 1000.0));
}

}  // namespace orbitune::host

#endif  // _WIN32
