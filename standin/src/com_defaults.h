// Bases for implementations of the platform's COM interfaces: every method
// answers E_NOTIMPL (DDERR_UNSUPPORTED) until a subclass provides it. The
// stand-in and the test fakes both build on them, against the stand-in's
// declarations natively and the real headers on Windows.
#ifndef LURN_COM_DEFAULTS_H
#define LURN_COM_DEFAULTS_H

#include <ddraw.h>
#include <dinput.h>

#define LURN_UNSUPPORTED(name, params)                                         \
  HRESULT STDMETHODCALLTYPE name params override { return E_NOTIMPL; }

struct DirectDrawDefaults : IDirectDraw {
  LURN_UNSUPPORTED(Compact, ())
  LURN_UNSUPPORTED(CreateClipper, (DWORD, LPDIRECTDRAWCLIPPER *, IUnknown *))
  LURN_UNSUPPORTED(CreatePalette,
                   (DWORD, LPPALETTEENTRY, LPDIRECTDRAWPALETTE *, IUnknown *))
  LURN_UNSUPPORTED(CreateSurface,
                   (LPDDSURFACEDESC, LPDIRECTDRAWSURFACE *, IUnknown *))
  LURN_UNSUPPORTED(DuplicateSurface,
                   (LPDIRECTDRAWSURFACE, LPDIRECTDRAWSURFACE *))
  LURN_UNSUPPORTED(EnumDisplayModes,
                   (DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMMODESCALLBACK))
  LURN_UNSUPPORTED(EnumSurfaces,
                   (DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMSURFACESCALLBACK))
  LURN_UNSUPPORTED(FlipToGDISurface, ())
  LURN_UNSUPPORTED(GetCaps, (LPDDCAPS, LPDDCAPS))
  LURN_UNSUPPORTED(GetDisplayMode, (LPDDSURFACEDESC))
  LURN_UNSUPPORTED(GetFourCCCodes, (LPDWORD, LPDWORD))
  LURN_UNSUPPORTED(GetGDISurface, (LPDIRECTDRAWSURFACE *))
  LURN_UNSUPPORTED(GetMonitorFrequency, (LPDWORD))
  LURN_UNSUPPORTED(GetScanLine, (LPDWORD))
  LURN_UNSUPPORTED(GetVerticalBlankStatus, (WINBOOL *))
  LURN_UNSUPPORTED(Initialize, (GUID *))
  LURN_UNSUPPORTED(RestoreDisplayMode, ())
  LURN_UNSUPPORTED(SetCooperativeLevel, (HWND, DWORD))
  LURN_UNSUPPORTED(SetDisplayMode, (DWORD, DWORD, DWORD))
  LURN_UNSUPPORTED(WaitForVerticalBlank, (DWORD, HANDLE))
};

struct DirectDraw2Defaults : IDirectDraw2 {
  LURN_UNSUPPORTED(Compact, ())
  LURN_UNSUPPORTED(CreateClipper, (DWORD, LPDIRECTDRAWCLIPPER *, IUnknown *))
  LURN_UNSUPPORTED(CreatePalette,
                   (DWORD, LPPALETTEENTRY, LPDIRECTDRAWPALETTE *, IUnknown *))
  LURN_UNSUPPORTED(CreateSurface,
                   (LPDDSURFACEDESC, LPDIRECTDRAWSURFACE *, IUnknown *))
  LURN_UNSUPPORTED(DuplicateSurface,
                   (LPDIRECTDRAWSURFACE, LPDIRECTDRAWSURFACE *))
  LURN_UNSUPPORTED(EnumDisplayModes,
                   (DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMMODESCALLBACK))
  LURN_UNSUPPORTED(EnumSurfaces,
                   (DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMSURFACESCALLBACK))
  LURN_UNSUPPORTED(FlipToGDISurface, ())
  LURN_UNSUPPORTED(GetCaps, (LPDDCAPS, LPDDCAPS))
  LURN_UNSUPPORTED(GetDisplayMode, (LPDDSURFACEDESC))
  LURN_UNSUPPORTED(GetFourCCCodes, (LPDWORD, LPDWORD))
  LURN_UNSUPPORTED(GetGDISurface, (LPDIRECTDRAWSURFACE *))
  LURN_UNSUPPORTED(GetMonitorFrequency, (LPDWORD))
  LURN_UNSUPPORTED(GetScanLine, (LPDWORD))
  LURN_UNSUPPORTED(GetVerticalBlankStatus, (WINBOOL *))
  LURN_UNSUPPORTED(Initialize, (GUID *))
  LURN_UNSUPPORTED(RestoreDisplayMode, ())
  LURN_UNSUPPORTED(SetCooperativeLevel, (HWND, DWORD))
  LURN_UNSUPPORTED(SetDisplayMode, (DWORD, DWORD, DWORD, DWORD, DWORD))
  LURN_UNSUPPORTED(WaitForVerticalBlank, (DWORD, HANDLE))
  LURN_UNSUPPORTED(GetAvailableVidMem, (LPDDSCAPS, LPDWORD, LPDWORD))
};

