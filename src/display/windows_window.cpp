// The Windows side of keeping the desktop, for the window: made to cover its
// monitor and given back, and Alt+Enter through the system's subclass chain.
// The window procedure only notes the keys; the thread that presents
// switches the window, and never touches a display's state once the
// window's own handlers may have run (they may close the display).
// Before any Windows header: those define `near`.
#include "../present/frame_policy.h"

#include <ddraw.h>
#include <lurn.h>
#include <string.h>

#include <commctrl.h>

#include <mutex>
#include <vector>

#include "windows_window.h"

namespace {

// A window that displays keeping the desktop took: how the first of them
// found it, which the last of them gives back, whatever came between.
struct KeptWindow {
  HWND window;
  bool gone;   // destroyed: nothing to give back
  int holders; // open displays on it with the bit
  LONG_PTR style, exStyle;
  WINDOWPLACEMENT placement;
  bool restyled; // the look is the library's: given back at the end
  bool covering; // covers its monitor
  // The subclass the library put on the window (0: none), and the window
  // procedure the system's chain became when it was set (0: the chain was
  // there before).
  UINT_PTR hook;
  LONG_PTR chain;
  unsigned presses; // Alt+Enter presses noted, not yet applied
  bool returnTaken; // the Return of an Alt+Enter is held: not the client's
};

// A subclass whose window's last display closed while a hook of the
// program's sat above the chain: taking it off then would have the system
// give the window its first procedure back, cutting the program's hook out
// (and leaving the chain that hook calls empty). Likewise one the system
// refused to take off the window's thread. It passes everything on, goes
// once the chain is the window procedure again or with the window, and
// takes up its work if a display opens on the window meanwhile.
struct LeftHook {
  HWND window;
  UINT_PTR hook;
  LONG_PTR chain;
};

std::mutex windowsLock;
std::vector<KeptWindow> keptWindows;
std::vector<LeftHook> leftHooks;
UINT_PTR lastHook; // under the lock; ids are never reused

KeptWindow *Kept(HWND window) {
  for (KeptWindow &kept : keptWindows)
    if (kept.window == window)
      return &kept;
  return NULL;
}

// Under the lock: the window's record, made from how the window is now
// when `state` is the first display to take it.
KeptWindow *Hold(DisplayState &state, HWND window) {
  KeptWindow *kept = Kept(window);
  if (kept == NULL) {
    keptWindows.push_back(KeptWindow());
    kept = &keptWindows.back();
  }
  if (kept->holders == 0 || kept->gone) {
    int holders = kept->holders;
    memset(kept, 0, sizeof *kept);
    kept->window = window;
    kept->holders = holders;
    kept->style = GetWindowLongPtrW(window, GWL_STYLE);
    kept->exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    kept->placement.length = sizeof kept->placement;
    GetWindowPlacement(window, &kept->placement);
  }
  if (!state.window.held) {
    ++kept->holders;
    state.window.held = true;
  }
  return kept;
}

void Drop(HWND window) {
  for (size_t i = 0; i < keptWindows.size(); ++i)
    if (keptWindows[i].window == window) {
      keptWindows[i] = keptWindows.back();
      keptWindows.pop_back();
      return;
    }
}

// A look for the window: styles and a place, or the placement it had.
struct Look {
  LONG_PTR style, exStyle;
  RECT place; // screen coordinates
  bool givenBack;
  WINDOWPLACEMENT placement; // when givenBack
};

bool MonitorOf(HWND window, MONITORINFO &info) {
  memset(&info, 0, sizeof info);
  info.cbSize = sizeof info;
  return GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST),
                         &info) != FALSE;
}

Look Covering(const KeptWindow &kept, const RECT &monitor) {
  Look look;
  memset(&look, 0, sizeof look);
  look.style = (kept.style & ~LONG_PTR(WS_OVERLAPPEDWINDOW | WS_CHILD)) |
               WS_POPUP | WS_VISIBLE;
  look.exStyle = kept.exStyle & ~LONG_PTR(WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE);
  look.place = monitor;
  return look;
}

