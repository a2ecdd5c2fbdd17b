// Opening and closing the display: DirectDraw set-up in full-screen or
// windowed mode, the 16-bit pixel layout, the clipper.
#include <ddraw.h>
#include <lurn.h>

#include "../empty_field.h"
#include "../errors/report_error.h"

namespace {

struct PixelLayout {
  DWORD redMask, greenMask, blueMask;
  unsigned char redShift, greenBits, blueShift;
};

// Tried in this order; the first exact match of all three masks wins.
const PixelLayout kPixelLayouts[] = {
    {0xF800, 0x07E0, 0x001F, 11, 6, 0},
    {0xFC00, 0x03E0, 0x001F, 10, 5, 0},
    {0xF800, 0x07C0, 0x003F, 11, 5, 0},
    {0x7C00, 0x03E0, 0x001F, 10, 5, 0},
};

int Fail(void *window, HRESULT code) {
  ReportDirectXError(window, code);
  return 0;
}

// Creates a system-memory surface of the object's size with `caps`, locks it
// once to learn its address, and unlocks it. A lock that gives no address is
// DDERR_LOCKEDSURFACES, and the surface stays locked.
HRESULT CreateSystemSurface(IDirectDraw *directDraw, DWORD caps,
                            unsigned short width, unsigned short height,
                            IDirectDrawSurface **surface, void **bits) {
  DDSURFACEDESC desc;
  memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
  desc.dwHeight = height;
  desc.dwWidth = width;
  desc.ddsCaps.dwCaps = caps;
  HRESULT result = directDraw->CreateSurface(&desc, surface, NULL);
  if (result != DD_OK)
    return result;
  desc.dwSize = sizeof desc;
  result = (*surface)->Lock(NULL, &desc, DDLOCK_WAIT, NULL);
  if (result != DD_OK)
    return result;
  *bits = desc.lpSurface;
  if (*bits == NULL)
    return DDERR_LOCKEDSURFACES;
  (*surface)->Unlock(NULL);
  return DD_OK;
}

} // namespace

int LurnDirectDraw::Open(void *window, unsigned short width,
                         unsigned short height, unsigned char depth,
                         unsigned char options) {
  // Opening again lets go of what the object holds instead of leaking it
  // (and, full screen, the exclusive mode that would refuse the new one).
  if (!Empty(directDraw) || !Empty(directDraw2))
    Close();
  flags = options;
  this->window = window;
  bitsPerPixel = depth;
  this->width = width;
  this->height = height;
  HWND hwnd = static_cast<HWND>(window);

  HRESULT result = DirectDrawCreate(NULL, &directDraw, NULL);
  if (result != DD_OK)
    return Fail(window, result);
  result = directDraw->QueryInterface(IID_IDirectDraw2,
                                      reinterpret_cast<void **>(&directDraw2));
  if (result != DD_OK)
    return Fail(window, result);

  if (flags & FullScreen) {
    result = directDraw->SetCooperativeLevel(hwnd, DDSCL_EXCLUSIVE |
                                                       DDSCL_FULLSCREEN);
    if (result != DD_OK)
      return Fail(window, result);
    result = directDraw->SetDisplayMode(width, height, depth);
    if (result != DD_OK)
      return Fail(window, result);
  } else {
    result = directDraw->SetCooperativeLevel(hwnd, DDSCL_NORMAL);
    if (result != DD_OK)
      return Fail(window, result);
    pitchPixels = width;
  }

  DDCAPS caps;
  memset(&caps, 0, sizeof caps);
  caps.dwSize = sizeof caps;
  result = directDraw->GetCaps(&caps, NULL);
  if (result != DD_OK)
    return Fail(window, result);

  DDSURFACEDESC desc;
  memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  if (flags & FullScreen) {
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP |
                          DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY;
    desc.dwBackBufferCount = 1;
  } else {
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_VIDEOMEMORY;
  }
  result = directDraw->CreateSurface(&desc, &primarySurface, NULL);
  if (result != DD_OK)
    return Fail(window, result);

  if (flags & FullScreen) {
    // The drawing address and pitch come with the first lock.
    DDSCAPS backBuffer;
    backBuffer.dwCaps = DDSCAPS_BACKBUFFER;
    result = primarySurface->GetAttachedSurface(&backBuffer, &secondarySurface);
  } else {
    result = CreateSystemSurface(
        directDraw, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, width,
        height, &secondarySurface, &secondaryBits);
  }
  if (result != DD_OK)
    return Fail(window, result);

  if (flags & AuxSurface) {
    result = CreateSystemSurface(directDraw, DDSCAPS_SYSTEMMEMORY, width,
                                 height, &auxSurface, &auxBits);
    if (result != DD_OK) {
      Close();
      return Fail(window, result);
    }
  }

  // Windowed, this checks the desktop's depth against the requested one.
  DDPIXELFORMAT format;
  memset(&format, 0, sizeof format);
  format.dwSize = sizeof format;
  primarySurface->GetPixelFormat(&format);
  if (format.dwRGBBitCount != bitsPerPixel)
    return Fail(window, DDERR_INVALIDPIXELFORMAT);
  for (size_t i = 0; i < sizeof kPixelLayouts / sizeof kPixelLayouts[0]; ++i) {
    const PixelLayout &layout = kPixelLayouts[i];
    if (format.dwRBitMask == layout.redMask &&
        format.dwGBitMask == layout.greenMask &&
        format.dwBBitMask == layout.blueMask) {
      redShift = layout.redShift;
      greenBits = layout.greenBits;
      blueShift = layout.blueShift;
      break;
    }
  }

  result = directDraw->CreateClipper(0, &clipper, NULL);
  if (result != DD_OK)
    return Fail(window, result);
  result = clipper->SetHWnd(0, hwnd);
  if (result != DD_OK)
    return Fail(window, result);
  result = primarySurface->SetClipper(clipper);
  if (result != DD_OK)
    return Fail(window, result);
  return 1;
}

void LurnDirectDraw::Close() {
  if (!Empty(directDraw)) {
    if (!Empty(clipper)) {
      clipper->Release();
      clipper = NULL;
    }
    // The back buffer goes before the primary: releasing a flip chain's
    // front buffer destroys its back buffer with it.
    if ((flags & ReleaseSecondary) && !Empty(secondarySurface)) {
      secondarySurface->Release();
      secondarySurface = NULL;
    }
    if (!Empty(primarySurface)) {
      primarySurface->Release();
      primarySurface = NULL;
    }
    if ((flags & AuxSurface) && !Empty(auxSurface)) {
      auxSurface->Release();
      auxSurface = NULL;
    }
    // Leaving exclusive mode is what gives the desktop its mode back.
    directDraw->SetCooperativeLevel(static_cast<HWND>(window), DDSCL_NORMAL);
    directDraw->Release();
    directDraw = NULL;
  }
  if (!Empty(directDraw2)) {
    directDraw2->Release();
    directDraw2 = NULL;
  }
}

IDirectDraw *LurnDirectDraw::GetDD() { return directDraw; }

IDirectDrawSurface *LurnDirectDraw::GetPrimarySurface() {
  return primarySurface;
}

IDirectDrawSurface *LurnDirectDraw::GetRenderSurface() {
  return secondarySurface;
}
