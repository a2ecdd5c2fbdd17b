// The Windows side of keeping the desktop: the window made to cover its
// monitor and given back, Alt+Enter through a subclassed window procedure,
// and frames captured as PNG.
#include <ddraw.h>
#include <lurn.h>
#include <stdio.h>
#include <string.h>

#include <atomic>
#include <vector>

#include "../present/capture.h"
#include "../present/present.h"
#include "keep_desktop.h"

namespace {

std::atomic<int> altEnterWindows(0);

// The procedure the library replaced, also kept on the window itself: a
// window whose display closed while another subclass sat above ours still
// reaches it.
const char kOldProcedure[] = "lurn old procedure";

RECT MonitorOf(HWND window) {
  MONITORINFO info;
  memset(&info, 0, sizeof info);
  info.cbSize = sizeof info;
  RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN),
                 GetSystemMetrics(SM_CYSCREEN)};
  if (GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST),
                      &info))
    screen = info.rcMonitor;
  return screen;
}

// Keeps the window's style and place once, for GiveWindowBack.
void SaveWindow(DesktopState &state) {
  if (state.restyled)
    return;
  HWND window = static_cast<HWND>(state.window);
  RECT place = {0, 0, 0, 0};
  GetWindowRect(window, &place);
  state.style = GetWindowLongPtrA(window, GWL_STYLE);
  state.exStyle = GetWindowLongPtrA(window, GWL_EXSTYLE);
  state.left = place.left;
  state.top = place.top;
  state.right = place.right;
  state.bottom = place.bottom;
  state.restyled = true;
}

void PlaceWindow(HWND window, intptr_t style, intptr_t exStyle,
                 const RECT &place) {
  SetWindowLongPtrA(window, GWL_STYLE, style);
  SetWindowLongPtrA(window, GWL_EXSTYLE, exStyle);
  SetWindowPos(window, HWND_TOP, place.left, place.top,
               place.right - place.left, place.bottom - place.top,
               SWP_FRAMECHANGED | SWP_SHOWWINDOW);
}

// A full-screen client's picture in a window: the mode's size times the
// largest whole number that fits the monitor, centred on it.
void ShowModeInWindow(DesktopState &state) {
  HWND window = static_cast<HWND>(state.window);
  RECT screen = MonitorOf(window);
  const DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
  RECT frame = {0, 0, 0, 0};
  AdjustWindowRectEx(&frame, style, FALSE, 0);
  long width = screen.right - screen.left, height = screen.bottom - screen.top;
  long across = (width - (frame.right - frame.left)) / state.modeWidth;
  long down = (height - (frame.bottom - frame.top)) / state.modeHeight;
  long times = across < down ? across : down;
  if (times < 1)
    times = 1;
  long clientWidth = state.modeWidth * times,
       clientHeight = state.modeHeight * times;
  RECT place = {screen.left + (width - clientWidth) / 2,
                screen.top + (height - clientHeight) / 2, 0, 0};
  place.right = place.left + clientWidth;
  place.bottom = place.top + clientHeight;
  AdjustWindowRectEx(&place, style, FALSE, 0);
  PlaceWindow(window, style, 0, place);
}

// Alt+Enter: a window to its monitor's size and back; a full-screen
// client's monitor-covering window to a window of its mode and back.
void SwitchWindow(DesktopState &state) {
  if (!state.covering) {
    CoverMonitor(state);
  } else if (state.fullScreenClient) {
    ShowModeInWindow(state);
    state.covering = false;
  } else {
    RECT place = {state.left, state.top, state.right, state.bottom};
    PlaceWindow(static_cast<HWND>(state.window), state.style, state.exStyle,
                place);
    state.restyled = false;
    state.covering = false;
  }
}

// The window keeps the key of the display that took its Alt+Enter.
const char kDisplay[] = "lurn display";

DesktopState *StateOfWindow(HWND window) {
  return FindDesktopState(GetPropA(window, kDisplay));
}

