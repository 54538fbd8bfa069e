// The gauge's four bitmaps as committed in resources/icons: drawn again by
// draw_icons to the same bytes, with the file layout the host loads, one
// palette for the three dials, and the coloured rings where the icons say.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "platform/little_endian.h"

namespace orbitune {
namespace {

constexpr int kWidth = 73;
constexpr int kHeight = 75;
constexpr int kRowBytes = 76;
constexpr std::size_t kPixelOffset = 14 + 40 + 256 * 4;
constexpr std::size_t kFileBytes = kPixelOffset + kRowBytes * kHeight;

const char* const kNames[] = {"icon_2100.bmp", "icon_2101.bmp", "icon_2102.bmp", "icon_2103.bmp"};

std::vector<std::uint8_t> read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};

// A loaded 8-bit bitmap, pixels addressed from the top-left corner.
struct Bitmap {
  std::vector<std::uint8_t> bytes;

  const std::uint8_t* palette() const { return bytes.data() + 54; }
  std::uint8_t index(int x, int y) const {
    return bytes[kPixelOffset + static_cast<std::size_t>(kHeight - 1 - y) * kRowBytes + x];
  }
  Rgb colour(int x, int y) const {
    const std::uint8_t* entry = palette() + 4 * index(x, y);  // blue, green, red, 0
    return {entry[2], entry[1], entry[0]};
  }
};

Bitmap committed(int i) {
  return {read_file(std::string(ORBITUNE_ICONS_DIR) + "/" + kNames[i])};
}

// Distance of the pixel's centre from the image's centre, in pixels.
double distance_from_centre(int x, int y) {
  return std::hypot(x + 0.5 - kWidth / 2.0, y + 0.5 - kHeight / 2.0);
}

TEST(IconsTest, GeneratorDrawsTheCommittedFiles) {
  char dir[] = "/tmp/orbitune_icons_XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  const std::string command = std::string(ORBITUNE_DRAW_ICONS) + " " + dir;
  ASSERT_EQ(std::system(command.c_str()), 0);
  for (const char* name : kNames) {
    SCOPED_TRACE(name);
    const std::string drawn_path = std::string(dir) + "/" + name;
    const std::vector<std::uint8_t> drawn = read_file(drawn_path);
    EXPECT_EQ(drawn.size(), kFileBytes);
    EXPECT_TRUE(drawn == read_file(std::string(ORBITUNE_ICONS_DIR) + "/" + name))
        << "resources/icons is stale: rebuild the target regenerate_icons and commit";
    ::unlink(drawn_path.c_str());
  }
  ::rmdir(dir);
}

TEST(IconsTest, EveryFileIsA73By75EightBitBottomUpDibWithAFullPalette) {
  // The file and information headers, written out by hand.
  constexpr std::array<std::uint8_t, 54> kHeader = {
      'B',  'M',               // file type
      0x7A, 0x1A, 0x00, 0x00,  // file size: 6778
      0x00, 0x00, 0x00, 0x00,  // reserved
      0x36, 0x04, 0x00, 0x00,  // pixels at 1078: after both headers and 256 colours
      0x28, 0x00, 0x00, 0x00,  // information header size: 40
      0x49, 0x00, 0x00, 0x00,  // width 73
      0x4B, 0x00, 0x00, 0x00,  // height 75, positive: rows bottom-up
      0x01, 0x00,              // one plane
      0x08, 0x00,              // 8 bits per pixel
      0x00, 0x00, 0x00, 0x00,  // BI_RGB: uncompressed
      0x44, 0x16, 0x00, 0x00,  // pixel bytes: 75 rows of 76
      0x13, 0x0B, 0x00, 0x00,  // 2835 pixels per metre across
      0x13, 0x0B, 0x00, 0x00,  // and down
      0x00, 0x01, 0x00, 0x00,  // 256 colours used
      0x00, 0x00, 0x00, 0x00,  // all of them important
  };
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(kNames[i]);
    const Bitmap bmp = committed(i);
    ASSERT_EQ(bmp.bytes.size(), kFileBytes);
    EXPECT_TRUE(std::equal(kHeader.begin(), kHeader.end(), bmp.bytes.begin()));
    // The same facts read as a loader reads them.
    EXPECT_EQ(load_le_u32(bmp.bytes.data() + 18), static_cast<std::uint32_t>(kWidth));
    EXPECT_EQ(load_le_i32(bmp.bytes.data() + 22), kHeight);
    EXPECT_EQ(load_le_u16(bmp.bytes.data() + 28), 8);
    // Each row's padding after its 73 pixels is zero.
    for (int row = 0; row < kHeight; ++row) {
      for (int pad = kWidth; pad < kRowBytes; ++pad) {
        ASSERT_EQ(bmp.bytes[kPixelOffset + row * kRowBytes + pad], 0) << "row " << row;
      }
    }
  }
}

