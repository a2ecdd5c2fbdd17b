// Showing a picture on the desktop as it is: the present that converts and
// scales the drawing surface with the library's own kernels into a surface of
// the desktop's format, then blits that 1:1. DirectDraw's blit is not asked to
// convert: Windows' does not. Before any Windows header: those define `near`.
#include "../present/frame_policy.h"
#include "../present/present.h"

#include <string.h>

#include "display_state.h"
#if defined(_WIN32)
#include "windows_monitor.h"
#endif

#include <atomic>
#include <vector>

#include "../empty_field.h"

namespace {

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

void ReleaseConverted(DesktopConversion &conversion) {
  for (int i = 0; i < 2; ++i) {
    if (conversion.converted[i] != NULL)
      conversion.converted[i]->Release();
    conversion.converted[i] = NULL;
    conversion.memory[i] = NULL; // the surface's to free
  }
}

#if defined(_WIN32)
// Memory a surface keeps as its private data: the platform releases it
// with the surface, after the last drawing work on it.
class SurfaceMemory final : public IUnknown {
public:
  explicit SurfaceMemory(size_t bytes) : bytes_(bytes, 0) {}
  unsigned char *Bytes() { return bytes_.data(); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void **out) override {
    if (out == NULL)
      return E_POINTER;
    *out = NULL;
    if (id != IID_IUnknown)
      return E_NOINTERFACE;
    *out = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (left == 0)
      delete this;
    return left;
  }

private:
  ~SurfaceMemory() = default;
  std::atomic<ULONG> references_{1};
  std::vector<unsigned char> bytes_;
};

// The library's tag for the memory it gives a surface.
const GUID kOwnMemoryTag = {0x6c757274,
                            0x6d65,
                            0x6d6f,
                            {0x72, 0x79, 0x2d, 0x6f, 0x77, 0x6e, 0x65, 0x64}};
#endif

// The conversion surface at the client area's size, in the desktop's
// format (a system-memory surface with no format asked gets the display's).
bool EnsureConverted(LurnDirectDraw &display, DesktopConversion &conversion,
                     int width, int height) {
  if (conversion.converted[1] != NULL && conversion.convertedWidth == width &&
      conversion.convertedHeight == height)
    return true;
  ReleaseConverted(conversion);
  DDSURFACEDESC desc;
  memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
  desc.dwWidth = DWORD(width);
  desc.dwHeight = DWORD(height);
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
  for (int i = 0; i < 2; ++i) {
    if (display.directDraw->CreateSurface(&desc, &conversion.converted[i],
                                          NULL) != DD_OK) {
      conversion.converted[i] = NULL;
      ReleaseConverted(conversion);
      return false;
    }
    conversion.picture[i] =
        RECT{0, 0, 0, 0}; // the black around is painted anew
    int pitch =
        (width * int(FormatOf(conversion.converted[i]).bits + 7) / 8 + 7) & ~7;
    conversion.memory[i] =
        GiveOwnMemory(conversion.converted[i], width, height, pitch);
    conversion.memoryPitch = pitch;
  }
  conversion.convertedWidth = width;
  conversion.convertedHeight = height;
  return true;
}

// Whether a lock gave memory for `width` pixels of `bytes` a line: an
// address, and lines as long, within what LockSecondaryBuffer takes. Any
// other answer costs the frame.
bool Usable(const DDSURFACEDESC &desc, int width, int bytes) {
  return !Empty(desc.lpSurface) && desc.lPitch >= LONG(width) * bytes &&
         (DWORD(desc.lPitch) >> 1) <= 0xFFFF;
}

// Converts and scales the drawing surface into `target` at `picture`,
// painting the rest black when the picture moved since `last` (then
// updated). False when the drawing surface cannot be read or converted.
bool ConvertDrawing(LurnDirectDraw &display, DesktopConversion &conversion,
                    const TargetPixels &target, const Rect &picture,
                    RECT &last) {
  Pixels pixels = {NULL, 0, 0, 0, {0, 0, 0, 0}};
  if (!LockDrawing(display, pixels))
    return false;
  Rect area = {0, 0, target.width, target.height};
  RECT place = {picture.x, picture.y, picture.x + picture.w,
                picture.y + picture.h};
  if (memcmp(&place, &last, sizeof place) != 0)
    FillAround(target, area, picture);
  last = place;
  bool done = PresentScaled(pixels, Rect{0, 0, display.width, display.height},
                            target, picture, area, *conversion.scratch);
  display.secondarySurface->Unlock(NULL);
  return done;
}

// Converts and scales the drawing surface into a conversion surface,
// painting black around the picture when it moved.
bool Convert(LurnDirectDraw &display, DesktopConversion &conversion, int turn,
             const Rect &picture) {
  IDirectDrawSurface *converted = conversion.converted[turn];
  DDSURFACEDESC out;
  memset(&out, 0, sizeof out);
  out.dwSize = sizeof out;
  bool own = conversion.memory[turn] != NULL;
  if (own) {
    out.lpSurface = conversion.memory[turn];
    out.lPitch = conversion.memoryPitch;
  } else if (converted->Lock(NULL, &out, DDLOCK_WAIT, NULL) != DD_OK) {
    return false;
  }
  PixelFormat targetFormat = FormatOf(converted);
  bool done = false;
  if (own ||
      Usable(out, conversion.convertedWidth, int(targetFormat.bits + 7) / 8)) {
    TargetPixels target = {
        static_cast<unsigned char *>(out.lpSurface), conversion.convertedWidth,
        conversion.convertedHeight, int(out.lPitch), targetFormat};
    done = ConvertDrawing(display, conversion, target, picture,
                          conversion.picture[turn]);
  }
  if (!own)
    converted->Unlock(NULL);
  return done;
}

} // namespace

