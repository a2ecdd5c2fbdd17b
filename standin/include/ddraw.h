// The stand-in platform's DirectDraw declarations: the records, constants and
// interfaces of DirectDraw 5 under their real names, in the real method
// order. Pointers are native-sized, so records holding one are larger here
// than their 32-bit Windows sizes; DDCAPS, DDPIXELFORMAT and DDBLTFX match.
#ifndef LURN_STANDIN_DDRAW_H
#define LURN_STANDIN_DDRAW_H

#include <windows.h>

struct IDirectDraw;
struct IDirectDraw2;
struct IDirectDrawSurface;
struct IDirectDrawClipper;
struct IDirectDrawPalette;
typedef IDirectDraw *LPDIRECTDRAW;
typedef IDirectDraw2 *LPDIRECTDRAW2;
typedef IDirectDrawSurface *LPDIRECTDRAWSURFACE;
typedef IDirectDrawClipper *LPDIRECTDRAWCLIPPER;
typedef IDirectDrawPalette *LPDIRECTDRAWPALETTE;

extern const IID IID_IDirectDraw;
extern const IID IID_IDirectDraw2;
extern const IID IID_IDirectDrawSurface;
extern const IID IID_IDirectDrawClipper;

struct DDCOLORKEY {
  DWORD dwColorSpaceLowValue;
  DWORD dwColorSpaceHighValue;
};
typedef DDCOLORKEY *LPDDCOLORKEY;

struct DDSCAPS {
  DWORD dwCaps;
};
typedef DDSCAPS *LPDDSCAPS;

struct DDPIXELFORMAT {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwFourCC;
  DWORD dwRGBBitCount;
  DWORD dwRBitMask;
  DWORD dwGBitMask;
  DWORD dwBBitMask;
  DWORD dwRGBAlphaBitMask;
};
typedef DDPIXELFORMAT *LPDDPIXELFORMAT;

struct DDSURFACEDESC {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwHeight;
  DWORD dwWidth;
  union {
    LONG lPitch;
    DWORD dwLinearSize;
  };
  DWORD dwBackBufferCount;
  union {
    DWORD dwMipMapCount;
    DWORD dwZBufferBitDepth;
    DWORD dwRefreshRate;
  };
  DWORD dwAlphaBitDepth;
  DWORD dwReserved;
  LPVOID lpSurface;
  DDCOLORKEY ddckCKDestOverlay;
  DDCOLORKEY ddckCKDestBlt;
  DDCOLORKEY ddckCKSrcOverlay;
  DDCOLORKEY ddckCKSrcBlt;
  DDPIXELFORMAT ddpfPixelFormat;
  DDSCAPS ddsCaps;
};
typedef DDSURFACEDESC *LPDDSURFACEDESC;

// DirectX 5 driver capabilities, 364 bytes; the stand-in fills only the
// leading fields.
struct DDCAPS {
  DWORD dwSize;
  DWORD dwCaps;
  DWORD dwCaps2;
  DWORD dwCKeyCaps;
  DWORD dwFXCaps;
  DWORD dwFXAlphaCaps;
  DWORD dwPalCaps;
  DWORD dwSVCaps;
  DWORD dwOther[83];
};
typedef DDCAPS *LPDDCAPS;

struct DDBLTFX {
  DWORD dwSize;
  DWORD dwDDFX;
  DWORD dwROP;
  DWORD dwDDROP;
  DWORD dwRotationAngle;
  DWORD dwZBufferOpCode;
  DWORD dwZBufferLow;
  DWORD dwZBufferHigh;
  DWORD dwZBufferBaseDest;
  DWORD dwZDestConstBitDepth;
  DWORD dwZDestConst;
  DWORD dwZSrcConstBitDepth;
  DWORD dwZSrcConst;
  DWORD dwAlphaEdgeBlendBitDepth;
  DWORD dwAlphaEdgeBlend;
  DWORD dwReserved;
  DWORD dwAlphaDestConstBitDepth;
  DWORD dwAlphaDestConst;
  DWORD dwAlphaSrcConstBitDepth;
  DWORD dwAlphaSrcConst;
  DWORD dwFillColor;
  DDCOLORKEY ddckDestColorkey;
  DDCOLORKEY ddckSrcColorkey;
};
typedef DDBLTFX *LPDDBLTFX;

