// The smallest lurn client in a web page: the page's canvas, the display and
// keyboard, a frame loop drawing a moving bar until Escape or N frames are
// drawn (minimal.html?args=N). The loop blocks as it does on Windows: each
// present gives the page its turn.
#include <dinput.h> // key codes, from lurn's stand-in headers
#include <lurn.h>
#include <stdio.h>
#include <stdlib.h>
#include <windows.h> // CanvasWindow

static LurnDirectDraw display;
static LurnDirectInput input;

int main(int argc, char **argv) {
  long frames = argc > 1 ? atol(argv[1]) : 0, frame = 0;
  HWND window = CanvasWindow("#screen"); // the page's <canvas id="screen">
  if (!display.Open(window, 320, 200, 16, LurnDirectDraw::ReleaseSecondary) ||
      !input.Open(window, NULL) || !input.OpenKeyboard(window))
    return 1; // the error box has said why
  for (; frames == 0 || frame < frames; ++frame) {
    input.GetStateKeyboard(); // no event pump of its own: the page has it
    if (input.KeyDown(DIK_ESCAPE))
      break;
    display.ClearSecondaryBuffer();
    if (!display.LockSecondaryBuffer()) {
      if (display.directDraw == NULL)
        break;  // the display closed itself, and the error box said why
      continue; // a lost frame: the next one shows
    }
    unsigned short *pixels = (unsigned short *)display.secondaryBits;
    for (int y = 0; y < 200; ++y) // a red bar moving right; lines are
                                  // pitchPixels apart, not the width
      pixels[y * display.pitchPixels + frame % 320] = 31 << display.redShift;
    display.UnlockSecondaryBuffer();
    if (!display.UpdatePrimaryBuffer() && display.directDraw == NULL)
      break; // closed; a 0 with directDraw set is a lost frame
  }
  printf("minimal: %ld frames\n", frame);
  input.Close();
  display.Close();
  return 0;
}
