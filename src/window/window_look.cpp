// The Windows side of keeping the desktop, for the window: made to cover its
// monitor and given back, Alt+Enter's keys and moves, and the cursor: the
// attachments of the window's record that displays use. The window
// procedure only notes the keys; the thread that presents switches the
// window, and never touches a display's state once the window's own
// handlers may have run (they may close the display).
// Before any Windows header: those define `near`.
#include "../present/frame_policy.h"

#include <ddraw.h>
#include <lurn.h>
#include <string.h>

#include <atomic>

#include "../errors/diagnostic.h"
#include "../settings/settings.h"
#include "window_look.h"

namespace {

// Under the lock: the display's hold on its window's record, whose look
// attachment keeps how the window is now when this is the first display
// keeping the desktop on it.
WindowRecord *Hold(TakenWindow &taken) {
  if (taken.record != NULL)
    return taken.record;
  WindowRecord *record = HoldWindow(static_cast<HWND>(taken.handle));
  if (record == NULL)
    return NULL;
  if (record->look == NULL) {
    LookOnWindow *look = new LookOnWindow();
    record->look.reset(look);
    look->style = GetWindowLongPtrW(record->window, GWL_STYLE);
    look->exStyle = GetWindowLongPtrW(record->window, GWL_EXSTYLE);
    look->placement.length = sizeof look->placement;
    GetWindowPlacement(record->window, &look->placement);
  }
  ++record->look->displays;
  taken.record = record;
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

Look Covering(const LookOnWindow &found, const RECT &monitor) {
  Look look;
  memset(&look, 0, sizeof look);
  look.style = (found.style & ~LONG_PTR(WS_OVERLAPPEDWINDOW | WS_CHILD)) |
               WS_POPUP | WS_VISIBLE;
  look.exStyle = found.exStyle & ~LONG_PTR(WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE);
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
      if (record == NULL || record->altEnter == NULL ||
          record->altEnter->keys.presses == 0)
        return switched;
    }
    MONITORINFO monitor;
    if (!MonitorOf(window, monitor))
      return switched;
    Look look;
    {
      std::lock_guard<std::mutex> hold(WindowsLock());
      WindowRecord *record = LiveRecord(window);
      if (record == NULL || record->look == NULL || record->altEnter == NULL)
        return switched;
      LookOnWindow &found = *record->look;
      AltEnterOnWindow &altEnter = *record->altEnter;
      switch (NextAltEnterMove(altEnter.keys, fullScreenClient)) {
      case kAltEnterNone:
        return switched;
      case kAltEnterCover:
        // Kept to go back to: where the user put the window meanwhile.
        altEnter.styleBefore = GetWindowLongPtrW(window, GWL_STYLE);
        altEnter.exStyleBefore = GetWindowLongPtrW(window, GWL_EXSTYLE);
        memset(&altEnter.placementBefore, 0, sizeof altEnter.placementBefore);
        altEnter.placementBefore.length = sizeof altEnter.placementBefore;
        if (!GetWindowPlacement(window, &altEnter.placementBefore))
          altEnter.placementBefore = found.placement;
        altEnter.restyledBefore = found.restyled;
        look = Covering(found, monitor.rcMonitor);
        found.restyled = true;
        found.covering = true;
        break;
      case kAltEnterBack:
        look = GivenBack(altEnter.styleBefore, altEnter.exStyleBefore,
                         altEnter.placementBefore);
        found.restyled = altEnter.restyledBefore;
        found.covering = false;
        break;
      case kAltEnterModeWindow:
        look = ModeInWindow(modeWidth, modeHeight, monitor.rcMonitor);
        found.covering = false;
        break;
      case kAltEnterFullScreen:
        look = Covering(found, monitor.rcMonitor);
        found.covering = true;
        break;
      }
    }
    Show(window, look, monitor);
    switched = true;
  }
}

// Whether the pointer is over the picture the window shows.
bool OverPicture(HWND window, const CursorOnWindow &cursor) {
  POINT pointer = {0, 0};
  if (!cursor.pictureShown || !GetCursorPos(&pointer) ||
      (!cursor.picture.screen && !ScreenToClient(window, &pointer)))
    return false;
  const Rect &picture = cursor.picture.picture;
  return pointer.x >= picture.x && pointer.x < picture.x + picture.w &&
         pointer.y >= picture.y && pointer.y < picture.y + picture.h;
}

