// Full-screen flips paced like the real platform's: a flip waits for the
// display's next refresh. SDL's window surfaces offer no vertical-blank wait,
// so the refreshes are ticks of a steady clock at the display's rate.
#include <errno.h>
#include <time.h>

#include "desktop.h"

namespace {

const long long kNanoseconds = 1000000000LL;

long long Now() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * kNanoseconds + now.tv_nsec;
}

void SleepUntil(long long when) {
  timespec until = {time_t(when / kNanoseconds), long(when % kNanoseconds)};
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, NULL) ==
         EINTR) {
  }
}

// The refresh rate of the window's display; 60 Hz when it does not say.
int RefreshRate(SDL_Window *window) {
  SDL_DisplayMode mode;
  int index = window != NULL ? SDL_GetWindowDisplayIndex(window) : 0;
  if (index < 0 || SDL_GetCurrentDisplayMode(index, &mode) != 0 ||
      mode.refresh_rate <= 0)
    return 60;
  return mode.refresh_rate;
}

} // namespace

void WaitForRefresh(SDL_Window *window, RefreshClock &clock) {
  // Refreshes fall at origin + n * period: measured from one origin, the
  // ticks do not drift however late a single wake-up is.
  long long &origin = clock.origin, &period = clock.period, &last = clock.last;
  long long rate = RefreshRate(window), now = Now();
  if (period != kNanoseconds / rate || now - last > 4 * period) {
    // A new rate, or a client that stopped flipping for a while: the
    // refreshes start again from here.
    period = kNanoseconds / rate;
    origin = now;
    last = now;
  }
  long long next = origin + ((now - origin) / period + 1) * period;
  SleepUntil(next);
  last = next;
}
