// Frames written to PNG files: the pixels widened to 8-bit RGB, written
// under a temporary name and renamed when every byte is out.
#include <errno.h>
#include <stdio.h>
#include <string.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#include <stb_image_write.h>
#pragma GCC diagnostic pop

#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "capture.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

// Capturing into a folder stops for good at the first frame that cannot be
// written there.
std::mutex stopping;
std::set<std::string> stoppedFolders;

bool Stopped(const std::string &folder) {
  std::lock_guard<std::mutex> hold(stopping);
  return stoppedFolders.count(folder) != 0;
}

struct PngFile {
  FILE *file;
  int error; // errno of the first failed write, 0 while none failed
};

void WritePart(void *context, void *data, int size) {
  PngFile &png = *static_cast<PngFile *>(context);
  if (png.error == 0 && fwrite(data, 1, size_t(size), png.file) != size_t(size))
    png.error = errno != 0 ? errno : EIO;
}

// Puts the written file in place of any earlier one of that name.
bool Rename(const std::string &from, const std::string &to) {
#if defined(_WIN32)
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
  return rename(from.c_str(), to.c_str()) == 0;
#endif
}

// Writes the picture to `path`; on failure removes what was written and
// says why in `why`.
bool WritePng(const std::string &path, const Pixels &source, const Rect &from,
              std::string &why) {
  int bytes = int(source.format.bits + 7) / 8;
  if (from.w <= 0 || from.h <= 0 || bytes < 2)
    return true; // palettes are not kept; nothing to write
  std::vector<uint8_t> rgb(size_t(from.w) * from.h * 3);
  uint8_t *out = rgb.data();
  for (int y = 0; y < from.h; ++y) {
    const uint8_t *in = source.bits + size_t(from.y + y) * source.pitch +
                        size_t(from.x) * bytes;
    for (int x = 0; x < from.w; ++x, in += bytes) {
      uint32_t pixel = 0;
      memcpy(&pixel, in, bytes); // little-endian, as the surfaces are
      *out++ = Expand(pixel, source.format.red);
      *out++ = Expand(pixel, source.format.green);
      *out++ = Expand(pixel, source.format.blue);
    }
  }

  // A reader watching the folder never sees half a frame.
  std::string part = path + ".part";
  PngFile png = {fopen(part.c_str(), "wb"), 0};
  if (png.file == NULL) {
    why = strerror(errno);
    return false;
  }

  errno = 0;
  bool encoded = stbi_write_png_to_func(WritePart, &png, from.w, from.h, 3,
                                        rgb.data(), from.w * 3) != 0;
  if (fclose(png.file) != 0 && png.error == 0)
    png.error = errno != 0 ? errno : EIO;
  if (encoded && png.error == 0 && Rename(part, path))
    return true;
  why = !encoded         ? "the picture could not be encoded"
        : png.error != 0 ? strerror(png.error)
                         : "the finished file could not be renamed";
  remove(part.c_str()); // no partial frame is left behind
  return false;
}

} // namespace

bool Capturing(const Settings &settings) {
  return !settings.capture.empty() && !Stopped(settings.capture);
}

bool CapturesFrame(const Settings &settings, unsigned long frame) {
  return frame >= 1 && (settings.captureEvery <= 1 ||
                        (frame - 1) % settings.captureEvery == 0);
}

void CaptureFrame(const Settings &settings, unsigned long frame,
                  const Pixels &source, const Rect &from) {
  if (!Capturing(settings) || !CapturesFrame(settings, frame))
    return;
  char name[32];
  snprintf(name, sizeof name, "/frame-%06lu.png", frame);
  std::string path = settings.capture + name, why;
  if (WritePng(path, source, from, why))
    return;
  std::lock_guard<std::mutex> hold(stopping);
  if (stoppedFolders.insert(settings.capture).second)
    fprintf(stderr,
            "lurn: cannot capture frame %lu to %s (%s); frame capture "
            "stops\n",
            frame, path.c_str(), why.c_str());
}