Look GivenBack(const KeptWindow &kept) {
  Look look;
  memset(&look, 0, sizeof look);
  look.style = kept.style;
  look.exStyle = kept.exStyle;
  look.givenBack = true;
  look.placement = kept.placement;
  return look;
}

// A full-screen client's picture in a window of the mode's size times a
// whole number, on the monitor.
Look ModeInWindow(int modeWidth, int modeHeight, const RECT &screen) {
  Look look;
  memset(&look, 0, sizeof look);
  look.style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
  RECT frame = {0, 0, 0, 0};
  AdjustWindowRectEx(&frame, DWORD(look.style), FALSE, 0);
  Rect client =
      ModeWindow(modeWidth, modeHeight,
                 Rect{screen.left, screen.top, screen.right - screen.left,
                      screen.bottom - screen.top},
                 FrameSize{-frame.left, -frame.top, frame.right, frame.bottom});
  look.place =
      RECT{client.x, client.y, client.x + client.w, client.y + client.h};
  AdjustWindowRectEx(&look.place, DWORD(look.style), FALSE, 0);
  return look;
}

// Gives the window `look`. Each call may run the window's handlers, so
// this works on its copies alone. A minimised window stays minimised: its
// normal place (what restoring shows) is what changes.
void Show(HWND window, const Look &look, const MONITORINFO &monitor) {
  // Minimised and maximised are the placement's to change, not the style's.
  const LONG_PTR state = WS_MINIMIZE | WS_MAXIMIZE;
  LONG_PTR now = GetWindowLongPtrW(window, GWL_STYLE);
  SetWindowLongPtrW(window, GWL_STYLE, (look.style & ~state) | (now & state));
  SetWindowLongPtrW(window, GWL_EXSTYLE, look.exStyle);
  bool minimised = IsIconic(window) != FALSE;
  if (!look.givenBack && !minimised) {
    SetWindowPos(window, HWND_TOP, look.place.left, look.place.top,
                 look.place.right - look.place.left,
                 look.place.bottom - look.place.top,
                 SWP_FRAMECHANGED | SWP_SHOWWINDOW);
    return;
  }
  SetWindowPos(window, NULL, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER |
                   SWP_NOACTIVATE);
  WINDOWPLACEMENT placement;
  if (look.givenBack) {
    placement = look.placement;
  } else {
    memset(&placement, 0, sizeof placement);
    placement.length = sizeof placement;
    if (!GetWindowPlacement(window, &placement))
      return;
    // The normal place is in the work area's coordinates.
    LONG dx = monitor.rcWork.left - monitor.rcMonitor.left,
         dy = monitor.rcWork.top - monitor.rcMonitor.top;
    placement.rcNormalPosition =
        RECT{look.place.left - dx, look.place.top - dy, look.place.right - dx,
             look.place.bottom - dy};
  }
  placement.length = sizeof placement;
  placement.flags = 0;
  if (minimised)
    placement.showCmd = SW_SHOWMINNOACTIVE;
  else if (placement.showCmd == SW_SHOWMINIMIZED ||
           placement.showCmd == SW_MINIMIZE)
    placement.showCmd = SW_SHOWMINNOACTIVE;
  SetWindowPlacement(window, &placement);
}

bool IsReturnKey(UINT message, WPARAM wParam) {
  switch (message) {
  case WM_KEYDOWN:
  case WM_KEYUP:
  case WM_SYSKEYDOWN:
  case WM_SYSKEYUP:
  case WM_CHAR:
  case WM_SYSCHAR:
    return wParam == VK_RETURN; // the character is '\r', the same number
  }
  return false;
}

// What the window procedure does with a message.
enum Verdict { kPass, kTake, kUnhook };

