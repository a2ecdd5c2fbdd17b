// Frames written to PNG files, so that a client's own tests can check its
// pictures without any display; both builds capture through here.
#ifndef LURN_CAPTURE_H
#define LURN_CAPTURE_H

#include "../settings/settings.h"
#include "present.h"

// Whether frames are to be captured: a folder is set and capturing into it
// has not stopped.
bool Capturing(const Settings &settings);

// Counts a presented frame while capturing, once per process over every
// display (the first is number 1): its number when it is one of every
// captureEvery-th, to be written, else 0.
unsigned long FrameToCapture(const Settings &settings);
// The frames counted so far.
unsigned long FramesCounted();

// Writes frame number `frame` (from FrameToCapture; 0 writes nothing) as
// DIR/frame-NNNNNN.png: the `from` rectangle of `source`, the mode's own
// pixels before scaling. The file appears whole or not at all, and never
// in place of an existing one. A frame that cannot be written is said once
// on standard error, and capturing into that folder stops.
void CaptureFrame(const Settings &settings, unsigned long frame,
                  const Pixels &source, const Rect &from);

#endif