struct SurfaceDefaults : IDirectDrawSurface {
  LURN_UNSUPPORTED(AddAttachedSurface, (LPDIRECTDRAWSURFACE))
  LURN_UNSUPPORTED(AddOverlayDirtyRect, (LPRECT))
  LURN_UNSUPPORTED(Blt, (LPRECT, LPDIRECTDRAWSURFACE, LPRECT, DWORD, LPDDBLTFX))
  LURN_UNSUPPORTED(BltBatch, (LPDDBLTBATCH, DWORD, DWORD))
  LURN_UNSUPPORTED(BltFast, (DWORD, DWORD, LPDIRECTDRAWSURFACE, LPRECT, DWORD))
  LURN_UNSUPPORTED(DeleteAttachedSurface, (DWORD, LPDIRECTDRAWSURFACE))
  LURN_UNSUPPORTED(EnumAttachedSurfaces, (LPVOID, LPDDENUMSURFACESCALLBACK))
  LURN_UNSUPPORTED(EnumOverlayZOrders,
                   (DWORD, LPVOID, LPDDENUMSURFACESCALLBACK))
  LURN_UNSUPPORTED(Flip, (LPDIRECTDRAWSURFACE, DWORD))
  LURN_UNSUPPORTED(GetAttachedSurface, (LPDDSCAPS, LPDIRECTDRAWSURFACE *))
  LURN_UNSUPPORTED(GetBltStatus, (DWORD))
  LURN_UNSUPPORTED(GetCaps, (LPDDSCAPS))
  LURN_UNSUPPORTED(GetClipper, (LPDIRECTDRAWCLIPPER *))
  LURN_UNSUPPORTED(GetColorKey, (DWORD, LPDDCOLORKEY))
  LURN_UNSUPPORTED(GetDC, (HDC *))
  LURN_UNSUPPORTED(GetFlipStatus, (DWORD))
  LURN_UNSUPPORTED(GetOverlayPosition, (LPLONG, LPLONG))
  LURN_UNSUPPORTED(GetPalette, (LPDIRECTDRAWPALETTE *))
  LURN_UNSUPPORTED(GetPixelFormat, (LPDDPIXELFORMAT))
  LURN_UNSUPPORTED(GetSurfaceDesc, (LPDDSURFACEDESC))
  LURN_UNSUPPORTED(Initialize, (LPDIRECTDRAW, LPDDSURFACEDESC))
  LURN_UNSUPPORTED(IsLost, ())
  LURN_UNSUPPORTED(Lock, (LPRECT, LPDDSURFACEDESC, DWORD, HANDLE))
  LURN_UNSUPPORTED(ReleaseDC, (HDC))
  LURN_UNSUPPORTED(Restore, ())
  LURN_UNSUPPORTED(SetClipper, (LPDIRECTDRAWCLIPPER))
  LURN_UNSUPPORTED(SetColorKey, (DWORD, LPDDCOLORKEY))
  LURN_UNSUPPORTED(SetOverlayPosition, (LONG, LONG))
  LURN_UNSUPPORTED(SetPalette, (LPDIRECTDRAWPALETTE))
  LURN_UNSUPPORTED(Unlock, (LPVOID))
  LURN_UNSUPPORTED(UpdateOverlay,
                   (LPRECT, LPDIRECTDRAWSURFACE, LPRECT, DWORD, LPDDOVERLAYFX))
  LURN_UNSUPPORTED(UpdateOverlayDisplay, (DWORD))
  LURN_UNSUPPORTED(UpdateOverlayZOrder, (DWORD, LPDIRECTDRAWSURFACE))
};

