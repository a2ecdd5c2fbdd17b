// The stand-in's DirectDraw object: an emulated display on its host, its
// cooperative levels and modes, answering with the result codes the real
// platform gives. Surfaces and clippers are in surfaces.cpp.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "com_defaults.h"
#include "present/frame_policy.h"
#include "standin.h"
#include "surfaces.h"

namespace {

const DWORD kMaxDimension = 16384;

struct Size {
  DWORD width, height;
};

// The sizes a virtual desktop on Wine offers, those that fit the desktop,
// with the desktop's own size. 4:3, 5:4, 16:9, 16:10.
const Size kModeSizes[] = {
    {320, 240},   {400, 300},   {512, 384},   {640, 480},   {768, 576},
    {800, 600},   {1024, 768},  {1152, 864},  {1280, 960},  {1400, 1050},
    {1600, 1200}, {2048, 1536}, {1280, 1024}, {2560, 2048}, {1280, 720},
    {1366, 768},  {1600, 900},  {1920, 1080}, {2560, 1440}, {3840, 2160},
    {320, 200},   {640, 400},   {1280, 800},  {1440, 900},  {1680, 1050},
    {1920, 1200}, {2560, 1600},
};

bool ModeListed(DWORD width, DWORD height) {
  for (const Size &size : kModeSizes)
    if (size.width == width && size.height == height)
      return true;
  return false;
}

// With LURN_STANDIN_ANYMODE=1 (`anyMode`), any size up to kMaxDimension,
// as a display that lists every mode would.
bool ModeOnOffer(DWORD width, DWORD height, DWORD bits, bool anyMode) {
  const EmulatedDisplay &display = Display();
  // Depth 0 keeps the current depth; 15 and 24 are matched to a listed
  // depth; 32 is listed only on a 32-bit desktop. Wine answers so.
  if (bits == 32 && display.desktopFormat.bits != 32)
    return false;
  if (anyMode)
    return true;
  if (width == display.desktopWidth && height == display.desktopHeight)
    return true;
  return ModeListed(width, height) && width <= display.desktopWidth &&
         height <= display.desktopHeight;
}

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

// A mode as GetDisplayMode and EnumDisplayModes describe it.
void DescribeMode(LPDDSURFACEDESC desc, DWORD width, DWORD height,
                  const PixelFormat &format) {
  memset(desc, 0, sizeof *desc);
  desc->dwSize = sizeof *desc;
  desc->dwFlags = DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | DDSD_PITCH;
  desc->dwWidth = width;
  desc->dwHeight = height;
  desc->lPitch = static_cast<LONG>(width * format.bits / 8);
  desc->ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
  desc->ddpfPixelFormat.dwFlags = DDPF_RGB;
  desc->ddpfPixelFormat.dwRGBBitCount = format.bits;
  desc->ddpfPixelFormat.dwRBitMask = format.red;
  desc->ddpfPixelFormat.dwGBitMask = format.green;
  desc->ddpfPixelFormat.dwBBitMask = format.blue;
}

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
  explicit DirectDraw(const Settings &settings)
      : settings_(settings), second_(this) {}
  ~DirectDraw() {
    LeaveExclusiveMode();
    ForgetAltEnter(altEnter_, windowId_);
    if (settings_.hideCursor)
      ShowSystemCursor(); // the display that hid it is gone
  }

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
    *out = NewClipper();
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
    DisplayLock hold;
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
      if (flipChain)
        return NewFlipChain(display.width, display.height, display.format, caps,
                            settings_, out);
      *out = NewWindowedPrimary(display.width, display.height, display.format,
                                caps, settings_);
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
    return NewSurface(desc->dwWidth, desc->dwHeight, format, caps, out);
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
    DisplayLock hold;
    if (desc == NULL || desc->dwSize != sizeof *desc)
      return DDERR_INVALIDPARAMS;
    const EmulatedDisplay &display = Display();
    DescribeMode(desc, display.width, display.height, display.format);
    return DD_OK;
  }

  // The modes SetDisplayMode takes, by depth, each size once; with
  // LURN_STANDIN_ANYMODE=1 the usual sizes stand for all of them.
  HRESULT STDMETHODCALLTYPE
  EnumDisplayModes(DWORD, LPDDSURFACEDESC, LPVOID context,
                   LPDDENUMMODESCALLBACK callback) override {
    if (callback == NULL)
      return DDERR_INVALIDPARAMS;
    DisplayLock hold;
    const EmulatedDisplay &display = Display();
    std::vector<Size> sizes(std::begin(kModeSizes), std::end(kModeSizes));
    if (!ModeListed(display.desktopWidth, display.desktopHeight))
      sizes.push_back(Size{display.desktopWidth, display.desktopHeight});
    for (DWORD bits : {8u, 16u, 32u})
      for (const Size &size : sizes) {
        if (!ModeOnOffer(size.width, size.height, bits, settings_.anyMode))
          continue;
        DDSURFACEDESC desc;
        DescribeMode(&desc, size.width, size.height, FormatForDepth(bits));
        if (callback(&desc, context) == DDENUMRET_CANCEL)
          return DD_OK;
      }
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE RestoreDisplayMode() override {
    DisplayLock hold;
    if (Display().exclusiveOwner != NULL && Display().exclusiveOwner != this)
      return DDERR_NOEXCLUSIVEMODE;
    RestoreDesktopMode();
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND handle,
                                                DWORD flags) override {
    DisplayLock hold;
    EmulatedDisplay &display = Display();
    bool exclusive = (flags & DDSCL_EXCLUSIVE) != 0;
    bool fullScreen = (flags & DDSCL_FULLSCREEN) != 0;
    if (exclusive != fullScreen || (exclusive && (flags & DDSCL_NORMAL)) ||
        (!exclusive && !(flags & DDSCL_NORMAL)))
      return DDERR_INVALIDPARAMS;
    uint32_t windowId = WindowIdFromHandle(handle);
    if (handle != NULL && windowId == 0)
      return DDERR_INVALIDPARAMS;
    if (exclusive) {
      if (windowId == 0)
        return DDERR_INVALIDPARAMS;
      if (display.exclusiveOwner != NULL && display.exclusiveOwner != this)
        return DDERR_EXCLUSIVEMODEALREADYSET;
      if (display.exclusiveWindowId != windowId)
        CoverScreen(windowId);
      display.exclusiveOwner = this;
      display.exclusiveWindowId = windowId;
      display.exclusiveScale = ScaleFor(settings_.scale, true);
    } else {
      LeaveExclusiveMode();
    }
    cooperativeLevel_ = flags;
    if (windowId != windowId_ || altEnter_ == NULL) {
      ForgetAltEnter(altEnter_, windowId_);
      altEnter_ =
          settings_.altEnter && windowId != 0 ? HoldAltEnter(windowId) : NULL;
    }
    windowId_ = windowId;
    return DD_OK;
  }

  HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD width, DWORD height,
                                           DWORD bpp) override {
    DisplayLock hold;
    EmulatedDisplay &display = Display();
    if (display.exclusiveOwner != NULL && display.exclusiveOwner != this)
      return DDERR_NOEXCLUSIVEMODE;
    // What the real platform answers for a zero size.
    if (width == 0 || height == 0)
      return DD_OK;
    if (width > kMaxDimension || height > kMaxDimension ||
        (bpp != 0 && bpp != 8 && bpp != 15 && bpp != 16 && bpp != 24 &&
         bpp != 32) ||
        !ModeOnOffer(width, height, bpp, settings_.anyMode))
      return DDERR_UNSUPPORTED;
    display.width = width;
    display.height = height;
    if (bpp != 0)
      display.format = FormatForDepth(bpp);
    return DD_OK;
  }

