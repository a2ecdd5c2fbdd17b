// What both builds decide alike about a frame on the screen: the scale
// mode its picture is shown with, and the window Alt+Enter gives a
// full-screen client. Each build applies them to its own windows.
#ifndef LURN_FRAME_POLICY_H
#define LURN_FRAME_POLICY_H

#include "../settings/settings.h"
#include "present.h"

// The scale mode set, or the default: a picture that fills a screen (a
// full-screen client's, or a window's that Alt+Enter made cover its
// screen) keeps its shape; a window stretches its picture.
ScaleMode ScaleFor(ScaleMode setting, bool fillsScreen);

// What a window's frame adds on each side of its client area.
struct FrameSize {
  int left, top, right, bottom;
};

// The client area Alt+Enter gives a full-screen client's window on
// `screen`: the mode's size times the largest whole number at which the
// window, frame included, fits the screen (at least once); the window
// centred on the screen, its frame's top-left kept on it.
Rect ModeWindow(int modeWidth, int modeHeight, const Rect &screen,
                const FrameSize &frame);

#endif