struct PALETTEENTRY;
struct DDBLTBATCH;
struct DDOVERLAYFX;
struct RGNDATA;
typedef PALETTEENTRY *LPPALETTEENTRY;
typedef DDBLTBATCH *LPDDBLTBATCH;
typedef DDOVERLAYFX *LPDDOVERLAYFX;
typedef RGNDATA *LPRGNDATA;
typedef HRESULT(WINAPI *LPDDENUMMODESCALLBACK)(LPDDSURFACEDESC, LPVOID);
typedef HRESULT(WINAPI *LPDDENUMSURFACESCALLBACK)(LPDIRECTDRAWSURFACE,
                                                  LPDDSURFACEDESC, LPVOID);

#define DD_OK ((HRESULT)0)
#define MAKE_DDHRESULT(code) ((HRESULT)(0x88760000u + (code)))
#define DDERR_GENERIC E_FAIL
#define DDERR_UNSUPPORTED E_NOTIMPL
#define DDERR_OUTOFMEMORY E_OUTOFMEMORY
#define DDERR_INVALIDPARAMS E_INVALIDARG
#define DDERR_NOTINITIALIZED ((HRESULT)0x800401F0)
#define DDERR_INVALIDCAPS MAKE_DDHRESULT(100)
#define DDERR_INVALIDMODE MAKE_DDHRESULT(120)
#define DDERR_INVALIDOBJECT MAKE_DDHRESULT(130)
#define DDERR_INVALIDPIXELFORMAT MAKE_DDHRESULT(145)
#define DDERR_INVALIDRECT MAKE_DDHRESULT(150)
#define DDERR_LOCKEDSURFACES MAKE_DDHRESULT(160)
#define DDERR_NOCOOPERATIVELEVELSET MAKE_DDHRESULT(212)
#define DDERR_NOEXCLUSIVEMODE MAKE_DDHRESULT(225)
#define DDERR_NOTFOUND MAKE_DDHRESULT(255)
#define DDERR_OUTOFVIDEOMEMORY MAKE_DDHRESULT(380)
#define DDERR_SURFACEBUSY MAKE_DDHRESULT(430)
#define DDERR_SURFACELOST MAKE_DDHRESULT(450)
#define DDERR_TOOBIGWIDTH MAKE_DDHRESULT(490)
#define DDERR_WASSTILLDRAWING MAKE_DDHRESULT(540)
#define DDERR_PRIMARYSURFACEALREADYEXISTS MAKE_DDHRESULT(564)
#define DDERR_NOCLIPPERATTACHED MAKE_DDHRESULT(568)
#define DDERR_EXCLUSIVEMODEALREADYSET MAKE_DDHRESULT(581)
#define DDERR_NOTFLIPPABLE MAKE_DDHRESULT(582)
#define DDERR_NOTLOCKED MAKE_DDHRESULT(584)
#define DDERR_WRONGMODE MAKE_DDHRESULT(587)
#define DDERR_IMPLICITLYCREATED MAKE_DDHRESULT(588)

#define DDSCL_FULLSCREEN 0x00000001
#define DDSCL_ALLOWREBOOT 0x00000002
#define DDSCL_NOWINDOWCHANGES 0x00000004
#define DDSCL_NORMAL 0x00000008
#define DDSCL_EXCLUSIVE 0x00000010

#define DDENUMRET_CANCEL 0
#define DDENUMRET_OK 1

