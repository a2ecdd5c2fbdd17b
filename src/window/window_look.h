// A display keeping the desktop on Windows and its window's record (natively
// the stand-in does these itself): the look and place the window is given
// and given back, Alt+Enter's keys and moves, and the cursor hidden over
// the picture; each an attachment of the window's record. Every window
// move the library makes is made here.
#ifndef LURN_WINDOW_LOOK_H
#define LURN_WINDOW_LOOK_H

#include "window.h"

#if defined(LURN_WINDOW_SYSTEM)
// How the first display keeping the desktop found the window, which the
// last gives back.
struct LookOnWindow {
  int displays; // open displays keeping the desktop on it
  LONG_PTR style, exStyle;
  WINDOWPLACEMENT placement;
  bool restyled; // the look is the library's: given back at the end
  bool covering; // covers its monitor
};

// Alt+Enter, for the displays that take it on the window.
struct AltEnterOnWindow {
  int users;
  AltEnter keys;
  // How the window was just before a press switched it, to go back to, and
  // whether that look was the library's.
  LONG_PTR styleBefore, exStyleBefore;
  WINDOWPLACEMENT placementBefore;
  bool restyledBefore;
  // Moves for the window's own thread to make: a display that presents
  // elsewhere posted them, with its kind and mode.
  bool movesPosted;
  bool fullScreenClient;
  int modeWidth, modeHeight;
};

// The cursor, hidden over the picture for the displays that ask.
struct CursorOnWindow {
  int users;
  Placement picture; // where the last of their presents put the picture
  bool pictureShown;
};

// The window becomes a borderless window covering its monitor; how it was
// is kept for GiveWindowBack.
HRESULT CoverMonitor(TakenWindow &window);
// The display lets go of its window: its use of Alt+Enter and the cursor
// ends, and once the last display on the window lets go, its style and place
// go back to how the first display found them.
void GiveWindowBack(TakenWindow &window);
// Alt+Enter becomes the library's, when `wanted`: the display is a user of
// the window's Alt+Enter attachment, which notes the presses.
void TakeAltEnter(TakenWindow &window, bool wanted);
// With `wanted` (LURN_HIDE_CURSOR), the system's cursor is hidden while over
// the picture: the display is a user of the window's cursor attachment.
void TakeCursor(TakenWindow &window, bool wanted);
// After each present: where the picture now is, for the cursor.
void NotePicture(const TakenWindow &window, const Placement &placed);
// Switches the window once for each Alt+Enter press noted since the last
// call, on the thread that presents. True when it switched: the window's
// handlers ran, and may have closed the display (its state is then gone).
bool ApplyAltEnter(TakenWindow &window, bool fullScreenClient, int modeWidth,
                   int modeHeight);
// Whether the display's window covers its monitor.
bool WindowCovers(const TakenWindow &window);

// For the window's procedure. The message a display presenting on another
// thread than its window's posts to the window: the window's procedure then
// makes Alt+Enter's moves (MakePostedMoves) on the window's own thread.
UINT AltEnterMessage();
void MakePostedMoves(HWND window);
// Under the lock: whether a key message is Alt+Enter's, noting the press.
bool AltEnterHears(WindowRecord &record, UINT message, WPARAM wParam,
                   LPARAM lParam);
// Under the lock: whether the message asks for the cursor where it is
// hidden (over the picture, in the client area).
bool CursorHidden(const WindowRecord &record, UINT message, LPARAM lParam);
// Under the lock, at a keyboard read on the window: whether a display takes
// Alt+Enter there, and whether the Return the read saw is the library's.
void JudgeReadReturn(WindowRecord &record, bool returnHeld, bool altHeld,
                     bool &altEnterTaken, bool &hideReturn);
// Counts the display changes the window's procedure hears (Windows).
void HearDisplayChange(UINT message);
#endif

#if defined(_WIN32)
// What the windows' hooks saw of the display, for the present and pacing:
// how many moves that may have taken a window to another monitor, display
// changes and new scales since the process began (from 1), and the count at
// the last one that changed a monitor's size or scale (not a mere move).
unsigned long DisplayChanges();
unsigned long LastMonitorChange();
// Moves a window covering its monitor onto all of the monitor it is on now,
// on the window's own thread only. True when it moved: its handlers ran.
bool CoverMonitorAgain(HWND window);
#endif

#endif
