// The stand-in's window-system and kernel calls, over SDL2.
#include <stdio.h>

#include <map>

#include "standin.h"

namespace {

// SDL hands out window IDs counting up from 1.
const Uint32 kWindowIdsScanned = 4096;

} // namespace

SDL_Window *WindowFromHandle(HWND handle) {
  if (handle == NULL || SDL_WasInit(SDL_INIT_VIDEO) == 0)
    return NULL;
  // Validated handles are remembered with their ID, so that a frame's check
  // is one lookup by ID and a destroyed window is never touched.
  static std::map<HWND, Uint32> known;
  std::map<HWND, Uint32>::iterator it = known.find(handle);
  if (it != known.end()) {
    if (SDL_GetWindowFromID(it->second) == handle)
      return static_cast<SDL_Window *>(handle);
    known.erase(it);
  }
  for (Uint32 id = 1; id <= kWindowIdsScanned; ++id) {
    if (SDL_GetWindowFromID(id) == handle) {
      known[handle] = id;
      return static_cast<SDL_Window *>(handle);
    }
  }
  return NULL;
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

BOOL WINAPI ClientToScreen(HWND handle, LPPOINT point) {
  SDL_Window *window = WindowFromHandle(handle);
  if (window == NULL || point == NULL)
    return FALSE;
  int x, y;
  SDL_GetWindowPosition(window, &x, &y);
  point->x += x;
  point->y += y;
  return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE handle) {
  // The stand-in hands out no kernel objects; any non-null handle a client
  // keeps is simply let go.
  return handle != NULL;
}
