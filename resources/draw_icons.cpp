// Draws the gauge's four bitmaps: the status dial, the dial with a green ring,
// the dial with a red ring, and the all-black image.
//
//   draw_icons OUTPUT_DIRECTORY
//
// writes icon_2100.bmp .. icon_2103.bmp there, named by their resource ids.
// The committed copies in resources/icons are this program's output, so the
// Windows build needs no native tool; a test draws them again and compares.
//
// Everything is decided per pixel from integer coordinates, and the few
// angles go through the same libm calls every run, so the output is the same
// bytes on every run.
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 73;
constexpr int kHeight = 75;
constexpr int kRowBytes = (kWidth + 3) / 4 * 4;  // DIB rows are padded to 4 bytes: 76
constexpr int kPaletteEntries = 256;
static_assert(kRowBytes == 76);

// Palette indices. One palette serves all four images, so that the dials
// differ only in the index of the ring's pixels.
enum Colour : std::uint8_t {
  black,
  bezel,
  bezel_light,
  bezel_shadow,
  screw,
  screw_slot,
  dial_face,
  dial_rim,
  tick,
  white,
  yellow,
  ring_green,
  ring_red,
  card_circle,
  colour_count
};

struct Rgb {
  std::uint8_t r, g, b;
};

constexpr std::array<Rgb, colour_count> kColours = {{
    {0, 0, 0},        // black
    {58, 66, 82},     // bezel: dark blue-grey
    {88, 98, 116},    // bezel_light: top and left bevel
    {34, 39, 50},     // bezel_shadow: bottom and right bevel
    {150, 156, 168},  // screw head
    {60, 62, 70},     // screw slot
    {18, 20, 26},     // dial_face
    {96, 104, 120},   // dial_rim
    {176, 180, 188},  // tick: minor ticks
    {240, 240, 240},  // white: major ticks, card marks and labels
    {250, 204, 36},   // yellow: the aircraft
    {32, 192, 64},    // ring_green: a command was applied
    {224, 32, 64},    // ring_red: the link is off
    {120, 126, 140},  // card_circle: the compass card's edge
}};

using Image = std::array<std::array<std::uint8_t, kWidth>, kHeight>;  // [row from top][column]

// Pixel centres relative to the image centre, in half pixels, so that the
// centre of an odd-by-odd grid needs no rounding.
int half_dx(int x) {
  return 2 * x + 1 - kWidth;
}
int half_dy(int y) {
  return 2 * y + 1 - kHeight;
}
int squared_half_distance(int x, int y) {
  return half_dx(x) * half_dx(x) + half_dy(y) * half_dy(y);
}
// True when the pixel centre lies within [inner, outer] pixels of the centre.
bool in_annulus(int x, int y, int inner, int outer) {
  const int d2 = squared_half_distance(x, y);
  return d2 >= 4 * inner * inner && d2 <= 4 * outer * outer;
}

constexpr double kPi = 3.14159265358979323846;

// Bearing of a pixel from the centre, degrees clockwise from up, in [0, 360).
double bearing_degrees(int x, int y) {
  double b =
      std::atan2(static_cast<double>(half_dx(x)), static_cast<double>(-half_dy(y))) * 180.0 / kPi;
  return b < 0.0 ? b + 360.0 : b;
}

// Distance in pixels from the pixel centre to the radial line at the nearest
// multiple of `step` degrees.
double distance_to_radial(int x, int y, double step) {
  const double b = bearing_degrees(x, y);
  const double nearest = std::round(b / step) * step;
  const double r = std::sqrt(static_cast<double>(squared_half_distance(x, y))) / 2.0;
  return r * std::fabs(std::sin((b - nearest) * kPi / 180.0));
}

// A 5-pixel-high font for the card's labels, 3 pixels wide except for the
// letters that need more to be read: '#' marks a lit pixel.
struct Glyph {
  char c;
  const char* rows[5];
};
constexpr Glyph kFont[] = {
    {'N', {"#..#", "##.#", "#.##", "#..#", "#..#"}},
    {'E', {"###", "#..", "##.", "#..", "###"}},
    {'S', {".###", "#...", ".##.", "...#", "###."}},
    {'W', {"#...#", "#...#", "#.#.#", "#.#.#", ".#.#."}},
    {'0', {"###", "#.#", "#.#", "#.#", "###"}},
    {'1', {".#.", "##.", ".#.", ".#.", "###"}},
    {'2', {"##.", "..#", ".#.", "#..", "###"}},
    {'3', {"##.", "..#", ".#.", "..#", "##."}},
    {'4', {"#.#", "#.#", "###", "..#", "..#"}},
    {'5', {"###", "#..", "##.", "..#", "##."}},
    {'6', {".##", "#..", "###", "#.#", "###"}},
};

