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

#include <initializer_list>

// A top-level window of the probe's own, and its end.
HWND NewWindow(bool shown = true);
void EndWindow(HWND window);
// Presses and lets go the A key `taps` times, as the user would.
void TapKey(HWND window, int taps);

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
  desc = Plain(641, 3, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY);
  IDirectDrawSurface *odd = NULL;
  if (draw->CreateSurface(&desc, &odd, NULL) == DD_OK &&
      odd->Lock(NULL, &lock, DDLOCK_WAIT, NULL) == DD_OK) {
    Say("lock pitch, width 641", static_cast<HRESULT>(lock.lPitch));
    odd->Unlock(NULL);
  }
  if (odd != NULL)
    odd->Release();
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
  // The window calls that the pointer's place goes through.
  POINT point = {30, 40}, mapped = point;
  ClientToScreen(window, &mapped);
  Say("ScreenToClient undoes ClientToScreen",
      ScreenToClient(window, &mapped) && mapped.x == 30 && mapped.y == 40);
  Say("ScreenToClient of no window", ScreenToClient(NULL, &mapped));
  Say("GetCursorPos", GetCursorPos(&point));
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

// A keyboard's buffered events: the buffer's setting, what a full one
// keeps and says, the records' layout, what waits across an acquisition and
// a buffer emptied by a read without records.
void ProbeBufferedKeyboard(HINSTANCE instance, HWND window) {
  IDirectInputA *input = NULL;
  DirectInputCreateA(instance, 0x0500, &input, NULL);
  IDirectInputDeviceA *keyboard = NULL;
  input->CreateDevice(GUID_SysKeyboard, &keyboard, NULL);
  keyboard->SetDataFormat(&c_dfDIKeyboard);
  keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
  DIDEVICEOBJECTDATA data[32];
  DWORD count = 32;
  Say("GetDeviceData unbuffered",
      keyboard->GetDeviceData(sizeof data[0], data, &count, 0));
  DIPROPDWORD property;
  memset(&property, 0, sizeof property);
  property.diph.dwSize = sizeof property;
  property.diph.dwHeaderSize = sizeof property.diph;
  property.diph.dwHow = DIPH_DEVICE;
  property.dwData = 8;
  Say("SetProperty buffer size 8",
      keyboard->SetProperty(DIPROP_BUFFERSIZE, &property.diph));
  count = 32;
  Say("GetDeviceData before Acquire",
      keyboard->GetDeviceData(sizeof data[0], data, &count, 0));
  Say("Acquire buffered keyboard", keyboard->Acquire());
  Say("SetProperty buffer size while acquired",
      keyboard->SetProperty(DIPROP_BUFFERSIZE, &property.diph));
  TapKey(window, 10);
  count = 32;
  Say("GetDeviceData after 20 events into 8",
      keyboard->GetDeviceData(sizeof data[0], data, &count, 0));
  Say("events kept of 20 into 8", static_cast<HRESULT>(count));
  Say("first event's offset", static_cast<HRESULT>(data[0].dwOfs));
  Say("first event's data & 0x80", static_cast<HRESULT>(data[0].dwData & 0x80));
  Say("second event's data & 0x80",
      static_cast<HRESULT>(data[1].dwData & 0x80));
  count = 32;
  Say("GetDeviceData once read",
      keyboard->GetDeviceData(sizeof data[0], data, &count, 0));
  Say("events once read", static_cast<HRESULT>(count));
  TapKey(window, 2);
  keyboard->Unacquire();
  keyboard->Acquire();
  count = 32;
  keyboard->GetDeviceData(sizeof data[0], data, &count, 0);
  Say("events after acquiring again", static_cast<HRESULT>(count));
  TapKey(window, 3);
  count = INFINITE;
  Say("GetDeviceData without records, no limit",
      keyboard->GetDeviceData(sizeof data[0], NULL, &count, 0));
  Say("events dropped", static_cast<HRESULT>(count));
  count = 32;
  keyboard->GetDeviceData(sizeof data[0], data, &count, 0);
  Say("events after the drop", static_cast<HRESULT>(count));
  keyboard->Release();
  input->Release();
}

struct Mode {
  DWORD width, height, bits;
};

