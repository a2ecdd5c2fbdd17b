// The seam between the stand-in's platform (DirectDraw, DirectInput, the
// subclass chain: one implementation) and the host it runs on. Each host
// folder defines these: standin/sdl/ natively, standin/web/ in a page. The
// host also defines the window-system calls of <windows.h> (MessageBoxA,
// GetClientRect, GetCursorPos, IsWindow, ...) and the pacing's clock
// (NewPacingClock); it reports input through the Note* calls of standin.h.
#ifndef LURN_STANDIN_HOST_H
#define LURN_STANDIN_HOST_H

#include <stdint.h>
#include <windows.h>

#include "present/present.h"
#include "settings/settings.h"

// Windows. A handle is the host's window: natively the client's SDL_Window*,
// in a page the canvas's. The ID of the live window behind a handle, 0 when
// the handle is no live window; a stale or stray handle is never
// dereferenced, and state that outlives a call keeps the ID.
uint32_t WindowIdFromHandle(HWND window);
// The handle of the live window with that ID, or null.
HWND WindowHandle(uint32_t id);
// Handles found dead are remembered until this is called (when a display is
// made): the host may put a new window where a dead one was.
void ForgetDeadWindows();

// Set-up when a DirectDraw or DirectInput object is made: the host's event
// watch, and anything its presents need.
void WatchEvents();
// The desktop's size; false when the host does not know it.
bool ReadDesktopSize(DWORD &width, DWORD &height);
// A display that hid the system's cursor is gone.
void ShowSystemCursor();

// Exclusive mode: the window covers its screen, and later goes back where
// it was.
void CoverScreen(uint32_t windowId);
void PutWindowBack(uint32_t windowId);
// Shows the `from` rectangle of `source` on the window: in `screenArea` (in
// screen coordinates), or with none in the whole window, as the settings'
// scale says; black around it. Applies Alt+Enter's pending switches first.
void ShowOnWindow(uint32_t windowId, const Pixels &source, const Rect &from,
                  const RECT *screenArea, const Settings &settings,
                  PresentScratch &scratch);

// Focus and events: whether the window is alive and has the input focus, as
// far as the host's events have told.
bool HasFocus(uint32_t windowId);
// Takes the host's pending events in (the platform's PumpEvents calls it).
void TakeHostEvents();

// Alt+Enter. A display whose level names the window takes Alt+Enter there
// (its altEnter setting): its hold, null for a window that is gone.
struct WindowAltEnter;
WindowAltEnter *HoldAltEnter(uint32_t windowId);
// The display lets go of its hold: once the last does, a window Alt+Enter
// switched goes back where it found it (an exclusive one is put back by
// leaving the mode), and presses not yet applied are dropped.
void ForgetAltEnter(WindowAltEnter *held, uint32_t windowId);

#endif
