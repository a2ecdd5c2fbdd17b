// Everything the library does to a client's window, in one record per
// window: the one subclass it puts on the window, counted by its users
// (keyboards reading text or strokes, displays taking Alt+Enter or hiding
// the cursor over their picture) and taken
// off by one rule; the text typed into it and its key strokes, kept per
// keyboard; Alt+Enter's presses and the Return they hide; and (Windows,
// keeping the desktop) what the first
// display found, to give back. The window procedure runs on the window's
// thread, the rest on the threads of the records that use the window: one
// lock guards the list and every record in it.
#ifndef LURN_WINDOW_H
#define LURN_WINDOW_H

// Before any Windows header: those define `near`.
#include "../present/alt_enter.h"
#include "../present/present.h"

#include <windows.h>

#if defined(_WIN32) && !defined(LURN_WINDOW_SYSTEM)
// The window's styles, place and Alt+Enter are the library's own business on
// Windows (natively the stand-in's); the unit tests also build them natively
// over the fake window system.
#define LURN_WINDOW_SYSTEM 1
#endif
#if defined(_WIN32) || defined(LURN_WINDOW_SYSTEM)
#include <commctrl.h>
#endif

#include <mutex>
#include <string>
#include <vector>

// What a window tells one keyboard opened on it.
struct KeyboardOnWindow {
  const void *keyboard;
  bool listening;         // ReadText or KeyStrokes hooked the window for it
  unsigned highSurrogate; // the first half of a pair, waiting
  unsigned leadByte;      // an ANSI window's lead byte, waiting
  std::string text;       // UTF-8, whole characters
  bool tooSmallSaid;      // a buffer too small for the next character
  // Key-downs by key code since the last keyboard read, the system's
  // auto-repeats included (the library's Alt+Enter left out).
  unsigned short strokes[256];
};

struct WindowRecord {
  HWND window;
  bool gone;       // destroyed: nothing to give back; the handle may come again
  UINT_PTR hookId; // the library's subclass's ID, the record its data
  bool hooked;     // the subclass is on the window
  bool settling;   // a thread is putting it on or taking it off
  bool refusalSaid; // the one line about another thread's window
  std::vector<KeyboardOnWindow> keyboards;
  int altEnterUsers; // displays taking Alt+Enter on it
  AltEnter altEnter;
  int cursorUsers;   // displays hiding the system's cursor over their picture
  Placement picture; // where the last of their presents put the picture
  bool pictureShown;
#if defined(LURN_WINDOW_SYSTEM)
  int displays; // open displays keeping the desktop on it
  // How the first of them found it, which the last gives back.
  LONG_PTR style, exStyle;
  WINDOWPLACEMENT placement;
  bool restyled; // the look is the library's: given back at the end
  bool covering; // covers its monitor
  // How it was just before Alt+Enter switched it, to go back to, and
  // whether that look was the library's.
  LONG_PTR styleBefore, exStyleBefore;
  WINDOWPLACEMENT placementBefore;
  bool restyledBefore;
  // Alt+Enter's moves for the window's own thread to make: the display that
  // presents elsewhere posted them, with its kind and mode.
  bool movesPosted;
  bool fullScreenClient;
  int modeWidth, modeHeight;
#endif
};

// Held while a record is read or changed.
std::mutex &WindowsLock();

// Under the lock: the record of the live window `window`, made when there
// is none. Its users keep it; SettleWindow once one leaves.
WindowRecord *HoldWindow(HWND window);
// Under the lock: the live record of `window`, or null.
WindowRecord *LiveRecord(HWND window);
// Whether this thread is `window`'s own: the window's handlers run on it,
// and a call that sends the window a message from elsewhere waits for that
// thread (which may be waiting for this one).
bool OnWindowThread(HWND window);
// Under the lock: whether a new user of the record may have the window
// hooked: only on the window's own thread. Elsewhere `sayRefusal` is set
// the first time, for SayHookRefused to say once the lock is let go.
bool MayHook(WindowRecord &record, bool &sayRefusal);
void SayHookRefused(const WindowRecord *record, bool sayRefusal,
                    const char *method);
// Not under the lock, after the record's users changed: the library's
// subclass is put on the window while a user listens, and taken off once
// none does, unless a hook of the program's sits above the chain (taking it
// off would cut that hook out) or this is not the window's thread; it then
// passes everything on and takes itself off once it can. The record goes
// once it has neither subclass nor users. The platform's subclass calls are
// made with no lock of the library's held.
void SettleWindow(WindowRecord *record);

// The keyboard was opened on `window`.
void AddKeyboard(const void *keyboard, void *window);
// Writes the text typed since the last call as UTF-8, zero-terminated, cut
// at a whole character; what does not fit stays. Returns the bytes written.
// The first call hooks the window and finds nothing yet.
int TakeText(const void *keyboard, char *utf8, int size);
// The keyboard's strokes are asked for: the first call hooks the window.
void ListenForStrokes(const void *keyboard);
// At a keyboard read: the key-downs since the last one, the system's
// repeats included, into `strokes`; whether a display takes Alt+Enter on
// the keyboard's window (`altEnterTaken`: a Return pressed with Alt held is
// then the library's, left out of the read's counts). Whether the Return
// held now is one (`returnHeld` and `altHeld`: what the read saw) is said
// in `hideReturn`: the window's hook may not have seen the press yet.
void TakeStrokes(const void *keyboard, bool returnHeld, bool altHeld,
                 unsigned short strokes[256], bool &altEnterTaken,
                 bool &hideReturn);
// The keyboard is let go: its text goes, and its use of the window.
void DropKeyboard(const void *keyboard);

#if defined(_WIN32)
// What the windows' hooks saw of the display, for the present and pacing:
// how many moves that may have taken a window to another monitor, display
// changes and new scales since the process began (from 1), and the count at
// the last one that changed a monitor's size or scale (not a mere move).
unsigned long DisplayChanges();
unsigned long LastMonitorChange();
#endif

#endif
