// The text typed into a window and its key strokes, for each keyboard
// opened on it: the keyboards' attachment to the window's record.
#include "typed_keys.h"

#include <string.h>

#include "../errors/diagnostic.h"
#include "../settings/settings.h"
#if defined(LURN_WINDOW_SYSTEM)
#include "window_look.h"
#endif

namespace {

// Text nobody reads is kept up to this much, then dropped.
const size_t kMostText = 4096;

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
void CountStroke(KeyboardsOnWindow &keyboards, LPARAM lParam) {
  unsigned key = unsigned(lParam >> 16 & 0x7F) | (lParam & 1L << 24 ? 0x80 : 0);
  for (KeyboardOnWindow &keyboard : keyboards.keyboards)
    if (keyboard.listening && keyboard.strokes[key] < 0xFFFF)
      ++keyboard.strokes[key];
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
  for (const std::unique_ptr<WindowRecord> &record : WindowRecords())
    if (record->keyboards != NULL)
      for (KeyboardOnWindow &on : record->keyboards->keyboards)
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
  bool settle = false, sayRefusal = false;
  {
    std::lock_guard<std::mutex> hold(WindowsLock());
    KeyboardOnWindow *on = NULL;
    record = OfKeyboard(keyboard, on);
    if (record == NULL)
      return;
    if (!on->listening)
      on->listening = MayHook(*record, sayRefusal);
    // A subclass the system refused is asked for again at the next call.
    settle = on->listening && !record->hooked && !record->settling;
  }
  SayHookRefused(record, sayRefusal, method); // with no lock held
  if (settle)
    SettleWindow(record);
}

} // namespace

bool KeyboardsListen(const WindowRecord &record) {
  if (record.keyboards != NULL)
    for (const KeyboardOnWindow &keyboard : record.keyboards->keyboards)
      if (keyboard.listening)
        return true;
  return false;
}

void KeyboardsHear(WindowRecord &record, UINT message, WPARAM wParam,
                   LPARAM lParam) {
  if (record.keyboards == NULL)
    return;
  if (message == WM_CHAR) {
    for (KeyboardOnWindow &keyboard : record.keyboards->keyboards)
      if (keyboard.listening)
        TakeCharacter(keyboard, record.window, wParam);
  } else if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN) {
    CountStroke(*record.keyboards, lParam);
  }
}

void AddKeyboard(const void *keyboard, void *window) {
  DropKeyboard(keyboard); // a new device where a forgotten one was
  std::lock_guard<std::mutex> hold(WindowsLock());
  WindowRecord *record = HoldWindow(static_cast<HWND>(window));
  if (record != NULL) {
    if (record->keyboards == NULL)
      record->keyboards.reset(new KeyboardsOnWindow());
    record->keyboards->keyboards.push_back(KeyboardOnWindow());
    record->keyboards->keyboards.back().keyboard = keyboard;
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
#if defined(LURN_WINDOW_SYSTEM)
  if (!record->gone)
    JudgeReadReturn(*record, returnHeld, altHeld, altEnterTaken, hideReturn);
#else
  (void)returnHeld, (void)altHeld; // natively the stand-in takes its keys
#endif
}

void DropKeyboard(const void *keyboard) {
  WindowRecord *record;
  {
    std::lock_guard<std::mutex> hold(WindowsLock());
    KeyboardOnWindow *on = NULL;
    record = OfKeyboard(keyboard, on);
    if (record == NULL)
      return;
    std::vector<KeyboardOnWindow> &all = record->keyboards->keyboards;
    *on = all.back();
    all.pop_back();
    if (all.empty())
      record->keyboards.reset();
  }
  SettleWindow(record);
}
