// What the stand-in adds for today's desktops, around the presents that
// surfaces.cpp makes: frames written to PNG files, how the picture fills
// its window, and Alt+Enter. Its flips return at once, as Wine's do: the
// library paces them.
#ifndef LURN_STANDIN_DESKTOP_H
#define LURN_STANDIN_DESKTOP_H

#include "standin.h"

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
// A display whose level names the window takes Alt+Enter there (its
// altEnter setting): its hold, null for a window that is gone.
struct WindowAltEnter;
WindowAltEnter *HoldAltEnter(Uint32 windowId);
// The display lets go of its hold: once the last does, a window Alt+Enter
// switched goes back where it found it (an exclusive one is put back by
// leaving the mode), and presses not yet applied are dropped.
void ForgetAltEnter(WindowAltEnter *held, Uint32 windowId);

#endif
