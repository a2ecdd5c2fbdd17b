// The window records, the library's one subclass on each window, and what
// it hears: the text typed and the keys struck, Alt+Enter, the cursor.
#include "window.h"

#include <string.h>

#include <atomic>
#include <memory>

#include "../settings/settings.h"
#if defined(LURN_WINDOW_SYSTEM)
#include "window_look.h"
#endif

namespace {

// Text nobody reads is kept up to this much, then dropped.
const size_t kMostText = 4096;

std::vector<std::unique_ptr<WindowRecord>> records;
UINT_PTR lastHook; // under the lock; IDs are never reused

// Under the lock: whether `record` is still one of the list.
bool Known(const WindowRecord *record) {
  for (const std::unique_ptr<WindowRecord> &known : records)
    if (known.get() == record)
      return true;
  return false;
}

bool Unused(const WindowRecord &record) {
  bool display = false;
#if defined(LURN_WINDOW_SYSTEM)
  display = record.displays > 0;
#endif
  return record.keyboards.empty() && record.altEnterUsers == 0 &&
         record.cursorUsers == 0 && !display;
}

bool Listening(const WindowRecord &record) {
  for (const KeyboardOnWindow &keyboard : record.keyboards)
    if (keyboard.listening)
      return true;
  return record.altEnterUsers > 0 || record.cursorUsers > 0;
}

void Erase(WindowRecord *record) {
  for (size_t i = 0; i < records.size(); ++i)
    if (records[i].get() == record) {
      records[i] = std::move(records.back());
      records.pop_back();
      return;
    }
}

LRESULT CALLBACK Probe(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                       UINT_PTR, DWORD_PTR) {
  return DefSubclassProc(window, message, wParam, lParam);
}

// The window procedure the system's subclass chain puts on a window, learnt
// from a private message-only window; 0 where there is none to learn from
// (the stand-in's windows have no procedure: 0 is then their chain's).
LONG_PTR LearnChainProcedure() {
  HWND probe = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                               NULL, NULL, NULL);
  if (probe == NULL)
    return 0;
  LONG_PTR procedure = 0;
  if (SetWindowSubclass(probe, Probe, 1, 0)) {
    procedure = GetWindowLongPtrW(probe, GWLP_WNDPROC);
    RemoveWindowSubclass(probe, Probe, 1);
  }
  DestroyWindow(probe);
  return procedure;
}

// Whether the subclass may come off now: only while the window's procedure
// is the system's chain. A hook the program set above the chain by the
// window procedure would otherwise be cut out as the emptied chain puts
// back the procedure it replaced, whether the chain was the library's or
// was there before.
bool ChainClear(HWND window) {
  static const LONG_PTR chain = LearnChainProcedure();
  return GetWindowLongPtrW(window, GWLP_WNDPROC) == chain;
}

