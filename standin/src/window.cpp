// The stand-in's window-system and kernel calls, over SDL2.
#include <stdio.h>

#include <map>
#include <mutex>
#include <set>

#include "standin.h"

namespace {

// SDL numbers windows from 1 up, in the order they are made, and never
// hands an ID out twice in one video session. A new window is most likely
// just above the last one found; the search looks there first.
const Uint32 kIdsAboveLastFound = 1u << 16;

bool IsWindow(Uint32 id, HWND handle) {
  return SDL_GetWindowFromID(id) == handle;
}

// The ID that SDL will give its next window: a hidden window made and
// destroyed at once. Only the rare search past kIdsAboveLastFound needs it.
Uint32 NextWindowId() {
  SDL_Window *probe = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_HIDDEN);
  if (probe == NULL)
    return 0;
  Uint32 id = SDL_GetWindowID(probe);
  SDL_DestroyWindow(probe);
  return id;
}

// The ID of `handle` among first..last, 0 when none.
Uint32 Search(HWND handle, Uint32 first, Uint32 last) {
  for (Uint32 id = first; id != 0 && id <= last; ++id)
    if (IsWindow(id, handle))
      return id;
  return 0;
}

Uint32 FindWindowId(HWND handle) {
  // After SDL_Quit IDs start again from 1: the last ID found, not the
  // highest ever, is where new windows are looked for first.
  static Uint32 lastFound = 0;
  Uint32 limit = lastFound + kIdsAboveLastFound;
  Uint32 id = Search(handle, lastFound + 1, limit);
  if (id == 0)
    id = Search(handle, 1, lastFound);
  if (id == 0)
    id = Search(handle, limit + 1, NextWindowId());
  if (id != 0)
    lastFound = id;
  return id;
}

// Handles already matched, so that a frame's check is one lookup, and
// handles found to be no live window, so that a client presenting to its
// destroyed window pays nothing each frame; a display opened again looks
// afresh (SDL may make a new window where a dead one was). Dead entries of
// `known` go whenever one is added: the map never outgrows the windows
// alive then. The lock is recursive: SDL calls made under it may run the
// event watch, which looks up windows.
std::recursive_mutex windowsLock;
std::map<HWND, Uint32> known;
std::set<HWND> dead;

} // namespace

Uint32 WindowIdFromHandle(HWND handle) {
  if (handle == NULL || SDL_WasInit(SDL_INIT_VIDEO) == 0)
    return 0;
  std::lock_guard<std::recursive_mutex> hold(windowsLock);
  if (dead.count(handle) != 0)
    return 0;
  std::map<HWND, Uint32>::iterator it = known.find(handle);
  if (it != known.end()) {
    if (IsWindow(it->second, handle))
      return it->second;
    known.erase(it); // SDL may have made a new window in its place
  }
  Uint32 id = FindWindowId(handle);
  if (id == 0) {
    dead.insert(handle);
    return 0;
  }
  for (it = known.begin(); it != known.end();) {
    if (IsWindow(it->second, it->first))
      ++it;
    else
      known.erase(it++);
  }
  known[handle] = id;
  return id;
}

void ForgetDeadWindows() {
  std::lock_guard<std::recursive_mutex> hold(windowsLock);
  dead.clear();
}

SDL_Window *LiveWindow(Uint32 id) {
  return id != 0 && SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetWindowFromID(id)
                                                : NULL;
}

SDL_Window *WindowFromHandle(HWND handle) {
  return LiveWindow(WindowIdFromHandle(handle));
}

int WINAPI MessageBoxA(HWND window, LPCSTR text, LPCSTR caption, UINT type) {
  // Standard error keeps the notice too; with no display it is all there is.
  fprintf(stderr, "%s\n%s\n", caption ? caption : "", text ? text : "");
  fflush(stderr);
  const char *driver = SDL_GetCurrentVideoDriver();
  if (driver != NULL &&
      (strcmp(driver, "offscreen") == 0 || strcmp(driver, "dummy") == 0))
    return IDOK; // headless: nowhere to show a box
  Uint32 flags = (type & MB_ICONERROR) ? SDL_MESSAGEBOX_ERROR : 0;
  SDL_ShowSimpleMessageBox(flags, caption, text, WindowFromHandle(window));
  return IDOK;
}

BOOL WINAPI SetRect(LPRECT rect, int left, int top, int right, int bottom) {
  if (rect == NULL)
    return FALSE;
  rect->left = left;
  rect->top = top;
  rect->right = right;
  rect->bottom = bottom;
  return TRUE;
}

BOOL WINAPI GetClientRect(HWND handle, LPRECT rect) {
  SDL_Window *window = WindowFromHandle(handle);
  if (window == NULL || rect == NULL)
    return FALSE;
  int width, height;
  SDL_GetWindowSize(window, &width, &height);
  return SetRect(rect, 0, 0, width, height);
}

namespace {

// Moves `point` by the client area's place on the screen, `sign` times.
BOOL MoveByClientArea(HWND handle, LPPOINT point, int sign) {
  SDL_Window *window = WindowFromHandle(handle);
  if (window == NULL || point == NULL)
    return FALSE;
  int x, y;
  SDL_GetWindowPosition(window, &x, &y);
  point->x += sign * x;
  point->y += sign * y;
  return TRUE;
}

} // namespace

BOOL WINAPI ClientToScreen(HWND handle, LPPOINT point) {
  return MoveByClientArea(handle, point, 1);
}

BOOL WINAPI ScreenToClient(HWND handle, LPPOINT point) {
  return MoveByClientArea(handle, point, -1);
}

BOOL WINAPI GetCursorPos(LPPOINT point) {
  if (point == NULL || !SDL_WasInit(SDL_INIT_VIDEO))
    return FALSE;
  // SDL's global answer is as fresh as the last motion a device reported,
  // which a pointer warped by a program (xdotool) never is: over one of
  // SDL's windows, the window's own motion events tell.
  int x = 0, y = 0;
  SDL_Window *under = SDL_GetMouseFocus();
  if (under != NULL) {
    int left = 0, top = 0;
    SDL_GetMouseState(&x, &y);
    SDL_GetWindowPosition(under, &left, &top);
    x += left;
    y += top;
  } else {
    SDL_GetGlobalMouseState(&x, &y);
  }
  DisplayLock hold;
  const EmulatedDisplay &display = Display();
  SDL_Window *exclusive = LiveWindow(display.exclusiveWindowId);
  if (exclusive != NULL) {
    // The mode's picture as the stand-in shows it in the window; Windows
    // keeps the pointer on the screen, so the nearest pixel off it.
    Rect area;
    SDL_GetWindowPosition(exclusive, &area.x, &area.y);
    SDL_GetWindowSize(exclusive, &area.w, &area.h);
    int width = int(display.width), height = int(display.height);
    PointerOnPicture(PlacePicture(display.exclusiveScale, width, height, area),
                     width, height, x, y, x, y);
  }
  point->x = x;
  point->y = y;
  return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE handle) {
  // The stand-in hands out no kernel objects; any non-null handle a client
  // keeps is simply let go.
  return handle != NULL;
}

BOOL WINAPI IsWindow(HWND handle) { return WindowFromHandle(handle) != NULL; }

DWORD WINAPI GetCurrentThreadId(void) {
  return static_cast<DWORD>(SDL_ThreadID());
}

DWORD WINAPI GetWindowThreadProcessId(HWND handle, LPDWORD process) {
  if (process != NULL)
    *process = 1;
  return IsWindow(handle) ? GetCurrentThreadId() : 0;
}
