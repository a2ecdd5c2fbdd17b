// The present's kernels (plain C++, SSE2, AVX2, wasm SIMD) against a per-pixel
// reference over a table of geometries and pixel formats, random frames.
#include <string.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../hex.h"
#include "present/present.h"

namespace {

// A field widened to 8 bits by repeating its top bits; a wider one gives
// its top 8.
uint8_t Widen(uint32_t pixel, uint32_t mask) {
  if (mask == 0)
    return 0;
  int low = 0, bits = 0;
  while (!(mask >> low & 1))
    ++low;
  for (uint32_t rest = mask >> low; rest != 0; rest >>= 1)
    bits += rest & 1;
  uint32_t value = (pixel & mask) >> low;
  if (bits > 8)
    return uint8_t(value >> (bits - 8));
  uint32_t wide = value << (8 - bits);
  return uint8_t(wide | wide >> bits);
}

// A target pixel: each field the top bits of its 8-bit channel, alpha set.
uint32_t Pack(const PixelFormat &f, const uint8_t (&rgb)[3]) {
  const uint32_t masks[3] = {f.red, f.green, f.blue};
  uint32_t pixel = f.alpha;
  for (int i = 0; i < 3; ++i) {
    int low = 0, bits = 0;
    while (!(masks[i] >> low & 1))
      ++low;
    while (uint64_t(masks[i]) >> (low + bits) & 1)
      ++bits;
    pixel |= uint32_t(rgb[i] >> (8 - bits)) << low;
  }
  return pixel;
}

struct Geometry {
  const char *name;
  int sourceWidth, sourceHeight;
  Rect from;
  int targetWidth, targetHeight;
  Rect to, clip;
};

const Geometry kGeometries[] = {
    {"1x odd width",
     37,
     11,
     {0, 0, 37, 11},
     40,
     12,
     {2, 1, 37, 11},
     {0, 0, 40, 12}},
    {"2x clipped",
     37,
     11,
     {0, 0, 37, 11},
     80,
     24,
     {0, 0, 74, 22},
     {3, 1, 60, 20}},
    {"3x clipped inside pixels",
     21,
     7,
     {0, 0, 21, 7},
     70,
     25,
     {1, 2, 63, 21},
     {4, 3, 50, 15}},
    {"4x clipped",
     40,
     9,
     {0, 0, 40, 9},
     160,
     36,
     {0, 0, 160, 36},
     {5, 3, 150, 30}},
    {"2x across, taller",
     33,
     20,
     {0, 0, 33, 20},
     66,
     27,
     {0, 0, 66, 27},
     {0, 0, 66, 27}},
    {"aspect fitted",
     64,
     40,
     {0, 0, 64, 40},
     100,
     90,
     {0, 0, 0, 0},
     {0, 0, 100, 90}},
    {"enlarged",
     45,
     13,
     {0, 0, 45, 13},
     77,
     29,
     {0, 0, 77, 29},
     {0, 0, 77, 29}},
    {"shrunk",
     100,
     50,
     {0, 0, 100, 50},
     37,
     21,
     {0, 0, 37, 21},
     {0, 0, 37, 21}},
    {"narrower, taller",
     70,
     10,
     {0, 0, 70, 10},
     33,
     40,
     {0, 0, 33, 40},
     {0, 0, 33, 40}},
    {"part, off the edges",
     40,
     12,
     {5, 3, 30, 7},
     50,
     18,
     {-7, -2, 61, 20},
     {0, 0, 50, 18}},
    {"5x", 10, 3, {0, 0, 10, 3}, 55, 16, {0, 0, 50, 15}, {0, 0, 55, 16}},
    {"1x whole lines, lower part",
     48,
     10,
     {0, 0, 48, 10},
     48,
     10,
     {0, 0, 48, 10},
     {0, 3, 48, 7}},
    {"one pixel", 1, 1, {0, 0, 1, 1}, 9, 9, {0, 0, 9, 9}, {0, 0, 9, 9}},
};

struct SourceFormat {
  uint32_t red, green, blue;
};

// The 32-bit ones, drawn pixel by pixel, between 16-bit ones that the
// kernels draw: what the kernels worked out before must not be taken after.
const SourceFormat kSources[] = {
    {0xF800, 0x07E0, 0x001F}, {0x7C00, 0x03E0, 0x001F},
    {0xFC00, 0x03E0, 0x001F}, {0xF800, 0x07C0, 0x003F},
    {0xFF0000, 0xFF00, 0xFF}, {0xFF, 0xFF00, 0xFF0000}, // 32 bits
    {0x001F, 0x07E0, 0xF800}, {0x0F00, 0x00F0, 0x000F},
    {0xFFC0, 0x0030, 0x000F}, {0xF00F, 0x0FF0, 0x0000},
};

struct TargetFormat {
  const char *name;
  PixelFormat format;
};

const TargetFormat kTargets[] = {
    {"XRGB8888", {32, 0xFF0000, 0xFF00, 0xFF}},
    {"ARGB8888", {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000}},
    {"ABGR8888", {32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000}},
    {"RGBA8888", {32, 0xFF000000, 0xFF0000, 0xFF00, 0xFF}},
    {"RGB565", {16, 0xF800, 0x7E0, 0x1F}},
    {"BGR565", {16, 0x1F, 0x7E0, 0xF800}},
    {"XRGB1555", {16, 0x7C00, 0x3E0, 0x1F}},
    {"ARGB1555", {16, 0x7C00, 0x3E0, 0x1F, 0x8000}},
    {"XBGR8888", {32, 0xFF, 0xFF00, 0xFF0000}},
};

TEST(PresentKernels, EveryPathMatchesThePerPixelReference) {
  const std::string chosen = PresentKernels();
  std::vector<std::string> paths;
  for (const char *name : {"c", "sse2", "avx2", "wasm"})
    if (UsePresentKernels(name))
      paths.push_back(name);
  printf("kernel sets compared: %zu, the present's own: %s\n", paths.size(),
         chosen.c_str());
  std::mt19937 random(12);
  PresentScratch scratch;
  int compared = 0;
  for (const Geometry &g : kGeometries) {
    Rect to = g.to.w > 0 ? g.to
                         : FitKeepingAspect(g.sourceWidth, g.sourceHeight,
                                            g.targetWidth, g.targetHeight);
    Rect area;
    ASSERT_TRUE(Intersect(to, g.clip, area)) << g.name;
    for (const SourceFormat &f : kSources) {
      int inBytes = f.red > 0xFFFF || f.blue > 0xFFFF ? 4 : 2;
      int pitch = g.sourceWidth * inBytes + (g.sourceWidth % 2 ? 6 : 0);
      std::vector<uint8_t> bits(size_t(pitch) * g.sourceHeight);
      for (uint8_t &byte : bits)
        byte = uint8_t(random());
      Pixels source = {
          bits.data(), g.sourceWidth, g.sourceHeight, pitch,
          PixelFormat{uint32_t(inBytes * 8), f.red, f.green, f.blue}};
      for (const TargetFormat &t : kTargets) {
        int bytes = int(t.format.bits) / 8;
        // Padded lines on odd widths only: even ones meet the present's
        // whole-frame path, which needs lines one after another.
        int targetPitch = g.targetWidth * bytes + (g.targetWidth % 2 ? 4 : 0);
        size_t size = size_t(targetPitch) * g.targetHeight;
        std::vector<uint8_t> before(size), expected, pixels(size);
        for (uint8_t &byte : before)
          byte = uint8_t(random());
        expected = before;
        TargetPixels target = {pixels.data(), g.targetWidth, g.targetHeight,
                               targetPitch, t.format};
        for (int y = area.y; y < area.y + area.h; ++y)
          for (int x = area.x; x < area.x + area.w; ++x) {
            int sx = g.from.x + int((long long)(x - to.x) * g.from.w / to.w);
            int sy = g.from.y + int((long long)(y - to.y) * g.from.h / to.h);
            uint32_t pixel = 0;
            memcpy(&pixel, &bits[size_t(sy) * pitch + sx * inBytes], inBytes);
            const uint8_t rgb[3] = {Widen(pixel, f.red), Widen(pixel, f.green),
                                    Widen(pixel, f.blue)};
            uint32_t value = Pack(t.format, rgb);
            memcpy(&expected[size_t(y) * targetPitch + x * bytes], &value,
                   bytes);
          }
        for (const std::string &path : paths) {
          UsePresentKernels(path.c_str());
          pixels = before;
          EXPECT_TRUE(
              PresentScaled(source, g.from, target, to, g.clip, scratch));
          const uint8_t *got = pixels.data();
          size_t wrong = 0, at = 0;
          for (size_t i = size; i-- > 0;)
            if (got[i] != expected[i])
              ++wrong, at = i;
          ++compared;
          if (wrong == 0)
            continue;
          size_t pixelAt = at - at % targetPitch % bytes;
          uint32_t want = 0, have = 0;
          memcpy(&want, &expected[pixelAt], bytes);
          memcpy(&have, &got[pixelAt], bytes);
          ADD_FAILURE() << g.name << ", source " << Hex(f.red) << "/"
                        << Hex(f.green) << "/" << Hex(f.blue) << " into "
                        << t.name << ", " << path << ": " << wrong
                        << " bytes differ, first at x "
                        << pixelAt % targetPitch / bytes << " y "
                        << pixelAt / targetPitch << ": expected " << Hex(want)
                        << ", got " << Hex(have);
        }
      }
    }
  }
  printf("frames compared: %d\n", compared);
  UsePresentKernels(chosen.c_str());
}

// The wasm kernels, which run only in a browser, widen a field by a
// multiply and shifts in 16 bits where the others take a multiply-high: the
// same byte for every field width and place and every pixel.
TEST(PresentKernels, WasmWideningGivesTheMultiplyHighsBytes) {
  int wrong = 0;
  for (int bits = 1; bits <= 16; ++bits)
    for (int low = 0; low + bits <= 16; ++low) {
      const uint32_t mask = ((1u << bits) - 1) << low;
      const Channel c = SourceChannel(mask);
      const uint16_t repeat = RepeatScale(c);
      for (uint32_t pixel = 0; pixel <= 0xFFFF; ++pixel) {
        const uint16_t field = uint16_t(pixel << c.shl) & c.mask;
        const uint16_t top = field >> 8;
        const uint32_t multiplied = uint32_t(field) * c.mul >> 16;
        const uint32_t widened = top | uint16_t(top * repeat) >> 8;
        if (multiplied != widened && wrong++ == 0)
          ADD_FAILURE() << "mask " << Hex(mask) << ", pixel " << Hex(pixel)
                        << ": expected " << Hex(multiplied) << ", got "
                        << Hex(widened);
      }
    }
  EXPECT_EQ(0, wrong);
}

// Pictures placed by each scale mode: the corners, the centre's first and
// last window pixels, and off the picture false with the nearest pixel.
struct Placed {
  const char *name;
  ScaleMode mode;
  int width, height;
  Rect area;
} const kPlaced[] = {
    {"2x", kScaleStretch, 320, 240, {0, 0, 640, 480}},
    {"stretched to 643 x 487", kScaleStretch, 320, 240, {0, 0, 643, 487}},
    {"aspect, bars at the sides", kScaleAspect, 640, 480, {0, 0, 1600, 1000}},
    {"aspect, bars above and below", kScaleAspect, 320, 240, {5, 7, 501, 700}},
    {"integer 3x, odd sizes", kScaleInteger, 33, 17, {3, 4, 110, 60}},
};

TEST(PicturePlacement, PointerGivesThePixelShownUnderIt) {
  for (const Placed &c : kPlaced) {
    const int w = c.width, h = c.height;
    const Rect p = PlacePicture(c.mode, w, h, c.area);
    const Rect m = PictureToWindow(p, w, h, w / 2, h / 2);
    const int r = p.x + p.w - 1, b = p.y + p.h - 1;
    // Window x, y; picture x, y; on the picture.
    const int points[][5] = {{p.x, p.y, 0, 0, 1},
                             {r, p.y, w - 1, 0, 1},
                             {p.x, b, 0, h - 1, 1},
                             {r, b, w - 1, h - 1, 1},
                             {m.x, m.y, w / 2, h / 2, 1},
                             {m.x + m.w - 1, m.y + m.h - 1, w / 2, h / 2, 1},
                             {p.x - 1, b, 0, h - 1, 0},
                             {r + 1, p.y - 1, w - 1, 0, 0}};
    for (const auto &q : points) {
      int x = -1, y = -1;
      int on = PointerOnPicture(p, w, h, q[0], q[1], x, y);
      EXPECT_EQ(std::to_string(q[2]) + " " + std::to_string(q[3]) + " " +
                    std::to_string(q[4]),
                std::to_string(x) + " " + std::to_string(y) + " " +
                    std::to_string(on))
          << c.name << ", pointer at " << q[0] << " " << q[1];
    }
  }
}

} // namespace