void AppendUtf8(std::string &text, unsigned point) {
  if (point < 0x20 || point == 0x7F || text.size() + 4 > kMostText)
    return; // control characters (Backspace, Tab, Return...) are keys
  if (point < 0x80) {
    text += char(point);
  } else if (point < 0x800) {
    text += char(0xC0 | point >> 6);
    text += char(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    text += char(0xE0 | point >> 12);
    text += char(0x80 | (point >> 6 & 0x3F));
    text += char(0x80 | (point & 0x3F));
  } else {
    text += char(0xF0 | point >> 18);
    text += char(0x80 | (point >> 12 & 0x3F));
    text += char(0x80 | (point >> 6 & 0x3F));
    text += char(0x80 | (point & 0x3F));
  }
}

// One UTF-16 unit; pairs are joined, a lone half is U+FFFD.
void TakeUnit(KeyboardOnWindow &input, unsigned unit) {
  if (unit >= 0xD800 && unit < 0xDC00) {
    if (input.highSurrogate != 0)
      AppendUtf8(input.text, 0xFFFD);
    input.highSurrogate = unit;
    return;
  }
  unsigned point = unit;
  if (unit >= 0xDC00 && unit < 0xE000)
    point = input.highSurrogate == 0
                ? 0xFFFD
                : 0x10000 + ((input.highSurrogate - 0xD800) << 10) +
                      (unit - 0xDC00);
  else if (input.highSurrogate != 0)
    AppendUtf8(input.text, 0xFFFD);
  input.highSurrogate = 0;
  AppendUtf8(input.text, point);
}

// One WM_CHAR: a UTF-16 unit, or an ANSI window's byte of its code page,
// whose double-byte characters come as a lead byte and a trail byte.
void TakeCharacter(KeyboardOnWindow &input, HWND window, WPARAM wParam) {
#if defined(_WIN32)
  if (!IsWindowUnicode(window)) {
    UINT codePage = GetACP();
    char bytes[2] = {char(input.leadByte), char(wParam)};
    int count = 2;
    if (input.leadByte == 0) {
      if (IsDBCSLeadByteEx(codePage, BYTE(wParam))) {
        input.leadByte = BYTE(wParam);
        return;
      }
      bytes[0] = char(wParam);
      count = 1;
    }
    input.leadByte = 0;
    wchar_t wide = 0;
    TakeUnit(input,
             MultiByteToWideChar(codePage, 0, bytes, count, &wide, 1) == 1
                 ? wide
                 : 0xFFFD);
    return;
  }
#else
  (void)window;
#endif
  TakeUnit(input, static_cast<unsigned>(wParam & 0xFFFF));
}

// A key-down for each listening keyboard, by the key code DirectInput gives
// the key: the scan code, 0x80 for an extended key.
void CountStroke(WindowRecord &record, LPARAM lParam) {
  unsigned key = unsigned(lParam >> 16 & 0x7F) | (lParam & 1L << 24 ? 0x80 : 0);
  for (KeyboardOnWindow &keyboard : record.keyboards)
    if (keyboard.listening && keyboard.strokes[key] < 0xFFFF)
      ++keyboard.strokes[key];
}

#if defined(LURN_WINDOW_SYSTEM)
bool NoteKey(AltEnter &altEnter, UINT message, WPARAM wParam, LPARAM lParam) {
  AltEnterKey key;
  switch (message) {
  case WM_KEYDOWN:
  case WM_SYSKEYDOWN:
    key = kAltEnterKeyDown;
    break;
  case WM_CHAR:
  case WM_SYSCHAR:
    key = kAltEnterCharacter;
    break;
  case WM_KEYUP:
  case WM_SYSKEYUP:
    key = kAltEnterKeyUp;
    break;
  default:
    return false;
  }
  // The character is '\r', the same number as VK_RETURN.
  return NoteAltEnterKey(altEnter, wParam == VK_RETURN, key,
                         (lParam & (1L << 29)) != 0,
                         (lParam & (1L << 30)) != 0);
}

// Whether the pointer is over the picture the window shows.
bool OverPicture(const WindowRecord &record) {
  POINT pointer = {0, 0};
  if (!record.pictureShown || !GetCursorPos(&pointer) ||
      (!record.picture.screen && !ScreenToClient(record.window, &pointer)))
    return false;
  const Rect &picture = record.picture.picture;
  return pointer.x >= picture.x && pointer.x < picture.x + picture.w &&
         pointer.y >= picture.y && pointer.y < picture.y + picture.h;
}

// Whether the key message is the library's Alt+Enter.
bool NoteAltEnter(WindowRecord &record, UINT message, WPARAM wParam,
                  LPARAM lParam) {
  return NoteKey(record.altEnter, message, wParam, lParam);
}
#endif

#if defined(_WIN32)
// Every display change the hooks saw, and the count at the last one that
// changed a monitor's size or scale.
std::atomic<unsigned long> displayChanges(1), lastMonitorChange(0);

void NoteDisplayChange(UINT message) {
  if (message == WM_WINDOWPOSCHANGED)
    ++displayChanges;
  else if (message == WM_DISPLAYCHANGE || message == WM_DPICHANGED)
    lastMonitorChange = ++displayChanges;
}
#endif

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                 LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  // The subclass is taken off before its record goes.
  WindowRecord *record = reinterpret_cast<WindowRecord *>(data);
  bool settle = false;
#if defined(_WIN32)
  NoteDisplayChange(message);
#endif
#if defined(LURN_WINDOW_SYSTEM)
  bool hideCursor = false;
  if (message == AltEnterMessage()) {
    MakePostedMoves(window);
    return 0;
  }
#endif
  {
    std::lock_guard<std::mutex> hold(WindowsLock());
    if (message == WM_NCDESTROY) {
      record->gone = true;
      record->altEnter = AltEnter();
      settle = true;
    } else if (!Listening(*record)) {
      settle = true; // left on the window: off once the chain is clear
    }
#if defined(LURN_WINDOW_SYSTEM)
    // Before the characters: a held Return's repeated WM_CHARs are the
    // library's up to its release, as its key-downs are.
    else if (record->altEnterUsers > 0 &&
             NoteAltEnter(*record, message, wParam, lParam)) {
      return 0;
    }
#endif
    else if (message == WM_CHAR) {
      for (KeyboardOnWindow &keyboard : record->keyboards)
        if (keyboard.listening)
          TakeCharacter(keyboard, window, wParam);
    }
#if defined(LURN_WINDOW_SYSTEM)
    else if (message == WM_KILLFOCUS) {
      record->altEnter.returnHeld = false; // its release goes elsewhere
    } else if (message == WM_SETCURSOR) {
      // The client area only: the frame's arrows stay the system's.
      hideCursor = record->cursorUsers > 0 && LOWORD(lParam) == HTCLIENT &&
                   OverPicture(*record);
    }
#endif
    else if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN) {
      CountStroke(*record, lParam);
    }
  }
