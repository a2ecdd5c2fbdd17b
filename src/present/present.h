// Putting a picture on the screen's pixels: pixel-format conversion and
// nearest-neighbour scaling in one pass into plain memory, and where a
// picture goes for each scale mode. Both builds present through it: the
// library on Windows into a surface of the desktop's format, the stand-in
// into its windows.
#ifndef LURN_PRESENT_H
#define LURN_PRESENT_H

#include <stdint.h>

#include <vector>

#include "../settings/settings.h"
#include "kernels/kernels.h"

struct PixelFormat {
  uint32_t bits;
  uint32_t red, green, blue; // masks
  uint32_t alpha = 0;        // set in every pixel a present writes
};

struct Pixels {
  const unsigned char *bits;
  int width, height;
  int pitch; // bytes
  PixelFormat format;
};

struct TargetPixels {
  unsigned char *bits;
  int width, height;
  int pitch; // bytes
  PixelFormat format;
};

struct Rect {
  int x, y, w, h;
};

// What a present needs between calls, kept by each display for its own:
// separate displays present from separate threads.
struct PresentScratch {
  Picks picks;
  // What `picks` were worked out for (target columns left of the area, the
  // area's width, the source's and the place's widths, bytes a target
  // pixel), and the first source column and how many they read: frame after
  // frame, and band after band of one, the same.
  int picked[5] = {-1, -1, -1, -1, -1};
  int pickedFirst = 0, pickedSpan = 0;
  std::vector<int> columns; // the per-pixel path's own
  std::vector<uint8_t> row;
  std::vector<uint8_t *> lines;
};

// Copies `source` (the `from` rectangle of it) onto `target` scaled to the
// `to` rectangle, touching only the part of `to` inside `clip` (itself
// inside the target). Sources and targets of 2 or 4 bytes a pixel; false
// when the formats cannot be converted, nothing written.
bool PresentScaled(const Pixels &source, const Rect &from,
                   const TargetPixels &target, const Rect &to, const Rect &clip,
                   PresentScratch &scratch);

// Where a picture of the given size goes inside `area` (kScaleUnset places
// as kScaleStretch): centred, a picture larger than its area shrunk with its
// shape kept.
Rect PlacePicture(ScaleMode mode, int width, int height, const Rect &area);
// Where a present last put the picture: the area it showed in (the
// window's client area in its own coordinates; a full screen of its own, the
// screen) and the picture's place inside it. `screen`: the pointer is read
// in screen coordinates, not the window's.
struct Placement {
  Rect area;
  Rect picture;
  bool screen;
};
// The picture pixel a present of a `width` x `height` picture at `picture`
// shows at (x, y), as its nearest-neighbour scaling picks it: true when the
// point is on the picture; otherwise false, with the nearest pixel. A
// picture or place without pixels gives false and (0, 0).
bool PointerOnPicture(const Rect &picture, int width, int height, int x, int y,
                      int &pictureX, int &pictureY);
// The place of the area's pixels that show picture pixel (x, y): none (w or
// h 0) for a pixel a shrunk picture leaves out.
Rect PictureToWindow(const Rect &picture, int width, int height, int x, int y);
// Paints `area` of `target` black except for `picture` inside it.
void FillAround(const TargetPixels &target, const Rect &area,
                const Rect &picture);

// Fills `area` (inside the target) with `colour`, a pixel's bytes.
void FillPixels(const TargetPixels &target, const Rect &area, uint32_t colour);

// One field of a pixel widened to 8 bits by repeating its top bits below,
// as every present widens it; a field wider than 8 bits gives its top 8.
uint8_t Expand(uint32_t pixel, uint32_t mask);

// The largest rectangle of the source's aspect ratio centred in a target of
// the given size.
Rect FitKeepingAspect(int sourceWidth, int sourceHeight, int targetWidth,
                      int targetHeight);

// The part of `a` inside `b`; false when nothing is.
bool Intersect(const Rect &a, const Rect &b, Rect &inside);

// Cuts a scaled copy of `from` onto `to` down to the part of `to` inside
// `area`, and `from` to the part that shows there (its edges rounded
// outwards to whole pixels): platforms that refuse a copy running past the
// screen still show what is on it. False when nothing of `to` is inside.
bool ClipScaled(const Rect &area, Rect &to, Rect &from);

// The kernels' recipe for one source field: a contiguous mask within 16
// bits, or none.
Channel SourceChannel(uint32_t mask);

// The kernels the present runs: "avx2", "sse2", "wasm" (WebAssembly SIMD)
// or "c" (plain C++). The best the processor has unless the settings'
// kernel names another it has; all give the same bytes. UsePresentKernels
// answers false, changing nothing, for a name the processor cannot run.
bool UsePresentKernels(const char *name);
const char *PresentKernels();

#endif