void ReleaseConversion(DesktopConversion &conversion) {
  ReleaseConverted(conversion);
#if defined(_WIN32)
  ForgetGdiPicture(conversion);
#endif
  delete conversion.scratch;
  conversion.scratch = NULL;
}

unsigned char *GiveOwnMemory(IDirectDrawSurface *surface, int width, int height,
                             int pitch) {
#if defined(_WIN32)
  IDirectDrawSurface3 *surface3 = NULL;
  IDirectDrawSurface4 *surface4 = NULL;
  if (surface->QueryInterface(IID_IDirectDrawSurface3,
                              reinterpret_cast<void **>(&surface3)) != DD_OK)
    return NULL;
  if (surface->QueryInterface(IID_IDirectDrawSurface4,
                              reinterpret_cast<void **>(&surface4)) != DD_OK) {
    surface3->Release();
    return NULL;
  }
  SurfaceMemory *memory = new SurfaceMemory(size_t(pitch) * size_t(height));
  unsigned char *bytes = memory->Bytes();
  // The surface takes its own reference, and lets it go as it is destroyed.
  // The data given is the interface itself, its size a pointer's.
  bool given =
      surface4->SetPrivateData(kOwnMemoryTag, memory, sizeof(IUnknown *),
                               DDSPD_IUNKNOWNPOINTER) == DD_OK;
  if (given) {
    DDSURFACEDESC desc;
    memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_LPSURFACE | DDSD_PITCH | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = DWORD(width);
    desc.dwHeight = DWORD(height);
    desc.lPitch = pitch;
    desc.lpSurface = bytes;
    given = surface3->SetSurfaceDesc(&desc, 0) == DD_OK;
    if (!given)
      surface4->FreePrivateData(kOwnMemoryTag);
  }
  memory->Release();
  surface4->Release();
  surface3->Release();
  return given ? bytes : NULL;
#else
  (void)surface, (void)width, (void)height, (void)pitch;
  return NULL;
#endif
}

bool LockDrawing(LurnDirectDraw &display, Pixels &pixels) {
  IDirectDrawSurface *source = display.secondarySurface;
  DDSURFACEDESC in;
  memset(&in, 0, sizeof in);
  in.dwSize = sizeof in;
  if (source->Lock(NULL, &in, DDLOCK_WAIT, NULL) != DD_OK)
    return false;
  PixelFormat format = FormatOf(source);
  if (!Usable(in, display.width, int(format.bits + 7) / 8)) {
    source->Unlock(NULL);
    return false;
  }
  pixels = Pixels{static_cast<const unsigned char *>(in.lpSurface),
                  display.width, display.height, int(in.lPitch), format};
  return true;
}

