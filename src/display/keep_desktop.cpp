// Showing a picture on the desktop as it is: the per-display state, and the
// present that converts and scales the drawing surface with the library's
// own kernels into a surface of the desktop's format, then blits that 1:1.
// DirectDraw's blit is not asked to convert: Windows' does not.
// Before any Windows header: those define `near`.
#include "../present/present.h"

#include <string.h>

#include "keep_desktop.h"

#include <mutex>
#include <vector>

#include "../empty_field.h"
#include "../present/pacing.h"

namespace {

// Every open display's state, keyed by its DirectDraw interface. The lock
// guards the list, for separate displays opened and closed on separate
// threads; a state itself is used by whichever thread uses its display, one
// at a time as the display. The window procedure never touches one: it
// notes Alt+Enter for the window, and the presenting thread applies it.
std::mutex statesLock;
std::vector<DesktopState *> states;

PixelFormat FormatOf(IDirectDrawSurface *surface) {
  DDPIXELFORMAT format;
  memset(&format, 0, sizeof format);
  format.dwSize = sizeof format;
  PixelFormat pixels = {0, 0, 0, 0};
  if (surface->GetPixelFormat(&format) == DD_OK)
    pixels = PixelFormat{format.dwRGBBitCount, format.dwRBitMask,
                         format.dwGBitMask, format.dwBBitMask};
  return pixels;
}

void ReleaseConverted(DesktopState &state) {
  for (IDirectDrawSurface *&converted : state.converted) {
    if (converted != NULL)
      converted->Release();
    converted = NULL;
  }
}

// Hands the conversion surface memory of the library's own, if the
// platform takes it; otherwise frames are written through a lock.
void GiveOwnMemory(DesktopState &state, int i, int width, int height) {
  state.memory[i].clear();
#if defined(_WIN32)
  IDirectDrawSurface3 *surface3 = NULL;
  int bytes = int(FormatOf(state.converted[i]).bits + 7) / 8;
  if (state.converted[i]->QueryInterface(
          IID_IDirectDrawSurface3, reinterpret_cast<void **>(&surface3)) !=
      DD_OK)
    return;
  state.memoryPitch = (width * bytes + 7) & ~7;
  state.memory[i].assign(size_t(state.memoryPitch) * height, 0);
  DDSURFACEDESC desc;
  memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_LPSURFACE | DDSD_PITCH | DDSD_WIDTH | DDSD_HEIGHT;
  desc.dwWidth = DWORD(width);
  desc.dwHeight = DWORD(height);
  desc.lPitch = state.memoryPitch;
  desc.lpSurface = state.memory[i].data();
  if (surface3->SetSurfaceDesc(&desc, 0) != DD_OK)
    state.memory[i].clear();
  surface3->Release();
#else
  (void)width;
  (void)height;
#endif
}

// The conversion surface at the client area's size, in the desktop's
// format (a system-memory surface with no format asked gets the display's).
bool EnsureConverted(LurnDirectDraw &display, DesktopState &state, int width,
                     int height) {
  if (state.converted[1] != NULL && state.convertedWidth == width &&
      state.convertedHeight == height)
    return true;
  ReleaseConverted(state);
  DDSURFACEDESC desc;
  memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
  desc.dwWidth = DWORD(width);
  desc.dwHeight = DWORD(height);
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
  for (int i = 0; i < 2; ++i) {
    if (display.directDraw->CreateSurface(&desc, &state.converted[i], NULL) !=
        DD_OK) {
      state.converted[i] = NULL;
      ReleaseConverted(state);
      return false;
    }
    state.picture[i] = RECT{0, 0, 0, 0}; // the black around is painted anew
    GiveOwnMemory(state, i, width, height);
  }
  state.convertedWidth = width;
  state.convertedHeight = height;
  return true;
}

// Whether a lock gave memory for `width` pixels of `bytes` a line: an
// address, and lines as long, within what LockSecondaryBuffer takes. Any
// other answer costs the frame.
bool Usable(const DDSURFACEDESC &desc, int width, int bytes) {
  return !Empty(desc.lpSurface) && desc.lPitch >= LONG(width) * bytes &&
         (DWORD(desc.lPitch) >> 1) <= 0xFFFF;
}

// Converts and scales the drawing surface into a conversion surface,
// painting black around the picture when it moved.
bool Convert(LurnDirectDraw &display, DesktopState &state, int turn,
             const Rect &picture) {
  IDirectDrawSurface *converted = state.converted[turn];
  DDSURFACEDESC out;
  memset(&out, 0, sizeof out);
  out.dwSize = sizeof out;
  bool own = !state.memory[turn].empty();
  if (own) {
    out.lpSurface = state.memory[turn].data();
    out.lPitch = state.memoryPitch;
  } else if (converted->Lock(NULL, &out, DDLOCK_WAIT, NULL) != DD_OK) {
    return false;
  }
  PixelFormat targetFormat = FormatOf(converted);
  bool done = false;
  if (own ||
      Usable(out, state.convertedWidth, int(targetFormat.bits + 7) / 8)) {
    TargetPixels target = {static_cast<unsigned char *>(out.lpSurface),
                           state.convertedWidth, state.convertedHeight,
                           int(out.lPitch), targetFormat};
    done = ConvertDrawing(display, state, target, picture, state.picture[turn]);
  }
  if (!own)
    converted->Unlock(NULL);
  return done;
}

} // namespace