#if defined(LURN_WINDOW_SYSTEM)
  if (hideCursor) {
    SetCursor(NULL);
    return TRUE;
  }
#endif
  if (settle)
    SettleWindow(record); // `record` may be gone after this
  return DefSubclassProc(window, message, wParam, lParam);
}

// Whole characters of `text` that fit in `room` bytes.
size_t WholeCharacters(const std::string &text, size_t room) {
  if (text.size() <= room)
    return text.size();
  size_t end = room;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
    --end;
  return end;
}

// Under the lock: the record of the window `keyboard` was opened on, and
// the keyboard's part of it.
WindowRecord *OfKeyboard(const void *keyboard, KeyboardOnWindow *&found) {
  for (const std::unique_ptr<WindowRecord> &record : records)
    for (KeyboardOnWindow &on : record->keyboards)
      if (on.keyboard == keyboard) {
        found = &on;
        return record.get();
      }
  return NULL;
}

// The keyboard's part of its window's record listens from now on, where
// its window may be hooked from this thread; `method` names the call in the
// line said otherwise. Not under the lock.
void Listen(const void *keyboard, const char *method) {
  WindowRecord *record;
  bool listens = false, sayRefusal = false;
  {
    std::lock_guard<std::mutex> hold(WindowsLock());
    KeyboardOnWindow *on = NULL;
    record = OfKeyboard(keyboard, on);
    if (record == NULL || on->listening)
      return;
    listens = on->listening = MayHook(*record, sayRefusal);
  }
  SayHookRefused(record, sayRefusal, method); // with no lock held
  if (listens)
    SettleWindow(record);
}

} // namespace

bool OnWindowThread(HWND window) {
  return GetWindowThreadProcessId(window, NULL) == GetCurrentThreadId();
}

std::mutex &WindowsLock() {
  static std::mutex lock;
  return lock;
}

WindowRecord *LiveRecord(HWND window) {
  for (const std::unique_ptr<WindowRecord> &record : records)
    if (record->window == window && !record->gone)
      return record.get();
  return NULL;
}

WindowRecord *HoldWindow(HWND window) {
  if (!IsWindow(window))
    return NULL;
  WindowRecord *record = LiveRecord(window);
  if (record == NULL) {
    records.emplace_back(new WindowRecord());
    record = records.back().get();
    record->window = window;
    record->hookId = ++lastHook;
  }
  return record;
}

bool MayHook(WindowRecord &record, bool &sayRefusal) {
  if (record.gone)
    return false;
  if (OnWindowThread(record.window))
    return true;
  sayRefusal = !record.refusalSaid;
  record.refusalSaid = true;
  return false;
}

void SayHookRefused(const WindowRecord *record, bool sayRefusal,
                    const char *method) {
  if (sayRefusal)
    SayDiagnostic("lurn: %s: window %p belongs to another thread, which "
                  "alone may hook it; call %s on the window's thread",
                  method, static_cast<void *>(record->window), method);
}

