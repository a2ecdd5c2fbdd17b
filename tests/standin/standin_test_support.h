// Shared by the tests of the library over the stand-in: SDL up with a
// 640 x 480 window, pixel reads from the window, focus changes.
#ifndef LURN_STANDIN_TEST_SUPPORT_H
#define LURN_STANDIN_TEST_SUPPORT_H

#include <lurn.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>

#include <SDL.h>
#include <ddraw.h>
#include <gtest/gtest.h>

#include "../hex.h"

class StandinTest : public ::testing::Test {
protected:
  void SetUp() override {
    unsetenv("LURN_STANDIN_DESKTOP");
    ASSERT_EQ(0, SDL_Init(SDL_INIT_VIDEO)) << SDL_GetError();
    window = SDL_CreateWindow("test", 0, 0, 640, 480, 0);
    ASSERT_NE(nullptr, window) << SDL_GetError();
    memset(&display, 0, sizeof display);
    memset(&input, 0, sizeof input);
  }
  void TearDown() override {
    display.Close();
    input.Close();
    SDL_DestroyWindow(window);
    SDL_Quit();
  }
  // The window's pixel as "rrggbb".
  std::string PixelAt(int x, int y) {
    SDL_Surface *surface = SDL_GetWindowSurface(window);
    if (surface == NULL || x < 0 || y < 0 || x >= surface->w || y >= surface->h)
      return "outside";
    const Uint8 *line =
        static_cast<const Uint8 *>(surface->pixels) + y * surface->pitch;
    Uint32 value = 0;
    memcpy(&value, line + x * surface->format->BytesPerPixel,
           surface->format->BytesPerPixel);
    Uint8 red, green, blue;
    SDL_GetRGB(value, surface->format, &red, &green, &blue);
    char text[8];
    snprintf(text, sizeof text, "%02x%02x%02x", red, green, blue);
    return text;
  }
  // What a window system reports when the window comes to the front or
  // goes to the back.
  void SendFocus(bool gained) {
    SDL_Event event;
    memset(&event, 0, sizeof event);
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = SDL_GetWindowID(window);
    event.window.event =
        gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST;
    SDL_PushEvent(&event);
    SDL_PumpEvents();
  }

  SDL_Window *window = NULL;
  LurnDirectDraw display;
  LurnDirectInput input;
};

#endif
