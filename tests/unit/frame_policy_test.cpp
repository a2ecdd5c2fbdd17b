// The frame policy both builds share: the window Alt+Enter gives a
// full-screen client, and which key messages of a window are Alt+Enter's.
#include <string>

#include <gtest/gtest.h>

#include "present/alt_enter.h"
#include "present/frame_policy.h"

namespace {

std::string Text(const Rect &r) {
  return std::to_string(r.x) + "," + std::to_string(r.y) + " " +
         std::to_string(r.w) + "x" + std::to_string(r.h);
}

TEST(FramePolicy, AltEnterGivesTheModeTimesAWholeNumberCentredWithItsFrame) {
  const FrameSize none = {0, 0, 0, 0}, windows = {8, 31, 8, 8};
  struct Case {
    int modeWidth, modeHeight;
    Rect screen;
    FrameSize frame;
    const char *expected;
  } const cases[] = {
      {640, 480, {0, 0, 1600, 1000}, none, "160,20 1280x960"},
      // The frame is counted in the fit and the window centred with it:
      // its title bar stays on the screen.
      {640, 480, {0, 0, 1600, 1000}, windows, "160,31 1280x960"},
      {640, 480, {0, 0, 1600, 960}, windows, "480,251 640x480"},
      {320, 200, {1920, 100, 1280, 720}, none, "2080,160 960x600"},
      // Larger than the screen: once, at the screen's corner.
      {1024, 768, {0, 0, 800, 600}, windows, "8,31 1024x768"},
      // A mode without a size is taken as 1x1.
      {0, 0, {0, 0, 10, 5}, none, "2,0 5x5"},
  };
  for (const Case &c : cases)
    EXPECT_EQ(c.expected,
              Text(ModeWindow(c.modeWidth, c.modeHeight, c.screen, c.frame)))
        << c.modeWidth << "x" << c.modeHeight << " on " << Text(c.screen);
}

// Key messages of one window, in order (D down, C character, U up; a for
// Alt held, r a repeat), and which of them the library takes: an Alt+Enter
// press is counted once, and its Return is the library's up to its release.
TEST(AltEnterKeys, ThePressAndItsReturnUpToItsReleaseAreTheLibrarys) {
  const struct {
    const char *keys;
    const char *taken;
    unsigned presses;
  } rows[] = {
      {"Da Dar Ca Ua", "1111", 1}, // held: repeats and its character
      {"Da U D U", "1100", 1},     // Alt let go first; then a Return alone
      {"D C U", "000", 0},
      {"Da Ua Da Ua", "1111", 2},
  };
  for (const auto &row : rows) {
    AltEnter state = AltEnter();
    std::string taken;
    for (const char *key = row.keys; *key; ++key) {
      if (*key == ' ')
        continue;
      AltEnterKey kind = *key == 'D'   ? kAltEnterKeyDown
                         : *key == 'C' ? kAltEnterCharacter
                                       : kAltEnterKeyUp;
      bool alt = key[1] == 'a', repeat = alt && key[2] == 'r';
      taken += NoteAltEnterKey(state, true, kind, alt, repeat) ? '1' : '0';
      key += alt + repeat;
    }
    EXPECT_EQ(row.taken, taken) << row.keys;
    EXPECT_EQ(row.presses, state.presses) << row.keys;
  }
}

} // namespace
