// The stand-in's DirectDraw: an emulated display over SDL2 with
// system-memory surfaces, a flip chain, clippers and reference counting,
// answering with the result codes the real platform gives.
#include <stdlib.h>

#include <algorithm>
#include <vector>

#include "com_defaults.h"
#include "counted.h"
#include "present.h"
#include "standin.h"

namespace {

const DWORD kMaxDimension = 16384;
const size_t kMaxSurfaceBytes = size_t(1) << 30;

PixelFormat FormatForDepth(DWORD bits) {
  switch (bits) {
  case 8:
    return PixelFormat{8, 0, 0, 0};
  case 15:
    return PixelFormat{16, 0x7C00, 0x03E0, 0x001F};
  case 16:
    // A 16-bit mode keeps the desktop's 16-bit layout when it has one.
    if (Display().desktopFormat.bits == 16)
      return Display().desktopFormat;
    return PixelFormat{16, 0xF800, 0x07E0, 0x001F};
  case 24:
    return PixelFormat{24, 0xFF0000, 0x00FF00, 0x0000FF};
  default:
    return PixelFormat{32, 0xFF0000, 0x00FF00, 0x0000FF};
  }
}

class Clipper : public Counted<ClipperDefaults> {
public:
  Clipper() : Counted<ClipperDefaults>(IID_IDirectDrawClipper) {}
  HRESULT STDMETHODCALLTYPE GetHWnd(HWND *window) override {
    if (window == NULL)
      return DDERR_INVALIDPARAMS;
    *window = window_;
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE SetHWnd(DWORD flags, HWND window) override {
    if (flags != 0 || (window != NULL && WindowFromHandle(window) == NULL))
      return DDERR_INVALIDPARAMS;
    window_ = window;
    return DD_OK;
  }
  HWND window() const { return window_; }

private:
  HWND window_ = NULL;
};

class Surface : public Counted<SurfaceDefaults> {
public:
  Surface(DWORD width, DWORD height, const PixelFormat &format, DWORD caps)
      : Counted<SurfaceDefaults>(IID_IDirectDrawSurface), width_(width),
        height_(height), format_(format), caps_(caps) {
    pitch_ = (width * BytesPerPixel() + 3) & ~3u;
    losable_ = !(caps & DDSCAPS_SYSTEMMEMORY);
    epoch_ = Display().lossEpoch;
  }
  ~Surface() override {
    if (clipper_ != NULL)
      clipper_->Release();
    if (backBuffer_ != NULL)
      delete backBuffer_;
  }

  // Allocates the pixels; false when there is not enough memory.
  bool Allocate() {
    size_t bytes = size_t(pitch_) * height_;
    if (bytes > kMaxSurfaceBytes)
      return false;
    try {
      memory_.assign(bytes, 0);
    } catch (const std::bad_alloc &) {
      return false;
    }
    return true;
  }
  void AttachBackBuffer(Surface *backBuffer) {
    backBuffer_ = backBuffer;
    backBuffer->front_ = this;
    backBuffer->references_ = 0; // the chain holds it, not the client
  }

