// The frame policy both builds share: the scale mode a picture gets, and
// the window Alt+Enter gives a full-screen client.
#include <string>

#include <gtest/gtest.h>

#include "present/frame_policy.h"

namespace {

std::string Text(const Rect &r) {
  return std::to_string(r.x) + "," + std::to_string(r.y) + " " +
         std::to_string(r.w) + "x" + std::to_string(r.h);
}

TEST(FramePolicy, APictureFillingAScreenKeepsItsShapeUnlessTheSettingSays) {
  struct Case {
    ScaleMode setting;
    bool fillsScreen;
    ScaleMode expected;
  } const cases[] = {
      {kScaleUnset, false, kScaleStretch},
      {kScaleUnset, true, kScaleAspect},
      {kScaleStretch, true, kScaleStretch},
      {kScaleInteger, true, kScaleInteger},
      {kScaleAspect, false, kScaleAspect},
  };
  for (const Case &c : cases)
    EXPECT_EQ(c.expected, ScaleFor(c.setting, c.fillsScreen))
        << "setting " << c.setting << ", fills the screen " << c.fillsScreen;
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

} // namespace
