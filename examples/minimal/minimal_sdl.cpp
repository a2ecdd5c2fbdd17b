// The smallest native lurn client: an SDL window, the display and keyboard,
// a frame loop drawing a moving bar until Escape, the window is closed, or
// N frames are drawn (minimal N).
#include <SDL.h>
#include <dinput.h> // key codes, from lurn's stand-in headers
#include <lurn.h>
#include <stdio.h>
#include <stdlib.h>

static LurnDirectDraw display;
static LurnDirectInput input;

int main(int argc, char **argv) {
  long frames = argc > 1 ? atol(argv[1]) : 0, frame = 0;
  SDL_Init(SDL_INIT_VIDEO);
  SDL_Window *window = SDL_CreateWindow("minimal", 100, 100, 320, 200, 0);
  // Windows needs the program's instance here, GetModuleHandleA(NULL), and
  // refuses a null one; the stand-in has none and ignores it.
  void *instance = NULL;
  if (!display.Open(window, 320, 200, 16, LurnDirectDraw::ReleaseSecondary) ||
      !input.Open(window, instance) || !input.OpenKeyboard(window))
    return 1; // the error box has said why
  for (; frames == 0 || frame < frames; ++frame) {
    // The window's close button (or Alt+F4) asks SDL to quit: watch for it.
    bool quit = false;
    for (SDL_Event event; SDL_PollEvent(&event);)
      quit = quit || event.type == SDL_QUIT;
    if (quit)
      break;
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
    for (int y = 0; y < 200; ++y) // a red bar moving right; lines are
                                  // pitchPixels apart, not the width
      pixels[y * display.pitchPixels + frame % 320] = 31 << display.redShift;
    display.UnlockSecondaryBuffer();
    if (!display.UpdatePrimaryBuffer() && display.directDraw == NULL)
      break; // closed; a 0 with directDraw set is a lost frame
    SDL_Delay(10);
  }
  printf("minimal: %ld frames\n", frame);
  input.Close();
  display.Close();
  SDL_Quit();
  return 0;
}
