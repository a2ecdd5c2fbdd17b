// Several monitors and display scaling, on Windows: the virtual screen the
// DirectDraw routes clip their blits to, the display changes that make the
// pacing read the refresh again, and the DPI awareness of the window a
// display keeping the desktop draws in.
#ifndef LURN_WINDOWS_MONITOR_H
#define LURN_WINDOWS_MONITOR_H

#include <windows.h>

#include <string.h>

struct DisplayState;

// A procedure the system may or may not have, found at run time, through
// an address of another type as GetProcAddress gives it. Null when absent.
template <class Function> Function Procedure(HMODULE module, const char *name) {
  FARPROC found = module != NULL ? GetProcAddress(module, name) : NULL;
  Function function;
  memcpy(&function, &found, sizeof function);
  return function;
}

// Every monitor's rectangle together, in the calling thread's coordinates:
// a monitor left of or above the primary has negative ones. False where
// the system does not tell.
bool VirtualScreen(RECT &screen);

// The monitor the window is on, or is nearest to, and its mode now (all 0
// where the system does not tell). False when the monitor is not known:
// the mode is then the primary display's.
bool ReadWindowMonitor(HWND window, MONITORINFOEXA &monitor, DEVMODEA &mode);

// While it lives, the calling thread's window calls use the window's own
// DPI awareness, so that a window aware of per-monitor DPI is placed, scaled
// and pointed at in its monitor's real pixels, and an unaware one in the
// scaled pixels the system stretches, whichever thread presents. Nothing
// where the system has no per-thread awareness (before Windows 10 1607).
class WindowDpiScope {
public:
  explicit WindowDpiScope(void *window);
  ~WindowDpiScope();
  WindowDpiScope(const WindowDpiScope &) = delete;
  WindowDpiScope &operator=(const WindowDpiScope &) = delete;

private:
  DPI_AWARENESS_CONTEXT previous_;
};

// How the system shows the window, read within a WindowDpiScope.
struct WindowScaling {
  UINT windowDpi;     // the DPI the window draws in: 96 at 100 %
  int awareness;      // DPI_AWARENESS; -1 where the system cannot tell
  int stretchPercent; // what the system stretches its pixels by
  int monitorPercent; // its monitor's real scale (100 where unknown)
};
WindowScaling ReadWindowScaling(void *window);

// On the thread that presents, when display changes were counted since
// this display last looked (and at its first present): a window the system
// stretches is said once per display on the diagnostic line, with the fix,
// and after a change of a monitor's scale or size, a window the library made
// cover its monitor is made to cover the monitor it is on now. True when the
// window was moved: its handlers ran, and may have closed the display (`state`
// is then gone).
bool FollowDisplayChanges(DisplayState &state);

#endif