Verdict NoteMessage(HWND window, UINT_PTR hook, UINT message, WPARAM wParam,
                    LPARAM lParam) {
  std::lock_guard<std::mutex> hold(windowsLock);
  KeptWindow *kept = Kept(window);
  if (kept == NULL || kept->hook != hook || kept->gone)
    return kUnhook;
  if (message == WM_KILLFOCUS) {
    kept->returnTaken = false; // its release goes elsewhere
    return kPass;
  }
  if (!IsReturnKey(message, wParam))
    return kPass;
  bool withAlt = (lParam & (1L << 29)) != 0;
  bool repeat = (lParam & (1L << 30)) != 0;
  if (message == WM_SYSKEYDOWN && withAlt && !repeat) {
    ++kept->presses; // once per press, not per repeat
    kept->returnTaken = true;
    return kTake;
  }
  // The rest of a taken press, Alt let go first or not, up to its release.
  if (!kept->returnTaken && !withAlt)
    return kPass;
  if (message == WM_KEYUP || message == WM_SYSKEYUP)
    kept->returnTaken = false;
  return kTake;
}

// Whether a subclass no display uses may come off the window now.
bool LetGo(HWND window, UINT_PTR hook, bool destroyed) {
  std::lock_guard<std::mutex> hold(windowsLock);
  for (size_t i = 0; i < leftHooks.size(); ++i) {
    LeftHook &left = leftHooks[i];
    if (left.window != window || left.hook != hook)
      continue;
    if (!destroyed && left.chain != 0 &&
        GetWindowLongPtrW(window, GWLP_WNDPROC) != left.chain)
      return false; // still under the program's hook
    leftHooks[i] = leftHooks.back();
    leftHooks.pop_back();
    return true;
  }
  return true;
}

LRESULT CALLBACK AltEnterProcedure(HWND window, UINT message, WPARAM wParam,
                                   LPARAM lParam, UINT_PTR hook, DWORD_PTR) {
  Verdict verdict = kUnhook;
  if (message == WM_NCDESTROY) {
    std::lock_guard<std::mutex> hold(windowsLock);
    KeptWindow *kept = Kept(window);
    if (kept != NULL && kept->hook == hook) {
      // Nothing to give back, and the handle may come again.
      kept->gone = true;
      kept->hook = 0;
      kept->presses = 0;
    }
  } else {
    verdict = NoteMessage(window, hook, message, wParam, lParam);
  }
  if (verdict == kTake)
    return 0;
  if (verdict == kUnhook && LetGo(window, hook, message == WM_NCDESTROY))
    RemoveWindowSubclass(window, AltEnterProcedure, hook);
  return DefSubclassProc(window, message, wParam, lParam);
}

} // namespace

HRESULT CoverMonitor(DisplayState &state) {
  HWND window = static_cast<HWND>(state.window.handle);
  MONITORINFO monitor;
  if (!IsWindow(window) || !MonitorOf(window, monitor))
    return DDERR_INVALIDPARAMS;
  Look look;
  {
    std::lock_guard<std::mutex> hold(windowsLock);
    KeptWindow *kept = Hold(state, window);
    kept->restyled = true;
    kept->covering = true;
    look = Covering(*kept, monitor.rcMonitor);
  }
  Show(window, look, monitor);
  return DD_OK;
}

void TakeAltEnter(DisplayState &state) {
  HWND window = static_cast<HWND>(state.window.handle);
  if (!state.settings.altEnter || !IsWindow(window))
    return;
  std::lock_guard<std::mutex> hold(windowsLock);
  KeptWindow *kept = Hold(state, window);
  // Once per window; the subclass chain keeps it whatever hooks come and
  // go above it.
  if (kept->hook != 0)
    return;
  for (size_t i = 0; i < leftHooks.size(); ++i)
    if (leftHooks[i].window == window) {
      kept->hook = leftHooks[i].hook;
      kept->chain = leftHooks[i].chain;
      leftHooks[i] = leftHooks.back();
      leftHooks.pop_back();
      return;
    }
  LONG_PTR before = GetWindowLongPtrW(window, GWLP_WNDPROC);
  if (!SetWindowSubclass(window, AltEnterProcedure, lastHook + 1, 0))
    return;
  kept->hook = ++lastHook;
  LONG_PTR after = GetWindowLongPtrW(window, GWLP_WNDPROC);
  kept->chain = after != before ? after : 0;
}

