// The Windows side of keeping the desktop, for the window: made to cover its
// monitor and given back, and Alt+Enter's moves. The window procedure
// (window.cpp) only notes the keys; the thread that presents switches the
// window, and never touches a display's state once the window's own
// handlers may have run (they may close the display).
// Before any Windows header: those define `near`.
#include "../present/frame_policy.h"

#include <ddraw.h>
#include <lurn.h>
#include <string.h>

#include "../settings/settings.h"
#include "window.h"
#include "window_look.h"

namespace {

// Under the lock: the display's hold on its window's record, which keeps
// how the window is now when `state` is the first display to take it.
WindowRecord *Hold(DisplayState &state) {
  if (state.window.record != NULL)
    return state.window.record;
  WindowRecord *record = HoldWindow(static_cast<HWND>(state.window.handle));
  if (record == NULL)
    return NULL;
  if (record->displays++ == 0) {
    record->style = GetWindowLongPtrW(record->window, GWL_STYLE);
    record->exStyle = GetWindowLongPtrW(record->window, GWL_EXSTYLE);
    memset(&record->placement, 0, sizeof record->placement);
    record->placement.length = sizeof record->placement;
    GetWindowPlacement(record->window, &record->placement);
    record->restyled = false;
    record->covering = false;
    record->altEnter = AltEnter();
  }
  state.window.record = record;
  return record;
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

Look Covering(const WindowRecord &record, const RECT &monitor) {
  Look look;
  memset(&look, 0, sizeof look);
  look.style = (record.style & ~LONG_PTR(WS_OVERLAPPEDWINDOW | WS_CHILD)) |
               WS_POPUP | WS_VISIBLE;
  look.exStyle =
      record.exStyle & ~LONG_PTR(WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE);
  look.place = monitor;
  return look;
}

Look GivenBack(LONG_PTR style, LONG_PTR exStyle,
               const WINDOWPLACEMENT &placement) {
  Look look;
  memset(&look, 0, sizeof look);
  look.style = style;
  look.exStyle = exStyle;
  look.givenBack = true;
  look.placement = placement;
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

// Whether the window may be moved from this thread; if not, says what
// `method` leaves undone.
bool MovableHere(HWND window, const char *method, const char *undone) {
  if (OnWindowThread(window))
    return true;
  SayDiagnostic("lurn: %s: window %p %s: it belongs to another thread, "
                "which moving it from this one would wait for; call %s on "
                "the window's thread",
                method, static_cast<void *>(window), undone, method);
  return false;
}

// Switches the window once for each Alt+Enter press noted, on the window's
// thread. Each switch runs the window's handlers, which may close the
// display: this works on copies and the window's record alone.
bool MakeMoves(HWND window, bool fullScreenClient, int modeWidth,
               int modeHeight) {
  bool switched = false;
  for (;;) {
    {
      // Most frames nothing was pressed: the monitor is not asked for then,
      // as each question about monitors costs Wine server round trips.
      std::lock_guard<std::mutex> hold(WindowsLock());
      WindowRecord *record = LiveRecord(window);
      if (record == NULL || record->altEnter.presses == 0)
        return switched;
    }
    MONITORINFO monitor;
    if (!MonitorOf(window, monitor))
      return switched;
    Look look;
    {
      std::lock_guard<std::mutex> hold(WindowsLock());
      WindowRecord *record = LiveRecord(window);
      if (record == NULL || record->displays == 0)
        return switched;
      switch (NextAltEnterMove(record->altEnter, fullScreenClient)) {
      case kAltEnterNone:
        return switched;
      case kAltEnterCover:
        // Kept to go back to: where the user put the window meanwhile.
        record->styleBefore = GetWindowLongPtrW(window, GWL_STYLE);
        record->exStyleBefore = GetWindowLongPtrW(window, GWL_EXSTYLE);
        memset(&record->placementBefore, 0, sizeof record->placementBefore);
        record->placementBefore.length = sizeof record->placementBefore;
        if (!GetWindowPlacement(window, &record->placementBefore))
          record->placementBefore = record->placement;
        record->restyledBefore = record->restyled;
        look = Covering(*record, monitor.rcMonitor);
        record->restyled = true;
        record->covering = true;
        break;
      case kAltEnterBack:
        look = GivenBack(record->styleBefore, record->exStyleBefore,
                         record->placementBefore);
        record->restyled = record->restyledBefore;
        record->covering = false;
        break;
      case kAltEnterModeWindow:
        look = ModeInWindow(modeWidth, modeHeight, monitor.rcMonitor);
        record->covering = false;
        break;
      case kAltEnterFullScreen:
        look = Covering(*record, monitor.rcMonitor);
        record->covering = true;
        break;
      }
    }
    Show(window, look, monitor);
    switched = true;
  }
}

} // namespace

HRESULT CoverMonitor(DisplayState &state) {
  HWND window = static_cast<HWND>(state.window.handle);
  MONITORINFO monitor;
  if (!IsWindow(window) || !MonitorOf(window, monitor))
    return DDERR_INVALIDPARAMS;
  Look look;
  bool movable = false;
  {
    std::lock_guard<std::mutex> hold(WindowsLock());
    WindowRecord *record = Hold(state);
    if (record == NULL)
      return DDERR_INVALIDPARAMS;
    movable = OnWindowThread(window);
    if (movable) {
      record->restyled = true;
      record->covering = true;
      look = Covering(*record, monitor.rcMonitor);
    }
  }
  // Said with no lock held, as every line is.
  if (!movable)
    MovableHere(window, "Open", "is not made to cover its monitor");
  else
    Show(window, look, monitor);
  return DD_OK;
}

namespace {

// Makes the display, when `wanted`, a user of its window's subclass for one
// purpose, once: `taken` says it is one, `users` counts them on the window.
void TakeUse(DisplayState &state, bool wanted, bool &taken,
             int WindowRecord::*users) {
  if (!wanted || taken)
    return;
  WindowRecord *record;
  bool sayRefusal = false;
  {
    std::lock_guard<std::mutex> hold(WindowsLock());
    record = Hold(state);
    if (record == NULL)
      return;
    taken = MayHook(*record, sayRefusal);
    if (taken)
      ++(record->*users);
  }
  SayHookRefused(record, sayRefusal, "Open"); // with no lock held
  if (taken)
    SettleWindow(record);
}

} // namespace

void TakeAltEnter(DisplayState &state) {
  TakeUse(state, state.settings.altEnter, state.window.altEnter,
          &WindowRecord::altEnterUsers);
}

void TakeCursor(DisplayState &state) {
  TakeUse(state, state.settings.hideCursor, state.window.cursor,
          &WindowRecord::cursorUsers);
}

void NotePicture(const DisplayState &state) {
  if (!state.window.cursor)
    return;
  std::lock_guard<std::mutex> hold(WindowsLock());
  state.window.record->picture = state.placed;
  state.window.record->pictureShown = true;
}

void GiveWindowBack(DisplayState &state) {
  HWND window = static_cast<HWND>(state.window.handle);
  WindowRecord *record = state.window.record;
  if (record == NULL)
    return;
  state.window.record = NULL;
  Look look;
  bool restyled;
  {
    std::lock_guard<std::mutex> hold(WindowsLock());
    if (state.window.altEnter)
      --record->altEnterUsers;
    if (state.window.cursor && --record->cursorUsers == 0)
      record->pictureShown = false;
    state.window.altEnter = false;
    state.window.cursor = false;
    restyled = --record->displays == 0 && record->restyled && !record->gone;
    if (record->displays == 0) {
      look = GivenBack(record->style, record->exStyle, record->placement);
      record->restyled = false;
      record->covering = false;
      record->altEnter = AltEnter();
    }
  }
  SettleWindow(record); // the record may go
  MONITORINFO monitor;
  if (restyled && IsWindow(window) && MonitorOf(window, monitor) &&
      MovableHere(window, "Close", "keeps the look the library gave it"))
    Show(window, look, monitor);
}

bool ApplyAltEnter(DisplayState &state) {
  HWND window = static_cast<HWND>(state.window.handle);
  if (state.window.record == NULL)
    return false;
  if (!OnWindowThread(window)) {
    // Moving the window from here would wait for its thread, which may be
    // waiting for this one: the window's thread makes the moves.
    std::lock_guard<std::mutex> hold(WindowsLock());
    WindowRecord &record = *state.window.record;
    if (record.altEnter.presses != 0 && !record.movesPosted) {
      record.fullScreenClient = state.fullScreenClient;
      record.modeWidth = state.modeWidth;
      record.modeHeight = state.modeHeight;
      record.movesPosted =
          PostMessageW(window, AltEnterMessage(), 0, 0) != FALSE;
    }
    return false;
  }
  return MakeMoves(window, state.fullScreenClient, state.modeWidth,
                   state.modeHeight);
}

UINT AltEnterMessage() {
  static const UINT message = RegisterWindowMessageW(L"lurn Alt+Enter");
  return message;
}

void MakePostedMoves(HWND window) {
  bool fullScreenClient;
  int modeWidth, modeHeight;
  {
    std::lock_guard<std::mutex> hold(WindowsLock());
    WindowRecord *record = LiveRecord(window);
    if (record == NULL || !record->movesPosted)
      return;
    record->movesPosted = false;
    fullScreenClient = record->fullScreenClient;
    modeWidth = record->modeWidth;
    modeHeight = record->modeHeight;
  }
  MakeMoves(window, fullScreenClient, modeWidth, modeHeight);
}

bool WindowCovers(const DisplayState &state) {
  std::lock_guard<std::mutex> hold(WindowsLock());
  return state.window.record != NULL && !state.window.record->gone &&
         state.window.record->covering;
}