LRESULT CALLBACK AltEnterProcedure(HWND window, UINT message, WPARAM wParam,
                                   LPARAM lParam) {
  DesktopState *state = StateOfWindow(window);
  WNDPROC old = reinterpret_cast<WNDPROC>(GetPropA(window, kOldProcedure));
  if (old == NULL)
    return DefWindowProcA(window, message, wParam, lParam);
  if (state == NULL)
    return CallWindowProcA(old, window, message, wParam, lParam);
  bool altReturn = (message == WM_SYSKEYDOWN || message == WM_SYSKEYUP ||
                    message == WM_SYSCHAR) &&
                   wParam == VK_RETURN && (lParam & (1 << 29));
  if (altReturn) {
    // Once per press, not per repeat; the client never sees the keys.
    if (message == WM_SYSKEYDOWN && !(lParam & (1 << 30)))
      SwitchWindow(*state);
    return 0;
  }
  return CallWindowProcA(old, window, message, wParam, lParam);
}

} // namespace

HRESULT CoverMonitor(DesktopState &state) {
  HWND window = static_cast<HWND>(state.window);
  if (!IsWindow(window))
    return DDERR_INVALIDPARAMS;
  SaveWindow(state);
  RECT screen = MonitorOf(window);
  intptr_t style = (state.style & ~intptr_t(WS_OVERLAPPEDWINDOW | WS_CHILD)) |
                   WS_POPUP | WS_VISIBLE;
  PlaceWindow(window, style,
              state.exStyle & ~intptr_t(WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE),
              screen);
  state.covering = true;
  return DD_OK;
}

void GiveWindowBack(DesktopState &state) {
  HWND window = static_cast<HWND>(state.window);
  if (state.oldProcedure != 0) {
    // Only if nobody subclassed it after us: theirs would be cut off.
    if (GetWindowLongPtrA(window, GWLP_WNDPROC) ==
        reinterpret_cast<intptr_t>(AltEnterProcedure)) {
      SetWindowLongPtrA(window, GWLP_WNDPROC, state.oldProcedure);
      RemovePropA(window, kOldProcedure);
      RemovePropA(window, kDisplay);
    }
    state.oldProcedure = 0;
    --altEnterWindows;
  }
  if (state.restyled && IsWindow(window)) {
    RECT place = {state.left, state.top, state.right, state.bottom};
    PlaceWindow(window, state.style, state.exStyle, place);
  }
  state.restyled = false;
}

void TakeAltEnter(DesktopState &state) {
  HWND window = static_cast<HWND>(state.window);
  if (!state.settings.altEnter || !IsWindow(window) || state.oldProcedure)
    return;
  // Once per window: another display on it already has the keys.
  intptr_t old = GetWindowLongPtrA(window, GWLP_WNDPROC);
  if (old == 0 || old == reinterpret_cast<intptr_t>(AltEnterProcedure) ||
      !SetPropA(window, kDisplay, const_cast<void *>(state.directDraw)) ||
      !SetPropA(window, kOldProcedure, reinterpret_cast<HANDLE>(old)))
    return;
  state.oldProcedure = SetWindowLongPtrA(
      window, GWLP_WNDPROC, reinterpret_cast<intptr_t>(AltEnterProcedure));
  if (state.oldProcedure != 0)
    ++altEnterWindows;
}

bool AltEnterTaken() { return altEnterWindows > 0; }

void CaptureFrame(LurnDirectDraw &display, DesktopState &state) {
  if (!Capturing(state.settings))
    return;
  if (!CapturesFrame(state.settings, ++state.frames))
    return;
  IDirectDrawSurface *surface = display.secondarySurface;
  DDPIXELFORMAT format;
  memset(&format, 0, sizeof format);
  format.dwSize = sizeof format;
  DDSURFACEDESC desc;
  memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  if (surface->GetPixelFormat(&format) != DD_OK ||
      surface->Lock(NULL, &desc, DDLOCK_WAIT | DDLOCK_READONLY, NULL) != DD_OK)
    return; // lost or busy: this frame is not captured
  Pixels pixels = {static_cast<const unsigned char *>(desc.lpSurface),
                   int(desc.dwWidth),
                   int(desc.dwHeight),
                   int(desc.lPitch),
                   {format.dwRGBBitCount, format.dwRBitMask, format.dwGBitMask,
                    format.dwBBitMask}};
  CaptureFrame(state.settings, state.frames, pixels,
               Rect{0, 0, pixels.width, pixels.height});
  surface->Unlock(NULL);
}
