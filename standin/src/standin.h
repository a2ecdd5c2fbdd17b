// What the stand-in's platform parts share: the emulated display that
// DirectDraw sets, and the focus and input state that its host's events
// bring. What the platform asks of its host is in host.h.
#ifndef LURN_STANDIN_H
#define LURN_STANDIN_H

#include <ddraw.h>
#include <dinput.h>
#include <stdint.h>

#include <deque>

#include "host.h"
#include "present/present.h"

struct EmulatedDisplay {
  // The desktop: its depth comes from LURN_STANDIN_DESKTOP ("565", the
  // default, "555" or "32"), its size from the host when it knows it.
  DWORD desktopWidth, desktopHeight;
  PixelFormat desktopFormat;
  // The current mode: the desktop's, or what an exclusive client set.
  DWORD width, height;
  PixelFormat format;
  const void *exclusiveOwner; // the DirectDraw object in exclusive mode
  uint32_t exclusiveWindowId; // its window, by ID: the client may destroy it
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
uint32_t ExclusiveWindowId();
void RestoreDesktopMode();
// Notes a focus loss of the exclusive window (a new loss epoch). Under the
// display lock.
void CheckExclusiveFocus();

// Input as the host's events report it.
struct InputState {
  uint32_t focusWindowId; // 0: none known from events
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
  uint32_t pointerWindowId; // 0: not known
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
// Takes the host's pending events in, and counts it.
void PumpEvents();
// Pumps unless someone has pumped since this caller's last round (`seen`):
// a frame that reads both devices and flips pumps once.
void PumpOncePerRound(unsigned &seen);
unsigned PumpCount();
// The host's events arrive on whichever thread pumps or pushes them: the
// input state is read and written under this lock, held briefly.
class InputLock {
public:
  InputLock();
  ~InputLock();
  InputLock(const InputLock &) = delete;
  InputLock &operator=(const InputLock &) = delete;
};

// What a host reports, under the input lock. Queued for every acquired
// buffered device of its kind; a full buffer drops the event and remembers
// that it did.
void QueueEvent(bool keyboard, DWORD offset, DWORD data, DWORD time);
// The focus left the window that had it: keys and buttons are up.
void LoseInputFocus();
// A DirectInput key code went down or up; a repeat changes no state.
void NoteKey(unsigned char key, bool down, bool repeat, DWORD time);
// Button 0 to 3: left, right, middle, the first extra.
void NoteButton(int index, bool down, DWORD time);
void NoteMotion(long x, long y, DWORD time);
void NoteWheel(long notches, DWORD time);

// Not under the input lock: the window's subclass procedures get text as
// WM_CHAR, UTF-16 units, and key presses as WM_KEYDOWN (WM_SYSKEYDOWN with
// Alt); `virtualKey` is the host's key code, `key` DirectInput's.
void SendText(uint32_t windowId, const char *utf8);
void SendKeyDown(uint32_t windowId, unsigned char key, WPARAM virtualKey,
                 bool alt, bool repeat);

#endif
