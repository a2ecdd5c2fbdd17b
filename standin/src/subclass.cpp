// The system's subclass chain: a subclassed window gets the host's text
// input as WM_CHAR messages, one UTF-16 unit each, as a Unicode window on
// Windows does. The procedures are called newest first; the stand-in's
// windows have no procedure of their own, so DefSubclassProc answers 0.
#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
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

// Guards the chains. The procedures are called outside it, from a copy of
// the chain, as the system calls them: a procedure may take locks of its
// own, which a thread setting or removing a subclass may hold.
std::mutex subclassLock;
std::vector<Subclass> subclasses;

// The procedures running now, and on which threads: RemoveWindowSubclass
// waits for the other threads' calls of the one it removes, so that it is
// not running once that returns (a window's procedures run on any thread
// that pumps here, not only on the window's).
struct Call {
  uint32_t windowId;
  SUBCLASSPROC proc;
  UINT_PTR id;
  std::thread::id thread;
};
std::vector<Call> calls;
std::condition_variable callEnded;

bool Same(const Subclass &subclass, uint32_t windowId, SUBCLASSPROC proc,
          UINT_PTR id) {
  return subclass.windowId == windowId && subclass.proc == proc &&
         subclass.id == id;
}

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
  std::lock_guard<std::mutex> hold(subclassLock);
  DropDead();
  for (Subclass &subclass : subclasses)
    if (Same(subclass, windowId, proc, id)) {
      subclass.data = data;
      return TRUE;
    }
  subclasses.push_back(Subclass{windowId, window, proc, id, data});
  return TRUE;
}

BOOL WINAPI RemoveWindowSubclass(HWND window, SUBCLASSPROC proc, UINT_PTR id) {
  // A destroyed window has none left.
  uint32_t windowId = WindowIdFromHandle(window);
  std::unique_lock<std::mutex> hold(subclassLock);
  DropDead();
  for (size_t i = 0; i < subclasses.size(); ++i)
    if (windowId != 0 && Same(subclasses[i], windowId, proc, id)) {
      subclasses.erase(subclasses.begin() + long(i));
      std::thread::id self = std::this_thread::get_id();
      callEnded.wait(hold, [&] {
        return std::none_of(calls.begin(), calls.end(), [&](const Call &c) {
          return c.windowId == windowId && c.proc == proc && c.id == id &&
                 c.thread != self;
        });
      });
      return TRUE;
    }
  return FALSE;
}

LRESULT WINAPI DefSubclassProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

BOOL WINAPI IsWindowUnicode(HWND window) { return IsWindow(window); }

namespace {

// Calls each subclass procedure of the window, the newest first, from a
// copy of its chain taken under the lock; one removed meanwhile is skipped.
void SendToSubclasses(HWND window, uint32_t windowId, UINT message,
                      WPARAM wParam, LPARAM lParam) {
  std::vector<Subclass> chain;
  {
    std::lock_guard<std::mutex> hold(subclassLock);
    DropDead();
    for (size_t i = subclasses.size(); i-- > 0;)
      if (subclasses[i].windowId == windowId)
        chain.push_back(subclasses[i]);
  }
  std::thread::id self = std::this_thread::get_id();
  for (const Subclass &copy : chain) {
    DWORD_PTR data;
    {
      std::lock_guard<std::mutex> hold(subclassLock);
      std::vector<Subclass>::const_iterator now = std::find_if(
          subclasses.begin(), subclasses.end(), [&](const Subclass &subclass) {
            return Same(subclass, windowId, copy.proc, copy.id);
          });
      if (now == subclasses.end())
        continue;
      data = now->data;
      calls.push_back(Call{windowId, copy.proc, copy.id, self});
    }
    copy.proc(window, message, wParam, lParam, copy.id, data);
    std::lock_guard<std::mutex> hold(subclassLock);
    for (size_t i = calls.size(); i-- > 0;)
      if (calls[i].thread == self &&
          Same(copy, calls[i].windowId, calls[i].proc, calls[i].id)) {
        calls.erase(calls.begin() + long(i));
        break;
      }
    callEnded.notify_all();
  }
}

} // namespace

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
  SendToSubclasses(window, windowId, alt ? WM_SYSKEYDOWN : WM_KEYDOWN,
                   virtualKey, lParam);
}

void SendText(uint32_t windowId, const char *utf8) {
  HWND window = WindowHandle(windowId);
  if (window == NULL)
    return;
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
