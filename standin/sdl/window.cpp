// The stand-in's window-system and kernel calls, over SDL2.
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

#include <map>
#include <mutex>
#include <set>

#include "desktop.h"

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

HWND WindowHandle(uint32_t id) { return LiveWindow(id); }

bool ReadDesktopSize(DWORD &width, DWORD &height) {
  SDL_DisplayMode mode;
  if (!SDL_WasInit(SDL_INIT_VIDEO) || SDL_GetDesktopDisplayMode(0, &mode) != 0)
    return false;
  width = DWORD(mode.w);
  height = DWORD(mode.h);
  return true;
}

void ShowSystemCursor() {
  if (SDL_WasInit(SDL_INIT_VIDEO))
    SDL_ShowCursor(SDL_ENABLE);
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

namespace {

// SDL's X11 driver answers the global pointer position from a cache that
// only a device's raw motion refreshes, and the window's own position from
// its last motion event: a pointer that left the window, moved by another
// program (a warp, a remote desktop, xdotool), is never seen again there.
// Windows asks the window system at each call; so does the stand-in on
// X11, on a connection of its own through the X library SDL loads too.
class XPointer {
public:
  bool Read(int &x, int &y) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!tried_) {
      tried_ = true;
      Open();
    }
    unsigned long root, child;
    int windowX, windowY;
    unsigned buttons;
    return display_ != NULL && query_(display_, root_, &root, &child, &x, &y,
                                      &windowX, &windowY, &buttons) != 0;
  }

private:
  // Xlib's own declarations, with its Display and Window as they are
  // passed: an opaque pointer and an unsigned long.
  typedef void *(*OpenDisplay)(const char *name);
  typedef unsigned long (*DefaultRootWindow)(void *display);
  typedef int (*QueryPointer)(void *display, unsigned long window,
                              unsigned long *root, unsigned long *child,
                              int *rootX, int *rootY, int *windowX,
                              int *windowY, unsigned *buttons);

  void Open() {
    void *library = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (library == NULL)
      return;
    OpenDisplay open =
        reinterpret_cast<OpenDisplay>(dlsym(library, "XOpenDisplay"));
    DefaultRootWindow rootOf = reinterpret_cast<DefaultRootWindow>(
        dlsym(library, "XDefaultRootWindow"));
    query_ = reinterpret_cast<QueryPointer>(dlsym(library, "XQueryPointer"));
    display_ =
        open != NULL && rootOf != NULL && query_ != NULL ? open(NULL) : NULL;
    if (display_ != NULL)
      root_ = rootOf(display_);
  }

  std::mutex lock_; // one call at a time on the connection
  bool tried_ = false;
  void *display_ = NULL;
  unsigned long root_ = 0;
  QueryPointer query_ = NULL;
};

// The pointer on the screen, as fresh as the platform can tell it.
void ReadPointer(int &x, int &y) {
  static XPointer x11;
  const char *driver = SDL_GetCurrentVideoDriver();
  if (driver != NULL && strcmp(driver, "x11") == 0 && x11.Read(x, y))
    return;
  // Elsewhere SDL's global answer is as fresh as the last motion a device
  // reported: over one of SDL's windows, its own motion events tell.
  SDL_Window *under = SDL_GetMouseFocus();
  if (under == NULL) {
    SDL_GetGlobalMouseState(&x, &y);
    return;
  }
  int left = 0, top = 0;
  SDL_GetMouseState(&x, &y);
  SDL_GetWindowPosition(under, &left, &top);
  x += left;
  y += top;
}

} // namespace

BOOL WINAPI GetCursorPos(LPPOINT point) {
  if (point == NULL || !SDL_WasInit(SDL_INIT_VIDEO))
    return FALSE;
  int x = 0, y = 0;
  ReadPointer(x, y);
  DisplayLock hold;
  const EmulatedDisplay &display = Display();
  SDL_Window *exclusive = LiveWindow(display.exclusiveWindowId);
  if (exclusive != NULL) {
    // The mode's picture as the stand-in shows it in the window, scaled:
    // the black bars around it are off the emulated screen, as another
    // monitor's pixels are, one pixel past its nearest edge.
    Rect area;
    SDL_GetWindowPosition(exclusive, &area.x, &area.y);
    SDL_GetWindowSize(exclusive, &area.w, &area.h);
    int width = int(display.width), height = int(display.height);
    Rect picture = PlacePicture(display.exclusiveScale, width, height, area);
    int pictureX = 0, pictureY = 0;
    PointerOnPicture(picture, width, height, x, y, pictureX, pictureY);
    x = x < picture.x ? -1 : x >= picture.x + picture.w ? width : pictureX;
    y = y < picture.y ? -1 : y >= picture.y + picture.h ? height : pictureY;
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

HWND WINAPI CreateWindowExW(DWORD, const wchar_t *, const wchar_t *, DWORD, int,
                            int, int, int, HWND, HMENU, HINSTANCE, void *) {
  return NULL;
}

BOOL WINAPI DestroyWindow(HWND) { return FALSE; }