namespace {

// The primary's own rectangle, in screen coordinates; false when it cannot
// tell its size.
bool PrimaryArea(IDirectDrawSurface *primary, Rect &area) {
  DDSURFACEDESC desc;
  memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  if (primary->GetSurfaceDesc(&desc) != DD_OK)
    return false;
  area = Rect{0, 0, int(desc.dwWidth), int(desc.dwHeight)};
  return true;
}

// Cuts `to` down to the part inside `area`, and `from` in proportion.
bool ClipTo(const Rect &area, RECT &to, RECT &from) {
  Rect shown = {to.left, to.top, to.right - to.left, to.bottom - to.top};
  Rect part = {from.left, from.top, from.right - from.left,
               from.bottom - from.top};
  if (!ClipScaled(area, shown, part))
    return false;
  to = RECT{shown.x, shown.y, shown.x + shown.w, shown.y + shown.h};
  from = RECT{part.x, part.y, part.x + part.w, part.y + part.h};
  return true;
}

HRESULT Blit(IDirectDrawSurface *primary, RECT to, IDirectDrawSurface *source,
             const RECT &from, DWORD flags) {
  RECT part;
  SetRect(&part, from.left, from.top, from.right, from.bottom);
  return primary->Blt(&to, source, &part, flags, NULL);
}

} // namespace

HRESULT BlitOnScreen(IDirectDrawSurface *primary, RECT to,
                     IDirectDrawSurface *source, RECT from, DWORD flags) {
  Rect onPrimary;
  if (!PrimaryArea(primary, onPrimary)) // the copy as it is
    return Blit(primary, to, source, from, flags);
  Rect screen = onPrimary;
#if defined(_WIN32)
  // Past the primary monitor, every monitor together: asked only then, as
  // each of the metrics costs 15 to 30 us under Wine.
  RECT all;
  if ((to.left < 0 || to.top < 0 || to.right > onPrimary.w ||
       to.bottom > onPrimary.h) &&
      VirtualScreen(all))
    screen =
        Rect{all.left, all.top, all.right - all.left, all.bottom - all.top};
#endif
  RECT shown = to, part = from;
  if (!ClipTo(screen, shown, part))
    return DD_OK; // nothing of it is on any monitor
  HRESULT result = Blit(primary, shown, source, part, flags);
  // A platform whose primary is the primary monitor alone refuses a copy
  // past it: that one shows the part on it.
  if (result == DDERR_INVALIDRECT &&
      memcmp(&screen, &onPrimary, sizeof screen) != 0 &&
      ClipTo(onPrimary, to, from))
    result = Blit(primary, to, source, from, flags);
  return result;
}

int PresentToDesktop(LurnDirectDraw &display, DisplayState &state) {
  DesktopConversion &conversion = state.desktop;
  HWND window = static_cast<HWND>(display.window);
  RECT client = {0, 0, 0, 0};
  if (!GetClientRect(window, &client) || client.right <= 0 ||
      client.bottom <= 0)
    return 1; // gone or minimised: nothing to show
  // A picture that cannot be converted is not shown: the frame failed, as
  // on every route.
  if (!EnsureConverted(display, conversion, client.right, client.bottom))
    return 0;
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  RECT destination = {origin.x, origin.y, origin.x + client.right,
                      origin.y + client.bottom};
  ScaleMode mode = ScaleFor(state.settings.scale,
                            FillsScreen(display, state, client, origin));
  Rect area = {0, 0, client.right, client.bottom};
  int turn = conversion.turn;
  conversion.turn ^= 1;
  Rect picture = PlacePicture(mode, display.width, display.height, area);
  state.placed = Placement{area, picture, false};
  if (!Convert(display, conversion, turn, picture))
    return 0;
  RECT source = {0, 0, client.right, client.bottom};
  HRESULT result = BlitOnScreen(display.primarySurface, destination,
                                conversion.converted[turn], source, DDBLT_WAIT);
  if (result == DDERR_SURFACELOST) {
    // Another program changed the display's mode: the primary comes back,
    // and the conversion surface is made again in the desktop's new format.
    display.primarySurface->Restore();
    ReleaseConverted(conversion);
  }
  return result == DD_OK;
}
