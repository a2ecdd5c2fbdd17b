// Shared by the unit tests over the fakes.
#ifndef LURN_TEST_SUPPORT_H
#define LURN_TEST_SUPPORT_H

#include <lurn.h>

#include <stdio.h>
#include <stdlib.h>

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "../capture_stderr.h"
#include "../hex.h"

#include "errors/report_error.h"
#include "fake_platform.h"

// Sets an environment variable for the library to read; "" removes it.
inline void SetVariable(const char *name, const char *value) {
#if defined(_WIN32)
  _putenv_s(name, value);
#else
  if (*value == '\0')
    unsetenv(name);
  else
    setenv(name, value, 1);
#endif
}

// LURN_LOG names a fresh file while this lives.
class LogFile {
public:
  explicit LogFile(const char *path) : path_(path) {
    remove(path);
    SetVariable("LURN_LOG", path);
  }
  ~LogFile() {
    SetVariable("LURN_LOG", "");
    remove(path_.c_str());
  }
  // Everything the library appended.
  std::string Text() const {
    std::string text;
    if (FILE *file = fopen(path_.c_str(), "r")) {
      for (int c; (c = fgetc(file)) != EOF;)
        text += char(c);
      fclose(file);
    }
    return text;
  }

private:
  std::string path_;
};

// A window handle the fakes never dereference.
inline void *TestWindow() { return reinterpret_cast<void *>(0x1234); }

class FakePlatformTest : public ::testing::Test {
protected:
  // Called again to start over: closed first, the reset frees what they hold.
  void SetUp() override {
    display.Close();
    input.Close();
    capture_.reset();
    capture_.reset(new StderrCapture);
    fake.Reset();
    memset(&display, 0, sizeof display);
    memset(&input, 0, sizeof input);
  }
  void TearDown() override {
    EXPECT_EQ(0, fake.OverReleases()) << "an interface was released too often";
    display.Close();
    input.Close();
    capture_.reset();
  }
  // The library's diagnostic lines since the last call.
  std::vector<std::string> Diagnostics() { return capture_->TakeLines(); }
  // The texts of the error boxes shown so far.
  std::vector<std::string> Boxes() const {
    std::vector<std::string> texts;
    for (const FakeCall &call : fake.calls)
      if (call.name == "MessageBoxA")
        texts.push_back(call.text);
    return texts;
  }
  // The interfaces that calls named `name` went to, in order.
  std::vector<const void *> Targets(const std::string &name) const {
    std::vector<const void *> targets;
    for (const FakeCall &call : fake.calls)
      if (call.name == name)
        targets.push_back(call.object);
    return targets;
  }
  // The interface fields of the display record that are set.
  std::string OpenFields() const {
    std::string fields;
    const char *names[] = {"directDraw",       "directDraw2", "primarySurface",
                           "secondarySurface", "auxSurface",  "clipper"};
    const void *values[] = {display.directDraw,     display.directDraw2,
                            display.primarySurface, display.secondarySurface,
                            display.auxSurface,     display.clipper};
    for (int i = 0; i < 6; ++i)
      if (values[i] != NULL)
        fields += std::string(fields.empty() ? "" : " ") + names[i];
    return fields;
  }

  LurnDirectDraw display{};
  LurnDirectInput input{};
  std::unique_ptr<StderrCapture> capture_;
};

#endif
