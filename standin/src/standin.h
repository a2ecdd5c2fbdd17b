// What the stand-in's parts share: the emulated display that DirectDraw sets,
// the SDL windows that stand for the client's windows, and the focus and
// input state that SDL's events bring.
#ifndef LURN_STANDIN_H
#define LURN_STANDIN_H

#include <SDL.h>
#include <ddraw.h>
#include <dinput.h>

#include <deque>

#include "present/frame_policy.h"
#include "present/present.h"

// Where a window's client area is, whether it has a border, and what its
// frame added around it then, to put it back later.
struct WindowPlace {
  SDL_Rect rect;
  bool bordered;
  FrameSize frame;
};

struct EmulatedDisplay {
  // The desktop: its depth comes from LURN_STANDIN_DESKTOP ("565", the
  // default, "555" or "32"), its size from SDL when video is up.
  DWORD desktopWidth, desktopHeight;
  PixelFormat desktopFormat;
  // The current mode: the desktop's, or what an exclusive client set.
  DWORD width, height;
  PixelFormat format;
  const void *exclusiveOwner; // the DirectDraw object in exclusive mode
  Uint32 exclusiveWindowId;   // its window, by ID: the client may destroy it
  WindowPlace windowedPlace;  // where the exclusive window was before
  ScaleMode exclusiveScale;   // how the mode fills the exclusive window
  // Video memory is lost each time the exclusive window loses the focus: a
  // surface made or restored in an earlier epoch is lost.
  unsigned lossEpoch;
  bool exclusiveWindowInBack;
};

// The emulated display is shared by every DirectDraw object, which separate
// threads may use: it is read and written under this lock. Recursive, for
// the stand-in's own calls within; never held while presenting.
class DisplayLock {
public:
  DisplayLock();
  ~DisplayLock();
  DisplayLock(const DisplayLock &) = delete;
  DisplayLock &operator=(const DisplayLock &) = delete;
};
EmulatedDisplay &Display();
// The exclusive window's ID, 0 when none: read under the lock.
Uint32 ExclusiveWindowId();
void RestoreDesktopMode();
// Notes a focus loss of the exclusive window (a new loss epoch). Under the
// display lock.
void CheckExclusiveFocus();

// The ID of the live SDL window behind a handle, 0 when the handle is no
// live SDL window; a stale or stray handle is never dereferenced. State that
// outlives a call keeps the ID: a destroyed window's ID finds no window.
Uint32 WindowIdFromHandle(HWND window);
// Handles found dead are remembered until this is called (when a display
// is made): SDL may put a new window where a dead one was.
void ForgetDeadWindows();
// The live window with that ID, or null.
SDL_Window *LiveWindow(Uint32 id);
// The SDL window behind a handle, or null.
SDL_Window *WindowFromHandle(HWND window);

// Input as SDL's events report it, gathered by an event watch that
// WatchEvents installs (again after each SDL_Quit).
struct InputState {
  Uint32 focusWindowId; // 0: none known from events
  bool focusKnown;
  // Focus losses seen: a device acquired before the last one has lost its
  // acquisition, even when the focus came back before its next read.
  unsigned focusLosses;
  unsigned char keys[256];    // by DirectInput key code, 0x80 while down
  long mouseX, mouseY, wheel; // movement since the last mouse read
  unsigned char buttons[4];
  // SDL counts pointer motion in window coordinates from the last position
  // it saw: where that position's window stood then, so that a window moved
  // in between (full screen, a window manager) does not read as motion.
  Uint32 pointerWindowId; // 0: not known
  int pointerWindowLeft, pointerWindowTop;
};
InputState &Input();
// A device's buffered events (DIPROP_BUFFERSIZE), queued by the watch while
// the device is acquired. Listed from the buffer's setting to the device's
// end; read and written under the input lock.
struct EventQueue {
  bool keyboard;
  bool acquired;
  DWORD capacity; // events it holds; 0: not buffered
  bool overflow;  // events came while it was full, and were dropped
  DWORD sequence;
  std::deque<DIDEVICEOBJECTDATA> events;
};
void ListQueue(EventQueue *queue);
void UnlistQueue(EventQueue *queue);
// The watch runs on whichever thread pumps or pushes an event: the input
// state is read and written under this lock, held briefly.
class InputLock {
public:
  InputLock();
  ~InputLock();
  InputLock(const InputLock &) = delete;
  InputLock &operator=(const InputLock &) = delete;
};
void WatchEvents();
// To be called before the stand-in moves a window.
void NoteWindowMove(SDL_Window *window);
// Whether the window with that ID is alive and has the input focus, as far
// as SDL's events have told.
bool HasFocus(Uint32 windowId);
// Pumps SDL's events, unless someone has pumped since this caller's last
// round (`seen`): a frame that reads both devices and flips pumps once.
void PumpOncePerRound(unsigned &seen);
// Pumps SDL's events at once.
void PumpEvents();
// How often the stand-in has pumped SDL's events.
unsigned PumpCount();
// Sends SDL's text input to the window's subclass procedures as WM_CHAR.
void SendText(Uint32 windowId, const char *utf8);
// Sends SDL's key-down to the window's subclass procedures as WM_KEYDOWN.
void SendKey(const SDL_KeyboardEvent &key);
// The DirectInput key code of an SDL scancode, 0 for none.
unsigned char KeyCodeOf(SDL_Scancode scancode);

#endif
