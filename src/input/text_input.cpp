// Typed text from the keyboard window's WM_CHAR, through the system's
// subclass chain, which keeps other hooks on the window working in any
// order and the window's Unicode-ness.
#include "text_input.h"

#if defined(_WIN32)
#include <commctrl.h>
#endif

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "../settings/settings.h"

namespace {

// Ours among the window's subclasses (the display has its own).
const UINT_PTR kTextSubclass = 0x6C757274; // "lurt"
// Text nobody reads is kept up to this much, then dropped.
const size_t kMostText = 4096;

struct TextInput {
  const void *keyboard;
  HWND window;
  bool hooked;
  unsigned highSurrogate; // the first half of a pair, waiting
  bool tooSmallSaid;      // a buffer too small for the next character
  std::mutex lock;        // WM_CHAR comes on the window's thread
  std::string text;       // UTF-8, whole characters
};

std::mutex textsLock;
std::vector<std::unique_ptr<TextInput>> texts;

TextInput *Find(const void *keyboard) {
  for (const std::unique_ptr<TextInput> &text : texts)
    if (text->keyboard == keyboard)
      return text.get();
  return NULL;
}

void AppendUtf8(std::string &text, unsigned point) {
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

// One UTF-16 unit; pairs are joined, a lone half is U+FFFD. Control
// characters (Backspace, Tab, Return, Escape, Delete) are keys, not text.
void TakeUnit(TextInput &input, unsigned unit) {
  std::lock_guard<std::mutex> hold(input.lock);
  unsigned point = unit;
  if (unit >= 0xD800 && unit < 0xDC00) {
    if (input.highSurrogate != 0)
      AppendUtf8(input.text, 0xFFFD);
    input.highSurrogate = unit;
    return;
  }
  if (unit >= 0xDC00 && unit < 0xE000) {
    point = input.highSurrogate == 0
                ? 0xFFFD
                : 0x10000 + ((input.highSurrogate - 0xD800) << 10) +
                      (unit - 0xDC00);
  } else if (input.highSurrogate != 0) {
    AppendUtf8(input.text, 0xFFFD);
  }
  input.highSurrogate = 0;
  if (point < 0x20 || point == 0x7F || input.text.size() + 4 > kMostText)
    return;
  AppendUtf8(input.text, point);
}

LRESULT CALLBACK TextProc(HWND window, UINT message, WPARAM wParam,
                          LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  TextInput &input = *reinterpret_cast<TextInput *>(data);
  if (message == WM_CHAR) {
    unsigned unit = static_cast<unsigned>(wParam & 0xFFFF);
#if defined(_WIN32)
    if (!IsWindowUnicode(window)) { // the code page's byte
      char byte = static_cast<char>(wParam);
      wchar_t wide = 0;
      unit = MultiByteToWideChar(CP_ACP, 0, &byte, 1, &wide, 1) == 1 ? wide
                                                                     : 0xFFFD;
    }
#endif
    TakeUnit(input, unit);
  } else if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(window, TextProc, kTextSubclass);
    std::lock_guard<std::mutex> hold(input.lock);
    input.hooked = false;
    input.window = NULL;
  }
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

} // namespace

void NoteTextWindow(const void *keyboard, void *window) {
  std::lock_guard<std::mutex> hold(textsLock);
  TextInput *input = Find(keyboard);
  if (input == NULL) {
    texts.emplace_back(new TextInput());
    input = texts.back().get();
    input->keyboard = keyboard;
  }
  input->window = static_cast<HWND>(window);
}

int TakeText(const void *keyboard, char *utf8, int size) {
  if (utf8 == NULL || size <= 0)
    return 0;
  utf8[0] = 0;
  TextInput *input;
  {
    std::lock_guard<std::mutex> hold(textsLock);
    input = Find(keyboard);
  }
  if (input == NULL)
    return 0;
  if (!input->hooked && input->window != NULL)
    input->hooked = SetWindowSubclass(input->window, TextProc, kTextSubclass,
                                      reinterpret_cast<DWORD_PTR>(input)) != 0;
  std::lock_guard<std::mutex> hold(input->lock);
  size_t length = WholeCharacters(input->text, size_t(size) - 1);
  if (length == 0 && !input->text.empty() && !input->tooSmallSaid) {
    input->tooSmallSaid = true;
    SayDiagnostic("lurn: ReadText: a buffer of %d bytes holds no character "
                  "(up to 4 bytes and the zero): the text waits; pass 5 or "
                  "more",
                  size);
  }
  input->text.copy(utf8, length);
  utf8[length] = 0;
  input->text.erase(0, length);
  return static_cast<int>(length);
}

void ForgetText(const void *keyboard) {
  std::unique_ptr<TextInput> gone;
  {
    std::lock_guard<std::mutex> hold(textsLock);
    for (size_t i = 0; i < texts.size(); ++i)
      if (texts[i]->keyboard == keyboard) {
        gone = std::move(texts[i]);
        texts[i] = std::move(texts.back());
        texts.pop_back();
        break;
      }
  }
  if (gone != NULL && gone->hooked)
    RemoveWindowSubclass(gone->window, TextProc, kTextSubclass);
}
