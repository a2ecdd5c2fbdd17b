// Frames written to PNG files: the pixels widened to 8-bit RGB, written
// under a temporary name of the process's own and put in place when every
// byte is out. A frame never replaces a file, nor writes through a link.
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

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "../errors/diagnostic.h"
#include "capture.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// Frames are numbered once per process, over every display: a display
// opened again goes on where the last one stopped.
std::atomic<unsigned long> framesCounted(0);

// Capturing into a folder stops for good at the first frame that cannot be
// written there.
std::mutex stopping;
std::set<std::string> stoppedFolders;

bool Stopped(const std::string &folder) {
  std::lock_guard<std::mutex> hold(stopping);
  return stoppedFolders.count(folder) != 0;
}

// The file calls of the platform, each failure said as text.
#if defined(_WIN32)
typedef HANDLE File;
const File kNoFile = INVALID_HANDLE_VALUE;

std::string LastError() {
  DWORD code = GetLastError();
  char text[160] = "";
  if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     NULL, code, 0, text, sizeof text, NULL) == 0)
    snprintf(text, sizeof text, "error %lu", static_cast<unsigned long>(code));
  size_t length = strlen(text);
  while (length > 0 && strchr("\r\n. ", text[length - 1]) != NULL)
    text[--length] = '\0';
  return text;
}

int ProcessId() { return int(GetCurrentProcessId()); }

// Made anew: a name that exists, file or link, fails.
File CreateNew(const std::string &path) {
  return CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW,
                     FILE_ATTRIBUTE_NORMAL, NULL);
}

bool Write(File file, const void *data, size_t size) {
  DWORD written = 0;
  return WriteFile(file, data, DWORD(size), &written, NULL) && written == size;
}

bool CloseFile(File file) { return CloseHandle(file) != 0; }

// Renames without replacing anything.
bool PutInPlace(const std::string &from, const std::string &to) {
  return MoveFileExA(from.c_str(), to.c_str(), 0) != 0;
}

bool AlreadyThere() {
  DWORD code = GetLastError();
  return code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS;
}

void RemoveFile(const std::string &path) { DeleteFileA(path.c_str()); }
#else
typedef int File;
const File kNoFile = -1;

std::string LastError() { return strerror(errno); }

int ProcessId() { return int(getpid()); }

File CreateNew(const std::string &path) {
  return open(path.c_str(),
              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
}

bool Write(File file, const void *data, size_t size) {
  const char *bytes = static_cast<const char *>(data);
  while (size > 0) {
    ssize_t written = write(file, bytes, size);
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0) {
      if (written == 0)
        errno = EIO;
      return false;
    }
    bytes += written;
    size -= size_t(written);
  }
  return true;
}

bool CloseFile(File file) { return close(file) == 0; }

// A second name for the file, which fails where one exists, then the
// temporary name removed: no rename that replaces.
bool PutInPlace(const std::string &from, const std::string &to) {
  if (link(from.c_str(), to.c_str()) != 0)
    return false;
  unlink(from.c_str());
  return true;
}

bool AlreadyThere() { return errno == EEXIST; }

void RemoveFile(const std::string &path) { unlink(path.c_str()); }
#endif

struct PngFile {
  File file;
  bool failed;
  std::string why; // the first failure's
};

void WritePart(void *context, void *data, int size) {
  PngFile &png = *static_cast<PngFile *>(context);
  if (!png.failed && !Write(png.file, data, size_t(size))) {
    png.failed = true;
    png.why = LastError();
  }
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

  // A reader watching the folder never sees half a frame. The name is the
  // process's own (frame numbers are unique within it), made exclusively:
  // a file or link planted there is neither followed nor reused.
  char suffix[32];
  snprintf(suffix, sizeof suffix, ".%d.part", ProcessId());
  std::string part = path + suffix;
  PngFile png = {CreateNew(part), false, ""};
  if (png.file == kNoFile) {
    why = LastError();
    return false;
  }
  bool encoded = stbi_write_png_to_func(WritePart, &png, from.w, from.h, 3,
                                        rgb.data(), from.w * 3) != 0;
  if (!CloseFile(png.file) && !png.failed) {
    png.failed = true;
    png.why = LastError();
  }
  if (encoded && !png.failed) {
    if (PutInPlace(part, path))
      return true;
    why = AlreadyThere() ? "a file of that name exists, and captured frames "
                           "never replace one"
                         : LastError();
  } else {
    why = !encoded ? "the picture could not be encoded" : png.why;
  }
  RemoveFile(part); // no partial frame is left behind
  return false;
}

} // namespace

bool Capturing(const Settings &settings) {
  return !settings.capture.empty() && !Stopped(settings.capture);
}

unsigned long FrameToCapture(const Settings &settings) {
  if (!Capturing(settings))
    return 0;
  unsigned long frame = ++framesCounted;
  return (frame - 1) % settings.captureEvery == 0 ? frame : 0;
}

unsigned long FramesCounted() { return framesCounted; }

void CaptureFrame(const Settings &settings, unsigned long frame,
                  const Pixels &source, const Rect &from) {
  if (frame == 0 || !Capturing(settings))
    return;
  char name[32];
  snprintf(name, sizeof name, "/frame-%06lu.png", frame);
  std::string path = settings.capture + name, why;
  if (WritePng(path, source, from, why))
    return;
  // A folder of any length is named by its start and the frame's name.
  if (path.size() > 200)
    path = path.substr(0, 120) + "..." + path.substr(path.size() - 60);
  std::lock_guard<std::mutex> hold(stopping);
  if (stoppedFolders.insert(settings.capture).second)
    SayDiagnostic("lurn: cannot capture frame %lu to %s (%s); frame capture "
                  "stops",
                  frame, path.c_str(), why.c_str());
}