#define DDSD_CAPS 0x00000001
#define DDSD_HEIGHT 0x00000002
#define DDSD_WIDTH 0x00000004
#define DDSD_PITCH 0x00000008
#define DDSD_BACKBUFFERCOUNT 0x00000020
#define DDSD_LPSURFACE 0x00000800
#define DDSD_PIXELFORMAT 0x00001000

#define DDSCAPS_BACKBUFFER 0x00000004
#define DDSCAPS_COMPLEX 0x00000008
#define DDSCAPS_FLIP 0x00000010
#define DDSCAPS_FRONTBUFFER 0x00000020
#define DDSCAPS_OFFSCREENPLAIN 0x00000040
#define DDSCAPS_PRIMARYSURFACE 0x00000200
#define DDSCAPS_SYSTEMMEMORY 0x00000800
#define DDSCAPS_VIDEOMEMORY 0x00004000
#define DDSCAPS_VISIBLE 0x00008000

#define DDPF_RGB 0x00000040
#define DDLOCK_WAIT 0x00000001
#define DDBLT_ALPHAEDGEBLEND 0x00000010
#define DDBLT_COLORFILL 0x00000400
#define DDBLT_WAIT 0x01000000
#define DDFLIP_WAIT 0x00000001

struct IDirectDraw : IUnknown {
  virtual HRESULT WINAPI Compact() = 0;
  virtual HRESULT WINAPI CreateClipper(DWORD flags,
                                       LPDIRECTDRAWCLIPPER *clipper,
                                       IUnknown *outer) = 0;
  virtual HRESULT WINAPI CreatePalette(DWORD flags, LPPALETTEENTRY colors,
                                       LPDIRECTDRAWPALETTE *palette,
                                       IUnknown *outer) = 0;
  virtual HRESULT WINAPI CreateSurface(LPDDSURFACEDESC desc,
                                       LPDIRECTDRAWSURFACE *surface,
                                       IUnknown *outer) = 0;
  virtual HRESULT WINAPI DuplicateSurface(LPDIRECTDRAWSURFACE surface,
                                          LPDIRECTDRAWSURFACE *duplicate) = 0;
  virtual HRESULT WINAPI EnumDisplayModes(DWORD flags, LPDDSURFACEDESC desc,
                                          LPVOID context,
                                          LPDDENUMMODESCALLBACK callback) = 0;
  virtual HRESULT WINAPI EnumSurfaces(DWORD flags, LPDDSURFACEDESC desc,
                                      LPVOID context,
                                      LPDDENUMSURFACESCALLBACK callback) = 0;
  virtual HRESULT WINAPI FlipToGDISurface() = 0;
  virtual HRESULT WINAPI GetCaps(LPDDCAPS driverCaps, LPDDCAPS helCaps) = 0;
  virtual HRESULT WINAPI GetDisplayMode(LPDDSURFACEDESC desc) = 0;
  virtual HRESULT WINAPI GetFourCCCodes(LPDWORD count, LPDWORD codes) = 0;
  virtual HRESULT WINAPI GetGDISurface(LPDIRECTDRAWSURFACE *surface) = 0;
  virtual HRESULT WINAPI GetMonitorFrequency(LPDWORD frequency) = 0;
  virtual HRESULT WINAPI GetScanLine(LPDWORD line) = 0;
  virtual HRESULT WINAPI GetVerticalBlankStatus(WINBOOL *inBlank) = 0;
  virtual HRESULT WINAPI Initialize(GUID *guid) = 0;
  virtual HRESULT WINAPI RestoreDisplayMode() = 0;
  virtual HRESULT WINAPI SetCooperativeLevel(HWND window, DWORD flags) = 0;
  virtual HRESULT WINAPI SetDisplayMode(DWORD width, DWORD height,
                                        DWORD bpp) = 0;
  virtual HRESULT WINAPI WaitForVerticalBlank(DWORD flags, HANDLE event) = 0;
};

