// The settings from the environment: values understood, the older names,
// and each value not understood named once with the default used.
#include <stdlib.h>
#if defined(_WIN32)
#include <windows.h>
#else
#include <malloc.h>   // mallinfo2
#include <sys/stat.h> // mkfifo
#endif
#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's allocator counts its own bytes (GCC ships no header).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "errors/diagnostic.h"
#include "settings/settings.h"
#include "test_support.h" // SetVariable

namespace {

const char *const kNames[] = {"LURN_KEEP_DESKTOP",
                              "LURN_SCALE",
                              "LURN_STANDIN_SCALE",
                              "LURN_VSYNC",
                              "LURN_STANDIN_VSYNC",
                              "LURN_ALTENTER",
                              "LURN_STANDIN_ALTENTER",
                              "LURN_CAPTURE",
                              "LURN_STANDIN_CAPTURE",
                              "LURN_CAPTURE_EVERY",
                              "LURN_STANDIN_CAPTURE_EVERY",
                              "LURN_KERNEL",
                              "LURN_STANDIN_KERNEL",
                              "LURN_ERROR_BOX",
                              "LURN_STANDIN_ANYMODE",
                              "LURN_STANDIN_DESKTOP",
                              "LURN_STATS",
                              "LURN_PRESENT"};

std::string Summary(const Settings &s) {
  return "keep " + std::to_string(s.keepDesktop) + ", scale " +
         std::to_string(int(s.scale)) + ", vsync " + std::to_string(s.vsync) +
         ", altEnter " + std::to_string(s.altEnter) + ", capture '" +
         s.capture + "', every " + std::to_string(s.captureEvery) +
         ", kernel '" + s.kernel + "', box " + std::to_string(s.errorBox) +
         ", any " + std::to_string(s.anyMode) + ", stats " +
         std::to_string(s.stats) + ", present " +
         std::to_string(int(s.present));
}

const std::string kDefaults = "keep -1, scale 0, vsync 1, altEnter 1, "
                              "capture '', every 1, kernel '', box 1, any 0, "
                              "stats 0, present 0";

struct Case {
  const char *name, *value, *name2, *value2;
  const char *summary; // null: the defaults
  bool named;          // a line on standard error
};

const Case kCases[] = {
    {"LURN_STANDIN_CAPTURE_EVERY", "abc", "", "", nullptr, true},
    {"LURN_STANDIN_CAPTURE_EVERY", "-5", "", "", nullptr, true},
    {"LURN_STANDIN_CAPTURE_EVERY", "1e1", "", "", nullptr, true},
    {"LURN_STANDIN_CAPTURE_EVERY", "10abc", "", "", nullptr, true},
    {"LURN_CAPTURE_EVERY", "0", "", "", nullptr, true},
    {"LURN_CAPTURE_EVERY", "4294967296", "", "", nullptr, true},
    {"LURN_STANDIN_CAPTURE_EVERY", "10", "", "", "every 10", false},
    {"LURN_CAPTURE_EVERY", "3", "LURN_STANDIN_CAPTURE_EVERY", "5", "every 3",
     false},
    {"LURN_STANDIN_VSYNC", "off", "", "", nullptr, true},
    {"LURN_VSYNC", "0", "", "", "vsync 0", false},
    {"LURN_VSYNC", "1", "LURN_STANDIN_VSYNC", "0", nullptr, false},
    {"LURN_VSYNC", "all", "", "", "vsync 2", false},
    {"LURN_STATS", "1", "", "", "stats 1", false},
    {"LURN_STATS", "on", "", "", nullptr, true},
    {"LURN_STANDIN_SCALE", "STRETCH", "", "", nullptr, true},
    {"LURN_SCALE", "integer", "", "", "scale 3", false},
    {"LURN_STANDIN_SCALE", "aspect", "", "", "scale 2", false},
    {"LURN_STANDIN_KERNEL", "neon", "", "", nullptr, true},
    {"LURN_KERNEL", "sse2", "LURN_STANDIN_KERNEL", "c", "kernel 'sse2'", false},
    {"LURN_KEEP_DESKTOP", "1", "", "", "keep 1", false},
    {"LURN_KEEP_DESKTOP", "yes", "", "", nullptr, true},
    {"LURN_STANDIN_ALTENTER", "0", "", "", "altEnter 0", false},
    {"LURN_STANDIN_CAPTURE", "/tmp/frames", "", "", "capture '/tmp/frames'",
     false},
    {"LURN_ERROR_BOX", "0", "", "", "box 0", false},
    {"LURN_ERROR_BOX", "no", "", "", nullptr, true},
    {"LURN_STANDIN_ANYMODE", "1", "", "", "any 1", false},
    {"LURN_STANDIN_ANYMODE", "junk", "", "", nullptr, true},
    {"LURN_PRESENT", "directdraw", "", "", "present 1", false},
    {"LURN_PRESENT", "gdi", "", "", nullptr, false},
    {"LURN_PRESENT", "DirectDraw", "", "", nullptr, true},
};

// The defaults with the one field the case changes.
std::string Expected(const char *summary) {
  std::string expected = kDefaults;
  if (summary == nullptr)
    return expected;
  std::string field = summary;
  size_t space = field.find(' ');
  size_t at = expected.find(field.substr(0, space + 1));
  size_t end = expected.find(',', at);
  return expected.replace(at, end == std::string::npos ? end : end - at, field);
}

// The settings' variables unset while this lives, then as they were.
class UnsetVariables {
public:
  UnsetVariables() {
    for (size_t i = 0; i < sizeof kNames / sizeof *kNames; ++i) {
      const char *value = getenv(kNames[i]);
      saved_[i] = value != NULL ? value : "";
      SetVariable(kNames[i], "");
    }
  }
  ~UnsetVariables() {
    for (size_t i = 0; i < sizeof kNames / sizeof *kNames; ++i)
      SetVariable(kNames[i], saved_[i].c_str());
  }

private:
  std::string saved_[sizeof kNames / sizeof *kNames];
};

TEST(Settings, EachValueUnderstoodOrNamedOnceWithTheDefault) {
  UnsetVariables unset;
  // Every line also goes to LURN_LOG's file.
  LogFile log("settings_test.log");
  std::string said;
  StderrCapture capture;
  for (const Case &c : kCases) {
    for (const char *name : kNames)
      SetVariable(name, "");
    SetVariable(c.name, c.value);
    if (*c.name2 != '\0')
      SetVariable(c.name2, c.value2);
    std::string actual = Summary(ReadSettings());
    std::vector<std::string> first = capture.TakeLines();
    Summary(ReadSettings());
    std::vector<std::string> second = capture.TakeLines();
    std::string label = std::string(c.name) + "=\"" + c.value + "\"";
    EXPECT_EQ(Expected(c.summary), actual) << label;
    ASSERT_EQ(c.named ? 1u : 0u, first.size()) << label;
    if (c.named) {
      EXPECT_NE(std::string::npos, first[0].find(label)) << first[0];
      said += first[0] + "\n";
    }
    EXPECT_EQ(0u, second.size()) << label << ": said again";
  }
  // A long value is named by its start only.
  SetVariable("LURN_SCALE", std::string(5000, 'x').c_str());
  ReadSettings();
  std::vector<std::string> longValue = capture.TakeLines();
  ASSERT_EQ(1u, longValue.size());
  EXPECT_GT(200u, longValue[0].size()) << longValue[0].substr(0, 200);
  EXPECT_NE(std::string::npos, longValue[0].find("LURN_SCALE=\"xxxx"))
      << longValue[0];
  said += longValue[0] + "\n";
  EXPECT_EQ(said, log.Text()) << "LURN_LOG's file against standard error";
}

} // namespace