// Every label is drawn from this font; a missing letter is a fault of this
// program, so it fails loudly rather than drawing a gap.
const Glyph* find_glyph(char c) {
  for (const Glyph& g : kFont) {
    if (g.c == c) return &g;
  }
  std::fprintf(stderr, "draw_icons: no glyph for '%c'\n", c);
  std::exit(1);
}

void put(Image& image, int x, int y, Colour colour) {
  if (x >= 0 && x < kWidth && y >= 0 && y < kHeight) image[y][x] = colour;
}

int glyph_width(const Glyph& g) {
  return static_cast<int>(std::strlen(g.rows[0]));
}

// Draws `text` upright, centred on the pixel (cx, cy), one blank column
// between letters.
void draw_label(Image& image, const std::string& text, int cx, int cy) {
  int width = -1;
  for (char c : text) width += glyph_width(*find_glyph(c)) + 1;
  int left = cx - width / 2;
  const int top = cy - 2;
  for (char c : text) {
    const Glyph& g = *find_glyph(c);
    for (int row = 0; row < 5; ++row) {
      for (int col = 0; col < glyph_width(g); ++col) {
        if (g.rows[row][col] == '#') put(image, left + col, top + row, white);
      }
    }
    left += glyph_width(g) + 1;
  }
}

void fill_rect(Image& image, int x0, int y0, int x1, int y1, Colour colour) {
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) put(image, x, y, colour);
  }
}

Image draw_dial() {
  Image image{};
  constexpr int kCentreX = kWidth / 2;  // the pixel whose centre is the image centre
  constexpr int kCentreY = kHeight / 2;

  // The square bezel, bevelled so that it reads as raised.
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      Colour c = bezel;
      if (x <= 1 || y <= 1) c = bezel_light;
      if (x >= kWidth - 2 || y >= kHeight - 2) c = bezel_shadow;
      image[y][x] = c;
    }
  }

  // A screw in each corner, its slot at 45 degrees. The corners lie well
  // outside the coloured ring, so the screws look the same on every dial.
  constexpr int kScrewInset = 5;
  for (const auto& [sx, sy] :
       {std::array{kScrewInset, kScrewInset}, std::array{kWidth - 1 - kScrewInset, kScrewInset},
        std::array{kScrewInset, kHeight - 1 - kScrewInset},
        std::array{kWidth - 1 - kScrewInset, kHeight - 1 - kScrewInset}}) {
    for (int dy = -3; dy <= 3; ++dy) {
      for (int dx = -3; dx <= 3; ++dx) {
        const int d2 = dx * dx + dy * dy;
        if (d2 > 10) continue;
        put(image, sx + dx, sy + dy, d2 <= 6 && dx == dy ? screw_slot : screw);
      }
    }
  }

  // The dial: a rim, the face, the ring of ticks on the face's outer band,
  // then the compass card inside it.
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      if (!in_annulus(x, y, 0, 35)) continue;
      if (!in_annulus(x, y, 0, 34)) {
        image[y][x] = dial_rim;
        continue;
      }
      image[y][x] = dial_face;
      if (in_annulus(x, y, 29, 33) && distance_to_radial(x, y, 10.0) < 0.6) image[y][x] = tick;
      if (in_annulus(x, y, 29, 33) && distance_to_radial(x, y, 30.0) < 0.7) image[y][x] = white;
      if (in_annulus(x, y, 27, 27)) image[y][x] = card_circle;
      if (in_annulus(x, y, 23, 25) && distance_to_radial(x, y, 30.0) < 0.6) image[y][x] = white;
    }
  }

  // The card's labels, every 30 degrees clockwise from north.
  const char* const labels[12] = {"N", "3", "6", "E", "12", "15", "S", "21", "24", "W", "30", "33"};
  constexpr double kLabelRadius = 17.5;
  for (int i = 0; i < 12; ++i) {
    const double a = i * 30.0 * kPi / 180.0;
    const int lx = kCentreX + static_cast<int>(std::lround(kLabelRadius * std::sin(a)));
    const int ly = kCentreY - static_cast<int>(std::lround(kLabelRadius * std::cos(a)));
    draw_label(image, labels[i], lx, ly);
  }

  // The aircraft, nose up: fuselage, swept wings, tailplane.
  fill_rect(image, kCentreX, kCentreY - 10, kCentreX, kCentreY - 10, yellow);  // nose
  fill_rect(image, kCentreX - 1, kCentreY - 9, kCentreX + 1, kCentreY + 8, yellow);
  fill_rect(image, kCentreX - 9, kCentreY - 1, kCentreX + 9, kCentreY, yellow);
  fill_rect(image, kCentreX - 6, kCentreY - 2, kCentreX + 6, kCentreY - 2, yellow);
  fill_rect(image, kCentreX - 8, kCentreY + 1, kCentreX + 8, kCentreY + 1, yellow);
  fill_rect(image, kCentreX - 4, kCentreY + 6, kCentreX + 4, kCentreY + 7, yellow);
  return image;
}

