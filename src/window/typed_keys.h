// The keyboards' attachment to their window's record: the text typed into
// the window and its key strokes, kept per keyboard opened on it.
#ifndef LURN_TYPED_KEYS_H
#define LURN_TYPED_KEYS_H

#include "window.h"

#include <string>
#include <vector>

// What a window tells one keyboard opened on it.
struct KeyboardOnWindow {
  const void *keyboard;
  bool listening;         // ReadText or KeyStrokes hooked the window for it
  unsigned highSurrogate; // the first half of a pair, waiting
  unsigned leadByte;      // an ANSI window's lead byte, waiting
  std::string text;       // UTF-8, whole characters
  bool tooSmallSaid;      // a buffer too small for the next character
  // Key-downs by key code since the last keyboard read, the system's
  // auto-repeats included (the library's Alt+Enter left out).
  unsigned short strokes[256];
};

struct KeyboardsOnWindow {
  std::vector<KeyboardOnWindow> keyboards;
};

// The keyboard was opened on `window`.
void AddKeyboard(const void *keyboard, void *window);
// Writes the text typed since the last call as UTF-8, zero-terminated, cut
// at a whole character; what does not fit stays. Returns the bytes written.
// The first call hooks the window and finds nothing yet.
int TakeText(const void *keyboard, char *utf8, int size);
// The keyboard's strokes are asked for: the first call hooks the window.
void ListenForStrokes(const void *keyboard);
// At a keyboard read: the key-downs since the last one, the system's
// repeats included, into `strokes`; whether a display takes Alt+Enter on
// the keyboard's window (`altEnterTaken`: a Return pressed with Alt held is
// then the library's, left out of the read's counts). Whether the Return
// held now is one (`returnHeld` and `altHeld`: what the read saw) is said
// in `hideReturn`: the window's hook may not have seen the press yet.
void TakeStrokes(const void *keyboard, bool returnHeld, bool altHeld,
                 unsigned short strokes[256], bool &altEnterTaken,
                 bool &hideReturn);
// The keyboard is let go: its text goes, and its use of the window.
void DropKeyboard(const void *keyboard);

// For the window's procedure, under the lock: whether a keyboard listens,
// and a message for those that do (characters and key-downs).
bool KeyboardsListen(const WindowRecord &record);
void KeyboardsHear(WindowRecord &record, UINT message, WPARAM wParam,
                   LPARAM lParam);

#endif