void GiveWindowBack(DisplayState &state) {
  HWND window = static_cast<HWND>(state.window.handle);
  if (!state.window.held)
    return;
  state.window.held = false;
  Look look;
  UINT_PTR hook = 0;
  bool restyled = false;
  {
    std::lock_guard<std::mutex> hold(windowsLock);
    KeptWindow *kept = Kept(window);
    if (kept == NULL || --kept->holders > 0)
      return; // another display on the window still has it
    hook = kept->hook;
    restyled = kept->restyled && !kept->gone;
    look = GivenBack(*kept);
    if (hook != 0 && kept->chain != 0 &&
        GetWindowLongPtrW(window, GWLP_WNDPROC) != kept->chain) {
      leftHooks.push_back(LeftHook{window, hook, kept->chain});
      hook = 0;
    }
    Drop(window);
  }
  if (hook != 0 && !RemoveWindowSubclass(window, AltEnterProcedure, hook)) {
    // Off the window's thread: the procedure takes itself off later.
    std::lock_guard<std::mutex> hold(windowsLock);
    leftHooks.push_back(LeftHook{window, hook, 0});
  }
  MONITORINFO monitor;
  if (restyled && IsWindow(window) && MonitorOf(window, monitor))
    Show(window, look, monitor);
}

bool ApplyAltEnter(DisplayState &state) {
  // Copies: the window's handlers may close the display at each switch.
  HWND window = static_cast<HWND>(state.window.handle);
  const bool fullScreenClient = state.fullScreenClient;
  const int modeWidth = state.modeWidth, modeHeight = state.modeHeight;
  if (!state.window.held)
    return false;
  bool switched = false;
  for (;;) {
    {
      // Most frames nothing was pressed: the monitor is not asked for then,
      // as each question about monitors costs Wine server round trips.
      std::lock_guard<std::mutex> hold(windowsLock);
      KeptWindow *kept = Kept(window);
      if (kept == NULL || kept->gone || kept->presses == 0)
        return switched;
    }
    MONITORINFO monitor;
    if (!MonitorOf(window, monitor))
      return switched;
    Look look;
    {
      std::lock_guard<std::mutex> hold(windowsLock);
      KeptWindow *kept = Kept(window);
      if (kept == NULL || kept->gone || kept->presses == 0)
        return switched;
      --kept->presses;
      // A window to its monitor's size and back; a full-screen client's
      // monitor-covering window to a window of its mode and back.
      if (!kept->covering) {
        look = Covering(*kept, monitor.rcMonitor);
        kept->restyled = true;
      } else if (fullScreenClient) {
        look = ModeInWindow(modeWidth, modeHeight, monitor.rcMonitor);
      } else {
        look = GivenBack(*kept);
        kept->restyled = false;
      }
      kept->covering = !kept->covering;
    }
    Show(window, look, monitor);
    switched = true;
  }
}

bool WindowCovers(void *window) {
  std::lock_guard<std::mutex> hold(windowsLock);
  KeptWindow *kept = Kept(static_cast<HWND>(window));
  return kept != NULL && !kept->gone && kept->covering;
}

bool ReturnTaken(void *window, bool returnHeld) {
  std::lock_guard<std::mutex> hold(windowsLock);
  KeptWindow *kept = Kept(static_cast<HWND>(window));
  if (kept == NULL || kept->gone)
    return false;
  if (!returnHeld)
    kept->returnTaken = false; // let go where the window did not see it
  return kept->returnTaken;
}