void SettleWindow(WindowRecord *record) {
  for (;;) {
    HWND window;
    UINT_PTR id;
    bool hook;
    {
      std::lock_guard<std::mutex> hold(WindowsLock());
      if (!Known(record) || record->settling)
        return; // gone, or the thread settling it sees to it
      window = record->window;
      id = record->hookId;
      bool wanted = Listening(*record) && !record->gone;
      if (record->hooked && !IsWindow(window))
        record->hooked = false; // the subclass went with the window
      hook = wanted && !record->hooked && OnWindowThread(window);
      bool unhook = !wanted && record->hooked && OnWindowThread(window) &&
                    (record->gone || ChainClear(window));
      if (!hook && !unhook) {
        if (!record->hooked && Unused(*record))
          Erase(record);
        return;
      }
      record->settling = true;
    }
    // The system's chain is changed outside the lock: the chain's own lock
    // may be held by a thread calling the window's procedure, which takes
    // this one.
    bool done = hook ? SetWindowSubclass(window, WindowProcedure, id,
                                         reinterpret_cast<DWORD_PTR>(record))
                     : RemoveWindowSubclass(window, WindowProcedure, id);
    std::lock_guard<std::mutex> hold(WindowsLock());
    record->settling = false;
    if (!done) {
      if (!hook && !IsWindow(window))
        record->hooked = false;
      return; // tried again by the next call that settles it
    }
    record->hooked = hook;
  }
}

void AddKeyboard(const void *keyboard, void *window) {
  DropKeyboard(keyboard); // a new device where a forgotten one was
  std::lock_guard<std::mutex> hold(WindowsLock());
  WindowRecord *record = HoldWindow(static_cast<HWND>(window));
  if (record != NULL) {
    record->keyboards.push_back(KeyboardOnWindow());
    record->keyboards.back().keyboard = keyboard;
  }
}

int TakeText(const void *keyboard, char *utf8, int size) {
  if (utf8 == NULL || size <= 0)
    return 0;
  utf8[0] = 0;
  Listen(keyboard, "ReadText");
  bool tooSmall = false;
  size_t length = 0;
  {
    std::lock_guard<std::mutex> hold(WindowsLock());
    KeyboardOnWindow *text = NULL;
    if (OfKeyboard(keyboard, text) == NULL || !text->listening)
      return 0;
    length = WholeCharacters(text->text, size_t(size) - 1);
    tooSmall = length == 0 && !text->text.empty() && !text->tooSmallSaid;
    text->tooSmallSaid = text->tooSmallSaid || tooSmall;
    text->text.copy(utf8, length);
    utf8[length] = 0;
    text->text.erase(0, length);
  }
  if (tooSmall)
    SayDiagnostic("lurn: ReadText: a buffer of %d bytes holds no character "
                  "(up to 4 bytes and the zero): the text waits; pass 5 or "
                  "more",
                  size);
  return static_cast<int>(length);
}

void ListenForStrokes(const void *keyboard) { Listen(keyboard, "KeyStrokes"); }

void TakeStrokes(const void *keyboard, bool returnHeld, bool altHeld,
                 unsigned short strokes[256], bool &altEnterTaken,
                 bool &hideReturn) {
  std::lock_guard<std::mutex> hold(WindowsLock());
  KeyboardOnWindow *on = NULL;
  WindowRecord *record = OfKeyboard(keyboard, on);
  memset(strokes, 0, 256 * sizeof strokes[0]);
  altEnterTaken = false;
  hideReturn = false;
  if (record == NULL)
    return;
  memcpy(strokes, on->strokes, sizeof on->strokes);
  memset(on->strokes, 0, sizeof on->strokes);
  if (record->gone || record->altEnterUsers == 0)
    return;
  altEnterTaken = true;
  if (!returnHeld) // let go where the window did not see it
    record->altEnter.returnHeld = false;
  hideReturn = record->altEnter.returnHeld || (returnHeld && altHeld);
}

void DropKeyboard(const void *keyboard) {
  WindowRecord *record;
  {
    std::lock_guard<std::mutex> hold(WindowsLock());
    KeyboardOnWindow *on = NULL;
    record = OfKeyboard(keyboard, on);
    if (record == NULL)
      return;
    *on = record->keyboards.back();
    record->keyboards.pop_back();
  }
  SettleWindow(record);
}

#if defined(_WIN32)
unsigned long DisplayChanges() { return displayChanges.load(); }

unsigned long LastMonitorChange() { return lastMonitorChange.load(); }
#endif
