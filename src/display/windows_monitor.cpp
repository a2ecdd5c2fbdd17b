// Several monitors and display scaling on Windows. The DPI calls came with
// Windows 10 1607: they are looked up at run time, once.
// Before any Windows header: those define `near`.
#include "../present/present.h"

#include "windows_monitor.h"

#include <string.h>

#include "../errors/diagnostic.h"
#include "../settings/settings.h"
#include "../window/window_look.h"
#include "display_state.h"

namespace {

typedef DPI_AWARENESS_CONTEXT(WINAPI *WindowContextFunction)(HWND);
typedef DPI_AWARENESS_CONTEXT(WINAPI *ThreadContextFunction)(void);
typedef DPI_AWARENESS_CONTEXT(WINAPI *SetContextFunction)(
    DPI_AWARENESS_CONTEXT);
typedef BOOL(WINAPI *ContextsEqualFunction)(DPI_AWARENESS_CONTEXT,
                                            DPI_AWARENESS_CONTEXT);
typedef DPI_AWARENESS(WINAPI *AwarenessFunction)(DPI_AWARENESS_CONTEXT);
typedef UINT(WINAPI *WindowDpiFunction)(HWND);

struct DpiFunctions {
  WindowContextFunction windowContext;
  ThreadContextFunction threadContext;
  SetContextFunction setThreadContext;
  ContextsEqualFunction contextsEqual;
  AwarenessFunction awareness;
  WindowDpiFunction windowDpi;
};

const DpiFunctions &Dpi() {
  static const DpiFunctions found = [] {
    HMODULE user32 = GetModuleHandleA("user32.dll");
    DpiFunctions functions = {
        Procedure<WindowContextFunction>(user32,
                                         "GetWindowDpiAwarenessContext"),
        Procedure<ThreadContextFunction>(user32,
                                         "GetThreadDpiAwarenessContext"),
        Procedure<SetContextFunction>(user32, "SetThreadDpiAwarenessContext"),
        Procedure<ContextsEqualFunction>(user32,
                                         "AreDpiAwarenessContextsEqual"),
        Procedure<AwarenessFunction>(user32,
                                     "GetAwarenessFromDpiAwarenessContext"),
        Procedure<WindowDpiFunction>(user32, "GetDpiForWindow")};
    return functions;
  }();
  return found;
}

const char *AwarenessName(int awareness) {
  switch (awareness) {
  case DPI_AWARENESS_UNAWARE:
    return "DPI-unaware";
  case DPI_AWARENESS_SYSTEM_AWARE:
    return "aware of the system's DPI only";
  }
  return "not aware of per-monitor DPI";
}

} // namespace

bool VirtualScreen(RECT &screen) {
  int width = GetSystemMetrics(SM_CXVIRTUALSCREEN),
      height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  if (width <= 0 || height <= 0)
    return false;
  int left = GetSystemMetrics(SM_XVIRTUALSCREEN),
      top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  screen = RECT{left, top, left + width, top + height};
  return true;
}

WindowDpiScope::WindowDpiScope(void *window) : previous_(NULL) {
  if (window == NULL) // a display that does not keep the desktop
    return;
  const DpiFunctions &dpi = Dpi();
  if (dpi.windowContext == NULL || dpi.threadContext == NULL ||
      dpi.setThreadContext == NULL || dpi.contextsEqual == NULL)
    return;
  DPI_AWARENESS_CONTEXT own = dpi.windowContext(static_cast<HWND>(window));
  if (own != NULL && !dpi.contextsEqual(own, dpi.threadContext()))
    previous_ = dpi.setThreadContext(own);
}

WindowDpiScope::~WindowDpiScope() {
  if (previous_ != NULL)
    Dpi().setThreadContext(previous_);
}

bool ReadWindowMonitor(HWND window, MONITORINFOEXA &monitor, DEVMODEA &mode) {
  memset(&monitor, 0, sizeof monitor);
  monitor.cbSize = sizeof monitor;
  memset(&mode, 0, sizeof mode);
  mode.dmSize = sizeof mode;
  bool known =
      GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST),
                      &monitor) != FALSE;
  if (!EnumDisplaySettingsA(known ? monitor.szDevice : NULL,
                            ENUM_CURRENT_SETTINGS, &mode))
    memset(&mode, 0, sizeof mode);
  return known;
}

WindowScaling ReadWindowScaling(void *window) {
  HWND handle = static_cast<HWND>(window);
  const DpiFunctions &dpi = Dpi();
  WindowScaling scaling = {96, -1, 100, 100};
  if (dpi.windowDpi != NULL && dpi.windowDpi(handle) > 0)
    scaling.windowDpi = dpi.windowDpi(handle);
  if (dpi.windowContext != NULL && dpi.awareness != NULL)
    scaling.awareness = dpi.awareness(dpi.windowContext(handle));
  // The monitor in the window's coordinates against its mode's real
  // pixels: what the system stretches the window's pixels by.
  MONITORINFOEXA monitor;
  DEVMODEA mode;
  if (!ReadWindowMonitor(handle, monitor, mode))
    return scaling;
  long shown = monitor.rcMonitor.right - monitor.rcMonitor.left;
  if (shown > 0 && mode.dmPelsWidth > 0)
    scaling.stretchPercent = int((mode.dmPelsWidth * 100 + shown / 2) / shown);
  scaling.monitorPercent =
      int((scaling.windowDpi * scaling.stretchPercent + 48) / 96);
  return scaling;
}

bool FollowDisplayChanges(DisplayState &state) {
  HWND window = static_cast<HWND>(ScaledWindow(&state));
  unsigned long changes = DisplayChanges();
  if (window == NULL || state.window.displayChanges == changes)
    return false;
  bool monitorChanged = LastMonitorChange() > state.window.displayChanges;
  state.window.displayChanges = changes;
  WindowScaling scaling = ReadWindowScaling(window);
  // Within a percent: the system rounds the scaled monitor's size.
  if ((scaling.stretchPercent > 101 || scaling.stretchPercent < 99) &&
      !state.window.stretchSaid) {
    state.window.stretchSaid = true;
    SayDiagnostic(
        "lurn: the window is %s and its monitor is at %d %%: the system "
        "stretches its picture by %d %% and blurs it. Declare "
        "<dpiAwareness>PerMonitorV2</dpiAwareness> in the program's "
        "manifest, or call SetProcessDpiAwarenessContext("
        "DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2) before the first "
        "window",
        AwarenessName(scaling.awareness), scaling.monitorPercent,
        scaling.stretchPercent);
  }
  // A window covering its monitor went to one of another scale, or the
  // monitor changed its size: it covers the one it is on now, moved on the
  // window's own thread only. A mere move is the program's or the user's.
  return monitorChanged && WindowCovers(state.window) &&
         CoverMonitorAgain(window);
}
