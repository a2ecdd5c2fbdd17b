#include "frame_policy.h"

#include <algorithm>

ScaleMode ScaleFor(ScaleMode setting, bool fillsScreen) {
  if (setting != kScaleUnset)
    return setting;
  return fillsScreen ? kScaleAspect : kScaleStretch;
}

Rect ModeWindow(int modeWidth, int modeHeight, const Rect &screen,
                const FrameSize &frame) {
  int frameWidth = frame.left + frame.right;
  int frameHeight = frame.top + frame.bottom;
  modeWidth = std::max(modeWidth, 1);
  modeHeight = std::max(modeHeight, 1);
  int times = std::max(1, std::min((screen.w - frameWidth) / modeWidth,
                                   (screen.h - frameHeight) / modeHeight));
  Rect client = {0, 0, modeWidth * times, modeHeight * times};
  client.x = screen.x + std::max(0, (screen.w - client.w - frameWidth) / 2) +
             frame.left;
  client.y = screen.y + std::max(0, (screen.h - client.h - frameHeight) / 2) +
             frame.top;
  return client;
}