private:
  void LeaveExclusiveMode() {
    DisplayLock hold;
    EmulatedDisplay &display = Display();
    if (display.exclusiveOwner != this)
      return;
    PutWindowBack(display.exclusiveWindowId);
    display.exclusiveOwner = NULL;
    display.exclusiveWindowId = 0;
    display.exclusiveWindowInBack = false;
    RestoreDesktopMode();
  }

  friend class DirectDraw2;
  ULONG references_ = 1;
  DWORD cooperativeLevel_ = 0;
  uint32_t windowId_ = 0;           // the window of the cooperative level
  WindowAltEnter *altEnter_ = NULL; // its hold on the window's Alt+Enter
  Settings settings_;               // read once, when the object is made
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

PixelFormat DesktopFormat(StandinDesktop desktop) {
  if (desktop == kDesktop555)
    return PixelFormat{16, 0x7C00, 0x03E0, 0x001F};
  if (desktop == kDesktop32)
    return PixelFormat{32, 0xFF0000, 0x00FF00, 0x0000FF};
  return PixelFormat{16, 0xF800, 0x07E0, 0x001F};
}

} // namespace

std::recursive_mutex &DisplayMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

DisplayLock::DisplayLock() { DisplayMutex().lock(); }
DisplayLock::~DisplayLock() { DisplayMutex().unlock(); }

uint32_t ExclusiveWindowId() {
  DisplayLock hold;
  return Display().exclusiveWindowId;
}

EmulatedDisplay &Display() {
  static EmulatedDisplay display;
  return display;
}

void CheckExclusiveFocus() {
  EmulatedDisplay &display = Display();
  // A destroyed window has no focus: its video memory is lost for good.
  bool inBack =
      display.exclusiveWindowId != 0 && !HasFocus(display.exclusiveWindowId);
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
  Settings settings = ReadSettings();
  DisplayLock hold;
  EmulatedDisplay &display = Display();
  if (display.exclusiveOwner == NULL) {
    // The desktop is read afresh while nobody holds the display.
    if (!ReadDesktopSize(display.desktopWidth, display.desktopHeight)) {
      display.desktopWidth = 1024;
      display.desktopHeight = 768;
    }
    display.desktopFormat = DesktopFormat(settings.desktop);
    RestoreDesktopMode();
  }
  ForgetDeadWindows();
  WatchEvents(); // for the focus, which video memory depends on
  *out = new DirectDraw(settings);
  return DD_OK;
}