namespace {

// One call to LurnSetSetting, or with `environment` a variable set, then
// the settings read.
struct Step {
  const char *label;
  bool environment;
  const char *name, *value;
  int returns;
  const char *summary; // null: the defaults
  const char *said;    // the line said, or null for none
};

TEST(Settings, TheProgramSetsThemByNameAndTheEnvironmentWins) {
  const Step steps[] = {
      {"set by the program", false, "LURN_SCALE", "integer", 1, "scale 3",
       nullptr},
      {"the environment wins", true, "LURN_SCALE", "aspect", 1, "scale 2",
       nullptr},
      {"the environment gone", true, "LURN_SCALE", "", 1, "scale 3", nullptr},
      {"a value not understood leaves it", false, "LURN_SCALE", "huge", 0,
       "scale 3",
       "lurn: LurnSetSetting: LURN_SCALE=\"huge\" is not understood (stretch, "
       "aspect or integer); the setting keeps its value"},
      {"said once", false, "LURN_SCALE", "huge", 0, "scale 3", nullptr},
      {"null takes it back", false, "LURN_SCALE", nullptr, 1, nullptr, nullptr},
      {"an older name", false, "LURN_STANDIN_VSYNC", "all", 1, "vsync 2",
       nullptr},
      {"empty takes it back", false, "LURN_VSYNC", "", 1, nullptr, nullptr},
      {"a count of 0", false, "LURN_CAPTURE_EVERY", "0", 0, nullptr,
       "lurn: LurnSetSetting: LURN_CAPTURE_EVERY=\"0\" is not understood (a "
       "whole number from 1 to 4294967295); the setting keeps its value"},
      {"the largest count", false, "LURN_CAPTURE_EVERY", "4294967295", 1,
       "every 4294967295", nullptr},
      {"taken back", false, "LURN_CAPTURE_EVERY", nullptr, 1, nullptr, nullptr},
      {"no such setting", false, "LURN_SCLAE", "integer", 0, nullptr,
       "lurn: LurnSetSetting: \"LURN_SCLAE\" is no setting ("},
      {"no name", false, nullptr, "1", 0, nullptr, "(null) is no setting"},
  };
  UnsetVariables unset;
  StderrCapture capture;
  for (const Step &step : steps) {
    int returned = 1;
    if (step.environment)
      SetVariable(step.name, step.value);
    else
      returned = LurnSetSetting(step.name, step.value);
    std::string actual = Summary(ReadSettings());
    std::vector<std::string> lines = capture.TakeLines();
    EXPECT_EQ(step.returns, returned) << step.label;
    EXPECT_EQ(Expected(step.summary), actual) << step.label;
    ASSERT_EQ(step.said != nullptr ? 1u : 0u, lines.size()) << step.label;
    if (step.said != nullptr) {
      EXPECT_NE(std::string::npos, lines[0].find(step.said))
          << step.label << ": " << lines[0];
    }
  }
  // A program names its own log: a GUI program has no standard error.
  const char log[] = "settings_test_code.log";
  remove(log);
  EXPECT_EQ(1, LurnSetSetting("LURN_LOG", log));
  LurnSetSetting("LURN_KERNEL", "neon");
  LurnSetSetting("LURN_LOG", nullptr);
  std::vector<std::string> lines = capture.TakeLines();
  ASSERT_EQ(1u, lines.size());
  FILE *file = fopen(log, "r");
  char logged[256] = "";
  if (file != NULL) {
    fgets(logged, sizeof logged, file);
    fclose(file);
  }
  remove(log);
  EXPECT_EQ(lines[0] + "\n", logged);
}

#if !defined(_WIN32)
TEST(Settings, ALogFifoThatNobodyReadsHoldsNothingUp) {
  const char path[] = "settings_test.fifo";
  remove(path);
  ASSERT_EQ(0, mkfifo(path, 0600));
  SetVariable("LURN_LOG", path);
  StderrCapture capture;
  std::shared_ptr<std::promise<void>> done(new std::promise<void>);
  std::future<void> said = done->get_future();
  std::thread([done] {
    SayDiagnostic("lurn: one");
    SayDiagnostic("lurn: two");
    done->set_value();
  }).detach();
  bool returned =
      said.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
  SetVariable("LURN_LOG", "");
  remove(path);
  ASSERT_TRUE(returned) << "SayDiagnostic waits for the FIFO's reader";
  std::vector<std::string> lines = capture.TakeLines();
  ASSERT_EQ(3u, lines.size());
  EXPECT_EQ("lurn: one", lines[0]);
  EXPECT_EQ(0u, lines[1].find("lurn: cannot append to "
                              "LURN_LOG=\"settings_test.fifo\" ("))
      << lines[1];
  EXPECT_EQ("lurn: two", lines[2]);
}
#endif

} // namespace

