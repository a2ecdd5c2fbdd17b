// The smallest Windows lurn client: a window and its message loop, the
// display and keyboard, a frame loop drawing a moving bar until Escape, the
// window is closed, or N frames are drawn (minimal N).
#define DIRECTINPUT_VERSION 0x0500
#include <windows.h>

#include <dinput.h> // key codes
#include <lurn.h>
#include <stdio.h>
#include <stdlib.h>

static LurnDirectDraw display;
static LurnDirectInput input;

// Closing the window (its X, Alt+F4) destroys it: the program then ends.
static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam,
                                   LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

int main(int argc, char **argv) {
  long frames = argc > 1 ? atol(argv[1]) : 0, frame = 0;
  HINSTANCE instance = GetModuleHandleA(NULL);
  WNDCLASSA windowClass = {0,    WindowProc, 0,    0,    instance,
                           NULL, NULL,       NULL, NULL, "minimal"};
  RegisterClassA(&windowClass);
  HWND window =
      CreateWindowA("minimal", "minimal", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100,
                    100, 336, 239, NULL, NULL, instance, NULL);
  // KeepDesktop: today's desktops have 24 or 32 bits, and a window can show
  // a 16-bit picture there only when lurn converts it. Without the bit, a
  // windowed Open asks for the desktop's own depth and fails elsewhere
  // (DDERR_INVALIDPIXELFORMAT).
  if (!display.Open(window, 320, 200, 16,
                    LurnDirectDraw::ReleaseSecondary |
                        LurnDirectDraw::KeepDesktop) ||
      !input.Open(window, instance) || !input.OpenKeyboard(window))
    return 1; // the error box has said why
  for (MSG message; frames == 0 || frame < frames; ++frame) {
    bool quit = false;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
      quit = quit || message.message == WM_QUIT;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (quit)
      break; // the window is gone
    input.GetStateKeyboard();
    if (input.KeyDown(DIK_ESCAPE))
      break;
    display.ClearSecondaryBuffer();
    if (!display.LockSecondaryBuffer()) {
      if (display.directDraw == NULL)
        break;  // the display closed itself, and the error box said why
      continue; // a lost frame: the next one shows
    }
    unsigned short *pixels = (unsigned short *)display.secondaryBits;
    for (int y = 0; y < 200; ++y) // a red bar moving right
      pixels[y * display.pitchPixels + frame % 320] = 31 << display.redShift;
    display.UnlockSecondaryBuffer();
    if (!display.UpdatePrimaryBuffer() && display.directDraw == NULL)
      break; // closed; a 0 with directDraw set is a lost frame
    Sleep(10);
  }
  printf("minimal: %ld frames\n", frame);
  input.Close();
  display.Close();
  return 0;
}