struct IDirectDraw2 : IUnknown {
  virtual HRESULT WINAPI Compact() = 0;
  virtual HRESULT WINAPI CreateClipper(DWORD flags,
                                       LPDIRECTDRAWCLIPPER *clipper,
                                       IUnknown *outer) = 0;
  virtual HRESULT WINAPI CreatePalette(DWORD flags, LPPALETTEENTRY colors,
                                       LPDIRECTDRAWPALETTE *palette,
                                       IUnknown *outer) = 0;
  virtual HRESULT WINAPI CreateSurface(LPDDSURFACEDESC desc,
                                       LPDIRECTDRAWSURFACE *surface,
                                       IUnknown *outer) = 0;
  virtual HRESULT WINAPI DuplicateSurface(LPDIRECTDRAWSURFACE surface,
                                          LPDIRECTDRAWSURFACE *duplicate) = 0;
  virtual HRESULT WINAPI EnumDisplayModes(DWORD flags, LPDDSURFACEDESC desc,
                                          LPVOID context,
                                          LPDDENUMMODESCALLBACK callback) = 0;
  virtual HRESULT WINAPI EnumSurfaces(DWORD flags, LPDDSURFACEDESC desc,
                                      LPVOID context,
                                      LPDDENUMSURFACESCALLBACK callback) = 0;
  virtual HRESULT WINAPI FlipToGDISurface() = 0;
  virtual HRESULT WINAPI GetCaps(LPDDCAPS driverCaps, LPDDCAPS helCaps) = 0;
  virtual HRESULT WINAPI GetDisplayMode(LPDDSURFACEDESC desc) = 0;
  virtual HRESULT WINAPI GetFourCCCodes(LPDWORD count, LPDWORD codes) = 0;
  virtual HRESULT WINAPI GetGDISurface(LPDIRECTDRAWSURFACE *surface) = 0;
  virtual HRESULT WINAPI GetMonitorFrequency(LPDWORD frequency) = 0;
  virtual HRESULT WINAPI GetScanLine(LPDWORD line) = 0;
  virtual HRESULT WINAPI GetVerticalBlankStatus(WINBOOL *inBlank) = 0;
  virtual HRESULT WINAPI Initialize(GUID *guid) = 0;
  virtual HRESULT WINAPI RestoreDisplayMode() = 0;
  virtual HRESULT WINAPI SetCooperativeLevel(HWND window, DWORD flags) = 0;
  virtual HRESULT WINAPI SetDisplayMode(DWORD width, DWORD height, DWORD bpp,
                                        DWORD refreshRate, DWORD flags) = 0;
  virtual HRESULT WINAPI WaitForVerticalBlank(DWORD flags, HANDLE event) = 0;
  virtual HRESULT WINAPI GetAvailableVidMem(LPDDSCAPS caps, LPDWORD total,
                                            LPDWORD free) = 0;
};