bool ConvertDrawing(LurnDirectDraw &display, DesktopState &state,
                    const TargetPixels &target, const Rect &picture,
                    RECT &last) {
  IDirectDrawSurface *source = display.secondarySurface;
  DDSURFACEDESC in;
  memset(&in, 0, sizeof in);
  in.dwSize = sizeof in;
  if (source->Lock(NULL, &in, DDLOCK_WAIT, NULL) != DD_OK)
    return false;
  PixelFormat sourceFormat = FormatOf(source);
  if (!Usable(in, display.width, int(sourceFormat.bits + 7) / 8)) {
    source->Unlock(NULL);
    return false;
  }
  Rect area = {0, 0, target.width, target.height};
  RECT place = {picture.x, picture.y, picture.x + picture.w,
                picture.y + picture.h};
  if (memcmp(&place, &last, sizeof place) != 0)
    FillAround(target, area, picture);
  last = place;
  Pixels pixels = {static_cast<const unsigned char *>(in.lpSurface),
                   display.width, display.height, int(in.lPitch), sourceFormat};
  bool done = PresentScaled(pixels, Rect{0, 0, display.width, display.height},
                            target, picture, area, *state.scratch);
  source->Unlock(NULL);
  return done;
}

bool ClipToPrimary(IDirectDrawSurface *primary, RECT &to, RECT &from) {
  DDSURFACEDESC desc;
  memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  Rect screen = {0, 0, 0, 0};
  if (primary->GetSurfaceDesc(&desc) == DD_OK)
    screen = Rect{0, 0, int(desc.dwWidth), int(desc.dwHeight)};
  else // a primary that cannot tell its size gets the copy as it is
    screen = Rect{to.left, to.top, to.right - to.left, to.bottom - to.top};
  Rect shown = {to.left, to.top, to.right - to.left, to.bottom - to.top};
  Rect part = {from.left, from.top, from.right - from.left,
               from.bottom - from.top};
  if (!ClipScaled(screen, shown, part))
    return false;
  to = RECT{shown.x, shown.y, shown.x + shown.w, shown.y + shown.h};
  from = RECT{part.x, part.y, part.x + part.w, part.y + part.h};
  return true;
}

DesktopState *RememberDesktopState(const void *directDraw,
                                   const Settings &settings) {
  ForgetDesktopState(directDraw);
  if (directDraw == NULL)
    return NULL;
  DesktopState *state = new DesktopState();
  state->directDraw = directDraw;
  state->settings = settings;
  state->scratch = new PresentScratch();
  std::lock_guard<std::mutex> hold(statesLock);
  states.push_back(state);
  return state;
}

DesktopState *FindDesktopState(const void *directDraw) {
  std::lock_guard<std::mutex> hold(statesLock);
  for (DesktopState *state : states)
    if (state->directDraw == directDraw)
      return state;
  return NULL;
}

DesktopState *TakeDesktopState(const void *directDraw) {
  std::lock_guard<std::mutex> hold(statesLock);
  for (size_t i = 0; i < states.size(); ++i)
    if (directDraw != NULL && states[i]->directDraw == directDraw) {
      DesktopState *state = states[i];
      states[i] = states.back();
      states.pop_back();
      return state;
    }
  return NULL;
}

void DropDesktopState(DesktopState *state) {
  if (state == NULL)
    return;
  ReleaseConverted(*state);
#if defined(LURN_WINDOW_SYSTEM)
  GiveWindowBack(*state);
#endif
#if defined(_WIN32)
  ForgetGdiPicture(*state);
#endif
  delete state->pacer;
  delete state->scratch;
  delete state;
}

void ForgetDesktopState(const void *directDraw) {
  DropDesktopState(TakeDesktopState(directDraw));
}

int PresentToDesktop(LurnDirectDraw &display, DesktopState &state) {
  HWND window = static_cast<HWND>(display.window);
  RECT client = {0, 0, 0, 0};
  if (!GetClientRect(window, &client) || client.right <= 0 ||
      client.bottom <= 0)
    return 1; // gone or minimised: nothing to show
  if (!EnsureConverted(display, state, client.right, client.bottom))
    return 1;
  ScaleMode mode = ScaleFor(state.settings.scale, state.fullScreenClient);
  Rect area = {0, 0, client.right, client.bottom};
  int turn = state.turn;
  state.turn ^= 1;
  Rect picture = PlacePicture(mode, display.width, display.height, area);
  state.placed = Placement{area, picture, false};
  if (!Convert(display, state, turn, picture))
    return 1;
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  RECT destination = {origin.x, origin.y, origin.x + client.right,
                      origin.y + client.bottom};
  RECT source = {0, 0, client.right, client.bottom};
  HRESULT result = DD_OK;
  // Only the part on the screen: the platform may refuse the whole copy.
  if (ClipToPrimary(display.primarySurface, destination, source))
    result = display.primarySurface->Blt(&destination, state.converted[turn],
                                         &source, DDBLT_WAIT, NULL);
  if (result == DDERR_SURFACELOST) {
    // Another program changed the display's mode: the primary comes back,
    // and the conversion surface is made again in the desktop's new format.
    display.primarySurface->Restore();
    ReleaseConverted(state);
  }
  return result == DD_OK;
}
