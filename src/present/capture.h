// Frames written to PNG files, so that a client's own tests can check its
// pictures without any display; both builds capture through here.
#ifndef LURN_CAPTURE_H
#define LURN_CAPTURE_H

#include "../settings/settings.h"
#include "present.h"

// Whether frames are to be captured: a folder is set and capturing into it
// has not stopped.
bool Capturing(const Settings &settings);

// Whether frame number `frame` (counted by the caller from 1 while
// Capturing) is one to write: one of every captureEvery-th, from the first.
// Both builds number frames so; callers read the pixels only for these.
bool CapturesFrame(const Settings &settings, unsigned long frame);

// Writes frame number `frame` when CapturesFrame says so, as
// DIR/frame-NNNNNN.png: the `from` rectangle of `source`, the mode's own pixels
// before scaling. The file appears whole or not at all. A frame that cannot be
// written is said once on standard error, and capturing into that folder stops.
void CaptureFrame(const Settings &settings, unsigned long frame,
                  const Pixels &source, const Rect &from);

#endif
