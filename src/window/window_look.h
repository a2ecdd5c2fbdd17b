// A display keeping the desktop on Windows and its window's record (natively
// the stand-in does these itself): the window's look and place, and
// Alt+Enter's moves.
#ifndef LURN_WINDOW_LOOK_H
#define LURN_WINDOW_LOOK_H

#include "../display/display_state.h"

#if defined(LURN_WINDOW_SYSTEM)
// The window becomes a borderless window covering its monitor; how it was
// is kept for GiveWindowBack.
HRESULT CoverMonitor(DisplayState &state);
// Once the last display on the window lets go: its style and place as the
// first display found them, and its window procedure without the library's
// subclass.
void GiveWindowBack(DisplayState &state);
// Alt+Enter becomes the library's: a user of the window's subclass, which
// notes the presses.
void TakeAltEnter(DisplayState &state);
// Under LURN_HIDE_CURSOR, the system's cursor is hidden while over the
// picture: a user of the window's subclass, which answers WM_SETCURSOR.
void TakeCursor(DisplayState &state);
// After each present: where the picture now is, for the cursor.
void NotePicture(const DisplayState &state);
// Switches the window once for each Alt+Enter press noted since the last
// call, on the thread that presents. True when it switched: the window's
// handlers ran, and may have closed the display (`state` is then gone).
bool ApplyAltEnter(DisplayState &state);
// Whether the display's window covers its monitor.
bool WindowCovers(const DisplayState &state);
// The message a display presenting on another thread than its window's
// posts to the window: the window's procedure then makes Alt+Enter's moves
// (MakePostedMoves) on the window's own thread.
UINT AltEnterMessage();
void MakePostedMoves(HWND window);
#endif

#endif