// Makes the display, when `wanted`, a user of an attachment of its window
// that listens to the window's messages, once: `taken` says it is one.
template <class Attachment>
void TakeUse(TakenWindow &window, bool wanted, bool &taken,
             std::unique_ptr<Attachment> WindowRecord::*attachment) {
  if (!wanted || taken)
    return;
  WindowRecord *record;
  bool sayRefusal = false;
  {
    std::lock_guard<std::mutex> hold(WindowsLock());
    record = Hold(window);
    if (record == NULL)
      return;
    taken = MayHook(*record, sayRefusal);
    if (taken) {
      if (record->*attachment == NULL)
        (record->*attachment).reset(new Attachment());
      ++(record->*attachment)->users;
    }
  }
  SayHookRefused(record, sayRefusal, "Open"); // with no lock held
  if (taken)
    SettleWindow(record);
}

// Under the lock: the display leaves an attachment it used; the last user
// frees it.
template <class Attachment>
void LeaveUse(WindowRecord &record, bool &taken,
              std::unique_ptr<Attachment> WindowRecord::*attachment) {
  if (taken && record.*attachment != NULL && --(record.*attachment)->users == 0)
    (record.*attachment).reset();
  taken = false;
}

} // namespace

HRESULT CoverMonitor(TakenWindow &taken) {
  HWND window = static_cast<HWND>(taken.handle);
  MONITORINFO monitor;
  if (!IsWindow(window) || !MonitorOf(window, monitor))
    return DDERR_INVALIDPARAMS;
  Look look;
  bool movable = false;
  {
    std::lock_guard<std::mutex> hold(WindowsLock());
    WindowRecord *record = Hold(taken);
    if (record == NULL)
      return DDERR_INVALIDPARAMS;
    movable = OnWindowThread(window);
    if (movable) {
      record->look->restyled = true;
      record->look->covering = true;
      look = Covering(*record->look, monitor.rcMonitor);
    }
  }
  // Said with no lock held, as every line is.
  if (!movable)
    MovableHere(window, "Open", "is not made to cover its monitor");
  else
    Show(window, look, monitor);
  return DD_OK;
}

void TakeAltEnter(TakenWindow &window, bool wanted) {
  TakeUse(window, wanted, window.altEnter, &WindowRecord::altEnter);
}

void TakeCursor(TakenWindow &window, bool wanted) {
  TakeUse(window, wanted, window.cursor, &WindowRecord::cursor);
}

void NotePicture(const TakenWindow &window, const Placement &placed) {
  if (!window.cursor)
    return;
  std::lock_guard<std::mutex> hold(WindowsLock());
  CursorOnWindow *cursor = window.record->cursor.get();
  if (cursor != NULL) {
    cursor->picture = placed;
    cursor->pictureShown = true;
  }
}

void GiveWindowBack(TakenWindow &taken) {
  HWND window = static_cast<HWND>(taken.handle);
  WindowRecord *record = taken.record;
  if (record == NULL)
    return;
  taken.record = NULL;
  Look look;
  bool restyled = false;
  {
    std::lock_guard<std::mutex> hold(WindowsLock());
    LeaveUse(*record, taken.altEnter, &WindowRecord::altEnter);
    LeaveUse(*record, taken.cursor, &WindowRecord::cursor);
    LookOnWindow &found = *record->look;
    if (--found.displays == 0) {
      restyled = found.restyled && !record->gone;
      look = GivenBack(found.style, found.exStyle, found.placement);
      record->look.reset();
    }
  }
  SettleWindow(record); // the record may go
  MONITORINFO monitor;
  if (restyled && IsWindow(window) && MonitorOf(window, monitor) &&
      MovableHere(window, "Close", "keeps the look the library gave it"))
    Show(window, look, monitor);
}

