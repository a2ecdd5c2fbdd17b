// The library's record of a client's window: a small core (the window, the
// library's one subclass on it and whether it is on) found through the
// subclass's reference data, and one attachment per feature that uses the
// window, each its own module's, freed with the record:
//   - the keyboards opened on it: text typed and key strokes (typed_keys.h);
//   - (Windows) Alt+Enter, the cursor hidden over the picture, and the look
//     and place a display keeping the desktop gives back (window_look.h).
// The subclass is on while an attachment listens, and the record lives
// while the subclass is on or an attachment is there. The window procedure
// runs on the window's thread, the rest on the threads of the records that
// use the window: one lock guards the list and every record in it, and no
// platform call that may run a window procedure is made under it.
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

#include <memory>
#include <mutex>
#include <vector>

struct KeyboardsOnWindow;
struct AltEnterOnWindow;
struct CursorOnWindow;
struct LookOnWindow;

struct WindowRecord {
  HWND window;
  bool gone;       // destroyed: nothing to give back; the handle may come again
  UINT_PTR hookId; // the library's subclass's ID, the record its data
  bool hooked;     // the subclass is on the window
  bool settling;   // a thread is putting it on or taking it off
  bool refusalSaid; // the one line about another thread's window
  // The attachments; null for a feature that does not use the window.
  std::unique_ptr<KeyboardsOnWindow> keyboards;
#if defined(LURN_WINDOW_SYSTEM)
  std::unique_ptr<AltEnterOnWindow> altEnter;
  std::unique_ptr<CursorOnWindow> cursor;
  std::unique_ptr<LookOnWindow> look;
#endif
  WindowRecord();
  ~WindowRecord();
};

// A display's hold on its window: the handle (for the cursor, and keeping
// the desktop for the window's display scaling) and, Windows keeping the
// desktop, its record, where the display is a user of Alt+Enter and the
// cursor.
struct TakenWindow {
  void *handle;
  // The display keeps the desktop: the route, and with it the window's
  // display scaling, is the library's.
  bool keepsDesktop;
  WindowRecord *record;
  bool altEnter;
  bool cursor;
  unsigned long displayChanges; // the count the present last followed
  bool stretchSaid;             // the system stretching it was said
};

// Held while a record is read or changed.
std::mutex &WindowsLock();

// Under the lock: the record of the live window `window`, made when there
// is none. An attachment keeps it; SettleWindow once one goes.
WindowRecord *HoldWindow(HWND window);
// Under the lock: every record, for an attachment to find its own.
const std::vector<std::unique_ptr<WindowRecord>> &WindowRecords();
// Under the lock: the live record of `window`, or null.
WindowRecord *LiveRecord(HWND window);
// Whether this thread is `window`'s own: the window's handlers run on it,
// and a call that sends the window a message from elsewhere waits for that
// thread (which may be waiting for this one).
bool OnWindowThread(HWND window);
// Under the lock: whether a new listener may have the window hooked: only
// on the window's own thread. Elsewhere `sayRefusal` is set the first time,
// for SayHookRefused to say once the lock is let go.
bool MayHook(WindowRecord &record, bool &sayRefusal);
void SayHookRefused(const WindowRecord *record, bool sayRefusal,
                    const char *method);
// Not under the lock, after the record's attachments changed: the library's
// subclass is put on the window while an attachment listens, and taken off
// once none does, unless a hook of the program's sits above the chain
// (taking it off would cut that hook out) or this is not the window's
// thread; it then passes everything on and takes itself off once it can.
// The record goes once it has neither subclass nor attachment.
void SettleWindow(WindowRecord *record);

#endif