TEST(IconsTest, ThreeDialsShareOnePalette) {
  const Bitmap dial = committed(0);
  for (int i = 1; i <= 2; ++i) {
    const Bitmap other = committed(i);
    EXPECT_TRUE(std::equal(dial.palette(), dial.palette() + 1024, other.palette())) << kNames[i];
  }
}

// The ringed dials against the plain one: same pixels outside the ring, the
// ring solid in its colour between about 28 and 38 pixels from the centre.
struct RingCase {
  int icon;
  Rgb colour;
};
constexpr RingCase kRings[] = {
    {1, {32, 192, 64}},  // a command was applied: green
    {2, {224, 32, 64}},  // the link is switched off: red
};

void PrintTo(const RingCase& c, std::ostream* os) {
  *os << "icon " << c.icon;
}

class RingTest : public ::testing::TestWithParam<RingCase> {};

TEST_P(RingTest, DialDiffersFromThePlainOneOnlyInsideTheSolidRing) {
  const Bitmap dial = committed(0);
  const Bitmap ringed = committed(GetParam().icon);
  int ring_pixels = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const double d = distance_from_centre(x, y);
      // Half a pixel of slack on each side for how the edge is rasterised.
      const bool clearly_inside = d >= 28.5 && d <= 37.5;
      const bool possibly_inside = d >= 27.5 && d <= 38.5;
      if (ringed.index(x, y) != dial.index(x, y)) {
        EXPECT_TRUE(possibly_inside) << "pixel " << x << "," << y << " at " << d;
      }
      if (clearly_inside) {
        EXPECT_EQ(ringed.colour(x, y), GetParam().colour) << "pixel " << x << "," << y;
      }
      if (ringed.colour(x, y) == GetParam().colour) ++ring_pixels;
      EXPECT_FALSE(dial.colour(x, y) == GetParam().colour) << "plain dial has the ring colour";
    }
  }
  // The annulus clipped to the square: about two thousand pixels.
  EXPECT_GT(ring_pixels, 1500);
}

INSTANTIATE_TEST_SUITE_P(Rings, RingTest, ::testing::ValuesIn(kRings));

TEST(IconsTest, DialShowsTheAircraftOnItsFaceInsideTheBezel) {
  const Bitmap dial = committed(0);
  const Rgb centre = dial.colour(kWidth / 2, kHeight / 2);
  EXPECT_TRUE(centre.r > 200 && centre.g > 150 && centre.b < 100) << "the aircraft is yellow";
  // The bezel, seen beside each corner screw: dark and blue-grey.
  for (const auto& [x, y] :
       {std::array{10, 3}, std::array{62, 3}, std::array{10, 71}, std::array{62, 71}}) {
    const Rgb bezel = dial.colour(x, y);
    EXPECT_TRUE(bezel.b > bezel.r && bezel.b > bezel.g && bezel.b < 128)
        << "pixel " << x << "," << y;
  }
}

TEST(IconsTest, FourthIconIsBlackAllOver) {
  const Bitmap black = committed(3);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      ASSERT_EQ(black.colour(x, y), (Rgb{0, 0, 0})) << "pixel " << x << "," << y;
    }
  }
}

}  // namespace
}  // namespace orbitune