bool ApplyAltEnter(TakenWindow &taken, bool fullScreenClient, int modeWidth,
                   int modeHeight) {
  HWND window = static_cast<HWND>(taken.handle);
  if (taken.record == NULL)
    return false;
  if (!OnWindowThread(window)) {
    // Moving the window from here would wait for its thread, which may be
    // waiting for this one: the window's thread makes the moves.
    std::lock_guard<std::mutex> hold(WindowsLock());
    AltEnterOnWindow *altEnter = taken.record->altEnter.get();
    if (altEnter != NULL && altEnter->keys.presses != 0 &&
        !altEnter->movesPosted) {
      altEnter->fullScreenClient = fullScreenClient;
      altEnter->modeWidth = modeWidth;
      altEnter->modeHeight = modeHeight;
      altEnter->movesPosted =
          PostMessageW(window, AltEnterMessage(), 0, 0) != FALSE;
    }
    return false;
  }
  return MakeMoves(window, fullScreenClient, modeWidth, modeHeight);
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
    AltEnterOnWindow *altEnter = record != NULL ? record->altEnter.get() : NULL;
    if (altEnter == NULL || !altEnter->movesPosted)
      return;
    altEnter->movesPosted = false;
    fullScreenClient = altEnter->fullScreenClient;
    modeWidth = altEnter->modeWidth;
    modeHeight = altEnter->modeHeight;
  }
  MakeMoves(window, fullScreenClient, modeWidth, modeHeight);
}

bool WindowCovers(const TakenWindow &window) {
  std::lock_guard<std::mutex> hold(WindowsLock());
  return window.record != NULL && !window.record->gone &&
         window.record->look != NULL && window.record->look->covering;
}

#if defined(_WIN32)
bool CoverMonitorAgain(HWND window) {
  MONITORINFO monitor;
  RECT now = {0, 0, 0, 0};
  if (IsIconic(window) || !OnWindowThread(window) ||
      !MonitorOf(window, monitor) || !GetWindowRect(window, &now) ||
      memcmp(&now, &monitor.rcMonitor, sizeof now) == 0)
    return false;
  const RECT &to = monitor.rcMonitor;
  SetWindowPos(window, NULL, to.left, to.top, to.right - to.left,
               to.bottom - to.top, SWP_NOZORDER | SWP_NOACTIVATE);
  return true;
}
#endif

bool AltEnterHears(WindowRecord &record, UINT message, WPARAM wParam,
                   LPARAM lParam) {
  AltEnterOnWindow *altEnter = record.altEnter.get();
  if (altEnter == NULL)
    return false;
  AltEnterKey key;
  switch (message) {
  case WM_KEYDOWN:
  case WM_SYSKEYDOWN:
    key = kAltEnterKeyDown;
    break;
  case WM_CHAR:
  case WM_SYSCHAR:
    key = kAltEnterCharacter;
    break;
  case WM_KEYUP:
  case WM_SYSKEYUP:
    key = kAltEnterKeyUp;
    break;
  case WM_KILLFOCUS:
    altEnter->keys.returnHeld = false; // its release goes elsewhere
    return false;
  default:
    return false;
  }
  // The character is '\r', the same number as VK_RETURN.
  return NoteAltEnterKey(altEnter->keys, wParam == VK_RETURN, key,
                         (lParam & (1L << 29)) != 0,
                         (lParam & (1L << 30)) != 0);
}

bool CursorHidden(const WindowRecord &record, UINT message, LPARAM lParam) {
  // The client area only: the frame's arrows stay the system's.
  return message == WM_SETCURSOR && record.cursor != NULL &&
         LOWORD(lParam) == HTCLIENT &&
         OverPicture(record.window, *record.cursor);
}

void JudgeReadReturn(WindowRecord &record, bool returnHeld, bool altHeld,
                     bool &altEnterTaken, bool &hideReturn) {
  if (record.altEnter == NULL)
    return;
  altEnterTaken = true;
  hideReturn =
      ReadReturnIsAltEnters(record.altEnter->keys, returnHeld, altHeld);
}

#if defined(_WIN32)
namespace {
// Every display change the hooks saw, and the count at the last one that
// changed a monitor's size or scale.
std::atomic<unsigned long> displayChanges(1), lastMonitorChange(0);
} // namespace

void HearDisplayChange(UINT message) {
  if (message == WM_WINDOWPOSCHANGED)
    ++displayChanges;
  else if (message == WM_DISPLAYCHANGE || message == WM_DPICHANGED)
    lastMonitorChange = ++displayChanges;
}

unsigned long DisplayChanges() { return displayChanges.load(); }

unsigned long LastMonitorChange() { return lastMonitorChange.load(); }
#else
void HearDisplayChange(UINT) {} // the tests' fake window system: one monitor
#endif