struct ClipperDefaults : IDirectDrawClipper {
  LURN_UNSUPPORTED(GetClipList, (LPRECT, LPRGNDATA, LPDWORD))
  LURN_UNSUPPORTED(GetHWnd, (HWND *))
  LURN_UNSUPPORTED(Initialize, (LPDIRECTDRAW, DWORD))
  LURN_UNSUPPORTED(IsClipListChanged, (WINBOOL *))
  LURN_UNSUPPORTED(SetClipList, (LPRGNDATA, DWORD))
  LURN_UNSUPPORTED(SetHWnd, (DWORD, HWND))
};

struct DirectInputDefaults : IDirectInputA {
  LURN_UNSUPPORTED(CreateDevice, (REFGUID, LPDIRECTINPUTDEVICEA *, LPUNKNOWN))
  LURN_UNSUPPORTED(EnumDevices,
                   (DWORD, LPDIENUMDEVICESCALLBACKA, LPVOID, DWORD))
  LURN_UNSUPPORTED(GetDeviceStatus, (REFGUID))
  LURN_UNSUPPORTED(RunControlPanel, (HWND, DWORD))
  LURN_UNSUPPORTED(Initialize, (HINSTANCE, DWORD))
};

struct InputDeviceDefaults : IDirectInputDeviceA {
  LURN_UNSUPPORTED(GetCapabilities, (LPDIDEVCAPS))
  LURN_UNSUPPORTED(EnumObjects, (LPDIENUMDEVICEOBJECTSCALLBACKA, LPVOID, DWORD))
  LURN_UNSUPPORTED(GetProperty, (REFGUID, LPDIPROPHEADER))
  LURN_UNSUPPORTED(SetProperty, (REFGUID, LPCDIPROPHEADER))
  LURN_UNSUPPORTED(Acquire, ())
  LURN_UNSUPPORTED(Unacquire, ())
  LURN_UNSUPPORTED(GetDeviceState, (DWORD, LPVOID))
  LURN_UNSUPPORTED(GetDeviceData, (DWORD, LPDIDEVICEOBJECTDATA, LPDWORD, DWORD))
  LURN_UNSUPPORTED(SetDataFormat, (LPCDIDATAFORMAT))
  LURN_UNSUPPORTED(SetEventNotification, (HANDLE))
  LURN_UNSUPPORTED(SetCooperativeLevel, (HWND, DWORD))
  LURN_UNSUPPORTED(GetObjectInfo, (LPDIDEVICEOBJECTINSTANCEA, DWORD, DWORD))
  LURN_UNSUPPORTED(GetDeviceInfo, (LPDIDEVICEINSTANCEA))
  LURN_UNSUPPORTED(RunControlPanel, (HWND, DWORD))
  LURN_UNSUPPORTED(Initialize, (HINSTANCE, DWORD, REFGUID))
};

