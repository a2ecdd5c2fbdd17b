#include "settings.h"

#include <lurn.h>

#include <stdlib.h>
#include <string.h>

#include <map>
#include <mutex>
#include <vector>

#include "../errors/diagnostic.h"

namespace {

const char *const kSwitch[] = {"0", "1", NULL};
const char *const kScales[] = {"stretch", "aspect", "integer", NULL};
const char *const kVsyncs[] = {"0", "1", "all", NULL};
const char *const kKernels[] = {"avx2", "sse2", "wasm", "c", NULL};
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
    {"LURN_KEEP_DESKTOP", NULL, kSwitch, "0 or 1", "the program's option bit"},
    {"LURN_SCALE", "LURN_STANDIN_SCALE", kScales, "stretch, aspect or integer",
     "the default"},
    {"LURN_VSYNC", "LURN_STANDIN_VSYNC", kVsyncs, "0, 1 or all", "1"},
    {"LURN_STATS", NULL, kSwitch, "0 or 1", "0"},
    {"LURN_ALTENTER", "LURN_STANDIN_ALTENTER", kSwitch, "0 or 1", "1"},
    {"LURN_CAPTURE", "LURN_STANDIN_CAPTURE", NULL, NULL, NULL},
    {"LURN_CAPTURE_EVERY", "LURN_STANDIN_CAPTURE_EVERY", NULL, kCountValues,
     "1"},
    {"LURN_KERNEL", "LURN_STANDIN_KERNEL", kKernels, "avx2, sse2, wasm or c",
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

// Where a setting's value comes from, in the order they are asked.
enum Source { kEnvironment, kOlderName, kProgram, kDefault };
const char *const kSourceNames[] = {"environment", "environment", "program",
                                    "default"};

// A setting's value in force: its text and meaning, and where it came from.
// A value not understood is passed over for the next source (the
// environment's new name, its older one, the program's call, the default).
struct Value {
  Source source;
  const char *name; // the name it came by
  std::string text; // "" for the default
  long long meaning;
};

// A value of the environment that was passed over.
struct Passed {
  const char *name;
  std::string text;
};

// True the first time for each value not understood: each is said once,
// however often it is read or set.
SaidOnce said;

// The setting's value in force; `unset` is the default's meaning. Each value
// not understood is said, with what is used instead.
Value Resolve(const Entry &entry, long long unset) {
  std::vector<Passed> passed;
  Value value = {kDefault, entry.name, "", unset};
  const Source order[] = {kEnvironment, kOlderName, kProgram};
  for (Source source : order) {
    const char *name = source == kOlderName ? entry.oldName : entry.name;
    std::string text;
    if (source == kProgram) {
      std::lock_guard<std::mutex> hold(fromCodeLock);
      std::map<std::string, std::string>::const_iterator set =
          fromCode.find(entry.name);
      text = set != fromCode.end() ? set->second : "";
    } else if (const char *found = name != NULL ? getenv(name) : NULL) {
      text = found;
    }
    if (text.empty())
      continue;
    long long meaning = Parse(entry, text);
    if (meaning >= 0) {
      value = Value{source, name, text, meaning};
      break;
    }
    passed.push_back(Passed{name, text});
  }
  for (const Passed &bad : passed) {
    if (!said.First(std::string(bad.name) + "=" + bad.text))
      continue;
    std::string instead =
        value.source == kDefault ? entry.fallback
        : value.source == kProgram
            ? "the program's " + Quoted(value.text) + " (LurnSetSetting)"
            : std::string(value.name) + "=" + Quoted(value.text);
    SayDiagnostic("lurn: %s=%s is not understood (%s); using %s", bad.name,
                  Quoted(bad.text).c_str(), entry.known, instead.c_str());
  }
  return value;
}

long long Read(const char *name, long long unset) {
  return Resolve(*FindEntry(name), unset).meaning;
}

std::string ReadText(const char *name) {
  return Resolve(*FindEntry(name), 0).text;
}

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

std::string DescribeSettings() {
  std::string set;
  for (const Entry &entry : kEntries) {
    Value value = Resolve(entry, 0);
    if (value.source != kDefault)
      set += std::string(set.empty() ? "" : ", ") + value.name + "=" +
             Quoted(value.text) + " (" + kSourceNames[value.source] + ")";
  }
  return "lurn: settings in force: " +
         (set.empty() ? "every setting its default"
                      : set + "; every other setting its default");
}

std::string LogSetting() { return ReadText("LURN_LOG"); }

extern "C" int LURN_CDECL LurnSetSetting(const char *name, const char *value) {
  const Entry *entry = name != NULL ? FindEntry(name) : NULL;
  if (entry == NULL) {
    std::string asked = name != NULL ? Quoted(name) : "(null)", names;
    for (const Entry &known : kEntries)
      names += std::string(names.empty() ? "" : ", ") + known.name;
    if (said.First("name " + asked))
      SayDiagnostic("lurn: LurnSetSetting: %s is no setting (%s); nothing set",
                    asked.c_str(), names.c_str());
    return 0;
  }
  std::string text = value != NULL ? value : "";
  if (!text.empty() && Parse(*entry, text) < 0) {
    if (said.First(std::string("code ") + entry->name + "=" + text))
      SayDiagnostic("lurn: LurnSetSetting: %s=%s is not understood (%s); "
                    "the setting keeps its value",
                    entry->name, Quoted(text).c_str(), entry->known);
    return 0;
  }
  std::lock_guard<std::mutex> hold(fromCodeLock);
  if (text.empty())
    fromCode.erase(entry->name);
  else
    fromCode[entry->name] = text;
  return 1;
}
