// Frames written to PNG files, so that a client's own tests can check its
// pictures without any display.
#include <stdio.h>
#include <stdlib.h>

#include <stb_image_write.h>

#include <vector>

#include "desktop.h"

namespace {

bool WritePng(const char *path, const Pixels &source, const Rect &from) {
  int bytes = int(source.format.bits + 7) / 8;
  if (from.w <= 0 || from.h <= 0 || bytes < 2)
    return false; // palettes are not kept; nothing to write
  std::vector<Uint8> rgb(size_t(from.w) * from.h * 3);
  Uint8 *out = rgb.data();
  for (int y = 0; y < from.h; ++y) {
    const Uint8 *in = source.bits + size_t(from.y + y) * source.pitch +
                      size_t(from.x) * bytes;
    for (int x = 0; x < from.w; ++x, in += bytes) {
      Uint32 pixel = 0;
      memcpy(&pixel, in, bytes); // little-endian, as the surfaces are
      *out++ = Expand(pixel, source.format.red);
      *out++ = Expand(pixel, source.format.green);
      *out++ = Expand(pixel, source.format.blue);
    }
  }
  return stbi_write_png(path, from.w, from.h, 3, rgb.data(), from.w * 3) != 0;
}

} // namespace

void CaptureFrame(const Settings &settings, const Pixels &source,
                  const Rect &from) {
  static unsigned long frame = 0;
  static bool complained = false;
  const char *folder = settings.capture.c_str();
  if (*folder == '\0')
    return;
  ++frame; // counted while capturing: the first captured frame is number 1
  if ((frame - 1) % settings.captureEvery != 0)
    return;
  char path[4096];
  snprintf(path, sizeof path, "%s/frame-%06lu.png", folder, frame);
  if (!WritePng(path, source, from) && !complained) {
    complained = true; // once: a full disk should not flood the log
    fprintf(stderr, "lurn stand-in: cannot capture a frame to %s\n", path);
  }
}