namespace {

// Each source of a setting, and what is in force when one is not understood.
TEST(Settings, AValueNotUnderstoodFallsToTheNextSourceAndSaysWhich) {
  const struct {
    const char *program;        // the program's value, or null
    const char *name, *value;   // the environment's
    const char *name2, *value2; // and a second variable, or ""
    const char *summary;        // null: the defaults
    const char *using_;         // what the line says is used instead
  } rows[] = {
      {"1", "LURN_STATS", "sometimes", "", "", "stats 1",
       "; using the program's \"1\""},
      {nullptr, "LURN_STATS", "often", "", "", nullptr, "; using 0"},
      {"integer", "LURN_SCALE", "huge2", "LURN_STANDIN_SCALE", "aspect",
       "scale 2", "; using LURN_STANDIN_SCALE=\"aspect\""},
      {"integer", "LURN_SCALE", "huge3", "LURN_STANDIN_SCALE", "wide",
       "scale 3", "; using the program's \"integer\""},
  };
  UnsetVariables unset;
  StderrCapture capture;
  for (const auto &row : rows) {
    SCOPED_TRACE(std::string(row.name) + "=" + row.value);
    LurnSetSetting(row.name, row.program);
    SetVariable(row.name, row.value);
    if (*row.name2 != '\0')
      SetVariable(row.name2, row.value2);
    EXPECT_EQ(Expected(row.summary), Summary(ReadSettings()));
    std::vector<std::string> lines = capture.TakeLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(std::string::npos, lines.back().find(row.using_)) << lines.back();
    SetVariable(row.name, "");
    if (*row.name2 != '\0')
      SetVariable(row.name2, "");
    LurnSetSetting(row.name, nullptr);
  }
}

// The line a developer asks for: each setting set, its value and source.
TEST(Settings, TheLineInForceNamesEachSettingSetAndWhereItCameFrom) {
  UnsetVariables unset;
  StderrCapture capture;
  EXPECT_EQ(std::string::npos, DescribeSettings().find("LURN_"))
      << DescribeSettings();
  SetVariable("LURN_STATS", "1");
  SetVariable("LURN_VSYNC", "sometimes");
  LurnSetSetting("LURN_VSYNC", "all");
  LurnSetSetting("LURN_SCALE", "integer");
  SetVariable("LURN_STANDIN_KERNEL", "c");
  std::string line = DescribeSettings();
  for (const char *said :
       {"LURN_STATS=\"1\" (environment)", "LURN_VSYNC=\"all\" (program)",
        "LURN_SCALE=\"integer\" (program)",
        "LURN_STANDIN_KERNEL=\"c\" (environment)"})
    EXPECT_NE(std::string::npos, line.find(said)) << said << " in " << line;
  EXPECT_EQ(std::string::npos, line.find("LURN_ALTENTER")) << line;
  LurnSetSetting("LURN_VSYNC", nullptr);
  LurnSetSetting("LURN_SCALE", nullptr);
  // The names a wrong name is answered with are each a setting.
  LurnSetSetting("LURN_NO_SUCH_THING", "1");
  std::vector<std::string> lines = capture.TakeLines();
  ASSERT_FALSE(lines.empty());
  std::string listed = lines.back().substr(lines.back().find('(') + 1);
  listed = listed.substr(0, listed.find(')'));
  size_t names = 0;
  for (size_t at = 0; at < listed.size(); ++names) {
    size_t end = std::min(listed.find(", ", at), listed.size());
    std::string name = listed.substr(at, end - at);
    EXPECT_EQ(1, LurnSetSetting(name.c_str(), nullptr)) << name;
    at = end + 2;
  }
  EXPECT_LT(10u, names) << listed;
}

// A value is shown in quotes, escaped and cut so that it can neither forge
// a line of the library's nor break the text around it.
TEST(Diagnostics, AValueIsQuotedEscapedAndCutBetweenCharacters) {
  const struct {
    std::string text, quoted;
  } rows[] = {
      {"plain", "\"plain\""},
      {"x\nlurn: FORGED", "\"x\\nlurn: FORGED\""},
      {"tab\there\r", "\"tab\\there\\r\""},
      {"\x01\x7F", "\"\\x01\\x7F\""},
      {"say \"hi\\\"", "\"say \\\"hi\\\\\\\"\""},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", // é, €, an emoji
       "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\""},
      {"\xFF\xC3", "\"\\xFF\\xC3\""},          // no character, a cut one
      {"\xED\xA0\x80", "\"\\xED\\xA0\\x80\""}, // a surrogate's form
      {"\xC0\xAF", "\"\\xC0\\xAF\""},          // an overlong '/'
      {std::string(63, 'a') + "\xC3\xA9z",
       "\"" + std::string(63, 'a') + "\"..."},
      {std::string(62, 'a') + "\xC3\xA9z",
       "\"" + std::string(62, 'a') + "\xC3\xA9\"..."},
      {std::string(64, 'a'), "\"" + std::string(64, 'a') + "\""},
  };
  for (const auto &row : rows)
    EXPECT_EQ(row.quoted, Quoted(row.text)) << row.text;