#if defined(_WIN32)
// The later surface interfaces, which the library asks for only to give a
// system-memory surface memory of its own (SetSurfaceDesc, SetPrivateData).
#define LURN_LATER_SURFACE(Surface, Desc, Caps, Enum, UnlockArgument)          \
  LURN_UNSUPPORTED(AddAttachedSurface, (Surface))                              \
  LURN_UNSUPPORTED(AddOverlayDirtyRect, (LPRECT))                              \
  LURN_UNSUPPORTED(Blt, (LPRECT, Surface, LPRECT, DWORD, LPDDBLTFX))           \
  LURN_UNSUPPORTED(BltBatch, (LPDDBLTBATCH, DWORD, DWORD))                     \
  LURN_UNSUPPORTED(BltFast, (DWORD, DWORD, Surface, LPRECT, DWORD))            \
  LURN_UNSUPPORTED(DeleteAttachedSurface, (DWORD, Surface))                    \
  LURN_UNSUPPORTED(EnumAttachedSurfaces, (LPVOID, Enum))                       \
  LURN_UNSUPPORTED(EnumOverlayZOrders, (DWORD, LPVOID, Enum))                  \
  LURN_UNSUPPORTED(Flip, (Surface, DWORD))                                     \
  LURN_UNSUPPORTED(GetAttachedSurface, (Caps, Surface *))                      \
  LURN_UNSUPPORTED(GetBltStatus, (DWORD))                                      \
  LURN_UNSUPPORTED(GetCaps, (Caps))                                            \
  LURN_UNSUPPORTED(GetClipper, (LPDIRECTDRAWCLIPPER *))                        \
  LURN_UNSUPPORTED(GetColorKey, (DWORD, LPDDCOLORKEY))                         \
  LURN_UNSUPPORTED(GetDC, (HDC *))                                             \
  LURN_UNSUPPORTED(GetFlipStatus, (DWORD))                                     \
  LURN_UNSUPPORTED(GetOverlayPosition, (LPLONG, LPLONG))                       \
  LURN_UNSUPPORTED(GetPalette, (LPDIRECTDRAWPALETTE *))                        \
  LURN_UNSUPPORTED(GetPixelFormat, (LPDDPIXELFORMAT))                          \
  LURN_UNSUPPORTED(GetSurfaceDesc, (Desc))                                     \
  LURN_UNSUPPORTED(Initialize, (LPDIRECTDRAW, Desc))                           \
  LURN_UNSUPPORTED(IsLost, ())                                                 \
  LURN_UNSUPPORTED(Lock, (LPRECT, Desc, DWORD, HANDLE))                        \
  LURN_UNSUPPORTED(ReleaseDC, (HDC))                                           \
  LURN_UNSUPPORTED(Restore, ())                                                \
  LURN_UNSUPPORTED(SetClipper, (LPDIRECTDRAWCLIPPER))                          \
  LURN_UNSUPPORTED(SetColorKey, (DWORD, LPDDCOLORKEY))                         \
  LURN_UNSUPPORTED(SetOverlayPosition, (LONG, LONG))                           \
  LURN_UNSUPPORTED(SetPalette, (LPDIRECTDRAWPALETTE))                          \
  LURN_UNSUPPORTED(Unlock, (UnlockArgument))                                   \
  LURN_UNSUPPORTED(UpdateOverlay,                                              \
                   (LPRECT, Surface, LPRECT, DWORD, LPDDOVERLAYFX))            \
  LURN_UNSUPPORTED(UpdateOverlayDisplay, (DWORD))                              \
  LURN_UNSUPPORTED(UpdateOverlayZOrder, (DWORD, Surface))                      \
  LURN_UNSUPPORTED(GetDDInterface, (LPVOID *))                                 \
  LURN_UNSUPPORTED(PageLock, (DWORD))                                          \
  LURN_UNSUPPORTED(PageUnlock, (DWORD))                                        \
  LURN_UNSUPPORTED(SetSurfaceDesc, (Desc, DWORD))

struct Surface3Defaults : IDirectDrawSurface3 {
  LURN_LATER_SURFACE(LPDIRECTDRAWSURFACE3, LPDDSURFACEDESC, LPDDSCAPS,
                     LPDDENUMSURFACESCALLBACK, LPVOID)
};

struct Surface4Defaults : IDirectDrawSurface4 {
  LURN_LATER_SURFACE(LPDIRECTDRAWSURFACE4, LPDDSURFACEDESC2, LPDDSCAPS2,
                     LPDDENUMSURFACESCALLBACK2, LPRECT)
  LURN_UNSUPPORTED(SetPrivateData, (REFGUID, LPVOID, DWORD, DWORD))
  LURN_UNSUPPORTED(GetPrivateData, (REFGUID, LPVOID, LPDWORD))
  LURN_UNSUPPORTED(FreePrivateData, (REFGUID))
  LURN_UNSUPPORTED(GetUniquenessValue, (LPDWORD))
  LURN_UNSUPPORTED(ChangeUniquenessValue, ())
};
#undef LURN_LATER_SURFACE
#endif

#undef LURN_UNSUPPORTED

#endif