// The status ring painted over the tick ring, between 28 and 38 pixels from
// the centre; it runs off the edges of the square, into the bezel.
Image with_ring(Image image, Colour colour) {
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      if (in_annulus(x, y, 28, 38)) image[y][x] = colour;
    }
  }
  return image;
}

void store_le(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// A Windows DIB file: 8 bits per pixel, uncompressed, 256-colour palette,
// rows bottom-up and padded to 4 bytes.
std::vector<std::uint8_t> encode_bmp(const Image& image) {
  constexpr std::uint32_t kFileHeaderBytes = 14;
  constexpr std::uint32_t kInfoHeaderBytes = 40;
  constexpr std::uint32_t kPaletteBytes = kPaletteEntries * 4;
  constexpr std::uint32_t kPixelBytes = kRowBytes * kHeight;
  constexpr std::uint32_t kPixelOffset = kFileHeaderBytes + kInfoHeaderBytes + kPaletteBytes;
  constexpr std::uint32_t kPixelsPerMetre = 2835;  // 72 dots per inch

  std::vector<std::uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  store_le(out, kPixelOffset + kPixelBytes, 4);  // file size
  store_le(out, 0, 4);                           // reserved
  store_le(out, kPixelOffset, 4);

  store_le(out, kInfoHeaderBytes, 4);
  store_le(out, kWidth, 4);
  store_le(out, kHeight, 4);  // positive: bottom-up
  store_le(out, 1, 2);        // planes
  store_le(out, 8, 2);        // bits per pixel
  store_le(out, 0, 4);        // BI_RGB
  store_le(out, kPixelBytes, 4);
  store_le(out, kPixelsPerMetre, 4);
  store_le(out, kPixelsPerMetre, 4);
  store_le(out, kPaletteEntries, 4);  // colours used
  store_le(out, 0, 4);                // colours important: all

  for (int i = 0; i < kPaletteEntries; ++i) {
    const Rgb c = i < colour_count ? kColours[i] : Rgb{0, 0, 0};
    out.push_back(c.b);
    out.push_back(c.g);
    out.push_back(c.r);
    out.push_back(0);
  }

  for (int y = kHeight - 1; y >= 0; --y) {
    out.insert(out.end(), image[y].begin(), image[y].end());
    out.insert(out.end(), kRowBytes - kWidth, 0);
  }
  return out;
}

bool write_file(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIRECTORY\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const Image dial = draw_dial();
  const struct {
    const char* name;
    Image image;
  } icons[] = {
      {"icon_2100.bmp", dial},
      {"icon_2101.bmp", with_ring(dial, ring_green)},
      {"icon_2102.bmp", with_ring(dial, ring_red)},
      {"icon_2103.bmp", Image{}},  // every pixel palette entry 0, black
  };
  for (const auto& icon : icons) {
    const std::string path = dir + "/" + icon.name;
    if (!write_file(path, encode_bmp(icon.image))) {
      std::fprintf(stderr, "draw_icons: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
