// The system's subclass chain: a subclassed window gets the host's text
// input as WM_CHAR messages, one UTF-16 unit each, as a Unicode window on
// Windows does. The procedures are called newest first; the stand-in's
// windows have no procedure of their own, so DefSubclassProc answers 0.
#include <mutex>
#include <vector>

#include "standin.h"

namespace {

// An entry dies with its window: a host may give a new window the ID of a
// dead one (SDL does after SDL_Quit), and put it at the dead one's address.
struct Subclass {
  uint32_t windowId;
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
uint32_t NextCodePoint(const unsigned char *&text) {
  unsigned char first = *text++;
  if (first < 0x80)
    return first;
  int more = first >= 0xF0 ? 3 : first >= 0xE0 ? 2 : first >= 0xC0 ? 1 : -1;
  if (more < 0 || first > 0xF4)
    return 0xFFFD;
  uint32_t point = first & (0x3F >> more);
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
    if (WindowHandle(subclasses[i].windowId) != subclasses[i].handle)
      subclasses.erase(subclasses.begin() + long(i));
}

} // namespace

BOOL WINAPI SetWindowSubclass(HWND window, SUBCLASSPROC proc, UINT_PTR id,
                              DWORD_PTR data) {
  uint32_t windowId = WindowIdFromHandle(window);
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
  uint32_t windowId = WindowIdFromHandle(window);
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
void SendToSubclasses(HWND window, uint32_t windowId, UINT message,
                      WPARAM wParam, LPARAM lParam) {
  for (size_t i = subclasses.size(); i-- > 0;) {
    if (i >= subclasses.size() || subclasses[i].windowId != windowId)
      continue;
    Subclass subclass = subclasses[i];
    subclass.proc(window, message, wParam, lParam, subclass.id, subclass.data);
  }
}

void SendKeyDown(uint32_t windowId, unsigned char key, WPARAM virtualKey,
                 bool alt, bool repeat) {
  HWND window = WindowHandle(windowId);
  if (window == NULL || key == 0)
    return;
  // As Windows puts it: one stroke, the scan code, extended keys marked,
  // Alt held, an auto-repeat's key already down.
  LPARAM lParam = 1 | LPARAM(key & 0x7F) << 16 | LPARAM(key & 0x80) << 17;
  if (alt)
    lParam |= LPARAM(1) << 29;
  if (repeat)
    lParam |= LPARAM(1) << 30;
  std::lock_guard<std::recursive_mutex> hold(subclassLock);
  DropDead();
  SendToSubclasses(window, windowId, alt ? WM_SYSKEYDOWN : WM_KEYDOWN,
                   virtualKey, lParam);
}

void SendText(uint32_t windowId, const char *utf8) {
  HWND window = WindowHandle(windowId);
  if (window == NULL)
    return;
  std::lock_guard<std::recursive_mutex> hold(subclassLock);
  DropDead();
  const unsigned char *text = reinterpret_cast<const unsigned char *>(utf8);
  while (*text != 0) {
    uint32_t point = NextCodePoint(text);
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
