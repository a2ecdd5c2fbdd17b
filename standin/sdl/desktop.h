// The SDL host's own parts: its windows, events and what it adds for
// today's desktops around the presents that surfaces.cpp makes: frames
// written to PNG files, how the picture fills its window, and Alt+Enter.
// Its flips return at once, as Wine's do: the library paces them.
#ifndef LURN_STANDIN_DESKTOP_H
#define LURN_STANDIN_DESKTOP_H

#include <SDL.h>

#include "present/frame_policy.h"
#include "standin.h"

// Where a window's client area is, whether it has a border, and what its
// frame added around it then, to put it back later.
struct WindowPlace {
  SDL_Rect rect;
  bool bordered;
  FrameSize frame;
};

// The live window with that ID, or null.
SDL_Window *LiveWindow(Uint32 id);
// The SDL window behind a handle, or null.
SDL_Window *WindowFromHandle(HWND window);
// To be called before the stand-in moves a window.
void NoteWindowMove(SDL_Window *window);
// Sends SDL's key-down to the window's subclass procedures as WM_KEYDOWN.
void SendKey(const SDL_KeyboardEvent &key);
// The DirectInput key code of an SDL scancode, 0 for none.
unsigned char KeyCodeOf(SDL_Scancode scancode);

// Counts a presented frame while capturing (src/present/capture.h) and
// captures it as the settings say.
void CaptureFrame(const Settings &settings, const Pixels &source,
                  const Rect &from);

// The picture (the `from` rectangle of `source`) placed in `area` of the
// window's surface as the scale mode says, black around it, and shown. With
// `hideCursor` (LURN_HIDE_CURSOR) the system's cursor is hidden while it is
// over the picture, and shown elsewhere.
void ShowPicture(const Pixels &source, const SDL_Rect &from, SDL_Window *window,
                 SDL_Surface *target, const SDL_Rect &area, ScaleMode mode,
                 PresentScratch &scratch, bool hideCursor);

// Where `window` is now, for PlaceWindow to put it back.
WindowPlace PlaceOf(SDL_Window *window);
// Puts `window` at `place` (with a border or not), or with no place makes
// it cover its display, borderless. On X11 the window's own geometry does
// it, which holds without a window manager; on Wayland, where a window
// cannot place itself, SDL's full-screen flag.
void PlaceWindow(SDL_Window *window, const WindowPlace *place);

// Whether Alt+Enter made `window`, a windowed client's, cover its screen.
bool CoversScreen(SDL_Window *window);
// Switches `window` between windowed and full screen once for each Alt+Enter
// pressed in it since the last call; presents call it before they draw.
void ApplyAltEnter(SDL_Window *window);
// Whether a key event is the stand-in's: an Alt+Enter press and its Return
// up to its release, on a window where a display takes Alt+Enter; notes the
// press for ApplyAltEnter.
bool TakeAltEnter(const SDL_KeyboardEvent &key);
// The window lost the focus: the Return's release goes elsewhere.
void AltEnterFocusLost(Uint32 windowId);

#endif
