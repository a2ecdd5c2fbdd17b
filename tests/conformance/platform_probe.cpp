// Asks the platform the questions whose answers lurn relies on, and prints
// each answer. Built for Windows (run on Wine's DirectDraw and DirectInput)
// and natively (run on the stand-in); compare.sh holds the two lists side
// by side, so the stand-in stays faithful where the library can see it.
#if defined(_WIN32)
#define DIRECTDRAW_VERSION 0x0500
#define DIRECTINPUT_VERSION 0x0500
#include <windows.h>
#else
#include <SDL.h>
#endif

#include <ddraw.h>
#include <dinput.h>
#include <stdio.h>
#include <string.h>

namespace {

void Say(const char *question, HRESULT answer) {
  printf("%-48s %#lx\n", question,
         static_cast<unsigned long>(static_cast<DWORD>(answer)));
}

DDSURFACEDESC Plain(DWORD width, DWORD height, DWORD caps) {
  DDSURFACEDESC desc;
  memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  desc.dwWidth = width;
  desc.dwHeight = height;
  desc.ddsCaps.dwCaps = caps;
  return desc;
}

void ProbeDirectDraw(HWND window) {
  IDirectDraw *draw = NULL;
  Say("DirectDrawCreate", DirectDrawCreate(NULL, &draw, NULL));
  IDirectDraw2 *draw2 = NULL;
  Say("QueryInterface IDirectDraw2",
      draw->QueryInterface(IID_IDirectDraw2,
                           reinterpret_cast<void **>(&draw2)));
  DDSURFACEDESC desc = Plain(0, 0, DDSCAPS_PRIMARYSURFACE);
  desc.dwFlags = DDSD_CAPS;
  IDirectDrawSurface *primary = NULL;
  Say("CreateSurface before a cooperative level",
      draw->CreateSurface(&desc, &primary, NULL));
  Say("SetCooperativeLevel exclusive, no window",
      draw->SetCooperativeLevel(NULL, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN));
  Say("SetCooperativeLevel normal",
      draw->SetCooperativeLevel(window, DDSCL_NORMAL));
  Say("GetCaps with no records", draw->GetCaps(NULL, NULL));
  DDCAPS caps;
  memset(&caps, 0, sizeof caps);
  caps.dwSize = sizeof caps;
  Say("GetCaps", draw->GetCaps(&caps, NULL));
  desc = Plain(0, 0, DDSCAPS_PRIMARYSURFACE | DDSCAPS_VIDEOMEMORY);
  desc.dwFlags = DDSD_CAPS;
  Say("CreateSurface windowed primary",
      draw->CreateSurface(&desc, &primary, NULL));
  IDirectDrawSurface *second = NULL;
  Say("CreateSurface a second primary",
      draw->CreateSurface(&desc, &second, NULL));
  DDPIXELFORMAT format;
  memset(&format, 0, sizeof format);
  format.dwSize = sizeof format;
  primary->GetPixelFormat(&format);
  Say("primary bit count", static_cast<HRESULT>(format.dwRGBBitCount));
  Say("primary red mask", static_cast<HRESULT>(format.dwRBitMask));

  desc = Plain(0, 200, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY);
  IDirectDrawSurface *surface = NULL;
  Say("CreateSurface width 0", draw->CreateSurface(&desc, &surface, NULL));
  desc = Plain(320, 200, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY);
  Say("CreateSurface 320x200 system memory",
      draw->CreateSurface(&desc, &surface, NULL));
  DDSURFACEDESC lock;
  memset(&lock, 0, sizeof lock);
  lock.dwSize = sizeof lock;
  Say("Lock", surface->Lock(NULL, &lock, DDLOCK_WAIT, NULL));
  Say("lock pitch", static_cast<HRESULT>(lock.lPitch));
  Say("lock gave memory", lock.lpSurface != NULL);
  Say("Unlock", surface->Unlock(NULL));
  lock.dwSize = 0;
  Say("Lock with a size of 0", surface->Lock(NULL, &lock, DDLOCK_WAIT, NULL));
  DDBLTFX fx;
  memset(&fx, 0, sizeof fx);
  fx.dwSize = sizeof fx;
  Say("Blt colour fill", surface->Blt(NULL, NULL, NULL, DDBLT_COLORFILL, &fx));
  fx.dwSize = 0;
  Say("Blt colour fill, record size 0",
      surface->Blt(NULL, NULL, NULL, DDBLT_COLORFILL, &fx));
  Say("Flip a surface that is no chain", surface->Flip(NULL, 0));
  DDSCAPS back;
  back.dwCaps = DDSCAPS_BACKBUFFER;
  IDirectDrawSurface *attached = NULL;
  Say("GetAttachedSurface with none",
      surface->GetAttachedSurface(&back, &attached));
  Say("Restore a system-memory surface", surface->Restore());
  Say("IsLost a system-memory surface", surface->IsLost());

  IDirectDrawClipper *clipper = NULL;
  Say("CreateClipper flags 1", draw->CreateClipper(1, &clipper, NULL));
  Say("CreateClipper", draw->CreateClipper(0, &clipper, NULL));
  Say("SetHWnd", clipper->SetHWnd(0, window));
  Say("SetClipper", primary->SetClipper(clipper));
  RECT source = {0, 0, 320, 200};
  RECT target = {0, 0, 640, 400};
  Say("Blt present (flags 0x10)",
      primary->Blt(&target, surface, &source, DDBLT_ALPHAEDGEBLEND, NULL));
  RECT outside = {0, 0, 321, 200};
  Say("Blt from beyond the source",
      primary->Blt(&target, surface, &outside, DDBLT_ALPHAEDGEBLEND, NULL));

  Say("Release the clipper (still attached)", clipper->Release() > 0);
  surface->Release();
  primary->Release();
  draw2->Release();
  draw->Release();
}

void ProbeDirectInput(HINSTANCE instance, HWND window) {
  IDirectInputA *input = NULL;
  Say("DirectInputCreateA version 0x0200",
      DirectInputCreateA(instance, 0x0200, &input, NULL));
  Say("DirectInputCreateA", DirectInputCreateA(instance, 0x0500, &input, NULL));
  IDirectInputDeviceA *device = NULL;
  Say("CreateDevice of an unknown device",
      input->CreateDevice(IID_IDirectDraw, &device, NULL));
  Say("CreateDevice keyboard",
      input->CreateDevice(GUID_SysKeyboard, &device, NULL));
  unsigned char keys[256];
  Say("Acquire without a data format", device->Acquire());
  Say("SetDataFormat keyboard", device->SetDataFormat(&c_dfDIKeyboard));
  Say("SetCooperativeLevel both exclusive and not",
      device->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE |
                                              DISCL_FOREGROUND));
  Say("SetCooperativeLevel non-exclusive foreground",
      device->SetCooperativeLevel(window,
                                  DISCL_NONEXCLUSIVE | DISCL_FOREGROUND));
  Say("GetDeviceState before Acquire",
      device->GetDeviceState(sizeof keys, keys));
  Say("Unacquire while not acquired", device->Unacquire());
  Say("Acquire", device->Acquire());
  Say("Acquire again", device->Acquire());
  Say("SetDataFormat while acquired", device->SetDataFormat(&c_dfDIKeyboard));
  Say("GetDeviceState", device->GetDeviceState(sizeof keys, keys));
  Say("GetDeviceState of 16 bytes", device->GetDeviceState(16, keys));
  Say("Unacquire", device->Unacquire());
  device->Release();

