#include "settings.h"

#include <lurn.h>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <map>
#include <mutex>
#include <set>

namespace {

const char *const kSwitch[] = {"0", "1", NULL};
const char *const kScales[] = {"stretch", "aspect", "integer", NULL};
const char *const kVsyncs[] = {"0", "1", "all", NULL};
const char *const kKernels[] = {"avx2", "sse2", "c", NULL};
const char *const kRoutes[] = {"gdi", "directdraw", NULL};
const char *const kDesktops[] = {"565", "555", "32", NULL};
const char kCountValues[] = "a whole number from 1 to 4294967295";

// One setting: its names, the values it understands and what a value not
// understood gives. A choice lists its values; a count takes a whole
// number; a text takes any value (`known` null).
struct Entry {
  const char *name;
  const char *oldName;        // the older name, still read; or null
  const char *const *choices; // null for a count or a text
  const char *known;          // the values understood, as said
  const char *fallback;       // what a value not understood gives, as said
};

const Entry kEntries[] = {
    {"LURN_KEEP_DESKTOP", NULL, kSwitch, "0 or 1", "the program's"},
    {"LURN_SCALE", "LURN_STANDIN_SCALE", kScales, "stretch, aspect or integer",
     "the default"},
    {"LURN_VSYNC", "LURN_STANDIN_VSYNC", kVsyncs, "0, 1 or all", "1"},
    {"LURN_STATS", NULL, kSwitch, "0 or 1", "0"},
    {"LURN_ALTENTER", "LURN_STANDIN_ALTENTER", kSwitch, "0 or 1", "1"},
    {"LURN_CAPTURE", "LURN_STANDIN_CAPTURE", NULL, NULL, NULL},
    {"LURN_CAPTURE_EVERY", "LURN_STANDIN_CAPTURE_EVERY", NULL, kCountValues,
     "1"},
    {"LURN_KERNEL", "LURN_STANDIN_KERNEL", kKernels, "avx2, sse2 or c",
     "the best"},
    {"LURN_ERROR_BOX", NULL, kSwitch, "0 or 1", "1"},
    {"LURN_STANDIN_ANYMODE", NULL, kSwitch, "0 or 1", "0"},
    {"LURN_STANDIN_DESKTOP", NULL, kDesktops, "565, 555 or 32", "565"},
    {"LURN_PRESENT", NULL, kRoutes, "gdi or directdraw", "gdi"},
    {"LURN_HIDE_CURSOR", NULL, kSwitch, "0 or 1", "0"},
    {"LURN_LOG", NULL, NULL, NULL, NULL},
};

const Entry *FindEntry(const char *name) {
  for (const Entry &entry : kEntries)
    if (strcmp(name, entry.name) == 0 ||
        (entry.oldName != NULL && strcmp(name, entry.oldName) == 0))
      return &entry;
  return NULL;
}

// What the program set through LurnSetSetting, by the setting's name.
// Never destroyed: a record closed while the program exits still reads it.
std::mutex fromCodeLock;
std::map<std::string, std::string> &fromCode =
    *new std::map<std::string, std::string>;

// A setting's value with the name it came by: the environment's new name,
// its old one, or the program's call. Empty when none gives one.
struct Value {
  const char *name;
  std::string text;
};

Value Lookup(const Entry &entry) {
  const char *names[] = {entry.name, entry.oldName};
  for (const char *name : names) {
    const char *text = name != NULL ? getenv(name) : NULL;
    if (text != NULL && *text != '\0')
      return Value{name, text};
  }
  std::lock_guard<std::mutex> hold(fromCodeLock);
  std::map<std::string, std::string>::const_iterator set =
      fromCode.find(entry.name);
  return Value{entry.name, set != fromCode.end() ? set->second : ""};
}

// A value's meaning: its index among the choices, the count, or 0 for a
// text; -1 when not understood.
long long Parse(const Entry &entry, const std::string &text) {
  if (entry.choices != NULL) {
    for (int i = 0; entry.choices[i] != NULL; ++i)
      if (text == entry.choices[i])
        return i;
    return -1;
  }
  if (entry.known == NULL)
    return 0;
  long long count = 0;
  for (char digit : text) {
    if (digit < '0' || digit > '9')
      return -1;
    count = count * 10 + (digit - '0');
    if (count > 0xFFFFFFFFll)
      return -1;
  }
  return count >= 1 ? count : -1;
}

// True the first time for each key: each value not understood is said
// once, however often it is read or set.
bool FirstTime(const std::string &key) {
  static std::mutex lock;
  static std::set<std::string> said;
  std::lock_guard<std::mutex> hold(lock);
  return said.insert(key).second;
}

// A value of any length is named by its start, not echoed whole.
const int kShown = 64;
int Shown(const std::string &text) {
  return text.size() > size_t(kShown) ? kShown : int(text.size());
}
const char *Cut(const std::string &text) {
  return text.size() > size_t(kShown) ? "..." : "";
}

// The setting's meaning as Parse gives it; `unset` when nothing sets it or
// its value is not understood (which is said).
long long Read(const char *name, long long unset) {
  const Entry &entry = *FindEntry(name);
  Value value = Lookup(entry);
  if (value.text.empty())
    return unset;
  long long meaning = Parse(entry, value.text);
  if (meaning >= 0)
    return meaning;
  if (FirstTime(std::string(value.name) + "=" + value.text))
    SayDiagnostic("lurn: %s=%.*s%s is not understood (%s); using %s",
                  value.name, Shown(value.text), value.text.c_str(),
                  Cut(value.text), entry.known, entry.fallback);
  return unset;
}

std::string ReadText(const char *name) { return Lookup(*FindEntry(name)).text; }

#if defined(_WIN32)
bool AppendLine(const char *path, const std::string &line) {
  FILE *file = fopen(path, "a");
  bool written = file != NULL && fputs(line.c_str(), file) >= 0;
  return file != NULL && fclose(file) == 0 && written;
}
#else
// Never waits: a FIFO that nobody reads would hold the program at the open
// (it fails with ENXIO instead), and one whose reader lags at the write.
bool AppendLine(const char *path, const std::string &line) {
  int file =
      open(path, O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
  if (file < 0)
    return false;
  bool written = write(file, line.data(), line.size()) == ssize_t(line.size());
  return close(file) == 0 && written;
}
#endif

} // namespace

Settings ReadSettings() {
  Settings settings;
  settings.keepDesktop = int(Read("LURN_KEEP_DESKTOP", -1));
  long long scale = Read("LURN_SCALE", -1);
  settings.scale = scale < 0 ? kScaleUnset : ScaleMode(kScaleStretch + scale);
  settings.vsync = VsyncMode(Read("LURN_VSYNC", kVsyncFlips));
  settings.stats = Read("LURN_STATS", 0) == 1;
  settings.altEnter = Read("LURN_ALTENTER", 1) == 1;
  settings.capture = ReadText("LURN_CAPTURE");
  settings.captureEvery = (unsigned long)Read("LURN_CAPTURE_EVERY", 1);
  long long kernel = Read("LURN_KERNEL", -1);
  settings.kernel = kernel < 0 ? "" : kKernels[kernel];
  settings.errorBox = Read("LURN_ERROR_BOX", 1) == 1;
  settings.anyMode = Read("LURN_STANDIN_ANYMODE", 0) == 1;
  settings.desktop = StandinDesktop(Read("LURN_STANDIN_DESKTOP", kDesktop565));
  settings.present = PresentRoute(Read("LURN_PRESENT", kPresentGdi));
  settings.hideCursor = Read("LURN_HIDE_CURSOR", 0) == 1;
  return settings;
}

extern "C" int LURN_CDECL LurnSetSetting(const char *name, const char *value) {
  const Entry *entry = name != NULL ? FindEntry(name) : NULL;
  if (entry == NULL) {
    std::string asked = name != NULL ? name : "(null)", names;
    for (const Entry &known : kEntries)
      names += std::string(names.empty() ? "" : ", ") + known.name;
    if (FirstTime("name " + asked))
      SayDiagnostic("lurn: LurnSetSetting: %.*s%s is no setting (%s); "
                    "nothing set",
                    Shown(asked), asked.c_str(), Cut(asked), names.c_str());
    return 0;
  }
  std::string text = value != NULL ? value : "";
  if (!text.empty() && Parse(*entry, text) < 0) {
    if (FirstTime(std::string("code ") + entry->name + "=" + text))
      SayDiagnostic("lurn: LurnSetSetting: %s=%.*s%s is not understood (%s); "
                    "the setting keeps its value",
                    entry->name, Shown(text), text.c_str(), Cut(text),
                    entry->known);
    return 0;
  }
  std::lock_guard<std::mutex> hold(fromCodeLock);
  if (text.empty())
    fromCode.erase(entry->name);
  else
    fromCode[entry->name] = text;
  return 1;
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
  fputs(text.c_str(), stderr);
  fflush(stderr);
#if defined(_WIN32)
  OutputDebugStringA(text.c_str());
#endif
  std::string log = ReadText("LURN_LOG");
  if (log.empty())
    return;
  // One writer at a time, so that lines from two threads never interleave.
  static std::mutex lock;
  static std::set<std::string> unwritable;
  std::lock_guard<std::mutex> hold(lock);
  if (!AppendLine(log.c_str(), text) && unwritable.insert(log).second) {
    fprintf(stderr,
            "lurn: cannot append to LURN_LOG=%s; lines go to "
            "standard error only\n",
            log.c_str());
    fflush(stderr);
  }
}