// Full screen in a window of its own: the modes on offer, then the window
// destroyed under the flip chain and a device.
void ProbeFullScreen(HINSTANCE instance) {
  HWND window = NewWindow();
  IDirectDraw *draw = NULL;
  DirectDrawCreate(NULL, &draw, NULL);
  Say("SetCooperativeLevel exclusive",
      draw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN));
  // Each mode that is set costs Wine a resize of its desktop: few of them.
  const Mode modes[] = {
      {320, 200, 16}, {768, 576, 16},  {1024, 768, 16},    {720, 480, 16},
      {960, 540, 16}, {1280, 720, 16}, {1280, 1024, 16},   {641, 480, 16},
      {1, 1, 16},     {0, 0, 16},      {640, 480, 8},      {640, 480, 24},
      {640, 480, 32}, {640, 480, 0},   {16384, 16384, 16}, {640, 480, 16},
  };
  for (const Mode &mode : modes) {
    char question[64];
    snprintf(question, sizeof question, "SetDisplayMode %lux%lux%lu",
             static_cast<unsigned long>(mode.width),
             static_cast<unsigned long>(mode.height),
             static_cast<unsigned long>(mode.bits));
    Say(question, draw->SetDisplayMode(mode.width, mode.height, mode.bits));
  }
  DDSURFACEDESC desc;
  memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP |
                        DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY;
  desc.dwBackBufferCount = 1;
  IDirectDrawSurface *front = NULL, *back = NULL;
  Say("CreateSurface flip chain", draw->CreateSurface(&desc, &front, NULL));
  DDSCAPS caps;
  caps.dwCaps = DDSCAPS_BACKBUFFER;
  Say("GetAttachedSurface back buffer",
      front->GetAttachedSurface(&caps, &back));
  Say("Flip", front->Flip(NULL, 0));

  IDirectInputA *input = NULL;
  DirectInputCreateA(instance, 0x0500, &input, NULL);
  IDirectInputDeviceA *keyboard = NULL;
  input->CreateDevice(GUID_SysKeyboard, &keyboard, NULL);
  keyboard->SetDataFormat(&c_dfDIKeyboard);
  keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
  Say("Acquire keyboard", keyboard->Acquire());

  EndWindow(window);
  DDSURFACEDESC lock;
  memset(&lock, 0, sizeof lock);
  lock.dwSize = sizeof lock;
  HRESULT locked = back->Lock(NULL, &lock, DDLOCK_WAIT, NULL);
  Say("window destroyed: Lock back buffer", locked);
  if (locked == DD_OK)
    back->Unlock(NULL);
  Say("window destroyed: Flip", front->Flip(NULL, 0));
  Say("window destroyed: Restore", front->Restore());
  unsigned char keys[256];
  Say("window destroyed: GetDeviceState keyboard",
      keyboard->GetDeviceState(sizeof keys, keys));
  Say("window destroyed: Acquire keyboard", keyboard->Acquire());
  keyboard->Release();
  input->Release();
  back->Release();
  front->Release();
  draw->SetCooperativeLevel(NULL, DDSCL_NORMAL);
  draw->Release();
}

// Windows made one after another: each new one is a window to the platform.
void ProbeManyWindows() {
  for (int made = 0; made < 4200; ++made)
    EndWindow(NewWindow(false));
  HWND window = NewWindow();
  IDirectDraw *draw = NULL;
  DirectDrawCreate(NULL, &draw, NULL);
  Say("SetCooperativeLevel normal, 4201st window",
      draw->SetCooperativeLevel(window, DDSCL_NORMAL));
  draw->Release();
  EndWindow(window);
}

} // namespace

// With a file name, the answers go to that file: a program started inside
// Wine's virtual desktop has no standard output of its own.
#if defined(_WIN32)
HWND NewWindow(bool shown) {
  HINSTANCE instance = GetModuleHandleA(NULL);
  // Windows that are never shown need no X window: quick to make on Wine.
  HWND window = CreateWindowA(
      "probe", "probe", WS_OVERLAPPEDWINDOW | (shown ? WS_VISIBLE : 0), 0, 0,
      640, 480, shown ? NULL : HWND_MESSAGE, NULL, instance, NULL);
  if (shown)
    SetForegroundWindow(window);
  MSG message;
  while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
    DispatchMessageA(&message);
  return window;
}
void TapKey(HWND, int taps) {
  for (int i = 0; i < taps; ++i) {
    keybd_event('A', 0x1E, 0, 0);
    keybd_event('A', 0x1E, KEYEVENTF_KEYUP, 0);
  }
  Sleep(100); // Wine's input thread queues them
  MSG message;
  while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
    DispatchMessageA(&message);
}
void EndWindow(HWND window) {
  DestroyWindow(window);
  MSG message;
  while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
    DispatchMessageA(&message);
}

int main(int argc, char **argv) {
  if (argc > 1 && freopen(argv[1], "w", stdout) == NULL)
    return 1;
  HINSTANCE instance = GetModuleHandleA(NULL);
  WNDCLASSA windowClass;
  memset(&windowClass, 0, sizeof windowClass);
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = "probe";
  RegisterClassA(&windowClass);
  HWND window = NewWindow();
  ProbeDirectDraw(window);
  ProbeDirectInput(instance, window);
  ProbeBufferedKeyboard(instance, window);
  EndWindow(window);
  ProbeFullScreen(instance);
  ProbeManyWindows();
  return 0;
}
#else
HWND NewWindow(bool shown) {
  return SDL_CreateWindow("probe", 0, 0, 640, 480,
                          shown ? 0 : SDL_WINDOW_HIDDEN);
}
void EndWindow(HWND window) {
  SDL_DestroyWindow(static_cast<SDL_Window *>(window));
}
void TapKey(HWND window, int taps) {
  SDL_Event event;
  memset(&event, 0, sizeof event);
  event.key.windowID = SDL_GetWindowID(static_cast<SDL_Window *>(window));
  event.key.keysym.scancode = SDL_SCANCODE_A;
  for (int i = 0; i < taps; ++i)
    for (Uint32 type : {SDL_KEYDOWN, SDL_KEYUP}) {
      event.type = type;
      SDL_PushEvent(&event);
    }
  SDL_PumpEvents();
}

int main(int argc, char **argv) {
  if (argc > 1 && freopen(argv[1], "w", stdout) == NULL)
    return 1;
  SDL_Init(SDL_INIT_VIDEO);
  HWND window = NewWindow();
  ProbeDirectDraw(window);
  ProbeDirectInput(NULL, window);
  ProbeBufferedKeyboard(NULL, window);
  EndWindow(window);
  ProbeFullScreen(NULL);
  ProbeManyWindows();
  SDL_Quit();
  return 0;
}
#endif
