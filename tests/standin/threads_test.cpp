// Separate displays on separate threads, as the header allows: each thread
// opens its own window's display at the same time as the other and presents
// its own picture, scaled by a fraction (the present's column picks). Built
// with ThreadSanitizer, which fails the run on any race it sees.
#include <lurn.h>

#include <atomic>
#include <string>
#include <thread>

#include <SDL.h>
#include <gtest/gtest.h>

#include "../hex.h"

namespace {

struct ThreadRun {
  SDL_Window *window;
  Uint16 colour; // 5-6-5, the stand-in's default desktop
  int wrong, frames;
  std::string failure;
};

void PresentFrames(ThreadRun &run, std::atomic<int> &ready) {
  LurnDirectDraw display;
  memset(&display, 0, sizeof display);
  ++ready;
  while (ready < 2)
    std::this_thread::yield();
  if (display.Open(run.window, 160, 100, 16,
                   LurnDirectDraw::ReleaseSecondary) != 1) {
    run.failure = "Open failed";
    return;
  }
  for (int frame = 0; frame < 40; ++frame) {
    if (display.ClearSecondaryBuffer() != 1 ||
        display.LockSecondaryBuffer() != 1) {
      run.failure = "clear or lock failed at frame " + std::to_string(frame);
      break;
    }
    Uint16 *row = static_cast<Uint16 *>(display.secondaryBits);
    for (int y = 0; y < 100; ++y, row += display.pitchPixels)
      for (int x = 0; x < 160; ++x)
        row[x] = run.colour;
    display.UnlockSecondaryBuffer();
    display.UpdatePrimaryBuffer();
    SDL_Surface *surface = SDL_GetWindowSurface(run.window);
    for (int y = 0; y < surface->h; y += 7) {
      const Uint32 *line = reinterpret_cast<const Uint32 *>(
          static_cast<const Uint8 *>(surface->pixels) + y * surface->pitch);
      for (int x = 0; x < surface->w; ++x) {
        Uint8 r, g, b;
        SDL_GetRGB(line[x], surface->format, &r, &g, &b);
        run.wrong += (r >> 3) << 11 != (run.colour & 0xF800) ||
                     (b >> 3) != (run.colour & 0x1F);
      }
    }
    ++run.frames;
  }
  display.Close();
}

TEST(StandinThreads, SeparateDisplaysOnSeparateThreadsShowTheirOwnPictures) {
  ASSERT_EQ(0, SDL_Init(SDL_INIT_VIDEO)) << SDL_GetError();
  ThreadRun runs[2] = {
      {SDL_CreateWindow("one", 0, 0, 437, 291, 0), 0xF800, 0, 0, ""},
      {SDL_CreateWindow("two", 0, 0, 437, 291, 0), 0x001F, 0, 0, ""}};
  ASSERT_NE(nullptr, runs[0].window);
  ASSERT_NE(nullptr, runs[1].window);
  // The window surfaces are made first: SDL shares pixel-format records
  // between surfaces under its own locks, which ThreadSanitizer cannot see.
  ASSERT_NE(nullptr, SDL_GetWindowSurface(runs[0].window));
  ASSERT_NE(nullptr, SDL_GetWindowSurface(runs[1].window));
  std::atomic<int> ready(0);
  std::thread other(PresentFrames, std::ref(runs[1]), std::ref(ready));
  PresentFrames(runs[0], ready);
  other.join();
  for (ThreadRun &run : runs) {
    EXPECT_EQ("", run.failure);
    EXPECT_EQ(40, run.frames);
    EXPECT_EQ(0, run.wrong) << "pixels not of " << Hex(run.colour);
    SDL_DestroyWindow(run.window);
  }
  SDL_Quit();
}

} // namespace
