#include "settings.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#if defined(_WIN32)
#include <windows.h>
#endif

#include <mutex>
#include <set>

namespace {

// The variable's value with its name, from the new name or the old one.
struct Value {
  const char *name;
  const char *text; // null when neither is set or both are empty
};

Value Lookup(const char *name, const char *oldName) {
  const char *text = getenv(name);
  if (text != NULL && *text != '\0')
    return Value{name, text};
  text = oldName != NULL ? getenv(oldName) : NULL;
  if (text != NULL && *text != '\0')
    return Value{oldName, text};
  return Value{name, NULL};
}

// Says once per variable and value that the value is not understood.
void Unknown(const Value &value, const char *known, const char *used) {
  static std::mutex lock;
  static std::set<std::string> said;
  std::string key = std::string(value.name) + "=" + value.text;
  {
    std::lock_guard<std::mutex> hold(lock);
    if (!said.insert(key).second)
      return;
  }
  // A value of any length is named by its start, not echoed whole.
  const size_t kShown = 64;
  size_t length = strlen(value.text);
  SayDiagnostic("lurn: %s=%.*s%s is not understood (%s); using %s", value.name,
                int(length > kShown ? kShown : length), value.text,
                length > kShown ? "..." : "", known, used);
}

// One of `names` (null-terminated): its index; -1 when unset or unknown.
int ReadChoice(const char *name, const char *oldName, const char *const *names,
               const char *known, const char *used) {
  Value value = Lookup(name, oldName);
  if (value.text == NULL)
    return -1;
  for (int i = 0; names[i] != NULL; ++i)
    if (strcmp(value.text, names[i]) == 0)
      return i;
  Unknown(value, known, used);
  return -1;
}

const char *const kSwitch[] = {"0", "1", NULL};

// 0 or 1; anything else gives `fallback`.
bool ReadSwitch(const char *name, const char *oldName, bool fallback) {
  int chosen =
      ReadChoice(name, oldName, kSwitch, "0 or 1", fallback ? "1" : "0");
  return chosen < 0 ? fallback : chosen == 1;
}

// A whole number from 1 up, in decimal digits only.
unsigned long ReadCount(const char *name, const char *oldName) {
  Value value = Lookup(name, oldName);
  if (value.text == NULL)
    return 1;
  unsigned long count = 0;
  bool fits = true;
  for (const char *digit = value.text; *digit != '\0' && fits; ++digit) {
    fits = *digit >= '0' && *digit <= '9' &&
           count <= (0xFFFFFFFFul - unsigned(*digit - '0')) / 10;
    count = count * 10 + unsigned(*digit - '0');
  }
  if (fits && count >= 1)
    return count;
  Unknown(value, "a whole number from 1 to 4294967295", "1");
  return 1;
}

} // namespace

Settings ReadSettings() {
  Settings settings;
  settings.keepDesktop =
      ReadChoice("LURN_KEEP_DESKTOP", NULL, kSwitch, "0 or 1", "the program's");
  static const char *const kScales[] = {"stretch", "aspect", "integer", NULL};
  int scale = ReadChoice("LURN_SCALE", "LURN_STANDIN_SCALE", kScales,
                         "stretch, aspect or integer", "the default");
  settings.scale = scale < 0 ? kScaleUnset : ScaleMode(kScaleStretch + scale);
  static const char *const kVsyncs[] = {"0", "1", "all", NULL};
  int vsync = ReadChoice("LURN_VSYNC", "LURN_STANDIN_VSYNC", kVsyncs,
                         "0, 1 or all", "1");
  settings.vsync = vsync < 0 ? kVsyncFlips : VsyncMode(vsync);
  settings.stats = ReadSwitch("LURN_STATS", NULL, false);
  settings.altEnter =
      ReadSwitch("LURN_ALTENTER", "LURN_STANDIN_ALTENTER", true);
  Value capture = Lookup("LURN_CAPTURE", "LURN_STANDIN_CAPTURE");
  settings.capture = capture.text != NULL ? capture.text : "";
  settings.captureEvery =
      ReadCount("LURN_CAPTURE_EVERY", "LURN_STANDIN_CAPTURE_EVERY");
  static const char *const kKernels[] = {"avx2", "sse2", "c", NULL};
  int kernel = ReadChoice("LURN_KERNEL", "LURN_STANDIN_KERNEL", kKernels,
                          "avx2, sse2 or c", "the best");
  settings.kernel = kernel < 0 ? "" : kKernels[kernel];
  settings.errorBox = ReadSwitch("LURN_ERROR_BOX", NULL, true);
  settings.anyMode = ReadSwitch("LURN_STANDIN_ANYMODE", NULL, false);
  static const char *const kRoutes[] = {"gdi", "directdraw", NULL};
  int route =
      ReadChoice("LURN_PRESENT", NULL, kRoutes, "gdi or directdraw", "gdi");
  settings.present = route < 0 ? kPresentGdi : PresentRoute(route);
  settings.hideCursor = ReadSwitch("LURN_HIDE_CURSOR", NULL, false);
  return settings;
}

void SayDiagnostic(const char *format, ...) {
  va_list args, again;
  va_start(args, format);
  va_copy(again, args);
  int length = vsnprintf(NULL, 0, format, args);
  va_end(args);
  std::string text(length > 0 ? size_t(length) + 1 : 1, '\0');
  vsnprintf(&text[0], text.size(), format, again);
  va_end(again);
  text.back() = '\n';
  const char *line = text.c_str();
  fputs(line, stderr);
  fflush(stderr);
#if defined(_WIN32)
  OutputDebugStringA(line);
#endif
  Value log = Lookup("LURN_LOG", NULL);
  if (log.text == NULL)
    return;
  // One writer at a time, so that lines from two threads never interleave.
  static std::mutex lock;
  static std::set<std::string> unwritable;
  std::lock_guard<std::mutex> hold(lock);
  FILE *file = fopen(log.text, "a");
  bool written = file != NULL && fputs(line, file) >= 0;
  if (file != NULL && fclose(file) != 0)
    written = false;
  if (!written && unwritable.insert(log.text).second) {
    fprintf(stderr,
            "lurn: cannot append to LURN_LOG=%s; lines go to "
            "standard error only\n",
            log.text);
    fflush(stderr);
  }
}
