// The window a display keeping the desktop took, on Windows (natively the
// stand-in does these itself): its look and place, and Alt+Enter.
#ifndef LURN_WINDOWS_WINDOW_H
#define LURN_WINDOWS_WINDOW_H

#include "display_state.h"

#if defined(LURN_WINDOW_SYSTEM)
// The window becomes a borderless window covering its monitor; how it was
// is kept for GiveWindowBack.
HRESULT CoverMonitor(DisplayState &state);
// Once the last display on the window lets go: its style and place as the
// first display found them, and its window procedure without the library's
// subclass.
void GiveWindowBack(DisplayState &state);
// Alt+Enter becomes the library's: the window's procedure is subclassed,
// and notes the presses.
void TakeAltEnter(DisplayState &state);
// Switches the window once for each Alt+Enter press noted since the last
// call, on the thread that presents. True when it switched: the window's
// handlers ran, and may have closed the display (`state` is then gone).
bool ApplyAltEnter(DisplayState &state);
// Whether the library made `window` cover its monitor.
bool WindowCovers(void *window);
// Whether the Return held on `window` belongs to an Alt+Enter the library
// took: the keyboard read leaves it out. `returnHeld` is what the read saw.
bool ReturnTaken(void *window, bool returnHeld);
#endif

#endif
