// Making the stand-in's surfaces and clippers; DirectDraw's object decides
// what may be made, these only make it.
#ifndef LURN_STANDIN_SURFACES_H
#define LURN_STANDIN_SURFACES_H

#include "standin.h"

IDirectDrawClipper *NewClipper();

// A plain surface with zeroed pixels; DDERR_OUTOFMEMORY when they cannot be
// had.
HRESULT NewSurface(DWORD width, DWORD height, const PixelFormat &format,
                   DWORD caps, LPDIRECTDRAWSURFACE *out);

// The visible screen shared with other windows; its pixels are made on first
// use.
LPDIRECTDRAWSURFACE NewWindowedPrimary(DWORD width, DWORD height,
                                       const PixelFormat &format, DWORD caps,
                                       const Settings &settings);

// A visible front buffer with one back buffer attached, both of the current
// mode; DDERR_OUTOFVIDEOMEMORY when their pixels cannot be had.
HRESULT NewFlipChain(DWORD width, DWORD height, const PixelFormat &format,
                     DWORD caps, const Settings &settings,
                     LPDIRECTDRAWSURFACE *out);

#endif