  Say("CreateDevice mouse", input->CreateDevice(GUID_SysMouse, &device, NULL));
  Say("SetDataFormat mouse", device->SetDataFormat(&c_dfDIMouse));
  Say("SetCooperativeLevel mouse",
      device->SetCooperativeLevel(window,
                                  DISCL_NONEXCLUSIVE | DISCL_FOREGROUND));
  Say("Acquire mouse", device->Acquire());
  DIMOUSESTATE mouse;
  Say("GetDeviceState mouse", device->GetDeviceState(sizeof mouse, &mouse));
  device->Release();
  input->Release();
}

} // namespace

#if defined(_WIN32)
int main() {
  HINSTANCE instance = GetModuleHandleA(NULL);
  WNDCLASSA windowClass;
  memset(&windowClass, 0, sizeof windowClass);
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = "probe";
  RegisterClassA(&windowClass);
  HWND window =
      CreateWindowA("probe", "probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                    640, 480, NULL, NULL, instance, NULL);
  SetForegroundWindow(window);
  MSG message;
  while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
    DispatchMessageA(&message);
  ProbeDirectDraw(window);
  ProbeDirectInput(instance, window);
  DestroyWindow(window);
  return 0;
}
#else
int main() {
  SDL_Init(SDL_INIT_VIDEO);
  SDL_Window *window = SDL_CreateWindow("probe", 0, 0, 640, 480, 0);
  ProbeDirectDraw(window);
  ProbeDirectInput(NULL, window);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return 0;
}
#endif