struct IDirectDrawSurface : IUnknown {
  virtual HRESULT WINAPI AddAttachedSurface(LPDIRECTDRAWSURFACE surface) = 0;
  virtual HRESULT WINAPI AddOverlayDirtyRect(LPRECT rect) = 0;
  virtual HRESULT WINAPI Blt(LPRECT destRect, LPDIRECTDRAWSURFACE source,
                             LPRECT sourceRect, DWORD flags, LPDDBLTFX fx) = 0;
  virtual HRESULT WINAPI BltBatch(LPDDBLTBATCH batch, DWORD count,
                                  DWORD flags) = 0;
  virtual HRESULT WINAPI BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE source,
                                 LPRECT sourceRect, DWORD trans) = 0;
  virtual HRESULT WINAPI DeleteAttachedSurface(DWORD flags,
                                               LPDIRECTDRAWSURFACE surface) = 0;
  virtual HRESULT WINAPI
  EnumAttachedSurfaces(LPVOID context, LPDDENUMSURFACESCALLBACK callback) = 0;
  virtual HRESULT WINAPI EnumOverlayZOrders(
      DWORD flags, LPVOID context, LPDDENUMSURFACESCALLBACK callback) = 0;
  virtual HRESULT WINAPI Flip(LPDIRECTDRAWSURFACE targetOverride,
                              DWORD flags) = 0;
  virtual HRESULT WINAPI GetAttachedSurface(LPDDSCAPS caps,
                                            LPDIRECTDRAWSURFACE *surface) = 0;
  virtual HRESULT WINAPI GetBltStatus(DWORD flags) = 0;
  virtual HRESULT WINAPI GetCaps(LPDDSCAPS caps) = 0;
  virtual HRESULT WINAPI GetClipper(LPDIRECTDRAWCLIPPER *clipper) = 0;
  virtual HRESULT WINAPI GetColorKey(DWORD flags, LPDDCOLORKEY key) = 0;
  virtual HRESULT WINAPI GetDC(HDC *dc) = 0;
  virtual HRESULT WINAPI GetFlipStatus(DWORD flags) = 0;
  virtual HRESULT WINAPI GetOverlayPosition(LPLONG x, LPLONG y) = 0;
  virtual HRESULT WINAPI GetPalette(LPDIRECTDRAWPALETTE *palette) = 0;
  virtual HRESULT WINAPI GetPixelFormat(LPDDPIXELFORMAT format) = 0;
  virtual HRESULT WINAPI GetSurfaceDesc(LPDDSURFACEDESC desc) = 0;
  virtual HRESULT WINAPI Initialize(LPDIRECTDRAW directDraw,
                                    LPDDSURFACEDESC desc) = 0;
  virtual HRESULT WINAPI IsLost() = 0;
  virtual HRESULT WINAPI Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags,
                              HANDLE event) = 0;
  virtual HRESULT WINAPI ReleaseDC(HDC dc) = 0;
  virtual HRESULT WINAPI Restore() = 0;
  virtual HRESULT WINAPI SetClipper(LPDIRECTDRAWCLIPPER clipper) = 0;
  virtual HRESULT WINAPI SetColorKey(DWORD flags, LPDDCOLORKEY key) = 0;
  virtual HRESULT WINAPI SetOverlayPosition(LONG x, LONG y) = 0;
  virtual HRESULT WINAPI SetPalette(LPDIRECTDRAWPALETTE palette) = 0;
  virtual HRESULT WINAPI Unlock(LPVOID surfaceData) = 0;
  virtual HRESULT WINAPI UpdateOverlay(LPRECT sourceRect,
                                       LPDIRECTDRAWSURFACE dest,
                                       LPRECT destRect, DWORD flags,
                                       LPDDOVERLAYFX fx) = 0;
  virtual HRESULT WINAPI UpdateOverlayDisplay(DWORD flags) = 0;
  virtual HRESULT WINAPI UpdateOverlayZOrder(DWORD flags,
                                             LPDIRECTDRAWSURFACE reference) = 0;
};

struct IDirectDrawClipper : IUnknown {
  virtual HRESULT WINAPI GetClipList(LPRECT rect, LPRGNDATA clipList,
                                     LPDWORD size) = 0;
  virtual HRESULT WINAPI GetHWnd(HWND *window) = 0;
  virtual HRESULT WINAPI Initialize(LPDIRECTDRAW directDraw, DWORD flags) = 0;
  virtual HRESULT WINAPI IsClipListChanged(WINBOOL *changed) = 0;
  virtual HRESULT WINAPI SetClipList(LPRGNDATA clipList, DWORD flags) = 0;
  virtual HRESULT WINAPI SetHWnd(DWORD flags, HWND window) = 0;
};

HRESULT WINAPI DirectDrawCreate(GUID *driver, LPDIRECTDRAW *directDraw,
                                IUnknown *outer);

#endif