  HRESULT STDMETHODCALLTYPE Blt(LPRECT destRect, LPDIRECTDRAWSURFACE source,
                                LPRECT sourceRect, DWORD flags,
                                LPDDBLTFX fx) override {
    if (flags & DDBLT_COLORFILL)
      return Fill(destRect, fx);
    Surface *from = dynamic_cast<Surface *>(source);
    if (from == NULL)
      return DDERR_INVALIDPARAMS;
    if (Lost() || from->Lost())
      return DDERR_SURFACELOST;
    if (locked_ || from->locked_)
      return DDERR_SURFACEBUSY;
    // A source rectangle reaching beyond the surface is cut to it.
    RECT in = from->Whole();
    if (sourceRect != NULL && !from->Clip(*sourceRect, in))
      return DD_OK;
    Clipper *clipper = dynamic_cast<Clipper *>(clipper_);
    SDL_Window *window =
        clipper != NULL ? WindowFromHandle(clipper->window()) : NULL;
    if ((caps_ & DDSCAPS_PRIMARYSURFACE) && window != NULL) {
      // The visible screen: the clipper keeps the copy inside the window.
      RECT out = destRect != NULL ? *destRect : Whole();
      PresentToWindow(*from, in, out, window);
      return DD_OK;
    }
    RECT out = Whole();
    if (destRect != NULL) {
      if (!Contains(*destRect))
        return DDERR_INVALIDRECT;
      out = *destRect;
    }
    if (from->format_.bits != format_.bits || !EnsureMemory() ||
        !from->EnsureMemory())
      return DDERR_UNSUPPORTED;
    CopyScaled(*from, in, out);
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE target, DWORD) override {
    if (backBuffer_ == NULL)
      return DDERR_NOTFLIPPABLE;
    if (target != NULL && target != backBuffer_)
      return DDERR_INVALIDPARAMS;
    if (Lost())
      return DDERR_SURFACELOST;
    if (locked_ || backBuffer_->locked_)
      return DDERR_SURFACEBUSY;
    memory_.swap(backBuffer_->memory_);
    ShowFront();
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE
  GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE *out) override {
    if (caps == NULL || out == NULL)
      return DDERR_INVALIDPARAMS;
    *out = NULL;
    if (backBuffer_ == NULL ||
        (caps->dwCaps & backBuffer_->caps_) != caps->dwCaps)
      return DDERR_NOTFOUND;
    backBuffer_->AddRef();
    *out = backBuffer_;
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE GetCaps(LPDDSCAPS caps) override {
    if (caps == NULL)
      return DDERR_INVALIDPARAMS;
    caps->dwCaps = caps_;
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPixelFormat(LPDDPIXELFORMAT format) override {
    if (format == NULL)
      return DDERR_INVALIDPARAMS;
    memset(format, 0, sizeof *format);
    format->dwSize = sizeof *format;
    format->dwFlags = DDPF_RGB;
    format->dwRGBBitCount = format_.bits;
    format->dwRBitMask = format_.red;
    format->dwGBitMask = format_.green;
    format->dwBBitMask = format_.blue;
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE GetSurfaceDesc(LPDDSURFACEDESC desc) override {
    if (desc == NULL || desc->dwSize != sizeof *desc)
      return DDERR_INVALIDPARAMS;
    Describe(desc);
    desc->lpSurface = NULL;
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE IsLost() override {
    return Lost() ? DDERR_SURFACELOST : DD_OK;
  }
  HRESULT STDMETHODCALLTYPE Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD,
                                 HANDLE) override {
    if (desc == NULL || desc->dwSize != sizeof *desc)
      return DDERR_INVALIDPARAMS;
    if (Lost())
      return DDERR_SURFACELOST;
    if (locked_)
      return DDERR_SURFACEBUSY;
    if (rect != NULL && !Contains(*rect))
      return DDERR_INVALIDPARAMS;
    if (!EnsureMemory())
      return DDERR_OUTOFMEMORY;
    Describe(desc);
    unsigned char *bits = memory_.data();
    if (rect != NULL)
      bits += size_t(rect->top) * pitch_ + size_t(rect->left) * BytesPerPixel();
    desc->lpSurface = bits;
    locked_ = true;
    return DD_OK;
  }
  // Video memory comes back only while the exclusive window is in front;
  // restoring a chain's front buffer restores the chain.
  HRESULT STDMETHODCALLTYPE Restore() override {
    if (!Lost())
      return DD_OK;
    if (Display().exclusiveWindowInBack)
      return DDERR_WRONGMODE;
    epoch_ = Display().lossEpoch;
    std::fill(memory_.begin(), memory_.end(), 0);
    if (backBuffer_ != NULL)
      backBuffer_->Restore();
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE SetClipper(LPDIRECTDRAWCLIPPER clipper) override {
    if (clipper != NULL)
      clipper->AddRef();
    if (clipper_ != NULL)
      clipper_->Release();
    clipper_ = clipper;
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE GetClipper(LPDIRECTDRAWCLIPPER *clipper) override {
    if (clipper == NULL)
      return DDERR_INVALIDPARAMS;
    *clipper = clipper_;
    if (clipper_ == NULL)
      return DDERR_NOCLIPPERATTACHED;
    clipper_->AddRef();
    return DD_OK;
  }
  HRESULT STDMETHODCALLTYPE Unlock(LPVOID) override {
    if (!locked_)
      return DDERR_NOTLOCKED;
    locked_ = false;
    return DD_OK;
  }

private:
  DWORD BytesPerPixel() const { return (format_.bits + 7) / 8; }
  RECT Whole() const {
    RECT whole = {0, 0, LONG(width_), LONG(height_)};
    return whole;
  }
  // The part of `rect` inside the surface; false when nothing is.
  bool Clip(const RECT &rect, RECT &inside) const {
    inside.left = std::max<LONG>(rect.left, 0);
    inside.top = std::max<LONG>(rect.top, 0);
    inside.right = std::min<LONG>(rect.right, LONG(width_));
    inside.bottom = std::min<LONG>(rect.bottom, LONG(height_));
    return inside.left < inside.right && inside.top < inside.bottom;
  }
  bool Contains(const RECT &rect) const {
    return rect.left >= 0 && rect.top >= 0 && rect.left < rect.right &&
           rect.top < rect.bottom && DWORD(rect.right) <= width_ &&
           DWORD(rect.bottom) <= height_;
  }
  // A visible primary in windowed mode gets its pixels on first use.
  bool EnsureMemory() { return !memory_.empty() || Allocate(); }
  bool Lost() {
    if (!losable_)
      return false;
    CheckExclusiveFocus();
    return epoch_ != Display().lossEpoch;
  }

  HRESULT Fill(LPRECT destRect, LPDDBLTFX fx) {
    if (fx == NULL) // the record's size goes unchecked, as on Wine
      return DDERR_INVALIDPARAMS;
    if (Lost())
      return DDERR_SURFACELOST;
    if (locked_)
      return DDERR_SURFACEBUSY;
    RECT area = Whole();
    if (destRect != NULL) {
      if (!Contains(*destRect))
        return DDERR_INVALIDRECT;
      area = *destRect;
    }
    if (!EnsureMemory())
      return DDERR_OUTOFMEMORY;
    DWORD bytes = BytesPerPixel();
    DWORD colour = fx->dwFillColor;
    for (LONG y = area.top; y < area.bottom; ++y) {
      unsigned char *line =
          memory_.data() + size_t(y) * pitch_ + size_t(area.left) * bytes;
      LONG count = area.right - area.left;
      if (bytes == 2) {
        std::fill_n(reinterpret_cast<uint16_t *>(line), count,
                    uint16_t(colour));
      } else if (bytes == 4) {
        std::fill_n(reinterpret_cast<uint32_t *>(line), count, colour);
      } else {
        for (LONG x = 0; x < count; ++x)
          memcpy(line + x * bytes, &colour, bytes);
      }
    }
    return DD_OK;
  }

  Pixels View() const {
    Pixels pixels = {memory_.data(), int(width_), int(height_), int(pitch_),
                     format_};
    return pixels;
  }

  void PresentToWindow(Surface &from, const RECT &in, const RECT &out,
                       SDL_Window *window) {
    SDL_Surface *target = SDL_GetWindowSurface(window);
    if (target == NULL || !from.EnsureMemory())
      return;
    int left, top;
    SDL_GetWindowPosition(window, &left, &top);
    SDL_Rect fromRect = {in.left, in.top, in.right - in.left,
                         in.bottom - in.top};
    SDL_Rect toRect = {out.left - left, out.top - top, out.right - out.left,
                       out.bottom - out.top};
    SDL_Rect clip = {0, 0, target->w, target->h};
    PresentScaled(from.View(), fromRect, target, toRect, clip);
    SDL_UpdateWindowSurface(window);
  }

  // The new front buffer on the exclusive window, scaled with its aspect
  // ratio kept.
  void ShowFront() {
    SDL_Window *window = Display().exclusiveWindow;
    SDL_Surface *target =
        WindowFromHandle(window) != NULL ? SDL_GetWindowSurface(window) : NULL;
    if (target == NULL)
      return;
    SDL_FillRect(target, NULL, SDL_MapRGB(target->format, 0, 0, 0));
    SDL_Rect fromRect = {0, 0, int(width_), int(height_)};
    SDL_Rect toRect =
        FitKeepingAspect(int(width_), int(height_), target->w, target->h);
    SDL_Rect clip = {0, 0, target->w, target->h};
    PresentScaled(View(), fromRect, target, toRect, clip);
    SDL_UpdateWindowSurface(window);
  }

  // Surface to surface, same format, nearest neighbour.
  void CopyScaled(const Surface &from, const RECT &in, const RECT &out) {
    DWORD bytes = BytesPerPixel();
    LONG inWidth = in.right - in.left, inHeight = in.bottom - in.top;
    LONG outWidth = out.right - out.left, outHeight = out.bottom - out.top;
    for (LONG y = 0; y < outHeight; ++y) {
      const unsigned char *source =
          from.memory_.data() +
          size_t(in.top + y * inHeight / outHeight) * from.pitch_;
      unsigned char *target =
          memory_.data() + size_t(out.top + y) * pitch_ + out.left * bytes;
      for (LONG x = 0; x < outWidth; ++x)
        memmove(target + x * bytes,
                source + size_t(in.left + x * inWidth / outWidth) * bytes,
                bytes);
    }
  }

  // A back buffer is destroyed with its chain, whatever its own count says.
  void LastReleased() override {
    if (front_ == NULL)
      delete this;
  }
  void Describe(LPDDSURFACEDESC desc) const {
    memset(desc, 0, sizeof *desc);
    desc->dwSize = sizeof *desc;
    desc->dwFlags =
        DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
    desc->dwWidth = width_;
    desc->dwHeight = height_;
    desc->lPitch = static_cast<LONG>(pitch_);
    desc->ddsCaps.dwCaps = caps_;
    DDPIXELFORMAT &format = desc->ddpfPixelFormat;
    format.dwSize = sizeof format;
    format.dwFlags = DDPF_RGB;
    format.dwRGBBitCount = format_.bits;
    format.dwRBitMask = format_.red;
    format.dwGBitMask = format_.green;
    format.dwBBitMask = format_.blue;
  }

  DWORD width_, height_, pitch_;
  PixelFormat format_;
  DWORD caps_;
  std::vector<unsigned char> memory_;
  bool locked_ = false;
  bool losable_;
  unsigned epoch_;
  IDirectDrawClipper *clipper_ = NULL;
  Surface *backBuffer_ = NULL; // owned by the chain's front buffer
  Surface *front_ = NULL;
};

class DirectDraw;

// The second-version interface of a DirectDraw object; it counts its own
// references and keeps the object alive.
class DirectDraw2 : public DirectDraw2Defaults {
public:
  explicit DirectDraw2(DirectDraw *owner) : owner_(owner) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window,
                                                DWORD flags) override;
  HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD width, DWORD height, DWORD bpp,
                                           DWORD, DWORD) override;
  HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC desc,
                                          LPDIRECTDRAWSURFACE *surface,
                                          IUnknown *outer) override;
  HRESULT STDMETHODCALLTYPE CreateClipper(DWORD flags,
                                          LPDIRECTDRAWCLIPPER *clipper,
                                          IUnknown *outer) override;

  ULONG references = 0;

private:
  DirectDraw *owner_;
};

class DirectDraw final : public DirectDrawDefaults {
public:
  DirectDraw() : second_(this) {}
  ~DirectDraw() { LeaveExclusiveMode(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **out) override {
    if (out == NULL)
      return DDERR_INVALIDPARAMS;
    *out = NULL;
    if (riid == IID_IUnknown || riid == IID_IDirectDraw) {
      AddRef();
      *out = static_cast<IDirectDraw *>(this);
    } else if (riid == IID_IDirectDraw2) {
      second_.AddRef();
      *out = static_cast<IDirectDraw2 *>(&second_);
    } else {
      return E_NOINTERFACE;
    }
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    DeleteIfUnused();
    return left;
  }
  void DeleteIfUnused() {
    if (references_ == 0 && second_.references == 0)
      delete this;
  }

  HRESULT STDMETHODCALLTYPE CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER *out,
                                          IUnknown *outer) override {
    if (out == NULL)
      return DDERR_INVALIDPARAMS;
    *out = NULL;
    if (outer != NULL)
      return CLASS_E_NOAGGREGATION;
    (void)flags; // none are defined; Wine ignores them too
    *out = new Clipper;
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC desc,
                                          LPDIRECTDRAWSURFACE *out,
                                          IUnknown *outer) override {
    if (out == NULL)
      return DDERR_INVALIDPARAMS;
    *out = NULL;
    if (outer != NULL)
      return CLASS_E_NOAGGREGATION;
    if (desc == NULL || desc->dwSize != sizeof *desc)
      return DDERR_INVALIDPARAMS;
    if (cooperativeLevel_ == 0)
      return DDERR_NOCOOPERATIVELEVELSET;
    if (!(desc->dwFlags & DDSD_CAPS))
      desc->ddsCaps.dwCaps = 0;
    DWORD caps = desc->ddsCaps.dwCaps;
    const EmulatedDisplay &display = Display();

    if (caps & DDSCAPS_PRIMARYSURFACE) {
      if (desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT))
        return DDERR_INVALIDPARAMS;
      bool flipChain = (caps & DDSCAPS_FLIP) != 0;
      if (flipChain) {
        if (!(caps & DDSCAPS_COMPLEX) ||
            !(desc->dwFlags & DDSD_BACKBUFFERCOUNT) ||
            desc->dwBackBufferCount == 0)
          return DDERR_INVALIDCAPS;
        if (display.exclusiveOwner != this)
          return DDERR_NOEXCLUSIVEMODE;
      }
      Surface *primary = new Surface(
          display.width, display.height, display.format,
          caps | DDSCAPS_VISIBLE | (flipChain ? DDSCAPS_FRONTBUFFER : 0));
      if (flipChain) {
        Surface *back =
            new Surface(display.width, display.height, display.format,
                        DDSCAPS_BACKBUFFER | DDSCAPS_FLIP | DDSCAPS_COMPLEX |
                            DDSCAPS_VIDEOMEMORY);
        primary->AttachBackBuffer(back);
        if (!primary->Allocate() || !back->Allocate()) {
          primary->Release();
          return DDERR_OUTOFVIDEOMEMORY;
        }
      }
      *out = primary;
      return DD_OK;
    }

    if (caps & (DDSCAPS_FLIP | DDSCAPS_BACKBUFFER))
      return DDERR_INVALIDCAPS;
    if ((desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) !=
            (DDSD_WIDTH | DDSD_HEIGHT) ||
        desc->dwWidth == 0 || desc->dwHeight == 0)
      return DDERR_INVALIDPARAMS;
    if (desc->dwWidth > kMaxDimension || desc->dwHeight > kMaxDimension)
      return DDERR_OUTOFMEMORY;
    PixelFormat format = display.format;
    if (desc->dwFlags & DDSD_PIXELFORMAT) {
      const DDPIXELFORMAT &wanted = desc->ddpfPixelFormat;
      if (!(wanted.dwFlags & DDPF_RGB))
        return DDERR_INVALIDPIXELFORMAT;
      format = PixelFormat{wanted.dwRGBBitCount, wanted.dwRBitMask,
                           wanted.dwGBitMask, wanted.dwBBitMask};
      if (format.bits != 8 && format.bits != 16 && format.bits != 24 &&
          format.bits != 32)
        return DDERR_INVALIDPIXELFORMAT;
    }
    // Without a memory request the stand-in still keeps plain surfaces in
    // system memory: it has no other kind.
    if (!(caps & (DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY)))
      caps |= DDSCAPS_SYSTEMMEMORY;
    Surface *surface = new Surface(desc->dwWidth, desc->dwHeight, format, caps);
    if (!surface->Allocate()) {
      surface->Release();
      return DDERR_OUTOFMEMORY;
    }
    *out = surface;
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE GetCaps(LPDDCAPS driver, LPDDCAPS hel) override {
    if (driver == NULL && hel == NULL)
      return DDERR_INVALIDPARAMS;
    LPDDCAPS records[] = {driver, hel};
    for (LPDDCAPS caps : records) {
      if (caps == NULL)
        continue;
      // The sizes of the DirectX 3, 5 and 6 records.
      if (caps->dwSize != 316 && caps->dwSize != sizeof(DDCAPS) &&
          caps->dwSize != 380)
        return DDERR_INVALIDPARAMS;
    }
    for (LPDDCAPS caps : records) {
      if (caps == NULL)
        continue;
      DWORD size = caps->dwSize;
      memset(caps, 0, std::min<size_t>(size, sizeof(DDCAPS)));
      caps->dwSize = size;
      caps->dwCaps = 0x00000040 | 0x04000000 | 0x00000200; // blt, fill, stretch
    }
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE GetDisplayMode(LPDDSURFACEDESC desc) override {
    if (desc == NULL || desc->dwSize != sizeof *desc)
      return DDERR_INVALIDPARAMS;
    const EmulatedDisplay &display = Display();
    memset(desc, 0, sizeof *desc);
    desc->dwSize = sizeof *desc;
    desc->dwFlags = DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | DDSD_PITCH;
    desc->dwWidth = display.width;
    desc->dwHeight = display.height;
    desc->lPitch = static_cast<LONG>(display.width * display.format.bits / 8);
    desc->ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    desc->ddpfPixelFormat.dwFlags = DDPF_RGB;
    desc->ddpfPixelFormat.dwRGBBitCount = display.format.bits;
    desc->ddpfPixelFormat.dwRBitMask = display.format.red;
    desc->ddpfPixelFormat.dwGBitMask = display.format.green;
    desc->ddpfPixelFormat.dwBBitMask = display.format.blue;
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE RestoreDisplayMode() override {
    if (Display().exclusiveOwner != NULL && Display().exclusiveOwner != this)
      return DDERR_NOEXCLUSIVEMODE;
    RestoreDesktopMode();
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND handle,
                                                DWORD flags) override {
    EmulatedDisplay &display = Display();
    bool exclusive = (flags & DDSCL_EXCLUSIVE) != 0;
    bool fullScreen = (flags & DDSCL_FULLSCREEN) != 0;
    if (exclusive != fullScreen || (exclusive && (flags & DDSCL_NORMAL)) ||
        (!exclusive && !(flags & DDSCL_NORMAL)))
      return DDERR_INVALIDPARAMS;
    SDL_Window *window = WindowFromHandle(handle);
    if (handle != NULL && window == NULL)
      return DDERR_INVALIDPARAMS;
    if (exclusive) {
      if (window == NULL)
        return DDERR_INVALIDPARAMS;
      if (display.exclusiveOwner != NULL && display.exclusiveOwner != this)
        return DDERR_EXCLUSIVEMODEALREADYSET;
      if (display.exclusiveWindow != window)
        CoverScreen(window);
      display.exclusiveOwner = this;
      display.exclusiveWindow = window;
    } else {
      LeaveExclusiveMode();
    }
    cooperativeLevel_ = flags;
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD width, DWORD height,
                                           DWORD bpp) override {
    EmulatedDisplay &display = Display();
    if (display.exclusiveOwner != NULL && display.exclusiveOwner != this)
      return DDERR_NOEXCLUSIVEMODE;
    // What the real platform answers for a zero size.
    if (width == 0 || height == 0)
      return DD_OK;
    if (width > kMaxDimension || height > kMaxDimension ||
        (bpp != 8 && bpp != 15 && bpp != 16 && bpp != 24 && bpp != 32))
      return DDERR_UNSUPPORTED;
    display.width = width;
    display.height = height;
    display.format = FormatForDepth(bpp);
    return DD_OK;
  }

private:
  // The window covers its screen, borderless: what SDL's full-screen flag
  // promises, done directly so that it holds without a window manager.
  static void CoverScreen(SDL_Window *window) {
    EmulatedDisplay &display = Display();
    SDL_GetWindowPosition(window, &display.windowedPlace.x,
                          &display.windowedPlace.y);
    SDL_GetWindowSize(window, &display.windowedPlace.w,
                      &display.windowedPlace.h);
    display.windowedBorder =
        !(SDL_GetWindowFlags(window) & SDL_WINDOW_BORDERLESS);
    SDL_Rect screen;
    if (SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(window), &screen) != 0)
      return;
    SDL_SetWindowBordered(window, SDL_FALSE);
    SDL_SetWindowPosition(window, screen.x, screen.y);
    SDL_SetWindowSize(window, screen.w, screen.h);
    SDL_RaiseWindow(window);
  }

  void LeaveExclusiveMode() {
    EmulatedDisplay &display = Display();
    if (display.exclusiveOwner != this)
      return;
    SDL_Window *window = display.exclusiveWindow;
    if (WindowFromHandle(window) != NULL) {
      const SDL_Rect &place = display.windowedPlace;
      SDL_SetWindowSize(window, place.w, place.h);
      SDL_SetWindowPosition(window, place.x, place.y);
      SDL_SetWindowBordered(window,
                            display.windowedBorder ? SDL_TRUE : SDL_FALSE);
    }
    display.exclusiveOwner = NULL;
    display.exclusiveWindow = NULL;
    display.exclusiveWindowInBack = false;
    RestoreDesktopMode();
  }

  friend class DirectDraw2;
  ULONG references_ = 1;
  DWORD cooperativeLevel_ = 0;
  DirectDraw2 second_;
};

HRESULT DirectDraw2::QueryInterface(REFIID riid, void **out) {
  return owner_->QueryInterface(riid, out);
}
ULONG DirectDraw2::AddRef() { return ++references; }
ULONG DirectDraw2::Release() {
  ULONG left = --references;
  owner_->DeleteIfUnused();
  return left;
}
HRESULT DirectDraw2::SetCooperativeLevel(HWND window, DWORD flags) {
  return owner_->SetCooperativeLevel(window, flags);
}
HRESULT DirectDraw2::SetDisplayMode(DWORD width, DWORD height, DWORD bpp, DWORD,
                                    DWORD) {
  return owner_->SetDisplayMode(width, height, bpp);
}
HRESULT DirectDraw2::CreateSurface(LPDDSURFACEDESC desc,
                                   LPDIRECTDRAWSURFACE *surface,
                                   IUnknown *outer) {
  return owner_->CreateSurface(desc, surface, outer);
}
HRESULT DirectDraw2::CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER *clipper,
                                   IUnknown *outer) {
  return owner_->CreateClipper(flags, clipper, outer);
}

PixelFormat DesktopFormat() {
  const char *setting = getenv("LURN_STANDIN_DESKTOP");
  if (setting != NULL && strcmp(setting, "555") == 0)
    return PixelFormat{16, 0x7C00, 0x03E0, 0x001F};
  if (setting != NULL && strcmp(setting, "32") == 0)
    return PixelFormat{32, 0xFF0000, 0x00FF00, 0x0000FF};
  return PixelFormat{16, 0xF800, 0x07E0, 0x001F};
}

} // namespace

EmulatedDisplay &Display() {
  static EmulatedDisplay display;
  return display;
}

void CheckExclusiveFocus() {
  EmulatedDisplay &display = Display();
  bool inBack =
      display.exclusiveWindow != NULL && !HasFocus(display.exclusiveWindow);
  if (inBack && !display.exclusiveWindowInBack)
    ++display.lossEpoch;
  display.exclusiveWindowInBack = inBack;
}

void RestoreDesktopMode() {
  EmulatedDisplay &display = Display();
  display.width = display.desktopWidth;
  display.height = display.desktopHeight;
  display.format = display.desktopFormat;
}

HRESULT WINAPI DirectDrawCreate(GUID *driver, LPDIRECTDRAW *out,
                                IUnknown *outer) {
  if (out == NULL)
    return DDERR_INVALIDPARAMS;
  *out = NULL;
  if (outer != NULL)
    return CLASS_E_NOAGGREGATION;
  if (driver != NULL)
    return DDERR_INVALIDPARAMS;
  EmulatedDisplay &display = Display();
  if (display.exclusiveOwner == NULL) {
    // The desktop is read afresh while nobody holds the display.
    SDL_DisplayMode mode;
    display.desktopWidth = 1024;
    display.desktopHeight = 768;
    if (SDL_WasInit(SDL_INIT_VIDEO) &&
        SDL_GetDesktopDisplayMode(0, &mode) == 0) {
      display.desktopWidth = DWORD(mode.w);
      display.desktopHeight = DWORD(mode.h);
    }
    display.desktopFormat = DesktopFormat();
    RestoreDesktopMode();
  }
  WatchEvents(); // for the focus, which video memory depends on
  // Window surfaces are plain memory: SDL's GL-backed ones would copy each
  // frame through a texture.
  SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0",
                          SDL_HINT_DEFAULT);
  *out = new DirectDraw;
  return DD_OK;
}
