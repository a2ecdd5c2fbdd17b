// Putting surface pixels on an SDL window: pixel-format conversion and
// nearest-neighbour scaling in one pass.
#ifndef LURN_STANDIN_PRESENT_H
#define LURN_STANDIN_PRESENT_H

#include "standin.h"

struct Pixels {
  const unsigned char *bits;
  int width, height;
  int pitch; // bytes
  PixelFormat format;
};

// Copies `source` (the `from` rectangle of it) onto `target` scaled to the
// `to` rectangle, touching only the part of `to` inside `clip` (itself
// inside the target). Returns false when the formats cannot be converted.
bool PresentScaled(const Pixels &source, const SDL_Rect &from,
                   SDL_Surface *target, const SDL_Rect &to,
                   const SDL_Rect &clip);

// One field of a pixel widened to 8 bits by repeating its top bits below,
// as every present widens it; a field wider than 8 bits gives its top 8.
Uint8 Expand(DWORD pixel, DWORD mask);

// The largest rectangle of the source's aspect ratio centred in a target of
// the given size.
SDL_Rect FitKeepingAspect(int sourceWidth, int sourceHeight, int targetWidth,
                          int targetHeight);

// The kernels the present runs: "avx2", "sse2" or "c" (plain C++). The best
// the processor has unless LURN_STANDIN_KERNEL names another it has; all
// give the same bytes. UsePresentKernels answers false, changing nothing,
// for a name the processor cannot run.
bool UsePresentKernels(const char *name);
const char *PresentKernels();

#endif
