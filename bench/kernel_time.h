// The present's kernels alone, memory to memory, timed back to back: the
// same code and geometry natively and in the Windows build under Wine, so
// that the two figures compare. The target is the client area's size; the
// picture sits in it as the present places it, black around.
#ifndef LURN_BENCH_KERNEL_TIME_H
#define LURN_BENCH_KERNEL_TIME_H

#include <stdint.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "present/frame_policy.h"
#include "present/present.h"

struct KernelGeometry {
  int pictureWidth, pictureHeight, areaWidth, areaHeight;
  bool fullScreen; // the picture keeps its shape, as a full screen's does
};

struct KernelsAlone {
  KernelGeometry geometry;
  std::vector<uint16_t> picture;
  std::vector<uint32_t> converted;
  PresentScratch scratch;

  explicit KernelsAlone(const KernelGeometry &g)
      : geometry(g), picture(size_t(g.pictureWidth) * g.pictureHeight),
        converted(size_t(g.areaWidth) * g.areaHeight) {
    for (size_t i = 0; i < picture.size(); ++i)
      picture[i] = static_cast<uint16_t>(i * 97);
  }

  void Run() {
    const KernelGeometry &g = geometry;
    Pixels from = {reinterpret_cast<const unsigned char *>(picture.data()),
                   g.pictureWidth,
                   g.pictureHeight,
                   g.pictureWidth * 2,
                   {16, 0xF800, 0x07E0, 0x001F}};
    TargetPixels to = {reinterpret_cast<unsigned char *>(converted.data()),
                       g.areaWidth,
                       g.areaHeight,
                       g.areaWidth * 4,
                       {32, 0xFF0000, 0x00FF00, 0x0000FF}};
    Rect whole = {0, 0, g.pictureWidth, g.pictureHeight};
    Rect area = {0, 0, g.areaWidth, g.areaHeight};
    Rect place = PlacePicture(ScaleFor(kScaleUnset, g.fullScreen),
                              g.pictureWidth, g.pictureHeight, area);
    PresentScaled(from, whole, to, place, area, scratch);
  }
};

inline double MedianOf(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  size_t n = times.size();
  return n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
}

// The median of `rounds` runs in milliseconds, after a few untimed ones.
inline double KernelMilliseconds(const KernelGeometry &g, int rounds) {
  KernelsAlone kernels(g);
  for (int i = 0; i < 5; ++i)
    kernels.Run();
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    auto start = std::chrono::steady_clock::now();
    kernels.Run();
    auto end = std::chrono::steady_clock::now();
    times.push_back(
        std::chrono::duration<double, std::milli>(end - start).count());
  }
  return MedianOf(times);
}

#endif
