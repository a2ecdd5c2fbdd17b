// How evenly full-screen flips are paced: the client's frame loop through
// the library, timed flip to flip. Prints the rate and the spread of the
// intervals; with --check, fails unless the rate is within 5% of the
// display's refresh (run with LURN_STANDIN_VSYNC=0 it shows the unpaced
// rate instead).
#include <lurn.h>

#include <SDL.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

static LurnDirectDraw display;

int main(int argc, char **argv) {
  bool check = argc > 1 && strcmp(argv[1], "--check") == 0;
  SDL_Init(SDL_INIT_VIDEO);
  SDL_Window *window = SDL_CreateWindow("flip pacing", 0, 0, 640, 480, 0);
  SDL_DisplayMode mode;
  int refresh = SDL_GetCurrentDisplayMode(0, &mode) == 0 && mode.refresh_rate
                    ? mode.refresh_rate
                    : 60;
  if (window == NULL || !display.Open(window, 640, 480, 16,
                                      LurnDirectDraw::FullScreen |
                                          LurnDirectDraw::ReleaseSecondary))
    return 1;
  const int kFrames = 240;
  std::vector<double> intervals, times; // milliseconds
  Uint64 last = SDL_GetPerformanceCounter();
  for (int frame = 0; frame <= kFrames; ++frame) {
    SDL_PumpEvents();
    display.ClearSecondaryBuffer();
    if (display.LockSecondaryBuffer())
      display.UnlockSecondaryBuffer();
    display.UpdatePrimaryBuffer();
    Uint64 now = SDL_GetPerformanceCounter();
    times.push_back(1000.0 * double(now) /
                    double(SDL_GetPerformanceFrequency()));
    if (frame > 0) // the first flip only meets the refresh
      intervals.push_back(1000.0 * double(now - last) /
                          double(SDL_GetPerformanceFrequency()));
    last = now;
  }
  display.Close();
  SDL_Quit();
  double sum = 0, squares = 0;
  for (double interval : intervals)
    sum += interval;
  double mean = sum / double(intervals.size());
  for (double interval : intervals)
    squares += (interval - mean) * (interval - mean);
  // Drift: the slope of flip times against flip numbers, a least-squares
  // fit that single late wake-ups barely move, against the refresh period.
  double n = double(times.size()), sk = 0, st = 0, skk = 0, skt = 0;
  for (size_t k = 0; k < times.size(); ++k) {
    double t = times[k] - times[0];
    sk += double(k), st += t, skk += double(k) * double(k),
        skt += double(k) * t;
  }
  double period = (n * skt - sk * st) / (n * skk - sk * sk);
  std::sort(intervals.begin(), intervals.end());
  double rate = 1000.0 / mean;
  printf("flips: %.1f per second (display %d Hz), interval mean %.3f ms, "
         "sd %.3f ms, min %.3f, p99 %.3f, max %.3f; fitted period %.4f ms, "
         "drift %+.3f ms a second\n",
         rate, refresh, mean, sqrt(squares / double(intervals.size())),
         intervals.front(), intervals[intervals.size() * 99 / 100],
         intervals.back(), period, (period * refresh - 1000.0));
  return check && fabs(rate - refresh) > refresh * 0.05 ? 1 : 0;
}
