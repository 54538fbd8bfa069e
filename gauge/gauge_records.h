// The element header that the host and the module share; the full set of
// registration records is built in gauge/registration.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orbitune {

// The 60-byte header that every display element begins with. Words the host
// owns are declared zero; the module writes only bit 30 of image_flags.
struct ElementHeader {
  std::uint32_t kind;            // 0 static image, 4 icon
  std::uint32_t resource_id;     // bitmap resource id
  std::int32_t x;                // position in the gauge
  std::int32_t y;
  std::uint32_t host_words[4];   // the host's
  void* gauge_header;            // the gauge this element belongs to
  std::uint32_t host_word;       // the host's
  void* children;                // null-terminated list of child elements, or null
  void* failure_record;          // null
  std::uint32_t image_flags;     // the host's display flags; bit 30 set by the module
  std::uint32_t reserved[2];
};
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(ElementHeader) == 60, "the host walks these records by offset");
static_assert(offsetof(ElementHeader, gauge_header) == 32);
static_assert(offsetof(ElementHeader, children) == 40);
static_assert(offsetof(ElementHeader, image_flags) == 48);
#endif

}  // namespace orbitune
