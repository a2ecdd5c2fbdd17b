// The settings from the environment: values understood, the older names,
// and each value not understood named once with the default used.
#include <stdlib.h>
#if !defined(_WIN32)
#include <sys/stat.h> // mkfifo
#endif

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

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
    std::string label = std::string(c.name) + "=" + c.value;
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
  EXPECT_NE(std::string::npos, longValue[0].find("LURN_SCALE=xxxx"))
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
       "lurn: LurnSetSetting: LURN_SCALE=huge is not understood (stretch, "
       "aspect or integer); the setting keeps its value"},
      {"said once", false, "LURN_SCALE", "huge", 0, "scale 3", nullptr},
      {"null takes it back", false, "LURN_SCALE", nullptr, 1, nullptr, nullptr},
      {"an older name", false, "LURN_STANDIN_VSYNC", "all", 1, "vsync 2",
       nullptr},
      {"empty takes it back", false, "LURN_VSYNC", "", 1, nullptr, nullptr},
      {"a count of 0", false, "LURN_CAPTURE_EVERY", "0", 0, nullptr,
       "lurn: LurnSetSetting: LURN_CAPTURE_EVERY=0 is not understood (a "
       "whole number from 1 to 4294967295); the setting keeps its value"},
      {"the largest count", false, "LURN_CAPTURE_EVERY", "4294967295", 1,
       "every 4294967295", nullptr},
      {"taken back", false, "LURN_CAPTURE_EVERY", nullptr, 1, nullptr, nullptr},
      {"no such setting", false, "LURN_SCLAE", "integer", 0, nullptr,
       "lurn: LurnSetSetting: LURN_SCLAE is no setting (LURN_KEEP_DESKTOP, "
       "LURN_SCALE, LURN_VSYNC, LURN_STATS, LURN_ALTENTER, LURN_CAPTURE, "
       "LURN_CAPTURE_EVERY, LURN_KERNEL, LURN_ERROR_BOX, "
       "LURN_STANDIN_ANYMODE, LURN_STANDIN_DESKTOP, LURN_PRESENT, "
       "LURN_HIDE_CURSOR, LURN_LOG); "
       "nothing set"},
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
  EXPECT_EQ((std::vector<std::string>{"lurn: one",
                                      "lurn: cannot append to "
                                      "LURN_LOG=settings_test.fifo; lines go "
                                      "to standard error only",
                                      "lurn: two"}),
            capture.TakeLines());
}
#endif

} // namespace
