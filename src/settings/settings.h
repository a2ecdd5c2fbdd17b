// The settings both builds take from the environment.
#ifndef LURN_SETTINGS_H
#define LURN_SETTINGS_H

// How a picture fills the area it is shown in: stretched to it, the largest
// size of its own shape, or the largest whole multiple of its size. Unset:
// the caller's default (a window stretches, a full screen keeps the shape).
enum ScaleMode { kScaleUnset, kScaleStretch, kScaleAspect, kScaleInteger };

#endif
