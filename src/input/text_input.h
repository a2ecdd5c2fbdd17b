// Typed text, as the window system gives it to the keyboard's window
// (WM_CHAR: layouts, shift, dead keys, AltGr), kept beside the record under
// the keyboard's interface. The window is subclassed only once text is
// asked for, and let go when the keyboard is.
#ifndef LURN_TEXT_INPUT_H
#define LURN_TEXT_INPUT_H

#include <windows.h>

// The keyboard was opened on `window`.
void NoteTextWindow(const void *keyboard, void *window);
// Writes the text typed since the last call as UTF-8, zero-terminated, cut
// at a whole character; what does not fit stays. Returns the bytes written.
// The first call subclasses the window and finds nothing yet.
int TakeText(const void *keyboard, char *utf8, int size);
// The keyboard is let go: so is the window, and the text not read.
void ForgetText(const void *keyboard);

#endif
