// A 32-bit Windows host of our own for the real orbituneFS2004.gau: it loads
// the file as the simulator does, finds the gauge through the two exports,
// installs it with the file's own bitmaps, runs updates through the element-
// list service, clicks through the click rectangles and sends the kill
// service, checking what the module answers at each step.
//
//   gau_loader_test orbituneFS2004.gau
//
// Exit code 0 when every check holds; otherwise each failed check is printed
// and the exit code is 1. The updates open the module's real socket, so this
// runs only inside the isolated test network (scripts/isolated.sh); the
// program itself sends nothing.
// Winsock's header must come before the one that includes its predecessor.
#include <winsock2.h>

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "gauge/gauge_records.h"
#include "gauge/host_services.h"
#include "tests/support/panel_table_double.h"

namespace {

using orbitune::GaugeHeader;
using orbitune::ImportTable;
using orbitune::Linkage;
using orbitune::testing::click_gauge;
using orbitune::testing::PanelTableDouble;
namespace panel_slot = orbitune::panel_slot;

int failures = 0;

void check(bool ok, const char* what, int line) {
  if (ok) return;
  ++failures;
  std::fprintf(stderr, "gau_loader_test.cpp:%d: check failed: %s\n", line, what);
}
#define CHECK(condition) check((condition), #condition, __LINE__)

template <typename A, typename B>
void check_equal(const A& actual, const B& expected, const char* what, int line) {
  if (actual == expected) return;
  ++failures;
  std::fprintf(stderr, "gau_loader_test.cpp:%d: %s is %.17g, expected %.17g\n", line, what,
               static_cast<double>(actual), static_cast<double>(expected));
}
#define CHECK_EQUAL(actual, expected) check_equal((actual), (expected), #actual, __LINE__)

constexpr std::uint16_t kPort = 2424;
constexpr std::uint32_t kLeftClick = 0x20000000;  // the click area's event mask
constexpr std::uint32_t kOtherEvent = 0x00010000;

// True when a socket without address reuse can take the protocol port, that
// is, when the module holds no socket bound to it.
bool protocol_port_free() {
  const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(kPort);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool bound = ::bind(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
  ::closesocket(s);
  return bound;
}

// The file's bitmaps, found and loaded as the host loads them for install.
void check_bitmaps(HMODULE module) {
  for (WORD id = 0x2100; id <= 0x2103; ++id) {
    std::printf("bitmap %#06x\n", id);
    const HRSRC found = ::FindResourceExA(module, RT_BITMAP, MAKEINTRESOURCEA(id),
                                          MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    CHECK(found != nullptr);
    if (found != nullptr) {
      // The DIB without its file header: 40 + 256 colours + 75 rows of 76.
      CHECK_EQUAL(::SizeofResource(module, found), 40u + 1024u + 76u * 75u);
    }
    const auto bitmap = static_cast<HBITMAP>(
        ::LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    CHECK(bitmap != nullptr);
    if (bitmap == nullptr) continue;
    BITMAP info{};
    CHECK(::GetObjectA(bitmap, sizeof info, &info) == sizeof info);
    CHECK_EQUAL(info.bmWidth, 73);
    CHECK_EQUAL(info.bmHeight, 75);
    CHECK_EQUAL(info.bmBitsPixel, 8);
    ::DeleteObject(bitmap);
  }
}

// Clicks in the order the pilot makes them, each followed by one update.
struct ClickCase {
  std::int32_t x, y;
  std::uint32_t event;
  int callbacks_reached;
  double icon_after;
};
constexpr ClickCase kClicks[] = {
    // Just right of the 80x80 area: nothing reached, the link stays on.
    {80, 10, kLeftClick, 0, 0.0},
    // Just below it.
    {10, 80, kLeftClick, 0, 0.0},
    // Inside, but an event outside the mask.
    {40, 40, kOtherEvent, 0, 0.0},
    // Inside at the top-left corner with the mask's bit: switched off.
    {0, 0, kLeftClick, 1, 2.0},
    // Inside at the far corner, the bit among others: switched on again.
    {79, 79, kLeftClick | kOtherEvent, 1, 0.0},
};

int run(const char* module_path) {
  const char* isolated = std::getenv("ORBITUNE_ISOLATED");
  if (isolated == nullptr || std::strcmp(isolated, "1") != 0) {
    std::fprintf(
        stderr,
        "gau_loader_test: the module's updates open its real socket; run this inside "
        "the isolated test network (scripts/isolated.sh), which sets ORBITUNE_ISOLATED=1\n");
    ++failures;
    return 1;
  }
  WSADATA wsa;
  if (::WSAStartup(MAKEWORD(2, 2), &wsa) != 0) {
    std::fprintf(stderr, "gau_loader_test: WSAStartup failed\n");
    ++failures;
    return 1;
  }

  const HMODULE module = ::LoadLibraryA(module_path);
  if (module == nullptr) {
    std::fprintf(stderr, "gau_loader_test: cannot load %s (error %lu)\n", module_path,
                 ::GetLastError());
    ++failures;
    return 1;
  }
  auto* import_table = reinterpret_cast<ImportTable*>(::GetProcAddress(module, "ImportTable"));
  auto* linkage = reinterpret_cast<Linkage*>(::GetProcAddress(module, "Linkage"));
  if (import_table == nullptr || linkage == nullptr) {
    std::fprintf(stderr, "gau_loader_test: %s does not export ImportTable and Linkage\n",
                 module_path);
    ++failures;
    return 1;
  }
  CHECK(reinterpret_cast<void*>(::GetProcAddress(module, MAKEINTRESOURCEA(1))) == import_table);
  CHECK(reinterpret_cast<void*>(::GetProcAddress(module, MAKEINTRESOURCEA(2))) == linkage);
  CHECK_EQUAL(import_table->kind, 0x0Fu);
  CHECK(import_table->panels == nullptr);

  check_bitmaps(module);

  GaugeHeader& gauge = *linkage->gauges[0];
  CHECK(std::strcmp(gauge.name, "OrbiTune") == 0);
  void* const root = *gauge.elements;

  PanelTableDouble host;
  import_table->panels = host.table();

  std::printf("install, initialize, first update\n");
  gauge.install(module);
  gauge.initialize();
  CHECK(protocol_port_free());
  gauge.update();
  CHECK_EQUAL(host.icons.size(), 1u);
  if (!host.icons.empty()) CHECK_EQUAL(host.icons.back(), 0.0);
  CHECK(!protocol_port_free());
  CHECK(host.variable_lookups > 0);

  for (const ClickCase& c : kClicks) {
    std::printf("click at %d,%d with events %#lx\n", static_cast<int>(c.x), static_cast<int>(c.y),
                static_cast<unsigned long>(c.event));
    CHECK_EQUAL(click_gauge(gauge, c.x, c.y, c.event), c.callbacks_reached);
    const std::size_t icons_before = host.icons.size();
    gauge.update();
    CHECK_EQUAL(host.icons.size(), icons_before + 1);
    if (host.icons.size() == icons_before + 1) CHECK_EQUAL(host.icons.back(), c.icon_after);
  }

  std::printf("gauge services 11 and 12, kill\n");
  gauge.gauge_callback(&gauge, 11, 0);
  CHECK(!protocol_port_free());
  gauge.gauge_callback(&gauge, 12, 0);
  CHECK(protocol_port_free());
  gauge.kill();

  // The whole conversation, in order, each call on the root element.
  std::vector<std::size_t> expected_slots = {panel_slot::element_list_install,
                                             panel_slot::element_list_initialize};
  expected_slots.insert(expected_slots.end(), 1 + std::size(kClicks),
                        panel_slot::element_list_update);
  expected_slots.push_back(panel_slot::element_list_kill);
  CHECK_EQUAL(host.element_calls.size(), expected_slots.size());
  for (std::size_t i = 0; i < host.element_calls.size() && i < expected_slots.size(); ++i) {
    CHECK_EQUAL(host.element_calls[i].slot, expected_slots[i]);
    CHECK(host.element_calls[i].root == root);
  }
  if (!host.element_calls.empty()) {
    CHECK(host.element_calls[0].extra == reinterpret_cast<std::uintptr_t>(module));
  }

  import_table->panels = nullptr;
  CHECK(::FreeLibrary(module) != 0);
  ::WSACleanup();
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: gau_loader_test orbituneFS2004.gau\n");
    return 2;
  }
  const int result = run(argv[1]);
  if (result == 0) {
    std::printf("PASSED\n");
  } else {
    std::printf("FAILED: %d failed checks\n", failures);
  }
  return result;
}
