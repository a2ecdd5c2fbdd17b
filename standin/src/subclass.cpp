// The system's subclass chain over SDL: a subclassed window gets SDL's text
// input as WM_CHAR messages, one UTF-16 unit each, as a Unicode window on
// Windows does. The procedures are called newest first; the stand-in's
// windows have no procedure of their own, so DefSubclassProc answers 0.
#include <mutex>
#include <vector>

#include "standin.h"

namespace {

// An entry dies with its window: SDL gives a new window the ID of a dead
// one after SDL_Quit, and may put it at the dead one's address.
struct Subclass {
  Uint32 windowId;
  HWND handle;
  SUBCLASSPROC proc;
  UINT_PTR id;
  DWORD_PTR data;
};

// Held while the procedures run, so that a procedure removed on another
// thread is not running once RemoveWindowSubclass returns; recursive, as a
// procedure may add or remove one.
std::recursive_mutex subclassLock;
std::vector<Subclass> subclasses;

// UTF-8 to code points; a malformed byte is U+FFFD.
Uint32 NextCodePoint(const unsigned char *&text) {
  unsigned char first = *text++;
  if (first < 0x80)
    return first;
  int more = first >= 0xF0 ? 3 : first >= 0xE0 ? 2 : first >= 0xC0 ? 1 : -1;
  if (more < 0 || first > 0xF4)
    return 0xFFFD;
  Uint32 point = first & (0x3F >> more);
  for (int i = 0; i < more; ++i) {
    if ((*text & 0xC0) != 0x80)
      return 0xFFFD;
    point = point << 6 | (*text++ & 0x3F);
  }
  return point;
}

// Drops the entries of windows that are gone; under the lock.
void DropDead() {
  for (size_t i = subclasses.size(); i-- > 0;)
    if (LiveWindow(subclasses[i].windowId) != subclasses[i].handle)
      subclasses.erase(subclasses.begin() + long(i));
}

} // namespace

BOOL WINAPI SetWindowSubclass(HWND window, SUBCLASSPROC proc, UINT_PTR id,
                              DWORD_PTR data) {
  Uint32 windowId = WindowIdFromHandle(window);
  if (windowId == 0 || proc == NULL)
    return FALSE;
  std::lock_guard<std::recursive_mutex> hold(subclassLock);
  DropDead();
  for (Subclass &subclass : subclasses)
    if (subclass.windowId == windowId && subclass.proc == proc &&
        subclass.id == id) {
      subclass.data = data;
      return TRUE;
    }
  subclasses.push_back(Subclass{windowId, window, proc, id, data});
  return TRUE;
}

BOOL WINAPI RemoveWindowSubclass(HWND window, SUBCLASSPROC proc, UINT_PTR id) {
  // A destroyed window has none left.
  Uint32 windowId = WindowIdFromHandle(window);
  std::lock_guard<std::recursive_mutex> hold(subclassLock);
  DropDead();
  for (size_t i = 0; i < subclasses.size(); ++i)
    if (windowId != 0 && subclasses[i].windowId == windowId &&
        subclasses[i].proc == proc && subclasses[i].id == id) {
      subclasses.erase(subclasses.begin() + long(i));
      return TRUE;
    }
  return FALSE;
}

LRESULT WINAPI DefSubclassProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

BOOL WINAPI IsWindowUnicode(HWND window) { return IsWindow(window); }

// Calls each subclass procedure of the window, the newest first; under the
// lock.
void SendToSubclasses(SDL_Window *window, Uint32 windowId, UINT message,
                      WPARAM wParam, LPARAM lParam) {
  for (size_t i = subclasses.size(); i-- > 0;) {
    if (i >= subclasses.size() || subclasses[i].windowId != windowId)
      continue;
    Subclass subclass = subclasses[i];
    subclass.proc(window, message, wParam, lParam, subclass.id, subclass.data);
  }
}

void SendKey(const SDL_KeyboardEvent &key) {
  SDL_Window *window = LiveWindow(key.windowID);
  unsigned code = KeyCodeOf(key.keysym.scancode);
  if (window == NULL || code == 0)
    return;
  // As Windows puts it: one stroke, the scan code, extended keys marked,
  // Alt held, an auto-repeat's key already down.
  LPARAM lParam = 1 | LPARAM(code & 0x7F) << 16 | LPARAM(code & 0x80) << 17;
  bool alt = (key.keysym.mod & KMOD_ALT) != 0;
  if (alt)
    lParam |= LPARAM(1) << 29;
  if (key.repeat)
    lParam |= LPARAM(1) << 30;
  std::lock_guard<std::recursive_mutex> hold(subclassLock);
  DropDead();
  SendToSubclasses(window, key.windowID, alt ? WM_SYSKEYDOWN : WM_KEYDOWN,
                   key.keysym.sym, lParam);
}

void SendText(Uint32 windowId, const char *utf8) {
  SDL_Window *window = LiveWindow(windowId);
  if (window == NULL)
    return;
  std::lock_guard<std::recursive_mutex> hold(subclassLock);
  DropDead();
  const unsigned char *text = reinterpret_cast<const unsigned char *>(utf8);
  while (*text != 0) {
    Uint32 point = NextCodePoint(text);
    WPARAM units[2] = {point, 0};
    int count = 1;
    if (point >= 0x10000) {
      units[0] = 0xD800 + ((point - 0x10000) >> 10);
      units[1] = 0xDC00 + ((point - 0x10000) & 0x3FF);
      count = 2;
    }
    for (int unit = 0; unit < count; ++unit)
      SendToSubclasses(window, windowId, WM_CHAR, units[unit], 1);
  }
}

LONG_PTR WINAPI GetWindowLongPtrW(HWND, int) { return 0; }