  // Through the settings and the writer: one line each, nothing forged.
  UnsetVariables unset;
  StderrCapture capture;
  EXPECT_EQ(0, LurnSetSetting("LURN_SCALE", "x\nlurn: FORGED LINE"));
  SetVariable("LURN_KERNEL", (std::string(63, 'k') + "\xC3\xA9").c_str());
  ReadSettings();
  SayDiagnostic("lurn: a %s", "b\r\nlurn: c");
  std::vector<std::string> lines = capture.TakeLines();
  ASSERT_EQ(3u, lines.size());
  EXPECT_NE(std::string::npos,
            lines[0].find("LURN_SCALE=\"x\\nlurn: FORGED LINE\" is not"))
      << lines[0];
  EXPECT_NE(std::string::npos,
            lines[1].find("LURN_KERNEL=\"" + std::string(63, 'k') + "\"..."))
      << lines[1];
  EXPECT_EQ("lurn: a b\\r\\nlurn: c", lines[2]);
}

} // namespace

namespace {

#if !defined(_WIN32)
// The bytes the process has allocated and not freed.
size_t AllocatedBytes() {
#if defined(__SANITIZE_ADDRESS__)
  return __sanitizer_get_current_allocated_bytes();
#else
  return mallinfo2().uordblks;
#endif
}

// A program that passes a new wrong value every frame: each is said once,
// and what is kept to say so stays small.
TEST(Diagnostics, ValuesNotUnderstoodAreRememberedInBoundedMemory) {
  StderrCapture capture;
  std::string value(64 * 1024, 'v');
  size_t before = AllocatedBytes();
  for (int i = 0; i < 2000; ++i) {
    std::string number = std::to_string(i);
    value.replace(0, number.size(), number);
    EXPECT_EQ(0, LurnSetSetting("LURN_SCALE", value.c_str()));
  }
  size_t grown = AllocatedBytes() - before;
  EXPECT_GT(size_t(4) << 20, grown) << "bytes kept for 2,000 values of 64 KB";
  EXPECT_FALSE(capture.TakeLines().empty());
}
#endif

#if defined(_WIN32)
// Lines that go to LURN_LOG from another thread, which must come back.
bool SaidWithin5Seconds(const std::string &line) {
  std::shared_ptr<std::promise<void>> done(new std::promise<void>);
  std::future<void> said = done->get_future();
  std::thread([done, line] {
    SayDiagnostic("lurn: %s", line.c_str());
    done->set_value();
  }).detach();
  return said.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
}

// A pipe whose reader does not read would hold the program at the write,
// as a FIFO would: it is refused, as natively.
TEST(Diagnostics, ALogPipeThatNobodyReadsIsRefused) {
  const char path[] = "\\\\.\\pipe\\lurn-settings-test";
  HANDLE pipe =
      CreateNamedPipeA(path, PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT,
                       PIPE_UNLIMITED_INSTANCES, 0, 0, 0, NULL);
  ASSERT_NE(INVALID_HANDLE_VALUE, pipe) << GetLastError();
  SetVariable("LURN_LOG", path);
  StderrCapture capture;
  bool returned = SaidWithin5Seconds(std::string(256 * 1024, 'p'));
  SetVariable("LURN_LOG", "");
  ASSERT_TRUE(returned) << "SayDiagnostic waits for the pipe's reader";
  std::vector<std::string> lines = capture.TakeLines();
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ(0u, lines[1].find("lurn: cannot append to LURN_LOG=")) << lines[1];
  CloseHandle(pipe);
}

// A write that fails (a full disk) is said, not lost.
TEST(Diagnostics, ALogWriteThatFailsIsSaid) {
  const char path[] = "Z:\\dev\\full"; // Wine's view of Linux's full device
  HANDLE device = CreateFileA(path, GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
  if (device == INVALID_HANDLE_VALUE)
    GTEST_SKIP() << path << " is not here: not under Wine";
  CloseHandle(device);
  SetVariable("LURN_LOG", path);
  StderrCapture capture;
  SayDiagnostic("lurn: one");
  SetVariable("LURN_LOG", "");
  std::vector<std::string> lines = capture.TakeLines();
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ(0u, lines[1].find("lurn: cannot append to LURN_LOG=")) << lines[1];
}
#endif

} // namespace
