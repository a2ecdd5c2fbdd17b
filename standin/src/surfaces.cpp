// The stand-in's surfaces and clippers: system-memory pixels, a flip chain,
// loss of video memory with the exclusive window's focus, and the blits that
// put a surface on the host's window.
#include <algorithm>
#include <atomic>
#include <vector>

#include "com_defaults.h"
#include "counted.h"
#include "standin.h"
#include "surfaces.h"

namespace {

const size_t kMaxSurfaceBytes = size_t(1) << 30;

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
    if (flags != 0 || (window != NULL && WindowIdFromHandle(window) == 0))
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
    pitch_ = (width * BytesPerPixel() + 7) & ~7u; // as on Wine
    losable_ = !(caps & DDSCAPS_SYSTEMMEMORY);
    DisplayLock hold;
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
  void UseSettings(const Settings &settings) { settings_ = settings; }
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
    uint32_t window =
        clipper != NULL ? WindowIdFromHandle(clipper->window()) : 0;
    if ((caps_ & DDSCAPS_PRIMARYSURFACE) && window != 0) {
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
    // The flip ends a frame: the focus it checks is at most a frame old.
    PumpOncePerRound(pumpsSeen_);
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
    if (rect != NULL && !Contains(*rect))
      return DDERR_INVALIDPARAMS;
    if (!EnsureMemory())
      return DDERR_OUTOFMEMORY;
    // Taken in one step: of two threads locking at once, one is refused.
    if (locked_.exchange(true))
      return DDERR_SURFACEBUSY;
    Describe(desc);
    unsigned char *bits = memory_.data();
    if (rect != NULL)
      bits += size_t(rect->top) * pitch_ + size_t(rect->left) * BytesPerPixel();
    desc->lpSurface = bits;
    return DD_OK;
  }
  // Video memory comes back only while the exclusive window is in front;
  // restoring a chain's front buffer restores the chain.
  HRESULT STDMETHODCALLTYPE Restore() override {
    if (!Lost())
      return DD_OK;
    {
      DisplayLock hold;
      if (Display().exclusiveWindowInBack)
        return DDERR_WRONGMODE;
      epoch_ = Display().lossEpoch;
    }
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
    if (!locked_.exchange(false))
      return DDERR_NOTLOCKED;
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
    DisplayLock hold;
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
    TargetPixels pixels = {memory_.data(), int(width_), int(height_),
                           int(pitch_), format_};
    Rect rect = {area.left, area.top, area.right - area.left,
                 area.bottom - area.top};
    FillPixels(pixels, rect, fx->dwFillColor);
    return DD_OK;
  }

  Pixels View() const {
    Pixels pixels = {memory_.data(), int(width_), int(height_), int(pitch_),
                     format_};
    return pixels;
  }

  void PresentToWindow(Surface &from, const RECT &in, const RECT &out,
                       uint32_t window) {
    if (!from.EnsureMemory())
      return;
    Rect fromRect = {in.left, in.top, in.right - in.left, in.bottom - in.top};
    ShowOnWindow(window, from.View(), fromRect, &out, settings_, scratch_);
  }

  // The new front buffer on the exclusive window.
  void ShowFront() {
    Rect fromRect = {0, 0, int(width_), int(height_)};
    ShowOnWindow(ExclusiveWindowId(), View(), fromRect, NULL, settings_,
                 scratch_);
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
  std::atomic<bool> locked_{false};
  bool losable_;
  unsigned epoch_;
  IDirectDrawClipper *clipper_ = NULL;
  Surface *backBuffer_ = NULL; // owned by the chain's front buffer
  Surface *front_ = NULL;
  // A primary's: the settings of the display it belongs to, and what its
  // presents and flips keep between calls.
  Settings settings_ = Settings();
  PresentScratch scratch_;
  unsigned pumpsSeen_ = 0; // by the flip, see PumpOncePerRound
};

} // namespace

IDirectDrawClipper *NewClipper() { return new Clipper; }

HRESULT NewSurface(DWORD width, DWORD height, const PixelFormat &format,
                   DWORD caps, LPDIRECTDRAWSURFACE *out) {
  Surface *surface = new Surface(width, height, format, caps);
  if (!surface->Allocate()) {
    surface->Release();
    return DDERR_OUTOFMEMORY;
  }
  *out = surface;
  return DD_OK;
}

LPDIRECTDRAWSURFACE NewWindowedPrimary(DWORD width, DWORD height,
                                       const PixelFormat &format, DWORD caps,
                                       const Settings &settings) {
  Surface *primary = new Surface(width, height, format, caps | DDSCAPS_VISIBLE);
  primary->UseSettings(settings);
  return primary;
}

HRESULT NewFlipChain(DWORD width, DWORD height, const PixelFormat &format,
                     DWORD caps, const Settings &settings,
                     LPDIRECTDRAWSURFACE *out) {
  Surface *primary = new Surface(width, height, format,
                                 caps | DDSCAPS_VISIBLE | DDSCAPS_FRONTBUFFER);
  primary->UseSettings(settings);
  Surface *back = new Surface(width, height, format,
                              DDSCAPS_BACKBUFFER | DDSCAPS_FLIP |
                                  DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY);
  primary->AttachBackBuffer(back);
  if (!primary->Allocate() || !back->Allocate()) {
    primary->Release();
    return DDERR_OUTOFVIDEOMEMORY;
  }
  *out = primary;
  return DD_OK;
}
